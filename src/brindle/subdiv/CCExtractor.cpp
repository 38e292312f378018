#include "brindle/subdiv/CCExtractor.h"

#include <algorithm>

#include "brindle/geom/PolyGeom.h"
#include "brindle/subdiv/CatmullClarkHierarchy.h"
#include "brindle/subdiv/LevelIds.h"
#include "brindle/subdiv/CCSubdivider.h"

bool TpolyCCExtractor::extractHierarchy(uint32_t level, TpolyGeom& out) const {
    if (level > fHierarchy.nbLevel() || &out == &fRecord) return false;
    out.unShare(kCompAll);
    copyVerticesTo(level, out);
    copyEdgesTo(level, out);
    copyFacesTo(level, out);
    out.markDirty(dirtyAll);
    out.update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
    copyUVsForAllMapsTo(level, out);
    copyColorsTo(level, out);
    copyGroupsTo(level, out);
    copyBlindDataTo(level, out);
    out.update(dirtyAll);
    return true;
}

void TpolyCCExtractor::copyVerticesTo(uint32_t level, TpolyGeom& out) const {
    const T3dFltPoint* p = fRecord.vertexArray().data() + fHierarchy.vertexStart(level);
    out.vertexArray().append(p, fHierarchy.nbVertexAt(level));
}

void TpolyCCExtractor::copyEdgesTo(uint32_t level, TpolyGeom& out) const {
    const uint32_t base = fHierarchy.vertexStart(level), n = fHierarchy.nbEdgeAt(level);
    const TpolyEdge* e = fRecord.edgeArray().data() + fHierarchy.edgeStart(level);
    TpolyEdgeArray& edges = out.edgeArray();
    edges.changeLogicalSizeTo(n);
    for (uint32_t i = 0; i < n; ++i) {
        edges[i].v[0] = (e[i].v[0] & TpolyBits::kHardFlag) | (e[i].start() - base);
        edges[i].v[1] = e[i].end() - base;
    }
}

void TpolyCCExtractor::copyFacesTo(uint32_t level, TpolyGeom& out) const {
    const uint32_t base = fHierarchy.edgeStart(level), n = fHierarchy.nbCornerAt(level);
    const uint32_t* d = fRecord.faceDescArray().data() + fHierarchy.cornerStart(level);
    TuInt32Array& desc = out.faceDescArray();
    desc.changeLogicalSizeTo(n);
    for (uint32_t i = 0; i < n; ++i) desc[i] = (d[i] & ~TpolyBits::kEdgeMask) | ((d[i] & TpolyBits::kEdgeMask) - base);
    out.setNbFace(fHierarchy.nbFaceAt(level));
}

void TpolyCCExtractor::copyUVsForAllMapsTo(uint32_t level, TpolyGeom& out) const {
    for (uint32_t s = 0; s < fRecord.nbMapSet(); ++s) {
        Tstring name;
        fRecord.mapName(s, name);
        out.addLastMapSet(name);
        copyUVsTo(level, s, out);
    }
    if (fRecord.getCurrentMap() >= 0) out.setCurrentMap(uint32_t(fRecord.getCurrentMap()));
}

void TpolyCCExtractor::copyUVsTo(uint32_t level, uint32_t map, TpolyGeom& out) const {
    const TpolyMap& src = (*fRecord.maps())[map];
    TpolyMap& dst = (*out.maps())[map];
    const uint32_t uvBase = fHierarchy.uvStart(map, level), nUV = fHierarchy.nbUVAt(map, level);
    const uint32_t cornerBase = fHierarchy.cornerStart(level), n = fHierarchy.nbCornerAt(level);
    if (src.uvArray().size() >= uvBase + nUV) dst.uvArray().append(src.uvArray().data() + uvBase, nUV);
    const uint32_t values = dst.nbUV();
    Tint32Array& ids = dst.indexArray();
    ids.changeLogicalSizeTo(n);
    for (uint32_t i = 0; i < n; ++i) {
        const int32_t id = cornerBase + i < src.nbIndex() ? src.getIndex(cornerBase + i) : -1;
        ids[i] = id >= int32_t(uvBase) && uint32_t(id) - uvBase < values ? int32_t(uint32_t(id) - uvBase) : -1;
    }
}

void TpolyCCExtractor::copyColorsTo(uint32_t level, TpolyGeom& out) const {
    const uint32_t cornerBase = fHierarchy.cornerStart(level), n = fHierarchy.nbCornerAt(level);
    const TpolyColorArrayShared& sets = *fRecord.colors();
    for (uint32_t s = 0; s < sets.nbSet(); ++s) {
        Tstring name;
        fRecord.colorName(s, name);
        out.addLastColorSet(name);
        const TpolyColor& src = sets[s];
        TpolyColor& dst = (*out.colors())[s];
        dst.setRepresentation(src.representation());
        if (src.nbIndex() == 0) continue;
        dst.values().copy(src.values());
        Tint32Array& ids = dst.indexArray();
        ids.changeLogicalSizeTo(n);
        for (uint32_t i = 0; i < n; ++i) ids[i] = cornerBase + i < src.nbIndex() ? src.getIndex(cornerBase + i) : -1;
        // Colours of the other levels are left behind.
        dst.removeUnusedData();
    }
    if (fRecord.getCurrentColorSet() >= 0 && sets.nbSet() > 0)
        out.setCurrentColorSet(uint32_t(fRecord.getCurrentColorSet()));
}

void TpolyCCExtractor::copyGroupsTo(uint32_t level, TpolyGeom& out) const {
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    for (uint32_t g = 0; g < fRecord.nbGroup(); ++g) {
        const TpolyGrpDesc& desc = fRecord.groupConst(g);
        const TsingleIndexedComponent* list = desc.singleItems();
        if (!list || (desc.fName == kGrpNameCrease && desc.fType == kPolyGrpEdge)) continue;
        uint32_t lo = 0, count = 0;
        if (!levelIds(h, desc.fType, level, lo, count)) continue;
        const uint32_t target = out.appendGrp(desc.fName, desc.fType);
        TpolyGrpDesc& dst = out.group(target);
        for (uint32_t id : *list) {
            if (id < lo) continue;
            if (id >= lo + count) break;
            dst.addElement(id - lo);
        }
        dst.endGroup();
    }
    TuInt32Array edges, kept;
    TdoubleArray values, keptValues;
    if (!fRecord.getCreaseEdges(edges, values)) return;
    const uint32_t lo = h.edgeStart(level), hi = lo + h.nbEdgeAt(level);
    for (uint32_t i = 0; i < edges.size() && i < values.size(); ++i)
        if (edges[i] >= lo && edges[i] < hi) {
            kept.addLast(edges[i] - lo);
            keptValues.addLast(values[i]);
        }
    out.setCreaseEdges(kept, keptValues);
}

void TpolyCCExtractor::copyBlindDataTo(uint32_t level, TpolyGeom& out) const {
    const TpolyCatmullClarkHierarchy& h = fHierarchy;
    const auto carry = [](const TpolyBdBlindData& from, uint32_t lo, uint32_t count, TpolyBdBlindData& to) {
        appendBlindDataOf(from, lo, count, to, [lo](uint32_t id) { return std::pair(id - lo, id - lo); });
    };
    carry(*fRecord.vertexBlindData(), h.vertexStart(level), h.nbVertexAt(level), *out.vertexBlindData());
    carry(*fRecord.edgeBlindData(), h.edgeStart(level), h.nbEdgeAt(level), *out.edgeBlindData());
    carry(*fRecord.faceBlindData(), h.faceStart(level), h.nbFaceAt(level), *out.faceBlindData());
}
