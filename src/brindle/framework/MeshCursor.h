#pragma once

#include <cmath>
#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/geom/PolyColor.h"

class TmidBody;
class TpolyGeom;

// The space and level selectors of the host's component queries.
struct BRINDLE_API TmeshFnSpecifier {
    enum Tspace : int32_t { kObjectSpace = 0, kWorldSpace = 1 };
    enum Tlevel : int32_t { kBaseLevel = 0 };
};

// A cursor on one component of a body: the body (not owned) and the current component id. The
// base answers every query with 0 or false; each kind answers the questions that make sense for
// it. List queries append to the caller's list and answer its new size. Queries on an id the record
// does not have answer 0, false or -1 and append nothing. Connected lists walk the record's arrays
// once per call: cursors serve the host's occasional questions, operations read the adjacency
// tables themselves.
class BRINDLE_API TmeshComponentBase {
public:
    using Tspace = TmeshFnSpecifier::Tspace;

    TmeshComponentBase() = default;
    TmeshComponentBase(const TmidBody* body, uint32_t id) : fBody(body), fId(id) {}
    virtual ~TmeshComponentBase() = default;

    void setCurrent(uint32_t id) { fId = id; }
    uint32_t getCurrent() const { return fId; }
    void setCurrentGeom(const TmidBody* body) { fBody = body; }
    const TmidBody* getCurrentGeom() const { return fBody; }

    virtual bool beginEdit() { return false; }
    virtual bool endEdit() { return false; }
    virtual bool beginSearch(Tspace) { return false; }
    virtual bool endSearch(Tspace) { return false; }
    virtual bool beginTraversal(Tspace) { return false; }
    virtual bool endTraversal(Tspace) { return false; }
    virtual uint32_t vertexCount() const { return 0; }
    virtual uint32_t edgeCount() const { return 0; }
    virtual uint32_t faceCount() const { return 0; }
    virtual uint32_t triangleCount() const { return 0; }
    virtual uint32_t vertexList(TuInt32Array&) const { return 0; }
    virtual uint32_t edgeList(TuInt32Array&) const { return 0; }
    virtual uint32_t faceList(TuInt32Array&) const { return 0; }
    virtual uint32_t connectedVertexCount() const { return 0; }
    virtual uint32_t connectedEdgeCount() const { return 0; }
    virtual uint32_t connectedFaceCount() const { return 0; }
    virtual uint32_t connectedVertexList(TuInt32Array&) const { return 0; }
    virtual uint32_t connectedEdgeList(TuInt32Array&) const { return 0; }
    virtual uint32_t connectedFaceList(TuInt32Array&) const { return 0; }
    virtual TmeshComponentBase* createFrom(uint32_t) const { return nullptr; }
    virtual bool copy(uint32_t) { return false; }
    virtual bool operator==(const TmeshComponentBase&) const { return false; }
    virtual bool operator!=(const TmeshComponentBase&) const { return false; }
    virtual bool operator<(const TmeshComponentBase&) const { return false; }
    virtual bool operator>(const TmeshComponentBase&) const { return false; }
    virtual bool operator<=(const TmeshComponentBase&) const { return false; }
    virtual bool operator>=(const TmeshComponentBase&) const { return false; }
    virtual bool onBoundary() const { return false; }
    virtual bool onUVBoundary(uint32_t) const { return false; }
    virtual uint32_t points(T4dDblPointArray&) const { return 0; }
    virtual uint32_t points(T3dDblPointArray&) const { return 0; }
    virtual bool setPoints(const T4dDblPointArray&, bool) { return false; }
    virtual bool setPoints(const T3dDblPointArray&, bool) { return false; }
    virtual bool averageNormal(T3dFltPoint&) const { return false; }
    virtual uint32_t normals(T3dFltPointArray&) const { return 0; }
    virtual bool setNormals(const T3dFltPointArray&) { return false; }
    virtual uint32_t pointCount() const { return 0; }
    virtual uint32_t uvCount(uint32_t) const { return 0; }
    virtual uint32_t normalCount() const { return 0; }
    virtual uint32_t colorCount() const { return 0; }
    virtual bool isActive() const { return false; }

protected:
    // The body's record, or null without body or record.
    const TpolyGeom* geom() const;
    // The same body and record for the queries that bring derived data up to date or edit: the
    // cursor holds the body as the host hands it, but the record is the body's to change.
    TmidBody* editableBody() const { return const_cast<TmidBody*>(fBody); }
    TpolyGeom* editableGeom() const;

private:
    const TmidBody* fBody = nullptr;
    uint32_t fId = 0;
};

