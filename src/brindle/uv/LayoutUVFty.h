#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Metaclass.h"
#include "brindle/framework/ModifierFty.h"
#include "brindle/geom/FaceTraversal.h"
#include "brindle/uv/UvWork.h"

class TpolyGeom;

// Rearranges the UV shells of the active faces in MapSet (the current set for -1). A shell is
// the faces joined across edges whose two faces share both UVs of the edge; with CutMode a shell
// also refuses a face whose UV edges would cross its own. A shell that shares a UV with any face
// outside it (a refused face, a touch at one vertex, a face outside the group) is cut free before
// it moves, so moving one shell never drags another. MoveMode 1 places the shells in one
// row from u = 0, MoveMode 2 packs them into rows of a strip 1.5·√(total box area) wide over a
// skyline of 512 cells; FlipReversed mirrors in u a shell whose signed UV area is negative;
// ScaleMode 1 scales the result uniformly into the unit square, any other non-zero value scales
// u and v each on its own. Shells only move as wholes: translated, mirrored, scaled.
class BRINDLE_API TpolyLayoutUVFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

    uint32_t ScaleMode() const { return fScaleMode; }
    void setScaleMode(uint32_t v) { fScaleMode = v; }
    uint32_t CutMode() const { return fCutMode; }
    void setCutMode(uint32_t v) { fCutMode = v; }
    uint32_t MoveMode() const { return fMoveMode; }
    void setMoveMode(uint32_t v) { fMoveMode = v; }
    bool FlipReversed() const { return fFlipReversed; }
    void setFlipReversed(bool v) { fFlipReversed = v; }
    float ExtraGap() const { return fExtraGap; }
    void setExtraGap(float v) { fExtraGap = v; }
    int32_t MapSet() const { return fMapSet; }
    void setMapSet(int32_t v) { fMapSet = v; }

    // Whether face and the neighbour across edge use the same two UV ids at the edge's ends.
    static bool uvShared(const TpolyGeom* geom, uint32_t face, uint32_t edge, uint32_t neighbour, uint32_t set);
    static bool intersect(const T2Float& a, const T2Float& b, const T2Float& c, const T2Float& d) {
        return uvwork::segmentsCross(a, b, c, d);
    }

protected:
    int action(TmidBody* body, TmidComponent* components) override;
    // Grows, cuts and places the shell of face; answers its box area, -1 without MoveMode.
    double propagate(TpolyGeom* geom, uint32_t face, TfaceTraversal& walk, T2Float& cursor);
    // Whether the face's UV edges would cross those of the shell grown so far.
    bool selfIntersect(const TpolyGeom* geom, uint32_t face);

private:
    void pack(TpolyGeom& geom, double area);
    void scale(TpolyGeom& geom, const std::vector<uint32_t>& faces);
    void addShellEdges(const TpolyGeom& geom, uint32_t face);
    void cutFree(TpolyGeom& geom);

    uint32_t fScaleMode = 0, fCutMode = 0, fMoveMode = 0;
    bool fFlipReversed = false;
    float fExtraGap = 0;
    int32_t fMapSet = -1;

    // Working state of one action.
    uint32_t fSet = 0;
    TbitFieldFixedN fAssigned;
    float fSignedArea = 0;
    std::vector<uint32_t> fUseCount, fLocalCount;  // corners per UV id: all, the shell's
    std::vector<uint32_t> fShellFaces;
    std::vector<uint32_t> fShellUVs, fShellStart;  // each shell's UVs, one run per shell
    std::vector<uint32_t> fStamp;                  // by UV: the pass that last met it
    std::vector<int32_t> fCopy;                    // by UV: its copy for the shell being cut free
    uint32_t fStampNow = 0;
    uvwork::TuvSegmentGrid fEdges;
};
