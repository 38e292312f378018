#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "brindle/brindle.h"
#include "support/ObjLoad.h"

namespace {

// Captures what the check writes to the error channel.
struct Captured {
    std::string text;
    Captured() { TdebugOutput::sCerr.redirectToString(&text); }
    ~Captured() { TdebugOutput::sCerr.restore(); }
};

uint32_t check(const TpolyGeom& g, std::string& text, unsigned flags = kCheckAll) {
    Captured c;
    const uint32_t n = g.checkObject(flags);
    text = c.text;
    return n;
}

// The check's output without its closing "FOUND n ERRORS" line, whose address varies.
std::string body(const std::string& text) { return text.substr(0, text.find("\nFOUND ")); }

void triangleVertices(TpolyGeom& g) {
    g.appendVertex(0, 0, 0);
    g.appendVertex(1, 0, 0);
    g.appendVertex(0, 1, 0);
}

TEST(PolyCheck, PrimitivesPassSilently) {
    TmeshBoxFty box;
    box.setXSubdivide(2);
    box.setTexture(TmeshBoxFty::kBothLayouts);
    TmeshBallFty ball;
    TmeshTorusFty torus;
    for (const auto& g : {box.createBox(), ball.createBall(), torus.createTorus()}) {
        g->update(dirtyAll);
        std::string text;
        EXPECT_EQ(check(*g, text), 0u);
        EXPECT_EQ(text, "");
    }
}

TEST(PolyCheck, EdgeVerticesOutOfRange) {
    TpolyGeom g;
    triangleVertices(g);
    g.appendEdge(0, 1);
    g.appendEdge(5, 7);
    g.appendEdge(1, 3);
    std::string text;
    EXPECT_EQ(check(g, text, kCheckEdges), 3u);
    EXPECT_EQ(body(text),
              "... BAD START VERTEX (3>=3): edge 2 1->3\n"
              "... BAD START VERTEX (5>=3): edge 1 5->7\n"
              "... BAD START VERTEX (7>=3): edge 1 5->7\n"
              "*** BAD EGDE DESCRIPTION: 1 start and 2 end vertices out of bounds (>=3)\n");
    char footer[64];
    std::snprintf(footer, sizeof footer, "\nFOUND 3 ERRORS in poly object 0x%x\n",
                  unsigned(reinterpret_cast<uintptr_t>(&g)));
    EXPECT_EQ(text.substr(text.find("\nFOUND ")), footer);
    // Without the edge flag the same record passes.
    EXPECT_EQ(check(g, text, 0), 0u);
}

TEST(PolyCheck, BrokenJoinsAndLoops) {
    // A triangle whose second edge is stored the wrong way round: both joints break, each hinting
    // at the edge to reverse.
    TpolyGeom g;
    triangleVertices(g);
    g.appendEdge(0, 1);
    g.appendEdge(2, 1);
    g.appendEdge(2, 0);
    g.bgnFace(3);
    g.refEdge(0, kForward);
    g.refEdge(1, kForward);
    g.refEdge(2, kForward);
    g.endLoop();
    g.endFace();
    std::string text;
    EXPECT_EQ(check(g, text), 2u);
    EXPECT_EQ(body(text),
              "... WRONG EDGE IN FACE: edge 0(0->1) in face 0 not connected to edge 1(2->1), suggesting to "
              "reverse edge 1 in this face\n"
              "... WRONG EDGE IN FACE: edge 1(2->1) in face 0 not connected to edge 2(2->0), suggesting to "
              "reverse edge 1 in this face\n");

    // A second face whose hole has two edges, one of them used twice, another out of range.
    g.setDirection(1, kReversed);
    g.appendVertex(1, 1, 0);
    g.bgnFace(0);
    g.refEdge(0, kForward);
    g.refEdge(1, kReversed);
    g.refEdge(2, kForward);
    g.endLoop();
    g.refEdge(9, kForward);
    g.refEdge(0, kReversed);
    g.endLoop();
    g.endFace();
    EXPECT_EQ(check(g, text, kCheckDescription), 3u);
    EXPECT_EQ(body(text),
              "... BAD EDGE REFERENCE (9>=3): face 1, offset 6, local offset 3\n"
              "... DUPLICATE EDGE REFERENCE (0) IN SAME FACE : face 1, offset 7, local offset 4\n"
              "... LOOP TOO SMALL: face 1 contains a loop with only 2 edge(s)\n");
}

TEST(PolyCheck, FaceEndsAndCount) {
    TpolyGeom g;
    triangleVertices(g);
    addRingFace(g, {0, 1, 2});
    g.setFaceEdge(2, g.getFaceEdge(2) & ~(TpolyBits::kEndOfFace | TpolyBits::kEndOfLoop));
    std::string text;
    EXPECT_EQ(check(g, text, kCheckDescription), 3u);
    EXPECT_EQ(body(text),
              "... LAST FACE INCOMPLETE: missing end of loop flag\n"
              "... LAST FACE INCOMPLETE: missing end of face flag\n"
              "... WRONG FACE NUMBER: 1 stored insted of 0\n");

    g.setFaceEdge(2, g.getFaceEdge(2) | TpolyBits::kEndOfFace);
    g.addFace(1);
    EXPECT_EQ(check(g, text, kCheckDescription), 3u);
    EXPECT_EQ(body(text),
              "... WRONG FACE DESCRIPTION: face 0, offset 2, local offset 2, found endOfFace without endOfLoop\n"
              "... LAST FACE INCOMPLETE: missing end of loop flag\n"
              "... WRONG FACE NUMBER: 2 stored insted of 1\n");
}

TEST(PolyCheck, FaceOffsets) {
    TpolyGeom g;
    triangleVertices(g);
    g.appendVertex(1, 1, 0);
    addRingFace(g, {0, 1, 2});
    addRingFace(g, {1, 3, 2});
    TuInt32Array& offsets = g.faceOffsetArray();
    std::string text;
    // Not checked while the offsets are out of date.
    offsets.clear();
    EXPECT_EQ(check(g, text, kCheckFaceOffsets), 0u);

    g.update(dirtyFaceOffsets);
    EXPECT_EQ(check(g, text, kCheckFaceOffsets), 0u);
    offsets.addLast(9);
    EXPECT_EQ(check(g, text, kCheckFaceOffsets), 1u);
    EXPECT_EQ(body(text), "... BAD FACE OFFSET LENGTH: actual length is 4, expected 3\n");

    offsets.removeAt(3, 1);
    offsets[0] = 1;
    offsets[1] = 1;
    offsets[2] = 7;
    EXPECT_EQ(check(g, text, kCheckFaceOffsets), 4u);
    EXPECT_EQ(body(text),
              "... BAD FACE OFFSET: First offset should be 0\n"
              "... BAD FACE OFFSET: offsets should be increasing, face 1 (1) < face 0 (1)\n"
              "... BAD FACE OFFSET: offsets of face 1 (1) is not a start of face\n"
              "... BAD FACE OFFSET: offsets of face 2 (7) beyond face desc array (6)\n");
}

TEST(PolyCheck, UVIdsBeyondTheirSet) {
    TpolyGeom g;
    triangleVertices(g);
    addRingFace(g, {0, 1, 2});
    g.newEmptyMapSet(Tstring("a"));
    const uint32_t s = g.newEmptyMapSet(Tstring("b"));
    g.appendUV(0.0f, 0.0f, s);
    g.appendUV(1.0f, 0.0f, s);
    int32_t* ids = g.getUVIdArray(s);
    ids[0] = 0;
    ids[1] = 4;
    ids[2] = 2;
    std::string text;
    // Always checked, whatever the flags.
    EXPECT_EQ(check(g, text, 0), 2u);
    EXPECT_EQ(body(text),
              "UVset 1, offset 2 references too large uv (2>1)\n"
              "UVset 1, offset 1 references too large uv (4>1)\n");
}

}  // namespace

