#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "brindle/brindle.h"
#include "support/GridBuilder.h"

// A body holding an n x n quad grid with the UV set "map1": one UV per vertex, its position
// scaled into the unit square, shared by every corner of the vertex.
inline std::unique_ptr<TmidBody> gridBody(uint32_t n) {
    auto* g = new TpolyGeom;
    buildQuadGrid(*g, n);
    g->update(dirtyFaceOffsets);
    const uint32_t s = g->newEmptyMapSet(Tstring("map1"));
    for (uint32_t v = 0; v < g->nbVertex(); ++v) g->appendUV(g->vertexConst(v).x / n, g->vertexConst(v).y / n, s);
    for (uint32_t c = 0; c < g->faceDescLength(); ++c) g->setUVId(c, int32_t(g->getStartVertex(c)), s);
    return std::make_unique<TmidBody>(g);
}

template <typename List>
List allOf(uint32_t count) {
    List list;
    if (count) list.addRange(0, count - 1);
    return list;
}

// Every corner's UV in set s (NaN pair for an unmapped one).
inline std::vector<T2FloatPair> cornerUVs(const TpolyGeom& g, uint32_t s) {
    std::vector<T2FloatPair> out;
    for (uint32_t c = 0; c < g.faceDescLength(); ++c) {
        const int32_t id = g.getUVId(c, s);
        out.push_back(id < 0 ? T2FloatPair{NAN, NAN} : *g.uvConst(uint32_t(id), s));
    }
    return out;
}

// checkObject finds nothing and every corner's id is -1 or names a UV, in every set.
inline bool cleanRecord(const TpolyGeom& g) {
    if (g.checkObject(kCheckAll) != 0) return false;
    for (uint32_t s = 0; s < g.nbMapSet(); ++s) {
        if (g.nbUVRef(s) != g.faceDescLength()) return false;
        for (uint32_t c = 0; c < g.faceDescLength(); ++c) {
            const int32_t id = g.getUVId(c, s);
            if (id < -1 || (id >= 0 && uint32_t(id) >= g.nbUV(s))) return false;
        }
    }
    return true;
}

// The UV shells of set s: faces joined through shared UV ids, as a shell id per face (-1 for a
// face with an unmapped corner), numbered in order of their first face.
inline std::vector<int32_t> uvShells(const TpolyGeom& g, uint32_t s) {
    std::vector<uint32_t> parent(g.nbFace());
    for (uint32_t f = 0; f < g.nbFace(); ++f) parent[f] = f;
    const auto root = [&](uint32_t f) {
        while (parent[f] != f) f = parent[f] = parent[parent[f]];
        return f;
    };
    std::vector<int64_t> owner(g.nbUV(s), -1);
    std::vector<bool> mapped(g.nbFace(), true);
    for (uint32_t f = 0; f < g.nbFace(); ++f)
        for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1); ++c) {
            const int32_t id = g.getUVId(c, s);
            if (id < 0) {
                mapped[f] = false;
                continue;
            }
            if (owner[id] < 0)
                owner[id] = f;
            else
                parent[root(f)] = root(uint32_t(owner[id]));
        }
    std::vector<int32_t> shell(g.nbFace(), -1), number(g.nbFace(), -1);
    int32_t next = 0;
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        if (!mapped[f]) continue;
        const uint32_t r = root(f);
        if (number[r] < 0) number[r] = next++;
        shell[f] = number[r];
    }
    return shell;
}

// Whether the interiors of two UV triangles overlap: an edge of one properly crosses an edge of
// the other, or a corner mean lies strictly inside the other. Triangles are shrunk towards their
// corner mean by a small fraction first, so that shells that only touch do not count.
inline bool trianglesOverlap(const T2FloatPair a[3], const T2FloatPair b[3]) {
    const auto shrink = [](const T2FloatPair t[3], double out[3][2]) {
        const double cu = (t[0].u + t[1].u + t[2].u) / 3, cv = (t[0].v + t[1].v + t[2].v) / 3;
        for (int k = 0; k < 3; ++k) out[k][0] = cu + (t[k].u - cu) * 0.999, out[k][1] = cv + (t[k].v - cv) * 0.999;
    };
    double p[3][2], q[3][2];
    shrink(a, p), shrink(b, q);
    const auto orient = [](const double* x, const double* y, const double* z) {
        return (y[0] - x[0]) * (z[1] - x[1]) - (y[1] - x[1]) * (z[0] - x[0]);
    };
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const double *a0 = p[i], *a1 = p[(i + 1) % 3], *b0 = q[j], *b1 = q[(j + 1) % 3];
            const double d1 = orient(b0, b1, a0), d2 = orient(b0, b1, a1), d3 = orient(a0, a1, b0),
                         d4 = orient(a0, a1, b1);
            if (d1 * d2 < 0 && d3 * d4 < 0) return true;
        }
    const auto inside = [&](const double t[3][2], const double* x) {
        const double s0 = orient(t[0], t[1], x), s1 = orient(t[1], t[2], x), s2 = orient(t[2], t[0], x);
        return (s0 > 0 && s1 > 0 && s2 > 0) || (s0 < 0 && s1 < 0 && s2 < 0);
    };
    const double ca[2] = {(p[0][0] + p[1][0] + p[2][0]) / 3, (p[0][1] + p[1][1] + p[2][1]) / 3};
    const double cb[2] = {(q[0][0] + q[1][0] + q[2][0]) / 3, (q[0][1] + q[1][1] + q[2][1]) / 3};
    return inside(q, ca) || inside(p, cb);
}

