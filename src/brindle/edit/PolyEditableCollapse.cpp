// Deletion of faces and the collapse of edges and faces, with the corner-list plumbing the
// deletions share. Nothing here renumbers: removed faces leave the map, removed edges are marked
// and left unused, and vertices stay in place (a merged-away vertex keeps no edges).
#include <algorithm>
#include <utility>

#include "brindle/edit/PolyEditableGeom.h"

namespace {
constexpr uint32_t kEndFlags = TpolyBits::kEndOfLoop | TpolyBits::kEndOfFace;

void addUnique(TuInt32Array& list, uint32_t v) {
    if (list.find(v) == kNotFound) list.addLast(v);
}
bool contains(const TuInt32Array& list, uint32_t v) { return list.find(v) != kNotFound; }
Tside sideOf(uint32_t ref) { return (ref & TpolyBits::kReversedUse) ? kRight : kLeft; }

template <typename T>
void shiftDown(T* run, uint32_t count, uint32_t k) {
    std::copy(run + k + 1, run + count, run + k);
}

T2FloatPair average(const T2FloatPair& a, const T2FloatPair& b) { return {(a.u + b.u) / 2, (a.v + b.v) / 2}; }
TpolyColorValue average(const TpolyColorValue& a, const TpolyColorValue& b) {
    return {(a.r + b.r) / 2, (a.g + b.g) / 2, (a.b + b.b) / 2, (a.a + b.a) / 2};
}

// Old attribute id -> merged id for one set during a collapse.
using TidRemap = std::vector<std::pair<int32_t, int32_t>>;
int32_t remapped(const TidRemap& map, int32_t id) {
    for (const auto& [from, to] : map)
        if (from == id) return to;
    return -1;
}
// The merged value of the ids at the two ends of the collapsed edge in one face: both ids map to
// one new value, their average, made once per pair so that faces sharing ids keep sharing.
template <typename Values, typename Make>
void mergeIds(TidRemap& map, int32_t ia, int32_t ib, const Values& values, Make&& make) {
    if (ia < 0 || ib < 0) return;
    int32_t m = remapped(map, ia);
    if (m < 0) m = remapped(map, ib);
    if (m < 0) m = make(average(values[uint32_t(ia)], values[uint32_t(ib)]));
    if (remapped(map, ia) < 0) map.emplace_back(ia, m);
    if (remapped(map, ib) < 0) map.emplace_back(ib, m);
}
}  // namespace

void TpolyEditableGeom::markEdgeDeleted(uint32_t e) { fEdgeSource[e] = kDeletedEdge; }

// --- Corner lists --------------------------------------------------------------------------------

void TpolyEditableGeom::TcornerList::clear() {
    refs.clear();
    loops.clear();
    uvIds.clear();
    colorIds.clear();
    normalIds.clear();
}

void TpolyEditableGeom::appendCorner(TcornerList& list, const TfaceNode& f, uint32_t k) {
    list.refs.addLast(f.fCorners[k] & ~kEndFlags);
    for (uint32_t s = 0; s < fNbUVSets; ++s) list.uvIds.addLast(fUVIds[s][f.fOffset + k]);
    for (uint32_t s = 0; s < fNbColorSets; ++s) list.colorIds.addLast(fColorIds[s][f.fOffset + k]);
    if (hasUserNormals()) list.normalIds.addLast(int32_t(fNormalIds[f.fOffset + k]));
}

void TpolyEditableGeom::appendLoop(TcornerList& list, const TfaceNode& f, uint32_t first, uint32_t end) {
    for (uint32_t k = first; k < end; ++k) appendCorner(list, f, k);
    list.loops.addLast(end - first);
}

void TpolyEditableGeom::rebuildFromList(uint32_t face, TcornerList& list) {
    uint32_t at = 0;
    for (uint32_t n : list.loops) {
        at += n;
        list.refs[at - 1] |= TpolyBits::kEndOfLoop;
    }
    list.refs.last() |= TpolyBits::kEndOfFace;
    rebuildFace(face, list.refs.data(), list.refs.size(), list.uvIds.data(), list.colorIds.data(),
                hasUserNormals() ? list.normalIds.data() : nullptr, fMode);
}

void TpolyEditableGeom::removeSlot(TfaceNode& f, uint32_t k) {
    const uint32_t flags = f.fCorners[k] & kEndFlags;
    shiftDown(f.fCorners, f.fCount, k);
    for (auto& ids : fUVIds) shiftDown(ids.run(f.fOffset), f.fCount, k);
    for (auto& ids : fColorIds) shiftDown(ids.run(f.fOffset), f.fCount, k);
    if (hasUserNormals()) shiftDown(fNormalIds.run(f.fOffset), f.fCount, k);
    --f.fCount;
    if (flags && k > 0) f.fCorners[k - 1] |= flags;
}

