#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "brindle/brindle.h"
#include "support/GridBuilder.h"
#include "support/ObjLoad.h"

namespace {

const TmeshIsectAccelParams kKinds[] = {
    TmeshIsectAccelParams::uniformGridParams(10, 10, 10), TmeshIsectAccelParams::uniformGridParams(7, 1, 30),
    TmeshIsectAccelParams::autoUniformGridParams(), TmeshIsectAccelParams::boundingVolumeHierarchyParams(4),
    TmeshIsectAccelParams::boundingVolumeHierarchyParams(1)};

void expectSameHit(int rc, const TpointOnPoly& got, int wantRc, const TpointOnPoly& want, const char* what) {
    ASSERT_EQ(rc, wantRc) << what;
    if (rc != 0) return;
    EXPECT_EQ(got.face(), want.face()) << what;
    EXPECT_EQ(got.triangle(), want.triangle()) << what;
    EXPECT_NEAR(got.rayParam(), want.rayParam(), 1e-6f) << what;
}

// A bumpy n x n grid: no two faces coplanar, so that every hit has a single nearest triangle.
void buildBumpyGrid(TpolyGeom& g, uint32_t n) {
    buildQuadGrid(g, n);
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        T3dFltPoint& p = g.vertex(v);
        p.z = 0.7f * std::sin(0.9f * p.x) * std::cos(0.7f * p.y);
    }
    g.markDirty(dirtyMoved);
}

// Random rays of the box of a record (origins inside the box grown by a quarter, directions
// uniform) and as many aimed at random vertices; each kind of accelerator must give the
// brute-force loop's hit, and on some rays its all hits and closest point.
void checkAgainstLoop(TpolyGeom& g, int rays) {
    g.update(dirtyAll);
    T3dFltPoint lo(1e8f, 1e8f, 1e8f), hi(-1e8f, -1e8f, -1e8f);
    for (const T3dFltPoint& p : g.vertexArray())
        for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], p[a]), hi[a] = std::max(hi[a], p[a]);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f), sym(-1.0f, 1.0f);
    struct Case {
        T3dFltPoint o;
        T4dFltVector d;
        bool both;
        float maxParam;
        int rc, pointRc = -1;
        TpointOnPoly hit, point;
        TpointOnPolyArray all;
    };
    std::vector<Case> cases{size_t(rays)};
    for (int r = 0; r < rays; ++r) {
        Case& c = cases[size_t(r)];
        for (int a = 0; a < 3; ++a) c.o[a] = lo[a] + (hi[a] - lo[a]) * (1.5f * unit(rng) - 0.25f);
        c.d = T4dFltVector(sym(rng), sym(rng), sym(rng));
        if (r % 2) {
            const T3dFltPoint target = g.vertexConst(uint32_t(rng() % g.nbVertex()));
            c.d = T4dFltVector(target.x - c.o.x + 0.01f * sym(rng), target.y - c.o.y, target.z - c.o.z);
        }
        c.both = r % 3 == 0;
        c.maxParam = r % 5 == 0 ? 0.5f : FLT_MAX;
        c.rc = c.hit.closestIntersection(g, c.o, c.d, c.maxParam, c.both, 0.0f);
        if (r % 7 == 0) {
            TpointOnPoly::allIntersections(g, c.o, c.d, c.all, FLT_MAX, c.both, 0.0f);
            c.pointRc = c.point.closestPoint(g, c.o);
        }
    }
    for (const TmeshIsectAccelParams& params : kKinds) {
        TpolySpatialSubdivision accel(g, params);
        const std::string kind = accel.getDescription(false).str();
        for (int r = 0; r < rays; ++r) {
            const Case& c = cases[size_t(r)];
            TpointOnPoly got;
            expectSameHit(accel.closestIntersection(c.o, c.d, nullptr, nullptr, false, c.maxParam, c.both, got, 0.0f),
                          got, c.rc, c.hit, kind.c_str());
            if (r % 7) continue;
            TpointOnPolyArray all;
            TpointOnPoly::allIntersections(accel, c.o, c.d, all, FLT_MAX, c.both, 0.0f);
            EXPECT_TRUE(all == c.all) << kind;
            EXPECT_EQ(got.anyIntersection(accel, c.o, c.d, FLT_MAX, c.both, 0.0f), c.all.empty() ? -1 : 0);
            EXPECT_EQ(got.closestPoint(accel, c.o), c.pointRc);
            EXPECT_EQ(got.face(), c.point.face()) << kind;
            EXPECT_NEAR(got.rayParam(), c.point.rayParam(), 1e-6f) << kind;
        }
    }
}

}  // namespace

