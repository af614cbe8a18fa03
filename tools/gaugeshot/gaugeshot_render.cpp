#include "gaugeshot_render.h"

#include <cstdio>

#include "attitude_state.h"
#include "engine_api.h"
#include "gauge_scene.h"

bool RenderGaugeFrame(const GaugeshotArgs& args, GaugeFrame* frame, std::string* error,
                      std::string* warning) {
    if (!EngineLoaded()) {
        *error = "no engine loaded";
        return false;
    }
    engine3d.Engine3DShutdown();
    if (engine3d.InitEngine3D() != 0) {
        *error = std::string("the engine did not start: ") + engine3d.Engine3DLastError();
        return false;
    }
    cameraDistance = kCameraStartDistance;
    if (args.archive.empty()) {
        // The gauge itself says nothing about a missing archive; a tool should.
        if (std::FILE* f = std::fopen("data_horizon_rouleau.zip", "rb")) {
            std::fclose(f);
        } else {
            *warning = "no data_horizon_rouleau.zip in the working directory (give --archive)";
        }
        AddGaugeArchive();
    } else if (engine3d.Add3DArchive(args.archive.c_str(), 1) != 0) {
        *warning = args.archive + ": " + engine3d.Engine3DLastError();
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
    frame->width = width;
    frame->height = height;
    frame->rgba.assign(size_t(width) * size_t(height) * 4, 0);
    const int copied =
        width > 0 ? engine3d.Engine3DCopyFrame(frame->rgba.data(), int(frame->rgba.size())) : -1;
    engine3d.CloseScreen();
    if (copied != int(frame->rgba.size()) || width <= 0) {
        *error = "no frame was presented";
        return false;
    }
    return true;
}
