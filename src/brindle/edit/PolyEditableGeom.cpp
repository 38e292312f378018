#include "brindle/edit/PolyEditableGeom.h"

#include <algorithm>

#include "brindle/geom/PolyGeom.h"

namespace {
bool contains(const TuInt32Array& list, uint32_t v) { return list.find(v) != kNotFound; }
}  // namespace

// --- Face nodes ------------------------------------------------------------------------------------

uint32_t TfaceNode::faceOrder() const {
    uint32_t loops = 0;
    for (uint32_t k = 0; k < fCount; ++k) loops += endOfLoop(k) ? 1 : 0;
    return loops;
}

void TfaceNode::loopBounds(uint32_t corner, uint32_t& first, uint32_t& end) const {
    first = corner;
    while (first > 0 && !endOfLoop(first - 1)) --first;
    end = corner;
    while (end + 1 < fCount && !endOfLoop(end)) ++end;
    ++end;
}

uint32_t TfaceNode::nextInLoop(uint32_t corner) const {
    uint32_t first, end;
    loopBounds(corner, first, end);
    return corner + 1 < end ? corner + 1 : first;
}

uint32_t TfaceNode::prevInLoop(uint32_t corner) const {
    uint32_t first, end;
    loopBounds(corner, first, end);
    return corner > first ? corner - 1 : end - 1;
}

bool TfaceNode::usesEdgeTwice(uint32_t edge, uint32_t first) const {
    for (uint32_t k = first + 1; k < fCount; ++k)
        if (getEdge(k) == edge) return true;
    return false;
}

uint32_t TfaceNode::findEdgeInFace(uint32_t edge) const {
    for (uint32_t k = 0; k < fCount; ++k)
        if (getEdge(k) == edge) return k;
    return TpolyBits::kNoId;
}

// --- Building --------------------------------------------------------------------------------------

TpolyEditableGeom::TpolyEditableGeom(TpolyGeom* record, uint32_t mode) : fMode(mode) { initialize(record); }

TpolyEditableGeom::TpolyEditableGeom(const TpolyEditableGeom& o)
    : fMode(o.fMode),
      fFaceCount(o.fFaceCount),
      fLastFace(o.fLastFace),
      fNbUVSets(o.fNbUVSets),
      fNbColorSets(o.fNbColorSets),
      fSource(o.fSource),
      fFacePadding(o.fFacePadding),
      fVertices(o.fVertices),
      fFaces(o.fFaces),
      fEdges(o.fEdges),
      fCorners(o.fCorners),
      fWings(o.fWings),
      fN2MFaces(o.fN2MFaces),
      fVertexInfo(o.fVertexInfo),
      fN2MEdges(o.fN2MEdges),
      fUVIds(o.fUVIds),
      fUVs(o.fUVs),
      fColorIds(o.fColorIds),
      fColors(o.fColors),
      fNormalIds(o.fNormalIds),
      fUserNormals(o.fUserNormals),
      fEdgeSource(o.fEdgeSource),
      fVertexSource(o.fVertexSource),
      fChanged(o.fChanged),
      fMidpoints(o.fMidpoints) {
    // The copy owns every element: point the nodes at its own corner slots.
    for (uint32_t id = 0; id < fFaces.idBound(); ++id) {
        TfaceNode& f = fFaces.fNodes[id];
        f.fCorners = f.fCapacity ? fCorners.run(f.fOffset) : nullptr;
        f.fFlags &= uint8_t(~TfaceNode::kSourceArrays);
    }
}

