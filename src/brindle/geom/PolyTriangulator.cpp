#include "brindle/geom/PolyTriangulator.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
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
// No node / no cell entry / not in the heap.
constexpr uint16_t kNil = 0xFFFF;

// Faces of at least this many points keep the indexed structures below; smaller ones scan.
unsigned int gIndexedPoints = 48;

bool isBlocker(uint16_t code) { return (code & kNotEar) != 0 && (code & kBlockerBits) != 0; }
// Positions a selection scan looks at: degenerate ones (taken first) and ear candidates.
bool isSelectable(uint16_t code) { return code == kDegenerate || (!(code & kNotEar) && code <= kWorstCandidate); }

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
    // Barycentric weight of c, the weight a bridge candidate is ranked by.
    double weight() const {
        const double sum = e1 + e2 + e3;
        return sum != 0 ? e2 / sum : 0;
    }
};

// Uniform grid over the bounding box of a face's points. Cell lookups are monotone in each
// coordinate, so the cells of a rectangle hold every point inside it.
//
// Culling an ear by its cells must never hide a point the edge functions, as computed, would call
// inside or on it. Each edge function on these points is off by at most fError (products of two
// coordinate differences, each at most the box extent D: 8 roundings of 2^-53 times D^2, rounded
// up). A point outside an ear's bounding box grown by half the margin then has some edge function
// below -fError, and the other two sum to more than fError, as long as the ear's area is large
// beside the error (doubled area T > 3 fError) and its offset triangle, whose corners move by at
// most 3 fError (w + h) / |T|, stays within that half margin. earCells answers false for the
// thinner ears, which are scanned in full.
class CellGrid {
public:
    struct Range {
        uint32_t x0, x1, y0, y1;
    };

    // False when a point is not finite: no bound holds then.
    bool init(const float* points, uint32_t count) {
        double x0 = points[0], x1 = x0, y0 = points[1], y1 = y0;
        for (uint32_t i = 0; i < count; ++i) {
            const double x = points[2 * i], y = points[2 * i + 1];
            if (!std::isfinite(x) || !std::isfinite(y)) return false;
            x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
        }
        const double w = x1 - x0, h = y1 - y0, d = std::max(w, h);
        // About one cell per two points, shaped like the box.
        const double target = std::max(1.0, count / 2.0);
        fNx = w > 0 ? uint32_t(std::clamp(std::sqrt(target * w / std::max(h, w / target)), 1.0, target)) : 1;
        fNy = h > 0 ? uint32_t(std::clamp(target / fNx, 1.0, target)) : 1;
        fMinX = x0, fMinY = y0;
        fScaleX = w > 0 ? fNx / w : 0;
        fScaleY = h > 0 ? fNy / h : 0;
        fError = 2e-15 * d * d;
        fMargin = 1e-3 * d;
        return true;
    }
    uint32_t cells() const { return fNx * fNy; }
    uint32_t cellOf(Point2 q) const {
        return index(q.y - fMinY, fScaleY, fNy) * fNx + index(q.x - fMinX, fScaleX, fNx);
    }
    uint32_t width() const { return fNx; }

    bool earCells(Point2 p, Point2 c, Point2 n, Range& r) const {
        const double twice = std::fabs((c.x - p.x) * (n.y - p.y) - (n.x - p.x) * (c.y - p.y));
        const double x0 = std::min({p.x, c.x, n.x}), x1 = std::max({p.x, c.x, n.x});
        const double y0 = std::min({p.y, c.y, n.y}), y1 = std::max({p.y, c.y, n.y});
        if (!(twice > 3 * fError) || !(6 * fError * ((x1 - x0) + (y1 - y0)) < fMargin * twice)) return false;
        r = {index(x0 - fMargin - fMinX, fScaleX, fNx), index(x1 + fMargin - fMinX, fScaleX, fNx),
             index(y0 - fMargin - fMinY, fScaleY, fNy), index(y1 + fMargin - fMinY, fScaleY, fNy)};
        return true;
    }

private:
    static uint32_t index(double offset, double scale, uint32_t n) {
        const double k = std::floor(offset * scale);
        if (!(k > 0)) return 0;
        return k >= n - 1 ? n - 1 : uint32_t(k);
    }

