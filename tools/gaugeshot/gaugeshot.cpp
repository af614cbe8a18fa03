// gaugeshot: renders the gauge at one attitude to a PNG, headless, through the
// engine library and the gauge's own AddGaugeArchive / BuildGaugeScene /
// UpdateGaugePose, so the picture is the one the gauge would show.
#include <cstdio>
#include <string>

#include "engine_api.h"
#include "gaugeshot_args.h"
#include "gaugeshot_render.h"

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
    GaugeFrame frame;
    std::string warning;
    if (!RenderGaugeFrame(args, &frame, &error, &warning)) {
        std::fprintf(stderr, "gaugeshot: %s\n", error.c_str());
        UnloadEngine();
        return 1;
    }
    if (!warning.empty()) std::fprintf(stderr, "gaugeshot: warning: %s\n", warning.c_str());
    int status = 0;
    if (!stbi_write_png(args.output.c_str(), frame.width, frame.height, 4, frame.rgba.data(),
                        frame.width * 4)) {
        std::fprintf(stderr, "gaugeshot: cannot write %s\n", args.output.c_str());
        status = 1;
    }
    UnloadEngine();
    return status;
}
