#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/String.h"

class TpolyGeom;

// Common base of the record builders: owns the record under construction (unless told otherwise),
// creates vertices, normals, UV points and colours, and finishes the record with complete.
// Invariant kept by every face-making call of the builders: each UV set and each colour set of the
// record has exactly one id per face corner, so a set created midway is filled with unmapped ids
// for the corners made before it, and sets a face does not name get unmapped ids for its corners.
class BRINDLE_API TpolyBuilder {
public:
    enum TeditState : uint32_t { kEditing = 0, kSmoothEditing = 1, kComplete = 2 };
    static constexpr uint32_t kCurrentSet = 0xFFFFFFFFu;

    virtual ~TpolyBuilder();
    TpolyBuilder(const TpolyBuilder&) = delete;
    TpolyBuilder& operator=(const TpolyBuilder&) = delete;

    // The caller takes the record: the builder will no longer delete it.
    void ownResult() { fOwnsResult = false; }

    // --- Vertices ---------------------------------------------------------------------------------
    void reserveVertex(uint32_t n);
    uint32_t createVertex(float x, float y, float z);
    // Append n positions (three floats each / homogeneous points) and answer the first new id.
    uint32_t createVertex(const float* points, uint32_t n);
    uint32_t createVertex(const T4dFltPointArray& points, uint32_t n);
    uint32_t createVertex(const T4dDblPointArray& points, uint32_t n);
    // The first vertex, in id order, whose coordinates each lie within tolerance of (x, y, z); a new
    // vertex when there is none.
    uint32_t createOrShareVertex(float x, float y, float z, float tolerance);
    uint32_t countVertex() const;
    // False, with nothing written, for an id that names no vertex.
    bool getVertexCoord(uint32_t id, float& x, float& y, float& z) const;
    bool getVertexCoord(uint32_t id, float* xyz) const;
    bool getVertexCoord(uint32_t id, T3dFltPoint& p) const;
    bool setVertexCoord(uint32_t id, float x, float y, float z);
    bool setVertexCoord(uint32_t id, const float* xyz);

    // --- Normals ----------------------------------------------------------------------------------
    // Shading normals referred to by the normal ids of createNFace.
    void reserveNormal(uint32_t n);
    uint32_t createNormal(float x, float y, float z);
    uint32_t createNormal(const float* values, uint32_t n);
    void reserveUserNormal(uint32_t n);
    uint32_t createUserNormal(float x, float y, float z);

    // --- UV sets ----------------------------------------------------------------------------------
    // Adds a set (its ids unmapped for the corners that exist) and answers its id; -1 for an empty name.
    int32_t createTexCoordSet(const Tstring& name);
    // The set of this name becomes the one used when the record has none; false, and no change, for
    // an empty name or a name no set has.
    bool setWorkingTexCoordSetName(const Tstring& name);
    const Tstring& getWorkingTexCoordSetName() const { return fWorkingSetName; }
    void reserveTexCoords(uint32_t n, uint32_t set);
    // Append UV points to a set and answer the (first) new index; -1 for a set that does not exist.
    // A record without any UV set first gets one under the working name.
    int32_t createTexCoord(float u, float v, uint32_t set);
    int32_t createTexCoord(const float* pairs, uint32_t n, uint32_t set);
    int32_t createTexCoord(const T2FloatArray& pairs, uint32_t set);
    uint32_t countTexCoord(uint32_t set) const;

    // --- Colours (of the current colour set, made on first use) ------------------------------------
    void reserveColors(uint32_t n);
    uint32_t createColor(float r, float g, float b, float a);
    // n colours of four floats each; answers the first new index.
    uint32_t createColor(const float* values, uint32_t n);
    uint32_t countColor() const;

    uint32_t countFace() const;

    // The record once it is complete (at once when it already is); null when it has no face or an
    // index out of range, the builder staying editable. With removeInvalidUVs the UV ids that
    // corners of different vertices share are split.
    TpolyGeom* complete(bool removeInvalidUVs = false);

    TpolyGeom* geom() const { return fGeom; }
    TeditState editState() const { return TeditState(fEditState); }

protected:
    // A new empty record owned by the builder, working UV set name "map1".
    TpolyBuilder();
    // Builds into geom, which stays the caller's; no working UV set name.
    explicit TpolyBuilder(TpolyGeom* geom);

    bool endEdit(bool removeInvalidUVs);
    bool isEditable() const { return fEditState != kComplete; }
    void beginEdit() { fEditState = kEditing; }
    void smoothEdit() { fEditState = kSmoothEditing; }
    void setSmoothing() {}

