#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Shared.h"
#include "brindle/base/VertexFaceData.h"

// One UV set: per-corner UV ids (from the base) and the UV value pairs they point at.
class BRINDLE_API TpolyMap : public TpolyBdVertexFaceBase {
public:
    uint32_t appendUV(float u, float v) {
        fUVs.addLast({u, v});
        return fUVs.size() - 1;
    }
    void appendUV(const float* pairs, uint32_t count) {
        fUVs.append(reinterpret_cast<const T2FloatPair*>(pairs), count);
    }
    void setUV(uint32_t index, float u, float v) { fUVs[index] = {u, v}; }
    void getUV(uint32_t index, float pair[2]) const {
        pair[0] = fUVs[index].u;
        pair[1] = fUVs[index].v;
    }
    const float* uvFloat(uint32_t index) const { return &fUVs[index].u; }
    uint32_t nbUV() const { return fUVs.size(); }
    T2FloatArray& uvArray() { return fUVs; }
    const T2FloatArray& uvArray() const { return fUVs; }
    void copyUV(const TpolyMap& other) { fUVs.copy(other.fUVs); }
    void swapUV(TpolyMap& other) { fUVs.swap(other.fUVs); }
    // Drops the values and the ids.
    void clearMap() {
        fUVs.clear();
        fIds.clear();
    }
    // Keeps one id per corner but unmaps every corner and drops the values.
    void resetMap() {
        fUVs.clear();
        for (int32_t& id : fIds) id = kNoId;
    }
    // Same ids and values.
    bool compare(const TpolyMap& other) const { return fIds == other.fIds && fUVs == other.fUVs; }
    void pack() {
        fIds.pack();
        fUVs.pack();
    }

private:
    T2FloatArray fUVs;
};

// The reference-counted array of named UV sets of one record, with the current set (-1 = none).
class BRINDLE_API TpolyMapArrayShared {
public:
    TmtRefCounter fRefs;

    uint32_t nbMap() const { return fMaps.size(); }
    TpolyMap& operator[](uint32_t id) { return fMaps[id]; }
    const TpolyMap& operator[](uint32_t id) const { return fMaps[id]; }
    // Appends a set with the given name and returns its id.
    uint32_t add(const Tstring& name) {
        fMaps.addLast(TpolyMap());
        fMaps.last().setName(name);
        return fMaps.size() - 1;
    }
    // Finds a set by name; false when there is none.
    bool find(const char* name, uint32_t& id) const {
        for (uint32_t i = 0; i < fMaps.size(); ++i)
            if (fMaps[i].matchesName(name)) { id = i; return true; }
        return false;
    }
    int32_t currentMapSetId() const { return fCurrent; }
    void setCurrentMapSetId(int32_t id) { fCurrent = id; }
    TpolyMap* currentMap() { return fCurrent >= 0 && uint32_t(fCurrent) < fMaps.size() ? &fMaps[uint32_t(fCurrent)] : nullptr; }
    void clear() {
        fMaps.clear();
        fCurrent = -1;
    }

private:
    TobjArray<TpolyMap> fMaps;
    int32_t fCurrent = -1;
};
