// The record's UV and colour sets: forwarding to the shared set arrays with every set index
// checked, so that no call with a stale or all-ones index reaches past the sets. Writers keep each
// id either -1 or below its set's value count.

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "brindle/geom/PolyGeom.h"

namespace {

template <typename S>
S* setAt(TpolySetArray<S>& sets, uint32_t s) {
    return s < sets.nbSet() ? &sets[s] : nullptr;
}
template <typename S>
const S* setAt(const TpolySetArray<S>& sets, uint32_t s) {
    return s < sets.nbSet() ? &sets[s] : nullptr;
}

// Adds a set; with withIds it gets one unmapped id per existing face corner.
template <typename S>
uint32_t addSet(TpolySetArray<S>& sets, const Tstring& name, bool withIds, uint32_t corners) {
    const uint32_t s = sets.add(name);
    if (withIds) sets[s].createIndexArray(corners);
    return s;
}

// Runs edit on set s when it exists; a successful edit marks the record's UVs or colours moved.
template <typename S, typename Edit>
bool editSet(TpolyGeom& geom, TpolySetArray<S>& sets, uint32_t s, Edit&& edit) {
    S* set = setAt(sets, s);
    if (!set || !edit(*set)) return false;
    geom.markDirty(dirtyMoved);
    return true;
}

// Exchanges the ids of set s of two records; both are marked when it happens.
template <typename S>
bool swapSetIds(TpolyGeom& geom, TpolySetArray<S>& sets, TpolyGeom& other, TpolySetArray<S>& otherSets, uint32_t s) {
    S* theirs = setAt(otherSets, s);
    return theirs && editSet(geom, sets, s, [&](S& mine) {
               mine.indexArray().swap(theirs->indexArray());
               other.markDirty(dirtyMoved);
               return true;
           });
}

// Read-only id queries shared by both kinds of set.
template <typename S>
uint32_t idCount(const TpolySetArray<S>& sets, uint32_t s) {
    const S* set = setAt(sets, s);
    return set ? set->nbIndex() : 0;
}
template <typename S>
int32_t idAt(const TpolySetArray<S>& sets, uint32_t offset, uint32_t s) {
    const S* set = setAt(sets, s);
    return set && offset < set->nbIndex() ? set->getIndex(offset) : -1;
}
template <typename S>
const int32_t* idArray(const TpolySetArray<S>& sets, uint32_t s) {
    const S* set = setAt(sets, s);
    return set ? set->indexArray().data() : nullptr;
}
template <typename S>
bool reserveIds(TpolySetArray<S>& sets, uint32_t n, uint32_t s, uint32_t corners) {
    S* set = setAt(sets, s);
    if (set) set->indexArray().buffer(n ? n : corners);
    return set != nullptr;
}
// The face's first corner has a value (face offsets as they stand; a face beyond them has none).
template <typename S>
bool faceHasValue(const TpolySetArray<S>& sets, const TpolyTopo& topo, uint32_t face, uint32_t s) {
    const S* set = setAt(sets, s);
    return set && face < topo.fNbFace && face < topo.fFaceOffsets.size() && set->hasIndexAt(topo.fFaceOffsets[face]);
}

// Gives the set exactly one id per corner, padding with kNoId; answers whether it changed.
bool fitIds(TpolyBdVertexFaceBase& set, uint32_t corners) {
    Tint32Array& ids = set.indexArray();
    const uint32_t had = ids.size();
    if (had == corners) return false;
    ids.changeLogicalSizeTo(corners);
    for (uint32_t k = had; k < corners; ++k) ids[k] = TpolyBdVertexFaceBase::kNoId;
    return true;
}

// Offset of the entry after offset within its loop: the loop closes from its last entry back to
// its first.
uint32_t nextInLoop(const TpolyGeom& g, uint32_t offset) {
    if (!g.endOfLoop(offset)) return offset + 1;
    while (offset > 0 && !g.endOfLoop(offset - 1)) --offset;
    return offset;
}

}  // namespace

// --- UV-set management ---------------------------------------------------------------------------

