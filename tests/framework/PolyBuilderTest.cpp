#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "brindle/framework/PolyBuilder.h"
#include "brindle/geom/PolyGeom.h"
#include "support/ObjLoad.h"

namespace {

// A vertex builder that exposes the record for inspection.
class TestVertexBuilder : public TpolyVertexBuilder {
public:
    TestVertexBuilder() = default;
    explicit TestVertexBuilder(TpolyGeom* g) : TpolyVertexBuilder(g) {}
    TpolyGeom& record() { return *geom(); }
};

void unitSquare(TpolyBuilder& b) {
    b.createVertex(0, 0, 0);
    b.createVertex(1, 0, 0);
    b.createVertex(1, 1, 0);
    b.createVertex(0, 1, 0);
}

// Corner ids of one UV set, one per face corner.
std::vector<int32_t> uvIdsOf(const TpolyGeom& g, uint32_t set) {
    const Tint32Array& ids = (*g.maps())[set].indexArray();
    return std::vector<int32_t>(ids.begin(), ids.end());
}

}  // namespace

TEST(PolyVertexBuilder, SharesEdgesAndRefusesBadFacesWithoutChangingTheRecord) {
    TestVertexBuilder b;
    TpolyGeom& g = b.record();
    unitSquare(b);
    const int32_t first[3] = {0, 1, 2}, second[3] = {2, 1, 3};
    EXPECT_EQ(b.createFace(3, first, nullptr), 1);
    EXPECT_EQ(b.createFace(3, second, nullptr), 2);
    EXPECT_EQ(g.nbEdge(), 5u);
    // The second face walks 2 -> 1 along the first face's edge 1 -> 2.
    EXPECT_EQ(g.getEdge(3), g.getEdge(1));
    EXPECT_EQ(g.getDirection(3), kReversed);
    EXPECT_EQ(g.getDirection(1), kForward);
    EXPECT_TRUE(g.endOfFace(5) && g.endOfLoop(5) && !g.endOfLoop(4));

    const uint32_t edges = g.nbEdge(), corners = g.faceDescLength(), uvIds = g.maps()->begin()->nbIndex();
    const int32_t twice[4] = {0, 1, 2, 1}, alongOneEdge[4] = {0, 1, 0, 2}, negative[3] = {0, -1, 2};
    EXPECT_EQ(b.createFace(4, twice, nullptr), -1);
    EXPECT_EQ(b.createFace(2, first, nullptr), -1);
    EXPECT_EQ(b.createFace(3, negative, nullptr), -1);
    b.setCheckSamePointTwice(false);
    EXPECT_FALSE(b.getCheckSamePointTwice());
    EXPECT_EQ(b.createFace(4, alongOneEdge, nullptr), -1);
    EXPECT_EQ(g.nbEdge(), edges);
    EXPECT_EQ(g.faceDescLength(), corners);
    EXPECT_EQ(g.nbFace(), 2u);
    EXPECT_EQ(g.maps()->begin()->nbIndex(), uvIds);
    // With the check off, a vertex may repeat when no edge is walked twice (a pinched outline).
    const int32_t pinched[6] = {0, 1, 2, 0, 3, 2};
    EXPECT_EQ(b.createFace(6, pinched, nullptr), 3);

    // New edges are hard when the face is not smooth.
    TestVertexBuilder hard;
    unitSquare(hard);
    const int32_t quad[4] = {0, 1, 2, 3};
    hard.createFace(4, quad, nullptr, false);
    for (uint32_t e = 0; e < 4; ++e) EXPECT_TRUE(hard.record().isHard(e));
}

TEST(PolyVertexBuilder, VerticesAreSharedWithinToleranceAndCheckedById) {
    TestVertexBuilder b;
    b.createVertex(0, 0, 0);
    b.createVertex(2, 0, 0);
    EXPECT_EQ(b.createOrShareVertex(0, 0, 0.001f, 0.001f), 0u);
    EXPECT_EQ(b.createOrShareVertex(2.0005f, 0, 0, 0.001f), 1u);
    EXPECT_EQ(b.createOrShareVertex(0, 0, 0.01f, 0.001f), 2u);
    EXPECT_EQ(b.countVertex(), 3u);

    float xyz[3] = {9, 9, 9};
    EXPECT_FALSE(b.getVertexCoord(3, xyz));
    EXPECT_EQ(xyz[0], 9.0f);
    EXPECT_FALSE(b.setVertexCoord(7, 1, 1, 1));
    EXPECT_TRUE(b.setVertexCoord(1, 5, 6, 7));
    EXPECT_TRUE(b.getVertexCoord(1, xyz));
    EXPECT_EQ(xyz[2], 7.0f);

    // A face through shared points: the two points within tolerance become one vertex, and the
    // face that then lists it twice is refused, taking its new vertices back.
    T4dDblPointArray pts;
    pts.addLast({0, 0, 0, 1});
    pts.addLast({4, 0, 0, 1});
    pts.addLast({4, 4, 0, 1});
    EXPECT_EQ(b.createFace(pts, true, 0.001f), 1);
    EXPECT_EQ(b.countVertex(), 5u);
    pts.addLast({4.0001, 4, 0, 1});
    EXPECT_EQ(b.createFace(pts, true, 0.001f), -1);
    pts[3] = {0, 8, 0, 2};  // homogeneous: (0, 4, 0)
    EXPECT_EQ(b.createFace(pts, true, 0.001f), 2);
    EXPECT_EQ(b.countVertex(), 6u);
    T3dFltPoint p;
    b.getVertexCoord(5, p);
    EXPECT_EQ(p.y, 4.0f);
}

