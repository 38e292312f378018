#include "brindle/framework/MeshCursor.h"

#include <algorithm>
#include <cmath>

#include "brindle/base/VectorMath.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/geom/TopoIterators.h"

namespace {

// Appends the ids of bits set in `bits`, skipping `except`, and answers the list's size.
uint32_t appendSetBits(const TbitFieldFixedN& bits, uint32_t except, TuInt32Array& list) {
    for (uint32_t i = 0; i < bits.size(); ++i)
        if (bits.testBit(i) && i != except) list.addLast(i);
    return list.size();
}

// Marks every face with a corner at vertex v (needs the face offsets).
void markFacesAtVertex(const TpolyGeom& g, uint32_t v, TbitFieldFixedN& faces) {
    faces.resizeArray(g.nbFace());
    for (uint32_t f = 0; f < g.nbFace(); ++f)
        for (uint32_t o = g.faceOffset(f), end = g.faceOffset(f + 1); o < end; ++o)
            if (g.getStartVertex(o) == v) {
                faces.setBit(f);
                break;
            }
}

// Marks every face using one of the marked edges (needs the face offsets).
void markFacesOnEdges(const TpolyGeom& g, const TbitFieldFixedN& edges, TbitFieldFixedN& faces) {
    faces.resizeArray(g.nbFace());
    for (uint32_t f = 0; f < g.nbFace(); ++f)
        for (uint32_t o = g.faceOffset(f), end = g.faceOffset(f + 1); o < end; ++o)
            if (g.getEdge(o) < edges.size() && edges.testBit(g.getEdge(o))) {
                faces.setBit(f);
                break;
            }
}

bool edgeOnBorder(const TpolyGeom& g, uint32_t e) {
    const TpolyWingEdge& w = g.topo()->fEdgeToFace[e];
    return w.side[0] == TpolyBits::kNoFace || w.side[1] == TpolyBits::kNoFace;
}

T3dDblPoint toDbl(const T3dFltPoint& p) { return {p.x, p.y, p.z}; }
T4dDblPoint toDbl4(const T3dFltPoint& p) { return {p.x, p.y, p.z, 1.0}; }

}  // namespace

// --- TmeshComponentBase -----------------------------------------------------------------------------

const TpolyGeom* TmeshComponentBase::geom() const { return fBody ? fBody->polyGeom() : nullptr; }
TpolyGeom* TmeshComponentBase::editableGeom() const { return const_cast<TpolyGeom*>(geom()); }

// --- TmeshVertex ------------------------------------------------------------------------------------

T3dDblPoint TmeshVertex::point() const {
    const TpolyGeom* g = geom();
    return g && getCurrent() < g->nbVertex() ? toDbl(g->vertexConst(getCurrent())) : T3dDblPoint{};
}

T4dDblPoint TmeshVertex::point4() const {
    const TpolyGeom* g = geom();
    return g && getCurrent() < g->nbVertex() ? toDbl4(g->vertexConst(getCurrent())) : T4dDblPoint{};
}

bool TmeshVertex::setPoint(double x, double y, double z) {
    TpolyGeom* g = editableGeom();
    if (!g || getCurrent() >= g->nbVertex()) return false;
    g->setVertex(getCurrent(), T3dFltPoint(float(x), float(y), float(z)));
    g->markDirty(dirtyMoved);
    return true;
}
bool TmeshVertex::setPoint(const T3dDblPoint& p) { return setPoint(p.x, p.y, p.z); }
bool TmeshVertex::setPoint(const T4dDblPoint& p) { return setPoint(p.x, p.y, p.z); }

int32_t TmeshVertex::oppositeVertex(uint32_t edge) const {
    const TpolyGeom* g = geom();
    if (!g || edge >= g->nbEdge()) return -1;
    const TpolyEdge& e = g->edgeConst(edge);
    if (e.start() == getCurrent()) return int32_t(e.end());
    if (e.end() == getCurrent()) return int32_t(e.start());
    return -1;
}

uint32_t TmeshVertex::connectedVertexCount() const {
    TuInt32Array edges;
    return connectedEdgeList(edges);
}