void TpolyEditableGeom::initialize(TpolyGeom* record) {
    fSource = record;
    if (record->hasUserNormals()) fMode |= kModeNormals;
    record->update(fMode);
    fFaceCount = record->nbFace();
    fLastFace = fFaceCount - 1;
    const uint32_t nCorner = record->faceDescLength();

    fVertices.adopt(record->vertexArray().data(), record->nbVertex());
    fEdges.adopt(record->edgeArray().data(), record->nbEdge());
    fCorners.adopt(record->faceDescArray().data(), nCorner);
    TpolyTopo& topo = *record->topo();
    if (fMode & kModeWings) {
        fWings.adopt(topo.fEdgeToFace.data(), topo.fEdgeToFace.size());
        fN2MFaces.adopt(topo.fN2MFaces.data(), topo.fN2MFaces.size());
    }
    if (fMode & kModeVertexInfo) {
        fVertexInfo.adopt(topo.fVertexToEdge.data(), topo.fVertexToEdge.size());
        fN2MEdges.adopt(topo.fN2MEdges.data(), topo.fN2MEdges.size());
    }

    // Every per-corner list must start with exactly one slot per corner so that one offset
    // addresses all of them; a short id array is first padded with unmapped ids.
    auto adoptIds = [nCorner](Tint32Array& ids, TarrayBlockAllocator<int32_t>& list) {
        for (uint32_t i = ids.size(); i < nCorner; ++i) ids.addLast(-1);
        list.adopt(ids.data(), nCorner);
    };
    TpolyMapArrayShared& maps = *record->maps();
    fNbUVSets = maps.nbSet();
    fUVIds.resize(fNbUVSets);
    fUVs.resize(fNbUVSets);
    for (uint32_t s = 0; s < fNbUVSets; ++s) {
        adoptIds(maps[s].indexArray(), fUVIds[s]);
        fUVs[s].adopt(maps[s].uvArray().data(), maps[s].nbUV());
    }
    TpolyColorArrayShared& colors = *record->colors();
    fNbColorSets = colors.nbSet();
    fColorIds.resize(fNbColorSets);
    fColors.resize(fNbColorSets);
    for (uint32_t s = 0; s < fNbColorSets; ++s) {
        adoptIds(colors[s].indexArray(), fColorIds[s]);
        fColors[s].adopt(colors[s].values().data(), colors[s].values().size());
    }
    if (hasUserNormals()) {
        TpolyNorm& norm = *record->norm();
        for (uint32_t i = norm.fNormalIds.size(); i < nCorner; ++i) norm.fNormalIds.addLast(TpolyBits::kNoId);
        fNormalIds.adopt(norm.fNormalIds.data(), nCorner);
        fUserNormals.adopt(norm.fUserNormals.data(), norm.fUserNormals.size());
    }

    TfaceNode* nodes = nullptr;
    if (fFaceCount) fFaces.fNodes.allocate(fFaceCount, &nodes);
    for (uint32_t f = 0; f < fFaceCount; ++f) {
        TfaceNode& n = nodes[f];
        n.fOffset = record->faceOffset(f);
        n.fCount = n.fCapacity = record->faceVertexCount(f);
        n.fCorners = fCorners.run(n.fOffset);
        n.fFlags = TfaceNode::kSourceArrays;
        n.fLive = true;
    }
    fEdgeSource.changeLogicalSizeTo(record->nbEdge());
    std::fill(fEdgeSource.begin(), fEdgeSource.end(), -1);
    fVertexSource.changeLogicalSizeTo(record->nbVertex());
    std::fill(fVertexSource.begin(), fVertexSource.end(), -1);
}

// --- Access and adjacency --------------------------------------------------------------------------

uint32_t TpolyEditableGeom::findVertexInFace(const TfaceNode& f, uint32_t v) const {
    for (uint32_t k = 0; k < f.fCount; ++k)
        if (getStartVertexInFace(f, k) == v) return k;
    return TpolyBits::kNoId;
}

void TpolyEditableGeom::getEdgeFaces(uint32_t edge, TuInt32Array& out, Tside side) const {
    out.clear();
    const uint32_t w = fWings[edge].side[side];
    if (w == TpolyBits::kNoFace) return;
    if (!(w & TpolyTopo::kNonManifold)) {
        out.addLast(w);
        return;
    }
    for (uint32_t i = w & TpolyTopo::kRunIndexMask;; ++i) {
        const uint32_t entry = fN2MFaces[i];
        out.addLast(entry & TpolyTopo::kRunIndexMask);
        if (entry & TpolyTopo::kRunEnd) break;
    }
}

