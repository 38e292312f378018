// Creation of vertices, edges and faces, and the splitting of edges and faces.
#include <algorithm>
#include <cmath>
#include <memory>

#include "brindle/base/Alloca.h"
#include "brindle/base/VectorMath.h"
#include "brindle/edit/PolyEditableGeom.h"
#include "brindle/geom/PolyNorm.h"

namespace {
constexpr uint32_t kEndFlags = TpolyBits::kEndOfLoop | TpolyBits::kEndOfFace;
// Fractions this close to an end of an edge are that end.
constexpr float kOnEdge = 1e-5f;

T2FloatPair lerp(const T2FloatPair& a, const T2FloatPair& b, float t) {
    return {a.u * (1 - t) + b.u * t, a.v * (1 - t) + b.v * t};
}
TpolyColorValue lerp(const TpolyColorValue& a, const TpolyColorValue& b, float t) {
    return {a.r * (1 - t) + b.r * t, a.g * (1 - t) + b.g * t, a.b * (1 - t) + b.b * t, a.a * (1 - t) + b.a * t};
}
T4dFltVector lerp(const T4dFltVector& a, const T4dFltVector& b, float t) {
    T4dFltVector n(a.x * (1 - t) + b.x * t, a.y * (1 - t) + b.y * t, a.z * (1 - t) + b.z * t);
    const float len = float(length(n));
    return len > 0 ? T4dFltVector(n.x / len, n.y / len, n.z / len) : a;
}

// New attribute values made along one split, keyed by the ids at the two ends, so that faces
// sharing their values along the edge share the new value too.
struct TsplitCache {
    struct Entry {
        int32_t a, b, made;
    };
    Entry entries[8];
    uint32_t n = 0;
    template <typename Make>
    int32_t get(int32_t a, int32_t b, Make&& make) {
        if (a < 0 || b < 0) return -1;
        for (uint32_t i = 0; i < n; ++i)
            if (entries[i].a == a && entries[i].b == b) return entries[i].made;
        const int32_t made = make();
        if (n < 8) entries[n++] = {a, b, made};
        return made;
    }
};
}  // namespace

uint32_t TpolyEditableGeom::createVertex(const T3dFltPoint& p) {
    const uint32_t v = fVertices.append(p);
    if (fMode & kModeVertexInfo) fVertexInfo.append(TpolyVertexInfo());
    fVertexSource.addLast(-1);
    return v;
}

uint32_t TpolyEditableGeom::createEdge(uint32_t from, uint32_t to, bool hard, bool updateVertices) {
    TpolyEdge e;
    e.v[0] = (from & TpolyBits::kVertexMask) | (hard ? TpolyBits::kHardFlag : 0);
    e.v[1] = to & TpolyBits::kVertexMask;
    const uint32_t id = fEdges.append(e);
    if (fMode & kModeWings) fWings.append(TpolyWingEdge());
    fEdgeSource.addLast(-1);
    if (updateVertices && (fMode & kModeVertexInfo)) {
        for (uint32_t v : {from, to}) {
            TpolyVertexInfo& info = fVertexInfo[v];
            if (++info.order == 1) info.edge = id | (v == to && v != from ? TpolyTopo::kLeavingReversed : 0);
        }
    }
    return id;
}

uint32_t TpolyEditableGeom::allocateCorners(uint32_t capacity, uint32_t*& corners) {
    const uint32_t at = fCorners.allocate(capacity, &corners);
    for (auto& ids : fUVIds) ids.allocate(capacity);
    for (auto& ids : fColorIds) ids.allocate(capacity);
    if (hasUserNormals()) fNormalIds.allocate(capacity);
    return at;
}

void TpolyEditableGeom::writeCorners(TfaceNode& f, const uint32_t* refs, uint32_t count, const int32_t* uvIds,
                                     const int32_t* colorIds, const int32_t* normalIds) {
    if (count > f.fCapacity || (f.fFlags & TfaceNode::kSourceArrays)) {
        f.fCapacity = count + fFacePadding;
        f.fOffset = allocateCorners(f.fCapacity, f.fCorners);
        f.fFlags &= uint8_t(~TfaceNode::kSourceArrays);
    }
    f.fCount = count;
    std::copy(refs, refs + count, f.fCorners);
    for (uint32_t s = 0; s < fNbUVSets; ++s) {
        int32_t* ids = fUVIds[s].run(f.fOffset);
        for (uint32_t k = 0; k < count; ++k) ids[k] = uvIds ? uvIds[k * fNbUVSets + s] : -1;
    }
    for (uint32_t s = 0; s < fNbColorSets; ++s) {
        int32_t* ids = fColorIds[s].run(f.fOffset);
        for (uint32_t k = 0; k < count; ++k) ids[k] = colorIds ? colorIds[k * fNbColorSets + s] : -1;
    }
    if (hasUserNormals()) {
        uint32_t* ids = fNormalIds.run(f.fOffset);
        for (uint32_t k = 0; k < count; ++k) ids[k] = normalIds ? uint32_t(normalIds[k]) : TpolyBits::kNoId;
    }
}

