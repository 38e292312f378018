#include <gtest/gtest.h>

#include <cstring>

#include "brindle/brindle.h"

namespace {

// One quad (0 1 2 3) and one triangle (1 4 2) sharing the edge 1-2.
TpolyGeom* quadAndTriangle() {
    auto* g = new TpolyGeom;
    const float p[5][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {2, 0, 0}};
    for (auto& v : p) g->appendVertex(v);
    g->appendEdge(0, 1);  // 0
    g->appendEdge(1, 2);  // 1
    g->appendEdge(2, 3);  // 2
    g->appendEdge(3, 0);  // 3
    g->appendEdge(1, 4);  // 4
    g->appendEdge(4, 2);  // 5
    g->bgnFace(4);
    for (uint32_t e = 0; e < 4; ++e) g->refEdge(e, kForward);
    g->endLoop();
    g->endFace();
    g->bgnFace(3);
    g->refEdge(4, kForward);
    g->refEdge(5, kForward);
    g->refEdge(1, kReversed);
    g->endLoop();
    g->endFace();
    return g;
}

}  // namespace

TEST(Registration, EveryClassAndApiCodeIsReadableAfterLoad) {
    struct Cls {
        const char* name;
        const char* parent;
        uint32_t tag;
    };
    const Cls classes[] = {{"TmeshBase", nullptr, 0},
                           {"TpolyBase", "TmeshBase", 0},
                           {"TmidBody", "TpolyBase", 0},
                           {"Tmesh", "TpolyBase", 0},
                           {"TmeshDgFty", nullptr, 0}};
    for (const Cls& c : classes) {
        const Tmetaclass* mc = Tmetaclass::findByName(c.name);
        ASSERT_NE(mc, nullptr) << c.name;
        if (c.parent) {
            ASSERT_NE(mc->parent(), nullptr) << c.name;
            EXPECT_STREQ(mc->parent()->name(), c.parent) << c.name;
        } else {
            EXPECT_EQ(mc->parent(), nullptr) << c.name;
        }
    }
    EXPECT_EQ(Tmetaclass::findByName("TmidBody")->instanceSize(), sizeof(TmidBody));

    EXPECT_STREQ(ThostObjectTable::typeString(293), "kMesh");
    EXPECT_STREQ(ThostObjectTable::typeString(294), "kMeshGeom");
    const TuInt32Array* kinds = ThostObjectTable::kindList(294);
    ASSERT_NE(kinds, nullptr);
    ASSERT_EQ(kinds->size(), 3u);
    EXPECT_EQ((*kinds)[0], 1u);
    EXPECT_EQ((*kinds)[1], 2u);
    EXPECT_EQ((*kinds)[2], 293u);
    EXPECT_TRUE(ThostObjectTable::isKindOf(294, 293));
    EXPECT_FALSE(ThostObjectTable::isKindOf(293, 294));
    EXPECT_EQ(ThostObjectTable::codeOf("kMeshGeom"), 294u);
    EXPECT_EQ(ThostObjectTable::typeString(12345), nullptr);
    // The first meaning of a code stays.
    EXPECT_FALSE(ThostObjectTable::registerType(294, "other", {}));
    EXPECT_STREQ(ThostObjectTable::typeString(294), "kMeshGeom");
}

