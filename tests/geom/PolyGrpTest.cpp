#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "support/GridBuilder.h"
#include "brindle/geom/PolyGeom.h"

namespace {

// 3 x 3 quads, vertex id i + 4j at (i, j); face id i + 3j. The outer ring of faces is on the border.
void buildGrid(TpolyGeom& g) {
    buildQuadGrid(g, 3);
    g.update(dirtyFaceOffsets);
}

// A UV set whose corners use the UV of their vertex, so UV conversions must mirror vertex ones.
void addVertexUVs(TpolyGeom& g) {
    uint32_t s = g.newEmptyMapSet("map1");
    g.setCurrentMap(s);
    for (uint32_t v = 0; v < g.nbVertex(); ++v) g.appendUV(g.vertexConst(v).x / 3, g.vertexConst(v).y / 3, s);
    for (uint32_t c = 0; c < g.faceDescLength(); ++c) g.setUVId(c, int32_t(g.getStartVertex(c)), s);
}

TbitFieldFixedN bitsOf(uint32_t size, std::initializer_list<uint32_t> ids) {
    TbitFieldFixedN b(size);
    for (uint32_t id : ids) b.setBit(id);
    return b;
}

std::vector<uint32_t> setIds(const TbitFieldFixedN& b) {
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < b.size(); ++i)
        if (b.testBit(i)) out.push_back(i);
    return out;
}

using Ids = std::vector<uint32_t>;

}  // namespace

TEST(PolyGrp, NamesLookupAndItemEncoding) {
    TpolyGeom g;
    EXPECT_EQ(g.getFreeGrpName(), 1);
    EXPECT_EQ(g.getFreeTmpGrpName(), -999);
    uint32_t a = g.appendGrp(1, kPolyGrpFace);
    g.appendGrp(4, kPolyGrpVertex);
    g.appendGrp(-999, kPolyGrpEdge);
    EXPECT_EQ(g.getFreeGrpName(), 5);
    EXPECT_EQ(g.getFreeTmpGrpName(), -1000);
    g.appendGrp(-1000, kPolyGrpEdge);
    EXPECT_EQ(g.getFreeTmpGrpName(), -1001);

    // The later of two same-named groups wins; None matches either way.
    uint32_t b = g.appendGrp(1, kPolyGrpEdge);
    EXPECT_EQ(g.findGrp(1, kPolyGrpNone), int32_t(b));
    EXPECT_EQ(g.findGrp(1, kPolyGrpFace), int32_t(a));
    EXPECT_EQ(g.findGrp(1, kPolyGrpUV), -1);
    ASSERT_TRUE(g.appendBlock(a, 10, 20));
    ASSERT_TRUE(g.endGroup(a));
    ASSERT_EQ(g.nbItem(a), 2u);
    EXPECT_EQ(g.getItem(a, 0), 10u);
    EXPECT_TRUE(g.itemBlock(a, 0));
    EXPECT_FALSE(g.endOfGroup(a, 0));
    EXPECT_EQ(g.getItem(a, 1), 20u);
    EXPECT_TRUE(g.endOfGroup(a, 1));
    EXPECT_EQ(g.nbElem(1, kPolyGrpFace), 11u);
    EXPECT_TRUE(g.isInGroup(kPolyGrpFace, 1, 15));
    EXPECT_FALSE(g.isInGroup(kPolyGrpFace, 1, 21));

    // Items arriving out of order still make the canonical sorted list.
    const uint32_t ids[] = {7, 3, 5, 4};
    ASSERT_TRUE(g.appendItem(b, ids, 4));
    EXPECT_EQ(g.nbItem(b), 3u);  // 3:5 block and 7
    EXPECT_EQ(g.getItem(b, 2), 7u);

    // Out-of-range group indices and wrong families leave everything unchanged.
    uint32_t n = g.nbGroup();
    EXPECT_FALSE(g.addElement(n, 1));
    EXPECT_FALSE(g.appendBlock(n, 1, 2));
    EXPECT_FALSE(g.appendBlock(a, 5, 1));
    EXPECT_EQ(g.nbItem(n), 0u);
    EXPECT_TRUE(g.grpIsEmpty(n));
    EXPECT_FALSE(g.removeGroup(n));
    EXPECT_FALSE(g.mergeGroups(a, n));
    uint32_t vf = g.appendGrp(2, kPolyGrpVertexFace);
    EXPECT_FALSE(g.addElement(vf, 3));
    EXPECT_FALSE(g.mergeGroups(a, vf));
    EXPECT_EQ(g.nbElem(1, kPolyGrpFace), 11u);
    TsingleIndexedComponent list;
    list.addElement(1);
    EXPECT_FALSE(g.setObjectGroupComponent(2, kPolyGrpVertexFace, list));
    EXPECT_EQ(g.nbGroup(), n + 1);

    uint32_t untyped = g.appendGrp(1, kPolyGrpNone);
    EXPECT_EQ(g.findGrp(1, kPolyGrpUV), int32_t(untyped));
    EXPECT_EQ(g.findGrp(1, kPolyGrpFace), int32_t(untyped));
    EXPECT_TRUE(g.removeGroup(1, kPolyGrpNone));
    EXPECT_EQ(g.findGrp(1, kPolyGrpUV), -1);
}