uint32_t TpolyEditableGeom::createFace(const uint32_t* refs, uint32_t count, const int32_t* uvIds,
                                       const int32_t* colorIds, const int32_t* normalIds, int32_t source,
                                       uint32_t mode) {
    TfaceNode* f = nullptr;
    const uint32_t id = fFaces.fNodes.allocate(1, &f);
    f->fSource = source;
    f->fLive = true;
    writeCorners(*f, refs, count, uvIds, colorIds, normalIds);
    ++fFaceCount;
    fLastFace = id;
    if (mode & kModeWings) enterWings(id, true);
    return id;
}

void TpolyEditableGeom::rebuildFace(uint32_t id, const uint32_t* refs, uint32_t count, const int32_t* uvIds,
                                    const int32_t* colorIds, const int32_t* normalIds, uint32_t mode) {
    enterWings(id, false);
    writeCorners(fFaces.fNodes[id], refs, count, uvIds, colorIds, normalIds);
    if (mode & kModeWings) enterWings(id, true);
}

void TpolyEditableGeom::readCorner(const TfaceNode& f, uint32_t corner, int32_t* uvIds, int32_t* colorIds,
                                   int32_t& normalId) {
    for (uint32_t s = 0; s < fNbUVSets; ++s) uvIds[s] = fUVIds[s][f.fOffset + corner];
    for (uint32_t s = 0; s < fNbColorSets; ++s) colorIds[s] = fColorIds[s][f.fOffset + corner];
    normalId = hasUserNormals() ? int32_t(fNormalIds[f.fOffset + corner]) : -1;
}

namespace {
// Shifts slots [at, count) of one per-corner run up by one and writes value at `at`.
template <typename T>
void insertSlot(T* run, uint32_t count, uint32_t at, T value) {
    std::copy_backward(run + at, run + count, run + count + 1);
    run[at] = value;
}
template <typename T>
void moveRun(TarrayBlockAllocator<T>& list, uint32_t from, uint32_t to, uint32_t count) {
    std::copy(list.run(from), list.run(from) + count, list.run(to));
}
}  // namespace

void TpolyEditableGeom::insertCorner(TfaceNode& f, uint32_t at, uint32_t ref, const int32_t* uvIds,
                                     const int32_t* colorIds, int32_t normalId) {
    if (f.fCount == f.fCapacity || (f.fFlags & TfaceNode::kSourceArrays)) {
        const uint32_t capacity = f.fCount + 1 + fFacePadding;
        uint32_t* corners = nullptr;
        const uint32_t offset = allocateCorners(capacity, corners);
        moveRun(fCorners, f.fOffset, offset, f.fCount);
        for (auto& ids : fUVIds) moveRun(ids, f.fOffset, offset, f.fCount);
        for (auto& ids : fColorIds) moveRun(ids, f.fOffset, offset, f.fCount);
        if (hasUserNormals()) moveRun(fNormalIds, f.fOffset, offset, f.fCount);
        f.fOffset = offset;
        f.fCorners = corners;
        f.fCapacity = capacity;
        f.fFlags &= uint8_t(~TfaceNode::kSourceArrays);
    }
    const uint32_t pos = at + 1;
    const uint32_t flags = f.fCorners[at] & kEndFlags;
    f.fCorners[at] &= ~kEndFlags;
    insertSlot(f.fCorners, f.fCount, pos, (ref & ~kEndFlags) | flags);
    for (uint32_t s = 0; s < fNbUVSets; ++s) insertSlot(fUVIds[s].run(f.fOffset), f.fCount, pos, uvIds[s]);
    for (uint32_t s = 0; s < fNbColorSets; ++s) insertSlot(fColorIds[s].run(f.fOffset), f.fCount, pos, colorIds[s]);
    if (hasUserNormals()) insertSlot(fNormalIds.run(f.fOffset), f.fCount, pos, uint32_t(normalId));
    ++f.fCount;
}

