#pragma once

#include <cstdint>

#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/geom/PolyTypes.h"
#include "brindle/geom/TopoIterators.h"

class TpolyGeom;

// Walks an edge ring: from an edge across each four-corner face to the opposite edge, then into
// that edge's next face not yet crossed (left faces before right ones, non-manifold runs
// included). A face is crossed at most once. When the walk meets a face without four corners, or
// an edge with no face left to enter, it turns round once: back to the start edge and on through
// its next face not crossed yet, switchingDirection() telling from then on. Coming back to the
// start edge ends a closed ring. direction() is kReversed for an edge that runs against the start
// edge (a quad's opposite entries are parallel when their reversed flags differ).
// After reset the start edge is current; next() answers the next edge, or -1 at the end.
class BRINDLE_API TedgeRingIterator {
public:
    TedgeRingIterator() = default;
    explicit TedgeRingIterator(TpolyGeom* geom) { setPoly(geom); }
    TedgeRingIterator(TpolyGeom* geom, uint32_t edge) {
        setPoly(geom);
        reset(edge);
    }

    void setPoly(TpolyGeom* geom) {
        fGeom = geom;
        fFaces.setPoly(geom);
    }
    // Answers the edge, or -1 for an edge out of range.
    uint32_t reset(uint32_t edge) { return start(edge, true); }
    uint32_t next();

    uint32_t edge() const { return fEdge; }
    TedgeDirection direction() const { return fDir ? kReversed : kForward; }
    bool switchingDirection() const { return fTurned; }
    bool isDone() const { return fEdge == TpolyBits::kNoId; }
    // The walk ended by coming back to its start edge.
    bool isClosed() const { return fClosed; }

protected:
    // allowed null: a ring that turns round; otherwise a path through the allowed edges only,
    // which never turns round by itself.
    explicit TedgeRingIterator(TpolyGeom* geom, const TbitFieldFixedN* allowed) : fAllowed(allowed) { setPoly(geom); }
    // Starts on edge; without clearVisited the faces crossed before stay closed to the walk.
    uint32_t start(uint32_t edge, bool clearVisited);

private:
    // Into the current edge's first face not crossed yet; false (no face) when there is none.
    bool enterFace();
    // The entry of the current face the walk leaves it by, or -1.
    uint32_t exitEntry() const;
    uint32_t finish();

    TpolyGeom* fGeom = nullptr;
    const TbitFieldFixedN* fAllowed = nullptr;
    TedgeFaceIterator fFaces;
    uint32_t fStart = TpolyBits::kNoId;
    uint32_t fEdge = TpolyBits::kNoId;
    uint32_t fFace = TpolyBits::kNoId;
    uint32_t fEntry = TpolyBits::kNoId;  // description offset of the current edge in the current face
    uint32_t fDir = 0;
    bool fTurned = false;
    bool fClosed = false;
    TbitFieldFixedN fVisited;  // faces crossed
};

// A ring walk that only steps to edges of allowedEdges (the caller keeps the bits alive and sized
// to the edge count). In a four-corner face it takes the opposite edge when that one is allowed;
// otherwise, and in other faces, the first allowed edge after the current one in the face's
// description order. It walks one direction per reset: reset(edge, true) keeps the faces crossed
// by the previous walk closed, so that it goes the other way from the same start edge.
class BRINDLE_API TedgePathIterator : public TedgeRingIterator {
public:
    TedgePathIterator(TpolyGeom* geom, uint32_t edge, const TbitFieldFixedN& allowedEdges)
        : TedgeRingIterator(geom, &allowedEdges) {
        start(edge, true);
    }
    uint32_t reset(uint32_t edge, bool otherWay = false) { return start(edge, !otherWay); }
};
