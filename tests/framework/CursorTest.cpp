#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "brindle/brindle.h"

namespace {
std::unique_ptr<TmidBody> unitBox(int texture = 0) {
    auto body = std::make_unique<TmidBody>();
    TmeshBoxFty fty;
    fty.setUVSetName("uv");
    fty.setTexture(TmeshBoxFty::TtexType(texture));
    fty.build(*body);
    return body;
}
}  // namespace

TEST(MeshCursor, BaseIsInertAndVertexAnswersAboutItsNeighbourhood) {
    auto body = unitBox(TmeshBoxFty::kFaceLayout);
    TmeshComponentBase base(body.get(), 0);
    TuInt32Array list;
    EXPECT_EQ(base.vertexList(list), 0u);
    EXPECT_FALSE(base.onBoundary());
    EXPECT_FALSE(base == base);
    EXPECT_EQ(base.createFrom(1), nullptr);
    EXPECT_EQ(base.getCurrentGeom(), body.get());

    TmeshVertex corner(body.get(), 0);  // (-.5, -.5, .5)
    EXPECT_EQ(corner.point().x, -0.5);
    EXPECT_EQ(corner.point4().w, 1.0);
    EXPECT_EQ(corner.vertexCount(), 0u);  // counts of its own kind answer 0
    EXPECT_EQ(corner.connectedVertexCount(), 3u);
    EXPECT_EQ(corner.connectedFaceCount(), 3u);
    EXPECT_FALSE(corner.onBoundary());
    EXPECT_EQ(corner.uvCount(0), 3u);  // one point per side in the per-side layout
    EXPECT_TRUE(corner.hasUV(0));
    EXPECT_EQ(corner.uvCount(4), 0u);
    list.addLast(99);
    EXPECT_EQ(corner.connectedVertexList(list), 4u);  // appended after what was there
    EXPECT_EQ(list[0], 99u);
    EXPECT_EQ(list[1], 1u);  // edge 0 runs from vertex 0 to vertex 1
    EXPECT_TRUE(corner.connectedToFace(0));
    EXPECT_FALSE(corner.connectedToFace(1));  // the top does not reach y = -H/2
    EXPECT_EQ(corner.oppositeVertex(0), 1);

    T2FloatPair uv;
    ASSERT_TRUE(corner.uvForFace(0, 0, uv));
    EXPECT_EQ(uv, (T2FloatPair{0, 0}));
    EXPECT_FALSE(corner.uvForFace(0, 1, uv));
    EXPECT_TRUE(corner.setUVForFace(0, 0, {0.25f, 0.5f}));
    ASSERT_TRUE(corner.uvForFace(0, 0, uv));
    EXPECT_EQ(uv, (T2FloatPair{0.25f, 0.5f}));

    body->polyGeom()->update(dirtyAll);
    EXPECT_TRUE(corner.setPoint(1.0, 2.0, 3.0));
    EXPECT_EQ(body->polyGeom()->vertexConst(0), T3dFltPoint(1, 2, 3));
    EXPECT_TRUE(body->polyGeom()->isDirty(dirtyFaceVectors));

    EXPECT_FALSE(corner.hasColor());
    body->polyGeom()->addLastColorSet(Tstring("paint"));
    body->polyGeom()->setCurrentColorSet(0);
    ASSERT_TRUE(body->setColor(0u, TportColor{0, 1, 0, 1}));
    EXPECT_EQ(corner.colorCount(), 3u);
    TportColor c;
    EXPECT_TRUE(corner.color(c));
    EXPECT_EQ(c.g, 1.0f);
    EXPECT_TRUE(corner.removeColor());
    EXPECT_FALSE(corner.hasColor());

    TmeshFace front(body.get(), 0);
    // The unit square of the per-side layout, with its (0, 0) corner moved to (0.25, 0.5) above.
    EXPECT_NEAR(front.uvArea(0), 0.625, 1e-6);
    EXPECT_FALSE(front.uvZeroArea(0));
    EXPECT_TRUE(front.uvZeroArea(3));
    TmeshEdge top(body.get(), 1);  // between front and top; the front meets it first, across u
    EXPECT_NEAR(top.uvLength(0), 1.0, 1e-6);

    TmeshVertex missing(body.get(), 8);
    EXPECT_FALSE(missing.setPoint(T3dDblPoint{1, 1, 1}));
    EXPECT_EQ(missing.connectedVertexCount(), 0u);
    EXPECT_EQ(missing.point().x, 0.0);
    TmeshVertex noBody(nullptr, 0);
    EXPECT_EQ(noBody.connectedFaceCount(), 0u);
}

