#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "brindle/base/Export.h"
#include "brindle/reduce/NMatrix.h"

class TdebugOutput;

// A generalised quadric of dimension N: the squared distance of a point of N-space from a plane
// (or a sum of such distances, each weighted), written as Q(v) = v^T A v + 2 b.v + c with A
// symmetric. The area is the total weight the quadric was built from; it breaks ties between
// edges of equal error.
class BRINDLE_API TquadricN {
public:
    TquadricN() = default;
    // A zero quadric of dimension n.
    explicit TquadricN(uint32_t n);
    // The distance from the plane through p, q and r (orthonormal frame e1 along q - p, e2 the
    // part of r - p across e1), with the given area. A degenerate triangle (q on p, or r on the
    // line pq) spans less than a plane: the missing direction of the frame is left out, so the
    // quadric measures the distance from the line or the point instead.
    TquadricN(const nVector& p, const nVector& q, const nVector& r, double area);

    uint32_t size() const { return fA.size(); }
    TquadricN& operator+=(const TquadricN& o);
    // Scales A, b, c and the area.
    TquadricN& operator*=(double s);
    double evaluate(const nVector& v) const;
    // The minimiser -A^-1 b; false when A is not invertible.
    bool optimize(nVector& v) const;
    double area() const { return fArea; }
    const nMatrix& A() const { return fA; }
    const nVector& b() const { return fB; }
    double c() const { return fC; }
    void print(TdebugOutput& out) const;

private:
    friend class TquadricNArray;
    nMatrix fA;
    nVector fB;
    double fC = 0;
    double fArea = 0;
};

// One quadric of dimension N per slot in a single flat array: the upper triangle of A, then b,
// c and the area, so a slot of N = 3 takes 11 doubles instead of a full TquadricN.
class BRINDLE_API TquadricNArray {
public:
    void create(uint32_t dimension, uint32_t count);
    uint32_t dimension() const { return fN; }
    uint32_t size() const { return fStride ? uint32_t(fData.size() / fStride) : 0; }
    void add(uint32_t slot, const TquadricN& q);
    // out = slot i (+ slot j).
    void get(uint32_t i, TquadricN& out) const;
    void sum(uint32_t i, uint32_t j, TquadricN& out) const;
    // slot `to` += slot `from`.
    void accumulate(uint32_t to, uint32_t from);
    double area(uint32_t i) const { return fData[size_t(i) * fStride + fStride - 1]; }

private:
    // out = slot data s (+ slot data t when not null).
    void unpack(const double* s, const double* t, TquadricN& out) const;
    uint32_t fN = 0;
    uint32_t fStride = 0;
    std::vector<double> fData;
};
