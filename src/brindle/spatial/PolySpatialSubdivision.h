#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/String.h"
#include "brindle/spatial/IsectTriangles.h"
#include "brindle/spatial/PointOnPoly.h"

class TpolyGeom;
class TpolyVoxelGrid;
class TpolyBvh;

// How an intersection accelerator is built: a uniform grid of nx x ny x nz voxels (kind 0), a
// uniform grid sized from the triangles (kind 1, sizes -1), or a bounding-volume hierarchy by the
// surface-area heuristic (kind 2, nx the largest leaf, ny and nz -1). Both kinds answer the same
// hits; the grid suits evenly spread triangles, the hierarchy any record.
struct BRINDLE_API TmeshIsectAccelParams {
    enum Tkind : int32_t { kUniformGrid = 0, kAutoUniformGrid = 1, kBoundingVolumeHierarchy = 2 };

    int32_t kind = kUniformGrid;
    int32_t nx = 10, ny = 10, nz = 10;

    static TmeshIsectAccelParams uniformGridParams(int32_t nx, int32_t ny, int32_t nz) {
        return {kUniformGrid, nx, ny, nz};
    }
    static TmeshIsectAccelParams autoUniformGridParams() { return {kAutoUniformGrid, -1, -1, -1}; }
    static TmeshIsectAccelParams boundingVolumeHierarchyParams(int32_t leafSize = 4) {
        return {kBoundingVolumeHierarchy, leafSize, -1, -1};
    }
    bool operator==(const TmeshIsectAccelParams&) const = default;
};

// An intersection accelerator over one record's triangles, as they were when it was built: it
// keeps its own copy of the corner positions, so its queries read nothing of the record and it
// goes stale (not wrong in memory) when the record changes; TpolyGeom::getIntersectionAccelerator
// keeps one per record and rebuilds it then. Every query answers 0 with a hit or -1, the same hit
// for either kind and for a loop over the record's triangles: the nearest one, the lowest face and
// triangle at equal parameters. Rays with a non-finite origin or a zero or non-finite direction
// hit nothing. Process-wide statistics count accelerators, memory and build time.
class BRINDLE_API TpolySpatialSubdivision {
public:
    TpolySpatialSubdivision(TpolyGeom& geom, const TmeshIsectAccelParams& params);
    TpolySpatialSubdivision(const TpolySpatialSubdivision&) = delete;
    TpolySpatialSubdivision& operator=(const TpolySpatialSubdivision&) = delete;
    ~TpolySpatialSubdivision();

    const TmeshIsectAccelParams& params() const { return fParams; }
    // True while a grid or hierarchy exists and was built with exactly these parameters.
    bool matchesParams(const TmeshIsectAccelParams& params) const;
    // Drops the grid or hierarchy (and the triangles); queries then find nothing.
    void deleteVoxelGrid();

    // Nearest hit from origin along dir (and, with bothDirections, against it, reported with a
    // negative parameter; the forward hit wins at equal distance) within |maxParam|. Triangles
    // pass the filter when faces is null; an empty list lets none pass; otherwise the pair must be
    // listed (with the same index in the parallel triangle list, when given), searched by halves
    // when sorted by face then triangle. tolerance widens the barycentric test.
    int closestIntersection(const T3dFltPoint& origin, const T4dFltVector& dir, const Tint32Array* faces,
                            const Tint32Array* triangles, bool sorted, float maxParam, bool bothDirections,
                            TpointOnPoly& hit, float tolerance) const;
    // Some hit, the first one met.
    int anyIntersection(const T3dFltPoint& origin, const T4dFltVector& dir, const Tint32Array* faces,
                        const Tint32Array* triangles, bool sorted, float maxParam, bool bothDirections,
                        TpointOnPoly& hit, float tolerance) const;
    // Every face hit, once per point where the ray meets it, by increasing parameter (reverse
    // hits first, negative).
    int allIntersections(const T3dFltPoint& origin, const T4dFltVector& dir, const Tint32Array* faces,
                         const Tint32Array* triangles, bool sorted, float maxParam, bool bothDirections,
                         TpointOnPolyArray& hits, float tolerance) const;
    // Nearest surface point to p (its distance as the hit's parameter); the lowest face and
    // triangle at equal distances.
    int closestPoint(const T3dFltPoint& p, TpointOnPoly& hit) const;

    // "10x10x10 Uniform Grid", with withStats followed by the build time and memory footprint.
    Tstring getDescription(bool withStats) const;
    float getMemoryFootprint() const { return fMemoryKB; }
    float getBuildTime() const { return fBuildTime; }
    // Voxel counts of a grid (0 for a hierarchy).
    int gridSize(int axis) const;
    const TpolyVoxelGrid* voxelGrid() const { return fGrid.get(); }
    const TpolyBvh* hierarchy() const { return fBvh.get(); }
    const TpolyVoxelTriangleArray& triangles() const { return fTriangles; }

    static Tstring systemStats();
    // Accelerators created since the last reset, and alive now.
    static int createdCount();
    static int aliveCount();
    // Zeroes the created count, the total build time and the peak memory; what is alive stays.
    static void resetSystemStats();

    // The voxel counts that kind 1 picks for a record (whose triangles are up to date): per axis
    // the object extent over the mean triangle extent times 12^0.33, rounded up into 1..100.
    static void autoGridSize(const TpolyGeom& geom, const T3dFltPoint& min, const T3dFltPoint& max, int sizes[3]);

private:
    // Nearest hit along one direction, or the first one when anyHit; bound is inclusive.
    void closestAlong(const TisectRay& ray, double bound, const TisectFilter& filter, double tolerance, bool anyHit,
                      TisectBest& best) const;
    void allAlong(const TisectRay& ray, double bound, const TisectFilter& filter, double tolerance, bool reversed,
                  TpointOnPolyArray& hits) const;
    int nearest(const T3dFltPoint& origin, const T4dFltVector& dir, const Tint32Array* faces,
                const Tint32Array* triangles, bool sorted, float maxParam, bool bothDirections, TpointOnPoly& hit,
                float tolerance, bool anyHit) const;
    void setStatsMemory(float kb);

    TmeshIsectAccelParams fParams;
    TpolyVoxelTriangleArray fTriangles;
    std::unique_ptr<TpolyVoxelGrid> fGrid;
    std::unique_ptr<TpolyBvh> fBvh;
    float fMemoryKB = 0;
    float fBuildTime = 0;
};
