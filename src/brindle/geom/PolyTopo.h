#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
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

    // Rebuilds the face offsets from the end-of-face bits of the description.
    void completeTopoOffset();
    // Rebuilds the edge-to-face table and the non-manifold face list.
    void completeEdgeToFace();
};
