#pragma once

#include <cstdint>

#include "brindle/base/Export.h"
#include "brindle/geom/TopoIterators.h"

// Walks the faces round one vertex: for each edge of the vertex ring, the faces on the side
// through which that edge leaves the vertex. Every face corner at the vertex lies on exactly one
// such side, so a face is given once per corner it has there, non-manifold vertices included.
// After reset the first face is current; next() moves on and answers kNoFace once the ring is done.
class BRINDLE_API TvertexFaceIterator {
public:
    TvertexFaceIterator() = default;
    explicit TvertexFaceIterator(TpolyGeom* geom) { setPoly(geom); }
    TvertexFaceIterator(TpolyGeom* geom, uint32_t vertex) {
        setPoly(geom);
        reset(vertex);
    }

    void setPoly(TpolyGeom* geom) {
        fGeom = geom;
        fRing.setPoly(geom);
        fFaces.setPoly(geom);
    }
    // Answers the first face, or kNoFace for a vertex without faces or out of range.
    uint32_t reset(uint32_t vertex) {
        if (fGeom) fGeom->update(dirtyFaceOffsets | dirtyEdgeToFace | dirtyVertexToEdge);
        return resetUpdated(vertex);
    }
    // reset for a caller that has brought the face offsets and both adjacency tables up to date.
    uint32_t resetUpdated(uint32_t vertex) {
        fInRun = false;
        if (fRing.resetUpdated(vertex) == TpolyBits::kNoFace) return fFace = TpolyBits::kNoFace;
        return settle();
    }
    uint32_t next() {
        if (isDone()) return fFace;
        if (fInRun && fFaces.next() != TpolyBits::kNoFace) return fFace = fFaces.face();
        fInRun = false;
        if (fRing.next() == TpolyBits::kNoFace) return fFace = TpolyBits::kNoFace;
        return settle();
    }

    uint32_t face() const { return fFace; }
    // The ring edge the current face was found on.
    uint32_t edge() const { return fRing.edge(); }
    bool isDone() const { return fFace == TpolyBits::kNoFace; }

private:
    // From the current ring edge on, the first ring edge with a face on its leaving side. A side
    // of one face is read from the ring's own tables; only a run of the non-manifold face list
    // takes the edge-face walk.
    uint32_t settle() {
        for (;;) {
            const uint32_t w = fRing.leavingSide();
            if (w != TpolyBits::kNoFace) {
                if (!(w & TpolyTopo::kNonManifold)) return fFace = w;
                if (fFaces.resetUpdated(fRing.edge(), Tside(fRing.direction())) != TpolyBits::kNoFace) {
                    fInRun = true;
                    return fFace = fFaces.face();
                }
            }
            if (fRing.next() == TpolyBits::kNoFace) return fFace = TpolyBits::kNoFace;
        }
    }

    TpolyGeom* fGeom = nullptr;
    TvertexEdgeIterator fRing;
    TedgeFaceIterator fFaces;
    uint32_t fFace = TpolyBits::kNoFace;
    bool fInRun = false;  // the current face comes from fFaces
};
