// Closest-hit ray queries, one thread: 1M random rays (origins uniform in the bounding box,
// directions uniform on the sphere) and 1M rays aimed at random points of the surface, on the
// scanned bunny, the cow and a bumpy height field of 1M triangles. Beside the auto-sized grid and
// the surface-area hierarchy, in the same run: Embree's rtcIntersect1 and CGAL's
// AABB_tree::first_intersection over the same triangles. Each reports its build time, rays per
// second, hits, and how many answers agree with Embree's: "agree" both miss or hit the same face
// with t within 1e-5 of max(1, t), "same_face" the same face (or both miss) whatever t, and
// "face_differ_inner" the other faces where neither hit lies within 1e-4 (barycentric) of its
// triangle's border, i.e. the disagreements that are not edge grazes, and "face_differ_steep"
// those of them where no hit face meets the ray within about 3 degrees of its plane (so not
// surface grazes either). Rays that meet a triangle almost in its plane hit the same face with t
// apart by more than 1e-5: Embree computes t in float, where the error grows as the angle shrinks.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "MeshInputs.h"
#include "brindle/brindle.h"

#ifdef BRINDLE_HAVE_EMBREE
#include <embree3/rtcore.h>
#endif
#ifdef BRINDLE_HAVE_CGAL
#include <CGAL/AABB_traits.h>
#include <CGAL/AABB_tree.h>
#include <CGAL/AABB_triangle_primitive.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#endif

namespace {

constexpr int kRays = 1000000;
const char* const kMeshNames[] = {"bunny", "cow", "field1M"};
const char* const kRayNames[] = {"random", "aimed"};

// One answer: the face hit (-1 for none), the ray parameter, and whether the hit lies near its
// triangle's border.
struct Answer {
    int32_t face = -1;
    float t = 0;
    bool nearBorder = false;
};

bool nearBorder(double b0, double b1) { return std::min({b0, b1, 1.0 - b0 - b1}) < 1e-4; }

struct Input {
    std::unique_ptr<TpolyGeom> geom;
    // The record's triangles as shared-vertex index triples, and the face of each.
    std::vector<float> positions;
    std::vector<uint32_t> indices;
    std::vector<int32_t> faceOf;
    std::vector<uint32_t> firstTriangle;     // of each face
    std::vector<float> origins[2], dirs[2];  // three floats per ray, per ray set
    std::vector<Answer> embree[2];           // the reference answers, once computed
    bool embreeDone[2] = {false, false};
};

// 708 x 708 quads, z a smooth bump field of amplitude 3 over a 708 x 708 square: 1,002,528 triangles
// with a box thick enough for random origins inside it.
FlatMesh heightField() {
    FlatMesh m = flatQuadGrid(708);
    for (size_t v = 0; v < m.positions.size(); v += 3)
        m.positions[v + 2] = 3.0f * std::sin(0.05f * m.positions[v]) * std::cos(0.037f * m.positions[v + 1]);
    return m;
}

void makeRays(Input& in) {
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    for (size_t v = 0; v < in.positions.size(); v += 3)
        for (int a = 0; a < 3; ++a)
            lo[a] = std::min(lo[a], in.positions[v + a]), hi[a] = std::max(hi[a], in.positions[v + a]);
    double centre[3], radius = 0;
    for (int a = 0; a < 3; ++a) centre[a] = 0.5 * (lo[a] + hi[a]), radius += double(hi[a] - lo[a]) * (hi[a] - lo[a]);
    radius = std::sqrt(radius);
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> gauss;
    const auto direction = [&](double d[3]) {
        double n = 0;
        do {
            for (int a = 0; a < 3; ++a) d[a] = gauss(rng);
            n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        } while (n < 1e-9);
        for (int a = 0; a < 3; ++a) d[a] /= n;
    };
    const uint32_t nbTri = uint32_t(in.faceOf.size());
    for (int r = 0; r < kRays; ++r) {
        double o[3], d[3];
        direction(d);
        for (int a = 0; a < 3; ++a) o[a] = lo[a] + unit(rng) * (hi[a] - lo[a]);
        for (int a = 0; a < 3; ++a) in.origins[0].push_back(float(o[a])), in.dirs[0].push_back(float(d[a]));
        // Aimed: from a point of the sphere round the box at a random point of a random triangle.
        const uint32_t t = std::min(nbTri - 1, uint32_t(unit(rng) * nbTri));
        double u = unit(rng), w = unit(rng);
        if (u + w > 1) u = 1 - u, w = 1 - w;
        double target[3], len = 0;
        direction(d);
        for (int a = 0; a < 3; ++a) {
            const float* p0 = &in.positions[3 * size_t(in.indices[3 * size_t(t)])];
            const float* p1 = &in.positions[3 * size_t(in.indices[3 * size_t(t) + 1])];
            const float* p2 = &in.positions[3 * size_t(in.indices[3 * size_t(t) + 2])];
            target[a] = p0[a] + u * (p1[a] - p0[a]) + w * (p2[a] - p0[a]);
            o[a] = centre[a] + radius * d[a];
            len += (target[a] - o[a]) * (target[a] - o[a]);
        }
        len = std::sqrt(len);
        for (int a = 0; a < 3; ++a)
            in.origins[1].push_back(float(o[a])), in.dirs[1].push_back(float((target[a] - o[a]) / len));
    }
}

Input& input(int which) {
    static Input inputs[3];
    Input& in = inputs[which];
    if (in.geom) return in;
    if (which == 2) {
        in.geom.reset(buildRecord(heightField()));
    } else {
        in.geom = std::make_unique<TpolyGeom>();
        loadObj(std::string(BRINDLE_DATA_DIR) + (which == 0 ? "/stanford-bunny.obj" : "/cow.obj"), *in.geom);
    }
    TpolyGeom& g = *in.geom;
    g.update(dirtyAll);
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        const T3dFltPoint& p = g.vertexConst(v);
        in.positions.insert(in.positions.end(), {p.x, p.y, p.z});
    }
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        uint32_t first = 0;
        const uint32_t n = g.trgFaceOrder(f, &first);
        in.firstTriangle.push_back(uint32_t(in.faceOf.size()));
        for (uint32_t t = first; t < first + n; ++t) {
            for (uint32_t k = 0; k < 3; ++k)
                in.indices.push_back(g.getStartVertex(g.faceOffset(f) + g.vertexOffset(t, k)));
            in.faceOf.push_back(int32_t(f));
        }
    }
    makeRays(in);
    return in;
}

