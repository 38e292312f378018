#include "brindle/subdiv/CCEvaluator.h"

#include <algorithm>
#include <cmath>

#include "brindle/geom/PolyGeom.h"
#include "brindle/subdiv/CCSubdivider.h"
#include "brindle/subdiv/CatmullClarkHierarchy.h"
#include "brindle/subdiv/SmoothGeomOptions.h"

TpolyCCEvaluator::TpolyCCEvaluator(TpolyGeom* record, const TpolyCatmullClarkHierarchy& hierarchy,
                                   const TpolySmoothGeomOptions& options)
    : fRecord(*record), fHierarchy(hierarchy), fOptions(options) {}

void TpolyCCEvaluator::prepareLevel(const TsubdivLevel& lv, uint32_t level) {
    subdivEdgeUses(lv, fEdgeUses, fEdgeFirst);
    fEdgeFlags.assign(lv.nbEdge, 0);
    fVertexFlags.assign(lv.nbVertex, 0);
    TpolyEdge* edges = fRecord.edgeArray().data() + lv.edgeBase;
    const bool keepHard = fOptions.keepHardEdge();
    for (uint32_t e = 0; e < lv.nbEdge; ++e) {
        uint8_t f = fEdgeUses[e] < 2 ? kSubdivBorder : 0;
        if (keepHard && edges[e].isHard()) f |= kSubdivHard;
        // Edges that are smoothed are soft from here on; kept hard edges stay hard.
        if (!f) edges[e].v[0] &= TpolyBits::kVertexMask;
        fEdgeFlags[e] = f;
        if (f) {
            fVertexFlags[lv.edgeStartVertex(e)] |= f;
            fVertexFlags[lv.edgeEndVertex(e)] |= f;
        }
    }
    if (!fHasCreases) return;
    if (level == 0) {
        fSharp.assign(lv.nbEdge, -1.0);
        TuInt32Array ids;
        TdoubleArray values;
        fRecord.getCreaseEdges(ids, values);
        for (uint32_t i = 0; i < ids.size() && i < values.size(); ++i)
            if (ids[i] < lv.nbEdge) fSharp[ids[i]] = values[i];
    }
}

void TpolyCCEvaluator::evaluateHierarchy(unsigned int levels) {
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    levels = std::min(levels, h.nbLevel());
    if (levels == 0) return;
    {
        TuInt32Array ids;
        TdoubleArray values;
        fHasCreases = fRecord.getCreaseEdges(ids, values);
    }
    TuInt32Array creaseIds;
    TdoubleArray creaseValues;
    const bool uvs = fRecord.nbMapSet() > 0 && fRecord.nbUV(0) > 0;
    for (uint32_t l = 0; l < levels; ++l) {
        const TsubdivLevel lv = TsubdivLevel::of(fRecord, h, l);
        prepareLevel(lv, l);
        TccRuleInput in;
        in.level = &lv;
        in.vertexFlags = fVertexFlags.data();
        in.edgeFlags = fEdgeFlags.data();
        in.edgeUses = fEdgeUses.data();
        in.sharp = fHasCreases ? fSharp.data() : nullptr;
        in.smoothness = fOptions.smoothness();
        // The children of level l are laid out vertex children, edge points, face points.
        T3dFltPoint* next = fRecord.vertexArray().data() + h.nbVertexUpTo(l);
        T3dFltPoint* facePoints = next + lv.nbVertex + lv.nbEdge;
        ccFacePoints(lv, facePoints);
        ccEdgePoints(in, facePoints, fScratch, next + lv.nbVertex);
        const uint8_t fixed = (fOptions.keepBorderEdge() ? kSubdivBorder : 0) | (fOptions.keepHardEdge() ? kSubdivHard : 0);
        ccVertexPoints(in, facePoints, fixed, fScratch, next);
        for (uint32_t s = 0; uvs && s < fRecord.nbMapSet(); ++s)
            if (h.nbUVAt(s, l) > 0) evaluateUVs(lv, l, s, fOptions.smoothUVs());

        if (fHasCreases) {
            ccNextSharpness(lv, fSharp.data(), fOptions.multiEdgeCrease(), fNextSharp);
            fSharp.assign(h.nbEdgeAt(l + 1), -1.0);
            const uint32_t firstChild = h.edgeSubEdge(lv.edgeBase, l) - h.edgeStart(l + 1);
            for (uint32_t e = 0; e < lv.nbEdge; ++e)
                for (uint32_t j = 0; j < 2; ++j) {
                    const double v = fNextSharp[2 * size_t(e) + j];
                    if (v < 0) continue;
                    fSharp[firstChild + 2 * e + j] = v;
                    creaseIds.addLast(h.edgeStart(l + 1) + firstChild + 2 * e + j);
                    creaseValues.addLast(v);
                }
        }
    }
    if (fHasCreases) {
        // Keep the creases outside the evaluated levels, replace those inside.
        TuInt32Array ids;
        TdoubleArray values;
        fRecord.getCreaseEdges(ids, values);
        const uint32_t lo = h.edgeStart(1), hi = h.nbEdgeUpTo(levels);
        TuInt32Array keptIds;
        TdoubleArray keptValues;
        for (uint32_t i = 0; i < ids.size() && i < values.size(); ++i)
            if (ids[i] < lo || ids[i] >= hi) {
                keptIds.addLast(ids[i]);
                keptValues.addLast(values[i]);
            }
        keptIds.catenate(creaseIds);
        keptValues.catenate(creaseValues);
        fRecord.removeGroup(kGrpNameCrease, kPolyGrpEdge);
        fRecord.setCreaseEdges(keptIds, keptValues);
    }
    fRecord.markDirty(dirtyMoved | dirtyHardness);
}

