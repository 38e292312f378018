#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "brindle/base/Diagnostics.h"
#include "brindle/geom/PolyGeom.h"

namespace {

// Dump flags of the record.
constexpr unsigned kDumpVertices = 0x0001;
constexpr unsigned kDumpEdges = 0x0002;
constexpr unsigned kDumpEdgeFaces = 0x0004;
constexpr unsigned kDumpLeavingEdges = 0x0008;
constexpr unsigned kDumpFaces = 0x0010;
constexpr unsigned kDumpTriangles = 0x0020;
constexpr unsigned kDumpFaceNormals = 0x0040;
constexpr unsigned kDumpVertexNormals = 0x0080;
constexpr unsigned kDumpNormalIds = 0x0100;
constexpr unsigned kDumpUVValues = 0x0400;
constexpr unsigned kDumpUVIds = 0x0800;
constexpr unsigned kDumpColors = 0x1000;
constexpr unsigned kDumpColorIds = 0x2000;
// Flags of the UV-set writer.
constexpr unsigned kUVSetValues = 0x1;
constexpr unsigned kUVSetIds = 0x4;

// Buffers dump text and hands it to the stream in large pieces, so that a dump of millions of
// lines costs one stream write per block rather than one formatted write per field. The numeric
// fields reproduce printf's %Nd, %Ng and %Nf byte for byte; the text is flushed on destruction,
// before any other writer on the same stream runs.
class TdumpWriter {
public:
    explicit TdumpWriter(TdebugOutput& out) : fOut(out) { fBuf.reserve(kBlock + 256); }
    ~TdumpWriter() { flush(); }
    TdumpWriter(const TdumpWriter&) = delete;
    TdumpWriter& operator=(const TdumpWriter&) = delete;

    TdumpWriter& text(std::string_view s) {
        fBuf.append(s);
        return spill();
    }
    TdumpWriter& ch(char c) {
        fBuf.push_back(c);
        return spill();
    }
    TdumpWriter& print(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char line[512];
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(line, sizeof line, format, args);
        va_end(args);
        if (n > 0) fBuf.append(line, std::min<size_t>(size_t(n), sizeof line - 1));
        return spill();
    }
    // %<width>d
    TdumpWriter& integer(int width, int64_t v) {
        char digits[24];
        const auto r = std::to_chars(digits, digits + sizeof digits, v);
        return padded(width, std::string_view(digits, size_t(r.ptr - digits)));
    }
    // %<width>g and %<width>f of a float.
    TdumpWriter& general(int width, float v) { return real(width, v, std::chars_format::general, "%*g"); }
    TdumpWriter& fixed(int width, float v) { return real(width, v, std::chars_format::fixed, "%*f"); }
    // A comment block: "# ", the given lines, "# " again.
    TdumpWriter& comment(std::string_view lines) { return text("# \n").text(lines).text("# \n"); }
    void flush() {
        if (!fBuf.empty()) fOut.write(fBuf);
        fBuf.clear();
    }

private:
    static constexpr size_t kBlock = 1 << 16;

    TdumpWriter& spill() {
        if (fBuf.size() >= kBlock) flush();
        return *this;
    }
    TdumpWriter& padded(int width, std::string_view s) {
        if (s.size() < size_t(width)) fBuf.append(size_t(width) - s.size(), ' ');
        fBuf.append(s);
        return spill();
    }
    TdumpWriter& real(int width, float v, std::chars_format format, const char* printfFormat) {
        char digits[64];
        if (!std::isfinite(v)) return print(printfFormat, width, double(v));
        const auto r = std::to_chars(digits, digits + sizeof digits, double(v), format, 6);
        return padded(width, std::string_view(digits, size_t(r.ptr - digits)));
    }

    TdebugOutput& fOut;
    std::string fBuf;
};

int asInt(uint32_t v) { return static_cast<int>(v); }

// Ids in rows of eight, each row "<tag> <offset of its first id> : " and the ids as %6d.
void writeIdRows(TdumpWriter& w, const char* tag, const int32_t* ids, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
        if (i % 8 == 0) w.text(tag).ch(' ').integer(6, i).text(" : ");
        w.integer(6, ids[i]);
        if (i % 8 == 7 || i + 1 == n) w.ch('\n');
    }
}

void writeColorValue(TdumpWriter& w, const TpolyColorValue& c) {
    w.general(12, c.r).ch(' ').general(12, c.g).ch(' ').general(12, c.b).ch(' ').general(12, c.a).ch('\n');
}