TEST(MidBody, IdentityConstructionAndRecordOwnership) {
    TmidBody* body = TmidBody::construct(&TmidBody::sMetaclass);
    ASSERT_NE(body, nullptr);
    EXPECT_NE(body->polyGeom(), nullptr);
    EXPECT_EQ(body->apiType(), 294u);
    EXPECT_STREQ(body->apiTypeString(), "kMeshGeom");
    EXPECT_EQ(body->typeof(), &TmidBody::sMetaclass);
    EXPECT_EQ(body->cast(&TmidBody::sMetaclass), body);
    EXPECT_EQ(body->cast(&TmeshBase::sMetaclass), static_cast<TmeshBase*>(body));
    EXPECT_EQ(body->cast(&TmeshDgFty::sMetaclass), nullptr);
    EXPECT_EQ(body->mbody(), body);
    EXPECT_EQ(body->apiUnreference(), 0u);  // the last reference deletes it

    EXPECT_EQ(TmidBody::construct(nullptr), nullptr);
    EXPECT_EQ(TmidBody::construct(&TpolyBase::sMetaclass), nullptr);
    TmeshBase* base = TmeshBase::construct(&TmidBody::sMetaclass);
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(base->typeof(), &TmidBody::sMetaclass);
    delete base;

    TmidBody empty(nullptr);
    EXPECT_EQ(empty.setMidBody(new TpolyGeom), 1);
    EXPECT_EQ(empty.setMidBody(quadAndTriangle()), 0);  // the first record is deleted here
    EXPECT_EQ(empty.faceCount(), 2u);
    EXPECT_EQ(empty.cast(&TmeshBase::sMetaclass), static_cast<TmeshBase*>(&empty));

    TmidBody other(quadAndTriangle());
    EXPECT_TRUE(empty.isSameAs(other));
    other.setPoint(4, T4dDblPoint{3, 0, 0, 7});
    EXPECT_FALSE(empty.isSameAs(other));
    EXPECT_EQ(other.getPoint(4).w, 1.0);
    EXPECT_EQ(other.getPoint(4).x, 3.0);
    empty.copy(other);
    EXPECT_TRUE(empty.isSameAs(other));
    EXPECT_NE(empty.polyGeom(), other.polyGeom());
    EXPECT_TRUE(empty == empty);
    EXPECT_FALSE(empty == other);
}

TEST(MidBody, PointListsAndFaceQueries) {
    TmidBody body(quadAndTriangle());
    TuInt32Array ids;
    T4dDblPointArray pts;
    EXPECT_EQ(body.getPoints(ids, pts), 0u);
    ids.addLast(4);
    ids.addLast(99);
    ids.addLast(0);
    pts.create(2);
    EXPECT_EQ(body.setPoints(ids, pts), 0u);  // lengths differ
    pts.create(3);
    pts[0] = {5, 6, 7, 1};
    pts[2] = {-1, -2, -3, 1};
    EXPECT_EQ(body.setPoints(ids, pts), 2u);
    EXPECT_EQ(body.polyGeom()->vertexConst(4), T3dFltPoint(5, 6, 7));
    EXPECT_TRUE(body.polyGeom()->isDirty(dirtyFaceVectors));
    T4dDblPointArray back;
    back.create(3);
    EXPECT_EQ(body.getPoints(ids, back), 2u);
    EXPECT_EQ(back[2].z, -3.0);

    EXPECT_EQ(body.vertexIndex(1, 2), 6);
    EXPECT_EQ(body.vertexIndex(1, 4), 5);
    EXPECT_EQ(body.vertexIndex(1, 0), -1);
    EXPECT_EQ(body.vertexIndex(7, 0), -1);

    T3dFltPointArray pos;
    EXPECT_EQ(body.getPosition(1, pos), 0);
    ASSERT_EQ(pos.size(), 3u);
    EXPECT_EQ(pos[1], T3dFltPoint(5, 6, 7));
    EXPECT_EQ(body.getPosition(2, pos), -1);
    EXPECT_TRUE(pos.empty());
    T3dFltPoint p;
    EXPECT_EQ(body.getPosition(0, 4, p), -1);
    EXPECT_EQ(body.getPosition(0, 3, p), 0);
    EXPECT_EQ(p, T3dFltPoint(0, 1, 0));

    // No UV set: UV queries fail.
    TfltPointArray uvs;
    EXPECT_EQ(body.getUV(0, uvs), -1);
    EXPECT_EQ(body.UVcount(), 0u);

    TuInt32Array list;
    EXPECT_EQ(body.vertexFaceNeighbours(2, list), 2u);
    EXPECT_EQ(body.vertexFaceNeighbours(0, list), 1u);
    EXPECT_EQ(body.vertexVertexNeighbours(1, list), 3u);
    EXPECT_EQ(list[0], 0u);
    EXPECT_EQ(list[1], 2u);
    EXPECT_EQ(list[2], 4u);
    EXPECT_EQ(body.faceVertexNeighbours(1, list), 3u);
    EXPECT_EQ(list[1], 4u);
}

