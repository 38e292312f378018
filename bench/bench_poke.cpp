// Poking every face of an n x n quad grid (10k, 100k and 1M faces), through the cuts (Zelto70,
// the default) and through the in-place fan (Zelto70 off); counters: ns per poked face, the heap
// peak the action adds per face (operator new is counted) and the result's counts. Beside it, in
// the same run, OpenMesh splits every face of the same grid at its centroid (PolyMesh
// split(face, point)), and the run fails when its counts differ from ours. Then the wedge of a
// 40 x 25 region of faces (1000) swung about the 40 edges of one side of its border, in 1 and 4
// steps.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

#include "HeapPeak.h"
#include "TimingLoops.h"
#include "brindle/brindle.h"
#include "support/GridBuilder.h"

#ifdef BRINDLE_HAVE_OPENMESH
#include <OpenMesh/Core/Mesh/PolyMesh_ArrayKernelT.hh>

#include "OpenMeshFill.h"
#endif

namespace {

const TpolyGeom& grid(uint32_t side) {
    static std::map<uint32_t, std::unique_ptr<TpolyGeom>> cache;
    auto& g = cache[side];
    if (!g) {
        g = std::make_unique<TpolyGeom>();
        buildQuadGrid(*g, side);
        g->update(dirtyFaceOffsets);
    }
    return *g;
}

void report(benchmark::State& state, double faces, size_t peak, const Tcounts& out) {
    state.counters["ns_per_face"] = benchmark::Counter(double(state.iterations()) * faces,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["peak_B_per_face"] = double(peak) / faces;
    state.counters["out_vertices"] = out.v;
    state.counters["out_faces"] = out.f;
}

// Counts of poking every face of the grid, as the peer must reach them too.
Tcounts expected(uint32_t side) {
    const double n = double(side) * side;
    return {double(side + 1) * (side + 1) + n, 4 * n};
}

void BM_PokeGrid(benchmark::State& state) {
    const uint32_t side = uint32_t(state.range(0));
    const TpolyGeom& src = grid(side);
    TmidFaceComponent all;
    all.addRange(0, src.nbFace() - 1);
    TpolyPokeFty fty;
    fty.setZelto70(state.range(1) != 0);
    size_t peak = 0;
    const Tcounts out = timeAction(state, src, all, fty, peak);
    const Tcounts want = expected(side);
    if (out.v != want.v || out.f != want.f) state.SkipWithError("poke counts differ from the grid's");
    report(state, src.nbFace(), peak, out);
}

#ifdef BRINDLE_HAVE_OPENMESH
void BM_OpenMeshSplitFace(benchmark::State& state) {
    using Mesh = OpenMesh::PolyMesh_ArrayKernelT<>;
    const uint32_t side = uint32_t(state.range(0));
    const TpolyGeom& src = grid(side);
    size_t peak = 0;
    Tcounts out;
    std::vector<Mesh::FaceHandle> faces;
    std::vector<Mesh::Point> centres;
    for (auto _ : state) {
        state.PauseTiming();
        auto mesh = std::make_unique<Mesh>();
        fillOpenMesh(*mesh, src);
        faces.assign(mesh->faces_begin(), mesh->faces_end());
        centres.clear();
        for (Mesh::FaceHandle f : faces) centres.push_back(mesh->calc_face_centroid(f));
        const heappeak::Mark mark;
        state.ResumeTiming();
        for (size_t k = 0; k < faces.size(); ++k) mesh->split(faces[k], centres[k]);
        state.PauseTiming();
        peak = std::max(peak, mark.added());
        out = {double(mesh->n_vertices()), double(mesh->n_faces())};
        mesh.reset();
        state.ResumeTiming();
    }
    const Tcounts want = expected(side);
    if (out.v != want.v || out.f != want.f) state.SkipWithError("OpenMesh counts differ from ours");
    report(state, src.nbFace(), peak, out);
}
#endif

// The lower 25 rows of a 40 x 40 grid (1000 faces), hinged on the 40 edges of its bottom border.
void BM_WedgeRegion(benchmark::State& state) {
    constexpr uint32_t kSide = 40, kRows = 25;
    const TpolyGeom& src = grid(kSide);
    TmidFaceComponent region;
    region.addRange(0, kSide * kRows - 1);
    TpolyWedgeFaceFty fty;
    for (uint32_t e = 0; e < kSide; ++e) fty.addEdge(int(e));
    fty.setAngle(1.0);
    fty.setSubdivisions(int(state.range(0)));
    size_t peak = 0;
    const Tcounts out = timeAction(state, src, region, fty, peak);
    report(state, kSide * kRows, peak, out);
}

}  // namespace

// Each size runs ours (both cutting modes) and then the peer, so that they read the same machine
// state.
int main(int argc, char** argv) {
    for (int64_t side : {100, 316, 1000}) {
        for (int64_t zelto : {1, 0})
            benchmark::RegisterBenchmark("BM_PokeGrid", BM_PokeGrid)
                ->ArgNames({"side", "zelto70"})
                ->Args({side, zelto})
                ->Unit(benchmark::kMillisecond);
#ifdef BRINDLE_HAVE_OPENMESH
        benchmark::RegisterBenchmark("BM_OpenMeshSplitFace", BM_OpenMeshSplitFace)
            ->ArgNames({"side"})
            ->Args({side})
            ->Unit(benchmark::kMillisecond);
#endif
    }
    for (int64_t steps : {1, 4})
        benchmark::RegisterBenchmark("BM_WedgeRegion", BM_WedgeRegion)
            ->ArgNames({"steps"})
            ->Args({steps})
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
