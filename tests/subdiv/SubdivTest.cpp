#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/brindle.h"
#include "support/GridBuilder.h"
#include "support/ObjLoad.h"
#include "support/SurfaceCheck.h"

namespace {

// One UV per vertex at scale times its x and y, on every corner.
void mapByVertex(TpolyGeom& g, float scale) {
    const uint32_t s = g.addLastMapSet(Tstring("map1"));
    for (uint32_t v = 0; v < g.nbVertex(); ++v) g.appendUV(g.vertexConst(v).x * scale, g.vertexConst(v).y * scale, s);
    for (uint32_t o = 0; o < g.faceDescLength(); ++o) g.refUV(int32_t(g.getStartVertex(o)), s);
}

void expectNear(const T3dFltPoint& p, float x, float y, float z) {
    EXPECT_NEAR(p.x, x, 1e-6f);
    EXPECT_NEAR(p.y, y, 1e-6f);
    EXPECT_NEAR(p.z, z, 1e-6f);
}

const TpolyCatmullClarkHierarchy& hierarchyOf(const TpolyGeom& g) { return g.subdivider()->hierarchy(); }

// Catmull-Clark counts from level 0: an n-gon gives n quads, each edge two halves.
void expectSplitCounts(TpolyGeom& g, uint32_t levels) {
    uint64_t v = g.nbVertex(), e = g.nbEdge(), f = g.nbFace(), c = g.faceDescLength();
    uint64_t totalV = v, totalE = e, totalF = f;
    g.createHierarchy(levels, TpolySmoothGeomOptions());
    const TpolyCatmullClarkHierarchy& h = hierarchyOf(g);
    for (uint32_t l = 1; l <= levels; ++l) {
        const uint64_t nv = v + e + f, ne = l == 1 ? c + 2 * e : 2 * e + 4 * f, nf = l == 1 ? c : 4 * f;
        v = nv, e = ne, f = nf;
        totalV += v, totalE += e, totalF += f;
        EXPECT_EQ(h.nbVertexAt(l), v) << "level " << l;
        EXPECT_EQ(h.nbEdgeAt(l), e) << "level " << l;
        EXPECT_EQ(h.nbFaceAt(l), f) << "level " << l;
    }
    EXPECT_EQ(g.nbVertex(), totalV);
    EXPECT_EQ(g.nbEdge(), totalE);
    EXPECT_EQ(g.nbFace(), totalF);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
}

}  // namespace

TEST(SubdivOptions, DefaultsAndClamps) {
    TpolySmoothGeomOptions o;
    EXPECT_EQ(o.divisions(), 1);
    EXPECT_EQ(o.edgeDivisions(), 1);
    EXPECT_EQ(o.degree(), 3);
    EXPECT_EQ(o.smoothness(), 1.0f);
    EXPECT_TRUE(o.keepBorderEdge());
    EXPECT_FALSE(o.keepHardEdge());
    EXPECT_TRUE(o.smoothUVs());
    EXPECT_EQ(o.subdivisionType(), TpolySmoothGeomOptions::kCatmullClark);
    o.setDivisions(-3);
    EXPECT_EQ(o.divisions(), 1);
    o.setDivisions(0);
    EXPECT_EQ(o.divisions(), 0);
    o.setEdgeDivisions(0);
    EXPECT_EQ(o.edgeDivisions(), 1);
    TpolySmoothGeomOptions copy(o);
    EXPECT_EQ(copy.divisions(), 0);
}

