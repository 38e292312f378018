#pragma once

#include <cstddef>
#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/spatial/IsectTriangles.h"

// A uniform grid of nx x ny x nz voxels over a box, each voxel listing the triangles (indices into
// a TpolyVoxelTriangleArray) whose grown boxes reach it. The lists are one flat array with a start
// per voxel; within a voxel the indices increase. An axis of no extent has one voxel.
class BRINDLE_API TpolyVoxelGrid {
public:
    // Reorders the triangles by the voxel of their box's lower corner, so that the triangles a
    // voxel lists lie together in memory and a walk reads them in order.
    TpolyVoxelGrid(TpolyVoxelTriangleArray& triangles, const T3dFltPoint& min, const T3dFltPoint& max,
                   const int sizes[3]);

    int size(int axis) const { return fN[axis]; }
    uint32_t getNumVoxels() const { return uint32_t(fN[0]) * uint32_t(fN[1]) * uint32_t(fN[2]); }
    uint32_t voxelIndex(int i, int j, int k) const {
        return (uint32_t(k) * uint32_t(fN[1]) + uint32_t(j)) * uint32_t(fN[0]) + uint32_t(i);
    }
    // Voxel of a coordinate along an axis, clamped into the grid.
    int cellOf(int axis, double x) const;
    // The voxels a box touches, clamped into the grid (inclusive ranges).
    void getVoxelRange(const float lo[3], const float hi[3], int from[3], int to[3]) const;
    // The triangle indices listed in a voxel.
    const uint32_t* getVoxelContents(uint32_t voxel, uint32_t& count) const {
        count = fStart[voxel + 1] - fStart[voxel];
        return fEntries.data() + fStart[voxel];
    }
    // Lower boundary of voxel i along an axis (i may be the voxel count: the upper end).
    double boundary(int axis, int i) const { return fMin[axis] + double(i) * fCell[axis]; }
    // The box the walk clips rays against: the grid's box grown by the largest triangle growth,
    // so that a hit just outside the vertex box is still met in an edge voxel.
    const double* walkLow() const { return fWalkLo; }
    const double* walkHigh() const { return fWalkHi; }
    virtual size_t getMemoryFootprint() const { return fStart.bytesAllocated() + fEntries.bytesAllocated(); }
    virtual ~TpolyVoxelGrid() = default;

private:
    double fMin[3], fCell[3], fWalkLo[3], fWalkHi[3];
    int fN[3];
    TuInt32Array fStart, fEntries;
};

// Digital differential walk of a ray through a grid: the voxels the ray crosses from parameter 0
// on, in order of increasing parameter, each with the parameters where the ray enters and leaves
// it. A ray that misses the grid's box is done at once.
class BRINDLE_API TpolyVoxelWalker {
public:
    TpolyVoxelWalker(const TpolyVoxelGrid& grid, const TisectRay& ray);

    bool isDone() const { return fDone; }
    void next();
    uint32_t voxel() const { return fGrid.voxelIndex(fCell[0], fCell[1], fCell[2]); }
    void gridLocation(int loc[3]) const {
        for (int a = 0; a < 3; ++a) loc[a] = fCell[a];
    }
    double curVoxelStartRayParam() const { return fStart; }
    double curVoxelEndRayParam() const { return fEnd; }

private:
    // Parameter at which the ray leaves the current voxel along an axis (infinite when it leaves
    // the grid there or does not move along it).
    double exitAlong(int axis) const;
    void settle();

    const TpolyVoxelGrid& fGrid;
    const TisectRay& fRay;
    int fCell[3] = {0, 0, 0}, fStep[3] = {0, 0, 0};
    double fNext[3] = {0, 0, 0};
    double fStart = 0, fEnd = 0, fExit = 0;
    bool fDone = false;
};
