#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/IffFile.h"
#include "brindle/base/Math.h"
#include "brindle/base/PolyMap.h"
#include "brindle/base/Shared.h"
#include "brindle/base/TangentSet.h"
#include "brindle/geom/PolyBlindData.h"
#include "brindle/geom/PolyColor.h"
#include "brindle/geom/PolyGrp.h"
#include "brindle/geom/PolyNorm.h"
#include "brindle/geom/PolyTopo.h"
#include "brindle/geom/PolyTrg.h"
#include "brindle/geom/PolyTypes.h"
#include "brindle/spatial/IsectCache.h"

class TpolyGeom;
struct T4dDblMatrix;
class TpolyBaseSubdivider;
class TpolySmoothGeomOptions;

// Deletes a record's subdivider where its class is complete (the subdivision sources).
struct BRINDLE_API TpolySubdividerDelete {
    void operator()(TpolyBaseSubdivider* s) const;
};

// Vertex store: the positions, indexed by vertex id.
class BRINDLE_API TpolyVertex {
public:
    TmtRefCounter fRefs;
    T3dFltPointArray fPoints{256};
};

// A record's face triangulation function: writes the triangles of the face whose first entry is
// at offset into out (local corner numbers) and answers their count, or 0 or less on failure.
using TpolyTrgFunction = int (*)(const TpolyGeom* geom, uint32_t offset, uint32_t holeCount, uint32_t cornerCount,
                                 bool useNormals, const T4dFltVector& normal, unsigned short* out);
// A user triangulation function: corner positions and normals (three floats each), the corner
// count of each loop, the loop count and the expected triangle count; writes local corner numbers.
using TuserTrgFunction = void (*)(const float* points, const float* normals, const int* loopSizes, int loopCount,
                                  int triangleCount, unsigned short* triangles);

// Properties that TpolyGeom::checkProperty tests; each names the kind of component it applies to.
enum TpolyProperty : int32_t {
    kPolyPropBorderEdge = 0,         // an edge with a side that holds no face
    kPolyPropHoledFace = 1,          // a face of more than one loop
    kPolyPropNonManifoldVertex = 2,  // a vertex that is not 2-manifold
    kPolyPropStarFace = 3,           // one loop, star-shaped about its corner mean
    kPolyPropConvexFace = 4,         // one loop, every corner turning the same way
    kPolyPropMappedFace = 5,         // every corner mapped in the UV set given
    kPolyPropUVBorderEdge = 6,       // a UV border in the UV set given
    kPolyPropHardEdge = 7
};

// The polygon record: one polygonal object made of reference-counted components that records may
// share. Vertices and edges are flat arrays indexed by id; the faces are one description array of
// packed edge uses (edge id, end-of-face, end-of-loop and reversed bits). Derived data (offsets,
// adjacency, normals, triangles) is recomputed lazily: edits set dirty bits, readers call update.
// Accessors do not check their arguments; checkIndices and the consistency check find bad records.
class BRINDLE_API TpolyGeom {
public:
    TpolyGeom();
    TpolyGeom(const TpolyGeom& other);
    // Shares the components named by mask, copies the others (the topology is always copied),
    // then brings everything up to date.
    TpolyGeom(const TpolyGeom& other, uint32_t shareMask);
    // Takes over every component of other by sharing; both records stay valid and each releases
    // its own references.
    TpolyGeom& operator=(const TpolyGeom& other);
    virtual ~TpolyGeom();

    // Bounding box of a group; false when the group does not exist or is empty.
    virtual bool grpBboxInfo(int name, TpolyGrpType type, T3dFltPoint& min, T3dFltPoint& max);

    // --- Vertices -------------------------------------------------------------------------------
    void vertexBuffer(uint32_t n) { fVertex->fPoints.buffer(n); }
    uint32_t appendVertex(const T3dFltPoint& p) {
        fVertex->fPoints.addLast(p);
        return fVertex->fPoints.size() - 1;
    }
    uint32_t appendVertex(const float* p) { return appendVertex(T3dFltPoint(p)); }
    uint32_t appendVertex(float x, float y, float z) { return appendVertex(T3dFltPoint(x, y, z)); }
    void removeVertex(uint32_t first, uint32_t count) { fVertex->fPoints.removeAt(first, count); }
    void setVertex(uint32_t v, const T3dFltPoint& p) { fVertex->fPoints[v] = p; }
    void getVertex(uint32_t v, T3dFltPoint& p) const { p = fVertex->fPoints[v]; }
    T3dFltPoint& vertex(uint32_t v) { return fVertex->fPoints[v]; }
    float* vertexFloat(uint32_t v) { return &fVertex->fPoints[v].x; }
    const T3dFltPoint& vertexConst(uint32_t v) const { return fVertex->fPoints[v]; }
    const float* vertexFloatConst(uint32_t v) const { return &fVertex->fPoints[v].x; }
    uint32_t nbVertex() const { return fVertex->fPoints.size(); }
    void swapVertex(TpolyGeom& other) { fVertex->fPoints.swap(other.fVertex->fPoints); }
    void copyVertex(const TpolyGeom& other) { fVertex->fPoints.copy(other.fVertex->fPoints); }
    void getPoint(uint32_t v, T3dFltPoint& p) const { getVertex(v, p); }
    void setPoint(uint32_t v, const T3dFltPoint& p) { setVertex(v, p); }
    uint32_t nbPoint() const { return nbVertex(); }
    T3dFltPointArray& vertexArray() { return fVertex->fPoints; }
    const T3dFltPointArray& vertexArray() const { return fVertex->fPoints; }

    // --- Edges ----------------------------------------------------------------------------------
    void edgeBuffer(uint32_t n) { fTopo->fEdges.buffer(n); }
    uint32_t appendEdge(uint32_t start, uint32_t end, bool hard = false) {
        TpolyEdge e;
        e.v[0] = (start & TpolyBits::kVertexMask) | (hard ? TpolyBits::kHardFlag : 0);
        e.v[1] = end & TpolyBits::kVertexMask;
        fTopo->fEdges.addLast(e);
        return fTopo->fEdges.size() - 1;
    }
    void removeEdge(uint32_t first, uint32_t count) { fTopo->fEdges.removeAt(first, count); }
    uint32_t nbEdge() const { return fTopo->fEdges.size(); }
    void getEdge(uint32_t e, TpolyEdge& out) const { out = fTopo->fEdges[e]; }
    TpolyEdge& edge(uint32_t e) { return fTopo->fEdges[e]; }
    const TpolyEdge& edgeConst(uint32_t e) const { return fTopo->fEdges[e]; }
    void setStart(uint32_t e, uint32_t v) {
        uint32_t& w = fTopo->fEdges[e].v[0];
        w = (w & TpolyBits::kHardFlag) | (v & TpolyBits::kVertexMask);
    }
    void setEnd(uint32_t e, uint32_t v) { fTopo->fEdges[e].v[1] = v; }
    uint32_t startVertex(uint32_t e, TedgeDirection d = kForward) const {
        return fTopo->fEdges[e].v[d] & TpolyBits::kVertexMask;
    }
    uint32_t endVertex(uint32_t e, TedgeDirection d = kForward) const {
        return fTopo->fEdges[e].v[1 - d] & TpolyBits::kVertexMask;
    }
    uint32_t startVertex(uint32_t e, bool reversed) const { return startVertex(e, reversed ? kReversed : kForward); }
    uint32_t endVertex(uint32_t e, bool reversed) const { return endVertex(e, reversed ? kReversed : kForward); }
    void setHard(uint32_t e) { fTopo->fEdges[e].v[0] |= TpolyBits::kHardFlag; }
    void setSmooth(uint32_t e) { fTopo->fEdges[e].v[0] &= TpolyBits::kVertexMask; }
    void setSmoothing(uint32_t e, bool hard) { hard ? setHard(e) : setSmooth(e); }
    bool isHard(uint32_t e) const { return fTopo->fEdges[e].isHard(); }
    bool isSmooth(uint32_t e) const { return !isHard(e); }
    void swapEdge(TpolyGeom& other) { fTopo->fEdges.swap(other.fTopo->fEdges); }
    void copyEdge(const TpolyGeom& other) { fTopo->fEdges.copy(other.fTopo->fEdges); }
    TpolyEdgeArray& edgeArray() { return fTopo->fEdges; }
    const TpolyEdgeArray& edgeArray() const { return fTopo->fEdges; }

