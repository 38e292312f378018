#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/IffFile.h"
#include "brindle/base/PolyIOUtil.h"

// Array items over typed arrays whose elements are whole 32-bit words of one kind (Word: float,
// int32_t or uint32_t): the item's count is the number of words, so an element of k words is
// saved as k values. Reading checks the count against the bytes left and that it holds whole
// elements before sizing the array; on failure it answers null and leaves size and out untouched.
template <typename Word, typename T>
TiffStatus writeArrayItem(TiffFile& file, const Tarray<T>& values) {
    static_assert(sizeof(T) % sizeof(Word) == 0);
    constexpr uint64_t per = sizeof(T) / sizeof(Word);
    if (values.size() * per > UINT32_MAX) return kIffTooLarge;
    return TpolyIOUtil::writeArray(file, uint32_t(values.size() * per), reinterpret_cast<const Word*>(values.data()));
}

template <typename Word, typename T>
const void* readArrayItem(const void* cursor, int& size, Tarray<T>& out) {
    static_assert(sizeof(T) % sizeof(Word) == 0);
    constexpr uint32_t per = sizeof(T) / sizeof(Word);
    int left = size;
    uint32_t count = 0;
    cursor = TpolyIOUtil::readSize(cursor, left, count);
    if (!cursor || count % per != 0 || !TpolyIOUtil::holds(left, count)) return nullptr;
    out.changeLogicalSizeTo(count / per);
    cursor = TpolyIOUtil::readArray(cursor, left, reinterpret_cast<Word*>(out.data()), count);
    size = left;
    return cursor;
}
