#pragma once

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/ModifierFty.h"

class TpolyMoveFacetFty;

// Mirrors the whole object across the plane through pivot perpendicular to one axis, by driving
// other operations on the same body: a copy of every face reflected by the chip-off (or, in
// merge mode 2, an extrusion of every face whose cap is the reflection), a reversal of the
// reflected faces so that they face outwards, and in merge modes 1 and 2 a weld: of the border
// vertices (mode 1), or of both ends of every edge whose squared length is below mergeTolerance
// (mode 2, which closes the extruded walls lying in the mirror plane). The component list is not
// read: every face is mirrored. The whole run takes place in the frame of worldMatrix; the copy,
// the extrusion and the weld work in the frame of matrix.
//
// What stays true: the original faces keep their ids and orientation; the record is consistent
// after every run. A mirrorDir outside 0..5 or a singular matrix or worldMatrix refuses before
// anything changes; otherwise the action answers 0, a record without faces staying as it was.
class BRINDLE_API TpolyMirrorFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    // Pairs of directions along one axis mirror alike: 0 and 1 along x, 2 and 3 along y, 4 and 5
    // along z.
    enum TmirrorDir : int { kPositiveX = 0, kNegativeX, kPositiveY, kNegativeY, kPositiveZ, kNegativeZ };
    // Any other value copies only, as kCopyOnly.
    enum TmergeMode : int { kCopyOnly = 0, kWeldBorder = 1, kExtrudeAndWeld = 2 };

    TpolyMirrorFty() { setShouldClearCurrGroups(true); }
    TpolyMirrorFty(const TpolyMirrorFty&) = default;
    TpolyMirrorFty& operator=(const TpolyMirrorFty&) = default;

    TmirrorDir mirrorDir() const { return fDir; }
    void setMirrorDir(TmirrorDir d) { fDir = d; }
    TmergeMode mergeMode() const { return fMergeMode; }
    void setMergeMode(TmergeMode m) { fMergeMode = m; }
    // A distance for the weld; mode 2 compares squared edge lengths with it.
    double mergeTolerance() const { return fTolerance; }
    void setMergeTolerance(double t) { fTolerance = t; }
    const T3dDblPoint& pivot() const { return fPivot; }
    void setPivot(const T3dDblPoint& p) { fPivot = p; }
    const T4dDblMatrix& matrix() const { return fMatrix; }
    void setMatrix(const T4dDblMatrix& m) { fMatrix = m; }
    const T4dDblMatrix& worldMatrix() const { return fWorldMatrix; }
    void setWorldMatrix(const T4dDblMatrix& m) { fWorldMatrix = m; }

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    // Sets a fresh move-family factory to the reflection about pivot and nothing else.
    void initFactory(TpolyMoveFacetFty* factory, TmidBody* body) const;
    void doChipOff(TmidBody* body) const;
    void doExtrude(TmidBody* body) const;
    void doNormal(TmidBody* body) const;
    void doMerge(TmidBody* body) const;

    TmirrorDir fDir = kPositiveX;
    TmergeMode fMergeMode = kCopyOnly;
    double fTolerance = 0;
    T3dDblPoint fPivot;
    T4dDblMatrix fMatrix, fWorldMatrix;
};
