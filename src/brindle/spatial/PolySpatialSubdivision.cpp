#include "brindle/spatial/PolySpatialSubdivision.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "brindle/geom/PolyGeom.h"
#include "brindle/spatial/PolyBvh.h"
#include "brindle/spatial/PolyVoxelGrid.h"

namespace {

// Process-wide accelerator statistics.
struct Stats {
    int created = 0, alive = 0;
    double currentKB = 0, peakKB = 0, buildTime = 0;
};
Stats sStats;

}  // namespace

void TpolySpatialSubdivision::autoGridSize(const TpolyGeom& geom, const T3dFltPoint& min, const T3dFltPoint& max,
                                           int sizes[3]) {
    const float s = std::pow(12.0f, 0.33000001311302185f);
    double sum[3] = {0, 0, 0};
    uint32_t count = 0;
    for (uint32_t f = 0; f < geom.nbFace(); ++f) {
        uint32_t first = 0;
        const uint32_t n = geom.trgFaceOrder(f, &first);
        for (uint32_t i = 0; i < n; ++i, ++count) {
            float lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
            for (uint32_t k = 0; k < 3; ++k) {
                const T3dFltPoint& p = geom.vertexConst(geom.cornerVertexOfTriangle(f, first + i, k));
                for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], p[a]), hi[a] = std::max(hi[a], p[a]);
            }
            for (int a = 0; a < 3; ++a) sum[a] += hi[a] - lo[a];
        }
    }
    for (int a = 0; a < 3; ++a) {
        const double extent = max[a] > min[a] ? double(max[a]) - min[a] : 0.0;
        const double n = extent / ((sum[a] / count) * s);
        sizes[a] = !(n >= 1) ? 1 : n > 100 ? 100 : int(std::ceil(n));
    }
}

TpolySpatialSubdivision::TpolySpatialSubdivision(TpolyGeom& geom, const TmeshIsectAccelParams& params)
    : fParams(params) {
    const auto start = std::chrono::steady_clock::now();
    geom.update(dirtyFaceOffsets | dirtyTriangles);
    fTriangles.build(geom);
    if (fParams.kind == TmeshIsectAccelParams::kBoundingVolumeHierarchy) {
        fBvh = std::make_unique<TpolyBvh>(fTriangles, fParams.nx);
    } else {
        T3dFltPoint min(1e8f, 1e8f, 1e8f), max(-1e8f, -1e8f, -1e8f);
        for (const T3dFltPoint& p : geom.vertexArray())
            for (int a = 0; a < 3; ++a) min[a] = std::min(min[a], p[a]), max[a] = std::max(max[a], p[a]);
        // Sizes given by the caller are kept within 1..256 per axis, so that a wrong size cannot
        // ask for billions of voxels.
        int sizes[3] = {std::clamp(fParams.nx, 1, 256), std::clamp(fParams.ny, 1, 256), std::clamp(fParams.nz, 1, 256)};
        if (fParams.kind == TmeshIsectAccelParams::kAutoUniformGrid) autoGridSize(geom, min, max, sizes);
        fGrid = std::make_unique<TpolyVoxelGrid>(fTriangles, min, max, sizes);
    }
    const size_t bytes = fTriangles.bytesAllocated() + (fGrid ? fGrid->getMemoryFootprint() : 0) +
                         (fBvh ? fBvh->getMemoryFootprint() : 0);
    fMemoryKB = float(double(bytes) / 1024.0);
    fBuildTime = std::chrono::duration<float>(std::chrono::steady_clock::now() - start).count();
    sStats.currentKB += fMemoryKB;
    sStats.peakKB = std::max(sStats.peakKB, sStats.currentKB);
    sStats.buildTime += fBuildTime;
    ++sStats.created;
    ++sStats.alive;
}

TpolySpatialSubdivision::~TpolySpatialSubdivision() {
    --sStats.alive;
    sStats.currentKB -= fMemoryKB;
}

