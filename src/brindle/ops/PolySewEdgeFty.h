#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/BlindData.h"
#include "brindle/base/Export.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/RemoverFty.h"

class TpolyGeom;

// Closes cracks: among the selected border edges (one face, 2-manifold at both ends) it pairs
// those whose end points lie within Threshold of each other and whose directions agree (cosine
// at least AngleThreshold), best pairs first, and fuses each pair into one edge used by both
// faces: the first edge of the pair survives, each of its end vertices moves to the midpoint of
// the two ends it was matched with, and the other edge's face uses it the way round that keeps
// both faces' orientation. A pair is fused only when that makes no edge with more than two faces,
// no duplicate edge and no face with a repeated corner (isOkForAction). Afterwards the edges and
// vertices that went are removed (the id maps send them to the survivors' new ids), the UVs
// along the sewn edges are sewn in every UV set when SewMap is set, and the sewn edges' smoothing
// comes from the angle between their faces.
class BRINDLE_API TpolySewEdgeFty : public TpolyRemoverFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolySewEdgeFty() = default;
    TpolySewEdgeFty(const TpolySewEdgeFty&) = default;
    TpolySewEdgeFty& operator=(const TpolySewEdgeFty&) = default;

    double Threshold() const { return fThreshold; }
    void setThreshold(double t) { fThreshold = t; }
    double AngleThreshold() const { return fAngleThreshold; }
    void setAngleThreshold(double a) { fAngleThreshold = a; }
    bool SewMap() const { return fSewMap; }
    void setSewMap(bool v) { fSewMap = v; }
    bool useOldArchitecture() const { return fOldArchitecture; }
    void setUseOldArchitecture(bool v) { fOldArchitecture = v; }
    // After an action with a matrix other than the identity this holds its inverse.
    const T4dDblMatrix& Matrix() const { return fMatrix; }
    void setMatrix(const T4dDblMatrix& m) { fMatrix = m; }

    // Sews the border edges of the edge group of that name (-1: the current one). With force the
    // distance and angle tests are skipped. Answers -1 when the group holds no usable border
    // edge, -2 when no pair lies within the distance, else the percentage (0 to 100) of the pairs
    // within the distance that failed the angle test. The blind-data lists are not needed: the
    // removal hooks carry every component's blind data themselves.
    int sewEdges(TpolyGeom* geom, int edgeGroup, TbdDataPtrArray* vertexData, TbdDataPtrArray* faceData, bool force);

    // The base removal and map, then every vertex (edge) fused into another mapped to the new id
    // of the one it joined.
    void handleUnusedVertices(TpolyGeom* geom) override;
    void handleUnusedEdges(TpolyGeom* geom) override;

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    // Writes the removal's map into out, each component fused into another sent to the new id of
    // the one it joined (when the fusion was on this record).
    void followRoots(const TpolyGeom* geom, TuInt32Array& map, TuInt32Array& root, TuInt32Array* out);

    double fThreshold = 0, fAngleThreshold = 0.1;
    bool fSewMap = true, fOldArchitecture = false;
    T4dDblMatrix fMatrix;

    // What the last sewEdges fused, valid for its record until the hooks have run.
    TpolyGeom* fGeom = nullptr;
    TuInt32Array fVertexRoot{256};  // per vertex: the vertex it was fused into, or itself
    TuInt32Array fEdgeRoot{256};    // per edge: the edge it was fused into, or itself
};

// Fuses two border edges into one through sewEdges, without the distance and angle tests; the
// fused vertices meet at their midpoints. MergeMode is kept with the parameters.
class BRINDLE_API TpolyMergeEdgeFty : public TpolyRemoverFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolyMergeEdgeFty() { setShouldClearCurrGroups(true); }

    short MergeMode() const { return fMergeMode; }
    void setMergeMode(short m) { fMergeMode = m; }
    int FirstEdge() const { return fFirst; }
    void setFirstEdge(int e) { fFirst = e; }
    int SecondEdge() const { return fSecond; }
    void setSecondEdge(int e) { fSecond = e; }
    bool MergeTexture() const { return fMergeTexture; }
    void setMergeTexture(bool v) { fMergeTexture = v; }

    // Whether two edges may be fused: both in range, different, each a border edge of one face
    // that is 2-manifold at both ends, of two different faces, and fusing them (ends matched so
    // that the two faces keep their orientation) neither collapses the edge, nor repeats a corner
    // in either face, nor doubles an edge already joining the fused ends. The last argument is
    // accepted for callers that choose a comparator by it; the rules are the same.
    static bool isOkForAction(TpolyGeom* geom, uint32_t edgeA, uint32_t edgeB, bool newArchitecture);

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    short fMergeMode = 2;
    int fFirst = -1, fSecond = -1;
    bool fMergeTexture = false;
};