uint32_t TmeshVertex::connectedEdgeList(TuInt32Array& list) const {
    const TpolyGeom* g = geom();
    if (!g || getCurrent() >= g->nbVertex()) return list.size();
    for (uint32_t e = 0; e < g->nbEdge(); ++e)
        if (oppositeVertex(e) >= 0) list.addLast(e);
    return list.size();
}

uint32_t TmeshVertex::connectedVertexList(TuInt32Array& list) const {
    const TpolyGeom* g = geom();
    if (!g || getCurrent() >= g->nbVertex()) return list.size();
    for (uint32_t e = 0; e < g->nbEdge(); ++e)
        if (int32_t v = oppositeVertex(e); v >= 0) list.addLast(uint32_t(v));
    return list.size();
}

uint32_t TmeshVertex::connectedFaceList(TuInt32Array& list) const {
    TpolyGeom* g = editableGeom();
    if (!g || getCurrent() >= g->nbVertex()) return list.size();
    g->update(dirtyFaceOffsets);
    TbitFieldFixedN faces;
    markFacesAtVertex(*g, getCurrent(), faces);
    return appendSetBits(faces, TpolyBits::kNoId, list);
}

uint32_t TmeshVertex::connectedFaceCount() const {
    TuInt32Array faces;
    return connectedFaceList(faces);
}

bool TmeshVertex::onBoundary() const {
    TpolyGeom* g = editableGeom();
    if (!g || getCurrent() >= g->nbVertex()) return false;
    g->update(dirtyFaceOffsets | dirtyEdgeToFace);
    for (uint32_t e = 0; e < g->nbEdge(); ++e)
        if (oppositeVertex(e) >= 0 && edgeOnBorder(*g, e)) return true;
    return false;
}

int64_t TmeshVertex::cornerInFace(uint32_t face) const {
    TpolyGeom* g = editableGeom();
    if (!g || face >= g->nbFace()) return -1;
    g->update(dirtyFaceOffsets);
    for (uint32_t o = g->faceOffset(face), end = g->faceOffset(face + 1); o < end; ++o)
        if (g->getStartVertex(o) == getCurrent()) return o;
    return -1;
}

bool TmeshVertex::connectedToFace(uint32_t face) const { return cornerInFace(face) >= 0; }

template <typename Id>
void TmeshVertex::cornerIds(TuInt32Array& ids, uint32_t dirtyMask, Id&& id) const {
    TpolyGeom* g = editableGeom();
    if (!g || getCurrent() >= g->nbVertex()) return;
    g->update(dirtyFaceOffsets | dirtyMask);
    for (uint32_t o = 0; o < g->faceDescLength(); ++o) {
        if (g->getStartVertex(o) != getCurrent()) continue;
        const int32_t value = id(*g, o);
        if (value >= 0 && ids.find(uint32_t(value)) == kNotFound) ids.addLast(uint32_t(value));
    }
}

namespace {
// Id readers for cornerIds: the corner's UV id in the set (-1 for a set the record does not
// have) and its normal id.
auto uvIdIn(uint32_t set) {
    return [set](const TpolyGeom& g, uint32_t o) { return set < g.nbMapSet() ? g.getUVId(o, set) : -1; };
}
int32_t normalIdAt(const TpolyGeom& g, uint32_t o) { return int32_t(g.getNormalId(o)); }
constexpr uint32_t kShadingNormals = dirtyNormalTopo | dirtyVertexNormals | dirtyVertexNormalize;
}  // namespace

uint32_t TmeshVertex::uvCount(uint32_t set) const {
    TuInt32Array ids(8);
    cornerIds(ids, 0, uvIdIn(set));
    return ids.size();
}

bool TmeshVertex::setUV(uint32_t set, const T2FloatPair& uv) {
    TuInt32Array ids(8);
    cornerIds(ids, 0, uvIdIn(set));
    for (uint32_t i = 0; i < ids.size(); ++i) editableGeom()->setUV(ids[i], uv.u, uv.v, set);
    return ids.size() > 0;
}

bool TmeshVertex::setUVs(uint32_t set, const T2FloatArray& uvs) {
    TuInt32Array ids(8);
    cornerIds(ids, 0, uvIdIn(set));
    if (ids.size() == 0 || ids.size() != uvs.size()) return false;
    for (uint32_t i = 0; i < ids.size(); ++i) editableGeom()->setUV(ids[i], uvs[i].u, uvs[i].v, set);
    return true;
}

