#include "brindle/geom/PolyGeom.h"

// Placeholders until triangulation is built: triangulate clears its bit so update terminates.
void TpolyGeom::triangulate() { markClean(dirtyTriangles); }
int TpolyGeom::triangulateFaceFromOffset(const TpolyGeom*, uint32_t, uint32_t, uint32_t, bool, const T4dFltVector&,
                                         unsigned short*) {
    return 0;
}
