#include "brindle/geom/PolyColor.h"

#include <utility>

uint32_t TpolyColorValue::floatCount(TpolyColorRep rep) { return rep >= I && rep <= RGBA ? uint32_t(rep) : 0; }

TpolyColorValue TpolyColorValue::copyValue(const float* in, TpolyColorRep from, TpolyColorRep to) {
    TpolyColorValue full;
    switch (from) {
        case I:
            full = {in[0], in[0], in[0], 1.0f};
            break;
        case IA:
            full = {in[0], in[0], in[0], in[1]};
            break;
        case RGB:
            full = {in[0], in[1], in[2], 1.0f};
            break;
        case RGBA:
            full = {in[0], in[1], in[2], in[3]};
            break;
    }
    switch (to) {
        case I:
        case IA: {
            const float i = (full.r + full.g + full.b) / 3.0f;
            return {i, i, i, to == IA ? full.a : 1.0f};
        }
        case RGB:
            return {full.r, full.g, full.b, 1.0f};
        case RGBA:
            break;
    }
    return full;
}

void TpolyColor::copyData(const TpolyBdVertexFaceBase& other) {
    TpolyVertexFaceSet<TpolyColorValue>::copyData(other);
    if (auto* o = dynamic_cast<const TpolyColor*>(&other)) fRep = o->fRep;
}

void TpolyColor::swapData(TpolyBdVertexFaceBase& other) {
    TpolyVertexFaceSet<TpolyColorValue>::swapData(other);
    if (auto* o = dynamic_cast<TpolyColor*>(&other)) std::swap(fRep, o->fRep);
}

const Tstring& colorSetNameBase() {
    static const Tstring base("colorSet");
    return base;
}

namespace {
// The base exists from load time on, before any record asks for a name.
[[maybe_unused]] const Tstring& gColorSetNameBase = colorSetNameBase();
}  // namespace
