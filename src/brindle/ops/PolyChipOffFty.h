#pragma once

#include <cstdint>

#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/ops/PolyMoveFacetFty.h"

class TpolyGeom;

// Copies the selected faces onto vertices and edges of their own and moves the copy by the vertex
// move's transformation (Trans, Rotate and Scale about Pivot, LTrans along the copy's normals,
// Random and gains; the face-level parameters are not read). With ChipOffMode each connected
// piece of the selection stays joined in the copy; without it every face is copied on its own.
// With Duplicate the originals stay; without it they are deleted, so that the selection comes
// off the surface.
//
// What stays true: the original faces keep their order and, with Duplicate, their ids; the copy
// follows them in the order of its sources. Every copied corner keeps its UV and colour values in
// values of the copy's own (shared within the copy where the sources shared them) and its user
// normal, carried through the move's normal transformation when the move is one matrix. Copied
// vertices, edges and faces join the groups of their sources and get copies of their blind data;
// copied edges keep their hard flags and crease values. Afterwards the copy is the current face
// group and no other current group has changed. A missing face selection, a singular Matrix or
// gains that do not cover the copy's vertices refuse, changing nothing.
class BRINDLE_API TpolyChipOffFty : public TpolyMoveFacetFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolyChipOffFty() = default;
    TpolyChipOffFty(const TpolyChipOffFty&) = default;
    TpolyChipOffFty& operator=(const TpolyChipOffFty&) = default;

    bool ChipOffMode() const { return fChipOffMode; }
    void setChipOffMode(bool together) { fChipOffMode = together; }
    bool Duplicate() const { return fDuplicate; }
    void setDuplicate(bool keepOriginals) { fDuplicate = keepOriginals; }
    // Kept with the parameters; the copy does not read it.
    bool UseCache() const { return fUseCache; }
    void setUseCache(bool v) { fUseCache = v; }

    // Appends a copy of every face set in faces (in increasing id order) with the data listed
    // above and answers the id of the first copy; the copies are that id to the new face count.
    // together as ChipOffMode. Every derived part of the record is marked dirty.
    static uint32_t duplicateFaces(TpolyGeom* geom, const TbitFieldFixedN& faces, bool together);

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    // The copy's user normals carried through the move when it is one matrix for every vertex;
    // normalMatrix is that matrix's normal transformation in the record's frame.
    static void turnCopyNormals(TpolyGeom* geom, uint32_t firstCorner, const T4dFltMatrix& normalMatrix);

    bool fChipOffMode = true;
    bool fDuplicate = true;
    bool fUseCache = false;
};