uint32_t TpolyGeom::nbMapSet() const { return fMaps->nbMap(); }
void TpolyGeom::mapSetBuffer(uint32_t n) { fMaps->buffer(n); }
bool TpolyGeom::setCurrentMap(uint32_t s) { return fMaps->setCurrentMapSetId(s); }
int32_t TpolyGeom::getCurrentMap() const { return fMaps->currentMapSetId(); }
bool TpolyGeom::setMapName(uint32_t s, Tstring& name, bool uniqueName) { return fMaps->setName(s, name, uniqueName); }
bool TpolyGeom::mapName(uint32_t s, Tstring& name) const { return fMaps->name(name, s); }
bool TpolyGeom::currentMapName(Tstring& name) const { return fMaps->currentMapName(name); }
bool TpolyGeom::setCurrentMapName(std::string_view name) { return fMaps->setCurrentMapName(name); }
bool TpolyGeom::findMapSet(std::string_view name, uint32_t& s) const { return fMaps->find(name, s); }
bool TpolyGeom::removeMapSet(uint32_t s) { return fMaps->remove(s); }
bool TpolyGeom::copyMapSet(uint32_t from, uint32_t to) {
    return editSet(*this, *fMaps, to, [&](TpolyMap&) { return fMaps->copySetContents(from, to); });
}

uint32_t TpolyGeom::generateUniqueUVSetName(Tstring& name) const {
    fMaps->makeUniqueName(name);
    return fMaps->nbMap();
}

uint32_t TpolyGeom::addLastMapSet(const Tstring& name) { return addSet(*fMaps, name, false, 0); }
uint32_t TpolyGeom::newEmptyMapSet(const Tstring& name) { return addSet(*fMaps, name, true, faceDescLength()); }

// --- UV values -------------------------------------------------------------------------------------

bool TpolyGeom::uvBuffer(uint32_t n, uint32_t s) {
    TpolyMap* m = setAt(*fMaps, s);
    if (m) m->dataBuffer(n);
    return m != nullptr;
}

int32_t TpolyGeom::appendUV(const float* pairs, uint32_t count, uint32_t s) {
    int32_t first = -1;
    editSet(*this, *fMaps, s, [&](TpolyMap& m) {
        first = int32_t(m.nbUV());
        m.appendUV(pairs, count);
        return true;
    });
    return first;
}
int32_t TpolyGeom::appendUV(float u, float v, uint32_t s) {
    int32_t index = -1;
    editSet(*this, *fMaps, s, [&](TpolyMap& m) {
        index = int32_t(m.appendUV(u, v));
        return true;
    });
    return index;
}
int32_t TpolyGeom::appendUV(const float* uv, uint32_t s) { return appendUV(uv[0], uv[1], s); }
int32_t TpolyGeom::appendUV(const T2FloatPair& uv, uint32_t s) { return appendUV(uv.u, uv.v, s); }

bool TpolyGeom::removeUV(uint32_t first, uint32_t count, uint32_t s) {
    return editSet(*this, *fMaps, s, [&](TpolyMap& m) {
        if (first >= m.nbUV()) return false;
        m.removeData(first, count);
        return true;
    });
}

bool TpolyGeom::removeLastUV(uint32_t count, uint32_t s) {
    return editSet(*this, *fMaps, s, [&](TpolyMap& m) {
        m.removeLastData(count);
        return true;
    });
}

bool TpolyGeom::swapUV(TpolyGeom& other, uint32_t s) {
    TpolyMap* theirs = setAt(*other.fMaps, s);
    return theirs && editSet(*this, *fMaps, s, [&](TpolyMap& m) {
               m.swapUV(*theirs);
               other.markDirty(dirtyMoved);
               return true;
           });
}

bool TpolyGeom::copyUV(const TpolyGeom& other, uint32_t s) {
    const TpolyMap* theirs = setAt(std::as_const(*other.fMaps), s);
    return theirs && editSet(*this, *fMaps, s, [&](TpolyMap& m) {
               m.copyUV(*theirs);
               return true;
           });
}

uint32_t TpolyGeom::nbUV(uint32_t s) const {
    const TpolyMap* m = setAt(std::as_const(*fMaps), s);
    return m ? m->nbUV() : 0;
}

bool TpolyGeom::setUV(uint32_t i, float u, float v, uint32_t s) {
    return editSet(*this, *fMaps, s, [&](TpolyMap& m) {
        if (i >= m.nbUV()) return false;
        m.setUV(i, u, v);
        return true;
    });
}

bool TpolyGeom::getUV(uint32_t i, float out[2], uint32_t s) const {
    const T2FloatPair* p = uvConst(i, s);
    if (!p) return false;
    out[0] = p->u;
    out[1] = p->v;
    return true;
}

const T2FloatPair* TpolyGeom::uvConst(uint32_t i, uint32_t s) const {
    const TpolyMap* m = setAt(std::as_const(*fMaps), s);
    return m && i < m->nbUV() ? &m->uvArray()[i] : nullptr;
}
T2FloatPair* TpolyGeom::uv(uint32_t i, uint32_t s) { return const_cast<T2FloatPair*>(uvConst(i, s)); }
const float* TpolyGeom::uvFloatConst(uint32_t i, uint32_t s) const {
    const T2FloatPair* p = uvConst(i, s);
    return p ? &p->u : nullptr;
}
float* TpolyGeom::uvFloat(uint32_t i, uint32_t s) { return const_cast<float*>(uvFloatConst(i, s)); }

