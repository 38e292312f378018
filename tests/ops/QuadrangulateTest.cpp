#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "ops/FaceOpsSupport.h"
#include "ops/OpsTestSupport.h"
#include "support/SurfaceCheck.h"

namespace {

using Points = std::vector<std::array<float, 3>>;

// Triangles over the given points (each a vertex id triple, counter-clockwise seen from +z), with
// position-valued UVs shared by all corners at a vertex (so no edge is a seam) and colours.
TpolyGeom* triangles(const Points& points, const std::vector<std::array<uint32_t, 3>>& faces) {
    auto* g = new TpolyGeom;
    for (const auto& p : points) g->appendVertex(p[0], p[1], p[2]);
    for (const auto& f : faces) addRingFace(*g, {f[0], f[1], f[2]});
    addPositionSets(*g);
    std::vector<int32_t> first(points.size(), -1);
    for (uint32_t k = 0; k < g->faceDescLength(); ++k) {
        int32_t& id = first[g->getStartVertex(k)];
        if (id < 0) id = g->getUVId(k, 0);
        g->setUVId(k, id, 0);
    }
    return g;
}

// The unit square cut along its diagonal from (0,0) to (1,1); the diagonal is edge 2 of face 0.
TpolyGeom* cutSquare() { return triangles({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 3}}); }

// The diagonal shared by the first two faces.
uint32_t sharedEdge(TpolyGeom& g) {
    g.update(dirtyEdgeToFace);
    for (uint32_t e = 0; e < g.nbEdge(); ++e)
        if (g.hasSide(e, kLeft) && g.hasSide(e, kRight)) return e;
    return ~0u;
}

uint32_t quadsOf(TpolyGeom* g, TpolyQuadFty& op) {
    auto body = bodyOf(g);
    TmidFaceComponent all = allFaces(*g);
    EXPECT_EQ(op.doAction(body.get(), &all), 0);
    return facesOfSize(*body->polyGeom(), 4);
}

TEST(Quadrangulate, SquareFoldedPairsAndTheAngleLimit) {
    auto body = bodyOf(cutSquare());
    TmidFaceComponent all = allFaces(*body->polyGeom());
    TpolyQuadFty op;
    EXPECT_DOUBLE_EQ(op.Angle(), 30.0);
    ASSERT_EQ(op.doAction(body.get(), &all), 0);
    EXPECT_EQ(op.Angle(), std::acos(-1.0));
    TpolyGeom& g = *body->polyGeom();
    EXPECT_EQ(g.nbFace(), 1u);
    EXPECT_EQ(g.nbEdge(), 4u);
    EXPECT_EQ(g.nbVertex(), 4u);
    EXPECT_EQ(facesOfSize(g, 4), 1u);
    EXPECT_EQ(wrongCornerValues(g), 0u);
    EXPECT_NEAR(triangleArea(g), 1.0, 1e-6);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    EXPECT_EQ(inspectSurface(g).brokenChains, 0u);
    EXPECT_EQ(g.nbElem(-1, kPolyGrpFace), 1u);

    // Folded by 60 degrees along the diagonal, each half rising 30 degrees from the mean plane:
    // the sides of the quad (length 1) rise by h = sqrt(0.5) sin 30, the steepest tilt of a
    // corner-to-corner line, so the pair merges only when sin(Angle / 2) reaches h (about 41.4
    // degrees for Angle).
    const double pi = std::acos(-1.0);
    const float h = float(std::sqrt(0.5) * std::sin(pi / 6));
    const float c = float(0.5 + 0.5 * std::cos(pi / 6));
    const Points folded = {{0, 0, 0}, {c, 1 - c, h}, {1, 1, 0}, {1 - c, c, h}};
    const double threshold = 2 * std::asin(double(h)) * 180 / pi;
    for (const double degrees : {threshold - 2, threshold + 2, 180.0}) {
        TpolyQuadFty limited;
        limited.setAngle(degrees * pi / 180);
        EXPECT_EQ(quadsOf(triangles(folded, {{0, 1, 2}, {0, 2, 3}}), limited), degrees > threshold ? 1u : 0u)
            << degrees;
    }

    // A dart (non-convex union) never merges; neither does a pair whose union has a straight corner.
    TpolyQuadFty any;
    EXPECT_EQ(quadsOf(triangles({{0, 0, 0}, {2, 1, 0}, {0, 2, 0}, {0.5f, 1, 0}}, {{0, 1, 3}, {1, 2, 3}}), any), 0u);
    EXPECT_EQ(quadsOf(triangles({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {1, 1, 0}}, {{0, 1, 3}, {1, 2, 3}}), any), 0u);

    // Scores: the square scores 0.001, flatter and squarer beating a thin rhombus.
    std::unique_ptr<TpolyGeom> square(cutSquare());
    square->update(dirtyFaceOffsets);
    std::vector<zepQuadT> list;
    ASSERT_EQ(TpolyQuadFty::buildOneQuad(square.get(), 1, 0, sharedEdge(*square), 1.0f, list), 1);
    EXPECT_NEAR(list[0].score, 0.001f, 1e-7f);
    EXPECT_EQ(list[0].face[0], 0u);
    EXPECT_EQ(list[0].face[1], 1u);
    std::unique_ptr<TpolyGeom> rhombus(triangles({{0, 0, 0}, {2, 0, 0}, {3, 1, 0}, {1, 1, 0}}, {{0, 1, 2}, {0, 2, 3}}));
    rhombus->update(dirtyFaceOffsets);
    ASSERT_EQ(TpolyQuadFty::buildOneQuad(rhombus.get(), 0, 1, sharedEdge(*rhombus), 1.0f, list), 1);
    EXPECT_GT(list[1].score, list[0].score);
}

