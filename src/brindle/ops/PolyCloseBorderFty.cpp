#include "brindle/ops/PolyCloseBorderFty.h"

#include <utility>
#include <vector>

#include "brindle/framework/MidBody.h"
#include "brindle/framework/MidComponent.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/geom/TopoIterators.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/uv/UvWork.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyCloseBorderFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(TpolyCloseBorderFty::sMetaclass, kPolyGrpEdge, {});

// The border loop through e, walked from e's end vertex so that e comes last: each step takes
// the first other border edge at the vertex (in vertex-edge order) not yet in the loop, with
// true when it is walked from its end to its start. Empty when the loop meets a vertex or an
// edge that is not 2-manifold, or runs out before coming back to e. Every edge taken is marked
// visited, also when the loop is given up.
std::vector<std::pair<uint32_t, bool>> borderLoop(TpolyGeom& g, uint32_t e, TbitFieldFixedN& visited,
                                                  TbitFieldFixedN& inLoop) {
    std::vector<std::pair<uint32_t, bool>> loop;
    uint32_t at = g.endVertex(e), previous = e;
    bool closed = false;
    TvertexEdgeIterator it(&g);
    while (!closed) {
        uint32_t chosen = TpolyBits::kNoId;
        for (uint32_t c = it.reset(at); !it.isDone(); c = it.next())
            if (c != previous && c < g.nbEdge() && g.isBorder(c) && !inLoop.testBit(c)) {
                chosen = c;
                break;
            }
        if (chosen == TpolyBits::kNoId || !g.isEdgeManifold(chosen)) break;
        const bool backwards = g.endVertex(chosen) == at;
        const uint32_t next = backwards ? g.startVertex(chosen) : g.endVertex(chosen);
        if (!g.isVertexTwoManifold(next)) break;
        loop.emplace_back(chosen, backwards);
        inLoop.setBit(chosen);
        visited.setBit(chosen);
        closed = chosen == e;
        previous = chosen;
        at = next;
    }
    for (const auto& [edge, backwards] : loop) inLoop.resetBit(edge);
    if (!closed) loop.clear();
    return loop;
}
}  // namespace

int TpolyCloseBorderFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpEdge, name)) return -1;
    TpolyGeom& g = *body->polyGeom();
    g.update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
    TbitFieldFixedN selected;
    if (g.flagsFromGroup(kPolyGrpEdge, name, selected) < 0) return -1;
    const TsingleIndexedComponent* members = g.objectGroupComponent(name, kPolyGrpEdge);
    if (!members) return -1;
    const uint32_t firstNew = g.nbFace(), ne = g.nbEdge();
    TmidEdgeComponent closed;
    TbitFieldFixedN visited(ne), inLoop(ne);
    // Reads the members before the selection is rewritten below.
    std::vector<uint32_t> order;
    for (uint32_t e : *members) order.push_back(e);
    for (uint32_t e : order) {
        if (e >= ne || visited.testBit(e) || !g.isBorder(e)) continue;
        const TpolyWingEdge& w = g.getEdgeFace(e);
        // A wire edge (no face on either side) bounds no hole.
        if (w.side[kLeft] == TpolyBits::kNoFace && w.side[kRight] == TpolyBits::kNoFace) continue;
        // The face beside e uses it forwards when it lies on the left: the new face runs against it.
        const bool reversed = w.side[kLeft] != TpolyBits::kNoFace;
        const std::vector<std::pair<uint32_t, bool>> loop = borderLoop(g, e, visited, inLoop);
        // Two border edges between the same two vertices (a slit) bound no polygon.
        if (loop.size() < 3) continue;
        g.bgnFace(uint32_t(loop.size()));
        for (size_t k = 0; k < loop.size(); ++k) {
            const auto& [edge, backwards] = loop[reversed ? loop.size() - 1 - k : k];
            g.refEdge(edge, backwards != reversed ? kReversed : kForward);
            closed.addElement(edge);
        }
        g.endLoop();
        g.endFace();
        g.markDirty(dirtyFaceOffsets | dirtyVertexToEdge);
    }
    // New corners are unmapped and uncoloured.
    for (uint32_t s = 0; s < g.nbMapSet(); ++s) uvwork::fitIds(g, s);
    g.completeColor();
    g.setObjectGroupComponent(name, kPolyGrpEdge, closed);
    g.markDirty(dirtyAll);
    if (g.nbFace() > firstNew) {
        const int32_t tmp = g.getFreeTmpGrpName();
        const uint32_t grp = g.appendGrp(tmp, kPolyGrpFace, 32);
        g.appendBlock(grp, firstNew, g.nbFace() - 1);
        g.endGroup(grp);
        closeUV(&g, tmp);
        g.removeGroup(tmp, kPolyGrpFace);
    }
    return 0;
}

void TpolyCloseBorderFty::closeUV(TpolyGeom* geom, int faceGroupName) {
    if (!geom) return;
    TpolyGeom& g = *geom;
    const TsingleIndexedComponent* faces = nullptr;
    for (uint32_t k = g.nbGroup(); k-- > 0 && !faces;) {
        const TpolyGrpDesc& d = g.groupConst(k);
        if (d.fName == faceGroupName && (d.fType == kPolyGrpFace || d.fType == kPolyGrpNone)) faces = d.singleItems();
    }
    if (!faces || faces->elementCount() == 0) return;
    g.update(dirtyFaceOffsets | dirtyEdgeToFace);
    std::vector<int32_t> ids;
    for (uint32_t s = 0; s < g.nbMapSet(); ++s) {
        uvwork::fitIds(g, s);
        for (uint32_t f : *faces) {
            if (f >= g.nbFace() || g.isMapped(f, s)) continue;
            ids.clear();
            for (uint32_t o = g.faceOffset(f); o < g.faceOffset(f + 1); ++o) {
                const uint32_t e = g.getEdge(o), v = g.getStartVertex(o);
                const TpolyWingEdge& w = g.getEdgeFace(e);
                int32_t found = -1;
                for (Tside side : {kLeft, kRight}) {
                    const uint32_t n = w.side[side];
                    int32_t at[2];
                    if (!TpolyTopo::isSingleFace(w.side[1 - side]) || !TpolyTopo::isSingleFace(n) || n == f ||
                        !g.isMapped(n, s) || !g.getEdgeFaceUVIds(e, side, at, s))
                        continue;
                    found = at[v == g.startVertex(e) ? 0 : 1];
                    if (found >= 0) break;
                }
                if (found < 0) break;
                ids.push_back(found);
            }
            if (ids.size() != g.faceVertexCount(f)) continue;
            for (uint32_t k = 0; k < ids.size(); ++k) g.setUVId(g.faceOffset(f) + k, ids[k], s);
        }
    }
}
