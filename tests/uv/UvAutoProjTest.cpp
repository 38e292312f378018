#include <gtest/gtest.h>

#include <cmath>

#include "support/ObjLoad.h"
#include "uv/UvTestSupport.h"

namespace {

// A unit cube centred at the origin with an empty UV set.
std::unique_ptr<TmidBody> cubeBody() {
    auto* g = new TpolyGeom;
    addUnitCube(*g);
    for (uint32_t v = 0; v < g->nbVertex(); ++v) {
        T3dFltPoint& p = g->vertex(v);
        p = {p.x - 0.5f, p.y - 0.5f, p.z - 0.5f};
    }
    g->update(dirtyFaceOffsets);
    g->newEmptyMapSet(Tstring("map1"));
    return std::make_unique<TmidBody>(g);
}

// The UV box of one face.
void faceBox(const TpolyGeom& g, uint32_t f, float lo[2], float hi[2]) {
    lo[0] = lo[1] = 1e9f, hi[0] = hi[1] = -1e9f;
    for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1); ++c) {
        const T2FloatPair p = *g.uvConst(uint32_t(g.getUVId(c, 0)), 0);
        lo[0] = std::min(lo[0], p.u), lo[1] = std::min(lo[1], p.v);
        hi[0] = std::max(hi[0], p.u), hi[1] = std::max(hi[1], p.v);
    }
}

TEST(UvAutoProjection, CubeSidesFillTheUnitSquareOrTheirTiles) {
    auto body = cubeBody();
    TpolyGeom& g = *body->polyGeom();
    TmidFaceComponent all = allOf<TmidFaceComponent>(6);
    TpolyAutoProjFty automatic;
    ASSERT_EQ(automatic.doAction(body.get(), &all), 0);
    EXPECT_EQ(uvShells(g, 0), (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
    for (uint32_t f = 0; f < 6; ++f) {
        float lo[2], hi[2];
        faceBox(g, f, lo, hi);
        EXPECT_NEAR(lo[0], 0, 1e-6);
        EXPECT_NEAR(lo[1], 0, 1e-6);
        EXPECT_NEAR(hi[0], 1, 1e-6);
        EXPECT_NEAR(hi[1], 1, 1e-6);
        EXPECT_NEAR(std::fabs(g.getUVFaceArea(f, 0)), 1, 1e-5);
        EXPECT_GT(g.getUVFaceArea(f, 0), 0) << f;  // seen from outside, no side is mirrored
    }
    automatic.setOffsetUVs(true);
    ASSERT_EQ(automatic.doAction(body.get(), &all), 0);
    g.update(dirtyFaceNormalize);
    for (uint32_t f = 0; f < 6; ++f) {
        if (g.faceNormalConst(f).y < 0.9f) continue;
        float lo[2], hi[2];
        faceBox(g, f, lo, hi);
        EXPECT_NEAR(lo[0], 0, 1e-6);
        EXPECT_NEAR(lo[1], 1, 1e-6);
    }
    EXPECT_TRUE(cleanRecord(g));
}

TEST(UvAutoProjection, EveryPlaneSetMapsASphereWithoutOverlap) {
    TmeshBallFty ball;
    ball.setXSubdivide(16);
    ball.setYSubdivide(10);
    ball.setUVSetName(Tstring("map1"));
    for (uint32_t planes : {3u, 4u, 5u, 6u, 7u, 8u, 12u, 20u}) {
        auto body = std::make_unique<TmidBody>(ball.createBall().release());
        TpolyGeom& g = *body->polyGeom();
        TmidFaceComponent all = allOf<TmidFaceComponent>(g.nbFace());
        TpolyAutoProjFty automatic;
        automatic.setNodePlaneValue(planes);
        automatic.setOffsetUVs(true);
        ASSERT_EQ(automatic.doAction(body.get(), &all), 0);
        const std::vector<int32_t> shells = uvShells(g, 0);
        EXPECT_TRUE(std::all_of(shells.begin(), shells.end(), [](int32_t s) { return s >= 0; }));
        EXPECT_TRUE(cleanRecord(g));
        if (planes == 6) {  // the only set whose planes each have a tile of their own besides 3
            EXPECT_EQ(shellOverlaps(g, 0), 0u) << planes;
        }
    }
    unsigned int n = 2;
    EXPECT_EQ(TpolyAutoProjFty::getQuadsForManipDraw(n), nullptr);
    n = 7;
    EXPECT_NE(TpolyAutoProjFty::getQuadsForManipDraw(n), nullptr);
    EXPECT_EQ(n, 8u);
}

TEST(UvAutoProjection, SuppliedPlanesAndBadInput) {
    // One supplied plane: the record's single quad facing +z; the cube's +z side maps onto it.
    TpolyGeom planes;
    for (const T3dFltPoint& p : {T3dFltPoint(-0.25f, -0.25f, 1), T3dFltPoint(0.25f, -0.25f, 1),
                                 T3dFltPoint(0.25f, 0.25f, 1), T3dFltPoint(-0.25f, 0.25f, 1)})
        planes.appendVertex(p);
    addRingFace(planes, {0, 1, 2, 3});
    auto body = cubeBody();
    TpolyGeom& g = *body->polyGeom();
    TpolyAutoProjFty automatic;
    automatic.setPolyGeom(&planes);
    EXPECT_EQ(automatic.NodePlaneValue(), 0u);
    TmidFaceComponent all = allOf<TmidFaceComponent>(6);
    ASSERT_EQ(automatic.doAction(body.get(), &all), 0);
    EXPECT_TRUE(cleanRecord(g));

    TpolyAutoProjFty none;
    none.setNodePlaneValue(1);  // no plane record
    EXPECT_EQ(none.doAction(body.get(), &all), -1);
    TmidEdgeComponent edges = allOf<TmidEdgeComponent>(3);
    EXPECT_EQ(TpolyAutoProjFty().doAction(body.get(), &edges), -1);
    TpolyAutoProjFty badSet;
    badSet.setMapSet(5);
    EXPECT_EQ(badSet.doAction(body.get(), &all), -1);
}

}  // namespace
