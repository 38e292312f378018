#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "brindle/brindle.h"
#include "support/ObjLoad.h"

namespace {

void addFace(TpolyGeom& g, const std::vector<uint32_t>& ring) { addRingFace(g, ring); }

void addVertices(TpolyGeom& g, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) g.appendVertex(float(i % 3), float(i / 3), float(i % 2));
}

std::set<uint32_t> ringEdges(TpolyGeom& g, uint32_t v) {
    std::set<uint32_t> out;
    TvertexEdgeIterator it(&g, v);
    for (; !it.isDone(); it.next()) {
        EXPECT_TRUE(g.startVertex(it.edge(), it.direction()) == v) << "edge " << it.edge();
        out.insert(it.edge());
    }
    return out;
}

TEST(PolyTopo, ClosedCubeWalksEveryRingOnce) {
    TpolyGeom g;
    addUnitCube(g);
    ASSERT_EQ(g.nbEdge(), 12u);
    g.update(dirtyAll);
    for (uint32_t e = 0; e < 12; ++e) {
        EXPECT_FALSE(g.isBorder(e));
        EXPECT_TRUE(g.isEdgeManifold(e));
        EXPECT_FALSE(g.isHard(e));  // interior edges keep their flag
        TedgeFaceIterator it(&g, e);
        EXPECT_EQ(it.getSide(), kLeft);
        const uint32_t a = it.face(), b = it.next();
        EXPECT_EQ(it.getSide(), kRight);
        EXPECT_NE(a, b);
        EXPECT_EQ(it.next(), TpolyBits::kNoFace);
        EXPECT_TRUE(it.isDone());
    }
    for (uint32_t v = 0; v < 8; ++v) {
        EXPECT_EQ(g.vertexOrder(v), 3u);
        EXPECT_TRUE(g.checkIfVertexTwoManifold(v));
        EXPECT_EQ(ringEdges(g, v).size(), 3u);
    }
    TedgeFaceIterator none(&g, 99);
    EXPECT_TRUE(none.isDone());
    TvertexEdgeIterator far(&g, 99);
    EXPECT_TRUE(far.isDone());
}

TEST(PolyTopo, GridBorderVerticesStartOnTheirBorderEdge) {
    // 3 x 3 quads: 16 vertices, the 12 border ones of order 2 or 3, the 4 inner ones of order 4.
    TpolyGeom g;
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i) g.appendVertex(float(i), float(j), 0);
    for (uint32_t j = 0; j < 3; ++j)
        for (uint32_t i = 0; i < 3; ++i) addFace(g, {j * 4 + i, j * 4 + i + 1, j * 4 + i + 5, j * 4 + i + 4});
    g.update(dirtyAll);
    // The update hardens border edges and leaves the others as they were made.
    uint32_t border = 0;
    for (uint32_t e = 0; e < g.nbEdge(); ++e) {
        border += g.isBorder(e);
        EXPECT_EQ(g.isHard(e), g.isBorder(e)) << e;
    }
    EXPECT_EQ(border, 12u);
    EXPECT_FALSE(g.nonManifoldVertices());
    for (uint32_t v = 0; v < 16; ++v) {
        const bool inner = v == 5 || v == 6 || v == 9 || v == 10;
        const std::set<uint32_t> ring = ringEdges(g, v);
        EXPECT_EQ(ring.size(), g.vertexOrder(v));
        if (inner) {
            EXPECT_EQ(g.vertexOrder(v), 4u);
        } else {
            // The walk leaves through a face, so the leaving border edge has its face on that side.
            EXPECT_TRUE(g.isBorder(g.leavingEdge(v)));
            EXPECT_TRUE(g.hasSide(g.leavingEdge(v), Tside(g.leavingDirection(v))));
        }
    }
}

