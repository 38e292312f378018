#include <gtest/gtest.h>

#include "brindle/brindle.h"

namespace {

// Triangle (0,1,2) with a triangular hole (3,4,5) inside it, hole loop wound the other way.
void buildTriangleWithHole(TpolyGeom& g) {
    g.appendVertex(0, 0, 0);
    g.appendVertex(10, 0, 0);
    g.appendVertex(0, 10, 0);
    g.appendVertex(1, 1, 0);
    g.appendVertex(1, 3, 0);
    g.appendVertex(3, 1, 0);
    g.appendEdge(0, 1);
    g.appendEdge(1, 2, true);
    g.appendEdge(2, 0);
    g.appendEdge(3, 4);
    g.appendEdge(4, 5);
    g.appendEdge(5, 3);
    g.bgnFace(6);
    for (uint32_t e = 0; e < 3; ++e) g.refEdge(e, kForward);
    g.endLoop();
    for (uint32_t e = 3; e < 6; ++e) g.refEdge(e, kForward);
    g.endLoop();
    g.endFace();
}

TEST(PolyGeom, FacesWithHolesPackTheirFlags) {
    TpolyGeom g;
    EXPECT_EQ(g.dirtyMask(), 0xFFFFFFFFu);
    buildTriangleWithHole(g);
    g.update(dirtyFaceOffsets);
    ASSERT_EQ(g.nbFace(), 1u);
    EXPECT_EQ(g.faceOffset(0), 0u);
    EXPECT_EQ(g.faceOffset(1), 6u);
    EXPECT_EQ(g.faceVertexCount(0), 6u);
    EXPECT_EQ(g.faceOrder(0), 2u);
    EXPECT_EQ(g.getFaceEdge(2), 2u | TpolyBits::kEndOfLoop);
    EXPECT_EQ(g.getFaceEdge(5), 5u | TpolyBits::kEndOfLoop | TpolyBits::kEndOfFace);
    EXPECT_TRUE(g.endOfPoly(5));
    EXPECT_FALSE(g.endOfPoly(4));

    // Replacing the edge id of a reversed last entry keeps its direction and both end bits.
    g.setDirection(5, kReversed);
    g.setEdge(5, 3);
    EXPECT_EQ(g.getFaceEdge(5), 3u | TpolyBits::kReversedUse | TpolyBits::kEndOfLoop | TpolyBits::kEndOfFace);
    g.setEdge(5, 4, kForward);
    EXPECT_EQ(g.getFaceEdge(5), 4u | TpolyBits::kEndOfLoop | TpolyBits::kEndOfFace);

    // The hard flag lives in the start word and survives setStart; setEnd writes the whole word.
    EXPECT_TRUE(g.isHard(1));
    g.setStart(1, 4);
    EXPECT_TRUE(g.isHard(1));
    EXPECT_EQ(g.startVertex(1), 4u);
    EXPECT_EQ(g.startVertex(1, kReversed), 2u);
    g.setEnd(1, 5);
    EXPECT_EQ(g.endVertex(1), 5u);
    EXPECT_TRUE(g.isHard(1));
    g.setSmooth(1);
    EXPECT_TRUE(g.isSmooth(1));

    EXPECT_EQ(g.getEdgeId(0, 0), 0u);
    EXPECT_EQ(g.getEdgeId(0, 3), 3u);
    EXPECT_EQ(g.getEdgeId(0, 99), TpolyBits::kNoId);
    EXPECT_EQ(g.getEdgeId(7, 0), TpolyBits::kNoId);
    uint32_t loopStart = 99;
    EXPECT_EQ(g.getEdgeOffsetInFace(0, 4, &loopStart), 4u);
    EXPECT_EQ(loopStart, 3u);
}

TEST(PolyGeom, RemovingVerticesShiftsIdsWithoutRenumbering) {
    TpolyGeom g;
    buildTriangleWithHole(g);
    g.removeVertex(1, 1);
    ASSERT_EQ(g.nbVertex(), 5u);
    EXPECT_EQ(g.vertexConst(1), T3dFltPoint(0, 10, 0));
    EXPECT_EQ(g.endVertex(0), 1u);   // still the old id
    EXPECT_EQ(g.checkIndices(), 1);  // edge 4-5 now points past the end
}

TEST(PolyGeom, SharingKeepsReferenceCountsRight) {
    TpolyGeom a;
    buildTriangleWithHole(a);
    {
        TpolyGeom b;
        b.share(a, kCompVertices | kCompUVSets);
        EXPECT_EQ(a.vertexStore(), b.vertexStore());
        EXPECT_EQ(a.vertexStore()->fRefs.count(), 2u);
        b.unShare(kCompVertices);
        EXPECT_EQ(b.nbVertex(), 0u);
        EXPECT_EQ(a.nbVertex(), 6u);
        EXPECT_EQ(a.vertexStore()->fRefs.count(), 1u);
        EXPECT_EQ(a.maps()->fRefs.count(), 2u);
    }
    EXPECT_EQ(a.maps()->fRefs.count(), 1u);

    // The (record, mask) constructor shares what is asked but always copies the topology. Its
    // update hardens border edges, so bring the original up to date first to compare.
    a.update(dirtyAll);
    TpolyGeom c(a, kCompAll);
    EXPECT_EQ(c.vertexStore(), a.vertexStore());
    EXPECT_NE(c.topo(), a.topo());
    EXPECT_TRUE(c.isEquivalent(a));

    // Assignment shares everything; both records stay valid after either goes.
    auto* d = new TpolyGeom;
    *d = a;
    EXPECT_EQ(d->topo(), a.topo());
    EXPECT_EQ(a.topo()->fRefs.count(), 2u);
    *d = *d;
    delete d;
    EXPECT_EQ(a.topo()->fRefs.count(), 1u);
    EXPECT_EQ(a.nbEdge(), 6u);

    // A deep copy owns new components and compares equal until one of them is edited.
    TpolyGeom e(a);
    EXPECT_NE(e.vertexStore(), a.vertexStore());
    EXPECT_EQ(e.compareObject(a), 0u);
    e.setVertex(0, T3dFltPoint(5, 5, 5));
    EXPECT_EQ(e.compareObject(a), uint32_t(kCompVertices));
    EXPECT_TRUE(e.isEquivalentTopology(a));
    e.copy(a, kCompVertices);
    EXPECT_TRUE(e.isEquivalent(a));
    EXPECT_EQ(e.vertexStore()->fRefs.count(), 1u);
}

TEST(PolyGeom, UpdateClearsWhatWasAskedAndEmptyRecordsClearAll) {
    TpolyGeom empty;
    empty.update(dirtyEdgeToFace);
    EXPECT_EQ(empty.dirtyMask(), 0u);

    TpolyGeom g;
    buildTriangleWithHole(g);
    g.update(dirtyFaceOffsets | dirtyEdgeToFace);
    EXPECT_FALSE(g.isDirty(dirtyFaceOffsets | dirtyEdgeToFace | dirtyTangents));
    EXPECT_TRUE(g.isDirty(dirtyVertexToEdge | dirtyTriangles | dirtyDisplay));
    g.markDirty(dirtyMoved);
    EXPECT_TRUE(g.isDirty(dirtyFaceVectors));
    EXPECT_FALSE(g.isDirty(dirtyFaceOffsets));

    TpolyGeom h;
    h.copyStructure(g, 0x5);
    EXPECT_FALSE(h.isDirty(dirtyFaceOffsets | dirtyEdgeToFace));
    EXPECT_TRUE(h.isDirty(dirtyVertexToEdge));
}

TEST(PolyGeom, EdgeToFaceMarksSidesUsedMoreThanOnce) {
    // Three triangles on edge 0 forward: the left side of edge 0 becomes a run of three faces.
    TpolyGeom g;
    for (int i = 0; i < 5; ++i) g.appendVertex(float(i), float(i * i), 0);
    g.appendEdge(0, 1);
    for (uint32_t apex = 2; apex < 5; ++apex) {
        uint32_t a = g.appendEdge(1, apex), b = g.appendEdge(apex, 0);
        g.bgnFace(3);
        g.refEdge(0, kForward);
        g.refEdge(a, kForward);
        g.refEdge(b, kForward);
        g.endLoop();
        g.endFace();
    }
    g.update(dirtyEdgeToFace);
    const TpolyTopo& t = *g.topo();
    EXPECT_EQ(t.fEdgeToFace[0].side[kLeft], 0x40000000u);
    EXPECT_EQ(t.fEdgeToFace[0].side[kRight], TpolyBits::kNoFace);
    ASSERT_EQ(t.fN2MFaces.size(), 3u);
    EXPECT_EQ(t.fN2MFaces[0], 0u);
    EXPECT_EQ(t.fN2MFaces[1], 1u);
    EXPECT_EQ(t.fN2MFaces[2], 2u | 0x80000000u);
    EXPECT_EQ(t.fEdgeToFace[1].side[kLeft], 0u);
}

TEST(PolyGeom, CheckIndicesFindsBadIdsAndRepairsUVs) {
    TpolyGeom g;
    buildTriangleWithHole(g);
    g.update(dirtyFaceOffsets);
    uint32_t set = g.maps()->add("map1");
    TpolyMap& map = (*g.maps())[set];
    map.createIndexArray(g.faceDescLength());
    map.appendUV(0.5f, 0.5f);
    map.setIndex(0, 0);
    map.setIndex(1, 7);  // no such UV
    EXPECT_EQ(g.checkIndices(), 0);
    EXPECT_EQ(map.nbUV(), 2u);
    EXPECT_EQ(map.getIndex(1), 1);
    EXPECT_EQ(map.getIndex(2), -1);
    float uv[2];
    map.getUV(1, uv);
    EXPECT_EQ(uv[0], 0.0f);

    g.refEdge(40, kForward);
    EXPECT_EQ(g.checkIndices(), 2);
}

}  // namespace
