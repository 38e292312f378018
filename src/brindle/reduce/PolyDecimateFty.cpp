// The run of a reduction: preparing the record, the collapse loop with its progress display, and
// handing the reduced record to the body.
#include "brindle/reduce/PolyDecimateFty.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "brindle/base/BitField.h"
#include "brindle/base/Computation.h"
#include "brindle/edit/PolyEditableGeom.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyTriangulateFty.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyDecimateFty, TpolyRemoverFty);

namespace {
const TmodifierParamTable sParams(
    TpolyDecimateFty::sMetaclass, kPolyGrpFace,
    {BRINDLE_MODIFIER_PARAM_GETTER(TpolyDecimateFty, Percentage, percentage,
                                   "share of the considered faces to remove, in percent; clamped into 0..100", 0, 100),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyDecimateFty, PercentageDone, percentageDone,
                                   "after an interrupted run, the share actually removed", 0, 100),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyDecimateFty, Compactness, compactness,
                                   "smallest triangle compactness a collapse may leave without penalty; on above 1e-10",
                                   0, 1),
     BRINDLE_MODIFIER_PARAM(TpolyDecimateFty, VertexWeightCoefficient, "weight of the per-vertex weights", 0, 10),
     BRINDLE_MODIFIER_PARAM(TpolyDecimateFty, GeomWeight, "weight of the position error", 0, 10),
     BRINDLE_MODIFIER_PARAM(TpolyDecimateFty, UVWeight, "weight of the UV error", 0, 10),
     BRINDLE_MODIFIER_PARAM(TpolyDecimateFty, RGBWeight, "weight of the colour error", 0, 10),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyDecimateFty, DecimationType, decimationType,
                                   "kept with the parameters; the reduction does not read it", 0, 1),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyDecimateFty, VertexCount, vertexCount, "kept with the parameters", 0),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyDecimateFty, VertReductionPerDecimation, vertReductionPerDecimation,
                                   "kept with the parameters", 0, 100),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyDecimateFty, KeepGeometryBorder, keepGeometryBorder, "keep border edges"),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyDecimateFty, KeepMapBorder, keepMapBorder, "keep UV borders"),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyDecimateFty, KeepHardEdges, keepHardEdges, "keep hard edges"),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyDecimateFty, Triangulate, triangulate,
                                   "triangulate the considered faces first"),
     BRINDLE_MODIFIER_PARAM_GETTER(TpolyDecimateFty, OptimalVertexPlacement, optimalVertexPlacement,
                                   "place each merged vertex where its error is least rather than at an end")});
}  // namespace

TpolyDecimateFty::TpolyDecimateFty(const TpolyDecimateFty& o) : TpolyRemoverFty(o) { copyParameters(o); }

TpolyDecimateFty& TpolyDecimateFty::operator=(const TpolyDecimateFty& o) {
    if (this != &o) {
        TpolyRemoverFty::operator=(o);
        copyParameters(o);
    }
    return *this;
}

TpolyDecimateFty::~TpolyDecimateFty() = default;

void TpolyDecimateFty::copyParameters(const TpolyDecimateFty& o) {
    fPercentage = o.fPercentage;
    fPercentageDone = o.fPercentageDone;
    fCompactness = o.fCompactness;
    fVertexWeightCoefficient = o.fVertexWeightCoefficient;
    fGeomWeight = o.fGeomWeight;
    fUVWeight = o.fUVWeight;
    fRGBWeight = o.fRGBWeight;
    fDecimationType = o.fDecimationType;
    fVertexCount = o.fVertexCount;
    fVertReductionPerDecimation = o.fVertReductionPerDecimation;
    fFlags = o.fFlags;
    fWeights = o.fWeights;
}

namespace {
bool below(double w, double limit) { return !(w >= limit); }  // NaN counts as below
}  // namespace