void TpolySpatialSubdivision::deleteVoxelGrid() {
    fGrid.reset();
    fBvh.reset();
    fTriangles = TpolyVoxelTriangleArray();
    sStats.currentKB -= fMemoryKB;
    fMemoryKB = 0;
}

bool TpolySpatialSubdivision::matchesParams(const TmeshIsectAccelParams& params) const {
    return (fGrid || fBvh) && params == fParams;
}

int TpolySpatialSubdivision::gridSize(int axis) const { return fGrid ? fGrid->size(axis) : 0; }

// --- Ray queries ----------------------------------------------------------------------------------

void TpolySpatialSubdivision::closestAlong(const TisectRay& ray, double bound, const TisectFilter& filter,
                                           double tolerance, bool anyHit, TisectBest& best) const {
    if (filter.passesNone()) return;
    // Tests triangle i against hits up to limit; true when the search may stop.
    auto test = [&](uint32_t i, double limit) {
        if (!filter.passesAll() && !filter.pass(fTriangles.face(i), fTriangles.triangle(i))) return false;
        TisectTriangleHit h;
        if (intersectTriangle(fTriangles.corners(i), ray, tolerance, limit, h)) best.offer(h, fTriangles.key(i));
        return anyHit && best.found;
    };
    uint64_t tested = 0;
    if (fGrid) {
        // Voxels nearest first; the first voxel holding a hit inside itself holds the nearest, since
        // a nearer hit point would lie in an earlier voxel, where its triangle is filed too.
        for (TpolyVoxelWalker w(*fGrid, ray); !w.isDone() && w.curVoxelStartRayParam() <= bound; w.next()) {
            uint32_t count = 0;
            const uint32_t* entries = fGrid->getVoxelContents(w.voxel(), count);
            const double limit = std::min(w.curVoxelEndRayParam(), bound);
            bool stop = false;
            for (uint32_t k = 0; k < count && !stop; ++k, ++tested) stop = test(entries[k], limit);
            if (best.found) break;
        }
    } else if (fBvh) {
        tested = fBvh->castRay(ray, tolerance, bound, [&](uint32_t i, double b) {
            if (test(i, b)) return -1.0;
            return best.found ? best.t : b;
        });
    }
    addIntersectTests(tested);
}

int TpolySpatialSubdivision::nearest(const T3dFltPoint& origin, const T4dFltVector& dir, const Tint32Array* faces,
                                     const Tint32Array* triangles, bool sorted, float maxParam, bool bothDirections,
                                     TpointOnPoly& hit, float tolerance, bool anyHit) const {
    const TisectFilter filter(faces, triangles, sorted);
    auto along = [&](const TisectRay& ray, double bound, TisectBest& best) {
        closestAlong(ray, bound, filter, tolerance, anyHit, best);
    };
    TisectBest best;
    bool reversed = false;
    if (!searchBothWays(origin, dir, maxParam, bothDirections, anyHit, along, best, reversed)) return -1;
    hit.set(uint32_t(best.key >> 32), uint32_t(best.key), float(reversed ? -best.t : best.t), float(best.b0),
            float(best.b1));
    return 0;
}

int TpolySpatialSubdivision::closestIntersection(const T3dFltPoint& origin, const T4dFltVector& dir,
                                                 const Tint32Array* faces, const Tint32Array* triangles, bool sorted,
                                                 float maxParam, bool bothDirections, TpointOnPoly& hit,
                                                 float tolerance) const {
    return nearest(origin, dir, faces, triangles, sorted, maxParam, bothDirections, hit, tolerance, false);
}

int TpolySpatialSubdivision::anyIntersection(const T3dFltPoint& origin, const T4dFltVector& dir,
                                             const Tint32Array* faces, const Tint32Array* triangles, bool sorted,
                                             float maxParam, bool bothDirections, TpointOnPoly& hit,
                                             float tolerance) const {
    return nearest(origin, dir, faces, triangles, sorted, maxParam, bothDirections, hit, tolerance, true);
}

