#pragma once

#include <cstdint>
#include <string_view>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Shared.h"
#include "brindle/base/String.h"
#include "brindle/base/VertexFaceData.h"

class TdebugOutput;

// One colour value, always four floats; the set's representation says which channels mean
// something. An intensity is kept in all three colour channels, so that reading any value as RGB
// gives the colour that was meant.
struct BRINDLE_API TpolyColorValue {
    enum TpolyColorRep : int32_t { I = 1, IA = 2, RGB = 3, RGBA = 4 };
    float r = 0, g = 0, b = 0, a = 1;
    bool operator==(const TpolyColorValue&) const = default;

    // Floats one colour takes in a representation (1 to 4; 0 for an unknown representation).
    static uint32_t floatCount(TpolyColorRep rep);
    // Converts one colour given as the floats of representation from into the meaningful channels
    // of representation to: an intensity is the mean of red, green and blue; a missing alpha is
    // 1; channels the target does not use are left as a neutral value (colour 0, alpha 1).
    static TpolyColorValue copyValue(const float* in, TpolyColorRep from, TpolyColorRep to);
    // The four channels as "%12g %12g %12g %12g\n".
    void debug(TdebugOutput& out, unsigned int flags) const;
    static void debugMe(const TpolyColorValue& c, unsigned int flags);
};
using TpolyColorValueArray = Tarray<TpolyColorValue>;
// The host's colour is the same four floats.
using TportColor = TpolyColorValue;
using TportColorArray = TpolyColorValueArray;

// One colour set: per-corner colour ids (from the base), the values they point at and the
// representation, RGBA and unnamed when new.
class BRINDLE_API TpolyColor : public TpolyVertexFaceSet<TpolyColorValue> {
public:
    TpolyColorValue::TpolyColorRep representation() const { return fRep; }
    void setRepresentation(TpolyColorValue::TpolyColorRep rep) { fRep = rep; }
    bool compare(const TpolyColor& o) const { return sameData(o) && fRep == o.fRep; }
    // Copy or exchange values, ids and representation with another colour set.
    void copyData(const TpolyBdVertexFaceBase& other) override;
    using TpolyVertexFaceSet<TpolyColorValue>::copyData;
    void swapData(TpolyBdVertexFaceBase& other) override;
    // Name, representation, colours (four floats each) and per-corner ids as binary items. The
    // name is read only from files that have one (TglobalTranslatorBase), or only when named;
    // null on a short chunk, an unknown representation or a bad id.
    TiffStatus writeBinary(TiffFile& file) const;
    const void* readBinary(const void* cursor, int& size);
    const void* readBinary(const void* cursor, int& size, bool named);
    // Comment block with representation, name and sizes; flag 0x1000 the colours, 0x2000 the ids.
    void debug(TdebugOutput& out, unsigned int flags) const;
    static void debugMe(const TpolyColor& c, unsigned int flags);

private:
    TpolyColorValue::TpolyColorRep fRep = TpolyColorValue::RGBA;
};

// The process-wide base of generated colour-set names, "colorSet".
BRINDLE_API const Tstring& colorSetNameBase();

// The reference-counted colour sets of one record, with the current set index (0 in a new record).
class BRINDLE_API TpolyColorArrayShared : public TpolySetArray<TpolyColor> {
public:
    TpolyColorArrayShared() : TpolySetArray<TpolyColor>(0) {}

    bool setName(uint32_t id, Tstring& name, bool uniqueName) {
        return TpolySetArray::setName(id, name, uniqueName, colorSetNameBase());
    }
    void makeUniqueName(Tstring& name) const { TpolySetArray::makeUniqueName(name, colorSetNameBase()); }
};
