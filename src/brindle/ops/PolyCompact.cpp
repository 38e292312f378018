#include "brindle/ops/PolyCompact.h"

#include "brindle/framework/RemoverFty.h"
#include "brindle/geom/PolyGeom.h"

namespace TpolyCompact {

namespace {
// Runs a record removal that writes its renumbering into a map of count entries, then copies the
// map to the caller's when there is one. Answers the removal's count.
template <typename Remove>
uint32_t withMap(uint32_t count, TuInt32Array& map, TuInt32Array* out, Remove&& remove) {
    map.changeLogicalSizeTo(count);
    for (uint32_t i = 0; i < count; ++i) map[i] = i;
    const uint32_t removed = remove(map.data());
    if (out) out->copy(map);
    return removed;
}
}  // namespace

void renumberBlindData(TpolyBdBlindData& data, const TuInt32Array& map) {
    TbdDataPtrArray* elements = data.nbElement() ? data.data() : nullptr;
    if (!elements) return;
    auto gone = [&](const TbdData& d) { return d.componentId >= map.size() || map[d.componentId] == TpolyBits::kNoId; };
    for (uint32_t i = 0; i < elements->size(); ++i) {
        TbdData& d = (*elements)[i];
        if (d.isLive() && !gone(d))
            d.componentId = map[d.componentId];
        else if (d.isLive())
            d.state = TbdData::kRemoved;
    }
    elements->removeIf([](const TbdData& d) { return d.state == TbdData::kRemoved; });
}

void renumberVertexFaceGroups(TpolyGeom& geom, const TuInt32Array& map, bool faces) {
    for (uint32_t g = 0; g < geom.nbGroup(); ++g) {
        TpolyGrpDesc& d = geom.group(g);
        TlongDoubleIndexedComponent* pairs = d.fType == kPolyGrpVertexFace ? d.pairItems() : nullptr;
        if (!pairs || pairs->elementCount() == 0) continue;
        TlongDoubleIndexedComponent kept;
        for (const TidPair& p : *pairs) {
            const uint32_t id = faces ? p.second : p.first;
            if (id >= map.size() || map[id] == TpolyBits::kNoId) continue;
            kept.addElement(faces ? p.first : map[id], faces ? map[id] : p.second);
        }
        pairs->copyData(kept);
    }
}

uint32_t removeUnusedEdges(TpolyGeom& geom, TuInt32Array* edgeMap) {
    TuInt32Array map(256);
    const uint32_t removed =
        withMap(geom.nbEdge(), map, edgeMap, [&](uint32_t* m) { return geom.remUnusedEdges(true, true, false, m); });
    if (removed) renumberBlindData(*geom.edgeBlindData(), map);
    return removed;
}

uint32_t removeUnusedVertices(TpolyGeom& geom, TuInt32Array* vertexMap) {
    TuInt32Array map(256);
    const uint32_t removed = withMap(geom.nbVertex(), map, vertexMap,
                                     [&](uint32_t* m) { return geom.remUnusedVertex(true, true, false, m); });
    if (!removed) return 0;
    renumberBlindData(*geom.vertexBlindData(), map);
    renumberVertexFaceGroups(geom, map, false);
    return removed;
}

uint32_t removeUnusedUVs(TpolyGeom& geom) {
    uint32_t removed = 0;
    for (uint32_t s = 0; s < geom.nbMapSet(); ++s) removed += geom.removeUnusedUVs(s);
    return removed;
}

uint32_t removeUnusedUVs(TpolyGeom& geom, uint32_t s) {
    bool renumberGroups = false;
    if (int32_t(s) == geom.getCurrentMap() && s < geom.nbMapSet())
        for (uint32_t g = 0; g < geom.nbGroup() && !renumberGroups; ++g)
            renumberGroups = geom.group(g).fType == kPolyGrpUV;
    if (!renumberGroups) return geom.removeUnusedUVs(s);
    // The old ids, corner by corner, paired with the new ones give the groups' renumbering.
    Tint32Array before;
    before.copy((*geom.maps())[s].indexArray());
    const uint32_t count = geom.nbUV(s);
    const uint32_t removed = geom.removeUnusedUVs(s);
    if (!removed) return 0;
    const Tint32Array& after = (*geom.maps())[s].indexArray();
    TuInt32Array map;
    map.create(count);
    for (uint32_t i = 0; i < count; ++i) map[i] = TpolyBits::kNoId;
    for (uint32_t c = 0; c < before.size(); ++c)
        if (before[c] >= 0 && uint32_t(before[c]) < count) map[uint32_t(before[c])] = uint32_t(after[c]);
    geom.renumGrp(kPolyGrpUV, count, map.data());
    return removed;
}

uint32_t removeUnusedColors(TpolyGeom& geom) {
    uint32_t removed = 0;
    for (uint32_t s = 0; s < geom.nbColorSet(); ++s) removed += geom.removeUnusedColors(s);
    return removed;
}

void removeUnused(TpolyGeom& geom, TpolyIdMapper* mapper) {
    removeUnusedEdges(geom, mapper ? mapper->edgeMap() : nullptr);
    removeUnusedVertices(geom, mapper ? mapper->vertexMap() : nullptr);
    removeUnusedUVs(geom);
    removeUnusedColors(geom);
    geom.markDirty(dirtyAll);
}

}  // namespace TpolyCompact
