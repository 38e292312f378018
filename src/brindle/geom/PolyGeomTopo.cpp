// Vertex-to-edge adjacency and the repairs of face-description directions.
// Keeps true after completeVertexToEdge: every vertex has its order (edge ends at it) and either a
// leaving edge from which the ring walk meets every edge once (a border vertex starts on its border
// edge), or the non-manifold bit and a run in the non-manifold edge list holding all its edges.
// Border and non-manifold edges come out hard, so that shading never smooths across them.

#include "brindle/base/Alloca.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/geom/TopoIterators.h"

#include <algorithm>
#include <utility>

namespace {

constexpr uint32_t kN2M = TpolyTopo::kNonManifold;
constexpr uint32_t kLeaveRev = TpolyTopo::kLeavingReversed;

// Directions changed: adjacency, face vectors, shading and triangles no longer hold.
constexpr uint32_t kFlippedMask = dirtyReversed | dirtyFaceVectors | dirtyFaceNormalize;

uint32_t orientedStart(const TpolyEdge* edges, uint32_t entry) {
    return edges[entry & TpolyBits::kEdgeMask].v[entry >> 31] & TpolyBits::kVertexMask;
}
uint32_t orientedEnd(const TpolyEdge* edges, uint32_t entry) {
    return edges[entry & TpolyBits::kEdgeMask].v[1 - (entry >> 31)] & TpolyBits::kVertexMask;
}

// One edge as the vertex-ring walks of completeVertexToEdge see it: its two side words and, per
// side, the step the vertex-edge iterator takes from it (next edge in bits 0-28, its direction in
// bit 31), or kNoId when there is none. Side words and steps share a cache line, so a step costs one read.
struct TringEdge {
    uint32_t side[2];
    uint32_t step[2];
};

// A step is listed for each use of an edge, from the entry before it in its loop (the loop's last
// entry for a loop's first). A side of a single face has one use, so its step is the one
// the iterator finds by scanning the face; other sides never step.
void listRingSteps(const TpolyTopo& t, TringEdge* ring) {
    const uint32_t nEdge = t.fEdges.size(), nFace = t.fFaceOffsets.size();
    const TpolyWingEdge* wings = t.fEdgeToFace.data();
    for (uint32_t e = 0; e < nEdge; ++e)
        ring[e] = {{wings[e].side[0], wings[e].side[1]}, {TpolyBits::kNoId, TpolyBits::kNoId}};
    const uint32_t* desc = t.fFaceDesc.data();
    const uint32_t* offsets = t.fFaceOffsets.data();
    for (uint32_t f = 0; f + 1 < nFace; ++f)
        for (uint32_t loop = offsets[f], end = offsets[f + 1]; loop < end;) {
            uint32_t last = loop;
            while (last + 1 < end && !(desc[last] & TpolyBits::kEndOfLoop)) ++last;
            for (uint32_t o = loop, prev = last; o <= last; prev = o++) {
                const uint32_t e = desc[o] & TpolyBits::kEdgeMask, before = desc[prev] & TpolyBits::kEdgeMask;
                if (e < nEdge && before < nEdge)
                    ring[e].step[desc[o] >> 31] = before | (~desc[prev] & TpolyBits::kReversedUse);
            }
            loop = last + 1;
        }
}

// The iterator's manifold step, through the steps of listRingSteps.
bool stepListed(const TringEdge* ring, uint32_t nEdge, uint32_t nOffsets, uint32_t& e, uint32_t& d) {
    if (e >= nEdge) return false;
    const TringEdge& r = ring[e];
    if (!TpolyTopo::isSingleFace(r.side[d]) || r.side[d] + 1 >= nOffsets || r.step[d] == TpolyBits::kNoId) return false;
    e = r.step[d] & TpolyBits::kEdgeMask;
    d = r.step[d] >> 31;
    return true;
}

// The walk may take order - 1 steps from (e, d), each through the face on the side it leaves by;
// coming back to the first edge early means the edges form more than one fan. A walk that ends on
// an edge with a face beyond it must close: that face is the one behind the first edge. side(e, d)
// answers the side word.
template <typename Side, typename Step>
bool walkCloses(uint32_t order, uint32_t e, uint32_t d, Side&& side, Step&& step) {
    const uint32_t first = e, back = side(first, 1 - d);
    for (uint32_t i = 1; i < order; ++i) {
        if (side(e, d) == TpolyBits::kNoFace) return false;
        if (!step(e, d) || e == first) return false;
    }
    const uint32_t far = side(e, d);
    return far == TpolyBits::kNoFace || far == back;
}

// The test of a vertex not marked non-manifold, from its leaving edge.
template <typename Side, typename Step>
bool ringCloses(const TpolyTopo& t, const TpolyVertexInfo& info, Side&& side, Step&& step) {
    if (info.order < 2) return true;
    const uint32_t e = info.edge & TpolyTopo::kRunIndexMask;
    if (e >= t.fEdges.size() || e >= t.fEdgeToFace.size()) return false;
    return walkCloses(info.order, e, info.edge >> 31, side, step);
}

}  // namespace

