#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "brindle/brindle.h"

namespace {

std::vector<uint32_t> ids(const TsingleIndexedComponent& c) {
    std::vector<uint32_t> out;
    for (uint32_t id : c) out.push_back(id);
    return out;
}

std::vector<uint32_t> ids(const std::set<uint32_t>& s) { return {s.begin(), s.end()}; }

// The stored entries must be the canonical run form of the set: increasing, separated runs,
// a block for every run of two or more ids, a lone entry otherwise.
void expectCanonical(const TsingleIndexedComponent& c, const std::set<uint32_t>& model) {
    std::vector<uint32_t> expected;
    uint32_t runs = 0;
    for (auto it = model.begin(); it != model.end(); ++runs) {
        uint32_t first = *it, last = first;
        while (++it != model.end() && *it == last + 1) last = *it;
        if (first == last) {
            expected.push_back(first);
        } else {
            expected.push_back(first | TsingleIndexedComponent::kBlockFlag);
            expected.push_back(last);
        }
    }
    std::vector<uint32_t> stored;
    for (uint32_t i = 0; i < c.entryCount(); ++i) stored.push_back(c.entry(i) & ~TsingleIndexedComponent::kEndFlag);
    EXPECT_EQ(stored, expected);
    EXPECT_EQ(c.elementCount(), model.size());
    EXPECT_EQ(c.nbRun(), runs);
}

TsingleIndexedComponent fromModel(const std::set<uint32_t>& s) {
    TsingleIndexedComponent c;
    for (uint32_t id : s) c.addElement(id);
    return c;
}

}  // namespace

TEST(Component, SingleListKeepsCanonicalRunsUnderRandomEdits) {
    for (uint32_t seed = 0; seed < 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        std::uniform_int_distribution<uint32_t> idDist(0, 120), lenDist(0, 12), opDist(0, 3);
        TsingleIndexedComponent c;
        std::set<uint32_t> model;
        for (int step = 0; step < 300; ++step) {
            uint32_t a = idDist(rng), len = lenDist(rng);
            switch (opDist(rng)) {
                case 0:
                    EXPECT_EQ(c.addElement(a), model.insert(a).second);
                    break;
                case 1:
                    EXPECT_EQ(c.removeElement(a), model.erase(a) == 1);
                    break;
                case 2:
                    c.addRange(a, a + len);
                    for (uint32_t i = a; i <= a + len; ++i) model.insert(i);
                    break;
                default:
                    c.removeRange(a, a + len);
                    for (uint32_t i = a; i <= a + len; ++i) model.erase(i);
            }
        }
        expectCanonical(c, model);
        std::vector<uint32_t> expected = ids(model);
        EXPECT_EQ(ids(c), expected);
        for (uint32_t i = 0; i < expected.size(); ++i) ASSERT_EQ(c.element(i), expected[i]);
        EXPECT_EQ(c.element(3), expected.size() > 3 ? expected[3] : TsingleIndexedComponent::kNoId);
        EXPECT_EQ(c.element(uint32_t(expected.size())), TsingleIndexedComponent::kNoId);
        EXPECT_EQ(c.elementMax(), expected.empty() ? TsingleIndexedComponent::kNoId : expected.back());
        for (uint32_t id = 0; id < 140; ++id) ASSERT_EQ(c.hasElement(id), model.count(id) == 1) << id;
    }
}

TEST(Component, SingleListSetOperationsMatchSetAlgebra) {
    for (uint32_t seed = 0; seed < 60; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        std::bernoulli_distribution denseA(0.3 + 0.01 * (seed % 50)), denseB(0.6);
        std::set<uint32_t> a, b;
        for (uint32_t i = 0; i < 200; ++i) {
            if (denseA(rng)) a.insert(i);
            if (denseB(rng)) b.insert(i + seed % 7);
        }
        TsingleIndexedComponent ca = fromModel(a), cb = fromModel(b);
        std::set<uint32_t> u = a, in, d;
        u.insert(b.begin(), b.end());
        for (uint32_t id : a) (b.count(id) ? in : d).insert(id);

        TsingleIndexedComponent r = ca;
        ASSERT_TRUE(r.merge(cb));
        expectCanonical(r, u);
        r = ca;
        ASSERT_TRUE(r.intersection(cb));
        expectCanonical(r, in);
        EXPECT_EQ(ca.intersects(cb), !in.empty());
        r = ca;
        ASSERT_TRUE(r.difference(cb));
        expectCanonical(r, d);
        EXPECT_TRUE(r.isEqual(fromModel(d)));
        EXPECT_FALSE(r.intersects(cb));
    }
}

