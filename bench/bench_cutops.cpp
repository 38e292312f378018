// Deleting, collapsing and cutting a 1M-quad grid that carries a UV set and a face group, with a
// full id mapper: deleting a random tenth of the faces, collapsing a random tenth of the edges,
// cutting it with ten planes and inserting one edge ring across it. Beside them, on the same
// faces, OpenMesh's delete_face and collapse followed by garbage_collection, and CGAL's
// Polygon_mesh_processing::split by each plane (on the grid fanned into triangles, since CGAL
// splits triangle meshes only). Each reports ms per run and ns per input face.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "support/GridBuilder.h"

#ifdef BRINDLE_HAVE_OPENMESH
#include <OpenMesh/Core/Mesh/PolyMesh_ArrayKernelT.hh>

#include "OpenMeshFill.h"
#endif
#ifdef BRINDLE_HAVE_CGAL
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Polygon_mesh_processing/clip.h>
#include <CGAL/Surface_mesh.h>

#include "CgalFill.h"
#endif

namespace {

constexpr uint32_t kSide = 1000;

// The grid with a UV per vertex at its (x, y) and the even faces in face group 3.
const TpolyGeom& grid() {
    static TpolyGeom* g = [] {
        auto* r = new TpolyGeom;
        buildQuadGrid(*r, kSide);
        r->update(dirtyFaceOffsets);
        const uint32_t s = r->newEmptyMapSet(Tstring("map1"));
        for (uint32_t v = 0; v < r->nbVertex(); ++v) r->appendUV(r->vertexConst(v).x, r->vertexConst(v).y, s);
        for (uint32_t o = 0; o < r->faceDescLength(); ++o) r->setUVId(o, int32_t(r->getStartVertex(o)), s);
        TbitFieldFixedN even(r->nbFace());
        for (uint32_t f = 0; f < r->nbFace(); f += 2) even.setBit(f);
        r->flagsToGroup(kPolyGrpFace, 3, even);
        r->update(dirtyAll);
        return r;
    }();
    return *g;
}

// A random tenth of the ids below n, in increasing order, the same in every program run.
std::vector<uint32_t> tenth(uint32_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint32_t> ids;
    for (uint32_t i = 0; i < n; ++i)
        if (rng() % 10 == 0) ids.push_back(i);
    return ids;
}

const std::vector<uint32_t>& deletedFaces() {
    static const std::vector<uint32_t> ids = tenth(kSide * kSide, 1);
    return ids;
}
const std::vector<uint32_t>& collapsedEdges() {
    static const std::vector<uint32_t> ids = tenth(grid().nbEdge(), 2);
    return ids;
}

// Plane k: vertical, its normal turned by 0.3 k about z, through a point moving across the grid.
void planeOf(int k, T3dDblPoint& centre, T3dDblPoint& rotate) {
    centre = {150.0 + 75.0 * k, 120.0 + 70.0 * k, 0};
    rotate = {0, kPi / 2, 0.1 + 0.3 * k};
}

template <typename List>
List listOf(const std::vector<uint32_t>& ids) {
    List list;
    for (uint32_t id : ids) list.addElement(id);
    return list;
}

void report(benchmark::State& state, double faces) {
    state.counters["ns_per_face"] =
        benchmark::Counter(faces * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Times fty on a fresh copy of the grid per iteration, with a full id mapper.
template <typename Fty, typename List>
void timeRemover(benchmark::State& state, Fty& fty, const List& list) {
    uint32_t faces = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TmidBody body(new TpolyGeom(grid()));
        TpolyIdMapper mapper(true, true, true);
        fty.setIdMapper(&mapper);
        List selection(list);
        state.ResumeTiming();
        fty.doAction(&body, &selection);
        faces = body.polyGeom()->nbFace();
    }
    state.counters["faces_after"] = faces;
    report(state, double(grid().nbFace()));
}

void BM_DeleteFaces(benchmark::State& state) {
    TpolyDelFacetFty fty;
    timeRemover(state, fty, listOf<TmidFaceComponent>(deletedFaces()));
}
BENCHMARK(BM_DeleteFaces)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CollapseEdges(benchmark::State& state) {
    TpolyDelEdgeFty fty;
    fty.setInternalMode(1);
    timeRemover(state, fty, listOf<TmidEdgeComponent>(collapsedEdges()));
}
BENCHMARK(BM_CollapseEdges)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CutTenPlanes(benchmark::State& state) {
    uint32_t faces = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TmidBody body(new TpolyGeom(grid()));
        TpolyIdMapper mapper(true, true, true);
        state.ResumeTiming();
        for (int k = 0; k < 10; ++k) {
            TpolyCutFty fty;
            T3dDblPoint centre, rotate;
            planeOf(k, centre, rotate);
            fty.setCenterXYZ(centre);
            fty.setRotate(rotate);
            fty.setIdMapper(&mapper);
            TmidFaceComponent all;
            all.addRange(0, body.polyGeom()->nbFace() - 1);
            fty.doAction(&body, &all);
        }
        faces = body.polyGeom()->nbFace();
    }
    state.counters["faces_after"] = faces;
    report(state, double(grid().nbFace()));
}
BENCHMARK(BM_CutTenPlanes)->Unit(benchmark::kMillisecond)->Iterations(2);

// The ring of horizontal edges of column kSide / 2, from bottom to top.
void BM_InsertEdgeRing(benchmark::State& state) {
    std::vector<uint32_t> ring;
    for (uint32_t j = 0; j <= kSide; ++j) ring.push_back(j * kSide + kSide / 2);
    const TmidEdgeComponent list = listOf<TmidEdgeComponent>(ring);
    uint32_t faces = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TmidBody body(new TpolyGeom(grid()));
        TmidEdgeComponent selection(list);
        state.ResumeTiming();
        TpolySplitRingFty fty;
        fty.setRootEdge(-1);
        fty.setStartWeight(0.5f);
        fty.setAbsoluteWeight(false);
        fty.setDirection(true);
        fty.doAction(&body, &selection);
        faces = body.polyGeom()->nbFace();
    }
    state.counters["faces_after"] = faces;
    report(state, double(grid().nbFace()));
}
BENCHMARK(BM_InsertEdgeRing)->Unit(benchmark::kMillisecond)->Iterations(3);

