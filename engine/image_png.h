// image_png.h - decodes a PNG member into premultiplied 32-bit texels.
//
// Contract
// - Pure: bytes in, texels out; stb_image does the decoding in one isolated
//   translation unit (image_png.cpp), built for PNG only.
// - Accepts what stb_image's PNG path reads: 1, 2, 4, 8 and 16-bit grey, grey +
//   alpha, palette (with tRNS), RGB and RGBA, interlaced or not. 16-bit channels
//   are reduced to 8 bits.
// - Before stb_image sees the file, its chunks are walked up to IEND: each must
//   lie inside the file (BadData otherwise), since stb sizes its buffers by
//   what a chunk claims; empty IDAT chunks are dropped (they carry nothing).
// - The header's dimensions are checked before any pixel memory is allocated:
//   over kImageMaxSide on a side is TooLarge, so a PNG claiming 100000 x 100000
//   costs nothing. Memory stays below a few times the largest allowed image.
//   Anything that does not start with the PNG signature is NotPng.
// - Texels: row 0 is the top of the image; each is 0xAARRGGBB with the colour
//   premultiplied by alpha (rounded), so filtering never bleeds the colour of
//   transparent texels. `opaque` is true when every alpha is 255.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr int kImageMaxSide = 8192;

enum class ImageResult { Ok, NotPng, TooLarge, BadData };

const char* ImageResultName(ImageResult result);

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> texels;
    bool opaque = true;
};

ImageResult DecodePng(const std::uint8_t* bytes, std::size_t size, Image* image);