// Number of overlapping triangle pairs between different shells (triangles of degenerate UV area
// are left out).
inline uint32_t shellOverlaps(TpolyGeom& g, uint32_t s) {
    g.update(dirtyTriangles);
    const std::vector<int32_t> shell = uvShells(g, s);
    struct Tri {
        T2FloatPair p[3];
        int32_t shell;
        float lo[2], hi[2];
    };
    std::vector<Tri> tris;
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        if (shell[f] < 0) continue;
        uint32_t first = 0;
        const uint32_t n = g.trgFaceOrder(f, &first);
        for (uint32_t t = 0; t < n; ++t) {
            Tri tri{};
            tri.shell = shell[f];
            for (uint32_t k = 0; k < 3; ++k)
                tri.p[k] = *g.uvConst(uint32_t(g.getUVId(g.faceOffset(f) + g.vertexOffset(first + t, k), s)), s);
            const double area = (tri.p[1].u - tri.p[0].u) * (tri.p[2].v - tri.p[0].v) -
                                (tri.p[1].v - tri.p[0].v) * (tri.p[2].u - tri.p[0].u);
            if (std::fabs(area) < 1e-12) continue;
            for (int k = 0; k < 2; ++k) {
                tri.lo[k] = std::min({(&tri.p[0].u)[k], (&tri.p[1].u)[k], (&tri.p[2].u)[k]});
                tri.hi[k] = std::max({(&tri.p[0].u)[k], (&tri.p[1].u)[k], (&tri.p[2].u)[k]});
            }
            tris.push_back(tri);
        }
    }
    uint32_t overlaps = 0;
    for (size_t i = 0; i < tris.size(); ++i)
        for (size_t j = i + 1; j < tris.size(); ++j) {
            const Tri &a = tris[i], &b = tris[j];
            if (a.shell == b.shell || a.hi[0] < b.lo[0] || b.hi[0] < a.lo[0] || a.hi[1] < b.lo[1] || b.hi[1] < a.lo[1])
                continue;
            overlaps += trianglesOverlap(a.p, b.p);
        }
    return overlaps;
}

// Whether every shell's corners moved as one: after = k * (±(u - u0), v - v0) + after0 for one k
// per shell (the same for all shells with sameScale) and one sign per shell.
inline bool shellsKeptShape(const TpolyGeom& g, uint32_t s, const std::vector<T2FloatPair>& before, bool sameScale,
                            double tolerance = 1e-4) {
    const std::vector<int32_t> shell = uvShells(g, s);
    const std::vector<T2FloatPair> after = cornerUVs(g, s);
    double common = -1;
    for (int32_t id = 0;; ++id) {
        std::vector<uint32_t> corners;
        for (uint32_t f = 0; f < g.nbFace(); ++f)
            if (shell[f] == id)
                for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1); ++c) corners.push_back(c);
        if (corners.empty()) return true;
        const uint32_t c0 = corners[0];
        uint32_t far = c0;
        double farDist = 0;
        for (uint32_t c : corners) {
            const double d = std::hypot(before[c].u - before[c0].u, before[c].v - before[c0].v);
            if (d > farDist) farDist = d, far = c;
        }
        if (farDist == 0) continue;
        const double k = std::hypot(after[far].u - after[c0].u, after[far].v - after[c0].v) / farDist;
        if (sameScale && common >= 0 && std::fabs(k - common) > tolerance * common) return false;
        common = k;
        bool fits[2] = {true, true};
        for (uint32_t c : corners)
            for (int sign = 0; sign < 2; ++sign) {
                const double du = (sign ? -1 : 1) * k * (before[c].u - before[c0].u) + after[c0].u - after[c].u;
                const double dv = k * (before[c].v - before[c0].v) + after[c0].v - after[c].v;
                if (std::hypot(du, dv) > tolerance) fits[sign] = false;
            }
        if (!fits[0] && !fits[1]) return false;
    }
}