int TpolyDecimateFty::action(TmidBody* body, TmidComponent* components) {
    if (!body || !body->polyGeom()) return -1;
    int name = -1;
    bool selected = false;
    if (components) {
        if (!getActiveGrpName(body, components, kPolyGrpFace, name)) return -1;
        selected = true;
    } else {
        selected = getActiveGrpName(body, nullptr, kPolyGrpFace, name);
    }
    fPercentage = below(fPercentage, 0.0) ? 0.0 : std::min(fPercentage, 100.0);
    TpolyGeom* geom = body->polyGeom();
    if (geom->nbFace() < 2 || fPercentage == 0.0) return 0;
    if (below(fGeomWeight, 0.01) && below(fUVWeight, 0.01) && below(fRGBWeight, 0.01)) fGeomWeight = 1.0;

    fGeom = geom;
    fPartial = false;
    fFaceConsidered.assign(geom->nbFace(), 1);
    if (selected) {
        TbitFieldFixedN bits;
        if (geom->flagsFromGroup(kPolyGrpFace, -1, bits) >= 0 && bits.size() >= geom->nbFace())
            for (uint32_t f = 0; f < geom->nbFace(); ++f) {
                fFaceConsidered[f] = bits.testBit(f) ? 1 : 0;
                fPartial |= !bits.testBit(f);
            }
    }
    fStartFaces = geom->nbFace();
    fStartEdges = geom->nbEdge();
    fConsideredFaces = uint32_t(std::count(fFaceConsidered.begin(), fFaceConsidered.end(), uint8_t(1)));
    if (uint64_t(double(fConsideredFaces) * fPercentage * 0.01) == 0) return 0;

    initialize(geom);
    const int result = decimate(fPercentage);
    finishRun(body);
    return result;
}

void TpolyDecimateFty::initialize(TpolyGeom* geom) {
    fWg = fGeomWeight;
    fWu = fUVWeight;
    fWc = fRGBWeight;
    if (below(fWg, 0.01) && below(fWu, 0.01) && below(fWc, 0.01)) {
        fWg = 1.0;
        fWu = fWc = 0.0;
    }
    if (below(fWg, 0.01)) fWg = 0.011;
    fCompactnessTest = std::fabs(fCompactness) > 1e-10;

    if (triangulateRecord(geom)) {
        std::vector<uint8_t> considered(geom->nbFace(), 0);
        for (uint32_t f = 0; f < fStartFaces; ++f)
            std::fill(considered.begin() + fPieceStart[f], considered.begin() + fPieceStart[f + 1], fFaceConsidered[f]);
        fFaceConsidered.swap(considered);
    }
    fWorkFaces = geom->nbFace();
    fWorkConsidered =
        fPartial ? uint32_t(std::count(fFaceConsidered.begin(), fFaceConsidered.end(), uint8_t(1))) : fWorkFaces;

    fEdit = std::make_unique<TpolyEditableGeom>(geom, TpolyEditableGeom::kModeAll);
    const int32_t uvSet = geom->getCurrentMap();
    fUVSet = uvSet >= 0 && uint32_t(uvSet) < fEdit->numUVMaps() ? uvSet : -1;
    const int32_t colorSet = geom->getCurrentColorSet();
    fColorSet = colorSet >= 0 && uint32_t(colorSet) < fEdit->numColorMaps() ? colorSet : -1;
    if (fUVSet < 0) fWu = 0;
    if (fColorSet < 0) fWc = 0;
    fUseUV = !below(fWu, 0.01);
    fUseColor = !below(fWc, 0.01);
    fDim = 3 + (fUseUV ? 3 : 0) + (fUseColor ? 3 : 0);

    const uint32_t nEdge = fEdit->edgeCount();
    fEdgeHard.assign(nEdge, 0);
    fAnyHard = false;
    for (uint32_t e = 0; e < nEdge; ++e)
        if (!fEdit->isEdgeDeleted(e) && fEdit->polyEdge(e).isHard()) {
            fEdgeHard[e] = 1;
            fAnyHard = true;
        }
    fVertexFlags.assign(fEdit->vertexCount(), 0);
    if (fUVSet >= 0)
        for (uint32_t e = 0; e < nEdge; ++e)
            if (!fEdit->isEdgeDeleted(e) && isUVBorder(e, fUVSet)) {
                fVertexFlags[fEdit->getStartVertex(e)] |= kOnUVBorder;
                fVertexFlags[fEdit->getEndVertex(e)] |= kOnUVBorder;
            }

    collectQuadrics();
    if (keepMapBorder() || keepGeometryBorder() || keepHardEdges() || fPartial) constrainEdges();
    computeEdgeCosts();
}