TEST(PolyGrp, CurrentGroupsAndObjectGroups) {
    TpolyGeom g;
    buildGrid(g);
    EXPECT_FALSE(g.hasObjectGroup(-1, kPolyGrpFace));
    TsingleIndexedComponent sel;
    sel.addRange(2, 4);
    ASSERT_TRUE(g.setObjectGroupComponent(-1, kPolyGrpFace, sel));
    int32_t cur = g.findGrp(-1, kPolyGrpFace);
    ASSERT_GE(cur, 0);
    EXPECT_TRUE(g.objectGroupComponent(-1, kPolyGrpFace)->isEqual(sel));

    // Setting again replaces the members of the same group; adding and removing edit them.
    TsingleIndexedComponent other;
    other.addElement(8);
    ASSERT_TRUE(g.setObjectGroupComponent(-1, kPolyGrpFace, other));
    EXPECT_EQ(g.findGrp(-1, kPolyGrpFace), cur);
    EXPECT_EQ(g.nbElem(-1, kPolyGrpFace), 1u);
    ASSERT_TRUE(g.addObjectGroupComponent(-1, kPolyGrpFace, sel));
    EXPECT_EQ(g.nbElem(-1, kPolyGrpFace), 4u);
    ASSERT_TRUE(g.removeObjectGroupComponent(-1, kPolyGrpFace, other));
    EXPECT_TRUE(g.objectGroupComponent(-1, kPolyGrpFace)->isEqual(sel));

    // Each kind has its own current group; resetting one keeps it but empties it.
    TbitFieldFixedN verts = bitsOf(g.nbVertex(), {0, 15});
    ASSERT_TRUE(g.flagsToGroup(kPolyGrpVertex, -1, verts));
    EXPECT_NE(g.findGrp(-1, kPolyGrpVertex), cur);
    g.group(uint32_t(cur)).resetGroup();
    EXPECT_TRUE(g.grpIsEmpty(uint32_t(cur)));
    EXPECT_TRUE(g.hasObjectGroup(-1, kPolyGrpFace));
    TbitFieldFixedN back;
    EXPECT_EQ(g.flagsFromGroup(kPolyGrpVertex, -1, back), 2);
    EXPECT_EQ(back, verts);
    EXPECT_EQ(g.flagsFromGroup(kPolyGrpUV, -1, back), -1);

    // bgnGroup starts the named group afresh.
    uint32_t b = g.bgnGroup(-1, kPolyGrpVertex);
    EXPECT_EQ(int32_t(b), g.findGrp(-1, kPolyGrpVertex));
    EXPECT_TRUE(g.grpIsEmpty(b));

    EXPECT_TRUE(g.changeObjectGroupId(-1, 7, kPolyGrpFace));
    EXPECT_FALSE(g.hasObjectGroup(-1, kPolyGrpFace));
    EXPECT_TRUE(g.removeObjectGroup(7, kPolyGrpFace));
    EXPECT_FALSE(g.removeObjectGroup(7, kPolyGrpFace));
}

// Conversion results are checked against the plain incidences below; here the cases that test
// does not reach: refusals, a record without UV sets, and corner pairs.
TEST(PolyGrp, ConversionRefusalsMissingUVsAndCornerPairs) {
    TpolyGeom g;
    buildGrid(g);
    TbitFieldFixedN block = bitsOf(9, {0, 1, 3, 4}), a, b;
    // Bad mode or kind: refused, output untouched.
    TbitFieldFixedN out = block;
    EXPECT_FALSE(g.groupFace2Edge(block, out, 3));
    EXPECT_FALSE(g.convertFlags(kPolyGrpNone, kPolyGrpFace, block, out, 0));
    EXPECT_EQ(out, block);

    // No UV set: conversions to and from UVs leave the target empty.
    ASSERT_TRUE(g.groupFace2UV(block, a, 1));
    EXPECT_EQ(a.size(), 0u);
    ASSERT_TRUE(g.groupUV2Face(a, b, 1));
    EXPECT_FALSE(b.anySet());

    // Pairs and corner bits round trip, pairs in (vertex, face) order.
    TbitFieldFixedN corners;
    ASSERT_TRUE(g.groupFace2VF(bitsOf(9, {4}), corners, 0));
    EXPECT_EQ(setIds(corners), Ids({16, 17, 18, 19}));
    TlongDoubleIndexedComponent pairs;
    g.flagsToComponent(corners, pairs);
    ASSERT_EQ(pairs.elementCount(), 4u);
    EXPECT_EQ(pairs.element(0), (TidPair{5, 4}));
    EXPECT_EQ(pairs.element(3), (TidPair{10, 4}));
    pairs.addElement(99, 4);  // no such vertex: ignored
    pairs.addElement(5, 50);  // no such face: ignored
    g.flagsFromComponent(pairs, a);
    EXPECT_EQ(a, corners);
}

