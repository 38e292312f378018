// Face geometry of the editable geometry and the subdivision of a face around its centre.
#include <algorithm>

#include "brindle/base/VectorMath.h"
#include "brindle/edit/PolyEditableGeom.h"
#include "brindle/geom/PolyNorm.h"

namespace {
// A colour whose alpha is this large marks a set without a centre colour.
constexpr float kNoColorAlpha = 3.4028235e38f;
}  // namespace

void TpolyEditableGeom::getFaceNormal(uint32_t face, T4dFltVector& normal) const {
    const TfaceNode& f = fFaces.fNodes[face];
    T3dDblVector sum;
    for (uint32_t k = 0; k < f.fCount; ++k)
        addNewellSide(sum, fVertices[getStartVertexInFace(f, k)], fVertices[getEndVertexInFace(f, k)]);
    normal = sum.vector();
}

void TpolyEditableGeom::getFaceCenter(uint32_t face, TpolyFaceInfo info, T3dFltPoint& centre) const {
    const TfaceNode& f = fFaces.fNodes[face];
    uint32_t first, end;
    f.loopBounds(0, first, end);
    centre = T3dFltPoint();
    float weight = 0;
    for (uint32_t k = 0; k < end; ++k) {
        const T3dFltPoint& a = fVertices[getStartVertexInFace(f, k)];
        if (info == kFaceInfoCornerMean) {
            centre = centre + a;
            weight += 1;
            continue;
        }
        // Each outline edge counts at its midpoint, weighted by its length.
        const T3dFltPoint d = fVertices[getEndVertexInFace(f, k)] - a;
        const float len = float(length(d));
        centre = centre + (a + d * 0.5f) * len;
        weight += len;
    }
    if (weight > 0) centre = centre * (1 / weight);
}

bool TpolyEditableGeom::getUVFaceCenter(uint32_t face, uint32_t set, T2FloatPair& uv) {
    const TfaceNode& f = fFaces.fNodes[face];
    uv = T2FloatPair{0, 0};
    for (uint32_t k = 0; k < f.fCount; ++k) {
        const int32_t id = getUVId(k, set, f);
        if (id < 0) return false;
        uv.u += fUVs[set][uint32_t(id)].u / float(f.fCount);
        uv.v += fUVs[set][uint32_t(id)].v / float(f.fCount);
    }
    return f.fCount > 0;
}

bool TpolyEditableGeom::getColorFaceCenter(uint32_t face, uint32_t set, TpolyColorValue& colour) {
    const TfaceNode& f = fFaces.fNodes[face];
    colour = TpolyColorValue{0, 0, 0, 0};
    for (uint32_t k = 0; k < f.fCount; ++k) {
        const int32_t id = getColorId(k, set, f);
        if (id < 0) return false;
        const TpolyColorValue& c = fColors[set][uint32_t(id)];
        const float w = 1 / float(f.fCount);
        colour = TpolyColorValue{colour.r + c.r * w, colour.g + c.g * w, colour.b + c.b * w, colour.a + c.a * w};
    }
    return f.fCount > 0;
}

