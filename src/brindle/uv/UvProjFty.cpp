#include "brindle/uv/UvProjFty.h"

#include <algorithm>
#include <cmath>

#include "brindle/base/RotateXYZ.h"
#include "brindle/base/VectorMath.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyCompact.h"
#include "brindle/uv/SeamCorrectUtil.h"
#include "brindle/uv/UvWork.h"

// The base classes are abstract: the registry constructs only the three projections.
const Tmetaclass TpolyUvProjFty::sMetaclass("TpolyUvProjFty", sizeof(TpolyUvProjFty), nullptr, 0,
                                            &TpolyUvSetFty::sMetaclass);
const Tmetaclass TpolyWrapProjFty::sMetaclass("TpolyWrapProjFty", sizeof(TpolyWrapProjFty), nullptr, 0,
                                              &TpolyUvProjFty::sMetaclass);
BRINDLE_DEFINE_MODIFIER_CLASS(TpolyPlanProjFty, TpolyUvProjFty);
BRINDLE_DEFINE_MODIFIER_CLASS(TpolySphProjFty, TpolyWrapProjFty);
BRINDLE_DEFINE_MODIFIER_CLASS(TpolyCylProjFty, TpolyWrapProjFty);

namespace {
const TmodifierParamTable sProjParams(
    TpolyUvProjFty::sMetaclass, kPolyGrpFace,
    {BRINDLE_MODIFIER_PARAM(TpolyUvProjFty, CenX, "x of the projection centre", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyUvProjFty, CenY, "y of the projection centre", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyUvProjFty, CenZ, "z of the projection centre", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyUvProjFty, Cen2DX, "u offset of the result", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyUvProjFty, Cen2DY, "v offset of the result", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyUvProjFty, RotateX, "rotation of the projection frame about x, radians", -kPi, kPi),
     BRINDLE_MODIFIER_PARAM(TpolyUvProjFty, RotateY, "rotation of the projection frame about y, radians", -kPi, kPi),
     BRINDLE_MODIFIER_PARAM(TpolyUvProjFty, RotateZ, "rotation of the projection frame about z, radians", -kPi, kPi),
     BRINDLE_MODIFIER_PARAM(TpolyUvProjFty, U, "width of the projection in space", 0.1, 10),
     BRINDLE_MODIFIER_PARAM(TpolyUvProjFty, V, "height of the projection in space", 0.1, 10),
     BRINDLE_MODIFIER_PARAM(TpolyUvProjFty, U2D, "u scale of the result", 0.1, 2),
     BRINDLE_MODIFIER_PARAM(TpolyUvProjFty, V2D, "v scale of the result", 0.1, 2),
     BRINDLE_MODIFIER_PARAM(TpolyUvProjFty, Radius, "radius of a wrapping projection", 0.1, 10),
     BRINDLE_MODIFIER_PARAM(TpolyUvProjFty, Angle, "rotation of the result in UV space, radians", -kPi, kPi),
     BRINDLE_MODIFIER_PARAM(TpolyUvProjFty, Matrix, "frame the positions are read through when it is not the identity"),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyUvProjFty, CreateNewMap, createNewMap, "kept with the parameters")});
const TmodifierParamTable sWrapParams(TpolyWrapProjFty::sMetaclass, kPolyGrpNone,
                                      {BRINDLE_MODIFIER_PARAM(TpolyWrapProjFty, SeamCorrect,
                                                              "correct the longitude seam so that no face spans it")});

double dot3(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Row k of the rotation (unit axis k carried by it), normalised; (1, 0, 0) in place of nothing.
void frameAxis(const T4dFltMatrix& r, const float axis[3], double out[3]) {
    double len = 0;
    for (int c = 0; c < 3; ++c) {
        out[c] = axis[0] * r.m[0][c] + axis[1] * r.m[1][c] + axis[2] * r.m[2][c];
        len += out[c] * out[c];
    }
    len = std::sqrt(len);
    if (len < 1e-10) {
        out[0] = 1, out[1] = 0, out[2] = 0;
        return;
    }
    for (int c = 0; c < 3; ++c) out[c] /= len;
}

}  // namespace

// --- Shared steps ------------------------------------------------------------------------------

bool TpolyUvProjFty::prepareToWorkOnCurrentMap(uint32_t& set, const TpolyGeom& geom) const {
    set = uvwork::namedSet(geom, fSet);
    return set != uvwork::kNone;
}