bool TpolyDecimateFty::triangulateRecord(TpolyGeom* geom) {
    fPieceStart.clear();
    if (!triangulate()) return false;
    geom->update(dirtyFaceOffsets);
    const uint32_t n = geom->nbFace();
    // An all-triangle record, the usual input, is left alone without building its triangulation.
    uint32_t f = 0;
    while (f < n && geom->faceVertexCount(f) <= 3) ++f;
    if (f == n) return false;
    geom->update(dirtyTriangles);
    fPieceStart.changeLogicalSizeTo(n + 1);
    for (f = 0; f < n; ++f) fPieceStart[f] = geom->faceVertexCount(f) > 3 ? geom->trgFaceOrder(f) : 0;
    if (TpolyTriangulateFty::triangulateTopo(geom, 0, nullptr, false) == 0) {
        fPieceStart.clear();
        return false;
    }
    // The triangles of a face follow each other in the order of the old faces, and a face that
    // was kept still has its old corner count, more than three.
    geom->update(dirtyFaceOffsets);
    uint32_t next = 0;
    for (f = 0; f < n; ++f) {
        const uint32_t triangles = fPieceStart[f];
        fPieceStart[f] = next;
        next += triangles > 1 && geom->faceVertexCount(next) == 3 ? triangles : 1;
    }
    fPieceStart[n] = next;
    return true;
}

uint32_t TpolyDecimateFty::goalFaces(uint64_t removals) const {
    const uint64_t left =
        uint64_t(fWorkFaces - fWorkConsidered) + (fConsideredFaces - std::min<uint64_t>(removals, fConsideredFaces));
    return left == 0 ? 1 : uint32_t(left);
}

int TpolyDecimateFty::decimate(double percentage) {
    const uint64_t k = uint64_t(double(fConsideredFaces) * percentage * 0.01);
    if (k == 0 || !fEdit) return 0;
    const uint32_t goal = goalFaces(k);
    if (fEdit->faceCount() <= goal || fEdit->faceCount() < 2) return 0;
    const uint32_t needed = fEdit->faceCount() - goal;

    // The display appears only for long runs: once 0.05 s have passed and less than 1 % of the
    // removals are done by then.
    Tcomputation progress;
    const auto start = std::chrono::steady_clock::now();
    bool decided = false, shown = false;
    int result = 0;
    TqSlimEdge record;
    while (fHeap.pop_heap(record)) {
        const uint32_t e = record.edge;
        if (!isValidEdge(e)) continue;
        const uint32_t a = fEdit->getStartVertex(e), b = fEdit->getEndVertex(e);
        // Penalties only ever raise a cost, so a record is priced by its quadric alone until it
        // comes to the top: then it is checked, and goes back in when it earned a penalty. The
        // order is the same as pricing every record in full, at a fraction of the flip tests.
        if (!fValidated[e]) {
            fValidated[e] = 1;
            const double quadricCost = record.cost;
            validateVertexPosition(e, record);
            if (record.cost > quadricCost) {
                fHeap.add_to_heap(record);
                continue;
            }
        }
        const bool uvSpan = fUVSet >= 0 && (keepMapBorder() || fUseUV);
        if (uvSpan) computeUVBoundaryPosition(e, record);
        if (fAnyHard) noteMergedSides(e);
        if (!fEdit->collapseEdge(e)) continue;
        if (fAnyHard) mergeHardFlags();
        fEdit->setVertex(a, T3dFltPoint(record.position[0], record.position[1], record.position[2]));
        fVertexFlags[a] |= fVertexFlags[b];
        applyAttributes(a, record, uvSpan);
        fQuadrics.accumulate(a, b);
        const uint32_t removed = fWorkFaces - std::min(fEdit->faceCount(), fWorkFaces);
        if (fEdit->faceCount() <= goal) break;
        updateEdgeCosts(a);

        if (!decided && std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(50)) {
            decided = true;
            if (double(removed) < double(needed) * 0.01) {
                shown = true;
                progress.beginComputation();
                progress.setProgressStatus("Polygon reduce is in progress...");
                progress.setProgressRange(0, int(std::min<uint32_t>(needed, 0x7fffffff)));
                progress.setShowPercentText(true);
            }
        }
        if (shown) progress.setProgressValue(int(std::min<uint32_t>(removed, 0x7fffffff)));
        if (progress.isInterruptRequested()) {
            result = 1;
            const uint32_t left = fWorkConsidered - std::min(removed, fWorkConsidered);
            fPercentageDone = left < fConsideredFaces ? (1.0 - double(left) / fConsideredFaces) * 100.0 : 0.0;
            break;
        }
    }
    if (shown) progress.endComputation();
    fEdit->cleanupDegenerateFaces();
    return result;
}

