#pragma once

// Heap accounting for one benchmark program: every operator new and delete of the program is
// counted, so the peak that an operation adds above the live heap can be read for our own
// containers and a peer library's alike. Include from exactly one source file of a program.

#include <malloc.h>

#include <cstddef>
#include <cstdlib>
#include <new>

namespace heappeak {
inline size_t gLive = 0, gPeak = 0;

inline void* counted(size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    gLive += malloc_usable_size(p);
    if (gLive > gPeak) gPeak = gLive;
    return p;
}

inline void released(void* p) {
    if (!p) return;
    gLive -= malloc_usable_size(p);
    std::free(p);
}

// Starts a measurement at the current live size; since(start) is what was added on top of it.
inline size_t start() { return gPeak = gLive; }
inline size_t since(size_t start) { return gPeak - start; }
}  // namespace heappeak

void* operator new(size_t n) { return heappeak::counted(n); }
void* operator new[](size_t n) { return heappeak::counted(n); }
void operator delete(void* p) noexcept { heappeak::released(p); }
void operator delete[](void* p) noexcept { heappeak::released(p); }
void operator delete(void* p, size_t) noexcept { heappeak::released(p); }
void operator delete[](void* p, size_t) noexcept { heappeak::released(p); }
