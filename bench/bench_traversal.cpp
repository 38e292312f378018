// Walks over a 1000 x 1000 quad grid: an edge loop and an edge ring across the whole grid (both
// directions from a middle edge) and a face flood fill over all 1M faces, each per element
// visited. All three are linear in what they visit.
//
// Then the walk every local operation makes, over all vertices of the sample meshes and a 100k-quad
// grid: the one-ring (each edge at the vertex and its far end) and the faces round the vertex,
// through the public iterators, beside the same walk with OpenMesh's and CGAL's circulators.
#include <benchmark/benchmark.h>

#include "MeshInputs.h"
#include "support/GridBuilder.h"

#ifdef BRINDLE_HAVE_OPENMESH
#include <OpenMesh/Core/Mesh/PolyMesh_ArrayKernelT.hh>

#include "OpenMeshFill.h"
#endif
#ifdef BRINDLE_HAVE_CGAL
#include <CGAL/Simple_cartesian.h>
#include <CGAL/Surface_mesh.h>
#endif

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

// Every run sums the neighbour vertex ids and the face ids met, so that no walk can be skipped; the
// sums are the same for all three libraries.
void BM_OneRingBrindle(benchmark::State& state) {
    const FlatMesh& m = meshInput(int(state.range(0)));
    TpolyGeom* g = buildRecord(m);
    g->update(dirtyFaceOffsets | dirtyEdgeToFace | dirtyVertexToEdge);
    TvertexEdgeIterator ring(g);
    TvertexFaceIterator faces(g);
    uint64_t sum = 0;
    for (auto _ : state) {
        for (uint32_t v = 0, n = g->nbVertex(); v < n; ++v) {
            for (ring.reset(v); !ring.isDone(); ring.next()) sum += ring.edgeVertex();
            for (faces.reset(v); !faces.isDone(); faces.next()) sum += faces.face();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["sum"] = double(sum / state.iterations());
    delete g;
}
BENCHMARK(BM_OneRingBrindle)->Apply(meshInputs)->Unit(benchmark::kMillisecond);

#ifdef BRINDLE_HAVE_OPENMESH
void BM_OneRingOpenMesh(benchmark::State& state) {
    using Mesh = OpenMesh::PolyMesh_ArrayKernelT<>;
    const FlatMesh& m = meshInput(int(state.range(0)));
    TpolyGeom* g = buildRecord(m);
    g->update(dirtyFaceOffsets);
    Mesh mesh;
    fillOpenMesh(mesh, *g);
    delete g;
    uint64_t sum = 0;
    for (auto _ : state) {
        for (Mesh::VertexHandle v : mesh.vertices()) {
            for (Mesh::VertexHandle w : mesh.vv_range(v)) sum += uint32_t(w.idx());
            for (Mesh::FaceHandle f : mesh.vf_range(v)) sum += uint32_t(f.idx());
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["sum"] = double(sum / state.iterations());
}
BENCHMARK(BM_OneRingOpenMesh)->Apply(meshInputs)->Unit(benchmark::kMillisecond);
#endif

#ifdef BRINDLE_HAVE_CGAL
void BM_OneRingCGAL(benchmark::State& state) {
    using Mesh = CGAL::Surface_mesh<CGAL::Simple_cartesian<double>::Point_3>;
    const FlatMesh& m = meshInput(int(state.range(0)));
    Mesh mesh;
    for (uint32_t v = 0; v < m.nbVertex(); ++v)
        mesh.add_vertex(Mesh::Point(m.positions[3 * v], m.positions[3 * v + 1], m.positions[3 * v + 2]));
    std::vector<Mesh::Vertex_index> corner;
    for (size_t f = 0, at = 0; f < m.counts.size(); at += size_t(m.counts[f++])) {
        corner.clear();
        for (int32_t k = 0; k < m.counts[f]; ++k) corner.push_back(Mesh::Vertex_index(uint32_t(m.ids[at + size_t(k)])));
        mesh.add_face(corner);
    }
    uint64_t sum = 0;
    for (auto _ : state) {
        for (Mesh::Vertex_index v : mesh.vertices()) {
            for (Mesh::Vertex_index w : mesh.vertices_around_target(mesh.halfedge(v))) sum += uint32_t(w);
            for (Mesh::Face_index f : mesh.faces_around_target(mesh.halfedge(v)))
                if (f != Mesh::null_face()) sum += uint32_t(f);
        }
        benchmark::DoNotOptimize(sum);
    }
    state.counters["sum"] = double(sum / state.iterations());
}
BENCHMARK(BM_OneRingCGAL)->Apply(meshInputs)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
