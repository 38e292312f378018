// Walks over a 1000 x 1000 quad grid: an edge loop and an edge ring across the whole grid (both
// directions from a middle edge) and a face flood fill over all 1M faces, each per element
// visited. All three are linear in what they visit.
#include <benchmark/benchmark.h>

#include "support/GridBuilder.h"

namespace {

constexpr uint32_t kN = 1000;

TpolyGeom& grid() {
    static TpolyGeom* g = [] {
        auto* r = new TpolyGeom;
        buildQuadGrid(*r, kN);
        r->update(dirtyAll);
        return r;
    }();
    return *g;
}

// A horizontal edge in the middle row: its loop runs along the row, its ring up the column.
uint32_t middleEdge() { return (kN / 2) * kN + kN / 2; }

void BM_EdgeLoop(benchmark::State& state) {
    TpolyGeom& g = grid();
    TedgeLoopIterator loop(&g);
    uint64_t edges = 0;
    for (auto _ : state) {
        for (bool reverse : {false, true})
            for (uint32_t e = loop.reset(middleEdge(), reverse); e != TpolyBits::kNoId; e = loop.next()) ++edges;
        benchmark::DoNotOptimize(edges);
    }
    state.SetItemsProcessed(int64_t(edges));
}
BENCHMARK(BM_EdgeLoop);

void BM_EdgeRing(benchmark::State& state) {
    TpolyGeom& g = grid();
    TedgeRingIterator ring(&g);
    uint64_t edges = 0;
    for (auto _ : state) {
        for (uint32_t e = ring.reset(middleEdge()); e != TpolyBits::kNoId; e = ring.next()) ++edges;
        benchmark::DoNotOptimize(edges);
    }
    state.SetItemsProcessed(int64_t(edges));
}
BENCHMARK(BM_EdgeRing);

void BM_FaceFloodFill(benchmark::State& state) {
    TpolyGeom& g = grid();
    TfaceTraversal fill(&g);
    uint64_t faces = 0;
    for (auto _ : state) {
        for (uint32_t f = fill.reset(0, true); f != TpolyBits::kNoId; f = fill.next()) ++faces;
        benchmark::DoNotOptimize(faces);
    }
    state.SetItemsProcessed(int64_t(faces));
}
BENCHMARK(BM_FaceFloodFill)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
