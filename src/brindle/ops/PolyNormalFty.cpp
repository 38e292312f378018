#include "brindle/ops/PolyNormalFty.h"

#include <algorithm>
#include <deque>
#include <vector>

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyNormalFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(
    TpolyNormalFty::sMetaclass, kPolyGrpFace,
    {BRINDLE_MODIFIER_PARAM(TpolyNormalFty, NormalMode,
                            "0 reverse; 1 conform each shell to its first selected face; 2 to most of its faces; 3 "
                            "detach, then reverse; 4 reverse whole shells",
                            0, 4)});

const TsingleIndexedComponent* faceGroupItems(const TpolyGeom& geom, int name) {
    const int32_t g = geom.findGrp(name, kPolyGrpFace);
    return g >= 0 ? geom.groupConst(uint32_t(g)).singleItems() : nullptr;
}

// Reverses one loop of n entries at first: entry i takes entry n-1-i's edge with the opposite
// direction, each position keeping its own end bits, so the loop starts at the same vertex and
// runs the other way. Per-corner ids at positions 1..n-1 are reversed with it, so that every
// corner keeps its own value.
void reverseLoop(uint32_t* desc, uint32_t n, int32_t* const* ids, const uint32_t* idCounts, uint32_t nbSets,
                 uint32_t first) {
    constexpr uint32_t kEnds = TpolyBits::kEndOfFace | TpolyBits::kEndOfLoop;
    uint32_t* d = desc + first;
    for (uint32_t i = 0, j = n - 1; i <= j && j < n; ++i, --j) {
        const uint32_t a = d[i], b = d[j];
        d[i] = (a & kEnds) | ((b & ~kEnds) ^ TpolyBits::kReversedUse);
        d[j] = (b & kEnds) | ((a & ~kEnds) ^ TpolyBits::kReversedUse);
        if (i == j) break;
    }
    for (uint32_t s = 0; s < nbSets; ++s)
        if (first + n <= idCounts[s]) std::reverse(ids[s] + first + 1, ids[s] + first + n);
}

// Number of faces on one side word, and the faces themselves through out (at most two needed).
uint32_t sideFaces(const TpolyTopo& topo, uint32_t word, uint32_t* out) {
    if (word == TpolyBits::kNoFace) return 0;
    if (TpolyTopo::isSingleFace(word)) {
        out[0] = word;
        return 1;
    }
    uint32_t n = 0;
    for (uint32_t i = word & TpolyTopo::kRunIndexMask;; ++i) {
        if (n < 2) out[n] = topo.getN2MFace(i);
        ++n;
        if (topo.isEdgeEnd(i)) return n;
    }
}
}  // namespace

void TpolyNormalFty::reverseNormal(TpolyGeom* geom, int groupName) {
    if (!geom) return;
    // A group that names no face of the record reverses nothing and so changes nothing: not even
    // the hard flags of the border edges, which only a reversal can have made disagree.
    const TsingleIndexedComponent* list = faceGroupItems(*geom, groupName);
    if (!list || list->elementCount() == 0 || *list->begin() >= geom->nbFace()) return;
    geom->update(dirtyFaceOffsets);
    const bool userNormals = geom->hasUserNormals();
    TuInt32Array savedIds(256);
    T4dFltVectorArray savedNormals(256);
    TbitFieldFixedN hadUserNormal;
    if (userNormals) {
        geom->update(dirtyNormalTopo);
        savedIds.copy(geom->norm()->fNormalIds);
        geom->saveUserNormal(savedNormals);
        hadUserNormal.resizeArray(savedIds.size());
        for (uint32_t o = 0; o < savedIds.size(); ++o)
            if (geom->getValidUserNormal(savedIds[o])) hadUserNormal.setBit(o);
        for (uint32_t id = 0; id < geom->nbUserNormal(); ++id) geom->resetUserNormal(id);
    }

    // Per-corner id arrays of every UV set, then every colour set.
    std::vector<int32_t*> ids;
    std::vector<uint32_t> counts;
    for (uint32_t s = 0; s < geom->nbMapSet(); ++s)
        ids.push_back(geom->getUVIdArray(s)), counts.push_back(geom->nbUVRef(s));
    for (uint32_t s = 0; s < geom->nbColorSet(); ++s)
        ids.push_back(geom->getColorIdArray(s)), counts.push_back(geom->nbColorRef(s));
    const bool faceNormals = !geom->isDirty(dirtyFaceVectors);
    uint32_t* desc = geom->faceDescArray().data();
    const uint32_t nf = geom->nbFace();
    // Which faces turned is needed only to carry user normals.
    TbitFieldFixedN reversed(userNormals ? nf : 0);
    uint32_t nbReversed = 0;
    const uint32_t* offsets = geom->faceOffsetArray().data();
    T3dFltPoint* normals = faceNormals ? &geom->faceNormal(0) : nullptr;
    for (uint32_t f : *list) {
        if (f >= nf) break;
        if (userNormals) reversed.setBit(f);
        ++nbReversed;
        for (uint32_t first = offsets[f], end = offsets[f + 1]; first < end;) {
            uint32_t last = first;
            while (last + 1 < end && !(desc[last] & TpolyBits::kEndOfLoop)) ++last;
            reverseLoop(desc, last - first + 1, ids.data(), counts.data(), uint32_t(ids.size()), first);
            first = last + 1;
        }
        if (normals) normals[f] = normals[f] * -1.0f;
    }
    geom->markDirty(dirtyReversed);

    if (userNormals) {
        geom->update(dirtyVertexToEdge | dirtyEdgeToFace | dirtyNormalTopo | dirtyVertexNormals);
        auto put = [&](uint32_t newCorner, uint32_t oldCorner, float sign) {
            const T4dFltVector& n = savedNormals[savedIds[oldCorner]];
            geom->setUserNormal(geom->getNormalId(newCorner), T4dFltVector(sign * n.x, sign * n.y, sign * n.z));
        };
        for (uint32_t f = 0; f < nf; ++f)
            for (uint32_t first = geom->faceOffset(f), end = geom->faceOffset(f + 1); first < end;) {
                uint32_t last = first;
                while (last + 1 < end && !geom->endOfLoop(last)) ++last;
                const uint32_t n = last - first + 1;
                for (uint32_t k = 0; k < n; ++k) {
                    if (first + k >= hadUserNormal.size() || !hadUserNormal.testBit(first + k)) continue;
                    if (reversed.testBit(f))
                        put(first + (n - k) % n, first + k, -1);
                    else
                        put(first + k, first + k, 1);
                }
                first = last + 1;
            }
        geom->markDirty(dirtyLocalSplit);
    }

    if (nbReversed < nf) {
        geom->update(dirtyEdgeToFace);
        for (uint32_t e = 0; e < geom->nbEdge(); ++e)
            if (geom->isBorder(e)) geom->setHard(e);
    }
}

