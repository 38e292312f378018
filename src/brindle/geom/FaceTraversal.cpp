#include "brindle/geom/FaceTraversal.h"

#include "brindle/geom/PolyGeom.h"

using TpolyBits::kNoId;

void TtraversalQueue::begin(uint32_t start, uint32_t count, bool clearVisited) {
    if (clearVisited || fVisited.size() != count) fVisited.resizeArray(count);
    fQueue.clear();
    fRead = fLink = 0;
    fFrom = fFromLink = kNoId;
    fCurrent = kNoId;
    if (start >= count) return;
    fVisited.setBit(start);
    fQueue.push_back(start);
    fCurrent = start;
}

void TtraversalQueue::exclude(const TbitFieldFixedN& bits, uint32_t count) {
    if (fVisited.size() != count) fVisited.resizeArrayWithCopy(count);
    fVisited.OR(bits);
}

bool TtraversalQueue::dropCurrent(bool forget) {
    if (fCurrent == kNoId || fQueue.empty() || fQueue.back() != fCurrent || fQueue.size() <= fRead) return false;
    if (forget) fVisited.resetBit(fCurrent);
    fQueue.pop_back();
    return fQueue.size() == fRead;
}

// --- Faces through edges -------------------------------------------------------------------------

uint32_t TfaceTraversal::reset(uint32_t face, bool clearVisited) {
    if (fGeom) fGeom->update(dirtyFaceOffsets | dirtyEdgeToFace);
    return restart(face, fGeom ? fGeom->nbFace() : 0, clearVisited);
}

bool TfaceTraversal::openLink(uint32_t face, uint32_t k) {
    const bool open = fGeom && face < fGeom->nbFace() && fGeom->faceOffset(face) + k < fGeom->faceOffset(face + 1);
    fSides[0] = fSides[1] = TpolyBits::kNoFace;
    fSideAt = 0;
    fRunWalk = false;
    if (!open) return false;
    const uint32_t e = fGeom->getEdge(fGeom->faceOffset(face) + k);
    const TpolyWingEdgeArray& wings = fGeom->topo()->fEdgeToFace;
    if (e >= wings.size()) return true;
    const TpolyWingEdge& w = wings[e];
    auto single = [](uint32_t word) { return TpolyTopo::isSingleFace(word) || word == TpolyBits::kNoFace; };
    if (single(w.side[0]) && single(w.side[1])) {
        fSides[0] = w.side[0];
        fSides[1] = w.side[1];
    } else {
        fRunWalk = true;
        fFaces.resetUpdated(e);
    }
    return true;
}

uint32_t TfaceTraversal::fromOffset() const { return fFrom == kNoId ? kNoId : fGeom->faceOffset(fFrom) + fFromLink; }
uint32_t TfaceTraversal::traversedEdge() const { return fFrom == kNoId ? kNoId : fGeom->getEdge(fromOffset()); }
void TfaceTraversal::excludeFaces(const TbitFieldFixedN& bits) {
    if (fGeom) exclude(bits, fGeom->nbFace());
}

// --- Faces through vertices ----------------------------------------------------------------------

uint32_t TfaceTraversalThroughVert::reset(uint32_t face, bool clearVisited) {
    if (fGeom) fGeom->update(dirtyFaceOffsets | dirtyEdgeToFace | dirtyVertexToEdge);
    return restart(face, fGeom ? fGeom->nbFace() : 0, clearVisited);
}

bool TfaceTraversalThroughVert::openLink(uint32_t face, uint32_t k) {
    const bool open = fGeom && face < fGeom->nbFace() && fGeom->faceOffset(face) + k < fGeom->faceOffset(face + 1);
    fFaces.resetUpdated(open ? fGeom->getStartVertex(fGeom->faceOffset(face) + k) : kNoId);
    return open;
}

uint32_t TfaceTraversalThroughVert::fromOffset() const {
    return fFrom == kNoId ? kNoId : fGeom->faceOffset(fFrom) + fFromLink;
}
uint32_t TfaceTraversalThroughVert::traversedVertex() const {
    return fFrom == kNoId ? kNoId : fGeom->getStartVertex(fromOffset());
}
void TfaceTraversalThroughVert::excludeFaces(const TbitFieldFixedN& bits) {
    if (fGeom) exclude(bits, fGeom->nbFace());
}

// --- Edges through vertices ----------------------------------------------------------------------

uint32_t TedgeTraversal::reset(uint32_t edge, bool clearVisited) {
    if (fGeom) fGeom->update(dirtyFaceOffsets | dirtyEdgeToFace | dirtyVertexToEdge);
    return restart(edge, fGeom ? fGeom->nbEdge() : 0, clearVisited);
}

bool TedgeTraversal::openLink(uint32_t edge, uint32_t k) {
    const bool open = fGeom && edge < fGeom->nbEdge() && k < 2;
    fRing.resetUpdated(open ? (k == 0 ? fGeom->startVertex(edge) : fGeom->endVertex(edge)) : kNoId);
    return open;
}

uint32_t TedgeTraversal::traversedVertex() const {
    if (fFrom == kNoId) return kNoId;
    return fFromLink == 0 ? fGeom->startVertex(fFrom) : fGeom->endVertex(fFrom);
}
void TedgeTraversal::excludeEdges(const TbitFieldFixedN& bits) {
    if (fGeom) exclude(bits, fGeom->nbEdge());
}
