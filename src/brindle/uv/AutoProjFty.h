#pragma once

#include <cstdint>

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Metaclass.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/ModifierFty.h"

class TpolyGeom;

// Automatic projection: every active face is projected onto one of a set of planes chosen by its
// normal, and the faces projected onto the same plane grow into shells that share UVs. The planes
// are quads of side 0.5 at distance 1 from the origin of a frame (Trans, Rotate, Pivot, Scale,
// with the inverse of Matrix), so the frame's unit box fills the unit square of each plane
// (shifted to the plane's own tile with offsetUVs). A face's candidates are the planes its normal
// faces closely enough (only the closest one without Greedy); shells start from faces with one
// candidate, then two, then any, and take the neighbours that have the start's plane among their
// candidates, refusing (with TestSelfIntersect) a face whose UV edges would cross the shell's.
// Each shell gets UVs of its own in MapSet (the current set for -1); faces without a candidate
// keep theirs. With fewer than 3 planes the faces of the record given to setPolyGeom are the
// planes.
class BRINDLE_API TpolyAutoProjFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

    const T4dFltVector& Trans() const { return fTrans; }
    void setTrans(const T4dFltVector& v) { fTrans = v; }
    const TrotateXYZ& Rotate() const { return fRotate; }
    void setRotate(const TrotateXYZ& v) { fRotate = v; }
    const T3dFltPoint& Pivot() const { return fPivot; }
    void setPivot(const T3dFltPoint& v) { fPivot = v; }
    const T4dFltVector& Scale() const { return fScale; }
    void setScale(const T4dFltVector& v) { fScale = v; }
    bool TestSelfIntersect() const { return fTestSelfIntersect; }
    void setTestSelfIntersect(bool v) { fTestSelfIntersect = v; }
    bool Greedy() const { return fGreedy; }
    void setGreedy(bool v) { fGreedy = v; }
    bool offsetUVs() const { return fOffsetUVs; }
    void setOffsetUVs(bool v) { fOffsetUVs = v; }
    bool AllowReverse() const { return fAllowReverse; }
    void setAllowReverse(bool v) { fAllowReverse = v; }
    uint32_t NodePlaneValue() const { return fPlanes; }
    void setNodePlaneValue(uint32_t n) { fPlanes = n; }
    int32_t MapSet() const { return fMapSet; }
    void setMapSet(int32_t s) { fMapSet = s; }
    const T4dFltMatrix& Matrix() const { return fMatrix; }
    void setMatrix(const T4dFltMatrix& m) { fMatrix = m; }
    // The record whose faces are the planes; the plane count becomes 0 so that they are used.
    void setPolyGeom(const TpolyGeom* planes) {
        fPlaneGeom = planes;
        fPlanes = 0;
    }

    // The quads (four corners each, in the untransformed frame) of the plane set of count planes;
    // count becomes the set actually drawn: 0 (null answer) below 3, 8 for 7, 12 above 8.
    static const T3dFltPoint* getQuadsForManipDraw(unsigned int& count);

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    T4dFltVector fTrans{0, 0, 0}, fScale{1, 1, 1};
    TrotateXYZ fRotate;
    T3dFltPoint fPivot;
    bool fTestSelfIntersect = true, fGreedy = true, fOffsetUVs = false, fAllowReverse = false;
    uint32_t fPlanes = 6;
    int32_t fMapSet = -1;
    T4dFltMatrix fMatrix;
    const TpolyGeom* fPlaneGeom = nullptr;
};
