#include <gtest/gtest.h>

#include <array>

#include "ops/FaceOpsSupport.h"
#include "support/SurfaceCheck.h"

namespace {

// A record of one face over the given points, with position-valued UVs and colours.
TpolyGeom* onePolygon(const std::vector<std::array<float, 2>>& points) {
    auto* g = new TpolyGeom;
    std::vector<uint32_t> ring;
    for (const auto& p : points) {
        ring.push_back(g->nbVertex());
        g->appendVertex(p[0], p[1], 0);
    }
    addRingFace(*g, ring);
    addPositionSets(*g);
    return g;
}

// The cube with position-valued sets, every face selected.
std::unique_ptr<TmidBody> cubeBody() {
    auto* g = new TpolyGeom;
    addUnitCube(*g);
    addPositionSets(*g);
    return bodyOf(g);
}

// A 3 x 3 grid whose middle face alone is selected.
std::unique_ptr<TmidBody> gridBody() {
    auto* g = new TpolyGeom;
    buildQuadGrid(*g, 3);
    addPositionSets(*g);
    return bodyOf(g);
}

// Shape and per-corner values survive: area, no broken chains or bad edges, every corner's UV
// and colour those of its position, a consistent record.
void expectSameSurface(TpolyGeom& g, double area) {
    EXPECT_NEAR(triangleArea(g), area, 1e-4 * area);
    EXPECT_EQ(wrongCornerValues(g), 0u);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    const SurfaceFacts s = inspectSurface(g);
    EXPECT_EQ(s.badEdges, 0u);
    EXPECT_EQ(s.brokenChains, 0u);
}

// One division of the middle face of a 3 x 3 grid into four pieces: the four neighbours across its
// split edges gain one corner each.
void expectNeighboursGainCorners(TmidModifierFty& op) {
    auto grid = gridBody();
    TmidFaceComponent middle = faceList({4});
    ASSERT_EQ(op.doAction(grid.get(), &middle), 0);
    EXPECT_EQ(grid->polyGeom()->nbFace(), 12u);
    EXPECT_EQ(facesOfSize(*grid->polyGeom(), 5), 4u);
    expectSameSurface(*grid->polyGeom(), 9.0);
}

TEST(SubdivideFacet, QuadModeCountsPassesAndNeighbours) {
    for (const short mode : {short(0), short(2)}) {
        auto body = bodyOf(loneQuad());
        TmidFaceComponent list = faceList({0});
        TpolySubdFacetFty op;
        op.setMode(mode);
        ASSERT_EQ(op.doAction(body.get(), &list), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.nbFace(), 4u);
        EXPECT_EQ(facesOfSize(g, 4), 4u);
        EXPECT_EQ(g.nbVertex(), 9u);
        EXPECT_EQ(g.nbEdge(), 12u);
        expectSameSurface(g, 1.0);
        // The selection names the pieces, so a second pass divides all of them.
        EXPECT_EQ(g.nbElem(-1, kPolyGrpFace), 4u);
    }
    auto body = bodyOf(loneQuad());
    TmidFaceComponent list = faceList({0});
    TpolySubdFacetFty op;
    op.setDivisions(2);
    ASSERT_EQ(op.doAction(body.get(), &list), 0);
    EXPECT_EQ(body->polyGeom()->nbFace(), 16u);
    EXPECT_EQ(body->polyGeom()->nbVertex(), 25u);
    expectSameSurface(*body->polyGeom(), 1.0);

    auto cube = cubeBody();
    TmidFaceComponent all = allFaces(*cube->polyGeom());
    ASSERT_EQ(op.doAction(cube.get(), &all), 0);
    expectClosed(*cube->polyGeom(), 2, 98, 192, 96);
    expectSameSurface(*cube->polyGeom(), 6.0);

    op.setDivisions(1);
    expectNeighboursGainCorners(op);
}

TEST(SubdivideFacet, TriangleModeFansAroundCentres) {
    auto body = bodyOf(loneQuad());
    TmidFaceComponent list = faceList({0});
    TpolySubdFacetFty op;
    op.setMode(1);
    ASSERT_EQ(op.doAction(body.get(), &list), 0);
    TpolyGeom& g = *body->polyGeom();
    EXPECT_EQ(g.nbFace(), 4u);
    EXPECT_EQ(facesOfSize(g, 3), 4u);
    EXPECT_EQ(g.nbVertex(), 5u);
    EXPECT_EQ(g.nbEdge(), 8u);
    expectSameSurface(g, 1.0);

    // Two passes: 12 triangles round 5 centres; neighbours keep their corners.
    auto grid = gridBody();
    TmidFaceComponent middle = faceList({4});
    op.setDivisions(2);
    ASSERT_EQ(op.doAction(grid.get(), &middle), 0);
    TpolyGeom& gg = *grid->polyGeom();
    EXPECT_EQ(gg.nbFace(), 8u + 12u);
    EXPECT_EQ(gg.nbVertex(), 16u + 5u);
    EXPECT_EQ(facesOfSize(gg, 4), 8u);
    EXPECT_EQ(gg.nbElem(-1, kPolyGrpFace), 12u);
    expectSameSurface(gg, 9.0);

    // The static form on every face of the cube, with a named group and blind data carried.
    TpolyGeom cube;
    addUnitCube(cube);
    addPositionSets(cube);
    const uint32_t grp = cube.appendGrp(7, kPolyGrpFace);
    cube.addElement(grp, 3);
    EXPECT_EQ(TpolySubdFacetFty::subdFacet(&cube, 0, 1), 6u);
    expectClosed(cube, 2, 14, 36, 24);
    EXPECT_EQ(cube.nbElem(7, kPolyGrpFace), 4u);
    for (uint32_t f = 12; f < 16; ++f) EXPECT_TRUE(cube.isInGroup(kPolyGrpFace, 7, f));
    expectSameSurface(cube, 6.0);
    // A missing group or no passes leaves the record alone.
    TpolyGeom before(cube);
    EXPECT_EQ(TpolySubdFacetFty::subdFacet(&cube, 42, 1), 0u);
    EXPECT_EQ(TpolySubdFacetFty::subdFacet(&cube, 0, 0), 0u);
    EXPECT_EQ(cube.compareObject(before), 0u);

    // A face with a hole: one triangle per entry of both loops, around the outline's centre.
    TpolyGeom holed;
    const float outer[4][2] = {{0, 0}, {3, 0}, {3, 3}, {0, 3}}, inner[4][2] = {{1, 1}, {1, 2}, {2, 2}, {2, 1}};
    for (auto& p : outer) holed.appendVertex(p[0], p[1], 0);
    for (auto& p : inner) holed.appendVertex(p[0], p[1], 0);
    for (uint32_t k = 0; k < 8; ++k) holed.appendEdge(k, k % 4 == 3 ? k - 3 : k + 1);
    holed.bgnFace(8);
    for (uint32_t k = 0; k < 8; ++k) {
        holed.refEdge(k, kForward);
        if (k == 3) holed.endLoop();
    }
    holed.endLoop();
    holed.endFace();
    addPositionSets(holed);
    EXPECT_EQ(TpolySubdFacetFty::subdFacet(&holed, 0, 1), 1u);
    EXPECT_EQ(holed.nbFace(), 8u);
    EXPECT_EQ(facesOfSize(holed, 3), 8u);
    EXPECT_EQ(wrongCornerValues(holed), 0u);
    EXPECT_EQ(holed.checkObject(kCheckAll), 0u);
    EXPECT_EQ(inspectSurface(holed).brokenChains, 0u);
}

TEST(SubdivideFaceAny, RegularGridsOfQuadsAndTriangles) {
    auto quad = bodyOf(loneQuad());
    TmidFaceComponent list = faceList({0});
    TpolySubdFaceAnyFty op;
    ASSERT_EQ(op.doAction(quad.get(), &list), 0);
    EXPECT_EQ(quad->polyGeom()->nbFace(), 9u);
    EXPECT_EQ(facesOfSize(*quad->polyGeom(), 4), 9u);
    EXPECT_EQ(quad->polyGeom()->nbVertex(), 16u);
    expectSameSurface(*quad->polyGeom(), 1.0);

    for (const int divisions : {1, 2, 4}) {
        auto tri = bodyOf(onePolygon({{0, 0}, {2, 0}, {0.5f, 1.5f}}));
        op.setDivisions(divisions);
        ASSERT_EQ(op.doAction(tri.get(), &list), 0);
        const uint32_t n = uint32_t(divisions) + 1;
        EXPECT_EQ(tri->polyGeom()->nbFace(), n * n) << divisions;
        EXPECT_EQ(facesOfSize(*tri->polyGeom(), 3), n * n) << divisions;
        EXPECT_EQ(tri->polyGeom()->nbVertex(), (n + 1) * (n + 2) / 2) << divisions;
        expectSameSurface(*tri->polyGeom(), 1.5);
    }

    // Each cube face becomes 4 quads.
    auto cube = cubeBody();
    TmidFaceComponent all = allFaces(*cube->polyGeom());
    op.setDivisions(1);
    ASSERT_EQ(op.doAction(cube.get(), &all), 0);
    expectClosed(*cube->polyGeom(), 2, 26, 48, 24);
    expectSameSurface(*cube->polyGeom(), 6.0);
    expectNeighboursGainCorners(op);
}

TEST(SubdivideFaces, RefusalsLeaveTheRecordAlone) {
    auto body = bodyOf(loneQuad());
    TpolyGeom before(*body->polyGeom());
    TmidFaceComponent list = faceList({0}), none;
    TmidVertComponent vertices;
    vertices.addElement(0);
    auto unchanged = [&] { return body->polyGeom()->compareObject(before) == 0; };

    TpolySubdFacetFty facet;
    for (const short mode : {short(0), short(1)}) {
        facet.setMode(mode);
        facet.setDivisions(0);
        EXPECT_EQ(facet.doAction(body.get(), &list), -1);
        facet.setDivisions(1);
        EXPECT_EQ(facet.doAction(body.get(), nullptr), -1);
        EXPECT_EQ(facet.doAction(body.get(), &vertices), -1);
        EXPECT_EQ(facet.doAction(body.get(), &none), -1);
        EXPECT_TRUE(unchanged());
    }
    TpolySubdFaceAnyFty any;
    any.setDivisions(0);
    EXPECT_EQ(any.doAction(body.get(), &list), -1);
    any.setDivisions(2);
    EXPECT_EQ(any.doAction(body.get(), &none), -1);
    EXPECT_EQ(any.doAction(body.get(), &vertices), -1);
    EXPECT_TRUE(unchanged());
    // A pentagon alone is not a grid face.
    auto pentagon = bodyOf(onePolygon({{0, 0}, {2, 0}, {3, 1}, {1, 2}, {-1, 1}}));
    TpolyGeom pentagonBefore(*pentagon->polyGeom());
    EXPECT_EQ(any.doAction(pentagon.get(), &list), -1);
    EXPECT_EQ(pentagon->polyGeom()->compareObject(pentagonBefore), 0u);

    // Degenerate faces (corners on a line, two corners at one place) give a consistent record in
    // every mode, whatever the cuts make of them.
    for (const bool collinear : {true, false}) {
        const std::vector<std::array<float, 2>> points =
            collinear ? std::vector<std::array<float, 2>>{{0, 0}, {1, 0}, {2, 0}, {3, 0}}
                      : std::vector<std::array<float, 2>>{{0, 0}, {1, 0}, {1, 0}, {0, 1}};
        for (int which = 0; which < 3; ++which) {
            auto d = bodyOf(onePolygon(points));
            TpolySubdFacetFty f;
            f.setMode(short(which));
            const int result = which < 2 ? f.doAction(d.get(), &list) : any.doAction(d.get(), &list);
            EXPECT_EQ(result, 0);
            EXPECT_EQ(d->polyGeom()->checkObject(kCheckAll), 0u) << which;
            EXPECT_EQ(inspectSurface(*d->polyGeom()).brokenChains, 0u) << which;
        }
    }
}

TEST(SubdivideFaces, SampleMeshKeepsItsSurface) {
    TpolyGeom mesh;
    ASSERT_TRUE(loadObj(dataPath("suzanne.obj"), mesh));
    const SurfaceFacts before = inspectSurface(mesh);
    const double area = triangleArea(mesh);
    for (int which = 0; which < 3; ++which) {
        auto body = bodyOf(new TpolyGeom(mesh));
        TmidFaceComponent all = allFaces(mesh);
        TpolySubdFacetFty facet;
        facet.setMode(short(which));
        TpolySubdFaceAnyFty any;
        ASSERT_EQ(which < 2 ? facet.doAction(body.get(), &all) : any.doAction(body.get(), &all), 0);
        TpolyGeom& g = *body->polyGeom();
        const SurfaceFacts after = inspectSurface(g);
        EXPECT_EQ(int(after.v) - int(after.e) + int(after.f), int(before.v) - int(before.e) + int(before.f)) << which;
        EXPECT_EQ(after.brokenChains, 0u) << which;
        EXPECT_EQ(after.badEdges, before.badEdges) << which;
        // Suzanne's quads are not planar, so the new centres move the piecewise-flat surface a little.
        EXPECT_NEAR(triangleArea(g), area, 0.02 * area) << which;
        EXPECT_EQ(g.checkObject(kCheckAll), 0u) << which;
    }
}

}  // namespace
