// Quadric reduction of the scanned bunny (as stored, in metres, and scaled by 10) and of a
// generated 1M-triangle bumpy torus to 10 % and 1 % of their faces. Collapse costs are areas times
// squared distances, so the bunny's fall below the heap's 1e-10 tie tolerance and its order is
// mostly by area; the scaled copy shows the same reduction where costs are told apart. Distances
// are reported in the input's own units divided by its scale. Beside it, in the same run and at the same face count,
// meshoptimizer's meshopt_simplify and OpenMesh's Decimater with ModQuadricT. Each reports its time and the symmetric
// Hausdorff and RMS distance to the original, measured by one sampler for all three.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "MeshError.h"
#include "support/ObjLoad.h"

#ifdef BRINDLE_HAVE_MESHOPTIMIZER
#include <meshoptimizer.h>
#endif
#ifdef BRINDLE_HAVE_OPENMESH
#include <OpenMesh/Core/Mesh/TriMesh_ArrayKernelT.hh>
#include <OpenMesh/Tools/Decimater/DecimaterT.hh>
#include <OpenMesh/Tools/Decimater/ModQuadricT.hh>

#include "OpenMeshFill.h"
#endif

namespace {

struct Input {
    std::unique_ptr<TpolyGeom> geom;
    double scale = 1.0;
    std::vector<float> positions;   // three per vertex
    std::vector<uint32_t> indices;  // three per triangle
    mesherror::Soup soup;
};

void fillArrays(Input& in) {
    TpolyGeom& g = *in.geom;
    g.update(dirtyAll);
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        const T3dFltPoint& p = g.vertexConst(v);
        in.positions.insert(in.positions.end(), {p.x, p.y, p.z});
        in.soup.points.push_back({p.x, p.y, p.z});
    }
    for (uint32_t f = 0; f < g.nbFace(); ++f)
        for (uint32_t k = 0; k < 3; ++k) in.indices.push_back(g.getStartVertex(g.faceOffset(f) + k));
    in.soup.tris = in.indices;
}

// The torus R = 1, r = 0.35 with bumps of 0.04, nu x nv quads each cut into two triangles.
std::unique_ptr<TpolyGeom> bumpyTorus(uint32_t nu, uint32_t nv) {
    std::vector<float> positions;
    for (uint32_t j = 0; j < nv; ++j)
        for (uint32_t i = 0; i < nu; ++i) {
            const double u = kTwoPi * i / nu, v = kTwoPi * j / nv;
            const double r = 0.35 + 0.04 * std::sin(7 * u) * std::sin(5 * v);
            positions.insert(positions.end(), {float((1 + r * std::cos(v)) * std::cos(u)),
                                               float((1 + r * std::cos(v)) * std::sin(u)), float(r * std::sin(v))});
        }
    std::vector<int32_t> counts(size_t(2) * nu * nv, 3), ids;
    for (uint32_t j = 0; j < nv; ++j)
        for (uint32_t i = 0; i < nu; ++i) {
            const int32_t a = int32_t(j * nu + i), b = int32_t(j * nu + (i + 1) % nu);
            const int32_t c = int32_t(((j + 1) % nv) * nu + (i + 1) % nu), d = int32_t(((j + 1) % nv) * nu + i);
            ids.insert(ids.end(), {a, b, c, a, c, d});
        }
    TpolyVertexBuilder b;
    b.create(nu * nv, uint32_t(counts.size()), uint32_t(ids.size()), reinterpret_cast<const T3Float*>(positions.data()),
             counts.data(), ids.data());
    std::unique_ptr<TpolyGeom> g(b.complete());
    b.ownResult();
    return g;
}

Input& input(int which) {
    static Input inputs[3];
    Input& in = inputs[which];
    if (!in.geom) {
        if (which == 1) {
            in.geom = bumpyTorus(1000, 500);
        } else {
            in.geom = std::make_unique<TpolyGeom>();
            loadObj(std::string(BRINDLE_DATA_DIR) + "/stanford-bunny.obj", *in.geom);
            in.scale = which == 2 ? 10.0 : 1.0;
            for (uint32_t v = 0; v < in.geom->nbVertex(); ++v) {
                const T3dFltPoint p = in.geom->vertexConst(v);
                const float s = float(in.scale);
                in.geom->setVertex(v, T3dFltPoint(p.x * s, p.y * s, p.z * s));
            }
        }
        fillArrays(in);
    }
    return in;
}

const char* kNames[3] = {"bunny", "torus1M", "bunny_x10"};
// Face count Brindle reached per (input, kept per mille), which the peers are asked for.
std::map<std::pair<int, int>, uint32_t> gReached;

