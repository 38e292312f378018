// Feeds arbitrary bytes to the OBJ import as a file. Either the import fails with a message, or the
// record it answers holds only in-range indices and can be written out again.
#include "brindle/objreader/ObjImport.h"
#include "brindle/objreader/ObjWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

#include "brindle/geom/PolyGeom.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static char path[] = "/tmp/fuzz_objimportXXXXXX";
    static const int fd = mkstemp(path);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    TobjImportReport report;
    std::unique_ptr<TpolyGeom> g(TobjImport::read(path, report));
    if (!g) {
        if (report.error.empty()) std::abort();
        return 0;
    }
    if (g->checkIndices() != 0) std::abort();
    std::string text;
    TobjWriteReport written;
    TobjWriter::format(*g, report.groupNames, text, written);
    return 0;
}