TEST(MidBody, NormalizedUVsRunAroundTheSquare) {
    TfltPointArray pts;
    EXPECT_FALSE(TmidBody::generateNormalizedUVs(pts, {}, {}, 0));
    ASSERT_TRUE(TmidBody::generateNormalizedUVs(pts, {3, 3}, {9, 9}, 5));
    const TfltPoint five[] = {{0, 0}, {1, 0}, {1, 0.5f}, {1, 1}, {0, 1}};
    ASSERT_EQ(pts.size(), 5u);
    for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(pts[i], five[i]) << i;
    ASSERT_TRUE(TmidBody::generateNormalizedUVs(pts, {}, {}, 4));
    EXPECT_EQ(pts[3], (TfltPoint{0, 1}));
    for (uint32_t n : {1u, 2u, 3u, 6u, 7u, 13u}) {
        ASSERT_TRUE(TmidBody::generateNormalizedUVs(pts, {}, {}, n));
        EXPECT_EQ(pts.size(), n);
        EXPECT_EQ(pts[0].v, 0.0f);  // every layout starts on the bottom edge
        for (const TfltPoint& q : pts) {
            EXPECT_TRUE(q.u == 0 || q.u == 1 || q.v == 0 || q.v == 1) << n;
        }
    }
}

TEST(MidBody, ColoursOfCornersAndVertices) {
    TmidBody body;
    TmeshBoxFty().build(body);
    TpolyGeom& g = *body.polyGeom();
    const TportColor red{1, 0, 0, 1}, blue{0, 0, 1, 0.5f};
    TportColor c;
    TportColorArray list;
    EXPECT_EQ(body.setColor(0, 0, red), -1);  // no colour set yet
    EXPECT_FALSE(body.setColor(0u, blue));
    g.addLastColorSet(Tstring("paint"));
    g.setCurrentColorSet(0);

    ASSERT_EQ(body.setColor(0, 1, red), 0);
    EXPECT_EQ(body.getColor(0, 1, c), 0);
    EXPECT_EQ(c, red);
    EXPECT_EQ(body.getColor(0, 0, c), -1);  // uncoloured corner
    EXPECT_EQ(body.getColor(0, list), -1);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(body.getColor(0, 4, c), -1);
    EXPECT_EQ(body.getColor(6, 0, c), -1);
    EXPECT_EQ(body.getColorById(0, 1, c), 0);  // corner 1 of face 0 is vertex 1
    EXPECT_EQ(c, red);
    EXPECT_EQ(body.getColorById(0, 7, c), -1);

    // Vertex 0 is a corner of three faces; they all get one colour.
    EXPECT_TRUE(body.setColor(0u, blue));
    EXPECT_EQ(body.getVertexColors(0, list), 3u);
    for (const TportColor& each : list) EXPECT_EQ(each, blue);
    ASSERT_TRUE(body.setColorById(1, 0, blue));
    EXPECT_TRUE(body.getColor(1u, c, false));
    EXPECT_EQ(body.getVertexColors(1, list), 1u);
    EXPECT_TRUE(body.setColorById(1, 1, red) == false);  // vertex 1 is no corner of the top
    EXPECT_EQ(body.getColor(0, list), -1);               // corners 2 and 3 of face 0 are still uncoloured
    EXPECT_TRUE(body.setColor(2u, red) && body.setColor(3u, red));
    EXPECT_EQ(body.getColor(0, list), 0);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0], blue);
    EXPECT_EQ(list[2], red);

    // Vertex 2 is red at its three corners; one of them turns blue and the mean follows.
    ASSERT_EQ(body.setColor(0, 3, blue), 0);  // corner 3 of face 0 sits at vertex 2
    EXPECT_TRUE(body.getColor(2u, c, true));
    EXPECT_FLOAT_EQ(c.r, 2.0f / 3);
    EXPECT_FLOAT_EQ(c.a, (1 + 1 + 0.5f) / 3);

    EXPECT_EQ(body.removeColorById(0, 0), 0);
    EXPECT_EQ(body.getColor(0, 0, c), -1);
    EXPECT_TRUE(body.removeColor(2));
    EXPECT_EQ(body.getVertexColors(2, list), 0u);
    EXPECT_FALSE(body.getColor(2u, c, false));
    EXPECT_FALSE(body.removeColor(8));
}
