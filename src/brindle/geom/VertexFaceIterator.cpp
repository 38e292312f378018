#include "brindle/geom/VertexFaceIterator.h"

uint32_t TvertexFaceIterator::reset(uint32_t vertex) {
    if (fRing.reset(vertex) == TpolyBits::kNoFace) return fFace = TpolyBits::kNoFace;
    fFaces.reset(fRing.edge(), Tside(fRing.direction()));
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
        fFaces.reset(fRing.edge(), Tside(fRing.direction()));
    }
    return fFace = fFaces.face();
}
