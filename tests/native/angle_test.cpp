#include <gtest/gtest.h>

#include <cstring>

#include "angle.h"

namespace {

uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

// Bit-exact: the quotient is rounded once, from double, to float.
TEST(Angle, RawToDegreesIsBitExact) {
    const struct {
        int32_t raw;
        double degrees;
    } cases[] = {
        {1 << 30, -90.0},
        {-(1 << 30), 90.0},
        {INT32_MIN, 180.0},
        {INT32_MAX, -180.0},
        {10000000, -0.8381903171539307},
        {-10000000, 0.8381903171539307},
        {(1 << 24) + 1, -1.4062501192092896},
        {0, -0.0}, // 0 x -360 is -0 in IEEE arithmetic; the engine treats it as 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw);
        EXPECT_EQ(Bits(RawToDegrees(c.raw)), Bits(static_cast<float>(c.degrees)));
    }
    // Rounding the raw value to float first would give -1.40625 here.
    EXPECT_NE(RawToDegrees((1 << 24) + 1), -1.40625f);
}

TEST(Angle, DegreesToRawFollowsTheSimulatorConvention) {
    const struct {
        double degrees;
        int32_t raw;
    } cases[] = {
        {0.0, 0},
        {90.0, -(1 << 30)},
        {-90.0, 1 << 30},
        {180.0, INT32_MIN},
        {-180.0, INT32_MIN},
        {190.0, 2028179001},
        {-0.8381903171539307, 10000000},
        {360.0, 0},
        {450.0, -(1 << 30)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.degrees);
        EXPECT_EQ(DegreesToRaw(c.degrees), c.raw);
    }
    // And back: every whole degree survives the round trip within float precision.
    for (int d = -179; d <= 180; ++d) EXPECT_NEAR(RawToDegrees(DegreesToRaw(d)), d, 1e-4) << d;
}

} // namespace
