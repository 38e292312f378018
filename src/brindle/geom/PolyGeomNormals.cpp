// Face normals, the normal description and shading normals of the record.
// Keeps true while the matching dirty bits are clear: one face normal per face (the Newell vector
// of its outer loop, unit length after normalisation, zero for a face of no area); one normal id
// per corner, ids 0..n-1 numbered by first corner, corners sharing an id exactly when soft edges
// join their faces round the vertex; one shading normal per id, the normalised sum of the unit
// normals of its corners' faces, overridden or bent by the set user normals.

#include <algorithm>
#include <cmath>

#include "brindle/base/Alloca.h"
#include "brindle/base/VectorMath.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/geom/TopoIterators.h"

namespace {

// Shading normals depend on the user normals; both stages must run again after a change.
constexpr uint32_t kUserNormalsChanged = dirtyVertexNormals | dirtyVertexNormalize | dirtyDisplay;

// Faces that have a description (the face counter may run ahead of the end-of-face bits).
uint32_t describedFaces(const TpolyGeom& g) {
    const TuInt32Array& offsets = g.faceOffsetArray();
    return std::min(g.nbFace(), offsets.empty() ? 0u : offsets.size() - 1);
}

// Scales p to unit length in double precision. A vector already of unit length to within float
// rounding is left as it is, so that normals read back from a file and normalised again keep
// their last bits however often they go round. A zero vector stays zero.
void normalizeInPlace(T3dFltPoint& p) {
    constexpr double kUnitTolerance = 4.0 * 0x1p-24;
    const double l2 = dot(p, p);
    if (!(l2 > 0) || std::abs(l2 - 1.0) <= kUnitTolerance) return;
    p = (T3dDblVector(p) * (1.0 / std::sqrt(l2))).point();
}

// Union-find root: parents are never above their index, so the root is the class's smallest
// corner. Path halving keeps that true and bounds the walks on high-valence vertices.
uint32_t findRoot(uint32_t* parent, uint32_t k) {
    while (parent[k] < k) {
        parent[k] = parent[parent[k]];
        k = parent[k];
    }
    return k;
}

void unite(uint32_t* parent, uint32_t a, uint32_t b) {
    a = findRoot(parent, a);
    b = findRoot(parent, b);
    if (a < b)
        parent[b] = a;
    else if (b < a)
        parent[a] = b;
}

}  // namespace

namespace {

// Each side's products are formed in double precision and the running sum is stored in single
// precision after each step, which leaves rounding behind where the terms cancel. A sum kept in
// double beside it tells the loops of no area (collinear or coincident corners, for which it is
// exactly zero): their vector is zero rather than that leftover, which normalising would blow up
// to a unit normal. A corner without a valid edge or vertex gives the zero vector.
T4dFltVector loopVector(const TpolyTopo& t, const T3dFltPointArray& vertices, uint32_t offset) {
    const uint32_t* desc = t.fFaceDesc.data();
    const TpolyEdge* edges = t.fEdges.data();
    const T3dFltPoint* points = vertices.data();
    const uint32_t n = t.fFaceDesc.size(), nEdge = t.fEdges.size(), nVertex = vertices.size();
    auto corner = [&](uint32_t o) -> const T3dFltPoint* {
        const uint32_t e = desc[o] & TpolyBits::kEdgeMask;
        if (e >= nEdge) return nullptr;
        const uint32_t v = edges[e].v[desc[o] >> 31] & TpolyBits::kVertexMask;
        return v < nVertex ? points + v : nullptr;
    };
    const T3dFltPoint* first = offset < n ? corner(offset) : nullptr;
    if (!first) return T4dFltVector();
    float x = 0, y = 0, z = 0;
    T3dDblVector exact;
    const T3dFltPoint* p = first;
    for (uint32_t o = offset;; ++o) {
        const bool last = (desc[o] & TpolyBits::kEndOfLoop) || o + 1 == n;
        const T3dFltPoint* q = last ? first : corner(o + 1);
        if (!q) return T4dFltVector();
        T3dDblVector side;
        addNewellSide(side, *p, *q);
        x = static_cast<float>(x + side.x);
        y = static_cast<float>(y + side.y);
        z = static_cast<float>(z + side.z);
        exact += side;
        if (last) break;
        p = q;
    }
    if (exact.x == 0 && exact.y == 0 && exact.z == 0) return T4dFltVector();
    return T4dFltVector(x, y, z);
}

}  // namespace

T4dFltVector TpolyGeom::computeLoopVector(uint32_t offset) const {
    return loopVector(*fTopo, fVertex->fPoints, offset);
}

