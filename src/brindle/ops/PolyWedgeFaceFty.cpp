#include "brindle/ops/PolyWedgeFaceFty.h"

#include <algorithm>

#include "brindle/base/VectorMath.h"
#include "brindle/framework/MidBody.h"
#include "brindle/framework/MidComponent.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyExtrudeFacetFty.h"
#include "brindle/ops/PolyMergeVertFty.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyWedgeFaceFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(TpolyWedgeFaceFty::sMetaclass, kPolyGrpFace,
                                  {BRINDLE_MODIFIER_PARAM(TpolyWedgeFaceFty, Angle),
                                   BRINDLE_MODIFIER_PARAM(TpolyWedgeFaceFty, Subdivisions),
                                   BRINDLE_MODIFIER_PARAM(TpolyWedgeFaceFty, WorldMatrix),
                                   TmodifierParam{"Edge", [](TmidModifierFty& fty, std::string_view text) {
                                                      return TmodifierText::apply(fty, &TpolyWedgeFaceFty::addEdge,
                                                                                  text);
                                                  }}});

// The rows the hinge vertices' copies collapse onto lie exactly on them; the weld only has to
// beat rounding.
constexpr float kWeldThreshold = 0.001f;

// The selected face ids of a record in increasing order: the list's faces when there is a list
// (none when it is not a face list), else the current face group's.
void readSelection(TpolyGeom& geom, const TmidComponent* list, Tint32Array& faces) {
    faces.clear();
    const uint32_t nbFace = geom.nbFace();
    TbitFieldFixedN bits(nbFace);
    if (list) {
        if (list->midCompType() != kPolyGrpFace) return;
        for (uint32_t id : *list)
            if (id < nbFace) bits.setBit(id);
    } else if (geom.flagsFromGroup(kPolyGrpFace, -1, bits) <= 0) {
        return;
    }
    for (uint32_t f = 0; f < nbFace; ++f)
        if (bits.testBit(f)) faces.addLast(int32_t(f));
}

// The face on the other side of edge e from face `from`, or -1 when there is none or more than one.
int32_t faceAcross(const TpolyGeom& geom, uint32_t e, uint32_t from) {
    const TpolyWingEdge& w = geom.getEdgeFace(e);
    for (const uint32_t side : w.side)
        if (TpolyTopo::isSingleFace(side) && side != from) return int32_t(side);
    return -1;
}
}  // namespace

int TpolyWedgeFaceFty::computeTrans() {
    TpolyGeom* geom = fBody ? fBody->polyGeom() : nullptr;
    if (!geom || fEdges.empty()) return 0;
    geom->update(dirtyFaceOffsets);
    readSelection(*geom, fComponents, fFaces);
    if (fFaces.empty()) return 0;
    std::vector<bool> hinge(geom->nbEdge(), false);
    for (const int32_t e : fEdges)
        if (e >= 0 && uint32_t(e) < geom->nbEdge()) hinge[uint32_t(e)] = true;
    fHingeEntries.clear();
    T3dDblVector direction, middle;
    uint32_t found = 0;
    for (const int32_t f : fFaces) {
        const uint32_t first = geom->faceOffset(uint32_t(f)), end = geom->faceOffset(uint32_t(f) + 1);
        for (uint32_t o = first; o < end; ++o) {
            if (!hinge[geom->getEdge(o)]) continue;
            const T3dDblVector s(geom->vertexConst(geom->getStartVertex(o))),
                e(geom->vertexConst(geom->getEndVertex(o)));
            direction += e - s;
            middle += (s + e) * 0.5;
            fHingeEntries.addLast(int32_t(o - first));
            ++found;
        }
        fHingeEntries.addLast(-1);
    }
    // The mean over the entries found: a hinge edge given but on no selected face has no say.
    if (!found || dot(direction, direction) < 1e-20) return 0;
    middle = middle * (1.0 / found);
    T4dDblMatrix toOrigin;
    toOrigin.m[3][0] = -middle.x, toOrigin.m[3][1] = -middle.y, toOrigin.m[3][2] = -middle.z;
    T4dDblMatrix turn;
    Tquaternion(direction.vector(), T4dFltVector::xAxis).toMatrix(turn);
    fHinge = toOrigin * turn;
    return 1;
}

