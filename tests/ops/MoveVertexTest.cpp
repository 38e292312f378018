#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ops/OpsTestSupport.h"

using opstest::allOf;
using opstest::bodyOf;

namespace {
void expectAt(const TpolyGeom& g, uint32_t v, const T3dFltPoint& p, float tol = 1e-5f) {
    EXPECT_NEAR(g.vertexConst(v).x, p.x, tol) << v;
    EXPECT_NEAR(g.vertexConst(v).y, p.y, tol) << v;
    EXPECT_NEAR(g.vertexConst(v).z, p.z, tol) << v;
}
}  // namespace

TEST(MoveVertex, GlobalTransformationAboutThePivot) {
    auto body = bodyOf(attributed::grid(2));
    TpolyGeom& g = *body->polyGeom();
    const TpolyGeom before(g);
    auto all = allOf<TmidVertComponent>(g.nbVertex());
    TpolyMoveVertexFty fty;
    // Scale left at (0, 0, 0): everything collapses onto the pivot.
    fty.setPivot({1, 1, 0});
    ASSERT_EQ(fty.doAction(body.get(), &all), 0);
    for (uint32_t v = 0; v < g.nbVertex(); ++v) expectAt(g, v, {1, 1, 0});

    g.copy(before, kCompVertices);
    fty.setScale({1, 1, 1});
    fty.setTrans({0.5f, -2, 3});
    ASSERT_EQ(fty.doAction(body.get(), &all), 0);
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        const T3dFltPoint& p = before.vertexConst(v);
        expectAt(g, v, {p.x + 0.5f, p.y - 2, p.z + 3}, 0);
    }

    // A quarter turn about z around the pivot, then the translation.
    g.copy(before, kCompVertices);
    TrotateXYZ quarter;
    quarter.z = kHalfPi;
    fty.setRotate(quarter);
    fty.setTrans({0, 0, 0});
    TmidVertComponent one;
    one.addElement(5);  // (2, 1)
    ASSERT_EQ(fty.doAction(body.get(), &one), 0);
    expectAt(g, 5, {1, 2, 0});
    expectAt(g, 4, before.vertexConst(4), 0);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    EXPECT_TRUE(g.isEquivalentTopology(before));
    EXPECT_EQ(attributed::cornerErrors(g), 0);
}

TEST(MoveVertex, LocalOffsetGainAndFrame) {
    auto body = bodyOf(attributed::grid(2));
    TpolyGeom& g = *body->polyGeom();
    const TpolyGeom before(g);
    auto all = allOf<TmidVertComponent>(g.nbVertex());
    TpolyMoveVertexFty fty;
    fty.setScale({1, 1, 1});
    fty.setLTrans({0, 0, 1});  // one unit along each vertex's normal, +z on this grid
    ASSERT_EQ(fty.doAction(body.get(), &all), 0);
    for (uint32_t v = 0; v < g.nbVertex(); ++v) expectAt(g, v, before.vertexConst(v) + T3dFltPoint(0, 0, 1));

    // Gains: Random 0 with a gain array takes the per-vertex path with k = gain.
    g.copy(before, kCompVertices);
    fty.setLTrans({0, 0, 0});
    fty.setTrans({0, 0, 2});
    fty.setNbComponents(g.nbVertex());
    fty.createGain();
    fty.Gain()[0] = 0;
    fty.Gain()[1] = 0.5f;
    ASSERT_EQ(fty.doAction(body.get(), &all), 0);
    expectAt(g, 0, before.vertexConst(0), 0);
    expectAt(g, 1, before.vertexConst(1) + T3dFltPoint(0, 0, 1));
    expectAt(g, 2, before.vertexConst(2) + T3dFltPoint(0, 0, 2));
    fty.deleteGain();
    EXPECT_EQ(fty.Gain(), nullptr);

    // In a translated frame a pure translation is the same move; the frame is held inverted.
    g.copy(before, kCompVertices);
    T4dDblMatrix frame;
    frame.m[3][0] = 10;
    fty.setMatrix(frame);
    ASSERT_EQ(fty.doAction(body.get(), &all), 0);
    EXPECT_EQ(fty.Matrix().m[3][0], -10.0);
    for (uint32_t v = 0; v < g.nbVertex(); ++v) expectAt(g, v, before.vertexConst(v) + T3dFltPoint(0, 0, 2));
}

