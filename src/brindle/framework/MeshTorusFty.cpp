#include "brindle/framework/MeshTorusFty.h"

#include <cmath>

#include "brindle/framework/MidBody.h"
#include "brindle/framework/RingMesh.h"
#include "brindle/geom/PolyGeom.h"

std::unique_ptr<TpolyGeom> TmeshTorusFty::createTorus() {
    setRadius(primitiveLength(radius(), 0.5f));
    setSection(primitiveLength(section(), 0.25f));
    setXSubdivide(primitiveCount(xSubdivide(), 3, 1000, 20));
    setYSubdivide(primitiveCount(ySubdivide(), 3, 1000, 20));
    const uint32_t nx = xSubdivide(), ny = ySubdivide();
    const float R = radius(), r = section(), t = twist();
    auto geom = std::make_unique<TpolyGeom>();
    TpolyGeom& g = *geom;

    // The tube table runs backwards like every circle table: entry ny - 1 - j is at angle j step.
    const TcircleTable around(nx), tube(ny);
    const float ct = std::cos(t), st = std::sin(t);
    for (uint32_t j = 0; j < ny; ++j) {
        const float c = tube.cosAt(ny - 1 - j), s = tube.sinAt(ny - 1 - j);
        const float cosA = ct * c - st * s, sinA = st * c + ct * s;
        around.appendRing(g.vertexArray(), R - r * cosA, r * sinA);
    }

    uint32_t s;
    const bool mapped = createUVSet(g, s, !texture()) && texture();
    const int32_t stride = int32_t(nx + 1);
    if (mapped) {
        TpolyMap& map = (*g.maps())[s];
        map.clearMap();
        for (uint32_t j = 0; j <= ny; ++j) {
            const float v = revTexture() ? float(j) / float(ny) : 1.0f - float(j) / float(ny);
            for (uint32_t i = 0; i <= nx; ++i) map.appendUV(float(i) / float(nx), v);
        }
    }
    TringMesh mesh(g, nx, s);
    // Ring j + 1 lies further round the tube, which points into the tube on its inside, so each
    // band is given from ring j + 1 back to ring j to face out of the tube.
    for (uint32_t j = 0; j < ny; ++j)
        mesh.band(((j + 1) % ny) * nx, j * nx, mapped ? int32_t(j + 1) * stride : -1, -stride);
    for (uint32_t j = 0; j < ny; ++j) {
        if (TcircleTable::hardDivisions(ny)) mesh.hardenRing(j * nx);
        if (TcircleTable::hardDivisions(nx)) mesh.hardenBand(j * nx, ((j + 1) % ny) * nx);
    }
    mesh.finish();
    g.markDirty(dirtyAll);
    return geom;
}

void TmeshTorusFty::build(TmidBody& body) { body.setMidBody(createTorus().release()); }
