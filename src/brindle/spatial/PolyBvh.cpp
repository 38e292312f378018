#include "brindle/spatial/PolyBvh.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int kBins = 16;
// Ranges of more references than this are binned from a sample.
constexpr uint32_t kSampled = 4096;
// Below this depth splits follow the heuristic; deeper ranges are halved, which bounds the depth
// (and the walks' stacks) whatever the triangles look like.
constexpr int kHeuristicDepth = 48;
// Cost of visiting a node against testing one triangle, for the heuristic's choice between a
// split and a leaf.
constexpr double kTraversalCost = 1.0;

// Boxes and references keep four lanes, the fourth unused, so that growing one is a single
// vector minimum and maximum. A value folded in is min's and max's first operand, so that a NaN
// in it (the centre of a box reaching infinity both ways) leaves the box as it was.
struct Box {
    Tfloat4 lo{INFINITY}, hi{-INFINITY};

    void grow(Tfloat4 l, Tfloat4 h) { lo = min(l, lo), hi = max(h, hi); }
    void grow(const Box& b) { grow(b.lo, b.hi); }
    double halfArea() const {
        float l[4], h[4];
        lo.store(l), hi.store(h);
        if (l[0] > h[0]) return 0;
        const double x = h[0] - l[0], y = h[1] - l[1], z = h[2] - l[2];
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
    Tfloat4 low() const { return Tfloat4::load(lo); }
    Tfloat4 high() const { return Tfloat4::load(hi); }
    Tfloat4 centre() const { return low() * Tfloat4(0.5f) + high() * Tfloat4(0.5f); }
};

// Which of `count` equal slices of the centre box a centre falls in, per axis: the same
// computation for the binning and the partition, so that their counts agree. A centre is clamped
// before the conversion, so that one at infinity (or NaN from one) lands in an end bin.
struct Binning {
    Tfloat4 lo, scale, last;
    int count;
    bool flat[3];
    Binning(const Box& centres, int bins) : last(float(bins - 1)), count(bins) {
        alignas(16) float l[4], h[4], s[4];
        centres.lo.store(l), centres.hi.store(h);
        for (int a = 0; a < 4; ++a) {
            const float extent = h[a] - l[a];
            s[a] = a < 3 && extent > 0 ? float(bins) * (1 - 1e-6f) / extent : 0;
            if (a < 3) flat[a] = s[a] == 0;
            if (a == 3) l[a] = 0;
        }
        lo = Tfloat4::load(l), scale = Tfloat4::load(s);
    }
    void bins(const Ref& r, int32_t b[4]) const {
        max(min((r.centre() - lo) * scale, last), Tfloat4(0.0f)).truncate(b);
    }
};

// One slice of the binning: the box of the references it holds, and their count. Left
// uninitialised, so that a node pays only for the slices it uses.
struct Bin {
    Tfloat4 lo, hi;
    uint32_t count;
};

// A node of the binary tree the build makes before collapsing it: a leaf when count > 0.
struct BinaryNode {
    Box box;
    uint32_t first = 0, count = 0;
};

// Builds the binary tree depth first over an array of references partitioned in place; a range's
// box and centre box come from its parent's partition, so each level reads its references twice:
// once to bin them, once to partition them.
struct Builder {
    Tarray<Ref> refs;
    Tarray<BinaryNode> nodes;
    uint32_t leafSize;
    uint32_t leaves = 0;

    void build(uint32_t node, uint32_t begin, uint32_t end, const Box& bounds, const Box& centres, int depth) {
        nodes[node].box = bounds;
        const uint32_t count = end - begin;
        if (count == 1) return makeLeaf(node, begin, count);
        // Fewer slices than references would leave most of them empty.
        const Binning binning(centres, int(std::min<uint32_t>(kBins, count)));
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
            alignas(16) float lo[4], hi[4];
            centres.lo.store(lo), centres.hi.store(hi);
            int wide = 0;
            for (int a = 1; a < 3; ++a)
                if (hi[a] - lo[a] > hi[wide] - lo[wide]) wide = a;
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
            const Tfloat4 c = refs[i].centre();
            box.grow(refs[i].low(), refs[i].high());
            centres.grow(c, c);
        }
    }

