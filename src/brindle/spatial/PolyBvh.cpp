#include "brindle/spatial/PolyBvh.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int kBins = 16;
// Below this depth splits follow the heuristic; deeper ranges are halved, which bounds the depth
// (and the walks' stacks) whatever the triangles look like.
constexpr int kHeuristicDepth = 48;

struct Box {
    float lo[3] = {INFINITY, INFINITY, INFINITY};
    float hi[3] = {-INFINITY, -INFINITY, -INFINITY};

    void grow(const float l[3], const float h[3]) {
        for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], l[a]), hi[a] = std::max(hi[a], h[a]);
    }
    void grow(const Box& b) { grow(b.lo, b.hi); }
    double halfArea() const {
        if (lo[0] > hi[0]) return 0;
        const double x = hi[0] - lo[0], y = hi[1] - lo[1], z = hi[2] - lo[2];
        return x * y + y * z + z * x;
    }
};

struct Builder {
    Tarray<Box> boxes;
    TfloatArray centres;  // three per triangle
    TuInt32Array order;
    Tarray<TpolyBvh::Node>& nodes;
    uint32_t leafSize;
    uint32_t leaves = 0;

    void build(uint32_t node, uint32_t begin, uint32_t end, int depth) {
        Box bounds, centreBounds;
        for (uint32_t i = begin; i < end; ++i) {
            bounds.grow(boxes[order[i]]);
            const float* c = centres.data() + 3 * size_t(order[i]);
            centreBounds.grow(c, c);
        }
        TpolyBvh::Node& n = nodes[node];
        for (int a = 0; a < 3; ++a) n.lo[a] = bounds.lo[a], n.hi[a] = bounds.hi[a];
        const uint32_t count = end - begin;
        if (count <= leafSize) return makeLeaf(node, begin, count);
        int axis = -1;
        float split = 0;
        chooseSplit(begin, end, depth, centreBounds, axis, split);
        uint32_t mid = begin;
        if (axis >= 0) {
            mid = uint32_t(std::partition(order.begin() + begin, order.begin() + end,
                                          [&](uint32_t t) { return centres[3 * t + uint32_t(axis)] < split; }) -
                           order.begin());
        }
        if (mid == begin || mid == end) {
            // No useful plane (coinciding centres, or too deep): halve the range by position.
            int wide = 0;
            for (int a = 1; a < 3; ++a)
                if (centreBounds.hi[a] - centreBounds.lo[a] > centreBounds.hi[wide] - centreBounds.lo[wide]) wide = a;
            mid = begin + count / 2;
            std::nth_element(order.begin() + begin, order.begin() + mid, order.begin() + end,
                             [&](uint32_t x, uint32_t y) {
                                 return centres[3 * x + uint32_t(wide)] < centres[3 * y + uint32_t(wide)];
                             });
        }
        const uint32_t first = nodes.size();
        nodes.changeLogicalSizeTo(first + 2);
        nodes[node].first = first;
        nodes[node].count = 0;
        build(first, begin, mid, depth + 1);
        build(first + 1, mid, end, depth + 1);
    }

    void makeLeaf(uint32_t node, uint32_t begin, uint32_t count) {
        nodes[node].first = begin;
        nodes[node].count = count;
        ++leaves;
    }

    // The bin plane over the three axes with the least summed area times count of the two sides,
    // or axis -1 when the centres span nothing or the range is too deep for the heuristic.
    void chooseSplit(uint32_t begin, uint32_t end, int depth, const Box& centreBounds, int& axis, float& split) {
        axis = -1;
        if (depth >= kHeuristicDepth) return;
        double best = std::numeric_limits<double>::infinity();
        for (int a = 0; a < 3; ++a) {
            const float lo = centreBounds.lo[a], extent = centreBounds.hi[a] - lo;
            if (!(extent > 0)) continue;
            Box bin[kBins];
            uint32_t binCount[kBins] = {};
            const float scale = kBins / extent;
            for (uint32_t i = begin; i < end; ++i) {
                const uint32_t t = order[i];
                const int b = std::min(kBins - 1, int((centres[3 * t + uint32_t(a)] - lo) * scale));
                bin[b].grow(boxes[t]);
                ++binCount[b];
            }
            // Right-side sweep first, then the left side meets it plane by plane.
            double rightArea[kBins];
            uint32_t rightCount[kBins];
            Box acc;
            uint32_t n = 0;
            for (int b = kBins - 1; b > 0; --b) {
                acc.grow(bin[b]);
                n += binCount[b];
                rightArea[b] = acc.halfArea();
                rightCount[b] = n;
            }
            Box left;
            uint32_t nLeft = 0;
            for (int b = 1; b < kBins; ++b) {
                left.grow(bin[b - 1]);
                nLeft += binCount[b - 1];
                if (nLeft == 0 || rightCount[b] == 0) continue;
                const double cost = double(nLeft) * left.halfArea() + double(rightCount[b]) * rightArea[b];
                if (cost < best) {
                    best = cost;
                    axis = a;
                    split = lo + float(b) / scale;
                }
            }
        }
    }
};

}  // namespace

TpolyBvh::TpolyBvh(TpolyVoxelTriangleArray& triangles, int leafSize) {
    const uint32_t n = triangles.size();
    if (n == 0) return;
    Builder b{{}, {}, {}, fNodes, uint32_t(std::clamp(leafSize, 1, 64))};
    b.boxes.changeLogicalSizeTo(n);
    b.centres.changeLogicalSizeTo(3 * n);
    b.order.changeLogicalSizeTo(n);
    for (uint32_t i = 0; i < n; ++i) {
        triangles.box(i, b.boxes[i].lo, b.boxes[i].hi);
        for (int a = 0; a < 3; ++a) b.centres[3 * i + uint32_t(a)] = 0.5f * (b.boxes[i].lo[a] + b.boxes[i].hi[a]);
        b.order[i] = i;
    }
    fNodes.buffer(2 * n);
    fNodes.changeLogicalSizeTo(1);
    b.build(0, 0, n, 0);
    fLeaves = b.leaves;
    fNodes.pack();
    triangles.permute(b.order);
}
