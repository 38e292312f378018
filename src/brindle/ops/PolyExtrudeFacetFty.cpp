#include "brindle/ops/PolyExtrudeFacetFty.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "brindle/base/Random.h"
#include "brindle/base/VectorMath.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/FaceTraversal.h"
#include "brindle/geom/PolyColor.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/geom/TopoIterators.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyCompact.h"
#include "brindle/ops/PolyFaceQuery.h"
#include "brindle/ops/PolyLoopInset.h"
#include "brindle/ops/PolyReferenceFrame.h"
#include "brindle/ops/PolySoftEdgeFty.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyExtrudeFacetFty, TpolyMoveFacetFty);

namespace {
const TmodifierParamTable sParams(
    TpolyExtrudeFacetFty::sMetaclass, kPolyGrpFace,
    {BRINDLE_MODIFIER_PARAM(TpolyExtrudeFacetFty, ExtrudeMode,
                            "extrude touching faces together (true) or each face on its own"),
     BRINDLE_MODIFIER_PARAM(TpolyExtrudeFacetFty, Divisions, "rows of side faces; below 1 counts as 1", 1, 4),
     BRINDLE_MODIFIER_PARAM(TpolyExtrudeFacetFty, SmoothingAngle,
                            "radians: new edges whose faces meet at less than this are soft, the others hard", 0,
                            kPi)});

constexpr uint32_t kNone = TpolyBits::kNoId;

// One draw of the random weight (2 r - 1) * amount + 1, r uniform in [0, 1).
float randomWeight(float amount) { return float((2 * drand48() - 1) * amount + 1); }

// A displacement turned by the linear part of a row-vector matrix.
T3dFltPoint turned(const T4dDblMatrix& m, const T3dFltPoint& v) {
    return T3dFltPoint(float(v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0]),
                       float(v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1]),
                       float(v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]));
}

// One extrusion on one record. The build appends, in creation order, per selected face: its
// reversed copy when it needs one, then for each of its entries the missing rows of the entry's
// edge ends (d vertices, each followed by its vertical edge) and the entry's wall (d horizontal
// edges and d quads, alternating); the entry is then made to use the wall's top edge. The record's
// face offsets are kept exact while faces are appended, and no derived data is read after the
// first change except the face normals and adjacency of the faces as they were on entry.
class TextrudeRun {
public:
    TextrudeRun(const TpolyExtrudeFacetFty& fty, TpolyGeom& g, uint32_t d, const TbitFieldFixedN& selected)
        : fFty(fty), fG(g), fD(d), fV0(g.nbVertex()), fE0(g.nbEdge()), fF0(g.nbFace()), fSelected(selected) {}

    void run(int activeName);

private:
    // --- Setup -----------------------------------------------------------------------------------
    void makeRowMatrices();
    void reserve(uint64_t walled);
    bool isolated(uint32_t f) const;
    // An entry whose edge runs from a vertex to itself encloses nothing, so it gets no wall.
    bool degenerate(uint32_t k) const {
        const uint32_t e = fG.getEdge(k);
        return fG.startVertex(e) == fG.endVertex(e);
    }
    void markBorderEntries();
    void splitIntoPieces(std::vector<uint32_t>& faces, std::vector<uint32_t>& pieceEnds);

    // --- Building --------------------------------------------------------------------------------
    void endNewFace() {
        fG.faceOffsetArray().addLast(fG.faceDescLength());
        fG.addFace(1);
    }
    void duplicateReversed(uint32_t f);
    void makeRow(uint32_t v, bool full);
    void faceFrame(uint32_t f);
    void addLocalDelta(uint32_t row, uint32_t rowVertex, uint32_t source, float share);
    void wall(uint32_t k, float shareA, float shareB);
    void interiorEntry(uint32_t k);
    void copyCrease(uint32_t from, uint32_t to);
    void extrudeSeparately();
    void extrudeTogether();
    void insetPlain(uint32_t f);
    void insetShared(uint32_t f);

    // --- Finishing -------------------------------------------------------------------------------
    template <typename Set>
    void carryRows(Set& set);
    void joinGroups(int activeName);
    void keepUserNormals();
    void restoreUserNormals();
    void smoothNewFaces();

    const TpolyExtrudeFacetFty& fFty;
    TpolyGeom& fG;
    const uint32_t fD, fV0, fE0, fF0;
    const TbitFieldFixedN& fSelected;
    std::vector<uint32_t> fOrder;  // selected faces, increasing
    uint64_t fCorners = 0;         // their corners
    bool fTogether = true, fRandom = false, fLocal = false, fAllDuplicated = false;
    T3dFltPoint fCentre;
    // Per row: the global matrix, the linear part of its rotation (for the shared inset) and, for
    // the face being walled, its local delta.
    std::vector<T4dFltMatrix> fRow;
    std::vector<T4dDblMatrix> fRowTurn, fLocalRow;
    T4dDblMatrix fToWorld, fToLocal;  // frame of the face being walled
    // Per source vertex in the current face (separate) or piece (together): the top vertex of its
    // row and the top vertical edge (none for a row made of its top vertex alone).
    std::vector<uint32_t> fTopVertex, fTopEdge, fMade;
    std::vector<uint32_t> fBorderCount, fCornerCount, fInteriorTop;
    std::vector<T4dFltVector> fVertexNormal;
    TbitFieldFixedN fBorder;  // over the entries on entry
    // Faces derived from each source face: its reversed copy and its walls [begin, end).
    std::vector<uint32_t> fCopy, fWallBegin, fWallEnd;
    std::vector<double> fCrease;  // over the old edges, -1 where none; empty without creases
    TuInt32Array fNewCreaseEdges{256};
    TdoubleArray fNewCreaseValues{256};
    TpolyLoopInset fInset;
    // User normals as they were: each corner's normal id, whether it held a user normal, the
    // user normals themselves. Empty when the record has none.
    TuInt32Array fOldNormalIds{256};
    TbitFieldFixedN fHadUserNormal;
    T4dFltVectorArray fOldUserNormals{256};
    std::vector<T3dFltPoint> fLoop, fMove;
    std::vector<uint32_t> fLoopVertex, fSource;
};

