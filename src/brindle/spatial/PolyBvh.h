#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/spatial/IsectTriangles.h"

// A bounding-volume hierarchy over the grown boxes of a triangle list, built top-down by the
// surface-area heuristic over 16 bins per axis. Nodes are a flat array; an inner node's children
// are the consecutive nodes at `first`, a leaf holds `count` consecutive triangles from `first`
// (the build reorders the triangle list so that this holds). Every node's box holds its children's.
class BRINDLE_API TpolyBvh {
public:
    struct Node {
        float lo[3];
        uint32_t first;
        float hi[3];
        uint32_t count;  // 0 for an inner node
    };

    // Reorders triangles; a leaf holds at most leafSize (1 to 64) of them.
    TpolyBvh(TpolyVoxelTriangleArray& triangles, int leafSize);

    uint32_t nodeCount() const { return fNodes.size(); }
    uint32_t leafCount() const { return fLeaves; }
    size_t getMemoryFootprint() const { return fNodes.bytesAllocated(); }

    // Visits, nearest box first, the leaves whose boxes the ray meets at a parameter in
    // [0, bound]; visit(first, count, bound) tests their triangles and answers the new bound, or
    // a negative one to stop.
    template <typename Visit>
    void walkRay(const TisectRay& ray, double bound, Visit&& visit) const;
    // Visits, nearest box first, the leaves whose boxes lie within squared distance bound2 of p;
    // visit(first, count, bound2) answers the new squared bound.
    template <typename Visit>
    void walkPoint(const double p[3], double bound2, Visit&& visit) const;

private:
    uint32_t fLeaves = 0;
    Tarray<Node> fNodes;
};

namespace brindleBvh {
// The ray as the box tests use it: origin, reciprocal direction and, per axis, which of a box's
// planes (0 its minimum, 1 its maximum) the ray meets first.
struct SlabRay {
    float o[3], inv[3];
    int nearSide[3];
};
// Parameter where the ray enters a box, or infinity on a miss within [0, bound].
inline float enter(const TpolyBvh::Node& n, const SlabRay& r, float bound) {
    const float* planes[2] = {n.lo, n.hi};
    float t0 = 0, t1 = bound;
    for (int a = 0; a < 3; ++a) {
        const float tn = (planes[r.nearSide[a]][a] - r.o[a]) * r.inv[a];
        const float tf = (planes[1 - r.nearSide[a]][a] - r.o[a]) * r.inv[a];
        t0 = tn > t0 ? tn : t0;
        t1 = tf < t1 ? tf : t1;
    }
    return t0 <= t1 ? t0 : INFINITY;
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

template <typename Visit>
void TpolyBvh::walkRay(const TisectRay& ray, double bound, Visit&& visit) const {
    if (fNodes.empty()) return;
    brindleBvh::SlabRay r;
    for (int a = 0; a < 3; ++a) {
        r.o[a] = float(ray.o[a]);
        // A zero component becomes a tiny one: the slab test then needs no special case.
        const double d = ray.d[a] == 0 ? 1e-30 : ray.d[a];
        r.inv[a] = float(1.0 / d);
        r.nearSide[a] = d < 0;
    }
    struct Entry {
        uint32_t node;
        float t;
    };
    Entry stack[128];
    int top = 0;
    // The float bound, widened so that rounding the boxes' parameters to float loses no hit.
    const auto widen = [](double b) { return float(b) * 1.0001f + 1e-30f; };
    float fbound = widen(bound);
    if (brindleBvh::enter(fNodes[0], r, fbound) == INFINITY) return;
    stack[top++] = {0, 0};
    while (top > 0) {
        const Entry e = stack[--top];
        if (e.t > fbound) continue;
        const Node& n = fNodes[e.node];
        if (n.count) {
            bound = visit(n.first, n.count, bound);
            if (bound < 0) return;
            fbound = widen(bound);
            continue;
        }
        float ta = brindleBvh::enter(fNodes[n.first], r, fbound),
              tb = brindleBvh::enter(fNodes[n.first + 1], r, fbound);
        uint32_t na = n.first, nb = n.first + 1;
        if (tb < ta) std::swap(ta, tb), std::swap(na, nb);
        if (tb != INFINITY) stack[top++] = {nb, tb};
        if (ta != INFINITY) stack[top++] = {na, ta};
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
