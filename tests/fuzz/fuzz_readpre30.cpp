// Feeds arbitrary bytes, as the one chunk of a file, to the older-file reader, with the batch flag
// off and on. A record it accepts must pass the validator's walk without a fault and write a
// current chunk that reads back whole.
#include "brindle/brindle.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TiffFile file;
    if (file.beginChunk(TiffTag("OLDP")) != kIffOk || file.write(data, size) != kIffOk || file.endChunk() != kIffOk)
        return 0;
    for (bool lean : {false, true}) {
        TbatchGlobals::fNotWritingPolyColors = lean;
        TpolyGeom g;
        const bool read = TpolyGeomFFCompat::readBinaryPre3_0(TiffTag("OLDP"), file, g);
        TbatchGlobals::fNotWritingPolyColors = false;
        if (!read) continue;
        TdebugOutput::sCerr.redirect(nullptr);  // most accepted records are not sound meshes
        g.checkObject(kCheckAll);
        TdebugOutput::sCerr.restore();
        TiffFile out;
        if (out.beginChunk(TiffTag("POLY")) != kIffOk || g.writeBinary(out) != kIffOk || out.endChunk() != kIffOk)
            std::abort();
        std::vector<std::uint8_t> again(out.chunk(0).data, out.chunk(0).data + out.chunk(0).size);
        TpolyGeom back;
        int n = int(again.size());
        if (!back.readBinary(again.data(), n, true) || n != 0) std::abort();
    }
    return 0;
}
