#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <tuple>

#include "brindle/brindle.h"
#include "support/SurfaceCheck.h"

namespace {

struct Dims {
    uint32_t nx, ny, nz;
};

std::unique_ptr<TpolyGeom> makeBox(Dims d, const char* uvSet = "", int texture = 0, float w = 1, float h = 1,
                                   float depth = 1) {
    TmeshBoxFty box;
    box.setXSubdivide(d.nx);
    box.setYSubdivide(d.ny);
    box.setZSubdivide(d.nz);
    box.setWidth(w);
    box.setHeight(h);
    box.setDepth(depth);
    box.setTexture(TmeshBoxFty::TtexType(texture));
    box.setUVSetName(uvSet);
    auto g = box.createBox();
    g->update(dirtyFaceOffsets);
    return g;
}

// Twice the signed area of a face's UV polygon.
double uvArea2(const TpolyGeom& g, const TpolyMap& map, uint32_t f) {
    double a = 0;
    const uint32_t first = g.faceOffset(f), n = g.faceVertexCount(f);
    for (uint32_t k = 0; k < n; ++k) {
        const T2FloatPair& p = map.values()[uint32_t(map.getIndex(first + k))];
        const T2FloatPair& q = map.values()[uint32_t(map.getIndex(first + (k + 1) % n))];
        a += double(p.u) * q.v - double(q.u) * p.v;
    }
    return a;
}

}  // namespace

TEST(BoxPrimitive, CountsLoopsOrientationAndHardEdges) {
    for (Dims d : {Dims{1, 1, 1}, Dims{2, 3, 4}, Dims{1, 5, 2}, Dims{3, 1, 1}, Dims{4, 2, 1}}) {
        SCOPED_TRACE(testing::Message() << d.nx << " x " << d.ny << " x " << d.nz);
        const float w = 2, h = 3, depth = 0.5f;
        auto g = makeBox(d, "", 0, w, h, depth);
        const uint32_t q = (d.ny + d.nx) * d.nz + d.ny * d.nx;
        const SurfaceFacts s = expectClosed(*g, 2, 2 * q + 2, 4 * q, 2 * q);

        // Every vertex on the surface, no two at the same place.
        std::set<std::tuple<float, float, float>> seen;
        auto extreme = [&](const T3dFltPoint& p) {
            return int(std::fabs(std::fabs(p.x) - w / 2) < 1e-6f) + int(std::fabs(std::fabs(p.y) - h / 2) < 1e-6f) +
                   int(std::fabs(std::fabs(p.z) - depth / 2) < 1e-6f);
        };
        for (uint32_t v = 0; v < g->nbVertex(); ++v) {
            const T3dFltPoint& p = g->vertexConst(v);
            EXPECT_GE(extreme(p), 1) << v;
            EXPECT_TRUE(seen.insert({p.x, p.y, p.z}).second) << v;
        }

        for (uint32_t f = 0; f < g->nbFace(); ++f) {
            ASSERT_EQ(g->faceVertexCount(f), 4u) << f;
            EXPECT_TRUE(g->endOfLoop(g->faceOffset(f) + 3)) << f;
        }

        // Hard exactly on the twelve box edges: the edges whose midpoint is extreme in two axes.
        for (uint32_t e = 0; e < g->nbEdge(); ++e) {
            const T3dFltPoint& a = g->vertexConst(g->startVertex(e));
            const T3dFltPoint& b = g->vertexConst(g->endVertex(e));
            const T3dFltPoint mid((a.x + b.x) / 2, (a.y + b.y) / 2, (a.z + b.z) / 2);
            EXPECT_EQ(g->isHard(e), extreme(mid) >= 2) << e;
        }
        EXPECT_EQ(s.hard, 4 * (d.nx + d.ny + d.nz));
        EXPECT_EQ(g->nbMapSet(), 0u);
    }
}