void TpolyGeom::computeFaceVectors() {
    update(dirtyFaceOffsets);
    const uint32_t nFace = nbFace(), described = describedFaces(*this);
    T3dFltPointArray& normals = fNorm->fFaceNormals;
    normals.changeLogicalSizeTo(nFace);
    const uint32_t* offsets = fTopo->fFaceOffsets.data();
    for (uint32_t f = 0; f < nFace; ++f) {
        const T4dFltVector v = f < described && offsets[f + 1] > offsets[f]
                                   ? loopVector(*fTopo, fVertex->fPoints, offsets[f])
                                   : T4dFltVector();
        normals[f] = T3dFltPoint(v.x, v.y, v.z);
    }
    markClean(dirtyFaceVectors);
}

void TpolyGeom::normalizeFaceVectors() {
    update(dirtyFaceVectors);
    for (T3dFltPoint& n : fNorm->fFaceNormals) normalizeInPlace(n);
    markClean(dirtyFaceNormalize);
}

// The classes are the connected parts of the graph whose links join, across each soft edge, the
// corners of its faces at its start and at its end. With roots always the smallest member the
// result does not depend on the order the links are made in, so the common edge (one face on each
// side, two different faces) is linked from its left face's corner in one sweep over the
// description, and only the unusual ones (a face on both sides, sides of several faces) take the
// walk round their faces.
void TpolyGeom::computeVertexNormalTopo() {
    update(dirtyFaceOffsets | dirtyEdgeToFace);
    const uint32_t n = faceDescLength(), described = describedFaces(*this), nEdge = nbEdge();
    TuInt32Array& ids = fNorm->fNormalIds;
    ids.changeLogicalSizeTo(n);  // every entry is written next: no need to clear first
    uint32_t* parent = ids.data();
    for (uint32_t k = 0; k < n; ++k) parent[k] = k;

    const uint32_t* desc = fTopo->fFaceDesc.data();
    const uint32_t* offsets = fTopo->fFaceOffsets.data();
    const TpolyEdge* edges = fTopo->fEdges.data();
    const TpolyWingEdge* wings = fTopo->fEdgeToFace.data();
    // The first entry of edge e in face f and the entry after it in its loop; false when f lacks e.
    auto findUse = [&](uint32_t f, uint32_t e, uint32_t& at, uint32_t& next) {
        const uint32_t begin = offsets[f], end = offsets[f + 1];
        for (uint32_t o = begin, loop = begin; o < end; ++o) {
            if ((desc[o] & TpolyBits::kEdgeMask) == e) {
                at = o;
                next = (desc[o] & TpolyBits::kEndOfLoop) || o + 1 >= end ? loop : o + 1;
                return true;
            }
            if (desc[o] & TpolyBits::kEndOfLoop) loop = o + 1;
        }
        return false;
    };
    auto twoFaces = [&](const TpolyWingEdge& w) {
        return TpolyTopo::isSingleFace(w.side[0]) && TpolyTopo::isSingleFace(w.side[1]) && w.side[0] != w.side[1] &&
               w.side[0] < described && w.side[1] < described;
    };

    // The reversed use of every edge and the entry after it in its loop, listed in one pass over
    // the faces: an edge with one face on each side has exactly one, which is then the use that
    // findUse would find in its right face.
    Talloca scratch;
    uint32_t* reversedUse = scratch.allocateArray<uint32_t>(2 * size_t(nEdge));
    for (uint32_t f = 0; f < described; ++f)
        for (uint32_t o = offsets[f], end = offsets[f + 1], loop = o; o < end; ++o) {
            const uint32_t entry = desc[o], e = entry & TpolyBits::kEdgeMask;
            const uint32_t next = (entry & TpolyBits::kEndOfLoop) || o + 1 >= end ? loop : o + 1;
            if (entry & TpolyBits::kEndOfLoop) loop = o + 1;
            if (!(entry & TpolyBits::kReversedUse) || e >= nEdge) continue;
            reversedUse[2 * size_t(e)] = o;
            reversedUse[2 * size_t(e) + 1] = next;
        }
    for (uint32_t f = 0; f < described; ++f)
        for (uint32_t o = offsets[f], end = offsets[f + 1], loop = o; o < end; ++o) {
            const uint32_t entry = desc[o], e = entry & TpolyBits::kEdgeMask;
            const uint32_t next = (entry & TpolyBits::kEndOfLoop) || o + 1 >= end ? loop : o + 1;
            if (entry & TpolyBits::kEndOfLoop) loop = o + 1;
            if ((entry & TpolyBits::kReversedUse) || e >= nEdge || edges[e].isHard() || !twoFaces(wings[e])) continue;
            // o is the only forward use of e; the right face uses it once, reversed.
            unite(parent, o, reversedUse[2 * size_t(e) + 1]);
            unite(parent, next, reversedUse[2 * size_t(e)]);
        }

    TedgeFaceIterator faces(this);
    for (uint32_t e = nEdge; e-- > 0;) {
        const TpolyWingEdge& w = wings[e];
        const bool borderOfOne = (w.side[0] == TpolyBits::kNoFace && !(w.side[1] & TpolyTopo::kNonManifold)) ||
                                 (w.side[1] == TpolyBits::kNoFace && !(w.side[0] & TpolyTopo::kNonManifold));
        if (edges[e].isHard() || twoFaces(w) || borderOfOne) continue;
        uint32_t refStart = TpolyBits::kNoId, refEnd = TpolyBits::kNoId;
        for (uint32_t f = faces.reset(e); !faces.isDone(); f = faces.next()) {
            uint32_t at = 0, next = 0;
            if (f >= described || !findUse(f, e, at, next)) continue;
            const bool reversed = desc[at] & TpolyBits::kReversedUse;
            const uint32_t atStart = reversed ? next : at, atEnd = reversed ? at : next;
            if (refStart == TpolyBits::kNoId) {
                refStart = atStart;
                refEnd = atEnd;
                continue;
            }
            unite(parent, atStart, refStart);
            unite(parent, atEnd, refEnd);
        }
    }
    // Parents lie below their corners, so in offset order every parent already holds its final id.
    uint32_t count = 0;
    for (uint32_t k = 0; k < n; ++k) parent[k] = parent[k] < k ? parent[parent[k]] : count++;
    fNorm->fVertexNormals.changeLogicalSizeTo(count);
    markClean(dirtyNormalTopo);
}

