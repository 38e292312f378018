#include "brindle/ops/PolyMergeVertFty.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "brindle/base/PointOctree.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyCompact.h"
#include "brindle/ops/PolyReferenceFrame.h"
#include "brindle/uv/UvWork.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyMergeVertFty, TpolyRemoverFty);

namespace {
const TmodifierParamTable sParams(
    TpolyMergeVertFty::sMetaclass, kPolyGrpVertex,
    {BRINDLE_MODIFIER_PARAM(TpolyMergeVertFty, Threshold, "largest distance between vertices that are merged", 0, 0.1),
     BRINDLE_MODIFIER_PARAM(TpolyMergeVertFty, SewMap, "kept with the parameters; the merge does not read it")});

constexpr uint32_t kNoId = TpolyBits::kNoId;

float distance2(const T3dFltPoint& a, const T3dFltPoint& b) {
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return dx * dx + dy * dy + dz * dz;
}
}  // namespace

bool TpolyMergeVertFty::isEdgeDead(uint32_t e) const {
    const TpolyEdge& edge = fGeom->edgeConst(e);
    return (fEdgeState[e] & kMerged) || edge.start() == edge.end();
}

void TpolyMergeVertFty::startMergeVert() {
    TpolyGeom& g = *fGeom;
    const uint32_t nv = g.nbVertex(), ne = g.nbEdge(), nd = g.faceDescLength();
    fVertState.changeLogicalSizeTo(nv);
    std::fill(fVertState.begin(), fVertState.end(), kEmpty);
    fMark.changeLogicalSizeTo(nv);
    std::fill(fMark.begin(), fMark.end(), kEmpty);
    fEndLink.changeLogicalSizeTo(2 * ne);
    fEdgeState.changeLogicalSizeTo(ne);
    std::fill(fEdgeState.begin(), fEdgeState.end(), kEmpty);
    fEntryLink.changeLogicalSizeTo(nd);
    // Pushed from the last to the first, so that every list runs in increasing order.
    const TpolyEdgeArray& edges = g.edgeArray();
    for (uint32_t e = ne; e-- > 0;)
        for (uint32_t k = 2; k-- > 0;) {
            const uint32_t v = edges[e].v[k] & TpolyBits::kVertexMask;
            fEndLink[2 * e + k] = fVertState[v];
            fVertState[v] = 2 * e + k;
        }
    for (uint32_t o = nd; o-- > 0;) {
        const uint32_t e = g.getEdge(o);
        fEntryLink[o] = fEdgeState[e];
        fEdgeState[e] = o;
    }
    if (g.hasUserNormals()) {
        g.saveUserNormal(fSavedUserNormals);
        fSavedNormalIds.copy(g.norm()->fNormalIds);
    }
}

void TpolyMergeVertFty::replaceEdge(uint32_t e, uint32_t f, bool flip) {
    TpolyGeom& g = *fGeom;
    uint32_t tail = kEmpty;
    for (uint32_t o = fEdgeState[f]; o != kEmpty; o = fEntryLink[o]) tail = o;
    const uint32_t moved = fEdgeState[e];
    for (uint32_t o = moved; o != kEmpty; o = fEntryLink[o]) {
        g.setEdge(o, f);
        if (flip) g.setDirection(o, g.getDirection(o) == kForward ? kReversed : kForward);
    }
    if (tail == kEmpty)
        fEdgeState[f] = moved;
    else
        fEntryLink[tail] = moved;
    fEdgeState[e] = kMerged | f;
}