    // --- Face description -----------------------------------------------------------------------
    void loopEdgeBuffer(uint32_t n) { fTopo->fFaceDesc.buffer(n); }
    void bgnFace(uint32_t n = 0) {
        if (n > 0) fTopo->fFaceDesc.buffer(n);
        ++fTopo->fNbFace;
    }
    void bgnLoop(uint32_t n = 0) {
        if (n > 0) fTopo->fFaceDesc.buffer(n);
    }
    void refEdge(uint32_t e, TedgeDirection d) {
        fTopo->fFaceDesc.addLast((e & TpolyBits::kEdgeMask) | (d == kReversed ? TpolyBits::kReversedUse : 0));
    }
    void refEdge(uint32_t e, bool reversed) { refEdge(e, reversed ? kReversed : kForward); }
    void refEdge(const int* entries, uint32_t n) {
        fTopo->fFaceDesc.append(reinterpret_cast<const uint32_t*>(entries), n);
    }
    void endLoop() { fTopo->fFaceDesc.last() |= TpolyBits::kEndOfLoop; }
    void endFace() { fTopo->fFaceDesc.last() |= TpolyBits::kEndOfFace; }

    uint32_t getEdge(uint32_t offset) const { return fTopo->fFaceDesc[offset] & TpolyBits::kEdgeMask; }
    void setEdge(uint32_t offset, uint32_t e) {
        uint32_t& w = fTopo->fFaceDesc[offset];
        w = (w & ~TpolyBits::kEdgeMask) | (e & TpolyBits::kEdgeMask);
    }
    void setEdge(uint32_t offset, uint32_t e, TedgeDirection d) {
        uint32_t& w = fTopo->fFaceDesc[offset];
        w = (w & (TpolyBits::kEndOfFace | TpolyBits::kEndOfLoop)) | (e & TpolyBits::kEdgeMask) |
            (d == kReversed ? TpolyBits::kReversedUse : 0);
    }
    TedgeDirection getDirection(uint32_t offset) const {
        return (fTopo->fFaceDesc[offset] & TpolyBits::kReversedUse) ? kReversed : kForward;
    }
    void setDirection(uint32_t offset, TedgeDirection d) {
        uint32_t& w = fTopo->fFaceDesc[offset];
        w = (w & ~TpolyBits::kReversedUse) | (d == kReversed ? TpolyBits::kReversedUse : 0);
    }
    void setFaceEdge(uint32_t offset, uint32_t raw) { fTopo->fFaceDesc[offset] = raw; }
    uint32_t getFaceEdge(uint32_t offset) const { return fTopo->fFaceDesc[offset]; }
    uint32_t* getFaceEdgeArray(uint32_t offset) { return fTopo->fFaceDesc.data() + offset; }
    const uint32_t* getFaceEdgeArray(uint32_t offset) const { return fTopo->fFaceDesc.data() + offset; }
    bool endOfLoop(uint32_t offset) const { return (fTopo->fFaceDesc[offset] & TpolyBits::kEndOfLoop) != 0; }
    bool endOfFace(uint32_t offset) const { return (fTopo->fFaceDesc[offset] & TpolyBits::kEndOfFace) != 0; }
    bool endOfPoly(uint32_t offset) const { return fTopo->fFaceDesc.empty() || offset == fTopo->fFaceDesc.size() - 1; }
    // Oriented start and end vertex of one edge use.
    uint32_t getStartVertex(uint32_t offset) const { return startVertex(getEdge(offset), getDirection(offset)); }
    uint32_t getEndVertex(uint32_t offset) const { return endVertex(getEdge(offset), getDirection(offset)); }
    void removeLoopEdge(uint32_t first, uint32_t count) { fTopo->fFaceDesc.removeAt(first, count); }
    uint32_t nbEdgeRef() const { return fTopo->fFaceDesc.size(); }
    uint32_t faceDescLength() const { return fTopo->fFaceDesc.size(); }
    uint32_t nbVertexFace() const { return fTopo->fFaceDesc.size(); }
    void swapFaceEdge(TpolyGeom& other) {
        fTopo->fFaceDesc.swap(other.fTopo->fFaceDesc);
        std::swap(fTopo->fNbFace, other.fTopo->fNbFace);
    }
    void copyFaceEdge(const TpolyGeom& other, uint32_t offset) { fTopo->fFaceDesc.addLast(other.getFaceEdge(offset)); }
    TuInt32Array& faceDescArray() { return fTopo->fFaceDesc; }
    const TuInt32Array& faceDescArray() const { return fTopo->fFaceDesc; }

    // --- Faces ----------------------------------------------------------------------------------
    uint32_t nbFace() const { return fTopo->fNbFace; }
    void addFace(uint32_t n) { fTopo->fNbFace += n; }
    void setNbFace(uint32_t n) { fTopo->fNbFace = n; }
    uint32_t faceOffset(uint32_t f) const { return fTopo->fFaceOffsets[f]; }
    uint32_t faceVertexCount(uint32_t f) const { return fTopo->fFaceOffsets[f + 1] - fTopo->fFaceOffsets[f]; }
    uint32_t faceOrder(uint32_t f) const;
    // Id of the edge of face f whose oriented start is v (the last such one), or -1.
    uint32_t getEdgeId(uint32_t face, uint32_t v);
    // Local offset of edge within the face starting at faceOffset (0 when absent); loopStart, when
    // given, receives the local offset at which the edge's loop begins.
    uint32_t getEdgeOffsetInFace(uint32_t faceOffset, uint32_t edge, uint32_t* loopStart = nullptr) const;
    // Offset of the corner of face f whose oriented start is v, or -1.
    uint32_t getVertexOffset(uint32_t face, uint32_t v) const;
    // Normal id of the corner of face f at vertex v, or -1 (needs the normal ids up to date).
    uint32_t getFaceVtxNormalId(uint32_t face, uint32_t v) const;
    TuInt32Array& faceOffsetArray() { return fTopo->fFaceOffsets; }
    const TuInt32Array& faceOffsetArray() const { return fTopo->fFaceOffsets; }

    // --- Derived data ---------------------------------------------------------------------------
    // Every marking also moves the edit stamp, by which caches kept outside the dirty bits (the
    // intersection accelerator) notice that the record may have changed.
    void markDirty(uint32_t mask) {
        fDirty |= mask;
        ++fEditStamp;
    }
    uint64_t editStamp() const { return fEditStamp; }
    bool isDirty(uint32_t mask) const { return (fDirty & mask) != 0; }
    uint32_t dirtyMask() const { return fDirty; }
    // Recomputes what is both requested and dirty, prerequisites first.
    void update(uint32_t mask);

    // Recomputation steps behind update; each first updates what it needs and clears its own bit.
    void completeVertexToEdge();
    void computeFaceVectors();
    void normalizeFaceVectors();
    void triangulate();
    void computeVertexNormalTopo();
    void computeVertexNormals();
    void normalizeVertexNormals();

    // --- Adjacency ------------------------------------------------------------------------------
    // Direct reads and writes of the edge-to-face and vertex-to-edge tables: bring them up to date
    // first (update with dirtyEdgeToFace or dirtyVertexToEdge). A non-manifold side counts as
    // having a face.
    const TpolyWingEdge& getEdgeFace(uint32_t e) const { return fTopo->fEdgeToFace[e]; }
    void setEdgeFace(uint32_t e, const TpolyWingEdge& w) { fTopo->fEdgeToFace[e] = w; }
    void edgeFaceBuffer(uint32_t n) { fTopo->fEdgeToFace.buffer(n); }
    bool hasSide(uint32_t e, Tside s) const { return fTopo->fEdgeToFace[e].side[s] != TpolyBits::kNoFace; }
    bool hasLeft(uint32_t e) const { return hasSide(e, kLeft); }
    bool hasRight(uint32_t e) const { return hasSide(e, kRight); }
    bool isBorder(uint32_t e) const { return !hasLeft(e) || !hasRight(e); }
    bool isEdgeManifold(uint32_t e) const {
        return fTopo->isEdgeFace2Manifold(e, kLeft) && fTopo->isEdgeFace2Manifold(e, kRight);
    }
    void setSide(uint32_t e, Tside s, uint32_t face) { fTopo->fEdgeToFace[e].side[s] = face; }
    void setLeft(uint32_t e, uint32_t face) { setSide(e, kLeft, face); }
    void setRight(uint32_t e, uint32_t face) { setSide(e, kRight, face); }

