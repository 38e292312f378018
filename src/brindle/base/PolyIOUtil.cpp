#include "brindle/base/PolyIOUtil.h"

#include <bit>
#include <cstring>

namespace {

uint32_t toBig(uint32_t v) { return std::endian::native == std::endian::big ? v : __builtin_bswap32(v); }

// Every 32-bit value kind travels as its bit pattern.
TiffStatus writeWords(TiffFile& file, uint32_t count, const void* values) {
    TiffStatus status;
    uint8_t* room = file.extend(4 + size_t(count) * 4, status);
    if (!room) return status;
    const uint32_t head = toBig(count);
    std::memcpy(room, &head, 4);
    const auto* in = static_cast<const uint8_t*>(values);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t w;
        std::memcpy(&w, in + size_t(i) * 4, 4);
        w = toBig(w);
        std::memcpy(room + 4 + size_t(i) * 4, &w, 4);
    }
    return kIffOk;
}

const void* readWords(const void* cursor, int& remaining, void* values, uint32_t count) {
    if (!cursor || !TpolyIOUtil::holds(remaining, count)) return nullptr;
    const auto* in = static_cast<const uint8_t*>(cursor);
    auto* out = static_cast<uint8_t*>(values);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t w;
        std::memcpy(&w, in + size_t(i) * 4, 4);
        w = toBig(w);
        std::memcpy(out + size_t(i) * 4, &w, 4);
    }
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
