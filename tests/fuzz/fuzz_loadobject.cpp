// Feeds arbitrary text to the dump reader, then checks the record it built (output discarded); the
// sanitizers catch any read or write outside the text and the record's arrays.
#include "brindle/brindle.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (TdebugOutput::sCerr.redirect(nullptr), true);
    (void)quiet;
    TpolyGeom g;
    g.loadObjectText(std::string_view(reinterpret_cast<const char*>(data), size));
    g.checkObject(0x3);
    return 0;
}
