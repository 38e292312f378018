#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/ObjLoad.h"
#include "uv/UvTestSupport.h"

namespace {

// A body holding a record made by fill, with one UV set whose corners are all unmapped.
template <typename Fill>
std::unique_ptr<TmidBody> bodyOf(Fill&& fill) {
    auto* g = new TpolyGeom;
    fill(*g);
    g->update(dirtyFaceOffsets);
    g->newEmptyMapSet(Tstring("map1"));
    return std::make_unique<TmidBody>(g);
}

// The projected UV of vertex v (through any corner of it in set 0).
T2FloatPair vertexUV(const TpolyGeom& g, uint32_t v) {
    for (uint32_t c = 0; c < g.faceDescLength(); ++c)
        if (g.getStartVertex(c) == v && g.getUVId(c, 0) >= 0) return *g.uvConst(uint32_t(g.getUVId(c, 0)), 0);
    return {NAN, NAN};
}

TEST(UvPlanarProjection, RectangleMapsOntoTheUnitSquareAndSharesUVs) {
    auto body = gridBody(2);
    TpolyGeom& g = *body->polyGeom();
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {  // grid centred on the origin, z varying
        T3dFltPoint& p = g.vertex(v);
        p = {p.x - 1, p.y - 1, float(v) * 0.3f};
    }
    const std::vector<T2FloatPair> before = cornerUVs(g, 0);
    TpolyPlanProjFty plan;
    plan.setUVSetIndex(0);
    plan.setU(1), plan.setV(1), plan.setU2D(0.5f), plan.setV2D(0.5f), plan.setCen2DX(0.5f), plan.setCen2DY(0.5f);
    TmidFaceComponent two;
    two.addRange(0, 1);  // the lower row: vertices 0-5
    ASSERT_EQ(plan.doAction(body.get(), &two), 0);
    EXPECT_NEAR(vertexUV(g, 0).u, 0, 1e-6);
    EXPECT_NEAR(vertexUV(g, 0).v, 0, 1e-6);
    EXPECT_NEAR(vertexUV(g, 5).u, 1, 1e-6);
    EXPECT_NEAR(vertexUV(g, 5).v, 0.5, 1e-6);
    // The shared vertex 4 has one UV in both faces; the upper faces kept their UVs.
    EXPECT_EQ(g.getUVId(g.getVertexOffset(0, 4), 0), g.getUVId(g.getVertexOffset(1, 4), 0));
    for (uint32_t c = g.faceOffset(2); c < g.faceOffset(4); ++c) {
        const uint32_t v = g.getStartVertex(c);
        if (v >= 3) {
            EXPECT_EQ(cornerUVs(g, 0)[c], before[c]) << c;
        }
    }
    EXPECT_NE(g.getUVId(g.getVertexOffset(0, 4), 0), g.getUVId(g.getVertexOffset(2, 4), 0));
    EXPECT_TRUE(cleanRecord(g));

    // A reference frame reads the positions through it and leaves them alone.
    T4dFltMatrix shift;
    shift.m[3][0] = 1;
    plan.setMatrix(shift);
    const T3dFltPoint p0 = g.vertexConst(0);
    ASSERT_EQ(plan.doAction(body.get(), &two), 0);
    EXPECT_EQ(g.vertexConst(0), p0);
    EXPECT_NEAR(vertexUV(g, 0).u, 0.5, 1e-6);
}

TEST(UvPlanarProjection, CubeSidesGiveSixShellsOfScaledArea) {
    auto body = bodyOf([](TpolyGeom& g) { addUnitCube(g); });
    TpolyGeom& g = *body->polyGeom();
    // One projection per side, the frame's plane parallel to it: U = V = 0.5 spans the side,
    // and U2D = V2D = 0.25 scales each side's area 1 by (0.25 / 0.5)^2.
    const float rotations[6][2] = {
        {0, 0}, {0, float(kPi)}, {float(-kPi / 2), 0}, {float(kPi / 2), 0}, {0, float(-kPi / 2)}, {0, float(kPi / 2)}};
    for (uint32_t f = 0; f < 6; ++f) {
        g.update(dirtyFaceNormalize);
        const T3dFltPoint n = g.faceNormalConst(f);
        TpolyPlanProjFty plan;
        plan.setUVSetIndex(0);
        uint32_t pick = 0;
        for (uint32_t k = 0; k < 6; ++k) {
            const T4dFltMatrix r = rotationMatrixXYZ(rotations[k][0], rotations[k][1], 0);
            if (std::fabs(r.m[2][0] * n.x + r.m[2][1] * n.y + r.m[2][2] * n.z) > 0.99f) pick = k;
        }
        plan.setRotateX(rotations[pick][0]);
        plan.setRotateY(rotations[pick][1]);
        plan.setCenX(0.5f), plan.setCenY(0.5f), plan.setCenZ(0.5f);
        plan.setU(0.5f), plan.setV(0.5f), plan.setU2D(0.25f), plan.setV2D(0.25f);
        TmidFaceComponent one;
        one.addElement(f);
        ASSERT_EQ(plan.doAction(body.get(), &one), 0);
    }
    const std::vector<int32_t> shells = uvShells(g, 0);
    EXPECT_EQ(std::count(shells.begin(), shells.end(), -1), 0);
    EXPECT_EQ(*std::max_element(shells.begin(), shells.end()), 5);
    EXPECT_EQ(g.nbUV(0), 24u);
    double area = 0;
    for (uint32_t f = 0; f < 6; ++f) area += std::fabs(g.getUVFaceArea(f, 0));
    EXPECT_NEAR(area, 6 * 0.25, 1e-5);
    EXPECT_TRUE(cleanRecord(g));
}

TEST(UvPlanarProjection, PerspectiveFitsTheUnitSquareAndZeroExtentsStayFinite) {
    auto body = gridBody(3);
    TpolyGeom& g = *body->polyGeom();
    TmidFaceComponent all = allOf<TmidFaceComponent>(g.nbFace());
    TpolyPlanProjFty camera;
    camera.setUVSetIndex(0);
    T4dFltMatrix m;
    m.m[2][3] = 1;  // w = z + 1: a simple perspective divide
    m.m[3][3] = 1;
    camera.setPerspectiveTransValues(m, 4, 8);
    for (uint32_t v = 0; v < g.nbVertex(); ++v) g.vertex(v).z = float(v % 3);
    ASSERT_EQ(camera.doAction(body.get(), &all), 0);
    float lo[2], hi[2];
    ASSERT_TRUE(g.getUVBbox(lo, hi, 0));
    EXPECT_GE(std::min(lo[0], lo[1]), 0.0f);
    EXPECT_LE(std::max(hi[0], hi[1]), 1.0f);
    EXPECT_NEAR(std::max(hi[0] - lo[0], hi[1] - lo[1]), 1.0f, 1e-6);

    // Zero extents, a zero 2-D scale: finite UVs, no division by zero.
    TpolyPlanProjFty flat;
    flat.setUVSetIndex(0);
    ASSERT_EQ(flat.doAction(body.get(), &all), 0);
    TpolySphProjFty sph;
    sph.setUVSetIndex(0);
    sph.setU2D(1), sph.setV2D(1);
    ASSERT_EQ(sph.doAction(body.get(), &all), 0);
    TpolyCylProjFty cyl;
    cyl.setUVSetIndex(0);
    cyl.setU2D(1), cyl.setV2D(1);
    ASSERT_EQ(cyl.doAction(body.get(), &all), 0);
    for (uint32_t i = 0; i < g.nbUV(0); ++i)
        EXPECT_TRUE(std::isfinite(g.uvConst(i, 0)->u) && std::isfinite(g.uvConst(i, 0)->v));
    EXPECT_TRUE(cleanRecord(g));
}

TEST(UvWrapProjection, LongitudeLatitudeAndHeight) {
    auto body = bodyOf([](TpolyGeom& g) {
        for (const T3dFltPoint& p : {T3dFltPoint(0, 0, 1), T3dFltPoint(1, 0, 0), T3dFltPoint(0, 1, 0),
                                     T3dFltPoint(0, 2, 1), T3dFltPoint(-1, 0, 0)})
            g.appendVertex(p);
        addRingFace(g, {0, 1, 2});
        addRingFace(g, {0, 3, 4});
    });
    TpolyGeom& g = *body->polyGeom();
    TmidFaceComponent all = allOf<TmidFaceComponent>(2);
    TpolySphProjFty sph;
    sph.setUVSetIndex(0);
    sph.setU(180), sph.setV(90), sph.setU2D(1), sph.setV2D(1);
    ASSERT_EQ(sph.doAction(body.get(), &all), 0);
    EXPECT_NEAR(vertexUV(g, 0).u, 0, 1e-6);    // on +Z'
    EXPECT_NEAR(vertexUV(g, 1).u, 0.5, 1e-6);  // on +X': (pi / 2) / pi
    EXPECT_NEAR(vertexUV(g, 4).u, -0.5, 1e-6);
    EXPECT_NEAR(vertexUV(g, 2).u, 0, 1e-6);  // the pole
    EXPECT_NEAR(vertexUV(g, 2).v, 1, 1e-6);
    EXPECT_NEAR(vertexUV(g, 3).v, std::atan2(2.0, 1.0) / (kPi / 2), 1e-5);

    TpolyCylProjFty cyl;
    cyl.setUVSetIndex(0);
    cyl.setU(360), cyl.setV(4), cyl.setU2D(1), cyl.setV2D(1), cyl.setCen2DX(0.5f);
    ASSERT_EQ(cyl.doAction(body.get(), &all), 0);
    EXPECT_NEAR(vertexUV(g, 3).v, 0.5, 1e-6);
    EXPECT_NEAR(vertexUV(g, 1).u, 0.5 + 0.25, 1e-6);
    EXPECT_TRUE(cleanRecord(g));
}

// The widest u span of a face: small when no face straddles the longitude seam.
float widestFace(const TpolyGeom& g) {
    float widest = 0;
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        float lo = 1e9f, hi = -1e9f;
        for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1); ++c) {
            const float u = g.uvConst(uint32_t(g.getUVId(c, 0)), 0)->u;
            lo = std::min(lo, u), hi = std::max(hi, u);
        }
        widest = std::max(widest, hi - lo);
    }
    return widest;
}

