#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "brindle/base/PolyMap.h"
#include "brindle/geom/PolyColor.h"
#include "brindle/geom/PolyGeom.h"
#include "support/ObjLoad.h"

namespace {

void buildCube(TpolyGeom& g) {
    addUnitCube(g);
    g.update(dirtyFaceOffsets);
}

constexpr uint32_t kTopFace = 1;  // {4, 5, 7, 6}

// UVs shared per vertex (UV v at vertex v), except that the top face's corners get copies of their
// own: the top face is cut loose along its four edges.
void mapCubeWithTopSeam(TpolyGeom& g, uint32_t s) {
    for (uint32_t v = 0; v < 8; ++v) ASSERT_EQ(g.appendUV(float(v), float(v) / 8, s), int32_t(v));
    for (uint32_t c = 0; c < g.faceDescLength(); ++c) ASSERT_TRUE(g.setUVId(c, int32_t(g.getStartVertex(c)), s));
    for (uint32_t c = g.faceOffset(kTopFace); c < g.faceOffset(kTopFace + 1); ++c) {
        const float* shared = g.uvFloatConst(uint32_t(g.getUVId(c, s)), s);
        const int32_t own = g.appendUV(shared[0], shared[1], s);
        ASSERT_TRUE(g.setUVId(c, own, s));
    }
}

}  // namespace

TEST(PolyMap, ValuesSnapCompareAndReset) {
    TpolyMap m;
    m.createIndexArray(4);
    EXPECT_EQ(m.appendUV(0.0f, 0.0f), 0u);
    const float more[4] = {1.0f, 0.0f, 0.5f, 0.5f};
    m.appendUV(more, 2);
    ASSERT_EQ(m.nbUV(), 3u);
    m.setIndex(0, 0);
    m.setIndex(1, 1);
    m.setIndex(2, 2);
    float uv[2];
    m.getUV(2, uv);
    EXPECT_EQ(uv[0], 0.5f);
    m.setUV(1, 0.98f, 0.01f);

    TpolyMap copy;
    copy.copyData(m);
    EXPECT_TRUE(copy.compare(m));
    const float target[2] = {1.0f, 0.0f};
    EXPECT_EQ(copy.snapToPoint(target, 0.05f), 1u);
    EXPECT_EQ(copy.uvFloat(1)[0], 1.0f);
    EXPECT_EQ(copy.uvFloat(0)[0], 0.0f);  // outside the tolerance in u
    EXPECT_FALSE(copy.compare(m));
    EXPECT_TRUE(copy.compare(m, 0.05f));
    EXPECT_EQ(copy.getIndex(1), 1);  // snapping leaves ids alone

    copy.swapUV(m);
    EXPECT_EQ(m.uvFloat(1)[0], 1.0f);
    m.resetMap();
    EXPECT_EQ(m.nbUV(), 0u);
    EXPECT_EQ(m.nbIndex(), 4u);
    EXPECT_FALSE(m.hasIndexAt(0));
    m.clearMap();
    EXPECT_EQ(m.nbIndex(), 0u);
}

TEST(PolyMap, UnusedValuesDroppedEachCornerKeepsItsValue) {
    TpolyMap m;
    m.createIndexArray(5);
    for (int i = 0; i < 6; ++i) m.appendUV(float(i), float(-i));
    const int32_t ids[5] = {5, 1, 5, -1, 3};
    for (uint32_t c = 0; c < 5; ++c) m.setIndex(c, ids[c]);
    EXPECT_EQ(m.removeUnusedData(), 3u);
    ASSERT_EQ(m.nbUV(), 3u);
    for (uint32_t c = 0; c < 5; ++c) {
        if (ids[c] < 0) {
            EXPECT_FALSE(m.hasIndexAt(c));
            continue;
        }
        EXPECT_EQ(m.uvFloat(uint32_t(m.getIndex(c)))[0], float(ids[c])) << c;
    }
    // Corners 0 and 2 shared one value; unsharing gives corner 2 a copy of its own.
    EXPECT_TRUE(m.unshareAt(2));
    EXPECT_NE(m.getIndex(0), m.getIndex(2));
    EXPECT_EQ(m.uvFloat(uint32_t(m.getIndex(2)))[0], 5.0f);
    EXPECT_FALSE(m.unshareAt(2));
    EXPECT_FALSE(m.unshareAt(3));
    EXPECT_FALSE(m.unshareAt(99));
    m.removeData(0, 1);  // value of corner 1 dropped, later ids shift down
    EXPECT_FALSE(m.hasIndexAt(1));
    EXPECT_EQ(m.uvFloat(uint32_t(m.getIndex(4)))[0], 3.0f);
}