void TextrudeRun::makeRowMatrices() {
    fRow.assign(fD, T4dFltMatrix());
    fRowTurn.assign(fD, T4dDblMatrix());
    for (uint32_t i = 0; i < fD; ++i) {
        const float t = float(i + 1) / float(fD);
        TrotateXYZ r = fFty.Rotate();
        r.x *= t, r.y *= t, r.z *= t;
        Tquaternion(r).toMatrix(fRowTurn[i]);
    }
    if (!fFty.usingCurve()) {
        if (!fRandom)
            for (uint32_t i = 0; i < fD; ++i)
                TpolyExtrudeFacetFty::calcMatrix(fCentre, fFty.Rotate(), fFty.Scale(), fFty.Trans(), fRow[i],
                                                 float(i + 1) / float(fD));
        return;
    }
    // Along a path: the curve starts at the centre of the selection, and row i steps from the
    // curve's point at (i / d) of its length to the one at (i + 1) / d; each row is placed from
    // the one below it.
    T3dFltPoint lo, hi, start;
    fG.getCurrentGrpCenterAndBbox(kPolyGrpFace, start, lo, hi);
    const T4dDblPointArray& curve = fFty.positions();
    std::vector<T3dDblPoint> p(curve.size());
    for (uint32_t i = 0; i < curve.size(); ++i) p[i] = {curve[i].x, curve[i].y, curve[i].z};
    p[0] = {start.x, start.y, start.z};
    std::vector<double> along(p.size(), 0.0);
    for (size_t i = 1; i < p.size(); ++i)
        along[i] = along[i - 1] + std::sqrt((p[i].x - p[i - 1].x) * (p[i].x - p[i - 1].x) +
                                            (p[i].y - p[i - 1].y) * (p[i].y - p[i - 1].y) +
                                            (p[i].z - p[i - 1].z) * (p[i].z - p[i - 1].z));
    auto at = [&](double s) {
        const double target = s * along.back();
        size_t i = 1;
        while (i + 1 < p.size() && along[i] < target) ++i;
        if (p.size() == 1) return p[0];
        const double span = along[i] - along[i - 1], u = span > 0 ? (target - along[i - 1]) / span : 1.0;
        return T3dDblPoint{p[i - 1].x + u * (p[i].x - p[i - 1].x), p[i - 1].y + u * (p[i].y - p[i - 1].y),
                           p[i - 1].z + u * (p[i].z - p[i - 1].z)};
    };
    for (uint32_t i = 0; i < fD; ++i) {
        const T3dDblPoint a = at(double(i) / fD), b = at(double(i + 1) / fD);
        fRow[i].m[3][0] = float(b.x - a.x);
        fRow[i].m[3][1] = float(b.y - a.y);
        fRow[i].m[3][2] = float(b.z - a.z);
    }
}

bool TextrudeRun::isolated(uint32_t f) const {
    for (uint32_t k = fG.faceOffset(f); k < fG.faceOffset(f + 1); ++k) {
        const TpolyWingEdge& w = fG.getEdgeFace(fG.getEdge(k));
        if (w.side[kLeft] != TpolyBits::kNoFace && w.side[kRight] != TpolyBits::kNoFace) return false;
        const uint32_t side = w.side[kLeft] != TpolyBits::kNoFace ? w.side[kLeft] : w.side[kRight];
        if (!TpolyTopo::isSingleFace(side)) return false;
    }
    return true;
}

void TextrudeRun::markBorderEntries() {
    fBorder.resizeArray(fG.faceDescLength());
    TedgeFaceIterator faces(&fG);
    for (uint32_t f : fOrder)
        for (uint32_t k = fG.faceOffset(f); k < fG.faceOffset(f + 1); ++k) {
            uint32_t count = 0;
            bool border = false;
            for (uint32_t n = faces.resetUpdated(fG.getEdge(k)); n != TpolyBits::kNoFace; n = faces.next(), ++count)
                border = border || n >= fF0 || !fSelected.testBit(n);
            if (border || count < 2) fBorder.setBit(k);
        }
}