TEST(RayQuery, AcceleratorsGiveTheLoopsHits) {
    TpolyGeom grid;
    buildBumpyGrid(grid, 24);
    checkAgainstLoop(grid, 1500);
    TmeshTorusFty torus;
    checkAgainstLoop(*torus.createTorus(), 1500);
    TpolyGeom bunny;
    ASSERT_TRUE(loadObj(std::string(BRINDLE_DATA_DIR) + "/stanford-bunny.obj", bunny));
    checkAgainstLoop(bunny, 150);
}

TEST(RayQuery, RaysAlongCellPlanesFromOutsideAndGrazing) {
    TpolyGeom flat;
    buildQuadGrid(flat, 4);  // unit quads over [0, 4] x [0, 4] at z = 0
    for (const TmeshIsectAccelParams& params : kKinds) {
        TpolySpatialSubdivision accel(flat, params);
        TpointOnPoly hit;
        // Straight down from outside the box, exactly on cell planes and on the grid's vertices
        // (shared by four faces): the lowest face wins.
        for (float x : {0.0f, 0.4f, 1.0f, 2.0f, 4.0f}) {
            ASSERT_EQ(accel.closestIntersection({x, 2.0f, 5.0f}, {0, 0, -1}, nullptr, nullptr, false, FLT_MAX, false,
                                                hit, 1e-5f),
                      0)
                << x;
            TpointOnPoly want;
            ASSERT_EQ(want.closestIntersection(flat, {x, 2.0f, 5.0f}, {0, 0, -1}, FLT_MAX, false, 1e-5f), 0);
            EXPECT_EQ(hit.face(), want.face());
            EXPECT_EQ(hit.triangle(), want.triangle());
            EXPECT_FLOAT_EQ(hit.rayParam(), 5.0f);
        }
        // Parallel to the flat axis, in the plane and above it: nothing.
        EXPECT_EQ(
            accel.closestIntersection({-1, 0.5f, 0}, {1, 0, 0}, nullptr, nullptr, false, FLT_MAX, true, hit, 1e-5f),
            -1);
        EXPECT_EQ(
            accel.closestIntersection({-1, 0.5f, 1}, {1, 1, 0}, nullptr, nullptr, false, FLT_MAX, true, hit, 1e-5f),
            -1);
        // Grazing the border edge y = 4: just outside hits within the tolerance only.
        EXPECT_EQ(accel.closestIntersection({1.5f, 4.00001f, 1}, {0, 0, -1}, nullptr, nullptr, false, FLT_MAX, false,
                                            hit, 1e-4f),
                  0);
        EXPECT_EQ(hit.face(), 13u);
        EXPECT_EQ(accel.closestIntersection({1.5f, 4.00001f, 1}, {0, 0, -1}, nullptr, nullptr, false, FLT_MAX, false,
                                            hit, 0.0f),
                  -1);
        // A slanted ray from far outside the box, and one that passes it by.
        EXPECT_EQ(accel.closestIntersection({-10, -10, 10}, {12.5f, 12.5f, -10}, nullptr, nullptr, false, FLT_MAX,
                                            false, hit, 0.0f),
                  0);
        EXPECT_NEAR(hit.rayParam(), 1.0f, 1e-6f);
        EXPECT_EQ(
            accel.closestIntersection({-10, -10, 10}, {1, -1, 0}, nullptr, nullptr, false, FLT_MAX, true, hit, 0.0f),
            -1);
        // Behind the origin: found only with both directions, with a negative parameter; the
        // limit applies to both.
        EXPECT_EQ(
            accel.closestIntersection({1.5f, 1.5f, 2}, {0, 0, 1}, nullptr, nullptr, false, FLT_MAX, false, hit, 0.0f),
            -1);
        ASSERT_EQ(
            accel.closestIntersection({1.5f, 1.5f, 2}, {0, 0, 1}, nullptr, nullptr, false, FLT_MAX, true, hit, 0.0f),
            0);
        EXPECT_FLOAT_EQ(hit.rayParam(), -2.0f);
        EXPECT_EQ(accel.closestIntersection({1.5f, 1.5f, 2}, {0, 0, 1}, nullptr, nullptr, false, 1.5f, true, hit, 0.0f),
                  -1);
        // Face filters: only listed faces (or pairs) count; an empty list lets none through.
        Tint32Array faces, triangles, none;
        faces.addLast(9);
        faces.addLast(5);
        triangles.addLast(0);
        triangles.addLast(1);
        ASSERT_EQ(
            accel.closestIntersection({1.5f, 1.5f, 2}, {0, 0, -1}, &faces, nullptr, false, FLT_MAX, false, hit, 0.0f),
            0);
        EXPECT_EQ(hit.face(), 5u);
        EXPECT_EQ(
            accel.closestIntersection({2.5f, 1.5f, 2}, {0, 0, -1}, &faces, nullptr, false, FLT_MAX, false, hit, 0.0f),
            -1);
        EXPECT_EQ(
            accel.closestIntersection({1.5f, 1.5f, 2}, {0, 0, -1}, &none, nullptr, false, FLT_MAX, false, hit, 0.0f),
            -1);
        TpointOnPoly::sortFaceTriangles(faces, triangles);
        EXPECT_EQ(faces[0], 5);
        EXPECT_EQ(triangles[0], 1);
        const int rc =
            accel.closestIntersection({1.2f, 1.7f, 2}, {0, 0, -1}, &faces, &triangles, true, FLT_MAX, false, hit, 0.0f);
        TpointOnPoly want;
        EXPECT_EQ(rc,
                  want.closestIntersection(flat, {1.2f, 1.7f, 2}, {0, 0, -1}, faces, triangles, FLT_MAX, false, 0.0f));
    }
}

