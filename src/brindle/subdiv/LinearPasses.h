#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/subdiv/SubdivLevel.h"

// The smoothing passes of the linear scheme over one level, each reading the level's positions
// and writing every vertex of it at once (results are gathered before any is written):
//   odd pass: each vertex to the mean of the vertices within `rings` rings of it;
//   even pass: each face (and each border edge) to the mean of the vertices within rings - 1
//   rings of its corners, then each vertex to the mean of the values of its faces, its own
//   position weighing k(k - 4)/4 for a valence k other than 4.
// Rings grow through the faces around a vertex; a border vertex (on an edge of fewer than two
// faces of the level) grows its rings along border edges only, so borders smooth as curves.
// A vertex of no face is its own ring and does not move.
class BRINDLE_API TlinearPasses {
public:
    // Faces around each vertex and the border structure of lv; the passes need it first.
    void prepare(const TsubdivLevel& lv);
    void oddPass(const TsubdivLevel& lv, uint32_t rings, T3dFltPoint* out);
    void evenPass(const TsubdivLevel& lv, uint32_t rings, T3dFltPoint* out);

private:
    // Vertices within rings of the seed vertices, into fRing.
    void collectRing(const TsubdivLevel& lv, const uint32_t* seeds, uint32_t nSeeds, uint32_t rings, bool border);
    T3dFltPoint meanOfRing(const TsubdivLevel& lv) const;

    std::vector<uint32_t> fVertexFaceStart, fVertexFaces;  // faces around each vertex
    std::vector<uint32_t> fBorderStart, fBorderNbr;        // border neighbours of each vertex
    std::vector<uint32_t> fBorderEdges;                    // the border edges of the level
    std::vector<uint32_t> fBorderEdgeIndex;                // indices into it at each vertex
    std::vector<uint8_t> fBorderVertex;
    std::vector<uint32_t> fStamp, fRing, fSeeds;
    std::vector<T3dFltPoint> fFaceValue, fEdgeValue, fResult;
    uint32_t fStampValue = 0;
};

// The push-back move of a point from the displacements of the points it was interpolated from:
// the weighted sum of deltas[from[k]]; with blend w (averageNormals) not 0, its length is
// blended toward the weighted sum of their lengths, so that w = 1 keeps the interpolated length.
BRINDLE_API T3dFltPoint linearPushDelta(const T3dFltPoint* deltas, const uint32_t* from, const float* weights,
                                        uint32_t n, float w);