void TextrudeRun::splitIntoPieces(std::vector<uint32_t>& faces, std::vector<uint32_t>& pieceEnds) {
    faces.clear();
    pieceEnds.clear();
    if (fOrder.size() == fF0) {
        faces = fOrder;
        pieceEnds.push_back(uint32_t(faces.size()));
        return;
    }
    TbitFieldFixedN outside(fSelected);
    outside.invertAll();
    TfaceTraversal walk(&fG);
    walk.excludeFaces(outside);
    // Each piece is numbered by its seed, the lowest selected face it holds; a counting pass over
    // the selection then lays the pieces out one after the other, each in increasing face id.
    std::vector<uint32_t> pieceOf(fF0, 0), sizes;
    for (uint32_t seed : fOrder) {
        if (walk.isFaceVisited(seed)) continue;
        uint32_t n = 0;
        for (uint32_t f = walk.reset(seed, false); f != TpolyBits::kNoId; f = walk.next(), ++n)
            pieceOf[f] = uint32_t(sizes.size());
        sizes.push_back(n);
    }
    std::vector<uint32_t> at(sizes.size(), 0);
    for (size_t p = 1; p < sizes.size(); ++p) at[p] = at[p - 1] + sizes[p - 1];
    for (size_t p = 0; p < sizes.size(); ++p) pieceEnds.push_back(at[p] + sizes[p]);
    faces.resize(fOrder.size());
    for (uint32_t f : fOrder) faces[at[pieceOf[f]]++] = f;
}

// Grows the arrays once for what the build appends when `walled` entries get walls: d row
// vertices, d vertical and d horizontal edges and d quads of 4 entries per walled entry, one top
// vertex and top edge at most per other entry, and reversed copies at most the size of the caps.
void TextrudeRun::reserve(uint64_t walled) {
    const uint64_t d = fD, corners = fCorners, inner = corners - std::min(walled, corners);
    auto room = [](uint64_t n) { return uint32_t(std::min<uint64_t>(n, TpolyBits::kEdgeMask)); };
    fG.vertexBuffer(room(walled * d + inner));
    fG.edgeBuffer(room(2 * walled * d + inner));
    fG.loopEdgeBuffer(room(4 * walled * d + corners));
    fG.faceOffsetArray().buffer(room(walled * d + fOrder.size()));
}

// The copy's loops run the other way; each corner of the copy stands where it stood in the face.
void TextrudeRun::duplicateReversed(uint32_t f) {
    TuInt32Array& desc = fG.faceDescArray();
    const uint32_t end = fG.faceOffset(f + 1);
    for (uint32_t loop = fG.faceOffset(f); loop < end;) {
        uint32_t last = loop;
        while (last + 1 < end && !(desc[last] & TpolyBits::kEndOfLoop)) ++last;
        for (uint32_t j = last + 1; j-- > loop;)
            desc.addLast((desc[j] & TpolyBits::kEdgeMask) | (~desc[j] & TpolyBits::kReversedUse));
        desc.last() |= TpolyBits::kEndOfLoop;
        loop = last + 1;
    }
    desc.last() |= TpolyBits::kEndOfFace;
    fCopy[f] = fG.nbFace();
    endNewFace();
}

void TextrudeRun::makeRow(uint32_t v, bool full) {
    const T3dFltPoint source = fG.vertexConst(v);
    T3dFltPoint p = source;
    uint32_t prev = v, edge = kNone;
    for (uint32_t i = 0; i < fD; ++i) {
        if (fRandom) {
            TpolyExtrudeFacetFty::calcMatrix(fCentre, fFty.Rotate(), fFty.Scale(), fFty.Trans(), fRow[i],
                                             randomWeight(fFty.Random()) * float(i + 1) / float(fD));
        }
        p = fRow[i].transformPoint(fFty.usingCurve() ? p : source);
        if (!full && i + 1 < fD) continue;
        const uint32_t nv = fG.appendVertex(p);
        if (full) edge = fG.appendEdge(prev, nv, true);
        prev = nv;
    }
    fTopVertex[v] = prev;
    fTopEdge[v] = edge;
    fMade.push_back(v);
}

// The face frame: x, y from the move family's basis, z the face normal, origin the loop centre.
void TextrudeRun::faceFrame(uint32_t f) {
    T4dFltVector n;
    fG.getFaceNormal(f, n);
    if (n.dot(n) < 0.001f) n = T4dFltVector::zAxis;
    T4dFltVector x, y, xDir = fFty.LXDir();
    xDir.normalize();
    TpolyMoveVertexFty::getBasis(n, xDir, x, y);
    const T3dFltPoint c = TpolyFaceQuery::getFaceCenterFromOffset(fG, fG.faceOffset(f), kFaceInfoCornerMean);
    const T4dFltVector* axes[3] = {&x, &y, &n};
    fToWorld = T4dDblMatrix();
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) fToWorld.m[i][k] = (*axes[i])[k];
    fToWorld.m[3][0] = c.x, fToWorld.m[3][1] = c.y, fToWorld.m[3][2] = c.z;
    fToLocal = fToWorld;
    if (!fToLocal.invertIt(1e-10)) fToLocal = T4dDblMatrix();
    if (fRandom) return;
    fLocalRow.resize(fD);
    for (uint32_t i = 0; i < fD; ++i) {
        T4dFltMatrix l;
        TpolyExtrudeFacetFty::calcMatrix(T3dFltPoint(0, 0, 0), fFty.LRotate(), fFty.LScale(), fFty.LTrans(), l,
                                         float(i + 1) / float(fD));
        fLocalRow[i] = fToLocal * T4dDblMatrix(l) * fToWorld;
    }
}

