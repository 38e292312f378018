#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ops/OpsTestSupport.h"
#include "support/SurfaceCheck.h"

using opstest::bodyOf;
using opstest::recordState;

namespace {
T4dDblMatrix placed(double sx, double tx) {
    T4dDblMatrix m;
    m.m[0][0] = sx;
    m.m[3][0] = tx;
    return m;
}

int runUnite(TmidBody& target, std::vector<TmidBody*> bodies, std::vector<T4dDblMatrix> matrices) {
    TpolyUniteFty fty;
    fty.setObjects(bodies.data());
    fty.setMatrices(matrices.data());
    fty.setNbObjects(short(bodies.size()));
    return fty.doAction(&target, nullptr);
}

// Corners of the result whose decorated values (see attributed::decorate) do not name the
// vertex and face they stood at in their own record: the result's ids less that record's offsets.
int cornerOriginErrors(TpolyGeom& g, const std::vector<uint32_t>& vertexBase, const std::vector<uint32_t>& faceBase) {
    g.update(dirtyFaceOffsets);
    int errors = 0;
    for (size_t i = 0; i < faceBase.size(); ++i) {
        const uint32_t end = i + 1 < faceBase.size() ? faceBase[i + 1] : g.nbFace();
        for (uint32_t f = faceBase[i]; f < end; ++f)
            for (uint32_t o = g.faceOffset(f); o < g.faceOffset(f + 1); ++o) {
                const float v = float(g.getStartVertex(o) - vertexBase[i]), face = float(f - faceBase[i]);
                float a[2], b[2], c[4];
                const bool ok = g.getUV(uint32_t(g.getUVId(o, 0)), a, 0) && g.getUV(uint32_t(g.getUVId(o, 1)), b, 1) &&
                                g.getColorByOffset(o, c, 0);
                if (!ok || a[0] != v || a[1] != 0.25f || b[0] != v || b[1] != face || c[0] != v || c[1] != face)
                    ++errors;
            }
    }
    return errors;
}
}  // namespace

TEST(Unite, TwoCubesOffsetIdsAndMirroredLoopsKeepCorners) {
    for (bool mirrorFirst : {false, true}) {
        SCOPED_TRACE(mirrorFirst);
        auto a = bodyOf(attributed::cube()), b = bodyOf(attributed::cube());
        TmidBody target;
        // The second cube is mirrored across x = 0 and moved out of the first: its loops run the
        // other way so that it still faces out.
        ASSERT_EQ(
            runUnite(target, {a.get(), b.get()}, {placed(mirrorFirst ? -1 : 1, mirrorFirst ? 1 : 0), placed(-1, 3)}),
            0);
        TpolyGeom& g = *target.polyGeom();
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        const SurfaceFacts s = expectClosed(g, 4, 16, 24, 12);
        EXPECT_NEAR(s.volume, 2.0, 1e-5);
        for (uint32_t e = 12; e < 24; ++e) EXPECT_GE(g.startVertex(e), 8u);
        g.update(dirtyFaceOffsets);
        for (uint32_t o = g.faceOffset(6); o < g.faceDescLength(); ++o) EXPECT_GE(g.getEdge(o), 12u);
        EXPECT_EQ(cornerOriginErrors(g, {0, 8}, {0, 6}), 0);
        EXPECT_EQ(g.vertexConst(9).x, 2.0f);  // vertex 1 at x = 1, mirrored to -1, moved by 3
        // Sets are reused, not appended again: the first cube's UVs keep their ids.
        EXPECT_EQ(g.nbMapSet(), 2u);
        EXPECT_EQ(g.nbUV(0), 16u);
        for (uint32_t o = 0; o < 24; ++o) EXPECT_EQ(g.getUVId(o, 0), int32_t(g.getStartVertex(o)));
    }
    // The sources are read only; the first body may also receive the result.
    auto a = bodyOf(attributed::cube()), b = bodyOf(attributed::grid(2));
    const std::string second = recordState(*b->polyGeom());
    ASSERT_EQ(runUnite(*a, {a.get(), b.get()}, {T4dDblMatrix(), placed(1, 5)}), 0);
    EXPECT_EQ(recordState(*b->polyGeom()), second);
    EXPECT_EQ(a->polyGeom()->nbFace(), 10u);
    EXPECT_EQ(cornerOriginErrors(*a->polyGeom(), {0, 8}, {0, 6}), 0);
}

