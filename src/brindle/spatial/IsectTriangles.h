#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <utility>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"

class TpolyGeom;

// A ray in double precision. Queries are answered in double from the record's float positions, so
// that every path (a loop over the record, the grid, the hierarchy) computes bit-identical
// parameters for the same triangle.
struct TisectRay {
    double o[3] = {0, 0, 0};
    double d[3] = {0, 0, 0};

    TisectRay() = default;
    TisectRay(const T3dFltPoint& origin, const T4dFltVector& dir, bool reversed) {
        const double s = reversed ? -1.0 : 1.0;
        for (int a = 0; a < 3; ++a) o[a] = origin[a], d[a] = s * double(dir[a]);
    }
    // A finite origin and a finite direction that is not zero: anything else can hit nothing.
    bool usable() const {
        for (int a = 0; a < 3; ++a)
            if (!std::isfinite(o[a]) || !std::isfinite(d[a])) return false;
        return d[0] != 0 || d[1] != 0 || d[2] != 0;
    }
};

// Where a ray meets one triangle: the ray parameter and the weights of the triangle's first and
// second corners (the third takes 1 - b0 - b1).
struct TisectTriangleHit {
    double t = 0, b0 = 0, b1 = 0;
};

// The plane and barycentric test on corners c (c0, c1, c2 as nine floats). With p0 the third
// corner and n = (c0 - p0) x (c1 - p0): a ray parallel to the plane (|n.d| below 1e-10 and the unit
// vectors perpendicular within 1e-10) misses; otherwise t is where it meets the plane and the hit
// counts when t lies in [0, tmax], both weights are at least -tolerance and their sum at most
// 1 + tolerance. The range is checked before the weights are computed, which most candidates of
// a walk never need.
inline bool intersectTriangle(const float* c, const TisectRay& r, double tolerance, double tmax,
                              TisectTriangleHit& hit) {
    const double p0[3] = {c[6], c[7], c[8]};
    const double e1[3] = {c[0] - p0[0], c[1] - p0[1], c[2] - p0[2]};
    const double e2[3] = {c[3] - p0[0], c[4] - p0[1], c[5] - p0[2]};
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    const double nd = n[0] * r.d[0] + n[1] * r.d[1] + n[2] * r.d[2];
    if (std::fabs(nd) < 1e-10) {
        const double nn = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
        const double dd = r.d[0] * r.d[0] + r.d[1] * r.d[1] + r.d[2] * r.d[2];
        if (nd * nd <= 1e-20 * nn * dd) return false;
    }
    const double w[3] = {r.o[0] - p0[0], r.o[1] - p0[1], r.o[2] - p0[2]};
    const double num = -(n[0] * w[0] + n[1] * w[1] + n[2] * w[2]);
    // Most candidates of a walk lie behind the origin or well beyond tmax: they are turned away
    // without the division, by a test loose enough never to turn away one the exact test keeps.
    const double along = nd > 0 ? num : -num;
    if (along < 0 || along > tmax * std::fabs(nd) * (1 + 1e-9)) return false;
    const double t = num / nd;
    if (!(t >= 0 && t <= tmax)) return false;
    // Hit point relative to p0, then its weights through the cross products with the edges.
    const double q[3] = {w[0] + t * r.d[0], w[1] + t * r.d[1], w[2] + t * r.d[2]};
    const double nn = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    const double b0 = ((q[1] * e2[2] - q[2] * e2[1]) * n[0] + (q[2] * e2[0] - q[0] * e2[2]) * n[1] +
                       (q[0] * e2[1] - q[1] * e2[0]) * n[2]) /
                      nn;
    const double b1 = ((e1[1] * q[2] - e1[2] * q[1]) * n[0] + (e1[2] * q[0] - e1[0] * q[2]) * n[1] +
                       (e1[0] * q[1] - e1[1] * q[0]) * n[2]) /
                      nn;
    if (!(b0 >= -tolerance && b1 >= -tolerance && b0 + b1 <= 1.0 + tolerance)) return false;
    hit.t = t;
    hit.b0 = b0;
    hit.b1 = b1;
    return true;
}

// Closest point of triangle c to p: squared distance and the weights of the first two corners.
void closestPointOnTriangle(const float* c, const double p[3], double& distance2, double& b0, double& b1);

// Triangles with no area to speak of (cross product of two sides shorter than 1e-10) are left out
// of every query: they can be neither hit nor be the closest surface.
bool degenerateTriangle(const float* c);

// The best hit of one query so far. Better means a smaller ray parameter; at equal parameters the
// lower face, then the lower triangle, wins, so the answer does not depend on the order in which a
// loop, the grid or the hierarchy meets the candidates.
struct TisectBest {
    bool found = false;
    double t = 0, b0 = 0, b1 = 0;
    uint64_t key = 0;  // face << 32 | triangle

