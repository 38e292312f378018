#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/framework/RemoverFty.h"
#include "brindle/geom/PolyTypes.h"
#include "brindle/ops/PolyWeldSearch.h"

class TpolyGeom;
class TpolyBdVertexFaceBase;

// Welds the selected vertices that lie closer together than Threshold (strictly; measured in the
// frame of Matrix). Each group of welded vertices becomes one vertex under the smallest id of the
// group, at the mean of the group's positions. Afterwards no edge joins a vertex to itself, the
// edges the weld brings onto the same two vertices are fused into one (an edge whose ends stayed
// put survives before one that moved, the smaller id before the larger; the face uses move over),
// no loop runs out along an edge and straight back, and every
// loop keeps at least three corners (a face whose outer loop falls below that goes). Corners that
// fold into one inside a loop unify their UVs and colours at the mean. Groups, creases and blind
// data follow their components; the id maps send a welded vertex (a fused edge) to the new id of
// the one it joined. When no face would be left, or some face would come to use one edge twice
// (its loop pinched onto itself: two uses that are not in a row, or uses in two of its loops), the
// record stays as it was and the action refuses.
class BRINDLE_API TpolyMergeVertFty : public TpolyRemoverFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolyMergeVertFty() = default;
    TpolyMergeVertFty(const TpolyMergeVertFty&) = default;
    TpolyMergeVertFty& operator=(const TpolyMergeVertFty&) = default;

    float Threshold() const { return fThreshold; }
    void setThreshold(float t) { fThreshold = t; }
    // Kept with the parameters; the weld does not read it.
    bool SewMap() const { return fSewMap; }
    void setSewMap(bool v) { fSewMap = v; }
    const T4dFltMatrix& Matrix() const { return fMatrix; }
    void setMatrix(const T4dFltMatrix& m) { fMatrix = m; }

    // The search the weld runs (automatic unless a caller wants a particular one); every
    // strategy welds the same groups.
    TpolyWeldSearch::Strategy search() const { return fSearch.strategy(); }
    void setSearch(TpolyWeldSearch::Strategy s) { fSearch.setStrategy(s); }

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    static constexpr uint32_t kEmpty = 0x7FFFFFFFu;
    static constexpr uint32_t kMerged = 0x80000000u;
    static constexpr uint32_t kFlip = TpolyBits::kReversedUse;

    // The weld is planned on the factory's arrays alone and applied only once a face is sure
    // to remain, so that a refused weld leaves the record untouched.
    void planEdges();
    // Writes the welded description into fNewDesc and fills fEntryMap, fFaceMap, fNewToOld;
    // answers the number of faces that remain.
    uint32_t planFaces();
    void apply(uint32_t faces);
    // The components left unused go in the same passes that weld the rest: fEdgeNew and
    // fVertexNew get old id -> new id (all ones for one that goes), then the vertices and edges
    // move down to their new ids.
    void numberSurvivors();
    void moveVertices();
    void moveEdges();
    void updateSet(TpolyBdVertexFaceBase& set, uint32_t oldEntryCount);
    void updateUVs(uint32_t oldEntryCount);
    void updateColors(uint32_t oldEntryCount);
    void updateGroups(uint32_t oldFaceCount, const TuInt32Array& vertexTo);
    void updateBlindData();
    void updateUserNormals();

    float fThreshold = 0;
    bool fSewMap = true;
    T4dFltMatrix fMatrix;
    TpolyWeldSearch fSearch;

    // Working state of one action.
    TpolyGeom* fGeom = nullptr;
    T3dFltPointArray fFramed{256};  // positions in the frame of Matrix when it is not the identity
    TuInt32Array fRoot{256};        // per vertex: the smallest id of its welded group
    TuInt32Array fEdgeInto{256};    // per edge: itself, or kFlip (when opposite) | the edge it fuses into
    TuInt32Array fMark{256};        // per vertex, kEmpty between uses
    TuInt32Array fBucket{256};      // edges of welded groups by the smaller root of their ends
    TuInt32Array fBucketStart{256};
    TuInt32Array fLoop{256};        // the kept entries of one loop
    TuInt32Array fNewDesc{256};
    TuInt32Array fEntryMap{256};  // kept: new entry; folded: kMerged | old entry; dropped: all ones
    TuInt32Array fNewToOld{256};
    TuInt32Array fFaceMap{256};
    TuInt32Array fEdgeNew{256};    // per edge: the last face using it plus one, then its new id
    TuInt32Array fVertexNew{256};  // per vertex: its new id
    TuInt32Array fVertexTo{256};   // per vertex: the new id of its root, without a vertex map
    uint32_t fKeptEdges = 0, fKeptVertices = 0;
    bool fPinched = false;  // some kept face would use one edge twice
    Tarray<double> fSums{256};
    TuInt32Array fSavedNormalIds{256};
    TbitFieldFixedN fValidUserNormal;
    T4dFltVectorArray fSavedUserNormals{16};
};
