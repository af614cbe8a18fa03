// The PNG path against images written by ImageMagick in each colour type and
// depth, and against images that lie about their size or are broken.
#include <gtest/gtest.h>

#include "engine_test_assets.h"
#include "image_png.h"

namespace {

const std::string kFixtures = ENGINE_FIXTURES;

// The patterns make_fixtures.py draws, 16 x 8.
int GreyAt(int x, int y) {
    return (x * 16 + y * 2) & 0xFF;
}
int RedAt(int x, int) {
    return (x * 16) & 0xFF;
}
int GreenAt(int, int y) {
    return (y * 32) & 0xFF;
}
int BlueAt(int x, int y) {
    return ((x + y) * 8) & 0xFF;
}
int AlphaAt(int x, int y) {
    return (x * 17 + y * 5) & 0xFF;
}
int BinaryAlphaAt(int x, int y) {
    return (x + y) % 3 == 0 ? 0 : 255;
}

std::uint32_t Premultiplied(int a, int r, int g, int b) {
    const auto p = [a](int c) { return static_cast<std::uint32_t>((c * a + 127) / 255); };
    return (static_cast<std::uint32_t>(a) << 24) | (p(r) << 16) | (p(g) << 8) | p(b);
}

struct Expected {
    const char* file;
    std::uint32_t (*texel)(int x, int y);
    bool opaque;
};

const Expected kImages[] = {
    {"png_grey8.png",
     [](int x, int y) {
         const int g = GreyAt(x, y);
         return Premultiplied(255, g, g, g);
     },
     true},
    {"png_grey16.png",
     [](int x, int y) {
         const int g = GreyAt(x, y);
         return Premultiplied(255, g, g, g);
     },
     true},
    {"png_palette.png",
     [](int x, int y) { return Premultiplied(255, RedAt(x, y), GreenAt(x, y), BlueAt(x, y)); },
     true},
    {"png_rgb.png",
     [](int x, int y) { return Premultiplied(255, RedAt(x, y), GreenAt(x, y), BlueAt(x, y)); },
     true},
    {"png_rgb16.png",
     [](int x, int y) { return Premultiplied(255, RedAt(x, y), GreenAt(x, y), BlueAt(x, y)); },
     true},
    {"png_rgb_interlaced.png",
     [](int x, int y) { return Premultiplied(255, RedAt(x, y), GreenAt(x, y), BlueAt(x, y)); },
     true},
    {"png_rgba.png",
     [](int x, int y) {
         return Premultiplied(AlphaAt(x, y), RedAt(x, y), GreenAt(x, y), BlueAt(x, y));
     },
     false},
    {"png_rgba16_interlaced.png",
     [](int x, int y) {
         return Premultiplied(AlphaAt(x, y), RedAt(x, y), GreenAt(x, y), BlueAt(x, y));
     },
     false},
    {"png_palette_alpha.png",
     [](int x, int y) {
         return Premultiplied(BinaryAlphaAt(x, y), RedAt(x, y), GreenAt(x, y), BlueAt(x, y));
     },
     false},
};

class ImageMagickPng : public ::testing::TestWithParam<Expected> {};

TEST_P(ImageMagickPng, DecodesToThePatternPremultiplied) {
    const Expected& expected = GetParam();
    const Bytes file = ReadBytes(kFixtures + "/" + expected.file);
    ASSERT_FALSE(file.empty());
    Image image;
    ASSERT_EQ(DecodePng(file.data(), file.size(), &image), ImageResult::Ok);
    ASSERT_EQ(image.width, 16);
    ASSERT_EQ(image.height, 8);
    EXPECT_EQ(image.opaque, expected.opaque);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(image.texels[static_cast<std::size_t>(y * 16 + x)], expected.texel(x, y))
                << expected.file << " at " << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Files, ImageMagickPng, ::testing::ValuesIn(kImages), [](const auto& test) {
    std::string name = test.param.file;
    return name.substr(0, name.find('.'));
});

// A PNG signature and IHDR claiming the given size, then an IDAT and IEND
// (CRCs zero: the decoder must refuse the size before it looks at them).
Bytes Claiming(std::uint32_t width, std::uint32_t height) {
    Bytes b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (std::uint32_t v : {width, height})
        for (int i = 3; i >= 0; --i)
            b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    b.insert(b.end(), {8, 6, 0, 0, 0, 0, 0, 0, 0});
    b.insert(b.end(), {0, 0, 0, 2, 'I', 'D', 'A', 'T', 0x78, 0x9C, 0, 0, 0, 0});
    b.insert(b.end(), {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82});
    return b;
}

TEST(PngLoader, RefusesOversizedImagesBeforeDecoding) {
    for (auto [w, h] :
         {std::pair{100000u, 100000u}, {9000u, 10u}, {10u, 8193u}, {0xFFFFFFFFu, 1u}}) {
        const Bytes file = Claiming(w, h);
        Image image;
        EXPECT_EQ(DecodePng(file.data(), file.size(), &image), ImageResult::TooLarge)
            << w << "x" << h;
        EXPECT_TRUE(image.texels.empty());
    }
}

TEST(PngLoader, AcceptsTheLargestSideAllowed) {
    std::vector<std::uint32_t> row(kImageMaxSide, 0xFF102030u);
    const Bytes file = MakePng(kImageMaxSide, 1, row);
    Image image;
    ASSERT_EQ(DecodePng(file.data(), file.size(), &image), ImageResult::Ok);
    EXPECT_EQ(image.width, kImageMaxSide);
    EXPECT_EQ(image.texels.back(), 0xFF102030u);
}

TEST(PngLoader, EmptyImageDataChunksAreHarmless) {
    // Found by fuzz_png: stb_image copies an empty IDAT with memcpy(NULL, p, 0).
    // Valid PNGs may hold empty IDATs; they must decode like the same file
    // without them (and UBSan, in this build, checks that no such copy runs).
    const Bytes plain = MakePng(5, 3, std::vector<std::uint32_t>(15, 0xFF336699u));
    std::size_t idat = 8;
    while (std::string(plain.begin() + static_cast<std::ptrdiff_t>(idat + 4),
                       plain.begin() + static_cast<std::ptrdiff_t>(idat + 8)) != "IDAT")
        idat += 12 + (std::size_t{plain[idat]} << 24 | std::size_t{plain[idat + 1]} << 16 |
                      std::size_t{plain[idat + 2]} << 8 | plain[idat + 3]);
    const Bytes empty = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E};
    Bytes padded = plain;
    padded.insert(padded.begin() + static_cast<std::ptrdiff_t>(idat), empty.begin(), empty.end());
    padded.insert(padded.begin() + static_cast<std::ptrdiff_t>(idat), empty.begin(), empty.end());
    Image reference, image;
    ASSERT_EQ(DecodePng(plain.data(), plain.size(), &reference), ImageResult::Ok);
    ASSERT_EQ(DecodePng(padded.data(), padded.size(), &image), ImageResult::Ok);
    EXPECT_EQ(image.texels, reference.texels);
    EXPECT_EQ(image.width, 5);
}

