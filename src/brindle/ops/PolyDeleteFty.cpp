#include "brindle/ops/PolyDeleteFty.h"

#include <algorithm>

#include "brindle/edit/PolyEditableGeom.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyCompact.h"

// Abstract: no construction function.
const Tmetaclass TpolyDelComponentFty::sMetaclass("TpolyDelComponentFty", sizeof(TpolyDelComponentFty), nullptr, 0,
                                                  &TpolyRemoverFty::sMetaclass);
BRINDLE_DEFINE_MODIFIER_CLASS(TpolyDelEdgeFty, TpolyDelComponentFty);
BRINDLE_DEFINE_MODIFIER_CLASS(TpolyDelFacetFty, TpolyDelComponentFty);
BRINDLE_DEFINE_MODIFIER_CLASS(TpolyDelVertexFty, TpolyDelComponentFty);

namespace {
const TmodifierParamTable sEdgeParams(
    TpolyDelEdgeFty::sMetaclass, kPolyGrpEdge,
    {BRINDLE_MODIFIER_PARAM(
        TpolyDelEdgeFty, InternalMode,
        "0 delete, joining the faces; 1 collapse each edge to a point; 2 delete, with the ends left between two edges",
        0, 2)});
const TmodifierParamTable sFacetParams(TpolyDelFacetFty::sMetaclass, kPolyGrpFace, {});
const TmodifierParamTable sVertexParams(TpolyDelVertexFty::sMetaclass, kPolyGrpVertex, {});

template <typename Visit>
void forEachSet(const TbitFieldFixedN& bits, Visit&& visit) {
    for (uint32_t i = 0; i < bits.size(); ++i)
        if (bits.testBit(i)) visit(i);
}
}  // namespace

TpolyGeom* TpolyDelComponentFty::emptyLike(const TpolyGeom& geom) {
    auto* out = new TpolyGeom;
    Tstring name;
    for (uint32_t s = 0; s < geom.nbMapSet(); ++s)
        if (geom.mapName(s, name)) out->addLastMapSet(name);
    if (geom.getCurrentMap() >= 0) out->setCurrentMap(uint32_t(geom.getCurrentMap()));
    out->markDirty(dirtyAll);
    return out;
}

int TpolyDelComponentFty::action(TmidBody* body, TmidComponent* components) {
    const TpolyGrpType kind = selectionKind();
    int name = -1;
    if (!getActiveGrpName(body, components, kind, name)) return -1;
    TpolyGeom* geom = body->polyGeom();
    TbitFieldFixedN selected;
    if (geom->flagsFromGroup(kind, name, selected) < 0) return -1;
    const uint32_t counts[3] = {geom->nbVertex(), geom->nbEdge(), geom->nbFace()};

    TpolyEditableGeom edit(geom, TpolyEditableGeom::kModeAll);
    const bool remains = removeSelected(edit, selected);
    TuInt32Array localFaces(256);
    TpolyGeom* out = remains ? edit.convert(true, true, faceMap() ? faceMap() : &localFaces) : nullptr;
    if (out && out->faceDescLength() >= 3) {
        // The edits add no vertex and no edge, so the record's ids are still the old ones and the
        // hooks' renumberings are old id -> new id.
        handleUnusedEdges(out);
        handleUnusedVertices(out);
        TpolyCompact::removeUnusedUVs(*out);
        TpolyCompact::removeUnusedColors(*out);
        out->markDirty(dirtyAll);
    } else {
        delete out;
        out = emptyLike(*geom);
        for (int k = 0; k < 3; ++k)
            if (TuInt32Array* m = idMapper() ? idMapper()->map(TpolyGrpType(kPolyGrpVertex + k)) : nullptr) {
                m->changeLogicalSizeTo(counts[k]);
                std::fill(m->begin(), m->end(), TpolyBits::kNoId);
            }
    }
    changeIdMapperArraySizes(counts[0], counts[1], counts[2]);
    body->setMidBody(out);
    return 0;
}

bool TpolyDelEdgeFty::removeSelected(TpolyEditableGeom& edit, const TbitFieldFixedN& selected) {
    if (fMode == 1) {
        forEachSet(selected, [&](uint32_t e) { edit.collapseEdge(e); });
        edit.cleanupDegenerateFaces();
    } else {
        const bool cleanVertices = fMode != 0;
        forEachSet(selected, [&](uint32_t e) { edit.deleteEdge(e, cleanVertices); });
    }
    return true;
}

bool TpolyDelFacetFty::removeSelected(TpolyEditableGeom& edit, const TbitFieldFixedN& selected) {
    if (fCollapse) {
        forEachSet(selected, [&](uint32_t f) { edit.collapseFace(f); });
        edit.cleanupDegenerateFaces();
        return true;
    }
    // The editable geometry keeps its last face; a user deleting the whole selection of a record
    // means the whole object to go.
    if (selected.countSet() >= edit.faceCount()) return false;
    forEachSet(selected, [&](uint32_t f) { edit.deleteFace(f); });
    return true;
}

bool TpolyDelVertexFty::removeSelected(TpolyEditableGeom& edit, const TbitFieldFixedN& selected) {
    forEachSet(selected, [&](uint32_t v) { edit.deleteVertex(v); });
    return true;
}
