#include "brindle/ops/PolyReferenceFrame.h"

#include "brindle/geom/PolyGeom.h"

bool TpolyReferenceFrame::enter(TpolyGeom* geom, T4dDblMatrix& matrix, bool invertParameter) {
    leave(true);
    if (!geom || matrix.isIdentity()) return true;
    T4dDblMatrix inverse = matrix;
    if (!inverse.invertIt()) return false;
    geom->toReference(matrix, false, true);
    if (invertParameter) matrix = inverse;
    fInverse = inverse;
    fGeom = geom;
    return true;
}

void TpolyReferenceFrame::leave(bool markChanged) {
    if (!fGeom) return;
    fGeom->toReference(fInverse, false, markChanged);
    fGeom = nullptr;
}
