#include "brindle/ops/PolyFaceCarry.h"

#include "brindle/geom/PolyGeom.h"

namespace {
// Each element owned by an old face becomes one copy per piece, in element order.
void expandBlindData(TbdDataPtrArray& elements, const TuInt32Array& first) {
    const uint32_t nbOld = first.size() - 1;
    TbdDataPtrArray expanded;
    for (uint32_t i = 0; i < elements.size(); ++i) {
        const uint32_t f = elements[i].componentId;
        if (f >= nbOld) continue;
        for (uint32_t p = first[f]; p < first[f + 1]; ++p) expanded.addLast(elements[i]).componentId = p;
    }
    elements.swap(expanded);
}

// Rewrites the id array of one UV or colour set through the new corners' sources; a set without
// ids stays without.
void remapCornerIds(Tint32Array& ids, const TuInt32Array& source) {
    if (ids.empty()) return;
    Tint32Array remapped(ids.sizeIncrement());
    remapped.changeLogicalSizeTo(source.size());
    const uint32_t old = ids.size();
    for (uint32_t k = 0; k < source.size(); ++k) remapped[k] = source[k] < old ? ids[source[k]] : -1;
    ids.swap(remapped);
}

bool pieceHasVertex(const TpolyGeom& geom, uint32_t piece, uint32_t v) {
    for (uint32_t k = geom.faceOffset(piece); k < geom.faceOffset(piece + 1); ++k)
        if (geom.getStartVertex(k) == v) return true;
    return false;
}
}  // namespace

void carryFacePieces(TpolyGeom& geom, const TuInt32Array& first, TbdDataPtrArray* extraBlindData) {
    const uint32_t nbOld = first.size() - 1;
    const uint32_t nbNew = first[nbOld];

    T3dFltPointArray& normals = geom.norm()->fFaceNormals;
    if (!geom.isDirty(dirtyFaceVectors) && normals.size() == nbOld) {
        T3dFltPointArray expanded(normals.sizeIncrement());
        expanded.changeLogicalSizeTo(nbNew);
        for (uint32_t f = 0; f < nbOld; ++f)
            for (uint32_t p = first[f]; p < first[f + 1]; ++p) expanded[p] = normals[f];
        normals.swap(expanded);
    } else {
        geom.markDirty(dirtyFaceVectors | dirtyFaceNormalize);
    }

    TbitFieldFixedN bits;
    bool offsetsReady = false;
    for (uint32_t g = 0; g < geom.nbGroup(); ++g) {
        TpolyGrpDesc& d = geom.group(g);
        if (d.fType == kPolyGrpFace && d.singleItems() && !d.isEmpty()) {
            bits.resizeArray(nbNew);
            // Members come in id order and the pieces of one face are consecutive new ids, so the
            // values of a valued group stay in member order.
            TdoubleArray* values = d.data();
            TdoubleArray expandedValues;
            uint32_t rank = 0;
            for (uint32_t f : *d.singleItems()) {
                const double v = values && rank < values->size() ? (*values)[rank] : 0.0;
                ++rank;
                if (f >= nbOld) continue;
                for (uint32_t p = first[f]; p < first[f + 1]; ++p) {
                    bits.setBit(p);
                    if (values) expandedValues.addLast(v);
                }
            }
            if (values) values->swap(expandedValues);
            d.singleItems()->convertFromFlags(bits);
        } else if (TlongDoubleIndexedComponent* pairs = d.fType == kPolyGrpVertexFace ? d.pairItems() : nullptr) {
            if (!pairs->elementCount()) continue;
            if (!offsetsReady) geom.update(dirtyFaceOffsets);
            offsetsReady = true;
            TlongDoubleIndexedComponent kept;
            for (const TidPair& pair : *pairs) {
                if (pair.second >= nbOld) continue;
                for (uint32_t p = first[pair.second]; p < first[pair.second + 1]; ++p)
                    if (pieceHasVertex(geom, p, pair.first)) kept.addElement(pair.first, p);
            }
            pairs->copyData(kept);
        }
    }

    TpolyBdBlindData& faceData = *geom.faceBlindData();
    if (faceData.nbElement()) {
        TbdDataPtrArray elements;
        faceData.getBlindData(elements);
        expandBlindData(elements, first);
        faceData.setData(elements);
    }
    if (extraBlindData) expandBlindData(*extraBlindData, first);
}

void TfaceRewrite::begin(TpolyGeom& geom, uint32_t corners) {
    fGeom = &geom;
    geom.startChangeSmoothing(fSavedNormals);
    fDesc.clear();
    fSource.clear();
    fFirst.clear();
    fDesc.buffer(corners);
    fSource.buffer(corners);
    fFirst.buffer(geom.nbFace() + 1);
    fFaces = 0;
}

void TfaceRewrite::closeFace() {
    fDesc[fDesc.size() - 1] |= TpolyBits::kEndOfLoop | TpolyBits::kEndOfFace;
    ++fFaces;
}

void TfaceRewrite::copyFace(uint32_t f) {
    const uint32_t end = fGeom->faceOffset(f + 1);
    for (uint32_t k = fGeom->faceOffset(f); k < end; ++k) push(fGeom->getFaceEdge(k), k);
    ++fFaces;
}

void TfaceRewrite::install(TbdDataPtrArray* extraBlindData, bool dropUnusedEdges) {
    TpolyGeom& geom = *fGeom;
    fFirst.addLast(fFaces);
    geom.faceDescArray().swap(fDesc);
    fDesc.clear();
    geom.setNbFace(fFaces);
    for (TpolyMap& set : *geom.maps()) remapCornerIds(set.indexArray(), fSource);
    for (TpolyColor& set : *geom.colors()) remapCornerIds(set.indexArray(), fSource);
    geom.markDirty(dirtyRetopologised | dirtyTangents);
    carryFacePieces(geom, fFirst, extraBlindData);
    if (dropUnusedEdges) geom.remUnusedEdges(true, true, false, nullptr);
    if (!fSavedNormals.empty()) {
        TuInt32Array moved(256);
        moved.changeLogicalSizeTo(fSource.size());
        for (uint32_t k = 0; k < fSource.size(); ++k) {
            const uint32_t s = fSource[k];
            moved[k] = s < fSavedNormals.size() ? fSavedNormals[s] : TpolyBits::kNoId;
        }
        geom.endChangeSmoothing(moved);
    }
}
