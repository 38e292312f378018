#pragma once

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/spatial/Float4.h"
#include "brindle/spatial/IsectTriangles.h"

// A bounding-volume hierarchy over the grown boxes of a triangle list, built top-down by the
// surface-area heuristic over binned centres as a binary tree and then collapsed into nodes of up
// to four children, whose boxes one vector test meets together. A child is an inner node or a leaf
// of `count` consecutive triangles from `first` (the build reorders the triangle list so that this
// holds); every child's box holds everything below it. The coarse test of castRay reads the
// corners of the triangle list itself, the same memory the caller's exact test then reads: the
// list must outlive the hierarchy and stay as the build left it.
class BRINDLE_API TpolyBvh {
public:
    static constexpr uint32_t kNoChild = 0xFFFFFFFFu;
    // Children's boxes axis by axis (lane k is child k); an unused slot has first kNoChild and an
    // empty box (minimum +infinity, maximum -infinity), which no ray enters.
    struct alignas(64) Node {
        float lo[3][4], hi[3][4];
        uint32_t first[4];  // inner: the node's index; leaf: its first triangle
        uint32_t count[4];  // 0 for an inner node
    };
    // The ray as the box tests and the coarse triangle test read it: float copies, the reciprocal
    // direction and, per axis, which of a box's planes (0 its minimum, 1 its maximum) the ray meets
    // first. The direction is divided by its largest coordinate magnitude, which leaves every
    // weight as it is and scales parameters by dScale.
    struct Ray {
        Ray(const TisectRay& ray, double tolerance);
        // The origin rounded to float, and moved by a bound on that rounding towards a box's
        // far planes (for the parameters where the ray enters) and its near ones (where it
        // leaves), so that the box tests err only on the side of a box met.
        float o[3], oNear[3], oFar[3], d[3], inv[3];
        int nearSide[3];
        float oMag;
        double dScale, tolerance;
    };

    // Reorders triangles; a leaf holds at most leafSize (1 to 64) of them.
    TpolyBvh(TpolyVoxelTriangleArray& triangles, int leafSize);

    uint32_t nodeCount() const { return fNodes.size(); }
    uint32_t leafCount() const { return fLeaves; }
    size_t getMemoryFootprint() const { return fNodes.bytesAllocated(); }

    // Offers test(i, bound), nearest box first, every triangle i whose box the ray meets within
    // [0, bound] and that the coarse test cannot rule out of hitting within bound with the weights'
    // tolerance; test answers the new bound, or a negative one to stop. Answers how many
    // triangles the coarse test looked at.
    template <typename Test>
    uint64_t castRay(const TisectRay& ray, double tolerance, double bound, Test&& test) const;
    // False only when triangle i cannot meet the ray at a parameter in [0, bound] with weights that
    // intersectTriangle accepts with the ray's tolerance: the float computation's rounding is
    // bounded and allowed for, so that the double test alone has the last word.
    bool mayHit(const Ray& r, uint32_t i, double bound) const;
    // Visits, nearest box first, the leaves whose boxes lie within squared distance bound2 of p;
    // visit(first, count, bound2) answers the new squared bound.
    template <typename Visit>
    void walkPoint(const double p[3], double bound2, Visit&& visit) const;

private:
    const TpolyVoxelTriangleArray& fTriangles;
    uint32_t fLeaves = 0;
    Tarray<Node> fNodes;
};

