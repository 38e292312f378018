#include "brindle/subdiv/CCRules.h"

#include <algorithm>

void ccFacePoints(const TsubdivLevel& lv, T3dFltPoint* out) {
    for (uint32_t f = 0; f < lv.nbFace; ++f) out[f] = subdivOutlineCentre(lv, f);
}

void ccEdgePoints(const TccRuleInput& in, const T3dFltPoint* facePoints, TccRuleScratch& scratch, T3dFltPoint* out) {
    const TsubdivLevel& lv = *in.level;
    scratch.edgeFaceSum.assign(lv.nbEdge, T3dFltPoint(0, 0, 0));
    T3dFltPoint* sum = scratch.edgeFaceSum.data();
    for (uint32_t f = 0; f < lv.nbFace; ++f) {
        const T3dFltPoint& F = facePoints[f];
        for (uint32_t o = lv.faceBegin(f), end = lv.faceEnd(f); o < end; ++o) {
            T3dFltPoint& s = sum[lv.entryEdge(o)];
            s.x += F.x;
            s.y += F.y;
            s.z += F.z;
        }
    }
    for (uint32_t e = 0; e < lv.nbEdge; ++e) {
        const T3dFltPoint& a = lv.point(lv.edgeStartVertex(e));
        const T3dFltPoint& b = lv.point(lv.edgeEndVertex(e));
        const T3dFltPoint mid((a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f, (a.z + b.z) * 0.5f);
        if (in.edgeFlags[e] & (kSubdivBorder | kSubdivHard)) {
            out[e] = mid;
            continue;
        }
        const float s = float(ccEffectiveSharpness(in.sharp ? in.sharp[e] : 0.0, in.smoothness));
        const float inv = 1.0f / float(2 + in.edgeUses[e]);
        const T3dFltPoint& fs = sum[e];
        const float t = (1 - s) * inv;
        out[e] = T3dFltPoint(s * mid.x + t * (a.x + b.x + fs.x), s * mid.y + t * (a.y + b.y + fs.y),
                             s * mid.z + t * (a.z + b.z + fs.z));
    }
}

void ccVertexPoints(const TccRuleInput& in, const T3dFltPoint* facePoints, uint8_t fixedMask, TccRuleScratch& scratch,
                    T3dFltPoint* out) {
    const TsubdivLevel& lv = *in.level;
    scratch.vertex.assign(lv.nbVertex, TccRuleScratch::VertexSums{{0, 0, 0}, {0, 0, 0}, 0, 0});
    TccRuleScratch::VertexSums* acc = scratch.vertex.data();
    for (uint32_t f = 0; f < lv.nbFace; ++f) {
        const T3dFltPoint& F = facePoints[f];
        for (uint32_t o = lv.faceBegin(f), end = lv.faceEnd(f); o < end; ++o) {
            TccRuleScratch::VertexSums& s = acc[lv.entryStart(o)];
            s.f[0] += F.x;
            s.f[1] += F.y;
            s.f[2] += F.z;
            ++s.n;
        }
    }
    const uint8_t restrictedMask = kSubdivBorder | kSubdivHard;
    TccRuleScratch::Creases* cr = nullptr;
    if (in.sharp) {
        scratch.creases.assign(lv.nbVertex, TccRuleScratch::Creases{0.0, 0, {0, 0}});
        cr = scratch.creases.data();
    }
    for (uint32_t e = 0; e < lv.nbEdge; ++e) {
        const uint32_t ends[2] = {lv.edgeStartVertex(e), lv.edgeEndVertex(e)};
        const bool counted = (in.edgeFlags[e] & restrictedMask) != 0;
        for (int j = 0; j < 2; ++j) {
            const uint32_t v = ends[j];
            if (!(in.vertexFlags[v] & restrictedMask) || counted) {
                const T3dFltPoint& w = lv.point(ends[1 - j]);
                TccRuleScratch::VertexSums& s = acc[v];
                s.r[0] += w.x;
                s.r[1] += w.y;
                s.r[2] += w.z;
                ++s.k;
            }
        }
        if (cr && in.sharp[e] > -1e-10) {
            const double c = ccClampSharpness(in.sharp[e]);
            if (c > 1e-5)
                for (int j = 0; j < 2; ++j) {
                    TccRuleScratch::Creases& k = cr[ends[j]];
                    if (k.m < 2) k.w[k.m] = ends[1 - j];
                    k.sum += c;
                    ++k.m;
                }
        }
    }
    for (uint32_t v = 0; v < lv.nbVertex; ++v) {
        const T3dFltPoint& P = lv.point(v);
        const uint8_t flags = in.vertexFlags[v];
        if (flags & fixedMask) {
            out[v] = P;
            continue;
        }
        const TccRuleScratch::VertexSums& s = acc[v];
        const uint32_t m = cr ? cr[v].m : 0;
        double sharp = m < 2 ? 0.0 : cr[v].sum / m;
        if (std::abs(sharp) < 1e-4) sharp = 1.0 - in.smoothness;
        const float sh = float(sharp);
        const bool restricted = (flags & restrictedMask) != 0;
        if (m < 2 && restricted) {
            if (s.k == 0) {
                out[v] = P;
                continue;
            }
            const float q = 0.25f / float(s.k);
            const T3dFltPoint b(0.75f * P.x + q * s.r[0], 0.75f * P.y + q * s.r[1], 0.75f * P.z + q * s.r[2]);
            out[v] = T3dFltPoint(sh * P.x + (1 - sh) * b.x, sh * P.y + (1 - sh) * b.y, sh * P.z + (1 - sh) * b.z);
            continue;
        }
        T3dFltPoint S = P;
        if (s.n > 0 && s.k > 0) {
            const float n = float(s.n), k = float(s.k);
            const float wp = ((n - 2) / n + (k - 2) / k) * 0.5f, wr = 1 / (k * k), wf = 1 / (n * n);
            S = T3dFltPoint(wp * P.x + wr * s.r[0] + wf * s.f[0], wp * P.y + wr * s.r[1] + wf * s.f[1],
                            wp * P.z + wr * s.r[2] + wf * s.f[2]);
        }
        T3dFltPoint sharpPos = P;
        if (m == 2) {
            const T3dFltPoint& w1 = lv.point(cr[v].w[0]);
            const T3dFltPoint& w2 = lv.point(cr[v].w[1]);
            sharpPos = T3dFltPoint(0.75f * P.x + 0.125f * (w1.x + w2.x), 0.75f * P.y + 0.125f * (w1.y + w2.y),
                                   0.75f * P.z + 0.125f * (w1.z + w2.z));
        }
        out[v] = T3dFltPoint(sh * sharpPos.x + (1 - sh) * S.x, sh * sharpPos.y + (1 - sh) * S.y,
                             sh * sharpPos.z + (1 - sh) * S.z);
    }
}

void ccNextSharpness(const TsubdivLevel& lv, const double* sharp, bool chains, std::vector<double>& out) {
    out.assign(2 * size_t(lv.nbEdge), -1.0);
    std::vector<double> sum;
    std::vector<uint32_t> count;
    if (chains) {
        sum.assign(lv.nbVertex, 0.0);
        count.assign(lv.nbVertex, 0);
        for (uint32_t e = 0; e < lv.nbEdge; ++e)
            if (sharp[e] > -1e-10)
                for (uint32_t v : {lv.edgeStartVertex(e), lv.edgeEndVertex(e)}) {
                    sum[v] += std::max(sharp[e], 0.0);
                    ++count[v];
                }
    }
    for (uint32_t e = 0; e < lv.nbEdge; ++e) {
        if (!(sharp[e] > -1e-10)) continue;
        const double c = std::max(sharp[e], 0.0);
        const uint32_t ends[2] = {lv.edgeStartVertex(e), lv.edgeEndVertex(e)};
        for (int j = 0; j < 2; ++j) {
            double next = c - 1;
            if (chains) {
                // The edge itself is among the creased edges at its ends: take it out of the mean.
                const uint32_t others = count[ends[j]] - 1;
                const double a = others ? (sum[ends[j]] - c) / others : 0.0;
                next = (a + 3 * c) / 4 - 1;
            }
            out[2 * size_t(e) + j] = std::max(next, 0.0);
        }
    }
}
