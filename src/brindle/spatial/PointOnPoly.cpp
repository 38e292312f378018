#include "brindle/spatial/PointOnPoly.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

#include "brindle/geom/PolyGeom.h"
#include "brindle/spatial/IsectTriangles.h"
#include "brindle/spatial/PolySpatialSubdivision.h"

namespace {

uint64_t sIntersectCounter = 0;

constexpr uint32_t kTrianglesUpToDate = dirtyFaceOffsets | dirtyTriangles;

// Corners of triangle i of face f as nine floats.
void fetchCorners(const TpolyGeom& g, uint32_t f, uint32_t i, float c[9]) {
    const uint32_t offset = g.faceOffset(f);
    const TpolyTriangle& t = g.triangleConst(g.firstTriangle(f) + i);
    for (uint32_t k = 0; k < 3; ++k) {
        const T3dFltPoint& p = g.vertexConst(g.getStartVertex(offset + t.number(k)));
        c[3 * k] = p.x, c[3 * k + 1] = p.y, c[3 * k + 2] = p.z;
    }
}

// Calls fn(face, triangle, corners) for the record's non-degenerate triangles, all of them or the
// listed faces (or (face, triangle) pairs); ids the record does not have are skipped. fn answers
// true to stop.
template <typename Fn>
void forEachTriangle(const TpolyGeom& g, const Tint32Array* faces, const Tint32Array* triangles, Fn&& fn) {
    float c[9];
    auto visit = [&](uint32_t f, uint32_t i) {
        fetchCorners(g, f, i, c);
        return !degenerateTriangle(c) && fn(f, i, c);
    };
    const uint32_t nFace = g.nbFace();
    if (!faces) {
        for (uint32_t f = 0; f < nFace; ++f)
            for (uint32_t i = 0, n = g.trgFaceOrder(f); i < n; ++i)
                if (visit(f, i)) return;
        return;
    }
    const uint32_t n = triangles ? std::min(faces->size(), triangles->size()) : faces->size();
    for (uint32_t k = 0; k < n; ++k) {
        const int32_t f = (*faces)[k];
        if (f < 0 || uint32_t(f) >= nFace) continue;
        const uint32_t count = g.trgFaceOrder(uint32_t(f));
        if (triangles) {
            const int32_t i = (*triangles)[k];
            if (i >= 0 && uint32_t(i) < count && visit(uint32_t(f), uint32_t(i))) return;
            continue;
        }
        for (uint32_t i = 0; i < count; ++i)
            if (visit(uint32_t(f), i)) return;
    }
}

TpointOnPoly toPoint(const TisectBest& b, bool reversed) {
    return TpointOnPoly(uint32_t(b.key >> 32), uint32_t(b.key), float(reversed ? -b.t : b.t), float(b.b0), float(b.b1));
}

// Nearest (or any) hit over the record's triangles.
int loopNearest(TpolyGeom& g, const T3dFltPoint& origin, const T4dFltVector& dir, const Tint32Array* faces,
                const Tint32Array* triangles, float maxParam, bool bothSides, float tolerance, bool anyHit,
                TpointOnPoly& out) {
    g.update(kTrianglesUpToDate);
    if (g.nbFace() == 0) return -1;
    uint64_t tested = 0;
    auto along = [&](const TisectRay& ray, double bound, TisectBest& best) {
        forEachTriangle(g, faces, triangles, [&](uint32_t f, uint32_t i, const float* c) {
            ++tested;
            TisectTriangleHit h;
            if (intersectTriangle(c, ray, tolerance, bound, h)) best.offer(h, TisectBest::makeKey(f, i));
            return anyHit && best.found;
        });
    };
    TisectBest best;
    bool reversed = false;
    const bool found = searchBothWays(origin, dir, maxParam, bothSides, anyHit, along, best, reversed);
    addIntersectTests(tested);
    if (!found) return -1;
    out = toPoint(best, reversed);
    return 0;
}

}  // namespace

void addIntersectTests(uint64_t n) { sIntersectCounter += n; }