TEST(UvWrapProjection, SeamCorrectionKeepsFacesAcrossTheSeamWhole) {
    TmeshBallFty ball;
    ball.setXSubdivide(12);
    ball.setYSubdivide(8);
    ball.setUVSetName(Tstring("map1"));
    auto body = std::make_unique<TmidBody>(ball.createBall().release());
    TpolyGeom& g = *body->polyGeom();
    TmidFaceComponent all = allOf<TmidFaceComponent>(g.nbFace());
    TpolySphProjFty sph;
    sph.setUVSetIndex(0);
    sph.setU(180), sph.setV(90), sph.setU2D(0.5f), sph.setV2D(0.5f), sph.setCen2DX(0.5f), sph.setCen2DY(0.5f);
    ASSERT_EQ(sph.doAction(body.get(), &all), 0);
    EXPECT_GT(widestFace(g), 0.8f);  // the seam faces span nearly the whole width
    sph.setSeamCorrect(true);
    ASSERT_EQ(sph.doAction(body.get(), &all), 0);
    EXPECT_LT(widestFace(g), 0.3f);
    for (uint32_t i = 0; i < g.nbUV(0); ++i) EXPECT_GT(g.uvConst(i, 0)->u, -1.0f);  // no marker left
    EXPECT_TRUE(cleanRecord(g));

    TpolyCylProjFty cyl;
    cyl.setUVSetIndex(0);
    cyl.setU(360), cyl.setV(1), cyl.setU2D(1), cyl.setV2D(1), cyl.setSeamCorrect(true);
    ASSERT_EQ(cyl.doAction(body.get(), &all), 0);
    EXPECT_LT(widestFace(g), 0.3f);
    EXPECT_TRUE(cleanRecord(g));
}