TEST(PolyMap, SetArrayNamesCurrentAndRemoval) {
    auto* maps = new TpolyMapArrayShared;
    EXPECT_EQ(maps->currentMapSetId(), -1);
    EXPECT_EQ(maps->currentMap(), nullptr);
    Tstring none;
    EXPECT_FALSE(maps->currentMapName(none));

    Tstring empty;
    maps->makeUniqueName(empty);
    EXPECT_TRUE(empty == std::string_view("map1"));
    const uint32_t a = maps->add(Tstring("uv"));
    const uint32_t b = maps->add(Tstring("other"));
    Tstring clash("uv");
    EXPECT_TRUE(maps->setName(b, clash, true));
    EXPECT_TRUE(clash == std::string_view("uv2"));
    Tstring self("uv");
    EXPECT_TRUE(maps->setName(a, self, true));  // its own name is no clash
    EXPECT_TRUE(self == std::string_view("uv"));
    EXPECT_FALSE(maps->setName(7, self, true));

    uint32_t id = 99;
    EXPECT_TRUE(maps->find("uv2", id));
    EXPECT_EQ(id, b);
    EXPECT_FALSE(maps->find("", id));
    EXPECT_FALSE(maps->find("nope", id));

    EXPECT_EQ(maps->currentMapSetId(), int32_t(a));  // the first set added becomes current
    EXPECT_FALSE(maps->setCurrentMapSetId(5));
    EXPECT_EQ(maps->currentMapSetId(), int32_t(a));
    EXPECT_TRUE(maps->setCurrentMapName("uv2"));
    Tstring cur;
    EXPECT_TRUE(maps->currentMapName(cur));
    EXPECT_TRUE(cur == std::string_view("uv2"));

    (*maps)[a].createIndexArray(3);
    (*maps)[a].setIndex(1, int32_t((*maps)[a].appendUV(0.25f, 0.75f)));
    EXPECT_TRUE(maps->isMappedAtOffset(1));
    EXPECT_FALSE(maps->isMappedAtOffset(0));
    EXPECT_FALSE(maps->isMappedAtOffset(40));
    EXPECT_TRUE(maps->copySetContents(a, b));
    EXPECT_TRUE((*maps)[b].compare((*maps)[a]));
    Tstring nameB;
    EXPECT_TRUE(maps->name(nameB, b));
    EXPECT_TRUE(nameB == std::string_view("uv2"));  // contents copied, name kept
    EXPECT_FALSE(maps->copySetContents(a, 9));

    TpolyMapArrayShared deep;
    deep.copy(*maps);
    EXPECT_EQ(deep.fRefs.count(), 1u);
    EXPECT_EQ(deep.nbMap(), 2u);

    EXPECT_TRUE(maps->remove(a));  // current (b) now sits at 0
    EXPECT_EQ(maps->currentMapSetId(), 0);
    EXPECT_TRUE(maps->remove(0));
    EXPECT_EQ(maps->currentMapSetId(), -1);
    EXPECT_FALSE(maps->remove(0));
    EXPECT_EQ(deep.nbMap(), 2u);

    maps->fRefs.add();
    EXPECT_EQ(maps->unref(), 1u);
    EXPECT_EQ(maps->unref(), 0u);  // deleted; ASan checks the release
}

TEST(PolyColor, ConversionAndRepresentationFollowCopies) {
    const float i[1] = {0.5f};
    const TpolyColorValue fromI = TpolyColorValue::copyValue(i, TpolyColorValue::I, TpolyColorValue::RGBA);
    EXPECT_EQ(fromI, (TpolyColorValue{0.5f, 0.5f, 0.5f, 1.0f}));
    const float rgba[4] = {0.3f, 0.6f, 0.9f, 0.2f};
    const TpolyColorValue toIA = TpolyColorValue::copyValue(rgba, TpolyColorValue::RGBA, TpolyColorValue::IA);
    EXPECT_NEAR(toIA.r, 0.6f, 1e-6f);
    EXPECT_EQ(toIA.a, 0.2f);
    EXPECT_EQ(TpolyColorValue::floatCount(TpolyColorValue::RGB), 3u);
    EXPECT_EQ(TpolyColorValue::floatCount(TpolyColorValue::TpolyColorRep(9)), 0u);

    TpolyColor a, b;
    a.setRepresentation(TpolyColorValue::RGB);
    a.createIndexArray(2);
    const float c[4] = {1, 0, 0, 1};
    a.setIndex(0, int32_t(a.appendData(c)));
    b.copyData(a);
    EXPECT_TRUE(b.compare(a));
    EXPECT_EQ(b.representation(), TpolyColorValue::RGB);
    TpolyMap notColor;
    b.copyData(notColor);  // another kind: ignored
    EXPECT_TRUE(b.compare(a));
    TpolyColor fresh;
    fresh.swapData(a);
    EXPECT_EQ(fresh.representation(), TpolyColorValue::RGB);
    EXPECT_EQ(a.representation(), TpolyColorValue::RGBA);
    EXPECT_EQ(fresh.nbData(), 1u);
    EXPECT_EQ(a.nbIndex(), 0u);
}

