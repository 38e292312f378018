#include "brindle/ops/PolyChipOffFty.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "brindle/framework/MidBody.h"
#include "brindle/framework/MidComponent.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyDeleteFty.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyChipOffFty, TpolyMoveFacetFty);

namespace {
const TmodifierParamTable sParams(TpolyChipOffFty::sMetaclass, kPolyGrpFace, {BRINDLE_MODIFIER_PARAM(TpolyChipOffFty, ChipOffMode),
                                                                BRINDLE_MODIFIER_PARAM(TpolyChipOffFty, Duplicate),
                                                                BRINDLE_MODIFIER_PARAM(TpolyChipOffFty, UseCache)});

constexpr uint32_t kNone = TpolyBits::kNoId;

// The current group of one kind as it stood, to be put back: a list handed to an action, or the
// move's own selection, replaces it only for as long as it is needed.
class TsavedCurrentGroup {
public:
    TsavedCurrentGroup(const TpolyGeom& geom, TpolyGrpType kind) : fKind(kind) {
        if (const TsingleIndexedComponent* list = geom.objectGroupComponent(-1, kind)) {
            fExisted = true;
            fItems.copyData(*list);
        }
    }
    void restore(TpolyGeom& geom) const {
        if (fExisted)
            geom.setObjectGroupComponent(-1, fKind, fItems);
        else
            geom.removeObjectGroup(-1, fKind);
    }

private:
    TpolyGrpType fKind;
    bool fExisted = false;
    TsingleIndexedComponent fItems;
};

// (source id, copy id) of each copied component, in increasing copy id.
using TcopyList = std::vector<std::pair<uint32_t, uint32_t>>;

// The copy of a component within the piece being copied: made on first use, forgotten when the
// next piece starts, so that pieces never share copies.
struct TpieceMap {
    TuInt32Array copyOf{256};
    std::vector<uint32_t> touched;

