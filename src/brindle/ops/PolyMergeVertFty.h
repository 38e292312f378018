#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/framework/RemoverFty.h"

class TpolyGeom;
class TpolyBdVertexFaceBase;

// Welds the selected vertices that lie closer together than Threshold (strictly; measured in the
// frame of Matrix). Each group of welded vertices becomes one vertex under the smallest id of the
// group, at the mean of the group's positions. Afterwards no edge joins a vertex to itself, no
// two edges created by the weld join the same two vertices (the later one is fused into the
// earlier, its face uses moved over), no loop runs out along an edge and straight back, and every
// loop keeps at least three corners (a face whose outer loop falls below that goes). Corners that
// fold into one inside a loop unify their UVs and colours at the mean. Groups, creases and blind
// data follow their components; the id maps send a welded vertex (a fused edge) to the new id of
// the one it joined. When no face would be left the record is restored and the action refuses.
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

    // The base removal and map, then every welded vertex mapped to the new id of its root.
    void handleUnusedVertices(TpolyGeom* geom) override;
    // The same for edges, a fused edge mapped to the edge it was fused into.
    void handleUnusedEdges(TpolyGeom* geom) override;

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    static constexpr uint32_t kEmpty = 0x7FFFFFFFu;
    static constexpr uint32_t kMerged = 0x80000000u;

    bool isVertMerged(uint32_t v) const { return (fVertState[v] & kMerged) != 0; }
    uint32_t mergedWith(uint32_t v) const { return fVertState[v] & ~kMerged; }
    uint32_t rootVertex(uint32_t v) const {
        while (isVertMerged(v)) v = mergedWith(v);
        return v;
    }
    uint32_t rootEdge(uint32_t e) const {
        while (fEdgeState[e] & kMerged) e = fEdgeState[e] & ~kMerged;
        return e;
    }
    // An edge fused into another or shrunk to a point has no place in any vertex's list.
    bool isEdgeDead(uint32_t e) const;

    void startMergeVert();
    bool mergeTwoVert(uint32_t a, uint32_t b);
    void replaceEdge(uint32_t e, uint32_t f, bool flip);
    void endMergeVert();
    // Rewrites the description without the dropped entries and loops; fills fEntryMap, fFaceMap.
    void compactFaces();
    void updateSet(TpolyBdVertexFaceBase& set, uint32_t oldEntryCount);
    void updateUVs(uint32_t oldEntryCount);
    void updateColors(uint32_t oldEntryCount);
    void updateGroups(uint32_t oldFaceCount);
    void updateBlindData();
    void updateUserNormals();
    void search(const TuInt32Array& selected);

    float fThreshold = 0;
    bool fSewMap = true;
    T4dFltMatrix fMatrix;

    // Working state between startMergeVert and endMergeVert.
    TpolyGeom* fGeom = nullptr;
    TuInt32Array fVertState{256};  // alive: head of the edge-end list; welded: kMerged | target
    TuInt32Array fEndLink{256};    // per edge end (2e start, 2e + 1 end): next end at the vertex
    TuInt32Array fEdgeState{256};  // alive: head of the entry list; fused: kMerged | target
    TuInt32Array fEntryLink{256};  // per entry: next entry of the same edge
    TuInt32Array fMark{256};       // per vertex, kEmpty outside mergeTwoVert
    TuInt32Array fEntryMap{256};   // kept: new entry; folded: kMerged | old entry; dropped: all ones
    TuInt32Array fNewToOld{256};
    TuInt32Array fFaceMap{256};
    TuInt32Array fSavedNormalIds{256};
    TbitFieldFixedN fValidUserNormal;
    T4dFltVectorArray fSavedUserNormals{16};
};
