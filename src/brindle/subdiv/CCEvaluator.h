#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/subdiv/CCRules.h"
#include "brindle/subdiv/LinearPasses.h"
#include "brindle/subdiv/SubdivLevel.h"

class TpolyGeom;
class TpolyCatmullClarkHierarchy;
class TpolySmoothGeomOptions;

// Moves the vertices and UVs of every built level to their Catmull-Clark positions, coarse to
// fine, and writes the creases of each level from its parent's. Every child value is rewritten
// from its parents, so evaluating again after the base positions moved gives what a fresh build
// gives. Level-0 positions are never changed.
//
// Creases of levels past 0 are the evaluator's: it rewrites all of them (a sub-edge whose parent
// lost its crease loses its own), replacing the simple decay the builder stored.
class BRINDLE_API TpolyCCEvaluator {
public:
    TpolyCCEvaluator(TpolyGeom* record, const TpolyCatmullClarkHierarchy& hierarchy,
                     const TpolySmoothGeomOptions& options);
    virtual ~TpolyCCEvaluator() = default;
    virtual void evaluateHierarchy(unsigned int levels);

    // Flags of the level last evaluated (relative ids).
    bool isVertexBorder(uint32_t v) const { return fVertexFlags[v] & kSubdivBorder; }
    bool isEdgeBorder(uint32_t e) const { return fEdgeFlags[e] & kSubdivBorder; }
    bool isHardVertex(uint32_t v) const { return fVertexFlags[v] & kSubdivHard; }
    bool isHardEdge(uint32_t e) const { return fEdgeFlags[e] & kSubdivHard; }

protected:
    // Flags, edge uses and sharpness of level l.
    void prepareLevel(const TsubdivLevel& lv, uint32_t level);
    // UVs of set s from level l to l+1: smoothed by the UV rules, or linear (copies, edge
    // midpoints, face centres) when smooth is false.
    void evaluateUVs(const TsubdivLevel& lv, uint32_t level, uint32_t s, bool smooth);

    TpolyGeom& fRecord;
    const TpolyCatmullClarkHierarchy& fHierarchy;
    const TpolySmoothGeomOptions& fOptions;
    std::vector<uint8_t> fVertexFlags, fEdgeFlags, fEdgeUses;
    std::vector<uint32_t> fEdgeFirst;
    std::vector<double> fSharp, fNextSharp;
    bool fHasCreases = false;
    TccRuleScratch fScratch;
    TccUVResult fUV;
};

// The linear scheme: after the linear placement of each level, degree - 1 smoothing steps made
// of odd passes (each vertex to the mean of its rings) or even face and vertex passes (face
// means, then vertices to the mean of the faces around them), with the optional push-back
// toward the linear positions.
class BRINDLE_API TpolyNNEvaluator {
public:
    TpolyNNEvaluator(TpolyGeom* record, const TpolyCatmullClarkHierarchy& hierarchy,
                     const TpolySmoothGeomOptions& options);
    virtual ~TpolyNNEvaluator() = default;
    virtual void evaluateHierarchy(unsigned int levels);

protected:
    void pushBack(const TsubdivLevel& lv, uint32_t level, const std::vector<T3dFltPoint>& saved);

    TpolyGeom& fRecord;
    const TpolyCatmullClarkHierarchy& fHierarchy;
    const TpolySmoothGeomOptions& fOptions;
    TlinearPasses fPasses;
};
