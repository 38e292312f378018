#include "brindle/framework/MeshMeshFty.h"

#include "brindle/framework/MidBody.h"
#include "brindle/framework/RingMesh.h"
#include "brindle/geom/PolyGeom.h"

// Edges are laid out directly: per row the nx horizontal edges, then (below the last row) the
// nx + 1 vertical edges to the next row, so E = (2nx + 1)ny + nx.
std::unique_ptr<TpolyGeom> TmeshMeshFty::createMesh() {
    setWidth(primitiveLength(width(), 1.0f));
    setHeight(primitiveLength(height(), 1.0f));
    setXSubdivide(primitiveCount(xSubdivide(), 1, 2048, 5));
    setYSubdivide(primitiveCount(ySubdivide(), 1, 2048, 5));
    const uint32_t nx = xSubdivide(), ny = ySubdivide(), row = nx + 1;
    const float W = width(), H = height();
    auto geom = std::make_unique<TpolyGeom>();
    TpolyGeom& g = *geom;
    g.vertexBuffer(row * (ny + 1));
    for (uint32_t j = 0; j <= ny; ++j)
        for (uint32_t i = 0; i <= nx; ++i)
            g.appendVertex(float(i) * W / float(nx) - W / 2, float(j) * H / float(ny) - H / 2, 0.0f);
    g.edgeBuffer((2 * nx + 1) * ny + nx);
    const uint32_t perRow = 2 * nx + 1;
    for (uint32_t j = 0; j <= ny; ++j) {
        for (uint32_t i = 0; i < nx; ++i) g.appendEdge(j * row + i, j * row + i + 1);
        if (j < ny)
            for (uint32_t i = 0; i <= nx; ++i) g.appendEdge(j * row + i, (j + 1) * row + i);
    }
    uint32_t s;
    const bool mapped = createUVSet(g, s, texture() == kNoTexture) && texture() != kNoTexture;
    if (mapped) {
        TpolyMap& map = (*g.maps())[s];
        map.clearMap();
        for (uint32_t j = 0; j <= ny; ++j)
            for (uint32_t i = 0; i <= nx; ++i) map.appendUV(float(i) / float(nx), float(j) / float(ny));
    }
    g.loopEdgeBuffer(4 * nx * ny);
    for (uint32_t j = 0; j < ny; ++j)
        for (uint32_t i = 0; i < nx; ++i) {
            const uint32_t h = j * perRow + i, v = j * perRow + nx + i;
            g.bgnFace(4);
            g.refEdge(h, kForward);
            g.refEdge(v + 1, kForward);
            g.refEdge(h + perRow, kReversed);
            g.refEdge(v, kReversed);
            g.endLoop();
            g.endFace();
            const int32_t k = int32_t(j * row + i);
            if (s != kNoSet) {
                if (mapped)
                    MapQuadFacet(g, k, k + 1, k + int32_t(row) + 1, k + int32_t(row), s);
                else
                    MapQuadFacet(g, -1, -1, -1, -1, s);
            }
        }
    g.markDirty(dirtyAll);
    return geom;
}

void TmeshMeshFty::build(TmidBody& body) { body.setMidBody(createMesh().release()); }
