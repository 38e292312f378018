// Subdivision hierarchies: levels 1 to 3 of the quad-dominant sample mesh and of a 100k-quad
// grid, topology build plus evaluation of positions and one UV set, beside OpenSubdiv's Far
// refiner (topology from a descriptor, RefineUniform, primvar interpolation of positions and
// one face-varying UV channel). Before timing, the program checks on every input that the two
// agree: counts at levels 1 to 3, and positions matched through parents.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "support/GridBuilder.h"
#include "support/ObjLoad.h"

#ifdef BRINDLE_HAVE_OPENSUBDIV
#include <opensubdiv/far/primvarRefiner.h>
#include <opensubdiv/far/topologyDescriptor.h>
#include <opensubdiv/far/topologyRefinerFactory.h>
#endif

namespace {

// A level-0 mesh as both sides take it: positions, corner counts, corner vertex ids.
struct Input {
    std::string name;
    TpolyGeom record;  // with the UV set "map1": one UV per vertex, from x and y
    std::vector<float> points, uvs;
    std::vector<int> counts, corners;
};

void fill(Input& in) {
    TpolyGeom& g = in.record;
    g.update(dirtyFaceOffsets);
    const uint32_t s = g.addLastMapSet(Tstring("map1"));
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        const T3dFltPoint& p = g.vertexConst(v);
        in.points.insert(in.points.end(), {p.x, p.y, p.z});
        in.uvs.insert(in.uvs.end(), {p.x, p.y});
        g.appendUV(p.x, p.y, s);
    }
    for (uint32_t o = 0; o < g.faceDescLength(); ++o) g.refUV(int32_t(g.getStartVertex(o)), s);
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        in.counts.push_back(int(g.faceVertexCount(f)));
        for (uint32_t o = g.faceOffset(f); o < g.faceOffset(f + 1); ++o) in.corners.push_back(int(g.getStartVertex(o)));
    }
    g.update(dirtyAll);
}

Input* makeInput(const std::string& name) {
    auto* in = new Input;
    in->name = name;
    if (name == "cube")
        addUnitCube(in->record);
    else if (name == "grid10k")
        buildQuadGrid(in->record, 100);
    else if (name == "grid100k")
        buildQuadGrid(in->record, 316);
    else
        loadObj(std::string(BRINDLE_DATA_DIR) + "/" + name + ".obj", in->record);
    fill(*in);
    return in;
}

const Input& input(const std::string& name) {
    static std::vector<Input*> all;
    for (Input* in : all)
        if (in->name == name) return *in;
    all.push_back(makeInput(name));
    return *all.back();
}

// Options matching OpenSubdiv's defaults: borders follow the boundary curve.
TpolySmoothGeomOptions brindleOptions(bool linear) {
    TpolySmoothGeomOptions o;
    o.setKeepBorderEdge(false);
    if (linear) {
        o.setSubdivisionType(TpolySmoothGeomOptions::kLinear);
        o.setDegree(1);
    }
    return o;
}

#ifdef BRINDLE_HAVE_OPENSUBDIV
namespace Far = OpenSubdiv::Far;
namespace Sdc = OpenSubdiv::Sdc;

struct Vec3 {
    float x, y, z;
    void Clear() { x = y = z = 0; }
    void AddWithWeight(const Vec3& s, float w) { x += w * s.x, y += w * s.y, z += w * s.z; }
};
struct Vec2 {
    float u, v;
    void Clear() { u = v = 0; }
    void AddWithWeight(const Vec2& s, float w) { u += w * s.u, v += w * s.v; }
};

Far::TopologyRefiner* osdRefiner(const Input& in, bool linear, bool withUVs) {
    Far::TopologyDescriptor desc;
    desc.numVertices = int(in.points.size() / 3);
    desc.numFaces = int(in.counts.size());
    desc.numVertsPerFace = in.counts.data();
    desc.vertIndicesPerFace = in.corners.data();
    Far::TopologyDescriptor::FVarChannel uv;
    if (withUVs) {
        uv.numValues = desc.numVertices;
        uv.valueIndices = in.corners.data();
        desc.numFVarChannels = 1;
        desc.fvarChannels = &uv;
    }
    Sdc::Options sdc;
    sdc.SetVtxBoundaryInterpolation(Sdc::Options::VTX_BOUNDARY_EDGE_ONLY);
    sdc.SetFVarLinearInterpolation(Sdc::Options::FVAR_LINEAR_BOUNDARIES);
    return Far::TopologyRefinerFactory<Far::TopologyDescriptor>::Create(
        desc, Far::TopologyRefinerFactory<Far::TopologyDescriptor>::Options(
                  linear ? Sdc::SCHEME_BILINEAR : Sdc::SCHEME_CATMARK, sdc));
}