// The per-set caches of one split, so that every face using the edge sees the same new values.
struct TpolyEditableGeom::TsplitCaches {
    TsplitCache* uv = nullptr;
    TsplitCache* color = nullptr;
    TsplitCache normal;
    int32_t* uvIds = nullptr;  // the new corner's ids, one per set
    int32_t* colorIds = nullptr;
    TsplitCaches(Talloca& scratch, uint32_t nbUV, uint32_t nbColor)
        : uv(scratch.allocateArray<TsplitCache>(nbUV + 1)),
          color(scratch.allocateArray<TsplitCache>(nbColor + 1)),
          uvIds(scratch.allocateArray<int32_t>(nbUV + 1)),
          colorIds(scratch.allocateArray<int32_t>(nbColor + 1)) {
        std::uninitialized_value_construct_n(uv, nbUV + 1);
        std::uninitialized_value_construct_n(color, nbColor + 1);
    }
};

void TpolyEditableGeom::insertSplitCorners(uint32_t id, uint32_t edge, uint32_t newEdge, float t,
                                           TsplitCaches& caches) {
    TfaceNode& f = fFaces.fNodes[id];
    int32_t* uv = caches.uvIds;
    int32_t* col = caches.colorIds;
    // From the last use to the first, so that inserting keeps earlier corners in place.
    for (uint32_t k = f.fCount; k-- > 0;) {
        if (f.getEdge(k) != edge) continue;
        const bool reversed = f.getDirection(k) == kReversed;
        const uint32_t ka = reversed ? f.nextInLoop(k) : k, kb = reversed ? k : f.nextInLoop(k);
        for (uint32_t s = 0; s < fNbUVSets; ++s) {
            const int32_t ia = getUVId(ka, s, f), ib = getUVId(kb, s, f);
            uv[s] = caches.uv[s].get(ia, ib, [&] { return createUV(lerp(fUVs[s][ia], fUVs[s][ib], t), s); });
        }
        for (uint32_t s = 0; s < fNbColorSets; ++s) {
            const int32_t ia = getColorId(ka, s, f), ib = getColorId(kb, s, f);
            col[s] =
                caches.color[s].get(ia, ib, [&] { return createColor(lerp(fColors[s][ia], fColors[s][ib], t), s); });
        }
        const int32_t na = getUserNormal(ka, f), nb = getUserNormal(kb, f);
        const int32_t normal = caches.normal.get(validNormal(na), validNormal(nb), [&] {
            return int32_t(fUserNormals.append(lerp(fUserNormals[na], fUserNormals[nb], t)));
        });
        // Forward: a->m stays, m->b follows. Reversed: b->m takes the corner, m->a follows.
        uint32_t follow = newEdge;
        if (reversed) {
            f.fCorners[k] = (f.fCorners[k] & ~TpolyBits::kEdgeMask) | newEdge;
            follow = edge | TpolyBits::kReversedUse;
        }
        insertCorner(f, k, follow, uv, col, normal);
    }
}

int32_t TpolyEditableGeom::validNormal(int32_t id) const {
    return id >= 0 && uint32_t(id) < fUserNormals.size() && TpolyNorm::isSet(fUserNormals[uint32_t(id)]) ? id : -1;
}

void TpolyEditableGeom::insertEdge(uint32_t face, uint32_t edge, uint32_t newEdge, float t) {
    Talloca scratch;
    TsplitCaches caches(scratch, fNbUVSets, fNbColorSets);
    insertSplitCorners(face, edge, newEdge, t, caches);
    if (!(fMode & kModeWings)) return;
    const TfaceNode& f = fFaces.fNodes[face];
    for (uint32_t k = 0; k < f.fCount; ++k)
        if (f.getEdge(k) == newEdge) addWingEdgeFace(newEdge, face, f.getDirection(k) == kReversed ? kRight : kLeft);
}