// The hierarchy screens triangles in float before the double test: where float is weakest (tiny
// triangles far from the world's origin, rays through shared vertices and along edges, rays
// almost in a face's plane, wide and negative tolerances) its hits must stay those of the loop,
// to the bit. Stacked copies of one quad, whose centres coincide, exercise the build's fallback.
TEST(RayQuery, HierarchyKeepsTheLoopsHitsWhereFloatIsWeak) {
    TpolyGeom far;
    buildBumpyGrid(far, 16);
    for (uint32_t v = 0; v < far.nbVertex(); ++v) {
        T3dFltPoint& p = far.vertex(v);
        p = T3dFltPoint(5000 + 1e-3f * p.x, -3000 + 1e-3f * p.y, 2000 + 1e-3f * p.z);
    }
    far.markDirty(dirtyMoved);
    TpolyGeom stacked;
    for (int copy = 0; copy < 40; ++copy) {
        const uint32_t base = stacked.nbVertex();
        for (float y : {0.0f, 1.0f})
            for (float x : {0.0f, 1.0f}) stacked.appendVertex(x, y, 0);
        addRingFace(stacked, {base, base + 1, base + 3, base + 2});
    }
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> sym(-1.0f, 1.0f);
    for (TpolyGeom* g : {&far, &stacked}) {
        g->update(dirtyAll);
        const TpolySpatialSubdivision one(*g, TmeshIsectAccelParams::boundingVolumeHierarchyParams(1)),
            four(*g, TmeshIsectAccelParams::boundingVolumeHierarchyParams(4));
        for (int r = 0; r < 3000; ++r) {
            // Aimed at a vertex, an edge's midpoint or a point just inside a face, from near or far.
            const uint32_t v = uint32_t(rng()) % g->nbVertex(), w = uint32_t(rng()) % g->nbVertex();
            const T3dFltPoint a = g->vertexConst(v), b = g->vertexConst(w);
            const float mix = r % 3 == 0 ? 0.0f : r % 3 == 1 ? 0.5f : 0.3f;
            const T3dFltPoint target(a.x + mix * (b.x - a.x), a.y + mix * (b.y - a.y), a.z + mix * (b.z - a.z));
            T4dFltVector d(sym(rng), sym(rng), sym(rng));
            // Every fifth ray runs almost in the plane of the faces.
            if (r % 5 == 0) d.z = 1e-6f * sym(rng);
            const float distance = r % 2 ? 1e-2f : 300.0f;
            const T3dFltPoint o(target.x - distance * d.x, target.y - distance * d.y, target.z - distance * d.z);
            const float tolerance = r % 4 == 0 ? 0.0f : r % 4 == 1 ? 1e-5f : r % 4 == 2 ? 0.2f : -1e-3f;
            TpointOnPoly want, got;
            const int rc = want.closestIntersection(*g, o, d, FLT_MAX, r % 7 == 0, tolerance);
            for (const TpolySpatialSubdivision* accel : {&one, &four}) {
                ASSERT_EQ(
                    accel->closestIntersection(o, d, nullptr, nullptr, false, FLT_MAX, r % 7 == 0, got, tolerance), rc)
                    << r;
                if (rc != 0) continue;
                EXPECT_EQ(got.face(), want.face()) << r;
                EXPECT_EQ(got.triangle(), want.triangle()) << r;
                EXPECT_EQ(got.rayParam(), want.rayParam()) << r;
            }
        }
    }
}