class BRINDLE_API TmeshVertex : public TmeshComponentBase {
public:
    TmeshVertex(const TmidBody* body, uint32_t id) : TmeshComponentBase(body, id) {}

    // The position (w = 1); the origin for a vertex the record does not have.
    T3dDblPoint point() const;
    T4dDblPoint point4() const;
    // Write the position in single precision and mark the positions moved.
    bool setPoint(const T3dDblPoint& p);
    bool setPoint(const T4dDblPoint& p);
    bool setPoint(double x, double y, double z);

    // The number of edges at the vertex.
    uint32_t connectedVertexCount() const override;
    uint32_t connectedEdgeCount() const override { return connectedVertexCount(); }
    uint32_t connectedFaceCount() const override;
    // The far ends of the vertex's edges, in edge order.
    uint32_t connectedVertexList(TuInt32Array& list) const override;
    uint32_t connectedEdgeList(TuInt32Array& list) const override;
    // The faces using the vertex, in increasing id order.
    uint32_t connectedFaceList(TuInt32Array& list) const override;
    // An edge at the vertex has no face on one of its sides.
    bool onBoundary() const override;
    // The distinct UV ids of the vertex's corners in the set.
    uint32_t uvCount(uint32_t set) const override;
    bool hasUV(uint32_t set) const { return uvCount(set) > 0; }
    // The UV of the vertex's corner in the face; false when it is unmapped or not a corner of it.
    bool uvForFace(uint32_t set, uint32_t face, T2FloatPair& uv) const;
    // Moves the UV of the vertex's corner in the face (its shared UV moves for every corner on it).
    bool setUVForFace(uint32_t set, uint32_t face, const T2FloatPair& uv);
    // Every UV point of the vertex's corners in the set moves to uv.
    bool setUV(uint32_t set, const T2FloatPair& uv);
    // The vertex's distinct UV points, in the order uvCount counts them, take uvs in turn; false
    // (nothing moved) when the counts differ.
    bool setUVs(uint32_t set, const T2FloatArray& uvs);

    // Angle-weighted unit normal of the vertex's faces; false (zero) when none of them has area.
    bool normal(T3dFltPoint& n) const;
    // The shading normal of the vertex's corner in the face; false when it is not a corner of it.
    bool normal(uint32_t face, T3dFltPoint& n) const;
    bool averageNormal(T3dFltPoint& n) const override { return normal(n); }
    // The distinct shading normals of the vertex's corners, first corner first.
    uint32_t normals(T3dFltPointArray& out) const override;
    uint32_t normalCount() const override;

    // Colours of the vertex's corners in the current colour set; color answers the first.
    bool color(TportColor& c) const;
    uint32_t colors(TportColorArray& out) const;
    uint32_t colorCount() const override;
    bool hasColor() const { return colorCount() > 0; }
    bool removeColor();

    // The other end of the edge, or -1 when the edge does not touch the vertex.
    int32_t oppositeVertex(uint32_t edge) const;
    bool connectedToEdge(uint32_t edge) const { return oppositeVertex(edge) >= 0; }
    bool connectedToFace(uint32_t face) const;

private:
    // Face-description offset of the vertex's corner in the face, or -1.
    int64_t cornerInFace(uint32_t face) const;
    // The distinct values of id(record, offset) over the vertex's corners, first corner first,
    // skipping -1; empty for a vertex the record does not have.
    template <typename Id>
    void cornerIds(TuInt32Array& ids, uint32_t dirtyMask, Id&& id) const;
};

class BRINDLE_API TmeshFace : public TmeshComponentBase {
public:
    TmeshFace(const TmidBody* body, uint32_t id) : TmeshComponentBase(body, id) {}

    // Corners over every loop of the face.
    uint32_t vertexCount() const override;
    uint32_t edgeCount() const override { return vertexCount(); }
    // The corners' vertices in corner order, outer loop first.
    uint32_t vertexList(TuInt32Array& list) const override;
    uint32_t edgeList(TuInt32Array& list) const override;
    uint32_t triangleCount() const override;
    uint32_t connectedVertexCount() const override { return vertexCount(); }
    uint32_t connectedEdgeCount() const override { return vertexCount(); }
    uint32_t connectedVertexList(TuInt32Array& list) const override { return vertexList(list); }
    uint32_t connectedEdgeList(TuInt32Array& list) const override { return edgeList(list); }
    // The other faces sharing an edge with the face, in increasing id order.
    uint32_t connectedFaceCount() const override;
    uint32_t connectedFaceList(TuInt32Array& list) const override;
    bool onBoundary() const override;
    uint32_t points(T3dDblPointArray& out) const override;
    uint32_t pointCount() const override { return vertexCount(); }