TEST(BoxPrimitive, UVLayoutsMapEveryCornerCounterClockwise) {
    for (Dims d : {Dims{1, 1, 1}, Dims{2, 3, 4}, Dims{3, 1, 2}}) {
        SCOPED_TRACE(testing::Message() << d.nx << " x " << d.ny << " x " << d.nz);
        const uint32_t rows = 2 * (d.ny + d.nz);
        const uint32_t sharedCount = (rows + 1) * (d.nx + 1) + 2 * (d.ny + 1) * d.nz;
        const uint32_t faceCount = 2 * ((d.nx + 1) * (d.ny + 1) + (d.nx + 1) * (d.nz + 1) + (d.nz + 1) * (d.ny + 1));
        for (int texture : {1, 2, 3}) {
            SCOPED_TRACE(texture);
            auto g = makeBox(d, "uvs", texture);
            ASSERT_EQ(g->nbMapSet(), 1u);
            EXPECT_EQ(g->getCurrentMap(), 0);
            const TpolyMap& map = (*g->maps())[0];
            EXPECT_EQ(map.nbUV(), texture == 1 ? sharedCount : faceCount);
            ASSERT_EQ(map.nbIndex(), g->faceDescLength());
            for (uint32_t o = 0; o < g->faceDescLength(); ++o) ASSERT_TRUE(map.hasValidIndexAt(o)) << o;
            // Both layouts cover six unit squares, every face wound as on the box.
            double total = 0;
            for (uint32_t f = 0; f < g->nbFace(); ++f) {
                const double a = uvArea2(*g, map, f);
                EXPECT_GT(a, 0.0) << f;
                total += a / 2;
            }
            EXPECT_NEAR(total, 6.0, 1e-5);
        }
    }

    // The shared layout joins the front to both sides: the front's outer corners reuse one UV.
    auto g = makeBox({1, 1, 1}, "uvs", 1);
    const TpolyMap& map = (*g->maps())[0];
    const T3dFltPoint corner(0.5f, -0.5f, 0.5f);
    std::set<int32_t> idsAtCorner;
    for (uint32_t o = 0; o < g->faceDescLength(); ++o)
        if (g->vertexConst(g->getStartVertex(o)) == corner) idsAtCorner.insert(map.getIndex(o));
    EXPECT_EQ(idsAtCorner.size(), 2u);  // front and side share one id; the bottom has its own
}

TEST(BoxPrimitive, RangeChecksAreWrittenBackAndUVSetRules) {
    TmeshBoxFty box;
    EXPECT_EQ(box.width(), 1.0f);
    EXPECT_EQ(box.xSubdivide(), 1u);
    EXPECT_EQ(box.texture(), TmeshBoxFty::kNoTexture);
    box.setWidth(0);
    box.setHeight(std::numeric_limits<float>::infinity());
    box.setDepth(std::nanf(""));
    box.setXSubdivide(0);
    box.setYSubdivide(1001);
    box.setZSubdivide(1000);
    auto g = box.createBox();
    EXPECT_EQ(box.width(), 1.0f);
    EXPECT_EQ(box.height(), 1.0f);
    EXPECT_EQ(box.depth(), 1.0f);
    EXPECT_EQ(box.xSubdivide(), 1u);
    EXPECT_EQ(box.ySubdivide(), 1u);
    EXPECT_EQ(box.zSubdivide(), 1000u);
    box.setDepth(2e-5f);
    box.setZSubdivide(1);
    g = box.createBox();
    EXPECT_EQ(box.depth(), 2e-5f);

    // Default box, built into a body that held another record.
    TmidBody body;
    body.polyGeom()->appendVertex(1, 2, 3);
    TmeshBoxFty plain;
    plain.build(body);
    EXPECT_EQ(body.faceCount(), 6u);
    EXPECT_EQ(body.edgeCount(), 12u);
    EXPECT_EQ(body.vertexCount(), 8u);
    for (uint32_t e = 0; e < 12; ++e) EXPECT_TRUE(body.polyGeom()->isHard(e)) << e;
    EXPECT_EQ(body.polyGeom()->dirtyMask(), uint32_t(dirtyAll));
    EXPECT_EQ(body.polyGeom()->nbMapSet(), 0u);

    // A name without texture: a set of unmapped corners and no UV points.
    Tstring name("boxUV");
    plain.setUVSetName(name);
    plain.build(body);
    const TpolyGeom& withSet = *body.polyGeom();
    ASSERT_EQ(withSet.nbMapSet(), 1u);
    EXPECT_EQ(withSet.nbUV(0), 0u);
    EXPECT_EQ(withSet.nbUVRef(0), 24u);
    EXPECT_FALSE(withSet.isMappedAtOffset(0, 0));
    Tstring got;
    withSet.mapName(0, got);
    EXPECT_EQ(got, "boxUV");
    EXPECT_EQ(withSet.getCurrentMap(), 0);

    // A texture without a name makes no set.
    TmeshBoxFty unnamed;
    unnamed.setTexture(TmeshBoxFty::kBothLayouts);
    unnamed.build(body);
    EXPECT_EQ(body.polyGeom()->nbMapSet(), 0u);
}

