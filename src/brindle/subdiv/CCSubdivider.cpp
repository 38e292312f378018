#include "brindle/subdiv/CCSubdivider.h"

#include <algorithm>

#include "brindle/geom/PolyGeom.h"
#include "brindle/subdiv/CatmullClarkHierarchy.h"
#include "brindle/subdiv/LevelIds.h"

namespace {

T3dFltPoint lerp(const T3dFltPoint& a, const T3dFltPoint& b, float t) {
    return T3dFltPoint(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t);
}

template <typename T>
T bilerp(const T& c0, const T& c1, const T& c2, const T& c3, float s, float t);

template <>
T3dFltPoint bilerp(const T3dFltPoint& c0, const T3dFltPoint& c1, const T3dFltPoint& c2, const T3dFltPoint& c3, float s,
                   float t) {
    const float w0 = (1 - s) * (1 - t), w1 = s * (1 - t), w2 = s * t, w3 = (1 - s) * t;
    return T3dFltPoint(w0 * c0.x + w1 * c1.x + w2 * c2.x + w3 * c3.x, w0 * c0.y + w1 * c1.y + w2 * c2.y + w3 * c3.y,
                       w0 * c0.z + w1 * c1.z + w2 * c2.z + w3 * c3.z);
}

// The entry of piece p (0..d, counted along the face's use) of the edge used at offset o.
uint32_t pieceEntry(const TsubdivLevel& lv, const TpolyCatmullClarkHierarchy& h, uint32_t level, uint32_t o,
                    uint32_t p) {
    const uint32_t e = lv.edgeBase + lv.entryEdge(o);
    const bool rev = lv.entryReversed(o);
    const uint32_t d = h.divisions();
    return (h.edgeSubEdge(e, level) + (rev ? d - p : p)) | (rev ? TpolyBits::kReversedUse : 0);
}

}  // namespace

TpolyCCSubdivider::TpolyCCSubdivider(TpolyGeom& record, TpolyCatmullClarkHierarchy& hierarchy)
    : fRecord(record), fHierarchy(hierarchy) {}

void TpolyCCSubdivider::preProcessHierarchy(uint32_t levels) {
    uint64_t v = 0, e = 0, c = 0;
    for (uint32_t l = 1; l <= levels; ++l) {
        v += fHierarchy.refineVertexCount(l);
        e += fHierarchy.refineEdgeCount(l);
        c += fHierarchy.refineFaceVertexCount(l);
    }
    fRecord.vertexBuffer(uint32_t(v));
    fRecord.edgeBuffer(uint32_t(e));
    fRecord.loopEdgeBuffer(uint32_t(c));
}

void TpolyCCSubdivider::placeLinear(uint32_t level) {
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    const uint32_t v0 = h.vertexStart(level), e0 = h.edgeStart(level), f0 = h.faceStart(level);
    createVertSubVert(v0, v0 + h.nbVertexAt(level), level);
    createEdgeSubVert(e0, e0 + h.nbEdgeAt(level), level);
    createFaceSubVert(f0, f0 + h.nbFaceAt(level), level);
}

uint32_t TpolyCCSubdivider::createHierarchy(uint32_t levels) {
    levels = fHierarchy.prepareLevels(levels);
    if (levels == 0) return 0;
    preProcessHierarchy(levels);
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    for (uint32_t l = 0; l < levels; ++l) {
        const uint32_t v0 = h.vertexStart(l), e0 = h.edgeStart(l), f0 = h.faceStart(l);
        const uint32_t v1 = v0 + h.nbVertexAt(l), e1 = e0 + h.nbEdgeAt(l), f1 = f0 + h.nbFaceAt(l);
        // Each level is sized once; the passes below fill their parts of it.
        fRecord.vertexArray().changeLogicalSizeTo(h.nbVertexUpTo(l + 1));
        fRecord.edgeArray().changeLogicalSizeTo(h.nbEdgeUpTo(l + 1));
        fRecord.faceDescArray().changeLogicalSizeTo(h.nbCornerUpTo(l + 1));
        createVertSubVert(v0, v1, l);
        createEdgeSubVert(e0, e1, l);
        createFaceSubVert(f0, f1, l);
        createEdgeSubEdge(e0, e1, l);
        createFaceSubEdge(f0, f1, l);
        createSubFace(f0, f1, l);
        fRecord.addFace(h.nbFaceAt(l + 1));
        createSubUVForAllMaps(l);
        createSubColors(l);
        createSubGroups(l);
        createSubBlindData(l);
    }
    fRecord.markDirty(dirtyAll);
    return levels;
}

