// Pricing of collapses: the quadrics of faces and held edges, the placement of the merged vertex
// (optimal, or the better end), the flip and compactness penalties, and the UVs and colours the
// merged vertex takes.
#include <algorithm>
#include <cmath>

#include "brindle/base/VectorMath.h"
#include "brindle/edit/PolyEditableGeom.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/reduce/PolyDecimateFty.h"

namespace {
constexpr double kConstraintWeight = 1000.0;
constexpr double kPenalty = 10.0;
// 4 sqrt(3): an equilateral triangle has compactness 1.
constexpr double kCompactnessScale = 6.928203;

T3dDblVector sub(const T3dFltPoint& a, const T3dFltPoint& b) { return T3dDblVector(a) - T3dDblVector(b); }
}  // namespace

// --- N-vectors ---------------------------------------------------------------------------------------

void TpolyDecimateFty::loadVector(uint32_t v, const TfaceNode* face, uint32_t corner, nVector& out) const {
    out = nVector(fDim);
    const T3dFltPoint& p = fEdit->vertex(v);
    out[0] = p.x * fWg;
    out[1] = p.y * fWg;
    out[2] = p.z * fWg;
    uint32_t i = 3;
    if (fUseUV) {
        const int32_t id = face ? fEdit->getUVId(corner, uint32_t(fUVSet), *face) : -1;
        if (id >= 0) {
            const T2FloatPair& uv = fEdit->getUV(uint32_t(id), uint32_t(fUVSet));
            out[3] = uv.u * fWu;
            out[4] = uv.v * fWu;
        }
        i = 6;
    }
    if (fUseColor) {
        const int32_t id = face ? fEdit->getColorId(corner, uint32_t(fColorSet), *face) : -1;
        if (id >= 0) {
            const TpolyColorValue& c = fEdit->getColor(uint32_t(id), uint32_t(fColorSet));
            out[i] = c.r * fWc;
            out[i + 1] = c.g * fWc;
            out[i + 2] = c.b * fWc;
        }
    }
}

void TpolyDecimateFty::unloadVector(const nVector& v, TqSlimEdge& record) const {
    for (uint32_t k = 0; k < 3; ++k) record.position[k] = float(v[k] / fWg);
    uint32_t i = 3;
    if (fUseUV) {
        record.uv[0] = float(v[3] / fWu);
        record.uv[1] = float(v[4] / fWu);
        i = 6;
    }
    if (fUseColor)
        for (uint32_t k = 0; k < 3; ++k) record.color[k] = float(v[i + k] / fWc);
}

const TfaceNode* TpolyDecimateFty::cornerOnEdge(uint32_t edge, uint32_t v, uint32_t& corner) const {
    TuInt32Array& faces = const_cast<TpolyDecimateFty*>(this)->fSideFaces;
    for (int side = 0; side < 2; ++side) {
        fEdit->getEdgeFaces(edge, faces, Tside(side));
        if (faces.empty()) continue;
        const TfaceNode& f = fEdit->face(faces[0]);
        corner = fEdit->findVertexInFace(f, v);
        if (corner != TpolyBits::kNoId) return &f;
    }
    return nullptr;
}

// --- Quadrics ----------------------------------------------------------------------------------------

void TpolyDecimateFty::collectQuadrics() {
    fQuadrics.create(fDim, fEdit->vertexCount());
    for (uint32_t id = 0; id < fEdit->faces().idBound(); ++id)
        if (fEdit->faceIfExists(id) && id < fFaceConsidered.size() && fFaceConsidered[id]) collectFaceQuadric(id);
}

void TpolyDecimateFty::collectFaceQuadric(uint32_t face) {
    const TfaceNode& f = fEdit->face(face);
    if (f.fCount < 3) return;
    T4dFltVector n;
    fEdit->getFaceNormal(face, n);
    const double area = 0.5 * std::sqrt(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z);
    if (!(area > 0) || !std::isfinite(area)) return;
    nVector p, q, r;
    loadVector(fEdit->getStartVertexInFace(f, 0), &f, 0, p);
    loadVector(fEdit->getStartVertexInFace(f, 1), &f, 1, q);
    loadVector(fEdit->getStartVertexInFace(f, 2), &f, 2, r);
    TquadricN quadric(p, q, r, 1.0);
    quadric *= area;
    for (uint32_t k = 0; k < f.fCount; ++k) addToQuadricFace(fEdit->getStartVertexInFace(f, k), quadric);
}