    // The record's triangles are up to date for the face and none of them fell back to the fan.
    bool hasValidTriangulation() const;
    // Triangle i of the face: its corner positions and vertex ids (three of each, appended).
    bool triangle(uint32_t i, T3dFltPointArray& points, TuInt32Array& vertexIds) const;
    bool triangles(T3dFltPointArray& points, TuInt32Array& vertexIds) const;

    bool isHoled() const;
    // The fan from the corner mean turns one way about the face normal: every corner sees the
    // outline from there (single loop faces only).
    bool isStarlike() const;
    // Another face uses exactly the face's edges: the two form a two-sided sheet.
    bool isLamina() const;
    // The unit face normal; false for a face without area.
    bool averageNormal(T3dFltPoint& n) const override;
    // The shading normals of the face's corners in corner order.
    uint32_t normals(T3dFltPointArray& out) const override;
    uint32_t normalCount() const override { return vertexCount(); }
    // Every corner turns the same way about the face normal (single loop faces only).
    bool isConvex() const;
    // Every corner lies within 1e-5 of the plane through the centre along the face normal.
    bool isPlanar() const;
    // The face's area below 1e-10.
    bool zeroArea() const { return area() < 1e-10; }
    // Area of the outer loop minus the holes, after placing the corners through matrix.
    double area(const T4dFltMatrix& matrix = T4dFltMatrix()) const;
    // Signed area in the UV set, counter-clockwise positive; 0 when a corner is unmapped.
    double uvArea(uint32_t set) const;
    bool uvZeroArea(uint32_t set) const { return std::fabs(uvArea(set)) < 1e-10; }

private:
    bool valid() const;
    // Appends value(record, offset) for every corner of the face; answers the list's size.
    template <typename Value>
    uint32_t appendPerCorner(TuInt32Array& list, Value&& value) const;
};

class BRINDLE_API TmeshEdge : public TmeshComponentBase {
public:
    TmeshEdge(const TmidBody* body, uint32_t id) : TmeshComponentBase(body, id) {}

    // Start (0) or end (1) vertex, -1 for a missing edge.
    int32_t vertex(uint32_t end) const;
    // Local offset of the edge in the face, -1 when the face does not use it.
    int32_t indexInFace(uint32_t face) const;
    bool onBoundary() const override;
    uint32_t connectedEdgeCount() const override;
    uint32_t connectedFaceCount() const override;
    // The other edges at either end, in increasing id order.
    uint32_t connectedEdgeList(TuInt32Array& list) const override;
    // The faces using the edge, in increasing id order.
    uint32_t connectedFaceList(TuInt32Array& list) const override;
    bool connectedToFace(uint32_t face) const { return indexInFace(face) >= 0; }
    bool connectedToEdge(uint32_t edge) const;

    T3dDblPoint point(uint32_t end) const;
    T4dDblPoint point4(uint32_t end) const;
    bool setPoint(const T3dDblPoint& p, uint32_t end);
    double length() const;
    T3dDblPoint center() const;
    T4dDblPoint center4() const;
    // The point a fraction t of the way along the edge from its start (end 0) or its end (end 1).
    T3dDblPoint evalPoint(uint32_t end, double t) const;
    T4dDblPoint evalPoint4(uint32_t end, double t) const;
    // Length in the UV set, measured in the first face that uses the edge; 0 when that use is
    // unmapped or no face uses the edge.
    double uvLength(uint32_t set) const;

    bool isHard() const;
    bool isSmooth() const { return valid() && !isHard(); }
    bool setHard();
    bool setSmooth();
    // Edges carry a hard bit only, no smoothness value.
    double howSmooth() const { return 0.0; }
    // Without smoothness values a positive smoothness softens the edge, any other hardens it.
    bool setSmoothness(double smoothness) { return setHardness(!(smoothness > 0)); }
    // Nothing to tidy without smoothness values; true for an edge of the record.
    bool cleanupSmoothing() const { return valid(); }

private:
    bool valid() const;
    bool setHardness(bool hard);
};
