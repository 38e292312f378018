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

void ccUVPoints(const TccUVInput& in, TccUVResult& out) {
    const TsubdivLevel& lv = *in.level;
    const T2FloatPair* uv = in.uv;
    const int32_t* ids = in.ids;
    const uint32_t uvBase = in.uvBase, nUV = in.nbUV;
    const uint32_t cornerBase = lv.nbFace ? lv.faceBegin(0) : 0;
    const uint32_t nCorner = lv.nbFace ? lv.faceEnd(lv.nbFace - 1) - cornerBase : 0;
    auto valid = [&](int32_t id) { return id >= int32_t(uvBase) && id < int32_t(uvBase + nUV); };
    const float a = in.smoothness;

    // Face UVs, and per edge the UVs of its first side, to find the seams.
    out.face.resize(lv.nbFace);
    out.faceMapped.assign(lv.nbFace, 0);
    out.sideS.assign(lv.nbEdge, -1);
    out.sideT.assign(lv.nbEdge, -1);
    out.seam.assign(lv.nbEdge, 0);
    out.edgeFaceSum.assign(lv.nbEdge, T2FloatPair{0, 0});
    if (in.keptEdges)
        for (uint32_t e = 0; e < lv.nbEdge; ++e) out.seam[e] = in.keptEdges[e] != 0;
    for (uint32_t f = 0; f < lv.nbFace; ++f) {
        const uint32_t begin = lv.faceBegin(f);
        if (!valid(ids[begin])) continue;
        out.faceMapped[f] = 1;
        const T2FloatPair F =
            subdivFaceUVCentre(lv, f, uv, ids, int32_t(uvBase), int32_t(uvBase + nUV), in.centreKind, out.loop);
        out.face[f] = F;
        forEachFaceEntry(lv, f, [&](uint32_t o, uint32_t next) {
            const uint32_t e = lv.entryEdge(o);
            out.edgeFaceSum[e].u += F.u;
            out.edgeFaceSum[e].v += F.v;
            const bool rev = lv.entryReversed(o);
            const int32_t st = rev ? ids[next] : ids[o], en = rev ? ids[o] : ids[next];
            if (in.edgeFirst[e] == o) {
                out.sideS[e] = st;
                out.sideT[e] = en;
                if (in.edgeUses[e] != 2 || !valid(st) || !valid(en)) out.seam[e] = 1;
            } else if (out.sideS[e] != st || out.sideT[e] != en) {
                out.seam[e] = 1;
            }
        });
    }
    for (uint32_t f = 0; f < lv.nbFace; ++f)
        if (!out.faceMapped[f])
            for (uint32_t o = lv.faceBegin(f), end = lv.faceEnd(f); o < end; ++o) out.seam[lv.entryEdge(o)] = 1;
    auto keepSeam = [&](uint32_t e) {
        if (!out.seam[e]) return false;
        if (in.keepAll || (in.keptEdges && in.keptEdges[e])) return true;
        return in.edgeUses[e] < 2 ? in.keepBorder : in.keepInterior;
    };

    // Per parent UV: border sums over seam sides, interior sums over first sides, face sums.
    out.sums.assign(nUV, TccUVResult::Sums{{0, 0}, {0, 0}, {0, 0}, 0, 0, 0, 0, 0});
    out.facesAtVertex.assign(lv.nbVertex, 0);
    out.seamVertex.assign(lv.nbVertex, 0);
    for (uint32_t e = 0; e < lv.nbEdge; ++e)
        if (out.seam[e]) out.seamVertex[lv.edgeStartVertex(e)] = out.seamVertex[lv.edgeEndVertex(e)] = 1;
    for (uint32_t f = 0; f < lv.nbFace; ++f) {
        forEachFaceEntry(lv, f, [&](uint32_t o, uint32_t next) {
            ++out.facesAtVertex[lv.entryStart(o)];
            const int32_t p = ids[o], q = ids[next];
            if (!valid(p)) return;
            TccUVResult::Sums& sp = out.sums[p - uvBase];
            sp.vertex = lv.entryStart(o);
            sp.f[0] += out.face[f].u;
            sp.f[1] += out.face[f].v;
            ++sp.n;
            if (!valid(q)) return;
            TccUVResult::Sums& sq = out.sums[q - uvBase];
            const uint32_t e = lv.entryEdge(o);
            if (out.seam[e]) {
                const bool keep = keepSeam(e);
                sp.rb[0] += uv[q].u, sp.rb[1] += uv[q].v, ++sp.kb;
                sq.rb[0] += uv[p].u, sq.rb[1] += uv[p].v, ++sq.kb;
                sp.keep |= keep;
                sq.keep |= keep;
            } else if (in.edgeFirst[e] == o) {
                sp.ri[0] += uv[q].u, sp.ri[1] += uv[q].v, ++sp.ki;
                sq.ri[0] += uv[p].u, sq.ri[1] += uv[p].v, ++sq.ki;
            }
        });
    }

    out.vertex.resize(nUV);
    out.vertexKept.assign(nUV, 0);
    for (uint32_t r = 0; r < nUV; ++r) {
        const T2FloatPair u = uv[uvBase + r];
        const TccUVResult::Sums& sm = out.sums[r];
        out.vertexKept[r] = sm.keep;
        T2FloatPair value = u;
        if (in.smooth && !sm.keep && sm.n > 0) {
            if (out.seamVertex[sm.vertex]) {
                if (sm.kb > 0) {
                    const float q = 0.25f / float(sm.kb);
                    value = {a * (0.75f * u.u + q * sm.rb[0]) + (1 - a) * u.u,
                             a * (0.75f * u.v + q * sm.rb[1]) + (1 - a) * u.v};
                }
            } else if (sm.ki > 0) {
                const float k = float(sm.ki), n = float(out.facesAtVertex[sm.vertex]);
                const float wu = (1 - 1 / k - 1 / n) * a + (1 - a), wr = a / (k * k), wf = a / (n * n);
                value = {u.u * wu + wr * sm.ri[0] + wf * sm.f[0], u.v * wu + wr * sm.ri[1] + wf * sm.f[1]};
            }
        }
        out.vertex[r] = value;
    }

    // Edge points per side: a seam side its own midpoint, a shared edge the value of its first side.
    out.edge.resize(nCorner);
    out.edgeSet.assign(nCorner, 0);
    out.edgeValue.resize(lv.nbEdge);
    for (uint32_t e = 0; e < lv.nbEdge; ++e) {
        if (!in.smooth || out.seam[e] || !valid(out.sideS[e]) || !valid(out.sideT[e])) continue;
        const T2FloatPair p = uv[out.sideS[e]], q = uv[out.sideT[e]];
        const float sh = float(ccEffectiveSharpness(in.sharp ? in.sharp[e] : 0.0, a));
        const float w = (1 - sh) / float(2 + in.edgeUses[e]);
        out.edgeValue[e] = {sh * (p.u + q.u) * 0.5f + w * (p.u + q.u + out.edgeFaceSum[e].u),
                            sh * (p.v + q.v) * 0.5f + w * (p.v + q.v + out.edgeFaceSum[e].v)};
    }
    for (uint32_t f = 0; f < lv.nbFace; ++f) {
        if (!out.faceMapped[f]) continue;
        forEachFaceEntry(lv, f, [&](uint32_t o, uint32_t next) {
            if (!valid(ids[o]) || !valid(ids[next])) return;
            const uint32_t e = lv.entryEdge(o);
            out.edgeSet[o - cornerBase] = 1;
            if (in.smooth && !out.seam[e]) {
                out.edge[o - cornerBase] = out.edgeValue[e];
                return;
            }
            const T2FloatPair p = uv[ids[o]], q = uv[ids[next]];
            out.edge[o - cornerBase] = {(p.u + q.u) * 0.5f, (p.v + q.v) * 0.5f};
        });
    }
}
