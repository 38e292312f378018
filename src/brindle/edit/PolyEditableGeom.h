#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/Alloca.h"
#include "brindle/base/Array.h"
#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/edit/ArrayBlock.h"
#include "brindle/geom/PolyColor.h"
#include "brindle/geom/PolyTopo.h"
#include "brindle/geom/PolyTypes.h"

class TpolyGeom;
class TpolyIdMapper;

// One face of the editable geometry. Its corners are a run of fCapacity slots starting at
// fOffset in every per-corner block list (edge references, UV ids per set, colour ids per set,
// user normal ids), so one offset addresses all of them; the first fCount slots are in use.
struct BRINDLE_API TfaceNode {
    static constexpr uint8_t kSourceArrays = 1;  // the slots are the source record's own

    uint32_t fOffset = 0;
    uint32_t fCount = 0;
    uint32_t fCapacity = 0;
    int32_t fSource = -1;  // the face this one was made from; -1 for a face of the source record
    uint32_t* fCorners = nullptr;
    uint8_t fFlags = 0;
    bool fLive = false;

    uint32_t getEdge(uint32_t corner) const { return fCorners[corner] & TpolyBits::kEdgeMask; }
    TedgeDirection getDirection(uint32_t corner) const {
        return (fCorners[corner] & TpolyBits::kReversedUse) ? kReversed : kForward;
    }
    bool endOfLoop(uint32_t corner) const { return (fCorners[corner] & TpolyBits::kEndOfLoop) != 0; }
    bool endOfFace(uint32_t corner) const { return (fCorners[corner] & TpolyBits::kEndOfFace) != 0; }
    // Loops of the face (1 without holes).
    uint32_t faceOrder() const;
    // First corner of the loop that holds corner, and one past its last.
    void loopBounds(uint32_t corner, uint32_t& first, uint32_t& end) const;
    // The next corner of the same loop, wrapping around.
    uint32_t nextInLoop(uint32_t corner) const;
    uint32_t prevInLoop(uint32_t corner) const;
    // Corner that uses edge, or -1.
    uint32_t findEdgeInFace(uint32_t edge) const;
    // A use of edge after corner first.
    bool usesEdgeTwice(uint32_t edge, uint32_t first) const;
};

// Faces by id: ids are never reused (a new face takes last + 1), so the map is a block list of
// nodes indexed by id in which removed faces are marked not live. Nodes never move.
class BRINDLE_API TfaceMap {
public:
    TfaceNode* find(uint32_t id) { return id < fNodes.size() && fNodes[id].fLive ? &fNodes[id] : nullptr; }
    const TfaceNode* find(uint32_t id) const { return const_cast<TfaceMap*>(this)->find(id); }
    uint32_t idBound() const { return fNodes.size(); }
    TarrayBlockAllocator<TfaceNode> fNodes;
};

// An editable working copy of a record for local topological edits. Building it takes over the
// record's arrays as the first blocks of its block lists (nothing is copied), so edits of existing
// elements write through into the source record: the source must not be used after editing except
// to convert. New elements go into further blocks; ids are positions in the lists and stay put
// until convert writes a dense record. Invariants kept by every edit: each live face's loops are
// closed chains of oriented edges; with kModeWings every edge's wing names exactly the live faces
// using it on each side (a side of several faces as a run in the non-manifold face list); with
// kModeVertexInfo each vertex's order is its edge-end count and its leaving edge is one of its edges
// (a vertex whose edges do not form one fan keeps them as a run in the non-manifold edge list).
class BRINDLE_API TpolyEditableGeom {
public:
    // Mode bits; each is also the dirty flag of the record table it adopts, so the constructor
    // brings exactly those tables up to date. kModeNormals is set by the constructor itself when
    // the record has user normals.
    static constexpr uint32_t kModeBasic = dirtyFaceOffsets, kModeVertexInfo = dirtyVertexToEdge,
                              kModeWings = dirtyEdgeToFace, kModeNormals = 0x1c0;
    // Faces, vertex information and wings: what the edge and vertex operations need.
    static constexpr uint32_t kModeAll = kModeBasic | kModeVertexInfo | kModeWings;
    static constexpr int32_t kDeletedEdge = -2;

    TpolyEditableGeom() = default;
    TpolyEditableGeom(TpolyGeom* record, uint32_t mode);
    // A deep copy: the copy owns all its elements and shares nothing with the source arrays.
    TpolyEditableGeom(const TpolyEditableGeom& other);
    TpolyEditableGeom& operator=(const TpolyEditableGeom&) = delete;
    ~TpolyEditableGeom() = default;

