#include <gtest/gtest.h>

#include <cmath>

#include "uv/UvTestSupport.h"

namespace {

constexpr uint32_t kSet = 0;

TEST(UvSeams, CutThenSewRestoresIdsAndValues) {
    auto body = gridBody(4);
    TpolyGeom& g = *body->polyGeom();
    const std::vector<T2FloatPair> before = cornerUVs(g, kSet);
    const std::vector<int32_t> ids(g.getUVIdArray(kSet), g.getUVIdArray(kSet) + g.faceDescLength());

    // A seam along the column of vertical edges at x = 2: only those edges become UV borders.
    TmidEdgeComponent column;
    for (uint32_t e = 0; e < g.nbEdge(); ++e)
        if (g.vertexConst(g.startVertex(e)).x == 2 && g.vertexConst(g.endVertex(e)).x == 2) column.addElement(e);
    TpolyMapCutFty cut;
    cut.setUVSetIndex(kSet);
    ASSERT_EQ(cut.doAction(body.get(), &column), 0);
    EXPECT_EQ(g.nbUV(kSet), 25u + 5u);
    g.update(dirtyEdgeToFace);
    for (uint32_t e = 0; e < g.nbEdge(); ++e)
        EXPECT_EQ(g.isUVBorder(e, kSet), g.isBorder(e) || column.hasElement(e)) << e;
    EXPECT_EQ(cornerUVs(g, kSet), before);

    // Every edge cut: each corner holds a UV of its own, still at the same place.
    TmidEdgeComponent all = allOf<TmidEdgeComponent>(g.nbEdge());
    ASSERT_EQ(cut.doAction(body.get(), &all), 0);
    EXPECT_EQ(g.nbUV(kSet), g.faceDescLength());
    EXPECT_EQ(cornerUVs(g, kSet), before);
    EXPECT_TRUE(cleanRecord(g));

    TpolyMapSewFty sew;
    sew.setUVSetIndex(kSet);
    ASSERT_EQ(sew.doAction(body.get(), &all), 0);
    EXPECT_EQ(g.nbUV(kSet), 25u);
    EXPECT_EQ(cornerUVs(g, kSet), before);
    EXPECT_EQ(std::vector<int32_t>(g.getUVIdArray(kSet), g.getUVIdArray(kSet) + g.faceDescLength()), ids);
    EXPECT_TRUE(cleanRecord(g));
}

TEST(UvSeams, SewMeetsAtTheMeanAndMergeJoinsOnlyOneVertex) {
    auto body = gridBody(2);
    TpolyGeom& g = *body->polyGeom();
    TmidEdgeComponent all = allOf<TmidEdgeComponent>(g.nbEdge());
    TpolyMapCutFty cut;
    cut.setUVSetIndex(kSet);
    ASSERT_EQ(cut.doAction(body.get(), &all), 0);
    // Move face 0's corner at the centre vertex (4): sewing the centre makes its four UVs one,
    // at the mean of the four.
    const uint32_t corner = g.getVertexOffset(0, 4);
    const uint32_t moved = uint32_t(g.getUVId(corner, kSet));
    g.setUV(moved, 0.5f + 0.4f, 0.5f, kSet);
    TpolyMapSewFty sew;
    sew.setUVSetIndex(kSet);
    ASSERT_EQ(sew.doAction(body.get(), &all), 0);
    float uv[2];
    ASSERT_TRUE(g.getFaceVertexUV(3, 4, uv, kSet));
    EXPECT_NEAR(uv[0], 0.6f, 1e-6);
    EXPECT_NEAR(uv[1], 0.5f, 1e-6);

    // Merge with the default threshold joins equal UVs of one vertex only: vertex 0's UV is
    // placed on vertex 1's, and the two never merge; the centre corner of face 0 is moved off
    // the other three and stays apart until the threshold reaches it.
    ASSERT_EQ(cut.doAction(body.get(), &all), 0);
    const uint32_t cutCount = g.nbUV(kSet);
    g.setUV(uint32_t(g.getUVId(g.getVertexOffset(0, 0), kSet)), 0.5f, 0.0f, kSet);
    g.setUV(uint32_t(g.getUVId(corner, kSet)), 0.7f, 0.5f, kSet);
    TpolyMergeUVFty merge;
    TmidMapComponent uvs = allOf<TmidMapComponent>(g.nbUV(kSet));
    ASSERT_EQ(merge.doAction(body.get(), &uvs), 0);
    EXPECT_EQ(g.nbUV(kSet), 9u + 1u);
    EXPECT_LT(g.nbUV(kSet), cutCount);
    EXPECT_NE(g.getUVId(g.getVertexOffset(0, 0), kSet), g.getUVId(g.getVertexOffset(0, 1), kSet));
    merge.setThreshold(0.2);
    TmidMapComponent again = allOf<TmidMapComponent>(g.nbUV(kSet));
    ASSERT_EQ(merge.doAction(body.get(), &again), 0);
    EXPECT_EQ(g.nbUV(kSet), 9u);
    EXPECT_TRUE(cleanRecord(g));
}

TEST(UvMove, PivotRotationScaleAndRepeatableRandom) {
    auto body = gridBody(2);
    TpolyGeom& g = *body->polyGeom();
    TpolyMoveUVFty move;
    move.setRotationAngle(float(kHalfPi));
    move.setPivotU(0.5f);
    move.setPivotV(0.5f);
    TmidMapComponent one;
    one.addElement(5);  // vertex (2, 1): UV (1, 0.5)
    ASSERT_EQ(move.doAction(body.get(), &one), 0);
    EXPECT_NEAR(g.uvConst(5, kSet)->u, 0.5f, 1e-6);
    EXPECT_NEAR(g.uvConst(5, kSet)->v, 1.0f, 1e-6);

    TpolyMoveUVFty jitter;
    jitter.setRandom(0.5f);
    jitter.setRandomSeed(7);
    jitter.setTransU(1);
    jitter.setScaleV(2);
    TmidMapComponent all = allOf<TmidMapComponent>(g.nbUV(kSet));
    auto twin = gridBody(2);
    ASSERT_EQ(jitter.doAction(body.get(), &all), 0);
    ASSERT_EQ(jitter.doAction(twin.get(), &all), 0);
    g.setUV(5, 1, 0.5f, kSet);
    EXPECT_NE(cornerUVs(g, kSet), cornerUVs(*gridBody(2)->polyGeom(), kSet));
    twin->polyGeom()->setUV(5, 1, 0.5f, kSet);
    auto a = cornerUVs(g, kSet), b = cornerUVs(*twin->polyGeom(), kSet);
    // The rotated UV 5 was reset in both; the rest moved alike.
    EXPECT_EQ(a, b);
}

TEST(UvSets, CopyToANewSetDeleteAndNormalize) {
    auto body = gridBody(3);
    TpolyGeom& g = *body->polyGeom();
    const uint32_t out = g.newEmptyMapSet(Tstring("copy"));
    TmidFaceComponent faces = allOf<TmidFaceComponent>(g.nbFace());
    TpolyCopyUVFty copy;
    copy.setMapSetIn(0);
    copy.setMapSetOut(int32_t(out));
    ASSERT_EQ(copy.doAction(body.get(), &faces), 0);
    EXPECT_EQ(cornerUVs(g, out), cornerUVs(g, kSet));
    EXPECT_EQ(g.nbUV(out), g.nbUV(kSet));  // sharing is copied too
    copy.setMapSetOut(0);
    EXPECT_EQ(copy.doAction(body.get(), &faces), 0);  // same set: nothing to do

    // Deleting faces 0-3 unmaps them; the UVs only they used go, the rest keep their values.
    TpolyMapDelFty del;
    del.setUVSetIndex(out);
    TmidFaceComponent some;
    some.addRange(0, 3);
    const std::vector<T2FloatPair> before = cornerUVs(g, out);
    ASSERT_EQ(del.doAction(body.get(), &some), 0);
    const std::vector<T2FloatPair> after = cornerUVs(g, out);
    for (uint32_t f = 0; f < g.nbFace(); ++f)
        for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1); ++c) {
            if (f <= 3)
                EXPECT_EQ(g.getUVId(c, out), -1);
            else
                EXPECT_EQ(after[c], before[c]);
        }
    EXPECT_LT(g.nbUV(out), g.nbUV(kSet));
    EXPECT_TRUE(cleanRecord(g));

    // Normalising faces 4 and 5 together fills the unit square, keeping the aspect ratio, and
    // leaves the faces round them where they were.
    TpolyForceUVFty force;
    force.setMapSet(0);
    force.setPerformNormalize(true);
    force.setCollective(true);
    force.setPreserveAspectRatio(true);
    TmidFaceComponent pair;
    pair.addRange(4, 5);
    const std::vector<T2FloatPair> original = cornerUVs(g, kSet);
    ASSERT_EQ(force.doAction(body.get(), &pair), 0);
    float lo[2] = {1e9f, 1e9f}, hi[2] = {-1e9f, -1e9f};
    for (uint32_t f = 4; f <= 5; ++f)
        for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1); ++c) {
            const T2FloatPair p = *g.uvConst(uint32_t(g.getUVId(c, kSet)), kSet);
            lo[0] = std::min(lo[0], p.u), lo[1] = std::min(lo[1], p.v);
            hi[0] = std::max(hi[0], p.u), hi[1] = std::max(hi[1], p.v);
        }
    EXPECT_NEAR(lo[0], 0, 1e-6);
    EXPECT_NEAR(hi[0], 1, 1e-6);
    EXPECT_NEAR(hi[1] - lo[1], 0.5, 1e-6);  // two faces side by side: 2 x 1
    for (uint32_t c = g.faceOffset(6); c < g.faceOffset(7); ++c) EXPECT_EQ(cornerUVs(g, kSet)[c], original[c]);
    force.setPerformNormalize(false);
    force.setPerformFlip(true);
    force.setLocalFlip(true);
    ASSERT_EQ(force.doAction(body.get(), &pair), 0);
    EXPECT_TRUE(cleanRecord(g));
}

