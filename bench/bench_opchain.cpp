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
// repetition), as the tool runs one per process; the time is processor time of every thread,
// as the script measures the tool's.
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

// Times each phase into seconds[phase]; false at the first that fails.
class TchainRun {
public:
    explicit TchainRun(double (&seconds)[kNbPhase]) : fSeconds(seconds) {}

    template <typename Run>
    bool phase(Run&& run) {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = run();
        fSeconds[fPhase++] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return ok;
    }

private:
    double (&fSeconds)[kNbPhase];
    int fPhase = 0;
};

// Answers the face count of the result, or -1 when a phase failed.
double runChain(double (&seconds)[kNbPhase]) {
    TchainRun run(seconds);
    TobjImportReport report;
    std::unique_ptr<TmidBody> body;
    const auto geom = [&] { return body->polyGeom(); };
    const bool ok =
        run.phase([&] {
            TpolyGeom* g = TobjImport::read(gInput.c_str(), report);
            if (g) body = std::make_unique<TmidBody>(g);
            return g != nullptr;
        }) &&
        run.phase([&] {
            TpolySubdFacetFty subdivide;
            subdivide.setDivisions(1);
            TmidFaceComponent list = idsBelow<TmidFaceComponent>(100000);
            return subdivide.doAction(body.get(), &list) == 0;
        }) &&
        run.phase([&] {
            TpolyTriangulateFty triangulate;
            TmidFaceComponent list = idsBelow<TmidFaceComponent>(geom()->nbFace());
            return triangulate.doAction(body.get(), &list) == 0;
        }) &&
        run.phase([&] {
            TpolySoftEdgeFty soften;
            soften.setAngle(0.5);
            TmidEdgeComponent list = idsBelow<TmidEdgeComponent>(geom()->nbEdge());
            return soften.doAction(body.get(), &list) == 0;
        }) &&
        run.phase([&] {
            TpolyExtrudeFacetFty extrude;
            extrude.setTrans({0, 0, 0.5f});
            extrude.setScale({1, 1, 1});
            extrude.setLScale({1, 1, 1});
            TmidFaceComponent list = idsBelow<TmidFaceComponent>(200000);
            return extrude.doAction(body.get(), &list) == 0;
        }) &&
        run.phase([&] {
            TpolyMergeVertFty merge;
            merge.setThreshold(0.01f);
            TmidVertComponent list = idsBelow<TmidVertComponent>(geom()->nbVertex());
            return merge.doAction(body.get(), &list) == 0;
        }) &&
        run.phase([&] {
            TobjWriteReport written;
            return TobjWriter::write(*geom(), gOutput.c_str(), report.groupNames, written);
        });
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