TEST(PolyGeomUV, RecordWithoutSetsAndBadSetIndices) {
    TpolyGeom g;
    buildCube(g);
    EXPECT_EQ(g.nbMapSet(), 0u);
    EXPECT_EQ(g.getCurrentMap(), -1);
    for (uint32_t s : {0u, 1u, ~0u}) {
        EXPECT_EQ(g.nbUV(s), 0u);
        EXPECT_FALSE(g.isMapped(0, s));
        EXPECT_EQ(g.appendUV(0.5f, 0.5f, s), -1);
        EXPECT_FALSE(g.setUVId(0, -1, s));
        EXPECT_EQ(g.getUVId(0, s), -1);
        EXPECT_EQ(g.getUVIdArray(s), nullptr);
        EXPECT_EQ(g.uv(0, s), nullptr);
        EXPECT_FALSE(g.removeMapSet(s));
        EXPECT_FALSE(g.setCurrentMap(s));
    }
    EXPECT_FALSE(g.isMappedAtOffset(0));
}

// A cube whose UVs are shared per vertex except along a seam: the four corners of the top face
// get UVs of their own, so the top face is cut loose from its neighbours.
TEST(PolyGeomUV, CubeSeamSharedAndSplitIds) {
    TpolyGeom g;
    buildCube(g);
    const uint32_t corners = g.faceDescLength();
    ASSERT_EQ(corners, 24u);
    Tstring name("map1");
    EXPECT_EQ(g.generateUniqueUVSetName(name), 0u);
    EXPECT_TRUE(name == std::string_view("map1"));
    const uint32_t s = g.newEmptyMapSet(name);
    EXPECT_EQ(g.getCurrentMap(), int32_t(s));
    ASSERT_EQ(g.nbUVRef(s), corners);
    for (uint32_t c = 0; c < corners; ++c) EXPECT_FALSE(g.isMappedAtOffset(c, s));

    mapCubeWithTopSeam(g, s);
    ASSERT_EQ(g.nbUV(s), 12u);

    // Corners at one vertex share a UV id exactly when neither is on the top face.
    for (uint32_t a = 0; a < corners; ++a)
        for (uint32_t b = a + 1; b < corners; ++b) {
            if (g.getStartVertex(a) != g.getStartVertex(b)) {
                EXPECT_NE(g.getUVId(a, s), g.getUVId(b, s));
                continue;
            }
            const bool onTop = (a >= 4 && a < 8) || (b >= 4 && b < 8);
            EXPECT_EQ(g.getUVId(a, s) == g.getUVId(b, s), !onTop) << a << ' ' << b;
        }
    for (uint32_t f = 0; f < 6; ++f) EXPECT_TRUE(g.isMapped(f, s));

    // Bad ids are refused and leave every id as it was.
    const std::vector<int32_t> before(g.getUVIdArray(s), g.getUVIdArray(s) + corners);
    EXPECT_FALSE(g.setUVId(3, 12, s));
    EXPECT_FALSE(g.setUVId(3, -2, s));
    EXPECT_FALSE(g.setUVId(corners, 0, s));
    EXPECT_FALSE(g.insertUVId(corners + 1, 0, s));
    EXPECT_FALSE(g.removeUVId(20, 5, s));
    const int32_t run[3] = {0, 40, 1};
    EXPECT_FALSE(g.refUV(run, 3, s));
    EXPECT_FALSE(g.setUV(12, 0, 0, s));
    EXPECT_EQ(std::vector<int32_t>(g.getUVIdArray(s), g.getUVIdArray(s) + corners), before);
    EXPECT_EQ(g.getUVId(corners, s), -1);
    EXPECT_FALSE(g.isMappedAtOffset(corners, s));

    // Unmapping one corner and removing the UV of vertex 0 keeps every other corner on its value.
    float expected[24][2];
    for (uint32_t c = 0; c < corners; ++c) g.getUV(uint32_t(g.getUVId(c, s)), expected[c], s);
    EXPECT_TRUE(g.setUVId(9, -1, s));
    EXPECT_FALSE(g.isMappedAtOffset(9));
    EXPECT_TRUE(g.removeUV(0, 1, s));
    for (uint32_t c = 0; c < corners; ++c) {
        if (before[c] == 0 || c == 9) {
            EXPECT_FALSE(g.isMappedAtOffset(c, s)) << c;
            continue;
        }
        float uvNow[2];
        ASSERT_TRUE(g.getUV(uint32_t(g.getUVId(c, s)), uvNow, s)) << c;
        EXPECT_EQ(uvNow[0], expected[c][0]) << c;
        EXPECT_EQ(uvNow[1], expected[c][1]) << c;
    }
}

