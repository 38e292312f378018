// OBJ file to record, on top of the command reader and the vertex builder.
#include "brindle/objreader/ObjImport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>
#include <utility>

#include "brindle/base/Computation.h"
#include "brindle/framework/PolyBuilder.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/geom/PolyGrp.h"
#include "brindle/objreader/ObjReader.h"

namespace {

// Edge hardness from smoothing groups, tracked per edge while faces are made: an edge remembers the
// smoothing group of the first face on it, and becomes hard as soon as a face of another group (or
// of group 0, smoothing off) uses it.
constexpr uint32_t kEdgeUnseen = 0xFFFFFFFFu;
constexpr uint32_t kEdgeHard = 0xFFFFFFFEu;
constexpr int32_t kNoNormalYet = -2;

// Runs of consecutive face ids of one face group.
struct TfaceRuns {
    std::vector<uint32_t> firstLast;
    void add(uint32_t face) {
        if (!firstLast.empty() && firstLast.back() + 1 == face)
            firstLast.back() = face;
        else
            firstLast.insert(firstLast.end(), {face, face});
    }
};

class TimportState {
public:
    TimportState(const char* path, TobjImportReport& report) : fPath(path), fReport(report) {}

    TpolyGeom* run();

private:
    // "path:line: " (just "path: " before the first line, for faults of the whole file).
    std::string where() const {
        std::string at = fPath;
        if (fParser->lineNumber > 0) at.append(1, ':').append(std::to_string(fParser->lineNumber));
        return at.append(": ");
    }
    bool fail(const std::string& what) {
        fReport.error = where() + what;
        return false;
    }
    void note(const std::string& what) {
        if (fReport.warnings.size() < TobjImportReport::kMaxWarnings) fReport.warnings.push_back(where() + what);
    }
    void skipFace(const std::string& why) {
        ++fReport.skippedFaces;
        note("face skipped: " + why);
    }
    bool malformed();
    bool command(const TobjCommand& c);
    // Turns the written indices of one corner kind into 0-based ids below count; false (with the
    // error set) for index 0 or one beyond what the file defined so far.
    bool resolve(const int* written, int n, uint32_t count, const char* kind, std::vector<int32_t>& out);
    bool face(const TobjFace& f);
    void groups(const TobjGroups& g);
    void smoothing(const TobjSmoothing& s);
    void trackSmoothing(uint32_t corners);
    void trackNormals(uint32_t corners, const int32_t* normalIds);
    void finishGroups(TpolyGeom& geom);
    void reserveFor(uint64_t bytes);
    void progress();

    std::string fPath;
    TobjImportReport& fReport;
    TobjParser* fParser = nullptr;
    TpolyVertexBuilder fBuilder;
    uint32_t fNormals = 0, fUVs = 0;
    std::vector<int32_t> fVertexIds, fUVIds, fNormalIds;

    std::unordered_map<std::string, uint32_t> fGroupByName;
    std::vector<TfaceRuns> fGroupFaces;
    std::vector<uint32_t> fCurrentGroups;

    bool fSawColours = false;
    bool fHasSmoothing = false;
    uint32_t fSmoothingGroup = 0;
    std::vector<uint32_t> fEdgeSmoothing;
    // Once a face names normals: per edge, the normal ids at its start and end vertex in the first
    // face on it (-1 for none); an edge whose faces disagree at either end is hard, so that the
    // given normals stay apart across it.
    bool fHasNormals = false;
    std::vector<int32_t> fEdgeNormals;
    std::vector<uint8_t> fNormalsDiffer;

