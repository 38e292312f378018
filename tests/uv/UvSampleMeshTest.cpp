#include <gtest/gtest.h>

#include <string>

#include "support/ObjLoad.h"
#include "uv/UvTestSupport.h"

namespace {

// A sample mesh with a UV set made by a spherical projection of every face (the samples carry no
// texture coordinates of their own).
std::unique_ptr<TmidBody> sampleBody(const char* name) {
    auto* g = new TpolyGeom;
    EXPECT_TRUE(loadObj(std::string(BRINDLE_DATA_DIR) + "/" + name, *g));
    g->update(dirtyFaceOffsets);
    g->newEmptyMapSet(Tstring("map1"));
    auto body = std::make_unique<TmidBody>(g);
    TpolySphProjFty sph;
    sph.setUVSetIndex(0);
    sph.setU(180), sph.setV(90), sph.setU2D(0.5f), sph.setV2D(0.5f), sph.setCen2DX(0.5f), sph.setCen2DY(0.5f);
    sph.setSeamCorrect(true);
    TmidFaceComponent all = allOf<TmidFaceComponent>(g->nbFace());
    EXPECT_EQ(sph.doAction(body.get(), &all), 0);
    return body;
}

TEST(UvSampleMeshes, EveryOperationKeepsTheRecordConsistent) {
    for (const char* name : {"woody.obj", "suzanne.obj", "beetle.obj"}) {
        SCOPED_TRACE(name);
        auto body = sampleBody(name);
        TpolyGeom& g = *body->polyGeom();
        ASSERT_TRUE(cleanRecord(g));
        const uint32_t nFace = g.nbFace();
        TmidFaceComponent all = allOf<TmidFaceComponent>(nFace), half;
        half.addRange(0, nFace / 2);
        // Every third edge that is no seam yet: cutting and sewing them gives every UV back.
        g.update(dirtyEdgeToFace);
        TmidEdgeComponent edges;
        for (uint32_t e = 0; e < g.nbEdge(); e += 3)
            if (!g.isUVBorder(e, 0)) edges.addElement(e);

        TpolyMapCutFty cut;
        cut.setUVSetIndex(0);
        ASSERT_EQ(cut.doAction(body.get(), &edges), 0);
        EXPECT_TRUE(cleanRecord(g));
        const std::vector<T2FloatPair> cutUVs = cornerUVs(g, 0);
        TpolyMapSewFty sew;
        sew.setUVSetIndex(0);
        ASSERT_EQ(sew.doAction(body.get(), &edges), 0);
        EXPECT_TRUE(cleanRecord(g));
        EXPECT_EQ(cornerUVs(g, 0), cutUVs);  // the cut moved nothing, so the sew moves nothing

        TpolyLayoutUVFty layout;
        layout.setMoveMode(2);
        layout.setScaleMode(1);
        layout.setCutMode(1);
        ASSERT_EQ(cut.doAction(body.get(), &edges), 0);
        ASSERT_EQ(layout.doAction(body.get(), &all), 0);
        EXPECT_TRUE(cleanRecord(g));
        float lo[2], hi[2];
        ASSERT_TRUE(g.getUVBbox(lo, hi, 0));
        EXPECT_GE(std::min(lo[0], lo[1]), -1e-6f);
        EXPECT_LE(std::max(hi[0], hi[1]), 1 + 1e-6f);
        EXPECT_EQ(shellOverlaps(g, 0), 0u);

        TpolyMoveUVFty move;
        move.setRandom(0.2f);
        move.setTransU(0.1f);
        TmidMapComponent uvs = allOf<TmidMapComponent>(g.nbUV(0));
        ASSERT_EQ(move.doAction(body.get(), &uvs), 0);
        TpolyMergeUVFty merge;
        merge.setThreshold(0.05);
        TmidMapComponent again = allOf<TmidMapComponent>(g.nbUV(0));
        ASSERT_EQ(merge.doAction(body.get(), &again), 0);
        EXPECT_TRUE(cleanRecord(g));

        const uint32_t copy = g.newEmptyMapSet(Tstring("copy"));
        TpolyCopyUVFty copier;
        copier.setMapSetIn(0);
        copier.setMapSetOut(int32_t(copy));
        ASSERT_EQ(copier.doAction(body.get(), &all), 0);
        EXPECT_EQ(cornerUVs(g, copy), cornerUVs(g, 0));
        TpolyMapDelFty del;
        del.setUVSetIndex(copy);
        ASSERT_EQ(del.doAction(body.get(), &half), 0);
        TpolyForceUVFty force;
        force.setMapSet(0);
        force.setPerformNormalize(true);
        ASSERT_EQ(force.doAction(body.get(), &half), 0);
        TpolyAutoProjFty automatic;
        automatic.setMapSet(int32_t(copy));
        ASSERT_EQ(automatic.doAction(body.get(), &all), 0);
        TpolyCylProjFty cyl;
        cyl.setUVSetIndex(copy);
        cyl.setU(360), cyl.setV(2), cyl.setU2D(1), cyl.setV2D(1), cyl.setSeamCorrect(true);
        ASSERT_EQ(cyl.doAction(body.get(), &half), 0);
        EXPECT_TRUE(cleanRecord(g));
    }
}

}  // namespace
