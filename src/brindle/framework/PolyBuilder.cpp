#include "brindle/framework/PolyBuilder.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "brindle/geom/PolyGeom.h"

namespace {

constexpr const char* kDefaultSetName = "map1";

// Cartesian position of a homogeneous point; a zero weight is taken as an ordinary point.
template <typename P>
T3dFltPoint cartesian(const P& p) {
    const double w = (p.w != 0 && p.w != 1) ? double(p.w) : 1.0;
    return T3dFltPoint(float(p.x / w), float(p.y / w), float(p.z / w));
}

// Appends the first n of the homogeneous points (at most all of them); answers the first new id.
template <typename Points>
uint32_t appendPoints(TpolyGeom& g, const Points& points, uint32_t n) {
    const uint32_t first = g.nbVertex();
    n = std::min(n, points.size());
    g.vertexBuffer(n);
    for (uint32_t i = 0; i < n; ++i) g.appendVertex(cartesian(points[i]));
    return first;
}

// Gives a set appended to a record one unmapped id per existing corner.
template <typename Sets>
uint32_t addSetForCorners(Sets& sets, const Tstring& name, uint32_t corners) {
    const uint32_t id = sets.add(name);
    sets[id].createIndexArray(corners);
    return id;
}

// Id of the set a call writes to: set itself when it exists (the current one for kCurrentSet), or a
// new set, made current, when there is none; -1 when set names no set.
template <typename Sets>
int32_t resolveSet(Sets& sets, uint32_t set, Tstring name, uint32_t corners) {
    if (sets.nbSet() == 0) {
        sets.makeUniqueName(name);
        const uint32_t id = addSetForCorners(sets, name, corners);
        sets.setCurrentSetId(id);
        return int32_t(id);
    }
    if (set == TpolyBuilder::kCurrentSet) {
        const int32_t current = sets.currentSetId();
        return current >= 0 && uint32_t(current) < sets.nbSet() ? current : -1;
    }
    return set < sets.nbSet() ? int32_t(set) : -1;
}

// Appends a face's ids to set target of sets (unmapped when ids is null) and unmapped ids to the
// other sets, keeping every set at one id per corner.
template <typename Sets>
void appendCornerIds(Sets& sets, uint32_t count, const int32_t* ids, int32_t target) {
    for (uint32_t s = 0; s < sets.nbSet(); ++s) {
        Tint32Array& out = sets[s].indexArray();
        if (ids && int32_t(s) == target) {
            out.append(ids, count);
        } else {
            out.buffer(count);
            for (uint32_t k = 0; k < count; ++k) out.addLast(TpolyBdVertexFaceBase::kNoId);
        }
    }
}

}  // namespace

// --- TpolyBuilder -----------------------------------------------------------------------------------

TpolyBuilder::TpolyBuilder() : fGeom(new TpolyGeom), fOwnsResult(true), fWorkingSetName(kDefaultSetName) {}

TpolyBuilder::TpolyBuilder(TpolyGeom* geom) : fGeom(geom), fOwnsResult(false) {}

TpolyBuilder::~TpolyBuilder() {
    if (fOwnsResult) delete fGeom;
}

void TpolyBuilder::reserveVertex(uint32_t n) { fGeom->vertexBuffer(n); }

uint32_t TpolyBuilder::createVertex(float x, float y, float z) { return fGeom->appendVertex(x, y, z); }

uint32_t TpolyBuilder::createVertex(const float* points, uint32_t n) {
    const uint32_t first = fGeom->nbVertex();
    fGeom->vertexArray().append(reinterpret_cast<const T3dFltPoint*>(points), n);
    return first;
}

uint32_t TpolyBuilder::createVertex(const T4dFltPointArray& points, uint32_t n) {
    return appendPoints(*fGeom, points, n);
}

uint32_t TpolyBuilder::createVertex(const T4dDblPointArray& points, uint32_t n) {
    return appendPoints(*fGeom, points, n);
}

uint32_t TpolyBuilder::createOrShareVertex(float x, float y, float z, float tolerance) {
    const uint32_t n = fGeom->nbVertex();
    for (uint32_t v = 0; v < n; ++v) {
        const T3dFltPoint& p = fGeom->vertexConst(v);
        if (std::fabs(p.x - x) <= tolerance && std::fabs(p.y - y) <= tolerance && std::fabs(p.z - z) <= tolerance)
            return v;
    }
    return createVertex(x, y, z);
}

uint32_t TpolyBuilder::countVertex() const { return fGeom->nbVertex(); }

