#include "angle.h"

#include <gtest/gtest.h>

#include <cmath>

#include "attitude_source.h"

namespace {

TEST(RawToDegrees, MatchesTheSimulatorConvention) {
    struct {
        int32_t raw;
        float degrees;
    } const kCases[] = {
        {0, 0.0f},
        {-1073741824, 90.0f},
        {1073741824, -90.0f},
        {-536870912, 45.0f},
        {INT32_MIN, 180.0f},  // half a turn reads as +180, never -180
        {INT32_MAX, -180.0f}, // one unit short of half a turn: the nearest float is 180
        {-1, 8.381903171539307e-08f},
        {1, -8.381903171539307e-08f},
        // Rounded once from the exact double quotient: 10.0000000037252903 -> 10.0f.
        {-119304647, 10.0f},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(RawToDegrees(c.raw), c.degrees) << c.raw;
    }
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

// The stand-in turns degrees into raw values and the probe turns them back.
TEST(RawToDegrees, UndoesTheStandInConversion) {
    for (double degrees = -179.75; degrees <= 180.0; degrees += 0.25) {
        EXPECT_NEAR(RawToDegrees(DegreesToRaw(degrees)), degrees, 1e-4) << degrees;
    }
    EXPECT_EQ(RawToDegrees(DegreesToRaw(-180.0)), 180.0f);
    EXPECT_EQ(RawToDegrees(DegreesToRaw(12.5)), 12.5f);
}

} // namespace
