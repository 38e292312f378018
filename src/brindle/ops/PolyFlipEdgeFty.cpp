#include "brindle/ops/PolyFlipEdgeFty.h"

#include <algorithm>

#include "brindle/base/VectorMath.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyFlipEdgeFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(TpolyFlipEdgeFty::sMetaclass,
                                  {BRINDLE_MODIFIER_PARAM(TpolyFlipEdgeFty, NbEdges,
                                                          "how many entries of the edge list an action reads", 0)});

// The triangle of a flippable edge seen from the edge: the offsets of the entry using the edge
// and of the two after it, so that corner k is at vertex start(offset k).
struct TflipSide {
    uint32_t face, at[3];
};

TflipSide sideOf(const TpolyGeom& geom, uint32_t face, uint32_t edge) {
    TflipSide s{face, {}};
    const uint32_t first = geom.faceOffset(face);
    uint32_t k = 0;
    while (k < 2 && geom.getEdge(first + k) != edge) ++k;
    for (uint32_t i = 0; i < 3; ++i) s.at[i] = first + (k + i) % 3;
    return s;
}

// The quadrilateral of a flippable edge a -> b: a, the first face's third vertex c, b, the second
// face's third vertex d, in the first face's turning sense.
struct TflipQuad {
    TflipSide s1, s2;
    uint32_t c, d;
    T3dFltPoint q[4];
};

TflipQuad quadOf(const TpolyGeom& geom, uint32_t edge) {
    const TpolyWingEdge& w = geom.getEdgeFace(edge);
    TflipQuad quad{sideOf(geom, w.side[kLeft], edge), sideOf(geom, w.side[kRight], edge), 0, 0, {}};
    quad.c = geom.getStartVertex(quad.s1.at[2]);
    quad.d = geom.getStartVertex(quad.s2.at[2]);
    quad.q[0] = geom.vertexConst(geom.getStartVertex(quad.s1.at[0]));
    quad.q[1] = geom.vertexConst(quad.c);
    quad.q[2] = geom.vertexConst(geom.getStartVertex(quad.s1.at[1]));
    quad.q[3] = geom.vertexConst(quad.d);
    return quad;
}

T3dFltPoint crossOf(const T3dFltPoint& u, const T3dFltPoint& v) {
    return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}
float dotOf(const T3dFltPoint& u, const T3dFltPoint& v) { return u.x * v.x + u.y * v.y + u.z * v.z; }

// The unit normals of (a, b, c) and (b, a, d) are parallel: every component of their cross
// product within 1e-5, compared squared on the unnormalised normals so that no root is taken. A
// degenerate triangle (zero normal) counts as parallel; a NaN never does.
bool planar(const TflipQuad& quad) {
    const T3dFltPoint &a = quad.q[0], &c = quad.q[1], &b = quad.q[2], &d = quad.q[3];
    const T3dFltPoint n1 = crossOf(b - a, c - a), n2 = crossOf(a - b, d - b);
    const T3dFltPoint x = crossOf(n1, n2);
    const double bound = 1e-10 * double(dotOf(n1, n1)) * double(dotOf(n2, n2));
    return double(x.x) * x.x <= bound && double(x.y) * x.y <= bound && double(x.z) * x.z <= bound;
}

// Convex when every turn has the same strict sense about the quadrilateral's Newell normal.
bool convex(const TflipQuad& quad) {
    const T3dFltPoint* q = quad.q;
    const T3dDblVector normal = newellNormal(q, 4);
    for (int i = 0; i < 4; ++i)
        if (!(dot(crossOf(q[(i + 1) % 4] - q[i], q[(i + 2) % 4] - q[(i + 1) % 4]), normal) > 0)) return false;
    return true;
}

