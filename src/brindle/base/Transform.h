#pragma once

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"

// Double-precision 4x4 matrix on row vectors (p' = p * M, translation in the last row): the frame
// parameters of the modifier operations. Identity after construction.
struct BRINDLE_API T4dDblMatrix {
    double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

    T4dDblMatrix() = default;
    explicit T4dDblMatrix(const T4dFltMatrix& f);

    bool isIdentity() const;
    bool operator==(const T4dDblMatrix& o) const;
    T4dDblMatrix operator*(const T4dDblMatrix& o) const;
    // Inverts in place; false, leaving the matrix as it was, when a pivot falls below tolerance.
    bool invertIt(double tolerance = 1e-10);
    // Determinant of the upper 3x3.
    double determinant3() const;
    T3dFltPoint transformPoint(const T3dFltPoint& p) const;
    T4dFltMatrix toFlt() const;
};

// Euler angles in radians and the order in which the axis rotations apply (0 x then y then z,
// 1 yzx, 2 zxy, 3 xzy, 4 yxz, 5 zyx).
struct TrotateXYZ {
    enum Order : int { kXYZ = 0, kYZX, kZXY, kXZY, kYXZ, kZYX };
    double x = 0, y = 0, z = 0;
    int order = kXYZ;

    bool isZero() const { return x == 0 && y == 0 && z == 0; }
};

// Unit rotation quaternion (w, x, y, z). Composition a * b applies b first, then a.
struct BRINDLE_API Tquaternion {
    double w = 1, x = 0, y = 0, z = 0;

    Tquaternion() = default;
    Tquaternion(double pw, double px, double py, double pz) : w(pw), x(px), y(py), z(pz) {}
    explicit Tquaternion(const TrotateXYZ& r);
    // Rotation by angle (radians) about axis; a zero axis gives the identity.
    Tquaternion(double angle, const T4dFltVector& axis);
    // The shortest rotation carrying direction from onto direction to.
    Tquaternion(const T4dFltVector& from, const T4dFltVector& to);

    Tquaternion operator*(const Tquaternion& o) const;
    // Angle in [0, pi] and unit axis; the identity gives angle 0 about the z axis.
    void getPivotAxis(double& angle, T4dFltVector& axis) const;
    // Rotation matrix for row vectors, no translation.
    void toMatrix(T4dDblMatrix& out) const;
};
