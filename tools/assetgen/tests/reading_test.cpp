// The archive as a picture: rays cast through the gauge's scene, posed as the gauge poses it,
// must read as an attitude indicator (nose-up shows more sky, a right bank raises the
// horizon's right end, the ladder mark under the symbol is the pitch flown).
#include "gauge_raycast.h"
#include "zip_reader.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace assetgen {
namespace {

enum class Seen { Sky, Ground, White, Orange, Dark, Nothing, Other };

const char* Name(Seen s) {
    switch (s) {
    case Seen::Sky:
        return "sky";
    case Seen::Ground:
        return "ground";
    case Seen::White:
        return "white";
    case Seen::Orange:
        return "orange";
    case Seen::Dark:
        return "dark";
    case Seen::Nothing:
        return "nothing";
    case Seen::Other:
        return "other";
    }
    return "?";
}

Seen Classify(const Rgba& c) {
    if (c.a < 0.5) return Seen::Nothing;
    // Premultiplied: divide the coverage out before judging the hue.
    const double r = c.r / c.a, g = c.g / c.a, b = c.b / c.a;
    if (std::min({r, g, b}) > 0.8) return Seen::White;
    if (std::max({r, g, b}) < 0.3) return Seen::Dark;
    if (r > 0.85 && g > 0.4 && g < 0.75 && b < 0.2) return Seen::Orange;
    if (b > r + 0.2) return Seen::Sky;
    if (r > b + 0.15) return Seen::Ground;
    return Seen::Other;
}

class GaugeReading : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::vector<std::uint8_t> zip;
        std::string error;
        assets_ = new GaugeAssets;
        loaded_ =
            ReadFileBytes(ASSETGEN_ARCHIVE, &zip, &error) && LoadGaugeAssets(zip, assets_, &error);
        error_ = error;
    }
    static void TearDownTestSuite() { delete assets_; }
    void SetUp() override { ASSERT_TRUE(loaded_) << error_; }

    static GaugeAssets* assets_;
    static bool loaded_;
    static std::string error_;
};

GaugeAssets* GaugeReading::assets_ = nullptr;
bool GaugeReading::loaded_ = false;
std::string GaugeReading::error_;

Rgba Texel(const Image& image, double u, double v) {
    const auto x = static_cast<std::size_t>(std::clamp(u, 0.0, 0.9999) * image.width);
    const auto y = static_cast<std::size_t>(std::clamp(v, 0.0, 0.9999) * image.height);
    const std::uint8_t* t = &image.rgba[4 * (y * static_cast<std::size_t>(image.width) + x)];
    return {t[0] / 255.0, t[1] / 255.0, t[2] / 255.0, 1.0};
}

// Texture side: every drum vertex clear of the ladder takes its colour from the sky when it
// lies on the +y side and from the ground on the -y side, all the way round (the back included).
TEST_F(GaugeReading, SkyCoversThePlusYHalfOfTheDrum) {
    const GaugeObject& drum = assets_->drum;
    int sky = 0, ground = 0;
    for (std::size_t i = 0; i < drum.mesh.positions.size(); ++i) {
        const Vec3& p = drum.mesh.positions[i];
        // Side vertices beyond the numerals, short of the rim, away from both horizon lines.
        if (std::fabs(drum.mesh.normals[i].x) > 0.5 || std::fabs(p.x) < 30 || std::fabs(p.x) > 60 ||
            std::fabs(p.y) < 2.0)
            continue;
        const Seen expected = p.y > 0 ? Seen::Sky : Seen::Ground;
        ASSERT_STREQ(Name(Classify(Texel(drum.texture, drum.mesh.u[i], drum.mesh.v[i]))),
                     Name(expected))
            << "vertex at y " << p.y << " z " << p.z;
        ++(p.y > 0 ? sky : ground);
    }
    EXPECT_GT(sky, 100);
    EXPECT_GT(ground, 100);
}

struct RayCase {
    double pitch, bank, x, y; // degrees; ray through (x, y) of the view, each -1..1, +y up
    Seen seen;
    const char* why;
};