bool TpolyWedgeFaceFty::collapseHingeRows(TpolyGeom& geom, uint32_t oldFaceCount) {
    geom.update(dirtyFaceOffsets | dirtyEdgeToFace);
    TbitFieldFixedN selected(geom.nbVertex());
    const uint32_t rows = uint32_t(fSubdivisions);
    uint32_t collapsed = 0;
    // Each hinge entry of a cap is the top of a column of wall quads (new faces, so beyond the old
    // face count) ending on the hinge edge: walking down it, every quad maps the ends of the edge
    // above to the ends of the edge below, and the bottom ends are the hinge vertices.
    TuInt32Array columnA(16), columnB(16);
    for (uint32_t k = 0, entry = 0; k < fFaces.size(); ++k, ++entry) {
        for (; fHingeEntries[entry] >= 0; ++entry) {
            uint32_t face = uint32_t(fFaces[k]), offset = geom.faceOffset(face) + uint32_t(fHingeEntries[entry]);
            uint32_t a = geom.getStartVertex(offset), b = geom.getEndVertex(offset), edge = geom.getEdge(offset);
            columnA.clear();
            columnB.clear();
            uint32_t step = 0;
            for (; step < rows; ++step) {
                const int32_t wall = faceAcross(geom, edge, face);
                if (wall < 0 || uint32_t(wall) < oldFaceCount || geom.faceVertexCount(uint32_t(wall)) != 4) break;
                face = uint32_t(wall);
                const uint32_t base = geom.faceOffset(face);
                uint32_t i = 0;
                while (i < 4 && geom.getEdge(base + i) != edge) ++i;
                if (i == 4) break;
                // Corners c(i), c(i+1) are the edge's ends; c(i-1) lies below c(i), c(i+2) below c(i+1).
                const uint32_t ci = geom.getStartVertex(base + i), below = geom.getStartVertex(base + (i + 3) % 4),
                               belowNext = geom.getStartVertex(base + (i + 2) % 4);
                columnA.addLast(a);
                columnB.addLast(b);
                const bool aFirst = a == ci;
                a = aFirst ? below : belowNext;
                b = aFirst ? belowNext : below;
                edge = geom.getEdge(base + (i + 2) % 4);
            }
            if (step < rows) continue;
            for (uint32_t r = 0; r < columnA.size(); ++r) {
                geom.setVertex(columnA[r], geom.vertexConst(a));
                geom.setVertex(columnB[r], geom.vertexConst(b));
                selected.setBit(columnA[r]);
                selected.setBit(columnB[r]);
            }
            selected.setBit(a);
            selected.setBit(b);
            ++collapsed;
        }
    }
    if (!collapsed) return false;
    geom.markDirty(dirtyMoved);
    geom.flagsToGroup(kPolyGrpVertex, -1, selected);
    return true;
}

int TpolyWedgeFaceFty::action(TmidBody* body, TmidComponent* components) {
    TpolyGeom* geom = body ? body->polyGeom() : nullptr;
    if (!geom) return -1;
    T4dDblMatrix fromWorld = fWorldMatrix;
    const bool framed = !fWorldMatrix.isIdentity();
    if (framed && !fromWorld.invertIt()) return -1;
    fBody = body;
    fComponents = components;
    if (framed) geom->toReference(fWorldMatrix, false, true);
    int name = -1;
    if (!computeTrans() || !getActiveGrpName(body, components, kPolyGrpFace, name)) {
        if (framed) geom->toReference(fromWorld, false, true);
        return -1;
    }
    geom->toReference(fHinge, false, true);

    const uint32_t oldFaceCount = geom->nbFace();
    TpolyExtrudeFacetFty extrude;
    extrude.setExtrudeMode(true);
    extrude.setDivisions(fSubdivisions);
    TrotateXYZ swing;
    swing.x = fAngle;
    extrude.setRotate(swing);
    extrude.setScale({1, 1, 1});
    extrude.setLScale({1, 1, 1});
    extrude.setLXDir({0, 1, 0});
    if (extrude.doAction(body, nullptr) != 0) {
        geom->toReference(fHinge, true, true);
        if (framed) geom->toReference(fromWorld, false, true);
        return -1;
    }

    geom = body->polyGeom();
    if (collapseHingeRows(*geom, oldFaceCount)) {
        TpolyMergeVertFty weld;
        weld.setThreshold(kWeldThreshold);
        weld.setSewMap(true);
        weld.doAction(body, nullptr);
        geom = body->polyGeom();
    }
    geom->toReference(fHinge, true, true);
    geom->removeGroup(-1, kPolyGrpVertex);
    if (framed) geom->toReference(fromWorld, false, true);
    return 0;
}
