#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>
#include <unistd.h>
#include <utility>

#include "brindle/brindle.h"

namespace {

std::string tempPath() {
    char path[] = "/tmp/polyio_XXXXXX";
    const int fd = mkstemp(path);
    if (fd >= 0) close(fd);
    return path;
}

TEST(PolyIO, IffChunksPadAndSurviveDisk) {
    TiffFile file(TiffTag("TEST"));
    EXPECT_EQ(file.write("x", 1), kIffNoChunk);
    ASSERT_EQ(file.beginChunk(TiffTag("ODD ")), kIffOk);
    EXPECT_EQ(file.beginChunk(TiffTag("NEST")), kIffNoChunk);
    ASSERT_EQ(file.write("abc", 3), kIffOk);
    ASSERT_EQ(file.endChunk(), kIffOk);
    ASSERT_EQ(file.beginChunk(TiffTag("EVEN")), kIffOk);
    ASSERT_EQ(file.write("wxyz", 4), kIffOk);
    ASSERT_EQ(file.endChunk(), kIffOk);
    // FORM header, two headers, 3 bytes + pad, 4 bytes.
    ASSERT_EQ(file.bytes().size(), 12u + 8 + 4 + 8 + 4);
    EXPECT_EQ(file.bytes()[7], file.bytes().size() - 8);
    EXPECT_EQ(file.bytes()[12 + 7], 3);

    const std::string path = tempPath();
    ASSERT_EQ(file.save(path.c_str()), kIffOk);
    TiffFile back;
    ASSERT_EQ(back.load(path.c_str()), kIffOk);
    std::remove(path.c_str());
    EXPECT_EQ(back.formType(), TiffTag("TEST"));
    ASSERT_EQ(back.nbChunk(), 2u);
    TiffFile::Chunk c;
    ASSERT_TRUE(back.findChunk(TiffTag("EVEN"), c));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c.data), c.size), "wxyz");
    EXPECT_EQ(back.chunk(0).size, 3u);
    EXPECT_FALSE(back.findChunk(TiffTag("EVEN"), c, 1));
    EXPECT_EQ(TiffTag("ODD ").text(), "ODD ");

    // A chunk whose size runs past the end, or a group size that disagrees, is refused whole.
    std::vector<uint8_t> bad = file.bytes();
    bad[12 + 7] = 200;
    EXPECT_EQ(back.parse(bad.data(), bad.size()), kIffBadFormat);
    EXPECT_EQ(back.nbChunk(), 2u);
    EXPECT_EQ(back.parse(file.bytes().data(), file.bytes().size() - 1), kIffBadFormat);
    EXPECT_EQ(back.load("/nonexistent/dir/file"), kIffIoError);
}

TEST(PolyIO, ItemsReadBackAndRefuseShortChunks) {
    TiffFile file;
    ASSERT_EQ(file.beginChunk(TiffTag("ITEM")), kIffOk);
    const float floats[3] = {1.5f, -2.0f, 1e-30f};
    const int32_t ints[2] = {-7, 0x7FFFFFFF};
    ASSERT_EQ(TpolyIOUtil::writeInt(file, -42), kIffOk);
    ASSERT_EQ(TpolyIOUtil::writeArray(file, 3, floats), kIffOk);
    ASSERT_EQ(TpolyIOUtil::writeArray(file, 2, ints), kIffOk);
    ASSERT_EQ(file.endChunk(), kIffOk);
    const TiffFile::Chunk c = file.chunk(0);
    ASSERT_EQ(c.size, 4u + 16 + 12);
    EXPECT_EQ(c.data[3], 0xD6);  // big-endian -42

    auto readAll = [&](int size, int32_t& v, float* f, int32_t* i) {
        int left = size;
        uint32_t n = 0, m = 0;
        const void* p = TpolyIOUtil::readInt(c.data, left, v);
        p = TpolyIOUtil::readSize(p, left, n);
        p = p && n == 3 ? TpolyIOUtil::readArray(p, left, f, n) : nullptr;
        p = TpolyIOUtil::readSize(p, left, m);
        p = p && m == 2 ? TpolyIOUtil::readArray(p, left, i, m) : nullptr;
        return p && left == 0;
    };
    int32_t v = 0, i[2] = {};
    float f[3] = {};
    ASSERT_TRUE(readAll(int(c.size), v, f, i));
    EXPECT_EQ(v, -42);
    EXPECT_EQ(f[0], 1.5f);
    EXPECT_EQ(f[2], 1e-30f);
    EXPECT_EQ(i[0], -7);
    EXPECT_EQ(i[1], 0x7FFFFFFF);
    for (int size = 0; size < int(c.size); ++size) EXPECT_FALSE(readAll(size, v, f, i)) << size;

    int left = 3;
    int32_t untouched = 5;
    EXPECT_EQ(TpolyIOUtil::readInt(c.data, left, untouched), nullptr);
    EXPECT_EQ(left, 3);
    EXPECT_EQ(untouched, 5);
    EXPECT_FALSE(TpolyIOUtil::holds(7, 2));
    EXPECT_TRUE(TpolyIOUtil::holds(8, 2));
    EXPECT_FALSE(TpolyIOUtil::holds(8, 0x100000000ull + 2));
}

