#include "EditTestSupport.h"

using namespace edittest;

namespace {
// Converts with the mapper form, checks the record and its Euler characteristic.
std::unique_ptr<TpolyGeom> packed(TpolyEditableGeom& edit, TpolyIdMapper& mapper, int chi) {
    std::unique_ptr<TpolyGeom> out(edit.convert(true, true, mapper));
    EXPECT_EQ(structuralErrors(*out), 0);
    EXPECT_EQ(euler(*out), chi);
    return out;
}
uint32_t between(TpolyEditableGeom& edit, uint32_t a, uint32_t b) {
    bool reversed = false;
    return edit.edgeBetween(a, b, reversed);
}
// A record of loops over vertex rings, the first loop of each face its outer one.
std::unique_ptr<TpolyGeom> build(const std::vector<T3dFltPoint>& points,
                                 const std::vector<std::vector<std::vector<uint32_t>>>& faces) {
    auto g = std::make_unique<TpolyGeom>();
    for (const T3dFltPoint& p : points) g->appendVertex(p);
    for (const auto& loops : faces) {
        g->bgnFace(0);
        for (const auto& ring : loops) {
            for (size_t i = 0; i < ring.size(); ++i) {
                const uint32_t a = ring[i], b = ring[(i + 1) % ring.size()];
                uint32_t e = TpolyBits::kNoId;
                for (uint32_t k = 0; k < g->nbEdge() && e == TpolyBits::kNoId; ++k)
                    if ((g->startVertex(k) == a && g->endVertex(k) == b) ||
                        (g->startVertex(k) == b && g->endVertex(k) == a))
                        e = k;
                if (e == TpolyBits::kNoId) e = g->appendEdge(a, b, false);
                g->refEdge(e, g->startVertex(e) == a ? kForward : kReversed);
            }
            g->endLoop();
        }
        g->endFace();
    }
    decorate(*g);
    return g;
}
}  // namespace

TEST(EditCollapse, DeleteEdgeJoinsFacesAndCleansItsEnds) {
    for (bool clean : {false, true}) {
        auto src = twoQuads();
        TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
        EXPECT_FALSE(edit.deleteEdge(between(edit, 0, 1), clean));  // border edge
        EXPECT_FALSE(edit.changed());
        ASSERT_TRUE(edit.deleteEdge(between(edit, 1, 4), clean));
        TpolyIdMapper mapper(true, true, true);
        auto out = packed(edit, mapper, 1);
        ASSERT_EQ(out->nbFace(), 1u);
        EXPECT_EQ(out->faceVertexCount(0), clean ? 4u : 6u);
        EXPECT_EQ(out->nbVertex(), clean ? 4u : 6u);
        // The merged face is face 0; face 1 and with it its group and blind data are gone.
        EXPECT_EQ((*mapper.faceMap())[0], 0u);
        EXPECT_EQ((*mapper.faceMap())[1], TpolyBits::kNoId);
        EXPECT_FALSE(out->isInGroup(kPolyGrpFace, 3, 0));
        const TuInt32Array& vmap = *mapper.vertexMap();
        EXPECT_EQ(vmap[1], clean ? TpolyBits::kNoId : 1u);
        EXPECT_EQ(vmap[5], clean ? 3u : 5u);
        // Edge 0 keeps its group and blind data wherever it went.
        const uint32_t e0 = (*mapper.edgeMap())[0];
        EXPECT_TRUE(out->isInGroup(kPolyGrpEdge, 4, e0));
        TbdDataPtrArray bd;
        EXPECT_TRUE(out->edgeBlindData()->getBlindData(e0, bd));
    }
}

