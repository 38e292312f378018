#include "brindle/framework/MidBody.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "brindle/base/VectorMath.h"
#include "brindle/framework/HostObjectTable.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/spatial/PolySpatialSubdivision.h"

const Tmetaclass TmeshBase::sMetaclass(
    "TmeshBase", sizeof(TmeshBase), [] { return static_cast<void*>(new TmeshBase); }, 0, nullptr);
const Tmetaclass TpolyBase::sMetaclass(
    "TpolyBase", sizeof(TpolyBase), [] { return static_cast<void*>(new TpolyBase); }, 0, &TmeshBase::sMetaclass);
const Tmetaclass TmidBody::sMetaclass(
    "TmidBody", sizeof(TmidBody), [] { return static_cast<void*>(new TmidBody); }, 0, &TpolyBase::sMetaclass);

namespace {
// The winged-edge mesh is a polygonal body the host may ask about by class; this library makes no
// instances of it, so its entry has no construction function.
const Tmetaclass sWingedMeshClass("Tmesh", 0, nullptr, 0, &TpolyBase::sMetaclass);

const bool sBodyTypesEntered = ThostObjectTable::registerType(kApiMesh, "kMesh", {1, 2}) &&
                               ThostObjectTable::registerType(kApiMeshGeom, "kMeshGeom", {1, 2, kApiMesh});

// Metaclass-checked construction shared by the body classes: null for a null metaclass or one
// that is not a kind of base.
template <typename T>
T* constructKindOf(const Tmetaclass* mc, const Tmetaclass& base) {
    if (!mc || !mc->istype(&base)) return nullptr;
    return static_cast<T*>(mc->construct());
}
}  // namespace

// --- TmeshBase ------------------------------------------------------------------------------------

uint32_t TmeshBase::apiType() const { return kApiMesh; }
const char* TmeshBase::apiTypeString() const { return "kMesh"; }

void* TmeshBase::cast(const Tmetaclass* mc) { return mc == &sMetaclass ? this : nullptr; }

void TmeshBase::copyData(const TmeshBase& other) { copy(other); }

void TmeshBase::copy(const TmeshBase& other) {
    std::copy(std::begin(other.fActive16), std::end(other.fActive16), fActive16);
    std::copy(std::begin(other.fActive32), std::end(other.fActive32), fActive32);
    if (fKeepActive) {
        copyActiveComponents();
        return;
    }
    bool any = std::any_of(std::begin(fActive16), std::end(fActive16), [](uint16_t v) { return v != 0; }) ||
               std::any_of(std::begin(fActive32), std::end(fActive32), [](uint32_t v) { return v != 0; });
    clearActiveComponents();
    if (any) {
        std::fill(std::begin(fActive16), std::end(fActive16), uint16_t(0));
        std::fill(std::begin(fActive32), std::end(fActive32), 0u);
        fKeepActive = false;
    }
}

TmeshBase* TmeshBase::construct(const Tmetaclass* mc) { return constructKindOf<TmeshBase>(mc, sMetaclass); }

// --- TpolyBase ------------------------------------------------------------------------------------

void* TpolyBase::cast(const Tmetaclass* mc) { return mc == &sMetaclass ? this : TmeshBase::cast(mc); }

TpolyBase* TpolyBase::construct(const Tmetaclass* mc) { return constructKindOf<TpolyBase>(mc, sMetaclass); }

// --- TmidBody: life cycle -------------------------------------------------------------------------

TmidBody::TmidBody() : fGeom(new TpolyGeom) {}
TmidBody::TmidBody(TpolyGeom* geom) : fGeom(geom) {}
TmidBody::~TmidBody() { delete fGeom; }

uint32_t TmidBody::apiType() const { return kApiMeshGeom; }
const char* TmidBody::apiTypeString() const { return "kMeshGeom"; }

void* TmidBody::cast(const Tmetaclass* mc) { return mc == &sMetaclass ? this : TpolyBase::cast(mc); }

TmidBody* TmidBody::construct(const Tmetaclass* mc) { return constructKindOf<TmidBody>(mc, sMetaclass); }

int TmidBody::setMidBody(TpolyGeom* geom) {
    int wasEmpty = fGeom ? 0 : 1;
    if (geom != fGeom) delete fGeom;
    fGeom = geom;
    return wasEmpty;
}