TEST(Quadrangulate, GreedyStripAndKeepOptions) {
    // A strip of three triangles t1, t0, t2: t0 and t1 make a square, t0 and t2 a parallelogram;
    // the square wins and t2 stays.
    const Points strip = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 1, 0}};
    auto body = bodyOf(triangles(strip, {{0, 1, 2}, {0, 2, 3}, {1, 4, 2}}));
    TmidFaceComponent all = allFaces(*body->polyGeom());
    TpolyQuadFty op;
    ASSERT_EQ(op.doAction(body.get(), &all), 0);
    TpolyGeom& g = *body->polyGeom();
    EXPECT_EQ(g.nbFace(), 2u);
    g.update(dirtyFaceOffsets);
    EXPECT_EQ(g.faceVertexCount(0), 4u);
    EXPECT_EQ(g.faceVertexCount(1), 3u);
    EXPECT_EQ(g.getStartVertex(g.faceOffset(1) + 1), 4u);
    EXPECT_EQ(wrongCornerValues(g), 0u);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);

    // A hard diagonal stays with KeepHard, goes without it.
    for (const bool keep : {true, false}) {
        std::unique_ptr<TpolyGeom> square(cutSquare());
        square->setHard(sharedEdge(*square));
        TpolyQuadFty hard;
        hard.setKeepHard(keep);
        EXPECT_EQ(quadsOf(square.release(), hard), keep ? 0u : 1u) << keep;
    }
    // Faces in different named groups: kept apart with KeepGrp; a temporary (negative) group
    // does not count.
    for (const int32_t name : {5, -7})
        for (const bool keep : {true, false}) {
            std::unique_ptr<TpolyGeom> square(cutSquare());
            square->addElement(square->appendGrp(name, kPolyGrpFace), 1);
            TpolyQuadFty grouped;
            grouped.setKeepGrp(keep);
            EXPECT_EQ(quadsOf(square.release(), grouped), keep && name > 0 ? 0u : 1u) << name << keep;
        }
    // A UV seam along the diagonal: kept with KeepMap; merged without it, the quad keeps every
    // corner's own UV.
    for (const bool keep : {true, false}) {
        std::unique_ptr<TpolyGeom> square(cutSquare());
        square->update(dirtyFaceOffsets);
        // Face 1's corner at vertex 0 gets its own copy of the UV.
        const uint32_t o = square->faceOffset(1);
        float uv[2];
        square->getUV(uint32_t(square->getUVId(o, 0)), uv, 0);
        square->setUVId(o, int32_t(square->appendUV(uv[0], uv[1], 0)), 0);
        TpolyQuadFty seam;
        seam.setKeepMap(keep);
        auto b = bodyOf(square.release());
        TmidFaceComponent both = allFaces(*b->polyGeom());
        ASSERT_EQ(seam.doAction(b.get(), &both), 0);
        EXPECT_EQ(facesOfSize(*b->polyGeom(), 4), keep ? 0u : 1u);
        EXPECT_EQ(wrongCornerValues(*b->polyGeom()), 0u);
    }
    // A partly mapped pair loses its UVs in that set; colours stay per corner.
    {
        std::unique_ptr<TpolyGeom> square(cutSquare());
        square->update(dirtyFaceOffsets);
        square->setUVId(square->faceOffset(1) + 2, -1, 0);
        TpolyQuadFty loose;
        loose.setKeepMap(false);
        auto b = bodyOf(square.release());
        TmidFaceComponent both = allFaces(*b->polyGeom());
        ASSERT_EQ(loose.doAction(b.get(), &both), 0);
        TpolyGeom& r = *b->polyGeom();
        ASSERT_EQ(r.nbFace(), 1u);
        for (uint32_t k = 0; k < 4; ++k) {
            EXPECT_EQ(r.getUVId(k, 0), -1);
            float col[4];
            EXPECT_TRUE(r.getColorByOffset(k, col, 0));
        }
    }
}

