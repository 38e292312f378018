#include <gtest/gtest.h>

#include <cmath>

#include "ops/CutOpsSupport.h"

using cutops::mapFaults;
using opstest::allOf;
using opstest::bodyOf;

namespace {
// A plane x = c with normal (-1, 0, 0): the positive side is x < c.
void planeX(TpolyCutFty& fty, double c) {
    fty.setRotate({0, kHalfPi, 0});
    fty.setCenterXYZ({c, 0, 0});
}
}  // namespace

TEST(Cut, CubeAndGridCutsWithAndWithoutDeletion) {
    {
        auto body = bodyOf(attributed::cube());
        TpolyCutFty fty;
        fty.setCenterXYZ({0, 0, 0.5});
        T3dDblPoint n;
        double d;
        fty.plane(n, d);
        EXPECT_NEAR(n.z, -1, 1e-9);
        EXPECT_NEAR(d, -0.5, 1e-9);
        auto all = allOf<TmidFaceComponent>(6);
        ASSERT_EQ(fty.doAction(body.get(), &all), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.nbVertex(), 12u);
        EXPECT_EQ(g.nbEdge(), 20u);
        EXPECT_EQ(g.nbFace(), 10u);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        for (uint32_t v = 8; v < 12; ++v) EXPECT_NEAR(g.vertexConst(v).z, 0.5f, 1e-6f);
    }
    {
        // With Delete the lower half (z < 0.5, the positive side) goes; the maps follow.
        auto body = bodyOf(attributed::cube());
        const TpolyGeom before(*body->polyGeom());
        TpolyCutFty fty;
        fty.setCenterXYZ({0, 0, 0.5});
        fty.setDelete(true);
        TpolyIdMapper mapper(true, true, true);
        fty.setIdMapper(&mapper);
        auto all = allOf<TmidFaceComponent>(6);
        ASSERT_EQ(fty.doAction(body.get(), &all), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.nbFace(), 5u);
        EXPECT_EQ(g.nbVertex(), 8u);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        for (uint32_t v = 0; v < g.nbVertex(); ++v) EXPECT_GE(g.vertexConst(v).z, 0.5f - 1e-6f);
        EXPECT_EQ(mapFaults(before, g, *mapper.vertexMap(), kPolyGrpVertex), 0);
        EXPECT_EQ(mapFaults(before, g, *mapper.edgeMap(), kPolyGrpEdge), 0);
        EXPECT_EQ(mapFaults(before, g, *mapper.faceMap(), kPolyGrpFace), 0);
        EXPECT_EQ((*mapper.faceMap())[0], TpolyBits::kNoId);  // the bottom face
        EXPECT_NE((*mapper.faceMap())[1], TpolyBits::kNoId);  // the top face
        EXPECT_EQ(cutops::movedVertices(before, g, *mapper.vertexMap()), 0);
    }
    {
        // With Extract the lower half is detached along the cut and moved down by 3; the cut's
        // four vertices and edges are copied for it, and the upper half stays in place.
        auto body = bodyOf(attributed::cube());
        TpolyCutFty fty;
        fty.setCenterXYZ({0, 0, 0.5});
        fty.setExtract(true);
        fty.setExtractOffset({0, 0, -3});
        auto all = allOf<TmidFaceComponent>(6);
        ASSERT_EQ(fty.doAction(body.get(), &all), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.nbFace(), 10u);
        EXPECT_EQ(g.nbVertex(), 16u);
        EXPECT_EQ(g.nbEdge(), 24u);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        EXPECT_EQ(cutops::unusedOrDanglingAttributes(g), 0);
        uint32_t low = 0, high = 0;
        for (uint32_t v = 0; v < g.nbVertex(); ++v) {
            const float z = g.vertexConst(v).z;
            low += z >= -3 - 1e-6f && z <= -2.5f + 1e-6f ? 1 : 0;
            high += z >= 0.5f - 1e-6f && z <= 1 + 1e-6f ? 1 : 0;
        }
        EXPECT_EQ(low, 8u);
        EXPECT_EQ(high, 8u);
        EXPECT_FALSE(g.hasObjectGroup(-1, kPolyGrpFace));
    }
    {
        // x = 1.5 across a 3 x 3 grid, only the middle row selected: the plane crosses the middle
        // face alone, and the new corners' UVs and colours are interpolated.
        auto body = bodyOf(attributed::grid(3));
        TpolyCutFty fty;
        planeX(fty, 1.5);
        TmidFaceComponent row;
        for (uint32_t f : {3u, 4u, 5u}) row.addElement(f);
        ASSERT_EQ(fty.doAction(body.get(), &row), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.nbFace(), 10u);
        EXPECT_EQ(g.nbVertex(), 18u);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        EXPECT_EQ(cutops::gridCornerFaults(g, 3), 0);
    }
}

