// The rasterizer on its own: coverage rules, clipping, texturing, blending
// and resolving, with triangles given directly in clip space.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "raster.h"

namespace {

constexpr int kSize = 32;

// A vertex at pixel position (px, py) and distance w, as clip coordinates.
// Triangles here wind counter-clockwise seen with y up (front faces).
RasterVertex At(double px, double py, float w = 1.0f, float u = 0, float v = 0) {
    RasterVertex r;
    r.x = static_cast<float>((px / kSize * 2.0 - 1.0) * w);
    r.y = static_cast<float>((1.0 - py / kSize * 2.0) * w);
    r.w = w;
    r.u = u;
    r.v = v;
    r.diffuse = 1.0f;
    return r;
}

struct Target {
    RasterTarget target;
    explicit Target(int samples) {
        RasterResize(&target, kSize, kSize, samples);
        RasterClear(&target, {0, 0, kSize, kSize}, 0);
    }
    void Draw(const std::vector<RasterVertex>& v, const std::vector<std::uint32_t>& i,
              const RasterShading& s) {
        RasterDrawTriangles(&target, {0, 0, kSize, kSize}, 0.5f, 1000.0f, v.data(), v.size(),
                            i.data(), i.size() / 3, s, nullptr);
    }
    std::vector<std::uint32_t> Resolve() const {
        std::vector<std::uint32_t> pixels(kSize * kSize);
        RasterResolve(target, pixels.data());
        return pixels;
    }
};

RasterShading White() {
    RasterShading s;
    s.ambient = 256; // colours as they are
    return s;
}

TEST(Raster, SharedEdgesCoverEverySampleExactlyOnce) {
    // Half-transparent white blended over black: a sample covered twice would
    // come out brighter, a sample missed would stay black.
    static const std::uint32_t kHalfWhite = 0x80808080u;
    RasterShading s = White();
    s.blend = true;
    s.texture = RasterTexture{&kHalfWhite, 1, 1, false};
    for (int samples : {1, 4}) {
        Target t(samples);
        // A quad with an awkward diagonal, its corners off the pixel grid.
        t.Draw({At(3.3, 2.7), At(4.9, 30.2), At(26.6, 28.9), At(29.1, 5.2)}, {0, 1, 2, 0, 2, 3}, s);
        // Its inside: every sample blended once to the same value.
        for (std::size_t i = 0; i < t.target.colour.size(); ++i) {
            const std::uint32_t c = t.target.colour[i];
            ASSERT_TRUE(c == 0xFF000000u || c == 0xFF808080u) << samples << " " << std::hex << c;
        }
        EXPECT_EQ(t.Resolve()[16 * kSize + 16], 0xFF808080u);
    }
}

TEST(Raster, TopLeftRuleOnPixelCentres) {
    // A rectangle whose edges run exactly through pixel centres: the left and
    // top edges take those pixels, the right and bottom ones do not.
    Target t(1);
    t.Draw({At(8.5, 8.5), At(8.5, 24.5), At(24.5, 24.5), At(24.5, 8.5)}, {0, 1, 2, 0, 2, 3},
           White());
    int covered = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const bool inside = x >= 8 && x < 24 && y >= 8 && y < 24;
            const bool drawn =
                t.target.colour[static_cast<std::size_t>(y * kSize + x)] == 0xFFFFFFFFu;
            EXPECT_EQ(drawn, inside) << x << "," << y;
            covered += drawn;
        }
    EXPECT_EQ(covered, 256);
}

TEST(Raster, BackFacesAreCulledAndMirroringTurnsThatAround) {
    const auto draw = [](bool counterClockwise, bool mirrored) {
        Target t(1);
        RasterShading s = White();
        s.frontIsCounterClockwise = !mirrored;
        // a, b, c runs counter-clockwise on screen with y up.
        const RasterVertex a = At(4, 28), b = At(28, 28), c = At(16, 4);
        t.Draw(counterClockwise ? std::vector<RasterVertex>{a, b, c}
                                : std::vector<RasterVertex>{a, c, b},
               {0, 1, 2}, s);
        return t.target.colour[16 * kSize + 16];
    };
    EXPECT_EQ(draw(true, false), 0xFFFFFFFFu);
    EXPECT_EQ(draw(false, false), 0xFF000000u);
    EXPECT_EQ(draw(false, true), 0xFFFFFFFFu);
    EXPECT_EQ(draw(true, true), 0xFF000000u);
}