TEST(PolyGrp, GroupFormsSetOperationsAndRenumbering) {
    TpolyGeom g;
    buildGrid(g);
    uint32_t faces = g.appendGrp(1, kPolyGrpFace);
    g.appendBlock(faces, 0, 1);
    g.addElement(faces, 3);
    g.addElement(faces, 4);
    uint32_t dst = g.appendGrp(2, kPolyGrpNone);
    ASSERT_TRUE(g.groupFace2Edge(int(faces), int(dst), 0));
    EXPECT_EQ(g.getType(dst), kPolyGrpEdge);
    EXPECT_EQ(g.nbElem(2, kPolyGrpEdge), 8u);
    // Wrong source kind, bad index: refused, destination untouched.
    EXPECT_FALSE(g.groupVertex2Edge(int(faces), int(dst), 0));
    EXPECT_FALSE(g.groupFace2Edge(int(faces), 99, 0));
    EXPECT_FALSE(g.groupFace2Edge(-1, int(dst), 0));
    EXPECT_EQ(g.nbElem(2, kPolyGrpEdge), 8u);

    // By name, creating the destination; into a vertex-face group.
    ASSERT_TRUE(g.convertGroup(1, kPolyGrpFace, 3, kPolyGrpVertexFace, 0));
    EXPECT_EQ(g.nbElem(3, kPolyGrpVertexFace), 16u);
    ASSERT_TRUE(g.convertGroup(uint32_t(g.findGrp(3, kPolyGrpVertexFace)), faces, 0));
    EXPECT_EQ(g.nbElem(1, kPolyGrpFace), 4u);
    EXPECT_FALSE(g.convertGroup(9, kPolyGrpFace, 3, kPolyGrpVertex, 0));

    uint32_t other = g.appendGrp(4, kPolyGrpFace);
    g.appendBlock(other, 4, 6);
    uint32_t work = g.appendGrp(5, kPolyGrpFace);
    ASSERT_TRUE(g.copyGroups(work, faces));
    ASSERT_TRUE(g.mergeGroups(work, other));
    EXPECT_EQ(g.nbElem(5, kPolyGrpFace), 6u);
    ASSERT_TRUE(g.diffeGroups(work, other));
    EXPECT_EQ(g.nbElem(5, kPolyGrpFace), 3u);
    EXPECT_FALSE(g.intersectGroups(work, other));
    EXPECT_TRUE(g.grpIsEmpty(work));
    ASSERT_TRUE(g.copyGroups(work, faces));
    EXPECT_TRUE(g.intersectGroups(work, other));
    EXPECT_EQ(g.nbElem(5, kPolyGrpFace), 1u);
    ASSERT_TRUE(g.groupReverse(work));
    EXPECT_EQ(g.nbElem(5, kPolyGrpFace), 8u);
    EXPECT_FALSE(g.isInGroup(kPolyGrpFace, 5, 4));

    // Face 1 removed, later faces shift down; ids beyond the map are dropped.
    std::vector<uint32_t> map(9);
    for (uint32_t f = 0; f < 9; ++f) map[f] = f == 1 ? TpolyBits::kNoId : f - (f > 1);
    g.addElement(other, 20);
    g.renumGrp(kPolyGrpFace, 9, map.data());
    TbitFieldFixedN bits;
    g.flagsFromGroup(kPolyGrpFace, 1, bits);
    EXPECT_EQ(setIds(bits), Ids({0, 2, 3}));
    EXPECT_EQ(g.nbElem(4, kPolyGrpFace), 3u);
    EXPECT_TRUE(g.isInGroup(kPolyGrpFace, 4, 5));
    EXPECT_EQ(g.nbElem(2, kPolyGrpEdge), 8u);
}

