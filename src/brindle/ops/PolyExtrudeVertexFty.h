#pragma once

#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/framework/ModifierFty.h"

class TpolyEditableGeom;

// Pulls each selected vertex out of the surface onto a small pyramid: every edge at it is split
// at Width (the fraction of the edge from the selected vertex; an edge with both ends selected
// gets a vertex at Width from each end, or one in its middle when those would meet), the edges
// from the vertex to those new vertices are split again into Divisions pieces, each face round the
// vertex is cut between the vertices at the same level on its two edges there (Divisions rings,
// none for 0), and the vertex moves by Length along the unit sum of its faces' normals. New
// corners take UVs, colours and normals interpolated along their edges.
class BRINDLE_API TpolyExtrudeVertexFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()
    TpolyExtrudeVertexFty() = default;

    float Length() const { return fLength; }
    void setLength(float v) { fLength = v; }
    float Width() const { return fWidth; }
    void setWidth(float v) { fWidth = v; }
    int Divisions() const { return fDivisions; }
    void setDivisions(int n) { fDivisions = n < 0 ? 0 : n; }
    // After an action with a matrix other than the identity this holds its inverse.
    const T4dFltMatrix& Matrix() const { return fMatrix; }
    void setMatrix(const T4dFltMatrix& m) { fMatrix = m; }

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    // The offset of each selected vertex: the unit sum of its faces' normals times Length.
    void collectVertexNormals(TpolyGeom& geom, const TbitFieldFixedN& selected, T4dFltVectorArray& offsets) const;
    // Splits the edges at the selected vertices into Divisions pieces and cuts the faces round them.
    void cutAround(TpolyEditableGeom& edit, const TbitFieldFixedN& selected) const;

    float fLength = 0, fWidth = 0.5f;
    int fDivisions = 1;
    T4dFltMatrix fMatrix;
};
