#include "brindle/framework/MeshBoxFty.h"

#include <limits>

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"

namespace {

// Ids of the box's vertices, edges and UV points, computed from the grid counts alone.
//
// The ring is R = 2(ny + nz) rows of nx + 1 vertices around the x axis (front rows from y = -H/2
// up, top rows from z = D/2 back, back rows from y = H/2 down, bottom rows from z = -D/2 forward);
// row R - 1 closes onto row 0. Ring row edges come first (nx per row), then the column edges from
// row r to row r + 1 (nx + 1 per row, the last row's going back to row 0).
//
// Each side (0: x = W/2, 1: x = -W/2) is a grid of points (a, b), a = 0..nz along z from -D/2,
// b = 0..ny along y from -H/2. Its border points are ring vertices of column nx (side 0) or 0
// (side 1) and its border edges are that column's edges; only the inner points and inner edges are
// the side's own. A side's own edges are its z-direction edges (a, b)-(a + 1, b) for b = 1..ny - 1,
// then its y-direction edges (a, b)-(a, b + 1) for a = 1..nz - 1.
struct TboxIds {
    struct Use {
        uint32_t edge;
        bool reversed;
        Use inverted() const { return {edge, !reversed}; }
    };

    uint32_t nx, ny, nz, rows;

    TboxIds(uint32_t x, uint32_t y, uint32_t z) : nx(x), ny(y), nz(z), rows(2 * (y + z)) {}

    uint32_t ringVertex(uint32_t r, uint32_t c) const { return r * (nx + 1) + c; }
    uint32_t rowEdge(uint32_t r, uint32_t c) const { return r * nx + c; }
    uint32_t columnEdge(uint32_t r, uint32_t c) const { return rows * nx + r * (nx + 1) + c; }
    uint32_t sideColumn(uint32_t side) const { return side == 0 ? nx : 0; }
    uint32_t ownSideEdges() const { return 2 * ny * nz - ny - nz; }
    uint32_t sideEdgeBase(uint32_t side) const { return rows * (2 * nx + 1) + side * ownSideEdges(); }

    uint32_t sideVertex(uint32_t side, uint32_t a, uint32_t b) const {
        const uint32_t c = sideColumn(side);
        if (b == 0) return ringVertex((2 * ny + nz + a) % rows, c);
        if (b == ny) return ringVertex(ny + nz - a, c);
        if (a == nz) return ringVertex(b, c);
        if (a == 0) return ringVertex(2 * ny + nz - b, c);
        return rows * (nx + 1) + side * (ny - 1) * (nz - 1) + (b - 1) * (nz - 1) + (a - 1);
    }
    // The use of the edge from (a, b) to (a + 1, b).
    Use zEdge(uint32_t side, uint32_t a, uint32_t b) const {
        const uint32_t c = sideColumn(side);
        if (b == 0) return {columnEdge(2 * ny + nz + a, c), false};
        if (b == ny) return {columnEdge(ny + nz - a - 1, c), true};
        return {sideEdgeBase(side) + (b - 1) * nz + a, false};
    }
    // The use of the edge from (a, b) to (a, b + 1).
    Use yEdge(uint32_t side, uint32_t a, uint32_t b) const {
        const uint32_t c = sideColumn(side);
        if (a == nz) return {columnEdge(b, c), false};
        if (a == 0) return {columnEdge(2 * ny + nz - b - 1, c), true};
        return {sideEdgeBase(side) + nz * (ny - 1) + b * (nz - 1) + (a - 1), false};
    }
    // The four edge uses of side cell (a, b), wound to face out of the box: side 1 runs
    // (a, b) -> (a + 1, b) -> (a + 1, b + 1) -> (a, b + 1), side 0 the other way round.
    void sideCell(uint32_t side, uint32_t a, uint32_t b, Use out[4]) const {
        const Use u[4] = {zEdge(side, a, b), yEdge(side, a + 1, b), zEdge(side, a, b + 1).inverted(),
                          yEdge(side, a, b).inverted()};
        if (side == 1) {
            for (int k = 0; k < 4; ++k) out[k] = u[k];
        } else {
            out[0] = u[0].inverted();
            out[1] = u[3].inverted();
            out[2] = u[2].inverted();
            out[3] = u[1].inverted();
        }
    }
    // The grid points at the corners of side cell (a, b), in the order sideCell's uses start at.
    void sideCellCorners(uint32_t side, uint32_t a, uint32_t b, uint32_t corners[4][2]) const {
        const uint32_t one[4][2] = {{a, b}, {a + 1, b}, {a + 1, b + 1}, {a, b + 1}};
        const uint32_t zero[4][2] = {{a + 1, b}, {a, b}, {a, b + 1}, {a + 1, b + 1}};
        const uint32_t(&src)[4][2] = side == 1 ? one : zero;
        for (int k = 0; k < 4; ++k) {
            corners[k][0] = src[k][0];
            corners[k][1] = src[k][1];
        }
    }
};

void addQuad(TpolyGeom& geom, const TboxIds::Use u[4]) {
    geom.bgnFace(4);
    for (int k = 0; k < 4; ++k) geom.refEdge(u[k].edge, u[k].reversed);
    geom.endLoop();
    geom.endFace();
}

// The UV ids of a grid cell whose lower-left point is k, with row stride `stride`: the corner
// pattern every quad of the box uses.
void mapGridCell(TpolyGeom& geom, int32_t k, int32_t stride, uint32_t s) {
    TprimitiveFty::MapQuadFacet(geom, k, k + 1, k + stride + 1, k + stride, s);
}

// A range check that also catches NaN.
float checkedDimension(float v) { return v >= 1e-5f && v <= std::numeric_limits<float>::max() ? v : 1.0f; }
uint32_t checkedDivisions(uint32_t n) { return n >= 1 && n <= 1000 ? n : 1; }

}  // namespace

