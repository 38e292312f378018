#include "brindle/geom/EdgeRingIterator.h"

#include "brindle/geom/PolyGeom.h"

using TpolyBits::kNoId;

uint32_t TedgeRingIterator::finish() {
    fEdge = fFace = fEntry = kNoId;
    return fEdge;
}

uint32_t TedgeRingIterator::start(uint32_t edge, bool clearVisited) {
    fStart = fEdge = edge;
    fDir = 0;
    fTurned = fClosed = false;
    if (!fGeom || edge >= fGeom->nbEdge()) return finish();
    fGeom->update(dirtyFaceOffsets | dirtyEdgeToFace);
    if (clearVisited || fVisited.size() != fGeom->nbFace()) fVisited.resizeArray(fGeom->nbFace());
    enterFace();
    return fEdge;
}

bool TedgeRingIterator::enterFace() {
    for (uint32_t f = fFaces.reset(fEdge); !fFaces.isDone(); f = fFaces.next()) {
        if (f >= fVisited.size() || fVisited.testBit(f)) continue;
        // The entry on the side the face was found on: a face using the edge both ways is entered
        // through the use that holds it there.
        const uint32_t want = fEdge | (fFaces.getSide() == kRight ? TpolyBits::kReversedUse : 0);
        for (uint32_t o = fGeom->faceOffset(f), end = fGeom->faceOffset(f + 1); o < end; ++o) {
            if ((fGeom->getFaceEdge(o) & (TpolyBits::kEdgeMask | TpolyBits::kReversedUse)) != want) continue;
            fVisited.setBit(f);
            fFace = f;
            fEntry = o;
            return true;
        }
    }
    fFace = fEntry = kNoId;
    return false;
}

uint32_t TedgeRingIterator::exitEntry() const {
    if (fFace == kNoId) return kNoId;
    const uint32_t begin = fGeom->faceOffset(fFace), n = fGeom->faceVertexCount(fFace);
    auto at = [&](uint32_t k) { return begin + (fEntry - begin + k) % n; };
    // One loop of four corners: its only loop end is on the last entry.
    const bool quad =
        n == 4 && !fGeom->endOfLoop(begin) && !fGeom->endOfLoop(begin + 1) && !fGeom->endOfLoop(begin + 2);
    auto allowed = [&](uint32_t o) {
        const uint32_t e = fGeom->getEdge(o);
        return e != fEdge && e < fAllowed->size() && fAllowed->testBit(e);
    };
    if (!fAllowed) return quad ? at(2) : kNoId;
    if (quad && allowed(at(2))) return at(2);
    for (uint32_t k = 1; k < n; ++k)
        if (allowed(at(k))) return at(k);
    return kNoId;
}

uint32_t TedgeRingIterator::next() {
    while (!isDone()) {
        const uint32_t o = exitEntry();
        if (o != kNoId) {
            // Entries with the same reversed flag run opposite ways across the face.
            fDir ^= uint32_t(fGeom->getDirection(o) == fGeom->getDirection(fEntry));
            fEdge = fGeom->getEdge(o);
            if (fEdge == fStart) {
                fClosed = true;
                return finish();
            }
            enterFace();
            return fEdge;
        }
        if (fAllowed || fTurned) return finish();
        fTurned = true;
        fEdge = fStart;
        fDir = 0;
        if (!enterFace()) return finish();
    }
    return fEdge;
}