TEST(Quadrangulate, TriangulatedShapesComeBack) {
    // The cube: triangulated, then merged back into 6 quads with its corner values.
    auto cube = bodyOf(new TpolyGeom);
    addUnitCube(*cube->polyGeom());
    addPositionSets(*cube->polyGeom());
    const uint32_t grp = cube->polyGeom()->appendGrp(3, kPolyGrpFace);
    cube->polyGeom()->addElement(grp, 2);
    TmidFaceComponent faces = allFaces(*cube->polyGeom());
    TpolyTriangulateFty triangulate;
    ASSERT_EQ(triangulate.doAction(cube.get(), &faces), 0);
    ASSERT_EQ(cube->polyGeom()->nbFace(), 12u);
    TmidFaceComponent triangles = allFaces(*cube->polyGeom());
    TpolyQuadFty op;
    ASSERT_EQ(op.doAction(cube.get(), &triangles), 0);
    TpolyGeom& c = *cube->polyGeom();
    expectClosed(c, 2, 8, 12, 6);
    EXPECT_EQ(facesOfSize(c, 4), 6u);
    EXPECT_EQ(wrongCornerValues(c), 0u);
    EXPECT_NEAR(triangleArea(c), 6.0, 1e-5);
    EXPECT_EQ(c.checkObject(kCheckAll), 0u);
    EXPECT_EQ(c.nbElem(3, kPolyGrpFace), 1u);

    // A 20 x 20 grid and the teapot's quads the same way (static form, sizes {1, 1, 0} so the
    // quads are triangulated first); the sample's few n-gons stay as they are.
    TpolyGeom grid;
    buildQuadGrid(grid, 20);
    addPositionSets(grid);
    const int keep[3] = {1, 2, 4}, quadsToo[3] = {1, 1, 0};
    grid.selectAllInGrp(-1, kPolyGrpFace);
    EXPECT_EQ(TpolyQuadFty::quadrangulateTopo(&grid, 180, keep, quadsToo), 400u);
    EXPECT_EQ(grid.nbFace(), 400u);
    EXPECT_EQ(facesOfSize(grid, 4), 400u);
    EXPECT_EQ(eulerOf(grid), 1);
    EXPECT_EQ(wrongCornerValues(grid), 0u);
    EXPECT_NEAR(triangleArea(grid), 400.0, 1e-3);
    EXPECT_EQ(grid.checkObject(kCheckAll), 0u);

    TpolyGeom mesh;
    ASSERT_TRUE(loadObj(dataPath("suzanne.obj"), mesh));
    const SurfaceFacts before = inspectSurface(mesh);
    const double area = triangleArea(mesh);
    TpolyTriangulateFty::triangulateTopo(&mesh, 0, nullptr, false);
    EXPECT_GT(TpolyQuadFty::convertToQuads(&mesh, 180, nullptr, 0), 0u);
    const SurfaceFacts after = inspectSurface(mesh);
    EXPECT_EQ(int(after.v) - int(after.e) + int(after.f), int(before.v) - int(before.e) + int(before.f));
    EXPECT_EQ(after.borderEdges, before.borderEdges);
    EXPECT_EQ(after.badEdges, 0u);
    EXPECT_EQ(after.brokenChains, 0u);
    EXPECT_NEAR(triangleArea(mesh), area, 0.02 * area);
    EXPECT_EQ(mesh.checkObject(kCheckAll), 0u);
}

