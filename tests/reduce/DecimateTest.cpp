#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "reduce/ReduceTestSupport.h"

using namespace reducetest;

namespace {
uint32_t goalFor(uint32_t faces, double pct) { return faces - uint32_t(faces * pct * 0.01); }

bool onGridOutline(const T3dFltPoint& p, float n) {
    const auto at = [](float x, float v) { return std::fabs(x - v) < 1e-4f; };
    return at(p.x, 0) || at(p.x, n) || at(p.y, 0) || at(p.y, n);
}
}  // namespace

TEST(Decimate, ClosedMeshReachesItsFaceCountAndStaysClosed) {
    for (double pct : {50.0, 10.0, 90.0}) {
        ReduceRun run(sample("cow.obj"));
        ASSERT_TRUE(run.body.polyGeom());
        const uint32_t f0 = run.geom().nbFace();
        const SurfaceFacts before = inspectSurface(run.geom());
        TpolyDecimateFty fty;
        fty.setPercentageDone(42.0);
        fty.setPercentage(pct);
        EXPECT_EQ(run.reduce(fty), 0);
        // Each collapse of a closed triangle mesh removes two faces: the goal, or one below it
        // when the share removes an odd number of faces.
        const uint32_t goal = goalFor(f0, pct);
        EXPECT_EQ(run.geom().nbFace(), goal - (f0 - goal) % 2) << pct;
        EXPECT_EQ(run.geom().checkObject(kCheckAll), 0u);
        const SurfaceFacts s = inspectSurface(run.geom());
        EXPECT_EQ(s.borderEdges, 0u);
        EXPECT_EQ(s.badEdges, 0u);
        EXPECT_EQ(int(s.v) - int(s.e) + int(s.f), int(before.v) - int(before.e) + int(before.f));
        EXPECT_EQ(fty.percentageDone(), 42.0);  // only an interruption writes it
    }
}

// The share counts the faces handed in; the quads are cut into triangles first, and the caller's
// maps speak of the quads and edges it had.
TEST(Decimate, QuadsAreTriangulatedAndCountedAsHandedIn) {
    const uint32_t nu = 24, nv = 12, f0 = nu * nv;
    ReduceRun run(quadTorus(nu, nv));
    const uint32_t e0 = run.geom().nbEdge();
    TpolyIdMapper mapper(true, true, true);
    TpolyDecimateFty fty;
    fty.setIdMapper(&mapper);
    fty.setPercentage(50);
    ASSERT_EQ(run.reduce(fty), 0);
    TpolyGeom& g = run.geom();
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    const uint32_t goal = goalFor(f0, 50);
    EXPECT_EQ(g.nbFace(), goal - (2 * f0 - goal) % 2);
    g.update(dirtyFaceOffsets);
    for (uint32_t f = 0; f < g.nbFace(); ++f) EXPECT_EQ(g.faceVertexCount(f), 3u);
    ASSERT_EQ(mapper.faceMap()->size(), f0);
    ASSERT_EQ(mapper.edgeMap()->size(), e0);
    uint32_t mapped = 0;
    for (uint32_t f = 0; f < f0; ++f) {
        const uint32_t to = (*mapper.faceMap())[f];
        EXPECT_TRUE(to == ~0u || to < g.nbFace());
        mapped += to != ~0u;
    }
    EXPECT_GT(mapped, 0u);
    for (uint32_t e = 0; e < e0; ++e) EXPECT_TRUE((*mapper.edgeMap())[e] == ~0u || (*mapper.edgeMap())[e] < g.nbEdge());

    // Without triangulation the quads are collapsed as they are.
    ReduceRun quads(quadTorus(nu, nv));
    TpolyDecimateFty keep;
    keep.setTriangulate(false);
    keep.setPercentage(50);
    ASSERT_EQ(quads.reduce(keep), 0);
    EXPECT_EQ(quads.geom().checkObject(kCheckAll), 0u);
    EXPECT_LE(quads.geom().nbFace(), goal);
    quads.geom().update(dirtyFaceOffsets);
    uint32_t polygons = 0;
    for (uint32_t f = 0; f < quads.geom().nbFace(); ++f) polygons += quads.geom().faceVertexCount(f) > 3;
    EXPECT_GT(polygons, 0u);
}

