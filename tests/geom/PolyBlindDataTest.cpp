#include <gtest/gtest.h>

#include <string>

#include "brindle/base/Diagnostics.h"
#include "brindle/geom/PolyBlindData.h"
#include "brindle/geom/PolyGeom.h"

namespace {

BD_dataHolder intValue(int32_t v) {
    BD_dataHolder h{0};
    h.i = v;
    return h;
}

// Templates are process-wide: each test registers its own type ids so that tests stay independent.
struct Templates {
    int32_t typeId;
    uint32_t weight, label;
    explicit Templates(int32_t id)
        : typeId(id),
          weight(theBlindDataTable().addBd(id, "weight", kBdFloat)),
          label(theBlindDataTable().addBd(id, "label", kBdInt)) {}
};

// Component ids of the live elements, in list order.
std::vector<uint32_t> components(const TbdDataPtrArray& a) {
    std::vector<uint32_t> ids;
    for (uint32_t i = 0; i < a.size(); ++i) ids.push_back(a[i].componentId);
    return ids;
}

}  // namespace

TEST(BlindDataTable, TemplatesAreFoundByTypeAndName) {
    TbdTable& table = theBlindDataTable();
    const uint32_t a = table.addBd(9001, "mass", kBdDouble);
    EXPECT_EQ(table.addBd(9001, "mass", kBdInt), a);  // known: same index, first type kept
    TbdValueType type;
    ASSERT_TRUE(table.getBdValueType(a, type));
    EXPECT_EQ(type, kBdDouble);
    const uint32_t b = table.addBd(9002, "mass", kBdInt);
    EXPECT_NE(a, b);
    EXPECT_EQ(table.findBd(9002, "mass"), b);
    EXPECT_EQ(table.findBd(9001, "nothing"), TbdTable::kNotFound);
    EXPECT_EQ(table.getBdTypeId(b), 9002);
    EXPECT_EQ(table.getBdTypeId(table.nbBd()), -1);
    Tstring name;
    EXPECT_TRUE(table.getBdName(a, name));
    EXPECT_TRUE(name == std::string_view("mass"));
    EXPECT_FALSE(table.getBdName(table.nbBd(), name));
}

TEST(PolyBlindData, AddReplaceQueryAndRemove) {
    const Templates t(9100);
    TpolyBdBlindData bd;
    EXPECT_EQ(bd.dataConst(), nullptr);
    int host = 0, other = 0;
    EXPECT_EQ(bd.addBlindDataElement(&host, t.typeId, "nope", 1, intValue(1)), -1);
    EXPECT_EQ(bd.nbElement(), 0u);

    // The same object, template and component: the value is replaced, not added.
    EXPECT_EQ(bd.addBlindDataElement(&host, t.typeId, "label", 5, intValue(10)), 0);
    EXPECT_EQ(bd.addBlindDataElement(&host, t.typeId, "label", 5, intValue(11)), 0);
    EXPECT_EQ(bd.nbElement(), 1u);
    EXPECT_EQ(bd.addBlindDataElement(&other, t.typeId, "label", 5, intValue(12)), 0);
    EXPECT_EQ(bd.addNewBlindDataElement(&host, t.typeId, "label", 5, intValue(13)), 0);
    EXPECT_EQ(bd.addBlindDataElement(&host, t.typeId, "weight", 5, intValue(14)), 0);
    EXPECT_EQ(bd.addBlindDataElement(&host, t.typeId, "label", 6, intValue(15)), 0);
    ASSERT_EQ(bd.nbElement(), 5u);

    TbdDataPtrArray out;
    EXPECT_TRUE(bd.getBlindData(5, out));
    EXPECT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].value.i, 11);
    out.clear();
    EXPECT_TRUE(bd.getBlindData(5, t.typeId, "label", out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].value.i, 13);  // the last one added
    out.clear();
    EXPECT_FALSE(bd.getBlindData(5, t.typeId + 1, out));
    EXPECT_TRUE(bd.getBlindData(6, t.typeId, out));
    EXPECT_EQ(out.size(), 1u);
    EXPECT_EQ(bd.data(5)->size(), 4u);

    // A non-zero extra word makes the element invisible from the start.
    EXPECT_EQ(bd.addNewBlindDataElement(&host, t.typeId, "label", 7, intValue(16), 1), 0);
    EXPECT_EQ(bd.data(7)->size(), 0u);

    bd.removeData(5);
    out.clear();
    EXPECT_FALSE(bd.getBlindData(5, out));
    EXPECT_FALSE(bd.getBlindData(5, t.typeId, "label", out));
    EXPECT_EQ(bd.nbElement(), 6u);  // removal only marks
    out.clear();
    EXPECT_TRUE(bd.getBlindData(out));
    EXPECT_EQ(components(out), std::vector<uint32_t>{6});
    // A removed element is not replaced: a new one is added.
    EXPECT_EQ(bd.addBlindDataElement(&host, t.typeId, "label", 5, intValue(17)), 0);
    EXPECT_EQ(bd.nbElement(), 7u);
}

