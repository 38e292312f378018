#pragma once

#include "brindle/base/Export.h"
#include "brindle/framework/MidComponent.h"

class TmidBody;

// Every ordered pair of different list kinds, as (source class, source kind, target class, target
// kind) with the kinds named as in the record's group conversions.
#define BRINDLE_MID_COMP_PAIRS_FROM(X, S, From) \
    X(S, From, TmidVertComponent, Vertex)       \
    X(S, From, TmidEdgeComponent, Edge)         \
    X(S, From, TmidFaceComponent, Face) X(S, From, TmidMapComponent, UV) X(S, From, TmeshVtxFaceComponent, VF)
#define BRINDLE_MID_COMP_PAIRS(X)                             \
    BRINDLE_MID_COMP_PAIRS_FROM(X, TmidVertComponent, Vertex) \
    BRINDLE_MID_COMP_PAIRS_FROM(X, TmidEdgeComponent, Edge)   \
    BRINDLE_MID_COMP_PAIRS_FROM(X, TmidFaceComponent, Face)   \
    BRINDLE_MID_COMP_PAIRS_FROM(X, TmidMapComponent, UV)      \
    BRINDLE_MID_COMP_PAIRS_FROM(X, TmeshVtxFaceComponent, VF)

// Turns a list of one kind into the list of another kind over a body's record, through the
// record's group conversions (convertMode 0 all, 1 any, 2 boundary). The target is emptied first
// and stays empty for an empty source, a null body, a body without record, and, for conversions
// to or from UV points, a record whose current UV set is missing or has no points. Same-kind
// pairs are no conversion and have no overload.
class BRINDLE_API TmidCompConvert {
public:
#define BRINDLE_DECLARE_MID_COMP_CONVERT(S, From, D, To) \
    static void convert(TmidBody* body, const S& source, D& target, int convertMode);
    BRINDLE_MID_COMP_PAIRS(BRINDLE_DECLARE_MID_COMP_CONVERT)
#undef BRINDLE_DECLARE_MID_COMP_CONVERT
    // With filter true, the target then loses the components that fail TpolyGeom::testItem(id, kind, 0).
    static void convert(TmidBody* body, const TmidVertComponent& source, TmidEdgeComponent& target, int convertMode,
                        bool filter);
    static void convert(TmidBody* body, const TmidVertComponent& source, TmidFaceComponent& target, int convertMode,
                        bool filter);
    static void convert(TmidBody* body, const TmidMapComponent& source, TmidVertComponent& target, int convertMode,
                        bool filter);
};
