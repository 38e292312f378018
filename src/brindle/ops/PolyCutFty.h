#pragma once

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/RemoverFty.h"

// Cuts the selected faces with a plane: the plane's normal is (0, 0, -1) turned by Rotate (radians
// about x, then y, then z), and it passes through CenterXYZ; a point is on the positive side when
// n.P > n.CenterXYZ, so a point on the plane is not. Every selected edge whose ends lie on
// different sides is split at the crossing, and each selected face is cut between its crossings,
// paired in their order along the plane's trace across the face. Afterwards the faces whose
// outline centre lies on the positive side are, with Delete, deleted (the mapper then gives the
// old ids' new ones; the cut itself keeps every old id and appends the new components) or else,
// with Extract, detached from the others (shared vertices and edges copied, the copies appended)
// and moved by ExtractOffset. Scale and OnObject are kept with the parameters.
class BRINDLE_API TpolyCutFty : public TpolyRemoverFty {
    BRINDLE_MODIFIER_CLASS()
    TpolyCutFty() { setShouldClearCurrGroups(true); }

    const T3dDblPoint& CenterXYZ() const { return fCenter; }
    void setCenterXYZ(const T3dDblPoint& p) { fCenter = p; }
    const T3dDblPoint& Rotate() const { return fRotate; }
    void setRotate(const T3dDblPoint& r) { fRotate = r; }
    const T3dDblPoint& Scale() const { return fScale; }
    void setScale(const T3dDblPoint& s) { fScale = s; }
    bool Extract() const { return fExtract; }
    void setExtract(bool v) { fExtract = v; }
    const T3dDblPoint& ExtractOffset() const { return fExtractOffset; }
    void setExtractOffset(const T3dDblPoint& p) { fExtractOffset = p; }
    bool Delete() const { return fDelete; }
    void setDelete(bool v) { fDelete = v; }
    int OnObject() const { return fOnObject; }
    void setOnObject(int v) { fOnObject = v; }
    // After an action with a matrix other than the identity this holds its inverse.
    const T4dDblMatrix& Matrix() const { return fMatrix; }
    void setMatrix(const T4dDblMatrix& m) { fMatrix = m; }

    // The plane's unit normal and offset.
    void plane(T3dDblPoint& normal, double& offset) const;

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    // Deletes, or detaches and moves, the faces of the cut record whose centre is on the positive side.
    void treatPositiveSide(TmidBody* body, const T3dDblPoint& n, double d);

    T3dDblPoint fCenter, fRotate, fScale, fExtractOffset;
    bool fExtract = false, fDelete = false;
    int fOnObject = 1;
    T4dDblMatrix fMatrix;
};