TEST(UvSets, DeletingRenumbersTheUvGroupsOfTheCurrentSet) {
    auto body = gridBody(3);
    TpolyGeom& g = *body->polyGeom();
    ASSERT_TRUE(g.setCurrentMap(kSet));
    // UV 4 (vertex 4) is used by faces 0 and 3 only; UVs 12 and 15 stay.
    const uint32_t grp = g.appendGrp(7, kPolyGrpUV);
    for (uint32_t id : {4u, 12u, 15u}) g.appendBlock(grp, id, id);
    const std::vector<T2FloatPair> kept{*g.uvConst(12, kSet), *g.uvConst(15, kSet)};
    TpolyMapDelFty del;
    del.setUVSetIndex(kSet);
    TmidFaceComponent some;
    some.addRange(0, 3);
    ASSERT_EQ(del.doAction(body.get(), &some), 0);
    EXPECT_EQ(g.nbUV(kSet), 16u - 5u);
    const int32_t after = g.findGrp(7, kPolyGrpUV);
    ASSERT_GE(after, 0);
    std::vector<T2FloatPair> members;
    for (uint32_t id : *g.group(uint32_t(after)).singleItems()) members.push_back(*g.uvConst(id, kSet));
    EXPECT_EQ(members, kept);
    EXPECT_TRUE(cleanRecord(g));
}

