// The editable copy of a 1M-face quad grid: building it, splitting every tenth edge at its
// middle and converting back to a dense record, each stage timed in processor time, with the
// process's peak resident size. Beside it OpenMesh builds a polygon mesh of the same faces and
// splits the same edges (it has no separate conversion stage).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <ctime>
#include <memory>
#include <vector>

#include "support/GridBuilder.h"

#ifdef BRINDLE_HAVE_OPENMESH
#include <OpenMesh/Core/Mesh/PolyMesh_ArrayKernelT.hh>

#include "OpenMeshFill.h"
#endif

namespace {

const TpolyGeom& grid() {
    static TpolyGeom* g = [] {
        auto* r = new TpolyGeom;
        buildQuadGrid(*r, 1000);
        r->update(dirtyAll);
        return r;
    }();
    return *g;
}

double cpuMsSince(std::clock_t t0) { return 1000.0 * double(std::clock() - t0) / CLOCKS_PER_SEC; }

double peakMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

constexpr uint32_t kStride = 10;  // one edge in ten is split

void BM_EditableSplitConvert(benchmark::State& state) {
    double build = 0, split = 0, convert = 0;
    uint32_t faces = 0, corners = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TpolyGeom g(grid());
        g.update(dirtyAll);
        state.ResumeTiming();
        std::clock_t t0 = std::clock();
        TpolyEditableGeom edit(&g, TpolyEditableGeom::kModeAll);
        build += cpuMsSince(t0);
        t0 = std::clock();
        const uint32_t nEdge = edit.edgeCount();
        for (uint32_t e = 0; e < nEdge; e += kStride) {
            uint32_t ne, nv;
            edit.splitEdge(e, 0.5f, ne, nv);
        }
        split += cpuMsSince(t0);
        t0 = std::clock();
        std::unique_ptr<TpolyGeom> out(edit.convert(true, true, nullptr));
        convert += cpuMsSince(t0);
        faces = out->nbFace();
        corners = out->faceDescLength();
    }
    const double n = double(state.iterations());
    state.counters["build_ms"] = build / n;
    state.counters["split_ms"] = split / n;
    state.counters["convert_ms"] = convert / n;
    state.counters["total_ms"] = (build + split + convert) / n;
    state.counters["faces"] = faces;
    state.counters["corners"] = corners;
    state.counters["peak_MB"] = peakMb();
}
BENCHMARK(BM_EditableSplitConvert)->Unit(benchmark::kMillisecond)->Iterations(3);

#ifdef BRINDLE_HAVE_OPENMESH
void BM_OpenMeshBuildSplit(benchmark::State& state) {
    using Mesh = OpenMesh::PolyMesh_ArrayKernelT<>;
    TpolyGeom g(grid());
    g.update(dirtyAll);
    double build = 0, split = 0;
    for (auto _ : state) {
        std::clock_t t0 = std::clock();
        Mesh mesh;
        fillOpenMesh(mesh, g);
        build += cpuMsSince(t0);
        t0 = std::clock();
        // The same edges, found by their end vertices.
        for (uint32_t e = 0; e < g.nbEdge(); e += kStride) {
            const Mesh::VertexHandle a(int(g.startVertex(e))), b(int(g.endVertex(e)));
            const Mesh::HalfedgeHandle h = mesh.find_halfedge(a, b);
            const Mesh::VertexHandle m = mesh.add_vertex((mesh.point(a) + mesh.point(b)) * 0.5f);
            mesh.split_edge(mesh.edge_handle(h), m);
        }
        split += cpuMsSince(t0);
        benchmark::DoNotOptimize(mesh.n_faces());
    }
    const double n = double(state.iterations());
    state.counters["build_ms"] = build / n;
    state.counters["split_ms"] = split / n;
    state.counters["total_ms"] = (build + split) / n;
    state.counters["peak_MB"] = peakMb();
}
BENCHMARK(BM_OpenMeshBuildSplit)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

}  // namespace

BENCHMARK_MAIN();
