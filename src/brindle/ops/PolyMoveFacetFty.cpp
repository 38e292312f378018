#include "brindle/ops/PolyMoveFacetFty.h"

#include "brindle/ops/ModifierRegistry.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyMoveEdgeFty, TpolyMoveVertexFty);
BRINDLE_DEFINE_MODIFIER_CLASS(TpolyMoveFacetFty, TpolyMoveEdgeFty);

namespace {
const TmodifierParamTable sEdgeParams(TpolyMoveEdgeFty::sMetaclass,
                                      {BRINDLE_MODIFIER_PARAM(TpolyMoveEdgeFty, LRotate),
                                       BRINDLE_MODIFIER_PARAM(TpolyMoveEdgeFty, LScale),
                                       BRINDLE_MODIFIER_PARAM(TpolyMoveEdgeFty, LocalCen)});
const TmodifierParamTable sFacetParams(TpolyMoveFacetFty::sMetaclass,
                                       {BRINDLE_MODIFIER_PARAM(TpolyMoveFacetFty, Offset),
                                        BRINDLE_MODIFIER_PARAM(TpolyMoveFacetFty, Weight),
                                        BRINDLE_MODIFIER_PARAM(TpolyMoveFacetFty, Gravity),
                                        BRINDLE_MODIFIER_PARAM(TpolyMoveFacetFty, Attraction),
                                        BRINDLE_MODIFIER_PARAM(TpolyMoveFacetFty, Magnet)});
}  // namespace