bool TmidBody::isSameAs(const TmidBody& other) const {
    if (fGeom == other.fGeom) return true;
    return fGeom && other.fGeom && fGeom->isEquivalent(*other.fGeom);
}

void TmidBody::copyLocalData(const TmidBody& other) {
    if (this == &other || !other.fGeom) return;
    if (!fGeom) fGeom = new TpolyGeom;
    fGeom->copy(*other.fGeom, kCompAll);
}

void TmidBody::copy(const TmidBody& other) {
    copyLocalData(other);
    TmeshBase::copy(other);
}

void TmidBody::copyData(const TmeshBase& other) {
    // The polygon-body level has no data of its own to copy; the record follows.
    auto* body = static_cast<TmidBody*>(const_cast<TmeshBase&>(other).cast(&sMetaclass));
    if (body) copyLocalData(*body);
}

// --- TmidBody: access -----------------------------------------------------------------------------

bool TmidBody::validFace(uint32_t face) const {
    if (!fGeom || face >= fGeom->nbFace()) return false;
    fGeom->update(dirtyFaceOffsets);
    return true;
}

bool TmidBody::validCorner(uint32_t face, uint32_t corner) const {
    return validFace(face) && corner < fGeom->faceVertexCount(face);
}

void TmidBody::setPoint(uint32_t id, const T4dDblPoint& p) {
    if (!fGeom || id >= fGeom->nbVertex()) return;
    fGeom->setVertex(id, T3dFltPoint(float(p.x), float(p.y), float(p.z)));
    fGeom->markDirty(dirtyMoved);
}

T4dDblPoint TmidBody::getPoint(uint32_t id) const {
    if (!fGeom || id >= fGeom->nbVertex()) return {};
    const T3dFltPoint& v = fGeom->vertexConst(id);
    return {v.x, v.y, v.z, 1.0};
}

uint32_t TmidBody::setPoints(const TuInt32Array& ids, const T4dDblPointArray& points) {
    if (!fGeom || ids.empty() || ids.size() != points.size()) return 0;
    uint32_t written = 0;
    for (uint32_t i = 0; i < ids.size(); ++i) {
        if (ids[i] >= fGeom->nbVertex()) continue;
        fGeom->setVertex(ids[i], T3dFltPoint(float(points[i].x), float(points[i].y), float(points[i].z)));
        ++written;
    }
    if (written) fGeom->markDirty(dirtyMoved);
    return written;
}

uint32_t TmidBody::getPoints(const TuInt32Array& ids, T4dDblPointArray& points) const {
    if (!fGeom || ids.empty() || ids.size() != points.size()) return 0;
    uint32_t read = 0;
    for (uint32_t i = 0; i < ids.size(); ++i) {
        if (ids[i] >= fGeom->nbVertex()) continue;
        points[i] = getPoint(ids[i]);
        ++read;
    }
    return read;
}

namespace {
// The first UV set of a record, or null.
const TpolyMap* firstMap(const TpolyGeom* geom) {
    return geom && geom->maps()->nbMap() > 0 ? &(*geom->maps())[0] : nullptr;
}
}  // namespace

bool TmidBody::setUV(uint32_t id, const T2Float uv) {
    TpolyMap* map = const_cast<TpolyMap*>(firstMap(fGeom));
    if (!map || id >= map->nbUV()) return false;
    map->setUV(id, uv[0], uv[1]);
    fGeom->markDirty(dirtyMoved);
    return true;
}

bool TmidBody::getUV(uint32_t id, T2Float& uv) const {
    const TpolyMap* map = firstMap(fGeom);
    if (!map || id >= map->nbUV()) return false;
    map->getUV(id, uv);
    return true;
}

int TmidBody::vertexIndex(uint32_t face, uint32_t vertex) const {
    if (!validFace(face)) return -1;
    uint32_t first = fGeom->faceOffset(face), end = first + fGeom->faceVertexCount(face);
    for (uint32_t o = first; o < end; ++o)
        if (fGeom->getStartVertex(o) == vertex) return int(o);
    return -1;
}

