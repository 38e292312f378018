#include "brindle/ops/PolySewEdgeFty.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyCompact.h"
#include "brindle/ops/PolyReferenceFrame.h"
#include "brindle/ops/PolySoftEdgeFty.h"
#include "brindle/uv/MapCutFty.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolySewEdgeFty, TpolyRemoverFty);
BRINDLE_DEFINE_MODIFIER_CLASS(TpolyMergeEdgeFty, TpolyRemoverFty);

namespace {
const TmodifierParamTable sSewParams(
    TpolySewEdgeFty::sMetaclass, kPolyGrpEdge,
    {BRINDLE_MODIFIER_PARAM(TpolySewEdgeFty, Threshold,
                            "largest distance between the end points of two border edges that are sewn", 0, 1),
     BRINDLE_MODIFIER_PARAM(TpolySewEdgeFty, AngleThreshold,
                            "smallest cosine between the directions of two border edges that are sewn", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolySewEdgeFty, SewMap, "sew the UVs along the sewn edges in every UV set")});
const TmodifierParamTable sMergeParams(
    TpolyMergeEdgeFty::sMetaclass,
    {BRINDLE_MODIFIER_PARAM(TpolyMergeEdgeFty, MergeMode, "kept with the parameters; the merge does not read it", 0, 2),
     BRINDLE_MODIFIER_PARAM(TpolyMergeEdgeFty, FirstEdge, "the border edge that survives", 0),
     BRINDLE_MODIFIER_PARAM(TpolyMergeEdgeFty, SecondEdge, "the border edge fused into the first", 0),
     BRINDLE_MODIFIER_PARAM(TpolyMergeEdgeFty, MergeTexture, "sew the UVs along the fused edges")});

constexpr uint32_t kNone = TpolyBits::kNoId;
// The smoothing of sewn edges: soft where the faces' normals agree beyond cos(30) + 1e-5.
constexpr float kSewnSmoothAngle = 30.0f;

uint32_t find(TuInt32Array& root, uint32_t v) {
    while (root[v] != v) v = root[v] = root[root[v]];
    return v;
}

// The border edges of a record and the edge ends at each vertex, kept current while pairs are
// fused: an edge's vertex words always name live vertices, a fused edge is dead, and an edge
// is a border edge (with its face and the way that face uses it) until it is sewn or dies.
class TsewTopology {
public:
    // The record's face offsets and both adjacency tables must be up to date.
    explicit TsewTopology(TpolyGeom& g, TuInt32Array& vertexRoot, TuInt32Array& edgeRoot)
        : fGeom(g), fVertexRoot(vertexRoot), fEdgeRoot(edgeRoot) {
        const uint32_t nv = g.nbVertex(), ne = g.nbEdge();
        fFace.changeLogicalSizeTo(ne);
        fHead.changeLogicalSizeTo(nv);
        std::fill(fHead.begin(), fHead.end(), kNone);
        fNext.changeLogicalSizeTo(2 * ne);
        fVertexRoot.changeLogicalSizeTo(nv);
        fEdgeRoot.changeLogicalSizeTo(ne);
        for (uint32_t v = 0; v < nv; ++v) fVertexRoot[v] = v;
        for (uint32_t e = ne; e-- > 0;) {
            fEdgeRoot[e] = e;
            fFace[e] = borderFaceOf(e);
            for (uint32_t k = 2; k-- > 0;) {
                const uint32_t v = g.edgeConst(e).v[k] & TpolyBits::kVertexMask;
                fNext[2 * e + k] = fHead[v];
                fHead[v] = 2 * e + k;
            }
        }
    }

    // The face of a border edge, kNone for any other edge.
    uint32_t face(uint32_t e) const { return fFace[e]; }
    // The face uses its border edge reversed (the edge's right side is the filled one).
    bool reversedUse(uint32_t e) const { return fGeom.getEdgeFace(e).side[kLeft] == TpolyBits::kNoFace; }
    // Fusing b into a matches a's start with b's start (true) or with b's end.
    bool startsMatch(uint32_t a, uint32_t b) const { return reversedUse(a) != reversedUse(b); }

