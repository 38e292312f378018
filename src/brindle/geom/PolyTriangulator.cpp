#include "brindle/geom/PolyTriangulator.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "brindle/base/Alloca.h"

namespace {

// Codes of a ring position. Bit 15 keeps a position out of selection; together with one of the
// two low bits it also makes the position a possible blocker of other ears (those are counted in
// the clipper's blocker count). Any other code is an ear priority, smaller clipped first: the
// angle code in bits 0-5 (0 sharpest, 63 flat), the normal deviation of the two neighbours in
// bits 6-12, bit 13 for an ear larger than three quarters of the remaining area, bit 14 for an
// angle wider than the current threshold.
constexpr uint16_t kNotEar = 0x8000;
constexpr uint16_t kReflex = 0x8001;
constexpr uint16_t kDegenerate = 0x8002;
constexpr uint16_t kBlockerBits = 0x0003;
constexpr uint16_t kLarge = 0x2000;
constexpr uint16_t kWide = 0x4000;
constexpr uint16_t kAngleMask = 0x003F;
constexpr uint16_t kWorstCandidate = 0x5FFF;
constexpr uint32_t kInitialThreshold = 47;
constexpr double kMinEdge = 1e-5;

bool isBlocker(uint16_t code) { return (code & kNotEar) != 0 && (code & kBlockerBits) != 0; }

struct Point2 {
    double x, y;
};

// Edge functions of a point against the triangle (p, c, n): e1 for the edge c->n, e2 for n->p,
// e3 for p->c. The point is inside or on the triangle when all three share a sign (or are 0).
struct EdgeFunctions {
    double e1, e2, e3;

    EdgeFunctions(Point2 p, Point2 c, Point2 n, Point2 q)
        : e1((n.x - c.x) * (q.y - c.y) - (q.x - c.x) * (n.y - c.y)),
          e2((p.x - n.x) * (q.y - n.y) - (q.x - n.x) * (p.y - n.y)),
          e3((c.x - p.x) * (q.y - p.y) - (q.x - p.x) * (c.y - p.y)) {}
    bool insideOrOn() const { return (e1 >= 0 && e2 >= 0 && e3 >= 0) || (e1 <= 0 && e2 <= 0 && e3 <= 0); }
};

// The clipping state of one call: a ring of point indices with one code per position, the holes
// not yet bridged, the remaining area and the blocker count. The ring always describes one closed
// outline (the outer loop with the bridged holes spliced in); the written triangles together with
// the ring cover the outline with the bridged holes removed.
class EarClipper {
public:
    EarClipper(bool useNormals, const float* normals, const float* points, uint16_t* ring, uint16_t* codes,
               uint16_t* holes, uint32_t capacity, unsigned short* out)
        : fUseNormals(useNormals),
          fNormals(normals),
          fPoints(points),
          fRing(ring),
          fCodes(codes),
          fHoles(holes),
          fCapacity(capacity),
          fOut(out) {}

    int run(uint32_t outerCount, uint32_t holeCount, uint32_t totalCount) {
        fTotal = totalCount;
        fOuter = outerCount;
        fMarkers = holeCount;
        fSize = outerCount;
        for (uint32_t i = 0; i < outerCount; ++i) fRing[i] = static_cast<uint16_t>(i);
        fArea = loopArea(0, outerCount);
        for (uint32_t p = 0; p < fSize; ++p) fBlockers += reclassify(p);
        fHoleCount = holeCount;
        for (uint32_t j = 0; j < holeCount; ++j) fHoles[j] = static_cast<uint16_t>(j);

        while (fHoleCount > 0 || fSize > 3) {
            uint32_t cur = 0;
            bool degenerate = false;
            if (!select(cur, degenerate)) return -1;
            if (!degenerate) {
                if (fSize > 3 && fBlockers > 0 && blocked(cur)) {
                    fCodes[cur] = kNotEar;
                    continue;
                }
                if (fHoleCount > 0) {
                    uint32_t slot = 0, point = 0;
                    if (findBridge(cur, slot, point)) {
                        if (!bridge(cur, slot, point)) return -1;
                        continue;
                    }
                    if (fSize == 3) {
                        fHoleCount = 0;
                        continue;
                    }
                }
            }
            clip(cur);
            if (fSize < 3) return fTriangles;
        }
        emit(fRing[0], fRing[1], fRing[2]);
        return fTriangles;
    }

private:
    Point2 point(uint32_t i) const { return {fPoints[2 * i], fPoints[2 * i + 1]}; }
    uint32_t prevPos(uint32_t p) const { return p == 0 ? fSize - 1 : p - 1; }
    uint32_t nextPos(uint32_t p) const { return p + 1 == fSize ? 0 : p + 1; }