uint32_t targetFaces(int which, int keptPerMille) {
    const auto it = gReached.find({which, keptPerMille});
    if (it != gReached.end()) return it->second;
    return uint32_t(input(which).indices.size() / 3 * keptPerMille / 1000);
}

void report(benchmark::State& state, const Input& in, const mesherror::Soup& result) {
    const mesherror::Distance d = mesherror::measure(in.soup, result);
    state.counters["faces"] = double(result.tris.size() / 3);
    state.counters["hausdorff"] = d.hausdorff / in.scale;
    state.counters["rms"] = d.rms / in.scale;
}

void BM_Brindle(benchmark::State& state) {
    const int which = int(state.range(0)), kept = int(state.range(1));
    Input& in = input(which);
    state.SetLabel(kNames[which]);
    std::unique_ptr<TmidBody> body;
    for (auto _ : state) {
        state.PauseTiming();
        body = std::make_unique<TmidBody>(new TpolyGeom(*in.geom));
        TpolyDecimateFty fty;
        fty.setPercentage(100.0 - kept / 10.0);
        state.ResumeTiming();
        fty.doAction(body.get(), nullptr);
    }
    TpolyGeom& g = *body->polyGeom();
    g.update(dirtyAll);
    mesherror::Soup out;
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        const T3dFltPoint& p = g.vertexConst(v);
        out.points.push_back({p.x, p.y, p.z});
    }
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        const uint32_t o = g.faceOffset(f), n = g.faceVertexCount(f);
        for (uint32_t k = 1; k + 1 < n; ++k)
            out.tris.insert(out.tris.end(),
                            {g.getStartVertex(o), g.getStartVertex(o + k), g.getStartVertex(o + k + 1)});
    }
    gReached[{which, kept}] = g.nbFace();
    report(state, in, out);
}

#ifdef BRINDLE_HAVE_MESHOPTIMIZER
void BM_Meshopt(benchmark::State& state) {
    const int which = int(state.range(0)), kept = int(state.range(1));
    Input& in = input(which);
    state.SetLabel(kNames[which]);
    std::vector<uint32_t> dst(in.indices.size());
    size_t n = 0;
    for (auto _ : state) {
        n = meshopt_simplify(dst.data(), in.indices.data(), in.indices.size(), in.positions.data(),
                             in.positions.size() / 3, sizeof(float) * 3, size_t(targetFaces(which, kept)) * 3, 1.0f, 0,
                             nullptr);
    }
    mesherror::Soup out{in.soup.points, std::vector<uint32_t>(dst.begin(), dst.begin() + long(n))};
    report(state, in, out);
}
#endif

#ifdef BRINDLE_HAVE_OPENMESH
void BM_OpenMesh(benchmark::State& state) {
    using Mesh = OpenMesh::TriMesh_ArrayKernelT<>;
    const int which = int(state.range(0)), kept = int(state.range(1));
    Input& in = input(which);
    state.SetLabel(kNames[which]);
    std::unique_ptr<Mesh> mesh;
    for (auto _ : state) {
        state.PauseTiming();
        mesh = std::make_unique<Mesh>();
        fillOpenMesh(*mesh, *in.geom);
        state.ResumeTiming();
        OpenMesh::Decimater::DecimaterT<Mesh> decimater(*mesh);
        OpenMesh::Decimater::ModQuadricT<Mesh>::Handle quadric;
        decimater.add(quadric);
        decimater.module(quadric).unset_max_err();
        decimater.initialize();
        decimater.decimate_to_faces(0, targetFaces(which, kept));
        mesh->garbage_collection();
    }
    mesherror::Soup out;
    for (auto v : mesh->vertices()) {
        const auto p = mesh->point(v);
        out.points.push_back({p[0], p[1], p[2]});
    }
    for (auto f : mesh->faces())
        for (auto v : mesh->fv_range(f)) out.tris.push_back(uint32_t(v.idx()));
    report(state, in, out);
}
#endif

// Kept share in per mille: 100 is 10 %, 10 is 1 %. Brindle runs first so that the peers aim at
// the face count it reached.
void arguments(benchmark::internal::Benchmark* b) {
    for (int which : {0, 2, 1})
        for (int kept : {100, 10}) b->Args({which, kept});
    b->Unit(benchmark::kMillisecond)->Iterations(1);
}
BENCHMARK(BM_Brindle)->Apply(arguments);
#ifdef BRINDLE_HAVE_MESHOPTIMIZER
BENCHMARK(BM_Meshopt)->Apply(arguments);
#endif
#ifdef BRINDLE_HAVE_OPENMESH
BENCHMARK(BM_OpenMesh)->Apply(arguments);
#endif

}  // namespace

BENCHMARK_MAIN();
