// The record's binary chunk: items in a fixed order, each read back bounds-checked. Reading goes
// into a staged record that replaces the record's own parts only once every item has been read
// and every id found in range, so a truncated or corrupted chunk never leaves a half-read record.

#include <algorithm>

#include "brindle/base/PolyIOArray.h"
#include "brindle/base/TranslatorGlobals.h"
#include "brindle/geom/PolyGeom.h"

namespace {

// Runs the writers in order and stops at the first that fails.
template <typename... Writers>
TiffStatus writeAll(Writers&&... writers) {
    TiffStatus status = kIffOk;
    ((status == kIffOk ? void(status = writers()) : void()), ...);
    return status;
}

// Ids stay inside their arrays: edge ends below the vertex count, entries below the edge count,
// and every face ends with both end bits, so that offsets and face count agree.
bool indicesInRange(const TpolyGeom& g) {
    const uint32_t nVertex = g.nbVertex(), nEdge = g.nbEdge(), n = g.faceDescLength();
    for (const TpolyEdge& e : g.edgeArray())
        if (e.start() >= nVertex || e.end() >= nVertex) return false;
    constexpr uint32_t ends = TpolyBits::kEndOfFace | TpolyBits::kEndOfLoop;
    for (uint32_t w : g.faceDescArray())
        if ((w & TpolyBits::kEdgeMask) >= nEdge || (w & ends) == TpolyBits::kEndOfFace) return false;
    return n == 0 || (g.getFaceEdge(n - 1) & ends) == ends;
}

TiffStatus writeColorSets(TiffFile& file, const TpolyColorArrayShared& colors) {
    TiffStatus status = TpolyIOUtil::writeInt(file, int32_t(colors.nbSet()));
    if (status == kIffOk && colors.nbSet() > 0) status = TpolyIOUtil::writeInt(file, colors.currentSetId());
    for (const TpolyColor& set : colors)
        if (status == kIffOk) status = set.writeBinary(file);
    return status;
}

const void* readColorSets(const void* cursor, int& size, TpolyColorArrayShared& colors) {
    uint32_t count = 0;
    int32_t current = 0;
    cursor = TpolyIOUtil::readSize(cursor, size, count);
    // Every set takes at least its representation and two count words.
    if (!cursor || !TpolyIOUtil::holds(size, uint64_t(count) * 3)) return nullptr;
    if (count > 0) cursor = TpolyIOUtil::readInt(cursor, size, current);
    if (!cursor || (count > 0 && (current < 0 || uint32_t(current) >= count))) return nullptr;
    colors.clear();
    colors.buffer(count);
    for (uint32_t s = 0; s < count && cursor; ++s) cursor = colors[colors.add(Tstring())].readBinary(cursor, size);
    if (cursor && count > 0) colors.setCurrentSetId(uint32_t(current));
    return cursor;
}

}  // namespace

// --- Components ----------------------------------------------------------------------------------

TiffStatus TpolyTopo::writeBinary(TiffFile& file) const {
    return writeAll([&] { return writeArrayItem<uint32_t>(file, fEdges); },
                    [&] { return writeArrayItem<uint32_t>(file, fFaceDesc); });
}

const void* TpolyTopo::readBinary(const void* cursor, int& size) {
    TpolyEdgeArray edges(256);
    TuInt32Array desc(256);
    int left = size;
    cursor = readArrayItem<uint32_t>(cursor, left, edges);
    if (cursor) cursor = readArrayItem<uint32_t>(cursor, left, desc);
    if (!cursor) return nullptr;
    constexpr uint32_t ends = TpolyBits::kEndOfFace | TpolyBits::kEndOfLoop;
    fNbFace = 0;
    for (uint32_t w : desc) fNbFace += (w & ends) == ends;
    fEdges.swap(edges);
    fFaceDesc.swap(desc);
    size = left;
    return cursor;
}

TiffStatus TpolyNorm::writeBinary(TiffFile& file) const {
    // x, y and z of each normal; w is not saved.
    constexpr uint32_t stride = sizeof(T4dFltVector) / sizeof(float);
    TiffStatus status = TpolyIOUtil::writeArray(file, fUserNormals.size(),
                                                reinterpret_cast<const float*>(fUserNormals.data()), 3, stride);
    if (status == kIffOk && !fUserNormals.empty()) status = TpolyIOUtil::writeInt(file, fUserNormalMode);
    return status;
}

const void* TpolyNorm::readBinary(const void* cursor, int& size) {
    TfloatArray xyz;
    int left = size;
    int32_t mode = kUserReplaces;
    cursor = readArrayItem<float>(cursor, left, xyz);
    if (cursor && !xyz.empty()) cursor = TpolyIOUtil::readInt(cursor, left, mode);
    if (!cursor || xyz.size() % 3 != 0 || (mode != kUserReplaces && mode != kUserAdds)) return nullptr;
    fUserNormals.clear();
    fUserNormals.buffer(xyz.size() / 3);
    for (uint32_t i = 0; i < xyz.size(); i += 3) fUserNormals.addLast(T4dFltVector(xyz[i], xyz[i + 1], xyz[i + 2]));
    fUserNormalMode = TuserNormalMode(mode);
    size = left;
    return cursor;
}

TiffStatus TpolyColor::writeBinary(TiffFile& file) const {
    return writeAll([&] { return writeName(file); }, [&] { return TpolyIOUtil::writeInt(file, fRep); },
                    [&] { return writeValues(file); }, [&] { return TpolyBdVertexFaceBase::writeBinary(file); });
}