void TpolyCCSubdivider::createVertSubVert(uint32_t first, uint32_t end, uint32_t level) {
    T3dFltPoint* p = fRecord.vertexArray().data();
    std::copy(p + first, p + end, p + fHierarchy.vertexSubVertex(first, level));
}

void TpolyCCSubdivider::createEdgeSubVert(uint32_t first, uint32_t end, uint32_t level) {
    T3dFltPoint* p = fRecord.vertexArray().data();
    const TpolyEdge* edges = fRecord.edgeArray().data();
    const uint32_t d = fHierarchy.divisions();
    T3dFltPoint* out = p + fHierarchy.edgeSubVertex(first, level);
    for (uint32_t e = first; e < end; ++e) {
        const T3dFltPoint& a = p[edges[e].start()];
        const T3dFltPoint& b = p[edges[e].end()];
        for (uint32_t k = 1; k <= d; ++k) *out++ = lerp(a, b, float(k) / float(d + 1));
    }
}

void TpolyCCSubdivider::createFaceSubVert(uint32_t first, uint32_t end, uint32_t level) {
    const TsubdivLevel lv = TsubdivLevel::of(fRecord, fHierarchy, level);
    T3dFltPoint* out = fRecord.vertexArray().data() + fHierarchy.faceSubVertex(first, level);
    for (uint32_t f = first; f < end; ++f) *out++ = subdivOutlineCentre(lv, f - lv.faceBase);
}

void TpolyCCSubdivider::createEdgeSubEdge(uint32_t first, uint32_t end, uint32_t level) {
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    TpolyEdge* edges = fRecord.edgeArray().data();
    const uint32_t d = h.divisions();
    TpolyEdge* out = edges + h.edgeSubEdge(first, level);
    for (uint32_t e = first; e < end; ++e) {
        const uint32_t hard = fKeepHardEdges && edges[e].isHard() ? TpolyBits::kHardFlag : 0;
        uint32_t from = h.vertexSubVertex(edges[e].start(), level);
        const uint32_t child = h.edgeSubVertex(e, level);
        for (uint32_t k = 0; k <= d; ++k) {
            const uint32_t to = k < d ? child + k : h.vertexSubVertex(edges[e].end(), level);
            out->v[0] = from | hard;
            out->v[1] = to;
            ++out;
            from = to;
        }
    }
}

void TpolyCCSubdivider::createFaceSubEdge(uint32_t first, uint32_t end, uint32_t level) {
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    const TsubdivLevel lv = TsubdivLevel::of(fRecord, h, level);
    TpolyEdge* edges = fRecord.edgeArray().data();
    for (uint32_t f = first; f < end; ++f) {
        const uint32_t centre = h.faceSubVertex(f, level);
        TpolyEdge* out = edges + h.faceSubEdge(f, level);
        for (uint32_t o = lv.faceBegin(f - lv.faceBase), oe = lv.faceEnd(f - lv.faceBase); o < oe; ++o, ++out) {
            out->v[0] = centre;
            out->v[1] = h.edgeSubVertex(lv.edgeBase + lv.entryEdge(o), level);
        }
    }
}

