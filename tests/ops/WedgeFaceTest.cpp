#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

#include "ops/FaceOpsSupport.h"
#include "ops/OpsTestSupport.h"
#include "support/SurfaceCheck.h"

namespace {

// Pairs of distinct vertices closer than 1e-4 (the weld must leave none along the hinge).
uint32_t coincidentPairs(const TpolyGeom& g) {
    std::map<std::tuple<long, long, long>, uint32_t> cells;
    uint32_t pairs = 0;
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        const T3dFltPoint& p = g.vertexConst(v);
        pairs += cells[{std::lround(p.x * 1e4), std::lround(p.y * 1e4), std::lround(p.z * 1e4)}]++;
    }
    return pairs;
}

uint32_t edgeBetween(const TpolyGeom& g, uint32_t a, uint32_t b) {
    for (uint32_t e = 0; e < g.nbEdge(); ++e)
        if ((g.startVertex(e) == a && g.endVertex(e) == b) || (g.startVertex(e) == b && g.endVertex(e) == a)) return e;
    return TpolyBits::kNoId;
}

int wedge(TmidBody& body, const std::vector<uint32_t>& faces, uint32_t hinge, double angle, int steps) {
    TpolyWedgeFaceFty op;
    op.addEdge(int(hinge));
    op.setAngle(angle);
    op.setSubdivisions(steps);
    TmidFaceComponent list = faceList(faces);
    return op.doAction(&body, &list);
}

