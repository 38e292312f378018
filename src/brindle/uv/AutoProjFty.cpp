#include "brindle/uv/AutoProjFty.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <vector>

#include "brindle/base/RotateXYZ.h"
#include "brindle/base/VectorMath.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/FaceTraversal.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyCompact.h"
#include "brindle/uv/UvWork.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyAutoProjFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(
    TpolyAutoProjFty::sMetaclass, kPolyGrpFace,
    {BRINDLE_MODIFIER_PARAM(TpolyAutoProjFty, Trans, "translation of the projection frame", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyAutoProjFty, Rotate,
                            "rotation of the projection frame, radians, then an optional order 0-5", -kPi, kPi),
     BRINDLE_MODIFIER_PARAM(TpolyAutoProjFty, Pivot, "pivot of the projection frame", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyAutoProjFty, Scale, "scale of the projection frame", 0.1, 2),
     BRINDLE_MODIFIER_PARAM(TpolyAutoProjFty, TestSelfIntersect,
                            "refuse a face whose UV edges would cross its shell's"),
     BRINDLE_MODIFIER_PARAM(TpolyAutoProjFty, Greedy,
                            "let a face take any plane its normal faces closely enough, not only the closest"),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyAutoProjFty, OffsetUVs, offsetUVs,
                                   "shift each plane's shells to a UV tile of their own"),
     BRINDLE_MODIFIER_PARAM(TpolyAutoProjFty, AllowReverse, "let faces facing away from a plane project onto it"),
     BRINDLE_MODIFIER_PARAM(TpolyAutoProjFty, NodePlaneValue,
                            "number of planes; below 3 the faces given to setPolyGeom are the planes", 3, 12),
     BRINDLE_MODIFIER_PARAM(TpolyAutoProjFty, MapSet, "UV set the shells get their UVs in; -1 for the current set", -1,
                            0),
     BRINDLE_MODIFIER_PARAM(TpolyAutoProjFty, Matrix, "frame of the projection; its inverse is applied")});

using Vec = std::array<double, 3>;

double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec unit(Vec v) {
    const double l = std::sqrt(dot(v, v));
    if (l > 0)
        for (double& x : v) x /= l;
    return v;
}

// The plane normals of each fixed set, in table order.
std::vector<Vec> planeNormals(uint32_t count) {
    const double phi = (1 + std::sqrt(5.0)) / 2;
    switch (count) {
        case 3:
            return {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}};
        case 4:
            return {{1, 1, 1}, {1, -1, -1}, {-1, 1, -1}, {-1, -1, 1}};
        case 5:
            return {{0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0.8660254, 0, -0.5}, {-0.8660254, 0, -0.5}};
        case 6:
            return {{0, 0, -1}, {0, -1, 0}, {-1, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}};
        case 8:
            return {{1, 1, 1}, {1, 1, -1}, {1, -1, 1}, {1, -1, -1}, {-1, 1, 1}, {-1, 1, -1}, {-1, -1, 1}, {-1, -1, -1}};
        case 12:
            return {{0, 1, phi},  {0, 1, -phi},  {0, -1, phi}, {0, -1, -phi}, {1, phi, 0},  {1, -phi, 0},
                    {-1, phi, 0}, {-1, -phi, 0}, {phi, 0, 1},  {phi, 0, -1},  {-phi, 0, 1}, {-phi, 0, -1}};
        default:
            return {};
    }
}

// The drawn set for a requested count: none below 3, 8 for 7, 12 above 8.
uint32_t planeSet(uint32_t count) {
    if (count < 3) return 0;
    if (count == 7) return 8;
    return count > 8 ? 12 : count;
}