void TpolySpatialSubdivision::allAlong(const TisectRay& ray, double bound, const TisectFilter& filter, double tolerance,
                                       bool reversed, TpointOnPolyArray& hits) const {
    if (filter.passesNone()) return;
    auto test = [&](uint32_t i) {
        if (!filter.passesAll() && !filter.pass(fTriangles.face(i), fTriangles.triangle(i))) return;
        TisectTriangleHit h;
        // A hit at the origin itself belongs to the forward search only.
        if (intersectTriangle(fTriangles.corners(i), ray, tolerance, bound, h) && (!reversed || h.t > 0))
            hits.addLast(TpointOnPoly(fTriangles.face(i), fTriangles.triangle(i), float(reversed ? -h.t : h.t),
                                      float(h.b0), float(h.b1)));
    };
    uint64_t tested = 0;
    if (fGrid) {
        for (TpolyVoxelWalker w(*fGrid, ray); !w.isDone() && w.curVoxelStartRayParam() <= bound; w.next()) {
            uint32_t count = 0;
            const uint32_t* entries = fGrid->getVoxelContents(w.voxel(), count);
            for (uint32_t k = 0; k < count; ++k, ++tested) test(entries[k]);
        }
    } else if (fBvh) {
        tested = fBvh->castRay(ray, tolerance, bound, [&](uint32_t i, double b) {
            test(i);
            return b;
        });
    }
    addIntersectTests(tested);
}

int TpolySpatialSubdivision::allIntersections(const T3dFltPoint& origin, const T4dFltVector& dir,
                                              const Tint32Array* faces, const Tint32Array* triangles, bool sorted,
                                              float maxParam, bool bothDirections, TpointOnPolyArray& hits,
                                              float tolerance) const {
    hits.clear();
    const TisectFilter filter(faces, triangles, sorted);
    const double bound = std::fabs(double(maxParam));
    for (int side = 0; side < (bothDirections ? 2 : 1); ++side) {
        const TisectRay ray(origin, dir, side == 1);
        if (!ray.usable() || std::isnan(bound)) break;
        allAlong(ray, bound, filter, tolerance, side == 1, hits);
    }
    // A triangle filed in several voxels is met once per voxel, each time with the same hit.
    TpointOnPoly::sortIntersectionsAscending(hits);
    hits.changeLogicalSizeTo(uint32_t(std::unique(hits.begin(), hits.end()) - hits.begin()));
    TpointOnPoly::dropRepeatedFaceHits(hits, tolerance);
    return hits.empty() ? -1 : 0;
}

// --- Nearest surface point ------------------------------------------------------------------------