bool TmeshVertex::normal(T3dFltPoint& n) const {
    n = {};
    TpolyGeom* g = editableGeom();
    T4dFltVector v;
    if (!g || getCurrent() >= g->nbVertex() || !g->computeGeomVertexNormal(getCurrent(), v)) return false;
    n = {v.x, v.y, v.z};
    return true;
}

bool TmeshVertex::normal(uint32_t face, T3dFltPoint& n) const {
    const int64_t o = cornerInFace(face);
    if (o < 0) return false;
    TpolyGeom* g = editableGeom();
    g->update(kShadingNormals);
    n = g->getRefNormal(uint32_t(o));
    return true;
}

uint32_t TmeshVertex::normals(T3dFltPointArray& out) const {
    TuInt32Array ids(8);
    cornerIds(ids, kShadingNormals, normalIdAt);
    for (uint32_t i = 0; i < ids.size(); ++i) out.addLast(geom()->vertexNormalConst(ids[i]));
    return out.size();
}

uint32_t TmeshVertex::normalCount() const {
    TuInt32Array ids(8);
    cornerIds(ids, dirtyNormalTopo, normalIdAt);
    return ids.size();
}

bool TmeshVertex::uvForFace(uint32_t set, uint32_t face, T2FloatPair& uv) const {
    const int64_t o = cornerInFace(face);
    if (o < 0) return false;
    const TpolyGeom* g = geom();
    const T2FloatPair* p = g->uvConst(uint32_t(g->getUVId(uint32_t(o), set)), set);
    if (!p) return false;
    uv = *p;
    return true;
}

bool TmeshVertex::setUVForFace(uint32_t set, uint32_t face, const T2FloatPair& uv) {
    const int64_t o = cornerInFace(face);
    if (o < 0) return false;
    TpolyGeom* g = editableGeom();
    const int32_t id = g->getUVId(uint32_t(o), set);
    return id >= 0 && g->setUV(uint32_t(id), uv.u, uv.v, set);
}

bool TmeshVertex::color(TportColor& c) const {
    const TmidBody* body = getCurrentGeom();
    return body && body->getColor(getCurrent(), c, false);
}

uint32_t TmeshVertex::colors(TportColorArray& out) const {
    const TmidBody* body = getCurrentGeom();
    if (!body) {
        out.clear();
        return 0;
    }
    return body->getVertexColors(getCurrent(), out);
}

uint32_t TmeshVertex::colorCount() const {
    TportColorArray all;
    return colors(all);
}

bool TmeshVertex::removeColor() {
    TmidBody* body = editableBody();
    return body && body->removeColor(getCurrent());
}

// --- TmeshFace --------------------------------------------------------------------------------------

bool TmeshFace::valid() const {
    TpolyGeom* g = editableGeom();
    if (!g || getCurrent() >= g->nbFace()) return false;
    g->update(dirtyFaceOffsets);
    return true;
}

uint32_t TmeshFace::vertexCount() const { return valid() ? geom()->faceVertexCount(getCurrent()) : 0; }

template <typename Value>
uint32_t TmeshFace::appendPerCorner(TuInt32Array& list, Value&& value) const {
    if (!valid()) return list.size();
    const TpolyGeom& g = *geom();
    for (uint32_t o = g.faceOffset(getCurrent()), end = g.faceOffset(getCurrent() + 1); o < end; ++o)
        list.addLast(value(g, o));
    return list.size();
}

uint32_t TmeshFace::vertexList(TuInt32Array& list) const {
    return appendPerCorner(list, [](const TpolyGeom& g, uint32_t o) { return g.getStartVertex(o); });
}

uint32_t TmeshFace::edgeList(TuInt32Array& list) const {
    return appendPerCorner(list, [](const TpolyGeom& g, uint32_t o) { return g.getEdge(o); });
}

uint32_t TmeshFace::connectedFaceList(TuInt32Array& list) const {
    if (!valid()) return list.size();
    const TpolyGeom& g = *geom();
    TuInt32Array own;
    edgeList(own);
    TbitFieldFixedN edges(g.nbEdge()), faces;
    for (uint32_t e : own)
        if (e < g.nbEdge()) edges.setBit(e);
    markFacesOnEdges(g, edges, faces);
    return appendSetBits(faces, getCurrent(), list);
}

