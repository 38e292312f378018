#include "brindle/ops/ModifierRegistry.h"

#include <array>
#include <charconv>
#include <cstdlib>
#include <string>

std::vector<const TmodifierParamTable*>& TmodifierParamTable::tables() {
    static std::vector<const TmodifierParamTable*> all;
    return all;
}

TmodifierParamTable::TmodifierParamTable(const Tmetaclass& cls, std::initializer_list<TmodifierParam> params)
    : TmodifierParamTable(cls, kPolyGrpNone, params) {}

TmodifierParamTable::TmodifierParamTable(const Tmetaclass& cls, TpolyGrpType selection,
                                         std::initializer_list<TmodifierParam> params)
    : fOwner(cls), fSelection(selection), fParams(params) {
    tables().push_back(this);
}

const TmodifierParamTable* TmodifierParamTable::find(const Tmetaclass* cls) {
    for (const TmodifierParamTable* t : tables())
        if (&t->fOwner == cls) return t;
    return nullptr;
}

namespace TmodifierRegistry {

TmidModifierFty* create(std::string_view typeName) {
    const Tmetaclass* cls = Tmetaclass::findByName(std::string(typeName).c_str());
    if (!cls || !cls->istype(&TmidModifierFty::sMetaclass)) return nullptr;
    return static_cast<TmidModifierFty*>(cls->construct());
}

const TmodifierParam* findParameter(const Tmetaclass* cls, std::string_view name) {
    for (; cls; cls = cls->parent())
        if (const TmodifierParamTable* t = TmodifierParamTable::find(cls))
            for (const TmodifierParam& p : t->params())
                if (name == p.name) return &p;
    return nullptr;
}

bool setParameter(TmidModifierFty& fty, std::string_view name, std::string_view text) {
    const TmodifierParam* p = findParameter(fty.typeof(), name);
    return p && p->set(fty, text);
}

TpolyGrpType selectionKind(const Tmetaclass* cls) {
    for (; cls; cls = cls->parent())
        if (const TmodifierParamTable* t = TmodifierParamTable::find(cls))
            if (t->selection() != kPolyGrpNone) return t->selection();
    return kPolyGrpNone;
}

std::vector<std::string> parameterNames(const TmidModifierFty& fty) {
    std::vector<std::string> names;
    for (const Tmetaclass* cls = fty.typeof(); cls; cls = cls->parent())
        if (const TmodifierParamTable* t = TmodifierParamTable::find(cls))
            for (const TmodifierParam& p : t->params()) names.emplace_back(p.name);
    return names;
}

}  // namespace TmodifierRegistry

namespace TmodifierText {

namespace {
// Reads up to max numbers separated by spaces or commas; answers how many, or -1 when something
// else stands in the text or more than max numbers do.
int readNumbers(std::string_view text, double* out, int max) {
    std::string buffer(text);
    const char* p = buffer.c_str();
    int n = 0;
    for (;;) {
        while (*p == ' ' || *p == ',' || *p == '\t') ++p;
        if (!*p) return n;
        if (n == max) return -1;
        char* end = nullptr;
        out[n] = std::strtod(p, &end);
        if (end == p) return -1;
        ++n;
        p = end;
    }
}

template <typename Int>
bool parseInt(std::string_view text, Int& out) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    Int v{};
    auto [end, err] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (err != std::errc() || end != text.data() + text.size() || text.empty()) return false;
    out = v;
    return true;
}
}  // namespace