TEST(PolyGeomUV, SetsFollowRecordCopyShareAndUnshare) {
    TpolyGeom g;
    buildCube(g);
    {
        TpolyGeom empty;
        empty.update(dirtyAll);
        const uint32_t s = empty.newEmptyMapSet(Tstring("map1"));
        EXPECT_EQ(empty.dirtyMask(), 0u);  // adding an empty set changes no UV
        EXPECT_EQ(empty.appendUV(0.5f, 0.5f, s), 0);
        EXPECT_EQ(empty.dirtyMask(), uint32_t(dirtyMoved));
    }
    const uint32_t a = g.newEmptyMapSet(Tstring("map1"));
    const float pairs[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    EXPECT_EQ(g.appendUV(pairs, 2, a), 0);
    std::vector<int32_t> ids(g.faceDescLength());
    for (uint32_t c = 0; c < ids.size(); ++c) ids[c] = int32_t(c % 2);
    EXPECT_TRUE(g.setAllUVIds(ids.data(), a));
    ids[5] = 2;
    EXPECT_FALSE(g.setAllUVIds(ids.data(), a));
    EXPECT_EQ(g.getUVId(5, a), 1);

    // A set without ids grows corner by corner; unique names step past the taken ones, a given
    // name keeping itself as the base.
    Tstring given("map1");
    g.generateUniqueUVSetName(given);
    EXPECT_TRUE(given == std::string_view("map12"));
    Tstring name;
    EXPECT_EQ(g.generateUniqueUVSetName(name), 1u);
    EXPECT_TRUE(name == std::string_view("map2"));
    const uint32_t b = g.addLastMapSet(name);
    EXPECT_EQ(g.nbUVRef(b), 0u);
    EXPECT_EQ(g.getCurrentMap(), int32_t(a));
    EXPECT_FALSE(g.copyUVId(g, 3, b, a));  // b has no UV 1 yet
    EXPECT_EQ(g.appendUV(pairs, 2, b), 0);
    EXPECT_TRUE(g.copyUVId(g, 3, b, a));
    EXPECT_FALSE(g.copyUVId(g, 3, b, 7));
    EXPECT_EQ(g.nbUVRef(b), 1u);
    EXPECT_EQ(g.getUVId(0, b), 1);

    // Copies of the record own their sets.
    TpolyGeom copy(g);
    EXPECT_EQ(copy.compareObject(g), 0u);
    EXPECT_TRUE(g.setUV(0, 9.0f, 9.0f, a));
    EXPECT_EQ(copy.uvConst(0, a)->u, 0.25f);
    EXPECT_EQ(copy.compareObject(g), uint32_t(kCompUVSets));
    EXPECT_TRUE(copy.copyMapSet(a, b));
    EXPECT_EQ(copy.nbUV(b), 2u);
    EXPECT_EQ(copy.getUVId(5, b), 1);
    EXPECT_TRUE(copy.swapUV(g, a));
    EXPECT_EQ(g.uvConst(0, a)->u, 0.25f);
    EXPECT_TRUE(copy.removeMapSet(a));
    EXPECT_EQ(copy.nbMapSet(), 1u);
    EXPECT_EQ(copy.getCurrentMap(), 0);
}

TEST(PolyGeomColor, NamesCurrentSetAndCheckedIds) {
    TpolyGeom g;
    buildCube(g);
    EXPECT_EQ(g.getCurrentColorSet(), 0);
    EXPECT_FALSE(g.setCurrentColorSet(0));
    EXPECT_EQ(g.colorCount(0), 0u);
    EXPECT_FALSE(g.hasColor(0, 0));
    EXPECT_EQ(g.addLastColor({1, 0, 0, 1}, ~0u), -1);

    Tstring name;
    EXPECT_EQ(g.generateUniqueColorSetName(name), 0u);
    EXPECT_TRUE(name == std::string_view("colorSet1"));
    const uint32_t a = g.newEmptyColorSet(name);
    const uint32_t b = g.addLastColorSet(Tstring("paint"));

    // Five colours given as intensities: stored as grey RGBA.
    const float greys[5] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};
    EXPECT_EQ(g.appendColor(greys, TpolyColorValue::I, 5, b), 0);
    EXPECT_EQ(*g.getColor(1, b), (TpolyColorValue{0.25f, 0.25f, 0.25f, 1.0f}));
    EXPECT_EQ(g.appendColor(greys, TpolyColorValue::TpolyColorRep(7), 1, b), -1);
    EXPECT_FALSE(g.refColor(7, b));
    EXPECT_EQ(g.nbColorRef(b), 0u);
    EXPECT_TRUE(g.refColor(-1, b));
    EXPECT_FALSE(g.hasColorAtOffset(0, b));
    const int32_t run[3] = {4, 3, 5};
    EXPECT_FALSE(g.refColor(run, 3, b));
    EXPECT_TRUE(g.refColor(run, 2, b));
    EXPECT_EQ(g.colorIndexCount(b), 3u);

    // Set a has its ids already: one per corner, all without colour.
    ASSERT_EQ(g.nbColorRef(a), g.faceDescLength());
    EXPECT_FALSE(g.setColorId(0, 0, a));  // no colour yet
    EXPECT_EQ(g.addLastColor({0.1f, 0.2f, 0.3f, 1.0f}, a), 0);
    EXPECT_TRUE(g.setColorId(0, 0, a));
    EXPECT_FALSE(g.setColorId(g.faceDescLength(), 0, a));
    EXPECT_TRUE(g.hasColor(0, a));
    EXPECT_TRUE(g.hasColorAtOffset(0));
    float rgba[4] = {};
    EXPECT_TRUE(g.getColorByOffset(0, rgba, a));
    EXPECT_EQ(rgba[2], 0.3f);
    EXPECT_TRUE(g.makeColorInvalid(0, a));
    EXPECT_FALSE(g.getColorByOffset(0, rgba, a));
    EXPECT_FALSE(g.makeColorInvalid(g.faceDescLength(), a));

    // completeColor brings every set to one id per corner.
    g.completeColor();
    EXPECT_EQ(g.nbColorRef(b), g.faceDescLength());
    EXPECT_EQ(g.getColorId(2, b), 3);
    EXPECT_EQ(g.getColorId(3, b), -1);
}