// |cos| of the angle between a ray and the plane normal of the face's first triangle: near 0 for
// a ray that grazes the surface there.
double steepness(const Input& in, int32_t face, const float* d) {
    const uint32_t* t = &in.indices[3 * size_t(in.firstTriangle[size_t(face)])];
    const float *p0 = &in.positions[3 * size_t(t[0])], *p1 = &in.positions[3 * size_t(t[1])],
                *p2 = &in.positions[3 * size_t(t[2])];
    const double e1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]},
                 e2[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    return len > 0 ? std::fabs(n[0] * d[0] + n[1] * d[1] + n[2] * d[2]) / len : 0.0;
}

bool agrees(const Answer& a, const Answer& ref) {
    if (a.face < 0 || ref.face < 0) return a.face == ref.face;
    return a.face == ref.face && std::fabs(a.t - ref.t) <= 1e-5f * std::max(1.0f, std::fabs(ref.t));
}

// Times one engine over one ray set and answers its answers.
template <typename Build, typename Trace>
std::vector<Answer> runEngine(benchmark::State& state, Build&& build, Trace&& trace) {
    const int mesh = int(state.range(0)), set = int(state.range(1));
    Input& in = input(mesh);
    state.SetLabel(std::string(kMeshNames[mesh]) + "/" + kRayNames[set]);
    const auto start = std::chrono::steady_clock::now();
    auto engine = build(in);
    state.counters["build_s"] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::vector<Answer> answers(kRays);
    for (auto _ : state)
        for (int r = 0; r < kRays; ++r)
            answers[size_t(r)] = trace(*engine, &in.origins[set][3 * size_t(r)], &in.dirs[set][3 * size_t(r)]);
    state.counters["rays_per_s"] =
        benchmark::Counter(double(kRays) * double(state.iterations()), benchmark::Counter::kIsRate);
    int hits = 0;
    for (const Answer& a : answers) hits += a.face >= 0;
    state.counters["hits"] = hits;
    if (!in.embreeDone[set]) return answers;
    int agree = 0, sameFace = 0, inner = 0, steep = 0;
    for (size_t r = 0; r < answers.size(); ++r) {
        const Answer &a = answers[r], &ref = in.embree[set][r];
        agree += agrees(a, ref);
        if (a.face == ref.face) {
            ++sameFace;
            continue;
        }
        if (a.nearBorder || ref.nearBorder) continue;
        ++inner;
        const float* d = &in.dirs[set][3 * r];
        if ((a.face < 0 || steepness(in, a.face, d) >= 0.05) && (ref.face < 0 || steepness(in, ref.face, d) >= 0.05))
            ++steep;
    }
    state.counters["agree"] = agree;
    state.counters["same_face"] = sameFace;
    state.counters["face_differ_inner"] = inner;
    state.counters["face_differ_steep"] = steep;
    return answers;
}