void TpolyDecimateFty::addToQuadricFace(uint32_t v, const TquadricN& q) {
    if (!fWeights) {
        fQuadrics.add(v, q);
        return;
    }
    TquadricN weighted = q;
    weighted *= v < fWeights->size() ? (*fWeights)[v] * fVertexWeightCoefficient : 1.0;
    fQuadrics.add(v, weighted);
}

void TpolyDecimateFty::addToQuadricEdge(uint32_t edge, const TquadricN& q) {
    fQuadrics.add(fEdit->getStartVertex(edge), q);
    fQuadrics.add(fEdit->getEndVertex(edge), q);
}

bool TpolyDecimateFty::isUVBorder(uint32_t edge, int32_t set) {
    if (set < 0) return false;
    const uint32_t a = fEdit->getStartVertex(edge), b = fEdit->getEndVertex(edge);
    const TfaceNode* faces[2] = {nullptr, nullptr};
    uint32_t count = 0;
    for (int side = 0; side < 2; ++side) {
        fEdit->getEdgeFaces(edge, fSideFaces, Tside(side));
        if (fSideFaces.size() > 1) return true;  // non-manifold
        if (!fSideFaces.empty()) faces[count++] = &fEdit->face(fSideFaces[0]);
    }
    if (count == 0) return false;
    const bool mapped0 = fEdit->isMapped(*faces[0], uint32_t(set));
    if (count == 1) return mapped0;
    const bool mapped1 = fEdit->isMapped(*faces[1], uint32_t(set));
    if (mapped0 != mapped1) return true;
    if (!mapped0) return false;
    for (uint32_t v : {a, b}) {
        const uint32_t k0 = fEdit->findVertexInFace(*faces[0], v), k1 = fEdit->findVertexInFace(*faces[1], v);
        if (k0 == TpolyBits::kNoId || k1 == TpolyBits::kNoId) return true;
        if (fEdit->getUVId(k0, uint32_t(set), *faces[0]) != fEdit->getUVId(k1, uint32_t(set), *faces[1])) return true;
    }
    return false;
}

void TpolyDecimateFty::constrainEdges() {
    for (uint32_t e = 0; e < fEdit->edgeCount(); ++e) {
        if (fEdit->isEdgeDeleted(e)) continue;
        uint32_t nFaces = 0, nConsidered = 0;
        for (int side = 0; side < 2; ++side) {
            fEdit->getEdgeFaces(e, fSideFaces, Tside(side));
            for (uint32_t f : fSideFaces) {
                ++nFaces;
                nConsidered += fFaceConsidered[f] ? 1 : 0;
            }
        }
        if (nConsidered == 0) continue;
        const TpolyWingEdge& w = fEdit->polyWingEdge(e);
        const bool border = w.side[0] == TpolyBits::kNoFace || w.side[1] == TpolyBits::kNoFace;
        // The outline of a partial selection is held too, so the faces left out keep their shape.
        const bool held = (keepGeometryBorder() && border) || (keepHardEdges() && fEdit->polyEdge(e).isHard()) ||
                          (fPartial && nConsidered < nFaces) || (keepMapBorder() && isUVBorder(e, fUVSet));
        if (!held) continue;
        const uint32_t a = fEdit->getStartVertex(e), b = fEdit->getEndVertex(e);
        const T3dDblVector ab = sub(fEdit->vertex(b), fEdit->vertex(a));
        const double len = std::sqrt(dot(ab, ab));
        if (!(len > 0) || !std::isfinite(len)) continue;
        for (int side = 0; side < 2; ++side) {
            fEdit->getEdgeFaces(e, fAroundFaces, Tside(side));
            for (uint32_t id : fAroundFaces) {
                if (!fFaceConsidered[id]) continue;
                const TfaceNode& f = fEdit->face(id);
                T4dFltVector n;
                fEdit->getFaceNormal(id, n);
                const double nl = std::sqrt(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z);
                if (!(nl > 0) || !std::isfinite(nl)) continue;
                nVector p, q;
                loadVector(a, &f, fEdit->findVertexInFace(f, a), p);
                loadVector(b, &f, fEdit->findVertexInFace(f, b), q);
                nVector r = p;
                const double s = len * fWg / nl;
                r[0] += n.x * s;
                r[1] += n.y * s;
                r[2] += n.z * s;
                TquadricN plane(p, q, r, 0.0);
                plane *= kConstraintWeight;
                addToQuadricEdge(e, plane);
            }
        }
    }
}

