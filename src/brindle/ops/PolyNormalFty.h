#pragma once

#include <cstdint>

#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/framework/ModifierFty.h"

class TpolyGeom;

// Turns faces over. Mode 0 (and any mode outside 1..4) reverses the selected faces; 1 conforms
// each connected shell reached from the selection to the orientation of its first selected face;
// 2 conforms each shell to the orientation most of its faces have (a tie keeps the first face's);
// 3 detaches the selected faces from the rest, then reverses them; 4 extends the selection to
// whole shells, then reverses them. A reversed face runs through the same corners the other way
// round, each corner keeping its UVs, colours and (negated) user normal; an edge left with an
// empty side becomes hard.
class BRINDLE_API TpolyNormalFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolyNormalFty() = default;
    TpolyNormalFty(const TpolyNormalFty&) = default;
    TpolyNormalFty& operator=(const TpolyNormalFty&) = default;

    short NormalMode() const { return fMode; }
    void setNormalMode(short m) { fMode = m; }

    // Reverses every face of the face group of that name (the last group of that name of the
    // face kind or of no kind); nothing happens when there is none.
    static void reverseNormal(TpolyGeom* geom, int groupName);
    // Gives the faces set in faces vertices and edges of their own where they touch the other
    // faces: a shared vertex or edge is copied (with its hard flag, groups, crease value and blind
    // data) and the selected faces' corners move to the copy. UVs and colours stay per corner.
    static void detachFaces(TpolyGeom* geom, const TbitFieldFixedN& faces);

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    // Modes 1 and 2: the faces of the group's shells whose orientation disagrees with the rule.
    static void conformFlags(TpolyGeom* geom, int groupName, bool majority, TbitFieldFixedN& flagged);

    short fMode = 0;
};