#ifdef BRINDLE_HAVE_EMBREE
struct EmbreeScene {
    RTCDevice device = nullptr;
    RTCScene scene = nullptr;
    const Input* in = nullptr;
    ~EmbreeScene() {
        rtcReleaseScene(scene);
        rtcReleaseDevice(device);
    }
};

std::unique_ptr<EmbreeScene> buildEmbree(const Input& in) {
    auto s = std::make_unique<EmbreeScene>();
    s->in = &in;
    s->device = rtcNewDevice("threads=1");
    s->scene = rtcNewScene(s->device);
    RTCGeometry geom = rtcNewGeometry(s->device, RTC_GEOMETRY_TYPE_TRIANGLE);
    float* v = static_cast<float*>(rtcSetNewGeometryBuffer(geom, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                           3 * sizeof(float), in.positions.size() / 3));
    std::copy(in.positions.begin(), in.positions.end(), v);
    unsigned* idx = static_cast<unsigned*>(rtcSetNewGeometryBuffer(geom, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                                                   3 * sizeof(unsigned), in.indices.size() / 3));
    std::copy(in.indices.begin(), in.indices.end(), idx);
    rtcCommitGeometry(geom);
    rtcAttachGeometry(s->scene, geom);
    rtcReleaseGeometry(geom);
    rtcCommitScene(s->scene);
    return s;
}

Answer traceEmbree(const EmbreeScene& s, const float* o, const float* d) {
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRayHit rh;
    rh.ray.org_x = o[0], rh.ray.org_y = o[1], rh.ray.org_z = o[2];
    rh.ray.dir_x = d[0], rh.ray.dir_y = d[1], rh.ray.dir_z = d[2];
    rh.ray.tnear = 0, rh.ray.tfar = std::numeric_limits<float>::infinity();
    rh.ray.mask = ~0u, rh.ray.flags = 0, rh.ray.time = 0;
    rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(s.scene, &context, &rh);
    Answer a;
    if (rh.hit.geomID == RTC_INVALID_GEOMETRY_ID) return a;
    a.face = s.in->faceOf[rh.hit.primID];
    a.t = rh.ray.tfar;
    a.nearBorder = nearBorder(rh.hit.u, rh.hit.v);
    return a;
}

void BM_Embree(benchmark::State& state) {
    const int set = int(state.range(1));
    Input& in = input(int(state.range(0)));
    std::vector<Answer> answers = runEngine(state, buildEmbree, traceEmbree);
    // Embree's answers are the reference of the other engines.
    if (!in.embreeDone[set]) in.embree[set] = std::move(answers), in.embreeDone[set] = true;
}
#endif

Answer traceBrindle(const TpolySpatialSubdivision& accel, const float* o, const float* d) {
    TpointOnPoly hit;
    Answer a;
    if (accel.closestIntersection(T3dFltPoint(o[0], o[1], o[2]), T4dFltVector(d[0], d[1], d[2]), nullptr, nullptr,
                                  false, std::numeric_limits<float>::max(), false, hit, 0.0f) != 0)
        return a;
    a.face = int32_t(hit.face());
    a.t = hit.rayParam();
    a.nearBorder = nearBorder(hit.bariCoord(0), hit.bariCoord(1));
    return a;
}

