// Golden images of the default gauge, rendered through the engine library and
// the gauge's own scene code. Each frame is compared with its reviewed PNG in
// tests/golden/ and, beside that, read back geometrically: the horizon's tilt
// must equal the bank and its offset must follow the pitch, so that a wrong
// reference cannot hide a wrong picture.
//
// HORIZON_UPDATE_GOLDEN=1 rewrites the PNGs (review them before committing).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "engine_api.h"
#include "gaugeshot_render.h"
#include "horizon_measure.h"

#include <stb_image.h>
#include <stb_image_write.h>

namespace {

// Frames are deterministic, but the reference may come from another compiler
// or optimisation level: allow at most 0.1 % of the pixels to differ, each by
// at most 16 in any channel.
constexpr double kMaxDifferingShare = 0.001;
constexpr int kMaxChannelDifference = 16;

struct Shot {
    const char* name;
    double pitch, bank, camera;
};

void PrintTo(const Shot& s, std::ostream* os) {
    *os << s.name << " (pitch " << s.pitch << ", bank " << s.bank << ", camera " << s.camera << ")";
}

std::string ShotName(const ::testing::TestParamInfo<Shot>& shot) {
    std::string out;
    for (const char* c = shot.param.name; *c; ++c) {
        if (std::isalnum(static_cast<unsigned char>(*c)))
            out += *c;
        else if (*c == '+')
            out += "Plus";
        else if (*c == '-')
            out += "Minus";
    }
    return out;
}

class GoldenFrame : public ::testing::TestWithParam<Shot> {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(LoadEngine(HORIZON_ENGINE_PATH)) << EngineLoadError();
    }
    static void TearDownTestSuite() { UnloadEngine(); }

    static GaugeFrame Render(const Shot& s) {
        GaugeshotArgs args;
        std::string error;
        const std::string pitch = std::to_string(s.pitch), bank = std::to_string(s.bank),
                          camera = std::to_string(s.camera);
        const char* argv[] = {"gaugeshot",          "--pitch",  pitch.c_str(),  "--bank",
                              bank.c_str(),         "--camera", camera.c_str(), "--archive",
                              HORIZON_ARCHIVE_PATH, "-o",       "unused.png"};
        EXPECT_TRUE(ParseGaugeshotArgs(11, argv, &args, &error)) << error;
        GaugeFrame frame;
        std::string warning;
        EXPECT_TRUE(RenderGaugeFrame(args, &frame, &error, &warning)) << error;
        EXPECT_EQ(warning, "");
        return frame;
    }
};

std::string GoldenPath(const char* name) {
    return std::string(HORIZON_GOLDEN_DIR) + "/" + name + ".png";
}

using Golden = GoldenFrame;
using GoldenHorizon = GoldenFrame;

TEST_P(Golden, MatchesTheReviewedImage) {
    const Shot s = GetParam();
    const GaugeFrame frame = Render(s);
    ASSERT_EQ(frame.width, 400);
    ASSERT_EQ(frame.height, 400);
    const std::string path = GoldenPath(s.name);
    if (std::getenv("HORIZON_UPDATE_GOLDEN")) {
        ASSERT_TRUE(stbi_write_png(path.c_str(), 400, 400, 4, frame.rgba.data(), 400 * 4));
        GTEST_SKIP() << "rewrote " << path;
    }
    int w = 0, h = 0, n = 0;
    unsigned char* want = stbi_load(path.c_str(), &w, &h, &n, 4);
    ASSERT_NE(want, nullptr) << "no golden image " << path;
    ASSERT_EQ(w, 400);
    ASSERT_EQ(h, 400);
    long differing = 0;
    int worst = 0;
    for (size_t i = 0; i < size_t(400 * 400); ++i) {
        int d = 0;
        for (int c = 0; c < 3; ++c)
            d = std::max(d, std::abs(int(frame.rgba[i * 4 + c]) - want[i * 4 + c]));
        worst = std::max(worst, d);
        differing += d > 2;
    }
    stbi_image_free(want);
    EXPECT_LE(double(differing) / (400.0 * 400.0), kMaxDifferingShare)
        << differing << " pixels differ; worst channel difference " << worst;
    EXPECT_LE(worst, kMaxChannelDifference);
}

