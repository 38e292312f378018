#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brindle/base/Array.h"
#include "brindle/base/BitField.h"
#include "brindle/base/Component.h"
#include "brindle/base/Export.h"

// A run of consecutive ids, first <= last.
struct TidRun {
    uint32_t first;
    uint32_t last;
};

// A sorted set of single 32-bit ids (below 2^30), stored as one flat array of entries: a lone id
// is one entry; a run of two or more consecutive ids is two entries, the first id with the block
// bit (bit 30) and the last id. Invariants: runs are increasing, never overlap and never touch
// (a gap of at least one id separates two runs), so the form is canonical and equal sets have
// equal entries. Bit 31 of the last entry is the end mark (`markEnd`); every edit drops it.
// Adding ids in increasing order appends or extends the last run in amortised O(1); set
// operations are single merges over the runs.
class BRINDLE_API TsingleIndexedComponent : public Tcomponent {
public:
    static constexpr uint32_t kIdMask = 0x3FFFFFFFu;
    static constexpr uint32_t kBlockFlag = 0x40000000u;
    static constexpr uint32_t kEndFlag = 0x80000000u;
    static constexpr uint32_t kNoId = 0xFFFFFFFFu;

    class Iterator;

    TsingleIndexedComponent() = default;

    Tcomponent* newEmpty() const override;
    bool copyData(const Tcomponent& other) override;
    uint32_t elementCount() const override { return fCount; }
    void clear() override;
    bool isEqual(const Tcomponent& other) const override;
    bool merge(const Tcomponent& other) override;
    bool intersection(const Tcomponent& other) override;
    bool difference(const Tcomponent& other) override;
    bool intersects(const Tcomponent& other) const override;
    Tcomponent* extractSingle(uint32_t i) const override;
    // The runs, space separated ("3 5:9 12"), then a new line.
    void debug(TdebugOutput& out) const override;

    // Both answer false, changing nothing, when the id is above kIdMask or already present.
    bool addElement(uint32_t id);
    // Adds first..last (inclusive); ignored when first > last or last is above kIdMask.
    void addRange(uint32_t first, uint32_t last);
    // False when the id is not in the set.
    bool removeElement(uint32_t id);
    void removeRange(uint32_t first, uint32_t last);
    bool hasElement(uint32_t id) const;
    // The i-th smallest id, kNoId when i is out of range. Constant time when the set holds no run;
    // otherwise walking i upwards costs amortised O(1) per call.
    uint32_t element(uint32_t i) const;
    // The largest id, kNoId when empty.
    uint32_t elementMax() const;
    // Replaces the set by the ids of the set bits.
    void convertFromFlags(const TbitFieldFixedN& bits);
    // Clears bits and sets the bit of every id; ids at or beyond bits.size() are left out.
    void convert2Flags(TbitFieldFixedN& bits) const;
    // One string per entry run (see generateRangeString).
    void generateStrings(const char* prefix, std::vector<std::string>& strings) const;

    // The raw entries, flags included.
    uint32_t entryCount() const { return fEntries.size(); }
    uint32_t entry(uint32_t i) const { return fEntries[i]; }
    // Sets the end mark on the last entry (nothing on an empty set).
    void markEnd();
    // Lone ids and runs together.
    uint32_t nbRun() const { return fEntries.size() - fRuns; }

    Iterator begin() const;
    Iterator end() const;

private:
    void dropEndMark();
    void resetCursor() const { fCursorEntry = fCursorBase = 0; }
    // Replaces entries [from, to) by the encodings of the given runs (at most two).
    void splice(uint32_t from, uint32_t to, const TidRun* runs, uint32_t nbRuns);
    // Index of the entry opening the first run whose last id is >= id (entry count when none).
    uint32_t findRunEnding(uint32_t id) const;
    // Reads the run opening at entry k, answers the entry after it.
    uint32_t runAt(uint32_t k, TidRun& run) const;

    template <typename Combine>
    bool combine(const Tcomponent& other, Combine&& fn);

    TuInt32Array fEntries;
    uint32_t fCount = 0;  // ids in the set
    uint32_t fRuns = 0;   // runs of two or more ids (each two entries)
    // Cache of `element`: the entry opening a run and how many ids precede that run.
    mutable uint32_t fCursorEntry = 0;
    mutable uint32_t fCursorBase = 0;
};

// Walks the ids of a single-indexed list in increasing order. The list must not change meanwhile.
class BRINDLE_API TsingleIndexedComponent::Iterator {
public:
    Iterator() = default;
    Iterator(const uint32_t* entry, const uint32_t* end) : fEntry(entry), fEnd(end) { load(); }

    bool isDone() const { return fEntry == fEnd; }
    uint32_t index() const { return fId; }
    void next() {
        if (fId < fLast)
            ++fId;
        else {
            fEntry += fStep;
            load();
        }
    }

    uint32_t operator*() const { return fId; }
    Iterator& operator++() {
        next();
        return *this;
    }
    bool operator==(const Iterator& o) const { return fEntry == o.fEntry && (isDone() || fId == o.fId); }

private:
    void load() {
        if (fEntry == fEnd) return;
        fId = fEntry[0] & kIdMask;
        bool block = (fEntry[0] & kBlockFlag) != 0;
        fLast = block ? (fEntry[1] & kIdMask) : fId;
        fStep = block ? 2 : 1;
    }

    const uint32_t* fEntry = nullptr;
    const uint32_t* fEnd = nullptr;
    uint32_t fId = 0;
    uint32_t fLast = 0;
    uint32_t fStep = 1;
};

using TsingleIndexedComponentIterator = TsingleIndexedComponent::Iterator;
