#include "brindle/uv/LayoutUVFty.h"

#include <algorithm>
#include <cmath>

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyLayoutUVFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(
    TpolyLayoutUVFty::sMetaclass, kPolyGrpFace,
    {BRINDLE_MODIFIER_PARAM(TpolyLayoutUVFty, ScaleMode,
                            "0 keep the size; 1 scale uniformly into the unit square; 2 scale u and v each on its own",
                            0, 2),
     BRINDLE_MODIFIER_PARAM(TpolyLayoutUVFty, CutMode, "a shell also refuses a face whose UV edges would cross its own",
                            0, 1),
     BRINDLE_MODIFIER_PARAM(TpolyLayoutUVFty, MoveMode,
                            "0 leave the shells; 1 one row from u = 0; 2 pack them into rows", 0, 2),
     BRINDLE_MODIFIER_PARAM(TpolyLayoutUVFty, FlipReversed, "mirror in u a shell whose signed UV area is negative"),
     BRINDLE_MODIFIER_PARAM(TpolyLayoutUVFty, ExtraGap, "extra gap between shells", 0, 0.1),
     BRINDLE_MODIFIER_PARAM(TpolyLayoutUVFty, MapSet, "UV set to lay out; -1 for the current set", -1, 0)});

using uvwork::TuvBox;

// Calls fn(uvA, uvB) for every UV edge of the face, loop by loop (every corner mapped).
template <typename Fn>
void forFaceUVEdges(const TpolyGeom& g, uint32_t face, uint32_t set, Fn&& fn) {
    const TpolyMap& map = (*g.maps())[set];
    const uint32_t end = g.faceOffset(face + 1);
    for (uint32_t first = g.faceOffset(face); first < end;) {
        uint32_t last = first;
        while (!g.endOfLoop(last) && !g.endOfFace(last) && last + 1 < end) ++last;
        for (uint32_t c = first; c <= last; ++c) {
            const uint32_t next = c == last ? first : c + 1;
            fn(map.uvFloat(uint32_t(map.getIndex(c))), map.uvFloat(uint32_t(map.getIndex(next))));
        }
        first = last + 1;
    }
}

}  // namespace

bool TpolyLayoutUVFty::uvShared(const TpolyGeom* geom, uint32_t face, uint32_t edge, uint32_t neighbour, uint32_t set) {
    const TpolyGeom& g = *geom;
    for (uint32_t v : {g.startVertex(edge), g.endVertex(edge)}) {
        const uint32_t a = g.getVertexOffset(face, v), b = g.getVertexOffset(neighbour, v);
        if (a == uvwork::kNone || b == uvwork::kNone) return false;
        const int32_t ia = g.getUVId(a, set), ib = g.getUVId(b, set);
        if (ia < 0 || ia != ib) return false;
    }
    return true;
}

bool TpolyLayoutUVFty::selfIntersect(const TpolyGeom* geom, uint32_t face) {
    bool crossed = false;
    forFaceUVEdges(*geom, face, fSet,
                   [&](const float* a, const float* b) { crossed = crossed || fEdges.crosses(a, b); });
    return crossed;
}

void TpolyLayoutUVFty::addShellEdges(const TpolyGeom& geom, uint32_t face) {
    forFaceUVEdges(geom, face, fSet, [&](const float* a, const float* b) { fEdges.add(a, b); });
}