TEST(PolyVertexBuilder, CompleteChecksTheRecordAndStaysEditableOnFailure) {
    TestVertexBuilder b;
    unitSquare(b);
    EXPECT_EQ(b.complete(), nullptr);
    EXPECT_EQ(b.editState(), TpolyBuilder::kEditing);

    const int32_t quad[4] = {0, 1, 2, 3};
    ASSERT_EQ(b.createFace(4, quad, nullptr), 1);
    const int32_t beyond[3] = {0, 2, 99};
    ASSERT_EQ(b.createFace(3, beyond, nullptr), 2);
    EXPECT_EQ(b.complete(), nullptr);  // vertex 99 does not exist
    EXPECT_EQ(b.editState(), TpolyBuilder::kEditing);

    TestVertexBuilder ok;
    unitSquare(ok);
    ok.createFace(4, quad, nullptr);
    TpolyGeom* g = ok.complete();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(ok.complete(), g);
    EXPECT_EQ(ok.createFace(4, quad, nullptr), -1);  // complete records take no more faces
    ASSERT_EQ(g->maps()->nbMap(), 1u);
    EXPECT_EQ((*g->maps())[0].getName(), "map1");
    EXPECT_EQ(uvIdsOf(*g, 0), std::vector<int32_t>(4, -1));
    EXPECT_EQ(g->dirtyMask(), uint32_t(dirtyAll));
}

TEST(PolyVertexBuilder, UVSetsKeepOneIdPerCorner) {
    TestVertexBuilder b;
    TpolyGeom& g = b.record();
    unitSquare(b);
    EXPECT_EQ(b.getWorkingTexCoordSetName(), "map1");
    EXPECT_EQ(b.createTexCoord(0.0f, 0.0f, 5), 0);  // no set yet: one is made under the working name
    EXPECT_EQ(b.createTexCoord(5.0f, 5.0f, 5), -1);
    const float more[6] = {1, 0, 1, 1, 0, 1};
    EXPECT_EQ(b.createTexCoord(more, 3, 0), 1);
    EXPECT_EQ(b.countTexCoord(0), 4u);
    const int32_t tri[3] = {0, 1, 2}, other[3] = {0, 2, 3}, uvs[3] = {0, 1, 2};
    EXPECT_EQ(b.createFace(3, tri, uvs, true, 0), 1);

    EXPECT_EQ(b.createTexCoordSet(""), -1);
    EXPECT_EQ(b.createTexCoordSet("second"), 1);
    EXPECT_FALSE(b.setWorkingTexCoordSetName("absent"));
    EXPECT_TRUE(b.setWorkingTexCoordSetName("second"));
    EXPECT_EQ(b.getWorkingTexCoordSetName(), "second");
    // The new set covers the corners made before it; a face mapped in set 1 leaves set 0 unmapped.
    b.createTexCoord(0.5f, 0.5f, 1);
    const int32_t shared[3] = {0, 0, 0};
    EXPECT_EQ(b.createFace(3, other, shared, true, 1), 2);
    EXPECT_EQ(uvIdsOf(g, 0), (std::vector<int32_t>{0, 1, 2, -1, -1, -1}));
    EXPECT_EQ(uvIdsOf(g, 1), (std::vector<int32_t>{-1, -1, -1, 0, 0, 0}));
    ASSERT_NE(b.complete(true), nullptr);
    EXPECT_EQ(g.maps()->nbMap(), 2u);
    // Corners of vertices 0, 2 and 3 shared UV 0 of set 1: complete(true) split it per vertex.
    const std::vector<int32_t> split = uvIdsOf(g, 1);
    EXPECT_EQ(std::set<int32_t>(split.begin() + 3, split.end()).size(), 3u);
    EXPECT_EQ((*g.maps())[1].nbUV(), 3u);
}