void TmeshBoxFty::checkParameters() {
    setWidth(checkedDimension(width()));
    setHeight(checkedDimension(height()));
    setDepth(checkedDimension(depth()));
    setXSubdivide(checkedDivisions(xSubdivide()));
    setYSubdivide(checkedDivisions(ySubdivide()));
    setZSubdivide(checkedDivisions(zSubdivide()));
}

std::unique_ptr<TpolyGeom> TmeshBoxFty::createBox() {
    checkParameters();
    const uint32_t nx = xSubdivide(), ny = ySubdivide(), nz = zSubdivide();
    const TboxIds ids(nx, ny, nz);
    const uint32_t q = (ny + nx) * nz + ny * nx;
    auto geom = std::make_unique<TpolyGeom>();
    TpolyGeom& g = *geom;
    g.vertexBuffer(2 * q + 2);
    g.edgeBuffer(4 * q);
    g.loopEdgeBuffer(8 * q);

    const float w = width(), h = height(), d = depth();
    const float dx = w / float(nx), dy = h / float(ny), dz = d / float(nz);
    for (uint32_t r = 0; r < ids.rows; ++r) {
        float y, z;
        if (r < ny) {
            y = -h / 2 + float(r) * dy;
            z = d / 2;
        } else if (r < ny + nz) {
            y = h / 2;
            z = d / 2 - float(r - ny) * dz;
        } else if (r < 2 * ny + nz) {
            y = h / 2 - float(r - ny - nz) * dy;
            z = -d / 2;
        } else {
            y = -h / 2;
            z = -d / 2 + float(r - 2 * ny - nz) * dz;
        }
        for (uint32_t c = 0; c <= nx; ++c) g.appendVertex(-w / 2 + float(c) * dx, y, z);
    }
    for (float x : {w / 2, -w / 2})
        for (uint32_t b = 1; b < ny; ++b)
            for (uint32_t a = 1; a < nz; ++a) g.appendVertex(x, -h / 2 + float(b) * dy, -d / 2 + float(a) * dz);

    // The rows 0, ny, ny + nz and 2ny + nz lie on the box edges parallel to x, the first and last
    // columns on the rims of the two sides.
    for (uint32_t r = 0; r < ids.rows; ++r) {
        const bool hard = r % (ny + nz) == 0 || (r + nz) % (ny + nz) == 0;
        for (uint32_t c = 0; c < nx; ++c) g.appendEdge(ids.ringVertex(r, c), ids.ringVertex(r, c + 1), hard);
    }
    for (uint32_t r = 0; r < ids.rows; ++r)
        for (uint32_t c = 0; c <= nx; ++c)
            g.appendEdge(ids.ringVertex(r, c), ids.ringVertex((r + 1) % ids.rows, c), c == 0 || c == nx);
    for (uint32_t side = 0; side < 2; ++side) {
        for (uint32_t b = 1; b < ny; ++b)
            for (uint32_t a = 0; a < nz; ++a) g.appendEdge(ids.sideVertex(side, a, b), ids.sideVertex(side, a + 1, b));
        for (uint32_t b = 0; b < ny; ++b)
            for (uint32_t a = 1; a < nz; ++a) g.appendEdge(ids.sideVertex(side, a, b), ids.sideVertex(side, a, b + 1));
    }

    for (uint32_t r = 0; r < ids.rows; ++r)
        for (uint32_t c = 0; c < nx; ++c) {
            const TboxIds::Use u[4] = {{ids.rowEdge(r, c), false},
                                       {ids.columnEdge(r, c + 1), false},
                                       {ids.rowEdge((r + 1) % ids.rows, c), true},
                                       {ids.columnEdge(r, c), true}};
            addQuad(g, u);
        }
    for (uint32_t side = 0; side < 2; ++side)
        for (uint32_t b = 0; b < ny; ++b)
            for (uint32_t a = 0; a < nz; ++a) {
                TboxIds::Use u[4];
                ids.sideCell(side, a, b, u);
                addQuad(g, u);
            }

    uint32_t s;
    if (createUVSet(g, s, texture() == kNoTexture) && texture() != kNoTexture) {
        if (texture() & kSharedLayout) createUVsForBox(g, s);
        if (texture() & kFaceLayout) createUVsForFaces(g, s);
    }
    g.markDirty(dirtyAll);
    return geom;
}