// --- UV ids ----------------------------------------------------------------------------------------

bool TpolyGeom::mapFaceBuffer(uint32_t n, uint32_t s) { return reserveIds(*fMaps, n, s, faceDescLength()); }

bool TpolyGeom::isMappedAtOffset(uint32_t offset, uint32_t s) const {
    const TpolyMap* m = setAt(std::as_const(*fMaps), s);
    return m && m->hasIndexAt(offset);
}
bool TpolyGeom::isMappedAtOffset(uint32_t offset) const { return fMaps->isMappedAtOffset(offset); }

bool TpolyGeom::isMapped(uint32_t face, uint32_t s) const { return faceHasValue(*fMaps, *fTopo, face, s); }
uint32_t TpolyGeom::nbUVRef(uint32_t s) const { return idCount(*fMaps, s); }

bool TpolyGeom::setUVId(uint32_t offset, int32_t id, uint32_t s) {
    return editSet(*this, *fMaps, s, [&](TpolyMap& m) { return m.setIdChecked(offset, id); });
}

int32_t TpolyGeom::getUVId(uint32_t offset, uint32_t s) const { return idAt(*fMaps, offset, s); }
const int32_t* TpolyGeom::getUVIdArray(uint32_t s) const { return idArray(*fMaps, s); }
int32_t* TpolyGeom::getUVIdArray(uint32_t s) { return const_cast<int32_t*>(idArray(*fMaps, s)); }

bool TpolyGeom::removeUVId(uint32_t first, uint32_t count, uint32_t s) {
    return editSet(*this, *fMaps, s, [&](TpolyMap& m) { return m.removeIds(first, count); });
}

bool TpolyGeom::insertUVId(uint32_t offset, int32_t id, uint32_t s) {
    return editSet(*this, *fMaps, s, [&](TpolyMap& m) { return m.insertId(offset, id); });
}

bool TpolyGeom::refUV(int32_t id, uint32_t s) { return refUV(&id, 1, s); }
bool TpolyGeom::refUV(const int32_t* ids, uint32_t n, uint32_t s) {
    return editSet(*this, *fMaps, s, [&](TpolyMap& m) { return m.appendIds(ids, n); });
}

bool TpolyGeom::copyUVId(const TpolyGeom& other, uint32_t offset, uint32_t s, uint32_t otherSet) {
    return otherSet < other.nbMapSet() && refUV(other.getUVId(offset, otherSet), s);
}

bool TpolyGeom::swapUVId(TpolyGeom& other, uint32_t s) { return swapSetIds(*this, *fMaps, other, *other.fMaps, s); }

bool TpolyGeom::clearMap(uint32_t s) {
    return editSet(*this, *fMaps, s, [](TpolyMap& m) {
        m.clearMap();
        return true;
    });
}

bool TpolyGeom::resetMap(uint32_t s) {
    return editSet(*this, *fMaps, s, [](TpolyMap& m) {
        m.resetMap();
        return true;
    });
}

bool TpolyGeom::setAllUVIds(const int32_t* ids, uint32_t s) {
    return editSet(*this, *fMaps, s, [&](TpolyMap& m) { return m.assignIds(ids, faceDescLength()); });
}

uint32_t TpolyGeom::removeUnusedUVs(uint32_t s) {
    uint32_t removed = 0;
    editSet(*this, *fMaps, s, [&](TpolyMap& m) { return (removed = m.removeUnusedData()) != 0; });
    return removed;
}

// --- Sharing and queries ---------------------------------------------------------------------------

