#include "brindle/ops/PolySmoothFaceAnyFty.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolySubdFaceAnyFty.h"
#include "brindle/ops/PolyTriangulateFty.h"
#include "brindle/subdiv/LinearPasses.h"
#include "brindle/subdiv/SubdivLevel.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolySmoothFaceAnyFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(
    TpolySmoothFaceAnyFty::sMetaclass, kPolyGrpFace,
    {BRINDLE_MODIFIER_PARAM(TpolySmoothFaceAnyFty, NbIter, "iterations; 0 only softens the edges of the selected faces",
                            0, 2),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFaceAnyFty, Divisions, "grid points per edge, clamped to 0..128; 0 does nothing",
                            0, 3),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFaceAnyFty, Degree,
                            "smoothing steps plus one, clamped to 1..16; 1 subdivides without smoothing", 1, 4),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFaceAnyFty, PushStrength, "strength of the push back toward the flat grid", 0,
                            1),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFaceAnyFty, VertexBlend, "share of the push back the old vertices take", 0, 1),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFaceAnyFty, AverageNorms,
                            "blend of each interpolated push length toward the interpolated length", 0, 1)});

constexpr float kOnSide = 1e-4f;

// Whether the unit-square (or unit-triangle) parameters a and b lie on one side of their parent,
// which makes the edge between them a piece of the parent's outline.
bool onOneSide(const T2FloatPair& a, const T2FloatPair& b, bool triangle) {
    auto at = [](float x, float v) { return std::fabs(x - v) < kOnSide; };
    if ((at(a.u, 0) && at(b.u, 0)) || (at(a.v, 0) && at(b.v, 0))) return true;
    if (triangle) return at(a.u + a.v, 1) && at(b.u + b.v, 1);
    return (at(a.u, 1) && at(b.u, 1)) || (at(a.v, 1) && at(b.v, 1));
}
}  // namespace

void TpolySmoothFaceAnyFty::addUnitSet(TpolyGeom& g) {
    g.update(dirtyFaceOffsets);
    fUnitSet = g.addLastMapSet(Tstring("Unit"));
    fParentOffsets.assign(g.faceOffsetArray().begin(), g.faceOffsetArray().begin() + g.nbFace() + 1);
    fParentCorners.resize(g.faceDescLength());
    fCornerFace.resize(g.faceDescLength());
    static const T2FloatPair kSquare[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, kTriangle[3] = {{0, 0}, {1, 0}, {0, 1}};
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        const uint32_t n = g.faceVertexCount(f);
        for (uint32_t k = 0, o = g.faceOffset(f); o < g.faceOffset(f + 1); ++k, ++o) {
            g.refUV(g.appendUV(n == 3 ? kTriangle[k] : kSquare[k & 3], fUnitSet), fUnitSet);
            fParentCorners[o] = g.getStartVertex(o);
            fCornerFace[o] = f;
        }
    }
}

void TpolySmoothFaceAnyFty::findParents(const TsubdivLevel& lv, const int32_t* ids, const T2FloatPair* param) {
    const uint32_t made = uint32_t(fCornerFace.size());
    fParentOf.assign(lv.nbFace, TpolyBits::kNoId);
    std::vector<uint32_t> queue, across(2 * size_t(lv.nbEdge), TpolyBits::kNoId);
    for (uint32_t f = 0; f < lv.nbFace; ++f)
        for (uint32_t o = lv.faceBegin(f); o < lv.faceEnd(f); ++o) {
            uint32_t* side = &across[2 * size_t(lv.entryEdge(o))];
            (side[0] == TpolyBits::kNoId ? side[0] : side[1]) = f;
            if (fParentOf[f] == TpolyBits::kNoId && ids[o] >= 0 && uint32_t(ids[o]) < made) {
                fParentOf[f] = fCornerFace[uint32_t(ids[o])];
                queue.push_back(f);
            }
        }
    for (size_t q = 0; q < queue.size(); ++q) {
        const uint32_t f = queue[q], parent = fParentOf[f];
        const bool triangle = fParentOffsets[parent + 1] - fParentOffsets[parent] == 3;
        forEachFaceEntry(lv, f, [&](uint32_t o, uint32_t next) {
            if (ids[o] < 0 || ids[next] < 0 || onOneSide(param[ids[o]], param[ids[next]], triangle)) return;
            const uint32_t* side = &across[2 * size_t(lv.entryEdge(o))];
            const uint32_t other = side[0] == f ? side[1] : side[0];
            if (other == TpolyBits::kNoId || fParentOf[other] != TpolyBits::kNoId) return;
            fParentOf[other] = parent;
            queue.push_back(other);
        });
    }
}