    // A new record, owned by the caller, with faces renumbered densely in id order. With
    // inheritBlindData new edges, vertices and faces take copies of their sources' blind data;
    // with updateNormals the normals are brought up to date and user normals carried over.
    // faceMap, when given, receives old face id -> new id (all ones for a deleted face).
    TpolyGeom* convert(bool inheritBlindData, bool updateNormals, TuInt32Array* faceMap) const;
    // The same, then drops the edges no face uses and the vertices no edge uses, writing the
    // renumbering of every kind into the mapper's maps that exist.
    TpolyGeom* convert(bool inheritBlindData, bool updateNormals, TpolyIdMapper& mapper) const;

    // --- Counts --------------------------------------------------------------------------------
    uint32_t mode() const { return fMode; }
    uint32_t faceCount() const { return fFaceCount; }
    uint32_t lastFaceId() const { return fLastFace; }
    uint32_t vertexCount() const { return fVertices.size(); }
    uint32_t edgeCount() const { return fEdges.size(); }
    uint32_t numUVMaps() const { return fNbUVSets; }
    uint32_t numColorMaps() const { return fNbColorSets; }
    uint32_t uvCount(uint32_t set) const { return fUVs[set].size(); }
    bool hasUserNormals() const { return (fMode & kModeNormals) != 0; }
    void setFacePadding(uint32_t n) { fFacePadding = n; }
    bool changed() const { return fChanged != 0; }

    // --- Access --------------------------------------------------------------------------------
    const T3dFltPoint& vertex(uint32_t v) const { return fVertices[v]; }
    void setVertex(uint32_t v, const T3dFltPoint& p) { fVertices[v] = p; }
    const TpolyEdge& polyEdge(uint32_t e) const { return fEdges[e]; }
    const TpolyWingEdge& polyWingEdge(uint32_t e) const { return fWings[e]; }
    const TpolyVertexInfo& getVertexInfo(uint32_t v) const { return fVertexInfo[v]; }
    uint32_t vertexOrder(uint32_t v) const { return fVertexInfo[v].order; }
    uint32_t getStartVertex(uint32_t e, TedgeDirection d = kForward) const {
        return fEdges[e].v[d] & TpolyBits::kVertexMask;
    }
    uint32_t getEndVertex(uint32_t e, TedgeDirection d = kForward) const {
        return fEdges[e].v[1 - d] & TpolyBits::kVertexMask;
    }
    bool isEdgeDeleted(uint32_t e) const { return e < fEdgeSource.size() && fEdgeSource[e] == kDeletedEdge; }
    TfaceMap& faces() { return fFaces; }
    TfaceNode& face(uint32_t id) { return fFaces.fNodes[id]; }
    TfaceNode* faceIfExists(uint32_t id) { return fFaces.find(id); }
    uint32_t getStartVertexInFace(const TfaceNode& f, uint32_t corner) const {
        return getStartVertex(f.getEdge(corner), f.getDirection(corner));
    }
    uint32_t getEndVertexInFace(const TfaceNode& f, uint32_t corner) const {
        return getEndVertex(f.getEdge(corner), f.getDirection(corner));
    }
    // Corner of the face whose oriented start is v, or -1.
    uint32_t findVertexInFace(const TfaceNode& f, uint32_t v) const;
    int32_t getUVId(uint32_t corner, uint32_t set, const TfaceNode& f) { return fUVIds[set][f.fOffset + corner]; }
    int32_t getColorId(uint32_t corner, uint32_t set, const TfaceNode& f) { return fColorIds[set][f.fOffset + corner]; }
    int32_t getUserNormal(uint32_t corner, const TfaceNode& f) {
        return hasUserNormals() ? int32_t(fNormalIds[f.fOffset + corner]) : -1;
    }
    bool isMapped(const TfaceNode& f, uint32_t set) { return f.fCount && getUVId(0, set, f) >= 0; }
    const T2FloatPair& getUV(uint32_t id, uint32_t set) const { return fUVs[set][id]; }
    void setUV(uint32_t id, const T2FloatPair& uv, uint32_t set) { fUVs[set][id] = uv; }
    int32_t createUV(const T2FloatPair& uv, uint32_t set) { return int32_t(fUVs[set].append(uv)); }
    const TpolyColorValue& getColor(uint32_t id, uint32_t set) const { return fColors[set][id]; }
    void setColor(uint32_t id, const TpolyColorValue& c, uint32_t set) { fColors[set][id] = c; }
    int32_t createColor(const TpolyColorValue& c, uint32_t set) { return int32_t(fColors[set].append(c)); }

