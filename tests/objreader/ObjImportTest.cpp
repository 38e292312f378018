#include "brindle/objreader/ObjImport.h"
#include "brindle/objreader/ObjWriter.h"

#include <gtest/gtest.h>

#include "support/GridBuilder.h"
#include "support/TempFile.h"

#include <chrono>

#include <cstdio>
#include <memory>
#include <string>

#include "brindle/framework/MeshBoxFty.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/geom/PolyGrp.h"

namespace {

std::unique_ptr<TpolyGeom> import(const char* path, TobjImportReport& report) {
    return std::unique_ptr<TpolyGeom>(TobjImport::read(path, report));
}

uint32_t borderEdges(TpolyGeom& g) {
    g.update(dirtyFaceOffsets | dirtyEdgeToFace);
    uint32_t n = 0;
    for (uint32_t e = 0; e < g.nbEdge(); ++e) n += g.isBorder(e);
    return n;
}

TEST(ObjImport, SampleMeshesGiveTheirCounts) {
    struct Expect {
        const char* file;
        uint32_t vertices, faces, edges, border;
    };
    for (const Expect& x : {Expect{"suzanne.obj", 507, 500, 1005, 42}, Expect{"teapot.obj", 3644, 6320, 9998, 1036},
                            Expect{"cow.obj", 2903, 5804, 8706, 0}}) {
        TobjImportReport report;
        auto g = import((std::string(BRINDLE_DATA_DIR) + "/" + x.file).c_str(), report);
        ASSERT_TRUE(g) << report.error;
        EXPECT_EQ(x.vertices, g->nbVertex()) << x.file;
        EXPECT_EQ(x.faces, g->nbFace()) << x.file;
        EXPECT_EQ(x.edges, g->nbEdge()) << x.file;
        EXPECT_EQ(x.border, borderEdges(*g)) << x.file;
        EXPECT_EQ(0u, report.skippedFaces) << x.file;
    }
    TobjImportReport report;
    auto beetle = import(BRINDLE_DATA_DIR "/beetle.obj", report);
    ASSERT_TRUE(beetle) << report.error;
    EXPECT_TRUE(beetle->nonManifoldEdges());
    EXPECT_TRUE(beetle->hasUserNormals());
}

TEST(ObjImport, IndicesUVsNormalsGroupsAndSmoothing) {
    // Two quads sharing an edge, the second written with negative indices, and a triangle; the
    // quads share normal 1 (soft shared edge), the triangle names normal 2 (hard edge against the
    // second quad). Group "both" names the second quad and the triangle.
    TempFile f(
        "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 2 1 0\nv 3 0 0\n"
        "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
        "vn 0 0 1\nvn 0 0.6 0.8\n"
        "g left\ns 1\nf 1/1/1 2/2/1 3/3/1 4/4/1\n"
        "g right both\nf -6/-4/-2 5/2/1 6/3/1 -5/-1/-2\n"
        "s 2\nf 5/1/2 7/2/2 6/3/2\n");
    TobjImportReport report;
    auto g = import(f.path(), report);
    ASSERT_TRUE(g) << report.error;
    EXPECT_EQ(7u, g->nbVertex());
    EXPECT_EQ(3u, g->nbFace());
    EXPECT_EQ(9u, g->nbEdge());
    ASSERT_EQ(1u, g->nbMapSet());
    Tstring name;
    g->mapName(0, name);
    EXPECT_STREQ("map1", name.c_str());
    EXPECT_EQ(4u, g->nbUV(0));
    EXPECT_EQ(1, g->getUVId(g->faceDescLength() - 2, 0));
    ASSERT_EQ((std::vector<std::string>{"left", "right", "both"}), report.groupNames);
    EXPECT_EQ(1u, g->nbElem(1, kPolyGrpFace));
    EXPECT_EQ(2u, g->nbElem(2, kPolyGrpFace));
    EXPECT_TRUE(g->isInGroup(kPolyGrpFace, 3, 2));
    uint32_t soft = 0;
    for (uint32_t e = 0; e < g->nbEdge(); ++e) soft += g->isSmooth(e);
    g->update(dirtyFaceOffsets | dirtyEdgeToFace);
    uint32_t sharedSoft = 0;
    for (uint32_t e = 0; e < g->nbEdge(); ++e) sharedSoft += !g->isBorder(e) && g->isSmooth(e);
    EXPECT_EQ(1u, sharedSoft);  // faces 0-1 share their normals; faces 1-2 do not
    EXPECT_TRUE(g->hasUserNormals());
    EXPECT_GT(soft, 0u);
}

TEST(ObjImport, BadInputFailsWithTheLineOrSkipsTheFace) {
    static const char kGarbage[] =
        "\x7f"
        "ELF\x01\x02\x00\xff\xfe garbage\n\x01\x02\x03";
    struct Case {
        std::string text, message;
    };
    const Case cases[] = {
        {"v 0 0 0\nv 1 0 0\nf 1 2 3\n", ":3: face corner 3 refers to vertex 3, but only 2 defined"},
        {"v 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nf 1/1 2/1 3\n", ":5: corner 3 is written v, but the first corner v/vt"},
        {"v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 0\n", "refers to vertex 0"},
        {"v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1/1 2/1 3/1\n", "refers to texture point 1, but only 0"},
        {"v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 -4\n", "refers to vertex -4"},
        {"v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\\", ":4: the last line ends in a backslash"},
        {"v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3 " + std::string(1 << 20, '1') + "\n", ":4: line longer than 150000 bytes"},
        {std::string(kGarbage, sizeof kGarbage - 1), ": the file is UTF-16 text (or holds NUL bytes)"},
        {"v 0 0 0\nv 1 0 0\n", ": no faces"},
        // Indices that do not fit are refused as written, not wrapped onto another vertex.
        {"v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 4294967299\n", ":4: corner 3: vertex index 4294967299 is out of range"},
        {"v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 99999999999999999999\n", "vertex index 99999999999999999999 is out"},
        {"v 0 0 0\nv 1 0 0\nv 1 1 0\nvt 0 0\nf 1/1 2/2147483648 3/1\n", ":5: corner 2: texture index 2147483648 is"},
        {"v 0 0\n", ":1: v needs at least 3 values, found 2"},
        {"v 0 0 0\rv 1 0 0\rv 1 1 0\rf 1 2 3\r", ": the lines end in a carriage return alone"},
        {std::string("\xff\xfev\0 \0"
                     "0\0\n\0",
                     10),
         ": the file is UTF-16 text"},
    };
    for (const Case& c : cases) {
        TempFile f(c.text);
        TobjImportReport report;
        EXPECT_FALSE(import(f.path(), report)) << c.message;
        EXPECT_NE(std::string::npos, report.error.find(c.message)) << report.error;
    }
    TobjImportReport report;
    EXPECT_FALSE(import("/nonexistent/missing.obj", report));
    EXPECT_NE(std::string::npos, report.error.find("missing.obj: cannot open file")) << report.error;

    // Faces of one or two corners are skipped like a repeated corner; a trailing comment is no
    // corner; a leading byte-order mark hides no vertex.
    TempFile skipped("\xEF\xBB\xBFv 0 0 0\nv 1 0 0\nv 1 1 0 0.5 0.5 0.5\nf 1 2 1 3\nf 1 2\nfo 3\nf 1 2 3 # c\n");
    auto g = import(skipped.path(), report);
    ASSERT_TRUE(g) << report.error;
    EXPECT_EQ(3u, g->nbVertex());
    EXPECT_EQ(1u, g->nbFace());
    EXPECT_EQ(3u, g->faceDescLength());
    EXPECT_EQ(3u, report.skippedFaces);
    ASSERT_EQ(4u, report.warnings.size());
    EXPECT_NE(std::string::npos, report.warnings[0].find(":3: vertex colours")) << report.warnings[0];
    EXPECT_NE(std::string::npos, report.warnings[1].find(":4: face skipped: a vertex appears twice"))
        << report.warnings[1];
    EXPECT_NE(std::string::npos, report.warnings[2].find(":5: face skipped: fewer than three corners"))
        << report.warnings[2];
    EXPECT_NE(std::string::npos, report.warnings[3].find(":6: face skipped: fewer than three corners"))
        << report.warnings[3];

    // When every face is skipped the error says so and the warnings that say why are kept.
    TempFile allSkipped("v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 2 3\n");
    EXPECT_FALSE(import(allSkipped.path(), report));
    EXPECT_NE(std::string::npos, report.error.find(": no faces left: all 1 were skipped")) << report.error;
    ASSERT_EQ(1u, report.warnings.size());
    EXPECT_NE(std::string::npos, report.warnings[0].find(":4: face skipped")) << report.warnings[0];
}

// Writes g, reads it back and checks that every corner keeps its position, UV and shading normal.
void expectRoundTrip(TpolyGeom& g, const std::vector<std::string>& names, TobjImportReport& back,
                     std::unique_ptr<TpolyGeom>& copy) {
    const TempFile out("");
    TobjWriteReport written;
    ASSERT_TRUE(TobjWriter::write(g, out.path(), names, written)) << written.error;
    copy = import(out.path(), back);
    ASSERT_TRUE(copy) << back.error;
    ASSERT_EQ(g.nbVertex(), copy->nbVertex());
    ASSERT_EQ(g.nbFace(), copy->nbFace());
    ASSERT_EQ(g.faceDescLength(), copy->faceDescLength());
    EXPECT_EQ(g.nbEdge(), copy->nbEdge());
    const uint32_t mask = dirtyFaceOffsets | dirtyEdgeToFace | dirtyFaceVectors | dirtyFaceNormalize | dirtyNormalTopo |
                          dirtyVertexNormals | dirtyVertexNormalize;
    g.update(mask);
    copy->update(mask);
    T3dFltPoint a, b;
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        g.getVertex(v, a);
        copy->getVertex(v, b);
        ASSERT_TRUE(a.x == b.x && a.y == b.y && a.z == b.z) << "vertex " << v;
    }
    for (uint32_t o = 0; o < g.faceDescLength(); ++o) {
        ASSERT_EQ(g.getStartVertex(o), copy->getStartVertex(o)) << "corner " << o;
        float uvA[2] = {0, 0}, uvB[2] = {0, 0};
        if (g.nbUV(0) > 0) {
            g.getUV(uint32_t(g.getUVId(o, 0)), uvA, 0);
            copy->getUV(uint32_t(copy->getUVId(o, 0)), uvB, 0);
            ASSERT_TRUE(uvA[0] == uvB[0] && uvA[1] == uvB[1]) << "corner " << o;
        }
        const T3dFltPoint& na = g.vertexNormalConst(g.getNormalId(o));
        const T3dFltPoint& nb = copy->vertexNormalConst(copy->getNormalId(o));
        ASSERT_NEAR(1.0, double(na.x) * nb.x + double(na.y) * nb.y + double(na.z) * nb.z, 1e-5) << "corner " << o;
    }
}