int TmidBody::getUV(uint32_t face, TfltPointArray& uvs) const {
    uvs.clear();
    const TpolyMap* map = firstMap(fGeom);
    if (!map || !validFace(face)) return -1;
    uint32_t first = fGeom->faceOffset(face), n = fGeom->faceVertexCount(face);
    for (uint32_t o = first; o < first + n; ++o)
        if (!map->hasValidIndexAt(o)) return -1;
    for (uint32_t o = first; o < first + n; ++o) uvs.addLast(map->values()[uint32_t(map->getIndex(o))]);
    return 0;
}

int TmidBody::getUV(uint32_t face, uint32_t corner, TfltPoint& uv) const {
    const TpolyMap* map = firstMap(fGeom);
    if (!map || !validCorner(face, corner)) return -1;
    uint32_t o = fGeom->faceOffset(face) + corner;
    if (!map->hasValidIndexAt(o)) return -1;
    uv = map->values()[uint32_t(map->getIndex(o))];
    return 0;
}

int TmidBody::getPosition(uint32_t face, T3dFltPointArray& positions) {
    positions.clear();
    if (!validFace(face)) return -1;
    fGeom->update(dirtyAll);
    uint32_t first = fGeom->faceOffset(face), n = fGeom->faceVertexCount(face);
    for (uint32_t o = first; o < first + n; ++o) positions.addLast(fGeom->vertexConst(fGeom->getStartVertex(o)));
    return 0;
}

int TmidBody::getPosition(uint32_t face, uint32_t corner, T3dFltPoint& p) {
    if (!validCorner(face, corner)) return -1;
    p = fGeom->vertexConst(fGeom->getStartVertex(fGeom->faceOffset(face) + corner));
    return 0;
}

namespace {
// The shading normal of one corner, or false while the record has none for it.
bool cornerNormal(TpolyGeom* geom, uint32_t offset, T3dFltPoint& n) {
    const TpolyNorm& norm = *geom->norm();
    if (offset >= norm.fNormalIds.size()) return false;
    uint32_t id = norm.fNormalIds[offset];
    if (id >= norm.fVertexNormals.size()) return false;
    n = norm.fVertexNormals[id];
    return true;
}
}  // namespace

int TmidBody::getNormal(uint32_t face, T3dFltPointArray& normals) {
    normals.clear();
    if (!validFace(face)) return -1;
    fGeom->update(dirtyNormalTopo | dirtyVertexNormalize);
    uint32_t first = fGeom->faceOffset(face), n = fGeom->faceVertexCount(face);
    T3dFltPoint v;
    for (uint32_t o = first; o < first + n; ++o) {
        if (!cornerNormal(fGeom, o, v)) {
            normals.clear();
            return -1;
        }
        normals.addLast(v);
    }
    return 0;
}

int TmidBody::getNormal(uint32_t face, uint32_t corner, T3dFltPoint& n) {
    if (!validCorner(face, corner)) return -1;
    fGeom->update(dirtyNormalTopo | dirtyVertexNormalize);
    return cornerNormal(fGeom, fGeom->faceOffset(face) + corner, n) ? 0 : -1;
}

int TmidBody::getAttributes(uint32_t face, TfltPointArray& uvs, T3dFltPointArray& positions,
                            T3dFltPointArray& normals) {
    int r = getPosition(face, positions);
    if (r == 0) r = getNormal(face, normals);
    if (r == 0) r = getUV(face, uvs);
    if (r != 0) {
        uvs.clear();
        positions.clear();
        normals.clear();
    }
    return r;
}

// --- Colours ---------------------------------------------------------------------------------------

int32_t TmidBody::colorSet() const {
    if (!fGeom) return -1;
    const int32_t s = fGeom->getCurrentColorSet();
    return s >= 0 && uint32_t(s) < fGeom->nbColorSet() ? s : -1;
}

int TmidBody::getColor(uint32_t face, TportColorArray& colors) const {
    colors.clear();
    const int32_t s = colorSet();
    if (s < 0 || !validFace(face)) return -1;
    TportColor c;
    for (uint32_t k = 0, n = fGeom->faceVertexCount(face); k < n; ++k) {
        if (getColor(face, k, c) != 0) {
            colors.clear();
            return -1;
        }
        colors.addLast(c);
    }
    return 0;
}

