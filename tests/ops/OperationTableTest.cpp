#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "brindle/brindle.h"
#include "support/AttributedGrid.h"

namespace {

// A value of the parameter's type at the given number (every component of a point, vector or
// rotation; a matrix scaled by it), as text.
std::string valueAt(TmodifierParamType type, double x) {
    switch (type) {
        case TmodifierParamType::kBool:
            return x != 0 ? "true" : "false";
        case TmodifierParamType::kInt:
            return TmodifierText::format(int(std::lround(x)));
        case TmodifierParamType::kUnsigned:
            return TmodifierText::format(unsigned(std::lround(x)));
        case TmodifierParamType::kFloat:
            return TmodifierText::format(float(x));
        case TmodifierParamType::kDouble:
            return TmodifierText::format(x);
        case TmodifierParamType::kPoint:
            return TmodifierText::format(T3dFltPoint(float(x), float(x), float(x)));
        case TmodifierParamType::kVector:
            return TmodifierText::format(T4dFltVector(float(x), float(x), float(x)));
        case TmodifierParamType::kRotation:
            return TmodifierText::format(TrotateXYZ{x, x, x, 0});
        case TmodifierParamType::kMatrix: {
            T4dDblMatrix m;
            for (int k = 0; k < 3; ++k) m.m[k][k] = x == 0 ? 1 : x;
            return TmodifierText::format(m);
        }
    }
    return {};
}

// Every operation of the registry: found under its name and its type, made as its type, each
// parameter's default read back unchanged through its setter, and the ends of every range
// accepted as values of the parameter's type.
TEST(OperationTable, EveryOperationRoundTripsItsParameters) {
    const std::vector<Toperation>& ops = ToperationTable::all();
    ASSERT_GT(ops.size(), 30u);
    std::set<std::string> names;
    for (const Toperation& op : ops) {
        SCOPED_TRACE(op.name);
        EXPECT_TRUE(names.insert(op.name).second) << "two operations of one name";
        EXPECT_EQ(ToperationTable::find(op.name), &op);
        EXPECT_EQ(ToperationTable::find(op.type->name()), &op);
        std::unique_ptr<TmidModifierFty> fty = op.create();
        ASSERT_NE(fty, nullptr);
        EXPECT_EQ(fty->typeof(), op.type);
        std::set<std::string> params;
        for (const ToperationParam& p : op.params) {
            SCOPED_TRACE(p.name());
            EXPECT_TRUE(params.insert(p.name()).second);
            EXPECT_TRUE(op.type->istype(p.owner));
            if (!p.defaultText.empty()) {
                EXPECT_TRUE(p.param->set(*fty, p.defaultText));
                EXPECT_EQ(p.param->get(*fty), p.defaultText);
            }
            const TmodifierParamInfo& info = p.param->info;
            if (!std::isnan(info.lo) && !std::isnan(info.hi)) {
                EXPECT_LE(info.lo, info.hi);
            }
            for (double end : {info.lo, info.hi}) {
                if (std::isnan(end)) continue;
                const std::string text = valueAt(p.type(), end);
                EXPECT_TRUE(TmodifierRegistry::setParameter(*fty, p.name(), text)) << text;
                if (!p.defaultText.empty()) {
                    EXPECT_EQ(p.param->get(*fty), text);
                }
            }
        }
    }
    EXPECT_EQ(ToperationTable::find("NoSuchOperation"), nullptr);
    EXPECT_EQ(ToperationTable::find("TpolyRemoverFty"), nullptr);
}

// The types come from the setters, the selections from the registrations (inherited when a class
// names none), and a class's own parameters come before those it inherits.
TEST(OperationTable, TypesSelectionsAndInheritance) {
    const Toperation* move = ToperationTable::find("moveVertex");
    ASSERT_NE(move, nullptr);
    EXPECT_STREQ(move->type->name(), "TpolyMoveVertexFty");
    EXPECT_EQ(move->selection, kPolyGrpVertex);
    EXPECT_EQ(move->findParam("Trans")->type(), TmodifierParamType::kVector);
    EXPECT_EQ(move->findParam("Pivot")->type(), TmodifierParamType::kPoint);
    EXPECT_EQ(move->findParam("Rotate")->type(), TmodifierParamType::kRotation);
    EXPECT_EQ(move->findParam("Matrix")->type(), TmodifierParamType::kMatrix);
    EXPECT_EQ(move->findParam("Random")->type(), TmodifierParamType::kFloat);
    EXPECT_EQ(move->findParam("NbComponents")->type(), TmodifierParamType::kUnsigned);
    EXPECT_EQ(move->findParam("Matrix")->defaultText, "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1");
    EXPECT_NE(std::string(move->findParam("Trans")->param->info.help), "");

    const Toperation* extrude = ToperationTable::find("TpolyExtrudeFacetFty");
    ASSERT_NE(extrude, nullptr);
    EXPECT_EQ(extrude->name, "extrudeFacet");
    EXPECT_EQ(extrude->selection, kPolyGrpFace);
    ASSERT_GE(extrude->params.size(), 3u);
    EXPECT_STREQ(extrude->params.front().name(), "ExtrudeMode");
    EXPECT_EQ(extrude->findParam("Offset")->owner, &TpolyMoveFacetFty::sMetaclass);
    EXPECT_EQ(extrude->findParam("Trans")->owner, &TpolyMoveVertexFty::sMetaclass);
    EXPECT_EQ(extrude->findParam("Divisions")->type(), TmodifierParamType::kInt);
    EXPECT_EQ(ToperationTable::find("moveFacet")->selection, kPolyGrpVertex);

    const Toperation* smooth = ToperationTable::find("smoothFacet");
    ASSERT_NE(smooth, nullptr);
    EXPECT_EQ(smooth->findParam("KeepBorder")->type(), TmodifierParamType::kBool);
    EXPECT_EQ(smooth->findParam("uvCenterType")->param->info.hi, 1.0);
    // A getter under another name still gives the default; a parameter without a getter has none.
    const Toperation* decimate = ToperationTable::find("decimate");
    ASSERT_NE(decimate, nullptr);
    EXPECT_EQ(decimate->selection, kPolyGrpFace);
    EXPECT_FALSE(decimate->findParam("Percentage")->defaultText.empty());
    EXPECT_TRUE(decimate->findParam("GeomWeight")->defaultText.empty());

    EXPECT_EQ(ToperationTable::find("delFacet")->selection, kPolyGrpFace);
    // Operations that read faces say so, whatever their parent reads.
    for (const char* name : {"chipOff", "poke", "wedgeFace"})
        EXPECT_EQ(ToperationTable::find(name)->selection, kPolyGrpFace) << name;
    const Toperation* mirror = ToperationTable::find("mirror");
    ASSERT_NE(mirror, nullptr);
    EXPECT_EQ(mirror->findParam("pivot")->type(), TmodifierParamType::kPoint);
    EXPECT_EQ(mirror->findParam("matrix")->type(), TmodifierParamType::kMatrix);
    EXPECT_EQ(mirror->findParam("mergeTolerance")->type(), TmodifierParamType::kDouble);
    EXPECT_EQ(mirror->findParam("mirrorDir")->defaultText, "0");
    EXPECT_EQ(ToperationTable::operationName("TpolySubdFaceAnyFty"), "subdFaceAny");
    EXPECT_EQ(ToperationTable::operationName("Tpoly"), "Tpoly");
}

// A refusal leaves the group table as it was, though the action made the list its current group
// before it refused.
TEST(OperationTable, RefusalRestoresTheCurrentGroups) {
    TmidBody body(attributed::cube().release());
    TpolyGeom& geom = *body.polyGeom();
    const uint32_t groups = geom.nbGroup();
    TmidFaceComponent faces;  // empty: refused once it is the current group
    TpolySubdFacetFty subdivide;
    EXPECT_NE(subdivide.doAction(&body, &faces), 0);
    EXPECT_EQ(geom.nbGroup(), groups);
    EXPECT_LT(geom.findGrp(-1, kPolyGrpFace), 0);
}

// The counts a selection is checked against, and the list "every component" is, follow the
// current UV set and answer nothing for a record without one or for a kind no selection has.
TEST(OperationTable, ComponentCountsAndEveryComponent) {
    const std::unique_ptr<TpolyGeom> cube = attributed::cube();
    TpolyGeom bare;
    addUnitCube(bare);
    const uint32_t map1 = cube->nbUV(0), map2 = cube->nbUV(1);
    ASSERT_NE(map1, map2);
    ASSERT_TRUE(cube->setCurrentMap(1));
    const std::pair<TpolyGrpType, uint32_t> expected[] = {
        {kPolyGrpVertex, 8}, {kPolyGrpEdge, 12}, {kPolyGrpFace, 6}, {kPolyGrpUV, map2}, {kPolyGrpNone, 0}};
    for (const auto& [kind, n] : expected) {
        SCOPED_TRACE(ToperationTable::selectionName(kind));
        EXPECT_EQ(ToperationTable::componentCount(*cube, kind), n);
        const std::unique_ptr<TmidComponent> all = ToperationTable::everyComponent(*cube, kind);
        EXPECT_EQ(all->typeof(), ToperationTable::newList(kind)->typeof());
        ASSERT_EQ(all->elementCount(), n);
        if (n) {
            EXPECT_EQ(all->element(n - 1), n - 1);
        }
    }
    ASSERT_TRUE(cube->setCurrentMap(0));
    EXPECT_EQ(ToperationTable::componentCount(*cube, kPolyGrpUV), map1);
    EXPECT_EQ(ToperationTable::componentCount(bare, kPolyGrpUV), 0u);
    EXPECT_EQ(ToperationTable::everyComponent(bare, kPolyGrpUV)->elementCount(), 0u);
    EXPECT_EQ(ToperationTable::componentCount(bare, kPolyGrpFace), 6u);
}

TEST(OperationTable, TextFormsReadBack) {
    EXPECT_EQ(TmodifierText::format(0.1f), "0.1");
    EXPECT_EQ(TmodifierText::format(0.1), "0.1");
    EXPECT_EQ(TmodifierText::format(T4dFltVector(1, 2, 3)), "1 2 3");
    EXPECT_EQ(TmodifierText::format(T4dFltVector(1, 2, 3, 1)), "1 2 3 1");
    EXPECT_EQ(TmodifierText::format(TrotateXYZ{0.5, 0, -1, 2}), "0.5 0 -1 2");
    TrotateXYZ r;
    ASSERT_TRUE(TmodifierText::parse("0.5 0 -1 2", r));
    EXPECT_EQ(r.order, 2);
    T4dFltMatrix m;
    ASSERT_TRUE(TmodifierText::parse(TmodifierText::format(T4dDblMatrix()), m));
    EXPECT_TRUE(m.isIdentity());
    EXPECT_STREQ(TmodifierText::typeName(TmodifierParamType::kUnsigned), "unsigned");
}

}  // namespace
