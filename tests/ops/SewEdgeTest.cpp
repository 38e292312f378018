#include <gtest/gtest.h>

#include "ops/OpsTestSupport.h"
#include "ops/SeamSupport.h"

using opstest::allOf;
using opstest::bodyOf;
using opstest::recordState;
using seam::twoQuads;

namespace {
// Gives every corner a UV of its own at its vertex's (x, y).
void ownUVs(TpolyGeom& g) {
    g.update(dirtyFaceOffsets);
    const uint32_t s = g.newEmptyMapSet(Tstring("map1"));
    for (uint32_t o = 0; o < g.faceDescLength(); ++o) {
        const T3dFltPoint& p = g.vertexConst(g.getStartVertex(o));
        g.setUVId(o, g.appendUV(p.x, p.y, s), s);
    }
}

// Selects every edge as the current edge group and sews it.
int sewAll(TmidBody& body, TpolySewEdgeFty& fty) {
    TpolyGeom& g = *body.polyGeom();
    auto all = allOf<TmidEdgeComponent>(g.nbEdge());
    int name;
    EXPECT_TRUE(TmidModifierFty::getActiveGrpName(&body, &all, kPolyGrpEdge, name));
    return fty.sewEdges(&g, -1, nullptr, nullptr, false);
}

uint32_t borderEdges(TpolyGeom& g) {
    g.update(dirtyFaceOffsets | dirtyEdgeToFace);
    uint32_t n = 0;
    for (uint32_t e = 0; e < g.nbEdge(); ++e) n += g.isBorder(e) ? 1 : 0;
    return n;
}
}  // namespace

TEST(SewEdge, TwoQuadsBecomeOneSharedEdgeAtTheMidpoints) {
    auto body = bodyOf(twoQuads());
    TpolyGeom& g = *body->polyGeom();
    g.vertex(4).y += 0.0004f;
    g.vertex(7).y += 0.0004f;
    ownUVs(g);
    TpolyIdMapper mapper(true, true, true);
    TpolySewEdgeFty fty;
    fty.setThreshold(0.001);
    fty.setIdMapper(&mapper);
    EXPECT_EQ(sewAll(*body, fty), 0);
    EXPECT_EQ(g.nbVertex(), 6u);
    EXPECT_EQ(g.nbEdge(), 7u);
    EXPECT_EQ(g.nbFace(), 2u);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    EXPECT_EQ(borderEdges(g), 6u);
    // The first edge (1 to 2) survives at the midpoints; the second quad's ends map onto it.
    EXPECT_NEAR(g.vertexConst(1).y, 0.0002f, 1e-7f);
    EXPECT_NEAR(g.vertexConst(2).y, 1.0002f, 1e-7f);
    const TuInt32Array& vm = *mapper.vertexMap();
    EXPECT_EQ(vm[4], 1u);
    EXPECT_EQ(vm[7], 2u);
    EXPECT_EQ(vm[5], 4u);
    EXPECT_EQ((*mapper.edgeMap())[7], (*mapper.edgeMap())[1]);
    EXPECT_EQ((*mapper.faceMap())[1], 1u);
    // The UVs of the two sides along the sewn edge became one at each end: 8 corners, 6 UVs.
    EXPECT_EQ(g.nbUV(0), 6u);
    g.update(dirtyFaceOffsets);
    EXPECT_EQ(g.getUVId(g.getVertexOffset(0, 1), 0), g.getUVId(g.getVertexOffset(1, 1), 0));
    // The flat join is soft.
    EXPECT_TRUE(g.isSmooth(1));

    // Threshold 0 sews exactly coincident edges; without SewMap the UVs stay apart.
    auto exact = bodyOf(twoQuads());
    ownUVs(*exact->polyGeom());
    TpolySewEdgeFty keepUVs;
    keepUVs.setSewMap(false);
    EXPECT_EQ(sewAll(*exact, keepUVs), 0);
    EXPECT_EQ(exact->polyGeom()->nbEdge(), 7u);
    EXPECT_EQ(exact->polyGeom()->nbUV(0), 8u);
    EXPECT_EQ(exact->polyGeom()->checkObject(kCheckAll), 0u);
}

