#include "brindle/base/PolyIOUtil.h"

#include <bit>
#include <cstring>

namespace {

uint32_t toBig(uint32_t v) { return std::endian::native == std::endian::big ? v : __builtin_bswap32(v); }

// Copies count 32-bit words into the file's byte order (big-endian). Written byte by byte with in
// and out never overlapping, the reversal compiles to vector shuffles where a loop of scalar byte
// swaps would not.
void copyWords(uint8_t* __restrict out, const uint8_t* __restrict in, size_t count) {
    if constexpr (std::endian::native == std::endian::big) {
        if (count) std::memcpy(out, in, count * 4);
    } else {
        for (size_t i = 0; i < count * 4; i += 4) {
            out[i] = in[i + 3];
            out[i + 1] = in[i + 2];
            out[i + 2] = in[i + 1];
            out[i + 3] = in[i];
        }
    }
}

// Room for the values of an array item of count values, its count word written; null (and status
// set) when the file refuses.
uint8_t* beginArray(TiffFile& file, uint32_t count, TiffStatus& status) {
    uint8_t* room = file.extend(4 + size_t(count) * 4, status);
    if (!room) return nullptr;
    const uint32_t head = toBig(count);
    std::memcpy(room, &head, 4);
    return room + 4;
}

// Every 32-bit value kind travels as its bit pattern.
TiffStatus writeWords(TiffFile& file, uint32_t count, const void* values) {
    TiffStatus status;
    uint8_t* out = beginArray(file, count, status);
    if (out) copyWords(out, static_cast<const uint8_t*>(values), count);
    return status;
}

const void* readWords(const void* cursor, int& remaining, void* values, uint32_t count) {
    if (!cursor || !TpolyIOUtil::holds(remaining, count)) return nullptr;
    const auto* in = static_cast<const uint8_t*>(cursor);
    copyWords(static_cast<uint8_t*>(values), in, count);
    remaining -= int(count * 4);
    return in + size_t(count) * 4;
}

}  // namespace

TiffStatus TpolyIOUtil::writeInt(TiffFile& file, int32_t value) {
    const uint32_t w = toBig(uint32_t(value));
    return file.write(&w, 4);
}

TiffStatus TpolyIOUtil::writeArray(TiffFile& file, uint32_t count, const int32_t* values) {
    return writeWords(file, count, values);
}
TiffStatus TpolyIOUtil::writeArray(TiffFile& file, uint32_t count, const uint32_t* values) {
    return writeWords(file, count, values);
}
TiffStatus TpolyIOUtil::writeArray(TiffFile& file, uint32_t count, const float* values) {
    return writeWords(file, count, values);
}
TiffStatus TpolyIOUtil::writeArray(TiffFile& file, uint32_t count, const double* values) {
    TiffStatus status;
    uint8_t* out = beginArray(file, count, status);
    for (uint32_t i = 0; out && i < count; ++i) {
        const float f = float(values[i]);
        copyWords(out + size_t(i) * 4, reinterpret_cast<const uint8_t*>(&f), 1);
    }
    return status;
}
TiffStatus TpolyIOUtil::writeArray(TiffFile& file, uint32_t count, const float* values, uint32_t take,
                                   uint32_t stride) {
    if (uint64_t(count) * take > UINT32_MAX) return kIffTooLarge;
    TiffStatus status;
    uint8_t* out = beginArray(file, count * take, status);
    for (uint32_t i = 0; out && i < count; ++i)
        copyWords(out + size_t(i) * take * 4, reinterpret_cast<const uint8_t*>(values + size_t(i) * stride), take);
    return status;
}

const void* TpolyIOUtil::readSize(const void* cursor, int& remaining, uint32_t& count) {
    return readWords(cursor, remaining, &count, 1);
}
const void* TpolyIOUtil::readInt(const void* cursor, int& remaining, int32_t& value) {
    return readWords(cursor, remaining, &value, 1);
}
const void* TpolyIOUtil::readArray(const void* cursor, int& remaining, int32_t* values, uint32_t count) {
    return readWords(cursor, remaining, values, count);
}
const void* TpolyIOUtil::readArray(const void* cursor, int& remaining, uint32_t* values, uint32_t count) {
    return readWords(cursor, remaining, values, count);
}
const void* TpolyIOUtil::readArray(const void* cursor, int& remaining, float* values, uint32_t count) {
    return readWords(cursor, remaining, values, count);
}
