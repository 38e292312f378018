#include "brindle/ops/PolySplitFty.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "brindle/base/VectorMath.h"
#include "brindle/edit/PolyEditableGeom.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/EdgeRingIterator.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolySplitFty, TmidModifierFty);
BRINDLE_DEFINE_MODIFIER_CLASS(TpolySplitFaceFty, TmidModifierFty);
BRINDLE_DEFINE_MODIFIER_CLASS(TpolySplitRingFty, TmidModifierFty);

namespace {
const TmodifierParamTable sSplitParams(
    TpolySplitFty::sMetaclass,
    {BRINDLE_MODIFIER_PARAM(TpolySplitFty, Subd, "kept with the parameters; the cut does not read it", 1, 4),
     BRINDLE_MODIFIER_PARAM(TpolySplitFty, SmoothingAngle,
                            "radians: new edges between faces meeting at a smaller angle are soft", 0, kPi),
     BRINDLE_MODIFIER_PARAM(TpolySplitFty, Zelto70, "kept with the parameters; the cut does not read it")});
const TmodifierParamTable sRingParams(
    TpolySplitRingFty::sMetaclass, kPolyGrpEdge,
    {BRINDLE_MODIFIER_PARAM_GETTER(TpolySplitRingFty, RootEdge, rootEdge, "the selected edge the ring runs through", 0),
     BRINDLE_MODIFIER_PARAM(
         TpolySplitRingFty, StartWeight,
         "where each ring edge is cut: a fraction, or with AbsoluteWeight a share of the root edge's length", 0, 1),
     BRINDLE_MODIFIER_PARAM(TpolySplitRingFty, AbsoluteWeight,
                            "cut at a constant distance from one side rather than at a fraction"),
     BRINDLE_MODIFIER_PARAM(TpolySplitRingFty, Direction,
                            "measure from the side of the root edge's start (true) or its end"),
     BRINDLE_MODIFIER_PARAM(TpolySplitRingFty, SmoothAngle,
                            "radians: new edges between faces meeting at a smaller angle are soft", 0, kPi)});

constexpr uint32_t kEdgePoint = 0x80000000u, kFaceFlag = 0x40000000u, kIdMask = 0x3fffffffu;
constexpr float kAtVertex = 1e-5f;

bool strictlyInside(float t) { return t > kAtVertex && t < 1 - kAtVertex; }

// The vertex an edge point at an end of its edge stands on.
uint32_t endVertex(const TpolyEditableGeom& edit, uint32_t edge, float t) {
    return t <= kAtVertex ? edit.getStartVertex(edge) : edit.getEndVertex(edge);
}

T3dFltPoint pointOnEdge(const TpolyEditableGeom& edit, uint32_t edge, float t) {
    const T3dFltPoint& a = edit.vertex(edit.getStartVertex(edge));
    return a + (edit.vertex(edit.getEndVertex(edge)) - a) * t;
}

T4dFltVector vectorOf(const T3dFltPoint& p) { return T4dFltVector(p.x, p.y, p.z); }
}  // namespace

// --- General split -------------------------------------------------------------------------------

int32_t TpolySplitFty::segmentFace(TpolyEditableGeom& edit, uint32_t prevEdge, float prevT, uint32_t edge, float t,
                                   int32_t prevFace) const {
    TuInt32Array faces(8);
    if (edit.getFaceId(prevEdge, edge, faces) >= 0) {
        if (!fZelto70 || faces.size() < 2) return int32_t(faces[0]);
        // The cut runs inside a face when it leaves the previous edge towards the side of the
        // face's interior: the left of the edge as the face's loop runs, about its normal.
        TfaceNode& f = edit.face(faces[0]);
        const uint32_t k = f.findEdgeInFace(prevEdge);
        const T3dFltPoint along =
            edit.vertex(edit.getEndVertexInFace(f, k)) - edit.vertex(edit.getStartVertexInFace(f, k));
        T4dFltVector normal, inward;
        edit.getFaceNormal(faces[0], normal);
        inward.setToCrossProduct(normal, vectorOf(along));
        const T4dFltVector cut = vectorOf(pointOnEdge(edit, edge, t) - pointOnEdge(edit, prevEdge, prevT));
        return int32_t(inward.dot(cut) > 0 ? faces[0] : faces[1]);
    }
    if (strictlyInside(prevT)) return -1;
    const uint32_t from = endVertex(edit, prevEdge, prevT);
    if (strictlyInside(t)) return edit.getVtxFaceId(from, edge);
    const uint32_t to = endVertex(edit, edge, t);
    return from == to ? prevFace : edit.getVtxVtxFaceId(from, to);
}

