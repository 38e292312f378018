#include <gtest/gtest.h>

#include <cmath>

#include "support/ObjLoad.h"
#include "uv/UvTestSupport.h"

namespace {

// Every UV of set s lies in the unit square (within rounding).
bool insideUnitSquare(const TpolyGeom& g, uint32_t s) {
    float lo[2], hi[2];
    return g.getUVBbox(lo, hi, s) && lo[0] >= -1e-6f && lo[1] >= -1e-6f && hi[0] <= 1 + 1e-6f && hi[1] <= 1 + 1e-6f;
}

// Cuts every edge of set 0 and scales each face's UVs about its own first corner by a factor
// that grows with the face id, so that shells differ in size.
void cutIntoFaces(TmidBody& body) {
    TpolyGeom& g = *body.polyGeom();
    TmidEdgeComponent all = allOf<TmidEdgeComponent>(g.nbEdge());
    TpolyMapCutFty cut;
    cut.setUVSetIndex(0);
    ASSERT_EQ(cut.doAction(&body, &all), 0);
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        const T2FloatPair o = *g.uvConst(uint32_t(g.getUVId(g.faceOffset(f), 0)), 0);
        const float k = 1.0f + 0.37f * float(f % 5);
        for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1); ++c) {
            T2FloatPair* p = g.uv(uint32_t(g.getUVId(c, 0)), 0);
            *p = {o.u + k * (p->u - o.u), o.v + 1.6f * k * (p->v - o.v)};
        }
    }
}

TEST(UvLayout, RowPlacesShellsSideBySide) {
    auto body = gridBody(2);
    TpolyGeom& g = *body->polyGeom();
    cutIntoFaces(*body);
    TpolyLayoutUVFty layout;
    layout.setMoveMode(1);
    TmidFaceComponent all = allOf<TmidFaceComponent>(g.nbFace());
    const std::vector<T2FloatPair> before = cornerUVs(g, 0);
    ASSERT_EQ(layout.doAction(body.get(), &all), 0);
    // Each shell's box starts where the one before ended, at v = 0.
    float cursor = 0;
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        float lo[2] = {1e9f, 1e9f}, hi[2] = {-1e9f, -1e9f};
        for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1); ++c) {
            const T2FloatPair p = cornerUVs(g, 0)[c];
            lo[0] = std::min(lo[0], p.u), lo[1] = std::min(lo[1], p.v);
            hi[0] = std::max(hi[0], p.u), hi[1] = std::max(hi[1], p.v);
        }
        EXPECT_NEAR(lo[0], cursor, 1e-5) << f;
        EXPECT_NEAR(lo[1], 0, 1e-6) << f;
        cursor = hi[0];
    }
    EXPECT_TRUE(shellsKeptShape(g, 0, before, true));
    EXPECT_EQ(shellOverlaps(g, 0), 0u);
}

TEST(UvLayout, PackingAndScalingFillTheUnitSquareWithoutOverlap) {
    for (uint32_t scaleMode : {1u, 2u}) {
        for (float gap : {0.0f, 0.02f}) {
            auto body = gridBody(6);
            TpolyGeom& g = *body->polyGeom();
            cutIntoFaces(*body);
            TpolyLayoutUVFty layout;
            layout.setMoveMode(2);
            layout.setScaleMode(scaleMode);
            layout.setExtraGap(gap);
            TmidFaceComponent all = allOf<TmidFaceComponent>(g.nbFace());
            const std::vector<T2FloatPair> before = cornerUVs(g, 0);
            ASSERT_EQ(layout.doAction(body.get(), &all), 0);
            EXPECT_TRUE(insideUnitSquare(g, 0));
            EXPECT_EQ(shellOverlaps(g, 0), 0u) << scaleMode << " " << gap;
            float lo[2], hi[2];
            ASSERT_TRUE(g.getUVBbox(lo, hi, 0));
            if (scaleMode == 1) {
                EXPECT_TRUE(shellsKeptShape(g, 0, before, true));
                EXPECT_NEAR(std::max(hi[0] - lo[0], hi[1] - lo[1]), gap > 0 ? 1 / (1 + 2 * gap) : 1, 1e-4);
            } else if (gap == 0) {
                EXPECT_NEAR(hi[0] - lo[0], 1, 1e-5);
                EXPECT_NEAR(hi[1] - lo[1], 1, 1e-5);
            }
            EXPECT_TRUE(cleanRecord(g));
        }
    }
}

