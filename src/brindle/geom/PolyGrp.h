#pragma once

#include <cstdint>
#include <memory>

#include "brindle/base/Array.h"
#include "brindle/base/Component.h"
#include "brindle/base/Diagnostics.h"
#include "brindle/base/Export.h"
#include "brindle/base/LongDoubleIndexedComponent.h"
#include "brindle/base/Shared.h"
#include "brindle/base/SingleIndexedComponent.h"
#include "brindle/geom/PolyTypes.h"

// The kinds under the short names of the conversion functions (groupVertex2Edge, groupUV2VF, ...).
inline constexpr TpolyGrpType kGrpKindVertex = kPolyGrpVertex;
inline constexpr TpolyGrpType kGrpKindEdge = kPolyGrpEdge;
inline constexpr TpolyGrpType kGrpKindFace = kPolyGrpFace;
inline constexpr TpolyGrpType kGrpKindUV = kPolyGrpUV;
inline constexpr TpolyGrpType kGrpKindVF = kPolyGrpVertexFace;

// The reserved name of the edge group that holds the record's crease values.
inline constexpr int32_t kGrpNameCrease = 0x7FFFFFFF;

// Applies X(From, To) to every ordered pair of kinds, same-kind pairs included.
#define BRINDLE_GROUP_CONVERSIONS_FROM(X, From) X(From, Vertex) X(From, Edge) X(From, Face) X(From, UV) X(From, VF)
#define BRINDLE_GROUP_CONVERSIONS(X)                                              \
    BRINDLE_GROUP_CONVERSIONS_FROM(X, Vertex)                                     \
    BRINDLE_GROUP_CONVERSIONS_FROM(X, Edge)                                       \
    BRINDLE_GROUP_CONVERSIONS_FROM(X, Face) BRINDLE_GROUP_CONVERSIONS_FROM(X, UV) \
        BRINDLE_GROUP_CONVERSIONS_FROM(X, VF)

// The group events the host drives through TpolyGeom::GroupManage.
enum TpolyGrpEvent : int32_t {
    kGrpEventCount = 0,
    kGrpEventEmpty = 1,
    kGrpEventRemove = 2,
    kGrpEventReverse = 3,
    kGrpEventSelectAll = 4,
    kGrpEventGrowShrink = 5,
    kGrpEventAddRemoveItem = 6,
    kGrpEventHandOver = 7,
    kGrpEventCopyTo = 8,
    kGrpEventMergeInto = 9,
    kGrpEventFindFaceGroup = 10,
    kGrpEventOtherExists = 11
};

// Modes of the grow/shrink and add/remove events; the grow/shrink mode 8 extends the group to the
// whole shells it touches.
enum : int32_t { kGrpModeAdd = 8, kGrpModeShell = 8, kGrpModeShrink = 16, kGrpModeGrow = 32, kGrpModeEdgeLoop = 64 };

// One component group: a name (-1 = the current group of its kind), the kind of its items and the
// items themselves (null until the group gets a list). Vertex, edge, face, UV and untyped groups
// hold a single-indexed list, vertex-face groups a list of (vertex, face) pairs; every writer
// keeps the list of the family the type needs. A group may also carry one double per member, in
// member order (the crease group's sharpness). Copying a descriptor copies its items and values.
class BRINDLE_API TpolyGrpDesc {
public:
    TpolyGrpDesc() = default;
    TpolyGrpDesc(int32_t name, TpolyGrpType type) : fName(name), fType(type) {}
    TpolyGrpDesc(const TpolyGrpDesc& o)
        : fName(o.fName),
          fType(o.fType),
          fItems(o.fItems ? o.fItems->clone() : nullptr),
          fData(o.fData ? new TdoubleArray(*o.fData) : nullptr) {}
    TpolyGrpDesc& operator=(const TpolyGrpDesc& o) {
        if (this != &o) {
            fName = o.fName;
            fType = o.fType;
            fItems.reset(o.fItems ? o.fItems->clone() : nullptr);
            fData.reset(o.fData ? new TdoubleArray(*o.fData) : nullptr);
        }
        return *this;
    }
    TpolyGrpDesc(TpolyGrpDesc&&) = default;
    TpolyGrpDesc& operator=(TpolyGrpDesc&&) = default;

