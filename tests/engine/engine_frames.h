// engine_frames.h - reading the engine's presented frame in tests, and
// writing it as a PNG for a person to look at.
//
// Contract
// - CaptureFrame reads Engine3DFrameSize / Engine3DCopyFrame through `api`;
//   pixels are 0xRRGGBB, top row first.
// - DumpFrame writes <dir>/<name>.png when the environment variable
//   ENGINE_TEST_DUMP names a directory, and does nothing otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine_api.h"

struct Frame {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t At(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
    bool operator==(const Frame& other) const = default;
};

inline int Red(std::uint32_t rgb) {
    return static_cast<int>((rgb >> 16) & 0xFF);
}
inline int Green(std::uint32_t rgb) {
    return static_cast<int>((rgb >> 8) & 0xFF);
}
inline int Blue(std::uint32_t rgb) {
    return static_cast<int>(rgb & 0xFF);
}

Frame CaptureFrame(const Engine3DApi& api);
void DumpFrame(const Frame& frame, const std::string& name);
