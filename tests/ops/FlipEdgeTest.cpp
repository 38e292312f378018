#include <gtest/gtest.h>

#include "ops/OpsTestSupport.h"
#include "support/SurfaceCheck.h"

using opstest::bodyOf;

namespace {
// Two triangles (0, 1, 2) and (0, 2, 3) over the given corners, decorated; edge 2 is the
// diagonal 2 -> 0.
std::unique_ptr<TmidBody> twoTriangles(std::initializer_list<T3dFltPoint> corners) {
    auto g = std::make_unique<TpolyGeom>();
    for (const T3dFltPoint& p : corners) g->appendVertex(p);
    addRingFace(*g, {0, 1, 2});
    addRingFace(*g, {0, 2, 3});
    attributed::decorate(*g);
    return bodyOf(std::move(g));
}

int flip(TmidBody& body, std::initializer_list<int> ids) {
    Tint32Array list(8);
    for (int e : ids) list.addLast(e);
    TpolyFlipEdgeFty fty;
    fty.setEdges(list);
    fty.setNbEdges(int(list.size()));
    return fty.doAction(&body, nullptr);
}

int code(TmidBody& body, int edge) {
    TpolyFlipEdgeFty fty;
    body.polyGeom()->update(dirtyFaceOffsets | dirtyEdgeToFace);
    return fty.isFlippable(body.polyGeom(), edge);
}
}  // namespace

TEST(FlipEdge, SquareFlipsToTheOtherDiagonal) {
    auto body = twoTriangles({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    TpolyGeom& g = *body->polyGeom();
    EXPECT_EQ(code(*body, 2), TpolyFlipEdgeFty::kFlippable);
    g.appendGrp(-1, kPolyGrpFace);
    ASSERT_EQ(flip(*body, {2}), 0);
    EXPECT_EQ(std::min(g.startVertex(2), g.endVertex(2)), 1u);
    EXPECT_EQ(std::max(g.startVertex(2), g.endVertex(2)), 3u);
    EXPECT_EQ(g.nbFace(), 2u);
    const SurfaceFacts s = inspectSurface(g);
    EXPECT_EQ(s.badEdges, 0u);
    EXPECT_EQ(s.brokenChains, 0u);
    EXPECT_GT(s.volume, -1e-9);
    EXPECT_EQ(attributed::cornerErrors(g), 0);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    EXPECT_EQ(g.findGrp(-1, kPolyGrpFace), -1);  // current groups are cleared after a flip
    g.update(dirtyFaceNormalize);
    for (uint32_t f = 0; f < 2; ++f) EXPECT_GT(g.faceNormalConst(f).z, 0.99f);  // orientation kept
}

TEST(FlipEdge, ReasonCodes) {
    // A planar dart: the flip would fold the quadrilateral over.
    auto dart = twoTriangles({{0, 0, 0}, {1, -1, 0}, {0, 2, 0}, {-1, -1, 0}});
    const std::string before = opstest::recordState(*dart->polyGeom());
    EXPECT_EQ(code(*dart, 2), TpolyFlipEdgeFty::kConcaveQuad);
    ASSERT_EQ(flip(*dart, {2}), 0);
    EXPECT_EQ(opstest::recordState(*dart->polyGeom()), before);

    // Folded along the diagonal: not coplanar, so it flips even though it is a dart from above.
    auto folded = twoTriangles({{0, 0, 0}, {1, -1, 0.5f}, {0, 2, 0}, {-1, -1, 0}});
    EXPECT_EQ(code(*folded, 2), TpolyFlipEdgeFty::kFlippable);

    auto square = twoTriangles({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    EXPECT_EQ(code(*square, 0), TpolyFlipEdgeFty::kNotTwoFaces);
    EXPECT_EQ(code(*square, 99), TpolyFlipEdgeFty::kOutOfRange);
    EXPECT_EQ(code(*square, -1), TpolyFlipEdgeFty::kOutOfRange);
    square->polyGeom()->setCurrentMap(1);  // the per-corner set: every edge is a seam
    EXPECT_EQ(code(*square, 2), TpolyFlipEdgeFty::kUVSeam);

    auto quads = bodyOf(attributed::grid(2));
    EXPECT_EQ(code(*quads, 2), TpolyFlipEdgeFty::kNotTriangles);  // an inner edge
}

TEST(FlipEdge, ListsSkipWhatCannotFlip) {
    auto body = twoTriangles({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    const std::string before = opstest::recordState(*body->polyGeom());
    EXPECT_EQ(flip(*body, {}), -1);
    TmidBody empty(nullptr);
    EXPECT_EQ(flip(empty, {2}), -1);
    EXPECT_EQ(opstest::recordState(*body->polyGeom()), before);
    ASSERT_EQ(flip(*body, {77, 0, 2}), 0);  // out of range and border skipped, diagonal flipped
    EXPECT_EQ(body->polyGeom()->startVertex(2) + body->polyGeom()->endVertex(2), 4u);
}

TEST(FlipEdge, EveryInnerEdgeOfTheBunny) {
    auto body = bodyOf(opstest::bunny());
    TpolyGeom& g = *body->polyGeom();
    const SurfaceFacts before = inspectSurface(g);
    Tint32Array list(256);
    for (uint32_t e = 0; e < g.nbEdge(); e += 7) list.addLast(int(e));
    TpolyFlipEdgeFty fty;
    fty.setEdges(list);
    fty.setNbEdges(int(list.size()));
    ASSERT_EQ(fty.doAction(body.get(), nullptr), 0);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    EXPECT_EQ(attributed::cornerErrors(g), 0);
    const SurfaceFacts after = inspectSurface(g);
    EXPECT_EQ(after.badEdges, before.badEdges);
    EXPECT_EQ(after.brokenChains, 0u);
    EXPECT_EQ(after.borderEdges, before.borderEdges);
}
