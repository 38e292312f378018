#include "brindle/base/Transform.h"
#include "brindle/geom/PolyGeom.h"

bool TpolyGeom::toReference(const T4dDblMatrix& m, bool invert, bool markChanged) {
    T4dDblMatrix frame = m;
    if (invert && !frame.invertIt()) return false;
    for (T3dFltPoint& p : fVertex->fPoints) p = frame.transformPoint(p);
    transformUserNormal(frame.toFlt());
    if (markChanged) markDirty(dirtyMoved);
    return true;
}