// Refines and interpolates positions (and UVs) level by level into one buffer per kind.
void osdEvaluate(Far::TopologyRefiner& r, const Input& in, int levels, bool fullTopology, std::vector<Vec3>& pos,
                 std::vector<Vec2>* uvs) {
    Far::TopologyRefiner::UniformOptions uo(levels);
    uo.fullTopologyInLastLevel = fullTopology;
    r.RefineUniform(uo);
    pos.resize(size_t(r.GetNumVerticesTotal()));
    std::copy_n(reinterpret_cast<const Vec3*>(in.points.data()), in.points.size() / 3, pos.begin());
    Far::PrimvarRefiner pr(r);
    Vec3* src = pos.data();
    for (int l = 1; l <= levels; ++l) {
        Vec3* dst = src + r.GetLevel(l - 1).GetNumVertices();
        pr.Interpolate(l, src, dst);
        src = dst;
    }
    if (!uvs) return;
    uvs->resize(size_t(r.GetNumFVarValuesTotal(0)));
    std::copy_n(reinterpret_cast<const Vec2*>(in.uvs.data()), in.uvs.size() / 2, uvs->begin());
    Vec2* usrc = uvs->data();
    for (int l = 1; l <= levels; ++l) {
        Vec2* udst = usrc + r.GetLevel(l - 1).GetNumFVarValues(0);
        pr.InterpolateFaceVarying(l, usrc, udst, 0);
        usrc = udst;
    }
}

// Our face points are the edge-length-weighted centres of the outlines; OpenSubdiv's are corner
// means. The two agree on parallelograms only, so elsewhere a level differs by the change of the
// face points carried through the smooth edge and vertex rules. A reference with our rule: the
// refiner's level from our parent level, with each face point moved to the weighted centre and
// each smooth edge and interior vertex point moved by its share of that change (1/4 of each of
// the edge's two faces, 1/n^2 of each of the vertex's n faces). Border edges, border vertices and
// non-manifold components do not read face points under the options the benchmark uses.
void applyOutlineCentres(const Far::TopologyLevel& parent, const Vec3* src, Vec3* dst) {
    std::vector<Vec3> delta(size_t(parent.GetNumFaces()));
    for (int f = 0; f < parent.GetNumFaces(); ++f) {
        const auto fv = parent.GetFaceVertices(f);
        double sx = 0, sy = 0, sz = 0, perimeter = 0;
        for (int i = 0; i < fv.size(); ++i) {
            const Vec3 &a = src[fv[i]], &b = src[fv[(i + 1) % fv.size()]];
            const double len = std::sqrt(double(a.x - b.x) * (a.x - b.x) + double(a.y - b.y) * (a.y - b.y) +
                                         double(a.z - b.z) * (a.z - b.z));
            sx += (a.x + b.x) * len, sy += (a.y + b.y) * len, sz += (a.z + b.z) * len, perimeter += len;
        }
        Vec3 c = src[fv[0]];
        if (2 * perimeter >= 1e-5)
            c = {float(sx / (2 * perimeter)), float(sy / (2 * perimeter)), float(sz / (2 * perimeter))};
        Vec3& out = dst[parent.GetFaceChildVertex(f)];
        delta[size_t(f)] = {c.x - out.x, c.y - out.y, c.z - out.z};
        out = c;
    }
    for (int e = 0; e < parent.GetNumEdges(); ++e) {
        const auto ef = parent.GetEdgeFaces(e);
        if (parent.IsEdgeBoundary(e) || parent.IsEdgeNonManifold(e) || ef.size() != 2) continue;
        for (int f : ef) dst[parent.GetEdgeChildVertex(e)].AddWithWeight(delta[size_t(f)], 0.25f);
    }
    for (int v = 0; v < parent.GetNumVertices(); ++v) {
        const auto vf = parent.GetVertexFaces(v);
        if (parent.IsVertexBoundary(v) || parent.IsVertexNonManifold(v) || vf.size() == 0) continue;
        const float w = 1.0f / float(vf.size() * vf.size());
        for (int f : vf) dst[parent.GetVertexChildVertex(v)].AddWithWeight(delta[size_t(f)], w);
    }
}