    const TpolyVertexInfo& getVertexInfo(uint32_t v) const { return fTopo->fVertexToEdge[v]; }
    void setVertexInfo(uint32_t v, const TpolyVertexInfo& info) { fTopo->fVertexToEdge[v] = info; }
    void vertexEdgeBuffer(uint32_t n) { fTopo->fVertexToEdge.buffer(n); }
    bool isVertexTwoManifold(uint32_t v) const { return !(fTopo->fVertexToEdge[v].edge & TpolyTopo::kNonManifold); }
    void setVertexNonTwoManifold(uint32_t v) { fTopo->fVertexToEdge[v].edge |= TpolyTopo::kNonManifold; }
    uint32_t leavingEdge(uint32_t v) const { return fTopo->fVertexToEdge[v].edge & TpolyTopo::kRunIndexMask; }
    TedgeDirection leavingDirection(uint32_t v) const {
        return (fTopo->fVertexToEdge[v].edge & TpolyTopo::kLeavingReversed) ? kReversed : kForward;
    }
    // Writes the whole first word, which makes the vertex 2-manifold again.
    void setLeavingEdge(uint32_t v, uint32_t e, TedgeDirection d) {
        fTopo->fVertexToEdge[v].edge =
            (e & TpolyTopo::kRunIndexMask) | (d == kReversed ? TpolyTopo::kLeavingReversed : 0);
    }
    uint32_t vertexOrder(uint32_t v) const { return fTopo->fVertexToEdge[v].order; }
    void setVertexOrder(uint32_t v, uint32_t order) { fTopo->fVertexToEdge[v].order = order; }
    void incVertexOrder(uint32_t v) { ++fTopo->fVertexToEdge[v].order; }
    void decVertexOrder(uint32_t v) { --fTopo->fVertexToEdge[v].order; }

    // Whether the ring walk from v's leaving edge closes into one fan (or one open fan from a border
    // edge) that holds all of v's edge ends.
    bool checkIfVertexTwoManifold(uint32_t v);
    // Bring the table up to date; true when some edge side holds several faces / some vertex is
    // not 2-manifold.
    bool nonManifoldEdges();
    bool nonManifoldVertices();
    // Flip entry directions so that consecutive entries of each loop meet (one pass, in order).
    void fixEdgeDirections();
    // The same for one face taken as a single loop; false for a face out of range.
    bool fixEdgeConnections(uint32_t face);

    // --- Normals --------------------------------------------------------------------------------
    // Direct reads of the normal arrays: bring them up to date with update first. Face normals are
    // indexed by face, shading normals by normal id, normal ids by face corner.
    uint32_t nbFaceNormal() const { return fNorm->fFaceNormals.size(); }
    const T3dFltPoint& faceNormalConst(uint32_t f) const { return fNorm->fFaceNormals[f]; }
    T3dFltPoint& faceNormal(uint32_t f) { return fNorm->fFaceNormals[f]; }
    void getFaceNormal(uint32_t f, T4dFltVector& out) const {
        const T3dFltPoint& n = fNorm->fFaceNormals[f];
        out = T4dFltVector(n.x, n.y, n.z);
    }
    void faceNormalBuffer(uint32_t n) { fNorm->fFaceNormals.buffer(n); }
    uint32_t appendFaceNormal(const T4dFltVector& n) { return appendFaceNormal(n.x, n.y, n.z); }
    uint32_t appendFaceNormal(const float* n) { return appendFaceNormal(n[0], n[1], n[2]); }
    uint32_t appendFaceNormal(float x, float y, float z) {
        fNorm->fFaceNormals.addLast(T3dFltPoint(x, y, z));
        return fNorm->fFaceNormals.size() - 1;
    }
    void removeFaceNormal(uint32_t first, uint32_t count = 1) { fNorm->fFaceNormals.removeAt(first, count); }
    void setFaceNormal(uint32_t f, const T4dFltVector& n) { fNorm->fFaceNormals[f] = T3dFltPoint(n.x, n.y, n.z); }
    void setFaceNormalNumber(uint32_t n) { fNorm->fFaceNormals.changeLogicalSizeTo(n); }
    float* faceNormalFloat(uint32_t f) { return &fNorm->fFaceNormals[f].x; }
    const float* faceNormalFloatConst(uint32_t f) const { return &fNorm->fFaceNormals[f].x; }
    void swapFaceNormal(TpolyGeom& other) { fNorm->fFaceNormals.swap(other.fNorm->fFaceNormals); }
    void copyFaceNormal(const TpolyGeom& other) { fNorm->fFaceNormals.copy(other.fNorm->fFaceNormals); }

    uint32_t nbVertexNormal() const { return fNorm->fVertexNormals.size(); }
    const T3dFltPoint& vertexNormalConst(uint32_t id) const { return fNorm->fVertexNormals[id]; }
    T3dFltPoint& vertexNormal(uint32_t id) { return fNorm->fVertexNormals[id]; }
    void vertexNormalBuffer(uint32_t n) { fNorm->fVertexNormals.buffer(n); }
    uint32_t appendVertexNormal(const T4dFltVector& n) { return appendVertexNormal(n.x, n.y, n.z); }
    uint32_t appendVertexNormal(const float* n) { return appendVertexNormal(n[0], n[1], n[2]); }
    uint32_t appendVertexNormal(float x, float y, float z) {
        fNorm->fVertexNormals.addLast(T3dFltPoint(x, y, z));
        return fNorm->fVertexNormals.size() - 1;
    }
    void removeVertexNormal(uint32_t first, uint32_t count = 1) { fNorm->fVertexNormals.removeAt(first, count); }
    void setVertexNormal(uint32_t id, const T4dFltVector& n) { fNorm->fVertexNormals[id] = T3dFltPoint(n.x, n.y, n.z); }
    void getVertexNormal(uint32_t id, T4dFltVector& out) const {
        const T3dFltPoint& n = fNorm->fVertexNormals[id];
        out = T4dFltVector(n.x, n.y, n.z);
    }
    void setVertexNormalNumber(uint32_t n) { fNorm->fVertexNormals.changeLogicalSizeTo(n); }
    float* vertexNormalFloat(uint32_t id) { return &fNorm->fVertexNormals[id].x; }
    const float* vertexNormalFloatConst(uint32_t id) const { return &fNorm->fVertexNormals[id].x; }
    void swapVertexNormal(TpolyGeom& other) { fNorm->fVertexNormals.swap(other.fNorm->fVertexNormals); }
    void copyVertexNormal(const TpolyGeom& other) { fNorm->fVertexNormals.copy(other.fNorm->fVertexNormals); }
    // Int-indexed forms of the shading-normal accessors.
    void getNormal(int id, T4dFltVector& out) const { getVertexNormal(uint32_t(id), out); }
    void setNormal(int id, const T4dFltVector& n) { setVertexNormal(uint32_t(id), n); }
    int nbNormal() const { return int(nbVertexNormal()); }
    void setNormalNumber(int n) { setVertexNormalNumber(uint32_t(n)); }

    void normalRefBuffer(uint32_t n) { fNorm->fNormalIds.buffer(n); }
    void refNormal(uint32_t id) { fNorm->fNormalIds.addLast(id); }
    // Empties the normal ids, then gives them n entries.
    void setNormFaceLength(uint32_t n) {
        fNorm->fNormalIds.clear();
        fNorm->fNormalIds.changeLogicalSizeTo(n);
    }
    uint32_t* normFaceData() { return fNorm->fNormalIds.data(); }
    const uint32_t* normFaceData() const { return fNorm->fNormalIds.data(); }
    uint32_t nbNormalRef() const { return fNorm->fNormalIds.size(); }
    uint32_t getNormalId(uint32_t offset) const { return fNorm->fNormalIds[offset]; }
    void setNormalId(uint32_t offset, uint32_t id) { fNorm->fNormalIds[offset] = id; }
    // The shading normal of a corner.
    const T3dFltPoint& getRefNormal(uint32_t offset) const { return fNorm->fVertexNormals[fNorm->fNormalIds[offset]]; }

    // User normals, indexed by normal id. Every change marks the shading normals dirty, since they
    // are recomputed from the faces before the user normals are applied again.
    uint32_t nbUserNormal() const { return fNorm->fUserNormals.size(); }
    bool hasUserNormals() const { return !fNorm->fUserNormals.empty(); }
    bool hasValidUserNormal(uint32_t id) const { return fNorm->getValidUserNormal(id) != nullptr; }
    void buildUserNormalBuffer(uint32_t n) { fNorm->buildUserNormalBuffer(n); }
    void userNormalBuffer(uint32_t n) { fNorm->fUserNormals.buffer(n); }
    uint32_t appendUserNormal(const T4dFltVector& n) {
        fNorm->fUserNormals.addLast(n);
        markDirty(dirtyVertexNormals | dirtyVertexNormalize | dirtyDisplay);
        return fNorm->fUserNormals.size() - 1;
    }
    void getUserNormal(uint32_t id, T4dFltVector& out) const { out = fNorm->fUserNormals[id]; }
    T4dFltVector& userNormal(uint32_t id) { return fNorm->fUserNormals[id]; }
    const T4dFltVector& userNormalConst(uint32_t id) const { return fNorm->fUserNormals[id]; }
    float* userNormalFloat(uint32_t id) { return &fNorm->fUserNormals[id].x; }
    const float* userNormalFloatConst(uint32_t id) const { return &fNorm->fUserNormals[id].x; }
    // Null when id is beyond the user array or its entry is unset.
    const T4dFltVector* getValidUserNormal(uint32_t id) const { return fNorm->getValidUserNormal(id); }
    void updateUserNormals() { fNorm->updateUserNormals(); }
    // Copy the whole user array out / in (loading marks the shading normals dirty).
    void saveUserNormal(T4dFltVectorArray& out) const { out.copy(fNorm->fUserNormals); }
    void loadUserNormal(const T4dFltVectorArray& in);
    // Multiplies every set user normal by the normal matrix of m.
    void transformUserNormal(const T4dFltMatrix& m);
    // Grows the user array to other's shading-normal count and fills each unset entry with
    // other's entry of the same id.
    void mergeUserNormal(const TpolyGeom& other);
    // Sets, over nbVertex bits, the vertices of the corners whose normal id has a set user
    // normal; answers how many (needs the normal ids up to date).
    uint32_t getUserNormalRelatedVertexFlags(TbitFieldFixedN& bits) const;

