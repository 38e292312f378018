// Command-by-command OBJ reader.
// Keeps true: every call of parse_command_atok consumes whole logical lines (a physical line plus the
// lines joined to it by a trailing backslash) and either returns one decoded command, an error
// record, or null at the end of the file; no line, however malformed, stops the reader, and no
// allocation happens per line (only the scratch arrays grow, and only when a command outgrows them).

#include "brindle/objreader/ObjReader.h"

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <system_error>
#include <type_traits>

namespace {

constexpr int kCodeUnknown = 66;
constexpr int kLastReturnableCode = 63;
constexpr int kSkipLine = kCodeUnknown;  // handler result: the line yields no command

constexpr std::size_t kLineBufferSize = 150000;
constexpr int kMaxTokens = 25000;
constexpr int kMaxGroupTokens = OBJ_MAX_GROUPS + 1;
constexpr std::size_t kScratchStep = 256;
// The read block holds at least two full-length lines, so that after the unconsumed part of a
// line is moved to the front there is always room to read more.
constexpr std::size_t kBlockSize = std::size_t(1) << 20;
static_assert(kBlockSize >= 2 * kLineBufferSize);

constexpr const char* kKeywords[] = {
    "v",      "f",   "fo",   "vt",     "vn",         "usemtl",    "c_interp", "d_interp", "bevel", "usemap", "mtllib",
    "maplib", "l",   "p",    "newmtl", "Ka",         "Kd",        "Ks",       "Tf",       "Ns",    "d",      "Ni",
    "illum",  "o",   "g",    "h",      "shadow_obj", "trace_obj", "usewd",    "usedia",   "res",   "bzp",    "bsp",
    "s",      "lod", "call", "scmp",   "csh",        "obj_ascii", "ret",      "cdc",      "cdp",   "#",      "cstype",
    "deg",    "cnt", "step", "vp",     "bmat",       "parm",      "curv2",    "curv3",    "surf",  "trim",   "scrv",
    "hole",   "sp",  "con",  "mg",     "end",        "im",        "curv",     "stech",    "ctech", "inst",   "np"};
static_assert(std::size(kKeywords) == kCodeUnknown);

struct ParserEntry {
    const char* extension;
    TobjParser* (*open)();
};
constexpr ParserEntry kParsers[] = {{".cxb", PARSE_open_atok}, {".cxc", PARSE_open_atok}, {".map", PARSE_open_atok},
                                    {".lgt", PARSE_open_atok}, {".atm", PARSE_open_atok}, {".mtl", PARSE_open_atok},
                                    {".rfl", PARSE_open_atok}, {".obj", PARSE_open_atok}, {".mod", PARSE_open_atok}};
constexpr const char* kDefaultExtension = ".obj";

// A scratch array that a command's record points into. Grows to its size plus one step, or to the
// need when that is larger; growing discards the contents, which belong to the previous record.
template <class T>
struct Scratch {
    T* data = nullptr;
    std::size_t size = 0;

    bool reserve(std::size_t need) {
        if (need <= size) return true;
        const std::size_t grown = need > size + kScratchStep ? need : size + kScratchStep;
        delete[] data;
        data = new (std::nothrow) T[grown];
        size = data ? grown : 0;
        return data != nullptr;
    }
    void release() {
        delete[] data;
        data = nullptr;
        size = 0;
    }
};

// Working storage shared by every handle. Keeps true: tokens and both scratch arrays exist exactly
// while at least one handle is open.
struct SharedState {
    char** tokens = nullptr;
    Scratch<int> ints;
    Scratch<float> floats;
    int openHandles = 0;
    int lastError = 0;
    TobjCommand record{};
    TobjErrorDetail detail{};

    bool acquire() {
        if (openHandles == 0) {
            tokens = new (std::nothrow) char*[kMaxTokens];
            if (!tokens || !ints.reserve(kScratchStep) || !floats.reserve(kScratchStep)) {
                releaseStorage();
                return false;
            }
        }
        ++openHandles;
        return true;
    }
    void release() {
        if (--openHandles == 0) releaseStorage();
    }
    void releaseStorage() {
        delete[] tokens;
        tokens = nullptr;
        ints.release();
        floats.release();
    }
};
SharedState gState;

enum class LineStatus { End, Skipped, Ready, JoinAtEnd, LongLine, Utf16, CrOnly };

// Hands out the logical lines of a file read in large blocks. Keeps true: data[lineStart, end) are
// the file's unconsumed bytes in order (bytes before lineStart are consumed); a line handed out is
// contiguous, NUL-terminated in place, its joins turned into blanks, and stays valid until the next
// call. Comment lines and lines longer than the line buffer are skipped without being held whole.
class LineSource {
public:
    bool allocate() {
        data_ = new (std::nothrow) char[kBlockSize + 1];  // + 1: the terminator of an unended last line
        return data_ != nullptr;
    }
    void release() {
        delete[] data_;
        data_ = nullptr;
    }
    void reset(std::FILE* file) {
        file_ = file;
        lineStart_ = cursor_ = scanFrom_ = physStart_ = end_ = 0;
        eof_ = false;
        started_ = false;
    }

