// Feeds arbitrary bytes to the OBJ reader as a file and reads every command; the sanitizers catch
// any read or write outside the reader's buffers and records.
#include "brindle/objreader/ObjReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static char path[] = "/tmp/fuzz_objreaderXXXXXX";
    static const int fd = mkstemp(path);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    TobjParser* parser = PARSE_init(path);
    if (parser->initFile(parser, path, 0, nullptr) == 0)
        while (TobjCommand* c = parser->command(parser))
            if (c->code == OBJ_CMD_F && c->as.face.count < 3) std::abort();
    parser->close(parser);
    return 0;
}
