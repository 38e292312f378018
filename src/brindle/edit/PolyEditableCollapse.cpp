// Deletion of faces, edges and vertices and the collapse of edges and faces. Nothing here
// renumbers: removed faces leave the map, removed edges are marked and left unused.
#include <algorithm>

#include "brindle/edit/PolyEditableGeom.h"

namespace {
void addUnique(TuInt32Array& list, uint32_t v) {
    if (list.find(v) == ~0u) list.addLast(v);
}
}  // namespace

void TpolyEditableGeom::markEdgeDeleted(uint32_t e) { fEdgeSource[e] = kDeletedEdge; }

void TpolyEditableGeom::deleteFace(uint32_t face) {
    TfaceNode* f = fFaces.find(face);
    if (fFaceCount <= 1 || !f) return;
    // The vertices' edge lists stay, but their fans may break apart at the new hole.
    TuInt32Array vertices(16), edges(16);
    if (fMode & kModeVertexInfo)
        for (uint32_t k = 0; k < f->fCount; ++k) addUnique(vertices, getStartVertexInFace(*f, k));
    std::vector<TuInt32Array> lists(vertices.size());
    for (uint32_t i = 0; i < vertices.size(); ++i) getVertexEdges(vertices[i], lists[i]);
    enterWings(face, false);
    f->fLive = false;
    --fFaceCount;
    fChanged = 1;
    for (uint32_t i = 0; i < vertices.size(); ++i) setVertexEdges(vertices[i], lists[i]);
}

void TpolyEditableGeom::cleanupDegenerateFaces() {
    for (uint32_t id = 0; id < fFaces.idBound(); ++id) {
        const TfaceNode* f = fFaces.find(id);
        if (!f) continue;
        for (uint32_t k = 0; k < f->fCount; ++k)
            if (getStartVertex(f->getEdge(k)) == getEndVertex(f->getEdge(k))) {
                deleteFace(id);
                break;
            }
    }
}
