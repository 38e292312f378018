#pragma once

#include <cstdint>

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/ModifierFty.h"

class TpolyGeom;

// Replaces each selected face by a fan of triangles round one new vertex, placed at the face's
// centre, then moved by LocalTrans in the face's own frame and by Translate. The surface does not
// move with zero offsets, so a planar face keeps its area. Faces of fewer than three corners are
// left alone.
//
// Triangles are fanned in place (one centre, three triangles, neighbours untouched). Larger faces
// are cut: from corner 0 to corner n/2 through the new vertex, then every other corner to it.
// With Zelto70 (the default) the cut face keeps one triangle under its id and the others follow
// the last face of the record, in cutting order, and the centre's UVs and colours are the mean of
// those at corners 0 and n/2. Without Zelto70 every face is fanned in place like a triangle: its
// triangles follow each other in face order and the centre takes the mean over all the corners.
// Either way each triangle joins its face's groups and copies its blind data, corners at old
// vertices keep their UVs, colours and user normals, and the new vertices take the ids from the
// old vertex count on, in face order.
class BRINDLE_API TpolyPokeFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolyPokeFty() = default;
    TpolyPokeFty(const TpolyPokeFty&) = default;
    TpolyPokeFty& operator=(const TpolyPokeFty&) = default;

    // Offset of every new vertex in the working frame.
    const T3dDblPoint& Translate() const { return fTranslate; }
    void setTranslate(const T3dDblPoint& p) { fTranslate = p; }
    // Offset of each new vertex in its face's frame (x along the first edge, z along the normal).
    const T3dDblPoint& LocalTrans() const { return fLocalTrans; }
    void setLocalTrans(const T3dDblPoint& p) { fLocalTrans = p; }
    // Working frame; after an action with a non-identity matrix it holds the inverse.
    const T4dDblMatrix& Matrix() const { return fMatrix; }
    void setMatrix(const T4dDblMatrix& m) { fMatrix = m; }
    bool Zelto70() const { return fZelto70; }
    void setZelto70(bool v) { fZelto70 = v; }

    // The frame of a face, mapping face coordinates to record coordinates (rows x, y, z, origin):
    // origin at the edge-length-weighted centre of the outer loop, z the unit normal (also
    // written to normal), x the unit direction of the face's first edge as the face uses it, and
    // y = z x x. False, with out the identity, when the face has no normal or no first edge
    // length. The face offsets must be up to date; the id is not checked.
    static bool faceMatrix(const TpolyGeom& geom, uint32_t face, T4dFltVector& normal, T4dDblMatrix& out);

protected:
    // -1, changing nothing, without a face selection or with a singular Matrix.
    int action(TmidBody* body, TmidComponent* components) override;

private:
    T3dDblPoint fTranslate, fLocalTrans;
    T4dDblMatrix fMatrix;
    bool fZelto70 = true;
};
