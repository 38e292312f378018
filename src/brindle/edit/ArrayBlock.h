#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

// One block of a block list: a run of elements with its own count and a link to the next block.
// The first block of a list may be an array owned elsewhere (fOwned is null then).
template <typename T>
struct TarrayBlock {
    T* fData = nullptr;
    uint32_t fCount = 0;
    uint32_t fCapacity = 0;
    TarrayBlock* fNext = nullptr;
    std::unique_ptr<T[]> fOwned;
};

// A chain of blocks whose elements never move once created, so pointers into it stay valid while
// the list grows. An element's id is its position counted over the chain. The first block can
// adopt a foreign array without copying; later blocks hold kBlockSize elements (more when one
// contiguous run needs it) and only the last block ever grows, which keeps ids gap-free.
template <typename T>
class TarrayBlockAllocator {
public:
    static constexpr uint32_t kBlockSize = 4096;

    TarrayBlockAllocator() = default;
    TarrayBlockAllocator(const TarrayBlockAllocator& o) { *this = o; }
    // A deep copy: every element lands in owned storage.
    TarrayBlockAllocator& operator=(const TarrayBlockAllocator& o) {
        if (this == &o) return *this;
        clear();
        if (o.size()) {
            T* dst = nullptr;
            allocate(o.size(), &dst);
            for (uint32_t i = 0; i < o.size(); ++i) dst[i] = o[i];
        }
        return *this;
    }

    // Makes data (count elements, not owned) the first block; the list must be empty.
    void adopt(T* data, uint32_t count) {
        clear();
        auto b = std::make_unique<TarrayBlock<T>>();
        b->fData = data;
        b->fCount = b->fCapacity = count;
        push(std::move(b));
        fSize = count;
    }
    void clear() {
        fBlocks.clear();
        fStarts.clear();
        fSize = 0;
    }

    uint32_t size() const { return fSize; }
    T& operator[](uint32_t i) { return *locate(i); }
    const T& operator[](uint32_t i) const { return *const_cast<TarrayBlockAllocator*>(this)->locate(i); }
    // Start of a run allocated in one piece (the run never spans blocks).
    T* run(uint32_t i) { return locate(i); }

    uint32_t append(const T& v) {
        T* p = nullptr;
        const uint32_t id = allocate(1, &p);
        *p = v;
        return id;
    }
    // Reserves n contiguous elements at the end of the list (value-initialised) and answers the
    // id of the first; out, when given, receives a pointer to it.
    uint32_t allocate(uint32_t n, T** out = nullptr) {
        TarrayBlock<T>* last = fBlocks.empty() ? nullptr : fBlocks.back().get();
        if (!last || !last->fOwned || last->fCapacity - last->fCount < n) {
            auto b = std::make_unique<TarrayBlock<T>>();
            b->fCapacity = std::max(kBlockSize, n);
            b->fOwned = std::make_unique<T[]>(b->fCapacity);
            b->fData = b->fOwned.get();
            last = push(std::move(b));
        }
        T* p = last->fData + last->fCount;
        last->fCount += n;
        const uint32_t id = fSize;
        fSize += n;
        if (out) *out = p;
        return id;
    }
    const TarrayBlock<T>* firstBlock() const { return fBlocks.empty() ? nullptr : fBlocks.front().get(); }
    size_t bytesAllocated() const {
        size_t bytes = 0;
        for (const auto& b : fBlocks)
            if (b->fOwned) bytes += size_t(b->fCapacity) * sizeof(T);
        return bytes;
    }

private:
    TarrayBlock<T>* push(std::unique_ptr<TarrayBlock<T>> b) {
        if (!fBlocks.empty()) fBlocks.back()->fNext = b.get();
        fStarts.push_back(fSize);
        fBlocks.push_back(std::move(b));
        return fBlocks.back().get();
    }
    // The first (adopted) block and the last one take most look-ups; others by binary search.
    T* locate(uint32_t i) {
        const TarrayBlock<T>& first = *fBlocks.front();
        if (i < first.fCount) return first.fData + i;
        if (i >= fStarts.back()) return fBlocks.back()->fData + (i - fStarts.back());
        const size_t k = size_t(std::upper_bound(fStarts.begin(), fStarts.end(), i) - fStarts.begin()) - 1;
        return fBlocks[k]->fData + (i - fStarts[k]);
    }

    std::vector<std::unique_ptr<TarrayBlock<T>>> fBlocks;
    std::vector<uint32_t> fStarts;
    uint32_t fSize = 0;
};
