#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "brindle/brindle.h"

namespace {

// Facts about a record that every primitive must get right.
struct Shape {
    uint32_t v = 0, e = 0, f = 0;
    uint32_t borderEdges = 0, badEdges = 0;  // used once; used twice the same way or more than twice
    uint32_t hard = 0;
    double volume = 0;                       // signed, from the face fans
    bool idsPerCorner = true, allMapped = true;
};

Shape inspect(TpolyGeom& g) {
    Shape s;
    g.update(dirtyFaceOffsets);
    s.v = g.nbVertex();
    s.e = g.nbEdge();
    s.f = g.nbFace();
    std::vector<int> forward(s.e), backward(s.e);
    for (uint32_t c = 0; c < g.faceDescLength(); ++c) ++(g.getDirection(c) == kForward ? forward : backward)[g.getEdge(c)];
    for (uint32_t e = 0; e < s.e; ++e) {
        const int uses = forward[e] + backward[e];
        if (uses == 1) ++s.borderEdges;
        else if (uses != 2 || forward[e] != 1) ++s.badEdges;
        if (g.isHard(e)) ++s.hard;
    }
    for (uint32_t f = 0; f < s.f; ++f) {
        const uint32_t o = g.faceOffset(f), n = g.faceVertexCount(f);
        const T3dFltPoint p0 = g.vertexConst(g.getStartVertex(o));
        for (uint32_t k = 1; k + 1 < n; ++k) {
            const T3dFltPoint a = g.vertexConst(g.getStartVertex(o + k)), b = g.vertexConst(g.getStartVertex(o + k + 1));
            s.volume += (double(p0.x) * (double(a.y) * b.z - double(a.z) * b.y) -
                         double(p0.y) * (double(a.x) * b.z - double(a.z) * b.x) +
                         double(p0.z) * (double(a.x) * b.y - double(a.y) * b.x)) / 6.0;
        }
    }
    for (const TpolyMap& m : *g.maps()) {
        if (m.nbIndex() != g.faceDescLength()) s.idsPerCorner = false;
        for (uint32_t c = 0; c < m.nbIndex(); ++c)
            if (m.getIndex(c) < 0 || uint32_t(m.getIndex(c)) >= m.nbUV()) s.allMapped = false;
    }
    return s;
}

void expectClosed(const Shape& s, int euler) {
    EXPECT_EQ(s.borderEdges, 0u);
    EXPECT_EQ(s.badEdges, 0u);
    EXPECT_EQ(int(s.v) - int(s.e) + int(s.f), euler);
    EXPECT_GT(s.volume, 0.0);
    EXPECT_TRUE(s.idsPerCorner);
}

}  // namespace

TEST(CurvedPrimitive, SphereCountsOrderHardnessAndUVs) {
    TmeshBallFty ball;
    ball.setUVSetName("map1");
    ball.setXSubdivide(4);
    ball.setYSubdivide(3);
    auto g = ball.createBall();
    Shape s = inspect(*g);
    EXPECT_EQ(s.v, 10u);
    EXPECT_EQ(s.e, 20u);
    EXPECT_EQ(s.f, 12u);
    expectClosed(s, 2);
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
    s = inspect(*ball.createBall());
    EXPECT_EQ(s.hard, 0u);
    EXPECT_EQ(s.v, 12u * 13 + 2);
    EXPECT_EQ(s.e, 25u * 13);
    expectClosed(s, 2);
    EXPECT_TRUE(s.allMapped);
    ball.setXSubdivide(12);
    ball.setYSubdivide(40);
    s = inspect(*ball.createBall());
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
    Shape s = inspect(*cone.createCone());
    // nz = 0: base ring and two side rings, the apex; the base is one octagon.
    EXPECT_EQ(s.v, 3u * 8 + 1);
    EXPECT_EQ(s.f, 2u * 8 + 8 + 1);
    expectClosed(s, 2);
    auto g = cone.createCone();
    g->update(dirtyFaceOffsets);
    EXPECT_EQ(g->faceVertexCount(g->nbFace() - 1), 8u);

    cone.setZSubdivide(3);
    cone.setTexture(true);
    cone.setUVSetName("uv");
    s = inspect(*cone.createCone());
    EXPECT_EQ(s.v, (3u + 3 - 2 + 1) * 8 + 2);
    expectClosed(s, 2);
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
    Shape s = inspect(*t);
    EXPECT_EQ(s.v, 30u);
    EXPECT_EQ(s.e, 60u);
    EXPECT_EQ(s.f, 30u);
    expectClosed(s, 0);
    EXPECT_TRUE(s.allMapped);
    EXPECT_NEAR(t->vertexConst(5).x, 0.25f, 1e-6f);  // twist 0: first ring inside the tube
    EXPECT_NEAR(t->vertexConst(5).y, 0.0f, 1e-6f);
    torus.setTwist(0.3f);
    torus.setRevTexture(true);
    expectClosed(inspect(*torus.createTorus()), 0);

    TmeshMeshFty plane;
    plane.setXSubdivide(3000);
    plane.setYSubdivide(2);
    plane.setUVSetName("map1");
    s = inspect(*plane.createMesh());
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
            s = inspect(*prism.createPrism());
            const uint32_t m = nz > 0 ? 2 + 2 * nz - 2 : 2;
            EXPECT_EQ(s.v, (m + 1) * 6 + (nz > 0 ? 2 : 0)) << nz;
            expectClosed(s, 2);
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
