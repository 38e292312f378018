#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/String.h"

// A named per-face-corner data set: the name and one id per face corner (-1 = no value at that
// corner). UV sets and colour sets both build on it; they add their own value arrays.
class BRINDLE_API TpolyBdVertexFaceBase {
public:
    static constexpr int32_t kNoId = -1;

    TpolyBdVertexFaceBase() = default;
    virtual ~TpolyBdVertexFaceBase() = default;
    TpolyBdVertexFaceBase(const TpolyBdVertexFaceBase&) = default;
    TpolyBdVertexFaceBase& operator=(const TpolyBdVertexFaceBase&) = default;

    void setName(const Tstring& name) { fName = name; }
    const Tstring& getName() const { return fName; }
    bool matchesName(const char* name) const { return fName == name; }

    // One entry per corner, all set to no value.
    void createIndexArray(uint32_t count) {
        fIds.create(count);
        for (int32_t& id : fIds) id = kNoId;
    }
    int32_t getIndex(uint32_t corner) const { return fIds[corner]; }
    void setIndex(uint32_t corner, int32_t id) { fIds[corner] = id; }
    uint32_t nbIndex() const { return fIds.size(); }
    Tint32Array& indexArray() { return fIds; }
    const Tint32Array& indexArray() const { return fIds; }

protected:
    Tstring fName;
    Tint32Array fIds;
};
