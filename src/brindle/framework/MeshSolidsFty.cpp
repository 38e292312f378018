#include "brindle/framework/MeshSolidsFty.h"

#include <cmath>
#include <limits>
#include <utility>

#include "brindle/base/VectorMath.h"
#include "brindle/framework/MidBody.h"
#include "brindle/framework/PolyBuilder.h"
#include "brindle/geom/PolyGeom.h"

namespace {

constexpr uint32_t kIcoVertices = 12;
constexpr uint32_t kIcoFaces = 20;
constexpr float kPhi = 1.618034f;

const float kIcoPoints[kIcoVertices][3] = {{-1, kPhi, 0}, {1, kPhi, 0}, {-1, -kPhi, 0}, {1, -kPhi, 0},
                                           {0, -1, kPhi}, {0, 1, kPhi}, {0, -1, -kPhi}, {0, 1, -kPhi},
                                           {kPhi, 0, -1}, {kPhi, 0, 1}, {-kPhi, 0, -1}, {-kPhi, 0, 1}};
// Wound counter-clockwise seen from outside.
const int32_t kIcoTriangles[kIcoFaces][3] = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                             {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                             {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                             {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};

// The five triangles round icosahedron vertex v, counter-clockwise seen from outside: triangle
// fan[k] runs v -> next[k] -> next[k + 1].
void icoFan(int32_t v, int32_t fan[5], int32_t next[5]) {
    int32_t after[kIcoFaces], count = 0;
    int32_t first = -1;
    for (uint32_t f = 0; f < kIcoFaces; ++f) {
        after[f] = -1;
        for (int k = 0; k < 3; ++k)
            if (kIcoTriangles[f][k] == v) {
                after[f] = kIcoTriangles[f][(k + 1) % 3];
                if (first < 0) first = int32_t(f);
            }
    }
    int32_t f = first;
    while (count < 5) {
        fan[count] = f;
        next[count++] = after[f];
        int32_t k = 0;
        while (kIcoTriangles[f][k] != v) ++k;
        const int32_t c = kIcoTriangles[f][(k + 2) % 3];
        for (uint32_t g = 0; g < kIcoFaces; ++g)
            if (after[g] == c) f = int32_t(g);
    }
}

}  // namespace

void TmeshSolidsFty::addVtx(float x, float y, float z) { fPoints.addLast(T4dFltPoint{x, y, z, 1.0f}); }

void TmeshSolidsFty::addFace(uint32_t n, const int32_t* ids) {
    fFaceSizes.addLast(int32_t(n));
    fFaceVertices.append(ids, n);
}

void TmeshSolidsFty::buildTetrahedron() {
    addVtx(1, 1, 1);
    addVtx(1, -1, -1);
    addVtx(-1, 1, -1);
    addVtx(-1, -1, 1);
    const int32_t faces[4][3] = {{0, 1, 2}, {0, 3, 1}, {0, 2, 3}, {1, 3, 2}};
    for (const auto& f : faces) addFace(3, f);
}

void TmeshSolidsFty::buildOctahedron() {
    for (int axis = 0; axis < 3; ++axis)
        for (float s : {1.0f, -1.0f}) addVtx(axis == 0 ? s : 0, axis == 1 ? s : 0, axis == 2 ? s : 0);
    // Vertex 2a is +axis a, 2a + 1 is -axis a; one face per octant, wound by buildMesh.
    for (int32_t x = 0; x < 2; ++x)
        for (int32_t y = 2; y < 4; ++y)
            for (int32_t z = 4; z < 6; ++z) {
                const int32_t f[3] = {x, y, z};
                addFace(3, f);
            }
}

void TmeshSolidsFty::buildIcosahedron() {
    for (const auto& p : kIcoPoints) addVtx(p[0], p[1], p[2]);
    for (const auto& t : kIcoTriangles) addFace(3, t);
}

// The dual of the icosahedron: a vertex at the centre of each triangle, a pentagon round each
// icosahedron vertex.
void TmeshSolidsFty::buildDodecahedron() {
    for (const auto& t : kIcoTriangles) {
        float c[3] = {0, 0, 0};
        for (int k = 0; k < 3; ++k)
            for (int i = 0; i < 3; ++i) c[i] += kIcoPoints[t[k]][i] / 3;
        addVtx(c[0], c[1], c[2]);
    }
    for (int32_t v = 0; v < int32_t(kIcoVertices); ++v) {
        int32_t fan[5], next[5];
        icoFan(v, fan, next);
        addFace(5, fan);
    }
}

// The icosahedron with each vertex cut off at a third of its edges: each edge (a, b), numbered in
// order of first appearance, gives vertex 2e near its lower end and 2e + 1 near its upper end; each
// icosahedron vertex leaves a pentagon and each triangle a hexagon.
void TmeshSolidsFty::buildTruncatedIcosahedron() {
    int32_t edge[kIcoVertices][kIcoVertices];
    for (auto& row : edge)
        for (int32_t& e : row) e = -1;
    int32_t nEdge = 0;
    for (const auto& t : kIcoTriangles)
        for (int k = 0; k < 3; ++k) {
            const int32_t a = t[k], b = t[(k + 1) % 3];
            if (edge[a][b] >= 0) continue;
            edge[a][b] = edge[b][a] = nEdge++;
            const int32_t lo = a < b ? a : b, hi = a < b ? b : a;
            for (const auto& [from, to] : {std::pair{lo, hi}, std::pair{hi, lo}}) {
                const float* p = kIcoPoints[from];
                const float* q = kIcoPoints[to];
                addVtx(p[0] + (q[0] - p[0]) / 3, p[1] + (q[1] - p[1]) / 3, p[2] + (q[2] - p[2]) / 3);
            }
        }
    auto near = [&edge](int32_t from, int32_t to) { return 2 * edge[from][to] + (from < to ? 0 : 1); };
    for (int32_t v = 0; v < int32_t(kIcoVertices); ++v) {
        int32_t fan[5], next[5], ids[5];
        icoFan(v, fan, next);
        for (int k = 0; k < 5; ++k) ids[k] = near(v, next[k]);
        addFace(5, ids);
    }
    for (const auto& t : kIcoTriangles) {
        const int32_t ids[6] = {near(t[0], t[1]), near(t[1], t[0]), near(t[1], t[2]),
                                near(t[2], t[1]), near(t[2], t[0]), near(t[0], t[2])};
        addFace(6, ids);
    }
}

// Every face is wound so that its normal (Newell's, from the corner positions) points away from the
// centre, which holds for any convex solid centred on the origin.
std::unique_ptr<TpolyGeom> TmeshSolidsFty::buildMesh() const {
    auto geom = std::make_unique<TpolyGeom>();
    TpolyGeom& g = *geom;
    uint32_t s;
    createUVSet(g, s, true);
    g.vertexBuffer(fPoints.size());
    for (const T4dFltPoint& p : fPoints) g.appendVertex(p.x, p.y, p.z);
    g.loopEdgeBuffer(fFaceVertices.size());
    TpolyVertexBuilder builder(&g);
    int32_t corners[6];
    uint32_t at = 0;
    for (int32_t size : fFaceSizes) {
        const uint32_t n = uint32_t(size);
        const int32_t* ids = fFaceVertices.data() + at;
        at += n;
        T3dDblVector normal, centre;
        for (uint32_t k = 0; k < n; ++k) {
            const T4dFltPoint& a = fPoints[uint32_t(ids[k])];
            addNewellSide(normal, a, fPoints[uint32_t(ids[(k + 1) % n])]);
            centre += T3dDblVector(a);
        }
        const bool inward = dot(normal, centre) < 0;
        for (uint32_t k = 0; k < n; ++k) corners[k] = inward ? ids[n - 1 - k] : ids[k];
        builder.createFace(n, corners, nullptr, false, s);
    }
    // The builder gives a record without UV sets a default one for the unmapped corners.
    if (s == kNoSet) g.maps()->clear();
    return geom;
}

// All vertices of these solids lie at one distance from the centre and all edges have one length,
// so one factor scales the unit shape to either size.
void TmeshSolidsFty::adjustToSolidParameters(TpolyGeom& geom) const {
    const T4dFltPoint& a = fPoints[uint32_t(fFaceVertices[0])];
    const T4dFltPoint& b = fPoints[uint32_t(fFaceVertices[1])];
    const float unitRadius = float(::length(a));
    const float factor = fLength > 0 ? fLength / float(distance(a, b)) : fRadius / unitRadius;
    for (uint32_t v = 0; v < geom.nbVertex(); ++v) {
        T3dFltPoint& p = geom.vertex(v);
        p.x *= factor;
        p.y *= factor;
        p.z *= factor;
    }
}

std::unique_ptr<TpolyGeom> TmeshSolidsFty::createSolid() {
    if (fRadius < 0 && !(fLength > 0)) return nullptr;
    // A size too small to keep the corners apart, or not finite, falls back to 1.
    const float maxSize = std::numeric_limits<float>::max();
    if (fLength > 0) {
        if (!(fLength >= 1e-5f && fLength <= maxSize)) setLength(1.0f);
    } else if (!(fRadius >= 1e-5f && fRadius <= maxSize)) {
        setRadius(1.0f);
    }
    fPoints.clear();
    fFaceSizes.clear();
    fFaceVertices.clear();
    switch (type()) {
        case kDodecahedron:
            buildDodecahedron();
            break;
        case kIcosahedron:
            buildIcosahedron();
            break;
        case kOctahedron:
            buildOctahedron();
            break;
        case kTetrahedron:
            buildTetrahedron();
            break;
        default:
            buildTruncatedIcosahedron();
            break;
    }
    auto geom = buildMesh();
    adjustToSolidParameters(*geom);
    geom->markDirty(dirtyAll);
    return geom;
}

void TmeshSolidsFty::build(TmidBody& body) {
    auto geom = createSolid();
    if (geom) body.setMidBody(geom.release());
}