// --- Costs -------------------------------------------------------------------------------------------

void TpolyDecimateFty::computeEdgeCosts() {
    const uint32_t nEdge = fEdit->edgeCount();
    fUpdateEdges.clear();
    for (uint32_t e = 0; e < nEdge; ++e)
        if (isValidEdge(e)) fUpdateEdges.addLast(e);
    fHeap.reserve_heap_size(fUpdateEdges.size(), nEdge);
    fHeap.set_heap_size(fUpdateEdges.size());
    fValidated.assign(nEdge, 0);
    TqSlimEdge record;
    for (uint32_t k = 0; k < fUpdateEdges.size(); ++k) {
        solveQuadric(fUpdateEdges[k], record);
        fHeap.set_element(k, record);
    }
    fHeap.make_heap();
}

void TpolyDecimateFty::solveQuadric(uint32_t edge, TqSlimEdge& record) {
    const uint32_t a = fEdit->getStartVertex(edge), b = fEdit->getEndVertex(edge);
    TquadricN q;
    fQuadrics.sum(a, b, q);
    record = TqSlimEdge();
    record.edge = edge;
    record.area = q.area();
    nVector v;
    bool ok = q.optimize(v);
    if (ok) {
        unloadVector(v, record);
        // An ill-conditioned solve can land far away along a nearly flat direction; a merged
        // vertex belongs near the edge it replaces.
        const T3dFltPoint& pa = fEdit->vertex(a);
        const T3dFltPoint& pb = fEdit->vertex(b);
        const T3dFltPoint mid((pa.x + pb.x) / 2, (pa.y + pb.y) / 2, (pa.z + pb.z) / 2);
        const T3dFltPoint at(record.position[0], record.position[1], record.position[2]);
        const T3dDblVector ab = sub(pb, pa), d = sub(at, mid);
        ok = dot(d, d) <= 4.0 * dot(ab, ab);
    }
    if (ok && keepMapBorder() && fUVSet >= 0 && ((fVertexFlags[a] | fVertexFlags[b]) & kOnUVBorder)) {
        holdUVBorder(edge, q, v, record);
    } else if (ok) {
        const double cost = q.evaluate(v);
        record.cost = cost > 0 ? cost : 0;
    } else if ((!fUseUV && !fUseColor) || edgeUVsShared(edge)) {
        record.cost = evalUnoptimizedSharedQuadric(edge, q, record);
    } else {
        record.cost = evalUnoptimizedUnsharedQuadric(edge, q, record);
    }
}