void TpolyCCSubdivider::createSubFace(uint32_t first, uint32_t end, uint32_t level) {
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    const TsubdivLevel lv = TsubdivLevel::of(fRecord, h, level);
    uint32_t* desc = fRecord.faceDescArray().data();
    uint32_t* out = desc + h.cornerStart(level + 1) + 4 * h.relativeFaceId(h.faceSubFace(first, level), level + 1);
    for (uint32_t f = first; f < end; ++f) {
        const uint32_t begin = lv.faceBegin(f - lv.faceBase);
        const uint32_t inner = h.faceSubEdge(f, level);
        // Walk each loop keeping the previous corner, starting from the loop's last one.
        const uint32_t oe = lv.faceEnd(f - lv.faceBase);
        uint32_t loop = begin;
        while (loop < oe) {
            uint32_t last = loop;
            while (last + 1 < oe && !(desc[last] & TpolyBits::kEndOfLoop)) ++last;
            uint32_t prev = last;
            for (uint32_t o = loop; o <= last; prev = o, ++o) {
                out[0] = pieceEntry(lv, h, level, prev, 1);
                out[1] = pieceEntry(lv, h, level, o, 0);
                out[2] = (inner + (o - begin)) | TpolyBits::kReversedUse;
                out[3] = (inner + (prev - begin)) | TpolyBits::kEndOfLoop | TpolyBits::kEndOfFace;
                out += 4;
            }
            loop = last + 1;
        }
    }
}

uint32_t TpolyCCSubdivider::facePattern(const TsubdivLevel& lv, uint32_t f) {
    if (!lv.faceOffsets && !fHierarchy.quadMesh()) {
        // Past level 0 the split layout holds single-loop quads only: the pattern is fixed.
        static constexpr uint32_t kQuad[16] = {7, 0, 4, 8, 4, 1, 5, 8, 5, 2, 6, 8, 6, 3, 7, 8};
        const uint32_t b = lv.faceBegin(f);
        fCorners.assign({b, b + 1, b + 2, b + 3});
        fNext.assign({b + 1, b + 2, b + 3, b});
        fSubCorners.assign(kQuad, kQuad + 16);
        return 9;
    }
    fCorners.clear();
    fNext.clear();
    fSubCorners.clear();
    forEachFaceEntry(lv, f, [&](uint32_t o, uint32_t next) {
        fCorners.push_back(o);
        fNext.push_back(next);
    });
    const uint32_t n = uint32_t(fCorners.size());
    const uint32_t begin = lv.faceBegin(f);
    if (fHierarchy.quadMesh()) {
        const uint32_t d = fHierarchy.divisions(), row = d + 2;
        for (uint32_t j = 0; j <= d; ++j)
            for (uint32_t i = 0; i <= d; ++i)
                fSubCorners.insert(fSubCorners.end(),
                                   {j * row + i, j * row + i + 1, (j + 1) * row + i + 1, (j + 1) * row + i});
        return row * row;
    }
    // The corner before each one in its loop is the one whose next it is.
    std::vector<uint32_t>& prev = fPrev;
    prev.assign(n, 0);
    for (uint32_t i = 0; i < n; ++i) prev[fNext[i] - begin] = i;
    for (uint32_t i = 0; i < n; ++i) fSubCorners.insert(fSubCorners.end(), {n + prev[i], i, n + i, 2 * n});
    return 2 * n + 1;
}

void TpolyCCSubdivider::createSubUVForAllMaps(uint32_t level) {
    const TsubdivLevel lv = TsubdivLevel::of(fRecord, fHierarchy, level);
    bool tableMade = false;
    const uint32_t nextCorners = fHierarchy.nbCornerUpTo(level + 1);
    TpolyMapArrayShared& maps = *fRecord.maps();
    for (uint32_t s = 0; s < maps.nbMap() && s < fHierarchy.maps().nbMap(); ++s) {
        if (fHierarchy.nbUVAt(s, level) == 0) {
            // A set without UVs keeps one unmapped id per corner when it had ids at all.
            Tint32Array& ids = maps[s].indexArray();
            if (!ids.empty() && ids.size() < nextCorners) {
                const uint32_t old = ids.size();
                ids.changeLogicalSizeTo(nextCorners);
                std::fill(ids.begin() + old, ids.end(), -1);
            }
            continue;
        }
        if (!tableMade) subdivEdgeUses(lv, fEdgeCount, fEdgeFirst);
        tableMade = true;
        createSubUV(s, level);
    }
}

