// UV mapping operations at three sizes, 10k, 100k and 1M faces, so that growth shows as time per
// face: every face of a bumpy quad grid projected planar, spherical and cylindrical (both with
// the seam corrected) and automatically onto six planes; every edge cut and then sewn back; and
// the layout (packing into a strip, then uniform scaling into the unit square) of the grid cut
// into shells of ten faces (10k shells at 100k faces) and of the sample meshes, whose UVs come
// from the automatic projection (they carry none of their own). Each reports ns per face and the
// heap peak the operation adds, in bytes per face. No open library offers these operations, so
// there is no peer to run beside them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>
#include <string>
#include <type_traits>

#include "HeapPeak.h"
#include "support/ObjLoad.h"
#include "uv/UvTestSupport.h"

namespace {

const uint32_t kGridSizes[] = {100, 316, 1000};  // 10,000, 99,856 and 1,000,000 quads
const char* const kSamples[] = {"stanford-bunny", "cow", "teapot", "suzanne", "woody", "beetle"};

// The grid of n x n quads with its set "map1" (one UV per vertex, shared by the vertex's
// corners) lifted onto a bump field, so that normals vary as on a modelled surface.
std::unique_ptr<TmidBody> bumpyGridBody(uint32_t n) {
    std::unique_ptr<TmidBody> body = gridBody(n);
    TpolyGeom& g = *body->polyGeom();
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        T3dFltPoint& p = g.vertex(v);
        p.z = 0.1f * float(n) * std::sin(12.0f * p.x / float(n)) * std::cos(9.0f * p.y / float(n));
    }
    g.markDirty(dirtyMoved);
    return body;
}

// The bodies, built once each: the plain grids, the grids cut into shells of 2 x 5 faces, and
// the sample meshes mapped by the automatic projection.
const TmidBody& plainGrid(int size) {
    static std::unique_ptr<TmidBody> bodies[3];
    if (!bodies[size]) bodies[size] = bumpyGridBody(kGridSizes[size]);
    return *bodies[size];
}

const TmidBody& shellGrid(int size) {
    static std::unique_ptr<TmidBody> bodies[3];
    if (bodies[size]) return *bodies[size];
    const uint32_t n = kGridSizes[size];
    bodies[size] = bumpyGridBody(n);
    TpolyGeom& g = *bodies[size]->polyGeom();
    TmidEdgeComponent seams;
    for (uint32_t e = 0; e < g.nbEdge(); ++e) {
        const T3dFltPoint &a = g.vertexConst(g.startVertex(e)), &b = g.vertexConst(g.endVertex(e));
        if ((a.x == b.x && int(a.x) % 2 == 0) || (a.y == b.y && int(a.y) % 5 == 0)) seams.addElement(e);
    }
    TpolyMapCutFty cut;
    cut.setUVSetIndex(0);
    cut.doAction(bodies[size].get(), &seams);
    return *bodies[size];
}

const TmidBody& sampleBody(int which) {
    static std::unique_ptr<TmidBody> bodies[std::size(kSamples)];
    if (bodies[which]) return *bodies[which];
    auto* g = new TpolyGeom;
    loadObj(std::string(BRINDLE_DATA_DIR) + "/" + kSamples[which] + ".obj", *g);
    g->update(dirtyFaceOffsets);
    g->newEmptyMapSet(Tstring("map1"));
    bodies[which] = std::make_unique<TmidBody>(g);
    TpolyAutoProjFty autoProj;
    autoProj.setMapSet(0);
    TmidFaceComponent all = allOf<TmidFaceComponent>(g->nbFace());
    autoProj.doAction(bodies[which].get(), &all);
    return *bodies[which];
}

// Times op on a fresh copy of the body per iteration (the copy is not timed) and reports ns and
// heap peak bytes per face, and the number of UVs the result holds.
template <typename Op>
void timeOnCopies(benchmark::State& state, const TmidBody& source, const std::string& label, Op&& op) {
    const uint32_t faces = source.polyGeom()->nbFace();
    size_t peak = 0;
    uint32_t uvs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto body = std::make_unique<TmidBody>(new TpolyGeom(*source.polyGeom()));
        body->polyGeom()->update(dirtyFaceOffsets | dirtyEdgeToFace);
        const heappeak::Mark mark;
        state.ResumeTiming();
        op(*body);
        state.PauseTiming();
        peak = std::max(peak, mark.added());
        uvs = body->polyGeom()->nbUV(0);
        body.reset();
        state.ResumeTiming();
    }
    state.SetLabel(label);
    state.counters["faces"] = faces;
    state.counters["ns_per_face"] = benchmark::Counter(double(state.iterations()) * faces,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["peak_B_per_face"] = double(peak) / faces;
    state.counters["uvs"] = uvs;
}

