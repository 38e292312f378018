#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/geom/PolyTypes.h"

class TpolyGeom;
class TpolyCatmullClarkHierarchy;

// One level of a mesh as the subdivision passes read it: the level's vertices, edges and faces
// are id ranges of one record, its faces one run of the face description. Ids stored in edges
// and entries are absolute; the passes index their outputs by ids relative to the range starts.
// Faces of a level past 0 are quads at 4 entries each, so faceOffsets may be null there.
struct BRINDLE_API TsubdivLevel {
    const T3dFltPoint* points = nullptr;    // the record's position array (absolute ids)
    const TpolyEdge* edges = nullptr;       // the record's edge array
    const uint32_t* desc = nullptr;         // the record's face description
    const uint32_t* faceOffsets = nullptr;  // absolute offsets of the level's faces, nbFace + 1; null: quads
    uint32_t vertexBase = 0, nbVertex = 0;
    uint32_t edgeBase = 0, nbEdge = 0;
    uint32_t faceBase = 0, nbFace = 0;
    uint32_t descBase = 0;  // offset of the level's first face (quads)

    uint32_t faceBegin(uint32_t f) const { return faceOffsets ? faceOffsets[f] : descBase + 4 * f; }
    uint32_t faceEnd(uint32_t f) const { return faceOffsets ? faceOffsets[f + 1] : descBase + 4 * f + 4; }
    uint32_t entryEdge(uint32_t o) const { return (desc[o] & TpolyBits::kEdgeMask) - edgeBase; }
    bool entryReversed(uint32_t o) const { return (desc[o] & TpolyBits::kReversedUse) != 0; }
    // Relative start vertex of the entry's oriented use.
    uint32_t entryStart(uint32_t o) const {
        const TpolyEdge& e = edges[edgeBase + entryEdge(o)];
        return (entryReversed(o) ? e.v[1] & TpolyBits::kVertexMask : e.v[0] & TpolyBits::kVertexMask) - vertexBase;
    }
    uint32_t edgeStartVertex(uint32_t e) const {
        return (edges[edgeBase + e].v[0] & TpolyBits::kVertexMask) - vertexBase;
    }
    uint32_t edgeEndVertex(uint32_t e) const {
        return (edges[edgeBase + e].v[1] & TpolyBits::kVertexMask) - vertexBase;
    }
    const T3dFltPoint& point(uint32_t v) const { return points[vertexBase + v]; }

    // Level l of a record built into hierarchy h (the record's arrays as they stand).
    static TsubdivLevel of(const TpolyGeom& record, const TpolyCatmullClarkHierarchy& h, uint32_t l);
    // The whole record as one level (its face offsets must be up to date).
    static TsubdivLevel ofRecord(const TpolyGeom& record);
};

// Some faces of a record as one level over all its vertices and edges, for the passes that
// smooth part of a mesh in place. When every face is taken the level reads the record's own
// description; otherwise it reads a compact copy of the taken faces' entries, level face i being
// record face faces[i] and its corner c the record corner corner[c].
class BRINDLE_API TsubdivFaceSubset {
public:
    void build(const TpolyGeom& record, const TbitFieldFixedN& taken);
    const TsubdivLevel& level() const { return fLevel; }
    const std::vector<uint32_t>& faces() const { return fFaces; }
    // Record corner of each level corner (level corners are numbered from 0).
    uint32_t recordCorner(uint32_t c) const { return fCompact ? fCorner[c] : c; }
    // The record's per-corner ids (shorter arrays read as -1) laid out as the level's corners:
    // the ids themselves when they already are, else a copy into scratch.
    const int32_t* cornerIds(const Tint32Array& ids, std::vector<int32_t>& scratch) const;

private:
    TsubdivLevel fLevel;
    bool fCompact = false;
    std::vector<uint32_t> fFaces, fDesc, fOffsets, fCorner;
};

// Per-component flags the Catmull-Clark rules read.
enum TsubdivFlag : uint8_t {
    kSubdivBorder = 0x1,  // edge with fewer than two faces; vertex at the end of one
    kSubdivHard = 0x2,    // hard edge (only when hard edges are kept); vertex at the end of one
    kSubdivKept = 0x4,    // does not move (the rules themselves never set it)
};

// Calls fn(offset, next) for every entry of face f, next being the entry that follows it in its
// loop (the loop's first entry after its last).
template <typename Fn>
inline void forEachFaceEntry(const TsubdivLevel& lv, uint32_t f, Fn&& fn) {
    const uint32_t end = lv.faceEnd(f);
    uint32_t loop = lv.faceBegin(f);
    for (uint32_t o = loop; o < end; ++o) {
        const bool last = (lv.desc[o] & TpolyBits::kEndOfLoop) || o + 1 == end;
        fn(o, last ? loop : o + 1);
        if (last) loop = o + 1;
    }
}

// Edge-length-weighted centre of the outer loop of face f: the sum over its edges (a, b) of
// (a + b)|a - b| over twice the perimeter; the first corner when twice the perimeter is below
// 1e-5, the origin for fewer than three corners.
BRINDLE_API T3dFltPoint subdivOutlineCentre(const TsubdivLevel& lv, uint32_t f);

// Edge-length-weighted centre of a UV polygon given corner by corner (same rule, in UV space),
// or the corner mean when kind is kFaceInfoCornerMean.
BRINDLE_API T2FloatPair subdivUVCentre(const T2FloatPair* uvs, uint32_t n, TpolyFaceInfo kind);

// UV centre of the outer loop of face f, of the given kind, from the UVs its corners name in
// [lo, hi) (corners naming none are left out); scratch holds the loop's UVs for the weighted kind.
BRINDLE_API T2FloatPair subdivFaceUVCentre(const TsubdivLevel& lv, uint32_t f, const T2FloatPair* uvs,
                                           const int32_t* ids, int32_t lo, int32_t hi, TpolyFaceInfo kind,
                                           std::vector<T2FloatPair>& scratch);

// Number of faces using each edge of the level (saturating at 255) and the description offset
// of each edge's first use (kNoId when unused).
BRINDLE_API void subdivEdgeUses(const TsubdivLevel& lv, std::vector<uint8_t>& count, std::vector<uint32_t>& first);