    // Points [begin, end) of hole j; a marker outside the hole part of the points gives an empty
    // or shortened range, never one reaching into the outer loop or past the end.
    void holeRange(uint32_t j, uint32_t& begin, uint32_t& end) const {
        auto marker = [&](uint32_t k) {
            double x = fPoints[2 * (fTotal + k)];
            if (!(x >= fOuter)) return fOuter;
            return x >= fTotal ? fTotal : static_cast<uint32_t>(std::lround(x));
        };
        begin = marker(j);
        end = j + 1 < fMarkers ? marker(j + 1) : fTotal;
        if (end < begin) end = begin;
    }

    double loopArea(uint32_t begin, uint32_t end) const {
        double sum = 0;
        for (uint32_t i = begin; i < end; ++i) {
            Point2 a = point(i), b = point(i + 1 == end ? begin : i + 1);
            sum += (b.x - a.x) * (a.y + b.y);
        }
        return std::fabs(sum) * 0.5;
    }

    uint16_t classify(uint32_t pos) const {
        const uint32_t prev = fRing[prevPos(pos)], next = fRing[nextPos(pos)];
        const Point2 c = point(fRing[pos]), p = point(prev), n = point(next);
        const double d1x = p.x - c.x, d1y = p.y - c.y, d2x = n.x - c.x, d2y = n.y - c.y;
        const double l1 = std::sqrt(d1x * d1x + d1y * d1y), l2 = std::sqrt(d2x * d2x + d2y * d2y);
        if (!(l1 > kMinEdge) || !(l2 > kMinEdge)) return kDegenerate;
        const double cross = d1x * d2y - d2x * d1y;
        if (cross < 0) return kReflex;
        const double cosine = (d1x * d2x + d1y * d2y) / (l1 * l2);
        const uint32_t angle = quantise(1 - cosine, 31.9995, 63);
        uint32_t code = angle;
        if (fUseNormals) {
            if (angle > fThreshold) code |= kWide;
            if (code != 0) {
                const float* a = fNormals + 3 * prev;
                const float* b = fNormals + 3 * next;
                const double agree = double(a[0]) * b[0] + double(a[1]) * b[1] + double(a[2]) * b[2];
                code |= quantise(1 - agree, 63.9995, 127) << 6;
            }
        }
        if (cross > 1.5 * fArea) code |= kLarge;
        return static_cast<uint16_t>(code);
    }

    // trunc(value * scale) kept within [0, top]: rounding can push a cosine just past +-1.
    static uint32_t quantise(double value, double scale, uint32_t top) {
        double q = std::trunc(value * scale);
        if (!(q > 0)) return 0;
        return q >= top ? top : static_cast<uint32_t>(q);
    }

    uint32_t reclassify(uint32_t pos) {
        fCodes[pos] = classify(pos);
        return isBlocker(fCodes[pos]) ? 1 : 0;
    }

    // One scan from the last position to the first: a degenerate position wins at once, otherwise
    // the smallest priority code, the lowest position on a tie.
    bool select(uint32_t& pos, bool& degenerate) {
        degenerate = false;
        if (fSize == 0) return false;
        if (fSize == 3) {
            pos = 2;
            return true;
        }
        uint16_t best = kWorstCandidate;
        bool found = false;
        for (uint32_t p = fSize; p-- > 0;) {
            const uint16_t code = fCodes[p];
            if (code == kDegenerate) {
                pos = p;
                degenerate = true;
                if (fBlockers > 0) --fBlockers;
                return true;
            }
            if (!(code & kNotEar) && code <= best) {
                best = code;
                pos = p;
                found = true;
            }
        }
        return found;
    }

    // Only reflex or degenerate positions can lie inside an ear of a ring that was simple.
    bool blocked(uint32_t cur) const {
        const uint32_t prev = prevPos(cur), next = nextPos(cur);
        const Point2 p = point(fRing[prev]), c = point(fRing[cur]), n = point(fRing[next]);
        for (uint32_t q = 0; q < fSize; ++q) {
            if (q == prev || q == cur || q == next || !isBlocker(fCodes[q])) continue;
            if (EdgeFunctions(p, c, n, point(fRing[q])).insideOrOn()) return true;
        }
        return false;
    }

    // The hole point inside the ear at cur that lies closest to cur (largest barycentric weight
    // of cur); the bridge to it then cannot cross the outline.
    bool findBridge(uint32_t cur, uint32_t& slot, uint32_t& found) const {
        const Point2 p = point(fRing[prevPos(cur)]), c = point(fRing[cur]), n = point(fRing[nextPos(cur)]);
        bool any = false;
        double bestWeight = 0;
        for (uint32_t s = fHoleCount; s-- > 0;) {
            uint32_t begin = 0, end = 0;
            holeRange(fHoles[s], begin, end);
            for (uint32_t i = begin; i < end; ++i) {
                const EdgeFunctions f(p, c, n, point(i));
                if (!f.insideOrOn()) continue;
                const double sum = f.e1 + f.e2 + f.e3;
                const double weight = sum != 0 ? f.e2 / sum : 0;
                if (!any || weight > bestWeight) {
                    any = true;
                    bestWeight = weight;
                    slot = s;
                    found = i;
                }
            }
        }
        return any;
    }

