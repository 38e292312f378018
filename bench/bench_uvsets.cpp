// UV sets on a 1M-face grid (4M corners): filling a set through the record's checked interface,
// beside OpenMesh writing the same per-corner UVs into its halfedge texture coordinates, and the
// whole-set sharing passes.
#include <benchmark/benchmark.h>

#include <vector>

#include "support/GridBuilder.h"

#ifdef BRINDLE_HAVE_OPENMESH
#include <OpenMesh/Core/Mesh/PolyMesh_ArrayKernelT.hh>
#endif

namespace {

constexpr uint32_t kGrid = 1000;

const TpolyGeom& grid() {
    static TpolyGeom* g = [] {
        auto* r = new TpolyGeom;
        buildQuadGrid(*r, kGrid);
        r->update(dirtyFaceOffsets);
        return r;
    }();
    return *g;
}

// A record sharing everything of the grid but its UV sets.
void shareGridExceptUVs(TpolyGeom& g) {
    g.share(grid(), kCompAll & ~kCompUVSets);
    g.update(dirtyFaceOffsets);
}

// UV of a corner: its vertex's grid position scaled into the unit square.
inline void cornerUV(const TpolyGeom& g, uint32_t corner, float uv[2]) {
    const T3dFltPoint& p = g.vertexConst(g.getStartVertex(corner));
    uv[0] = p.x / kGrid;
    uv[1] = p.y / kGrid;
}

// One UV per corner, the face's UVs and ids appended together as a builder does.
void BM_FillSplitUVSet(benchmark::State& state) {
    TpolyGeom g;
    shareGridExceptUVs(g);
    for (auto _ : state) {
        g.unShare(kCompUVSets);
        const uint32_t s = g.addLastMapSet(Tstring("map1"));
        g.uvBuffer(g.faceDescLength(), s);
        g.mapFaceBuffer(0, s);
        for (uint32_t f = 0; f < g.nbFace(); ++f) {
            float uvs[8];
            for (uint32_t k = 0, c = g.faceOffset(f); k < 4; ++k, ++c) cornerUV(g, c, uvs + 2 * k);
            const int32_t first = g.appendUV(uvs, 4, s);
            const int32_t ids[4] = {first, first + 1, first + 2, first + 3};
            g.refUV(ids, 4, s);
        }
        benchmark::DoNotOptimize(g.nbUV(s));
    }
    state.counters["corners"] = double(g.faceDescLength());
}
BENCHMARK(BM_FillSplitUVSet)->Unit(benchmark::kMillisecond);

// Per-vertex UVs shared by the corners of each vertex.
void BM_FillSharedUVSet(benchmark::State& state) {
    TpolyGeom g;
    shareGridExceptUVs(g);
    for (auto _ : state) {
        g.unShare(kCompUVSets);
        const uint32_t s = g.newEmptyMapSet(Tstring("map1"));
        g.uvBuffer(g.nbVertex(), s);
        for (uint32_t v = 0; v < g.nbVertex(); ++v)
            g.appendUV(g.vertexConst(v).x / kGrid, g.vertexConst(v).y / kGrid, s);
        for (uint32_t c = 0; c < g.faceDescLength(); ++c) g.setUVId(c, int32_t(g.getStartVertex(c)), s);
        benchmark::DoNotOptimize(g.nbUV(s));
    }
}
BENCHMARK(BM_FillSharedUVSet)->Unit(benchmark::kMillisecond);

// Resharing a fully split set down to one UV per vertex, then dropping the freed UVs.
void BM_ShareAndCompactUVSet(benchmark::State& state) {
    TpolyGeom split;
    shareGridExceptUVs(split);
    const uint32_t s = split.newEmptyMapSet(Tstring("map1"));
    for (uint32_t c = 0; c < split.faceDescLength(); ++c) {
        float uv[2];
        cornerUV(split, c, uv);
        split.setUVId(c, split.appendUV(uv, s), s);
    }
    for (auto _ : state) {
        state.PauseTiming();
        TpolyGeom g(split);
        state.ResumeTiming();
        benchmark::DoNotOptimize(g.shareUV(s));
        benchmark::DoNotOptimize(g.removeUnusedUVs(s));
    }
}
BENCHMARK(BM_ShareAndCompactUVSet)->Unit(benchmark::kMillisecond);

#ifdef BRINDLE_HAVE_OPENMESH
using OMesh = OpenMesh::PolyMesh_ArrayKernelT<>;

// The same per-corner UVs written into OpenMesh's halfedge texture coordinates.
void BM_OpenMeshFillHalfedgeTexcoords(benchmark::State& state) {
    OMesh m;
    const uint32_t row = kGrid + 1;
    std::vector<OMesh::VertexHandle> vh;
    vh.reserve(row * row);
    for (uint32_t j = 0; j <= kGrid; ++j)
        for (uint32_t i = 0; i <= kGrid; ++i) vh.push_back(m.add_vertex(OMesh::Point(float(i), float(j), 0.0f)));
    for (uint32_t j = 0; j < kGrid; ++j)
        for (uint32_t i = 0; i < kGrid; ++i)
            m.add_face(vh[j * row + i], vh[j * row + i + 1], vh[(j + 1) * row + i + 1], vh[(j + 1) * row + i]);
    for (auto _ : state) {
        m.request_halfedge_texcoords2D();
        for (auto f : m.faces())
            for (auto h : m.fh_range(f)) {
                const OMesh::Point& p = m.point(m.from_vertex_handle(h));
                m.set_texcoord2D(h, OMesh::TexCoord2D(p[0] / kGrid, p[1] / kGrid));
            }
        benchmark::DoNotOptimize(m.texcoord2D(*m.halfedges_begin()));
        m.release_halfedge_texcoords2D();
    }
    state.counters["corners"] = double(m.n_faces()) * 4;
}
BENCHMARK(BM_OpenMeshFillHalfedgeTexcoords)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