    // Id of the UV set a face or UV call writes to: set itself when valid (the current set for
    // kCurrentSet), the working or a new set when the record has none; -1 when set names no set.
    int32_t resolveUVSet(uint32_t set);
    int32_t resolveColorSet(uint32_t set);
    // Appends the corner ids of a face of count corners to set uvSet (ids, or unmapped when null)
    // and unmapped ids to every other UV set.
    void appendUVIds(uint32_t count, const int32_t* ids, int32_t uvSet);
    // The same for colour sets.
    void appendColorIds(uint32_t count, const int32_t* ids, int32_t colorSet);
    // Index of the current colour set, making one when the record has none.
    uint32_t colorSetForWriting();
    // Turns the normals given per corner into user normals of the record's own normal ids.
    void convertGivenNormals();

    TpolyGeom* fGeom;
    uint32_t fScratch = 0;
    uint32_t fEditState = kEditing;
    bool fOwnsResult;
    Tstring fWorkingSetName;
    // Set once a face came with normal ids: the record's normal-id array then holds the given ids
    // per corner (-1 elsewhere) and its vertex normals the given normals, until complete turns them
    // into user normals (computed normal ids are per vertex and hard edge, not per given normal).
    bool fHasGivenNormals = false;
};

// Builds faces from vertex lists, finding the edge between two corners through per-vertex edge
// lists (a flat pool of (edge, next) nodes with a head per vertex) and making it when there is none,
// so faces that meet share their edge, the later face using it reversed when it runs the other way.
// A refused face leaves the record unchanged.
class BRINDLE_API TpolyVertexBuilder : public TpolyBuilder {
public:
    TpolyVertexBuilder();
    // Builds into geom (which stays the caller's); its existing edges are shared by new faces.
    explicit TpolyVertexBuilder(TpolyGeom* geom);

    // One face of count corners; uvIds (one per corner) go to set, or, when null, the corners are
    // unmapped in set (kCurrentSet: the current one). New edges are hard unless smooth. Answers the
    // record's face count, or -1 when refused: fewer than 3 corners, a negative id, a vertex listed
    // twice while the same-point check is on, or two corners running along one edge.
    int32_t createFace(uint32_t count, const int32_t* vertexIds, const int32_t* uvIds, bool smooth = true,
                       uint32_t set = kCurrentSet);
    // Makes the vertices and UV points first, then the face.
    int32_t createFace(uint32_t count, const T3Float* positions, const T2Float* uvs, bool smooth = true,
                       uint32_t set = kCurrentSet);
    // As createFace, with a normal id (from createNormal) per corner, or -1 for none.
    int32_t createNFace(uint32_t count, const int32_t* vertexIds, const int32_t* normalIds, const int32_t* uvIds,
                        uint32_t set = kCurrentSet);
    int32_t createNFace(uint32_t count, const T3Float* positions, const T3Float* normals, const T2Float* uvs,
                        uint32_t set = kCurrentSet);
    // A face through vertices created or shared (within tolerance) at the given points.
    int32_t createFace(const T4dDblPointArray& points, bool smooth, float tolerance);
    // Each face in turn takes its corner count from counts and its ids from the running position in
    // the id lists. Answers the face count after the last face, or -1 when one was refused (the faces
    // before it stay).
    int32_t createFaceList(uint32_t faceCount, const int32_t* counts, const int32_t* vertexIds,
                           const int32_t* uvIds = nullptr, uint32_t set = 0);
    int32_t createFaceList(const Tint32Array& counts, const Tint32Array& vertexIds);
    int32_t createFaceList(const Tint32Array& counts, const Tint32Array& vertexIds, const Tint32Array& uvIds,
                           uint32_t set);
    // Reserves, creates every vertex, then every face.
    int32_t create(uint32_t vertexCount, uint32_t faceCount, uint32_t idCount, const T3Float* positions,
                   const int32_t* counts, const int32_t* vertexIds);
    int32_t create(uint32_t vertexCount, uint32_t faceCount, uint32_t idCount, const T4dFltPointArray& positions,
                   const int32_t* counts, const int32_t* vertexIds);
    int32_t create(uint32_t vertexCount, uint32_t faceCount, uint32_t idCount, const T4dDblPointArray& positions,
                   const int32_t* counts, const int32_t* vertexIds);

    void setCheckSamePointTwice(bool on) { fCheckSamePointTwice = on; }
    bool getCheckSamePointTwice() const { return fCheckSamePointTwice; }

    // The edge joining a and b and whether the face uses it reversed; false when there is none.
    bool findEdge(uint32_t a, uint32_t b, uint32_t& edge, bool& reversed) const;

private:
    // One edge in the list of one of its ends, with its other end, so that a search compares
    // within the node and reads the record only for the edge it finds.
    struct TedgeNode {
        uint32_t edge;
        uint32_t other;
        uint32_t next;
    };
    static constexpr uint32_t kNoNode = 0xFFFFFFFFu;