    // Angle-weighted unit normal per vertex, cached until removed. Unless forced, a cache with
    // one entry per vertex is kept as it is.
    void cacheSurfaceNormals(bool force = false);
    void removeSurfaceNormals() { fNorm->fSurfaceNormals.clear(); }
    // Null / false when the cache holds no entry for the vertex.
    const float* surfaceNormalFloatConst(uint32_t v) const {
        return v < fNorm->fSurfaceNormals.size() ? &fNorm->fSurfaceNormals[v].x : nullptr;
    }
    bool getSurfaceNormal(uint32_t v, T4dFltVector& out) const {
        const float* n = surfaceNormalFloatConst(v);
        if (n) out = T4dFltVector(n[0], n[1], n[2]);
        return n != nullptr;
    }
    // Grows the array when id is beyond it.
    void setUserNormal(uint32_t id, const T4dFltVector& n);
    void resetUserNormal(uint32_t id);
    void setUserNormalMode(TpolyNorm::TuserNormalMode mode);
    TpolyNorm::TuserNormalMode userNormalMode() const { return fNorm->fUserNormalMode; }
    // Locks every shading normal: each unset user entry takes the current normal, mode 0.
    void freezeNormals();
    // Newell vector of the loop whose first entry is at offset (twice its area, unnormalised).
    T4dFltVector computeLoopVector(uint32_t offset) const;
    // Unit Newell normal of the loop at offset; false (out zero) for a loop of no area.
    bool computeLoopNormal(uint32_t offset, T4dFltVector& out) const;
    // Unit normal of the face whose first entry is at offset, from its outer loop.
    bool faceNormalFromOffset(uint32_t offset, T4dFltVector& out) const { return computeLoopNormal(offset, out); }
    // The shading normal of the corner at offset (needs the normal ids and normals up to date).
    void getNormalFromOffset(uint32_t offset, T4dFltVector& out) const {
        const T3dFltPoint& n = getRefNormal(offset);
        out = T4dFltVector(n.x, n.y, n.z);
    }
    // Keep user normals across a change of hard/soft flags: start saves the corner normal ids,
    // end moves each user normal from its corner's old id to the corner's new id.
    void startChangeSmoothing(TuInt32Array& saved);
    void endChangeSmoothing(const TuInt32Array& saved);
    // Unit normal at a vertex: the unit normals of its faces weighted by their angle there; false
    // (out zero) when there is none.
    bool computeGeomVertexNormal(uint32_t v, T4dFltVector& out);
    // Unit mean of the unit normals of the faces on an edge; false (out zero) when there is none.
    bool computeGeomEdgeNormal(uint32_t e, T4dFltVector& out);

    // --- Copying and sharing --------------------------------------------------------------------
    // Deep-copies the components named by mask into this record's own components.
    void copy(const TpolyGeom& other, uint32_t mask);
    // Releases this record's components named by mask and takes other's.
    void share(const TpolyGeom& other, uint32_t mask);
    // Releases the components named by mask and puts fresh empty ones in their place.
    void unShare(uint32_t mask);
    // Copies the topology parts named by the low three bits (1 face offsets, 2 vertex-to-edge,
    // 4 edge-to-face) and clears their dirty bits.
    void copyStructure(const TpolyGeom& other, uint32_t mask);

    // --- Reference frames (PolyGeomReference.cpp) -------------------------------------------------
    // Carries every position, and every set user normal through the matrix's normal transform,
    // into the frame of m (its inverse with invert). With markChanged the position-dependent
    // derived data is marked dirty; without it the caller has already marked it or knows the
    // round trip restores it. A singular matrix given with invert changes nothing (false).
    bool toReference(const T4dDblMatrix& m, bool invert, bool markChanged);

    // --- Removal of unused components ------------------------------------------------------------
    // Removes the vertices that no edge uses, closing the gaps, and answers how many went. With
    // renumberEdges the edges are rewritten to the new ids (hard flags kept); with renumberGroups
    // the vertex groups are too; with pack the arrays give back their spare room. map, when given,
    // has an entry per vertex before the call and receives old id -> new id (all ones when gone).
    uint32_t remUnusedVertex(bool renumberEdges, bool renumberGroups, bool pack, uint32_t* map);
    // The same for the edges that no face uses; renumberFaces rewrites the face description.
    uint32_t remUnusedEdges(bool renumberFaces, bool renumberGroups, bool pack, uint32_t* map);

    // --- UV sets (defined in PolyGeomSets.cpp) -----------------------------------------------------
    // Each set holds UV pairs and one id per face corner into them (-1: the corner is unmapped);
    // corners that share an id share the UV, corners with different ids make a seam. Every call
    // taking a set index s answers false, 0, -1 or null, changing nothing, when s names no set (all
    // ones included); id writers also refuse an id that is neither -1 nor below the set's UV count.
    // Writes to values or ids mark the record dirty with dirtyMoved.
    uint32_t nbMapSet() const;
    void mapSetBuffer(uint32_t n);
    // The first set added to a record without a current set becomes current.
    bool setCurrentMap(uint32_t s);
    int32_t getCurrentMap() const;
    // With uniqueName the name is first made unique among the other sets and written back.
    bool setMapName(uint32_t s, Tstring& name, bool uniqueName);
    bool mapName(uint32_t s, Tstring& name) const;
    bool currentMapName(Tstring& name) const;
    bool setCurrentMapName(std::string_view name);
    bool findMapSet(std::string_view name, uint32_t& s) const;
    bool removeMapSet(uint32_t s);
    // Copies the UVs and ids (not the name) of one set into another.
    bool copyMapSet(uint32_t from, uint32_t to);
    // Writes into name a UV-set name no set has ("map1", "map2", ... from an empty name) and
    // answers the set count.
    uint32_t generateUniqueUVSetName(Tstring& name) const;
    // Appends a set without ids, or with one unmapped id per face corner; answers its index.
    uint32_t addLastMapSet(const Tstring& name);
    uint32_t newEmptyMapSet(const Tstring& name);

    bool uvBuffer(uint32_t n, uint32_t s);
    // Append UVs and answer the index of the (first) new one, or -1.
    int32_t appendUV(float u, float v, uint32_t s);
    int32_t appendUV(const float* uv, uint32_t s);
    int32_t appendUV(const T2FloatPair& uv, uint32_t s);
    int32_t appendUV(const float* pairs, uint32_t count, uint32_t s);
    // Removing UVs keeps every other corner on its UV: later ids shift down, ids into the removed
    // run become -1.
    bool removeUV(uint32_t first, uint32_t count, uint32_t s);
    bool removeLastUV(uint32_t count, uint32_t s);
    // Exchange or copy the UVs (not the ids) of set s with set s of other.
    bool swapUV(TpolyGeom& other, uint32_t s);
    bool copyUV(const TpolyGeom& other, uint32_t s);
    uint32_t nbUV(uint32_t s) const;
    bool setUV(uint32_t i, float u, float v, uint32_t s);
    bool getUV(uint32_t i, float uv[2], uint32_t s) const;
    // Null for a UV index or set out of range.
    T2FloatPair* uv(uint32_t i, uint32_t s);
    float* uvFloat(uint32_t i, uint32_t s);
    const T2FloatPair* uvConst(uint32_t i, uint32_t s) const;
    const float* uvFloatConst(uint32_t i, uint32_t s) const;