void TmeshBoxFty::build(TmidBody& body) { body.setMidBody(createBox().release()); }

void TmeshBoxFty::createUVsForFaces(TpolyGeom& geom, uint32_t s) const {
    const uint32_t nx = xSubdivide(), ny = ySubdivide(), nz = zSubdivide();
    TpolyMap& map = (*geom.maps())[s];
    map.clearMap();
    map.dataBuffer(2 * ((nz + 1) * (nx + ny + 2) + (ny + 1) * (nx + 1)));
    map.indexArray().buffer(geom.faceDescLength());
    // A grid of a by b cells: (a + 1)(b + 1) points, rows of constant v.
    auto appendGrid = [&map](uint32_t a, uint32_t b) {
        const int32_t first = int32_t(map.nbUV());
        for (uint32_t j = 0; j <= b; ++j)
            for (uint32_t i = 0; i <= a; ++i) map.appendUV(float(i) / float(a), float(j) / float(b));
        return first;
    };
    const uint32_t partRows[4] = {ny, nz, ny, nz};
    int32_t partGrid[4];
    for (int p = 0; p < 4; ++p) partGrid[p] = appendGrid(nx, partRows[p]);
    const int32_t sideGrid[2] = {appendGrid(nz, ny), appendGrid(nz, ny)};

    const int32_t ringStride = int32_t(nx + 1), sideStride = int32_t(nz + 1);
    for (int p = 0; p < 4; ++p)
        for (uint32_t j = 0; j < partRows[p]; ++j)
            for (uint32_t c = 0; c < nx; ++c) mapGridCell(geom, partGrid[p] + int32_t(j * (nx + 1) + c), ringStride, s);
    // Side 0 is seen from +x, where z decreases to the right: its rows take the cells mirrored.
    for (uint32_t side = 0; side < 2; ++side)
        for (uint32_t b = 0; b < ny; ++b)
            for (uint32_t a = 0; a < nz; ++a) {
                const uint32_t cell = side == 0 ? nz - 1 - a : a;
                mapGridCell(geom, sideGrid[side] + int32_t(b * (nz + 1) + cell), sideStride, s);
            }
}

void TmeshBoxFty::createUVsForBox(TpolyGeom& geom, uint32_t s) const {
    const uint32_t nx = xSubdivide(), ny = ySubdivide(), nz = zSubdivide();
    const TboxIds ids(nx, ny, nz);
    TpolyMap& map = (*geom.maps())[s];
    map.clearMap();
    map.dataBuffer((ids.rows + 1) * (nx + 1) + 2 * (ny + 1) * nz);
    map.indexArray().buffer(geom.faceDescLength());
    // The ring unrolled into one strip: front, top, back and bottom each take one unit of v.
    for (uint32_t r = 0; r <= ids.rows; ++r) {
        float v;
        if (r <= ny)
            v = float(r) / float(ny);
        else if (r <= ny + nz)
            v = 1 + float(r - ny) / float(nz);
        else if (r <= 2 * ny + nz)
            v = 2 + float(r - ny - nz) / float(ny);
        else
            v = 3 + float(r - 2 * ny - nz) / float(nz);
        for (uint32_t c = 0; c <= nx; ++c) map.appendUV(float(c) / float(nx), v);
    }
    // Each side unfolds from the front's edge at x = W/2 (u = 1, side 0 to the right) or x = -W/2
    // (u = 0, side 1 to the left); the column next to the front is the front's own.
    const int32_t sideFirst[2] = {int32_t(map.nbUV()), int32_t(map.nbUV() + (ny + 1) * nz)};
    for (uint32_t side = 0; side < 2; ++side)
        for (uint32_t j = 0; j <= ny; ++j)
            for (uint32_t i = 0; i < nz; ++i) {
                const float u = side == 0 ? 2 - float(i) / float(nz) : -1 + float(i) / float(nz);
                map.appendUV(u, float(j) / float(ny));
            }
    auto sidePoint = [&](uint32_t side, uint32_t a, uint32_t b) {
        if (a == nz) return int32_t(b * (nx + 1) + ids.sideColumn(side));
        return sideFirst[side] + int32_t(b * nz + a);
    };

    for (uint32_t r = 0; r < ids.rows; ++r)
        for (uint32_t c = 0; c < nx; ++c) mapGridCell(geom, int32_t(r * (nx + 1) + c), int32_t(nx + 1), s);
    for (uint32_t side = 0; side < 2; ++side)
        for (uint32_t b = 0; b < ny; ++b)
            for (uint32_t a = 0; a < nz; ++a) {
                uint32_t corner[4][2];
                ids.sideCellCorners(side, a, b, corner);
                MapQuadFacet(geom, sidePoint(side, corner[0][0], corner[0][1]),
                             sidePoint(side, corner[1][0], corner[1][1]), sidePoint(side, corner[2][0], corner[2][1]),
                             sidePoint(side, corner[3][0], corner[3][1]), s);
            }
}