uint32_t TmeshFace::connectedFaceCount() const {
    TuInt32Array faces;
    return connectedFaceList(faces);
}

bool TmeshFace::onBoundary() const {
    if (!valid()) return false;
    TpolyGeom& g = *editableGeom();
    g.update(dirtyEdgeToFace);
    for (uint32_t o = g.faceOffset(getCurrent()), end = g.faceOffset(getCurrent() + 1); o < end; ++o)
        if (edgeOnBorder(g, g.getEdge(o))) return true;
    return false;
}

uint32_t TmeshFace::points(T3dDblPointArray& out) const {
    if (!valid()) return out.size();
    const TpolyGeom& g = *geom();
    for (uint32_t o = g.faceOffset(getCurrent()), end = g.faceOffset(getCurrent() + 1); o < end; ++o)
        out.addLast(toDbl(g.vertexConst(g.getStartVertex(o))));
    return out.size();
}

uint32_t TmeshFace::triangleCount() const {
    if (!valid()) return 0;
    TpolyGeom& g = *editableGeom();
    g.update(dirtyTriangles);
    return g.trgFaceOrder(getCurrent());
}

bool TmeshFace::hasValidTriangulation() const {
    const uint32_t n = triangleCount();
    if (n == 0) return false;
    const TpolyGeom& g = *geom();
    const uint32_t first = g.firstTriangle(getCurrent());
    for (uint32_t t = first; t < first + n; ++t)
        if (g.markedBadTriangle(t)) return false;
    return true;
}

bool TmeshFace::triangle(uint32_t i, T3dFltPointArray& points, TuInt32Array& vertexIds) const {
    if (i >= triangleCount()) return false;
    const TpolyGeom& g = *geom();
    const uint32_t t = g.firstTriangle(getCurrent()) + i;
    for (uint32_t k = 0; k < 3; ++k) {
        const uint32_t v = g.cornerVertexOfTriangle(getCurrent(), t, k);
        vertexIds.addLast(v);
        points.addLast(g.vertexConst(v));
    }
    return true;
}

bool TmeshFace::triangles(T3dFltPointArray& points, TuInt32Array& vertexIds) const {
    const uint32_t n = triangleCount();
    for (uint32_t i = 0; i < n; ++i) triangle(i, points, vertexIds);
    return n > 0;
}

bool TmeshFace::isHoled() const { return valid() && geom()->faceOrder(getCurrent()) > 1; }

namespace {
// Calls fn(a, b) for every edge use of the face as the offsets of its two corners, each loop closed
// on itself.
template <typename Fn>
void forEachLoopSide(const TpolyGeom& g, uint32_t face, Fn&& fn) {
    uint32_t loopStart = g.faceOffset(face);
    for (uint32_t o = loopStart, end = g.faceOffset(face + 1); o < end; ++o) {
        const bool last = g.endOfLoop(o) || o + 1 == end;
        fn(o, last ? loopStart : o + 1);
        if (last) loopStart = o + 1;
    }
}

// Newell normal (not normalised, length twice the area: holes wind against the outer loop, so
// they subtract) and centre of the face's corners, placed through matrix when one is given.
void faceNormalAndCentre(const TpolyGeom& g, uint32_t face, const T4dFltMatrix* matrix, T3dDblVector& n,
                         T3dDblVector& c) {
    n = c = T3dDblVector();
    auto place = [&](uint32_t o) {
        const T3dFltPoint& p = g.vertexConst(g.getStartVertex(o));
        return matrix ? matrix->transformPoint(p) : p;
    };
    forEachLoopSide(g, face, [&](uint32_t a, uint32_t b) {
        const T3dFltPoint p = place(a), q = place(b);
        addNewellSide(n, p, q);
        c += T3dDblVector(p);
    });
    c = c * (1.0 / g.faceVertexCount(face));
}
}  // namespace

double TmeshFace::area(const T4dFltMatrix& matrix) const {
    if (!valid() || vertexCount() == 0) return 0;
    T3dDblVector n, c;
    faceNormalAndCentre(*geom(), getCurrent(), &matrix, n, c);
    return length(n) / 2;
}