TEST(PolyGrp, BoundingBoxes) {
    TpolyGeom g;
    buildGrid(g);
    addVertexUVs(g);
    T3dFltPoint mn, mx, c;
    EXPECT_FALSE(g.grpBboxInfo(-1, kPolyGrpFace, mn, mx));
    uint32_t f = g.appendGrp(-1, kPolyGrpFace);
    EXPECT_FALSE(g.grpBboxInfo(-1, kPolyGrpFace, mn, mx));
    g.addElement(f, 4);
    g.addElement(f, 8);
    ASSERT_TRUE(g.grpBboxInfo(-1, kPolyGrpFace, mn, mx));
    EXPECT_EQ(mn, T3dFltPoint(1, 1, 0));
    EXPECT_EQ(mx, T3dFltPoint(3, 3, 0));
    ASSERT_TRUE(g.getCurrentGrpCenterAndBbox(kPolyGrpFace, c, mn, mx));
    EXPECT_EQ(c, T3dFltPoint(2, 2, 0));

    g.setVertex(3, T3dFltPoint(3, 0, -2));
    TbitFieldFixedN e(g.nbEdge());
    e.setBit(2);  // vertex 2 to 3
    g.flagsToGroup(kPolyGrpEdge, 6, e);
    ASSERT_TRUE(g.grpBboxInfo(6, kPolyGrpEdge, mn, mx));
    EXPECT_EQ(mn, T3dFltPoint(2, 0, -2));
    EXPECT_EQ(mx, T3dFltPoint(3, 0, 0));

    uint32_t uv = g.appendGrp(7, kPolyGrpUV);
    g.appendBlock(uv, 0, 5);
    ASSERT_TRUE(g.grpBboxInfo(7, kPolyGrpUV, mn, mx));
    EXPECT_EQ(mn, T3dFltPoint(0, 0, 0));
    EXPECT_FLOAT_EQ(mx.x, 1.0f);
    EXPECT_FLOAT_EQ(mx.y, 1.0f / 3);

    // In world space every kind goes through its vertices, each placed by the matrix.
    T4dFltMatrix toWorld;
    toWorld.m[0][0] = 2;
    toWorld.m[3][0] = 10;
    ASSERT_TRUE(g.getWorldSpaceBbox(-1, kPolyGrpFace, toWorld, mn, mx));
    EXPECT_EQ(mn, T3dFltPoint(12, 1, 0));
    EXPECT_EQ(mx, T3dFltPoint(16, 3, 0));
    ASSERT_TRUE(g.getWorldSpaceBbox(7, kPolyGrpUV, toWorld, mn, mx));
    EXPECT_EQ(mn, T3dFltPoint(10, 0, -2));
    EXPECT_EQ(mx, T3dFltPoint(16, 1, 0));
}

TEST(PolyGrp, MalformedDescriptionIsSkippedNotFollowed) {
    TpolyGeom g;
    buildGrid(g);
    addVertexUVs(g);
    // A corner naming an edge that does not exist and a UV id beyond the set.
    g.setEdge(5, 1000);
    g.setUVId(6, -1, 0);
    std::mt19937 rng(7);
    for (int trial = 0; trial < 20; ++trial) {
        for (TpolyGrpType from : {kPolyGrpVertex, kPolyGrpEdge, kPolyGrpFace, kPolyGrpUV, kPolyGrpVertexFace}) {
            TbitFieldFixedN in(g.getMaxVal(from) + 3), out;  // a source larger than the kind
            for (uint32_t i = 0; i < in.size(); ++i) in.setBit(i, rng() & 1);
            for (TpolyGrpType to : {kPolyGrpVertex, kPolyGrpEdge, kPolyGrpFace, kPolyGrpUV, kPolyGrpVertexFace}) {
                ASSERT_TRUE(g.convertFlags(from, to, in, out, int(rng() % 3)));
                EXPECT_EQ(out.size(), g.getMaxVal(to));
            }
        }
    }
}

