#include "brindle/ops/PolyMergeVertFty.h"

#include <algorithm>
#include <vector>

#include "brindle/base/UnionFind.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyCompact.h"
#include "brindle/ops/PolyReferenceFrame.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyMergeVertFty, TpolyRemoverFty);

namespace {
const TmodifierParamTable sParams(
    TpolyMergeVertFty::sMetaclass, kPolyGrpVertex,
    {BRINDLE_MODIFIER_PARAM(TpolyMergeVertFty, Threshold, "largest distance between vertices that are merged", 0, 0.1),
     BRINDLE_MODIFIER_PARAM(TpolyMergeVertFty, SewMap, "kept with the parameters; the merge does not read it")});

constexpr uint32_t kNoId = TpolyBits::kNoId;
}  // namespace

void TpolyMergeVertFty::planEdges() {
    const TpolyEdge* edges = fGeom->edgeArray().data();
    const uint32_t nv = fGeom->nbVertex(), ne = fGeom->nbEdge();
    const uint32_t* root = fRoot.data();
    // Edges that do not shrink to a point are bucketed by the smaller root of their ends (a
    // counting sort, so each bucket runs in increasing edge order). An entry is the edge with
    // two flags, whether an end moved and whether its start is the bucket's root, then the
    // other root.
    constexpr uint32_t kMoved = 0x80000000u, kStartsHere = 0x40000000u, kId = 0x3FFFFFFFu;
    fEdgeInto.changeLogicalSizeTo(ne);
    fMark.changeLogicalSizeTo(nv);
    std::fill(fMark.begin(), fMark.end(), kEmpty);
    fBucketStart.changeLogicalSizeTo(nv + 1);
    std::fill(fBucketStart.begin(), fBucketStart.end(), 0u);
    for (uint32_t e = 0; e < ne; ++e) {
        const uint32_t a = root[edges[e].start()], b = root[edges[e].end()];
        fEdgeInto[e] = a == b ? kEmpty : std::min(a, b);
        if (a != b) ++fBucketStart[std::min(a, b) + 1];
    }
    for (uint32_t v = 0; v < nv; ++v) fBucketStart[v + 1] += fBucketStart[v];
    fBucket.changeLogicalSizeTo(2 * fBucketStart[nv]);
    for (uint32_t e = 0; e < ne; ++e) {
        const uint32_t k = fEdgeInto[e];
        fEdgeInto[e] = e;
        if (k == kEmpty) continue;
        const TpolyEdge& edge = edges[e];
        const uint32_t a = root[edge.start()], b = root[edge.end()];
        const bool moved = a != edge.start() || b != edge.end();
        uint32_t* entry = fBucket.data() + 2 * size_t(fBucketStart[k]++);
        entry[0] = e | (moved ? kMoved : 0) | (a == k ? kStartsHere : 0);
        entry[1] = a ^ b ^ k;
    }
    // Per bucket, the survivor for each other root is the first edge whose ends stayed put,
    // else the first edge; every edge that moved fuses into it. fMark is kEmpty between buckets.
    const uint32_t* bucket = fBucket.data();
    for (uint32_t k = 0, first = 0; k < nv; first = fBucketStart[k++]) {
        const uint32_t last = fBucketStart[k];
        if (last - first < 2) continue;
        for (uint32_t i = first; i < last; ++i) {
            uint32_t& s = fMark[bucket[2 * i + 1]];
            if (s == kEmpty || ((bucket[2 * s] & kMoved) && !(bucket[2 * i] & kMoved))) s = i;
        }
        for (uint32_t i = first; i < last; ++i) {
            const uint32_t word = bucket[2 * i], s = fMark[bucket[2 * i + 1]], survivor = bucket[2 * s];
            if (s != i && (word & kMoved))
                fEdgeInto[word & kId] = (survivor & kId) | ((word ^ survivor) & kStartsHere ? kFlip : 0);
        }
        for (uint32_t i = first; i < last; ++i) fMark[bucket[2 * i + 1]] = kEmpty;
    }
}