TEST(SubdivCounts, ClosedFormulasAtLevelsOneToThree) {
    {
        TpolyGeom cube;
        addUnitCube(cube);
        expectSplitCounts(cube, 3);
        const TpolyCatmullClarkHierarchy& h = hierarchyOf(cube);
        EXPECT_EQ(h.nbVertexAt(1), 26u);
        EXPECT_EQ(h.nbEdgeAt(1), 48u);
        EXPECT_EQ(h.nbFaceAt(1), 24u);
        EXPECT_EQ(h.nbVertexAt(2), 98u);
        EXPECT_EQ(h.nbEdgeAt(2), 192u);
        EXPECT_EQ(h.nbFaceAt(2), 96u);
    }
    {
        TpolyGeom tri;
        for (int i = 0; i < 3; ++i) tri.appendVertex(float(i == 1), float(i == 2), 0);
        addRingFace(tri, {0, 1, 2});
        expectSplitCounts(tri, 3);
        EXPECT_EQ(hierarchyOf(tri).nbVertexAt(1), 7u);
        EXPECT_EQ(hierarchyOf(tri).nbEdgeAt(1), 9u);
        EXPECT_EQ(hierarchyOf(tri).nbFaceAt(1), 3u);
    }
    {
        TpolyGeom mixed;  // a pentagon and a triangle sharing an edge
        for (int i = 0; i < 6; ++i) mixed.appendVertex(std::cos(float(i)), std::sin(float(i)), 0);
        addRingFace(mixed, {0, 1, 2, 3, 4});
        addRingFace(mixed, {0, 4, 5});
        expectSplitCounts(mixed, 3);
    }
    {
        TpolyGeom grid;
        buildQuadGrid(grid, 4);
        expectSplitCounts(grid, 3);
    }
    {
        // The linear scheme on quads: (d + 1)^2 quads per quad, d points per edge.
        TpolyGeom grid;
        buildQuadGrid(grid, 3);
        TpolySmoothGeomOptions o;
        o.setSubdivisionType(TpolySmoothGeomOptions::kLinear);
        o.setEdgeDivisions(2);
        grid.createHierarchy(2, o);
        const TpolyCatmullClarkHierarchy& h = hierarchyOf(grid);
        EXPECT_TRUE(h.quadMesh());
        EXPECT_EQ(h.nbFaceAt(1), 81u);
        EXPECT_EQ(h.nbFaceAt(2), 729u);
        EXPECT_EQ(h.nbVertexAt(1), 100u);  // a 9 x 9 grid of quads
        EXPECT_EQ(h.nbEdgeAt(1), 180u);
        EXPECT_EQ(grid.checkObject(kCheckAll), 0u);
        // Mixed meshes fall back to the split layout.
        TpolyGeom mixed;
        for (int i = 0; i < 5; ++i) mixed.appendVertex(float(i % 3), float(i / 3), 0);
        addRingFace(mixed, {0, 1, 4, 3});
        addRingFace(mixed, {1, 2, 4});
        mixed.createHierarchy(1, o);
        EXPECT_FALSE(hierarchyOf(mixed).quadMesh());
        EXPECT_EQ(hierarchyOf(mixed).nbFaceAt(1), 7u);
    }
}

