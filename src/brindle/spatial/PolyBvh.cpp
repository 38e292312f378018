#include "brindle/spatial/PolyBvh.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int kBins = 16;
// Below this depth splits follow the heuristic; deeper ranges are halved, which bounds the depth
// (and the walks' stacks) whatever the triangles look like.
constexpr int kHeuristicDepth = 48;
// Cost of visiting a node against testing one triangle, for the heuristic's choice between a
// split and a leaf.
constexpr double kTraversalCost = 1.0;

// Minimum and maximum by value (std::min answers a reference, which keeps the compiler from
// using the processor's own instructions inside the binning loop).
float lesser(float a, float b) { return b < a ? b : a; }
float greater(float a, float b) { return a < b ? b : a; }

// Boxes and references keep four lanes, the fourth unused, so that growing one is a single
// vector minimum and maximum.
struct Box {
    alignas(16) float lo[4] = {INFINITY, INFINITY, INFINITY, INFINITY};
    alignas(16) float hi[4] = {-INFINITY, -INFINITY, -INFINITY, -INFINITY};

    void grow(const float l[4], const float h[4]) {
        for (int a = 0; a < 4; ++a) lo[a] = lesser(lo[a], l[a]), hi[a] = greater(hi[a], h[a]);
    }
    void grow(const Box& b) { grow(b.lo, b.hi); }
    double halfArea() const {
        if (lo[0] > hi[0]) return 0;
        const double x = hi[0] - lo[0], y = hi[1] - lo[1], z = hi[2] - lo[2];
        return x * y + y * z + z * x;
    }
};

// A triangle's grown box as the build moves it, with its index in the triangle list held in the
// boxes' fourth lanes as two exact small floats (its low and high 16 bits), where the vector
// arithmetic of the build leaves it alone and never meets a subnormal.
struct Ref {
    alignas(16) float lo[4];
    alignas(16) float hi[4];
    void setId(uint32_t id) { lo[3] = float(id & 0xFFFFu), hi[3] = float(id >> 16); }
    uint32_t id() const { return uint32_t(lo[3]) | uint32_t(hi[3]) << 16; }
    void centre(float c[4]) const {
        for (int a = 0; a < 4; ++a) c[a] = 0.5f * lo[a] + 0.5f * hi[a];
    }
};

// Which of kBins equal slices of the centre box a centre falls in, per axis: the same computation
// for the binning and the partition, so that their counts agree. A centre is clamped before the
// conversion, so that one at infinity (or NaN from one) lands in an end bin.
struct Binning {
    alignas(16) float lo[4], scale[4];
    explicit Binning(const Box& centres) {
        for (int a = 0; a < 4; ++a) {
            const float extent = centres.hi[a] - centres.lo[a];
            lo[a] = a < 3 ? centres.lo[a] : 0;
            scale[a] = a < 3 && extent > 0 ? kBins * (1 - 1e-6f) / extent : 0;
        }
    }
    void bins(const float c[4], int b[4]) const {
        float x[4];
        for (int a = 0; a < 4; ++a) x[a] = greater(0.0f, lesser((c[a] - lo[a]) * scale[a], float(kBins - 1)));
        for (int a = 0; a < 4; ++a) b[a] = int(x[a]);
    }
    int bin(const Ref& r, int axis) const {
        const float c = 0.5f * r.lo[axis] + 0.5f * r.hi[axis];
        return int(greater(0.0f, lesser((c - lo[axis]) * scale[axis], float(kBins - 1))));
    }
};

// Builds the nodes depth first over an array of references partitioned in place; a range's box
// and centre box come from its parent's partition, so each level reads its references twice: once
// to bin them, once to partition them.
struct Builder {
    Tarray<Ref> refs;
    Tarray<TpolyBvh::Node>& nodes;
    uint32_t leafSize;
    uint32_t leaves = 0;

    void build(uint32_t node, uint32_t begin, uint32_t end, const Box& bounds, const Box& centres, int depth) {
        TpolyBvh::Node& n = nodes[node];
        for (int a = 0; a < 3; ++a) n.lo[a] = bounds.lo[a], n.hi[a] = bounds.hi[a];
        const uint32_t count = end - begin;
        if (count == 1) return makeLeaf(node, begin, count);
        const Binning binning(centres);
        int axis = -1, split = 0;
        double cost = std::numeric_limits<double>::infinity();
        if (depth < kHeuristicDepth) chooseSplit(begin, end, binning, axis, split, cost);
        // The heuristic's cost of a leaf is its triangle count, of a split the visit plus each
        // side's count weighted by the chance (area ratio) that a ray meeting this box meets it.
        if (count <= leafSize && !(cost / bounds.halfArea() + kTraversalCost < double(count)))
            return makeLeaf(node, begin, count);
        Box sides[2], sideCentres[2];
        uint32_t mid = axis < 0 ? begin : partition(begin, end, binning, axis, split, sides, sideCentres);
        if (mid == begin || mid == end) {
            // No useful plane (coinciding centres, or too deep): halve the range by position.
            int wide = 0;
            for (int a = 1; a < 3; ++a)
                if (centres.hi[a] - centres.lo[a] > centres.hi[wide] - centres.lo[wide]) wide = a;
            mid = begin + count / 2;
            std::nth_element(
                refs.begin() + begin, refs.begin() + mid, refs.begin() + end,
                [&](const Ref& x, const Ref& y) { return x.lo[wide] + x.hi[wide] < y.lo[wide] + y.hi[wide]; });
            bound(begin, mid, sides[0], sideCentres[0]);
            bound(mid, end, sides[1], sideCentres[1]);
        }
        const uint32_t first = nodes.size();
        nodes.changeLogicalSizeTo(first + 2);
        nodes[node].first = first;
        nodes[node].count = 0;
        build(first, begin, mid, sides[0], sideCentres[0], depth + 1);
        build(first + 1, mid, end, sides[1], sideCentres[1], depth + 1);
    }

