#pragma once

#include <algorithm>
#include <cstdint>

#include "brindle/geom/PolyGeom.h"

// Walkers over every element of one kind of a record, in increasing id order. reset() reads the
// element count and answers the first id, or -1 when there is none; next() answers the following
// id and -1 past the last one, after which the walk stays done. Elements appended during a walk
// are not visited. D supplies count(), read once per reset.
template <typename D>
class TglobalIdIterator {
public:
    void setPoly(TpolyGeom* geom) { fGeom = geom; }
    uint32_t reset() {
        fCount = fGeom ? static_cast<D&>(*this).count() : 0;
        return fCurrent = fCount > 0 ? 0 : TpolyBits::kNoId;
    }
    uint32_t next() {
        if (fCurrent != TpolyBits::kNoId && ++fCurrent >= fCount) fCurrent = TpolyBits::kNoId;
        return fCurrent;
    }
    bool isDone() const { return fCurrent == TpolyBits::kNoId; }

protected:
    TpolyGeom* fGeom = nullptr;
    uint32_t fCurrent = TpolyBits::kNoId;
    uint32_t fCount = 0;
};

class TglobalVertexIterator : public TglobalIdIterator<TglobalVertexIterator> {
public:
    explicit TglobalVertexIterator(TpolyGeom* geom = nullptr) { setPoly(geom); }
    uint32_t count() const { return fGeom->nbVertex(); }
    uint32_t vertex() const { return fCurrent; }
    const T3dFltPoint& point() const { return fGeom->vertexConst(fCurrent); }
};

class TglobalEdgeIterator : public TglobalIdIterator<TglobalEdgeIterator> {
public:
    explicit TglobalEdgeIterator(TpolyGeom* geom = nullptr) { setPoly(geom); }
    uint32_t count() const { return fGeom->nbEdge(); }
    uint32_t edge() const { return fCurrent; }
    uint32_t startVertex() const { return fGeom->startVertex(fCurrent); }
    uint32_t endVertex() const { return fGeom->endVertex(fCurrent); }
    bool isHard() const { return fGeom->isHard(fCurrent); }
};

// Brings the face offsets up to date at reset.
class TglobalFaceIterator : public TglobalIdIterator<TglobalFaceIterator> {
public:
    explicit TglobalFaceIterator(TpolyGeom* geom = nullptr) { setPoly(geom); }
    uint32_t count() const {
        fGeom->update(dirtyFaceOffsets);
        const uint32_t offsets = fGeom->faceOffsetArray().size();
        return offsets > 0 && offsets - 1 < fGeom->nbFace() ? offsets - 1 : fGeom->nbFace();
    }
    uint32_t face() const { return fCurrent; }
    uint32_t firstOffset() const { return fGeom->faceOffset(fCurrent); }
    uint32_t cornerCount() const { return fGeom->faceVertexCount(fCurrent); }
};

// Every triangle of the record's triangulation (brought up to date at reset), face after face;
// face() is the face the current triangle belongs to, faces without triangles being skipped.
class TglobalTrgIterator : public TglobalIdIterator<TglobalTrgIterator> {
public:
    explicit TglobalTrgIterator(TpolyGeom* geom = nullptr) { setPoly(geom); }
    uint32_t count() {
        fGeom->update(dirtyTriangles);
        fFace = 0;
        const TuInt32Array& first = fGeom->trg()->fFirstTriangle;
        return first.empty() ? 0 : std::min(first.last(), fGeom->nbTriangle());
    }
    uint32_t reset() {
        TglobalIdIterator::reset();
        return settle();
    }
    uint32_t next() {
        TglobalIdIterator::next();
        return settle();
    }
    uint32_t triangle() const { return fCurrent; }
    uint32_t face() const { return fFace; }
    // Description offset and vertex of corner k (0..2) of the current triangle.
    uint32_t cornerOffset(uint32_t k) const {
        return fGeom->faceOffset(fFace) + fGeom->triangleConst(fCurrent).number(k);
    }
    uint32_t cornerVertex(uint32_t k) const { return fGeom->getStartVertex(cornerOffset(k)); }

private:
    // Moves fFace on to the face that holds the current triangle; the face index only grows, so
    // a whole walk is linear in faces plus triangles.
    uint32_t settle() {
        if (fCurrent == TpolyBits::kNoId) return fCurrent;
        const TuInt32Array& first = fGeom->trg()->fFirstTriangle;
        while (fFace + 2 < first.size() && first[fFace + 1] <= fCurrent) ++fFace;
        return fCurrent;
    }

    uint32_t fFace = 0;
};

// The corners (description entries) of one face, all its loops, in description order: reset
// brings the face offsets up to date and answers the face's first offset, -1 for a face out of
// range; next() answers the following offset, -1 past the face's last entry.
class TfaceIterator {
public:
    explicit TfaceIterator(TpolyGeom* geom = nullptr) : fGeom(geom) {}
    TfaceIterator(TpolyGeom* geom, uint32_t face) : fGeom(geom) { reset(face); }
    void setPoly(TpolyGeom* geom) { fGeom = geom; }
    uint32_t reset(uint32_t face) {
        fLoop = 0;
        fOffset = fEnd = TpolyBits::kNoId;
        if (!fGeom) return fOffset;
        fGeom->update(dirtyFaceOffsets);
        const TuInt32Array& offsets = fGeom->faceOffsetArray();
        if (face >= fGeom->nbFace() || face + 1 >= offsets.size()) return fOffset;
        fEnd = std::min(offsets[face + 1], fGeom->faceDescLength());
        return fOffset = offsets[face] < fEnd ? offsets[face] : TpolyBits::kNoId;
    }
    uint32_t next() {
        if (fOffset == TpolyBits::kNoId) return fOffset;
        if (fGeom->endOfLoop(fOffset)) ++fLoop;
        return fOffset = fOffset + 1 < fEnd ? fOffset + 1 : TpolyBits::kNoId;
    }
    bool isDone() const { return fOffset == TpolyBits::kNoId; }
    uint32_t offset() const { return fOffset; }
    // Loop of the current corner: 0 for the outline, then the holes in order.
    uint32_t loop() const { return fLoop; }
    bool endOfLoop() const { return fGeom->endOfLoop(fOffset); }
    uint32_t edge() const { return fGeom->getEdge(fOffset); }
    TedgeDirection direction() const { return fGeom->getDirection(fOffset); }
    // The oriented start of the current edge use: the corner's vertex.
    uint32_t vertex() const { return fGeom->getStartVertex(fOffset); }

private:
    TpolyGeom* fGeom;
    uint32_t fOffset = TpolyBits::kNoId;
    uint32_t fEnd = TpolyBits::kNoId;
    uint32_t fLoop = 0;
};