bool TpolyBuilder::getVertexCoord(uint32_t id, T3dFltPoint& p) const {
    if (id >= fGeom->nbVertex()) return false;
    p = fGeom->vertexConst(id);
    return true;
}

bool TpolyBuilder::getVertexCoord(uint32_t id, float& x, float& y, float& z) const {
    T3dFltPoint p;
    if (!getVertexCoord(id, p)) return false;
    x = p.x;
    y = p.y;
    z = p.z;
    return true;
}

bool TpolyBuilder::getVertexCoord(uint32_t id, float* xyz) const { return getVertexCoord(id, xyz[0], xyz[1], xyz[2]); }

bool TpolyBuilder::setVertexCoord(uint32_t id, float x, float y, float z) {
    if (id >= fGeom->nbVertex()) return false;
    fGeom->setVertex(id, T3dFltPoint(x, y, z));
    return true;
}

bool TpolyBuilder::setVertexCoord(uint32_t id, const float* xyz) { return setVertexCoord(id, xyz[0], xyz[1], xyz[2]); }

void TpolyBuilder::reserveNormal(uint32_t n) { fGeom->norm()->fVertexNormals.buffer(n); }

uint32_t TpolyBuilder::createNormal(float x, float y, float z) {
    T3dFltPointArray& normals = fGeom->norm()->fVertexNormals;
    normals.addLast(T3dFltPoint(x, y, z));
    return normals.size() - 1;
}

uint32_t TpolyBuilder::createNormal(const float* values, uint32_t n) {
    T3dFltPointArray& normals = fGeom->norm()->fVertexNormals;
    const uint32_t first = normals.size();
    normals.append(reinterpret_cast<const T3dFltPoint*>(values), n);
    return first;
}

void TpolyBuilder::reserveUserNormal(uint32_t n) { fGeom->norm()->fUserNormals.buffer(n); }

uint32_t TpolyBuilder::createUserNormal(float x, float y, float z) {
    T4dFltVectorArray& normals = fGeom->norm()->fUserNormals;
    normals.addLast(T4dFltVector(x, y, z));
    return normals.size() - 1;
}

int32_t TpolyBuilder::createTexCoordSet(const Tstring& name) {
    if (name.isEmpty()) return -1;
    return int32_t(addSetForCorners(*fGeom->maps(), name, fGeom->faceDescLength()));
}

bool TpolyBuilder::setWorkingTexCoordSetName(const Tstring& name) {
    uint32_t id;
    if (!fGeom->maps()->find(name.str(), id)) return false;
    fWorkingSetName = name;
    return true;
}

int32_t TpolyBuilder::resolveUVSet(uint32_t set) {
    return resolveSet(*fGeom->maps(), set, fWorkingSetName, fGeom->faceDescLength());
}

int32_t TpolyBuilder::resolveColorSet(uint32_t set) {
    return resolveSet(*fGeom->colors(), set, Tstring(), fGeom->faceDescLength());
}

void TpolyBuilder::reserveTexCoords(uint32_t n, uint32_t set) {
    if (set < fGeom->maps()->nbMap()) (*fGeom->maps())[set].uvArray().buffer(n);
}

int32_t TpolyBuilder::createTexCoord(const float* pairs, uint32_t n, uint32_t set) {
    const int32_t s = resolveUVSet(set);
    if (s < 0) return -1;
    TpolyMap& map = (*fGeom->maps())[uint32_t(s)];
    const uint32_t first = map.nbUV();
    map.appendUV(pairs, n);
    return int32_t(first);
}

int32_t TpolyBuilder::createTexCoord(float u, float v, uint32_t set) {
    const float pair[2] = {u, v};
    return createTexCoord(pair, 1, set);
}

int32_t TpolyBuilder::createTexCoord(const T2FloatArray& pairs, uint32_t set) {
    return createTexCoord(&pairs.data()->u, pairs.size(), set);
}

uint32_t TpolyBuilder::countTexCoord(uint32_t set) const {
    return set < fGeom->maps()->nbMap() ? (*fGeom->maps())[set].nbUV() : 0;
}

uint32_t TpolyBuilder::colorSetForWriting() {
    const int32_t s = resolveColorSet(kCurrentSet);
    return s >= 0 ? uint32_t(s) : 0;
}

void TpolyBuilder::reserveColors(uint32_t n) { (*fGeom->colors())[colorSetForWriting()].values().buffer(n); }

uint32_t TpolyBuilder::createColor(const float* values, uint32_t n) {
    TpolyColorValueArray& out = (*fGeom->colors())[colorSetForWriting()].values();
    const uint32_t first = out.size();
    out.append(reinterpret_cast<const TpolyColorValue*>(values), n);
    return first;
}

