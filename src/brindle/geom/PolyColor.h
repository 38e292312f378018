#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Shared.h"
#include "brindle/base/VertexFaceData.h"

// One colour value, always four floats; the set's representation says which channels mean
// something.
struct TpolyColorValue {
    enum TpolyColorRep : int32_t { I = 1, IA = 2, RGB = 3, RGBA = 4 };
    float r = 0, g = 0, b = 0, a = 1;
    bool operator==(const TpolyColorValue&) const = default;
};
using TpolyColorValueArray = Tarray<TpolyColorValue>;

// One colour set: per-corner colour ids (from the base) and the values they point at.
class BRINDLE_API TpolyColor : public TpolyBdVertexFaceBase {
public:
    TpolyColorValueArray fValues{256};
    TpolyColorValue::TpolyColorRep fRep = TpolyColorValue::RGBA;

    bool compare(const TpolyColor& o) const { return fIds == o.fIds && fValues == o.fValues && fRep == o.fRep; }
    void pack() {
        fIds.pack();
        fValues.pack();
    }
};

// The reference-counted colour sets of one record, with the current set index (0 in a new record).
class BRINDLE_API TpolyColorArrayShared {
public:
    TmtRefCounter fRefs;
    TobjArray<TpolyColor> fSets;
    int32_t fCurrent = 0;
};
