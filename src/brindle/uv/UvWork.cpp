#include "brindle/uv/UvWork.h"

#include <algorithm>
#include <cmath>

#include "brindle/framework/MidBody.h"
#include "brindle/framework/ModifierFty.h"
#include "brindle/geom/PolyGeom.h"

namespace uvwork {

uint32_t namedSet(const TpolyGeom& geom, uint32_t index) { return index < geom.nbMapSet() ? index : kNone; }

uint32_t resolveSet(const TpolyGeom& geom, uint32_t index) {
    if (index == kNone) {
        const int32_t current = geom.getCurrentMap();
        return current >= 0 ? namedSet(geom, uint32_t(current)) : kNone;
    }
    return namedSet(geom, index);
}

void fitIds(TpolyGeom& geom, uint32_t s) {
    Tint32Array& ids = (*geom.maps())[s].indexArray();
    const uint32_t n = geom.faceDescLength(), had = ids.size();
    if (had == n) return;
    ids.changeLogicalSizeTo(n);
    for (uint32_t c = had; c < n; ++c) ids[c] = -1;
}

void copyFaceUVs(TpolyGeom& geom, uint32_t in, uint32_t out, const std::vector<uint32_t>& faces, bool perFace) {
    TpolyMap& from = (*geom.maps())[in];
    TpolyMap& to = (*geom.maps())[out];
    const uint32_t nIn = from.nbUV();
    std::vector<int32_t> remap(nIn, -1);
    std::vector<uint32_t> touched;
    for (uint32_t f : faces) {
        for (uint32_t c = geom.faceOffset(f), end = geom.faceOffset(f + 1); c < end; ++c) {
            const int32_t id = from.getIndex(c);
            if (id < 0 || uint32_t(id) >= nIn) {
                to.indexArray()[c] = -1;
                continue;
            }
            if (remap[uint32_t(id)] < 0) {
                const T2FloatPair p = from.uvArray()[uint32_t(id)];
                remap[uint32_t(id)] = int32_t(to.appendUV(p.u, p.v));
                touched.push_back(uint32_t(id));
            }
            to.indexArray()[c] = remap[uint32_t(id)];
        }
        if (!perFace) continue;
        for (uint32_t id : touched) remap[id] = -1;
        touched.clear();
    }
    geom.markDirty(dirtyMoved);
}

bool activeIds(TmidBody* body, TmidComponent* list, TpolyGrpType kind, std::vector<uint32_t>& ids) {
    int name = -1;
    ids.clear();
    if (!TmidModifierFty::getActiveGrpName(body, list, kind, name)) return false;
    const TsingleIndexedComponent* items = body->polyGeom()->objectGroupComponent(name, kind);
    if (!items) return false;
    ids.reserve(items->elementCount());
    for (uint32_t id : *items) ids.push_back(id);
    return true;
}

bool activeBits(TmidBody* body, TmidComponent* list, TpolyGrpType kind, TbitFieldFixedN& bits) {
    std::vector<uint32_t> ids;
    if (!activeIds(body, list, kind, ids)) return false;
    const uint32_t n = kind == kPolyGrpUV ? bits.size() : body->polyGeom()->getMaxVal(kind);
    bits.resizeArray(n);
    bits.resetAll();
    for (uint32_t id : ids)
        if (id < n) bits.setBit(id);
    return true;
}

void TcornerIndex::build(const TpolyGeom& geom) {
    const uint32_t nCorner = geom.faceDescLength(), nVertex = geom.nbVertex(), nFace = geom.nbFace();
    faceOf.resize(nCorner);
    for (uint32_t f = 0; f < nFace; ++f)
        for (uint32_t c = geom.faceOffset(f), end = geom.faceOffset(f + 1); c < end; ++c) faceOf[c] = f;
    start.assign(nVertex + 1, 0);
    for (uint32_t c = 0; c < nCorner; ++c) ++start[geom.getStartVertex(c) + 1];
    for (uint32_t v = 0; v < nVertex; ++v) start[v + 1] += start[v];
    corners.resize(nCorner);
    std::vector<uint32_t> fill(start.begin(), start.end() - 1);
    for (uint32_t c = 0; c < nCorner; ++c) corners[fill[geom.getStartVertex(c)]++] = c;
}

void loopBounds(const TpolyGeom& geom, uint32_t faceStart, uint32_t c, uint32_t& first, uint32_t& last) {
    first = faceStart;
    for (uint32_t k = faceStart;; ++k) {
        if (geom.endOfLoop(k) || geom.endOfFace(k)) {
            if (k >= c) {
                last = k;
                return;
            }
            first = k + 1;
        }
    }
}

uint32_t TcornerIndex::previousInLoop(const TpolyGeom& geom, uint32_t faceStart, uint32_t c) {
    uint32_t first = 0, last = 0;
    loopBounds(geom, faceStart, c, first, last);
    return c == first ? last : c - 1;
}

TuvAffine::TuvAffine(double angle, double scaleU, double scaleV, double offsetU, double offsetV)
    : c(std::cos(angle)), s(std::sin(angle)), sx(scaleU), sy(scaleV), ox(offsetU), oy(offsetV) {}

bool segmentsCross(const float a[2], const float b[2], const float c[2], const float d[2]) {
    const auto orient = [](const float p[2], const float q[2], const float r[2]) {
        return (double(q[0]) - p[0]) * (double(r[1]) - p[1]) - (double(q[1]) - p[1]) * (double(r[0]) - p[0]);
    };
    const double d1 = orient(c, d, a), d2 = orient(c, d, b), d3 = orient(a, b, c), d4 = orient(a, b, d);
    return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

void TuvSegmentGrid::reset(double cellSize) {
    fCell = cellSize > 0 ? cellSize : 1;
    fSegments.clear();
    fStamp.clear();
    fHeads.clear();
    fEntrySegment.clear();
    fEntryNext.clear();
    fWide.clear();
}

bool TuvSegmentGrid::cells(const float a[2], const float b[2], int64_t lo[2], int64_t hi[2]) const {
    for (int k = 0; k < 2; ++k) {
        lo[k] = int64_t(std::floor(std::min(a[k], b[k]) / fCell));
        hi[k] = int64_t(std::floor(std::max(a[k], b[k]) / fCell));
    }
    return (hi[0] - lo[0] + 1) * (hi[1] - lo[1] + 1) <= int64_t(kMaxCells);
}

void TuvSegmentGrid::add(const float a[2], const float b[2]) {
    const uint32_t id = uint32_t(fSegments.size());
    fSegments.push_back({{a[0], a[1]}, {b[0], b[1]}});
    fStamp.push_back(0);
    int64_t lo[2], hi[2];
    if (!cells(a, b, lo, hi)) {
        fWide.push_back(id);
        return;
    }
    for (int64_t i = lo[0]; i <= hi[0]; ++i)
        for (int64_t j = lo[1]; j <= hi[1]; ++j) {
            auto [it, fresh] = fHeads.try_emplace(key(i, j), uint32_t(fEntrySegment.size()));
            fEntrySegment.push_back(id);
            fEntryNext.push_back(fresh ? kNone : it->second);
            it->second = uint32_t(fEntrySegment.size() - 1);
        }
}

bool TuvSegmentGrid::crosses(const float a[2], const float b[2]) {
    ++fQuery;
    const auto test = [&](uint32_t id) {
        if (fStamp[id] == fQuery) return false;
        fStamp[id] = fQuery;
        return segmentsCross(a, b, fSegments[id].a, fSegments[id].b);
    };
    for (uint32_t id : fWide)
        if (test(id)) return true;
    int64_t lo[2], hi[2];
    if (!cells(a, b, lo, hi)) {
        for (uint32_t id = 0; id < fSegments.size(); ++id)
            if (test(id)) return true;
        return false;
    }
    for (int64_t i = lo[0]; i <= hi[0]; ++i)
        for (int64_t j = lo[1]; j <= hi[1]; ++j) {
            auto it = fHeads.find(key(i, j));
            if (it == fHeads.end()) continue;
            for (uint32_t e = it->second; e != kNone; e = fEntryNext[e])
                if (test(fEntrySegment[e])) return true;
        }
    return false;
}

}  // namespace uvwork
