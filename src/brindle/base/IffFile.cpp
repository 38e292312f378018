#include "brindle/base/IffFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

namespace {

constexpr TiffTag kForm("FORM");
constexpr size_t kHeader = 8;  // tag and size

uint32_t getBig(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void putBig(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

}  // namespace

std::string TiffTag::text() const {
    std::string s(4, ' ');
    for (int k = 0; k < 4; ++k) s[size_t(k)] = char(fId >> (24 - 8 * k));
    return s;
}

TiffFile::TiffFile(TiffTag formType) : fBytes(12) {
    putBig(fBytes.data(), kForm.id());
    putSize(4, 4);
    putBig(fBytes.data() + 8, formType.id());
}

TiffTag TiffFile::formType() const { return TiffTag(getBig(fBytes.data() + 8)); }

void TiffFile::putSize(size_t at, size_t size) { putBig(fBytes.data() + at, uint32_t(size)); }

TiffStatus TiffFile::beginChunk(TiffTag tag) {
    if (inChunk()) return kIffNoChunk;
    if (fBytes.size() + kHeader > kMaxSize) return kIffTooLarge;
    fOpen = fBytes.size();
    fBytes.resize(fOpen + kHeader);
    putBig(fBytes.data() + fOpen, tag.id());
    putSize(fOpen + 4, 0);
    return kIffOk;
}

void TiffFile::reserve(size_t bytes) {
    const size_t need = fBytes.size() + std::min(bytes, kMaxSize) + 1;
    // At least half again the capacity, so that many small reservations stay linear.
    if (need > fBytes.capacity()) fBytes.reserve(std::max(need, fBytes.capacity() + fBytes.capacity() / 2));
}

uint8_t* TiffFile::extend(size_t bytes, TiffStatus& status) {
    status = !inChunk() ? kIffNoChunk : bytes > kMaxSize - fBytes.size() ? kIffTooLarge : kIffOk;
    if (status != kIffOk) return nullptr;
    const size_t at = fBytes.size();
    fBytes.resize(at + bytes);
    return fBytes.data() + at;
}

TiffStatus TiffFile::write(const void* data, size_t bytes) {
    TiffStatus status;
    uint8_t* room = extend(bytes, status);
    if (room && bytes) std::memcpy(room, data, bytes);
    return status;
}

TiffStatus TiffFile::endChunk() {
    if (!inChunk()) return kIffNoChunk;
    const size_t size = fBytes.size() - fOpen - kHeader;
    if (size & 1) {
        if (fBytes.size() + 1 > kMaxSize) return kIffTooLarge;
        fBytes.push_back(0);
    }
    putSize(fOpen + 4, size);
    putSize(4, fBytes.size() - kHeader);
    fChunks.push_back(fOpen);
    fOpen = kNone;
    return kIffOk;
}

TiffFile::Chunk TiffFile::chunk(uint32_t i) const {
    const uint8_t* h = fBytes.data() + fChunks[i];
    return {TiffTag(getBig(h)), h + kHeader, getBig(h + 4)};
}

bool TiffFile::findChunk(TiffTag tag, Chunk& out, uint32_t n) const {
    for (uint32_t i = 0; i < nbChunk(); ++i) {
        const Chunk c = chunk(i);
        if (c.tag == tag && n-- == 0) {
            out = c;
            return true;
        }
    }
    return false;
}

bool TiffFile::scan(const uint8_t* p, size_t size, std::vector<size_t>& chunks) {
    if (size < 12 || size > kMaxSize || getBig(p) != kForm.id() || getBig(p + 4) != size - kHeader) return false;
    size_t at = 12;
    while (at < size) {
        if (size - at < kHeader) return false;
        const size_t body = getBig(p + at + 4);
        const size_t padded = body + (body & 1);
        if (padded > size - at - kHeader) return false;
        chunks.push_back(at);
        at += kHeader + padded;
    }
    return true;
}

TiffStatus TiffFile::adopt(std::vector<uint8_t>&& bytes) {
    std::vector<size_t> chunks;
    if (!scan(bytes.data(), bytes.size(), chunks)) return kIffBadFormat;
    fBytes = std::move(bytes);
    fChunks.swap(chunks);
    fOpen = kNone;
    return kIffOk;
}

TiffStatus TiffFile::parse(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    return adopt(std::vector<uint8_t>(p, p + size));
}

TiffStatus TiffFile::save(const char* path) const {
    if (inChunk()) return kIffNoChunk;
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path, "wb"), &std::fclose);
    if (!f || std::fwrite(fBytes.data(), 1, fBytes.size(), f.get()) != fBytes.size()) return kIffIoError;
    return std::fclose(f.release()) == 0 ? kIffOk : kIffIoError;
}

TiffStatus TiffFile::load(const char* path) {
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path, "rb"), &std::fclose);
    if (!f || std::fseek(f.get(), 0, SEEK_END) != 0) return kIffIoError;
    const long size = std::ftell(f.get());
    if (size < 0 || std::fseek(f.get(), 0, SEEK_SET) != 0) return kIffIoError;
    if (size_t(size) > kMaxSize) return kIffBadFormat;
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), f.get()) != bytes.size()) return kIffIoError;
    return adopt(std::move(bytes));
}
