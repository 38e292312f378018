// Modifier operations that keep the element counts, on n x n quad grids (10k and 1M faces, for
// linearity) and on the bunny: moving every vertex, softening every edge, averaging, reversing,
// conforming a randomly flipped mesh, flipping every diagonal of a triangulated grid. Items are
// the elements an operation visits (vertices, edges, faces, diagonals), so items per second reads
// directly as time per element. Beside them, in the same run: OpenMesh's edge flip and one
// JacobiLaplaceSmootherT iteration, and CGAL's reverse_face_orientations.

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "brindle/brindle.h"
#include "support/GridBuilder.h"
#include "support/ObjLoad.h"

#ifdef BRINDLE_HAVE_OPENMESH
#include <OpenMesh/Core/Mesh/PolyMesh_ArrayKernelT.hh>
#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>
#include <OpenMesh/Tools/Smoother/JacobiLaplaceSmootherT.hh>

#include "OpenMeshFill.h"
#endif
#ifdef BRINDLE_HAVE_CGAL
#include <CGAL/Polygon_mesh_processing/orientation.h>
#include <CGAL/Simple_cartesian.h>
#include <CGAL/Surface_mesh.h>
#endif

namespace {

// Side of the grid for the benchmark argument: 0 the bunny, else n x n quads.
std::unique_ptr<TpolyGeom> record(int64_t n) {
    auto g = std::make_unique<TpolyGeom>();
    if (n == 0)
        loadObj(std::string(BRINDLE_DATA_DIR) + "/stanford-bunny.obj", *g);
    else
        buildQuadGrid(*g, uint32_t(n));
    g->update(dirtyFaceOffsets);
    return g;
}

// The grid with each quad cut along its diagonal from corner (i, j) to (i + 1, j + 1); the
// diagonals are the edges after the grid's own.
std::unique_ptr<TpolyGeom> triangulatedGrid(uint32_t n, std::vector<int>& diagonals) {
    auto g = std::make_unique<TpolyGeom>();
    const uint32_t row = n + 1;
    for (uint32_t j = 0; j <= n; ++j)
        for (uint32_t i = 0; i <= n; ++i) g->appendVertex(float(i), float(j), 0.0f);
    const uint32_t nh = row * n;
    for (uint32_t j = 0; j <= n; ++j)
        for (uint32_t i = 0; i < n; ++i) g->appendEdge(j * row + i, j * row + i + 1);
    for (uint32_t j = 0; j < n; ++j)
        for (uint32_t i = 0; i <= n; ++i) g->appendEdge(j * row + i, (j + 1) * row + i);
    diagonals.clear();
    for (uint32_t j = 0; j < n; ++j)
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t d = g->appendEdge(j * row + i, (j + 1) * row + i + 1);
            diagonals.push_back(int(d));
            g->bgnFace(3);  // (i, j) (i + 1, j) (i + 1, j + 1)
            g->refEdge(j * n + i, kForward);
            g->refEdge(nh + j * row + i + 1, kForward);
            g->refEdge(d, kReversed);
            g->endLoop();
            g->endFace();
            g->bgnFace(3);  // (i, j) (i + 1, j + 1) (i, j + 1)
            g->refEdge(d, kForward);
            g->refEdge((j + 1) * n + i, kReversed);
            g->refEdge(nh + j * row + i, kReversed);
            g->endLoop();
            g->endFace();
        }
    g->update(dirtyFaceOffsets);
    return g;
}

template <typename Fty, typename List>
void runOnAll(benchmark::State& state, Fty& fty, int64_t n, uint32_t (TpolyGeom::*count)() const) {
    TmidBody body(record(n).release());
    List list;
    const uint32_t items = (body.polyGeom()->*count)();
    list.addRange(0, items - 1);
    for (auto _ : state) benchmark::DoNotOptimize(fty.doAction(&body, &list));
    state.SetItemsProcessed(int64_t(state.iterations()) * items);
}

void BM_MoveVertices(benchmark::State& state) {
    TpolyMoveVertexFty fty;
    fty.setScale({1.001f, 1, 1});
    fty.setTrans({0.001f, 0, 0});
    runOnAll<TpolyMoveVertexFty, TmidVertComponent>(state, fty, state.range(0), &TpolyGeom::nbVertex);
}

void BM_MoveVerticesRandomLocal(benchmark::State& state) {
    TpolyMoveVertexFty fty;
    fty.setScale({1, 1, 1});
    fty.setLTrans({0, 0, 0.001f});
    fty.setRandom(0.5f);
    runOnAll<TpolyMoveVertexFty, TmidVertComponent>(state, fty, state.range(0), &TpolyGeom::nbVertex);
}

void BM_SoftenEdges(benchmark::State& state) {
    TpolySoftEdgeFty fty;
    fty.setAngle(0.5);
    runOnAll<TpolySoftEdgeFty, TmidEdgeComponent>(state, fty, state.range(0), &TpolyGeom::nbEdge);
}

void BM_AverageVertices(benchmark::State& state) {
    TpolyAverageVertexFty fty;
    fty.setNbIter(int(state.range(1)));
    runOnAll<TpolyAverageVertexFty, TmidVertComponent>(state, fty, state.range(0), &TpolyGeom::nbVertex);
    state.SetItemsProcessed(state.items_processed() * state.range(1));
}

void BM_ReverseFaces(benchmark::State& state) {
    TpolyNormalFty fty;
    runOnAll<TpolyNormalFty, TmidFaceComponent>(state, fty, state.range(0), &TpolyGeom::nbFace);
}

