// The vertex builder assembling records from vertex lists: a 1M-face quad grid and a fan of 100000
// triangles round one vertex (the edge lookup must stay linear in the valence), and a textured
// sphere of 1000 x 1000 divisions. In the same run,
// the direct append interface (edges known in advance) and, when installed, OpenMesh adding the
// same faces to a PolyMesh, which also finds or makes the edge between consecutive corners.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "support/GridBuilder.h"

#ifdef BRINDLE_HAVE_OPENMESH
#include <OpenMesh/Core/Mesh/PolyMesh_ArrayKernelT.hh>
#endif

namespace {

struct FaceList {
    std::vector<float> positions;  // x, y, z per vertex
    std::vector<int32_t> counts, ids;
    uint32_t nbVertex() const { return uint32_t(positions.size() / 3); }
};

FaceList quadGrid(uint32_t n) {
    FaceList l;
    const uint32_t row = n + 1;
    for (uint32_t j = 0; j <= n; ++j)
        for (uint32_t i = 0; i <= n; ++i) l.positions.insert(l.positions.end(), {float(i), float(j), 0.0f});
    for (uint32_t j = 0; j < n; ++j)
        for (uint32_t i = 0; i < n; ++i) {
            const int32_t v = int32_t(j * row + i);
            l.counts.push_back(4);
            l.ids.insert(l.ids.end(), {v, v + 1, v + 1 + int32_t(row), v + int32_t(row)});
        }
    return l;
}

FaceList fan(uint32_t rim) {
    FaceList l;
    l.positions.assign(3, 0.0f);
    for (uint32_t i = 0; i < rim; ++i) {
        const float a = kTwoPiF * float(i) / float(rim);
        l.positions.insert(l.positions.end(), {std::cos(a), std::sin(a), 0.0f});
    }
    for (uint32_t i = 1; i < rim; ++i) {
        l.counts.push_back(3);
        l.ids.insert(l.ids.end(), {0, int32_t(i), int32_t(i + 1)});
    }
    return l;
}

const FaceList& input(int which) {
    static const FaceList grid = quadGrid(1000), spokes = fan(100000);
    return which == 0 ? grid : spokes;
}

void BM_VertexBuilder(benchmark::State& state) {
    const FaceList& l = input(int(state.range(0)));
    for (auto _ : state) {
        TpolyVertexBuilder b;
        b.create(l.nbVertex(), uint32_t(l.counts.size()), uint32_t(l.ids.size()),
                 reinterpret_cast<const T3Float*>(l.positions.data()), l.counts.data(), l.ids.data());
        benchmark::DoNotOptimize(b.complete());
    }
    state.counters["faces/s"] =
        benchmark::Counter(double(l.counts.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_VertexBuilder)->ArgName("fan")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The lower bound: the same grid appended with its edges already known.
void BM_AppendKnownEdges(benchmark::State& state) {
    for (auto _ : state) {
        TpolyGeom g;
        buildQuadGrid(g, 1000);
        benchmark::DoNotOptimize(g.nbFace());
    }
    state.counters["faces/s"] = benchmark::Counter(1e6, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_AppendKnownEdges)->Unit(benchmark::kMillisecond);

// The curved primitives build through the same edge lookup: a sphere of 1000 x 1000 divisions.
void BM_Sphere(benchmark::State& state) {
    TmeshBallFty ball;
    ball.setXSubdivide(uint32_t(state.range(0)));
    ball.setYSubdivide(uint32_t(state.range(0)));
    ball.setUVSetName("map1");
    uint32_t faces = 0;
    for (auto _ : state) {
        auto g = ball.createBall();
        faces = g->nbFace();
        benchmark::DoNotOptimize(g.get());
    }
    state.counters["faces/s"] = benchmark::Counter(double(faces), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Sphere)->Arg(1000)->Unit(benchmark::kMillisecond);

#ifdef BRINDLE_HAVE_OPENMESH
void BM_OpenMeshAddFace(benchmark::State& state) {
    using Mesh = OpenMesh::PolyMesh_ArrayKernelT<>;
    const FaceList& l = input(int(state.range(0)));
    std::vector<Mesh::VertexHandle> corner;
    for (auto _ : state) {
        Mesh m;
        m.reserve(l.nbVertex(), l.ids.size() / 2 + 1, l.counts.size());
        for (uint32_t v = 0; v < l.nbVertex(); ++v)
            m.add_vertex(Mesh::Point(l.positions[3 * v], l.positions[3 * v + 1], l.positions[3 * v + 2]));
        for (size_t f = 0, at = 0; f < l.counts.size(); at += size_t(l.counts[f++])) {
            corner.clear();
            for (int32_t k = 0; k < l.counts[f]; ++k) corner.push_back(Mesh::VertexHandle(l.ids[at + size_t(k)]));
            m.add_face(corner);
        }
        benchmark::DoNotOptimize(m.n_faces());
    }
    state.counters["faces/s"] =
        benchmark::Counter(double(l.counts.size()), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_OpenMeshAddFace)->ArgName("fan")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