int TmidBody::getColor(uint32_t face, uint32_t corner, TportColor& color) const {
    const int32_t s = colorSet();
    if (s < 0 || !validCorner(face, corner)) return -1;
    float rgba[4];
    if (!fGeom->getColorByOffset(fGeom->faceOffset(face) + corner, rgba, uint32_t(s))) return -1;
    color = {rgba[0], rgba[1], rgba[2], rgba[3]};
    return 0;
}

int TmidBody::getColorById(uint32_t face, uint32_t vertex, TportColor& color) const {
    const int o = vertexIndex(face, vertex);
    return o < 0 ? -1 : getColor(face, uint32_t(o) - fGeom->faceOffset(face), color);
}

int TmidBody::setColor(uint32_t face, uint32_t corner, const TportColor& color) {
    const int32_t s = colorSet();
    if (s < 0 || !validCorner(face, corner)) return -1;
    fGeom->completeColor();
    const int32_t id = fGeom->addLastColor(color, uint32_t(s));
    return id >= 0 && fGeom->setColorId(fGeom->faceOffset(face) + corner, id, uint32_t(s)) ? 0 : -1;
}

int TmidBody::removeColorById(uint32_t face, uint32_t vertex) {
    const int32_t s = colorSet();
    const int o = vertexIndex(face, vertex);
    if (s < 0 || o < 0) return -1;
    fGeom->completeColor();
    return fGeom->makeColorInvalid(uint32_t(o), uint32_t(s)) ? 0 : -1;
}

uint32_t TmidBody::getVertexColors(uint32_t vertex, TportColorArray& colors) const {
    colors.clear();
    const int32_t s = colorSet();
    if (s < 0 || vertex >= fGeom->nbVertex()) return 0;
    float rgba[4];
    for (uint32_t o = 0; o < fGeom->faceDescLength(); ++o)
        if (fGeom->getStartVertex(o) == vertex && fGeom->getColorByOffset(o, rgba, uint32_t(s)))
            colors.addLast({rgba[0], rgba[1], rgba[2], rgba[3]});
    return colors.size();
}

bool TmidBody::getColor(uint32_t vertex, TportColor& color, bool average) const {
    TportColorArray colors;
    if (getVertexColors(vertex, colors) == 0) return false;
    if (!average) {
        color = colors[0];
        return true;
    }
    TportColor sum{0, 0, 0, 0};
    for (const TportColor& c : colors) {
        sum.r += c.r;
        sum.g += c.g;
        sum.b += c.b;
        sum.a += c.a;
    }
    const float n = float(colors.size());
    color = {sum.r / n, sum.g / n, sum.b / n, sum.a / n};
    return true;
}

bool TmidBody::setColor(uint32_t vertex, const TportColor& color) {
    const int32_t s = colorSet();
    if (s < 0 || vertex >= fGeom->nbVertex()) return false;
    fGeom->completeColor();
    return fGeom->setColors(kPolyGrpVertex, &vertex, 1, &color, uint32_t(s));
}

bool TmidBody::setColorById(uint32_t vertex, uint32_t face, const TportColor& color) {
    const int o = vertexIndex(face, vertex);
    return o >= 0 && setColor(face, uint32_t(o) - fGeom->faceOffset(face), color) == 0;
}

bool TmidBody::removeColor(uint32_t vertex) {
    const int32_t s = colorSet();
    if (s < 0 || vertex >= fGeom->nbVertex()) return false;
    fGeom->completeColor();
    for (uint32_t o = 0; o < fGeom->faceDescLength(); ++o)
        if (fGeom->getStartVertex(o) == vertex) fGeom->makeColorInvalid(o, uint32_t(s));
    return true;
}

// --- Neighbourhoods -------------------------------------------------------------------------------
// These walk the face description or the edge list once per call: a body query serves the host's
// occasional questions, while operations read the record's adjacency tables directly.

uint32_t TmidBody::vertexFaceNeighbours(uint32_t vertex, TuInt32Array& faces) {
    faces.clear();
    if (!fGeom || vertex >= fGeom->nbVertex()) return 0;
    fGeom->update(dirtyFaceOffsets);
    for (uint32_t f = 0; f < fGeom->nbFace(); ++f) {
        uint32_t first = fGeom->faceOffset(f), end = first + fGeom->faceVertexCount(f);
        for (uint32_t o = first; o < end; ++o)
            if (fGeom->getStartVertex(o) == vertex) {
                faces.addLast(f);
                break;
            }
    }
    return faces.size();
}