uint32_t TpolyGeom::shareUV(uint32_t s) {
    TpolyMap* m = setAt(*fMaps, s);
    if (!m) return 0;
    const uint32_t corners = std::min(m->nbIndex(), faceDescLength()), nEdge = nbEdge(), nVertex = nbVertex();
    // Corners are bucketed by vertex (a counting sort, linear, one word per corner), then each
    // vertex's few corners are sorted by UV and id, so that equal UVs of one vertex sit together
    // with the lowest id first.
    const auto vertexOf = [&](uint32_t c) {
        return m->hasValidIndexAt(c) && getEdge(c) < nEdge ? getStartVertex(c) : TpolyBits::kNoId;
    };
    const auto key = [m](uint32_t c) {
        const int32_t id = m->getIndex(c);
        const T2FloatPair& p = m->uvArray()[uint32_t(id)];
        return std::make_tuple(p.u, p.v, id);
    };
    TuInt32Array start, byVertex;
    start.create(nVertex + 1);
    for (uint32_t c = 0; c < corners; ++c)
        if (const uint32_t v = vertexOf(c); v < nVertex) ++start[v + 1];
    for (uint32_t v = 0; v < nVertex; ++v) start[v + 1] += start[v];
    byVertex.create(start[nVertex]);
    {
        TuInt32Array fill;
        fill.copy(start);
        for (uint32_t c = 0; c < corners; ++c)
            if (const uint32_t v = vertexOf(c); v < nVertex) byVertex[fill[v]++] = c;
    }
    uint32_t changed = 0;
    for (uint32_t v = 0; v < nVertex; ++v) {
        uint32_t* first = byVertex.data() + start[v];
        uint32_t* last = byVertex.data() + start[v + 1];
        std::sort(first, last, [&](uint32_t a, uint32_t b) { return key(a) < key(b); });
        for (uint32_t* c = first + 1; c < last; ++c) {
            const auto [u, w, id] = key(*c);
            const auto [pu, pw, pid] = key(c[-1]);
            if (u != pu || w != pw || id == pid) continue;
            m->setIndex(*c, pid);  // the run's lowest id, carried on corner by corner
            ++changed;
        }
    }
    if (changed) markDirty(dirtyMoved);
    return changed;
}

bool TpolyGeom::unshareUV(uint32_t offset, uint32_t s) {
    return editSet(*this, *fMaps, s, [offset](TpolyMap& m) { return m.unshareAt(offset); });
}

uint32_t TpolyGeom::unshareUV(uint32_t s) {
    uint32_t added = 0;
    editSet(*this, *fMaps, s, [&](TpolyMap& m) { return (added = m.unshareAll()) != 0; });
    return added;
}

bool TpolyGeom::getFaceUVs(uint32_t face, T2FloatArray& out, uint32_t s) const {
    out.clear();
    const TpolyMap* m = setAt(std::as_const(*fMaps), s);
    if (!m || face + 1 >= faceOffsetArray().size()) return false;
    out.buffer(faceVertexCount(face));
    for (uint32_t c = faceOffset(face); c < faceOffset(face + 1); ++c) {
        if (!m->hasValidIndexAt(c)) {
            out.clear();
            return false;
        }
        out.addLast(m->uvArray()[uint32_t(m->getIndex(c))]);
    }
    return true;
}

bool TpolyGeom::getFaceVertexUV(uint32_t face, uint32_t v, float out[2], uint32_t s) const {
    if (face + 1 >= faceOffsetArray().size()) return false;
    const uint32_t c = getVertexOffset(face, v);
    return c != TpolyBits::kNoId && getUV(uint32_t(getUVId(c, s)), out, s);
}

bool TpolyGeom::getEdgeUVIds(uint32_t offset, int32_t ids[2], uint32_t s) const {
    if (s >= nbMapSet() || offset >= faceDescLength()) return false;
    ids[0] = getUVId(offset, s);
    ids[1] = getUVId(nextInLoop(*this, offset), s);
    return true;
}

bool TpolyGeom::getEdgeFaceUVIds(uint32_t edge, Tside side, int32_t ids[2], uint32_t s) const {
    if (s >= nbMapSet() || edge >= fTopo->fEdgeToFace.size()) return false;
    const uint32_t face = fTopo->fEdgeToFace[edge].side[side];
    if (face >= nbFace() || face + 1 >= faceOffsetArray().size()) return false;  // no face, or non-manifold
    // The left face uses the edge forward, so its corner of the use sits at the edge's start.
    const TedgeDirection use = side == kLeft ? kForward : kReversed;
    for (uint32_t c = faceOffset(face); c < faceOffset(face + 1); ++c) {
        if (getEdge(c) != edge || getDirection(c) != use) continue;
        int32_t at[2];
        getEdgeUVIds(c, at, s);
        ids[0] = at[use == kForward ? 0 : 1];
        ids[1] = at[use == kForward ? 1 : 0];
        return true;
    }
    return false;
}

bool TpolyGeom::isUVBorder(uint32_t edge, uint32_t s) const {
    int32_t left[2], right[2];
    if (s >= nbMapSet() || edge >= fTopo->fEdgeToFace.size()) return false;
    if (!getEdgeFaceUVIds(edge, kLeft, left, s) || !getEdgeFaceUVIds(edge, kRight, right, s)) return true;
    return left[0] != right[0] || left[1] != right[1];
}

