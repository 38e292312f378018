#include "brindle/spatial/IsectCache.h"

#include <cstring>

#include "brindle/geom/PolyGeom.h"
#include "brindle/spatial/PolySpatialSubdivision.h"

namespace {

// Word-at-a-time multiply-xor hash: fast enough to run over a million-triangle record in a few
// milliseconds, far below a rebuild.
struct Hasher {
    uint64_t h = 0x243F6A8885A308D3ull;

    void words(const void* data, size_t bytes) {
        const unsigned char* p = static_cast<const unsigned char*>(data);
        uint64_t w = 0;
        for (; bytes >= 8; bytes -= 8, p += 8) {
            std::memcpy(&w, p, 8);
            mix(w);
        }
        w = 0;
        if (bytes) std::memcpy(&w, p, bytes);  // an empty array may have no storage at all
        mix(w ^ (uint64_t(bytes) << 56));
    }
    void mix(uint64_t w) {
        h = (h ^ w) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
    }
};

uint64_t fingerprint(const TpolyGeom& g) {
    Hasher h;
    h.words(g.vertexArray().data(), size_t(g.nbVertex()) * sizeof(T3dFltPoint));
    h.words(g.faceDescArray().data(), size_t(g.faceDescLength()) * sizeof(uint32_t));
    h.words(g.trg()->fTriangles.data(), size_t(g.nbTriangle()) * sizeof(TpolyTriangle));
    h.mix(g.nbFace());
    return h.h;
}

}  // namespace

const TpolySpatialSubdivision& TpolyIsectCache::get(TpolyGeom& geom, const TmeshIsectAccelParams& params) {
    if (fAccel && fStamp == geom.editStamp() && fAccel->matchesParams(params)) return *fAccel;
    geom.update(dirtyFaceOffsets | dirtyTriangles);
    const uint64_t print = fingerprint(geom);
    if (!fAccel || !fAccel->matchesParams(params) || print != fFingerprint) {
        clear();
        fAccel = new TpolySpatialSubdivision(geom, params);
        fFingerprint = print;
    }
    fStamp = geom.editStamp();
    return *fAccel;
}

void TpolyIsectCache::clear() {
    delete fAccel;
    fAccel = nullptr;
}

const TpolySpatialSubdivision& TpolyGeom::getIntersectionAccelerator(const TmeshIsectAccelParams& params) {
    return fIsectCache.get(*this, params);
}

void TpolyGeom::deleteIntersectionAccelerator() { fIsectCache.clear(); }
