#pragma once

#include <cmath>
#include <vector>

#include "ops/OpsTestSupport.h"

// Checks for the operations that renumber or cut a decorated record (support/AttributedGrid.h).
namespace cutops {

inline TpolyBdBlindData& blindDataOf(const TpolyGeom& g, TpolyGrpType kind) {
    return *(kind == kPolyGrpVertex ? g.vertexBlindData()
             : kind == kPolyGrpEdge ? g.edgeBlindData()
                                    : g.faceBlindData());
}

inline uint32_t countOf(const TpolyGeom& g, TpolyGrpType kind) {
    return kind == kPolyGrpVertex ? g.nbVertex() : kind == kPolyGrpEdge ? g.nbEdge() : g.nbFace();
}

// The first "id" blind-data value of every component of a kind, -1 where it has none.
inline std::vector<int32_t> blindIds(const TpolyGeom& g, TpolyGrpType kind) {
    std::vector<int32_t> ids(countOf(g, kind), -1);
    TbdDataPtrArray all;
    blindDataOf(g, kind).getBlindData(all);
    for (uint32_t i = all.size(); i-- > 0;)
        if (all[i].isLive() && all[i].componentId < ids.size()) ids[all[i].componentId] = all[i].value.i;
    return ids;
}

// Membership of every component of a kind in the group of that name and kind.
inline std::vector<char> members(const TpolyGeom& g, TpolyGrpType kind, int32_t name) {
    std::vector<char> in(countOf(g, kind), 0);
    if (const TsingleIndexedComponent* list = g.objectGroupComponent(name, kind))
        for (uint32_t id : *list)
            if (id < in.size()) in[id] = 1;
    return in;
}

// Faults in the renumbering of one kind from before to after: a map of the wrong length, a new id
// out of range or reached twice, a survivor whose blind data or membership of the decorated
// group of its kind did not follow it, a new component that no old one reaches but that carries
// blind data of a removed one (fewer comes first: after may hold components made by the edit,
// beyond the survivors' ids).
inline int mapFaults(const TpolyGeom& before, const TpolyGeom& after, const TuInt32Array& map, TpolyGrpType kind) {
    const int32_t group = kind == kPolyGrpVertex ? 5 : kind == kPolyGrpEdge ? 4 : 3;
    const uint32_t n = countOf(after, kind);
    if (map.size() != countOf(before, kind)) return 1000000;
    int faults = 0;
    std::vector<int> reached(n, 0);
    const std::vector<int32_t> idsBefore = blindIds(before, kind), idsAfter = blindIds(after, kind);
    const std::vector<char> inBefore = members(before, kind, group), inAfter = members(after, kind, group);
    for (uint32_t o = 0; o < map.size(); ++o) {
        const uint32_t m = map[o];
        if (m == TpolyBits::kNoId) continue;
        if (m >= n || reached[m]++) {
            ++faults;
            continue;
        }
        if (idsBefore[o] != idsAfter[m] || inBefore[o] != inAfter[m]) ++faults;
    }
    return faults;
}

// A survivor that is not at its old position under its new id.
inline int movedVertices(const TpolyGeom& before, const TpolyGeom& after, const TuInt32Array& map) {
    int faults = 0;
    for (uint32_t o = 0; o < map.size(); ++o)
        if (map[o] != TpolyBits::kNoId && map[o] < after.nbVertex() &&
            !(before.vertexConst(o) == after.vertexConst(map[o])))
            ++faults;
    return faults;
}

// On a decorated grid of side n (or a record cut from one, in its plane) every corner's values
// are linear in its position: the "map1" UV is (y (n + 1) + x, 0.25) and the "map2" u and the
// colour's red the same y (n + 1) + x. Answers the corners where they are not, so that a new
// corner's values must have been interpolated along the edge or the cut it lies on.
inline int gridCornerFaults(TpolyGeom& g, uint32_t n) {
    g.update(dirtyFaceOffsets);
    int faults = 0;
    for (uint32_t o = 0; o < g.faceDescLength(); ++o) {
        const T3dFltPoint& p = g.vertexConst(g.getStartVertex(o));
        const float expected = p.y * float(n + 1) + p.x;
        float a[2] = {-1, -1}, b[2] = {-1, -1}, c[4] = {-1, -1, -1, -1};
        g.getUV(uint32_t(g.getUVId(o, 0)), a, 0);
        g.getUV(uint32_t(g.getUVId(o, 1)), b, 1);
        g.getColorByOffset(o, c, 0);
        const float tol = 1e-3f * (1 + std::fabs(expected));
        if (std::fabs(a[0] - expected) > tol || a[1] != 0.25f || std::fabs(b[0] - expected) > tol ||
            std::fabs(c[0] - expected) > tol)
            ++faults;
    }
    return faults;
}

// Every UV id of every set names a UV, and every UV and colour is used by some corner.
inline int unusedOrDanglingAttributes(TpolyGeom& g) {
    int faults = 0;
    for (uint32_t s = 0; s < g.nbMapSet(); ++s) {
        std::vector<int> used(g.nbUV(s), 0);
        for (uint32_t o = 0; o < g.faceDescLength(); ++o) {
            const int32_t id = g.getUVId(o, s);
            if (id >= 0 && uint32_t(id) < used.size())
                used[uint32_t(id)] = 1;
            else if (id >= 0)
                ++faults;
        }
        for (int u : used) faults += u ? 0 : 1;
    }
    return faults;
}

}  // namespace cutops
