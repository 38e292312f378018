#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

#include "brindle/geom/PolyGeom.h"
#include "brindle/spatial/PointOnPoly.h"
#include "brindle/spatial/PolySpatialSubdivision.h"

namespace {

// The weights (corners 0 and 1; corner 2 takes the rest, as for ray hits) of uv in the UV
// triangle of triangle i of face f; false when a corner is unmapped or the UV triangle has no area.
bool uvWeights(const TpolyGeom& g, uint32_t f, uint32_t i, uint32_t set, const T2FloatPair& uv, double& b0,
               double& b1) {
    uint32_t o[3];
    if (!g.getFaceTriangle(f, i, o)) return false;
    const T2FloatPair* c[3];
    for (int k = 0; k < 3; ++k) {
        const int32_t id = g.getUVId(o[k], set);
        c[k] = id < 0 ? nullptr : g.uvConst(uint32_t(id), set);
        if (!c[k]) return false;
    }
    const double e1u = double(c[0]->u) - c[2]->u, e1v = double(c[0]->v) - c[2]->v;
    const double e2u = double(c[1]->u) - c[2]->u, e2v = double(c[1]->v) - c[2]->v;
    const double qu = double(uv.u) - c[2]->u, qv = double(uv.v) - c[2]->v;
    const double det = e1u * e2v - e1v * e2u;
    if (det == 0) return false;
    b0 = (qu * e2v - qv * e2u) / det;
    b1 = (e1u * qv - e1v * qu) / det;
    return std::isfinite(b0) && std::isfinite(b1);
}

// The deepest holder of a UV among the faces offered, the lowest face and triangle at equal
// depth (faces are offered in increasing order by every caller).
struct UvSearch {
    const TpolyGeom& g;
    uint32_t set;
    T2FloatPair uv;
    double tolerance;
    bool found = false;
    double depth = 0, b0 = 0, b1 = 0;
    uint32_t face = 0, triangle = 0;

    void offer(uint32_t f) {
        for (uint32_t i = 0, n = g.trgFaceOrder(f); i < n; ++i) {
            double w0, w1;
            if (!uvWeights(g, f, i, set, uv, w0, w1)) continue;
            const double d = std::min({w0, w1, 1.0 - w0 - w1});
            if (d < -tolerance || (found && d <= depth)) continue;
            found = true, depth = d, b0 = w0, b1 = w1, face = f, triangle = i;
        }
    }
    int answer(TpointOnPoly& at) const {
        if (!found) return -1;
        at.set(face, triangle, 0.0f, float(b0), float(b1));
        return 0;
    }
};

constexpr uint32_t kTrianglesUpToDate = dirtyFaceOffsets | dirtyTriangles;

bool usableUv(const TpolyGeom& g, const T2FloatPair& uv, uint32_t set) {
    return set < g.nbMapSet() && std::isfinite(uv.u) && std::isfinite(uv.v);
}

}  // namespace

int TpointOnPoly::findUvLocation(TpolyGeom& geom, const T2FloatPair& uv, uint32_t set, float tolerance) {
    geom.update(kTrianglesUpToDate);
    if (!usableUv(geom, uv, set)) return -1;
    UvSearch s{geom, set, uv, tolerance};
    for (uint32_t f = 0; f < geom.nbFace(); ++f) s.offer(f);
    return s.answer(*this);
}

int TpointOnPoly::findUvLocationInFace(TpolyGeom& geom, uint32_t face, const T2FloatPair& uv, uint32_t set,
                                       float tolerance) {
    geom.update(kTrianglesUpToDate);
    if (!usableUv(geom, uv, set) || face >= geom.nbFace()) return -1;
    UvSearch s{geom, set, uv, tolerance};
    s.offer(face);
    return s.answer(*this);
}

int TpointOnPoly::moveUvBy(TpolyGeom& geom, uint32_t set, const T2FloatPair& delta, float tolerance) {
    geom.update(kTrianglesUpToDate);
    T2FloatPair here;
    if (set >= geom.nbMapSet() || !uv(geom, set, here)) return -1;
    const T2FloatPair target{here.u + delta.u, here.v + delta.v};
    if (!usableUv(geom, target, set)) return -1;
    // The shell: faces reached from this one through shared UV ids, found through a list of the
    // faces round each UV id (counts, then starts, then the faces).
    const uint32_t nbFace = geom.nbFace(), nbUv = geom.nbUV(set);
    std::vector<uint32_t> start(size_t(nbUv) + 1, 0), faces;
    const auto eachUv = [&](uint32_t f, auto&& fn) {
        for (uint32_t o = geom.faceOffset(f), end = o + geom.faceVertexCount(f); o < end; ++o) {
            const int32_t id = geom.getUVId(o, set);
            if (id >= 0 && uint32_t(id) < nbUv) fn(uint32_t(id));
        }
    };
    for (uint32_t f = 0; f < nbFace; ++f) eachUv(f, [&](uint32_t id) { ++start[id + 1]; });
    for (uint32_t id = 0; id < nbUv; ++id) start[id + 1] += start[id];
    faces.resize(start[nbUv]);
    std::vector<uint32_t> fill(start.begin(), start.end() - 1);
    for (uint32_t f = 0; f < nbFace; ++f) eachUv(f, [&](uint32_t id) { faces[fill[id]++] = f; });
    std::vector<bool> inShell(nbFace, false), uvSeen(nbUv, false);
    std::vector<uint32_t> queue{fFace};
    inShell[fFace] = true;
    for (size_t q = 0; q < queue.size(); ++q)
        eachUv(queue[q], [&](uint32_t id) {
            if (uvSeen[id]) return;
            uvSeen[id] = true;
            for (uint32_t k = start[id]; k < start[id + 1]; ++k)
                if (!inShell[faces[k]]) inShell[faces[k]] = true, queue.push_back(faces[k]);
        });
    UvSearch s{geom, set, target, tolerance};
    for (uint32_t f = 0; f < nbFace; ++f)
        if (inShell[f]) s.offer(f);
    return s.answer(*this);
}

int TpointOnPoly::moveScreenBy(TpolyGeom& geom, const T4dFltMatrix& worldToScreen, float dx, float dy) {
    T3dFltPoint here;
    geom.update(kTrianglesUpToDate);
    if (!point(geom, here)) return -1;
    T4dFltMatrix screenToWorld = worldToScreen;
    if (!screenToWorld.invert()) return -1;
    const T3dFltPoint s = worldToScreen.transformPoint(here);
    // Two points of the sight line through the moved screen position, at the present depth and
    // a unit of depth further; the ray from the first answers in either direction.
    const T3dFltPoint a = screenToWorld.transformPoint(T3dFltPoint(s.x + dx, s.y + dy, s.z));
    const T3dFltPoint b = screenToWorld.transformPoint(T3dFltPoint(s.x + dx, s.y + dy, s.z + 1.0f));
    const T4dFltVector dir(b.x - a.x, b.y - a.y, b.z - a.z);
    const TpolySpatialSubdivision& accel =
        geom.getIntersectionAccelerator(TmeshIsectAccelParams::autoUniformGridParams());
    TpointOnPoly hit;
    if (accel.closestIntersection(a, dir, nullptr, nullptr, false, FLT_MAX, true, hit, 0.0f) != 0) return -1;
    *this = hit;
    return 0;
}
