#pragma once

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "brindle/brindle.h"

// What every built surface must get right, read from the record alone (single-loop faces).
struct SurfaceFacts {
    uint32_t v = 0, e = 0, f = 0;
    uint32_t borderEdges = 0, badEdges = 0;  // used once; used twice the same way or more than twice
    uint32_t brokenChains = 0;               // corners whose edge does not end at the next corner
    uint32_t hard = 0;
    double volume = 0;  // signed, from the face fans
    bool idsPerCorner = true, allMapped = true;
};

inline SurfaceFacts inspectSurface(TpolyGeom& g) {
    SurfaceFacts s;
    g.update(dirtyFaceOffsets);
    s.v = g.nbVertex();
    s.e = g.nbEdge();
    s.f = g.nbFace();
    std::vector<int> forward(s.e), backward(s.e);
    for (uint32_t f = 0; f < s.f; ++f) {
        const uint32_t o = g.faceOffset(f), n = g.faceVertexCount(f);
        const T3dFltPoint p0 = g.vertexConst(g.getStartVertex(o));
        for (uint32_t k = 0; k < n; ++k) {
            ++(g.getDirection(o + k) == kForward ? forward : backward)[g.getEdge(o + k)];
            s.brokenChains += g.getEndVertex(o + k) != g.getStartVertex(o + (k + 1) % n);
            if (k == 0 || k + 1 == n) continue;
            const T3dFltPoint a = g.vertexConst(g.getStartVertex(o + k)),
                              b = g.vertexConst(g.getStartVertex(o + k + 1));
            s.volume += dot(p0, cross(a, b)) / 6.0;
        }
    }
    for (uint32_t e = 0; e < s.e; ++e) {
        const int uses = forward[e] + backward[e];
        if (uses == 1)
            ++s.borderEdges;
        else if (uses != 2 || forward[e] != 1)
            ++s.badEdges;
        if (g.isHard(e)) ++s.hard;
    }
    for (const TpolyMap& m : *g.maps()) {
        if (m.nbIndex() != g.faceDescLength()) s.idsPerCorner = false;
        for (uint32_t c = 0; c < m.nbIndex(); ++c)
            if (m.getIndex(c) < 0 || uint32_t(m.getIndex(c)) >= m.nbUV()) s.allMapped = false;
    }
    return s;
}

// A closed surface, every edge used once each way (so every face faces the same side), chained
// loops, the given Euler characteristic and a positive volume: every face faces outwards.
inline SurfaceFacts expectClosed(TpolyGeom& g, int euler) {
    const SurfaceFacts s = inspectSurface(g);
    EXPECT_EQ(s.borderEdges, 0u);
    EXPECT_EQ(s.badEdges, 0u);
    EXPECT_EQ(s.brokenChains, 0u);
    EXPECT_EQ(int(s.v) - int(s.e) + int(s.f), euler);
    EXPECT_GT(s.volume, 0.0);
    EXPECT_TRUE(s.idsPerCorner);
    return s;
}

// The same, with the expected vertex, edge and face counts.
inline SurfaceFacts expectClosed(TpolyGeom& g, int euler, uint32_t v, uint32_t e, uint32_t f) {
    const SurfaceFacts s = expectClosed(g, euler);
    EXPECT_EQ(s.v, v);
    EXPECT_EQ(s.e, e);
    EXPECT_EQ(s.f, f);
    return s;
}
