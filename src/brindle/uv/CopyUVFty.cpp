#include "brindle/uv/CopyUVFty.h"

#include <algorithm>
#include <vector>

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyCompact.h"
#include "brindle/uv/UvWork.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyCopyUVFty, TmidModifierFty);
BRINDLE_DEFINE_MODIFIER_CLASS(TpolyMapDelFty, TpolyUvSetFty);

namespace {
const TmodifierParamTable sCopyParams(
    TpolyCopyUVFty::sMetaclass, kPolyGrpFace,
    {BRINDLE_MODIFIER_PARAM(TpolyCopyUVFty, MapSetIn, "UV set copied from; -1 for the current set", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyCopyUVFty, MapSetOut, "UV set copied into; -1 for the current set", -1, 1)});
const TmodifierParamTable sDelParams(TpolyMapDelFty::sMetaclass, kPolyGrpFace, {});
}  // namespace

int TpolyCopyUVFty::action(TmidBody* body, TmidComponent* components) {
    if (fIn == fOut) return 0;
    std::vector<uint32_t> faces;
    if (!uvwork::activeIds(body, components, kPolyGrpFace, faces)) return -1;
    TpolyGeom& g = *body->polyGeom();
    const uint32_t in = uvwork::resolveSet(g, uint32_t(fIn)), out = uvwork::resolveSet(g, uint32_t(fOut));
    if (in == uvwork::kNone || out == uvwork::kNone) return -1;
    if (in == out) return 0;
    g.update(dirtyFaceOffsets);
    std::erase_if(faces, [&](uint32_t f) { return f >= g.nbFace(); });
    uvwork::fitIds(g, in);
    uvwork::fitIds(g, out);
    uvwork::copyFaceUVs(g, in, out, faces, false);
    TpolyCompact::removeUnusedUVs(g, out);
    return 0;
}

void TpolyMapDelFty::delUV(TpolyGeom* geom, const TbitFieldFixedN& faces, uint32_t s) {
    TpolyGeom& g = *geom;
    uvwork::fitIds(g, s);
    Tint32Array& ids = (*g.maps())[s].indexArray();
    const uint32_t n = std::min(faces.size(), g.nbFace());
    for (uint32_t f = 0; f < n; ++f)
        if (faces.testBit(f))
            for (uint32_t c = g.faceOffset(f), end = g.faceOffset(f + 1); c < end; ++c) ids[c] = -1;
    g.markDirty(dirtyMoved);
    TpolyCompact::removeUnusedUVs(g, s);
}

int TpolyMapDelFty::action(TmidBody* body, TmidComponent* components) {
    TpolyGeom* g = body ? body->polyGeom() : nullptr;
    if (!g || uvwork::namedSet(*g, fSet) == uvwork::kNone) return -1;
    TbitFieldFixedN faces;
    if (!uvwork::activeBits(body, components, kPolyGrpFace, faces)) return -1;
    g->update(dirtyFaceOffsets);
    delUV(g, faces, fSet);
    return 0;
}
