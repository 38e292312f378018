#include <gtest/gtest.h>

#include <cmath>

#include "ops/FaceOpsSupport.h"
#include "support/SurfaceCheck.h"

namespace {

bool near(const T3dFltPoint& p, float x, float y, float z, float tol = 1e-5f) {
    return std::fabs(p.x - x) < tol && std::fabs(p.y - y) < tol && std::fabs(p.z - z) < tol;
}

// The first vertex at (x, y, z), or -1.
int32_t vertexAt(const TpolyGeom& g, float x, float y, float z) {
    for (uint32_t v = 0; v < g.nbVertex(); ++v)
        if (near(g.vertexConst(v), x, y, z)) return int32_t(v);
    return -1;
}

int runSmooth(TpolySmoothFacetFty& op, TmidBody& body, TmidFaceComponent list) { return op.doAction(&body, &list); }

// An n x n grid with one UV set: (x + 10, y) at the corners of faces right of x = seam, (x, y)
// elsewhere, so that the column at the seam is a UV border.
std::unique_ptr<TmidBody> seamGrid(uint32_t n, float seam) {
    auto* g = new TpolyGeom;
    buildQuadGrid(*g, n);
    // Break the regular pattern, inside and along the seam.
    g->vertexArray()[n + 2] = T3dFltPoint(1.3f, 1.2f, 0.0f);
    g->vertexArray()[n + 3] = T3dFltPoint(2.0f, 1.4f, 0.0f);
    g->update(dirtyFaceOffsets);
    const uint32_t s = g->addLastMapSet(Tstring("map1"));
    const uint32_t row = n + 1;
    for (uint32_t side = 0; side < 2; ++side)
        for (uint32_t v = 0; v < row * row; ++v) {
            const T3dFltPoint& p = g->vertexConst(v);
            g->appendUV(p.x + 10.0f * float(side), p.y, s);
        }
    for (uint32_t f = 0; f < g->nbFace(); ++f)
        for (uint32_t o = g->faceOffset(f); o < g->faceOffset(f + 1); ++o) {
            const bool right = float(f % n) >= seam;
            g->refUV(int32_t(g->getStartVertex(o) + (right ? row * row : 0)), s);
        }
    return bodyOf(g);
}

TEST(SmoothFacet, ClosedCubeFollowsTheHandComputedStep) {
    auto body = bodyOf(new TpolyGeom);
    addUnitCube(*body->polyGeom());
    TpolySmoothFacetFty op;
    ASSERT_EQ(runSmooth(op, *body, allFaces(*body->polyGeom())), 0);
    TpolyGeom& g = *body->polyGeom();
    expectClosed(g, 2, 26, 48, 24);
    EXPECT_EQ(facesOfSize(g, 4), 24u);
    // Corner: P/3 + (sum of the three neighbours)/9 + (sum of the three face points)/9.
    const float c = 2.0f / 9.0f;
    for (uint32_t v = 0; v < 8; ++v) {
        const float x = v & 1 ? 1 - c : c, y = v & 2 ? 1 - c : c, z = v & 4 ? 1 - c : c;
        EXPECT_TRUE(near(g.vertexConst(v), x, y, z)) << v;
    }
    // Edge (0,0,0)-(1,0,0): the mean of its ends and of the face points (.5,.5,0) and (.5,0,.5).
    EXPECT_GE(vertexAt(g, 0.5f, 0.125f, 0.125f), 8);
    EXPECT_GE(vertexAt(g, 0.5f, 0.5f, 0.0f), 8);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
}

TEST(SmoothFacet, LoneQuadWithAndWithoutKeptBorders) {
    for (const bool keep : {true, false}) {
        auto body = bodyOf(new TpolyGeom);
        TpolyGeom& g0 = *body->polyGeom();
        for (const auto& p : {T3dFltPoint(0, 0, 0), T3dFltPoint(1, 0, 0), T3dFltPoint(1, 1, 0), T3dFltPoint(0, 1, 0)})
            g0.appendVertex(p);
        addRingFace(g0, {0, 1, 2, 3});
        TpolySmoothFacetFty op;
        op.setKeepBorder(keep);
        ASSERT_EQ(runSmooth(op, *body, faceList({0})), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(facesOfSize(g, 4), 4u);
        EXPECT_EQ(g.nbVertex(), 9u);
        // Kept: corners stay. Otherwise 3/4 P + 1/8 of the two border neighbours.
        const float c = keep ? 0.0f : 0.125f;
        EXPECT_TRUE(near(g.vertexConst(0), c, c, 0)) << keep;
        EXPECT_TRUE(near(g.vertexConst(2), 1 - c, 1 - c, 0)) << keep;
        // Border edge points are midpoints either way; the face point is the centre.
        EXPECT_GE(vertexAt(g, 0.5f, 0.0f, 0.0f), 4);
        EXPECT_GE(vertexAt(g, 0.5f, 0.5f, 0.0f), 4);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    }
}

TEST(SmoothFacet, HalfAGridLeavesTheOtherHalfAlone) {
    for (const bool keepSelection : {true, false}) {
        auto* g0 = new TpolyGeom;
        buildQuadGrid(*g0, 4);
        g0->vertexArray()[6] = T3dFltPoint(1.2f, 1.1f, 0.3f);
        const TpolyGeom before(*g0);
        auto body = bodyOf(g0);
        TmidFaceComponent left;
        for (uint32_t f = 0; f < 16; ++f)
            if (f % 4 < 2) left.addElement(f);
        TpolySmoothFacetFty op;
        op.setKeepSelectionBorder(keepSelection);
        ASSERT_EQ(op.doAction(body.get(), &left), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.nbFace(), 8u * 4u + 8u);
        // The right half gained the edge points of the seam as corners, nothing else.
        EXPECT_EQ(facesOfSize(g, 5), 4u);
        for (uint32_t v = 0; v < 25; ++v) {
            const T3dFltPoint& p = before.vertexConst(v);
            if (p.x > 2.5f || (keepSelection && p.x > 1.5f)) {
                EXPECT_TRUE(near(g.vertexConst(v), p.x, p.y, p.z)) << v;
            } else if (p.x > 1.5f && p.y > 0.5f && p.y < 3.5f) {
                EXPECT_FLOAT_EQ(g.vertexConst(v).x, 2.0f) << v;
            }
        }
        EXPECT_FALSE(near(g.vertexConst(6), 1.2f, 1.1f, 0.3f));
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    }
}

TEST(SmoothFacet, SeamUVsFollowTheKeepOptions) {
    for (const bool keepSeam : {true, false}) {
        auto body = seamGrid(4, 2.0f);
        const TpolyGeom before(*body->polyGeom());
        TpolySmoothFacetFty op;
        op.setSmoothUVs(true);
        op.setUvCenterType(kFaceInfoOutlineCentre);
        op.setKeepInteriorMapBorders(keepSeam);
        ASSERT_EQ(runSmooth(op, *body, allFaces(*body->polyGeom())), 0);
        TpolyGeom& g = *body->polyGeom();
        g.update(dirtyFaceOffsets);
        uint32_t seamCorners = 0, wrongOffSeam = 0, movedOnSeam = 0;
        for (uint32_t f = 0; f < g.nbFace(); ++f) {
            const T3dFltPoint centre = TpolyFaceQuery::getFaceCenter(g, f, kFaceInfoCornerMean);
            const float shift = centre.x > 2.0f ? 10.0f : 0.0f;
            for (uint32_t o = g.faceOffset(f); o < g.faceOffset(f + 1); ++o) {
                const uint32_t v = g.getStartVertex(o);
                float uv[2];
                ASSERT_TRUE(g.getUV(uint32_t(g.getUVId(o, 0)), uv, 0));
                if (std::fabs(g.vertexConst(v).x - 2.0f) < 0.05f && v < 25) {
                    // An old seam vertex: kept, or on the curve of its seam neighbours.
                    ++seamCorners;
                    const T3dFltPoint& p = before.vertexConst(v);
                    movedOnSeam += std::fabs(uv[1] - p.y) > 1e-6f;
                    EXPECT_NEAR(uv[0], 2.0f + shift, 1e-5f);
                } else if (g.vertexConst(v).x < 1.9f || g.vertexConst(v).x > 2.1f) {
                    // Away from the seam, UVs move with the positions (the rules are the same).
                    wrongOffSeam += std::fabs(uv[0] - (g.vertexConst(v).x + shift)) > 1e-4f ||
                                    std::fabs(uv[1] - g.vertexConst(v).y) > 1e-4f;
                }
            }
        }
        EXPECT_GT(seamCorners, 0u);
        EXPECT_EQ(wrongOffSeam, 0u) << keepSeam;
        EXPECT_EQ(movedOnSeam == 0, keepSeam);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    }
}

TEST(SmoothFacet, ZeroSmoothnessIsThePlainSubdivision) {
    auto makeBody = [] {
        auto* g = new TpolyGeom;
        buildQuadGrid(*g, 3);
        for (T3dFltPoint& p : g->vertexArray()) p = T3dFltPoint(2 * p.x + 0.5f * p.y, p.y, 0.25f * p.x);
        addPositionSets(*g);
        g->edgeArray()[5].v[0] |= TpolyBits::kHardFlag;
        return bodyOf(g);
    };
    auto plain = makeBody(), smooth = makeBody();
    TpolySubdFacetFty subdivide;
    TmidFaceComponent all = allFaces(*plain->polyGeom());
    ASSERT_EQ(subdivide.doAction(plain.get(), &all), 0);
    TpolySmoothFacetFty op;
    op.setSmoothness(0);
    op.setSmoothUVs(true);
    op.setKeepBorder(false);
    ASSERT_EQ(runSmooth(op, *smooth, allFaces(*smooth->polyGeom())), 0);
    TpolyGeom &a = *plain->polyGeom(), &b = *smooth->polyGeom();
    ASSERT_EQ(a.nbVertex(), b.nbVertex());
    // The same points, whatever their order.
    for (uint32_t v = 0; v < a.nbVertex(); ++v) {
        const T3dFltPoint& p = a.vertexConst(v);
        EXPECT_GE(vertexAt(b, p.x, p.y, p.z), 0) << v;
    }
    // UVs and colours stay those of the positions; the interior hard edge became soft.
    EXPECT_EQ(wrongCornerValues(b), 0u);
    b.update(dirtyEdgeToFace);
    for (uint32_t e = 0; e < b.nbEdge(); ++e) EXPECT_FALSE(!b.isBorder(e) && b.edgeArray()[e].isHard()) << e;
    EXPECT_EQ(b.checkObject(kCheckAll), 0u);
}

TEST(SmoothFacet, HardEdgesKeptAsBordersAndGroupsFollow) {
    auto* g0 = new TpolyGeom;
    buildQuadGrid(*g0, 2);
    g0->edgeArray()[7].v[0] |= TpolyBits::kHardFlag;  // the vertical edge x = 1, 0 <= y <= 1
    TbitFieldFixedN marked(4);
    marked.setBit(3);
    g0->flagsToGroup(kPolyGrpFace, 5, marked);
    TuInt32Array creased(16);
    TdoubleArray sharpness;
    creased.addLast(7);
    sharpness.addLast(2.0);
    g0->setCreaseEdges(creased, sharpness);
    auto body = bodyOf(g0);
    TpolySmoothFacetFty op;
    op.setKeepHardBorder(true);
    op.setKeepBorder(false);
    ASSERT_EQ(runSmooth(op, *body, allFaces(*body->polyGeom())), 0);
    TpolyGeom& g = *body->polyGeom();
    // Both halves of the hard edge stay hard, its ends and point stay put.
    uint32_t hard = 0;
    g.update(dirtyEdgeToFace);
    for (uint32_t e = 0; e < g.nbEdge(); ++e) hard += !g.isBorder(e) && g.edgeArray()[e].isHard();
    EXPECT_EQ(hard, 2u);
    EXPECT_TRUE(near(g.vertexConst(4), 1, 1, 0));
    EXPECT_GE(vertexAt(g, 1.0f, 0.5f, 0.0f), 9);
    EXPECT_EQ(g.nbElem(5, kPolyGrpFace), 4u);
    // Both halves of the creased edge keep its crease.
    ASSERT_TRUE(g.getCreaseEdges(creased, sharpness));
    ASSERT_EQ(creased.size(), 2u);
    EXPECT_EQ(creased[0], 7u);
    EXPECT_DOUBLE_EQ(sharpness[1], 2.0);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
}

TEST(SmoothFacet, SampleMeshSmoothedTwiceIsConsistent) {
    auto* g0 = new TpolyGeom;
    ASSERT_TRUE(loadObj(dataPath("suzanne.obj"), *g0));
    g0->update(dirtyFaceOffsets);
    const uint32_t corners = g0->faceDescLength();
    addPositionSets(*g0);
    auto body = bodyOf(g0);
    TpolySmoothFacetFty op;
    op.setDivisions(2);
    op.setSmoothUVs(true);
    op.setKeepTesselation(true);
    ASSERT_EQ(runSmooth(op, *body, allFaces(*body->polyGeom())), 0);
    TpolyGeom& g = *body->polyGeom();
    EXPECT_EQ(g.nbFace(), 4 * corners);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    EXPECT_EQ(inspectSurface(g).brokenChains, 0u);
}

TEST(SmoothFacet, BadInputAnswersWithoutHarm) {
    auto body = bodyOf(new TpolyGeom);
    addUnitCube(*body->polyGeom());
    const TpolyGeom before(*body->polyGeom());
    TpolySmoothFacetFty op;
    // No faces selected: done, nothing changed.
    EXPECT_EQ(runSmooth(op, *body, TmidFaceComponent()), 0);
    EXPECT_EQ(body->polyGeom()->compareObject(before), 0u);
    op.setDivisions(-1);
    EXPECT_EQ(runSmooth(op, *body, allFaces(before)), -1);
    EXPECT_EQ(body->polyGeom()->compareObject(before), 0u);

    // A face with a hole: left out with KeepTesselation (so Divisions 12 costs nothing and is
    // stored as 10), triangulated and smoothed without.
    auto holed = [] {
        auto* g = new TpolyGeom;
        const float outer[4][2] = {{0, 0}, {3, 0}, {3, 3}, {0, 3}}, inner[4][2] = {{1, 1}, {1, 2}, {2, 2}, {2, 1}};
        for (auto& p : outer) g->appendVertex(p[0], p[1], 0);
        for (auto& p : inner) g->appendVertex(p[0], p[1], 0);
        for (uint32_t k = 0; k < 8; ++k) g->appendEdge(k, k % 4 == 3 ? k - 3 : k + 1);
        g->bgnFace(8);
        for (uint32_t k = 0; k < 8; ++k) {
            g->refEdge(k, kForward);
            if (k == 3) g->endLoop();
        }
        g->endLoop();
        g->endFace();
        addPositionSets(*g);
        return bodyOf(g);
    };
    auto kept = holed();
    const TpolyGeom holedBefore(*kept->polyGeom());
    op.setDivisions(12);
    op.setKeepTesselation(true);
    EXPECT_EQ(runSmooth(op, *kept, faceList({0})), 0);
    EXPECT_EQ(op.Divisions(), 10);
    EXPECT_EQ(kept->polyGeom()->nbFace(), 1u);
    auto split = holed();
    op.setDivisions(1);
    op.setKeepTesselation(false);
    op.setSmoothUVs(true);
    EXPECT_EQ(runSmooth(op, *split, faceList({0})), 0);
    EXPECT_GT(split->polyGeom()->nbFace(), 8u);
    EXPECT_EQ(split->polyGeom()->checkObject(kCheckAll), 0u);

    // Unmapped faces and a NaN position: smoothed without a crash.
    auto odd = bodyOf(new TpolyGeom);
    buildQuadGrid(*odd->polyGeom(), 2);
    odd->polyGeom()->addLastMapSet(Tstring("empty"));
    odd->polyGeom()->vertexArray()[4].x = std::nanf("");
    op.setSmoothUVs(true);
    EXPECT_EQ(runSmooth(op, *odd, allFaces(*odd->polyGeom())), 0);
    EXPECT_EQ(odd->polyGeom()->nbFace(), 16u);
}

// A bumpy n x n grid, every edge hard.
std::unique_ptr<TmidBody> bumpyGrid(uint32_t n) {
    auto* g = new TpolyGeom;
    buildQuadGrid(*g, n);
    for (T3dFltPoint& p : g->vertexArray()) p.z = float((uint32_t(p.x) * 7 + uint32_t(p.y) * 3) % 5) * 0.2f;
    for (TpolyEdge& e : g->edgeArray()) e.v[0] |= TpolyBits::kHardFlag;
    return bodyOf(g);
}

TEST(SmoothFaceAny, GridThenLinearPasses) {
    // Degree 1: the plain grid subdivision.
    auto plain = bumpyGrid(2), flat = bumpyGrid(2);
    TpolySubdFaceAnyFty grid;
    grid.setDivisions(2);
    TmidFaceComponent all = allFaces(*plain->polyGeom());
    ASSERT_EQ(grid.doAction(plain.get(), &all), 0);
    TpolySmoothFaceAnyFty op;
    op.setDivisions(2);
    op.setDegree(1);
    ASSERT_EQ(op.doAction(flat.get(), &all), 0);
    ASSERT_EQ(flat->polyGeom()->nbVertex(), plain->polyGeom()->nbVertex());
    EXPECT_EQ(flat->polyGeom()->compareObject(*plain->polyGeom()), 0u);
    EXPECT_EQ(flat->polyGeom()->nbMapSet(), 0u);  // the "Unit" set is gone

    // Degree 3 moves the grid: interior points toward their neighbours, borders along themselves.
    for (const int divisions : {1, 2}) {
        auto smooth = bumpyGrid(3);
        const TpolyGeom before(*smooth->polyGeom());
        op.setDegree(3);
        op.setDivisions(divisions);
        TmidFaceComponent list = allFaces(before);
        ASSERT_EQ(op.doAction(smooth.get(), &list), 0);
        TpolyGeom& g = *smooth->polyGeom();
        EXPECT_EQ(g.nbFace(), 9u * uint32_t((divisions + 1) * (divisions + 1)));
        EXPECT_FALSE(near(g.vertexConst(5), 1, 1, before.vertexConst(5).z));
        EXPECT_FLOAT_EQ(g.vertexConst(1).y, 0.0f);  // a border vertex stays on its border line
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        EXPECT_FALSE(op.needToPreTriangulate());

        // Full push-back returns the old vertices to where the grid put them.
        auto pushed = bumpyGrid(3);
        op.setPushStrength(1);
        ASSERT_EQ(op.doAction(pushed.get(), &list), 0);
        op.setPushStrength(0);
        for (uint32_t v = 0; v < before.nbVertex(); ++v) {
            const T3dFltPoint& p = before.vertexConst(v);
            EXPECT_TRUE(near(pushed->polyGeom()->vertexConst(v), p.x, p.y, p.z, 1e-4f)) << v;
        }
        // Grid points move by the displacements of their old edge's ends or old face's corners,
        // interpolated at their place: with one division, the mean of the two or four.
        if (divisions != 1) continue;
        auto delta = [&](uint32_t i, uint32_t j) {
            const uint32_t v = j * 4 + i;
            return before.vertexConst(v) - g.vertexConst(v);
        };
        for (uint32_t v = before.nbVertex(); v < g.nbVertex(); ++v) {
            // Where the flat grid has the point: half-integer coordinates name its parents.
            const T3dFltPoint p = g.vertexConst(v);
            const T3dFltPoint moved = pushed->polyGeom()->vertexConst(v) - p;
            const float x = std::round(2 * p.x) / 2, y = std::round(2 * p.y) / 2;
            const uint32_t i0 = uint32_t(std::floor(x)), j0 = uint32_t(std::floor(y));
            const bool midX = x != std::floor(x), midY = y != std::floor(y);
            T3dFltPoint expect(0, 0, 0);
            uint32_t count = 0;
            for (uint32_t dj = 0; dj <= (midY ? 1u : 0u); ++dj)
                for (uint32_t di = 0; di <= (midX ? 1u : 0u); ++di, ++count) expect = expect + delta(i0 + di, j0 + dj);
            expect = expect * (1.0f / float(count));
            EXPECT_TRUE(near(moved, expect.x, expect.y, expect.z, 1e-4f)) << v;
        }
    }
}

TEST(SmoothFaceAny, ClampsSofteningAndBadInput) {
    auto body = bumpyGrid(2);
    const TpolyGeom before(*body->polyGeom());
    TpolySmoothFaceAnyFty op;
    TmidFaceComponent one = faceList({0}), none;
    EXPECT_EQ(op.doAction(body.get(), &none), -1);
    op.setDivisions(-4);
    EXPECT_EQ(op.doAction(body.get(), &one), 0);
    EXPECT_EQ(op.Divisions(), 0);
    EXPECT_EQ(body->polyGeom()->compareObject(before), 0u);

    // NbIter 0 softens the edges of the selected faces alone; clamps are stored.
    op.setNbIter(0);
    op.setDivisions(500);
    op.setDegree(20);
    EXPECT_EQ(op.doAction(body.get(), &one), 0);
    EXPECT_EQ(op.Divisions(), 128);
    EXPECT_EQ(op.Degree(), 16);
    uint32_t soft = 0;
    for (const TpolyEdge& e : body->polyGeom()->edgeArray()) soft += !e.isHard();
    EXPECT_EQ(soft, 4u);
    op.setDegree(0);
    EXPECT_EQ(op.doAction(body.get(), &one), 0);
    EXPECT_EQ(op.Degree(), 1);

    // A pentagon and a face with a hole are triangulated first.
    auto* g = new TpolyGeom;
    const float ring[5][2] = {{0, 0}, {2, 0}, {3, 1}, {1, 2}, {-1, 1}};
    for (auto& p : ring) g->appendVertex(p[0], p[1], 0);
    addRingFace(*g, {0, 1, 2, 3, 4});
    auto pentagon = bodyOf(g);
    op.setNbIter(2);
    op.setDivisions(1);
    op.setDegree(3);
    EXPECT_EQ(op.doAction(pentagon.get(), &one), 0);
    EXPECT_TRUE(op.needToPreTriangulate());
    EXPECT_EQ(pentagon->polyGeom()->nbFace(), 3u * 4u * 4u);
    EXPECT_EQ(pentagon->polyGeom()->checkObject(kCheckAll), 0u);
}

}  // namespace
