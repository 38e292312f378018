#include "EditTestSupport.h"

using namespace edittest;

namespace {
// The converted record of an edit: consistent, and every corner's UV and colour its vertex's.
std::unique_ptr<TpolyGeom> converted(const TpolyEditableGeom& edit) {
    std::unique_ptr<TpolyGeom> out(edit.convert(true, true, nullptr));
    EXPECT_EQ(out->checkObject(0x7), 0u);
    EXPECT_EQ(structuralErrors(*out), 0);
    return out;
}
}  // namespace

TEST(EditSplit, ManyPointEdgeSplit) {
    auto src = twoQuads();
    TpolyEditableGeom edit(src.get(), 7);
    TuInt32Array vertices, edges;
    // Edge 1 runs (1,0) -> (1,1) between both quads: three equal pieces.
    ASSERT_TRUE(edit.splitEdge(1, nullptr, &vertices, &edges, 2, false));
    ASSERT_EQ(vertices.size(), 2u);
    EXPECT_FLOAT_EQ(edit.vertex(vertices[0]).y, 1.0f / 3);
    EXPECT_EQ(edit.getEndVertex(edges[1]), 4u);
    EXPECT_EQ(edit.face(0).fCount, 6u);
    EXPECT_EQ(edit.face(1).fCount, 6u);
    // Positions off the edge are projected for the attributes; refused ones change nothing.
    const T3dFltPoint off[2] = {T3dFltPoint(0.5f, 0.2f, 0), T3dFltPoint(0.2f, 0.1f, 0)};
    EXPECT_FALSE(edit.splitEdge(0, off, nullptr, nullptr, 2, true));  // not in order
    EXPECT_FALSE(edit.splitEdge(edit.edgeCount(), nullptr, nullptr, nullptr, 1, false));
    EXPECT_EQ(edit.vertexCount(), 8u);
    ASSERT_TRUE(edit.splitEdge(0, off, &vertices, nullptr, 1, true));
    EXPECT_EQ(edit.vertex(vertices[0]), T3dFltPoint(0.5f, 0, 0));
    auto out = converted(edit);
    EXPECT_EQ(out->nbVertex(), 9u);
    EXPECT_EQ(out->nbEdge(), 10u);
    EXPECT_EQ(euler(*out), 1);
}
