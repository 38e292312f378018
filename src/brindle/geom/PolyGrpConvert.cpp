// Conversions of component sets between kinds (vertex, edge, face, UV, vertex-face).
// Keeps true: every conversion is one pass over the incidences of the two kinds (the edge array
// for vertex/edge, the face description for every other pair), plus one pass over the
// destination; a same-kind conversion is two such passes through an intermediate kind. Each
// destination component records whether it saw a source inside the set and one outside it, and
// the mode picks from those two flags. Ids that the record's arrays do not back (unmapped or
// out-of-range UV ids, edge ids beyond the edge array) are skipped, never followed.

#include <vector>

#include "brindle/geom/FaceTraversal.h"
#include "brindle/geom/PolyGeom.h"

namespace {

enum : uint8_t { kSeenIn = 1, kSeenOut = 2 };

using TpolyBits::kNoId;

// What one walk over the record needs, read once.
struct TincidenceSource {
    const uint32_t* desc;
    uint32_t nbCorners;
    const TpolyEdge* edges;
    uint32_t nbEdges;
    const int32_t* uvIds;  // current set, null when there is none
    uint32_t nbUvIds;
};

template <TpolyGrpType K>
uint32_t cornerId(const TincidenceSource& x, uint32_t c, uint32_t face) {
    if constexpr (K == kPolyGrpVertex) {
        uint32_t w = x.desc[c], e = w & TpolyBits::kEdgeMask;
        if (e >= x.nbEdges) return kNoId;
        return x.edges[e].v[(w & TpolyBits::kReversedUse) ? 1 : 0] & TpolyBits::kVertexMask;
    } else if constexpr (K == kPolyGrpEdge) {
        return x.desc[c] & TpolyBits::kEdgeMask;
    } else if constexpr (K == kPolyGrpFace) {
        return face;
    } else if constexpr (K == kPolyGrpUV) {
        return c < x.nbUvIds && x.uvIds[c] >= 0 ? uint32_t(x.uvIds[c]) : kNoId;
    } else {
        return c;
    }
}

// An edge touches the corners (and their UVs) at both of its ends within a face.
constexpr bool atBothEnds(TpolyGrpType a, TpolyGrpType b) {
    return a == kPolyGrpEdge && (b == kPolyGrpUV || b == kPolyGrpVertexFace);
}

// Calls fn(idOfKindA, idOfKindB) for every incidence between the two (different) kinds whose
// kind-A id passes keep; the kind-B id is not even looked up for the others.
template <TpolyGrpType A, TpolyGrpType B, typename Keep, typename Fn>
void forEachIncidence(const TincidenceSource& x, Keep&& keep, Fn&& fn) {
    if constexpr ((A == kPolyGrpVertex && B == kPolyGrpEdge) || (A == kPolyGrpEdge && B == kPolyGrpVertex)) {
        // Edges no face uses still join their two vertices.
        for (uint32_t e = 0; e < x.nbEdges; ++e) {
            for (uint32_t w : x.edges[e].v) {
                uint32_t v = w & TpolyBits::kVertexMask;
                if constexpr (A == kPolyGrpEdge) {
                    if (keep(e)) fn(e, v);
                } else if (keep(v)) {
                    fn(v, e);
                }
            }
        }
    } else {
        auto visit = [&](uint32_t ca, uint32_t cb, uint32_t face) {
            uint32_t a = cornerId<A>(x, ca, face);
            if (a == kNoId || !keep(a)) return;
            uint32_t b = cornerId<B>(x, cb, face);
            if (b != kNoId) fn(a, b);
        };
        uint32_t face = 0, loopStart = 0;
        for (uint32_t c = 0; c < x.nbCorners; ++c) {
            uint32_t w = x.desc[c];
            bool loopEnds = (w & TpolyBits::kEndOfLoop) || c + 1 == x.nbCorners;
            visit(c, c, face);
            if constexpr (atBothEnds(A, B) || atBothEnds(B, A)) {
                uint32_t next = loopEnds ? loopStart : c + 1;
                if constexpr (atBothEnds(A, B))
                    visit(c, next, face);
                else
                    visit(next, c, face);
            }
            if (loopEnds) loopStart = c + 1;
            if (w & TpolyBits::kEndOfFace) ++face;
        }
    }
}

// The kind through which a kind's neighbours are found: vertices joined by an edge, edges and
// faces sharing a vertex, UVs and face corners in the same face.
constexpr TpolyGrpType neighbourVia(TpolyGrpType k) {
    switch (k) {
        case kPolyGrpVertex:
            return kPolyGrpEdge;
        case kPolyGrpEdge:
        case kPolyGrpFace:
            return kPolyGrpVertex;
        default:
            return kPolyGrpFace;
    }
}

struct TconvertJob {
    const TincidenceSource& x;
    const TbitFieldFixedN& in;
    const uint32_t* counts;  // component count of each kind, indexed by TpolyGrpType
    bool inOnly;             // mode 1: only sources in the set can select anything
};

// state[b] collects kSeenIn / kSeenOut over the kind-A sources of each kind-B component. When
// only sources in the set matter (mode 1), the others are skipped before any lookup.
template <TpolyGrpType A, TpolyGrpType B>
void accumulate(const TconvertJob& job, const TbitFieldFixedN& in, std::vector<uint8_t>& state) {
    state.assign(job.counts[B], 0);
    uint32_t nbIn = in.size(), nbState = job.counts[B];
    auto isIn = [&](uint32_t a) { return a < nbIn && in.testBit(a); };
    auto mark = [&](uint32_t a, uint32_t b) {
        if (b < nbState) state[b] |= isIn(a) ? kSeenIn : kSeenOut;
    };
    if (job.inOnly)
        forEachIncidence<A, B>(job.x, isIn, mark);
    else
        forEachIncidence<A, B>(
            job.x, [](uint32_t) { return true; }, mark);
}

template <TpolyGrpType A, TpolyGrpType B>
void collect(const TconvertJob& job, std::vector<uint8_t>& state) {
    if constexpr (A != B) {
        accumulate<A, B>(job, job.in, state);
    } else {
        // A component's sources are itself and its neighbours: what the intermediate kind saw
        // of the set is handed back to every component incident to it.
        constexpr TpolyGrpType K = neighbourVia(A);
        std::vector<uint8_t> via;
        accumulate<A, K>(job, job.in, via);
        state.assign(job.counts[A], 0);
        uint32_t nbIn = job.in.size();
        for (uint32_t i = 0; i < job.counts[A]; ++i) state[i] = i < nbIn && job.in.testBit(i) ? kSeenIn : kSeenOut;
        uint32_t nbVia = job.counts[K];
        forEachIncidence<K, A>(
            job.x, [&](uint32_t k) { return k < nbVia && via[k] != 0; },
            [&](uint32_t k, uint32_t a) {
                if (a < state.size()) state[a] |= via[k];
            });
    }
}

template <TpolyGrpType A>
void collectFrom(TpolyGrpType to, const TconvertJob& job, std::vector<uint8_t>& state) {
    switch (to) {
        case kPolyGrpVertex:
            return collect<A, kPolyGrpVertex>(job, state);
        case kPolyGrpEdge:
            return collect<A, kPolyGrpEdge>(job, state);
        case kPolyGrpFace:
            return collect<A, kPolyGrpFace>(job, state);
        case kPolyGrpUV:
            return collect<A, kPolyGrpUV>(job, state);
        default:
            return collect<A, kPolyGrpVertexFace>(job, state);
    }
}

void collectAny(TpolyGrpType from, TpolyGrpType to, const TconvertJob& job, std::vector<uint8_t>& state) {
    switch (from) {
        case kPolyGrpVertex:
            return collectFrom<kPolyGrpVertex>(to, job, state);
        case kPolyGrpEdge:
            return collectFrom<kPolyGrpEdge>(to, job, state);
        case kPolyGrpFace:
            return collectFrom<kPolyGrpFace>(to, job, state);
        case kPolyGrpUV:
            return collectFrom<kPolyGrpUV>(to, job, state);
        default:
            return collectFrom<kPolyGrpVertexFace>(to, job, state);
    }
}

bool picked(uint8_t state, int mode) {
    switch (mode) {
        case 0:
            return state == kSeenIn;
        case 1:
            return (state & kSeenIn) != 0;
        default:
            return state == (kSeenIn | kSeenOut);
    }
}

}  // namespace