namespace brindleBvh {
// The larger of a and b, b when a is NaN: one instruction, where std::fmax is a library call.
inline float larger(float a, float b) { return a > b ? a : b; }
// Which of the four children's boxes the ray meets within [0, bound] (bit k for child k), and in
// t the parameters where it enters them. An unused slot's empty box is never met. The rounding of the slab parameters (a few units in the last place each) is allowed
// for by the final comparison's margin of 16 units. A slab parameter that comes out NaN (a
// direction so small that its reciprocal overflows, on a plane through the origin) leaves the
// range as it was: max and min keep their second operand then.
inline int enter(const TpolyBvh::Node& n, const TpolyBvh::Ray& r, float bound, float t[4]) {
    Tfloat4 t0(0.0f), t1(bound);
    for (int a = 0; a < 3; ++a) {
        const Tfloat4 inv(r.inv[a]);
        const Tfloat4 nearPlane = Tfloat4::load(r.nearSide[a] ? n.hi[a] : n.lo[a]);
        const Tfloat4 farPlane = Tfloat4::load(r.nearSide[a] ? n.lo[a] : n.hi[a]);
        t0 = max((nearPlane - Tfloat4(r.oNear[a])) * inv, t0);
        t1 = min((farPlane - Tfloat4(r.oFar[a])) * inv, t1);
    }
    t0.store(t);
    return lessEqualMask(t0, t1 + abs(t1) * Tfloat4(0x1p-20f));
}
inline double distance2(const TpolyBvh::Node& n, int k, const double p[3]) {
    double d2 = 0;
    for (int a = 0; a < 3; ++a) {
        const double lo = n.lo[a][k], hi = n.hi[a][k];
        const double d = p[a] < lo ? lo - p[a] : p[a] > hi ? p[a] - hi : 0.0;
        d2 += d * d;
    }
    return d2;
}
// The used slots of a node sorted by key(slot), nearest first; answers how many.
template <typename Key>
int sortedChildren(const TpolyBvh::Node& n, Key&& key, int slots[4], double keys[4]) {
    int m = 0;
    for (int k = 0; k < 4; ++k) {
        if (n.first[k] == TpolyBvh::kNoChild) continue;
        const double v = key(k);
        int j = m++;
        for (; j > 0 && keys[j - 1] > v; --j) slots[j] = slots[j - 1], keys[j] = keys[j - 1];
        slots[j] = k, keys[j] = v;
    }
    return m;
}
}  // namespace brindleBvh

// Error bound of the coarse test, on the corner p0 (the third) and the edges e1 = c0 - p0 and
// e2 = c1 - p0 rounded to float, scaled by the largest magnitude of the edges' coordinates. Each of the four triple products it forms (u = w.(d x e2),
// v = d.(w x e1), t = e2.(w x e1), det = e1.(d x e2), with w = o - p0) sums six products of three
// rounded inputs: its float value lies within 48 units in the last place of (largest |w| plus
// largest |o|, for the rounding of the origin) times largest |d| times largest |e|, per factor, of
// the exact value. 64 units cover that and the double test's own rounding; the floor keeps the bound
// above the absolute error of results that fall among the subnormal floats.
inline bool TpolyBvh::mayHit(const Ray& r, uint32_t i, double bound) const {
    struct {
        float p0[3], e1[3], e2[3], scale = 0;
    } tr;
    const float* c = fTriangles.corners(i);
    for (int a = 0; a < 3; ++a) {
        tr.p0[a] = c[6 + a];
        tr.e1[a] = c[a] - c[6 + a];
        tr.e2[a] = c[3 + a] - c[6 + a];
        tr.scale = brindleBvh::larger(std::fabs(tr.e1[a]), brindleBvh::larger(std::fabs(tr.e2[a]), tr.scale));
    }
    const float w[3] = {r.o[0] - tr.p0[0], r.o[1] - tr.p0[1], r.o[2] - tr.p0[2]};
    const float p[3] = {r.d[1] * tr.e2[2] - r.d[2] * tr.e2[1], r.d[2] * tr.e2[0] - r.d[0] * tr.e2[2],
                        r.d[0] * tr.e2[1] - r.d[1] * tr.e2[0]};
    const float det = tr.e1[0] * p[0] + tr.e1[1] * p[1] + tr.e1[2] * p[2];
    const float u = w[0] * p[0] + w[1] * p[1] + w[2] * p[2];
    constexpr float kUnits = 64.0f * 0x1p-24f, kFloor = 1e-30f;
    const float wMag =
        brindleBvh::larger(std::fabs(w[0]), brindleBvh::larger(std::fabs(w[1]), std::fabs(w[2]))) + r.oMag;
    const double eD = kUnits * tr.scale * tr.scale + kFloor;
    const double eU = kUnits * wMag * tr.scale + kFloor;
    const double eT = eU * tr.scale + kFloor;
    const double ad = std::fabs(det);
    // Too near the triangle's plane for float to tell the side: left to the double test.
    if (!(ad > eD)) return true;
    const double s = det < 0 ? -1.0 : 1.0, us = s * u;
    // The exact determinant lies in [ad - eD, ad + eD]; each limit is taken at its loosest. Most
    // triangles fail on the first weight, before the second cross product is formed.
    const double tol = r.tolerance, low = -tol * ad - std::fabs(tol) * eD;
    if (us + eU < low) return false;
    const float q[3] = {w[1] * tr.e1[2] - w[2] * tr.e1[1], w[2] * tr.e1[0] - w[0] * tr.e1[2],
                        w[0] * tr.e1[1] - w[1] * tr.e1[0]};
    const float v = r.d[0] * q[0] + r.d[1] * q[1] + r.d[2] * q[2];
    const float t = tr.e2[0] * q[0] + tr.e2[1] * q[1] + tr.e2[2] * q[2];
    const double vs = s * v, ts = s * t;
    if (vs + eU < low) return false;
    if (us + vs - 2 * eU > (1 + tol) * ad + std::fabs(1 + tol) * eD) return false;
    return !(ts + eT < 0 || ts - eT > bound * r.dScale * (ad + eD));
}

