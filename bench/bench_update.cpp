// Bringing adjacency and normals up to date on a 1M-face quad grid and a 1M-triangle sphere, each
// stage timed on its own, beside OpenMesh building a polygon mesh from the same faces and updating
// its face and vertex normals. Stage times are processor time (the machine is shared, so wall time
// says more about the neighbours than about the code); total_ms is the sum to set beside
// OpenMesh's cpu_ms.
//
// Then the whole path a host takes on the scanned and quad-dominant sample meshes and a 100k-quad
// grid: building the record from flat arrays through the vertex builder, adjacency, and face and
// shading normals, beside OpenMesh and CGAL's Surface_mesh building their mesh from the same arrays
// and computing face and vertex normals. Each reports its stages and total_ms (processor time per
// run) and the bytes per face of the result.
#include <benchmark/benchmark.h>

#include <ctime>
#include <cmath>
#include <vector>

#include "MeshInputs.h"
#include "support/GridBuilder.h"

#ifdef BRINDLE_HAVE_OPENMESH
#include <OpenMesh/Core/Mesh/PolyMesh_ArrayKernelT.hh>
#endif
#ifdef BRINDLE_HAVE_CGAL
#include <CGAL/Polygon_mesh_processing/compute_normal.h>
#include <CGAL/Simple_cartesian.h>
#include <CGAL/Surface_mesh.h>
#endif