const void* TpolyColor::readBinary(const void* cursor, int& size) {
    return readBinary(
        cursor, size,
        TglobalTranslatorBase::currentlyReadingFileVersion() >= TglobalTranslatorBase::kColorSetNamesVersion);
}

const void* TpolyColor::readBinary(const void* cursor, int& size, bool named) {
    int left = size;
    int32_t rep = 0;
    if (named) cursor = readName(cursor, left);
    cursor = TpolyIOUtil::readInt(cursor, left, rep);
    if (!cursor || TpolyColorValue::floatCount(TpolyColorValue::TpolyColorRep(rep)) == 0) return nullptr;
    cursor = readValues(cursor, left);
    if (cursor) cursor = TpolyBdVertexFaceBase::readBinary(cursor, left);
    if (!cursor) return nullptr;
    fRep = TpolyColorValue::TpolyColorRep(rep);
    size = left;
    return cursor;
}

// --- The record ----------------------------------------------------------------------------------

TiffStatus TpolyGeom::writeBinaryCrease(TiffFile& file) const {
    TuInt32Array edges;
    TdoubleArray values;
    getCreaseEdges(edges, values);
    const uint32_t n = std::min(edges.size(), values.size());
    if (n == 0) return TpolyIOUtil::writeInt(file, 0);
    return writeAll([&] { return TpolyIOUtil::writeInt(file, 1); }, [&] { return TpolyIOUtil::writeInt(file, 1); },
                    [&] { return TpolyIOUtil::writeInt(file, 2); },
                    [&] { return TpolyIOUtil::writeArray(file, n, edges.data()); },
                    [&] { return TpolyIOUtil::writeArray(file, n, values.data()); });
}

const void* TpolyGeom::readBinaryCrease(const void* cursor, int& size) {
    int left = size;
    int32_t flag = 0, unused = 0;
    cursor = TpolyIOUtil::readInt(cursor, left, flag);
    if (cursor && flag != 0) {
        cursor = TpolyIOUtil::readInt(TpolyIOUtil::readInt(cursor, left, unused), left, unused);
        int peek = left;
        uint32_t count = 0;
        if (cursor && TpolyIOUtil::readSize(cursor, peek, count) && count == 0) {
            cursor = TpolyIOUtil::readSize(cursor, left, count);  // a zero count ends the block
        } else if (cursor) {
            TuInt32Array edges;
            TfloatArray narrow;
            cursor = readArrayItem<uint32_t>(cursor, left, edges);
            if (cursor) cursor = readArrayItem<float>(cursor, left, narrow);
            if (!cursor) return nullptr;
            TdoubleArray values;
            values.buffer(narrow.size());
            for (float v : narrow) values.addLast(v);
            setCreaseEdges(edges, values);
        }
    }
    if (cursor) size = left;
    return cursor;
}

TiffStatus TpolyGeom::writeBinary(TiffFile& file) const {
    // An upper bound of the chunk's bytes (every item's count word, the record's arrays and each
    // set's name, ids and values; creases aside), so that the file grows once.
    const auto setBytes = [](const auto& sets) {
        size_t bytes = 8;
        for (const auto& set : sets)
            bytes += 32 + set.getName().length() + size_t(set.indexArray().size()) * 4 +
                     size_t(set.values().size()) * sizeof(*set.values().data());
        return bytes;
    };
    file.reserve(64 + size_t(nbVertex()) * sizeof(T3dFltPoint) + size_t(nbEdge()) * sizeof(TpolyEdge) +
                 size_t(faceDescLength()) * 4 + size_t(nbUserNormal()) * 12 + setBytes(*fMaps) + setBytes(*fColors));
    return writeAll([&] { return writeArrayItem<float>(file, fVertex->fPoints); },
                    [&] { return fTopo->writeBinary(file); }, [&] { return fNorm->writeBinary(file); },
                    [&] { return fMaps->writeBinary(file); }, [&] { return writeColorSets(file, *fColors); },
                    [&] { return writeBinaryCrease(file); });
}

bool TpolyGeom::finishStagedRead() {
    if (!indicesInRange(*this)) return false;
    update(dirtyFaceOffsets);
    const uint32_t* offsets = fTopo->fFaceOffsets.data();
    for (uint32_t f = 0; f < nbFace(); ++f) reconnectEntries(offsets[f], offsets[f + 1]);
    return true;
}

void* TpolyGeom::readBinary(void* data, int& size, bool withCreases) {
    TpolyGeom staged;
    // Creases merge into the record's own groups, so the staged record starts from a copy of them.
    if (withCreases) staged.copy(*this, kCompGroups);
    int left = size;
    const void* cursor = readArrayItem<float>(data, left, staged.fVertex->fPoints);
    if (cursor) cursor = staged.fTopo->readBinary(cursor, left);
    if (cursor) cursor = staged.fNorm->readBinary(cursor, left);
    if (cursor) cursor = staged.fMaps->readBinary(cursor, left);
    if (cursor) cursor = readColorSets(cursor, left, *staged.fColors);
    if (cursor && withCreases) cursor = staged.readBinaryCrease(cursor, left);
    if (!cursor || !staged.finishStagedRead()) return nullptr;

    share(staged, kCompVertices | kCompTopology | kCompNormals | kCompUVSets | kCompColorSets |
                      (withCreases ? uint32_t(kCompGroups) : 0u));
    size = left;
    return const_cast<void*>(cursor);
}
