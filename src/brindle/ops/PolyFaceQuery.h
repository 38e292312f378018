#pragma once

#include <cstdint>

#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/geom/PolyTypes.h"

class TpolyGeom;

// Read-only questions the operations ask of a record's faces. The face offsets (and, for the UV
// borders, the edge-to-face table) must be up to date; ids are not checked.
namespace TpolyFaceQuery {

// Centre of the loop whose first entry is at offset: the mean of its corners
// (kFaceInfoCornerMean), or the mean of its edge midpoints weighted by edge length
// (kFaceInfoOutlineCentre; the corner mean when the loop has no length).
BRINDLE_API T3dFltPoint getFaceCenterFromOffset(const TpolyGeom& geom, uint32_t offset, TpolyFaceInfo info);
// The same for a face's outer loop.
BRINDLE_API T3dFltPoint getFaceCenter(const TpolyGeom& geom, uint32_t face, TpolyFaceInfo info);
// Offset of the entry after the one at offset in its loop (wrapping to the loop's first entry).
BRINDLE_API uint32_t nextInLoop(const TpolyGeom& geom, uint32_t face, uint32_t offset);

// Marks, over the description, the entries of the faces set in faces whose edge bounds the
// selection's UV region in set s: no other selected face across the edge uses it with the same
// UV ids at both ends (border edges, seams and the edges towards unselected faces). entries is
// sized to the description length and cleared first. False, marking nothing, when s names no set.
BRINDLE_API bool markUVBorderEntries(const TpolyGeom& geom, const TbitFieldFixedN& faces, uint32_t s,
                                     TbitFieldFixedN& entries);

}  // namespace TpolyFaceQuery
