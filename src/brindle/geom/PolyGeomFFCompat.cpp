// Older files are read like current ones: into a staged record that replaces the target's parts
// only once every block has been read and every id found in range.

#include "brindle/geom/PolyGeomFFCompat.h"

#include "brindle/base/PolyIOArray.h"
#include "brindle/base/TranslatorGlobals.h"
#include "brindle/geom/PolyGeom.h"

namespace {

// An optional set: the int 0 (absent, nothing else read) or 1 followed by what read reads.
template <typename Read>
const void* readOptional(const void* cursor, int& size, Read&& read) {
    int left = size;
    int32_t present = 0;
    cursor = TpolyIOUtil::readInt(cursor, left, present);
    if (!cursor || (present != 0 && present != 1)) return nullptr;
    if (present == 1) cursor = read(cursor, left);
    if (cursor) size = left;
    return cursor;
}

}  // namespace

const void* TpolyGeomFFCompat::readBinaryGeom(TpolyGeom& g, const void* cursor, int& size) {
    return readArrayItem<float>(cursor, size, g.fVertex->fPoints);
}

const void* TpolyGeomFFCompat::readNormBinary(TpolyGeom& g, const void* cursor, int& size) {
    return g.fNorm->readBinary(cursor, size);
}

const void* TpolyGeomFFCompat::readMapBinary(TpolyGeom& g, const void* cursor, int& size) {
    return readOptional(cursor, size, [&](const void* at, int& left) {
        TpolyMap& map = (*g.fMaps)[g.fMaps->add(Tstring("map1"))];
        at = map.readValues(at, left);
        return at ? map.TpolyBdVertexFaceBase::readBinary(at, left) : nullptr;
    });
}

const void* TpolyGeomFFCompat::readColorBinary(TpolyGeom& g, const void* cursor, int& size) {
    return readOptional(cursor, size, [&](const void* at, int& left) {
        return (*g.fColors)[g.fColors->add(Tstring())].readBinary(at, left, false);
    });
}

const void* TpolyGeomFFCompat::readEdgeBinary(TpolyGeom& g, const void* cursor, int& size) {
    return g.fTopo->readBinary(cursor, size);
}

const void* TpolyGeomFFCompat::readInfoBinary(TpolyGeom& g, const void* cursor, int& size) {
    int left = size;
    int32_t faces = 0;
    cursor = TpolyIOUtil::readInt(cursor, left, faces);
    if (!cursor || faces < 0 || uint32_t(faces) != g.nbFace()) return nullptr;
    size = left;
    return cursor;
}

void TpolyGeomFFCompat::computeOldNormalIdRefs(TpolyGeom& g) {
    g.update(dirtyNormalTopo);
    // The old id of a corner is its vertex: reordering from those ids sizes the user array for the
    // current normal count, unset, and stores each old normal at every new id of its vertex.
    TuInt32Array oldIds;
    oldIds.create(g.faceDescLength());
    for (uint32_t o = 0; o < oldIds.size(); ++o) oldIds[o] = g.getStartVertex(o);
    g.fNorm->reorderUserNormals(oldIds);
}

bool TpolyGeomFFCompat::readBinaryPre3_0(TiffTag tag, const TiffFile& file, TpolyGeom& geom) {
    TiffFile::Chunk chunk;
    if (!file.findChunk(tag, chunk)) return false;
    const bool withColors = !TbatchGlobals::fNotWritingPolyColors;
    TpolyGeom staged;
    int left = int(chunk.size);
    const void* cursor = readBinaryGeom(staged, chunk.data, left);
    if (cursor && withColors) cursor = readNormBinary(staged, cursor, left);
    if (cursor) cursor = readMapBinary(staged, cursor, left);
    if (cursor && withColors) cursor = readColorBinary(staged, cursor, left);
    if (cursor) cursor = readEdgeBinary(staged, cursor, left);
    if (cursor) cursor = readInfoBinary(staged, cursor, left);
    if (!cursor || !staged.finishStagedRead()) return false;
    if (staged.hasUserNormals()) computeOldNormalIdRefs(staged);
    geom.share(staged, kCompVertices | kCompTopology | kCompNormals | kCompUVSets | kCompColorSets);
    geom.markDirty(dirtyAll);
    return true;
}