// The quad of a unit normal: side 0.5 about the point at distance 1, its first side along the
// direction that keeps the image upright seen from outside, corners c0, c1, c2, c3 in turn.
void quadOf(const Vec& normal, T3dFltPoint out[4]) {
    const Vec n = unit(normal);
    const Vec up = std::fabs(n[1]) > 0.99 ? Vec{0, 0, n[1] > 0 ? -1.0 : 1.0} : Vec{0, 1, 0};
    const Vec e1 = unit(cross(up, n)), e2 = cross(n, e1);
    const auto at = [&](double a, double b) {
        return T3dFltPoint(float(n[0] + a * e1[0] + b * e2[0]), float(n[1] + a * e1[1] + b * e2[1]),
                           float(n[2] + a * e1[2] + b * e2[2]));
    };
    out[0] = at(-0.25, -0.25), out[1] = at(0.25, -0.25), out[2] = at(0.25, 0.25), out[3] = at(-0.25, 0.25);
}

// One projection plane: a unit normal and the two linear forms of u and v.
struct Tplane {
    Vec normal, u, v;
    double ou = 0, ov = 0;
    void project(const T3dFltPoint& p, float out[2]) const {
        const Vec q{p.x, p.y, p.z};
        out[0] = float(dot(q, u) + ou);
        out[1] = float(dot(q, v) + ov);
    }
};

Tplane planeFrom(const T3dFltPoint& c0, const T3dFltPoint& c1, const T3dFltPoint& c3, double tileU, double tileV) {
    const Vec a{c0.x, c0.y, c0.z}, e1{c1.x - c0.x, c1.y - c0.y, c1.z - c0.z}, e2{c3.x - c0.x, c3.y - c0.y, c3.z - c0.z};
    Tplane p;
    p.normal = unit(cross(e1, e2));
    const double l1 = dot(e1, e1), l2 = dot(e2, e2);
    for (int k = 0; k < 3; ++k) {
        p.u[size_t(k)] = l1 > 0 ? e1[size_t(k)] / (2 * l1) : e1[size_t(k)];
        p.v[size_t(k)] = l2 > 0 ? e2[size_t(k)] / (2 * l2) : e2[size_t(k)];
    }
    p.ou = tileU + 0.25 - dot(a, p.u);
    p.ov = tileV + 0.25 - dot(a, p.v);
    return p;
}

// p * T(-pivot) * S * R * T(pivot + trans): the frame of the planes.
T4dFltMatrix frameMatrix(const T4dFltVector& trans, const TrotateXYZ& rotate, const T3dFltPoint& pivot,
                         const T4dFltVector& scale) {
    T4dFltMatrix toPivot, s, back;
    toPivot.m[3][0] = -pivot.x, toPivot.m[3][1] = -pivot.y, toPivot.m[3][2] = -pivot.z;
    s.m[0][0] = scale.x, s.m[1][1] = scale.y, s.m[2][2] = scale.z;
    back.m[3][0] = pivot.x + trans.x, back.m[3][1] = pivot.y + trans.y, back.m[3][2] = pivot.z + trans.z;
    return toPivot * s * rotationMatrixXYZ(float(rotate.x), float(rotate.y), float(rotate.z)) * back;
}

}  // namespace

const T3dFltPoint* TpolyAutoProjFty::getQuadsForManipDraw(unsigned int& count) {
    static const auto tables = [] {
        std::array<std::vector<T3dFltPoint>, 13> t;
        for (uint32_t n : {3u, 4u, 5u, 6u, 8u, 12u}) {
            for (const Vec& normal : planeNormals(n)) {
                T3dFltPoint q[4];
                quadOf(normal, q);
                t[n].insert(t[n].end(), q, q + 4);
            }
        }
        return t;
    }();
    count = planeSet(count);
    return count ? tables[count].data() : nullptr;
}