TEST(PolyVertexBuilder, UnshareInvalidUVsSplitsIdsSharedAcrossVertices) {
    TestVertexBuilder b;
    TpolyGeom& g = b.record();
    unitSquare(b);
    b.createVertex(2, 0, 0);
    b.createTexCoord(0.25f, 0.75f, 0);
    b.createTexCoord(0.5f, 0.5f, 0);
    // Two triangles sharing edge 1-2; UV 0 is used at vertex 0 and (wrongly) at vertex 4, UV 1 at
    // vertex 1 in both faces (a proper share).
    const int32_t t0[3] = {0, 1, 2}, t1[3] = {1, 4, 2};
    const int32_t u0[3] = {0, 1, 1}, u1[3] = {1, 0, 1};
    b.createFace(3, t0, u0, true, 0);
    b.createFace(3, t1, u1, true, 0);
    EXPECT_EQ(g.unshareInvalidUVs(), 2u);  // vertex 2 and vertex 4 each get their own copy
    const std::vector<int32_t> ids = uvIdsOf(g, 0);
    EXPECT_EQ(ids[0], 0);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[3], 1);
    EXPECT_EQ(ids[2], ids[5]);  // both corners of vertex 2 share one copy
    EXPECT_NE(ids[2], 1);
    EXPECT_NE(ids[4], 0);
    EXPECT_EQ((*g.maps())[0].uvFloat(uint32_t(ids[4]))[1], 0.75f);
    EXPECT_EQ(g.unshareInvalidUVs(), 0u);
}

TEST(PolyVertexBuilder, HighValenceFanStaysLinearAndBuildingIntoARecordSharesItsEdges) {
    constexpr int32_t kRim = 10000;
    TestVertexBuilder b;
    b.createVertex(0, 0, 0);
    for (int32_t i = 0; i < kRim; ++i) b.createVertex(std::cos(i * 1e-4f), std::sin(i * 1e-4f), 0);
    for (int32_t i = 1; i < kRim; ++i) {
        const int32_t tri[3] = {0, i, i + 1};
        ASSERT_EQ(b.createFace(3, tri, nullptr), i);
    }
    EXPECT_EQ(b.record().nbEdge(), uint32_t(2 * kRim - 1));

    // A second builder on the same record finds the existing spokes.
    TestVertexBuilder more(&b.record());
    const int32_t closing[3] = {0, kRim, 1};
    EXPECT_EQ(more.createFace(3, closing, nullptr), kRim);
    EXPECT_EQ(b.record().nbEdge(), uint32_t(2 * kRim));
    EXPECT_EQ(more.getWorkingTexCoordSetName(), "");
}

TEST(PolyVertexBuilder, RealMeshesGiveOneEdgePerDistinctCornerPair) {
    for (const char* name : {"suzanne.obj", "cow.obj", "beetle.obj"}) {
        const std::string path = std::string(BRINDLE_DATA_DIR) + "/" + name;
        ObjMesh mesh;
        TpolyGeom plain;
        ASSERT_TRUE(readObj(path, mesh) && loadObj(path, plain)) << name;
        TpolyVertexBuilder b;
        Tint32Array counts, ids;
        for (const T3dFltPoint& p : mesh.points) b.createVertex(p.x, p.y, p.z);
        for (const std::vector<uint32_t>& ring : mesh.faces) {
            counts.addLast(int32_t(ring.size()));
            for (uint32_t v : ring) ids.addLast(int32_t(v));
        }
        EXPECT_EQ(b.createFaceList(counts, ids), int32_t(counts.size())) << name;
        TpolyGeom* g = b.complete();
        ASSERT_NE(g, nullptr) << name;
        EXPECT_EQ(g->nbEdge(), plain.nbEdge()) << name;
        EXPECT_EQ(g->nbFace(), counts.size()) << name;
        // Each corner starts at its listed vertex.
        g->update(dirtyFaceOffsets);
        EXPECT_EQ(g->getStartVertex(g->faceOffset(g->nbFace() - 1)), mesh.faces.back()[0]);
    }
}

