#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/framework/ModifierFty.h"

class TpolyGeom;
class TsubdivFaceSubset;
struct TsubdivLevel;

// Smooths the selected faces by the linear scheme, NbIter times: faces of more than four corners
// are triangulated, every selected triangle and quad is cut into a regular grid of Divisions new
// points per edge (the grid subdivision), and the grid is smoothed by Degree - 1 steps of the
// scheme's odd or even passes over the selected faces, each optionally pushed back toward the
// grid's flat positions.
//
// Push-back: the old vertices move back by VertexBlend times their displacement Δ =
// PushStrength (flat - smoothed); a grid point on an old edge moves by the displacements of the
// edge's ends interpolated at its place, a point inside an old face by those of the face's
// corners (bilinear in a quad, barycentric in a triangle); with AverageNorms w the length of an
// interpolated move blends toward the interpolated length. The place of each grid point in its
// face is read from a temporary UV set "Unit" holding each face's corners at the corners of the
// unit square (triangles at (0,0), (1,0), (0,1)), which the grid subdivision interpolates.
//
// NbIter 0 only softens the edges of the selected faces (the part of the mesh being smoothed).
class BRINDLE_API TpolySmoothFaceAnyFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolySmoothFaceAnyFty() = default;
    TpolySmoothFaceAnyFty(const TpolySmoothFaceAnyFty&) = default;
    TpolySmoothFaceAnyFty& operator=(const TpolySmoothFaceAnyFty&) = default;

    unsigned NbIter() const { return fNbIter; }
    void setNbIter(unsigned n) { fNbIter = n; }
    // Stored clamped to 0 .. 128 by the action; 0 does nothing.
    int Divisions() const { return fDivisions; }
    void setDivisions(int n) { fDivisions = n; }
    // Stored clamped to 1 .. 16 by the action; 1 subdivides without smoothing.
    int Degree() const { return fDegree; }
    void setDegree(int d) { fDegree = d; }
    float PushStrength() const { return fPushStrength; }
    void setPushStrength(float s) { fPushStrength = s; }
    float VertexBlend() const { return fVertexBlend; }
    void setVertexBlend(float b) { fVertexBlend = b; }
    float AverageNorms() const { return fAverageNorms; }
    void setAverageNorms(float w) { fAverageNorms = w; }
    // Whether the last action had to triangulate faces of more than four corners.
    bool needToPreTriangulate() const { return fPreTriangulated; }

protected:
    // -1 without a face selection or when the grid subdivision refuses; 0 otherwise.
    int action(TmidBody* body, TmidComponent* components) override;

private:
    // Adds the "Unit" set and notes, per corner, its face and vertex (the parents of the grid).
    void addUnitSet(TpolyGeom& g);
    // The parent face of each piece of the subdivided selection, into fParentOf.
    void findParents(const TsubdivLevel& lv, const int32_t* ids, const T2FloatPair* param);
    void pushBack(const TsubdivLevel& lv, const int32_t* ids, const T2FloatPair* param,
                  const std::vector<T3dFltPoint>& flat, T3dFltPoint* points);
    // The passes of one iteration on the subdivided record, over the selected faces.
    void smoothGrid(TpolyGeom& g, const TsubdivFaceSubset& subset);

    unsigned fNbIter = 1;
    int fDivisions = 1;
    int fDegree = 3;
    float fPushStrength = 0.0f;
    float fVertexBlend = 1.0f;
    float fAverageNorms = 0.0f;
    bool fPreTriangulated = false;

    // Working state of one iteration: the unit set, the vertex count before the grid, the old
    // faces' corner offsets and vertices, the face of each old corner, the parent of each piece.
    uint32_t fUnitSet = 0, fOldVertices = 0;
    std::vector<uint32_t> fParentOffsets, fParentCorners, fCornerFace, fParentOf;
};
