#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/geom/PolyTypes.h"
#include "brindle/geom/TopoIterators.h"
#include "brindle/geom/VertexFaceIterator.h"

class TpolyGeom;

// Breadth-first flood fill state shared by the traversals: the visited elements, the queue of
// reached ones with the position of the one being scanned, and the link (face entry or edge end)
// of that element whose neighbours are being read. Every element is answered at most once per
// visited set; the queue only grows within one traversal, so the walk is linear in the links.
class BRINDLE_API TtraversalQueue {
public:
    bool isVisited(uint32_t id) const { return id < fVisited.size() && fVisited.testBit(id); }
    // The visited set (excluded elements included).
    const TbitFieldFixedN& visited() const { return fVisited; }
    // The element last answered (the start after reset), -1 once the traversal is exhausted.
    uint32_t current() const { return fCurrent; }

protected:
    void begin(uint32_t start, uint32_t count, bool clearVisited);
    void exclude(const TbitFieldFixedN& bits, uint32_t count);
    // Marks and queues an element in range that was not visited yet.
    bool reach(uint32_t id) {
        if (id >= fVisited.size() || fVisited.testBit(id)) return false;
        fVisited.setBit(id);
        fQueue.push_back(id);
        return true;
    }
    // Drops the last answered element from the queue; with forget it may be reached again.
    // Answers whether it was the element being scanned (the start, right after reset).
    bool dropCurrent(bool forget);

    TbitFieldFixedN fVisited;
    std::vector<uint32_t> fQueue;
    uint32_t fRead = 0;
    uint32_t fLink = 0;
    uint32_t fCurrent = TpolyBits::kNoId;
    uint32_t fFrom = TpolyBits::kNoId;      // element the current one was reached from
    uint32_t fFromLink = TpolyBits::kNoId;  // the link of fFrom it was reached through
};

// The scan loop of a traversal D, which opens link k of an element on its neighbour walker
// (openLink answers false, leaving the walker done, past the last link or for element -1) and
// reads that walker through linkDone, linkItem and linkStep.
template <typename D>
class TtraversalWalk : public TtraversalQueue {
public:
    // -1 when every queued element has been scanned.
    uint32_t next() {
        D& d = static_cast<D&>(*this);
        if (fCurrent == TpolyBits::kNoId) return fCurrent;
        for (;;) {
            while (!d.linkDone()) {
                const uint32_t n = d.linkItem();
                d.linkStep();
                if (!reach(n)) continue;
                fFrom = fQueue[fRead];
                fFromLink = fLink;
                return fCurrent = n;
            }
            ++fLink;
            for (;;) {
                if (fRead >= fQueue.size()) return fCurrent = TpolyBits::kNoId;
                if (d.openLink(fQueue[fRead], fLink)) break;
                ++fRead;
                fLink = 0;
            }
        }
    }

protected:
    uint32_t restart(uint32_t start, uint32_t count, bool clearVisited) {
        begin(start, count, clearVisited);
        static_cast<D&>(*this).openLink(fCurrent, 0);
        return fCurrent;
    }
    void reject(bool forget) {
        if (dropCurrent(forget)) static_cast<D&>(*this).openLink(TpolyBits::kNoId, 0);
    }
};

// What both face flood fills share; It walks the faces of one link of a reached face.
template <typename D, typename It>
class TfaceFlood : public TtraversalWalk<D> {
public:
    void setPoly(TpolyGeom* geom) {
        fGeom = geom;
        fFaces.setPoly(geom);
    }
    uint32_t face() const { return this->fCurrent; }
    // The face the current face was reached from; -1 for the start.
    uint32_t fromFace() const { return this->fFrom; }
    bool isFaceVisited(uint32_t f) const { return this->isVisited(f); }
    const TbitFieldFixedN& facesVisited() const { return this->visited(); }
    // The current face is not scanned for further faces.
    void rejectCurrentFace() { this->reject(false); }

protected:
    friend class TtraversalWalk<D>;
    bool linkDone() const { return fFaces.isDone(); }
    uint32_t linkItem() const { return fFaces.face(); }
    void linkStep() { fFaces.next(); }

    TpolyGeom* fGeom = nullptr;
    It fFaces;
};