// Replaces face from by face to on one side of an edge, in its single word or its run.
void replaceFace(TpolyGeom& geom, uint32_t edge, uint32_t from, uint32_t to) {
    TpolyTopo& topo = *geom.topo();
    for (uint32_t s = 0; s < 2; ++s) {
        const uint32_t w = geom.getEdgeFace(edge).side[s];
        if (w == from) {
            geom.setSide(edge, Tside(s), to);
            return;
        }
        if (w == TpolyBits::kNoFace || TpolyTopo::isSingleFace(w)) continue;
        for (uint32_t i = w & TpolyTopo::kRunIndexMask;; ++i) {
            if (topo.getN2MFace(i) == from) {
                topo.setN2MFace(i, to);
                return;
            }
            if (topo.isEdgeEnd(i)) break;
        }
    }
}

// The reason code of the edge, with the quadrilateral filled in once the edge joins two triangles.
int classify(TpolyGeom* geom, int edge, TflipQuad& quad) {
    using F = TpolyFlipEdgeFty;
    if (edge < 0 || uint32_t(edge) >= geom->nbEdge()) return F::kOutOfRange;
    const TpolyWingEdge& w = geom->getEdgeFace(uint32_t(edge));
    const uint32_t f1 = w.side[kLeft], f2 = w.side[kRight];
    if (!TpolyTopo::isSingleFace(f1) || !TpolyTopo::isSingleFace(f2) || f1 == f2) return F::kNotTwoFaces;
    if (geom->faceOrder(f1) != 1 || geom->faceOrder(f2) != 1) return F::kHoledFace;
    if (geom->faceVertexCount(f1) != 3 || geom->faceVertexCount(f2) != 3) return F::kNotTriangles;
    quad = quadOf(*geom, uint32_t(edge));
    const int32_t uvSet = geom->getCurrentMap();
    if (uvSet >= 0 && uint32_t(uvSet) < geom->nbMapSet()) {
        // f1 runs a -> b over the edge, f2 b -> a: corner 0 of one meets corner 1 of the other.
        const uint32_t s = uint32_t(uvSet);
        if (geom->getUVId(quad.s1.at[0], s) != geom->getUVId(quad.s2.at[1], s) ||
            geom->getUVId(quad.s1.at[1], s) != geom->getUVId(quad.s2.at[0], s))
            return F::kUVSeam;
    }
    // Two triangles over the same three vertices have no quadrilateral: their flip would join a
    // vertex to itself, whatever their normals say (degenerate ones compare as not parallel).
    if (quad.c == quad.d) return F::kConcaveQuad;
    if (!planar(quad)) return F::kFlippable;
    return convex(quad) ? F::kFlippable : F::kConcaveQuad;
}

