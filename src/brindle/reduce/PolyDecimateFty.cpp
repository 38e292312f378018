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

    fEdit = std::make_unique<TpolyEditableGeom>(geom, 7);
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

int TpolyDecimateFty::decimate(double percentage) {
    const uint64_t k = uint64_t(double(fConsideredFaces) * percentage * 0.01);
    if (k == 0 || !fEdit) return 0;
    const uint32_t goal = k >= fStartFaces ? 1 : uint32_t(fStartFaces - k);
    if (fEdit->faceCount() <= goal || fEdit->faceCount() < 2) return 0;

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
        if (!fEdit->collapseEdge(e)) continue;
        fEdit->setVertex(a, T3dFltPoint(record.position[0], record.position[1], record.position[2]));
        fVertexFlags[a] |= fVertexFlags[b];
        applyAttributes(a, record, uvSpan);
        fQuadrics.accumulate(a, b);
        const uint32_t removed = fStartFaces - fEdit->faceCount();
        if (fEdit->faceCount() <= goal) break;
        updateEdgeCosts(a);

        if (!decided &&
            std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(50)) {
            decided = true;
            if (double(removed) < double(k) * 0.01) {
                shown = true;
                progress.beginComputation();
                progress.setProgressStatus("Polygon reduce is in progress...");
                progress.setProgressRange(0, int(std::min<uint64_t>(k, 0x7fffffff)));
                progress.setShowPercentText(true);
            }
        }
        if (shown) progress.setProgressValue(int(std::min<uint32_t>(removed, 0x7fffffff)));
        if (progress.isInterruptRequested()) {
            result = 1;
            const uint32_t left = fConsideredFaces - std::min(removed, fConsideredFaces);
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

void TpolyDecimateFty::finishRun(TmidBody* body) {
    TpolyIdMapper local(false, false, false);
    TpolyIdMapper& mapper = idMapper() ? *idMapper() : local;
    TpolyGeom* out = fEdit->convert(true, true, mapper);
    // Collapses leave the merged-away UVs and colours behind.
    for (uint32_t s = 0; s < out->nbMapSet(); ++s) (*out->maps())[s].removeUnusedData();
    for (uint32_t s = 0; s < out->nbColorSet(); ++s) (*out->colors())[s].removeUnusedData();
    out->markDirty(~0u);
    release();
    body->setMidBody(out);
}

void TpolyDecimateFty::release() {
    fEdit.reset();
    fGeom = nullptr;
    fQuadrics.create(3, 0);
    fHeap.reserve_heap_size(0, 0);
    fValidated.clear();
    fFaceConsidered.clear();
    fVertexFlags.clear();
}