// Drum alone. Reference values: at the drum's front (278 from the camera) one view unit is
// 74.5 world units; a pitch of p degrees moves the horizon by 72 sin(p) world units.
TEST_F(GaugeReading, DrumReadsAsAnAttitudeIndicator) {
    const RayCase cases[] = {
        {0, 0, 0.45, 0.0, Seen::White, "level: horizon line across the centre"},
        {0, 0, 0.45, 0.10, Seen::Sky, "level: sky above"},
        {0, 0, 0.45, -0.10, Seen::Ground, "level: ground below"},
        {10, 0, 0.45, -0.10, Seen::Sky, "nose up: the horizon moves down, sky at the centre"},
        {10, 0, 0.45, -0.167, Seen::White, "nose up 10: horizon 12.5 units below"},
        {-10, 0, 0.45, 0.10, Seen::Ground, "nose down: the horizon moves up"},
        {-10, 0, 0.45, 0.167, Seen::White, "nose down 10: horizon 12.5 units above"},
        {10, 0, 0.0, 0.0, Seen::White, "nose up 10: the 10 mark under the symbol"},
        {10, 0, 0.09, 0.0, Seen::White, "and it is a long mark"},
        {-10, 0, 0.09, 0.0, Seen::White, "nose down 10: long mark under the symbol"},
        {20, 0, 0.09, 0.0, Seen::White, "20: long mark"},
        {5, 0, 0.0, 0.0, Seen::White, "5: a mark"},
        {5, 0, 0.09, 0.0, Seen::Sky, "5: a short one"},
        {-5, 0, 0.09, 0.0, Seen::Ground, "-5: a short one"},
        {7.5, 0, 0.0, 0.0, Seen::Sky, "between marks"},
        {-7.5, 0, 0.0, 0.0, Seen::Ground, "between marks, below"},
        {90, 0, 0.09, 0.0, Seen::White, "zenith: the 90 mark"},
        {100, 0, 0.09, 0.0, Seen::White, "past the zenith: the 80 mark on the back"},
        {180, 0, 0.45, 0.0, Seen::White, "pitch 180: the back horizon"},
        {180, 0, 0.45, 0.10, Seen::Ground, "pitch 180: ground above, flying inverted"},
        {0, 30, 0.346, 0.2, Seen::White, "right bank 30: horizon rises to the right"},
        {0, 30, -0.346, -0.2, Seen::White, "and falls to the left"},
        {0, 30, 0.346, 0.0, Seen::Ground, "right of centre lies below the horizon"},
        {0, 30, -0.346, 0.0, Seen::Sky, "left of centre lies above it"},
        {0, -30, 0.346, -0.2, Seen::White, "left bank: horizon falls to the right"},
    };
    for (const RayCase& c : cases) {
        SCOPED_TRACE(c.why);
        const PosedObject drum = PoseObject(assets_->drum, ObjectKind::Drum, {c.pitch, c.bank});
        const Sample s = CastRay(drum, c.x, c.y);
        ASSERT_TRUE(s.hit);
        EXPECT_STREQ(Name(Classify(s.texel)), Name(c.seen))
            << "pitch " << c.pitch << " bank " << c.bank << " ray " << c.x << ", " << c.y;
    }
}

// The whole scene: frame over mask over drum.
TEST_F(GaugeReading, FrameAndMaskShowTheirMarks) {
    const RayCase cases[] = {
        {0, 0, 0.0, 0.0, Seen::Orange, "symbol's centre dot"},
        {0, 0, 0.4, 0.0, Seen::Orange, "symbol's right wing"},
        {0, 0, -0.4, 0.0, Seen::Orange, "symbol's left wing"},
        {0, 0, 0.3, 0.4, Seen::Sky, "drum through the window"},
        {0, 0, 0.0, 0.67, Seen::White, "bank pointer at the top"},
        {0, 30, -0.335, 0.58, Seen::White, "right bank 30: the pointer turns left with the mask"},
        {0, 30, 0.0, 0.67, Seen::Sky, "and the ring shows where it was"},
        {0, 0, 0.6, 0.3, Seen::Sky, "ring, upper half"},
        {0, 0, 0.6, -0.3, Seen::Ground, "ring, lower half"},
        {20, 0, 0.6, -0.3, Seen::Ground, "the ring does not pitch"},
        {0, 0, 0.0, 0.85, Seen::White, "bank scale: triangle at 0"},
        {0, 0, 0.97, 0.0, Seen::Dark, "frame beside the scale"},
        {0, 0, 0.99, 0.99, Seen::Dark, "frame fills the corners"},
        {0, 0, -0.99, -0.99, Seen::Dark, "every corner"},
    };
    for (const RayCase& c : cases) {
        SCOPED_TRACE(c.why);
        const auto scene = PoseScene(*assets_, {c.pitch, c.bank});
        EXPECT_STREQ(Name(Classify(ShadeScene(scene, c.x, c.y, false))), Name(c.seen))
            << "pitch " << c.pitch << " bank " << c.bank << " ray " << c.x << ", " << c.y;
    }
}

// Every ray that passes the frame's opening and the mask's window lands on the drum's side,
// never on a cap or past the drum into the background, at any bank and for a camera stepped
// a little nearer (the gauge's test keys move it).
TEST_F(GaugeReading, DrumFillsTheWindow) {
    for (double cameraZ : {450.0, 400.0}) {
        for (double bank : {0.0, 45.0, 90.0}) {
            View view{0, bank, cameraZ};
            const auto scene = PoseScene(*assets_, view);
            int throughWindow = 0;
            for (double y = -0.95; y <= 0.95; y += 0.05) {
                for (double x = -0.95; x <= 0.95; x += 0.05) {
                    const Sample frame = CastRay(scene[0], x, y);
                    const Sample mask = CastRay(scene[1], x, y);
                    if ((frame.hit && frame.texel.a > 0.01) || (mask.hit && mask.texel.a > 0.01))
                        continue;
                    ++throughWindow;
                    const Sample drum = CastRay(scene[2], x, y);
                    ASSERT_TRUE(drum.hit) << "camera " << cameraZ << " ray " << x << ", " << y;
                    const Mesh& mesh = assets_->drum.mesh;
                    const Vec3& n = mesh.normals[mesh.indices[3 * drum.triangle]];
                    ASSERT_LT(std::fabs(n.x), 0.5)
                        << "a cap shows: camera " << cameraZ << " ray " << x << ", " << y;
                }
            }
            EXPECT_GT(throughWindow, 400) << "camera " << cameraZ << " bank " << bank;
        }
    }
}

} // namespace
} // namespace assetgen