uint32_t TpolyMergeVertFty::planFaces() {
    const TpolyGeom& g = *fGeom;
    const uint32_t nd = g.faceDescLength(), nf = g.nbFace();
    fEntryMap.changeLogicalSizeTo(nd);
    std::fill(fEntryMap.begin(), fEntryMap.end(), kNoId);
    fFaceMap.changeLogicalSizeTo(nf);
    std::fill(fFaceMap.begin(), fFaceMap.end(), kNoId);
    fNewToOld.changeLogicalSizeTo(nd);
    fNewDesc.changeLogicalSizeTo(nd);
    fEdgeNew.changeLogicalSizeTo(g.nbEdge());
    std::fill(fEdgeNew.begin(), fEdgeNew.end(), 0u);
    fPinched = false;
    const uint32_t* desc = g.faceDescArray().data();
    const TpolyEdge* edges = g.edgeArray().data();
    const uint32_t* root = fRoot.data();
    const uint32_t* into = fEdgeInto.data();
    // An entry's word after the weld: the edge it now uses, its direction flipped when that edge
    // runs the other way.
    auto welded = [&](uint32_t o) {
        const uint32_t e = desc[o] & TpolyBits::kEdgeMask;
        return ((into[e] & ~kFlip) | ((desc[o] ^ into[e]) & TpolyBits::kReversedUse));
    };
    auto edgeOf = [&](uint32_t o) { return welded(o) & TpolyBits::kEdgeMask; };
    auto startOf = [&](uint32_t o) {
        const TpolyEdge& edge = edges[desc[o] & TpolyBits::kEdgeMask];
        return root[edge.v[(desc[o] & TpolyBits::kReversedUse) ? 1 : 0] & TpolyBits::kVertexMask];
    };
    auto collapsed = [&](uint32_t o) {
        const TpolyEdge& edge = edges[desc[o] & TpolyBits::kEdgeMask];
        return root[edge.start()] == root[edge.end()];
    };
    uint32_t write = 0, faces = 0;
    for (uint32_t f = 0; f < nf; ++f) {
        const uint32_t faceEnd = g.faceOffset(f + 1);
        bool outer = true, faceKept = true;
        for (uint32_t o = g.faceOffset(f); o < faceEnd && faceKept;) {
            uint32_t last = o;
            while (last + 1 < faceEnd && !(desc[last] & TpolyBits::kEndOfLoop)) ++last;
            // Collapsed edges drop out; two uses of one edge in a row (out and straight back)
            // cancel, also across the loop's start.
            fLoop.clear();
            for (uint32_t i = o; i <= last; ++i) {
                if (collapsed(i)) continue;
                if (!fLoop.empty() && edgeOf(fLoop.last()) == edgeOf(i))
                    fLoop.removeLast();
                else
                    fLoop.addLast(i);
            }
            uint32_t lo = 0, hi = fLoop.size();
            while (hi - lo >= 2 && edgeOf(fLoop[lo]) == edgeOf(fLoop[hi - 1])) ++lo, --hi;
            if (hi - lo < 3) {
                faceKept = !outer;
            } else {
                // A dropped corner folds into the next kept corner of its loop when both stand
                // at the same vertex.
                if (hi - lo <= last - o) {
                    for (uint32_t j = lo; j < hi; ++j) fEntryMap[fLoop[j]] = kEmpty;
                    uint32_t nextKept = fLoop[lo];
                    for (uint32_t i = last + 1; i-- > o;) {
                        if (fEntryMap[i] == kEmpty)
                            nextKept = i;
                        else if (startOf(i) == startOf(nextKept))
                            fEntryMap[i] = kMerged | nextKept;
                    }
                }
                for (uint32_t j = lo; j < hi; ++j) {
                    const uint32_t word = welded(fLoop[j]);
                    fEntryMap[fLoop[j]] = write;
                    fNewToOld[write] = fLoop[j];
                    fNewDesc[write++] = word;
                    // The mark is the face's number plus one: meeting it again means the
                    // face would use one edge twice, not in a row (a pinched loop).
                    uint32_t& mark = fEdgeNew[word & TpolyBits::kEdgeMask];
                    if (mark == f + 1) fPinched = true;
                    mark = f + 1;
                }
                fNewDesc[write - 1] |= TpolyBits::kEndOfLoop;
            }
            outer = false;
            o = last + 1;
        }
        if (!faceKept) {
            // The outer loop is the first: when it went, nothing of the face was written.
            continue;
        }
        fNewDesc[write - 1] |= TpolyBits::kEndOfFace;
        fFaceMap[f] = faces++;
    }
    fNewDesc.changeLogicalSizeTo(write);
    fNewToOld.changeLogicalSizeTo(write);
    return faces;
}