// The horizon read back from the picture: tilt equal to the bank within 1 degree.
TEST_P(GoldenHorizon, TiltEqualsTheBank) {
    const Shot s = GetParam();
    const HorizonReading r = MeasureHorizon(Render(s).rgba, 400, 400);
    ASSERT_TRUE(r.found) << "sky " << r.skyFraction << " ground " << r.groundFraction;
    const double error = std::remainder(r.tiltDegrees - s.bank, 360.0);
    EXPECT_LE(std::fabs(error), 1.0) << "measured tilt " << r.tiltDegrees;
}

INSTANTIATE_TEST_SUITE_P(
    DefaultGauge, Golden,
    ::testing::Values(Shot{"level", 0, 0, 450}, Shot{"pitch+10", 10, 0, 450},
                      Shot{"pitch-10", -10, 0, 450}, Shot{"pitch+30", 30, 0, 450},
                      Shot{"pitch-30", -30, 0, 450}, Shot{"pitch+90", 90, 0, 450},
                      Shot{"pitch-90", -90, 0, 450}, Shot{"bank+30", 0, 30, 450},
                      Shot{"bank-30", 0, -30, 450}, Shot{"bank+90", 0, 90, 450},
                      Shot{"bank-90", 0, -90, 450}, Shot{"bank180", 0, 180, 450},
                      Shot{"pitch+10-bank+30", 10, 30, 450}, Shot{"camera300", 0, 0, 300},
                      Shot{"camera600", 0, 0, 600}, Shot{"camera-behind", 0, 0, -150}),
    ShotName);

// Every frame of the list above in which the horizon crosses the drum's window
// (at the start distance: closer or further, the window is another size).
INSTANTIATE_TEST_SUITE_P(
    DefaultGauge, GoldenHorizon,
    ::testing::Values(Shot{"level", 0, 0, 450}, Shot{"pitch+10", 10, 0, 450},
                      Shot{"pitch-10", -10, 0, 450}, Shot{"pitch+30", 30, 0, 450},
                      Shot{"pitch-30", -30, 0, 450}, Shot{"bank+30", 0, 30, 450},
                      Shot{"bank-30", 0, -30, 450}, Shot{"bank+90", 0, 90, 450},
                      Shot{"bank-90", 0, -90, 450}, Shot{"bank180", 0, 180, 450},
                      Shot{"pitch+10-bank+30", 10, 30, 450}, Shot{"bank+135", 0, 135, 450},
                      Shot{"bank-7.5", 0, -7.5, 450}),
    ShotName);

// Pitch moves the horizon the right way: nose-up shows more sky, and the offset
// grows with the pitch; straight up and straight down show only sky or ground.
TEST(GoldenGeometry, OffsetFollowsThePitch) {
    ASSERT_TRUE(LoadEngine(HORIZON_ENGINE_PATH)) << EngineLoadError();
    auto offset = [](double pitch, double bank) {
        GaugeshotArgs args;
        args.pitchRaw = 0;
        std::string error, warning;
        const std::string p = std::to_string(pitch), b = std::to_string(bank);
        const char* argv[] = {
            "gaugeshot",          "--pitch", p.c_str(),   "--bank", b.c_str(), "--archive",
            HORIZON_ARCHIVE_PATH, "-o",      "unused.png"};
        EXPECT_TRUE(ParseGaugeshotArgs(9, argv, &args, &error));
        GaugeFrame frame;
        EXPECT_TRUE(RenderGaugeFrame(args, &frame, &error, &warning)) << error;
        return MeasureHorizon(frame.rgba, 400, 400);
    };
    const HorizonReading level = offset(0, 0), up10 = offset(10, 0), up30 = offset(30, 0),
                         down10 = offset(-10, 0), down30 = offset(-30, 0),
                         up10banked = offset(10, 45);
    EXPECT_NEAR(level.offsetPixels, 0, 3);
    EXPECT_GT(up10.offsetPixels, level.offsetPixels + 10) << "nose-up moves the horizon down";
    EXPECT_GT(up30.offsetPixels, up10.offsetPixels + 10);
    EXPECT_LT(down10.offsetPixels, level.offsetPixels - 10);
    EXPECT_LT(down30.offsetPixels, down10.offsetPixels - 10);
    EXPECT_NEAR(up10.offsetPixels, -down10.offsetPixels, 3) << "symmetric about level";
    EXPECT_NEAR(up10banked.offsetPixels, up10.offsetPixels, 3)
        << "the offset is along the horizon's own normal, whatever the bank";
    EXPECT_GT(up10.skyFraction, level.skyFraction);
    EXPECT_GT(offset(90, 0).skyFraction, 0.97);
    EXPECT_GT(offset(-90, 0).groundFraction, 0.97);
    UnloadEngine();
}

} // namespace
