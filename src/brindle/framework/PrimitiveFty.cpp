#include "brindle/framework/PrimitiveFty.h"

#include "brindle/geom/PolyGeom.h"

TprimitiveFty::TprimitiveFty() : fUVSetName(std::make_shared<const Tstring>()) {}

bool TprimitiveFty::createUVSet(TpolyGeom& geom, uint32_t& setId, bool withIds) const {
    setId = kNoSet;
    if (fUVSetName->isEmpty()) return false;
    TpolyMapArrayShared& maps = *geom.maps();
    const uint32_t id = maps.add(*fUVSetName);
    if (withIds) maps[id].createIndexArray(geom.faceDescLength());
    setId = id;
    maps.setCurrentMapSetId(id);
    return true;
}

void TprimitiveFty::mapFacet(TpolyGeom& geom, const int32_t* ids, uint32_t n, uint32_t s) {
    if (s >= geom.maps()->nbMap()) return;
    (*geom.maps())[s].indexArray().append(ids, n);
}

void TprimitiveFty::MapTrigFacet(TpolyGeom& geom, int32_t a, int32_t b, int32_t c, uint32_t s) {
    const int32_t ids[] = {a, b, c};
    mapFacet(geom, ids, 3, s);
}

void TprimitiveFty::MapQuadFacet(TpolyGeom& geom, int32_t a, int32_t b, int32_t c, int32_t d, uint32_t s) {
    const int32_t ids[] = {a, b, c, d};
    mapFacet(geom, ids, 4, s);
}

void TprimitiveFty::MapPentaFacet(TpolyGeom& geom, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, uint32_t s) {
    const int32_t ids[] = {a, b, c, d, e};
    mapFacet(geom, ids, 5, s);
}

void TprimitiveFty::MapHexaFacet(TpolyGeom& geom, int32_t a, int32_t b, int32_t c, int32_t d, int32_t e, int32_t f,
                                 uint32_t s) {
    const int32_t ids[] = {a, b, c, d, e, f};
    mapFacet(geom, ids, 6, s);
}
