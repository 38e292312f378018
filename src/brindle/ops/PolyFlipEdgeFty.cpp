#include "brindle/ops/PolyFlipEdgeFty.h"

#include <algorithm>
#include <cmath>

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyFlipEdgeFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(TpolyFlipEdgeFty::sMetaclass, {BRINDLE_MODIFIER_PARAM(TpolyFlipEdgeFty, NbEdges)});

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

T4dFltVector triangleNormal(const TpolyGeom& geom, const TflipSide& s) {
    const T3dFltPoint& a = geom.vertexConst(geom.getStartVertex(s.at[0]));
    const T3dFltPoint& b = geom.vertexConst(geom.getStartVertex(s.at[1]));
    const T3dFltPoint& c = geom.vertexConst(geom.getStartVertex(s.at[2]));
    T4dFltVector n;
    n.setToCrossProduct(T4dFltVector(b.x - a.x, b.y - a.y, b.z - a.z), T4dFltVector(c.x - a.x, c.y - a.y, c.z - a.z));
    n.normalize();
    return n;
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
}  // namespace

int TpolyFlipEdgeFty::isFlippable(TpolyGeom* geom, int edge) {
    if (edge < 0 || uint32_t(edge) >= geom->nbEdge()) return kOutOfRange;
    const TpolyWingEdge& w = geom->getEdgeFace(uint32_t(edge));
    const uint32_t f1 = w.side[kLeft], f2 = w.side[kRight];
    if (!TpolyTopo::isSingleFace(f1) || !TpolyTopo::isSingleFace(f2) || f1 == f2) return kNotTwoFaces;
    if (geom->faceOrder(f1) != 1 || geom->faceOrder(f2) != 1) return kHoledFace;
    if (geom->faceVertexCount(f1) != 3 || geom->faceVertexCount(f2) != 3) return kNotTriangles;
    const int32_t uvSet = geom->getCurrentMap();
    if (uvSet >= 0 && uint32_t(uvSet) < geom->nbMapSet()) {
        // f1 runs a -> b over the edge, f2 b -> a: corner 0 of one meets corner 1 of the other.
        const TflipSide s1 = sideOf(*geom, f1, uint32_t(edge)), s2 = sideOf(*geom, f2, uint32_t(edge));
        const uint32_t s = uint32_t(uvSet);
        if (geom->getUVId(s1.at[0], s) != geom->getUVId(s2.at[1], s) ||
            geom->getUVId(s1.at[1], s) != geom->getUVId(s2.at[0], s))
            return kUVSeam;
    }
    if (!isQuadPlanar(geom, edge)) return kFlippable;
    return willFlipEdgeIntersect(geom, edge) ? kFlippable : kConcaveQuad;
}

bool TpolyFlipEdgeFty::isQuadPlanar(TpolyGeom* geom, int edge) {
    const TpolyWingEdge& w = geom->getEdgeFace(uint32_t(edge));
    const T4dFltVector a = triangleNormal(*geom, sideOf(*geom, w.side[kLeft], uint32_t(edge)));
    const T4dFltVector b = triangleNormal(*geom, sideOf(*geom, w.side[kRight], uint32_t(edge)));
    T4dFltVector c;
    c.setToCrossProduct(a, b);
    return c.zeroLength(1e-5f);
}

bool TpolyFlipEdgeFty::willFlipEdgeIntersect(TpolyGeom* geom, int edge) {
    const TpolyWingEdge& w = geom->getEdgeFace(uint32_t(edge));
    const TflipSide s1 = sideOf(*geom, w.side[kLeft], uint32_t(edge)), s2 = sideOf(*geom, w.side[kRight], uint32_t(edge));
    const T3dFltPoint q[4] = {geom->vertexConst(geom->getStartVertex(s1.at[0])),
                              geom->vertexConst(geom->getStartVertex(s1.at[2])),
                              geom->vertexConst(geom->getStartVertex(s1.at[1])),
                              geom->vertexConst(geom->getStartVertex(s2.at[2]))};
    // Convex when every turn has the same strict sense about the quadrilateral's Newell normal.
    T4dFltVector normal;
    for (int i = 0; i < 4; ++i) {
        const T3dFltPoint &p = q[i], &r = q[(i + 1) % 4];
        normal.x += (p.y - r.y) * (p.z + r.z);
        normal.y += (p.z - r.z) * (p.x + r.x);
        normal.z += (p.x - r.x) * (p.y + r.y);
    }
    for (int i = 0; i < 4; ++i) {
        const T3dFltPoint &p = q[i], &r = q[(i + 1) % 4], &t = q[(i + 2) % 4];
        T4dFltVector turn;
        turn.setToCrossProduct(T4dFltVector(r.x - p.x, r.y - p.y, r.z - p.z), T4dFltVector(t.x - r.x, t.y - r.y, t.z - r.z));
        if (!(turn.dot(normal) > 0)) return false;
    }
    return true;
}

void TpolyFlipEdgeFty::flipEdge(TpolyGeom* geom, int edge) {
    const uint32_t e = uint32_t(edge);
    const TpolyWingEdge w = geom->getEdgeFace(e);
    // f1 = (a, b, c) using e forward, f2 = (b, a, d) using it reversed; they become (a, d, c) and
    // (b, c, d): f1 gives up its corner b and the edge b-c to f2, f2 its corner a and the edge
    // a-d to f1, and e joins c to d.
    const TflipSide s1 = sideOf(*geom, w.side[kLeft], e), s2 = sideOf(*geom, w.side[kRight], e);
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

int TpolyFlipEdgeFty::flipSingleEdge(TpolyGeom* geom, int edge) {
    if (isFlippable(geom, edge) == kFlippable) flipEdge(geom, edge);
    return 0;
}

int TpolyFlipEdgeFty::action(TmidBody* body, TmidComponent*) {
    TpolyGeom* geom = body ? body->polyGeom() : nullptr;
    const uint32_t n = fNbEdges > 0 ? std::min(uint32_t(fNbEdges), fEdges.size()) : 0;
    if (!geom || n == 0) return -1;
    // Flips keep the face offsets and patch the edge-to-face table, so the tests of later edges
    // read an up-to-date table without a recomputation per flip.
    geom->update(dirtyFaceOffsets | dirtyEdgeToFace);
    for (uint32_t i = 0; i < n; ++i) flipSingleEdge(geom, fEdges[i]);
    geom->markDirty(dirtyAll);
    return 0;
}