// Row vertex rowVertex gains share of what the face's local transformation at row `row` does to
// the source vertex.
void TextrudeRun::addLocalDelta(uint32_t row, uint32_t rowVertex, uint32_t source, float share) {
    const T3dFltPoint p = fG.vertexConst(source);
    const T3dFltPoint q = fLocalRow[row].transformPoint(p);
    fG.vertex(rowVertex) = fG.vertexConst(rowVertex) + (q - p) * (1.0f / share);
}

void TextrudeRun::copyCrease(uint32_t from, uint32_t to) {
    if (from < fCrease.size() && fCrease[from] >= 0) {
        fNewCreaseEdges.addLast(to);
        fNewCreaseValues.addLast(fCrease[from]);
    }
}

void TextrudeRun::wall(uint32_t k, float shareA, float shareB) {
    const uint32_t word = fG.getFaceEdge(k), e = word & TpolyBits::kEdgeMask;
    const bool reversed = (word & TpolyBits::kReversedUse) != 0;
    const uint32_t a = fG.startVertex(e), b = fG.endVertex(e);
    if (degenerate(k)) {
        // Its wall would use the vertical edge of a twice; the cap's entry takes a like edge at
        // the top instead, and the source edge and the new one are left open on the wall side.
        const uint32_t top = fG.appendEdge(fTopVertex[a], fTopVertex[a], fG.isHard(e));
        copyCrease(e, top);
        fG.setEdge(k, top);
        return;
    }
    const uint32_t a0 = fTopVertex[a] - (fD - 1), b0 = fTopVertex[b] - (fD - 1);
    const uint32_t ea0 = fTopEdge[a] - (fD - 1), eb0 = fTopEdge[b] - (fD - 1);
    TuInt32Array& desc = fG.faceDescArray();
    constexpr uint32_t R = TpolyBits::kReversedUse;
    uint32_t prev = e;
    for (uint32_t i = 0; i < fD; ++i) {
        const uint32_t top = fG.appendEdge(a0 + i, b0 + i, false);
        if (!reversed) {
            desc.addLast(prev);
            desc.addLast(eb0 + i);
            desc.addLast(top | R);
            desc.addLast((ea0 + i) | R);
        } else {
            desc.addLast(prev | R);
            desc.addLast(ea0 + i);
            desc.addLast(top);
            desc.addLast((eb0 + i) | R);
        }
        desc.last() |= TpolyBits::kEndOfLoop | TpolyBits::kEndOfFace;
        endNewFace();
        if (fLocal) {
            if (fRandom) {
                T4dFltMatrix l;
                TpolyExtrudeFacetFty::calcMatrix(T3dFltPoint(0, 0, 0), fFty.LRotate(), fFty.LScale(), fFty.LTrans(), l,
                                                 float(i + 1) / float(fD) * randomWeight(fFty.Random()));
                fLocalRow.resize(fD);
                fLocalRow[i] = fToLocal * T4dDblMatrix(l) * fToWorld;
            }
            addLocalDelta(i, a0 + i, a, shareA);
            addLocalDelta(i, b0 + i, b, shareB);
        }
        prev = top;
    }
    if (fG.isHard(e)) fG.setHard(prev);
    copyCrease(e, prev);
    fG.setEdge(k, prev);
}

void TextrudeRun::interiorEntry(uint32_t k) {
    const uint32_t e = fG.getEdge(k);
    const uint32_t a = fG.startVertex(e), b = fG.endVertex(e);
    if (fInteriorTop[e] == kNone) {
        fInteriorTop[e] = fG.appendEdge(fTopVertex[a], fTopVertex[b], fG.isHard(e));
        copyCrease(e, fInteriorTop[e]);
    }
    if (fLocal)
        for (uint32_t v : {a, b}) {
            if (fBorderCount[v] != 0) continue;
            // Inside a region only the local translation applies, along the vertex's own frame.
            T4dFltVector x, y, xDir = fFty.LXDir();
            xDir.normalize();
            const T4dFltVector& n = fVertexNormal[v];
            TpolyMoveVertexFty::getBasis(n, xDir, x, y);
            const T4dFltVector z = n.dot(n) < 0.001f ? T4dFltVector::zAxis : n;
            const float w = fRandom ? randomWeight(fFty.Random()) : 1.0f;
            const T4dFltVector& t = fFty.LTrans();
            T3dFltPoint& p = fG.vertex(fTopVertex[v]);
            for (int c = 0; c < 3; ++c) p[c] += w * (t.x * x[c] + t.y * y[c] + t.z * z[c]);
            fBorderCount[v] = 1;
        }
    fG.setEdge(k, fInteriorTop[e]);
}

