#pragma once

// Heap accounting for one benchmark program: operator new and delete are replaced (so every
// container is counted alike) and track the live heap and its high-water mark. Include it in one
// source file of a program only.
#include <malloc.h>

#include <cstddef>
#include <cstdlib>
#include <new>

namespace heappeak {
inline size_t gLive = 0, gPeak = 0;
inline void* take(size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    gLive += malloc_usable_size(p);
    if (gLive > gPeak) gPeak = gLive;
    return p;
}
inline void give(void* p) {
    if (!p) return;
    gLive -= malloc_usable_size(p);
    std::free(p);
}
// Starts a measurement at the live heap; added() answers the peak reached above it since.
struct Mark {
    size_t start = (gPeak = gLive);
    size_t added() const { return gPeak - start; }
};
}  // namespace heappeak

void* operator new(size_t n) { return heappeak::take(n); }
void* operator new[](size_t n) { return heappeak::take(n); }
void operator delete(void* p) noexcept { heappeak::give(p); }
void operator delete[](void* p) noexcept { heappeak::give(p); }
void operator delete(void* p, size_t) noexcept { heappeak::give(p); }
void operator delete[](void* p, size_t) noexcept { heappeak::give(p); }
