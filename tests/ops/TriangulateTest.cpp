#include <gtest/gtest.h>

#include "ops/FaceOpsSupport.h"
#include "support/DualMesh.h"
#include "support/SurfaceCheck.h"

namespace {

// A 3 x 3 square with a 1 x 1 square hole in its middle.
TpolyGeom* squareWithHole() {
    auto* g = new TpolyGeom;
    const float outer[4][2] = {{0, 0}, {3, 0}, {3, 3}, {0, 3}}, inner[4][2] = {{1, 1}, {1, 2}, {2, 2}, {2, 1}};
    for (auto& p : outer) g->appendVertex(p[0], p[1], 0);
    for (auto& p : inner) g->appendVertex(p[0], p[1], 0);
    for (uint32_t k = 0; k < 4; ++k) g->appendEdge(k, (k + 1) % 4);
    for (uint32_t k = 0; k < 4; ++k) g->appendEdge(4 + k, 4 + (k + 1) % 4);
    g->bgnFace(8);
    for (uint32_t k = 0; k < 4; ++k) g->refEdge(k, kForward);
    g->endLoop();
    for (uint32_t k = 0; k < 4; ++k) g->refEdge(4 + k, kForward);
    g->endLoop();
    g->endFace();
    addPositionSets(*g);
    return g;
}

TEST(Triangulate, QuadBecomesTwoTrianglesSharingOneSoftDiagonal) {
    auto body = bodyOf(loneQuad());
    TpolyGeom& g = *body->polyGeom();
    g.setHard(0);
    TmidFaceComponent list = faceList({0});
    TpolyTriangulateFty op;
    ASSERT_EQ(op.doAction(body.get(), &list), 0);
    TpolyGeom& t = *body->polyGeom();
    EXPECT_EQ(t.nbFace(), 2u);
    EXPECT_EQ(t.nbEdge(), 5u);
    EXPECT_EQ(facesOfSize(t, 3), 2u);
    EXPECT_FALSE(t.isHard(4));
    EXPECT_TRUE(t.isHard(0));
    EXPECT_EQ(wrongCornerValues(t), 0u);
    EXPECT_EQ(t.checkObject(kCheckAll), 0u);
    EXPECT_NEAR(triangleArea(t), 1.0, 1e-6);
    const SurfaceFacts s = inspectSurface(t);
    EXPECT_EQ(s.borderEdges, 4u);
    EXPECT_EQ(s.badEdges, 0u);
    EXPECT_EQ(s.brokenChains, 0u);
    // The selection now names both triangles.
    EXPECT_EQ(t.nbElem(-1, kPolyGrpFace), 2u);
}

TEST(Triangulate, CubeAndGridKeepShapeCountsAndCarriedData) {
    for (const bool wholeRecord : {true, false}) {
        TpolyGeom g;
        addUnitCube(g);
        addPositionSets(g);
        // A named group with faces 1 and 4, a vertex-face pair at vertex 5 on face 1, blind data on
        // face 4.
        const uint32_t grp = g.appendGrp(7, kPolyGrpFace);
        g.addElement(grp, 1);
        g.addElement(grp, 4);
        const uint32_t vf = g.appendGrp(8, kPolyGrpVertexFace);
        g.group(vf).initializeComponent();
        g.group(vf).pairItems()->addElement(5, 1);
        theBlindDataTable().addBd(9, "weight", kBdFloat);
        BD_dataHolder value{};
        value.f = 2.5f;
        ASSERT_EQ(g.faceBlindData()->addBlindDataElement(nullptr, 9, "weight", 4, value), 0);
        const double area = triangleArea(g);

        EXPECT_EQ(TpolyTriangulateFty::triangulateTopo(&g, wholeRecord ? 0 : 7, nullptr, !wholeRecord),
                  wholeRecord ? 6u : 2u);
        const uint32_t faces = wholeRecord ? 12 : 8;
        expectClosed(g, 2, 8, wholeRecord ? 18 : 14, faces);
        EXPECT_EQ(wrongCornerValues(g), 0u);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        EXPECT_NEAR(triangleArea(g), area, 1e-5);
        // Faces 1 and 4 became faces 2, 3 and 8, 9 when everything is cut, 1, 2 and 5, 6 when only
        // they are.
        const uint32_t first = wholeRecord ? 2 : 1, second = wholeRecord ? 8 : 5;
        EXPECT_EQ(g.nbElem(7, kPolyGrpFace), 4u);
        for (uint32_t f : {first, first + 1, second, second + 1}) EXPECT_TRUE(g.isInGroup(kPolyGrpFace, 7, f)) << f;
        // Vertex 5 is a corner of one or both triangles of face 1.
        const TlongDoubleIndexedComponent& pairs = *g.group(vf).pairItems();
        EXPECT_GE(pairs.elementCount(), 1u);
        for (const TidPair& p : pairs) {
            EXPECT_EQ(p.first, 5u);
            EXPECT_TRUE(p.second == first || p.second == first + 1);
        }
        TbdDataPtrArray carried;
        g.faceBlindData()->getBlindData(carried);
        ASSERT_EQ(carried.size(), 2u);
        EXPECT_EQ(carried[0].componentId, second);
        EXPECT_EQ(carried[1].componentId, second + 1);
        EXPECT_EQ(carried[1].value.f, 2.5f);
    }

    TpolyGeom grid;
    buildQuadGrid(grid, 20);
    addPositionSets(grid);
    const int euler = eulerOf(grid);
    EXPECT_EQ(TpolyTriangulateFty::triangulateTopo(&grid, 0, nullptr, false), 400u);
    EXPECT_EQ(grid.nbFace(), 800u);
    EXPECT_EQ(eulerOf(grid), euler);
    EXPECT_EQ(wrongCornerValues(grid), 0u);
    EXPECT_NEAR(triangleArea(grid), 400.0, 1e-3);
    EXPECT_EQ(grid.checkObject(kCheckAll), 0u);
}

TEST(Triangulate, HolesAndSampleMeshes) {
    std::unique_ptr<TpolyGeom> g(squareWithHole());
    EXPECT_NEAR(triangleArea(*g), 8.0, 1e-6);
    ASSERT_EQ(TpolyTriangulateFty::triangulateTopo(g.get(), 0, nullptr, false), 1u);
    EXPECT_EQ(g->nbFace(), 8u);
    EXPECT_EQ(g->nbEdge(), 16u);
    EXPECT_EQ(eulerOf(*g), 0);
    EXPECT_NEAR(triangleArea(*g), 8.0, 1e-6);
    EXPECT_EQ(wrongCornerValues(*g), 0u);
    EXPECT_EQ(g->checkObject(kCheckAll), 0u);
    const SurfaceFacts s = inspectSurface(*g);
    EXPECT_EQ(s.borderEdges, 8u);
    EXPECT_EQ(s.badEdges, 0u);
    EXPECT_EQ(s.brokenChains, 0u);

    for (const char* name : {"suzanne.obj", "teapot.obj"}) {
        TpolyGeom mesh;
        ASSERT_TRUE(loadObj(dataPath(name), mesh)) << name;
        const SurfaceFacts before = inspectSurface(mesh);
        const double area = triangleArea(mesh);
        const uint32_t expected = mesh.computeNbTriangle();
        TpolyTriangulateFty::triangulateTopo(&mesh, 0, nullptr, false);
        const SurfaceFacts after = inspectSurface(mesh);
        EXPECT_EQ(after.f, expected) << name;
        EXPECT_EQ(facesOfSize(mesh, 3), expected) << name;
        EXPECT_EQ(int(after.v) - int(after.e) + int(after.f), int(before.v) - int(before.e) + int(before.f)) << name;
        EXPECT_EQ(after.borderEdges, before.borderEdges) << name;
        EXPECT_EQ(after.badEdges, before.badEdges) << name;
        EXPECT_EQ(after.brokenChains, 0u) << name;
        EXPECT_NEAR(triangleArea(mesh), area, 1e-4 * area) << name;
        EXPECT_EQ(mesh.checkObject(kCheckAll), 0u) << name;
    }
}

TEST(Triangulate, NgonMeshRoundTrip) {
    // The cow's dual: closed, every face an n-gon of 3 or more corners, most 5 to 7.
    TpolyGeom mesh;
    ASSERT_TRUE(loadObjDual(dataPath("cow.obj"), mesh));
    addPositionSets(mesh);
    const SurfaceFacts before = inspectSurface(mesh);
    ASSERT_GT(before.f, 1000u);
    const double area = triangleArea(mesh);
    const uint32_t triangles = mesh.computeNbTriangle();
    TpolyTriangulateFty::triangulateTopo(&mesh, 0, nullptr, false);
    const SurfaceFacts after = inspectSurface(mesh);
    EXPECT_EQ(after.f, triangles);
    EXPECT_EQ(int(after.v) - int(after.e) + int(after.f), int(before.v) - int(before.e) + int(before.f));
    EXPECT_EQ(after.borderEdges, before.borderEdges);
    EXPECT_EQ(after.badEdges, 0u);
    EXPECT_NEAR(triangleArea(mesh), area, 1e-4 * area);
    EXPECT_EQ(wrongCornerValues(mesh), 0u);
    EXPECT_EQ(mesh.checkObject(kCheckAll), 0u);
    // Merging pairs back keeps the surface closed and consistent.
    EXPECT_GT(TpolyQuadFty::convertToQuads(&mesh, 180, nullptr, 0), 0u);
    const SurfaceFacts merged = inspectSurface(mesh);
    EXPECT_EQ(int(merged.v) - int(merged.e) + int(merged.f), int(before.v) - int(before.e) + int(before.f));
    EXPECT_EQ(merged.badEdges, 0u);
    EXPECT_EQ(merged.brokenChains, 0u);
    EXPECT_EQ(wrongCornerValues(mesh), 0u);
    EXPECT_EQ(mesh.checkObject(kCheckAll), 0u);
}

TEST(Triangulate, UserNormalsStayOnTheirCorners) {
    std::unique_ptr<TpolyGeom> g(loneQuad());
    g->update(dirtyNormalTopo);
    const T4dFltVector tilted(0.6f, 0, 0.8f);
    g->setUserNormal(g->getNormalId(2), tilted);
    const uint32_t vertex = g->getStartVertex(2);
    TpolyTriangulateFty::triangulateTopo(g.get(), 0, nullptr, false);
    g->update(dirtyNormalTopo);
    uint32_t seen = 0;
    for (uint32_t k = 0; k < g->faceDescLength(); ++k) {
        const T4dFltVector* n = g->getValidUserNormal(g->getNormalId(k));
        if (g->getStartVertex(k) != vertex) {
            EXPECT_EQ(n, nullptr);
            continue;
        }
        ASSERT_NE(n, nullptr);
        EXPECT_FLOAT_EQ(n->x, 0.6f);
        ++seen;
    }
    EXPECT_GE(seen, 1u);
}

TEST(Triangulate, RefusalsAndFacesLeftAlone) {
    // Without a face selection, or with a list of another kind, nothing changes.
    auto body = bodyOf(loneQuad());
    TpolyGeom before(*body->polyGeom());
    TpolyTriangulateFty op;
    EXPECT_EQ(op.doAction(body.get(), nullptr), -1);
    TmidVertComponent vertices;
    vertices.addElement(0);
    EXPECT_EQ(op.doAction(body.get(), &vertices), -1);
    EXPECT_EQ(body->polyGeom()->compareObject(before), 0u);
    // A missing group or an all-triangle record is left alone.
    EXPECT_EQ(TpolyTriangulateFty::triangulateTopo(body->polyGeom(), 42, nullptr, false), 0u);
    EXPECT_EQ(body->polyGeom()->compareObject(before), 0u);
    TpolyTriangulateFty::triangulateTopo(body->polyGeom(), 0, nullptr, false);
    TpolyGeom triangles(*body->polyGeom());
    EXPECT_EQ(TpolyTriangulateFty::triangulateTopo(body->polyGeom(), 0, nullptr, true), 0u);
    EXPECT_EQ(body->polyGeom()->compareObject(triangles), 0u);
    EXPECT_EQ(TpolyTriangulateFty::triangulateTopo(nullptr, 0, nullptr, false), 0u);

    // Degenerate faces: all corners on a line, and two corners at one position. Whatever the
    // triangulation makes of them, the record stays consistent and every corner keeps its values.
    for (const bool collinear : {true, false}) {
        TpolyGeom d;
        const float xs[5] = {0, 1, 2, 3, 4};
        for (uint32_t v = 0; v < 5; ++v) d.appendVertex(xs[v], collinear ? 0 : float(v % 2) * (v == 3 ? 0 : 1), 0);
        if (!collinear) d.vertex(3) = d.vertexConst(2);
        addRingFace(d, {0, 1, 2, 3, 4});
        addPositionSets(d);
        TpolyTriangulateFty::triangulateTopo(&d, 0, nullptr, false);
        EXPECT_EQ(d.checkObject(kCheckAll), 0u);
        EXPECT_EQ(wrongCornerValues(d), 0u);
        const SurfaceFacts s = inspectSurface(d);
        EXPECT_EQ(s.brokenChains, 0u);
        EXPECT_EQ(s.badEdges, 0u);
        EXPECT_TRUE(d.nbFace() == 1 || d.nbFace() == 3) << d.nbFace();
    }

    // The modifier registry makes the factory by its name.
    std::unique_ptr<TmidModifierFty> made(TmodifierRegistry::create("TpolyTriangulateFty"));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->typeof(), &TpolyTriangulateFty::sMetaclass);
}

}  // namespace