// Row by row, the face's corners at that row are inset within the row's own plane.
void TextrudeRun::insetPlain(uint32_t f) {
    float q = -fFty.Offset() / float(fD);
    if (fRandom) q *= randomWeight(fFty.Random());
    T4dFltVector faceNormal;
    fG.getFaceNormal(f, faceNormal);
    const uint32_t end = fG.faceOffset(f + 1);
    for (uint32_t i = 0; i < fD; ++i)
        for (uint32_t loop = fG.faceOffset(f); loop < end;) {
            fLoop.clear();
            fLoopVertex.clear();
            uint32_t k = loop;
            for (;; ++k) {
                const uint32_t v = fG.getStartVertex(k) - (fD - 1 - i);
                fLoopVertex.push_back(v);
                fLoop.push_back(fG.vertexConst(v));
                if (fG.endOfLoop(k) || k + 1 == end) break;
            }
            loop = k + 1;
            T4dFltVector n = newellNormal(fLoop.data(), uint32_t(fLoop.size())).vector();
            if (!n.normalize(1e-12f)) n = faceNormal;
            if (!fInset.inset(fLoop.data(), uint32_t(fLoop.size()), n, float(i + 1) * q, fMove)) continue;
            for (size_t c = 0; c < fLoopVertex.size(); ++c)
                fG.vertex(fLoopVertex[c]) = fG.vertexConst(fLoopVertex[c]) + fMove[c];
        }
}

// The face is inset in its plane as it was, at the distance of each row; each corner's
// displacement, shared among the selected-face corners at its source vertex and turned with the
// row's rotation, moves the corner's row vertex. fSource holds the face's source corners.
void TextrudeRun::insetShared(uint32_t f) {
    float q = -fFty.Offset() / float(fD);
    if (fRandom) q *= randomWeight(fFty.Random());
    T4dFltVector n;
    fG.getFaceNormal(f, n);
    const uint32_t begin = fG.faceOffset(f), end = fG.faceOffset(f + 1);
    for (uint32_t loop = begin; loop < end;) {
        uint32_t last = loop;
        while (last + 1 < end && !fG.endOfLoop(last)) ++last;
        fLoop.clear();
        for (uint32_t k = loop; k <= last; ++k) fLoop.push_back(fG.vertexConst(fSource[k - begin]));
        for (uint32_t i = 0; i < fD; ++i) {
            if (!fInset.inset(fLoop.data(), uint32_t(fLoop.size()), n, float(fD - i) * q, fMove)) continue;
            for (uint32_t k = loop; k <= last; ++k) {
                const uint32_t v = fSource[k - begin];
                // A row of its top vertex alone has no lower rows to move.
                if (i > 0 && fTopEdge[v] == kNone) continue;
                const T3dFltPoint m = turned(fRowTurn[fD - 1 - i], fMove[k - loop] * (1.0f / float(fCornerCount[v])));
                T3dFltPoint& p = fG.vertex(fTopVertex[v] - i);
                p = p + m;
            }
        }
        loop = last + 1;
    }
}

void TextrudeRun::extrudeSeparately() {
    reserve(fCorners);
    for (uint32_t f : fOrder) {
        for (uint32_t v : fMade) fTopVertex[v] = kNone;
        fMade.clear();
        if (isolated(f)) duplicateReversed(f);
        if (fLocal) faceFrame(f);
        fWallBegin[f] = fG.nbFace();
        const uint32_t end = fG.faceOffset(f + 1);
        for (uint32_t k = fG.faceOffset(f); k < end; ++k) {
            const uint32_t e = fG.getEdge(k);
            for (uint32_t v : {fG.startVertex(e), fG.endVertex(e)})
                if (fTopVertex[v] == kNone) makeRow(v, true);
            wall(k, fLocal ? 2.0f : 1.0f, fLocal ? 2.0f : 1.0f);
        }
        fWallEnd[f] = fG.nbFace();
        if (fFty.Offset() != 0) insetPlain(f);
    }
}

void TextrudeRun::extrudeTogether() {
    markBorderEntries();
    reserve(fBorder.countSet());
    if (fLocal) {
        // Normals of the surface as it was, for the vertices inside the regions.
        fVertexNormal.assign(fV0, T4dFltVector());
        TbitFieldFixedN done(fV0);
        for (uint32_t f : fOrder)
            for (uint32_t k = fG.faceOffset(f); k < fG.faceOffset(f + 1); ++k) {
                const uint32_t v = fG.getStartVertex(k);
                if (done.testBit(v)) continue;
                done.setBit(v);
                fG.computeGeomVertexNormal(v, fVertexNormal[v]);
            }
    }
    if (fFty.Offset() != 0) {
        fCornerCount.assign(fV0, 0);
        for (uint32_t f : fOrder)
            for (uint32_t k = fG.faceOffset(f); k < fG.faceOffset(f + 1); ++k) ++fCornerCount[fG.getStartVertex(k)];
    }
    std::vector<uint32_t> faces, pieceEnds;
    splitIntoPieces(faces, pieceEnds);
    fAllDuplicated = fOrder.size() == fF0;
    if (fAllDuplicated)
        for (uint32_t f = 0; f < fF0; ++f) duplicateReversed(f);
    fBorderCount.assign(fV0, 0);
    fInteriorTop.assign(fE0, kNone);
    std::vector<uint32_t> counted;
    uint32_t first = 0;
    for (uint32_t pieceEnd : pieceEnds) {
        for (uint32_t v : fMade) fTopVertex[v] = kNone;
        fMade.clear();
        for (uint32_t v : counted) fBorderCount[v] = 0;
        counted.clear();
        for (uint32_t p = first; p < pieceEnd; ++p)
            for (uint32_t k = fG.faceOffset(faces[p]); k < fG.faceOffset(faces[p] + 1); ++k) {
                if (!fBorder.testBit(k) || degenerate(k)) continue;
                const uint32_t e = fG.getEdge(k);
                for (uint32_t v : {fG.startVertex(e), fG.endVertex(e)}) {
                    if (fBorderCount[v]++ == 0) counted.push_back(v);
                }
            }
        for (uint32_t p = first; p < pieceEnd; ++p) {
            const uint32_t f = faces[p];
            if (!fAllDuplicated && isolated(f)) duplicateReversed(f);
            if (fLocal) faceFrame(f);
            const uint32_t begin = fG.faceOffset(f), end = fG.faceOffset(f + 1);
            fSource.clear();
            for (uint32_t k = begin; k < end; ++k) fSource.push_back(fG.getStartVertex(k));
            fWallBegin[f] = fG.nbFace();
            for (uint32_t k = begin; k < end; ++k) {
                const uint32_t e = fG.getEdge(k);
                for (uint32_t v : {fG.startVertex(e), fG.endVertex(e)})
                    if (fTopVertex[v] == kNone) {
                        makeRow(v, fBorderCount[v] > 0);
                        if (fBorderCount[v] == 0) counted.push_back(v);
                    }
                if (fBorder.testBit(k)) {
                    const uint32_t a = fG.startVertex(e), b = fG.endVertex(e);
                    wall(k, fLocal ? float(fBorderCount[a]) : 1.0f, fLocal ? float(fBorderCount[b]) : 1.0f);
                } else {
                    interiorEntry(k);
                }
            }
            fWallEnd[f] = fG.nbFace();
            if (fFty.Offset() != 0) insetShared(f);
        }
        first = pieceEnd;
    }
}

