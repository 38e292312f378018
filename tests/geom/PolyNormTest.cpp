#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "brindle/brindle.h"
#include "support/ObjLoad.h"

namespace {

void expectNear(const T3dFltPoint& a, float x, float y, float z) {
    EXPECT_NEAR(a.x, x, 1e-5f);
    EXPECT_NEAR(a.y, y, 1e-5f);
    EXPECT_NEAR(a.z, z, 1e-5f);
}

TEST(PolyNorm, HardCubeSplitsEveryCornerSoftCubeSharesThem) {
    TpolyGeom hard;
    addUnitCube(hard, true);
    hard.update(dirtyAll);
    EXPECT_EQ(hard.nbVertexNormal(), 24u);
    for (uint32_t f = 0; f < 6; ++f)
        for (uint32_t o = hard.faceOffset(f); o < hard.faceOffset(f + 1); ++o) {
            const T3dFltPoint &n = hard.getRefNormal(o), &fn = hard.faceNormalConst(f);
            expectNear(n, fn.x, fn.y, fn.z);
            EXPECT_NEAR(std::fabs(fn.x) + std::fabs(fn.y) + std::fabs(fn.z), 1.0f, 1e-6f);
        }
    expectNear(hard.faceNormalConst(0), 0, 0, -1);  // bottom face wound downwards

    TpolyGeom soft;
    addUnitCube(soft, false);
    soft.update(dirtyAll);
    ASSERT_EQ(soft.nbVertexNormal(), 8u);
    const float c = 1.0f / std::sqrt(3.0f);
    for (uint32_t o = 0; o < soft.nbNormalRef(); ++o) {
        EXPECT_LT(soft.getNormalId(o), 8u);
        const T3dFltPoint& p = soft.vertexConst(soft.getStartVertex(o));
        expectNear(soft.getRefNormal(o), p.x ? c : -c, p.y ? c : -c, p.z ? c : -c);
    }
    // Ids are numbered in the order of their first corner.
    EXPECT_EQ(soft.getNormalId(0), 0u);
    EXPECT_EQ(soft.getFaceVtxNormalId(0, 7), TpolyBits::kNoId);
    EXPECT_EQ(soft.getFaceVtxNormalId(0, 0), soft.getNormalId(0));

    // One hard edge leaves each of its vertices a chain of soft edges round it: nothing splits.
    soft.setHard(0);
    soft.markDirty(dirtyHardness);
    soft.update(dirtyAll);
    EXPECT_EQ(soft.nbVertexNormal(), 8u);
    // A second hard edge at vertex 2 (edges 0-2 and 2-3) cuts its ring in two.
    soft.setHard(1);
    soft.markDirty(dirtyHardness);
    soft.update(dirtyAll);
    EXPECT_EQ(soft.nbVertexNormal(), 9u);
}

TEST(PolyNorm, TrianglesHolesAndDegenerateFaces) {
    TpolyGeom g;
    g.appendVertex(0, 0, 0);
    g.appendVertex(4, 0, 0);
    g.appendVertex(0, 4, 0);
    for (uint32_t e = 0; e < 3; ++e) g.appendEdge(e, (e + 1) % 3);
    g.bgnFace(3);
    for (uint32_t e = 0; e < 3; ++e) g.refEdge(e, kForward);
    g.endLoop();
    // A hole wound the same way would change a normal computed over all loops; only the outer counts.
    for (int i = 0; i < 3; ++i) g.appendVertex(float(1 + (i == 1)), float(1 + (i == 2)), 0);
    for (uint32_t e = 0; e < 3; ++e) g.appendEdge(3 + e, 3 + (e + 1) % 3);
    for (uint32_t e = 3; e < 6; ++e) g.refEdge(e, kForward);
    g.endLoop();
    g.endFace();
    // Collinear and zero-area faces.
    g.appendVertex(5, 0, 0);
    g.appendVertex(6, 0, 0);
    g.appendVertex(7, 0, 0);
    const uint32_t a = g.appendEdge(6, 7), b = g.appendEdge(7, 8), c = g.appendEdge(8, 6);
    g.bgnFace(3);
    g.refEdge(a, kForward);
    g.refEdge(b, kForward);
    g.refEdge(c, kForward);
    g.endLoop();
    g.endFace();
    // Corners on one line through the origin, off the axes: the products cancel exactly, but a
    // sum rounded to single precision after each step would keep about 1e-8 of them, and
    // normalising that would make a unit normal for a face of no area.
    const T3dFltPoint p(0.1f, 0.2f, 0.3f);
    for (float k : {1.0f, 2.0f, 4.0f}) g.appendVertex(p.x * k, p.y * k, p.z * k);
    const uint32_t d = g.appendEdge(9, 10), e = g.appendEdge(10, 11), f = g.appendEdge(11, 9);
    g.bgnFace(3);
    g.refEdge(d, kForward);
    g.refEdge(e, kForward);
    g.refEdge(f, kForward);
    g.endLoop();
    g.endFace();
    g.update(dirtyFaceVectors);
    expectNear(g.faceNormalConst(0), 0, 0, 16);  // twice the outer loop's area
    EXPECT_EQ(g.faceNormalConst(2).x, 0.0f);
    EXPECT_EQ(g.faceNormalConst(2).y, 0.0f);
    EXPECT_EQ(g.faceNormalConst(2).z, 0.0f);
    g.update(dirtyAll);
    expectNear(g.faceNormalConst(0), 0, 0, 1);
    expectNear(g.faceNormalConst(1), 0, 0, 0);
    EXPECT_EQ(g.faceNormalConst(2).x, 0.0f);
    EXPECT_EQ(g.faceNormalConst(2).y, 0.0f);
    EXPECT_EQ(g.faceNormalConst(2).z, 0.0f);
    EXPECT_EQ(g.nbVertexNormal(), 12u);  // every edge is a border edge, hence hard
    for (uint32_t id = 0; id < g.nbVertexNormal(); ++id) EXPECT_FALSE(std::isnan(g.vertexNormalConst(id).x));
}

TEST(PolyNorm, UserNormalsReplaceOrBendAndFreezingLocks) {
    TpolyGeom g;
    addUnitCube(g, true);
    g.update(dirtyAll);
    const T3dFltPoint before = g.vertexNormalConst(1);
    g.setUserNormal(1, T4dFltVector(1e20f, 1e20f, 1e20f));  // unset: ignored
    g.update(dirtyAll);
    EXPECT_EQ(g.vertexNormalConst(1), before);
    EXPECT_FALSE(g.hasValidUserNormal(1));

    // Face 2 (y = 0) has normal (0, -1, 0); corner ids 8..11 belong to it.
    const uint32_t id = g.getNormalId(g.faceOffset(2));
    g.setUserNormal(id, T4dFltVector(0, 0, 2));
    g.update(dirtyAll);
    expectNear(g.vertexNormalConst(id), 0, 0, 1);
    g.setUserNormalMode(TpolyNorm::kUserAdds);
    g.update(dirtyAll);
    const float h = std::sqrt(0.5f);
    // (0, -1, 0) + (0, 0, 2) normalised.
    expectNear(g.vertexNormalConst(id), 0, -1 / std::sqrt(5.0f), 2 / std::sqrt(5.0f));
    g.setUserNormal(id, T4dFltVector(0, 1, 1));
    g.update(dirtyAll);
    expectNear(g.vertexNormalConst(id), 0, 0, 1);
    g.resetUserNormal(id);
    g.setUserNormalMode(TpolyNorm::TuserNormalMode(7));
    g.setUserNormal(0, T4dFltVector(h, h, 0));
    g.update(dirtyAll);
    expectNear(g.vertexNormalConst(id), 0, -1, 0);  // other modes ignore user normals

    TpolyGeom f;
    addUnitCube(f, true);
    f.update(dirtyAll);
    f.freezeNormals();
    EXPECT_EQ(f.nbUserNormal(), 24u);
    EXPECT_EQ(f.userNormalMode(), TpolyNorm::kUserReplaces);
    const T3dFltPoint frozen = f.vertexNormalConst(0);
    f.vertex(0) = T3dFltPoint(-1, -1, -3);
    f.markDirty(dirtyMoved);
    f.update(dirtyAll);
    EXPECT_NE(f.faceNormalConst(0), T3dFltPoint(0, 0, -1));
    expectNear(f.vertexNormalConst(0), frozen.x, frozen.y, frozen.z);
}

TEST(PolyNorm, GeometricNormalsAndUserNormalsAcrossHardening) {
    TpolyGeom g;
    addUnitCube(g, true);
    T4dFltVector n;
    ASSERT_TRUE(g.computeGeomVertexNormal(7, n));  // three right angles: the diagonal
    const float c = 1.0f / std::sqrt(3.0f);
    EXPECT_NEAR(n.x, c, 1e-5f);
    EXPECT_NEAR(n.y, c, 1e-5f);
    EXPECT_NEAR(n.z, c, 1e-5f);
    ASSERT_TRUE(g.computeGeomEdgeNormal(0, n));  // edge 0-2 between the bottom and x = 0 faces
    EXPECT_NEAR(n.x, -std::sqrt(0.5f), 1e-5f);
    EXPECT_NEAR(n.z, -std::sqrt(0.5f), 1e-5f);
    EXPECT_FALSE(g.computeGeomEdgeNormal(99, n));

    // A user normal on the first corner survives softening every edge, moved to its new id.
    g.update(dirtyAll);
    g.setUserNormal(g.getNormalId(5), T4dFltVector(0, 0, 1));
    TuInt32Array saved;
    g.startChangeSmoothing(saved);
    EXPECT_EQ(saved.size(), 24u);
    for (uint32_t e = 0; e < g.nbEdge(); ++e) g.setSmooth(e);
    g.markDirty(dirtyHardness);
    g.endChangeSmoothing(saved);
    g.update(dirtyAll);
    EXPECT_EQ(g.nbUserNormal(), 8u);
    expectNear(g.vertexNormalConst(g.getNormalId(5)), 0, 0, 1);
    EXPECT_EQ(std::count_if(g.norm()->fUserNormals.begin(), g.norm()->fUserNormals.end(), TpolyNorm::isSet), 1);
}

TEST(PolyNorm, UserNormalTransformMergeSaveReorderAndSurfaceCache) {
    TpolyGeom g;
    addUnitCube(g, true);
    g.update(dirtyAll);
    // A sheared, non-uniformly scaled frame: normals stay perpendicular to transformed tangents,
    // translation plays no part, an unset entry stays exactly unset.
    const T4dFltVector n(1, -1, 1), t1(1, 1, 0), t2(0, 1, 1);
    g.setUserNormal(0, n);
    g.setUserNormal(2, T4dFltVector(0, 0, 1));
    T4dFltMatrix m;
    m.m[0][0] = 2, m.m[1][0] = 1, m.m[2][2] = 3, m.m[3][0] = 5;
    g.transformUserNormal(m);
    const T4dFltVector moved = g.userNormalConst(0);
    EXPECT_GT(moved.length(), 0.1f);
    EXPECT_NEAR(moved.dot(m.transformVector(t1)), 0, 1e-5f);
    EXPECT_NEAR(moved.dot(m.transformVector(t2)), 0, 1e-5f);
    EXPECT_EQ(g.userNormalConst(1), TpolyNorm::unset());
    // Flattening z: the flat surface's normal is z, whatever the entry was; nothing goes NaN.
    T4dFltMatrix flat;
    flat.m[2][2] = 0;
    g.transformUserNormal(flat);
    const T4dFltVector up = g.userNormalConst(2);
    EXPECT_EQ(up.x, 0);
    EXPECT_EQ(up.y, 0);
    EXPECT_GT(up.z, 0);
    g.update(dirtyAll);
    for (uint32_t id = 0; id < g.nbVertexNormal(); ++id) ASSERT_TRUE(std::isfinite(g.vertexNormalConst(id).x));

    // Merging grows to the other's shading-normal count and fills only unset entries.
    TpolyGeom mine;
    addUnitCube(mine, true);
    mine.setUserNormal(3, T4dFltVector(0, 1, 0));
    mine.mergeUserNormal(g);
    EXPECT_EQ(mine.nbUserNormal(), 24u);
    EXPECT_EQ(mine.userNormalConst(2), up);
    EXPECT_EQ(mine.userNormalConst(3), T4dFltVector(0, 1, 0));
    EXPECT_FALSE(mine.hasValidUserNormal(5));
    // Save and load round trip; loading brings the shading normals back into line.
    T4dFltVectorArray saved;
    mine.saveUserNormal(saved);
    mine.resetUserNormal(3);
    mine.update(dirtyAll);
    expectNear(mine.vertexNormalConst(3), 0, 0, -1);
    mine.loadUserNormal(saved);
    mine.update(dirtyAll);
    EXPECT_EQ(mine.nbUserNormal(), 24u);
    expectNear(mine.vertexNormalConst(3), 0, 1, 0);

    // Softening merges vertex 7's three corners into one id; the first corner's normal wins.
    TpolyGeom r;
    addUnitCube(r, true);
    r.update(dirtyAll);
    const T4dFltVector axes[3] = {T4dFltVector::xAxis, T4dFltVector::yAxis, T4dFltVector::zAxis};
    const uint32_t facesOf7[3] = {1, 3, 5};
    for (int i = 0; i < 3; ++i) r.setUserNormal(r.getFaceVtxNormalId(facesOf7[i], 7), axes[i]);
    TuInt32Array ids;
    r.startChangeSmoothing(ids);
    for (uint32_t e = 0; e < r.nbEdge(); ++e) r.setSmooth(e);
    r.markDirty(dirtyHardness);
    r.endChangeSmoothing(ids);
    r.update(dirtyAll);
    EXPECT_EQ(r.userNormalConst(r.getFaceVtxNormalId(5, 7)), T4dFltVector::xAxis);

    // The surface cache is kept while the vertex count holds, rebuilt when forced or when it
    // changes, and agrees with the on-demand angle-weighted normal.
    TpolyGeom s;
    addUnitCube(s, true);
    s.cacheSurfaceNormals();
    T4dFltVector cached, fresh;
    const float c = 1.0f / std::sqrt(3.0f);
    ASSERT_TRUE(s.getSurfaceNormal(7, cached));
    EXPECT_NEAR(cached.x, c, 1e-5f);
    s.vertex(7) = T3dFltPoint(1, 1, 3);
    s.markDirty(dirtyMoved);
    s.cacheSurfaceNormals();
    ASSERT_TRUE(s.getSurfaceNormal(7, fresh));
    EXPECT_EQ(fresh, cached);
    s.cacheSurfaceNormals(true);
    for (uint32_t v = 0; v < 8; ++v) {
        ASSERT_TRUE(s.getSurfaceNormal(v, cached));
        ASSERT_TRUE(s.computeGeomVertexNormal(v, fresh));
        EXPECT_NEAR(cached.x, fresh.x, 1e-5f);
        EXPECT_NEAR(cached.y, fresh.y, 1e-5f);
        EXPECT_NEAR(cached.z, fresh.z, 1e-5f);
    }
    s.appendVertex(5, 5, 5);
    EXPECT_FALSE(s.getSurfaceNormal(8, cached));
    s.cacheSurfaceNormals();
    ASSERT_TRUE(s.getSurfaceNormal(8, cached));
    EXPECT_EQ(cached, T4dFltVector());
    s.removeSurfaceNormals();
    EXPECT_FALSE(s.getSurfaceNormal(0, cached));
}

TEST(PolyNorm, RealMeshesGiveTheirBordersAndSaneNormals) {
    struct Case {
        const char* file;
        uint32_t borders;
        bool nonManifold;
    };
    for (const Case& c : {Case{"cow.obj", 0, false}, Case{"teapot.obj", 1036, false}, Case{"woody.obj", 119, false},
                          Case{"suzanne.obj", 42, false}, Case{"beetle.obj", 0, true}}) {
        SCOPED_TRACE(c.file);
        TpolyGeom g;
        ASSERT_TRUE(loadObj(std::string(BRINDLE_DATA_DIR) + "/" + c.file, g));
        g.update(dirtyAll);
        EXPECT_EQ(g.nonManifoldEdges(), c.nonManifold);
        uint32_t borders = 0, runEdges = 0;
        for (uint32_t e = 0; e < g.nbEdge(); ++e) {
            borders += g.isBorder(e) && g.isEdgeManifold(e);
            runEdges += !g.isEdgeManifold(e);
        }
        if (c.nonManifold) {
            EXPECT_EQ(runEdges, 47u);
        } else {
            EXPECT_EQ(borders, c.borders);
        }
        // Every walk gives edges at its vertex, at most order of them, each once.
        for (uint32_t v = 0; v < g.nbVertex(); ++v) {
            uint32_t n = 0;
            for (TvertexEdgeIterator it(&g, v); !it.isDone(); it.next(), ++n)
                ASSERT_EQ(g.startVertex(it.edge(), it.direction()), v);
            EXPECT_LE(n, g.vertexOrder(v));
            if (g.isVertexTwoManifold(v)) {
                EXPECT_EQ(n, g.vertexOrder(v)) << v;
            }
        }
        for (uint32_t o = 0; o < g.nbNormalRef(); ++o) ASSERT_LT(g.getNormalId(o), g.nbVertexNormal());
        EXPECT_TRUE(g.isTriangulationOk());
    }
}

}  // namespace
