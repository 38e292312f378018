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
        const uint8_t fixed =
            (fOptions.keepBorderEdge() ? kSubdivBorder : 0) | (fOptions.keepHardEdge() ? kSubdivHard : 0);
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
    const uint32_t childCorners = h.cornerStart(level + 1), cornerBase = h.cornerStart(level);
    if (uvArray.size() < h.nbUVUpTo(s, level + 1) || idArray.size() < h.nbCornerUpTo(level + 1)) return;
    TccUVInput in;
    in.level = &lv;
    in.uv = uvArray.data();
    in.ids = idArray.data();
    in.uvBase = uvBase;
    in.nbUV = nUV;
    in.edgeUses = fEdgeUses.data();
    in.edgeFirst = fEdgeFirst.data();
    in.sharp = fHasCreases ? fSharp.data() : nullptr;
    in.smoothness = fOptions.smoothness();
    in.centreKind = fOptions.uvCenterType();
    in.smooth = smooth;
    in.keepAll = fOptions.keepAllMapBorders();
    in.keepBorder = fOptions.keepBorderEdge();
    in.keepInterior = fOptions.keepInteriorMapBorders();
    ccUVPoints(in, fUV);

    T2FloatPair* uv = uvArray.data();
    const int32_t* ids = idArray.data();
    std::copy(fUV.vertex.begin(), fUV.vertex.end(), uv + childBase);
    // Edge and face children, through the sub-faces: corner 2 of sub-face i is the point of the
    // edge leaving corner i, corner 3 the face point.
    for (uint32_t f = 0; f < lv.nbFace; ++f) {
        if (!fUV.faceMapped[f]) continue;
        const int32_t* sub =
            ids + childCorners + 4 * h.relativeFaceId(h.faceSubFace(lv.faceBase + f, level), level + 1);
        uv[sub[3]] = fUV.face[f];
        uint32_t i = 0;
        forEachFaceEntry(lv, f, [&](uint32_t o, uint32_t) {
            const int32_t child = sub[4 * i++ + 2];
            if (child >= 0 && fUV.edgeSet[o - cornerBase]) uv[child] = fUV.edge[o - cornerBase];
        });
    }
}

// --- Linear scheme ---------------------------------------------------------------------------------

TpolyNNEvaluator::TpolyNNEvaluator(TpolyGeom* record, const TpolyCatmullClarkHierarchy& hierarchy,
                                   const TpolySmoothGeomOptions& options)
    : fRecord(*record), fHierarchy(hierarchy), fOptions(options) {}

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
    auto move = [&](uint32_t id, const float* weights, const uint32_t* from, uint32_t n) {
        p[id] = p[id] + linearPushDelta(delta.data(), from, weights, n, w);
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
        fPasses.prepare(lv);
        T3dFltPoint* out = fRecord.vertexArray().data() + lv.vertexBase;
        const uint32_t nChild = h.nbVertexAt(l - 1);
        auto save = [&]() {
            if (pushing)
                saved.assign(fRecord.vertexArray().data() + lv.vertexBase,
                             fRecord.vertexArray().data() + lv.vertexBase + nChild);
        };
        if (n % 2 == 0 && r % 2 == 1) {
            save();
            fPasses.oddPass(lv, n / 2, out);
            if (pushing) pushBack(lv, l, saved);
        }
        for (int k = 0; k < r / 2; ++k) {
            save();
            if (n % 2 == 1)
                fPasses.evenPass(lv, (n + 1) / 2, out);
            else {
                fPasses.oddPass(lv, n / 2, out);
                fPasses.oddPass(lv, n / 2, out);
            }
            if (pushing) pushBack(lv, l, saved);
        }
    }
    fRecord.markDirty(dirtyMoved);
}
