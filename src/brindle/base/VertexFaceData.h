#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <type_traits>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/PolyIOArray.h"
#include "brindle/base/Shared.h"
#include "brindle/base/String.h"

class TdebugOutput;

// A named per-face-corner data set: the name and one id per face corner (-1 = no value at that
// corner). UV sets and colour sets both build on it; each kind supplies its value operations, so
// code that carries per-corner data through an edit can treat every kind of set alike.
class BRINDLE_API TpolyBdVertexFaceBase {
public:
    static constexpr int32_t kNoId = -1;

    TpolyBdVertexFaceBase() = default;
    virtual ~TpolyBdVertexFaceBase() = default;
    TpolyBdVertexFaceBase(const TpolyBdVertexFaceBase&) = default;
    TpolyBdVertexFaceBase& operator=(const TpolyBdVertexFaceBase&) = default;

    // Value operations. Values are addressed by value index, ids by corner offset. Removing values
    // keeps every other corner on its value: ids past the removed run shift down and ids into it
    // become -1.
    virtual void dataBuffer(uint32_t n) = 0;
    // Drops the values and unmaps every corner; the id array keeps its length.
    virtual void resetData() = 0;
    // Drops the values and the ids.
    virtual void clearData() = 0;
    virtual uint32_t nbData() const = 0;
    // Exchange or copy values and ids with a set of the same kind; a set of another kind is ignored.
    virtual void swapData(TpolyBdVertexFaceBase& other) = 0;
    virtual void copyData(const TpolyBdVertexFaceBase& other) = 0;
    // Replaces the values by the first count values of other (fewer when it has fewer); ids untouched.
    virtual void copyData(const TpolyBdVertexFaceBase& other, uint32_t count) = 0;
    // The value is given as the kind's floats; answers its index.
    virtual uint32_t appendData(const float* value) = 0;
    virtual void removeData(uint32_t first, uint32_t count) = 0;
    virtual void removeLastData(uint32_t count) = 0;
    virtual void setData(uint32_t index, const float* value) = 0;
    virtual float* data(uint32_t index) = 0;
    virtual const float* dataConst(uint32_t index) const = 0;
    // Unmaps one corner (an offset beyond the id array is ignored).
    virtual void resetDataAtOffset(uint32_t offset) = 0;
    // Accumulates into a value and divides it by a weight: together they average values.
    virtual void addData(uint32_t index, const float* value) = 0;
    virtual void normalizeData(uint32_t index, float weight) = 0;

    void setName(const Tstring& name) { fName = name; }
    const Tstring& getName() const { return fName; }
    bool matchesName(std::string_view name) const { return fName == name; }

    // One entry per corner, all set to no value.
    void createIndexArray(uint32_t count) {
        fIds.create(count);
        for (int32_t& id : fIds) id = kNoId;
    }
    int32_t getIndex(uint32_t corner) const { return fIds[corner]; }
    void setIndex(uint32_t corner, int32_t id) { fIds[corner] = id; }
    uint32_t nbIndex() const { return fIds.size(); }
    // True when the corner has a value; a corner beyond the id array has none.
    bool hasIndexAt(uint32_t corner) const { return corner < fIds.size() && fIds[corner] != kNoId; }
    Tint32Array& indexArray() { return fIds; }
    const Tint32Array& indexArray() const { return fIds; }

    // Checked id edits: each refuses, changing nothing, a corner out of range or an id that is
    // neither kNoId nor below the value count, so that no corner ever points past the values.
    bool acceptsId(int32_t id) const { return acceptsIds(&id, 1); }
    bool setIdChecked(uint32_t corner, int32_t id) {
        if (corner >= fIds.size() || !acceptsId(id)) return false;
        fIds[corner] = id;
        return true;
    }
    bool insertId(uint32_t corner, int32_t id) {
        if (corner > fIds.size() || !acceptsId(id)) return false;
        fIds.insertElement(corner, id);
        return true;
    }
    bool acceptsIds(const int32_t* ids, uint32_t n) const {
        const uint32_t values = nbData();
        return std::all_of(ids, ids + n,
                           [values](int32_t id) { return id == kNoId || (id >= 0 && uint32_t(id) < values); });
    }
    bool appendIds(const int32_t* ids, uint32_t n) {
        if (!acceptsIds(ids, n)) return false;
        fIds.append(ids, n);
        return true;
    }
    // Replaces the ids by the n given ones.
    bool assignIds(const int32_t* ids, uint32_t n) {
        if (!acceptsIds(ids, n)) return false;
        fIds.changeLogicalSizeTo(n);
        std::copy(ids, ids + n, fIds.begin());
        return true;
    }
    bool removeIds(uint32_t first, uint32_t count) {
        if (first > fIds.size() || count > fIds.size() - first) return false;
        fIds.removeAt(first, count);
        return true;
    }

