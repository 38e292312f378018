#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/geom/PolyTypes.h"
#include "brindle/subdiv/SubdivLevel.h"

// The Catmull-Clark rules with semi-sharp creases, as passes over one level. Each pass writes one
// output per component of the level, indexed by relative id, and reads only the level's own
// positions, so outputs may point straight into the record's next level.
//
// Sharpness: sharp[e] is the crease value of edge e (-1: none) or sharp is null for no creases.
// A value is clamped to [0, 1] before use; where the clamped value is below 1e-4 the global
// smoothness replaces it by 1 - smoothness, so that smoothness 1 gives the plain rules and 0
// leaves uncreased components where linear subdivision puts them.
struct BRINDLE_API TccRuleInput {
    const TsubdivLevel* level = nullptr;
    const uint8_t* vertexFlags = nullptr;  // TsubdivFlag per vertex
    const uint8_t* edgeFlags = nullptr;    // TsubdivFlag per edge
    const uint8_t* edgeUses = nullptr;     // faces per edge (subdivEdgeUses)
    const double* sharp = nullptr;
    float smoothness = 1.0f;
};

// Working arrays of the vertex and edge passes, kept across levels to avoid reallocating.
struct BRINDLE_API TccRuleScratch {
    struct VertexSums {
        float f[3];  // sum of the face points around the vertex
        float r[3];  // sum of the other ends of the counted edges
        uint32_t n;  // faces around the vertex (one per corner)
        uint32_t k;  // counted edges
    };
    struct Creases {
        double sum;  // sum of the clamped values of the creased edges
        uint32_t m;  // creased edges (clamped value above 1e-5)
        uint32_t w[2];
    };
    std::vector<VertexSums> vertex;
    std::vector<Creases> creases;
    std::vector<T3dFltPoint> edgeFaceSum;
};

// Clamps a sharpness to [0, 1].
inline double ccClampSharpness(double s) { return s >= 1 ? 1.0 : (s > 0 ? s : 0.0); }
// The clamped sharpness with the smoothness substitution.
inline double ccEffectiveSharpness(double s, float smoothness) {
    const double c = ccClampSharpness(s);
    return c < 1e-4 ? 1.0 - smoothness : c;
}

// Face points: the edge-length-weighted centre of each face's outer loop.
BRINDLE_API void ccFacePoints(const TsubdivLevel& lv, T3dFltPoint* out);

// Edge points: the midpoint on border and hard edges; elsewhere, with s the edge's sharpness,
// s * midpoint + (1 - s) * (a + b + the face points of its faces) / (2 + faces).
BRINDLE_API void ccEdgePoints(const TccRuleInput& in, const T3dFltPoint* facePoints, TccRuleScratch& scratch,
                              T3dFltPoint* out);

// Vertex points. A vertex on a border or hard edge is restricted: only its border and hard
// edges count as neighbours. With m creased neighbours and s their mean sharpness:
//   m = 2: s * (3/4 P + 1/8 (w1 + w2)) + (1 - s) * S
//   m < 2, restricted: s * P + (1 - s) * (3/4 P + 1/4 mean of the counted neighbours)
//   otherwise: s * P + (1 - s) * S
// with the smooth rule S = P ((n - 2)/n + (k - 2)/k) / 2 + sum R / k^2 + sum F / n^2 over the
// n faces and k counted edges (they differ at non-manifold vertices). A vertex without faces or
// without counted edges (isolated, or only on wire edges) has no smooth rule: S is P itself, so
// it never divides by zero. Vertices whose flags meet fixedMask keep P.
BRINDLE_API void ccVertexPoints(const TccRuleInput& in, const T3dFltPoint* facePoints, uint8_t fixedMask,
                                TccRuleScratch& scratch, T3dFltPoint* out);

// The UV rules over one level of one UV set, in UV space. A face is mapped when its first corner
// has a UV of the level. An edge is a UV border (a seam) when its sides do not share both UV
// ids, when it has other than two faces, touches an unmapped face, or is listed in keptEdges.
//   face UVs: the centre of the face's outline UVs, of the kind asked for;
//   edge UVs: the midpoint of each side's UVs on a seam, elsewhere s * midpoint + (1 - s) *
//     (uvA + uvB + the face UVs of its faces) / (2 + faces) with the edge's sharpness s;
//   vertex UVs, with a = smoothness: on a seam vertex a (3/4 u + 1/4 mean of the seam
//     neighbours) + (1 - a) u; elsewhere u ((1 - 1/k - 1/n) a + 1 - a) + a (sum R / k^2 +
//     sum F / n^2) over k edges and the n faces of the vertex.
// A seam is kept (its UVs and those of its ends do not move) when keepAll, when it bounds fewer
// than two faces and keepBorder, when it bounds two or more and keepInterior, or when it is one
// of keptEdges. With smooth false every UV stays linear: copies, midpoints and face centres.
struct BRINDLE_API TccUVInput {
    const TsubdivLevel* level = nullptr;
    const T2FloatPair* uv = nullptr;      // the set's UVs (absolute ids)
    const int32_t* ids = nullptr;         // the UV id of each description offset
    uint32_t uvBase = 0, nbUV = 0;        // the level's UVs are [uvBase, uvBase + nbUV)
    const uint8_t* edgeUses = nullptr;    // faces per edge in the level
    const uint32_t* edgeFirst = nullptr;  // first use of each edge in the level
    const uint8_t* keptEdges = nullptr;   // nonzero: a kept seam; null: none
    const double* sharp = nullptr;
    float smoothness = 1.0f;
    TpolyFaceInfo centreKind = kFaceInfoCornerMean;
    bool smooth = true, keepAll = true, keepBorder = true, keepInterior = true;
};

// Results of the UV rules, with their working arrays, reused from level to level.
struct BRINDLE_API TccUVResult {
    std::vector<T2FloatPair> face;  // per face of the level, where mapped
    std::vector<uint8_t> faceMapped;
    std::vector<T2FloatPair> vertex;  // per UV of the level, relative to uvBase
    std::vector<uint8_t> vertexKept;  // the UV stays where it is
    // Per description offset of the level (relative to its first face's): the edge point of the
    // edge used there, on that side; edgeSet tells whether both ends of the side are mapped.
    std::vector<T2FloatPair> edge;
    std::vector<uint8_t> edgeSet;

    struct Sums {
        float rb[2], ri[2], f[2];
        uint32_t kb, ki, n;
        uint32_t vertex;
        uint8_t keep;
    };
    std::vector<Sums> sums;
    std::vector<int32_t> sideS, sideT;
    std::vector<uint8_t> seam, seamVertex;
    std::vector<uint32_t> facesAtVertex;
    std::vector<T2FloatPair> edgeFaceSum, edgeValue, loop;
};

BRINDLE_API void ccUVPoints(const TccUVInput& in, TccUVResult& out);

// Next-level sharpness of the two halves of every edge. Simple decay: both halves get
// max(c - 1, 0). Chain decay: the half at end j gets max((a_j + 3c)/4 - 1, 0), a_j the mean
// sharpness of the other creased edges at that end (0 when none). Uncreased edges give -1.
// out holds two values per edge: the half at the edge's start, then the one at its end.
BRINDLE_API void ccNextSharpness(const TsubdivLevel& lv, const double* sharp, bool chains, std::vector<double>& out);