TEST(Decimate, FlatGridKeepsPlaneCornersAndOutline) {
    const uint32_t n = 16;
    ReduceRun run(triangleGrid(n));
    TpolyDecimateFty fty;
    fty.setPercentage(90);
    ASSERT_EQ(run.reduce(fty), 0);
    TpolyGeom& g = run.geom();
    EXPECT_LT(g.nbFace(), 2 * n * n / 5);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    g.update(dirtyAll);
    int corners = 0;
    double outline = 0;
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        const T3dFltPoint& p = g.vertexConst(v);
        EXPECT_EQ(p.z, 0.0f);
        const auto at = [](float x, float v) { return std::fabs(x - v) < 1e-5f; };
        corners += (at(p.x, 0) || at(p.x, float(n))) && (at(p.y, 0) || at(p.y, float(n)));
    }
    EXPECT_EQ(corners, 4);
    for (uint32_t e = 0; e < g.nbEdge(); ++e) {
        if (!g.isBorder(e)) continue;
        const T3dFltPoint& a = g.vertexConst(g.startVertex(e));
        const T3dFltPoint& b = g.vertexConst(g.endVertex(e));
        EXPECT_TRUE(onGridOutline(a, float(n)) && onGridOutline(b, float(n)));
        outline += std::hypot(double(a.x) - b.x, double(a.y) - b.y);
    }
    EXPECT_NEAR(outline, 4.0 * n, 1e-3);  // the outline neither shrinks nor cuts corners
}

TEST(Decimate, UVSeamStaysWhereItWasWithKeepMapBorder) {
    const uint32_t n = 16;
    const float seam = 8.0f, scale = float(n);
    ReduceRun run(triangleGrid(n));
    addPlanarUVs(run.geom(), scale, seam);
    TpolyDecimateFty fty;
    fty.setPercentage(85);
    fty.setKeepMapBorder(true);
    ASSERT_EQ(run.reduce(fty), 0);
    TpolyGeom& g = run.geom();
    ASSERT_EQ(g.checkObject(kCheckAll), 0u);
    ASSERT_TRUE(uvIdsValid(g));
    const TpolyMap& map = (*g.maps())[0];
    // A vertex with corners on both islands lies on the seam, and each island's UVs there stay on
    // the island's edge.
    std::vector<int> sides(g.nbVertex(), 0);
    for (uint32_t c = 0; c < g.faceDescLength(); ++c) {
        const T2FloatPair& uv = map.values()[uint32_t(map.getIndex(c))];
        sides[g.getStartVertex(c)] |= uv.u > 1.0f - 1e-4f ? 2 : 1;
    }
    uint32_t seamVertices = 0;
    for (uint32_t c = 0; c < g.faceDescLength(); ++c) {
        const uint32_t v = g.getStartVertex(c);
        if (sides[v] != 3) continue;
        EXPECT_NEAR(g.vertexConst(v).x, seam, 1e-4f);
        const T2FloatPair& uv = map.values()[uint32_t(map.getIndex(c))];
        EXPECT_NEAR(uv.u, uv.u > 1.0f ? 1.5f : 0.5f, 1e-4f);
        EXPECT_NEAR(uv.v, g.vertexConst(v).y / scale, 1e-4f);
        ++seamVertices;
    }
    EXPECT_GE(seamVertices, 4u);
}

TEST(Decimate, NothingToDoLeavesTheRecordAlone) {
    // 0 %, a share too small for one face, and a single face.
    for (double pct : {0.0, 0.01}) {
        ReduceRun run(quadTorus(8, 6));
        const TpolyGeom copy(run.geom());
        const TpolyGeom* before = run.body.polyGeom();
        TpolyDecimateFty fty;
        fty.setPercentage(pct);
        EXPECT_EQ(run.reduce(fty), 0);
        EXPECT_EQ(run.body.polyGeom(), before);
        EXPECT_EQ(run.geom().compareObject(copy), 0u);
    }
    auto one = std::make_unique<TpolyGeom>();
    for (uint32_t v = 0; v < 3; ++v) one->appendVertex(float(v == 1), float(v == 2), 0.0f);
    addRingFace(*one, {0, 1, 2});
    ReduceRun run(std::move(one));
    const TpolyGeom copy(run.geom());
    const TpolyGeom* before = run.body.polyGeom();
    TpolyDecimateFty fty;
    fty.setPercentage(100);
    EXPECT_EQ(run.reduce(fty), 0);
    EXPECT_EQ(run.body.polyGeom(), before);
    EXPECT_EQ(run.geom().compareObject(copy), 0u);
}

