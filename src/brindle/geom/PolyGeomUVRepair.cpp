#include "brindle/geom/PolyGeom.h"

// A UV id stands for one point of the UV layout at one vertex; corners of several vertices sharing
// it would tie unrelated vertices together when the layout is edited. The corners are visited grouped
// by vertex (a counting sort of the corners), so per UV id it is enough to remember the vertex that
// owns it and the copy made for the vertex being visited: the whole repair is linear.
uint32_t TpolyGeom::unshareInvalidUVs() {
    const uint32_t nCorner = faceDescLength(), nVertex = nbVertex();
    TuInt32Array firstCorner, cornersByVertex;
    firstCorner.create(nVertex + 1);
    for (uint32_t c = 0; c < nCorner; ++c) {
        const uint32_t v = getStartVertex(c);
        if (v < nVertex) ++firstCorner[v + 1];
    }
    for (uint32_t v = 0; v < nVertex; ++v) firstCorner[v + 1] += firstCorner[v];
    cornersByVertex.create(firstCorner[nVertex]);
    {
        TuInt32Array fill;
        fill.copy(firstCorner);
        for (uint32_t c = 0; c < nCorner; ++c) {
            const uint32_t v = getStartVertex(c);
            if (v < nVertex) cornersByVertex[fill[v]++] = c;
        }
    }

    uint32_t added = 0;
    TuInt32Array owner, copyFor, copyId;
    for (uint32_t s = 0; s < fMaps->nbMap(); ++s) {
        TpolyMap& map = (*fMaps)[s];
        Tint32Array& ids = map.indexArray();
        const uint32_t nUV = map.nbUV();
        owner.clear();
        owner.changeLogicalSizeTo(nUV);
        copyFor.clear();
        copyFor.changeLogicalSizeTo(nUV);
        copyId.changeLogicalSizeTo(nUV);
        for (uint32_t u = 0; u < nUV; ++u) owner[u] = copyFor[u] = TpolyBits::kNoId;
        for (uint32_t v = 0; v < nVertex; ++v) {
            for (uint32_t k = firstCorner[v]; k < firstCorner[v + 1]; ++k) {
                const uint32_t c = cornersByVertex[k];
                if (c >= ids.size() || ids[c] < 0 || uint32_t(ids[c]) >= nUV) continue;
                const uint32_t u = uint32_t(ids[c]);
                if (owner[u] == TpolyBits::kNoId) owner[u] = v;
                if (owner[u] == v) continue;
                if (copyFor[u] != v) {
                    copyFor[u] = v;
                    const float* uv = map.uvFloat(u);
                    copyId[u] = map.appendUV(uv[0], uv[1]);
                    ++added;
                }
                ids[c] = int32_t(copyId[u]);
            }
        }
    }
    if (added) markDirty(dirtyMoved);
    return added;
}
