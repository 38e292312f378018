#include "brindle/framework/PolyHelixFty.h"

#include <cmath>

#include "brindle/base/VectorMath.h"
#include "brindle/framework/CircleTable.h"
#include "brindle/framework/MidBody.h"
#include "brindle/framework/RingMesh.h"
#include "brindle/geom/PolyGeom.h"

namespace {

// Makes the helix's faces from vertex ids through a vertex builder, so neighbouring faces share
// their edges, and gives their corners UV ids: the shared ones passed in (texture 1), a new unit
// square or triangle per face (texture 2), or none.
class ThelixFaces {
public:
    ThelixFaces(TpolyGeom& geom, uint32_t set, TpolyHelixFty::TtexType tex)
        : fGeom(geom),
          fBuilder(&geom),
          fSet(set),
          fTex(set == TprimitiveFty::kNoSet ? TpolyHelixFty::kNoTexture : tex) {}

    void face(uint32_t n, const int32_t* vertices, const int32_t* shared) {
        int32_t own[4];
        const int32_t* uvs = nullptr;
        if (fTex == TpolyHelixFty::kSharedTexture) {
            uvs = shared;
        } else if (fTex == TpolyHelixFty::kFaceTexture) {
            static const float kSquare[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
            static const float kTriangle[3][2] = {{0, 0}, {1, 0}, {0.5f, 1}};
            TpolyMap& map = (*fGeom.maps())[fSet];
            for (uint32_t k = 0; k < n; ++k) {
                own[k] = int32_t(map.nbUV());
                const float* p = n == 4 ? kSquare[k] : kTriangle[k];
                map.appendUV(p[0], p[1]);
            }
            uvs = own;
        }
        fBuilder.createFace(n, vertices, uvs, true, fSet == TprimitiveFty::kNoSet ? 0 : fSet);
    }
    void harden(uint32_t a, uint32_t b) {
        uint32_t e;
        bool reversed;
        if (fBuilder.findEdge(a, b, e, reversed)) fGeom.setHard(e);
    }
    bool sharedUVs() const { return fTex == TpolyHelixFty::kSharedTexture; }

private:
    TpolyGeom& fGeom;
    TpolyVertexBuilder fBuilder;
    uint32_t fSet;
    TpolyHelixFty::TtexType fTex;
};

}  // namespace

void TpolyHelixFty::transformPoint(T3dFltPoint& result, const T3dFltPoint& point, float angle, TdirType dir) const {
    const float phi = dir == kCounterClockwise ? angle : -angle;
    const float c = std::cos(phi), s = std::sin(phi);
    const float rise = height() * angle / (numCoils() * kTwoPiF);
    result = T3dFltPoint(point.x * c + point.z * s, point.y + rise, -point.x * s + point.z * c);
}

std::unique_ptr<TpolyGeom> TpolyHelixFty::createHelix() {
    const float length = numCoils() * width() * kPiF;
    if (!(numCoils() >= 0.1f)) setNumCoils(0.1f);
    setRadius(primitiveLength(radius(), 0.4f));
    setWidth(primitiveLength(width(), 5.0f));
    setHeight(primitiveLength(height(), 5.0f));
    setXSubdivide(primitiveCount(xSubdivide(), 3, 1000, 8));
    setYSubdivide(primitiveCount(ySubdivide(), 1, 10000, 50));
    setZSubdivide(primitiveCount(zSubdivide(), 1, 1000, 1));
    return buildHelix(radius(), length, numCoils(), xSubdivide(), ySubdivide(), zSubdivide(), direction(), texture());
}

std::unique_ptr<TpolyGeom> TpolyHelixFty::buildHelix(float tubeRadius, float length, float coils, uint32_t nx,
                                                     uint32_t ny, uint32_t nz, TdirType dir, TtexType tex) const {
    const float turn = coils * kTwoPiF, coil = 0.5f * width();
    const float sign = dir == kCounterClockwise ? 1.0f : -1.0f;
    // The frame at the path's start: centre, N pointing away from the axis, B completing (N, B, T)
    // with the tangent T. Rings run from N towards -B so that the table order winds them
    // counter-clockwise about T, which makes the faces between consecutive rings point out.
    const T3dFltPoint centre(coil, -0.5f * height(), 0);
    const float pitch = height() / turn;
    const float bLength = std::sqrt(coil * coil + pitch * pitch);
    const float by = -sign * coil / bLength, bz = -pitch / bLength;

    auto geom = std::make_unique<TpolyGeom>();
    TpolyGeom& g = *geom;
    const uint32_t capRings = nz - 1, rings = ny + 1 + 2 * capRings;
    g.vertexBuffer(rings * nx + 2);
    const TcircleTable table(nx);
    // Ring vertices of the cross-section of radius rho at path angle theta, then a centre.
    auto addRing = [&](float rho, float theta) {
        const uint32_t first = g.nbVertex();
        for (uint32_t i = 0; i < nx; ++i) {
            const float c = table.cosAt(i), s = table.sinAt(i);
            const T3dFltPoint local(centre.x + rho * c, centre.y - rho * s * by, centre.z - rho * s * bz);
            T3dFltPoint p;
            transformPoint(p, local, theta, dir);
            g.appendVertex(p);
        }
        return first;
    };
    for (uint32_t j = 0; j <= ny; ++j) addRing(tubeRadius, turn * float(j) / float(ny));
    const uint32_t startCap = g.nbVertex();
    for (uint32_t k = 1; k < nz; ++k) addRing(tubeRadius * float(k) / float(nz), 0);
    const uint32_t endCap = g.nbVertex();
    for (uint32_t k = 1; k < nz; ++k) addRing(tubeRadius * float(k) / float(nz), turn);
    T3dFltPoint p;
    transformPoint(p, centre, 0, dir);
    const uint32_t startCentre = g.appendVertex(p);
    transformPoint(p, centre, turn, dir);
    const uint32_t endCentre = g.appendVertex(p);

    uint32_t s;
    createUVSet(g, s, true);
    ThelixFaces faces(g, s, tex);
    // Shared UVs: the tube as (ny + 1) rows of nx + 1 points, then per cap nz rows of nx + 1 points
    // on a disc beside it (row k - 1 at radius k / nz of the disc) and its centre.
    const int32_t stride = int32_t(nx + 1);
    int32_t tubeUV = 0, discUV[2] = {0, 0}, centreUV[2] = {0, 0};
    if (faces.sharedUVs()) {
        TpolyMap& map = (*g.maps())[s];
        map.dataBuffer(uint32_t(stride) * (ny + 1 + 2 * nz) + 2);
        const float vScale = length / (kTwoPiF * tubeRadius);
        tubeUV = int32_t(map.nbUV());
        for (uint32_t j = 0; j <= ny; ++j)
            for (uint32_t i = 0; i <= nx; ++i) map.appendUV(float(i) / float(nx), vScale * float(j) / float(ny));
        for (int cap = 0; cap < 2; ++cap) {
            const float cu = cap == 0 ? -0.6f : 1.6f;
            discUV[cap] = int32_t(map.nbUV());
            for (uint32_t k = 1; k <= nz; ++k)
                for (uint32_t i = 0; i <= nx; ++i) {
                    const float r = 0.5f * float(k) / float(nz);
                    map.appendUV(cu + r * table.cosAt(i % nx), 0.5f + r * table.sinAt(i % nx));
                }
            centreUV[cap] = int32_t(map.nbUV());
            map.appendUV(cu, 0.5f);
        }
    } else if (tex == kFaceTexture && s != kNoSet) {
        (*g.maps())[s].dataBuffer(nx * (4 * (ny + 2 * nz - 2) + 6));
    }

    for (uint32_t j = 0; j < ny; ++j)
        for (uint32_t i = 0; i < nx; ++i) {
            const uint32_t a = j * nx, b = a + nx, i1 = (i + 1) % nx;
            const int32_t v[4] = {int32_t(a + i), int32_t(a + i1), int32_t(b + i1), int32_t(b + i)};
            const int32_t k = tubeUV + int32_t(j) * stride + int32_t(i);
            const int32_t uv[4] = {k, k + 1, k + stride + 1, k + stride};
            faces.face(4, v, uv);
        }
    // Each cap as rings from the centre out to the tube's end ring: ring k (1..nz) at radius k/nz.
    // The start cap faces back along the path, the end cap forward.
    for (int cap = 0; cap < 2; ++cap) {
        const uint32_t firstRing = cap == 0 ? startCap : endCap, tubeRing = cap == 0 ? 0 : ny * nx;
        const uint32_t c = cap == 0 ? startCentre : endCentre;
        auto ring = [&](uint32_t k) { return k == nz ? tubeRing : firstRing + (k - 1) * nx; };
        for (uint32_t i = 0; i < nx; ++i) {
            const uint32_t i1 = (i + 1) % nx;
            const int32_t r1 = int32_t(ring(1)), d = discUV[cap] + int32_t(i);
            const int32_t v[3] = {r1 + int32_t(cap == 0 ? i1 : i), r1 + int32_t(cap == 0 ? i : i1), int32_t(c)};
            const int32_t uv[3] = {cap == 0 ? d + 1 : d, cap == 0 ? d : d + 1, centreUV[cap]};
            faces.face(3, v, uv);
            for (uint32_t k = 1; k < nz; ++k) {
                // From the inner ring to the outer one at the start, the other way at the end.
                const int32_t in = int32_t(ring(k)), out = int32_t(ring(k + 1));
                const int32_t du = d + int32_t(k - 1) * stride;
                if (cap == 0) {
                    const int32_t q[4] = {in + int32_t(i), in + int32_t(i1), out + int32_t(i1), out + int32_t(i)};
                    const int32_t quv[4] = {du, du + 1, du + stride + 1, du + stride};
                    faces.face(4, q, quv);
                } else {
                    const int32_t q[4] = {out + int32_t(i), out + int32_t(i1), in + int32_t(i1), in + int32_t(i)};
                    const int32_t quv[4] = {du + stride, du + stride + 1, du + 1, du};
                    faces.face(4, q, quv);
                }
            }
        }
    }

    const bool hardAlong = TcircleTable::hardDivisions(nx);
    const bool hardRings = TcircleTable::hardStep(turn / float(ny));
    for (uint32_t j = 0; j <= ny; ++j)
        for (uint32_t i = 0; i < nx; ++i) {
            const uint32_t a = j * nx;
            if (j == 0 || j == ny || hardRings) faces.harden(a + i, a + (i + 1) % nx);
            if (j < ny && hardAlong) faces.harden(a + i, a + nx + i);
        }
    if (s == kNoSet) g.maps()->clear();
    g.markDirty(dirtyAll);
    return geom;
}

void TpolyHelixFty::build(TmidBody& body) { body.setMidBody(createHelix().release()); }
