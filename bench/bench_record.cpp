// Building a 1M-face record through the append interface, and copying against sharing it.
#include <benchmark/benchmark.h>

#include "support/GridBuilder.h"

namespace {

void BM_BuildQuadGrid(benchmark::State& state) {
    const uint32_t n = static_cast<uint32_t>(state.range(0));
    size_t bytes = 0;
    for (auto _ : state) {
        TpolyGeom g;
        buildQuadGrid(g, n);
        g.update(dirtyFaceOffsets);
        bytes = g.bytesAllocated();
        benchmark::DoNotOptimize(g.nbFace());
    }
    state.counters["faces"] = double(n) * n;
    state.counters["bytes/face"] = double(bytes) / (double(n) * n);
}
BENCHMARK(BM_BuildQuadGrid)->Arg(1000)->Unit(benchmark::kMillisecond);

const TpolyGeom& grid() {
    static TpolyGeom* g = [] {
        auto* r = new TpolyGeom;
        buildQuadGrid(*r, 1000);
        r->update(dirtyFaceOffsets);
        return r;
    }();
    return *g;
}

void BM_CopyRecord(benchmark::State& state) {
    const TpolyGeom& src = grid();
    for (auto _ : state) {
        TpolyGeom copy(src);
        benchmark::DoNotOptimize(copy.nbEdge());
    }
}
BENCHMARK(BM_CopyRecord)->Unit(benchmark::kMillisecond);

void BM_ShareRecord(benchmark::State& state) {
    const TpolyGeom& src = grid();
    for (auto _ : state) {
        TpolyGeom shared;
        shared.share(src, kCompAll);
        benchmark::DoNotOptimize(shared.nbEdge());
    }
}
BENCHMARK(BM_ShareRecord)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