double TpolyLayoutUVFty::propagate(TpolyGeom* geom, uint32_t face, TfaceTraversal& walk, T2Float& cursor) {
    TpolyGeom& g = *geom;
    TpolyMap& map = (*g.maps())[fSet];
    fShellFaces.clear();
    fShellFaces.push_back(face);
    fAssigned.setBit(face);
    bool cutShell = false;
    if (fCutMode) {
        TuvBox box;
        for (uint32_t c = g.faceOffset(face); c < g.faceOffset(face + 1); ++c)
            box.add(map.uvArray()[uint32_t(map.getIndex(c))]);
        fEdges.reset(std::max(box.hi[0] - box.lo[0], box.hi[1] - box.lo[1]));
        addShellEdges(g, face);
    }
    walk.reset(face, false);
    for (uint32_t n = walk.next(); n != TpolyBits::kNoId; n = walk.next()) {
        if (!uvShared(&g, walk.fromFace(), walk.traversedEdge(), n, fSet)) {
            walk.rejectCurrentFaceFromThisEdge();
            continue;
        }
        if (fCutMode && selfIntersect(&g, n)) {
            walk.rejectCurrentFaceFromThisEdge();
            cutShell = true;
            continue;
        }
        fShellFaces.push_back(n);
        fAssigned.setBit(n);
        if (fCutMode) addShellEdges(g, n);
    }
    if (fFlipReversed) {
        fSignedArea = 0;
        for (uint32_t f : fShellFaces) fSignedArea += g.getUVFaceArea(f, fSet);
    }

    // The shell's UVs, each once, with the corners of the shell that use them; a UV some corner
    // outside uses too ties the shell to other faces.
    const auto collect = [&] {
        ++fStampNow;
        const size_t first = fShellUVs.size();
        bool shared = false;
        for (uint32_t f : fShellFaces)
            for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1); ++c) {
                const uint32_t id = uint32_t(map.getIndex(c));
                if (fStamp[id] != fStampNow) {
                    fStamp[id] = fStampNow;
                    fShellUVs.push_back(id);
                    fLocalCount[id] = 0;
                }
                ++fLocalCount[id];
            }
        for (size_t k = first; k < fShellUVs.size(); ++k)
            shared = shared || fLocalCount[fShellUVs[k]] < fUseCount[fShellUVs[k]];
        return shared;
    };
    const size_t shellStart = fShellUVs.size();
    if (collect() || cutShell) {
        fShellUVs.resize(shellStart);
        cutFree(g);
        collect();
    }
    fShellStart.push_back(uint32_t(shellStart));
    if (fMoveMode == 0) return -1;

    TuvBox box;
    for (size_t k = shellStart; k < fShellUVs.size(); ++k) box.add(map.uvArray()[fShellUVs[k]]);
    const double w = box.hi[0] - box.lo[0], h = box.hi[1] - box.lo[1];
    const bool mirror = fFlipReversed && fSignedArea < 0;
    for (size_t k = shellStart; k < fShellUVs.size(); ++k) {
        T2FloatPair& p = map.uvArray()[fShellUVs[k]];
        p.u = float(mirror ? box.hi[0] + cursor[0] - p.u : p.u + cursor[0] - box.lo[0]);
        p.v = float(p.v - box.lo[1]);
    }
    cursor[0] = float(cursor[0] + w);
    cursor[1] = float(h);
    return w * h;
}

// Cuts the shell free: every UV that a corner outside the shell uses too (across the shell's
// border, at a vertex it only touches, or in a face left out of it) is copied once for the
// shell's corners, so the shell owns its UVs and keeps its own sharing. The shell's local
// counts must be current; the corner counts follow the copies.
void TpolyLayoutUVFty::cutFree(TpolyGeom& g) {
    TpolyMap& map = (*g.maps())[fSet];
    std::vector<uint32_t> copied;
    for (uint32_t f : fShellFaces)
        for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1); ++c) {
            const uint32_t id = uint32_t(map.getIndex(c));
            if (id >= fLocalCount.size() || fLocalCount[id] >= fUseCount[id]) continue;
            if (fCopy[id] < 0) {
                const T2FloatPair p = map.uvArray()[id];
                fCopy[id] = int32_t(map.appendUV(p.u, p.v));
                copied.push_back(id);
            }
            map.indexArray()[c] = fCopy[id];
        }
    const uint32_t n = map.nbUV();
    fUseCount.resize(n, 0);
    fLocalCount.resize(n, 0);
    fStamp.resize(n, 0);
    fCopy.resize(n, -1);
    for (uint32_t id : copied) {
        fUseCount[id] -= fLocalCount[id];
        fUseCount[uint32_t(fCopy[id])] = fLocalCount[id];
        fCopy[id] = -1;
    }
    if (!copied.empty()) g.markDirty(dirtyMoved);
}

