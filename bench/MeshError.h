#pragma once

// Distance between two triangle surfaces, measured the same way for every simplifier compared:
// points sampled uniformly by area on each surface (plus its vertices) are matched to the
// closest point of the other surface through a uniform grid of triangles. The symmetric
// Hausdorff distance is the largest such distance either way, the RMS distance the root mean
// square over both sample sets.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace mesherror {

struct P3 {
    double x = 0, y = 0, z = 0;
};
inline P3 operator-(P3 a, P3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline P3 operator+(P3 a, P3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline P3 operator*(P3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline double dot(P3 a, P3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline P3 cross(P3 a, P3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

// A triangle soup: positions and three vertex ids per triangle.
struct Soup {
    std::vector<P3> points;
    std::vector<uint32_t> tris;
};

// Closest point of triangle abc to p (the regions of the triangle's Voronoi diagram in turn).
inline P3 closestOnTriangle(P3 p, P3 a, P3 b, P3 c) {
    const P3 ab = b - a, ac = c - a, ap = p - a;
    const double d1 = dot(ab, ap), d2 = dot(ac, ap);
    if (d1 <= 0 && d2 <= 0) return a;
    const P3 bp = p - b;
    const double d3 = dot(ab, bp), d4 = dot(ac, bp);
    if (d3 >= 0 && d4 <= d3) return b;
    const double vc = d1 * d4 - d3 * d2;
    if (vc <= 0 && d1 >= 0 && d3 <= 0) return a + ab * (d1 / (d1 - d3));
    const P3 cp = p - c;
    const double d5 = dot(ab, cp), d6 = dot(ac, cp);
    if (d6 >= 0 && d5 <= d6) return c;
    const double vb = d5 * d2 - d1 * d6;
    if (vb <= 0 && d2 >= 0 && d6 <= 0) return a + ac * (d2 / (d2 - d6));
    const double va = d3 * d6 - d5 * d4;
    if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) return b + (c - b) * ((d4 - d3) / ((d4 - d3) + (d5 - d6)));
    const double denom = 1.0 / (va + vb + vc);
    return a + ab * (vb * denom) + ac * (vc * denom);
}

// Uniform grid over a soup's triangles (each listed in every cell its bounding box touches).
class Grid {
public:
    explicit Grid(const Soup& s) : fSoup(s) {
        lo = {1e300, 1e300, 1e300};
        hi = {-1e300, -1e300, -1e300};
        for (const P3& p : s.points) {
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        }
        const P3 d = hi - lo;
        const double volume = std::max(d.x, 1e-9) * std::max(d.y, 1e-9) * std::max(d.z, 1e-9);
        const double nTri = double(s.tris.size() / 3);
        cell = std::cbrt(volume / std::max(1.0, nTri));
        for (int k = 0; k < 3; ++k) n[k] = std::max(1, std::min(1024, int(std::ceil(axis(d, k) / cell)) + 1));
        std::vector<uint32_t> count(size_t(n[0]) * n[1] * n[2] + 1, 0);
        forEachCell([&](size_t c, uint32_t) { ++count[c + 1]; });
        for (size_t c = 1; c < count.size(); ++c) count[c] += count[c - 1];
        start = count;
        items.resize(count.back());
        forEachCell([&](size_t c, uint32_t t) { items[count[c]++] = t; });
    }

    double distance(P3 p) const {
        int c[3];
        for (int k = 0; k < 3; ++k) c[k] = std::clamp(int((axis(p, k) - axis(lo, k)) / cell), 0, n[k] - 1);
        double best = 1e300;
        const int maxR = std::max({n[0], n[1], n[2]});
        for (int r = 0; r <= maxR; ++r) {
            for (int i = c[0] - r; i <= c[0] + r; ++i)
                for (int j = c[1] - r; j <= c[1] + r; ++j)
                    for (int k = c[2] - r; k <= c[2] + r; ++k) {
                        if (std::max({std::abs(i - c[0]), std::abs(j - c[1]), std::abs(k - c[2])}) != r) continue;
                        if (i < 0 || j < 0 || k < 0 || i >= n[0] || j >= n[1] || k >= n[2]) continue;
                        const size_t id = (size_t(k) * n[1] + j) * n[0] + i;
                        for (uint32_t q = start[id]; q < start[id + 1]; ++q) {
                            const uint32_t t = items[q];
                            const P3 x = closestOnTriangle(p, fSoup.points[fSoup.tris[3 * t]],
                                                           fSoup.points[fSoup.tris[3 * t + 1]],
                                                           fSoup.points[fSoup.tris[3 * t + 2]]);
                            best = std::min(best, dot(x - p, x - p));
                        }
                    }
            // Every triangle not yet seen lies at least r cells away.
            if (best < 1e300 && std::sqrt(best) <= double(r) * cell) break;
        }
        return std::sqrt(best);
    }

private:
    static double axis(P3 p, int k) { return k == 0 ? p.x : k == 1 ? p.y : p.z; }
    template <typename F>
    void forEachCell(F&& f) const {
        for (uint32_t t = 0; t < fSoup.tris.size() / 3; ++t) {
            int a[3], b[3];
            for (int k = 0; k < 3; ++k) {
                double mn = 1e300, mx = -1e300;
                for (int v = 0; v < 3; ++v) {
                    const double x = axis(fSoup.points[fSoup.tris[3 * t + v]], k);
                    mn = std::min(mn, x);
                    mx = std::max(mx, x);
                }
                a[k] = std::clamp(int((mn - axis(lo, k)) / cell), 0, n[k] - 1);
                b[k] = std::clamp(int((mx - axis(lo, k)) / cell), 0, n[k] - 1);
            }
            for (int k = a[2]; k <= b[2]; ++k)
                for (int j = a[1]; j <= b[1]; ++j)
                    for (int i = a[0]; i <= b[0]; ++i) f((size_t(k) * n[1] + j) * n[0] + i, t);
        }
    }
    const Soup& fSoup;
    P3 lo, hi;
    double cell = 1;
    int n[3] = {1, 1, 1};
    std::vector<uint32_t> start, items;
};

// Samples on a: the vertices its triangles use and `count` points uniform by area (fixed seed).
inline std::vector<P3> samples(const Soup& a, uint32_t count) {
    std::vector<P3> out;
    std::vector<bool> used(a.points.size());
    for (uint32_t v : a.tris)
        if (!used[v]) {
            used[v] = true;
            out.push_back(a.points[v]);
        }
    std::vector<double> cumulative;
    double total = 0;
    for (size_t t = 0; t < a.tris.size() / 3; ++t) {
        const P3 p = a.points[a.tris[3 * t]], q = a.points[a.tris[3 * t + 1]], r = a.points[a.tris[3 * t + 2]];
        const P3 n = cross(q - p, r - p);
        total += std::sqrt(dot(n, n));
        cumulative.push_back(total);
    }
    if (cumulative.empty()) return out;
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (uint32_t i = 0; i < count; ++i) {
        const size_t t =
            size_t(std::lower_bound(cumulative.begin(), cumulative.end(), u(rng) * total) - cumulative.begin());
        const size_t tt = std::min(t, cumulative.size() - 1);
        double s = u(rng), w = u(rng);
        if (s + w > 1) {
            s = 1 - s;
            w = 1 - w;
        }
        const P3 p = a.points[a.tris[3 * tt]], q = a.points[a.tris[3 * tt + 1]], r = a.points[a.tris[3 * tt + 2]];
        out.push_back(p + (q - p) * s + (r - p) * w);
    }
    return out;
}

struct Distance {
    double hausdorff = 0, rms = 0;
};

inline Distance measure(const Soup& a, const Soup& b, uint32_t count = 200000) {
    Distance d;
    double sum = 0;
    size_t n = 0;
    for (int way = 0; way < 2; ++way) {
        const Soup& from = way ? b : a;
        const Grid grid(way ? a : b);
        for (const P3& p : samples(from, count)) {
            const double x = grid.distance(p);
            d.hausdorff = std::max(d.hausdorff, x);
            sum += x * x;
            ++n;
        }
    }
    d.rms = n ? std::sqrt(sum / double(n)) : 0;
    return d;
}

}  // namespace mesherror
