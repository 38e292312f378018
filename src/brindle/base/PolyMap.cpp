#include "brindle/base/PolyMap.h"

#include <cmath>

uint32_t TpolyMap::snapToPoint(const float point[2], float tolerance) {
    uint32_t moved = 0;
    for (T2FloatPair& uv : fValues) {
        if (std::fabs(uv.u - point[0]) > tolerance || std::fabs(uv.v - point[1]) > tolerance) continue;
        if (uv.u != point[0] || uv.v != point[1]) ++moved;
        uv = {point[0], point[1]};
    }
    return moved;
}

bool TpolyMap::compare(const TpolyMap& other, float tolerance) const {
    if (!(fIds == other.fIds) || fValues.size() != other.fValues.size()) return false;
    for (uint32_t i = 0; i < fValues.size(); ++i)
        if (std::fabs(fValues[i].u - other.fValues[i].u) > tolerance ||
            std::fabs(fValues[i].v - other.fValues[i].v) > tolerance)
            return false;
    return true;
}

TiffStatus TpolyMapArrayShared::writeBinary(TiffFile& file) const {
    TiffStatus status = TpolyIOUtil::writeInt(file, int32_t(nbSet()));
    if (status == kIffOk && nbSet() > 0) status = TpolyIOUtil::writeInt(file, currentSetId());
    for (uint32_t s = 0; s < nbSet() && status == kIffOk; ++s) {
        const TpolyMap& map = fSets[s];
        status = map.writeName(file);
        if (status == kIffOk) status = map.writeValues(file);
        if (status == kIffOk) status = map.writeBinary(file);
    }
    return status;
}

const void* TpolyMapArrayShared::readBinary(const void* cursor, int& size) {
    int left = size;
    uint32_t count = 0;
    int32_t current = -1;
    cursor = TpolyIOUtil::readSize(cursor, left, count);
    // Every set takes at least its three count words.
    if (!cursor || !TpolyIOUtil::holds(left, uint64_t(count) * 3)) return nullptr;
    if (count > 0) cursor = TpolyIOUtil::readInt(cursor, left, current);
    if (!cursor || current < -1 || (count > 0 && current >= int32_t(count))) return nullptr;
    TpolyMapArray sets(8);
    sets.buffer(count);
    for (uint32_t s = 0; s < count && cursor; ++s) {
        sets.addLast(TpolyMap());
        TpolyMap& map = sets.last();
        cursor = map.readName(cursor, left);
        if (cursor) cursor = map.readValues(cursor, left);
        if (cursor) cursor = map.readBinary(cursor, left);
    }
    if (!cursor) return nullptr;
    fSets.swap(sets);
    fCurrent = current;
    size = left;
    return cursor;
}