TEST(RayQuery, FourChildNodesKeepTheLoopsHitsOnMessyRecords) {
    // Enough faces for several levels of nodes: slivers and faces of no area, a patch of tiny faces
    // far from the origin, a huge face, and duplicated faces that tie.
    TpolyGeom g;
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f), sym(-1.0f, 1.0f);
    const auto triangle = [&](T3dFltPoint a, T3dFltPoint b, T3dFltPoint c) {
        const uint32_t base = g.nbVertex();
        for (const T3dFltPoint& p : {a, b, c}) g.appendVertex(p.x, p.y, p.z);
        addRingFace(g, {base, base + 1, base + 2});
    };
    for (int i = 0; i < 300; ++i) {
        const float x = 4 * unit(rng), y = 4 * unit(rng), z = unit(rng);
        triangle({x, y, z}, {x + 0.3f, y + 1e-7f, z}, {x, y + 0.2f, z + 0.1f * sym(rng)});
        if (i % 10 == 0) triangle({x, y, z}, {x + 1, y, z}, {x + 2, y, z});  // on a line
        if (i % 15 == 0) triangle({x, y, 2}, {x + 1e-30f, y, 2}, {x, y + 1e-30f, 2});
        for (int copy = 0; copy < (i % 20 == 0 ? 2 : 0); ++copy)
            triangle({x, y, 0.5f}, {x + 0.5f, y, 0.5f}, {x, y + 0.5f, 0.5f});
        // A few dozen units in the last place wide.
        const float fx = 3e4f + unit(rng), fy = -3e4f + unit(rng);
        triangle({fx, fy, 3}, {fx + 0.1f, fy, 3}, {fx, fy + 0.1f, 3.01f});
    }
    triangle({-1e7f, -1e7f, -1}, {1e7f, -1e7f, -1}, {0, 1e7f, -1});
    g.update(dirtyAll);
    const TpolySpatialSubdivision one(g, TmeshIsectAccelParams::boundingVolumeHierarchyParams(1)),
        four(g, TmeshIsectAccelParams::boundingVolumeHierarchyParams(4)),
        all(g, TmeshIsectAccelParams::uniformGridParams(1, 1, 1));
    for (int r = 0; r < 4000; ++r) {
        // From a vertex (so starting on faces), or from above the near field or the far patch.
        T3dFltPoint o = g.vertexConst(uint32_t(rng()) % g.nbVertex());
        if (r % 3 == 1) o = T3dFltPoint(4 * unit(rng), 4 * unit(rng), 5);
        if (r % 3 == 2) o = T3dFltPoint(3e4f + unit(rng), -3e4f + unit(rng), 4);
        T4dFltVector d(sym(rng), sym(rng), -unit(rng));
        // Along the axes and in the axis planes every so often.
        if (r % 4 == 0) d = T4dFltVector(0, 0, -1);
        if (r % 4 == 1) d.x = 0;
        if (r % 8 == 3) d = T4dFltVector(r % 16 == 3 ? 1.0f : -1.0f, 0, 0);
        const bool both = r % 5 == 0;
        TpointOnPoly want, got;
        const int rc = want.closestIntersection(g, o, d, FLT_MAX, both, 0.0f);
        for (const TpolySpatialSubdivision* accel : {&one, &four}) {
            ASSERT_EQ(accel->closestIntersection(o, d, nullptr, nullptr, false, FLT_MAX, both, got, 0.0f), rc) << r;
            if (rc == 0) {
                EXPECT_EQ(got.face(), want.face()) << r;
                EXPECT_EQ(got.triangle(), want.triangle()) << r;
                EXPECT_EQ(got.rayParam(), want.rayParam()) << r;
            }
            // The record's own loop also offers faces of no area as closest points, which the
            // accelerators leave out: a grid of one voxel, a loop over their triangles, is the
            // reference here.
            if (r % 10) continue;
            TpointOnPoly near;
            ASSERT_EQ(got.closestPoint(*accel, o), near.closestPoint(all, o));
            EXPECT_EQ(got.face(), near.face()) << r;
            EXPECT_EQ(got.rayParam(), near.rayParam()) << r;
        }
    }
}

