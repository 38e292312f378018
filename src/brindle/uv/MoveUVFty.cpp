#include "brindle/uv/MoveUVFty.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "brindle/base/Random.h"
#include "brindle/base/VectorMath.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyCompact.h"
#include "brindle/uv/UvWork.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyMoveUVFty, TpolyUvSetFty);
BRINDLE_DEFINE_MODIFIER_CLASS(TpolyForceUVFty, TmidModifierFty);

namespace {
const TmodifierParamTable sMoveParams(
    TpolyMoveUVFty::sMetaclass, kPolyGrpUV,
    {BRINDLE_MODIFIER_PARAM(TpolyMoveUVFty, TransU, "u translation", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveUVFty, TransV, "v translation", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveUVFty, PivotU, "u of the pivot", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveUVFty, PivotV, "v of the pivot", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveUVFty, ScaleU, "u scale about the pivot", 0.1, 2),
     BRINDLE_MODIFIER_PARAM(TpolyMoveUVFty, ScaleV, "v scale about the pivot", 0.1, 2),
     BRINDLE_MODIFIER_PARAM(TpolyMoveUVFty, XLen, "kept with the parameters", 0, 1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveUVFty, YLen, "kept with the parameters", 0, 1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveUVFty, Random, "amount of random variation per UV; 0 switches it off", 0, 1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveUVFty, RandomSeed, "seed of the random variation", 0, 1000),
     BRINDLE_MODIFIER_PARAM(TpolyMoveUVFty, RotationAngle, "rotation about the pivot, radians", -kPi, kPi)});
const TmodifierParamTable sForceParams(
    TpolyForceUVFty::sMetaclass, kPolyGrpFace,
    {BRINDLE_MODIFIER_PARAM(TpolyForceUVFty, MapSet, "UV set to work on; -1 for the current set", -1, 0),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyForceUVFty, PerformNormalize, performNormalize,
                                   "fit the UVs into the unit square"),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyForceUVFty, Collective, collective,
                                   "treat the faces together rather than each on its own"),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyForceUVFty, PreserveAspectRatio, preserveAspectRatio,
                                   "keep the aspect ratio when normalising"),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyForceUVFty, PerformFlip, performFlip, "mirror the UVs"),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyForceUVFty, LocalFlip, localFlip,
                                   "mirror about the box centre rather than about 0"),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyForceUVFty, VerticalFlip, verticalFlip, "mirror v rather than u")});
}  // namespace

int TpolyMoveUVFty::action(TmidBody* body, TmidComponent* components) {
    TpolyGeom* g = body ? body->polyGeom() : nullptr;
    if (!g) return -1;
    const uint32_t s = uvwork::resolveSet(*g, fSet);
    if (s == uvwork::kNone || g->nbUV(s) == 0) return -1;
    std::vector<uint32_t> ids;
    if (!uvwork::activeIds(body, components, kPolyGrpUV, ids)) return -1;
    std::erase_if(ids, [&](uint32_t id) { return id >= g->nbUV(s); });
    if (ids.empty()) return -1;
    srand48(fRandomSeed);
    T2FloatArray& uvs = (*g->maps())[s].uvArray();
    for (uint32_t id : ids) {
        const double r = 2.0 * (double(lrand48() >> 8) * 1.1920929e-7) - 1.0;
        const double k = fRandom != 0 ? fRandom * r + 1.0 : 1.0;
        const uvwork::TuvAffine move(fRotationAngle * k, (fScaleU - 1.0) * k + 1.0, (fScaleV - 1.0) * k + 1.0,
                                     fPivotU + k * fTransU, fPivotV + k * fTransV);
        float out[2];
        move.apply(double(uvs[id].u) - fPivotU, double(uvs[id].v) - fPivotV, out);
        uvs[id] = {out[0], out[1]};
    }
    g->markDirty(dirtyMoved);
    return 0;
}

namespace {

using uvwork::TuvBox;

// The distinct UVs used by a run of faces and their box.
void collectUVs(const TpolyGeom& g, const Tint32Array& ids, const T2FloatArray& uvs, const uint32_t* faces, size_t n,
                std::vector<uint32_t>& used, std::vector<bool>& seen, TuvBox& box) {
    used.clear();
    for (size_t k = 0; k < n; ++k)
        for (uint32_t c = g.faceOffset(faces[k]), end = g.faceOffset(faces[k] + 1); c < end; ++c) {
            const int32_t id = ids[c];
            if (id < 0 || uint32_t(id) >= uvs.size() || seen[uint32_t(id)]) continue;
            seen[uint32_t(id)] = true;
            used.push_back(uint32_t(id));
            box.add(uvs[uint32_t(id)]);
        }
    for (uint32_t id : used) seen[id] = false;
}

}  // namespace

int TpolyForceUVFty::action(TmidBody* body, TmidComponent* components) {
    std::vector<uint32_t> faces;
    if (!uvwork::activeIds(body, components, kPolyGrpFace, faces)) return -1;
    if (!performNormalize() && !performFlip()) return -1;
    TpolyGeom& g = *body->polyGeom();
    const uint32_t s = uvwork::resolveSet(g, uint32_t(fMapSet));
    if (s == uvwork::kNone) return -1;
    g.update(dirtyFaceOffsets);
    std::erase_if(faces, [&](uint32_t f) { return f >= g.nbFace(); });
    uvwork::fitIds(g, s);
    uvwork::copyFaceUVs(g, s, s, faces, !collective());
    TpolyMap& map = (*g.maps())[s];
    T2FloatArray& uvs = map.uvArray();
    std::vector<uint32_t> used;
    std::vector<bool> seen(uvs.size(), false);
    // One box over every face when collective, else one per face; each box's UVs are the face's
    // own after the extraction, so moving them moves no other face.
    const size_t runs = collective() ? (faces.empty() ? 0 : 1) : faces.size();
    for (size_t r = 0; r < runs; ++r) {
        const size_t n = collective() ? faces.size() : 1;
        TuvBox box;
        collectUVs(g, map.indexArray(), uvs, faces.data() + r, n, used, seen, box);
        if (box.empty()) continue;
        const double cu = (box.lo[0] + box.hi[0]) / 2, cv = (box.lo[1] + box.hi[1]) / 2;
        if (performNormalize()) {
            const double du = box.hi[0] - box.lo[0], dv = box.hi[1] - box.lo[1];
            double su = 1 / (du > 0 ? du : 1), sv = 1 / (dv > 0 ? dv : 1);
            if (preserveAspectRatio()) su = sv = std::min(su, sv);
            for (uint32_t id : used) uvs[id] = {float((uvs[id].u - cu) * su + 0.5), float((uvs[id].v - cv) * sv + 0.5)};
        } else {
            const double pu = localFlip() ? cu : 0, pv = localFlip() ? cv : 0;
            for (uint32_t id : used) {
                if (verticalFlip())
                    uvs[id].v = float(2 * pv - uvs[id].v);
                else
                    uvs[id].u = float(2 * pu - uvs[id].u);
            }
        }
    }
    g.markDirty(dirtyMoved);
    TpolyCompact::removeUnusedUVs(g, s);
    return 0;
}
