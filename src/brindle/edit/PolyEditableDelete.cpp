// Deletion of edges (joining the faces on their two sides) and of vertices between two edges.
// Each operation works out the new corner lists first and refuses before changing anything.
#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "brindle/base/VectorMath.h"
#include "brindle/edit/PolyEditableGeom.h"

namespace {
bool contains(const TuInt32Array& list, uint32_t v) { return list.find(v) != kNotFound; }
void addUnique(TuInt32Array& list, uint32_t v) {
    if (!contains(list, v)) list.addLast(v);
}
uint32_t edgeOf(uint32_t ref) { return ref & TpolyBits::kEdgeMask; }

using Tloop = std::vector<uint32_t>;  // corner indices into a pool list

// Rejoins the loops of a face being merged wherever two of its corners use the same edge: both
// uses go, and the corner before each use is followed by the corner after the other. Within one
// loop this cuts it in two ([X e Y e'] gives [X] and [Y]), across two loops it joins them into
// one; either way every loop stays a closed walk, and no edge is left used twice. `next` links
// each pool corner to the one after it in its loop. The loops come out as the walks of the kept
// corners, each from its lowest corner; loops left with fewer than 3 corners are dropped. The
// spliced-out edges and those of dropped loops are appended to cut. Two uses that
// run the same way cannot be spliced into connected loops (the faces disagree in orientation):
// false then, with loops and cut left unusable.
bool rejoinAtRepeatedEdges(const TuInt32Array& refs, const std::vector<uint32_t>& next, std::vector<Tloop>& loops,
                           TuInt32Array& cut) {
    const uint32_t n = refs.size();
    std::vector<uint64_t> byEdge(n);
    for (uint32_t c = 0; c < n; ++c) byEdge[c] = (uint64_t(edgeOf(refs[c])) << 32) | c;
    std::sort(byEdge.begin(), byEdge.end());
    constexpr uint32_t kKept = TpolyBits::kNoId;
    std::vector<uint32_t> partner(n, kKept);
    for (uint32_t i = 0; i + 1 < n; ++i)
        if ((byEdge[i] >> 32) == (byEdge[i + 1] >> 32)) {
            const uint32_t a = uint32_t(byEdge[i]), b = uint32_t(byEdge[i + 1]);
            if (!((refs[a] ^ refs[b]) & TpolyBits::kReversedUse)) return false;
            partner[a] = b, partner[b] = a;
            addUnique(cut, edgeOf(refs[a]));
            ++i;
        }
    // Stepping from a corner to the one after it, and from a spliced-out use on to the corner
    // after its partner, is a permutation of the pool; the walk from a kept corner therefore
    // comes back to it.
    std::vector<bool> seen(n, false);
    loops.clear();
    for (uint32_t c = 0; c < n; ++c) {
        if (seen[c] || partner[c] != kKept) continue;
        loops.emplace_back();
        for (uint32_t x = c; !seen[x];) {
            seen[x] = true;
            loops.back().push_back(x);
            x = next[x];
            while (partner[x] != kKept) x = next[partner[x]];
        }
    }
    for (size_t i = loops.size(); i-- > 0;)
        if (loops[i].size() < 3) {
            for (uint32_t c : loops[i]) addUnique(cut, edgeOf(refs[c]));
            loops.erase(loops.begin() + long(i));
        }
    return true;
}

// Links each corner of a list of loops (given by their lengths) to the next of its loop.
void linkLoops(const TuInt32Array& lengths, std::vector<uint32_t>& next) {
    uint32_t base = 0;
    for (uint32_t n : lengths) {
        for (uint32_t i = 0; i < n; ++i) next.push_back(base + (i + 1) % n);
        base += n;
    }
}

// The corners of the loops, in loop order, with their attributes, appended to out.
template <typename List>
void gatherLoops(const List& pool, const std::vector<Tloop>& loops, uint32_t nbUV, uint32_t nbColor, bool normals,
                 List& out) {
    for (const Tloop& lp : loops) {
        for (uint32_t c : lp) {
            out.refs.addLast(pool.refs[c]);
            for (uint32_t s = 0; s < nbUV; ++s) out.uvIds.addLast(pool.uvIds[c * nbUV + s]);
            for (uint32_t s = 0; s < nbColor; ++s) out.colorIds.addLast(pool.colorIds[c * nbColor + s]);
            if (normals) out.normalIds.addLast(pool.normalIds[c]);
        }
        out.loops.addLast(uint32_t(lp.size()));
    }
}
}  // namespace

