#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"

// Insets a planar loop within its plane, as a straight-skeleton walk that never turns the loop
// inside out: the corners move along their bisectors at the speed that moves every edge by the
// same distance, in steps that stop whenever an edge would vanish, until the distance is used up
// or the loop's area would change sign. Corners of a vanished edge move together from then on.
// The scratch arrays persist between calls, so insetting many loops allocates once.
class BRINDLE_API TpolyLoopInset {
public:
    // Displacements (one per corner, in the plane of normal) that move the loop's edges by |q|:
    // outwards for q > 0 and inwards for q < 0 on a loop counter-clockwise about normal. False,
    // with every displacement zero, for fewer than 3 corners, an area or |q| not above 1e-5, or
    // a zero normal.
    bool inset(const T3dFltPoint* corners, uint32_t n, const T4dFltVector& normal, float q,
               std::vector<T3dFltPoint>& displacement);

private:
    struct Tv2 {
        double x = 0, y = 0;
    };
    // Per corner i: the edge to the next corner (direction, length, whether it is long enough
    // to have a direction), the corner's velocity and its displacement so far; fXY the corners.
    std::vector<Tv2> fDir, fVelocity, fMoved;
    std::vector<double> fLength, fXY;
    std::vector<uint8_t> fValid;
};