TEST(PolyGeomColor, TransparencyUnusedColoursAndCopies) {
    TpolyGeom g;
    buildCube(g);
    const uint32_t s = g.newEmptyColorSet(Tstring("c"));
    const float rgb[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    ASSERT_TRUE(g.setColorRepresentation(TpolyColorValue::RGB, s));
    EXPECT_EQ(g.appendColor(rgb, TpolyColorValue::RGB, 3, s), 0);
    EXPECT_EQ(g.addLastColor({1, 1, 1, 0.5f}, s), 3);  // alpha is not a channel of RGB
    EXPECT_EQ(g.getColor(3, s)->a, 1.0f);
    ASSERT_TRUE(g.setColorRepresentation(TpolyColorValue::RGBA, s));
    EXPECT_TRUE(g.setColor(3, {1, 1, 1, 0.5f}, s));
    for (uint32_t c = 0; c < 8; ++c) EXPECT_TRUE(g.setColorId(c, int32_t(c % 3), s));
    EXPECT_FALSE(g.haveTransparentColor(s));  // colour 3 is used by no corner
    EXPECT_TRUE(g.setColorId(20, 3, s));
    EXPECT_TRUE(g.haveTransparentColor(s));
    EXPECT_TRUE(g.makeColorInvalid(20, s));
    EXPECT_FALSE(g.haveTransparentColor(s));

    // Unmapping the corners of colour 1 leaves it and colour 3 unused; dropping both keeps every
    // other corner on its colour.
    for (uint32_t c = 1; c < 8; c += 3) EXPECT_TRUE(g.makeColorInvalid(c, s));
    EXPECT_EQ(g.removeUnusedColors(s), 2u);
    ASSERT_EQ(g.colorCount(s), 2u);
    for (uint32_t c = 0; c < 8; ++c) {
        float v[4];
        if (c % 3 == 1) {
            EXPECT_FALSE(g.getColorByOffset(c, v, s));
            continue;
        }
        ASSERT_TRUE(g.getColorByOffset(c, v, s));
        EXPECT_EQ(v[0], c % 3 == 0 ? 1.0f : 0.0f) << c;
        EXPECT_EQ(v[2], c % 3 == 2 ? 1.0f : 0.0f) << c;
    }

    // Copies between sets and records carry colours, ids and representation.
    const uint32_t t = g.newEmptyColorSet(Tstring("copy"));
    ASSERT_TRUE(g.copyColorSet(s, t));
    EXPECT_TRUE((*g.colors())[t].compare((*g.colors())[s]));
    EXPECT_FALSE(g.copyColorSet(s, 5));
    TpolyGeom h(g);
    EXPECT_EQ(h.compareObject(g), 0u);
    EXPECT_TRUE(g.setColor(0, {0, 0, 0, 1}, s));
    EXPECT_EQ(h.compareObject(g), uint32_t(kCompColorSets));
    EXPECT_TRUE(h.copyColor(g, s));
    EXPECT_EQ(h.compareObject(g), 0u);
    // Handing a colour structure over shares it; itself or nothing changes no count.
    TpolyGeom shared;
    shared.setColorStructure(g.getColorStructure());
    EXPECT_EQ(g.colors()->fRefs.count(), 2u);
    shared.setColorStructure(shared.getColorStructure());
    shared.setColorStructure(nullptr);
    EXPECT_EQ(g.colors()->fRefs.count(), 2u);
    EXPECT_EQ(shared.nbColorSet(), 2u);
    shared.unShare(kCompColorSets);
    EXPECT_EQ(g.colors()->fRefs.count(), 1u);
}

TEST(PolyGeomUV, SeamQueriesAndResharing) {
    TpolyGeom g;
    buildCube(g);
    g.update(dirtyEdgeToFace);
    const uint32_t s = g.newEmptyMapSet(Tstring("map1"));
    mapCubeWithTopSeam(g, s);

    // The seam runs exactly along the edges between two top vertices.
    for (uint32_t e = 0; e < g.nbEdge(); ++e) {
        const bool topEdge = g.startVertex(e) >= 4 && g.endVertex(e) >= 4;
        EXPECT_EQ(g.isUVBorder(e, s), topEdge) << e;
    }
    for (uint32_t v = 0; v < 8; ++v) EXPECT_EQ(g.hasMultipleUVs(v, s), v >= 4) << v;
    EXPECT_FALSE(g.isUVAtVertexShared(kTopFace, 4, s));
    EXPECT_TRUE(g.isUVAtVertexShared(0, 0, s));
    EXPECT_FALSE(g.isUVAtVertexShared(0, 7, s));  // vertex 7 is not on face 0
    EXPECT_FALSE(g.isUVBorder(0, 5));
    EXPECT_FALSE(g.isUVBorder(g.nbEdge(), s));

    // The edge use at each corner ends at the next corner's UV, the last corner wrapping around.
    int32_t ids[2];
    const uint32_t lastOfFace0 = g.faceOffset(1) - 1;
    ASSERT_TRUE(g.getEdgeUVIds(lastOfFace0, ids, s));
    EXPECT_EQ(ids[0], g.getUVId(lastOfFace0, s));
    EXPECT_EQ(ids[1], g.getUVId(0, s));
    // Edge 0 runs 0 -> 2 on face 0's left side; whichever side, ids follow the edge's direction.
    for (Tside side : {kLeft, kRight}) {
        ASSERT_TRUE(g.getEdgeFaceUVIds(0, side, ids, s));
        EXPECT_EQ(ids[0], int32_t(g.startVertex(0)));
        EXPECT_EQ(ids[1], int32_t(g.endVertex(0)));
    }

    float uv[2];
    ASSERT_TRUE(g.getFaceVertexUV(kTopFace, 7, uv, s));
    EXPECT_EQ(uv[0], 7.0f);
    EXPECT_FALSE(g.getFaceVertexUV(kTopFace, 0, uv, s));
    float lo[2], hi[2];
    ASSERT_TRUE(g.getUVBbox(lo, hi, s));
    EXPECT_EQ(lo[0], 0.0f);
    EXPECT_EQ(hi[1], 7.0f / 8);
    const float probe[2] = {2.9f, 0.4f};
    EXPECT_EQ(g.getClosestUVPoint(probe, s), 3);
    TuInt32Array sets;
    g.getFaceUVSets(kTopFace, sets);
    EXPECT_EQ(sets.size(), 1u);
    EXPECT_TRUE(g.setUVId(g.faceOffset(2), -1, s));
    g.getFaceUVSets(2, sets);
    EXPECT_TRUE(sets.empty());
    T2FloatArray faceUVs;
    EXPECT_FALSE(g.getFaceUVs(2, faceUVs, s));
    EXPECT_TRUE(faceUVs.empty());
    EXPECT_EQ(g.getUVFaceArea(2, s), 0.0f);
    EXPECT_TRUE(g.setUVId(g.faceOffset(2), 0, s));

    // Resharing the equal UVs at each vertex heals the seam; the copies are then unused.
    EXPECT_EQ(g.shareUV(s), 4u);
    EXPECT_EQ(g.shareUV(s), 0u);
    EXPECT_EQ(g.removeUnusedUVs(s), 4u);
    EXPECT_EQ(g.nbUV(s), 8u);
    for (uint32_t e = 0; e < g.nbEdge(); ++e) EXPECT_FALSE(g.isUVBorder(e, s)) << e;
    for (uint32_t c = 0; c < g.faceDescLength(); ++c) EXPECT_EQ(g.getUVId(c, s), int32_t(g.getStartVertex(c)));

    // Every corner on a UV of its own: 24 UVs, every edge a border.
    EXPECT_TRUE(g.unshareUV(0, s));
    EXPECT_FALSE(g.unshareUV(0, s));
    EXPECT_EQ(g.unshareUV(s), 15u);
    EXPECT_EQ(g.nbUV(s), 24u);
    for (uint32_t e = 0; e < g.nbEdge(); ++e) EXPECT_TRUE(g.isUVBorder(e, s)) << e;
}

TEST(PolyGeomUV, FaceAreaAndCentreOfAFaceWithAHole) {
    // A 4 x 4 square with a 1 x 1 square hole, UVs equal to the positions' x and y.
    TpolyGeom g;
    const float pts[8][2] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {1, 1}, {1, 2}, {2, 2}, {2, 1}};
    for (const auto& p : pts) g.appendVertex(p[0], p[1], 0);
    for (uint32_t k = 0; k < 4; ++k) g.appendEdge(k, (k + 1) % 4);
    for (uint32_t k = 0; k < 4; ++k) g.appendEdge(4 + k, 4 + (k + 1) % 4);
    g.bgnFace(8);
    for (uint32_t e = 0; e < 4; ++e) g.refEdge(e, kForward);
    g.endLoop();
    for (uint32_t e = 4; e < 8; ++e) g.refEdge(e, kForward);
    g.endLoop();
    g.endFace();
    g.update(dirtyFaceOffsets);
    const uint32_t s = g.newEmptyMapSet(Tstring("map1"));
    for (const auto& p : pts) g.appendUV(p[0], p[1], s);
    for (uint32_t c = 0; c < 8; ++c) g.setUVId(c, int32_t(g.getStartVertex(c)), s);
    EXPECT_FLOAT_EQ(g.getUVFaceArea(0, s), 15.0f);
    float centre[2];
    ASSERT_TRUE(g.getUVCenter(0, centre, s));
    EXPECT_FLOAT_EQ(centre[0], (0 + 4 + 4 + 0 + 1 + 1 + 2 + 2) / 8.0f);
    EXPECT_FALSE(g.getUVCenter(1, centre, s));
}

