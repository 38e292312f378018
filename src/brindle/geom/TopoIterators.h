#pragma once

#include <cstdint>

#include "brindle/base/Export.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/geom/PolyTopo.h"
#include "brindle/geom/PolyTypes.h"

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
    uint32_t next() {
        if (isDone()) return fFace;
        if (fRun != TpolyBits::kNoId) return nextInRun();
        if (fSide == 0 && enterSide(1)) return fFace;
        return fFace = TpolyBits::kNoFace;
    }

    uint32_t face() const { return fFace; }
    Tside getSide() const { return Tside(fSide); }
    // The current side carries this one face only.
    bool isTwoManifold() const { return fRun == TpolyBits::kNoId; }
    bool isDone() const { return fFace == TpolyBits::kNoFace; }

private:
    // Inline, with the one-face side taken without a call: the walks round a vertex start one of
    // these per ring edge.
    uint32_t start(uint32_t edge, uint32_t sideMask) {
        fWord[0] = fWord[1] = TpolyBits::kNoFace;
        fSide = 0;
        fRun = TpolyBits::kNoId;
        fFace = TpolyBits::kNoFace;
        if (!fGeom) return fFace;
        const TpolyTopo& t = *fGeom->topo();
        if (edge >= t.fEdgeToFace.size() || edge >= t.fEdges.size()) return fFace;
        const TpolyWingEdge& w = t.fEdgeToFace[edge];
        if (sideMask & 1) fWord[0] = w.side[0];
        if (sideMask & 2) fWord[1] = w.side[1];
        if (!enterSide(0)) enterSide(1);
        return fFace;
    }
    void update();
    // Makes the first face of side s current; false when the side is empty.
    bool enterSide(uint32_t s) {
        const uint32_t w = fWord[s];
        if (w == TpolyBits::kNoFace) return false;
        fSide = s;
        if (w & TpolyTopo::kNonManifold) return enterRun(s);
        fRun = TpolyBits::kNoId;
        fFace = w;
        return true;
    }
    // The same for a side that holds a run of the non-manifold face list.
    bool enterRun(uint32_t s);
    // The next face of the current run, else of the other side, else done.
    uint32_t nextInRun();

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
    uint32_t reset(uint32_t vertex) {
        if (fGeom && fGeom->isDirty(dirtyVertexToEdge | dirtyFaceOffsets | dirtyEdgeToFace)) updateFor(vertex);
        return resetUpdated(vertex);
    }
    // reset for a caller that has brought the face offsets and both adjacency tables up to date.
    uint32_t resetUpdated(uint32_t vertex) {
        fVertex = vertex;
        fRun = TpolyBits::kNoId;
        if (!fGeom) return finish();
        const TpolyTopo& t = *fGeom->topo();
        fWings = t.fEdgeToFace.data();
        fOffsets = t.fFaceOffsets.data();
        fDesc = t.fFaceDesc.data();
        fEdgeEnds = t.fEdges.data();
        fNbWing = t.fEdgeToFace.size();
        fNbOffset = t.fFaceOffsets.size();
        fNbEdge = t.fEdges.size();
        if (vertex >= t.fVertexToEdge.size()) return finish();
        const TpolyVertexInfo& info = t.fVertexToEdge[vertex];
        fRemaining = info.order;
        if (fRemaining == 0) return finish();
        if (info.edge & TpolyTopo::kNonManifold) return enterRun(info.edge & TpolyTopo::kRunIndexMask);
        fEdge = info.edge & TpolyTopo::kRunIndexMask;
        fDir = info.edge >> 31;
        return fEdge < fNbEdge ? fEdge : finish();
    }
    uint32_t next() {
        if (isDone()) return fEdge;
        if (fRemaining <= 1) return finish();
        --fRemaining;
        if (fRun != TpolyBits::kNoId) return nextInRun();
        return stepManifold() ? fEdge : finish();
    }

    uint32_t edge() const { return fEdge; }
    // kForward when the vertex is the current edge's start.
    TedgeDirection direction() const { return TedgeDirection(fDir); }
    // The far end of the current edge.
    uint32_t edgeVertex() const {
        return isDone() ? TpolyBits::kNoId : fEdgeEnds[fEdge].v[1 - fDir] & TpolyBits::kVertexMask;
    }
    // The side word (a face, a run of the non-manifold face list, or kNoFace) of the side through
    // which the current edge leaves the vertex.
    uint32_t leavingSide() const {
        return !isDone() && fEdge < fNbWing ? fWings[fEdge].side[fDir] : TpolyBits::kNoFace;
    }
    bool isTwoManifold() const { return fRun == TpolyBits::kNoId; }
    bool isDone() const { return fEdge == TpolyBits::kNoFace; }
    uint32_t vertex() const { return fVertex; }

private:
    uint32_t finish() {
        fRemaining = 0;
        return fEdge = TpolyBits::kNoFace;
    }
    // Brings the tables the walk of vertex reads up to date.
    void updateFor(uint32_t vertex);
    // Makes entry run of the non-manifold edge list current.
    uint32_t enterRun(uint32_t run);
    uint32_t nextInRun();
    // Moves to the edge that leaves the vertex after crossing the face on the current side: that
    // face uses the current edge leaving the vertex, so the entry before it in the same loop
    // arrives at the vertex, and that entry's edge, taken the other way, is the next one leaving
    // it. The entry is matched by edge and direction, so a face that uses an edge both ways still
    // turns round the right vertex. Inline and on the tables' addresses taken at reset, as the
    // whole walk is a handful of these.
    bool stepManifold() {
        const uint32_t e = fEdge, d = fDir;
        if (e >= fNbWing) return false;
        const uint32_t f = fWings[e].side[d];
        if (!TpolyTopo::isSingleFace(f) || f + 1 >= fNbOffset) return false;
        const uint32_t* desc = fDesc;
        const uint32_t begin = fOffsets[f], end = fOffsets[f + 1];
        const uint32_t want = e | (d << 31);
        for (uint32_t o = begin, loop = begin; o < end; ++o) {
            const uint32_t entry = desc[o];
            if ((entry & (TpolyBits::kEdgeMask | TpolyBits::kReversedUse)) == want) {
                uint32_t prev = o - 1;
                if (o == loop)
                    for (prev = o; prev + 1 < end && !(desc[prev] & TpolyBits::kEndOfLoop);) ++prev;
                const uint32_t before = desc[prev];
                if ((before & TpolyBits::kEdgeMask) >= fNbEdge) return false;
                fEdge = before & TpolyBits::kEdgeMask;
                fDir = (before >> 31) ^ 1u;
                return true;
            }
            if (entry & TpolyBits::kEndOfLoop) loop = o + 1;
        }
        return false;
    }

    TpolyGeom* fGeom = nullptr;
    // The record's tables as of the last reset: a walk reads nothing else.
    const TpolyWingEdge* fWings = nullptr;
    const uint32_t* fOffsets = nullptr;
    const uint32_t* fDesc = nullptr;
    const TpolyEdge* fEdgeEnds = nullptr;
    uint32_t fNbWing = 0, fNbOffset = 0, fNbEdge = 0;
    uint32_t fVertex = TpolyBits::kNoId;
    uint32_t fEdge = TpolyBits::kNoFace;
    uint32_t fDir = 0;
    uint32_t fRemaining = 0;
    uint32_t fRun = TpolyBits::kNoId;  // position in the non-manifold edge list, or none
};
