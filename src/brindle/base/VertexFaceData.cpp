#include "brindle/base/VertexFaceData.h"

#include <string>

#include "brindle/base/Diagnostics.h"

void TpolyBdVertexFaceBase::debug(TdebugOutput& out) const {
    out << "set \"" << fName.str() << "\" ids " << fIds.size() << " values " << nbData() << '\n';
    for (uint32_t c = 0; c < fIds.size(); ++c) out << ' ' << fIds[c];
    out << '\n';
}

void makeUniqueSetName(Tstring& name, std::string_view emptyBase, const std::function<bool(std::string_view)>& exists) {
    const std::string base(name.isEmpty() ? emptyBase : std::string_view(name));
    std::string candidate = name.isEmpty() ? base + "1" : base;
    for (uint32_t n = 2; exists(candidate); ++n) candidate = base + std::to_string(n);
    name = Tstring(std::move(candidate));
}

TiffStatus TpolyBdVertexFaceBase::writeName(TiffFile& file) const {
    const uint32_t n = fName.length();
    TiffStatus status = TpolyIOUtil::writeInt(file, int32_t(n));
    if (status != kIffOk) return status;
    const char pad[4] = {};
    status = file.write(fName.c_str(), n);
    return status == kIffOk ? file.write(pad, (4 - n % 4) % 4) : status;
}

const void* TpolyBdVertexFaceBase::readName(const void* cursor, int& size) {
    int left = size;
    uint32_t n = 0;
    cursor = TpolyIOUtil::readSize(cursor, left, n);
    const uint64_t padded = (uint64_t(n) + 3) / 4;
    if (!cursor || !TpolyIOUtil::holds(left, padded)) return nullptr;
    fName = std::string_view(static_cast<const char*>(cursor), n);
    size = left - int(padded * 4);
    return static_cast<const uint8_t*>(cursor) + padded * 4;
}

TiffStatus TpolyBdVertexFaceBase::writeBinary(TiffFile& file) const { return writeArrayItem<int32_t>(file, fIds); }

const void* TpolyBdVertexFaceBase::readBinary(const void* cursor, int& size) {
    Tint32Array ids(256);
    int left = size;
    cursor = readArrayItem<int32_t>(cursor, left, ids);
    if (!cursor || !acceptsIds(ids.data(), ids.size())) return nullptr;
    fIds.swap(ids);
    size = left;
    return cursor;
}