// A lone quad hinged on its first edge (0,0)-(1,0) and swung about it by 90 degrees: a closed
// quarter wedge whose cap stands upright on the hinge and whose ends are fans of `steps`
// triangles round each hinge vertex.
TEST(WedgeFace, LoneQuadCountsAfterSteps) {
    for (const int steps : {1, 2, 5}) {
        SCOPED_TRACE(steps);
        auto body = bodyOf(loneQuad());
        const uint32_t hinge = edgeBetween(*body->polyGeom(), 0, 1);
        ASSERT_EQ(wedge(*body, {0}, hinge, kHalfPi, steps), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        const uint32_t n = uint32_t(steps);
        const SurfaceFacts facts = expectClosed(g, 2, 4 + 2 * n, 4 + 5 * n, 2 + 3 * n);
        // The section is a fan of n triangles of unit sides round the hinge, one unit long.
        EXPECT_NEAR(facts.volume, 0.5 * n * std::sin(kHalfPi / n), 1e-5);
        EXPECT_EQ(facesOfSize(g, 3), 2 * n);
        EXPECT_EQ(coincidentPairs(g), 0u);
        // The hinge vertices stay; the cap (face 0) now stands in the plane y = 0.
        EXPECT_EQ(g.vertexConst(0), T3dFltPoint(0, 0, 0));
        EXPECT_EQ(g.vertexConst(1), T3dFltPoint(1, 0, 0));
        g.update(dirtyFaceOffsets);
        for (uint32_t o = g.faceOffset(0); o < g.faceOffset(1); ++o) {
            const T3dFltPoint& p = g.vertexConst(g.getStartVertex(o));
            EXPECT_NEAR(p.y, 0, 1e-5);
        }
        EXPECT_NE(edgeBetween(g, 0, 1), TpolyBits::kNoId);
    }
}

// Two faces of a 2 x 2 grid's bottom row swung on their two bottom edges as one hinge: the three
// hinge vertices keep their places and nothing is left doubled along the hinge.
TEST(WedgeFace, RowOnTwoHingeEdges) {
    for (const int steps : {1, 3}) {
        SCOPED_TRACE(steps);
        auto body = bodyOf(new TpolyGeom);
        buildQuadGrid(*body->polyGeom(), 2);
        TpolyWedgeFaceFty op;
        op.addEdge(0);
        op.addEdge(1);
        op.setAngle(0.7);
        op.setSubdivisions(steps);
        TmidFaceComponent row = faceList({0, 1});
        ASSERT_EQ(op.doAction(body.get(), &row), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        const uint32_t n = uint32_t(steps);
        EXPECT_EQ(g.nbVertex(), 9 + 3 * n);
        EXPECT_EQ(g.nbFace(), 4 + 4 * n);
        EXPECT_EQ(coincidentPairs(g), 0u);
        for (uint32_t v = 0; v < 3; ++v) EXPECT_EQ(g.vertexConst(v), T3dFltPoint(float(v), 0, 0));
        const SurfaceFacts s = inspectSurface(g);
        EXPECT_EQ(s.badEdges, 0u);
        EXPECT_EQ(s.brokenChains, 0u);
    }
}

// A face of the cube swung out on one of its edges: the cube gains a closed wedge, hinge welded.
TEST(WedgeFace, CubeFaceStaysClosed) {
    for (const int steps : {1, 3}) {
        SCOPED_TRACE(steps);
        auto body = opstest::bodyOf(attributed::cube());
        TpolyGeom& before = *body->polyGeom();
        // Face 1 is the top (4, 5, 7, 6); hinge on its edge 4-5 (y = 0, z = 1), swung by 60 degrees.
        const uint32_t hinge = edgeBetween(before, 4, 5);
        ASSERT_EQ(wedge(*body, {1}, hinge, kPi / 3, steps), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        const uint32_t n = uint32_t(steps);
        expectClosed(g, 2, 8 + 2 * n, 12 + 5 * n, 6 + 3 * n);
        EXPECT_EQ(coincidentPairs(g), 0u);
        EXPECT_EQ(g.nbElem(-1, kPolyGrpVertex), 0u);
    }
}

TEST(WedgeFace, SampleMeshRegion) {
    auto g = opstest::decoratedSample("cow.obj");
    ASSERT_TRUE(g);
    g->update(dirtyFaceOffsets);
    const uint32_t v = g->nbVertex(), f = g->nbFace();
    // Face 0 and its first edge, swung by 30 degrees in 2 steps.
    const uint32_t hinge = g->getEdge(g->faceOffset(0));
    auto body = opstest::bodyOf(std::move(g));
    ASSERT_EQ(wedge(*body, {0}, hinge, kPi / 6, 2), 0);
    TpolyGeom& r = *body->polyGeom();
    EXPECT_EQ(r.checkObject(kCheckAll), 0u);
    // A triangle in 2 steps: two rows of its far vertex stay; of its three walls the hinge wall
    // goes and the two others become fans of 2 triangles each.
    EXPECT_EQ(r.nbVertex(), v + 2);
    EXPECT_EQ(r.nbFace(), f + 4);
    const SurfaceFacts s = inspectSurface(r);
    EXPECT_EQ(s.borderEdges, 0u);
    EXPECT_EQ(s.badEdges, 0u);
}

TEST(WedgeFace, ParametersAndRefusals) {
    TpolyWedgeFaceFty op;
    op.setSubdivisions(0);
    EXPECT_EQ(op.subdivisions(), 1);
    op.setSubdivisions(-3);
    EXPECT_EQ(op.subdivisions(), 1);
    std::unique_ptr<TmidModifierFty> made(TmodifierRegistry::create("TpolyWedgeFaceFty"));
    ASSERT_TRUE(made);
    EXPECT_TRUE(TmodifierRegistry::setParameter(*made, "Angle", "1.5"));
    EXPECT_TRUE(TmodifierRegistry::setParameter(*made, "Subdivisions", "0"));
    EXPECT_TRUE(TmodifierRegistry::setParameter(*made, "Edge", "3"));
    auto& typed = static_cast<TpolyWedgeFaceFty&>(*made);
    EXPECT_EQ(typed.angle(), 1.5);
    EXPECT_EQ(typed.subdivisions(), 1);
    ASSERT_EQ(typed.edges().size(), 1u);

    auto body = opstest::bodyOf(attributed::cube());
    const std::string state = opstest::recordState(*body->polyGeom());
    TmidFaceComponent top = faceList({1}), none, beyond = faceList({9});
    // No hinge edge.
    TpolyWedgeFaceFty bare;
    bare.setAngle(1);
    EXPECT_EQ(bare.doAction(body.get(), &top), -1);
    // No face, or only ids beyond the record.
    TpolyWedgeFaceFty hinged;
    hinged.addEdge(int(edgeBetween(*body->polyGeom(), 4, 5)));
    hinged.setAngle(1);
    EXPECT_EQ(hinged.doAction(body.get(), &none), -1);
    EXPECT_EQ(hinged.doAction(body.get(), &beyond), -1);
    EXPECT_EQ(hinged.performAction(body.get()), -1);
    // A hinge edge that is not on the selected face (the bottom's edge 0-1), or no edge at all.
    TpolyWedgeFaceFty off;
    off.addEdge(int(edgeBetween(*body->polyGeom(), 0, 1)));
    off.addEdge(1000);
    off.setAngle(1);
    EXPECT_EQ(off.doAction(body.get(), &top), -1);
    T4dDblMatrix singular;
    singular.m[0][0] = 0;
    hinged.setWorldMatrix(singular);
    EXPECT_EQ(hinged.doAction(body.get(), &top), -1);
    EXPECT_EQ(opstest::recordState(*body->polyGeom()), state);
}

// A world frame moves nothing of the result: the same wedge whether or not the record is worked
// on in a shifted and turned frame.
TEST(WedgeFace, WorldFrameDoesNotChangeTheResult) {
    auto plain = bodyOf(loneQuad()), framed = bodyOf(loneQuad());
    const uint32_t hinge = edgeBetween(*plain->polyGeom(), 1, 2);
    ASSERT_EQ(wedge(*plain, {0}, hinge, 1.0, 2), 0);
    TpolyWedgeFaceFty op;
    op.addEdge(int(hinge));
    op.setAngle(1.0);
    op.setSubdivisions(2);
    T4dDblMatrix m;
    m.m[0][0] = 0, m.m[0][1] = 1, m.m[1][0] = -1, m.m[1][1] = 0, m.m[3][0] = 3, m.m[3][2] = -2;
    op.setWorldMatrix(m);
    TmidFaceComponent list = faceList({0});
    ASSERT_EQ(op.doAction(framed.get(), &list), 0);
    ASSERT_EQ(plain->polyGeom()->nbVertex(), framed->polyGeom()->nbVertex());
    for (uint32_t v = 0; v < plain->polyGeom()->nbVertex(); ++v)
        EXPECT_LT(distance(plain->polyGeom()->vertexConst(v), framed->polyGeom()->vertexConst(v)), 1e-5) << v;
}

}  // namespace
