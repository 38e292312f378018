// Feeds arbitrary bytes to the record's binary reader, with and without creases; whatever it
// accepts must write back and read again whole. The sanitizers catch reads outside the chunk.
#include "brindle/brindle.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    for (bool withCreases : {true, false}) {
        TpolyGeom g;
        int left = int(bytes.size());
        if (!g.readBinary(bytes.data(), left, withCreases)) continue;
        TiffFile file;
        if (file.beginChunk(TiffTag("POLY")) != kIffOk || g.writeBinary(file) != kIffOk || file.endChunk() != kIffOk)
            std::abort();
        const TiffFile::Chunk c = file.chunk(0);
        std::vector<std::uint8_t> again(c.data, c.data + c.size);
        TpolyGeom back;
        int n = int(again.size());
        if (!back.readBinary(again.data(), n, withCreases) || n != (withCreases ? 0 : 4))
            std::abort();  // a record read without creases writes the single 0 of no crease
    }
    return 0;
}