void TpolyNormalFty::conformFlags(TpolyGeom* geom, int groupName, bool majority, TbitFieldFixedN& flagged) {
    const uint32_t nf = geom->nbFace();
    flagged.resizeArray(nf);
    flagged.resetAll();
    const TsingleIndexedComponent* list = faceGroupItems(*geom, groupName);
    if (!list || list->elementCount() == 0 || *list->begin() >= nf) return;
    // The fill reads only the faces on each side of an edge.
    geom->update(dirtyEdgeToFace | dirtyFaceOffsets);
    const TpolyTopo& topo = *geom->topo();
    TbitFieldFixedN done(nf);
    std::vector<uint32_t> shell;
    for (uint32_t start : *list) {
        if (start >= nf) break;
        if (done.testBit(start)) continue;
        // Breadth-first over the faces joined to the start face through edges that hold one face
        // on each side (the two agree) or exactly two faces on one side (the two disagree).
        shell.clear();
        shell.push_back(start);
        done.setBit(start);
        uint32_t nbFlagged = 0;
        for (size_t read = 0; read < shell.size(); ++read) {
            const uint32_t h = shell[read];
            const bool hFlag = flagged.testBit(h);
            for (uint32_t o = geom->faceOffset(h); o < geom->faceOffset(h + 1); ++o) {
                const TpolyWingEdge& w = geom->getEdgeFace(geom->getEdge(o));
                uint32_t l[2], r[2];
                const uint32_t nl = sideFaces(topo, w.side[kLeft], l), nr = sideFaces(topo, w.side[kRight], r);
                uint32_t g;
                bool gFlag;
                if (nl <= 1 && nr <= 1) {
                    if (nl + nr != 2) continue;
                    g = l[0] == h ? r[0] : l[0];
                    gFlag = hFlag;
                } else if (nl + nr == 2) {
                    const uint32_t* both = nl == 2 ? l : r;
                    g = both[0] == h ? both[1] : both[0];
                    gFlag = !hFlag;
                } else {
                    continue;
                }
                if (g >= nf || done.testBit(g)) continue;
                done.setBit(g);
                shell.push_back(g);
                if (gFlag) flagged.setBit(g), ++nbFlagged;
            }
        }
        if (majority && 2 * nbFlagged > shell.size())
            for (uint32_t f : shell) flagged.setBit(f, !flagged.testBit(f));
    }
}

