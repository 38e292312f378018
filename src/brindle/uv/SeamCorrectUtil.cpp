#include "brindle/uv/SeamCorrectUtil.h"

#include <algorithm>

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/uv/UvWork.h"

TpolySeamCorrectUtil::TpolySeamCorrectUtil(TmidBody* body) : fGeom(body ? body->polyGeom() : nullptr) {}

bool TpolySeamCorrectUtil::measureRange() {
    const uint32_t s = uint32_t(fGeom->getCurrentMap());
    const TpolyMap& map = (*fGeom->maps())[s];
    fMin = 1e300;
    fMax = -1e300;
    for (uint32_t f : fFaces)
        for (uint32_t c = fGeom->faceOffset(f); c < fGeom->faceOffset(f + 1); ++c) {
            const float u = map.uvArray()[uint32_t(map.getIndex(c))].u;
            if (u == kPoleMarker) continue;
            fMin = std::min(fMin, double(u));
            fMax = std::max(fMax, double(u));
        }
    return fMin <= fMax;
}

bool TpolySeamCorrectUtil::setCornerUV(uint32_t corner, float u, float v) {
    const uint32_t s = uint32_t(fGeom->getCurrentMap());
    const int32_t id = fGeom->appendUV(u, v, s);
    return id >= 0 && fGeom->setUVId(corner, id, s);
}

bool TpolySeamCorrectUtil::setFaceVertexUV(uint32_t face, uint32_t vertex, float u, float v) {
    const uint32_t c = fGeom->getVertexOffset(face, vertex);
    return c != uvwork::kNone && setCornerUV(c, u, v);
}

void TpolySeamCorrectUtil::restorePoleValues() {
    const uint32_t s = uint32_t(fGeom->getCurrentMap());
    for (uint32_t id : fMarked) fGeom->uv(id, s)->u = 0;
    fMarked.clear();
}

bool TpolySeamCorrectUtil::correctSeam() {
    if (!fGeom || fGeom->nbFace() == 0) return false;
    const int32_t current = fGeom->getCurrentMap();
    if (current < 0 || uint32_t(current) >= fGeom->nbMapSet()) return false;
    const uint32_t s = uint32_t(current);
    if (fGeom->nbUV(s) == 0) return false;
    fGeom->update(dirtyFaceOffsets);
    if (fFaces.empty())
        for (uint32_t f = 0; f < fGeom->nbFace(); ++f) fFaces.push_back(f);
    uvwork::fitIds(*fGeom, s);
    const uint32_t nUV = fGeom->nbUV(s);
    for (uint32_t f : fFaces)
        for (uint32_t c = fGeom->faceOffset(f); c < fGeom->faceOffset(f + 1); ++c) {
            const int32_t id = fGeom->getUVId(c, s);
            if (id < 0 || uint32_t(id) >= nUV) return false;
        }
    for (uint32_t id = 0; id < nUV; ++id)
        if (fGeom->uvConst(id, s)->u == kPoleMarker) fMarked.push_back(id);
    if (!measureRange()) {
        restorePoleValues();
        return false;
    }
    const double period = fMax - fMin + 0.1;
    std::vector<float> u;
    for (uint32_t f : fFaces) {
        const uint32_t faceStart = fGeom->faceOffset(f), faceEnd = fGeom->faceOffset(f + 1);
        for (uint32_t first = faceStart; first < faceEnd;) {
            uint32_t last = first;
            while (!fGeom->endOfLoop(last) && !fGeom->endOfFace(last) && last + 1 < faceEnd) ++last;
            const uint32_t n = last - first + 1;
            u.resize(n);
            for (uint32_t k = 0; k < n; ++k) u[k] = fGeom->uvConst(uint32_t(fGeom->getUVId(first + k, s)), s)->u;
            // Each corner is compared with the one before it as already shifted, so a run of
            // corners past the seam follows the first of them.
            for (uint32_t k = 0; k < n; ++k) {
                const float before = u[(k + n - 1) % n];
                if (u[k] == kPoleMarker || before == kPoleMarker) continue;
                const double d = double(u[k]) - before;
                const double shift = d > period / 2 ? -period : d < -period / 2 ? period : 0;
                if (shift == 0) continue;
                u[k] = float(u[k] + shift);
                setCornerUV(first + k, u[k], fGeom->uvConst(uint32_t(fGeom->getUVId(first + k, s)), s)->v);
            }
            for (uint32_t k = 0; k < n; ++k) {
                if (u[k] != kPoleMarker) continue;
                const float a = u[(k + n - 1) % n], b = u[(k + 1) % n];
                const float mean = a == kPoleMarker ? b : b == kPoleMarker ? a : (a + b) / 2;
                setCornerUV(first + k, mean == kPoleMarker ? 0 : mean,
                            fGeom->uvConst(uint32_t(fGeom->getUVId(first + k, s)), s)->v);
            }
            first = last + 1;
        }
    }
    restorePoleValues();
    return true;
}