const char* colorRepName(TpolyColorValue::TpolyColorRep rep) {
    switch (rep) {
        case TpolyColorValue::I:
            return "I";
        case TpolyColorValue::IA:
            return "IA";
        case TpolyColorValue::RGB:
            return "RGB";
        case TpolyColorValue::RGBA:
            return "RGBA";
    }
    return "UNKNOWN";
}

// A UV set: its name and sizes, with flag 1 the UV pairs and with flag 4 the per-corner ids.
void writeUVSet(TdumpWriter& w, const TpolyMap& map, unsigned flags) {
    w.text("# \n").print("# UV : named \"%s\", %d UVS, %d indices\n", map.getName().c_str(), asInt(map.nbUV()),
                         asInt(map.nbIndex()));
    w.text("# \n");
    if (flags & kUVSetValues) {
        w.comment("# _UV UVId U V\n").print("%s %d \n", "__UVCOUNT", asInt(map.nbUV()));
        for (uint32_t i = 0; i < map.nbUV(); ++i) {
            const T2FloatPair& uv = map.values()[i];
            w.text("_UV ").integer(6, i).text(" : ").general(12, uv.u).ch(' ').general(12, uv.v).ch('\n');
        }
        w.ch('\n');
    }
    if (flags & kUVSetIds) {
        w.print("%s %d \n", "__UICOUNT", asInt(map.nbIndex()));
        writeIdRows(w, "_UI", map.indexArray().data(), map.nbIndex());
        w.ch('\n');
    }
}

// One side of an edge-to-face entry: a run of faces, no face, or one face.
void writeSide(TdumpWriter& w, const TpolyTopo& t, uint32_t side, bool left) {
    if (side == TpolyBits::kNoFace) {
        w.text(left ? "No left, " : "No right");
    } else if (side & TpolyTopo::kNonManifold) {
        w.text(left ? "N2MLeft =" : "N2MRight =");
        for (uint32_t i = side & TpolyTopo::kRunIndexMask; i < t.fN2MFaces.size(); ++i) {
            w.integer(6, t.getN2MFace(i)).ch(' ');
            if (t.isEdgeEnd(i)) break;
        }
        if (left) w.text(", ");
    } else {
        w.text(left ? "Left = " : "Right = ").integer(6, side);
        if (left) w.text(", ");
    }
}

}  // namespace

void TpolyTopo::debug(TdebugOutput& out, unsigned int flags) const {
    TdumpWriter w(out);
    w.comment("# TOPOLOGY \n").print("%s %d \n", "__ECOUNT", asInt(fEdges.size()));

    w.text("# \n# H implies HardEdge\tS implies SoftEdge\n# _E EdgeId : StartVertexId EndVertexId H|S\n# \n");
    if (flags & kDumpEdges)
        for (uint32_t e = 0; e < fEdges.size(); ++e) {
            const TpolyEdge& edge = fEdges[e];
            w.text("_E ").integer(6, e).text(" : ").integer(6, edge.start()).ch(' ').integer(6, edge.end());
            w.text(edge.isHard() ? " H\n" : " S\n");
        }
    w.ch('\n');

    if (flags & kDumpEdgeFaces) {
        uint32_t n = fEdges.size();
        if (fEdgeToFace.size() != n) {
            w.print("# WARNING: Information not up to date, %d entries instead of %d\n", asInt(fEdgeToFace.size()),
                    asInt(n));
            n = std::min(n, fEdgeToFace.size());
        }
        for (uint32_t e = 0; e < n; ++e) {
            w.text("# EDGE->FACE ").integer(6, e).text(": ");
            writeSide(w, *this, fEdgeToFace[e].side[kLeft], true);
            writeSide(w, *this, fEdgeToFace[e].side[kRight], false);
            w.ch('\n');
        }
        w.ch('\n');
    }

    if (flags & kDumpLeavingEdges) {
        for (uint32_t v = 0; v < fVertexToEdge.size(); ++v) {
            const uint32_t word = fVertexToEdge[v].edge;
            if (!(word & kNonManifold)) {
                w.text("# VERTEX ").integer(6, v).text(": leaving edge = ").integer(6, word & kRunIndexMask);
                w.ch(word & kLeavingReversed ? '-' : '+');
            } else {
                w.text("# VERTEX ").integer(6, v).text(" not 2-manifold, leaving edges = ");
                for (uint32_t i = word & kRunIndexMask; i < fN2MEdges.size(); ++i) {
                    w.integer(6, getN2MEdge(i)).ch(getN2MEdgeDirection(i) == kReversed ? '-' : '+').ch(' ');
                    if (fN2MEdges[i] & kRunEnd) break;
                }
            }
            w.ch('\n');
        }
        w.ch('\n');
    }

    w.print("%s %d \n", "__FCOUNT", asInt(fNbFace)).print("%s %d \n", "__FVCOUNT", asInt(fFaceDesc.size()));
    w.text("# \n# _F implies a new Face \n# _L implies additional loop to the earlier face\t\n");
    w.text("#  _F FaceId : edgeId edgeId ...   [negativeId implies reversed edge]\n");
    w.text("# [_L FaceId : edgeId edgeId ... ] [negativeId implies reversed edge]\n");
    w.text("# if edgeId < 0, the real edgeId is -(edgeId + 1)\n");
    w.print("# %s marks the end of the face description list \n", "__ENDOFFACELIST").text("# \n");
    if (flags & kDumpFaces) {
        bool lineOpen = false, faceStart = true;
        uint32_t face = 0;
        for (const uint32_t entry : fFaceDesc) {
            if (!lineOpen) {
                w.ch('_').ch(faceStart ? 'F' : 'L').ch(' ').integer(6, face).text(" : ");
                lineOpen = true;
                faceStart = false;
            }
            const int64_t id = entry & TpolyBits::kEdgeMask;
            w.integer(6, (entry & TpolyBits::kReversedUse) ? -(id + 1) : id);
            if (entry & TpolyBits::kEndOfLoop) {
                w.ch('\n');
                lineOpen = false;
            }
            if (entry & TpolyBits::kEndOfFace) {
                ++face;
                faceStart = true;
            }
        }
        // A description cut short still closes its last line.
        if (lineOpen) w.ch('\n');
    }
    w.ch('\n').print("%s\n", "__ENDOFFACELIST");
}