TEST(Quadrangulate, RefusalsAndDegenerateTriangles) {
    auto body = bodyOf(cutSquare());
    TpolyGeom before(*body->polyGeom());
    TpolyQuadFty op;
    TmidFaceComponent none;
    TmidVertComponent vertices;
    vertices.addElement(0);
    EXPECT_EQ(op.doAction(body.get(), nullptr), -1);
    EXPECT_EQ(op.doAction(body.get(), &vertices), -1);
    EXPECT_EQ(op.doAction(body.get(), &none), -1);
    // A singular frame is refused.
    T4dDblMatrix flat;
    flat.m[2][2] = 0;
    op.setMatrix(flat);
    TmidFaceComponent all = allFaces(*body->polyGeom());
    EXPECT_EQ(op.doAction(body.get(), &all), -1);
    EXPECT_EQ(body->polyGeom()->compareObject(before), 0u);
    // A frame round trip: the factory then holds the inverse.
    T4dDblMatrix twice;
    for (int k = 0; k < 3; ++k) twice.m[k][k] = 2;
    op.setMatrix(twice);
    ASSERT_EQ(op.doAction(body.get(), &all), 0);
    EXPECT_DOUBLE_EQ(op.Matrix().m[0][0], 0.5);
    EXPECT_EQ(body->polyGeom()->nbFace(), 1u);
    EXPECT_NEAR(triangleArea(*body->polyGeom()), 1.0, 1e-6);

    // Only a selected pair merges, and the action takes triangles only: a selected quad stays.
    TpolyQuadFty plain;
    auto partly = bodyOf(cutSquare());
    TmidFaceComponent first = faceList({0});
    TpolyGeom partlyBefore(*partly->polyGeom());
    EXPECT_EQ(plain.doAction(partly.get(), &first), 0);
    EXPECT_EQ(partly->polyGeom()->compareObject(partlyBefore), 0u);
    auto quad = bodyOf(loneQuad());
    TpolyGeom quadBefore(*quad->polyGeom());
    EXPECT_EQ(plain.doAction(quad.get(), &first), 0);
    EXPECT_EQ(quad->polyGeom()->compareObject(quadBefore), 0u);

    // Degenerate triangles: all corners on a line, repeated positions, NaN corners. Nothing merges
    // and the record is unchanged.
    for (const Points& points :
         {Points{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, Points{{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0, 1, 0}},
          Points{{0, 0, 0}, {1, 0, 0}, {NAN, 1, 0}, {0, 1, 0}}}) {
        auto d = bodyOf(triangles(points, {{0, 1, 2}, {0, 2, 3}}));
        // The selection is current beforehand, so that the byte state (NaN included) must match.
        d->polyGeom()->selectAllInGrp(-1, kPolyGrpFace);
        const std::string dBefore = opstest::recordState(*d->polyGeom());
        TmidFaceComponent both = allFaces(*d->polyGeom());
        EXPECT_EQ(plain.doAction(d.get(), &both), 0);
        EXPECT_EQ(opstest::recordState(*d->polyGeom()), dBefore);
    }

    std::unique_ptr<TmidModifierFty> made(TmodifierRegistry::create("TpolyQuadFty"));
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(TmodifierRegistry::setParameter(*made, "KeepHard", "false"));
    EXPECT_FALSE(static_cast<TpolyQuadFty&>(*made).KeepHard());
}

}  // namespace
