#include <gtest/gtest.h>

#include <cmath>

#include "brindle/brindle.h"
#include "support/SurfaceCheck.h"

TEST(CurvedPrimitive, SphereCountsOrderHardnessAndUVs) {
    TmeshBallFty ball;
    ball.setUVSetName("map1");
    ball.setXSubdivide(4);
    ball.setYSubdivide(3);
    auto g = ball.createBall();
    SurfaceFacts s = expectClosed(*g, 2, 10, 20, 12);
    EXPECT_TRUE(s.allMapped);
    EXPECT_EQ(g->faceVertexCount(0), 4u);
    EXPECT_EQ(g->faceVertexCount(11), 3u);
    EXPECT_NEAR(g->vertexConst(0).y, -0.25f, 1e-6f);
    EXPECT_NEAR(g->vertexConst(4).y, 0.25f, 1e-6f);
    EXPECT_EQ(g->vertexConst(8).y, -0.5f);  // south pole, then north
    EXPECT_EQ(g->vertexConst(9).y, 0.5f);
    // The circle table ends at angle 0.
    EXPECT_EQ(g->vertexConst(3).z, 0.0f);
    EXPECT_GT(g->vertexConst(3).x, 0.0f);
    // Ring edges first, then the edges between rings, then the pole edges.
    EXPECT_EQ(g->startVertex(0), 0u);
    EXPECT_EQ(g->endVertex(3), 0u);
    EXPECT_EQ(g->startVertex(8), 0u);
    EXPECT_EQ(g->endVertex(8), 4u);
    EXPECT_EQ(g->startVertex(12), 8u);
    EXPECT_EQ(g->endVertex(16), 9u);
    EXPECT_EQ(s.hard, 20u);  // 2 pi / 3 and 2 pi / 4 both exceed pi / 6

    ball.setXSubdivide(13);
    ball.setYSubdivide(13);
    ball.setTexture(TmeshBallFty::kPolePerTriangle);
    s = expectClosed(*ball.createBall(), 2, 12 * 13 + 2, 25 * 13, 12 * 13 + 13);
    EXPECT_EQ(s.hard, 0u);
    EXPECT_TRUE(s.allMapped);
    ball.setXSubdivide(12);
    ball.setYSubdivide(40);
    s = inspectSurface(*ball.createBall());
    EXPECT_EQ(s.hard, 12u * 40);  // between rings and at the poles only

    // Range checks are written back; no UV set name, no UV set.
    TmeshBallFty bad;
    bad.setRadius(-1);
    bad.setXSubdivide(2);
    bad.setYSubdivide(20000);
    auto b = bad.createBall();
    EXPECT_EQ(bad.radius(), 0.5f);
    EXPECT_EQ(bad.xSubdivide(), 20u);
    EXPECT_EQ(bad.ySubdivide(), 20u);
    EXPECT_EQ(b->maps()->nbMap(), 0u);
    bad.setRadius(std::nanf(""));
    bad.createBall();
    EXPECT_EQ(bad.radius(), 0.5f);
}

TEST(CurvedPrimitive, ConeWithAndWithoutCapRings) {
    TmeshConeFty cone;
    cone.setXSubdivide(8);
    cone.setYSubdivide(3);
    // nz = 0: base ring and two side rings, the apex; the base is one octagon.
    auto g = cone.createCone();
    SurfaceFacts s = expectClosed(*g, 2);
    EXPECT_EQ(s.v, 3u * 8 + 1);
    EXPECT_EQ(s.f, 2u * 8 + 8 + 1);
    EXPECT_EQ(g->faceVertexCount(g->nbFace() - 1), 8u);

    cone.setZSubdivide(3);
    cone.setTexture(true);
    cone.setUVSetName("uv");
    s = expectClosed(*cone.createCone(), 2);
    EXPECT_EQ(s.v, (3u + 3 - 2 + 1) * 8 + 2);
    EXPECT_TRUE(s.allMapped);

    cone.setXSubdivide(1001);
    cone.setYSubdivide(0);
    cone.setZSubdivide(1001);
    cone.createCone();
    EXPECT_EQ(cone.xSubdivide(), 20u);
    EXPECT_EQ(cone.ySubdivide(), 1u);
    EXPECT_EQ(cone.zSubdivide(), 0u);
}

TEST(CurvedPrimitive, TorusPlaneAndPrism) {
    TmeshTorusFty torus;
    torus.setXSubdivide(6);
    torus.setYSubdivide(5);
    torus.setTexture(true);
    torus.setUVSetName("map1");
    auto t = torus.createTorus();
    SurfaceFacts s = expectClosed(*t, 0, 30, 60, 30);
    EXPECT_TRUE(s.allMapped);
    EXPECT_NEAR(t->vertexConst(5).x, 0.25f, 1e-6f);  // twist 0: first ring inside the tube
    EXPECT_NEAR(t->vertexConst(5).y, 0.0f, 1e-6f);
    torus.setTwist(0.3f);
    torus.setRevTexture(true);
    expectClosed(*torus.createTorus(), 0);

    TmeshMeshFty plane;
    plane.setXSubdivide(3000);
    plane.setYSubdivide(2);
    plane.setUVSetName("map1");
    s = inspectSurface(*plane.createMesh());
    EXPECT_EQ(plane.xSubdivide(), 5u);
    EXPECT_EQ(s.v, 6u * 3);
    EXPECT_EQ(s.e, 11u * 2 + 5);
    EXPECT_EQ(s.f, 10u);
    EXPECT_EQ(s.badEdges, 0u);
    EXPECT_EQ(s.borderEdges, 14u);
    EXPECT_TRUE(s.allMapped);

    for (uint32_t nz : {0u, 1u, 3u})
        for (auto tex : {TmeshPrismFty::kNoTexture, TmeshPrismFty::kSharedTexture, TmeshPrismFty::kFaceTexture}) {
            TmeshPrismFty prism;
            prism.setXSubdivide(6);
            prism.setYSubdivide(2);
            prism.setZSubdivide(nz);
            prism.setTexture(tex);
            prism.setUVSetName("map1");
            s = expectClosed(*prism.createPrism(), 2);
            const uint32_t m = nz > 0 ? 2 + 2 * nz - 2 : 2;
            EXPECT_EQ(s.v, (m + 1) * 6 + (nz > 0 ? 2 : 0)) << nz;
            EXPECT_EQ(s.allMapped, tex != TmeshPrismFty::kNoTexture);
            EXPECT_EQ(s.hard, 12u + 12u) << nz;  // both rims and the side edges of 6 sides
        }
}

TEST(CurvedPrimitive, BuildHandsTheRecordToTheBody) {
    TmidBody body;
    TmeshTorusFty torus;
    torus.build(body);
    ASSERT_NE(body.polyGeom(), nullptr);
    EXPECT_EQ(body.polyGeom()->nbFace(), 400u);
    EXPECT_EQ(body.polyGeom()->dirtyMask(), uint32_t(dirtyAll));
}