bool TpolyGeom::isUVAtVertexShared(uint32_t face, uint32_t v, uint32_t s) const {
    if (face + 1 >= faceOffsetArray().size()) return false;
    const uint32_t mine = getVertexOffset(face, v);
    const int32_t id = getUVId(mine, s);
    if (id == -1) return false;
    const uint32_t first = faceOffset(face), last = faceOffset(face + 1);
    for (uint32_t c = 0, n = std::min(nbUVRef(s), faceDescLength()); c < n; ++c)
        if ((c < first || c >= last) && getUVId(c, s) == id && getStartVertex(c) == v) return true;
    return false;
}

bool TpolyGeom::hasMultipleUVs(uint32_t v, uint32_t s) const {
    int32_t seen = -1;
    for (uint32_t c = 0, n = std::min(nbUVRef(s), faceDescLength()); c < n; ++c) {
        const int32_t id = getUVId(c, s);
        if (id == -1 || getStartVertex(c) != v) continue;
        if (seen != -1 && seen != id) return true;
        seen = id;
    }
    return false;
}

bool TpolyGeom::getUVBbox(float min[2], float max[2], uint32_t s) const {
    const TpolyMap* m = setAt(std::as_const(*fMaps), s);
    if (!m || m->nbUV() == 0) return false;
    min[0] = max[0] = m->uvArray()[0].u;
    min[1] = max[1] = m->uvArray()[0].v;
    for (const T2FloatPair& p : m->uvArray()) {
        min[0] = std::min(min[0], p.u);
        min[1] = std::min(min[1], p.v);
        max[0] = std::max(max[0], p.u);
        max[1] = std::max(max[1], p.v);
    }
    return true;
}

bool TpolyGeom::getUVCenter(uint32_t face, float out[2], uint32_t s) const {
    T2FloatArray uvs;
    if (!getFaceUVs(face, uvs, s) || uvs.empty()) return false;
    double u = 0, v = 0;
    for (const T2FloatPair& p : uvs) {
        u += p.u;
        v += p.v;
    }
    out[0] = float(u / uvs.size());
    out[1] = float(v / uvs.size());
    return true;
}

float TpolyGeom::getUVFaceArea(uint32_t face, uint32_t s) const {
    T2FloatArray uvs;
    if (!getFaceUVs(face, uvs, s)) return 0.0f;
    // Shoelace sum over each loop; hole loops run the other way and so subtract their area.
    const uint32_t first = faceOffset(face);
    double twice = 0;
    for (uint32_t k = 0; k < uvs.size(); ++k) {
        const T2FloatPair& a = uvs[k];
        const T2FloatPair& b = uvs[nextInLoop(*this, first + k) - first];
        twice += double(a.u) * b.v - double(b.u) * a.v;
    }
    return float(twice / 2);
}

int32_t TpolyGeom::getClosestUVPoint(const float uv[2], uint32_t s) const {
    const TpolyMap* m = setAt(std::as_const(*fMaps), s);
    if (!m) return -1;
    int32_t best = -1;
    float bestDist = 0;
    for (uint32_t i = 0; i < m->nbUV(); ++i) {
        const float du = m->uvArray()[i].u - uv[0], dv = m->uvArray()[i].v - uv[1];
        const float d = du * du + dv * dv;
        if (best == -1 || d < bestDist) {
            best = int32_t(i);
            bestDist = d;
        }
    }
    return best;
}

void TpolyGeom::getFaceUVSets(uint32_t face, TuInt32Array& out) const {
    out.clear();
    if (face + 1 >= faceOffsetArray().size()) return;
    for (uint32_t s = 0; s < nbMapSet(); ++s) {
        const TpolyMap& m = (*fMaps)[s];
        bool all = true;
        for (uint32_t c = faceOffset(face); all && c < faceOffset(face + 1); ++c) all = m.hasValidIndexAt(c);
        if (all) out.addLast(s);
    }
}

namespace {
// Barycentric weights of p in triangle (a, b, c) of the UV plane; false for a degenerate triangle
// or a point outside it (up to a small tolerance, so a point on a shared edge belongs to both).
bool uvBarycentric(const T2FloatPair& a, const T2FloatPair& b, const T2FloatPair& c, const float p[2], float w[3]) {
    constexpr double kInside = 1e-6;
    const double d = (double(b.u) - a.u) * (double(c.v) - a.v) - (double(c.u) - a.u) * (double(b.v) - a.v);
    if (std::fabs(d) < 1e-20) return false;
    const double wb = ((double(p[0]) - a.u) * (double(c.v) - a.v) - (double(c.u) - a.u) * (double(p[1]) - a.v)) / d;
    const double wc = ((double(b.u) - a.u) * (double(p[1]) - a.v) - (double(p[0]) - a.u) * (double(b.v) - a.v)) / d;
    const double wa = 1.0 - wb - wc;
    if (wa < -kInside || wb < -kInside || wc < -kInside) return false;
    w[0] = float(wa);
    w[1] = float(wb);
    w[2] = float(wc);
    return true;
}
}  // namespace

