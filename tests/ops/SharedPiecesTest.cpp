#include <gtest/gtest.h>

#include <cmath>

#include "brindle/brindle.h"
#include "support/AttributedGrid.h"

namespace {

T4dDblMatrix translation(double x, double y, double z) {
    T4dDblMatrix m;
    m.m[3][0] = x;
    m.m[3][1] = y;
    m.m[3][2] = z;
    return m;
}

void expectNear(const T3dFltPoint& a, const T3dFltPoint& b, float tol = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

}  // namespace

TEST(Transform, QuaternionOrdersAndInverse) {
    // A quarter turn about z carries x onto y (row vectors).
    TrotateXYZ r;
    r.z = kHalfPi;
    T4dDblMatrix m;
    Tquaternion(r).toMatrix(m);
    expectNear(m.transformPoint({1, 0, 0}), {0, 1, 0});
    // x first, then z: (0, 1, 0) -> x turn -> (0, 0, 1) -> z turn stays.
    r.x = kHalfPi;
    Tquaternion(r).toMatrix(m);
    expectNear(m.transformPoint({0, 1, 0}), {0, 0, 1});
    // zyx order: z first: (0, 1, 0) -> (-1, 0, 0) -> x turn leaves it.
    r.order = TrotateXYZ::kZYX;
    Tquaternion(r).toMatrix(m);
    expectNear(m.transformPoint({0, 1, 0}), {-1, 0, 0});

    double angle;
    T4dFltVector axis;
    Tquaternion(2.0, T4dFltVector(0, 0, -2)).getPivotAxis(angle, axis);
    EXPECT_NEAR(angle, 2.0, 1e-9);
    EXPECT_NEAR(axis.z, -1.0f, 1e-6f);

    T4dDblMatrix t = m * translation(1, 2, 3), inv = t;
    ASSERT_TRUE(inv.invertIt());
    expectNear((t * inv).transformPoint({5, 6, 7}), {5, 6, 7});
    T4dDblMatrix singular;
    singular.m[1][1] = 0;
    T4dDblMatrix copy = singular;
    EXPECT_FALSE(singular.invertIt());
    EXPECT_EQ(singular, copy);
}

TEST(ReferenceFrame, EntersLeavesAndInvertsTheParameter) {
    auto g = attributed::cube();
    const TpolyGeom before(*g);
    T4dDblMatrix matrix = translation(10, 0, 0), given = matrix;
    {
        TpolyReferenceFrame frame;
        ASSERT_TRUE(frame.enter(g.get(), matrix, true));
        EXPECT_TRUE(frame.active());
        expectNear(g->vertexConst(0), {10, 0, 0});
        T4dDblMatrix product = given * matrix;
        EXPECT_TRUE(product.isIdentity());
    }  // left on scope exit
    expectNear(g->vertexConst(0), {0, 0, 0});
    EXPECT_EQ(g->compareObject(before), 0u);

    // Identity: nothing happens; singular: refused with record and parameter untouched.
    TpolyReferenceFrame frame;
    T4dDblMatrix identity, singular;
    singular.m[2][2] = 0;
    EXPECT_TRUE(frame.enter(g.get(), identity, true));
    EXPECT_FALSE(frame.active());
    EXPECT_FALSE(frame.enter(g.get(), singular, true));
    EXPECT_EQ(singular.m[2][2], 0.0);
    EXPECT_EQ(g->compareObject(before), 0u);
}

TEST(Compact, UnusedEdgesAndVerticesTakeTheirDataAlong) {
    auto g = attributed::grid(3);
    // Drop face 0's corner loop by hand: rewrite the description without it, as a deleter would.
    g->update(dirtyFaceOffsets);
    const uint32_t cut = g->faceOffset(1);
    g->removeLoopEdge(0, cut);
    g->setNbFace(g->nbFace() - 1);
    for (uint32_t s = 0; s < g->nbMapSet(); ++s) g->removeUVId(0, cut, s);
    g->removeColorId(0, cut, 0);
    g->markDirty(dirtyAll);
    const uint32_t edges = g->nbEdge(), vertices = g->nbVertex();

    TpolyIdMapper mapper(true, true, false);
    TpolyCompact::removeUnused(*g, &mapper);
    // Face 0 of the grid had two border edges and one vertex of its own.
    EXPECT_EQ(g->nbEdge(), edges - 2);
    EXPECT_EQ(g->nbVertex(), vertices - 1);
    EXPECT_EQ(g->checkObject(kCheckAll), 0u);
    const TuInt32Array& em = *mapper.edgeMap();
    const TuInt32Array& vm = *mapper.vertexMap();
    ASSERT_EQ(em.size(), edges);
    ASSERT_EQ(vm.size(), vertices);
    EXPECT_EQ(vm[0], TpolyBits::kNoId);
    EXPECT_EQ(vm[1], 0u);

    // Every surviving component's blind data still names its old id; creases and groups follow.
    TbdDataPtrArray bd;
    for (uint32_t old = 0; old < edges; ++old) {
        if (em[old] == TpolyBits::kNoId) continue;
        bd.clear();
        ASSERT_TRUE(g->edgeBlindData()->getBlindData(em[old], bd));
        EXPECT_EQ(bd[0].value.i, int32_t(old));
        double crease;
        EXPECT_EQ(g->getCreaseValue(em[old], crease), old % 5 == 0);
        if (old % 5 == 0) {
            EXPECT_EQ(crease, 0.5 + old);
        }
        EXPECT_EQ(g->isInGroup(kPolyGrpEdge, 4, em[old]), old % 3 == 0);
    }
    for (uint32_t old = 1; old < vertices; ++old) {
        bd.clear();
        ASSERT_TRUE(g->vertexBlindData()->getBlindData(vm[old], bd));
        EXPECT_EQ(bd[0].value.i, int32_t(old));
        EXPECT_EQ(g->isInGroup(kPolyGrpVertex, 5, vm[old]), old % 2 == 0);
    }
    for (const TidPair& p : *g->objectGroupVtxFaceComponent(6)) EXPECT_LT(p.first, g->nbVertex());
    // The shared UV of the dropped vertex went; every corner keeps its own.
    EXPECT_EQ(g->nbUV(0), vertices - 1);
    for (uint32_t o = 0; o < g->faceDescLength(); ++o) {
        float uv[2];
        ASSERT_TRUE(g->getUV(uint32_t(g->getUVId(o, 0)), uv, 0));
        const uint32_t newVertex = g->getStartVertex(o);
        uint32_t old = 0;
        while (vm[old] != newVertex) ++old;
        EXPECT_EQ(uv[0], float(old));
    }
}

TEST(FaceQuery, CentresAndUVBorders) {
    auto g = attributed::grid(2);
    g->setVertex(1, {3, 0, 0});  // face 0 becomes (0,0) (3,0) (1,1) (0,1)
    g->update(dirtyFaceOffsets | dirtyEdgeToFace);
    const T3dFltPoint mean = TpolyFaceQuery::getFaceCenter(*g, 0, kFaceInfoCornerMean);
    expectNear(mean, {1, 0.5f, 0});
    const T3dFltPoint outline = TpolyFaceQuery::getFaceCenter(*g, 0, kFaceInfoOutlineCentre);
    const float l0 = 3, l1 = std::sqrt(5.0f), l2 = 1, l3 = 1;
    expectNear(outline, {(l0 * 1.5f + l1 * 2 + l2 * 0.5f) / (l0 + l1 + l2 + l3),
                         (l1 * 0.5f + l2 * 1 + l3 * 0.5f) / (l0 + l1 + l2 + l3), 0});

    // Faces 0 and 1 selected: in the shared set only the edge between them is inside; in the
    // per-corner set every edge is a seam.
    TbitFieldFixedN faces(4), entries;
    faces.setBit(0);
    faces.setBit(1);
    ASSERT_TRUE(TpolyFaceQuery::markUVBorderEntries(*g, faces, 0, entries));
    EXPECT_EQ(entries.countSet(), 6u);
    const uint32_t inner = g->faceOffset(0) + 1;  // face 0's right edge
    EXPECT_FALSE(entries.testBit(inner));
    ASSERT_TRUE(TpolyFaceQuery::markUVBorderEntries(*g, faces, 1, entries));
    EXPECT_EQ(entries.countSet(), 8u);
    EXPECT_FALSE(TpolyFaceQuery::markUVBorderEntries(*g, faces, 9, entries));
    EXPECT_EQ(TpolyFaceQuery::nextInLoop(*g, 0, g->faceOffset(0) + 3), g->faceOffset(0));
}

TEST(ModifierRegistry, TextValuesAndUnknownNames) {
    EXPECT_EQ(TmodifierRegistry::create("TmidModifierFty"), nullptr);
    EXPECT_EQ(TmodifierRegistry::create("TpolyRemoverFty"), nullptr);
    EXPECT_EQ(TmodifierRegistry::create("TmidBody"), nullptr);
    EXPECT_EQ(TmodifierRegistry::create("NoSuchFty"), nullptr);
    T4dFltVector v;
    EXPECT_TRUE(TmodifierText::parse("1, 2 3", v));
    EXPECT_EQ(v, T4dFltVector(1, 2, 3));
    EXPECT_FALSE(TmodifierText::parse("1 2", v));
    EXPECT_FALSE(TmodifierText::parse("1 2 3 4 5", v));
    int i = 0;
    EXPECT_FALSE(TmodifierText::parse("3x", i));
    EXPECT_TRUE(TmodifierText::parse("-7", i));
    EXPECT_EQ(i, -7);
    TrotateXYZ r;
    EXPECT_FALSE(TmodifierText::parse("0 0 0 9", r));
    T4dDblMatrix m;
    EXPECT_TRUE(TmodifierText::parse("2 0 0 0 0 2 0 0 0 0 2 0 1 1 1 1", m));
    EXPECT_EQ(m.m[3][0], 1.0);
}

TEST(AttributedGrid, FixtureIsConsistent) {
    std::unique_ptr<TpolyGeom> records[] = {attributed::grid(4), attributed::cube()};
    for (auto& g : records) {
        EXPECT_EQ(g->checkObject(kCheckAll), 0u);
        EXPECT_EQ(attributed::cornerErrors(*g), 0);
        EXPECT_EQ(g->nbMapSet(), 2u);
    }
}