    // Reserves n ids (0: the face-description length).
    bool mapFaceBuffer(uint32_t n, uint32_t s);
    // The corner has a UV in set s; an offset beyond the id array is unmapped.
    bool isMappedAtOffset(uint32_t offset, uint32_t s) const;
    // The corner has a UV in some set.
    bool isMappedAtOffset(uint32_t offset) const;
    // The first corner of the face is mapped (needs the face offsets up to date).
    bool isMapped(uint32_t face, uint32_t s) const;
    uint32_t nbUVRef(uint32_t s) const;
    bool setUVId(uint32_t offset, int32_t id, uint32_t s);
    // -1 beyond the id array.
    int32_t getUVId(uint32_t offset, uint32_t s) const;
    int32_t* getUVIdArray(uint32_t s);
    const int32_t* getUVIdArray(uint32_t s) const;
    bool removeUVId(uint32_t first, uint32_t count, uint32_t s);
    bool insertUVId(uint32_t offset, int32_t id, uint32_t s);
    // Append one id or a run of ids; a run with one bad id appends nothing.
    bool refUV(int32_t id, uint32_t s);
    bool refUV(const int32_t* ids, uint32_t n, uint32_t s);
    // Appends the id at offset of other's set otherSet to set s.
    bool copyUVId(const TpolyGeom& other, uint32_t offset, uint32_t s, uint32_t otherSet);
    // Exchanges the ids of set s with those of other's set s.
    bool swapUVId(TpolyGeom& other, uint32_t s);
    // Drops UVs and ids / drops UVs and unmaps every corner.
    bool clearMap(uint32_t s);
    bool resetMap(uint32_t s);
    // Replaces the ids of every corner (faceDescLength of them) at once.
    bool setAllUVIds(const int32_t* ids, uint32_t s);
    // Drops the UVs no corner uses, keeping every corner on its UV; answers how many went.
    uint32_t removeUnusedUVs(uint32_t s);
    // Corners of one vertex whose UVs are equal come to share the lowest of their ids; answers how
    // many corners changed id (the freed UVs stay until removeUnusedUVs).
    uint32_t shareUV(uint32_t s);
    // Gives the corner a UV of its own when another corner shares its id / gives every corner one.
    bool unshareUV(uint32_t offset, uint32_t s);
    uint32_t unshareUV(uint32_t s);

    // Face and edge UV queries; they read the face offsets and edge-to-face table as they stand,
    // so the caller brings those up to date. A face or edge out of range answers false, -1 or 0.
    // One UV per corner of the face (all loops), out emptied first; false when a corner is unmapped.
    bool getFaceUVs(uint32_t face, T2FloatArray& out, uint32_t s) const;
    // The UV of the face's corner at vertex v.
    bool getFaceVertexUV(uint32_t face, uint32_t v, float out[2], uint32_t s) const;
    // UV ids at the oriented start and end of the edge use at offset.
    bool getEdgeUVIds(uint32_t offset, int32_t ids[2], uint32_t s) const;
    // UV ids at the edge's start and end vertex in the face on one side of it.
    bool getEdgeFaceUVIds(uint32_t edge, Tside side, int32_t ids[2], uint32_t s) const;
    // A UV border: an edge with a face on one side only, a non-manifold edge, or one whose two faces
    // give either of its vertices different UV ids (a seam).
    bool isUVBorder(uint32_t edge, uint32_t s) const;
    // The face's UV id at vertex v is also used by a corner of another face.
    bool isUVAtVertexShared(uint32_t face, uint32_t v, uint32_t s) const;
    // The corners of vertex v use more than one UV id in set s.
    bool hasMultipleUVs(uint32_t v, uint32_t s) const;
    // Bounding box of the set's UVs; false for an empty set.
    bool getUVBbox(float min[2], float max[2], uint32_t s) const;
    // Mean of the face's corner UVs.
    bool getUVCenter(uint32_t face, float out[2], uint32_t s) const;
    // Signed area of the face in UV space, counter-clockwise positive, holes subtracted; 0 when
    // a corner is unmapped.
    float getUVFaceArea(uint32_t face, uint32_t s) const;
    // Index of the set's UV nearest to uv, or -1 for an empty set.
    int32_t getClosestUVPoint(const float uv[2], uint32_t s) const;
    // The sets in which every corner of the face is mapped, out emptied first.
    void getFaceUVSets(uint32_t face, TuInt32Array& out) const;
    // The point of the face at a UV location, interpolated in the face triangle whose UVs hold it
    // (the record's triangles are brought up to date first); false when no triangle does.
    bool getPointFromUV(uint32_t face, const float uv[2], T3dFltPoint& point, uint32_t s);
    // One point for each face holding the UV location, in face order, out emptied first; answers
    // how many.
    uint32_t getPointsFromUV(const float uv[2], T3dFltPointArray& out, uint32_t s);

    // --- Colour sets (defined in PolyGeomSets.cpp) -------------------------------------------------
    // The same per-corner scheme as the UV sets, with colour values of four floats whose meaningful
    // channels the set's representation names. The same checks and dirty marking apply to s and to
    // ids. A new record's current colour set is 0.
    uint32_t nbColorSet() const;
    void colorSetBuffer(uint32_t n);
    bool setCurrentColorSet(uint32_t s);
    int32_t getCurrentColorSet() const;
    bool setColorName(uint32_t s, Tstring& name, bool uniqueName);
    bool colorName(uint32_t s, Tstring& name) const;
    bool currentColorName(Tstring& name) const;
    bool findColorSet(std::string_view name, uint32_t& s) const;
    bool removeColorSet(uint32_t s);
    // Copies colours, ids and representation (not the name) of one set into another.
    bool copyColorSet(uint32_t from, uint32_t to);
    // Writes into name a colour-set name no set has ("colorSet1", "colorSet2", ... from an empty
    // name; a given name is tried itself, then followed by 2, 3, ...) and answers the set count.
    uint32_t generateUniqueColorSetName(Tstring& name) const;
    uint32_t addLastColorSet(const Tstring& name);
    uint32_t newEmptyColorSet(const Tstring& name);

    // Drops the colours and ids of set s.
    bool clearColor(uint32_t s);
    bool colorBuffer(uint32_t n, uint32_t s);
    // Reserves n ids (0: the face-description length).
    bool colorIndexBuffer(uint32_t n, uint32_t s);
    // Copies the colours and representation (not the ids) of other's set s.
    bool copyColor(const TpolyGeom& other, uint32_t s);
    // Appends count colours given as floats of representation rep, converted to the set's own
    // representation; answers the index of the first, or -1 (also for an unknown rep).
    int32_t appendColor(const float* values, TpolyColorValue::TpolyColorRep rep, uint32_t count, uint32_t s);
    int32_t addLastColor(const TpolyColorValue& value, uint32_t s);
    // Removing colours keeps every other corner on its colour, as for UVs.
    bool removeColor(uint32_t first, uint32_t count, uint32_t s);
    bool removeLastColor(uint32_t count, uint32_t s);
    uint32_t colorCount(uint32_t s) const;
    bool setColor(uint32_t i, const TpolyColorValue& value, uint32_t s);
    bool getColor(uint32_t i, TpolyColorValue& value, uint32_t s) const;
    // Null for a colour index or set out of range.
    const TpolyColorValue* getColor(uint32_t i, uint32_t s) const;
    // The representation of set s; RGBA when s names no set.
    TpolyColorValue::TpolyColorRep colorRepresentation(uint32_t s) const;
    bool setColorRepresentation(TpolyColorValue::TpolyColorRep rep, uint32_t s);
    // The four floats of the corner's colour; false (out untouched) when the offset is out of range
    // or its id is -1 or names no colour.
    bool getColorByOffset(uint32_t offset, float out[4], uint32_t s) const;
    bool hasColorAtOffset(uint32_t offset, uint32_t s) const;
    // The corner has a colour in some set.
    bool hasColorAtOffset(uint32_t offset) const;
    // The first corner of the face has a colour (needs the face offsets up to date).
    bool hasColor(uint32_t face, uint32_t s) const;
    uint32_t nbColorRef(uint32_t s) const;
    uint32_t colorIndexCount(uint32_t s) const { return nbColorRef(s); }
    // Append one id or a run of ids; an id neither -1 nor below the colour count is refused and a
    // run holding one appends nothing.
    bool refColor(int32_t id, uint32_t s);
    bool refColor(const int32_t* ids, uint32_t n, uint32_t s);
    // Appends the id at offset of other's set otherSet to set s.
    bool copyColorId(const TpolyGeom& other, uint32_t offset, uint32_t s, uint32_t otherSet);
    bool swapColorIndex(TpolyGeom& other, uint32_t s);
    // -1 beyond the id array.
    int32_t getColorId(uint32_t offset, uint32_t s) const;
    int32_t* getColorIdArray(uint32_t s);
    const int32_t* getColorIdArray(uint32_t s) const;
    bool removeColorId(uint32_t first, uint32_t count, uint32_t s);
    bool insertColorId(uint32_t offset, int32_t id, uint32_t s);
    bool setColorId(uint32_t offset, int32_t id, uint32_t s);
    bool makeColorInvalid(uint32_t offset, uint32_t s);
    // Gives every colour set one id per face corner: missing ids are appended as -1, extra ones
    // dropped.
    void completeColor();
    // Some corner refers to a valid colour whose alpha is not 1.
    bool haveTransparentColor(uint32_t s) const;
    // Drops the colours no corner uses, keeping every corner on its colour; answers how many went.
    uint32_t removeUnusedColors(uint32_t s);
    // Colours whole faces (kind kPolyGrpFace: every corner of face ids[k]) or vertices
    // (kPolyGrpVertex: every corner at vertex ids[k]) with colours[k], one new colour each; the
    // corners' old colours stay until removeUnusedColors. Refused, changing nothing, for another
    // kind or an id out of range (faces need the face offsets up to date).
    bool setColors(TpolyGrpType kind, const uint32_t* ids, uint32_t n, const TpolyColorValue* colours, uint32_t s);
    // Mean of the valid colours of the face's corners; false when none has one.
    bool getFaceColor(uint32_t face, TpolyColorValue& out, uint32_t s) const;
    // The face's centre colour: the corner mean of getFaceColor (kFaceInfoCornerMean), or the
    // mean of the outline's edge colours (the mean of its two corners) weighted by the edge's
    // length in space (kFaceInfoOutlineCentre; the corner mean of the outline when it has no
    // length). The outline form is false unless every outline corner has a valid colour.
    bool getColorFaceCenter(uint32_t face, TpolyFaceInfo kind, TpolyColorValue& out, uint32_t s) const;
    // The current colour set under the names that mirror setCurrentMap and getCurrentMap.
    bool setCurrentColor(uint32_t s) { return setCurrentColorSet(s); }
    int32_t getCurrentColor() const { return getCurrentColorSet(); }
    // The colour-set component itself; setting one takes a reference to it and releases the
    // record's own (null is ignored).
    TpolyColorArrayShared* getColorStructure() const { return fColors; }
    void setColorStructure(TpolyColorArrayShared* colors);