    // The bin plane over the three axes with the least summed half area times count of the two
    // sides (axis -1 when the centres span nothing), binning all three axes in one pass.
    void chooseSplit(uint32_t begin, uint32_t end, const Binning& binning, int& axis, int& split, double& best) const {
        const int nb = binning.count;
        // Two sets of slices, taking the references in turn: neighbours mostly fall in the same
        // slice, and one set would make each update wait for the previous one.
        Bin bin[2][3][kBins];
        for (int set = 0; set < 2; ++set)
            for (int a = 0; a < 3; ++a)
                for (int b = 0; b < nb; ++b) bin[set][a][b] = {Tfloat4(INFINITY), Tfloat4(-INFINITY), 0};
        const auto add = [&](Bin (&bins)[3][kBins], const Ref& r) {
            int32_t b[4];
            binning.bins(r, b);
            const Tfloat4 lo = r.low(), hi = r.high();
            for (int a = 0; a < 3; ++a) {
                Bin& x = bins[a][b[a]];
                x.lo = min(lo, x.lo), x.hi = max(hi, x.hi);
                ++x.count;
            }
        };
        // A large range is binned from an even sample of some thousands of its references: the
        // costs keep their proportions, and the levels whose references do not fit the caches read
        // a fraction of them.
        const uint32_t step = end - begin > kSampled ? (end - begin) / (kSampled / 2) : 1;
        uint32_t i = begin;
        for (; i + step < end; i += 2 * step) add(bin[0], refs[i]), add(bin[1], refs[i + step]);
        if (i < end) add(bin[0], refs[i]);
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < nb; ++b) {
                Bin& x = bin[0][a][b];
                x.lo = min(bin[1][a][b].lo, x.lo), x.hi = max(bin[1][a][b].hi, x.hi);
                x.count += bin[1][a][b].count;
            }
        for (int a = 0; a < 3; ++a) {
            if (binning.flat[a]) continue;
            // Right-side sweep first, then the left side meets it plane by plane.
            const Bin* slices = bin[0][a];
            double rightArea[kBins];
            uint32_t rightCount[kBins];
            Box acc;
            uint32_t n = 0;
            for (int b = nb - 1; b > 0; --b) {
                acc.grow(slices[b].lo, slices[b].hi);
                n += slices[b].count;
                rightArea[b] = acc.halfArea();
                rightCount[b] = n;
            }
            Box left;
            uint32_t nLeft = 0;
            for (int b = 1; b < nb; ++b) {
                left.grow(slices[b - 1].lo, slices[b - 1].hi);
                nLeft += slices[b - 1].count;
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
            const Tfloat4 c = r.centre();
            sides[side].grow(r.low(), r.high());
            sideCentres[side].grow(c, c);
        };
        const auto left = [&](const Ref& r) {
            int32_t b[4];
            binning.bins(r, b);
            return b[axis] < split;
        };
        uint32_t i = begin, j = end;
        for (;;) {
            while (i < j && left(refs[i])) put(refs[i++], 0);
            while (i < j && !left(refs[j - 1])) put(refs[--j], 1);
            if (i == j) return i;
            std::swap(refs[i], refs[j - 1]);
        }
    }
};

// Collapses the binary tree below binary node b into nodes of up to four children, appended to
// out from index `at` on: the child with the largest box that is not a leaf is replaced by its two
// children while there is room, which keeps the likeliest boxes near the top.
void collapse(const Tarray<BinaryNode>& binary, uint32_t b, Tarray<TpolyBvh::Node>& out, uint32_t at) {
    uint32_t kids[4] = {b};
    int m = 1;
    while (m < 4) {
        int open = -1;
        double area = -1;
        for (int k = 0; k < m; ++k) {
            const BinaryNode& n = binary[kids[k]];
            if (n.count == 0 && n.box.halfArea() > area) open = k, area = n.box.halfArea();
        }
        if (open < 0) break;
        const uint32_t first = binary[kids[open]].first;
        kids[open] = first;
        kids[m++] = first + 1;
    }
    TpolyBvh::Node& node = out[at];
    for (int k = 0; k < 4; ++k) {
        alignas(16) float lo[4] = {INFINITY, INFINITY, INFINITY, INFINITY}, hi[4] = {-INFINITY, -INFINITY, -INFINITY, -INFINITY};
        node.first[k] = TpolyBvh::kNoChild;
        node.count[k] = 0;
        if (k < m) {
            const BinaryNode& n = binary[kids[k]];
            n.box.lo.store(lo), n.box.hi.store(hi);
            node.first[k] = n.first;
            node.count[k] = n.count;
        }
        for (int a = 0; a < 3; ++a) node.lo[a][k] = lo[a], node.hi[a][k] = hi[a];
    }
    for (int k = 0; k < m; ++k) {
        if (binary[kids[k]].count) continue;
        const uint32_t child = out.size();
        out.changeLogicalSizeTo(child + 1);
        out[at].first[k] = child;
        collapse(binary, kids[k], out, child);
    }
}

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

TpolyBvh::TpolyBvh(TpolyVoxelTriangleArray& triangles, int leafSize) : fTriangles(triangles) {
    const uint32_t n = triangles.size();
    if (n == 0) return;
    Builder b{{}, {}, uint32_t(std::clamp(leafSize, 1, 64))};
    b.refs.changeLogicalSizeTo(n);
    for (uint32_t i = 0; i < n; ++i) {
        triangles.box(i, b.refs[i].lo, b.refs[i].hi);
        b.refs[i].setId(i);
    }
    Box bounds, centres;
    b.bound(0, n, bounds, centres);
    b.nodes.buffer(2 * n);
    b.nodes.changeLogicalSizeTo(1);
    b.build(0, 0, n, bounds, centres, 0);
    fLeaves = b.leaves;
    // Each node of four children but the root stands for at least one inner binary node.
    fNodes.buffer(b.nodes.size() / 2 + 1);
    fNodes.changeLogicalSizeTo(1);
    collapse(b.nodes, 0, fNodes, 0);
    b.nodes = Tarray<BinaryNode>();
    fNodes.pack();
    TuInt32Array order;
    order.changeLogicalSizeTo(n);
    for (uint32_t i = 0; i < n; ++i) order[i] = b.refs[i].id();
    b.refs = Tarray<Ref>();
    triangles.permute(order);
}
