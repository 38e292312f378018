#include "brindle/ops/PolyAverageVertexFty.h"

#include <algorithm>
#include <vector>

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyReferenceFrame.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyAverageVertexFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(
    TpolyAverageVertexFty::sMetaclass, kPolyGrpVertex,
    {BRINDLE_MODIFIER_PARAM(TpolyAverageVertexFty, Alpha,
                            "blend of the starting and current position the correction pulls toward", 0, 1),
     BRINDLE_MODIFIER_PARAM(TpolyAverageVertexFty, Beta, "share of the correction between a vertex and its neighbours",
                            0, 1),
     BRINDLE_MODIFIER_PARAM(TpolyAverageVertexFty, NbIter, "iterations; below 1 nothing changes", 0, 10),
     BRINDLE_MODIFIER_PARAM(TpolyAverageVertexFty, Matrix,
                            "reference frame; after an action with a non-identity matrix it holds the inverse")});
}  // namespace

int TpolyAverageVertexFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpVertex, name)) return -1;
    if (fNbIter < 1) return 0;
    TpolyGeom* geom = body->polyGeom();
    const int32_t g = geom->findGrp(name, kPolyGrpVertex);
    const TsingleIndexedComponent* list = g >= 0 ? geom->group(uint32_t(g)).singleItems() : nullptr;
    if (!list) return 0;

    // The selection in member order with its neighbour lists (one entry per edge end, so that a
    // vertex's list length is its order), gathered in one pass over the edges.
    const uint32_t nv = geom->nbVertex();
    std::vector<uint32_t> rank(nv, TpolyBits::kNoId), selected;
    selected.reserve(std::min(list->elementCount(), nv));
    for (uint32_t v : *list)
        if (v < nv) rank[v] = uint32_t(selected.size()), selected.push_back(v);
    const uint32_t ns = uint32_t(selected.size());
    // The frame is entered (and the parameter inverted) even when nothing of the record is
    // selected; then only the round trip happens, with no derived data computed.
    TpolyReferenceFrame frame;
    if (!frame.enter(geom, fMatrix, true)) return -1;
    if (ns == 0) return 0;
    // The vertex order (edge ends at the vertex) sizes each list.
    geom->update(dirtyVertexToEdge);
    std::vector<uint32_t> first(ns + 1, 0), neighbours;
    for (uint32_t i = 0; i < ns; ++i) first[i + 1] = first[i] + geom->vertexOrder(selected[i]);
    const TpolyEdgeArray& edges = geom->edgeArray();
    neighbours.resize(first[ns]);
    std::vector<uint32_t> fill(first.begin(), first.end() - 1);
    for (const TpolyEdge& e : edges) {
        const uint32_t a = e.start(), b = e.end();
        if (a >= nv || b >= nv) continue;
        // Guarded so that a table disagreeing with the edges can never write past a list.
        if (rank[a] != TpolyBits::kNoId && fill[rank[a]] < first[rank[a] + 1]) neighbours[fill[rank[a]]++] = b;
        if (rank[b] != TpolyBits::kNoId && fill[rank[b]] < first[rank[b] + 1]) neighbours[fill[rank[b]]++] = a;
    }

    // O: Alpha times the starting positions (not kept when Alpha is 0); A: this iteration's
    // neighbour averages (both by rank); D: the corrections by vertex id, zero for every
    // unselected vertex.
    T3dFltPoint* P = geom->vertexArray().data();
    const bool anchored = fAlpha != 0;
    std::vector<T3dFltPoint> O(anchored ? ns : 0), A(ns), D(nv);
    for (uint32_t i = 0; i < O.size(); ++i) O[i] = P[selected[i]] * fAlpha;
    const float keep = 1 - fAlpha, spread = 1 - fBeta;
    for (int iter = 0; iter < fNbIter; ++iter) {
        for (uint32_t i = 0; i < ns; ++i) {
            const uint32_t v = selected[i], k = first[i + 1] - first[i];
            if (k == 0) continue;
            T3dFltPoint sum;
            for (uint32_t j = first[i]; j < first[i + 1]; ++j) sum = sum + P[neighbours[j]];
            A[i] = sum * (1.0f / float(k));
            D[v] = (anchored ? A[i] - O[i] : A[i]) - P[v] * keep;
        }
        for (uint32_t i = 0; i < ns; ++i) {
            const uint32_t v = selected[i], k = first[i + 1] - first[i];
            if (k == 0) continue;
            T3dFltPoint sum;
            for (uint32_t j = first[i]; j < first[i + 1]; ++j) sum = sum + D[neighbours[j]];
            P[v] = A[i] - D[v] * fBeta + sum * (spread / float(k));
        }
    }
    geom->markDirty(dirtyMoved);
    frame.leave(false);
    return 0;
}