    bool acceptable(uint32_t a, uint32_t b) const {
        const uint32_t ne = fGeom.nbEdge();
        if (a >= ne || b >= ne || a == b || fFace[a] == kNone || fFace[b] == kNone || fFace[a] == fFace[b])
            return false;
        const bool same = startsMatch(a, b);
        const uint32_t s[2] = {fGeom.startVertex(a), same ? fGeom.startVertex(b) : fGeom.endVertex(b)};
        const uint32_t t[2] = {fGeom.endVertex(a), same ? fGeom.endVertex(b) : fGeom.startVertex(b)};
        for (uint32_t i : {0u, 1u})
            for (uint32_t j : {0u, 1u})
                if (s[i] == t[j]) return false;  // the fused edge would shrink to a point
        // A face meeting the vertex it is about to be fused with would repeat a corner.
        for (const uint32_t* m : {s, t})
            if (m[0] != m[1] && (holds(fFace[a], m[1]) || holds(fFace[b], m[0]))) return false;
        // Another edge already joining the fused ends would be doubled.
        for (uint32_t v : s)
            for (uint32_t end = fHead[v]; end != kNone; end = fNext[end]) {
                const uint32_t e = end >> 1;
                if (e == a || e == b || fEdgeRoot[e] != e) continue;
                const uint32_t w = fGeom.edgeConst(e).v[(end & 1) ^ 1] & TpolyBits::kVertexMask;
                if (w == t[0] || w == t[1]) return false;
            }
        return true;
    }

    // Fuses b into a (acceptable): a's ends move to the midpoints, b's face uses a instead.
    void fuse(uint32_t a, uint32_t b) {
        const bool same = startsMatch(a, b);
        joinVertices(fGeom.startVertex(a), same ? fGeom.startVertex(b) : fGeom.endVertex(b));
        joinVertices(fGeom.endVertex(a), same ? fGeom.endVertex(b) : fGeom.startVertex(b));
        const uint32_t f = fFace[b];
        const uint32_t o = fGeom.faceOffset(f) + fGeom.getEdgeOffsetInFace(fGeom.faceOffset(f), b);
        const TedgeDirection d = fGeom.getStartVertex(o) == fGeom.startVertex(a) ? kForward : kReversed;
        fGeom.setEdge(o, a, d);
        fGeom.setSide(a, d == kForward ? kLeft : kRight, f);
        fGeom.setEdgeFace(b, TpolyWingEdge{});
        fFace[a] = fFace[b] = kNone;
        fEdgeRoot[b] = a;
    }

private:
    uint32_t borderFaceOf(uint32_t e) const {
        const TpolyWingEdge& w = fGeom.getEdgeFace(e);
        const bool left = w.side[kLeft] != TpolyBits::kNoFace, right = w.side[kRight] != TpolyBits::kNoFace;
        if (left == right || !fGeom.isEdgeManifold(e) || !fGeom.isVertexTwoManifold(fGeom.startVertex(e)) ||
            !fGeom.isVertexTwoManifold(fGeom.endVertex(e)))
            return kNone;
        return left ? w.side[kLeft] : w.side[kRight];
    }

    bool holds(uint32_t f, uint32_t v) const {
        for (uint32_t o = fGeom.faceOffset(f); o < fGeom.faceOffset(f + 1); ++o)
            if (fGeom.getStartVertex(o) == v) return true;
        return false;
    }

    // w joins s at their midpoint: every edge end at w moves to s.
    void joinVertices(uint32_t s, uint32_t w) {
        if (s == w) return;
        const T3dFltPoint& p = fGeom.vertexConst(s);
        const T3dFltPoint& q = fGeom.vertexConst(w);
        fGeom.vertex(s) = T3dFltPoint((p.x + q.x) * 0.5f, (p.y + q.y) * 0.5f, (p.z + q.z) * 0.5f);
        uint32_t last = kNone;
        for (uint32_t end = fHead[w]; end != kNone; end = fNext[end]) {
            const uint32_t e = end >> 1;
            if (end & 1)
                fGeom.setEnd(e, s);
            else
                fGeom.setStart(e, s);
            last = end;
        }
        if (last != kNone) {
            fNext[last] = fHead[s];
            fHead[s] = fHead[w];
        }
        fHead[w] = kNone;
        fVertexRoot[w] = s;
    }

    TpolyGeom& fGeom;
    TuInt32Array& fVertexRoot;
    TuInt32Array& fEdgeRoot;
    TuInt32Array fFace{256};
    TuInt32Array fHead{256};  // per vertex: first edge end (2e start, 2e + 1 end)
    TuInt32Array fNext{256};  // per edge end: next end at the same vertex
};

struct TsewCandidate {
    uint32_t edge;
    float key;
};

struct TsewPair {
    uint32_t first, second;
    double score;
};

float distance2(const T3dFltPoint& a, const T3dFltPoint& b) {
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}
}  // namespace

