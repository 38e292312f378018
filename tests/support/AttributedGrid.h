#pragma once

#include <memory>

#include "brindle/brindle.h"
#include "support/GridBuilder.h"
#include "support/ObjLoad.h"

// Records carrying every kind of attached data, for the tests of operations that must carry it
// along. The values encode the ids they were made for, so that after an edit each one can be
// traced back: a corner's "map1" UV is (vertex, 0.25), shared by the vertex's corners; its
// "map2" UV and its "colorSet1" colour are its own, (vertex, face) and (vertex, face, 0, 1).
// Groups: vertex group 5 (even vertices), edge group 4 (every third edge), face group 3 (even
// faces), vertex-face group 6 (each face's first corner); crease value 0.5 + e on every fifth
// edge e; one blind-data int per component holding its id (type kBdTypeId, name "id").
namespace attributed {

inline constexpr int32_t kBdTypeId = 7301;

inline void decorate(TpolyGeom& g) {
    g.update(dirtyFaceOffsets);
    const uint32_t shared = g.newEmptyMapSet(Tstring("map1"));
    const uint32_t own = g.newEmptyMapSet(Tstring("map2"));
    const uint32_t colours = g.newEmptyColorSet(Tstring("colorSet1"));
    for (uint32_t v = 0; v < g.nbVertex(); ++v) g.appendUV(float(v), 0.25f, shared);
    for (uint32_t f = 0; f < g.nbFace(); ++f)
        for (uint32_t o = g.faceOffset(f); o < g.faceOffset(f + 1); ++o) {
            const uint32_t v = g.getStartVertex(o);
            g.setUVId(o, int32_t(v), shared);
            g.setUVId(o, g.appendUV(float(v), float(f), own), own);
            g.setColorId(o, g.addLastColor(TpolyColorValue{float(v), float(f), 0, 1}, colours), colours);
        }
    const uint32_t vg = g.bgnGroup(5, kPolyGrpVertex), eg = g.bgnGroup(4, kPolyGrpEdge),
                   fg = g.bgnGroup(3, kPolyGrpFace);
    for (uint32_t v = 0; v < g.nbVertex(); v += 2) g.addElement(vg, v);
    for (uint32_t e = 0; e < g.nbEdge(); e += 3) g.addElement(eg, e);
    for (uint32_t f = 0; f < g.nbFace(); f += 2) g.addElement(fg, f);
    g.endGroup(vg);
    g.endGroup(eg);
    g.endGroup(fg);
    TlongDoubleIndexedComponent corners;
    for (uint32_t f = 0; f < g.nbFace(); ++f) corners.addElement(g.getStartVertex(g.faceOffset(f)), f);
    g.setObjectGroupComponent(6, kPolyGrpVertexFace, corners);
    TuInt32Array creased(256);
    TdoubleArray values(256);
    for (uint32_t e = 0; e < g.nbEdge(); e += 5) creased.addLast(e), values.addLast(0.5 + e);
    g.setCreaseEdges(creased, values);
    theBlindDataTable().addBd(kBdTypeId, "id", kBdInt);
    auto tag = [](TpolyBdBlindData& bd, uint32_t count) {
        for (uint32_t id = 0; id < count; ++id) {
            BD_dataHolder value{};
            value.i = int32_t(id);
            bd.addNewBlindDataElement(nullptr, kBdTypeId, "id", id, value);
        }
    };
    tag(*g.vertexBlindData(), g.nbVertex());
    tag(*g.edgeBlindData(), g.nbEdge());
    tag(*g.faceBlindData(), g.nbFace());
}

// An n x n grid of unit quads in the plane z = 0, decorated.
inline std::unique_ptr<TpolyGeom> grid(uint32_t n) {
    auto g = std::make_unique<TpolyGeom>();
    buildQuadGrid(*g, n);
    decorate(*g);
    return g;
}

// The unit cube of addUnitCube, decorated.
inline std::unique_ptr<TpolyGeom> cube() {
    auto g = std::make_unique<TpolyGeom>();
    addUnitCube(*g);
    decorate(*g);
    return g;
}

// Corners whose "map1" UV does not name their vertex, or whose "map2" UV and colour disagree
// with each other or with the vertex; 0 on a decorated record after any edit that keeps every
// corner on the values of the vertex it stands at.
inline int cornerErrors(TpolyGeom& g) {
    g.update(dirtyFaceOffsets);
    int errors = 0;
    for (uint32_t o = 0; o < g.faceDescLength(); ++o) {
        const float v = float(g.getStartVertex(o));
        float a[2], b[2], c[4];
        const bool ok = g.getUV(uint32_t(g.getUVId(o, 0)), a, 0) && g.getUV(uint32_t(g.getUVId(o, 1)), b, 1) &&
                        g.getColorByOffset(o, c, 0);
        if (!ok || a[0] != v || a[1] != 0.25f || b[0] != v || c[0] != v || c[1] != b[1]) ++errors;
    }
    return errors;
}

}  // namespace attributed