// Only the UVs of the faces on the edge follow the merged vertex; the other side of a seam keeps
// its UVs at the seam vertex. So a collapse along a held UV border stays on the edge (each side's
// UVs move along their side of it), and one that reaches a UV border from inside keeps the border
// end where it is.
void TpolyDecimateFty::holdUVBorder(uint32_t edge, const TquadricN& q, const nVector& optimum, TqSlimEdge& record) {
    const uint32_t a = fEdit->getStartVertex(edge), b = fEdit->getEndVertex(edge);
    const bool onA = fVertexFlags[a] & kOnUVBorder, onB = fVertexFlags[b] & kOnUVBorder;
    uint32_t ka = 0, kb = 0;
    const TfaceNode* fa = cornerOnEdge(edge, a, ka);
    const TfaceNode* fb = cornerOnEdge(edge, b, kb);
    nVector va, vb;
    loadVector(a, fa, ka, va);
    loadVector(b, fb, kb, vb);
    nVector at = va;
    if (isUVBorder(edge, fUVSet)) {
        const nVector ab = vb - va;
        double t = 0;
        for (uint32_t k = 0; k < 3; ++k) t += (optimum[k] - va[k]) * ab[k];
        const double len2 = ab[0] * ab[0] + ab[1] * ab[1] + ab[2] * ab[2];
        t = len2 > 0 && std::isfinite(t) ? std::clamp(t / len2, 0.0, 1.0) : 0.5;
        at = va + ab * t;
    } else if (onA && onB) {
        const double ea = q.evaluate(va), eb = q.evaluate(vb);
        at = eb < ea ? vb : va;
    } else if (onB) {
        at = vb;
    }
    unloadVector(at, record);
    const double cost = q.evaluate(at);
    record.cost = cost > 0 ? cost : 0;
}

bool TpolyDecimateFty::edgeUVsShared(uint32_t edge) {
    const TfaceNode* faces[2] = {nullptr, nullptr};
    for (int side = 0; side < 2; ++side) {
        fEdit->getEdgeFaces(edge, fSideFaces, Tside(side));
        if (fSideFaces.size() > 1) return false;
        if (!fSideFaces.empty()) faces[side] = &fEdit->face(fSideFaces[0]);
    }
    if (!faces[0] || !faces[1]) return true;
    for (uint32_t v : {fEdit->getStartVertex(edge), fEdit->getEndVertex(edge)}) {
        const uint32_t k0 = fEdit->findVertexInFace(*faces[0], v), k1 = fEdit->findVertexInFace(*faces[1], v);
        if (k0 == TpolyBits::kNoId || k1 == TpolyBits::kNoId) return false;
        if (fUseUV &&
            fEdit->getUVId(k0, uint32_t(fUVSet), *faces[0]) != fEdit->getUVId(k1, uint32_t(fUVSet), *faces[1]))
            return false;
        if (fUseColor && fEdit->getColorId(k0, uint32_t(fColorSet), *faces[0]) !=
                             fEdit->getColorId(k1, uint32_t(fColorSet), *faces[1]))
            return false;
    }
    return true;
}

double TpolyDecimateFty::evalUnoptimizedSharedQuadric(uint32_t edge, const TquadricN& q, TqSlimEdge& record) {
    const uint32_t a = fEdit->getStartVertex(edge), b = fEdit->getEndVertex(edge);
    uint32_t ka = 0, kb = 0;
    const TfaceNode* fa = cornerOnEdge(edge, a, ka);
    const TfaceNode* fb = cornerOnEdge(edge, b, kb);
    nVector va, vb;
    loadVector(a, fa, ka, va);
    loadVector(b, fb, kb, vb);
    const double ea = q.evaluate(va), eb = q.evaluate(vb);
    const bool takeB = eb < ea;
    unloadVector(takeB ? vb : va, record);
    const double e = takeB ? eb : ea;
    return e > 0 ? e : 0;
}

// A seam runs along the edge: each side has its own UVs at the two ends. Each end is priced at
// its worst over the sides, and the end whose worst error is smaller wins (the start on a tie);
// the record takes the UVs of the first side.
double TpolyDecimateFty::evalUnoptimizedUnsharedQuadric(uint32_t edge, const TquadricN& q, TqSlimEdge& record) {
    const uint32_t a = fEdit->getStartVertex(edge), b = fEdit->getEndVertex(edge);
    double ea = 0, eb = 0;
    nVector firstA, firstB;
    bool first = true;
    for (int side = 0; side < 2; ++side) {
        fEdit->getEdgeFaces(edge, fSideFaces, Tside(side));
        for (uint32_t id : fSideFaces) {
            const TfaceNode& f = fEdit->face(id);
            nVector va, vb;
            loadVector(a, &f, fEdit->findVertexInFace(f, a), va);
            loadVector(b, &f, fEdit->findVertexInFace(f, b), vb);
            ea = std::max(ea, q.evaluate(va));
            eb = std::max(eb, q.evaluate(vb));
            if (first) {
                firstA = va;
                firstB = vb;
                first = false;
            }
        }
    }
    if (first) return evalUnoptimizedSharedQuadric(edge, q, record);
    const bool takeB = eb < ea;
    unloadVector(takeB ? firstB : firstA, record);
    return takeB ? eb : ea;
}

