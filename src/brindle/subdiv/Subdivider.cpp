#include "brindle/subdiv/Subdivider.h"

#include "brindle/geom/PolyGeom.h"
#include "brindle/subdiv/CCEvaluator.h"
#include "brindle/subdiv/CCExtractor.h"
#include "brindle/subdiv/CCSubdivider.h"

TpolyBaseSubdivider::TpolyBaseSubdivider(TpolyGeom* record, const TpolySmoothGeomOptions& options)
    : fRecord(record), fOptions(options) {
    fRecord->update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
}

TpolyCatmullClarkSubdivider::TpolyCatmullClarkSubdivider(TpolyGeom* record, const TpolySmoothGeomOptions& options)
    : TpolyBaseSubdivider(record, options),
      fGeneric(options.subdivisionType() != TpolySmoothGeomOptions::kCatmullClark) {
    fHierarchy = std::make_unique<TpolyCatmullClarkHierarchy>(
        *record, uint32_t(options.edgeDivisions()), options.subdivisionType() == TpolySmoothGeomOptions::kLinear);
}

void TpolyCatmullClarkSubdivider::createHierarchy(unsigned int levels) {
    TpolyCCSubdivider builder(*fRecord, *fHierarchy);
    builder.setKeepHardEdges(fOptions.keepHardEdge());
    builder.setUvCenterType(fOptions.uvCenterType());
    fLevels = builder.createHierarchy(levels);
}

void TpolyCatmullClarkSubdivider::evaluateHierarchy(unsigned int levels) {
    TpolyCCEvaluator(fRecord, *fHierarchy, fOptions).evaluateHierarchy(levels < fLevels ? levels : fLevels);
}

void TpolyCatmullClarkSubdivider::copyHierarchy(unsigned int level, TpolyGeom& out) const {
    if (level <= fLevels) TpolyCCExtractor(*fRecord, *fHierarchy).extractHierarchy(level, out);
}

TpolyLinearSubdivider::TpolyLinearSubdivider(TpolyGeom* record, const TpolySmoothGeomOptions& options)
    : TpolyBaseSubdivider(record, options) {
    fHierarchy = std::make_unique<TpolyCatmullClarkHierarchy>(*record, uint32_t(options.edgeDivisions()), true);
}

void TpolyLinearSubdivider::createHierarchy(unsigned int levels) {
    TpolyNNSubdivider builder(*fRecord, *fHierarchy);
    builder.setKeepHardEdges(fOptions.keepHardEdge());
    builder.setUvCenterType(fOptions.uvCenterType());
    fLevels = builder.createHierarchy(levels);
}

void TpolyLinearSubdivider::evaluateHierarchy(unsigned int levels) {
    TpolyNNEvaluator(fRecord, *fHierarchy, fOptions).evaluateHierarchy(levels < fLevels ? levels : fLevels);
}

void TpolyLinearSubdivider::copyHierarchy(unsigned int level, TpolyGeom& out) const {
    if (level <= fLevels) TpolyNNExtractor(*fRecord, *fHierarchy).extractHierarchy(level, out);
}

// --- The record's entry points ---------------------------------------------------------------------

void TpolySubdividerDelete::operator()(TpolyBaseSubdivider* s) const { delete s; }

void TpolyGeom::createHierarchy(unsigned int levels, const TpolySmoothGeomOptions& options) {
    if (levels == 0) return;
    fSubdivider.reset();
    if (options.subdivisionType() == TpolySmoothGeomOptions::kLinear)
        fSubdivider.reset(new TpolyLinearSubdivider(this, options));
    else
        fSubdivider.reset(new TpolyCatmullClarkSubdivider(this, options));
    fSubdivider->createHierarchy(levels);
    fSubdivider->evaluateHierarchy(levels);
}

void TpolyGeom::updateHierarchy(unsigned int levels, const TpolySmoothGeomOptions& options) {
    if (levels == 0 || !fSubdivider) return;
    fSubdivider->setOptions(options);
    fSubdivider->evaluateHierarchy(levels);
}

void TpolyGeom::copyHierarchy(unsigned int level, TpolyGeom& out) const {
    if (level == 0) {
        if (&out != this) out.copy(*this, kCompAll);
        return;
    }
    if (fSubdivider) fSubdivider->copyHierarchy(level, out);
}