TEST(SubdivPositions, CubeAndUnitQuadAtLevelOne) {
    TpolyGeom cube;
    addUnitCube(cube);
    cube.createHierarchy(1, TpolySmoothGeomOptions());
    const TpolyCatmullClarkHierarchy& h = hierarchyOf(cube);
    // Corner (n = k = 3): P/3 + sum R/9 + sum F/9.
    expectNear(cube.vertexConst(h.vertexSubVertex(0, 0)), 2.f / 9, 2.f / 9, 2.f / 9);
    expectNear(cube.vertexConst(h.vertexSubVertex(7, 0)), 7.f / 9, 7.f / 9, 7.f / 9);
    for (uint32_t e = 0; e < 12; ++e) {
        // Mean of the two ends and the two face points: 1/8 off the edge toward the cube's centre.
        const T3dFltPoint a = cube.vertexConst(cube.startVertex(e)), b = cube.vertexConst(cube.endVertex(e));
        const T3dFltPoint p = cube.vertexConst(h.edgeSubVertex(e, 0));
        for (int k = 0; k < 3; ++k) {
            const float mid = (a[k] + b[k]) / 2;
            EXPECT_NEAR(p[k], mid == 0.5f ? 0.5f : (mid == 0 ? 0.125f : 0.875f), 1e-6f);
        }
    }
    expectNear(cube.vertexConst(h.faceSubVertex(0, 0)), 0.5f, 0.5f, 0.f);

    for (bool keep : {true, false}) {
        TpolyGeom quad;
        buildQuadGrid(quad, 1);
        TpolySmoothGeomOptions o;
        o.setKeepBorderEdge(keep);
        quad.createHierarchy(1, o);
        const TpolyCatmullClarkHierarchy& q = hierarchyOf(quad);
        // Kept borders: corners stay; otherwise 3/4 P + 1/8 of the two border neighbours.
        const float c = keep ? 0.f : 0.125f;
        expectNear(quad.vertexConst(q.vertexSubVertex(0, 0)), c, c, 0);
        expectNear(quad.vertexConst(q.vertexSubVertex(3, 0)), 1 - c, 1 - c, 0);
        expectNear(quad.vertexConst(q.edgeSubVertex(0, 0)), 0.5f, 0, 0);
        expectNear(quad.vertexConst(q.faceSubVertex(0, 0)), 0.5f, 0.5f, 0);
    }

    // Smoothness 0 without creases: nothing moves off the linear subdivision.
    TpolyGeom still;
    addUnitCube(still);
    TpolySmoothGeomOptions o;
    o.setSmoothness(0);
    still.createHierarchy(1, o);
    expectNear(still.vertexConst(hierarchyOf(still).vertexSubVertex(0, 0)), 0, 0, 0);
    expectNear(still.vertexConst(hierarchyOf(still).edgeSubVertex(0, 0)), 0, 0.5f, 0);

    // A hard edge: kept, it stays a midpoint and hard in both halves; not kept, it is smoothed
    // and the record clears its flag, level 0 included.
    for (bool keep : {true, false}) {
        TpolyGeom hard;
        addUnitCube(hard);
        hard.setHard(0);
        TpolySmoothGeomOptions ho;
        ho.setKeepHardEdge(keep);
        hard.createHierarchy(1, ho);
        const TpolyCatmullClarkHierarchy& hh = hierarchyOf(hard);
        const float off = keep ? 0.f : 0.125f;
        expectNear(hard.vertexConst(hh.edgeSubVertex(0, 0)), off, 0.5f, off);
        EXPECT_EQ(hard.isHard(0), keep);
        EXPECT_EQ(hard.isHard(hh.edgeSubEdge(0, 0)), keep);
        EXPECT_EQ(hard.isHard(hh.edgeSubEdge(0, 0) + 1), keep);
        EXPECT_FALSE(hard.isHard(hh.edgeSubEdge(1, 0)));
    }
}

