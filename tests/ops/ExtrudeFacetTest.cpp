#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <algorithm>
#include <set>

#include "ops/OpsTestSupport.h"

using opstest::allOf;
using opstest::bodyOf;
using opstest::facesOf;

namespace {

// A record holding the unit square alone.
std::unique_ptr<TpolyGeom> square() {
    auto g = std::make_unique<TpolyGeom>();
    buildQuadGrid(*g, 1);
    return g;
}

// An extrusion straight up by height, full strength at the top row.
TpolyExtrudeFacetFty lift(float height, int divisions, bool together) {
    TpolyExtrudeFacetFty fty;
    fty.setScale({1, 1, 1});
    fty.setLScale({1, 1, 1});
    fty.setTrans({0, 0, height});
    fty.setDivisions(divisions);
    fty.setExtrudeMode(together);
    return fty;
}

void expectCounts(TpolyGeom& g, uint32_t vertices, uint32_t edges, uint32_t faces) {
    EXPECT_EQ(g.nbVertex(), vertices);
    EXPECT_EQ(g.nbEdge(), edges);
    EXPECT_EQ(g.nbFace(), faces);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
}

uint32_t borderEdges(TpolyGeom& g) {
    g.update(dirtyFaceOffsets | dirtyEdgeToFace);
    uint32_t n = 0;
    for (uint32_t e = 0; e < g.nbEdge(); ++e) n += g.isBorder(e);
    return n;
}

// Every UV and colour id is -1 or names a value, on every corner; no position is NaN.
void expectSoundAttributes(TpolyGeom& g) {
    for (uint32_t s = 0; s < g.nbMapSet(); ++s) {
        ASSERT_EQ(g.nbUVRef(s), g.faceDescLength());
        for (uint32_t o = 0; o < g.faceDescLength(); ++o) {
            const int32_t id = g.getUVId(o, s);
            ASSERT_TRUE(id == -1 || uint32_t(id) < g.nbUV(s)) << "set " << s << " corner " << o;
        }
    }
    for (uint32_t s = 0; s < g.nbColorSet(); ++s) {
        ASSERT_EQ(g.nbColorRef(s), g.faceDescLength());
        for (uint32_t o = 0; o < g.faceDescLength(); ++o) {
            const int32_t id = g.getColorId(o, s);
            ASSERT_TRUE(id == -1 || uint32_t(id) < g.colorCount(s));
        }
    }
    for (uint32_t v = 0; v < g.nbVertex(); ++v)
        ASSERT_FALSE(std::isnan(g.vertexConst(v).x) || std::isnan(g.vertexConst(v).y) ||
                     std::isnan(g.vertexConst(v).z));
}

}  // namespace

TEST(ExtrudeFacet, IsolatedQuadBecomesAClosedBoxInBothModes) {
    for (bool together : {true, false}) {
        auto body = bodyOf(square());
        TpolyGeom& g = *body->polyGeom();
        auto one = facesOf({0});
        TpolyExtrudeFacetFty fty = lift(1, 0, together);
        ASSERT_EQ(fty.doAction(body.get(), &one), 0);
        EXPECT_EQ(fty.Divisions(), 1);
        expectCounts(g, 8, 12, 6);
        EXPECT_EQ(borderEdges(g), 0u);
        // The selected face is the cap, one unit up; the copy below it faces down.
        g.update(dirtyFaceOffsets | dirtyFaceNormalize);
        for (uint32_t o = g.faceOffset(0); o < g.faceOffset(1); ++o)
            EXPECT_EQ(g.vertexConst(g.getStartVertex(o)).z, 1.0f);
        EXPECT_NEAR(g.faceNormalConst(0).z, 1, 1e-6);
        EXPECT_NEAR(g.faceNormalConst(1).z, -1, 1e-6);
        EXPECT_EQ(g.faceVertexCount(1), 4u);
    }
}

