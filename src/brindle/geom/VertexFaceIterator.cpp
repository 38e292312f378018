#include "brindle/geom/VertexFaceIterator.h"

#include "brindle/geom/PolyGeom.h"

uint32_t TvertexFaceIterator::reset(uint32_t vertex) {
    if (fGeom) fGeom->update(dirtyFaceOffsets | dirtyEdgeToFace | dirtyVertexToEdge);
    return resetUpdated(vertex);
}

uint32_t TvertexFaceIterator::resetUpdated(uint32_t vertex) {
    if (fRing.resetUpdated(vertex) == TpolyBits::kNoFace) return fFace = TpolyBits::kNoFace;
    fFaces.resetUpdated(fRing.edge(), Tside(fRing.direction()));
    return settle();
}

uint32_t TvertexFaceIterator::next() {
    if (isDone()) return fFace;
    fFaces.next();
    return settle();
}

uint32_t TvertexFaceIterator::settle() {
    while (fFaces.isDone()) {
        if (fRing.next() == TpolyBits::kNoFace) return fFace = TpolyBits::kNoFace;
        fFaces.resetUpdated(fRing.edge(), Tside(fRing.direction()));
    }
    return fFace = fFaces.face();
}
