#include "brindle/ops/PolyPokeFty.h"

#include <vector>

#include "brindle/base/VectorMath.h"
#include "brindle/edit/PolyEditableGeom.h"
#include "brindle/framework/MidBody.h"
#include "brindle/framework/MidComponent.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyFaceQuery.h"
#include "brindle/ops/PolySubdFacetFty.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyPokeFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(TpolyPokeFty::sMetaclass, kPolyGrpFace, {BRINDLE_MODIFIER_PARAM(TpolyPokeFty, Translate),
                                                             BRINDLE_MODIFIER_PARAM(TpolyPokeFty, LocalTrans),
                                                             BRINDLE_MODIFIER_PARAM(TpolyPokeFty, Matrix),
                                                             BRINDLE_MODIFIER_PARAM(TpolyPokeFty, Zelto70)});

// A face's frame in record coordinates; an axis that cannot be built (no normal, a first edge of
// no length) is zero, so that it adds nothing to a local offset.
struct TfaceFrame {
    T3dDblVector origin, x, y, z;

    explicit TfaceFrame(const TpolyGeom& geom, uint32_t face) {
        const uint32_t o = geom.faceOffset(face);
        origin = T3dDblVector(TpolyFaceQuery::getFaceCenterFromOffset(geom, o, kFaceInfoOutlineCentre));
        T4dFltVector n;
        if (geom.faceNormalFromOffset(o, n) && n.normalize()) z = T3dDblVector(n);
        const T3dDblVector edge = T3dDblVector(geom.vertexConst(geom.getEndVertex(o))) -
                                  T3dDblVector(geom.vertexConst(geom.getStartVertex(o)));
        if (const double l = length(edge); l > 0) x = edge * (1 / l);
        y = cross(z, x);
    }
    bool complete() const { return dot(z, z) > 0 && dot(x, x) > 0; }
    T3dDblVector offset(const T3dDblPoint& local) const { return x * local.x + y * local.y + z * local.z; }
};

uint32_t outerCorners(const TpolyGeom& geom, uint32_t face) {
    const uint32_t first = geom.faceOffset(face), end = geom.faceOffset(face + 1);
    uint32_t o = first;
    while (o + 1 < end && !geom.endOfLoop(o)) ++o;
    return o + 1 - first;
}

// Whether a list names at least one face of a record of nbFace faces.
bool namesAFace(const TmidComponent& list, uint32_t nbFace) {
    for (uint32_t id : list)
        if (id < nbFace) return true;
    return false;
}

// The fan of each face set in faces (the triangle mode of the face division, one centre vertex per
// face in id order), the centres then placed at centres[k] for the k-th face.
void fanFaces(TpolyGeom& geom, const TbitFieldFixedN& faces, const std::vector<T3dFltPoint>& centres) {
    if (centres.empty()) return;
    const int32_t group = geom.getFreeTmpGrpName();
    geom.flagsToGroup(kPolyGrpFace, group, faces);
    const uint32_t first = geom.nbVertex();
    TpolySubdFacetFty::subdFacet(&geom, group, 1);
    geom.removeGroup(group, kPolyGrpFace);
    for (uint32_t k = 0; k < centres.size(); ++k) geom.setVertex(first + k, centres[k]);
}

// Cuts a face of n outer corners c0 .. c(n-1) into a fan: c0 to c(n/2) through one new vertex
// placed at centre, then c1 .. c(n/2 - 1) to it within the piece that kept the face's id and
// c(n/2 + 1) .. c(n-1) within the other. Each cut takes one triangle off its piece, so the pieces
// shrink to the last two triangles.
void cutFan(TpolyEditableGeom& edit, uint32_t face, const T3dFltPoint& centre, const T3dFltPointArray& noPoints,
            std::vector<uint32_t>& corners) {
    TfaceNode* node = edit.faceIfExists(face);
    if (!node) return;
    uint32_t first = 0, end = 0;
    node->loopBounds(0, first, end);
    corners.clear();
    for (uint32_t k = first; k < end; ++k) corners.push_back(edit.getStartVertexInFace(*node, k));
    const uint32_t n = uint32_t(corners.size()), half = n / 2;
    if (edit.splitAFace(corners[0], -1, corners[half], -1, noPoints, false, 1, int32_t(face), -1) < 0) return;
    const uint32_t c = edit.vertexCount() - 1, other = edit.lastFaceId();
    edit.setVertex(c, centre);
    for (uint32_t k = 1; k < n; ++k)
        if (k != half) edit.splitAFace(corners[k], -1, c, -1, noPoints, false, 0, int32_t(k < half ? face : other), -1);
}
}  // namespace