void TpolySmoothFaceAnyFty::pushBack(const TsubdivLevel& lv, const int32_t* ids, const T2FloatPair* param,
                                     const std::vector<T3dFltPoint>& flat, T3dFltPoint* points) {
    std::vector<T3dFltPoint> delta(fOldVertices);
    for (uint32_t v = 0; v < fOldVertices; ++v) delta[v] = (flat[v] - points[v]) * fPushStrength;
    std::vector<uint8_t> done(lv.nbVertex, 0);
    for (uint32_t v = 0; v < fOldVertices; ++v) {
        points[v] = points[v] + delta[v] * fVertexBlend;
        done[v] = 1;
    }
    for (uint32_t f = 0; f < lv.nbFace; ++f) {
        const uint32_t p = fParentOf[f];
        if (p == TpolyBits::kNoId) continue;
        const uint32_t* corners = fParentCorners.data() + fParentOffsets[p];
        const uint32_t nc = fParentOffsets[p + 1] - fParentOffsets[p];
        for (uint32_t o = lv.faceBegin(f); o < lv.faceEnd(f); ++o) {
            const uint32_t v = lv.entryStart(o);
            if (done[v] || ids[o] < 0) continue;
            done[v] = 1;
            const T2FloatPair s = param[ids[o]];
            float w[4] = {(1 - s.u) * (1 - s.v), s.u * (1 - s.v), s.u * s.v, (1 - s.u) * s.v};
            if (nc == 3) w[0] = 1 - s.u - s.v, w[1] = s.u, w[2] = s.v;
            points[v] = points[v] + linearPushDelta(delta.data(), corners, w, std::min(nc, 4u), fAverageNorms);
        }
    }
}

void TpolySmoothFaceAnyFty::smoothGrid(TpolyGeom& g, const TsubdivFaceSubset& subset) {
    const TsubdivLevel& lv = subset.level();
    const uint32_t n = uint32_t(fDivisions), r = uint32_t(fDegree - 1);
    T3dFltPoint* points = g.vertexArray().data();
    const std::vector<T3dFltPoint> flat(points, points + lv.nbVertex);
    const bool pushing = fPushStrength != 0;
    const TpolyMap& unit = (*g.maps())[fUnitSet];
    std::vector<int32_t> idScratch;
    const int32_t* ids = subset.cornerIds(unit.indexArray(), idScratch);
    const T2FloatPair* param = unit.uvArray().data();
    if (pushing) findParents(lv, ids, param);
    TlinearPasses passes;
    passes.prepare(lv);
    auto push = [&] {
        if (pushing) pushBack(lv, ids, param, flat, points);
    };
    if (n % 2 == 0 && r % 2 == 1) {
        passes.oddPass(lv, n / 2, points);
        push();
    }
    for (uint32_t k = 0; k < r / 2; ++k) {
        if (n % 2 == 1) {
            passes.evenPass(lv, (n + 1) / 2, points);
        } else {
            passes.oddPass(lv, n / 2, points);
            passes.oddPass(lv, n / 2, points);
        }
        push();
    }
    g.markDirty(dirtyMoved);
}

int TpolySmoothFaceAnyFty::action(TmidBody* body, TmidComponent* components) {
    fDivisions = std::clamp(fDivisions, 0, 128);
    fDegree = std::clamp(fDegree, 1, 16);
    fPreTriangulated = false;
    if (fDivisions == 0) return 0;
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpFace, name)) return -1;
    TpolyGeom* g = body->polyGeom();
    TbitFieldFixedN selected;
    g->update(dirtyFaceOffsets);
    if (g->flagsFromGroup(kPolyGrpFace, name, selected) <= 0) return -1;
    if (fNbIter == 0) {
        TbitFieldFixedN edges;
        g->groupFace2Edge(selected, edges, 1);
        TpolyEdge* e = g->edgeArray().data();
        for (uint32_t k = 0; k < edges.size(); ++k)
            if (edges.testBit(k)) e[k].v[0] &= TpolyBits::kVertexMask;
        g->markDirty(dirtyHardness);
        return 0;
    }
    // A fresh factory keeps the current groups after its action: the selection stays for the passes.
    TpolySubdFaceAnyFty grid;
    grid.setDivisions(fDivisions);
    for (unsigned iteration = 0; iteration < fNbIter; ++iteration) {
        g = body->polyGeom();
        g->update(dirtyFaceOffsets);
        if (g->flagsFromGroup(kPolyGrpFace, name, selected) <= 0) break;
        TbitFieldFixedN large(g->nbFace());
        for (uint32_t f = 0; f < g->nbFace(); ++f)
            if (selected.testBit(f) && g->faceVertexCount(f) > 4) large.setBit(f);
        if (large.countSet()) {
            const int32_t tmp = g->getFreeTmpGrpName();
            g->flagsToGroup(kPolyGrpFace, tmp, large);
            TpolyTriangulateFty::triangulateTopo(g, tmp, nullptr, false);
            g->removeGroup(tmp, kPolyGrpFace);
            fPreTriangulated = true;
        }
        fOldVertices = g->nbVertex();
        addUnitSet(*g);
        if (grid.doAction(body, nullptr) != 0) {
            body->polyGeom()->removeMapSet(fUnitSet);
            return -1;
        }
        g = body->polyGeom();
        g->update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
        const bool any = g->flagsFromGroup(kPolyGrpFace, name, selected) > 0;
        if (any) {
            TsubdivFaceSubset subset;
            subset.build(*g, selected);
            smoothGrid(*g, subset);
        }
        g->removeMapSet(fUnitSet);
        if (!any) break;
    }
    return 0;
}