void TpolyNormalFty::detachFaces(TpolyGeom* geom, const TbitFieldFixedN& faces) {
    geom->update(dirtyFaceOffsets);
    const uint32_t nv = geom->nbVertex(), ne = geom->nbEdge(), nf = geom->nbFace();
    auto selected = [&](uint32_t f) { return f < faces.size() && faces.testBit(f); };
    // Which side of the cut uses each vertex and edge; an edge of no face stays with the others.
    std::vector<uint8_t> vertexUse(nv, 0), edgeUse(ne, 0);
    for (uint32_t f = 0; f < nf; ++f) {
        const uint8_t side = selected(f) ? 1 : 2;
        for (uint32_t o = geom->faceOffset(f); o < geom->faceOffset(f + 1); ++o) {
            vertexUse[geom->getStartVertex(o)] |= side;
            edgeUse[geom->getEdge(o)] |= side;
        }
    }
    for (uint32_t e = 0; e < ne; ++e)
        if (!edgeUse[e]) vertexUse[geom->startVertex(e)] |= 2, vertexUse[geom->endVertex(e)] |= 2;
    TuInt32Array vertexCopy(256), edgeCopy(256);
    vertexCopy.changeLogicalSizeTo(nv);
    edgeCopy.changeLogicalSizeTo(ne);
    for (uint32_t v = 0; v < nv; ++v)
        vertexCopy[v] = vertexUse[v] == 3 ? geom->appendVertex(T3dFltPoint(geom->vertexConst(v))) : v;
    TuInt32Array creased(256);
    TdoubleArray creaseValues(256);
    for (uint32_t e = 0; e < ne; ++e) {
        edgeCopy[e] = e;
        if (!(edgeUse[e] & 1)) continue;
        const uint32_t a = vertexCopy[geom->startVertex(e)], b = vertexCopy[geom->endVertex(e)];
        if (edgeUse[e] == 1) {
            geom->setStart(e, a);
            geom->setEnd(e, b);
            continue;
        }
        edgeCopy[e] = geom->appendEdge(a, b, geom->isHard(e));
        double value;
        if (geom->getCreaseValue(e, value)) creased.addLast(edgeCopy[e]), creaseValues.addLast(value);
    }
    for (uint32_t f = 0; f < nf; ++f)
        if (selected(f))
            for (uint32_t o = geom->faceOffset(f); o < geom->faceOffset(f + 1); ++o)
                geom->setEdge(o, edgeCopy[geom->getEdge(o)]);
    geom->setCreaseEdges(creased, creaseValues);

    // Copies join the groups of their originals and take copies of their blind data.
    auto follow = [&](TpolyGrpType kind, const TuInt32Array& copy, TpolyBdBlindData& bd) {
        for (uint32_t g = 0; g < geom->nbGroup(); ++g) {
            TpolyGrpDesc& d = geom->group(g);
            if (d.fType != kind || d.data() || !d.singleItems()) continue;
            std::vector<uint32_t> added;
            for (uint32_t id : *d.singleItems())
                if (id < copy.size() && copy[id] != id) added.push_back(copy[id]);
            for (uint32_t id : added) d.addElement(id);
        }
        const uint32_t n = bd.nbElement();
        for (uint32_t i = 0; i < n; ++i) {
            TbdData element = (*bd.data())[i];
            if (!element.isLive() || element.componentId >= copy.size() ||
                copy[element.componentId] == element.componentId)
                continue;
            element.componentId = copy[element.componentId];
            bd.appendData(&element, 1);
        }
    };
    follow(kPolyGrpVertex, vertexCopy, *geom->vertexBlindData());
    follow(kPolyGrpEdge, edgeCopy, *geom->edgeBlindData());
    for (uint32_t g = 0; g < geom->nbGroup(); ++g) {
        TpolyGrpDesc& d = geom->group(g);
        TlongDoubleIndexedComponent* pairs = d.fType == kPolyGrpVertexFace ? d.pairItems() : nullptr;
        if (!pairs) continue;
        TlongDoubleIndexedComponent moved;
        for (const TidPair& p : *pairs)
            moved.addElement(selected(p.second) && p.first < nv ? vertexCopy[p.first] : p.first, p.second);
        pairs->copyData(moved);
    }
    geom->markDirty(dirtyAll);
    geom->unshareInvalidUVs();
}

int TpolyNormalFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpFace, name)) return -1;
    TpolyGeom* geom = body->polyGeom();
    TbitFieldFixedN bits;
    switch (fMode) {
        case 1:
        case 2:
            conformFlags(geom, name, fMode == 2, bits);
            geom->flagsToGroup(kPolyGrpFace, name, bits);
            break;
        case 3:
            if (geom->flagsFromGroup(kPolyGrpFace, name, bits) > 0) detachFaces(geom, bits);
            break;
        case 4:
            geom->flagsFromGroup(kPolyGrpFace, name, bits);
            geom->extendToShell(kPolyGrpFace, bits);
            geom->flagsToGroup(kPolyGrpFace, name, bits);
            break;
        default:
            break;
    }
    reverseNormal(geom, name);
    return 0;
}
