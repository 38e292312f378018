#include <algorithm>

#include "brindle/geom/PolyGeom.h"

namespace {
// Turns a used-flag per id into old id -> new id (all ones for an unused id), copies it into the
// caller's map when there is one, and answers the number of ids that stay.
uint32_t buildRenumbering(const TuInt32Array& used, TuInt32Array& renum, uint32_t* map) {
    renum.changeLogicalSizeTo(used.size());
    uint32_t next = 0;
    for (uint32_t i = 0; i < used.size(); ++i) renum[i] = used[i] ? next++ : TpolyBits::kNoId;
    if (map) std::copy(renum.begin(), renum.end(), map);
    return next;
}

// Keeps the elements whose new id is valid, in order, closing the gaps. New ids never exceed old
// ones, so moving forward in place is safe.
template <typename T>
void compact(Tarray<T>& values, const TuInt32Array& renum, uint32_t kept, bool pack) {
    for (uint32_t i = 0; i < renum.size(); ++i)
        if (renum[i] != TpolyBits::kNoId) values[renum[i]] = values[i];
    values.changeLogicalSizeTo(kept);
    if (pack) values.pack();
}
}  // namespace

uint32_t TpolyGeom::remUnusedVertex(bool renumberEdges, bool renumberGroups, bool pack, uint32_t* map) {
    const uint32_t n = nbVertex();
    TuInt32Array used(256), renum(256);
    used.create(n);
    for (const TpolyEdge& e : fTopo->fEdges) {
        if (e.start() < n) used[e.start()] = 1;
        if (e.end() < n) used[e.end()] = 1;
    }
    const uint32_t kept = buildRenumbering(used, renum, map);
    if (kept == n) return 0;
    compact(fVertex->fPoints, renum, kept, pack);
    if (renumberEdges)
        for (TpolyEdge& e : fTopo->fEdges) {
            if (e.start() < n) e.v[0] = (e.v[0] & TpolyBits::kHardFlag) | renum[e.start()];
            if (e.end() < n) e.v[1] = renum[e.end()];
        }
    if (renumberGroups) renumGrp(kPolyGrpVertex, n, renum.data());
    markDirty(dirtyAll);
    return n - kept;
}

uint32_t TpolyGeom::remUnusedEdges(bool renumberFaces, bool renumberGroups, bool pack, uint32_t* map) {
    const uint32_t n = nbEdge();
    TuInt32Array used(256), renum(256);
    used.create(n);
    for (uint32_t entry : fTopo->fFaceDesc) {
        uint32_t e = entry & TpolyBits::kEdgeMask;
        if (e < n) used[e] = 1;
    }
    const uint32_t kept = buildRenumbering(used, renum, map);
    if (kept == n) return 0;
    compact(fTopo->fEdges, renum, kept, pack);
    if (renumberFaces)
        for (uint32_t& entry : fTopo->fFaceDesc) {
            uint32_t e = entry & TpolyBits::kEdgeMask;
            if (e < n) entry = (entry & ~TpolyBits::kEdgeMask) | renum[e];
        }
    if (renumberGroups) renumGrp(kPolyGrpEdge, n, renum.data());
    markDirty(dirtyAll);
    return n - kept;
}
