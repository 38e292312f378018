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
// in face order. Invariant after the call: a side word is kNoFace, a face id, or bit 30 plus the
// index of a run whose last entry has bit 31 set.
void TpolyTopo::completeEdgeToFace() {
    constexpr uint32_t kN2M = 0x40000000u, kIndexMask = 0x3FFFFFFFu, kEmpty = 0x7FFFFFFFu, kLast = 0x80000000u;
    const uint32_t nEdge = fEdges.size(), n = fFaceDesc.size();
    fEdgeToFace.changeLogicalSizeTo(nEdge);
    for (TpolyWingEdge& w : fEdgeToFace) w = TpolyWingEdge();
    fN2MFaces.clear();

    uint64_t total = 0;
    uint32_t face = 0;
    for (uint32_t o = 0; o < n; ++o) {
        const uint32_t entry = fFaceDesc[o];
        const uint32_t e = entry & TpolyBits::kEdgeMask;
        if (e < nEdge) {
            uint32_t& side = fEdgeToFace[e].side[entry >> 31];
            if (side == TpolyBits::kNoFace) {
                side = face;
            } else if (!(side & kN2M)) {
                side = kN2M | 2;
                total += 2;
            } else {
                ++side;
                ++total;
            }
        }
        if (entry & TpolyBits::kEndOfFace) ++face;
    }
    if (total == 0) return;

    fN2MFaces.changeLogicalSizeTo(static_cast<uint32_t>(total));
    for (uint32_t& f : fN2MFaces) f = kEmpty;
    uint32_t next = 0;
    for (TpolyWingEdge& w : fEdgeToFace)
        for (uint32_t& side : w.side) {
            if (side == TpolyBits::kNoFace || !(side & kN2M)) continue;
            const uint32_t count = side & kIndexMask;
            fN2MFaces[next + count - 1] |= kLast;
            side = kN2M | next;
            next += count;
        }

    face = 0;
    for (uint32_t o = 0; o < n; ++o) {
        const uint32_t entry = fFaceDesc[o];
        const uint32_t e = entry & TpolyBits::kEdgeMask;
        if (e < nEdge) {
            const uint32_t side = fEdgeToFace[e].side[entry >> 31];
            if (side != TpolyBits::kNoFace && (side & kN2M)) {
                for (uint32_t i = side & kIndexMask;; ++i) {
                    if ((fN2MFaces[i] & kEmpty) == kEmpty) {
                        fN2MFaces[i] = (fN2MFaces[i] & kLast) | face;
                        break;
                    }
                    if (fN2MFaces[i] & kLast) break;
                }
            }
        }
        if (entry & TpolyBits::kEndOfFace) ++face;
    }
}
