// Gauge textures: the drum, mask and frame images, drawn with cairo and encoded as PNG.
//
// Host-only (cairo and FreeType). Numerals use the TrueType font at the path given (DejaVu Sans
// Bold by default), loaded directly so that no font configuration of the machine can change the
// pixels. Hinting is off: glyphs are drawn under a non-uniform scale on the drum.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct GaugeTextures {
    std::vector<std::uint8_t> drum;  // RGB, kDrumTextureWidth x kDrumTextureHeight
    std::vector<std::uint8_t> mask;  // RGBA, kMaskTextureSize square
    std::vector<std::uint8_t> frame; // RGBA, kFrameTextureSize square
};

// Fills *textures and returns true, or sets *error (naming the font path or the failing step)
// and returns false.
bool DrawGaugeTextures(const std::string& fontPath, GaugeTextures* textures, std::string* error);

} // namespace assetgen
