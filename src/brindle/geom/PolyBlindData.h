#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "brindle/base/BlindData.h"
#include "brindle/base/Export.h"
#include "brindle/base/Shared.h"
#include "brindle/base/String.h"

class TdebugOutput;

// A named blind-data store.
class BRINDLE_API TpolyBdBase {
public:
    virtual ~TpolyBdBase() = default;
    void setName(const Tstring& name) { fName = name; }
    const Tstring& getName() const { return fName; }

protected:
    Tstring fName;
};

// Blind data of one component kind (edges, faces or vertices) of a record. Elements stay in the
// order they were added; removal only marks them, and every getter and renumbering step skips
// elements that are not live. The element list is created on first use.
class BRINDLE_API TpolyBdBlindData : public TpolyBdBase {
public:
    TmtRefCounter fRefs;

    TpolyBdBlindData() = default;
    TpolyBdBlindData(const TpolyBdBlindData& o) : TpolyBdBase(o) { copyData(o); }
    // Takes other's name and a copy of its elements.
    TpolyBdBlindData& operator=(const TpolyBdBlindData& o);
    ~TpolyBdBlindData() override = default;

    // Replaces the value and state of the element of the same template, component and object, or
    // appends a new element. -1 (nothing changed) when no template of that type id and name is
    // registered in the blind-data table, otherwise 0.
    int addBlindDataElement(const void* object, int32_t typeId, std::string_view name, uint32_t componentId,
                            BD_dataHolder value, uint16_t extra = 0, uint16_t state = TbdData::kLive);
    // The same, always appending.
    int addNewBlindDataElement(const void* object, int32_t typeId, std::string_view name, uint32_t componentId,
                               BD_dataHolder value, uint16_t extra = 0, uint16_t state = TbdData::kLive);

    // Each appends copies of the matching live elements to out and answers whether it appended any:
    // all of them, those of one component, those of one component whose template has the type id,
    // and the last-added one of one component and template.
    bool getBlindData(TbdDataPtrArray& out) const;
    bool getBlindData(uint32_t componentId, TbdDataPtrArray& out) const;
    bool getBlindData(uint32_t componentId, int32_t typeId, TbdDataPtrArray& out) const;
    bool getBlindData(uint32_t componentId, int32_t typeId, std::string_view name, TbdDataPtrArray& out) const;

    virtual void clearData();
    // Exchanges the elements (not the names) with other.
    virtual void swapData(TpolyBdBlindData& other);
    // Marks the live elements of the component removed and appends copies of values for it.
    virtual void setData(uint32_t componentId, const TbdDataPtrArray& values);
    // Replaces every element by copies of values.
    virtual void setData(const TbdDataPtrArray& values);
    // Replaces the elements by copies of other's live elements of the components below count.
    virtual void copyData(const TpolyBdBlindData& other, uint32_t count);
    // Replaces the elements by copies of all of other's, states included.
    virtual void copyData(const TpolyBdBlindData& other);
    // A new array, owned by the caller, of copies of the component's live elements.
    virtual std::unique_ptr<TbdDataPtrArray> data(uint32_t componentId) const;
    // The element list, created by the first call of data() and null until then.
    virtual TbdDataPtrArray* data();
    virtual const TbdDataPtrArray* dataConst() const;
    virtual void appendData(const TbdData* values, uint32_t count);
    virtual void removeData(uint32_t componentId);

    // Renumbering pass: renumberInit, then renumber(oldId, newId) for each moved component, then
    // renumberCleanup. Within the pass an element moves at most once, so moves may chain (3 -> 4,
    // then 4 -> 5) without carrying an element twice. Cleanup with dropRemoved also deletes the
    // removed elements for good.
    virtual void renumberInit();
    virtual void renumberCleanup(bool dropRemoved);
    virtual void renumber(const void* map);
    virtual void renumber(uint32_t oldId, uint32_t newId);

    uint32_t nbElement() const { return fData ? fData->size() : 0; }
    // Name and element count, then one line per element: component, template, state, value bits.
    void debug(TdebugOutput& out) const;
    void debugMe() const;

private:
    // Appends a new element or, with replace, overwrites the matching live one.
    int addElement(const void* object, int32_t typeId, std::string_view name, uint32_t componentId, BD_dataHolder value,
                   uint16_t extra, uint16_t state, bool replace);
    // Appends copies of the live elements that keep(element) accepts; answers how many.
    template <typename Keep>
    uint32_t collect(TbdDataPtrArray& out, Keep keep) const;

    std::unique_ptr<TbdDataPtrArray> fData;
};
