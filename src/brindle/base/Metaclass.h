#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/Export.h"

// Class registry entry: one static instance per registered class, made at load time. The parent
// chain answers kind-of questions; `construct` makes a default instance through the class's own
// construction function. Registered classes are looked up by name or by four-character tag.
class BRINDLE_API Tmetaclass {
public:
    using ConstructFn = void* (*)();

    Tmetaclass(const char* name, uint32_t instanceSize, ConstructFn construct, uint32_t tag, const Tmetaclass* parent);
    Tmetaclass(const Tmetaclass&) = delete;
    Tmetaclass& operator=(const Tmetaclass&) = delete;

    const char* name() const { return fName; }
    uint32_t instanceSize() const { return fSize; }
    uint32_t tag() const { return fTag; }
    const Tmetaclass* parent() const { return fParent; }
    // True when this class is cls or derives from it.
    bool istype(const Tmetaclass* cls) const;
    // A new default instance, or null for an abstract class.
    void* construct() const { return fConstruct ? fConstruct() : nullptr; }

    static const Tmetaclass* findByName(const char* name);
    static const Tmetaclass* findByTag(uint32_t tag);

private:
    static std::vector<const Tmetaclass*>& registry();

    const char* fName;
    uint32_t fSize;
    ConstructFn fConstruct;
    uint32_t fTag;
    const Tmetaclass* fParent;
};
