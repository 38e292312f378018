#include "EditTestSupport.h"

using namespace edittest;

namespace {
// The converted record of an edit: consistent, and every corner's UV and colour its vertex's.
std::unique_ptr<TpolyGeom> converted(const TpolyEditableGeom& edit) {
    std::unique_ptr<TpolyGeom> out(edit.convert(true, true, nullptr));
    EXPECT_EQ(out->checkObject(kCheckAll), 0u);
    EXPECT_EQ(structuralErrors(*out), 0);
    return out;
}

uint32_t edgeOf(const TpolyGeom& g, uint32_t a, uint32_t b) {
    for (uint32_t e = 0; e < g.nbEdge(); ++e)
        if ((g.startVertex(e) == a && g.endVertex(e) == b) || (g.startVertex(e) == b && g.endVertex(e) == a)) return e;
    return ~0u;
}

// The record's face group 3 holds `size` faces, exactly those tagged with the blind data 42.
void expectGroupAndTags(const TpolyGeom& g, uint32_t size) {
    uint32_t n = 0;
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        TbdDataPtrArray bd;
        const bool in = g.isInGroup(kPolyGrpFace, 3, f);
        n += in ? 1 : 0;
        EXPECT_EQ(g.faceBlindData()->getBlindData(f, bd) ? bd[0].value.i : -1, in ? 42 : -1) << f;
    }
    EXPECT_EQ(n, size);
}
}  // namespace

TEST(EditSplit, ManyPointEdgeSplit) {
    auto src = twoQuads();
    TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
    TuInt32Array vertices, edges;
    // Edge 1 runs (1,0) -> (1,1) between both quads: three equal pieces.
    ASSERT_TRUE(edit.splitEdge(1, nullptr, &vertices, &edges, 2, false));
    EXPECT_FLOAT_EQ(edit.vertex(vertices[0]).y, 1.0f / 3);
    EXPECT_EQ(edit.getEndVertex(edges[1]), 4u);
    EXPECT_EQ(edit.face(0).fCount, 6u);
    // Positions off the edge are projected for the attributes; refused ones change nothing.
    const T3dFltPoint off[2] = {T3dFltPoint(0.5f, 0.2f, 0), T3dFltPoint(0.2f, 0.1f, 0)};
    EXPECT_FALSE(edit.splitEdge(0, off, nullptr, nullptr, 2, true));  // not in order
    EXPECT_FALSE(edit.splitEdge(edit.edgeCount(), nullptr, nullptr, nullptr, 1, false));
    ASSERT_TRUE(edit.splitEdge(0, off, &vertices, nullptr, 1, true));
    EXPECT_EQ(edit.vertex(vertices[0]), T3dFltPoint(0.5f, 0, 0));
    auto out = converted(edit);
    EXPECT_EQ(out->nbVertex(), 9u);
    EXPECT_EQ(out->nbEdge(), 10u);
    EXPECT_EQ(euler(*out), 1);
}