    // Name, id count, value count, then the ids.
    void debug(TdebugOutput& out) const;

    // Binary items: the name as an int byte count followed by its bytes padded with zeros to whole
    // words, the ids as an int array item. Readers answer null on a short chunk, and readBinary
    // also on an id that is neither -1 nor below the value count (read the values first); on null
    // nothing changed.
    TiffStatus writeName(TiffFile& file) const;
    const void* readName(const void* cursor, int& size);
    TiffStatus writeBinary(TiffFile& file) const;
    const void* readBinary(const void* cursor, int& size);

protected:
    Tstring fName;
    Tint32Array fIds;
};

// A per-corner set whose values are plain structs of floats (UV pairs, colours): the value
// operations of the base over one flat value array, written once for every kind.
template <typename V>
class TpolyVertexFaceSet : public TpolyBdVertexFaceBase {
    static_assert(std::is_trivially_copyable_v<V> && sizeof(V) % sizeof(float) == 0);

public:
    static constexpr uint32_t kFloats = sizeof(V) / sizeof(float);

    void dataBuffer(uint32_t n) override { fValues.buffer(n); }
    void resetData() override {
        fValues.clear();
        for (int32_t& id : fIds) id = kNoId;
    }
    void clearData() override {
        fValues.clear();
        fIds.clear();
    }
    uint32_t nbData() const override { return fValues.size(); }
    void swapData(TpolyBdVertexFaceBase& other) override {
        if (auto* o = dynamic_cast<TpolyVertexFaceSet*>(&other)) {
            fValues.swap(o->fValues);
            fIds.swap(o->fIds);
        }
    }
    void copyData(const TpolyBdVertexFaceBase& other) override {
        if (auto* o = dynamic_cast<const TpolyVertexFaceSet*>(&other)) {
            fValues.copy(o->fValues);
            fIds.copy(o->fIds);
        }
    }
    void copyData(const TpolyBdVertexFaceBase& other, uint32_t count) override {
        if (auto* o = dynamic_cast<const TpolyVertexFaceSet*>(&other)) {
            fValues.clear();
            fValues.append(o->fValues.data(), count < o->fValues.size() ? count : o->fValues.size());
        }
    }
    uint32_t appendData(const float* value) override {
        fValues.addLast(fromFloats(value));
        return fValues.size() - 1;
    }
    void removeData(uint32_t first, uint32_t count) override {
        if (first >= fValues.size()) return;
        if (count > fValues.size() - first) count = fValues.size() - first;
        fValues.removeAt(first, count);
        for (int32_t& id : fIds) {
            if (id == kNoId || uint32_t(id) < first) continue;
            id = uint32_t(id) < first + count ? kNoId : id - int32_t(count);
        }
    }
    void removeLastData(uint32_t count) override {
        if (count > fValues.size()) count = fValues.size();
        removeData(fValues.size() - count, count);
    }
    void setData(uint32_t index, const float* value) override { fValues[index] = fromFloats(value); }
    float* data(uint32_t index) override { return reinterpret_cast<float*>(&fValues[index]); }
    const float* dataConst(uint32_t index) const override { return reinterpret_cast<const float*>(&fValues[index]); }
    void resetDataAtOffset(uint32_t offset) override {
        if (offset < fIds.size()) fIds[offset] = kNoId;
    }
    void addData(uint32_t index, const float* value) override {
        float* v = data(index);
        for (uint32_t k = 0; k < kFloats; ++k) v[k] += value[k];
    }
    void normalizeData(uint32_t index, float weight) override {
        if (weight == 0.0f) return;
        float* v = data(index);
        for (uint32_t k = 0; k < kFloats; ++k) v[k] /= weight;
    }