// --- Penalties ---------------------------------------------------------------------------------------

// Every face at v leaves v along one of v's edges, in the edge's direction on its left side and
// against it on its right: so each edge's faces on that side, with the corner using the edge, are
// the faces at v, each once, with their corner at v (a face meeting v twice comes twice).
void TpolyDecimateFty::facesAround(uint32_t v) {
    fEdit->getVertexEdges(v, fVertexEdges);
    fAroundFaces.clear();
    fAroundCorners.clear();
    for (uint32_t e : fVertexEdges) {
        const bool leaves = fEdit->getStartVertex(e) == v;
        fEdit->getEdgeFaces(e, fSideFaces, leaves ? kLeft : kRight);
        for (uint32_t id : fSideFaces) {
            const TfaceNode& f = fEdit->face(id);
            uint32_t k = f.findEdgeInFace(e);
            if (k == TpolyBits::kNoId) continue;
            if (fEdit->getStartVertexInFace(f, k) != v) k = fEdit->findVertexInFace(f, v);
            if (k == TpolyBits::kNoId) continue;
            fAroundFaces.addLast(id);
            fAroundCorners.addLast(k);
        }
    }
}

bool TpolyDecimateFty::isGoodVertexPosition(uint32_t a, uint32_t b, const T3dFltPoint& position, float& compactness) {
    compactness = 2.0f;
    facesAround(a);
    for (uint32_t i = 0; i < fAroundFaces.size(); ++i) {
        const TfaceNode& f = fEdit->face(fAroundFaces[i]);
        // The outer loop's normal before and after the move (Newell's sum over its corners).
        uint32_t first = 0, end = 0;
        f.loopBounds(0, first, end);
        if (end != f.fCount && fEdit->findVertexInFace(f, b) != TpolyBits::kNoId) continue;
        T3dDblVector before, after;
        bool holdsB = false;
        double squares = 0;
        for (uint32_t k = first; k < end && !holdsB; ++k) {
            const uint32_t v0 = fEdit->getStartVertexInFace(f, k), v1 = fEdit->getEndVertexInFace(f, k);
            holdsB = v0 == b;
            const T3dFltPoint& p0 = fEdit->vertex(v0);
            const T3dFltPoint& p1 = fEdit->vertex(v1);
            const T3dFltPoint& q0 = v0 == a ? position : p0;
            const T3dFltPoint& q1 = v1 == a ? position : p1;
            addNewellSide(before, p0, p1);
            addNewellSide(after, q0, q1);
            const T3dDblVector d = sub(q1, q0);
            squares += dot(d, d);
        }
        if (holdsB) continue;
        // A triangle squashed flat has lost its orientation as surely as one turned over.
        if (!(dot(before, after) > 0)) return false;
        if (end - first == 3) {
            const double area = 0.5 * std::sqrt(dot(after, after));
            const double c = squares < 1e-5 ? 0.0 : kCompactnessScale * area / squares;
            compactness = std::min(compactness, float(c));
        }
    }
    return true;
}

void TpolyDecimateFty::validateVertexPosition(uint32_t edge, TqSlimEdge& record) {
    const uint32_t a = fEdit->getStartVertex(edge), b = fEdit->getEndVertex(edge);
    const T3dFltPoint p(record.position[0], record.position[1], record.position[2]);
    float ca = 2, cb = 2;
    const bool good = isGoodVertexPosition(a, b, p, ca) && isGoodVertexPosition(b, a, p, cb);
    if (!good || (fCompactnessTest && std::min(ca, cb) < fCompactness)) record.cost += kPenalty;
}

