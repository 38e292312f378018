#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "brindle/brindle.h"

namespace {

// A face operation: lifts the vertices of the current face group by one along y. It records the
// order of the protocol's calls and can be told to throw.
class TliftFacesFty : public TmidModifierFty {
public:
    explicit TliftFacesFty(bool clearGroups) { setShouldClearCurrGroups(clearGroups); }

    std::string calls;
    bool fail = false;
    bool raise = false;

protected:
    void prepareForAction(const TmidBody* body) override {
        calls += 'p';
        TmidModifierFty::prepareForAction(body);
    }
    int action(TmidBody* body, TmidComponent* list) override {
        calls += 'a';
        if (raise) throw std::runtime_error("lift");
        int name = 0;
        if (fail || !getActiveGrpName(body, list, kPolyGrpFace, name)) return -1;
        TpolyGeom& g = *body->polyGeom();
        g.update(dirtyFaceOffsets);
        TbitFieldFixedN faces, verts;
        g.flagsFromGroup(kPolyGrpFace, name, faces);
        g.groupFace2Vertex(faces, verts, 1);
        for (uint32_t v = 0; v < g.nbVertex(); ++v)
            if (verts.testBit(v)) g.vertex(v).y += 1;
        g.markDirty(dirtyMoved);
        return 0;
    }
};

std::unique_ptr<TmidBody> boxBody(uint32_t n = 1) {
    auto body = std::make_unique<TmidBody>();
    TmeshBoxFty box;
    box.setXSubdivide(n);
    box.setYSubdivide(n);
    box.setZSubdivide(n);
    box.build(*body);
    return body;
}

// The table as (name, type) pairs, for before/after comparisons.
std::string groupTable(const TpolyGeom& g) {
    std::string out;
    for (uint32_t i = 0; i < g.nbGroup(); ++i) {
        const TpolyGrpDesc& d = g.groupConst(i);
        out += std::to_string(d.fName) + ":" + std::to_string(d.fType) + "/" + std::to_string(d.nbElem()) + " ";
    }
    return out;
}

double totalY(const TpolyGeom& g) {
    double y = 0;
    for (uint32_t v = 0; v < g.nbVertex(); ++v) y += g.vertexConst(v).y;
    return y;
}

}  // namespace

TEST(ActionProtocol, WrongKindAndFailureLeaveRecordAndGroupsAlone) {
    auto body = boxBody();
    TpolyGeom& g = *body->polyGeom();
    g.appendGrp(-1, kPolyGrpFace);
    g.appendGrp(-1, kPolyGrpVertex);
    g.addElement(1, 2);
    const std::string before = groupTable(g);
    const double y = totalY(g);

    TliftFacesFty lift(true);
    TmidVertComponent verts;
    verts.addElement(0);
    EXPECT_EQ(lift.doAction(body.get(), &verts), -1);
    EXPECT_EQ(lift.calls, "pa");
    EXPECT_EQ(groupTable(g), before);
    EXPECT_EQ(totalY(g), y);

    TmidFaceComponent top;
    top.addElement(1);
    lift.fail = true;
    EXPECT_EQ(lift.doAction(body.get(), &top), -1);
    EXPECT_EQ(groupTable(g), before);

    // An exception passes through and skips the clean-up.
    lift.fail = false;
    lift.raise = true;
    EXPECT_THROW(lift.doAction(body.get(), &top), std::runtime_error);
    EXPECT_EQ(groupTable(g), before);

    // No record: refused.
    TmidBody empty(nullptr);
    lift.raise = false;
    EXPECT_EQ(lift.doAction(&empty, &top), -1);
}

