#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "brindle/base/Export.h"

// A four-character chunk tag, first character in the most significant byte.
class BRINDLE_API TiffTag {
public:
    constexpr TiffTag() = default;
    constexpr explicit TiffTag(uint32_t id) : fId(id) {}
    constexpr TiffTag(const char (&text)[5])
        : fId(uint32_t(uint8_t(text[0])) << 24 | uint32_t(uint8_t(text[1])) << 16 | uint32_t(uint8_t(text[2])) << 8 |
              uint32_t(uint8_t(text[3]))) {}
    constexpr uint32_t id() const { return fId; }
    constexpr bool operator==(const TiffTag&) const = default;
    std::string text() const;

private:
    uint32_t fId = 0;
};

// Status of a file operation; every failure is negative.
enum TiffStatus : int {
    kIffOk = 0,
    kIffNoChunk = -1,   // data written while no chunk is open, or a chunk opened inside another
    kIffTooLarge = -2,  // a chunk or the file would outgrow its 32-bit size field
    kIffIoError = -3,   // the disk file could not be written or read
    kIffBadFormat = -4  // the bytes are not one well-formed group of chunks
};

// One IFF file held in memory: a "FORM" group of a form type holding a flat run of chunks, each a
// tag, a big-endian 32-bit size and the data, padded with a zero byte to an even length (the pad
// is not counted in the size). The group's size field always covers every closed chunk, so the
// bytes are a complete file whenever no chunk is open. Chunk data read back points into the file's
// own buffer and stays valid until the file is changed.
class BRINDLE_API TiffFile {
public:
    struct Chunk {
        TiffTag tag;
        const uint8_t* data;
        uint32_t size;
    };

    explicit TiffFile(TiffTag formType = TiffTag("BRDL"));

    TiffTag formType() const;

    // Writing: open a chunk, append its data, close it.
    TiffStatus beginChunk(TiffTag tag);
    TiffStatus write(const void* data, size_t bytes);
    // Room for bytes more data in the open chunk, for writers that fill it in place; null (and
    // status set) when no chunk is open or the chunk would grow too large.
    uint8_t* extend(size_t bytes, TiffStatus& status);
    TiffStatus endChunk();
    bool inChunk() const { return fOpen != kNone; }
    // Room for bytes more data (and the pad of the chunk they end) without moving the buffer: a
    // writer that knows an upper bound of its chunk calls it first, so the file grows once.
    void reserve(size_t bytes);

    // Reading: the closed chunks in file order.
    uint32_t nbChunk() const { return uint32_t(fChunks.size()); }
    Chunk chunk(uint32_t i) const;
    // The n-th chunk with that tag; false when there is none.
    bool findChunk(TiffTag tag, Chunk& out, uint32_t n = 0) const;

    const std::vector<uint8_t>& bytes() const { return fBytes; }
    // Replaces the contents by a whole file; on kIffBadFormat the file is left as it was.
    TiffStatus parse(const void* data, size_t size);
    TiffStatus save(const char* path) const;
    TiffStatus load(const char* path);

private:
    static constexpr size_t kNone = ~size_t(0);
    static constexpr size_t kMaxSize = 0x7FFFFFF0;  // chunk sizes must also fit a signed count

    void putSize(size_t at, size_t size);
    // Collects the header offset of every chunk of a whole file; false when it is not one.
    static bool scan(const uint8_t* p, size_t size, std::vector<size_t>& chunks);
    TiffStatus adopt(std::vector<uint8_t>&& bytes);

    std::vector<uint8_t> fBytes;
    std::vector<size_t> fChunks;  // header offset of every closed chunk
    size_t fOpen = kNone;         // header offset of the open chunk
};
