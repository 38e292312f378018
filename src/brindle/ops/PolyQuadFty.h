#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/ModifierFty.h"

class TpolyGeom;

// One candidate merge of two triangles across their shared edge: the smaller and the larger face
// id, the offsets (within each triangle's three entries) of the quad's corners, two from the
// smaller triangle and then two from the larger, and the score (lower is better).
struct zepQuadT {
    uint32_t face[2];
    uint16_t corner[4];
    float score;
};

// Turns pairs of adjacent selected triangles into quadrilaterals by removing the edge between
// them. A pair qualifies when its quad is convex and bends by no more than Angle; among the pairs
// that qualify, the flattest and squarest are taken first, each triangle at most once. Hard
// edges, UV seams and edges between faces of different named face groups can be kept. The quad
// takes the smaller triangle's id position (the larger one goes), its groups and blind data, and
// each of its corners the UV, colour and user-normal ids of the triangle corner it comes from; a
// quad whose four corners are not all mapped in a UV set gets no UVs in that set.
class BRINDLE_API TpolyQuadFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolyQuadFty() = default;
    TpolyQuadFty(const TpolyQuadFty&) = default;
    TpolyQuadFty& operator=(const TpolyQuadFty&) = default;

    // Largest allowed bend of a quad, radians; the action stores pi in place of a larger value.
    double Angle() const { return fAngle; }
    void setAngle(double a) { fAngle = a; }
    // An edge between faces with different named face-group memberships stays.
    bool KeepGrp() const { return fKeepGrp; }
    void setKeepGrp(bool k) { fKeepGrp = k; }
    // A UV seam of the current UV set stays.
    bool KeepMap() const { return fKeepMap; }
    void setKeepMap(bool k) { fKeepMap = k; }
    // A hard edge stays.
    bool KeepHard() const { return fKeepHard; }
    void setKeepHard(bool k) { fKeepHard = k; }
    // Reference frame; after an action with a non-identity matrix it holds the inverse.
    const T4dDblMatrix& Matrix() const { return fMatrix; }
    void setMatrix(const T4dDblMatrix& m) { fMatrix = m; }

    // Merges triangle pairs among the faces of the current face group whose size takes part
    // (sizeFlags: [0] triangles, [1] quads, [2] faces of 5 or more corners; quads and larger
    // faces are triangulated first). keep is {keep groups ? 1 : 0, keep UV seams ? 2 : 0, keep
    // hard edges ? 4 : 0}. Answers the number of quads made.
    static uint32_t quadrangulateTopo(TpolyGeom* geom, float angleDegrees, const int keep[3], const int sizeFlags[3]);
    // Merges the best pairs of triangles of the face group named faceGroup across edges not set
    // in lockedEdges (null: none locked) and answers the number of quads made; with none, the
    // record is untouched.
    static uint32_t convertToQuads(TpolyGeom* geom, float angleDegrees, const TbitFieldFixedN* lockedEdges,
                                   int faceGroup);
    // Scores the merge of triangles face1 and face2 across edge and appends it to list: 1 when
    // appended, 0 when the quad is degenerate, not convex, or its corners leave its mean plane by
    // more than the angle whose half has the sine sinHalfAngle. Needs the face offsets.
    static int buildOneQuad(const TpolyGeom* geom, uint32_t face1, uint32_t face2, uint32_t edge, float sinHalfAngle,
                            std::vector<zepQuadT>& list);

protected:
    // -1, changing nothing, without a face selection or with a singular Matrix.
    int action(TmidBody* body, TmidComponent* components) override;

private:
    double fAngle = 30.0;
    bool fKeepGrp = true;
    bool fKeepMap = true;
    bool fKeepHard = true;
    T4dDblMatrix fMatrix;
};