namespace {

// Latitude-longitude sphere of triangles: two pole fans and two triangles per quad between them,
// 2 * columns * (rows - 1) triangles; edges shared between neighbouring triangles.
void buildTriangleSphere(TpolyGeom& g, uint32_t rows, uint32_t columns) {
    g.appendVertex(0, 0, 1);
    for (uint32_t r = 1; r < rows; ++r)
        for (uint32_t c = 0; c < columns; ++c) {
            const double t = kPi * r / rows, p = kTwoPi * c / columns;
            g.appendVertex(float(std::sin(t) * std::cos(p)), float(std::sin(t) * std::sin(p)), float(std::cos(t)));
        }
    const uint32_t south = g.appendVertex(0, 0, -1);
    auto ring = [&](uint32_t r, uint32_t c) {
        return r == 0 ? 0u : r == rows ? south : 1 + (r - 1) * columns + c % columns;
    };
    // Edge ids by construction: for each row boundary r (1..rows-1) a ring edge per column, and
    // for each band r (0..rows-1) a meridian edge and, between the rings, a diagonal per column.
    std::vector<uint32_t> ringEdge(size_t(rows + 1) * columns), meridian(size_t(rows) * columns),
        diagonal(size_t(rows) * columns);
    for (uint32_t r = 1; r < rows; ++r)
        for (uint32_t c = 0; c < columns; ++c)
            ringEdge[size_t(r) * columns + c] = g.appendEdge(ring(r, c), ring(r, c + 1));
    for (uint32_t r = 0; r < rows; ++r)
        for (uint32_t c = 0; c < columns; ++c) {
            meridian[size_t(r) * columns + c] = g.appendEdge(ring(r, c), ring(r + 1, c));
            if (r > 0 && r + 1 < rows) diagonal[size_t(r) * columns + c] = g.appendEdge(ring(r, c), ring(r + 1, c + 1));
        }
    auto tri = [&](uint32_t e0, TedgeDirection d0, uint32_t e1, TedgeDirection d1, uint32_t e2, TedgeDirection d2) {
        g.bgnFace(3);
        g.refEdge(e0, d0);
        g.refEdge(e1, d1);
        g.refEdge(e2, d2);
        g.endLoop();
        g.endFace();
    };
    for (uint32_t r = 0; r < rows; ++r)
        for (uint32_t c = 0; c < columns; ++c) {
            const uint32_t m0 = meridian[size_t(r) * columns + c],
                           m1 = meridian[size_t(r) * columns + (c + 1) % columns];
            if (r == 0) {
                tri(m0, kForward, ringEdge[size_t(1) * columns + c], kForward, m1, kReversed);
            } else if (r + 1 == rows) {
                tri(m0, kForward, m1, kReversed, ringEdge[size_t(r) * columns + c], kReversed);
            } else {
                const uint32_t d = diagonal[size_t(r) * columns + c];
                tri(m0, kForward, ringEdge[size_t(r + 1) * columns + c], kForward, d, kReversed);
                tri(d, kForward, m1, kReversed, ringEdge[size_t(r) * columns + c], kReversed);
            }
        }
}

const TpolyGeom& workload(int which) {
    static TpolyGeom* grid = [] {
        auto* g = new TpolyGeom;
        buildQuadGrid(*g, 1000);
        return g;
    }();
    static TpolyGeom* sphere = [] {
        auto* g = new TpolyGeom;
        buildTriangleSphere(*g, 501, 1000);
        return g;
    }();
    return which == 0 ? *grid : *sphere;
}

double cpuMsSince(std::clock_t t0) { return 1000.0 * double(std::clock() - t0) / CLOCKS_PER_SEC; }

void BM_BrindleUpdate(benchmark::State& state) {
    TpolyGeom g(workload(int(state.range(0))));
    double edgeToFace = 0, vertexToEdge = 0, normals = 0;
    for (auto _ : state) {
        g.markDirty(dirtyAll);
        std::clock_t t0 = std::clock();
        g.update(dirtyFaceOffsets | dirtyEdgeToFace);
        edgeToFace += cpuMsSince(t0);
        t0 = std::clock();
        g.update(dirtyVertexToEdge);
        vertexToEdge += cpuMsSince(t0);
        t0 = std::clock();
        g.update(dirtyVertexNormalize | dirtyFaceNormalize);
        normals += cpuMsSince(t0);
    }
    const double n = double(state.iterations());
    state.counters["edgeToFace_ms"] = edgeToFace / n;
    state.counters["vertexToEdge_ms"] = vertexToEdge / n;
    state.counters["normals_ms"] = normals / n;
    state.counters["total_ms"] = (edgeToFace + vertexToEdge + normals) / n;
    state.counters["faces"] = g.nbFace();
    state.counters["bytes/face"] = double(g.bytesAllocated()) / g.nbFace();
}
BENCHMARK(BM_BrindleUpdate)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

#ifdef BRINDLE_HAVE_OPENMESH
void BM_OpenMeshBuildNormals(benchmark::State& state) {
    using Mesh = OpenMesh::PolyMesh_ArrayKernelT<>;
    const TpolyGeom& src = workload(int(state.range(0)));
    TpolyGeom g(src);
    g.update(dirtyFaceOffsets);
    size_t bytes = 0;
    double cpu = 0;
    for (auto _ : state) {
        const std::clock_t t0 = std::clock();
        Mesh mesh;
        mesh.reserve(g.nbVertex(), g.nbEdge(), g.nbFace());
        for (uint32_t v = 0; v < g.nbVertex(); ++v) {
            const T3dFltPoint& p = g.vertexConst(v);
            mesh.add_vertex(Mesh::Point(p.x, p.y, p.z));
        }
        std::vector<Mesh::VertexHandle> face;
        for (uint32_t f = 0; f < g.nbFace(); ++f) {
            face.clear();
            for (uint32_t o = g.faceOffset(f); o < g.faceOffset(f + 1); ++o)
                face.push_back(Mesh::VertexHandle(int(g.getStartVertex(o))));
            mesh.add_face(face);
        }
        mesh.request_face_normals();
        mesh.request_vertex_normals();
        mesh.update_normals();
        // Handles of 4 bytes: a vertex keeps one, a halfedge four (face, vertex, next, prev), a
        // face one; positions and both normal properties are three floats each.
        bytes = mesh.n_vertices() * (4 + 12 + 12) + mesh.n_halfedges() * 16 + mesh.n_faces() * (4 + 12);
        benchmark::DoNotOptimize(mesh.n_faces());
        cpu += cpuMsSince(t0);
    }
    state.counters["cpu_ms"] = cpu / double(state.iterations());
    state.counters["faces"] = g.nbFace();
    state.counters["bytes/face"] = double(bytes) / g.nbFace();
}
BENCHMARK(BM_OpenMeshBuildNormals)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

// Processor time of the calling process in milliseconds, finer than std::clock.
double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return 1e3 * double(t.tv_sec) + 1e-6 * double(t.tv_nsec);
}

struct Stages {
    double build = 0, adjacency = 0, normals = 0;
    void report(benchmark::State& state, double bytesPerFace) const {
        const double n = double(state.iterations());
        state.counters["build_ms"] = build / n;
        state.counters["adjacency_ms"] = adjacency / n;
        state.counters["normals_ms"] = normals / n;
        state.counters["total_ms"] = (build + adjacency + normals) / n;
        state.counters["bytes/face"] = bytesPerFace;
    }
};

