#pragma once

#include <cstdint>

#include "brindle/base/Export.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/ModifierFty.h"

// Combines the records of several bodies into one record, each placed by its own matrix, and
// gives it to the body the action is run on; the component list is not read. Each record's
// vertices, edges and faces follow those of the records before it, ids raised by their counts;
// a record placed by a mirroring matrix (negative determinant) has its loops written the other
// way round so that its faces still face outwards.
//
// What stays true: every corner keeps its UV in each set of its record and its colour, the
// result's sets being the union of the records' sets by name (a corner whose record lacks a set
// is unmapped in it); the first record's sets keep their values and ids, later records' values
// follow them. User normals are carried, turned by each matrix's normal transformation; hard
// flags, crease values and blind data follow their components; groups are united by name and
// kind (vertex, edge, face and vertex-face members raised by their record's offsets; UV groups
// keep the first record's members). The sources are read only. No objects, a missing array or a
// missing body or record refuses, changing nothing.
class BRINDLE_API TpolyUniteFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolyUniteFty() = default;
    TpolyUniteFty(const TpolyUniteFty&) = default;
    TpolyUniteFty& operator=(const TpolyUniteFty&) = default;

    // The bodies to combine, in order, and one matrix per body; neither array is owned.
    TmidBody** Objects() const { return fObjects; }
    void setObjects(TmidBody** objects) { fObjects = objects; }
    T4dDblMatrix* Matrices() const { return fMatrices; }
    void setMatrices(T4dDblMatrix* matrices) { fMatrices = matrices; }
    short NbObjects() const { return fNbObjects; }
    void setNbObjects(short n) { fNbObjects = n; }

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    TmidBody** fObjects = nullptr;
    T4dDblMatrix* fMatrices = nullptr;
    short fNbObjects = 0;
};
