#pragma once

#include "brindle/base/Export.h"
#include "brindle/framework/ModifierFty.h"

// Divides each selected triangle or quadrilateral into a regular grid: every edge of the selected
// faces is split into Divisions + 1 equal pieces (a neighbour across it gains the new corners),
// then a quad is cut along the lines joining opposite edge points into (Divisions + 1)^2 quads
// and a triangle along lines parallel to its sides into (Divisions + 1)^2 triangles. Interior
// grid points are evenly spaced on the cuts, which puts them at the bilinear (barycentric)
// positions of the face; their UVs and colours are interpolated along the cuts. A cut that the
// face refuses (a degenerate face) ends the work on that face, which stays partly cut.
class BRINDLE_API TpolySubdFaceAnyFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolySubdFaceAnyFty() = default;
    TpolySubdFaceAnyFty(const TpolySubdFaceAnyFty&) = default;
    TpolySubdFaceAnyFty& operator=(const TpolySubdFaceAnyFty&) = default;

    // New vertices on each edge of a divided face; 0 or less refuses.
    int Divisions() const { return fDivisions; }
    void setDivisions(int n) { fDivisions = n; }

protected:
    // -1, changing nothing, with Divisions 0 or less, without a face selection, or when no
    // selected face has 3 or 4 corners (faces with holes have more).
    int action(TmidBody* body, TmidComponent* components) override;

private:
    int fDivisions = 2;
};
