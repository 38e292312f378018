#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/ModifierFty.h"

class TpolyGeom;

// Moves the selected vertices by one transformation (translate, rotate and scale about a pivot)
// applied after a translation in each vertex's own frame (along its normal and two tangents),
// with optional per-vertex random variation and per-vertex gains. The root of the move family:
// the edge, face and extrusion operations derive from it and read the same parameters. Every new
// position is computed from the unmoved positions and normals, so the result does not depend on
// the order of writing; the random sequence restarts from RandomSeed at every action, so the same
// parameters on the same selection give the same record. Only positions change.
class BRINDLE_API TpolyMoveVertexFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolyMoveVertexFty() = default;
    TpolyMoveVertexFty(const TpolyMoveVertexFty&) = default;
    TpolyMoveVertexFty& operator=(const TpolyMoveVertexFty&) = default;

    const T4dFltVector& Trans() const { return fTrans; }
    void setTrans(const T4dFltVector& v) { fTrans = v; }
    const TrotateXYZ& Rotate() const { return fRotate; }
    void setRotate(const TrotateXYZ& r) { fRotate = r; }
    const T3dFltPoint& Pivot() const { return fPivot; }
    void setPivot(const T3dFltPoint& p) { fPivot = p; }
    // (1, 1, 1) is neutral; (0, 0, 0) after construction.
    const T4dFltVector& Scale() const { return fScale; }
    void setScale(const T4dFltVector& v) { fScale = v; }
    // Amount of random variation; exactly 0 switches it off.
    float Random() const { return fRandom; }
    void setRandom(float r) { fRandom = r; }
    int RandomSeed() const { return fRandomSeed; }
    void setRandomSeed(int s) { fRandomSeed = s; }
    // Translation in each vertex's frame: x along the tangent fixed by LXDir, z along the normal.
    const T4dFltVector& LTrans() const { return fLTrans; }
    void setLTrans(const T4dFltVector& v) { fLTrans = v; }
    const T4dFltVector& LXDir() const { return fLXDir; }
    void setLXDir(const T4dFltVector& v) { fLXDir = v; }
    // Reference frame; after an action with a non-identity matrix it holds the inverse.
    const T4dDblMatrix& Matrix() const { return fMatrix; }
    void setMatrix(const T4dDblMatrix& m) { fMatrix = m; }
    float twist() const { return fTwist; }
    void settwist(float t) { fTwist = t; }

    // Per-vertex gains, indexed by vertex id: NbComponents entries made by createGain, each 1.
    // Without an array every gain is 1; an action refuses a selection beyond the array.
    uint32_t NbComponents() const { return fNbComponents; }
    void setNbComponents(uint32_t n) { fNbComponents = n; }
    void createGain() {
        fGain.assign(fNbComponents, 1.0f);
        fHasGain = true;
    }
    float* Gain() { return fHasGain ? fGain.data() : nullptr; }
    bool hasGain() const { return fHasGain; }
    void deleteGain() {
        fGain.clear();
        fHasGain = false;
    }

    // The path curve of the family; the vertex move does not read it.
    void addPosition(const T4dDblPoint& p) { fPositions.addLast(p); }
    void addScaleGradientX(float v) { fScaleGradientX.addLast(v); }
    void addScaleGradientY(float v) { fScaleGradientY.addLast(v); }
    void addTaperIncrementX(float v) { fTaperIncrementX.addLast(v); }
    void addTaperIncrementY(float v) { fTaperIncrementY.addLast(v); }
    bool usingCurve() const { return !fPositions.empty(); }
    const T4dDblPointArray& positions() const { return fPositions; }

    // out = S * R on row vectors: S scales by scale about scaleCentre, R rotates about
    // rotationCentre and then translates; with one centre c, p maps to
    // (p - c) * scale * rotation + c + translate.
    static void calcMatrix(const T3dFltPoint& rotationCentre, const Tquaternion& rotation,
                           const T3dFltPoint& scaleCentre, const T4dFltVector& scale, const T4dFltVector& translate,
                           T4dFltMatrix& out);
    // Tangents x and y of a frame whose z is normal: a normal of squared length below 0.001 is
    // taken as (0, 0, 1); y = normal x xDirection, with a coordinate axis not parallel to the
    // normal in place of a parallel or zero xDirection; y is unit and x = y x normal.
    static void getBasis(const T4dFltVector& normal, const T4dFltVector& xDirection, T4dFltVector& x, T4dFltVector& y);
    // Replaces m by the frame of a vertex: local x, y, z along X, Y and the vertex normal N (negated
    // when m's 3x3 determinant is negative), origin at the vertex.
    static void vertexMatrix(const TpolyGeom* geom, int vertex, const T4dFltVector& xDirection, T4dDblMatrix& m);

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    // One selected vertex of an action, in selection order: unmoved position and normal, and its
    // random draw in [-1, 1).
    struct TmovedVertex {
        uint32_t id;
        T3dFltPoint position;
        T4dFltVector normal;
        float random;
    };

    T4dFltVector fTrans, fScale, fLTrans, fLXDir;
    TrotateXYZ fRotate;
    T3dFltPoint fPivot;
    float fRandom = 0, fTwist = 0;
    int fRandomSeed = 0;
    T4dDblMatrix fMatrix;
    uint32_t fNbComponents = 0;
    std::vector<float> fGain;
    bool fHasGain = false;
    T4dDblPointArray fPositions{16};
    TfloatArray fScaleGradientX{16}, fScaleGradientY{16}, fTaperIncrementX{16}, fTaperIncrementY{16};
};