void TpolyMergeVertFty::updateSet(TpolyBdVertexFaceBase& set, uint32_t oldEntryCount) {
    Tint32Array& ids = set.indexArray();
    if (ids.size() < oldEntryCount) {
        const uint32_t had = ids.size();
        ids.changeLogicalSizeTo(oldEntryCount);
        std::fill(ids.begin() + had, ids.end(), -1);
    }
    const uint32_t nbValues = set.nbData();
    TunionFind joined;
    bool anyJoined = false;
    for (uint32_t o = 0; o < oldEntryCount; ++o) {
        const uint32_t m = fEntryMap[o];
        if (m == kNoId || !(m & kMerged)) continue;
        const int32_t a = ids[o];
        int32_t& b = ids[m & ~kMerged];
        if (a < 0 || uint32_t(a) >= nbValues || a == b) continue;
        if (b < 0) {
            b = a;
            continue;
        }
        if (!anyJoined) joined.reset(nbValues);
        anyJoined = true;
        joined.join(uint32_t(a), uint32_t(b));
    }
    const uint32_t newLength = fNewToOld.size();
    for (uint32_t k = 0; k < newLength; ++k) {
        int32_t id = ids[fNewToOld[k]];
        if (anyJoined && id >= 0 && uint32_t(id) < nbValues) id = int32_t(joined.find(uint32_t(id)));
        ids[k] = id;
    }
    ids.changeLogicalSizeTo(newLength);
    if (!anyJoined) return;
    // Each class of unified values moves to the mean of its members, kept in its lowest id.
    std::vector<uint32_t> members(nbValues, 1);
    for (uint32_t i = 0; i < nbValues; ++i) {
        const uint32_t r = joined.find(i);
        if (r == i) continue;
        set.addData(r, set.dataConst(i));
        ++members[r];
    }
    for (uint32_t r = 0; r < nbValues; ++r)
        if (members[r] > 1) set.normalizeData(r, float(members[r]));
}

void TpolyMergeVertFty::updateUVs(uint32_t oldEntryCount) {
    for (uint32_t s = 0; s < fGeom->nbMapSet(); ++s) updateSet((*fGeom->maps())[s], oldEntryCount);
}

void TpolyMergeVertFty::updateColors(uint32_t oldEntryCount) {
    for (uint32_t s = 0; s < fGeom->nbColorSet(); ++s) updateSet((*fGeom->colors())[s], oldEntryCount);
}

void TpolyMergeVertFty::updateGroups(uint32_t oldFaceCount, const TuInt32Array& vertexTo) {
    TpolyGeom& g = *fGeom;
    // Face groups change only when faces went (the face map is otherwise the identity).
    if (g.nbFace() < oldFaceCount) g.renumGrp(kPolyGrpFace, oldFaceCount, fFaceMap.data());
    bool pairs = false;
    for (uint32_t k = 0; k < g.nbGroup() && !pairs; ++k) pairs = g.groupConst(k).fType == kPolyGrpVertexFace;
    if (!pairs) return;
    // A pair at a welded vertex moves to the new id of the vertex it joined.
    TpolyCompact::renumberVertexFaceGroups(g, vertexTo, false);
    TpolyCompact::renumberVertexFaceGroups(g, fFaceMap, true);
}

void TpolyMergeVertFty::updateBlindData() { TpolyCompact::renumberBlindData(*fGeom->faceBlindData(), fFaceMap); }

void TpolyMergeVertFty::updateUserNormals() {
    TpolyGeom& g = *fGeom;
    g.update(dirtyFaceOffsets | dirtyNormalTopo | dirtyVertexNormals);
    const uint32_t n = std::min(fNewToOld.size(), g.nbNormalRef());
    for (uint32_t k = 0; k < n; ++k) {
        const uint32_t old = fNewToOld[k];
        if (old >= fSavedNormalIds.size()) continue;
        const uint32_t was = fSavedNormalIds[old], now = g.getNormalId(k);
        if (was == now) continue;
        if (fValidUserNormal.testBit(old))
            g.setUserNormal(now, fSavedUserNormals[was]);
        else if (g.hasValidUserNormal(now))
            g.resetUserNormal(now);
    }
}

