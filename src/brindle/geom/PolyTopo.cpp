#include "brindle/geom/PolyTopo.h"

void TpolyTopo::completeTopoOffset() {
    fFaceOffsets.clear();
    fFaceOffsets.buffer(fNbFace + 1);
    fFaceOffsets.addLast(0);
    const uint32_t n = fFaceDesc.size();
    for (uint32_t o = 0; o < n; ++o)
        if (fFaceDesc[o] & TpolyBits::kEndOfFace) fFaceOffsets.addLast(o + 1);
    // A description whose last face lacks its end bit still ends at the description length.
    if (fFaceOffsets.last() != n) fFaceOffsets.addLast(n);
}

// Edge-to-face in two passes. The first stores each face on the side of its use and counts, on
// sides used more than once, how many faces they carry (bit 30 + count). Runs in the non-manifold
// face list are then laid out in edge order, left before right, and the second pass fills each run
// in face order, the side word serving as the run's fill cursor so that a side of many faces costs
// no rescans; a last sweep turns the cursors back into run starts. Invariant after the call: a side
// word is kNoFace, a face id, or bit 30 plus the index of a run whose last entry has bit 31 set.
void TpolyTopo::completeEdgeToFace() {
    constexpr uint32_t kEmpty = 0x7FFFFFFFu;
    const uint32_t nEdge = fEdges.size(), n = fFaceDesc.size();
    fEdgeToFace.changeLogicalSizeTo(nEdge);
    for (TpolyWingEdge& w : fEdgeToFace) w = TpolyWingEdge();
    fN2MFaces.clear();

    uint64_t total = 0;
    uint32_t face = 0;
    TpolyWingEdge* wings = fEdgeToFace.data();
    const uint32_t* desc = fFaceDesc.data();
    for (uint32_t o = 0; o < n; ++o) {
        const uint32_t entry = desc[o];
        const uint32_t e = entry & TpolyBits::kEdgeMask;
        if (e < nEdge) {
            uint32_t& side = wings[e].side[entry >> 31];
            if (side == TpolyBits::kNoFace) {
                side = face;
            } else if (!(side & kNonManifold)) {
                side = kNonManifold | 2;
                total += 2;
            } else {
                ++side;
                ++total;
            }
        }
        if (entry & TpolyBits::kEndOfFace) ++face;
    }
    if (total == 0) return;

    auto forEachRunSide = [&](auto&& fn) {
        for (TpolyWingEdge& w : fEdgeToFace)
            for (uint32_t& side : w.side)
                if (side != TpolyBits::kNoFace && (side & kNonManifold)) fn(side);
    };
    fN2MFaces.changeLogicalSizeTo(static_cast<uint32_t>(total));
    for (uint32_t& f : fN2MFaces) f = kEmpty;
    uint32_t next = 0;
    forEachRunSide([&](uint32_t& side) {
        const uint32_t count = side & kRunIndexMask;
        fN2MFaces[next + count - 1] |= kRunEnd;
        side = kNonManifold | next;
        next += count;
    });

    face = 0;
    uint32_t* runs = fN2MFaces.data();
    for (uint32_t o = 0; o < n; ++o) {
        const uint32_t entry = desc[o];
        const uint32_t e = entry & TpolyBits::kEdgeMask;
        if (e < nEdge) {
            uint32_t& side = wings[e].side[entry >> 31];
            if (side & kNonManifold) {  // never kNoFace here: the first pass stored a face or a count
                const uint32_t at = side & kRunIndexMask;
                runs[at] = (runs[at] & kRunEnd) | face;
                ++side;
            }
        }
        if (entry & TpolyBits::kEndOfFace) ++face;
    }
    // Each cursor now sits one past its run, which is where the next run in layout order begins.
    next = 0;
    forEachRunSide([&](uint32_t& side) {
        const uint32_t end = side & kRunIndexMask;
        side = kNonManifold | next;
        next = end;
    });
}
