#pragma once

#include <memory>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/geom/PolyTypes.h"

// Old-to-new id maps of a removing operation, owned by the caller: entry i of a map is the new id
// of the component that had id i before the operation (all ones when it is gone). Only the maps
// asked for at construction exist.
class BRINDLE_API TpolyIdMapper {
public:
    TpolyIdMapper(bool vertices, bool edges, bool faces);
    TpolyIdMapper(const TpolyIdMapper&) = delete;
    TpolyIdMapper& operator=(const TpolyIdMapper&) = delete;

    // The map of kind 1 (vertex), 2 (edge) or 3 (face), or null.
    TuInt32Array* map(TpolyGrpType kind) const;
    TuInt32Array* vertexMap() const { return map(kPolyGrpVertex); }
    TuInt32Array* edgeMap() const { return map(kPolyGrpEdge); }
    TuInt32Array* faceMap() const { return map(kPolyGrpFace); }

private:
    std::unique_ptr<TuInt32Array> fMaps[3];
};