uint32_t TpolyBuilder::createColor(float r, float g, float b, float a) {
    const float value[4] = {r, g, b, a};
    return createColor(value, 1);
}

uint32_t TpolyBuilder::countColor() const {
    const TpolyColor* set = fGeom->colors()->currentSet();
    return set ? set->nbData() : 0;
}

uint32_t TpolyBuilder::countFace() const { return fGeom->nbFace(); }

void TpolyBuilder::appendUVIds(uint32_t count, const int32_t* ids, int32_t uvSet) {
    appendCornerIds(*fGeom->maps(), count, ids, uvSet);
}

void TpolyBuilder::appendColorIds(uint32_t count, const int32_t* ids, int32_t colorSet) {
    appendCornerIds(*fGeom->colors(), count, ids, colorSet);
}

// The record's normal ids come from the vertices and hard edges, so several given normals may meet
// at one id; the last corner, in description order, decides. Corners without a given normal leave
// their id's user normal unset, as do given ids that name no normal.
void TpolyBuilder::convertGivenNormals() {
    TpolyNorm& norm = *fGeom->norm();
    TuInt32Array given;
    T3dFltPointArray values;
    given.swap(norm.fNormalIds);
    values.swap(norm.fVertexNormals);
    fGeom->markDirty(dirtyAll);
    fGeom->update(dirtyNormalTopo);
    const TuInt32Array& ids = norm.fNormalIds;
    if (ids.size() != given.size()) return;
    uint32_t nNormal = 0;
    for (uint32_t id : ids)
        if (id != TpolyBits::kNoId) nNormal = std::max(nNormal, id + 1);
    norm.fUserNormals.clear();
    norm.fUserNormals.changeLogicalSizeTo(nNormal);
    for (T4dFltVector& n : norm.fUserNormals) n = T4dFltVector(1e20f, 1e20f, 1e20f);
    for (uint32_t c = 0; c < ids.size(); ++c) {
        if (given[c] >= values.size() || ids[c] >= nNormal) continue;
        const T3dFltPoint& p = values[given[c]];
        norm.fUserNormals[ids[c]] = T4dFltVector(p.x, p.y, p.z);
    }
}

bool TpolyBuilder::endEdit(bool removeInvalidUVs) {
    if (fGeom->nbFace() == 0 || fGeom->checkIndices() != 0) return false;
    if (fHasGivenNormals) convertGivenNormals();
    fGeom->markDirty(dirtyAll);
    if (fGeom->maps()->nbMap() == 0) {
        addSetForCorners(*fGeom->maps(), Tstring(kDefaultSetName), fGeom->faceDescLength());
        fGeom->maps()->setCurrentMapSetId(0);
    } else if (removeInvalidUVs) {
        fGeom->unshareInvalidUVs();
    }
    fEditState = kComplete;
    fGeom->packArray();
    return true;
}

TpolyGeom* TpolyBuilder::complete(bool removeInvalidUVs) {
    return (fEditState == kComplete || endEdit(removeInvalidUVs)) ? fGeom : nullptr;
}

// --- TpolyVertexBuilder -----------------------------------------------------------------------------

TpolyVertexBuilder::TpolyVertexBuilder() = default;

TpolyVertexBuilder::TpolyVertexBuilder(TpolyGeom* geom)
    : TpolyBuilder(geom), fPendingEnd(geom->nbEdge()), fPendingVertices(geom->nbVertex()) {}

void TpolyVertexBuilder::linkVertex(uint32_t v, uint32_t other, uint32_t edge) const {
    if (v >= fHeads.size()) {
        const uint32_t old = fHeads.size();
        fHeads.changeLogicalSizeTo(v + 1);
        for (uint32_t i = old; i <= v; ++i) fHeads[i] = kNoNode;
    }
    fNodes.addLast(TedgeNode{edge, other, fHeads[v]});
    fHeads[v] = fNodes.size() - 1;
}

// Only edges whose ends are existing vertices enter the lists: an edge to a vertex id beyond the
// record cannot be shared (the record will fail complete) and must not make the heads grow without
// bound.
void TpolyVertexBuilder::enterEdge(uint32_t edge, uint32_t nbVertex) const {
    const uint32_t a = fGeom->startVertex(edge), b = fGeom->endVertex(edge);
    if (a >= nbVertex || b >= nbVertex) return;
    linkVertex(a, b, edge);
    if (b != a) linkVertex(b, a, edge);
}

