#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>
#include <unistd.h>

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

}  // namespace