TEST(PolyTopo, NonManifoldEdgesAndVerticesGetRuns) {
    // Three triangles on edge 0-1, bow-ties at vertices 5 and 2, a vertex with no edge (9).
    TpolyGeom g;
    addVertices(g, 10);
    addFace(g, {0, 1, 2});
    addFace(g, {0, 1, 3});
    addFace(g, {1, 0, 4});
    addFace(g, {5, 6, 7});
    addFace(g, {5, 8, 2});
    EXPECT_TRUE(g.nonManifoldEdges());
    EXPECT_TRUE(g.nonManifoldVertices());
    const TpolyTopo& t = *g.topo();
    EXPECT_FALSE(g.isEdgeManifold(0));
    EXPECT_TRUE(g.isHard(0));
    std::vector<uint32_t> faces;
    for (TedgeFaceIterator it(&g, 0); !it.isDone(); it.next()) faces.push_back(it.face());
    EXPECT_EQ(faces, (std::vector<uint32_t>{0, 1, 2}));
    TedgeFaceIterator right(&g, 0, kRight);
    EXPECT_EQ(right.face(), 2u);
    EXPECT_TRUE(right.isTwoManifold());
    EXPECT_EQ(right.next(), TpolyBits::kNoFace);

    for (uint32_t v : {0u, 1u, 2u, 5u}) {
        EXPECT_FALSE(g.isVertexTwoManifold(v)) << v;
        const std::set<uint32_t> ring = ringEdges(g, v);
        EXPECT_EQ(ring.size(), g.vertexOrder(v));
        TvertexEdgeIterator it(&g, v);
        EXPECT_FALSE(it.isTwoManifold());
    }
    EXPECT_EQ(g.vertexOrder(5), 4u);
    EXPECT_EQ(g.vertexOrder(0), 4u);
    // Every run ends with its last bit and holds only ids of edges at its vertex.
    uint32_t ends = 0;
    for (uint32_t i = 0; i < t.fN2MEdges.size(); ++i) ends += (t.fN2MEdges[i] >> 31);
    EXPECT_EQ(ends, 4u);
    EXPECT_TRUE(g.isVertexTwoManifold(9));
    EXPECT_EQ(g.vertexOrder(9), 0u);
    EXPECT_EQ(g.leavingEdge(9), TpolyBits::kNoEdge);
    EXPECT_TRUE(TvertexEdgeIterator(&g, 9).isDone());
}

TEST(PolyTopo, FaceUsingAnEdgeTwiceIsNonManifold) {
    TpolyGeom g;
    addVertices(g, 3);
    const uint32_t a = g.appendEdge(0, 1), b = g.appendEdge(1, 2);
    g.bgnFace(4);
    g.refEdge(a, kForward);
    g.refEdge(b, kForward);
    g.refEdge(b, kForward);
    g.refEdge(a, kForward);
    g.endLoop();
    g.endFace();
    g.update(dirtyAll);
    EXPECT_TRUE(g.nonManifoldEdges());
    std::vector<uint32_t> faces;
    for (TedgeFaceIterator it(&g, b); !it.isDone(); it.next()) faces.push_back(it.face());
    EXPECT_EQ(faces, (std::vector<uint32_t>{0, 0}));
    for (uint32_t v = 0; v < 3; ++v) EXPECT_EQ(ringEdges(g, v).size() <= g.vertexOrder(v), true);
}

TEST(PolyTopo, DirectionRepairs) {
    TpolyGeom g;
    addVertices(g, 4);
    addFace(g, {0, 1, 2});
    g.setDirection(1, kReversed);
    g.update(dirtyAll);
    g.fixEdgeDirections();
    EXPECT_EQ(g.getDirection(0), kForward);
    EXPECT_EQ(g.getDirection(1), kForward);
    EXPECT_EQ(g.getDirection(2), kForward);
    EXPECT_TRUE(g.isDirty(dirtyEdgeToFace));

    g.setDirection(0, kReversed);
    g.setDirection(2, kReversed);
    EXPECT_TRUE(g.fixEdgeConnections(0));
    for (uint32_t o = 0; o < 3; ++o) EXPECT_EQ(g.getEndVertex(o), g.getStartVertex((o + 1) % 3)) << o;
    EXPECT_FALSE(g.fixEdgeConnections(5));
}

}  // namespace