bool TpolyGeom::getPointFromUV(uint32_t face, const float uv[2], T3dFltPoint& point, uint32_t s) {
    const TpolyMap* m = setAt(std::as_const(*fMaps), s);
    if (!m) return false;
    update(dirtyFaceOffsets | dirtyTriangles);
    if (face >= nbFace()) return false;
    for (uint32_t t = 0, n = trgFaceOrder(face); t < n; ++t) {
        uint32_t corner[3];
        getFaceTriangle(face, t, corner);
        if (!m->hasValidIndexAt(corner[0]) || !m->hasValidIndexAt(corner[1]) || !m->hasValidIndexAt(corner[2]))
            continue;
        const auto at = [&](uint32_t k) { return m->uvArray()[uint32_t(m->getIndex(corner[k]))]; };
        float w[3];
        if (!uvBarycentric(at(0), at(1), at(2), uv, w)) continue;
        point = vertexConst(getStartVertex(corner[0])) * w[0] + vertexConst(getStartVertex(corner[1])) * w[1] +
                vertexConst(getStartVertex(corner[2])) * w[2];
        return true;
    }
    return false;
}

uint32_t TpolyGeom::getPointsFromUV(const float uv[2], T3dFltPointArray& out, uint32_t s) {
    out.clear();
    T3dFltPoint p;
    for (uint32_t f = 0; f < nbFace(); ++f)
        if (getPointFromUV(f, uv, p, s)) out.addLast(p);
    return out.size();
}

// --- Colour-set management -----------------------------------------------------------------------

uint32_t TpolyGeom::nbColorSet() const { return fColors->nbSet(); }
void TpolyGeom::colorSetBuffer(uint32_t n) { fColors->buffer(n); }
bool TpolyGeom::setCurrentColorSet(uint32_t s) { return fColors->setCurrentSetId(s); }
int32_t TpolyGeom::getCurrentColorSet() const { return fColors->currentSetId(); }
bool TpolyGeom::setColorName(uint32_t s, Tstring& name, bool uniqueName) {
    return fColors->setName(s, name, uniqueName);
}
bool TpolyGeom::colorName(uint32_t s, Tstring& name) const { return fColors->name(name, s); }
bool TpolyGeom::currentColorName(Tstring& name) const { return fColors->currentSetName(name); }
bool TpolyGeom::findColorSet(std::string_view name, uint32_t& s) const { return fColors->find(name, s); }
bool TpolyGeom::removeColorSet(uint32_t s) { return fColors->remove(s); }
bool TpolyGeom::copyColorSet(uint32_t from, uint32_t to) {
    return editSet(*this, *fColors, to, [&](TpolyColor&) { return fColors->copySetContents(from, to); });
}

uint32_t TpolyGeom::generateUniqueColorSetName(Tstring& name) const {
    fColors->makeUniqueName(name);
    return fColors->nbSet();
}

uint32_t TpolyGeom::addLastColorSet(const Tstring& name) { return addSet(*fColors, name, false, 0); }
uint32_t TpolyGeom::newEmptyColorSet(const Tstring& name) { return addSet(*fColors, name, true, faceDescLength()); }

// --- Colour values ---------------------------------------------------------------------------------

bool TpolyGeom::clearColor(uint32_t s) {
    return editSet(*this, *fColors, s, [](TpolyColor& c) {
        c.clearData();
        return true;
    });
}

bool TpolyGeom::colorBuffer(uint32_t n, uint32_t s) {
    TpolyColor* c = setAt(*fColors, s);
    if (c) c->dataBuffer(n);
    return c != nullptr;
}

bool TpolyGeom::copyColor(const TpolyGeom& other, uint32_t s) {
    const TpolyColor* theirs = setAt(std::as_const(*other.fColors), s);
    return theirs && editSet(*this, *fColors, s, [&](TpolyColor& c) {
               c.values().copy(theirs->values());
               c.setRepresentation(theirs->representation());
               return true;
           });
}

int32_t TpolyGeom::appendColor(const float* values, TpolyColorValue::TpolyColorRep rep, uint32_t count, uint32_t s) {
    const uint32_t stride = TpolyColorValue::floatCount(rep);
    int32_t first = -1;
    editSet(*this, *fColors, s, [&](TpolyColor& c) {
        if (stride == 0) return false;
        first = int32_t(c.nbData());
        c.dataBuffer(count);
        for (uint32_t i = 0; i < count; ++i)
            c.values().addLast(TpolyColorValue::copyValue(values + i * stride, rep, c.representation()));
        return true;
    });
    return first;
}