    // Splices hole fHoles[slot] into the ring after cur through its point found: the hole from
    // found to its end, from its start back to found, then cur again.
    bool bridge(uint32_t cur, uint32_t slot, uint32_t found) {
        uint32_t begin = 0, end = 0;
        holeRange(fHoles[slot], begin, end);
        const uint32_t grow = end - begin + 2;
        if (fSize + grow > fCapacity) return false;
        const uint32_t tail = fSize - cur - 1;
        std::memmove(fRing + cur + 1 + grow, fRing + cur + 1, tail * sizeof(uint16_t));
        std::memmove(fCodes + cur + 1 + grow, fCodes + cur + 1, tail * sizeof(uint16_t));
        uint32_t k = cur + 1;
        for (uint32_t i = found; i < end; ++i) fRing[k++] = static_cast<uint16_t>(i);
        for (uint32_t i = begin; i <= found; ++i) fRing[k++] = static_cast<uint16_t>(i);
        fRing[k] = fRing[cur];
        fSize += grow;
        fArea -= loopArea(begin, end);
        for (uint32_t p = cur; p <= k; ++p) fBlockers += reclassify(p);
        std::memmove(fHoles + slot, fHoles + slot + 1, (fHoleCount - slot - 1) * sizeof(uint16_t));
        --fHoleCount;
        return true;
    }

    void clip(uint32_t cur) {
        const uint16_t code = fCodes[cur];
        if (code & kWide) {
            // The threshold only falls, so wide ears are taken once the sharp ones are gone.
            fThreshold = code & kAngleMask;
            for (uint32_t p = 0; p < fSize; ++p)
                if ((fCodes[p] & kAngleMask) >= fThreshold) fCodes[p] &= static_cast<uint16_t>(~kWide);
        }
        const uint32_t prevPoint = fRing[prevPos(cur)], nextPoint = fRing[nextPos(cur)], curPoint = fRing[cur];
        emit(curPoint, nextPoint, prevPoint);
        const uint32_t tail = fSize - cur - 1;
        std::memmove(fRing + cur, fRing + cur + 1, tail * sizeof(uint16_t));
        std::memmove(fCodes + cur, fCodes + cur + 1, tail * sizeof(uint16_t));
        --fSize;
        const uint32_t next = cur == fSize ? 0 : cur;
        const uint32_t prev = next == 0 ? fSize - 1 : next - 1;
        if (fBlockers > 0 && isBlocker(fCodes[prev])) --fBlockers;
        if (fBlockers > 0 && isBlocker(fCodes[next])) --fBlockers;
        const Point2 p = point(prevPoint), c = point(curPoint), n = point(nextPoint);
        fArea -= std::fabs((p.x - c.x) * (n.y - c.y) - (n.x - c.x) * (p.y - c.y)) * 0.5;
        fBlockers += reclassify(prev);
        fBlockers += reclassify(next);
    }

    void emit(uint32_t a, uint32_t b, uint32_t c) {
        unsigned short* t = fOut + 3 * fTriangles++;
        t[0] = static_cast<unsigned short>(a);
        t[1] = static_cast<unsigned short>(b);
        t[2] = static_cast<unsigned short>(c);
    }

    const bool fUseNormals;
    const float* fNormals;
    const float* fPoints;
    uint16_t* fRing;
    uint16_t* fCodes;
    uint16_t* fHoles;
    const uint32_t fCapacity;
    unsigned short* fOut;
    uint32_t fTotal = 0, fOuter = 0, fMarkers = 0;
    uint32_t fSize = 0;
    uint32_t fHoleCount = 0;
    uint32_t fBlockers = 0;
    uint32_t fThreshold = kInitialThreshold;
    double fArea = 0;
    int fTriangles = 0;
};

}  // namespace

int kvPolyTriangulate::compute(bool useNormals, const float* cornerNormals, float* points, int outerCount,
                               unsigned int holeCount, unsigned int totalCount, unsigned short* triangles) {
    // Ring positions and point indices are 16-bit; so is every corner number of a face.
    if (outerCount < 3 || uint32_t(outerCount) > totalCount) return outerCount < 3 ? 0 : -1;
    const uint32_t capacity = totalCount + 2 * holeCount;
    if (capacity > 0xFFFF || (useNormals && !cornerNormals)) return -1;
    try {
        Talloca scratch;
        uint16_t* ring = scratch.allocateArray<uint16_t>(capacity);
        uint16_t* codes = scratch.allocateArray<uint16_t>(capacity);
        uint16_t* holes = scratch.allocateArray<uint16_t>(holeCount + 1);
        EarClipper clipper(useNormals, cornerNormals, points, ring, codes, holes, capacity, triangles);
        return clipper.run(uint32_t(outerCount), holeCount, totalCount);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}
