#pragma once

#include <cmath>

#include "brindle/base/Math.h"

// The matrix of rotation angles in radians about x, then y, then z (each about the fixed axes),
// acting on row vectors like every matrix of the library: p' = p * matrix.
inline T4dFltMatrix rotationMatrixXYZ(float x, float y, float z) {
    const float cx = std::cos(x), sx = std::sin(x), cy = std::cos(y), sy = std::sin(y);
    const float cz = std::cos(z), sz = std::sin(z);
    T4dFltMatrix rx, ry, rz;
    rx.m[1][1] = cx, rx.m[1][2] = sx, rx.m[2][1] = -sx, rx.m[2][2] = cx;
    ry.m[0][0] = cy, ry.m[0][2] = -sy, ry.m[2][0] = sy, ry.m[2][2] = cy;
    rz.m[0][0] = cz, rz.m[0][1] = sz, rz.m[1][0] = -sz, rz.m[1][1] = cz;
    return rx * ry * rz;
}
