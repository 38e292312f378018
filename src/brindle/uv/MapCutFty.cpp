#include "brindle/uv/MapCutFty.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "brindle/base/UnionFind.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyCompact.h"
#include "brindle/uv/UvWork.h"

using uvwork::TcornerIndex;

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyMapCutFty, TpolyUvSetFty);
BRINDLE_DEFINE_MODIFIER_CLASS(TpolyMapSewFty, TpolyUvSetFty);
BRINDLE_DEFINE_MODIFIER_CLASS(TpolyMergeUVFty, TmidModifierFty);

namespace {
const TmodifierParamTable sCutParams(TpolyMapCutFty::sMetaclass, kPolyGrpEdge, {});
const TmodifierParamTable sSewParams(TpolyMapSewFty::sMetaclass, kPolyGrpEdge, {});
const TmodifierParamTable sMergeParams(
    TpolyMergeUVFty::sMetaclass, kPolyGrpUV,
    {BRINDLE_MODIFIER_PARAM(TpolyMergeUVFty, Threshold, "largest UV distance between UVs of one vertex that merge", 0,
                            0.1),
     BRINDLE_MODIFIER_PARAM(TpolyMergeUVFty, MapId, "UV set to work on; 4294967295 (all ones) for the current set", 0,
                            1)});

// The edges of the two edge uses that meet at corner c: the one leaving c and the one arriving.
std::pair<uint32_t, uint32_t> cornerEdges(const TpolyGeom& g, const TcornerIndex& index, uint32_t c) {
    const uint32_t prev = TcornerIndex::previousInLoop(g, g.faceOffset(index.faceOf[c]), c);
    return {g.getEdge(c), g.getEdge(prev)};
}

// The end vertices of the set edges, each once, in increasing id.
std::vector<uint32_t> endVertices(const TpolyGeom& g, const TbitFieldFixedN& edges) {
    TbitFieldFixedN marked(g.nbVertex());
    const uint32_t n = std::min(edges.size(), g.nbEdge());
    for (uint32_t e = 0; e < n; ++e)
        if (edges.testBit(e)) {
            marked.setBit(g.startVertex(e));
            marked.setBit(g.endVertex(e));
        }
    std::vector<uint32_t> out;
    for (uint32_t v = 0; v < g.nbVertex(); ++v)
        if (marked.testBit(v)) out.push_back(v);
    return out;
}

bool isSet(const TbitFieldFixedN& bits, uint32_t i) { return i < bits.size() && bits.testBit(i); }

// An edge set over the record's edges: the active edges read from the group, or -1 as failure.
int sewOrCutAction(TmidBody* body, TmidComponent* components, uint32_t setIndex,
                   uint32_t (*run)(TpolyGeom*, const TbitFieldFixedN&, uint32_t)) {
    TbitFieldFixedN edges;
    if (!uvwork::activeBits(body, components, kPolyGrpEdge, edges)) return -1;
    TpolyGeom* g = body->polyGeom();
    const uint32_t s = uvwork::namedSet(*g, setIndex);
    if (s == uvwork::kNone) return -1;
    g->update(dirtyFaceOffsets);
    run(g, edges, s);
    return 0;
}

}  // namespace

