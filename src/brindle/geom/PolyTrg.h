#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Shared.h"

// Three corner numbers local to a face (0 = the face's first description entry). Bit 15 of the
// first word marks the last triangle of its face, bit 15 of the second a fallback-fan triangle.
struct TpolyTriangle {
    uint16_t c[3] = {0, 0, 0};
    bool operator==(const TpolyTriangle&) const = default;
};
static_assert(sizeof(TpolyTriangle) == 6);

// Triangulation component of a record: the triangles of every face, face after face, and the
// index of each face's first triangle (nbFace + 1 entries, the last one the triangle count).
class BRINDLE_API TpolyTrg {
public:
    TmtRefCounter fRefs;
    TuInt32Array fFirstTriangle{256};
    Tarray<TpolyTriangle> fTriangles{256};
};
