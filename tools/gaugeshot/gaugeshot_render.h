// gaugeshot_render.h - one frame of the gauge through the loaded engine, with
// the gauge's own scene code, on a fresh headless 400 x 400 screen.
//
// Requires LoadEngine to have succeeded. Each call starts the engine afresh
// (Engine3DShutdown, InitEngine3D), so frames do not depend on earlier ones.
#pragma once

#include <string>
#include <vector>

#include "gaugeshot_args.h"

struct GaugeFrame {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgba; // top-down, 4 bytes a pixel
};

// Registers args.archive (or, when empty, the gauge's own relative archive path),
// poses the attitude, moves the camera to args.camera when it differs from the
// start distance, and copies the presented frame. False with a reason when the
// engine does not start or presents nothing; a missing archive still renders
// (the objects are simply absent) and leaves a warning in *warning.
bool RenderGaugeFrame(const GaugeshotArgs& args, GaugeFrame* frame, std::string* error,
                      std::string* warning);
