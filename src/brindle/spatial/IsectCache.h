#pragma once

#include <cstdint>

#include "brindle/base/Export.h"

class TpolyGeom;
class TpolySpatialSubdivision;
struct TmeshIsectAccelParams;

// The intersection accelerator a record keeps, with a fingerprint of the positions, face
// description and triangles it was built from and the record's edit stamp when it was last
// checked. While the stamp has not moved the accelerator is handed out as it is; after an edit
// marked the record dirty the fingerprint is taken again, and only a changed one (or other
// parameters) rebuilds. A copied record starts without one.
class BRINDLE_API TpolyIsectCache {
public:
    TpolyIsectCache() = default;
    TpolyIsectCache(const TpolyIsectCache&) {}
    // The record assigned to changes, and its next request tells whether that matters.
    TpolyIsectCache& operator=(const TpolyIsectCache&) { return *this; }
    ~TpolyIsectCache() { clear(); }

    const TpolySpatialSubdivision& get(TpolyGeom& geom, const TmeshIsectAccelParams& params);
    void clear();

private:
    TpolySpatialSubdivision* fAccel = nullptr;  // owned
    uint64_t fStamp = 0;
    uint64_t fFingerprint = 0;
};