TEST(Unite, SetsGroupsCreasesBlindDataAndUserNormalsAreUnited) {
    auto a = bodyOf(attributed::cube()), b = bodyOf(attributed::grid(2));
    TpolyGeom& bg = *b->polyGeom();
    // The grid's first set goes by another name and its colours by none of the cube's.
    Tstring other("other");
    bg.setMapName(0, other, false);
    Tstring paint("paint");
    bg.setColorName(0, paint, false);
    bg.update(dirtyAll);
    const T4dFltVector tilted(0.6f, 0, 0.8f);
    bg.setUserNormal(bg.getNormalId(0), tilted);
    TmidBody target;
    ASSERT_EQ(runUnite(target, {a.get(), b.get()}, {T4dDblMatrix(), placed(-1, 0)}), 0);
    TpolyGeom& g = *target.polyGeom();
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    ASSERT_EQ(g.nbMapSet(), 3u);  // map1, map2, other
    uint32_t map1 = 9, otherSet = 9, colours = 9;
    ASSERT_TRUE(g.findMapSet("map1", map1));
    ASSERT_TRUE(g.findMapSet("other", otherSet));
    ASSERT_TRUE(g.findColorSet("paint", colours));
    EXPECT_EQ(g.nbColorSet(), 2u);
    g.update(dirtyFaceOffsets);
    const uint32_t split = g.faceOffset(6);
    for (uint32_t o = 0; o < g.faceDescLength(); ++o) {
        EXPECT_EQ(g.isMappedAtOffset(o, map1), o < split);
        EXPECT_EQ(g.isMappedAtOffset(o, otherSet), o >= split);
        EXPECT_EQ(g.hasColorAtOffset(o, colours), o >= split);
        EXPECT_EQ(g.isMappedAtOffset(o, 1), true);  // map2 both have
    }
    EXPECT_EQ(g.nbUV(otherSet), 9u);

    // Groups by name and kind, members raised by each record's offsets.
    EXPECT_EQ(g.nbElem(3, kPolyGrpFace), 3u + 2u);
    EXPECT_TRUE(g.isInGroup(kPolyGrpFace, 3, 6 + 2));
    EXPECT_TRUE(g.isInGroup(kPolyGrpVertex, 5, 8 + 8));
    EXPECT_FALSE(g.isInGroup(kPolyGrpVertex, 5, 8 + 7));
    EXPECT_EQ(g.nbElem(6, kPolyGrpVertexFace), 6u + 4u);
    TuInt32Array creased(16);
    TdoubleArray values(16);
    ASSERT_TRUE(g.getCreaseEdges(creased, values));
    ASSERT_EQ(creased.size(), values.size());
    for (uint32_t k = 0; k < creased.size(); ++k) {
        const uint32_t e = creased[k] < 12 ? creased[k] : creased[k] - 12;
        EXPECT_EQ(values[k], 0.5 + e);
    }
    EXPECT_EQ(creased.size(), 3u + 3u);  // every fifth of 12 edges, of 12 edges again
    EXPECT_EQ(g.faceBlindData()->nbElement(), 6u + 4u);
    TbdDataPtrArray found;
    ASSERT_TRUE(g.faceBlindData()->getBlindData(9, found));
    EXPECT_EQ(found[0].value.i, 3);  // the grid's face 3

    // The grid's corner 0 stands at result corner split under the mirroring matrix (the first
    // corner of each loop stays first); its normal is the reflected one.
    g.update(dirtyAll);
    const T4dFltVector* n = g.getValidUserNormal(g.getNormalId(split));
    ASSERT_NE(n, nullptr);
    EXPECT_NEAR(n->x, -0.6f, 1e-6);
    EXPECT_NEAR(n->z, 0.8f, 1e-6);
}

TEST(Unite, SampleWithItsMirrorAndBadInput) {
    auto bunny = bodyOf(opstest::bunny());
    ASSERT_TRUE(bunny->polyGeom());
    TpolyGeom& src = *bunny->polyGeom();
    const SurfaceFacts one = inspectSurface(src);
    TmidBody target;
    ASSERT_EQ(runUnite(target, {bunny.get(), bunny.get()}, {T4dDblMatrix(), placed(-1, 0)}), 0);
    TpolyGeom& g = *target.polyGeom();
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    const SurfaceFacts two = inspectSurface(g);
    EXPECT_EQ(two.v, 2 * one.v);
    EXPECT_EQ(two.f, 2 * one.f);
    EXPECT_EQ(two.borderEdges, 2 * one.borderEdges);
    EXPECT_EQ(two.badEdges, 2 * one.badEdges);
    EXPECT_NEAR(two.volume, 2 * one.volume, 1e-4 * std::fabs(one.volume));
    EXPECT_EQ(cornerOriginErrors(g, {0, one.v}, {0, one.f}), 0);

    // No objects, or no arrays: refused, the target untouched.
    const std::string state = recordState(g);
    EXPECT_EQ(runUnite(target, {}, {}), -1);
    TpolyUniteFty fty;
    TmidBody* objects[1] = {bunny.get()};
    fty.setObjects(objects);
    fty.setNbObjects(1);
    EXPECT_EQ(fty.doAction(&target, nullptr), -1);
    TmidBody recordless(nullptr);
    EXPECT_EQ(runUnite(target, {bunny.get(), &recordless}, {T4dDblMatrix(), T4dDblMatrix()}), -1);
    EXPECT_EQ(recordState(g), state);

    // A singular matrix flattens its record but leaves a consistent result; one object is a
    // placed copy.
    auto cube = bodyOf(attributed::cube());
    TmidBody flat, single;
    ASSERT_EQ(runUnite(flat, {cube.get(), cube.get()}, {T4dDblMatrix(), placed(0, 0)}), 0);
    EXPECT_EQ(flat.polyGeom()->checkObject(kCheckAll), 0u);
    EXPECT_EQ(flat.polyGeom()->nbVertex(), 16u);
    ASSERT_EQ(runUnite(single, {cube.get()}, {placed(1, 2)}), 0);
    EXPECT_EQ(single.polyGeom()->nbFace(), 6u);
    EXPECT_EQ(single.polyGeom()->vertexConst(1).x, 3.0f);

    std::unique_ptr<TmidModifierFty> made(TmodifierRegistry::create("TpolyUniteFty"));
    ASSERT_TRUE(made);
    EXPECT_TRUE(TmodifierRegistry::setParameter(*made, "NbObjects", "2"));
    EXPECT_EQ(static_cast<const TpolyUniteFty&>(*made).NbObjects(), 2);
}
