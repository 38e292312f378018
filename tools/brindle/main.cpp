// The brindle command-line tool: runs library features on built-in shapes and OBJ files.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "Commands.h"

namespace {

int usage(FILE* out) {
    std::fprintf(out,
                 "usage: brindle <command> [options]    (brindle <command> --help for each)\n"
                 "commands:\n"
                 "  primitive <shape> [--param value ...] -o out.obj   build a primitive and write it\n"
                 "  info <file.obj>       counts, holes, borders, non-manifold parts, UV and colour sets\n"
                 "  check <file.obj>      consistency check of the imported record\n"
                 "  dump <file.obj> [--flags N]   text dump of the imported record\n"
                 "  convert <in.obj> <out.obj>    import and write again\n"
                 "  op <in.obj> <out.obj> <operation> [--param value ...] [--faces ids] [then ...]\n"
                 "                        run operations on the file (brindle op --help)\n"
                 "  ops [NAME]            list the operations, or one operation's parameters\n"
                 "  subdivide <in.obj> <out.obj> [--levels N]   subdivision surface\n"
                 "  reduce <in.obj> <out.obj> [--percent P]     remove faces by edge collapses\n"
                 "  uv <in.obj> <out.obj> [--method M]          new UVs by projection and layout\n"
                 "  render <in.obj> <out.png> [--size WxH] [--view NAME] [--wire]   shaded picture as PNG\n"
                 "  demo                  build records from built-in shapes and print what was built\n"
                 "  --help                show this text\n");
    return out == stdout ? 0 : 2;
}

}  // namespace

bool wantsHelp(int argc, char** argv) {
    for (int i = 2; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    return false;
}

int main(int argc, char** argv) {
    if (argc < 2) return usage(stderr);
    const std::string_view cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") return usage(stdout);
    const struct {
        const char* name;
        int (*run)(int, char**);
    } commands[] = {{"demo", runDemo},           {"primitive", runPrimitive}, {"info", runInfo}, {"check", runCheck},
                    {"dump", runDump},           {"convert", runConvert},     {"op", runOp},     {"ops", runOps},
                    {"subdivide", runSubdivide}, {"reduce", runReduce},       {"uv", runUv},     {"render", runRender}};
    for (const auto& c : commands)
        if (cmd == c.name) return c.run(argc, argv);
    std::fprintf(stderr, "brindle: unknown command '%s'\n", argv[1]);
    return usage(stderr);
}