    void makeLeaf(uint32_t node, uint32_t begin, uint32_t count) {
        nodes[node].first = begin;
        nodes[node].count = count;
        ++leaves;
    }

    void bound(uint32_t begin, uint32_t end, Box& box, Box& centres) const {
        box = centres = Box();
        for (uint32_t i = begin; i < end; ++i) {
            float c[4];
            refs[i].centre(c);
            box.grow(refs[i].lo, refs[i].hi);
            centres.grow(c, c);
        }
    }

    // The bin plane over the three axes with the least summed half area times count of the two
    // sides (axis -1 when the centres span nothing), binning all three axes in one pass.
    void chooseSplit(uint32_t begin, uint32_t end, const Binning& binning, int& axis, int& split, double& best) const {
        Box bin[3][kBins];
        uint32_t binCount[3][kBins] = {};
        for (uint32_t i = begin; i < end; ++i) {
            const Ref& r = refs[i];
            float c[4];
            int b[4];
            r.centre(c);
            binning.bins(c, b);
            for (int a = 0; a < 3; ++a) {
                bin[a][b[a]].grow(r.lo, r.hi);
                ++binCount[a][b[a]];
            }
        }
        for (int a = 0; a < 3; ++a) {
            if (binning.scale[a] == 0) continue;
            // Right-side sweep first, then the left side meets it plane by plane.
            double rightArea[kBins];
            uint32_t rightCount[kBins];
            Box acc;
            uint32_t n = 0;
            for (int b = kBins - 1; b > 0; --b) {
                acc.grow(bin[a][b]);
                n += binCount[a][b];
                rightArea[b] = acc.halfArea();
                rightCount[b] = n;
            }
            Box left;
            uint32_t nLeft = 0;
            for (int b = 1; b < kBins; ++b) {
                left.grow(bin[a][b - 1]);
                nLeft += binCount[a][b - 1];
                if (nLeft == 0 || rightCount[b] == 0) continue;
                const double cost = double(nLeft) * left.halfArea() + double(rightCount[b]) * rightArea[b];
                if (cost < best) best = cost, axis = a, split = b;
            }
        }
    }

    // Moves the references of bins below split to the front; answers where the back begins, and
    // the boxes and centre boxes of both sides.
    uint32_t partition(uint32_t begin, uint32_t end, const Binning& binning, int axis, int split, Box sides[2],
                       Box sideCentres[2]) {
        const auto put = [&](const Ref& r, int side) {
            float c[4];
            r.centre(c);
            sides[side].grow(r.lo, r.hi);
            sideCentres[side].grow(c, c);
        };
        uint32_t i = begin, j = end;
        for (;;) {
            while (i < j && binning.bin(refs[i], axis) < split) put(refs[i++], 0);
            while (i < j && binning.bin(refs[j - 1], axis) >= split) put(refs[--j], 1);
            if (i == j) return i;
            std::swap(refs[i], refs[j - 1]);
        }
    }
};

}  // namespace

TpolyBvh::Ray::Ray(const TisectRay& ray, double tol) : tolerance(tol) {
    dScale = std::max({std::fabs(ray.d[0]), std::fabs(ray.d[1]), std::fabs(ray.d[2])});
    oMag = 0;
    for (int a = 0; a < 3; ++a) {
        o[a] = float(ray.o[a]);
        oMag = std::max(oMag, std::fabs(o[a]));
        d[a] = float(ray.d[a] / dScale);
        // A zero component becomes a tiny one: the slab test then needs no special case.
        const double da = ray.d[a] == 0 ? 1e-30 : ray.d[a];
        inv[a] = float(1.0 / da);
        nearSide[a] = da < 0;
        const float shift = (da < 0 ? -4.0f : 4.0f) * (0x1p-24f * std::fabs(o[a]) + 1e-38f);
        oNear[a] = o[a] + shift;
        oFar[a] = o[a] - shift;
    }
}

TpolyBvh::TpolyBvh(TpolyVoxelTriangleArray& triangles, int leafSize) {
    const uint32_t n = triangles.size();
    if (n == 0) return;
    Builder b{{}, fNodes, uint32_t(std::clamp(leafSize, 1, 64))};
    b.refs.changeLogicalSizeTo(n);
    for (uint32_t i = 0; i < n; ++i) {
        triangles.box(i, b.refs[i].lo, b.refs[i].hi);
        b.refs[i].setId(i);
    }
    Box bounds, centres;
    b.bound(0, n, bounds, centres);
    fNodes.buffer(2 * n);
    fNodes.changeLogicalSizeTo(1);
    b.build(0, 0, n, bounds, centres, 0);
    fLeaves = b.leaves;
    fNodes.pack();
    TuInt32Array order;
    order.changeLogicalSizeTo(n);
    for (uint32_t i = 0; i < n; ++i) order[i] = b.refs[i].id();
    b.refs = Tarray<Ref>();
    triangles.permute(order);
    fTriangles.changeLogicalSizeTo(n);
    for (uint32_t i = 0; i < n; ++i) {
        const float* c = triangles.corners(i);
        Triangle& t = fTriangles[i];
        t.scale = 0;
        for (int a = 0; a < 3; ++a) {
            t.p0[a] = c[6 + a];
            t.e1[a] = c[a] - c[6 + a];
            t.e2[a] = c[3 + a] - c[6 + a];
            t.scale = std::max({t.scale, std::fabs(t.e1[a]), std::fabs(t.e2[a])});
        }
    }
}