void TpolyGeom::computeVertexNormals() {
    update(dirtyNormalTopo | dirtyFaceNormalize);
    T3dFltPoint* sums = fNorm->fVertexNormals.data();
    const uint32_t nNormal = fNorm->fVertexNormals.size();
    for (uint32_t i = 0; i < nNormal; ++i) sums[i] = T3dFltPoint();
    const uint32_t* ids = fNorm->fNormalIds.data();
    const uint32_t nIds = fNorm->fNormalIds.size();
    const T3dFltPoint* faceNormals = fNorm->fFaceNormals.data();
    const uint32_t described = std::min(describedFaces(*this), fNorm->fFaceNormals.size());
    const uint32_t* offsets = fTopo->fFaceOffsets.data();
    for (uint32_t f = 0; f < described; ++f) {
        const T3dFltPoint& fn = faceNormals[f];
        for (uint32_t k = offsets[f], end = std::min(offsets[f + 1], nIds); k < end; ++k) {
            T3dFltPoint& s = sums[ids[k]];
            s.x += fn.x;
            s.y += fn.y;
            s.z += fn.z;
        }
    }
    markClean(dirtyVertexNormals);
}

void TpolyGeom::normalizeVertexNormals() {
    update(dirtyVertexNormals);
    for (T3dFltPoint& n : fNorm->fVertexNormals) normalizeInPlace(n);
    if (hasUserNormals()) fNorm->updateUserNormals();
    markClean(dirtyVertexNormalize);
}

void TpolyNorm::updateUserNormals() {
    if (fUserNormalMode != kUserReplaces && fUserNormalMode != kUserAdds) return;
    for (uint32_t id = std::min(fUserNormals.size(), fVertexNormals.size()); id-- > 0;) {
        const T4dFltVector& u = fUserNormals[id];
        if (!isSet(u)) continue;
        T3dFltPoint& n = fVertexNormals[id];
        n = fUserNormalMode == kUserReplaces ? T3dFltPoint(u.x, u.y, u.z)
                                             : T3dFltPoint(n.x + u.x, n.y + u.y, n.z + u.z);
        normalizeInPlace(n);
    }
}

void TpolyGeom::setUserNormal(uint32_t id, const T4dFltVector& n) {
    fNorm->buildUserNormalBuffer(id + 1);
    fNorm->fUserNormals[id] = n;
    markDirty(kUserNormalsChanged);
}

void TpolyGeom::resetUserNormal(uint32_t id) {
    if (id >= fNorm->fUserNormals.size()) return;
    fNorm->fUserNormals[id] = TpolyNorm::unset();
    markDirty(kUserNormalsChanged);
}

void TpolyGeom::setUserNormalMode(TpolyNorm::TuserNormalMode mode) {
    fNorm->fUserNormalMode = mode;
    markDirty(kUserNormalsChanged);
}

