#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "brindle/brindle.h"
#include "support/ObjLoad.h"

namespace {

constexpr uint32_t kEnd = TpolyBits::kNoId;

// An nx by ny grid of quads, vertex i + nx' j at (i, j) where nx' is nx + 1 (nx when wrapping).
// wrapX / wrapY join the last column / row to the first, so both together make a torus.
struct Tgrid {
    uint32_t nx, ny;
    bool wrapX, wrapY;
    uint32_t vx() const { return wrapX ? nx : nx + 1; }
    uint32_t vertex(uint32_t i, uint32_t j) const { return (i % vx()) + vx() * (wrapY ? j % ny : j); }
    uint32_t face(uint32_t i, uint32_t j) const { return i + nx * j; }
};

Tgrid buildGrid(TpolyGeom& g, uint32_t nx, uint32_t ny, bool wrapX = false, bool wrapY = false) {
    Tgrid t{nx, ny, wrapX, wrapY};
    uint32_t rows = wrapY ? ny : ny + 1;
    for (uint32_t j = 0; j < rows; ++j)
        for (uint32_t i = 0; i < t.vx(); ++i) g.appendVertex(float(i), float(j), 0.0f);
    for (uint32_t j = 0; j < ny; ++j)
        for (uint32_t i = 0; i < nx; ++i)
            addRingFace(g, {t.vertex(i, j), t.vertex(i + 1, j), t.vertex(i + 1, j + 1), t.vertex(i, j + 1)});
    g.update(dirtyAll);
    return t;
}

uint32_t edgeBetween(TpolyGeom& g, uint32_t a, uint32_t b) {
    for (uint32_t e = 0; e < g.nbEdge(); ++e)
        if ((g.startVertex(e) == a && g.endVertex(e) == b) || (g.startVertex(e) == b && g.endVertex(e) == a)) return e;
    return kEnd;
}

template <typename It>
std::vector<uint32_t> walk(It& it, uint32_t first) {
    std::vector<uint32_t> out;
    for (uint32_t e = first; e != kEnd; e = it.next()) out.push_back(e);
    return out;
}

TEST(Traversal, VertexFacesAndLoops) {
    TpolyGeom g;
    Tgrid t = buildGrid(g, 4, 3);
    std::set<uint32_t> faces;
    for (TvertexFaceIterator it(&g, t.vertex(2, 1)); !it.isDone(); it.next()) faces.insert(it.face());
    EXPECT_EQ(faces, (std::set<uint32_t>{t.face(1, 0), t.face(2, 0), t.face(1, 1), t.face(2, 1)}));
    TvertexFaceIterator corner(&g, t.vertex(0, 0));
    EXPECT_EQ(corner.face(), t.face(0, 0));
    EXPECT_EQ(corner.next(), TpolyBits::kNoFace);

    // A horizontal loop through an interior edge runs to both borders and stops at them.
    uint32_t mid = edgeBetween(g, t.vertex(2, 1), t.vertex(3, 1));
    TedgeLoopIterator loop(&g);
    std::vector<uint32_t> one = walk(loop, loop.reset(mid, false)), other = walk(loop, loop.reset(mid, true));
    EXPECT_EQ(one.size() + other.size(), 5u);
    EXPECT_FALSE(loop.isClosed());
    TbitFieldFixedN bits;
    EXPECT_EQ(TedgeLoopIterator::getEdgesOnThisLoop(&g, mid, bits), 4u);
    for (uint32_t k = 0; k < 4; ++k) EXPECT_TRUE(bits.testBit(edgeBetween(g, t.vertex(k, 1), t.vertex(k + 1, 1))));
    // Left and right neighbours at an interior vertex are the vertical edges there.
    loop.reset(mid, false);
    uint32_t i = loop.vertex() == t.vertex(2, 1) ? 2 : 3;
    std::set<uint32_t> sides{loop.leftEdge(), loop.rightEdge()};
    EXPECT_EQ(sides, (std::set<uint32_t>{edgeBetween(g, t.vertex(i, 0), t.vertex(i, 1)),
                                         edgeBetween(g, t.vertex(i, 1), t.vertex(i, 2))}));

    // A border edge has no loop at either end here: the walk gives the edge alone.
    uint32_t border = edgeBetween(g, t.vertex(1, 0), t.vertex(2, 0));
    EXPECT_EQ(walk(loop, loop.reset(border, false)).size(), 1u);
    EXPECT_EQ(loop.reset(g.nbEdge(), false), kEnd);
}

TEST(Traversal, LoopClosesOnTorusAndStopsAtPole) {
    TpolyGeom torus;
    Tgrid t = buildGrid(torus, 5, 4, true, true);
    uint32_t e = edgeBetween(torus, t.vertex(1, 2), t.vertex(2, 2));
    TedgeLoopIterator loop(&torus);
    std::vector<uint32_t> edges = walk(loop, loop.reset(e, true));
    EXPECT_TRUE(loop.isClosed());
    EXPECT_EQ(std::set<uint32_t>(edges.begin(), edges.end()).size(), 5u);
    EXPECT_EQ(edges.size(), 5u);

    // A grid whose vertex (2, 1) gets a fifth edge (a diagonal splitting a quad): a loop started
    // there stops at once at that end and goes on from the other end.
    TpolyGeom g;
    Tgrid s{4, 3, false, false};
    for (uint32_t j = 0; j <= 3; ++j)
        for (uint32_t i = 0; i <= 4; ++i) g.appendVertex(float(i), float(j), 0.0f);
    for (uint32_t j = 0; j < 3; ++j)
        for (uint32_t i = 0; i < 4; ++i) {
            std::vector<uint32_t> q{s.vertex(i, j), s.vertex(i + 1, j), s.vertex(i + 1, j + 1), s.vertex(i, j + 1)};
            if (i == 2 && j == 1) {
                addRingFace(g, {q[0], q[1], q[2]});
                addRingFace(g, {q[0], q[2], q[3]});
            } else {
                addRingFace(g, q);
            }
        }
    g.update(dirtyAll);
    uint32_t pole = s.vertex(2, 1), start = edgeBetween(g, s.vertex(1, 1), pole);
    TedgeLoopIterator it(&g);
    it.reset(start, true);  // asks for the pole end first
    EXPECT_EQ(it.vertex(), s.vertex(1, 1));
    std::vector<uint32_t> edges2 = walk(it, start);
    EXPECT_EQ(edges2.size(), 2u);
    EXPECT_EQ(edges2.back(), edgeBetween(g, s.vertex(0, 1), s.vertex(1, 1)));
}

TEST(Traversal, RingsAndPaths) {
    // Round a band of quads the ring through a rung crosses every quad once and closes.
    TpolyGeom band;
    Tgrid b = buildGrid(band, 6, 1, true);
    TedgeRingIterator ring(&band);
    std::vector<uint32_t> rungs = walk(ring, ring.reset(edgeBetween(band, b.vertex(2, 0), b.vertex(2, 1))));
    EXPECT_TRUE(ring.isClosed());
    EXPECT_FALSE(ring.switchingDirection());
    EXPECT_EQ(std::set<uint32_t>(rungs.begin(), rungs.end()).size(), 6u);
    EXPECT_EQ(rungs.size(), 6u);

    // On an open strip it turns round at the border; the first rung was made the other way round
    // (by face 0's ring) and is reported reversed.
    TpolyGeom strip;
    Tgrid s = buildGrid(strip, 4, 1);
    auto rung = [&](TpolyGeom& g, const Tgrid& t, uint32_t i) {
        return edgeBetween(g, t.vertex(i, 0), t.vertex(i, 1));
    };
    std::vector<uint32_t> got;
    std::vector<bool> reversed, switched;
    ring.setPoly(&strip);
    for (uint32_t e = ring.reset(rung(strip, s, 2)); e != kEnd; e = ring.next()) {
        got.push_back(e);
        reversed.push_back(ring.direction() == kReversed);
        switched.push_back(ring.switchingDirection());
    }
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(std::set<uint32_t>(got.begin(), got.end()).size(), 5u);
    for (size_t k = 0; k < got.size(); ++k) EXPECT_EQ(reversed[k], got[k] == rung(strip, s, 0)) << k;
    EXPECT_FALSE(switched[1]);
    EXPECT_TRUE(switched.back());

    // A triangle ends the ring in that direction.
    TpolyGeom tri;
    for (uint32_t j = 0; j <= 1; ++j)
        for (uint32_t i = 0; i <= 3; ++i) tri.appendVertex(float(i), float(j), 0.0f);
    addRingFace(tri, {0, 1, 5, 4});
    addRingFace(tri, {1, 2, 6, 5});
    addRingFace(tri, {2, 3, 7});
    addRingFace(tri, {2, 7, 6});
    ring.setPoly(&tri);
    EXPECT_EQ(walk(ring, ring.reset(edgeBetween(tri, 1, 5))).size(), 3u);
    EXPECT_EQ(ring.reset(tri.nbEdge()), kEnd);

    // A path keeps to the allowed rungs, one way per reset.
    TbitFieldFixedN allowed(strip.nbEdge());
    for (uint32_t i : {1u, 2u, 3u}) allowed.setBit(rung(strip, s, i));
    TedgePathIterator path(&strip, rung(strip, s, 2), allowed);
    std::vector<uint32_t> oneWay = walk(path, path.edge()), otherWay = walk(path, path.reset(rung(strip, s, 2), true));
    ASSERT_EQ(oneWay.size(), 2u);
    ASSERT_EQ(otherWay.size(), 2u);
    EXPECT_EQ((std::set<uint32_t>{oneWay[1], otherWay[1]}), (std::set<uint32_t>{rung(strip, s, 1), rung(strip, s, 3)}));
}

TEST(Traversal, FloodFills) {
    TpolyGeom g;
    Tgrid t = buildGrid(g, 4, 3);
    for (uint32_t v : {0u, 1u, 5u}) g.appendVertex(float(v), 9.0f, 0.0f);
    addRingFace(g, {g.nbVertex() - 3, g.nbVertex() - 2, g.nbVertex() - 1});  // a second shell
    g.update(dirtyAll);

    // Breadth first over one shell: each face once, from a face it shares the traversed edge with.
    TfaceTraversal fill(&g, t.face(0, 0));
    std::vector<uint32_t> order{fill.face()};
    std::vector<uint32_t> depth(g.nbFace(), 0);
    for (uint32_t f = fill.next(); f != kEnd; f = fill.next()) {
        order.push_back(f);
        depth[f] = depth[fill.fromFace()] + 1;
        uint32_t e = fill.traversedEdge();
        EXPECT_EQ(g.getEdge(fill.fromOffset()), e);
        EXPECT_TRUE(g.getEdgeFace(e).side[0] == f || g.getEdgeFace(e).side[1] == f);
        EXPECT_GE(depth[f], depth[order[order.size() - 2]]);
    }
    EXPECT_EQ(order.size(), 12u);
    EXPECT_EQ(std::set<uint32_t>(order.begin(), order.end()).size(), 12u);
    EXPECT_FALSE(fill.isFaceVisited(12));

    // A band of excluded faces stops it; a rejected face is not scanned further.
    TbitFieldFixedN bandFaces(g.nbFace());
    for (uint32_t j = 0; j < 3; ++j) bandFaces.setBit(t.face(2, j));
    TfaceTraversal bounded(&g);
    bounded.excludeFaces(bandFaces);
    uint32_t n = 0;
    for (uint32_t f = bounded.reset(t.face(0, 0), false); f != kEnd; f = bounded.next()) {
        EXPECT_LT(f % 4, 2u);
        ++n;
    }
    EXPECT_EQ(n, 6u);
    TfaceTraversal rejecting(&g, t.face(0, 0));
    rejecting.rejectCurrentFace();
    EXPECT_EQ(rejecting.next(), kEnd);

    // Through vertices the corner face reaches its diagonal neighbour in the first ring.
    TfaceTraversalThroughVert byVertex(&g, t.face(0, 0));
    std::set<uint32_t> first;
    for (uint32_t f = byVertex.next(); f != kEnd && byVertex.fromFace() == t.face(0, 0); f = byVertex.next())
        first.insert(f);
    EXPECT_EQ(first, (std::set<uint32_t>{t.face(1, 0), t.face(0, 1), t.face(1, 1)}));

    // Edges through vertices cover the shell's edges, each once.
    TedgeTraversal edges(&g, 0);
    std::set<uint32_t> seen{edges.edge()};
    for (uint32_t e = edges.next(); e != kEnd; e = edges.next()) {
        EXPECT_TRUE(seen.insert(e).second);
        uint32_t v = edges.traversedVertex();
        EXPECT_TRUE(g.startVertex(e) == v || g.endVertex(e) == v);
    }
    EXPECT_EQ(seen.size(), g.nbEdge() - 3);
}

TEST(Traversal, GlobalWalkers) {
    TpolyGeom g;
    buildGrid(g, 2, 1);
    // A triangle with a triangular hole as face 2: six corners in two loops, six triangles.
    uint32_t v0 = g.nbVertex();
    for (float p : {0.0f, 10.0f, 20.0f}) g.appendVertex(p, p == 20.0f ? 10.0f : 5.0f, 1.0f);
    for (float p : {9.0f, 10.0f, 11.0f}) g.appendVertex(p, p == 10.0f ? 7.0f : 6.0f, 1.0f);
    g.bgnFace(6);
    for (uint32_t k = 0; k < 6; ++k) {
        g.refEdge(g.appendEdge(v0 + k, v0 + (k % 3 == 2 ? k - 2 : k + 1)), kForward);
        if (k % 3 == 2) g.endLoop();
    }
    g.endFace();
    g.markDirty(dirtyAll);

    TglobalFaceIterator faces(&g);
    EXPECT_EQ(walk(faces, faces.reset()), (std::vector<uint32_t>{0, 1, 2}));

    std::vector<uint32_t> trgFaces;
    TglobalTrgIterator trgs(&g);
    for (uint32_t t = trgs.reset(); t != kEnd; t = trgs.next()) {
        trgFaces.push_back(trgs.face());
        for (uint32_t k = 0; k < 3; ++k) EXPECT_EQ(g.cornerVertexOfTriangle(trgs.face(), t, k), trgs.cornerVertex(k));
    }
    EXPECT_EQ(trgFaces, (std::vector<uint32_t>{0, 0, 1, 1, 2, 2, 2, 2, 2, 2}));

    TfaceIterator corners(&g, 2);
    std::vector<uint32_t> loops;
    for (; !corners.isDone(); corners.next()) {
        loops.push_back(corners.loop());
        EXPECT_EQ(corners.vertex(), v0 + loops.size() - 1);
    }
    EXPECT_EQ(loops, (std::vector<uint32_t>{0, 0, 0, 1, 1, 1}));
    EXPECT_EQ(corners.reset(3), kEnd);
}

TEST(Traversal, SelectionHelpersAndFilters) {
    TpolyGeom g;
    Tgrid t = buildGrid(g, 3, 3);
    // Column 1's left edges are hard: the crease region of face (0, 0) is column 0.
    for (uint32_t j = 0; j < 3; ++j) g.setHard(edgeBetween(g, t.vertex(1, j), t.vertex(1, j + 1)));
    TbitFieldFixedN faces(g.nbFace());
    faces.setBit(t.face(0, 1));
    ASSERT_TRUE(g.extendToCrease(kPolyGrpFace, faces));
    EXPECT_EQ(faces.countSet(), 3u);
    for (uint32_t j = 0; j < 3; ++j) EXPECT_TRUE(faces.testBit(t.face(0, j)));
    // The crease line runs on to the border (where border edges join it) ...
    TbitFieldFixedN edges(g.nbEdge());
    edges.setBit(edgeBetween(g, t.vertex(1, 1), t.vertex(1, 2)));
    ASSERT_TRUE(g.extendToCrease(kPolyGrpEdge, edges));
    for (uint32_t j = 0; j < 3; ++j) EXPECT_TRUE(edges.testBit(edgeBetween(g, t.vertex(1, j), t.vertex(1, j + 1))));
    // ... and stops at the border vertices, where three hard edges meet.
    EXPECT_EQ(edges.countSet(), 3u);
    EXPECT_FALSE(g.extendToCrease(kPolyGrpVertex, edges));

    EXPECT_EQ(g.selectAllInGrp(7, kPolyGrpEdge), int32_t(g.nbEdge()));
    EXPECT_EQ(g.selectAllInGrp(7, kPolyGrpNone), -1);
    uint32_t sel = g.bgnGroup(3, kPolyGrpFace);
    g.addElement(sel, t.face(1, 1));
    uint32_t rest = g.computeFaceComplement(3);
    EXPECT_EQ(g.nbElem(g.getName(rest), kPolyGrpFace), 8u);
    EXPECT_FALSE(g.isInGroup(kPolyGrpFace, g.getName(rest), t.face(1, 1)));

    // Without a constraint group every existing component passes filter 0; with one, only its
    // members, in testItem, the filtered conversions and the filtered host events.
    EXPECT_TRUE(g.testItem(0, kPolyGrpFace, 0));
    EXPECT_FALSE(g.testItem(g.nbFace(), kPolyGrpFace, 0));
    EXPECT_FALSE(g.testItem(0, kPolyGrpFace, 1));
    uint32_t c = g.bgnGroup(TpolyGeom::kGrpNameConstraint, kPolyGrpFace);
    g.appendBlock(c, t.face(0, 0), t.face(2, 0));
    EXPECT_TRUE(g.testItem(t.face(1, 0), kPolyGrpFace, 0));
    EXPECT_FALSE(g.testItem(t.face(1, 1), kPolyGrpFace, 0));
    TbitFieldFixedN vertex(g.nbVertex()), out;
    vertex.setBit(t.vertex(1, 1));
    ASSERT_TRUE(g.groupVertex2Face(vertex, out, 1, false));
    EXPECT_EQ(out.countSet(), 4u);
    ASSERT_TRUE(g.groupVertex2Face(vertex, out, 1, true));
    EXPECT_EQ(out.countSet(), 2u);
    EXPECT_EQ(g.GroupManage(kPolyGrpFace, kGrpEventSelectAll, -1, 0, 0, 0, 0), 3);
    EXPECT_EQ(g.GroupManage(kPolyGrpFace, kGrpEventReverse, -1, 0, 0, 0, 0), 0);
    EXPECT_EQ(g.GroupManage(kPolyGrpEdge, kGrpEventSelectAll, -1, 0, 0, 0, 0), int32_t(g.nbEdge()));
    // Active edge constraints filter without a constraint group: filter 1 passes nothing.
    TpolyConstraints::globActiveConstraints = 1u << kPolyGrpEdge;
    EXPECT_EQ(g.GroupManage(kPolyGrpEdge, kGrpEventSelectAll, -1, 0, 0, 1, 0), 0);
    TpolyConstraints::globActiveConstraints = 0;

    // The component-list conversion with a filter drops the same faces.
    TmidBody body(new TpolyGeom(g));
    TmidVertComponent centre;
    centre.addElement(t.vertex(1, 1));
    TmidFaceComponent listed;
    TmidCompConvert::convert(&body, centre, listed, 1, true);
    EXPECT_EQ(listed.elementCount(), 2u);
    TmidCompConvert::convert(&body, centre, listed, 1, false);
    EXPECT_EQ(listed.elementCount(), 4u);
}

}  // namespace