uint32_t uvwork::cutFans(TpolyGeom& g, const TcornerIndex& index, uint32_t s, const std::vector<uint32_t>& vertices,
                         const TbitFieldFixedN& edges) {
    TpolyMap& map = (*g.maps())[s];
    Tint32Array& ids = map.indexArray();
    const uint32_t before = map.nbUV();
    TunionFind fans;
    std::vector<uint32_t> local;                        // mapped corners of the vertex
    std::vector<std::pair<uint32_t, uint32_t>> byEdge;  // (edge, local corner)
    std::vector<int32_t> claimed, newId;
    for (uint32_t v : vertices) {
        local.clear();
        for (uint32_t k = index.start[v]; k < index.start[v + 1]; ++k)
            if (ids[index.corners[k]] >= 0) local.push_back(index.corners[k]);
        if (local.size() < 2) continue;
        byEdge.clear();
        for (uint32_t i = 0; i < local.size(); ++i) {
            const auto [a, b] = cornerEdges(g, index, local[i]);
            byEdge.emplace_back(a, i);
            if (b != a) byEdge.emplace_back(b, i);
        }
        // Corners on one uncut edge with one UV id sit next to each other once sorted by
        // (edge, id): joining neighbours joins them all.
        std::sort(byEdge.begin(), byEdge.end(), [&](const auto& x, const auto& y) {
            if (x.first != y.first) return x.first < y.first;
            return ids[local[x.second]] < ids[local[y.second]];
        });
        fans.reset(uint32_t(local.size()));
        for (size_t k = 1; k < byEdge.size(); ++k) {
            const auto& [e, i] = byEdge[k];
            const auto& [pe, pi] = byEdge[k - 1];
            if (e == pe && !isSet(edges, e) && ids[local[i]] == ids[local[pi]]) fans.join(i, pi);
        }
        // The root of a fan is its first corner, so fans are met in corner order.
        claimed.clear();
        newId.assign(local.size(), -1);
        for (uint32_t i = 0; i < local.size(); ++i) {
            if (fans.find(i) != i) continue;
            const int32_t id = ids[local[i]];
            if (std::find(claimed.begin(), claimed.end(), id) == claimed.end()) {
                claimed.push_back(id);
                newId[i] = id;
            } else {
                const T2FloatPair p = map.uvArray()[uint32_t(id)];
                newId[i] = int32_t(map.appendUV(p.u, p.v));
            }
        }
        for (uint32_t i = 0; i < local.size(); ++i) ids[local[i]] = newId[fans.find(i)];
    }
    const uint32_t added = map.nbUV() - before;
    if (added) g.markDirty(dirtyMoved);
    return added;
}

uint32_t TpolyMapCutFty::cut(TpolyGeom* geom, const TbitFieldFixedN& edges, uint32_t s) {
    uvwork::fitIds(*geom, s);
    TcornerIndex index;
    index.build(*geom);
    return uvwork::cutFans(*geom, index, s, endVertices(*geom, edges), edges);
}

int TpolyMapCutFty::action(TmidBody* body, TmidComponent* components) {
    return sewOrCutAction(body, components, fSet, &TpolyMapCutFty::cut);
}

uint32_t TpolyMapSewFty::sew(TpolyGeom* geom, const TbitFieldFixedN& edges, uint32_t s) {
    TpolyGeom& g = *geom;
    uvwork::fitIds(g, s);
    TpolyMap& map = (*g.maps())[s];
    Tint32Array& ids = map.indexArray();
    T2FloatArray& uvs = map.uvArray();
    const uint32_t nUV = uvs.size();
    TcornerIndex index;
    index.build(g);
    TunionFind joined;
    joined.reset(nUV);
    const uint32_t nEdge = std::min(edges.size(), g.nbEdge());
    for (uint32_t e = 0; e < nEdge; ++e) {
        if (!edges.testBit(e)) continue;
        for (uint32_t v : {g.startVertex(e), g.endVertex(e)}) {
            int32_t first = -1;
            for (uint32_t k = index.start[v]; k < index.start[v + 1]; ++k) {
                const uint32_t c = index.corners[k];
                const int32_t id = ids[c];
                if (id < 0 || uint32_t(id) >= nUV) continue;
                const auto [a, b] = cornerEdges(g, index, c);
                if (a != e && b != e) continue;
                if (first < 0)
                    first = id;
                else
                    joined.join(uint32_t(first), uint32_t(id));
            }
        }
    }
    // Each class moves to the mean of its distinct UVs, kept in its lowest id.
    std::vector<double> sum(2 * size_t(nUV), 0.0);
    std::vector<uint32_t> count(nUV, 0);
    for (uint32_t i = 0; i < nUV; ++i) {
        const uint32_t r = joined.find(i);
        if (r == i) continue;
        sum[2 * r] += uvs[i].u;
        sum[2 * r + 1] += uvs[i].v;
        ++count[r];
    }
    uint32_t changed = 0;
    for (int32_t& id : ids) {
        if (id < 0 || uint32_t(id) >= nUV) continue;
        const uint32_t r = joined.find(uint32_t(id));
        if (r != uint32_t(id)) {
            id = int32_t(r);
            ++changed;
        }
    }
    for (uint32_t r = 0; r < nUV; ++r) {
        if (count[r] == 0) continue;
        // count holds the members other than the root; the root's own UV joins the mean here.
        const double n = count[r] + 1.0;
        uvs[r] = {float((sum[2 * r] + uvs[r].u) / n), float((sum[2 * r + 1] + uvs[r].v) / n)};
    }
    if (changed) {
        g.markDirty(dirtyMoved);
        TpolyCompact::removeUnusedUVs(g, s);
    }
    return changed;
}