void BM_ConformFlippedFaces(benchmark::State& state) {
    TmidBody body(record(state.range(0)).release());
    TpolyGeom& g = *body.polyGeom();
    std::mt19937 rng(5);
    TmidFaceComponent some, all;
    for (uint32_t f = 0; f < g.nbFace(); ++f)
        if (rng() % 2) some.addElement(f);
    all.addRange(0, g.nbFace() - 1);
    TpolyNormalFty reverse, conform;
    conform.setNormalMode(1);
    for (auto _ : state) {
        state.PauseTiming();
        reverse.doAction(&body, &some);
        state.ResumeTiming();
        benchmark::DoNotOptimize(conform.doAction(&body, &all));
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * g.nbFace());
}

void BM_FlipDiagonals(benchmark::State& state) {
    std::vector<int> diagonals;
    TmidBody body(triangulatedGrid(uint32_t(state.range(0)), diagonals).release());
    Tint32Array list(256);
    for (int d : diagonals) list.addLast(d);
    TpolyFlipEdgeFty fty;
    fty.setEdges(list);
    fty.setNbEdges(int(list.size()));
    for (auto _ : state) benchmark::DoNotOptimize(fty.doAction(&body, nullptr));
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(diagonals.size()));
}

#ifdef BRINDLE_HAVE_OPENMESH
void BM_OpenMeshFlipDiagonals(benchmark::State& state) {
    using Mesh = OpenMesh::TriMesh_ArrayKernelT<>;
    std::vector<int> diagonals;
    auto g = triangulatedGrid(uint32_t(state.range(0)), diagonals);
    Mesh mesh;
    fillOpenMesh(mesh, *g);
    std::vector<Mesh::EdgeHandle> edges;
    for (int d : diagonals) {
        const Mesh::VertexHandle a(int(g->startVertex(uint32_t(d)))), b(int(g->endVertex(uint32_t(d))));
        edges.push_back(mesh.edge_handle(mesh.find_halfedge(a, b)));
    }
    for (auto _ : state)
        for (Mesh::EdgeHandle e : edges)
            if (mesh.is_flip_ok(e)) mesh.flip(e);
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(edges.size()));
}

void BM_OpenMeshJacobiLaplace(benchmark::State& state) {
    using Mesh = OpenMesh::TriMesh_ArrayKernelT<>;
    auto g = record(state.range(0));
    Mesh mesh;
    fillOpenMesh(mesh, *g);
    mesh.request_vertex_normals();
    mesh.request_face_normals();
    mesh.update_normals();
    OpenMesh::Smoother::JacobiLaplaceSmootherT<Mesh> smoother(mesh);
    smoother.initialize(OpenMesh::Smoother::SmootherT<Mesh>::Tangential_and_Normal,
                        OpenMesh::Smoother::SmootherT<Mesh>::C0);
    for (auto _ : state) smoother.smooth(1);
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(mesh.n_vertices()));
}
#endif

#ifdef BRINDLE_HAVE_CGAL
void BM_CgalReverseFaces(benchmark::State& state) {
    using Point = CGAL::Simple_cartesian<double>::Point_3;
    using Mesh = CGAL::Surface_mesh<Point>;
    auto g = record(state.range(0));
    Mesh mesh;
    std::vector<Mesh::Vertex_index> face;
    for (uint32_t v = 0; v < g->nbVertex(); ++v) {
        const T3dFltPoint& p = g->vertexConst(v);
        mesh.add_vertex(Point(p.x, p.y, p.z));
    }
    for (uint32_t f = 0; f < g->nbFace(); ++f) {
        face.clear();
        for (uint32_t o = g->faceOffset(f); o < g->faceOffset(f + 1); ++o)
            face.push_back(Mesh::Vertex_index(g->getStartVertex(o)));
        mesh.add_face(face);
    }
    for (auto _ : state) CGAL::Polygon_mesh_processing::reverse_face_orientations(mesh);
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(mesh.number_of_faces()));
}
#endif

// 100 x 100 and 1000 x 1000 quads, then the bunny (argument 0).
void sizes(benchmark::internal::Benchmark* b) { b->Arg(100)->Arg(1000)->Arg(0)->Unit(benchmark::kMillisecond); }
void gridSizes(benchmark::internal::Benchmark* b) { b->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond); }

}  // namespace

BENCHMARK(BM_MoveVertices)->Apply(sizes);
BENCHMARK(BM_MoveVerticesRandomLocal)->Apply(sizes);
BENCHMARK(BM_SoftenEdges)->Apply(sizes);
BENCHMARK(BM_AverageVertices)
    ->Args({100, 1})
    ->Args({1000, 1})
    ->Args({0, 1})
    ->Args({1000, 10})
    ->Args({0, 10})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReverseFaces)->Apply(sizes);
BENCHMARK(BM_ConformFlippedFaces)->Apply(sizes);
BENCHMARK(BM_FlipDiagonals)->Apply(gridSizes);
#ifdef BRINDLE_HAVE_OPENMESH
BENCHMARK(BM_OpenMeshFlipDiagonals)->Apply(gridSizes);
BENCHMARK(BM_OpenMeshJacobiLaplace)->Apply(sizes);
#endif
#ifdef BRINDLE_HAVE_CGAL
BENCHMARK(BM_CgalReverseFaces)->Apply(sizes);
#endif

BENCHMARK_MAIN();