TEST(ObjWriter, RoundTripKeepsPositionsFacesUVsNormalsAndGroups) {
    TmeshBoxFty box;
    box.setXSubdivide(2);
    box.setTexture(TmeshBoxFty::kSharedLayout);
    std::unique_ptr<TpolyGeom> g = box.createBox();
    const uint32_t top = g->bgnGroup(1, kPolyGrpFace);
    g->appendBlock(top, 2, 5);
    g->endGroup(top);
    const uint32_t second = g->bgnGroup(2, kPolyGrpFace);
    g->addElement(second, 4);
    g->endGroup(second);
    TobjImportReport back;
    std::unique_ptr<TpolyGeom> copy;
    expectRoundTrip(*g, {"top"}, back, copy);
    ASSERT_EQ(2u, back.groupNames.size());
    EXPECT_EQ("top", back.groupNames[0]);
    EXPECT_EQ("group2", back.groupNames[1]);
    EXPECT_EQ(4u, copy->nbElem(1, kPolyGrpFace));
    EXPECT_TRUE(copy->isInGroup(kPolyGrpFace, 2, 4));
    EXPECT_FALSE(copy->isInGroup(kPolyGrpFace, 2, 5));
    EXPECT_FALSE(copy->isInGroup(kPolyGrpFace, 1, 6));

    TobjImportReport report;
    auto suzanne = import(BRINDLE_DATA_DIR "/suzanne.obj", report);
    ASSERT_TRUE(suzanne) << report.error;
    expectRoundTrip(*suzanne, {}, back, copy);
}