TEST(RayQuery, AutoSizeFollowsTheMeanTriangleExtent) {
    TpolyGeom cube;
    addUnitCube(cube);
    cube.update(dirtyAll);
    TpolySpatialSubdivision c(cube, TmeshIsectAccelParams::autoUniformGridParams());
    EXPECT_EQ(c.getDescription(false), "1x1x1 Auto-Configured Uniform Grid");

    TpolyGeom flat;
    buildQuadGrid(flat, 50);
    TpolySpatialSubdivision f(flat, TmeshIsectAccelParams::autoUniformGridParams());
    // Mean triangle extent 1 along x and y: 50 / 12^0.33, rounded up; one voxel across z.
    const int n = int(std::ceil(50.0 / double(std::pow(12.0f, 0.33000001311302185f))));
    EXPECT_EQ(n, 23);
    EXPECT_EQ(f.getDescription(false), "23x23x1 Auto-Configured Uniform Grid");
    TpolyGeom big;
    buildQuadGrid(big, 400);
    TpolySpatialSubdivision b(big, TmeshIsectAccelParams::autoUniformGridParams());
    EXPECT_EQ(b.gridSize(0), 100);
    // Given sizes stay, except across an axis without extent.
    TpolySpatialSubdivision given(flat, TmeshIsectAccelParams::uniformGridParams(3, 4, 5));
    EXPECT_EQ(given.getDescription(false), "3x4x1 Uniform Grid");
    EXPECT_TRUE(given.matchesParams(TmeshIsectAccelParams::uniformGridParams(3, 4, 5)));
    EXPECT_FALSE(given.matchesParams(TmeshIsectAccelParams()));
    given.deleteVoxelGrid();
    EXPECT_FALSE(given.matchesParams(TmeshIsectAccelParams::uniformGridParams(3, 4, 5)));
}

TEST(RayQuery, RecordCacheRebuildsOnlyForChangedGeometry) {
    TpolyGeom g;
    buildQuadGrid(g, 8);
    const TmeshIsectAccelParams params = TmeshIsectAccelParams::autoUniformGridParams();
    const int before = TpolySpatialSubdivision::createdCount();
    TpointOnPoly hit;
    ASSERT_EQ(
        hit.closestIntersection(g.getIntersectionAccelerator(params), {2.5f, 2.5f, 1}, {0, 0, -1}, FLT_MAX, false, 0),
        0);
    g.getIntersectionAccelerator(params);
    EXPECT_EQ(TpolySpatialSubdivision::createdCount(), before + 1);
    // Marked dirty without a geometric change (as a UV edit does): kept.
    g.markDirty(dirtyMoved);
    g.getIntersectionAccelerator(params);
    EXPECT_EQ(TpolySpatialSubdivision::createdCount(), before + 1);
    // A moved vertex: rebuilt, and the hit follows the surface.
    for (uint32_t v = 0; v < g.nbVertex(); ++v) g.vertex(v).z = -1.0f;
    g.markDirty(dirtyMoved);
    ASSERT_EQ(
        hit.closestIntersection(g.getIntersectionAccelerator(params), {2.5f, 2.5f, 1}, {0, 0, -1}, FLT_MAX, false, 0),
        0);
    EXPECT_FLOAT_EQ(hit.rayParam(), 2.0f);
    EXPECT_EQ(TpolySpatialSubdivision::createdCount(), before + 2);
    // Other parameters: rebuilt; a copy of the record starts without one.
    g.getIntersectionAccelerator(TmeshIsectAccelParams::boundingVolumeHierarchyParams());
    EXPECT_EQ(TpolySpatialSubdivision::createdCount(), before + 3);
    const int alive = TpolySpatialSubdivision::aliveCount();
    {
        TpolyGeom copy(g);
        copy.getIntersectionAccelerator(params);
        EXPECT_EQ(TpolySpatialSubdivision::aliveCount(), alive + 1);
    }
    EXPECT_EQ(TpolySpatialSubdivision::aliveCount(), alive);
}

