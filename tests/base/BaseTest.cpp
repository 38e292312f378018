#include <gtest/gtest.h>

#include <string>

#include "brindle/brindle.h"

TEST(Base, ArrayGrowsLinearlyAndRemovesRuns) {
    Tarray<uint32_t> a(4);
    for (uint32_t i = 0; i < 1000; ++i) a.addLast(i);
    EXPECT_EQ(a.size(), 1000u);
    EXPECT_GE(a.physicalSize(), 1000u);
    a.removeAt(10, 5);
    EXPECT_EQ(a[10], 15u);
    EXPECT_EQ(a.find(999), 994u);
    EXPECT_EQ(a.find(12), ~0u);
    a.removeLast(2000);
    EXPECT_TRUE(a.empty());
}

TEST(Base, BitFieldKeepsBitsBeyondSizeClear) {
    TbitFieldFixedN b(70);
    b.setAll();
    EXPECT_EQ(b.countSet(), 70u);
    b.invertAll();
    EXPECT_FALSE(b.anySet());
    b.setBit(69);
    b.resizeArrayWithCopy(100);
    EXPECT_TRUE(b.testBit(69));
    EXPECT_FALSE(b.testBit(70));
    b.resizeArrayWithCopy(60);
    EXPECT_FALSE(b.anySet());
}

TEST(Base, DiagnosticsAndErrorsCanBeRedirected) {
    std::string out;
    TdebugOutput::sCout.redirectToString(&out);
    TdebugOutput::sCout << "faces " << uint32_t(3);
    TdebugOutput::sCout.print(" %s", std::string(600, 'x').c_str());
    TdebugOutput::sCout.restore();
    EXPECT_EQ(out.substr(0, 7), "faces 3");
    EXPECT_EQ(out.size(), 8u + 600u);

    std::string err;
    theErrorHandler().setCallback([&](std::string_view t) { err = t; });
    theErrorHandler().error("bad id %u", 7u);
    theErrorHandler().resetCallback();
    EXPECT_EQ(err, "bad id 7");
}

TEST(Base, MatrixInverseAndRegistry) {
    T4dFltMatrix m;
    m.m[0][0] = 2;
    m.m[3][1] = 5;
    T4dFltMatrix inv = m;
    ASSERT_TRUE(inv.invert());
    EXPECT_TRUE((m * inv).isIdentity());
    T4dFltMatrix singular;
    singular.m[2][2] = 0;
    EXPECT_FALSE(singular.invert());

    static Tmetaclass base("TtestBase", 4, nullptr, 0x54424153, nullptr);
    static Tmetaclass derived(
        "TtestDerived", 8, [] { return static_cast<void*>(new int(1)); }, 0x54444552, &base);
    EXPECT_TRUE(derived.istype(&base));
    EXPECT_FALSE(base.istype(&derived));
    EXPECT_EQ(Tmetaclass::findByTag(0x54444552), &derived);
    int* made = static_cast<int*>(derived.construct());
    EXPECT_EQ(*made, 1);
    delete made;
    EXPECT_EQ(base.construct(), nullptr);
}

TEST(Base, VectorHelpersAndNewellNormal) {
    const T3dFltPoint x(1, 0, 0), y(0, 1, 0);
    EXPECT_EQ(cross(x, y).z, 1.0);
    EXPECT_EQ(dot(x, T4dFltVector(3, 4, 5)), 3.0);
    EXPECT_EQ(length(T3dFltPoint(3, 4, 0)), 5.0);
    EXPECT_EQ(distance(T3dDblPoint{1, 1, 1}, T3dFltPoint(1, 1, 3)), 2.0);
    // A 2 x 2 square wound anticlockwise about +z, far from the origin: twice its area along +z,
    // whatever corner the walk starts from; the reversed walk (a hole) subtracts.
    const T3dFltPoint square[4] = {{1000, 1000, 7}, {1002, 1000, 7}, {1002, 1002, 7}, {1000, 1002, 7}};
    const T3dDblVector n = newellNormal(square, 4);
    EXPECT_DOUBLE_EQ(n.z, 8.0);
    EXPECT_DOUBLE_EQ(length(n), 8.0);
    const T3dFltPoint reversed[4] = {square[3], square[2], square[1], square[0]};
    EXPECT_DOUBLE_EQ((n + newellNormal(reversed, 4)).z, 0.0);
    // The primitives' single-precision turns and the hardness threshold between 12 and 13 steps.
    EXPECT_EQ(kTwoPiF, 6.2831855f);
    EXPECT_EQ(kPiF, 3.1415927f);
    EXPECT_GT(double(kTwoPiF / 12), kHardStepAngle);
    EXPECT_LT(double(kTwoPiF / 13), kHardStepAngle);
}

TEST(Base, UnionFindNamesEachClassByItsLowestMember) {
    TunionFind u;
    u.reset(8);
    // Joined high to low and through roots that are not the lowest, in a chain long enough that
    // path halving rewrites parents while the answers stay the same.
    u.join(7, 5);
    u.join(6, 7);
    u.join(5, 3);
    u.join(4, 6);
    for (uint32_t x : {3u, 4u, 5u, 6u, 7u}) EXPECT_EQ(u.find(x), 3u);
    u.join(2, 1);
    u.join(6, 1);
    for (uint32_t x : {1u, 2u, 3u, 7u}) EXPECT_EQ(u.find(x), 1u);
    EXPECT_EQ(u.find(0), 0u);
    u.join(0, 0);
    EXPECT_EQ(u.find(0), 0u);
    u.reset(3);
    EXPECT_EQ(u.find(2), 2u);
}
