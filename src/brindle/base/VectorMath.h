#pragma once

#include <cmath>
#include <concepts>
#include <cstdint>

#include "brindle/base/Math.h"

// The one spelling of pi and of the angles the primitives and operations share.
inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kTwoPi = 2 * kPi;
inline constexpr double kHalfPi = kPi / 2;
inline constexpr double kRadiansPerDegree = kPi / 180;
// The single-precision turns the primitives step with (6.2831855f and 3.1415927f).
inline constexpr float kTwoPiF = float(kTwoPi);
inline constexpr float kPiF = float(kPi);
// Edges between divisions of a curved primitive are hard when the step between them exceeds this
// (30 degrees), so a twelve-sided ring is faceted and a thirteen-sided one is smooth.
inline constexpr double kHardStepAngle = kPi / 6;

// Anything with x, y and z members: T3dFltPoint, T4dFltVector, T4dFltPoint, T3dDblPoint and the
// double vector below all take part in the helpers.
template <typename P>
concept TxyzLike = requires(const P& p) {
    { p.x } -> std::convertible_to<double>;
    { p.y } -> std::convertible_to<double>;
    { p.z } -> std::convertible_to<double>;
};

// Double-precision 3-vector for sums and products over single-precision positions, so that a
// long sum (a face normal, a centre) does not lose the small terms.
struct T3dDblVector {
    double x = 0, y = 0, z = 0;

    constexpr T3dDblVector() = default;
    constexpr T3dDblVector(double px, double py, double pz) : x(px), y(py), z(pz) {}
    template <TxyzLike P>
    constexpr explicit T3dDblVector(const P& p) : x(double(p.x)), y(double(p.y)), z(double(p.z)) {}

    constexpr T3dDblVector operator+(const T3dDblVector& o) const { return {x + o.x, y + o.y, z + o.z}; }
    constexpr T3dDblVector operator-(const T3dDblVector& o) const { return {x - o.x, y - o.y, z - o.z}; }
    constexpr T3dDblVector operator*(double s) const { return {x * s, y * s, z * s}; }
    constexpr T3dDblVector& operator+=(const T3dDblVector& o) {
        x += o.x, y += o.y, z += o.z;
        return *this;
    }

    T3dFltPoint point() const { return {float(x), float(y), float(z)}; }
    T4dFltVector vector() const { return {float(x), float(y), float(z)}; }
};

template <TxyzLike A, TxyzLike B>
constexpr double dot(const A& a, const B& b) {
    return double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z;
}
template <TxyzLike A, TxyzLike B>
constexpr T3dDblVector cross(const A& a, const B& b) {
    return {double(a.y) * b.z - double(a.z) * b.y, double(a.z) * b.x - double(a.x) * b.z,
            double(a.x) * b.y - double(a.y) * b.x};
}
template <TxyzLike A>
double length(const A& a) {
    return std::sqrt(dot(a, a));
}
template <TxyzLike A, TxyzLike B>
double distance(const A& a, const B& b) {
    return length(T3dDblVector(a) - T3dDblVector(b));
}

// One side p -> q of a polygon added to its Newell sum. Summed round a closed loop this is the
// loop's normal, of length twice its area, pointing so that the loop turns anticlockwise seen
// from its tip; loops wound the other way (holes) subtract their area. The sum does not depend on
// where the walk starts, and it stays right for non-planar and non-convex loops.
template <TxyzLike P, TxyzLike Q>
constexpr void addNewellSide(T3dDblVector& sum, const P& p, const Q& q) {
    sum.x += (double(p.y) - q.y) * (double(p.z) + q.z);
    sum.y += (double(p.z) - q.z) * (double(p.x) + q.x);
    sum.z += (double(p.x) - q.x) * (double(p.y) + q.y);
}

// The Newell normal of the closed polygon through n points (not normalised).
template <TxyzLike P>
T3dDblVector newellNormal(const P* points, uint32_t n) {
    T3dDblVector sum;
    for (uint32_t i = 0; i < n; ++i) addNewellSide(sum, points[i], points[i + 1 == n ? 0 : i + 1]);
    return sum;
}