    // --- Adjacency (kModeWings, kModeVertexInfo) ------------------------------------------------
    // Faces on one side of an edge, non-manifold runs included; out emptied first.
    void getEdgeFaces(uint32_t edge, TuInt32Array& out, Tside side) const;
    // Faces on both sides, each once.
    void edgeFaces(uint32_t edge, TuInt32Array& out) const;
    // Edges at a vertex, each once; out emptied first.
    void getVertexEdges(uint32_t v, TuInt32Array& out) const;
    // Faces using a vertex, each once.
    void vertexFaces(uint32_t v, TuInt32Array& out) const;
    // The edge joining two vertices and whether it runs from `to` to `from`; -1 when none.
    uint32_t edgeBetween(uint32_t from, uint32_t to, bool& reversed) const;
    void addWingEdgeFace(uint32_t edge, uint32_t face, Tside side);
    void removeWingEdgeFace(uint32_t edge, uint32_t face, Tside side);
    void copyWingEdge(uint32_t from, uint32_t to) { fWings[to] = fWings[from]; }
    // Rewrites the vertex's information from its full edge list.
    void setVertexEdges(uint32_t v, const TuInt32Array& edges);

    // --- Creation and splitting (PolyEditableSplit.cpp) --------------------------------------------
    uint32_t createVertex(const T3dFltPoint& p);
    uint32_t createEdge(uint32_t from, uint32_t to, bool hard, bool updateVertices);
    // A face from its raw edge references (loops with their end flags), corner-major UV ids (one
    // per set per corner), colour ids likewise and user normal ids (one per corner); the attribute
    // lists may be null (then unmapped). With kModeWings in mode the face enters its edges' wings.
    uint32_t createFace(const uint32_t* refs, uint32_t count, const int32_t* uvIds, const int32_t* colorIds,
                        const int32_t* normalIds, int32_t source, uint32_t mode);
    // Rebuilds an existing face in place (same id) from the same kind of lists.
    void rebuildFace(uint32_t id, const uint32_t* refs, uint32_t count, const int32_t* uvIds, const int32_t* colorIds,
                     const int32_t* normalIds, uint32_t mode);
    // Splits edge at fraction t (0 < t < 1): the edge keeps its start and ends at the new vertex,
    // a new edge with its hard flag runs on to the old end, and every face using it gains the
    // corner with UVs, colours and user normals interpolated at t. False for a deleted edge.
    bool splitEdge(uint32_t edge, float t, uint32_t& newEdge, uint32_t& newVertex);
    // Splits edge into count + 1 pieces at positions (in order from its start; null: equal
    // pieces). Each new corner's attributes are interpolated at the fraction of the position's
    // projection on the edge; with projectOnEdge the vertex goes to that projection, else to the
    // position itself. newVertices and newEdges receive the new ids from the start on (the first
    // piece keeps the edge's id). False, with nothing changed, for a deleted or unknown edge, a
    // count of 0, or fractions that do not rise strictly inside (0, 1).
    bool splitEdge(uint32_t edge, const T3dFltPoint* positions, TuInt32Array* newVertices, TuInt32Array* newEdges,
                   uint32_t count, bool projectOnEdge);
    // The face gains, after each use of edge, a use of newEdge (the piece split off edge's end,
    // so edge now ends where newEdge starts), its attributes interpolated at t along the old edge.
    void insertEdge(uint32_t face, uint32_t edge, uint32_t newEdge, float t);