    double fMinX = 0, fMinY = 0, fScaleX = 0, fScaleY = 0, fError = 0, fMargin = 0;
    uint32_t fNx = 1, fNy = 1;
};

// Binary heap of the selectable ring nodes in the order a selection scan would pick them: the
// degenerate node at the highest position first, then the smallest ear code, the lowest position
// on a tie. Positions compare by the ring's order labels.
class EarHeap {
public:
    void init(uint16_t* heap, uint16_t* slot, uint32_t nodes, const uint16_t* codes, const uint64_t* labels) {
        fHeap = heap, fSlot = slot, fCodes = codes, fLabels = labels;
        std::fill(slot, slot + nodes, kNil);
    }
    bool empty() const { return fSize == 0; }
    uint16_t top() const { return fHeap[0]; }

    // Puts the node in, moves it or takes it out after its code changed.
    void update(uint16_t node) {
        const bool in = fSlot[node] != kNil;
        if (!isSelectable(fCodes[node])) {
            if (in) remove(node);
            return;
        }
        if (!in) {
            fSlot[node] = static_cast<uint16_t>(fSize);
            fHeap[fSize++] = node;
        }
        siftDown(siftUp(fSlot[node]));
    }

private:
    bool before(uint16_t a, uint16_t b) const {
        const uint16_t ca = fCodes[a], cb = fCodes[b];
        if ((ca == kDegenerate) != (cb == kDegenerate)) return ca == kDegenerate;
        if (ca == kDegenerate) return fLabels[a] > fLabels[b];
        return ca != cb ? ca < cb : fLabels[a] < fLabels[b];
    }
    void place(uint32_t i, uint16_t node) {
        fHeap[i] = node;
        fSlot[node] = static_cast<uint16_t>(i);
    }
    uint32_t siftUp(uint32_t i) {
        const uint16_t node = fHeap[i];
        for (; i > 0 && before(node, fHeap[(i - 1) / 2]); i = (i - 1) / 2) place(i, fHeap[(i - 1) / 2]);
        place(i, node);
        return i;
    }
    void siftDown(uint32_t i) {
        const uint16_t node = fHeap[i];
        for (uint32_t child; (child = 2 * i + 1) < fSize; i = child) {
            if (child + 1 < fSize && before(fHeap[child + 1], fHeap[child])) ++child;
            if (!before(fHeap[child], node)) break;
            place(i, fHeap[child]);
        }
        place(i, node);
    }
    void remove(uint16_t node) {
        const uint32_t i = fSlot[node];
        fSlot[node] = kNil;
        if (i == --fSize) return;
        place(i, fHeap[fSize]);
        siftDown(siftUp(i));
    }

    uint16_t* fHeap = nullptr;
    uint16_t* fSlot = nullptr;
    const uint16_t* fCodes = nullptr;
    const uint64_t* fLabels = nullptr;
    uint32_t fSize = 0;
};

// The clipping state of one call: a ring of point indices with one code per position, kept as a
// doubly linked list of nodes, the holes not yet bridged, the remaining area and the blocker
// count. The ring always describes one closed outline (the outer loop with the bridged holes
// spliced in); the written triangles together with the ring cover the outline with the bridged
// holes removed.
//
// Every node keeps the length of the ring edge that enters it, so that a classification only
// measures edges the last change made. Questions that do not depend on ring order (is there a
// blocker in this ear, which codes lose the wide bit) scan the node array, whose removed nodes
// carry the code kNotEar and so take part in nothing.
//
// Small faces keep node ids in ring order (the head is the smallest id; a bridge renumbers the
// ring), so that selection is a scan of the code array. Big faces instead keep an index that
// answers the same questions without scanning the ring: order labels increasing from the ring's
// first position to its last, a heap of the selectable nodes, the blocker nodes listed per grid
// cell, and the unbridged hole points per cell. Both change only how candidates are found, never
// which one is chosen, so every way gives the same triangles.
class EarClipper {
public:
    EarClipper(bool useNormals, const float* normals, const float* points, uint32_t outer, uint32_t holeCount,
               uint32_t total, unsigned short* out)
        : fUseNormals(useNormals),
          fNormals(normals),
          fPoints(points),
          fCapacity(total + 2 * holeCount),
          fTotal(total),
          fOuter(outer),
          fMarkers(holeCount),
          fOut(out) {}