bool TpolyEditableGeom::splitEdge(uint32_t edge, float t, uint32_t& newEdge, uint32_t& newVertex) {
    if (edge >= edgeCount() || isEdgeDeleted(edge)) return false;
    const uint32_t a = getStartVertex(edge), b = getEndVertex(edge);
    const T3dFltPoint& pa = fVertices[a];
    const T3dFltPoint& pb = fVertices[b];
    const T3dFltPoint p(pa.x * (1 - t) + pb.x * t, pa.y * (1 - t) + pb.y * t, pa.z * (1 - t) + pb.z * t);
    TuInt32Array faces(8), bEdges(16);
    if (fMode & kModeWings) {
        edgeFaces(edge, faces);
    } else {
        // Without wings the faces using the edge are found by scanning them all.
        for (uint32_t id = 0; id < fFaces.idBound(); ++id)
            if (const TfaceNode* f = fFaces.find(id); f && f->findEdgeInFace(edge) != TpolyBits::kNoId)
                faces.addLast(id);
    }
    // The new vertex starts its walk as a does along the edge: forward on the new edge when a
    // leaves by the old one, else on the old edge reversed, and in any case on a side that has a
    // face. A non-manifold edge gives it the list (new edge, old edge).
    bool leaveForward = true;
    if (fMode & kModeVertexInfo) {
        getVertexEdges(b, bEdges);
        const uint32_t aInfo = fVertexInfo[a].edge;
        leaveForward = !(aInfo & TpolyTopo::kNonManifold) && (aInfo & TpolyBits::kEdgeMask) == edge &&
                       !(aInfo & TpolyTopo::kLeavingReversed);
        if (fMode & kModeWings) {
            const TpolyWingEdge& w = fWings[edge];
            auto isRun = [](uint32_t side) { return side != TpolyBits::kNoFace && (side & TpolyTopo::kNonManifold); };
            if (isRun(w.side[kLeft]) || isRun(w.side[kRight]))
                leaveForward = true;
            else if (w.side[leaveForward ? kLeft : kRight] == TpolyBits::kNoFace)
                leaveForward = !leaveForward;
        }
    }

    newVertex = createVertex(p);
    newEdge = createEdge(newVertex, b, fEdges[edge].isHard(), false);
    fEdges[edge].v[1] = newVertex;
    fEdgeSource[newEdge] = fEdgeSource[edge] >= 0 ? fEdgeSource[edge] : int32_t(edge);
    if (fMode & kModeWings) copyWingEdge(edge, newEdge);

    Talloca scratch;
    TsplitCaches caches(scratch, fNbUVSets, fNbColorSets);
    for (uint32_t id : faces) insertSplitCorners(id, edge, newEdge, t, caches);
    if (fMode & kModeVertexInfo) {
        std::replace(bEdges.begin(), bEdges.end(), edge, newEdge);
        setVertexEdges(b, bEdges);
        TuInt32Array mid(2);
        mid.addLast(leaveForward ? newEdge : edge);
        mid.addLast(leaveForward ? edge : newEdge);
        setVertexEdges(newVertex, mid);
    }
    return true;
}

bool TpolyEditableGeom::splitEdge(uint32_t edge, const T3dFltPoint* positions, TuInt32Array* newVertices,
                                  TuInt32Array* newEdges, uint32_t count, bool projectOnEdge) {
    if (edge >= edgeCount() || isEdgeDeleted(edge) || count == 0) return false;
    const T3dFltPoint a = fVertices[getStartVertex(edge)];
    const T3dFltPoint d = fVertices[getEndVertex(edge)] - a;
    const float len2 = dot(d, d);
    Talloca scratch;
    float* t = scratch.allocateArray<float>(count);
    // Every piece must keep a length: fractions rise strictly inside (0, 1).
    for (uint32_t i = 0; i < count; ++i) {
        t[i] = !positions ? float(i + 1) / float(count + 1) : len2 > 0 ? dot(positions[i] - a, d) / len2 : -1.0f;
        if (!(t[i] > (i ? t[i - 1] : 0.0f) + kOnEdge && t[i] < 1.0f - kOnEdge)) return false;
    }
    if (newVertices) newVertices->clear();
    if (newEdges) newEdges->clear();
    uint32_t piece = edge;
    float done = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t ne, nv;
        splitEdge(piece, (t[i] - done) / (1 - done), ne, nv);
        if (positions) setVertex(nv, projectOnEdge ? a + d * t[i] : positions[i]);
        if (newVertices) newVertices->addLast(nv);
        if (newEdges) newEdges->addLast(ne);
        piece = ne;
        done = t[i];
    }
    return true;
}

// --- Face splitting ----------------------------------------------------------------------------------

bool TpolyEditableGeom::resolveCutEnd(uint32_t id, float t, TcutEnd& end) const {
    end = TcutEnd();
    if (t < 0) {
        end.vertex = id;
        return id < vertexCount();
    }
    if (id >= edgeCount() || isEdgeDeleted(id) || t > 1) return false;
    if (t <= kOnEdge) {
        end.vertex = getStartVertex(id);
    } else if (t >= 1 - kOnEdge) {
        end.vertex = getEndVertex(id);
    } else {
        end.edge = id;
        end.t = t;
    }
    return true;
}

