#include "brindle/ops/PolySoftEdgeFty.h"

#include <cmath>

#include "brindle/base/VectorMath.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyReferenceFrame.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolySoftEdgeFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(
    TpolySoftEdgeFty::sMetaclass, kPolyGrpEdge,
    {BRINDLE_MODIFIER_PARAM(TpolySoftEdgeFty, Angle,
                            "radians: edges whose faces meet at less than this become soft, the others hard", 0, kPi),
     BRINDLE_MODIFIER_PARAM(TpolySoftEdgeFty, Matrix,
                            "reference frame; after an action with a non-identity matrix it holds the inverse")});

// Number of faces on one side of an edge: none, one, or the length of its non-manifold run.
uint32_t facesOnSide(const TpolyTopo& topo, uint32_t word) {
    if (word == TpolyBits::kNoFace) return 0;
    if (TpolyTopo::isSingleFace(word)) return 1;
    uint32_t n = 1;
    for (uint32_t i = word & TpolyTopo::kRunIndexMask; !topo.isEdgeEnd(i); ++i) ++n;
    return n;
}
}  // namespace

void TpolySoftEdgeFty::smoothGroup(TpolyGeom* geom, int edgeGroup, float angle) {
    if (!geom) return;
    TuInt32Array saved(256);
    geom->startChangeSmoothing(saved);
    geom->update(dirtyFaceOffsets | dirtyEdgeToFace | dirtyFaceNormalize);
    const float c = std::cos(angle);
    const int32_t g = geom->findGrp(edgeGroup, kPolyGrpEdge);
    const TsingleIndexedComponent* list = g >= 0 ? geom->group(uint32_t(g)).singleItems() : nullptr;
    // A group naming no edge of the record is empty too (its smallest id is already beyond).
    if (!list || list->elementCount() == 0 || *list->begin() >= geom->nbEdge()) return;
    const TpolyTopo& topo = *geom->topo();
    const bool openHard = c > 0;
    for (uint32_t e : *list) {
        if (e >= geom->nbEdge()) break;
        const TpolyWingEdge& w = geom->getEdgeFace(e);
        const uint32_t left = facesOnSide(topo, w.side[kLeft]), right = facesOnSide(topo, w.side[kRight]);
        bool hard;
        if (left + right != 2)
            hard = left + right == 0 || openHard;
        else if (left != 1)
            hard = true;  // both faces use the edge the same way
        else {
            const T3dFltPoint& a = geom->faceNormalConst(w.side[kLeft]);
            const T3dFltPoint& b = geom->faceNormalConst(w.side[kRight]);
            hard = c + 1e-5f >= a.x * b.x + a.y * b.y + a.z * b.z;
        }
        geom->setSmoothing(e, hard);
    }
    geom->update(dirtyVertexToEdge);
    geom->markDirty(dirtyMoved | dirtyHardness);
    geom->endChangeSmoothing(saved);
}

int TpolySoftEdgeFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpEdge, name)) return -1;
    if (fAngle > kPi) fAngle = kPi;
    TpolyGeom* geom = body->polyGeom();
    TpolyReferenceFrame frame;
    if (!frame.enter(geom, fMatrix, true)) return -1;
    smoothGroup(geom, name, float(fAngle));
    return 0;
}