    explicit TpieceMap(uint32_t n) {
        copyOf.changeLogicalSizeTo(n);
        std::fill(copyOf.begin(), copyOf.end(), kNone);
    }
    template <typename Make>
    uint32_t get(uint32_t id, Make&& make) {
        if (copyOf[id] == kNone) copyOf[id] = make(), touched.push_back(id);
        return copyOf[id];
    }
    void nextPiece() {
        for (uint32_t id : touched) copyOf[id] = kNone;
        touched.clear();
    }
};

// Appends, for every copied corner k (source corner source[k]), an id in set naming a copy of
// the source's value; a piece starts at every corner listed in pieceStarts. The id array is
// first made exactly one entry per original corner.
template <typename Set>
void copyCornerValues(Set& set, uint32_t oldCorners, const TuInt32Array& source, const TuInt32Array& pieceStarts) {
    Tint32Array& ids = set.indexArray();
    const uint32_t had = std::min(ids.size(), oldCorners);
    ids.changeLogicalSizeTo(oldCorners);
    std::fill(ids.begin() + had, ids.end(), TpolyBdVertexFaceBase::kNoId);
    ids.buffer(source.size());
    auto& values = set.values();
    const uint32_t nbValues = values.size();
    values.buffer(pieceStarts.empty() ? std::min(nbValues, source.size()) : source.size());
    TpieceMap map(nbValues);
    for (uint32_t k = 0, piece = 0; k < source.size(); ++k) {
        if (piece < pieceStarts.size() && pieceStarts[piece] == k) map.nextPiece(), ++piece;
        const int32_t id = ids[source[k]];
        if (id < 0 || uint32_t(id) >= nbValues) {
            ids.addLast(TpolyBdVertexFaceBase::kNoId);
            continue;
        }
        ids.addLast(int32_t(map.get(uint32_t(id), [&] {
            const auto value = values[uint32_t(id)];
            values.addLast(value);
            return values.size() - 1;
        })));
    }
}

// Copies join every plain group of their kind that holds their source (the crease group, which
// carries values, is written separately) and get copies of their sources' blind data.
void followSources(TpolyGeom& geom, TpolyGrpType kind, uint32_t count, TcopyList copies, TpolyBdBlindData& bd) {
    if (copies.empty()) return;
    TbitFieldFixedN member(count);
    for (uint32_t g = 0; g < geom.nbGroup(); ++g) {
        TpolyGrpDesc& d = geom.group(g);
        if (d.fType != kind || d.data() || !d.singleItems() || d.isEmpty()) continue;
        d.singleItems()->convert2Flags(member);
        for (const auto& [from, to] : copies)
            if (member.testBit(from)) d.addElement(to);
    }
    if (bd.nbElement() == 0) return;
    std::stable_sort(copies.begin(), copies.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const uint32_t n = bd.nbElement();
    for (uint32_t i = 0; i < n; ++i) {
        TbdData element = (*bd.data())[i];
        if (!element.isLive()) continue;
        auto run = std::equal_range(copies.begin(), copies.end(), std::make_pair(element.componentId, 0u),
                                    [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto it = run.first; it != run.second; ++it) {
            element.componentId = it->second;
            bd.appendData(&element, 1);
        }
    }
}

// A pair (v, f) of a copied face f also names the copy's corner at the same place of f's copy.
void followVertexFacePairs(TpolyGeom& geom, const TuInt32Array& faceCopy) {
    for (uint32_t g = 0; g < geom.nbGroup(); ++g) {
        TlongDoubleIndexedComponent* pairs =
            geom.group(g).fType == kPolyGrpVertexFace ? geom.group(g).pairItems() : nullptr;
        if (!pairs) continue;
        std::vector<TidPair> added;
        for (const TidPair& p : *pairs) {
            if (p.second >= faceCopy.size() || faceCopy[p.second] == kNone) continue;
            const uint32_t from = geom.faceOffset(p.second), to = geom.faceOffset(faceCopy[p.second]);
            for (uint32_t k = 0; k < geom.faceVertexCount(p.second); ++k)
                if (geom.getStartVertex(from + k) == p.first) {
                    added.push_back({geom.getStartVertex(to + k), faceCopy[p.second]});
                    break;
                }
        }
        for (const TidPair& p : added) pairs->addElement(p.first, p.second);
    }
}
}  // namespace

uint32_t TpolyChipOffFty::duplicateFaces(TpolyGeom* geom, const TbitFieldFixedN& faces, bool together) {
    const bool userNormals = geom->hasUserNormals();
    geom->update(userNormals ? uint32_t(dirtyFaceOffsets | dirtyNormalTopo) : uint32_t(dirtyFaceOffsets));
    const uint32_t nv = geom->nbVertex(), ne = geom->nbEdge(), nf = geom->nbFace(), nc = geom->faceDescLength();
    // User normals live under normal ids, which the new topology renumbers: keep them per corner.
    TuInt32Array savedIds(256);
    T4dFltVectorArray savedNormals(256);
    if (userNormals) {
        savedIds.copy(geom->norm()->fNormalIds);
        geom->saveUserNormal(savedNormals);
    }

    // Room for the copy up front: a copy never has more vertices or edges than it has corners,
    // and a joined copy no more than the record.
    uint32_t corners = 0, copiedFaces = 0;
    for (uint32_t f = 0; f < nf && f < faces.size(); ++f)
        if (faces.testBit(f)) corners += geom->faceVertexCount(f), ++copiedFaces;
    const uint32_t maxVertices = together ? std::min(nv, corners) : corners,
                   maxEdges = together ? std::min(ne, corners) : corners;
    geom->vertexBuffer(maxVertices);
    geom->edgeBuffer(maxEdges);
    geom->loopEdgeBuffer(corners);

    TpieceMap vertexCopy(nv), edgeCopy(ne);
    TuInt32Array faceCopy(256), source(256), pieceStarts(256);
    faceCopy.changeLogicalSizeTo(nf);
    std::fill(faceCopy.begin(), faceCopy.end(), kNone);
    source.buffer(corners);
    TcopyList vertexPairs, edgePairs, facePairs;
    vertexPairs.reserve(maxVertices);
    edgePairs.reserve(maxEdges);
    facePairs.reserve(copiedFaces);
    // Creased edges in increasing id, read once: a lookup per edge through the group is linear.
    TuInt32Array creasedBefore(256), creased(256);
    TdoubleArray valuesBefore(256), creaseValues(256);
    geom->getCreaseEdges(creasedBefore, valuesBefore);
    const uint32_t firstCopy = nf;
    auto copyVertex = [&](uint32_t v) {
        return vertexCopy.get(v, [&] {
            const T3dFltPoint p = geom->vertexConst(v);
            const uint32_t id = geom->appendVertex(p);
            vertexPairs.emplace_back(v, id);
            return id;
        });
    };
    for (uint32_t f = 0; f < nf && f < faces.size(); ++f) {
        if (!faces.testBit(f)) continue;
        if (!together || pieceStarts.empty()) {
            vertexCopy.nextPiece(), edgeCopy.nextPiece();
            pieceStarts.addLast(source.size());
        }
        for (uint32_t o = geom->faceOffset(f); o < geom->faceOffset(f + 1); ++o) {
            const uint32_t e = geom->getEdge(o);
            const uint32_t copy = edgeCopy.get(e, [&] {
                const uint32_t a = copyVertex(geom->startVertex(e)), b = copyVertex(geom->endVertex(e));
                const uint32_t id = geom->appendEdge(a, b, geom->isHard(e));
                edgePairs.emplace_back(e, id);
                const uint32_t* at = std::lower_bound(creasedBefore.begin(), creasedBefore.end(), e);
                if (at != creasedBefore.end() && *at == e && uint32_t(at - creasedBefore.begin()) < valuesBefore.size())
                    creased.addLast(id), creaseValues.addLast(valuesBefore[uint32_t(at - creasedBefore.begin())]);
                return id;
            });
            geom->faceDescArray().addLast((geom->getFaceEdge(o) & ~TpolyBits::kEdgeMask) | copy);
            source.addLast(o);
        }
        faceCopy[f] = geom->nbFace();
        facePairs.emplace_back(f, geom->nbFace());
        geom->addFace(1);
    }
    if (source.empty()) return firstCopy;
    // A piece boundary matters to the per-corner values only when pieces are faces.
    if (together) pieceStarts.clear();
    for (TpolyMap& set : *geom->maps()) copyCornerValues(set, nc, source, pieceStarts);
    for (TpolyColor& set : *geom->colors()) copyCornerValues(set, nc, source, pieceStarts);
    geom->setCreaseEdges(creased, creaseValues);
    followSources(*geom, kPolyGrpVertex, nv, std::move(vertexPairs), *geom->vertexBlindData());
    followSources(*geom, kPolyGrpEdge, ne, std::move(edgePairs), *geom->edgeBlindData());
    followSources(*geom, kPolyGrpFace, nf, std::move(facePairs), *geom->faceBlindData());
    geom->markDirty(dirtyAll);
    geom->update(dirtyFaceOffsets);
    followVertexFacePairs(*geom, faceCopy);

    if (userNormals) {
        geom->update(dirtyNormalTopo);
        for (uint32_t id = 0; id < geom->nbUserNormal(); ++id) geom->resetUserNormal(id);
        for (uint32_t o = 0; o < geom->faceDescLength(); ++o) {
            const uint32_t from = o < nc ? o : source[o - nc];
            if (from >= savedIds.size() || savedIds[from] >= savedNormals.size()) continue;
            const T4dFltVector& n = savedNormals[savedIds[from]];
            if (n.x < 1e19f) geom->setUserNormal(geom->getNormalId(o), n);
        }
    }
    return firstCopy;
}

void TpolyChipOffFty::turnCopyNormals(TpolyGeom* geom, uint32_t firstCorner, const T4dFltMatrix& normalMatrix) {
    geom->update(dirtyFaceOffsets | dirtyNormalTopo);
    TbitFieldFixedN done(geom->nbUserNormal());
    for (uint32_t o = firstCorner; o < geom->faceDescLength(); ++o) {
        const uint32_t id = geom->getNormalId(o);
        const T4dFltVector* n = geom->getValidUserNormal(id);
        if (!n || done.testBit(id)) continue;
        done.setBit(id);
        T4dFltVector turned = normalMatrix.transformVector(*n);
        turned.normalize();
        geom->setUserNormal(id, turned);
    }
}

int TpolyChipOffFty::action(TmidBody* body, TmidComponent* components) {
    TpolyGeom* geom = body ? body->polyGeom() : nullptr;
    if (!geom) return -1;
    const TsavedCurrentGroup faceSelection(*geom, kPolyGrpFace), vertexSelection(*geom, kPolyGrpVertex);
    auto refuse = [&] {
        faceSelection.restore(*geom);
        return -1;
    };
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpFace, name)) return -1;
    TbitFieldFixedN faces;
    if (geom->flagsFromGroup(kPolyGrpFace, name, faces) <= 0) return refuse();
    T4dDblMatrix inverse = Matrix();
    if (!Matrix().isIdentity() && !inverse.invertIt()) return refuse();
    // Gains are indexed by vertex id and the copy's vertices are new: whether they cover them is
    // known only once the copy exists.
    std::optional<TpolyGeom> undo;
    if (hasGain()) undo.emplace(*geom);

