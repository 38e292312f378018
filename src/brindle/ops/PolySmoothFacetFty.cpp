#include "brindle/ops/PolySmoothFacetFty.h"

#include <utility>
#include <vector>

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyFaceCarry.h"
#include "brindle/ops/PolyTriangulateFty.h"
#include "brindle/subdiv/CCRules.h"
#include "brindle/subdiv/CCSubdivider.h"
#include "brindle/subdiv/SubdivLevel.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolySmoothFacetFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(
    TpolySmoothFacetFty::sMetaclass, kPolyGrpFace,
    {BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, Smoothness, "how far the faces are smoothed", 0, 1),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, Divisions,
                            "subdivision levels; negative refuses, above 10 counts as 10", 0, 2),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, SmoothUVs, "smooth the UVs too (cleared on a record without UV sets)"),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, KeepBorder, "keep border edges where they are"),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, KeepSelectionBorder, "keep the border of the selection where it is"),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, KeepHardBorder, "keep hard edges where they are"),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, KeepAllMapBorders, "keep every UV border where it is"),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, KeepInteriorMapBorders,
                            "keep the UV borders inside the mesh where they are"),
     BRINDLE_MODIFIER_PARAM(TpolySmoothFacetFty, KeepTesselation, "keep the tesselation of the smoothed faces"),
     // A face-centre kind by its number, 0 or 1.
     TmodifierParam{"uvCenterType",
                    [](TmidModifierFty& fty, std::string_view text) {
                        int kind = 0;
                        if (!TmodifierText::parse(text, kind) || kind < 0 || kind > 1) return false;
                        static_cast<TpolySmoothFacetFty&>(fty).setUvCenterType(TpolyFaceInfo(kind));
                        return true;
                    },
                    TmodifierParamType::kInt,
                    [](const TmidModifierFty& fty) {
                        return TmodifierText::format(int(static_cast<const TpolySmoothFacetFty&>(fty).uvCenterType()));
                    },
                    {"kind of the UV face points: 0 corner mean, 1 outline centre", 0, 1}}});

// The record's corners in loop order: the corner after each one in its loop.
std::vector<uint32_t> nextCorners(const TpolyGeom& g) {
    std::vector<uint32_t> next(g.faceDescLength());
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        const uint32_t end = g.faceOffset(f + 1);
        uint32_t loop = g.faceOffset(f);
        for (uint32_t o = loop; o < end; ++o) {
            const bool last = g.endOfLoop(o) || o + 1 == end;
            next[o] = last ? loop : o + 1;
            if (last) loop = o + 1;
        }
    }
    return next;
}

// The split of the selected faces, in place. Every edge of a selected face is split at its
// point: edge e = (a, b) keeps its id as (a, m) and its second piece (m, b) is appended, pieces
// in edge order, the points m appended as vertices in the same order, then the face points.
// Each selected face becomes one quad per corner (the point of the edge entering the corner, the
// corner, the point of the edge leaving it, the face point), joined by spokes from the edge
// points to the face point; every other face using a split edge gains its point as a corner.
// Corners at old vertices keep their UV, colour and normal ids; the new corners take, per set,
// the ids the caller made for them (Ids); groups and blind data follow the pieces.
class TsmoothSplit {
public:
    TsmoothSplit(TpolyGeom& g, const TsubdivFaceSubset& subset, const std::vector<uint8_t>& selUses)
        : fG(g), fSubset(subset), fNbVertex(g.nbVertex()), fNbEdge(g.nbEdge()) {
        if (g.nbMapSet() || g.nbColorSet()) fNext = nextCorners(g);
        fRank.assign(fNbEdge, TpolyBits::kNoId);
        for (uint32_t e = 0; e < fNbEdge; ++e)
            if (selUses[e]) fRank[e] = fNbSplit++;
        fLevelFace.assign(g.nbFace(), TpolyBits::kNoId);
        for (uint32_t k = 0; k < subset.faces().size(); ++k) fLevelFace[subset.faces()[k]] = k;
    }
    bool split(uint32_t e) const { return fRank[e] != TpolyBits::kNoId; }
    uint32_t edgePoint(uint32_t e) const { return fNbVertex + fRank[e]; }
    uint32_t facePoint(uint32_t k) const { return fNbVertex + fNbSplit + k; }
    // Level face of record face f, or kNoId when f is not selected.
    uint32_t levelFace(uint32_t f) const { return fLevelFace[f]; }
    // The corner after o in its loop (on records with UV or colour sets, which read it).
    uint32_t next(uint32_t o) const { return fNext[o]; }