TEST(PolyGeomUV, PointsFromUVLocations) {
    // Two quads side by side in the plane z = x + y, UVs equal to x and y; the UV square of the
    // right quad is mirrored so that its interpolation runs the other way.
    TpolyGeom g;
    const float pts[6][2] = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}};
    for (const auto& p : pts) g.appendVertex(p[0], p[1], p[0] + p[1]);
    const uint32_t quads[2][4] = {{0, 1, 4, 3}, {1, 2, 5, 4}};
    for (const auto& q : quads) {
        g.bgnFace(4);
        for (uint32_t k = 0; k < 4; ++k) g.refEdge(g.appendEdge(q[k], q[(k + 1) % 4]), kForward);
        g.endLoop();
        g.endFace();
    }
    const uint32_t s = g.newEmptyMapSet(Tstring("map1"));
    for (const auto& p : pts) g.appendUV(p[0], p[1], s);
    for (uint32_t c = 0; c < g.faceDescLength(); ++c) g.setUVId(c, int32_t(g.getStartVertex(c)), s);

    T3dFltPoint p;
    const float inLeft[2] = {0.25f, 0.5f}, onShared[2] = {1.0f, 0.3f}, outside[2] = {2.5f, 0.5f};
    ASSERT_TRUE(g.getPointFromUV(0, inLeft, p, s));
    EXPECT_NEAR(p.x, 0.25f, 1e-5f);
    EXPECT_NEAR(p.y, 0.5f, 1e-5f);
    EXPECT_NEAR(p.z, 0.75f, 1e-5f);
    EXPECT_FALSE(g.getPointFromUV(1, inLeft, p, s));
    EXPECT_FALSE(g.getPointFromUV(0, outside, p, s));
    EXPECT_FALSE(g.getPointFromUV(0, inLeft, p, 3));
    EXPECT_FALSE(g.getPointFromUV(2, inLeft, p, s));
    T3dFltPointArray points;
    EXPECT_EQ(g.getPointsFromUV(onShared, points, s), 2u);  // the shared edge belongs to both
    EXPECT_NEAR(points[1].z, 1.3f, 1e-5f);
    EXPECT_EQ(g.getPointsFromUV(outside, points, s), 0u);
    // An unmapped corner takes its triangles out of the search: every triangle of the left quad
    // holding the location has its corner at vertex 1.
    ASSERT_TRUE(g.setUVId(1, -1, s));
    EXPECT_EQ(g.getPointsFromUV(onShared, points, s), 1u);
}