    static uint64_t makeKey(uint32_t face, uint32_t triangle) { return (uint64_t(face) << 32) | triangle; }
    bool offer(const TisectTriangleHit& h, uint64_t k) {
        if (found && (h.t > t || (h.t == t && k >= key))) return false;
        found = true;
        t = h.t, b0 = h.b0, b1 = h.b1, key = k;
        return true;
    }
};

// Searches in one direction and then, with bothDirections, in the other, as every closest and any
// query does: along(ray, bound, best) fills best with the hit within [0, bound]. The reverse
// search is bounded by the forward hit, which wins at equal distance, and an any-hit query stops
// at the first direction that found one. False for an unusable ray or bound; reversed tells which
// direction the answer came from.
template <typename Along>
bool searchBothWays(const T3dFltPoint& origin, const T4dFltVector& dir, float maxParam, bool bothDirections,
                    bool anyHit, Along&& along, TisectBest& best, bool& reversed) {
    const TisectRay forward(origin, dir, false);
    const double bound = std::fabs(double(maxParam));
    reversed = false;
    if (!forward.usable() || std::isnan(bound)) return false;
    along(forward, bound, best);
    if (!bothDirections || (anyHit && best.found)) return best.found;
    TisectBest back;
    along(TisectRay(origin, dir, true), best.found ? best.t : bound, back);
    if (back.found && (!best.found || back.t < best.t)) {
        best = back;
        reversed = true;
    }
    return best.found;
}

// Triangle tests made by queries; the process-wide counter of TpointOnPoly::intersectCounter.
void addIntersectTests(uint64_t n);

// Which (face, triangle) pairs a query may hit: all without a face list, none with an empty one,
// else the listed faces (with the same index in the parallel triangle list, when given), looked up
// by halves when the lists are sorted by face and then triangle, else one by one.
class TisectFilter {
public:
    TisectFilter(const Tint32Array* faces, const Tint32Array* triangles, bool sorted)
        : fFaces(faces), fTriangles(triangles), fSorted(sorted) {
        if (fFaces) fCount = fTriangles ? std::min(fFaces->size(), fTriangles->size()) : fFaces->size();
    }
    bool passesAll() const { return fFaces == nullptr; }
    bool passesNone() const { return fFaces != nullptr && fCount == 0; }
    bool pass(uint32_t face, uint32_t triangle) const {
        if (!fFaces) return true;
        const int64_t f = face, t = triangle;
        const auto at = [&](uint32_t i) {
            return std::pair<int64_t, int64_t>((*fFaces)[i], fTriangles ? (*fTriangles)[i] : t);
        };
        if (fSorted) {
            uint32_t lo = 0, hi = fCount;
            while (lo < hi) {
                const uint32_t mid = lo + (hi - lo) / 2;
                if (at(mid) < std::pair<int64_t, int64_t>(f, t))
                    lo = mid + 1;
                else
                    hi = mid;
            }
            return lo < fCount && at(lo) == std::pair<int64_t, int64_t>(f, t);
        }
        for (uint32_t i = 0; i < fCount; ++i)
            if (at(i) == std::pair<int64_t, int64_t>(f, t)) return true;
        return false;
    }

private:
    const Tint32Array* fFaces;
    const Tint32Array* fTriangles;
    bool fSorted;
    uint32_t fCount = 0;
};

// The record's triangles as the accelerators use them: for each, its face, its index within the
// face and its three corner positions (nine floats), built face by face, triangle by triangle,
// degenerate ones left out, then reordered by the accelerator for the way it reads them. Also each triangle's bounding
// box grown on every side by one percent of its diagonal, the box by which the accelerators file it.
class BRINDLE_API TpolyVoxelTriangleArray {
public:
    // Needs the record's face offsets and triangles up to date.
    void build(const TpolyGeom& geom);
    // Reorders the triangles: entry i becomes former entry order[i].
    void permute(const TuInt32Array& order);

    uint32_t size() const { return fFace.size(); }
    uint32_t face(uint32_t i) const { return fFace[i]; }
    uint32_t triangle(uint32_t i) const { return fTriangle[i]; }
    uint64_t key(uint32_t i) const { return TisectBest::makeKey(fFace[i], fTriangle[i]); }
    const float* corners(uint32_t i) const { return fCorners.data() + 9 * size_t(i); }
    // Grown bounding box of triangle i (three minima then three maxima).
    void box(uint32_t i, float lo[3], float hi[3]) const;
    size_t bytesAllocated() const {
        return fFace.bytesAllocated() + fTriangle.bytesAllocated() + fCorners.bytesAllocated();
    }

private:
    TuInt32Array fFace, fTriangle;
    TfloatArray fCorners;
};