    LineStatus next(int& lineNumber, char*& text, std::size_t& length);

private:
    enum class Mode { Normal, Comment, Discard };

    bool fill();
    void discardScanned();
    LineStatus startOfFile();

    std::FILE* file_ = nullptr;
    char* data_ = nullptr;
    std::size_t lineStart_ = 0;  // first byte still needed
    std::size_t cursor_ = 0;     // start of the next unread physical line
    std::size_t scanFrom_ = 0;   // where the search for the current line end resumes
    std::size_t physStart_ = 0;  // start of the current physical line (or of its kept tail)
    std::size_t end_ = 0;        // end of the bytes read
    bool eof_ = false;
    bool started_ = false;  // the start of the file has been looked at
};

bool LineSource::fill() {
    if (eof_) return false;
    if (lineStart_ > 0) {
        const std::size_t kept = end_ - lineStart_;
        std::memmove(data_, data_ + lineStart_, kept);
        cursor_ -= lineStart_;
        scanFrom_ -= lineStart_;
        physStart_ -= lineStart_;
        lineStart_ = 0;
        end_ = kept;
    }
    const std::size_t got = std::fread(data_ + end_, 1, kBlockSize - end_, file_);
    if (got == 0) {
        eof_ = true;
        return false;
    }
    end_ += got;
    return true;
}

// Drops what has been scanned of a line that is not kept, except its last two bytes, which tell
// whether a backslash (possibly before a carriage return) joins the next line.
void LineSource::discardScanned() {
    const std::size_t keepFrom = end_ - physStart_ > 2 ? end_ - 2 : physStart_;
    lineStart_ = cursor_ = physStart_ = keepFrom;
}

// A UTF-8 byte-order mark is skipped. Text that is not one byte per character with line feeds is
// reported once, before its first line would be misread as a command: UTF-16 (its byte-order
// mark, or NUL bytes among the first ones) and line ends of a carriage return alone (a carriage
// return followed by more text before the first line feed). Reading then goes on as usual.
LineStatus LineSource::startOfFile() {
    const unsigned char* d = reinterpret_cast<const unsigned char*>(data_);
    if (end_ >= 3 && d[0] == 0xEF && d[1] == 0xBB && d[2] == 0xBF) {
        lineStart_ = cursor_ = 3;
        return LineStatus::Ready;
    }
    if (end_ >= 2 && ((d[0] == 0xFF && d[1] == 0xFE) || (d[0] == 0xFE && d[1] == 0xFF))) return LineStatus::Utf16;
    const std::size_t look = std::min(end_, kLineBufferSize);
    if (std::memchr(d, 0, std::min<std::size_t>(look, 4096))) return LineStatus::Utf16;
    const void* lf = std::memchr(d, '\n', look);
    const std::size_t firstLine = lf ? std::size_t(static_cast<const unsigned char*>(lf) - d) : look;
    const void* cr = std::memchr(d, '\r', firstLine);
    for (std::size_t i = cr ? std::size_t(static_cast<const unsigned char*>(cr) - d) : firstLine; i < firstLine; ++i)
        if (d[i] != '\r') return LineStatus::CrOnly;
    return LineStatus::Ready;
}

LineStatus LineSource::next(int& lineNumber, char*& text, std::size_t& length) {
    lineStart_ = cursor_;
    if (cursor_ == end_ && !fill()) return LineStatus::End;
    if (!started_) {
        started_ = true;
        const LineStatus start = startOfFile();
        if (start != LineStatus::Ready) return start;
        if (cursor_ == end_ && !fill()) return LineStatus::End;
    }
    physStart_ = scanFrom_ = cursor_;
    // A comment is dropped before joining, so its length and a trailing backslash do not matter.
    Mode mode = data_[cursor_] == '#' ? Mode::Comment : Mode::Normal;
    bool firstPhysical = true;
    for (;;) {
        const void* hit = std::memchr(data_ + scanFrom_, '\n', end_ - scanFrom_);
        std::size_t lineEnd;
        if (hit) {
            lineEnd = static_cast<std::size_t>(static_cast<const char*>(hit) - data_);
        } else {
            if (mode == Mode::Normal && end_ - lineStart_ >= kLineBufferSize) mode = Mode::Discard;
            if (mode != Mode::Normal) discardScanned();
            scanFrom_ = end_;
            if (fill()) continue;
            if (physStart_ == end_) return LineStatus::JoinAtEnd;  // a backslash joined the last line to nothing
            lineEnd = end_;
        }
        ++lineNumber;
        std::size_t contentEnd = lineEnd;
        if (contentEnd > physStart_ && data_[contentEnd - 1] == '\r') --contentEnd;
        const bool atEof = lineEnd == end_;
        cursor_ = atEof ? end_ : lineEnd + 1;
        if (mode == Mode::Comment) return LineStatus::Skipped;
        if (mode == Mode::Normal && lineEnd - lineStart_ >= kLineBufferSize) mode = Mode::Discard;
        if (firstPhysical && mode == Mode::Normal && std::memchr(data_ + physStart_, '$', contentEnd - physStart_))
            return LineStatus::Skipped;
        firstPhysical = false;
        const bool joins = contentEnd > physStart_ && data_[contentEnd - 1] == '\\';
        if (!joins) {
            if (mode == Mode::Discard) return LineStatus::LongLine;
            data_[contentEnd] = '\0';
            text = data_ + lineStart_;
            length = contentEnd - lineStart_;
            return LineStatus::Ready;
        }
        if (atEof) return LineStatus::JoinAtEnd;
        if (mode == Mode::Normal)  // the backslash and the line end become one separator
            std::memset(data_ + contentEnd - 1, ' ', lineEnd - contentEnd + 2);
        else
            lineStart_ = cursor_;
        physStart_ = scanFrom_ = cursor_;
    }
}

bool isBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// Cuts [p, end) into tokens in place, up to a token that starts a comment; *end must be writable.
// Returns the token count, or -1 when the line holds more tokens than the token array.
int tokenize(char* p, char* end, char** tokens) {
    int count = 0;
    for (;;) {
        while (p < end && isBlankOrTab(*p)) ++p;
        if (p == end) return count;
        if (*p == ',') {
            if (count == 0) {  // the keyword is empty, so the line is an unknown command
                *p = '\0';
                tokens[count++] = p;
            }
            ++p;
            continue;
        }
        if (*p == '#' && count > 0)  // a comment runs to the line end ("f 1 2 3 # quad cut")
            return count;
        if (count == kMaxTokens) return -1;
        tokens[count++] = p;
        while (p < end && !isBlankOrTab(*p)) ++p;
        *p = '\0';
        if (p < end) ++p;
    }
}

int keywordCode(const char* word) {
    for (int code = 0; code < kCodeUnknown; ++code)
        if (word[0] == kKeywords[code][0] && std::strcmp(word, kKeywords[code]) == 0) return code;
    return kCodeUnknown;
}

bool isCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Reads an integer the way atoi does: leading white space, one sign, decimal digits, anything else
// ends it; a value beyond 64 bits saturates like strtol.
std::int64_t readLong(const char* p) {
    while (isCSpace(*p)) ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    const std::uint64_t limit = std::uint64_t(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    std::uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        const unsigned digit = unsigned(*p - '0');
        if (value > (limit - digit) / 10) {
            value = limit;
            break;
        }
        value = value * 10 + digit;
    }
    return static_cast<std::int64_t>(negative ? 0 - value : value);
}

// A plain integer field, narrowed to int as atoi's result would be.
int readInt(const char* p) { return static_cast<int>(readLong(p)); }

// Records why the current line is refused and answers the error code to return.
[[gnu::format(printf, 2, 3)]] int refuse(int why, const char* format, ...) {
    TobjErrorDetail& d = gState.detail;
    d.why = why;
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(d.message, sizeof d.message, format, args);
    va_end(args);
    return OBJ_ERR_MALFORMED;
}

// The value of a number that double cannot hold: its sign with infinity when the leading digit's
// decimal exponent is positive, zero otherwise (beyond double's range the two cases are centuries
// of decades apart, so a rough exponent decides).
float outOfRangeValue(const char* p, const char* stop) {
    const bool negative = *p == '-';
    if (negative) ++p;
    long long exponent = 0;
    bool afterPoint = false, significant = false;
    for (; p < stop && *p != 'e' && *p != 'E'; ++p) {
        if (*p == '.') {
            afterPoint = true;
            continue;
        }
        significant = significant || *p != '0';
        if (!afterPoint && significant)
            ++exponent;
        else if (afterPoint && !significant)
            --exponent;
    }
    if (p < stop) {
        ++p;
        const bool negativeExponent = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        long long written = 0;
        for (; p < stop && *p >= '0' && *p <= '9' && written < 1000000000; ++p) written = written * 10 + (*p - '0');
        exponent += negativeExponent ? -written : written;
    }
    const float magnitude = exponent > 0 ? std::numeric_limits<float>::infinity() : 0.0f;
    return negative ? -magnitude : magnitude;
}

// Reads a float the way atof does (decimal, inf, nan, a prefix of the token, 0 when nothing reads)
// and rounds it through double as atof's result would be; stop bounds the NUL-terminated text.
float readFloat(const char* p, const char* stop) {
    while (p < stop && isCSpace(*p)) ++p;
    if (p < stop && *p == '+') {
        ++p;
        if (p < stop && *p == '-')  // only one sign is read
            return 0.0f;
    }
    double value = 0.0;
    const std::from_chars_result r = std::from_chars(p, stop, value);
    if (r.ec == std::errc::result_out_of_range) return outOfRangeValue(p, r.ptr);
    return static_cast<float>(value);
}

// One tokenised line: token 0 is the keyword; end bounds every token's text.
struct Tokens {
    char** word;
    int count;
    const char* end;