TEST(UvLayout, ReversedShellsAreMirroredAndSelfOverlapIsCut) {
    // A strip of three quads whose third folds back across the second in UV space.
    auto body = gridBody(3);
    TpolyGeom& g = *body->polyGeom();
    TmidFaceComponent row;
    row.addRange(0, 2);
    for (uint32_t v : {3u, 7u}) g.setUV(v, 0.5f, v == 3 ? 0.3f / 3 : 1.3f / 3, 0);
    TpolyLayoutUVFty layout;
    layout.setMoveMode(1);
    ASSERT_EQ(layout.doAction(body.get(), &row), 0);
    std::vector<int32_t> shells = uvShells(g, 0);
    EXPECT_EQ(shells[0], shells[2]);  // without the cut mode the fold stays in the shell
    layout.setCutMode(1);
    ASSERT_EQ(layout.doAction(body.get(), &row), 0);
    shells = uvShells(g, 0);
    EXPECT_EQ(shells[0], shells[1]);
    EXPECT_NE(shells[1], shells[2]);
    EXPECT_EQ(shellOverlaps(g, 0), 0u);
    EXPECT_TRUE(cleanRecord(g));

    // Mirror every UV of a grid in u: its shell turns clockwise and comes back mirrored.
    auto mirrored = gridBody(2);
    TpolyGeom& m = *mirrored->polyGeom();
    for (uint32_t i = 0; i < m.nbUV(0); ++i) m.uv(i, 0)->u = -m.uvConst(i, 0)->u;
    EXPECT_LT(m.getUVFaceArea(0, 0), 0);
    TpolyLayoutUVFty flip;
    flip.setMoveMode(1);
    flip.setFlipReversed(true);
    TmidFaceComponent all = allOf<TmidFaceComponent>(m.nbFace());
    ASSERT_EQ(flip.doAction(mirrored.get(), &all), 0);
    for (uint32_t f = 0; f < m.nbFace(); ++f) EXPECT_GT(m.getUVFaceArea(f, 0), 0);
}

TEST(UvLayout, TouchingShellsMoveApartAndDegenerateInputIsHarmless) {
    // Two faces that touch at one vertex share its UV: laying them out cuts that UV, so each
    // keeps its shape.
    auto body = std::make_unique<TmidBody>(new TpolyGeom);
    TpolyGeom& g = *body->polyGeom();
    for (const T3dFltPoint& p : {T3dFltPoint(0, 0, 0), T3dFltPoint(1, 0, 0), T3dFltPoint(1, 1, 0), T3dFltPoint(2, 1, 0),
                                 T3dFltPoint(2, 2, 0), T3dFltPoint(0, 1, 0), T3dFltPoint(1, 2, 0)})
        g.appendVertex(p);
    addRingFace(g, {0, 1, 2, 5});
    addRingFace(g, {2, 3, 4, 6});
    g.update(dirtyFaceOffsets);
    const uint32_t s = g.newEmptyMapSet(Tstring("map1"));
    for (uint32_t v = 0; v < g.nbVertex(); ++v) g.appendUV(g.vertexConst(v).x, g.vertexConst(v).y, s);
    for (uint32_t c = 0; c < g.faceDescLength(); ++c) g.setUVId(c, int32_t(g.getStartVertex(c)), s);
    const std::vector<T2FloatPair> before = cornerUVs(g, s);
    TpolyLayoutUVFty layout;
    layout.setMoveMode(1);
    TmidFaceComponent all = allOf<TmidFaceComponent>(2);
    ASSERT_EQ(layout.doAction(body.get(), &all), 0);
    EXPECT_EQ(g.nbUV(s), 8u);
    EXPECT_TRUE(shellsKeptShape(g, s, before, true));
    EXPECT_EQ(shellOverlaps(g, s), 0u);

    // A shell of zero area, an unmapped face, an absent set, the wrong kind of list.
    auto flat = gridBody(2);
    TpolyGeom& f = *flat->polyGeom();
    for (uint32_t i = 0; i < f.nbUV(0); ++i) f.setUV(i, 0.25f, 0.25f, 0);
    f.setUVId(f.faceOffset(3), -1, 0);
    TpolyLayoutUVFty pack;
    pack.setMoveMode(2);
    pack.setScaleMode(1);
    TmidFaceComponent four = allOf<TmidFaceComponent>(4);
    ASSERT_EQ(pack.doAction(flat.get(), &four), 0);
    for (uint32_t i = 0; i < f.nbUV(0); ++i) EXPECT_TRUE(std::isfinite(f.uvConst(i, 0)->u));
    EXPECT_TRUE(cleanRecord(f));
    pack.setMapSet(4);
    EXPECT_EQ(pack.doAction(flat.get(), &four), 0);
    TmidEdgeComponent edges = allOf<TmidEdgeComponent>(4);
    EXPECT_EQ(pack.doAction(flat.get(), &edges), -1);
}

}  // namespace
