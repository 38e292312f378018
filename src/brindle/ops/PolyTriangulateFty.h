#pragma once

#include <cstdint>

#include "brindle/base/Export.h"
#include "brindle/framework/ModifierFty.h"

class TbdDataPtrArray;
class TpolyGeom;

// Replaces each selected face by the triangles of the record's cached triangulation. A triangle
// side that is an edge of the face reuses that edge in the face's direction; every other side is
// a diagonal, made once as a new soft edge and shared by the two triangles beside it. Corners keep
// the UV, colour and user-normal ids of the face corners they come from, and the pieces of a face
// take its face normal, groups and blind data. Faces whose triangulation is the marked fallback
// fan, or would join a vertex to itself, stay as they are.
class BRINDLE_API TpolyTriangulateFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolyTriangulateFty() = default;
    TpolyTriangulateFty(const TpolyTriangulateFty&) = default;
    TpolyTriangulateFty& operator=(const TpolyTriangulateFty&) = default;

    // Triangulates the faces of the face group named group (0: every face); blindData, when
    // given, is a list of face blind-data elements that follow the faces like the record's own.
    // With recompute the triangulation of every face is redone first, otherwise the cached one is
    // brought up to date. Answers the number of faces replaced; 0 leaves the record untouched
    // (nothing to do, or the group is missing).
    static uint32_t triangulateTopo(TpolyGeom* geom, int group, TbdDataPtrArray* blindData, bool recompute);

protected:
    // The current face selection; -1 without one.
    int action(TmidBody* body, TmidComponent* components) override;
};
