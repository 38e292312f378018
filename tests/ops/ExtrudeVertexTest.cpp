#include <gtest/gtest.h>

#include <cmath>

#include "ops/CutOpsSupport.h"

using opstest::bodyOf;

namespace {
int extrude(TmidBody& body, TpolyExtrudeVertexFty& fty, std::initializer_list<uint32_t> ids) {
    TmidVertComponent list;
    for (uint32_t v : ids) list.addElement(v);
    return fty.doAction(&body, &list);
}
}  // namespace

TEST(ExtrudeVertex, CubeCornerRingLengthAndFrame) {
    for (float length : {0.0f, 1.0f}) {
        auto body = bodyOf(attributed::cube());
        TpolyExtrudeVertexFty fty;
        fty.setLength(length);
        ASSERT_EQ(extrude(*body, fty, {0}), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.nbVertex(), 11u);
        EXPECT_EQ(g.nbEdge(), 18u);
        EXPECT_EQ(g.nbFace(), 9u);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        // The corner's faces face -x, -y and -z.
        const float k = -length / std::sqrt(3.0f);
        EXPECT_NEAR(g.vertexConst(0).x, k, 1e-5f);
        EXPECT_NEAR(g.vertexConst(0).z, k, 1e-5f);
        for (uint32_t v = 8; v < 11; ++v) {
            const T3dFltPoint& p = g.vertexConst(v);
            EXPECT_NEAR(p.x + p.y + p.z, 0.5f, 1e-6f) << v;  // the midpoints of the three edges
        }
        uint32_t triangles = 0;
        for (uint32_t f = 0; f < g.nbFace(); ++f) triangles += g.faceVertexCount(f) == 3 ? 1 : 0;
        EXPECT_EQ(triangles, 3u);
    }
    {
        // In a frame shifted by +2 along x, the factory then holds the inverse.
        auto body = bodyOf(attributed::cube());
        TpolyExtrudeVertexFty fty;
        T4dFltMatrix shift;
        shift.m[3][0] = 2;
        fty.setMatrix(shift);
        fty.setLength(1);
        ASSERT_EQ(extrude(*body, fty, {0}), 0);
        EXPECT_NEAR(fty.Matrix().m[3][0], -2, 1e-6f);
        EXPECT_NEAR(body->polyGeom()->vertexConst(1).x, 1, 1e-5f);
    }
}

TEST(ExtrudeVertex, DivisionsBothEndsAndRefusals) {
    {
        // Two rings round the middle of a 2 x 2 grid; corners interpolated along the edges.
        auto body = bodyOf(attributed::grid(2));
        TpolyExtrudeVertexFty fty;
        fty.setDivisions(2);
        ASSERT_EQ(extrude(*body, fty, {4}), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.nbVertex(), 17u);
        EXPECT_EQ(g.nbFace(), 12u);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        EXPECT_EQ(cutops::gridCornerFaults(g, 2), 0);
    }
    {
        // Divisions 0 (a negative value stores 0): edges split, no face cut.
        auto body = bodyOf(attributed::grid(2));
        TpolyExtrudeVertexFty fty;
        fty.setDivisions(-3);
        EXPECT_EQ(fty.Divisions(), 0);
        ASSERT_EQ(extrude(*body, fty, {4}), 0);
        EXPECT_EQ(body->polyGeom()->nbVertex(), 13u);
        EXPECT_EQ(body->polyGeom()->nbFace(), 4u);
    }
    {
        // An edge with both ends selected gets a vertex at Width from each end.
        auto body = bodyOf(attributed::grid(1));
        TpolyExtrudeVertexFty fty;
        fty.setWidth(0.25f);
        fty.setDivisions(0);
        ASSERT_EQ(extrude(*body, fty, {0, 1}), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.nbVertex(), 8u);  // two on edge 0, one on each side edge
        EXPECT_EQ(g.faceVertexCount(0), 8u);
        EXPECT_EQ(cutops::gridCornerFaults(g, 1), 0);
    }
    {
        auto body = bodyOf(attributed::grid(1));
        const std::string state = opstest::recordState(*body->polyGeom());
        TpolyExtrudeVertexFty fty;
        TmidVertComponent empty;
        EXPECT_EQ(fty.doAction(body.get(), &empty), -1);
        TmidFaceComponent faces;
        faces.addElement(0);
        EXPECT_EQ(fty.doAction(body.get(), &faces), -1);
        TmidBody emptyBody(new TpolyGeom);
        EXPECT_EQ(extrude(emptyBody, fty, {0}), -1);
        EXPECT_EQ(opstest::recordState(*body->polyGeom()), state);
    }
}
