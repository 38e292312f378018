#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/VectorMath.h"

// The (cos, sin) table shared by the curved primitives. It is built backwards from (1, 0) by
// repeated single-precision rotation, so entry n - 1 is exactly (1, 0) and entry i is the point at
// angle (n - 1 - i) * step; with the default step 2 pi / n it runs once round the circle.
class BRINDLE_API TcircleTable {
public:
    explicit TcircleTable(uint32_t n);
    TcircleTable(uint32_t n, float step);

    uint32_t size() const { return fPoints.size(); }
    float cosAt(uint32_t i) const { return fPoints[i].u; }
    float sinAt(uint32_t i) const { return fPoints[i].v; }

    // The ring of radius rho at height y: (rho cos, y, rho sin) in table order.
    void appendRing(T3dFltPointArray& out, float rho, float y) const;

    // Edges between divisions a single-precision step apart are hard when the step exceeds
    // kHardStepAngle, compared in double precision; a family of n divisions round the full turn
    // is hard for n <= 12.
    static bool hardStep(float step) { return double(step) > kHardStepAngle; }
    static bool hardDivisions(uint32_t n) { return hardStep(kTwoPiF / float(n)); }

private:
    T2FloatArray fPoints;
};
