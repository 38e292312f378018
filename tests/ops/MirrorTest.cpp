#include <gtest/gtest.h>

#include <cmath>

#include "ops/OpsTestSupport.h"
#include "support/SurfaceCheck.h"

using opstest::allOf;
using opstest::bodyOf;
using opstest::facesOf;
using opstest::recordState;

namespace {
// The unit cube without its face in the plane x = 0: open along that plane.
std::unique_ptr<TpolyGeom> halfBox() {
    auto g = std::make_unique<TpolyGeom>();
    for (uint32_t v = 0; v < 8; ++v) g->appendVertex(float(v & 1), float((v >> 1) & 1), float((v >> 2) & 1));
    for (const std::vector<uint32_t>& f :
         std::vector<std::vector<uint32_t>>{{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {1, 3, 7, 5}})
        addRingFace(*g, f);
    attributed::decorate(*g);
    return g;
}

int runMirror(TmidBody& body, int dir, int mode, double tolerance, T3dDblPoint pivot = {},
              TmidComponent* list = nullptr) {
    TpolyMirrorFty fty;
    fty.setMirrorDir(TpolyMirrorFty::TmirrorDir(dir));
    fty.setMergeMode(TpolyMirrorFty::TmergeMode(mode));
    fty.setMergeTolerance(tolerance);
    fty.setPivot(pivot);
    return fty.doAction(&body, list);
}

int runChipOff(TmidBody& body, TmidFaceComponent list, bool together, bool duplicate,
               T4dFltVector trans = T4dFltVector()) {
    TpolyChipOffFty fty;
    fty.setChipOffMode(together);
    fty.setDuplicate(duplicate);
    fty.setScale(T4dFltVector(1, 1, 1));
    fty.setTrans(trans);
    return fty.doAction(&body, &list);
}

// The values of the UV sets and colour sets at a corner, in one comparable row.
std::vector<float> cornerValues(const TpolyGeom& g, uint32_t corner) {
    std::vector<float> row;
    for (uint32_t s = 0; s < g.nbMapSet(); ++s) {
        float uv[2] = {-7, -7};
        g.getUV(uint32_t(g.getUVId(corner, s)), uv, s);
        row.insert(row.end(), uv, uv + 2);
    }
    for (uint32_t s = 0; s < g.nbColorSet(); ++s) {
        float c[4] = {-7, -7, -7, -7};
        g.getColorByOffset(corner, c, s);
        row.insert(row.end(), c, c + 4);
    }
    return row;
}
}  // namespace

TEST(ChipOff, CopyCarriesCornersGroupsCreasesAndBlindData) {
    auto body = bodyOf(attributed::cube());
    TpolyGeom& g = *body->polyGeom();
    g.update(dirtyFaceOffsets);
    const uint32_t blindBefore = g.faceBlindData()->nbElement();
    // Faces 0 and 2 share the edge from vertex 0 to 1: together they keep it, apart they do not.
    ASSERT_EQ(runChipOff(*body, facesOf({0, 2}), true, true, T4dFltVector(0, 0, 5)), 0);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    EXPECT_EQ(g.nbVertex(), 14u);
    EXPECT_EQ(g.nbEdge(), 19u);
    ASSERT_EQ(g.nbFace(), 8u);
    g.update(dirtyFaceOffsets);
    for (uint32_t k = 0; k < 2; ++k) {
        const uint32_t source = k == 0 ? 0 : 2, copy = 6 + k;
        ASSERT_EQ(g.faceVertexCount(copy), 4u);
        for (uint32_t c = 0; c < 4; ++c) {
            const uint32_t o = g.faceOffset(source) + c, oc = g.faceOffset(copy) + c;
            EXPECT_EQ(cornerValues(g, o), cornerValues(g, oc));
            EXPECT_NE(g.getUVId(o, 1), g.getUVId(oc, 1));  // values of the copy's own
            const T3dFltPoint p = g.vertexConst(g.getStartVertex(o)), q = g.vertexConst(g.getStartVertex(oc));
            EXPECT_EQ(q.z, p.z + 5);
            EXPECT_EQ(g.getEdge(oc) >= 12, true);
        }
    }
    // The copies of faces 0 and 2 join face group 3 (even faces); the copy is the current face
    // group and no current vertex group is left behind.
    EXPECT_TRUE(g.isInGroup(kPolyGrpFace, 3, 6));
    EXPECT_TRUE(g.isInGroup(kPolyGrpFace, 3, 7));
    EXPECT_FALSE(g.isInGroup(kPolyGrpFace, 3, 1));
    EXPECT_EQ(g.nbElem(-1, kPolyGrpFace), 2u);
    EXPECT_TRUE(g.isInGroup(kPolyGrpFace, -1, 7));
    EXPECT_FALSE(g.hasObjectGroup(-1, kPolyGrpVertex));
    EXPECT_EQ(g.faceBlindData()->nbElement(), blindBefore + 2);
    // Edge 0 (vertices 0 and 2, creased 0.5) is the first edge copied.
    double value = 0;
    EXPECT_TRUE(g.getCreaseValue(12, value));
    EXPECT_EQ(value, 0.5);

    auto apart = bodyOf(attributed::cube());
    ASSERT_EQ(runChipOff(*apart, facesOf({0, 2}), false, true), 0);
    EXPECT_EQ(apart->polyGeom()->nbVertex(), 16u);
    EXPECT_EQ(apart->polyGeom()->nbEdge(), 20u);
    EXPECT_EQ(apart->polyGeom()->checkObject(kCheckAll), 0u);
}

TEST(ChipOff, ExtractRemovesTheOriginalsAndRefusalsChangeNothing) {
    auto body = bodyOf(attributed::grid(3));
    ASSERT_EQ(runChipOff(*body, facesOf({4}), true, false, T4dFltVector(0, 0, 1)), 0);
    TpolyGeom& g = *body->polyGeom();
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    EXPECT_EQ(g.nbFace(), 9u);
    EXPECT_EQ(g.nbVertex(), 20u);
    const SurfaceFacts s = inspectSurface(g);
    EXPECT_EQ(s.borderEdges, 20u);  // the holed grid's 12 + 4, and the piece's 4
    EXPECT_TRUE(g.isInGroup(kPolyGrpFace, -1, 8));
    for (uint32_t o = g.faceOffset(8); o < g.faceOffset(9); ++o) EXPECT_EQ(g.vertexConst(g.getStartVertex(o)).z, 1.0f);

    auto grid = bodyOf(attributed::grid(2));
    TpolyGeom& q = *grid->polyGeom();
    const std::string before = recordState(q);
    EXPECT_EQ(runChipOff(*grid, TmidFaceComponent(), true, true), -1);
    EXPECT_EQ(runChipOff(*grid, facesOf({40}), true, true), -1);
    TpolyChipOffFty singular;
    T4dDblMatrix flat;
    flat.m[2][2] = 0;
    singular.setMatrix(flat);
    TmidFaceComponent one = facesOf({1});
    EXPECT_EQ(singular.doAction(grid.get(), &one), -1);
    TpolyChipOffFty gained;
    gained.setNbComponents(q.nbVertex());
    gained.createGain();  // covers the originals, not the copy
    EXPECT_EQ(gained.doAction(grid.get(), &one), -1);
    EXPECT_EQ(recordState(q), before);
}

TEST(ChipOff, MirroringMoveTurnsTheCopysUserNormals) {
    auto body = bodyOf(attributed::grid(1));
    TpolyGeom& g = *body->polyGeom();
    g.update(dirtyAll);
    const T4dFltVector tilted(0.6f, 0, 0.8f);
    for (uint32_t o = 0; o < 4; ++o) g.setUserNormal(g.getNormalId(o), tilted);
    TpolyChipOffFty fty;
    fty.setScale(T4dFltVector(-1, 1, 1));
    TmidFaceComponent all = facesOf({0});
    ASSERT_EQ(fty.doAction(body.get(), &all), 0);
    g.update(dirtyAll);
    // The copy still winds as its source, so its normal is the reflected one reversed; the face
    // reversal that a mirror runs next makes it the reflection (-0.6, 0, 0.8).
    for (uint32_t o = 4; o < 8; ++o) {
        const T4dFltVector* n = g.getValidUserNormal(g.getNormalId(o));
        ASSERT_NE(n, nullptr);
        EXPECT_NEAR(n->x, 0.6f, 1e-6);
        EXPECT_NEAR(n->z, -0.8f, 1e-6);
    }
    for (uint32_t o = 0; o < 4; ++o) EXPECT_EQ(*g.getValidUserNormal(g.getNormalId(o)), tilted);
}

TEST(Mirror, WeldingAHalfOpenOnThePlaneClosesIt) {
    for (int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        auto body = bodyOf(halfBox());
        ASSERT_EQ(runMirror(*body, 0, mode, 0.01), 0);
        TpolyGeom& g = *body->polyGeom();
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        const SurfaceFacts s = expectClosed(g, 2, 12, 20, 10);
        EXPECT_NEAR(s.volume, 2.0, 1e-5);
        EXPECT_TRUE(s.allMapped);
        // Current groups are gone; the reflected faces kept the groups of theirs sources.
        EXPECT_EQ(g.findGrp(-1, kPolyGrpFace), -1);
        EXPECT_EQ(g.findGrp(-1, kPolyGrpVertex), -1);
    }
    // Copy only: the two halves stay apart, each open.
    auto body = bodyOf(halfBox());
    ASSERT_EQ(runMirror(*body, 1, 0, 0.01), 0);
    const SurfaceFacts s = inspectSurface(*body->polyGeom());
    EXPECT_EQ(s.v, 16u);
    EXPECT_EQ(s.f, 10u);
    EXPECT_EQ(s.borderEdges, 8u);
    EXPECT_EQ(s.badEdges, 0u);
    EXPECT_NEAR(s.volume, 2.0, 1e-5);  // both open boxes face out; their missing caps hold the origin
}

TEST(Mirror, DirectionPairsAgreeAndTheListIsIgnored) {
    for (int axis = 0; axis < 3; ++axis) {
        auto a = bodyOf(halfBox()), b = bodyOf(halfBox());
        TmidFaceComponent one = facesOf({0});
        ASSERT_EQ(runMirror(*a, 2 * axis, 0, 0, {0.5, 0.5, 0.5}), 0);
        ASSERT_EQ(runMirror(*b, 2 * axis + 1, 0, 0, {0.5, 0.5, 0.5}, &one), 0);
        EXPECT_EQ(recordState(*a->polyGeom()), recordState(*b->polyGeom()));
        EXPECT_EQ(a->polyGeom()->nbFace(), 10u);
        // Reflected about the box's own centre plane, every vertex lands on one of the box's.
        for (uint32_t v = 8; v < 16; ++v) {
            const T3dFltPoint p = a->polyGeom()->vertexConst(v);
            EXPECT_TRUE(p[axis] == 0 || p[axis] == 1);
        }
    }
}

TEST(Mirror, WeldsBorderVerticesOnlyAndHonoursTheWorldFrame) {
    // A lid lifted to z = 1 whose middle vertex dips into the plane z = 0: mirrored along z, the
    // middle vertex meets its copy but is not on the border, so it stays apart.
    auto lid = attributed::grid(2);
    for (uint32_t v = 0; v < lid->nbVertex(); ++v) lid->vertex(v).z = v == 4 ? 0.0f : 1.0f;
    auto body = bodyOf(std::move(lid));
    ASSERT_EQ(runMirror(*body, 4, 1, 0.5), 0);
    EXPECT_EQ(body->polyGeom()->nbVertex(), 18u);
    EXPECT_EQ(body->polyGeom()->checkObject(kCheckAll), 0u);

    // Mirroring about x = 0 in a frame shifted by +1 is mirroring about x = -1.
    auto framed = bodyOf(halfBox()), shifted = bodyOf(halfBox());
    TpolyMirrorFty fty;
    fty.setMirrorDir(TpolyMirrorFty::kPositiveX);
    fty.setMergeMode(TpolyMirrorFty::kCopyOnly);
    T4dDblMatrix shift;
    shift.m[3][0] = 1;
    fty.setWorldMatrix(shift);
    ASSERT_EQ(fty.doAction(framed.get(), nullptr), 0);
    ASSERT_EQ(runMirror(*shifted, 0, 0, 0, {-1, 0, 0}), 0);
    for (uint32_t v = 0; v < 16; ++v) {
        const T3dFltPoint p = framed->polyGeom()->vertexConst(v), q = shifted->polyGeom()->vertexConst(v);
        EXPECT_NEAR(p.x, q.x, 1e-6);
        EXPECT_EQ(p.y, q.y);
    }
}

TEST(Mirror, SampleMeshDoublesAndBadInputChangesNothing) {
    auto body = bodyOf(opstest::decoratedSample("suzanne.obj"));
    ASSERT_TRUE(body->polyGeom());
    TpolyGeom& g = *body->polyGeom();
    const SurfaceFacts before = inspectSurface(g);
    ASSERT_EQ(runMirror(*body, 0, 0, 0), 0);
    EXPECT_EQ(g.checkObject(kCheckAll), 0u);
    const SurfaceFacts after = inspectSurface(g);
    EXPECT_EQ(after.v, 2 * before.v);
    EXPECT_EQ(after.f, 2 * before.f);
    EXPECT_EQ(after.borderEdges, 2 * before.borderEdges);
    EXPECT_NEAR(after.volume, 2 * before.volume, 1e-3 * std::fabs(before.volume) + 1e-4);
    for (int mode : {1, 2}) {
        auto welded = bodyOf(opstest::decoratedSample("suzanne.obj"));
        ASSERT_EQ(runMirror(*welded, 0, mode, 1e-4, {2, 0, 0}), 0);
        EXPECT_EQ(welded->polyGeom()->checkObject(kCheckAll), 0u);
        EXPECT_EQ(inspectSurface(*welded->polyGeom()).badEdges, 0u);
    }

    const std::string state = recordState(g);
    EXPECT_EQ(runMirror(*body, 6, 0, 0), -1);
    TpolyMirrorFty singular;
    singular.setMirrorDir(TpolyMirrorFty::kPositiveY);
    singular.setMergeMode(TpolyMirrorFty::kWeldBorder);
    T4dDblMatrix flat;
    flat.m[0][0] = 0;
    singular.setMatrix(flat);
    EXPECT_EQ(singular.doAction(body.get(), nullptr), -1);
    singular.setMatrix(T4dDblMatrix());
    singular.setWorldMatrix(flat);
    EXPECT_EQ(singular.doAction(body.get(), nullptr), -1);
    EXPECT_EQ(recordState(g), state);

    auto empty = bodyOf(std::make_unique<TpolyGeom>());
    EXPECT_EQ(runMirror(*empty, 0, 1, 0.1), 0);
    EXPECT_EQ(empty->polyGeom()->nbVertex(), 0u);
    EXPECT_EQ(empty->polyGeom()->nbGroup(), 0u);
}

TEST(Mirror, RegisteredWithItsParameters) {
    std::unique_ptr<TmidModifierFty> fty(TmodifierRegistry::create("TpolyMirrorFty"));
    ASSERT_TRUE(fty);
    EXPECT_TRUE(TmodifierRegistry::setParameter(*fty, "mirrorDir", "2"));
    EXPECT_TRUE(TmodifierRegistry::setParameter(*fty, "mergeMode", "1"));
    EXPECT_TRUE(TmodifierRegistry::setParameter(*fty, "mergeTolerance", "0.25"));
    EXPECT_TRUE(TmodifierRegistry::setParameter(*fty, "pivot", "1 2 3"));
    EXPECT_FALSE(TmodifierRegistry::setParameter(*fty, "pivot", "1 2"));
    const auto& mirror = static_cast<const TpolyMirrorFty&>(*fty);
    EXPECT_EQ(mirror.mirrorDir(), TpolyMirrorFty::kPositiveY);
    EXPECT_EQ(mirror.mergeMode(), TpolyMirrorFty::kWeldBorder);
    EXPECT_EQ(mirror.mergeTolerance(), 0.25);
    EXPECT_EQ(mirror.pivot().z, 3.0);
    std::unique_ptr<TmidModifierFty> chip(TmodifierRegistry::create("TpolyChipOffFty"));
    ASSERT_TRUE(chip);
    EXPECT_TRUE(TmodifierRegistry::setParameter(*chip, "Duplicate", "false"));
    EXPECT_TRUE(TmodifierRegistry::setParameter(*chip, "Scale", "1 1 -1"));  // the move family's
    EXPECT_FALSE(static_cast<const TpolyChipOffFty&>(*chip).Duplicate());
}
