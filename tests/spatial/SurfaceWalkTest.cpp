#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "brindle/brindle.h"
#include "support/GridBuilder.h"

namespace {

// A 4 x 4 grid in z = 0 whose UVs are xy / 4, except that the right half (faces with column 2
// or 3) has UVs of its own, shifted onto the left half's: two shells over the same UV square.
std::unique_ptr<TpolyGeom> twoShellGrid(uint32_t& set) {
    auto g = std::make_unique<TpolyGeom>();
    buildQuadGrid(*g, 4);
    g->update(dirtyFaceOffsets);
    set = g->newEmptyMapSet(Tstring("map1"));
    for (uint32_t v = 0; v < g->nbVertex(); ++v) g->appendUV(g->vertexConst(v).x / 4, g->vertexConst(v).y / 4, set);
    for (uint32_t v = 0; v < g->nbVertex(); ++v)
        g->appendUV((g->vertexConst(v).x - 2) / 4, g->vertexConst(v).y / 4, set);
    for (uint32_t f = 0; f < g->nbFace(); ++f)
        for (uint32_t c = g->faceOffset(f); c < g->faceOffset(f) + 4; ++c)
            g->setUVId(c, int32_t(g->getStartVertex(c) + (f % 4 >= 2 ? g->nbVertex() : 0)), set);
    return g;
}

void expectAt(TpolyGeom& g, const TpointOnPoly& at, uint32_t face, float x, float y) {
    T3dFltPoint p;
    ASSERT_TRUE(at.point(g, p));
    EXPECT_EQ(at.face(), face);
    EXPECT_NEAR(p.x, x, 1e-5f);
    EXPECT_NEAR(p.y, y, 1e-5f);
}

TEST(SurfaceWalk, UvLocationsStayOnTheirShellAndScreenDragsFollowTheSurface) {
    uint32_t set = 0;
    auto g = twoShellGrid(set);
    TpointOnPoly at;
    // Where shells overlap in UV the lowest face wins; a face restricts the search to itself.
    ASSERT_EQ(at.findUvLocation(*g, {0.375f, 0.375f}, set), 0);
    expectAt(*g, at, 5, 1.5f, 1.5f);
    ASSERT_EQ(at.findUvLocationInFace(*g, 6, {0.125f, 0.375f}, set), 0);
    expectAt(*g, at, 6, 2.5f, 1.5f);
    EXPECT_EQ(at.findUvLocationInFace(*g, 5, {0.125f, 0.375f}, set), -1);

    // A UV walk from the right half stays there although the left half holds the same UVs, and a
    // target beyond the shell's border leaves the location as it was.
    ASSERT_EQ(at.moveUvBy(*g, set, {0.25f, 0.25f}), 0);
    expectAt(*g, at, 11, 3.5f, 2.5f);
    const TpointOnPoly before = at;
    EXPECT_EQ(at.moveUvBy(*g, set, {0.25f, 0}), -1);
    EXPECT_EQ(at, before);

    // Identity screen: a drag moves along x and y; off the surface or through a singular matrix
    // nothing changes.
    ASSERT_EQ(at.moveScreenBy(*g, T4dFltMatrix(), -2.25f, 0), 0);
    expectAt(*g, at, 9, 1.25f, 2.5f);
    EXPECT_EQ(at.moveScreenBy(*g, T4dFltMatrix(), 10.0f, 0), -1);
    T4dFltMatrix flat;
    flat.m[2][2] = 0;
    EXPECT_EQ(at.moveScreenBy(*g, flat, 0.5f, 0), -1);
    expectAt(*g, at, 9, 1.25f, 2.5f);

    // Bad input finds nothing.
    EXPECT_EQ(at.findUvLocation(*g, {0.5f, 0.5f}, set + 1), -1);
    EXPECT_EQ(at.findUvLocation(*g, {NAN, 0.5f}, set), -1);
    EXPECT_EQ(at.findUvLocation(*g, {1.5f, 0.5f}, set), -1);
    EXPECT_EQ(at.findUvLocationInFace(*g, 99, {0.1f, 0.1f}, set), -1);
    EXPECT_EQ(TpointOnPoly().moveUvBy(*g, set, {0.1f, 0}), -1);
}

}  // namespace