TEST(PolyGrp, HostGroupEvents) {
    TpolyGeom g;
    buildGrid(g);
    const TpolyGrpType F = kPolyGrpFace;
    EXPECT_EQ(g.GroupManage(kPolyGrpNone, kGrpEventCount, 1, 0, 0, 0, 0), -1);
    EXPECT_EQ(g.GroupManage(F, TpolyGrpEvent(12), 1, 0, 0, 0, 0), -1);
    // Missing group: count answers -2, events that only read or empty answer 0 and create nothing.
    EXPECT_EQ(g.GroupManage(F, kGrpEventCount, 1, 0, 0, 0, 0), -2);
    EXPECT_EQ(g.GroupManage(F, kGrpEventEmpty, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(g.GroupManage(F, kGrpEventAddRemoveItem, 1, 0, kGrpModeShrink, 0, 3), 0);
    EXPECT_EQ(g.GroupManage(F, kGrpEventOtherExists, 1, 2, 0, 0, 0), 0);
    EXPECT_EQ(g.nbGroup(), 0u);

    EXPECT_EQ(g.GroupManage(F, kGrpEventSelectAll, 1, 0, 0, 0, 0), 9);
    ASSERT_EQ(g.nbItem(0), 2u);  // the single block 0..8
    EXPECT_TRUE(g.itemBlock(0, 0));
    EXPECT_EQ(g.GroupManage(F, kGrpEventAddRemoveItem, 1, 0, kGrpModeShrink, 0, 4), 8);
    EXPECT_EQ(g.GroupManage(F, kGrpEventReverse, 1, 0, 0, 0, 0), 1);
    EXPECT_TRUE(g.isInGroup(F, 1, 4));
    // Growing the centre face by its boundary takes all nine. Shrinking keeps the faces none of
    // whose neighbours is out: without face 0, those away from it (the grid border is no face).
    EXPECT_EQ(g.GroupManage(F, kGrpEventGrowShrink, 1, 0, kGrpModeGrow, 0, 0), 9);
    EXPECT_EQ(g.GroupManage(F, kGrpEventGrowShrink, 1, 0, kGrpModeShrink, 0, 0), 9);
    EXPECT_EQ(g.GroupManage(F, kGrpEventAddRemoveItem, 1, 0, kGrpModeShrink, 0, 0), 8);
    EXPECT_EQ(g.GroupManage(F, kGrpEventGrowShrink, 1, 0, kGrpModeShrink, 0, 0), 5);
    TbitFieldFixedN bits;
    g.flagsFromGroup(F, 1, bits);
    EXPECT_EQ(setIds(bits), Ids({2, 5, 6, 7, 8}));

    EXPECT_EQ(g.GroupManage(F, kGrpEventCopyTo, 1, 2, 0, 0, 0), 5);
    EXPECT_EQ(g.GroupManage(F, kGrpEventAddRemoveItem, 1, 0, kGrpModeAdd, 0, 0), 6);
    EXPECT_EQ(g.GroupManage(F, kGrpEventMergeInto, 1, 2, 0, 0, 0), 6);
    EXPECT_EQ(g.GroupManage(F, kGrpEventHandOver, 1, 3, 0, 0, 0), 6);
    EXPECT_EQ(g.GroupManage(F, kGrpEventCount, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(g.GroupManage(F, kGrpEventCount, 3, 0, 0, 0, 0), 6);
    EXPECT_EQ(g.GroupManage(F, kGrpEventOtherExists, 1, 3, 0, 0, 0), 1);
    EXPECT_EQ(g.GroupManage(kPolyGrpVertex, kGrpEventFindFaceGroup, 3, 0, 0, 0, 0), 1);
    EXPECT_EQ(g.GroupManage(F, kGrpEventRemove, 3, 0, 0, 0, 0), 0);
    EXPECT_EQ(g.GroupManage(F, kGrpEventCount, 3, 0, 0, 0, 0), -2);
}

TEST(PolyGrp, ShellsAreCountedAndFilled) {
    TpolyGeom g;
    buildGrid(g);
    // A lone triangle apart from the grid, and a vertex without edges.
    uint32_t a = g.appendVertex(10, 0, 0), b = g.appendVertex(11, 0, 0), c = g.appendVertex(10, 1, 0);
    g.appendVertex(20, 0, 0);
    uint32_t e0 = g.appendEdge(a, b), e1 = g.appendEdge(b, c), e2 = g.appendEdge(c, a);
    g.bgnFace(3);
    g.refEdge(e0, kForward);
    g.refEdge(e1, kForward);
    g.refEdge(e2, kForward);
    g.endLoop();
    g.endFace();
    g.markDirty(dirtyAll);

    TuInt32Array shells;
    EXPECT_EQ(g.markShellMembers(&shells), 2u);
    ASSERT_EQ(shells.size(), 10u);
    EXPECT_EQ(shells[0], 0u);
    EXPECT_EQ(shells[8], 0u);
    EXPECT_EQ(shells[9], 1u);
    EXPECT_TRUE(g.nbShellIsValid());
    EXPECT_EQ(g.nbShell(), 2u);

    TbitFieldFixedN faces = bitsOf(10, {9});
    ASSERT_TRUE(g.extendToShell(kPolyGrpFace, faces));
    EXPECT_EQ(setIds(faces), Ids({9}));
    TbitFieldFixedN verts = bitsOf(g.nbVertex(), {5});
    ASSERT_TRUE(g.extendToShell(kPolyGrpVertex, verts));
    EXPECT_EQ(verts.countSet(), 16u);
    TbitFieldFixedN edges = bitsOf(g.nbEdge(), {e1});
    ASSERT_TRUE(g.extendToShell(kPolyGrpEdge, edges));
    EXPECT_EQ(setIds(edges), Ids({e0, e1, e2}));

    // A triangle meeting the lone one at a vertex only: the same shell, another manifold piece.
    uint32_t d = g.appendVertex(9, -1, 0), f = g.appendVertex(9, 0, 0);
    uint32_t e3 = g.appendEdge(a, d), e4 = g.appendEdge(d, f), e5 = g.appendEdge(f, a);
    g.bgnFace(3);
    for (uint32_t e : {e3, e4, e5}) g.refEdge(e, kForward);
    g.endLoop();
    g.endFace();
    g.markDirty(dirtyAll);
    EXPECT_EQ(g.markShellMembers(), 2u);
    EXPECT_EQ(g.markManifoldMembers(&shells), 3u);
    ASSERT_EQ(shells.size(), 11u);
    EXPECT_NE(shells[9], shells[10]);
    // Host event 5 with mode 8 grows a group to its whole shells.
    g.appendBlock(g.appendGrp(-1, kPolyGrpVertex), 5, 5);
    EXPECT_EQ(g.GroupManage(kPolyGrpVertex, kGrpEventGrowShrink, -1, 0, kGrpModeShell, 0, 0), 16);
}

TEST(PolyGrp, ComponentProperties) {
    // A grid square, an arrowhead (star-shaped, not convex) and a U (neither).
    TpolyGeom g;
    buildGrid(g);
    auto addFace = [&](std::initializer_list<std::pair<float, float>> corners) {
        uint32_t first = g.nbVertex(), k = 0, n = uint32_t(corners.size());
        for (auto [x, y] : corners) g.appendVertex(x, y + 10, 0);
        g.bgnFace(n);
        for (k = 0; k < n; ++k) g.refEdge(g.appendEdge(first + k, first + (k + 1) % n), kForward);
        g.endLoop();
        g.endFace();
        return g.nbFace() - 1;
    };
    uint32_t arrow = addFace({{0, 0}, {2, 1}, {4, 0}, {2, 4}});
    uint32_t u = addFace({{0, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 1}, {1, 1}, {1, 3}, {0, 3}});
    g.markDirty(dirtyAll);
    EXPECT_TRUE(g.checkProperty(4, kPolyPropStarFace, -1));
    EXPECT_TRUE(g.checkProperty(4, kPolyPropConvexFace));
    EXPECT_TRUE(g.checkProperty(arrow, kPolyPropStarFace));
    EXPECT_FALSE(g.checkProperty(arrow, kPolyPropConvexFace));
    EXPECT_FALSE(g.checkProperty(u, kPolyPropStarFace));
    EXPECT_FALSE(g.checkProperty(g.nbFace(), kPolyPropStarFace));
    EXPECT_FALSE(g.checkProperty(0, TpolyProperty(99)));

    EXPECT_TRUE(g.checkProperty(0, kPolyPropBorderEdge));
    EXPECT_FALSE(g.checkProperty(g.getEdge(g.faceOffset(4)), kPolyPropBorderEdge));
    EXPECT_FALSE(g.checkProperty(0, kPolyPropMappedFace));
    addVertexUVs(g);
    EXPECT_TRUE(g.checkProperty(0, kPolyPropMappedFace));
    EXPECT_TRUE(g.checkProperty(0, kPolyPropUVBorderEdge, 0));
    EXPECT_FALSE(g.checkProperty(0, kPolyPropUVBorderEdge, 1));

    // The outline centre colour weights each edge's colour by its length; one missing colour
    // leaves only the corner mean.
    TpolyGeom t;
    buildQuadGrid(t, 1);
    t.setVertex(3, T3dFltPoint(3, 1, 0));
    t.update(dirtyFaceOffsets);
    uint32_t s = t.newEmptyColorSet("c");
    const float reds[] = {1, 0, 0, 0};
    t.appendColor(reds, TpolyColorValue::I, 4, s);
    for (uint32_t c = 0; c < 4; ++c) t.setColorId(c, int32_t(t.getStartVertex(c)), s);
    TpolyColorValue centre;
    ASSERT_TRUE(t.getColorFaceCenter(0, kFaceInfoCornerMean, centre, s));
    EXPECT_FLOAT_EQ(centre.r, 0.25f);
    ASSERT_TRUE(t.getColorFaceCenter(0, kFaceInfoOutlineCentre, centre, s));
    // Round the quad (0,0) (1,0) (3,1) (0,1): only the two unit sides touch the red corner.
    EXPECT_NEAR(centre.r, 1.0 / (5 + std::sqrt(5.0)), 1e-6);
    t.makeColorInvalid(1, s);
    EXPECT_FALSE(t.getColorFaceCenter(0, kFaceInfoOutlineCentre, centre, s));
}

namespace {

// The incidences of two kinds listed the plain way, per face and loop through the face offsets:
// sources[d] holds the kind-A ids incident to the kind-B component d.
std::vector<std::set<uint32_t>> incidences(TpolyGeom& g, TpolyGrpType a, TpolyGrpType b) {
    std::vector<std::set<uint32_t>> sources(g.getMaxVal(b));
    auto add = [&](uint32_t ia, uint32_t ib) {
        if (ia != TpolyBits::kNoId && ib != TpolyBits::kNoId) sources[ib].insert(ia);
    };
    if ((a == kPolyGrpVertex && b == kPolyGrpEdge) || (a == kPolyGrpEdge && b == kPolyGrpVertex)) {
        for (uint32_t e = 0; e < g.nbEdge(); ++e)
            for (uint32_t v : {g.startVertex(e), g.endVertex(e)}) a == kPolyGrpEdge ? add(e, v) : add(v, e);
        return sources;
    }
    const int32_t* uv = g.getUVIdArray(0);
    auto id = [&](TpolyGrpType k, uint32_t c, uint32_t f) -> uint32_t {
        switch (k) {
            case kPolyGrpVertex:
                return g.getStartVertex(c);
            case kPolyGrpEdge:
                return g.getEdge(c);
            case kPolyGrpFace:
                return f;
            case kPolyGrpUV:
                return uv[c] < 0 ? TpolyBits::kNoId : uint32_t(uv[c]);
            default:
                return c;
        }
    };
    auto endsOnly = [](TpolyGrpType x, TpolyGrpType y) {
        return x == kPolyGrpEdge && (y == kPolyGrpUV || y == kPolyGrpVertexFace);
    };
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        for (uint32_t loop = g.faceOffset(f); loop < g.faceOffset(f + 1);) {
            uint32_t end = loop;
            while (!g.endOfLoop(end)) ++end;
            for (uint32_t c = loop; c <= end; ++c) {
                uint32_t n = c == end ? loop : c + 1;
                add(id(a, c, f), id(b, c, f));
                if (endsOnly(a, b)) add(id(a, c, f), id(b, n, f));
                if (endsOnly(b, a)) add(id(a, n, f), id(b, c, f));
            }
            loop = end + 1;
        }
    }
    return sources;
}

TbitFieldFixedN expected(TpolyGeom& g, TpolyGrpType a, TpolyGrpType b, const TbitFieldFixedN& in, int mode) {
    std::vector<std::set<uint32_t>> sources;
    if (a != b) {
        sources = incidences(g, a, b);
    } else {
        // Itself and everything sharing an intermediate component with it.
        TpolyGrpType via = a == kPolyGrpVertex                      ? kPolyGrpEdge
                           : a == kPolyGrpEdge || a == kPolyGrpFace ? kPolyGrpVertex
                                                                    : kPolyGrpFace;
        std::vector<std::set<uint32_t>> around = incidences(g, a, via);
        sources.resize(g.getMaxVal(a));
        for (uint32_t x = 0; x < sources.size(); ++x) sources[x].insert(x);
        for (const std::set<uint32_t>& group : around)
            for (uint32_t x : group) sources[x].insert(group.begin(), group.end());
    }
    TbitFieldFixedN out(g.getMaxVal(b));
    for (uint32_t d = 0; d < sources.size(); ++d) {
        uint32_t inside = 0;
        for (uint32_t s : sources[d]) inside += s < in.size() && in.testBit(s);
        uint32_t outside = uint32_t(sources[d].size()) - inside;
        bool pick = mode == 0 ? inside > 0 && outside == 0 : mode == 1 ? inside > 0 : inside > 0 && outside > 0;
        out.setBit(d, pick);
    }
    return out;
}

}  // namespace

// Every pair of kinds in every mode against the plainly listed incidences, on a record with a
// face with a hole, a UV seam, unmapped corners, a dangling edge and a lone vertex.
TEST(PolyGrp, EveryConversionMatchesItsIncidences) {
    TpolyGeom g;
    buildGrid(g);
    uint32_t first = g.nbVertex();
    for (uint32_t k = 0; k < 8; ++k) g.appendVertex(float(5 + (k < 4 ? 3 : 1) * ((k & 1) ? 1 : -1)), float(k), 0);
    g.appendVertex(30, 30, 30);
    uint32_t firstEdge = g.nbEdge();
    for (uint32_t k = 0; k < 4; ++k) g.appendEdge(first + k, first + (k + 1) % 4);
    for (uint32_t k = 0; k < 4; ++k) g.appendEdge(first + 4 + k, first + 4 + (k + 1) % 4);
    g.appendEdge(0, first + 8);  // no face uses it
    g.bgnFace(8);
    for (uint32_t k = 0; k < 4; ++k) g.refEdge(firstEdge + k, kForward);
    g.endLoop();
    for (uint32_t k = 4; k-- > 0;) g.refEdge(firstEdge + 4 + k, kReversed);
    g.endLoop();
    g.endFace();
    g.markDirty(dirtyAll);
    g.update(dirtyFaceOffsets);
    // One UV per vertex, except that faces with an odd id get UVs of their own (a seam); the
    // holed face's hole stays unmapped.
    uint32_t s = g.newEmptyMapSet("map1");
    g.setCurrentMap(s);
    for (uint32_t v = 0; v < g.nbVertex(); ++v) g.appendUV(0, float(v), s);
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        uint32_t last = f == 9 ? g.faceOffset(f) + 4 : g.faceOffset(f + 1);
        for (uint32_t c = g.faceOffset(f); c < last; ++c) {
            uint32_t v = g.getStartVertex(c);
            g.setUVId(c, (f & 1) ? g.appendUV(1, float(v), s) : int32_t(v), s);
        }
    }
    ASSERT_EQ(g.getUVId(g.faceOffset(9) + 5, s), -1);
    ASSERT_NE(g.getUVId(g.faceOffset(1), s), int32_t(g.getStartVertex(g.faceOffset(1))));

    std::mt19937 rng(11);
    const TpolyGrpType kinds[] = {kPolyGrpVertex, kPolyGrpEdge, kPolyGrpFace, kPolyGrpUV, kPolyGrpVertexFace};
    for (int trial = 0; trial < 4; ++trial) {
        for (TpolyGrpType a : kinds) {
            TbitFieldFixedN in(g.getMaxVal(a));
            for (uint32_t i = 0; i < in.size(); ++i) in.setBit(i, rng() % 3 == 0);
            for (TpolyGrpType b : kinds) {
                for (int mode = 0; mode < 3; ++mode) {
                    SCOPED_TRACE(std::to_string(a) + " to " + std::to_string(b) + " mode " + std::to_string(mode));
                    TbitFieldFixedN out;
                    ASSERT_TRUE(g.convertFlags(a, b, in, out, mode));
                    EXPECT_EQ(setIds(out), setIds(expected(g, a, b, in, mode)));
                }
            }
        }
    }
}

TEST(PolyGrp, EdgeLoopsRunAcrossFourEdgeVertices) {
    TpolyGeom g;
    buildQuadGrid(g, 4);  // 5 x 5 vertices; horizontal edge i + 4j from vertex i + 5j
    g.markDirty(dirtyAll);
    // The horizontal line y = 2 runs between two border vertices of three edges each.
    TbitFieldFixedN bits = bitsOf(g.nbEdge(), {9});
    EXPECT_EQ(g.extendToEdgeLoop(bits, 0), 3u);
    EXPECT_EQ(setIds(bits), Ids({8, 9, 10, 11}));
    bits = bitsOf(g.nbEdge(), {9});
    EXPECT_EQ(g.extendToEdgeLoop(bits, 1), 2u);
    EXPECT_EQ(setIds(bits), Ids({8, 9, 10}));
    // Border edges have one face: their loops do not go on.
    bits = bitsOf(g.nbEdge(), {1});
    EXPECT_EQ(g.extendToEdgeLoop(bits, 0), 0u);

    uint32_t grp = g.appendGrp(1, kPolyGrpEdge);
    g.addElement(grp, 9);
    EXPECT_EQ(g.GroupManage(kPolyGrpEdge, kGrpEventGrowShrink, 1, 0, kGrpModeEdgeLoop, 0, 0), 4);
}

TEST(PolyGrp, DumpWritesCommentBlocksAndItems) {
    TpolyGeom g;
    uint32_t a = g.appendGrp(3, kPolyGrpEdge);
    g.appendBlock(a, 2, 4);
    g.appendGrp(-1, TpolyGrpType(9));
    std::string out;
    TdebugOutput::sCout.redirectToString(&out);
    g.grp()->debug(TdebugOutput::sCout, 0x0200);
    g.grp()->debug(TdebugOutput::sCout, 0);
    TdebugOutput::sCout.restore();
    const std::string blocks = "# \n# GRPS : 2 groups\n# \n# \n#\tGRP : name 3, type Edge\n# \n";
    const std::string unknown = "# \n#\tGRP : name -1, type UNKNOWN???\n# \n";
    EXPECT_EQ(out, blocks + "\t2:4\n" + unknown + blocks + unknown);
}

TEST(PolyGrp, BordersAreFilledLoopByLoop) {
    TpolyGeom g;
    buildGrid(g);
    g.markDirty(dirtyAll);
    // The outer border of the 3 x 3 grid: 12 edges and 12 vertices, reached from one of each.
    TbitFieldFixedN edges = bitsOf(g.nbEdge(), {0});
    ASSERT_TRUE(g.extendToBorder(kPolyGrpEdge, edges));
    EXPECT_EQ(edges.countSet(), 12u);
    EXPECT_FALSE(edges.testBit(4));  // an inner horizontal edge
    TbitFieldFixedN verts = bitsOf(g.nbVertex(), {5, 15});
    ASSERT_TRUE(g.extendToBorder(kPolyGrpVertex, verts));
    EXPECT_EQ(verts.countSet(), 13u);  // the ring and the inner vertex 5 that was set
    TbitFieldFixedN inner = bitsOf(g.nbVertex(), {5});
    ASSERT_TRUE(g.extendToBorder(kPolyGrpVertex, inner));
    EXPECT_EQ(setIds(inner), Ids({5}));
    TbitFieldFixedN faces(9);
    EXPECT_FALSE(g.extendToBorder(kPolyGrpFace, faces));
}
