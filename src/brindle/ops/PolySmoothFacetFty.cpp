#include "brindle/ops/PolySmoothFacetFty.h"

#include <limits>
#include <vector>

#include "brindle/edit/PolyEditableGeom.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyTriangulateFty.h"
#include "brindle/subdiv/CCRules.h"
#include "brindle/subdiv/SubdivLevel.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolySmoothFacetFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(
    TpolySmoothFacetFty::sMetaclass,
    {BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, Smoothness), BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, Divisions),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, SmoothUVs), BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, KeepBorder),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, KeepSelectionBorder),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, KeepHardBorder),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, KeepAllMapBorders),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, KeepInteriorMapBorders),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, KeepTesselation),
     // A face-centre kind by its number, 0 or 1.
     TmodifierParam{"uvCenterType", [](TmidModifierFty& fty, std::string_view text) {
                        int kind = 0;
                        if (!TmodifierText::parse(text, kind) || kind < 0 || kind > 1) return false;
                        static_cast<TpolySmoothFacetFty&>(fty).setUvCenterType(TpolyFaceInfo(kind));
                        return true;
                    }}});

// The smoothed UVs of one set at the corners of the selected faces: the corner's own UV and the
// point of the edge leaving it on this side, each with a flag saying whether it is written.
struct TcornerUVs {
    std::vector<T2FloatPair> vertex, edge;
    std::vector<uint8_t> writeVertex, writeEdge;
};
}  // namespace

void TpolySmoothFacetFty::prepareSelection(TpolyGeom& g, int name, TbitFieldFixedN& selected) const {
    g.update(dirtyFaceOffsets);
    TbitFieldFixedN odd(g.nbFace());
    uint32_t count = 0;
    for (uint32_t f = 0; f < g.nbFace() && f < selected.size(); ++f) {
        if (!selected.testBit(f)) continue;
        if (fKeepTesselation ? g.faceOrder(f) > 1 : !g.checkProperty(f, kPolyPropStarFace)) {
            odd.setBit(f);
            ++count;
        }
    }
    if (!count) return;
    if (fKeepTesselation) {
        for (uint32_t f = 0; f < odd.size(); ++f)
            if (odd.testBit(f)) selected.resetBit(f);
        g.flagsToGroup(kPolyGrpFace, name, selected);
        return;
    }
    const int32_t tmp = g.getFreeTmpGrpName();
    g.flagsToGroup(kPolyGrpFace, tmp, odd);
    TpolyTriangulateFty::triangulateTopo(&g, tmp, nullptr, false);
    g.removeGroup(tmp, kPolyGrpFace);
}

