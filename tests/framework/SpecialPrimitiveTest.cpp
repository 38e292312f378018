#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "brindle/brindle.h"
#include "support/SurfaceCheck.h"

TEST(SolidsPrimitive, ShapesCountsSizesAndHardEdges) {
    struct Case {
        TmeshSolidsFty::TsolidType type;
        uint32_t v, e, f;
        uint32_t faceSize[2];  // the sizes the faces may have
    };
    const Case cases[] = {{TmeshSolidsFty::kTruncatedIcosahedron, 60, 90, 32, {5, 6}},
                          {TmeshSolidsFty::kDodecahedron, 20, 30, 12, {5, 5}},
                          {TmeshSolidsFty::kIcosahedron, 12, 30, 20, {3, 3}},
                          {TmeshSolidsFty::kOctahedron, 6, 12, 8, {3, 3}},
                          {TmeshSolidsFty::kTetrahedron, 4, 6, 4, {3, 3}},
                          {TmeshSolidsFty::TsolidType(17), 60, 90, 32, {5, 6}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.type));
        TmeshSolidsFty solid;
        solid.setType(c.type);
        solid.setRadius(2.5f);
        auto g = solid.createSolid();
        ASSERT_TRUE(g);
        EXPECT_EQ(g->dirtyMask(), uint32_t(dirtyAll));
        expectClosed(*g, 2, c.v, c.e, c.f);
        EXPECT_EQ(g->nbMapSet(), 0u);
        uint32_t pentagons = 0;
        for (uint32_t f = 0; f < g->nbFace(); ++f) {
            const uint32_t n = g->faceVertexCount(f);
            EXPECT_TRUE(n == c.faceSize[0] || n == c.faceSize[1]) << f;
            pentagons += n == 5;
        }
        EXPECT_EQ(pentagons, c.v == 60 ? 12u : c.faceSize[0] == 5 ? 12u : 0u);
        for (uint32_t v = 0; v < g->nbVertex(); ++v) {
            const T3dFltPoint& p = g->vertexConst(v);
            EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 2.5f, 1e-5f) << v;
        }
        // Sized by edge length instead: all edges equally long, all hard.
        solid.setLength(0.75f);
        g = solid.createSolid();
        for (uint32_t e = 0; e < g->nbEdge(); ++e) {
            EXPECT_TRUE(g->isHard(e)) << e;
            const T3dFltPoint& a = g->vertexConst(g->startVertex(e));
            const T3dFltPoint& b = g->vertexConst(g->endVertex(e));
            EXPECT_NEAR(std::hypot(a.x - b.x, a.y - b.y, a.z - b.z), 0.75f, 1e-5f) << e;
        }
    }
}

TEST(SolidsPrimitive, UnsizedSolidLeavesTheBodyAndNamedSetIsUnmapped) {
    TmidBody body;
    body.polyGeom()->appendVertex(1, 2, 3);
    TpolyGeom* before = body.polyGeom();
    TmeshSolidsFty solid;
    solid.build(body);
    EXPECT_EQ(body.polyGeom(), before);
    EXPECT_EQ(body.vertexCount(), 1u);
    solid.setLength(0);  // length not positive, radius unset
    solid.build(body);
    EXPECT_EQ(body.polyGeom(), before);
    EXPECT_EQ(body.vertexCount(), 1u);

    // A radius too small to build with falls back to 1 and is written back.
    solid.setRadius(0);
    solid.setType(TmeshSolidsFty::kOctahedron);
    solid.setUVSetName(Tstring("solidUV"));
    solid.build(body);
    EXPECT_EQ(solid.radius(), 1.0f);
    EXPECT_EQ(body.vertexCount(), 6u);
    const TpolyGeom& g = *body.polyGeom();
    ASSERT_EQ(g.nbMapSet(), 1u);
    EXPECT_EQ((*g.maps())[0].nbUV(), 0u);
    EXPECT_EQ((*g.maps())[0].indexArray().size(), g.faceDescLength());
}