TEST(SewEdge, OutOfReachTwistedStackedAndRefusedPairs) {
    {
        // 0.01 apart with a threshold of 0.001 (or a negative one): nothing within reach.
        auto body = bodyOf(twoQuads());
        TpolyGeom& g = *body->polyGeom();
        for (uint32_t v = 4; v < 8; ++v) g.vertex(v).x += 0.01f;
        TpolySewEdgeFty fty;
        for (double t : {0.001, -0.02}) {
            fty.setThreshold(t);
            auto all = allOf<TmidEdgeComponent>(g.nbEdge());
            int name;
            ASSERT_TRUE(TmidModifierFty::getActiveGrpName(body.get(), &all, kPolyGrpEdge, name));
            g.update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
            const std::string state = recordState(g);
            EXPECT_EQ(fty.sewEdges(&g, -1, nullptr, nullptr, false), -2) << t;
            EXPECT_EQ(recordState(g), state);
            EXPECT_EQ(fty.doAction(body.get(), nullptr), 0);
            EXPECT_EQ(recordState(g), state);
        }
    }
    {
        // Coincident ends but directions too far apart for the angle threshold: every pair within
        // reach fails it (100), nothing changes.
        auto body = bodyOf(twoQuads());
        TpolySewEdgeFty fty;
        fty.setThreshold(0.01);
        fty.setAngleThreshold(1.01);
        EXPECT_EQ(sewAll(*body, fty), 100);
        EXPECT_EQ(body->polyGeom()->nbEdge(), 8u);
    }
    {
        // A third quad on top of the second, 0.0002 above it: the exact pair is sewn, the third
        // edge stays a border.
        auto g = twoQuads();
        for (T3dFltPoint p :
             {T3dFltPoint(1, 0, 2e-4f), T3dFltPoint(2, 0, 2e-4f), T3dFltPoint(2, 1, 2e-4f), T3dFltPoint(1, 1, 2e-4f)})
            g->appendVertex(p);
        addRingFace(*g, {8, 9, 10, 11});
        auto body = bodyOf(std::move(g));
        TpolySewEdgeFty fty;
        fty.setThreshold(0.001);
        EXPECT_EQ(sewAll(*body, fty), 0);
        TpolyGeom& r = *body->polyGeom();
        EXPECT_EQ(r.nbEdge(), 11u);
        EXPECT_EQ(r.nbVertex(), 10u);
        EXPECT_EQ(borderEdges(r), 10u);
        EXPECT_EQ(r.checkObject(kCheckAll), 0u);
    }
    {
        // No usable border edge: a quad's own edges pair with nothing (-2), an edge of three
        // faces is no candidate (-1); a list of another kind is refused.
        auto quad = std::make_unique<TpolyGeom>();
        for (T3dFltPoint p : {T3dFltPoint(0, 0, 0), T3dFltPoint(1, 0, 0), T3dFltPoint(1, 1, 0), T3dFltPoint(0, 1, 0),
                              T3dFltPoint(0, 0, 1), T3dFltPoint(1, 0, 1), T3dFltPoint(0, 0, -1), T3dFltPoint(1, 0, -1)})
            quad->appendVertex(p);
        addRingFace(*quad, {0, 1, 2, 3});
        addRingFace(*quad, {1, 0, 4, 5});
        addRingFace(*quad, {1, 0, 6, 7});
        auto body = bodyOf(std::move(quad));
        TpolyGeom& g = *body->polyGeom();
        TpolySewEdgeFty fty;
        fty.setThreshold(10);
        TmidEdgeComponent fin;
        fin.addElement(0);  // shared by all three faces
        int name;
        ASSERT_TRUE(TmidModifierFty::getActiveGrpName(body.get(), &fin, kPolyGrpEdge, name));
        EXPECT_EQ(fty.sewEdges(&g, -1, nullptr, nullptr, false), -1);
        TmidEdgeComponent sides;
        sides.addElement(1);
        sides.addElement(2);
        ASSERT_TRUE(TmidModifierFty::getActiveGrpName(body.get(), &sides, kPolyGrpEdge, name));
        EXPECT_EQ(fty.sewEdges(&g, -1, nullptr, nullptr, false), -2);
        TmidFaceComponent faces;
        faces.addElement(0);
        EXPECT_EQ(fty.doAction(body.get(), &faces), -1);
        EXPECT_EQ(g.nbEdge(), 10u);
        EXPECT_FALSE(TpolyMergeEdgeFty::isOkForAction(&g, 1, 2, true));   // one face
        EXPECT_FALSE(TpolyMergeEdgeFty::isOkForAction(&g, 0, 4, true));   // not a border edge
        EXPECT_FALSE(TpolyMergeEdgeFty::isOkForAction(&g, 1, 99, true));  // out of range
    }
}