    // Per corner of the record whose edge is split, the id of the point's value on that side;
    // per selected face, the id of its face point's. Made by the caller, per set, before apply.
    struct Ids {
        std::vector<int32_t> side, centre;
    };
    // Appends the new vertices (at edgePoints, facePoints) and edges, and rewrites the faces.
    void apply(const T3dFltPoint* edgePoints, const T3dFltPoint* facePoints, const std::vector<Ids>& uvs,
               const std::vector<Ids>& colours);

private:
    // Edge groups and edge blind data: the second piece of a split edge joins what it belongs to.
    void carryEdges();

    TpolyGeom& fG;
    const TsubdivFaceSubset& fSubset;
    const uint32_t fNbVertex, fNbEdge;
    uint32_t fNbSplit = 0;
    std::vector<uint32_t> fRank, fLevelFace, fNext;
};

void TsmoothSplit::apply(const T3dFltPoint* edgePoints, const T3dFltPoint* facePoints, const std::vector<Ids>& uvs,
                         const std::vector<Ids>& colours) {
    const TsubdivLevel& lv = fSubset.level();
    const uint32_t nbCorner = lv.nbFace ? lv.faceEnd(lv.nbFace - 1) : 0;
    T3dFltPointArray& points = fG.vertexArray();
    points.buffer(fNbSplit + lv.nbFace);
    for (uint32_t e = 0; e < fNbEdge; ++e)
        if (split(e)) points.addLast(edgePoints[e]);
    for (uint32_t k = 0; k < lv.nbFace; ++k) points.addLast(facePoints[k]);
    TpolyEdgeArray& edges = fG.edgeArray();
    edges.buffer(fNbSplit + nbCorner);
    for (uint32_t e = 0; e < fNbEdge; ++e) {
        if (!split(e)) continue;
        TpolyEdge piece;
        piece.v[0] = edgePoint(e) | (edges[e].v[0] & TpolyBits::kHardFlag);
        piece.v[1] = edges[e].v[1];
        edges[e].v[1] = edgePoint(e);
        edges.addLast(piece);
    }
    // Spoke c runs from the point of the edge leaving level corner c to its face point.
    const uint32_t spokes = fNbEdge + fNbSplit;
    for (uint32_t k = 0; k < lv.nbFace; ++k)
        for (uint32_t c = lv.faceBegin(k); c < lv.faceEnd(k); ++c) {
            TpolyEdge spoke;
            spoke.v[0] = edgePoint(lv.entryEdge(c));
            spoke.v[1] = facePoint(k);
            edges.addLast(spoke);
        }

    // New corners: the point on the side at record corner o (face kNoId) or face point k.
    struct Fresh {
        uint32_t offset, corner, face;
    };
    std::vector<Fresh> fresh;
    fresh.reserve(3 * size_t(nbCorner) + 2 * size_t(fNbSplit));
    const uint32_t* desc = fG.faceDescArray().data();
    TfaceRewrite out;
    out.begin(fG, fG.faceDescLength() + 2 * fNbSplit + 4 * nbCorner);
    auto pushFresh = [&](uint32_t raw, uint32_t corner, uint32_t face) {
        fresh.push_back({out.cornerCount(), corner, face});
        out.push(raw, TpolyBits::kNoId);
    };
    constexpr uint32_t kUse = TpolyBits::kEdgeMask | TpolyBits::kReversedUse;
    for (uint32_t f = 0; f < fG.nbFace(); ++f) {
        out.nextOldFace();
        const uint32_t k = fLevelFace[f];
        if (k == TpolyBits::kNoId) {
            for (uint32_t o = fG.faceOffset(f), end = fG.faceOffset(f + 1); o < end; ++o) {
                const uint32_t e = desc[o] & TpolyBits::kEdgeMask,
                               loopEnd = o + 1 < end ? desc[o] & TpolyBits::kEndOfLoop : 0;
                if (!split(e)) {
                    out.push((desc[o] & kUse) | loopEnd, o);
                } else if (desc[o] & TpolyBits::kReversedUse) {
                    out.push((fNbEdge + fRank[e]) | TpolyBits::kReversedUse, o);
                    pushFresh(e | TpolyBits::kReversedUse | loopEnd, o, TpolyBits::kNoId);
                } else {
                    out.push(e, o);
                    pushFresh((fNbEdge + fRank[e]) | loopEnd, o, TpolyBits::kNoId);
                }
            }
            out.closeFace();
            continue;
        }
        // Quad at corner c: the entering edge's piece at c, the leaving edge's piece at c, spoke
        // c, spoke of the corner before reversed.
        uint32_t prev = lv.faceEnd(k) - 1;
        for (uint32_t c = lv.faceBegin(k); c < lv.faceEnd(k); prev = c++) {
            const uint32_t ep = lv.entryEdge(prev), ec = lv.entryEdge(c);
            const uint32_t entering = lv.entryReversed(prev) ? ep | TpolyBits::kReversedUse : fNbEdge + fRank[ep];
            const uint32_t leaving = lv.entryReversed(c) ? (fNbEdge + fRank[ec]) | TpolyBits::kReversedUse : ec;
            pushFresh(entering, fSubset.recordCorner(prev), TpolyBits::kNoId);
            out.push(leaving, fSubset.recordCorner(c));
            pushFresh(spokes + c, fSubset.recordCorner(c), TpolyBits::kNoId);
            pushFresh((spokes + prev) | TpolyBits::kReversedUse, TpolyBits::kNoId, k);
            out.closeFace();
        }
    }
    out.install(nullptr);

    auto assign = [&](const std::vector<Ids>& sets, auto&& setId) {
        for (uint32_t s = 0; s < sets.size(); ++s) {
            if (sets[s].side.empty()) continue;
            for (const Fresh& n : fresh)
                setId(n.offset, n.face == TpolyBits::kNoId ? sets[s].side[n.corner] : sets[s].centre[n.face], s);
        }
    };
    assign(uvs, [&](uint32_t o, int32_t id, uint32_t s) { fG.setUVId(o, id, s); });
    assign(colours, [&](uint32_t o, int32_t id, uint32_t s) { fG.setColorId(o, id, s); });
    carryEdges();
    fG.markDirty(dirtyAll);
}