void TpolyTrg::debug(TdebugOutput& out, unsigned int flags) const {
    TdumpWriter w(out);
    w.print("TRG  (0x%x): %d triangle\n", static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)),
            asInt(fTriangles.size()));
    if (!(flags & kDumpTriangles)) return;
    bool faceStart = true;
    uint32_t face = 0;
    for (const TpolyTriangle& t : fTriangles) {
        if (faceStart) w.text("Face ").integer(6, face).ch(':');
        faceStart = false;
        for (uint32_t k = 0; k < 3; ++k) w.ch(' ').integer(4, t.number(k));
        w.text(" |");
        if (t.endOfFace()) {
            w.ch('\n');
            ++face;
            faceStart = true;
        }
    }
}

void TpolyNorm::debug(TdebugOutput& out, unsigned int flags) const {
    TdumpWriter w(out);
    w.comment("# NORMAL LIST \n");

    w.comment("# _FN : FaceNormal\n# _FN FaceId NormX NormY NormZ\n")
        .print("__FNCount %d\n", asInt(fFaceNormals.size()));
    if (flags & kDumpFaceNormals)
        for (uint32_t f = 0; f < fFaceNormals.size(); ++f) {
            const T3dFltPoint& n = fFaceNormals[f];
            w.text("_FN ").integer(6, f).text(" : ").fixed(8, n.x).ch(' ').fixed(8, n.y).ch(' ').fixed(8, n.z).ch('\n');
        }
    w.ch('\n');

    w.comment("# _VN : VertexNormal\n# _VN NormalId NormX NormY NormZ\n")
        .print("__VNCount %d\n", asInt(fVertexNormals.size()));
    if (flags & kDumpVertexNormals)
        for (uint32_t i = 0; i < fVertexNormals.size(); ++i) {
            const T3dFltPoint& n = fVertexNormals[i];
            w.text("_VN ").integer(6, i).text(" : ").fixed(8, n.x).ch(' ').fixed(8, n.y).ch(' ').fixed(8, n.z);
            if (i < fUserNormals.size()) {
                const T4dFltVector& u = fUserNormals[i];
                if (isSet(u))
                    w.text(" | USER NORM ").fixed(8, u.x).ch(' ').fixed(8, u.y).ch(' ').fixed(8, u.z);
                else
                    w.text(" | user norm not set");
            }
            w.ch('\n');
        }
    w.ch('\n');

    w.comment("# _ND : Normal description\n").print("__NDCount %d\n", asInt(fNormalIds.size()));
    if (flags & kDumpNormalIds)
        writeIdRows(w, "_ND", reinterpret_cast<const int32_t*>(fNormalIds.data()), fNormalIds.size());
    w.ch('\n');
}

void TpolyColorValue::debug(TdebugOutput& out, unsigned int) const {
    TdumpWriter w(out);
    writeColorValue(w, *this);
}