namespace {

TEST(PolyDump, RoundTripThroughText) {
    TmeshBoxFty box;
    box.setXSubdivide(2);
    auto g = box.createBox();
    g->update(dirtyAll);
    std::string text;
    TdebugOutput::sCout.redirectToString(&text);
    g->debug(TdebugOutput::sCout, 0xFFFF);
    TdebugOutput::sCout.restore();
    TpolyGeom back;
    back.loadObjectText(text);
    EXPECT_TRUE(back.isEquivalent(*g));
    EXPECT_EQ(back.nbFace(), g->nbFace());
    // Malformed text is read as far as it goes.
    TpolyGeom junk;
    junk.loadObjectText("__VCOUNT 4000000000\n_V x\n_F 0 : 1 -2\n_E 0 : 1\n__ENDOFFACELIST\n_V 0 : 1 1 1\n");
    EXPECT_EQ(junk.nbVertex(), 1u);
    EXPECT_EQ(junk.nbEdge(), 1u);
    EXPECT_EQ(junk.faceDescLength(), 2u);
    // Face lines without entries add no face, so the face count stays that of the end-of-face bits
    // and every face offset is there to read.
    for (const char* text :
         {"_F 0 :\n", "_V 0 : 0 0 0\n_E 0 : 0 0 S\n_F 0 :\n_F 1 : 0 -1\n_F 2 : x\n_L 3 :\n", "_L 0 : 0\n_F 1 :"}) {
        TpolyGeom g;
        g.loadObjectText(text);
        g.update(dirtyFaceOffsets);
        const uint32_t faces = std::string(text).starts_with("_F 0 :\n") ? 0u : 1u;
        ASSERT_EQ(faces, g.nbFace()) << text;
        ASSERT_EQ(faces + 1, g.faceOffsetArray().size()) << text;
        for (uint32_t f = 0; f < g.nbFace(); ++f) EXPECT_EQ(g.faceDescLength(), g.faceVertexCount(f)) << text;
        // The last text names an edge the record lacks: the writer refuses it instead of reading
        // outside the edge array.
        std::string obj;
        TobjWriteReport report;
        TobjWriter::format(g, {}, obj, report);
        EXPECT_EQ(text[1] == 'L', !report.error.empty()) << text << report.error;
    }
}

}  // namespace
