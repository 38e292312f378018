#include <gtest/gtest.h>

#include <limits>

#include "ops/OpsTestSupport.h"

using opstest::bodyOf;

namespace {
std::unique_ptr<TmidBody> plainGrid() {
    auto g = std::make_unique<TpolyGeom>();
    buildQuadGrid(*g, 2);
    return bodyOf(std::move(g));
}

// Edge id -> value array with the given entries, -1 elsewhere.
TdoubleArray values(uint32_t n, std::initializer_list<std::pair<uint32_t, double>> set) {
    TdoubleArray a(256);
    for (uint32_t i = 0; i < n; ++i) a.addLast(-1);
    for (const auto& [e, v] : set) a[e] = v;
    return a;
}

std::vector<std::pair<uint32_t, double>> creases(const TpolyGeom& g) {
    TuInt32Array edges(16);
    TdoubleArray v(16);
    g.getCreaseEdges(edges, v);
    std::vector<std::pair<uint32_t, double>> out;
    for (uint32_t i = 0; i < edges.size(); ++i) out.emplace_back(edges[i], v[i]);
    return out;
}

using Creases = std::vector<std::pair<uint32_t, double>>;
}  // namespace

TEST(CreaseEdge, MergesIntoTheCreaseGroup) {
    auto body = plainGrid();
    TpolyGeom& g = *body->polyGeom();
    const uint32_t n = g.nbEdge();
    TpolyCreaseEdgeFty fty;
    TmidEdgeComponent any;
    any.addElement(0);

    // The first crease action on a record without a crease group gives its members their values.
    TdoubleArray first = values(n, {{3, 0.5}, {5, 2.0}});
    fty.setCreaseDataPtr(&first);
    ASSERT_EQ(fty.doAction(body.get(), &any), 0);
    EXPECT_EQ(creases(g), (Creases{{3, 0.5}, {5, 2.0}}));

    TdoubleArray again = values(n, {{5, 1.0}});
    fty.setCreaseDataPtr(&again);
    ASSERT_EQ(fty.doAction(body.get(), &any), 0);
    EXPECT_EQ(creases(g), (Creases{{3, 0.5}, {5, 1.0}}));
    // The current edge group is the edges given a value, not the list passed in.
    EXPECT_EQ(g.nbElem(-1, kPolyGrpEdge), 1u);
    EXPECT_TRUE(g.isInGroup(kPolyGrpEdge, -1, 5));

    // Negative and NaN entries leave edges out; an array shorter than the edge count stops there.
    TdoubleArray shortArray = values(6, {{4, 0.25}});
    shortArray[2] = std::numeric_limits<double>::quiet_NaN();
    fty.setCreaseDataPtr(&shortArray);
    ASSERT_EQ(fty.doAction(body.get(), &any), 0);
    EXPECT_EQ(creases(g), (Creases{{3, 0.5}, {4, 0.25}, {5, 1.0}}));
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
}

TEST(CreaseEdge, FrameAndRefusals) {
    auto body = plainGrid();
    TpolyGeom& g = *body->polyGeom();
    const std::string before = opstest::recordState(g);
    TpolyCreaseEdgeFty fty;
    TmidVertComponent wrong;
    wrong.addElement(0);
    EXPECT_EQ(fty.doAction(body.get(), &wrong), -1);
    EXPECT_EQ(fty.doAction(body.get(), nullptr), -1);
    EXPECT_EQ(opstest::recordState(g), before);

    // Without values only the frame round trip happens; the matrix is held inverted.
    T4dDblMatrix frame;
    frame.m[3][1] = 4;
    fty.setMatrix(frame);
    TmidEdgeComponent edges;
    edges.addElement(1);
    ASSERT_EQ(fty.doAction(body.get(), &edges), 0);
    EXPECT_EQ(fty.Matrix().m[3][1], -4.0);
    EXPECT_TRUE(creases(g).empty());
    g.removeGroup(-1, kPolyGrpEdge);
    EXPECT_EQ(opstest::recordState(g), before);
}
