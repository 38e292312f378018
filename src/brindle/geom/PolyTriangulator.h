#pragma once

#include "brindle/base/Export.h"

// Ear-clipping triangulation of one planar polygon with holes, given as 2D points.
//
// points holds totalCount (x, y) pairs, the outer loop (outerCount points, clockwise) first and
// the holes after it, then holeCount marker pairs whose x is the index of each hole's first
// point. With useNormals, cornerNormals holds one three-float normal per point and steers the
// ear priority towards ears whose neighbours' normals agree. triangles receives point-index
// triples (at most totalCount + 2 * holeCount - 2 of them).
//
// Keeps true: every bridged hole and every clipped ear removes exactly what it accounts for, so a
// polygon whose holes all lie inside the outer loop yields totalCount + 2 * holeCount - 2
// triangles; the answer is that count, 0 for an outer loop under three points, or -1 when no ear
// can be chosen (a self-intersecting outline).
class BRINDLE_API kvPolyTriangulate {
public:
    static int compute(bool useNormals, const float* cornerNormals, float* points, int outerCount,
                       unsigned int holeCount, unsigned int totalCount, unsigned short* triangles);
    // Faces of at least this many points find ears through a grid and a heap instead of scanning
    // the ring; the triangles are the same either way. Answers the previous count.
    static unsigned int setIndexedPoints(unsigned int points);
};