TEST(EditCollapse, DeleteEdgeOnAHoleRemovesTheFillingFace) {
    auto src = build({{0, 0, 0}, {3, 0, 0}, {3, 3, 0}, {0, 3, 0}, {1, 1, 0}, {2, 1, 0}, {2, 2, 0}, {1, 2, 0}},
                     {{{0, 1, 2, 3}, {7, 6, 5, 4}}, {{4, 5, 6, 7}}});
    TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
    ASSERT_TRUE(edit.deleteEdge(between(edit, 4, 5), true));
    TpolyIdMapper mapper(true, true, true);
    auto out = packed(edit, mapper, 1);
    ASSERT_EQ(out->nbFace(), 1u);
    EXPECT_EQ(out->faceOrder(0), 1u);
    EXPECT_EQ(out->nbVertex(), 4u);
    EXPECT_EQ(out->nbEdge(), 4u);
    EXPECT_FALSE(out->isInGroup(kPolyGrpFace, 3, 0));

    // Joining the eight faces round the middle of a grid: the last join meets the merged face
    // along two edges, so its loop splits at the second one into an outer loop and a hole that
    // the middle face fills.
    auto ring = grid(3);
    TpolyEditableGeom cut(ring.get(), TpolyEditableGeom::kModeAll);
    const uint32_t second = between(cut, 4, 5);
    for (auto [a, b] :
         std::vector<std::pair<uint32_t, uint32_t>>{{1, 5}, {2, 6}, {7, 6}, {11, 10}, {14, 10}, {13, 9}, {8, 9}})
        ASSERT_TRUE(cut.deleteEdge(between(cut, a, b), false)) << a << "-" << b;
    EXPECT_TRUE(cut.isEdgeDeleted(second));
    EXPECT_FALSE(cut.deleteEdge(second, false));
    {
        TpolyIdMapper m2(true, true, true);
        auto holed = packed(cut, m2, 1);
        ASSERT_EQ(holed->nbFace(), 2u);
        EXPECT_EQ(holed->faceOrder(0) + holed->faceOrder(1), 3u);
    }
    ASSERT_TRUE(cut.deleteEdge(between(cut, 5, 6), true));
    TpolyIdMapper m3(true, true, true);
    auto filled = packed(cut, m3, 1);
    ASSERT_EQ(filled->nbFace(), 1u);
    EXPECT_EQ(filled->faceOrder(0), 1u);
    EXPECT_EQ(filled->faceVertexCount(0), 12u);
}