TEST(ObjWriter, NormalsReadBackExactly) {
    // Normals of unit length are written as read; others are normalised once and then stay put
    // however often the file goes round.
    const std::string unit = "vn 0.14826116 0.7857892 0.6004615\nvn 0.30151135 0.30151135 0.90453404\n";
    std::string text = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\n" + unit +
                       "vn 0.123456 0.654321 0.5\nvn 0.1 0.7 0.3\nf 1//1 2//2 3//3\nf 2//4 4//2 3//3\n";
    std::string previous;
    for (int pass = 0; pass < 3; ++pass) {
        const TempFile in(text);
        TobjImportReport report;
        auto g = import(in.path(), report);
        ASSERT_TRUE(g) << report.error;
        TobjWriteReport written;
        text.clear();
        TobjWriter::format(*g, {}, text, written);
        ASSERT_NE(text.find(unit), std::string::npos) << text;
        if (pass > 0) {
            EXPECT_EQ(previous, text) << pass;
        }
        previous = text;
    }
}

TEST(ObjWriter, GroupLinesFollowTheMembersOfManyGroupsInLinearTime) {
    // A 200 x 200 grid with a group per face, as a file with a `g` line per face imports, plus one
    // group over the first row that overlaps them. Writing it must not cost faces times groups.
    TpolyGeom g;
    buildQuadGrid(g, 200);
    const uint32_t nFace = g.nbFace();
    for (uint32_t f = 0; f < nFace; ++f) {
        const uint32_t index = g.grp()->append(int32_t(f + 2), kPolyGrpFace, nFace);
        g.addElement(index, f);
        g.endGroup(index);
    }
    const uint32_t row = g.bgnGroup(1, kPolyGrpFace);
    g.appendBlock(row, 0, 199);
    g.endGroup(row);
    std::string text;
    TobjWriteReport report;
    const auto start = std::chrono::steady_clock::now();
    TobjWriter::format(g, {"row"}, text, report);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 2.0);
    EXPECT_NE(std::string::npos, text.find("\ng group2 row\nf "));
    EXPECT_NE(std::string::npos, text.find("\ng group201 row\nf "));
    EXPECT_NE(std::string::npos, text.find("\ng group202\nf "));
    size_t groupLines = 0;
    for (size_t at = text.find("\ng "); at != std::string::npos; at = text.find("\ng ", at + 1)) ++groupLines;
    EXPECT_EQ(size_t(nFace), groupLines);
}

