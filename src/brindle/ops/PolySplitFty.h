#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/ModifierFty.h"

class TpolyEditableGeom;

// Cuts along one path of points, each at a fraction along an edge (descriptor bit 31 set, the
// edge id in bits 0-29, the fraction in Percents) or inside a face (bit 31 clear, bits 0-29 the
// index into Points, the face id in Percents). The face each segment crosses is worked out from
// its two ends; the editable geometry cuts them all or none, so a refused path leaves the record
// exactly as it was.
class BRINDLE_API TpolySplitFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()
    TpolySplitFty() { setShouldClearCurrGroups(true); }

    int NbPoints() const { return fNbPoints; }
    void setNbPoints(int n) { fNbPoints = n; }
    const T3dFltPoint* Points() const { return fPoints; }
    void setPoints(const T3dFltPoint* p) { fPoints = p; }
    int NbPercents() const { return fNbPercents; }
    void setNbPercents(int n) { fNbPercents = n; }
    const float* Percents() const { return fPercents; }
    void setPercents(const float* p) { fPercents = p; }
    int NbDesc() const { return fNbDesc; }
    void setNbDesc(int n) { fNbDesc = n; }
    const int* Desc() const { return fDesc; }
    void setDesc(const int* d) { fDesc = d; }
    int Subd() const { return fSubd; }
    void setSubd(int n) { fSubd = n; }
    // Radians: new edges between faces meeting at a smaller angle are soft.
    double SmoothingAngle() const { return fSmoothingAngle; }
    void setSmoothingAngle(double a) { fSmoothingAngle = a; }
    bool Zelto70() const { return fZelto70; }
    void setZelto70(bool v) { fZelto70 = v; }

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    // The face holding the segment between two consecutive edge points, or -1.
    int32_t segmentFace(TpolyEditableGeom& edit, uint32_t prevEdge, float prevT, uint32_t edge, float t,
                        int32_t prevFace) const;

    int fNbPoints = 0, fNbPercents = 0, fNbDesc = 0, fSubd = 1;
    const T3dFltPoint* fPoints = nullptr;
    const float* fPercents = nullptr;
    const int* fDesc = nullptr;
    double fSmoothingAngle = 0;
    bool fZelto70 = true;
};

// Cuts faces one after another along a list of points on edges: each cut runs from where the
// previous one arrived to the next point, and a point on the first point's edge closes the loop
// on the vertex the first cut made. A refused first cut leaves the record as it was; a later one
// ends the walk, keeping the cuts made. Afterwards the inserted edges are the current edge group.
class BRINDLE_API TpolySplitFaceFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()
    struct TboundaryPoint {
        int32_t face;  // -1 when added by addEdge
        uint32_t edge;
        float t;
    };

    TpolySplitFaceFty() = default;
    void beginAllSplits(uint32_t n) { fBoundary.reserve(n); }
    void addEdge(uint32_t edge, float t) { fBoundary.push_back({-1, edge, t}); }
    void setSmoothAngle(double radians) { fSmoothAngle = radians; }
    const std::vector<TboundaryPoint>& splitBoundaryArray() const { return fBoundary; }

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    std::vector<TboundaryPoint> fBoundary;
    double fSmoothAngle = 0;
};

struct BRINDLE_API TpolySplitRingEdgeFtyOptions {
    uint32_t rootEdge = 0;
    float startWeight = 0.5f;
    bool absoluteWeight = false;
    bool direction = true;
};

// The ring of one run: its edges in ring order, whether each meets the ring against the root
// edge, their lengths (absolute weights only) and the fraction at which each is cut.
struct BRINDLE_API TpolySplitRingEdgeFtyData {
    Tint32Array& edges;
    TuInt32Array& flips;
    TfloatArray& lengths;
    TfloatArray& weights;
    float rootLength = 0;
    float shortestLength = 0;
    bool closed = false;
};

// Inserts an edge loop across the selected ring of edges through the root edge, cutting each ring
// edge at the start weight (relative: the same fraction from the side of the root edge's start,
// whatever each edge's direction) or at a constant distance from one side (absolute: the start
// weight times the root edge's length, limited by the shortest ring edge).
class BRINDLE_API TpolySplitRingFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()
    TpolySplitRingFty() = default;

    void setRootEdge(int e) { fRootEdge = e; }
    int rootEdge() const { return fRootEdge; }
    void setStartWeight(float w) { fOptions.startWeight = w; }
    void setAbsoluteWeight(bool v) { fOptions.absoluteWeight = v; }
    void setDirection(bool v) { fOptions.direction = v; }
    void setSmoothAngle(double radians) { fSmoothAngle = radians; }
    void setWorldMatrix(const T4dDblMatrix& m) { fWorldMatrix = m; }
    const Tint32Array& ringEdges() const { return fRing; }

    // Walks the ring from the root edge through the current edge group and computes the weights;
    // false when the root edge is not in that group.
    static bool initializeSplitRingInfo(const TpolyGeom* geom, TpolySplitRingEdgeFtyOptions& options,
                                        TpolySplitRingEdgeFtyData& data);

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    static void computeWeights(const TpolyGeom& geom, const TpolySplitRingEdgeFtyOptions& options,
                               TpolySplitRingEdgeFtyData& data);

    int fRootEdge = -1;
    TpolySplitRingEdgeFtyOptions fOptions;
    double fSmoothAngle = 0;
    T4dDblMatrix fWorldMatrix;
    Tint32Array fRing{256};
};
