#include <gtest/gtest.h>

#include <random>

#include "ops/OpsTestSupport.h"
#include "support/SurfaceCheck.h"

using opstest::allOf;
using opstest::bodyOf;
using opstest::facesOf;

namespace {
int runNormal(TmidBody& body, short mode, TmidFaceComponent list) {
    TpolyNormalFty fty;
    fty.setNormalMode(mode);
    return fty.doAction(&body, &list);
}

// Flips about a third of the faces at random (seeded), through mode 0 on that subset.
void flipRandomFaces(TmidBody& body, unsigned seed) {
    std::mt19937 rng(seed);
    TmidFaceComponent some;
    for (uint32_t f = 0; f < body.polyGeom()->nbFace(); ++f)
        if (rng() % 3 == 0) some.addElement(f);
    ASSERT_EQ(runNormal(body, 0, some), 0);
}
}  // namespace

TEST(Normal, ReverseKeepsCornersAndHardensNewBorders) {
    auto tri = std::make_unique<TpolyGeom>();
    tri->appendVertex(0, 0, 0);
    tri->appendVertex(1, 0, 0);
    tri->appendVertex(0, 1, 0);
    addRingFace(*tri, {0, 1, 2});
    attributed::decorate(*tri);
    tri->update(dirtyFaceNormalize);
    auto body = bodyOf(std::move(tri));
    TpolyGeom& g = *body->polyGeom();
    ASSERT_EQ(runNormal(*body, 7, facesOf({0})), 0);  // out-of-range modes reverse
    const uint32_t rev = TpolyBits::kReversedUse, ends = TpolyBits::kEndOfLoop | TpolyBits::kEndOfFace;
    EXPECT_EQ(g.getFaceEdge(0), 2u | rev);
    EXPECT_EQ(g.getFaceEdge(1), 1u | rev);
    EXPECT_EQ(g.getFaceEdge(2), 0u | rev | ends);
    EXPECT_EQ(g.faceNormalConst(0).z, -1.0f);
    EXPECT_EQ(attributed::cornerErrors(g), 0);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);

    // One of two faces: the shared edge now has both faces on one side and becomes hard.
    auto grid = bodyOf(attributed::grid(2));
    TpolyGeom& q = *grid->polyGeom();
    for (uint32_t e = 0; e < q.nbEdge(); ++e) q.setSmooth(e);
    ASSERT_EQ(runNormal(*grid, 0, facesOf({0})), 0);
    q.update(dirtyEdgeToFace);
    const uint32_t shared = q.getEdge(q.faceOffset(1) + 3);  // face 1's left edge
    EXPECT_TRUE(q.isHard(shared));
    EXPECT_EQ(attributed::cornerErrors(q), 0);
}

TEST(Normal, ReversingTwiceRestoresEverything) {
    auto body = bodyOf(opstest::bunny());
    TpolyGeom& g = *body->polyGeom();
    g.update(dirtyAll);
    g.setUserNormal(g.getNormalId(5), T4dFltVector(0, 0, 1));
    const std::string before = opstest::recordState(g);
    auto all = allOf<TmidFaceComponent>(g.nbFace());
    ASSERT_EQ(runNormal(*body, 0, all), 0);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    EXPECT_EQ(attributed::cornerErrors(g), 0);
    g.update(dirtyAll);
    // Corner 5 now stands elsewhere in its face; whichever normal id it has, its user normal is
    // the negated one.
    uint32_t found = 0;
    for (uint32_t id = 0; id < g.nbUserNormal(); ++id)
        if (const T4dFltVector* n = g.getValidUserNormal(id)) found += n->z == -1.0f;
    EXPECT_EQ(found, 1u);
    ASSERT_EQ(runNormal(*body, 0, all), 0);
    g.removeGroup(-1, kPolyGrpFace);
    EXPECT_EQ(opstest::recordState(g), before);
}

TEST(Normal, ConformFixesRandomFlips) {
    for (short mode : {1, 2}) {
        auto body = bodyOf(attributed::grid(20));
        TpolyGeom& g = *body->polyGeom();
        flipRandomFaces(*body, 11);
        EXPECT_GT(inspectSurface(g).badEdges, 0u);
        const uint32_t start = 0;  // flipped or not, the shell follows the first selected face
        TpolyGeom reference(g);
        ASSERT_EQ(runNormal(*body, mode, allOf<TmidFaceComponent>(g.nbFace())), 0);
        const SurfaceFacts s = inspectSurface(g);
        EXPECT_EQ(s.badEdges, 0u);
        EXPECT_EQ(s.brokenChains, 0u);
        EXPECT_EQ(attributed::cornerErrors(g), 0);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        if (mode == 1) {
            reference.update(dirtyFaceOffsets);
            EXPECT_EQ(g.getFaceEdge(g.faceOffset(start)), reference.getFaceEdge(reference.faceOffset(start)));
        }
    }

    // Majority: on a closed cube with face 0 reversed, the other five win.
    auto cube = bodyOf(attributed::cube());
    TpolyGeom& c = *cube->polyGeom();
    ASSERT_EQ(runNormal(*cube, 0, facesOf({0})), 0);
    ASSERT_EQ(runNormal(*cube, 2, allOf<TmidFaceComponent>(6)), 0);
    expectClosed(c, 2);
    // Mode 1 follows face 0 instead: everything else turns inwards.
    ASSERT_EQ(runNormal(*cube, 0, facesOf({0})), 0);
    ASSERT_EQ(runNormal(*cube, 1, allOf<TmidFaceComponent>(6)), 0);
    EXPECT_LT(inspectSurface(c).volume, 0);
    EXPECT_EQ(inspectSurface(c).badEdges, 0u);
}

TEST(Normal, ShellAndDetachModes) {
    auto cube = bodyOf(attributed::cube());
    ASSERT_EQ(runNormal(*cube, 4, facesOf({3})), 0);  // one face reaches the whole shell
    EXPECT_LT(inspectSurface(*cube->polyGeom()).volume, 0);
    EXPECT_EQ(inspectSurface(*cube->polyGeom()).badEdges, 0u);

    auto body = bodyOf(attributed::grid(3));
    TpolyGeom& g = *body->polyGeom();
    const uint32_t v = g.nbVertex(), e = g.nbEdge();
    ASSERT_EQ(runNormal(*body, 3, facesOf({4})), 0);  // the centre face
    EXPECT_EQ(g.nbVertex(), v + 4);
    EXPECT_EQ(g.nbEdge(), e + 4);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    const SurfaceFacts s = inspectSurface(g);
    EXPECT_EQ(s.badEdges, 0u);  // detached, so the reversed face disagrees with nobody
    EXPECT_EQ(s.borderEdges, 12u + 4u + 4u);
    g.update(dirtyFaceOffsets);
    for (uint32_t o = g.faceOffset(4); o < g.faceOffset(5); ++o) EXPECT_GE(g.getStartVertex(o), v);
    // The copies carry their originals' blind data and groups; UVs stay on their corners.
    TbdDataPtrArray bd;
    ASSERT_TRUE(g.vertexBlindData()->getBlindData(v, bd));
    EXPECT_LT(uint32_t(bd[0].value.i), v);
    float uv[2];
    g.getUV(uint32_t(g.getUVId(g.faceOffset(4), 1)), uv, 1);
    EXPECT_EQ(uv[1], 4.0f);

    TmidVertComponent wrong;
    wrong.addElement(0);
    TpolyNormalFty fty;
    const std::string state = opstest::recordState(g);
    EXPECT_EQ(fty.doAction(body.get(), &wrong), -1);
    EXPECT_EQ(opstest::recordState(g), state);
}
