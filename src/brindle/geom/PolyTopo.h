#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/IffFile.h"
#include "brindle/base/Shared.h"
#include "brindle/geom/PolyTypes.h"

// Edge-to-face entry: the face on the left (forward use) and on the right (reversed use) of an
// edge. A side word is kNoFace, a face id (bit 30 clear), or with bit 30 set the index of the
// side's run in the non-manifold face list.
struct TpolyWingEdge {
    uint32_t side[2] = {TpolyBits::kNoFace, TpolyBits::kNoFace};
    bool operator==(const TpolyWingEdge&) const = default;
};

// Vertex-to-edge entry. Word 0: leaving edge (bits 0-29) or, with bit 30 set, the index of the
// vertex's run in the non-manifold edge list; bit 31 is the leaving edge's direction. Word 1: the
// vertex order (edge ends at the vertex).
struct TpolyVertexInfo {
    uint32_t edge = TpolyBits::kNoEdge;
    uint32_t order = 0;
    bool operator==(const TpolyVertexInfo&) const = default;
};

class TdebugOutput;

using TpolyEdgeArray = Tarray<TpolyEdge>;
using TpolyWingEdgeArray = Tarray<TpolyWingEdge>;
using TpolyVertexInfoArray = Tarray<TpolyVertexInfo>;

// Topology component of a record: the edges, the face description and face offsets, and the two
// adjacency tables derived from them. Invariant while the matching dirty bits are clear: the face
// offsets have nbFace + 1 entries ending with the description length, the edge-to-face table has
// one entry per edge and the vertex-to-edge table one per vertex.
class BRINDLE_API TpolyTopo {
public:
    TmtRefCounter fRefs;
    uint32_t fNbFace = 0;
    TpolyEdgeArray fEdges{256};
    TuInt32Array fFaceDesc{256};
    TuInt32Array fFaceOffsets{256};
    TpolyWingEdgeArray fEdgeToFace{256};
    TpolyVertexInfoArray fVertexToEdge{256};
    TuInt32Array fN2MFaces{32};
    TuInt32Array fN2MEdges{32};

    // Side words and list entries of the two adjacency tables.
    static constexpr uint32_t kNonManifold = 0x40000000u;  // side or vertex word holds a run index
    static constexpr uint32_t kRunIndexMask = 0x3FFFFFFFu;
    static constexpr uint32_t kRunEnd = 0x80000000u;     // last entry of a run
    static constexpr uint32_t kEdgeAtEnd = 0x40000000u;  // edge-list entry: the vertex is the edge's end
    static constexpr uint32_t kLeavingReversed = 0x80000000u;

    // Consistency check of the edges (flag 0x1, vertex ids below nbVertex), the face description
    // (0x2) and the face offsets (0x4): writes one line per problem to out and answers how many.
    uint32_t checkObject(TdebugOutput& out, unsigned int flags, unsigned int nbVertex) const;
    // Text dump (flags choose the lines); debugMe writes it to TdebugOutput::sCerr.
    void debug(TdebugOutput& out, unsigned int flags) const;
    static void debugMe(const TpolyTopo& t, unsigned int flags);

    // The edges (an int array of both raw words per edge) and the raw face description as binary
    // items. Reading replaces both and sets the face count to the entries carrying both end bits;
    // it answers null on a short chunk, leaving the topology as it was. Ids are not checked here.
    TiffStatus writeBinary(TiffFile& file) const;
    const void* readBinary(const void* cursor, int& size);

    // Rebuilds the face offsets from the end-of-face bits of the description.
    void completeTopoOffset();
    // Rebuilds the edge-to-face table and the non-manifold face list.
    void completeEdgeToFace();

    // Non-manifold face list: face id in bits 0-29, run end in bit 31.
    uint32_t getN2MFace(uint32_t i) const { return fN2MFaces[i] & kRunIndexMask; }
    // Replaces the face id and keeps the run-end bit.
    void setN2MFace(uint32_t i, uint32_t face) { fN2MFaces[i] = (fN2MFaces[i] & kRunEnd) | (face & kRunIndexMask); }
    void setEdgeEnd(uint32_t i) { fN2MFaces[i] |= kRunEnd; }
    bool isEdgeEnd(uint32_t i) const { return (fN2MFaces[i] & kRunEnd) != 0; }
    void N2MFaceBuffer(uint32_t n) { fN2MFaces.buffer(n); }
    // Non-manifold edge list: edge id in bits 0-29, bit 30 when the vertex is the edge's end.
    uint32_t getN2MEdge(uint32_t i) const { return fN2MEdges[i] & kRunIndexMask; }
    TedgeDirection getN2MEdgeDirection(uint32_t i) const { return (fN2MEdges[i] & kEdgeAtEnd) ? kReversed : kForward; }
    // Replaces edge id and direction and keeps the run-end bit.
    void setN2MEdge(uint32_t i, uint32_t edge, TedgeDirection d) {
        fN2MEdges[i] = (fN2MEdges[i] & kRunEnd) | (edge & kRunIndexMask) | (d == kReversed ? kEdgeAtEnd : 0);
    }
    void N2MEdgeBuffer(uint32_t n) { fN2MEdges.buffer(n); }
    // The side holds at most one face (no run in the non-manifold face list).
    bool isEdgeFace2Manifold(uint32_t e, Tside side) const {
        const uint32_t w = fEdgeToFace[e].side[side];
        return w == TpolyBits::kNoFace || !(w & kNonManifold);
    }
    // The side word names one face (not empty, not a run).
    static bool isSingleFace(uint32_t sideWord) { return sideWord < kNonManifold; }
};