TEST(MeshCursor, FaceShapeTrianglesAndEdgeQueries) {
    auto body = unitBox();
    TmeshFace top(body.get(), 1);
    TuInt32Array list;
    EXPECT_EQ(top.vertexList(list), 4u);
    EXPECT_EQ(list[0], 2u);
    EXPECT_EQ(top.connectedFaceCount(), 4u);
    EXPECT_FALSE(top.onBoundary());
    EXPECT_DOUBLE_EQ(top.area(), 1.0);
    T4dFltMatrix twice;
    twice.m[0][0] = twice.m[2][2] = 2;
    EXPECT_DOUBLE_EQ(top.area(twice), 4.0);
    EXPECT_TRUE(top.isPlanar());
    EXPECT_TRUE(top.isConvex());
    EXPECT_FALSE(top.isHoled());
    EXPECT_FALSE(top.zeroArea());
    EXPECT_EQ(top.triangleCount(), 2u);
    // Valid exactly while none of the face's triangles carries the bad mark.
    TpolyGeom& g = *body->polyGeom();
    const uint32_t first = g.firstTriangle(1);
    g.unmarkBadTriangle(first);
    g.unmarkBadTriangle(first + 1);
    EXPECT_TRUE(top.hasValidTriangulation());
    g.markBadTriangle(first + 1);
    EXPECT_FALSE(top.hasValidTriangulation());
    T3dFltPointArray pts;
    TuInt32Array vids;
    EXPECT_TRUE(top.triangles(pts, vids));
    EXPECT_EQ(pts.size(), 6u);
    for (uint32_t v : vids) EXPECT_TRUE(v >= 2 && v <= 5) << v;
    EXPECT_FALSE(top.triangle(2, pts, vids));

    // Lift one corner: no longer planar; pull it inwards past the diagonal: no longer convex.
    TmeshVertex lifted(body.get(), 3);
    lifted.setPoint(0.5, 0.9, 0.5);
    EXPECT_FALSE(top.isPlanar());
    lifted.setPoint(-0.3, 0.5, -0.3);
    EXPECT_TRUE(top.isPlanar());
    EXPECT_FALSE(top.isConvex());
    TmeshFace missing(body.get(), 6);
    EXPECT_EQ(missing.vertexCount(), 0u);
    EXPECT_EQ(missing.area(), 0.0);

    TmeshEdge e(body.get(), 0);
    EXPECT_EQ(e.vertex(0), 0);
    EXPECT_EQ(e.vertex(1), 1);
    EXPECT_EQ(e.vertex(2), -1);
    EXPECT_DOUBLE_EQ(e.length(), 1.0);
    EXPECT_EQ(e.center().x, 0.0);
    EXPECT_DOUBLE_EQ(e.evalPoint(0, 0.25).x, -0.25);
    EXPECT_DOUBLE_EQ(e.evalPoint(1, 0.25).x, 0.25);
    EXPECT_EQ(e.evalPoint4(0, 1).w, 1.0);
    EXPECT_EQ(e.uvLength(0), 0.0);  // this box has no UVs
    EXPECT_TRUE(e.isHard());
    EXPECT_FALSE(e.onBoundary());
    EXPECT_EQ(e.connectedFaceCount(), 2u);
    EXPECT_EQ(e.connectedEdgeCount(), 4u);
    EXPECT_EQ(e.indexInFace(0), 0);
    EXPECT_EQ(e.indexInFace(1), -1);
    EXPECT_TRUE(e.setSmooth());
    EXPECT_TRUE(e.isSmooth());
    EXPECT_FALSE(body->polyGeom()->isHard(0));
    EXPECT_EQ(e.howSmooth(), 0.0);
    TmeshEdge none(body.get(), 12);
    EXPECT_FALSE(none.setHard());
    EXPECT_FALSE(none.isSmooth());
}

