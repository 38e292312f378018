#include "brindle/geom/TopoIterators.h"

#include "brindle/geom/PolyGeom.h"

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

uint32_t TedgeFaceIterator::start(uint32_t edge, uint32_t sideMask) {
    fWord[0] = fWord[1] = TpolyBits::kNoFace;
    fSide = 0;
    fRun = TpolyBits::kNoId;
    fFace = TpolyBits::kNoFace;
    if (!fGeom) return fFace;
    const TpolyTopo& t = *fGeom->topo();
    if (edge >= t.fEdgeToFace.size() || edge >= t.fEdges.size()) return fFace;
    for (uint32_t s = 0; s < 2; ++s)
        if (sideMask & (1u << s)) fWord[s] = t.fEdgeToFace[edge].side[s];
    if (!enterSide(0)) enterSide(1);
    return fFace;
}

bool TedgeFaceIterator::enterSide(uint32_t s) {
    const uint32_t w = fWord[s];
    if (w == TpolyBits::kNoFace) return false;
    fSide = s;
    if (!(w & TpolyTopo::kNonManifold)) {
        fRun = TpolyBits::kNoId;
        fFace = w;
        return true;
    }
    const TuInt32Array& runs = fGeom->topo()->fN2MFaces;
    const uint32_t run = w & TpolyTopo::kRunIndexMask;
    if (run >= runs.size()) return false;
    fRun = run;
    fFace = runs[run] & TpolyTopo::kRunIndexMask;
    return true;
}

uint32_t TedgeFaceIterator::next() {
    if (isDone()) return fFace;
    if (fRun != TpolyBits::kNoId) {
        const TuInt32Array& runs = fGeom->topo()->fN2MFaces;
        if (!(runs[fRun] & TpolyTopo::kRunEnd) && fRun + 1 < runs.size()) {
            fFace = runs[++fRun] & TpolyTopo::kRunIndexMask;
            return fFace;
        }
    }
    if (fSide == 0 && enterSide(1)) return fFace;
    fRun = TpolyBits::kNoId;
    fFace = TpolyBits::kNoFace;
    return fFace;
}

uint32_t TvertexEdgeIterator::finish() {
    fRemaining = 0;
    fEdge = TpolyBits::kNoFace;
    return fEdge;
}

// A manifold walk also crosses faces, so it needs the face offsets and edge-to-face table; a
// non-manifold vertex only reads its run.
uint32_t TvertexEdgeIterator::reset(uint32_t vertex) {
    if (!fGeom) return finish();
    fGeom->update(dirtyVertexToEdge);
    const TpolyTopo& t = *fGeom->topo();
    if (vertex < t.fVertexToEdge.size() && !(t.fVertexToEdge[vertex].edge & TpolyTopo::kNonManifold))
        fGeom->update(dirtyFaceOffsets | dirtyEdgeToFace);
    return resetUpdated(vertex);
}

uint32_t TvertexEdgeIterator::resetUpdated(uint32_t vertex) {
    fVertex = vertex;
    fRun = TpolyBits::kNoId;
    if (!fGeom) return finish();
    const TpolyTopo& t = *fGeom->topo();
    if (vertex >= t.fVertexToEdge.size()) return finish();
    const TpolyVertexInfo& info = t.fVertexToEdge[vertex];
    fRemaining = info.order;
    if (fRemaining == 0) return finish();
    if (info.edge & TpolyTopo::kNonManifold) {
        const uint32_t run = info.edge & TpolyTopo::kRunIndexMask;
        if (run >= t.fN2MEdges.size()) return finish();
        fRun = run;
        fEdge = t.getN2MEdge(run);
        fDir = t.getN2MEdgeDirection(run);
    } else {
        fEdge = info.edge & TpolyTopo::kRunIndexMask;
        fDir = info.edge >> 31;
    }
    if (fEdge >= t.fEdges.size()) return finish();
    return fEdge;
}

uint32_t TvertexEdgeIterator::next() {
    if (isDone()) return fEdge;
    if (fRemaining <= 1) return finish();
    --fRemaining;
    if (fRun == TpolyBits::kNoId) return stepManifold() ? fEdge : finish();
    const TpolyTopo& t = *fGeom->topo();
    if ((t.fN2MEdges[fRun] & TpolyTopo::kRunEnd) || fRun + 1 >= t.fN2MEdges.size()) return finish();
    ++fRun;
    fEdge = t.getN2MEdge(fRun);
    fDir = t.getN2MEdgeDirection(fRun);
    return fEdge < t.fEdges.size() ? fEdge : finish();
}

// The face on side d of the current edge uses it leaving the vertex; the entry before it in the
// same loop arrives at the vertex, so that entry's edge, taken the other way, is the next one
// leaving it. The entry is matched by edge and direction, so a face that uses an edge both ways
// still turns round the right vertex.
bool TvertexEdgeIterator::stepManifold() {
    const TpolyTopo& t = *fGeom->topo();
    if (fEdge >= t.fEdgeToFace.size()) return false;
    const uint32_t f = t.fEdgeToFace[fEdge].side[fDir];
    if (!TpolyTopo::isSingleFace(f) || f + 1 >= t.fFaceOffsets.size()) return false;
    const uint32_t* desc = t.fFaceDesc.data();
    const uint32_t begin = t.fFaceOffsets[f], end = t.fFaceOffsets[f + 1];
    const uint32_t want = fEdge | (fDir << 31);
    for (uint32_t o = begin, loop = begin; o < end; ++o) {
        if ((desc[o] & (TpolyBits::kEdgeMask | TpolyBits::kReversedUse)) == want) {
            uint32_t prev = o - 1;
            if (o == loop)
                for (prev = o; prev + 1 < end && !(desc[prev] & TpolyBits::kEndOfLoop);) ++prev;
            const uint32_t e = desc[prev] & TpolyBits::kEdgeMask;
            if (e >= t.fEdges.size()) return false;
            fEdge = e;
            fDir = (desc[prev] >> 31) ^ 1u;
            return true;
        }
        if (desc[o] & TpolyBits::kEndOfLoop) loop = o + 1;
    }
    return false;
}

uint32_t TvertexEdgeIterator::edgeVertex() const {
    if (isDone()) return TpolyBits::kNoId;
    return fGeom->endVertex(fEdge, TedgeDirection(fDir));
}
