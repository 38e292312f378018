#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Metaclass.h"
#include "brindle/framework/ApiObject.h"
#include "brindle/framework/MeshCursor.h"
#include "brindle/geom/PolyColor.h"

class TpolyGeom;
class TmidBody;
template <typename T>
class TptrArray;
using TmidBodyPtrArray = TptrArray<TmidBody>;

// A UV point.
using TfltPoint = T2FloatPair;
using TfltPointArray = T2FloatArray;

// Root of the bodies: the host's active-component bookkeeping, which the library only carries
// along on copies. Bodies compare by object address.
class BRINDLE_API TmeshBase : public TapiObject {
public:
    static const Tmetaclass sMetaclass;

    TmeshBase() = default;
    TmeshBase(const TmeshBase&) = default;
    TmeshBase& operator=(const TmeshBase&) = default;

    uint32_t apiType() const override;
    const char* apiTypeString() const override;

    ~TmeshBase() override = default;
    virtual const Tmetaclass* typeof() const { return &sMetaclass; }
    // This object viewed as the class of mc, or null when it is not of that class.
    virtual void* cast(const Tmetaclass* mc);
    virtual void copyData(const TmeshBase& other);
    virtual void clearActiveComponents() {}
    virtual void copyActiveComponents() {}

    // Copies the seven bookkeeping values; then, when other's keep flag is clear, drops the active
    // components (zeroing all eight fields when any value was set), else copies them.
    void copy(const TmeshBase& other);

    bool operator==(const TmeshBase& o) const { return this == &o; }
    bool operator!=(const TmeshBase& o) const { return this != &o; }
    bool operator<(const TmeshBase& o) const { return this < &o; }
    bool operator>(const TmeshBase& o) const { return this > &o; }
    bool operator<=(const TmeshBase& o) const { return this <= &o; }
    bool operator>=(const TmeshBase& o) const { return this >= &o; }

    static TmeshBase* construct(const Tmetaclass* mc);

protected:
    uint16_t fActive16[4] = {0, 0, 0, 0};
    uint32_t fActive32[3] = {0, 0, 0};
    bool fKeepActive = false;
};

// Polygonal bodies; carries no data of its own.
class BRINDLE_API TpolyBase : public TmeshBase {
public:
    static const Tmetaclass sMetaclass;

    const Tmetaclass* typeof() const override { return &sMetaclass; }
    void* cast(const Tmetaclass* mc) override;

    static TpolyBase* construct(const Tmetaclass* mc);
};

// The body handed to every operation: it owns exactly one geometry record (or none, when built
// from a null record) and deletes it when the record is replaced or the body dies. Ids are the
// record's ids; a corner is a vertex's position within a face, 0 to the face's corner count - 1.
// Queries answer -1 or false for a bad id and leave their outputs empty; they never throw.
class BRINDLE_API TmidBody : public TpolyBase {
public:
    static const Tmetaclass sMetaclass;

    TmidBody();
    explicit TmidBody(TpolyGeom* geom);
    TmidBody(const TmidBody&) = delete;
    TmidBody& operator=(const TmidBody&) = delete;
    ~TmidBody() override;

    uint32_t apiType() const override;
    const char* apiTypeString() const override;
    const Tmetaclass* typeof() const override { return &sMetaclass; }
    void* cast(const Tmetaclass* mc) override;
    // Copies the polygon-body data, then the record.
    void copyData(const TmeshBase& other) override;

    static TmidBody* construct(const Tmetaclass* mc);

    // Deletes the held record and keeps geom; answers 1 when there was no record, else 0.
    int setMidBody(TpolyGeom* geom);
    TpolyGeom* polyGeom() { return fGeom; }
    const TpolyGeom* polyGeom() const { return fGeom; }
    TmidBody* mbody() { return this; }

    // Same record object, or equivalent records.
    bool isSameAs(const TmidBody& other) const;
    // The whole record, then the bookkeeping.
    void copy(const TmidBody& other);
    void copyLocalData(const TmidBody& other);

