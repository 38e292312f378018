#include "brindle/framework/PolyPipeFty.h"

#include "brindle/framework/CircleTable.h"
#include "brindle/framework/MidBody.h"
#include "brindle/framework/RingMesh.h"
#include "brindle/geom/PolyGeom.h"

// A wall as thick as the radius (the default) or thicker would close the hole: it becomes half the
// radius.
void TpolyPipeFty::checkParameters() {
    setRadius(primitiveLength(radius(), 1.0f));
    setLength(primitiveLength(length(), 1.0f));
    const float t = thickness();
    if (!(t >= 1e-5f && t < radius())) setThickness(0.5f * radius());
    setXSubdivide(primitiveCount(xSubdivide(), 3, 1000, 3));
    setYSubdivide(primitiveCount(ySubdivide(), 1, 1000, 1));
    setZSubdivide(primitiveCount(zSubdivide(), 1, 1000, 1));
}

int32_t TpolyPipeFty::createPipeUVs(TpolyMap& map) const {
    const uint32_t nx = xSubdivide(), rows = 2 * (ySubdivide() + zSubdivide());
    const int32_t first = int32_t(map.nbUV());
    map.dataBuffer((rows + 1) * (nx + 1));
    for (uint32_t m = 0; m <= rows; ++m)
        for (uint32_t i = 0; i <= nx; ++i) map.appendUV(float(i) / float(nx), float(m) / float(rows));
    return first;
}

std::unique_ptr<TpolyGeom> TpolyPipeFty::createPipe() {
    checkParameters();
    const uint32_t nx = xSubdivide(), ny = ySubdivide(), nz = zSubdivide();
    const uint32_t rings = 2 * (ny + nz);
    const float outer = radius(), inner = radius() - thickness(), half = 0.5f * length();
    const float dy = length() / float(ny), dr = thickness() / float(nz);

    auto geom = std::make_unique<TpolyGeom>();
    TpolyGeom& g = *geom;
    g.vertexBuffer(rings * nx);
    g.loopEdgeBuffer(4 * rings * nx);
    uint32_t s;
    createUVSet(g, s, true);
    const int32_t uvBase = texture() && s != kNoSet ? createPipeUVs((*g.maps())[s]) : -1;

    const TcircleTable table(nx);
    TringMesh mesh(g, nx, s);
    TuInt32Array first;
    first.buffer(rings);
    for (uint32_t m = 0; m < rings; ++m) {
        float rho, y;
        if (m <= ny) {
            rho = outer;
            y = -half + float(m) * dy;
        } else if (m < ny + nz) {
            rho = outer - float(m - ny) * dr;
            y = half;
        } else if (m <= 2 * ny + nz) {
            rho = inner;
            y = half - float(m - ny - nz) * dy;
        } else {
            rho = inner + float(m - 2 * ny - nz) * dr;
            y = -half;
        }
        first.addLast(mesh.addRing(table, rho, y));
    }
    const int32_t stride = int32_t(nx + 1);
    for (uint32_t m = 0; m < rings; ++m)
        mesh.band(first[m], first[(m + 1) % rings], uvBase >= 0 ? uvBase + int32_t(m) * stride : -1, stride);

    for (uint32_t rim : {0u, ny, ny + nz, 2 * ny + nz}) mesh.hardenRing(first[rim]);
    if (TcircleTable::hardDivisions(nx))
        for (uint32_t m = 0; m < rings; ++m) mesh.hardenBand(first[m], first[(m + 1) % rings]);
    mesh.finish();
    g.markDirty(dirtyAll);
    return geom;
}

void TpolyPipeFty::build(TmidBody& body) { body.setMidBody(createPipe().release()); }
