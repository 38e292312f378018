#include "brindle/ops/PolyMoveFacetFty.h"

#include "brindle/base/VectorMath.h"
#include "brindle/ops/ModifierRegistry.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyMoveEdgeFty, TpolyMoveVertexFty);
BRINDLE_DEFINE_MODIFIER_CLASS(TpolyMoveFacetFty, TpolyMoveEdgeFty);

namespace {
const TmodifierParamTable sEdgeParams(
    TpolyMoveEdgeFty::sMetaclass,
    {BRINDLE_MODIFIER_PARAM(TpolyMoveEdgeFty, LRotate, "rotation in each component's own frame, radians", -kPi, kPi),
     BRINDLE_MODIFIER_PARAM(TpolyMoveEdgeFty, LScale,
                            "scale in each component's own frame; 1 1 1 is neutral, 0 0 0 after construction", 0, 2),
     BRINDLE_MODIFIER_PARAM(TpolyMoveEdgeFty, LocalCen, "centre of each component's own frame", 0, 2)});
const TmodifierParamTable sFacetParams(
    TpolyMoveFacetFty::sMetaclass,
    {BRINDLE_MODIFIER_PARAM(TpolyMoveFacetFty, Offset,
                            "inset distance of each face in its own plane; positive shrinks the face", -0.1, 0.1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveFacetFty, Weight, "weight of the attraction toward Magnet", 0, 1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveFacetFty, Gravity, "direction of the face-move attraction", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveFacetFty, Attraction, "strength of the face-move attraction", 0, 1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveFacetFty, Magnet, "point the face move is attracted to", -1, 1)});
}  // namespace
