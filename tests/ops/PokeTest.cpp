#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "ops/FaceOpsSupport.h"
#include "ops/OpsTestSupport.h"
#include "support/SurfaceCheck.h"

namespace {

// One face over the given points of the plane z = 0.
TpolyGeom* onePolygon(const std::vector<T3dFltPoint>& points) {
    auto* g = new TpolyGeom;
    std::vector<uint32_t> ring;
    for (const T3dFltPoint& p : points) {
        ring.push_back(g->nbVertex());
        g->appendVertex(p);
    }
    addRingFace(*g, ring);
    return g;
}

int poke(TmidBody& body, const std::vector<uint32_t>& faces, TpolyPokeFty& op) {
    TmidFaceComponent list = faceList(faces);
    return op.doAction(&body, &list);
}

// Every face a triangle with exactly one corner at a new vertex, the record consistent.
void expectFans(TpolyGeom& g, uint32_t v0) {
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    g.update(dirtyFaceOffsets);
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        if (g.faceVertexCount(f) != 3) continue;
        uint32_t centres = 0;
        for (uint32_t o = g.faceOffset(f); o < g.faceOffset(f + 1); ++o) centres += g.getStartVertex(o) >= v0;
        EXPECT_LE(centres, 1u) << "face " << f;
    }
}

double distanceTo(const T3dFltPoint& a, const T3dFltPoint& b) { return distance(a, b); }

TEST(Poke, CountsAreaAndClosednessInBothCuttingModes) {
    for (const bool zelto : {true, false}) {
        SCOPED_TRACE(zelto);
        TpolyPokeFty op;
        op.setZelto70(zelto);
        auto quad = bodyOf(loneQuad());
        ASSERT_EQ(poke(*quad, {0}, op), 0);
        TpolyGeom& q = *quad->polyGeom();
        EXPECT_EQ(q.nbFace(), 4u);
        EXPECT_EQ(q.nbVertex(), 5u);
        EXPECT_EQ(q.nbEdge(), 8u);
        EXPECT_EQ(facesOfSize(q, 3), 4u);
        EXPECT_NEAR(distanceTo(q.vertexConst(4), T3dFltPoint(0.5f, 0.5f, 0)), 0, 1e-6);
        EXPECT_NEAR(triangleArea(q), 1.0, 1e-6);
        expectFans(q, 4);

        // A pentagon: five triangles, every corner joined to the centre. With Zelto70 the face
        // keeps the triangle (corner 1, corner 2, centre) left by the last cut on its side.
        auto pent = bodyOf(onePolygon({{0, 0, 0}, {2, 0, 0}, {3, 1.5f, 0}, {1, 3, 0}, {-1, 1.5f, 0}}));
        const double area = triangleArea(*pent->polyGeom());
        ASSERT_EQ(poke(*pent, {0}, op), 0);
        TpolyGeom& p = *pent->polyGeom();
        EXPECT_EQ(p.nbFace(), 5u);
        EXPECT_EQ(p.nbEdge(), 10u);
        EXPECT_NEAR(triangleArea(p), area, 1e-5);
        expectFans(p, 5);
        if (zelto) {
            std::set<uint32_t> first;
            for (uint32_t o = p.faceOffset(0); o < p.faceOffset(1); ++o) first.insert(p.getStartVertex(o));
            EXPECT_EQ(first, (std::set<uint32_t>{1, 2, 5}));
        }

        auto cube = bodyOf(new TpolyGeom);
        addUnitCube(*cube->polyGeom());
        ASSERT_EQ(poke(*cube, {0, 1, 2, 3, 4, 5}, op), 0);
        expectClosed(*cube->polyGeom(), 2, 14, 36, 24);
        EXPECT_NEAR(triangleArea(*cube->polyGeom()), 6.0, 1e-5);
        expectFans(*cube->polyGeom(), 8);

        // The middle of a 3 x 3 grid: its neighbours keep their four corners.
        auto grid = bodyOf(new TpolyGeom);
        buildQuadGrid(*grid->polyGeom(), 3);
        ASSERT_EQ(poke(*grid, {4}, op), 0);
        TpolyGeom& g = *grid->polyGeom();
        EXPECT_EQ(g.nbFace(), 12u);
        EXPECT_EQ(facesOfSize(g, 4), 8u);
        EXPECT_NEAR(triangleArea(g), 9.0, 1e-5);
        expectFans(g, 16);
    }
}

