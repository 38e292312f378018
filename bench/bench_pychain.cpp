// The chain of operations that python/bench_chain.py runs through the Python module, here straight
// through the factories with typed setters and component lists made in C++: on a 999 x 999 quad
// grid (1M vertices) built by the vertex builder, move every vertex, extrude every 100th face,
// triangulate every face and soften every edge. The record is copied outside the timing. The
// script runs this program and reports the ratio of its own time to this one.
#include <benchmark/benchmark.h>

#include <memory>

#include "MeshInputs.h"
#include "brindle/brindle.h"

namespace {

constexpr uint32_t kSide = 999;

const TpolyGeom& grid() {
    static const std::unique_ptr<TpolyGeom> g(buildRecord(flatQuadGrid(kSide)));
    return *g;
}

template <typename List>
List all(uint32_t n) {
    List list;
    if (n) list.addRange(0, n - 1);
    return list;
}

bool runChain(TmidBody& body) {
    TpolyGeom& g = *body.polyGeom();
    TpolyMoveVertexFty move;
    move.setTrans(T4dFltVector(0, 0, 0.5f, 0));
    move.setScale(T4dFltVector(1, 1, 1, 0));
    TmidVertComponent vertices = all<TmidVertComponent>(g.nbVertex());
    if (move.doAction(&body, &vertices) != 0) return false;

    TpolyExtrudeFacetFty extrude;
    extrude.setOffset(1.0f);
    TmidFaceComponent some;
    for (uint32_t f = 0; f < body.polyGeom()->nbFace(); f += 100) some.addElement(f);
    if (extrude.doAction(&body, &some) != 0) return false;

    TpolyTriangulateFty triangulate;
    TmidFaceComponent faces = all<TmidFaceComponent>(body.polyGeom()->nbFace());
    if (triangulate.doAction(&body, &faces) != 0) return false;

    TpolySoftEdgeFty soften;
    soften.setAngle(30.0);
    TmidEdgeComponent edges = all<TmidEdgeComponent>(body.polyGeom()->nbEdge());
    return soften.doAction(&body, &edges) == 0;
}

void BM_Chain(benchmark::State& state) {
    const TpolyGeom& base = grid();
    for (auto _ : state) {
        state.PauseTiming();
        auto body = std::make_unique<TmidBody>(new TpolyGeom(base));
        state.ResumeTiming();
        if (!runChain(*body)) state.SkipWithError("an operation of the chain refused");
        state.PauseTiming();
        state.counters["faces"] = body->polyGeom()->nbFace();
        body.reset();
        state.ResumeTiming();
    }
}

}  // namespace

// One chain per repetition, so that the median compares with the script's median.
BENCHMARK(BM_Chain)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);
BENCHMARK_MAIN();
