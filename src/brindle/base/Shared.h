#pragma once

#include <cstdint>

#include "brindle/base/Export.h"

// Plain (non-atomic) reference count: objects that carry one are used by one thread at a time.
// Copying an object that holds a counter gives the copy a fresh count of 1: a deep copy is a new
// object with a single owner, never a share.
class TmtRefCounter {
public:
    TmtRefCounter() = default;
    TmtRefCounter(const TmtRefCounter&) {}
    TmtRefCounter& operator=(const TmtRefCounter&) { return *this; }

    uint32_t add() { return ++fCount; }
    // Returns the count that remains.
    uint32_t remove() { return --fCount; }
    uint32_t count() const { return fCount; }
    void set(uint32_t n) { fCount = n; }

private:
    uint32_t fCount = 1;
};

// Base of heap objects shared by counting; the creator holds the first reference and `unref`
// deletes the object when the last one goes.
class BRINDLE_API TsharedObject {
public:
    TsharedObject() = default;
    TsharedObject(const TsharedObject&) = default;
    TsharedObject& operator=(const TsharedObject&) = default;
    virtual ~TsharedObject() = default;

    void ref() { fRefs.add(); }
    // Returns the remaining count; the object is gone when it returns 0.
    uint32_t unref() {
        uint32_t left = fRefs.remove();
        if (left == 0) delete this;
        return left;
    }
    uint32_t refCount() const { return fRefs.count(); }

private:
    TmtRefCounter fRefs;
};

// Reference handling for counted components: any type with a TmtRefCounter member `fRefs`.
template <typename T>
T* takeRef(T* component) {
    component->fRefs.add();
    return component;
}

template <typename T>
void dropRef(T*& component) {
    if (component && component->fRefs.remove() == 0) delete component;
    component = nullptr;
}
