#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "brindle/brindle.h"

namespace {
std::vector<uint32_t> walk(const TpointOctree& tree, const T3dFltPoint& p, float radius) {
    std::vector<uint32_t> found;
    TpointOctreeWalker w(tree, p, radius);
    for (uint32_t id = w.next(); id != TpointOctree::kEnd; id = w.next()) found.push_back(id);
    std::sort(found.begin(), found.end());
    return found;
}
}  // namespace

TEST(PointOctree, WalkerFindsExactlyThePointsStrictlyInRange) {
    // Clustered points (many coincident, so that cells stop splitting at the tolerance), some
    // outside the box the tree was given; every query must match the brute-force answer.
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(0, 1);
    std::vector<T3dFltPoint> pts;
    for (int i = 0; i < 3000; ++i) {
        const T3dFltPoint p(u(rng), u(rng), u(rng) * 0.1f);
        for (int k = 0; k < 1 + i % 3; ++k) pts.push_back(p);
    }
    for (int i = 0; i < 100; ++i) pts.push_back(T3dFltPoint(1.5f + 0.01f * i, -0.5f, 0.05f));
    for (uint32_t depth : {0u, 2u}) {
        TpointOctree tree(30, depth, 0.001f);
        tree.setDimensions(T3dFltPoint(0, 0, 0), T3dFltPoint(1, 1, 0.1f));
        for (uint32_t i = 0; i < pts.size(); ++i) tree.addEntry(pts[i], i);
        EXPECT_EQ(tree.nbEntry(), pts.size());
        for (uint32_t q = 0; q < pts.size(); q += 37)
            for (float radius : {0.0f, 1e-6f, 0.02f, 0.3f}) {
                std::vector<uint32_t> expected;
                for (uint32_t i = 0; i < pts.size(); ++i) {
                    const float dx = pts[i].x - pts[q].x, dy = pts[i].y - pts[q].y, dz = pts[i].z - pts[q].z;
                    if (dx * dx + dy * dy + dz * dz < radius * radius) expected.push_back(i);
                }
                ASSERT_EQ(walk(tree, pts[q], radius), expected) << q << " " << radius << " " << depth;
            }
    }
    // An entry added after the walker was made, before it first moved, is reported.
    TpointOctree tree(30, 0, 0.001f);
    tree.setDimensions(T3dFltPoint(0, 0, 0), T3dFltPoint(1, 1, 1));
    TpointOctreeWalker w(tree, T3dFltPoint(0.5f, 0.5f, 0.5f), 0.1f);
    tree.addEntry(T3dFltPoint(0.5f, 0.5f, 0.55f), 42);
    EXPECT_EQ(w.next(), 42u);
    EXPECT_EQ(w.next(), TpointOctree::kEnd);
}