TEST(SubdivCreases, SharpnessDecaysOverLevels) {
    // Edge 0 of the cube runs from (0,0,0) to (0,1,0); its smooth point is (0.125, 0.5, 0.125).
    for (double s : {0.0, 0.5, 1.0, 2.0}) {
        TpolyGeom cube;
        addUnitCube(cube);
        cube.setCreaseValue(0, s);
        cube.createHierarchy(3, TpolySmoothGeomOptions());
        const TpolyCatmullClarkHierarchy& h = hierarchyOf(cube);
        const T3dFltPoint p = cube.vertexConst(h.edgeSubVertex(0, 0));
        const float lift = float(0.125 * (1 - std::min(s, 1.0)));
        expectNear(p, lift, 0.5f, lift);
        // Both halves carry max(s - 1, 0), their halves max(s - 2, 0).
        uint32_t edge = 0;
        for (uint32_t l = 0; l < 3; ++l) {
            const uint32_t child = h.edgeSubEdge(edge, l);
            for (uint32_t half : {child, child + 1}) {
                double v = -1;
                ASSERT_TRUE(cube.getCreaseValue(half, v)) << "level " << l + 1;
                EXPECT_DOUBLE_EQ(v, std::max(s - 1 - l, 0.0));
            }
            edge = child;
        }
        if (s == 2.0) {
            // Still sharp at level 1: the edge point of its first half is that half's midpoint.
            const uint32_t half = h.edgeSubEdge(0, 0);
            const T3dFltPoint a = cube.vertexConst(cube.startVertex(half)), b = cube.vertexConst(cube.endVertex(half));
            const T3dFltPoint m = cube.vertexConst(h.edgeSubVertex(half, 1));
            expectNear(m, (a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2);
        }
    }
    // A vertex with three creased edges of sharpness 1 is a corner: it stays.
    TpolyGeom cube;
    addUnitCube(cube);
    for (uint32_t e = 0; e < cube.nbEdge(); ++e)
        if (cube.startVertex(e) == 0 || cube.endVertex(e) == 0) cube.setCreaseValue(e, 1.0);
    cube.createHierarchy(1, TpolySmoothGeomOptions());
    expectNear(cube.vertexConst(hierarchyOf(cube).vertexSubVertex(0, 0)), 0, 0, 0);
}

TEST(SubdivExtract, LevelTwoIsAStandaloneRecord) {
    TpolyGeom cube;
    addUnitCube(cube);
    mapByVertex(cube, 1.0f);
    const uint32_t g = cube.bgnGroup(7, kPolyGrpFace);
    cube.addElement(g, 2);
    cube.endGroup(g);
    cube.setCreaseValue(3, 3.0);
    theBlindDataTable().addBd(31, "tag", kBdInt);
    BD_dataHolder value;
    for (int k = 0; k < 3; ++k) {
        value.i = 100 + k;
        TpolyBdBlindData* store[3] = {cube.vertexBlindData(), cube.edgeBlindData(), cube.faceBlindData()};
        ASSERT_EQ(store[k]->addBlindDataElement(nullptr, 31, "tag", 5, value), 0);
    }
    cube.createHierarchy(2, TpolySmoothGeomOptions());
    TpolyGeom out;
    cube.copyHierarchy(2, out);
    EXPECT_EQ(out.checkObject(kCheckAll), 0u);
    const SurfaceFacts s = expectClosed(out, 2, 98, 192, 96);
    EXPECT_TRUE(s.allMapped);
    EXPECT_EQ(out.nbElem(7, kPolyGrpFace), 16u);
    // Vertex 5 has one descendant, edge 5 four quarters and face 5 sixteen quads, each tagged.
    const uint32_t expected[3] = {1, 4, 16};
    TpolyBdBlindData* outStore[3] = {out.vertexBlindData(), out.edgeBlindData(), out.faceBlindData()};
    for (int k = 0; k < 3; ++k) {
        TbdDataPtrArray all;
        outStore[k]->getBlindData(all);
        ASSERT_EQ(all.size(), expected[k]) << k;
        for (uint32_t i = 0; i < all.size(); ++i) EXPECT_EQ(all[i].value.i, 100 + k);
    }
    const TpolyCatmullClarkHierarchy& h = hierarchyOf(cube);
    TbdDataPtrArray onChild;
    EXPECT_TRUE(cube.vertexBlindData()->getBlindData(h.vertexSubVertex(h.vertexSubVertex(5, 0), 1), onChild));
    uint32_t creased = 0;
    for (uint32_t e = 0; e < out.nbEdge(); ++e) {
        double v;
        if (!out.getCreaseValue(e, v)) continue;
        ++creased;
        EXPECT_DOUBLE_EQ(v, 1.0);
    }
    EXPECT_EQ(creased, 4u);
    // Level 0 is the whole record; a level never built does nothing.
    TpolyGeom whole, none;
    cube.copyHierarchy(0, whole);
    EXPECT_EQ(whole.nbFace(), cube.nbFace());
    cube.copyHierarchy(5, none);
    EXPECT_EQ(none.nbFace(), 0u);
}

TEST(SubdivUVs, StayInsideEachFaceHull) {
    for (bool smooth : {true, false}) {
        TpolyGeom grid;
        buildQuadGrid(grid, 4);
        mapByVertex(grid, 0.25f);
        // A seam down the middle: the right half's corners get UVs of their own.
        const uint32_t s = 0;
        for (uint32_t f = 0; f < grid.nbFace(); ++f) {
            if (f % 4 < 2) continue;
            for (uint32_t o = 4 * f; o < 4 * f + 4; ++o) {
                const int32_t id = grid.getUVId(o, s);
                float uv[2];
                grid.getUV(uint32_t(id), uv, s);
                grid.setUVId(o, grid.appendUV(uv[0], uv[1], s), s);
            }
        }
        TpolySmoothGeomOptions o;
        o.setSmoothUVs(smooth);
        grid.createHierarchy(2, o);
        const TpolyCatmullClarkHierarchy& h = hierarchyOf(grid);
        grid.update(dirtyFaceOffsets);
        for (uint32_t f = 0; f < 16; ++f) {
            const float u0 = float(f % 4) / 4, v0 = float(f / 4) / 4;
            const auto [a, b] = h.faceSubFaceRange(f, 0);
            for (uint32_t c = a; c <= b; ++c) {
                const auto [p, q] = h.faceSubFaceRange(c, 1);
                for (uint32_t sub = p; sub <= q; ++sub)
                    for (uint32_t k = 0; k < 4; ++k) {
                        float uv[2];
                        ASSERT_TRUE(grid.getUV(uint32_t(grid.getUVId(grid.faceOffset(sub) + k, s)), uv, s));
                        EXPECT_GE(uv[0], u0 - 1e-6f);
                        EXPECT_LE(uv[0], u0 + 0.25f + 1e-6f);
                        EXPECT_GE(uv[1], v0 - 1e-6f);
                        EXPECT_LE(uv[1], v0 + 0.25f + 1e-6f);
                    }
            }
        }
        // The seam stays a seam: both sides keep separate UVs on the kept border.
        TpolyGeom level;
        grid.copyHierarchy(2, level);
        EXPECT_EQ(level.checkObject(kCheckAll), 0u);
        EXPECT_GT(level.nbUV(0), 17u * 17u);
    }
}

TEST(SubdivUpdate, MovedVertexEqualsFreshBuild) {
    auto build = [](TpolyGeom& g, bool linear) {
        buildQuadGrid(g, 3);
        mapByVertex(g, 1.0f / 3);
        g.setCreaseValue(5, 1.5);
        for (uint32_t v = 0; v < g.nbVertex(); ++v) g.vertex(v).z = float(v % 3) * 0.2f;
        TpolySmoothGeomOptions o;
        o.setKeepBorderEdge(false);
        if (linear) o.setSubdivisionType(TpolySmoothGeomOptions::kLinear), o.setEdgeDivisions(2);
        return o;
    };
    for (bool linear : {false, true}) {
        TpolyGeom a, b;
        const TpolySmoothGeomOptions o = build(a, linear);
        build(b, linear);
        a.createHierarchy(3, o);
        a.vertex(5) = T3dFltPoint(1.3f, 1.1f, 0.7f);
        a.updateHierarchy(3, o);
        b.vertex(5) = T3dFltPoint(1.3f, 1.1f, 0.7f);
        b.createHierarchy(3, o);
        ASSERT_EQ(a.nbVertex(), b.nbVertex());
        for (uint32_t v = 0; v < a.nbVertex(); ++v) ASSERT_EQ(a.vertexConst(v), b.vertexConst(v)) << v;
        ASSERT_EQ(a.nbUV(0), b.nbUV(0));
        for (uint32_t i = 0; i < a.nbUV(0); ++i) ASSERT_EQ(*a.uvConst(i, 0), *b.uvConst(i, 0)) << i;
        TuInt32Array ea, eb;
        TdoubleArray va, vb;
        a.getCreaseEdges(ea, va);
        b.getCreaseEdges(eb, vb);
        EXPECT_TRUE(ea == eb);
        EXPECT_TRUE(va == vb);
    }
}

TEST(SubdivLinear, DegreeOneStaysBilinearAndDegreeThreeSmooths) {
    TpolyGeom flat;
    buildQuadGrid(flat, 2);
    TpolySmoothGeomOptions o;
    o.setSubdivisionType(TpolySmoothGeomOptions::kLinear);
    o.setEdgeDivisions(3);
    o.setDegree(1);
    flat.createHierarchy(1, o);
    const TpolyCatmullClarkHierarchy& h = hierarchyOf(flat);
    // Grid point (1, 2) of face 0 sits at (1/4, 2/4).
    expectNear(flat.vertexConst(h.faceSubVertex(0, 0) + 1 * 3 + 0), 0.25f, 0.5f, 0);
    expectNear(flat.vertexConst(h.edgeSubVertex(0, 0) + 2), 0.75f, 0, 0);

    // Degree 3 with one division is the averaging form of Catmull-Clark on a closed cube: the
    // result stays inside the cube and symmetric about its centre.
    TpolyGeom cube;
    addUnitCube(cube);
    o.setEdgeDivisions(1);
    o.setDegree(3);
    cube.createHierarchy(2, o);
    const TpolyCatmullClarkHierarchy& c = hierarchyOf(cube);
    const T3dFltPoint p0 = cube.vertexConst(c.vertexSubVertex(c.vertexSubVertex(0, 0), 1));
    const T3dFltPoint p7 = cube.vertexConst(c.vertexSubVertex(c.vertexSubVertex(7, 0), 1));
    EXPECT_GT(p0.x, 0.05f);
    EXPECT_LT(p0.x, 0.5f);
    EXPECT_NEAR(p0.x + p7.x, 1.0f, 1e-5f);
    EXPECT_NEAR(p0.x, p0.y, 1e-6f);
}

TEST(SubdivDegenerate, WireEdgesIsolatedVerticesAndColours) {
    TpolyGeom g;
    buildQuadGrid(g, 1);
    g.appendVertex(5, 5, 5);                     // isolated
    const uint32_t w = g.appendVertex(3, 0, 0);  // on a wire edge
    g.appendEdge(1, w);
    const uint32_t cs = g.addLastColorSet(Tstring("c"));
    const float red[4] = {1, 0, 0, 1}, blue[4] = {0, 0, 1, 1};
    g.appendColor(red, TpolyColorValue::RGBA, 1, cs);
    g.appendColor(blue, TpolyColorValue::RGBA, 1, cs);
    for (uint32_t o = 0; o < 4; ++o) g.refColor(o < 2 ? 0 : 1, cs);
    TpolySmoothGeomOptions opt;
    opt.setKeepBorderEdge(false);
    g.createHierarchy(2, opt);
    for (uint32_t v = 0; v < g.nbVertex(); ++v)
        for (int k = 0; k < 3; ++k) ASSERT_TRUE(std::isfinite(g.vertexConst(v)[k])) << v;
    const TpolyCatmullClarkHierarchy& h = hierarchyOf(g);
    expectNear(g.vertexConst(h.vertexSubVertex(4, 0)), 5, 5, 5);
    TpolyGeom level;
    g.copyHierarchy(1, level);
    EXPECT_EQ(level.checkObject(kCheckAll), 0u);
    // The face point's colour is the mean of the four corners'.
    level.update(dirtyFaceOffsets);
    float c[4];
    ASSERT_TRUE(level.getColorByOffset(3, c, 0));
    EXPECT_FLOAT_EQ(c[0], 0.5f);
    EXPECT_FLOAT_EQ(c[2], 0.5f);
}

TEST(SubdivSample, SuzanneClosedFormulasAndValidLevels) {
    TpolyGeom g;
    ASSERT_TRUE(loadObj(std::string(BRINDLE_DATA_DIR) + "/suzanne.obj", g));
    expectSplitCounts(g, 2);
    TpolyGeom out;
    g.copyHierarchy(2, out);
    EXPECT_EQ(out.checkObject(kCheckAll), 0u);
    EXPECT_EQ(inspectSurface(out).brokenChains, 0u);
}