    // The values as one float array item.
    TiffStatus writeValues(TiffFile& file) const { return writeArrayItem<float>(file, fValues); }
    const void* readValues(const void* cursor, int& size) { return readArrayItem<float>(cursor, size, fValues); }

    Tarray<V>& values() { return fValues; }
    const Tarray<V>& values() const { return fValues; }
    // True when the corner refers to an existing value.
    bool hasValidIndexAt(uint32_t corner) const {
        return hasIndexAt(corner) && uint32_t(fIds[corner]) < fValues.size();
    }

    // Drops every value that no corner refers to and renumbers the ids so that each corner keeps
    // its value; ids that point past the values become -1. Answers how many values were dropped.
    uint32_t removeUnusedData() {
        const uint32_t n = fValues.size();
        TuInt32Array newIndex;
        newIndex.create(n);
        for (int32_t& id : fIds) {
            if (id == kNoId) continue;
            if (uint32_t(id) >= n)
                id = kNoId;
            else
                newIndex[uint32_t(id)] = 1;
        }
        uint32_t kept = 0;
        for (uint32_t i = 0; i < n; ++i) {
            if (!newIndex[i]) continue;
            fValues[kept] = fValues[i];
            newIndex[i] = kept++;
        }
        fValues.changeLogicalSizeTo(kept);
        for (int32_t& id : fIds)
            if (id != kNoId) id = int32_t(newIndex[uint32_t(id)]);
        return n - kept;
    }

    // Gives the corner a value of its own when another corner shares its value; answers whether a
    // value was added. Out-of-range or unmapped corners are left alone.
    bool unshareAt(uint32_t corner) {
        if (!hasValidIndexAt(corner)) return false;
        const int32_t id = fIds[corner];
        for (uint32_t c = 0; c < fIds.size(); ++c) {
            if (c == corner || fIds[c] != id) continue;
            fValues.addLast(fValues[uint32_t(id)]);
            fIds[corner] = int32_t(fValues.size() - 1);
            return true;
        }
        return false;
    }

    // Gives every corner a value of its own: the first corner of each value keeps it, the others
    // get copies. Answers how many values were added.
    uint32_t unshareAll() {
        const uint32_t n = fValues.size();
        TuInt32Array seen;
        seen.create(n);
        uint32_t added = 0;
        for (int32_t& id : fIds) {
            if (id == kNoId || uint32_t(id) >= n) continue;
            if (!seen[uint32_t(id)]) {
                seen[uint32_t(id)] = 1;
                continue;
            }
            fValues.addLast(fValues[uint32_t(id)]);
            id = int32_t(fValues.size() - 1);
            ++added;
        }
        return added;
    }

    bool sameData(const TpolyVertexFaceSet& o) const { return fIds == o.fIds && fValues == o.fValues; }
    void pack() {
        fIds.pack();
        fValues.pack();
    }

protected:
    static V fromFloats(const float* value) {
        V v;
        std::memcpy(static_cast<void*>(&v), value, sizeof(V));
        return v;
    }

    Tarray<V> fValues{256};
};

// Writes into name a name no set in the collection has: an empty name starts from emptyBase
// followed by 1; a given name is tried as it is, then followed by 2, 3, ... . exists(candidate)
// answers whether a set already uses the candidate.
BRINDLE_API void makeUniqueSetName(Tstring& name, std::string_view emptyBase,
                                   const std::function<bool(std::string_view)>& exists);

// The named per-corner sets of one kind of a record, reference counted so that records can share
// them, with the current set index. The current index always names an existing set or is the
// value a new collection starts with (kinds differ: UV sets start with none, colour sets with 0).
template <typename S>
class TpolySetArray {
public:
    TmtRefCounter fRefs;

    explicit TpolySetArray(int32_t initialCurrent) : fInitialCurrent(initialCurrent), fCurrent(initialCurrent) {}

