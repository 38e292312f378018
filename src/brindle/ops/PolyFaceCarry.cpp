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