TEST(ExtrudeFacet, RowsRegionsAndSeparateFacesCount) {
    // One inner face of a 3 x 3 grid, 1 to 4 rows: rows at equal steps up to the cap.
    for (int d = 1; d <= 4; ++d) {
        auto body = bodyOf(attributed::grid(3));
        TpolyGeom& g = *body->polyGeom();
        auto centre = facesOf({4});
        TpolyExtrudeFacetFty fty = lift(1, d, true);
        ASSERT_EQ(fty.doAction(body.get(), &centre), 0);
        const uint32_t n = uint32_t(d);
        expectCounts(g, 16 + 4 * n, 24 + 8 * n, 9 + 4 * n);
        std::set<float> heights;
        for (uint32_t v = 16; v < g.nbVertex(); ++v) heights.insert(g.vertexConst(v).z);
        ASSERT_EQ(heights.size(), n);
        uint32_t i = 1;
        for (float z : heights) EXPECT_FLOAT_EQ(z, float(i++) / float(d));
        expectSoundAttributes(g);
    }
    // Two neighbours: together one region with walls on its 6 border edges and its inner edge
    // lifted once; separately 4 walls each, back to back on the shared edge.
    for (uint32_t d = 1; d <= 4; ++d)
        for (bool together : {true, false}) {
            auto body = bodyOf(attributed::grid(3));
            TpolyGeom& g = *body->polyGeom();
            auto pair = facesOf({3, 4});
            TpolyExtrudeFacetFty fty = lift(1, int(d), together);
            ASSERT_EQ(fty.doAction(body.get(), &pair), 0);
            if (together)
                expectCounts(g, 16 + 6 * d, 24 + 12 * d, 9 + 6 * d);
            else
                expectCounts(g, 16 + 8 * d, 24 + 16 * d, 9 + 8 * d);
            expectSoundAttributes(g);
        }
}

TEST(ExtrudeFacet, WholeClosedMeshGetsAReversedCopyAndNoWalls) {
    // Without walls the rows of the vertices are their top vertices alone, for any row count.
    for (int d : {1, 2, 4}) {
        auto body = bodyOf(attributed::cube());
        auto all = allOf<TmidFaceComponent>(6);
        TpolyExtrudeFacetFty fty = lift(1, d, true);
        ASSERT_EQ(fty.doAction(body.get(), &all), 0);
        expectCounts(*body->polyGeom(), 16, 24, 12);
        expectSoundAttributes(*body->polyGeom());
    }
    auto body = bodyOf(attributed::cube());
    TpolyGeom& g = *body->polyGeom();
    auto all = allOf<TmidFaceComponent>(6);
    TpolyExtrudeFacetFty fty = lift(0, 3, true);
    fty.setScale({2, 2, 2});
    fty.setPivot({0.5f, 0.5f, 0.5f});
    ASSERT_EQ(fty.doAction(body.get(), &all), 0);
    expectCounts(g, 16, 24, 12);
    EXPECT_EQ(borderEdges(g), 0u);
    g.update(dirtyFaceOffsets | dirtyFaceNormalize);
    for (uint32_t f = 0; f < 6; ++f) {
        const T3dFltPoint &a = g.faceNormalConst(f), &b = g.faceNormalConst(6 + f);
        EXPECT_NEAR(a.x * b.x + a.y * b.y + a.z * b.z, -1, 1e-5) << f;
    }
    // The lifted surface is the cube scaled twice about its centre.
    for (uint32_t o = g.faceOffset(0); o < g.faceOffset(6); ++o) {
        const T3dFltPoint& p = g.vertexConst(g.getStartVertex(o));
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(std::fabs(p[k] - 0.5f), 1.0f, 1e-5);
    }
    expectSoundAttributes(g);
}