TEST(PrimitiveFty, UVSetCreationAndFacetMapping) {
    TmeshBoxFty fty;
    TpolyGeom g;
    uint32_t s = 7;
    EXPECT_FALSE(fty.createUVSet(g, s, true));
    EXPECT_EQ(s, TprimitiveFty::kNoSet);
    EXPECT_EQ(g.nbMapSet(), 0u);

    TmeshBoxFty named;
    named.setUVSetName("a");
    TmeshBoxFty copy(named);
    copy.setUVSetName("b");  // a new name for the copy leaves the original's alone
    Tstring text;
    named.getUVSetName(text);
    EXPECT_EQ(text, "a");
    EXPECT_TRUE(named.createUVSet(g, s, false));
    EXPECT_EQ(s, 0u);
    EXPECT_TRUE(copy.createUVSet(g, s, false));
    EXPECT_EQ(s, 1u);
    EXPECT_EQ(g.getCurrentMap(), 1);

    TprimitiveFty::MapTrigFacet(g, 0, 1, 2, 1);
    TprimitiveFty::MapQuadFacet(g, 3, 4, 5, 6, 1);
    TprimitiveFty::MapPentaFacet(g, 0, 0, 0, 0, 0, 0);
    TprimitiveFty::MapHexaFacet(g, 1, 2, 3, 4, 5, 6, TprimitiveFty::kNoSet);
    TprimitiveFty::MapHexaFacet(g, 1, 2, 3, 4, 5, 6, 9);
    const Tint32Array& ids = (*g.maps())[1].indexArray();
    ASSERT_EQ(ids.size(), 7u);
    EXPECT_EQ(ids[3], 3);
    EXPECT_EQ(ids[6], 6);
    EXPECT_EQ((*g.maps())[0].indexArray().size(), 5u);
}

namespace {
template <typename Shape>
struct Unbuilt : Shape {
    void build(TmidBody&) override {}
};
}  // namespace

TEST(PrimitiveFty, ShapeDefaultsAndSolidSizing) {
    Unbuilt<TmeshTorusFty> torus;
    EXPECT_EQ(torus.radius(), 0.5f);
    EXPECT_EQ(torus.section(), 0.25f);
    EXPECT_EQ(torus.xSubdivide(), 20u);
    EXPECT_FALSE(torus.revTexture());
    Unbuilt<TmeshPrismFty> prism;
    EXPECT_EQ(prism.texture(), TmeshPrismFty::TtexType(2));
    EXPECT_EQ(prism.type(), TmeshPrismFty::TprismType(0));
    Unbuilt<TmeshMeshFty> plane;
    EXPECT_EQ(plane.xSubdivide(), 5u);
    EXPECT_EQ(plane.texture(), TmeshMeshFty::TtexType(1));
    Unbuilt<TmeshConeFty> cone;
    EXPECT_EQ(cone.zSubdivide(), 0u);
    Unbuilt<TmeshBallFty> ball;
    EXPECT_EQ(ball.texture(), TmeshBallFty::kPolePoint);
    Unbuilt<TpolyPipeFty> pipe;
    EXPECT_EQ(pipe.thickness(), 1.0f);
    EXPECT_EQ(pipe.xSubdivide(), 3u);
    Unbuilt<TpolyHelixFty> helix;
    EXPECT_EQ(helix.numCoils(), 3.0f);
    EXPECT_EQ(helix.radius(), 0.4f);
    EXPECT_EQ(helix.direction(), TpolyHelixFty::TdirType(1));
    EXPECT_EQ(helix.ySubdivide(), 50u);
    helix.setYSubdivide(0);  // stored as given; shapes correct values when they build
    EXPECT_EQ(helix.ySubdivide(), 0u);

    Unbuilt<TmeshSolidsFty> solid;
    EXPECT_EQ(solid.radius(), -1.0f);
    EXPECT_EQ(solid.length(), -1.0f);
    solid.setRadius(2);
    EXPECT_EQ(solid.radius(), 2.0f);
    EXPECT_EQ(solid.length(), -1.0f);
    solid.setLength(3);
    EXPECT_EQ(solid.radius(), -1.0f);
    EXPECT_EQ(solid.length(), 3.0f);
    EXPECT_EQ(solid.type(), TmeshSolidsFty::kTruncatedIcosahedron);
}
