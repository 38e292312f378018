#pragma once

#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/base/Metaclass.h"
#include "brindle/framework/MidBody.h"

// Roots of the parameter-carrying factories and of the mesh actions; no data.
class BRINDLE_API TmeshFriend {
public:
    virtual ~TmeshFriend() = default;
};

class BRINDLE_API TmeshFactory : public TmeshFriend {};

// A factory carrying three shared parameters, with copy, compare and clone through the class
// registry. The parameter map says which values a copy or comparison carries: bit 0 all of them
// (mapAll), bit 1 triangulate, bit 2 relative; the values sit in bits 0 (triangulate) and 1
// (relative) of the value field. A new factory carries everything, with both values false.
class BRINDLE_API TmeshDgFty : public TmeshFactory {
public:
    static const Tmetaclass sMetaclass;

    TmeshDgFty();
    TmeshDgFty(const TmeshDgFty&) = default;
    TmeshDgFty& operator=(const TmeshDgFty&) = default;

    virtual const Tmetaclass* typeof() const { return &sMetaclass; }
    // This factory for its own metaclass, else null.
    virtual void* cast(const Tmetaclass* mc);
    virtual void setMapAll(bool v) { fMap.setBit(kMapAll, v); }
    virtual void setTriangulate(bool v) { fValues.setBit(kTriangulateValue, v); }
    virtual void setRelative(bool v) { fValues.setBit(kRelativeValue, v); }
    // Compares the values other carries (all of them when useMap is false).
    virtual bool equivalent(const TmeshDgFty& other, bool useMap) const;

    const TbitField32& parameterMap() const { return fMap; }
    TbitField32& parameterMap() { return fMap; }
    void setParameterMap(TbitField32 map) { fMap = map; }
    bool mapAll() const { return fMap.testBit(kMapAll); }
    bool triangulate() const { return fValues.testBit(kTriangulateValue); }
    bool relative() const { return fValues.testBit(kRelativeValue); }

    // False when other is this factory; else copyData.
    bool copy(const TmeshDgFty& other, bool useMap);
    // A new factory of this one's own class with this one's values, owned by the caller; null
    // when the class cannot be constructed as a factory.
    TmeshDgFty* clone() const;
    // Exchanges the values with a factory of the same class; anything else is left alone.
    void swapWith(TmeshDgFty* other, bool useMap);

    static TmeshDgFty* construct(const Tmetaclass* mc);

protected:
    // Copies the values other carries; true when any of them changed.
    virtual bool copyData(const TmeshDgFty& other, bool useMap);

private:
    enum : uint32_t { kMapAll = 0, kCarriesTriangulate = 1, kCarriesRelative = 2 };
    enum : uint32_t { kTriangulateValue = 0, kRelativeValue = 1 };

    TbitField32 fMap;
    TbitField32 fValues;
};

using TmeshDgFtyPtrArray = TptrArray<TmeshDgFty>;

// Records whether an action changed the mesh.
class BRINDLE_API TmeshAction : public TmeshFriend {
public:
    bool meshChanged() const { return fMeshChanged; }
    void setMeshChanged(const bool& v) { fMeshChanged = v; }

private:
    bool fMeshChanged = false;
};