bool TpolyUvProjFty::grpProjectBegin(TpolyGeom* geom, Tint32Array& vertexUV, const std::vector<uint32_t>& faces,
                                     uint32_t set) {
    if (!geom || uvwork::namedSet(*geom, set) == uvwork::kNone) return false;
    TpolyGeom& g = *geom;
    uvwork::fitIds(g, set);
    TpolyMap& map = (*g.maps())[set];
    Tint32Array& ids = map.indexArray();
    const uint32_t nUV = map.nbUV(), nFace = g.nbFace();
    std::vector<uint8_t> inGroup(nFace, 0), use(nUV, 0);  // use: 1 by the faces only, 2 by others
    for (uint32_t f : faces) inGroup[f] = 1;
    for (uint32_t f = 0; f < nFace; ++f)
        for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1); ++c) {
            const int32_t id = ids[c];
            if (id >= 0 && uint32_t(id) < nUV) use[uint32_t(id)] |= inGroup[f] ? 1 : 2;
        }
    uint32_t nextFree = 0;
    const auto take = [&]() -> int32_t {
        while (nextFree < nUV && use[nextFree] != 1) ++nextFree;
        if (nextFree < nUV) {
            map.uvArray()[nextFree] = {0, 0};
            return int32_t(nextFree++);
        }
        return int32_t(map.appendUV(0.0f, 0.0f));
    };
    vertexUV.changeLogicalSizeTo(g.nbVertex());
    for (int32_t& id : vertexUV) id = -1;
    for (uint32_t f : faces)
        for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1); ++c) vertexUV[g.getStartVertex(c)] = 0;
    for (int32_t& id : vertexUV)
        if (id == 0) id = take();
    for (uint32_t f : faces)
        for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1); ++c) ids[c] = vertexUV[g.getStartVertex(c)];
    g.markDirty(dirtyMoved);
    return true;
}

void TpolyUvProjFty::newGrpProjectDoPost2D(TpolyGeom* geom, const T2FloatPair& scale, const T2FloatPair& offset,
                                           double angle, uint32_t set) {
    if (!geom || uvwork::namedSet(*geom, set) == uvwork::kNone) return;
    TpolyGeom& g = *geom;
    const TsingleIndexedComponent* faces = g.objectGroupComponent(-1, kPolyGrpFace);
    if (!faces) return;
    g.update(dirtyFaceOffsets);
    TpolyMap& map = (*g.maps())[set];
    std::vector<bool> done(map.nbUV(), false);
    const uvwork::TuvAffine post(angle, scale.u, scale.v, offset.u, offset.v);
    for (uint32_t f : *faces) {
        if (f >= g.nbFace()) continue;
        for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1); ++c) {
            const int32_t id = map.getIndex(c);
            if (id < 0 || uint32_t(id) >= done.size() || done[uint32_t(id)]) continue;
            done[uint32_t(id)] = true;
            T2FloatPair& p = map.uvArray()[uint32_t(id)];
            float out[2];
            post.apply(p.u, p.v, out);
            p = {out[0], out[1]};
        }
    }
    g.markDirty(dirtyMoved);
}

T4dFltMatrix TpolyUvProjFty::frameRotation(float rotateY) const {
    return rotationMatrixXYZ(fRotateX, rotateY, fRotateZ);
}

void TpolyUvProjFty::postTransform(double ru, double rv, float out[2]) const {
    uvwork::TuvAffine(fAngle, fU2D, fV2D, fCen2DX, fCen2DY).apply(ru, rv, out);
}

int TpolyUvProjFty::action(TmidBody* body, TmidComponent* components) {
    std::vector<uint32_t> faces;
    if (!uvwork::activeIds(body, components, kPolyGrpFace, faces)) return -1;
    TpolyGeom& g = *body->polyGeom();
    uint32_t set = 0;
    if (!prepareToWorkOnCurrentMap(set, g)) return -1;
    g.update(dirtyFaceOffsets);
    std::erase_if(faces, [&](uint32_t f) { return f >= g.nbFace(); });
    Tint32Array vertexUV;
    if (!grpProjectBegin(&g, vertexUV, faces, set)) return -1;
    // Positions in the projection's space; the record's own positions stay as they are, and are
    // read in place when no matrix applies.
    std::vector<T3dFltPoint> moved;
    if (!fMatrix.isIdentity()) {
        moved.reserve(g.nbVertex());
        for (const T3dFltPoint& p : g.vertexArray()) moved.push_back(fMatrix.transformPoint(p));
    }
    project(body, faces, moved.empty() ? g.vertexArray().data() : moved.data(), vertexUV, set);
    grpProjectEnd(vertexUV);
    TpolyCompact::removeUnusedUVs(g, set);
    g.markDirty(dirtyMoved);
    return 0;
}

