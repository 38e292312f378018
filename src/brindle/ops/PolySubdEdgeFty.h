#pragma once

#include "brindle/base/Export.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/ModifierFty.h"

// Divides each selected edge into equal pieces without moving the surface: Divisions new vertices
// per edge, fewer when a piece would be shorter than Size (lengths measured in the Matrix frame).
// Every face using a divided edge gains the new corners in order, with UVs, colours and user
// normals interpolated along the edge; the pieces keep the edge's hardness. Faces keep their ids,
// so groups and blind data stay on them.
class BRINDLE_API TpolySubdEdgeFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolySubdEdgeFty() = default;
    TpolySubdEdgeFty(const TpolySubdEdgeFty&) = default;
    TpolySubdEdgeFty& operator=(const TpolySubdEdgeFty&) = default;

    // New vertices per edge; below 1 the action refuses.
    int Divisions() const { return fDivisions; }
    void setDivisions(int n) { fDivisions = n; }
    // Shortest allowed piece; 0 (or less) switches the limit off.
    double Size() const { return fSize; }
    void setSize(double s) { fSize = s; }
    // Frame in which edge lengths are measured.
    const T4dDblMatrix& Matrix() const { return fMatrix; }
    void setMatrix(const T4dDblMatrix& m) { fMatrix = m; }

protected:
    // -1, changing nothing, with Divisions below 1 or without an edge selection.
    int action(TmidBody* body, TmidComponent* components) override;

private:
    int fDivisions = 1;
    double fSize = 0;
    T4dDblMatrix fMatrix;
};