bool TpolyGeom::convertFlags(TpolyGrpType from, TpolyGrpType to, const TbitFieldFixedN& in, TbitFieldFixedN& out,
                             int convertMode) {
    auto kind = [](TpolyGrpType k) { return k >= kPolyGrpVertex && k <= kPolyGrpVertexFace; };
    if (!kind(from) || !kind(to) || convertMode < 0 || convertMode > 2) return false;
    if (from == kPolyGrpFace || to == kPolyGrpFace || from == kPolyGrpVertexFace || to == kPolyGrpVertexFace)
        update(dirtyFaceOffsets);
    uint32_t counts[6] = {0};
    for (TpolyGrpType k : {kPolyGrpVertex, kPolyGrpEdge, kPolyGrpFace, kPolyGrpUV, kPolyGrpVertexFace})
        counts[k] = getMaxVal(k);
    out.resizeArray(counts[to]);
    // Without UVs in the current set there is nothing to convert to or from.
    bool usesUV = from == kPolyGrpUV || to == kPolyGrpUV;
    if (usesUV && counts[kPolyGrpUV] == 0) return true;

    int32_t set = getCurrentMap();
    TincidenceSource x{faceDescArray().data(),
                       faceDescLength(),
                       edgeArray().data(),
                       nbEdge(),
                       set < 0 ? nullptr : getUVIdArray(uint32_t(set)),
                       set < 0 ? 0 : nbUVRef(uint32_t(set))};
    if (!x.uvIds) x.nbUvIds = 0;
    std::vector<uint8_t> state;
    collectAny(from, to, TconvertJob{x, in, counts, convertMode == 1}, state);
    for (uint32_t i = 0; i < counts[to]; ++i)
        if (picked(state[i], convertMode)) out.setBit(i);
    return true;
}

