#pragma once

#include <cstdint>

#include "brindle/base/Export.h"
#include "brindle/framework/ModifierFty.h"
#include "brindle/geom/PolyTypes.h"

class TbitFieldFixedN;
class TpolyGeom;

// Smooths the selected faces in place, Divisions Catmull-Clark steps in a row, each on what the
// previous one made of the selection. A step splits every selected face into one quad per corner
// around its face point (the neighbours across its edges gain the edge points as corners), then
// moves the old vertices and the edge points by the Catmull-Clark rules over the selected faces
// alone, blended with the plain split by Smoothness (0 moves nothing).
//
// Surface borders, the border of the selection and, with KeepHardBorder, hard edges are borders
// for the rules: a vertex on one follows the curve rule along such edges and their points stay
// midpoints. The keep options pin them: the vertices on them keep their positions and UVs. Every
// other edge of the selection becomes soft. With SmoothUVs the UVs follow the same rules in UV
// space per UV set, UV borders acting as borders; the kept UV borders (all of them with
// KeepAllMapBorders, those on surface borders with KeepBorder, the others with
// KeepInteriorMapBorders) keep their UVs.
//
// Faces the split cannot take are dealt with first: with KeepTesselation faces with holes leave
// the selection; without it every selected face that is not star-shaped about its centre
// (holes included) is triangulated, its triangles staying selected.
class BRINDLE_API TpolySmoothFacetFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolySmoothFacetFty() = default;
    TpolySmoothFacetFty(const TpolySmoothFacetFty&) = default;
    TpolySmoothFacetFty& operator=(const TpolySmoothFacetFty&) = default;

    float Smoothness() const { return fSmoothness; }
    void setSmoothness(float s) { fSmoothness = s; }
    // Negative refuses; the action stores values above 10 as 10.
    short Divisions() const { return fDivisions; }
    void setDivisions(short n) { fDivisions = n; }
    // 0 or 1; the action clears it on a record without UV sets.
    float SmoothUVs() const { return fSmoothUVs ? 1.0f : 0.0f; }
    void setSmoothUVs(bool b) { fSmoothUVs = b; }
    bool KeepBorder() const { return fKeepBorder; }
    void setKeepBorder(bool b) { fKeepBorder = b; }
    bool KeepSelectionBorder() const { return fKeepSelectionBorder; }
    void setKeepSelectionBorder(bool b) { fKeepSelectionBorder = b; }
    bool KeepHardBorder() const { return fKeepHardBorder; }
    void setKeepHardBorder(bool b) { fKeepHardBorder = b; }
    bool KeepAllMapBorders() const { return fKeepAllMapBorders; }
    void setKeepAllMapBorders(bool b) { fKeepAllMapBorders = b; }
    bool KeepInteriorMapBorders() const { return fKeepInteriorMapBorders; }
    void setKeepInteriorMapBorders(bool b) { fKeepInteriorMapBorders = b; }
    bool KeepTesselation() const { return fKeepTesselation; }
    void setKeepTesselation(bool b) { fKeepTesselation = b; }
    // Kind of the UV face points.
    TpolyFaceInfo uvCenterType() const { return fUvCenterType; }
    void setUvCenterType(TpolyFaceInfo t) { fUvCenterType = t; }

protected:
    // 0 with nothing changed without a face selection; -1 for a negative Divisions, or when a
    // step cannot read the selection (the steps before it stay done).
    int action(TmidBody* body, TmidComponent* components) override;

private:
    // Removes from the selection, or triangulates, the faces a split cannot take.
    void prepareSelection(TpolyGeom& g, int name, TbitFieldFixedN& selected) const;
    // One smoothing step of the selected faces, in place.
    void smoothStep(TpolyGeom& g, const TbitFieldFixedN& selected) const;

    float fSmoothness = 1.0f;
    short fDivisions = 1;
    bool fSmoothUVs = false;
    bool fKeepBorder = true;
    bool fKeepSelectionBorder = true;
    bool fKeepHardBorder = false;
    bool fKeepAllMapBorders = false;
    bool fKeepInteriorMapBorders = true;
    bool fKeepTesselation = false;
    TpolyFaceInfo fUvCenterType = kFaceInfoCornerMean;
};
