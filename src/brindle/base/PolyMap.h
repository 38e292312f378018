#pragma once

#include <cstdint>
#include <string_view>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Shared.h"
#include "brindle/base/VertexFaceData.h"

// One UV set: per-corner UV ids (from the base) and the UV pairs they point at. The geometry
// record is its only writer and keeps the id array one entry per face corner.
class BRINDLE_API TpolyMap : public TpolyVertexFaceSet<T2FloatPair> {
public:
    uint32_t appendUV(float u, float v) {
        fValues.addLast({u, v});
        return fValues.size() - 1;
    }
    void appendUV(const float* pairs, uint32_t count) {
        fValues.append(reinterpret_cast<const T2FloatPair*>(pairs), count);
    }
    void setUV(uint32_t index, float u, float v) { fValues[index] = {u, v}; }
    void getUV(uint32_t index, float pair[2]) const {
        pair[0] = fValues[index].u;
        pair[1] = fValues[index].v;
    }
    float* uvFloat(uint32_t index) { return &fValues[index].u; }
    const float* uvFloat(uint32_t index) const { return &fValues[index].u; }
    uint32_t nbUV() const { return fValues.size(); }
    T2FloatArray& uvArray() { return fValues; }
    const T2FloatArray& uvArray() const { return fValues; }
    void copyUV(const TpolyMap& other) { fValues.copy(other.fValues); }
    void swapUV(TpolyMap& other) { fValues.swap(other.fValues); }
    // Drops the values and the ids.
    void clearMap() { clearData(); }
    // Keeps one id per corner but unmaps every corner and drops the values.
    void resetMap() { resetData(); }
    // Moves every UV lying within tolerance of point (in both u and v) onto it; answers how many
    // moved. Snapping never changes ids, so corners stay shared or split as they were.
    uint32_t snapToPoint(const float point[2], float tolerance);
    // Same ids and UVs within tolerance in u and v (0: exactly the same).
    bool compare(const TpolyMap& other, float tolerance = 0.0f) const;
};

using TpolyMapArray = TobjArray<TpolyMap>;

// The reference-counted array of named UV sets of one record, with the current set (-1: none).
class BRINDLE_API TpolyMapArrayShared : public TpolySetArray<TpolyMap> {
public:
    // The base of generated UV-set names: an unnamed set becomes "map1", "map2", ...
    static constexpr std::string_view kNameBase = "map";

    TpolyMapArrayShared() : TpolySetArray<TpolyMap>(-1) {}

    uint32_t nbMap() const { return nbSet(); }
    bool setName(uint32_t id, Tstring& name, bool uniqueName) {
        return TpolySetArray::setName(id, name, uniqueName, kNameBase);
    }
    void makeUniqueName(Tstring& name) const { TpolySetArray::makeUniqueName(name, kNameBase); }
    TpolyMap* currentMap() { return currentSet(); }
    const TpolyMap* currentMap() const { return currentSet(); }
    bool currentMapName(Tstring& text) const { return currentSetName(text); }
    bool setCurrentMapName(std::string_view name) { return setCurrentSetName(name); }
    int32_t currentMapSetId() const { return currentSetId(); }
    bool setCurrentMapSetId(uint32_t id) { return setCurrentSetId(id); }
    // The sets as binary items: an int set count, the current set when there is a set, then per
    // set its name, its UVs (a float array of pairs) and its per-corner ids. Reading replaces
    // every set; it answers null on a short or corrupted chunk (also a current set or an id out of
    // range), leaving the sets as they were.
    TiffStatus writeBinary(TiffFile& file) const;
    const void* readBinary(const void* cursor, int& size);
    // Drops one reference; deletes the array at the last and answers the references left.
    uint32_t unref() {
        uint32_t left = fRefs.remove();
        if (left == 0) delete this;
        return left;
    }
};