TEST(PolyGeomColor, FaceAndVertexColouring) {
    TpolyGeom g;
    buildCube(g);
    const uint32_t s = g.addLastColorSet(Tstring("paint"));  // no ids yet: colouring fills them
    const TpolyColorValue red{1, 0, 0, 1}, blue{0, 0, 1, 0.5f};
    const uint32_t faces[1] = {kTopFace};
    ASSERT_TRUE(g.setColors(kPolyGrpFace, faces, 1, &red, s));
    EXPECT_EQ(g.nbColorRef(s), g.faceDescLength());
    for (uint32_t c = 0; c < g.faceDescLength(); ++c)
        EXPECT_EQ(g.hasColorAtOffset(c, s), c >= g.faceOffset(kTopFace) && c < g.faceOffset(kTopFace + 1)) << c;

    // Vertex 0 listed twice takes its last colour; the first one is left unused.
    const uint32_t vertices[2] = {0, 0};
    const TpolyColorValue two[2] = {red, blue};
    ASSERT_TRUE(g.setColors(kPolyGrpVertex, vertices, 2, two, s));
    EXPECT_EQ(g.colorCount(s), 3u);
    for (uint32_t c = 0; c < g.faceDescLength(); ++c) {
        if (g.getStartVertex(c) == 0) {
            EXPECT_EQ(g.getColorId(c, s), 2) << c;
        }
    }
    TpolyColorValue mean;
    ASSERT_TRUE(g.getFaceColor(kTopFace, mean, s));
    EXPECT_EQ(mean, red);
    ASSERT_TRUE(g.getFaceColor(0, mean, s));  // {0, 2, 3, 1}: only vertex 0 is coloured
    EXPECT_EQ(mean, blue);
    EXPECT_FALSE(g.getFaceColor(5, mean, s));  // {1, 3, 7, 5}
    EXPECT_FALSE(g.getFaceColor(6, mean, s));
    EXPECT_TRUE(g.haveTransparentColor(s));
    EXPECT_EQ(g.removeUnusedColors(s), 1u);
    EXPECT_EQ(*g.getColor(1, s), blue);

    // Bad input changes nothing.
    const std::vector<int32_t> before(g.getColorIdArray(s), g.getColorIdArray(s) + g.faceDescLength());
    const uint32_t badVertex[2] = {1, 8};
    EXPECT_FALSE(g.setColors(kPolyGrpVertex, badVertex, 2, two, s));
    const TpolyColorValue mixed[2] = {red, blue};
    EXPECT_FALSE(g.setColors(kPolyGrpVertex, badVertex, 2, mixed, s));
    const uint32_t badFace[1] = {6};
    EXPECT_FALSE(g.setColors(kPolyGrpFace, badFace, 1, &red, s));
    EXPECT_FALSE(g.setColors(kPolyGrpEdge, faces, 1, &red, s));
    EXPECT_FALSE(g.setColors(kPolyGrpFace, faces, 1, &red, 1));
    EXPECT_EQ(g.colorCount(s), 2u);
    EXPECT_EQ(std::vector<int32_t>(g.getColorIdArray(s), g.getColorIdArray(s) + g.faceDescLength()), before);
}