TEST(Raster, LightIsAmbientPlusTheDiffuseShareOfTheLightColour) {
    RasterShading s;
    s.ambient = 64; // a quarter
    s.lightColour[0] = 255, s.lightColour[1] = 128, s.lightColour[2] = 0;
    Target t(1);
    std::vector<RasterVertex> v = {At(4, 28), At(28, 28), At(16, 4)};
    for (RasterVertex& r : v)
        r.diffuse = 0.5f;
    t.Draw(v, {0, 1, 2}, s);
    // White times 1/4 + 3/4 * 1/2 * (1, 1/2, 0).
    const std::uint32_t c = t.target.colour[16 * kSize + 16];
    EXPECT_NEAR(static_cast<int>((c >> 16) & 0xFF), 159, 1);
    EXPECT_NEAR(static_cast<int>((c >> 8) & 0xFF), 111, 1);
    EXPECT_NEAR(static_cast<int>(c & 0xFF), 63, 1);
}

TEST(Raster, ClippingKeepsThePartInFrontAndDropsTheRest) {
    Target t(1);
    // Entirely behind the eye, or straddling w = 0: nothing behind is drawn
    // and nothing crashes.
    t.Draw({At(4, 4, -1.0f), At(28, 4, -2.0f), At(16, 28, -3.0f)}, {0, 1, 2}, White());
    for (std::uint32_t c : t.target.colour)
        ASSERT_EQ(c, 0xFF000000u);
    // Two corners in front (at the bottom, w = 2), one behind the eye: the
    // part in front reaches from y = 24 to past the top of the screen.
    RasterVertex behind;
    behind.x = 0, behind.y = 3, behind.w = -1;
    RasterVertex left, right;
    left.x = -1, left.y = -1, left.w = 2;
    right.x = 1, right.y = -1, right.w = 2;
    t.Draw({left, right, behind}, {0, 1, 2}, White());
    EXPECT_EQ(t.target.colour[20 * kSize + 16], 0xFFFFFFFFu);
    EXPECT_EQ(t.target.colour[2 * kSize + 16], 0xFFFFFFFFu);
    EXPECT_EQ(t.target.colour[26 * kSize + 16], 0xFF000000u);
    EXPECT_EQ(t.target.colour[20 * kSize + 1], 0xFF000000u);
}

TEST(Raster, HugeAndNonFiniteTrianglesAreHandled) {
    Target t(4);
    // Far outside the guard band on every side: clipped, covers everything.
    t.Draw({At(-1e7, -1e7), At(0, 1e7), At(1e7, -1e7)}, {0, 1, 2}, White());
    for (std::uint32_t c : t.target.colour)
        ASSERT_EQ(c, 0xFFFFFFFFu);
    Target n(1);
    RasterVertex bad = At(16, 4);
    bad.x = NAN;
    n.Draw({At(4, 28), At(28, 28), bad}, {0, 1, 2}, White());
    // Out-of-range indices are skipped too.
    n.Draw({At(4, 28), At(28, 28), At(16, 4)}, {0, 1, 7}, White());
    for (std::uint32_t c : n.target.colour)
        ASSERT_EQ(c, 0xFF000000u);
}

TEST(Raster, TexturingIsPerspectiveCorrect) {
    // A quad leaning away: its near edge (left) at w = 1, its far edge (right)
    // at w = 3. Texture: left half red, right half green. The colour change
    // must sit where u = 0.5 projects, 3/4 of the way across, not halfway.
    static const std::uint32_t kTexels[2] = {0xFFFF0000u, 0xFF00FF00u};
    RasterShading s = White();
    s.texture = RasterTexture{kTexels, 2, 1, true};
    Target t(1);
    t.Draw({At(0, 0, 1.0f, 0, 0), At(32, 0, 3.0f, 1, 0), At(32, 32, 3.0f, 1, 1),
            At(0, 32, 1.0f, 0, 1)},
           {0, 3, 2, 0, 2, 1}, s);
    int firstGreen = -1;
    for (int x = 0; x < kSize; ++x)
        if ((t.target.colour[16 * kSize + x] & 0x00FF00u) > 0x008000u && firstGreen < 0)
            firstGreen = x;
    // Screen position of u: s(u) = 32 * 3u / (3u + (1 - u)) ... = 24 at u = 0.5.
    EXPECT_NEAR(firstGreen, 24, 1);
}

TEST(Raster, BilinearFilterClampsAtTheEdges) {
    // 2 x 1 texture black | white stretched over 32 pixels: texel centres at
    // u = 0.25 and 0.75; before the first and after the last the edge texel holds.
    static const std::uint32_t kTexels[2] = {0xFF000000u, 0xFFFFFFFFu};
    RasterShading s = White();
    s.texture = RasterTexture{kTexels, 2, 1, true};
    Target t(1);
    t.Draw({At(0, 0, 1, 0, 0), At(32, 0, 1, 1, 0), At(32, 32, 1, 1, 1), At(0, 32, 1, 0, 1)},
           {0, 3, 2, 0, 2, 1}, s);
    auto grey = [&](int x) { return static_cast<int>(t.target.colour[16 * kSize + x] & 0xFF); };
    EXPECT_EQ(grey(0), 0); // clamped, no wrap from the white edge
    EXPECT_EQ(grey(7), 0);
    EXPECT_EQ(grey(31), 255);
    EXPECT_EQ(grey(24), 255);
    int previous = -1;
    for (int x = 8; x < 24; ++x) {
        EXPECT_GT(grey(x), previous); // strictly rising ramp between the centres
        previous = grey(x);
    }
    EXPECT_NEAR(grey(15), 120, 10);
}

