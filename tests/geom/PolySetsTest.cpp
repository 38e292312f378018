#include <gtest/gtest.h>

#include "brindle/base/PolyMap.h"
#include "brindle/geom/PolyColor.h"

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

    EXPECT_FALSE(maps->setCurrentMapSetId(5));
    EXPECT_EQ(maps->currentMapSetId(), -1);
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

TEST(PolyColor, ConversionAndNames) {
    const float i[1] = {0.5f};
    const TpolyColorValue fromI = TpolyColorValue::copyValue(i, TpolyColorValue::I, TpolyColorValue::RGBA);
    EXPECT_EQ(fromI, (TpolyColorValue{0.5f, 0.5f, 0.5f, 1.0f}));
    const float rgba[4] = {0.3f, 0.6f, 0.9f, 0.2f};
    const TpolyColorValue toIA = TpolyColorValue::copyValue(rgba, TpolyColorValue::RGBA, TpolyColorValue::IA);
    EXPECT_NEAR(toIA.r, 0.6f, 1e-6f);
    EXPECT_EQ(toIA.a, 0.2f);
    EXPECT_EQ(TpolyColorValue::floatCount(TpolyColorValue::RGB), 3u);
    EXPECT_EQ(TpolyColorValue::floatCount(TpolyColorValue::TpolyColorRep(9)), 0u);

    TpolyColorArrayShared colors;
    EXPECT_EQ(colors.currentSetId(), 0);
    Tstring n;
    colors.makeUniqueName(n);
    EXPECT_TRUE(n == std::string_view("colorSet1"));
    colors.add(n);
    Tstring n2;
    colors.makeUniqueName(n2);
    EXPECT_TRUE(n2 == std::string_view("colorSet2"));

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
}