TEST(PngLoader, BrokenFilesFailWithTheirReason) {
    const Bytes good = MakePng(4, 4, std::vector<std::uint32_t>(16, 0x80FF0000u));
    Image image;
    ASSERT_EQ(DecodePng(good.data(), good.size(), &image), ImageResult::Ok);
    EXPECT_EQ(image.texels[0], 0x80800000u); // premultiplied red at alpha 128
    EXPECT_FALSE(image.opaque);

    const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0};
    EXPECT_EQ(DecodePng(jpeg.data(), jpeg.size(), &image), ImageResult::NotPng);
    EXPECT_EQ(DecodePng(nullptr, 0, &image), ImageResult::NotPng);
    // Cut anywhere before the end of the image data (IDAT's CRC and IEND
    // take the last 16 bytes, which the decoder does not need).
    for (std::size_t size = 8; size + 16 < good.size(); ++size) {
        EXPECT_NE(DecodePng(good.data(), size, &image), ImageResult::Ok) << size;
        EXPECT_TRUE(image.texels.empty());
    }
    // A chunk claiming 2 GiB in a small file: refused before stb sizes a
    // buffer by it (found by fuzz_png as a 2 GiB allocation).
    Bytes lying = good;
    for (std::size_t at = 8; at + 8 < lying.size();) {
        const std::size_t length = std::size_t{lying[at]} << 24 | std::size_t{lying[at + 1]} << 16 |
                                   std::size_t{lying[at + 2]} << 8 | lying[at + 3];
        if (std::string(lying.begin() + static_cast<std::ptrdiff_t>(at + 4),
                        lying.begin() + static_cast<std::ptrdiff_t>(at + 8)) == "IDAT") {
            lying[at] = 0x7F, lying[at + 1] = lying[at + 2] = lying[at + 3] = 0xFF;
            break;
        }
        at += 12 + length;
    }
    EXPECT_EQ(DecodePng(lying.data(), lying.size(), &image), ImageResult::BadData);

    Bytes garbage = good;
    for (std::size_t i = 40; i < garbage.size() - 12; ++i)
        garbage[i] ^= 0x5A;
    EXPECT_EQ(DecodePng(garbage.data(), garbage.size(), &image), ImageResult::BadData);
}

} // namespace