TEST(PipePrimitive, RingsRimsUVsAndCorrections) {
    struct Case {
        uint32_t nx, ny, nz;
    };
    for (Case c : {Case{3, 1, 1}, Case{8, 3, 2}, Case{13, 1, 4}}) {
        SCOPED_TRACE(testing::Message() << c.nx << " " << c.ny << " " << c.nz);
        TpolyPipeFty pipe;
        pipe.setRadius(2);
        pipe.setThickness(0.5f);
        pipe.setLength(3);
        pipe.setXSubdivide(c.nx);
        pipe.setYSubdivide(c.ny);
        pipe.setZSubdivide(c.nz);
        pipe.setTexture(true);
        pipe.setUVSetName(Tstring("pipeUV"));
        auto g = pipe.createPipe();
        EXPECT_EQ(g->dirtyMask(), uint32_t(dirtyAll));
        const uint32_t v = 2 * c.nx * (c.ny + c.nz);
        const double volume = expectClosed(*g, 0, v, 2 * v, v).volume;
        // The faces are flat enough for the fans to measure nearly the annulus times the length.
        const double annulus = 3.0 * 0.5 * c.nx * std::sin(2 * kPi / c.nx) * (4.0 - 1.5 * 1.5);
        EXPECT_NEAR(volume, annulus, 1e-4 * annulus);
        for (uint32_t k = 0; k < g->nbVertex(); ++k) {
            const T3dFltPoint& p = g->vertexConst(k);
            const float rho = std::hypot(p.x, p.z);
            EXPECT_TRUE(rho > 1.5f - 1e-5f && rho < 2 + 1e-5f && std::fabs(p.y) < 1.5f + 1e-6f) << k;
        }
        // The rims, four rings of nx edges, are hard; the edges along the pipe too for nx <= 12.
        uint32_t hard = 0;
        for (uint32_t e = 0; e < g->nbEdge(); ++e) hard += g->isHard(e);
        EXPECT_EQ(hard, c.nx <= 12 ? 4 * c.nx + v : 4 * c.nx);
        ASSERT_EQ(g->nbMapSet(), 1u);
        EXPECT_TRUE(inspectSurface(*g).allMapped);
        EXPECT_EQ((*g->maps())[0].nbUV(), (2 * (c.ny + c.nz) + 1) * (c.nx + 1));
    }

    // Defaults: the wall as thick as the radius is halved; bad counts fall back and are written back.
    TpolyPipeFty pipe;
    pipe.setXSubdivide(2);
    pipe.setYSubdivide(1001);
    pipe.setZSubdivide(0);
    pipe.setLength(std::numeric_limits<float>::infinity());
    auto g = pipe.createPipe();
    EXPECT_EQ(pipe.thickness(), 0.5f);
    EXPECT_EQ(pipe.xSubdivide(), 3u);
    EXPECT_EQ(pipe.ySubdivide(), 1u);
    EXPECT_EQ(pipe.zSubdivide(), 1u);
    EXPECT_EQ(pipe.length(), 1.0f);
    expectClosed(*g, 0, 12, 24, 12);
    EXPECT_EQ(g->nbMapSet(), 0u);
    // A name without texture: a set of unmapped corners.
    pipe.setUVSetName(Tstring("pipeUV"));
    TmidBody body;
    pipe.build(body);
    ASSERT_EQ(body.polyGeom()->nbMapSet(), 1u);
    EXPECT_EQ((*body.polyGeom()->maps())[0].nbUV(), 0u);
    EXPECT_EQ(body.faceCount(), 12u);
}

