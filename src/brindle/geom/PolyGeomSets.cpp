// The record's UV and colour sets: forwarding to the shared set arrays with every set index
// checked, so that no call with a stale or all-ones index reaches past the sets. Writers keep each
// id either -1 or below its set's value count.

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
    const float pair[2] = {u, v};
    return appendUV(pair, 1, s);
}
int32_t TpolyGeom::appendUV(const float* uv, uint32_t s) { return appendUV(uv, 1, s); }
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

bool TpolyGeom::mapFaceBuffer(uint32_t n, uint32_t s) {
    TpolyMap* m = setAt(*fMaps, s);
    if (m) m->indexArray().buffer(n ? n : faceDescLength());
    return m != nullptr;
}

bool TpolyGeom::isMappedAtOffset(uint32_t offset, uint32_t s) const {
    const TpolyMap* m = setAt(std::as_const(*fMaps), s);
    return m && m->hasIndexAt(offset);
}
bool TpolyGeom::isMappedAtOffset(uint32_t offset) const { return fMaps->isMappedAtOffset(offset); }

bool TpolyGeom::isMapped(uint32_t face, uint32_t s) const {
    const TuInt32Array& offsets = fTopo->fFaceOffsets;
    return face < nbFace() && face < offsets.size() && isMappedAtOffset(offsets[face], s);
}

uint32_t TpolyGeom::nbUVRef(uint32_t s) const {
    const TpolyMap* m = setAt(std::as_const(*fMaps), s);
    return m ? m->nbIndex() : 0;
}

bool TpolyGeom::setUVId(uint32_t offset, int32_t id, uint32_t s) {
    return editSet(*this, *fMaps, s, [&](TpolyMap& m) { return m.setIdChecked(offset, id); });
}

int32_t TpolyGeom::getUVId(uint32_t offset, uint32_t s) const {
    const TpolyMap* m = setAt(std::as_const(*fMaps), s);
    return m && offset < m->nbIndex() ? m->getIndex(offset) : -1;
}

const int32_t* TpolyGeom::getUVIdArray(uint32_t s) const {
    const TpolyMap* m = setAt(std::as_const(*fMaps), s);
    return m ? m->indexArray().data() : nullptr;
}
int32_t* TpolyGeom::getUVIdArray(uint32_t s) { return const_cast<int32_t*>(std::as_const(*this).getUVIdArray(s)); }

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

bool TpolyGeom::swapUVId(TpolyGeom& other, uint32_t s) {
    TpolyMap* theirs = setAt(*other.fMaps, s);
    return theirs && editSet(*this, *fMaps, s, [&](TpolyMap& m) {
        m.indexArray().swap(theirs->indexArray());
        other.markDirty(dirtyMoved);
        return true;
    });
}

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
