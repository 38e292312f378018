#pragma once

#include "brindle/brindle.h"

// An n x n grid of unit quads filled through the record's append interface, as a host does:
// horizontal edges row by row, then vertical ones, each quad counter-clockwise.
inline void buildQuadGrid(TpolyGeom& g, uint32_t n) {
    const uint32_t row = n + 1;
    g.vertexBuffer(row * row);
    for (uint32_t j = 0; j <= n; ++j)
        for (uint32_t i = 0; i <= n; ++i) g.appendVertex(float(i), float(j), 0.0f);
    const uint32_t nHorizontal = row * n;
    g.edgeBuffer(nHorizontal + n * row);
    for (uint32_t j = 0; j <= n; ++j)
        for (uint32_t i = 0; i < n; ++i) g.appendEdge(j * row + i, j * row + i + 1);
    for (uint32_t j = 0; j < n; ++j)
        for (uint32_t i = 0; i <= n; ++i) g.appendEdge(j * row + i, (j + 1) * row + i);
    g.loopEdgeBuffer(4 * n * n);
    for (uint32_t j = 0; j < n; ++j)
        for (uint32_t i = 0; i < n; ++i) {
            g.bgnFace(4);
            g.refEdge(j * n + i, kForward);
            g.refEdge(nHorizontal + j * row + i + 1, kForward);
            g.refEdge((j + 1) * n + i, kReversed);
            g.refEdge(nHorizontal + j * row + i, kReversed);
            g.endLoop();
            g.endFace();
        }
}
