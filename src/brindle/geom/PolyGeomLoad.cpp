#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "brindle/geom/PolyGeom.h"

namespace {

// Reads a text dump line by line into a record, appending vertices, edges and face entries.
// Malformed lines are taken as far as they parse: a field that cannot be read ends the line, and
// the fields not read are 0 (a vertex at the origin, an edge 0 -> 0, no further face entries).
// Counts announced by the text only reserve room, never more than the text still to come could
// fill, so a lying count cannot make the reader allocate beyond the size of its input. A face is
// counted only once its first entry is read, so a face line without entries adds nothing and the
// face count never runs ahead of the end-of-face bits (which would leave the face offsets short).
class TdumpReader {
public:
    explicit TdumpReader(TpolyGeom& g) : fGeom(g) {}

    bool done() const { return fDone; }
    // One line without its '\n'; remaining is the number of bytes of text after it.
    void line(std::string_view s, uint64_t remaining);

private:
    // Cursor over one line.
    struct Scan {
        const char* p;
        const char* end;
        void skipSpace() {
            while (p < end && (*p == ' ' || *p == '\t' || *p == '\r')) ++p;
        }
        template <typename T>
        bool number(T& out) {
            skipSpace();
            const auto r = std::from_chars(p, end, out);
            if (r.ec != std::errc()) return false;
            p = r.ptr;
            return true;
        }
        // The element id (ignored) and the ':' that follows it.
        bool header() {
            int64_t id = 0;
            if (!number(id)) return false;
            skipSpace();
            if (p == end || *p != ':') return false;
            ++p;
            return true;
        }
    };

    void reserve(std::string_view tag, Scan& s, uint64_t remaining);
    void vertex(Scan& s);
    void edge(Scan& s);
    void loop(Scan& s, bool newFace);
    void endFace() {
        if (fFaceOpen) fGeom.endFace();
        fFaceOpen = false;
    }

    TpolyGeom& fGeom;
    bool fFaceOpen = false;  // a face has entries and no end-of-face bit yet
    bool fDone = false;
};

void TdumpReader::line(std::string_view s, uint64_t remaining) {
    if (s.size() < 2 || s[0] != '_') return;
    Scan scan{s.data(), s.data() + s.size()};
    if (s[1] == '_') {
        if (s.starts_with("__ENDOFFACELIST")) {
            endFace();
            fDone = true;
        } else if (s.size() > 2) {
            reserve(s, scan, remaining);
        }
        return;
    }
    const std::string_view tag = s.substr(0, std::min(s.find_first_of(" \t\r"), s.size()));
    scan.p += tag.size();
    if (tag == "_V")
        vertex(scan);
    else if (tag == "_E")
        edge(scan);
    else if (tag == "_F" || tag == "_L")
        loop(scan, tag == "_F");
}

void TdumpReader::reserve(std::string_view s, Scan& scan, uint64_t remaining) {
    // Shortest lines that can describe one element: "_V 0 : 0 0 0", "_E 0 : 0 0 S" and one
    // face entry "0 ".
    struct Count {
        std::string_view tag;
        uint64_t minBytes;
        void (TpolyGeom::*buffer)(uint32_t);
    };
    static constexpr Count kCounts[] = {{"__VCOUNT", 13, &TpolyGeom::vertexBuffer},
                                        {"__ECOUNT", 13, &TpolyGeom::edgeBuffer},
                                        {"__FVCOUNT", 2, &TpolyGeom::loopEdgeBuffer}};
    for (const Count& c : kCounts) {
        if (!s.starts_with(c.tag)) continue;
        scan.p += c.tag.size();
        uint32_t n = 0;
        if (scan.number(n)) (fGeom.*c.buffer)(uint32_t(std::min<uint64_t>(n, remaining / c.minBytes)));
        return;
    }
}

void TdumpReader::vertex(Scan& s) {
    float xyz[3] = {0, 0, 0};
    if (s.header())
        for (float& c : xyz)
            if (!s.number(c)) break;
    fGeom.appendVertex(xyz[0], xyz[1], xyz[2]);
}

void TdumpReader::edge(Scan& s) {
    uint32_t ends[2] = {0, 0};
    bool hard = false;
    if (s.header() && s.number(ends[0]) && s.number(ends[1])) {
        s.skipSpace();
        hard = s.p < s.end && *s.p == 'H';
    }
    fGeom.appendEdge(ends[0], ends[1], hard);
}

// "_F" starts a face and "_L" a further loop of it; entries with no face open (a first "_L", or
// after an "_F" without entries) open one.
void TdumpReader::loop(Scan& s, bool newFace) {
    if (newFace) endFace();
    if (!s.header()) return;
    bool any = false;
    for (int64_t v = 0; s.number(v);) {
        if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<uint32_t>::max()) break;
        if (!fFaceOpen) {
            fGeom.addFace(1);
            fFaceOpen = true;
        }
        fGeom.refEdge(uint32_t(v < 0 ? -(v + 1) : v), v < 0 ? kReversed : kForward);
        any = true;
    }
    if (any) fGeom.endLoop();
}

}  // namespace

void TpolyGeom::loadObjectText(std::string_view text) {
    TdumpReader reader(*this);
    size_t start = 0;
    for (size_t nl; !reader.done() && (nl = text.find('\n', start)) != std::string_view::npos; start = nl + 1)
        reader.line(text.substr(start, nl - start), text.size() - nl - 1);
}

int TpolyGeom::loadObject(const char* fileName) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName, "rb"), &std::fclose);
    if (!file) return 0;
    // The file size bounds what the announced counts may reserve; a stream of unknown size counts
    // as empty, so that nothing is reserved ahead.
    uint64_t size = 0;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        const long end = std::ftell(file.get());
        if (end > 0) size = uint64_t(end);
    }
    std::rewind(file.get());

    // Blocks are read into one buffer that keeps the unfinished line at its front; it grows only
    // for a line longer than a block.
    constexpr size_t kBlock = 1 << 20;
    TdumpReader reader(*this);
    std::string buf;
    uint64_t consumed = 0;
    for (;;) {
        const size_t kept = buf.size();
        buf.resize(kept + kBlock);
        const size_t got = std::fread(buf.data() + kept, 1, kBlock, file.get());
        buf.resize(kept + got);
        if (got == 0) break;
        // The kept text holds no '\n', so the search resumes where the new block begins.
        size_t start = 0;
        for (size_t nl; !reader.done() && (nl = buf.find('\n', std::max(start, kept))) != std::string::npos;
             start = nl + 1) {
            consumed += nl + 1 - start;
            reader.line(std::string_view(buf).substr(start, nl - start), size > consumed ? size - consumed : 0);
        }
        if (reader.done()) break;
        buf.erase(0, start);
    }
    return 1;
}
