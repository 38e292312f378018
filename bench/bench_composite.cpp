// Operations that build one object out of copies: mirroring a half grid open along the mirror
// plane with the border weld (n x n quads for n = 100, 316, 1000: 10k, 100k and 1M faces), and
// combining 100 placed copies of a 10k-quad grid. Every record carries a UV set and a face
// group. Beside them, in the same run, CGAL on a Surface_mesh holding the same UVs (a halfedge
// property) and group (a face property): the copy reflected, its faces reversed, joined and its
// borders stitched; and the copies placed and joined one after another. Each reports ns per
// input face and the heap peak above the inputs per result face.
#include "HeapPeak.h"

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <vector>

#include "MeshInputs.h"

#ifdef BRINDLE_HAVE_CGAL
#include <CGAL/Polygon_mesh_processing/orientation.h>
#include <CGAL/Polygon_mesh_processing/stitch_borders.h>
#include <CGAL/Simple_cartesian.h>
#include <CGAL/Surface_mesh.h>

#include "CgalFill.h"
#endif

namespace {

// An n x n quad grid in the plane z = 0, x from 0 to n: its border at x = 0 lies in the mirror
// plane. Its UVs are the vertices' (x, y), one per vertex; the even faces are face group 3.
const TpolyGeom& grid(uint32_t n) {
    static std::map<uint32_t, std::unique_ptr<TpolyGeom>> made;
    std::unique_ptr<TpolyGeom>& g = made[n];
    if (g) return *g;
    g.reset(buildRecord(flatQuadGrid(n)));
    g->update(dirtyFaceOffsets);
    const uint32_t s = g->newEmptyMapSet(Tstring("map1"));
    for (uint32_t v = 0; v < g->nbVertex(); ++v) g->appendUV(g->vertexConst(v).x, g->vertexConst(v).y, s);
    for (uint32_t o = 0; o < g->faceDescLength(); ++o) g->setUVId(o, int32_t(g->getStartVertex(o)), s);
    TbitFieldFixedN even(g->nbFace());
    for (uint32_t f = 0; f < g->nbFace(); f += 2) even.setBit(f);
    g->flagsToGroup(kPolyGrpFace, 3, even);
    g->update(dirtyAll);
    return *g;
}

void report(benchmark::State& state, double inputFaces, double resultFaces, size_t peak) {
    state.counters["ns_per_face"] = benchmark::Counter(
        inputFaces * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["faces_after"] = resultFaces;
    state.counters["peak_MB"] = double(peak) / (1 << 20);
    state.counters["peak_B_per_face"] = double(peak) / resultFaces;
}

constexpr uint32_t kCopies = 100;

void BM_MirrorWeld(benchmark::State& state) {
    const TpolyGeom& half = grid(uint32_t(state.range(0)));
    TpolyMirrorFty fty;
    fty.setMirrorDir(TpolyMirrorFty::kPositiveX);
    fty.setMergeMode(TpolyMirrorFty::kWeldBorder);
    fty.setMergeTolerance(1e-3);
    uint32_t faces = 0;
    size_t peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TmidBody body(new TpolyGeom(half));
        heappeak::Mark mark;
        state.ResumeTiming();
        fty.doAction(&body, nullptr);
        state.PauseTiming();
        peak = std::max(peak, mark.added());
        faces = body.polyGeom()->nbFace();
        state.ResumeTiming();
    }
    report(state, double(half.nbFace()), faces, peak);
}
BENCHMARK(BM_MirrorWeld)->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

// Copy k is moved by 200 k along x, every other one mirrored.
std::vector<T4dDblMatrix> placements() {
    std::vector<T4dDblMatrix> m(kCopies);
    for (uint32_t k = 0; k < kCopies; ++k) {
        m[k].m[3][0] = 200.0 * k;
        if (k % 2) m[k].m[0][0] = -1;
    }
    return m;
}

void BM_Unite100(benchmark::State& state) {
    const TpolyGeom& piece = grid(100);
    std::vector<std::unique_ptr<TmidBody>> owned;
    std::vector<TmidBody*> bodies;
    for (uint32_t k = 0; k < kCopies; ++k) {
        owned.push_back(std::make_unique<TmidBody>(new TpolyGeom(piece)));
        bodies.push_back(owned.back().get());
    }
    std::vector<T4dDblMatrix> matrices = placements();
    TpolyUniteFty fty;
    fty.setObjects(bodies.data());
    fty.setMatrices(matrices.data());
    fty.setNbObjects(short(kCopies));
    uint32_t faces = 0;
    size_t peak = 0;
    for (auto _ : state) {
        TmidBody target;
        heappeak::Mark mark;
        fty.doAction(&target, nullptr);
        state.PauseTiming();
        peak = std::max(peak, mark.added());
        faces = target.polyGeom()->nbFace();
        state.ResumeTiming();
    }
    report(state, double(kCopies) * piece.nbFace(), faces, peak);
}
BENCHMARK(BM_Unite100)->Unit(benchmark::kMillisecond)->Iterations(5);

#ifdef BRINDLE_HAVE_CGAL
using Kernel = CGAL::Simple_cartesian<float>;
using Mesh = CGAL::Surface_mesh<Kernel::Point_3>;
namespace PMP = CGAL::Polygon_mesh_processing;

// The grid as a Surface_mesh with the same UVs per halfedge and the face group per face.
Mesh surfaceOf(const TpolyGeom& g) {
    Mesh m;
    fillSurfaceMesh(m, g, false);
    auto uv = m.add_property_map<Mesh::Halfedge_index, Kernel::Point_2>("h:uv").first;
    auto group = m.add_property_map<Mesh::Face_index, int>("f:group", 0).first;
    for (Mesh::Halfedge_index h : m.halfedges()) {
        const Kernel::Point_3& p = m.point(m.target(h));
        uv[h] = Kernel::Point_2(p.x(), p.y());
    }
    for (Mesh::Face_index f : m.faces()) group[f] = f.idx() % 2 == 0 ? 3 : 0;
    return m;
}

void BM_CgalMirrorStitch(benchmark::State& state) {
    const Mesh base = surfaceOf(grid(uint32_t(state.range(0))));
    size_t faces = 0, peak = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Mesh m = base;
        heappeak::Mark mark;
        state.ResumeTiming();
        Mesh copy = m;
        for (Mesh::Vertex_index v : copy.vertices()) {
            const Kernel::Point_3 p = copy.point(v);
            copy.point(v) = Kernel::Point_3(-p.x(), p.y(), p.z());
        }
        PMP::reverse_face_orientations(copy);
        m += copy;
        PMP::stitch_borders(m);
        state.PauseTiming();
        peak = std::max(peak, mark.added());
        faces = m.number_of_faces();
        state.ResumeTiming();
    }
    report(state, double(base.number_of_faces()), double(faces), peak);
}
BENCHMARK(BM_CgalMirrorStitch)->Arg(100)->Arg(316)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_CgalJoin100(benchmark::State& state) {
    const Mesh piece = surfaceOf(grid(100));
    const std::vector<T4dDblMatrix> matrices = placements();
    size_t faces = 0, peak = 0;
    for (auto _ : state) {
        heappeak::Mark mark;
        Mesh result;
        for (const T4dDblMatrix& t : matrices) {
            Mesh copy = piece;
            for (Mesh::Vertex_index v : copy.vertices()) {
                const Kernel::Point_3 p = copy.point(v);
                copy.point(v) = Kernel::Point_3(float(t.m[0][0] * p.x() + t.m[3][0]), p.y(), p.z());
            }
            if (t.determinant3() < 0) PMP::reverse_face_orientations(copy);
            result += copy;
        }
        state.PauseTiming();
        peak = std::max(peak, mark.added());
        faces = result.number_of_faces();
        state.ResumeTiming();
    }
    report(state, double(kCopies) * piece.number_of_faces(), double(faces), peak);
}
BENCHMARK(BM_CgalJoin100)->Unit(benchmark::kMillisecond)->Iterations(5);
#endif

}  // namespace

BENCHMARK_MAIN();