// --- Attributes of the merged vertex -----------------------------------------------------------------

void TpolyDecimateFty::computeUVBoundaryPosition(uint32_t edge, const TqSlimEdge& record) {
    fUVTargets.clear();
    const uint32_t a = fEdit->getStartVertex(edge), b = fEdit->getEndVertex(edge);
    const T3dDblVector ab = sub(fEdit->vertex(b), fEdit->vertex(a));
    const T3dDblVector ap =
        sub(T3dFltPoint(record.position[0], record.position[1], record.position[2]), fEdit->vertex(a));
    const double len2 = dot(ab, ab);
    double t = len2 > 0 ? dot(ap, ab) / len2 : 0.5;
    t = std::isfinite(t) ? std::clamp(t, 0.0, 1.0) : 0.5;
    const uint32_t set = uint32_t(fUVSet);
    for (int side = 0; side < 2; ++side) {
        fEdit->getEdgeFaces(edge, fSideFaces, Tside(side));
        for (uint32_t id : fSideFaces) {
            const TfaceNode& f = fEdit->face(id);
            const uint32_t ka = fEdit->findVertexInFace(f, a), kb = fEdit->findVertexInFace(f, b);
            if (ka == TpolyBits::kNoId || kb == TpolyBits::kNoId) continue;
            const int32_t ia = fEdit->getUVId(ka, set, f), ib = fEdit->getUVId(kb, set, f);
            if (ia < 0 || ib < 0) continue;
            const T2FloatPair& ua = fEdit->getUV(uint32_t(ia), set);
            const T2FloatPair& ub = fEdit->getUV(uint32_t(ib), set);
            // The value the collapse itself gives the merged id: the plain average.
            const T2FloatPair merged{(ua.u + ub.u) / 2, (ua.v + ub.v) / 2};
            const T2FloatPair target{float(ua.u + t * (ub.u - ua.u)), float(ua.v + t * (ub.v - ua.v))};
            fUVTargets.push_back({merged, target});
        }
    }
}

void TpolyDecimateFty::getSpanVertices(uint32_t v, bool colors) {
    facesAround(v);
    fSpanIds.clear();
    for (uint32_t i = 0; i < fAroundFaces.size(); ++i) {
        const TfaceNode& f = fEdit->face(fAroundFaces[i]);
        const uint32_t k = fAroundCorners[i];
        const int32_t attr =
            colors ? fEdit->getColorId(k, uint32_t(fColorSet), f) : fEdit->getUVId(k, uint32_t(fUVSet), f);
        if (attr >= 0 && fSpanIds.find(uint32_t(attr)) == kNotFound) fSpanIds.addLast(uint32_t(attr));
    }
}

void TpolyDecimateFty::applyAttributes(uint32_t a, const TqSlimEdge& record, bool uvSpan) {
    if (fUVSet >= 0 && (fUseUV || uvSpan)) {
        getSpanVertices(a, false);
        const uint32_t set = uint32_t(fUVSet);
        // One UV for the whole vertex only where no seam meets it; along seams each side keeps
        // its own UVs, moved along its side of the collapsed edge.
        if (fUseUV && !(fVertexFlags[a] & kOnUVBorder)) {
            for (uint32_t id : fSpanIds) fEdit->setUV(id, T2FloatPair{record.uv[0], record.uv[1]}, set);
        } else if (uvSpan) {
            for (uint32_t id : fSpanIds) {
                const T2FloatPair value = fEdit->getUV(id, set);
                for (const TuvTarget& t : fUVTargets)
                    if (t.merged == value) {
                        fEdit->setUV(id, t.target, set);
                        break;
                    }
            }
        }
    }
    if (fUseColor) {
        getSpanVertices(a, true);
        for (uint32_t id : fSpanIds)
            fEdit->setColor(id, TpolyColorValue{record.color[0], record.color[1], record.color[2], 1.0f},
                            uint32_t(fColorSet));
    }
}
