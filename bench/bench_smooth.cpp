// Smoothing faces in place: every face of the quad-dominant sample mesh and of a 100k-quad grid
// smoothed once and twice (one and two Catmull-Clark steps), beside, on the same input and in
// the same run, OpenMesh's CatmullClarkT subdivider (one and two iterations) and this library's
// own subdivision hierarchy at levels 1 and 2 (topology build plus evaluation). Copies of the
// input are made outside the timed region; the counters give the faces made and the time per
// output face.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "support/GridBuilder.h"
#include "support/ObjLoad.h"

#ifdef BRINDLE_HAVE_OPENMESH
#include <OpenMesh/Core/Mesh/PolyMesh_ArrayKernelT.hh>
#include <OpenMesh/Tools/Subdivider/Uniform/CatmullClarkT.hh>

#include "OpenMeshFill.h"
#endif

namespace {

const TpolyGeom& input(const std::string& name) {
    static TpolyGeom suzanne, grid;
    static const bool loaded = [] {
        loadObj(std::string(BRINDLE_DATA_DIR) + "/suzanne.obj", suzanne);
        buildQuadGrid(grid, 316);
        for (TpolyGeom* g : {&suzanne, &grid}) g->update(dirtyAll);
        return true;
    }();
    (void)loaded;
    return name == "suzanne" ? suzanne : grid;
}

void report(benchmark::State& state, double faces) {
    state.counters["faces"] = faces;
    state.counters["time/face"] =
        benchmark::Counter(faces, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SmoothFacet(benchmark::State& state, const char* name) {
    const TpolyGeom& in = input(name);
    TpolySmoothFacetFty op;
    op.setDivisions(short(state.range(0)));
    op.setKeepBorder(false);
    TmidFaceComponent all;
    all.addRange(0, in.nbFace() - 1);
    double faces = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto body = std::make_unique<TmidBody>(new TpolyGeom(in));
        body->polyGeom()->update(dirtyAll);
        state.ResumeTiming();
        op.doAction(body.get(), &all);
        benchmark::DoNotOptimize(body->polyGeom()->vertexArray().data());
        state.PauseTiming();
        faces = double(body->polyGeom()->nbFace());
        body.reset();
        state.ResumeTiming();
    }
    report(state, faces);
}

void BM_Hierarchy(benchmark::State& state, const char* name) {
    const TpolyGeom& in = input(name);
    const uint32_t levels = uint32_t(state.range(0));
    TpolySmoothGeomOptions options;
    options.setKeepBorderEdge(false);
    double faces = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto g = std::make_unique<TpolyGeom>(in);
        g->update(dirtyAll);
        state.ResumeTiming();
        g->createHierarchy(levels, options);
        benchmark::DoNotOptimize(g->vertexArray().data());
        state.PauseTiming();
        faces = double(g->subdivider()->nbFaceAt(levels));
        g.reset();
        state.ResumeTiming();
    }
    report(state, faces);
}

#ifdef BRINDLE_HAVE_OPENMESH
void BM_OpenMeshCatmullClark(benchmark::State& state, const char* name) {
    using Mesh = OpenMesh::PolyMesh_ArrayKernelT<>;
    const TpolyGeom& in = input(name);
    OpenMesh::Subdivider::Uniform::CatmullClarkT<Mesh> subdivider;
    double faces = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto mesh = std::make_unique<Mesh>();
        fillOpenMesh(*mesh, in);
        state.ResumeTiming();
        subdivider.attach(*mesh);
        subdivider(size_t(state.range(0)));
        subdivider.detach();
        benchmark::DoNotOptimize(mesh->points());
        state.PauseTiming();
        faces = double(mesh->n_faces());
        mesh.reset();
        state.ResumeTiming();
    }
    report(state, faces);
}
#endif

}  // namespace

BENCHMARK_CAPTURE(BM_SmoothFacet, suzanne, "suzanne")->DenseRange(1, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SmoothFacet, grid100k, "grid100k")->DenseRange(1, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Hierarchy, suzanne, "suzanne")->DenseRange(1, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Hierarchy, grid100k, "grid100k")->DenseRange(1, 2)->Unit(benchmark::kMillisecond);
#ifdef BRINDLE_HAVE_OPENMESH
BENCHMARK_CAPTURE(BM_OpenMeshCatmullClark, suzanne, "suzanne")->DenseRange(1, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenMeshCatmullClark, grid100k, "grid100k")->DenseRange(1, 2)->Unit(benchmark::kMillisecond);
#endif

BENCHMARK_MAIN();