std::vector<double> creases(const TpolyGeom& g, std::vector<uint32_t>* edges = nullptr) {
    TuInt32Array e;
    TdoubleArray v;
    g.getCreaseEdges(e, v);
    if (edges) edges->assign(e.begin(), e.end());
    return {v.begin(), v.end()};
}

TEST(PolyIO, CreaseGroupMergesValuesAndFollowsCopiesAndRenumbering) {
    auto g = TmeshBoxFty().createBox();
    TuInt32Array e;
    TdoubleArray v;
    for (uint32_t edge : {5u, 3u, 5u, 99u}) e.addLast(edge);
    for (double value : {9.0, 0.5, 2.0, 1.0}) v.addLast(value);
    g->setCreaseEdges(e, v);  // the later value for 5 wins, edge 99 does not exist
    std::vector<uint32_t> ids;
    EXPECT_EQ(creases(*g, &ids), (std::vector<double>{0.5, 2.0}));
    EXPECT_EQ(ids, (std::vector<uint32_t>{3, 5}));
    ASSERT_TRUE(g->setCreaseValue(5, 1.0));
    EXPECT_EQ(creases(*g), (std::vector<double>{0.5, 1.0}));
    ASSERT_TRUE(g->setCreaseValue(4, 0.25));
    EXPECT_EQ(creases(*g, &ids), (std::vector<double>{0.5, 0.25, 1.0}));
    EXPECT_FALSE(g->setCreaseValue(g->nbEdge(), 1.0));
    double value = 0;
    EXPECT_TRUE(g->getCreaseValue(4, value));
    EXPECT_EQ(value, 0.25);
    EXPECT_FALSE(g->getCreaseValue(6, value));
    EXPECT_EQ(g->getFreeGrpName(), 1);  // the reserved name takes no part in naming

    TpolyGeom copy(*g);
    ASSERT_TRUE(g->setCreaseValue(4, -1));  // uncreased; the copy keeps its own values
    EXPECT_EQ(creases(*g, &ids), (std::vector<double>{0.5, 1.0}));
    EXPECT_EQ(creases(copy), (std::vector<double>{0.5, 0.25, 1.0}));

    // Dropping edge 4 shifts edge 5 down with its value.
    uint32_t map[12];
    for (uint32_t i = 0; i < 12; ++i) map[i] = i < 4 ? i : i == 4 ? ~0u : i - 1;
    copy.renumGrp(kPolyGrpEdge, 12, map);
    EXPECT_EQ(creases(copy, &ids), (std::vector<double>{0.5, 1.0}));
    EXPECT_EQ(ids, (std::vector<uint32_t>{3, 4}));
}

