// The simulator's angle unit in degrees and back.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "angle.h"

namespace {

uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

// Bit-exact: the quotient is rounded once, from double, to float.
TEST(RawToDegrees, IsBitExact) {
    const struct {
        int32_t raw;
        double degrees;
    } cases[] = {
        {1 << 30, -90.0},
        {-(1 << 30), 90.0},
        {INT32_MIN, 180.0}, // half a turn reads as +180, never -180
        {INT32_MAX, -180.0},
        {10000000, -0.8381903171539307},
        {-10000000, 0.8381903171539307},
        {(1 << 24) + 1, -1.4062501192092896},
        {-119304647, 10.0}, // 10.0000000037252903 rounds to 10.0f
        {-1, 8.381903171539307e-08},
        {0, -0.0}, // 0 x -360 is -0 in IEEE arithmetic; the engine treats it as 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(Bits(RawToDegrees(c.raw)), Bits(static_cast<float>(c.degrees)));
    }
    // Rounding the raw value to float first would give -1.40625 here.
    EXPECT_NE(RawToDegrees((1 << 24) + 1), -1.40625f);
}

// A double rounding (through an intermediate float product, say) would show here:
// the result must be the float nearest to the exact quotient.
TEST(RawToDegrees, IsRoundedOnceFromTheExactQuotient) {
    for (int64_t raw = INT32_MIN; raw <= INT32_MAX; raw += 9973 * 7919) {
        const double exact = double(raw) * -360.0 / 4294967296.0;
        const float got = RawToDegrees(int32_t(raw));
        const float below = std::nextafter(got, -1000.0f), above = std::nextafter(got, 1000.0f);
        EXPECT_LE(std::fabs(double(got) - exact), std::fabs(double(below) - exact)) << raw;
        EXPECT_LE(std::fabs(double(got) - exact), std::fabs(double(above) - exact)) << raw;
    }
}

// Expected values worked out exactly (rational arithmetic), not with this code.
TEST(DegreesToRaw, FollowsTheSimulatorConvention) {
    const struct {
        double degrees;
        int32_t raw;
    } cases[] = {
        {0.0, 0},
        {90.0, -1073741824},
        {-90.0, 1073741824},
        {45.0, -536870912},
        {10.0, -119304647},
        {12.345, -147281587},
        {-33.3, 397284475},
        {89.9, -1072548778},
        {0.001, -11930},
        {-0.3, 3579139},
        {-0.8381903171539307, 10000000},
        {179.99999, -2147483529},
        // +-180 is half a turn either way: both land on the one value that is its own negative.
        {180.0, INT32_MIN},
        {-180.0, INT32_MIN},
        {540.0, INT32_MIN},
        // Beyond half a turn the value wraps instead of saturating.
        {190.0, 2028179001},
        {270.0, 1073741824},
        {-270.0, -1073741824},
        {360.0, 0},
        {-360.0, 0},
        {765.0, -536870912},
        // One unit is 360 / 2^32 degrees; half a unit rounds away from zero.
        {360.0 / 4294967296.0, -1},
        {-360.0 / 4294967296.0, 1},
        {45.0 / 1073741824.0, -1},
        {0.4 * 360.0 / 4294967296.0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DegreesToRaw(c.degrees), c.raw) << c.degrees;
}

TEST(DegreesToRaw, NonFiniteAndHugeAnglesStayDefined) {
    EXPECT_EQ(DegreesToRaw(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(DegreesToRaw(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(DegreesToRaw(-std::numeric_limits<double>::infinity()), 0);
    // 1e300 is a whole number of turns plus fmod(1e300, 360); no overflow on the way.
    EXPECT_EQ(DegreesToRaw(1e300), DegreesToRaw(std::fmod(1e300, 360.0)));
    EXPECT_EQ(DegreesToRaw(-std::numeric_limits<double>::max()),
              DegreesToRaw(std::fmod(-std::numeric_limits<double>::max(), 360.0)));
}

// What the stand-in sends, the gauge and the probe read back.
TEST(DegreesToRaw, RoundTripsThroughRawToDegrees) {
    for (double degrees = -179.75; degrees <= 180.0; degrees += 0.25) {
        EXPECT_NEAR(RawToDegrees(DegreesToRaw(degrees)), degrees, 1e-4) << degrees;
    }
    EXPECT_EQ(RawToDegrees(DegreesToRaw(-180.0)), 180.0f);
    EXPECT_EQ(RawToDegrees(DegreesToRaw(12.5)), 12.5f);
}

} // namespace
