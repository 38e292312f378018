#pragma once

#include <cstdint>

#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/base/Metaclass.h"
#include "brindle/geom/PolyTypes.h"

class TmidBody;
class TmidComponent;
class TpolyGeom;

// Base of every modifier operation. The host configures a factory and calls doAction, which runs
// the preparation, the operation's own action, and on success (when the factory asks for it) drops
// the record's current groups. An action answers 0 on success and -1 when it refuses; a refusing
// action leaves the record and its groups exactly as they were. A factory keeps no state between
// two doAction calls beyond its parameters.
class BRINDLE_API TmidModifierFty {
public:
    TmidModifierFty() = default;
    TmidModifierFty(const TmidModifierFty&) = default;
    TmidModifierFty& operator=(const TmidModifierFty&) = default;
    virtual ~TmidModifierFty() = default;

    // Class identity through the registry: every modifier class registers a metaclass under this
    // abstract root whose construction function answers a new TmidModifierFty* (as void*).
    static const Tmetaclass sMetaclass;
    virtual const Tmetaclass* typeof() const { return &sMetaclass; }

    // Preparation, action, then the clean-up of the current groups after a success. Exceptions
    // from the first two pass through unchanged and skip the clean-up.
    virtual int doAction(TmidBody* body, TmidComponent* components);

    void setReusableTriangles(bool v) { setFlag(kReusableTriangles, v); }
    bool reusableTriangles() const { return (fFlags & kReusableTriangles) != 0; }

    // Makes the list the record's current group of kind (name -1), creating that group when it is
    // missing, and answers true; false when the list holds another kind. Without a list, true only
    // when a current group of that kind exists and has a non-empty member list.
    static bool getActiveGrpName(TmidBody* body, TmidComponent* components, TpolyGrpType kind, int& name);

    // The record's face-to-UV conversion run on the UV set uvSet (taken only when it exists); the
    // record's current UV set is restored afterwards.
    static void convertFace2UV(TpolyGeom* geom, const TbitFieldFixedN& faceBits, TbitFieldFixedN& uvBits,
                               int convertMode, uint32_t uvSet);
    static int convertFace2UV(TpolyGeom* geom, int first, int second, int convertMode, uint32_t uvSet);

protected:
    // Without a reusable-triangles promise from the factory, the record must not keep its
    // triangles across the edit.
    virtual void prepareForAction(const TmidBody* body);
    virtual int action(TmidBody* body, TmidComponent* components) = 0;

    void setShouldClearCurrGroups(bool v) { setFlag(kShouldClearCurrGroups, v); }
    bool shouldClearCurrGroups() const { return (fFlags & kShouldClearCurrGroups) != 0; }

private:
    enum : uint8_t { kShouldClearCurrGroups = 0x01, kReusableTriangles = 0x02 };
    void setFlag(uint8_t bit, bool v) { fFlags = v ? uint8_t(fFlags | bit) : uint8_t(fFlags & ~bit); }
    static void removeCurrentGroups(TpolyGeom* geom);

    uint8_t fFlags = 0;
};

// Declares a modifier class's registry identity; the source defines it with
// BRINDLE_DEFINE_MODIFIER_CLASS(Class, Parent).
#define BRINDLE_MODIFIER_CLASS()        \
public:                                 \
    static const Tmetaclass sMetaclass; \
    const Tmetaclass* typeof() const override { return &sMetaclass; }

template <typename T>
void* constructModifierFty() {
    return static_cast<TmidModifierFty*>(new T);
}
#define BRINDLE_DEFINE_MODIFIER_CLASS(Class, Parent) \
    const Tmetaclass Class::sMetaclass(#Class, sizeof(Class), &constructModifierFty<Class>, 0, &Parent::sMetaclass)