void TpolyVertexBuilder::listPendingEdges() const {
    if (fPendingBegin == fPendingEnd) return;
    fNodes.buffer(2 * (fPendingEnd - fPendingBegin));
    for (uint32_t e = fPendingBegin; e < fPendingEnd; ++e) enterEdge(e, fPendingVertices);
    fPendingBegin = fPendingEnd;
}

uint32_t TpolyVertexBuilder::createEdge(uint32_t from, uint32_t to, bool smooth) {
    listPendingEdges();
    const uint32_t e = fGeom->appendEdge(from, to, !smooth);
    enterEdge(e, fGeom->nbVertex());
    return e;
}

// Walks the lists of a and b one node each in turn: the edge, when it exists, is in both lists, so
// the search ends after about twice the length of the shorter one. That keeps a fan round a vertex
// of high valence linear: its new edges are decided absent by the short list of the other end.
bool TpolyVertexBuilder::findEdge(uint32_t a, uint32_t b, uint32_t& edge, bool& reversed) const {
    listPendingEdges();
    if (a >= fHeads.size() || b >= fHeads.size()) return false;
    uint32_t na = fHeads[a], nb = fHeads[b];
    auto found = [&](uint32_t node) {
        edge = fNodes[node].edge;
        reversed = fGeom->startVertex(edge) != a;
        return true;
    };
    while (na != kNoNode && nb != kNoNode) {
        if (fNodes[na].other == b) return found(na);
        if (fNodes[nb].other == a) return found(nb);
        na = fNodes[na].next;
        nb = fNodes[nb].next;
    }
    return false;
}

// The refusals that leave the record unchanged. The along-one-edge test looks at the flat list of
// corner pairs made so far: a face whose pair (v_i, v_i+1) has v_i+1 next to the first position of
// v_i in that list would run along one edge twice. A face without repeated vertices cannot, so the
// scan runs only when the same-point check is off.
bool TpolyVertexBuilder::acceptFace(uint32_t count, const int32_t* vertexIds) {
    if (count < 3) return false;
    for (uint32_t i = 0; i < count; ++i)
        if (vertexIds[i] < 0) return false;
    if (fCheckSamePointTwice) {
        // Marks in the heads would need the heads to cover every id; small faces compare every
        // pair, and a sort of a copy keeps huge ones n log n.
        if (count <= 16) {
            for (uint32_t i = 1; i < count; ++i)
                for (uint32_t j = 0; j < i; ++j)
                    if (vertexIds[i] == vertexIds[j]) return false;
            return true;
        }
        fPairs.changeLogicalSizeTo(count);
        for (uint32_t i = 0; i < count; ++i) fPairs[i] = uint32_t(vertexIds[i]);
        std::sort(fPairs.begin(), fPairs.end());
        return std::adjacent_find(fPairs.begin(), fPairs.end()) == fPairs.end();
    }
    fPairs.clear();
    fPairs.buffer(2 * count);
    for (uint32_t i = 0; i + 1 < count; ++i) {
        const uint32_t vi = uint32_t(vertexIds[i]), vn = uint32_t(vertexIds[i + 1]);
        const uint32_t p = fPairs.find(vi);
        if (p != TpolyBits::kNoId && ((p + 1 < fPairs.size() && fPairs[p + 1] == vn) || (p > 0 && fPairs[p - 1] == vn)))
            return false;
        fPairs.addLast(vi);
        fPairs.addLast(vn);
    }
    return true;
}

void TpolyVertexBuilder::appendNormalIds(uint32_t count, const int32_t* normalIds) {
    TuInt32Array& ids = fGeom->norm()->fNormalIds;
    if (normalIds && !fHasGivenNormals) {
        // Corners made before the first face with normals get none.
        ids.clear();
        ids.changeLogicalSizeTo(fGeom->faceDescLength());
        for (uint32_t& id : ids) id = TpolyBits::kNoId;
        fHasGivenNormals = true;
    }
    if (!fHasGivenNormals) return;
    ids.buffer(count);
    for (uint32_t k = 0; k < count; ++k) ids.addLast(normalIds ? uint32_t(normalIds[k]) : TpolyBits::kNoId);
}