// A box with two UV sets, a current UV and colour set, hard edges, user normals, creases, two colour sets and a
// separate square face with a square hole.
std::unique_ptr<TpolyGeom> richRecord() {
    auto g = TmeshBoxFty().createBox();
    const uint32_t v0 = g->nbVertex(), e0 = g->nbEdge();
    for (float r : {2.0f, 1.0f})
        for (auto [x, y] : {std::pair{-r, -r}, {r, -r}, {r, r}, {-r, r}}) g->appendVertex(x + 5, y, 0);
    for (uint32_t loop = 0; loop < 2; ++loop)
        for (uint32_t i = 0; i < 4; ++i) g->appendEdge(v0 + 4 * loop + i, v0 + 4 * loop + (i + 1) % 4, i == 0);
    g->bgnFace(8);
    for (uint32_t i = 0; i < 4; ++i) g->refEdge(e0 + i, kForward);
    g->endLoop();
    for (uint32_t i = 4; i-- > 0;) g->refEdge(e0 + 4 + i, kReversed);
    g->endLoop();
    g->endFace();
    for (const char* name : {"map1", "atlas"}) {
        const uint32_t s = g->newEmptyMapSet(Tstring(name));
        g->appendUV(0.25f, 0.5f, s);
        g->appendUV(1.0f, 0.0f, s);
        for (uint32_t o = s; o < g->faceDescLength(); o += 2) g->setUVId(o, int32_t(o % 2), s);
    }
    g->setCurrentMap(1);
    g->setUserNormal(3, T4dFltVector(0, 0, 1));
    g->setUserNormalMode(TpolyNorm::kUserAdds);
    g->setCreaseValue(2, 0.5);
    g->setCreaseValue(7, 3.0);
    for (const char* name : {"paint", ""}) {
        const uint32_t s = g->newEmptyColorSet(Tstring(name));
        const float rgb[6] = {1, 0, 0, 0, 0.5f, 1};
        g->setColorRepresentation(TpolyColorValue::RGB, s);
        g->appendColor(rgb, TpolyColorValue::RGB, 2, s);
        for (uint32_t o = s; o < g->faceDescLength(); o += 3) g->setColorId(o, int32_t(o % 2), s);
    }
    g->setCurrentColorSet(1);
    return g;
}

std::vector<uint8_t> chunkOf(const TpolyGeom& g) {
    TiffFile file;
    EXPECT_EQ(file.beginChunk(TiffTag("POLY")), kIffOk);
    EXPECT_EQ(g.writeBinary(file), kIffOk);
    EXPECT_EQ(file.endChunk(), kIffOk);
    const TiffFile::Chunk c = file.chunk(0);
    return {c.data, c.data + c.size};
}

void expectSameRecord(const TpolyGeom& a, const TpolyGeom& b) {
    EXPECT_TRUE(a.isEquivalent(b));
    EXPECT_EQ(a.nbFace(), b.nbFace());
    ASSERT_EQ(a.nbUserNormal(), b.nbUserNormal());
    for (uint32_t i = 0; i < a.nbUserNormal(); ++i) EXPECT_EQ(a.userNormalConst(i), b.userNormalConst(i));
    EXPECT_EQ(a.userNormalMode(), b.userNormalMode());
    ASSERT_EQ(a.nbMapSet(), b.nbMapSet());
    EXPECT_EQ(a.getCurrentMap(), b.getCurrentMap());
    for (uint32_t s = 0; s < a.nbMapSet(); ++s) {
        EXPECT_TRUE((*a.maps())[s].compare((*b.maps())[s]));
        EXPECT_EQ((*a.maps())[s].getName().str(), (*b.maps())[s].getName().str());
    }
    ASSERT_EQ(a.nbColorSet(), b.nbColorSet());
    EXPECT_EQ(a.getCurrentColorSet(), b.getCurrentColorSet());
    for (uint32_t s = 0; s < a.nbColorSet(); ++s) {
        EXPECT_TRUE((*a.colors())[s].compare((*b.colors())[s]));
        EXPECT_EQ((*a.colors())[s].getName().str(), (*b.colors())[s].getName().str());
    }
    std::vector<uint32_t> ea, eb;
    EXPECT_EQ(creases(a, &ea), creases(b, &eb));
    EXPECT_EQ(ea, eb);
}

