#include "brindle/base/BlindData.h"

#include <algorithm>

TbdDataPtrArray& TbdDataPtrArray::operator=(const TbdDataPtrArray& o) {
    if (this == &o) return *this;
    fItems.clear();
    fItems.reserve(o.fItems.size());
    for (const auto& d : o.fItems) fItems.push_back(std::make_unique<TbdData>(*d));
    return *this;
}

TbdData& TbdDataPtrArray::addLast(const TbdData& d) {
    // At least kGrowth more, and at least half again, so that long runs of appends stay linear.
    if (fItems.size() == fItems.capacity())
        fItems.reserve(fItems.size() + std::max<size_t>(kGrowth, fItems.size() / 2));
    fItems.push_back(std::make_unique<TbdData>(d));
    return *fItems.back();
}

uint32_t TbdTable::addBd(int32_t typeId, std::string_view name, TbdValueType type) {
    const uint32_t known = findBd(typeId, name);
    if (known != kNotFound) return known;
    fTemplates.push_back({typeId, Tstring(name), type});
    return nbBd() - 1;
}

uint32_t TbdTable::findBd(int32_t typeId, std::string_view name) const {
    for (uint32_t i = 0; i < nbBd(); ++i)
        if (fTemplates[i].typeId == typeId && fTemplates[i].name == name) return i;
    return kNotFound;
}

int32_t TbdTable::getBdTypeId(uint32_t index) const { return index < nbBd() ? fTemplates[index].typeId : -1; }

bool TbdTable::getBdName(uint32_t index, Tstring& name) const {
    if (index >= nbBd()) return false;
    name = fTemplates[index].name;
    return true;
}

bool TbdTable::getBdValueType(uint32_t index, TbdValueType& type) const {
    if (index >= nbBd()) return false;
    type = fTemplates[index].type;
    return true;
}

TbdTable& theBlindDataTable() {
    static TbdTable table;
    return table;
}
