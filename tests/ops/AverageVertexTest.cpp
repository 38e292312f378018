#include <gtest/gtest.h>

#include <cmath>

#include "ops/OpsTestSupport.h"

using opstest::allOf;
using opstest::bodyOf;

TEST(AverageVertex, RelaxesTowardsTheNeighbours) {
    auto body = bodyOf(attributed::grid(2));
    TpolyGeom& g = *body->polyGeom();
    g.vertex(4).z = 1;  // the centre, whose four neighbours stay unselected
    const TpolyGeom before(g);
    TmidVertComponent centre;
    centre.addElement(4);
    TpolyAverageVertexFty fty;
    fty.setNbIter(1);
    ASSERT_EQ(fty.doAction(body.get(), &centre), 0);
    EXPECT_FLOAT_EQ(g.vertexConst(4).z, 0.5f);  // halfway from itself to its neighbours' mean
    fty.setNbIter(2);
    ASSERT_EQ(fty.doAction(body.get(), &centre), 0);
    EXPECT_FLOAT_EQ(g.vertexConst(4).z, 0.125f);
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        if (v == 4) continue;
        EXPECT_EQ(g.vertexConst(v), before.vertexConst(v));
    }

    // Alpha 0 and Beta 1 keep every vertex; Alpha 1 and Beta 1 bring it back to its start.
    auto all = allOf<TmidVertComponent>(g.nbVertex());
    g.copy(before, kCompVertices);
    fty.setBeta(1);
    fty.setNbIter(5);
    ASSERT_EQ(fty.doAction(body.get(), &all), 0);
    for (uint32_t v = 0; v < g.nbVertex(); ++v) EXPECT_NEAR(g.vertexConst(v).z, before.vertexConst(v).z, 1e-6f);
    fty.setAlpha(1);
    ASSERT_EQ(fty.doAction(body.get(), &all), 0);
    for (uint32_t v = 0; v < g.nbVertex(); ++v) EXPECT_NEAR(g.vertexConst(v).z, before.vertexConst(v).z, 1e-6f);

    // NbIter below 1 does nothing and succeeds; a wrong kind refuses.
    const std::string state = opstest::recordState(g);
    fty.setNbIter(0);
    EXPECT_EQ(fty.doAction(body.get(), &all), 0);
    EXPECT_EQ(opstest::recordState(g), state);
    TmidFaceComponent faces;
    faces.addElement(0);
    EXPECT_EQ(fty.doAction(body.get(), &faces), -1);
    EXPECT_EQ(opstest::recordState(g), state);
}

TEST(AverageVertex, BunnyIsReproducibleAndALooseVertexStaysFinite) {
    auto run = [] {
        auto body = bodyOf(opstest::bunny());
        TpolyGeom& g = *body->polyGeom();
        g.appendVertex(5, 5, 5);  // no edge
        auto all = allOf<TmidVertComponent>(g.nbVertex());
        TpolyAverageVertexFty fty;
        EXPECT_EQ(fty.doAction(body.get(), &all), 0);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        EXPECT_EQ(attributed::cornerErrors(g), 0);
        EXPECT_EQ(g.vertexConst(g.nbVertex() - 1), T3dFltPoint(5, 5, 5));
        for (uint32_t v = 0; v < g.nbVertex(); ++v) EXPECT_TRUE(std::isfinite(g.vertexConst(v).y));
        return std::make_unique<TpolyGeom>(g);
    };
    auto a = run(), b = run();
    EXPECT_EQ(opstest::recordState(*a), opstest::recordState(*b));
}