// --- Vertex information around an edit ------------------------------------------------------------

void TpolyEditableGeom::faceVertices(const TfaceNode& f, TuInt32Array& out) const {
    for (uint32_t k = 0; k < f.fCount; ++k) addUnique(out, getStartVertexInFace(f, k));
}

void TpolyEditableGeom::captureVertices(const TuInt32Array& vertices, std::vector<TuInt32Array>& lists) const {
    lists.resize(vertices.size());
    for (uint32_t i = 0; i < vertices.size(); ++i) getVertexEdges(vertices[i], lists[i]);
}

void TpolyEditableGeom::refreshVertices(const TuInt32Array& vertices, std::vector<TuInt32Array>& lists) {
    if (!(fMode & kModeVertexInfo)) return;
    TuInt32Array kept(16);
    for (uint32_t i = 0; i < vertices.size(); ++i) {
        const uint32_t v = vertices[i];
        kept.clear();
        for (uint32_t e : lists[i])
            if (!isEdgeDeleted(e) && (getStartVertex(e) == v || getEndVertex(e) == v)) addUnique(kept, e);
        setVertexEdges(v, kept);
    }
}

// --- Faces ---------------------------------------------------------------------------------------

void TpolyEditableGeom::dropFace(uint32_t face) {
    enterWings(face, false);
    fFaces.fNodes[face].fLive = false;
    --fFaceCount;
    fChanged = 1;
}

void TpolyEditableGeom::deleteFace(uint32_t face) {
    TfaceNode* f = fFaces.find(face);
    if (fFaceCount <= 1 || !f) return;
    // The vertices' edge lists stay, but their fans may break apart at the new hole.
    TuInt32Array vertices(16);
    std::vector<TuInt32Array> lists;
    if (fMode & kModeVertexInfo) faceVertices(*f, vertices);
    captureVertices(vertices, lists);
    dropFace(face);
    refreshVertices(vertices, lists);
}

void TpolyEditableGeom::cleanupDegenerateFaces() {
    for (uint32_t id = 0; id < fFaces.idBound(); ++id) {
        const TfaceNode* f = fFaces.find(id);
        if (!f) continue;
        for (uint32_t k = 0; k < f->fCount; ++k)
            if (getStartVertex(f->getEdge(k)) == getEndVertex(f->getEdge(k))) {
                deleteFace(id);
                break;
            }
    }
}

void TpolyEditableGeom::updateVertexAdjacencyForFaceToBeDeleted(uint32_t face) {
    const TfaceNode* f = fFaces.find(face);
    if (!f || !hasAdjacency()) return;
    TuInt32Array only(16), vertices(16), faces(8);
    for (uint32_t k = 0; k < f->fCount; ++k) {
        const uint32_t e = f->getEdge(k);
        edgeFaces(e, faces);
        if (faces.size() != 1) continue;
        addUnique(only, e);
        addUnique(vertices, getStartVertex(e));
        addUnique(vertices, getEndVertex(e));
    }
    std::vector<TuInt32Array> lists;
    captureVertices(vertices, lists);
    for (uint32_t e : only) markEdgeDeleted(e);
    refreshVertices(vertices, lists);
}

void TpolyEditableGeom::removeEdge(uint32_t face, uint32_t edge) {
    TfaceNode* f = fFaces.find(face);
    const uint32_t k = f ? f->findEdgeInFace(edge) : TpolyBits::kNoId;
    if (k == TpolyBits::kNoId) return;
    if (fMode & kModeWings) removeWingEdgeFace(edge, face, sideOf(f->fCorners[k]));
    removeSlot(*f, k);
}

void TpolyEditableGeom::deleteAndMerge2EdgeFace(uint32_t face) {
    const TfaceNode* f = fFaces.find(face);
    if (f && f->fCount == 2 && fFaceCount > 1 && hasAdjacency()) mergeTwoEdgeFace(face, true);
}