    // --- Positions ------------------------------------------------------------------------------
    void setPoint(uint32_t id, const T4dDblPoint& p);
    T4dDblPoint getPoint(uint32_t id) const;
    // Both need two non-empty lists of the same length; ids that are not vertices are skipped.
    // Answer the number of vertices written or read.
    uint32_t setPoints(const TuInt32Array& ids, const T4dDblPointArray& points);
    uint32_t getPoints(const TuInt32Array& ids, T4dDblPointArray& points) const;

    // --- UVs of the first UV set ----------------------------------------------------------------
    bool setUV(uint32_t id, const T2Float uv);
    bool getUV(uint32_t id, T2Float& uv) const;

    // --- Face queries: 0 on success, -1 on a bad face or corner ---------------------------------
    // Face-vertex offset of vertex in face (the first when it is used twice), or -1.
    int vertexIndex(uint32_t face, uint32_t vertex) const;
    int getUV(uint32_t face, TfltPointArray& uvs) const;
    int getUV(uint32_t face, uint32_t corner, TfltPoint& uv) const;
    int getPosition(uint32_t face, T3dFltPointArray& positions);
    int getPosition(uint32_t face, uint32_t corner, T3dFltPoint& p);
    int getNormal(uint32_t face, T3dFltPointArray& normals);
    int getNormal(uint32_t face, uint32_t corner, T3dFltPoint& n);
    int getAttributes(uint32_t face, TfltPointArray& uvs, T3dFltPointArray& positions, T3dFltPointArray& normals);

    // --- Colours of the current colour set ------------------------------------------------------
    // Face forms: 0 on success, -1 for a bad face, corner or vertex, an uncoloured corner or no
    // colour set. Setting a corner's colour gives it a colour of its own; the colour it had stays
    // until the record drops unused colours.
    int getColor(uint32_t face, TportColorArray& colors) const;
    int getColor(uint32_t face, uint32_t corner, TportColor& color) const;
    int getColorById(uint32_t face, uint32_t vertex, TportColor& color) const;
    int setColor(uint32_t face, uint32_t corner, const TportColor& color);
    int removeColorById(uint32_t face, uint32_t vertex);
    // Vertex forms: the colours of the vertex's corners. getColor answers their mean (average) or
    // the first one met; false when no corner of the vertex is coloured.
    bool getColor(uint32_t vertex, TportColor& color, bool average) const;
    uint32_t getVertexColors(uint32_t vertex, TportColorArray& colors) const;
    // Every corner of the vertex gets one new shared colour / the vertex's corner in face gets one.
    bool setColor(uint32_t vertex, const TportColor& color);
    bool setColorById(uint32_t vertex, uint32_t face, const TportColor& color);
    // Unmaps every corner of the vertex.
    bool removeColor(uint32_t vertex);

    // --- Neighbourhoods: fill the list and answer its size --------------------------------------
    // Faces using the vertex, in increasing id order (sorted or not, the order is the same).
    uint32_t vertexFaceNeighbours(uint32_t vertex, TuInt32Array& faces);
    // Vertices joined to the vertex by an edge, in increasing id order.
    uint32_t vertexVertexNeighbours(uint32_t vertex, TuInt32Array& vertices);
    // Vertices of the face's corners, in corner order.
    uint32_t faceVertexNeighbours(uint32_t face, TuInt32Array& vertices);

    // --- Counts ---------------------------------------------------------------------------------
    uint32_t vertexCount() const;
    uint32_t edgeCount() const;
    uint32_t faceCount() const;
    uint32_t UVcount() const;
    uint32_t faceNormalCount();
    uint32_t vertexNormalCount() const { return 0; }
    // The face normals.
    uint32_t getNormals(T3dFltPointArray& normals);

