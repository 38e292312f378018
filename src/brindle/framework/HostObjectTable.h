#pragma once

#include <cstdint>
#include <initializer_list>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"

// The host's table of API object types as this library sees it: each API type code maps to its
// type string and to the list of codes the type is a kind of. Entries are made once, by static
// initialisation when the library loads, and only read afterwards. A code is entered at most once;
// a second registration of the same code is refused so that the first meaning stays.
class BRINDLE_API ThostObjectTable {
public:
    struct Entry {
        uint32_t code = 0;
        const char* typeString = nullptr;
        TuInt32Array kinds{8};
    };

    // False when the code is already in the table.
    static bool registerType(uint32_t code, const char* typeString, std::initializer_list<uint32_t> kinds);
    // The type string of a code, or null when it is not registered.
    static const char* typeString(uint32_t code);
    // The kind-of list of a code, or null when it is not registered.
    static const TuInt32Array* kindList(uint32_t code);
    // True when code's kind-of list holds kind (a type is always a kind of itself).
    static bool isKindOf(uint32_t code, uint32_t kind);
    // The code registered with this type string, or 0.
    static uint32_t codeOf(const char* typeString);
    static uint32_t size();

private:
    static const Entry* find(uint32_t code);
    static TobjArray<Entry>& entries();
};

// API type codes of the library's objects.
enum TapiTypeCode : uint32_t {
    kApiMesh = 293,
    kApiMeshGeom = 294,
    kApiMeshEdgeComponent = 537,
    kApiMeshPolygonComponent = 538,
    kApiMeshVertComponent = 540,
    kApiMeshVtxFaceComponent = 722,
    kApiMeshMapComponent = 786
};
