#include <gtest/gtest.h>

#include <random>

#include "ops/OpsTestSupport.h"
#include "ops/SeamSupport.h"

using opstest::allOf;
using opstest::bodyOf;
using opstest::recordState;
using seam::twoQuads;

namespace {
int weld(TmidBody& body, float threshold, TmidComponent* list, TpolyIdMapper* mapper = nullptr) {
    TpolyMergeVertFty fty;
    fty.setThreshold(threshold);
    fty.setIdMapper(mapper);
    return fty.doAction(&body, list);
}

// Triangles with three vertices of their own: the two halves of each square of an n x n grid,
// every corner moved by up to jitter on each axis, except one in seven that sits exactly on its
// grid point (at -0 on the grid's first column, which must weld with +0). Decorated with every
// kind of attached data.
std::unique_ptr<TpolyGeom> jitteredSoup(uint32_t n, float jitter) {
    auto g = std::make_unique<TpolyGeom>();
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> shake(-jitter, jitter);
    auto corner = [&](uint32_t i, uint32_t j) {
        const uint32_t v = g->nbVertex();
        T3dFltPoint p(float(i), float(j), 0);
        if (v % 7)
            p = T3dFltPoint(p.x + shake(rng), p.y + shake(rng), shake(rng));
        else if (i == 0)
            p.x = -0.0f;
        g->appendVertex(p);
        return v;
    };
    for (uint32_t j = 0; j < n; ++j)
        for (uint32_t i = 0; i < n; ++i) {
            addRingFace(*g, {corner(i, j), corner(i + 1, j), corner(i + 1, j + 1)});
            addRingFace(*g, {corner(i, j), corner(i + 1, j + 1), corner(i, j + 1)});
        }
    attributed::decorate(*g);
    return g;
}

// Three tight clusters of corners at the tips of a triangle of side 10, each soup triangle with
// one corner in each cluster: a threshold of 8 is above half the object's diagonal, yet the
// clusters stay apart.
std::unique_ptr<TpolyGeom> clusteredSoup(uint32_t faces) {
    auto g = std::make_unique<TpolyGeom>();
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> shake(-0.5f, 0.5f);
    const T3dFltPoint tips[3] = {T3dFltPoint(0, 0, 0), T3dFltPoint(10, 0, 0), T3dFltPoint(5, 8.66f, 0)};
    for (uint32_t f = 0; f < faces; ++f) {
        for (const T3dFltPoint& t : tips) g->appendVertex(T3dFltPoint(t.x + shake(rng), t.y + shake(rng), shake(rng)));
        addRingFace(*g, {3 * f, 3 * f + 1, 3 * f + 2});
    }
    attributed::decorate(*g);
    return g;
}

// The record after welding every vertex of a copy of source, with the action's result and maps.
struct Welded {
    int result = 0;
    uint32_t vertices = 0;
    std::string state;
    TuInt32Array vertexMap, edgeMap, faceMap;
};

Welded weldAll(const TpolyGeom& source, float threshold, TpolyWeldSearch::Strategy search) {
    auto body = bodyOf(std::make_unique<TpolyGeom>(source));
    auto all = allOf<TmidVertComponent>(source.nbVertex());
    TpolyIdMapper mapper(true, true, true);
    TpolyMergeVertFty fty;
    fty.setThreshold(threshold);
    fty.setIdMapper(&mapper);
    fty.setSearch(search);
    Welded w;
    w.result = fty.doAction(body.get(), &all);
    const TpolyGeom& g = *body->polyGeom();
    w.vertices = g.nbVertex();
    w.state = recordState(g);
    w.vertexMap.copy(*mapper.vertexMap());
    w.edgeMap.copy(*mapper.edgeMap());
    w.faceMap.copy(*mapper.faceMap());
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    return w;
}

void expectSameWeld(const Welded& a, const Welded& b) {
    EXPECT_EQ(a.result, b.result);
    EXPECT_EQ(a.vertices, b.vertices);
    EXPECT_TRUE(a.state == b.state);
    EXPECT_TRUE(a.vertexMap == b.vertexMap);
    EXPECT_TRUE(a.edgeMap == b.edgeMap);
    EXPECT_TRUE(a.faceMap == b.faceMap);
}

// The stored bytes and the text dump of a record.
std::string dumpOf(TpolyGeom& g) {
    g.update(dirtyAll);
    std::string text;
    TdebugOutput::sCout.redirectToString(&text);
    g.debug(TdebugOutput::sCout, ~0u);
    TdebugOutput::sCout.restore();
    return recordState(g) + text;
}

// Welds every vertex of the body by each search, expecting each to refuse and leave the record
// byte-identical (the selection becomes the record's current vertex group before the dump).
void expectRefused(TmidBody& body, float threshold, std::initializer_list<TpolyWeldSearch::Strategy> searches) {
    TpolyGeom& g = *body.polyGeom();
    auto all = allOf<TmidVertComponent>(g.nbVertex());
    int name;
    ASSERT_TRUE(TmidModifierFty::getActiveGrpName(&body, &all, kPolyGrpVertex, name));
    const std::string before = dumpOf(g);
    TpolyIdMapper mapper(true, true, true);
    for (auto s : searches) {
        TpolyMergeVertFty fty;
        fty.setThreshold(threshold);
        fty.setIdMapper(&mapper);
        fty.setSearch(s);
        EXPECT_EQ(fty.doAction(&body, nullptr), -1);
        EXPECT_TRUE(dumpOf(g) == before);
    }
}
}  // namespace

