#include "brindle/ops/PolyCreaseEdgeFty.h"

#include <algorithm>

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyReferenceFrame.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyCreaseEdgeFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(
    TpolyCreaseEdgeFty::sMetaclass, kPolyGrpEdge,
    {BRINDLE_MODIFIER_PARAM(TpolyCreaseEdgeFty, Matrix,
                            "reference frame; after an action with a non-identity matrix it holds the inverse")});
}  // namespace

int TpolyCreaseEdgeFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpEdge, name)) return -1;
    TpolyGeom* geom = body->polyGeom();
    TpolyReferenceFrame frame;
    if (!frame.enter(geom, fMatrix, true)) return -1;
    if (!fValues) return 0;

    const uint32_t n = std::min(fValues->size(), geom->nbEdge());
    TbitFieldFixedN bits(geom->nbEdge());
    TuInt32Array edges(256);
    TdoubleArray values(256);
    for (uint32_t e = 0; e < n; ++e)
        if ((*fValues)[e] >= 0) {
            bits.setBit(e);
            edges.addLast(e);
            values.addLast((*fValues)[e]);
        }
    geom->flagsToGroup(kPolyGrpEdge, name, bits);
    // The record's crease writer merges in increasing edge id: the new values replace the stored
    // ones of the same edges, and a crease group made here starts with exactly these members.
    geom->setCreaseEdges(edges, values);
    return 0;
}