int32_t TpolyGeom::addLastColor(const TpolyColorValue& value, uint32_t s) {
    return appendColor(&value.r, TpolyColorValue::RGBA, 1, s);
}

bool TpolyGeom::removeColor(uint32_t first, uint32_t count, uint32_t s) {
    return editSet(*this, *fColors, s, [&](TpolyColor& c) {
        if (first >= c.nbData()) return false;
        c.removeData(first, count);
        return true;
    });
}

bool TpolyGeom::removeLastColor(uint32_t count, uint32_t s) {
    return editSet(*this, *fColors, s, [&](TpolyColor& c) {
        c.removeLastData(count);
        return true;
    });
}

uint32_t TpolyGeom::colorCount(uint32_t s) const {
    const TpolyColor* c = setAt(*fColors, s);
    return c ? c->nbData() : 0;
}

bool TpolyGeom::setColor(uint32_t i, const TpolyColorValue& value, uint32_t s) {
    return editSet(*this, *fColors, s, [&](TpolyColor& c) {
        if (i >= c.nbData()) return false;
        c.values()[i] = value;
        return true;
    });
}

const TpolyColorValue* TpolyGeom::getColor(uint32_t i, uint32_t s) const {
    const TpolyColor* c = setAt(std::as_const(*fColors), s);
    return c && i < c->nbData() ? &c->values()[i] : nullptr;
}

bool TpolyGeom::getColor(uint32_t i, TpolyColorValue& value, uint32_t s) const {
    const TpolyColorValue* v = getColor(i, s);
    if (v) value = *v;
    return v != nullptr;
}

TpolyColorValue::TpolyColorRep TpolyGeom::colorRepresentation(uint32_t s) const {
    const TpolyColor* c = setAt(std::as_const(*fColors), s);
    return c ? c->representation() : TpolyColorValue::RGBA;
}

bool TpolyGeom::setColorRepresentation(TpolyColorValue::TpolyColorRep rep, uint32_t s) {
    return editSet(*this, *fColors, s, [rep](TpolyColor& c) {
        if (TpolyColorValue::floatCount(rep) == 0) return false;
        c.setRepresentation(rep);
        return true;
    });
}

bool TpolyGeom::getColorByOffset(uint32_t offset, float out[4], uint32_t s) const {
    const TpolyColor* c = setAt(std::as_const(*fColors), s);
    if (!c || !c->hasValidIndexAt(offset)) return false;
    const TpolyColorValue& v = c->values()[uint32_t(c->getIndex(offset))];
    out[0] = v.r;
    out[1] = v.g;
    out[2] = v.b;
    out[3] = v.a;
    return true;
}

bool TpolyGeom::haveTransparentColor(uint32_t s) const {
    const TpolyColor* c = setAt(std::as_const(*fColors), s);
    if (!c) return false;
    for (uint32_t k = 0; k < c->nbIndex(); ++k)
        if (c->hasValidIndexAt(k) && c->values()[uint32_t(c->getIndex(k))].a != 1.0f) return true;
    return false;
}

uint32_t TpolyGeom::removeUnusedColors(uint32_t s) {
    uint32_t removed = 0;
    editSet(*this, *fColors, s, [&](TpolyColor& c) { return (removed = c.removeUnusedData()) != 0; });
    return removed;
}

// --- Colour ids ------------------------------------------------------------------------------------

bool TpolyGeom::colorIndexBuffer(uint32_t n, uint32_t s) { return reserveIds(*fColors, n, s, faceDescLength()); }

bool TpolyGeom::hasColorAtOffset(uint32_t offset, uint32_t s) const {
    const TpolyColor* c = setAt(std::as_const(*fColors), s);
    return c && c->hasIndexAt(offset);
}
bool TpolyGeom::hasColorAtOffset(uint32_t offset) const { return fColors->isMappedAtOffset(offset); }
bool TpolyGeom::hasColor(uint32_t face, uint32_t s) const { return faceHasValue(*fColors, *fTopo, face, s); }
uint32_t TpolyGeom::nbColorRef(uint32_t s) const { return idCount(*fColors, s); }

bool TpolyGeom::refColor(int32_t id, uint32_t s) { return refColor(&id, 1, s); }
bool TpolyGeom::refColor(const int32_t* ids, uint32_t n, uint32_t s) {
    return editSet(*this, *fColors, s, [&](TpolyColor& c) { return c.appendIds(ids, n); });
}