    // --- Face geometry and face splitting (PolyEditableSubdivide.cpp, PolyEditableSplit.cpp) ----
    // Newell normal of all the face's loops, not normalised.
    void getFaceNormal(uint32_t face, T4dFltVector& normal) const;
    // Centre of the outer loop: the corner mean, or the length-weighted mean of edge midpoints.
    void getFaceCenter(uint32_t face, TpolyFaceInfo info, T3dFltPoint& centre) const;
    // Corner means of UVs and colours; false when some corner has none in the set.
    bool getUVFaceCenter(uint32_t face, uint32_t set, T2FloatPair& uv);
    bool getColorFaceCenter(uint32_t face, uint32_t set, TpolyColorValue& colour);
    // The first face holding both edges (all of them listed into faces), a vertex and an edge,
    // or two vertices; -1 when there is none.
    int32_t getFaceId(uint32_t edgeA, uint32_t edgeB, TuInt32Array& faces) const;
    int32_t getVtxFaceId(uint32_t vertex, uint32_t edge) const;
    int32_t getVtxVtxFaceId(uint32_t a, uint32_t b) const;
    // Cuts a face in two from a start to an end, each the point at fraction t along an edge or,
    // with t negative, vertex a (b); fractions within 1e-5 of an end are that vertex. The cut
    // passes through points, or through count evenly spaced new vertices when points is empty.
    // face -1 takes the first face holding both ends. The piece from the start along the
    // boundary to the end keeps the face's id, the other is a new face whose source is it; holes
    // follow the piece that encloses them. New corners interpolate UVs, colours and user normals
    // between the ends at their projection on the cut. With checkAngle the cut is hard when the
    // pieces' normals meet at a cosine below cosAngle. Answers the end vertex, or -1 with nothing
    // changed when an id is unknown, no face holds both ends on its outer loop, the face has
    // fewer than 3 corners, or the cut would run along one of its edges.
    int32_t splitAFace(uint32_t a, float ta, uint32_t b, float tb, const T3dFltPointArray& points, bool checkAngle,
                       uint32_t count, int32_t face, double cosAngle);
    // One end of a cut: a vertex, or a point at fraction t inside an edge.
    struct TcutEnd {
        uint32_t vertex = TpolyBits::kNoId, edge = TpolyBits::kNoId;
        float t = 0;
    };
    // A cut splitAFace accepted: its ends, the face and the number of inner points.
    struct TfaceCutPlan {
        TcutEnd start, end;
        uint32_t face = TpolyBits::kNoId, nInner = 0;
    };
    // splitAFace's refusal test alone, for nInner inner points: true, with the plan filled, when
    // it would cut. Changes nothing.
    bool canSplitAFace(uint32_t a, float ta, uint32_t b, float tb, uint32_t nInner, int32_t face,
                       TfaceCutPlan& plan) const;
    // The cut itself, for an accepted plan with no edit in between; points are the inner points
    // (plan.nInner of them) or empty for evenly spaced ones. Answers the end vertex.
    int32_t applySplitAFace(const TfaceCutPlan& plan, const T3dFltPointArray& points, bool checkAngle, double cosAngle);
    // Cuts along a path, point k given by descriptors[k]: bit 31 set, a point at fraction
    // fractions[k] on edge bits 0-29; clear, the inner point points[bits 0-29]. faces[k] is the
    // face holding the segment that ends at point k (-1: found from its ends). Each run from an
    // edge point to the next becomes one splitAFace through the inner points between them (or
    // subdivisions - 1 even steps). False, with nothing changed, when the path does not start and
    // end on edges, names unknown ids, sets bit 30, meets a face twice or cuts along an edge.
    bool splitManyFaces(const Tint32Array& faces, const TfloatArray& fractions, const Tint32Array& descriptors,
                        const T3dFltPointArray& points, uint32_t subdivisions, bool checkAngle, double cosAngle);
    // Replaces a face without holes by one quad per corner around a new centre vertex: centre,
    // midpoint before the corner, the corner, midpoint after it. Edges are split at their middle,
    // except those an earlier subdivision in this copy split already. The centre takes UV
    // centreUVs[set][index] where the face is mapped and colour centreColors[set][index] unless
    // its alpha is the largest float; with interpolateNormals it takes the mean of the face's user
    // normals. The first quad keeps the id. False, with nothing changed, for an unknown face, a
    // face with holes or fewer than 3 corners.
    bool subdivideFace(uint32_t face, const T3dFltPoint& centre, const T2FloatArray* centreUVs,
                       const TpolyColorValueArray* centreColors, uint32_t index, bool interpolateNormals);
    // --- Deletion and collapse (PolyEditableCollapse.cpp) -----------------------------------------
    // Takes a face out (nothing when it is the last one); its edges and vertices stay.
    void deleteFace(uint32_t face);
    // Deletes every face that uses an edge from a vertex to itself.
    void cleanupDegenerateFaces();
    // The edge and vertex operations below need wings and vertex information (kModeAll); without
    // them, for an unknown or deleted id, or when the result would be degenerate, they refuse and
    // change nothing. Removed edges are marked deleted and leave their vertices' edge lists.
    // Marks deleted each edge that only this face uses (before the face goes).
    void updateVertexAdjacencyForFaceToBeDeleted(uint32_t face);
    // Joins the faces on both sides of a manifold inner edge into one; when the edge lies on a
    // hole of one face whose other side fills that hole exactly, the filling face goes. With
    // cleanVertices the ends left between two edges are deleted too.
    bool deleteEdge(uint32_t edge, bool cleanVertices);
    // deleteEdge for an edge on the outer loops of both its faces.
    bool deleteEdgeNotOnHole(uint32_t edge, bool cleanVertices);
    // Merges the two edges of a vertex of order 2 into one; refused when a loop through it would
    // drop below three corners.
    bool deleteVertex(uint32_t vertex);
    // Merges the edge's end into its start at their midpoint; faces that become two-sided go and
    // their edges merge. Refused when nothing would be left, when a hole of three corners holds
    // the edge, or when the result would fold (a face meeting the merged vertex twice, or a
    // neighbour of both ends that no triangle on the edge joins).
    bool collapseEdge(uint32_t edge);
    // What collapseEdge found while checking, for the apply step: the ends (b merges into a),
    // their edge lists, the edges from a to b (the collapsed one first), the faces using them and
    // the faces round either end.
    struct TcollapsePlan {
        uint32_t a = TpolyBits::kNoId, b = TpolyBits::kNoId;
        TuInt32Array aEdges{16}, bEdges{16}, parallel{4}, faces{8}, around{16};
    };
    // collapseEdge's refusal test alone: true, with the plan filled, when it would collapse the
    // edge. Changes nothing, so an operation can test many edges before it edits any.
    bool canCollapseEdge(uint32_t edge, TcollapsePlan& plan) const;
    // The change itself, for a plan canCollapseEdge accepted with no edit in between.
    void applyCollapse(const TcollapsePlan& plan);
    // Collapses every edge of the face in corner order (nothing when the face does not exist).
    void collapseFace(uint32_t face);
    // Takes the first use of edge out of the face's corners and the face out of its wing.
    void removeEdge(uint32_t face, uint32_t edge);
    // Removes hole loop `loop` (1 for the first hole) from the face.
    void removeLoopFromFace(uint32_t face, uint32_t loop);
    // Deletes a face of two corners, its second edge merged into its first.
    void deleteAndMerge2EdgeFace(uint32_t face);

private:
    void initialize(TpolyGeom* record);
    // Allocates the slots of a face of capacity corners in every per-corner list.
    uint32_t allocateCorners(uint32_t capacity, uint32_t*& corners);
    // Writes count corners of attributes into a face's slots.
    void writeCorners(TfaceNode& f, const uint32_t* refs, uint32_t count, const int32_t* uvIds, const int32_t* colorIds,
                      const int32_t* normalIds);
    void enterWings(uint32_t id, bool enter);
    // Inserts one corner after corner `at` (attributes given per set, normal id), growing the
    // slots when full; the loop's end flags move to the new corner when `at` ended the loop.
    void insertCorner(TfaceNode& f, uint32_t at, uint32_t ref, const int32_t* uvIds, const int32_t* colorIds,
                      int32_t normalId);
    // Reads the attributes of one corner (uv per set, colour per set, normal) into lists.
    void readCorner(const TfaceNode& f, uint32_t corner, int32_t* uvIds, int32_t* colorIds, int32_t& normalId);
    struct TsplitCaches;
    void insertSplitCorners(uint32_t face, uint32_t edge, uint32_t newEdge, float t, TsplitCaches& caches);
    // The id when it names a set user normal, else -1.
    int32_t validNormal(int32_t id) const;
    bool resolveCutEnd(uint32_t id, float t, TcutEnd& end) const;
    uint32_t cutCorner(const TfaceNode& f, const TcutEnd& end) const;
    void facesHolding(const TcutEnd& a, const TcutEnd& b, TuInt32Array& out) const;
    int32_t firstFaceHolding(const TcutEnd& a, const TcutEnd& b, TuInt32Array* faces) const;
    bool cutAllowed(const TfaceNode& f, const TcutEnd& s, const TcutEnd& e, uint32_t nInner) const;
    // A face being assembled from corners: references with end flags cleared until the caller
    // sets them, and the corners' attributes, corner-major, in scratch memory.
    struct Tpiece {
        uint32_t* refs;
        int32_t* uv;
        int32_t* col;
        int32_t* nrm;
        uint32_t n = 0;
        Tpiece(Talloca& scratch, uint32_t capacity, uint32_t nbUV, uint32_t nbColor)
            : refs(scratch.allocateArray<uint32_t>(capacity)),
              uv(scratch.allocateArray<int32_t>(capacity * nbUV + 1)),
              col(scratch.allocateArray<int32_t>(capacity * nbColor + 1)),
              nrm(scratch.allocateArray<int32_t>(capacity)) {}
    };
    void pushCorner(Tpiece& p, uint32_t ref, const int32_t* uv, const int32_t* col, int32_t nrm) const;
    void pushFaceCorner(Tpiece& p, const TfaceNode& f, uint32_t corner);
    void setSideFaces(uint32_t edge, Tside side, const TuInt32Array& faces);
    void markEdgeDeleted(uint32_t e);
    bool sameVertexFan(uint32_t v, const TuInt32Array& edges) const;
    // Original face (an id of the source record) each face descends from, -1 for none.
    void faceOrigins(TuInt32Array& out) const;
    void carryGroups(TpolyGeom& out, const TuInt32Array& faceMap) const;
    void carryBlindData(TpolyGeom& out, const TuInt32Array& faceMap, bool inherit) const;
    // A face's loops as plain lists while it is rebuilt: references without end flags, the loop
    // lengths, and per corner its UV ids, colour ids (corner-major) and user normal id.
    struct TcornerList {
        TuInt32Array refs{16}, loops{4};
        Tint32Array uvIds{16}, colorIds{16}, normalIds{16};
        void clear();
    };
    void appendCorner(TcornerList& list, const TfaceNode& f, uint32_t corner);
    // Appends corners [first, end) of one loop as a new loop.
    void appendLoop(TcornerList& list, const TfaceNode& f, uint32_t first, uint32_t end);
    // Rewrites a face from the list (wings follow); the list's refs gain their end flags.
    void rebuildFromList(uint32_t face, TcornerList& list);
    // Takes a face out of the map and the wings without touching vertex information.
    void dropFace(uint32_t face);
    // Takes out corner k's slot in every per-corner list; its end flags pass to the corner before.
    void removeSlot(TfaceNode& f, uint32_t k);
    // Edge lists of the vertices, for refreshVertices after an edit.
    void captureVertices(const TuInt32Array& vertices, std::vector<TuInt32Array>& lists) const;
    // Rewrites each vertex's information from its captured list minus deleted edges.
    void refreshVertices(const TuInt32Array& vertices, std::vector<TuInt32Array>& lists);
    bool hasAdjacency() const { return (fMode & (kModeWings | kModeVertexInfo)) == (kModeWings | kModeVertexInfo); }
    void mergeTwoEdgeFace(uint32_t face, bool refresh);
    bool deleteEdgeOnHole(uint32_t edge, uint32_t outer, uint32_t inner, bool cleanVertices);
    void faceVertices(const TfaceNode& f, TuInt32Array& out) const;

