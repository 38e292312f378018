#include <gtest/gtest.h>

#include <cmath>

#include "ops/CutOpsSupport.h"

using cutops::gridCornerFaults;
using opstest::bodyOf;

namespace {
constexpr int kEdge = int(0x80000000u);

int split(TmidBody& body, std::vector<int> desc, std::vector<float> percents, std::vector<T3dFltPoint> points = {}) {
    TpolySplitFty fty;
    fty.setDesc(desc.data());
    fty.setNbDesc(int(desc.size()));
    fty.setPercents(percents.data());
    fty.setNbPercents(int(percents.size()));
    fty.setPoints(points.data());
    fty.setNbPoints(int(points.size()));
    return fty.doAction(&body, nullptr);
}

bool hasVertexAt(const TpolyGeom& g, const T3dFltPoint& p) {
    for (uint32_t v = 0; v < g.nbVertex(); ++v)
        if (std::fabs(g.vertexConst(v).x - p.x) < 1e-5f && std::fabs(g.vertexConst(v).y - p.y) < 1e-5f &&
            std::fabs(g.vertexConst(v).z - p.z) < 1e-5f)
            return true;
    return false;
}
}  // namespace

TEST(Split, PathsAcrossFacesThroughEdgesVerticesAndInnerPoints) {
    {
        // Middle of the bottom edge to the middle of the top one halves the quad.
        auto body = bodyOf(attributed::grid(1));
        ASSERT_EQ(split(*body, {kEdge | 0, kEdge | 1}, {0.5f, 0.5f}), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.nbFace(), 2u);
        EXPECT_EQ(g.nbVertex(), 6u);
        EXPECT_EQ(g.nbEdge(), 7u);
        EXPECT_TRUE(hasVertexAt(g, {0.5f, 0, 0}) && hasVertexAt(g, {0.5f, 1, 0}));
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        EXPECT_EQ(gridCornerFaults(g, 1), 0);
    }
    {
        // Vertex 0 (start of edge 0) to vertex 3 (end of edge 1): the diagonal.
        auto body = bodyOf(attributed::grid(1));
        ASSERT_EQ(split(*body, {kEdge | 0, kEdge | 1}, {0, 1}), 0);
        EXPECT_EQ(body->polyGeom()->nbFace(), 2u);
        EXPECT_EQ(body->polyGeom()->nbVertex(), 4u);
        EXPECT_EQ(body->polyGeom()->faceVertexCount(0), 3u);
    }
    {
        // A three-point path back to its first point is the two-point one.
        auto body = bodyOf(attributed::grid(1));
        ASSERT_EQ(split(*body, {kEdge | 0, kEdge | 1, kEdge | 0}, {0.5f, 0.5f, 0.5f}), 0);
        EXPECT_EQ(body->polyGeom()->nbFace(), 2u);
        EXPECT_EQ(body->polyGeom()->nbVertex(), 6u);
    }
    {
        // Through an inner point of face 0.
        auto body = bodyOf(attributed::grid(1));
        ASSERT_EQ(split(*body, {kEdge | 0, 0, kEdge | 1}, {0.5f, 0, 0.5f}, {{0.5f, 0.4f, 0}}), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.nbVertex(), 7u);
        EXPECT_TRUE(hasVertexAt(g, {0.5f, 0.4f, 0}));
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        EXPECT_EQ(gridCornerFaults(g, 1), 0);
    }
}

TEST(Split, BadPathsLeaveTheRecordAsItWas) {
    auto body = bodyOf(attributed::grid(2));
    // Adjacency marks border edges hard; it is brought up to date first so that only a change an
    // action makes shows.
    body->polyGeom()->update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
    const std::string state = opstest::recordState(*body->polyGeom());
    EXPECT_EQ(split(*body, {kEdge | 0, 0}, {0.5f, 0}), -1);                          // no points for a face point
    EXPECT_EQ(split(*body, {kEdge | 0, kEdge | 99}, {0.5f, 0.5f}), -1);              // edge out of range
    EXPECT_EQ(split(*body, {kEdge | 0, kEdge | 0x40000000 | 2}, {0.5f, 0.5f}), -1);  // bit 30 on an edge point
    EXPECT_EQ(split(*body, {kEdge | 0, kEdge | 5}, {0.5f, 0.5f}), -1);               // the edges share no face
    EXPECT_EQ(split(*body, {kEdge | 0, kEdge | 7}, {0.5f, 0}), -1);                  // along an edge of the face
    TpolySplitFty none;
    EXPECT_EQ(none.doAction(body.get(), nullptr), -1);
    EXPECT_EQ(opstest::recordState(*body->polyGeom()), state);
}

