#include "brindle/ops/PolyWeldSearch.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>

#include "brindle/base/PointOctree.h"

namespace {
// Below this many candidates the pair test is cheaper than building any structure.
constexpr uint32_t kPairLimit = 256;
// Cells reach two cells each way: their side is a little above half the threshold, so that two
// points that pass the test are at most two cells apart on every axis, while any two points of
// one cell are within 0.76 of the threshold and need no test.
constexpr int64_t kReach = 2;
constexpr double kCellWiden = 1 + 1e-5;
constexpr double kMaxCell = double(1u << 31);

bool finite(const T3dFltPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }
}  // namespace

bool TpolyWeldSearch::close(uint32_t a, uint32_t b) const {
    const T3dFltPoint &p = fPoints[a], &q = fPoints[b];
    const float dx = q.x - p.x, dy = q.y - p.y, dz = q.z - p.z;
    return dx * dx + dy * dy + dz * dz < fThreshold2;
}

void TpolyWeldSearch::byPairs(const TuInt32Array& candidates) {
    for (uint32_t i = 1; i < candidates.size(); ++i)
        for (uint32_t j = 0; j < i; ++j)
            if (close(candidates[i], candidates[j])) fGroups.join(candidates[i], candidates[j]);
}

void TpolyWeldSearch::byOctree(const T3dFltPoint& lo, const T3dFltPoint& hi, const uint32_t* ids, uint32_t n) {
    TpointOctree tree(30, 0, 0.001f);
    tree.setDimensions(lo, hi);
    tree.entryBuffer(n);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t a = ids[i];
        TpointOctreeWalker walker(tree, fPoints[a], fThreshold);
        tree.addEntry(fPoints[a], a);
        for (uint32_t b = walker.next(); b != TpointOctree::kEnd; b = walker.next())
            if (b != a) fGroups.join(a, b);
    }
}

void TpolyWeldSearch::collapseExact(const TuInt32Array& candidates) {
    const uint32_t n = candidates.size();
    const uint32_t size = std::bit_ceil(2 * n), mask = size - 1;
    const int shift = 64 - std::countr_zero(size);
    fSlots.changeLogicalSizeTo(size);
    std::fill(fSlots.begin(), fSlots.end(), TpointOctree::kEnd);
    fDistinct.clear();
    uint32_t* slots = fSlots.data();
    // Adding zero turns -0 into +0: the two are at distance 0 and must hash alike. The
    // multiplications spread coordinates whose low bits are all zero (whole numbers); the slot
    // comes from the top bits.
    auto slotOf = [&](const T3dFltPoint& p) {
        const uint64_t key = (uint64_t(std::bit_cast<uint32_t>(p.x + 0.0f)) << 32 | std::bit_cast<uint32_t>(p.y + 0.0f)) *
                                 0x9E3779B97F4A7C15ull ^
                             std::bit_cast<uint32_t>(p.z + 0.0f);
        return uint32_t((key * 0xC2B2AE3D27D4EB4Full) >> shift);
    };
    // The slots are far apart in memory: each is fetched a few points ahead of its probe.
    constexpr uint32_t kAhead = 16;
    for (uint32_t i = 0; i < n; ++i) {
        if (i + kAhead < n) __builtin_prefetch(slots + slotOf(fPoints[candidates[i + kAhead]]));
        const uint32_t v = candidates[i];
        const T3dFltPoint& p = fPoints[v];
        // A point with an infinite or undefined coordinate is never close to anything.
        if (!finite(p)) continue;
        const uint32_t h = slotOf(p);
        for (uint32_t s = h;; s = (s + 1) & mask) {
            const uint32_t u = slots[s];
            if (u == TpointOctree::kEnd) {
                slots[s] = v;
                fDistinct.addLast(v);
                break;
            }
            const T3dFltPoint& q = fPoints[u];
            if (q.x == p.x && q.y == p.y && q.z == p.z) {
                fGroups.join(u, v);
                break;
            }
        }
    }
}