int TpolyAutoProjFty::action(TmidBody* body, TmidComponent* components) {
    std::vector<uint32_t> faces;
    if (!uvwork::activeIds(body, components, kPolyGrpFace, faces)) return -1;
    TpolyGeom& g = *body->polyGeom();
    const uint32_t s = uvwork::resolveSet(g, uint32_t(fMapSet));
    if (s == uvwork::kNone) return -1;
    const uint32_t planeCount = planeSet(fPlanes);
    if (planeCount == 0 && (!fPlaneGeom || fPlaneGeom->nbFace() == 0)) return -1;

    // The planes, carried into object space by the frame.
    T4dFltMatrix inverse = fMatrix;
    if (!inverse.invert()) inverse = T4dFltMatrix();
    const T4dFltMatrix frame = frameMatrix(fTrans, fRotate, fPivot, fScale) * inverse;
    std::vector<Tplane> planes;
    bool bothSides = fAllowReverse, greedy = fGreedy;
    if (planeCount) {
        static const double tiles3[3][2] = {{0, 1}, {1, 0}, {0, 0}};
        static const double tiles6[6][2] = {{0, 2}, {0, -1}, {-1, 0}, {0, 1}, {1, 0}, {0, 0}};
        unsigned int n = planeCount;
        const T3dFltPoint* quads = getQuadsForManipDraw(n);
        for (uint32_t k = 0; k < planeCount; ++k) {
            const double* tile = !fOffsetUVs       ? nullptr
                                 : planeCount == 3 ? tiles3[k]
                                 : planeCount == 6 ? tiles6[k]
                                                   : nullptr;
            planes.push_back(planeFrom(frame.transformPoint(quads[4 * k]), frame.transformPoint(quads[4 * k + 1]),
                                       frame.transformPoint(quads[4 * k + 3]), tile ? tile[0] : 0, tile ? tile[1] : 0));
        }
        bothSides = planeCount == 3;
    } else {
        const TpolyGeom& pg = *fPlaneGeom;
        const_cast<TpolyGeom&>(pg).update(dirtyFaceOffsets);
        for (uint32_t f = 0; f < pg.nbFace(); ++f) {
            if (pg.faceVertexCount(f) < 3) continue;
            const uint32_t o = pg.faceOffset(f), last = pg.faceOffset(f + 1) - 1;
            const auto corner = [&](uint32_t c) { return frame.transformPoint(pg.vertexConst(pg.getStartVertex(c))); };
            planes.push_back(planeFrom(corner(o), corner(o + 1), corner(std::min(o + 3, last)), 0, 0));
        }
        greedy = false;
        if (planes.empty()) return -1;
    }
    const double threshold = planeCount == 3   ? 0.5
                             : planeCount == 4 ? 0.3
                             : planeCount == 5 ? 0.4
                             : planeCount == 6 ? 0.5
                             : planeCount == 8 ? 0.55
                                               : 0.7;

    g.update(dirtyFaceOffsets | dirtyEdgeToFace | dirtyFaceNormalize);
    std::erase_if(faces, [&](uint32_t f) { return f >= g.nbFace(); });
    uvwork::fitIds(g, s);
    const uint32_t nFace = g.nbFace();
    // Candidate planes per face, one bit each (at most 32 planes are told apart).
    std::vector<uint32_t> candidates(nFace, 0);
    const uint32_t usable = uint32_t(std::min<size_t>(planes.size(), 32));
    for (uint32_t f : faces) {
        const T3dFltPoint& fn = g.faceNormalConst(f);
        const Vec n{fn.x, fn.y, fn.z};
        if (dot(n, n) < 1e-12) continue;
        uint32_t best = 0;
        double bestDot = -2;
        for (uint32_t k = 0; k < usable; ++k) {
            double d = dot(n, planes[k].normal);
            if (bothSides) d = std::fabs(d);
            if (greedy && d >= threshold) candidates[f] |= 1u << k;
            if (d > bestDot) bestDot = d, best = k;
        }
        if (!greedy) candidates[f] = 1u << best;
    }

    TpolyMap& map = (*g.maps())[s];
    Tint32Array& ids = map.indexArray();
    TbitFieldFixedN excluded(nFace);
    excluded.setAll();
    for (uint32_t f : faces)
        if (candidates[f]) excluded.resetBit(f);
    TfaceTraversal walk(&g);
    walk.excludeFaces(excluded);
    std::vector<uint32_t> shellOfVertex(g.nbVertex(), uvwork::kNone);
    std::vector<int32_t> uvOfVertex(g.nbVertex(), -1);
    uvwork::TuvSegmentGrid edges;
    std::vector<float> faceUV;
    uint32_t shell = 0;

    // The projected UVs of a face's corners into faceUV; forEdges hands the UV edges of each
    // loop in turn to fn(a, b) until fn answers true; take gives the face the shell's UVs.
    const auto projectFace = [&](uint32_t f, const Tplane& plane) {
        faceUV.resize(2 * size_t(g.faceVertexCount(f)));
        for (uint32_t c = g.faceOffset(f), k = 0; c < g.faceOffset(f + 1); ++c, ++k)
            plane.project(g.vertexConst(g.getStartVertex(c)), &faceUV[2 * k]);
    };
    const auto forEdges = [&](uint32_t f, auto&& fn) {
        const uint32_t o = g.faceOffset(f), end = g.faceOffset(f + 1);
        for (uint32_t first = o; first < end;) {
            uint32_t last = first;
            while (!g.endOfLoop(last) && !g.endOfFace(last) && last + 1 < end) ++last;
            for (uint32_t c = first; c <= last; ++c) {
                const uint32_t next = c == last ? first : c + 1;
                if (fn(&faceUV[2 * (c - o)], &faceUV[2 * (next - o)])) return true;
            }
            first = last + 1;
        }
        return false;
    };
    const auto take = [&](uint32_t f) {
        for (uint32_t c = g.faceOffset(f), k = 0; c < g.faceOffset(f + 1); ++c, ++k) {
            const uint32_t v = g.getStartVertex(c);
            if (shellOfVertex[v] != shell) {
                shellOfVertex[v] = shell;
                uvOfVertex[v] = int32_t(map.appendUV(faceUV[2 * k], faceUV[2 * k + 1]));
            }
            ids[c] = uvOfVertex[v];
        }
        if (fTestSelfIntersect) forEdges(f, [&](const float* a, const float* b) { return edges.add(a, b), false; });
        candidates[f] = 0;
    };

    const auto grow = [&](uint32_t start) {
        const uint32_t k = uint32_t(std::countr_zero(candidates[start]));
        const Tplane& plane = planes[k];
        projectFace(start, plane);
        if (fTestSelfIntersect) {
            float lo[2] = {faceUV[0], faceUV[1]}, hi[2] = {faceUV[0], faceUV[1]};
            for (size_t i = 0; i < faceUV.size(); ++i) {
                lo[i & 1] = std::min(lo[i & 1], faceUV[i]);
                hi[i & 1] = std::max(hi[i & 1], faceUV[i]);
            }
            edges.reset(std::max(hi[0] - lo[0], hi[1] - lo[1]));
        }
        take(start);
        walk.reset(start, false);
        for (uint32_t n = walk.next(); n != TpolyBits::kNoId; n = walk.next()) {
            if (!(candidates[n] & (1u << k))) {
                walk.rejectCurrentFaceFromThisEdge();
                continue;
            }
            projectFace(n, plane);
            if (fTestSelfIntersect &&
                forEdges(n, [&](const float* a, const float* b) { return edges.crosses(a, b); })) {
                walk.rejectCurrentFaceFromThisEdge();
                continue;
            }
            take(n);
        }
        ++shell;
    };
    const auto pass = [&](int wanted) {
        for (uint32_t f : faces) {
            const int n = std::popcount(candidates[f]);
            if (n > 0 && (wanted == 0 || n == wanted)) grow(f);
        }
    };
    pass(1);
    if (greedy) pass(2);
    pass(0);
    g.markDirty(dirtyMoved);
    TpolyCompact::removeUnusedUVs(g, s);
    return 0;
}