TEST(Cut, PlanesThroughVerticesOrMissingEverything) {
    {
        // x = 1 runs through a column of vertices: they are not positive, nothing is split, and
        // Delete removes the column x < 1.
        auto body = bodyOf(attributed::grid(2));
        TpolyCutFty fty;
        planeX(fty, 1);
        auto all = allOf<TmidFaceComponent>(4);
        ASSERT_EQ(fty.doAction(body.get(), &all), 0);
        EXPECT_EQ(body->polyGeom()->nbVertex(), 9u);
        EXPECT_EQ(body->polyGeom()->nbFace(), 4u);
        fty.setDelete(true);
        ASSERT_EQ(fty.doAction(body.get(), &all), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.nbFace(), 2u);
        EXPECT_EQ(g.nbVertex(), 6u);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    }
    {
        auto body = bodyOf(attributed::cube());
        const std::string state = opstest::recordState(*body->polyGeom());
        TpolyCutFty fty;
        fty.setCenterXYZ({0, 0, 5});
        fty.setRotate({0.3, 0, 0});
        auto all = allOf<TmidFaceComponent>(6);
        ASSERT_EQ(fty.doAction(body.get(), &all), 0);
        EXPECT_EQ(opstest::recordState(*body->polyGeom()), state);
        TmidEdgeComponent edges;
        EXPECT_EQ(fty.doAction(body.get(), &edges), -1);
        // A frame that cannot be inverted is refused before anything changes.
        T4dDblMatrix flat;
        flat.m[2][2] = 0;
        fty.setMatrix(flat);
        EXPECT_EQ(fty.doAction(body.get(), &all), -1);
        EXPECT_EQ(fty.Matrix(), flat);
    }
    {
        // In a frame moved by -0.25 along z the cube is cut at its own z = 0.75, the frame's 0.5;
        // afterwards the factory holds the inverse and the record is back in place.
        auto body = bodyOf(attributed::cube());
        TpolyCutFty fty;
        fty.setCenterXYZ({0, 0, 0.5});
        T4dDblMatrix shift;
        shift.m[3][2] = -0.25;
        fty.setMatrix(shift);
        auto all = allOf<TmidFaceComponent>(6);
        ASSERT_EQ(fty.doAction(body.get(), &all), 0);
        EXPECT_NEAR(fty.Matrix().m[3][2], 0.25, 1e-12);
        EXPECT_NEAR(body->polyGeom()->vertexConst(8).z, 0.75f, 1e-6f);
        EXPECT_NEAR(body->polyGeom()->vertexConst(0).z, 0.0f, 1e-6f);
    }
}

TEST(Cut, SampleMeshCutAndDeleted) {
    auto geom = opstest::bunny();
    if (!geom) GTEST_SKIP() << "sample mesh missing";
    auto body = bodyOf(std::move(geom));
    const TpolyGeom before(*body->polyGeom());
    T3dFltPoint lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
    for (uint32_t v = 0; v < before.nbVertex(); ++v) {
        const T3dFltPoint& p = before.vertexConst(v);
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
    }
    TpolyCutFty fty;
    fty.setCenterXYZ({(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2});
    fty.setRotate({0.4, 0.7, 0});
    fty.setDelete(true);
    TpolyIdMapper mapper(true, true, true);
    fty.setIdMapper(&mapper);
    auto all = allOf<TmidFaceComponent>(before.nbFace());
    ASSERT_EQ(fty.doAction(body.get(), &all), 0);
    TpolyGeom& g = *body->polyGeom();
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    EXPECT_GT(g.nbFace(), before.nbFace() / 5);
    EXPECT_LT(g.nbFace(), before.nbFace());
    EXPECT_EQ(mapFaults(before, g, *mapper.vertexMap(), kPolyGrpVertex), 0);
    EXPECT_EQ(mapFaults(before, g, *mapper.edgeMap(), kPolyGrpEdge), 0);
    EXPECT_EQ(mapFaults(before, g, *mapper.faceMap(), kPolyGrpFace), 0);
    EXPECT_EQ(cutops::movedVertices(before, g, *mapper.vertexMap()), 0);
}
