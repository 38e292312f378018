#pragma once

#include <cstdint>

#include "brindle/base/Export.h"
#include "brindle/base/IffFile.h"

// The items records are saved as inside a chunk: an int item is one big-endian 32-bit word; an
// array item is its count as an int item followed by that many big-endian 32-bit values (ints or
// IEEE floats). Writers answer the file's status. Readers take a cursor into a chunk held in memory
// and the bytes left in it; on success they lower the remaining count by what they consumed and
// answer the advanced cursor, and on a chunk too short (or a null cursor, so that reads can be
// chained) they answer null with the outputs and the remaining count untouched.
class BRINDLE_API TpolyIOUtil {
public:
    static TiffStatus writeInt(TiffFile& file, int32_t value);
    static TiffStatus writeArray(TiffFile& file, uint32_t count, const int32_t* values);
    static TiffStatus writeArray(TiffFile& file, uint32_t count, const uint32_t* values);
    static TiffStatus writeArray(TiffFile& file, uint32_t count, const float* values);
    // Doubles travel narrowed to floats.
    static TiffStatus writeArray(TiffFile& file, uint32_t count, const double* values);
    // One float array item of count groups of take values, the groups stride floats apart in
    // values (the leading values of each element of an array of structs).
    static TiffStatus writeArray(TiffFile& file, uint32_t count, const float* values, uint32_t take, uint32_t stride);

    // The count of an array item, or any int item read as unsigned.
    static const void* readSize(const void* cursor, int& remaining, uint32_t& count);
    static const void* readInt(const void* cursor, int& remaining, int32_t& value);
    // count values into values, which must have room for them.
    static const void* readArray(const void* cursor, int& remaining, int32_t* values, uint32_t count);
    static const void* readArray(const void* cursor, int& remaining, uint32_t* values, uint32_t count);
    static const void* readArray(const void* cursor, int& remaining, float* values, uint32_t count);

    // Whether count values can still follow in remaining bytes: readers check a count with it
    // before sizing anything, so corrupted counts never cause large allocations.
    static bool holds(int remaining, uint64_t count) { return remaining >= 0 && count <= uint64_t(remaining) / 4; }
};
