#include "brindle/base/Transform.h"

#include <cmath>
#include <utility>

#include "brindle/base/VectorMath.h"

T4dDblMatrix::T4dDblMatrix(const T4dFltMatrix& f) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[r][c] = f.m[r][c];
}

bool T4dDblMatrix::isIdentity() const { return *this == T4dDblMatrix(); }

bool T4dDblMatrix::operator==(const T4dDblMatrix& o) const {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m[r][c] != o.m[r][c]) return false;
    return true;
}

T4dDblMatrix T4dDblMatrix::operator*(const T4dDblMatrix& o) const {
    T4dDblMatrix out;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += m[i][k] * o.m[k][j];
            out.m[i][j] = s;
        }
    return out;
}

bool T4dDblMatrix::invertIt(double tolerance) {
    // Gauss-Jordan with partial pivoting on a copy, so that a singular matrix stays untouched.
    double a[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            a[r][c] = m[r][c];
            a[r][c + 4] = r == c ? 1.0 : 0.0;
        }
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) pivot = r;
        if (!(std::fabs(a[pivot][c]) > tolerance)) return false;
        if (pivot != c)
            for (int k = 0; k < 8; ++k) std::swap(a[c][k], a[pivot][k]);
        const double inv = 1.0 / a[c][c];
        for (int k = 0; k < 8; ++k) a[c][k] *= inv;
        for (int r = 0; r < 4; ++r) {
            if (r == c || a[r][c] == 0.0) continue;
            const double f = a[r][c];
            for (int k = 0; k < 8; ++k) a[r][k] -= f * a[c][k];
        }
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[r][c] = a[r][c + 4];
    return true;
}

double T4dDblMatrix::determinant3() const {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

T3dFltPoint T4dDblMatrix::transformPoint(const T3dFltPoint& p) const {
    double out[4];
    for (int c = 0; c < 4; ++c) out[c] = p.x * m[0][c] + p.y * m[1][c] + p.z * m[2][c] + m[3][c];
    if (out[3] != 1.0 && out[3] != 0.0) return {float(out[0] / out[3]), float(out[1] / out[3]), float(out[2] / out[3])};
    return {float(out[0]), float(out[1]), float(out[2])};
}

T4dFltMatrix T4dDblMatrix::toFlt() const {
    T4dFltMatrix f;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) f.m[r][c] = float(m[r][c]);
    return f;
}

Tquaternion::Tquaternion(double angle, const T4dFltVector& axis) {
    const double len = std::sqrt(double(axis.x) * axis.x + double(axis.y) * axis.y + double(axis.z) * axis.z);
    if (!(len > 0)) return;
    const double s = std::sin(angle / 2) / len;
    w = std::cos(angle / 2);
    x = axis.x * s;
    y = axis.y * s;
    z = axis.z * s;
}

Tquaternion::Tquaternion(const TrotateXYZ& r) {
    const Tquaternion qx(r.x, T4dFltVector::xAxis), qy(r.y, T4dFltVector::yAxis), qz(r.z, T4dFltVector::zAxis);
    // The first axis of the order applies first, so it stands rightmost.
    switch (r.order) {
        case TrotateXYZ::kYZX:
            *this = qx * qz * qy;
            break;
        case TrotateXYZ::kZXY:
            *this = qy * qx * qz;
            break;
        case TrotateXYZ::kXZY:
            *this = qy * qz * qx;
            break;
        case TrotateXYZ::kYXZ:
            *this = qz * qx * qy;
            break;
        case TrotateXYZ::kZYX:
            *this = qx * qy * qz;
            break;
        default:
            *this = qz * qy * qx;
            break;
    }
}

Tquaternion::Tquaternion(const T4dFltVector& from, const T4dFltVector& to) {
    T4dFltVector a = from, b = to;
    if (!a.normalize() || !b.normalize()) return;
    const double d = double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z;
    if (d < -1 + 1e-7) {
        // Opposite directions: a half turn about any axis perpendicular to from.
        T4dFltVector axis;
        axis.setToCrossProduct(std::fabs(a.x) < 0.9f ? T4dFltVector::xAxis : T4dFltVector::yAxis, a);
        *this = Tquaternion(kPi, axis);
        return;
    }
    T4dFltVector c;
    c.setToCrossProduct(a, b);
    w = 1 + d;
    x = c.x;
    y = c.y;
    z = c.z;
    const double n = std::sqrt(w * w + x * x + y * y + z * z);
    w /= n;
    x /= n;
    y /= n;
    z /= n;
}

Tquaternion Tquaternion::operator*(const Tquaternion& o) const {
    return {w * o.w - x * o.x - y * o.y - z * o.z, w * o.x + x * o.w + y * o.z - z * o.y,
            w * o.y - x * o.z + y * o.w + z * o.x, w * o.z + x * o.y - y * o.x + z * o.w};
}

void Tquaternion::getPivotAxis(double& angle, T4dFltVector& axis) const {
    // Take the representative with w >= 0 so that the angle lies in [0, pi].
    const double sign = w < 0 ? -1 : 1;
    const double s = std::sqrt(x * x + y * y + z * z);
    angle = 2 * std::atan2(s, sign * w);
    if (s > 0)
        axis = T4dFltVector(float(sign * x / s), float(sign * y / s), float(sign * z / s));
    else
        axis = T4dFltVector::zAxis;
}

void Tquaternion::toMatrix(T4dDblMatrix& out) const {
    // Rows are the images of the axes: the transpose of the column-vector rotation matrix.
    out = T4dDblMatrix();
    out.m[0][0] = 1 - 2 * (y * y + z * z);
    out.m[0][1] = 2 * (x * y + w * z);
    out.m[0][2] = 2 * (x * z - w * y);
    out.m[1][0] = 2 * (x * y - w * z);
    out.m[1][1] = 1 - 2 * (x * x + z * z);
    out.m[1][2] = 2 * (y * z + w * x);
    out.m[2][0] = 2 * (x * z + w * y);
    out.m[2][1] = 2 * (y * z - w * x);
    out.m[2][2] = 1 - 2 * (x * x + y * y);
}