void TsmoothSplit::carryEdges() {
    // Member ids come in order and pieces follow the old edges in edge order, so a valued group
    // keeps its old values and gains those of its split members, in member order.
    TbitFieldFixedN bits;
    for (uint32_t k = 0; k < fG.nbGroup(); ++k) {
        TpolyGrpDesc& d = fG.group(k);
        if (d.fType != kPolyGrpEdge || !d.singleItems() || d.isEmpty()) continue;
        bits.resizeArray(fG.nbEdge());
        TdoubleArray* values = d.data();
        TdoubleArray extra;
        uint32_t rank = 0;
        for (uint32_t e : *d.singleItems()) {
            const double v = values && rank < values->size() ? (*values)[rank] : 0.0;
            ++rank;
            if (e >= fG.nbEdge()) continue;
            bits.setBit(e);
            if (e >= fNbEdge || !split(e)) continue;
            bits.setBit(fNbEdge + fRank[e]);
            if (values) extra.addLast(v);
        }
        if (values) values->catenate(extra);
        d.singleItems()->convertFromFlags(bits);
    }
    appendBlindDataOf(*fG.edgeBlindData(), 0, fNbEdge, *fG.edgeBlindData(), [&](uint32_t e) {
        return split(e) ? std::pair(fNbEdge + fRank[e], fNbEdge + fRank[e]) : std::pair(1u, 0u);
    });
}
}  // namespace

void TpolySmoothFacetFty::prepareSelection(TpolyGeom& g, int name, TbitFieldFixedN& selected) const {
    // The split divides a face around its centre, which only works for a single loop that the
    // centre sees whole; a triangle always qualifies.
    const auto unfit = [&](uint32_t f) {
        return fKeepTesselation ? g.faceOrder(f) > 1
                                : g.faceVertexCount(f) != 3 && !g.checkProperty(f, kPolyPropStarFace);
    };
    const auto odd = [&](TbitFieldFixedN& faces) {
        g.update(dirtyFaceOffsets);
        faces.resizeArray(g.nbFace());
        uint32_t count = 0;
        for (uint32_t f = 0; f < g.nbFace() && f < selected.size(); ++f)
            if (selected.testBit(f) && unfit(f)) faces.setBit(f), ++count;
        return count;
    };
    TbitFieldFixedN unfitFaces;
    if (!odd(unfitFaces)) return;
    if (!fKeepTesselation) {
        const int32_t tmp = g.getFreeTmpGrpName();
        g.flagsToGroup(kPolyGrpFace, tmp, unfitFaces);
        TpolyTriangulateFty::triangulateTopo(&g, tmp, nullptr, false);
        g.removeGroup(tmp, kPolyGrpFace);
        // Faces the triangulation leaves as they were (no usable triangles) stay unsmoothed.
        g.flagsFromGroup(kPolyGrpFace, name, selected);
        if (!odd(unfitFaces)) return;
    }
    for (uint32_t f = 0; f < unfitFaces.size(); ++f)
        if (unfitFaces.testBit(f)) selected.resetBit(f);
    g.flagsToGroup(kPolyGrpFace, name, selected);
}

