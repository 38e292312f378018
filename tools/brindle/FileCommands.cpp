// brindle info, check, dump and convert: commands that import an OBJ file into a record.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "AtomicOutput.h"
#include "Commands.h"
#include "brindle/base/BitField.h"
#include "brindle/base/Computation.h"
#include "brindle/brindle.h"
#include "brindle/objreader/ObjImport.h"
#include "brindle/objreader/ObjWriter.h"

namespace {

// A one-line progress bar on stderr, redrawn when the percentage changes.
struct TprogressBar {
    int percent = -1;
    static void progress(void* user, int value, int min, int max) {
        auto* bar = static_cast<TprogressBar*>(user);
        const int p = max > min ? int(100.0 * (value - min) / (max - min)) : 100;
        if (p == bar->percent) return;
        bar->percent = p;
        char line[64];
        std::memset(line, ' ', 40);
        std::memset(line, '#', std::size_t(p > 100 ? 40 : p * 40 / 100));
        std::fprintf(stderr, "\rreading [%.40s] %3d%%", line, p);
    }
    static void end(void* user) {
        if (static_cast<TprogressBar*>(user)->percent >= 0) std::fputs("\r\033[K", stderr);
    }
};

// The one-file commands take exactly one path after the command; anything more is a usage error.
const char* singlePath(int argc, char** argv, const char* usage) {
    const bool help = wantsHelp(argc, argv);
    if (argc != 3 || help) {
        std::fprintf(help ? stdout : stderr, "%s", usage);
        return nullptr;
    }
    return argv[2];
}

}  // namespace

int runInfo(int argc, char** argv) {
    const char* path = singlePath(argc, argv,
                                  "usage: brindle info <file.obj>\nImports the file and prints vertex, edge, face "
                                  "and corner counts, faces with holes, border and non-manifold edges and vertices, "
                                  "UV and colour sets and face groups.\n");
    if (!path) return wantsHelp(argc, argv) ? 0 : 2;
    TobjImportReport report;
    std::unique_ptr<TpolyGeom> g = loadObjFile("info", path, report);
    if (!g) return 1;
    g->update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
    uint32_t holed = 0, borderEdges = 0, nonManifoldEdges = 0, borderVertices = 0, nonManifoldVertices = 0;
    for (uint32_t f = 0; f < g->nbFace(); ++f) {
        const uint32_t first = g->faceOffset(f), n = g->faceVertexCount(f);
        bool hole = false;
        for (uint32_t o = first; o + 1 < first + n && !hole; ++o) hole = g->endOfLoop(o);
        holed += hole;
    }
    TbitFieldFixedN onBorder(g->nbVertex());
    for (uint32_t e = 0; e < g->nbEdge(); ++e) {
        nonManifoldEdges += !g->isEdgeManifold(e);
        if (!g->isBorder(e)) continue;
        ++borderEdges;
        onBorder.setBit(g->startVertex(e), true);
        onBorder.setBit(g->endVertex(e), true);
    }
    for (uint32_t v = 0; v < g->nbVertex(); ++v) {
        borderVertices += onBorder.testBit(v);
        nonManifoldVertices += !g->isVertexTwoManifold(v);
    }
    std::printf("%s\n  vertices %u, edges %u, faces %u, corners %u\n", path, g->nbVertex(), g->nbEdge(), g->nbFace(),
                g->faceDescLength());
    std::printf("  faces with holes %u\n  border edges %u, border vertices %u\n", holed, borderEdges, borderVertices);
    std::printf("  non-manifold edges %u, non-manifold vertices %u\n", nonManifoldEdges, nonManifoldVertices);
    std::printf("  user normals %s\n", g->hasUserNormals() ? "yes" : "no");
    Tstring name;
    for (uint32_t s = 0; s < g->nbMapSet(); ++s) {
        g->mapName(s, name);
        std::printf("  UV set \"%s\": %u points\n", name.c_str(), g->nbUV(s));
    }
    for (uint32_t s = 0; s < g->nbColorSet(); ++s) {
        g->colorName(s, name);
        std::printf("  colour set \"%s\"\n", name.c_str());
    }
    if (g->nbColorSet() == 0) std::printf("  colour sets none\n");
    for (std::size_t k = 0; k < report.groupNames.size(); ++k)
        std::printf("  face group %zu \"%s\": %u faces\n", k + 1, report.groupNames[k].c_str(),
                    g->nbElem(int32_t(k + 1), kPolyGrpFace));
    const uint32_t errors = g->checkObject(kCheckAll);
    std::printf("  check: %u errors\n", errors);
    return 0;
}

