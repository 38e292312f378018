#include "brindle/subdiv/LinearPasses.h"

#include <algorithm>
#include <cmath>

void TlinearPasses::prepare(const TsubdivLevel& lv) {
    std::vector<uint8_t> uses;
    std::vector<uint32_t> first;
    subdivEdgeUses(lv, uses, first);
    fVertexFaceStart.assign(lv.nbVertex + 1, 0);
    for (uint32_t f = 0; f < lv.nbFace; ++f)
        for (uint32_t o = lv.faceBegin(f), oe = lv.faceEnd(f); o < oe; ++o) ++fVertexFaceStart[lv.entryStart(o) + 1];
    for (uint32_t v = 0; v < lv.nbVertex; ++v) fVertexFaceStart[v + 1] += fVertexFaceStart[v];
    fVertexFaces.resize(fVertexFaceStart[lv.nbVertex]);
    std::vector<uint32_t> fill(fVertexFaceStart.begin(), fVertexFaceStart.end() - 1);
    for (uint32_t f = 0; f < lv.nbFace; ++f)
        for (uint32_t o = lv.faceBegin(f), oe = lv.faceEnd(f); o < oe; ++o) fVertexFaces[fill[lv.entryStart(o)]++] = f;

    fBorderEdges.clear();
    for (uint32_t e = 0; e < lv.nbEdge; ++e)
        if (uses[e] == 1) fBorderEdges.push_back(e);
    fBorderVertex.assign(lv.nbVertex, 0);
    fBorderStart.assign(lv.nbVertex + 1, 0);
    for (uint32_t e : fBorderEdges) {
        ++fBorderStart[lv.edgeStartVertex(e) + 1];
        ++fBorderStart[lv.edgeEndVertex(e) + 1];
        fBorderVertex[lv.edgeStartVertex(e)] = fBorderVertex[lv.edgeEndVertex(e)] = 1;
    }
    for (uint32_t v = 0; v < lv.nbVertex; ++v) fBorderStart[v + 1] += fBorderStart[v];
    fBorderNbr.resize(fBorderStart[lv.nbVertex]);
    fBorderEdgeIndex.resize(fBorderStart[lv.nbVertex]);
    fill.assign(fBorderStart.begin(), fBorderStart.end() - 1);
    for (uint32_t i = 0; i < fBorderEdges.size(); ++i) {
        const uint32_t a = lv.edgeStartVertex(fBorderEdges[i]), b = lv.edgeEndVertex(fBorderEdges[i]);
        fBorderNbr[fill[a]] = b;
        fBorderEdgeIndex[fill[a]++] = i;
        fBorderNbr[fill[b]] = a;
        fBorderEdgeIndex[fill[b]++] = i;
    }
    fStamp.assign(lv.nbVertex, 0);
    fStampValue = 0;
}

void TlinearPasses::collectRing(const TsubdivLevel& lv, const uint32_t* seeds, uint32_t nSeeds, uint32_t rings,
                                bool border) {
    if (++fStampValue == 0) {
        std::fill(fStamp.begin(), fStamp.end(), 0);
        fStampValue = 1;
    }
    fRing.clear();
    auto add = [&](uint32_t w) {
        if (fStamp[w] == fStampValue) return;
        fStamp[w] = fStampValue;
        fRing.push_back(w);
    };
    for (uint32_t i = 0; i < nSeeds; ++i) add(seeds[i]);
    size_t frontier = 0;
    for (uint32_t r = 0; r < rings; ++r) {
        const size_t end = fRing.size();
        for (size_t k = frontier; k < end; ++k) {
            const uint32_t v = fRing[k];
            if (border) {
                for (uint32_t i = fBorderStart[v]; i < fBorderStart[v + 1]; ++i) add(fBorderNbr[i]);
                continue;
            }
            for (uint32_t i = fVertexFaceStart[v]; i < fVertexFaceStart[v + 1]; ++i)
                for (uint32_t o = lv.faceBegin(fVertexFaces[i]), oe = lv.faceEnd(fVertexFaces[i]); o < oe; ++o)
                    add(lv.entryStart(o));
        }
        frontier = end;
    }
}