TEST(Raster, DepthTestKeepsTheNearestWhateverTheOrder) {
    static const std::uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u;
    for (bool nearFirst : {true, false}) {
        Target t(4);
        RasterShading nearShade = White(), farShade = White();
        nearShade.texture = RasterTexture{&kRed, 1, 1, true};
        farShade.texture = RasterTexture{&kGreen, 1, 1, true};
        const std::vector<RasterVertex> nearTri = {At(2, 30, 2), At(30, 30, 2), At(16, 2, 2)};
        const std::vector<RasterVertex> farTri = {At(2, 30, 5), At(30, 30, 5), At(16, 2, 5)};
        if (nearFirst) t.Draw(nearTri, {0, 1, 2}, nearShade);
        t.Draw(farTri, {0, 1, 2}, farShade);
        if (!nearFirst) t.Draw(nearTri, {0, 1, 2}, nearShade);
        EXPECT_EQ(t.Resolve()[20 * kSize + 16], 0xFFFF0000u) << nearFirst;
    }
}

TEST(Raster, ResolveAveragesTheFourSamples) {
    RasterTarget t;
    RasterResize(&t, 2, 1, 4);
    t.colour = {0xFFFFFFFFu, 0xFF000000u, 0xFFFFFFFFu, 0xFF000000u,
                0xFF102030u, 0xFF102030u, 0xFF102030u, 0xFF0C1C2Cu};
    std::vector<std::uint32_t> out(2);
    RasterResolve(t, out.data());
    EXPECT_EQ(out[0], 0xFF808080u);
    EXPECT_EQ(out[1], 0xFF0F1F2Fu);
}

TEST(Raster, ShadowMapMarksWhereACasterIsNearerTheLight) {
    ShadowMap map;
    ShadowMapResize(&map, 16);
    // Seen from the light: a caster (index 3) filling the left half at w = 2.
    std::vector<RasterVertex> caster(4);
    const float xs[4] = {-1, 0, 0, -1}, ys[4] = {1, 1, -1, -1};
    for (int i = 0; i < 4; ++i) {
        caster[static_cast<std::size_t>(i)].lightX = xs[i] * 2,
        caster[static_cast<std::size_t>(i)].lightY = ys[i] * 2;
        caster[static_cast<std::size_t>(i)].lightW = 2;
    }
    const std::vector<std::uint32_t> quad = {0, 1, 2, 0, 2, 3};
    ShadowDrawTriangles(&map, 0.1f, 100.0f, caster.data(), 4, quad.data(), 2, RasterTexture{}, 3);
    EXPECT_EQ(map.caster[8 * 16 + 3], 3);
    EXPECT_FLOAT_EQ(map.depth[8 * 16 + 3], 0.5f);
    EXPECT_EQ(map.depth[8 * 16 + 12], 0.0f);
    // An alpha-tested caster with a transparent texture casts nothing.
    ShadowMapClear(&map);
    static const std::uint32_t kClear = 0x00000000u;
    ShadowDrawTriangles(&map, 0.1f, 100.0f, caster.data(), 4, quad.data(), 2,
                        RasterTexture{&kClear, 1, 1, false}, 3);
    for (float d : map.depth)
        ASSERT_EQ(d, 0.0f);
}

} // namespace

namespace {

// A frame of a gauge-like stack: an opaque plate far back, an opaque patch in
// front of everything that moves, and two blended layers with holes, partly
// transparent and fully opaque texels; the nearer layer reads a shadow map
// through light coordinates that move. Drawn either plainly or with occlusion
// skipping and replay records, which must not change a bit.
struct LayeredFrames {
    std::vector<std::uint32_t> farTexels, nearTexels;
    ShadowMap map;
    RasterLayerRecord records[2];

    LayeredFrames() {
        for (int i = 0; i < 16; ++i) // alpha 0, 128 and 255 in stripes
            farTexels.push_back(i % 4 == 0 ? 0u : i % 4 == 1 ? 0x80402010u : 0xFF30C060u);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const int r = (x - 4) * (x - 4) + (y - 4) * (y - 4);
                nearTexels.push_back(r < 3 ? 0u : r < 7 ? 0x64506432u : 0xFFA08060u);
            }
        ShadowMapResize(&map, 16);
        for (int i = 0; i < 16 * 16; ++i) {
            map.depth[static_cast<std::size_t>(i)] = (i * 7919 % 13) < 6 ? 4.0f : 0.0f;
            map.caster[static_cast<std::size_t>(i)] = 5;
        }
    }