TEST(MergeVert, CoincidentBorderBecomesOneSharedEdge) {
    auto body = bodyOf(twoQuads());
    TpolyGeom& g = *body->polyGeom();
    auto all = allOf<TmidVertComponent>(8);
    TpolyIdMapper mapper(true, true, true);
    ASSERT_EQ(weld(*body, 0.01f, &all, &mapper), 0);
    EXPECT_EQ(g.nbVertex(), 6u);
    EXPECT_EQ(g.nbEdge(), 7u);
    EXPECT_EQ(g.nbFace(), 2u);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    // Survivors keep the smaller ids; the second quad's copies map onto them.
    const TuInt32Array& vm = *mapper.vertexMap();
    EXPECT_EQ(vm[4], vm[1]);
    EXPECT_EQ(vm[7], vm[2]);
    EXPECT_EQ(vm[5], 4u);
    g.update(dirtyFaceOffsets | dirtyEdgeToFace);
    uint32_t shared = 0;
    for (uint32_t e = 0; e < g.nbEdge(); ++e)
        if (!g.isBorder(e)) {
            ++shared;
            EXPECT_NE(g.getEdgeFace(e).side[kLeft], g.getEdgeFace(e).side[kRight]);
        }
    EXPECT_EQ(shared, 1u);  // used by both faces, in opposite directions
    // The fused edge of the second quad maps to the surviving one.
    const TuInt32Array& em = *mapper.edgeMap();
    ASSERT_EQ(em.size(), 8u);
    EXPECT_EQ(em[1], em[7]);
    EXPECT_EQ(mapper.faceMap()->size(), 2u);

    // A threshold of 0 or below welds nothing (every test is strict), and neither does one
    // below the gap: the record stays as it was, selection included.
    auto other = bodyOf(twoQuads());
    TpolyGeom& o = *other->polyGeom();
    for (uint32_t v = 4; v < 8; ++v) o.vertex(v).x += 0.01f;
    int name;
    ASSERT_TRUE(TmidModifierFty::getActiveGrpName(other.get(), &all, kPolyGrpVertex, name));
    const std::string before = recordState(o);
    for (float t : {0.0f, -1.0f, 0.009f}) {
        EXPECT_EQ(weld(*other, t, nullptr), 0);
        EXPECT_EQ(recordState(o), before);
    }
}

