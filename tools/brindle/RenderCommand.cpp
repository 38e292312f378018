// brindle render: imports an OBJ file and writes a shaded picture of it as PNG.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "AtomicOutput.h"
#include "Commands.h"
#include "PngWriter.h"
#include "Render.h"
#include "brindle/brindle.h"
#include "brindle/objreader/ObjImport.h"

namespace {

constexpr int kMaxSide = 16384;

const char* const kUsage =
    "usage: brindle render <in.obj> <out.png> [--size WxH] [--view NAME] [--wire] [--uv-checker]\n"
    "Imports the file and writes a shaded picture of it, framed on its bounding box: shading normals\n"
    "(hard edges show as creases and thin lines), faces seen from behind in orange.\n"
    "  --size WxH     image size in pixels, 1 to 16384 each [512x512]\n"
    "  --view NAME    front, back, left, right, top, bottom (orthographic) or persp [persp]\n"
    "  --wire         draw every edge\n"
    "  --uv-checker   a checker over the first UV set\n";

// "WxH" with both sides in 1..kMaxSide.
bool parseSize(const char* text, int& width, int& height) {
    char* end = nullptr;
    const long w = std::strtol(text, &end, 10);
    if (end == text || *end != 'x') return false;
    const char* second = end + 1;
    const long h = std::strtol(second, &end, 10);
    if (end == second || *end || w < 1 || h < 1 || w > kMaxSide || h > kMaxSide) return false;
    width = int(w), height = int(h);
    return true;
}

int usageError(const char* why, const char* value) {
    std::fprintf(stderr, "brindle render: %s \"%s\"\n", why, value);
    return 2;
}

}  // namespace

int runRender(int argc, char** argv) {
    if (wantsHelp(argc, argv)) {
        std::printf("%s", kUsage);
        return 0;
    }
    if (argc < 4) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    TrenderOptions options;
    for (int i = 4; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--wire") {
            options.wire = true;
        } else if (arg == "--uv-checker") {
            options.uvChecker = true;
        } else if (arg == "--size" && hasValue) {
            if (!parseSize(argv[++i], options.width, options.height))
                return usageError("--size wants WxH with sides from 1 to 16384, not", argv[i]);
        } else if (arg == "--view" && hasValue) {
            if (!parseRenderView(argv[++i], options.view))
                return usageError((std::string("--view wants ") + renderViewNames() + ", not").c_str(), argv[i]);
        } else {
            return usageError(arg == "--size" || arg == "--view" ? "missing value after" : "unknown option", argv[i]);
        }
    }
    // As for every output: an unwritable destination fails before the read, and the picture
    // replaces the destination only once it is complete.
    TatomicOutput output(argv[3]);
    if (!openOutput("render", output)) return 1;
    TobjImportReport report;
    std::unique_ptr<TpolyGeom> g = loadObjFile("render", argv[2], report);
    if (!g) return 1;
    TrenderImage image;
    TrenderTimes times;
    std::string error;
    if (!renderRecord(*g, options, image, times, error)) {
        std::fprintf(stderr, "brindle render: %s: %s\n", argv[2], error.c_str());
        return 1;
    }
    if (!writePng(output.tempPath(), image, error) || !output.commit(error)) {
        // The writer names the file it wrote; the user knows the destination.
        if (error.compare(0, output.tempPath().size(), output.tempPath()) == 0)
            error.replace(0, output.tempPath().size(), output.destination());
        std::fprintf(stderr, "brindle render: %s\n", error.c_str());
        return 1;
    }
    std::printf(
        "%s: %u faces drawn at %dx%d into %s (processor seconds: "
        "triangles and normals %.3f, accelerator %.3f, rays %.3f)\n",
        argv[2], g->nbFace(), image.width, image.height, argv[3], times.derived, times.build, times.trace);
    return 0;
}
