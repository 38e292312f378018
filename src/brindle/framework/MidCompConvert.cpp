#include "brindle/framework/MidCompConvert.h"

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"

namespace {

void toFlags(TpolyGeom& geom, const TsingleIndexedComponent& list, TpolyGrpType kind, TbitFieldFixedN& bits) {
    bits.resizeArray(geom.getMaxVal(kind));
    list.convert2Flags(bits);
}
void toFlags(TpolyGeom& geom, const TlongDoubleIndexedComponent& list, TpolyGrpType, TbitFieldFixedN& bits) {
    geom.flagsFromComponent(list, bits);
}
void fromFlags(TpolyGeom&, const TbitFieldFixedN& bits, TsingleIndexedComponent& list) { list.convertFromFlags(bits); }
void fromFlags(TpolyGeom& geom, const TbitFieldFixedN& bits, TlongDoubleIndexedComponent& list) {
    geom.flagsToComponent(bits, list);
}

template <typename S, typename D>
void convertList(TmidBody* body, const S& source, D& target, TpolyGrpType from, TpolyGrpType to, int convertMode,
                 bool filter = false) {
    target.clear();
    TpolyGeom* geom = body ? body->polyGeom() : nullptr;
    if (!geom || source.elementCount() == 0) return;
    geom->update(dirtyFaceOffsets);
    TbitFieldFixedN in, out;
    toFlags(*geom, source, from, in);
    if (geom->convertFiltered(from, to, in, out, convertMode, filter)) fromFlags(*geom, out, target);
}

}  // namespace

#define BRINDLE_DEFINE_MID_COMP_CONVERT(S, From, D, To)                                          \
    void TmidCompConvert::convert(TmidBody* body, const S& source, D& target, int convertMode) { \
        convertList(body, source, target, kGrpKind##From, kGrpKind##To, convertMode);            \
    }
BRINDLE_MID_COMP_PAIRS(BRINDLE_DEFINE_MID_COMP_CONVERT)
#undef BRINDLE_DEFINE_MID_COMP_CONVERT

void TmidCompConvert::convert(TmidBody* body, const TmidVertComponent& source, TmidEdgeComponent& target,
                              int convertMode, bool filter) {
    convertList(body, source, target, kPolyGrpVertex, kPolyGrpEdge, convertMode, filter);
}
void TmidCompConvert::convert(TmidBody* body, const TmidVertComponent& source, TmidFaceComponent& target,
                              int convertMode, bool filter) {
    convertList(body, source, target, kPolyGrpVertex, kPolyGrpFace, convertMode, filter);
}
void TmidCompConvert::convert(TmidBody* body, const TmidMapComponent& source, TmidVertComponent& target,
                              int convertMode, bool filter) {
    convertList(body, source, target, kPolyGrpUV, kPolyGrpVertex, convertMode, filter);
}
