#include "brindle/geom/PolyGeom.h"

// Placeholders until normals are built: each clears its bit so update terminates.
void TpolyGeom::computeFaceVectors() { markClean(dirtyFaceVectors); }
void TpolyGeom::normalizeFaceVectors() { markClean(dirtyFaceNormalize); }
void TpolyGeom::computeVertexNormalTopo() { markClean(dirtyNormalTopo); }
void TpolyGeom::computeVertexNormals() { markClean(dirtyVertexNormals); }
void TpolyGeom::normalizeVertexNormals() { markClean(dirtyVertexNormalize); }
