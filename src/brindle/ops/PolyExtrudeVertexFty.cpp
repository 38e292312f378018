#include "brindle/ops/PolyExtrudeVertexFty.h"

#include "brindle/base/Transform.h"
#include "brindle/edit/PolyEditableGeom.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyExtrudeVertexFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(
    TpolyExtrudeVertexFty::sMetaclass, kPolyGrpVertex,
    {BRINDLE_MODIFIER_PARAM(TpolyExtrudeVertexFty, Length,
                            "distance each vertex moves along the unit sum of its faces' normals", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyExtrudeVertexFty, Width,
                            "fraction of each edge, from the selected vertex, at which it is split", 0.05, 0.5),
     BRINDLE_MODIFIER_PARAM(TpolyExtrudeVertexFty, Divisions, "rings of faces round each vertex; below 0 counts as 0",
                            0, 4)});
}  // namespace

void TpolyExtrudeVertexFty::collectVertexNormals(TpolyGeom& geom, const TbitFieldFixedN& selected,
                                                 T4dFltVectorArray& offsets) const {
    offsets.create(geom.nbVertex());
    geom.update(dirtyFaceOffsets | dirtyFaceVectors | dirtyFaceNormalize);
    T4dFltVector n;
    for (uint32_t f = 0; f < geom.nbFace(); ++f) {
        bool normal = false;
        for (uint32_t o = geom.faceOffset(f); o < geom.faceOffset(f + 1); ++o) {
            const uint32_t v = geom.getStartVertex(o);
            if (!selected.testBit(v)) continue;
            if (!normal) geom.getFaceNormal(f, n), normal = true;
            offsets[v].x += n.x, offsets[v].y += n.y, offsets[v].z += n.z;
        }
    }
    for (uint32_t v = 0; v < offsets.size(); ++v) {
        if (!selected.testBit(v)) continue;
        offsets[v].normalize();
        offsets[v].x *= fLength, offsets[v].y *= fLength, offsets[v].z *= fLength;
    }
}

void TpolyExtrudeVertexFty::cutAround(TpolyEditableGeom& edit, const TbitFieldFixedN& selected) const {
    const uint32_t levels = uint32_t(fDivisions);
    TuInt32Array edges(16), faces(16);
    const T3dFltPointArray noPoints;
    for (uint32_t v = 0; v < selected.size(); ++v) {
        if (!selected.testBit(v)) continue;
        if (levels > 1) {
            edit.getVertexEdges(v, edges);
            for (uint32_t e : edges) edit.splitEdge(e, nullptr, nullptr, nullptr, levels - 1, true);
        }
        // Outermost level first: the cut from the level vertex before v to the one after it keeps
        // the face's id on the piece holding v, so the next level cuts the same face.
        edit.vertexFaces(v, faces);
        for (uint32_t f : faces)
            for (uint32_t level = levels; level > 0; --level) {
                const TfaceNode& node = edit.face(f);
                const uint32_t at = edit.findVertexInFace(node, v);
                if (at == TpolyBits::kNoId) break;
                uint32_t before = at, after = at;
                for (uint32_t k = 0; k < level; ++k) before = node.prevInLoop(before), after = node.nextInLoop(after);
                edit.splitAFace(edit.getStartVertexInFace(node, before), -1, edit.getStartVertexInFace(node, after), -1,
                                noPoints, false, 0, int32_t(f), 1.0);
            }
    }
}

int TpolyExtrudeVertexFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    const bool hadGroup = body && body->polyGeom() && body->polyGeom()->hasObjectGroup(-1, kPolyGrpVertex);
    if (!getActiveGrpName(body, components, kPolyGrpVertex, name)) return -1;
    TpolyGeom* geom = body->polyGeom();
    TbitFieldFixedN selected;
    if (geom->nbVertex() == 0 || geom->flagsFromGroup(kPolyGrpVertex, name, selected) <= 0) {
        // An empty selection is refused without leaving behind the group it was read into.
        if (!hadGroup) geom->removeObjectGroup(-1, kPolyGrpVertex);
        return -1;
    }
    // The frame is left on the record the edit makes, so it is entered and left by hand.
    T4dDblMatrix inverse(fMatrix);
    const bool framed = !fMatrix.isIdentity();
    if (framed && !inverse.invertIt(1e-5)) return -1;
    if (framed) geom->toReference(T4dDblMatrix(fMatrix), false, true);

    T4dFltVectorArray offsets(256);
    collectVertexNormals(*geom, selected, offsets);
    geom->update(dirtyFaceOffsets | dirtyFaceNormalize | dirtyNormalTopo);
    TpolyEditableGeom edit(geom, TpolyEditableGeom::kModeAll);
    const uint32_t nEdge = edit.edgeCount();
    const bool split = fWidth > 0 && fWidth < 1;
    T3dFltPoint at[2];
    for (uint32_t e = 0; split && e < nEdge; ++e) {
        const uint32_t s = edit.getStartVertex(e), t = edit.getEndVertex(e);
        const bool atStart = selected.testBit(s), atEnd = selected.testBit(t);
        if (!atStart && !atEnd) continue;
        const T3dFltPoint ps = edit.vertex(s), pt = edit.vertex(t);
        uint32_t count = 1;
        if (atStart && atEnd) {
            at[0] = ps + (pt - ps) * fWidth;
            at[1] = pt - (pt - ps) * fWidth;
            if (fWidth >= 0.5f - 1e-5f)
                at[0] = ps + (pt - ps) * 0.5f;
            else
                count = 2;
        } else {
            at[0] = atStart ? ps + (pt - ps) * fWidth : pt + (ps - pt) * fWidth;
        }
        edit.splitEdge(e, at, nullptr, nullptr, count, false);
    }
    if (fDivisions > 0 && split) cutAround(edit, selected);
    for (uint32_t v = 0; v < selected.size(); ++v)
        if (selected.testBit(v)) {
            const T4dFltVector& d = offsets[v];
            edit.setVertex(v, edit.vertex(v) + T3dFltPoint(d.x, d.y, d.z));
        }
    TpolyGeom* out = edit.convert(true, true, nullptr);
    body->setMidBody(out);
    out->markDirty(dirtyMoved);
    if (framed) {
        out->toReference(inverse, false, true);
        fMatrix = inverse.toFlt();
    }
    return 0;
}
