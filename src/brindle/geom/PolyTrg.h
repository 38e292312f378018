#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Shared.h"

class TdebugOutput;

// Three corner numbers local to a face (0 = the face's first description entry). Bit 15 of the
// first word marks the last triangle of its face, bit 15 of the second a fallback-fan triangle;
// the numbers themselves use bits 0-14, which limits a face to 32768 corners.
struct TpolyTriangle {
    static constexpr uint16_t kNumberMask = 0x7FFF;
    static constexpr uint16_t kFlag = 0x8000;

    uint16_t c[3] = {0, 0, 0};

    uint32_t number(uint32_t k) const { return c[k] & kNumberMask; }
    // Replaces the three numbers and keeps both flags.
    void setNumbers(uint32_t a, uint32_t b, uint32_t d) {
        c[0] = static_cast<uint16_t>((c[0] & kFlag) | (a & kNumberMask));
        c[1] = static_cast<uint16_t>((c[1] & kFlag) | (b & kNumberMask));
        c[2] = static_cast<uint16_t>(d & kNumberMask);
    }
    bool endOfFace() const { return (c[0] & kFlag) != 0; }
    void setEndOfFace(bool on) { c[0] = static_cast<uint16_t>(on ? c[0] | kFlag : c[0] & kNumberMask); }
    bool bad() const { return (c[1] & kFlag) != 0; }
    void setBad(bool on) { c[1] = static_cast<uint16_t>(on ? c[1] | kFlag : c[1] & kNumberMask); }
    bool operator==(const TpolyTriangle&) const = default;
};
static_assert(sizeof(TpolyTriangle) == 6);

// Triangulation component of a record: the triangles of every face, face after face, and the
// index of each face's first triangle (nbFace + 1 entries, the last one the triangle count).
class BRINDLE_API TpolyTrg {
public:
    TmtRefCounter fRefs;
    TuInt32Array fFirstTriangle{256};
    Tarray<TpolyTriangle> fTriangles{256};

    // Text dump (flags choose the lines); debugMe writes it to TdebugOutput::sCerr.
    void debug(TdebugOutput& out, unsigned int flags) const;
    static void debugMe(const TpolyTrg& t, unsigned int flags);
};