    // The list, made empty of the right family when missing or of the other family.
    Tcomponent& initializeComponent();
    // The list when it is a single-indexed one / a pair list; null otherwise.
    TsingleIndexedComponent* singleItems() const { return dynamic_cast<TsingleIndexedComponent*>(fItems.get()); }
    TlongDoubleIndexedComponent* pairItems() const { return dynamic_cast<TlongDoubleIndexedComponent*>(fItems.get()); }
    // Replaces the items by a copy of list; false, changing nothing, when the list is not of the
    // family the group's type needs.
    bool setData(const Tcomponent& list);
    // The values attached to the members, or null. setData takes ownership of data (null drops
    // the current values); keeping one value per member is the writer's duty.
    TdoubleArray* data() const { return fData.get(); }
    void setData(TdoubleArray* data) { fData.reset(data); }
    // Union with other's items; false when the families differ.
    bool merge(const TpolyGrpDesc& other);
    // Empties the items, keeping name, type and list.
    void resetGroup();
    // The group's comment block to out; with flag 0x0200 and items, a tab and the items' own dump
    // (which goes to TdebugOutput::sCout).
    void debug(TdebugOutput& out, unsigned int flags) const;
    static void debugMe(const TpolyGrpDesc& d, unsigned int flags);

    // Single-indexed items. Ids keep the list sorted and unique whatever the order they come in;
    // adding in increasing order is amortised O(1). All answer false on a vertex-face group.
    bool addElement(uint32_t id);
    bool appendItem(uint32_t id) { return addElement(id); }
    bool appendItem(const uint32_t* ids, uint32_t n);
    bool appendBlock(uint32_t first, uint32_t last);
    // Marks the last entry as the end of the group.
    void endGroup();
    // Entries of the list (a run of ids is two entries); pairs in a vertex-face group; 0 without list.
    uint32_t nbItem() const;
    uint32_t getItem(uint32_t i) const { return entry(i) & TsingleIndexedComponent::kIdMask; }
    bool itemBlock(uint32_t i) const { return (entry(i) & TsingleIndexedComponent::kBlockFlag) != 0; }
    bool endOfGroup(uint32_t i) const { return (entry(i) & TsingleIndexedComponent::kEndFlag) != 0; }
    // Components in the group (ids or pairs).
    uint32_t nbElem() const { return fItems ? fItems->elementCount() : 0; }
    bool isEmpty() const { return nbElem() == 0; }
    bool hasElement(uint32_t id) const;

    int32_t fName = -1;
    TpolyGrpType fType = kPolyGrpNone;
    std::unique_ptr<Tcomponent> fItems;
    std::unique_ptr<TdoubleArray> fData;

private:
    // Raw entry i of a single-indexed list; 0 out of range or without one.
    uint32_t entry(uint32_t i) const;
};

// The reference-counted group table of one record. Lookups by name search from the last group to
// the first, so a later group shadows an earlier one of the same name.
class BRINDLE_API TpolyGrp {
public:
    uint32_t nbGroup() const { return fGroups.size(); }
    // Appends an empty group with an empty list; growth is the table's growth step. Answers its index.
    uint32_t append(int32_t name, TpolyGrpType type, uint32_t growth = 32);
    // The last group of that name whose type equals type, or where either type is None; -1 if none.
    int32_t findGrp(int32_t name, TpolyGrpType type) const;
    // The last group of exactly that name and type; -1 if none.
    int32_t findExact(int32_t name, TpolyGrpType type) const;
    bool remove(uint32_t g);
    // One more than the largest positive name other than the crease name (1 when none).
    int32_t getFreeGrpName() const;
    // -999 when free, else the first free name counting down from -1000.
    int32_t getFreeTmpGrpName() const;
    // A comment block with the group count, then every group's dump.
    void debug(TdebugOutput& out, unsigned int flags) const;
    static void debugMe(const TpolyGrp& g, unsigned int flags);

    TmtRefCounter fRefs;
    TobjArray<TpolyGrpDesc> fGroups;

private:
    bool nameInUse(int32_t name) const;
};
