#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/framework/RemoverFty.h"
#include "brindle/reduce/QslimEdgeHeap.h"
#include "brindle/reduce/QuadricN.h"

class TpolyEditableGeom;
struct TfaceNode;
class Tcomputation;

// Reduces the faces of a body (or of the faces in a component list) by repeated edge collapse,
// cheapest first, the cost of a collapse being the quadric error of the merged vertex in a space
// that joins position, UV and colour, each scaled by its weight. Each vertex carries the sum of
// the plane quadrics of its faces (times the face area) and of the constraint planes of its held
// edges; an edge is priced with the sum of its two ends' quadrics, and a collapse merges them.
// The work runs on an editable copy of the record, converted back into a new record at the end,
// so the caller's id maps tell where every surviving component went.
class BRINDLE_API TpolyDecimateFty : public TpolyRemoverFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolyDecimateFty() = default;
    TpolyDecimateFty(const TpolyDecimateFty& other);
    TpolyDecimateFty& operator=(const TpolyDecimateFty& other);
    ~TpolyDecimateFty() override;

    // Share of the considered faces to remove, in percent; clamped into 0..100 by the action.
    double percentage() const { return fPercentage; }
    void setPercentage(double p) { fPercentage = p; }
    // After an interrupted run, the share actually removed.
    double percentageDone() const { return fPercentageDone; }
    void setPercentageDone(double p) { fPercentageDone = p; }
    // Smallest triangle compactness a collapse may leave without penalty; on above 1e-10.
    double compactness() const { return fCompactness; }
    void setCompactness(double c) { fCompactness = c; }
    void setVertexWeightCoefficient(double c) { fVertexWeightCoefficient = c; }
    void setGeomWeight(double w) { fGeomWeight = w; }
    void setUVWeight(double w) { fUVWeight = w; }
    void setRGBWeight(double w) { fRGBWeight = w; }
    // Stored only.
    int32_t decimationType() const { return fDecimationType; }
    void setDecimationType(int32_t t) { fDecimationType = t; }
    uint32_t vertexCount() const { return fVertexCount; }
    void setVertexCount(uint32_t n) { fVertexCount = n; }
    double vertReductionPerDecimation() const { return fVertReductionPerDecimation; }
    void setVertReductionPerDecimation(double v) { fVertReductionPerDecimation = v; }
    bool optimalVertexPlacement() const { return flag(kOptimalPlacement); }
    void setOptimalVertexPlacement(bool v) { setFlag(kOptimalPlacement, v); }

    bool keepGeometryBorder() const { return flag(kKeepGeometryBorder); }
    void setKeepGeometryBorder(bool v) { setFlag(kKeepGeometryBorder, v); }
    bool keepMapBorder() const { return flag(kKeepMapBorder); }
    void setKeepMapBorder(bool v) { setFlag(kKeepMapBorder, v); }
    bool keepHardEdges() const { return flag(kKeepHardEdges); }
    void setKeepHardEdges(bool v) { setFlag(kKeepHardEdges, v); }
    bool triangulate() const { return flag(kTriangulate); }
    void setTriangulate(bool v) { setFlag(kTriangulate, v); }
    // Per-vertex weights (not owned); setting an array switches vertex weighting on.
    void setWeightsArray(const TdoubleArray* weights) { fWeights = weights; }
    bool useVertexWeights() const { return fWeights != nullptr; }

protected:
    // 0 when the run finished, 1 when it was interrupted, -1 without a record or with a list
    // that is not a face list.
    int action(TmidBody* body, TmidComponent* components) override;

    void initialize(TpolyGeom* geom);
    // With the triangulate flag, replaces the record's faces of more than three corners by
    // triangles in place, noting in fPieceStart which run of new faces each old face became;
    // false (nothing changed, fPieceStart empty) when there is no such face.
    bool triangulateRecord(TpolyGeom* geom);
    void collectQuadrics();
    void collectFaceQuadric(uint32_t face);
    // The face's quadric into the quadric at vertex v, times the vertex's weight.
    void addToQuadricFace(uint32_t v, const TquadricN& q);
    // A constraint quadric into both ends of an edge.
    void addToQuadricEdge(uint32_t edge, const TquadricN& q);
    void constrainEdges();
    void computeEdgeCosts();
    void solveQuadric(uint32_t edge, TqSlimEdge& record);
    void validateVertexPosition(uint32_t edge, TqSlimEdge& record);
    // Whether moving a to position keeps every face around a that does not hold b from
    // flipping; compactness receives the smallest compactness of the moved triangles (2 when
    // none is moved).
    bool isGoodVertexPosition(uint32_t a, uint32_t b, const T3dFltPoint& position, float& compactness);
    void updateEdgeCosts(uint32_t vertex);
    // Collapsible: live, between two vertices, and every face on it is considered. Checked
    // afresh each time, since merged edges take over the faces of the edges they absorb.
    bool isValidEdge(uint32_t edge);
    int decimate(double percentage);
    // For every face on the edge, the UV ids at its two ends and where the merged UV goes: the
    // point of the segment between them at the merged position's fraction along the edge.
    void computeUVBoundaryPosition(uint32_t edge, const TqSlimEdge& record);
    bool isUVBorder(uint32_t edge, int32_t set);
    // Attribute ids of the corners at vertex v (each once) in one set of the current faces.
    void getSpanVertices(uint32_t v, bool colors);
    double evalUnoptimizedSharedQuadric(uint32_t edge, const TquadricN& q, TqSlimEdge& record);
    double evalUnoptimizedUnsharedQuadric(uint32_t edge, const TquadricN& q, TqSlimEdge& record);

