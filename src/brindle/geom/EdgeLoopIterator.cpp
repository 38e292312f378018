#include "brindle/geom/EdgeLoopIterator.h"

#include "brindle/geom/PolyGeom.h"
#include "brindle/geom/TopoIterators.h"

using TpolyBits::kNoId;

uint32_t TedgeLoopIterator::finish() {
    fEdge = fNext = fLeft = fRight = kNoId;
    return fEdge;
}

uint32_t TedgeLoopIterator::across(uint32_t v, uint32_t e) {
    fLeft = fRight = kNoId;
    if (v >= fGeom->nbVertex() || fGeom->vertexOrder(v) != 4 || !fGeom->isVertexTwoManifold(v)) return kNoId;
    // The ring walk turns counter-clockwise round v (seen along the normal), so the edge one step
    // after the one the walk arrives by lies to the right of the walk.
    uint32_t ring[4], at = 4, n = 0;
    for (TvertexEdgeIterator it(fGeom, v); !it.isDone() && n < 4; it.next(), ++n) {
        const TpolyWingEdge& w = fGeom->getEdgeFace(it.edge());
        if (!TpolyTopo::isSingleFace(w.side[kLeft]) || !TpolyTopo::isSingleFace(w.side[kRight])) return kNoId;
        ring[n] = it.edge();
        if (ring[n] == e) at = n;
    }
    if (n != 4 || at == 4) return kNoId;
    fRight = ring[(at + 1) % 4];
    fLeft = ring[(at + 3) % 4];
    return ring[(at + 2) % 4];
}

uint32_t TedgeLoopIterator::reset(uint32_t edge, bool reverse) {
    fStart = fEdge = edge;
    fClosed = false;
    if (!fGeom || edge >= fGeom->nbEdge()) return finish();
    fGeom->update(dirtyFaceOffsets | dirtyEdgeToFace | dirtyVertexToEdge);
    fVisited.resizeArray(fGeom->nbVertex());
    fVertex = fGeom->startVertex(edge, reverse ? kReversed : kForward);
    fNext = across(fVertex, edge);
    if (fNext == kNoId) {
        fVertex = fGeom->endVertex(edge, reverse ? kReversed : kForward);
        fNext = across(fVertex, edge);
    }
    if (fVertex < fVisited.size()) fVisited.setBit(fVertex);
    return fEdge;
}

uint32_t TedgeLoopIterator::next() {
    if (isDone() || fNext == kNoId) return finish();
    if (fNext == fStart) {
        fClosed = true;
        return finish();
    }
    const uint32_t from = fVertex;
    fEdge = fNext;
    fVertex = fGeom->startVertex(fEdge) == from ? fGeom->endVertex(fEdge) : fGeom->startVertex(fEdge);
    if (fVertex >= fVisited.size() || fVisited.testBit(fVertex)) {
        fNext = fLeft = fRight = kNoId;
        return fEdge;
    }
    fVisited.setBit(fVertex);
    fNext = across(fVertex, fEdge);
    return fEdge;
}

uint32_t TedgeLoopIterator::getEdgesOnThisLoop(TpolyGeom* geom, uint32_t edge, TbitFieldFixedN& bits) {
    if (!geom || edge >= geom->nbEdge()) return 0;
    if (bits.size() != geom->nbEdge()) bits.resizeArrayWithCopy(geom->nbEdge());
    uint32_t count = 0;
    TedgeLoopIterator it(geom);
    for (bool reverse : {false, true}) {
        for (uint32_t e = it.reset(edge, reverse); e != kNoId; e = it.next()) {
            count += !bits.testBit(e);
            bits.setBit(e);
        }
        if (it.isClosed()) break;
    }
    return count;
}
