#include <gtest/gtest.h>

#include <random>

#include "ops/CutOpsSupport.h"

using cutops::gridCornerFaults;
using cutops::mapFaults;
using opstest::bodyOf;

namespace {
// Runs a remover on the ids with a full mapper and checks what every remover keeps true: a valid
// record, maps that carry each survivor's data, no unused or dangling UV.
template <typename Fty, typename List>
void runChecked(Fty& fty, TmidBody& body, std::initializer_list<uint32_t> ids, bool samePositions = true) {
    const TpolyGeom before(*body.polyGeom());
    List list;
    for (uint32_t id : ids) list.addElement(id);
    TpolyIdMapper mapper(true, true, true);
    fty.setIdMapper(&mapper);
    ASSERT_EQ(fty.doAction(&body, &list), 0);
    TpolyGeom& after = *body.polyGeom();
    EXPECT_EQ(after.checkObject(kCheckAll), 0u);
    EXPECT_EQ(mapFaults(before, after, *mapper.vertexMap(), kPolyGrpVertex), 0);
    EXPECT_EQ(mapFaults(before, after, *mapper.edgeMap(), kPolyGrpEdge), 0);
    EXPECT_EQ(mapFaults(before, after, *mapper.faceMap(), kPolyGrpFace), 0);
    if (samePositions) {
        EXPECT_EQ(cutops::movedVertices(before, after, *mapper.vertexMap()), 0);
    }
    EXPECT_EQ(cutops::unusedOrDanglingAttributes(after), 0);
    fty.setIdMapper(nullptr);
}

void expectCounts(const TpolyGeom& g, uint32_t v, uint32_t e, uint32_t f) {
    EXPECT_EQ(g.nbVertex(), v);
    EXPECT_EQ(g.nbEdge(), e);
    EXPECT_EQ(g.nbFace(), f);
}
}  // namespace

TEST(DelEdge, DeleteJoinsFacesCleansEndsAndCollapseMerges) {
    {
        // The edge between the first two quads of a 2 x 2 grid (vertex 1 to 4).
        auto body = bodyOf(attributed::grid(2));
        TpolyDelEdgeFty fty;
        runChecked<TpolyDelEdgeFty, TmidEdgeComponent>(fty, *body, {7});
        TpolyGeom& g = *body->polyGeom();
        expectCounts(g, 9, 11, 3);
        EXPECT_EQ(g.faceVertexCount(0), 6u);
        EXPECT_EQ(gridCornerFaults(g, 2), 0);
    }
    {
        // Any mode but 0 and 1 also deletes the border vertex left between two edges.
        auto body = bodyOf(attributed::grid(2));
        TpolyDelEdgeFty fty;
        fty.setInternalMode(2);
        runChecked<TpolyDelEdgeFty, TmidEdgeComponent>(fty, *body, {7});
        expectCounts(*body->polyGeom(), 8, 10, 3);
        EXPECT_EQ(body->polyGeom()->faceVertexCount(0), 5u);
    }
    {
        // Collapsing an inner edge of a 3 x 3 grid: its two quads become triangles.
        auto body = bodyOf(attributed::grid(3));
        TpolyDelEdgeFty fty;
        fty.setInternalMode(1);
        runChecked<TpolyDelEdgeFty, TmidEdgeComponent>(fty, *body, {4}, false);
        TpolyGeom& g = *body->polyGeom();
        expectCounts(g, 15, 23, 9);
        EXPECT_EQ(g.faceVertexCount(1), 3u);
        EXPECT_EQ(g.faceVertexCount(4), 3u);
        // The merged vertex stands at the midpoint; the corners keep values of one of its ends.
        bool midpoint = false;
        for (uint32_t v = 0; v < g.nbVertex(); ++v) midpoint |= g.vertexConst(v) == T3dFltPoint(1.5f, 1, 0);
        EXPECT_TRUE(midpoint);
    }
    {
        // Border edges are refused one by one; the others of the selection still go.
        auto body = bodyOf(attributed::cube());
        TpolyDelEdgeFty fty;
        runChecked<TpolyDelEdgeFty, TmidEdgeComponent>(fty, *body, {0});
        expectCounts(*body->polyGeom(), 8, 11, 5);
    }
}