    void Draw(RasterTarget* target, int frame, bool fast) {
        const RasterRect all{0, 0, kSize, kSize};
        RasterClear(target, all, 0x102030);
        const std::vector<std::uint32_t> quad = {0, 1, 2, 0, 2, 3};
        const auto plate = [](double x0, double y0, double x1, double y1, float w) {
            return std::vector<RasterVertex>{At(x0, y0, w, 0, 0), At(x0, y1, w, 0, 1),
                                             At(x1, y1, w, 1, 1), At(x1, y0, w, 1, 0)};
        };
        std::vector<RasterVertex> back = plate(0, 0, 32, 32, 8.0f);
        std::vector<RasterVertex> patch = plate(2 + frame, 3, 9.5 + frame, 11.25, 1.5f);
        std::vector<RasterVertex> farLayer = plate(1.5, 2.25, 30.5, 29.75, 4.0f);
        std::vector<RasterVertex> nearLayer = plate(0.75, 0.5, 31.25, 31.5, 2.0f);
        for (std::size_t i = 0; i < nearLayer.size(); ++i) {
            nearLayer[i].lightX = (i & 1 ? 0.9f : -0.8f) + 0.05f * static_cast<float>(frame);
            nearLayer[i].lightY = (i & 2 ? 0.7f : -0.9f) - 0.03f * static_cast<float>(frame);
            nearLayer[i].lightW = 1.0f;
        }
        RasterShading opaque = White();
        RasterShading farShading = White(), nearShading = White();
        farShading.blend = nearShading.blend = true;
        farShading.texture = RasterTexture{farTexels.data(), 4, 4, false};
        nearShading.texture = RasterTexture{nearTexels.data(), 8, 8, false};
        nearShading.ambient = 64;
        nearShading.lightColour[0] = nearShading.lightColour[1] = nearShading.lightColour[2] = 255;
        nearShading.shadowColour[0] = 40;
        nearShading.shadow = &map;
        farShading.layer = 1;
        nearShading.layer = 2;
        const auto draw = [&](const std::vector<RasterVertex>& v, const RasterShading& s,
                              RasterLayerRecord* record) {
            if (fast)
                RasterDrawLayer(target, all, 0.5f, 1000.0f, v.data(), v.size(), quad.data(), 2, s,
                                nullptr, record);
            else
                RasterDrawTriangles(target, all, 0.5f, 1000.0f, v.data(), v.size(), quad.data(), 2,
                                    s, nullptr);
        };
        if (fast) {
            RasterOcclusionBegin(target, all);
            RasterOcclusionDepth(target, all, 0.5f, 1000.0f, back.data(), 4, quad.data(), 2,
                                 opaque);
            RasterOcclusionDepth(target, all, 0.5f, 1000.0f, patch.data(), 4, quad.data(), 2,
                                 opaque);
            RasterOcclusionCover(target, all, 0.5f, 1000.0f, nearLayer.data(), 4, quad.data(), 2,
                                 nearShading, &records[1]);
            RasterOcclusionCover(target, all, 0.5f, 1000.0f, farLayer.data(), 4, quad.data(), 2,
                                 farShading, &records[0]);
        }
        draw(back, opaque, nullptr);
        draw(patch, opaque, nullptr);
        draw(farLayer, farShading, &records[0]);
        draw(nearLayer, nearShading, &records[1]);
        RasterOcclusionEnd(target);
    }
};

} // namespace

TEST(Raster, SkippingHiddenSamplesAndReplayingLayersChangeNoBit) {
    for (int samples : {1, 4}) {
        LayeredFrames frames;
        RasterTarget plain, fast;
        RasterResize(&plain, kSize, kSize, samples);
        RasterResize(&fast, kSize, kSize, samples);
        for (int frame = 0; frame < 5; ++frame) {
            frames.Draw(&plain, frame, false);
            frames.Draw(&fast, frame, true);
            ASSERT_EQ(plain.colour, fast.colour) << samples << " frame " << frame;
            ASSERT_EQ(plain.depth, fast.depth) << samples << " frame " << frame;
        }
        // The stack has what the fast paths must get right: transparent
        // holes in front of the moving patch, shadowed texels, hidden ones.
        EXPECT_TRUE(frames.records[1].entriesValid && frames.records[1].replayable);
        const std::vector<std::uint32_t>& c = plain.colour;
        EXPECT_GT(std::set<std::uint32_t>(c.begin(), c.end()).size(), 6u) << samples;
    }
}
