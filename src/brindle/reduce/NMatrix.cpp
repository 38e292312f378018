#include "brindle/reduce/NMatrix.h"

#include <algorithm>
#include <cmath>
#include <utility>

nVector::nVector(uint32_t n) : fN(std::min(n, kMaxDim)) {}

void nVector::setZero() { std::fill(fV, fV + kMaxDim, 0.0); }

nVector& nVector::operator+=(const nVector& o) {
    for (uint32_t i = 0; i < fN; ++i) fV[i] += o.fV[i];
    return *this;
}
nVector& nVector::operator-=(const nVector& o) {
    for (uint32_t i = 0; i < fN; ++i) fV[i] -= o.fV[i];
    return *this;
}
nVector& nVector::operator*=(double s) {
    for (uint32_t i = 0; i < fN; ++i) fV[i] *= s;
    return *this;
}
double nVector::dot(const nVector& o) const {
    double s = 0;
    for (uint32_t i = 0; i < fN; ++i) s += fV[i] * o.fV[i];
    return s;
}
double nVector::norm() const { return std::sqrt(dot(*this)); }
double nVector::normalize() {
    const double len = norm();
    if (len > 1e-300) *this *= 1.0 / len;
    return len;
}
bool nVector::isFinite() const {
    for (uint32_t i = 0; i < fN; ++i)
        if (!std::isfinite(fV[i])) return false;
    return true;
}

nMatrix::nMatrix(uint32_t n) : fN(std::min(n, kMaxDim)) { setZero(); }

void nMatrix::copyFrom(const nMatrix& o) { std::copy(o.fM, o.fM + fN * fN, fM); }

nMatrix nMatrix::identity(uint32_t n) {
    nMatrix m(n);
    for (uint32_t i = 0; i < m.fN; ++i) m(i, i) = 1.0;
    return m;
}
nMatrix nMatrix::outer(const nVector& u, const nVector& v) {
    nMatrix m(u.size());
    for (uint32_t r = 0; r < m.fN; ++r)
        for (uint32_t c = 0; c < m.fN; ++c) m(r, c) = u[r] * v[c];
    return m;
}
void nMatrix::setZero() { std::fill(fM, fM + fN * fN, 0.0); }

nMatrix& nMatrix::operator+=(const nMatrix& o) {
    for (uint32_t r = 0; r < fN; ++r)
        for (uint32_t c = 0; c < fN; ++c) (*this)(r, c) += o(r, c);
    return *this;
}
nMatrix& nMatrix::operator-=(const nMatrix& o) {
    for (uint32_t r = 0; r < fN; ++r)
        for (uint32_t c = 0; c < fN; ++c) (*this)(r, c) -= o(r, c);
    return *this;
}
nMatrix& nMatrix::operator*=(double s) {
    for (uint32_t r = 0; r < fN; ++r)
        for (uint32_t c = 0; c < fN; ++c) (*this)(r, c) *= s;
    return *this;
}
nMatrix nMatrix::operator*(const nMatrix& o) const {
    nMatrix m(fN);
    for (uint32_t r = 0; r < fN; ++r)
        for (uint32_t k = 0; k < fN; ++k) {
            const double a = (*this)(r, k);
            for (uint32_t c = 0; c < fN; ++c) m(r, c) += a * o(k, c);
        }
    return m;
}
nVector nMatrix::operator*(const nVector& v) const {
    nVector out(fN);
    for (uint32_t r = 0; r < fN; ++r) {
        double s = 0;
        for (uint32_t c = 0; c < fN; ++c) s += (*this)(r, c) * v[c];
        out[r] = s;
    }
    return out;
}
void nMatrix::subtractOuter(const nVector& u) {
    for (uint32_t r = 0; r < fN; ++r)
        for (uint32_t c = 0; c < fN; ++c) (*this)(r, c) -= u[r] * u[c];
}

bool nMatrix::inverse(nMatrix& out) const {
    const uint32_t n = fN;
    double scale = 0;
    for (uint32_t r = 0; r < n; ++r)
        for (uint32_t c = 0; c < n; ++c) scale = std::max(scale, std::fabs((*this)(r, c)));
    if (!(scale > 0) || !std::isfinite(scale)) return false;
    const double tiny = scale * 1e-10;
    nMatrix a = *this;
    out = identity(n);
    for (uint32_t col = 0; col < n; ++col) {
        uint32_t pivot = col;
        for (uint32_t r = col + 1; r < n; ++r)
            if (std::fabs(a(r, col)) > std::fabs(a(pivot, col))) pivot = r;
        if (!(std::fabs(a(pivot, col)) > tiny)) return false;
        if (pivot != col)
            for (uint32_t c = 0; c < n; ++c) {
                std::swap(a(col, c), a(pivot, c));
                std::swap(out(col, c), out(pivot, c));
            }
        const double inv = 1.0 / a(col, col);
        for (uint32_t c = 0; c < n; ++c) {
            a(col, c) *= inv;
            out(col, c) *= inv;
        }
        for (uint32_t r = 0; r < n; ++r) {
            if (r == col) continue;
            const double f = a(r, col);
            if (f == 0) continue;
            for (uint32_t c = 0; c < n; ++c) {
                a(r, c) -= f * a(col, c);
                out(r, c) -= f * out(col, c);
            }
        }
    }
    return true;
}
