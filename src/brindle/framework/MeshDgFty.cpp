#include "brindle/framework/MeshDgFty.h"

const Tmetaclass TmeshDgFty::sMetaclass(
    "TmeshDgFty", sizeof(TmeshDgFty), [] { return static_cast<void*>(new TmeshDgFty); }, 0, nullptr);

TmeshDgFty::TmeshDgFty() { fMap.setBit(kMapAll); }

void* TmeshDgFty::cast(const Tmetaclass* mc) { return mc == typeof() ? this : nullptr; }

TmeshDgFty* TmeshDgFty::construct(const Tmetaclass* mc) {
    if (!mc || !mc->istype(&sMetaclass)) return nullptr;
    return static_cast<TmeshDgFty*>(mc->construct());
}

bool TmeshDgFty::copy(const TmeshDgFty& other, bool useMap) {
    if (&other == this) return false;
    return copyData(other, useMap);
}

bool TmeshDgFty::copyData(const TmeshDgFty& other, bool useMap) {
    bool changed = false;
    const bool otherAll = other.mapAll();
    const bool copiedTriangulate = !useMap || otherAll || other.fMap.testBit(kCarriesTriangulate);
    if (copiedTriangulate) {
        changed |= triangulate() != other.triangulate();
        fValues.setBit(kTriangulateValue, other.triangulate());
        fMap.setBit(kCarriesTriangulate, other.fMap.testBit(kCarriesTriangulate));
    }
    if ((copiedTriangulate && (!useMap || otherAll)) || other.fMap.testBit(kCarriesRelative)) {
        changed |= relative() != other.relative();
        fValues.setBit(kRelativeValue, other.relative());
        fMap.setBit(kCarriesRelative, other.fMap.testBit(kCarriesRelative));
    }
    fMap.setBit(kMapAll, otherAll);
    return changed;
}

bool TmeshDgFty::equivalent(const TmeshDgFty& other, bool useMap) const {
    const bool otherAll = other.mapAll();
    if (useMap && !otherAll && !other.fMap.testBit(kCarriesTriangulate)) return false;
    if (triangulate() != other.triangulate()) return false;
    if (useMap && !otherAll && !other.fMap.testBit(kCarriesRelative)) return false;
    return relative() == other.relative();
}

TmeshDgFty* TmeshDgFty::clone() const {
    TmeshDgFty* copyOf = construct(typeof());
    if (copyOf) copyOf->copyData(*this, false);
    return copyOf;
}

void TmeshDgFty::swapWith(TmeshDgFty* other, bool useMap) {
    if (!other || other->typeof() != typeof()) return;
    TmeshDgFty* saved = clone();
    if (!saved) return;
    copy(*other, useMap);
    other->copy(*saved, useMap);
    delete saved;
}