namespace {
// Twice the area of the polygon through the loop's oriented start vertices (Newell's normal).
template <typename Geom>
float loopArea(const Geom& g, const TuInt32Array& refs, const Tloop& loop) {
    T3dDblVector normal;
    for (size_t i = 0; i < loop.size(); ++i) {
        const uint32_t r0 = refs[loop[i]], r1 = refs[loop[(i + 1) % loop.size()]];
        const T3dFltPoint& p =
            g.vertex(g.getStartVertex(edgeOf(r0), (r0 & TpolyBits::kReversedUse) ? kReversed : kForward));
        const T3dFltPoint& q =
            g.vertex(g.getStartVertex(edgeOf(r1), (r1 & TpolyBits::kReversedUse) ? kReversed : kForward));
        addNewellSide(normal, p, q);
    }
    return float(length(normal));
}
}  // namespace

bool TpolyEditableGeom::deleteEdge(uint32_t edge, bool cleanVertices) {
    if (!hasAdjacency() || edge >= edgeCount() || isEdgeDeleted(edge)) return false;
    const TpolyWingEdge& w = fWings[edge];
    if (!TpolyTopo::isSingleFace(w.side[0]) || !TpolyTopo::isSingleFace(w.side[1])) return false;
    const uint32_t left = w.side[0], right = w.side[1];
    if (left == right) return deleteEdgeNotOnHole(edge, cleanVertices);
    auto inHole = [&](uint32_t id) {
        const TfaceNode& f = fFaces.fNodes[id];
        uint32_t first, end;
        f.loopBounds(f.findEdgeInFace(edge), first, end);
        return first > 0;
    };
    const bool holeL = inHole(left), holeR = inHole(right);
    if (!holeL && !holeR) return deleteEdgeNotOnHole(edge, cleanVertices);
    if (holeL && holeR) return false;
    return holeL ? deleteEdgeOnHole(edge, left, right, cleanVertices)
                 : deleteEdgeOnHole(edge, right, left, cleanVertices);
}

bool TpolyEditableGeom::deleteEdgeNotOnHole(uint32_t edge, bool cleanVertices) {
    if (!hasAdjacency() || edge >= edgeCount() || isEdgeDeleted(edge)) return false;
    const TpolyWingEdge& w = fWings[edge];
    if (!TpolyTopo::isSingleFace(w.side[0]) || !TpolyTopo::isSingleFace(w.side[1])) return false;
    const uint32_t left = w.side[0], right = w.side[1];
    const uint32_t a = getStartVertex(edge), b = getEndVertex(edge);
    const TfaceNode& fl = fFaces.fNodes[left];
    const TfaceNode& fr = fFaces.fNodes[right];

    // The pool holds every corner of both faces, loop by loop; next links each corner to the
    // following one of its loop.
    TcornerList pool;
    std::vector<uint32_t> next;
    auto addLoop = [&](const TfaceNode& f, uint32_t from) {
        const uint32_t base = pool.refs.size();
        uint32_t k = from;
        do {
            appendCorner(pool, f, k);
            next.push_back(pool.refs.size());
            k = f.nextInLoop(k);
        } while (k != from);
        next.back() = base;
    };
    // Every loop of the face but the outer one when skipOuter.
    auto addLoops = [&](const TfaceNode& f, bool skipOuter) {
        for (uint32_t first = 0, end = 0; first < f.fCount; first = end) {
            f.loopBounds(first, first, end);
            if (first > 0 || !skipOuter) addLoop(f, first);
        }
    };
    if (left == right) {
        // One face on both sides: its loop is cut at the edge like at any repeated edge, but
        // both uses must lie in the same loop.
        uint32_t k1 = fl.findEdgeInFace(edge), k2 = TpolyBits::kNoId;
        for (uint32_t k = k1 + 1; k < fl.fCount; ++k)
            if (fl.getEdge(k) == edge) k2 = k;
        uint32_t first1, end1, first2, end2;
        fl.loopBounds(k1, first1, end1);
        fl.loopBounds(k2 == TpolyBits::kNoId ? k1 : k2, first2, end2);
        if (k2 == TpolyBits::kNoId || first1 != first2) return false;
        addLoops(fl, false);
    } else {
        // Each face's outer loop from after the edge round to it, then the face's holes; the
        // two uses of the edge join the outer loops, the left face's part first.
        const uint32_t kl = fl.findEdgeInFace(edge), kr = fr.findEdgeInFace(edge);
        uint32_t first, end;
        fl.loopBounds(kl, first, end);
        if (first) return false;
        fr.loopBounds(kr, first, end);
        if (first) return false;
        for (const auto& [f, k0] : {std::pair{&fl, kl}, std::pair{&fr, kr}}) {
            addLoop(*f, f->nextInLoop(k0));
            addLoops(*f, true);
        }
    }
    TuInt32Array gone(8);
    std::vector<Tloop> loops;
    if (!rejoinAtRepeatedEdges(pool.refs, next, loops, gone) || loops.empty()) return false;
    // The largest loop is the outer one, the others are holes.
    size_t outer = 0;
    float best = -1;
    for (size_t i = 0; i < loops.size(); ++i)
        if (const float area = loopArea(*this, pool.refs, loops[i]); area > best) {
            best = area;
            outer = i;
        }
    std::swap(loops[0], loops[outer]);

    TcornerList merged;
    gatherLoops(pool, loops, fNbUVSets, fNbColorSets, hasUserNormals(), merged);

    TuInt32Array vertices(16);
    faceVertices(fl, vertices);
    faceVertices(fr, vertices);
    std::vector<TuInt32Array> lists;
    captureVertices(vertices, lists);
    if (left != right) dropFace(right);
    rebuildFromList(left, merged);
    // Edges the join left out are deleted once no face uses them.
    for (uint32_t e : gone) {
        const TpolyWingEdge& we = fWings[e];
        if (e == edge || (we.side[0] == TpolyBits::kNoFace && we.side[1] == TpolyBits::kNoFace)) markEdgeDeleted(e);
    }
    refreshVertices(vertices, lists);
    if (cleanVertices) {
        deleteVertex(a);
        deleteVertex(b);
    }
    return true;
}

