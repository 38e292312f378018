#include "brindle/geom/TopoIterators.h"

void TedgeFaceIterator::update() {
    if (fGeom) fGeom->update(dirtyFaceOffsets | dirtyEdgeToFace);
}
uint32_t TedgeFaceIterator::reset(uint32_t edge) {
    update();
    return start(edge, 3);
}
uint32_t TedgeFaceIterator::reset(uint32_t edge, Tside side) {
    update();
    return start(edge, 1u << side);
}

bool TedgeFaceIterator::enterRun(uint32_t s) {
    const TuInt32Array& runs = fGeom->topo()->fN2MFaces;
    const uint32_t run = fWord[s] & TpolyTopo::kRunIndexMask;
    if (run >= runs.size()) return false;
    fRun = run;
    fFace = runs[run] & TpolyTopo::kRunIndexMask;
    return true;
}

uint32_t TedgeFaceIterator::nextInRun() {
    const TuInt32Array& runs = fGeom->topo()->fN2MFaces;
    if (!(runs[fRun] & TpolyTopo::kRunEnd) && fRun + 1 < runs.size())
        return fFace = runs[++fRun] & TpolyTopo::kRunIndexMask;
    if (fSide == 0 && enterSide(1)) return fFace;
    fRun = TpolyBits::kNoId;
    return fFace = TpolyBits::kNoFace;
}

// A manifold walk also crosses faces, so it needs the face offsets and edge-to-face table; a
// non-manifold vertex only reads its run.
void TvertexEdgeIterator::updateFor(uint32_t vertex) {
    fGeom->update(dirtyVertexToEdge);
    const TpolyTopo& t = *fGeom->topo();
    if (vertex < t.fVertexToEdge.size() && !(t.fVertexToEdge[vertex].edge & TpolyTopo::kNonManifold))
        fGeom->update(dirtyFaceOffsets | dirtyEdgeToFace);
}

uint32_t TvertexEdgeIterator::enterRun(uint32_t run) {
    const TpolyTopo& t = *fGeom->topo();
    if (run >= t.fN2MEdges.size()) return finish();
    fRun = run;
    fEdge = t.getN2MEdge(run);
    fDir = t.getN2MEdgeDirection(run);
    return fEdge < t.fEdges.size() ? fEdge : finish();
}

uint32_t TvertexEdgeIterator::nextInRun() {
    const TpolyTopo& t = *fGeom->topo();
    if ((t.fN2MEdges[fRun] & TpolyTopo::kRunEnd) || fRun + 1 >= t.fN2MEdges.size()) return finish();
    return enterRun(fRun + 1);
}