bool TpolyGeom::convertFiltered(TpolyGrpType from, TpolyGrpType to, const TbitFieldFixedN& in, TbitFieldFixedN& out,
                                int convertMode, bool filter) {
    if (!convertFlags(from, to, in, out, convertMode)) return false;
    if (filter) filterItems(to, 0, out);
    return true;
}

// --- Shells --------------------------------------------------------------------------------------

namespace {

// The representative vertex of every vertex's piece, joining the two ends of every edge that
// joins passes (union by size with path halving, so the whole pass is near linear). Edge ends
// beyond the vertex array are ignored.
template <typename Joins>
std::vector<uint32_t> vertexPieces(const TpolyGeom& g, Joins&& joins) {
    uint32_t n = g.nbVertex();
    std::vector<uint32_t> parent(n), size(n, 1);
    for (uint32_t v = 0; v < n; ++v) parent[v] = v;
    auto find = [&](uint32_t v) {
        while (parent[v] != v) v = parent[v] = parent[parent[v]];
        return v;
    };
    for (uint32_t e = 0; e < g.nbEdge(); ++e) {
        uint32_t a = g.startVertex(e), b = g.endVertex(e);
        if (a >= n || b >= n || !joins(e)) continue;
        a = find(a);
        b = find(b);
        if (a == b) continue;
        if (size[a] < size[b]) std::swap(a, b);
        parent[b] = a;
        size[a] += size[b];
    }
    for (uint32_t v = 0; v < n; ++v) parent[v] = find(v);
    return parent;
}

bool anyEdge(uint32_t) { return true; }

}  // namespace

uint32_t TpolyGeom::markShellMembers(TuInt32Array* faceShell) {
    update(dirtyFaceOffsets);
    std::vector<uint32_t> piece = vertexPieces(*this, anyEdge);
    std::vector<uint32_t> shellOfPiece(piece.size(), kNoId);
    uint32_t shells = 0;
    if (faceShell) faceShell->clear();
    for (uint32_t f = 0; f < nbFace() && f + 1 < faceOffsetArray().size(); ++f) {
        uint32_t c = faceOffset(f);
        uint32_t shell = kNoId;
        if (c < faceDescLength() && getEdge(c) < nbEdge() && getStartVertex(c) < piece.size()) {
            uint32_t& s = shellOfPiece[piece[getStartVertex(c)]];
            if (s == kNoId) s = shells++;
            shell = s;
        }
        if (faceShell) faceShell->addLast(shell);
    }
    fNbShell = shells;
    setNbShellIsValid(true);
    return shells;
}

uint32_t TpolyGeom::nbShell() { return nbShellIsValid() ? fNbShell : markShellMembers(); }