int TpointOnPoly::closestIntersection(TpolyGeom& geom, const T3dFltPoint& origin, const T4dFltVector& dir,
                                      float maxParam, bool bothSides, float tolerance) {
    return loopNearest(geom, origin, dir, nullptr, nullptr, maxParam, bothSides, tolerance, false, *this);
}

int TpointOnPoly::closestIntersection(TpolyGeom& geom, const T3dFltPoint& origin, const T4dFltVector& dir,
                                      const Tint32Array& faces, float maxParam, bool bothSides, float tolerance) {
    return loopNearest(geom, origin, dir, &faces, nullptr, maxParam, bothSides, tolerance, false, *this);
}

int TpointOnPoly::closestIntersection(TpolyGeom& geom, const T3dFltPoint& origin, const T4dFltVector& dir,
                                      const Tint32Array& faces, const Tint32Array& triangles, float maxParam,
                                      bool bothSides, float tolerance) {
    return loopNearest(geom, origin, dir, &faces, &triangles, maxParam, bothSides, tolerance, false, *this);
}

int TpointOnPoly::closestIntersection(const TpolySpatialSubdivision& accel, const T3dFltPoint& origin,
                                      const T4dFltVector& dir, float maxParam, bool bothSides, float tolerance) {
    return accel.closestIntersection(origin, dir, nullptr, nullptr, false, maxParam, bothSides, *this, tolerance);
}

int TpointOnPoly::closestIntersectionWithHint(TpolyGeom& geom, const T3dFltPoint& origin, const T4dFltVector& dir,
                                              uint32_t face, float maxParam, bool bothSides, float tolerance) {
    Tint32Array hint;
    hint.addLast(int32_t(face));
    TpointOnPoly first;
    if (face < geom.nbFace() &&
        loopNearest(geom, origin, dir, &hint, nullptr, maxParam, bothSides, tolerance, false, first) == 0) {
        // Nothing farther than the hint's hit can win, so it bounds the full search, which then
        // finds it again or a nearer hit.
        maxParam = std::fabs(first.rayParam());
    }
    return closestIntersection(geom, origin, dir, maxParam, bothSides, tolerance);
}

int TpointOnPoly::anyIntersection(TpolyGeom& geom, const T3dFltPoint& origin, const T4dFltVector& dir, float maxParam,
                                  bool bothSides, float tolerance) {
    return loopNearest(geom, origin, dir, nullptr, nullptr, maxParam, bothSides, tolerance, true, *this);
}

int TpointOnPoly::anyIntersection(TpolyGeom& geom, const T3dFltPoint& origin, const T4dFltVector& dir,
                                  const Tint32Array& faces, float maxParam, bool bothSides, float tolerance) {
    return loopNearest(geom, origin, dir, &faces, nullptr, maxParam, bothSides, tolerance, true, *this);
}

int TpointOnPoly::anyIntersection(const TpolySpatialSubdivision& accel, const T3dFltPoint& origin,
                                  const T4dFltVector& dir, float maxParam, bool bothSides, float tolerance) {
    return accel.anyIntersection(origin, dir, nullptr, nullptr, false, maxParam, bothSides, *this, tolerance);
}

int TpointOnPoly::allIntersections(TpolyGeom& geom, const T3dFltPoint& origin, const T4dFltVector& dir,
                                   TpointOnPolyArray& hits, float maxParam, bool bothSides, float tolerance) {
    hits.clear();
    geom.update(kTrianglesUpToDate);
    const double bound = std::fabs(double(maxParam));
    uint64_t tested = 0;
    for (int side = 0; side < (bothSides ? 2 : 1); ++side) {
        const TisectRay ray(origin, dir, side == 1);
        if (!ray.usable() || std::isnan(bound)) break;
        forEachTriangle(geom, nullptr, nullptr, [&](uint32_t f, uint32_t i, const float* c) {
            ++tested;
            TisectTriangleHit h;
            if (intersectTriangle(c, ray, tolerance, bound, h) && (side == 0 || h.t > 0))
                hits.addLast(TpointOnPoly(f, i, float(side ? -h.t : h.t), float(h.b0), float(h.b1)));
            return false;
        });
    }
    addIntersectTests(tested);
    sortIntersectionsAscending(hits);
    dropRepeatedFaceHits(hits, tolerance);
    return hits.empty() ? -1 : 0;
}