    // --- UV repair -------------------------------------------------------------------------------
    // Splits UV ids that corners of different vertices share: in every UV set, the corners of the
    // first vertex met (in vertex order) keep such an id and the corners of each other vertex get one
    // copy of it between them. Answers how many UVs were added.
    uint32_t unshareInvalidUVs();

    // --- Housekeeping ---------------------------------------------------------------------------
    void packArray();
    // 2 at the first entry whose edge is out of range, 1 at the first edge whose vertex is out of
    // range; otherwise repairs out-of-range UV ids (pointing them at a new UV (0, 0)) and answers 0.
    int checkIndices();
    // Same vertices, edges (with hard flags) and face description.
    bool isEquivalent(const TpolyGeom& other) const;
    // Same edges and face description; positions may differ.
    bool isEquivalentTopology(const TpolyGeom& other) const;
    // 0 when equivalent; otherwise the component bit of the first part that differs.
    uint32_t compareObject(const TpolyGeom& other) const;

    // --- Consistency check and text dump ---------------------------------------------------------
    // Checks the edges (kCheckEdges), the face description (kCheckDescription) and, while they are
    // up to date, the face offsets (kCheckFaceOffsets), then always the UV ids; reports to
    // TdebugOutput::sCerr and answers the number of errors.
    uint32_t checkObject(unsigned int flags) const;
    // Text description of the record and its companions, section by section; derived data is
    // written only while it is up to date. debugMe writes it to TdebugOutput::sCerr.
    void debug(TdebugOutput& out, unsigned int flags) const;
    static void debugMe(const TpolyGeom& g, unsigned int flags);
    // Appends the vertices, edges and faces of a text description read from a file: 1 when read,
    // 0 when the file cannot be opened. loadObjectText reads one held in memory.
    int loadObject(const char* fileName);
    void loadObjectText(std::string_view text);

    // --- Triangles ------------------------------------------------------------------------------
    // Triangles of one face without the record's normals, written to out as local corner-number
    // triples; answers their count. A face the triangulation function cannot cut gets the
    // fallback fan with its last triangle marked bad. -1 (nothing written) for a face out of range.
    int triangulateFace(uint32_t face, unsigned short* out);
    // Installs a user triangulation function; null restores the default one.
    void setUserTrgFunct(TuserTrgFunction fn);
    // c + 2h - 2 for a face of c corners over all loops and h holes (0 for a broken face).
    uint32_t triangleNumber(uint32_t face);
    // The stored triangle count, or the sum of triangleNumber while the triangles are dirty.
    uint32_t computeNbTriangle();
    uint32_t firstTriangle(uint32_t f) const { return fTrg->fFirstTriangle[f]; }
    uint32_t nbTriangle() const { return fTrg->fTriangles.size(); }
    // Number of triangles of face f; first, when given, receives the index of its first one.
    uint32_t trgFaceOrder(uint32_t f, uint32_t* first = nullptr) const {
        if (first) *first = fTrg->fFirstTriangle[f];
        return fTrg->fFirstTriangle[f + 1] - fTrg->fFirstTriangle[f];
    }
    void triangleBuffer(uint32_t n) { fTrg->fTriangles.buffer(n); }
    // Appends raw words, flags included.
    uint32_t appendTriangle(const unsigned short* t) { return appendTriangle(t[0], t[1], t[2]); }
    uint32_t appendTriangle(unsigned short a, unsigned short b, unsigned short c) {
        fTrg->fTriangles.addLast(TpolyTriangle{{a, b, c}});
        return fTrg->fTriangles.size() - 1;
    }
    // Replaces the corner numbers and keeps the flags.
    void setTriangle(uint32_t t, unsigned short a, unsigned short b, unsigned short c) {
        fTrg->fTriangles[t].setNumbers(a, b, c);
    }
    // Corner numbers without flags.
    void getTriangle(uint32_t t, unsigned short* out) const {
        for (uint32_t k = 0; k < 3; ++k) out[k] = static_cast<unsigned short>(fTrg->fTriangles[t].number(k));
    }
    TpolyTriangle& triangle(uint32_t t) { return fTrg->fTriangles[t]; }
    const TpolyTriangle& triangleConst(uint32_t t) const { return fTrg->fTriangles[t]; }
    uint32_t vertexOffset(uint32_t t, uint32_t k) const { return fTrg->fTriangles[t].number(k); }
    void markTriangle(uint32_t t) { fTrg->fTriangles[t].setEndOfFace(true); }
    void unmarkTriangle(uint32_t t) { fTrg->fTriangles[t].setEndOfFace(false); }
    bool markedTriangle(uint32_t t) const { return fTrg->fTriangles[t].endOfFace(); }
    void markBadTriangle(uint32_t t) { fTrg->fTriangles[t].setBad(true); }
    void unmarkBadTriangle(uint32_t t) { fTrg->fTriangles[t].setBad(false); }
    bool markedBadTriangle(uint32_t t) const { return fTrg->fTriangles[t].bad(); }
    void bgnTrgFace(uint32_t n) { fTrg->fTriangles.buffer(n); }
    void endTrgFace() { fTrg->fTriangles.last().setEndOfFace(true); }
    bool endOfTrgFace(uint32_t t) const { return fTrg->fTriangles[t].endOfFace(); }
    void copyTriangle(const TpolyGeom& other) {
        fTrg->fFirstTriangle.copy(other.fTrg->fFirstTriangle);
        fTrg->fTriangles.copy(other.fTrg->fTriangles);
    }
    // True when the triangles are up to date and no face fell back to the fan.
    bool isTriangulationOk() const;
    // Description offsets of the corners of triangle i of face f; false when out of range.
    bool getFaceTriangle(uint32_t f, uint32_t i, uint32_t* offsets) const;
    // Vertex id at corner k of triangle t, a triangle of face f.
    uint32_t cornerVertexOfTriangle(uint32_t f, uint32_t t, uint32_t k) const {
        return getStartVertex(faceOffset(f) + fTrg->fTriangles[t].number(k));
    }

    // --- Component groups (PolyGrp.cpp, PolyGrpConvert.cpp) -------------------------------------
    // g is a position in the group table. Calls taking a g out of range, a kind out of 1..5 or a
    // list of the wrong family answer false, 0 or -1 and change nothing.
    uint32_t nbGroup() const { return fGrp->nbGroup(); }
    TpolyGrpDesc& group(uint32_t g) { return fGrp->fGroups[g]; }
    const TpolyGrpDesc& groupConst(uint32_t g) const { return fGrp->fGroups[g]; }
    bool getGroup(uint32_t g, TpolyGrpDesc& out) const;
    int32_t getName(uint32_t g) const;
    TpolyGrpType getType(uint32_t g) const;
    int32_t findGrp(int32_t name, TpolyGrpType type) const { return fGrp->findGrp(name, type); }
    uint32_t appendGrp(int32_t name, TpolyGrpType type, uint32_t growth = 32) {
        return fGrp->append(name, type, growth);
    }
    bool removeGrp(uint32_t g) { return fGrp->remove(g); }
    bool removeGroup(uint32_t g) { return fGrp->remove(g); }
    bool removeGroup(int32_t name, TpolyGrpType type);
    bool emptyOneGroup(uint32_t g);
    int32_t getFreeGrpName() const { return fGrp->getFreeGrpName(); }
    int32_t getFreeTmpGrpName() const { return fGrp->getFreeTmpGrpName(); }
    // Rewrites every group of that kind through map (count entries, old id -> new id, all ones for
    // a removed component); ids at or beyond count are dropped.
    void renumGrp(TpolyGrpType type, uint32_t count, const uint32_t* map);

