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
    fDistinct.clear();
    // Open addressing on the id of the first candidate at each position, at most half full. The
    // table starts small, as welds mostly find far fewer positions than candidates, and grows
    // fourfold, re-placing the positions found so far, when it would pass half.
    uint32_t* slots = nullptr;
    uint32_t mask = 0;
    int shift = 0;
    // Adding zero turns -0 into +0: the two are at distance 0 and must hash alike. The
    // multiplications spread coordinates whose low bits are all zero (whole numbers); the slot
    // comes from the top bits.
    auto slotOf = [&](const T3dFltPoint& p) {
        const uint64_t key = (uint64_t(std::bit_cast<uint32_t>(p.x + 0.0f)) << 32 | std::bit_cast<uint32_t>(p.y + 0.0f)) *
                                 0x9E3779B97F4A7C15ull ^
                             std::bit_cast<uint32_t>(p.z + 0.0f);
        return uint32_t((key * 0xC2B2AE3D27D4EB4Full) >> shift);
    };
    auto resize = [&](uint32_t size) {
        fSlots.changeLogicalSizeTo(size);
        std::fill(fSlots.begin(), fSlots.end(), TpointOctree::kEnd);
        slots = fSlots.data();
        mask = size - 1;
        shift = 64 - std::countr_zero(size);
        for (uint32_t u : fDistinct) {
            uint32_t s = slotOf(fPoints[u]);
            while (slots[s] != TpointOctree::kEnd) s = (s + 1) & mask;
            slots[s] = u;
        }
    };
    resize(std::bit_ceil(std::max(n / 2, 64u)));
    // The slots are far apart in memory: each is fetched a few points ahead of its probe.
    constexpr uint32_t kAhead = 16;
    for (uint32_t i = 0; i < n; ++i) {
        if (i + kAhead < n) __builtin_prefetch(slots + slotOf(fPoints[candidates[i + kAhead]]));
        const uint32_t v = candidates[i];
        const T3dFltPoint& p = fPoints[v];
        // A point with an infinite or undefined coordinate is never close to anything.
        if (!finite(p)) continue;
        for (uint32_t s = slotOf(p);; s = (s + 1) & mask) {
            const uint32_t u = slots[s];
            if (u == TpointOctree::kEnd) {
                slots[s] = v;
                fDistinct.addLast(v);
                if (2 * fDistinct.size() > mask) resize(4 * (mask + 1));
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
    std::sort(fPlaced.begin(), fPlaced.end(), [](const Placed& a, const Placed& b) {
        return a.zy < b.zy || (a.zy == b.zy && (a.x < b.x || (a.x == b.x && a.id < b.id)));
    });

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
    // Cell [a, b) meets the cells from j on in row zy up to column xHi. Both cells are whole
    // groups: one close pair joins them.
    auto meet = [&](uint32_t a, uint32_t b, uint32_t j, uint64_t zy, uint32_t xHi) {
        while (j < n && placed[j].zy == zy && placed[j].x <= xHi) {
            const uint32_t end = cellEnd(j);
            bool joined = fGroups.find(placed[a].id) == fGroups.find(placed[j].id);
            for (uint32_t p = a; p < b && !joined; ++p)
                for (uint32_t q = j; q < end && !joined; ++q)
                    if (close(placed[p].id, placed[q].id)) {
                        fGroups.join(placed[p].id, placed[q].id);
                        joined = true;
                    }
            j = end;
        }
    };
    // The first position at or after k whose row is not before zy, by doubling steps then
    // halving, so that a cursor crosses a long stretch of rows in a few probes.
    auto rowStart = [&](uint32_t k, uint64_t zy) {
        if (k >= n || placed[k].zy >= zy) return k;
        uint32_t lo = k, step = 1;
        while (lo + step < n && placed[lo + step].zy < zy) lo += step, step *= 2;
        const uint32_t hi = std::min(n, lo + step);
        return uint32_t(std::partition_point(placed + lo + 1, placed + hi, [&](const Placed& p) { return p.zy < zy; }) -
                        placed);
    };
    // The sweep goes row by row (one z and y). Each current cell meets the cells after it in its
    // own row and, in the twelve rows ahead (dz, dy), those within two columns. A row ahead that
    // holds no cell is skipped for the whole current row; in the others a cursor only moves
    // forward: the first cell within reach grows with the current cell, and the rows ahead with
    // the current row.
    constexpr uint32_t kRows = 12;
    static constexpr int64_t kAhead[kRows][2] = {{0, 1},  {0, 2},  {1, -2}, {1, -1}, {1, 0},  {1, 1},
                                                 {1, 2},  {2, -2}, {2, -1}, {2, 0},  {2, 1},  {2, 2}};
    uint32_t cursor[kRows] = {};
    for (uint32_t first = 0, last; first < n; first = last) {
        const uint64_t zy = placed[first].zy;
        const int64_t z = int64_t(zy >> 32), y = int64_t(zy & 0xFFFFFFFFu);
        for (last = first + 1; last < n && placed[last].zy == zy;) ++last;
        uint64_t target[kRows];
        uint32_t live[kRows], nbLive = 0;
        for (uint32_t r = 0; r < kRows; ++r) {
            target[r] = uint64_t(z + kAhead[r][0]) << 32 | uint64_t(y + kAhead[r][1]);
            cursor[r] = rowStart(cursor[r], target[r]);
            if (cursor[r] < n && placed[cursor[r]].zy == target[r]) live[nbLive++] = r;
        }
        for (uint32_t a = first, b; a < last; a = b) {
            b = cellEnd(a);
            const uint32_t x = placed[a].x, xLo = x - uint32_t(kReach), xHi = x + uint32_t(kReach);
            meet(a, b, b, zy, xHi);
            for (uint32_t i = 0; i < nbLive; ++i) {
                const uint32_t r = live[i];
                uint32_t& k = cursor[r];
                while (k < n && placed[k].zy == target[r] && placed[k].x < xLo) ++k;
                meet(a, b, k, target[r], xHi);
            }
        }
    }
    return true;
}

void TpolyWeldSearch::run(const T3dFltPoint* points, uint32_t nbPoints, const TuInt32Array& candidates,
                          float threshold, TuInt32Array& roots) {
    roots.changeLogicalSizeTo(nbPoints);
    const uint32_t n = candidates.size();
    if (n == 0) {
        for (uint32_t v = 0; v < nbPoints; ++v) roots[v] = v;
        return;
    }
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