TEST(EditSplit, SplitAFaceCarriesAttributesAndRefusesBadCuts) {
    auto src = twoQuads();
    TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
    // The copy works on the record's own arrays.
    EXPECT_EQ(&edit.polyEdge(0), &src->edgeArray()[0]);
    EXPECT_EQ(edit.face(1).fCorners, reinterpret_cast<uint32_t*>(src->faceDescArray().data()) + 4);
    const T3dFltPointArray none;
    EXPECT_EQ(edit.splitAFace(1, -1, 2, -1, none, true, 0, -1, 1.0), -1);  // runs along edge 1-2
    EXPECT_EQ(edit.splitAFace(0, -1, 5, -1, none, true, 0, -1, 1.0), -1);  // no face holds both
    EXPECT_EQ(edit.splitAFace(99, 0.5f, 6, 0.5f, none, true, 0, -1, 1.0), -1);
    EXPECT_EQ(edit.splitAFace(4, 0.5f, 6, 0.5f, none, true, 0, 0, 1.0), -1);  // face 0 lacks them
    EXPECT_EQ(edit.vertexCount(), 6u);
    auto fresh = twoQuads();
    TpolyEditableGeom untouched(fresh.get(), TpolyEditableGeom::kModeAll);
    EXPECT_EQ(std::unique_ptr<TpolyGeom>(edit.convert(true, true, nullptr))
                  ->compareObject(*std::unique_ptr<TpolyGeom>(untouched.convert(true, true, nullptr))),
              0u);

    // Face 1 (grouped, tagged) from the middle of its bottom edge to the middle of its top.
    const int32_t end = edit.splitAFace(4, 0.5f, 6, 0.5f, none, true, 0, -1, 1.0);
    ASSERT_GE(end, 0);
    EXPECT_EQ(edit.vertex(uint32_t(end)), T3dFltPoint(1.5f, 1, 0));
    // Face 0 from its corner 0 to corner 4 through one new vertex, then corners 1 and 3 to it.
    const int32_t mid = edit.splitAFace(0, -1, 4, -1, none, false, 1, -1, -1.0);
    ASSERT_EQ(mid, 4);
    const uint32_t centre = edit.vertexCount() - 1;
    EXPECT_GE(edit.splitAFace(1, -1, centre, -1, none, false, 0, -1, -1.0), 0);
    EXPECT_GE(edit.splitAFace(3, -1, centre, -1, none, false, 0, -1, -1.0), 0);
    auto out = converted(edit);
    EXPECT_EQ(out->nbFace(), 6u);
    EXPECT_EQ(out->nbVertex(), 9u);
    EXPECT_EQ(euler(*out), 1);
    EXPECT_EQ(out->vertexConst(centre), T3dFltPoint(0.5f, 0.5f, 0));
    EXPECT_FALSE(out->isHard(edgeOf(*out, 6, 7)));  // coplanar pieces: soft
    // Both pieces of face 1 keep its group and blind data.
    expectGroupAndTags(*out, 2u);

    // The check alone answers as the cut does and changes nothing; its plan applied cuts as
    // splitAFace does.
    auto checked = twoQuads(), direct = twoQuads();
    TpolyEditableGeom byPlan(checked.get(), TpolyEditableGeom::kModeAll);
    TpolyEditableGeom oneCall(direct.get(), TpolyEditableGeom::kModeAll);
    TpolyEditableGeom::TfaceCutPlan plan;
    EXPECT_FALSE(byPlan.canSplitAFace(1, -1, 2, -1, 0, -1, plan));
    EXPECT_FALSE(byPlan.canSplitAFace(4, 0.5f, 6, 0.5f, 0, 0, plan));
    ASSERT_TRUE(byPlan.canSplitAFace(4, 0.5f, 6, 0.5f, 1, -1, plan));
    EXPECT_EQ(plan.face, 1u);
    EXPECT_FALSE(byPlan.changed());
    EXPECT_EQ(byPlan.vertexCount(), 6u);
    EXPECT_EQ(byPlan.applySplitAFace(plan, none, true, 1.0),
              oneCall.splitAFace(4, 0.5f, 6, 0.5f, none, true, 1, -1, 1.0));
    EXPECT_EQ(converted(byPlan)->compareObject(*converted(oneCall)), 0u);

    // A copy without wings or vertex information cuts alike.
    auto plain = twoQuads();
    TpolyEditableGeom basic(plain.get(), TpolyEditableGeom::kModeBasic);
    ASSERT_GE(basic.splitAFace(4, 0.5f, 6, 0.5f, none, false, 0, -1, 1.0), 0);
    EXPECT_EQ(converted(basic)->nbFace(), 3u);
}

TEST(EditSplit, SplitAFaceSendsHolesToTheEnclosingPiece) {
    TpolyGeom g;
    for (const auto& [x, y] :
         std::vector<std::pair<float, float>>{{0, 0}, {4, 0}, {4, 4}, {0, 4}, {1, 2}, {1, 3}, {3, 3}, {3, 2}})
        g.appendVertex(x, y, 0);
    for (uint32_t i = 0; i < 4; ++i) g.appendEdge(i, (i + 1) % 4);
    for (uint32_t i = 0; i < 4; ++i) g.appendEdge(4 + i, 4 + (i + 1) % 4);
    g.bgnFace(8);
    for (uint32_t i = 0; i < 4; ++i) g.refEdge(i, kForward);
    g.endLoop();
    for (uint32_t i = 0; i < 4; ++i) g.refEdge(4 + i, kForward);
    g.endLoop();
    g.endFace();
    edittest::decorate(g);
    TpolyEditableGeom edit(&g, TpolyEditableGeom::kModeAll);
    // From the right edge to the left one at height 1: the hole lies in the upper piece.
    ASSERT_GE(edit.splitAFace(1, 0.25f, 3, 0.75f, T3dFltPointArray(), false, 0, -1, 1.0), 0);
    auto out = converted(edit);
    ASSERT_EQ(out->nbFace(), 2u);
    EXPECT_EQ(out->faceVertexCount(0) + out->faceVertexCount(1), 12u);
    EXPECT_EQ(out->faceOrder(0) + out->faceOrder(1), 3u);
    const uint32_t upper = out->faceOrder(0) == 2 ? 0 : 1;
    bool reachesTop = false;
    for (uint32_t o = out->faceOffset(upper); o < out->faceOffset(upper + 1); ++o)
        reachesTop |= out->getStartVertex(o) == 2;
    EXPECT_TRUE(reachesTop);
}