T3dFltPoint TlinearPasses::meanOfRing(const TsubdivLevel& lv) const {
    double x = 0, y = 0, z = 0;
    for (uint32_t w : fRing) {
        const T3dFltPoint& p = lv.point(w);
        x += p.x, y += p.y, z += p.z;
    }
    const double n = double(fRing.size());
    return T3dFltPoint(float(x / n), float(y / n), float(z / n));
}

void TlinearPasses::oddPass(const TsubdivLevel& lv, uint32_t rings, T3dFltPoint* out) {
    fResult.resize(lv.nbVertex);
    for (uint32_t v = lv.nbVertex; v-- > 0;) {
        if (fVertexFaceStart[v] == fVertexFaceStart[v + 1]) {
            fResult[v] = lv.point(v);
            continue;
        }
        collectRing(lv, &v, 1, rings, fBorderVertex[v] != 0);
        fResult[v] = meanOfRing(lv);
    }
    std::copy(fResult.begin(), fResult.end(), out);
}

void TlinearPasses::evenPass(const TsubdivLevel& lv, uint32_t rings, T3dFltPoint* out) {
    fFaceValue.resize(lv.nbFace);
    for (uint32_t f = 0; f < lv.nbFace; ++f) {
        fSeeds.clear();
        for (uint32_t o = lv.faceBegin(f), oe = lv.faceEnd(f); o < oe; ++o) fSeeds.push_back(lv.entryStart(o));
        collectRing(lv, fSeeds.data(), uint32_t(fSeeds.size()), rings - 1, false);
        fFaceValue[f] = meanOfRing(lv);
    }
    fEdgeValue.resize(fBorderEdges.size());
    for (size_t i = 0; i < fBorderEdges.size(); ++i) {
        const uint32_t e = fBorderEdges[i];
        const uint32_t ends[2] = {lv.edgeStartVertex(e), lv.edgeEndVertex(e)};
        collectRing(lv, ends, 2, rings - 1, true);
        fEdgeValue[i] = meanOfRing(lv);
    }
    fResult.resize(lv.nbVertex);
    for (uint32_t v = 0; v < lv.nbVertex; ++v) {
        const T3dFltPoint& P = lv.point(v);
        double x = 0, y = 0, z = 0, w = 0;
        auto add = [&](const T3dFltPoint& q, double weight) {
            x += weight * q.x, y += weight * q.y, z += weight * q.z, w += weight;
        };
        if (fBorderVertex[v]) {
            for (uint32_t i = fBorderStart[v]; i < fBorderStart[v + 1]; ++i) add(fEdgeValue[fBorderEdgeIndex[i]], 1);
        } else {
            const uint32_t k = fVertexFaceStart[v + 1] - fVertexFaceStart[v];
            for (uint32_t i = fVertexFaceStart[v]; i < fVertexFaceStart[v + 1]; ++i)
                add(fFaceValue[fVertexFaces[i]], 1);
            if (k != 4 && k > 0) add(P, double(k) * (double(k) - 4) / 4);
        }
        fResult[v] = std::abs(w) > 1e-12 ? T3dFltPoint(float(x / w), float(y / w), float(z / w)) : P;
    }
    std::copy(fResult.begin(), fResult.end(), out);
}

T3dFltPoint linearPushDelta(const T3dFltPoint* deltas, const uint32_t* from, const float* weights, uint32_t n,
                            float w) {
    auto length = [](const T3dFltPoint& d) { return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z); };
    T3dFltPoint d(0, 0, 0);
    float L = 0;
    for (uint32_t k = 0; k < n; ++k) {
        const T3dFltPoint& dk = deltas[from[k]];
        d = T3dFltPoint(d.x + weights[k] * dk.x, d.y + weights[k] * dk.y, d.z + weights[k] * dk.z);
        L += weights[k] * length(dk);
    }
    const float len = length(d);
    if (w != 0 && len > 0) d = d * ((1 - w) + w * L / len);
    return d;
}