void TpolyCCSubdivider::createSubUV(uint32_t map, uint32_t level) {
    TpolyCatmullClarkHierarchy& h = fHierarchy;
    const TsubdivLevel lv = TsubdivLevel::of(fRecord, h, level);
    TpolyMap& set = (*fRecord.maps())[map];
    T2FloatArray& uv = set.uvArray();
    Tint32Array& ids = set.indexArray();
    const uint32_t uvBase = h.uvStart(map, level), nUV = h.nbUVAt(map, level), newBase = uvBase + nUV;
    const uint32_t cornerBase = h.cornerStart(level), nCorner = h.nbCornerAt(level);
    const uint32_t nextCorners = h.nbCornerUpTo(level + 1);
    if (ids.size() < cornerBase + nCorner) {
        const uint32_t old = ids.size();
        ids.changeLogicalSizeTo(cornerBase + nCorner);
        std::fill(ids.begin() + old, ids.end(), -1);
    }
    if (uv.size() != newBase) {
        // The set changed since the hierarchy was made: its new corners stay unmapped.
        ids.changeLogicalSizeTo(nextCorners);
        std::fill(ids.begin() + cornerBase + nCorner, ids.end(), -1);
        return;
    }
    uv.buffer(h.refineUVCountGuess(map, level + 1));
    uv.changeLogicalSizeTo(newBase + nUV);
    std::copy(uv.begin() + uvBase, uv.begin() + newBase, uv.begin() + newBase);
    auto valid = [&](int32_t id) { return id >= int32_t(uvBase) && id < int32_t(newBase); };
    const int32_t* lvIds = ids.data();
    const uint32_t d = h.divisions();
    const bool grid = h.quadMesh();

    // Face points of mapped faces.
    fFaceUV.assign(lv.nbFace, -1);
    for (uint32_t f = 0; f < lv.nbFace; ++f) {
        const uint32_t begin = lv.faceBegin(f);
        if (!valid(lvIds[begin])) continue;
        fFaceUV[f] = int32_t(uv.size());
        if (grid) {
            T2FloatPair c[4];
            for (uint32_t k = 0; k < 4; ++k)
                c[k] = uv[uint32_t(valid(lvIds[begin + k]) ? lvIds[begin + k] : lvIds[begin])];
            for (uint32_t j = 1; j <= d; ++j)
                for (uint32_t i = 1; i <= d; ++i) {
                    const float s = float(i) / float(d + 1), t = float(j) / float(d + 1);
                    const float w0 = (1 - s) * (1 - t), w1 = s * (1 - t), w2 = s * t, w3 = (1 - s) * t;
                    uv.addLast({w0 * c[0].u + w1 * c[1].u + w2 * c[2].u + w3 * c[3].u,
                                w0 * c[0].v + w1 * c[1].v + w2 * c[2].v + w3 * c[3].v});
                }
            continue;
        }
        uv.addLast(
            subdivFaceUVCentre(lv, f, uv.data(), lvIds, int32_t(uvBase), int32_t(newBase), fUvCenterType, fLoopUVs));
    }

    // Edge points, per face side, along the edge's own direction; the second side of a
    // two-faced edge reuses the first side's run when it names the same two UVs.
    for (std::vector<int32_t>& a : fSideUV) a.assign(nCorner, -1);
    for (uint32_t f = 0; f < lv.nbFace; ++f) {
        if (fFaceUV[f] < 0) continue;
        forEachFaceEntry(lv, f, [&](uint32_t o, uint32_t next) {
            const int32_t a = lvIds[o], b = lvIds[next];
            if (!valid(a) || !valid(b)) return;
            const uint32_t e = lv.entryEdge(o), r = o - cornerBase;
            const bool rev = lv.entryReversed(o);
            const int32_t s = rev ? b : a, t = rev ? a : b;
            fSideUV[0][r] = s;
            fSideUV[1][r] = t;
            const uint32_t firstUse = fEdgeFirst[e] - cornerBase;
            if (fEdgeCount[e] == 2 && firstUse != r && fSideUV[2][firstUse] >= 0 && fSideUV[0][firstUse] == s &&
                fSideUV[1][firstUse] == t) {
                fSideUV[2][r] = fSideUV[2][firstUse];
                return;
            }
            fSideUV[2][r] = int32_t(uv.size());
            const T2FloatPair us = uv[uint32_t(s)], ut = uv[uint32_t(t)];
            for (uint32_t k = 1; k <= d; ++k) {
                const float w = float(k) / float(d + 1);
                uv.addLast({us.u + (ut.u - us.u) * w, us.v + (ut.v - us.v) * w});
            }
        });
    }

    // Ids of the sub-face corners, face by face in sub-face order.
    ids.changeLogicalSizeTo(nextCorners);
    int32_t* out = ids.data() + cornerBase + nCorner;
    uint32_t mapped = 0;
    for (uint32_t f = 0; f < lv.nbFace; ++f) {
        const uint32_t nLocal = facePattern(lv, f);
        const int32_t* parent = ids.data();
        fLocal.assign(nLocal, -1);
        if (fFaceUV[f] >= 0) {
            auto child = [&](uint32_t o) { return valid(parent[o]) ? int32_t(newBase + (parent[o] - uvBase)) : -1; };
            // The k-th edge point (0-based, along the face's use) of the side at corner o.
            auto sidePoint = [&](uint32_t o, uint32_t k) {
                const int32_t run = fSideUV[2][o - cornerBase];
                return run < 0 ? -1 : run + int32_t(lv.entryReversed(o) ? d - 1 - k : k);
            };
            const uint32_t n = uint32_t(fCorners.size());
            if (grid) {
                const uint32_t row = d + 2, far = d + 1;
                const uint32_t corner[4] = {0, far, far * row + far, far * row};
                for (uint32_t c = 0; c < 4; ++c) fLocal[corner[c]] = child(fCorners[c]);
                for (uint32_t p = 1; p <= d; ++p) {
                    fLocal[p] = sidePoint(fCorners[0], p - 1);
                    fLocal[p * row + far] = sidePoint(fCorners[1], p - 1);
                    fLocal[far * row + far - p] = sidePoint(fCorners[2], p - 1);
                    fLocal[(far - p) * row] = sidePoint(fCorners[3], p - 1);
                }
                for (uint32_t j = 1; j <= d; ++j)
                    for (uint32_t i = 1; i <= d; ++i) fLocal[j * row + i] = fFaceUV[f] + int32_t((j - 1) * d + i - 1);
            } else {
                for (uint32_t i = 0; i < n; ++i) {
                    fLocal[i] = child(fCorners[i]);
                    fLocal[n + i] = sidePoint(fCorners[i], 0);
                }
                fLocal[2 * n] = fFaceUV[f];
            }
            mapped += uint32_t(fSubCorners.size() / 4);
        }
        for (uint32_t k : fSubCorners) *out++ = fLocal[k];
    }
    h.maps().setNbUVAt(map, level + 1, uv.size() - newBase);
    h.maps().setMappedFacesAt(map, level + 1, mapped);
}

