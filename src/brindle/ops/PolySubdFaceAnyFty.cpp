#include "brindle/ops/PolySubdFaceAnyFty.h"

#include <vector>

#include "brindle/edit/PolyEditableGeom.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolySubdFaceAnyFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(
    TpolySubdFaceAnyFty::sMetaclass, kPolyGrpFace,
    {BRINDLE_MODIFIER_PARAM(TpolySubdFaceAnyFty, Divisions,
                            "new vertices on each edge of a divided face; 0 or less refuses", 1, 6)});

// Grid points of one face by two integer coordinates in [0, n], n the number of pieces per side:
// (u, v) for a quad, (b, c) of the barycentric (n - b - c, b, c) for a triangle.
class Tgrid {
public:
    explicit Tgrid(uint32_t n) : fN(n), fIds((n + 1) * (n + 1), TpolyBits::kNoId) {}
    uint32_t& at(uint32_t i, uint32_t j) { return fIds[i * (fN + 1) + j]; }

private:
    uint32_t fN;
    std::vector<uint32_t> fIds;
};

// Cuts from vertex a to vertex b through `inner` evenly spaced new vertices; answers the id of the
// first of them (they are made in order from a), or -1 when the face refuses the cut.
int64_t cut(TpolyEditableGeom& edit, uint32_t a, uint32_t b, uint32_t inner, int32_t face) {
    static const T3dFltPointArray kNoPoints;
    const uint32_t first = edit.vertexCount();
    return edit.splitAFace(a, -1, b, -1, kNoPoints, false, inner, face, 0) < 0 ? -1 : int64_t(first);
}

// Cuts one face whose sides now hold n pieces each, starting at the corner at vertex v0. The first
// family of cuts keeps the uncut rest under the face's own id (the piece from the cut's start
// along the boundary to its end), so it is cut by id; the later families join neighbouring grid
// points inside one strip each, whose face is found from the two ends.
void cutGrid(TpolyEditableGeom& edit, uint32_t face, uint32_t v0, uint32_t sides, uint32_t n) {
    TfaceNode& f = edit.face(face);
    if (f.faceOrder() != 1 || f.fCount != sides * n) return;
    const uint32_t r = edit.findVertexInFace(f, v0);
    if (r == TpolyBits::kNoId) return;
    std::vector<uint32_t> ring(f.fCount);
    for (uint32_t k = 0; k < f.fCount; ++k) ring[k] = edit.getStartVertexInFace(f, (r + k) % f.fCount);
    const uint32_t inner = n - 1;
    Tgrid g(n);
    if (sides == 4) {
        // Side 0 is v = 0 with u rising, side 1 u = n, side 2 v = n with u falling, side 3 u = 0.
        for (uint32_t k = 0; k < n; ++k) {
            g.at(k, 0) = ring[k];
            g.at(n, k) = ring[n + k];
            g.at(n - k, n) = ring[2 * n + k];
            g.at(0, n - k) = ring[3 * n + k];
        }
        for (uint32_t i = 1; i < n; ++i) {
            const int64_t first = cut(edit, g.at(i, 0), g.at(i, n), inner, int32_t(face));
            if (first < 0) return;
            for (uint32_t j = 1; j < n; ++j) g.at(i, j) = uint32_t(first) + j - 1;
        }
        for (uint32_t j = 1; j < n; ++j)
            for (uint32_t i = 0; i < n; ++i)
                if (cut(edit, g.at(i, j), g.at(i + 1, j), 0, -1) < 0) return;
        return;
    }
    // Side 0 runs from (0, 0) to b = n, side 1 from (n, 0) to c = n, side 2 from (0, n) back to
    // (0, 0). The first family joins side 0 to side 2 along a = n - i (parallel to side 1).
    for (uint32_t k = 0; k < n; ++k) {
        g.at(k, 0) = ring[k];
        g.at(n - k, k) = ring[n + k];
        g.at(0, n - k) = ring[2 * n + k];
    }
    for (uint32_t i = 1; i < n; ++i) {
        const int64_t first = cut(edit, g.at(i, 0), g.at(0, i), i - 1, int32_t(face));
        if (first < 0) return;
        for (uint32_t m = 1; m < i; ++m) g.at(i - m, m) = uint32_t(first) + m - 1;
    }
    // Lines of constant b (parallel to side 2), then of constant c (parallel to side 0).
    for (uint32_t b = 1; b < n; ++b)
        for (uint32_t c = 0; c + b < n; ++c)
            if (cut(edit, g.at(b, c), g.at(b, c + 1), 0, -1) < 0) return;
    for (uint32_t c = 1; c < n; ++c)
        for (uint32_t b = 0; b + c < n; ++b)
            if (cut(edit, g.at(b, c), g.at(b + 1, c), 0, -1) < 0) return;
}
}  // namespace

int TpolySubdFaceAnyFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    if (fDivisions <= 0 || !getActiveGrpName(body, components, kPolyGrpFace, name)) return -1;
    TpolyGeom* geom = body->polyGeom();
    geom->update(dirtyFaceOffsets);
    TbitFieldFixedN faces;
    if (geom->flagsFromGroup(kPolyGrpFace, name, faces) <= 0) return -1;
    std::vector<uint32_t> selected, firstVertex, sides;
    for (uint32_t f = 0; f < geom->nbFace(); ++f) {
        const uint32_t count = geom->faceVertexCount(f);
        if (!faces.testBit(f) || count > 4) {
            faces.resetBit(f);
            continue;
        }
        selected.push_back(f);
        firstVertex.push_back(geom->getStartVertex(geom->faceOffset(f)));
        sides.push_back(count);
    }
    if (selected.empty()) return -1;
    TbitFieldFixedN edges;
    geom->groupFace2Edge(faces, edges, 1);

    const uint32_t pieces = uint32_t(fDivisions) + 1;
    TpolyEditableGeom edit(geom, TpolyEditableGeom::kModeAll);
    for (uint32_t e = 0; e < edges.size(); ++e)
        if (edges.testBit(e)) edit.splitEdge(e, nullptr, nullptr, nullptr, pieces - 1, false);
    for (size_t k = selected.size(); k-- > 0;) cutGrid(edit, selected[k], firstVertex[k], sides[k], pieces);
    body->setMidBody(edit.convert(true, true, nullptr));
    return 0;
}
