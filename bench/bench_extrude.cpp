// Face extrusion on quad grids: every face of an n x n grid extruded separately (10k and 1M
// faces), and an m x m region extruded together inside an (m + 1) x (m + 1) grid (10k, 100k and
// 1M faces), each with 1 and 4 rows. Counters: ns per new face (walls and bottoms the extrusion
// adds) and per selected face, the heap peak the extrusion adds (operator new is counted), and
// the face count of the result. Beside it, in the same run, OpenMesh builds the same result from
// scratch (all its vertices and faces added to an empty mesh), timed per the same new faces.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <utility>
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

// Arguments: 0 separate on the whole grid, 1 together on the region; the side; the rows.
struct Tworkload {
    bool together;
    uint32_t side, rows;
};

Tworkload workload(const benchmark::State& state) {
    return {state.range(0) != 0, uint32_t(state.range(1)), uint32_t(state.range(2))};
}

// The input grid, built once per side and mode: n x n for the separate workload, (m + 1) x
// (m + 1) with the m x m faces of the lower corner selected for the region.
const TpolyGeom& input(const Tworkload& w) {
    static std::map<std::pair<bool, uint32_t>, std::unique_ptr<TpolyGeom>> cache;
    auto& g = cache[{w.together, w.side}];
    if (!g) {
        g = std::make_unique<TpolyGeom>();
        buildQuadGrid(*g, w.together ? w.side + 1 : w.side);
        g->update(dirtyFaceOffsets);
    }
    return *g;
}

TmidFaceComponent selection(const Tworkload& w) {
    TmidFaceComponent list;
    if (!w.together) {
        list.addRange(0, w.side * w.side - 1);
        return list;
    }
    for (uint32_t j = 0; j < w.side; ++j) list.addRange(j * (w.side + 1), j * (w.side + 1) + w.side - 1);
    return list;
}

TpolyExtrudeFacetFty extrusion(const Tworkload& w) {
    TpolyExtrudeFacetFty fty;
    fty.setScale({1, 1, 1});
    fty.setLScale({1, 1, 1});
    fty.setTrans({0, 0, 1});
    fty.setDivisions(int(w.rows));
    fty.setExtrudeMode(w.together);
    return fty;
}

// The extruded result of the workload, for the peer to rebuild.
std::unique_ptr<TpolyGeom> extruded(const Tworkload& w) {
    TmidBody body(new TpolyGeom(input(w)));
    TmidFaceComponent list = selection(w);
    TpolyExtrudeFacetFty fty = extrusion(w);
    fty.doAction(&body, &list);
    auto out = std::make_unique<TpolyGeom>(*body.polyGeom());
    out->update(dirtyFaceOffsets);
    return out;
}

void report(benchmark::State& state, double newFaces, double selected, size_t peak, double outFaces) {
    const double n = double(state.iterations());
    state.counters["ns_per_new_face"] =
        benchmark::Counter(n * newFaces, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["ns_per_selected"] =
        benchmark::Counter(n * selected, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["peak_MB"] = double(peak) / (1 << 20);
    state.counters["out_faces"] = outFaces;
}

void BM_ExtrudeFaces(benchmark::State& state) {
    const Tworkload w = workload(state);
    const TpolyGeom& src = input(w);
    const TmidFaceComponent list = selection(w);
    TpolyExtrudeFacetFty fty = extrusion(w);
    size_t peak = 0;
    const double out = timeAction(state, src, list, fty, peak).f;
    report(state, out - src.nbFace(), double(list.elementCount()), peak, out);
}

#ifdef BRINDLE_HAVE_OPENMESH
void BM_OpenMeshBuildExtruded(benchmark::State& state) {
    using Mesh = OpenMesh::PolyMesh_ArrayKernelT<>;
    const Tworkload w = workload(state);
    const double inFaces = input(w).nbFace();
    const double selected = double(selection(w).elementCount());
    const std::unique_ptr<TpolyGeom> result = extruded(w);
    size_t peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto mesh = std::make_unique<Mesh>();
        const heappeak::Mark mark;
        state.ResumeTiming();
        fillOpenMesh(*mesh, *result);
        state.PauseTiming();
        peak = std::max(peak, mark.added());
        mesh.reset();
        state.ResumeTiming();
    }
    report(state, result->nbFace() - inFaces, selected, peak, result->nbFace());
}
#endif

}  // namespace

// Each workload runs ours and then the peer's build, so that the two read the same machine state.
int main(int argc, char** argv) {
    for (int64_t rows : {1, 4})
        for (int64_t together : {0, 1})
            for (int64_t side : std::vector<int64_t>{100, 316, 1000}) {
                if (!together && side == 316) continue;
                benchmark::RegisterBenchmark("BM_ExtrudeFaces", BM_ExtrudeFaces)
                    ->ArgNames({"together", "side", "rows"})
                    ->Args({together, side, rows})
                    ->Unit(benchmark::kMillisecond);
#ifdef BRINDLE_HAVE_OPENMESH
                benchmark::RegisterBenchmark("BM_OpenMeshBuildExtruded", BM_OpenMeshBuildExtruded)
                    ->ArgNames({"together", "side", "rows"})
                    ->Args({together, side, rows})
                    ->Unit(benchmark::kMillisecond);
#endif
            }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