    uint32_t fMode = 0;
    uint32_t fFaceCount = 0;
    uint32_t fLastFace = TpolyBits::kNoId;
    uint32_t fNbUVSets = 0;
    uint32_t fNbColorSets = 0;
    TpolyGeom* fSource = nullptr;
    uint32_t fFacePadding = 0;
    TarrayBlockAllocator<T3dFltPoint> fVertices;
    TfaceMap fFaces;
    TarrayBlockAllocator<TpolyEdge> fEdges;
    TarrayBlockAllocator<uint32_t> fCorners;
    TarrayBlockAllocator<TpolyWingEdge> fWings;
    TarrayBlockAllocator<uint32_t> fN2MFaces;
    TarrayBlockAllocator<TpolyVertexInfo> fVertexInfo;
    TarrayBlockAllocator<uint32_t> fN2MEdges;
    std::vector<TarrayBlockAllocator<int32_t>> fUVIds;
    std::vector<TarrayBlockAllocator<T2FloatPair>> fUVs;
    std::vector<TarrayBlockAllocator<int32_t>> fColorIds;
    std::vector<TarrayBlockAllocator<TpolyColorValue>> fColors;
    TarrayBlockAllocator<uint32_t> fNormalIds;
    TarrayBlockAllocator<T4dFltVector> fUserNormals;
    // Blind-data sources: the edge (vertex) whose data each one inherits, -1 for itself or none;
    // kDeletedEdge marks a removed edge. Sized to the edge and vertex counts from the start.
    Tint32Array fEdgeSource{256};
    Tint32Array fVertexSource{256};
    uint32_t fChanged = 0;
    // Vertices made as edge midpoints by subdivideFace, which neighbouring subdivisions reuse.
    std::vector<bool> fMidpoints;
};