int TpolySplitFty::action(TmidBody* body, TmidComponent*) {
    TpolyGeom* geom = body ? body->polyGeom() : nullptr;
    if (!geom || fNbDesc <= 0 || !fDesc || !fPercents || fNbPercents < fNbDesc) return -1;
    const uint32_t n = uint32_t(fNbDesc);
    uint32_t edgePoints = 0;
    for (uint32_t k = 0; k < n; ++k) {
        const uint32_t d = uint32_t(fDesc[k]);
        if (d & kEdgePoint) {
            // A position along the edge outside [0, 1] (NaN included) names no point of it.
            if ((d & kFaceFlag) || (d & kIdMask) >= geom->nbEdge() || !(fPercents[k] >= 0 && fPercents[k] <= 1))
                return -1;
            ++edgePoints;
        } else if ((d & kIdMask) >= uint32_t(std::max(fNbPoints, 0)) || !fPoints || !(fPercents[k] >= 0)) {
            return -1;
        }
    }
    if (int64_t(n) != int64_t(fNbPoints) + edgePoints) return -1;

    geom->update(dirtyFaceOffsets | dirtyEdgeToFace | dirtyNormalTopo);
    TpolyEditableGeom edit(geom, TpolyEditableGeom::kModeAll);
    Tint32Array faces(n), descriptors(n);
    TfloatArray fractions(n);
    T3dFltPointArray points(uint32_t(fNbPoints) + 1);
    points.append(fPoints, uint32_t(fNbPoints));
    uint32_t prevEdge = TpolyBits::kNoId;
    float prevT = -1;
    for (uint32_t k = 0; k < n; ++k) {
        const uint32_t d = uint32_t(fDesc[k]);
        int32_t face = -1;
        if (!(d & kEdgePoint)) {
            face = int32_t(fPercents[k]);
            prevEdge = TpolyBits::kNoId, prevT = -1;
        } else {
            const uint32_t edge = d & kIdMask;
            const float t = fPercents[k];
            if (k > 0 && prevEdge == TpolyBits::kNoId) {
                face = faces.last();
            } else if (k > 0) {
                face = segmentFace(edit, prevEdge, prevT, edge, t, faces.last());
                if (face < 0) return -1;
            }
            prevEdge = edge, prevT = t;
        }
        faces.addLast(face);
        descriptors.addLast(fDesc[k]);
        fractions.addLast(fPercents[k]);
    }
    // A three-point path that comes back to its first point is the cut between the first two.
    if (n == 3 && (uint32_t(fDesc[0]) & kIdMask) == (uint32_t(fDesc[2]) & kIdMask)) {
        faces.removeLast();
        descriptors.removeLast();
        fractions.removeLast();
    }
    if (!edit.splitManyFaces(faces, fractions, descriptors, points, uint32_t(std::max(fSubd, 1)), fZelto70,
                             std::cos(fSmoothingAngle)))
        return -1;
    body->setMidBody(edit.convert(true, true, nullptr));
    return 0;
}

// --- Face split ----------------------------------------------------------------------------------

int TpolySplitFaceFty::action(TmidBody* body, TmidComponent*) {
    TpolyGeom* geom = body ? body->polyGeom() : nullptr;
    if (!geom || fBoundary.empty()) return -1;
    for (const TboundaryPoint& p : fBoundary)
        if (p.edge >= geom->nbEdge() || !(p.t >= 0 && p.t <= 1)) return -1;
    geom->update(dirtyFaceOffsets | dirtyEdgeToFace | dirtyNormalTopo);
    TpolyEditableGeom edit(geom, TpolyEditableGeom::kModeAll);
    const uint32_t firstNew = edit.vertexCount();
    const TboundaryPoint& first = fBoundary[0];
    // Where the first cut starts: its edge's end when the point stands on one, else the vertex
    // that the first cut makes on the edge, which is the first new vertex.
    const uint32_t start = strictlyInside(first.t) ? firstNew : endVertex(edit, first.edge, first.t);
    const T3dFltPointArray noPoints;
    const double cosAngle = std::cos(fSmoothAngle);
    std::vector<uint32_t> cuts;
    uint32_t from = first.edge, at = TpolyBits::kNoId;
    float fromT = first.t;
    for (size_t i = 1; i < fBoundary.size(); ++i) {
        const bool closes = fBoundary[i].edge == first.edge;
        const int32_t arrived =
            closes ? edit.splitAFace(from, fromT, start, -1, noPoints, true, 0, -1, cosAngle)
                   : edit.splitAFace(from, fromT, fBoundary[i].edge, fBoundary[i].t, noPoints, true, 0, -1, cosAngle);
        if (arrived < 0) {
            if (i == 1) return -1;
            break;
        }
        bool reversed;
        cuts.push_back(edit.edgeBetween(i == 1 ? start : at, uint32_t(arrived), reversed));
        at = uint32_t(arrived), from = at, fromT = -1;
        if (closes) break;
    }
    TpolyGeom* out = edit.convert(true, true, nullptr);
    TbitFieldFixedN inserted(out->nbEdge());
    for (uint32_t e : cuts)
        if (e < out->nbEdge()) inserted.setBit(e);
    out->flagsToGroup(kPolyGrpEdge, -1, inserted);
    body->setMidBody(out);
    return 0;
}

