#include "brindle/framework/MeshBallFty.h"

#include <cmath>

#include "brindle/base/VectorMath.h"
#include "brindle/framework/MidBody.h"
#include "brindle/framework/RingMesh.h"
#include "brindle/geom/PolyGeom.h"

std::unique_ptr<TpolyGeom> TmeshBallFty::createBall() {
    setRadius(primitiveLength(radius(), 0.5f));
    setXSubdivide(primitiveCount(xSubdivide(), 3, 10000, 20));
    setYSubdivide(primitiveCount(ySubdivide(), 3, 10000, 20));
    const uint32_t nx = xSubdivide(), ny = ySubdivide(), rings = ny - 1;
    const float r = radius();
    auto geom = std::make_unique<TpolyGeom>();
    TpolyGeom& g = *geom;
    g.vertexBuffer(rings * nx + 2);
    g.edgeBuffer((2 * ny - 1) * nx);
    g.loopEdgeBuffer(4 * nx * ny);

    // Ring k and ring ny - k are mirror images, so both take the height and radius of the lower one.
    const TcircleTable table(nx);
    const double step = kPi / double(ny);
    for (uint32_t k = 1; k <= rings; ++k) {
        const uint32_t low = std::min(k, ny - k);
        const float y = float(-double(r) * std::cos(double(low) * step));
        const float rho = float(double(r) * std::sin(double(low) * step));
        table.appendRing(g.vertexArray(), rho, k == low ? y : -y);
    }
    const uint32_t south = g.appendVertex(0, -r, 0), north = g.appendVertex(0, r, 0);

    auto ring = [nx](uint32_t k) { return (k - 1) * nx; };
    const bool hardRings = TcircleTable::hardDivisions(ny), hardMeridians = TcircleTable::hardDivisions(nx);
    for (uint32_t k = 1; k <= rings; ++k)
        for (uint32_t i = 0; i < nx; ++i) g.appendEdge(ring(k) + i, ring(k) + (i + 1) % nx, hardRings);
    for (uint32_t k = 1; k < rings; ++k)
        for (uint32_t i = 0; i < nx; ++i) g.appendEdge(ring(k) + i, ring(k + 1) + i, hardMeridians);
    for (uint32_t i = 0; i < nx; ++i) g.appendEdge(south, ring(1) + i, hardMeridians);
    for (uint32_t i = 0; i < nx; ++i) g.appendEdge(ring(rings) + i, north, hardMeridians);

    uint32_t s;
    const bool mapped = createUVSet(g, s, texture() == kNoTexture) && texture() != kNoTexture;
    int32_t grid = -1, southUV = -1, northUV = -1;
    if (mapped) {
        TpolyMap& map = (*g.maps())[s];
        map.clearMap();
        grid = TringMesh::appendRowGrid(map, rings, nx);
        southUV = int32_t(map.nbUV());
        if (texture() == kPolePerTriangle) {
            for (uint32_t i = 0; i < nx; ++i) map.appendUV((float(i) + 0.5f) / float(nx), 0.0f);
            northUV = int32_t(map.nbUV());
            for (uint32_t i = 0; i < nx; ++i) map.appendUV((float(i) + 0.5f) / float(nx), 1.0f);
        } else {
            map.appendUV(0.5f, 0.0f);
            northUV = int32_t(map.nbUV());
            map.appendUV(0.5f, 1.0f);
        }
    }
    const int32_t stride = int32_t(nx + 1);
    TringMesh mesh(g, nx, s);
    for (uint32_t k = 1; k < rings; ++k) mesh.band(ring(k), ring(k + 1), mapped ? int32_t(k - 1) * stride : -1, stride);
    const bool perTriangle = texture() == kPolePerTriangle;
    mesh.fan(ring(1), south, false, grid, southUV, perTriangle);
    mesh.fan(ring(rings), north, true, mapped ? int32_t(rings - 1) * stride : -1, northUV, perTriangle);
    mesh.finish();
    g.markDirty(dirtyAll);
    return geom;
}

void TmeshBallFty::build(TmidBody& body) { body.setMidBody(createBall().release()); }