// --- Planar ------------------------------------------------------------------------------------

void TpolyPlanProjFty::project(TmidBody* body, const std::vector<uint32_t>&, const T3dFltPoint* points,
                               const Tint32Array& vertexUV, uint32_t set) {
    T2FloatArray& uvs = (*body->polyGeom()->maps())[set].uvArray();
    const uint32_t n = vertexUV.size();
    if (fPerspective) {
        // Camera projection: homogeneous image coordinates scaled to the image sizes, then the
        // whole result fitted into the unit square with its aspect ratio kept.
        uvwork::TuvBox box;
        std::vector<double> xy(2 * size_t(n), 0.0);
        const auto& m = fPerspectiveMatrix.m;
        for (uint32_t v = 0; v < n; ++v) {
            if (vertexUV[v] < 0) continue;
            const double p[4] = {points[v].x, points[v].y, points[v].z, 1.0};
            double q[4];
            for (int c = 0; c < 4; ++c) q[c] = p[0] * m[0][c] + p[1] * m[1][c] + p[2] * m[2][c] + p[3] * m[3][c];
            const bool atInfinity = q[3] >= -1e-10 && q[3] < 1e-10;
            const double x = atInfinity ? 3.4028234663852886e38 : q[0] / q[3];
            const double y = atInfinity ? 3.4028234663852886e38 : q[1] / q[3];
            xy[2 * v] = (x + 1) * fImageB / 2;
            xy[2 * v + 1] = (y + 1) * fImageA / 2;
            box.add(xy[2 * v], xy[2 * v + 1]);
        }
        double du = box.hi[0] - box.lo[0], dv = box.hi[1] - box.lo[1];
        if (du == 0) du = 1;
        if (dv == 0) dv = 1;
        const double k = 1 / std::max(du, dv);
        for (uint32_t v = 0; v < n; ++v)
            if (vertexUV[v] >= 0)
                uvs[uint32_t(vertexUV[v])] = {float((xy[2 * v] - box.lo[0]) * k),
                                              float((xy[2 * v + 1] - box.lo[1]) * k)};
        return;
    }
    const T4dFltMatrix r = frameRotation(RotateY());
    const double su = std::max(std::fabs(double(U())), 1e-5), sv = std::max(std::fabs(double(V())), 1e-5);
    double ax[3], ay[3];
    for (int c = 0; c < 3; ++c) {
        ax[c] = r.m[0][c];
        ay[c] = r.m[1][c];
    }
    const double a[3] = {2 * su * ax[0], 2 * su * ax[1], 2 * su * ax[2]};
    const double b[3] = {2 * sv * ay[0], 2 * sv * ay[1], 2 * sv * ay[2]};
    const double o[3] = {CenX() - su * ax[0] - sv * ay[0], CenY() - su * ax[1] - sv * ay[1],
                         CenZ() - su * ax[2] - sv * ay[2]};
    const double aa = dot3(a, a), bb = dot3(b, b);
    for (uint32_t v = 0; v < n; ++v) {
        if (vertexUV[v] < 0) continue;
        const double d[3] = {points[v].x - o[0], points[v].y - o[1], points[v].z - o[2]};
        float out[2];
        postTransform(2 * dot3(d, a) / aa - 1, 2 * dot3(d, b) / bb - 1, out);
        uvs[uint32_t(vertexUV[v])] = {out[0], out[1]};
    }
}

// --- Spherical and cylindrical -----------------------------------------------------------------

