#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"

class TpolyGeom;
class TbdDataPtrArray;

// Per-face data of a record whose faces were each replaced, in id order, by a run of new faces:
// old face f became the new faces [first[f], first[f + 1]) (first has one entry per old face and
// one more). The record already holds the new face description. A face-group member is replaced
// by every one of its pieces, and so is the owner of a face blind-data element (each piece gets a
// copy); a vertex-face pair (v, f) becomes (v, p) for each piece p of f with a corner at v; face
// normals, while they are up to date for the old faces, are copied to the pieces. extraBlindData,
// when given, is a list of face blind-data elements renumbered the same way.
BRINDLE_API void carryFacePieces(TpolyGeom& geom, const TuInt32Array& first, TbdDataPtrArray* extraBlindData);