TEST(ExtrudeFacet, CapPlacementByTransformFrameAndInset) {
    // Scale 2 about the pivot's centre c = Pivot - Trans, then Trans: (x, y, 0) -> (2x, 2y, 2).
    auto body = bodyOf(square());
    TpolyGeom& g = *body->polyGeom();
    auto one = facesOf({0});
    TpolyExtrudeFacetFty fty = lift(1, 1, false);
    fty.setScale({2, 2, 2});
    ASSERT_EQ(fty.doAction(body.get(), &one), 0);
    for (uint32_t o = g.faceOffset(0); o < g.faceOffset(1); ++o) {
        const uint32_t v = g.getStartVertex(o);
        const T3dFltPoint& p = g.vertexConst(v);
        EXPECT_NEAR(p.z, 2, 1e-6);
        EXPECT_TRUE(p.x == 0 || p.x == 2);
        EXPECT_TRUE(p.y == 0 || p.y == 2);
    }

    // With the pivot at the square's middle, c = (0.5, 0.5, -1): the cap spans [-0.5, 1.5] at 2.
    auto pivoted = bodyOf(square());
    TpolyGeom& pg = *pivoted->polyGeom();
    fty.setPivot({0.5f, 0.5f, 0});
    ASSERT_EQ(fty.doAction(pivoted.get(), &one), 0);
    for (uint32_t o = pg.faceOffset(0); o < pg.faceOffset(1); ++o) {
        const T3dFltPoint& p = pg.vertexConst(pg.getStartVertex(o));
        EXPECT_NEAR(p.z, 2, 1e-6);
        EXPECT_TRUE(p.x == -0.5f || p.x == 1.5f) << p.x;
        EXPECT_TRUE(p.y == -0.5f || p.y == 1.5f) << p.y;
    }

    // A quarter turn about z through the pivot (0.5, 0.5) keeps the square on itself; a local
    // translation of one unit along the face normal lifts it; an inset of 0.25 shrinks it.
    for (bool together : {true, false}) {
        auto b2 = bodyOf(square());
        TpolyGeom& h = *b2->polyGeom();
        TpolyExtrudeFacetFty turn = lift(0, 2, together);
        TrotateXYZ quarter;
        quarter.z = kHalfPi;
        turn.setRotate(quarter);
        turn.setPivot({0.5f, 0.5f, 0});
        turn.setLTrans({0, 0, 1});
        turn.setOffset(0.25f);
        ASSERT_EQ(turn.doAction(b2.get(), &one), 0);
        for (uint32_t o = h.faceOffset(0); o < h.faceOffset(1); ++o) {
            const T3dFltPoint& p = h.vertexConst(h.getStartVertex(o));
            EXPECT_NEAR(p.z, 1, 1e-5);
            EXPECT_NEAR(std::fabs(p.x - 0.5f), 0.25f, 1e-5) << together;
            EXPECT_NEAR(std::fabs(p.y - 0.5f), 0.25f, 1e-5) << together;
        }
        EXPECT_EQ(h.checkObject(kCheckAll), 0u);
    }

    // An inset larger than the face stops where the square has shrunk to its centre.
    auto b3 = bodyOf(square());
    TpolyGeom& k = *b3->polyGeom();
    TpolyExtrudeFacetFty deep = lift(1, 3, false);
    deep.setOffset(5);
    ASSERT_EQ(deep.doAction(b3.get(), &one), 0);
    for (uint32_t o = k.faceOffset(0); o < k.faceOffset(1); ++o) {
        const T3dFltPoint& p = k.vertexConst(k.getStartVertex(o));
        EXPECT_NEAR(p.x, 0.5f, 1e-4);
        EXPECT_NEAR(p.y, 0.5f, 1e-4);
    }
    expectSoundAttributes(k);

    // The reference frame: a translation by (0, 0, 5) there and back leaves the same result.
    auto b4 = bodyOf(square());
    TpolyExtrudeFacetFty framed = lift(1, 1, true);
    T4dDblMatrix m;
    m.m[3][2] = 5;
    framed.setMatrix(m);
    ASSERT_EQ(framed.doAction(b4.get(), &one), 0);
    EXPECT_TRUE(framed.Matrix() == m);
    EXPECT_NEAR(b4->polyGeom()->vertexConst(b4->polyGeom()->getStartVertex(0)).z, 1, 1e-5);
}