TEST(EditCollapse, DeleteEdgeJoinsAHoleTheOtherFaceMeetsToo) {
    // A ring round the sides of a unit cube (the top square its outer loop, the bottom one its
    // hole) and a flap over its front side sharing the ring's front top and bottom edges. Joining
    // at the top edge meets the bottom edge a second time, in the hole: the hole joins the merged
    // loop there rather than leaving the bottom edge used twice.
    auto src = build({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
                     {{{4, 7, 6, 5}, {0, 1, 2, 3}}, {{0, 4, 5, 1}}});
    TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
    const uint32_t bottom = between(edit, 0, 1);
    ASSERT_TRUE(edit.deleteEdge(between(edit, 4, 5), false));
    EXPECT_TRUE(edit.isEdgeDeleted(bottom));
    TpolyIdMapper mapper(true, true, true);
    auto out = packed(edit, mapper, 1);
    ASSERT_EQ(out->nbFace(), 1u);
    EXPECT_EQ(out->faceOrder(0), 1u);
    EXPECT_EQ(out->faceVertexCount(0), 8u);

    // Two faces that share 1-4 the usual way but run 3-0 the same way: no join keeps the loops
    // connected, so the deletion is refused.
    auto twisted = build({{0, 0, 0}, {1, 0, 0}, {1, 1, 1}, {0, 1, 0}, {1, 1, 0}},
                         {{{0, 1, 4, 3}}, {{4, 1, 2, 3, 0}}});
    TpolyEditableGeom refused(twisted.get(), TpolyEditableGeom::kModeAll);
    EXPECT_FALSE(refused.deleteEdge(between(refused, 1, 4), false));
    std::unique_ptr<TpolyGeom> same(refused.convert(true, true, nullptr));
    EXPECT_EQ(same->nbFace(), 2u);
    EXPECT_EQ(same->faceVertexCount(0) + same->faceVertexCount(1), 9u);

    // Nested squares: the outer face holds the outer ring and the inner square, the filling face
    // the middle ring, its hole running along the inner square. Removing the filling face joins
    // that hole with the inner square's loop, which leaves no loop at all.
    auto nested = build({{0, 0, 0}, {6, 0, 0}, {6, 6, 0}, {0, 6, 0}, {1, 1, 0}, {5, 1, 0}, {5, 5, 0}, {1, 5, 0},
                         {2, 2, 0}, {4, 2, 0}, {4, 4, 0}, {2, 4, 0}},
                        {{{0, 1, 2, 3}, {7, 6, 5, 4}, {8, 9, 10, 11}}, {{4, 5, 6, 7}, {11, 10, 9, 8}}});
    TpolyEditableGeom filled(nested.get(), TpolyEditableGeom::kModeAll);
    ASSERT_TRUE(filled.deleteEdge(between(filled, 4, 5), false));
    TpolyIdMapper m2(true, true, true);
    auto square = packed(filled, m2, 1);
    ASSERT_EQ(square->nbFace(), 1u);
    EXPECT_EQ(square->faceOrder(0), 1u);
    EXPECT_EQ(square->faceVertexCount(0), 4u);
}

TEST(EditCollapse, DeleteVertexMergesItsTwoEdges) {
    // Two quads sharing the path 0-1-2; vertex 1 lies between exactly two edges.
    auto src = build({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {1, -1, 0}, {1, 1, 0}}, {{{0, 3, 2, 1}}, {{0, 1, 2, 4}}});
    TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
    EXPECT_FALSE(edit.deleteVertex(0));  // three edges
    ASSERT_TRUE(edit.deleteVertex(1));
    EXPECT_EQ(edit.vertexOrder(1), 0u);
    TpolyIdMapper mapper(true, true, true);
    auto out = packed(edit, mapper, 1);
    ASSERT_EQ(out->nbFace(), 2u);
    EXPECT_EQ(out->faceVertexCount(0), 3u);
    EXPECT_EQ(out->faceVertexCount(1), 3u);
    EXPECT_EQ((*mapper.vertexMap())[1], TpolyBits::kNoId);
    EXPECT_EQ(out->nbEdge(), 5u);
    EXPECT_TRUE(out->isInGroup(kPolyGrpFace, 3, 1));
    TbdDataPtrArray bd;
    EXPECT_TRUE(out->faceBlindData()->getBlindData(1, bd));
    // A triangle would drop to two corners.
    auto tri = build({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {1, 1, 0}, {1, -1, 0}}, {{{0, 1, 2, 3}}, {{0, 4, 1}}});
    TpolyEditableGeom refused(tri.get(), TpolyEditableGeom::kModeAll);
    EXPECT_FALSE(refused.deleteVertex(1));
}

TEST(EditCollapse, CollapseEdgeAndFaceMergeVertices) {
    auto src = grid(3);
    TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
    const uint32_t e = between(edit, 5, 6);
    const uint32_t a = edit.getStartVertex(e), b = edit.getEndVertex(e);
    ASSERT_TRUE(edit.collapseEdge(e));
    EXPECT_TRUE(edit.isEdgeDeleted(e));
    EXPECT_FALSE(edit.collapseEdge(e));
    EXPECT_FLOAT_EQ(edit.vertex(a).x, 1.5f);
    EXPECT_EQ(edit.vertexOrder(b), 0u);
    EXPECT_EQ(edit.vertexOrder(a), 6u);
    TpolyIdMapper mapper(true, true, true);
    auto out = packed(edit, mapper, 1);
    EXPECT_EQ(out->nbFace(), 9u);
    EXPECT_EQ(out->nbVertex(), 15u);
    EXPECT_EQ((*mapper.vertexMap())[b], TpolyBits::kNoId);
    EXPECT_EQ((*mapper.vertexMap())[7], 6u);
    EXPECT_TRUE(out->isInGroup(kPolyGrpFace, 3, 8));

    // Collapsing the middle face makes its four corners one vertex; its four side neighbours
    // become triangles.
    auto g2 = grid(3);
    TpolyEditableGeom faces(g2.get(), TpolyEditableGeom::kModeAll);
    faces.collapseFace(4);
    EXPECT_EQ(faces.faceCount(), 8u);
    TpolyIdMapper m2(true, true, true);
    auto collapsed = packed(faces, m2, 1);
    EXPECT_EQ(collapsed->nbVertex(), 13u);
    uint32_t triangles = 0;
    for (uint32_t f = 0; f < collapsed->nbFace(); ++f) triangles += collapsed->faceVertexCount(f) == 3 ? 1 : 0;
    EXPECT_EQ(triangles, 4u);
    uint32_t kept = 0;
    for (uint32_t v : {5u, 6u, 9u, 10u}) {
        const uint32_t n = (*m2.vertexMap())[v];
        if (n == TpolyBits::kNoId) continue;
        ++kept;
        const T3dFltPoint& merged = collapsed->vertexConst(n);
        EXPECT_TRUE(merged.x > 1 && merged.x < 2 && merged.y > 1 && merged.y < 2);
    }
    EXPECT_EQ(kept, 1u);

    // A lone triangle cannot collapse; a box edge can, and stays closed.
    auto tri = build({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{{0, 1, 2}}});
    TpolyEditableGeom lone(tri.get(), TpolyEditableGeom::kModeAll);
    TpolyEditableGeom::TcollapsePlan plan;
    EXPECT_FALSE(lone.canCollapseEdge(0, plan));
    EXPECT_FALSE(lone.collapseEdge(0));
    auto cube = box();
    TpolyEditableGeom closed(cube.get(), TpolyEditableGeom::kModeAll);
    ASSERT_TRUE(closed.collapseEdge(0));
    TpolyIdMapper m3(true, true, true);
    auto shut = packed(closed, m3, 2);
    EXPECT_EQ(shut->nbVertex(), 7u);
    EXPECT_EQ(shut->nbEdge(), 11u);

    // The check alone changes nothing; its plan applied collapses as collapseEdge does.
    auto checked = grid(3), direct = grid(3), onlyChecked = grid(3), untouched = grid(3);
    TpolyEditableGeom byPlan(checked.get(), TpolyEditableGeom::kModeAll);
    TpolyEditableGeom oneCall(direct.get(), TpolyEditableGeom::kModeAll);
    TpolyEditableGeom checkOnly(onlyChecked.get(), TpolyEditableGeom::kModeAll);
    TpolyEditableGeom fresh(untouched.get(), TpolyEditableGeom::kModeAll);
    const uint32_t middle = between(byPlan, 5, 6);
    ASSERT_TRUE(checkOnly.canCollapseEdge(middle, plan));
    EXPECT_FALSE(checkOnly.changed());
    EXPECT_EQ(std::unique_ptr<TpolyGeom>(checkOnly.convert(true, true, nullptr))
                  ->compareObject(*std::unique_ptr<TpolyGeom>(fresh.convert(true, true, nullptr))),
              0u);
    ASSERT_TRUE(byPlan.canCollapseEdge(middle, plan));
    byPlan.applyCollapse(plan);
    ASSERT_TRUE(oneCall.collapseEdge(middle));
    EXPECT_EQ(std::unique_ptr<TpolyGeom>(byPlan.convert(true, true, nullptr))
                  ->compareObject(*std::unique_ptr<TpolyGeom>(oneCall.convert(true, true, nullptr))),
              0u);
}

TEST(EditCollapse, CleanupDeletesOnlyDegenerateFaces) {
    auto src = twoQuads();
    TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
    // Face 0 again with an edge from vertex 1 to itself after its first corner.
    const TfaceNode& f0 = edit.face(0);
    const uint32_t loop = edit.createEdge(1, 1, false, false);
    const uint32_t refs[5] = {f0.fCorners[0], loop, f0.fCorners[1], f0.fCorners[2], f0.fCorners[3]};
    const uint32_t id = edit.createFace(refs, 5, nullptr, nullptr, nullptr, 0, TpolyEditableGeom::kModeAll);
    edit.cleanupDegenerateFaces();
    EXPECT_EQ(edit.faceCount(), 2u);
    EXPECT_EQ(edit.faceIfExists(id), nullptr);
    EXPECT_NE(edit.faceIfExists(0), nullptr);
}

TEST(EditCollapse, CollapseRefusesToTurnALoopBackOnItself) {
    // The loop x, c, b, a, c, y passes c twice around the edge a-b, and the triangle (b, a, c)
    // lies on that edge: collapsing a-b would merge the triangle's edges c-a and c-b into one
    // that the long loop then walks out and straight back.
    auto src = build({{0, 0, 0}, {1, 0, 0}, {0.5f, 1, 0}, {-1, 2, 0}, {2, 2, 0}},
                     {{{3, 2, 1, 0, 2, 4}}, {{1, 0, 2}}});
    ASSERT_EQ(structuralErrors(*src), 0);
    TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
    const uint32_t ab = between(edit, 0, 1);
    EXPECT_FALSE(edit.collapseEdge(ab));
    EXPECT_FALSE(edit.changed());
    std::unique_ptr<TpolyGeom> out(edit.convert(true, true, nullptr));
    EXPECT_EQ(structuralErrors(*out), 0);
    EXPECT_EQ(out->nbFace(), 2u);
}