void TpolyColor::debug(TdebugOutput& out, unsigned int flags) const {
    TdumpWriter w(out);
    w.text("# \n").print("# COLOR : type %s, named \"%s\", %d COLORS, %d indices\n", colorRepName(fRep), fName.c_str(),
                         asInt(fValues.size()), asInt(fIds.size()));
    w.text("# \n");
    if (flags & kDumpColors) {
        w.comment("# _C ColorId Red Green Blue Alpha\n").print("%s %d \n", "__CCOUNT", asInt(fValues.size()));
        for (uint32_t i = 0; i < fValues.size(); ++i) {
            w.text("_C ").integer(6, i).ch(' ');
            writeColorValue(w, fValues[i]);
        }
        w.ch('\n');
    }
    if (flags & kDumpColorIds) {
        w.print("%s %d \n", "__CICOUNT", asInt(fIds.size()));
        writeIdRows(w, "_CI", fIds.data(), fIds.size());
        w.ch('\n');
    }
}

void TpolyGeom::debug(TdebugOutput& out, unsigned int flags) const {
    {
        TdumpWriter w(out);
        w.text("#! Velmor Poly Object Description \t Version: 1.0\n").ch('\n');
        w.comment("# VERTEX LIST\n").print("%s %d \n", "__VCOUNT", asInt(nbVertex()));
        if (flags & kDumpVertices) {
            w.comment("# _V VertexId XPos YPos ZPos\n");
            for (uint32_t v = 0; v < nbVertex(); ++v) {
                const T3dFltPoint& p = vertexConst(v);
                w.text("_V ").integer(6, v).text(" : ").general(12, p.x).ch(' ').general(12, p.y).ch(' ');
                w.general(12, p.z).ch('\n');
            }
            w.ch('\n');
        }
    }
    // Derived data is written only while it is up to date; the dump never recomputes.
    auto upToDate = [this](unsigned flag, uint32_t dirtyBit) { return isDirty(dirtyBit) ? 0u : flag; };
    const unsigned topoFlags = (flags & (kDumpEdges | kDumpFaces)) |
                               (flags & upToDate(kDumpEdgeFaces, dirtyEdgeToFace)) |
                               (flags & upToDate(kDumpLeavingEdges, dirtyVertexToEdge));
    fTopo->debug(out, topoFlags);
    if (!isDirty(dirtyTriangles)) fTrg->debug(out, flags);
    fNorm->debug(out, (flags & upToDate(kDumpFaceNormals, dirtyFaceVectors)) |
                          (flags & upToDate(kDumpVertexNormals, dirtyVertexNormals)) |
                          (flags & upToDate(kDumpNormalIds, dirtyNormalTopo)));
    fGrp->debug(out, flags);

    const unsigned uvFlags = ((flags & kDumpUVValues) ? kUVSetValues : 0) | ((flags & kDumpUVIds) ? kUVSetIds : 0);
    for (uint32_t s = 0; s < fMaps->nbSet(); ++s) {
        TdumpWriter w(out);
        w.print("%s %d\n", "__UVSET", asInt(s));
        writeUVSet(w, (*fMaps)[s], uvFlags);
    }
    for (uint32_t s = 0; s < fColors->nbSet(); ++s) {
        out.print("%s %d\n", "__COLORSET", asInt(s));
        (*fColors)[s].debug(out, flags);
    }
    out.write("\n");
}

void TpolyGeom::debugMe(const TpolyGeom& g, unsigned int flags) { g.debug(TdebugOutput::sCerr, flags); }
void TpolyTopo::debugMe(const TpolyTopo& t, unsigned int flags) { t.debug(TdebugOutput::sCerr, flags); }
void TpolyTrg::debugMe(const TpolyTrg& t, unsigned int flags) { t.debug(TdebugOutput::sCerr, flags); }
void TpolyNorm::debugMe(const TpolyNorm& n, unsigned int flags) { n.debug(TdebugOutput::sCerr, flags); }
void TpolyGrp::debugMe(const TpolyGrp& g, unsigned int flags) { g.debug(TdebugOutput::sCerr, flags); }
void TpolyGrpDesc::debugMe(const TpolyGrpDesc& d, unsigned int flags) { d.debug(TdebugOutput::sCerr, flags); }
void TpolyColor::debugMe(const TpolyColor& c, unsigned int flags) { c.debug(TdebugOutput::sCerr, flags); }
void TpolyColorValue::debugMe(const TpolyColorValue& c, unsigned int flags) { c.debug(TdebugOutput::sCerr, flags); }
