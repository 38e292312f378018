#include <gtest/gtest.h>

#include <array>

#include "ops/FaceOpsSupport.h"
#include "support/SurfaceCheck.h"

namespace {

TmidEdgeComponent edgeList(const std::vector<uint32_t>& ids) {
    TmidEdgeComponent list;
    for (uint32_t id : ids) list.addElement(id);
    return list;
}

// Positions of the record's vertices on edge 0's line y = 0, x strictly inside (0, 1), sorted.
std::vector<float> innerPointsOnBottom(const TpolyGeom& g) {
    std::vector<float> xs;
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        const T3dFltPoint& p = g.vertexConst(v);
        if (p.y == 0 && p.x > 0 && p.x < 1) xs.push_back(p.x);
    }
    std::sort(xs.begin(), xs.end());
    return xs;
}

TEST(SubdivideEdge, EqualPiecesAndNeighboursGainCorners) {
    auto body = bodyOf(loneQuad());
    TmidEdgeComponent bottom = edgeList({0});
    TpolySubdEdgeFty op;
    op.setDivisions(3);
    ASSERT_EQ(op.doAction(body.get(), &bottom), 0);
    TpolyGeom& g = *body->polyGeom();
    EXPECT_EQ(g.nbFace(), 1u);
    EXPECT_EQ(facesOfSize(g, 7), 1u);
    EXPECT_EQ(g.nbVertex(), 7u);
    EXPECT_EQ(g.nbEdge(), 7u);
    const std::vector<float> xs = innerPointsOnBottom(g);
    ASSERT_EQ(xs.size(), 3u);
    for (uint32_t i = 0; i < 3; ++i) EXPECT_NEAR(xs[i], 0.25f * float(i + 1), 1e-6f);
    EXPECT_EQ(wrongCornerValues(g), 0u);
    EXPECT_NEAR(triangleArea(g), 1.0, 1e-6);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    EXPECT_EQ(inspectSurface(g).brokenChains, 0u);

    // An inner edge of a grid: both faces beside it gain the corners; one more pass on every edge
    // of the cube keeps it closed.
    auto grid = bodyOf(new TpolyGeom);
    buildQuadGrid(*grid->polyGeom(), 3);
    addPositionSets(*grid->polyGeom());
    // Building vertex-to-edge makes the border edges hard.
    grid->polyGeom()->update(dirtyEdgeToFace | dirtyVertexToEdge);
    uint32_t inner = 0;
    while (!grid->polyGeom()->hasSide(inner, kLeft) || !grid->polyGeom()->hasSide(inner, kRight)) ++inner;
    // A hard inner edge: its pieces are hard too, and no other edge changes.
    auto hardEdges = [](const TpolyGeom& g) {
        uint32_t n = 0;
        for (uint32_t e = 0; e < g.nbEdge(); ++e) n += g.isHard(e);
        return n;
    };
    grid->polyGeom()->setHard(inner);
    const uint32_t hardBefore = hardEdges(*grid->polyGeom());
    TmidEdgeComponent one = edgeList({inner});
    op.setDivisions(2);
    ASSERT_EQ(op.doAction(grid.get(), &one), 0);
    EXPECT_EQ(grid->polyGeom()->nbFace(), 9u);
    EXPECT_EQ(facesOfSize(*grid->polyGeom(), 6), 2u);
    EXPECT_EQ(grid->polyGeom()->nbVertex(), 18u);
    EXPECT_EQ(hardEdges(*grid->polyGeom()), hardBefore + 2);
    EXPECT_EQ(eulerOf(*grid->polyGeom()), 1);
    EXPECT_EQ(wrongCornerValues(*grid->polyGeom()), 0u);
    EXPECT_EQ(grid->polyGeom()->checkObject(kCheckAll), 0u);

    auto cube = bodyOf(new TpolyGeom);
    addUnitCube(*cube->polyGeom());
    addPositionSets(*cube->polyGeom());
    TmidEdgeComponent all;
    all.addRange(0, cube->polyGeom()->nbEdge() - 1);
    op.setDivisions(1);
    ASSERT_EQ(op.doAction(cube.get(), &all), 0);
    expectClosed(*cube->polyGeom(), 2, 20, 24, 6);
    EXPECT_EQ(facesOfSize(*cube->polyGeom(), 8), 6u);
    EXPECT_EQ(wrongCornerValues(*cube->polyGeom()), 0u);
    EXPECT_NEAR(triangleArea(*cube->polyGeom()), 6.0, 1e-5);
    EXPECT_EQ(cube->polyGeom()->checkObject(kCheckAll), 0u);
}

TEST(SubdivideEdge, MinimumPieceLengthInTheMatrixFrame) {
    // Length 1, 4 divisions, size 0.3: 0.2 is too short, so trunc(1 / 0.3 - 1) = 2 new vertices.
    struct Case {
        int divisions;
        double size, scale;
        uint32_t expected;
    };
    for (const Case c : {Case{4, 0.3, 1, 2}, Case{4, 0.3, 2, 4}, Case{4, 0, 1, 4}, Case{3, 0.5, 1, 1},
                         Case{4, 0.75, 1, 0}, Case{4, -1, 1, 4}}) {
        auto body = bodyOf(loneQuad());
        TpolyGeom before(*body->polyGeom());
        TmidEdgeComponent bottom = edgeList({0});
        TpolySubdEdgeFty op;
        op.setDivisions(c.divisions);
        op.setSize(c.size);
        T4dDblMatrix m;
        for (int k = 0; k < 3; ++k) m.m[k][k] = c.scale;
        op.setMatrix(m);
        ASSERT_EQ(op.doAction(body.get(), &bottom), 0);
        EXPECT_EQ(innerPointsOnBottom(*body->polyGeom()).size(), c.expected) << c.size << " " << c.scale;
        EXPECT_EQ(body->polyGeom()->nbVertex(), 4u + c.expected);
        // The matrix only measures: positions stay in the record's own frame.
        EXPECT_EQ(body->polyGeom()->vertexConst(1).x, 1.0f);
        if (c.expected == 0) {
            EXPECT_EQ(body->polyGeom()->compareObject(before), 0u);
        }
    }
}