    int run(Talloca& scratch) {
        fPointOf = scratch.allocateArray<uint16_t>(fCapacity);
        fCodes = scratch.allocateArray<uint16_t>(fCapacity);
        fNext = scratch.allocateArray<uint16_t>(fCapacity);
        fPrev = scratch.allocateArray<uint16_t>(fCapacity);
        fEdge = scratch.allocateArray<double>(fCapacity);
        fHoles = scratch.allocateArray<uint16_t>(fMarkers + 1);
        for (uint32_t i = 0; i < fOuter; ++i) {
            fPointOf[i] = static_cast<uint16_t>(i);
            fCodes[i] = kNotEar;
            fNext[i] = static_cast<uint16_t>(i + 1 == fOuter ? 0 : i + 1);
            fPrev[i] = static_cast<uint16_t>(i == 0 ? fOuter - 1 : i - 1);
            fEdge[i] = edgeLength(fPrev[i], i);  // node i holds point i
        }
        fHead = 0;
        fSize = fUsed = fOuter;
        fHoleCount = fMarkers;
        for (uint32_t j = 0; j < fMarkers; ++j) fHoles[j] = static_cast<uint16_t>(j);
        // A lone triangle is its own cut; nothing below would change it.
        if (fHoleCount == 0 && fSize == 3) return clipAll();
        if (fTotal >= gIndexedPoints && holesInOrder() && fGrid.init(fPoints, fTotal)) {
            buildIndex(scratch);
        } else if (fMarkers > 0) {
            fSparePointOf = scratch.allocateArray<uint16_t>(fCapacity);
            fSpareCodes = scratch.allocateArray<uint16_t>(fCapacity);
            fSpareEdge = scratch.allocateArray<double>(fCapacity);
        }
        fArea = loopArea(0, fOuter);
        for (uint16_t v = 0; v < fSize; ++v) fBlockers += reclassify(v);
        return clipAll();
    }

private:
    int clipAll() {
        while (fHoleCount > 0 || fSize > 3) {
            uint16_t cur = 0;
            bool degenerate = false;
            if (!select(cur, degenerate)) return -1;
            if (!degenerate) {
                if (fSize > 3 && fBlockers > 0 && blocked(cur)) {
                    setCode(cur, kNotEar);
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
        emit(fPointOf[fHead], fPointOf[fNext[fHead]], fPointOf[fNext[fNext[fHead]]]);
        return fTriangles;
    }

    Point2 point(uint32_t i) const { return {fPoints[2 * i], fPoints[2 * i + 1]}; }
    Point2 nodePoint(uint16_t v) const { return point(fPointOf[v]); }
    // Symmetric to the last bit: swapping the points only negates the differences.
    double edgeLength(uint32_t from, uint32_t to) const {
        const Point2 a = point(from), b = point(to);
        const double dx = a.x - b.x, dy = a.y - b.y;
        return std::sqrt(dx * dx + dy * dy);
    }

    uint32_t marker(uint32_t k) const {
        const double x = fPoints[2 * (fTotal + k)];
        if (!(x >= fOuter)) return fOuter;
        return x >= fTotal ? fTotal : static_cast<uint32_t>(std::lround(x));
    }
    // Points [begin, end) of hole j; a marker outside the hole part of the points gives an empty
    // or shortened range, never one reaching into the outer loop or past the end.
    void holeRange(uint32_t j, uint32_t& begin, uint32_t& end) const {
        begin = marker(j);
        end = j + 1 < fMarkers ? marker(j + 1) : fTotal;
        if (end < begin) end = begin;
    }
    // Holes that do not overlap, so that each hole point belongs to one hole.
    bool holesInOrder() const {
        for (uint32_t j = 1; j < fMarkers; ++j)
            if (marker(j) < marker(j - 1)) return false;
        return true;
    }

    double loopArea(uint32_t begin, uint32_t end) const {
        double sum = 0;
        for (uint32_t i = begin; i < end; ++i) {
            Point2 a = point(i), b = point(i + 1 == end ? begin : i + 1);
            sum += (b.x - a.x) * (a.y + b.y);
        }
        return std::fabs(sum) * 0.5;
    }

    uint16_t classify(uint16_t v) const {
        const uint32_t prev = fPointOf[fPrev[v]], next = fPointOf[fNext[v]];
        const Point2 c = nodePoint(v), p = point(prev), n = point(next);
        const double d1x = p.x - c.x, d1y = p.y - c.y, d2x = n.x - c.x, d2y = n.y - c.y;
        const double l1 = fEdge[v], l2 = fEdge[fNext[v]];
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

    // trunc(value * scale) kept within [0, top]: rounding can push a cosine just past +-1. The
    // conversion truncates, and a product past top is caught before it.
    static uint32_t quantise(double value, double scale, uint32_t top) {
        const double q = value * scale;
        if (!(q > 0)) return 0;
        return q >= top ? top : static_cast<uint32_t>(q);
    }

    // Every code change goes through here, so that the index follows the ring.
    void setCode(uint16_t v, uint16_t code) {
        const uint16_t old = fCodes[v];
        fCodes[v] = code;
        fDegenerates += int(code == kDegenerate) - int(old == kDegenerate);
        if (!fIndexed) return;
        if (isBlocker(old) != isBlocker(code)) isBlocker(code) ? listBlocker(v) : unlistBlocker(v);
        if (isSelectable(old) || isSelectable(code)) fHeap.update(v);
    }
    uint32_t reclassify(uint16_t v) {
        setCode(v, classify(v));
        return isBlocker(fCodes[v]) ? 1 : 0;
    }

    // The degenerate position nearest the end wins at once, otherwise the smallest priority code,
    // the lowest position on a tie.
    bool select(uint16_t& pick, bool& degenerate) {
        degenerate = false;
        if (fSize == 0) return false;
        if (fSize == 3) {
            pick = fNext[fNext[fHead]];
            return true;
        }
        bool found = false;
        if (fIndexed) {
            found = !fHeap.empty();
            if (found) pick = fHeap.top();
            degenerate = found && fCodes[pick] == kDegenerate;
        } else if (fDegenerates > 0) {
            pick = static_cast<uint16_t>(fUsed);
            while (fCodes[--pick] != kDegenerate) {
            }
            degenerate = found = true;
        } else {
            // Node ids are ring positions here and removed nodes carry kNotEar: the first node
            // holding the smallest code is the choice, when that code is an ear's.
            uint16_t best = kNotEar;
            for (uint32_t v = 0; v < fUsed; ++v) best = std::min(best, fCodes[v]);
            found = best <= kWorstCandidate;
            if (found) pick = static_cast<uint16_t>(std::find(fCodes, fCodes + fUsed, best) - fCodes);
        }
        if (degenerate && fBlockers > 0) --fBlockers;
        return found;
    }

    // Only reflex or degenerate positions can lie inside an ear of a ring that was simple.
    bool blocked(uint16_t cur) const {
        const uint16_t prev = fPrev[cur], next = fNext[cur];
        const Point2 p = nodePoint(prev), c = nodePoint(cur), n = nodePoint(next);
        auto blocks = [&](uint16_t q) {
            return q != prev && q != cur && q != next && isBlocker(fCodes[q]) &&
                   EdgeFunctions(p, c, n, nodePoint(q)).insideOrOn();
        };
        CellGrid::Range r;
        if (fIndexed && fGrid.earCells(p, c, n, r)) {
            for (uint32_t y = r.y0; y <= r.y1; ++y)
                for (uint32_t cell = y * fGrid.width() + r.x0, last = y * fGrid.width() + r.x1; cell <= last; ++cell)
                    for (uint16_t q = fCellHead[cell]; q != kNil; q = fCellNext[q])
                        if (blocks(q)) return true;
            return false;
        }
        for (uint16_t q = 0; q < fUsed; ++q)
            if (blocks(q)) return true;
        return false;
    }

    // The hole point inside the ear at cur that lies closest to cur (largest barycentric weight
    // of cur); the bridge to it then cannot cross the outline. Ties go to the point met first
    // going through the holes from the last to the first, each hole's points in order.
    bool findBridge(uint16_t cur, uint32_t& slot, uint32_t& found) const {
        const Point2 p = nodePoint(fPrev[cur]), c = nodePoint(cur), n = nodePoint(fNext[cur]);
        bool any = false;
        double bestWeight = 0;
        CellGrid::Range r;
        if (fIndexed && fGrid.earCells(p, c, n, r)) {
            for (uint32_t y = r.y0; y <= r.y1; ++y)
                for (uint32_t cell = y * fGrid.width() + r.x0, last = y * fGrid.width() + r.x1; cell <= last; ++cell)
                    for (uint32_t k = fHoleCellStart[cell]; k < fHoleCellStart[cell + 1]; ++k) {
                        const uint32_t i = fHolePoints[k], hole = fHoleOf[i - fOuter];
                        if (!fHoleOpen[hole]) continue;
                        const EdgeFunctions f(p, c, n, point(i));
                        if (!f.insideOrOn()) continue;
                        const double weight = f.weight();
                        const uint32_t bestHole = any ? fHoleOf[found - fOuter] : 0;
                        const bool earlier = hole == bestHole ? i < found : hole > bestHole;
                        if (!any || weight > bestWeight || (weight == bestWeight && earlier)) {
                            any = true;
                            bestWeight = weight;
                            found = i;
                        }
                    }
            if (any) slot = uint32_t(std::find(fHoles, fHoles + fHoleCount, fHoleOf[found - fOuter]) - fHoles);
            return any;
        }
        for (uint32_t s = fHoleCount; s-- > 0;) {
            uint32_t begin = 0, end = 0;
            holeRange(fHoles[s], begin, end);
            for (uint32_t i = begin; i < end; ++i) {
                const EdgeFunctions f(p, c, n, point(i));
                if (!f.insideOrOn()) continue;
                const double weight = f.weight();
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

    uint16_t newNode(uint32_t point) {
        uint16_t v = fFree;
        if (v != kNil)
            fFree = fNext[v];
        else
            v = static_cast<uint16_t>(fUsed++);
        fPointOf[v] = static_cast<uint16_t>(point);
        fCodes[v] = kNotEar;
        return v;
    }

    // Splices hole fHoles[slot] into the ring after cur through its point found: the hole from
    // found to its end, from its start back to found, then cur again.
    bool bridge(uint16_t cur, uint32_t slot, uint32_t found) {
        uint32_t begin = 0, end = 0;
        holeRange(fHoles[slot], begin, end);
        const uint32_t grow = end - begin + 2;
        if (fSize + grow > fCapacity) return false;
        const uint16_t after = fNext[cur];
        uint16_t last = cur;
        auto append = [&](uint32_t point) {
            const uint16_t v = newNode(point);
            fNext[last] = v;
            fPrev[v] = last;
            fEdge[v] = edgeLength(fPointOf[last], point);
            last = v;
        };
        for (uint32_t i = found; i < end; ++i) append(i);
        for (uint32_t i = begin; i <= found; ++i) append(i);
        append(fPointOf[cur]);
        // last repeats cur's point, so the edge entering after keeps its length.
        fNext[last] = after;
        fPrev[after] = last;
        fSize += grow;
        if (fIndexed) {
            labelRun(cur, after, grow);
            fHoleOpen[fHoles[slot]] = false;
        }
        fArea -= loopArea(begin, end);
        for (uint16_t v = cur;; v = fNext[v]) {
            fBlockers += reclassify(v);
            if (v == last) break;
        }
        std::copy(fHoles + slot + 1, fHoles + fHoleCount, fHoles + slot);
        --fHoleCount;
        if (!fIndexed) renumber();
        return true;
    }

    // Gives the nodes the ids of their ring positions again, the head 0, with no removed nodes.
    void renumber() {
        uint16_t v = fHead;
        for (uint32_t k = 0; k < fSize; ++k, v = fNext[v]) {
            fSparePointOf[k] = fPointOf[v];
            fSpareCodes[k] = fCodes[v];
            fSpareEdge[k] = fEdge[v];
        }
        std::swap(fPointOf, fSparePointOf);
        std::swap(fCodes, fSpareCodes);
        std::swap(fEdge, fSpareEdge);
        for (uint32_t k = 0; k < fSize; ++k) {
            fNext[k] = static_cast<uint16_t>(k + 1 == fSize ? 0 : k + 1);
            fPrev[k] = static_cast<uint16_t>(k == 0 ? fSize - 1 : k - 1);
        }
        fHead = 0;
        fUsed = fSize;
        fFree = kNil;
    }

    void clip(uint16_t cur) {
        const uint16_t code = fCodes[cur];
        if (code & kWide) {
            // The threshold only falls, so wide ears are taken once the sharp ones are gone.
            fThreshold = code & kAngleMask;
            for (uint16_t v = 0; v < fUsed; ++v)
                if ((fCodes[v] & kWide) && (fCodes[v] & kAngleMask) >= fThreshold)
                    setCode(v, static_cast<uint16_t>(fCodes[v] & ~kWide));
        }
        const uint16_t prev = fPrev[cur], next = fNext[cur];
        const uint32_t prevPoint = fPointOf[prev], nextPoint = fPointOf[next], curPoint = fPointOf[cur];
        emit(curPoint, nextPoint, prevPoint);
        setCode(cur, kNotEar);
        fNext[prev] = next;
        fPrev[next] = prev;
        if (cur == fHead) fHead = next;
        fNext[cur] = fFree;
        fFree = cur;
        --fSize;
        // The last three positions are written as they stand: their codes are never read again.
        if (fSize == 3 && fHoleCount == 0) return;
        if (fBlockers > 0 && isBlocker(fCodes[prev])) --fBlockers;
        if (fBlockers > 0 && isBlocker(fCodes[next])) --fBlockers;
        const Point2 p = point(prevPoint), c = point(curPoint), n = point(nextPoint);
        fArea -= std::fabs((p.x - c.x) * (n.y - c.y) - (n.x - c.x) * (p.y - c.y)) * 0.5;
        fEdge[next] = edgeLength(prevPoint, nextPoint);
        fBlockers += reclassify(prev);
        fBlockers += reclassify(next);
    }

    void emit(uint32_t a, uint32_t b, uint32_t c) {
        unsigned short* t = fOut + 3 * fTriangles++;
        t[0] = static_cast<unsigned short>(a);
        t[1] = static_cast<unsigned short>(b);
        t[2] = static_cast<unsigned short>(c);
    }

    // The index: labels, heap and cell lists over all nodes a ring of fCapacity can use, the
    // hole points sorted by cell once.
    void buildIndex(Talloca& scratch) {
        fIndexed = true;
        fLabels = scratch.allocateArray<uint64_t>(fCapacity);
        relabel();
        fHeap.init(scratch.allocateArray<uint16_t>(fCapacity), scratch.allocateArray<uint16_t>(fCapacity), fCapacity,
                   fCodes, fLabels);
        const uint32_t cells = fGrid.cells();
        fCellHead = scratch.allocateArray<uint16_t>(cells);
        fCellNext = scratch.allocateArray<uint16_t>(fCapacity);
        fCellPrev = scratch.allocateArray<uint16_t>(fCapacity);
        std::fill(fCellHead, fCellHead + cells, kNil);

        const uint32_t holePoints = fTotal - fOuter;
        fHoleOf = scratch.allocateArray<uint16_t>(holePoints + 1);
        fHoleOpen = scratch.allocateArray<bool>(fMarkers + 1);
        fHoleCellStart = scratch.allocateArray<uint32_t>(cells + 1);
        fHolePoints = scratch.allocateArray<uint16_t>(holePoints + 1);
        std::fill(fHoleOf, fHoleOf + holePoints, kNil);
        std::fill(fHoleOpen, fHoleOpen + fMarkers, true);
        std::fill(fHoleCellStart, fHoleCellStart + cells + 1, 0u);
        for (uint32_t j = 0; j < fMarkers; ++j) {
            uint32_t begin = 0, end = 0;
            holeRange(j, begin, end);
            for (uint32_t i = begin; i < end; ++i) {
                fHoleOf[i - fOuter] = static_cast<uint16_t>(j);
                ++fHoleCellStart[fGrid.cellOf(point(i)) + 1];
            }
        }
        for (uint32_t c = 0; c < cells; ++c) fHoleCellStart[c + 1] += fHoleCellStart[c];
        for (uint32_t i = fOuter; i < fTotal; ++i)
            if (fHoleOf[i - fOuter] != kNil)
                fHolePoints[fHoleCellStart[fGrid.cellOf(point(i))]++] = static_cast<uint16_t>(i);
        // The fill moved every start to the next cell's; shift them back.
        for (uint32_t c = cells; c > 0; --c) fHoleCellStart[c] = fHoleCellStart[c - 1];
        fHoleCellStart[0] = 0;
    }

    // Labels evenly spread over the ring from its first position; the heap order survives since
    // the order of positions does.
    void relabel() {
        const uint64_t step = std::numeric_limits<uint64_t>::max() / (uint64_t(fSize) + 1);
        uint64_t label = step;
        for (uint16_t v = fHead, k = 0; k < fSize; ++k, v = fNext[v], label += step) fLabels[v] = label;
    }
    // Labels for the count nodes just spliced in after first, below after's (or the top when
    // after is the ring's first position); a gap too narrow relabels the whole ring.
    void labelRun(uint16_t first, uint16_t after, uint32_t count) {
        const uint64_t low = fLabels[first];
        const uint64_t high = after == fHead ? std::numeric_limits<uint64_t>::max() : fLabels[after];
        const uint64_t step = (high - low) / (uint64_t(count) + 1);
        if (step == 0) {
            relabel();
            return;
        }
        uint64_t label = low;
        for (uint16_t v = fNext[first]; v != after; v = fNext[v]) fLabels[v] = label += step;
    }

    void listBlocker(uint16_t v) {
        const uint32_t cell = fGrid.cellOf(nodePoint(v));
        fCellPrev[v] = kNil;
        fCellNext[v] = fCellHead[cell];
        if (fCellHead[cell] != kNil) fCellPrev[fCellHead[cell]] = v;
        fCellHead[cell] = v;
    }
    void unlistBlocker(uint16_t v) {
        if (fCellPrev[v] != kNil)
            fCellNext[fCellPrev[v]] = fCellNext[v];
        else
            fCellHead[fGrid.cellOf(nodePoint(v))] = fCellNext[v];
        if (fCellNext[v] != kNil) fCellPrev[fCellNext[v]] = fCellPrev[v];
    }

    const bool fUseNormals;
    const float* fNormals;
    const float* fPoints;
    const uint32_t fCapacity, fTotal, fOuter, fMarkers;
    unsigned short* fOut;

    uint16_t* fPointOf = nullptr;
    uint16_t* fCodes = nullptr;
    uint16_t* fNext = nullptr;
    uint16_t* fPrev = nullptr;
    double* fEdge = nullptr;  // length of the ring edge from the node's predecessor to it
    uint16_t* fHoles = nullptr;
    // Targets of renumber, swapped with the live arrays.
    uint16_t* fSparePointOf = nullptr;
    uint16_t* fSpareCodes = nullptr;
    double* fSpareEdge = nullptr;
    uint16_t fHead = 0, fFree = kNil;
    uint32_t fSize = 0, fUsed = 0;
    uint32_t fHoleCount = 0;
    uint32_t fBlockers = 0;
    int fDegenerates = 0;
    uint32_t fThreshold = kInitialThreshold;
    double fArea = 0;
    int fTriangles = 0;

    bool fIndexed = false;
    CellGrid fGrid;
    EarHeap fHeap;
    uint64_t* fLabels = nullptr;
    uint16_t* fCellHead = nullptr;
    uint16_t* fCellNext = nullptr;
    uint16_t* fCellPrev = nullptr;
    uint16_t* fHoleOf = nullptr;
    bool* fHoleOpen = nullptr;
    uint32_t* fHoleCellStart = nullptr;
    uint16_t* fHolePoints = nullptr;
};

}  // namespace

int kvPolyTriangulate::compute(bool useNormals, const float* cornerNormals, float* points, int outerCount,
                               unsigned int holeCount, unsigned int totalCount, unsigned short* triangles) {
    // Ring positions and point indices are 16-bit; so is every corner number of a face.
    if (outerCount < 3 || uint32_t(outerCount) > totalCount) return outerCount < 3 ? 0 : -1;
    if (holeCount > 0xFFFF || totalCount + 2 * holeCount > 0xFFFF || (useNormals && !cornerNormals)) return -1;
    try {
        Talloca scratch;
        EarClipper clipper(useNormals, cornerNormals, points, uint32_t(outerCount), holeCount, totalCount, triangles);
        return clipper.run(scratch);
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

unsigned int kvPolyTriangulate::setIndexedPoints(unsigned int points) {
    const unsigned int old = gIndexedPoints;
    gIndexedPoints = points;
    return old;
}
