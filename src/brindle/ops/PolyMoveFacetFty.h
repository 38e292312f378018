#pragma once

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Transform.h"
#include "brindle/ops/PolyMoveVertexFty.h"

// The edge and face levels of the move family: the parameters they add to the vertex move (a
// rotation and scale in each component's own frame, an inset and the face-move attractors). The
// extrusion reads LRotate, LScale and Offset; as factories of their own they run the vertex move
// on a vertex selection, since moving edges and faces as such is not built.
class BRINDLE_API TpolyMoveEdgeFty : public TpolyMoveVertexFty {
    BRINDLE_MODIFIER_CLASS()

public:
    const TrotateXYZ& LRotate() const { return fLRotate; }
    void setLRotate(const TrotateXYZ& r) { fLRotate = r; }
    // (1, 1, 1) is neutral; (0, 0, 0) after construction.
    const T4dFltVector& LScale() const { return fLScale; }
    void setLScale(const T4dFltVector& v) { fLScale = v; }
    short LocalCen() const { return fLocalCen; }
    void setLocalCen(short c) { fLocalCen = c; }

private:
    TrotateXYZ fLRotate;
    T4dFltVector fLScale;
    short fLocalCen = 0;
};

class BRINDLE_API TpolyMoveFacetFty : public TpolyMoveEdgeFty {
    BRINDLE_MODIFIER_CLASS()

public:
    // Inset distance of each face in its own plane; positive shrinks the face.
    float Offset() const { return fOffset; }
    void setOffset(float o) { fOffset = o; }
    float Weight() const { return fWeight; }
    void setWeight(float w) { fWeight = w; }
    const T4dFltVector& Gravity() const { return fGravity; }
    void setGravity(const T4dFltVector& g) { fGravity = g; }
    float Attraction() const { return fAttraction; }
    void setAttraction(float a) { fAttraction = a; }
    const T3dFltPoint& Magnet() const { return fMagnet; }
    void setMagnet(const T3dFltPoint& m) { fMagnet = m; }

private:
    float fOffset = 0, fWeight = 0, fAttraction = 0;
    T4dFltVector fGravity;
    T3dFltPoint fMagnet;
};