TEST(PolyBlindData, RenumberingMovesEachElementOncePerPass) {
    const Templates t(9200);
    TpolyBdBlindData bd;
    for (uint32_t c : {3u, 4u, 4u, 9u}) bd.addNewBlindDataElement(nullptr, t.typeId, "label", c, intValue(int32_t(c)));
    bd.addNewBlindDataElement(nullptr, t.typeId, "label", 3, intValue(-1));
    bd.removeData(3);  // the removed elements of 3 ...
    bd.addNewBlindDataElement(nullptr, t.typeId, "weight", 3, intValue(30));

    bd.renumberInit();
    bd.renumber(3, 4);
    bd.renumber(4, 5);
    bd.renumber(nullptr);
    TbdDataPtrArray mid;
    ASSERT_TRUE(bd.getBlindData(mid));  // moved elements are hidden until the cleanup
    EXPECT_EQ(components(mid), std::vector<uint32_t>{9});
    bd.renumberCleanup(false);

    TbdDataPtrArray out;
    ASSERT_TRUE(bd.getBlindData(4, out));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].value.i, 30);  // came from 3, not carried on to 5
    out.clear();
    ASSERT_TRUE(bd.getBlindData(5, out));
    EXPECT_EQ(out.size(), 2u);
    out.clear();
    EXPECT_FALSE(bd.getBlindData(3, out));  // ... stay where they were, removed
    EXPECT_EQ(bd.nbElement(), 6u);
    bd.renumberCleanup(true);
    EXPECT_EQ(bd.nbElement(), 4u);
    out.clear();
    EXPECT_TRUE(bd.getBlindData(9, out));
}

TEST(PolyBlindData, CopySetSwapAndDebug) {
    const Templates t(9300);
    TpolyBdBlindData a;
    a.setName(Tstring("faces"));
    for (uint32_t c = 0; c < 6; ++c) a.addNewBlindDataElement(nullptr, t.typeId, "label", c, intValue(int32_t(c)));
    a.removeData(1);

    TpolyBdBlindData firstFour;
    firstFour.copyData(a, 4);
    TbdDataPtrArray out;
    firstFour.getBlindData(out);
    EXPECT_EQ(components(out), (std::vector<uint32_t>{0, 2, 3}));

    TpolyBdBlindData b(a);
    EXPECT_TRUE(b.getName() == std::string_view("faces"));
    EXPECT_EQ(b.nbElement(), 6u);  // states copied too
    b.removeData(0);
    out.clear();
    EXPECT_TRUE(a.getBlindData(0, out));  // the copy is deep

    TbdDataPtrArray replacement;
    replacement.addLast().value = intValue(77);
    replacement.addLast().value = intValue(78);
    b.setData(4, replacement);
    out.clear();
    b.getBlindData(4, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].value.i, 78);
    EXPECT_EQ(out[1].componentId, 4u);
    b.setData(replacement);
    EXPECT_EQ(b.nbElement(), 2u);
    b.appendData(&a.dataConst()->operator[](5), 1);
    EXPECT_EQ(b.nbElement(), 3u);

    a.swapData(b);
    EXPECT_EQ(a.nbElement(), 3u);
    EXPECT_EQ(b.nbElement(), 6u);
    a.clearData();
    EXPECT_EQ(a.dataConst(), nullptr);

    std::string text;
    TdebugOutput::sCout.redirectToString(&text);
    b.debugMe();
    TdebugOutput::sCout.restore();
    EXPECT_EQ(text.rfind("blind data \"faces\" elements 6\n", 0), 0u) << text;
}

TEST(PolyBlindData, RecordCopiesAreDeep) {
    const Templates t(9400);
    TpolyGeom g;
    g.faceBlindData()->addBlindDataElement(&g, t.typeId, "label", 2, intValue(20));
    g.edgeBlindData()->addBlindDataElement(&g, t.typeId, "weight", 1, intValue(10));

    TpolyGeom copy(g);
    EXPECT_NE(copy.faceBlindData(), g.faceBlindData());
    TbdDataPtrArray out;
    ASSERT_TRUE(copy.faceBlindData()->getBlindData(2, t.typeId, "label", out));
    EXPECT_EQ(out[0].value.i, 20);
    EXPECT_EQ(copy.edgeBlindData()->nbElement(), 1u);
    EXPECT_EQ(copy.vertexBlindData()->nbElement(), 0u);

    TpolyGeom partial;
    partial.copy(g, kCompBlindData);
    EXPECT_EQ(partial.faceBlindData()->nbElement(), 1u);
    g.faceBlindData()->removeData(2);
    EXPECT_EQ(partial.faceBlindData()->data(2)->size(), 1u);
}
