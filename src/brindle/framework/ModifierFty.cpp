#include "brindle/framework/ModifierFty.h"

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"

void TmidModifierFty::prepareForAction(const TmidBody* body) {
    if (body && body->polyGeom() && !reusableTriangles())
        const_cast<TpolyGeom*>(body->polyGeom())->setReusableTriangles(false);
}

int TmidModifierFty::doAction(TmidBody* body, TmidComponent* components) {
    prepareForAction(body);
    int result = action(body, components);
    if (result != 0 || !shouldClearCurrGroups()) return result;
    if (body && body->polyGeom()) removeCurrentGroups(body->polyGeom());
    return result;
}

// One entry per kind at most, searched from the end of the table: the latest current group of
// that kind, or an untyped one, which the first kind to reach it takes.
void TmidModifierFty::removeCurrentGroups(TpolyGeom* geom) {
    TobjArray<TpolyGrpDesc>& groups = geom->grp()->fGroups;
    for (TpolyGrpType kind : {kPolyGrpVertex, kPolyGrpEdge, kPolyGrpFace, kPolyGrpUV}) {
        for (uint32_t i = groups.size(); i-- > 0;) {
            const TpolyGrpDesc& g = groups[i];
            if (g.fName == -1 && (g.fType == kind || g.fType == kPolyGrpNone)) {
                groups.removeAt(i, 1);
                break;
            }
        }
    }
}
