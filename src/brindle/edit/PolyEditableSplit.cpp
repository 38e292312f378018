// Creation of vertices, edges and faces, and the splitting of edges and faces.
#include <algorithm>
#include <cmath>
#include <memory>

#include "brindle/base/Alloca.h"
#include "brindle/edit/PolyEditableGeom.h"
#include "brindle/geom/PolyNorm.h"

namespace {
constexpr uint32_t kEndFlags = TpolyBits::kEndOfLoop | TpolyBits::kEndOfFace;
// Fractions this close to an end of an edge are that end.
constexpr float kOnEdge = 1e-5f;

float dot(const T3dFltPoint& a, const T3dFltPoint& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

T2FloatPair lerp(const T2FloatPair& a, const T2FloatPair& b, float t) {
    return {a.u * (1 - t) + b.u * t, a.v * (1 - t) + b.v * t};
}
TpolyColorValue lerp(const TpolyColorValue& a, const TpolyColorValue& b, float t) {
    return {a.r * (1 - t) + b.r * t, a.g * (1 - t) + b.g * t, a.b * (1 - t) + b.b * t, a.a * (1 - t) + b.a * t};
}
T4dFltVector lerp(const T4dFltVector& a, const T4dFltVector& b, float t) {
    T4dFltVector n(a.x * (1 - t) + b.x * t, a.y * (1 - t) + b.y * t, a.z * (1 - t) + b.z * t);
    const float len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
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
        for (uint32_t k = 0; k < count; ++k) ids[k] = normalIds ? uint32_t(normalIds[k]) : ~0u;
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
        : uv(scratch.allocateArray<TsplitCache>(nbUV + 1)), color(scratch.allocateArray<TsplitCache>(nbColor + 1)),
          uvIds(scratch.allocateArray<int32_t>(nbUV + 1)), colorIds(scratch.allocateArray<int32_t>(nbColor + 1)) {
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
            col[s] = caches.color[s].get(ia, ib,
                                         [&] { return createColor(lerp(fColors[s][ia], fColors[s][ib], t), s); });
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
        if (fMode & kModeWings) addWingEdgeFace(newEdge, id, reversed ? kRight : kLeft);
    }
}

int32_t TpolyEditableGeom::validNormal(int32_t id) const {
    return id >= 0 && uint32_t(id) < fUserNormals.size() && TpolyNorm::isSet(fUserNormals[uint32_t(id)]) ? id : -1;
}

void TpolyEditableGeom::insertEdge(uint32_t face, uint32_t edge, uint32_t newEdge, float t) {
    Talloca scratch;
    TsplitCaches caches(scratch, fNbUVSets, fNbColorSets);
    insertSplitCorners(face, edge, newEdge, t, caches);
}

bool TpolyEditableGeom::splitEdge(uint32_t edge, float t, uint32_t& newEdge, uint32_t& newVertex) {
    if (edge >= edgeCount() || isEdgeDeleted(edge)) return false;
    const uint32_t a = getStartVertex(edge), b = getEndVertex(edge);
    const T3dFltPoint& pa = fVertices[a];
    const T3dFltPoint& pb = fVertices[b];
    const T3dFltPoint p(pa.x * (1 - t) + pb.x * t, pa.y * (1 - t) + pb.y * t, pa.z * (1 - t) + pb.z * t);
    TuInt32Array faces(8), bEdges(16);
    if (fMode & kModeWings) edgeFaces(edge, faces);
    if (fMode & kModeVertexInfo) getVertexEdges(b, bEdges);

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
        mid.addLast(newEdge);
        mid.addLast(edge);
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