TEST(MergeVert, CollapsedEdgesShrinkFacesAndUnifyTheirUVs) {
    // A quad and a triangle sharing vertex 1; the quad's corners 2 and 3 sit 0.001 apart.
    auto g = std::make_unique<TpolyGeom>();
    for (T3dFltPoint p : {T3dFltPoint(0, 0, 0), T3dFltPoint(1, 0, 0), T3dFltPoint(1, 1, 0), T3dFltPoint(1.001f, 1, 0),
                          T3dFltPoint(2, 0, 0), T3dFltPoint(2, 0.001f, 0)})
        g->appendVertex(p);
    addRingFace(*g, {0, 1, 2, 3});
    addRingFace(*g, {1, 4, 5});
    g->update(dirtyFaceOffsets);
    const uint32_t set = g->newEmptyMapSet(Tstring("map1"));
    for (uint32_t o = 0; o < g->faceDescLength(); ++o) g->setUVId(o, g->appendUV(float(o), float(o) * 2, set), set);
    const uint32_t fg = g->bgnGroup(3, kPolyGrpFace);
    g->addElement(fg, 1);
    g->endGroup(fg);
    auto body = bodyOf(std::move(g));
    TpolyGeom& r = *body->polyGeom();

    // 2 and 3: the quad becomes a triangle; its two corner UVs (ids 2, 3) meet at their mean.
    TmidVertComponent pair;
    pair.addElement(2);
    pair.addElement(3);
    TpolyIdMapper mapper(true, true, true);
    ASSERT_EQ(weld(*body, 0.01f, &pair, &mapper), 0);
    EXPECT_EQ(r.nbVertex(), 5u);
    EXPECT_EQ(r.nbFace(), 2u);
    r.update(dirtyFaceOffsets);
    EXPECT_EQ(r.faceVertexCount(0), 3u);
    EXPECT_EQ(r.vertexConst(2), T3dFltPoint(1.0005f, 1, 0));
    float uv[2];
    ASSERT_TRUE(r.getFaceVertexUV(0, 2, uv, 0));
    EXPECT_FLOAT_EQ(uv[0], 2.5f);
    EXPECT_FLOAT_EQ(uv[1], 5.0f);
    EXPECT_EQ(r.nbUV(0), 6u);
    EXPECT_EQ(r.checkObject(kCheckAll), 0u);

    // Two corners of the triangle (now 3 and 4): it goes, the quad-turned-triangle stays; the
    // face group loses the removed face.
    TmidVertComponent tip;
    tip.addElement(3);
    tip.addElement(4);
    ASSERT_EQ(weld(*body, 0.01f, &tip, &mapper), 0);
    EXPECT_EQ(r.nbFace(), 1u);
    EXPECT_EQ(r.nbVertex(), 3u);
    EXPECT_EQ((*mapper.faceMap())[1], TpolyBits::kNoId);
    EXPECT_EQ(r.nbElem(3, kPolyGrpFace), 0u);
    EXPECT_EQ(r.checkObject(kCheckAll), 0u);

    // A threshold above the diagonal welds everything into one point: no face would be left,
    // so the record comes back unchanged and the action refuses.
    auto all = allOf<TmidVertComponent>(r.nbVertex());
    int name;
    ASSERT_TRUE(TmidModifierFty::getActiveGrpName(body.get(), &all, kPolyGrpVertex, name));
    const std::string before = recordState(r);
    EXPECT_EQ(weld(*body, 100.0f, nullptr), -1);
    EXPECT_EQ(recordState(r), before);
    // No selection at all.
    TmidEdgeComponent edges;
    edges.addElement(0);
    EXPECT_EQ(weld(*body, 1.0f, &edges), -1);
}

