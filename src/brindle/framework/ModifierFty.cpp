#include "brindle/framework/ModifierFty.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "brindle/framework/MidBody.h"
#include "brindle/framework/MidComponent.h"
#include "brindle/geom/PolyGeom.h"

namespace {
using TkeptGroups = std::vector<std::pair<uint32_t, TpolyGrpDesc>>;

// Replaces the record's current groups (name -1) by the kept ones, each at its old index.
void restoreCurrentGroups(TpolyGeom& geom, const TkeptGroups& kept) {
    TobjArray<TpolyGrpDesc>& groups = geom.grp()->fGroups;
    for (uint32_t i = groups.size(); i-- > 0;)
        if (groups[i].fName == -1) groups.removeAt(i, 1);
    // Ascending indices: each reinsertion puts the group back where it stood.
    for (const auto& [index, desc] : kept) groups.insert(std::min(index, groups.size()), desc);
}
}  // namespace

const Tmetaclass TmidModifierFty::sMetaclass("TmidModifierFty", sizeof(TmidModifierFty), nullptr, 0, nullptr);

void TmidModifierFty::prepareForAction(const TmidBody* body) {
    if (body && body->polyGeom() && !reusableTriangles())
        const_cast<TpolyGeom*>(body->polyGeom())->setReusableTriangles(false);
}

int TmidModifierFty::doAction(TmidBody* body, TmidComponent* components) {
    prepareForAction(body);
    // An action names its selection by making it the current group of its kind, often before it
    // knows whether it can run; the current groups are kept so that a refusal leaves the group
    // table as it found it.
    TpolyGeom* geom = body ? body->polyGeom() : nullptr;
    TkeptGroups current;
    if (geom)
        for (uint32_t i = 0; i < geom->nbGroup(); ++i)
            if (geom->groupConst(i).fName == -1) current.emplace_back(i, geom->groupConst(i));
    int result = action(body, components);
    if (result != 0) {
        if (geom && body->polyGeom() == geom) restoreCurrentGroups(*geom, current);
        return result;
    }
    if (!shouldClearCurrGroups()) return result;
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

bool TmidModifierFty::getActiveGrpName(TmidBody* body, TmidComponent* components, TpolyGrpType kind, int& name) {
    TpolyGeom* geom = body ? body->polyGeom() : nullptr;
    if (!geom) return false;
    if (!components) {
        const int32_t g = geom->findGrp(-1, kind);
        if (g < 0 || geom->grpIsEmpty(uint32_t(g))) return false;
        name = -1;
        return true;
    }
    if (components->midCompType() != kind) return false;
    if (!geom->hasObjectGroup(-1, kind)) geom->endGroup(geom->appendGrp(-1, kind, 32));
    geom->setObjectGroupComponent(-1, kind, *components);
    name = -1;
    return true;
}

namespace {
// Runs convert with uvSet as the record's current UV set (when it names a set), then puts the
// previous current set back (when it still names one).
template <typename Convert>
auto withCurrentUVSet(TpolyGeom& geom, uint32_t uvSet, Convert&& convert) {
    const int32_t previous = geom.getCurrentMap();
    if (uvSet < geom.nbMapSet()) geom.setCurrentMap(uvSet);
    auto result = convert();
    if (previous >= 0 && uint32_t(previous) < geom.nbMapSet()) geom.setCurrentMap(uint32_t(previous));
    return result;
}
}  // namespace

void TmidModifierFty::convertFace2UV(TpolyGeom* geom, const TbitFieldFixedN& faceBits, TbitFieldFixedN& uvBits,
                                     int convertMode, uint32_t uvSet) {
    if (!geom) return;
    withCurrentUVSet(*geom, uvSet, [&] { return geom->groupFace2UV(faceBits, uvBits, convertMode); });
}

int TmidModifierFty::convertFace2UV(TpolyGeom* geom, int first, int second, int convertMode, uint32_t uvSet) {
    if (!geom) return 0;
    return withCurrentUVSet(*geom, uvSet, [&] { return int(geom->groupFace2UV(first, second, convertMode)); });
}
