#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/geom/PolyBlindData.h"
#include "brindle/geom/PolyTypes.h"
#include "brindle/subdiv/SubdivLevel.h"

class TpolyGeom;
class TpolyCatmullClarkHierarchy;

// Builds the topology of the levels of a hierarchy into the record, behind what it holds:
// vertices with their first positions (copies, edge midpoints, face centres), edges, faces, the
// UVs of every set, per-corner colours, groups and creases. The split layout (every n-gon into n
// quads) is built here; TpolyNNSubdivider builds the uniform grids. Ranges are half-open
// [first, end) absolute ids of the parent level.
//
// Sub-face i of an n-cornered face is the quad at parent corner i: it starts at the point of the
// edge entering corner i, then corner i, the point of the edge leaving it, and the face point.
// Its entries are: the half of the entering edge that ends at corner i, the half of the leaving
// edge that starts there (both keep the parent edges' reversal), interior edge i reversed and
// interior edge i-1; interior edge j runs from the face point to the point of the edge leaving
// corner j. Faces with holes subdivide every loop's corners around the outer loop's centre.
class BRINDLE_API TpolyCCSubdivider {
public:
    TpolyCCSubdivider(TpolyGeom& record, TpolyCatmullClarkHierarchy& hierarchy);
    virtual ~TpolyCCSubdivider() = default;

    void setKeepHardEdges(bool keep) { fKeepHardEdges = keep; }
    void setUvCenterType(TpolyFaceInfo kind) { fUvCenterType = kind; }

    // Builds levels 1 to levels (fewer when the ids of a deeper level would not fit) and
    // answers how many were built. The record's derived data is marked stale.
    virtual uint32_t createHierarchy(uint32_t levels);

    virtual void createVertSubVert(uint32_t first, uint32_t end, uint32_t level);
    virtual void createEdgeSubVert(uint32_t first, uint32_t end, uint32_t level);
    virtual void createFaceSubVert(uint32_t first, uint32_t end, uint32_t level);
    virtual void createEdgeSubEdge(uint32_t first, uint32_t end, uint32_t level);
    virtual void createFaceSubEdge(uint32_t first, uint32_t end, uint32_t level);
    virtual void createSubFace(uint32_t first, uint32_t end, uint32_t level);
    // UVs of every set that holds UVs, for the faces of the level.
    virtual void createSubUVForAllMaps(uint32_t level);
    // One set: copies of the level's UVs, the face points of mapped faces, the edge points (one
    // run per edge where both faces use the same two UV ids, one per face side otherwise, at
    // linear positions) and the ids of the sub-face corners. Faces whose first corner has no UV
    // give sub-faces without UVs.
    virtual void createSubUV(uint32_t map, uint32_t level);
    // Per-corner colours of every colour set: corner colours keep their ids, edge points get the
    // mean of the side's two corner colours, face points the mean of the face's corner colours.
    virtual void createSubColors(uint32_t level);
    // Vertex groups gain the vertex children, edge groups the pieces of their edges, face groups
    // the sub-faces of their faces; both halves of a creased edge get max(s - 1, 0).
    virtual void createSubGroups(uint32_t level);
    // Blind data of each vertex, edge and face goes to its vertex child, its sub-edges and its
    // sub-faces, element by element.
    virtual void createSubBlindData(uint32_t level);
    // Reserves the record's arrays for every level at once.
    virtual void preProcessHierarchy(uint32_t levels);
    // Places the first positions of level l+1 from level l again (vertex copies, edge points
    // at equal steps, face points), on a level already built.
    void placeLinear(uint32_t level);

protected:
    // The local points of one face, for the per-corner data: the split layout numbers corner i
    // as i, the point of the edge leaving corner i as n + i and the face point 2n; the uniform
    // layout numbers grid point (i, j) as j (d + 2) + i. Fills fCorners, fNext and fSubCorners
    // (the local points of the sub-face corners, in order) and answers the local point count.
    uint32_t facePattern(const TsubdivLevel& lv, uint32_t f);

    TpolyGeom& fRecord;
    TpolyCatmullClarkHierarchy& fHierarchy;
    uint32_t fFlags = 0;
    bool fKeepHardEdges = false;
    TpolyFaceInfo fUvCenterType = kFaceInfoCornerMean;

    // Scratch of the per-corner builders, reused face after face.
    std::vector<uint32_t> fCorners;     // description offsets of the face's corners
    std::vector<uint32_t> fNext;        // offset of the corner after each one in its loop
    std::vector<uint32_t> fSubCorners;  // local points of the sub-face corners
    std::vector<uint32_t> fPrev;        // local corner before each one in its loop
    std::vector<uint8_t> fEdgeCount;    // faces per edge of the level being built
    std::vector<uint32_t> fEdgeFirst;   // first use of each edge of that level
    std::vector<int32_t> fFaceUV;       // first face-point UV of each face, -1 when unmapped
    std::vector<int32_t> fSideUV[3];    // per corner: UV at the edge's start and end, first edge-point UV
    std::vector<int32_t> fLocal;        // ids of the local points of one face
    std::vector<T2FloatPair> fLoopUVs;
};

// Appends to `to` a copy of every live element of `from` whose component lies in [lo, lo + count)
// once for each component of the inclusive range children(id) answers. Elements appended here
// are not visited again, so from and to may be the same store.
template <typename Children>
void appendBlindDataOf(const TpolyBdBlindData& from, uint32_t lo, uint32_t count, TpolyBdBlindData& to,
                       Children children) {
    const TbdDataPtrArray* list = from.dataConst();
    if (!list) return;
    TbdDataPtrArray& out = *to.data();
    for (uint32_t i = 0, n = list->size(); i < n; ++i) {
        TbdData d = (*list)[i];
        if (!d.isLive() || d.componentId < lo || d.componentId - lo >= count) continue;
        const auto [first, last] = children(d.componentId);
        for (uint32_t c = first; c <= last; ++c) {
            d.componentId = c;
            out.addLast(d);
        }
    }
}

// The topology builder of the uniform layout: each quad becomes a (d+1) x (d+1) grid, with grid
// point (i, j) at parameters (i/(d+1), j/(d+1)) from corner 0 along edges 0 and 3 (bilinear in
// the quad's corners), and each edge gets d points at equal steps along its direction. On a
// hierarchy that fell back to the split layout it builds that layout.
class BRINDLE_API TpolyNNSubdivider : public TpolyCCSubdivider {
public:
    using TpolyCCSubdivider::TpolyCCSubdivider;

    void createFaceSubVert(uint32_t first, uint32_t end, uint32_t level) override;
    void createFaceSubEdge(uint32_t first, uint32_t end, uint32_t level) override;
    void createSubFace(uint32_t first, uint32_t end, uint32_t level) override;

protected:
    // Vertex ids of the grid points of quad f, j (d + 2) + i, into fGrid.
    void faceGrid(const TsubdivLevel& lv, uint32_t f, uint32_t level);
    std::vector<uint32_t> fGrid;
};