int32_t TpolyVertexBuilder::makeFace(uint32_t count, const int32_t* vertexIds, const int32_t* normalIds,
                                     const int32_t* uvIds, bool smooth, uint32_t set) {
    if (!isEditable() || !acceptFace(count, vertexIds)) return -1;
    const int32_t uvSet = resolveUVSet(set);
    fScratch = 0;
    appendNormalIds(count, normalIds);
    appendUVIds(count, uvIds, uvSet);
    appendColorIds(count, nullptr, -1);
    fGeom->bgnFace(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t a = uint32_t(vertexIds[i]), b = uint32_t(vertexIds[i + 1 == count ? 0 : i + 1]);
        uint32_t e;
        bool reversed;
        if (!findEdge(a, b, e, reversed)) {
            e = createEdge(a, b, smooth);
            reversed = false;
        }
        fGeom->refEdge(e, reversed);
    }
    fGeom->endLoop();
    fGeom->endFace();
    return int32_t(fGeom->nbFace());
}

int32_t TpolyVertexBuilder::createFace(uint32_t count, const int32_t* vertexIds, const int32_t* uvIds, bool smooth,
                                       uint32_t set) {
    return makeFace(count, vertexIds, nullptr, uvIds, smooth, set);
}

int32_t TpolyVertexBuilder::createNFace(uint32_t count, const int32_t* vertexIds, const int32_t* normalIds,
                                        const int32_t* uvIds, uint32_t set) {
    return makeFace(count, vertexIds, normalIds, uvIds, true, set);
}

// New vertices, normals and UV points for one face, then the face. The new vertices are distinct,
// so once the corner count is accepted the face cannot be refused.
int32_t TpolyVertexBuilder::makePositionalFace(uint32_t count, const T3Float* positions, const T3Float* normals,
                                               const T2Float* uvs, bool smooth, uint32_t set) {
    if (count < 3 || !isEditable()) return -1;
    fCorners.changeLogicalSizeTo(3 * count);
    int32_t* ids = fCorners.data();
    int32_t* normalIds = normals ? ids + count : nullptr;
    int32_t* uvIds = nullptr;
    const uint32_t firstVertex = createVertex(&positions[0][0], count);
    for (uint32_t k = 0; k < count; ++k) ids[k] = int32_t(firstVertex + k);
    if (normals) {
        const uint32_t first = createNormal(&normals[0][0], count);
        for (uint32_t k = 0; k < count; ++k) normalIds[k] = int32_t(first + k);
    }
    if (uvs) {
        const int32_t first = createTexCoord(&uvs[0][0], count, set);
        if (first >= 0) {
            uvIds = ids + 2 * count;
            for (uint32_t k = 0; k < count; ++k) uvIds[k] = first + int32_t(k);
        }
    }
    return makeFace(count, ids, normalIds, uvIds, smooth, set);
}

int32_t TpolyVertexBuilder::createNFace(uint32_t count, const T3Float* positions, const T3Float* normals,
                                        const T2Float* uvs, uint32_t set) {
    return makePositionalFace(count, positions, normals, uvs, true, set);
}

int32_t TpolyVertexBuilder::createFace(uint32_t count, const T3Float* positions, const T2Float* uvs, bool smooth,
                                       uint32_t set) {
    return makePositionalFace(count, positions, nullptr, uvs, smooth, set);
}

// Shared points may make a vertex repeat and the face be refused: the vertices made for it then go.
int32_t TpolyVertexBuilder::createFace(const T4dDblPointArray& points, bool smooth, float tolerance) {
    const uint32_t count = points.size();
    if (count < 3 || !isEditable()) return -1;
    const uint32_t vertexCount = fGeom->nbVertex();
    fCorners.changeLogicalSizeTo(count);
    for (uint32_t k = 0; k < count; ++k) {
        const T3dFltPoint p = cartesian(points[k]);
        fCorners[k] = int32_t(createOrShareVertex(p.x, p.y, p.z, tolerance));
    }
    const int32_t result = makeFace(count, fCorners.data(), nullptr, nullptr, smooth, kCurrentSet);
    if (result < 0) fGeom->vertexArray().changeLogicalSizeTo(vertexCount);
    return result;
}

int32_t TpolyVertexBuilder::createFaceList(uint32_t faceCount, const int32_t* counts, const int32_t* vertexIds,
                                           const int32_t* uvIds, uint32_t set, bool withUVs) {
    int32_t result = int32_t(countFace());
    uint32_t at = 0;
    for (uint32_t f = 0; f < faceCount; ++f) {
        if (counts[f] < 0) return -1;
        const uint32_t n = uint32_t(counts[f]);
        result = withUVs ? createFace(n, vertexIds + at, uvIds + at, true, set)
                         : createFace(n, vertexIds + at, nullptr, true, 0);
        if (result < 0) return -1;
        at += n;
    }
    return result;
}

int32_t TpolyVertexBuilder::createFaceList(uint32_t faceCount, const int32_t* counts, const int32_t* vertexIds,
                                           const int32_t* uvIds, uint32_t set) {
    return createFaceList(faceCount, counts, vertexIds, uvIds, set, uvIds != nullptr);
}

