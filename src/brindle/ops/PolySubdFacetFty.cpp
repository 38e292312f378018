#include "brindle/ops/PolySubdFacetFty.h"

#include <limits>
#include <vector>

#include "brindle/edit/PolyEditableGeom.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyFaceCarry.h"
#include "brindle/ops/PolyFaceQuery.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolySubdFacetFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(
    TpolySubdFacetFty::sMetaclass, kPolyGrpFace,
    {BRINDLE_MODIFIER_PARAM(TpolySubdFacetFty, Divisions, "number of passes; below 1 the action refuses", 1, 3),
     BRINDLE_MODIFIER_PARAM(TpolySubdFacetFty, Mode, "1: triangles; any other value: quadrilaterals", 0, 1)});

constexpr uint32_t kDescBits = TpolyBits::kEdgeMask | TpolyBits::kReversedUse;

// The corner mean of the values a per-corner id array names over [first, end), appended to values
// as a new value; -1 when some corner has none.
template <typename Value, typename Sum>
int32_t appendCentreValue(const Tint32Array& ids, Tarray<Value>& values, uint32_t first, uint32_t end, Sum sum) {
    if (ids.size() < end) return -1;
    Value mean{};
    for (uint32_t k = first; k < end; ++k) {
        if (ids[k] < 0 || uint32_t(ids[k]) >= values.size()) return -1;
        mean = sum(mean, values[uint32_t(ids[k])], 1.0f / float(end - first));
    }
    values.addLast(mean);
    return int32_t(values.size() - 1);
}

// One triangle-mode pass over the faces set in selected; selected comes back naming the new
// triangles. Entry k of a divided face gives the triangle (centre, start of k, start of the entry
// after k in its loop), whose sides are k's spoke reversed, k's own edge and the next spoke.
void fanPass(TpolyGeom& geom, TbitFieldFixedN& selected) {
    geom.update(dirtyFaceOffsets);
    const uint32_t nbFace = geom.nbFace();
    uint32_t corners = 0, divided = 0, spokes = 0;
    for (uint32_t f = 0; f < nbFace; ++f) {
        const uint32_t n = geom.faceVertexCount(f);
        const bool on = selected.testBit(f);
        corners += on ? 3 * n : n;
        divided += on;
        spokes += on ? n : 0;
    }
    TfaceRewrite out;
    out.begin(geom, corners);
    geom.vertexBuffer(divided);
    geom.edgeBuffer(spokes);
    // Per divided face (in order) its centre's UV id in each set, then its colour id in each set.
    TuInt32Array centreUVs(256), centreColors(256);
    const uint32_t nbUV = geom.nbMapSet(), nbColor = geom.nbColorSet();
    centreUVs.buffer(divided * nbUV);
    centreColors.buffer(divided * nbColor);
    std::vector<uint32_t> spoke;
    for (uint32_t f = 0; f < nbFace; ++f) {
        out.nextOldFace();
        if (!selected.testBit(f)) {
            out.copyFace(f);
            continue;
        }
        const uint32_t offset = geom.faceOffset(f), n = geom.faceVertexCount(f);
        uint32_t outline = offset;
        while (outline + 1 < offset + n && !geom.endOfLoop(outline)) ++outline;
        const uint32_t c =
            geom.appendVertex(TpolyFaceQuery::getFaceCenterFromOffset(geom, offset, kFaceInfoCornerMean));
        for (TpolyMap& set : *geom.maps())
            centreUVs.addLast(uint32_t(appendCentreValue(set.indexArray(), set.uvArray(), offset, outline + 1,
                                                         [](T2FloatPair a, const T2FloatPair& b, float w) {
                                                             return T2FloatPair{a.u + b.u * w, a.v + b.v * w};
                                                         })));
        for (TpolyColor& set : *geom.colors())
            centreColors.addLast(uint32_t(appendCentreValue(
                set.indexArray(), set.values(), offset, outline + 1,
                [](TpolyColorValue a, const TpolyColorValue& b, float w) {
                    return TpolyColorValue{a.r + b.r * w, a.g + b.g * w, a.b + b.b * w, a.a + b.a * w};
                })));
        spoke.resize(n);
        for (uint32_t k = 0; k < n; ++k) spoke[k] = geom.appendEdge(geom.getStartVertex(offset + k), c, false);
        for (uint32_t loop = 0, k = 0; k < n; ++k) {
            const bool last = geom.endOfLoop(offset + k) || k + 1 == n;
            const uint32_t next = last ? loop : k + 1;
            if (last) loop = k + 1;
            out.push(spoke[k] | TpolyBits::kReversedUse, TpolyBits::kNoId);
            out.push(geom.getFaceEdge(offset + k) & kDescBits, offset + k);
            out.push(spoke[next], offset + next);
            out.closeFace();
        }
    }
    out.install(nullptr);

    // Each triangle's first corner is its centre corner.
    geom.update(dirtyFaceOffsets);
    TbitFieldFixedN next(out.faceCount());
    for (uint32_t d = 0, f = 0; f < nbFace; ++f) {
        if (!selected.testBit(f)) continue;
        const uint32_t firstFace = out.first()[f], endFace = out.first()[f + 1];
        for (uint32_t p = firstFace; p < endFace; ++p) {
            next.setBit(p);
            const uint32_t o = geom.faceOffset(p);
            for (uint32_t s = 0; s < nbUV; ++s) geom.setUVId(o, int32_t(centreUVs[d * nbUV + s]), s);
            for (uint32_t s = 0; s < nbColor; ++s) geom.setColorId(o, int32_t(centreColors[d * nbColor + s]), s);
        }
        ++d;
    }
    selected = next;
}
}  // namespace

