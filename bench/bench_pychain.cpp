// The chain of operations that python/bench_chain.py runs through the Python module, here straight
// through the factories with typed setters and component lists made in C++: on a 1000 x 1000 quad
// grid (1M faces) built by the vertex builder, subdivide every 10th face, triangulate every face,
// smooth every 100th face, merge the vertices closer than 0.01 and extrude every 100th face.
// Each step's selection is taken from the counts the record has when the step starts; the time of
// each step is a counter. The record is copied outside the timing. One untimed chain runs first,
// as in the script, so that both time a process whose heap has already held the chain's arrays.
// The script runs this program and reports the ratio of its own time to this one.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <memory>
#include <string>

#include "MeshInputs.h"
#include "brindle/brindle.h"

namespace {

constexpr uint32_t kSide = 1000;

const TpolyGeom& grid() {
    static const std::unique_ptr<TpolyGeom> g(buildRecord(flatQuadGrid(kSide)));
    return *g;
}

// Ids 0, step, 2 step, ... below n.
template <typename List>
List every(uint32_t n, uint32_t step) {
    List list;
    if (step == 1 && n)
        list.addRange(0, n - 1);
    else
        for (uint32_t id = 0; id < n; id += step) list.addElement(id);
    return list;
}

constexpr const char* kSteps[] = {"subdivide", "triangulate", "smooth", "merge_vertices", "extrude"};
constexpr int kNbStep = int(std::size(kSteps));

// Runs the chain, adding each step's seconds (selection included) to seconds[step].
bool runChain(TmidBody& body, double (&seconds)[kNbStep]) {
    int step = 0;
    const auto timed = [&](auto&& run) {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = run();
        seconds[step++] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return ok;
    };
    const auto faces = [&](uint32_t stride) { return every<TmidFaceComponent>(body.polyGeom()->nbFace(), stride); };
    return timed([&] {
               TpolySubdFacetFty subdivide;
               subdivide.setDivisions(1);
               TmidFaceComponent list = faces(10);
               return subdivide.doAction(&body, &list) == 0;
           }) &&
           timed([&] {
               TpolyTriangulateFty triangulate;
               TmidFaceComponent list = faces(1);
               return triangulate.doAction(&body, &list) == 0;
           }) &&
           timed([&] {
               TpolySmoothFacetFty smooth;
               smooth.setDivisions(1);
               TmidFaceComponent list = faces(100);
               return smooth.doAction(&body, &list) == 0;
           }) &&
           timed([&] {
               TpolyMergeVertFty merge;
               merge.setThreshold(0.01f);
               TmidVertComponent list = every<TmidVertComponent>(body.polyGeom()->nbVertex(), 1);
               return merge.doAction(&body, &list) == 0;
           }) &&
           timed([&] {
               TpolyExtrudeFacetFty extrude;
               extrude.setOffset(1.0f);
               TmidFaceComponent list = faces(100);
               return extrude.doAction(&body, &list) == 0;
           });
}

void BM_Chain(benchmark::State& state) {
    const TpolyGeom& base = grid();
    double seconds[kNbStep] = {};
    {
        TmidBody warm(new TpolyGeom(base));
        if (!runChain(warm, seconds)) state.SkipWithError("an operation of the chain refused");
        std::fill(std::begin(seconds), std::end(seconds), 0.0);
    }
    for (auto _ : state) {
        state.PauseTiming();
        auto body = std::make_unique<TmidBody>(new TpolyGeom(base));
        state.ResumeTiming();
        if (!runChain(*body, seconds)) state.SkipWithError("an operation of the chain refused");
        state.PauseTiming();
        state.counters["faces"] = body->polyGeom()->nbFace();
        body.reset();
        state.ResumeTiming();
    }
    for (int k = 0; k < kNbStep; ++k)
        state.counters[std::string(kSteps[k]) + "_ms"] = 1e3 * seconds[k] / double(state.iterations());
}

}  // namespace

// One chain per repetition, so that the median compares with the script's median.
BENCHMARK(BM_Chain)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK_MAIN();