    uint32_t nbSet() const { return fSets.size(); }
    S& operator[](uint32_t id) { return fSets[id]; }
    const S& operator[](uint32_t id) const { return fSets[id]; }
    S* begin() { return fSets.begin(); }
    S* end() { return fSets.end(); }
    const S* begin() const { return fSets.begin(); }
    const S* end() const { return fSets.end(); }
    void buffer(uint32_t n) { fSets.buffer(n); }

    // Appends a set with the given name and answers its id; it becomes current when no set was.
    uint32_t add(const Tstring& name) {
        fSets.addLast(S());
        fSets.last().setName(name);
        if (!validCurrent()) fCurrent = int32_t(fSets.size() - 1);
        return fSets.size() - 1;
    }
    // Finds a set by name; false when there is none (an empty name finds nothing).
    bool find(std::string_view name, uint32_t& id) const {
        if (name.empty()) return false;
        for (uint32_t i = 0; i < fSets.size(); ++i)
            if (fSets[i].matchesName(name)) {
                id = i;
                return true;
            }
        return false;
    }
    // Copies a set's name into text; false for a set that does not exist.
    bool name(Tstring& text, uint32_t id) const {
        if (id >= fSets.size()) return false;
        text = fSets[id].getName();
        return true;
    }
    // Renames a set; with uniqueName the name is first made unique among the other sets and the
    // result written back.
    bool setName(uint32_t id, Tstring& name, bool uniqueName, std::string_view emptyBase) {
        if (id >= fSets.size()) return false;
        if (uniqueName) makeUniqueName(name, emptyBase, id);
        fSets[id].setName(name);
        return true;
    }
    // Makes name unique among the sets, ignoring the set skip (all ones: none ignored).
    void makeUniqueName(Tstring& name, std::string_view emptyBase, uint32_t skip = ~0u) const {
        makeUniqueSetName(name, emptyBase, [&](std::string_view candidate) {
            for (uint32_t i = 0; i < fSets.size(); ++i)
                if (i != skip && fSets[i].matchesName(candidate)) return true;
            return false;
        });
    }
    // Removes a set. The current set keeps pointing at the same set; when it is the one removed,
    // the first remaining set becomes current (or the initial value when none remains).
    bool remove(uint32_t id) {
        if (id >= fSets.size()) return false;
        fSets.removeAt(id);
        if (fCurrent >= 0 && uint32_t(fCurrent) > id)
            --fCurrent;
        else if (fCurrent >= 0 && uint32_t(fCurrent) == id)
            fCurrent = fSets.empty() ? fInitialCurrent : 0;
        return true;
    }
    // Copies the ids and values (not the name) of one set into another.
    bool copySetContents(uint32_t fromId, uint32_t toId) {
        if (fromId >= fSets.size() || toId >= fSets.size()) return false;
        if (fromId != toId) fSets[toId].copyData(fSets[fromId]);
        return true;
    }

    int32_t currentSetId() const { return fCurrent; }
    // False (current kept) for an id that names no set.
    bool setCurrentSetId(uint32_t id) {
        if (id >= fSets.size()) return false;
        fCurrent = int32_t(id);
        return true;
    }
    S* currentSet() { return validCurrent() ? &fSets[uint32_t(fCurrent)] : nullptr; }
    const S* currentSet() const { return validCurrent() ? &fSets[uint32_t(fCurrent)] : nullptr; }
    bool currentSetName(Tstring& text) const {
        if (!validCurrent()) return false;
        text = fSets[uint32_t(fCurrent)].getName();
        return true;
    }
    bool setCurrentSetName(std::string_view name) {
        uint32_t id;
        return find(name, id) && setCurrentSetId(id);
    }
    // True when some set has a value at the corner.
    bool isMappedAtOffset(uint32_t corner) const {
        for (const S& s : fSets)
            if (s.hasIndexAt(corner)) return true;
        return false;
    }
    // Deep copy of other's sets and current index; the reference count stays this object's own.
    void copy(const TpolySetArray& other) {
        if (this != &other) *this = other;
    }
    void clear() {
        fSets.clear();
        fCurrent = fInitialCurrent;
    }

protected:
    bool validCurrent() const { return fCurrent >= 0 && uint32_t(fCurrent) < fSets.size(); }

    TobjArray<S> fSets;
    int32_t fInitialCurrent;
    int32_t fCurrent;
};