// f1 = (a, b, c) using e forward, f2 = (b, a, d) using it reversed; they become (a, d, c) and
// (b, c, d): f1 gives up its corner b and the edge b-c to f2, f2 its corner a and the edge a-d to
// f1, and e joins c to d.
void flipSides(TpolyGeom* geom, uint32_t e, const TflipSide& s1, const TflipSide& s2) {
    const uint32_t c = geom->getStartVertex(s1.at[2]), d = geom->getStartVertex(s2.at[2]);
    const uint32_t bc = geom->getFaceEdge(s1.at[1]), ca = geom->getFaceEdge(s1.at[2]);
    const uint32_t ad = geom->getFaceEdge(s2.at[1]), db = geom->getFaceEdge(s2.at[2]);
    constexpr uint32_t kEnds = TpolyBits::kEndOfFace | TpolyBits::kEndOfLoop;
    // New entries per face, each with the corner (offset) whose per-corner data it takes.
    const uint32_t entries1[3] = {ad, e | TpolyBits::kReversedUse, ca};
    const uint32_t from1[3] = {s1.at[0], s2.at[2], s1.at[2]};
    const uint32_t entries2[3] = {bc, e, db};
    const uint32_t from2[3] = {s2.at[0], s1.at[2], s2.at[2]};
    const uint32_t o1 = geom->faceOffset(s1.face), o2 = geom->faceOffset(s2.face);

    auto moveIds = [&](int32_t* ids, uint32_t count) {
        if (!ids || o1 + 3 > count || o2 + 3 > count) return;
        int32_t n1[3], n2[3];
        for (int k = 0; k < 3; ++k) n1[k] = ids[from1[k]], n2[k] = ids[from2[k]];
        for (int k = 0; k < 3; ++k) ids[o1 + k] = n1[k], ids[o2 + k] = n2[k];
    };
    for (uint32_t s = 0; s < geom->nbMapSet(); ++s) moveIds(geom->getUVIdArray(s), geom->nbUVRef(s));
    for (uint32_t s = 0; s < geom->nbColorSet(); ++s) moveIds(geom->getColorIdArray(s), geom->nbColorRef(s));
    moveIds(reinterpret_cast<int32_t*>(geom->normFaceData()), geom->nbNormalRef());
    for (uint32_t k = 0; k < 3; ++k) {
        geom->setFaceEdge(o1 + k, (geom->getFaceEdge(o1 + k) & kEnds) | (entries1[k] & ~kEnds));
        geom->setFaceEdge(o2 + k, (geom->getFaceEdge(o2 + k) & kEnds) | (entries2[k] & ~kEnds));
    }
    geom->setStart(e, c);
    geom->setEnd(e, d);
    // The edge-to-face table follows in place: e now runs c -> d in f2 and d -> c in f1, and
    // the two edges that changed faces keep their side.
    geom->setSide(e, kLeft, s2.face);
    geom->setSide(e, kRight, s1.face);
    replaceFace(*geom, ad & TpolyBits::kEdgeMask, s2.face, s1.face);
    replaceFace(*geom, bc & TpolyBits::kEdgeMask, s1.face, s2.face);
}

}  // namespace

int TpolyFlipEdgeFty::isFlippable(TpolyGeom* geom, int edge) {
    TflipQuad quad;
    return classify(geom, edge, quad);
}

bool TpolyFlipEdgeFty::isQuadPlanar(TpolyGeom* geom, int edge) { return planar(quadOf(*geom, uint32_t(edge))); }

bool TpolyFlipEdgeFty::willFlipEdgeIntersect(TpolyGeom* geom, int edge) {
    return convex(quadOf(*geom, uint32_t(edge)));
}

void TpolyFlipEdgeFty::flipEdge(TpolyGeom* geom, int edge) {
    const TpolyWingEdge& w = geom->getEdgeFace(uint32_t(edge));
    flipSides(geom, uint32_t(edge), sideOf(*geom, w.side[kLeft], uint32_t(edge)),
              sideOf(*geom, w.side[kRight], uint32_t(edge)));
}

int TpolyFlipEdgeFty::flipSingleEdge(TpolyGeom* geom, int edge) {
    // The sides found by the test serve the flip.
    TflipQuad quad;
    if (classify(geom, edge, quad) == kFlippable) flipSides(geom, uint32_t(edge), quad.s1, quad.s2);
    return 0;
}

int TpolyFlipEdgeFty::action(TmidBody* body, TmidComponent*) {
    TpolyGeom* geom = body ? body->polyGeom() : nullptr;
    const uint32_t n = fNbEdges > 0 ? std::min(uint32_t(fNbEdges), fEdges.size()) : 0;
    if (!geom || n == 0) return -1;
    // Flips keep the face offsets and patch the edge-to-face table, so the tests of later edges
    // read an up-to-date table without a recomputation per flip. Normal ids move with their
    // corners, so after the flips they still name each corner's old normal: that is how the
    // user normals find their new ids once the normal description is rebuilt.
    const bool userNormals = geom->hasUserNormals();
    geom->update(dirtyFaceOffsets | dirtyEdgeToFace);
    if (userNormals) geom->update(dirtyNormalTopo);
    for (uint32_t i = 0; i < n; ++i) flipSingleEdge(geom, fEdges[i]);
    TuInt32Array movedIds(256);
    if (userNormals) movedIds.copy(geom->norm()->fNormalIds);
    geom->markDirty(dirtyAll);
    if (userNormals) geom->endChangeSmoothing(movedIds);
    return 0;
}