void TpolyEditableGeom::edgeFaces(uint32_t edge, TuInt32Array& out) const {
    TuInt32Array right(8);
    getEdgeFaces(edge, out, kLeft);
    getEdgeFaces(edge, right, kRight);
    for (uint32_t f : right)
        if (!contains(out, f)) out.addLast(f);
}

void TpolyEditableGeom::setSideFaces(uint32_t edge, Tside side, const TuInt32Array& faces) {
    uint32_t& w = fWings[edge].side[side];
    if (faces.empty()) {
        w = TpolyBits::kNoFace;
    } else if (faces.size() == 1) {
        w = faces[0];
    } else {
        uint32_t* run = nullptr;
        const uint32_t at = fN2MFaces.allocate(faces.size(), &run);
        for (uint32_t i = 0; i < faces.size(); ++i) run[i] = faces[i];
        run[faces.size() - 1] |= TpolyTopo::kRunEnd;
        w = TpolyTopo::kNonManifold | at;
    }
}

void TpolyEditableGeom::addWingEdgeFace(uint32_t edge, uint32_t face, Tside side) {
    TuInt32Array faces(8);
    getEdgeFaces(edge, faces, side);
    if (contains(faces, face)) return;
    faces.addLast(face);
    setSideFaces(edge, side, faces);
}

void TpolyEditableGeom::removeWingEdgeFace(uint32_t edge, uint32_t face, Tside side) {
    TuInt32Array faces(8);
    getEdgeFaces(edge, faces, side);
    const uint32_t at = faces.find(face);
    if (at == TpolyBits::kNoId) return;
    faces.removeAt(at);
    setSideFaces(edge, side, faces);
}

void TpolyEditableGeom::enterWings(uint32_t id, bool enter) {
    if (!(fMode & kModeWings)) return;
    const TfaceNode& f = fFaces.fNodes[id];
    for (uint32_t k = 0; k < f.fCount; ++k) {
        const Tside side = f.getDirection(k) == kReversed ? kRight : kLeft;
        enter ? addWingEdgeFace(f.getEdge(k), id, side) : removeWingEdgeFace(f.getEdge(k), id, side);
    }
}

namespace {
// Walks one fan around vertex v: from edge `from` through face `face` to the face's other edge at
// v, on across that edge to its other single face, until the walk returns to `stop`, meets a
// border or a non-manifold side, or has taken `limit` steps. Appends the edges it meets.
template <typename Geom>
bool walkFan(Geom& g, uint32_t v, uint32_t from, uint32_t face, uint32_t stop, uint32_t limit, TuInt32Array& out) {
    uint32_t e = from;
    for (uint32_t step = 0; step < limit && TpolyTopo::isSingleFace(face); ++step) {
        const TfaceNode* f = g.faces().find(face);
        if (!f) return false;
        const uint32_t k = f->findEdgeInFace(e);
        // A face using the edge twice has no single way on: such vertices keep edge lists.
        if (k == TpolyBits::kNoId || f->usesEdgeTwice(e, k)) return false;
        const uint32_t other = g.getStartVertexInFace(*f, k) == v ? f->prevInLoop(k) : f->nextInLoop(k);
        e = f->getEdge(other);
        if (e == stop) return true;
        if (!contains(out, e)) out.addLast(e);
        const TpolyWingEdge& w = g.polyWingEdge(e);
        face = w.side[0] == face ? w.side[1] : w.side[0];
    }
    return false;
}
}  // namespace

