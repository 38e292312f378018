// Record to OBJ text.
#include "brindle/objreader/ObjWriter.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "brindle/geom/PolyGeom.h"
#include "brindle/geom/PolyGrp.h"

namespace {

// Text collected in a buffer; with a file it is written out in blocks of about kBlock bytes, so the
// buffer never holds more than one block plus one line.
class TobjSink {
public:
    static constexpr std::size_t kBlock = std::size_t(1) << 20;

    TobjSink(std::string& buffer, std::FILE* file) : fOut(buffer), fFile(file) {}

    void text(const char* s, std::size_t n) { fOut.append(s, n); }
    void text(const std::string& s) { fOut.append(s); }
    void ch(char c) { fOut.push_back(c); }
    void number(uint64_t v) {
        char tmp[24];
        fOut.append(tmp, std::size_t(std::to_chars(tmp, tmp + sizeof tmp, v).ptr - tmp));
    }
    void number(float v) {
        char tmp[32];
        fOut.append(tmp, std::size_t(std::to_chars(tmp, tmp + sizeof tmp, v).ptr - tmp));
    }
    // Ends a line, and writes the block out once it is full. False once a write failed.
    bool endLine() {
        fOut.push_back('\n');
        if (fFile && fOut.size() >= kBlock) return flush();
        return fOk;
    }
    bool flush() {
        if (fFile && !fOut.empty()) {
            fOk = fOk && std::fwrite(fOut.data(), 1, fOut.size(), fFile) == fOut.size();
            fOut.clear();
        }
        return fOk;
    }

private:
    std::string& fOut;
    std::FILE* fFile;
    bool fOk = true;
};

// The positive face groups of the record and, per face, the names of those that hold it. Names
// come in the order of their first face group; as in every lookup by name, the last face group of
// a name holds its members. Built in two passes over the groups' entries (count, then fill), so the
// cost is linear in faces plus group members however many groups there are.
class TfaceGroupRows {
public:
    explicit TfaceGroupRows(TpolyGeom& geom) : fStart(std::size_t(geom.nbFace()) + 1, 0) {
        const uint32_t nFace = geom.nbFace();
        std::vector<int32_t> names;
        std::vector<const TpolyGrpDesc*> groups;
        std::unordered_map<int32_t, uint32_t> slot;
        for (uint32_t g = 0; g < geom.nbGroup(); ++g) {
            const TpolyGrpDesc& d = geom.grp()->fGroups[g];
            if (d.fType != kPolyGrpFace || d.fName <= 0) continue;
            const auto [it, added] = slot.try_emplace(d.fName, uint32_t(names.size()));
            if (added) {
                names.push_back(d.fName);
                groups.push_back(&d);
            } else {
                groups[it->second] = &d;
            }
        }
        // Calls fn(face) for every member of d below nFace.
        const auto forEachMember = [nFace](const TpolyGrpDesc& d, auto&& fn) {
            for (uint32_t i = 0, n = d.nbItem(); i < n; ++i) {
                const uint32_t first = d.getItem(i);
                const uint32_t last = d.itemBlock(i) && i + 1 < n ? d.getItem(++i) : first;
                for (uint32_t f = first; f <= last && f < nFace; ++f) fn(f);
            }
        };
        for (const TpolyGrpDesc* d : groups) forEachMember(*d, [&](uint32_t f) { ++fStart[f + 1]; });
        for (uint32_t f = 0; f < nFace; ++f) fStart[f + 1] += fStart[f];
        fNames.resize(fStart[nFace]);
        std::vector<uint32_t> fill(fStart.begin(), fStart.end() - 1);
        for (uint32_t k = 0; k < groups.size(); ++k)
            forEachMember(*groups[k], [&](uint32_t f) { fNames[fill[f]++] = names[k]; });
    }
    // Whether face f is in other groups than the face before it (for face 0: in any group).
    bool changed(uint32_t f) const {
        if (f == 0) return fStart[1] > 0;
        return !std::equal(fNames.begin() + fStart[f - 1], fNames.begin() + fStart[f], fNames.begin() + fStart[f],
                           fNames.begin() + fStart[f + 1]);
    }
    const int32_t* begin(uint32_t f) const { return fNames.data() + fStart[f]; }
    const int32_t* end(uint32_t f) const { return fNames.data() + fStart[f + 1]; }

private:
    std::vector<uint32_t> fStart;  // face f's names are fNames[fStart[f], fStart[f + 1])
    std::vector<int32_t> fNames;
};

class TobjFormatter {
public:
    TobjFormatter(TpolyGeom& geom, const std::vector<std::string>& names, TobjSink& sink, TobjWriteReport& report)
        : fGeom(geom), fNames(names), fSink(sink), fReport(report) {}

    bool run();

private:
    void groupLine(const int32_t* first, const int32_t* last);
    // One f line over the corners at the given description offsets.
    bool faceLine(const uint32_t* offsets, uint32_t n);
    bool face(uint32_t f);