TEST(Poke, OffsetsInFaceFrameAndWorld) {
    // A triangle raised one unit along its normal; the centre is its corner mean.
    auto tri = bodyOf(onePolygon({{0, 0, 0}, {3, 0, 0}, {0, 3, 0}}));
    TpolyPokeFty lift;
    lift.setLocalTrans({0, 0, 1});
    ASSERT_EQ(poke(*tri, {0}, lift), 0);
    EXPECT_EQ(tri->polyGeom()->nbFace(), 3u);
    EXPECT_NEAR(distanceTo(tri->polyGeom()->vertexConst(3), T3dFltPoint(1, 1, 1)), 0, 1e-6);

    // x runs along the first edge as the face uses it: the cube's face 0 starts 0 -> 2, along +y,
    // and its normal is -z.
    auto cube = bodyOf(new TpolyGeom);
    addUnitCube(*cube->polyGeom());
    TpolyPokeFty along;
    along.setLocalTrans({0.25, 0, 0.5});
    ASSERT_EQ(poke(*cube, {0}, along), 0);
    EXPECT_NEAR(distanceTo(cube->polyGeom()->vertexConst(8), T3dFltPoint(0.5f, 0.75f, -0.5f)), 0, 1e-6);
    TpolyGeom plain;
    addUnitCube(plain);
    plain.update(dirtyFaceOffsets);
    T4dFltVector normal;
    T4dDblMatrix frame;
    ASSERT_TRUE(TpolyPokeFty::faceMatrix(plain, 0, normal, frame));
    EXPECT_NEAR(normal.z, -1.0f, 1e-6);
    EXPECT_NEAR(frame.m[0][1], 1.0, 1e-9);  // x along the first edge
    EXPECT_NEAR(frame.m[1][0], 1.0, 1e-9);  // y = z x x

    // Translate moves every new vertex the same way, whatever its face's orientation.
    auto world = bodyOf(new TpolyGeom);
    addUnitCube(*world->polyGeom());
    TpolyPokeFty up;
    up.setTranslate({0, 2, 0});
    ASSERT_EQ(poke(*world, {0, 1, 2, 3, 4, 5}, up), 0);
    const T3dFltPoint centres[6] = {{0.5f, 0.5f, 0}, {0.5f, 0.5f, 1}, {0.5f, 0, 0.5f},
                                    {0.5f, 1, 0.5f}, {0, 0.5f, 0.5f}, {1, 0.5f, 0.5f}};
    for (uint32_t k = 0; k < 6; ++k)
        EXPECT_NEAR(distanceTo(world->polyGeom()->vertexConst(8 + k), centres[k] + T3dFltPoint(0, 2, 0)), 0, 1e-6);

    // In a shifted frame the result is the same, and the factory holds the inverse afterwards.
    auto framed = bodyOf(new TpolyGeom);
    addUnitCube(*framed->polyGeom());
    TpolyPokeFty shifted;
    shifted.setLocalTrans({0, 0, 1});
    T4dDblMatrix m;
    m.m[3][0] = 5;
    shifted.setMatrix(m);
    ASSERT_EQ(poke(*framed, {1}, shifted), 0);
    EXPECT_NEAR(distanceTo(framed->polyGeom()->vertexConst(8), T3dFltPoint(0.5f, 0.5f, 2)), 0, 1e-5);
    EXPECT_NEAR(distanceTo(framed->polyGeom()->vertexConst(0), T3dFltPoint(0, 0, 0)), 0, 1e-5);
    EXPECT_DOUBLE_EQ(shifted.Matrix().m[3][0], -5.0);

    std::unique_ptr<TmidModifierFty> made(TmodifierRegistry::create("TpolyPokeFty"));
    ASSERT_TRUE(made);
    EXPECT_TRUE(TmodifierRegistry::setParameter(*made, "LocalTrans", "0 0 1"));
    EXPECT_TRUE(TmodifierRegistry::setParameter(*made, "Zelto70", "false"));
    EXPECT_FALSE(TmodifierRegistry::setParameter(*made, "Translate", "1 2"));
    EXPECT_EQ(static_cast<TpolyPokeFty&>(*made).LocalTrans().z, 1.0);
    EXPECT_FALSE(static_cast<TpolyPokeFty&>(*made).Zelto70());
}