    Tcomputation fComputation;
    long fFileKB = 0;
    uint32_t fSinceProgress = 0;
};

bool TimportState::resolve(const int* written, int n, uint32_t count, const char* kind, std::vector<int32_t>& out) {
    out.resize(std::size_t(n));
    for (int k = 0; k < n; ++k) {
        const long long w = written[k];
        const long long id = w > 0 ? w - 1 : (long long)count + w;
        if (w == 0 || id < 0 || id >= (long long)count)
            return fail("face corner " + std::to_string(k + 1) + " refers to " + kind + " " + std::to_string(w) +
                        ", but only " + std::to_string(count) + " defined before it");
        out[std::size_t(k)] = int32_t(id);
    }
    return true;
}

bool TimportState::face(const TobjFace& f) {
    if (!resolve(f.vertices, f.count, fBuilder.countVertex(), "vertex", fVertexIds)) return false;
    if (f.textures && !resolve(f.textures, f.count, fUVs, "texture point", fUVIds)) return false;
    if (f.normals && !resolve(f.normals, f.count, fNormals, "normal", fNormalIds)) return false;
    const uint32_t n = uint32_t(f.count);
    const int32_t made = fBuilder.createNFace(n, fVertexIds.data(), f.normals ? fNormalIds.data() : nullptr,
                                              f.textures ? fUVIds.data() : nullptr, 0);
    if (made < 0) {
        skipFace(n < 3 ? "fewer than three corners" : "a vertex appears twice or an edge is used twice");
        return true;
    }
    const uint32_t faceId = uint32_t(made) - 1;
    for (uint32_t g : fCurrentGroups) fGroupFaces[g].add(faceId);
    if (f.normals && !fHasNormals) {
        fHasNormals = true;
        fEdgeNormals.assign(2 * std::size_t(fBuilder.geom()->nbEdge()), kNoNormalYet);
    }
    if (fHasNormals) trackNormals(n, f.normals ? fNormalIds.data() : nullptr);
    if (fHasSmoothing) trackSmoothing(n);
    return true;
}

void TimportState::trackSmoothing(uint32_t corners) {
    TpolyGeom& geom = *fBuilder.geom();
    fEdgeSmoothing.resize(geom.nbEdge(), kEdgeUnseen);
    const uint32_t group = fSmoothingGroup == 0 ? kEdgeHard : fSmoothingGroup;
    for (uint32_t o = geom.faceDescLength() - corners; o < geom.faceDescLength(); ++o) {
        uint32_t& state = fEdgeSmoothing[geom.getEdge(o)];
        state = state == kEdgeUnseen ? group : (state == group ? state : kEdgeHard);
    }
}

void TimportState::trackNormals(uint32_t corners, const int32_t* normalIds) {
    TpolyGeom& geom = *fBuilder.geom();
    fEdgeNormals.resize(2 * std::size_t(geom.nbEdge()), kNoNormalYet);
    fNormalsDiffer.resize(geom.nbEdge(), 0);
    const uint32_t first = geom.faceDescLength() - corners;
    for (uint32_t k = 0; k < corners; ++k) {
        const uint32_t e = geom.getEdge(first + k);
        int32_t atStart = normalIds ? normalIds[k] : -1, atEnd = normalIds ? normalIds[(k + 1) % corners] : -1;
        if (geom.getDirection(first + k) == kReversed) std::swap(atStart, atEnd);
        int32_t* seen = &fEdgeNormals[2 * std::size_t(e)];
        if (seen[0] == kNoNormalYet) {
            seen[0] = atStart;
            seen[1] = atEnd;
        } else if (seen[0] != atStart || seen[1] != atEnd) {
            fNormalsDiffer[e] = 1;
        }
    }
}

void TimportState::groups(const TobjGroups& g) {
    fCurrentGroups.clear();
    for (int k = 0; k < g.count; ++k) {
        auto [it, added] = fGroupByName.try_emplace(g.names[k], uint32_t(fGroupFaces.size()));
        if (added) {
            fGroupFaces.emplace_back();
            fReport.groupNames.emplace_back(g.names[k]);
        }
        fCurrentGroups.push_back(it->second);
    }
}

void TimportState::smoothing(const TobjSmoothing& s) {
    if (!fHasSmoothing) {
        // Faces before the first `s` line have smoothing off.
        fHasSmoothing = true;
        fEdgeSmoothing.assign(fBuilder.geom()->nbEdge(), kEdgeHard);
    }
    fSmoothingGroup = s.group < 0 ? 0 : uint32_t(s.group);
}

bool TimportState::command(const TobjCommand& c) {
    switch (c.code) {
        case OBJ_CMD_V:
            if (c.as.floats.count < 3)
                return fail("v needs at least 3 values, found " + std::to_string(c.as.floats.count));
            if (c.as.floats.count >= 6 && !fSawColours) {
                fSawColours = true;
                note("vertex colours (v x y z r g b) are not imported");
            }
            fBuilder.createVertex(c.as.floats.values[0], c.as.floats.values[1], c.as.floats.values[2]);
            return true;
        case OBJ_CMD_VT: {
            const float* t = c.as.floats.values;
            fBuilder.createTexCoord(t[0], c.as.floats.count > 1 ? t[1] : 0.0f, 0);
            ++fUVs;
            return true;
        }
        case OBJ_CMD_VN:
            if (c.as.floats.count < 3) return fail("vn needs 3 values, found " + std::to_string(c.as.floats.count));
            fBuilder.createNormal(c.as.floats.values[0], c.as.floats.values[1], c.as.floats.values[2]);
            ++fNormals;
            return true;
        case OBJ_CMD_F:
        case OBJ_CMD_FO:
            return face(c.as.face);
        case OBJ_CMD_G:
            groups(c.as.groups);
            return true;
        case OBJ_CMD_S:
            smoothing(c.as.smoothing);
            return true;
        case OBJ_ERR_MALFORMED:
        case OBJ_ERR_TOKENS:
        case OBJ_ERR_MEMORY:
            return malformed();
        default:
            return c.code >= 0 || fail("unreadable line (error " + std::to_string(c.code) + ")");
    }
}

// A line the reader refused: a face of one or two corners is skipped like any face the record
// cannot hold; anything else fails the import with what the reader expected.
bool TimportState::malformed() {
    const TobjErrorDetail& d = *PARSE_error_detail();
    if (d.why == OBJ_WHY_FEW_VALUES && (d.keyword == OBJ_CMD_F || d.keyword == OBJ_CMD_FO)) {
        skipFace("fewer than three corners");
        return true;
    }
    return fail(d.message);
}

// A triangle mesh written as plain "v x y z" and "f a b c" lines takes about 64 bytes a vertex and
// 32 a face (with one and a half edges and three corners each); reserving that much from the file
// size spares the record most of its growth copies, and complete() gives back what is left over.
// Files with UVs and normals come out over-reserved, never short of the growth they would make
// anyway; the cap keeps a huge or special file from asking for more than 32-bit counts allow.
void TimportState::reserveFor(uint64_t bytes) {
    const uint64_t faces = std::min<uint64_t>(bytes / 32, 1u << 28);
    TpolyGeom& geom = *fBuilder.geom();
    geom.vertexBuffer(uint32_t(faces / 2));
    geom.edgeBuffer(uint32_t(faces + faces / 2));
    geom.loopEdgeBuffer(uint32_t(3 * faces));
}

void TimportState::progress() {
    if (++fSinceProgress < 65536) return;
    fSinceProgress = 0;
    fComputation.setProgressValue(int(std::ftell(fParser->stream) / 1024));
}

// The record is new and the names are distinct, so each group is appended without the search by
// name that bgnGroup makes (which would make a file with a group per face quadratic).
void TimportState::finishGroups(TpolyGeom& geom) {
    for (uint32_t g = 0; g < fGroupFaces.size(); ++g) {
        const std::vector<uint32_t>& runs = fGroupFaces[g].firstLast;
        if (runs.empty()) continue;
        const uint32_t index =
            geom.grp()->append(int32_t(g + 1), kPolyGrpFace, std::max<uint32_t>(32, uint32_t(fGroupFaces.size())));
        for (std::size_t r = 0; r < runs.size(); r += 2)
            runs[r] == runs[r + 1] ? geom.addElement(index, runs[r]) : geom.appendBlock(index, runs[r], runs[r + 1]);
        geom.endGroup(index);
    }
}

TpolyGeom* TimportState::run() {
    fParser = PARSE_init(fPath.c_str());
    if (!fParser) {
        fReport.error = fPath + ": cannot start the OBJ reader";
        return nullptr;
    }
    std::unique_ptr<TobjParser, int (*)(TobjParser*)> closer(fParser, parse_close_atok);
    if (fParser->initFile(fParser, fPath.c_str(), 0, nullptr) != 0) {
        fReport.error = fPath + ": cannot open file: " + std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    if (fstat(fileno(fParser->stream), &st) == 0 && S_ISDIR(st.st_mode)) {
        fReport.error = fPath + ": is a directory";
        return nullptr;
    }
    fFileKB = long(st.st_size / 1024);
    reserveFor(uint64_t(st.st_size));
    fComputation.beginComputation();
    fComputation.setProgressRange(0, int(fFileKB));
    fComputation.setProgressStatus(fPath.c_str());
    bool ok = true;
    while (const TobjCommand* c = fParser->command(fParser)) {
        if (!command(*c)) {
            ok = false;
            break;
        }
        progress();
        if (fSinceProgress == 0 && fComputation.isInterruptRequested()) {
            fReport.error = fPath + ": interrupted";
            ok = false;
            break;
        }
    }
    fReport.lines = uint32_t(fParser->lineNumber);
    fComputation.endComputation();
    if (!ok) return nullptr;

    TpolyGeom& geom = *fBuilder.geom();
    if (fHasNormals) {
        fNormalsDiffer.resize(geom.nbEdge(), 0);
        for (uint32_t e = 0; e < geom.nbEdge(); ++e) geom.setSmoothing(e, fNormalsDiffer[e] != 0);
    } else if (fHasSmoothing) {
        fEdgeSmoothing.resize(geom.nbEdge(), kEdgeUnseen);
        for (uint32_t e = 0; e < geom.nbEdge(); ++e) geom.setSmoothing(e, fEdgeSmoothing[e] == kEdgeHard);
    }
    finishGroups(geom);
    TpolyGeom* result = fBuilder.complete();
    if (!result) {
        fReport.error = fPath + ": " +
                        (geom.nbFace() > 0          ? "the faces do not form a valid record"
                         : fReport.skippedFaces > 0 ? "no faces left: all " + std::to_string(fReport.skippedFaces) +
                                                          " were skipped (see the warnings)"
                                                    : std::string("no faces"));
        return nullptr;
    }
    fBuilder.ownResult();
    return result;
}

}  // namespace

TpolyGeom* TobjImport::read(const char* path, TobjImportReport& report) {
    report = TobjImportReport{};
    TimportState state(path, report);
    return state.run();
}