    TpolyGeom& fGeom;
    const std::vector<std::string>& fNames;
    TobjSink& fSink;
    TobjWriteReport& fReport;
    int32_t fUVSet = -1;
    bool fTriangulated = false;
    std::vector<uint32_t> fOffsets;
};

void TobjFormatter::groupLine(const int32_t* first, const int32_t* last) {
    fSink.ch('g');
    for (const int32_t* it = first; it != last; ++it) {
        const int32_t name = *it;
        fSink.ch(' ');
        if (std::size_t(name) <= fNames.size() && !fNames[std::size_t(name) - 1].empty()) {
            fSink.text(fNames[std::size_t(name) - 1]);
        } else {
            fSink.text("group", 5);
            fSink.number(uint64_t(name));
        }
    }
    fSink.endLine();
}

bool TobjFormatter::faceLine(const uint32_t* offsets, uint32_t n) {
    bool mapped = fUVSet >= 0;
    for (uint32_t k = 0; k < n && mapped; ++k) mapped = fGeom.getUVId(offsets[k], uint32_t(fUVSet)) >= 0;
    fSink.ch('f');
    for (uint32_t k = 0; k < n; ++k) {
        const uint32_t o = offsets[k];
        fSink.ch(' ');
        fSink.number(uint64_t(fGeom.getStartVertex(o)) + 1);
        fSink.ch('/');
        if (mapped) fSink.number(uint64_t(fGeom.getUVId(o, uint32_t(fUVSet))) + 1);
        fSink.ch('/');
        fSink.number(uint64_t(fGeom.getNormalId(o)) + 1);
    }
    return fSink.endLine();
}

bool TobjFormatter::face(uint32_t f) {
    const uint32_t first = fGeom.faceOffset(f), n = fGeom.faceVertexCount(f);
    if (n == 0) return true;
    bool holed = false;
    for (uint32_t o = first; o + 1 < first + n && !holed; ++o) holed = fGeom.endOfLoop(o);
    if (!holed) {
        fOffsets.resize(n);
        for (uint32_t k = 0; k < n; ++k) fOffsets[k] = first + k;
        return faceLine(fOffsets.data(), n);
    }
    if (!fTriangulated) {
        fGeom.update(dirtyTriangles);
        fTriangulated = true;
    }
    ++fReport.holedFaces;
    uint32_t t0 = 0;
    const uint32_t nt = fGeom.trgFaceOrder(f, &t0);
    for (uint32_t t = t0; t < t0 + nt; ++t) {
        const uint32_t corners[3] = {first + fGeom.vertexOffset(t, 0), first + fGeom.vertexOffset(t, 1),
                                     first + fGeom.vertexOffset(t, 2)};
        if (!faceLine(corners, 3)) return false;
    }
    return true;
}

bool TobjFormatter::run() {
    fGeom.update(dirtyFaceOffsets | dirtyEdgeToFace | dirtyFaceVectors | dirtyFaceNormalize | dirtyNormalTopo |
                 dirtyVertexNormals | dirtyVertexNormalize);
    fUVSet = fGeom.getCurrentMap();
    if (fUVSet < 0 && fGeom.nbMapSet() > 0) fUVSet = 0;
    if (fUVSet >= 0 && fGeom.nbUV(uint32_t(fUVSet)) == 0) fUVSet = -1;

    const auto pointLine = [this](const char* tag, std::size_t length, const T3dFltPoint& p) {
        fSink.text(tag, length);
        fSink.number(p.x);
        fSink.ch(' ');
        fSink.number(p.y);
        fSink.ch(' ');
        fSink.number(p.z);
        return fSink.endLine();
    };
    T3dFltPoint p;
    for (uint32_t v = 0; v < fGeom.nbVertex(); ++v) {
        fGeom.getVertex(v, p);
        if (!pointLine("v ", 2, p)) return false;
    }
    if (fUVSet >= 0)
        for (uint32_t i = 0; i < fGeom.nbUV(uint32_t(fUVSet)); ++i) {
            float uv[2] = {0, 0};
            fGeom.getUV(i, uv, uint32_t(fUVSet));
            fSink.text("vt ", 3);
            fSink.number(uv[0]);
            fSink.ch(' ');
            fSink.number(uv[1]);
            if (!fSink.endLine()) return false;
        }
    for (uint32_t i = 0; i < fGeom.nbVertexNormal(); ++i)
        if (!pointLine("vn ", 3, fGeom.vertexNormalConst(i))) return false;
    const TfaceGroupRows groups(fGeom);
    for (uint32_t f = 0; f < fGeom.nbFace(); ++f) {
        if (groups.changed(f)) groupLine(groups.begin(f), groups.end(f));
        if (!face(f)) return false;
    }
    if (fReport.holedFaces)
        fReport.warnings.push_back(std::to_string(fReport.holedFaces) +
                                   " faces with holes were written as their triangles");
    return fSink.flush();
}

}  // namespace

void TobjWriter::format(TpolyGeom& geom, const std::vector<std::string>& groupNames, std::string& out,
                        TobjWriteReport& report) {
    report = TobjWriteReport{};
    TobjSink sink(out, nullptr);
    TobjFormatter(geom, groupNames, sink, report).run();
}

bool TobjWriter::write(TpolyGeom& geom, const char* path, const std::vector<std::string>& groupNames,
                       TobjWriteReport& report) {
    report = TobjWriteReport{};
    std::FILE* file = std::fopen(path, "wb");
    if (!file) {
        report.error = std::string(path) + ": cannot write: " + std::strerror(errno);
        return false;
    }
    std::string buffer;
    buffer.reserve(TobjSink::kBlock + 4096);
    TobjSink sink(buffer, file);
    const bool ok = TobjFormatter(geom, groupNames, sink, report).run();
    const bool closed = std::fclose(file) == 0;
    if (!ok || !closed) {
        report.error = std::string(path) + ": write failed: " + std::strerror(errno);
        return false;
    }
    return true;
}