TEST(ObjWriter, FacesWithHolesAreWrittenAsTriangles) {
    // A square with a square hole: one face of two loops.
    TpolyGeom g;
    const float pts[8][2] = {{0, 0}, {3, 0}, {3, 3}, {0, 3}, {1, 1}, {1, 2}, {2, 2}, {2, 1}};
    for (const auto& p : pts) g.appendVertex(p[0], p[1], 0.0f);
    for (uint32_t loop = 0; loop < 2; ++loop)
        for (uint32_t k = 0; k < 4; ++k) g.appendEdge(4 * loop + k, 4 * loop + (k + 1) % 4);
    g.bgnFace(8);
    for (uint32_t e = 0; e < 8; ++e) {
        g.refEdge(e, kForward);
        if (e % 4 == 3) g.endLoop();
    }
    g.endFace();
    g.markDirty(dirtyAll);
    std::string text;
    TobjWriteReport report;
    TobjWriter::format(g, {}, text, report);
    EXPECT_EQ(1u, report.holedFaces);
    ASSERT_EQ(1u, report.warnings.size());
    size_t faces = 0;
    for (size_t at = text.find("\nf "); at != std::string::npos; at = text.find("\nf ", at + 1)) ++faces;
    EXPECT_EQ(8u, faces);  // c + 2h - 2 triangles
    EXPECT_NE(std::string::npos, text.find("v 3 3 0\n"));
}

}  // namespace