TEST(SewEdge, MergeEdgeFusesTwoChosenEdges) {
    auto body = bodyOf(twoQuads());
    TpolyGeom& g = *body->polyGeom();
    for (uint32_t v = 4; v < 8; ++v) g.vertex(v).x += 0.5f;  // far beyond any threshold
    // Refusals change nothing, also on a record whose topology tables were never built (building
    // them marks the border edges hard): an edge with its neighbour in the same face, an edge
    // with itself, an edge out of range.
    const std::string state = recordState(g);
    for (auto [a, b] : {std::pair{0, 1}, std::pair{7, 7}, std::pair{1, 99}}) {
        TpolyMergeEdgeFty bad;
        bad.setFirstEdge(a);
        bad.setSecondEdge(b);
        EXPECT_EQ(bad.doAction(body.get(), nullptr), -1) << a << ' ' << b;
        EXPECT_EQ(recordState(g), state) << a << ' ' << b;
    }
    ASSERT_TRUE(TpolyMergeEdgeFty::isOkForAction(&g, 1, 7, true));
    TpolyMergeEdgeFty fty;
    fty.setFirstEdge(1);
    fty.setSecondEdge(7);
    ASSERT_EQ(fty.doAction(body.get(), nullptr), 0);
    EXPECT_EQ(g.nbVertex(), 6u);
    EXPECT_EQ(g.nbEdge(), 7u);
    EXPECT_NEAR(g.vertexConst(1).x, 1.25f, 1e-6f);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
}

TEST(SewEdge, SampleMeshCutAlongASeamSewsBackToTheOriginal) {
    for (bool sewMap : {false, true}) {
        seam::Pair meshes = seam::split("cow.obj");
        ASSERT_TRUE(meshes.whole && meshes.cut);
        TpolyCompact::removeUnusedUVs(*meshes.cut);
        auto body = bodyOf(std::move(meshes.cut));
        TpolyGeom& g = *body->polyGeom();
        TpolyGeom& whole = *meshes.whole;
        TpolySewEdgeFty fty;
        fty.setThreshold(1e-5);
        fty.setSewMap(sewMap);
        auto all = allOf<TmidEdgeComponent>(g.nbEdge());
        ASSERT_EQ(fty.doAction(body.get(), &all), 0);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        ASSERT_EQ(g.nbVertex(), whole.nbVertex());
        ASSERT_EQ(g.nbEdge(), whole.nbEdge());
        ASSERT_EQ(g.nbFace(), whole.nbFace());
        EXPECT_EQ(borderEdges(g), borderEdges(whole));
        // Faces keep their ids and corners; each corner stands where it stood, with its UV value.
        g.update(dirtyFaceOffsets);
        whole.update(dirtyFaceOffsets);
        ASSERT_EQ(g.faceDescLength(), whole.faceDescLength());
        for (uint32_t o = 0; o < g.faceDescLength(); ++o) {
            ASSERT_EQ(g.vertexConst(g.getStartVertex(o)), whole.vertexConst(whole.getStartVertex(o))) << o;
            float a[2], b[2];
            ASSERT_TRUE(g.getUV(uint32_t(g.getUVId(o, 0)), a, 0));
            ASSERT_TRUE(whole.getUV(uint32_t(whole.getUVId(o, 0)), b, 0));
            ASSERT_EQ(a[0], b[0]);
            ASSERT_EQ(a[1], b[1]);
        }
        // Sewing the UVs joins the two copies the pieces had at each seam vertex.
        EXPECT_EQ(g.nbUV(0), whole.nbUV(0) - (sewMap ? meshes.seamVertices : 0)) << sewMap;
    }
}