TEST(EditSplit, SplitManyFacesAlongPaths) {
    auto src = grid(2);
    const TpolyGeom& g = *src;
    const int32_t onEdge = int32_t(0x80000000u);
    TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
    Tint32Array faces, desc;
    TfloatArray t;
    T3dFltPointArray points;
    auto path = [&](std::initializer_list<int32_t> f, std::initializer_list<int32_t> d,
                    std::initializer_list<float> ts) {
        faces.clear(), desc.clear(), t.clear();
        for (int32_t v : f) faces.addLast(v);
        for (int32_t v : d) desc.addLast(v);
        for (float v : ts) t.addLast(v);
    };
    // Refused: ends inside a face, meets a face twice. Nothing changes.
    points.addLast(T3dFltPoint(0.5f, 0.5f, 0));
    path({-1, 0}, {int32_t(edgeOf(g, 0, 3)) | onEdge, 0}, {0.5f, 0});
    EXPECT_FALSE(edit.splitManyFaces(faces, t, desc, points, 1, false, 1.0));
    path({-1, 0, 0},
         {int32_t(edgeOf(g, 0, 3)) | onEdge, int32_t(edgeOf(g, 1, 4)) | onEdge, int32_t(edgeOf(g, 0, 1)) | onEdge},
         {0.5f, 0.5f, 0.5f});
    EXPECT_FALSE(edit.splitManyFaces(faces, t, desc, points, 1, false, 1.0));
    EXPECT_EQ(edit.vertexCount(), 9u);
    EXPECT_EQ(edit.faceCount(), 4u);

    // Across the bottom row: through a face point in face 0, in two steps across face 1.
    path({-1, 0, 0, 1},
         {int32_t(edgeOf(g, 0, 3)) | onEdge, 0, int32_t(edgeOf(g, 1, 4)) | onEdge, int32_t(edgeOf(g, 2, 5)) | onEdge},
         {0.5f, 0, 0.5f, 0.5f});
    ASSERT_TRUE(edit.splitManyFaces(faces, t, desc, points, 2, false, 1.0));
    auto out = converted(edit);
    EXPECT_EQ(out->nbFace(), 6u);
    EXPECT_EQ(out->nbVertex(), 9u + 5u);
    EXPECT_EQ(euler(*out), 1);

    // Round the four sides of a box, closing on the first edge's cut vertex.
    auto cube = box();
    TpolyEditableGeom ring(cube.get(), TpolyEditableGeom::kModeAll);
    path({-1, 2, 5, 3, 4},
         {int32_t(edgeOf(*cube, 0, 4)) | onEdge, int32_t(edgeOf(*cube, 1, 5)) | onEdge,
          int32_t(edgeOf(*cube, 3, 7)) | onEdge, int32_t(edgeOf(*cube, 2, 6)) | onEdge,
          int32_t(edgeOf(*cube, 0, 4)) | onEdge},
         {0.5f, 0.5f, 0.5f, 0.5f, 0.5f});
    ASSERT_TRUE(ring.splitManyFaces(faces, t, desc, T3dFltPointArray(), 1, true, 1.0));
    auto closed = converted(ring);
    EXPECT_EQ(closed->nbFace(), 10u);
    EXPECT_EQ(closed->nbVertex(), 12u);
    EXPECT_EQ(closed->nbEdge(), 20u);
    EXPECT_EQ(euler(*closed), 2);
}

TEST(EditSplit, SubdivideFacesReuseSharedMidpoints) {
    auto src = grid(2);
    TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
    EXPECT_FALSE(edit.subdivideFace(99, T3dFltPoint(), nullptr, nullptr, 0, true));
    std::vector<T2FloatArray> uvs(1);
    std::vector<TpolyColorValueArray> colors(1);
    const uint32_t selected[3] = {0, 1, 3};
    T3dFltPoint centres[3];
    for (uint32_t k = 0; k < 3; ++k) {
        edit.getFaceCenter(selected[k], kFaceInfoCornerMean, centres[k]);
        T2FloatPair uv;
        TpolyColorValue c;
        ASSERT_TRUE(edit.getUVFaceCenter(selected[k], 0, uv));
        ASSERT_TRUE(edit.getColorFaceCenter(selected[k], 0, c));
        uvs[0].addLast(uv);
        colors[0].addLast(c);
    }
    for (uint32_t k = 0; k < 3; ++k)
        ASSERT_TRUE(edit.subdivideFace(selected[k], centres[k], uvs.data(), colors.data(), k, true));
    auto out = converted(edit);
    EXPECT_EQ(out->nbFace(), 13u);
    EXPECT_EQ(out->nbVertex(), 9u + 10u + 3u);
    EXPECT_EQ(euler(*out), 1);
    uint32_t quads = 0;
    for (uint32_t f = 0; f < out->nbFace(); ++f) quads += out->faceVertexCount(f) == 4 ? 1 : 0;
    EXPECT_EQ(quads, 12u);  // face 2 gained two midpoints
    // Face 3's four quads keep its group and blind data.
    expectGroupAndTags(*out, 4u);
}