    float floatAt(int i) const { return readFloat(word[i], end); }
    int intAt(int i) const { return readInt(word[i]); }
};

TobjCommand& rec() { return gState.record; }

// A command with fewer tokens than it needs (the keyword counted).
int tooFew(const Tokens& t, int neededTokens) {
    const bool face = t.word[0][0] == 'f';
    gState.detail.needed = neededTokens - 1;
    gState.detail.given = t.count - 1;
    return refuse(OBJ_WHY_FEW_VALUES, "%s needs at least %d %s, found %d", t.word[0], neededTokens - 1,
                  face                ? "corners"
                  : neededTokens == 2 ? "value"
                                      : "values",
                  t.count - 1);
}

float* readFloatRun(const Tokens& t, int first, int count) {
    if (!gState.floats.reserve(std::size_t(count))) return nullptr;
    for (int i = 0; i < count; ++i) gState.floats.data[i] = t.floatAt(first + i);
    return gState.floats.data;
}

int* readIntRun(const Tokens& t, int first, int count) {
    if (!gState.ints.reserve(std::size_t(count))) return nullptr;
    for (int i = 0; i < count; ++i) gState.ints.data[i] = t.intAt(first + i);
    return gState.ints.data;
}

int readCoordinates(const Tokens& t, int code, int minTokens) {
    if (t.count < minTokens) return tooFew(t, minTokens);
    float* values = readFloatRun(t, 1, t.count - 1);
    if (!values) return OBJ_ERR_MEMORY;
    rec().as.floats = {t.count - 1, values};
    return code;
}

// The slash layout of a face corner token.
struct Corner {
    enum Form { kVertex, kVertexTexture, kVertexNormal, kVertexTextureNormal } form;
    const char* texture;
    const char* normal;
};

Corner classifyCorner(const char* token) {
    const char* first = nullptr;
    const char* second = nullptr;
    const char* p = token;
    for (; *p; ++p)
        if (*p == '/') {
            if (!first)
                first = p;
            else if (!second)
                second = p;
        }
    // A single trailing slash ("1/2/") closes the token rather than opening an empty field.
    if (p > token && p[-1] == '/' && !(p - 1 > token && p[-2] == '/')) {
        if (second == p - 1)
            second = nullptr;
        else if (first == p - 1)
            first = nullptr;
    }
    if (!first) return {Corner::kVertex, nullptr, nullptr};
    if (second == first + 1) return {Corner::kVertexNormal, nullptr, second + 1};
    if (!second) return {Corner::kVertexTexture, first + 1, nullptr};
    return {Corner::kVertexTextureNormal, first + 1, second + 1};
}

constexpr const char* kFormNames[] = {"v", "v/vt", "v//vn", "v/vt/vn"};

// A face index, read like readInt; an index that does not fit in an int (which would wrap to an
// unrelated vertex) refuses the line, naming the number as written.
bool readIndex(const char* p, int corner, const char* kind, int& out) {
    const std::int64_t value = readLong(p);
    if (value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max()) {
        out = static_cast<int>(value);
        return true;
    }
    TobjErrorDetail& d = gState.detail;
    std::size_t n = 0;
    while (p[n] && p[n] != '/') ++n;
    const std::size_t room = sizeof d.text - 1;
    if (n > room) {
        std::memcpy(d.text, p, room - 3);
        std::memcpy(d.text + room - 3, "...", 4);
    } else {
        std::memcpy(d.text, p, n);
        d.text[n] = '\0';
    }
    d.token = corner;
    refuse(OBJ_WHY_INDEX_RANGE, "corner %d: %s index %s is out of range", corner, kind, d.text);
    return false;
}

int readFace(const Tokens& t, int code) {
    if (t.count < 4) return tooFew(t, 4);
    const int count = t.count - 1;
    const Corner::Form form = classifyCorner(t.word[1]).form;
    const bool hasTexture = form == Corner::kVertexTexture || form == Corner::kVertexTextureNormal;
    const bool hasNormal = form == Corner::kVertexNormal || form == Corner::kVertexTextureNormal;
    const std::size_t arrays = 1 + std::size_t(hasTexture) + std::size_t(hasNormal);
    if (!gState.ints.reserve(arrays * std::size_t(count))) return OBJ_ERR_MEMORY;
    int* vertices = gState.ints.data;
    int* normals = hasNormal ? vertices + count : nullptr;
    int* textures = hasTexture ? vertices + count * (hasNormal ? 2 : 1) : nullptr;
    for (int i = 0; i < count; ++i) {
        const char* token = t.word[i + 1];
        const Corner corner = classifyCorner(token);
        if (corner.form != form) {
            gState.detail.token = i + 1;
            return refuse(OBJ_WHY_CORNER_FORM, "corner %d is written %s, but the first corner %s (one form per face)",
                          i + 1, kFormNames[corner.form], kFormNames[form]);
        }
        if (!readIndex(token, i + 1, "vertex", vertices[i]) ||
            (textures && !readIndex(corner.texture, i + 1, "texture", textures[i])) ||
            (normals && !readIndex(corner.normal, i + 1, "normal", normals[i])))
            return OBJ_ERR_MALFORMED;
    }
    rec().as.face = {count, vertices, 0, normals, textures};
    return code;
}

int readText(const Tokens& t, int code) {
    if (t.count < 2) return tooFew(t, 2);
    rec().as.text.text = t.word[1];
    return code;
}

int readGroups(const Tokens& t, int code) {
    if (t.count > kMaxGroupTokens) {
        std::fputs("Number of shared groups has exceeded maximum for parser.\n", stdout);
        return refuse(OBJ_WHY_GROUP_COUNT, "g takes at most %d names, found %d", OBJ_MAX_GROUPS, t.count - 1);
    }
    TobjGroups& groups = rec().as.groups;
    for (int i = 1; i < t.count; ++i) {
        const char* name = t.word[i];
        std::size_t length = 0;
        while (length < OBJ_GROUP_NAME_CHARS && name[length]) ++length;
        std::memcpy(groups.names[i - 1], name, length);  // longer names are truncated
        groups.names[i - 1][length] = '\0';
    }
    groups.count = t.count - 1;
    return code;
}

int readSmoothing(const Tokens& t, int code) {
    if (t.count < 2) return tooFew(t, 2);
    TobjSmoothing& s = rec().as.smoothing;
    s.group = t.intAt(1);  // "off" reads as 0 too
    std::memcpy(s.text, s.group == 0 ? "off" : "", s.group == 0 ? 4 : 1);
    return code;
}

int readCurveType(const Tokens& t, int code) {
    if (t.count < 2) return tooFew(t, 2);
    if (t.count > kMaxGroupTokens)
        return refuse(OBJ_WHY_VALUE_COUNT, "%s takes at most %d values, found %d", t.word[0], kMaxGroupTokens - 1,
                      t.count - 1);
    const bool rational = t.count == 3;
    rec().as.curveType = {t.word[rational ? 2 : 1], rational ? 1 : 0};
    return code;
}

// deg and step: a u value and an optional v value, each narrowed to its field's width.
template <class UWidth, class VWidth>
int readUv(const Tokens& t, int code) {
    if (t.count < 2) return tooFew(t, 2);
    const bool hasV = t.count >= 3;
    rec().as.uv = {hasV ? 1 : 0, static_cast<UWidth>(t.intAt(1)), hasV ? static_cast<VWidth>(t.intAt(2)) : 0};
    return code;
}

// bmat and parm: a direction word then values; the two records order their fields differently.
int readDirectedValues(const Tokens& t, int code) {
    if (t.count < 2) return tooFew(t, 2);
    const int direction = t.word[1][0] == 'u' ? 1 : 2;
    const int count = t.count - 2;
    float* values = readFloatRun(t, 2, count);
    if (!values) return OBJ_ERR_MEMORY;
    if (code == OBJ_CMD_BMAT)
        rec().as.basis = {count, direction, values};
    else
        rec().as.parameters = {direction, count, values};
    return code;
}

int readPlainCurve(const Tokens& t, int code) {
    if (t.count < 2) return tooFew(t, 2);
    const int count = t.count - 1;
    int* indices = readIntRun(t, 1, count);
    if (!indices) return OBJ_ERR_MEMORY;
    if (code == OBJ_CMD_CURV2)
        rec().as.curve2 = {count, 0, indices, {0, 0}};
    else
        rec().as.curve3 = {count, indices, {0, 0, 0}};
    return code;
}

int readCurve(const Tokens& t, int code) {
    if (t.count < 5) return tooFew(t, 5);
    int* indices = readIntRun(t, 3, t.count - 3);
    if (!indices) return OBJ_ERR_MEMORY;
    TobjCurve& c = rec().as.curve;  // c.untouched keeps what the previous command left there
    c.u0 = t.floatAt(1);
    c.u1 = t.floatAt(2);
    c.count = t.count - 3;
    c.indices = indices;
    c.reserved[0] = c.reserved[1] = c.reserved[2] = 0;
    return code;
}

int readSurface(const Tokens& t, int code) {
    if (t.count < 7) return tooFew(t, 7);
    int* indices = readIntRun(t, 5, t.count - 5);  // each reads up to its first '/'
    if (!indices) return OBJ_ERR_MEMORY;
    rec().as.surface = {t.floatAt(1), t.floatAt(2), t.floatAt(3), t.floatAt(4), t.count - 5, indices, {0, 0, 0}};
    return code;
}

// The text after a token's first '/', or its empty end when it has none.
const char* afterSlash(const char* token) {
    const char* slash = std::strchr(token, '/');
    return slash ? slash + 1 : token + std::strlen(token);
}

int readTrim(const Tokens& t, int code) {
    if (t.count < 4) return tooFew(t, 4);
    const bool paired = std::strchr(t.word[1], '/') != nullptr;
    const int count = (t.count - 1) / 3;
    const std::size_t copies = paired ? 2 : 1;
    if (!gState.floats.reserve(copies * 2 * std::size_t(count)) || !gState.ints.reserve(copies * std::size_t(count)))
        return OBJ_ERR_MEMORY;
    float* params = gState.floats.data;
    float* params2 = paired ? params + 2 * count : nullptr;
    int* curves = gState.ints.data;
    int* curves2 = paired ? curves + count : nullptr;
    for (int k = 0; k < count; ++k) {
        char* const* triple = t.word + 1 + 3 * k;
        for (int j = 0; j < 2; ++j) params[2 * k + j] = readFloat(triple[j], t.end);
        curves[k] = readInt(triple[2]);
        if (paired) {
            for (int j = 0; j < 2; ++j) params2[2 * k + j] = readFloat(afterSlash(triple[j]), t.end);
            curves2[k] = readInt(afterSlash(triple[2]));
        }
    }
    rec().as.trim = {paired ? 1 : 0, count, params, params2, curves, curves2};
    return code;
}

int readConnect(const Tokens& t, int code) {
    if (t.count != 9 && t.count != 12)
        return refuse(OBJ_WHY_VALUE_COUNT, "con needs 8 or 11 values, found %d", t.count - 1);
    TobjConnect& c = rec().as.connect;  // c.untouched keeps what the previous command left there
    c.surface1 = t.intAt(1);
    c.q0First = t.floatAt(2);
    c.q1First = t.floatAt(3);
    c.curve1 = t.intAt(4);
    c.surface2 = t.intAt(5);
    c.q0Second = t.floatAt(6);
    c.q1Second = t.floatAt(7);
    c.curve2 = t.intAt(8);
    return code;
}

int readTechnique(const Tokens& t, int code) {
    if (t.count < 2) return tooFew(t, 2);
    struct Technique {
        const char* name;
        int code;
        bool zeroesValues;
    };
    static constexpr Technique kTechniques[] = {{"cparm", 3, false},  {"curv", 4, false},   {"cspace", 5, false},
                                                {"cparma", 6, false}, {"cparmb", 7, false}, {"imp", 6, true}};
    TobjTechnique& tech = rec().as.technique;  // an unknown technique keeps the previous code
    tech.keyword = t.word[0];
    tech.hasSecond = t.count >= 4 ? 1 : 0;
    tech.value1 = t.count >= 3 ? t.floatAt(2) : 0.0f;
    tech.value2 = t.count >= 4 ? t.floatAt(3) : 0.0f;
    for (const Technique& known : kTechniques)
        if (std::strcmp(t.word[1], known.name) == 0) {
            tech.technique = known.code;
            if (known.zeroesValues) tech.value1 = tech.value2 = 0.0f;
        }
    return code;
}

// Decodes one command into the record; returns its code, a negative error, or kSkipLine.
int decode(const Tokens& t, int code) {
    switch (code) {
        case OBJ_CMD_V:
        case OBJ_CMD_VN:
            return readCoordinates(t, code, 4);
        case OBJ_CMD_VT:
        case OBJ_CMD_VP:
            return readCoordinates(t, code, 2);
        case OBJ_CMD_F:
        case OBJ_CMD_FO:
            return readFace(t, code);
        case OBJ_CMD_USEMTL:
        case OBJ_CMD_MTLLIB:
            return readText(t, code);
        case OBJ_CMD_G:
            return readGroups(t, code);
        case OBJ_CMD_S:
            return readSmoothing(t, code);
        case OBJ_CMD_CSTYPE:
            return readCurveType(t, code);
        case OBJ_CMD_DEG:
            return readUv<std::int8_t, std::int8_t>(t, code);
        case OBJ_CMD_STEP:
            return readUv<std::int16_t, int>(t, code);
        case OBJ_CMD_BMAT:
        case OBJ_CMD_PARM:
            return readDirectedValues(t, code);
        case OBJ_CMD_CURV2:
        case OBJ_CMD_CURV3:
            return readPlainCurve(t, code);
        case OBJ_CMD_CURV:
            return readCurve(t, code);
        case OBJ_CMD_SURF:
            return readSurface(t, code);
        case OBJ_CMD_TRIM:
        case OBJ_CMD_SCRV:
        case OBJ_CMD_HOLE:
            return readTrim(t, code);
        case OBJ_CMD_CON:
            return readConnect(t, code);
        case OBJ_CMD_END:
            return code;
        case OBJ_CMD_STECH:
        case OBJ_CMD_CTECH:
            return readTechnique(t, code);
        default:
            return kSkipLine;
    }
}

// A handle as the library allocates it: the caller's view first, the read-ahead after it.
struct Handle {
    TobjParser parser;
    LineSource source;
};
static_assert(std::is_standard_layout_v<Handle>, "a TobjParser* must convert to its Handle");

Handle* handleOf(TobjParser* parser) { return reinterpret_cast<Handle*>(parser); }

// An error record; the detail says why, in the words of the check that refused the line when it
// left any.
TobjCommand* fail(int error, int why = OBJ_WHY_NONE, const char* message = nullptr) {
    gState.record.code = error;
    gState.lastError = error;
    TobjErrorDetail& d = gState.detail;
    if (d.why == OBJ_WHY_NONE) {
        if (why == OBJ_WHY_NONE)
            why = error == OBJ_ERR_MEMORY ? OBJ_WHY_MEMORY : error == OBJ_ERR_TOKENS ? OBJ_WHY_TOKENS : OBJ_WHY_NONE;
        if (!message)
            message = why == OBJ_WHY_MEMORY   ? "out of memory"
                      : why == OBJ_WHY_TOKENS ? "more than 25000 values on one line"
                                              : "malformed line";
        d.why = why;
        std::snprintf(d.message, sizeof d.message, "%s", message);
    }
    return &gState.record;
}

void freeOptions(TobjParser* p) {
    for (int i = 0; i < p->optionCount; ++i) delete[] p->options[i];
    delete[] p->options;
    p->options = nullptr;
    p->optionCount = 0;
}

// Closes the file and frees the copies that belong to it; a handle without a file is left as is.
void closeFile(TobjParser* p) {
    if (p->closed == 0) {
        std::fclose(p->stream);
        p->stream = nullptr;
        delete[] p->path;
        p->path = nullptr;
        p->closed = -1;
    }
    freeOptions(p);
}

char* copyText(const char* text) {
    const std::size_t size = std::strlen(text) + 1;
    char* copy = new (std::nothrow) char[size];
    if (copy) std::memcpy(copy, text, size);
    return copy;
}

bool endsWith(const char* text, std::size_t length, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    return length >= n && std::memcmp(text + length - n, suffix, n) == 0;
}

const ParserEntry* findParser(const char* path) {
    const std::size_t length = path ? std::strlen(path) : 0;
    for (const ParserEntry& entry : kParsers)
        if (endsWith(path ? path : "", length, entry.extension)) return &entry;
    for (const ParserEntry& entry : kParsers)
        if (std::strcmp(entry.extension, kDefaultExtension) == 0) return &entry;
    return nullptr;
}

}  // namespace