uint32_t TmidBody::vertexVertexNeighbours(uint32_t vertex, TuInt32Array& vertices) {
    vertices.clear();
    if (!fGeom || vertex >= fGeom->nbVertex()) return 0;
    for (uint32_t e = 0; e < fGeom->nbEdge(); ++e) {
        const TpolyEdge& edge = fGeom->edgeConst(e);
        if (edge.start() == vertex)
            vertices.addLast(edge.end());
        else if (edge.end() == vertex)
            vertices.addLast(edge.start());
    }
    std::sort(vertices.begin(), vertices.end());
    vertices.changeLogicalSizeTo(uint32_t(std::unique(vertices.begin(), vertices.end()) - vertices.begin()));
    return vertices.size();
}

uint32_t TmidBody::faceVertexNeighbours(uint32_t face, TuInt32Array& vertices) {
    vertices.clear();
    if (!validFace(face)) return 0;
    uint32_t first = fGeom->faceOffset(face), end = first + fGeom->faceVertexCount(face);
    for (uint32_t o = first; o < end; ++o) vertices.addLast(fGeom->getStartVertex(o));
    return vertices.size();
}

// --- Counts ---------------------------------------------------------------------------------------

uint32_t TmidBody::vertexCount() const { return fGeom ? fGeom->nbVertex() : 0; }
uint32_t TmidBody::edgeCount() const { return fGeom ? fGeom->nbEdge() : 0; }
uint32_t TmidBody::faceCount() const { return fGeom ? fGeom->nbFace() : 0; }

uint32_t TmidBody::UVcount() const {
    const TpolyMap* map = firstMap(fGeom);
    return map ? map->nbUV() : 0;
}

uint32_t TmidBody::faceNormalCount() {
    if (!fGeom) return 0;
    fGeom->update(dirtyFaceNormalize);
    return fGeom->norm()->fFaceNormals.size();
}

uint32_t TmidBody::getNormals(T3dFltPointArray& normals) {
    normals.clear();
    if (faceNormalCount() == 0) return 0;
    normals.copy(fGeom->norm()->fFaceNormals);
    return normals.size();
}

// --- Spatial queries ------------------------------------------------------------------------------

namespace {

// The accelerator that the body's queries share: the record's auto-sized grid.
const TpolySpatialSubdivision& bodyAccelerator(TpolyGeom& g) {
    return g.getIntersectionAccelerator(TmeshIsectAccelParams::autoUniformGridParams());
}

T3dFltPoint hitPoint(const TpolyGeom& g, const TpointOnPoly& hit) {
    T3dFltPoint p;
    hit.point(g, p);
    return p;
}

}  // namespace

uint32_t TmidBody::intersect(const T3dFltPoint& point, const T4dFltVector& direction, T3dFltPointArray& hits,
                             T3dFltPointArray& normals, TuInt32Array& faceIds, float tolerance) const {
    hits.clear();
    normals.clear();
    faceIds.clear();
    if (!fGeom) return 0;
    TpointOnPolyArray found;
    if (TpointOnPoly::allIntersections(bodyAccelerator(*fGeom), point, direction, found, FLT_MAX, false, tolerance) !=
        0)
        return 0;
    for (const TpointOnPoly& h : found) {
        T4dFltVector n;
        h.faceNormal(*fGeom, n);
        hits.addLast(hitPoint(*fGeom, h));
        normals.addLast(T3dFltPoint(n.x, n.y, n.z));
        faceIds.addLast(h.face());
    }
    return hits.size();
}

bool TmidBody::closestPoint(const T3dFltPoint& point, T3dFltPoint& result, float tolerance, int& faceId) const {
    faceId = -1;
    if (!fGeom) return false;
    TpointOnPoly hit;
    if (hit.closestPoint(bodyAccelerator(*fGeom), point) != 0) return false;
    if (tolerance > 0 && hit.rayParam() > tolerance) return false;
    result = hitPoint(*fGeom, hit);
    faceId = int(hit.face());
    return true;
}

bool TmidBody::closestPointAndNorm(const T3dFltPoint& point, T3dFltPoint& result, T4dFltVector& normal,
                                   int& faceId) const {
    if (!closestPoint(point, result, 0.0f, faceId)) return false;
    TpointOnPoly face(uint32_t(faceId), 0, 0, 0, 0);
    return face.faceNormal(*fGeom, normal);
}