TEST(MeshCursor, NormalsUVEditsShapeTestsAndNewFaceUVs) {
    auto body = unitBox(TmeshBoxFty::kFaceLayout);
    TmeshVertex corner(body.get(), 0);
    T3dFltPoint n;
    ASSERT_TRUE(corner.normal(n));  // a box corner leans out along (-1, -1, 1)
    EXPECT_NEAR(n.x, -1 / std::sqrt(3.0), 1e-5);
    EXPECT_NEAR(n.z, 1 / std::sqrt(3.0), 1e-5);
    T3dFltPointArray normals;
    EXPECT_EQ(corner.normals(normals), 3u);  // hard box edges: one shading normal per side
    EXPECT_EQ(corner.normalCount(), 3u);
    EXPECT_TRUE(corner.setUV(0, {0.25f, 0.75f}));
    T2FloatPair uv;
    TuInt32Array faces;
    corner.connectedFaceList(faces);
    ASSERT_TRUE(corner.uvForFace(0, faces[1], uv));
    EXPECT_EQ(uv, (T2FloatPair{0.25f, 0.75f}));
    T2FloatArray two;
    two.addLast({0, 0});
    two.addLast({1, 1});
    EXPECT_FALSE(corner.setUVs(0, two));  // three UV points, two values: nothing moves
    ASSERT_TRUE(corner.uvForFace(0, faces[1], uv));
    EXPECT_EQ(uv.u, 0.25f);

    TmeshFace face(body.get(), 0);
    EXPECT_TRUE(face.isStarlike());
    EXPECT_FALSE(face.isLamina());
    ASSERT_TRUE(face.averageNormal(n));
    EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0, 1e-6);
    normals.clear();
    EXPECT_EQ(face.normals(normals), 4u);

    TmeshEdge edge(body.get(), 0);
    EXPECT_TRUE(edge.setSmoothness(1.0));
    EXPECT_TRUE(edge.isSmooth());
    EXPECT_TRUE(edge.setSmoothness(0.0));
    EXPECT_TRUE(edge.isHard());

    // A 2 x 1 rectangle standing in the xz plane: unitized keeps the aspect, normalized fills.
    T3dFltPointArray rect;
    for (auto p : {T3dFltPoint{0, 0, 0}, T3dFltPoint{2, 0, 0}, T3dFltPoint{2, 0, 1}, T3dFltPoint{0, 0, 1}})
        rect.addLast(p);
    TfltPointArray uvs;
    ASSERT_TRUE(TmidBody::createUnitizedUVs(rect, uvs));
    EXPECT_NEAR(uvs[2].u, 1.0, 1e-6);
    EXPECT_NEAR(std::fabs(uvs[2].v - uvs[0].v), 0.5, 1e-6);
    ASSERT_TRUE(TmidBody::createNormalizedUVs(rect, uvs));
    EXPECT_NEAR(std::fabs(uvs[2].v - uvs[0].v), 1.0, 1e-6);
    T3dFltPointArray line;  // no area: the border layout of the unit square
    for (auto p : {T3dFltPoint{0, 0, 0}, T3dFltPoint{1, 0, 0}, T3dFltPoint{2, 0, 0}}) line.addLast(p);
    ASSERT_TRUE(TmidBody::createNormalizedUVs(line, uvs));
    EXPECT_EQ(uvs[2], (T2FloatPair{1, 1}));
}
