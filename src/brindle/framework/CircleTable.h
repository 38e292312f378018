#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"

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

    // The single-precision full turn the primitives use.
    static constexpr float kTwoPi = 6.2831855f;
    // Edges of a family of n divisions are hard when the step 2 pi / n exceeds pi / 6 (n <= 12).
    // The single-precision step is compared with pi / 6 in double precision.
    static bool hardDivisions(uint32_t n) { return double(kTwoPi / float(n)) > 0.5235987755982988; }

private:
    T2FloatArray fPoints;
};