uint32_t TpolyEditableGeom::cutCorner(const TfaceNode& f, const TcutEnd& end) const {
    return end.edge != TpolyBits::kNoId ? f.findEdgeInFace(end.edge) : findVertexInFace(f, end.vertex);
}

void TpolyEditableGeom::facesHolding(const TcutEnd& a, const TcutEnd& b, TuInt32Array& out) const {
    out.clear();
    TuInt32Array candidates(16);
    const TcutEnd& byEdge = a.edge != TpolyBits::kNoId ? a : b;
    if ((fMode & kModeWings) && byEdge.edge != TpolyBits::kNoId) {
        edgeFaces(byEdge.edge, candidates);
    } else if ((fMode & kModeWings) && (fMode & kModeVertexInfo)) {
        vertexFaces(a.vertex, candidates);
    } else {
        for (uint32_t id = 0; id < fFaces.idBound(); ++id) candidates.addLast(id);
    }
    for (uint32_t id : candidates) {
        const TfaceNode* f = fFaces.find(id);
        if (f && cutCorner(*f, a) != TpolyBits::kNoId && cutCorner(*f, b) != TpolyBits::kNoId) out.addLast(id);
    }
}

int32_t TpolyEditableGeom::firstFaceHolding(const TcutEnd& a, const TcutEnd& b, TuInt32Array* faces) const {
    TuInt32Array local(4);
    TuInt32Array& out = faces ? *faces : local;
    facesHolding(a, b, out);
    return out.empty() ? -1 : int32_t(out[0]);
}

int32_t TpolyEditableGeom::getFaceId(uint32_t edgeA, uint32_t edgeB, TuInt32Array& faces) const {
    return firstFaceHolding(TcutEnd{TpolyBits::kNoId, edgeA, 0.5f}, TcutEnd{TpolyBits::kNoId, edgeB, 0.5f}, &faces);
}

int32_t TpolyEditableGeom::getVtxFaceId(uint32_t vertex, uint32_t edge) const {
    return firstFaceHolding(TcutEnd{vertex, TpolyBits::kNoId, 0}, TcutEnd{TpolyBits::kNoId, edge, 0.5f}, nullptr);
}

int32_t TpolyEditableGeom::getVtxVtxFaceId(uint32_t a, uint32_t b) const {
    return firstFaceHolding(TcutEnd{a, TpolyBits::kNoId, 0}, TcutEnd{b, TpolyBits::kNoId, 0}, nullptr);
}

bool TpolyEditableGeom::cutAllowed(const TfaceNode& f, const TcutEnd& s, const TcutEnd& e, uint32_t nInner) const {
    const uint32_t ks = cutCorner(f, s), ke = cutCorner(f, e);
    if (ks == TpolyBits::kNoId || ke == TpolyBits::kNoId || ks == ke) return false;
    // Both ends on the outer loop: a cut that starts or ends on a hole would not divide the face.
    uint32_t first, end;
    f.loopBounds(0, first, end);
    if (ks >= end || ke >= end) return false;
    if (nInner > 0) return true;
    // Without inner points the cut must not run along an edge the face already has: corner k
    // spans from its start vertex to the next corner's.
    const bool sv = s.vertex != TpolyBits::kNoId, ev = e.vertex != TpolyBits::kNoId;
    if (sv && f.nextInLoop(ke) == ks) return false;
    if (ev && f.nextInLoop(ks) == ke) return false;
    return true;
}

namespace {
// Whether p lies inside the polygon (crossing count), both seen along the polygon's dominant
// normal axis.
bool insidePolygon(const T3dFltPoint* poly, uint32_t n, const T3dFltPoint& p) {
    const T3dDblVector normal = newellNormal(poly, n);
    const double ax = std::fabs(normal.x), ay = std::fabs(normal.y), az = std::fabs(normal.z);
    const int u = ax >= ay && ax >= az ? 1 : 0, v = ax >= ay && ax >= az ? 2 : (ay >= az ? 2 : 1);
    bool inside = false;
    for (uint32_t i = 0, j = n - 1; i < n; j = i++) {
        const float ui = poly[i][u], vi = poly[i][v], uj = poly[j][u], vj = poly[j][v];
        if ((vi > p[v]) != (vj > p[v]) && p[u] < (uj - ui) * (p[v] - vi) / (vj - vi) + ui) inside = !inside;
    }
    return inside;
}
}  // namespace