TEST(UvProjection, BadInputIsRefused) {
    auto bare = std::make_unique<TmidBody>(new TpolyGeom);
    buildQuadGrid(*bare->polyGeom(), 2);
    TmidFaceComponent faces = allOf<TmidFaceComponent>(4);
    TmidEdgeComponent edges = allOf<TmidEdgeComponent>(4);
    TpolyPlanProjFty plan;
    plan.setUVSetIndex(0);
    EXPECT_EQ(plan.doAction(bare.get(), &faces), -1);  // no UV set
    auto body = gridBody(2);
    const TpolyGeom before(*body->polyGeom());
    EXPECT_EQ(plan.doAction(body.get(), &edges), -1);  // wrong kind
    TpolySphProjFty unset;                             // set index all ones
    EXPECT_EQ(unset.doAction(body.get(), &faces), -1);
    TpolyAutoProjFty autoProj;
    autoProj.setMapSet(4);  // no such set
    EXPECT_EQ(autoProj.doAction(body.get(), &faces), -1);
    EXPECT_EQ(body->polyGeom()->compareObject(before), 0u);
}

TEST(UvOperations, HostsCreateEveryOperationByName) {
    const char* const names[] = {"TpolyPlanProjFty", "TpolySphProjFty", "TpolyCylProjFty", "TpolyAutoProjFty",
                                 "TpolyLayoutUVFty", "TpolyMoveUVFty",  "TpolyMergeUVFty", "TpolyMapCutFty",
                                 "TpolyMapSewFty",   "TpolyMapDelFty",  "TpolyCopyUVFty",  "TpolyForceUVFty"};
    for (const char* name : names) {
        std::unique_ptr<TmidModifierFty> fty(TmodifierRegistry::create(name));
        ASSERT_NE(fty, nullptr) << name;
        EXPECT_STREQ(fty->typeof()->name(), name);
    }
    // The shared bases are abstract.
    for (const char* name : {"TpolyUvProjFty", "TpolyWrapProjFty", "TpolyUvSetFty"})
        EXPECT_EQ(TmodifierRegistry::create(name), nullptr) << name;
    EXPECT_TRUE(TpolyCylProjFty::sMetaclass.istype(&TpolyUvProjFty::sMetaclass));
    EXPECT_TRUE(TpolyMapSewFty::sMetaclass.istype(&TmidModifierFty::sMetaclass));
}

}  // namespace