// Rows of values (UVs or colours) for the walls: each value at a walled entry's ends gets d
// copies, one per row (per face when separate, once per action when together); a wall's corners
// take the values below and at its row, and the caps' corners the top copies. Reversed copies of
// faces get their own copies of their source corners' values. ids already span every corner.
template <typename Set>
void TextrudeRun::carryRows(Set& set) {
    Tint32Array& ids = set.indexArray();
    auto& values = set.values();
    const uint32_t n0 = values.size();
    auto valid = [n0](int32_t id) { return id >= 0 && uint32_t(id) < n0; };
    auto copyOf = [&](int32_t id) {
        if (!valid(id)) return int32_t(-1);
        const auto value = values[uint32_t(id)];
        values.addLast(value);
        return int32_t(values.size() - 1);
    };
    for (uint32_t f = 0; f < fF0; ++f) {
        if (fCopy[f] == kNone) continue;
        const uint32_t begin = fG.faceOffset(f), end = fG.faceOffset(f + 1), copy = fG.faceOffset(fCopy[f]);
        for (uint32_t loop = begin; loop < end;) {
            uint32_t last = loop;
            while (last + 1 < end && !fG.endOfLoop(last)) ++last;
            for (uint32_t m = 0; m <= last - loop; ++m)
                ids[copy + (loop - begin) + m] = copyOf(ids[m == 0 ? loop : last - m + 1]);
            loop = last + 1;
        }
    }
    std::vector<int32_t> row(n0, -1), touched;
    auto rowOf = [&](int32_t id) {
        if (!valid(id)) return int32_t(-1);
        if (row[uint32_t(id)] < 0) {
            row[uint32_t(id)] = int32_t(values.size());
            const auto value = values[uint32_t(id)];
            for (uint32_t i = 0; i < fD; ++i) values.addLast(value);
            touched.push_back(id);
        }
        return row[uint32_t(id)];
    };
    auto at = [](int32_t r, uint32_t i) { return r < 0 ? int32_t(-1) : r + int32_t(i); };
    auto lift = [&](uint32_t f) {
        for (uint32_t k = fG.faceOffset(f); k < fG.faceOffset(f + 1); ++k)
            if (valid(ids[k]) && row[uint32_t(ids[k])] >= 0) ids[k] = row[uint32_t(ids[k])] + int32_t(fD) - 1;
    };
    for (uint32_t f : fOrder) {
        const uint32_t begin = fG.faceOffset(f), end = fG.faceOffset(f + 1);
        if (ids[begin] < 0) continue;
        if (!fTogether) {
            for (int32_t id : touched) row[uint32_t(id)] = -1;
            touched.clear();
        }
        uint32_t wallFace = fWallBegin[f];
        for (uint32_t loop = begin; loop < end;) {
            uint32_t last = loop;
            while (last + 1 < end && !fG.endOfLoop(last)) ++last;
            for (uint32_t k = loop; k <= last; ++k) {
                if ((fTogether && !fBorder.testBit(k)) || degenerate(k)) continue;
                const int32_t a = valid(ids[k]) ? ids[k] : -1;
                const int32_t b = valid(ids[k == last ? loop : k + 1]) ? ids[k == last ? loop : k + 1] : -1;
                const int32_t ra = rowOf(a), rb = rowOf(b);
                for (uint32_t i = 0; i < fD; ++i, ++wallFace) {
                    const uint32_t o = fG.faceOffset(wallFace);
                    ids[o] = i == 0 ? a : at(ra, i - 1);
                    ids[o + 1] = i == 0 ? b : at(rb, i - 1);
                    ids[o + 2] = at(rb, i);
                    ids[o + 3] = at(ra, i);
                }
            }
            loop = last + 1;
        }
        if (!fTogether) lift(f);
    }
    if (fTogether)
        for (uint32_t f : fOrder) lift(f);
}