void TpolyGeom::freezeNormals() {
    update(dirtyVertexNormals);
    const uint32_t nNormal = fNorm->fVertexNormals.size();
    fNorm->buildUserNormalBuffer(nNormal);
    fNorm->fUserNormalMode = TpolyNorm::kUserReplaces;
    for (uint32_t id = 0; id < nNormal; ++id) {
        T4dFltVector& u = fNorm->fUserNormals[id];
        if (TpolyNorm::isSet(u)) continue;
        const T3dFltPoint& n = fNorm->fVertexNormals[id];
        u = T4dFltVector(n.x, n.y, n.z);
    }
    markDirty(kUserNormalsChanged);
}

void TpolyGeom::startChangeSmoothing(TuInt32Array& saved) {
    saved.clear();
    if (!hasUserNormals()) return;
    update(dirtyNormalTopo);
    saved.copy(fNorm->fNormalIds);
}

void TpolyGeom::endChangeSmoothing(const TuInt32Array& saved) {
    if (!hasUserNormals()) return;
    update(dirtyNormalTopo);
    fNorm->reorderUserNormals(saved);
    markDirty(kUserNormalsChanged);
}

// From the last corner to the first, so that the first corner of a new id decides its normal.
void TpolyNorm::reorderUserNormals(const TuInt32Array& savedIds) {
    T4dFltVectorArray old;
    old.swap(fUserNormals);
    fUserNormals.setSizeIncrement(old.sizeIncrement());
    buildUserNormalBuffer(fVertexNormals.size());
    for (uint32_t k = std::min(savedIds.size(), fNormalIds.size()); k-- > 0;)
        if (savedIds[k] < old.size() && fNormalIds[k] < fUserNormals.size())
            fUserNormals[fNormalIds[k]] = old[savedIds[k]];
}

void TpolyGeom::loadUserNormal(const T4dFltVectorArray& in) {
    fNorm->fUserNormals.copy(in);
    markDirty(kUserNormalsChanged);
}

void TpolyGeom::transformUserNormal(const T4dFltMatrix& m) {
    if (!hasUserNormals()) return;
    const T4dFltMatrix normalMatrix = m.convertForNormals();
    for (T4dFltVector& u : fNorm->fUserNormals)
        if (TpolyNorm::isSet(u)) u = normalMatrix.transformVector(T4dFltVector(u.x, u.y, u.z));
    markDirty(kUserNormalsChanged);
}

void TpolyGeom::mergeUserNormal(const TpolyGeom& other) {
    const TpolyNorm& theirs = *other.fNorm;
    fNorm->buildUserNormalBuffer(theirs.fVertexNormals.size());
    const uint32_t n = std::min(theirs.fUserNormals.size(), fNorm->fUserNormals.size());
    for (uint32_t id = 0; id < n; ++id)
        if (!TpolyNorm::isSet(fNorm->fUserNormals[id])) fNorm->fUserNormals[id] = theirs.fUserNormals[id];
    markDirty(kUserNormalsChanged);
}

uint32_t TpolyGeom::getUserNormalRelatedVertexFlags(TbitFieldFixedN& bits) const {
    const uint32_t nVertex = nbVertex(), n = std::min(fNorm->fNormalIds.size(), faceDescLength());
    bits.resizeArray(nVertex);
    bits.resetAll();
    uint32_t count = 0;
    for (uint32_t o = 0; o < n; ++o) {
        if (!fNorm->getValidUserNormal(fNorm->fNormalIds[o]) || getEdge(o) >= nbEdge()) continue;
        const uint32_t v = getStartVertex(o);
        if (v >= nVertex || bits.testBit(v)) continue;
        bits.setBit(v);
        ++count;
    }
    return count;
}

bool TpolyGeom::computeLoopNormal(uint32_t offset, T4dFltVector& out) const {
    out = computeLoopVector(offset);
    if (out.normalize()) return true;
    out = T4dFltVector();
    return false;
}

namespace {

// Interior angle at b of the corner a -> b -> c: 0 for a zero-length edge, pi for a fold-back.
double cornerAngle(const T3dFltPoint& a, const T3dFltPoint& b, const T3dFltPoint& c) {
    const double ux = double(b.x) - a.x, uy = double(b.y) - a.y, uz = double(b.z) - a.z;
    const double wx = double(c.x) - b.x, wy = double(c.y) - b.y, wz = double(c.z) - b.z;
    const double lengths = (ux * ux + uy * uy + uz * uz) * (wx * wx + wy * wy + wz * wz);
    if (lengths == 0) return 0;
    const double cosine = -(ux * wx + uy * wy + uz * wz) / std::sqrt(lengths);
    if (cosine >= 1) return 0;
    if (cosine <= -1) return kPi;
    return std::acos(cosine);
}

bool finishNormal(T4dFltVector& sum, T4dFltVector& out) {
    out = sum;
    if (out.normalize()) return true;
    out = T4dFltVector();
    return false;
}

}  // namespace