void TpolyGeom::completeVertexToEdge() {
    update(dirtyFaceOffsets | dirtyEdgeToFace);
    TpolyTopo& t = *fTopo;
    const uint32_t nVertex = nbVertex(), nEdge = nbEdge();
    t.fVertexToEdge.changeLogicalSizeTo(nVertex);
    for (TpolyVertexInfo& info : t.fVertexToEdge) info = TpolyVertexInfo();
    t.fN2MEdges.clear();
    TpolyVertexInfo* infos = t.fVertexToEdge.data();
    TpolyEdge* edges = t.fEdges.data();
    const TpolyWingEdge* wings = t.fEdgeToFace.data();
    const uint32_t nWing = t.fEdgeToFace.size();
    auto sideWord = [&](uint32_t e, uint32_t s) { return e < nWing ? wings[e].side[s] : TpolyBits::kNoFace; };
    auto isBorderEdge = [&](uint32_t e) {
        return sideWord(e, 0) == TpolyBits::kNoFace || sideWord(e, 1) == TpolyBits::kNoFace;
    };
    // A border edge leaving the vertex: two of them mean two fans meet there.
    auto takeBorder = [&](TpolyVertexInfo& info, uint32_t e, uint32_t word) {
        if (info.edge & kN2M) return;
        if (info.edge == TpolyBits::kNoEdge)
            info.edge = word;
        else if (isBorderEdge(info.edge & TpolyTopo::kRunIndexMask))
            info.edge = (info.edge & kLeaveRev) | kN2M | e;
        else
            info.edge = word;
    };

    for (uint32_t e = nEdge; e-- > 0;) {
        const uint32_t s = edges[e].start(), v = edges[e].end();
        if (s >= nVertex || v >= nVertex) continue;
        ++infos[s].order;
        ++infos[v].order;
        const uint32_t l = sideWord(e, 0), r = sideWord(e, 1);
        const bool hasL = l != TpolyBits::kNoFace, hasR = r != TpolyBits::kNoFace;
        if ((hasL && (l & kN2M)) || (hasR && (r & kN2M))) {
            infos[s].edge = e | kN2M;
            infos[v].edge = e | kLeaveRev | kN2M;
            edges[e].v[0] |= TpolyBits::kHardFlag;
        } else if (hasL && hasR) {
            if (infos[s].edge == TpolyBits::kNoEdge) infos[s].edge = e;
            if (infos[v].edge == TpolyBits::kNoEdge) infos[v].edge = e | kLeaveRev;
        } else if (hasL) {
            takeBorder(infos[s], e, e);
            edges[e].v[0] |= TpolyBits::kHardFlag;
        } else if (hasR) {
            takeBorder(infos[v], e, e | kLeaveRev);
            edges[e].v[0] |= TpolyBits::kHardFlag;
        }
    }
    // The ring walks below read this table through the iterator.
    markClean(dirtyVertexToEdge);

    // The ring walks below step through a table made in one pass over the description, so that
    // they never scan a face.
    Talloca scratch;
    TringEdge* ring = scratch.allocateArray<TringEdge>(nEdge);
    listRingSteps(t, ring);
    const uint32_t nOffsets = t.fFaceOffsets.size();
    auto ringSide = [&](uint32_t e, uint32_t d) { return ring[e].side[d]; };
    auto ringStep = [&](uint32_t& e, uint32_t& d) { return stepListed(ring, nEdge, nOffsets, e, d); };
    uint64_t total = 0;
    for (uint32_t v = nVertex; v-- > 0;) {
        if (!(infos[v].edge & kN2M)) {
            if (ringCloses(t, infos[v], ringSide, ringStep)) continue;
            infos[v].edge |= kN2M;
        }
        total += infos[v].order;
    }
    if (total == 0) return;

    // Runs in vertex order; while they fill, each vertex word is its run's fill cursor.
    t.fN2MEdges.changeLogicalSizeTo(static_cast<uint32_t>(total));
    for (uint32_t& w : t.fN2MEdges) w = TpolyTopo::kRunIndexMask;
    uint32_t* runs = t.fN2MEdges.data();
    uint32_t next = 0;
    for (uint32_t v = 0; v < nVertex; ++v) {
        if (!(infos[v].edge & kN2M)) continue;
        const uint32_t order = infos[v].order;
        if (order > 0) runs[next + order - 1] |= TpolyTopo::kRunEnd;
        infos[v].edge = kN2M | next;
        next += order;
    }
    auto put = [&](uint32_t v, uint32_t word) {
        uint32_t& cursor = infos[v].edge;
        uint32_t& slot = runs[cursor & TpolyTopo::kRunIndexMask];
        slot = (slot & TpolyTopo::kRunEnd) | word;
        ++cursor;
    };
    for (uint32_t e = nEdge; e-- > 0;) {
        const uint32_t s = edges[e].start(), v = edges[e].end();
        if (s >= nVertex || v >= nVertex) continue;
        if (infos[s].edge & kN2M) put(s, e);
        if (infos[v].edge & kN2M) put(v, e | TpolyTopo::kEdgeAtEnd);
    }
    for (uint32_t v = 0; v < nVertex; ++v)
        if (infos[v].edge & kN2M) infos[v].edge -= infos[v].order;
}