TEST(Decimate, AllWeightsZeroActsAsGeometryWeightOne) {
    ReduceRun plain(sample("cow.obj")), zero(sample("cow.obj"));
    TpolyDecimateFty a, b;
    a.setPercentage(70);
    b.setPercentage(70);
    b.setGeomWeight(0);
    b.setUVWeight(0);
    b.setRGBWeight(0);
    ASSERT_EQ(plain.reduce(a), 0);
    ASSERT_EQ(zero.reduce(b), 0);
    ASSERT_EQ(plain.geom().nbVertex(), zero.geom().nbVertex());
    ASSERT_EQ(plain.geom().faceDescArray().size(), zero.geom().faceDescArray().size());
    for (uint32_t v = 0; v < plain.geom().nbVertex(); ++v) {
        EXPECT_EQ(plain.geom().vertexConst(v).x, zero.geom().vertexConst(v).x);
        EXPECT_EQ(plain.geom().vertexConst(v).z, zero.geom().vertexConst(v).z);
    }
    for (uint32_t c = 0; c < plain.geom().faceDescLength(); ++c)
        EXPECT_EQ(plain.geom().getFaceEdge(c), zero.geom().getFaceEdge(c));
}

namespace {
int gPolls = 0;
int gInterruptAfter = 0;
bool interruptSoon(void*) { return ++gPolls > gInterruptAfter; }
}  // namespace

TEST(Decimate, InterruptedRunAnswersOneWithTheShareDone) {
    Tcomputation::Hooks hooks;
    hooks.interrupted = interruptSoon;
    Tcomputation::setHooks(hooks);
    gPolls = 0;
    gInterruptAfter = 100;
    ReduceRun run(sample("cow.obj"));
    const uint32_t f0 = run.geom().nbFace();
    TpolyDecimateFty fty;
    fty.setPercentage(90);
    const int result = run.reduce(fty);
    Tcomputation::setHooks(Tcomputation::Hooks());
    EXPECT_EQ(result, 1);
    const uint32_t left = run.geom().nbFace();
    EXPECT_GT(left, goalFor(f0, 90));
    EXPECT_LT(left, f0);
    EXPECT_NEAR(fty.percentageDone(), (1.0 - double(left) / f0) * 100.0, 1e-9);
    EXPECT_EQ(run.geom().checkObject(kCheckAll), 0u);
}

TEST(Decimate, SampleMeshesStayValidAtTenPercent) {
    for (const char* name : {"cow.obj", "teapot.obj", "woody.obj", "suzanne.obj", "beetle.obj", "stanford-bunny.obj"}) {
        ReduceRun run(sample(name));
        ASSERT_TRUE(run.body.polyGeom()) << name;
        addPlanarUVs(run.geom(), 1.0f);
        const uint32_t f0 = run.geom().nbFace();
        TpolyDecimateFty fty;
        fty.setPercentage(90);
        fty.setKeepMapBorder(true);
        EXPECT_EQ(run.reduce(fty), 0) << name;
        TpolyGeom& g = run.geom();
        EXPECT_EQ(g.checkObject(kCheckAll), 0u) << name;
        EXPECT_TRUE(uvIdsValid(g)) << name;
        EXPECT_LT(g.nbFace(), f0 / 4) << name;
        for (uint32_t v = 0; v < g.nbVertex(); ++v) EXPECT_TRUE(std::isfinite(g.vertexConst(v).x)) << name;
    }
}