void TwrapFrame::raw(const T3dFltPoint& p, double& ru, double& rv, bool& atPole) const {
    double d[3] = {p.x - centre[0], p.y - centre[1], p.z - centre[2]};
    if (!cylindrical) {
        const double len = std::sqrt(dot3(d, d));
        if (len > 0)
            for (double& x : d) x /= len;
    }
    const double along = dot3(d, pole);
    const double q[3] = {d[0] - along * pole[0], d[1] - along * pole[1], d[2] - along * pole[2]};
    const double qLen = std::sqrt(dot3(q, q));
    double lambda = 0;
    atPole = qLen <= 1e-10;
    if (!atPole) {
        lambda = std::acos(std::clamp(dot3(q, ref) / qLen, -1.0, 1.0));
        // The turn from the reference axis to q must be about the pole axis for a positive
        // longitude: the unit normal of ref x q then equals the pole axis.
        double n[3] = {ref[1] * q[2] - ref[2] * q[1], ref[2] * q[0] - ref[0] * q[2], ref[0] * q[1] - ref[1] * q[0]};
        const double nLen = std::sqrt(dot3(n, n));
        const double turn = nLen > 0 ? dot3(n, pole) / nLen : 0;
        if (std::fabs(turn - 1) >= 1e-10) lambda = -lambda;
    }
    ru = lambda / sweep;
    rv = (cylindrical ? along : std::asin(std::clamp(along, -1.0, 1.0))) / extent;
}

void TpolyWrapProjFty::project(TmidBody* body, const std::vector<uint32_t>& faces, const T3dFltPoint* points,
                               const Tint32Array& vertexUV, uint32_t set) {
    const TwrapFrame wrap = frame();
    TpolyGeom& g = *body->polyGeom();
    T2FloatArray& uvs = (*g.maps())[set].uvArray();
    for (uint32_t v = 0; v < vertexUV.size(); ++v) {
        if (vertexUV[v] < 0) continue;
        double ru = 0, rv = 0;
        bool pole = false;
        wrap.raw(points[v], ru, rv, pole);
        T2FloatPair& out = uvs[uint32_t(vertexUV[v])];
        if (fSeamCorrect)
            out = {pole ? TpolySeamCorrectUtil::kPoleMarker : float(ru), float(rv)};
        else
            postTransform(ru, rv, &out.u);
    }
    if (!fSeamCorrect) return;
    const int32_t previous = g.getCurrentMap();
    g.setCurrentMap(set);
    TpolySeamCorrectUtil corrector(body);
    corrector.setFaces(faces);
    corrector.correctSeam();
    newGrpProjectDoPost2D(&g, {U2D(), V2D()}, {Cen2DX(), Cen2DY()}, Angle(), set);
    if (previous >= 0) g.setCurrentMap(uint32_t(previous));
}

namespace {

// The frame both wrapping projections start from: the rotation with RotateY brought into one
// turn either way, and the pole and reference axes it carries.
void wrapAxes(const T4dFltMatrix& r, TwrapFrame& frame) {
    const float y[3] = {0, 1, 0}, z[3] = {0, 0, 1};
    frameAxis(r, y, frame.pole);
    frameAxis(r, z, frame.ref);
}

float oneTurn(float angle) {
    if (angle > kTwoPiF) return angle - kTwoPiF;
    if (angle < -kTwoPiF) return angle + kTwoPiF;
    return angle;
}

}  // namespace

TwrapFrame TpolySphProjFty::frame() const {
    TwrapFrame wrap;
    wrap.centre[0] = CenX(), wrap.centre[1] = CenY(), wrap.centre[2] = CenZ();
    wrapAxes(frameRotation(oneTurn(RotateY())), wrap);
    wrap.sweep = std::max(std::fabs(double(U())), 1e-5) * kRadiansPerDegree;
    wrap.extent = std::max(std::fabs(double(V())), 1e-5) * kRadiansPerDegree;
    return wrap;
}

TwrapFrame TpolyCylProjFty::frame() const {
    TwrapFrame wrap;
    wrap.cylindrical = true;
    wrap.centre[0] = CenX(), wrap.centre[1] = CenY(), wrap.centre[2] = CenZ();
    const T4dFltMatrix r = frameRotation(oneTurn(RotateY()));
    wrapAxes(r, wrap);
    const double sweep = std::fabs(double(U()));
    wrap.sweep = (sweep == 0 ? 0.01 : std::max(sweep, 1e-5)) * kRadiansPerDegree;
    // The axis (0, height, 0) carried by the rotation; its unit vector is the pole axis.
    const double height = std::fabs(double(V())) == 0 ? 0.01 : std::fabs(double(V()));
    double axis[3];
    for (int c = 0; c < 3; ++c) axis[c] = height * r.m[1][c];
    const double len = std::sqrt(dot3(axis, axis));
    for (int c = 0; c < 3; ++c) wrap.pole[c] = len < 1e-10 ? (c == 1 ? 1.0 : 0.0) : axis[c] / len;
    wrap.extent = height;
    return wrap;
}