void TpolyEditableGeom::mergeTwoEdgeFace(uint32_t face, bool refresh) {
    const TfaceNode& f = fFaces.fNodes[face];
    const uint32_t e1 = f.getEdge(0), e2 = f.getEdge(1);
    TuInt32Array vertices(4), others(8);
    std::vector<TuInt32Array> lists;
    if (refresh) {
        for (uint32_t e : {e1, e2}) {
            addUnique(vertices, getStartVertex(e));
            addUnique(vertices, getEndVertex(e));
        }
        captureVertices(vertices, lists);
    }
    if (e1 != e2) {
        // The faces across e2 take e1 in its place, used from the same oriented start.
        edgeFaces(e2, others);
        for (uint32_t g : others) {
            if (g == face) continue;
            TfaceNode& other = fFaces.fNodes[g];
            for (uint32_t k = 0; k < other.fCount; ++k) {
                if (other.getEdge(k) != e2) continue;
                const uint32_t start = getStartVertexInFace(other, k);
                removeWingEdgeFace(e2, g, sideOf(other.fCorners[k]));
                const uint32_t dir = getStartVertex(e1) == start ? 0 : TpolyBits::kReversedUse;
                other.fCorners[k] = (other.fCorners[k] & kEndFlags) | e1 | dir;
                addWingEdgeFace(e1, g, sideOf(other.fCorners[k]));
            }
        }
    }
    dropFace(face);
    if (e1 != e2) markEdgeDeleted(e2);
    const TpolyWingEdge& w = fWings[e1];
    if (w.side[0] == TpolyBits::kNoFace && w.side[1] == TpolyBits::kNoFace) markEdgeDeleted(e1);
    if (refresh) refreshVertices(vertices, lists);
}

// --- Collapse --------------------------------------------------------------------------------------

bool TpolyEditableGeom::collapseEdge(uint32_t edge) {
    TcollapsePlan plan;
    if (!canCollapseEdge(edge, plan)) return false;
    applyCollapse(plan);
    return true;
}

bool TpolyEditableGeom::canCollapseEdge(uint32_t edge, TcollapsePlan& plan) const {
    plan = TcollapsePlan();
    if (!hasAdjacency() || edge >= edgeCount() || isEdgeDeleted(edge)) return false;
    const uint32_t a = getStartVertex(edge), b = getEndVertex(edge);
    if (a == b) return false;
    plan.a = a;
    plan.b = b;
    auto other = [this](uint32_t e, uint32_t v) {
        return getStartVertex(e) == v ? getEndVertex(e) : getStartVertex(e);
    };
    TuInt32Array &aEdges = plan.aEdges, &bEdges = plan.bEdges, &parallel = plan.parallel, &faces = plan.faces;
    TuInt32Array list(8), thirds(4);
    getVertexEdges(a, aEdges);
    getVertexEdges(b, bEdges);
    parallel.addLast(edge);
    for (uint32_t e : aEdges)
        if (!isEdgeDeleted(e) && other(e, a) == b) addUnique(parallel, e);
    for (uint32_t p : parallel) {
        edgeFaces(p, list);
        for (uint32_t f : list) addUnique(faces, f);
    }

    // Each loop loses its uses of the parallel edges: an outer loop left with two corners makes
    // its face go, a hole may not shrink below three, and something must be left.
    uint32_t vanishing = 0;
    for (uint32_t id : faces) {
        const TfaceNode& f = fFaces.fNodes[id];
        for (uint32_t first = 0, end = 0; first < f.fCount; first = end) {
            f.loopBounds(first, first, end);
            uint32_t removed = 0, third = TpolyBits::kNoId;
            bool spike = false;
            for (uint32_t k = first; k < end; ++k)
                if (contains(parallel, f.getEdge(k))) {
                    ++removed;
                    third = getEndVertexInFace(f, f.nextInLoop(k));
                    spike |= getStartVertexInFace(f, f.prevInLoop(k)) == third;
                }
            const uint32_t left = end - first - removed;
            if (removed && (left < 2 || (left == 2 && first > 0))) return false;
            // A loop that runs c, a, b, c and keeps more corners would turn at the merged vertex
            // straight back along an edge to c: once the triangle on the edge (if any) merges its
            // two edges into one, the loop would use that edge twice in a row.
            if (spike && left > 2) return false;
            if (removed && left == 2) {
                ++vanishing;
                addUnique(thirds, third);
            }
        }
    }
    if (vanishing >= fFaceCount) return false;
    // No fold: every face keeps the merged vertex at most once, and a vertex joined to both ends
    // must close a triangle on the edge (else two of its edges would merge across two faces).
    TuInt32Array& around = plan.around;
    vertexFaces(a, around);
    vertexFaces(b, list);
    for (uint32_t f : list) addUnique(around, f);
    for (uint32_t id : around) {
        const TfaceNode& f = fFaces.fNodes[id];
        int ends = 0;
        for (uint32_t k = 0; k < f.fCount; ++k) {
            const uint32_t s = getStartVertexInFace(f, k);
            ends += (s == a || s == b) ? 1 : 0;
            ends -= contains(parallel, f.getEdge(k)) ? 1 : 0;
        }
        if (ends > 1) return false;
    }
    for (uint32_t ea : aEdges) {
        if (isEdgeDeleted(ea) || contains(parallel, ea)) continue;
        const uint32_t c = other(ea, a);
        for (uint32_t eb : bEdges)
            if (!isEdgeDeleted(eb) && !contains(parallel, eb) && other(eb, b) == c && !contains(thirds, c))
                return false;
    }
    return true;
}