void TpolyCCSubdivider::createSubColors(uint32_t level) {
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    const TsubdivLevel lv = TsubdivLevel::of(fRecord, h, level);
    const uint32_t cornerBase = h.cornerStart(level), nCorner = h.nbCornerAt(level);
    const uint32_t nextCorners = h.nbCornerUpTo(level + 1);
    const uint32_t d = h.divisions();
    const bool grid = h.quadMesh();
    TpolyColorArrayShared& sets = *fRecord.colors();
    for (uint32_t s = 0; s < sets.nbSet(); ++s) {
        TpolyColor& set = sets[s];
        Tint32Array& ids = set.indexArray();
        if (ids.empty()) continue;
        TpolyColorValueArray& values = set.values();
        const uint32_t old = ids.size();
        ids.changeLogicalSizeTo(nextCorners);
        std::fill(ids.begin() + std::min(old, cornerBase + nCorner), ids.end(), -1);
        if (values.empty()) continue;
        const uint32_t nValues = values.size();
        auto valid = [&](int32_t id) { return id >= 0 && uint32_t(id) < nValues; };
        auto add = [&](const TpolyColorValue& c) {
            values.addLast(c);
            return int32_t(values.size() - 1);
        };
        int32_t* out = ids.data() + cornerBase + nCorner;
        for (uint32_t f = 0; f < lv.nbFace; ++f) {
            const uint32_t nLocal = facePattern(lv, f);
            const int32_t* parent = ids.data();
            fLocal.assign(nLocal, -1);
            const uint32_t n = uint32_t(fCorners.size());
            TpolyColorValue mean{0, 0, 0, 0};
            uint32_t nValid = 0;
            for (uint32_t o : fCorners)
                if (valid(parent[o])) {
                    const TpolyColorValue& c = values[uint32_t(parent[o])];
                    mean = {mean.r + c.r, mean.g + c.g, mean.b + c.b, mean.a + c.a};
                    ++nValid;
                }
            if (nValid) {
                const float w = 1.0f / float(nValid);
                mean = {mean.r * w, mean.g * w, mean.b * w, mean.a * w};
                auto at = [&](uint32_t o) { return valid(parent[o]) ? values[uint32_t(parent[o])] : mean; };
                if (grid) {
                    const TpolyColorValue c[4] = {at(fCorners[0]), at(fCorners[1]), at(fCorners[2]), at(fCorners[3])};
                    const uint32_t row = d + 2;
                    for (uint32_t j = 0; j < row; ++j)
                        for (uint32_t i = 0; i < row; ++i) {
                            const bool atCorner = (i == 0 || i == row - 1) && (j == 0 || j == row - 1);
                            if (atCorner) {
                                const uint32_t k = j == 0 ? (i == 0 ? 0 : 1) : (i == 0 ? 3 : 2);
                                fLocal[j * row + i] = parent[fCorners[k]];
                                continue;
                            }
                            const float u = float(i) / float(row - 1), v = float(j) / float(row - 1);
                            const float w0 = (1 - u) * (1 - v), w1 = u * (1 - v), w2 = u * v, w3 = (1 - u) * v;
                            fLocal[j * row + i] = add({w0 * c[0].r + w1 * c[1].r + w2 * c[2].r + w3 * c[3].r,
                                                       w0 * c[0].g + w1 * c[1].g + w2 * c[2].g + w3 * c[3].g,
                                                       w0 * c[0].b + w1 * c[1].b + w2 * c[2].b + w3 * c[3].b,
                                                       w0 * c[0].a + w1 * c[1].a + w2 * c[2].a + w3 * c[3].a});
                        }
                } else {
                    for (uint32_t i = 0; i < n; ++i) {
                        fLocal[i] = parent[fCorners[i]];
                        const TpolyColorValue a = at(fCorners[i]), b = at(fNext[i]);
                        fLocal[n + i] =
                            add({(a.r + b.r) * 0.5f, (a.g + b.g) * 0.5f, (a.b + b.b) * 0.5f, (a.a + b.a) * 0.5f});
                    }
                    fLocal[2 * n] = add(mean);
                }
            }
            for (uint32_t k : fSubCorners) *out++ = fLocal[k];
        }
    }
}

