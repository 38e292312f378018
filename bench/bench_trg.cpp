// Triangulation of single faces: an outer loop of 3, 4, 8, 64 or 1000 corners on a circle, with 0,
// 1 or 10 square holes inside it. Counts faces per second through TpolyGeom::triangulateFace, and,
// when the earcut header is present, the same polygons through earcut for comparison. Also the
// whole-record triangulation of a 1M-quad grid (normals already up to date), in processor time.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <ctime>
#include <vector>

#include "support/GridBuilder.h"

#ifdef BRINDLE_HAVE_EARCUT
#include "earcut.hpp"
#endif

namespace {

using Loop = std::vector<std::array<float, 2>>;

// The outer loop counter-clockwise (radius 10), then each hole clockwise: squares of side 0.8 on a
// 4 x 3 lattice well inside the smallest outer loop (an octagon's inner radius is 9.2).
std::vector<Loop> facePolygon(uint32_t corners, uint32_t holes) {
    std::vector<Loop> loops(1);
    for (uint32_t i = 0; i < corners; ++i) {
        const double a = kTwoPi * i / corners;
        loops[0].push_back({float(10 * std::cos(a)), float(10 * std::sin(a))});
    }
    for (uint32_t h = 0; h < holes; ++h) {
        const float x = -4.5f + 3.0f * float(h % 4), y = -3.0f + 3.0f * float(h / 4);
        loops.push_back({{x, y}, {x, y + 0.8f}, {x + 0.8f, y + 0.8f}, {x + 0.8f, y}});
    }
    return loops;
}

// A record holding the polygon as one face, each loop's edges in loop order.
void buildFace(TpolyGeom& g, const std::vector<Loop>& loops) {
    g.bgnFace();
    for (const Loop& loop : loops) {
        const uint32_t first = g.nbVertex();
        for (const auto& p : loop) g.appendVertex(p[0], p[1], 0.0f);
        for (uint32_t i = 0; i < loop.size(); ++i) {
            const uint32_t e = g.appendEdge(first + i, first + (i + 1) % uint32_t(loop.size()));
            g.refEdge(e, kForward);
        }
        g.endLoop();
    }
    g.endFace();
}

void BM_TriangulateFace(benchmark::State& state) {
    const uint32_t corners = uint32_t(state.range(0)), holes = uint32_t(state.range(1));
    TpolyGeom g;
    buildFace(g, facePolygon(corners, holes));
    std::vector<unsigned short> out(3 * size_t(corners + 6 * holes));
    const int expected = int(corners + 4 * holes + 2 * holes - 2);
    for (auto _ : state) {
        const int n = g.triangulateFace(0, out.data());
        if (n != expected || (out[3 * n - 2] & TpolyTriangle::kFlag)) state.SkipWithError("unexpected triangulation");
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["faces/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

#ifdef BRINDLE_HAVE_EARCUT
void BM_EarcutFace(benchmark::State& state) {
    const auto loops = facePolygon(uint32_t(state.range(0)), uint32_t(state.range(1)));
    for (auto _ : state) {
        std::vector<uint32_t> indices = mapbox::earcut<uint32_t>(loops);
        benchmark::DoNotOptimize(indices.data());
    }
    state.counters["faces/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
#endif

void faceShapes(benchmark::internal::Benchmark* b) {
    for (int corners : {3, 4}) b->Args({corners, 0});
    for (int corners : {8, 64, 1000})
        for (int holes : {0, 1, 10}) b->Args({corners, holes});
}

TpolyGeom& quadGrid() {
    static TpolyGeom* grid = [] {
        auto* g = new TpolyGeom;
        buildQuadGrid(*g, 1000);
        g->update(dirtyAll & ~dirtyTriangles);
        return g;
    }();
    return *grid;
}

double cpuMsSince(std::clock_t t0) { return 1000.0 * double(std::clock() - t0) / CLOCKS_PER_SEC; }

void BM_TriangulateRecord(benchmark::State& state) {
    TpolyGeom& g = quadGrid();
    double cpu = 0;
    for (auto _ : state) {
        g.markDirty(dirtyTriangles);
        const std::clock_t t0 = std::clock();
        g.update(dirtyTriangles);
        cpu += cpuMsSince(t0);
        if (g.nbTriangle() != 2 * g.nbFace() || !g.isTriangulationOk()) state.SkipWithError("unexpected triangulation");
    }
    state.counters["cpu_ms"] = cpu / double(state.iterations());
}
BENCHMARK(BM_TriangulateRecord)->Unit(benchmark::kMillisecond)->Iterations(5);

#ifdef BRINDLE_HAVE_EARCUT
// earcut on each quad of the grid, its corners read from the record, for scale.
void BM_EarcutRecord(benchmark::State& state) {
    TpolyGeom& g = quadGrid();
    std::vector<Loop> quad(1, Loop(4));
    double cpu = 0;
    for (auto _ : state) {
        const std::clock_t t0 = std::clock();
        size_t triangles = 0;
        for (uint32_t f = 0; f < g.nbFace(); ++f) {
            for (uint32_t k = 0; k < 4; ++k) {
                const T3dFltPoint& p = g.vertexConst(g.getStartVertex(g.faceOffset(f) + k));
                quad[0][k] = {p.x, p.y};
            }
            triangles += mapbox::earcut<uint32_t>(quad).size() / 3;
        }
        cpu += cpuMsSince(t0);
        benchmark::DoNotOptimize(triangles);
    }
    state.counters["cpu_ms"] = cpu / double(state.iterations());
}
BENCHMARK(BM_EarcutRecord)->Unit(benchmark::kMillisecond)->Iterations(5);
#endif

BENCHMARK(BM_TriangulateFace)->Apply(faceShapes);
#ifdef BRINDLE_HAVE_EARCUT
BENCHMARK(BM_EarcutFace)->Apply(faceShapes);
#endif

}  // namespace

BENCHMARK_MAIN();