TEST(ExtrudeFacet, AttributesFollowTheNewFaces) {
    auto body = bodyOf(attributed::grid(3));
    TpolyGeom& g = *body->polyGeom();
    const TpolyGeom before(g);
    auto row = facesOf({3, 4, 5});
    TpolyExtrudeFacetFty fty = lift(1, 2, true);
    ASSERT_EQ(fty.doAction(body.get(), &row), 0);
    expectSoundAttributes(g);
    // Every wall and cap corner carries a copy of the value of the source vertex's corner.
    g.update(dirtyFaceOffsets);
    for (uint32_t f = 9; f < g.nbFace(); ++f) {
        for (uint32_t o = g.faceOffset(f); o < g.faceOffset(f + 1); ++o) {
            float uv[2];
            ASSERT_TRUE(g.getUV(uint32_t(g.getUVId(o, 0)), uv, 0));
            EXPECT_EQ(uv[1], 0.25f);
            float own[2], colour[4];
            ASSERT_TRUE(g.getUV(uint32_t(g.getUVId(o, 1)), own, 1));
            ASSERT_TRUE(g.getColorByOffset(o, colour, 0));
            EXPECT_TRUE(own[1] >= 3 && own[1] <= 5);
            EXPECT_EQ(colour[1], own[1]);
        }
    }
    // Walls keep their own UVs apart from the unselected neighbours: those are as they were.
    for (uint32_t o = before.faceOffset(0); o < before.faceOffset(3); ++o)
        EXPECT_EQ(g.getUVId(o, 0), before.getUVId(o, 0));
    // Face group 3 (even faces) gains the walls of face 4 (on its two border edges) and none of
    // the odd faces' walls.
    const int32_t grp = g.findGrp(3, kPolyGrpFace);
    ASSERT_GE(grp, 0);
    const TsingleIndexedComponent& members = *g.group(uint32_t(grp)).singleItems();
    uint32_t walls = 0;
    for (uint32_t f : members) walls += f >= 9;
    EXPECT_EQ(walls, 2u * 2u);
    EXPECT_TRUE(members.hasElement(4));
    // Creases: every fifth edge of the grid carries one; edge 5 bounds the region, and its
    // lifted copy carries the same value.
    TuInt32Array edges;
    TdoubleArray values;
    ASSERT_TRUE(g.getCreaseEdges(edges, values));
    ASSERT_EQ(edges.size(), 6u);
    EXPECT_EQ(std::count(values.begin(), values.end(), 5.5), 2);
}

TEST(ExtrudeFacet, NewEdgesFollowTheSmoothingAngle) {
    auto g = std::make_unique<TpolyGeom>();
    addUnitCube(*g);
    auto body = bodyOf(std::move(g));
    TpolyGeom& c = *body->polyGeom();
    c.update(dirtyFaceOffsets | dirtyFaceNormalize);
    // The face whose normal is +z, lifted along it.
    uint32_t top = 0;
    for (uint32_t f = 0; f < c.nbFace(); ++f)
        if (c.faceNormalConst(f).z > 0.9f) top = f;
    auto one = facesOf({top});
    TpolyExtrudeFacetFty fty = lift(1, 1, true);
    ASSERT_EQ(fty.doAction(body.get(), &one), 0);
    EXPECT_EQ(c.checkObject(kCheckAll), 0u);
    c.update(dirtyFaceOffsets | dirtyEdgeToFace);
    // Cap border and wall corners meet at right angles: hard; the walls continue the cube's
    // sides in their plane: their bottom edges are soft.
    for (uint32_t o = c.faceOffset(top); o < c.faceOffset(top + 1); ++o) EXPECT_TRUE(c.isHard(c.getEdge(o)));
    uint32_t soft = 0;
    for (uint32_t f = 6; f < c.nbFace(); ++f)
        for (uint32_t o = c.faceOffset(f); o < c.faceOffset(f + 1); ++o) soft += !c.isHard(c.getEdge(o));
    EXPECT_EQ(soft, 4u);
}

TEST(ExtrudeFacet, DeletingTheWallsAfterwardsLeavesAConsistentRecord) {
    auto body = bodyOf(attributed::grid(4));
    TpolyGeom& g = *body->polyGeom();
    auto some = facesOf({5, 6, 9, 10, 15});
    TpolyExtrudeFacetFty fty = lift(0.5f, 3, true);
    ASSERT_EQ(fty.doAction(body.get(), &some), 0);
    TpolyEditableGeom edit(&g, TpolyEditableGeom::kModeAll);
    for (uint32_t f = 16; f < g.nbFace(); ++f) edit.deleteFace(f);
    std::unique_ptr<TpolyGeom> out(edit.convert(false, true, nullptr));
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->nbFace(), 16u);
    EXPECT_EQ(out->checkObject(kCheckAll), 0u);
    expectSoundAttributes(*out);
}