double TmeshFace::uvArea(uint32_t set) const { return valid() ? geom()->getUVFaceArea(getCurrent(), set) : 0.0; }

bool TmeshFace::isPlanar() const {
    if (!valid() || vertexCount() == 0) return false;
    T3dDblVector n, c;
    faceNormalAndCentre(*geom(), getCurrent(), nullptr, n, c);
    const double len = length(n);
    if (len < 1e-10) return true;
    const TpolyGeom& g = *geom();
    for (uint32_t o = g.faceOffset(getCurrent()), end = g.faceOffset(getCurrent() + 1); o < end; ++o) {
        const T3dFltPoint& p = g.vertexConst(g.getStartVertex(o));
        const double d = dot(T3dDblVector(p) - c, n) / len;
        if (std::fabs(d) > 1e-5) return false;
    }
    return true;
}

// The record's test also refuses faces with holes, fewer than three corners or broken ids.
bool TmeshFace::isConvex() const { return valid() && geom()->faceTurnsOneWay(getCurrent(), false); }

bool TmeshFace::isStarlike() const { return valid() && geom()->faceTurnsOneWay(getCurrent(), true); }

bool TmeshFace::isLamina() const {
    if (!valid() || vertexCount() == 0) return false;
    TpolyGeom& g = *editableGeom();
    g.update(dirtyFaceOffsets | dirtyEdgeToFace);
    const uint32_t face = getCurrent(), first = g.faceOffset(face), end = g.faceOffset(face + 1);
    auto usesEdge = [&g](uint32_t f, uint32_t e) {
        for (uint32_t o = g.faceOffset(f), fe = g.faceOffset(f + 1); o < fe; ++o)
            if (g.getEdge(o) == e) return true;
        return false;
    };
    // Any twin must lie on the face's first edge.
    TedgeFaceIterator it(&g, g.getEdge(first));
    for (uint32_t other = it.face(); other != TpolyBits::kNoFace; other = it.next()) {
        if (other == face || g.faceVertexCount(other) != end - first) continue;
        bool same = true;
        for (uint32_t o = first; o < end && same; ++o) same = usesEdge(other, g.getEdge(o));
        if (same) return true;
    }
    return false;
}

bool TmeshFace::averageNormal(T3dFltPoint& out) const {
    out = {};
    if (!valid() || vertexCount() == 0) return false;
    T3dDblVector n, c;
    faceNormalAndCentre(*geom(), getCurrent(), nullptr, n, c);
    const double len = length(n);
    if (len < 1e-10) return false;
    out = (n * (1 / len)).point();
    return true;
}

uint32_t TmeshFace::normals(T3dFltPointArray& out) const {
    if (!valid()) return out.size();
    TpolyGeom& g = *editableGeom();
    g.update(kShadingNormals);
    for (uint32_t o = g.faceOffset(getCurrent()), end = g.faceOffset(getCurrent() + 1); o < end; ++o)
        out.addLast(g.getRefNormal(o));
    return out.size();
}

// --- TmeshEdge --------------------------------------------------------------------------------------

bool TmeshEdge::valid() const {
    const TpolyGeom* g = geom();
    return g && getCurrent() < g->nbEdge();
}

int32_t TmeshEdge::vertex(uint32_t end) const {
    if (!valid() || end > 1) return -1;
    const TpolyEdge& e = geom()->edgeConst(getCurrent());
    return int32_t(end == 0 ? e.start() : e.end());
}

int32_t TmeshEdge::indexInFace(uint32_t face) const {
    TpolyGeom* g = editableGeom();
    if (!valid() || face >= g->nbFace()) return -1;
    g->update(dirtyFaceOffsets);
    for (uint32_t o = g->faceOffset(face), end = g->faceOffset(face + 1); o < end; ++o)
        if (g->getEdge(o) == getCurrent()) return int32_t(o - g->faceOffset(face));
    return -1;
}

bool TmeshEdge::onBoundary() const {
    if (!valid()) return false;
    TpolyGeom& g = *editableGeom();
    g.update(dirtyFaceOffsets | dirtyEdgeToFace);
    return edgeOnBorder(g, getCurrent());
}

