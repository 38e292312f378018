#pragma once

#include <cstdint>
#include <limits>

#include "brindle/base/Export.h"
#include "brindle/framework/CircleTable.h"
#include "brindle/framework/PolyBuilder.h"

class TpolyGeom;
class TpolyMap;

// Range checks of the primitives' parameters (NaN fails them too).
inline float primitiveLength(float v, float fallback) {
    return v >= 1e-5f && v <= std::numeric_limits<float>::max() ? v : fallback;
}
inline uint32_t primitiveCount(uint32_t n, uint32_t lo, uint32_t hi, uint32_t fallback) {
    return n >= lo && n <= hi ? n : fallback;
}

// Assembles the surfaces of revolution (sphere, cone, torus, prism, plane) from rings of vertices.
// Faces are given by vertex ids and found or make their edges through a vertex builder working on
// the record, so bands that meet share their edges. Every face is wound so that its normal points
// out of the solid: a band from ring a to ring b faces out when b lies above a, or further out than
// a on a bottom cap, or further in on a top cap (the circle table runs clockwise seen from +y).
// UV ids go to set uvSet when given (one per corner), else every corner is unmapped.
class BRINDLE_API TringMesh {
public:
    static constexpr uint32_t kNoSet = 0xFFFFFFFFu;

    TringMesh(TpolyGeom& geom, uint32_t ringSize, uint32_t uvSet);

    // Appends a ring of radius rho at height y and answers the id of its first vertex.
    uint32_t addRing(const TcircleTable& table, float rho, float y);
    uint32_t addVertex(float x, float y, float z);

    // The ringSize quads between two rings (first vertex ids a and b); uvBase, when not -1, is the
    // UV point of ring a's column 0 in a grid of ringSize + 1 columns, ring b's row uvStride further.
    void band(uint32_t a, uint32_t b, int32_t uvBase, int32_t uvStride);
    // Triangles from ring a to the point c: above (up) or below the ring. uvBase as for band; uvPole
    // the UV of c, or, with polePerTriangle, the first of ringSize UVs, one per triangle.
    void fan(uint32_t a, uint32_t c, bool up, int32_t uvBase, int32_t uvPole, bool polePerTriangle);
    // One polygon through the ring, facing up or down; uvFirst the UV of the ring's column 0.
    void polygon(uint32_t a, bool up, int32_t uvFirst);

    // Sets the hard flag of the ring's own edges, or of the edges from ring a to ring b.
    void hardenRing(uint32_t a);
    void hardenBand(uint32_t a, uint32_t b);
    void hardenFan(uint32_t a, uint32_t c);

    uint32_t ringSize() const { return fN; }

    // UV layouts shared by the shapes: rows of n + 1 points (u = i / n, row k at v = (k + 1) /
    // (rows + 1), so the last column repeats the first at u = 1), and the unit disc of the table's
    // ring; each answers the index of its first point.
    static int32_t appendRowGrid(TpolyMap& map, uint32_t rows, uint32_t n);
    static int32_t appendDisc(TpolyMap& map, const TcircleTable& table);

    // Without a UV set of the shape's own, the builder's default set (made for the unmapped
    // corners) is taken away again, so the shape has no UV set at all.
    void finish();

private:
    void face(uint32_t count, const int32_t* vertices, const int32_t* uvs);
    void harden(uint32_t from, uint32_t to);

    TpolyGeom& fGeom;
    TpolyVertexBuilder fBuilder;
    uint32_t fN;
    uint32_t fSet;
    Tint32Array fCorners{64};
};