// Faces reached through the edges of each reached face (all faces on each of its edges).
class BRINDLE_API TfaceTraversal : public TfaceFlood<TfaceTraversal, TedgeFaceIterator> {
public:
    TfaceTraversal() = default;
    explicit TfaceTraversal(TpolyGeom* geom) { setPoly(geom); }
    TfaceTraversal(TpolyGeom* geom, uint32_t face) {
        setPoly(geom);
        reset(face, true);
    }
    // Starts on face (answered, and marked visited, whether visited before or not); -1 for a face
    // out of range.
    uint32_t reset(uint32_t face, bool clearVisited);
    // Description offset in fromFace() and edge the current face was reached through; -1 for the
    // start.
    uint32_t fromOffset() const;
    uint32_t traversedEdge() const;
    // Marks the faces of bits visited, so that the traversal never enters them.
    void excludeFaces(const TbitFieldFixedN& bits);
    // The current face is not reached through this edge, and may still be through another one.
    void rejectCurrentFaceFromThisEdge() { reject(true); }

private:
    friend class TtraversalWalk<TfaceTraversal>;
    // An edge whose sides each hold at most one face is read straight from its edge-to-face
    // words (an empty side's word is out of range, so reach skips it); only an edge with a
    // non-manifold side is walked with the edge face walker.
    bool openLink(uint32_t face, uint32_t k);
    bool linkDone() const { return fRunWalk ? fFaces.isDone() : fSideAt >= 2; }
    uint32_t linkItem() const { return fRunWalk ? fFaces.face() : fSides[fSideAt]; }
    void linkStep() { fRunWalk ? void(fFaces.next()) : void(++fSideAt); }

    uint32_t fSides[2] = {TpolyBits::kNoFace, TpolyBits::kNoFace};
    uint32_t fSideAt = 2;
    bool fRunWalk = false;
};

// Faces reached through the vertices of each reached face (all faces round each of its corners).
class BRINDLE_API TfaceTraversalThroughVert : public TfaceFlood<TfaceTraversalThroughVert, TvertexFaceIterator> {
public:
    TfaceTraversalThroughVert() = default;
    explicit TfaceTraversalThroughVert(TpolyGeom* geom) { setPoly(geom); }
    TfaceTraversalThroughVert(TpolyGeom* geom, uint32_t face) {
        setPoly(geom);
        reset(face, true);
    }
    uint32_t reset(uint32_t face, bool clearVisited);
    // The corner offset in fromFace() and its vertex the current face was reached through.
    uint32_t fromOffset() const;
    uint32_t traversedVertex() const;
    void excludeFaces(const TbitFieldFixedN& bits);
    void rejectCurrentFaceFromThisVertex() { reject(true); }

private:
    friend class TtraversalWalk<TfaceTraversalThroughVert>;
    bool openLink(uint32_t face, uint32_t k);
};

// Edges reached through the two ends of each reached edge (all edges round each end vertex).
class BRINDLE_API TedgeTraversal : public TtraversalWalk<TedgeTraversal> {
public:
    TedgeTraversal() = default;
    explicit TedgeTraversal(TpolyGeom* geom) { setPoly(geom); }
    TedgeTraversal(TpolyGeom* geom, uint32_t edge) {
        setPoly(geom);
        reset(edge, true);
    }
    void setPoly(TpolyGeom* geom) {
        fGeom = geom;
        fRing.setPoly(geom);
    }
    uint32_t reset(uint32_t edge, bool clearVisited);
    uint32_t edge() const { return fCurrent; }
    uint32_t fromEdge() const { return fFrom; }
    // The vertex shared with fromEdge(); -1 for the start.
    uint32_t traversedVertex() const;
    bool isEdgeVisited(uint32_t e) const { return isVisited(e); }
    void excludeEdges(const TbitFieldFixedN& bits);
    void rejectCurrentEdge() { reject(false); }
    void rejectCurrentVertex() { reject(true); }

private:
    friend class TtraversalWalk<TedgeTraversal>;
    bool openLink(uint32_t edge, uint32_t k);
    bool linkDone() const { return fRing.isDone(); }
    uint32_t linkItem() const { return fRing.edge(); }
    void linkStep() { fRing.next(); }

    TpolyGeom* fGeom = nullptr;
    TvertexEdgeIterator fRing;
};