#ifdef BRINDLE_HAVE_OPENMESH
using OmMesh = OpenMesh::PolyMesh_ArrayKernelT<>;

// Times edit on a fresh OpenMesh copy of the grid per iteration, garbage collection included.
template <typename Edit>
void timeOpenMesh(benchmark::State& state, Edit&& edit) {
    OmMesh base;
    fillOpenMesh(base, grid());
    uint32_t faces = 0;
    for (auto _ : state) {
        state.PauseTiming();
        OmMesh mesh(base);
        mesh.request_face_status();
        mesh.request_edge_status();
        mesh.request_vertex_status();
        state.ResumeTiming();
        edit(mesh);
        mesh.garbage_collection();
        faces = uint32_t(mesh.n_faces());
    }
    state.counters["faces_after"] = faces;
    report(state, double(grid().nbFace()));
}

void BM_OpenMeshDeleteFaces(benchmark::State& state) {
    timeOpenMesh(state, [](OmMesh& m) {
        for (uint32_t f : deletedFaces()) m.delete_face(OmMesh::FaceHandle(int(f)), true);
    });
}
BENCHMARK(BM_OpenMeshDeleteFaces)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same edges by their end vertices; an edge whose ends an earlier collapse removed, or whose
// collapse OpenMesh refuses, is skipped.
void BM_OpenMeshCollapseEdges(benchmark::State& state) {
    const TpolyGeom& g = grid();
    timeOpenMesh(state, [&](OmMesh& m) {
        for (uint32_t e : collapsedEdges()) {
            const OmMesh::VertexHandle a(int(g.startVertex(e))), b(int(g.endVertex(e)));
            if (m.status(a).deleted() || m.status(b).deleted()) continue;
            const OmMesh::HalfedgeHandle h = m.find_halfedge(a, b);
            if (h.is_valid() && m.is_collapse_ok(h)) m.collapse(h);
        }
    });
}
BENCHMARK(BM_OpenMeshCollapseEdges)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

#ifdef BRINDLE_HAVE_CGAL
void BM_CgalSplitTenPlanes(benchmark::State& state) {
    using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
    using Mesh = CGAL::Surface_mesh<Kernel::Point_3>;
    Mesh base;
    fillSurfaceMesh(base, grid(), true);
    uint32_t faces = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Mesh mesh(base);
        state.ResumeTiming();
        for (int k = 0; k < 10; ++k) {
            // The same plane as the cut's: normal (-cos a, -sin a, 0) through the centre.
            T3dDblPoint centre, rotate;
            planeOf(k, centre, rotate);
            const double nx = -std::cos(rotate.z), ny = -std::sin(rotate.z);
            CGAL::Polygon_mesh_processing::split(mesh, Kernel::Plane_3(nx, ny, 0, -(nx * centre.x + ny * centre.y)));
        }
        faces = uint32_t(mesh.number_of_faces());
    }
    state.counters["faces_after"] = faces;
    report(state, double(grid().nbFace()));
}
BENCHMARK(BM_CgalSplitTenPlanes)->Unit(benchmark::kMillisecond)->Iterations(1);
#endif

}  // namespace

BENCHMARK_MAIN();