void TpolyCCEvaluator::evaluateUVs(const TsubdivLevel& lv, uint32_t level, uint32_t s, bool smooth) {
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    if (h.quadMesh() && h.divisions() > 1) return;  // grid UVs stay where the builder put them
    TpolyMap& set = (*fRecord.maps())[s];
    T2FloatArray& uvArray = set.uvArray();
    const Tint32Array& idArray = set.indexArray();
    const uint32_t uvBase = h.uvStart(s, level), nUV = h.nbUVAt(s, level), childBase = uvBase + nUV;
    const uint32_t childCorners = h.cornerStart(level + 1);
    if (uvArray.size() < h.nbUVUpTo(s, level + 1) || idArray.size() < h.nbCornerUpTo(level + 1)) return;
    T2FloatPair* uv = uvArray.data();
    const int32_t* ids = idArray.data();
    auto valid = [&](int32_t id) { return id >= int32_t(uvBase) && id < int32_t(childBase); };
    // The child UV id at corner k of sub-face i of face f.
    auto childId = [&](uint32_t f, uint32_t i, uint32_t k) {
        const uint32_t sub = h.relativeFaceId(h.faceSubFace(lv.faceBase + f, level), level + 1) + i;
        return ids[childCorners + 4 * sub + k];
    };
    const float a = fOptions.smoothness();
    const TpolyFaceInfo kind = fOptions.uvCenterType();

    // Face UVs, and per edge the UVs of its first side, to find the seams.
    std::vector<T2FloatPair> faceUV(lv.nbFace);
    std::vector<uint8_t> faceMapped(lv.nbFace, 0);
    std::vector<int32_t> sideS(lv.nbEdge, -1), sideT(lv.nbEdge, -1);
    std::vector<uint8_t> seam(lv.nbEdge, 0);
    std::vector<T2FloatPair> edgeFaceSum(lv.nbEdge, T2FloatPair{0, 0});
    std::vector<T2FloatPair> loop;
    for (uint32_t f = 0; f < lv.nbFace; ++f) {
        const uint32_t begin = lv.faceBegin(f);
        if (!valid(ids[begin])) continue;
        faceMapped[f] = 1;
        loop.clear();
        for (uint32_t o = begin, end = lv.faceEnd(f); o < end; ++o) {
            if (valid(ids[o])) loop.push_back(uv[ids[o]]);
            if (lv.desc[o] & TpolyBits::kEndOfLoop) break;
        }
        faceUV[f] = subdivUVCentre(loop.data(), uint32_t(loop.size()), kind);
        forEachFaceEntry(lv, f, [&](uint32_t o, uint32_t next) {
            const uint32_t e = lv.entryEdge(o);
            edgeFaceSum[e].u += faceUV[f].u;
            edgeFaceSum[e].v += faceUV[f].v;
            const bool rev = lv.entryReversed(o);
            const int32_t st = rev ? ids[next] : ids[o], en = rev ? ids[o] : ids[next];
            if (fEdgeFirst[e] == o) {
                sideS[e] = st;
                sideT[e] = en;
                if (fEdgeUses[e] != 2 || !valid(st) || !valid(en)) seam[e] = 1;
            } else if (sideS[e] != st || sideT[e] != en) {
                seam[e] = 1;
            }
        });
    }
    for (uint32_t f = 0; f < lv.nbFace; ++f)
        if (!faceMapped[f])
            for (uint32_t o = lv.faceBegin(f), end = lv.faceEnd(f); o < end; ++o) seam[lv.entryEdge(o)] = 1;
    auto keepSeam = [&](uint32_t e) {
        if (!seam[e]) return false;
        if (fOptions.keepAllMapBorders()) return true;
        if (fEdgeUses[e] < 2) return fOptions.keepBorderEdge();
        return fOptions.keepInteriorMapBorders();
    };

    // Per parent UV: border sums over seam sides, interior sums over first sides, face sums.
    struct Sums {
        float rb[2], ri[2], f[2];
        uint32_t kb, ki, n;
        uint32_t vertex;
        uint8_t keep, seamVertex;
    };
    std::vector<Sums> sums(nUV, Sums{{0, 0}, {0, 0}, {0, 0}, 0, 0, 0, 0, 0, 0});
    std::vector<uint32_t> facesAtVertex(lv.nbVertex, 0);
    std::vector<uint8_t> seamVertex(lv.nbVertex, 0);
    for (uint32_t e = 0; e < lv.nbEdge; ++e)
        if (seam[e]) seamVertex[lv.edgeStartVertex(e)] = seamVertex[lv.edgeEndVertex(e)] = 1;
    for (uint32_t f = 0; f < lv.nbFace; ++f) {
        forEachFaceEntry(lv, f, [&](uint32_t o, uint32_t next) {
            ++facesAtVertex[lv.entryStart(o)];
            const int32_t p = ids[o], q = ids[next];
            if (!valid(p)) return;
            Sums& sp = sums[p - uvBase];
            sp.vertex = lv.entryStart(o);
            sp.f[0] += faceUV[f].u;
            sp.f[1] += faceUV[f].v;
            ++sp.n;
            if (!valid(q)) return;
            Sums& sq = sums[q - uvBase];
            const uint32_t e = lv.entryEdge(o);
            if (seam[e]) {
                const bool keep = keepSeam(e);
                sp.rb[0] += uv[q].u, sp.rb[1] += uv[q].v, ++sp.kb;
                sq.rb[0] += uv[p].u, sq.rb[1] += uv[p].v, ++sq.kb;
                sp.keep |= keep;
                sq.keep |= keep;
            } else if (fEdgeFirst[e] == o) {
                sp.ri[0] += uv[q].u, sp.ri[1] += uv[q].v, ++sp.ki;
                sq.ri[0] += uv[p].u, sq.ri[1] += uv[p].v, ++sq.ki;
            }
        });
    }

    // Vertex children.
    for (uint32_t r = 0; r < nUV; ++r) {
        const T2FloatPair u = uv[uvBase + r];
        const Sums& sm = sums[r];
        T2FloatPair out = u;
        if (smooth && !sm.keep && sm.n > 0) {
            if (seamVertex[sm.vertex]) {
                if (sm.kb > 0) {
                    const float q = 0.25f / float(sm.kb);
                    out = {a * (0.75f * u.u + q * sm.rb[0]) + (1 - a) * u.u, a * (0.75f * u.v + q * sm.rb[1]) + (1 - a) * u.v};
                }
            } else if (sm.ki > 0) {
                const float k = float(sm.ki), n = float(facesAtVertex[sm.vertex]);
                const float wu = (1 - 1 / k - 1 / n) * a + (1 - a), wr = a / (k * k), wf = a / (n * n);
                out = {u.u * wu + wr * sm.ri[0] + wf * sm.f[0], u.v * wu + wr * sm.ri[1] + wf * sm.f[1]};
            }
        }
        uv[childBase + r] = out;
    }

    // Edge and face children, through the sub-faces: corner 2 of sub-face i is the point of the
    // edge leaving corner i, corner 3 the face point.
    for (uint32_t f = 0; f < lv.nbFace; ++f) {
        if (!faceMapped[f]) continue;
        uint32_t i = 0;
        forEachFaceEntry(lv, f, [&](uint32_t o, uint32_t next) {
            const uint32_t e = lv.entryEdge(o);
            const int32_t child = childId(f, i, 2);
            if (i == 0) uv[childId(f, 0, 3)] = faceUV[f];
            ++i;
            if (child < 0 || !valid(ids[o]) || !valid(ids[next])) return;
            const T2FloatPair p = uv[ids[o]], q = uv[ids[next]];
            T2FloatPair value{(p.u + q.u) * 0.5f, (p.v + q.v) * 0.5f};
            if (smooth && !seam[e]) {
                if (fEdgeFirst[e] != o) return;  // the shared point is written from its first side
                const float sh = float(ccEffectiveSharpness(fHasCreases ? fSharp[e] : 0.0, a));
                const float w = (1 - sh) / float(2 + fEdgeUses[e]);
                value = {sh * value.u + w * (p.u + q.u + edgeFaceSum[e].u), sh * value.v + w * (p.v + q.v + edgeFaceSum[e].v)};
            }
            uv[child] = value;
        });
    }
}