TEST(EditSplit, UserNormalsFollowCutsAndSubdivisions) {
    for (int subdivide = 0; subdivide < 2; ++subdivide) {
        auto src = twoQuads();
        src->update(dirtyNormalTopo);
        for (uint32_t o = 4; o < 8; ++o) src->setUserNormal(src->getNormalId(o), T4dFltVector(0, 0, 1));
        TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
        if (subdivide)
            ASSERT_TRUE(edit.subdivideFace(1, T3dFltPoint(1.5f, 0.5f, 0), nullptr, nullptr, 0, true));
        else
            ASSERT_GE(edit.splitAFace(4, 0.5f, 6, 0.5f, T3dFltPointArray(), false, 1, -1, 1.0), 0);
        std::unique_ptr<TpolyGeom> out(edit.convert(true, true, nullptr));
        EXPECT_EQ(out->checkObject(kCheckAll), 0u);
        out->update(dirtyNormalTopo);
        // Every corner made from face 1 has one; face 0's corner away from face 1 has none.
        EXPECT_FALSE(out->hasValidUserNormal(out->getNormalId(0)));
        for (uint32_t f = 1; f < out->nbFace(); ++f)
            for (uint32_t o = out->faceOffset(f); o < out->faceOffset(f + 1); ++o)
                EXPECT_TRUE(out->hasValidUserNormal(out->getNormalId(o))) << subdivide << " " << o;
    }
}

TEST(EditSplit, SplitVertexStartsItsWalkOnAFace) {
    // Each manifold vertex of the copy leaves by an edge whose side in that direction has a face,
    // so its walk never starts outside the mesh.
    auto walksFromAFace = [](const TpolyEditableGeom& edit, uint32_t v) {
        const uint32_t info = edit.getVertexInfo(v).edge;
        if (info & TpolyTopo::kNonManifold) return true;
        const uint32_t side = (info & TpolyTopo::kLeavingReversed) ? kRight : kLeft;
        return edit.polyWingEdge(info & TpolyBits::kEdgeMask).side[side] != TpolyBits::kNoFace;
    };
    // One triangle whose edges are stored forward, and one whose first edge is stored reversed
    // (its face on the right).
    for (bool reversed : {false, true}) {
        TpolyGeom g;
        g.appendVertex(0, 0, 0), g.appendVertex(1, 0, 0), g.appendVertex(0, 1, 0);
        g.appendEdge(reversed ? 1 : 0, reversed ? 0 : 1);
        g.appendEdge(1, 2), g.appendEdge(2, 0);
        g.bgnFace(3);
        g.refEdge(0, reversed ? kReversed : kForward), g.refEdge(1, kForward), g.refEdge(2, kForward);
        g.endLoop();
        g.endFace();
        TpolyEditableGeom edit(&g, TpolyEditableGeom::kModeAll);
        uint32_t ne, nv;
        ASSERT_TRUE(edit.splitEdge(0, 0.5f, ne, nv));
        EXPECT_TRUE(walksFromAFace(edit, nv)) << reversed;
        EXPECT_EQ(edit.getVertexInfo(nv).edge & TpolyBits::kEdgeMask, reversed ? 0u : ne);
        EXPECT_TRUE(walksFromAFace(edit, edit.getEndVertex(ne))) << reversed;
    }
    // Every edge of two quads, border and shared, split once.
    auto src = twoQuads();
    TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
    const uint32_t edges = edit.edgeCount();
    for (uint32_t e = 0; e < edges; ++e) {
        uint32_t ne, nv;
        ASSERT_TRUE(edit.splitEdge(e, 0.5f, ne, nv));
    }
    for (uint32_t v = 0; v < edit.vertexCount(); ++v) EXPECT_TRUE(walksFromAFace(edit, v)) << v;
    EXPECT_EQ(converted(edit)->nbVertex(), 6u + edges);
}