template <typename Test>
uint64_t TpolyBvh::castRay(const TisectRay& ray, double tolerance, double bound, Test&& test) const {
    if (fNodes.empty()) return 0;
    const Ray r(ray, tolerance);
    uint64_t tested = 0;
    // A child still to visit, with the parameter where the ray enters its box.
    struct Entry {
        uint32_t first, count;
        float t;
    };
    // Each node stacks at most three children, and the build bounds the depth by 80.
    Entry stack[256];
    int top = 0;
    // The float bound, widened so that rounding the boxes' parameters to float loses no hit.
    const auto widen = [](double b) { return float(b) * 1.0001f + 1e-30f; };
    float fbound = widen(bound);
    Entry cur{0, 0, 0};
    // Goes on at once with the nearest child met and stacks the others, farthest lowest, each
    // with its entry parameter, which is looked at again when it comes off the stack, against the
    // bound found meanwhile.
    for (;;) {
        if (cur.count) {
            for (uint32_t i = cur.first; i < cur.first + cur.count; ++i) {
                ++tested;
                if (!mayHit(r, i, bound)) continue;
                bound = test(i, bound);
                if (bound < 0) return tested;
            }
            fbound = widen(bound);
        } else {
            const Node& n = fNodes[cur.first];
            alignas(16) float t[4];
            const int hit = brindleBvh::enter(n, r, fbound, t);
            if (hit) {
                // The children met, nearest first; the nodes among those stacked are fetched
                // into the cache meanwhile.
                Entry met[4];
                int m = 0;
                for (unsigned bits = unsigned(hit); bits; bits &= bits - 1) {
                    const int k = std::countr_zero(bits);
                    const Entry e{n.first[k], n.count[k], t[k]};
                    int j = m++;
                    for (; j > 0 && met[j - 1].t > e.t; --j) met[j] = met[j - 1];
                    met[j] = e;
                }
                for (int j = m - 1; j > 0; --j) {
                    if (!met[j].count) prefetch(&fNodes[met[j].first]);
                    stack[top++] = met[j];
                }
                cur = met[0];
                continue;
            }
        }
        do {
            if (top == 0) return tested;
            --top;
        } while (stack[top].t > fbound);
        cur = stack[top];
    }
}

template <typename Visit>
void TpolyBvh::walkPoint(const double p[3], double bound2, Visit&& visit) const {
    if (fNodes.empty()) return;
    struct Entry {
        uint32_t first, count;
        double d2;
    };
    Entry stack[256];
    int top = 0;
    stack[top++] = {0, 0, 0.0};
    while (top > 0) {
        const Entry e = stack[--top];
        if (e.d2 > bound2) continue;
        if (e.count) {
            bound2 = visit(e.first, e.count, bound2);
            continue;
        }
        const Node& n = fNodes[e.first];
        int slots[4];
        double keys[4];
        const int m = brindleBvh::sortedChildren(
            n, [&](int k) { return brindleBvh::distance2(n, k, p); }, slots, keys);
        for (int j = m - 1; j >= 0; --j)
            if (keys[j] <= bound2) stack[top++] = {n.first[slots[j]], n.count[slots[j]], keys[j]};
    }
}