void TpolySmoothFacetFty::smoothStep(TpolyGeom& g, const TbitFieldFixedN& selected) const {
    g.update(dirtyFaceOffsets);
    const uint32_t nbVertex = g.nbVertex(), nbEdge = g.nbEdge();
    TsubdivFaceSubset subset;
    subset.build(g, selected);
    const TsubdivLevel& lv = subset.level();
    const uint32_t nbCorner = lv.nbFace ? lv.faceEnd(lv.nbFace - 1) : 0;
    std::vector<uint8_t> uses, selUses;
    std::vector<uint32_t> first, selFirst;
    subdivEdgeUses(lv, selUses, selFirst);
    if (lv.nbFace == g.nbFace())
        uses = selUses;
    else
        subdivEdgeUses(TsubdivLevel::ofRecord(g), uses, first);

    // Borders of the rules: surface borders, the selection's border, kept hard edges. Vertices
    // on kept ones, and those outside the selection, do not move.
    std::vector<uint8_t> edgeFlags(nbEdge, 0), vertexFlags(nbVertex, kSubdivKept), kept(nbEdge, 0);
    for (uint32_t c = 0; c < nbCorner; ++c) vertexFlags[lv.entryStart(c)] = 0;
    TpolyEdge* edges = g.edgeArray().data();
    for (uint32_t e = 0; e < nbEdge; ++e) {
        if (!selUses[e]) continue;
        const bool surface = uses[e]<2, inner = uses[e]> selUses[e];
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

    // UVs, set by set: a new UV per face point of a mapped face and per side of a split edge
    // (shared by two sides naming the same two UVs), smoothed on selected sides with SmoothUVs,
    // the side's midpoint elsewhere; with SmoothUVs the UVs of the selection's corners move too.
    TsmoothSplit split(g, subset, selUses);
    const uint32_t nbSet = g.nbMapSet();
    std::vector<TsmoothSplit::Ids> uvIds(nbSet), colourIds(g.nbColorSet());
    TccUVResult rules;
    std::vector<int32_t> idScratch, firstS, firstT, firstNew;
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
        const Tint32Array& recordIds = set.indexArray();
        if (recordIds.empty()) continue;
        const int32_t* ids = subset.cornerIds(recordIds, idScratch);
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

        T2FloatArray& uv = set.uvArray();
        const uint32_t nbUV = uv.size();
        auto id = [&](uint32_t o) {
            return o < recordIds.size() && recordIds[o] >= 0 && uint32_t(recordIds[o]) < nbUV ? recordIds[o] : -1;
        };
        TsmoothSplit::Ids& out = uvIds[s];
        out.side.assign(g.faceDescLength(), -1);
        out.centre.assign(lv.nbFace, -1);
        firstNew.assign(nbEdge, -1);
        firstS.resize(nbEdge);
        firstT.resize(nbEdge);
        for (uint32_t f = 0; f < g.nbFace(); ++f) {
            const uint32_t k = split.levelFace(f);
            for (uint32_t o = g.faceOffset(f), c = k == TpolyBits::kNoId ? 0 : lv.faceBegin(k); o < g.faceOffset(f + 1);
                 ++o, ++c) {
                const uint32_t e = g.getEdge(o);
                const int32_t a = id(o), b = id(split.next(o));
                if (!split.split(e) || a < 0 || b < 0) continue;
                const bool rev = g.getDirection(o) == kReversed;
                const int32_t st = rev ? b : a, en = rev ? a : b;
                if (firstNew[e] >= 0 && firstS[e] == st && firstT[e] == en) {
                    out.side[o] = firstNew[e];
                    continue;
                }
                T2FloatPair value{(uv[uint32_t(a)].u + uv[uint32_t(b)].u) * 0.5f,
                                  (uv[uint32_t(a)].v + uv[uint32_t(b)].v) * 0.5f};
                if (k != TpolyBits::kNoId && fSmoothUVs && rules.edgeSet[c]) value = rules.edge[c];
                out.side[o] = int32_t(uv.size());
                uv.addLast(value);
                if (firstNew[e] < 0) firstNew[e] = out.side[o], firstS[e] = st, firstT[e] = en;
            }
        }
        for (uint32_t k = 0; k < lv.nbFace; ++k)
            if (rules.faceMapped[k]) {
                out.centre[k] = int32_t(uv.size());
                uv.addLast(rules.face[k]);
            }
        if (!fSmoothUVs) continue;
        for (uint32_t c = 0; c < nbCorner; ++c)
            if (ids[c] >= 0 && uint32_t(ids[c]) < nbUV && !rules.vertexKept[uint32_t(ids[c])])
                uv[uint32_t(ids[c])] = rules.vertex[uint32_t(ids[c])];
    }

    // Colours: a new colour per side of a split edge (the mean of the side's two) and per face
    // point (the mean of the face's corners, where every corner has one).
    for (uint32_t s = 0; s < g.nbColorSet(); ++s) {
        TpolyColor& set = (*g.colors())[s];
        const Tint32Array& ids = set.indexArray();
        if (ids.empty()) continue;
        TpolyColorValueArray& values = set.values();
        const uint32_t nbValue = values.size();
        auto id = [&](uint32_t o) { return o < ids.size() && ids[o] >= 0 && uint32_t(ids[o]) < nbValue ? ids[o] : -1; };
        TsmoothSplit::Ids& out = colourIds[s];
        out.side.assign(g.faceDescLength(), -1);
        out.centre.assign(lv.nbFace, -1);
        auto add = [&](TpolyColorValue c, float w) {
            values.addLast(TpolyColorValue{c.r * w, c.g * w, c.b * w, c.a * w});
            return int32_t(values.size() - 1);
        };
        auto sum = [](const TpolyColorValue& a, const TpolyColorValue& b) {
            return TpolyColorValue{a.r + b.r, a.g + b.g, a.b + b.b, a.a + b.a};
        };
        for (uint32_t o = 0; o < g.faceDescLength(); ++o) {
            const int32_t a = id(o), b = id(split.next(o));
            if (split.split(g.getEdge(o)) && a >= 0 && b >= 0)
                out.side[o] = add(sum(values[uint32_t(a)], values[uint32_t(b)]), 0.5f);
        }
        for (uint32_t k = 0; k < lv.nbFace; ++k) {
            TpolyColorValue mean{0, 0, 0, 0};
            uint32_t n = 0;
            for (uint32_t c = lv.faceBegin(k); c < lv.faceEnd(k) && n == c - lv.faceBegin(k); ++c)
                if (const int32_t i = id(subset.recordCorner(c)); i >= 0) mean = sum(mean, values[uint32_t(i)]), ++n;
            if (n && n == lv.faceEnd(k) - lv.faceBegin(k)) out.centre[k] = add(mean, 1.0f / float(n));
        }
    }

    // Positions: old vertices take their points unless kept; border and hard edges have their
    // midpoints as points.
    split.apply(edgePoints.data(), facePoints.data(), uvIds, colourIds);
    T3dFltPoint* p = g.vertexArray().data();
    for (uint32_t v = 0; v < nbVertex; ++v)
        if (!(vertexFlags[v] & kSubdivKept)) p[v] = vertexPoints[v];
}

int TpolySmoothFacetFty::action(TmidBody* body, TmidComponent* components) {
    if (fDivisions < 0) return -1;
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpFace, name)) return 0;
    if (fDivisions > 10) fDivisions = 10;
    // The rules read the topology only; normals and triangles are left for whoever needs them.
    constexpr uint32_t kTopology = dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace;
    TpolyGeom* g = body->polyGeom();
    g->update(kTopology);
    if (g->nbMapSet() == 0) fSmoothUVs = false;
    TbitFieldFixedN selected;
    if (g->flagsFromGroup(kPolyGrpFace, name, selected) <= 0) return 0;
    prepareSelection(*g, name, selected);
    for (short pass = 0; pass < fDivisions; ++pass) {
        g = body->polyGeom();
        g->update(kTopology);
        if (g->flagsFromGroup(kPolyGrpFace, name, selected) < 0) return -1;
        smoothStep(*g, selected);
    }
    return 0;
}
