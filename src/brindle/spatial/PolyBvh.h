#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/spatial/IsectTriangles.h"

// A bounding-volume hierarchy over the grown boxes of a triangle list, built top-down by the
// surface-area heuristic over binned centres. Nodes are a flat array of 32-byte records; an inner
// node's children are the consecutive nodes at `first`, a leaf holds `count` consecutive triangles
// from `first` (the build reorders the triangle list so that this holds). Every node's box holds
// its children's. Beside the nodes it keeps, in the same order as the triangle list, each
// triangle's third corner and two edges in float, which the coarse test of castRay reads.
class BRINDLE_API TpolyBvh {
public:
    struct Node {
        float lo[3];
        uint32_t first;
        float hi[3];
        uint32_t count;  // 0 for an inner node
    };
    // Corner p0 (the third), edges e1 = c0 - p0 and e2 = c1 - p0 rounded to float, and the largest
    // magnitude of their coordinates, which scales the coarse test's error bound.
    struct Triangle {
        float p0[3], e1[3], e2[3], scale;
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
    size_t getMemoryFootprint() const { return fNodes.bytesAllocated() + fTriangles.bytesAllocated(); }

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
    uint32_t fLeaves = 0;
    Tarray<Node> fNodes;
    Tarray<Triangle> fTriangles;
};

namespace brindleBvh {
// Parameter where the ray enters a box, or infinity on a miss within [0, bound]. The rounding of
// the slab parameters (a few units in the last place each) is allowed for by the final
// comparison's margin of 16 units.
inline float enter(const TpolyBvh::Node& n, const TpolyBvh::Ray& r, float bound) {
    const float* planes[2] = {n.lo, n.hi};
    float t0 = 0, t1 = bound;
    for (int a = 0; a < 3; ++a) {
        const float tn = (planes[r.nearSide[a]][a] - r.oNear[a]) * r.inv[a];
        const float tf = (planes[1 - r.nearSide[a]][a] - r.oFar[a]) * r.inv[a];
        t0 = tn > t0 ? tn : t0;
        t1 = tf < t1 ? tf : t1;
    }
    return t0 <= t1 + std::fabs(t1) * 0x1p-20f ? t0 : INFINITY;
}
inline double distance2(const TpolyBvh::Node& n, const double p[3]) {
    double d2 = 0;
    for (int a = 0; a < 3; ++a) {
        const double d = p[a] < n.lo[a] ? n.lo[a] - p[a] : p[a] > n.hi[a] ? p[a] - n.hi[a] : 0.0;
        d2 += d * d;
    }
    return d2;
}
}  // namespace brindleBvh

// Error bound of the coarse test. Each of the four triple products it forms (u = w.(d x e2),
// v = d.(w x e1), t = e2.(w x e1), det = e1.(d x e2), with w = o - p0) sums six products of three
// rounded inputs: its float value lies within 48 units in the last place of (largest |w| plus
// largest |o|, for the rounding of the origin) times largest |d| times largest |e|, per factor, of
// the exact value. 64 units cover that and the double test's own rounding; the floor keeps the bound
// above the absolute error of results that fall among the subnormal floats.
inline bool TpolyBvh::mayHit(const Ray& r, uint32_t i, double bound) const {
    const Triangle& tr = fTriangles[i];
    const float w[3] = {r.o[0] - tr.p0[0], r.o[1] - tr.p0[1], r.o[2] - tr.p0[2]};
    const float p[3] = {r.d[1] * tr.e2[2] - r.d[2] * tr.e2[1], r.d[2] * tr.e2[0] - r.d[0] * tr.e2[2],
                        r.d[0] * tr.e2[1] - r.d[1] * tr.e2[0]};
    const float q[3] = {w[1] * tr.e1[2] - w[2] * tr.e1[1], w[2] * tr.e1[0] - w[0] * tr.e1[2],
                        w[0] * tr.e1[1] - w[1] * tr.e1[0]};
    const float det = tr.e1[0] * p[0] + tr.e1[1] * p[1] + tr.e1[2] * p[2];
    const float u = w[0] * p[0] + w[1] * p[1] + w[2] * p[2];
    const float v = r.d[0] * q[0] + r.d[1] * q[1] + r.d[2] * q[2];
    const float t = tr.e2[0] * q[0] + tr.e2[1] * q[1] + tr.e2[2] * q[2];
    constexpr float kUnits = 64.0f * 0x1p-24f, kFloor = 1e-30f;
    const float wMag = std::fmax(std::fabs(w[0]), std::fmax(std::fabs(w[1]), std::fabs(w[2]))) + r.oMag;
    const double eD = kUnits * tr.scale * tr.scale + kFloor;
    const double eU = kUnits * wMag * tr.scale + kFloor;
    const double eT = eU * tr.scale + kFloor;
    const double ad = std::fabs(det);
    // Too near the triangle's plane for float to tell the side: left to the double test.
    if (!(ad > eD)) return true;
    const double s = det < 0 ? -1.0 : 1.0, us = s * u, vs = s * v, ts = s * t;
    // The exact determinant lies in [ad - eD, ad + eD]; each limit is taken at its loosest.
    const double tol = r.tolerance, low = -tol * ad - std::fabs(tol) * eD;
    if (us + eU < low || vs + eU < low) return false;
    if (us + vs - 2 * eU > (1 + tol) * ad + std::fabs(1 + tol) * eD) return false;
    return !(ts + eT < 0 || ts - eT > bound * r.dScale * (ad + eD));
}

template <typename Test>
uint64_t TpolyBvh::castRay(const TisectRay& ray, double tolerance, double bound, Test&& test) const {
    if (fNodes.empty()) return 0;
    const Ray r(ray, tolerance);
    uint64_t tested = 0;
    struct Entry {
        uint32_t node;
        float t;
    };
    Entry stack[128];
    int top = 0;
    // The float bound, widened so that rounding the boxes' parameters to float loses no hit.
    const auto widen = [](double b) { return float(b) * 1.0001f + 1e-30f; };
    float fbound = widen(bound);
    if (brindleBvh::enter(fNodes[0], r, fbound) == INFINITY) return 0;
    uint32_t node = 0;
    // Descends to the nearer child at once and stacks the farther one with its entry parameter,
    // which is looked at again when it comes off the stack, against the bound found meanwhile.
    for (;;) {
        const Node& n = fNodes[node];
        if (n.count) {
            for (uint32_t i = n.first; i < n.first + n.count; ++i) {
                ++tested;
                if (!mayHit(r, i, bound)) continue;
                bound = test(i, bound);
                if (bound < 0) return tested;
            }
            fbound = widen(bound);
        } else {
            float ta = brindleBvh::enter(fNodes[n.first], r, fbound),
                  tb = brindleBvh::enter(fNodes[n.first + 1], r, fbound);
            uint32_t na = n.first, nb = n.first + 1;
            if (tb < ta) std::swap(ta, tb), std::swap(na, nb);
            if (ta != INFINITY) {
                if (tb != INFINITY) stack[top++] = {nb, tb};
                node = na;
                continue;
            }
        }
        do {
            if (top == 0) return tested;
            --top;
        } while (stack[top].t > fbound);
        node = stack[top].node;
    }
}

template <typename Visit>
void TpolyBvh::walkPoint(const double p[3], double bound2, Visit&& visit) const {
    if (fNodes.empty()) return;
    struct Entry {
        uint32_t node;
        double d2;
    };
    Entry stack[128];
    int top = 0;
    stack[top++] = {0, brindleBvh::distance2(fNodes[0], p)};
    while (top > 0) {
        const Entry e = stack[--top];
        if (e.d2 > bound2) continue;
        const Node& n = fNodes[e.node];
        if (n.count) {
            bound2 = visit(n.first, n.count, bound2);
            continue;
        }
        double da = brindleBvh::distance2(fNodes[n.first], p), db = brindleBvh::distance2(fNodes[n.first + 1], p);
        uint32_t na = n.first, nb = n.first + 1;
        if (db < da) std::swap(da, db), std::swap(na, nb);
        if (db <= bound2) stack[top++] = {nb, db};
        if (da <= bound2) stack[top++] = {na, da};
    }
}