TEST(Component, SingleListEdgeCases) {
    TsingleIndexedComponent c;
    EXPECT_TRUE(c.isEmpty());
    EXPECT_EQ(c.elementMax(), TsingleIndexedComponent::kNoId);
    EXPECT_TRUE(ids(c).empty());

    // Ids past the 30-bit range and reversed ranges are refused without a trace.
    EXPECT_FALSE(c.addElement(TsingleIndexedComponent::kIdMask + 1));
    c.addRange(9, 3);
    c.addRange(5, TsingleIndexedComponent::kIdMask + 1);
    EXPECT_TRUE(c.isEmpty());
    EXPECT_TRUE(c.addElement(TsingleIndexedComponent::kIdMask));
    EXPECT_TRUE(c.hasElement(TsingleIndexedComponent::kIdMask));
    c.clear();

    // The end mark is set on request and dropped by edits (runs themselves are checked above).
    c.addRange(10, 20);
    c.markEnd();
    ASSERT_EQ(c.entryCount(), 2u);
    EXPECT_EQ(c.entry(1), 20u | TsingleIndexedComponent::kEndFlag);
    c.removeRange(0, 10);
    EXPECT_EQ(c.entry(c.entryCount() - 1), 20u);
    c.removeRange(12, 19);
    EXPECT_EQ(ids(c), (std::vector<uint32_t>{11, 20}));

    // Set operations with itself and across families.
    TsingleIndexedComponent self = c;
    ASSERT_TRUE(self.merge(self));
    EXPECT_TRUE(self.isEqual(c));
    ASSERT_TRUE(self.difference(self));
    EXPECT_TRUE(self.isEmpty());
    TlongDoubleIndexedComponent pairs;
    pairs.addElement(11, 0);
    EXPECT_FALSE(c.merge(pairs));
    EXPECT_FALSE(c.isEqual(pairs));
    EXPECT_FALSE(c.copyData(pairs));
    EXPECT_EQ(c.elementCount(), 2u);

    std::unique_ptr<Tcomponent> copy(c.clone());
    EXPECT_TRUE(copy->isEqual(c));
    std::unique_ptr<Tcomponent> one(c.extractSingle(1));
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->elementCount(), 1u);
    EXPECT_TRUE(static_cast<TsingleIndexedComponent*>(one.get())->hasElement(20));
    EXPECT_EQ(c.extractSingle(2), nullptr);

    std::vector<std::string> strings;
    TsingleIndexedComponent text;
    text.addRange(3, 5);
    text.addElement(9);
    text.generateStrings("vtx", strings);
    EXPECT_EQ(strings, (std::vector<std::string>{"vtx[3:5]", "vtx[9]"}));
    std::string out;
    TdebugOutput::sCout.redirectToString(&out);
    text.debug(TdebugOutput::sCout);
    TdebugOutput::sCout.restore();
    EXPECT_EQ(out, "3:5 9\n");
}

TEST(Component, SingleListConvertsToAndFromBitFields) {
    TbitFieldFixedN bits(130);
    for (uint32_t i : {0u, 1u, 2u, 63u, 64u, 65u, 100u, 129u}) bits.setBit(i);
    TsingleIndexedComponent c;
    c.addElement(77);  // replaced, not kept
    c.convertFromFlags(bits);
    EXPECT_EQ(ids(c), (std::vector<uint32_t>{0, 1, 2, 63, 64, 65, 100, 129}));
    EXPECT_EQ(c.nbRun(), 4u);

    // Ids beyond the bit field are left out and stale bits are cleared.
    TbitFieldFixedN small(100);
    small.setAll();
    c.convert2Flags(small);
    EXPECT_EQ(small.countSet(), 6u);
    EXPECT_TRUE(small.testBit(65));
    EXPECT_FALSE(small.testBit(99));
    TbitFieldFixedN back(130);
    c.convert2Flags(back);
    EXPECT_EQ(back, bits);
}

TEST(Component, PairListStaysSortedAndCombines) {
    TlongDoubleIndexedComponent a, b;
    EXPECT_TRUE(a.addElement(3, 1));
    EXPECT_TRUE(a.addElement(1, 7));
    EXPECT_TRUE(a.addElement(1, 2));
    EXPECT_FALSE(a.addElement(3, 1));
    EXPECT_TRUE(a.addElement(2, 0));
    ASSERT_EQ(a.elementCount(), 4u);
    EXPECT_EQ(a.element(0), (TidPair{1, 2}));
    EXPECT_EQ(a.element(3), (TidPair{3, 1}));
    EXPECT_TRUE(a.hasElement(2, 0));
    EXPECT_FALSE(a.hasElement(0, 2));

    b.addElement(2, 0);
    b.addElement(5, 5);
    TlongDoubleIndexedComponent u = a, i = a, d = a;
    ASSERT_TRUE(u.merge(b));
    ASSERT_TRUE(i.intersection(b));
    ASSERT_TRUE(d.difference(b));
    EXPECT_EQ(u.elementCount(), 5u);
    EXPECT_EQ(u.element(4), (TidPair{5, 5}));
    ASSERT_EQ(i.elementCount(), 1u);
    EXPECT_EQ(i.element(0), (TidPair{2, 0}));
    EXPECT_EQ(d.elementCount(), 3u);
    EXPECT_TRUE(a.intersects(b));
    EXPECT_FALSE(d.intersects(b));
    EXPECT_TRUE(d.removeElement(1, 7));
    EXPECT_FALSE(d.removeElement(1, 7));

    TsingleIndexedComponent single;
    EXPECT_FALSE(a.intersection(single));
    EXPECT_EQ(a.elementCount(), 4u);
    std::unique_ptr<Tcomponent> one(a.extractSingle(2));
    ASSERT_NE(one, nullptr);
    EXPECT_TRUE(static_cast<TlongDoubleIndexedComponent*>(one.get())->hasElement(2, 0));
    EXPECT_EQ(a.extractSingle(4), nullptr);
    std::unique_ptr<Tcomponent> copy(a.clone());
    EXPECT_TRUE(copy->isEqual(a));
    std::vector<std::string> strings;
    i.generateStrings("vtxFace", strings);
    EXPECT_EQ(strings, (std::vector<std::string>{"vtxFace[2][0]"}));
}
