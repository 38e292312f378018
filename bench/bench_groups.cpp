// Converting a face selection of half of a 1M-face grid (every other face, so no runs) to
// vertices, edges and UVs, and reading it from and writing it back to a group. With OpenMesh
// installed, the same face-to-vertex and face-to-edge gathering through its circulators.
#include <benchmark/benchmark.h>

#include <vector>

#include "support/GridBuilder.h"

#ifdef BRINDLE_HAVE_OPENMESH
#include <OpenMesh/Core/Mesh/PolyMesh_ArrayKernelT.hh>
#endif

namespace {

constexpr uint32_t kN = 1000;

// The grid with one UV per vertex shared by its corners.
TpolyGeom& grid() {
    static TpolyGeom* g = [] {
        auto* r = new TpolyGeom;
        buildQuadGrid(*r, kN);
        r->update(dirtyFaceOffsets);
        uint32_t s = r->newEmptyMapSet("map1");
        r->setCurrentMap(s);
        for (uint32_t v = 0; v < r->nbVertex(); ++v) r->appendUV(r->vertexConst(v).x, r->vertexConst(v).y, s);
        for (uint32_t c = 0; c < r->faceDescLength(); ++c) r->setUVId(c, int32_t(r->getStartVertex(c)), s);
        return r;
    }();
    return *g;
}

// Checkerboard: face i + n j is selected when i + j is even.
bool selected(uint32_t f) { return ((f % kN) + (f / kN)) % 2 == 0; }

TbitFieldFixedN& selection() {
    static TbitFieldFixedN* bits = [] {
        auto* b = new TbitFieldFixedN(kN * kN);
        for (uint32_t f = 0; f < kN * kN; ++f)
            if (selected(f)) b->setBit(f);
        return b;
    }();
    return *bits;
}

using TfaceConversion = bool (TpolyGeom::*)(const TbitFieldFixedN&, TbitFieldFixedN&, int);

void BM_FaceConversion(benchmark::State& state, TfaceConversion convert) {
    TpolyGeom& g = grid();
    TbitFieldFixedN out;
    for (auto _ : state) {
        (g.*convert)(selection(), out, int(state.range(0)));
        benchmark::DoNotOptimize(out.size());
    }
    state.counters["selected"] = double(out.countSet());
}
BENCHMARK_CAPTURE(BM_FaceConversion, toVertex, static_cast<TfaceConversion>(&TpolyGeom::groupFace2Vertex))
    ->ArgName("mode")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FaceConversion, toEdge, static_cast<TfaceConversion>(&TpolyGeom::groupFace2Edge))
    ->ArgName("mode")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FaceConversion, toUV, static_cast<TfaceConversion>(&TpolyGeom::groupFace2UV))
    ->ArgName("mode")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

// The current face group in and out of its bit-field form, as an operation reads its selection.
void BM_FaceGroupRoundTrip(benchmark::State& state) {
    TpolyGeom& g = grid();
    TbitFieldFixedN bits;
    for (auto _ : state) {
        g.flagsToGroup(kPolyGrpFace, -1, selection());
        benchmark::DoNotOptimize(g.flagsFromGroup(kPolyGrpFace, -1, bits));
    }
}
BENCHMARK(BM_FaceGroupRoundTrip)->Unit(benchmark::kMillisecond);

#ifdef BRINDLE_HAVE_OPENMESH
using Mesh = OpenMesh::PolyMesh_ArrayKernelT<>;

const Mesh& openMeshGrid() {
    static Mesh* m = [] {
        auto* r = new Mesh;
        std::vector<Mesh::VertexHandle> vh;
        vh.reserve((kN + 1) * (kN + 1));
        for (uint32_t j = 0; j <= kN; ++j)
            for (uint32_t i = 0; i <= kN; ++i) vh.push_back(r->add_vertex(Mesh::Point(float(i), float(j), 0)));
        for (uint32_t j = 0; j < kN; ++j)
            for (uint32_t i = 0; i < kN; ++i) {
                uint32_t a = j * (kN + 1) + i;
                r->add_face(vh[a], vh[a + 1], vh[a + kN + 2], vh[a + kN + 1]);
            }
        return r;
    }();
    return *m;
}

// The "any" conversions: every vertex / edge of a selected face. Face ids match the record's.
template <bool kEdges>
void BM_OpenMeshFaceGather(benchmark::State& state) {
    const Mesh& m = openMeshGrid();
    std::vector<bool> out;
    for (auto _ : state) {
        out.assign(kEdges ? m.n_edges() : m.n_vertices(), false);
        for (Mesh::FaceHandle f : m.faces()) {
            if (!selected(uint32_t(f.idx()))) continue;
            if constexpr (kEdges)
                for (Mesh::EdgeHandle e : m.fe_range(f)) out[size_t(e.idx())] = true;
            else
                for (Mesh::VertexHandle v : m.fv_range(f)) out[size_t(v.idx())] = true;
        }
        benchmark::DoNotOptimize(out.size());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_OpenMeshFaceGather<false>)->Name("BM_OpenMeshFace2Vertex")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenMeshFaceGather<true>)->Name("BM_OpenMeshFace2Edge")->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