bool TpolyEditableGeom::subdivideFace(uint32_t face, const T3dFltPoint& centre, const T2FloatArray* centreUVs,
                                      const TpolyColorValueArray* centreColors, uint32_t index,
                                      bool interpolateNormals) {
    TfaceNode* found = fFaces.find(face);
    if (!found || found->fCount < 3 || found->faceOrder() != 1) return false;
    TfaceNode& f = *found;
    fMidpoints.resize(vertexCount());
    auto isMid = [&](uint32_t k) { return fMidpoints[getStartVertexInFace(f, k)]; };
    uint32_t corners = 0;
    for (uint32_t k = 0; k < f.fCount; ++k) corners += isMid(k) ? 0 : 1;
    if (corners < 3) return false;
    setFacePadding(2 * f.fCount);

    // Every edge from a corner to a corner is split at its middle; an edge a neighbour's
    // subdivision already split keeps its midpoint.
    TuInt32Array toSplit(16);
    for (uint32_t k = 0; k < f.fCount; ++k)
        if (!isMid(k) && !isMid(f.nextInLoop(k))) toSplit.addLast(f.getEdge(k));
    for (uint32_t e : toSplit) {
        uint32_t ne, nv;
        splitEdge(e, 0.5f, ne, nv);
        fMidpoints.resize(vertexCount());
        fMidpoints[nv] = true;
    }

    Talloca scratch;
    const uint32_t nUV = fNbUVSets, nCol = fNbColorSets;
    int32_t* cuv = scratch.allocateArray<int32_t>(nUV + 1);
    int32_t* ccol = scratch.allocateArray<int32_t>(nCol + 1);
    for (uint32_t s = 0; s < nUV; ++s)
        cuv[s] = centreUVs && isMapped(f, s) && index < centreUVs[s].size() ? createUV(centreUVs[s][index], s) : -1;
    for (uint32_t s = 0; s < nCol; ++s) {
        const bool has = centreColors && index < centreColors[s].size() && getColorId(0, s, f) >= 0 &&
                         centreColors[s][index].a < kNoColorAlpha;
        ccol[s] = has ? createColor(centreColors[s][index], s) : -1;
    }
    int32_t cnrm = -1;
    if (interpolateNormals && hasUserNormals()) {
        T4dFltVector sum;
        for (uint32_t k = 0; k < f.fCount; ++k)
            if (const int32_t n = validNormal(getUserNormal(k, f)); n >= 0) {
                const T4dFltVector& v = fUserNormals[uint32_t(n)];
                sum = T4dFltVector(sum.x + v.x, sum.y + v.y, sum.z + v.z);
            }
        if (sum.normalize()) cnrm = int32_t(fUserNormals.append(sum));
    }
    const uint32_t c = createVertex(centre);

    // Midpoint corners in loop order, each with its spoke to the centre and its edge list.
    uint32_t* mids = scratch.allocateArray<uint32_t>(f.fCount);
    uint32_t nMid = 0;
    for (uint32_t k = 0; k < f.fCount; ++k)
        if (isMid(k)) mids[nMid++] = k;
    uint32_t* spokes = scratch.allocateArray<uint32_t>(nMid);
    std::vector<TuInt32Array> lists(nMid);
    for (uint32_t j = 0; j < nMid; ++j) {
        const uint32_t m = getStartVertexInFace(f, mids[j]);
        if (fMode & kModeVertexInfo) getVertexEdges(m, lists[j]);
        spokes[j] = createEdge(m, c, false, false);
    }

    // Quad j runs from midpoint j along the boundary to midpoint j + 1, then to the centre and
    // back. All are assembled before the face is rebuilt, as the rebuild reuses its slots.
    std::vector<Tpiece> quads;
    quads.reserve(nMid);
    for (uint32_t j = 0; j < nMid; ++j) {
        const uint32_t next = mids[(j + 1) % nMid];
        Tpiece& q = quads.emplace_back(scratch, f.fCount + 2, nUV, nCol);
        for (uint32_t k = mids[j]; k != next; k = f.nextInLoop(k)) pushFaceCorner(q, f, k);
        const uint32_t at = q.n;
        pushFaceCorner(q, f, next);  // the corner at midpoint j + 1 lends its attributes
        q.refs[at] = spokes[(j + 1) % nMid];
        pushCorner(q, spokes[j] | TpolyBits::kReversedUse, cuv, ccol, cnrm);
        q.refs[q.n - 1] |= TpolyBits::kEndOfLoop | TpolyBits::kEndOfFace;
    }
    rebuildFace(face, quads[0].refs, quads[0].n, quads[0].uv, quads[0].col, quads[0].nrm, fMode);
    for (uint32_t j = 1; j < nMid; ++j)
        createFace(quads[j].refs, quads[j].n, quads[j].uv, quads[j].col, quads[j].nrm, int32_t(face), fMode);

    if (fMode & kModeVertexInfo) {
        TuInt32Array all(16);
        for (uint32_t j = 0; j < nMid; ++j) {
            lists[j].addLast(spokes[j]);
            setVertexEdges(fEdges[spokes[j]].start(), lists[j]);
            all.addLast(spokes[j]);
        }
        setVertexEdges(c, all);
    }
    return true;
}