bool TpolyDecimateFty::isValidEdge(uint32_t e) {
    if (fEdit->isEdgeDeleted(e) || fEdit->getStartVertex(e) == fEdit->getEndVertex(e)) return false;
    if (!fPartial) {
        // Every face is considered: any face on either side will do.
        const TpolyWingEdge& w = fEdit->polyWingEdge(e);
        return w.side[0] != TpolyBits::kNoFace || w.side[1] != TpolyBits::kNoFace;
    }
    bool any = false;
    for (int side = 0; side < 2; ++side) {
        fEdit->getEdgeFaces(e, fSideFaces, Tside(side));
        for (uint32_t f : fSideFaces) {
            if (f >= fFaceConsidered.size() || !fFaceConsidered[f]) return false;
            any = true;
        }
    }
    return any;
}

void TpolyDecimateFty::updateEdgeCosts(uint32_t vertex) {
    fEdit->getVertexEdges(vertex, fUpdateEdges);
    TqSlimEdge record;
    for (uint32_t e : fUpdateEdges) {
        if (!isValidEdge(e)) {
            fHeap.remove(e);
            continue;
        }
        solveQuadric(e, record);
        fValidated[e] = 0;
        fHeap.update_heap(record);
    }
}

void TpolyDecimateFty::noteMergedSides(uint32_t edge) {
    fMergedSides.clear();
    for (int side = 0; side < 2; ++side) {
        fEdit->getEdgeFaces(edge, fSideFaces, Tside(side));
        for (uint32_t id : fSideFaces) {
            const TfaceNode& f = fEdit->face(id);
            if (f.fCount != 3) continue;
            for (uint32_t k = 0; k < 3; ++k)
                if (f.getEdge(k) != edge) fMergedSides.addLast(f.getEdge(k));
        }
    }
}

void TpolyDecimateFty::mergeHardFlags() {
    for (uint32_t i = 0; i + 1 < fMergedSides.size(); i += 2) {
        const uint32_t x = fMergedSides[i], y = fMergedSides[i + 1];
        const uint8_t hard = fEdgeHard[x] | fEdgeHard[y];
        fEdgeHard[x] = fEdgeHard[y] = hard;
    }
}

void TpolyDecimateFty::finishRun(TmidBody* body) {
    // Every map is made, whatever the caller asked for: the hard flags need the edge map, and
    // the caller's maps are rewritten through the triangulation.
    TpolyIdMapper work(true, true, true);
    TpolyGeom* out = fEdit->convert(true, true, work);
    if (fAnyHard) {
        const TuInt32Array& edges = *work.edgeMap();
        for (uint32_t e = 0; e < fEdgeHard.size() && e < edges.size(); ++e)
            if (fEdgeHard[e] && !fEdit->isEdgeDeleted(e) && edges[e] < out->nbEdge()) out->setHard(edges[e]);
    }
    if (!fPieceStart.empty()) mapThroughTriangulation(work);
    if (TpolyIdMapper* mine = idMapper())
        for (TpolyGrpType kind : {kPolyGrpVertex, kPolyGrpEdge, kPolyGrpFace})
            if (TuInt32Array* m = mine->map(kind)) m->swap(*work.map(kind));
    // Collapses leave the merged-away UVs and colours behind.
    for (uint32_t s = 0; s < out->nbMapSet(); ++s) (*out->maps())[s].removeUnusedData();
    for (uint32_t s = 0; s < out->nbColorSet(); ++s) (*out->colors())[s].removeUnusedData();
    out->markDirty(dirtyAll);
    release();
    body->setMidBody(out);
}

void TpolyDecimateFty::mapThroughTriangulation(TpolyIdMapper& mapper) const {
    if (TuInt32Array* faces = mapper.faceMap()) {
        TuInt32Array old;
        old.changeLogicalSizeTo(fStartFaces);
        for (uint32_t f = 0; f < fStartFaces; ++f) {
            old[f] = TpolyBits::kNoId;
            for (uint32_t p = fPieceStart[f]; p < fPieceStart[f + 1] && old[f] == TpolyBits::kNoId; ++p)
                if (p < faces->size()) old[f] = (*faces)[p];
        }
        faces->swap(old);
    }
    if (TuInt32Array* edges = mapper.edgeMap())
        if (edges->size() > fStartEdges) edges->changeLogicalSizeTo(fStartEdges);
}

void TpolyDecimateFty::release() {
    fEdit.reset();
    fGeom = nullptr;
    fQuadrics.create(3, 0);
    fHeap.reserve_heap_size(0, 0);
    fValidated.clear();
    fFaceConsidered.clear();
    fVertexFlags.clear();
    fPieceStart.clear();
    fEdgeHard.clear();
}