void BM_BuildNormalsBrindle(benchmark::State& state) {
    const FlatMesh& m = meshInput(int(state.range(0)));
    Stages t;
    double bytes = 0;
    for (auto _ : state) {
        double t0 = cpuMs();
        TpolyGeom* g = buildRecord(m);
        double t1 = cpuMs();
        t.build += t1 - t0;
        g->update(dirtyFaceOffsets | dirtyEdgeToFace | dirtyVertexToEdge);
        t0 = cpuMs();
        t.adjacency += t0 - t1;
        g->update(dirtyFaceNormalize | dirtyVertexNormalize);
        t.normals += cpuMs() - t0;
        bytes = double(g->bytesAllocated()) / m.nbFace();
        delete g;
    }
    t.report(state, bytes);
}
BENCHMARK(BM_BuildNormalsBrindle)->Apply(meshInputs)->Unit(benchmark::kMillisecond);

#ifdef BRINDLE_HAVE_OPENMESH
void BM_BuildNormalsOpenMesh(benchmark::State& state) {
    using Mesh = OpenMesh::PolyMesh_ArrayKernelT<>;
    const FlatMesh& m = meshInput(int(state.range(0)));
    Stages t;
    double bytes = 0;
    std::vector<Mesh::VertexHandle> corner;
    omerr().disable();  // the cow's non-manifold corners would print a line per face refused
    for (auto _ : state) {
        double t0 = cpuMs();
        Mesh mesh;
        mesh.reserve(m.nbVertex(), m.ids.size() / 2 + 1, m.nbFace());
        for (uint32_t v = 0; v < m.nbVertex(); ++v)
            mesh.add_vertex(Mesh::Point(m.positions[3 * v], m.positions[3 * v + 1], m.positions[3 * v + 2]));
        for (size_t f = 0, at = 0; f < m.counts.size(); at += size_t(m.counts[f++])) {
            corner.clear();
            for (int32_t k = 0; k < m.counts[f]; ++k) corner.push_back(Mesh::VertexHandle(m.ids[at + size_t(k)]));
            mesh.add_face(corner);
        }
        double t1 = cpuMs();
        t.build += t1 - t0;
        mesh.request_face_normals();
        mesh.request_vertex_normals();
        mesh.update_normals();
        t.normals += cpuMs() - t1;
        // Handles of 4 bytes: a vertex keeps one, a halfedge four (face, vertex, next, prev), a
        // face one; positions and both normal properties are three floats each.
        bytes = double(mesh.n_vertices() * (4 + 12 + 12) + mesh.n_halfedges() * 16 + mesh.n_faces() * (4 + 12)) /
                double(mesh.n_faces());
    }
    t.report(state, bytes);
}
BENCHMARK(BM_BuildNormalsOpenMesh)->Apply(meshInputs)->Unit(benchmark::kMillisecond);
#endif

#ifdef BRINDLE_HAVE_CGAL
void BM_BuildNormalsCGAL(benchmark::State& state) {
    using Kernel = CGAL::Simple_cartesian<double>;
    using Mesh = CGAL::Surface_mesh<Kernel::Point_3>;
    const FlatMesh& m = meshInput(int(state.range(0)));
    Stages t;
    double bytes = 0;
    std::vector<Mesh::Vertex_index> corner;
    for (auto _ : state) {
        double t0 = cpuMs();
        Mesh mesh;
        mesh.reserve(m.nbVertex(), m.ids.size() / 2 + 1, m.nbFace());
        for (uint32_t v = 0; v < m.nbVertex(); ++v)
            mesh.add_vertex(Kernel::Point_3(m.positions[3 * v], m.positions[3 * v + 1], m.positions[3 * v + 2]));
        for (size_t f = 0, at = 0; f < m.counts.size(); at += size_t(m.counts[f++])) {
            corner.clear();
            for (int32_t k = 0; k < m.counts[f]; ++k)
                corner.push_back(Mesh::Vertex_index(uint32_t(m.ids[at + size_t(k)])));
            mesh.add_face(corner);
        }
        double t1 = cpuMs();
        t.build += t1 - t0;
        auto fnormals = mesh.add_property_map<Mesh::Face_index, Kernel::Vector_3>("f:n").first;
        auto vnormals = mesh.add_property_map<Mesh::Vertex_index, Kernel::Vector_3>("v:n").first;
        CGAL::Polygon_mesh_processing::compute_normals(mesh, vnormals, fnormals);
        t.normals += cpuMs() - t1;
        // Handles of 4 bytes: a vertex keeps one, a halfedge four (face, vertex, next, prev), a
        // face one; positions and normals are three doubles each, and every element kind keeps a
        // one-byte removed flag.
        bytes = double(mesh.number_of_vertices() * (4 + 24 + 24 + 1) + mesh.number_of_halfedges() * 16 +
                       mesh.number_of_edges() + mesh.number_of_faces() * (4 + 24 + 1)) /
                double(mesh.number_of_faces());
    }
    t.report(state, bytes);
}
BENCHMARK(BM_BuildNormalsCGAL)->Apply(meshInputs)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
