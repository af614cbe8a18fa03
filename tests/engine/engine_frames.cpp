// See engine_frames.h.
#include "engine_frames.h"

#include <cstdlib>

#include "engine_test_assets.h"

Frame CaptureFrame(const Engine3DApi& api) {
    Frame frame;
    api.Engine3DFrameSize(&frame.width, &frame.height);
    std::vector<unsigned char> rgba(static_cast<std::size_t>(frame.width) * frame.height * 4);
    if (!rgba.empty()) api.Engine3DCopyFrame(rgba.data(), static_cast<int>(rgba.size()));
    frame.pixels.resize(rgba.size() / 4);
    for (std::size_t i = 0; i < frame.pixels.size(); ++i)
        frame.pixels[i] = (std::uint32_t{rgba[i * 4]} << 16) |
                          (std::uint32_t{rgba[i * 4 + 1]} << 8) | std::uint32_t{rgba[i * 4 + 2]};
    return frame;
}

void DumpFrame(const Frame& frame, const std::string& name) {
    const char* dir = std::getenv("ENGINE_TEST_DUMP");
    if (dir == nullptr || dir[0] == '\0') return;
    std::vector<std::uint32_t> argb(frame.pixels.size());
    for (std::size_t i = 0; i < argb.size(); ++i)
        argb[i] = frame.pixels[i] | 0xFF000000u;
    WriteBytes(std::string(dir) + "/" + name + ".png", MakePng(frame.width, frame.height, argb));
}