void TpolyLayoutUVFty::pack(TpolyGeom& g, double area) {
    constexpr uint32_t kCells = 512;
    T2FloatArray& uvs = (*g.maps())[fSet].uvArray();
    const double width = area > 0 ? 1.5 * std::sqrt(area) : 1.0, gap = fExtraGap * width;
    std::vector<double> heights(kCells, 0.0);
    double x = 0;
    fShellStart.push_back(uint32_t(fShellUVs.size()));
    for (size_t s = 0; s + 1 < fShellStart.size(); ++s) {
        TuvBox box;
        for (uint32_t k = fShellStart[s]; k < fShellStart[s + 1]; ++k) box.add(uvs[fShellUVs[k]]);
        if (box.empty()) continue;
        const double w = box.hi[0] + gap - box.lo[0], h = box.hi[1] + gap - box.lo[1];
        if (x + w > width) x = 0;
        const uint32_t c0 = std::min(uint32_t(x * kCells / width), kCells - 1);
        const uint32_t c1 = std::min(uint32_t((x + w) * kCells / width) + 1, kCells);
        double y = 0;
        for (uint32_t c = c0; c < c1; ++c) y = std::max(y, heights[c]);
        for (uint32_t k = fShellStart[s]; k < fShellStart[s + 1]; ++k) {
            T2FloatPair& p = uvs[fShellUVs[k]];
            p = {float(p.u + x - box.lo[0]), float(p.v + y - box.lo[1])};
        }
        for (uint32_t c = c0; c < c1; ++c) heights[c] = y + h;
        x = (c1 + 1.1) * width / kCells;
    }
}

void TpolyLayoutUVFty::scale(TpolyGeom& g, const std::vector<uint32_t>& faces) {
    g.setCurrentMap(fSet);
    TpolyMap& map = (*g.maps())[fSet];
    ++fStampNow;
    std::vector<uint32_t> used;
    TuvBox box;
    for (uint32_t f : faces)
        for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1); ++c) {
            const int32_t id = map.getIndex(c);
            if (id < 0 || fStamp[uint32_t(id)] == fStampNow) continue;
            fStamp[uint32_t(id)] = fStampNow;
            used.push_back(uint32_t(id));
            box.add(map.uvArray()[uint32_t(id)]);
        }
    if (box.empty()) return;
    double du = box.hi[0] - box.lo[0], dv = box.hi[1] - box.lo[1];
    if (fMoveMode == 2) {
        box.lo[0] -= du * fExtraGap;
        box.lo[1] -= dv * fExtraGap;
        du *= 2 * fExtraGap + 1;
        dv *= 2 * fExtraGap + 1;
    }
    if (fScaleMode == 1) du = dv = std::max(du, dv);
    if (!(du > 0)) du = 1;
    if (!(dv > 0)) dv = 1;
    for (uint32_t id : used) {
        T2FloatPair& p = map.uvArray()[id];
        p = {float((p.u - box.lo[0]) / du), float((p.v - box.lo[1]) / dv)};
    }
}

int TpolyLayoutUVFty::action(TmidBody* body, TmidComponent* components) {
    std::vector<uint32_t> faces;
    if (!uvwork::activeIds(body, components, kPolyGrpFace, faces)) return -1;
    TpolyGeom& g = *body->polyGeom();
    fSet = uvwork::resolveSet(g, uint32_t(fMapSet));
    if (fSet == uvwork::kNone) return 0;
    g.update(dirtyFaceOffsets | dirtyEdgeToFace);
    std::erase_if(faces, [&](uint32_t f) { return f >= g.nbFace(); });
    uvwork::fitIds(g, fSet);
    TpolyMap& map = (*g.maps())[fSet];
    const uint32_t nFace = g.nbFace(), nUV = map.nbUV();
    fUseCount.assign(nUV, 0);
    for (int32_t id : map.indexArray())
        if (id >= 0 && uint32_t(id) < nUV) ++fUseCount[uint32_t(id)];
    fLocalCount.assign(nUV, 0);
    fStamp.assign(nUV, 0);
    fStampNow = 0;
    fCopy.assign(nUV, -1);
    fAssigned.resizeArray(nFace);
    fShellUVs.clear();
    fShellStart.clear();

    // Faces outside the group and faces with an unmapped corner never join a shell.
    TbitFieldFixedN excluded(nFace);
    excluded.setAll();
    for (uint32_t f : faces) {
        bool mapped = true;
        for (uint32_t c = g.faceOffset(f); c < g.faceOffset(f + 1) && mapped; ++c) {
            const int32_t id = map.getIndex(c);
            mapped = id >= 0 && uint32_t(id) < nUV;
        }
        if (mapped) excluded.resetBit(f);
    }
    TfaceTraversal walk(&g);
    walk.excludeFaces(excluded);
    T2Float cursor = {0, 0};
    double area = 0;
    for (uint32_t f : faces)
        if (!excluded.testBit(f) && !fAssigned.testBit(f)) area += propagate(&g, f, walk, cursor);
    if (fMoveMode == 2) pack(g, area);
    if (fScaleMode != 0) scale(g, faces);
    g.markDirty(dirtyMoved);
    return 0;
}