// Each corner at v is the use of one edge at v leaving it, so the faces on the leaving side of
// every edge of v's walk visit each corner once.
bool TpolyGeom::computeGeomVertexNormal(uint32_t v, T4dFltVector& out) {
    update(dirtyFaceNormalize | dirtyVertexToEdge);
    T4dFltVector sum;
    const uint32_t* desc = fTopo->fFaceDesc.data();
    const uint32_t described = std::min(describedFaces(*this), fNorm->fFaceNormals.size());
    TedgeFaceIterator faces(this);
    for (TvertexEdgeIterator ring(this, v); !ring.isDone(); ring.next()) {
        const uint32_t e = ring.edge(), want = e | (uint32_t(ring.direction()) << 31);
        for (uint32_t f = faces.reset(e, Tside(ring.direction())); !faces.isDone(); f = faces.next()) {
            if (f >= described) continue;
            const uint32_t begin = faceOffset(f), end = faceOffset(f + 1);
            for (uint32_t o = begin, loop = begin; o < end; ++o) {
                if ((desc[o] & (TpolyBits::kEdgeMask | TpolyBits::kReversedUse)) == want) {
                    uint32_t prev = o - 1;
                    if (o == loop)
                        for (prev = o; prev + 1 < end && !endOfLoop(prev);) ++prev;
                    const uint32_t a = getStartVertex(prev), c = getEndVertex(o);
                    if (a >= nbVertex() || c >= nbVertex() || v >= nbVertex()) break;
                    const float w = float(cornerAngle(vertexConst(a), vertexConst(v), vertexConst(c)));
                    const T3dFltPoint& n = fNorm->fFaceNormals[f];
                    sum.x += n.x * w;
                    sum.y += n.y * w;
                    sum.z += n.z * w;
                    break;
                }
                if (endOfLoop(o)) loop = o + 1;
            }
        }
    }
    return finishNormal(sum, out);
}

bool TpolyGeom::computeGeomEdgeNormal(uint32_t e, T4dFltVector& out) {
    update(dirtyFaceNormalize | dirtyEdgeToFace);
    T4dFltVector sum;
    const uint32_t described = std::min(describedFaces(*this), fNorm->fFaceNormals.size());
    for (TedgeFaceIterator faces(this, e); !faces.isDone(); faces.next()) {
        if (faces.face() >= described) continue;
        const T3dFltPoint& n = fNorm->fFaceNormals[faces.face()];
        sum.x += n.x;
        sum.y += n.y;
        sum.z += n.z;
    }
    return finishNormal(sum, out);
}

// Corner k and its successor in the loop meet at the oriented end vertex of k; that vertex gains
// the face's unit normal weighted by the face's interior angle there.
void TpolyGeom::cacheSurfaceNormals(bool force) {
    const uint32_t nVertex = nbVertex();
    T3dFltPointArray& cache = fNorm->fSurfaceNormals;
    if (!force && cache.size() == nVertex) return;
    update(dirtyFaceNormalize);
    cache.changeLogicalSizeTo(nVertex);
    for (T3dFltPoint& n : cache) n = T3dFltPoint();
    const uint32_t described = std::min(describedFaces(*this), fNorm->fFaceNormals.size());
    const uint32_t nEdge = nbEdge();
    for (uint32_t f = 0; f < described; ++f) {
        const uint32_t begin = faceOffset(f), end = faceOffset(f + 1);
        const T3dFltPoint& fn = fNorm->fFaceNormals[f];
        for (uint32_t k = begin, loop = begin; k < end; ++k) {
            const uint32_t next = endOfLoop(k) || k + 1 == end ? loop : k + 1;
            if (endOfLoop(k)) loop = k + 1;
            if (getEdge(k) >= nEdge || getEdge(next) >= nEdge) continue;
            const uint32_t a = getStartVertex(k), b = getEndVertex(k), c = getEndVertex(next);
            if (a >= nVertex || b >= nVertex || c >= nVertex) continue;
            const float w = float(cornerAngle(vertexConst(a), vertexConst(b), vertexConst(c)));
            cache[b] = cache[b] + fn * w;
        }
    }
    for (T3dFltPoint& n : cache) normalizeInPlace(n);
}
