#include <gtest/gtest.h>

#include "brindle/brindle.h"

namespace {

// A 1 x 1 x 1 box: face 1 is the top (vertices 2 3 4 5), vertex 0 is the corner (-.5, -.5, .5).
std::unique_ptr<TmidBody> box(int texture = 0) {
    auto body = std::make_unique<TmidBody>();
    TmeshBoxFty fty;
    if (texture) {
        fty.setUVSetName("uv");
        fty.setTexture(TmeshBoxFty::TtexType(texture));
    }
    fty.build(*body);
    return body;
}

template <typename L>
std::vector<uint32_t> ids(const L& list) {
    std::vector<uint32_t> out;
    for (uint32_t i = 0; i < list.elementCount(); ++i) out.push_back(list.element(i));
    return out;
}

}  // namespace

TEST(CompConvert, BoxConversionsMatchHandCounts) {
    auto body = box(TmeshBoxFty::kFaceLayout);
    TmidVertComponent corner;
    corner.addElement(0);
    TmidEdgeComponent edges;
    TmidFaceComponent faces;
    TmeshVtxFaceComponent corners;
    TmidMapComponent uvs;

    TmidCompConvert::convert(body.get(), corner, edges, 1);
    EXPECT_EQ(edges.elementCount(), 3u);  // three box edges meet at a corner
    TmidCompConvert::convert(body.get(), corner, edges, 0);
    EXPECT_EQ(edges.elementCount(), 0u);  // no edge has both ends selected
    TmidCompConvert::convert(body.get(), corner, faces, 1);
    EXPECT_EQ(faces.elementCount(), 3u);
    TmidCompConvert::convert(body.get(), corner, corners, 1);
    EXPECT_EQ(corners.elementCount(), 3u);
    TmidCompConvert::convert(body.get(), corner, uvs, 1);
    EXPECT_EQ(uvs.elementCount(), 3u);  // the per-side layout gives each side its own points

    TmidFaceComponent top;
    top.addElement(1);
    TmidVertComponent verts;
    TmidCompConvert::convert(body.get(), top, verts, 1);
    EXPECT_EQ(ids(verts), (std::vector<uint32_t>{2, 3, 4, 5}));
    TmidCompConvert::convert(body.get(), top, edges, 1);
    EXPECT_EQ(edges.elementCount(), 4u);
    TmidCompConvert::convert(body.get(), top, corners, 1);
    ASSERT_EQ(corners.elementCount(), 4u);
    EXPECT_EQ(corners.element(0).second, 1u);
    TmidCompConvert::convert(body.get(), top, uvs, 1);
    EXPECT_EQ(uvs.elementCount(), 4u);

    // Back again: the top's vertices select the top alone in mode all, five faces in mode any.
    TmidCompConvert::convert(body.get(), verts, faces, 0);
    EXPECT_EQ(ids(faces), (std::vector<uint32_t>{1}));
    TmidCompConvert::convert(body.get(), verts, faces, 1);
    EXPECT_EQ(faces.elementCount(), 5u);
    TmidCompConvert::convert(body.get(), edges, verts, 1);
    EXPECT_EQ(verts.elementCount(), 4u);
    TmidCompConvert::convert(body.get(), edges, faces, 0);
    EXPECT_EQ(ids(faces), (std::vector<uint32_t>{1}));
    TmidCompConvert::convert(body.get(), corners, verts, 1);
    EXPECT_EQ(verts.elementCount(), 4u);
    TmidCompConvert::convert(body.get(), uvs, faces, 0);
    EXPECT_EQ(ids(faces), (std::vector<uint32_t>{1}));
    TmidCompConvert::convert(body.get(), uvs, verts, 1);
    EXPECT_EQ(verts.elementCount(), 4u);
}

TEST(CompConvert, EmptyInputsLeaveAnEmptyTarget) {
    auto body = box();
    TmidVertComponent none, corner;
    corner.addElement(0);
    TmidEdgeComponent edges;
    edges.addElement(5);  // the target is emptied first
    const uint32_t groups = body->polyGeom()->nbGroup();
    TmidCompConvert::convert(body.get(), none, edges, 1);
    EXPECT_EQ(edges.elementCount(), 0u);
    EXPECT_EQ(body->polyGeom()->nbGroup(), groups);
    edges.addElement(5);
    TmidCompConvert::convert(nullptr, corner, edges, 1);
    EXPECT_EQ(edges.elementCount(), 0u);
    TmidBody empty(nullptr);
    edges.addElement(5);
    TmidCompConvert::convert(&empty, corner, edges, 1);
    EXPECT_EQ(edges.elementCount(), 0u);
    // No UV set: nothing to convert to or from.
    TmidMapComponent uvs;
    TmidCompConvert::convert(body.get(), corner, uvs, 1);
    EXPECT_EQ(uvs.elementCount(), 0u);
    uvs.addElement(0);
    TmidFaceComponent faces;
    TmidCompConvert::convert(body.get(), uvs, faces, 1);
    EXPECT_EQ(faces.elementCount(), 0u);
}