// A vertex already marked walks its run through the iterator; the others step round their faces.
bool TpolyGeom::checkIfVertexTwoManifold(uint32_t v) {
    update(dirtyVertexToEdge);
    if (v >= fTopo->fVertexToEdge.size()) return true;
    const TpolyVertexInfo info = fTopo->fVertexToEdge[v];
    if (info.order < 2) return true;
    const TpolyTopo& t = *fTopo;
    auto side = [&](uint32_t e, uint32_t d) { return t.fEdgeToFace[e].side[d]; };
    // A marked vertex walks its run, any other steps round its faces: the iterator does both.
    if (!(info.edge & kN2M)) update(dirtyFaceOffsets | dirtyEdgeToFace);
    TvertexEdgeIterator it(this, v);
    if (it.isDone() || it.edge() >= t.fEdgeToFace.size()) return false;
    return walkCloses(info.order, it.edge(), it.direction(), side, [&](uint32_t& e, uint32_t& d) {
        if (it.next() == TpolyBits::kNoFace) return false;
        e = it.edge(), d = it.direction();
        return true;
    });
}

bool TpolyGeom::nonManifoldEdges() {
    update(dirtyFaceOffsets | dirtyEdgeToFace);
    return !fTopo->fN2MFaces.empty();
}

bool TpolyGeom::nonManifoldVertices() {
    update(dirtyVertexToEdge);
    return !fTopo->fN2MEdges.empty();
}

void TpolyGeom::fixEdgeDirections() {
    uint32_t* desc = fTopo->fFaceDesc.data();
    const TpolyEdge* edges = fTopo->fEdges.data();
    const uint32_t n = faceDescLength(), nEdge = nbEdge();
    auto valid = [&](uint32_t o) { return (desc[o] & TpolyBits::kEdgeMask) < nEdge; };
    bool changed = false;
    for (uint32_t o = 0, loop = 0; o < n; ++o) {
        const bool loopEnds = (desc[o] & TpolyBits::kEndOfLoop) || o + 1 == n;
        const uint32_t next = loopEnds ? loop : o + 1;
        if (loopEnds) loop = o + 1;
        if (!valid(o) || !valid(next) || orientedEnd(edges, desc[o]) == orientedStart(edges, desc[next])) continue;
        if (orientedStart(edges, desc[o]) == orientedStart(edges, desc[next])) {
            desc[o] ^= TpolyBits::kReversedUse;
            changed = true;
        } else if (orientedEnd(edges, desc[o]) == orientedEnd(edges, desc[next])) {
            desc[next] ^= TpolyBits::kReversedUse;
            changed = true;
        }
    }
    if (changed) markDirty(kFlippedMask);
}

bool TpolyGeom::fixEdgeConnections(uint32_t face) {
    update(dirtyFaceOffsets | dirtyEdgeToFace);
    const TuInt32Array& offsets = fTopo->fFaceOffsets;
    if (face >= nbFace() || face + 1 >= offsets.size()) return false;
    const uint32_t begin = offsets[face], end = offsets[face + 1];
    for (uint32_t o = begin; o < end; ++o)
        if ((fTopo->fFaceDesc[o] & TpolyBits::kEdgeMask) >= nbEdge()) return false;
    if (reconnectEntries(begin, end)) markDirty(kFlippedMask);
    return true;
}

bool TpolyGeom::reconnectEntries(uint32_t begin, uint32_t end) {
    if (end - begin < 2) return false;
    uint32_t* desc = fTopo->fFaceDesc.data();
    const TpolyEdge* edges = fTopo->fEdges.data();
    const uint32_t a = desc[begin], b = desc[begin + 1];
    auto meets = [&](uint32_t x, uint32_t y) { return orientedEnd(edges, x) == orientedStart(edges, y); };
    constexpr uint32_t r = TpolyBits::kReversedUse;
    bool changed = false;
    if (!meets(a, b)) {
        // Flip the first, the second, then both; a pair that cannot meet stays as it was.
        for (const auto& [fa, fb] : {std::pair{r, 0u}, std::pair{0u, r}, std::pair{r, r}}) {
            if (!meets(a ^ fa, b ^ fb)) continue;
            desc[begin] = a ^ fa;
            desc[begin + 1] = b ^ fb;
            changed = true;
            break;
        }
    }
    for (uint32_t o = begin + 2; o < end; ++o) {
        const uint32_t arrive = orientedEnd(edges, desc[o - 1]);
        if (orientedStart(edges, desc[o]) != arrive && orientedEnd(edges, desc[o]) == arrive) {
            desc[o] ^= r;
            changed = true;
        }
    }
    return changed;
}