bool TpolyPokeFty::faceMatrix(const TpolyGeom& geom, uint32_t face, T4dFltVector& normal, T4dDblMatrix& out) {
    out = T4dDblMatrix();
    const TfaceFrame frame(geom, face);
    normal = frame.z.vector();
    if (!frame.complete()) return false;
    const T3dDblVector rows[4] = {frame.x, frame.y, frame.z, frame.origin};
    for (int r = 0; r < 4; ++r) {
        out.m[r][0] = rows[r].x;
        out.m[r][1] = rows[r].y;
        out.m[r][2] = rows[r].z;
    }
    return true;
}

int TpolyPokeFty::action(TmidBody* body, TmidComponent* components) {
    TpolyGeom* geom = body ? body->polyGeom() : nullptr;
    if (!geom) return -1;
    geom->update(dirtyFaceOffsets);
    // Everything that can refuse is tested before the list becomes the current face group.
    T4dDblMatrix inverse = fMatrix;
    const bool framed = !fMatrix.isIdentity();
    if (framed && !inverse.invertIt()) return -1;
    if (components && !namesAFace(*components, geom->nbFace())) return -1;
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpFace, name)) return -1;
    TbitFieldFixedN selected;
    if (geom->flagsFromGroup(kPolyGrpFace, name, selected) <= 0) return -1;

    if (framed) geom->toReference(fMatrix, false, true);
    const uint32_t v0 = geom->nbVertex(), nbFace = geom->nbFace();
    // The fanned faces (the triangles, or every face without Zelto70) with their centres' final
    // places, and the faces to cut with theirs.
    TbitFieldFixedN fanned(nbFace);
    std::vector<T3dFltPoint> fanCentres;
    std::vector<std::pair<uint32_t, T3dFltPoint>> cuts;
    for (uint32_t f = 0; f < nbFace; ++f) {
        if (!selected.testBit(f)) continue;
        const uint32_t n = outerCorners(*geom, f);
        if (n < 3) continue;
        const TfaceFrame frame(*geom, f);
        const T3dDblVector centre =
            n == 3
                ? T3dDblVector(TpolyFaceQuery::getFaceCenterFromOffset(*geom, geom->faceOffset(f), kFaceInfoCornerMean))
                : frame.origin;
        const T3dFltPoint placed = (centre + frame.offset(fLocalTrans)).point();
        if (n == 3 || !fZelto70) {
            fanned.setBit(f);
            fanCentres.push_back(placed);
        } else {
            cuts.emplace_back(f, placed);
        }
    }

    TpolyGeom* result = geom;
    if (!cuts.empty()) {
        TpolyEditableGeom edit(geom, TpolyEditableGeom::kModeBasic);
        const T3dFltPointArray noPoints(1);
        std::vector<uint32_t> corners;
        for (const auto& [face, centre] : cuts) cutFan(edit, face, centre, noPoints, corners);
        result = edit.convert(true, true, nullptr);
    }
    // Cutting only appends faces, so the fanned faces keep their ids in the converted record.
    fanFaces(*result, fanned, fanCentres);
    const T3dFltPoint shift = T3dDblVector(fTranslate).point();
    for (uint32_t v = v0; v < result->nbVertex(); ++v) result->setVertex(v, result->vertexConst(v) + shift);
    result->markDirty(dirtyMoved);
    if (framed) {
        result->toReference(inverse, false, true);
        fMatrix = inverse;
    }
    if (result != geom) body->setMidBody(result);
    return 0;
}
