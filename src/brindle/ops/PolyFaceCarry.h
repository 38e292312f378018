#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"

class TpolyGeom;
class TbdDataPtrArray;

// Per-face data of a record whose faces were each replaced, in id order, by a run of new faces:
// old face f became the new faces [first[f], first[f + 1]) (first has one entry per old face and
// one more; an empty run removes the face). The record already holds the new face description. A
// face-group member is replaced by every one of its pieces, and so is the owner of a face
// blind-data element (each piece gets a copy); a vertex-face pair (v, f) becomes (v, p) for each
// piece p of f with a corner at v; face normals, while they are up to date for the old faces, are
// copied to the pieces. extraBlindData, when given, is a list of face blind-data elements
// renumbered the same way.
BRINDLE_API void carryFacePieces(TpolyGeom& geom, const TuInt32Array& first, TbdDataPtrArray* extraBlindData);

// A new face description written over a record's faces in id order, each old face becoming a run
// of new faces (possibly none). Every new corner names the old corner whose UV, colour and
// user-normal ids it takes, or kNoId for a corner that has none yet. install puts it in place of
// the old description and carries everything per corner and per face; until then the record is
// untouched apart from edges appended for the new faces.
class BRINDLE_API TfaceRewrite {
public:
    // Starts a rewrite of geom's faces; corners is the expected corner count (room only).
    void begin(TpolyGeom& geom, uint32_t corners);
    // The next old face's pieces follow (faces are visited in id order, each once).
    void nextOldFace() { fFirst.addLast(fFaces); }
    // One corner of the face being written: raw description entry without end flags, and its source.
    void push(uint32_t raw, uint32_t source) {
        fDesc.addLast(raw);
        fSource.addLast(source);
    }
    // Ends the face being written with the end-of-loop and end-of-face bits.
    void closeFace();
    // Copies the old face f unchanged as one new face.
    void copyFace(uint32_t f);
    uint32_t cornerCount() const { return fDesc.size(); }
    uint32_t faceCount() const { return fFaces; }
    // For each old face visited so far, its first new face; after install one entry more, the new
    // face count.
    const TuInt32Array& first() const { return fFirst; }
    // Replaces the record's description and face count, remaps every UV and colour set's ids
    // through the sources, moves user normals with their corners and carries groups, blind data
    // and face normals to the pieces (carryFacePieces). With dropUnusedEdges the edges no face
    // uses any more are removed (and the edge groups renumbered) before user normals are settled
    // on the final topology. The record is marked retopologised.
    void install(TbdDataPtrArray* extraBlindData, bool dropUnusedEdges = false);

private:
    TpolyGeom* fGeom = nullptr;
    TuInt32Array fDesc{256}, fSource{256}, fFirst{256}, fSavedNormals{256};
    uint32_t fFaces = 0;
};
