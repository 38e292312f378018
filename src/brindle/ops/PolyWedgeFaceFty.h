#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/ModifierFty.h"

class TmidBody;
class TmidComponent;
class TpolyGeom;

// Swings the selected faces about a hinge made of some of their edges, leaving a wedge-shaped
// solid between where they were and where they end, in `subdivisions` steps. Composite: the faces
// are extruded together with each row turned a further angle / subdivisions about the hinge axis,
// then the rows the extrusion raised from the hinge vertices are put back onto them and welded
// in, so the walls along the hinge close into fans round the hinge vertices (the wedge's ends).
//
// What stays true: the hinge vertices keep their ids and places; the hinge frame has its origin
// at the mean of the hinge edges' midpoints and its x axis along the sum of their directions as
// the faces use them; a lone face (or a closed record) gives a closed wedge. A run refuses (-1)
// and changes nothing without a face selection, without a hinge edge, when no given hinge edge
// lies on a selected face, or with a singular world matrix.
class BRINDLE_API TpolyWedgeFaceFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolyWedgeFaceFty() = default;
    TpolyWedgeFaceFty(const TpolyWedgeFaceFty&) = default;
    TpolyWedgeFaceFty& operator=(const TpolyWedgeFaceFty&) = default;

    // The body of the last action, which sets it; not owned.
    void setMidBody(TmidBody* body) { fBody = body; }
    TmidBody* midBody() const { return fBody; }
    void addEdge(int edge) { fEdges.addLast(edge); }
    const Tint32Array& edges() const { return fEdges; }
    // Total swing in radians.
    double angle() const { return fAngle; }
    void setAngle(double a) { fAngle = a; }
    // Steps of the swing; values below 1 are stored as 1.
    int subdivisions() const { return fSubdivisions; }
    void setSubdivisions(int n) { fSubdivisions = n < 1 ? 1 : n; }
    const T4dDblMatrix& worldMatrix() const { return fWorldMatrix; }
    void setWorldMatrix(const T4dDblMatrix& m) { fWorldMatrix = m; }

    // The action on the body's current face selection.
    int performAction(TmidBody* body) { return action(body, nullptr); }

    // Reads the selection (the list of the last action when it had one, else the current face
    // group of midBody's record) and the hinge entries of its faces, and builds the hinge
    // transform (translation to the hinge origin, then the rotation of the hinge direction onto
    // x). 0, changing nothing of the record, when there is no selection, no hinge edge, no hinge
    // edge on a selected face, or the hinge directions cancel out.
    int computeTrans();
    const T4dDblMatrix& hingeTransform() const { return fHinge; }

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    // Puts the extrusion's rows above the hinge entries back onto the hinge vertices and makes
    // the hinge vertices and those rows the current vertex selection; false when none was found.
    bool collapseHingeRows(TpolyGeom& geom, uint32_t oldFaceCount);

    TmidBody* fBody = nullptr;
    TmidComponent* fComponents = nullptr;
    Tint32Array fEdges{16};
    double fAngle = 0;
    int fSubdivisions = 1;
    T4dDblMatrix fWorldMatrix;

    // Working state of the last action: the selected faces in id order, and per selected face the
    // indices within it of its entries on hinge edges, each face's list ended by -1.
    Tint32Array fFaces{256};
    Tint32Array fHingeEntries{256};
    T4dDblMatrix fHinge;
};
