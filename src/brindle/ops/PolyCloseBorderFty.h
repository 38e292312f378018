#pragma once

#include "brindle/base/Export.h"
#include "brindle/framework/ModifierFty.h"

class TpolyGeom;

// Fills holes: every selected border edge leads round its border loop, and each loop that can be
// followed back to its first edge through 2-manifold edges and vertices gets one new face,
// appended after the existing ones and oriented so that each of its edges is used the other way
// round by the face already there; a slit (a loop of two edges between the same two vertices)
// bounds no polygon and stays open. Afterwards the edge selection holds exactly the edges that
// were closed. The new faces take UVs from their neighbours (closeUV); their colours are unset.
class BRINDLE_API TpolyCloseBorderFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolyCloseBorderFty() = default;
    TpolyCloseBorderFty(const TpolyCloseBorderFty&) = default;
    TpolyCloseBorderFty& operator=(const TpolyCloseBorderFty&) = default;

    // Gives each face of the face group of that name, in each UV set where it is unmapped, the
    // UV ids its neighbours use at its corners: corner by corner, across the edge leaving the
    // corner, the UV of the mapped face on the other side at that vertex. A face keeps no UVs in
    // a set where some corner finds none (a border edge, a non-manifold edge, an unmapped
    // neighbour).
    void closeUV(TpolyGeom* geom, int faceGroupName);

protected:
    int action(TmidBody* body, TmidComponent* components) override;
};
