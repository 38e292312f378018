#include <gtest/gtest.h>

#include <memory>

#include "brindle/brindle.h"

TEST(Registration, ComponentListClassesTagsAndApiCodes) {
    struct Cls {
        const char* name;
        uint32_t tag;
        uint32_t code;
        const char* typeString;
        TpolyGrpType kind;
        const char* prefix;
    };
    const Cls lists[] = {{"TmidVertComponent", 0x434D4456, 540, "kMeshVertComponent", kPolyGrpVertex, "vtx"},
                         {"TmidEdgeComponent", 0x434D4445, 537, "kMeshEdgeComponent", kPolyGrpEdge, "e"},
                         {"TmidFaceComponent", 0x434D4446, 538, "kMeshPolygonComponent", kPolyGrpFace, "f"},
                         {"TmidMapComponent", 0x434D444D, 786, "kMeshMapComponent", kPolyGrpUV, "map"}};
    const Tmetaclass* base = Tmetaclass::findByName("TmidComponent");
    ASSERT_NE(base, nullptr);
    ASSERT_NE(base->parent(), nullptr);
    EXPECT_STREQ(base->parent()->name(), "TsingleIndexedComponent");
    for (const Cls& c : lists) {
        SCOPED_TRACE(c.name);
        const Tmetaclass* mc = Tmetaclass::findByTag(c.tag);
        ASSERT_NE(mc, nullptr);
        EXPECT_STREQ(mc->name(), c.name);
        EXPECT_EQ(mc->parent(), base);
        EXPECT_EQ(mc->instanceSize(), sizeof(TmidComponent));
        EXPECT_STREQ(ThostObjectTable::typeString(c.code), c.typeString);
        const TuInt32Array* kinds = ThostObjectTable::kindList(c.code);
        ASSERT_NE(kinds, nullptr);
        ASSERT_EQ(kinds->size(), 5u);
        EXPECT_EQ((*kinds)[1], 521u);
        EXPECT_EQ((*kinds)[4], c.code);

        // Registry construction keeps the class; the object answers its own identity.
        std::unique_ptr<TmidComponent> list(constructComponent<TmidComponent>(mc));
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->typeof(), mc);
        EXPECT_EQ(list->midCompType(), c.kind);
        EXPECT_EQ(list->apiType(), c.code);
        EXPECT_STREQ(list->apiTypeString(), c.typeString);
        EXPECT_EQ(list->isControlPoint(), c.kind == kPolyGrpVertex);
        EXPECT_EQ(list->cast(mc), list.get());
        EXPECT_EQ(list->cast(base), list.get());
        EXPECT_EQ(list->cast(&TmidBody::sMetaclass), nullptr);

        list->addRange(3, 5);
        list->addElement(9);
        std::vector<std::string> text;
        list->asStrings("ignored", text);
        ASSERT_EQ(text.size(), 2u);
        EXPECT_EQ(text[0], std::string(c.prefix) + "[3:5]");
        EXPECT_EQ(text[1], std::string(c.prefix) + "[9]");
        // Copies and extracts stay lists of the same kind.
        std::unique_ptr<Tcomponent> one(list->extractSingle(3));
        auto* kept = dynamic_cast<TmidComponent*>(one.get());
        ASSERT_NE(kept, nullptr);
        EXPECT_EQ(kept->midCompType(), c.kind);
        EXPECT_EQ(kept->element(0), 9u);
        std::unique_ptr<Tcomponent> copy(list->clone());
        EXPECT_EQ(dynamic_cast<TmidComponent&>(*copy).typeof(), mc);
        EXPECT_TRUE(copy->isEqual(*list));
    }
    EXPECT_EQ(constructComponent<TmidFaceComponent>(&TmidVertComponent::sMetaclass), nullptr);
    EXPECT_EQ(constructComponent<TmidComponent>(nullptr), nullptr);
    // The abstract base cannot be made through the registry.
    EXPECT_EQ(constructComponent<TmidComponent>(base), nullptr);

    const Tmetaclass* vf = Tmetaclass::findByTag(0x4D564643);
    ASSERT_NE(vf, nullptr);
    EXPECT_STREQ(vf->name(), "TmeshVtxFaceComponent");
    EXPECT_STREQ(vf->parent()->name(), "TlongDoubleIndexedComponent");
    EXPECT_STREQ(ThostObjectTable::typeString(722), "kMeshVtxFaceComponent");
    EXPECT_TRUE(ThostObjectTable::isKindOf(722, 693));
    std::unique_ptr<TmeshVtxFaceComponent> pairs(constructComponent<TmeshVtxFaceComponent>(vf));
    ASSERT_NE(pairs, nullptr);
    pairs->addElement(4, 1);
    std::vector<std::string> text;
    pairs->asStrings("", text);
    ASSERT_EQ(text.size(), 1u);
    EXPECT_EQ(text[0], "vtxFace[4][1]");
    EXPECT_FALSE(pairs->isControlPoint());
    EXPECT_EQ(pairs->apiType(), 722u);

    TmidComponentPtrArray held;
    TmidVertComponent a, b;
    held.addLast(&a);
    held.addLast(&b);
    EXPECT_EQ(held.find(&b), 1);
    EXPECT_EQ(held.remove(&a), 0);
    EXPECT_EQ(held.find(&a), -1);
    EXPECT_EQ(held.remove(&a), -1);
}