std::string gridLabel(const TmidBody& b) { return "grid " + std::to_string(b.polyGeom()->nbFace()) + " faces"; }

// Projects every face with the factory, which is set up for set 0 beforehand.
template <typename Fty>
void project(benchmark::State& state, Fty& fty) {
    const TmidBody& source = plainGrid(int(state.range(0)));
    TmidFaceComponent all = allOf<TmidFaceComponent>(source.polyGeom()->nbFace());
    timeOnCopies(state, source, gridLabel(source), [&](TmidBody& body) { fty.doAction(&body, &all); });
}

void BM_ProjectPlanar(benchmark::State& state) {
    const float n = float(kGridSizes[state.range(0)]);
    TpolyPlanProjFty planar;
    planar.setUVSetIndex(0);
    planar.setCenX(n / 2), planar.setCenY(n / 2), planar.setU(n / 2), planar.setV(n / 2);
    planar.setU2D(0.5f), planar.setV2D(0.5f), planar.setCen2DX(0.5f), planar.setCen2DY(0.5f);
    project(state, planar);
}

// Spherical and cylindrical round the grid's centre, a full turn, the seam corrected.
template <typename Fty>
void wrapped(benchmark::State& state) {
    const float n = float(kGridSizes[state.range(0)]);
    Fty wrap;
    wrap.setUVSetIndex(0);
    wrap.setCenX(n / 2), wrap.setCenY(n / 2), wrap.setCenZ(-n);
    wrap.setRotateX(float(kHalfPi));
    wrap.setU(360), wrap.setV(std::is_same_v<Fty, TpolySphProjFty> ? 180 : n);
    wrap.setU2D(1), wrap.setV2D(1);
    wrap.setSeamCorrect(true);
    project(state, wrap);
}
void BM_ProjectSpherical(benchmark::State& state) { wrapped<TpolySphProjFty>(state); }
void BM_ProjectCylindrical(benchmark::State& state) { wrapped<TpolyCylProjFty>(state); }

void BM_ProjectAutomatic(benchmark::State& state) {
    const float n = float(kGridSizes[state.range(0)]);
    TpolyAutoProjFty autoProj;
    autoProj.setMapSet(0);
    autoProj.setScale(T4dFltVector(n, n, n));
    project(state, autoProj);
}

void BM_CutAndSewEveryEdge(benchmark::State& state) {
    const TmidBody& source = plainGrid(int(state.range(0)));
    TmidEdgeComponent all = allOf<TmidEdgeComponent>(source.polyGeom()->nbEdge());
    TpolyMapCutFty cut;
    TpolyMapSewFty sew;
    cut.setUVSetIndex(0);
    sew.setUVSetIndex(0);
    timeOnCopies(state, source, gridLabel(source), [&](TmidBody& body) {
        cut.doAction(&body, &all);
        sew.doAction(&body, &all);
    });
}

void layout(benchmark::State& state, const TmidBody& source, const std::string& label) {
    TmidFaceComponent all = allOf<TmidFaceComponent>(source.polyGeom()->nbFace());
    TpolyLayoutUVFty fty;
    fty.setMapSet(0);
    fty.setMoveMode(2);
    fty.setScaleMode(1);
    fty.setExtraGap(0.002f);
    timeOnCopies(state, source, label, [&](TmidBody& body) { fty.doAction(&body, &all); });
}

void BM_LayoutShellGrid(benchmark::State& state) {
    const TmidBody& source = shellGrid(int(state.range(0)));
    layout(state, source, gridLabel(source) + " in shells of 10");
}

void BM_LayoutSample(benchmark::State& state) {
    layout(state, sampleBody(int(state.range(0))), kSamples[state.range(0)]);
}

void sizes(benchmark::internal::Benchmark* b) {
    b->ArgName("size")->Unit(benchmark::kMillisecond)->MinTime(0.2);
    for (int s = 0; s < 3; ++s) b->Arg(s);
}

}  // namespace

BENCHMARK(BM_ProjectPlanar)->Apply(sizes);
BENCHMARK(BM_ProjectSpherical)->Apply(sizes);
BENCHMARK(BM_ProjectCylindrical)->Apply(sizes);
BENCHMARK(BM_ProjectAutomatic)->Apply(sizes);
BENCHMARK(BM_CutAndSewEveryEdge)->Apply(sizes);
BENCHMARK(BM_LayoutShellGrid)->Apply(sizes);
BENCHMARK(BM_LayoutSample)->ArgName("mesh")->DenseRange(0, int(std::size(kSamples)) - 1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