    const uint32_t nv = geom->nbVertex(), nc = geom->faceDescLength();
    const uint32_t firstCopy = duplicateFaces(geom, faces, fChipOffMode);
    const uint32_t copies = geom->nbFace() - firstCopy;

    // One matrix moves every vertex exactly when no per-vertex term is set; only then do the
    // copy's user normals turn with it (in the record's frame: into Matrix's frame and back).
    const bool oneMatrix = Random() == 0 && !hasGain() && LTrans().x == 0 && LTrans().y == 0 && LTrans().z == 0;
    T4dDblMatrix world;
    if (oneMatrix && geom->hasUserNormals()) {
        const T3dFltPoint c(Pivot().x - Trans().x, Pivot().y - Trans().y, Pivot().z - Trans().z);
        T4dFltMatrix move;
        calcMatrix(c, Tquaternion(Rotate()), c, Scale(), Trans(), move);
        world = Matrix() * T4dDblMatrix(move) * inverse;
    }
    TmidVertComponent moved;
    moved.addRange(nv, geom->nbVertex() - 1);
    const int result = TpolyMoveVertexFty::action(body, &moved);
    vertexSelection.restore(*geom);
    if (result != 0) {
        geom->copy(*undo, kCompAll);
        geom->markDirty(dirtyAll);
        return refuse();
    }
    if (oneMatrix && geom->hasUserNormals()) {
        // Normals follow the faces' orientation: the cofactor transformation, which reverses them
        // under a mirroring move just as the faces' winding is reversed.
        T4dFltMatrix normals = world.toFlt().convertForNormals();
        if (world.determinant3() < 0)
            for (int r = 0; r < 3; ++r)
                for (int k = 0; k < 3; ++k) normals.m[r][k] = -normals.m[r][k];
        turnCopyNormals(geom, nc, normals);
    }

    if (!fDuplicate) {
        TmidFaceComponent originals;
        originals.convertFromFlags(faces);
        TpolyDelFacetFty remover;
        remover.doAction(body, &originals);
        geom = body->polyGeom();
    }
    TmidFaceComponent copy;
    copy.addRange(geom->nbFace() - copies, geom->nbFace() - 1);
    geom->setObjectGroupComponent(-1, kPolyGrpFace, copy);
    return 0;
}