TEST(SplitFace, CutsFaceAfterFaceAndSelectsTheNewEdges) {
    auto body = bodyOf(attributed::grid(2));
    TpolySplitFaceFty fty;
    fty.beginAllSplits(3);
    fty.addEdge(0, 0.5f);  // bottom of face 0
    fty.addEdge(2, 0.5f);  // between faces 0 and 2
    fty.addEdge(4, 0.5f);  // top of face 2
    ASSERT_EQ(fty.doAction(body.get(), nullptr), 0);
    TpolyGeom& g = *body->polyGeom();
    EXPECT_EQ(g.nbFace(), 6u);
    EXPECT_EQ(g.nbVertex(), 12u);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    EXPECT_EQ(gridCornerFaults(g, 2), 0);
    TbitFieldFixedN selected;
    ASSERT_EQ(g.flagsFromGroup(kPolyGrpEdge, -1, selected), 2);
    for (uint32_t e = 0; e < g.nbEdge(); ++e)
        if (selected.testBit(e)) {
            EXPECT_NEAR(g.vertexConst(g.edgeArray()[e].start()).x, 0.5f, 1e-6f);
        }

    TpolySplitFaceFty bad;
    bad.addEdge(0, 0.5f);
    bad.addEdge(5, 0.5f);
    g.update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
    const std::string state = opstest::recordState(g);
    EXPECT_EQ(bad.doAction(body.get(), nullptr), -1);
    EXPECT_EQ(opstest::recordState(*body->polyGeom()), state);
}

TEST(SplitRing, OpenAndClosedRingsRelativeAndAbsolute) {
    {
        // The horizontal edges of the first column of a 3 x 3 grid.
        auto body = bodyOf(attributed::grid(3));
        TmidEdgeComponent ring;
        for (uint32_t e : {0u, 3u, 6u, 9u}) ring.addElement(e);
        TpolySplitRingFty fty;
        fty.setRootEdge(-1);
        fty.setStartWeight(0.3f);
        fty.setAbsoluteWeight(false);
        fty.setDirection(true);
        ASSERT_EQ(fty.doAction(body.get(), &ring), 0);
        EXPECT_EQ(fty.rootEdge(), 0);
        EXPECT_EQ(fty.ringEdges().size(), 4u);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.nbFace(), 12u);
        EXPECT_EQ(g.nbVertex(), 20u);
        for (float y : {0.f, 1.f, 2.f, 3.f}) EXPECT_TRUE(hasVertexAt(g, {0.3f, y, 0})) << y;
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        EXPECT_EQ(gridCornerFaults(g, 3), 0);
    }
    {
        // The four vertical edges of a cube close the ring; whatever each edge's direction, the loop
        // stays at one height. Absolute: 0.2 of the root edge's length from its start.
        for (bool absolute : {false, true}) {
            auto body = bodyOf(attributed::cube());
            TpolyGeom& g = *body->polyGeom();
            TmidEdgeComponent ring;
            for (uint32_t e = 0; e < g.nbEdge(); ++e)
                if (g.vertexConst(g.edgeArray()[e].start()).z != g.vertexConst(g.edgeArray()[e].end()).z)
                    ring.addElement(e);
            TpolySplitRingFty fty;
            fty.setRootEdge(-1);
            fty.setStartWeight(0.2f);
            fty.setAbsoluteWeight(absolute);
            fty.setDirection(true);
            ASSERT_EQ(fty.doAction(body.get(), &ring), 0);
            TpolyGeom& out = *body->polyGeom();
            EXPECT_EQ(out.nbFace(), 10u);
            EXPECT_EQ(out.nbVertex(), 12u);
            EXPECT_EQ(out.nbEdge(), 20u);
            EXPECT_EQ(out.checkObject(kCheckAll), 0u);
            const float z = out.vertexConst(8).z;
            EXPECT_TRUE(std::fabs(z - 0.2f) < 1e-5f || std::fabs(z - 0.8f) < 1e-5f);
            for (uint32_t v = 8; v < 12; ++v) EXPECT_NEAR(out.vertexConst(v).z, z, 1e-5f);
        }
    }
    {
        // A root edge outside the selection, or no edge selection.
        auto body = bodyOf(attributed::grid(3));
        TmidEdgeComponent ring;
        ring.addElement(3);
        TpolySplitRingFty fty;
        fty.setRootEdge(0);
        EXPECT_EQ(fty.doAction(body.get(), &ring), -1);
        TmidFaceComponent faces;
        EXPECT_EQ(fty.doAction(body.get(), &faces), -1);
        EXPECT_EQ(body->polyGeom()->nbFace(), 9u);
    }
}
