#include "brindle/subdiv/SubdivLevel.h"

#include <cmath>

#include "brindle/geom/PolyGeom.h"
#include "brindle/subdiv/CatmullClarkHierarchy.h"

TsubdivLevel TsubdivLevel::of(const TpolyGeom& record, const TpolyCatmullClarkHierarchy& h, uint32_t l) {
    TsubdivLevel lv;
    lv.points = record.vertexArray().data();
    lv.edges = record.edgeArray().data();
    lv.desc = record.faceDescArray().data();
    lv.faceOffsets = l == 0 ? h.levelZeroOffsets() : nullptr;
    lv.vertexBase = h.vertexStart(l);
    lv.nbVertex = h.nbVertexAt(l);
    lv.edgeBase = h.edgeStart(l);
    lv.nbEdge = h.nbEdgeAt(l);
    lv.faceBase = h.faceStart(l);
    lv.nbFace = h.nbFaceAt(l);
    lv.descBase = h.cornerStart(l);
    return lv;
}

T3dFltPoint subdivOutlineCentre(const TsubdivLevel& lv, uint32_t f) {
    const uint32_t begin = lv.faceBegin(f), end = lv.faceEnd(f);
    uint32_t last = begin;
    while (last < end && !(lv.desc[last] & TpolyBits::kEndOfLoop) && last + 1 < end) ++last;
    if (last - begin + 1 < 3) return T3dFltPoint(0, 0, 0);
    double sx = 0, sy = 0, sz = 0, perimeter = 0;
    T3dFltPoint a = lv.point(lv.entryStart(begin));
    const T3dFltPoint first = a;
    for (uint32_t o = begin; o <= last; ++o) {
        const T3dFltPoint b = o == last ? first : lv.point(lv.entryStart(o + 1));
        const double dx = double(b.x) - a.x, dy = double(b.y) - a.y, dz = double(b.z) - a.z;
        const double len = std::sqrt(dx * dx + dy * dy + dz * dz);
        sx += (double(a.x) + b.x) * len;
        sy += (double(a.y) + b.y) * len;
        sz += (double(a.z) + b.z) * len;
        perimeter += len;
        a = b;
    }
    if (2 * perimeter < 1e-5) return first;
    const double k = 1.0 / (2 * perimeter);
    return T3dFltPoint(float(sx * k), float(sy * k), float(sz * k));
}

T2FloatPair subdivUVCentre(const T2FloatPair* uvs, uint32_t n, TpolyFaceInfo kind) {
    T2FloatPair c{0, 0};
    if (n == 0) return c;
    if (kind == kFaceInfoCornerMean || n < 3) {
        double u = 0, v = 0;
        for (uint32_t i = 0; i < n; ++i) {
            u += uvs[i].u;
            v += uvs[i].v;
        }
        return {float(u / n), float(v / n)};
    }
    double su = 0, sv = 0, perimeter = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const T2FloatPair& a = uvs[i];
        const T2FloatPair& b = uvs[i + 1 == n ? 0 : i + 1];
        const double len = std::hypot(double(b.u) - a.u, double(b.v) - a.v);
        su += (double(a.u) + b.u) * len;
        sv += (double(a.v) + b.v) * len;
        perimeter += len;
    }
    if (2 * perimeter < 1e-5) return uvs[0];
    return {float(su / (2 * perimeter)), float(sv / (2 * perimeter))};
}

T2FloatPair subdivFaceUVCentre(const TsubdivLevel& lv, uint32_t f, const T2FloatPair* uvs, const int32_t* ids,
                               int32_t lo, int32_t hi, TpolyFaceInfo kind, std::vector<T2FloatPair>& scratch) {
    const uint32_t begin = lv.faceBegin(f), end = lv.faceEnd(f);
    if (kind == kFaceInfoCornerMean) {
        // The mean needs no copy of the loop.
        double u = 0, v = 0;
        uint32_t n = 0;
        for (uint32_t o = begin; o < end; ++o) {
            if (ids[o] >= lo && ids[o] < hi) u += uvs[ids[o]].u, v += uvs[ids[o]].v, ++n;
            if (lv.desc[o] & TpolyBits::kEndOfLoop) break;
        }
        return n ? T2FloatPair{float(u / n), float(v / n)} : T2FloatPair{0, 0};
    }
    scratch.clear();
    for (uint32_t o = begin; o < end; ++o) {
        if (ids[o] >= lo && ids[o] < hi) scratch.push_back(uvs[ids[o]]);
        if (lv.desc[o] & TpolyBits::kEndOfLoop) break;
    }
    return subdivUVCentre(scratch.data(), uint32_t(scratch.size()), kind);
}

void subdivEdgeUses(const TsubdivLevel& lv, std::vector<uint8_t>& count, std::vector<uint32_t>& first) {
    count.assign(lv.nbEdge, 0);
    first.assign(lv.nbEdge, TpolyBits::kNoId);
    const uint32_t begin = lv.faceBegin(0), end = lv.nbFace ? lv.faceEnd(lv.nbFace - 1) : begin;
    for (uint32_t o = begin; o < end; ++o) {
        const uint32_t e = lv.entryEdge(o);
        if (count[e] == 0) first[e] = o;
        if (count[e] < 255) ++count[e];
    }
}

TsubdivLevel TsubdivLevel::ofRecord(const TpolyGeom& record) {
    TsubdivLevel lv;
    lv.points = record.vertexArray().data();
    lv.edges = record.edgeArray().data();
    lv.desc = record.faceDescArray().data();
    lv.faceOffsets = record.faceOffsetArray().data();
    lv.nbVertex = record.nbVertex();
    lv.nbEdge = record.nbEdge();
    lv.nbFace = record.nbFace();
    return lv;
}

void TsubdivFaceSubset::build(const TpolyGeom& record, const TbitFieldFixedN& taken) {
    fLevel = TsubdivLevel::ofRecord(record);
    const uint32_t nbFace = record.nbFace();
    fFaces.clear();
    for (uint32_t f = 0; f < nbFace && f < taken.size(); ++f)
        if (taken.testBit(f)) fFaces.push_back(f);
    fCompact = fFaces.size() != nbFace;
    fLevel.nbFace = uint32_t(fFaces.size());
    if (!fCompact) return;
    const uint32_t* desc = record.faceDescArray().data();
    fDesc.clear();
    fCorner.clear();
    fOffsets.assign(1, 0);
    for (uint32_t f : fFaces) {
        for (uint32_t o = record.faceOffset(f), end = record.faceOffset(f + 1); o < end; ++o) {
            fDesc.push_back(desc[o]);
            fCorner.push_back(o);
        }
        fOffsets.push_back(uint32_t(fDesc.size()));
    }
    fLevel.desc = fDesc.data();
    fLevel.faceOffsets = fOffsets.data();
}

const int32_t* TsubdivFaceSubset::cornerIds(const Tint32Array& ids, std::vector<int32_t>& scratch) const {
    const uint32_t n = fLevel.nbFace ? fLevel.faceEnd(fLevel.nbFace - 1) : 0;
    if (!fCompact && ids.size() >= n) return ids.data();
    scratch.resize(n);
    for (uint32_t c = 0; c < n; ++c) {
        const uint32_t o = recordCorner(c);
        scratch[c] = o < ids.size() ? ids[o] : -1;
    }
    return scratch.data();
}