bool TpolyEditableGeom::sameVertexFan(uint32_t v, const TuInt32Array& edges) const {
    if (edges.empty()) return true;
    if (!(fMode & kModeWings)) return false;
    auto& self = const_cast<TpolyEditableGeom&>(*this);
    TuInt32Array fan(16);
    const uint32_t e0 = edges[0];
    fan.addLast(e0);
    const TpolyWingEdge& w = fWings[e0];
    const uint32_t limit = edges.size() + 2;
    if (!walkFan(self, v, e0, w.side[0], e0, limit, fan)) walkFan(self, v, e0, w.side[1], e0, limit, fan);
    if (fan.size() != edges.size()) return false;
    return std::all_of(edges.begin(), edges.end(), [&](uint32_t e) { return contains(fan, e); });
}

void TpolyEditableGeom::setVertexEdges(uint32_t v, const TuInt32Array& edges) {
    if (!(fMode & kModeVertexInfo)) return;
    TpolyVertexInfo& info = fVertexInfo[v];
    info.order = edges.size();
    if (edges.empty()) {
        info.edge = TpolyBits::kNoEdge;
        return;
    }
    auto atEnd = [&](uint32_t e) { return getStartVertex(e) != v; };
    if (sameVertexFan(v, edges)) {
        info.edge = edges[0] | (atEnd(edges[0]) ? TpolyTopo::kLeavingReversed : 0);
        return;
    }
    uint32_t* run = nullptr;
    const uint32_t at = fN2MEdges.allocate(edges.size(), &run);
    for (uint32_t i = 0; i < edges.size(); ++i) run[i] = edges[i] | (atEnd(edges[i]) ? TpolyTopo::kEdgeAtEnd : 0);
    run[edges.size() - 1] |= TpolyTopo::kRunEnd;
    info.edge = TpolyTopo::kNonManifold | at;
}

void TpolyEditableGeom::getVertexEdges(uint32_t v, TuInt32Array& out) const {
    out.clear();
    const TpolyVertexInfo& info = fVertexInfo[v];
    if (info.order == 0 || info.edge == TpolyBits::kNoEdge) return;
    if (info.edge & TpolyTopo::kNonManifold) {
        for (uint32_t i = info.edge & TpolyTopo::kRunIndexMask;; ++i) {
            const uint32_t entry = fN2MEdges[i];
            out.addLast(entry & TpolyBits::kEdgeMask);
            if (entry & TpolyTopo::kRunEnd) break;
        }
        return;
    }
    auto& self = const_cast<TpolyEditableGeom&>(*this);
    const uint32_t e0 = info.edge & TpolyBits::kEdgeMask;
    out.addLast(e0);
    const TpolyWingEdge& w = fWings[e0];
    const uint32_t limit = info.order + 2;
    if (!walkFan(self, v, e0, w.side[0], e0, limit, out)) walkFan(self, v, e0, w.side[1], e0, limit, out);
}

void TpolyEditableGeom::vertexFaces(uint32_t v, TuInt32Array& out) const {
    out.clear();
    TuInt32Array edges(16), faces(8);
    getVertexEdges(v, edges);
    for (uint32_t e : edges) {
        edgeFaces(e, faces);
        for (uint32_t f : faces)
            if (!contains(out, f)) out.addLast(f);
    }
}

uint32_t TpolyEditableGeom::edgeBetween(uint32_t from, uint32_t to, bool& reversed) const {
    TuInt32Array edges(16);
    getVertexEdges(from, edges);
    for (uint32_t e : edges) {
        if (isEdgeDeleted(e)) continue;
        const uint32_t s = getStartVertex(e), t = getEndVertex(e);
        if ((s == from && t == to) || (s == to && t == from)) {
            reversed = s == to;
            return e;
        }
    }
    return TpolyBits::kNoId;
}

// --- Writing back ----------------------------------------------------------------------------------