TEST(PolyEdgeBuilder, ChainsEdgesCorrectsDirectionsAndRefuses) {
    TpolyEdgeBuilder b;
    int32_t dirs[4] = {0, 0, 0, 0};
    const int32_t quad[4] = {0, 1, 2, 3};
    EXPECT_EQ(b.createFace(4, quad, dirs), -1);  // no edge yet
    unitSquare(b);
    EXPECT_EQ(b.createEdge(0, 1, true), 0u);
    EXPECT_EQ(b.createEdge(2, 1, false), 1u);  // runs against the outline
    b.createEdge(2, 3, true);
    b.createEdge(3, 0, true);
    EXPECT_EQ(b.countEdge(), 4u);
    EXPECT_TRUE(b.isHard(1));
    EXPECT_FALSE(b.isHard(9));
    EXPECT_TRUE(b.setSmooth(1, true));
    EXPECT_TRUE(b.isSmooth(1));
    EXPECT_FALSE(b.setHard(9, true));

    const int32_t tooFew[2] = {0, 1}, outOfRange[4] = {0, 1, 2, 9};
    EXPECT_EQ(b.createFace(2, tooFew, dirs), -1);
    EXPECT_EQ(b.createFace(4, outOfRange, dirs), -1);
    EXPECT_EQ(b.countFace(), 0u);
    int32_t fixable[4] = {0, 0, 0, 0};
    EXPECT_EQ(b.createFace(4, quad, fixable), 1);
    EXPECT_EQ((std::vector<int32_t>(fixable, fixable + 4)), (std::vector<int32_t>{0, 1, 0, 0}));
    TpolyGeom& g = *b.geom();
    EXPECT_EQ(g.getDirection(1), kReversed);

    // The first use may be the wrong one: (1 -> 0) then (1 -> 2) chains once the first is flipped.
    TpolyEdgeBuilder first;
    unitSquare(first);
    first.createEdge(1, 0, true);
    first.createEdge(1, 2, true);
    first.createEdge(2, 0, true);
    int32_t d3[3] = {0, 0, 0};
    const int32_t tri[3] = {0, 1, 2};
    EXPECT_EQ(first.createFace(3, tri, d3), 1);
    EXPECT_EQ(d3[0], 1);
    // Edges that share no vertex cannot be chained.
    first.createEdge(3, 3, true);
    int32_t d4[3] = {0, 0, 0};
    const int32_t broken[3] = {0, 3, 2};
    EXPECT_EQ(first.createFace(3, broken, d4), -1);
    EXPECT_EQ(first.countFace(), 1u);

    // Holes are loops of their own; colours go to a colour set made on first use.
    TpolyEdgeBuilder holed;
    for (float r : {2.0f, 1.0f})
        for (int k = 0; k < 4; ++k) holed.createVertex(r * (k == 1 || k == 2), r * (k >= 2), 0);
    for (uint32_t k = 0; k < 4; ++k) holed.createEdge(k, (k + 1) % 4, true);
    for (uint32_t k = 0; k < 4; ++k) holed.createEdge(4 + (k + 1) % 4, 4 + k, true);
    const int32_t loops[2] = {4, 4}, edges[8] = {0, 1, 2, 3, 4, 5, 6, 7};
    int32_t d8[8] = {};
    const int32_t colours[8] = {0, 0, 0, 0, 1, 1, 1, 1};
    EXPECT_EQ(holed.createColor(1, 0, 0, 1), 0u);
    holed.createColor(0, 1, 0, 1);
    EXPECT_EQ(holed.countColor(), 2u);
    EXPECT_EQ(holed.createHoledFace(2, loops, edges, d8, nullptr, colours), 1);
    TpolyGeom& h = *holed.geom();
    EXPECT_TRUE(h.endOfLoop(3) && !h.endOfFace(3) && h.endOfFace(7));
    EXPECT_EQ((*h.colors())[0].getIndex(5), 1);
    ASSERT_NE(holed.complete(), nullptr);
    EXPECT_EQ((*h.maps())[0].nbIndex(), 8u);
}

TEST(PolyBuilder, OwnershipFollowsOwnResult) {
    TpolyGeom* kept;
    {
        TpolyVertexBuilder b;
        unitSquare(b);
        const int32_t quad[4] = {0, 1, 2, 3};
        b.createFace(4, quad, nullptr);
        kept = b.complete();
        b.ownResult();
    }
    EXPECT_EQ(kept->nbFace(), 1u);  // the builder went, the record it gave up stays
    delete kept;
}

TEST(PolyVertexBuilder, GivenNormalsBecomeUserNormals) {
    TpolyVertexBuilder b;
    unitSquare(b);
    const float tilted[3] = {0.6f, 0.0f, 0.8f};
    const uint32_t n = b.createNormal(tilted, 1);
    const int32_t quad[4] = {0, 1, 2, 3}, normals[4] = {int32_t(n), int32_t(n), -1, int32_t(n)};
    ASSERT_EQ(b.createNFace(4, quad, normals, nullptr), 1);
    TpolyGeom* g = b.complete();
    ASSERT_NE(g, nullptr);
    g->update(dirtyAll);
    // Corners 0, 1 and 3 carry the given normal; corner 2 keeps the computed one.
    const TpolyNorm& norm = *g->norm();
    ASSERT_EQ(norm.fNormalIds.size(), 4u);
    for (uint32_t c : {0u, 1u, 3u}) {
        const T3dFltPoint& v = norm.fVertexNormals[norm.fNormalIds[c]];
        EXPECT_NEAR(v.x, 0.6f, 1e-5f) << c;
        EXPECT_NEAR(v.z, 0.8f, 1e-5f) << c;
    }
    EXPECT_NEAR(norm.fVertexNormals[norm.fNormalIds[2]].z, 1.0f, 1e-5f);
}
