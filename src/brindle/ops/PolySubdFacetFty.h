#pragma once

#include <cstdint>

#include "brindle/base/Export.h"
#include "brindle/framework/ModifierFty.h"

class TpolyGeom;

// Divides the selected faces around their centres without moving the surface, Divisions passes
// in a row, each pass dividing what the previous one made of the selection. Quadrilateral mode
// (Mode 0, and any value but 1) gives each corner one quad (centre, midpoint of the edge before
// the corner, the corner, midpoint of the edge after it) through the editable geometry, so a
// neighbour across a split edge gains the midpoint as a corner. Triangle mode (Mode 1) makes a
// fan of one triangle per face entry around a new centre vertex: the face's own edges stay and
// no neighbour changes. In both modes every corner at an old vertex keeps its UV, colour and
// user normal; the centre takes the corner mean of the face's UVs and colours in each set where
// every corner has one, and the pieces of a face take its groups and blind data.
class BRINDLE_API TpolySubdFacetFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolySubdFacetFty() = default;
    TpolySubdFacetFty(const TpolySubdFacetFty&) = default;
    TpolySubdFacetFty& operator=(const TpolySubdFacetFty&) = default;

    // Number of passes; below 1 the action refuses.
    int Divisions() const { return fDivisions; }
    void setDivisions(int n) { fDivisions = n; }
    // 1: triangles; anything else: quadrilaterals.
    short Mode() const { return fMode; }
    void setMode(short m) { fMode = m; }

    // The triangle mode on the faces of the face group named group (0: every face), divisions
    // passes (the later ones on the triangles of the one before). Answers the number of faces of
    // the first pass; 0, with the record untouched, for a missing or empty group, no record or
    // divisions below 1. Faces with holes are divided loop by loop around their outline's centre.
    static uint32_t subdFacet(TpolyGeom* geom, int group, int divisions);

protected:
    // -1, changing nothing, without a face selection or with Divisions below 1.
    int action(TmidBody* body, TmidComponent* components) override;

private:
    int fDivisions = 1;
    short fMode = 0;
};