void TpolyCCSubdivider::createSubGroups(uint32_t level) {
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    std::vector<std::pair<uint32_t, uint32_t>> blocks;
    for (uint32_t g = 0; g < fRecord.nbGroup(); ++g) {
        TpolyGrpDesc& desc = fRecord.group(g);
        const TsingleIndexedComponent* list = desc.singleItems();
        if (!list || (desc.fName == kGrpNameCrease && desc.fType == kPolyGrpEdge)) continue;
        uint32_t lo = 0, count = 0;
        if (!levelIds(h, desc.fType, level, lo, count)) continue;
        blocks.clear();
        for (uint32_t id : *list) {
            if (id < lo) continue;
            if (id >= lo + count) break;
            std::pair<uint32_t, uint32_t> b;
            if (desc.fType == kPolyGrpVertex)
                b = {h.vertexSubVertex(id, level), h.vertexSubVertex(id, level)};
            else if (desc.fType == kPolyGrpEdge)
                b = {h.edgeSubEdge(id, level), h.edgeSubEdge(id, level) + h.divisions()};
            else
                b = h.faceSubFaceRange(id, level);
            if (!blocks.empty() && blocks.back().second + 1 == b.first)
                blocks.back().second = b.second;
            else
                blocks.push_back(b);
        }
        if (blocks.empty()) continue;
        for (const auto& [first, last] : blocks) desc.appendBlock(first, last);
        desc.endGroup();
    }

    TuInt32Array edges, next;
    TdoubleArray values, nextValues;
    if (!fRecord.getCreaseEdges(edges, values)) return;
    const uint32_t lo = h.edgeStart(level), hi = lo + h.nbEdgeAt(level);
    for (uint32_t i = 0; i < edges.size() && i < values.size(); ++i) {
        if (edges[i] < lo || edges[i] >= hi) continue;
        for (uint32_t p = 0; p <= h.divisions(); ++p) {
            next.addLast(h.edgeSubEdge(edges[i], level) + p);
            nextValues.addLast(std::max(values[i] - 1, 0.0));
        }
    }
    fRecord.setCreaseEdges(next, nextValues);
}