TEST(UvEditing, BadInputIsRefusedAndChangesNothing) {
    // No UV set at all.
    auto bare = std::make_unique<TmidBody>(new TpolyGeom);
    buildQuadGrid(*bare->polyGeom(), 2);
    TmidEdgeComponent edges = allOf<TmidEdgeComponent>(bare->polyGeom()->nbEdge());
    TmidFaceComponent faces = allOf<TmidFaceComponent>(bare->polyGeom()->nbFace());
    TmidMapComponent uvs = allOf<TmidMapComponent>(4);
    TpolyMapCutFty cut;
    TpolyMapSewFty sew;
    TpolyMapDelFty del;
    TpolyMoveUVFty move;
    TpolyMergeUVFty merge;
    TpolyCopyUVFty copy;
    copy.setMapSetIn(0);
    copy.setMapSetOut(1);
    EXPECT_EQ(cut.doAction(bare.get(), &edges), -1);
    EXPECT_EQ(sew.doAction(bare.get(), &edges), -1);
    EXPECT_EQ(del.doAction(bare.get(), &faces), -1);
    EXPECT_EQ(move.doAction(bare.get(), &uvs), -1);
    EXPECT_EQ(merge.doAction(bare.get(), &uvs), -1);
    EXPECT_EQ(copy.doAction(bare.get(), &faces), -1);

    // A set, but the wrong kind of list, an unset index, or a set index out of range.
    auto body = gridBody(2);
    TpolyGeom& g = *body->polyGeom();
    const std::vector<T2FloatPair> before = cornerUVs(g, kSet);
    const TpolyGeom original(g);
    const uint32_t groups = g.nbGroup();
    cut.setUVSetIndex(kSet);
    EXPECT_EQ(cut.doAction(body.get(), &faces), -1);
    EXPECT_EQ(g.nbGroup(), groups);
    cut.setUVSetIndex(0xFFFFFFFFu);
    EXPECT_EQ(cut.doAction(body.get(), &edges), -1);
    del.setUVSetIndex(3);
    EXPECT_EQ(del.doAction(body.get(), &faces), -1);
    EXPECT_EQ(move.doAction(body.get(), &faces), -1);
    TpolyForceUVFty force;  // neither normalize nor flip asked for
    EXPECT_EQ(force.doAction(body.get(), &faces), -1);
    EXPECT_EQ(force.createAutomaticUVs(), -1);
    EXPECT_EQ(cornerUVs(g, kSet), before);
    EXPECT_EQ(g.compareObject(original), 0u);
    // Ids beyond the record in the lists are ignored.
    TmidEdgeComponent far;
    far.addElement(1000);
    sew.setUVSetIndex(kSet);
    EXPECT_EQ(sew.doAction(body.get(), &far), 0);
    EXPECT_EQ(cornerUVs(g, kSet), before);
    EXPECT_TRUE(cleanRecord(g));
}

}  // namespace