// Random edits of UV and colour sets, arguments often out of range: every call either succeeds or
// leaves the sets exactly as they were, and no corner ever points past its set's values.
TEST(PolyGeomSets, RandomEditsKeepEveryIdValid) {
    for (uint32_t seed = 0; seed < 200; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        const auto pick = [&](uint32_t n) { return uint32_t(rng() % (n + 2)); };  // n and n + 1 are bad
        TpolyGeom g;
        buildCube(g);
        g.update(dirtyEdgeToFace);
        const uint32_t corners = g.faceDescLength();
        for (uint32_t step = 0; step < 60; ++step) {
            const uint32_t nMap = g.nbMapSet(), nColor = g.nbColorSet();
            const uint32_t m = pick(nMap), c = pick(nColor);
            const TpolyMapArrayShared mapsBefore = *g.maps();
            const TpolyColorArrayShared colorsBefore = *g.colors();
            bool changed = true;
            switch (rng() % 14) {
                case 0:
                    g.newEmptyMapSet(Tstring("m"));
                    break;
                case 1:
                    changed = g.appendUV(float(rng() % 4), 0.5f, m) >= 0;
                    break;
                case 2:
                    changed = g.setUVId(pick(corners), int32_t(pick(g.nbUV(m))) - 1, m);
                    break;
                case 3:
                    changed = g.removeUV(pick(g.nbUV(m)), 1 + rng() % 3, m);
                    break;
                case 4:
                    changed = g.shareUV(m) > 0;
                    break;
                case 5:
                    changed = g.unshareUV(pick(corners), m);
                    break;
                case 6:
                    changed = g.removeUnusedUVs(m) > 0;
                    break;
                case 7:
                    changed = g.copyMapSet(pick(nMap), m);
                    break;
                case 8:
                    changed = g.removeMapSet(m);
                    break;
                case 9:
                    g.newEmptyColorSet(Tstring());
                    break;
                case 10:
                    changed = g.addLastColor({0.5f, 0.5f, 0.5f, float(rng() % 2)}, c) >= 0;
                    break;
                case 11:
                    changed = g.setColorId(pick(corners), int32_t(pick(g.colorCount(c))) - 1, c);
                    break;
                case 12:
                    changed = g.removeColor(pick(g.colorCount(c)), 1, c);
                    break;
                case 13: {
                    const uint32_t vertex[1] = {pick(8)};
                    const TpolyColorValue red{1, 0, 0, 1};
                    changed = g.setColors(kPolyGrpVertex, vertex, 1, &red, c);
                    break;
                }
            }
            if (!changed) {
                ASSERT_EQ(g.nbMapSet(), mapsBefore.nbMap());
                for (uint32_t s = 0; s < g.nbMapSet(); ++s) ASSERT_TRUE((*g.maps())[s].compare(mapsBefore[s]));
                ASSERT_EQ(g.nbColorSet(), colorsBefore.nbSet());
                for (uint32_t s = 0; s < g.nbColorSet(); ++s) ASSERT_TRUE((*g.colors())[s].compare(colorsBefore[s]));
            }
            for (uint32_t s = 0; s < g.nbMapSet(); ++s)
                for (uint32_t k = 0; k < g.nbUVRef(s); ++k) {
                    const int32_t id = g.getUVId(k, s);
                    ASSERT_TRUE(id == -1 || (id >= 0 && uint32_t(id) < g.nbUV(s))) << s << ' ' << k;
                }
            for (uint32_t s = 0; s < g.nbColorSet(); ++s)
                for (uint32_t k = 0; k < g.nbColorRef(s); ++k) {
                    const int32_t id = g.getColorId(k, s);
                    ASSERT_TRUE(id == -1 || (id >= 0 && uint32_t(id) < g.colorCount(s))) << s << ' ' << k;
                }
            ASSERT_TRUE(g.getCurrentMap() == -1 ? g.nbMapSet() == 0 : uint32_t(g.getCurrentMap()) < g.nbMapSet());
        }
        EXPECT_EQ(g.checkIndices(), 0);
    }
}