TEST(ActionProtocol, SuccessClearsOneCurrentGroupPerKind) {
    auto body = boxBody();
    TpolyGeom& g = *body->polyGeom();
    g.appendGrp(7, kPolyGrpFace);  // a named group is never touched
    for (TpolyGrpType kind : {kPolyGrpVertex, kPolyGrpEdge, kPolyGrpFace, kPolyGrpUV}) g.appendGrp(-1, kind);
    TliftFacesFty lift(true);
    TmidFaceComponent top;
    top.addElement(1);  // the face at y = H/2
    const double y = totalY(g);
    EXPECT_EQ(lift.doAction(body.get(), &top), 0);
    EXPECT_EQ(totalY(g), y + 4);
    ASSERT_EQ(g.nbGroup(), 1u);
    EXPECT_EQ(g.getName(0), 7);

    // With two current face groups only the later goes; the list went into that later one.
    g.appendGrp(-1, kPolyGrpFace);
    g.addElement(1, 5);
    g.appendGrp(-1, kPolyGrpFace);
    EXPECT_EQ(lift.doAction(body.get(), &top), 0);
    ASSERT_EQ(g.nbGroup(), 2u);
    EXPECT_EQ(g.getName(1), -1);
    EXPECT_EQ(g.nbItem(1), 1u);
    EXPECT_EQ(g.getItem(1, 0), 5u);

    // Without the clear flag the current group stays, holding the list.
    TliftFacesFty keep(false);
    EXPECT_EQ(keep.doAction(body.get(), &top), 0);
    ASSERT_EQ(g.nbGroup(), 2u);
    EXPECT_EQ(g.getItem(1, 0), 1u);
}

TEST(ActionProtocol, UntypedCurrentGroupGoesToTheFirstKindThatReachesIt) {
    auto body = boxBody();
    TpolyGeom& g = *body->polyGeom();
    TmidFaceComponent top;
    top.addElement(1);
    TliftFacesFty lift(true);

    // [vertex, untyped]: the vertex pass takes the later untyped entry, no other kind matches the
    // vertex entry, and the face pass takes the face group the list created.
    g.appendGrp(-1, kPolyGrpVertex);
    g.appendGrp(-1, kPolyGrpNone);
    EXPECT_EQ(lift.doAction(body.get(), &top), 0);
    ASSERT_EQ(g.nbGroup(), 1u);
    EXPECT_EQ(g.getType(0), kPolyGrpVertex);
}

TEST(ActionProtocol, ActiveGroupWithoutListAndTriangleFlag) {
    auto body = boxBody();
    TpolyGeom& g = *body->polyGeom();
    int name = 0;
    EXPECT_FALSE(TmidModifierFty::getActiveGrpName(body.get(), nullptr, kPolyGrpFace, name));
    const uint32_t grp = g.appendGrp(-1, kPolyGrpFace);
    EXPECT_FALSE(TmidModifierFty::getActiveGrpName(body.get(), nullptr, kPolyGrpFace, name));
    g.addElement(grp, 3);
    EXPECT_TRUE(TmidModifierFty::getActiveGrpName(body.get(), nullptr, kPolyGrpFace, name));
    EXPECT_EQ(name, -1);
    EXPECT_FALSE(TmidModifierFty::getActiveGrpName(body.get(), nullptr, kPolyGrpEdge, name));
    EXPECT_FALSE(TmidModifierFty::getActiveGrpName(nullptr, nullptr, kPolyGrpFace, name));

    // Without the factory's promise the record may not keep its triangles.
    TliftFacesFty lift(false);
    TmidFaceComponent top;
    top.addElement(1);
    g.setReusableTriangles(true);
    lift.doAction(body.get(), &top);
    EXPECT_FALSE(g.reusableTriangles());
    g.setReusableTriangles(true);
    lift.setReusableTriangles(true);
    lift.doAction(body.get(), &top);
    EXPECT_TRUE(g.reusableTriangles());
}

TEST(ActionProtocol, FaceToUVConversionRestoresTheCurrentSet) {
    auto body = boxBody();
    TmeshBoxFty perFace;
    perFace.setUVSetName("a");
    perFace.setTexture(TmeshBoxFty::kFaceLayout);
    perFace.build(*body);
    TpolyGeom& h = *body->polyGeom();
    TmeshBoxFty shared;
    shared.setUVSetName("b");
    shared.setTexture(TmeshBoxFty::kSharedLayout);
    auto other = shared.createBox();
    // A second set with the shared layout's UVs and ids.
    Tstring name("b");
    const uint32_t s = h.addLastMapSet(name);
    (*h.maps())[s].copyData((*other->maps())[0]);
    h.setCurrentMap(1);
    h.update(dirtyFaceOffsets | dirtyEdgeToFace);

    TbitFieldFixedN faces(h.nbFace()), uvs;
    faces.setBit(0);
    TmidModifierFty::convertFace2UV(&h, faces, uvs, 1, 0);
    EXPECT_EQ(uvs.countSet(), 4u);  // the per-face layout: the face's own four points
    ASSERT_NE(h.nbUV(0), h.nbUV(1));
    EXPECT_EQ(uvs.size(), h.nbUV(0));  // sized for set 0, not the current set
    EXPECT_EQ(h.getCurrentMap(), 1);
    TmidModifierFty::convertFace2UV(&h, faces, uvs, 1, 9);  // no such set: the current one
    EXPECT_EQ(uvs.size(), h.nbUV(1));
    EXPECT_EQ(h.getCurrentMap(), 1);
}