// The edge lies on hole loop of `outer` that `inner` fills: the hole and the inner face go, and
// the inner face's own holes become holes of the outer face.
bool TpolyEditableGeom::deleteEdgeOnHole(uint32_t edge, uint32_t outer, uint32_t inner, bool cleanVertices) {
    const TfaceNode& fo = fFaces.fNodes[outer];
    const TfaceNode& fi = fFaces.fNodes[inner];
    uint32_t holeFirst, holeEnd, first, innerEnd;
    fo.loopBounds(fo.findEdgeInFace(edge), holeFirst, holeEnd);
    fi.loopBounds(fi.findEdgeInFace(edge), first, innerEnd);
    if (first || innerEnd != holeEnd - holeFirst) return false;
    for (uint32_t k = 0; k < innerEnd; ++k) {
        const uint32_t e = fi.getEdge(k);
        const TpolyWingEdge& w = fWings[e];
        const bool filled = (w.side[0] == inner && w.side[1] == outer) || (w.side[0] == outer && w.side[1] == inner);
        uint32_t kf, ke;
        const uint32_t ko = fo.findEdgeInFace(e);
        if (!filled || ko == TpolyBits::kNoId || (fo.loopBounds(ko, kf, ke), kf != holeFirst)) return false;
    }
    TcornerList kept, joined;
    for (uint32_t lf = 0, le = 0; lf < fo.fCount; lf = le) {
        fo.loopBounds(lf, lf, le);
        if (lf != holeFirst) appendLoop(kept, fo, lf, le);
    }
    for (uint32_t lf = innerEnd, le = 0; lf < fi.fCount; lf = le) {
        fi.loopBounds(lf, lf, le);
        appendLoop(kept, fi, lf, le);
    }
    // A hole of the inner face may run along another loop of the outer face: they join there.
    std::vector<uint32_t> next;
    linkLoops(kept.loops, next);
    std::vector<Tloop> loops;
    TuInt32Array gone(8);
    if (!rejoinAtRepeatedEdges(kept.refs, next, loops, gone) || loops.empty()) return false;
    if (!gone.empty()) gatherLoops(kept, loops, fNbUVSets, fNbColorSets, hasUserNormals(), joined);
    TcornerList& merged = gone.empty() ? kept : joined;
    // A set that maps only one of the two faces maps neither part of the merged face.
    for (uint32_t s = 0; s < fNbUVSets; ++s)
        if (isMapped(fo, s) != isMapped(fi, s))
            for (uint32_t c = 0; c < merged.refs.size(); ++c) merged.uvIds[c * fNbUVSets + s] = -1;

    TuInt32Array vertices(16);
    faceVertices(fi, vertices);
    std::vector<TuInt32Array> lists;
    captureVertices(vertices, lists);
    markEdgeDeleted(edge);
    if (cleanVertices)
        for (uint32_t k = 0; k < innerEnd; ++k) markEdgeDeleted(fi.getEdge(k));
    dropFace(inner);
    rebuildFromList(outer, merged);
    for (uint32_t e : gone) {
        const TpolyWingEdge& we = fWings[e];
        if (we.side[0] == TpolyBits::kNoFace && we.side[1] == TpolyBits::kNoFace) markEdgeDeleted(e);
    }
    refreshVertices(vertices, lists);
    return true;
}

