#pragma once

#include <cstdint>

#include "brindle/base/Export.h"
#include "brindle/geom/PolyTypes.h"

class TpolyGeom;

// Walks the faces on one edge: the left face(s) (forward uses), then the right face(s) (reversed
// uses), runs of the non-manifold face list included, empty sides skipped. After reset the first
// face is current; next() moves on and answers the new face, or kNoFace once every face was given.
// An edge out of range gives a walk that is done at once.
class BRINDLE_API TedgeFaceIterator {
public:
    TedgeFaceIterator() = default;
    explicit TedgeFaceIterator(TpolyGeom* geom) : fGeom(geom) {}
    TedgeFaceIterator(TpolyGeom* geom, uint32_t edge) : fGeom(geom) { reset(edge); }
    TedgeFaceIterator(TpolyGeom* geom, uint32_t edge, Tside side) : fGeom(geom) { reset(edge, side); }

    void setPoly(TpolyGeom* geom) { fGeom = geom; }
    // Both sides / one side of the edge; answers the first face or kNoFace.
    uint32_t reset(uint32_t edge);
    uint32_t reset(uint32_t edge, Tside side);
    // reset for a caller that has brought the face offsets and edge-to-face table up to date and
    // restarts the walk many times, so that no restart pays for the record's dirty check.
    uint32_t resetUpdated(uint32_t edge) { return start(edge, 3); }
    uint32_t resetUpdated(uint32_t edge, Tside side) { return start(edge, 1u << side); }
    uint32_t next();

    uint32_t face() const { return fFace; }
    Tside getSide() const { return Tside(fSide); }
    // The current side carries this one face only.
    bool isTwoManifold() const { return fRun == TpolyBits::kNoId; }
    bool isDone() const { return fFace == TpolyBits::kNoFace; }

private:
    uint32_t start(uint32_t edge, uint32_t sideMask);
    void update();
    // Makes the first face of side s current; false when the side is empty.
    bool enterSide(uint32_t s);

    TpolyGeom* fGeom = nullptr;
    uint32_t fWord[2] = {TpolyBits::kNoFace, TpolyBits::kNoFace};
    uint32_t fSide = 0;
    uint32_t fRun = TpolyBits::kNoId;  // position in the non-manifold face list, or none
    uint32_t fFace = TpolyBits::kNoFace;
};

// Walks the edges at one vertex. A 2-manifold vertex is walked face by face from its leaving edge,
// always in the same sense (each step crosses the face on the side the current edge leaves the
// vertex through); a vertex that is not 2-manifold gives the edges of its run in the non-manifold
// edge list, in list order. After reset the first edge is current and the walk
// gives as many edges as the vertex order in all; next() answers kNoFace after that, or earlier
// when a step finds no face to cross (only possible at a border, or in a record whose tables are
// inconsistent).
class BRINDLE_API TvertexEdgeIterator {
public:
    TvertexEdgeIterator() = default;
    explicit TvertexEdgeIterator(TpolyGeom* geom) : fGeom(geom) {}
    TvertexEdgeIterator(TpolyGeom* geom, uint32_t vertex) : fGeom(geom) { reset(vertex); }

    void setPoly(TpolyGeom* geom) { fGeom = geom; }
    // Answers the first edge, or kNoFace for a vertex without edges or out of range.
    uint32_t reset(uint32_t vertex);
    // reset for a caller that has brought the face offsets and both adjacency tables up to date.
    uint32_t resetUpdated(uint32_t vertex);
    uint32_t next();

    uint32_t edge() const { return fEdge; }
    // kForward when the vertex is the current edge's start.
    TedgeDirection direction() const { return TedgeDirection(fDir); }
    // The far end of the current edge.
    uint32_t edgeVertex() const;
    bool isTwoManifold() const { return fRun == TpolyBits::kNoId; }
    bool isDone() const { return fEdge == TpolyBits::kNoFace; }
    uint32_t vertex() const { return fVertex; }

private:
    uint32_t finish();
    // Moves to the edge that leaves the vertex after crossing the face on the current side.
    bool stepManifold();

    TpolyGeom* fGeom = nullptr;
    uint32_t fVertex = TpolyBits::kNoId;
    uint32_t fEdge = TpolyBits::kNoFace;
    uint32_t fDir = 0;
    uint32_t fRemaining = 0;
    uint32_t fRun = TpolyBits::kNoId;  // position in the non-manifold edge list, or none
};
