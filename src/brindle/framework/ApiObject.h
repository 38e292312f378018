#pragma once

#include <cstdint>

#include "brindle/base/Export.h"

// Base of every object the host reaches through its API (bodies, component lists): a reference
// count the host drives, and two opaque slots the host may hang its own data on. The slots are
// never read by the library. A new object holds one reference, its creator's; the object deletes
// itself when apiUnreference drops the last one.
class BRINDLE_API TapiObject {
public:
    TapiObject() = default;
    // A copy is a new object: it starts with its own single reference and empty host slots.
    TapiObject(const TapiObject&) {}
    TapiObject& operator=(const TapiObject&) { return *this; }

    virtual uint32_t apiType() const = 0;
    virtual void apiReference() { ++fApiRefs; }
    // Answers the references left; at 0 the object is gone.
    virtual uint32_t apiUnreference();
    virtual bool apiHasReferenceCounting() const { return true; }
    virtual const char* apiTypeString() const = 0;
    virtual void* apiUserObject() const { return fUserObject; }
    virtual void setApiUserObject(void* object) { fUserObject = object; }
    virtual void* pluginNodeInfo() const { return fPluginNodeInfo; }
    virtual void setPluginNodeInfo(void* info) { fPluginNodeInfo = info; }
    // Drops the host's slots; the object itself stays.
    virtual void clearInstance();

    uint32_t apiReferenceCount() const { return fApiRefs; }

    virtual ~TapiObject() = default;

private:
    uint32_t fApiRefs = 1;
    void* fUserObject = nullptr;
    void* fPluginNodeInfo = nullptr;
};