void TextrudeRun::joinGroups(int activeName) {
    const uint32_t faces = fG.nbFace();
    for (uint32_t g = 0; g < fG.nbGroup(); ++g) {
        TpolyGrpDesc& d = fG.group(g);
        if (d.fType != kPolyGrpFace || d.fName == activeName || d.data()) continue;
        TsingleIndexedComponent* list = d.singleItems();
        if (!list || list->elementCount() == 0) continue;
        TbitFieldFixedN add(faces);
        bool any = false;
        for (uint32_t f : *list) {
            if (f >= fF0) break;
            if (fCopy[f] != kNone) add.setBit(fCopy[f]), any = true;
            for (uint32_t w = fWallBegin[f]; w < fWallEnd[f]; ++w) add.setBit(w), any = true;
        }
        if (!any) continue;
        TsingleIndexedComponent extra;
        extra.convertFromFlags(add);
        list->merge(extra);
    }
}

void TextrudeRun::keepUserNormals() {
    if (!fG.hasUserNormals()) return;
    fG.update(dirtyNormalTopo);
    fOldNormalIds.copy(fG.norm()->fNormalIds);
    fG.saveUserNormal(fOldUserNormals);
    fHadUserNormal.resizeArray(fOldNormalIds.size());
    for (uint32_t o = 0; o < fOldNormalIds.size(); ++o)
        if (fG.getValidUserNormal(fOldNormalIds[o])) fHadUserNormal.setBit(o);
}

// The corners of the faces as they were keep their offsets. Where a corner's normal id changed,
// its user normal moves to the new id, turned as a normal under the row scale (a negative scale
// of one or three axes turns it over); a new id that only corners without one reach loses any
// stale value. A reversed bottom copy takes its source corners' user normals.
void TextrudeRun::restoreUserNormals() {
    if (fOldNormalIds.empty()) return;
    fG.update(dirtyFaceOffsets | dirtyNormalTopo | dirtyVertexNormals);
    const T4dFltVector& scale = fFty.Scale();
    const float k = ((scale.x < 0) + (scale.y < 0) + (scale.z < 0)) % 2 ? -1.0f : 1.0f;
    const uint32_t* ids = fG.normFaceData();
    const uint32_t n = std::min(fOldNormalIds.size(), fG.nbNormalRef());
    for (uint32_t o = 0; o < n; ++o)
        if (ids[o] != fOldNormalIds[o] && !fHadUserNormal.testBit(o)) fG.resetUserNormal(ids[o]);
    for (uint32_t o = 0; o < n; ++o) {
        if (ids[o] == fOldNormalIds[o] || !fHadUserNormal.testBit(o)) continue;
        T4dFltVector v = fOldUserNormals[fOldNormalIds[o]];
        for (int c = 0; c < 3; ++c)
            if (scale[c] != 0) v[c] *= k / scale[c];
        v.normalize();
        fG.setUserNormal(ids[o], v);
    }
    if (!fAllDuplicated) return;
    // The copy of face f is face F0 + f with each loop at the same place, its corners those of
    // the loop in reverse order from the same first vertex: copy corner j of a loop of n stands
    // at the source corner (n - j) mod n.
    for (uint32_t f = 0; f < fF0; ++f) {
        const uint32_t from = fG.faceOffset(f), end = fG.faceOffset(f + 1), to = fG.faceOffset(fF0 + f);
        for (uint32_t loop = from; loop < end;) {
            uint32_t last = loop;
            while (last + 1 < end && !fG.endOfLoop(last)) ++last;
            const uint32_t count = last - loop + 1;
            for (uint32_t j = 0; j < count; ++j) {
                const uint32_t source = loop + (count - j) % count;
                if (source < fHadUserNormal.size() && fHadUserNormal.testBit(source))
                    fG.setUserNormal(fG.getNormalId(to + (loop - from) + j), fOldUserNormals[fOldNormalIds[source]]);
            }
            loop = last + 1;
        }
    }
}

void TextrudeRun::smoothNewFaces() {
    const uint32_t first = fAllDuplicated ? 2 * fF0 : fF0;
    if (first >= fG.nbFace()) return;
    const int32_t faceName = fG.getFreeTmpGrpName();
    const uint32_t fg = fG.bgnGroup(faceName, kPolyGrpFace);
    fG.appendBlock(fg, first, fG.nbFace() - 1);
    fG.endGroup(fg);
    const int32_t edgeName = fG.getFreeTmpGrpName();
    fG.convertGroup(faceName, kPolyGrpFace, edgeName, kPolyGrpEdge, 1);
    TpolySoftEdgeFty::smoothGroup(&fG, edgeName, float(fFty.SmoothingAngle()));
    fG.removeGroup(edgeName, kPolyGrpEdge);
    fG.removeGroup(faceName, kPolyGrpFace);
}