TEST(RemoverFty, MapsGrowWithTheRecordAndFollowRemoval) {
    struct TdropLastFace : TpolyRemoverFty {
        int action(TmidBody* body, TmidComponent*) override {
            TpolyGeom& g = *body->polyGeom();
            g.update(dirtyFaceOffsets);
            const uint32_t last = g.nbFace() - 1;
            g.removeLoopEdge(g.faceOffset(last), g.faceVertexCount(last));
            g.setNbFace(last);
            createDefaultIdMap(kPolyGrpFace);
            setFaceMapValue(last, TpolyBits::kNoId);
            handleUnusedEdges(&g);
            handleUnusedVertices(&g);
            g.markDirty(dirtyAll);
            return 0;
        }
    };
    auto body = boxBody();
    TpolyIdMapper mapper(true, false, true);
    TdropLastFace drop;
    EXPECT_FALSE(drop.hasMap(kPolyGrpFace));
    drop.setIdMapper(&mapper);
    EXPECT_TRUE(drop.hasMap(kPolyGrpVertex));
    EXPECT_FALSE(drop.hasMap(kPolyGrpEdge));
    EXPECT_FALSE(drop.hasMap(4));
    EXPECT_EQ(drop.doAction(body.get(), nullptr), 0);
    // Dropping one face of a single-division box frees no edge and no vertex.
    EXPECT_EQ(body->faceCount(), 5u);
    ASSERT_EQ(mapper.faceMap()->size(), 6u);
    EXPECT_EQ((*mapper.faceMap())[4], 4u);
    EXPECT_EQ((*mapper.faceMap())[5], TpolyBits::kNoId);
    ASSERT_EQ(mapper.vertexMap()->size(), 8u);
    EXPECT_EQ((*mapper.vertexMap())[7], 7u);
    drop.changeIdMapperArraySizes(2, 2, 2);
    EXPECT_EQ(mapper.vertexMap()->size(), 2u);
    EXPECT_EQ(drop.edgeMap(), nullptr);
}

namespace {
// A factory of another class, unknown to the registry's construction.
const Tmetaclass sOtherFtyClass("TprotocolTestFty", 0, nullptr, 0, &TmeshDgFty::sMetaclass);
struct TotherFty : TmeshDgFty {
    const Tmetaclass* typeof() const override { return &sOtherFtyClass; }
};
}  // namespace

TEST(MeshDgFty, CopyCompareCloneAndSwap) {
    TmeshDgFty a, b;
    EXPECT_TRUE(a.mapAll());
    EXPECT_FALSE(a.copy(a, true));

    // other carries relative only: relative and the mapAll bit are copied, triangulate is not.
    TbitField32 map;
    map.setBit(2);
    b.setParameterMap(map);
    b.setRelative(true);
    b.setTriangulate(true);
    EXPECT_TRUE(a.copy(b, true));
    EXPECT_TRUE(a.relative());
    EXPECT_FALSE(a.triangulate());
    EXPECT_FALSE(a.mapAll());
    EXPECT_FALSE(a.equivalent(b, true));  // b carries no triangulate

    std::unique_ptr<TmeshDgFty> c(b.clone());
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(c->triangulate());
    EXPECT_TRUE(c->relative());
    EXPECT_TRUE(c->equivalent(b, false));

    TmeshDgFty d;
    d.swapWith(&b, false);
    EXPECT_TRUE(d.triangulate());
    EXPECT_FALSE(b.triangulate());
    TotherFty o;
    o.setTriangulate(true);
    d.swapWith(&o, false);  // another class: nothing happens
    d.swapWith(nullptr, false);
    EXPECT_TRUE(o.triangulate());
    EXPECT_TRUE(d.triangulate());
    EXPECT_EQ(TmeshDgFty::construct(&TmidBody::sMetaclass), nullptr);
}

