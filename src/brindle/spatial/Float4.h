#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

// Four floats operated on lane by lane, with the processor's vector instructions where SSE2 is
// there and a loop otherwise. min(a, b) and max(a, b) answer b when either lane is NaN, as the
// instructions do, so that a NaN met in a, the value being folded in, leaves b as it was.
struct Tfloat4 {
#if defined(__SSE2__)
    __m128 v;
    Tfloat4() = default;
    explicit Tfloat4(__m128 x) : v(x) {}
    explicit Tfloat4(float x) : v(_mm_set1_ps(x)) {}
    static Tfloat4 load(const float* p) { return Tfloat4(_mm_load_ps(p)); }
    void store(float* p) const { _mm_store_ps(p, v); }
    friend Tfloat4 operator+(Tfloat4 a, Tfloat4 b) { return Tfloat4(_mm_add_ps(a.v, b.v)); }
    friend Tfloat4 operator-(Tfloat4 a, Tfloat4 b) { return Tfloat4(_mm_sub_ps(a.v, b.v)); }
    friend Tfloat4 operator*(Tfloat4 a, Tfloat4 b) { return Tfloat4(_mm_mul_ps(a.v, b.v)); }
    friend Tfloat4 min(Tfloat4 a, Tfloat4 b) { return Tfloat4(_mm_min_ps(a.v, b.v)); }
    friend Tfloat4 max(Tfloat4 a, Tfloat4 b) { return Tfloat4(_mm_max_ps(a.v, b.v)); }
    friend Tfloat4 abs(Tfloat4 a) { return Tfloat4(_mm_andnot_ps(_mm_set1_ps(-0.0f), a.v)); }
    // Bit k set where lane k of a <= b holds (false for NaN).
    friend int lessEqualMask(Tfloat4 a, Tfloat4 b) { return _mm_movemask_ps(_mm_cmple_ps(a.v, b.v)); }
    // The lanes truncated towards zero (they must fit an int).
    void truncate(int32_t out[4]) const { _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_cvttps_epi32(v)); }
#else
    float v[4];
    Tfloat4() = default;
    explicit Tfloat4(float x) : v{x, x, x, x} {}
    static Tfloat4 load(const float* p) { return Tfloat4::each([&](int k) { return p[k]; }); }
    void store(float* p) const {
        for (int k = 0; k < 4; ++k) p[k] = v[k];
    }
    friend Tfloat4 operator+(Tfloat4 a, Tfloat4 b) { return each([&](int k) { return a.v[k] + b.v[k]; }); }
    friend Tfloat4 operator-(Tfloat4 a, Tfloat4 b) { return each([&](int k) { return a.v[k] - b.v[k]; }); }
    friend Tfloat4 operator*(Tfloat4 a, Tfloat4 b) { return each([&](int k) { return a.v[k] * b.v[k]; }); }
    friend Tfloat4 min(Tfloat4 a, Tfloat4 b) { return each([&](int k) { return a.v[k] < b.v[k] ? a.v[k] : b.v[k]; }); }
    friend Tfloat4 max(Tfloat4 a, Tfloat4 b) { return each([&](int k) { return a.v[k] > b.v[k] ? a.v[k] : b.v[k]; }); }
    friend Tfloat4 abs(Tfloat4 a) { return each([&](int k) { return a.v[k] < 0 ? -a.v[k] : a.v[k]; }); }
    friend int lessEqualMask(Tfloat4 a, Tfloat4 b) {
        int m = 0;
        for (int k = 0; k < 4; ++k) m |= (a.v[k] <= b.v[k]) << k;
        return m;
    }
    void truncate(int32_t out[4]) const {
        for (int k = 0; k < 4; ++k) out[k] = int32_t(v[k]);
    }

private:
    template <typename F>
    static Tfloat4 each(F&& f) {
        Tfloat4 r;
        for (int k = 0; k < 4; ++k) r.v[k] = f(k);
        return r;
    }
#endif
};

// Asks for the cache line at p ahead of its use, where the processor offers that.
inline void prefetch(const void* p) {
#if defined(__SSE2__)
    _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0);
#else
    (void)p;
#endif
}