TEST(MoveVertex, SeededRandomIsReproducible) {
    auto run = [](int seed) {
        auto body = bodyOf(opstest::bunny());
        TpolyGeom& g = *body->polyGeom();
        TmidVertComponent list = allOf<TmidVertComponent>(g.nbVertex());
        TpolyMoveVertexFty fty;
        fty.setScale({1.1f, 1, 0.9f});
        fty.setTrans({0.01f, 0, 0});
        fty.setLTrans({0, 0, 0.002f});
        fty.setRandom(0.5f);
        fty.setRandomSeed(seed);
        EXPECT_EQ(fty.doAction(body.get(), &list), 0);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        EXPECT_EQ(attributed::cornerErrors(g), 0);
        return std::make_unique<TpolyGeom>(g);
    };
    auto a = run(7), b = run(7), c = run(8);
    EXPECT_EQ(a->compareObject(*b), 0u);
    EXPECT_EQ(opstest::recordState(*a), opstest::recordState(*b));
    EXPECT_NE(a->compareObject(*c), 0u);
}

TEST(MoveVertex, BadInputChangesNothing) {
    auto body = bodyOf(attributed::grid(2));
    TpolyGeom& g = *body->polyGeom();
    const std::string before = opstest::recordState(g);
    TpolyMoveVertexFty fty;
    fty.setScale({1, 1, 1});
    fty.setTrans({1, 0, 0});
    TmidEdgeComponent edges;
    edges.addElement(0);
    EXPECT_EQ(fty.doAction(body.get(), &edges), -1);
    EXPECT_EQ(fty.doAction(body.get(), nullptr), -1);
    // A gain array that does not cover the selection (zero length here).
    fty.createGain();
    TmidVertComponent all = allOf<TmidVertComponent>(g.nbVertex());
    EXPECT_EQ(fty.doAction(body.get(), &all), -1);
    g.removeGroup(-1, kPolyGrpVertex);
    EXPECT_EQ(opstest::recordState(g), before);
    fty.deleteGain();

    // A NaN position stays NaN and the others move; the record stays consistent.
    g.vertex(4).x = std::numeric_limits<float>::quiet_NaN();
    ASSERT_EQ(fty.doAction(body.get(), &all), 0);
    EXPECT_TRUE(std::isnan(g.vertexConst(4).x));
    EXPECT_EQ(g.vertexConst(0).x, 1.0f);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
}

TEST(MoveVertex, CreatedAndConfiguredByName) {
    std::unique_ptr<TmidModifierFty> fty(TmodifierRegistry::create("TpolyMoveVertexFty"));
    ASSERT_TRUE(fty);
    EXPECT_TRUE(fty->typeof()->istype(&TmidModifierFty::sMetaclass));
    EXPECT_TRUE(TmodifierRegistry::setParameter(*fty, "Scale", "1 1 1"));
    EXPECT_TRUE(TmodifierRegistry::setParameter(*fty, "Trans", "0 0 4"));
    EXPECT_FALSE(TmodifierRegistry::setParameter(*fty, "Trans", "0 0"));
    EXPECT_FALSE(TmodifierRegistry::setParameter(*fty, "Nope", "1"));
    EXPECT_EQ(static_cast<TpolyMoveVertexFty&>(*fty).Trans(), T4dFltVector(0, 0, 4));
    auto body = bodyOf(attributed::cube());
    TmidVertComponent v;
    v.addElement(3);
    ASSERT_EQ(fty->doAction(body.get(), &v), 0);
    EXPECT_EQ(body->polyGeom()->vertexConst(3).z, 4.0f);
    for (const char* name :
         {"TpolySoftEdgeFty", "TpolyAverageVertexFty", "TpolyCreaseEdgeFty", "TpolyNormalFty", "TpolyFlipEdgeFty"}) {
        std::unique_ptr<TmidModifierFty> other(TmodifierRegistry::create(name));
        ASSERT_TRUE(other) << name;
        EXPECT_STREQ(other->typeof()->name(), name);
        EXPECT_FALSE(TmodifierRegistry::parameterNames(*other).empty()) << name;
    }
}