void TpolyEditableGeom::pushCorner(Tpiece& p, uint32_t ref, const int32_t* uv, const int32_t* col, int32_t nrm) const {
    p.refs[p.n] = ref & ~kEndFlags;
    std::copy(uv, uv + fNbUVSets, p.uv + p.n * fNbUVSets);
    std::copy(col, col + fNbColorSets, p.col + p.n * fNbColorSets);
    p.nrm[p.n++] = nrm;
}

void TpolyEditableGeom::pushFaceCorner(Tpiece& p, const TfaceNode& f, uint32_t k) {
    readCorner(f, k, p.uv + p.n * fNbUVSets, p.col + p.n * fNbColorSets, p.nrm[p.n]);
    p.refs[p.n++] = f.fCorners[k] & ~kEndFlags;
}

int32_t TpolyEditableGeom::splitAFace(uint32_t a, float ta, uint32_t b, float tb, const T3dFltPointArray& points,
                                      bool checkAngle, uint32_t count, int32_t face, double cosAngle) {
    TfaceCutPlan plan;
    if (!canSplitAFace(a, ta, b, tb, points.empty() ? count : points.size(), face, plan)) return -1;
    return applySplitAFace(plan, points, checkAngle, cosAngle);
}

bool TpolyEditableGeom::canSplitAFace(uint32_t a, float ta, uint32_t b, float tb, uint32_t nInner, int32_t face,
                                      TfaceCutPlan& plan) const {
    if (!resolveCutEnd(a, ta, plan.start) || !resolveCutEnd(b, tb, plan.end)) return false;
    const int32_t id = face >= 0 ? face : firstFaceHolding(plan.start, plan.end, nullptr);
    const TfaceNode* found = id >= 0 ? fFaces.find(uint32_t(id)) : nullptr;
    if (!found || found->fCount < 3 || !cutAllowed(*found, plan.start, plan.end, nInner)) return false;
    plan.face = uint32_t(id);
    plan.nInner = nInner;
    return true;
}