int32_t TpolyVertexBuilder::createFaceList(const Tint32Array& counts, const Tint32Array& vertexIds) {
    return createFaceList(counts.size(), counts.data(), vertexIds.data(), nullptr, 0, false);
}

int32_t TpolyVertexBuilder::createFaceList(const Tint32Array& counts, const Tint32Array& vertexIds,
                                           const Tint32Array& uvIds, uint32_t set) {
    if (uvIds.size() < vertexIds.size()) return -1;
    return createFaceList(counts.size(), counts.data(), vertexIds.data(), uvIds.data(), set, true);
}

int32_t TpolyVertexBuilder::createFaces(uint32_t faceCount, uint32_t idCount, const int32_t* counts,
                                        const int32_t* vertexIds) {
    // Reservations sized so that no array is copied while growing and complete's packing has little
    // to give back: the corner-sized arrays are exact; a mesh has about one edge per two corners,
    // plus half an edge per border edge, for which a small margin is kept.
    fGeom->loopEdgeBuffer(idCount);
    const uint32_t edges = idCount / 2 + idCount / 64 + 16;
    fGeom->edgeBuffer(edges);
    for (TpolyMap& map : *fGeom->maps()) map.indexArray().buffer(idCount);
    for (TpolyColor& set : *fGeom->colors()) set.indexArray().buffer(idCount);
    if (fGeom->maps()->nbMap() == 0 && resolveUVSet(0) >= 0) (*fGeom->maps())[0].indexArray().buffer(idCount);
    if (fGeom->nbEdge() > 0) return createFaceList(faceCount, counts, vertexIds, nullptr, 0, false);

    // Without edges to share, whether a face is refused depends on its own ids only: the faces up
    // to the first refused one are made at once, as createFaceList would make them.
    uint32_t accepted = 0, corners = 0;
    if (isEditable())
        for (; accepted < faceCount; corners += uint32_t(counts[accepted++]))
            if (counts[accepted] < 0 || !acceptFace(uint32_t(counts[accepted]), vertexIds + corners)) break;
    if (accepted > 0) makeAcceptedFaces(accepted, corners, counts, vertexIds);
    return accepted < faceCount ? -1 : int32_t(countFace());
}

// Each corner pair joins the corner's vertex to the next one of its face. A pair of existing
// vertices uses the edge of the first pair of the same two vertices, either way round; that pair
// made it, forward. Pairs are bucketed by their smaller vertex, and a bucket, in pair order,
// finds each pair's first through a mark per larger vertex. A pair with a vertex beyond the record
// always makes its own edge, which is never shared.
void TpolyVertexBuilder::makeAcceptedFaces(uint32_t faceCount, uint32_t cornerCount, const int32_t* counts,
                                           const int32_t* vertexIds) {
    const int32_t uvSet = resolveUVSet(0);
    fScratch = 0;
    appendNormalIds(cornerCount, nullptr);
    appendUVIds(cornerCount, nullptr, uvSet);
    appendColorIds(cornerCount, nullptr, -1);

    const uint32_t nVertex = fGeom->nbVertex();
    const std::unique_ptr<uint32_t[]> to(new uint32_t[cornerCount]), first(new uint32_t[cornerCount]);
    const std::unique_ptr<uint32_t[]> bucket(new uint32_t[size_t(nVertex) + 2]), mark(new uint32_t[nVertex]);
    std::fill(bucket.get(), bucket.get() + nVertex + 2, 0u);
    auto from = [&](uint32_t k) { return uint32_t(vertexIds[k]); };
    for (uint32_t f = 0, at = 0; f < faceCount; at += uint32_t(counts[f++]))
        for (uint32_t k = at, end = at + uint32_t(counts[f]); k < end; ++k) to[k] = from(k + 1 == end ? at : k + 1);
    for (uint32_t k = 0; k < cornerCount; ++k)
        if (from(k) < nVertex && to[k] < nVertex) ++bucket[std::min(from(k), to[k]) + 2];
    for (uint32_t v = 2; v < nVertex + 2; ++v) bucket[v] += bucket[v - 1];
    // Filling moves each bucket's start from bucket[v + 1] to bucket[v + 2], where the next begins.
    const std::unique_ptr<uint32_t[]> pairs(new uint32_t[bucket[nVertex + 1]]);
    for (uint32_t k = 0; k < cornerCount; ++k)
        if (from(k) < nVertex && to[k] < nVertex) pairs[bucket[std::min(from(k), to[k]) + 1]++] = k;
    std::fill(mark.get(), mark.get() + nVertex, TpolyBits::kNoId);
    for (uint32_t v = 0; v < nVertex; ++v) {
        for (uint32_t i = bucket[v]; i < bucket[v + 1]; ++i) {
            const uint32_t k = pairs[i], other = std::max(from(k), to[k]);
            if (mark[other] == TpolyBits::kNoId) mark[other] = k;
            first[k] = mark[other];
        }
        for (uint32_t i = bucket[v]; i < bucket[v + 1]; ++i)
            mark[std::max(from(pairs[i]), to[pairs[i]])] = TpolyBits::kNoId;
    }

    // In pair order a first pair makes its edge before any later pair looks it up; first[k] then
    // holds the edge of pair k.
    const uint32_t firstEdge = fGeom->nbEdge(), firstEntry = fGeom->faceDescLength();
    TuInt32Array& desc = fGeom->topo()->fFaceDesc;
    desc.changeLogicalSizeTo(firstEntry + cornerCount);
    uint32_t* entries = desc.data() + firstEntry;
    for (uint32_t k = 0; k < cornerCount; ++k) {
        const bool shared = from(k) < nVertex && to[k] < nVertex;
        uint32_t e = 0;
        bool reversed = false;
        if (shared && first[k] != k) {
            e = first[first[k]];
            reversed = fGeom->startVertex(e) != from(k);
        } else {
            e = fGeom->appendEdge(from(k), to[k]);
            if (shared) first[k] = e;
        }
        entries[k] = (e & TpolyBits::kEdgeMask) | (reversed ? TpolyBits::kReversedUse : 0);
    }
    for (uint32_t f = 0, at = 0; f < faceCount; ++f) {
        at += uint32_t(counts[f]);
        entries[at - 1] |= TpolyBits::kEndOfLoop | TpolyBits::kEndOfFace;
    }
    fGeom->topo()->fNbFace += faceCount;
    fPendingBegin = firstEdge;
    fPendingEnd = fGeom->nbEdge();
    fPendingVertices = nVertex;
}