// --- Edge-ring split -----------------------------------------------------------------------------

void TpolySplitRingFty::computeWeights(const TpolyGeom& geom, const TpolySplitRingEdgeFtyOptions& options,
                                       TpolySplitRingEdgeFtyData& data) {
    const uint32_t n = data.edges.size();
    data.weights.changeLogicalSizeTo(n);
    const float w = options.startWeight;
    if (!options.absoluteWeight) {
        for (uint32_t i = 0; i < n; ++i) data.weights[i] = data.flips[i] ? 1 - w : w;
        return;
    }
    data.lengths.changeLogicalSizeTo(n);
    data.shortestLength = std::numeric_limits<float>::max();
    for (uint32_t i = 0; i < n; ++i) {
        const TpolyEdge& e = geom.edgeArray()[uint32_t(data.edges[i])];
        const T3dFltPoint d = geom.vertexConst(e.end()) - geom.vertexConst(e.start());
        data.lengths[i] = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        data.shortestLength = std::min(data.shortestLength, data.lengths[i]);
        if (uint32_t(data.edges[i]) == options.rootEdge) data.rootLength = data.lengths[i];
    }
    const float distance = std::min((options.direction ? w : 1 - w) * data.rootLength, data.shortestLength);
    for (uint32_t i = 0; i < n; ++i) {
        float weight = data.lengths[i] > 0 ? distance / data.lengths[i] : 0;
        if (!options.direction) weight = 1 - weight;
        if (data.flips[i]) weight = 1 - weight;
        data.weights[i] = weight;
    }
}

bool TpolySplitRingFty::initializeSplitRingInfo(const TpolyGeom* geom, TpolySplitRingEdgeFtyOptions& options,
                                                TpolySplitRingEdgeFtyData& data) {
    auto* g = const_cast<TpolyGeom*>(geom);
    TbitFieldFixedN selected;
    if (!g || options.rootEdge >= g->nbEdge() || g->flagsFromGroup(kPolyGrpEdge, -1, selected) <= 0 ||
        !selected.testBit(options.rootEdge))
        return false;
    g->update(dirtyFaceOffsets | dirtyEdgeToFace | dirtyVertexToEdge);
    std::vector<std::pair<int32_t, uint32_t>> before;  // the other way, nearest the root first
    data.edges.clear();
    data.flips.clear();
    data.edges.buffer(g->nbEdge() / 10 + 1);
    data.edges.addLast(int32_t(options.rootEdge));
    data.flips.addLast(0);
    TedgePathIterator path(g, options.rootEdge, selected);
    for (uint32_t e = path.next(); e != TpolyBits::kNoId; e = path.next()) {
        data.edges.addLast(int32_t(e));
        data.flips.addLast(path.direction() == kReversed ? 1 : 0);
    }
    data.closed = path.isClosed();
    if (!data.closed) {
        path.reset(options.rootEdge, true);
        for (uint32_t e = path.next(); e != TpolyBits::kNoId; e = path.next())
            before.emplace_back(int32_t(e), path.direction() == kReversed ? 1u : 0u);
        for (const auto& [e, flip] : before) {
            data.edges.insert(0, e);
            data.flips.insert(0, flip);
        }
    }
    computeWeights(*g, options, data);
    return true;
}

int TpolySplitRingFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpEdge, name)) return -1;
    TpolyGeom* geom = body->polyGeom();
    if (fRootEdge < 0) {
        const TsingleIndexedComponent* list = geom->objectGroupComponent(-1, kPolyGrpEdge);
        if (!list || list->elementCount() == 0) return -1;
        fRootEdge = int32_t(*list->begin());
    }
    fOptions.rootEdge = uint32_t(fRootEdge);
    TuInt32Array flips(256);
    TfloatArray lengths(256), weights(256);
    TpolySplitRingEdgeFtyData data{fRing, flips, lengths, weights};
    if (!initializeSplitRingInfo(geom, fOptions, data) || fRing.empty()) return -1;

    const bool framed = !fWorldMatrix.isIdentity();
    if (framed && !geom->toReference(fWorldMatrix, false, true)) return -1;
    TpolySplitFaceFty split;
    split.beginAllSplits(fRing.size() + 1);
    for (uint32_t i = 0; i < fRing.size(); ++i) split.addEdge(uint32_t(fRing[i]), weights[i]);
    // A closed ring ends on the edge it started from, which closes the loop.
    if (data.closed) split.addEdge(uint32_t(fRing[0]), weights[0]);
    split.setSmoothAngle(fSmoothAngle);
    const int result = split.doAction(body, nullptr);
    if (framed) body->polyGeom()->toReference(fWorldMatrix, true, true);
    return result;
}
