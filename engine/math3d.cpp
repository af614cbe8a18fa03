// See math3d.h.
#include "math3d.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Taylor series on [-pi/4, pi/4]: the terms up to x^17 leave an error far
// below a double's last place there.
double SinSeries(double x) {
    const double x2 = x * x;
    double term = x, sum = x;
    for (int n = 1; n <= 8; ++n) {
        term *= -x2 / static_cast<double>((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

double CosSeries(double x) {
    const double x2 = x * x;
    double term = 1.0, sum = 1.0;
    for (int n = 1; n <= 8; ++n) {
        term *= -x2 / static_cast<double>((2 * n - 1) * (2 * n));
        sum += term;
    }
    return sum;
}

// sin (wantCos false) or cos of `degrees`, reduced to an octant first.
double SinCosDeg(double degrees, bool wantCos) {
    if (!std::isfinite(degrees)) return 0.0;
    double a = std::fmod(degrees, 360.0); // exact
    if (a < 0.0) a += 360.0;
    if (wantCos) a += 90.0; // cos(a) = sin(a + 90)
    if (a >= 360.0) a -= 360.0;
    const int quadrant = static_cast<int>(a / 90.0) & 3;
    const double r = a - 90.0 * quadrant; // [0, 90)
    // sin over one quadrant, from the octant's series
    const double s =
        r <= 45.0 ? SinSeries(r * (kPi / 180.0)) : CosSeries((90.0 - r) * (kPi / 180.0));
    const double c =
        r <= 45.0 ? CosSeries(r * (kPi / 180.0)) : SinSeries((90.0 - r) * (kPi / 180.0));
    switch (quadrant) {
    case 0:
        return s;
    case 1:
        return c;
    case 2:
        return -s;
    default:
        return -c;
    }
}

} // namespace

double SinDeg(double degrees) {
    return SinCosDeg(degrees, false);
}
double CosDeg(double degrees) {
    return SinCosDeg(degrees, true);
}

Mat4 operator*(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += a.m[i][k] * b.m[k][j];
            r.m[i][j] = sum;
        }
    return r;
}

Vec3 TransformPoint(const Mat4& m, Vec3 p) {
    return {m.m[0][0] * p.x + m.m[0][1] * p.y + m.m[0][2] * p.z + m.m[0][3],
            m.m[1][0] * p.x + m.m[1][1] * p.y + m.m[1][2] * p.z + m.m[1][3],
            m.m[2][0] * p.x + m.m[2][1] * p.y + m.m[2][2] * p.z + m.m[2][3]};
}

Vec3 TransformVector(const Mat4& m, Vec3 v) {
    return {m.m[0][0] * v.x + m.m[0][1] * v.y + m.m[0][2] * v.z,
            m.m[1][0] * v.x + m.m[1][1] * v.y + m.m[1][2] * v.z,
            m.m[2][0] * v.x + m.m[2][1] * v.y + m.m[2][2] * v.z};
}

Mat4 Translation(Vec3 t) {
    Mat4 r;
    r.m[0][3] = t.x;
    r.m[1][3] = t.y;
    r.m[2][3] = t.z;
    return r;
}

Mat4 Scaling(Vec3 s) {
    Mat4 r;
    r.m[0][0] = s.x;
    r.m[1][1] = s.y;
    r.m[2][2] = s.z;
    return r;
}

Mat4 EulerToMatrix(double xDegrees, double yDegrees, double zDegrees) {
    const double sx = SinDeg(xDegrees), cx = CosDeg(xDegrees);
    const double sy = SinDeg(yDegrees), cy = CosDeg(yDegrees);
    const double sz = SinDeg(zDegrees), cz = CosDeg(zDegrees);
    Mat4 rx, ry, rz;
    rx.m[1][1] = cx, rx.m[1][2] = -sx, rx.m[2][1] = sx, rx.m[2][2] = cx;
    ry.m[0][0] = cy, ry.m[0][2] = sy, ry.m[2][0] = -sy, ry.m[2][2] = cy;
    rz.m[0][0] = cz, rz.m[0][1] = -sz, rz.m[1][0] = sz, rz.m[1][1] = cz;
    return rz * (ry * rx);
}

Mat4 NormalMatrix(const Mat4& m, double* determinant) {
    const double a = m.m[0][0], b = m.m[0][1], c = m.m[0][2];
    const double d = m.m[1][0], e = m.m[1][1], f = m.m[1][2];
    const double g = m.m[2][0], h = m.m[2][1], k = m.m[2][2];
    Mat4 r;
    // cofactors C[i][j] of the 3x3; the normal matrix is C itself (the
    // transpose of the adjugate), i.e. det * inverse-transpose.
    r.m[0][0] = e * k - f * h, r.m[0][1] = f * g - d * k, r.m[0][2] = d * h - e * g;
    r.m[1][0] = c * h - b * k, r.m[1][1] = a * k - c * g, r.m[1][2] = b * g - a * h;
    r.m[2][0] = b * f - c * e, r.m[2][1] = c * d - a * f, r.m[2][2] = a * e - b * d;
    *determinant = a * r.m[0][0] + b * r.m[0][1] + c * r.m[0][2];
    return r;
}

Mat4 RigidInverse(const Mat4& m) {
    Mat4 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = m.m[j][i];
    for (int i = 0; i < 3; ++i)
        r.m[i][3] = -(r.m[i][0] * m.m[0][3] + r.m[i][1] * m.m[1][3] + r.m[i][2] * m.m[2][3]);
    return r;
}