bool TpolyMergeVertFty::mergeTwoVert(uint32_t a, uint32_t b) {
    a = rootVertex(a);
    b = rootVertex(b);
    if (a == b) return true;
    const uint32_t s = std::min(a, b), r = std::max(a, b);
    TpolyEdgeArray& edges = fGeom->edgeArray();
    auto otherEnd = [&](uint32_t end) { return edges[end >> 1].v[(end & 1) ^ 1] & TpolyBits::kVertexMask; };

    // s's live edges by the vertex at their other end; dead ends are unlinked on the way.
    uint32_t tail = kEmpty;
    for (uint32_t* link = &fVertState[s]; *link != kEmpty;) {
        const uint32_t end = *link;
        if (isEdgeDead(end >> 1)) {
            *link = fEndLink[end];
            continue;
        }
        const uint32_t w = otherEnd(end);
        if (fMark[w] == kEmpty) fMark[w] = end >> 1;
        tail = end;
        link = &fEndLink[end];
    }

    uint32_t keptHead = kEmpty, keptTail = kEmpty;
    for (uint32_t end = fVertState[r]; end != kEmpty;) {
        const uint32_t following = fEndLink[end];
        const uint32_t e = end >> 1;
        if (!isEdgeDead(e)) {
            uint32_t& word = edges[e].v[end & 1];
            word = (word & ~TpolyBits::kVertexMask) | s;
            const uint32_t w = otherEnd(end);
            if (w != s) {
                const uint32_t twin = fMark[w];
                if (twin != kEmpty) {
                    replaceEdge(e, twin, edges[twin].start() != edges[e].start());
                } else {
                    fEndLink[end] = kEmpty;
                    if (keptTail == kEmpty)
                        keptHead = end;
                    else
                        fEndLink[keptTail] = end;
                    keptTail = end;
                }
            }
        }
        end = following;
    }
    if (keptHead != kEmpty) {
        if (tail == kEmpty)
            fVertState[s] = keptHead;
        else
            fEndLink[tail] = keptHead;
    }
    for (uint32_t end = fVertState[s]; end != keptHead && end != kEmpty; end = fEndLink[end])
        fMark[otherEnd(end)] = kEmpty;
    fVertState[r] = kMerged | s;
    return true;
}

void TpolyMergeVertFty::compactFaces() {
    TpolyGeom& g = *fGeom;
    const uint32_t nd = g.faceDescLength(), nf = g.nbFace();
    fEntryMap.changeLogicalSizeTo(nd);
    std::fill(fEntryMap.begin(), fEntryMap.end(), kNoId);
    fFaceMap.changeLogicalSizeTo(nf);
    std::fill(fFaceMap.begin(), fFaceMap.end(), kNoId);
    fNewToOld.clear();
    fNewToOld.buffer(nd);
    uint32_t* desc = g.faceDescArray().data();
    const TpolyEdgeArray& edges = g.edgeArray();
    auto edgeOf = [&](uint32_t o) { return desc[o] & TpolyBits::kEdgeMask; };
    auto startOf = [&](uint32_t o) {
        return edges[edgeOf(o)].v[(desc[o] & TpolyBits::kReversedUse) ? 1 : 0] & TpolyBits::kVertexMask;
    };
    std::vector<uint32_t> kept;
    uint32_t write = 0, faces = 0;
    for (uint32_t f = 0; f < nf; ++f) {
        const uint32_t faceEnd = g.faceOffset(f + 1);
        bool outer = true, faceKept = true;
        for (uint32_t o = g.faceOffset(f); o < faceEnd && faceKept;) {
            uint32_t last = o;
            while (last + 1 < faceEnd && !(desc[last] & TpolyBits::kEndOfLoop)) ++last;
            // Collapsed edges drop out; two uses of one edge in a row (out and straight back)
            // cancel, also across the loop's start.
            kept.clear();
            for (uint32_t i = o; i <= last; ++i) {
                const uint32_t e = edgeOf(i);
                if (edges[e].start() == edges[e].end()) continue;
                if (!kept.empty() && edgeOf(kept.back()) == e)
                    kept.pop_back();
                else
                    kept.push_back(i);
            }
            size_t lo = 0, hi = kept.size();
            while (hi - lo >= 2 && edgeOf(kept[lo]) == edgeOf(kept[hi - 1])) ++lo, --hi;
            if (hi - lo < 3) {
                faceKept = !outer;
            } else {
                for (size_t j = lo; j < hi; ++j) fEntryMap[kept[j]] = kEmpty;
                // A dropped corner folds into the next kept corner of its loop when both stand
                // at the same vertex.
                uint32_t nextKept = kept[lo];
                for (uint32_t i = last + 1; i-- > o;) {
                    if (fEntryMap[i] == kEmpty)
                        nextKept = i;
                    else if (startOf(i) == startOf(nextKept))
                        fEntryMap[i] = kMerged | nextKept;
                }
                for (size_t j = lo; j < hi; ++j) {
                    fEntryMap[kept[j]] = write;
                    fNewToOld.addLast(kept[j]);
                    desc[write++] = desc[kept[j]] & ~(TpolyBits::kEndOfLoop | TpolyBits::kEndOfFace);
                }
                desc[write - 1] |= TpolyBits::kEndOfLoop;
            }
            outer = false;
            o = last + 1;
        }
        // The outer loop is the first: when it went, nothing of the face was written.
        if (!faceKept) continue;
        desc[write - 1] |= TpolyBits::kEndOfFace;
        fFaceMap[f] = faces++;
    }
    g.faceDescArray().changeLogicalSizeTo(write);
    g.setNbFace(faces);
}

