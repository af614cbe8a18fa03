// math3d.h - the small amount of linear algebra the engine needs, in double
// precision and with its own sine and cosine so that the native and the
// Windows builds compute the same bits (the C libraries' sin/cos differ in the
// last place between glibc and the Windows runtime).
//
// Contract
// - Right-handed, column vectors: p' = M * p; Mat4 is row-major m[row][col].
// - Angles in degrees; a positive angle turns counter-clockwise seen from the
//   positive end of its axis. EulerToMatrix builds R = Rz * Ry * Rx (x first).
// - Every function is deterministic: only +, -, *, / and sqrt, in a fixed order.
#pragma once

#include <cmath>

struct Vec3 {
    double x = 0.0, y = 0.0, z = 0.0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(Vec3 a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline double Dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 Cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(Vec3 a) {
    return std::sqrt(Dot(a, a));
}
// Unit vector along `a`, or the zero vector when `a` has no length.
inline Vec3 Normalize(Vec3 a) {
    const double length = Length(a);
    return length > 0.0 ? a * (1.0 / length) : Vec3{};
}

struct Mat4 {
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

Mat4 operator*(const Mat4& a, const Mat4& b);
Vec3 TransformPoint(const Mat4& m, Vec3 p);
Vec3 TransformVector(const Mat4& m, Vec3 v);

// sin and cos of an angle in degrees. Exact at multiples of 90 degrees.
double SinDeg(double degrees);
double CosDeg(double degrees);

Mat4 Translation(Vec3 t);
Mat4 Scaling(Vec3 s);
Mat4 EulerToMatrix(double xDegrees, double yDegrees, double zDegrees);

// The transpose of the cofactor matrix of the upper 3x3 (the inverse transpose
// times the determinant): maps normals; `determinant` gets the 3x3 determinant.
Mat4 NormalMatrix(const Mat4& m, double* determinant);

// Inverse of a rigid transform (rotation and translation only).
Mat4 RigidInverse(const Mat4& m);
