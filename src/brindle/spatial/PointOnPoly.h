#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"

class TpolyGeom;
class TpolySpatialSubdivision;
class TpointOnPoly;
using TpointOnPolyArray = Tarray<TpointOnPoly>;

// A location on a record's surface: a face, a triangle of the face's triangulation, a ray
// parameter (or a distance) and the weights of the triangle's first two corners (the third takes
// the rest). The queries fill it and answer 0, or -1 (leaving it as it was) when nothing is found.
// The forms taking a record loop over its triangles (brought up to date first); the forms taking
// an accelerator walk it and answer the same hits. Hits are the nearest ones, the lowest face and
// triangle at equal parameters; see TpolySpatialSubdivision for the filter and direction rules.
class BRINDLE_API TpointOnPoly {
public:
    TpointOnPoly() = default;
    TpointOnPoly(uint32_t face, uint32_t triangle, float t, float b0, float b1) { set(face, triangle, t, b0, b1); }

    void set(uint32_t face, uint32_t triangle, float t, float b0, float b1) {
        fFace = face, fTriangle = triangle, fT = t, fB[0] = b0, fB[1] = b1;
    }
    uint32_t face() const { return fFace; }
    uint32_t triangle() const { return fTriangle; }
    float rayParam() const { return fT; }
    float bariCoord(int i) const { return fB[i & 1]; }
    void reverseRayParam() { fT = -fT; }
    bool operator==(const TpointOnPoly&) const = default;

    // --- Ray queries ----------------------------------------------------------------------------
    int closestIntersection(TpolyGeom& geom, const T3dFltPoint& origin, const T4dFltVector& dir, float maxParam,
                            bool bothSides, float tolerance);
    // Restricted to the listed faces / to the listed (face, triangle) pairs.
    int closestIntersection(TpolyGeom& geom, const T3dFltPoint& origin, const T4dFltVector& dir,
                            const Tint32Array& faces, float maxParam, bool bothSides, float tolerance);
    int closestIntersection(TpolyGeom& geom, const T3dFltPoint& origin, const T4dFltVector& dir,
                            const Tint32Array& faces, const Tint32Array& triangles, float maxParam, bool bothSides,
                            float tolerance);
    int closestIntersection(const TpolySpatialSubdivision& accel, const T3dFltPoint& origin, const T4dFltVector& dir,
                            float maxParam, bool bothSides, float tolerance);
    // Tries face first; a hit there bounds the search of the whole record.
    int closestIntersectionWithHint(TpolyGeom& geom, const T3dFltPoint& origin, const T4dFltVector& dir, uint32_t face,
                                    float maxParam, bool bothSides, float tolerance);
    // Some hit: the first one met.
    int anyIntersection(TpolyGeom& geom, const T3dFltPoint& origin, const T4dFltVector& dir, float maxParam,
                        bool bothSides, float tolerance);
    int anyIntersection(TpolyGeom& geom, const T3dFltPoint& origin, const T4dFltVector& dir, const Tint32Array& faces,
                        float maxParam, bool bothSides, float tolerance);
    int anyIntersection(const TpolySpatialSubdivision& accel, const T3dFltPoint& origin, const T4dFltVector& dir,
                        float maxParam, bool bothSides, float tolerance);
    // Every face hit, by increasing parameter (hits behind the origin, with bothSides, negative),
    // once per point where the ray meets it; answers 0 when there is at least one.
    static int allIntersections(TpolyGeom& geom, const T3dFltPoint& origin, const T4dFltVector& dir,
                                TpointOnPolyArray& hits, float maxParam, bool bothSides, float tolerance);
    static int allIntersections(const TpolySpatialSubdivision& accel, const T3dFltPoint& origin,
                                const T4dFltVector& dir, TpointOnPolyArray& hits, float maxParam, bool bothSides,
                                float tolerance);

    // --- Nearest surface point (its distance as the parameter) ----------------------------------
    int closestPoint(TpolyGeom& geom, const T3dFltPoint& p);
    int closestPoint(const TpolySpatialSubdivision& accel, const T3dFltPoint& p);

    // --- Evaluation: false for a face or triangle that the record does not have -----------------
    bool point(const TpolyGeom& geom, T3dFltPoint& out) const;
    // Shading normal: the corners' normals weighted by the barycentric coordinates, unit length.
    bool normal(TpolyGeom& geom, T4dFltVector& out) const;
    // The face's unit normal / the triangle's, turned to the side of its face.
    bool faceNormal(TpolyGeom& geom, T4dFltVector& out) const;
    bool triangleNormal(const TpolyGeom& geom, T4dFltVector& out) const;
    // The record's cached angle-weighted vertex normals (cached first when missing), weighted.
    bool getCachedSurfaceNormal(TpolyGeom& geom, T4dFltVector& out) const;
    // The UV of UV set `set` there; false when a corner of the triangle is unmapped.
    bool uv(const TpolyGeom& geom, uint32_t set, T2FloatPair& out) const;
    // Description offsets of the triangle's three corners.
    bool cornerOffsets(const TpolyGeom& geom, uint32_t offsets[3]) const;

    // --- Walking in UV and on the screen --------------------------------------------------------
    // The location whose UV in set `set` is uv, its parameter 0: the triangle whose UV triangle
    // holds uv (weights at least -tolerance) most deeply, the lowest face and triangle at equal
    // depth; triangles with an unmapped corner or no UV area hold nothing. 0, or -1 unchanged.
    int findUvLocation(TpolyGeom& geom, const T2FloatPair& uv, uint32_t set, float tolerance = 0);
    int findUvLocationInFace(TpolyGeom& geom, uint32_t face, const T2FloatPair& uv, uint32_t set, float tolerance = 0);
    // Moves the location by delta in UV: to the place of its own UV shell (the faces joined to its
    // face through shared UV ids) whose UV is the present one plus delta, so that a walk over one
    // half of mirrored UVs never jumps to the other. -1, unchanged, when the location has no UV or
    // the target lies outside the shell.
    int moveUvBy(TpolyGeom& geom, uint32_t set, const T2FloatPair& delta, float tolerance = 0);
    // Moves the location by (dx, dy) on the screen that worldToScreen (row vectors, divided
    // through by w) maps the record onto: to the surface point seen at the moved screen position
    // nearest in depth to the present one, in front of it or behind, so that a drag stays on the
    // sheet it is on. The record's auto-sized grid answers the ray. -1, unchanged, when the matrix
    // cannot be inverted or nothing is there.
    int moveScreenBy(TpolyGeom& geom, const T4dFltMatrix& worldToScreen, float dx, float dy);

    // --- Helpers --------------------------------------------------------------------------------
    // Faces increasing; (face, triangle) pairs of parallel lists increasing by face then triangle.
    static void sortFaces(Tint32Array& faces);
    static void sortFaceTriangles(Tint32Array& faces, Tint32Array& triangles);
    // By increasing parameter, then face, then triangle.
    static void sortIntersectionsAscending(TpointOnPolyArray& hits);
    // In a sorted list, drops the hits on a face already hit at the same parameter (within
    // tolerance, and at least a millionth): a ray through the edge between two triangles of a
    // face meets the face once.
    static void dropRepeatedFaceHits(TpointOnPolyArray& hits, float tolerance);
    // Triangle tests made by all queries since the last clear.
    static uint64_t intersectCounter();
    static void clearIntersectCounter();

private:
    uint32_t fFace = 0xFFFFFFFFu;
    uint32_t fTriangle = 0xFFFFFFFFu;
    float fT = 0;
    float fB[2] = {0, 0};
};
