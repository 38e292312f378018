#include "EditTestSupport.h"

using namespace edittest;

namespace {
int faceTag(const TpolyGeom& g, uint32_t face) {
    TbdDataPtrArray out;
    return g.faceBlindData()->getBlindData(face, out) ? out[0].value.i : -1;
}
}  // namespace

TEST(EditableGeom, ConvertWithoutEditsGivesTheSameRecord) {
    auto src = twoQuads();
    TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
    const TpolyGeom& before = *src;
    EXPECT_EQ(edit.faceCount(), 2u);
    EXPECT_EQ(edit.numUVMaps(), 1u);
    // The first blocks are the record's own arrays.
    EXPECT_EQ(&edit.vertex(0), &src->vertexConst(0));
    TuInt32Array map;
    std::unique_ptr<TpolyGeom> out(edit.convert(true, true, &map));
    EXPECT_EQ(out->compareObject(before), 0u);
    EXPECT_EQ(structuralErrors(*out), 0);
    EXPECT_EQ(map[0], 0u);
    EXPECT_EQ(map[1], 1u);
    EXPECT_TRUE(out->isInGroup(kPolyGrpFace, 3, 1));
    EXPECT_FALSE(out->isInGroup(kPolyGrpFace, 3, 0));
    EXPECT_EQ(faceTag(*out, 1), 42);
    Tstring name;
    EXPECT_TRUE(out->mapName(0, name));
    EXPECT_EQ(name, "map1");

    // The deep copy owns its elements and converts alike.
    TpolyEditableGeom copy(edit);
    EXPECT_NE(&copy.vertex(0), &src->vertexConst(0));
    std::unique_ptr<TpolyGeom> again(copy.convert(true, true, nullptr));
    EXPECT_EQ(again->compareObject(before), 0u);
}

TEST(EditableGeom, CreatedElementsAndDeletedFacesRenumber) {
    auto src = twoQuads();
    addRingFace(*src, {2, 5, 4});  // a third face on the edge 2-5
    src->markDirty(dirtyAll);
    TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
    const uint32_t a = edit.createVertex(T3dFltPoint(5, 5, 0));
    const uint32_t b = edit.createVertex(T3dFltPoint(6, 5, 0));
    const uint32_t e = edit.createEdge(a, b, true, true);
    EXPECT_EQ(edit.getVertexInfo(a).order, 1u);
    EXPECT_EQ(edit.getVertexInfo(a).edge & TpolyBits::kEdgeMask, e);
    EXPECT_EQ(edit.getVertexInfo(b).edge & TpolyBits::kEdgeMask, e);
    EXPECT_TRUE(edit.polyEdge(e).isHard());

    edit.deleteFace(0);
    EXPECT_EQ(edit.faceCount(), 2u);
    TuInt32Array faces;
    edit.getEdgeFaces(0, faces, kLeft);
    EXPECT_TRUE(faces.empty());
    const uint32_t refs[3] = {e, 0, 1};
    EXPECT_EQ(edit.createFace(refs, 3, nullptr, nullptr, nullptr, 1, 0), 3u);  // ids are never reused
    edit.deleteFace(3);
    TuInt32Array map;
    std::unique_ptr<TpolyGeom> out(edit.convert(true, true, &map));
    EXPECT_EQ(out->nbFace(), 2u);
    EXPECT_EQ(map[0], TpolyBits::kNoId);
    EXPECT_EQ(map[1], 0u);
    EXPECT_EQ(map[2], 1u);
    EXPECT_TRUE(out->isInGroup(kPolyGrpFace, 3, 0));  // old face 1
    EXPECT_EQ(faceTag(*out, 0), 42);
    EXPECT_EQ(faceTag(*out, 1), -1);
    EXPECT_EQ(structuralErrors(*out), 0);

    // The mapper form drops what no face uses and says where the rest went.
    TpolyIdMapper mapper(true, true, true);
    std::unique_ptr<TpolyGeom> packed(edit.convert(true, true, mapper));
    EXPECT_EQ(packed->nbVertex(), 4u);
    EXPECT_EQ((*mapper.vertexMap())[0], TpolyBits::kNoId);
    EXPECT_EQ((*mapper.vertexMap())[1], 0u);
    EXPECT_EQ((*mapper.faceMap())[2], 1u);
    EXPECT_EQ(structuralErrors(*packed), 0);
}

TEST(EditableGeom, SplitEdgeInterpolatesAndCarriesEverything) {
    auto src = twoQuads();
    // A user normal on every corner of face 1.
    src->update(dirtyNormalTopo);
    for (uint32_t o = 4; o < 8; ++o) src->setUserNormal(src->getNormalId(o), T4dFltVector(0, 0, 1));
    TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
    EXPECT_TRUE(edit.hasUserNormals());
    // Edge 0 runs (0,0) -> (1,0) on the border; split it and the shared edge 1 -> 4.
    uint32_t ne, nv;
    ASSERT_TRUE(edit.splitEdge(0, 0.25f, ne, nv));
    EXPECT_FLOAT_EQ(edit.vertex(nv).x, 0.25f);
    EXPECT_EQ(edit.getEndVertex(0), nv);
    EXPECT_EQ(edit.getStartVertex(ne), nv);
    EXPECT_EQ(edit.getEndVertex(ne), 1u);
    const uint32_t shared = 1;  // 1 -> 4
    ASSERT_EQ(edit.getStartVertex(shared), 1u);
    uint32_t ne2, nv2;
    ASSERT_TRUE(edit.splitEdge(shared, 0.5f, ne2, nv2));
    EXPECT_EQ(edit.face(0).fCount, 6u);
    EXPECT_EQ(edit.face(1).fCount, 5u);
    EXPECT_EQ(edit.vertexOrder(nv2), 2u);
    TuInt32Array edges;
    edit.getVertexEdges(1, edges);
    EXPECT_EQ(edges.size(), 3u);
    // Both faces share their UVs along the shared edge, so they share the new one.
    EXPECT_EQ(edit.getUVId(edit.findVertexInFace(edit.face(0), nv2), 0, edit.face(0)),
              edit.getUVId(edit.findVertexInFace(edit.face(1), nv2), 0, edit.face(1)));

    std::unique_ptr<TpolyGeom> out(edit.convert(true, true, nullptr));
    EXPECT_EQ(structuralErrors(*out), 0);
    EXPECT_EQ(out->nbVertex(), 8u);
    EXPECT_EQ(out->nbEdge(), 9u);
    EXPECT_EQ(euler(*out), 1);
    // Both halves of edge 0 keep its group and blind data.
    EXPECT_TRUE(out->isInGroup(kPolyGrpEdge, 4, ne));
    TbdDataPtrArray bd;
    EXPECT_TRUE(out->edgeBlindData()->getBlindData(ne, bd));
    // Face 1's corners keep their user normal, the new one interpolated between two set ones.
    out->update(dirtyNormalTopo);
    for (uint32_t o = out->faceOffset(1); o < out->faceOffset(2); ++o)
        EXPECT_TRUE(out->hasValidUserNormal(out->getNormalId(o))) << o;
    EXPECT_FALSE(out->hasValidUserNormal(out->getNormalId(0)));
}