// Counts and positions against OpenSubdiv at levels 1 to 3. Components are matched through their
// parents: faces by their corner vertices, then vertex, edge (found by its ends) and face
// children. Two differences are printed per level, over the bounding-box diagonal: against the
// refiner's own levels, and against the reference with our face-point rule evaluated from our
// parent level (so that it measures that level's rules alone). The refiner gives non-manifold
// vertices and edges rules of its own, where ours are the plain ones with n and k counted
// separately, so their children are left out of the second figure.
void checkIdentity(const std::string& name, bool linear) {
    const Input& in = input(name);
    TpolyGeom g(in.record);
    g.createHierarchy(3, brindleOptions(linear));
    g.update(dirtyFaceOffsets);
    const TpolyCatmullClarkHierarchy& h = g.subdivider()->hierarchy();
    Far::TopologyRefiner* r = osdRefiner(in, linear, false);
    std::vector<Vec3> pos;
    osdEvaluate(*r, in, 3, true, pos, nullptr);
    Far::PrimvarRefiner pr(*r);
    float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
    for (size_t i = 0; i < in.points.size(); ++i) {
        lo[i % 3] = std::min(lo[i % 3], in.points[i]);
        hi[i % 3] = std::max(hi[i % 3], in.points[i]);
    }
    const double diag = std::sqrt(double(hi[0] - lo[0]) * (hi[0] - lo[0]) + double(hi[1] - lo[1]) * (hi[1] - lo[1]) +
                                  double(hi[2] - lo[2]) * (hi[2] - lo[2]));
    auto gap = [](const T3dFltPoint& p, const Vec3& q) {
        return std::max({double(std::abs(p.x - q.x)), double(std::abs(p.y - q.y)), double(std::abs(p.z - q.z))});
    };
    std::vector<int> vmap(in.points.size() / 3);
    for (size_t i = 0; i < vmap.size(); ++i) vmap[i] = int(i);
    std::vector<int> ours, theirs;
    int osdBase = 0;
    for (uint32_t l = 0; l < 3; ++l) {
        const Far::TopologyLevel& parent = r->GetLevel(int(l));
        const Far::TopologyLevel& child = r->GetLevel(int(l) + 1);
        const bool countsEqual = int(h.nbVertexAt(l + 1)) == child.GetNumVertices() &&
                                 int(h.nbEdgeAt(l + 1)) == child.GetNumEdges() &&
                                 int(h.nbFaceAt(l + 1)) == child.GetNumFaces();
        const int childBase = osdBase + parent.GetNumVertices();
        const uint32_t vb = h.vertexStart(l), eb = h.edgeStart(l), fb = h.faceStart(l), nb = h.vertexStart(l + 1);
        std::vector<int> nextV(h.nbVertexAt(l + 1), -1);
        std::vector<char> nonManifold(nextV.size(), 0);
        for (uint32_t v = 0; v < h.nbVertexAt(l); ++v)
            if (vmap[v] >= 0) {
                nextV[h.vertexSubVertex(vb + v, l) - nb] = parent.GetVertexChildVertex(vmap[v]);
                nonManifold[h.vertexSubVertex(vb + v, l) - nb] = parent.IsVertexNonManifold(vmap[v]);
            }
        for (uint32_t e = 0; e < h.nbEdgeAt(l); ++e) {
            const int a = vmap[g.startVertex(eb + e) - vb], b = vmap[g.endVertex(eb + e) - vb];
            const int oe = a >= 0 && b >= 0 ? parent.FindEdge(a, b) : -1;
            if (oe < 0) continue;
            nextV[h.edgeSubVertex(eb + e, l) - nb] = parent.GetEdgeChildVertex(oe);
            nonManifold[h.edgeSubVertex(eb + e, l) - nb] = parent.IsEdgeNonManifold(oe);
        }
        for (uint32_t f = 0; f < h.nbFaceAt(l); ++f) {
            ours.clear();
            for (uint32_t o = g.faceOffset(fb + f); o < g.faceOffset(fb + f + 1); ++o)
                ours.push_back(vmap[g.getStartVertex(o) - vb]);
            std::sort(ours.begin(), ours.end());
            if (ours.empty() || ours[0] < 0) continue;
            for (int of : parent.GetVertexFaces(ours[0])) {
                const auto fv = parent.GetFaceVertices(of);
                theirs.assign(fv.begin(), fv.end());
                std::sort(theirs.begin(), theirs.end());
                if (theirs != ours) continue;
                nextV[h.faceSubVertex(fb + f, l) - nb] = parent.GetFaceChildVertex(of);
                break;
            }
        }
        // The reference level from our parent level.
        std::vector<Vec3> src(size_t(parent.GetNumVertices()), Vec3{0, 0, 0}), dst(size_t(child.GetNumVertices()));
        for (uint32_t v = 0; v < h.nbVertexAt(l); ++v) {
            const T3dFltPoint& p = g.vertexConst(vb + v);
            if (vmap[v] >= 0) src[size_t(vmap[v])] = {p.x, p.y, p.z};
        }
        Vec3* to = dst.data();
        pr.Interpolate(int(l) + 1, src.data(), to);
        if (!linear) applyOutlineCentres(parent, src.data(), dst.data());
        double worst = 0, worstLevel = 0;
        uint32_t unmatched = 0, skipped = 0;
        for (uint32_t v = 0; v < nextV.size(); ++v) {
            if (nextV[v] < 0) {
                ++unmatched;
                continue;
            }
            const T3dFltPoint& p = g.vertexConst(nb + v);
            worst = std::max(worst, gap(p, pos[size_t(childBase + nextV[v])]));
            if (nonManifold[v])
                ++skipped;
            else
                worstLevel = std::max(worstLevel, gap(p, dst[size_t(nextV[v])]));
        }
        std::fprintf(stderr,
                     "%-10s %-6s level %u: counts %s (v %u e %u f %u), unmatched %u, max |diff| / diag %.3g, "
                     "same face rule from our parent level %.3g (%u children of non-manifold parents left out)\n",
                     name.c_str(), linear ? "linear" : "cc", l + 1, countsEqual ? "equal" : "DIFFER",
                     h.nbVertexAt(l + 1), h.nbEdgeAt(l + 1), h.nbFaceAt(l + 1), unmatched, worst / diag,
                     worstLevel / diag, skipped);
        vmap.swap(nextV);
        osdBase = childBase;
    }
    delete r;
}