    // Empties the group of that name and kind, appending it when missing; answers its index.
    uint32_t bgnGroup(int32_t name, TpolyGrpType type);
    bool addElement(uint32_t g, uint32_t id);
    bool appendItem(uint32_t g, uint32_t id) { return addElement(g, id); }
    bool appendItem(uint32_t g, const uint32_t* ids, uint32_t n);
    bool appendBlock(uint32_t g, uint32_t first, uint32_t last);
    bool endGroup(uint32_t g);
    uint32_t nbItem(uint32_t g) const;
    uint32_t getItem(uint32_t g, uint32_t i) const;
    bool itemBlock(uint32_t g, uint32_t i) const;
    bool endOfGroup(uint32_t g, uint32_t i) const;
    bool grpIsEmpty(uint32_t g) const;
    bool isInGroup(TpolyGrpType type, int32_t name, uint32_t id) const;
    // Components in the group found by findGrp; 0 when there is none.
    uint32_t nbElem(int32_t name, TpolyGrpType type) const;

    // In place on a: union, difference, copy of b, intersection (answering whether it is not empty).
    bool mergeGroups(uint32_t a, uint32_t b);
    bool diffeGroups(uint32_t a, uint32_t b);
    bool copyGroups(uint32_t a, uint32_t b);
    bool intersectGroups(uint32_t a, uint32_t b);
    // Complement within all components of the group's kind.
    bool groupReverse(uint32_t g);
    // Vertex, edge, face, current-set UV or face-corner count; 0 for None.
    uint32_t getMaxVal(TpolyGrpType type) const;

    // Object groups follow the host's component lists: they are found by exact name and kind.
    bool hasObjectGroup(int32_t name, TpolyGrpType type) const { return fGrp->findExact(name, type) >= 0; }
    // Answers the index of the group, appended empty when missing.
    uint32_t addObjectGroup(int32_t name, TpolyGrpType type);
    bool removeObjectGroup(int32_t name, TpolyGrpType type);
    bool changeObjectGroupId(int32_t oldName, int32_t newName, TpolyGrpType type);
    // The group's items become a copy of list / gain list / lose list; set and add create the
    // group when missing. The list is single-indexed for kinds 1-4, a pair list for kind 5.
    bool setObjectGroupComponent(int32_t name, TpolyGrpType type, const Tcomponent& list);
    bool addObjectGroupComponent(int32_t name, TpolyGrpType type, const Tcomponent& list);
    bool removeObjectGroupComponent(int32_t name, TpolyGrpType type, const Tcomponent& list);
    // The items of the group of that exact name and kind, or null.
    TsingleIndexedComponent* objectGroupComponent(int32_t name, TpolyGrpType type) const;
    TlongDoubleIndexedComponent* objectGroupVtxFaceComponent(int32_t name) const;

    // Bit fields of getMaxVal(type) bits. flagsFromGroup answers the number of components set, -1
    // when findGrp finds no group; flagsToGroup makes the group (appended when missing) hold them.
    int32_t flagsFromGroup(TpolyGrpType type, int32_t name, TbitFieldFixedN& bits);
    bool flagsToGroup(TpolyGrpType type, int32_t name, const TbitFieldFixedN& bits);
    // Vertex-face pairs and face-corner bits; pairs naming no corner are left out.
    void flagsFromComponent(const TlongDoubleIndexedComponent& pairs, TbitFieldFixedN& bits);
    void flagsToComponent(const TbitFieldFixedN& bits, TlongDoubleIndexedComponent& pairs);

    // Conversions between kinds: a destination component is set when all (mode 0), any (mode 1)
    // or some but not all (mode 2) of its incident source components are set; one with no
    // incident source is never set. Same-kind conversions take a component's neighbours and
    // itself as its sources. The bit-field forms size out to getMaxVal of the destination kind;
    // the group forms read group src and rewrite group dst, which takes the destination kind.
    bool convertGroup(uint32_t src, uint32_t dst, int convertMode);
    bool convertGroup(int32_t srcName, TpolyGrpType srcType, int32_t dstName, TpolyGrpType dstType, int convertMode);
    bool convertFlags(TpolyGrpType from, TpolyGrpType to, const TbitFieldFixedN& in, TbitFieldFixedN& out,
                      int convertMode);
#define BRINDLE_DECLARE_GROUP_CONVERSION(From, To)                                              \
    bool group##From##2##To(const TbitFieldFixedN& in, TbitFieldFixedN& out, int convertMode) { \
        return convertFlags(kGrpKind##From, kGrpKind##To, in, out, convertMode);                \
    }                                                                                           \
    bool group##From##2##To(int src, int dst, int convertMode) {                                \
        return convertGroupAs(kGrpKind##From, kGrpKind##To, src, dst, convertMode);             \
    }
    BRINDLE_GROUP_CONVERSIONS(BRINDLE_DECLARE_GROUP_CONVERSION)
#undef BRINDLE_DECLARE_GROUP_CONVERSION

    // The host's group events on the group of that name and kind (see TpolyGrpEvent): -1 for a
    // kind or event out of range; for a missing group -2 (count), whether otherName exists (event
    // 11) or 0, after creating it empty for the events that fill it. Answers item counts as listed
    // with each event; the find events answer 1 when the group exists.
    int GroupManage(TpolyGrpType type, TpolyGrpEvent event, int name, int otherName, int mode, int filter, int item);

    // Shells: the pieces of the record joined through edges. markShellMembers numbers the shell
    // of every face (0, 1, ... in order of their first face) into faceShell when given, caches the
    // count of shells holding a face and answers it; nbShell answers the cached count while it
    // is valid, else counts afresh.
    uint32_t markShellMembers(TuInt32Array* faceShell = nullptr);
    uint32_t nbShell();
    // The same for manifold pieces: faces joined only across edges that hold exactly one face on
    // each side, so that a non-manifold edge, a border, a bow-tie vertex or a flipped neighbour
    // separates pieces.
    uint32_t markManifoldMembers(TuInt32Array* facePiece = nullptr);
    // Adds to bits (over components of type) every component of each shell the bits touch.
    bool extendToShell(TpolyGrpType type, TbitFieldFixedN& bits);

    // Adds to vertex or edge bits the whole border loops (edges with a side without face and
    // their vertices, joined end to end) that the set reaches; false for other kinds.
    bool extendToBorder(TpolyGrpType type, TbitFieldFixedN& bits);
    // Adds to the edge bits the edge loops through the set edges: from each end of a set edge, on
    // across every vertex with exactly four edges to the edge that shares no face with the one
    // before, until the loop closes, meets a set edge or another kind of vertex, or, with limit
    // above 0, limit edges were added from that end. Answers the number of edges added.
    uint32_t extendToEdgeLoop(TbitFieldFixedN& bits, int limit);
    // Adds to the set what its creases bound: face bits gain every face reached across soft edges
    // (the smoothing region, bounded by hard edges and borders); edge bits gain the hard edges
    // that continue each set hard edge through vertices where exactly two hard edges meet. False
    // for the other kinds.
    bool extendToCrease(TpolyGrpType type, TbitFieldFixedN& bits);
    // Makes the group of that name and kind (appended when missing) hold every component of the
    // kind; answers the count, -1 for a kind out of 1..5.
    int32_t selectAllInGrp(int32_t name, TpolyGrpType type);
    // Appends a face group, under a free temporary name, holding the faces that are not in the
    // face group of that name (every face when there is none); answers its index.
    uint32_t computeFaceComplement(int32_t name);

    // Candidate filters. A component passes filter 0 when its id names one and, while the record
    // has a constraint group of exactly that kind (named kGrpNameConstraint), it is a member of
    // that group; other filter values are unknown and pass nothing.
    static constexpr int32_t kGrpNameConstraint = -6;
    bool testItem(uint32_t id, TpolyGrpType type, int filter);
    // Clears the bits (over components of type) of the components that fail testItem; answers how
    // many stay set.
    uint32_t filterItems(TpolyGrpType type, int filter, TbitFieldFixedN& bits);
    // Conversions that, with filter true, then drop the destination components failing
    // testItem(id, destination kind, 0).
    bool groupVertex2Edge(const TbitFieldFixedN& in, TbitFieldFixedN& out, int convertMode, bool filter) {
        return convertFiltered(kPolyGrpVertex, kPolyGrpEdge, in, out, convertMode, filter);
    }
    bool groupVertex2Face(const TbitFieldFixedN& in, TbitFieldFixedN& out, int convertMode, bool filter) {
        return convertFiltered(kPolyGrpVertex, kPolyGrpFace, in, out, convertMode, filter);
    }
    bool groupUV2Vertex(const TbitFieldFixedN& in, TbitFieldFixedN& out, int convertMode, bool filter) {
        return convertFiltered(kPolyGrpUV, kPolyGrpVertex, in, out, convertMode, filter);
    }
    bool convertFiltered(TpolyGrpType from, TpolyGrpType to, const TbitFieldFixedN& in, TbitFieldFixedN& out,
                         int convertMode, bool filter);