void TpolyCCSubdivider::createSubBlindData(uint32_t level) {
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    appendBlindDataOf(*fRecord.vertexBlindData(), h.vertexStart(level), h.nbVertexAt(level), *fRecord.vertexBlindData(),
                      [&](uint32_t v) { return std::pair(h.vertexSubVertex(v, level), h.vertexSubVertex(v, level)); });
    appendBlindDataOf(
        *fRecord.edgeBlindData(), h.edgeStart(level), h.nbEdgeAt(level), *fRecord.edgeBlindData(),
        [&](uint32_t e) { return std::pair(h.edgeSubEdge(e, level), h.edgeSubEdge(e, level) + h.divisions()); });
    appendBlindDataOf(*fRecord.faceBlindData(), h.faceStart(level), h.nbFaceAt(level), *fRecord.faceBlindData(),
                      [&](uint32_t f) { return h.faceSubFaceRange(f, level); });
}

// --- Uniform layout ------------------------------------------------------------------------------

void TpolyNNSubdivider::faceGrid(const TsubdivLevel& lv, uint32_t f, uint32_t level) {
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    const uint32_t d = h.divisions(), row = d + 2, far = d + 1;
    fGrid.assign(row * row, 0);
    const uint32_t begin = lv.faceBegin(f);
    const uint32_t corner[4] = {0, far, far * row + far, far * row};
    for (uint32_t c = 0; c < 4; ++c) {
        const uint32_t o = begin + c;
        fGrid[corner[c]] = h.vertexSubVertex(lv.vertexBase + lv.entryStart(o), level);
        const uint32_t first = h.edgeSubVertex(lv.edgeBase + lv.entryEdge(o), level);
        const bool rev = lv.entryReversed(o);
        for (uint32_t p = 1; p <= d; ++p) {
            const uint32_t id = first + (rev ? d - p : p - 1);
            const uint32_t at[4] = {p, p * row + far, far * row + far - p, (far - p) * row};
            fGrid[at[c]] = id;
        }
    }
    const uint32_t inner = h.faceSubVertex(lv.faceBase + f, level);
    for (uint32_t j = 1; j <= d; ++j)
        for (uint32_t i = 1; i <= d; ++i) fGrid[j * row + i] = inner + (j - 1) * d + i - 1;
}