void TpolyMergeVertFty::updateSet(TpolyBdVertexFaceBase& set, uint32_t oldEntryCount) {
    Tint32Array& ids = set.indexArray();
    if (ids.size() < oldEntryCount) {
        const uint32_t had = ids.size();
        ids.changeLogicalSizeTo(oldEntryCount);
        std::fill(ids.begin() + had, ids.end(), -1);
    }
    const uint32_t nbValues = set.nbData();
    uvwork::TunionFind joined;
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

void TpolyMergeVertFty::updateGroups(uint32_t oldFaceCount) {
    TpolyGeom& g = *fGeom;
    g.renumGrp(kPolyGrpFace, oldFaceCount, fFaceMap.data());
    bool pairs = false;
    for (uint32_t k = 0; k < g.nbGroup() && !pairs; ++k) pairs = g.groupConst(k).fType == kPolyGrpVertexFace;
    if (!pairs) return;
    // A pair at a welded vertex moves to the vertex it joined, before the vertex removal renumbers.
    TuInt32Array roots(256);
    roots.changeLogicalSizeTo(g.nbVertex());
    for (uint32_t v = 0; v < g.nbVertex(); ++v) roots[v] = rootVertex(v);
    TpolyCompact::renumberVertexFaceGroups(g, roots, false);
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

void TpolyMergeVertFty::endMergeVert() {
    TpolyGeom& g = *fGeom;
    const uint32_t nv = g.nbVertex();
    // Positions: the mean of every group, summed in double so that coincident points stay put.
    T3dFltPoint* P = g.vertexArray().data();
    uint32_t slots = 0;
    for (uint32_t v = 0; v < nv; ++v) {
        if (!isVertMerged(v)) continue;
        const uint32_t r = rootVertex(v);
        fVertState[v] = kMerged | r;
        if (fMark[r] == kEmpty) fMark[r] = slots++;
    }
    if (slots) {
        std::vector<double> sum(3 * size_t(slots), 0.0);
        std::vector<uint32_t> count(slots, 1);
        for (uint32_t v = 0; v < nv; ++v) {
            const uint32_t r = isVertMerged(v) ? mergedWith(v) : v;
            if (fMark[r] == kEmpty) continue;
            const uint32_t k = fMark[r];
            for (int a = 0; a < 3; ++a) sum[3 * k + a] += P[v][a];
            if (r != v) ++count[k];
        }
        for (uint32_t v = 0; v < nv; ++v) {
            if (isVertMerged(v) || fMark[v] == kEmpty) continue;
            const uint32_t k = fMark[v];
            for (int a = 0; a < 3; ++a) P[v][a] = float(sum[3 * k + a] / count[k]);
            fMark[v] = kEmpty;
        }
    }
    const uint32_t nd = g.faceDescLength(), nf = g.nbFace();
    const bool userNormals = g.hasUserNormals();
    if (userNormals) {
        fValidUserNormal.resizeArray(nd);
        for (uint32_t o = 0; o < nd && o < fSavedNormalIds.size(); ++o) {
            const uint32_t id = fSavedNormalIds[o];
            fValidUserNormal.setBit(o, id < fSavedUserNormals.size() && fSavedUserNormals[id].x < 1e19f);
        }
    }
    for (TpolyEdge& e : g.edgeArray())
        for (uint32_t k = 0; k < 2; ++k) {
            const uint32_t v = e.v[k] & TpolyBits::kVertexMask;
            if (v < nv && isVertMerged(v)) e.v[k] = (e.v[k] & ~TpolyBits::kVertexMask) | mergedWith(v);
        }
    compactFaces();
    updateUVs(nd);
    updateColors(nd);
    updateGroups(nf);
    updateBlindData();
    g.markDirty(dirtyAll);
    handleUnusedEdges(&g);
    handleUnusedVertices(&g);
    if (hasMap(kPolyGrpFace)) {
        TuInt32Array& map = *faceMap();
        map.copy(fFaceMap);
    }
    if (userNormals) updateUserNormals();
    TpolyCompact::removeUnusedUVs(g);
    TpolyCompact::removeUnusedColors(g);
    g.markDirty(dirtyAll);
}

void TpolyMergeVertFty::handleUnusedEdges(TpolyGeom* geom) {
    TuInt32Array map(256);
    TpolyCompact::removeUnusedEdges(*geom, &map);
    TuInt32Array* out = edgeMap();
    if (!out) return;
    if (geom == fGeom && fEdgeState.size() == map.size())
        for (uint32_t e = 0; e < map.size(); ++e)
            if (fEdgeState[e] & kMerged) map[e] = map[rootEdge(e)];
    out->copy(map);
}

void TpolyMergeVertFty::handleUnusedVertices(TpolyGeom* geom) {
    TuInt32Array map(256);
    TpolyCompact::removeUnusedVertices(*geom, &map);
    TuInt32Array* out = vertexMap();
    if (!out) return;
    if (geom == fGeom && fVertState.size() == map.size())
        for (uint32_t v = 0; v < map.size(); ++v)
            if (isVertMerged(v)) map[v] = map[rootVertex(v)];
    out->copy(map);
}

void TpolyMergeVertFty::search(const TuInt32Array& selected) {
    const TpolyGeom& g = *fGeom;
    const T3dFltPoint* P = g.vertexArray().data();
    T3dFltPoint lo = P[0], hi = P[0];
    for (uint32_t v = 1; v < g.nbVertex(); ++v)
        for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], P[v][a]), hi[a] = std::max(hi[a], P[v][a]);
    const float diagonal = std::sqrt(distance2(lo, hi)), t = fThreshold;
    const uint32_t n = selected.size();
    if (diagonal < t) {
        for (uint32_t i = 1; i < n; ++i) mergeTwoVert(selected[i], selected[0]);
    } else if (0.5f * diagonal < t) {
        for (uint32_t i = 0; i < n; ++i)
            for (uint32_t j = 0; j < i; ++j)
                if (distance2(P[selected[i]], P[selected[j]]) < t * t) mergeTwoVert(selected[i], selected[j]);
    } else if (t > 0) {
        TpointOctree tree(30, 0, 0.001f);
        tree.setDimensions(lo, hi);
        tree.entryBuffer(n);
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t a = selected[i];
            TpointOctreeWalker walker(tree, P[a], t);
            tree.addEntry(P[a], a);
            for (uint32_t b = walker.next(); b != TpointOctree::kEnd; b = walker.next())
                if (b != a) mergeTwoVert(a, b);
        }
    }
}

int TpolyMergeVertFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpVertex, name)) return -1;
    TpolyGeom* geom = body->polyGeom();
    const uint32_t nv = geom->nbVertex();
    const int32_t grp = geom->findGrp(name, kPolyGrpVertex);
    if (nv == 0 || grp < 0 || geom->grpIsEmpty(uint32_t(grp))) return -1;
    TuInt32Array selected(256);
    for (uint32_t v : *geom->group(uint32_t(grp)).singleItems())
        if (v < nv) selected.addLast(v);
    if (selected.empty()) return -1;

    const TpolyGeom undo(*geom);
    T4dDblMatrix frameMatrix(fMatrix);
    TpolyReferenceFrame frame;
    if (!frame.enter(geom, frameMatrix, false)) return -1;
    geom->update(geom->hasUserNormals() ? uint32_t(dirtyFaceOffsets | dirtyNormalTopo) : uint32_t(dirtyFaceOffsets));
    fGeom = geom;
    startMergeVert();
    search(selected);
    endMergeVert();
    fGeom = nullptr;
    frame.leave(true);
    if (geom->nbFace() > 0) return 0;
    geom->copy(undo, kCompAll);
    geom->markDirty(dirtyAll);
    return -1;
}
