#include <gtest/gtest.h>

#include "ops/OpsTestSupport.h"

using opstest::allOf;
using opstest::bodyOf;

namespace {
// Each edge bounds exactly one face on each side: no border, and no two faces using an edge the
// same way round (which the topology would file as a non-manifold side).
uint32_t edgesNotClosedConsistently(TpolyGeom& g) {
    g.update(dirtyFaceOffsets | dirtyEdgeToFace);
    uint32_t bad = 0;
    for (uint32_t e = 0; e < g.nbEdge(); ++e) {
        const TpolyWingEdge& w = g.getEdgeFace(e);
        bad += !TpolyTopo::isSingleFace(w.side[kLeft]) || !TpolyTopo::isSingleFace(w.side[kRight]);
    }
    return bad;
}

int close(TmidBody& body, TmidComponent* list) {
    TpolyCloseBorderFty fty;
    return fty.doAction(&body, list);
}

// The decorated cube without its last face (x = 1): a box open on one side.
std::unique_ptr<TmidBody> openBox() {
    auto g = std::make_unique<TpolyGeom>();
    addUnitCube(*g);
    g->update(dirtyFaceOffsets);
    const uint32_t cut = g->faceOffset(5);
    g->removeLoopEdge(cut, g->faceDescLength() - cut);
    g->setNbFace(5);
    g->markDirty(dirtyAll);
    attributed::decorate(*g);
    return bodyOf(std::move(g));
}
}  // namespace

TEST(CloseBorder, OneEdgeClosesTheWholeHoleWithNeighbourUVs) {
    for (bool wholeLoop : {false, true}) {
        auto body = openBox();
        TpolyGeom& g = *body->polyGeom();
        g.update(dirtyEdgeToFace);
        TmidEdgeComponent list;
        for (uint32_t e = 0; e < g.nbEdge(); ++e)
            if (g.isBorder(e) && (wholeLoop || list.elementCount() == 0)) list.addElement(e);
        ASSERT_EQ(close(*body, &list), 0);
        ASSERT_EQ(g.nbFace(), 6u);
        g.update(dirtyFaceOffsets);
        EXPECT_EQ(g.faceVertexCount(5), 4u);
        EXPECT_EQ(edgesNotClosedConsistently(g), 0u);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        // The selection is now the four edges that were closed.
        EXPECT_EQ(g.nbElem(-1, kPolyGrpEdge), 4u);
        // Shared UVs ("map1") and per-face UVs ("map2") both come from the neighbours.
        for (uint32_t s = 0; s < 2; ++s) {
            ASSERT_TRUE(g.isMapped(5, s));
            for (uint32_t o = g.faceOffset(5); o < g.faceOffset(6); ++o) {
                float uv[2];
                ASSERT_TRUE(g.getUV(uint32_t(g.getUVId(o, s)), uv, s));
                EXPECT_EQ(uv[0], float(g.getStartVertex(o)));
                if (s == 0) {
                    EXPECT_EQ(uv[1], 0.25f);
                }
            }
        }
        EXPECT_FALSE(g.hasColorAtOffset(g.faceOffset(5), 0));
    }
}

TEST(CloseBorder, InnerEdgesWireEdgesAndNonManifoldLoopsMakeNoFace) {
    auto body = openBox();
    TpolyGeom& g = *body->polyGeom();
    TmidEdgeComponent inner;
    g.update(dirtyEdgeToFace);
    for (uint32_t e = 0; e < g.nbEdge(); ++e)
        if (!g.isBorder(e)) inner.addElement(e);
    ASSERT_EQ(close(*body, &inner), 0);
    EXPECT_EQ(g.nbFace(), 5u);
    EXPECT_EQ(g.nbElem(-1, kPolyGrpEdge), 0u);  // only the selection changed
    TmidVertComponent vertices;
    vertices.addElement(0);
    EXPECT_EQ(close(*body, &vertices), -1);

    // Two triangles meeting at one vertex (a bow tie): the border loop passes a vertex that is
    // not 2-manifold and stays open; the wire edge gives nothing either.
    auto t = std::make_unique<TpolyGeom>();
    for (T3dFltPoint p : {T3dFltPoint(0, 0, 0), T3dFltPoint(1, 0, 0), T3dFltPoint(0, 1, 0), T3dFltPoint(-1, 0, 0),
                          T3dFltPoint(0, -1, 0)})
        t->appendVertex(p);
    addRingFace(*t, {0, 1, 2});
    addRingFace(*t, {0, 3, 4});
    t->appendEdge(1, 3);
    auto tie = bodyOf(std::move(t));
    auto all = allOf<TmidEdgeComponent>(7);
    ASSERT_EQ(close(*tie, &all), 0);
    EXPECT_EQ(tie->polyGeom()->nbFace(), 2u);

    // A cube slit along one edge (its second face uses a twin edge on the same two vertices): the
    // hole has two edges and no polygon fills it.
    auto c = std::make_unique<TpolyGeom>();
    addUnitCube(*c);
    c->update(dirtyFaceOffsets);
    uint32_t second = 0;
    for (uint32_t o = 0; o < c->faceDescLength(); ++o)
        if (c->getEdge(o) == 0) second = o;
    const uint32_t twin = c->appendEdge(c->startVertex(0), c->endVertex(0));
    c->setEdge(second, twin, c->getDirection(second));
    c->markDirty(dirtyAll);
    auto slit = bodyOf(std::move(c));
    auto edges = allOf<TmidEdgeComponent>(twin + 1);
    ASSERT_EQ(close(*slit, &edges), 0);
    EXPECT_EQ(slit->polyGeom()->nbFace(), 6u);
    EXPECT_EQ(slit->polyGeom()->checkObject(kCheckAll), 0u);
}

TEST(CloseBorder, EveryHoleOfOpenSampleMeshesCloses) {
    for (const char* sample : {"suzanne.obj", "woody.obj"}) {
        auto g = std::make_unique<TpolyGeom>();
        ASSERT_TRUE(loadObj(std::string(BRINDLE_DATA_DIR) + "/" + sample, *g));
        const uint32_t faces = g->nbFace();
        auto body = bodyOf(std::move(g));
        TpolyGeom& r = *body->polyGeom();
        auto all = allOf<TmidEdgeComponent>(r.nbEdge());
        ASSERT_EQ(close(*body, &all), 0);
        EXPECT_GT(r.nbFace(), faces) << sample;
        EXPECT_EQ(edgesNotClosedConsistently(r), 0u) << sample;
        EXPECT_EQ(r.checkObject(kCheckAll), 0u);
    }
}
