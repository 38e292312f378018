#include "brindle/geom/PolyGeom.h"

// Placeholder until groups are built.
bool TpolyGeom::grpBboxInfo(int, TpolyGrpType, T3dFltPoint&, T3dFltPoint&) { return false; }