TEST(Decimate, BadInputGivesAValidRecordOrRefusal) {
    // Out-of-range shares are clamped and stored back; NaN counts as 0.
    for (double pct : {-5.0, 150.0, std::numeric_limits<double>::quiet_NaN()}) {
        ReduceRun run(triangleGrid(6));
        TpolyDecimateFty fty;
        fty.setPercentage(pct);
        EXPECT_EQ(run.reduce(fty), 0);
        EXPECT_EQ(fty.percentage(), pct > 100 ? 100.0 : 0.0);
        EXPECT_EQ(run.geom().checkObject(kCheckAll), 0u);
        EXPECT_GE(run.geom().nbFace(), 1u);
    }
    // Degenerate and zero-area triangles: every vertex of a grid row moved onto one point, and a
    // NaN position.
    {
        auto g = triangleGrid(8);
        for (uint32_t i = 0; i <= 8; ++i) g->setVertex(4 * 9 + i, T3dFltPoint(4, 4, 0));
        g->setVertex(10, T3dFltPoint(std::nanf(""), 0, 0));
        ReduceRun run(std::move(g));
        TpolyDecimateFty fty;
        fty.setPercentage(80);
        EXPECT_EQ(run.reduce(fty), 0);
        EXPECT_EQ(run.geom().checkObject(kCheckAll), 0u);
    }
    // A face with a hole, beside a quad, as it is and cut into triangles.
    for (bool triangulate : {false, true}) {
        auto g = std::make_unique<TpolyGeom>();
        const float ring[8][2] = {{0, 0}, {3, 0}, {3, 3}, {0, 3}, {1, 1}, {1, 2}, {2, 2}, {2, 1}};
        for (const auto& p : ring) g->appendVertex(p[0], p[1], 0.0f);
        g->appendVertex(3, 0, 1);
        g->appendVertex(3, 3, 1);
        g->bgnFace(0);
        for (const std::vector<uint32_t>& loop :
             {std::vector<uint32_t>{0, 1, 2, 3}, std::vector<uint32_t>{4, 5, 6, 7}}) {
            for (size_t i = 0; i < loop.size(); ++i) {
                const uint32_t a = loop[i], b = loop[(i + 1) % loop.size()];
                g->refEdge(g->appendEdge(a, b), kForward);
            }
            g->endLoop();
        }
        g->endFace();
        addRingFace(*g, {2, 1, 8, 9});
        ReduceRun run(std::move(g));
        TpolyDecimateFty fty;
        fty.setPercentage(50);
        fty.setTriangulate(triangulate);
        EXPECT_EQ(run.reduce(fty), 0);
        EXPECT_EQ(run.geom().checkObject(kCheckAll), 0u);
        EXPECT_GE(run.geom().nbFace(), 1u);
    }
    // A vertex list is not a face selection.
    {
        ReduceRun run(triangleGrid(4));
        TmidVertComponent vertices;
        vertices.addElement(0);
        TpolyDecimateFty fty;
        fty.setPercentage(50);
        EXPECT_EQ(run.reduce(fty, &vertices), -1);
        EXPECT_EQ(run.geom().nbFace(), 32u);
    }
}

TEST(Decimate, SelectedFacesAloneAreReduced) {
    const uint32_t n = 12;
    ReduceRun run(triangleGrid(n));
    TmidFaceComponent faces;
    for (uint32_t f = 0; f < 2 * n * n; ++f)
        if ((f / 2) % n < n / 2) faces.addElement(f);  // the left half
    TpolyIdMapper mapper(true, true, true);
    TpolyDecimateFty fty;
    fty.setIdMapper(&mapper);
    fty.setPercentage(80);
    ASSERT_EQ(run.reduce(fty, &faces), 0);
    TpolyGeom& g = run.geom();
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    // The right half is untouched: its faces all survive, with their corners where they were.
    uint32_t right = 0;
    g.update(dirtyAll);
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        float cx = 0;
        for (uint32_t k = 0; k < 3; ++k) cx += g.vertexConst(g.getStartVertex(g.faceOffset(f) + k)).x / 3;
        right += cx > n / 2.0f;
    }
    EXPECT_EQ(right, n * n);
    EXPECT_LT(g.nbFace(), n * n + n * n / 2);
    // The face map keeps every right-half face.
    const TuInt32Array& fmap = *mapper.faceMap();
    ASSERT_EQ(fmap.size(), 2 * n * n);
    uint32_t kept = 0;
    for (uint32_t f = 0; f < 2 * n * n; ++f) kept += (f / 2) % n >= n / 2 && fmap[f] < g.nbFace();
    EXPECT_EQ(kept, n * n);
    EXPECT_EQ(mapper.vertexMap()->size(), (n + 1) * (n + 1));
}

