#pragma once

#include <cstdint>

#include "brindle/base/Export.h"

// Dense double-precision vector of up to kMaxDim components. The storage is inline, so vectors
// are plain values that never allocate: the reduction builds and solves millions of them. Every
// binary operation expects operands of the same dimension.
class BRINDLE_API nVector {
public:
    static constexpr uint32_t kMaxDim = 9;

    nVector() = default;
    // A zero vector of n components (n is clamped to kMaxDim).
    explicit nVector(uint32_t n);

    uint32_t size() const { return fN; }
    double& operator[](uint32_t i) { return fV[i]; }
    double operator[](uint32_t i) const { return fV[i]; }
    void setZero();

    nVector& operator+=(const nVector& o);
    nVector& operator-=(const nVector& o);
    nVector& operator*=(double s);
    nVector operator+(const nVector& o) const { return nVector(*this) += o; }
    nVector operator-(const nVector& o) const { return nVector(*this) -= o; }
    nVector operator*(double s) const { return nVector(*this) *= s; }
    nVector operator-() const { return nVector(*this) *= -1.0; }
    double dot(const nVector& o) const;
    double norm() const;
    // Scales to unit length and answers the old length; a vector shorter than 1e-300 is left as
    // it is (the answer tells the caller it was degenerate).
    double normalize();
    bool isFinite() const;

private:
    double fV[kMaxDim] = {};
    uint32_t fN = 0;
};

// Dense square double-precision matrix of up to nVector::kMaxDim rows, stored inline row by row
// with a row length of n: only the first n * n entries are meaningful, and only they are set
// and copied, so a 3 x 3 matrix costs 9 doubles of work, not 81.
class BRINDLE_API nMatrix {
public:
    static constexpr uint32_t kMaxDim = nVector::kMaxDim;

    nMatrix() = default;
    // An n x n zero matrix.
    explicit nMatrix(uint32_t n);
    nMatrix(const nMatrix& o) : fN(o.fN) { copyFrom(o); }
    nMatrix& operator=(const nMatrix& o) {
        fN = o.fN;
        copyFrom(o);
        return *this;
    }
    static nMatrix identity(uint32_t n);
    // u * v^T.
    static nMatrix outer(const nVector& u, const nVector& v);

    uint32_t size() const { return fN; }
    double& operator()(uint32_t r, uint32_t c) { return fM[r * fN + c]; }
    double operator()(uint32_t r, uint32_t c) const { return fM[r * fN + c]; }
    void setZero();

    nMatrix& operator+=(const nMatrix& o);
    nMatrix& operator-=(const nMatrix& o);
    nMatrix& operator*=(double s);
    nMatrix operator+(const nMatrix& o) const { return nMatrix(*this) += o; }
    nMatrix operator-(const nMatrix& o) const { return nMatrix(*this) -= o; }
    nMatrix operator*(double s) const { return nMatrix(*this) *= s; }
    nMatrix operator*(const nMatrix& o) const;
    nVector operator*(const nVector& v) const;
    // Subtracts u * u^T without forming it.
    void subtractOuter(const nVector& u);

    // Gauss-Jordan elimination with partial pivoting into out. False (out unspecified) when a
    // pivot falls below 1e-10 times the largest entry of the matrix, or the matrix is zero or not
    // finite: such a matrix is treated as singular, since its inverse would amplify rounding into
    // a placement far outside the neighbourhood.
    bool inverse(nMatrix& out) const;

private:
    void copyFrom(const nMatrix& o);
    uint32_t fN = 0;
    double fM[kMaxDim * kMaxDim];
};