    // The per-vertex lists are filled lazily: edges [fPendingBegin, fPendingEnd) of the record
    // enter them, as enterEdge would have entered them when made (only those whose ends were below
    // fPendingVertices), before the next lookup or new edge.
    void listPendingEdges() const;
    void linkVertex(uint32_t v, uint32_t other, uint32_t edge) const;
    // Faces [0, faceCount) of a record without edges, all accepted, in one pass: the same edges,
    // description and corner ids as making them one by one.
    void makeAcceptedFaces(uint32_t faceCount, uint32_t cornerCount, const int32_t* counts, const int32_t* vertexIds);

    int32_t makeFace(uint32_t count, const int32_t* vertexIds, const int32_t* normalIds, const int32_t* uvIds,
                     bool smooth, uint32_t set);
    int32_t makePositionalFace(uint32_t count, const T3Float* positions, const T3Float* normals, const T2Float* uvs,
                               bool smooth, uint32_t set);
    int32_t createFaces(uint32_t faceCount, uint32_t idCount, const int32_t* counts, const int32_t* vertexIds);
    bool acceptFace(uint32_t count, const int32_t* vertexIds);
    uint32_t createEdge(uint32_t from, uint32_t to, bool smooth);
    void enterEdge(uint32_t edge, uint32_t nbVertex) const;
    int32_t createFaceList(uint32_t faceCount, const int32_t* counts, const int32_t* vertexIds, const int32_t* uvIds,
                           uint32_t set, bool withUVs);
    void appendNormalIds(uint32_t count, const int32_t* normalIds);

    mutable Tarray<TedgeNode> fNodes{1024};
    mutable TuInt32Array fHeads{1024};
    mutable uint32_t fPendingBegin = 0, fPendingEnd = 0, fPendingVertices = 0;
    TuInt32Array fPairs{64};
    bool fCheckSamePointTwice = true;
    // Vertex, normal and UV ids of a face given by positions.
    Tint32Array fCorners{64};
};

// Builds faces from edges the caller made, with a direction per face corner. Directions that do not
// chain are corrected where flipping one edge use joins the chain.
class BRINDLE_API TpolyEdgeBuilder : public TpolyBuilder {
public:
    TpolyEdgeBuilder() = default;
    explicit TpolyEdgeBuilder(TpolyGeom* geom) : TpolyBuilder(geom) {}

    void reserveEdge(uint32_t n);
    void reserveFace(uint32_t n);
    uint32_t countEdge() const;
    // Appends an edge (no search for an existing one): hard unless smooth.
    uint32_t createEdge(uint32_t from, uint32_t to, bool smooth);
    // Checked accessors of the hard flag: false for an edge that does not exist.
    bool isSmooth(uint32_t edge) const;
    bool isHard(uint32_t edge) const;
    bool setSmooth(uint32_t edge, bool smooth);
    bool setHard(uint32_t edge, bool hard);

    // One face of count edge uses; directions (non-zero: reversed) are corrected in place. uvIds and colourIds, one per
    // corner, may be null. Answers the record's face count, or -1 (nothing changed) when the record has no edge, count
    // is below 3, an edge id is out of range or the edges cannot be chained into a loop.
    int32_t createFace(uint32_t count, const int32_t* edges, int32_t* directions, const int32_t* uvIds = nullptr,
                       const int32_t* colourIds = nullptr, uint32_t uvSet = kCurrentSet,
                       uint32_t colourSet = kCurrentSet);
    int32_t createFace(Tint32Array& edges, Tint32Array& directions, const Tint32Array& uvIds, uint32_t uvSet);
    int32_t createFace(Tint32Array& edges, Tint32Array& directions, const Tint32Array& uvIds,
                       const Tint32Array& colourIds, uint32_t uvSet, uint32_t colourSet);
    // A face of loopCount loops, the first the outline and the others holes, each of loopCounts[i]
    // edge uses taken in turn from edges and directions; every loop must close on itself.
    int32_t createHoledFace(uint32_t loopCount, const int32_t* loopCounts, const int32_t* edges, int32_t* directions,
                            const int32_t* uvIds = nullptr, const int32_t* colourIds = nullptr,
                            uint32_t uvSet = kCurrentSet, uint32_t colourSet = kCurrentSet);
    // Each face in turn takes its count from counts and its entries from the running position.
    // Answers the face count after the last face, or -1 when one was refused (earlier faces stay).
    int32_t createFaceList(uint32_t faceCount, const int32_t* counts, const int32_t* edges, int32_t* directions,
                           const int32_t* uvIds = nullptr, uint32_t uvSet = kCurrentSet);

    // Chains the loop's edge uses, flipping the use after a break (or, at the first corner, the first
    // use) when that joins them; false when the loop cannot be closed. directions is corrected.
    // A refused loop may leave directions partly corrected.
    bool checkConnections(uint32_t count, const int32_t* edges, int32_t* directions) const;
};
