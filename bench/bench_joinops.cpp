// Joining and closing surfaces, each record carrying a per-corner UV set and a face group, with a
// full id mapper: welding a 1M-triangle polygon soup (every corner its own vertex, positions
// exactly shared) and the scanned bunny as a soup whose duplicates are jittered; sewing a
// 1M-quad grid cut into 100 strips; closing every hole of the open sample meshes. Beside them, in
// the same run: meshoptimizer's meshopt_generateVertexRemap with the index and vertex remaps, and
// CGAL's merge_duplicate_points_in_polygon_soup, on the same soup; CGAL's stitch_borders on the
// same strips. Each reports ms per run and ns per input face.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "MeshInputs.h"

#ifdef BRINDLE_HAVE_MESHOPTIMIZER
#include <meshoptimizer.h>
#endif
#ifdef BRINDLE_HAVE_CGAL
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Polygon_mesh_processing/repair_polygon_soup.h>
#include <CGAL/Polygon_mesh_processing/stitch_borders.h>
#include <CGAL/Surface_mesh.h>

#include "CgalFill.h"
#endif

namespace {

// Every face of m given vertices of its own, each corner's position moved by up to jitter.
FlatMesh soupOf(const FlatMesh& m, float jitter) {
    FlatMesh s;
    s.name = m.name + " soup";
    s.counts = m.counts;
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> shake(-jitter, jitter);
    for (int32_t v : m.ids) {
        for (int a = 0; a < 3; ++a)
            s.positions.push_back(m.positions[3 * size_t(v) + size_t(a)] + (jitter > 0 ? shake(rng) : 0));
        s.ids.push_back(int32_t(s.ids.size()));
    }
    return s;
}

// An n x n grid of quads, each cut into two triangles.
FlatMesh triangleGrid(uint32_t n) {
    FlatMesh q = flatQuadGrid(n), t;
    t.name = "triangle grid";
    t.positions = q.positions;
    for (size_t f = 0; f < q.counts.size(); ++f) {
        const int32_t* c = &q.ids[4 * f];
        t.counts.insert(t.counts.end(), {3, 3});
        t.ids.insert(t.ids.end(), {c[0], c[1], c[2], c[0], c[2], c[3]});
    }
    return t;
}

// An n x n grid of quads cut into strips of n / strips columns, each strip with vertices of its own.
FlatMesh stripGrid(uint32_t n, uint32_t strips) {
    FlatMesh m;
    m.name = "strips";
    const uint32_t width = n / strips, row = width + 1;
    for (uint32_t s = 0; s < strips; ++s) {
        const int32_t first = int32_t(m.nbVertex());
        for (uint32_t j = 0; j <= n; ++j)
            for (uint32_t i = 0; i <= width; ++i)
                m.positions.insert(m.positions.end(), {float(s * width + i), float(j), 0.0f});
        for (uint32_t j = 0; j < n; ++j)
            for (uint32_t i = 0; i < width; ++i) {
                const int32_t v = first + int32_t(j * row + i);
                m.counts.push_back(4);
                m.ids.insert(m.ids.end(), {v, v + 1, v + 1 + int32_t(row), v + int32_t(row)});
            }
    }
    return m;
}

// The record of m with a UV of its own per corner (its vertex's x, y) and the even faces in face
// group 3, as a host that imported the mesh holds it.
TpolyGeom* decorated(const FlatMesh& m) {
    TpolyGeom* g = buildRecord(m);
    g->update(dirtyFaceOffsets);
    const uint32_t s = g->newEmptyMapSet(Tstring("map1"));
    for (uint32_t o = 0; o < g->faceDescLength(); ++o) {
        const T3dFltPoint& p = g->vertexConst(g->getStartVertex(o));
        g->setUVId(o, g->appendUV(p.x, p.y, s), s);
    }
    TbitFieldFixedN even(g->nbFace());
    for (uint32_t f = 0; f < g->nbFace(); f += 2) even.setBit(f);
    g->flagsToGroup(kPolyGrpFace, 3, even);
    g->update(dirtyAll);
    return g;
}

const FlatMesh& gridSoup() {
    static const FlatMesh m = soupOf(triangleGrid(707), 0);
    return m;
}
const FlatMesh& strips() {
    static const FlatMesh m = stripGrid(1000, 100);
    return m;
}

void report(benchmark::State& state, double faces) {
    state.counters["ns_per_face"] =
        benchmark::Counter(faces * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Times fty on a fresh copy of the record per iteration, every vertex or edge selected.
template <typename Fty, typename List>
void timeOn(benchmark::State& state, Fty& fty, const TpolyGeom& source, uint32_t selected) {
    uint32_t vertices = 0, faces = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TmidBody body(new TpolyGeom(source));
        TpolyIdMapper mapper(true, true, true);
        fty.setIdMapper(&mapper);
        List all;
        all.addRange(0, selected - 1);
        state.ResumeTiming();
        fty.doAction(&body, &all);
        vertices = body.polyGeom()->nbVertex();
        faces = body.polyGeom()->nbFace();
    }
    state.counters["vertices_after"] = vertices;
    state.counters["faces_after"] = faces;
    report(state, double(source.nbFace()));
}

// 0: the grid soup, exact duplicates; 1: the bunny soup, duplicates jittered by 1e-6 of its size.
void BM_WeldSoup(benchmark::State& state) {
    static const FlatMesh bunny = soupOf(meshInput(0), 1e-7f);
    const FlatMesh& m = state.range(0) == 0 ? gridSoup() : bunny;
    std::unique_ptr<TpolyGeom> g(decorated(m));
    TpolyMergeVertFty fty;
    fty.setThreshold(state.range(0) == 0 ? 1e-4f : 1e-6f);
    timeOn<TpolyMergeVertFty, TmidVertComponent>(state, fty, *g, g->nbVertex());
}
BENCHMARK(BM_WeldSoup)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SewStrips(benchmark::State& state) {
    std::unique_ptr<TpolyGeom> g(decorated(strips()));
    TpolySewEdgeFty fty;
    fty.setThreshold(1e-3);
    timeOn<TpolySewEdgeFty, TmidEdgeComponent>(state, fty, *g, g->nbEdge());
}
BENCHMARK(BM_SewStrips)->Unit(benchmark::kMillisecond)->Iterations(3);

// 0 suzanne, 1 woody: every border edge selected.
void BM_CloseHoles(benchmark::State& state) {
    std::unique_ptr<TpolyGeom> g(decorated(flatFromObj(state.range(0) == 0 ? "suzanne" : "woody")));
    TpolyCloseBorderFty fty;
    uint32_t faces = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TmidBody body(new TpolyGeom(*g));
        TmidEdgeComponent all;
        all.addRange(0, g->nbEdge() - 1);
        state.ResumeTiming();
        fty.doAction(&body, &all);
        faces = body.polyGeom()->nbFace();
    }
    state.counters["faces_after"] = faces;
    report(state, double(g->nbFace()));
}
BENCHMARK(BM_CloseHoles)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

#ifdef BRINDLE_HAVE_MESHOPTIMIZER
// The remap of the soup's positions, then the index buffer and the vertex buffer remapped.
void BM_MeshoptWeldSoup(benchmark::State& state) {
    const FlatMesh& m = gridSoup();
    const size_t n = m.nbVertex();
    std::vector<unsigned> remap(n), indices(m.ids.size());
    std::vector<float> welded(m.positions.size());
    size_t unique = 0;
    for (auto _ : state) {
        unique = meshopt_generateVertexRemap(remap.data(), nullptr, n, m.positions.data(), n, 3 * sizeof(float));
        meshopt_remapIndexBuffer(indices.data(), nullptr, n, remap.data());
        meshopt_remapVertexBuffer(welded.data(), m.positions.data(), n, 3 * sizeof(float), remap.data());
        benchmark::DoNotOptimize(welded.data());
    }
    state.counters["vertices_after"] = double(unique);
    report(state, double(m.nbFace()));
}
BENCHMARK(BM_MeshoptWeldSoup)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

#ifdef BRINDLE_HAVE_CGAL
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;

void BM_CgalMergeSoupPoints(benchmark::State& state) {
    const FlatMesh& m = gridSoup();
    std::vector<Kernel::Point_3> basePoints;
    std::vector<std::vector<std::size_t>> basePolygons;
    for (size_t v = 0; v < m.nbVertex(); ++v)
        basePoints.emplace_back(m.positions[3 * v], m.positions[3 * v + 1], m.positions[3 * v + 2]);
    for (size_t f = 0; f < m.nbFace(); ++f)
        basePolygons.push_back({size_t(m.ids[3 * f]), size_t(m.ids[3 * f + 1]), size_t(m.ids[3 * f + 2])});
    size_t points = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<Kernel::Point_3> pts(basePoints);
        std::vector<std::vector<std::size_t>> polygons(basePolygons);
        state.ResumeTiming();
        CGAL::Polygon_mesh_processing::merge_duplicate_points_in_polygon_soup(pts, polygons);
        points = pts.size();
    }
    state.counters["vertices_after"] = double(points);
    report(state, double(m.nbFace()));
}
BENCHMARK(BM_CgalMergeSoupPoints)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CgalStitchStrips(benchmark::State& state) {
    using Mesh = CGAL::Surface_mesh<Kernel::Point_3>;
    std::unique_ptr<TpolyGeom> g(buildRecord(strips()));
    g->update(dirtyFaceOffsets);
    Mesh base;
    fillSurfaceMesh(base, *g, false);
    size_t vertices = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Mesh mesh(base);
        state.ResumeTiming();
        CGAL::Polygon_mesh_processing::stitch_borders(mesh);
        mesh.collect_garbage();
        vertices = mesh.number_of_vertices();
    }
    state.counters["vertices_after"] = double(vertices);
    report(state, double(g->nbFace()));
}
BENCHMARK(BM_CgalStitchStrips)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

}  // namespace

BENCHMARK_MAIN();