int TpointOnPoly::allIntersections(const TpolySpatialSubdivision& accel, const T3dFltPoint& origin,
                                   const T4dFltVector& dir, TpointOnPolyArray& hits, float maxParam, bool bothSides,
                                   float tolerance) {
    return accel.allIntersections(origin, dir, nullptr, nullptr, false, maxParam, bothSides, hits, tolerance);
}

int TpointOnPoly::closestPoint(TpolyGeom& geom, const T3dFltPoint& p) {
    geom.update(kTrianglesUpToDate);
    const double q[3] = {p.x, p.y, p.z};
    if (!std::isfinite(q[0]) || !std::isfinite(q[1]) || !std::isfinite(q[2])) return -1;
    bool found = false;
    double best = 0, b0 = 0, b1 = 0;
    uint64_t bestKey = 0;
    forEachTriangle(geom, nullptr, nullptr, [&](uint32_t f, uint32_t i, const float* c) {
        double d2, w0, w1;
        closestPointOnTriangle(c, q, d2, w0, w1);
        if (!found || d2 < best) found = true, best = d2, b0 = w0, b1 = w1, bestKey = TisectBest::makeKey(f, i);
        return false;
    });
    if (!found) return -1;
    set(uint32_t(bestKey >> 32), uint32_t(bestKey), float(std::sqrt(best)), float(b0), float(b1));
    return 0;
}

int TpointOnPoly::closestPoint(const TpolySpatialSubdivision& accel, const T3dFltPoint& p) {
    return accel.closestPoint(p, *this);
}

// --- Evaluation -----------------------------------------------------------------------------------

bool TpointOnPoly::cornerOffsets(const TpolyGeom& geom, uint32_t offsets[3]) const {
    if (geom.isDirty(kTrianglesUpToDate) || fFace >= geom.nbFace()) return false;
    return geom.getFaceTriangle(fFace, fTriangle, offsets);
}

namespace {

// Weighted sum of three vectors with the location's weights.
template <typename Get>
void blend(const TpointOnPoly& at, Get&& get, float out[3]) {
    const float w[3] = {at.bariCoord(0), at.bariCoord(1), 1.0f - at.bariCoord(0) - at.bariCoord(1)};
    out[0] = out[1] = out[2] = 0;
    for (int k = 0; k < 3; ++k) {
        const T3dFltPoint v = get(k);
        out[0] += w[k] * v.x, out[1] += w[k] * v.y, out[2] += w[k] * v.z;
    }
}

bool unitResult(const float v[3], T4dFltVector& out) {
    out = T4dFltVector(v[0], v[1], v[2]);
    return out.normalize(0.0f);
}

}  // namespace

bool TpointOnPoly::point(const TpolyGeom& geom, T3dFltPoint& out) const {
    uint32_t o[3];
    if (!cornerOffsets(geom, o)) return false;
    float v[3];
    blend(
        *this, [&](int k) { return geom.vertexConst(geom.getStartVertex(o[k])); }, v);
    out = T3dFltPoint(v);
    return true;
}

bool TpointOnPoly::normal(TpolyGeom& geom, T4dFltVector& out) const {
    geom.update(kTrianglesUpToDate | dirtyNormalTopo | dirtyVertexNormals | dirtyVertexNormalize);
    uint32_t o[3];
    if (!cornerOffsets(geom, o)) return false;
    float v[3];
    blend(
        *this, [&](int k) { return geom.getRefNormal(o[k]); }, v);
    return unitResult(v, out);
}

bool TpointOnPoly::faceNormal(TpolyGeom& geom, T4dFltVector& out) const {
    geom.update(kTrianglesUpToDate | dirtyFaceVectors | dirtyFaceNormalize);
    if (fFace >= geom.nbFace() || fFace >= geom.nbFaceNormal()) return false;
    geom.getFaceNormal(fFace, out);
    return true;
}