TEST(ExtrudeFacet, EveryFaceOfASampleMesh) {
    for (bool together : {true, false}) {
        auto g = opstest::bunny();
        if (!g) GTEST_SKIP() << "sample mesh missing";
        auto body = bodyOf(std::move(g));
        TpolyGeom& b = *body->polyGeom();
        const uint32_t faces = b.nbFace();
        auto all = allOf<TmidFaceComponent>(faces);
        TpolyExtrudeFacetFty fty = lift(0.01f, 2, together);
        fty.setOffset(0.001f);
        fty.setRandom(0.5f);
        fty.setRandomSeed(7);
        ASSERT_EQ(fty.doAction(body.get(), &all), 0);
        EXPECT_EQ(b.checkObject(kCheckAll), 0u);
        EXPECT_GT(b.nbFace(), 2 * faces);
        expectSoundAttributes(b);
    }
}

TEST(ExtrudeFacet, BadInputRefusesOrDegradesWithoutHarm) {
    auto body = bodyOf(attributed::grid(2));
    TpolyGeom& g = *body->polyGeom();
    const std::string state = opstest::recordState(g);
    TpolyExtrudeFacetFty fty = lift(1, 1, true);
    // No selection: an empty face list, a list of the wrong kind, no list and no current group.
    TmidFaceComponent none;
    EXPECT_EQ(fty.doAction(body.get(), &none), -1);
    TmidVertComponent vertices;
    vertices.addElement(0);
    EXPECT_EQ(fty.doAction(body.get(), &vertices), -1);
    EXPECT_EQ(fty.doAction(body.get(), nullptr), -1);
    // A singular frame refuses before anything changes.
    T4dDblMatrix flat;
    flat.m[2][2] = 0;
    fty.setMatrix(flat);
    auto one = facesOf({0});
    EXPECT_EQ(fty.doAction(body.get(), &one), -1);
    EXPECT_EQ(opstest::recordState(g), state);

    // Zero scale collapses the cap onto the centre; faces without UVs get walls without UVs; a
    // non-manifold edge inside the region is lifted like any other.
    auto b2 = bodyOf(attributed::grid(2));
    TpolyGeom& h = *b2->polyGeom();
    for (uint32_t o = h.faceOffset(1); o < h.faceOffset(2); ++o) h.setUVId(o, -1, 0);
    TpolyExtrudeFacetFty flatten;
    flatten.setLScale({1, 1, 1});
    flatten.setOffset(3);
    auto two = facesOf({0, 1});
    ASSERT_EQ(flatten.doAction(b2.get(), &two), 0);
    EXPECT_EQ(h.checkObject(kCheckAll), 0u);
    expectSoundAttributes(h);

    // Three triangles on the edge (0, 1), two of them running it the same way.
    auto fin = std::make_unique<TpolyGeom>();
    for (const T3dFltPoint& p : {T3dFltPoint(0, 0, 0), T3dFltPoint(1, 0, 0), T3dFltPoint(0, 1, 0),
                                 T3dFltPoint(0, -1, 0), T3dFltPoint(0, 0, 1)})
        fin->appendVertex(p);
    const uint32_t ends[7][2] = {{0, 1}, {1, 2}, {2, 0}, {0, 3}, {3, 1}, {1, 4}, {4, 0}};
    for (const auto& e : ends) fin->appendEdge(e[0], e[1]);
    const uint32_t faces[3][3][2] = {{{0, 0}, {1, 0}, {2, 0}}, {{0, 1}, {3, 0}, {4, 0}}, {{0, 0}, {5, 0}, {6, 0}}};
    for (const auto& f : faces) {
        fin->bgnFace(3);
        for (const auto& entry : f) fin->refEdge(entry[0], entry[1] != 0);
        fin->endLoop();
        fin->endFace();
    }
    auto b3 = bodyOf(std::move(fin));
    auto three = allOf<TmidFaceComponent>(3);
    TpolyExtrudeFacetFty up = lift(1, 2, true);
    ASSERT_EQ(up.doAction(b3.get(), &three), 0);
    EXPECT_EQ(b3->polyGeom()->checkObject(kCheckAll), 0u);
    // The whole record is selected: reversed copies below, walls on the six border edges.
    EXPECT_EQ(b3->polyGeom()->nbFace(), 3u + 3u + 6u * 2u);

    // A triangle with an edge from vertex 1 to itself among its entries: that entry gets no wall
    // (it would use one vertical edge twice), the three others do.
    for (bool together : {true, false}) {
        auto pinched = std::make_unique<TpolyGeom>();
        for (const T3dFltPoint& p : {T3dFltPoint(0, 0, 0), T3dFltPoint(1, 0, 0), T3dFltPoint(0, 1, 0)})
            pinched->appendVertex(p);
        pinched->bgnFace(4);
        for (const auto& e : {std::pair{0u, 1u}, std::pair{1u, 1u}, std::pair{1u, 2u}, std::pair{2u, 0u}})
            pinched->refEdge(pinched->appendEdge(e.first, e.second), kForward);
        pinched->endLoop();
        pinched->endFace();
        auto b4 = bodyOf(std::move(pinched));
        auto only = facesOf({0});
        TpolyExtrudeFacetFty raise = lift(1, 2, together);
        ASSERT_EQ(raise.doAction(b4.get(), &only), 0);
        TpolyGeom& r = *b4->polyGeom();
        EXPECT_EQ(r.checkObject(kCheckAll), 0u) << together;
        EXPECT_EQ(r.nbFace(), 1u + 1u + 3u * 2u) << together;
        EXPECT_EQ(r.faceVertexCount(0), 4u) << together;
    }
}