TEST(RayQuery, BadInputFindsNothing) {
    TpolyGeom cube;
    addUnitCube(cube);
    TpolyGeom empty;
    // Faces of no area: two that repeat a position, one with its corners on a line.
    TpolyGeom flatOnly;
    for (float x : {0.0f, 1.0f, 2.0f}) flatOnly.appendVertex(x, x, 0);
    flatOnly.appendVertex(0, 0, 0);
    addRingFace(flatOnly, {0, 1, 2});
    addRingFace(flatOnly, {0, 3, 1});
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (TpolyGeom* g : {&cube, &empty, &flatOnly})
        for (const TmeshIsectAccelParams& params : kKinds) {
            const TpolySpatialSubdivision& accel = g->getIntersectionAccelerator(params);
            TpointOnPoly hit;
            TpointOnPolyArray all;
            const bool solid = g == &cube;
            EXPECT_EQ(
                accel.closestIntersection({0.5f, 0.5f, 3}, {0, 0, -1}, nullptr, nullptr, false, FLT_MAX, true, hit, 0),
                solid ? 0 : -1);
            EXPECT_EQ(
                accel.closestIntersection({0.5f, 0.5f, 3}, {0, 0, 0}, nullptr, nullptr, false, FLT_MAX, true, hit, 0),
                -1);
            EXPECT_EQ(
                accel.closestIntersection({nan, 0.5f, 3}, {0, 0, -1}, nullptr, nullptr, false, FLT_MAX, true, hit, 0),
                -1);
            EXPECT_EQ(accel.closestIntersection({0.5f, 0.5f, 3}, {inf, 0, -1}, nullptr, nullptr, false, FLT_MAX, true,
                                                hit, 0),
                      -1);
            EXPECT_EQ(
                accel.closestIntersection({0.5f, 0.5f, 3}, {0, 0, -1}, nullptr, nullptr, false, nan, true, hit, 0), -1);
            EXPECT_EQ(TpointOnPoly::allIntersections(accel, {nan, 0, 0}, {0, 0, 1}, all, FLT_MAX, true, 0), -1);
            EXPECT_EQ(hit.closestPoint(accel, {nan, 0, 0}), -1);
            EXPECT_EQ(hit.closestPoint(accel, {5, 5, 5}), solid ? 0 : -1);
            EXPECT_EQ(hit.closestIntersection(*g, {0.5f, 0.5f, 3}, {0, 0, 0}, FLT_MAX, true, 0), -1);
        }
}

TEST(RayQuery, DescriptionsAndStatistics) {
    TpolyGeom g;
    buildQuadGrid(g, 2);
    TpolySpatialSubdivision grid(g, TmeshIsectAccelParams());
    const std::string withStats = grid.getDescription(true).str();
    EXPECT_EQ(withStats.rfind("10x10x1 Uniform Grid, (build time ", 0), 0u) << withStats;
    EXPECT_NE(withStats.find("s), (memory footprint "), std::string::npos);
    EXPECT_EQ(withStats.substr(withStats.size() - 3), "KB)");
    TpolySpatialSubdivision::resetSystemStats();
    const std::string stats = TpolySpatialSubdivision::systemStats().str();
    EXPECT_EQ(stats.rfind("total 0 isect accelerators created (", 0), 0u) << stats;
    EXPECT_NE(stats.find("total build time = 0.00s, peak memory = 0.00KB"), std::string::npos) << stats;
    EXPECT_GT(grid.getMemoryFootprint(), 0.0f);
    TpolySpatialSubdivision bvh(g, TmeshIsectAccelParams::boundingVolumeHierarchyParams(1));
    // Eight leaves of one triangle under a root of four children, each of two.
    EXPECT_EQ(bvh.getDescription(false), "Bounding Volume Hierarchy of 5 nodes, 8 leaves");
    EXPECT_EQ(TpolySpatialSubdivision::createdCount(), 1);
    TpointOnPoly::clearIntersectCounter();
    TpointOnPoly hit;
    hit.closestIntersection(g, {0.5f, 0.5f, 1}, {0, 0, -1}, FLT_MAX, false, 0);
    EXPECT_EQ(TpointOnPoly::intersectCounter(), 8u);
}