bool TpolyGeom::copyColorId(const TpolyGeom& other, uint32_t offset, uint32_t s, uint32_t otherSet) {
    return otherSet < other.nbColorSet() && refColor(other.getColorId(offset, otherSet), s);
}

bool TpolyGeom::swapColorIndex(TpolyGeom& other, uint32_t s) {
    return swapSetIds(*this, *fColors, other, *other.fColors, s);
}

int32_t TpolyGeom::getColorId(uint32_t offset, uint32_t s) const { return idAt(*fColors, offset, s); }
const int32_t* TpolyGeom::getColorIdArray(uint32_t s) const { return idArray(*fColors, s); }
int32_t* TpolyGeom::getColorIdArray(uint32_t s) { return const_cast<int32_t*>(idArray(*fColors, s)); }

bool TpolyGeom::removeColorId(uint32_t first, uint32_t count, uint32_t s) {
    return editSet(*this, *fColors, s, [&](TpolyColor& c) { return c.removeIds(first, count); });
}

bool TpolyGeom::insertColorId(uint32_t offset, int32_t id, uint32_t s) {
    return editSet(*this, *fColors, s, [&](TpolyColor& c) { return c.insertId(offset, id); });
}

bool TpolyGeom::setColorId(uint32_t offset, int32_t id, uint32_t s) {
    return editSet(*this, *fColors, s, [&](TpolyColor& c) { return c.setIdChecked(offset, id); });
}

bool TpolyGeom::makeColorInvalid(uint32_t offset, uint32_t s) { return setColorId(offset, -1, s); }

void TpolyGeom::completeColor() {
    for (TpolyColor& c : *fColors)
        if (fitIds(c, faceDescLength())) markDirty(dirtyMoved);
}

bool TpolyGeom::setColors(TpolyGrpType kind, const uint32_t* ids, uint32_t n, const TpolyColorValue* colours,
                          uint32_t s) {
    const bool faces = kind == kPolyGrpFace;
    if (!faces && kind != kPolyGrpVertex) return false;
    const uint32_t limit =
        faces ? std::min(nbFace(), faceOffsetArray().size() ? faceOffsetArray().size() - 1 : 0) : nbVertex();
    if (!std::all_of(ids, ids + n, [limit](uint32_t id) { return id < limit; })) return false;
    return editSet(*this, *fColors, s, [&](TpolyColor& c) {
        fitIds(c, faceDescLength());
        const uint32_t first = c.nbData();
        for (uint32_t k = 0; k < n; ++k) c.values().addLast(colours[k]);
        if (faces) {
            for (uint32_t k = 0; k < n; ++k)
                for (uint32_t o = faceOffset(ids[k]); o < faceOffset(ids[k] + 1); ++o)
                    c.setIndex(o, int32_t(first + k));
            return true;
        }
        // One pass over the corners with a vertex -> new colour lookup; a vertex listed twice
        // takes its last colour.
        Tint32Array colourOf;
        colourOf.create(nbVertex());
        std::fill(colourOf.begin(), colourOf.end(), TpolyBdVertexFaceBase::kNoId);
        for (uint32_t k = 0; k < n; ++k) colourOf[ids[k]] = int32_t(first + k);
        const uint32_t nEdge = nbEdge();
        for (uint32_t o = 0; o < faceDescLength(); ++o) {
            if (getEdge(o) >= nEdge) continue;
            const uint32_t v = getStartVertex(o);
            if (v < colourOf.size() && colourOf[v] != TpolyBdVertexFaceBase::kNoId) c.setIndex(o, colourOf[v]);
        }
        return true;
    });
}

bool TpolyGeom::getFaceColor(uint32_t face, TpolyColorValue& out, uint32_t s) const {
    const TpolyColor* c = setAt(std::as_const(*fColors), s);
    if (!c || face >= nbFace() || face + 1 >= faceOffsetArray().size()) return false;
    double sum[4] = {0, 0, 0, 0};
    uint32_t count = 0;
    for (uint32_t o = faceOffset(face); o < faceOffset(face + 1); ++o) {
        if (!c->hasValidIndexAt(o)) continue;
        const TpolyColorValue& v = c->values()[uint32_t(c->getIndex(o))];
        sum[0] += v.r;
        sum[1] += v.g;
        sum[2] += v.b;
        sum[3] += v.a;
        ++count;
    }
    if (count == 0) return false;
    out = {float(sum[0] / count), float(sum[1] / count), float(sum[2] / count), float(sum[3] / count)};
    return true;
}

void TpolyGeom::setColorStructure(TpolyColorArrayShared* colors) {
    if (!colors || colors == fColors) return;
    takeRef(colors);
    dropRef(fColors);
    fColors = colors;
    markDirty(dirtyMoved);
}