TpolyGeom* TpolySmoothFacetFty::smoothStep(TpolyGeom& g, const TbitFieldFixedN& selected) const {
    g.update(dirtyFaceOffsets);
    const uint32_t nbVertex = g.nbVertex(), nbEdge = g.nbEdge();
    TsubdivFaceSubset subset;
    subset.build(g, selected);
    const TsubdivLevel& lv = subset.level();
    const std::vector<uint32_t>& faces = subset.faces();
    const uint32_t nbCorner = lv.nbFace ? lv.faceEnd(lv.nbFace - 1) : 0;
    std::vector<uint8_t> uses, selUses;
    std::vector<uint32_t> first, selFirst;
    subdivEdgeUses(TsubdivLevel::ofRecord(g), uses, first);
    subdivEdgeUses(lv, selUses, selFirst);

    // Borders of the rules: surface borders, the selection's border, kept hard edges. Vertices
    // on kept ones, and those outside the selection, do not move.
    std::vector<uint8_t> edgeFlags(nbEdge, 0), vertexFlags(nbVertex, kSubdivKept), kept(nbEdge, 0);
    for (uint32_t c = 0; c < nbCorner; ++c) vertexFlags[lv.entryStart(c)] = 0;
    TpolyEdge* edges = g.edgeArray().data();
    for (uint32_t e = 0; e < nbEdge; ++e) {
        if (!selUses[e]) continue;
        const bool surface = uses[e] < 2, inner = uses[e] > selUses[e];
        const bool hard = fKeepHardBorder && edges[e].isHard();
        uint8_t f = uint8_t((surface || inner ? kSubdivBorder : 0) | (hard ? kSubdivHard : 0));
        if ((surface && fKeepBorder) || (inner && fKeepSelectionBorder) || hard) f |= kSubdivKept;
        if (!(f & (kSubdivBorder | kSubdivHard))) edges[e].v[0] &= TpolyBits::kVertexMask;
        edgeFlags[e] = f;
        kept[e] = f & kSubdivKept;
        vertexFlags[lv.edgeStartVertex(e)] |= f;
        vertexFlags[lv.edgeEndVertex(e)] |= f;
    }

    std::vector<T3dFltPoint> facePoints(lv.nbFace), edgePoints(nbEdge), vertexPoints(nbVertex);
    TccRuleInput in;
    in.level = &lv;
    in.vertexFlags = vertexFlags.data();
    in.edgeFlags = edgeFlags.data();
    in.edgeUses = selUses.data();
    in.smoothness = fSmoothness;
    TccRuleScratch scratch;
    ccFacePoints(lv, facePoints.data());
    ccEdgePoints(in, facePoints.data(), scratch, edgePoints.data());
    ccVertexPoints(in, facePoints.data(), kSubdivKept, scratch, vertexPoints.data());

    // UV face points of every set, and with SmoothUVs the smoothed UVs at every corner.
    const uint32_t nbSet = g.nbMapSet();
    std::vector<T2FloatArray> uvCentres(nbSet, T2FloatArray(256));
    std::vector<TcornerUVs> cornerUVs(fSmoothUVs ? nbSet : 0);
    TccUVResult rules;
    std::vector<int32_t> idScratch;
    std::vector<uint8_t> keptUV;
    if (nbSet) g.update(dirtyEdgeToFace);
    for (uint32_t s = 0; s < nbSet; ++s) {
        // The selection's border is a UV border for the rules; it keeps its UVs where its
        // positions stay, and where it is a UV border of the record that the options keep.
        keptUV = kept;
        for (uint32_t e = 0; e < nbEdge; ++e)
            if (selUses[e] && !keptUV[e] && g.isUVBorder(e, s))
                keptUV[e] = fKeepAllMapBorders || (uses[e] < 2 ? fKeepBorder : fKeepInteriorMapBorders);
        TpolyMap& set = (*g.maps())[s];
        const int32_t* ids = subset.cornerIds(set.indexArray(), idScratch);
        TccUVInput uvIn;
        uvIn.level = &lv;
        uvIn.uv = set.uvArray().data();
        uvIn.ids = ids;
        uvIn.nbUV = set.uvArray().size();
        uvIn.edgeUses = selUses.data();
        uvIn.edgeFirst = selFirst.data();
        uvIn.keptEdges = keptUV.data();
        uvIn.smoothness = fSmoothness;
        uvIn.centreKind = fUvCenterType;
        uvIn.smooth = fSmoothUVs;
        uvIn.keepAll = uvIn.keepBorder = uvIn.keepInterior = false;
        ccUVPoints(uvIn, rules);
        uvCentres[s].buffer(lv.nbFace);
        for (uint32_t k = 0; k < lv.nbFace; ++k) uvCentres[s].addLast(rules.face[k]);
        if (!fSmoothUVs) continue;
        TcornerUVs& out = cornerUVs[s];
        out.vertex.resize(nbCorner);
        out.writeVertex.assign(nbCorner, 0);
        for (uint32_t c = 0; c < nbCorner; ++c) {
            if (ids[c] < 0 || uint32_t(ids[c]) >= uvIn.nbUV) continue;
            out.vertex[c] = rules.vertex[uint32_t(ids[c])];
            out.writeVertex[c] = !rules.vertexKept[uint32_t(ids[c])];
        }
        out.edge = rules.edge;
        out.writeEdge = rules.edgeSet;
    }

    // What the split takes away from the record's arrays: each corner's vertex, the edge leaving
    // it and the corner before it in its loop.
    std::vector<uint32_t> cornerVertex(nbCorner), cornerEdge(nbCorner), cornerPrev(nbCorner);
    for (uint32_t k = 0; k < lv.nbFace; ++k)
        forEachFaceEntry(lv, k, [&](uint32_t o, uint32_t next) {
            cornerVertex[o] = lv.entryStart(o);
            cornerEdge[o] = lv.entryEdge(o);
            cornerPrev[next] = o;
        });

    TpolyEditableGeom edit(&g, 7);
    const uint32_t nbColor = edit.numColorMaps();
    std::vector<TpolyColorValueArray> colours(nbColor);
    for (uint32_t f : faces)
        for (uint32_t s = 0; s < nbColor; ++s) {
            TpolyColorValue c;
            if (!edit.getColorFaceCenter(f, s, c)) c.a = std::numeric_limits<float>::max();
            colours[s].addLast(c);
        }
    std::vector<uint32_t> centre(faces.size(), TpolyBits::kNoId);
    for (uint32_t k = 0; k < faces.size(); ++k)
        if (edit.subdivideFace(faces[k], facePoints[k], uvCentres.data(), colours.data(), k, false))
            centre[k] = edit.vertexCount() - 1;
    // A split edge keeps its start and ends at its point.
    std::vector<uint32_t> mid(nbEdge, TpolyBits::kNoId);
    for (uint32_t e = 0; e < nbEdge; ++e)
        if (selUses[e] && edit.getEndVertex(e) >= nbVertex) mid[e] = edit.getEndVertex(e);
    TpolyGeom* out = edit.convert(true, false, nullptr);

    T3dFltPoint* p = out->vertexArray().data();
    for (uint32_t v = 0; v < nbVertex; ++v)
        if (!(vertexFlags[v] & kSubdivKept)) p[v] = vertexPoints[v];
    for (uint32_t e = 0; e < nbEdge; ++e)
        if (mid[e] != TpolyBits::kNoId && !(edgeFlags[e] & kSubdivKept)) p[mid[e]] = edgePoints[e];
    if (!fSmoothUVs) return out;

    // Each piece of a split face is (point of the edge entering the old corner, the corner,
    // point of the edge leaving it, face point), in some rotation: found from its face point,
    // the old corner is the one at that vertex whose leaving edge has that point.
    out->update(dirtyFaceOffsets);
    std::vector<uint32_t> owner(out->nbVertex() - nbVertex, TpolyBits::kNoId);
    for (uint32_t k = 0; k < faces.size(); ++k)
        if (centre[k] != TpolyBits::kNoId) owner[centre[k] - nbVertex] = k;
    TpolyMapArrayShared& maps = *out->maps();
    for (uint32_t f = 0; f < out->nbFace(); ++f) {
        const uint32_t offset = out->faceOffset(f);
        if (out->faceVertexCount(f) != 4) continue;
        uint32_t at = 4, k = TpolyBits::kNoId;
        for (uint32_t i = 0; i < 4 && at == 4; ++i) {
            const uint32_t v = out->getStartVertex(offset + i);
            if (v >= nbVertex && owner[v - nbVertex] != TpolyBits::kNoId) at = i, k = owner[v - nbVertex];
        }
        if (at == 4) continue;
        const uint32_t corner = offset + (at + 2) % 4, leaving = offset + (at + 3) % 4, entering = offset + (at + 1) % 4;
        const uint32_t v = out->getStartVertex(corner), m = out->getStartVertex(leaving);
        uint32_t c = lv.faceBegin(k);
        while (c < lv.faceEnd(k) && (cornerVertex[c] != v || mid[cornerEdge[c]] != m)) ++c;
        if (c == lv.faceEnd(k)) continue;
        for (uint32_t s = 0; s < nbSet; ++s) {
            const TcornerUVs& uv = cornerUVs[s];
            T2FloatArray& values = maps[s].uvArray();
            auto write = [&](uint32_t offsetInOut, const T2FloatPair& value, bool ok) {
                const int32_t id = out->getUVId(offsetInOut, s);
                if (ok && id >= 0 && uint32_t(id) < values.size()) values[uint32_t(id)] = value;
            };
            write(corner, uv.vertex[c], uv.writeVertex[c]);
            write(leaving, uv.edge[c], uv.writeEdge[c]);
            write(entering, uv.edge[cornerPrev[c]], uv.writeEdge[cornerPrev[c]]);
        }
    }
    return out;
}

int TpolySmoothFacetFty::action(TmidBody* body, TmidComponent* components) {
    if (fDivisions < 0) return -1;
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpFace, name)) return 0;
    if (fDivisions > 10) fDivisions = 10;
    TpolyGeom* g = body->polyGeom();
    g->update(dirtyAll);
    if (g->nbMapSet() == 0) fSmoothUVs = false;
    TbitFieldFixedN selected;
    if (g->flagsFromGroup(kPolyGrpFace, name, selected) <= 0) return 0;
    prepareSelection(*g, name, selected);
    for (short pass = 0; pass < fDivisions; ++pass) {
        g = body->polyGeom();
        g->update(dirtyAll);
        if (g->flagsFromGroup(kPolyGrpFace, name, selected) < 0) return -1;
        body->setMidBody(smoothStep(*g, selected));
    }
    return 0;
}