void TextrudeRun::run(int activeName) {
    fTogether = fFty.ExtrudeMode();
    fRandom = fFty.Random() != 0 && !fFty.usingCurve();
    const T4dFltVector &ls = fFty.LScale(), &lt = fFty.LTrans();
    fLocal = !(ls.x == 1 && ls.y == 1 && ls.z == 1 && fFty.LRotate().isZero() && lt.x == 0 && lt.y == 0 && lt.z == 0);
    fCentre =
        T3dFltPoint(fFty.Pivot().x - fFty.Trans().x, fFty.Pivot().y - fFty.Trans().y, fFty.Pivot().z - fFty.Trans().z);
    fG.update(dirtyFaceOffsets | dirtyEdgeToFace | dirtyFaceNormalize);
    keepUserNormals();
    for (uint32_t f = 0; f < fF0; ++f)
        if (fSelected.testBit(f)) fOrder.push_back(f), fCorners += fG.faceVertexCount(f);
    if (fRandom) srand48(fFty.RandomSeed());
    makeRowMatrices();
    TuInt32Array creased(256);
    TdoubleArray values(256);
    if (fG.getCreaseEdges(creased, values)) {
        fCrease.assign(fE0, -1.0);
        for (uint32_t i = 0; i < creased.size() && i < values.size(); ++i)
            if (creased[i] < fE0) fCrease[creased[i]] = values[i];
    }
    fTopVertex.assign(fV0, kNone);
    fTopEdge.assign(fV0, kNone);
    fCopy.assign(fF0, kNone);
    fWallBegin.assign(fF0, 0);
    fWallEnd.assign(fF0, 0);
    if (fTogether)
        extrudeTogether();
    else
        extrudeSeparately();

    if (!fNewCreaseEdges.empty()) fG.setCreaseEdges(fNewCreaseEdges, fNewCreaseValues);
    fG.markDirty(dirtyAll);
    TpolyCompact::removeUnusedEdges(fG, nullptr);
    TpolyCompact::removeUnusedVertices(fG, nullptr);
    fG.update(dirtyFaceOffsets);
    const uint32_t corners = fG.faceDescLength();
    auto pad = [corners](Tint32Array& ids) {
        const uint32_t had = ids.size();
        ids.changeLogicalSizeTo(corners);
        for (uint32_t k = had; k < corners; ++k) ids[k] = -1;
    };
    for (uint32_t s = 0; s < fG.nbMapSet(); ++s) {
        TpolyMap& set = (*fG.maps())[s];
        pad(set.indexArray());
        carryRows(set);
    }
    for (uint32_t s = 0; s < fG.nbColorSet(); ++s) {
        TpolyColor& set = (*fG.colors())[s];
        pad(set.indexArray());
        carryRows(set);
    }
    joinGroups(activeName);
    restoreUserNormals();
    fG.markDirty(dirtyAll);
    smoothNewFaces();
}

}  // namespace

void TpolyExtrudeFacetFty::calcMatrix(const T3dFltPoint& centre, const TrotateXYZ& rotate, const T4dFltVector& scale,
                                      const T4dFltVector& translate, T4dFltMatrix& out, float t) {
    TrotateXYZ r = rotate;
    r.x *= t, r.y *= t, r.z *= t;
    const T4dFltVector s((scale.x - 1) * t + 1, (scale.y - 1) * t + 1, (scale.z - 1) * t + 1);
    const T4dFltVector tr(translate.x * t, translate.y * t, translate.z * t);
    TpolyMoveVertexFty::calcMatrix(centre, Tquaternion(r), centre, s, tr, out);
}

int TpolyExtrudeFacetFty::action(TmidBody* body, TmidComponent* components) {
    TpolyGeom* geom = body ? body->polyGeom() : nullptr;
    if (!geom) return -1;
    // A refusal puts the current face group back as it was, since the list replaces it.
    const bool existed = geom->hasObjectGroup(-1, kPolyGrpFace);
    TsingleIndexedComponent previous;
    if (const TsingleIndexedComponent* list = existed ? geom->objectGroupComponent(-1, kPolyGrpFace) : nullptr)
        previous.copyData(*list);
    auto refuse = [&] {
        if (!components) return -1;
        if (!existed)
            geom->removeGroup(-1, kPolyGrpFace);
        else
            geom->setObjectGroupComponent(-1, kPolyGrpFace, previous);
        return -1;
    };
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpFace, name)) return -1;
    TbitFieldFixedN selected;
    if (geom->flagsFromGroup(kPolyGrpFace, name, selected) <= 0) return refuse();
    if (fDivisions < 1) fDivisions = 1;
    // Refuse, before anything changes, a run whose new ids would not fit the edge id field.
    uint64_t corners = 0;
    geom->update(dirtyFaceOffsets);
    for (uint32_t f = 0; f < geom->nbFace(); ++f)
        if (selected.testBit(f)) corners += geom->faceVertexCount(f);
    if (geom->nbEdge() + 2 * corners * uint64_t(fDivisions) + corners >= TpolyBits::kEdgeMask ||
        geom->faceDescLength() + 5 * corners * uint64_t(fDivisions) >= TpolyBits::kEdgeMask)
        return refuse();
    T4dDblMatrix frameMatrix = Matrix();
    TpolyReferenceFrame frame;
    if (!frame.enter(geom, frameMatrix, false)) return refuse();
    TextrudeRun(*this, *geom, uint32_t(fDivisions), selected).run(name);
    frame.leave(true);
    return 0;
}