bool TpolyEditableGeom::deleteVertex(uint32_t v) {
    if (!hasAdjacency() || v >= vertexCount() || fVertexInfo[v].order != 2) return false;
    TuInt32Array edges(4), faces(8), list(8);
    getVertexEdges(v, edges);
    if (edges.size() != 2 || isEdgeDeleted(edges[0]) || isEdgeDeleted(edges[1])) return false;
    // The merged edge keeps the older id, and with it its groups and blind data.
    const uint32_t e1 = std::min(edges[0], edges[1]), e2 = std::max(edges[0], edges[1]);
    const uint32_t x = getStartVertex(e1) == v ? getEndVertex(e1) : getStartVertex(e1);
    const uint32_t y = getStartVertex(e2) == v ? getEndVertex(e2) : getStartVertex(e2);
    if (x == v || y == v || x == y) return false;
    edgeFaces(e1, faces);
    edgeFaces(e2, list);
    for (uint32_t f : list) addUnique(faces, f);
    for (uint32_t id : faces) {
        const TfaceNode& f = fFaces.fNodes[id];
        for (uint32_t k = 0; k < f.fCount; ++k) {
            if (getStartVertexInFace(f, k) != v) continue;
            const uint32_t p = f.prevInLoop(k);
            uint32_t first, end;
            f.loopBounds(k, first, end);
            const bool pair = (f.getEdge(p) == e1 && f.getEdge(k) == e2) || (f.getEdge(p) == e2 && f.getEdge(k) == e1);
            if (!pair || end - first < 4) return false;
        }
    }

    TuInt32Array vertices(4);
    for (uint32_t u : {v, x, y}) vertices.addLast(u);
    std::vector<TuInt32Array> lists;
    captureVertices(vertices, lists);
    lists[2].addLast(e1);
    // In each face the corner leaving v goes; the corner before it, which keeps its start and
    // attributes, takes e1 in the direction e1's use had, which after e1 is moved onto y runs
    // from that start to the far end.
    constexpr uint32_t kUse = TpolyBits::kEdgeMask | TpolyBits::kReversedUse;
    for (uint32_t id : faces) {
        enterWings(id, false);
        TfaceNode& f = fFaces.fNodes[id];
        // Found before any change: a rewritten corner would seem to leave v too.
        list.clear();
        for (uint32_t k = 0; k < f.fCount; ++k)
            if (getStartVertexInFace(f, k) == v) list.addLast(k);
        for (uint32_t i = list.size(); i-- > 0;) {
            const uint32_t k = list[i], p = f.prevInLoop(k);
            const uint32_t use = (f.getEdge(p) == e1 ? f.fCorners[p] : f.fCorners[k]) & kUse;
            f.fCorners[p] = (f.fCorners[p] & ~kUse) | use;
            removeSlot(f, k);
        }
    }
    TpolyEdge& moved = fEdges[e1];
    if (moved.start() == v)
        moved.v[0] = (moved.v[0] & TpolyBits::kHardFlag) | y;
    else
        moved.v[1] = y;
    markEdgeDeleted(e2);
    for (uint32_t id : faces) enterWings(id, true);
    refreshVertices(vertices, lists);
    return true;
}

void TpolyEditableGeom::removeLoopFromFace(uint32_t face, uint32_t loop) {
    const TfaceNode* f = fFaces.find(face);
    if (!f || loop == 0 || loop >= f->faceOrder()) return;
    TcornerList kept;
    uint32_t index = 0;
    for (uint32_t first = 0, end = 0; first < f->fCount; first = end, ++index) {
        f->loopBounds(first, first, end);
        if (index != loop) appendLoop(kept, *f, first, end);
    }
    rebuildFromList(face, kept);
}
