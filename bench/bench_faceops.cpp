// Face-rebuilding operations on large records. Triangulating every face of a 1M-quad grid, of the
// quad-dominant sample mesh, of a field of 16-gons and of the n-gon dual of the bunny scan, beside
// OpenMesh's triangulate() and CGAL's triangulate_faces on the same faces; quadrangulating the
// triangulated grid back; dividing every face of a 100k-quad grid once into quads. Each program
// run reports ns per input face and the heap peak the operation adds, per input face (operator
// new is counted, so every library's containers are measured the same way). Our triangulation
// runs twice: with the record's triangle cache already up to date (as after display), and from a
// record whose derived data is all dirty, which includes the normals and ear clipping the cache
// needs.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "support/DualMesh.h"
#include "support/GridBuilder.h"
#include "support/ObjLoad.h"

#ifdef BRINDLE_HAVE_OPENMESH
#include <OpenMesh/Core/Mesh/PolyMesh_ArrayKernelT.hh>

#include "OpenMeshFill.h"
#endif
#ifdef BRINDLE_HAVE_CGAL
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Polygon_mesh_processing/triangulate_faces.h>
#include <CGAL/Surface_mesh.h>
#endif

// --- Heap accounting ------------------------------------------------------------------------------
namespace {
size_t gLive = 0, gPeak = 0;
void* counted(size_t n) {
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    gLive += malloc_usable_size(p);
    if (gLive > gPeak) gPeak = gLive;
    return p;
}
void released(void* p) {
    if (!p) return;
    gLive -= malloc_usable_size(p);
    std::free(p);
}
}  // namespace

void* operator new(size_t n) { return counted(n); }
void* operator new[](size_t n) { return counted(n); }
void operator delete(void* p) noexcept { released(p); }
void operator delete[](void* p) noexcept { released(p); }
void operator delete(void* p, size_t) noexcept { released(p); }
void operator delete[](void* p, size_t) noexcept { released(p); }

namespace {

// Starts a heap measurement at the current live size; peakSince answers what was added on top.
size_t startPeak() { return gPeak = gLive; }
size_t peakSince(size_t start) { return gPeak - start; }

// --- Inputs ---------------------------------------------------------------------------------------
const TpolyGeom& quadGrid() {
    static TpolyGeom* g = [] {
        auto* r = new TpolyGeom;
        buildQuadGrid(*r, 1000);
        r->update(dirtyAll);
        return r;
    }();
    return *g;
}

const TpolyGeom& suzanne() {
    static TpolyGeom* g = [] {
        auto* r = new TpolyGeom;
        loadObj(std::string(BRINDLE_DATA_DIR) + "/suzanne.obj", *r);
        r->update(dirtyAll);
        return r;
    }();
    return *g;
}

// 100 x 100 separate regular 16-gons, slightly bent out of their plane.
const TpolyGeom& polygonField() {
    static TpolyGeom* g = [] {
        auto* r = new TpolyGeom;
        constexpr uint32_t kSides = 16, kSide = 100;
        for (uint32_t j = 0; j < kSide; ++j)
            for (uint32_t i = 0; i < kSide; ++i) {
                const uint32_t base = r->nbVertex();
                for (uint32_t k = 0; k < kSides; ++k) {
                    const float a = kTwoPiF * float(k) / kSides;
                    r->appendVertex(3.0f * i + std::cos(a), 3.0f * j + std::sin(a), 0.05f * std::cos(2 * a));
                    r->appendEdge(base + k, base + (k + 1) % kSides);
                }
                r->bgnFace(kSides);
                for (uint32_t k = 0; k < kSides; ++k) r->refEdge(base + k, kForward);
                r->endLoop();
                r->endFace();
            }
        r->update(dirtyAll);
        return r;
    }();
    return *g;
}

// The bunny's dual: about 35k faces of mostly 5 to 7 corners, bent and sometimes concave.
const TpolyGeom& bunnyDual() {
    static TpolyGeom* g = [] {
        auto* r = new TpolyGeom;
        loadObjDual(std::string(BRINDLE_DATA_DIR) + "/stanford-bunny.obj", *r);
        r->update(dirtyAll);
        return r;
    }();
    return *g;
}

// The 1M-quad grid triangulated, every face selected: the quadrangulation's input.
const TpolyGeom& triangulatedGrid() {
    static TpolyGeom* g = [] {
        auto* r = new TpolyGeom(quadGrid());
        TpolyTriangulateFty::triangulateTopo(r, 0, nullptr, false);
        r->selectAllInGrp(-1, kPolyGrpFace);
        r->update(dirtyAll);
        return r;
    }();
    return *g;
}

// A 316 x 316 grid (99856 quads): the face division's input.
const TpolyGeom& grid100k() {
    static TpolyGeom* g = [] {
        auto* r = new TpolyGeom;
        buildQuadGrid(*r, 316);
        r->update(dirtyAll);
        return r;
    }();
    return *g;
}

constexpr int kTriangulatedGrid = 4, kGrid100k = 5;
const TpolyGeom& input(int which) {
    switch (which) {
        case 0:
            return quadGrid();
        case 1:
            return suzanne();
        case 2:
            return polygonField();
        case 3:
            return bunnyDual();
        case kTriangulatedGrid:
            return triangulatedGrid();
        default:
            return grid100k();
    }
}
const char* inputName(int which) {
    static const char* const names[] = {"grid1M", "suzanne", "16gons", "bunnyDual", "grid1M-triangulated", "grid100k"};
    return names[which];
}

void report(benchmark::State& state, uint32_t faces, size_t peak, double outFaces) {
    state.SetLabel(inputName(int(state.range(0))));
    state.counters["ns_per_face"] = benchmark::Counter(double(state.iterations()) * faces,
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["peak_B_per_face"] = double(peak) / faces;
    state.counters["out_faces"] = outFaces;
}

// Times run on a fresh copy of the input made by make (outside the timing) per iteration, and
// reports the heap peak run adds and the face count that count reads from the result.
template <typename Make, typename Run, typename Count>
void timeOperation(benchmark::State& state, uint32_t faces, Make make, Run run, Count count) {
    size_t peak = 0;
    double out = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto subject = make();
        const size_t start = startPeak();
        state.ResumeTiming();
        run(*subject);
        state.PauseTiming();
        peak = std::max(peak, peakSince(start));
        out = double(count(*subject));
        subject.reset();
        state.ResumeTiming();
    }
    report(state, faces, peak, out);
}

// --- Brindle ------------------------------------------------------------------------------------
void BM_BrindleTriangulate(benchmark::State& state, bool cached) {
    const TpolyGeom& src = input(int(state.range(0)));
    timeOperation(
        state, src.nbFace(),
        [&] {
            auto g = std::make_unique<TpolyGeom>(src);
            g->markDirty(dirtyAll);
            if (cached) g->update(dirtyAll);
            return g;
        },
        [](TpolyGeom& g) { TpolyTriangulateFty::triangulateTopo(&g, 0, nullptr, false); },
        [](TpolyGeom& g) { return g.nbFace(); });
}
void BM_BrindleTriangulateCached(benchmark::State& state) { BM_BrindleTriangulate(state, true); }
void BM_BrindleTriangulateFromScratch(benchmark::State& state) { BM_BrindleTriangulate(state, false); }
BENCHMARK(BM_BrindleTriangulateCached)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BrindleTriangulateFromScratch)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// Merging the triangulated grid's pairs back into quads, through the static form the action uses
// (triangles of the current face group, every keep option on).
void BM_BrindleQuadrangulate(benchmark::State& state) {
    const TpolyGeom& src = input(int(state.range(0)));
    timeOperation(
        state, src.nbFace(),
        [&] {
            auto g = std::make_unique<TpolyGeom>(src);
            g->update(dirtyAll);
            return g;
        },
        [](TpolyGeom& g) {
            const int keep[3] = {1, 2, 4}, sizes[3] = {1, 0, 0};
            TpolyQuadFty::quadrangulateTopo(&g, 180, keep, sizes);
        },
        [](TpolyGeom& g) { return g.nbFace(); });
}
BENCHMARK(BM_BrindleQuadrangulate)->Arg(kTriangulatedGrid)->Unit(benchmark::kMillisecond);

