// PNG decoding through stb_image, kept in this one translation unit with the
// library's own warnings relaxed. See image_png.h.
#include "image_png.h"

#include <cstring>
#include <vector>

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

namespace {

std::uint32_t BigEndian32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

enum class ChunkCheck { Sound, Broken };

// Walks the chunks up to IEND. Each must lie inside the file: stb_image grows
// its buffer by the length an IDAT chunk claims before reading it, so a lying
// header would cost gigabytes. Empty IDAT chunks are dropped into `out` (then
// non-empty): stb meets one with memcpy(NULL, data, 0), undefined behaviour an
// optimiser may exploit, and an empty IDAT carries nothing.
ChunkCheck CheckChunks(const std::uint8_t* bytes, std::size_t size,
                       std::vector<std::uint8_t>* out) {
    bool dropping = false;
    std::size_t at = 8;
    for (;;) {
        if (size - at < 12) return ChunkCheck::Broken;
        const std::uint32_t length = BigEndian32(bytes + at);
        if (length > size - at - 12) return ChunkCheck::Broken;
        const std::uint8_t* type = bytes + at + 4;
        const std::size_t next = at + 12 + static_cast<std::size_t>(length);
        if (length == 0 && std::memcmp(type, "IDAT", 4) == 0) {
            if (!dropping) out->assign(bytes, bytes + at);
            dropping = true;
        } else if (dropping) {
            out->insert(out->end(), bytes + at, bytes + next);
        }
        at = next;
        if (std::memcmp(type, "IEND", 4) == 0) return ChunkCheck::Sound;
    }
}

} // namespace

ImageResult DecodePng(const std::uint8_t* bytes, std::size_t size, Image* image) {
    *image = Image{};
    static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes == nullptr || size < sizeof kSignature ||
        std::memcmp(bytes, kSignature, sizeof kSignature) != 0)
        return ImageResult::NotPng;
    if (size > 0x7FFFFFFF) return ImageResult::TooLarge; // stb takes an int length
    std::vector<std::uint8_t> cleaned;
    if (CheckChunks(bytes, size, &cleaned) == ChunkCheck::Broken) {
        // Still tell an oversized image from a broken one.
        if (size >= 24 &&
            (BigEndian32(bytes + 16) > kImageMaxSide || BigEndian32(bytes + 20) > kImageMaxSide))
            return ImageResult::TooLarge;
        return ImageResult::BadData;
    }
    if (!cleaned.empty()) {
        bytes = cleaned.data();
        size = cleaned.size();
    }
    const int length = static_cast<int>(size);

    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(bytes, length, &width, &height, &channels)) {
        // stb refuses oversized headers in stbi_info too; tell that apart by
        // reading the IHDR fields ourselves.
        if (size >= 24 &&
            (BigEndian32(bytes + 16) > kImageMaxSide || BigEndian32(bytes + 20) > kImageMaxSide))
            return ImageResult::TooLarge;
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