TEST(MergeVert, SampleMeshCutAlongASeamWeldsBackToTheOriginal) {
    for (const char* sample : {"cow.obj"}) {
        seam::Pair meshes = seam::split(sample);
        ASSERT_TRUE(meshes.whole && meshes.cut);
        ASSERT_GT(meshes.seamVertices, 10u);
        auto body = bodyOf(std::move(meshes.cut));
        TpolyGeom& g = *body->polyGeom();
        auto all = allOf<TmidVertComponent>(g.nbVertex());
        TpolyIdMapper mapper(true, false, false);
        ASSERT_EQ(weld(*body, 1e-5f, &all, &mapper), 0) << sample;
        seam::expectSame(g, *meshes.whole);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        const TuInt32Array& vm = *mapper.vertexMap();
        for (uint32_t v = 0; v < meshes.whole->nbVertex(); ++v) ASSERT_EQ(vm[v], v);
    }
}

TEST(MergeVert, EverySearchWeldsAlike) {
    using Search = TpolyWeldSearch::Strategy;
    // Copies of a grid point lie up to 0.035 apart: some chains join at 0.012, more at 0.02.
    const auto soup = jitteredSoup(24, 0.01f);
    for (float t : {0.012f, 0.02f}) {
        const Welded pairs = weldAll(*soup, t, Search::pairs);
        ASSERT_EQ(pairs.result, 0);
        EXPECT_GT(pairs.vertices, 25u * 25u);
        EXPECT_LT(pairs.vertices, soup->nbVertex());
        for (Search s : {Search::automatic, Search::octree, Search::cells}) expectSameWeld(weldAll(*soup, t, s), pairs);
    }
    // Above half the object with more corners than the pair test takes: each cluster becomes one
    // vertex, every triangle the same three, carried alike.
    const auto clusters = clusteredSoup(400);
    const Welded pairs = weldAll(*clusters, 8, Search::pairs);
    ASSERT_EQ(pairs.result, 0);
    EXPECT_EQ(pairs.vertices, 3u);
    for (Search s : {Search::automatic, Search::octree}) expectSameWeld(weldAll(*clusters, 8, s), pairs);
}

TEST(MergeVert, RefusedWeldLeavesTheRecordByteIdentical) {
    // Everything within reach of everything: every face would go, by every search.
    auto body = bodyOf(jitteredSoup(12, 0.01f));
    body->polyGeom()->vertex(5).x = -0.0f;
    expectRefused(*body, 10, {TpolyWeldSearch::Strategy::automatic, TpolyWeldSearch::Strategy::octree});
}

TEST(MergeVert, WeldThatWouldPinchALoopOntoItselfIsRefused) {
    // One eight-corner loop whose corners 0 and 5, 1 and 4 lie within reach: welded, edge 4-5
    // would come back as edge 0-1 run the other way, three corners later in the same loop.
    auto g = std::make_unique<TpolyGeom>();
    for (const T3dFltPoint& p : {T3dFltPoint(0, 0, 0), T3dFltPoint(0, 1, 0), T3dFltPoint(-1, 1.5f, 0),
                                 T3dFltPoint(-1, -0.5f, 0), T3dFltPoint(0.01f, 1, 0), T3dFltPoint(0.01f, 0, 0),
                                 T3dFltPoint(1, -0.5f, 0), T3dFltPoint(1, 1.5f, 0)})
        g->appendVertex(p);
    addRingFace(*g, {0, 1, 2, 3, 4, 5, 6, 7});
    attributed::decorate(*g);
    auto body = bodyOf(std::move(g));
    expectRefused(*body, 0.1f, {TpolyWeldSearch::Strategy::pairs, TpolyWeldSearch::Strategy::cells});
    TpolyGeom& geom = *body->polyGeom();
    // Only one pair within reach: the loop touches itself at a corner but uses no edge twice.
    TmidVertComponent pair;
    pair.addElement(0);
    pair.addElement(5);
    EXPECT_EQ(weld(*body, 0.1f, &pair), 0);
    EXPECT_EQ(geom.nbVertex(), 7u);
    EXPECT_EQ(geom.checkObject(kCheckAll), 0u);
}