// Corners at old vertices keep their values; a centre's UVs and colour are the mean over its
// quad, whose lowest vertex id is 3 below it (ids run 5 to a row); the triangles of a face are in
// its groups.
TEST(Poke, CarriesAttributesAndGroups) {
    for (const bool zelto : {true, false}) {
        SCOPED_TRACE(zelto);
        auto body = opstest::bodyOf(attributed::grid(4));
        TpolyGeom& before = *body->polyGeom();
        const uint32_t v0 = before.nbVertex(), evenFaces = before.nbElem(3, kPolyGrpFace);
        TpolyPokeFty op;
        op.setZelto70(zelto);
        TmidFaceComponent all = allFaces(before);
        ASSERT_EQ(op.doAction(body.get(), &all), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        EXPECT_EQ(g.nbFace(), 64u);
        EXPECT_EQ(g.nbElem(3, kPolyGrpFace), 4 * evenFaces);
        EXPECT_EQ(g.nbElem(5, kPolyGrpVertex), (v0 + 1) / 2);
        ASSERT_EQ(g.nbMapSet(), 2u);
        ASSERT_EQ(g.nbColorSet(), 1u);
        g.update(dirtyFaceOffsets);
        for (uint32_t f = 0; f < g.nbFace(); ++f) {
            float lo = 1e9f, hi = -1e9f;
            for (uint32_t o = g.faceOffset(f); o < g.faceOffset(f + 1); ++o)
                if (const uint32_t v = g.getStartVertex(o); v < v0)
                    lo = std::min(lo, float(v)), hi = std::max(hi, float(v));
            for (uint32_t o = g.faceOffset(f); o < g.faceOffset(f + 1); ++o) {
                const uint32_t v = g.getStartVertex(o);
                float a[2], b[2], c[4];
                ASSERT_TRUE(g.getUV(uint32_t(g.getUVId(o, 0)), a, 0) && g.getUV(uint32_t(g.getUVId(o, 1)), b, 1) &&
                            g.getColorByOffset(o, c, 0))
                    << "face " << f;
                if (v < v0) {
                    EXPECT_EQ(a[0], float(v));
                    EXPECT_EQ(b[0], float(v));
                    EXPECT_EQ(c[0], float(v));
                } else {
                    EXPECT_LE(a[0] - 3, lo + 1e-4f);
                    EXPECT_GE(a[0] + 3, hi - 1e-4f);
                    EXPECT_FLOAT_EQ(c[0], a[0]);
                }
                EXPECT_EQ(a[1], 0.25f);
            }
        }
    }
}

TEST(Poke, SampleMeshOfQuadsAndTriangles) {
    auto g = opstest::decoratedSample("suzanne.obj");
    ASSERT_TRUE(g);
    g->update(dirtyFaceOffsets);
    const uint32_t v = g->nbVertex(), e = g->nbEdge(), f = g->nbFace(), corners = g->faceDescLength();
    auto body = opstest::bodyOf(std::move(g));
    TpolyPokeFty op;
    op.setLocalTrans({0, 0, 0.01});
    TmidFaceComponent all = allFaces(*body->polyGeom());
    ASSERT_EQ(op.doAction(body.get(), &all), 0);
    TpolyGeom& r = *body->polyGeom();
    EXPECT_EQ(r.nbVertex(), v + f);
    EXPECT_EQ(r.nbEdge(), e + corners);
    EXPECT_EQ(r.nbFace(), corners);
    EXPECT_EQ(facesOfSize(r, 3), corners);
    expectFans(r, v);
    const SurfaceFacts s = inspectSurface(r);
    EXPECT_EQ(s.badEdges, 0u);
    EXPECT_EQ(s.borderEdges, 42u);
}

TEST(Poke, RefusalsLeaveTheRecordAsItWas) {
    auto body = opstest::bodyOf(attributed::cube());
    const std::string state = opstest::recordState(*body->polyGeom());
    TpolyPokeFty op;
    TmidFaceComponent empty, beyond = faceList({6, 40});
    TmidEdgeComponent edges = opstest::allOf<TmidEdgeComponent>(3);
    EXPECT_EQ(op.doAction(body.get(), &empty), -1);
    EXPECT_EQ(op.doAction(body.get(), &beyond), -1);
    EXPECT_EQ(op.doAction(body.get(), &edges), -1);
    EXPECT_EQ(op.doAction(body.get(), nullptr), -1);
    T4dDblMatrix singular;
    singular.m[2][2] = 0;
    op.setMatrix(singular);
    TmidFaceComponent one = faceList({0});
    EXPECT_EQ(op.doAction(body.get(), &one), -1);
    EXPECT_EQ(opstest::recordState(*body->polyGeom()), state);
    TmidBody none(nullptr);
    EXPECT_EQ(op.doAction(&none, &one), -1);
}

}  // namespace