TEST(DelFacet, DeleteCollapseAndDeletingEverything) {
    {
        auto body = bodyOf(attributed::grid(3));
        TpolyDelFacetFty fty;
        runChecked<TpolyDelFacetFty, TmidFaceComponent>(fty, *body, {0, 2, 4, 6, 8});
        TpolyGeom& g = *body->polyGeom();
        expectCounts(g, 12, 16, 4);
        EXPECT_EQ(gridCornerFaults(g, 3), 0);
    }
    {
        // The middle face of a 3 x 3 grid folds into one vertex; its edge neighbours lose a corner.
        auto body = bodyOf(attributed::grid(3));
        TpolyDelFacetFty fty;
        fty.setCollapseMode();
        EXPECT_EQ(fty.mode(), 1);
        runChecked<TpolyDelFacetFty, TmidFaceComponent>(fty, *body, {4}, false);
        TpolyGeom& g = *body->polyGeom();
        expectCounts(g, 13, 20, 8);
        uint32_t triangles = 0;
        for (uint32_t f = 0; f < g.nbFace(); ++f) triangles += g.faceVertexCount(f) == 3 ? 1 : 0;
        EXPECT_EQ(triangles, 4u);
    }
    {
        // Every face selected: the object goes, the UV sets stay by name.
        auto body = bodyOf(attributed::cube());
        body->polyGeom()->setCurrentMap(1);
        TpolyDelFacetFty fty;
        TpolyIdMapper mapper(true, true, true);
        fty.setIdMapper(&mapper);
        auto all = opstest::allOf<TmidFaceComponent>(6);
        ASSERT_EQ(fty.doAction(body.get(), &all), 0);
        TpolyGeom& g = *body->polyGeom();
        expectCounts(g, 0, 0, 0);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        ASSERT_EQ(g.nbMapSet(), 2u);
        Tstring name;
        ASSERT_TRUE(g.mapName(1, name));
        EXPECT_STREQ(name.c_str(), "map2");
        EXPECT_EQ(g.getCurrentMap(), 1);
        ASSERT_EQ(mapper.vertexMap()->size(), 8u);
        ASSERT_EQ(mapper.faceMap()->size(), 6u);
        for (uint32_t id : *mapper.vertexMap()) EXPECT_EQ(id, TpolyBits::kNoId);
        for (uint32_t id : *mapper.faceMap()) EXPECT_EQ(id, TpolyBits::kNoId);
    }
}

TEST(DelVertex, MergesTheEdgesOfTwoEdgeVerticesOnly) {
    auto body = bodyOf(attributed::grid(2));
    TpolyDelVertexFty fty;
    // Only the four corners lie between two edges; the others are kept.
    runChecked<TpolyDelVertexFty, TmidVertComponent>(fty, *body, {0, 1, 2, 3, 4, 5, 6, 7, 8});
    TpolyGeom& g = *body->polyGeom();
    expectCounts(g, 5, 8, 4);
    for (uint32_t f = 0; f < 4; ++f) EXPECT_EQ(g.faceVertexCount(f), 3u);
    EXPECT_EQ(gridCornerFaults(g, 2), 0);
}

TEST(DelComponents, RefusalsLeaveTheRecordAsItWas) {
    auto body = bodyOf(attributed::cube());
    const std::string state = opstest::recordState(*body->polyGeom());
    TpolyDelFacetFty faces;
    TpolyDelEdgeFty edges;
    TpolyDelVertexFty vertices;
    TmidEdgeComponent edgeList;
    edgeList.addElement(3);
    EXPECT_EQ(faces.doAction(body.get(), &edgeList), -1);  // a list of another kind
    EXPECT_EQ(vertices.doAction(body.get(), &edgeList), -1);
    EXPECT_EQ(faces.doAction(body.get(), nullptr), -1);  // no current face group
    EXPECT_EQ(edges.doAction(nullptr, &edgeList), -1);
    EXPECT_EQ(opstest::recordState(*body->polyGeom()), state);
    // Ids out of range select nothing.
    TmidFaceComponent far;
    far.addElement(99);
    TpolyIdMapper mapper(false, false, true);
    faces.setIdMapper(&mapper);
    EXPECT_EQ(faces.doAction(body.get(), &far), 0);
    expectCounts(*body->polyGeom(), 8, 12, 6);
    for (uint32_t f = 0; f < 6; ++f) EXPECT_EQ((*mapper.faceMap())[f], f);
}

TEST(DelComponents, SampleMeshKeepsItsDataThroughRandomDeletions) {
    auto geom = opstest::bunny();
    if (!geom) GTEST_SKIP() << "sample mesh missing";
    auto body = bodyOf(std::move(geom));
    std::mt19937 rng(7);
    for (int round = 0; round < 3; ++round) {
        TpolyGeom& g = *body->polyGeom();
        const TpolyGeom before(g);
        TpolyIdMapper mapper(true, true, true);
        TpolyDelFacetFty delFaces;
        TpolyDelEdgeFty delEdges;
        delEdges.setInternalMode(round);
        TpolyRemoverFty& fty = round == 0 ? static_cast<TpolyRemoverFty&>(delFaces) : delEdges;
        fty.setIdMapper(&mapper);
        const uint32_t n = round == 0 ? g.nbFace() : g.nbEdge();
        TmidFaceComponent faceList;
        TmidEdgeComponent edgeList;
        for (uint32_t i = 0; i < n; ++i)
            if (rng() % 10 == 0) (round == 0 ? static_cast<TmidComponent&>(faceList) : edgeList).addElement(i);
        ASSERT_EQ(fty.doAction(body.get(), round == 0 ? static_cast<TmidComponent*>(&faceList) : &edgeList), 0);
        TpolyGeom& after = *body->polyGeom();
        EXPECT_EQ(after.checkObject(kCheckAll), 0u) << round;
        EXPECT_LT(after.nbFace(), before.nbFace());
        EXPECT_EQ(mapFaults(before, after, *mapper.vertexMap(), kPolyGrpVertex), 0) << round;
        EXPECT_EQ(mapFaults(before, after, *mapper.edgeMap(), kPolyGrpEdge), 0) << round;
        EXPECT_EQ(mapFaults(before, after, *mapper.faceMap(), kPolyGrpFace), 0) << round;
        if (round != 1) {
            EXPECT_EQ(cutops::movedVertices(before, after, *mapper.vertexMap()), 0) << round;
        }
        EXPECT_EQ(cutops::unusedOrDanglingAttributes(after), 0) << round;
    }
}
