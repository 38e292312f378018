#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "brindle/brindle.h"

namespace {

struct Counts {
    uint32_t v, e, f;
};

// Checks a closed, consistently wound, outward-facing surface: every edge is used exactly once in
// each direction (so none is a border), the loops chain, V - E + F is the given characteristic and
// the volume enclosed by the face fans is positive. Answers that volume.
double checkClosed(TpolyGeom& g, Counts expected, int euler) {
    g.update(dirtyFaceOffsets);
    EXPECT_EQ(g.nbVertex(), expected.v);
    EXPECT_EQ(g.nbEdge(), expected.e);
    EXPECT_EQ(g.nbFace(), expected.f);
    EXPECT_EQ(int(g.nbVertex()) - int(g.nbEdge()) + int(g.nbFace()), euler);
    std::vector<int> forward(g.nbEdge()), backward(g.nbEdge());
    double volume = 0;
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        const uint32_t o = g.faceOffset(f), n = g.faceVertexCount(f);
        const T3dFltPoint& p0 = g.vertexConst(g.getStartVertex(o));
        for (uint32_t k = 0; k < n; ++k) {
            EXPECT_EQ(g.getEndVertex(o + k), g.getStartVertex(o + (k + 1) % n)) << f;
            (g.getDirection(o + k) == kForward ? forward : backward)[g.getEdge(o + k)]++;
            if (k == 0 || k + 1 == n) continue;
            const T3dFltPoint& a = g.vertexConst(g.getStartVertex(o + k));
            const T3dFltPoint& b = g.vertexConst(g.getStartVertex(o + k + 1));
            volume += (double(p0.x) * (double(a.y) * b.z - double(a.z) * b.y) -
                       double(p0.y) * (double(a.x) * b.z - double(a.z) * b.x) +
                       double(p0.z) * (double(a.x) * b.y - double(a.y) * b.x)) /
                      6;
        }
    }
    for (uint32_t e = 0; e < g.nbEdge(); ++e) {
        EXPECT_EQ(forward[e], 1) << "edge " << e;
        EXPECT_EQ(backward[e], 1) << "edge " << e;
    }
    EXPECT_GT(volume, 0);
    return volume;
}

}  // namespace

TEST(SolidsPrimitive, ShapesCountsSizesAndHardEdges) {
    struct Case {
        TmeshSolidsFty::TsolidType type;
        Counts counts;
        uint32_t faceSize[2];  // the sizes the faces may have
    };
    const Case cases[] = {{TmeshSolidsFty::kTruncatedIcosahedron, {60, 90, 32}, {5, 6}},
                          {TmeshSolidsFty::kDodecahedron, {20, 30, 12}, {5, 5}},
                          {TmeshSolidsFty::kIcosahedron, {12, 30, 20}, {3, 3}},
                          {TmeshSolidsFty::kOctahedron, {6, 12, 8}, {3, 3}},
                          {TmeshSolidsFty::kTetrahedron, {4, 6, 4}, {3, 3}},
                          {TmeshSolidsFty::TsolidType(17), {60, 90, 32}, {5, 6}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.type));
        TmeshSolidsFty solid;
        solid.setType(c.type);
        solid.setRadius(2.5f);
        auto g = solid.createSolid();
        ASSERT_TRUE(g);
        EXPECT_EQ(g->dirtyMask(), uint32_t(dirtyAll));
        checkClosed(*g, c.counts, 2);
        EXPECT_EQ(g->nbMapSet(), 0u);
        uint32_t pentagons = 0;
        for (uint32_t f = 0; f < g->nbFace(); ++f) {
            const uint32_t n = g->faceVertexCount(f);
            EXPECT_TRUE(n == c.faceSize[0] || n == c.faceSize[1]) << f;
            pentagons += n == 5;
        }
        EXPECT_EQ(pentagons, c.counts.v == 60 ? 12u : c.faceSize[0] == 5 ? 12u : 0u);
        for (uint32_t v = 0; v < g->nbVertex(); ++v) {
            const T3dFltPoint& p = g->vertexConst(v);
            EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 2.5f, 1e-5f) << v;
        }
        // Sized by edge length instead: all edges equally long, all hard.
        solid.setLength(0.75f);
        g = solid.createSolid();
        for (uint32_t e = 0; e < g->nbEdge(); ++e) {
            EXPECT_TRUE(g->isHard(e)) << e;
            const T3dFltPoint& a = g->vertexConst(g->startVertex(e));
            const T3dFltPoint& b = g->vertexConst(g->endVertex(e));
            EXPECT_NEAR(std::hypot(a.x - b.x, a.y - b.y, a.z - b.z), 0.75f, 1e-5f) << e;
        }
    }
}

TEST(SolidsPrimitive, UnsizedSolidLeavesTheBodyAndNamedSetIsUnmapped) {
    TmidBody body;
    body.polyGeom()->appendVertex(1, 2, 3);
    TpolyGeom* before = body.polyGeom();
    TmeshSolidsFty solid;
    solid.build(body);
    EXPECT_EQ(body.polyGeom(), before);
    EXPECT_EQ(body.vertexCount(), 1u);
    solid.setLength(0);  // length not positive, radius unset
    solid.build(body);
    EXPECT_EQ(body.polyGeom(), before);
    EXPECT_EQ(body.vertexCount(), 1u);

    // A radius too small to build with falls back to 1 and is written back.
    solid.setRadius(0);
    solid.setType(TmeshSolidsFty::kOctahedron);
    solid.setUVSetName(Tstring("solidUV"));
    solid.build(body);
    EXPECT_EQ(solid.radius(), 1.0f);
    EXPECT_EQ(body.vertexCount(), 6u);
    const TpolyGeom& g = *body.polyGeom();
    ASSERT_EQ(g.nbMapSet(), 1u);
    EXPECT_EQ((*g.maps())[0].nbUV(), 0u);
    EXPECT_EQ((*g.maps())[0].indexArray().size(), g.faceDescLength());
}