bool TpolyMergeEdgeFty::isOkForAction(TpolyGeom* geom, uint32_t edgeA, uint32_t edgeB, bool) {
    if (!geom || edgeA >= geom->nbEdge() || edgeB >= geom->nbEdge()) return false;
    geom->update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
    TuInt32Array vertexRoot(256), edgeRoot(256);
    return TsewTopology(*geom, vertexRoot, edgeRoot).acceptable(edgeA, edgeB);
}

int TpolySewEdgeFty::sewEdges(TpolyGeom* geom, int edgeGroup, TbdDataPtrArray*, TbdDataPtrArray*, bool force) {
    TpolyGeom& g = *geom;
    TbitFieldFixedN selected;
    if (g.flagsFromGroup(kPolyGrpEdge, edgeGroup, selected) <= 0) return -1;
    g.update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
    // Faces keep their ids; vertices and edges keep theirs until the hooks renumber them.
    changeIdMapperArraySizes(g.nbVertex(), g.nbEdge(), g.nbFace());
    for (int kind = kPolyGrpVertex; kind <= kPolyGrpFace; ++kind) createDefaultIdMap(kind);
    fGeom = geom;
    TsewTopology topo(g, fVertexRoot, fEdgeRoot);

    // Candidates, swept along the axis of the largest extent of their end points.
    std::vector<TsewCandidate> candidates;
    T3dFltPoint lo(1e30f, 1e30f, 1e30f), hi(-1e30f, -1e30f, -1e30f);
    for (uint32_t e = 0; e < std::min(selected.size(), g.nbEdge()); ++e) {
        if (!selected.testBit(e) || topo.face(e) == kNone) continue;
        candidates.push_back({e, 0});
        for (uint32_t v : {g.startVertex(e), g.endVertex(e)})
            for (int a = 0; a < 3; ++a)
                lo[a] = std::min(lo[a], g.vertexConst(v)[a]), hi[a] = std::max(hi[a], g.vertexConst(v)[a]);
    }
    if (candidates.empty()) return -1;
    const T3dFltPoint size = hi - lo;
    const int axis = size.x > size.y && size.x > size.z ? 0 : size.y > size.z ? 1 : 2;
    for (TsewCandidate& c : candidates)
        c.key = std::min(g.vertexConst(g.startVertex(c.edge))[axis], g.vertexConst(g.endVertex(c.edge))[axis]);
    std::sort(candidates.begin(), candidates.end(), [](const TsewCandidate& a, const TsewCandidate& b) {
        return a.key < b.key || (a.key == b.key && a.edge < b.edge);
    });

    const float t2 = float(fThreshold) * float(fThreshold);
    const float a2 = float(fAngleThreshold) * float(fAngleThreshold);
    std::vector<TsewPair> pairs;
    uint32_t inReach = 0, twisted = 0;
    for (size_t i = 0; i < candidates.size(); ++i) {
        const uint32_t ei = candidates[i].edge;
        const T3dFltPoint& si = g.vertexConst(g.startVertex(ei));
        const T3dFltPoint& ti = g.vertexConst(g.endVertex(ei));
        for (size_t j = i + 1; j < candidates.size(); ++j) {
            if (!force && candidates[j].key - candidates[i].key > float(fThreshold)) break;
            const uint32_t ej = candidates[j].edge;
            if (topo.face(ei) == topo.face(ej)) continue;
            const bool same = topo.startsMatch(ei, ej);
            const T3dFltPoint& sj = g.vertexConst(same ? g.startVertex(ej) : g.endVertex(ej));
            const T3dFltPoint& tj = g.vertexConst(same ? g.endVertex(ej) : g.startVertex(ej));
            const float ds = distance2(si, sj), dt = distance2(ti, tj);
            if (!force) {
                if (ds > t2 || dt > t2) continue;
                ++inReach;
                const T3dFltPoint di = si - ti, dj = sj - tj;
                const float dot = di.x * dj.x + di.y * dj.y + di.z * dj.z;
                if (dot <= 0 || dot * dot < a2 * distance2(si, ti) * distance2(sj, tj)) {
                    ++twisted;
                    continue;
                }
            }
            pairs.push_back({ei, ej, double(ds) + double(dt)});
        }
    }
    const int failedShare = inReach ? int(uint64_t(twisted) * 100 / inReach) : 0;
    if (pairs.empty()) {
        fGeom = nullptr;
        return inReach ? 100 : -2;
    }

    // Best pairs first; a kept pair closes its two edges to every later one.
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const TsewPair& a, const TsewPair& b) { return a.score < b.score; });
    TbitFieldFixedN taken(g.nbEdge()), sewn(g.nbEdge());
    size_t kept = 0;
    for (const TsewPair& p : pairs)
        if (!taken.testBit(p.first) && !taken.testBit(p.second) && topo.acceptable(p.first, p.second)) {
            taken.setBit(p.first);
            taken.setBit(p.second);
            pairs[kept++] = p;
        }
    pairs.resize(kept);
    bool any = false;
    for (const TsewPair& p : pairs)
        if (topo.acceptable(p.first, p.second)) {
            topo.fuse(p.first, p.second);
            sewn.setBit(p.first);
            any = true;
        }
    if (!any) {
        fGeom = nullptr;
        return failedShare;
    }

    g.markDirty(dirtyAll);
    const int group = g.getFreeTmpGrpName();
    g.flagsToGroup(kPolyGrpEdge, group, sewn);
    if (fSewMap) {
        g.update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
        for (uint32_t s = 0; s < g.nbMapSet(); ++s) TpolyMapSewFty::sew(&g, sewn, s);
    }
    // A corner pair at a vertex that went moves to the vertex it joined.
    TuInt32Array roots(256);
    roots.changeLogicalSizeTo(g.nbVertex());
    for (uint32_t v = 0; v < g.nbVertex(); ++v) roots[v] = find(fVertexRoot, v);
    TpolyCompact::renumberVertexFaceGroups(g, roots, false);
    handleUnusedEdges(&g);
    handleUnusedVertices(&g);
    g.markDirty(dirtyAll);
    TpolySoftEdgeFty::smoothGroup(&g, group, kSewnSmoothAngle);
    g.removeObjectGroup(group, kPolyGrpEdge);
    g.markDirty(dirtyAll);
    fGeom = nullptr;
    return failedShare;
}