int runCheck(int argc, char** argv) {
    const char* path = singlePath(argc, argv,
                                  "usage: brindle check <file.obj>\nImports the file and runs the record's consistency "
                                  "check on its edges, face description and face offsets; the messages go to standard "
                                  "error and the exit status is 1 when any error was found.\n");
    if (!path) return wantsHelp(argc, argv) ? 0 : 2;
    TobjImportReport report;
    std::unique_ptr<TpolyGeom> g = loadObjFile("check", path, report);
    if (!g) return 1;
    g->update(dirtyFaceOffsets);
    const uint32_t errors = g->checkObject(kCheckAll);
    std::printf("%s: %u errors\n", path, errors);
    return errors ? 1 : 0;
}

int runDump(int argc, char** argv) {
    const char* usage =
        "usage: brindle dump <file.obj> [--flags N]\nImports the file and prints the record's text "
        "dump; N (decimal or 0x hex, default 0xFFFFFFFF) selects the parts.\n";
    if (wantsHelp(argc, argv)) {
        std::printf("%s", usage);
        return 0;
    }
    unsigned long flags = 0xFFFFFFFFul;
    if (argc == 5 && std::strcmp(argv[3], "--flags") == 0) {
        char* end = nullptr;
        flags = std::strtoul(argv[4], &end, 0);
        if (!*argv[4] || *end || flags > 0xFFFFFFFFul) {
            std::fprintf(stderr, "brindle dump: --flags wants a number, not \"%s\"\n", argv[4]);
            return 2;
        }
    } else if (argc != 3) {
        std::fprintf(stderr, "%s", usage);
        return 2;
    }
    TobjImportReport report;
    std::unique_ptr<TpolyGeom> g = loadObjFile("dump", argv[2], report);
    if (!g) return 1;
    g->debug(TdebugOutput::sCout, unsigned(flags));
    return 0;
}

int runConvert(int argc, char** argv) {
    if (argc != 4 || wantsHelp(argc, argv)) {
        std::fprintf(argc == 4 || wantsHelp(argc, argv) ? stdout : stderr,
                     "usage: brindle convert <in.obj> <out.obj>\nImports the file into a record (shared edges, "
                     "UVs, normals, groups) and writes the record as OBJ.\n");
        return wantsHelp(argc, argv) ? 0 : 2;
    }
    // The output is opened first, so that an unwritable destination fails before the read; the
    // destination itself is replaced only once the new text is complete, which also makes
    // converting a file onto itself safe.
    TatomicOutput output(argv[3]);
    if (!openOutput("convert", output)) return 1;
    TobjImportReport report;
    std::unique_ptr<TpolyGeom> g = loadObjFile("convert", argv[2], report);
    if (!g || !writeObjFile("convert", *g, output, report.groupNames)) return 1;
    std::printf("%s: %u vertices, %u faces written to %s\n", argv[2], g->nbVertex(), g->nbFace(), argv[3]);
    return 0;
}

std::unique_ptr<TpolyGeom> loadObjFile(const char* command, const char* path, TobjImportReport& report) {
    TprogressBar bar;
    if (isatty(2)) {
        Tcomputation::Hooks hooks;
        hooks.progress = TprogressBar::progress;
        hooks.end = TprogressBar::end;
        hooks.user = &bar;
        Tcomputation::setHooks(hooks);
    }
    std::unique_ptr<TpolyGeom> g(TobjImport::read(path, report));
    Tcomputation::setHooks(Tcomputation::Hooks{});
    for (const std::string& w : report.warnings) std::fprintf(stderr, "brindle %s: warning: %s\n", command, w.c_str());
    if (report.skippedFaces > report.warnings.size())
        std::fprintf(stderr, "brindle %s: warning: %u faces skipped in all\n", command, report.skippedFaces);
    if (!g) std::fprintf(stderr, "brindle %s: %s\n", command, report.error.c_str());
    return g;
}

bool openOutput(const char* command, TatomicOutput& out) {
    std::string error;
    if (out.open(error)) return true;
    std::fprintf(stderr, "brindle %s: %s\n", command, error.c_str());
    return false;
}

bool writeObjFile(const char* command, TpolyGeom& geom, TatomicOutput& out,
                  const std::vector<std::string>& groupNames) {
    TobjWriteReport report;
    std::string error;
    if (!TobjWriter::write(geom, out.tempPath().c_str(), groupNames, report)) {
        // The writer names the file it wrote; the user knows the destination.
        error = report.error;
        if (error.compare(0, out.tempPath().size(), out.tempPath()) == 0)
            error.replace(0, out.tempPath().size(), out.destination());
    } else if (out.commit(error)) {
        for (const std::string& w : report.warnings)
            std::fprintf(stderr, "brindle %s: warning: %s\n", command, w.c_str());
        return true;
    }
    std::fprintf(stderr, "brindle %s: %s\n", command, error.c_str());
    return false;
}