TpolyGeom* TpolyEditableGeom::convert(bool inheritBlindData, bool updateNormals, TuInt32Array* faceMap) const {
    auto* out = new TpolyGeom;
    const TpolyGeom& src = *fSource;
    uint32_t nCorner = 0;
    for (uint32_t id = 0; id < fFaces.idBound(); ++id)
        if (const TfaceNode* f = fFaces.find(id)) nCorner += f->fCount;

    out->vertexBuffer(vertexCount());
    for (uint32_t v = 0; v < vertexCount(); ++v) out->appendVertex(fVertices[v]);
    out->edgeBuffer(edgeCount());
    for (uint32_t e = 0; e < edgeCount(); ++e) out->edgeArray().addLast(fEdges[e]);

    auto& self = const_cast<TpolyEditableGeom&>(*this);
    TpolyMapArrayShared& maps = *out->maps();
    for (uint32_t s = 0; s < fNbUVSets; ++s) {
        maps.add((*src.maps())[s].getName());
        T2FloatArray& uvs = maps[s].uvArray();
        uvs.buffer(fUVs[s].size());
        for (uint32_t i = 0; i < fUVs[s].size(); ++i) uvs.addLast(fUVs[s][i]);
        maps[s].indexArray().buffer(nCorner);
    }
    if (src.getCurrentMap() >= 0) out->setCurrentMap(uint32_t(src.getCurrentMap()));
    TpolyColorArrayShared& colors = *out->colors();
    for (uint32_t s = 0; s < fNbColorSets; ++s) {
        colors.add((*src.colors())[s].getName());
        colors[s].setRepresentation((*src.colors())[s].representation());
        TpolyColorValueArray& values = colors[s].values();
        values.buffer(fColors[s].size());
        for (uint32_t i = 0; i < fColors[s].size(); ++i) values.addLast(fColors[s][i]);
        colors[s].indexArray().buffer(nCorner);
    }
    if (src.getCurrentColorSet() >= 0 && uint32_t(src.getCurrentColorSet()) < fNbColorSets)
        out->setCurrentColorSet(uint32_t(src.getCurrentColorSet()));

    TuInt32Array localMap(256), normalIds(256);
    TuInt32Array& map = faceMap ? *faceMap : localMap;
    map.changeLogicalSizeTo(fFaces.idBound());
    std::fill(map.begin(), map.end(), TpolyBits::kNoId);
    out->loopEdgeBuffer(nCorner);
    if (hasUserNormals()) normalIds.buffer(nCorner);
    uint32_t next = 0;
    for (uint32_t id = 0; id < fFaces.idBound(); ++id) {
        const TfaceNode* f = fFaces.find(id);
        if (!f) continue;
        map[id] = next++;
        out->bgnFace(0);
        out->faceDescArray().append(f->fCorners, f->fCount);
        for (uint32_t s = 0; s < fNbUVSets; ++s) maps[s].indexArray().append(self.fUVIds[s].run(f->fOffset), f->fCount);
        for (uint32_t s = 0; s < fNbColorSets; ++s)
            colors[s].indexArray().append(self.fColorIds[s].run(f->fOffset), f->fCount);
        if (hasUserNormals()) normalIds.append(self.fNormalIds.run(f->fOffset), f->fCount);
    }
    carryGroups(*out, map);

    if (updateNormals) {
        out->markDirty(dirtyAll);
        if (hasUserNormals()) {
            out->update(dirtyFaceOffsets | dirtyNormalTopo | dirtyVertexNormals);
            out->setUserNormalMode(src.userNormalMode());
            for (uint32_t c = 0; c < nCorner; ++c) {
                const uint32_t n = normalIds[c];
                if (n < fUserNormals.size() && TpolyNorm::isSet(fUserNormals[n]))
                    out->setUserNormal(out->getNormalId(c), fUserNormals[n]);
            }
            out->markDirty(dirtyLocalSplit);
        } else {
            out->update(dirtyFaceOffsets | dirtyVertexNormals);
        }
    }
    carryBlindData(*out, map, inheritBlindData);
    out->markDirty(dirtyAll);
    return out;
}
