#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Math.h"
#include "brindle/base/Shared.h"

// Tangent and binormal per face corner for one UV set; derived data, emptied whenever the record
// recomputes anything.
class TpolyTangentSet {
public:
    uint32_t nbTang() const { return fTangents.size(); }
    void getTang(uint32_t index, T4dFltVector& values) const { values = fTangents[index]; }
    T4dFltVectorArray& tangents() { return fTangents; }
    void empty() { fTangents.changeLogicalSizeTo(0); }

private:
    T4dFltVectorArray fTangents;
};

using TpolyTangentSetArray = TobjArray<TpolyTangentSet>;

// The reference-counted tangent sets of one record.
class TpolyTangentSetArrayShared {
public:
    TmtRefCounter fRefs;

    uint32_t add() {
        fSets.addLast(TpolyTangentSet());
        return fSets.size() - 1;
    }
    uint32_t size() const { return fSets.size(); }
    TpolyTangentSet& operator[](uint32_t i) { return fSets[i]; }
    void emptyAll() {
        for (TpolyTangentSet& s : fSets) s.empty();
    }

private:
    TpolyTangentSetArray fSets;
};
