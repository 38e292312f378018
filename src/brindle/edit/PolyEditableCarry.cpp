// Groups and blind data that follow the components of an editable geometry into its converted
// record.
#include "brindle/edit/PolyEditableGeom.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/geom/PolyIdMapper.h"

namespace {
// Rewrites the live elements of from into to through map (old id -> new id, all ones: dropped;
// ids beyond the map are dropped too), then adds for every id i with a source src[i] >= 0 copies
// of the source's elements given to i. The element list is built once, so the cost is linear.
void remapBlindData(const TpolyBdBlindData& from, TpolyBdBlindData& to, const TuInt32Array* map,
                    const Tint32Array* sources, const TuInt32Array* sourceMap) {
    TbdDataPtrArray all, moved;
    from.getBlindData(all);
    for (uint32_t i = 0; i < all.size(); ++i) {
        const uint32_t c = all[i].componentId;
        const uint32_t n = map ? (c < map->size() ? (*map)[c] : TpolyBits::kNoId) : c;
        if (n != TpolyBits::kNoId) moved.addLast(all[i]).componentId = n;
    }
    if (sources) {
        TbdDataPtrArray inherited;
        for (uint32_t i = 0; i < sources->size(); ++i) {
            const int32_t s = (*sources)[i];
            const uint32_t n = sourceMap ? (*sourceMap)[i] : i;
            if (s < 0 || n == TpolyBits::kNoId) continue;
            inherited.clear();
            from.getBlindData(uint32_t(s), inherited);
            for (uint32_t k = 0; k < inherited.size(); ++k) moved.addLast(inherited[k]).componentId = n;
        }
    }
    to.setName(from.getName());
    to.setData(moved);
}
}  // namespace

void TpolyEditableGeom::faceOrigins(TuInt32Array& out) const {
    const uint32_t original = fSource->nbFace();
    out.changeLogicalSizeTo(fFaces.idBound());
    for (uint32_t id = 0; id < out.size(); ++id) {
        // A source face always has a smaller id than the faces made from it.
        const int32_t s = fFaces.fNodes[id].fSource;
        out[id] = id < original ? id : (s >= 0 && uint32_t(s) < id ? out[uint32_t(s)] : TpolyBits::kNoId);
    }
}

void TpolyEditableGeom::carryGroups(TpolyGeom& out, const TuInt32Array& faceMap) const {
    out.copy(*fSource, kCompGroups);
    TuInt32Array origin(256);
    faceOrigins(origin);
    TbitFieldFixedN bits;
    for (uint32_t g = 0; g < out.nbGroup(); ++g) {
        TpolyGrpDesc& d = out.group(g);
        if (d.fType == kPolyGrpFace && d.singleItems()) {
            bits.resizeArray(out.nbFace());
            for (uint32_t id = 0; id < faceMap.size(); ++id)
                if (faceMap[id] != TpolyBits::kNoId && origin[id] != TpolyBits::kNoId && d.hasElement(origin[id]))
                    bits.setBit(faceMap[id]);
            d.singleItems()->convertFromFlags(bits);
        } else if (d.fType == kPolyGrpEdge && d.singleItems()) {
            // Split edges join the groups of the edge they came from; deleted edges leave them.
            bits.resizeArray(edgeCount());
            for (uint32_t e = 0; e < edgeCount(); ++e) {
                const int32_t s = fEdgeSource[e];
                if (s == kDeletedEdge) continue;
                if (d.hasElement(s >= 0 ? uint32_t(s) : e)) bits.setBit(e);
            }
            d.singleItems()->convertFromFlags(bits);
        } else if (TlongDoubleIndexedComponent* pairs = d.fType == kPolyGrpVertexFace ? d.pairItems() : nullptr) {
            TlongDoubleIndexedComponent kept;
            for (const TidPair& p : *pairs)
                if (p.second < faceMap.size() && faceMap[p.second] != TpolyBits::kNoId)
                    kept.addElement(p.first, faceMap[p.second]);
            pairs->copyData(kept);
        }
    }
}

void TpolyEditableGeom::carryBlindData(TpolyGeom& out, const TuInt32Array& faceMap, bool inherit) const {
    const TpolyGeom& src = *fSource;
    remapBlindData(*src.vertexBlindData(), *out.vertexBlindData(), nullptr, inherit ? &fVertexSource : nullptr,
                   nullptr);
    remapBlindData(*src.edgeBlindData(), *out.edgeBlindData(), nullptr, inherit ? &fEdgeSource : nullptr, nullptr);
    Tint32Array faceSources(256);
    if (inherit) {
        TuInt32Array origin(256);
        faceOrigins(origin);
        faceSources.changeLogicalSizeTo(origin.size());
        for (uint32_t id = 0; id < origin.size(); ++id)
            faceSources[id] = id >= src.nbFace() && origin[id] != TpolyBits::kNoId ? int32_t(origin[id]) : -1;
    }
    remapBlindData(*src.faceBlindData(), *out.faceBlindData(), &faceMap, inherit ? &faceSources : nullptr, &faceMap);
}

TpolyGeom* TpolyEditableGeom::convert(bool inheritBlindData, bool updateNormals, TpolyIdMapper& mapper) const {
    TuInt32Array faces(256), edges(256), vertices(256);
    TpolyGeom* out = convert(inheritBlindData, updateNormals, mapper.faceMap() ? mapper.faceMap() : &faces);
    edges.changeLogicalSizeTo(out->nbEdge());
    vertices.changeLogicalSizeTo(out->nbVertex());
    out->remUnusedEdges(true, true, false, edges.data());
    out->remUnusedVertex(true, true, false, vertices.data());
    TpolyBdBlindData moved;
    remapBlindData(*out->edgeBlindData(), moved, &edges, nullptr, nullptr);
    out->edgeBlindData()->setData(*moved.data());
    remapBlindData(*out->vertexBlindData(), moved, &vertices, nullptr, nullptr);
    out->vertexBlindData()->setData(*moved.data());
    if (TuInt32Array* m = mapper.edgeMap()) m->copy(edges);
    if (TuInt32Array* m = mapper.vertexMap()) m->copy(vertices);
    return out;
}