bool TpointOnPoly::triangleNormal(const TpolyGeom& geom, T4dFltVector& out) const {
    uint32_t o[3];
    if (!cornerOffsets(geom, o)) return false;
    T3dFltPoint p[3];
    for (int k = 0; k < 3; ++k) p[k] = geom.vertexConst(geom.getStartVertex(o[k]));
    const T3dFltPoint e1 = p[0] - p[2], e2 = p[1] - p[2];
    out.setToCrossProduct(T4dFltVector(e1.x, e1.y, e1.z), T4dFltVector(e2.x, e2.y, e2.z));
    if (out.dot(geom.computeLoopVector(geom.faceOffset(fFace))) < 0) out = T4dFltVector(-out.x, -out.y, -out.z);
    return out.normalize(0.0f);
}

bool TpointOnPoly::getCachedSurfaceNormal(TpolyGeom& geom, T4dFltVector& out) const {
    geom.update(kTrianglesUpToDate);
    uint32_t o[3];
    if (!cornerOffsets(geom, o)) return false;
    geom.cacheSurfaceNormals();
    float v[3];
    blend(
        *this, [&](int k) { return T3dFltPoint(geom.surfaceNormalFloatConst(geom.getStartVertex(o[k]))); }, v);
    return unitResult(v, out);
}

bool TpointOnPoly::uv(const TpolyGeom& geom, uint32_t set, T2FloatPair& out) const {
    uint32_t o[3];
    if (!cornerOffsets(geom, o)) return false;
    const T2FloatPair* uvs[3];
    for (int k = 0; k < 3; ++k) {
        const int32_t id = geom.getUVId(o[k], set);
        uvs[k] = id < 0 ? nullptr : geom.uvConst(uint32_t(id), set);
        if (!uvs[k]) return false;
    }
    float v[3];
    blend(
        *this, [&](int k) { return T3dFltPoint(uvs[k]->u, uvs[k]->v, 0.0f); }, v);
    out = {v[0], v[1]};
    return true;
}

// --- Helpers --------------------------------------------------------------------------------------

void TpointOnPoly::sortFaces(Tint32Array& faces) { std::sort(faces.begin(), faces.end()); }

void TpointOnPoly::sortFaceTriangles(Tint32Array& faces, Tint32Array& triangles) {
    const uint32_t n = std::min(faces.size(), triangles.size());
    std::vector<uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return faces[a] != faces[b] ? faces[a] < faces[b] : triangles[a] < triangles[b];
    });
    Tint32Array f, t;
    for (uint32_t i : order) f.addLast(faces[i]), t.addLast(triangles[i]);
    faces.swap(f);
    triangles.swap(t);
}

void TpointOnPoly::sortIntersectionsAscending(TpointOnPolyArray& hits) {
    std::sort(hits.begin(), hits.end(), [](const TpointOnPoly& a, const TpointOnPoly& b) {
        if (a.rayParam() != b.rayParam()) return a.rayParam() < b.rayParam();
        return a.face() != b.face() ? a.face() < b.face() : a.triangle() < b.triangle();
    });
}

void TpointOnPoly::dropRepeatedFaceHits(TpointOnPolyArray& hits, float tolerance) {
    uint32_t kept = 0;
    for (uint32_t i = 0; i < hits.size(); ++i) {
        const TpointOnPoly& h = hits[i];
        const double t = h.rayParam(), eps = std::max({double(tolerance), 1e-6, 1e-6 * std::fabs(t)});
        bool repeated = false;
        for (uint32_t k = kept; k-- > 0 && t - hits[k].rayParam() <= eps;)
            if (hits[k].face() == h.face()) repeated = true;
        if (!repeated) hits[kept++] = h;
    }
    hits.changeLogicalSizeTo(kept);
}

uint64_t TpointOnPoly::intersectCounter() { return sIntersectCounter; }
void TpointOnPoly::clearIntersectCounter() { sIntersectCounter = 0; }
