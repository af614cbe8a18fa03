// fuzz_png: the engine's PNG path (size check, stb_image, premultiplying) on
// arbitrary bytes. An accepted image has the texels its size says, within the
// side limit, each premultiplied (no channel above its alpha).
#include <cstddef>
#include <cstdint>

#include "image_png.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Image image;
    if (DecodePng(data, size, &image) != ImageResult::Ok) {
        if (!image.texels.empty()) __builtin_trap();
        return 0;
    }
    if (image.width <= 0 || image.height <= 0 || image.width > kImageMaxSide ||
        image.height > kImageMaxSide ||
        image.texels.size() != static_cast<std::size_t>(image.width) * image.height)
        __builtin_trap();
    for (std::uint32_t t : image.texels) {
        const std::uint32_t a = t >> 24;
        if (((t >> 16) & 0xFF) > a || ((t >> 8) & 0xFF) > a || (t & 0xFF) > a) __builtin_trap();
    }
    return 0;
}
