#include "brindle/framework/MeshPrismFty.h"

#include "brindle/framework/MidBody.h"
#include "brindle/framework/RingMesh.h"
#include "brindle/geom/PolyGeom.h"

std::unique_ptr<TpolyGeom> TmeshPrismFty::createPrism() {
    setRadius(primitiveLength(radius(), 0.5f));
    setXSubdivide(primitiveCount(xSubdivide(), 3, 1000, 20));
    setYSubdivide(primitiveCount(ySubdivide(), 1, 10000, 1));
    if (zSubdivide() > 1000) setZSubdivide(1);
    const uint32_t nx = xSubdivide(), ny = ySubdivide(), nz = zSubdivide();
    const float R = radius(), H = height();
    const uint32_t capRings = nz > 0 ? nz - 1 : 0, rings = ny + 1 + 2 * capRings;
    auto geom = std::make_unique<TpolyGeom>();
    TpolyGeom& g = *geom;

    const TcircleTable table(nx);
    for (uint32_t k = 1; k < nz; ++k) table.appendRing(g.vertexArray(), float(k) * R / float(nz), -H / 2);
    for (uint32_t k = 0; k <= ny; ++k) table.appendRing(g.vertexArray(), R, -H / 2 + float(k) * H / float(ny));
    for (uint32_t k = capRings; k >= 1; --k) table.appendRing(g.vertexArray(), float(k) * R / float(nz), H / 2);
    const uint32_t bottomCentre = nz > 0 ? g.appendVertex(0, -H / 2, 0) : 0;
    const uint32_t topCentre = nz > 0 ? g.appendVertex(0, H / 2, 0) : 0;

    uint32_t s;
    const bool mapped = createUVSet(g, s, texture() != kSharedTexture && texture() != kFaceTexture) &&
                        (texture() == kSharedTexture || texture() == kFaceTexture);
    const int32_t stride = int32_t(nx + 1);
    int32_t centreUV = -1, discUV = -1;
    if (mapped) {
        TpolyMap& map = (*g.maps())[s];
        map.clearMap();
        TringMesh::appendRowGrid(map, rings, nx);
        centreUV = int32_t(map.appendUV(0.5f, 0.0f));
        map.appendUV(0.5f, 1.0f);
        discUV = TringMesh::appendDisc(map, table);
    }
    auto row = [&](uint32_t k) { return mapped ? int32_t(k) * stride : -1; };

    TringMesh mesh(g, nx, s);
    for (uint32_t k = 0; k + 1 < rings; ++k) mesh.band(k * nx, (k + 1) * nx, row(k), stride);
    const uint32_t last = (rings - 1) * nx;
    if (nz > 0) {
        mesh.fan(0, bottomCentre, false, row(0), centreUV, false);
        mesh.fan(last, topCentre, true, row(rings - 1), mapped ? centreUV + 1 : -1, false);
    } else {
        mesh.polygon(0, false, mapped ? discUV : -1);
        mesh.polygon(last, true, mapped ? discUV : -1);
    }
    const uint32_t bottomRim = capRings * nx, topRim = (capRings + ny) * nx;
    mesh.hardenRing(bottomRim);
    mesh.hardenRing(topRim);
    if (TcircleTable::hardDivisions(nx))
        for (uint32_t r = bottomRim; r < topRim; r += nx) mesh.hardenBand(r, r + nx);
    mesh.finish();
    if (mapped && texture() == kFaceTexture) (*g.maps())[s].unshareAll();
    g.markDirty(dirtyAll);
    return geom;
}

void TmeshPrismFty::build(TmidBody& body) { body.setMidBody(createPrism().release()); }