void BM_OsdRefine(benchmark::State& state, const char* name) {
    const Input& in = input(name);
    const int levels = int(state.range(0));
    std::vector<Vec3> pos;
    std::vector<Vec2> uvs;
    for (auto _ : state) {
        Far::TopologyRefiner* r = osdRefiner(in, false, true);
        osdEvaluate(*r, in, levels, false, pos, &uvs);
        benchmark::DoNotOptimize(pos.data());
        state.counters["faces"] = double(r->GetLevel(levels).GetNumFaces());
        delete r;
    }
}
#endif

void BM_BrindleHierarchy(benchmark::State& state, const char* name) {
    const Input& in = input(name);
    const uint32_t levels = uint32_t(state.range(0));
    const TpolySmoothGeomOptions options = brindleOptions(false);
    double bytes = 0, faces = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto* g = new TpolyGeom(in.record);
        g->update(dirtyAll);
        state.ResumeTiming();
        g->createHierarchy(levels, options);
        benchmark::DoNotOptimize(g->vertexArray().data());
        state.PauseTiming();
        faces = double(g->subdivider()->nbFaceAt(levels));
        bytes = double(g->bytesAllocated());
        delete g;
        state.ResumeTiming();
    }
    state.counters["faces"] = faces;
    state.counters["bytes/face"] = bytes / faces;
}

#ifdef BRINDLE_HAVE_OPENSUBDIV
const int kIdentity = [] {
    for (const char* name : {"cube", "suzanne", "cow", "grid10k", "grid100k"})
        for (bool linear : {false, true}) checkIdentity(name, linear);
    return 0;
}();
#endif

}  // namespace

BENCHMARK_CAPTURE(BM_BrindleHierarchy, suzanne, "suzanne")->DenseRange(1, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BrindleHierarchy, grid100k, "grid100k")->DenseRange(1, 3)->Unit(benchmark::kMillisecond);
#ifdef BRINDLE_HAVE_OPENSUBDIV
BENCHMARK_CAPTURE(BM_OsdRefine, suzanne, "suzanne")->DenseRange(1, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OsdRefine, grid100k, "grid100k")->DenseRange(1, 3)->Unit(benchmark::kMillisecond);
#endif

BENCHMARK_MAIN();