// One pass of the quad-mode face division over every face, through the factory's action.
void BM_BrindleSubdivideQuads(benchmark::State& state) {
    const TpolyGeom& src = input(int(state.range(0)));
    TmidFaceComponent all;
    all.addRange(0, src.nbFace() - 1);
    TpolySubdFacetFty op;
    timeOperation(
        state, src.nbFace(), [&] { return std::make_unique<TmidBody>(new TpolyGeom(src)); },
        [&](TmidBody& body) { op.doAction(&body, &all); }, [](TmidBody& body) { return body.polyGeom()->nbFace(); });
}
BENCHMARK(BM_BrindleSubdivideQuads)->Arg(kGrid100k)->Unit(benchmark::kMillisecond);

#ifdef BRINDLE_HAVE_OPENMESH
void BM_OpenMeshTriangulate(benchmark::State& state) {
    using Mesh = OpenMesh::PolyMesh_ArrayKernelT<>;
    TpolyGeom src(input(int(state.range(0))));
    src.update(dirtyFaceOffsets);
    Mesh base;
    fillOpenMesh(base, src);
    timeOperation(
        state, src.nbFace(), [&] { return std::make_unique<Mesh>(base); }, [](Mesh& m) { m.triangulate(); },
        [](Mesh& m) { return m.n_faces(); });
}
BENCHMARK(BM_OpenMeshTriangulate)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
#endif

#ifdef BRINDLE_HAVE_CGAL
void BM_CgalTriangulateFaces(benchmark::State& state) {
    using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
    using Mesh = CGAL::Surface_mesh<Kernel::Point_3>;
    TpolyGeom src(input(int(state.range(0))));
    src.update(dirtyFaceOffsets);
    Mesh base;
    base.reserve(src.nbVertex(), src.nbEdge(), src.nbFace());
    for (uint32_t v = 0; v < src.nbVertex(); ++v) {
        const T3dFltPoint& p = src.vertexConst(v);
        base.add_vertex(Kernel::Point_3(p.x, p.y, p.z));
    }
    std::vector<Mesh::Vertex_index> ring;
    for (uint32_t f = 0; f < src.nbFace(); ++f) {
        ring.clear();
        for (uint32_t o = src.faceOffset(f); o < src.faceOffset(f + 1); ++o)
            ring.push_back(Mesh::Vertex_index(src.getStartVertex(o)));
        base.add_face(ring);
    }
    timeOperation(
        state, src.nbFace(), [&] { return std::make_unique<Mesh>(base); },
        [](Mesh& m) { CGAL::Polygon_mesh_processing::triangulate_faces(m); },
        [](Mesh& m) { return m.number_of_faces(); });
}
BENCHMARK(BM_CgalTriangulateFaces)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