void TpolySewEdgeFty::handleUnusedEdges(TpolyGeom* geom) {
    TuInt32Array map(256);
    TpolyCompact::removeUnusedEdges(*geom, &map);
    followRoots(geom, map, fEdgeRoot, edgeMap());
}

void TpolySewEdgeFty::handleUnusedVertices(TpolyGeom* geom) {
    TuInt32Array map(256);
    TpolyCompact::removeUnusedVertices(*geom, &map);
    followRoots(geom, map, fVertexRoot, vertexMap());
}

void TpolySewEdgeFty::followRoots(const TpolyGeom* geom, TuInt32Array& map, TuInt32Array& root, TuInt32Array* out) {
    if (!out) return;
    if (geom == fGeom && root.size() == map.size())
        for (uint32_t i = 0; i < map.size(); ++i) map[i] = map[find(root, i)];
    out->copy(map);
}

int TpolySewEdgeFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    if (!body || !body->polyGeom() || !getActiveGrpName(body, components, kPolyGrpEdge, name)) return -1;
    TpolyGeom* geom = body->polyGeom();
    TpolyReferenceFrame frame;
    if (!frame.enter(geom, fMatrix, true)) return -1;
    geom->update(dirtyFaceOffsets | dirtyEdgeToFace);
    sewEdges(geom, name, nullptr, nullptr, false);
    geom->markDirty(dirtyAll);
    frame.leave(true);
    return 0;
}

int TpolyMergeEdgeFty::action(TmidBody* body, TmidComponent*) {
    TpolyGeom* geom = body ? body->polyGeom() : nullptr;
    if (!geom) return -1;
    // The checks need the vertex-edge table, and building it marks every border edge hard in the
    // edge array itself: a refusal takes those marks back so that the record is as it was.
    TbitFieldFixedN soft;
    if (geom->isDirty(dirtyVertexToEdge)) {
        soft.resizeArray(geom->nbEdge());
        for (uint32_t e = 0; e < geom->nbEdge(); ++e)
            if (!geom->edgeConst(e).isHard()) soft.setBit(e);
    }
    if (!isOkForAction(geom, uint32_t(fFirst), uint32_t(fSecond), true)) {
        if (soft.size()) {
            for (uint32_t e = 0; e < geom->nbEdge(); ++e)
                if (soft.testBit(e)) geom->edge(e).v[0] &= ~TpolyBits::kHardFlag;
            geom->markDirty(dirtyVertexToEdge);
        }
        return -1;
    }
    TbitFieldFixedN pair(geom->nbEdge());
    pair.setBit(uint32_t(fFirst));
    pair.setBit(uint32_t(fSecond));
    const int group = geom->getFreeTmpGrpName();
    geom->flagsToGroup(kPolyGrpEdge, group, pair);
    TpolySewEdgeFty sew;
    sew.setSewMap(fMergeTexture);
    sew.setIdMapper(idMapper());
    const int result = sew.sewEdges(geom, group, nullptr, nullptr, true);
    geom->removeObjectGroup(group, kPolyGrpEdge);
    return result < 0 ? -1 : 0;
}