void TpolyMergeVertFty::moveVertices() {
    // The mean of every group, summed in double in increasing id order so that coincident points
    // stay put; fMark holds each group's slot in fSums. Every vertex an edge still uses then moves
    // down to its new id in the same pass (new ids never exceed old ones).
    T3dFltPointArray& points = fGeom->vertexArray();
    T3dFltPoint* P = points.data();
    const uint32_t nv = fGeom->nbVertex();
    const uint32_t* root = fRoot.data();
    fSums.clear();
    for (uint32_t v = 0; v < nv; ++v) {
        const uint32_t r = root[v];
        if (r == v) continue;
        uint32_t& slot = fMark[r];
        if (slot == kEmpty) {
            slot = fSums.size() / 4;
            for (int a = 0; a < 3; ++a) fSums.addLast(P[r][a]);
            fSums.addLast(1);
        }
        double* sum = fSums.data() + 4 * size_t(slot);
        for (int a = 0; a < 3; ++a) sum[a] += P[v][a];
        sum[3] += 1;
    }
    for (uint32_t v = 0; v < nv; ++v) {
        const uint32_t slot = fMark[v], to = fVertexNew[v];
        fMark[v] = kEmpty;
        if (to == kNoId) continue;
        if (slot == kEmpty) {
            P[to] = P[v];
            continue;
        }
        const double* sum = fSums.data() + 4 * size_t(slot);
        for (int a = 0; a < 3; ++a) P[to][a] = float(sum[a] / sum[3]);
    }
    points.changeLogicalSizeTo(fKeptVertices);
}

void TpolyMergeVertFty::numberSurvivors() {
    // fEdgeNew is non-zero for every edge the new description uses (planFaces set it); the
    // vertices such edges reach after the weld stay. Both are numbered in increasing old id
    // order, as compacting the unused ones away would number them.
    const TpolyEdge* edges = fGeom->edgeArray().data();
    const uint32_t ne = fGeom->nbEdge(), nv = fGeom->nbVertex();
    const uint32_t* root = fRoot.data();
    fVertexNew.changeLogicalSizeTo(nv);
    std::fill(fVertexNew.begin(), fVertexNew.end(), 0u);
    fKeptEdges = 0;
    for (uint32_t e = 0; e < ne; ++e) {
        if (!fEdgeNew[e]) {
            fEdgeNew[e] = kNoId;
            continue;
        }
        fEdgeNew[e] = fKeptEdges++;
        fVertexNew[root[edges[e].start()]] = fVertexNew[root[edges[e].end()]] = 1;
    }
    fKeptVertices = 0;
    for (uint32_t& to : fVertexNew) to = to ? fKeptVertices++ : kNoId;
}

void TpolyMergeVertFty::moveEdges() {
    // Each kept edge moves down to its new id with its ends at their welded vertices' new ids.
    // The hard flag stays; once vertices went no other bit of the ends survives, as after any
    // vertex compaction.
    TpolyGeom& g = *fGeom;
    TpolyEdgeArray& array = g.edgeArray();
    TpolyEdge* edges = array.data();
    const uint32_t ne = g.nbEdge();
    const uint32_t endBits = fKeptVertices < fVertexNew.size() ? 0 : TpolyBits::kHardFlag;
    const uint32_t *root = fRoot.data(), *vertexNew = fVertexNew.data(), *edgeNew = fEdgeNew.data();
    for (uint32_t e = 0; e < ne; ++e) {
        const uint32_t to = edgeNew[e];
        if (to == kNoId) continue;
        const TpolyEdge old = edges[e];
        edges[to].v[0] = (old.v[0] & TpolyBits::kHardFlag) | vertexNew[root[old.start()]];
        edges[to].v[1] = (old.v[1] & endBits) | vertexNew[root[old.end()]];
    }
    array.changeLogicalSizeTo(fKeptEdges);
    if (fKeptEdges == ne) return;
    for (uint32_t& word : g.faceDescArray()) word = (word & ~TpolyBits::kEdgeMask) | edgeNew[word & TpolyBits::kEdgeMask];
    g.renumGrp(kPolyGrpEdge, ne, edgeNew);
    TpolyCompact::renumberBlindData(*g.edgeBlindData(), fEdgeNew);
}

