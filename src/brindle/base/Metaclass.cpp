#include "brindle/base/Metaclass.h"

#include <cstring>

// A function-local registry is constructed on first use, so registrations from other static
// initialisers never run before it exists.
std::vector<const Tmetaclass*>& Tmetaclass::registry() {
    static std::vector<const Tmetaclass*> classes;
    return classes;
}

Tmetaclass::Tmetaclass(const char* name, uint32_t instanceSize, ConstructFn construct, uint32_t tag,
                       const Tmetaclass* parent)
    : fName(name), fSize(instanceSize), fConstruct(construct), fTag(tag), fParent(parent) {
    registry().push_back(this);
}

bool Tmetaclass::istype(const Tmetaclass* cls) const {
    for (const Tmetaclass* c = this; c; c = c->fParent)
        if (c == cls) return true;
    return false;
}

const Tmetaclass* Tmetaclass::findByName(const char* name) {
    for (const Tmetaclass* c : registry())
        if (std::strcmp(c->fName, name) == 0) return c;
    return nullptr;
}

const Tmetaclass* Tmetaclass::findByTag(uint32_t tag) {
    if (tag == 0) return nullptr;
    for (const Tmetaclass* c : registry())
        if (c->fTag == tag) return c;
    return nullptr;
}