void TpolyEditableGeom::applyCollapse(const TcollapsePlan& plan) {
    const uint32_t a = plan.a, b = plan.b;
    const TuInt32Array &bEdges = plan.bEdges, &parallel = plan.parallel, &faces = plan.faces, &around = plan.around;
    TuInt32Array vertices(16);
    vertices.addLast(a);
    vertices.addLast(b);
    for (uint32_t id : faces) faceVertices(fFaces.fNodes[id], vertices);
    std::vector<TuInt32Array> lists;
    captureVertices(vertices, lists);
    lists[0].catenate(bEdges);

    // Attributes: the two ends' ids in each face on the edge merge to their average; every
    // corner at either end that used one of them takes the merged one.
    std::vector<TidRemap> uvMap(fNbUVSets), colorMap(fNbColorSets);
    for (uint32_t id : faces) {
        const TfaceNode& f = fFaces.fNodes[id];
        for (uint32_t k = 0; k < f.fCount; ++k) {
            if (!contains(parallel, f.getEdge(k))) continue;
            const uint32_t next = f.nextInLoop(k);
            const uint32_t ka = getStartVertexInFace(f, k) == a ? k : next, kb = ka == k ? next : k;
            for (uint32_t s = 0; s < fNbUVSets; ++s)
                mergeIds(uvMap[s], fUVIds[s][f.fOffset + ka], fUVIds[s][f.fOffset + kb], fUVs[s],
                         [&](const T2FloatPair& uv) { return createUV(uv, s); });
            for (uint32_t s = 0; s < fNbColorSets; ++s)
                mergeIds(colorMap[s], fColorIds[s][f.fOffset + ka], fColorIds[s][f.fOffset + kb], fColors[s],
                         [&](const TpolyColorValue& c) { return createColor(c, s); });
        }
    }
    for (uint32_t id : around) {
        const TfaceNode& f = fFaces.fNodes[id];
        for (uint32_t k = 0; k < f.fCount; ++k) {
            const uint32_t s0 = getStartVertexInFace(f, k);
            if (s0 != a && s0 != b) continue;
            for (uint32_t s = 0; s < fNbUVSets; ++s) {
                int32_t& uv = fUVIds[s][f.fOffset + k];
                if (const int32_t m = remapped(uvMap[s], uv); m >= 0) uv = m;
            }
            for (uint32_t s = 0; s < fNbColorSets; ++s) {
                int32_t& c = fColorIds[s][f.fOffset + k];
                if (const int32_t m = remapped(colorMap[s], c); m >= 0) c = m;
            }
        }
    }

    const T3dFltPoint& pa = fVertices[a];
    const T3dFltPoint& pb = fVertices[b];
    fVertices[a] = T3dFltPoint((pa.x + pb.x) / 2, (pa.y + pb.y) / 2, (pa.z + pb.z) / 2);
    for (uint32_t e : bEdges) {
        TpolyEdge& ed = fEdges[e];
        if (ed.start() == b) ed.v[0] = (ed.v[0] & TpolyBits::kHardFlag) | a;
        if (ed.end() == b) ed.v[1] = a;
    }
    // The parallel edges now run from a to a: their uses leave the faces, which keeps each loop
    // chained; faces left with two corners go and merge their two edges.
    for (uint32_t p : parallel) markEdgeDeleted(p);
    for (uint32_t id : faces) {
        TfaceNode& f = fFaces.fNodes[id];
        for (uint32_t k = f.fCount; k-- > 0;)
            if (contains(parallel, f.getEdge(k))) {
                removeWingEdgeFace(f.getEdge(k), id, sideOf(f.fCorners[k]));
                removeSlot(f, k);
            }
    }
    for (uint32_t id : faces) {
        const TfaceNode* f = fFaces.find(id);
        uint32_t first, end;
        if (f && (f->loopBounds(0, first, end), end == 2)) mergeTwoEdgeFace(id, false);
    }
    refreshVertices(vertices, lists);
}

void TpolyEditableGeom::collapseFace(uint32_t face) {
    const TfaceNode* f = fFaces.find(face);
    if (!f || fFaceCount < 2) return;
    TuInt32Array edges(16);
    for (uint32_t k = 0; k < f->fCount; ++k) edges.addLast(f->getEdge(k));
    for (uint32_t e : edges) collapseEdge(e);
}
