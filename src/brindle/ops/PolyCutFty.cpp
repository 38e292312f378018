#include "brindle/ops/PolyCutFty.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "brindle/base/RotateXYZ.h"
#include "brindle/edit/PolyEditableGeom.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyDeleteFty.h"
#include "brindle/ops/PolyFaceQuery.h"
#include "brindle/ops/PolyNormalFty.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyCutFty, TpolyRemoverFty);

namespace {
const TmodifierParamTable sParams(
    TpolyCutFty::sMetaclass, kPolyGrpFace,
    {BRINDLE_MODIFIER_PARAM(TpolyCutFty, Delete, "delete the faces on the positive side of the plane"),
     BRINDLE_MODIFIER_PARAM(TpolyCutFty, Extract,
                            "without Delete: detach the faces on the positive side and move them by ExtractOffset"),
     BRINDLE_MODIFIER_PARAM(TpolyCutFty, OnObject, "kept with the parameters; the cut does not read it", 0, 1)});

constexpr double kAtEnd = 1e-6;

double side(const T3dDblPoint& n, const T3dFltPoint& p) { return n.x * p.x + n.y * p.y + n.z * p.z; }
}  // namespace

void TpolyCutFty::plane(T3dDblPoint& normal, double& offset) const {
    const T4dFltVector n =
        rotationMatrixXYZ(float(fRotate.x), float(fRotate.y), float(fRotate.z)).transformVector(T4dFltVector(0, 0, -1));
    normal = {n.x, n.y, n.z};
    offset = normal.x * fCenter.x + normal.y * fCenter.y + normal.z * fCenter.z;
}

void TpolyCutFty::treatPositiveSide(TmidBody* body, const T3dDblPoint& n, double d) {
    TpolyGeom& g = *body->polyGeom();
    g.update(dirtyFaceOffsets);
    TbitFieldFixedN positive(g.nbFace());
    for (uint32_t f = 0; f < g.nbFace(); ++f)
        if (side(n, TpolyFaceQuery::getFaceCenterFromOffset(g, g.faceOffset(f), kFaceInfoOutlineCentre)) > d)
            positive.setBit(f);
    if (!positive.anySet()) return;
    if (fDelete) {
        g.flagsToGroup(kPolyGrpFace, -1, positive);
        TpolyDelFacetFty del;
        del.setIdMapper(idMapper());
        del.doAction(body, nullptr);
        body->polyGeom()->removeObjectGroup(-1, kPolyGrpFace);
        return;
    }
    // After the detach every vertex of a positive face belongs to positive faces only.
    TpolyNormalFty::detachFaces(&g, positive);
    g.update(dirtyFaceOffsets);
    TbitFieldFixedN moved(g.nbVertex());
    for (uint32_t f = 0; f < g.nbFace(); ++f)
        if (positive.testBit(f))
            for (uint32_t o = g.faceOffset(f); o < g.faceOffset(f + 1); ++o) moved.setBit(g.getStartVertex(o));
    const T3dFltPoint offset(float(fExtractOffset.x), float(fExtractOffset.y), float(fExtractOffset.z));
    for (uint32_t v = 0; v < g.nbVertex(); ++v)
        if (moved.testBit(v)) g.vertex(v) = g.vertexConst(v) + offset;
    g.removeObjectGroup(-1, kPolyGrpFace);
    g.markDirty(dirtyAll);
}

int TpolyCutFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpFace, name)) return -1;
    TpolyGeom* geom = body->polyGeom();
    TbitFieldFixedN faces, edges;
    if (geom->flagsFromGroup(kPolyGrpFace, name, faces) < 0) return -1;
    T4dDblMatrix inverse = fMatrix;
    const bool framed = !fMatrix.isIdentity();
    if (framed && !inverse.invertIt()) return -1;
    const uint32_t counts[3] = {geom->nbVertex(), geom->nbEdge(), geom->nbFace()};
    changeIdMapperArraySizes(counts[0], counts[1], counts[2]);
    for (int kind = kPolyGrpVertex; kind <= kPolyGrpFace; ++kind) createDefaultIdMap(kind);

    T3dDblPoint n;
    double d;
    plane(n, d);
    if (framed) {
        geom->toReference(fMatrix, false, true);
        fMatrix = inverse;
    }
    geom->update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
    geom->groupFace2Edge(faces, edges, 1);

    // The crossing of each cut edge: the new vertex, or the end standing on the plane.
    std::vector<uint32_t> crossings;
    std::vector<char> isCrossing(geom->nbVertex(), 0);
    auto mark = [&](uint32_t v) {
        if (v >= isCrossing.size()) isCrossing.resize(v + 1, 0);
        if (!isCrossing[v]) crossings.push_back(v);
        isCrossing[v] = 1;
    };
    // Built only when some edge is split, so that a plane missing the selection costs nothing.
    std::unique_ptr<TpolyEditableGeom> editable;
    for (uint32_t e = 0; e < edges.size(); ++e) {
        if (!edges.testBit(e)) continue;
        const TpolyEdge& edge = geom->edgeArray()[e];
        const T3dFltPoint a = geom->vertexConst(edge.start()), b = geom->vertexConst(edge.end());
        const double sa = side(n, a), sb = side(n, b);
        if ((sa > d) == (sb > d)) continue;
        const double t = (d - sa) / (sb - sa);
        if (t <= kAtEnd) {
            mark(edge.start());
        } else if (t >= 1 - kAtEnd) {
            mark(edge.end());
        } else {
            if (!editable) editable = std::make_unique<TpolyEditableGeom>(geom, TpolyEditableGeom::kModeAll);
            uint32_t newEdge, newVertex;
            if (editable->splitEdge(e, float(t), newEdge, newVertex)) mark(newVertex);
        }
    }

    if (editable) {
        TpolyEditableGeom& edit = *editable;
        // Each face is cut between its crossings taken in pairs along the plane's trace, which
        // joins the right ones in a face the plane crosses more than twice.
        const T3dFltPointArray noPoints;
        std::vector<std::pair<double, uint32_t>> onFace;
        for (uint32_t f = 0; f < faces.size(); ++f) {
            if (!faces.testBit(f) || !edit.faceIfExists(f)) continue;
            const TfaceNode& node = edit.face(f);
            onFace.clear();
            T4dFltVector normal;
            edit.getFaceNormal(f, normal);
            const T3dDblPoint along{n.y * normal.z - n.z * normal.y, n.z * normal.x - n.x * normal.z,
                                    n.x * normal.y - n.y * normal.x};
            for (uint32_t k = 0; k < node.fCount; ++k) {
                const uint32_t v = edit.getStartVertexInFace(node, k);
                if (v < isCrossing.size() && isCrossing[v]) onFace.emplace_back(side(along, edit.vertex(v)), v);
                if (node.endOfLoop(k)) break;
            }
            std::sort(onFace.begin(), onFace.end());
            for (size_t i = 0; i + 1 < onFace.size(); i += 2)
                edit.splitAFace(onFace[i].second, -1, onFace[i + 1].second, -1, noPoints, false, 0,
                                i == 0 ? int32_t(f) : -1, 1.0);
        }
        TpolyGeom* out = edit.convert(true, true, nullptr);
        body->setMidBody(out);
    }
    if (fDelete || fExtract) treatPositiveSide(body, n, d);
    changeIdMapperArraySizes(counts[0], counts[1], counts[2]);
    TpolyGeom* result = body->polyGeom();
    result->markDirty(dirtyMoved);
    if (framed) result->toReference(fMatrix, false, true);
    return 0;
}