// --- Linear scheme ---------------------------------------------------------------------------------

TpolyNNEvaluator::TpolyNNEvaluator(TpolyGeom* record, const TpolyCatmullClarkHierarchy& hierarchy,
                                   const TpolySmoothGeomOptions& options)
    : fRecord(*record), fHierarchy(hierarchy), fOptions(options) {}

void TpolyNNEvaluator::collectRing(const TsubdivLevel& lv, const uint32_t* seeds, uint32_t nSeeds, uint32_t rings,
                                   bool border) {
    if (++fStampValue == 0) {
        std::fill(fStamp.begin(), fStamp.end(), 0);
        fStampValue = 1;
    }
    fRing.clear();
    for (uint32_t i = 0; i < nSeeds; ++i)
        if (fStamp[seeds[i]] != fStampValue) {
            fStamp[seeds[i]] = fStampValue;
            fRing.push_back(seeds[i]);
        }
    size_t frontier = 0;
    for (uint32_t r = 0; r < rings; ++r) {
        const size_t end = fRing.size();
        for (size_t k = frontier; k < end; ++k) {
            const uint32_t v = fRing[k];
            auto add = [&](uint32_t w) {
                if (fStamp[w] == fStampValue) return;
                fStamp[w] = fStampValue;
                fRing.push_back(w);
            };
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

void TpolyNNEvaluator::oddPass(const TsubdivLevel& lv, uint32_t rings) {
    std::vector<T3dFltPoint> result(lv.nbVertex);
    for (uint32_t v = lv.nbVertex; v-- > 0;) {
        collectRing(lv, &v, 1, rings, fBorderVertex[v] != 0);
        double x = 0, y = 0, z = 0;
        for (uint32_t w : fRing) {
            const T3dFltPoint& p = lv.point(w);
            x += p.x, y += p.y, z += p.z;
        }
        const double n = double(fRing.size());
        result[v] = T3dFltPoint(float(x / n), float(y / n), float(z / n));
    }
    std::copy(result.begin(), result.end(), fRecord.vertexArray().data() + lv.vertexBase);
}

void TpolyNNEvaluator::evenPass(const TsubdivLevel& lv, uint32_t rings) {
    // Face values: the mean of the vertices within rings of the face's corners (the corners
    // themselves being the first ring); border edges likewise along the border.
    auto meanOfRing = [&]() {
        double x = 0, y = 0, z = 0;
        for (uint32_t w : fRing) {
            const T3dFltPoint& p = lv.point(w);
            x += p.x, y += p.y, z += p.z;
        }
        const double n = double(fRing.size());
        return T3dFltPoint(float(x / n), float(y / n), float(z / n));
    };
    std::vector<T3dFltPoint> faceValue(lv.nbFace);
    uint32_t corners[4];
    for (uint32_t f = 0; f < lv.nbFace; ++f) {
        for (uint32_t k = 0; k < 4; ++k) corners[k] = lv.entryStart(lv.faceBegin(f) + k);
        collectRing(lv, corners, 4, rings - 1, false);
        faceValue[f] = meanOfRing();
    }
    std::vector<T3dFltPoint> edgeValue(fBorderEdges.size());
    for (size_t i = 0; i < fBorderEdges.size(); ++i) {
        const uint32_t e = fBorderEdges[i];
        const uint32_t ends[2] = {lv.edgeStartVertex(e), lv.edgeEndVertex(e)};
        collectRing(lv, ends, 2, rings - 1, true);
        edgeValue[i] = meanOfRing();
    }
    // Vertices: the faces around them (border vertices: their border edges), weight 1 each, and
    // their own position with weight k(k - 4)/4 for k faces other than 4.
    T3dFltPoint* out = fRecord.vertexArray().data() + lv.vertexBase;
    std::vector<T3dFltPoint> result(lv.nbVertex);
    for (uint32_t v = 0; v < lv.nbVertex; ++v) {
        const T3dFltPoint& P = lv.point(v);
        double x = 0, y = 0, z = 0, w = 0;
        if (fBorderVertex[v]) {
            for (uint32_t i = fBorderEdgeStart[v]; i < fBorderEdgeStart[v + 1]; ++i) {
                const T3dFltPoint& q = edgeValue[fBorderEdgeIndex[i]];
                x += q.x, y += q.y, z += q.z, w += 1;
            }
        } else {
            const uint32_t k = fVertexFaceStart[v + 1] - fVertexFaceStart[v];
            for (uint32_t i = fVertexFaceStart[v]; i < fVertexFaceStart[v + 1]; ++i) {
                const T3dFltPoint& q = faceValue[fVertexFaces[i]];
                x += q.x, y += q.y, z += q.z, w += 1;
            }
            if (k != 4 && k > 0) {
                const double own = double(k) * (double(k) - 4) / 4;
                x += own * P.x, y += own * P.y, z += own * P.z, w += own;
            }
        }
        result[v] = std::abs(w) > 1e-12 ? T3dFltPoint(float(x / w), float(y / w), float(z / w)) : P;
    }
    std::copy(result.begin(), result.end(), out);
}

void TpolyNNEvaluator::prepareLevel(const TsubdivLevel& lv) {
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
        if (uses[e] < 2) fBorderEdges.push_back(e);
    fBorderVertex.assign(lv.nbVertex, 0);
    fBorderStart.assign(lv.nbVertex + 1, 0);
    for (uint32_t e : fBorderEdges) {
        ++fBorderStart[lv.edgeStartVertex(e) + 1];
        ++fBorderStart[lv.edgeEndVertex(e) + 1];
        fBorderVertex[lv.edgeStartVertex(e)] = fBorderVertex[lv.edgeEndVertex(e)] = 1;
    }
    for (uint32_t v = 0; v < lv.nbVertex; ++v) fBorderStart[v + 1] += fBorderStart[v];
    fBorderEdgeStart = fBorderStart;
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

void TpolyNNEvaluator::pushBack(const TsubdivLevel& lv, uint32_t level, const std::vector<T3dFltPoint>& saved) {
    // Vertex children move by their own displacement; edge points by the displacements of the
    // edge's ends interpolated at their parameter, grid points bilinearly from the face's
    // corners; with averageNormals w the interpolated vector's length blends toward the
    // interpolated length.
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    const float push = fOptions.pushStrength(), w = fOptions.averageNormals();
    const TsubdivLevel parent = TsubdivLevel::of(fRecord, h, level - 1);
    T3dFltPoint* p = fRecord.vertexArray().data();
    const uint32_t nChild = parent.nbVertex, first = lv.vertexBase;
    std::vector<T3dFltPoint> delta(nChild);
    for (uint32_t v = 0; v < nChild; ++v) {
        const T3dFltPoint& q = p[first + v];
        delta[v] = T3dFltPoint(push * (saved[v].x - q.x), push * (saved[v].y - q.y), push * (saved[v].z - q.z));
    }
    auto length = [](const T3dFltPoint& d) { return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z); };
    auto move = [&](uint32_t id, const float* weights, const uint32_t* from, uint32_t n) {
        T3dFltPoint d(0, 0, 0);
        float L = 0;
        for (uint32_t k = 0; k < n; ++k) {
            const T3dFltPoint& dk = delta[from[k]];
            d = T3dFltPoint(d.x + weights[k] * dk.x, d.y + weights[k] * dk.y, d.z + weights[k] * dk.z);
            L += weights[k] * length(dk);
        }
        const float len = length(d);
        if (w != 0 && len > 0) d = d * ((1 - w) + w * L / len);
        p[id] = p[id] + d;
    };
    for (uint32_t v = 0; v < nChild; ++v) p[first + v] = p[first + v] + delta[v];
    const uint32_t d = h.divisions();
    for (uint32_t e = 0; e < parent.nbEdge; ++e) {
        const uint32_t ends[2] = {parent.edgeStartVertex(e), parent.edgeEndVertex(e)};
        for (uint32_t j = 1; j <= d; ++j) {
            const float t = float(j) / float(d + 1);
            const float weights[2] = {1 - t, t};
            move(h.edgeSubVertex(parent.edgeBase + e, level - 1) + j - 1, weights, ends, 2);
        }
    }
    for (uint32_t f = 0; f < parent.nbFace; ++f) {
        uint32_t corners[4];
        for (uint32_t k = 0; k < 4; ++k) corners[k] = parent.entryStart(parent.faceBegin(f) + k);
        const uint32_t inner = h.faceSubVertex(parent.faceBase + f, level - 1);
        for (uint32_t j = 1; j <= d; ++j)
            for (uint32_t i = 1; i <= d; ++i) {
                const float s = float(i) / float(d + 1), t = float(j) / float(d + 1);
                const float weights[4] = {(1 - s) * (1 - t), s * (1 - t), s * t, (1 - s) * t};
                move(inner + (j - 1) * d + i - 1, weights, corners, 4);
            }
    }
}

void TpolyNNEvaluator::evaluateHierarchy(unsigned int levels) {
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    levels = std::min(levels, h.nbLevel());
    const uint32_t n = h.divisions();
    const int r = fOptions.degree() - 1;
    const bool pushing = fOptions.pushStrength() != 0;
    std::vector<T3dFltPoint> saved;
    for (uint32_t l = 1; l <= levels; ++l) {
        TpolyNNSubdivider(fRecord, const_cast<TpolyCatmullClarkHierarchy&>(h)).placeLinear(l - 1);
        const TsubdivLevel lv = TsubdivLevel::of(fRecord, h, l);
        if (r < 1) continue;
        prepareLevel(lv);
        const uint32_t nChild = h.nbVertexAt(l - 1);
        auto save = [&]() {
            if (pushing) saved.assign(fRecord.vertexArray().data() + lv.vertexBase,
                                      fRecord.vertexArray().data() + lv.vertexBase + nChild);
        };
        if (n % 2 == 0 && r % 2 == 1) {
            save();
            oddPass(lv, n / 2);
            if (pushing) pushBack(lv, l, saved);
        }
        for (int k = 0; k < r / 2; ++k) {
            save();
            if (n % 2 == 1) evenPass(lv, (n + 1) / 2);
            else {
                oddPass(lv, n / 2);
                oddPass(lv, n / 2);
            }
            if (pushing) pushBack(lv, l, saved);
        }
    }
    fRecord.markDirty(dirtyMoved);
}
