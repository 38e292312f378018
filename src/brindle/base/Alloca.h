#pragma once

#include <cstddef>
#include <memory>
#include <vector>

// Scratch memory for the duration of one call: small requests come from an inline buffer, larger
// ones from the heap; `release` (or the destructor) frees everything at once.
class Talloca {
public:
    Talloca() = default;
    Talloca(const Talloca&) = delete;
    Talloca& operator=(const Talloca&) = delete;
    ~Talloca() { release(); }

    void* allocate(size_t bytes) {
        bytes = (bytes + 15) & ~size_t(15);
        if (fUsed + bytes <= sizeof(fInline)) {
            void* p = fInline + fUsed;
            fUsed += bytes;
            return p;
        }
        fHeap.push_back(std::make_unique<unsigned char[]>(bytes));
        return fHeap.back().get();
    }
    template <typename T>
    T* allocateArray(size_t n) {
        return static_cast<T*>(allocate(n * sizeof(T)));
    }
    void release() {
        fHeap.clear();
        fUsed = 0;
    }

private:
    alignas(16) unsigned char fInline[1024];
    size_t fUsed = 0;
    std::vector<std::unique_ptr<unsigned char[]>> fHeap;
};
