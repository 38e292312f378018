// The box primitive at 100 x 100 x 100 divisions (60000 quads, 120000 edges): the whole build with
// its shared UV layout, without UVs, and, when installed, OpenMesh adding the same vertices and
// faces to a PolyMesh from ready-made lists (it finds or makes each edge as it goes, where the box
// knows every edge id from the grid counts).
#include <benchmark/benchmark.h>

#include <vector>

#include "brindle/brindle.h"

#ifdef BRINDLE_HAVE_OPENMESH
#include <OpenMesh/Core/Mesh/PolyMesh_ArrayKernelT.hh>
#endif

namespace {

constexpr uint32_t kDivisions = 100;

TmeshBoxFty boxFactory(bool withUVs) {
    TmeshBoxFty box;
    box.setXSubdivide(kDivisions);
    box.setYSubdivide(kDivisions);
    box.setZSubdivide(kDivisions);
    if (withUVs) {
        box.setUVSetName("map1");
        box.setTexture(TmeshBoxFty::kSharedLayout);
    }
    return box;
}

void BM_BoxBuild(benchmark::State& state) {
    TmeshBoxFty box = boxFactory(state.range(0) != 0);
    TmidBody body;
    for (auto _ : state) {
        box.build(body);
        benchmark::DoNotOptimize(body.polyGeom());
    }
    state.counters["faces"] = double(body.faceCount());
}
BENCHMARK(BM_BoxBuild)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

#ifdef BRINDLE_HAVE_OPENMESH
void BM_OpenMeshBox(benchmark::State& state) {
    TmeshBoxFty box = boxFactory(false);
    auto g = box.createBox();
    g->update(dirtyFaceOffsets);
    std::vector<OpenMesh::VertexHandle> corners;
    using Mesh = OpenMesh::PolyMesh_ArrayKernelT<>;
    for (auto _ : state) {
        Mesh mesh;
        mesh.reserve(g->nbVertex(), g->nbEdge(), g->nbFace());
        std::vector<Mesh::VertexHandle> verts;
        verts.reserve(g->nbVertex());
        for (uint32_t v = 0; v < g->nbVertex(); ++v) {
            const T3dFltPoint& p = g->vertexConst(v);
            verts.push_back(mesh.add_vertex(Mesh::Point(p.x, p.y, p.z)));
        }
        for (uint32_t f = 0; f < g->nbFace(); ++f) {
            corners.clear();
            for (uint32_t o = g->faceOffset(f); o < g->faceOffset(f + 1); ++o)
                corners.push_back(verts[g->getStartVertex(o)]);
            mesh.add_face(corners);
        }
        benchmark::DoNotOptimize(mesh.n_faces());
    }
}
BENCHMARK(BM_OpenMeshBox)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