extern "C" {

TobjParser* PARSE_init(const char* path) {
    gState.lastError = 0;
    const ParserEntry* entry = findParser(path);
    if (!entry) {
        gState.lastError = OBJ_ERR_NO_PARSER;
        return nullptr;
    }
    return entry->open();
}

TobjParser* PARSE_open_atok(void) {
    Handle* h = new (std::nothrow) Handle{};
    if (h && h->source.allocate() && gState.acquire()) {
        TobjParser& p = h->parser;
        p.closed = -1;
        p.initFile = parse_init_file_atok;
        p.close = parse_close_atok;
        p.command = parse_command_atok;
        return &p;
    }
    if (h) h->source.release();
    delete h;
    gState.lastError = OBJ_ERR_MEMORY;
    return nullptr;
}

int parse_init_file_atok(TobjParser* handle, const char* path, int optionCount, const char* const* options) {
    if (!handle) return OBJ_ERR_OPEN;
    closeFile(handle);
    handle->lineNumber = 0;
    if (!path) return OBJ_ERR_OPEN;
    char* pathCopy = copyText(path);
    if (!pathCopy) return OBJ_ERR_MEMORY;
    std::FILE* file = std::fopen(path, "r");
    if (!file) {
        delete[] pathCopy;
        return OBJ_ERR_OPEN;
    }
    const int count = options && optionCount > 0 ? optionCount : 0;
    char** optionCopies = count ? new (std::nothrow) char*[count]() : nullptr;
    bool copied = count == 0 || optionCopies;
    for (int i = 0; copied && i < count; ++i)
        copied = options[i] == nullptr || (optionCopies[i] = copyText(options[i])) != nullptr;
    handle->options = optionCopies;
    handle->optionCount = optionCopies ? count : 0;
    if (!copied) {
        freeOptions(handle);
        std::fclose(file);
        delete[] pathCopy;
        return OBJ_ERR_MEMORY;
    }
    handle->stream = file;
    handle->path = pathCopy;
    handle->context = handle;
    handle->closed = 0;
    handleOf(handle)->source.reset(file);
    return 0;
}

TobjCommand* parse_command_atok(TobjParser* handle) {
    if (!handle || handle->closed != 0) return nullptr;
    LineSource& source = handleOf(handle->context)->source;
    TobjErrorDetail& detail = gState.detail;
    detail.why = OBJ_WHY_NONE;
    detail.keyword = -1;
    detail.token = detail.needed = detail.given = 0;
    for (;;) {
        char* text = nullptr;
        std::size_t length = 0;
        switch (source.next(handle->lineNumber, text, length)) {
            case LineStatus::End:
                return nullptr;
            case LineStatus::Skipped:
                continue;
            case LineStatus::JoinAtEnd:
                return fail(OBJ_ERR_MALFORMED, OBJ_WHY_JOIN_AT_END,
                            "the last line ends in a backslash that joins it to nothing");
            case LineStatus::LongLine:
                return fail(OBJ_ERR_MALFORMED, OBJ_WHY_LONG_LINE, "line longer than 150000 bytes");
            case LineStatus::Utf16:
                return fail(OBJ_ERR_MALFORMED, OBJ_WHY_UTF16,
                            "the file is UTF-16 text (or holds NUL bytes); save it as UTF-8 or ASCII");
            case LineStatus::CrOnly:
                return fail(OBJ_ERR_MALFORMED, OBJ_WHY_CR_ONLY,
                            "the lines end in a carriage return alone; save the file with line feeds");
            case LineStatus::Ready:
                break;
        }
        const int count = tokenize(text, text + length, gState.tokens);
        if (count < 0) return fail(OBJ_ERR_TOKENS);
        if (count == 0) continue;
        const int code = keywordCode(gState.tokens[0]);
        if (code > kLastReturnableCode) continue;
        detail.keyword = code;
        const int result = decode(Tokens{gState.tokens, count, text + length}, code);
        if (result == kSkipLine) continue;
        if (result < 0) return fail(result);
        gState.record.code = result;
        return &gState.record;
    }
}

int parse_close_atok(TobjParser* handle) {
    if (!handle) return 1;
    closeFile(handle);
    Handle* h = handleOf(handle);
    h->source.release();
    delete h;
    gState.release();
    return 1;
}

int PARSE_last_error(void) { return gState.lastError; }

const TobjErrorDetail* PARSE_error_detail(void) { return &gState.detail; }

}  // extern "C"