TEST(Decimate, HardEdgesAndVertexWeightsAreHeld) {
    // A hard line across a flat grid at x = 8 stays straight and whole with keepHardEdges.
    const uint32_t n = 16;
    auto grid = triangleGrid(n);
    for (uint32_t e = 0; e < grid->nbEdge(); ++e)
        if (grid->vertexConst(grid->startVertex(e)).x == 8.0f && grid->vertexConst(grid->endVertex(e)).x == 8.0f)
            grid->setHard(e);
    ReduceRun run(std::move(grid));
    TpolyDecimateFty fty;
    fty.setKeepHardEdges(true);
    fty.setPercentage(90);
    ASSERT_EQ(run.reduce(fty), 0);
    TpolyGeom& g = run.geom();
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    double hardLength = 0;
    g.update(dirtyAll);
    for (uint32_t e = 0; e < g.nbEdge(); ++e) {
        if (!g.isHard(e) || g.isBorder(e)) continue;
        const T3dFltPoint& a = g.vertexConst(g.startVertex(e));
        const T3dFltPoint& b = g.vertexConst(g.endVertex(e));
        EXPECT_NEAR(a.x, 8.0f, 1e-4f);
        EXPECT_NEAR(b.x, 8.0f, 1e-4f);
        hardLength += std::fabs(double(a.y) - b.y);
    }
    EXPECT_NEAR(hardLength, double(n), 1e-3);

    // Vertices of weight 1 (times the coefficient) outlast those of weight 0.
    ReduceRun cow(sample("cow.obj"));
    TpolyGeom& c = cow.geom();
    const uint32_t v0 = c.nbVertex();
    TdoubleArray weights;
    weights.changeLogicalSizeTo(v0);
    uint32_t heavy0 = 0;
    for (uint32_t v = 0; v < v0; ++v) {
        weights[v] = c.vertexConst(v).x > 0 ? 1.0 : 0.0;
        heavy0 += weights[v] > 0;
    }
    TpolyDecimateFty weighted;
    weighted.setWeightsArray(&weights);
    EXPECT_TRUE(weighted.useVertexWeights());
    weighted.setPercentage(30);
    ASSERT_EQ(cow.reduce(weighted), 0);
    uint32_t heavy = 0, light = 0;
    for (uint32_t v = 0; v < cow.geom().nbVertex(); ++v) (cow.geom().vertexConst(v).x > 0 ? heavy : light) += 1;
    // The share is smaller than the weightless side: that side pays for all of it.
    EXPECT_GT(double(heavy) / heavy0, 0.95);
    EXPECT_LT(double(light) / (v0 - heavy0), 0.3);
}

TEST(Decimate, DefaultsAndParametersByName) {
    TpolyDecimateFty fty;
    EXPECT_EQ(fty.percentage(), 100.0);
    EXPECT_EQ(fty.percentageDone(), 100.0);
    EXPECT_EQ(fty.compactness(), 0.0);
    EXPECT_EQ(fty.decimationType(), 2);
    EXPECT_EQ(fty.vertexCount(), 100u);
    EXPECT_EQ(fty.vertReductionPerDecimation(), 100.0);
    EXPECT_TRUE(fty.keepGeometryBorder() && fty.triangulate());
    EXPECT_FALSE(fty.keepMapBorder() || fty.keepHardEdges() || fty.optimalVertexPlacement() || fty.useVertexWeights());
    std::unique_ptr<TmidModifierFty> made(TmodifierRegistry::create("TpolyDecimateFty"));
    ASSERT_TRUE(made);
    EXPECT_TRUE(TmodifierRegistry::setParameter(*made, "Percentage", "30"));
    EXPECT_TRUE(TmodifierRegistry::setParameter(*made, "KeepMapBorder", "true"));
    EXPECT_FALSE(TmodifierRegistry::setParameter(*made, "Percentage", "lots"));
    const auto& d = static_cast<const TpolyDecimateFty&>(*made);
    EXPECT_EQ(d.percentage(), 30.0);
    EXPECT_TRUE(d.keepMapBorder());
}