int32_t TpolyVertexBuilder::create(uint32_t vertexCount, uint32_t faceCount, uint32_t idCount, const T3Float* positions,
                                   const int32_t* counts, const int32_t* vertexIds) {
    reserveVertex(vertexCount);
    if (vertexCount > 0) createVertex(&positions[0][0], vertexCount);
    return createFaces(faceCount, idCount, counts, vertexIds);
}

int32_t TpolyVertexBuilder::create(uint32_t vertexCount, uint32_t faceCount, uint32_t idCount,
                                   const T4dFltPointArray& positions, const int32_t* counts, const int32_t* vertexIds) {
    createVertex(positions, vertexCount);
    return createFaces(faceCount, idCount, counts, vertexIds);
}

int32_t TpolyVertexBuilder::create(uint32_t vertexCount, uint32_t faceCount, uint32_t idCount,
                                   const T4dDblPointArray& positions, const int32_t* counts, const int32_t* vertexIds) {
    createVertex(positions, vertexCount);
    return createFaces(faceCount, idCount, counts, vertexIds);
}

// --- TpolyEdgeBuilder -------------------------------------------------------------------------------

void TpolyEdgeBuilder::reserveEdge(uint32_t n) { fGeom->edgeBuffer(n); }

void TpolyEdgeBuilder::reserveFace(uint32_t n) { fGeom->loopEdgeBuffer(n); }

uint32_t TpolyEdgeBuilder::countEdge() const { return fGeom->nbEdge(); }

uint32_t TpolyEdgeBuilder::createEdge(uint32_t from, uint32_t to, bool smooth) {
    return fGeom->appendEdge(from, to, !smooth);
}

bool TpolyEdgeBuilder::isHard(uint32_t edge) const { return edge < fGeom->nbEdge() && fGeom->isHard(edge); }

bool TpolyEdgeBuilder::isSmooth(uint32_t edge) const { return edge < fGeom->nbEdge() && fGeom->isSmooth(edge); }

bool TpolyEdgeBuilder::setHard(uint32_t edge, bool hard) {
    if (edge >= fGeom->nbEdge()) return false;
    fGeom->setSmoothing(edge, hard);
    return true;
}

bool TpolyEdgeBuilder::setSmooth(uint32_t edge, bool smooth) { return setHard(edge, !smooth); }

