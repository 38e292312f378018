#include "brindle/spatial/IsectTriangles.h"

#include <algorithm>

#include "brindle/geom/PolyGeom.h"

namespace {

double dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

}  // namespace

// Voronoi regions of the triangle (a = c0, b = c1, q = c2): the closest point is a corner, a point
// on a side or a point inside, found from the signs of the projections of p onto the sides.
void closestPointOnTriangle(const float* c, const double p[3], double& distance2, double& b0, double& b1) {
    const double a[3] = {c[0], c[1], c[2]}, b[3] = {c[3], c[4], c[5]}, q[3] = {c[6], c[7], c[8]};
    const double ab[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double aq[3] = {q[0] - a[0], q[1] - a[1], q[2] - a[2]};
    const double ap[3] = {p[0] - a[0], p[1] - a[1], p[2] - a[2]};
    // Weights (wa, wb, wq) of the closest point, found region by region.
    double wa = 1, wb = 0, wq = 0;
    const double d1 = dot(ab, ap), d2 = dot(aq, ap);
    const double bp[3] = {p[0] - b[0], p[1] - b[1], p[2] - b[2]};
    const double d3 = dot(ab, bp), d4 = dot(aq, bp);
    const double qp[3] = {p[0] - q[0], p[1] - q[1], p[2] - q[2]};
    const double d5 = dot(ab, qp), d6 = dot(aq, qp);
    const double vc = d1 * d4 - d3 * d2, vb = d5 * d2 - d1 * d6, va = d3 * d6 - d5 * d4;
    if (d1 <= 0 && d2 <= 0) {
        wa = 1, wb = 0, wq = 0;
    } else if (d3 >= 0 && d4 <= d3) {
        wa = 0, wb = 1, wq = 0;
    } else if (d6 >= 0 && d5 <= d6) {
        wa = 0, wb = 0, wq = 1;
    } else if (vc <= 0 && d1 >= 0 && d3 <= 0) {
        const double v = d1 / (d1 - d3);
        wa = 1 - v, wb = v, wq = 0;
    } else if (vb <= 0 && d2 >= 0 && d6 <= 0) {
        const double w = d2 / (d2 - d6);
        wa = 1 - w, wb = 0, wq = w;
    } else if (va <= 0 && (d4 - d3) >= 0 && (d5 - d6) >= 0) {
        const double w = (d4 - d3) / ((d4 - d3) + (d5 - d6));
        wa = 0, wb = 1 - w, wq = w;
    } else {
        const double denom = 1.0 / (va + vb + vc);
        wb = vb * denom, wq = vc * denom, wa = 1 - wb - wq;
    }
    double dist2 = 0;
    for (int k = 0; k < 3; ++k) {
        const double x = wa * a[k] + wb * b[k] + wq * q[k] - p[k];
        dist2 += x * x;
    }
    distance2 = dist2;
    b0 = wa;
    b1 = wb;
}

bool degenerateTriangle(const float* c) {
    const double e1[3] = {double(c[0]) - c[6], double(c[1]) - c[7], double(c[2]) - c[8]};
    const double e2[3] = {double(c[3]) - c[6], double(c[4]) - c[7], double(c[5]) - c[8]};
    const double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    return !(dot(n, n) >= 1e-20);
}

void TpolyVoxelTriangleArray::build(const TpolyGeom& geom) {
    fFace.clear();
    fTriangle.clear();
    fCorners.clear();
    const uint32_t nFace = geom.nbFace();
    if (nFace == 0 || geom.trg()->fFirstTriangle.size() < nFace + 1) return;
    const uint32_t nTriangle = geom.nbTriangle();
    fFace.changeLogicalSizeTo(nTriangle);
    fTriangle.changeLogicalSizeTo(nTriangle);
    fCorners.changeLogicalSizeTo(9 * nTriangle);
    uint32_t kept = 0;
    for (uint32_t f = 0; f < nFace; ++f) {
        uint32_t first = 0;
        const uint32_t count = geom.trgFaceOrder(f, &first);
        const uint32_t offset = geom.faceOffset(f);
        for (uint32_t i = 0; i < count; ++i) {
            const TpolyTriangle& t = geom.triangleConst(first + i);
            float* c = fCorners.data() + 9 * size_t(kept);
            for (uint32_t k = 0; k < 3; ++k) {
                const T3dFltPoint& p = geom.vertexConst(geom.getStartVertex(offset + t.number(k)));
                c[3 * k] = p.x, c[3 * k + 1] = p.y, c[3 * k + 2] = p.z;
            }
            if (degenerateTriangle(c)) continue;
            fFace[kept] = f;
            fTriangle[kept] = i;
            ++kept;
        }
    }
    fFace.changeLogicalSizeTo(kept);
    fTriangle.changeLogicalSizeTo(kept);
    fCorners.changeLogicalSizeTo(9 * kept);
}

void TpolyVoxelTriangleArray::permute(const TuInt32Array& order) {
    TuInt32Array face, triangle;
    TfloatArray points;
    face.changeLogicalSizeTo(size());
    triangle.changeLogicalSizeTo(size());
    points.changeLogicalSizeTo(fCorners.size());
    for (uint32_t i = 0; i < size(); ++i) {
        face[i] = fFace[order[i]];
        triangle[i] = fTriangle[order[i]];
        std::copy_n(corners(order[i]), 9, points.data() + 9 * size_t(i));
    }
    fFace.swap(face);
    fTriangle.swap(triangle);
    fCorners.swap(points);
}

void TpolyVoxelTriangleArray::box(uint32_t i, float lo[3], float hi[3]) const {
    const float* c = corners(i);
    double diag2 = 0;
    for (int a = 0; a < 3; ++a) {
        lo[a] = std::min({c[a], c[3 + a], c[6 + a]});
        hi[a] = std::max({c[a], c[3 + a], c[6 + a]});
        diag2 += double(hi[a] - lo[a]) * (hi[a] - lo[a]);
    }
    const float grow = float(0.01 * std::sqrt(diag2));
    for (int a = 0; a < 3; ++a) lo[a] -= grow, hi[a] += grow;
}
