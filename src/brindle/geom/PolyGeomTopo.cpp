#include "brindle/geom/PolyGeom.h"

// Placeholder until vertex-to-edge adjacency is built: clears its bit so update terminates.
void TpolyGeom::completeVertexToEdge() { markClean(dirtyVertexToEdge); }