bool TpolyWeldSearch::bySweep() {
    const uint32_t n = fDistinct.size();
    if (n < 2) return true;
    double lo[3], hi[3];
    for (int a = 0; a < 3; ++a) lo[a] = hi[a] = fPoints[fDistinct[0]][a];
    for (uint32_t v : fDistinct)
        for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], double(fPoints[v][a])), hi[a] = std::max(hi[a], double(fPoints[v][a]));
    const double side = 0.5 * double(fThreshold) * kCellWiden;
    for (int a = 0; a < 3; ++a)
        if (!((hi[a] - lo[a]) / side < kMaxCell)) return false;
    fPlaced.changeLogicalSizeTo(n);
    for (uint32_t i = 0; i < n; ++i) {
        const T3dFltPoint& p = fPoints[fDistinct[i]];
        uint64_t c[3];
        for (int a = 0; a < 3; ++a) c[a] = uint64_t(std::floor((double(p[a]) - lo[a]) / side)) + kReach;
        fPlaced[i] = {c[2] << 32 | c[1], uint32_t(c[0]), fDistinct[i]};
    }
    auto before = [](const Placed& a, uint64_t zy, uint32_t x) { return a.zy < zy || (a.zy == zy && a.x < x); };
    std::sort(fPlaced.begin(), fPlaced.end(),
              [&](const Placed& a, const Placed& b) { return before(a, b.zy, b.x) || (a.zy == b.zy && a.x == b.x && a.id < b.id); });

    // The rows of cells ahead of a cell in sweep order: (dz, dy) with the x offsets they reach.
    constexpr uint32_t kRows = 13;
    struct Row {
        int64_t dz, dy, dxLo;
    };
    static constexpr Row kAhead[kRows] = {{0, 0, 1},   {0, 1, -2},  {0, 2, -2},  {1, -2, -2}, {1, -1, -2},
                                          {1, 0, -2},  {1, 1, -2},  {1, 2, -2},  {2, -2, -2}, {2, -1, -2},
                                          {2, 0, -2},  {2, 1, -2},  {2, 2, -2}};
    const Placed* placed = fPlaced.data();
    auto cellEnd = [&](uint32_t a) {
        uint32_t b = a + 1;
        while (b < n && placed[b].zy == placed[a].zy && placed[b].x == placed[a].x) ++b;
        return b;
    };
    // Every cell is one group before any two cells meet.
    for (uint32_t a = 0, b; a < n; a = b) {
        b = cellEnd(a);
        for (uint32_t i = a + 1; i < b; ++i) fGroups.join(placed[a].id, placed[i].id);
    }
    uint32_t cursor[kRows] = {};
    for (uint32_t a = 0; a < n;) {
        const uint32_t b = cellEnd(a);
        const int64_t z = int64_t(placed[a].zy >> 32), y = int64_t(placed[a].zy & 0xFFFFFFFFu), x = placed[a].x;
        for (uint32_t r = 0; r < kRows; ++r) {
            // Cursors only move forward: the first cell of each row at or after the reach of the
            // current cell grows with the current cell.
            const uint64_t zy = uint64_t(z + kAhead[r].dz) << 32 | uint64_t(y + kAhead[r].dy);
            const uint32_t xLo = uint32_t(x + kAhead[r].dxLo), xHi = uint32_t(x + kReach);
            uint32_t& k = cursor[r];
            while (k < n && before(placed[k], zy, xLo)) ++k;
            for (uint32_t j = k; j < n && placed[j].zy == zy && placed[j].x <= xHi;) {
                const uint32_t end = cellEnd(j);
                // Both cells are whole groups: one close pair joins them.
                bool joined = fGroups.find(placed[a].id) == fGroups.find(placed[j].id);
                for (uint32_t p = a; p < b && !joined; ++p)
                    for (uint32_t q = j; q < end && !joined; ++q)
                        if (close(placed[p].id, placed[q].id)) {
                            fGroups.join(placed[p].id, placed[q].id);
                            joined = true;
                        }
                j = end;
            }
        }
        a = b;
    }
    return true;
}

void TpolyWeldSearch::run(const T3dFltPoint* points, uint32_t nbPoints, const TuInt32Array& candidates,
                          float threshold, TuInt32Array& roots) {
    roots.changeLogicalSizeTo(nbPoints);
    for (uint32_t v = 0; v < nbPoints; ++v) roots[v] = v;
    const uint32_t n = candidates.size();
    if (n == 0) return;
    fPoints = points;
    fGroups.reset(nbPoints);
    fThreshold = threshold;
    fThreshold2 = threshold * threshold;
    T3dFltPoint lo = points[0], hi = points[0];
    for (uint32_t v = 1; v < nbPoints; ++v)
        for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], points[v][a]), hi[a] = std::max(hi[a], points[v][a]);
    const float dx = hi.x - lo.x, dy = hi.y - lo.y, dz = hi.z - lo.z;
    const float diagonal = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (diagonal < threshold) {
        for (uint32_t i = 1; i < n; ++i) fGroups.join(candidates[i], candidates[0]);
    } else if (threshold > 0 && fThreshold2 > 0) {
        Strategy s = fStrategy;
        if (s == Strategy::automatic) s = 0.5f * diagonal < threshold && n <= kPairLimit ? Strategy::pairs : Strategy::cells;
        // The sweep trusts its cell sizes only where the squared threshold is a normal float.
        if (s == Strategy::cells && !(fThreshold2 >= FLT_MIN && fThreshold2 <= FLT_MAX)) s = Strategy::octree;
        if (s == Strategy::pairs) {
            byPairs(candidates);
        } else if (s == Strategy::octree) {
            byOctree(lo, hi, candidates.data(), n);
        } else {
            collapseExact(candidates);
            if (!bySweep()) byOctree(lo, hi, fDistinct.data(), fDistinct.size());
        }
    }
    for (uint32_t v = 0; v < nbPoints; ++v) roots[v] = fGroups.find(v);
    fPoints = nullptr;
}