int TpolySpatialSubdivision::closestPoint(const T3dFltPoint& p, TpointOnPoly& hit) const {
    const double q[3] = {p.x, p.y, p.z};
    if (!std::isfinite(q[0]) || !std::isfinite(q[1]) || !std::isfinite(q[2])) return -1;
    bool found = false;
    double best = std::numeric_limits<double>::infinity(), b0 = 0, b1 = 0;
    uint64_t bestKey = 0;
    auto test = [&](uint32_t i) {
        double d2, w0, w1;
        closestPointOnTriangle(fTriangles.corners(i), q, d2, w0, w1);
        const uint64_t key = fTriangles.key(i);
        if (!found || d2 < best || (d2 == best && key < bestKey))
            found = true, best = d2, b0 = w0, b1 = w1, bestKey = key;
    };
    if (fBvh) {
        fBvh->walkPoint(q, best, [&](uint32_t first, uint32_t count, double) {
            for (uint32_t i = first; i < first + count; ++i) test(i);
            return best;
        });
    } else if (fGrid) {
        // Shells of voxels around the point's voxel, one Chebyshev ring at a time, until the block
        // already searched reaches farther than the best distance on every side that has voxels
        // beyond it (a voxel outside the block lies beyond one of those sides).
        const TpolyVoxelGrid& g = *fGrid;
        int c[3], n[3];
        for (int a = 0; a < 3; ++a) c[a] = g.cellOf(a, q[a]), n[a] = g.size(a);
        const int rings = std::max({c[0], n[0] - 1 - c[0], c[1], n[1] - 1 - c[1], c[2], n[2] - 1 - c[2]});
        for (int r = 0; r <= rings; ++r) {
            int lo[3], hi[3];
            for (int a = 0; a < 3; ++a) lo[a] = std::max(c[a] - r, 0), hi[a] = std::min(c[a] + r, n[a] - 1);
            auto visit = [&](int i, int j, int k) {
                uint32_t count = 0;
                const uint32_t* entries = g.getVoxelContents(g.voxelIndex(i, j, k), count);
                for (uint32_t e = 0; e < count; ++e) test(entries[e]);
            };
            for (int k = lo[2]; k <= hi[2]; ++k)
                for (int j = lo[1]; j <= hi[1]; ++j) {
                    if (std::abs(k - c[2]) == r || std::abs(j - c[1]) == r) {
                        for (int i = lo[0]; i <= hi[0]; ++i) visit(i, j, k);
                        continue;
                    }
                    // Inside the ring's faces along y and z only the two end voxels along x are new.
                    if (c[0] - r >= 0) visit(c[0] - r, j, k);
                    if (c[0] + r <= n[0] - 1) visit(c[0] + r, j, k);
                }
            if (!found) continue;
            double reach = std::numeric_limits<double>::infinity();
            for (int a = 0; a < 3; ++a) {
                if (lo[a] > 0) reach = std::min(reach, q[a] - g.boundary(a, lo[a]));
                if (hi[a] < n[a] - 1) reach = std::min(reach, g.boundary(a, hi[a] + 1) - q[a]);
            }
            if (reach > 0 && reach * reach > best) break;
        }
    }
    if (!found) return -1;
    hit.set(uint32_t(bestKey >> 32), uint32_t(bestKey), float(std::sqrt(best)), float(b0), float(b1));
    return 0;
}

// --- Description and statistics -----------------------------------------------------------------

Tstring TpolySpatialSubdivision::getDescription(bool withStats) const {
    char text[256];
    if (fBvh || fParams.kind == TmeshIsectAccelParams::kBoundingVolumeHierarchy) {
        std::snprintf(text, sizeof(text), "Bounding Volume Hierarchy of %u nodes, %u leaves",
                      fBvh ? fBvh->nodeCount() : 0u, fBvh ? fBvh->leafCount() : 0u);
    } else {
        std::snprintf(text, sizeof(text),
                      fParams.kind == TmeshIsectAccelParams::kAutoUniformGrid ? "%dx%dx%d Auto-Configured Uniform Grid"
                                                                              : "%dx%dx%d Uniform Grid",
                      gridSize(0), gridSize(1), gridSize(2));
    }
    Tstring out(text);
    if (withStats) {
        std::snprintf(text, sizeof(text), ", (build time %.2fs), (memory footprint %.2fKB)", double(fBuildTime),
                      double(fMemoryKB));
        out += text;
    }
    return out;
}

Tstring TpolySpatialSubdivision::systemStats() {
    char text[320];
    std::snprintf(text, sizeof(text),
                  "total %d isect accelerators created (%d currently active - total current memory = %.2fKB), "
                  "total build time = %.2fs, peak memory = %.2fKB",
                  sStats.created, sStats.alive, sStats.currentKB, sStats.buildTime, sStats.peakKB);
    return Tstring(text);
}

int TpolySpatialSubdivision::createdCount() { return sStats.created; }
int TpolySpatialSubdivision::aliveCount() { return sStats.alive; }

void TpolySpatialSubdivision::resetSystemStats() {
    sStats.created = 0;
    sStats.buildTime = 0;
    sStats.peakKB = 0;
}
