#include "brindle/framework/HostObjectTable.h"

#include <cstring>

// Function-local, so that registrations from other static initialisers never run before it exists.
TobjArray<ThostObjectTable::Entry>& ThostObjectTable::entries() {
    static TobjArray<Entry> table(16);
    return table;
}

const ThostObjectTable::Entry* ThostObjectTable::find(uint32_t code) {
    for (const Entry& e : entries())
        if (e.code == code) return &e;
    return nullptr;
}

bool ThostObjectTable::registerType(uint32_t code, const char* typeString, std::initializer_list<uint32_t> kinds) {
    if (find(code)) return false;
    Entry e;
    e.code = code;
    e.typeString = typeString;
    for (uint32_t k : kinds) e.kinds.addLast(k);
    entries().addLast(std::move(e));
    return true;
}

const char* ThostObjectTable::typeString(uint32_t code) {
    const Entry* e = find(code);
    return e ? e->typeString : nullptr;
}

const TuInt32Array* ThostObjectTable::kindList(uint32_t code) {
    const Entry* e = find(code);
    return e ? &e->kinds : nullptr;
}

bool ThostObjectTable::isKindOf(uint32_t code, uint32_t kind) {
    const Entry* e = find(code);
    if (!e) return false;
    return code == kind || e->kinds.find(kind) != kNotFound;
}

uint32_t ThostObjectTable::codeOf(const char* typeString) {
    if (!typeString) return 0;
    for (const Entry& e : entries())
        if (std::strcmp(e.typeString, typeString) == 0) return e.code;
    return 0;
}

uint32_t ThostObjectTable::size() { return entries().size(); }
