#include "brindle/spatial/PolyVoxelGrid.h"

#include <algorithm>
#include <cmath>
#include <limits>

TpolyVoxelGrid::TpolyVoxelGrid(TpolyVoxelTriangleArray& triangles, const T3dFltPoint& min, const T3dFltPoint& max,
                               const int sizes[3]) {
    double grow = 0;
    for (uint32_t i = 0; i < triangles.size(); ++i) {
        float lo[3], hi[3];
        triangles.box(i, lo, hi);
        for (int a = 0; a < 3; ++a) grow = std::max({grow, double(min[a]) - lo[a], double(hi[a]) - max[a]});
    }
    for (int a = 0; a < 3; ++a) {
        const double extent = double(max[a]) - min[a];
        fN[a] = extent > 0 ? std::max(sizes[a], 1) : 1;
        fMin[a] = min[a];
        fCell[a] = extent > 0 ? extent / fN[a] : 0;
        fWalkLo[a] = double(min[a]) - grow;
        fWalkHi[a] = double(max[a]) + grow;
    }
    const uint32_t nVoxel = getNumVoxels();
    fStart.create(nVoxel + 1);
    {
        // Counting sort of the triangles by their first voxel, stable within a voxel.
        TuInt32Array first, order;
        first.changeLogicalSizeTo(triangles.size());
        for (uint32_t i = 0; i < triangles.size(); ++i) {
            float lo[3], hi[3];
            triangles.box(i, lo, hi);
            first[i] = voxelIndex(cellOf(0, lo[0]), cellOf(1, lo[1]), cellOf(2, lo[2]));
            ++fStart[first[i] + 1];
        }
        for (uint32_t v = 0; v < nVoxel; ++v) fStart[v + 1] += fStart[v];
        order.changeLogicalSizeTo(triangles.size());
        for (uint32_t i = 0; i < triangles.size(); ++i) order[fStart[first[i]]++] = i;
        triangles.permute(order);
        fStart.create(nVoxel + 1);
    }
    // Two passes over the triangles: count per voxel, then fill, so the lists are one array.
    auto forEachVoxel = [&](uint32_t i, auto&& fn) {
        float lo[3], hi[3];
        triangles.box(i, lo, hi);
        int from[3], to[3];
        getVoxelRange(lo, hi, from, to);
        for (int k = from[2]; k <= to[2]; ++k)
            for (int j = from[1]; j <= to[1]; ++j)
                for (int v = from[0]; v <= to[0]; ++v) fn(voxelIndex(v, j, k));
    };
    for (uint32_t i = 0; i < triangles.size(); ++i) forEachVoxel(i, [&](uint32_t v) { ++fStart[v + 1]; });
    for (uint32_t v = 0; v < nVoxel; ++v) fStart[v + 1] += fStart[v];
    fEntries.changeLogicalSizeTo(fStart[nVoxel]);
    TuInt32Array fill;
    fill.copy(fStart);
    for (uint32_t i = 0; i < triangles.size(); ++i) forEachVoxel(i, [&](uint32_t v) { fEntries[fill[v]++] = i; });
}

int TpolyVoxelGrid::cellOf(int axis, double x) const {
    if (fN[axis] == 1) return 0;
    const double c = std::floor((x - fMin[axis]) / fCell[axis]);
    if (!(c > 0)) return 0;
    return c >= fN[axis] - 1 ? fN[axis] - 1 : int(c);
}

void TpolyVoxelGrid::getVoxelRange(const float lo[3], const float hi[3], int from[3], int to[3]) const {
    for (int a = 0; a < 3; ++a) {
        from[a] = cellOf(a, lo[a]);
        to[a] = cellOf(a, hi[a]);
    }
}

TpolyVoxelWalker::TpolyVoxelWalker(const TpolyVoxelGrid& grid, const TisectRay& ray) : fGrid(grid), fRay(ray) {
    // Clip the ray against the walk box, from parameter 0 on.
    double enter = 0, exit = std::numeric_limits<double>::infinity();
    for (int a = 0; a < 3; ++a) {
        const double lo = grid.walkLow()[a], hi = grid.walkHigh()[a];
        if (ray.d[a] == 0) {
            if (ray.o[a] < lo || ray.o[a] > hi) fDone = true;
            continue;
        }
        double t0 = (lo - ray.o[a]) / ray.d[a], t1 = (hi - ray.o[a]) / ray.d[a];
        if (t0 > t1) std::swap(t0, t1);
        enter = std::max(enter, t0);
        exit = std::min(exit, t1);
    }
    if (fDone || !(enter <= exit)) {
        fDone = true;
        return;
    }
    fExit = exit;
    fStart = enter;
    for (int a = 0; a < 3; ++a) {
        fCell[a] = grid.cellOf(a, ray.o[a] + enter * ray.d[a]);
        fStep[a] = ray.d[a] > 0 ? 1 : ray.d[a] < 0 ? -1 : 0;
        fNext[a] = exitAlong(a);
    }
    settle();
}

double TpolyVoxelWalker::exitAlong(int a) const {
    const int last = fStep[a] > 0 ? fGrid.size(a) - 1 : 0;
    if (fStep[a] == 0 || fCell[a] == last) return std::numeric_limits<double>::infinity();
    // The plane is computed from the voxel number each time, so that no error accumulates.
    const double plane = fGrid.boundary(a, fStep[a] > 0 ? fCell[a] + 1 : fCell[a]);
    return (plane - fRay.o[a]) / fRay.d[a];
}

void TpolyVoxelWalker::settle() { fEnd = std::min({fNext[0], fNext[1], fNext[2], fExit}); }

void TpolyVoxelWalker::next() {
    int a = 0;
    if (fNext[1] < fNext[a]) a = 1;
    if (fNext[2] < fNext[a]) a = 2;
    if (!(fNext[a] < fExit)) {
        fDone = true;
        return;
    }
    fStart = std::max(fStart, fNext[a]);
    fCell[a] += fStep[a];
    fNext[a] = exitAlong(a);
    settle();
}