int32_t TpolyEditableGeom::applySplitAFace(const TfaceCutPlan& plan, const T3dFltPointArray& points, bool checkAngle,
                                           double cosAngle) {
    const TcutEnd &s = plan.start, &e = plan.end;
    const int32_t id = int32_t(plan.face);
    const uint32_t nInner = plan.nInner;
    auto endPoint = [&](const TcutEnd& c) {
        if (c.vertex != TpolyBits::kNoId) return fVertices[c.vertex];
        const T3dFltPoint& p0 = fVertices[getStartVertex(c.edge)];
        return p0 + (fVertices[getEndVertex(c.edge)] - p0) * c.t;
    };
    const T3dFltPoint ps = endPoint(s), pe = endPoint(e);

    uint32_t S = s.vertex, E = e.vertex, split;
    if (s.edge != TpolyBits::kNoId) splitEdge(s.edge, s.t, split, S);
    if (e.edge != TpolyBits::kNoId) splitEdge(e.edge, e.t, split, E);
    TuInt32Array sEdges(16), eEdges(16);
    if (fMode & kModeVertexInfo) {
        getVertexEdges(S, sEdges);
        getVertexEdges(E, eEdges);
    }
    TfaceNode& f = fFaces.fNodes[uint32_t(id)];
    const uint32_t ks = findVertexInFace(f, S), ke = findVertexInFace(f, E);

    // The chain S, inner points, E with its attributes: the ends keep the face's own, inner
    // points interpolate between them at their projection on S-E.
    Talloca scratch;
    const uint32_t nChain = nInner + 2, nUV = fNbUVSets, nCol = fNbColorSets;
    uint32_t* chain = scratch.allocateArray<uint32_t>(nChain);
    uint32_t* cut = scratch.allocateArray<uint32_t>(nChain);
    int32_t* uv = scratch.allocateArray<int32_t>(nChain * nUV + 1);
    int32_t* col = scratch.allocateArray<int32_t>(nChain * nCol + 1);
    int32_t* nrm = scratch.allocateArray<int32_t>(nChain);
    chain[0] = S;
    chain[nChain - 1] = E;
    readCorner(f, ks, uv, col, nrm[0]);
    readCorner(f, ke, uv + (nChain - 1) * nUV, col + (nChain - 1) * nCol, nrm[nChain - 1]);
    const T3dFltPoint d = pe - ps;
    const float len2 = dot(d, d);
    const int32_t *uvS = uv, *uvE = uv + (nChain - 1) * nUV, *colS = col, *colE = col + (nChain - 1) * nCol;
    const int32_t nS = validNormal(nrm[0]), nE = validNormal(nrm[nChain - 1]);
    for (uint32_t i = 1; i + 1 < nChain; ++i) {
        const T3dFltPoint p = points.empty() ? ps + d * (float(i) / float(nChain - 1)) : points[i - 1];
        const float t = len2 > 0 ? std::clamp(float(dot(p - ps, d)) / len2, 0.0f, 1.0f) : float(i) / float(nChain - 1);
        chain[i] = createVertex(p);
        for (uint32_t k = 0; k < nUV; ++k)
            uv[i * nUV + k] = uvS[k] >= 0 && uvE[k] >= 0 ? createUV(lerp(fUVs[k][uvS[k]], fUVs[k][uvE[k]], t), k) : -1;
        for (uint32_t k = 0; k < nCol; ++k)
            col[i * nCol + k] =
                colS[k] >= 0 && colE[k] >= 0 ? createColor(lerp(fColors[k][colS[k]], fColors[k][colE[k]], t), k) : -1;
        nrm[i] = nS >= 0 && nE >= 0 ? int32_t(fUserNormals.append(lerp(fUserNormals[nS], fUserNormals[nE], t))) : -1;
    }
    for (uint32_t i = 0; i + 1 < nChain; ++i) cut[i] = createEdge(chain[i], chain[i + 1], false, false);

    // Piece A (keeps the id) runs the boundary from S to E and the cut back; piece B the
    // boundary from E to S and the cut forward. Holes go to the piece that encloses them.
    const uint32_t capacity = f.fCount + nChain;
    Tpiece pa(scratch, capacity, nUV, nCol), pb(scratch, capacity, nUV, nCol);
    for (uint32_t k = ks; k != ke; k = f.nextInLoop(k)) pushFaceCorner(pa, f, k);
    for (uint32_t i = nChain - 1; i-- > 0;)
        pushCorner(pa, cut[i] | TpolyBits::kReversedUse, uv + (i + 1) * nUV, col + (i + 1) * nCol, nrm[i + 1]);
    for (uint32_t k = ke; k != ks; k = f.nextInLoop(k)) pushFaceCorner(pb, f, k);
    for (uint32_t i = 0; i + 1 < nChain; ++i) pushCorner(pb, cut[i], uv + i * nUV, col + i * nCol, nrm[i]);
    pa.refs[pa.n - 1] |= TpolyBits::kEndOfLoop;
    pb.refs[pb.n - 1] |= TpolyBits::kEndOfLoop;
    uint32_t first, end;
    f.loopBounds(0, first, end);
    if (end < f.fCount) {
        T3dFltPoint* outline = scratch.allocateArray<T3dFltPoint>(pa.n);
        for (uint32_t k = 0; k < pa.n; ++k)
            outline[k] = fVertices[getStartVertex(pa.refs[k] & TpolyBits::kEdgeMask,
                                                  (pa.refs[k] & TpolyBits::kReversedUse) ? kReversed : kForward)];
        const uint32_t nOutline = pa.n;
        for (first = end; first < f.fCount; first = end) {
            f.loopBounds(first, first, end);
            Tpiece& p = insidePolygon(outline, nOutline, fVertices[getStartVertexInFace(f, first)]) ? pa : pb;
            for (uint32_t k = first; k < end; ++k) pushFaceCorner(p, f, k);
            p.refs[p.n - 1] |= TpolyBits::kEndOfLoop;
        }
    }
    pa.refs[pa.n - 1] |= TpolyBits::kEndOfFace;
    pb.refs[pb.n - 1] |= TpolyBits::kEndOfFace;
    rebuildFace(uint32_t(id), pa.refs, pa.n, pa.uv, pa.col, pa.nrm, fMode);
    const uint32_t other = createFace(pb.refs, pb.n, pb.uv, pb.col, pb.nrm, id, fMode);

    // Pieces meeting at more than the smoothing angle get a hard cut.
    if (checkAngle) {
        T4dFltVector na, nb;
        getFaceNormal(uint32_t(id), na);
        getFaceNormal(other, nb);
        if (na.normalize() && nb.normalize() && double(na.dot(nb)) < cosAngle - 1e-6)
            for (uint32_t i = 0; i + 1 < nChain; ++i) fEdges[cut[i]].v[0] |= TpolyBits::kHardFlag;
    }
    if (fMode & kModeVertexInfo) {
        sEdges.addLast(cut[0]);
        setVertexEdges(S, sEdges);
        eEdges.addLast(cut[nChain - 2]);
        setVertexEdges(E, eEdges);
        TuInt32Array two(2);
        for (uint32_t i = 1; i + 1 < nChain; ++i) {
            two.clear();
            two.addLast(cut[i - 1]);
            two.addLast(cut[i]);
            setVertexEdges(chain[i], two);
        }
    }
    return int32_t(E);
}

