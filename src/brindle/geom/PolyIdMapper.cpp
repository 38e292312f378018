#include "brindle/geom/PolyIdMapper.h"

TpolyIdMapper::TpolyIdMapper(bool vertices, bool edges, bool faces) {
    const bool wanted[3] = {vertices, edges, faces};
    for (int k = 0; k < 3; ++k)
        if (wanted[k]) fMaps[k] = std::make_unique<TuInt32Array>(256);
}

TuInt32Array* TpolyIdMapper::map(TpolyGrpType kind) const {
    if (kind < kPolyGrpVertex || kind > kPolyGrpFace) return nullptr;
    return fMaps[kind - kPolyGrpVertex].get();
}
