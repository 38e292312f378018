#include "brindle/framework/MeshConeFty.h"

#include "brindle/framework/MidBody.h"
#include "brindle/framework/RingMesh.h"
#include "brindle/geom/PolyGeom.h"

std::unique_ptr<TpolyGeom> TmeshConeFty::createCone() {
    setRadius(primitiveLength(radius(), 0.5f));
    setXSubdivide(primitiveCount(xSubdivide(), 3, 1000, 20));
    setYSubdivide(primitiveCount(ySubdivide(), 1, 1000, 1));
    if (zSubdivide() > 1000) setZSubdivide(0);
    const uint32_t nx = xSubdivide(), ny = ySubdivide(), nz = zSubdivide();
    const float R = radius(), H = height();
    const uint32_t rings = (nz > 0 ? nz - 1 : 0) + ny;  // cap rings, base ring, side rings
    auto geom = std::make_unique<TpolyGeom>();
    TpolyGeom& g = *geom;

    const TcircleTable table(nx);
    for (uint32_t k = 1; k < nz; ++k) table.appendRing(g.vertexArray(), float(k) * R / float(nz), -H / 2);
    const uint32_t base = g.nbVertex();
    for (uint32_t k = 0; k < ny; ++k)
        table.appendRing(g.vertexArray(), R - float(k) * R / float(ny), -H / 2 + float(k) * H / float(ny));
    const uint32_t centre = nz > 0 ? g.appendVertex(0, -H / 2, 0) : 0;
    const uint32_t apex = g.appendVertex(0, H / 2, 0);

    uint32_t s;
    const bool mapped = createUVSet(g, s, !texture()) && texture();
    const int32_t stride = int32_t(nx + 1);
    int32_t centreUV = -1, apexUV = -1, discUV = -1;
    if (mapped) {
        TpolyMap& map = (*g.maps())[s];
        map.clearMap();
        TringMesh::appendRowGrid(map, rings, nx);
        centreUV = int32_t(map.appendUV(0.5f, 0.0f));
        apexUV = int32_t(map.nbUV());
        for (uint32_t i = 0; i < nx; ++i) map.appendUV((float(i) + 0.5f) / float(nx), 1.0f);
        discUV = TringMesh::appendDisc(map, table);
    }
    auto row = [&](uint32_t k) { return mapped ? int32_t(k) * stride : -1; };

    TringMesh mesh(g, nx, s);
    for (uint32_t k = 0; k + 1 < rings; ++k) mesh.band(k * nx, (k + 1) * nx, row(k), stride);
    mesh.fan((rings - 1) * nx, apex, true, row(rings - 1), apexUV, true);
    if (nz > 0)
        mesh.fan(0, centre, false, row(0), centreUV, false);
    else
        mesh.polygon(base, false, mapped ? discUV : -1);
    mesh.hardenRing(base);
    if (TcircleTable::hardDivisions(nx)) {
        for (uint32_t k = base / nx; k + 1 < rings; ++k) mesh.hardenBand(k * nx, (k + 1) * nx);
        mesh.hardenFan((rings - 1) * nx, apex);
    }
    mesh.finish();
    g.markDirty(dirtyAll);
    return geom;
}

void TmeshConeFty::build(TmidBody& body) { body.setMidBody(createCone().release()); }
