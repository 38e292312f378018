#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
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

// Next-level sharpness of the two halves of every edge. Simple decay: both halves get
// max(c - 1, 0). Chain decay: the half at end j gets max((a_j + 3c)/4 - 1, 0), a_j the mean
// sharpness of the other creased edges at that end (0 when none). Uncreased edges give -1.
// out holds two values per edge: the half at the edge's start, then the one at its end.
BRINDLE_API void ccNextSharpness(const TsubdivLevel& lv, const double* sharp, bool chains, std::vector<double>& out);