void TpolyNNSubdivider::createFaceSubVert(uint32_t first, uint32_t end, uint32_t level) {
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    const TsubdivLevel lv = TsubdivLevel::of(fRecord, h, level);
    T3dFltPoint* p = fRecord.vertexArray().data();
    if (!h.quadMesh()) {
        // The linear centre of a face of any size is the mean of its outer loop's corners
        // (bilinear at the middle of a quad).
        for (uint32_t f = first; f < end; ++f) {
            double x = 0, y = 0, z = 0;
            uint32_t n = 0;
            for (uint32_t o = lv.faceBegin(f - lv.faceBase), oe = lv.faceEnd(f - lv.faceBase); o < oe; ++o) {
                const T3dFltPoint& c = lv.point(lv.entryStart(o));
                x += c.x, y += c.y, z += c.z, ++n;
                if (lv.desc[o] & TpolyBits::kEndOfLoop) break;
            }
            p[h.faceSubVertex(f, level)] =
                n ? T3dFltPoint(float(x / n), float(y / n), float(z / n)) : T3dFltPoint(0, 0, 0);
        }
        return;
    }
    const uint32_t d = h.divisions();
    for (uint32_t f = first; f < end; ++f) {
        const uint32_t begin = lv.faceBegin(f - lv.faceBase);
        const T3dFltPoint c0 = lv.point(lv.entryStart(begin)), c1 = lv.point(lv.entryStart(begin + 1)),
                          c2 = lv.point(lv.entryStart(begin + 2)), c3 = lv.point(lv.entryStart(begin + 3));
        T3dFltPoint* out = p + h.faceSubVertex(f, level);
        for (uint32_t j = 1; j <= d; ++j)
            for (uint32_t i = 1; i <= d; ++i)
                *out++ = bilerp(c0, c1, c2, c3, float(i) / float(d + 1), float(j) / float(d + 1));
    }
}

void TpolyNNSubdivider::createFaceSubEdge(uint32_t first, uint32_t end, uint32_t level) {
    if (!fHierarchy.quadMesh()) return TpolyCCSubdivider::createFaceSubEdge(first, end, level);
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    const TsubdivLevel lv = TsubdivLevel::of(fRecord, h, level);
    TpolyEdge* edges = fRecord.edgeArray().data();
    const uint32_t d = h.divisions(), row = d + 2;
    for (uint32_t f = first; f < end; ++f) {
        faceGrid(lv, f - lv.faceBase, level);
        TpolyEdge* out = edges + h.faceSubEdge(f, level);
        // Rows of grid edges along i, then columns along j.
        for (uint32_t j = 1; j <= d; ++j)
            for (uint32_t i = 0; i <= d; ++i, ++out) {
                out->v[0] = fGrid[j * row + i];
                out->v[1] = fGrid[j * row + i + 1];
            }
        for (uint32_t i = 1; i <= d; ++i)
            for (uint32_t j = 0; j <= d; ++j, ++out) {
                out->v[0] = fGrid[j * row + i];
                out->v[1] = fGrid[(j + 1) * row + i];
            }
    }
}

void TpolyNNSubdivider::createSubFace(uint32_t first, uint32_t end, uint32_t level) {
    if (!fHierarchy.quadMesh()) return TpolyCCSubdivider::createSubFace(first, end, level);
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    const TsubdivLevel lv = TsubdivLevel::of(fRecord, h, level);
    const uint32_t d = h.divisions();
    uint32_t* out = fRecord.faceDescArray().data() + h.cornerStart(level + 1) +
                    4 * h.relativeFaceId(h.faceSubFace(first, level), level + 1);
    const uint32_t rowEdge = d + 1, columns = d * (d + 1);
    for (uint32_t f = first; f < end; ++f) {
        const uint32_t begin = lv.faceBegin(f - lv.faceBase);
        const uint32_t inner = h.faceSubEdge(f, level);
        auto across = [&](uint32_t i, uint32_t j) { return inner + (j - 1) * rowEdge + i; };        // (i,j)-(i+1,j)
        auto up = [&](uint32_t i, uint32_t j) { return inner + columns + (i - 1) * rowEdge + j; };  // (i,j)-(i,j+1)
        for (uint32_t j = 0; j <= d; ++j)
            for (uint32_t i = 0; i <= d; ++i) {
                out[0] = j == 0 ? pieceEntry(lv, h, level, begin, i) : across(i, j);
                out[1] = i == d ? pieceEntry(lv, h, level, begin + 1, j) : up(i + 1, j);
                out[2] =
                    j == d ? pieceEntry(lv, h, level, begin + 2, d - i) : across(i, j + 1) | TpolyBits::kReversedUse;
                out[3] = (i == 0 ? pieceEntry(lv, h, level, begin + 3, d - j) : up(i, j) | TpolyBits::kReversedUse) |
                         TpolyBits::kEndOfLoop | TpolyBits::kEndOfFace;
                out += 4;
            }
    }
}
