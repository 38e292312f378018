#pragma once

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "brindle/base/Array.h"
#include "brindle/base/BitField.h"
#include "brindle/base/Math.h"
#include "brindle/geom/PolyTypes.h"

class TmidBody;
class TmidComponent;
class TpolyGeom;

// Working pieces shared by the UV operations; none of them is part of the library's interface.
namespace uvwork {

inline constexpr uint32_t kNone = 0xFFFFFFFFu;

// The bounding box of UVs, kept in double; empty (lo above hi) until the first point is added.
struct TuvBox {
    double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
    void add(double u, double v) {
        lo[0] = std::min(lo[0], u), hi[0] = std::max(hi[0], u);
        lo[1] = std::min(lo[1], v), hi[1] = std::max(hi[1], v);
    }
    void add(const T2FloatPair& p) { add(double(p.u), double(p.v)); }
    bool empty() const { return lo[0] > hi[0]; }
};

// The set an operation works on: index itself when it names a set, the current set for all ones,
// kNone otherwise (also when all ones meets a record without a current set).
uint32_t resolveSet(const TpolyGeom& geom, uint32_t index);
// The set named by index only (all ones names none).
uint32_t namedSet(const TpolyGeom& geom, uint32_t index);

// Gives set s exactly one id per face corner: missing ids become -1, extra ones are dropped.
void fitIds(TpolyGeom& geom, uint32_t s);

// Gives the corners of faces in set out one new UV for each UV of set in they use (at the same
// place), shared among all the faces, or among the corners of one face only with perFace; an
// unmapped input corner becomes unmapped. in and out may be the same set. Both sets must have one
// id per corner and the face offsets must be up to date.
void copyFaceUVs(TpolyGeom& geom, uint32_t in, uint32_t out, const std::vector<uint32_t>& faces, bool perFace);

// The active group of kind made from the list (or the standing one without a list) as bits over
// the kind's components; false when no such group can be made.
bool activeBits(TmidBody* body, TmidComponent* list, TpolyGrpType kind, TbitFieldFixedN& bits);
// The ids of the active group of kind in group order; false when there is no such group.
bool activeIds(TmidBody* body, TmidComponent* list, TpolyGrpType kind, std::vector<uint32_t>& ids);

// Face of every corner, and the corners of every vertex in increasing offset order (a counting
// sort over the description, linear). The face offsets must be up to date.
struct TcornerIndex {
    std::vector<uint32_t> faceOf;   // by corner
    std::vector<uint32_t> start;    // by vertex, nbVertex + 1 entries into corners
    std::vector<uint32_t> corners;  // corners grouped by vertex
    void build(const TpolyGeom& geom);
    // Offset of the entry before corner c in its loop: the corner whose edge use ends at c's vertex.
    static uint32_t previousInLoop(const TpolyGeom& geom, uint32_t faceStart, uint32_t c);
};

// The loop bounds of corner c: the first and last offsets of its loop (the face offsets must be
// up to date; loops end at end-of-loop bits).
void loopBounds(const TpolyGeom& geom, uint32_t faceStart, uint32_t c, uint32_t& first, uint32_t& last);

// 2-D rotation and scale about the origin followed by an offset: the transform every UV result
// of the projections and moves goes through.
struct TuvAffine {
    double c = 1, s = 0, sx = 1, sy = 1, ox = 0, oy = 0;
    TuvAffine(double angle, double scaleU, double scaleV, double offsetU, double offsetV);
    void apply(double u, double v, float out[2]) const {
        out[0] = float(ox + c * sx * u - s * sy * v);
        out[1] = float(oy + s * sx * u + c * sy * v);
    }
};

// Proper crossing of two UV segments: they share a point that is interior to both. Segments
// that only touch at an end, or are collinear, do not cross.
bool segmentsCross(const float a[2], const float b[2], const float c[2], const float d[2]);

// The cut at the given vertices of set s (see TpolyMapCutFty): the corners of each vertex fall
// into fans joined across edges that are not in cutEdges and whose faces share the UV there, and
// each fan that meets a UV an earlier fan holds gets a copy of it. Answers the UVs added.
uint32_t cutFans(TpolyGeom& geom, const TcornerIndex& index, uint32_t s, const std::vector<uint32_t>& vertices,
                 const TbitFieldFixedN& cutEdges);

// UV segments bucketed in a uniform grid, to find a proper crossing with a new segment without
// testing every stored one. A segment spanning very many cells is kept in a list tested always.
class TuvSegmentGrid {
public:
    void reset(double cellSize);
    void add(const float a[2], const float b[2]);
    bool crosses(const float a[2], const float b[2]);
    bool empty() const { return fSegments.empty(); }

private:
    struct Segment {
        float a[2], b[2];
    };
    static constexpr uint32_t kMaxCells = 256;
    // The cell range of a segment; false when it spans more than kMaxCells cells.
    bool cells(const float a[2], const float b[2], int64_t lo[2], int64_t hi[2]) const;
    static uint64_t key(int64_t i, int64_t j) { return (uint64_t(uint32_t(i)) << 32) | uint32_t(j); }

    double fCell = 1;
    std::vector<Segment> fSegments;
    std::vector<uint32_t> fStamp;  // by segment: the query that last tested it
    uint32_t fQuery = 0;
    std::unordered_map<uint64_t, uint32_t> fHeads;  // cell -> first entry
    std::vector<uint32_t> fEntrySegment, fEntryNext;
    std::vector<uint32_t> fWide;
};

}  // namespace uvwork