bool TpolyEditableGeom::splitManyFaces(const Tint32Array& faces, const TfloatArray& fractions,
                                       const Tint32Array& descriptors, const T3dFltPointArray& points,
                                       uint32_t subdivisions, bool checkAngle, double cosAngle) {
    constexpr uint32_t kOnEdgeBit = 0x80000000u, kIndexMask = 0x3FFFFFFFu, kFlagBit = 0x40000000u;
    const uint32_t n = descriptors.size();
    if (n < 2 || faces.size() < n || fractions.size() < n) return false;
    auto desc = [&](uint32_t k) { return uint32_t(descriptors[k]); };
    auto onEdge = [&](uint32_t k) { return (desc(k) & kOnEdgeBit) != 0; };
    if (!onEdge(0) || !onEdge(n - 1)) return false;

    // Everything is checked on the untouched topology first, so a refused path changes nothing.
    // Each cut runs from one edge point to the next through the face points between them, in
    // a face of its own: a face met twice is refused, as a second cut there could cross the first.
    TuInt32Array used(16);
    uint32_t facePoints = 0;
    TcutEnd from;
    if (!resolveCutEnd(desc(0) & kIndexMask, fractions[0], from) || (desc(0) & kFlagBit)) return false;
    for (uint32_t k = 1; k < n; ++k) {
        if (!onEdge(k)) {
            if ((desc(k) & kIndexMask) >= points.size()) return false;
            ++facePoints;
            continue;
        }
        TcutEnd to;
        if ((desc(k) & kFlagBit) || !resolveCutEnd(desc(k) & kIndexMask, fractions[k], to)) return false;
        const int32_t face = faces[k] >= 0 ? faces[k] : firstFaceHolding(from, to, nullptr);
        const TfaceNode* f = face >= 0 ? fFaces.find(uint32_t(face)) : nullptr;
        const uint32_t nInner = facePoints ? facePoints : (subdivisions > 1 ? subdivisions - 1 : 0);
        if (!f || used.find(uint32_t(face)) != kNotFound || !cutAllowed(*f, from, to, nInner)) return false;
        used.addLast(uint32_t(face));
        facePoints = 0;
        from = to;
    }

    // Edge points become vertices; a point on an edge an earlier cut of the path split lands on
    // the piece that now holds its fraction (pieces keep the edge's direction).
    struct Tsplit {
        uint32_t edge, vertex, piece;
        float t;
    };
    std::vector<Tsplit> splits;
    auto vertexAt = [&](uint32_t k) {
        TcutEnd end;
        resolveCutEnd(desc(k) & kIndexMask, fractions[k], end);
        if (end.vertex != TpolyBits::kNoId) return end.vertex;
        float lo = 0, hi = 1;
        uint32_t piece = end.edge;
        for (const Tsplit& s : splits) {
            if (s.edge != end.edge) continue;
            if (std::fabs(s.t - end.t) <= kOnEdge) return s.vertex;
            if (s.t < end.t && s.t > lo) lo = s.t, piece = s.piece;
            if (s.t > end.t && s.t < hi) hi = s.t;
        }
        uint32_t ne, nv;
        splitEdge(piece, (end.t - lo) / (hi - lo), ne, nv);
        splits.push_back({end.edge, nv, ne, end.t});
        return nv;
    };
    T3dFltPointArray inner(16);
    uint32_t start = vertexAt(0);
    for (uint32_t k = 1; k < n; ++k) {
        if (!onEdge(k)) {
            inner.addLast(points[desc(k) & kIndexMask]);
            continue;
        }
        const uint32_t to = vertexAt(k);
        const uint32_t count = inner.empty() && subdivisions > 1 ? subdivisions - 1 : 0;
        if (splitAFace(start, -1.0f, to, -1.0f, inner, checkAngle, count, faces[k], cosAngle) < 0) return false;
        inner.clear();
        start = to;
    }
    return true;
}