// One flood fill per piece; a face reached across an edge that is not two-sided with single
// faces is rejected from that edge only, so it still joins its piece through another edge.
uint32_t TpolyGeom::markManifoldMembers(TuInt32Array* facePiece) {
    TfaceTraversal fill(this);
    fill.reset(kNoId, true);
    const TpolyWingEdgeArray& wings = topo()->fEdgeToFace;
    auto twoSided = [&](uint32_t e) {
        return e < wings.size() && TpolyTopo::isSingleFace(wings[e].side[kLeft]) &&
               TpolyTopo::isSingleFace(wings[e].side[kRight]);
    };
    if (facePiece) {
        facePiece->clear();
        facePiece->changeLogicalSizeTo(nbFace());
    }
    uint32_t pieces = 0;
    for (uint32_t seed = 0; seed < nbFace(); ++seed) {
        if (fill.isFaceVisited(seed)) continue;
        for (uint32_t f = fill.reset(seed, false); f != kNoId; f = fill.next()) {
            if (fill.fromFace() != kNoId && !twoSided(fill.traversedEdge()))
                fill.rejectCurrentFaceFromThisEdge();
            else if (facePiece)
                (*facePiece)[f] = pieces;
        }
        ++pieces;
    }
    return pieces;
}

bool TpolyGeom::extendToShell(TpolyGrpType type, TbitFieldFixedN& bits) {
    TbitFieldFixedN touched, shellVertices(nbVertex());
    if (type == kPolyGrpVertex)
        touched = bits;
    else if (!convertFlags(type, kPolyGrpVertex, bits, touched, 1))
        return false;
    std::vector<uint32_t> piece = vertexPieces(*this, anyEdge);
    std::vector<bool> chosen(piece.size(), false);
    for (uint32_t v = 0; v < touched.size() && v < piece.size(); ++v)
        if (touched.testBit(v)) chosen[piece[v]] = true;
    for (uint32_t v = 0; v < piece.size(); ++v)
        if (chosen[piece[v]]) shellVertices.setBit(v);
    if (type == kPolyGrpVertex) {
        bits = shellVertices;
        return true;
    }
    return convertFlags(kPolyGrpVertex, type, shellVertices, bits, 1);
}

// --- Edge loops ----------------------------------------------------------------------------------

uint32_t TpolyGeom::extendToEdgeLoop(TbitFieldFixedN& bits, int limit) {
    update(dirtyEdgeToFace);
    uint32_t nbV = nbVertex(), nbE = nbEdge();
    if (bits.size() != nbE) bits.resizeArrayWithCopy(nbE);
    // Edges around each vertex, as offsets into one flat list (counting sort over the edge ends).
    std::vector<uint32_t> start(nbV + 1, 0), around(2 * size_t(nbE));
    for (uint32_t e = 0; e < nbE; ++e)
        for (uint32_t v : {startVertex(e), endVertex(e)})
            if (v < nbV) ++start[v + 1];
    for (uint32_t v = 0; v < nbV; ++v) start[v + 1] += start[v];
    std::vector<uint32_t> fill(start.begin(), start.end() - 1);
    for (uint32_t e = 0; e < nbE; ++e)
        for (uint32_t v : {startVertex(e), endVertex(e)})
            if (v < nbV) around[fill[v]++] = e;

    // The two faces of an edge, or false when a side is empty or holds several faces.
    const TpolyWingEdgeArray& wings = topo()->fEdgeToFace;
    constexpr uint32_t kSeveralFaces = 0x40000000u;  // a side word from here up is no single face
    auto faces = [&](uint32_t e, uint32_t& l, uint32_t& r) {
        if (e >= wings.size()) return false;
        l = wings[e].side[kLeft];
        r = wings[e].side[kRight];
        return l < kSeveralFaces && r < kSeveralFaces;
    };
    TbitFieldFixedN seeds = bits;
    uint32_t added = 0;
    for (uint32_t seed = 0; seed < nbE; ++seed) {
        if (!seeds.testBit(seed)) continue;
        for (uint32_t v : {startVertex(seed), endVertex(seed)}) {
            uint32_t e = seed, steps = 0;
            while (v < nbV && start[v + 1] - start[v] == 4 && (limit <= 0 || steps < uint32_t(limit))) {
                uint32_t l, r, next = TpolyBits::kNoId;
                if (!faces(e, l, r)) break;
                for (uint32_t k = start[v]; k < start[v + 1]; ++k) {
                    uint32_t cand = around[k], cl, cr;
                    if (cand != e && faces(cand, cl, cr) && cl != l && cl != r && cr != l && cr != r) next = cand;
                }
                if (next == TpolyBits::kNoId || bits.testBit(next)) break;
                bits.setBit(next);
                ++added;
                ++steps;
                v = startVertex(next) == v ? endVertex(next) : startVertex(next);
                e = next;
            }
        }
    }
    return added;
}