    // --- Spatial queries ------------------------------------------------------------------------
    // Through the record's cached auto-sized grid. intersect lists every hit along the ray (from
    // point on, nearest first) with its face's unit normal and answers their count. The closest
    // forms find the nearest surface point, its face and that face's unit normal; closestPoint
    // finds nothing farther than tolerance when tolerance is above 0. Without a hit the outputs
    // are empty, faceId is -1 and the answer false.
    uint32_t intersect(const T3dFltPoint& point, const T4dFltVector& direction, T3dFltPointArray& hits,
                       T3dFltPointArray& normals, TuInt32Array& faceIds, float tolerance) const;
    bool closestPoint(const T3dFltPoint& point, T3dFltPoint& result, float tolerance, int& faceId) const;
    bool closestPointAndNorm(const T3dFltPoint& point, T3dFltPoint& result, T4dFltVector& normal, int& faceId) const;
    bool closestNormal(const T3dFltPoint& point, T4dFltVector& normal, int& faceId) const;

    // Empties the current vertex, edge and face groups (UV ones are left alone).
    void doClearActiveComponents();

    // n UV points counter-clockwise around the unit square from (0, 0); false for n = 0. min
    // and max do not change the result.
    static bool generateNormalizedUVs(TfltPointArray& points, const TfltPoint& min, const TfltPoint& max, uint32_t n);
    // UVs for a new face from its corner positions: the corners projected onto the face's plane
    // (u along the first side), the unitized form scaled uniformly so that the longer side of
    // their bounds is 1, the normalized form stretched to fill the unit square. Both start at
    // (0, 0). A face without area falls back to generateNormalizedUVs; false for no corner.
    static bool createUnitizedUVs(const T3dFltPointArray& positions, TfltPointArray& uvs);
    static bool createNormalizedUVs(const T3dFltPointArray& positions, TfltPointArray& uvs);

    // --- The host's body editing interface ------------------------------------------------------
    // Inert in this body: records are edited through their own operations, so these change
    // nothing and answer 0 or false.
    uint32_t newVertex(const T4dDblPoint&) { return 0; }
    uint32_t copyVertex(uint32_t) { return 0; }
    uint32_t newVertices(const T4dDblPointArray&) { return 0; }
    uint32_t newFace(const TuInt32Array&) { return 0; }
    uint32_t newFaces(const TuInt32Array&, const TuInt32Array&) { return 0; }
    uint32_t copyFace(uint32_t) { return 0; }
    uint32_t copyFaces(const TuInt32Array&) { return 0; }
    bool deleteComponent(uint32_t) { return false; }
    bool deleteComponents(const TuInt32Array&) { return false; }
    bool clear() { return false; }
    int genusGuess() const { return 0; }
    uint32_t count(TmeshFnSpecifier::Tlevel, bool) const { return 0; }
    uint32_t geometryList(TmidBodyPtrArray&) const { return 0; }
    uint32_t pointList(T3dDblPointArray&) const { return 0; }
    uint32_t point4List(T4dDblPointArray&) const { return 0; }
    bool geoCenter(T3dDblPoint&) const { return false; }
    bool geoCenter4(T4dDblPoint&) const { return false; }
    bool geoBoundsCenter(T3dDblPoint&) const { return false; }
    bool pointPlane(T4dFltVector&, float&) const { return false; }
    bool pointNormal(T4dFltVector&) const { return false; }
    bool pointLine(T3dDblPoint&, T4dFltVector&) const { return false; }
    bool uvCenter(TfltPoint&) const { return false; }
    bool uvBoundsCenter(TfltPoint&) const { return false; }
    bool attributeLocked(uint32_t) const { return false; }
    bool setAttributeLock(uint32_t, bool) { return false; }

private:
    bool validFace(uint32_t face) const;
    bool validCorner(uint32_t face, uint32_t corner) const;
    // The current colour set, or -1 without a record or colour set.
    int32_t colorSet() const;

    TpolyGeom* fGeom;
};

// Array of object pointers of the host interface; it never owns what it points at. Lookups are
// linear, by pointer value, and answer -1 when the pointer is absent.
template <typename T>
class TptrArray : public TobjArray<T*> {
public:
    int find(const T* p) const {
        for (uint32_t i = 0; i < this->size(); ++i)
            if ((*this)[i] == p) return int(i);
        return -1;
    }
    // Removes the first occurrence; answers its former index or -1.
    int remove(const T* p) {
        int i = find(p);
        if (i >= 0) this->removeAt(uint32_t(i), 1);
        return i;
    }
};
