// brindle render's work on one thread at 1024 x 1024: a sphere of 1000 x 500 quads (999,000
// triangles) and the scanned bunny, seen in the three-quarter view, in processor seconds per
// stage: the record's triangles and normals (from a record with every derived datum dirty, as
// after an import), the accelerator with the framing, and the rays with their shading. Rows for
// the surface-area hierarchy (the default) and the auto-sized grid. Beside them, in the same run,
// Embree builds its scene over the same triangles and casts the same camera rays with
// rtcIntersect1 (hits only, no shading).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Render.h"
#include "brindle/brindle.h"
#include "brindle/objreader/ObjImport.h"

#ifdef BRINDLE_HAVE_EMBREE
#include <embree3/rtcore.h>
#endif

namespace {

constexpr int kSide = 1024;
const char* const kMeshNames[] = {"sphere1M", "bunny"};

TpolyGeom& mesh(int which) {
    static std::unique_ptr<TpolyGeom> meshes[2];
    std::unique_ptr<TpolyGeom>& g = meshes[which];
    if (g) return *g;
    if (which == 0) {
        TmidBody body;
        TmeshBallFty sphere;
        sphere.setXSubdivide(1000);
        sphere.setYSubdivide(500);
        sphere.build(body);
        g = std::make_unique<TpolyGeom>(*body.polyGeom());
    } else {
        TobjImportReport report;
        g.reset(TobjImport::read(BRINDLE_DATA_DIR "/stanford-bunny.obj", report));
    }
    return *g;
}

double cpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

void BM_Render(benchmark::State& state, TmeshIsectAccelParams accelerator) {
    const int which = int(state.range(0));
    TrenderOptions options;
    options.width = options.height = kSide;
    options.accelerator = accelerator;
    TrenderTimes sum;
    for (auto _ : state) {
        state.PauseTiming();
        TpolyGeom g(mesh(which));
        g.markDirty(dirtyAll);
        state.ResumeTiming();
        TrenderImage image;
        TrenderTimes times;
        std::string error;
        if (!renderRecord(g, options, image, times, error)) state.SkipWithError(error.c_str());
        sum.derived += times.derived, sum.build += times.build, sum.trace += times.trace;
    }
    const double n = double(state.iterations());
    state.counters["derived_s"] = sum.derived / n;
    state.counters["build_s"] = sum.build / n;
    state.counters["trace_s"] = sum.trace / n;
    state.counters["total_s"] = (sum.derived + sum.build + sum.trace) / n;
    state.SetLabel(kMeshNames[which]);
}

void BM_RenderHierarchy(benchmark::State& state) {
    BM_Render(state, TmeshIsectAccelParams::boundingVolumeHierarchyParams());
}
void BM_RenderGrid(benchmark::State& state) { BM_Render(state, TmeshIsectAccelParams::autoUniformGridParams()); }

#ifdef BRINDLE_HAVE_EMBREE
// The record's triangles as Embree takes them, and the renderer's camera rays.
void BM_EmbreeRays(benchmark::State& state) {
    const int which = int(state.range(0));
    TpolyGeom& g = mesh(which);
    std::vector<float> rays;
    {
        const TpolySpatialSubdivision accel(g, TmeshIsectAccelParams::boundingVolumeHierarchyParams());
        TrenderOptions options;
        options.width = options.height = kSide;
        renderRays(accel.triangles(), options, rays);
    }
    std::vector<float> positions;
    std::vector<unsigned> indices;
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        const T3dFltPoint& p = g.vertexConst(v);
        positions.insert(positions.end(), {p.x, p.y, p.z});
    }
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        uint32_t first = 0;
        const uint32_t count = g.trgFaceOrder(f, &first);
        for (uint32_t t = first; t < first + count; ++t)
            for (uint32_t k = 0; k < 3; ++k)
                indices.push_back(g.getStartVertex(g.faceOffset(f) + g.vertexOffset(t, k)));
    }
    double build = 0, trace = 0;
    int hits = 0;
    for (auto _ : state) {
        const double start = cpuSeconds();
        RTCDevice device = rtcNewDevice("threads=1");
        RTCScene scene = rtcNewScene(device);
        RTCGeometry geom = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
        auto* v = static_cast<float*>(rtcSetNewGeometryBuffer(geom, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                              3 * sizeof(float), positions.size() / 3));
        std::copy(positions.begin(), positions.end(), v);
        auto* idx = static_cast<unsigned*>(rtcSetNewGeometryBuffer(geom, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                                                   3 * sizeof(unsigned), indices.size() / 3));
        std::copy(indices.begin(), indices.end(), idx);
        rtcCommitGeometry(geom);
        rtcAttachGeometry(scene, geom);
        rtcReleaseGeometry(geom);
        rtcCommitScene(scene);
        const double built = cpuSeconds();
        RTCIntersectContext context;
        rtcInitIntersectContext(&context);
        hits = 0;
        for (size_t r = 0; r < rays.size(); r += 6) {
            RTCRayHit rh;
            rh.ray.org_x = rays[r], rh.ray.org_y = rays[r + 1], rh.ray.org_z = rays[r + 2];
            rh.ray.dir_x = rays[r + 3], rh.ray.dir_y = rays[r + 4], rh.ray.dir_z = rays[r + 5];
            rh.ray.tnear = 0, rh.ray.tfar = std::numeric_limits<float>::infinity();
            rh.ray.mask = ~0u, rh.ray.flags = 0, rh.ray.time = 0;
            rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
            rtcIntersect1(scene, &context, &rh);
            hits += rh.hit.geomID != RTC_INVALID_GEOMETRY_ID;
        }
        trace += cpuSeconds() - built;
        build += built - start;
        rtcReleaseScene(scene);
        rtcReleaseDevice(device);
    }
    const double n = double(state.iterations());
    state.counters["build_s"] = build / n;
    state.counters["trace_s"] = trace / n;
    state.counters["total_s"] = (build + trace) / n;
    state.counters["hits"] = hits;
    state.SetLabel(kMeshNames[which]);
}
BENCHMARK(BM_EmbreeRays)->DenseRange(0, 1)->Iterations(2)->Unit(benchmark::kMillisecond);
#endif

BENCHMARK(BM_RenderHierarchy)->DenseRange(0, 1)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderGrid)->DenseRange(0, 1)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
