#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brindle/base/Export.h"
#include "brindle/base/LongDoubleIndexedComponent.h"
#include "brindle/base/Metaclass.h"
#include "brindle/base/Shared.h"
#include "brindle/base/SingleIndexedComponent.h"
#include "brindle/framework/ApiObject.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyTypes.h"

// A component list the host hands to an operation: sorted record ids of one kind (vertices,
// edges, faces, or UV points of the current UV set), shared by reference counting. midCompType
// names the kind so that an operation can refuse a list of the wrong kind. Every kind has the same
// size: the kinds differ only in their class.
class BRINDLE_API TmidComponent : public TsingleIndexedComponent, public TsharedObject, public TapiObject {
public:
    static const Tmetaclass sMetaclass;

    virtual const Tmetaclass* typeof() const { return &sMetaclass; }
    // This list viewed as the class of mc, or null when it is not of that class.
    virtual void* cast(const Tmetaclass* mc) { return mc == &sMetaclass ? this : nullptr; }
    virtual TpolyGrpType midCompType() const = 0;
    virtual bool isControlPoint() const { return false; }
    // The textual form: one "prefix[first:last]" string per run of ids.
    virtual void asStrings(const char* name, std::vector<std::string>& strings) const = 0;
    void asStringsForASCII(const char* name, std::vector<std::string>& strings) const { asStrings(name, strings); }
    // Lists print nothing of themselves.
    virtual void debugPrint() const {}
};

// The per-kind part of a list, filled in from the kind's constants: Kind names its metaclass,
// its TpolyGrpType, its API type code and string and its text prefix.
template <typename Kind>
class BRINDLE_API TmidComponentOf : public TmidComponent {
public:
    const Tmetaclass* typeof() const override { return &Kind::sMetaclass; }
    void* cast(const Tmetaclass* mc) override { return mc == &Kind::sMetaclass ? this : TmidComponent::cast(mc); }
    TpolyGrpType midCompType() const override { return Kind::kKind; }
    uint32_t apiType() const override { return Kind::kApiCode; }
    const char* apiTypeString() const override { return Kind::kTypeString; }
    void asStrings(const char*, std::vector<std::string>& strings) const override {
        generateStrings(Kind::kPrefix, strings);
    }
    // Copies and extracts keep the kind.
    Tcomponent* newEmpty() const override { return new Kind; }
};

class BRINDLE_API TmidVertComponent : public TmidComponentOf<TmidVertComponent> {
public:
    static const Tmetaclass sMetaclass;
    static constexpr TpolyGrpType kKind = kPolyGrpVertex;
    static constexpr uint32_t kApiCode = 540;
    static constexpr const char* kTypeString = "kMeshVertComponent";
    static constexpr const char* kPrefix = "vtx";

    bool isControlPoint() const override { return true; }
};

class BRINDLE_API TmidEdgeComponent : public TmidComponentOf<TmidEdgeComponent> {
public:
    static const Tmetaclass sMetaclass;
    static constexpr TpolyGrpType kKind = kPolyGrpEdge;
    static constexpr uint32_t kApiCode = 537;
    static constexpr const char* kTypeString = "kMeshEdgeComponent";
    static constexpr const char* kPrefix = "e";
};

class BRINDLE_API TmidFaceComponent : public TmidComponentOf<TmidFaceComponent> {
public:
    static const Tmetaclass sMetaclass;
    static constexpr TpolyGrpType kKind = kPolyGrpFace;
    static constexpr uint32_t kApiCode = 538;
    static constexpr const char* kTypeString = "kMeshPolygonComponent";
    static constexpr const char* kPrefix = "f";
};

class BRINDLE_API TmidMapComponent : public TmidComponentOf<TmidMapComponent> {
public:
    static const Tmetaclass sMetaclass;
    static constexpr TpolyGrpType kKind = kPolyGrpUV;
    static constexpr uint32_t kApiCode = 786;
    static constexpr const char* kTypeString = "kMeshMapComponent";
    static constexpr const char* kPrefix = "map";
};

// A list of face-vertices: sorted (vertex id, face id) pairs, shared by reference counting.
class BRINDLE_API TmeshVtxFaceComponent : public TlongDoubleIndexedComponent, public TsharedObject, public TapiObject {
public:
    static const Tmetaclass sMetaclass;

    virtual const Tmetaclass* typeof() const { return &sMetaclass; }
    virtual void* cast(const Tmetaclass* mc) { return mc == &sMetaclass ? this : nullptr; }
    uint32_t apiType() const override { return 722; }
    const char* apiTypeString() const override { return "kMeshVtxFaceComponent"; }
    bool isControlPoint() const { return false; }
    void asStrings(const char*, std::vector<std::string>& strings) const { generateStrings("vtxFace", strings); }
    void debugPrint() const {}
    Tcomponent* newEmpty() const override { return new TmeshVtxFaceComponent; }
};

// Pointers to lists the host owns.
using TmidComponentPtrArray = TptrArray<TmidComponent>;

// Registry construction shared by the list classes: null for a null metaclass or one that is not
// a kind of T; else a new default instance of mc's class.
template <typename T>
T* constructComponent(const Tmetaclass* mc) {
    if (!mc || !mc->istype(&T::sMetaclass)) return nullptr;
    return static_cast<T*>(mc->construct());
}
