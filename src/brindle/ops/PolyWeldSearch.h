#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/UnionFind.h"

// Finds the groups a weld makes. Two candidate points join when they are strictly closer than
// the threshold, measured as the point octree measures (the float sum of the squared coordinate
// differences below the float square of the threshold), and joins are transitive; when the box of
// all points has a diagonal below the threshold every candidate joins the others without a test.
// The answer names, for every point, the smallest id of its group (a point that is no candidate
// is its own root). Every strategy answers the same groups; they differ only in cost:
//   - pairs: every pair of candidates tested, for a few candidates under a threshold larger
//     than half the object;
//   - octree: candidates added one at a time to the point octree, each looking up the earlier
//     ones within the threshold;
//   - cells: points at exactly one position collapse first (a hash of their coordinates), then
//     the distinct positions are sorted into cubic cells of about half the threshold and swept
//     row by row, so that each cell meets only the cells within reach.
// Working arrays are kept between runs.
class BRINDLE_API TpolyWeldSearch {
public:
    enum class Strategy : uint8_t { automatic, pairs, octree, cells };

    Strategy strategy() const { return fStrategy; }
    void setStrategy(Strategy s) { fStrategy = s; }

    // roots gets one entry per point; candidates are ids below nbPoints.
    void run(const T3dFltPoint* points, uint32_t nbPoints, const TuInt32Array& candidates, float threshold,
             TuInt32Array& roots);

private:
    // One distinct position in the cell sweep: its cell (z and y packed, then x) and its id.
    struct Placed {
        uint64_t zy;
        uint32_t x;
        uint32_t id;
    };

    bool close(uint32_t a, uint32_t b) const;
    void byPairs(const TuInt32Array& candidates);
    void byOctree(const T3dFltPoint& lo, const T3dFltPoint& hi, const uint32_t* ids, uint32_t n);
    // Joins exact duplicates and leaves one candidate per distinct position in fDistinct.
    void collapseExact(const TuInt32Array& candidates);
    // False, with nothing joined, when the cells of the distinct positions cannot be numbered.
    bool bySweep();

    Strategy fStrategy = Strategy::automatic;
    const T3dFltPoint* fPoints = nullptr;
    float fThreshold = 0, fThreshold2 = 0;
    TunionFind fGroups;  // the smaller root stays, so a group is named by its smallest id
    TuInt32Array fSlots{256};
    TuInt32Array fDistinct{256};
    Tarray<Placed> fPlaced{256};
};