void runBrindle(benchmark::State& state, const TmeshIsectAccelParams& params) {
    TpointOnPoly::clearIntersectCounter();
    runEngine(
        state, [&](Input& in) { return std::make_unique<TpolySpatialSubdivision>(*in.geom, params); }, traceBrindle);
    state.counters["tests_per_ray"] = double(TpointOnPoly::intersectCounter()) / kRays;
}

void BM_Grid(benchmark::State& state) { runBrindle(state, TmeshIsectAccelParams::autoUniformGridParams()); }
void BM_Hierarchy(benchmark::State& state) {
    runBrindle(state, TmeshIsectAccelParams::boundingVolumeHierarchyParams());
}

#ifdef BRINDLE_HAVE_CGAL
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Triangles = std::vector<Kernel::Triangle_3>;
using Tree =
    CGAL::AABB_tree<CGAL::AABB_traits<Kernel, CGAL::AABB_triangle_primitive<Kernel, Triangles::const_iterator>>>;

struct CgalTree {
    Triangles triangles;
    Tree tree;
    const Input* in = nullptr;
};

std::unique_ptr<CgalTree> buildCgal(const Input& in) {
    auto c = std::make_unique<CgalTree>();
    c->in = &in;
    const auto point = [&](uint32_t v) {
        return Kernel::Point_3(in.positions[3 * size_t(v)], in.positions[3 * size_t(v) + 1],
                               in.positions[3 * size_t(v) + 2]);
    };
    c->triangles.reserve(in.faceOf.size());
    for (size_t t = 0; t < in.faceOf.size(); ++t)
        c->triangles.emplace_back(point(in.indices[3 * t]), point(in.indices[3 * t + 1]), point(in.indices[3 * t + 2]));
    c->tree.insert(c->triangles.cbegin(), c->triangles.cend());
    c->tree.build();
    return c;
}

Answer traceCgal(const CgalTree& c, const float* o, const float* d) {
    const Kernel::Point_3 origin(o[0], o[1], o[2]);
    const Kernel::Vector_3 dir(d[0], d[1], d[2]);
    const auto hit = c.tree.first_intersection(Kernel::Ray_3(origin, dir));
    Answer a;
    if (!hit) return a;
    const size_t t = size_t(hit->second - c.triangles.cbegin());
    a.face = c.in->faceOf[t];
    // A ray lying in the triangle's plane meets it in a segment; its nearer end is the hit.
    Kernel::Point_3 p = origin;
    if (const Kernel::Point_3* q = boost::get<Kernel::Point_3>(&hit->first))
        p = *q;
    else if (const Kernel::Segment_3* s = boost::get<Kernel::Segment_3>(&hit->first))
        p = s->source();
    a.t = float(CGAL::to_double((p - origin) * dir));
    // The weights of the hit, from the sub-triangle areas, to tell a graze.
    const Kernel::Triangle_3& tri = c.triangles[t];
    const double area = std::sqrt(CGAL::to_double(tri.squared_area()));
    if (area > 0) {
        const double w0 = std::sqrt(CGAL::to_double(Kernel::Triangle_3(p, tri[1], tri[2]).squared_area())) / area;
        const double w1 = std::sqrt(CGAL::to_double(Kernel::Triangle_3(tri[0], p, tri[2]).squared_area())) / area;
        a.nearBorder = nearBorder(w0, w1);
    }
    return a;
}

void BM_Cgal(benchmark::State& state) { runEngine(state, buildCgal, traceCgal); }
#endif

void arguments(benchmark::internal::Benchmark* b) {
    b->ArgNames({"mesh", "rays"})->Iterations(1)->Unit(benchmark::kMillisecond);
    for (int mesh = 0; mesh < 3; ++mesh)
        for (int set = 0; set < 2; ++set) b->Args({mesh, set});
}

}  // namespace

// Embree first: its answers are the reference the others are counted against.
#ifdef BRINDLE_HAVE_EMBREE
BENCHMARK(BM_Embree)->Apply(arguments);
#endif
BENCHMARK(BM_Grid)->Apply(arguments);
BENCHMARK(BM_Hierarchy)->Apply(arguments);
#ifdef BRINDLE_HAVE_CGAL
BENCHMARK(BM_Cgal)->Apply(arguments);
#endif

BENCHMARK_MAIN();
