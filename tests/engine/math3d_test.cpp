// The engine's angle and transform conventions, checked on the matrices.
#include <gtest/gtest.h>

#include <cmath>

#include "math3d.h"

namespace {

void ExpectNear(Vec3 actual, Vec3 expected) {
    EXPECT_NEAR(actual.x, expected.x, 1e-12);
    EXPECT_NEAR(actual.y, expected.y, 1e-12);
    EXPECT_NEAR(actual.z, expected.z, 1e-12);
}

TEST(Math3d, SineAndCosineInDegreesAreExactAtQuarterTurnsAndAccurateBetween) {
    const double kExact[][3] = {{0, 0, 1},   {90, 1, 0},   {180, 0, -1}, {270, -1, 0},
                                {360, 0, 1}, {-90, -1, 0}, {450, 1, 0},  {-720, 0, 1}};
    for (const auto& row : kExact) {
        EXPECT_EQ(SinDeg(row[0]) + 0.0, row[1]) << row[0];
        EXPECT_EQ(CosDeg(row[0]) + 0.0, row[2]) << row[0];
    }
    for (double a = -725.0; a <= 725.0; a += 0.37) {
        EXPECT_NEAR(SinDeg(a), std::sin(a * M_PI / 180.0), 1e-14) << a;
        EXPECT_NEAR(CosDeg(a), std::cos(a * M_PI / 180.0), 1e-14) << a;
    }
    EXPECT_EQ(SinDeg(NAN), 0.0);
}

// A positive angle turns counter-clockwise seen from the positive end of its axis.
TEST(Math3d, PositiveAnglesTurnCounterClockwise) {
    const struct {
        double x, y, z;
        Vec3 in, out;
    } kCases[] = {
        {0, 0, 90, {1, 0, 0}, {0, 1, 0}}, {0, 0, 90, {0, 1, 0}, {-1, 0, 0}},
        {90, 0, 0, {0, 1, 0}, {0, 0, 1}}, {90, 0, 0, {0, 0, 1}, {0, -1, 0}},
        {0, 90, 0, {0, 0, 1}, {1, 0, 0}}, {0, 90, 0, {1, 0, 0}, {0, 0, -1}},
    };
    for (const auto& c : kCases)
        ExpectNear(TransformVector(EulerToMatrix(c.x, c.y, c.z), c.in), c.out);
}

TEST(Math3d, EulerAnglesApplyXThenYThenZ) {
    for (double x : {-70.0, 25.0, 130.0})
        for (double y : {-40.0, 10.0, 95.0})
            for (double z : {-150.0, 33.0, 80.0}) {
                const Mat4 expected =
                    EulerToMatrix(0, 0, z) * EulerToMatrix(0, y, 0) * EulerToMatrix(x, 0, 0);
                const Mat4 actual = EulerToMatrix(x, y, z);
                for (int i = 0; i < 3; ++i)
                    for (int j = 0; j < 3; ++j)
                        EXPECT_NEAR(actual.m[i][j], expected.m[i][j], 1e-15);
            }
    // Distinguishable from the other orders: (90, 0, 90) keeps +y on +z.
    ExpectNear(TransformVector(EulerToMatrix(90, 0, 90), {0, 1, 0}), {0, 0, 1});
}

TEST(Math3d, NormalMatrixKeepsNormalsPerpendicularUnderNonUniformScale) {
    const Mat4 m = EulerToMatrix(10, 20, 30) * Scaling({1.6, 1.6, 1.0});
    double det = 0;
    const Mat4 n = NormalMatrix(m, &det);
    EXPECT_GT(det, 0.0);
    const Vec3 tangent = TransformVector(m, Normalize({1, -1, 2}));
    const Vec3 normal = TransformVector(n, Normalize(Cross({1, -1, 2}, {0, 3, 1})));
    const Vec3 other = TransformVector(m, {0, 3, 1});
    EXPECT_NEAR(Dot(Normalize(tangent), Normalize(normal)), 0.0, 1e-12);
    EXPECT_NEAR(Dot(Normalize(other), Normalize(normal)), 0.0, 1e-12);
    NormalMatrix(Scaling({-1, 1, 1}), &det);
    EXPECT_LT(det, 0.0);
}

TEST(Math3d, RigidInverseUndoesATurnAndAMove) {
    const Mat4 m = Translation({3, -4, 5}) * EulerToMatrix(30, -60, 120);
    const Vec3 p{1.5, 2.5, -3.5};
    ExpectNear(TransformPoint(RigidInverse(m), TransformPoint(m, p)), p);
}

} // namespace