TEST(PolyIO, RecordRoundTripsThroughADiskFile) {
    auto g = richRecord();
    ASSERT_GT(g->nbMapSet(), 0u);
    TiffFile file;
    ASSERT_EQ(file.beginChunk(TiffTag("POLY")), kIffOk);
    ASSERT_EQ(g->writeBinary(file), kIffOk);
    ASSERT_EQ(file.endChunk(), kIffOk);
    const std::string path = tempPath();
    ASSERT_EQ(file.save(path.c_str()), kIffOk);
    TiffFile back;
    ASSERT_EQ(back.load(path.c_str()), kIffOk);
    std::remove(path.c_str());
    TiffFile::Chunk c;
    ASSERT_TRUE(back.findChunk(TiffTag("POLY"), c));
    std::vector<uint8_t> bytes(c.data, c.data + c.size);
    TpolyGeom read;
    int size = int(bytes.size());
    EXPECT_EQ(read.readBinary(bytes.data(), size, true), bytes.data() + bytes.size());
    EXPECT_EQ(size, 0);
    expectSameRecord(*g, read);
    EXPECT_EQ(read.nbFace(), 7u);
    EXPECT_TRUE(read.isDirty(dirtyAll & ~dirtyTangents));

    // Without creases their block (three ints and two arrays of two) is left unread.
    TpolyGeom plain;
    size = int(bytes.size());
    EXPECT_EQ(plain.readBinary(bytes.data(), size, false), bytes.data() + bytes.size() - 36);
    EXPECT_FALSE(creases(plain).size());
}

TEST(PolyIO, EmptyPartsWriteSingleZeros) {
    // Positions, edges, description, user normals, UV sets, colour sets and creases: each one zero.
    EXPECT_EQ(chunkOf(TpolyGeom()), std::vector<uint8_t>(4 * 7, 0));
    TpolyGeom g;
    std::vector<uint8_t> zeros(4 * 7, 0);
    int size = int(zeros.size());
    EXPECT_NE(g.readBinary(zeros.data(), size, true), nullptr);
    EXPECT_FALSE(g.hasUserNormals());
}

TEST(PolyIO, TruncatedOrCorruptedChunksLeaveTheRecordAlone) {
    const std::vector<uint8_t> good = chunkOf(*richRecord());
    auto before = TmeshBoxFty().createBox();
    before->setCreaseValue(1, 1.0);
    TpolyGeom target(*before);
    auto refused = [&](std::vector<uint8_t> bytes, int size) {
        const bool null = target.readBinary(bytes.data(), size, true) == nullptr;
        expectSameRecord(*before, target);
        return null;
    };
    for (int size = 0; size < int(good.size()); ++size) ASSERT_TRUE(refused(good, size)) << size;
    // A count far beyond the chunk, an edge end past the vertices, a colour id past the colours.
    auto corrupt = [&](uint32_t at, uint32_t word) {
        std::vector<uint8_t> bytes = good;
        for (int k = 0; k < 4; ++k) bytes[at + k] = uint8_t(word >> (24 - 8 * k));
        return refused(bytes, int(bytes.size()));
    };
    EXPECT_TRUE(corrupt(0, 0x7FFFFFFF));
    const uint32_t edges = 4 + 4 * 3 * 16;  // after the 16 positions
    EXPECT_TRUE(corrupt(edges + 4, 99));
    const uint32_t creaseBytes = 3 * 4 + 2 * (4 + 2 * 4);
    EXPECT_TRUE(corrupt(uint32_t(good.size()) - creaseBytes - 4, 5));  // last id of the last colour set
}

TEST(PolyIO, InconsistentDirectionsComeBackRepaired) {
    auto g = TmeshBoxFty().createBox();
    std::vector<uint8_t> bytes = chunkOf(*g);
    const uint32_t desc = 4 + 4 * 3 * g->nbVertex() + 4 + 8 * g->nbEdge() + 4;
    bytes[desc + 4 * 5] ^= 0x80;  // direction bit of entry 5
    TpolyGeom read;
    int size = int(bytes.size());
    ASSERT_NE(read.readBinary(bytes.data(), size, true), nullptr);
    EXPECT_TRUE(read.isEquivalent(*g));
}

}  // namespace
