#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "brindle/base/PolyIOArray.h"
#include "brindle/brindle.h"

namespace {

constexpr TiffTag kTag("OLDP");

// A box with one UV set and one RGB colour set, and an old user normal for vertex 0 only.
std::unique_ptr<TpolyGeom> source() {
    auto g = TmeshBoxFty().createBox();
    const uint32_t uv = g->newEmptyMapSet(Tstring("front"));
    g->appendUV(0.25f, 0.5f, uv);
    for (uint32_t o = 0; o < g->faceDescLength(); o += 2) g->setUVId(o, 0, uv);
    const uint32_t c = g->newEmptyColorSet(Tstring("paint"));
    const float rgb[6] = {1, 0, 0, 0, 0.5f, 1};
    g->setColorRepresentation(TpolyColorValue::RGB, c);
    g->appendColor(rgb, TpolyColorValue::RGB, 2, c);
    for (uint32_t o = 0; o < g->faceDescLength(); o += 3) g->setColorId(o, int32_t(o % 2), c);
    return g;
}

// The older chunk of g, as the files of that time hold it; faces is what the info block claims.
std::vector<uint8_t> oldChunk(const TpolyGeom& g, bool withColors, int32_t faces) {
    TiffFile f;
    f.beginChunk(kTag);
    writeArrayItem<float>(f, g.vertexStore()->fPoints);
    if (withColors) {
        std::vector<float> normals(3 * g.nbVertex(), 1e20f);
        normals[0] = 0, normals[1] = 0, normals[2] = 1;
        TpolyIOUtil::writeArray(f, uint32_t(normals.size()), normals.data());
        TpolyIOUtil::writeInt(f, TpolyNorm::kUserAdds);
    }
    const TpolyMap& map = (*g.maps())[0];
    TpolyIOUtil::writeInt(f, 1);
    map.writeValues(f);
    map.TpolyBdVertexFaceBase::writeBinary(f);
    if (withColors) {
        const TpolyColor& c = (*g.colors())[0];
        TpolyIOUtil::writeInt(f, 1);
        TpolyIOUtil::writeInt(f, c.representation());
        c.writeValues(f);
        c.TpolyBdVertexFaceBase::writeBinary(f);
    }
    g.topo()->writeBinary(f);
    TpolyIOUtil::writeInt(f, faces);
    f.endChunk();
    return {f.chunk(0).data, f.chunk(0).data + f.chunk(0).size};
}

// A file whose one chunk holds the first size bytes of chunk (all of them by default).
TiffFile fileOf(const std::vector<uint8_t>& chunk, size_t size = ~size_t(0)) {
    TiffFile f;
    f.beginChunk(kTag);
    f.write(chunk.data(), std::min(size, chunk.size()));
    f.endChunk();
    return f;
}

TEST(PolyGeomFFCompat, OldChunkReadsIntoCurrentSetsAndNormalIds) {
    auto g = source();
    TpolyGeom read;
    ASSERT_TRUE(TpolyGeomFFCompat::readBinaryPre3_0(kTag, fileOf(oldChunk(*g, true, 6)), read));
    EXPECT_TRUE(read.isEquivalent(*g));
    EXPECT_EQ(read.nbFace(), 6u);
    ASSERT_EQ(read.nbMapSet(), 1u);
    EXPECT_EQ((*read.maps())[0].getName().str(), "map1");
    EXPECT_TRUE((*read.maps())[0].compare((*g->maps())[0]));
    ASSERT_EQ(read.nbColorSet(), 1u);
    EXPECT_TRUE((*read.colors())[0].compare((*g->colors())[0]));
    EXPECT_EQ(read.userNormalMode(), TpolyNorm::kUserAdds);

    // Every normal id at vertex 0 carries the old normal (the box's hard corners give it three);
    // no other id has one.
    read.update(dirtyNormalTopo);
    EXPECT_EQ(read.nbUserNormal(), read.nbVertexNormal());
    uint32_t carried = 0;
    for (uint32_t o = 0; o < read.faceDescLength(); ++o) {
        const T4dFltVector* n = read.getValidUserNormal(read.getNormalId(o));
        EXPECT_EQ(n != nullptr, read.getStartVertex(o) == 0) << o;
        if (n) carried += n->z == 1.0f;
    }
    EXPECT_EQ(carried, 3u);
    EXPECT_EQ(read.checkObject(kCheckAll), 0u);

    // While the batch flag is set the files hold neither normals nor colours.
    TbatchGlobals::fNotWritingPolyColors = true;
    TpolyGeom plain;
    const std::vector<uint8_t> lean = oldChunk(*g, false, 6);
    const bool ok = TpolyGeomFFCompat::readBinaryPre3_0(kTag, fileOf(lean), plain);
    TbatchGlobals::fNotWritingPolyColors = false;
    ASSERT_TRUE(ok);
    EXPECT_TRUE(plain.isEquivalent(*g));
    EXPECT_FALSE(plain.hasUserNormals());
    EXPECT_EQ(plain.nbColorSet(), 0u);
}

TEST(PolyGeomFFCompat, BadChunksLeaveTheRecordAlone) {
    auto g = source();
    const auto before = TmeshBoxFty().createBox();
    TpolyGeom target(*before);
    auto refused = [&](const TiffFile& f) {
        const bool no = !TpolyGeomFFCompat::readBinaryPre3_0(kTag, f, target);
        EXPECT_TRUE(target.isEquivalent(*before));
        EXPECT_EQ(target.nbMapSet(), 0u);
        return no;
    };
    const std::vector<uint8_t> good = oldChunk(*g, true, 6);
    for (size_t size = 0; size < good.size(); size += 4) EXPECT_TRUE(refused(fileOf(good, size))) << size;
    EXPECT_TRUE(refused(fileOf(oldChunk(*g, true, 5))));  // face count disagrees
    EXPECT_TRUE(refused(TiffFile()));                     // no such chunk
    std::vector<uint8_t> bad = good;
    bad[4 + 4 * 3 * g->nbVertex() + 3] = 7;  // the normal array's count no longer whole vectors
    EXPECT_TRUE(refused(fileOf(bad)));
}

}  // namespace