TEST(HelixPrimitive, ClosedTubeWindingCapsAndTextures) {
    struct Case {
        uint32_t nx, ny, nz;
        TpolyHelixFty::TdirType dir;
        TpolyHelixFty::TtexType tex;
    };
    const Case cases[] = {{8, 50, 1, TpolyHelixFty::kCounterClockwise, TpolyHelixFty::kFaceTexture},
                          {5, 7, 3, TpolyHelixFty::kClockwise, TpolyHelixFty::kSharedTexture},
                          {16, 40, 2, TpolyHelixFty::kCounterClockwise, TpolyHelixFty::kSharedTexture},
                          {3, 1, 1, TpolyHelixFty::kClockwise, TpolyHelixFty::kFaceTexture}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.nx << " " << c.ny << " " << c.nz << " dir " << c.dir);
        TpolyHelixFty helix;
        helix.setXSubdivide(c.nx);
        helix.setYSubdivide(c.ny);
        helix.setZSubdivide(c.nz);
        helix.setDirection(c.dir);
        helix.setTexture(c.tex);
        helix.setNumCoils(2);
        helix.setUVSetName(Tstring("helixUV"));
        auto g = helix.createHelix();
        EXPECT_EQ(g->dirtyMask(), uint32_t(dirtyAll));
        const uint32_t f = c.nx * (c.ny + 2 * c.nz);
        const double volume =
            expectClosed(*g, 2, c.nx * (c.ny + 2 * c.nz - 1) + 2, c.nx * (2 * c.ny + 4 * c.nz - 1), f).volume;
        EXPECT_LT(volume, kPi * 0.4 * 0.4 * 2 * std::hypot(5 * kPi, 2.5) * 1.01);
        // Rims always hard, rings when a step turns by more than pi/6, edges along the path for nx <= 12.
        const bool hardRings = 4 * kPi / c.ny > kHardStepAngle;
        uint32_t hard = 0;
        for (uint32_t e = 0; e < g->nbEdge(); ++e) hard += g->isHard(e);
        EXPECT_EQ(hard, (hardRings ? c.ny + 1 : 2) * c.nx + (c.nx <= 12 ? c.ny * c.nx : 0));
        ASSERT_EQ(g->nbMapSet(), 1u);
        EXPECT_TRUE(inspectSurface(*g).allMapped);
        if (c.tex == TpolyHelixFty::kFaceTexture) {
            EXPECT_EQ((*g->maps())[0].nbUV(), g->faceDescLength());
        } else {
            EXPECT_EQ((*g->maps())[0].nbUV(), (c.nx + 1) * (c.ny + 1 + 2 * c.nz) + 2);
        }
        // Every vertex within the tube's radius of the path; the ends at the bottom and top.
        float lowest = 1e9f, highest = -1e9f;
        for (uint32_t k = 0; k < g->nbVertex(); ++k) {
            const T3dFltPoint& p = g->vertexConst(k);
            EXPECT_LT(std::fabs(std::hypot(p.x, p.z) - 2.5f), 0.4f + 1e-4f) << k;
            lowest = std::min(lowest, p.y);
            highest = std::max(highest, p.y);
        }
        EXPECT_LT(lowest, -2.5f + 0.4f);
        EXPECT_GT(highest, 2.5f - 0.4f);
    }

    // The winding: a quarter of a coil takes the start (x = 2.5, z = 0) to z = -2.5
    // counter-clockwise seen from +y, to z = 2.5 clockwise.
    for (auto dir : {TpolyHelixFty::kCounterClockwise, TpolyHelixFty::kClockwise}) {
        TpolyHelixFty helix;
        helix.setNumCoils(0.25f);
        helix.setYSubdivide(1);
        helix.setDirection(dir);
        auto g = helix.createHelix();
        const T3dFltPoint& end = g->vertexConst(g->nbVertex() - 1);
        EXPECT_NEAR(end.x, 0, 1e-5f);
        EXPECT_NEAR(end.z, dir == TpolyHelixFty::kCounterClockwise ? -2.5f : 2.5f, 1e-5f);
        EXPECT_EQ(g->nbMapSet(), 0u);
    }

    // Corrections written back; texture 0 with a name gives a set without UVs.
    TpolyHelixFty helix;
    helix.setNumCoils(-1);
    helix.setXSubdivide(2);
    helix.setYSubdivide(0);
    helix.setZSubdivide(5000);
    helix.setRadius(0);
    helix.setTexture(TpolyHelixFty::kNoTexture);
    helix.setUVSetName(Tstring("helixUV"));
    TmidBody body;
    helix.build(body);
    EXPECT_EQ(helix.numCoils(), 0.1f);
    EXPECT_EQ(helix.xSubdivide(), 8u);
    EXPECT_EQ(helix.ySubdivide(), 50u);
    EXPECT_EQ(helix.zSubdivide(), 1u);
    EXPECT_EQ(helix.radius(), 0.4f);
    EXPECT_EQ(body.faceCount(), 8u * 52u);
    ASSERT_EQ(body.polyGeom()->nbMapSet(), 1u);
    EXPECT_EQ((*body.polyGeom()->maps())[0].nbUV(), 0u);
    expectClosed(*body.polyGeom(), 2, 8 * 51 + 2, 8 * 103, 8 * 52);
}
