// gaugeshot: renders the gauge at one attitude to a PNG, headless, through the
// engine library and the gauge's own AddGaugeArchive / BuildGaugeScene /
// UpdateGaugePose, so the picture is the one the gauge would show.
#include <cstdio>
#include <string>
#include <vector>

#include "attitude_state.h"
#include "engine_api.h"
#include "gauge_scene.h"
#include "gaugeshot_args.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#if defined(HORIZON_DEFAULT_ENGINE)
constexpr char kDefaultEngine[] = HORIZON_DEFAULT_ENGINE;
#elif defined(_WIN32)
constexpr char kDefaultEngine[] = "Engine3D.dll"; // found beside gaugeshot.exe
#else
constexpr char kDefaultEngine[] = "libEngine3D.so";
#endif

int main(int argc, char** argv) {
    GaugeshotArgs args;
    std::string error;
    if (!ParseGaugeshotArgs(argc, argv, &args, &error)) {
        std::fprintf(stderr, "gaugeshot: %s\n%s", error.c_str(), kGaugeshotUsage);
        return 2;
    }
    if (args.help) {
        std::fputs(kGaugeshotUsage, stdout);
        return 0;
    }
    const std::string enginePath = args.engine.empty() ? kDefaultEngine : args.engine;
    if (!LoadEngine(enginePath.c_str())) {
        std::fprintf(stderr, "gaugeshot: no engine: %s\n", EngineLoadError());
        return 1;
    }
    if (engine3d.InitEngine3D() != 0) {
        std::fprintf(stderr, "gaugeshot: the engine did not start: %s\n",
                     engine3d.Engine3DLastError());
        return 1;
    }

    cameraDistance = kCameraStartDistance;
    if (args.archive.empty()) {
        AddGaugeArchive();
    } else if (engine3d.Add3DArchive(args.archive.c_str(), 1) != 0) {
        std::fprintf(stderr, "gaugeshot: warning: %s: %s\n", args.archive.c_str(),
                     engine3d.Engine3DLastError());
    }
    engine3d.CloseScreen();
    engine3d.OpenScreen(400, 400, 32, "", 0, nullptr, 0, 1);
    attitudeState.pitchRaw = args.pitchRaw;
    attitudeState.bankRaw = args.bankRaw;
    BuildGaugeScene();
    if (args.camera != static_cast<float>(kCameraStartDistance)) {
        engine3d.MoveCamera(0, 0.0f, 0.0f, args.camera);
        UpdateGaugePose();
    }

    int width = 0, height = 0;
    engine3d.Engine3DFrameSize(&width, &height);
    std::vector<unsigned char> rgba(size_t(width) * size_t(height) * 4);
    int copied = width > 0 ? engine3d.Engine3DCopyFrame(rgba.data(), int(rgba.size())) : -1;
    int status = 0;
    if (copied != int(rgba.size())) {
        std::fprintf(stderr, "gaugeshot: no frame was presented\n");
        status = 1;
    } else if (!stbi_write_png(args.output.c_str(), width, height, 4, rgba.data(), width * 4)) {
        std::fprintf(stderr, "gaugeshot: cannot write %s\n", args.output.c_str());
        status = 1;
    }
    engine3d.CloseScreen();
    UnloadEngine();
    return status;
}
