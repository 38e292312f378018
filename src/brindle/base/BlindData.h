#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "brindle/base/Export.h"
#include "brindle/base/String.h"

// Eight bytes holding one blind-data value of any of the template value types.
union BD_dataHolder {
    uint64_t bits;
    int32_t i;
    float f;
    double d;
    bool b;
    char c;
};
static_assert(sizeof(BD_dataHolder) == 8);

// One blind-data value given to one component. The state word and the extra word read together
// form one 32-bit word that is 0 for a live element: state 1 marks a removed element, state 2 one
// already moved in the current renumbering pass, and an element created with a non-zero extra
// word is never live.
struct BRINDLE_API TbdData {
    enum Tstate : uint16_t { kLive = 0, kRemoved = 1, kRenumbered = 2 };

    BD_dataHolder value{0};
    const void* object = nullptr;
    uint32_t templateIndex = 0;
    uint32_t componentId = 0;
    uint16_t state = kLive;
    uint16_t extra = 0;

    bool isLive() const { return (uint32_t(state) | uint32_t(extra) << 16) == 0; }
};

// Owning array of blind-data elements, grown 8 at a time; copying it copies every element, and
// elements never move in memory while the array grows.
class BRINDLE_API TbdDataPtrArray {
public:
    static constexpr uint32_t kGrowth = 8;

    TbdDataPtrArray() = default;
    TbdDataPtrArray(const TbdDataPtrArray& o) { *this = o; }
    TbdDataPtrArray& operator=(const TbdDataPtrArray& o);
    TbdDataPtrArray(TbdDataPtrArray&&) noexcept = default;
    TbdDataPtrArray& operator=(TbdDataPtrArray&&) noexcept = default;

    uint32_t size() const { return static_cast<uint32_t>(fItems.size()); }
    bool empty() const { return fItems.empty(); }
    TbdData& operator[](uint32_t i) { return *fItems[i]; }
    const TbdData& operator[](uint32_t i) const { return *fItems[i]; }
    // Appends a copy of d and answers it.
    TbdData& addLast(const TbdData& d = TbdData());
    void clear() { fItems.clear(); }
    void swap(TbdDataPtrArray& o) noexcept { fItems.swap(o.fItems); }
    // Drops the elements for which drop(element) is true, keeping the order of the others.
    template <typename Pred>
    void removeIf(Pred drop) {
        std::erase_if(fItems, [&](const std::unique_ptr<TbdData>& d) { return drop(*d); });
    }

private:
    std::vector<std::unique_ptr<TbdData>> fItems;
};

// Value type of a blind-data template.
enum TbdValueType : int32_t { kBdInt = 0, kBdFloat = 1, kBdDouble = 2, kBdBool = 3, kBdChar = 4, kBdBinary = 5 };

// The process-wide table of blind-data templates. A template is a (type id, name) pair with its
// value type; its index in the table never changes once registered, so elements can keep it.
class BRINDLE_API TbdTable {
public:
    static constexpr uint32_t kNotFound = 0xFFFFFFFFu;

    // Registers a template and answers its index; registering a known (type id, name) again
    // answers the existing index and keeps the first value type.
    uint32_t addBd(int32_t typeId, std::string_view name, TbdValueType type);
    // Index of the template with that type id and name, or kNotFound.
    uint32_t findBd(int32_t typeId, std::string_view name) const;
    // Type id of the template at index, or -1 for an index out of range.
    int32_t getBdTypeId(uint32_t index) const;
    // Name and value type of a template; false for an index out of range.
    bool getBdName(uint32_t index, Tstring& name) const;
    bool getBdValueType(uint32_t index, TbdValueType& type) const;
    uint32_t nbBd() const { return static_cast<uint32_t>(fTemplates.size()); }

private:
    struct Ttemplate {
        int32_t typeId;
        Tstring name;
        TbdValueType type;
    };
    std::vector<Ttemplate> fTemplates;
};

BRINDLE_API TbdTable& theBlindDataTable();