bool TmeshEdge::connectedToEdge(uint32_t edge) const {
    const TpolyGeom* g = geom();
    if (!valid() || edge >= g->nbEdge() || edge == getCurrent()) return false;
    const TpolyEdge& a = g->edgeConst(getCurrent());
    const TpolyEdge& b = g->edgeConst(edge);
    return a.start() == b.start() || a.start() == b.end() || a.end() == b.start() || a.end() == b.end();
}

uint32_t TmeshEdge::connectedEdgeList(TuInt32Array& list) const {
    if (!valid()) return list.size();
    for (uint32_t e = 0; e < geom()->nbEdge(); ++e)
        if (connectedToEdge(e)) list.addLast(e);
    return list.size();
}

uint32_t TmeshEdge::connectedEdgeCount() const {
    TuInt32Array edges;
    return connectedEdgeList(edges);
}

uint32_t TmeshEdge::connectedFaceList(TuInt32Array& list) const {
    if (!valid()) return list.size();
    TpolyGeom& g = *editableGeom();
    g.update(dirtyFaceOffsets);
    TbitFieldFixedN edges(g.nbEdge()), faces;
    edges.setBit(getCurrent());
    markFacesOnEdges(g, edges, faces);
    return appendSetBits(faces, TpolyBits::kNoId, list);
}

uint32_t TmeshEdge::connectedFaceCount() const {
    TuInt32Array faces;
    return connectedFaceList(faces);
}

T3dDblPoint TmeshEdge::point(uint32_t end) const {
    const int32_t v = vertex(end);
    return v < 0 ? T3dDblPoint{} : toDbl(geom()->vertexConst(uint32_t(v)));
}

T4dDblPoint TmeshEdge::point4(uint32_t end) const {
    const int32_t v = vertex(end);
    return v < 0 ? T4dDblPoint{} : toDbl4(geom()->vertexConst(uint32_t(v)));
}

bool TmeshEdge::setPoint(const T3dDblPoint& p, uint32_t end) {
    const int32_t v = vertex(end);
    if (v < 0) return false;
    TpolyGeom& g = *editableGeom();
    g.setVertex(uint32_t(v), T3dFltPoint(float(p.x), float(p.y), float(p.z)));
    g.markDirty(dirtyMoved);
    return true;
}

double TmeshEdge::length() const { return distance(point(0), point(1)); }

T3dDblPoint TmeshEdge::evalPoint(uint32_t end, double t) const {
    if (end > 1) return {};
    const T3dDblPoint a = point(end), b = point(1 - end);
    return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.z + t * (b.z - a.z)};
}

T4dDblPoint TmeshEdge::evalPoint4(uint32_t end, double t) const {
    const T3dDblPoint p = evalPoint(end, t);
    return {p.x, p.y, p.z, 1.0};
}

T3dDblPoint TmeshEdge::center() const { return evalPoint(0, 0.5); }

T4dDblPoint TmeshEdge::center4() const { return evalPoint4(0, 0.5); }

double TmeshEdge::uvLength(uint32_t set) const {
    if (!valid()) return 0;
    const TpolyGeom& g = *geom();
    for (uint32_t o = 0; o < g.faceDescLength(); ++o) {
        if (g.getEdge(o) != getCurrent()) continue;
        int32_t ids[2];
        if (!g.getEdgeUVIds(o, ids, set)) return 0;
        const T2FloatPair* a = ids[0] >= 0 ? g.uvConst(uint32_t(ids[0]), set) : nullptr;
        const T2FloatPair* b = ids[1] >= 0 ? g.uvConst(uint32_t(ids[1]), set) : nullptr;
        return a && b ? std::hypot(double(a->u) - b->u, double(a->v) - b->v) : 0.0;
    }
    return 0;
}

bool TmeshEdge::isHard() const { return valid() && geom()->isHard(getCurrent()); }

bool TmeshEdge::setHardness(bool hard) {
    if (!valid()) return false;
    TpolyGeom& g = *editableGeom();
    g.setSmoothing(getCurrent(), hard);
    g.markDirty(dirtyHardness);
    return true;
}
bool TmeshEdge::setHard() { return setHardness(true); }
bool TmeshEdge::setSmooth() { return setHardness(false); }