bool TmidBody::closestNormal(const T3dFltPoint& point, T4dFltVector& normal, int& faceId) const {
    T3dFltPoint unused;
    return closestPointAndNorm(point, unused, normal, faceId);
}

// --- UV layout ------------------------------------------------------------------------------------

bool TmidBody::generateNormalizedUVs(TfltPointArray& points, const TfltPoint&, const TfltPoint&, uint32_t n) {
    points.clear();
    if (n == 0) return false;
    if (n == 3) {
        points.addLast({0, 0});
        points.addLast({1, 0});
        points.addLast({1, 1});
        return true;
    }
    if (n == 4) {
        points.addLast({0, 0});
        points.addLast({1, 0});
        points.addLast({1, 1});
        points.addLast({0, 1});
        return true;
    }
    // Four runs, one per side of the square, with run lengths that add up to n.
    const uint32_t a = (n + 1) / 4, b = (n + 1) / 2 - a, c = (3 * n + 3) / 4 - (n + 1) / 2, d = n - (3 * n + 3) / 4;
    for (uint32_t i = 0; i < a; ++i) points.addLast({float(i) / float(a), 0.0f});
    for (uint32_t i = 0; i < b; ++i) points.addLast({1.0f, float(i) / float(b)});
    for (uint32_t i = 0; i < c; ++i) points.addLast({1.0f - float(i) / float(c), 1.0f});
    for (uint32_t i = 0; i < d; ++i) points.addLast({0.0f, 1.0f - float(i) / float(d)});
    return true;
}

namespace {

// Projects the corners onto the face plane (Newell normal; u along the first side of useful
// length) and scales the projection into the unit square: uniformly when `keepAspect`, else each
// axis on its own. Answers false, leaving uvs empty, when the corners span no area.
bool projectFaceUVs(const T3dFltPointArray& positions, TfltPointArray& uvs, bool keepAspect) {
    uvs.clear();
    const uint32_t n = positions.size();
    if (n < 3) return false;
    T3dDblVector normal = newellNormal(positions.data(), n);
    const double nl = length(normal);
    if (nl < 1e-10) return false;
    normal = normal * (1 / nl);
    T3dDblVector u;
    for (uint32_t i = 1; i < n; ++i) {
        const T3dDblVector d(positions[i] - positions[0]);
        u = d - normal * dot(d, normal);
        const double ul = length(u);
        if (ul > 1e-10) {
            u = u * (1 / ul);
            break;
        }
    }
    const T3dDblVector v = cross(normal, u);
    double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
    for (uint32_t i = 0; i < n; ++i) {
        const T3dFltPoint d = positions[i] - positions[0];
        const double uv[2] = {dot(d, u), dot(d, v)};
        for (int k = 0; k < 2; ++k) lo[k] = std::min(lo[k], uv[k]), hi[k] = std::max(hi[k], uv[k]);
        uvs.addLast({float(uv[0]), float(uv[1])});
    }
    double scale[2] = {hi[0] - lo[0], hi[1] - lo[1]};
    if (keepAspect) scale[0] = scale[1] = std::max(scale[0], scale[1]);
    if (scale[0] < 1e-10 || scale[1] < 1e-10) {
        uvs.clear();
        return false;
    }
    for (uint32_t i = 0; i < n; ++i)
        uvs[i] = {float((uvs[i].u - lo[0]) / scale[0]), float((uvs[i].v - lo[1]) / scale[1])};
    return true;
}

bool createFaceUVs(const T3dFltPointArray& positions, TfltPointArray& uvs, bool keepAspect) {
    return projectFaceUVs(positions, uvs, keepAspect) ||
           TmidBody::generateNormalizedUVs(uvs, TfltPoint{}, TfltPoint{1, 1}, positions.size());
}

}  // namespace

bool TmidBody::createUnitizedUVs(const T3dFltPointArray& positions, TfltPointArray& uvs) {
    return createFaceUVs(positions, uvs, true);
}

bool TmidBody::createNormalizedUVs(const T3dFltPointArray& positions, TfltPointArray& uvs) {
    return createFaceUVs(positions, uvs, false);
}
