#include "brindle/ops/PolySubdEdgeFty.h"

#include <cmath>
#include <utility>
#include <vector>

#include "brindle/edit/PolyEditableGeom.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolySubdEdgeFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(
    TpolySubdEdgeFty::sMetaclass, kPolyGrpEdge,
    {BRINDLE_MODIFIER_PARAM(TpolySubdEdgeFty, Divisions, "new vertices per edge; below 1 the action refuses", 1, 8),
     BRINDLE_MODIFIER_PARAM(TpolySubdEdgeFty, Size, "shortest allowed piece; 0 or less switches the limit off", 0, 1),
     BRINDLE_MODIFIER_PARAM(TpolySubdEdgeFty, Matrix, "frame in which edge lengths are measured")});

// The editable geometry places split points by float fractions that must stay apart, so an edge is
// cut into at most this many pieces; an edge asking for more stays whole.
constexpr int kMaxPieces = 1 << 16;

// New vertices for an edge of length length: divisions, lowered so that no piece is shorter than
// size (a size of 0 or less, or NaN, sets no limit; a NaN length keeps divisions).
int newVertexCount(int divisions, double size, double length) {
    if (!(length / (divisions + 1.0) < size)) return divisions;
    // Here length / size < divisions + 1, so the count stays below divisions.
    return int(length / size - 1.0);
}
}  // namespace

int TpolySubdEdgeFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    if (fDivisions < 1 || !getActiveGrpName(body, components, kPolyGrpEdge, name)) return -1;
    TpolyGeom* geom = body->polyGeom();
    TbitFieldFixedN selected;
    if (geom->flagsFromGroup(kPolyGrpEdge, name, selected) <= 0) return -1;

    // Counts are settled on the untouched record: the editable geometry writes edge ends through
    // into it as it splits.
    const T4dFltMatrix frame = fMatrix.toFlt();
    std::vector<std::pair<uint32_t, uint32_t>> cuts;
    for (uint32_t e = 0; e < geom->nbEdge(); ++e) {
        if (!selected.testBit(e)) continue;
        const T3dFltPoint a = frame.transformPoint(geom->vertexConst(geom->startVertex(e)));
        const T3dFltPoint b = frame.transformPoint(geom->vertexConst(geom->endVertex(e)));
        const double dx = double(b.x) - a.x, dy = double(b.y) - a.y, dz = double(b.z) - a.z;
        const int n = newVertexCount(fDivisions, fSize, std::sqrt(dx * dx + dy * dy + dz * dz));
        if (n > 0 && n < kMaxPieces) cuts.emplace_back(e, uint32_t(n));
    }
    if (cuts.empty()) return 0;

    TpolyEditableGeom edit(geom, TpolyEditableGeom::kModeAll);
    for (const auto& [e, n] : cuts) edit.splitEdge(e, nullptr, nullptr, nullptr, n, false);
    // The editable geometry carries user normals corner by corner, interpolating them at the new
    // corners; without user normals the normals are left to be recomputed on demand.
    body->setMidBody(edit.convert(true, geom->hasUserNormals(), nullptr));
    return 0;
}