namespace {
// Deletes the listed faces, then lets the remover drop what no face uses any more.
class TdeleteFacesFty : public TpolyRemoverFty {
public:
    TdeleteFacesFty() { setShouldClearCurrGroups(true); }

protected:
    int action(TmidBody* body, TmidComponent* list) override {
        int name = 0;
        if (!getActiveGrpName(body, list, kPolyGrpFace, name)) return -1;
        TpolyGeom& g = *body->polyGeom();
        g.update(dirtyFaceOffsets);
        TuInt32Array kept;
        uint32_t next = 0;
        for (uint32_t f = 0; f < g.nbFace(); ++f) {
            const bool gone = list->hasElement(f);
            if (faceMap()) setFaceMapValue(f, gone ? TpolyBits::kNoId : next);
            if (gone) continue;
            ++next;
            for (uint32_t o = g.faceOffset(f); o < g.faceOffset(f + 1); ++o) kept.addLast(g.getFaceEdge(o));
        }
        g.faceDescArray().copy(kept);
        g.setNbFace(next);
        handleUnusedEdges(&g);
        handleUnusedVertices(&g);
        g.markDirty(dirtyAll);
        return 0;
    }
};
}  // namespace

TEST(RemoverFty, UnusedEdgesAndVerticesGoWithTheirGroupsRenumbered) {
    auto body = boxBody();
    TpolyGeom& g = *body->polyGeom();
    const uint32_t vg = g.appendGrp(3, kPolyGrpVertex), eg = g.appendGrp(4, kPolyGrpEdge);
    g.addElement(vg, 0);
    g.addElement(vg, 7);
    g.addElement(eg, 4);
    g.addElement(eg, 11);
    const T3dFltPoint last = g.vertexConst(7);

    // Front, bottom and the side x = -W/2 meet at vertex 0: its three edges (0, 4, 10) and the
    // vertex itself lose every face.
    TmidFaceComponent faces;
    for (uint32_t f : {0u, 3u, 5u}) faces.addElement(f);
    TpolyIdMapper mapper(true, true, true);
    TdeleteFacesFty del;
    del.setIdMapper(&mapper);
    ASSERT_EQ(del.doAction(body.get(), &faces), 0);
    EXPECT_EQ(g.nbFace(), 3u);
    EXPECT_EQ(g.nbEdge(), 9u);
    EXPECT_EQ(g.nbVertex(), 7u);
    const TuInt32Array& em = *mapper.edgeMap();
    EXPECT_EQ(em[0], TpolyBits::kNoId);
    EXPECT_EQ(em[4], TpolyBits::kNoId);
    EXPECT_EQ(em[10], TpolyBits::kNoId);
    EXPECT_EQ(em[11], 8u);
    EXPECT_EQ((*mapper.vertexMap())[0], TpolyBits::kNoId);
    EXPECT_EQ((*mapper.vertexMap())[7], 6u);
    EXPECT_EQ(g.vertexConst(6), last);
    EXPECT_EQ((*mapper.faceMap())[4], 2u);
    EXPECT_EQ(g.nbGroup(), 2u);  // the selection was meaningless afterwards and went
    // Every edge and corner points at a vertex and edge that still exist.
    for (uint32_t e = 0; e < g.nbEdge(); ++e) EXPECT_LT(g.startVertex(e), 7u);
    for (uint32_t o = 0; o < g.faceDescLength(); ++o) EXPECT_LT(g.getEdge(o), 9u);
    // Groups follow the renumbering; removed members drop out.
    ASSERT_EQ(g.nbElem(3, kPolyGrpVertex), 1u);
    EXPECT_TRUE(g.isInGroup(kPolyGrpVertex, 3, 6));
    ASSERT_EQ(g.nbElem(4, kPolyGrpEdge), 1u);
    EXPECT_TRUE(g.isInGroup(kPolyGrpEdge, 4, 8));
}
