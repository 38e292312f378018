#include "brindle/base/Math.h"

#include <utility>

const T4dFltVector T4dFltVector::xAxis(1, 0, 0);
const T4dFltVector T4dFltVector::yAxis(0, 1, 0);
const T4dFltVector T4dFltVector::zAxis(0, 0, 1);

bool T4dFltMatrix::isIdentity() const {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m[r][c] != (r == c ? 1.0f : 0.0f)) return false;
    return true;
}

T3dFltPoint T4dFltMatrix::transformPoint(const T3dFltPoint& p) const {
    float out[4];
    for (int c = 0; c < 4; ++c) out[c] = p.x * m[0][c] + p.y * m[1][c] + p.z * m[2][c] + m[3][c];
    // Affine matrices leave w at 1; a projective one is divided through.
    if (out[3] != 1.0f && out[3] != 0.0f) return {out[0] / out[3], out[1] / out[3], out[2] / out[3]};
    return {out[0], out[1], out[2]};
}

T4dFltVector T4dFltMatrix::transformVector(const T4dFltVector& v) const {
    T4dFltVector out;
    for (int c = 0; c < 4; ++c) out[c] = v.x * m[0][c] + v.y * m[1][c] + v.z * m[2][c] + v.w * m[3][c];
    return out;
}

T4dFltMatrix T4dFltMatrix::operator*(const T4dFltMatrix& o) const {
    T4dFltMatrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0;
            for (int k = 0; k < 4; ++k) s += m[i][k] * o.m[k][j];
            r.m[i][j] = s;
        }
    return r;
}

bool T4dFltMatrix::invert() {
    // Gauss-Jordan with partial pivoting in double precision, so that near-singular frames keep
    // as many digits as single precision can hold afterwards.
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
        if (std::fabs(a[pivot][c]) < 1e-30) return false;
        if (pivot != c)
            for (int k = 0; k < 8; ++k) std::swap(a[c][k], a[pivot][k]);
        double inv = 1.0 / a[c][c];
        for (int k = 0; k < 8; ++k) a[c][k] *= inv;
        for (int r = 0; r < 4; ++r) {
            if (r == c || a[r][c] == 0.0) continue;
            double f = a[r][c];
            for (int k = 0; k < 8; ++k) a[r][k] -= f * a[c][k];
        }
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[r][c] = static_cast<float>(a[r][c + 4]);
    return true;
}

T4dFltMatrix T4dFltMatrix::convertForNormals() const {
    // Cofactor c[r][k] of the 3x3 part; the inverse transpose is the cofactor matrix over det.
    double c[3][3];
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k) {
            const int r1 = (r + 1) % 3, r2 = (r + 2) % 3, k1 = (k + 1) % 3, k2 = (k + 2) % 3;
            c[r][k] = double(m[r1][k1]) * m[r2][k2] - double(m[r1][k2]) * m[r2][k1];
        }
    const double det = m[0][0] * c[0][0] + m[0][1] * c[0][1] + m[0][2] * c[0][2];
    const double scale = det != 0 ? 1 / det : 1;
    T4dFltMatrix out;
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k) out.m[r][k] = static_cast<float>(c[r][k] * scale);
    return out;
}