    // Box of the positions of the group's components (for a UV group, of its UVs with z = 0).
    bool getCurrentGrpCenterAndBbox(TpolyGrpType type, T3dFltPoint& center, T3dFltPoint& min, T3dFltPoint& max);
    // Box of the group's vertices placed by toWorld (UV groups through the vertices their UVs sit
    // at): tighter than the placed local box. False when the group is missing or touches no vertex.
    bool getWorldSpaceBbox(int name, TpolyGrpType type, const T4dFltMatrix& toWorld, T3dFltPoint& min,
                           T3dFltPoint& max);

    // Whether component id has the property; set is the UV set of the UV properties (-1: the
    // current one) and is ignored by the others. False for an id out of range or an unknown
    // property. Brings up to date the derived data the property reads.
    bool checkProperty(uint32_t id, TpolyProperty property, int32_t set = -1);
    // The turns of a single-loop face all have the same sense about its Newell normal: the turns
    // between consecutive corner vectors from the corner mean (fromCentre) or between consecutive
    // edge vectors. False for a face of several loops or fewer than three corners (needs the face
    // offsets up to date).
    bool faceTurnsOneWay(uint32_t face, bool fromCentre) const;

    // --- Binary chunk (PolyGeomIO.cpp) --------------------------------------------------------------
    // The record as a run of items in the open chunk of file: positions, topology, user normals,
    // UV sets, colour sets and creases. Answers the first failing item's status, else kIffOk.
    TiffStatus writeBinary(TiffFile& file) const;
    // Reads the items back from data (size bytes left, lowered by what was read) and answers the
    // position after them. Every count is checked against the bytes left before anything is sized,
    // and a record whose ids point outside their arrays counts as corrupted: then the answer is
    // null and the record is left as it was. On success the read parts replace the record's own,
    // creases (withCreases) are merged into its crease group, face directions are repaired and
    // all derived data is dirty.
    void* readBinary(void* data, int& size, bool withCreases);
    // Item 10 alone: one int 0, or the ints 1, 1, 2, the creased edge ids and their values as floats.
    TiffStatus writeBinaryCrease(TiffFile& file) const;
    const void* readBinaryCrease(const void* cursor, int& size);

    // --- Creases (PolyGeomCrease.cpp) ------------------------------------------------------------
    // Crease sharpness lives in the edge group named kGrpNameCrease: its members are the creased
    // edges and its values hold one double per member, in increasing edge id.
    // The creased edges and their values (both emptied first); false when there is none.
    bool getCreaseEdges(TuInt32Array& edges, TdoubleArray& values) const;
    // Sets the value of each of the first min(sizes) edges, later pairs winning; a negative value
    // (-1: no crease) uncreases the edge. Edges not below nbEdge are ignored.
    void setCreaseEdges(const TuInt32Array& edges, const TdoubleArray& values);
    // True and the value when the edge is creased.
    bool getCreaseValue(uint32_t edge, double& value) const;
    // false, changing nothing, for an edge not below nbEdge.
    bool setCreaseValue(uint32_t edge, double value);

    // --- Subdivision hierarchy (defined with the subdividers) --------------------------------------
    // Appends levels 1 to levels of a Catmull-Clark (or, for subdivision type 1, linear)
    // subdivision behind the record's own components and evaluates them; replaces any earlier
    // subdivider. Nothing happens for 0 levels.
    void createHierarchy(unsigned int levels, const TpolySmoothGeomOptions& options);
    // Evaluates the built levels again with new options (not the topological ones: type and
    // edge divisions need a new createHierarchy); nothing without a subdivider or for 0 levels.
    void updateHierarchy(unsigned int levels, const TpolySmoothGeomOptions& options);
    // Level 0 copies the whole record into out; a built level is extracted as a standalone
    // record; otherwise nothing happens.
    void copyHierarchy(unsigned int level, TpolyGeom& out) const;
    TpolyBaseSubdivider* subdivider() const { return fSubdivider.get(); }
    // --- Intersection accelerator (spatial/IsectCache.cpp) ---------------------------------------
    // The record's accelerator for params: built on first use, rebuilt for other params or once
    // positions, faces or triangles changed; valid until the record is next edited or this is
    // called with other params.
    const TpolySpatialSubdivision& getIntersectionAccelerator(const TmeshIsectAccelParams& params);
    void deleteIntersectionAccelerator();

    // --- Flags and triangulation functions ------------------------------------------------------
    bool reusableTriangles() const { return fReusableTriangles; }
    void setReusableTriangles(bool v) { fReusableTriangles = v; }
    bool nbShellIsValid() const { return fNbShellIsValid; }
    void setNbShellIsValid(bool v) { fNbShellIsValid = v; }
    TuserTrgFunction userTrgFunct() const { return fUserTrgFunct; }
    TpolyTrgFunction trgFunct() const { return fTrgFunct; }

    // --- Components -----------------------------------------------------------------------------
    TpolyVertex* vertexStore() const { return fVertex; }
    TpolyTopo* topo() const { return fTopo; }
    TpolyNorm* norm() const { return fNorm; }
    TpolyTrg* trg() const { return fTrg; }
    TpolyGrp* grp() const { return fGrp; }
    TpolyMapArrayShared* maps() const { return fMaps; }
    TpolyColorArrayShared* colors() const { return fColors; }
    TpolyBdBlindData* edgeBlindData() const { return fEdgeBd; }
    TpolyBdBlindData* faceBlindData() const { return fFaceBd; }
    TpolyBdBlindData* vertexBlindData() const { return fVertexBd; }
    TpolyTangentSetArrayShared* tangentSets() const { return fTangents; }

    // Bytes held by the arrays of this record's components, for memory accounting.
    size_t bytesAllocated() const;

protected:
    void markClean(uint32_t mask) { fDirty &= ~mask; }

    // Default triangulation of one face; defined with the triangulator.
    static int triangulateFaceFromOffset(const TpolyGeom* geom, uint32_t offset, uint32_t holeCount,
                                         uint32_t cornerCount, bool useNormals, const T4dFltVector& normal,
                                         unsigned short* out);
    // Adapter that hands one face to the record's user triangulation function.
    static int customTriangulateFace(const TpolyGeom* geom, uint32_t offset, uint32_t holeCount, uint32_t cornerCount,
                                     bool useNormals, const T4dFltVector& normal, unsigned short* out);

    TuserTrgFunction fUserTrgFunct = nullptr;
    TpolyTrgFunction fTrgFunct = &TpolyGeom::triangulateFaceFromOffset;

private:
    // The older-file reader fills a staged record's components the way readBinary does.
    friend class TpolyGeomFFCompat;

    // Makes consecutive entries of the description run [begin, end) meet, taken as one loop, by
    // flipping directions; the entries must be valid edge references. True when one was flipped.
    bool reconnectEntries(uint32_t begin, uint32_t end);
    // Last step of reading into a staged record: false when an id points outside its array;
    // otherwise every face is reconnected, in one linear pass.
    bool finishStagedRead();
    // Calls fn(mine, theirs) for each pair of component pointers named by mask.
    template <typename Fn>
    void forEachComponent(uint32_t mask, const TpolyGeom& other, Fn&& fn);
    void releaseAll();
    // Group form of a conversion: checks both indices and that src holds kind from.
    bool convertGroupAs(TpolyGrpType from, TpolyGrpType to, int src, int dst, int convertMode);

    TpolyVertex* fVertex;
    TpolyTopo* fTopo;
    TpolyNorm* fNorm;
    TpolyTrg* fTrg;
    TpolyGrp* fGrp;
    TpolyMapArrayShared* fMaps;
    TpolyColorArrayShared* fColors;
    TpolyBdBlindData* fEdgeBd;
    TpolyBdBlindData* fFaceBd;
    TpolyBdBlindData* fVertexBd;
    TpolyTangentSetArrayShared* fTangents;
    std::unique_ptr<TpolyBaseSubdivider, TpolySubdividerDelete> fSubdivider;
    uint32_t fDirty = dirtyAll;
    uint64_t fEditStamp = 0;
    TpolyIsectCache fIsectCache;
    bool fReusableTriangles = false;
    bool fNbShellIsValid = false;
    uint32_t fNbShell = 0;
};
