#include "brindle/ops/PolyMirrorFty.h"

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyChipOffFty.h"
#include "brindle/ops/PolyExtrudeFacetFty.h"
#include "brindle/ops/PolyMergeVertFty.h"
#include "brindle/ops/PolyNormalFty.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyMirrorFty, TmidModifierFty);

namespace {
// The parameters go by their accessor names. The enumerations are read as integers and the
// double-precision pivot as a point.
template <typename Enum, void (TpolyMirrorFty::*Setter)(Enum)>
bool setEnum(TmidModifierFty& fty, std::string_view text) {
    int value;
    if (!TmodifierText::parse(text, value)) return false;
    (static_cast<TpolyMirrorFty&>(fty).*Setter)(Enum(value));
    return true;
}
bool setPivotText(TmidModifierFty& fty, std::string_view text) {
    T3dFltPoint p;
    if (!TmodifierText::parse(text, p)) return false;
    static_cast<TpolyMirrorFty&>(fty).setPivot({p.x, p.y, p.z});
    return true;
}
template <auto Setter>
bool setPlain(TmidModifierFty& fty, std::string_view text) {
    return TmodifierText::apply(fty, Setter, text);
}

const TmodifierParamTable sParams(
    TpolyMirrorFty::sMetaclass,
    {TmodifierParam{"mirrorDir",
                    &setEnum<TpolyMirrorFty::TmirrorDir, &TpolyMirrorFty::setMirrorDir>,
                    TmodifierParamType::kInt,
                    [](const TmidModifierFty& f) {
                        return TmodifierText::format(int(static_cast<const TpolyMirrorFty&>(f).mirrorDir()));
                    },
                    {"mirror direction: 0 +x, 1 -x, 2 +y, 3 -y, 4 +z, 5 -z", 0, 5}},
     TmodifierParam{"mergeMode",
                    &setEnum<TpolyMirrorFty::TmergeMode, &TpolyMirrorFty::setMergeMode>,
                    TmodifierParamType::kInt,
                    [](const TmidModifierFty& f) {
                        return TmodifierText::format(int(static_cast<const TpolyMirrorFty&>(f).mergeMode()));
                    },
                    {"0 copy only; 1 weld the border on the plane; 2 extrude the border to the plane and weld", 0, 2}},
     TmodifierParam{"mergeTolerance",
                    &setPlain<&TpolyMirrorFty::setMergeTolerance>,
                    TmodifierParamType::kDouble,
                    nullptr,
                    {"largest distance between border vertices that are welded", 0, 0.1}},
     TmodifierParam{"pivot", &setPivotText, TmodifierParamType::kPoint, nullptr,
                    {"point the mirror plane passes through", -1, 1}},
     TmodifierParam{"matrix", &setPlain<&TpolyMirrorFty::setMatrix>, TmodifierParamType::kMatrix, nullptr,
                    {"frame of the mirror plane"}},
     TmodifierParam{"worldMatrix", &setPlain<&TpolyMirrorFty::setWorldMatrix>, TmodifierParamType::kMatrix,
                    nullptr, {"frame the positions are read through"}}});
}  // namespace

void TpolyMirrorFty::initFactory(TpolyMoveFacetFty* factory, TmidBody* body) const {
    static const T4dFltVector kReflection[3] = {{-1, 1, 1}, {1, -1, 1}, {1, 1, -1}};
    factory->setScale(kReflection[fDir / 2]);
    factory->setNbComponents(body->polyGeom()->nbFace());
    factory->setRotate(TrotateXYZ());
    factory->setTrans(T4dFltVector());
    factory->setPivot(T3dFltPoint(float(fPivot.x), float(fPivot.y), float(fPivot.z)));
    factory->setRandom(0);
    factory->setRandomSeed(1);
    // The neutral homogeneous vector: no offset along the normals.
    factory->setLTrans(T4dFltVector(0, 0, 0, 1));
    factory->setMatrix(fMatrix);
    factory->setLXDir(T4dFltVector(1, 0, 0));
    factory->setLRotate(TrotateXYZ());
    factory->setLScale(T4dFltVector(1, 1, 1));
    factory->setOffset(0);
    factory->setWeight(0);
    factory->setAttraction(0);
}

void TpolyMirrorFty::doChipOff(TmidBody* body) const {
    TpolyChipOffFty chipOff;
    initFactory(&chipOff, body);
    chipOff.setChipOffMode(true);
    chipOff.setDuplicate(true);
    chipOff.doAction(body, nullptr);
}

void TpolyMirrorFty::doExtrude(TmidBody* body) const {
    TpolyExtrudeFacetFty extrude;
    initFactory(&extrude, body);
    extrude.setExtrudeMode(true);
    extrude.setDivisions(1);
    extrude.doAction(body, nullptr);
    TpolyGeom* geom = body->polyGeom();
    TbitFieldFixedN all(geom->nbFace());
    all.setAll();
    geom->flagsToGroup(kPolyGrpFace, -1, all);
}

void TpolyMirrorFty::doNormal(TmidBody* body) const {
    TpolyNormalFty normal;
    normal.setNormalMode(0);
    normal.doAction(body, nullptr);
}

void TpolyMirrorFty::doMerge(TmidBody* body) const {
    TpolyGeom* geom = body->polyGeom();
    TbitFieldFixedN marks(geom->nbVertex());
    if (fMergeMode == kWeldBorder) {
        geom->update(dirtyEdgeToFace);
        for (uint32_t e = 0; e < geom->nbEdge(); ++e)
            if (geom->isBorder(e)) marks.setBit(geom->startVertex(e)), marks.setBit(geom->endVertex(e));
    } else {
        // The weld joins marked vertices with one another, so both ends of a short edge are
        // marked: a wall edge between a border vertex and its reflection collapses.
        for (uint32_t e = 0; e < geom->nbEdge(); ++e) {
            const T3dFltPoint d = geom->vertexConst(geom->endVertex(e)) - geom->vertexConst(geom->startVertex(e));
            if (double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z < fTolerance)
                marks.setBit(geom->startVertex(e)), marks.setBit(geom->endVertex(e));
        }
    }
    if (!marks.anySet()) return;
    geom->flagsToGroup(kPolyGrpVertex, -1, marks);
    TpolyMergeVertFty merge;
    merge.setThreshold(float(fTolerance));
    merge.setSewMap(true);
    merge.setMatrix(fMatrix.toFlt());
    merge.doAction(body, nullptr);
}

int TpolyMirrorFty::action(TmidBody* body, TmidComponent*) {
    TpolyGeom* geom = body ? body->polyGeom() : nullptr;
    if (!geom || int(fDir) < kPositiveX || int(fDir) > kNegativeZ) return -1;
    // Every step would refuse a singular frame on its own, leaving the steps after it to act on
    // the original faces: refuse the whole mirror instead.
    T4dDblMatrix back = fWorldMatrix, inverse = fMatrix;
    if (!back.invertIt() || !inverse.invertIt()) return -1;
    if (geom->nbFace() == 0) return 0;

    TbitFieldFixedN all(geom->nbFace());
    all.setAll();
    geom->flagsToGroup(kPolyGrpFace, -1, all);
    const bool framed = !fWorldMatrix.isIdentity();
    if (framed) geom->toReference(fWorldMatrix, false, true);
    if (fMergeMode == kExtrudeAndWeld)
        doExtrude(body);
    else
        doChipOff(body);
    doNormal(body);
    if (fMergeMode == kWeldBorder || fMergeMode == kExtrudeAndWeld) doMerge(body);
    if (framed) body->polyGeom()->toReference(back, false, true);
    return 0;
}
