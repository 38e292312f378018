#pragma once

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Transform.h"
#include "brindle/ops/PolyMoveFacetFty.h"

// Lifts the selected faces out of the surface on walls of Divisions rows of quads. The copy of
// each border vertex is placed row by row by the move family's transformation (translate, rotate
// and scale about Pivot - Trans, optionally along a path), whose strength grows linearly to the
// last row; a per-face local transformation (LTrans, LRotate, LScale in the face's own frame), an
// inset by Offset and random variation come on top. Together (ExtrudeMode true) each connected
// region moves as one piece with walls on its border only; separately every face gets walls on
// all of its edges. A face with no neighbour, or a record whose every face is selected, keeps a
// reversed copy as its bottom so that the result stays closed.
//
// What stays true: the selected faces keep their ids and become the caps; new vertices, edges and
// faces follow in creation order and unused ones are compacted away keeping the order of the
// rest; every new face has an id in each UV and colour set (-1 where its source had none), joins
// the face groups of its source and has its edges re-flagged by SmoothingAngle; the record is
// consistent after every run. Only a missing face selection (or a singular Matrix) refuses, and
// then nothing changes.
class BRINDLE_API TpolyExtrudeFacetFty : public TpolyMoveFacetFty {
    BRINDLE_MODIFIER_CLASS()

public:
    bool ExtrudeMode() const { return fExtrudeMode; }
    void setExtrudeMode(bool together) { fExtrudeMode = together; }
    // Rows of side faces; an action stores 1 in place of anything below 1.
    int Divisions() const { return fDivisions; }
    void setDivisions(int d) { fDivisions = d; }
    // Radians: new-face edges whose faces meet at less than this are soft, the others hard.
    double SmoothingAngle() const { return fSmoothingAngle; }
    void setSmoothingAngle(double a) { fSmoothingAngle = a; }

    // The transformation at strength t: p -> (p - centre) * scale(s) * rotation(t * rotate) +
    // centre + t * translate, with s = (scale - 1) * t + 1 per axis (row vectors).
    static void calcMatrix(const T3dFltPoint& centre, const TrotateXYZ& rotate, const T4dFltVector& scale,
                           const T4dFltVector& translate, T4dFltMatrix& out, float t);

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    bool fExtrudeMode = true;
    int fDivisions = 0;
    double fSmoothingAngle = 0.5235987755982989;
};