private:
    enum : uint32_t {
        kKeepGeometryBorder = 0x1,
        kKeepMapBorder = 0x2,
        kKeepHardEdges = 0x4,
        kTriangulate = 0x8,
        kOptimalPlacement = 0x10,
    };
    // Vertex flags, kept through collapses (the survivor takes both ends' flags).
    enum : uint8_t { kOnUVBorder = 0x1 };
    bool flag(uint32_t bit) const { return (fFlags & bit) != 0; }
    void setFlag(uint32_t bit, bool v) { fFlags = v ? (fFlags | bit) : (fFlags & ~bit); }
    void copyParameters(const TpolyDecimateFty& o);

    // The N-vector of vertex v as used at one corner of a face (its UV and colour there).
    void loadVector(uint32_t v, const TfaceNode* face, uint32_t corner, nVector& out) const;
    void unloadVector(const nVector& v, TqSlimEdge& record) const;
    // The face on the edge that holds it and the corner of that face at vertex v, or null.
    const TfaceNode* cornerOnEdge(uint32_t edge, uint32_t v, uint32_t& corner) const;
    bool edgeUVsShared(uint32_t edge);
    void holdUVBorder(uint32_t edge, const TquadricN& q, const nVector& optimum, TqSlimEdge& record);
    // The faces at v into fAroundFaces, the corner of each at v into fAroundCorners.
    void facesAround(uint32_t v);
    void applyAttributes(uint32_t a, const TqSlimEdge& record, bool uvOnSpan);
    // The goal in faces of the editable geometry: the faces left out, plus the considered faces
    // the share leaves, counted before triangulation; at least 1.
    uint32_t goalFaces(uint64_t removals) const;
    // The two sides of each triangle on the edge, which the collapse merges into one edge.
    void noteMergedSides(uint32_t edge);
    // After the collapse: a merged edge is hard when either side was.
    void mergeHardFlags();
    void finishRun(TmidBody* body);
    // The caller's face map from the triangulated faces back to the faces it handed in: an old
    // face goes where its first surviving triangle went. Edge ids of the diagonals are dropped.
    void mapThroughTriangulation(TpolyIdMapper& mapper) const;
    void release();

    // Parameters.
    double fPercentage = 100.0;
    double fPercentageDone = 100.0;
    double fCompactness = 0.0;
    double fVertexWeightCoefficient = 10000.0;
    double fGeomWeight = 1.0;
    double fUVWeight = 0.0;
    double fRGBWeight = 0.0;
    int32_t fDecimationType = 2;
    uint32_t fVertexCount = 100;
    double fVertReductionPerDecimation = 100.0;
    uint32_t fFlags = kKeepGeometryBorder | kTriangulate;
    const TdoubleArray* fWeights = nullptr;

    // Working state of one run.
    TpolyGeom* fGeom = nullptr;
    std::unique_ptr<TpolyEditableGeom> fEdit;
    TquadricNArray fQuadrics;
    TqslimEdgeIndexedHeap fHeap;
    std::vector<uint8_t> fFaceConsidered;
    // Whether an edge's record in the heap carries its penalties already.
    std::vector<uint8_t> fValidated;
    std::vector<uint8_t> fVertexFlags;
    // Hard flags by edge id, carried through merges (the editable geometry keeps one side's).
    std::vector<uint8_t> fEdgeHard;
    bool fAnyHard = false;
    double fWg = 1, fWu = 0, fWc = 0;
    bool fUseUV = false, fUseColor = false, fCompactnessTest = false, fPartial = false;
    uint32_t fDim = 3;
    int32_t fUVSet = -1, fColorSet = -1;
    // Faces at the start, all and considered: as handed in (F, C), and after triangulation.
    uint32_t fStartFaces = 0, fConsideredFaces = 0, fWorkFaces = 0, fWorkConsidered = 0;
    uint32_t fStartEdges = 0;
    // Old face f became faces [fPieceStart[f], fPieceStart[f + 1]); empty when not triangulated.
    TuInt32Array fPieceStart{256};
    // Scratch lists reused by every step, so the collapse loop allocates nothing of its own.
    TuInt32Array fVertexEdges{64}, fSideFaces{8}, fAroundFaces{64}, fAroundCorners{64}, fUpdateEdges{64}, fSpanIds{16},
        fMergedSides{8};
    struct TuvTarget {
        T2FloatPair merged;  // the value the collapse gives the merged id
        T2FloatPair target;  // where it goes
    };
    std::vector<TuvTarget> fUVTargets;
};