uint32_t TpolySubdFacetFty::subdFacet(TpolyGeom* geom, int group, int divisions) {
    if (!geom || divisions < 1) return 0;
    geom->update(dirtyFaceOffsets);
    TbitFieldFixedN selected(geom->nbFace());
    if (group == 0)
        selected.setAll();
    else if (geom->flagsFromGroup(kPolyGrpFace, group, selected) <= 0)
        return 0;
    const uint32_t divided = selected.countSet();
    if (!divided) return 0;
    for (int pass = 0; pass < divisions; ++pass) fanPass(*geom, selected);
    return divided;
}

int TpolySubdFacetFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    if (fDivisions < 1 || !getActiveGrpName(body, components, kPolyGrpFace, name)) return -1;
    if (body->polyGeom()->nbElem(name, kPolyGrpFace) == 0) return -1;
    if (fMode == 1) {
        subdFacet(body->polyGeom(), name, fDivisions);
        return 0;
    }
    for (int pass = 0; pass < fDivisions; ++pass) {
        TpolyGeom* geom = body->polyGeom();
        TbitFieldFixedN selected;
        if (geom->flagsFromGroup(kPolyGrpFace, name, selected) < 0) return -1;
        TpolyEditableGeom edit(geom, TpolyEditableGeom::kModeAll);
        const uint32_t nbUV = edit.numUVMaps(), nbColor = edit.numColorMaps();
        std::vector<uint32_t> faces;
        std::vector<T3dFltPoint> centres;
        std::vector<T2FloatArray> uvs(nbUV);
        std::vector<TpolyColorValueArray> colours(nbColor);
        for (uint32_t f = 0; f < selected.size(); ++f) {
            if (!selected.testBit(f)) continue;
            faces.push_back(f);
            edit.getFaceCenter(f, kFaceInfoCornerMean, centres.emplace_back());
            for (uint32_t s = 0; s < nbUV; ++s) {
                T2FloatPair uv{0, 0};
                edit.getUVFaceCenter(f, s, uv);
                uvs[s].addLast(uv);
            }
            for (uint32_t s = 0; s < nbColor; ++s) {
                TpolyColorValue c;
                if (!edit.getColorFaceCenter(f, s, c)) c.a = std::numeric_limits<float>::max();
                colours[s].addLast(c);
            }
        }
        for (uint32_t k = 0; k < faces.size(); ++k)
            edit.subdivideFace(faces[k], centres[k], uvs.data(), colours.data(), k, true);
        body->setMidBody(edit.convert(true, true, nullptr));
    }
    return 0;
}