// --- Borders -------------------------------------------------------------------------------------

bool TpolyGeom::extendToBorder(TpolyGrpType type, TbitFieldFixedN& bits) {
    if (type != kPolyGrpVertex && type != kPolyGrpEdge) return false;
    update(dirtyEdgeToFace);
    uint32_t nbV = nbVertex(), nbE = nbEdge();
    const TpolyWingEdgeArray& wings = topo()->fEdgeToFace;
    auto onBorder = [&](uint32_t e) {
        return e < wings.size() &&
               (wings[e].side[kLeft] == TpolyBits::kNoFace || wings[e].side[kRight] == TpolyBits::kNoFace);
    };
    std::vector<uint32_t> piece = vertexPieces(*this, onBorder);
    // The border pieces the set reaches: through its border edges, or its vertices on a border edge.
    std::vector<bool> reached(nbV, false), borderVertex(nbV, false);
    for (uint32_t e = 0; e < nbE; ++e) {
        if (!onBorder(e)) continue;
        for (uint32_t v : {startVertex(e), endVertex(e)}) {
            if (v >= nbV) continue;
            borderVertex[v] = true;
            bool seeded =
                type == kPolyGrpEdge ? e < bits.size() && bits.testBit(e) : v < bits.size() && bits.testBit(v);
            if (seeded) reached[piece[v]] = true;
        }
    }
    if (type == kPolyGrpVertex) {
        bits.resizeArrayWithCopy(nbV);
        for (uint32_t v = 0; v < nbV; ++v)
            if (borderVertex[v] && reached[piece[v]]) bits.setBit(v);
        return true;
    }
    bits.resizeArrayWithCopy(nbE);
    for (uint32_t e = 0; e < nbE; ++e)
        if (onBorder(e) && startVertex(e) < nbV && reached[piece[startVertex(e)]]) bits.setBit(e);
    return true;
}

// --- Creases -------------------------------------------------------------------------------------

// Flood fills from the set faces or hard edges; a step across a hard edge (faces) or onto a soft
// edge or through a vertex without exactly two hard edges (edges) is rejected, so each region is
// walked once however many seeds it holds.
bool TpolyGeom::extendToCrease(TpolyGrpType type, TbitFieldFixedN& bits) {
    if (type == kPolyGrpFace) {
        TfaceTraversal fill(this);
        fill.reset(TpolyBits::kNoId, true);
        if (bits.size() != nbFace()) bits.resizeArrayWithCopy(nbFace());
        for (uint32_t seed = 0; seed < nbFace(); ++seed) {
            if (!bits.testBit(seed) || fill.isFaceVisited(seed)) continue;
            for (uint32_t f = fill.reset(seed, false); f != kNoId; f = fill.next()) {
                if (fill.fromFace() != kNoId && isHard(fill.traversedEdge()))
                    fill.rejectCurrentFaceFromThisEdge();
                else
                    bits.setBit(f);
            }
        }
        return true;
    }
    if (type != kPolyGrpEdge) return false;
    TedgeTraversal fill(this);
    fill.reset(TpolyBits::kNoId, true);  // brings the tables up to date, so borders are hard
    uint32_t nbV = nbVertex(), nbE = nbEdge();
    if (bits.size() != nbE) bits.resizeArrayWithCopy(nbE);
    std::vector<uint8_t> hardEnds(nbV, 0);
    for (uint32_t e = 0; e < nbE; ++e)
        if (isHard(e))
            for (uint32_t v : {startVertex(e), endVertex(e)})
                if (v < nbV && hardEnds[v] < 3) ++hardEnds[v];
    for (uint32_t seed = 0; seed < nbE; ++seed) {
        if (!bits.testBit(seed) || !isHard(seed) || fill.isEdgeVisited(seed)) continue;
        for (uint32_t e = fill.reset(seed, false); e != kNoId; e = fill.next()) {
            uint32_t v = fill.traversedVertex();
            if (fill.fromEdge() != kNoId && (!isHard(e) || v >= nbV || hardEnds[v] != 2))
                fill.rejectCurrentVertex();
            else
                bits.setBit(e);
        }
    }
    return true;
}