bool parse(std::string_view text, double& out) { return readNumbers(text, &out, 1) == 1; }
bool parse(std::string_view text, float& out) {
    double d;
    if (!parse(text, d)) return false;
    out = float(d);
    return true;
}
bool parse(std::string_view text, int& out) { return parseInt(text, out); }
bool parse(std::string_view text, short& out) { return parseInt(text, out); }
bool parse(std::string_view text, unsigned& out) { return parseInt(text, out); }
bool parse(std::string_view text, bool& out) {
    if (text == "true" || text == "1")
        out = true;
    else if (text == "false" || text == "0")
        out = false;
    else
        return false;
    return true;
}
bool parse(std::string_view text, T3dFltPoint& out) {
    double v[3];
    if (readNumbers(text, v, 3) != 3) return false;
    out = T3dFltPoint(float(v[0]), float(v[1]), float(v[2]));
    return true;
}
bool parse(std::string_view text, T3dDblPoint& out) {
    double v[3];
    if (readNumbers(text, v, 3) != 3) return false;
    out = T3dDblPoint{v[0], v[1], v[2]};
    return true;
}
bool parse(std::string_view text, T4dFltVector& out) {
    double v[4] = {0, 0, 0, 0};
    const int n = readNumbers(text, v, 4);
    if (n != 3 && n != 4) return false;
    out = T4dFltVector(float(v[0]), float(v[1]), float(v[2]), float(v[3]));
    return true;
}
bool parse(std::string_view text, TrotateXYZ& out) {
    double v[4] = {0, 0, 0, 0};
    const int n = readNumbers(text, v, 4);
    if (n != 3 && n != 4) return false;
    if (v[3] < 0 || v[3] > 5 || v[3] != int(v[3])) return false;
    out.x = v[0];
    out.y = v[1];
    out.z = v[2];
    out.order = int(v[3]);
    return true;
}
template <typename Matrix>
bool parseMatrix(std::string_view text, Matrix& out) {
    double v[16];
    if (readNumbers(text, v, 16) != 16) return false;
    for (int k = 0; k < 16; ++k) out.m[k / 4][k % 4] = decltype(+out.m[0][0])(v[k]);
    return true;
}
bool parse(std::string_view text, T4dDblMatrix& out) { return parseMatrix(text, out); }
bool parse(std::string_view text, T4dFltMatrix& out) { return parseMatrix(text, out); }

namespace {
// Appends the shortest text that reads back to the same value, after a space unless out is empty.
template <typename Number>
void append(std::string& out, Number v) {
    std::array<char, 64> buffer;
    const auto [end, err] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v);
    if (!out.empty()) out.push_back(' ');
    out.append(buffer.data(), err == std::errc() ? end : buffer.data());
}

template <typename Number>
std::string joined(std::initializer_list<Number> values) {
    std::string out;
    for (Number v : values) append(out, v);
    return out;
}

template <typename Matrix>
std::string formatMatrix(const Matrix& m) {
    std::string out;
    for (int k = 0; k < 16; ++k) append(out, m.m[k / 4][k % 4]);
    return out;
}
}  // namespace

std::string format(double v) { return joined({v}); }
std::string format(float v) { return joined({v}); }
std::string format(int v) { return joined({v}); }
std::string format(short v) { return joined({v}); }
std::string format(unsigned v) { return joined({v}); }
std::string format(bool v) { return v ? "true" : "false"; }
std::string format(const T3dFltPoint& v) { return joined({v.x, v.y, v.z}); }
std::string format(const T3dDblPoint& v) { return joined({v.x, v.y, v.z}); }
std::string format(const T4dFltVector& v) { return v.w == 0 ? joined({v.x, v.y, v.z}) : joined({v.x, v.y, v.z, v.w}); }
std::string format(const TrotateXYZ& v) {
    std::string out = joined({v.x, v.y, v.z});
    if (v.order) append(out, v.order);
    return out;
}
std::string format(const T4dDblMatrix& v) { return formatMatrix(v); }
std::string format(const T4dFltMatrix& v) { return formatMatrix(v); }

const char* typeName(TmodifierParamType type) {
    static const char* const names[] = {"bool",  "int",    "unsigned", "float", "double",
                                        "point", "vector", "rotation", "matrix"};
    return names[int(type)];
}

}  // namespace TmodifierText