int TpolyMapSewFty::action(TmidBody* body, TmidComponent* components) {
    return sewOrCutAction(body, components, fSet, &TpolyMapSewFty::sew);
}

uint32_t TpolyMergeUVFty::mergeUV(TpolyGeom* geom, const TbitFieldFixedN& uvs, double threshold, uint32_t s) {
    TpolyGeom& g = *geom;
    uvwork::fitIds(g, s);
    TpolyMap& map = (*g.maps())[s];
    Tint32Array& ids = map.indexArray();
    T2FloatArray& values = map.uvArray();
    const uint32_t nUV = values.size();
    const double limit = threshold * threshold;
    TcornerIndex index;
    index.build(g);
    struct Kept {
        int32_t id;
        double u, v, su, sv;
        uint32_t count;
    };
    std::vector<Kept> kept, merged;
    uint32_t changed = 0;
    // The corners of one vertex decide among themselves only, so taking each vertex's corners
    // in description order gives the order of a walk over the whole description.
    for (uint32_t vtx = 0; vtx < g.nbVertex(); ++vtx) {
        kept.clear();
        for (uint32_t k = index.start[vtx]; k < index.start[vtx + 1]; ++k) {
            const uint32_t c = index.corners[k];
            const int32_t id = ids[c];
            if (id < 0 || uint32_t(id) >= nUV || !isSet(uvs, uint32_t(id))) continue;
            if (std::any_of(kept.begin(), kept.end(), [&](const Kept& x) { return x.id == id; })) continue;
            const double u = values[uint32_t(id)].u, v = values[uint32_t(id)].v;
            auto close = std::find_if(kept.begin(), kept.end(), [&](const Kept& x) {
                return (x.u - u) * (x.u - u) + (x.v - v) * (x.v - v) < limit;
            });
            if (close == kept.end()) {
                kept.push_back({id, u, v, u, v, 1});
                continue;
            }
            ids[c] = close->id;
            close->su += u;
            close->sv += v;
            ++close->count;
            ++changed;
        }
        for (const Kept& x : kept)
            if (x.count > 1) merged.push_back(x);
    }
    for (const Kept& x : merged) values[uint32_t(x.id)] = {float(x.su / x.count), float(x.sv / x.count)};
    if (changed) {
        g.markDirty(dirtyMoved);
        TpolyCompact::removeUnusedUVs(g, s);
    }
    return changed;
}

int TpolyMergeUVFty::action(TmidBody* body, TmidComponent* components) {
    TpolyGeom* g = body ? body->polyGeom() : nullptr;
    if (!g) return -1;
    const uint32_t s = uvwork::resolveSet(*g, fMapId);
    if (s == uvwork::kNone) return -1;
    TbitFieldFixedN uvs(g->nbUV(s));
    if (!uvwork::activeBits(body, components, kPolyGrpUV, uvs)) return -1;
    g->update(dirtyFaceOffsets);
    mergeUV(g, uvs, fThreshold, s);
    return 0;
}