TEST(ExtrudeFacet, RandomVariationRepeatsWithItsSeed) {
    auto run = [](int seed) {
        auto body = bodyOf(attributed::grid(3));
        auto all = allOf<TmidFaceComponent>(9);
        TpolyExtrudeFacetFty fty = lift(1, 2, false);
        fty.setRandom(0.5f);
        fty.setRandomSeed(seed);
        fty.setOffset(0.1f);
        EXPECT_EQ(fty.doAction(body.get(), &all), 0);
        TpolyGeom* g = body->polyGeom();
        return std::vector<T3dFltPoint>(g->vertexArray().begin(), g->vertexArray().end());
    };
    EXPECT_EQ(run(3), run(3));
    EXPECT_NE(run(3), run(4));
}

TEST(ExtrudeFacet, UserNormalsStayOnTheirCornersAndReachTheBottoms) {
    // Face 0 of the grid carries a tilted user normal on every corner; the cap keeps it.
    auto body = bodyOf(attributed::grid(2));
    TpolyGeom& g = *body->polyGeom();
    g.update(dirtyAll);
    const T4dFltVector tilted(0, 0.6f, 0.8f);
    for (uint32_t o = g.faceOffset(0); o < g.faceOffset(1); ++o) g.setUserNormal(g.getNormalId(o), tilted);
    auto one = facesOf({0});
    TpolyExtrudeFacetFty fty = lift(1, 2, false);
    ASSERT_EQ(fty.doAction(body.get(), &one), 0);
    g.update(dirtyAll);
    for (uint32_t o = g.faceOffset(0); o < g.faceOffset(1); ++o) {
        const T4dFltVector* n = g.getValidUserNormal(g.getNormalId(o));
        ASSERT_NE(n, nullptr) << o;
        EXPECT_NEAR(n->y, 0.6f, 1e-6f);
        EXPECT_NEAR(n->z, 0.8f, 1e-6f);
    }
    // Every face of the cube: the reversed copy of face 0 (face 6) takes face 0's user normals.
    auto cube = bodyOf(attributed::cube());
    TpolyGeom& c = *cube->polyGeom();
    c.update(dirtyAll);
    for (uint32_t o = c.faceOffset(0); o < c.faceOffset(1); ++o) c.setUserNormal(c.getNormalId(o), tilted);
    auto all = allOf<TmidFaceComponent>(6);
    TpolyExtrudeFacetFty grow = lift(0, 1, true);
    ASSERT_EQ(grow.doAction(cube.get(), &all), 0);
    c.update(dirtyAll);
    EXPECT_EQ(c.checkObject(kCheckAll), 0u);
    for (uint32_t o = c.faceOffset(6); o < c.faceOffset(7); ++o) {
        const T4dFltVector* m = c.getValidUserNormal(c.getNormalId(o));
        ASSERT_NE(m, nullptr) << o;
        EXPECT_NEAR(m->y, 0.6f, 1e-6f);
    }
}