bool TpolyEdgeBuilder::checkConnections(uint32_t count, const int32_t* edges, int32_t* directions) const {
    auto start = [&](uint32_t i) { return fGeom->startVertex(uint32_t(edges[i]), directions[i] != 0); };
    auto end = [&](uint32_t i) { return fGeom->endVertex(uint32_t(edges[i]), directions[i] != 0); };
    auto flip = [&](uint32_t i) { directions[i] = directions[i] ? 0 : 1; };
    for (uint32_t i = 0; i + 1 < count; ++i) {
        if (end(i) == start(i + 1)) continue;
        flip(i + 1);
        if (end(i) == start(i + 1)) continue;
        if (i != 0) return false;
        // At the first corner the first use may be the wrong one: try it flipped with the second
        // use both ways.
        flip(0);
        if (end(0) == start(1)) continue;
        flip(1);
        if (end(0) != start(1)) return false;
    }
    return end(count - 1) == start(0);
}

int32_t TpolyEdgeBuilder::createHoledFace(uint32_t loopCount, const int32_t* loopCounts, const int32_t* edges,
                                          int32_t* directions, const int32_t* uvIds, const int32_t* colourIds,
                                          uint32_t uvSet, uint32_t colourSet) {
    if (!isEditable() || fGeom->nbEdge() == 0 || loopCount == 0) return -1;
    uint32_t total = 0;
    for (uint32_t l = 0; l < loopCount; ++l) {
        if (loopCounts[l] < 3) return -1;
        total += uint32_t(loopCounts[l]);
    }
    for (uint32_t k = 0; k < total; ++k)
        if (edges[k] < 0 || uint32_t(edges[k]) >= fGeom->nbEdge()) return -1;
    for (uint32_t l = 0, at = 0; l < loopCount; at += uint32_t(loopCounts[l++]))
        if (!checkConnections(uint32_t(loopCounts[l]), edges + at, directions + at)) return -1;

    fScratch = 0;
    appendColorIds(total, colourIds, colourIds ? resolveColorSet(colourSet) : -1);
    appendUVIds(total, uvIds, uvIds ? resolveUVSet(uvSet) : -1);

    fGeom->bgnFace(total);
    for (uint32_t l = 0, at = 0; l < loopCount; at += uint32_t(loopCounts[l++])) {
        for (uint32_t k = 0; k < uint32_t(loopCounts[l]); ++k)
            fGeom->refEdge(uint32_t(edges[at + k]), directions[at + k] != 0);
        fGeom->endLoop();
    }
    fGeom->endFace();
    return int32_t(fGeom->nbFace());
}

int32_t TpolyEdgeBuilder::createFace(uint32_t count, const int32_t* edges, int32_t* directions, const int32_t* uvIds,
                                     const int32_t* colourIds, uint32_t uvSet, uint32_t colourSet) {
    const int32_t loop = int32_t(count);
    return createHoledFace(1, &loop, edges, directions, uvIds, colourIds, uvSet, colourSet);
}

int32_t TpolyEdgeBuilder::createFace(Tint32Array& edges, Tint32Array& directions, const Tint32Array& uvIds,
                                     uint32_t uvSet) {
    if (directions.size() < edges.size() || (!uvIds.empty() && uvIds.size() < edges.size())) return -1;
    return createFace(edges.size(), edges.data(), directions.data(), uvIds.empty() ? nullptr : uvIds.data(), nullptr,
                      uvSet);
}

int32_t TpolyEdgeBuilder::createFace(Tint32Array& edges, Tint32Array& directions, const Tint32Array& uvIds,
                                     const Tint32Array& colourIds, uint32_t uvSet, uint32_t colourSet) {
    const uint32_t n = edges.size();
    if (directions.size() < n || (!uvIds.empty() && uvIds.size() < n) || (!colourIds.empty() && colourIds.size() < n))
        return -1;
    return createFace(n, edges.data(), directions.data(), uvIds.empty() ? nullptr : uvIds.data(),
                      colourIds.empty() ? nullptr : colourIds.data(), uvSet, colourSet);
}

int32_t TpolyEdgeBuilder::createFaceList(uint32_t faceCount, const int32_t* counts, const int32_t* edges,
                                         int32_t* directions, const int32_t* uvIds, uint32_t uvSet) {
    int32_t result = int32_t(countFace());
    uint32_t at = 0;
    for (uint32_t f = 0; f < faceCount; ++f) {
        if (counts[f] < 0) return -1;
        result =
            createFace(uint32_t(counts[f]), edges + at, directions + at, uvIds ? uvIds + at : nullptr, nullptr, uvSet);
        if (result < 0) return -1;
        at += uint32_t(counts[f]);
    }
    return result;
}
