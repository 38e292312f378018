#include "brindle/reduce/QuadricN.h"

#include "brindle/base/Diagnostics.h"

namespace {
// Unit direction of v, or the zero vector when v has no usable length.
nVector unitOrZero(nVector v) {
    const double len = v.normalize();
    if (!(len > 1e-12)) v.setZero();
    return v;
}
}  // namespace

TquadricN::TquadricN(uint32_t n) : fA(n), fB(n) {}

TquadricN::TquadricN(const nVector& p, const nVector& q, const nVector& r, double area)
    : fA(nMatrix::identity(p.size())), fB(p.size()), fArea(area) {
    const nVector e1 = unitOrZero(q - p);
    const nVector rp = r - p;
    const nVector e2 = unitOrZero(rp - e1 * rp.dot(e1));
    fA.subtractOuter(e1);
    fA.subtractOuter(e2);
    const double pe1 = p.dot(e1), pe2 = p.dot(e2);
    fB = e1 * pe1;
    fB += e2 * pe2;
    fB -= p;
    fC = p.dot(p) - pe1 * pe1 - pe2 * pe2;
}

TquadricN& TquadricN::operator+=(const TquadricN& o) {
    fA += o.fA;
    fB += o.fB;
    fC += o.fC;
    fArea += o.fArea;
    return *this;
}

TquadricN& TquadricN::operator*=(double s) {
    fA *= s;
    fB *= s;
    fC *= s;
    fArea *= s;
    return *this;
}

double TquadricN::evaluate(const nVector& v) const { return v.dot(fA * v) + 2.0 * fB.dot(v) + fC; }

bool TquadricN::optimize(nVector& v) const {
    nMatrix inv;
    if (!fA.inverse(inv)) return false;
    v = -(inv * fB);
    return v.isFinite();
}

void TquadricN::print(TdebugOutput& out) const {
    const uint32_t n = size();
    out.print("Contents of TquadricN: dimension %u, area %g\n", n, fArea);
    for (uint32_t r = 0; r < n; ++r) {
        out.write("  A");
        for (uint32_t c = 0; c < n; ++c) out.print(" %g", fA(r, c));
        out.write("\n");
    }
    out.write("  b");
    for (uint32_t i = 0; i < n; ++i) out.print(" %g", fB[i]);
    out.print("\n  c %g\n", fC);
}

void TquadricNArray::create(uint32_t dimension, uint32_t count) {
    fN = dimension;
    fStride = dimension * (dimension + 1) / 2 + dimension + 2;
    fData.assign(size_t(count) * fStride, 0.0);
}

void TquadricNArray::add(uint32_t slot, const TquadricN& q) {
    double* d = fData.data() + size_t(slot) * fStride;
    for (uint32_t r = 0; r < fN; ++r)
        for (uint32_t c = r; c < fN; ++c) *d++ += q.fA(r, c);
    for (uint32_t i = 0; i < fN; ++i) *d++ += q.fB[i];
    d[0] += q.fC;
    d[1] += q.fArea;
}

void TquadricNArray::unpack(const double* s, const double* t, TquadricN& out) const {
    if (out.size() != fN) out = TquadricN(fN);
    // Every entry is written, so out needs no clearing; t, when given, is added entry by entry.
    const auto at = [&](uint32_t k) { return t ? s[k] + t[k] : s[k]; };
    uint32_t k = 0;
    for (uint32_t r = 0; r < fN; ++r)
        for (uint32_t c = r; c < fN; ++c, ++k) out.fA(r, c) = out.fA(c, r) = at(k);
    for (uint32_t i = 0; i < fN; ++i, ++k) out.fB[i] = at(k);
    out.fC = at(k);
    out.fArea = at(k + 1);
}

void TquadricNArray::get(uint32_t i, TquadricN& out) const { unpack(fData.data() + size_t(i) * fStride, nullptr, out); }

void TquadricNArray::sum(uint32_t i, uint32_t j, TquadricN& out) const {
    unpack(fData.data() + size_t(i) * fStride, fData.data() + size_t(j) * fStride, out);
}

void TquadricNArray::accumulate(uint32_t to, uint32_t from) {
    double* d = fData.data() + size_t(to) * fStride;
    const double* s = fData.data() + size_t(from) * fStride;
    for (uint32_t k = 0; k < fStride; ++k) d[k] += s[k];
}
