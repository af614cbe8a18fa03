// PNG decoding through stb_image, kept in this one translation unit with the
// library's own warnings relaxed. See image_png.h.
#include "image_png.h"

#include <cstring>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#endif
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS kImageMaxSide
#define STBI_NO_THREAD_LOCALS
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

const char* ImageResultName(ImageResult result) {
    switch (result) {
    case ImageResult::Ok:
        return "Ok";
    case ImageResult::NotPng:
        return "NotPng";
    case ImageResult::TooLarge:
        return "TooLarge";
    case ImageResult::BadData:
        return "BadData";
    }
    return "Unknown";
}

ImageResult DecodePng(const std::uint8_t* bytes, std::size_t size, Image* image) {
    *image = Image{};
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes == nullptr || size < sizeof kSignature ||
        std::memcmp(bytes, kSignature, sizeof kSignature) != 0)
        return ImageResult::NotPng;
    if (size > 0x7FFFFFFF) return ImageResult::TooLarge; // stb takes an int length
    const int length = static_cast<int>(size);

    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes, length, &width, &height, &channels)) {
        // stb refuses oversized headers in stbi_info too; tell that apart by
        // reading the IHDR fields ourselves.
        if (size >= 24) {
            const auto field = [&](std::size_t at) {
                return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
                       (std::uint32_t{bytes[at + 2]} << 8) | std::uint32_t{bytes[at + 3]};
            };
            if (field(16) > kImageMaxSide || field(20) > kImageMaxSide)
                return ImageResult::TooLarge;
        }
        return ImageResult::BadData;
    }
    if (width <= 0 || height <= 0) return ImageResult::BadData;
    if (width > kImageMaxSide || height > kImageMaxSide) return ImageResult::TooLarge;

    int w = 0, h = 0, n = 0;
    stbi_uc* rgba = stbi_load_from_memory(bytes, length, &w, &h, &n, 4);
    if (rgba == nullptr) return ImageResult::BadData;
    if (w != width || h != height) {
        stbi_image_free(rgba);
        return ImageResult::BadData;
    }
    Image decoded;
    decoded.width = w;
    decoded.height = h;
    const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    decoded.texels.resize(count);
    bool opaque = true;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t r = rgba[i * 4 + 0], g = rgba[i * 4 + 1], b = rgba[i * 4 + 2],
                            a = rgba[i * 4 + 3];
        opaque = opaque && a == 255;
        const auto premultiply = [a](std::uint32_t c) { return (c * a + 127) / 255; };
        decoded.texels[i] =
            (a << 24) | (premultiply(r) << 16) | (premultiply(g) << 8) | premultiply(b);
    }
    decoded.opaque = opaque;
    stbi_image_free(rgba);
    *image = std::move(decoded);
    return ImageResult::Ok;
}
