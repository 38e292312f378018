#pragma once

#include <cstdint>

#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/geom/PolyTypes.h"

class TpolyGeom;

// Walks an edge loop: from one edge on through every vertex with exactly four edges, each of them
// with one face on either side, to the edge straight across (two steps round the vertex ring).
// Any other vertex (a pole, a border or non-manifold vertex) ends the loop there. The walk goes in
// one direction only; it ends after the edge that leads back to the start edge (a closed loop), or
// after the first edge that reaches a vertex it already passed (a loop that crosses itself).
// After reset the start edge is current; next() answers the next edge, or -1 when the loop ends.
class BRINDLE_API TedgeLoopIterator {
public:
    TedgeLoopIterator() = default;
    explicit TedgeLoopIterator(TpolyGeom* geom) : fGeom(geom) {}
    TedgeLoopIterator(TpolyGeom* geom, uint32_t edge) : fGeom(geom) { reset(edge, false); }

    void setPoly(TpolyGeom* geom) { fGeom = geom; }
    // Starts on edge, walking out through its start vertex, or its end vertex with reverse; when
    // the loop cannot go on at that end it walks out through the other one. Answers the edge, or
    // -1 for an edge out of range.
    uint32_t reset(uint32_t edge, bool reverse = false);
    uint32_t next();

    uint32_t edge() const { return fEdge; }
    // The end of the current edge that the walk goes on through.
    uint32_t vertex() const { return fVertex; }
    // The two other edges at vertex(), to the left and to the right of the walk (seen along the
    // faces' normal); -1 when the loop cannot go on through vertex().
    uint32_t leftEdge() const { return fLeft; }
    uint32_t rightEdge() const { return fRight; }
    bool isDone() const { return fEdge == TpolyBits::kNoId; }
    // The walk ended by coming back to its start edge.
    bool isClosed() const { return fClosed; }

    // Sets in bits (resized to the edge count when it differs) every edge of the loop through
    // edge, both directions; answers how many of them were not set before.
    static uint32_t getEdgesOnThisLoop(TpolyGeom* geom, uint32_t edge, TbitFieldFixedN& bits);

private:
    // The edge straight across from e at v, setting fLeft and fRight; -1 when there is none.
    uint32_t across(uint32_t v, uint32_t e);
    uint32_t finish();

    TpolyGeom* fGeom = nullptr;
    uint32_t fStart = TpolyBits::kNoId;
    uint32_t fEdge = TpolyBits::kNoId;
    uint32_t fVertex = TpolyBits::kNoId;
    uint32_t fNext = TpolyBits::kNoId;  // the edge across fVertex, or -1
    uint32_t fLeft = TpolyBits::kNoId;
    uint32_t fRight = TpolyBits::kNoId;
    bool fClosed = false;
    TbitFieldFixedN fVisited;  // vertices passed through
};
