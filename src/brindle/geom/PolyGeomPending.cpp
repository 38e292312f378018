#include "brindle/geom/PolyGeom.h"

// Derived data whose recomputation is not built yet: each step only clears its bit, so that update
// terminates and callers see empty tables.
void TpolyGeom::completeVertexToEdge() { markClean(dirtyVertexToEdge); }
void TpolyGeom::computeFaceVectors() { markClean(dirtyFaceVectors); }
void TpolyGeom::normalizeFaceVectors() { markClean(dirtyFaceNormalize); }
void TpolyGeom::triangulate() { markClean(dirtyTriangles); }
void TpolyGeom::computeVertexNormalTopo() { markClean(dirtyNormalTopo); }
void TpolyGeom::computeVertexNormals() { markClean(dirtyVertexNormals); }
void TpolyGeom::normalizeVertexNormals() { markClean(dirtyVertexNormalize); }
int TpolyGeom::triangulateFaceFromOffset(const TpolyGeom*, uint32_t, uint32_t, uint32_t, bool, const T4dFltVector&,
                                         unsigned short*) {
    return 0;
}
bool TpolyGeom::grpBboxInfo(int, TpolyGrpType, T3dFltPoint&, T3dFltPoint&) { return false; }
