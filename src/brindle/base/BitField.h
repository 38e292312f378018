#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "brindle/base/Export.h"

// Bit set of a size fixed at creation (resizable on request), 64 bits to a word. Bits beyond the
// size are always clear, so whole-word operations never see stray bits.
class BRINDLE_API TbitFieldFixedN {
public:
    TbitFieldFixedN() = default;
    explicit TbitFieldFixedN(uint32_t nbBits) { resizeArray(nbBits); }

    uint32_t size() const { return fSize; }
    void setBit(uint32_t index, bool value = true) {
        uint64_t mask = uint64_t(1) << (index & 63);
        if (value)
            fWords[index >> 6] |= mask;
        else
            fWords[index >> 6] &= ~mask;
    }
    void resetBit(uint32_t index) { setBit(index, false); }
    bool testBit(uint32_t index) const { return (fWords[index >> 6] >> (index & 63)) & 1; }
    void setAll();
    void resetAll();
    void invertAll();
    bool anySet() const;
    uint32_t countSet() const;
    void AND(const TbitFieldFixedN& o);
    void OR(const TbitFieldFixedN& o);
    void XOR(const TbitFieldFixedN& o);
    // Resizes to nbBits, all clear.
    void resizeArray(uint32_t nbBits);
    // Resizes to nbBits keeping the bits that remain in range; new bits are clear.
    void resizeArrayWithCopy(uint32_t nbBits);
    bool operator==(const TbitFieldFixedN&) const = default;

private:
    void clearTail();
    std::vector<uint64_t> fWords;
    uint32_t fSize = 0;
};

using TbitFieldN = TbitFieldFixedN;

// Up to 32 flags in one word.
class TbitField32 {
public:
    void setBit(uint32_t index, bool value = true) {
        if (value)
            fBits |= 1u << index;
        else
            fBits &= ~(1u << index);
    }
    bool testBit(uint32_t index) const { return (fBits >> index) & 1u; }
    void resetAll() { fBits = 0; }
    bool anySet() const { return fBits != 0; }
    uint32_t value() const { return fBits; }

private:
    uint32_t fBits = 0;
};
