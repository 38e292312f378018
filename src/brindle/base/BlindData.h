#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// One blind-data value given to one component. A live element has state and extra both 0 read as
// one word; the state marks removed (1) and renumbered (2) elements during a renumbering pass.
struct TbdData {
    uint64_t value = 0;
    const void* object = nullptr;
    uint32_t templateIndex = 0;
    uint32_t componentId = 0;
    uint16_t state = 0;
    uint16_t extra = 0;
};

// Owning array of blind-data values; copying it copies every value.
class TbdDataPtrArray {
public:
    TbdDataPtrArray() = default;
    TbdDataPtrArray(const TbdDataPtrArray& o) { *this = o; }
    TbdDataPtrArray& operator=(const TbdDataPtrArray& o) {
        if (this != &o) {
            fItems.clear();
            fItems.reserve(o.fItems.size());
            for (const auto& d : o.fItems) fItems.push_back(std::make_unique<TbdData>(*d));
        }
        return *this;
    }
    uint32_t size() const { return static_cast<uint32_t>(fItems.size()); }
    TbdData& operator[](uint32_t i) { return *fItems[i]; }
    const TbdData& operator[](uint32_t i) const { return *fItems[i]; }
    TbdData& addLast() {
        fItems.push_back(std::make_unique<TbdData>());
        return *fItems.back();
    }

private:
    std::vector<std::unique_ptr<TbdData>> fItems;
};