TEST(SubdivideEdge, UserNormalsFollowTheirCorners) {
    std::unique_ptr<TpolyGeom> g(loneQuad());
    g->update(dirtyNormalTopo);
    const T4dFltVector tilted(0.6f, 0, 0.8f);
    for (uint32_t k = 0; k < 4; ++k) g->setUserNormal(g->getNormalId(k), tilted);
    auto body = bodyOf(g.release());
    TmidEdgeComponent bottom = edgeList({0});
    TpolySubdEdgeFty op;
    op.setDivisions(2);
    ASSERT_EQ(op.doAction(body.get(), &bottom), 0);
    TpolyGeom& r = *body->polyGeom();
    r.update(dirtyNormalTopo);
    ASSERT_EQ(r.faceDescLength(), 6u);
    for (uint32_t k = 0; k < r.faceDescLength(); ++k) {
        const T4dFltVector* n = r.getValidUserNormal(r.getNormalId(k));
        ASSERT_NE(n, nullptr) << k;
        EXPECT_NEAR(n->x, 0.6f, 1e-5f);
        EXPECT_NEAR(n->z, 0.8f, 1e-5f);
    }
}

TEST(SubdivideEdge, RefusalsAndDegenerateEdges) {
    auto body = bodyOf(loneQuad());
    TpolyGeom before(*body->polyGeom());
    TmidEdgeComponent bottom = edgeList({0}), none;
    TmidFaceComponent faces = faceList({0});
    TpolySubdEdgeFty op;
    op.setDivisions(0);
    EXPECT_EQ(op.doAction(body.get(), &bottom), -1);
    op.setDivisions(-5);
    EXPECT_EQ(op.doAction(body.get(), &bottom), -1);
    op.setDivisions(2);
    EXPECT_EQ(op.doAction(body.get(), nullptr), -1);
    EXPECT_EQ(op.doAction(body.get(), &faces), -1);
    EXPECT_EQ(op.doAction(body.get(), &none), -1);
    // More pieces than the split can place keep the edge whole.
    op.setDivisions(1 << 30);
    EXPECT_EQ(op.doAction(body.get(), &bottom), 0);
    EXPECT_EQ(body->polyGeom()->compareObject(before), 0u);

    // A zero-length edge (two corners at one place) and an edge with a NaN end: without a size
    // limit they are cut like any other, with one they stay whole; the record stays consistent.
    for (const bool nan : {false, true}) {
        for (const double size : {0.0, 0.1}) {
            auto d = bodyOf(loneQuad());
            d->polyGeom()->vertex(1) = nan ? T3dFltPoint(std::nanf(""), 0, 0) : d->polyGeom()->vertexConst(0);
            TmidEdgeComponent e0 = edgeList({0});
            TpolySubdEdgeFty cut;
            cut.setDivisions(2);
            cut.setSize(size);
            ASSERT_EQ(cut.doAction(d.get(), &e0), 0);
            const bool whole = size > 0 && !nan;
            EXPECT_EQ(d->polyGeom()->nbVertex(), whole ? 4u : 6u) << nan << size;
            EXPECT_EQ(d->polyGeom()->checkObject(kCheckAll), 0u);
            EXPECT_EQ(inspectSurface(*d->polyGeom()).brokenChains, 0u);
        }
    }
}

TEST(SubdivideEdge, SampleMeshKeepsItsSurface) {
    TpolyGeom mesh;
    ASSERT_TRUE(loadObj(dataPath("suzanne.obj"), mesh));
    const SurfaceFacts before = inspectSurface(mesh);
    const double area = triangleArea(mesh);
    auto body = bodyOf(new TpolyGeom(mesh));
    TmidEdgeComponent all;
    all.addRange(0, mesh.nbEdge() - 1);
    TpolySubdEdgeFty op;
    op.setDivisions(2);
    ASSERT_EQ(op.doAction(body.get(), &all), 0);
    TpolyGeom& g = *body->polyGeom();
    const SurfaceFacts after = inspectSurface(g);
    EXPECT_EQ(after.v, before.v + 2 * before.e);
    EXPECT_EQ(after.e, 3 * before.e);
    EXPECT_EQ(after.f, before.f);
    EXPECT_EQ(after.borderEdges, 3 * before.borderEdges);
    EXPECT_EQ(after.brokenChains, 0u);
    // Suzanne's quads are not planar, so triangles through the new corners differ a little.
    EXPECT_NEAR(triangleArea(g), area, 0.01 * area);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);

    // The factory is known by name with its parameters.
    std::unique_ptr<TmidModifierFty> made(TmodifierRegistry::create("TpolySubdEdgeFty"));
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(TmodifierRegistry::setParameter(*made, "Size", "0.5"));
    EXPECT_EQ(static_cast<TpolySubdEdgeFty&>(*made).Size(), 0.5);
}

}  // namespace
