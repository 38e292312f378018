#include "brindle/ops/ModifierRegistry.h"

#include <charconv>
#include <cstdlib>
#include <string>

std::vector<const TmodifierParamTable*>& TmodifierParamTable::tables() {
    static std::vector<const TmodifierParamTable*> all;
    return all;
}

TmodifierParamTable::TmodifierParamTable(const Tmetaclass& cls, std::initializer_list<TmodifierParam> params)
    : fOwner(cls), fParams(params) {
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

bool setParameter(TmidModifierFty& fty, std::string_view name, std::string_view text) {
    for (const Tmetaclass* cls = fty.typeof(); cls; cls = cls->parent())
        if (const TmodifierParamTable* t = TmodifierParamTable::find(cls))
            for (const TmodifierParam& p : t->params())
                if (name == p.name) return p.set(fty, text);
    return false;
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
    if (text == "true" || text == "1") out = true;
    else if (text == "false" || text == "0") out = false;
    else return false;
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
bool parse(std::string_view text, T4dDblMatrix& out) {
    double v[16];
    if (readNumbers(text, v, 16) != 16) return false;
    for (int k = 0; k < 16; ++k) out.m[k / 4][k % 4] = v[k];
    return true;
}

}  // namespace TmodifierText
