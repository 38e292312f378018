// The chain scripts/opchain-overhead.sh runs through `brindle op`, here straight through the
// library, so that the script can report what the tool adds to the work it runs: read the OBJ
// file, subdivide faces 0-99999 once, triangulate every face, soften the edges whose faces meet
// at less than 0.5 radians, extrude faces 0-199999 by 0.5 along z, merge the vertices closer
// than 0.01, and write the result as OBJ. Selections are the tool's ranges counted on the record
// as each step starts; parameters are set through the typed setters.
//
// usage: bench_opchain [--input=in.obj] [--output=out.obj] [benchmark flags]
// The input defaults to a file in the temporary folder; a missing input is first made as
// `brindle primitive plane --width 100 --height 100 --xSubdivide 1000 --ySubdivide 1000` makes
// it (1M quads, UVs and normals), outside the timing. One chain per process (one iteration, one
// repetition), as the tool runs one per process; the time is processor time of every thread.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "brindle/brindle.h"
#include "brindle/objreader/ObjImport.h"
#include "brindle/objreader/ObjWriter.h"

namespace {

std::string gInput = (std::filesystem::temp_directory_path() / "brindle-opchain-grid.obj").string();
std::string gOutput = (std::filesystem::temp_directory_path() / "brindle-opchain-out.obj").string();

bool makeInput(const std::string& path) {
    TmeshMeshFty plane;
    plane.setWidth(100);
    plane.setHeight(100);
    plane.setXSubdivide(1000);
    plane.setYSubdivide(1000);
    plane.setUVSetName("map1");
    TmidBody body;
    plane.build(body);
    TobjWriteReport report;
    return TobjWriter::write(*body.polyGeom(), path.c_str(), {}, report);
}

// Components 0 .. n - 1, as the tool reads "0-99999" or, with n the record's count, "all".
template <typename List>
List idsBelow(uint32_t n) {
    List list;
    if (n) list.addRange(0, n - 1);
    return list;
}

constexpr const char* kPhases[] = {"read",         "subdFacet", "triangulate", "softEdge",
                                   "extrudeFacet", "mergeVert", "write"};
constexpr int kNbPhase = int(std::size(kPhases));

// Runs the phases in order, adding each one's seconds to seconds[phase]; answers the face count
// of the result, or -1 when a phase failed.
double runChain(double (&seconds)[kNbPhase]) {
    using Tclock = std::chrono::steady_clock;
    Tclock::time_point ends[kNbPhase + 1] = {Tclock::now()};
    int done = 0;
    const auto ended = [&](bool ok) {
        ends[++done] = Tclock::now();
        return ok;
    };
    TobjImportReport report;
    std::unique_ptr<TmidBody> body;
    const auto geom = [&] { return body->polyGeom(); };
    const auto act = [&](TmidModifierFty& fty, auto list) { return ended(fty.doAction(body.get(), &list) == 0); };
    TpolySubdFacetFty subdivide;
    subdivide.setDivisions(1);
    TpolyTriangulateFty triangulate;
    TpolySoftEdgeFty soften;
    soften.setAngle(0.5);
    TpolyExtrudeFacetFty extrude;
    extrude.setTrans({0, 0, 0.5f});
    extrude.setScale({1, 1, 1});
    extrude.setLScale({1, 1, 1});
    TpolyMergeVertFty merge;
    merge.setThreshold(0.01f);
    TobjWriteReport written;
    if (TpolyGeom* g = TobjImport::read(gInput.c_str(), report)) body = std::make_unique<TmidBody>(g);
    const bool ok = ended(body != nullptr) && act(subdivide, idsBelow<TmidFaceComponent>(100000)) &&
                    act(triangulate, idsBelow<TmidFaceComponent>(geom()->nbFace())) &&
                    act(soften, idsBelow<TmidEdgeComponent>(geom()->nbEdge())) &&
                    act(extrude, idsBelow<TmidFaceComponent>(200000)) &&
                    act(merge, idsBelow<TmidVertComponent>(geom()->nbVertex())) &&
                    ended(TobjWriter::write(*geom(), gOutput.c_str(), report.groupNames, written));
    for (int k = 0; k < done; ++k) seconds[k] += std::chrono::duration<double>(ends[k + 1] - ends[k]).count();
    return ok ? double(geom()->nbFace()) : -1;
}

void BM_OpChain(benchmark::State& state) {
    double seconds[kNbPhase] = {};
    double faces = 0;
    for (auto _ : state)
        if ((faces = runChain(seconds)) < 0) state.SkipWithError("a phase of the chain failed");
    state.counters["faces"] = faces;
    for (int k = 0; k < kNbPhase; ++k)
        state.counters[std::string(kPhases[k]) + "_ms"] = 1e3 * seconds[k] / double(state.iterations());
}

}  // namespace

BENCHMARK(BM_OpChain)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(1)->MeasureProcessCPUTime();

int main(int argc, char** argv) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--input=", 8) == 0)
            gInput = argv[i] + 8;
        else if (std::strncmp(argv[i], "--output=", 9) == 0)
            gOutput = argv[i] + 9;
        else
            rest.push_back(argv[i]);
    }
    if (!std::filesystem::exists(gInput) && !makeInput(gInput)) {
        std::fprintf(stderr, "bench_opchain: cannot write %s\n", gInput.c_str());
        return 1;
    }
    int n = int(rest.size());
    benchmark::Initialize(&n, rest.data());
    if (benchmark::ReportUnrecognizedArguments(n, rest.data())) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
