#include <gtest/gtest.h>

#include <cmath>

#include "ops/OpsTestSupport.h"

using opstest::allOf;
using opstest::bodyOf;

namespace {
int runSoft(TmidBody& body, double angle, TmidComponent* list) {
    TpolySoftEdgeFty fty;
    fty.setAngle(angle);
    return fty.doAction(&body, list);
}

uint32_t hardCount(const TpolyGeom& g) {
    uint32_t n = 0;
    for (uint32_t e = 0; e < g.nbEdge(); ++e) n += g.isHard(e);
    return n;
}
}  // namespace

TEST(SoftEdge, AngleDecidesAgainstTheFaceNormals) {
    auto cube = bodyOf(attributed::cube());
    auto edges = allOf<TmidEdgeComponent>(12);
    ASSERT_EQ(runSoft(*cube, 0.5236, &edges), 0);
    EXPECT_EQ(hardCount(*cube->polyGeom()), 12u);
    ASSERT_EQ(runSoft(*cube, 1.6, &edges), 0);  // beyond a right angle every cube edge is soft
    EXPECT_EQ(hardCount(*cube->polyGeom()), 0u);

    // Flat grid: inner edges soft for any angle from 0.01 up, border edges hard below 90 degrees.
    auto grid = bodyOf(attributed::grid(3));
    TpolyGeom& g = *grid->polyGeom();
    auto all = allOf<TmidEdgeComponent>(g.nbEdge());
    for (double angle : {0.01, 1.0, 30.0}) {  // 30 is above pi and acts as pi
        ASSERT_EQ(runSoft(*grid, angle, &all), 0);
        g.update(dirtyEdgeToFace);
        for (uint32_t e = 0; e < g.nbEdge(); ++e) EXPECT_EQ(g.isHard(e), g.isBorder(e) && angle < kHalfPi) << e;
    }
    ASSERT_EQ(runSoft(*grid, 0.001, &all), 0);  // the 1e-5 margin makes even flat edges hard
    EXPECT_EQ(hardCount(g), g.nbEdge());
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    EXPECT_EQ(attributed::cornerErrors(g), 0);
}

TEST(SoftEdge, OppositeOrientationIsHardAndParametersReadBack) {
    // Two quads sharing an edge used the same way round: always hard.
    auto g = std::make_unique<TpolyGeom>();
    for (float y : {0.0f, 1.0f})
        for (float x : {0.0f, 1.0f, 2.0f}) g->appendVertex(x, y, 0.0f);
    addRingFace(*g, {0, 1, 4, 3});
    addRingFace(*g, {4, 5, 2, 1});
    auto body = bodyOf(std::move(g));
    TmidEdgeComponent shared;
    shared.addElement(1);  // edge 1 -> 4
    TpolySoftEdgeFty fty;
    ASSERT_EQ(fty.doAction(body.get(), &shared), 0);
    EXPECT_TRUE(body->polyGeom()->isHard(1));
    EXPECT_EQ(fty.Angle(), kPi);  // clamped and stored back

    // A non-identity frame is held inverted after the action.
    T4dDblMatrix scale;
    scale.m[0][0] = 2;
    fty.setMatrix(scale);
    ASSERT_EQ(fty.doAction(body.get(), &shared), 0);
    EXPECT_EQ(fty.Matrix().m[0][0], 0.5);
    EXPECT_EQ(body->polyGeom()->vertexConst(2).x, 2.0f);
}

TEST(SoftEdge, RefusalsLeaveTheRecordAlone) {
    auto body = bodyOf(attributed::grid(2));
    TpolyGeom& g = *body->polyGeom();
    const std::string before = opstest::recordState(g);
    TmidFaceComponent faces;
    faces.addElement(0);
    EXPECT_EQ(runSoft(*body, 0.5, &faces), -1);
    EXPECT_EQ(runSoft(*body, 0.5, nullptr), -1);  // no current edge group
    TpolySoftEdgeFty singular;
    singular.setMatrix(T4dDblMatrix());
    T4dDblMatrix flat;
    flat.m[2][2] = 0;
    singular.setMatrix(flat);
    auto edges = allOf<TmidEdgeComponent>(g.nbEdge());
    EXPECT_EQ(singular.doAction(body.get(), &edges), -1);
    g.removeGroup(-1, kPolyGrpEdge);  // the protocol made the list current before the refusal
    EXPECT_EQ(opstest::recordState(g), before);
    TmidBody empty(nullptr);
    EXPECT_EQ(runSoft(empty, 0.5, &edges), -1);
}

TEST(SoftEdge, UserNormalsSurviveOnTheBunny) {
    auto g = opstest::bunny();
    ASSERT_TRUE(g);
    g->update(dirtyAll);
    g->setUserNormal(g->getNormalId(0), T4dFltVector(0, 1, 0));
    auto body = bodyOf(std::move(g));
    TpolyGeom& r = *body->polyGeom();
    auto edges = allOf<TmidEdgeComponent>(r.nbEdge());
    ASSERT_EQ(runSoft(*body, 0.7, &edges), 0);
    EXPECT_EQ(r.checkObject(kCheckAll), 0u);
    EXPECT_EQ(attributed::cornerErrors(r), 0);
    r.update(dirtyAll);
    const T4dFltVector* n = r.getValidUserNormal(r.getNormalId(0));
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->y, 1.0f);
    EXPECT_GT(hardCount(r), 0u);
    EXPECT_LT(hardCount(r), r.nbEdge());
}