TEST(RayQuery, SurfaceEvaluationAndBodyQueries) {
    TmidBody body(new TpolyGeom);
    addUnitCube(*body.polyGeom(), true);
    TpolyGeom& g = *body.polyGeom();
    g.addLastMapSet("map1");
    TpointOnPoly hit;
    ASSERT_EQ(hit.closestIntersection(g, {0.25f, 0.75f, 3}, {0, 0, -1}, FLT_MAX, false, 0), 0);
    EXPECT_EQ(hit.face(), 1u);  // the top face, z = 1
    T3dFltPoint p;
    ASSERT_TRUE(hit.point(g, p));
    EXPECT_NEAR(p.x, 0.25f, 1e-6f);
    EXPECT_NEAR(p.y, 0.75f, 1e-6f);
    EXPECT_NEAR(p.z, 1.0f, 1e-6f);
    T4dFltVector n;
    for (bool ok :
         {hit.normal(g, n), hit.faceNormal(g, n), hit.triangleNormal(g, n), hit.getCachedSurfaceNormal(g, n)}) {
        ASSERT_TRUE(ok);
        EXPECT_GT(n.z, 0.5f);
    }
    hit.faceNormal(g, n);
    EXPECT_NEAR(n.z, 1.0f, 1e-6f);
    T2FloatPair uv;
    EXPECT_FALSE(hit.uv(g, 0, uv));  // no corner is mapped
    TpointOnPoly nowhere(99, 0, 0, 0, 0);
    EXPECT_FALSE(nowhere.point(g, p));

    T3dFltPointArray hits, normals;
    TuInt32Array faces;
    ASSERT_EQ(body.intersect({0.25f, 0.75f, 3}, {0, 0, -1}, hits, normals, faces, 0), 2u);
    EXPECT_EQ(faces[0], 1u);
    EXPECT_EQ(faces[1], 0u);
    EXPECT_NEAR(hits[1].z, 0.0f, 1e-6f);
    EXPECT_NEAR(normals[1].z, -1.0f, 1e-6f);
    EXPECT_EQ(body.intersect({0.25f, 0.75f, 3}, {0, 0, 1}, hits, normals, faces, 0), 0u);
    EXPECT_TRUE(faces.empty());
    int face = -1;
    T3dFltPoint closest;
    ASSERT_TRUE(body.closestPoint({0.5f, 0.5f, 1.2f}, closest, 0, face));
    EXPECT_EQ(face, 1);
    EXPECT_NEAR(closest.z, 1.0f, 1e-6f);
    EXPECT_FALSE(body.closestPoint({0.5f, 0.5f, 3}, closest, 0.5f, face));
    EXPECT_EQ(face, -1);
    ASSERT_TRUE(body.closestPointAndNorm({1.3f, 0.5f, 0.5f}, closest, n, face));
    EXPECT_NEAR(closest.x, 1.0f, 1e-6f);
    EXPECT_NEAR(n.x, 1.0f, 1e-6f);
    ASSERT_TRUE(body.closestNormal({0.5f, -2, 0.5f}, n, face));
    EXPECT_NEAR(n.y, -1.0f, 1e-6f);
    TmidBody none(nullptr);
    EXPECT_FALSE(none.closestNormal({0, 0, 0}, n, face));
    EXPECT_EQ(none.intersect({0, 0, 0}, {0, 0, 1}, hits, normals, faces, 0), 0u);
}
