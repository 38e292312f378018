#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Shared.h"

// Tangent and binormal per face corner for one UV set; derived data, emptied whenever the record
// recomputes anything, so a non-empty set always matches the record as it stands.
class BRINDLE_API TpolyTangentSet {
public:
    uint32_t nbTang() const { return fTangents.size(); }
    void getTang(uint32_t index, T4dFltVector& values) const { values = fTangents[index]; }
    T4dFltVectorArray& tangents() { return fTangents; }
    const T4dFltVectorArray& tangents() const { return fTangents; }
    void empty() { fTangents.changeLogicalSizeTo(0); }

private:
    T4dFltVectorArray fTangents;
};

using TpolyTangentSetArray = TobjArray<TpolyTangentSet>;

// The reference-counted tangent sets of one record, one per UV set that asked for tangents.
class BRINDLE_API TpolyTangentSetArrayShared {
public:
    TmtRefCounter fRefs;

    uint32_t add() {
        fSets.addLast(TpolyTangentSet());
        return fSets.size() - 1;
    }
    uint32_t size() const { return fSets.size(); }
    TpolyTangentSet& operator[](uint32_t i) { return fSets[i]; }
    const TpolyTangentSet& operator[](uint32_t i) const { return fSets[i]; }
    // Deep copy of other's sets; the reference count stays this object's own.
    void copy(const TpolyTangentSetArrayShared& other) { fSets.copy(other.fSets); }
    void emptyAll() {
        for (TpolyTangentSet& s : fSets) s.empty();
    }
    // Drops one reference; deletes the array at the last and answers the references left.
    uint32_t unref() {
        const uint32_t left = fRefs.remove();
        if (left == 0) delete this;
        return left;
    }

private:
    TpolyTangentSetArray fSets;
};
