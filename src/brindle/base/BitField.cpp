#include "brindle/base/BitField.h"

#include <bit>

void TbitFieldFixedN::clearTail() {
    if (fSize & 63) fWords.back() &= (uint64_t(1) << (fSize & 63)) - 1;
}

void TbitFieldFixedN::setAll() {
    for (uint64_t& w : fWords) w = ~uint64_t(0);
    clearTail();
}

void TbitFieldFixedN::resetAll() {
    for (uint64_t& w : fWords) w = 0;
}

void TbitFieldFixedN::invertAll() {
    for (uint64_t& w : fWords) w = ~w;
    clearTail();
}

bool TbitFieldFixedN::anySet() const {
    for (uint64_t w : fWords)
        if (w) return true;
    return false;
}

uint32_t TbitFieldFixedN::countSet() const {
    uint32_t n = 0;
    for (uint64_t w : fWords) n += static_cast<uint32_t>(std::popcount(w));
    return n;
}

// The binary operations combine the common prefix; bits beyond the shorter set count as clear.
void TbitFieldFixedN::AND(const TbitFieldFixedN& o) {
    for (size_t i = 0; i < fWords.size(); ++i) fWords[i] &= i < o.fWords.size() ? o.fWords[i] : 0;
}

void TbitFieldFixedN::OR(const TbitFieldFixedN& o) {
    for (size_t i = 0; i < fWords.size() && i < o.fWords.size(); ++i) fWords[i] |= o.fWords[i];
    clearTail();
}

void TbitFieldFixedN::XOR(const TbitFieldFixedN& o) {
    for (size_t i = 0; i < fWords.size() && i < o.fWords.size(); ++i) fWords[i] ^= o.fWords[i];
    clearTail();
}

void TbitFieldFixedN::resizeArray(uint32_t nbBits) {
    fSize = nbBits;
    fWords.assign((size_t(nbBits) + 63) / 64, 0);
}

void TbitFieldFixedN::resizeArrayWithCopy(uint32_t nbBits) {
    fSize = nbBits;
    fWords.resize((size_t(nbBits) + 63) / 64, 0);
    clearTail();
}
