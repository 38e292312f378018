#pragma once

#include <cstdint>

#include "brindle/base/Export.h"
#include "brindle/geom/PolyTypes.h"

// The option block of subdivision smoothing. Setters store the value the library will use:
// divisions below 0 become 1 (0 stays 0), edge divisions below 1 become 1; the other fields are
// stored as given.
class BRINDLE_API TpolySmoothGeomOptions {
public:
    // 0 Catmull-Clark, 1 the linear (uniform) scheme; any other value is Catmull-Clark with the
    // generic-scheme flag set.
    enum TpolySmoothType : int32_t { kCatmullClark = 0, kLinear = 1 };

    TpolySmoothGeomOptions() = default;
    TpolySmoothGeomOptions(const TpolySmoothGeomOptions&) = default;
    TpolySmoothGeomOptions& operator=(const TpolySmoothGeomOptions&) = default;
    virtual ~TpolySmoothGeomOptions() = default;

    int divisions() const { return fDivisions; }
    void setDivisions(int n) { fDivisions = n < 0 ? 1 : n; }
    int edgeDivisions() const { return fEdgeDivisions; }
    void setEdgeDivisions(int n) { fEdgeDivisions = n < 1 ? 1 : n; }
    int degree() const { return fDegree; }
    void setDegree(int d) { fDegree = d; }
    float pushStrength() const { return fPushStrength; }
    void setPushStrength(float s) { fPushStrength = s; }
    float averageNormals() const { return fAverageNormals; }
    void setAverageNormals(float w) { fAverageNormals = w; }
    float smoothness() const { return fSmoothness; }
    void setSmoothness(float s) { fSmoothness = s; }
    bool keepBorderEdge() const { return fKeepBorderEdge; }
    void setKeepBorderEdge(bool b) { fKeepBorderEdge = b; }
    bool keepHardEdge() const { return fKeepHardEdge; }
    void setKeepHardEdge(bool b) { fKeepHardEdge = b; }
    bool smoothUVs() const { return fSmoothUVs; }
    void setSmoothUVs(bool b) { fSmoothUVs = b; }
    bool keepAllMapBorders() const { return fKeepAllMapBorders; }
    void setKeepAllMapBorders(bool b) { fKeepAllMapBorders = b; }
    bool keepInteriorMapBorders() const { return fKeepInteriorMapBorders; }
    void setKeepInteriorMapBorders(bool b) { fKeepInteriorMapBorders = b; }
    bool multiEdgeCrease() const { return fMultiEdgeCrease; }
    void setMultiEdgeCrease(bool b) { fMultiEdgeCrease = b; }
    TpolySmoothType subdivisionType() const { return fType; }
    void setSubdivisionType(TpolySmoothType t) { fType = t; }
    TpolyFaceInfo uvCenterType() const { return fUvCenterType; }
    void setUvCenterType(TpolyFaceInfo t) { fUvCenterType = t; }

private:
    int fDivisions = 1;
    int fEdgeDivisions = 1;
    int fDegree = 3;
    float fPushStrength = 0.0f;
    float fAverageNormals = 0.0f;
    float fSmoothness = 1.0f;
    bool fKeepBorderEdge = true;
    bool fKeepHardEdge = false;
    bool fSmoothUVs = true;
    bool fKeepAllMapBorders = true;
    bool fKeepInteriorMapBorders = true;
    bool fMultiEdgeCrease = false;
    TpolySmoothType fType = kCatmullClark;
    TpolyFaceInfo fUvCenterType = kFaceInfoCornerMean;
};