void TpolyMergeVertFty::apply(uint32_t faces) {
    TpolyGeom& g = *fGeom;
    const uint32_t nd = g.faceDescLength(), nf = g.nbFace();
    const bool userNormals = g.hasUserNormals();
    if (userNormals) {
        g.update(dirtyFaceOffsets | dirtyNormalTopo);
        g.saveUserNormal(fSavedUserNormals);
        fSavedNormalIds.copy(g.norm()->fNormalIds);
        fValidUserNormal.resizeArray(nd);
        for (uint32_t o = 0; o < nd && o < fSavedNormalIds.size(); ++o) {
            const uint32_t id = fSavedNormalIds[o];
            fValidUserNormal.setBit(o, id < fSavedUserNormals.size() && fSavedUserNormals[id].x < 1e19f);
        }
    }
    // The maps send a welded vertex (a fused edge) to the new id of the one it joined.
    const uint32_t nv = g.nbVertex(), ne = g.nbEdge();
    numberSurvivors();
    TuInt32Array& vertexTo = vertexMap() ? *vertexMap() : fVertexTo;
    vertexTo.changeLogicalSizeTo(nv);
    for (uint32_t v = 0; v < nv; ++v) vertexTo[v] = fVertexNew[fRoot[v]];
    if (TuInt32Array* edgeTo = edgeMap()) {
        edgeTo->changeLogicalSizeTo(ne);
        for (uint32_t e = 0; e < ne; ++e) (*edgeTo)[e] = fEdgeNew[fEdgeInto[e] & ~kFlip];
    }
    moveVertices();
    g.faceDescArray().swap(fNewDesc);
    g.setNbFace(faces);
    moveEdges();
    if (fKeptVertices < nv) {
        g.renumGrp(kPolyGrpVertex, nv, fVertexNew.data());
        TpolyCompact::renumberBlindData(*g.vertexBlindData(), fVertexNew);
    }
    updateUVs(nd);
    updateColors(nd);
    updateGroups(nf, vertexTo);
    updateBlindData();
    if (hasMap(kPolyGrpFace)) faceMap()->copy(fFaceMap);
    g.markDirty(dirtyAll);
    if (userNormals) updateUserNormals();
    TpolyCompact::removeUnusedUVs(g);
    TpolyCompact::removeUnusedColors(g);
    g.markDirty(dirtyAll);
}

int TpolyMergeVertFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpVertex, name)) return -1;
    
    TpolyGeom* geom = body->polyGeom();
    const uint32_t nv = geom->nbVertex();
    const int32_t grp = geom->findGrp(name, kPolyGrpVertex);
    if (nv == 0 || grp < 0 || geom->grpIsEmpty(uint32_t(grp))) return -1;
    TuInt32Array selected(256);
    selected.buffer(geom->group(uint32_t(grp)).singleItems()->elementCount());
    for (uint32_t v : *geom->group(uint32_t(grp)).singleItems())
        if (v < nv) selected.addLast(v);
    if (selected.empty()) return -1;

    // Distances are measured in the frame of Matrix; the record itself moves into the frame only
    // once the weld is sure to be kept, and moves back afterwards.
    T4dDblMatrix frameMatrix(fMatrix);
    const T3dFltPoint* positions = geom->vertexArray().data();
    if (!frameMatrix.isIdentity()) {
        fFramed.changeLogicalSizeTo(nv);
        for (uint32_t v = 0; v < nv; ++v) fFramed[v] = frameMatrix.transformPoint(positions[v]);
        positions = fFramed.data();
    }
    geom->update(dirtyFaceOffsets);
    fGeom = geom;
    fSearch.run(positions, nv, selected, fThreshold, fRoot);
    planEdges();
    const uint32_t faces = planFaces();
    TpolyReferenceFrame frame;
    const bool kept = faces > 0 && !fPinched && frame.enter(geom, frameMatrix, false);
    if (kept) apply(faces);
    fGeom = nullptr;
    return kept ? 0 : -1;
}
