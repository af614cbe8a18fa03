#include "attitude_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <utility>
#include <vector>

namespace {

TEST(ScriptedAttitude, StartsLevelAndSwingsSmoothlyWithinItsLimits) {
    const AttitudeDegrees start = ScriptedAttitude(0.0);
    EXPECT_EQ(start.pitch, 0.0);
    EXPECT_EQ(start.bank, 0.0);
    double maxPitch = 0, maxBank = 0;
    AttitudeDegrees previous = start;
    for (int i = 1; i <= 100 * 100; ++i) { // 100 s in 10 ms steps
        const AttitudeDegrees a = ScriptedAttitude(i * 0.01);
        ASSERT_LE(std::fabs(a.pitch), 20.0);
        ASSERT_LE(std::fabs(a.bank), 60.0);
        // At most 60 * 2pi / 8 deg/s of roll: under half a degree per 10 ms.
        ASSERT_LT(std::fabs(a.bank - previous.bank), 0.5) << "jump at " << i * 0.01 << " s";
        ASSERT_LT(std::fabs(a.pitch - previous.pitch), 0.5) << "jump at " << i * 0.01 << " s";
        maxPitch = std::fmax(maxPitch, std::fabs(a.pitch));
        maxBank = std::fmax(maxBank, std::fabs(a.bank));
        previous = a;
    }
    EXPECT_GT(maxPitch, 19.9);
    EXPECT_GT(maxBank, 59.9);
    // The two motions do not run in step: at a quarter of the roll period the bank
    // is at its peak while the pitch is not.
    const AttitudeDegrees quarter = ScriptedAttitude(2.0);
    EXPECT_NEAR(quarter.bank, 60.0, 1e-9);
    EXPECT_LT(std::fabs(quarter.pitch), 19.0);
}

TEST(SteppedAttitude, EveryStepDrawsAPictureOfItsOwn) {
    EXPECT_EQ(SteppedAttitude(0).pitch, 1193047);
    EXPECT_EQ(SteppedAttitude(0).bank, -3579139);
    EXPECT_EQ(SteppedAttitude(1).pitch, 2 * 1193047);
    // About 0.1 degree nose-down and 0.3 degree right bank more at each step.
    EXPECT_NEAR(RawToDegrees(SteppedAttitude(9).pitch), -1.0f, 1e-3f);
    EXPECT_NEAR(RawToDegrees(SteppedAttitude(9).bank), 3.0f, 1e-3f);
    // Past the wrap of 32 bits and on: what the gauge draws (single-precision
    // degrees) tells every step of a long run from every other.
    std::vector<std::pair<float, float>> drawn;
    for (uint64_t k = 0; k < 20000; ++k) {
        const AttitudeRaw a = SteppedAttitude(k);
        drawn.push_back({RawToDegrees(a.pitch), RawToDegrees(a.bank)});
    }
    std::sort(drawn.begin(), drawn.end());
    EXPECT_EQ(std::adjacent_find(drawn.begin(), drawn.end()), drawn.end());
    // The raw values never come back within 2^32 steps; a sample far out shows it.
    EXPECT_NE(SteppedAttitude(0xFFFFFFFFu).pitch, SteppedAttitude(0).pitch);
    EXPECT_EQ(SteppedAttitude(0x100000000u).pitch, SteppedAttitude(0).pitch);
}

TEST(SteppedAttitude, StepsBeginEveryStepMs) {
    struct {
        uint32_t stepMs;
        long long micros;
        uint64_t step;
    } const kCases[] = {
        {20, -5, 0},
        {20, 0, 0},
        {20, 19999, 0},
        {20, 20000, 1},
        {20, 60001, 3},
        {1, 999, 0},
        {1, 1000, 1},
        {0, 1000, 1},
        {4294967295u, 4294967295000LL, 1},
        {100, 3600000000LL, 36000},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(StepAt(c.stepMs, c.micros), c.step) << c.stepMs << " ms at " << c.micros;
        EXPECT_LE(StepStartMicros(c.stepMs, c.step), std::max(c.micros, 0LL));
        EXPECT_GT(StepStartMicros(c.stepMs, c.step + 1), c.micros);
    }
}

TEST(ParseAttitudeCsv, AcceptsHeaderCommentsBlanksCrLfAndBom) {
    const char* text = "\xEF\xBB\xBF"
                       "time_seconds, pitch_degrees, bank_degrees\r\n"
                       "# a climbing turn\r\n"
                       "\r\n"
                       "0, 0, 0\r\n"
                       "  1.5 ,  -2.25,30  \r\n"
                       "\t# indented comment\n"
                       "3,+4,-1e1";
    AttitudeTrack track;
    std::string error;
    ASSERT_TRUE(ParseAttitudeCsv(text, &track, &error)) << error;
    ASSERT_EQ(track.size(), 3u);
    EXPECT_EQ(track[1].time, 1.5);
    EXPECT_EQ(track[1].attitude.pitch, -2.25);
    EXPECT_EQ(track[1].attitude.bank, 30.0);
    EXPECT_EQ(track[2].time, 3.0);
    EXPECT_EQ(track[2].attitude.pitch, 4.0);
    EXPECT_EQ(track[2].attitude.bank, -10.0);
}

struct CsvErrorCase {
    const char* text;
    const char* error;
};

const CsvErrorCase kCsvErrors[] = {
    {"0,1\n", "line 1: expected 3 values (time,pitch,bank), found 2"},
    {"0,1,2,3\n", "line 1: expected 3 values (time,pitch,bank), found 4"},
    {"0,1,2\n1,x,2\n", "line 2: pitch 'x' is not a finite number"},
    {"0,,1\n", "line 1: pitch '' is not a finite number"},
    {"0,1 2,3\n", "line 1: pitch '1 2' is not a finite number"},
    {"0,1,nan\n", "line 1: bank 'nan' is not a finite number"},
    {"0,inf,1\n", "line 1: pitch 'inf' is not a finite number"},
    {"0,0,0\nnan,1,2\n", "line 2: time 'nan' is not a finite number"},
    {"0,1e400,1\n", "line 1: pitch '1e400' is not a finite number"},
    {"0x10,0,0\n", "line 1: time '0x10' is not a finite number"},
    {"-1,0,0\n", "line 1: time must not be negative"},
    {"0,0,0\n0,1,1\n", "line 2: time 0 is not after the previous sample's"},
    {"1,0,0\n\n0.5,0,0\n", "line 3: time 0.5 is not after the previous sample's"},
    // Only the first line may be a header; a second word line is an error.
    {"time,pitch,bank\nfoo,bar,baz\n", "line 2: time 'foo' is not a finite number"},
    {"0,0,0\ntime,pitch,bank\n", "line 2: time 'time' is not a finite number"},
    {"", "no samples (expected lines of time,pitch,bank)"},
    {"# nothing but a comment\n\n", "no samples (expected lines of time,pitch,bank)"},
    {"time,pitch,bank\n", "no samples (expected lines of time,pitch,bank)"},
};

TEST(ParseAttitudeCsv, RefusesMalformedInputNamingTheLineAndKeepsTheTrack) {
    for (const CsvErrorCase& c : kCsvErrors) {
        AttitudeTrack track = {{7.0, {1.0, 2.0}}};
        std::string error;
        EXPECT_FALSE(ParseAttitudeCsv(c.text, &track, &error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        ASSERT_EQ(track.size(), 1u) << c.text;
        EXPECT_EQ(track[0].time, 7.0);
    }
}

TEST(SampleTrack, HoldsTheEndsAndInterpolatesBetweenSamples) {
    const AttitudeTrack track = {{1.0, {0.0, 10.0}}, {3.0, {10.0, -30.0}}, {4.0, {-5.0, 0.0}}};
    struct {
        double t, pitch, bank;
    } const kCases[] = {
        {0.0, 0.0, 10.0},  {1.0, 0.0, 10.0},   {2.0, 5.0, -10.0},
        {2.5, 7.5, -20.0}, {3.0, 10.0, -30.0}, {3.5, 2.5, -15.0},
        {4.0, -5.0, 0.0},  {100.0, -5.0, 0.0}, {-1.0, 0.0, 10.0},
    };
    for (const auto& c : kCases) {
        const AttitudeDegrees a = SampleTrack(track, c.t);
        EXPECT_DOUBLE_EQ(a.pitch, c.pitch) << "t=" << c.t;
        EXPECT_DOUBLE_EQ(a.bank, c.bank) << "t=" << c.t;
    }
}

TEST(SampleTrack, CrossesTheWrapTheShortWay) {
    const AttitudeTrack rightRoll = {{0.0, {0.0, 170.0}}, {2.0, {0.0, -170.0}}};
    EXPECT_DOUBLE_EQ(SampleTrack(rightRoll, 1.0).bank, 180.0);
    EXPECT_DOUBLE_EQ(SampleTrack(rightRoll, 1.5).bank, 185.0);
    EXPECT_EQ(ToRaw(SampleTrack(rightRoll, 1.0)).bank, INT32_MIN);
    EXPECT_EQ(ToRaw(SampleTrack(rightRoll, 1.5)).bank, DegreesToRaw(-175.0));
    const AttitudeTrack leftRoll = {{0.0, {0.0, -170.0}}, {2.0, {0.0, 170.0}}};
    EXPECT_DOUBLE_EQ(SampleTrack(leftRoll, 1.0).bank, -180.0);
    EXPECT_EQ(ToRaw(SampleTrack(leftRoll, 0.5)).bank, DegreesToRaw(-175.0));
}

class CsvFile : public ::testing::Test {
  protected:
    void TearDown() override { std::remove(path_.c_str()); }
    void Write(const char* text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string path_ = ::testing::TempDir() + "attitude_source_test.csv";
};

TEST_F(CsvFile, LoadsAFileAndNamesItInErrors) {
    Write("t,p,b\n0,1,2\n2,3,4\n");
    AttitudeTrack track;
    std::string error;
    ASSERT_TRUE(LoadAttitudeCsv(path_, &track, &error)) << error;
    EXPECT_EQ(track.size(), 2u);

    Write("0,1,2\n2,3\n");
    EXPECT_FALSE(LoadAttitudeCsv(path_, &track, &error));
    EXPECT_EQ(error, path_ + ": line 2: expected 3 values (time,pitch,bank), found 2");

    std::remove(path_.c_str());
    EXPECT_FALSE(LoadAttitudeCsv(path_, &track, &error));
    EXPECT_EQ(error, path_ + ": cannot read the file");
    EXPECT_EQ(track.size(), 2u);
}

} // namespace
