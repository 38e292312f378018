// Feeds arbitrary text to the dump reader, then checks the record it built, reads every face's
// corner count and writes it as OBJ (output discarded); the sanitizers catch any read or write
// outside the text and the record's arrays.
#include "brindle/brindle.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (TdebugOutput::sCerr.redirect(nullptr), true);
    (void)quiet;
    TpolyGeom g;
    g.loadObjectText(std::string_view(reinterpret_cast<const char*>(data), size));
    g.checkObject(kCheckEdges | kCheckDescription);
    g.update(dirtyFaceOffsets);
    for (uint32_t f = 0; f < g.nbFace(); ++f) (void)g.faceVertexCount(f);
    std::string obj;
    TobjWriteReport report;
    TobjWriter::format(g, {}, obj, report);
    return 0;
}
