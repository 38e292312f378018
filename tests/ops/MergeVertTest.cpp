#include <gtest/gtest.h>

#include "ops/OpsTestSupport.h"
#include "ops/SeamSupport.h"

using opstest::allOf;
using opstest::bodyOf;
using opstest::recordState;
using seam::twoQuads;

namespace {
int weld(TmidBody& body, float threshold, TmidComponent* list, TpolyIdMapper* mapper = nullptr) {
    TpolyMergeVertFty fty;
    fty.setThreshold(threshold);
    fty.setIdMapper(mapper);
    return fty.doAction(&body, list);
}
}  // namespace

TEST(MergeVert, CoincidentBorderBecomesOneSharedEdge) {
    auto body = bodyOf(twoQuads());
    TpolyGeom& g = *body->polyGeom();
    auto all = allOf<TmidVertComponent>(8);
    TpolyIdMapper mapper(true, true, true);
    ASSERT_EQ(weld(*body, 0.01f, &all, &mapper), 0);
    EXPECT_EQ(g.nbVertex(), 6u);
    EXPECT_EQ(g.nbEdge(), 7u);
    EXPECT_EQ(g.nbFace(), 2u);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    // Survivors keep the smaller ids; the second quad's copies map onto them.
    const TuInt32Array& vm = *mapper.vertexMap();
    EXPECT_EQ(vm[4], vm[1]);
    EXPECT_EQ(vm[7], vm[2]);
    EXPECT_EQ(vm[5], 4u);
    g.update(dirtyFaceOffsets | dirtyEdgeToFace);
    uint32_t shared = 0;
    for (uint32_t e = 0; e < g.nbEdge(); ++e)
        if (!g.isBorder(e)) {
            ++shared;
            EXPECT_NE(g.getEdgeFace(e).side[kLeft], g.getEdgeFace(e).side[kRight]);
        }
    EXPECT_EQ(shared, 1u);  // used by both faces, in opposite directions
    // The fused edge of the second quad maps to the surviving one.
    const TuInt32Array& em = *mapper.edgeMap();
    ASSERT_EQ(em.size(), 8u);
    EXPECT_EQ(em[1], em[7]);
    EXPECT_EQ(mapper.faceMap()->size(), 2u);

    // A threshold of 0 or below welds nothing (every test is strict), and neither does one
    // below the gap: the record stays as it was, selection included.
    auto other = bodyOf(twoQuads());
    TpolyGeom& o = *other->polyGeom();
    for (uint32_t v = 4; v < 8; ++v) o.vertex(v).x += 0.01f;
    int name;
    ASSERT_TRUE(TmidModifierFty::getActiveGrpName(other.get(), &all, kPolyGrpVertex, name));
    const std::string before = recordState(o);
    for (float t : {0.0f, -1.0f, 0.009f}) {
        EXPECT_EQ(weld(*other, t, nullptr), 0);
        EXPECT_EQ(recordState(o), before);
    }
}

TEST(MergeVert, CollapsedEdgesShrinkFacesAndUnifyTheirUVs) {
    // A quad and a triangle sharing vertex 1; the quad's corners 2 and 3 sit 0.001 apart.
    auto g = std::make_unique<TpolyGeom>();
    for (T3dFltPoint p : {T3dFltPoint(0, 0, 0), T3dFltPoint(1, 0, 0), T3dFltPoint(1, 1, 0), T3dFltPoint(1.001f, 1, 0),
                          T3dFltPoint(2, 0, 0), T3dFltPoint(2, 0.001f, 0)})
        g->appendVertex(p);
    addRingFace(*g, {0, 1, 2, 3});
    addRingFace(*g, {1, 4, 5});
    g->update(dirtyFaceOffsets);
    const uint32_t set = g->newEmptyMapSet(Tstring("map1"));
    for (uint32_t o = 0; o < g->faceDescLength(); ++o) g->setUVId(o, g->appendUV(float(o), float(o) * 2, set), set);
    const uint32_t fg = g->bgnGroup(3, kPolyGrpFace);
    g->addElement(fg, 1);
    g->endGroup(fg);
    auto body = bodyOf(std::move(g));
    TpolyGeom& r = *body->polyGeom();

    // 2 and 3: the quad becomes a triangle; its two corner UVs (ids 2, 3) meet at their mean.
    TmidVertComponent pair;
    pair.addElement(2);
    pair.addElement(3);
    TpolyIdMapper mapper(true, true, true);
    ASSERT_EQ(weld(*body, 0.01f, &pair, &mapper), 0);
    EXPECT_EQ(r.nbVertex(), 5u);
    EXPECT_EQ(r.nbFace(), 2u);
    r.update(dirtyFaceOffsets);
    EXPECT_EQ(r.faceVertexCount(0), 3u);
    EXPECT_EQ(r.vertexConst(2), T3dFltPoint(1.0005f, 1, 0));
    float uv[2];
    ASSERT_TRUE(r.getFaceVertexUV(0, 2, uv, 0));
    EXPECT_FLOAT_EQ(uv[0], 2.5f);
    EXPECT_FLOAT_EQ(uv[1], 5.0f);
    EXPECT_EQ(r.nbUV(0), 6u);
    EXPECT_EQ(r.checkObject(kCheckAll), 0u);

    // Two corners of the triangle (now 3 and 4): it goes, the quad-turned-triangle stays; the
    // face group loses the removed face.
    TmidVertComponent tip;
    tip.addElement(3);
    tip.addElement(4);
    ASSERT_EQ(weld(*body, 0.01f, &tip, &mapper), 0);
    EXPECT_EQ(r.nbFace(), 1u);
    EXPECT_EQ(r.nbVertex(), 3u);
    EXPECT_EQ((*mapper.faceMap())[1], TpolyBits::kNoId);
    EXPECT_EQ(r.nbElem(3, kPolyGrpFace), 0u);
    EXPECT_EQ(r.checkObject(kCheckAll), 0u);

    // A threshold above the diagonal welds everything into one point: no face would be left,
    // so the record comes back unchanged and the action refuses.
    auto all = allOf<TmidVertComponent>(r.nbVertex());
    int name;
    ASSERT_TRUE(TmidModifierFty::getActiveGrpName(body.get(), &all, kPolyGrpVertex, name));
    const std::string before = recordState(r);
    EXPECT_EQ(weld(*body, 100.0f, nullptr), -1);
    EXPECT_EQ(recordState(r), before);
    // No selection at all.
    TmidEdgeComponent edges;
    edges.addElement(0);
    EXPECT_EQ(weld(*body, 1.0f, &edges), -1);
}

TEST(MergeVert, SampleMeshCutAlongASeamWeldsBackToTheOriginal) {
    for (const char* sample : {"cow.obj"}) {
        seam::Pair meshes = seam::split(sample);
        ASSERT_TRUE(meshes.whole && meshes.cut);
        ASSERT_GT(meshes.seamVertices, 10u);
        auto body = bodyOf(std::move(meshes.cut));
        TpolyGeom& g = *body->polyGeom();
        auto all = allOf<TmidVertComponent>(g.nbVertex());
        TpolyIdMapper mapper(true, false, false);
        ASSERT_EQ(weld(*body, 1e-5f, &all, &mapper), 0) << sample;
        seam::expectSame(g, *meshes.whole);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        const TuInt32Array& vm = *mapper.vertexMap();
        for (uint32_t v = 0; v < meshes.whole->nbVertex(); ++v) ASSERT_EQ(vm[v], v);
    }
}
