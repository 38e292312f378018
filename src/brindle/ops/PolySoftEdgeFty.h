#pragma once

#include "brindle/base/Export.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/ModifierFty.h"

class TpolyGeom;

// Soften and harden edges by the angle between their faces: an edge whose two faces meet at less
// than the angle becomes soft, every other edge of the selection hard. The rule is smoothGroup,
// which the operations that create edges call on their new edges. Hard/soft flags are the only
// thing that changes (user normals survive the change); positions come back from the reference
// frame exactly as the frame round trip leaves them.
class BRINDLE_API TpolySoftEdgeFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolySoftEdgeFty() = default;
    TpolySoftEdgeFty(const TpolySoftEdgeFty&) = default;
    TpolySoftEdgeFty& operator=(const TpolySoftEdgeFty&) = default;

    // Radians; an action stores pi in place of anything above pi.
    double Angle() const { return fAngle; }
    void setAngle(double a) { fAngle = a; }
    // Reference frame; after an action with a non-identity matrix it holds the inverse.
    const T4dDblMatrix& Matrix() const { return fMatrix; }
    void setMatrix(const T4dDblMatrix& m) { fMatrix = m; }

    // Sets the hard flag of every edge of the edge group of that name from the angle (radians)
    // between its faces: an edge between two consistently oriented faces whose unit normals have
    // a dot product above cos(angle) + 1e-5 becomes soft, one between faces of opposite
    // orientation hard, and any edge without exactly two faces hard when cos(angle) > 0, else soft.
    static void smoothGroup(TpolyGeom* geom, int edgeGroup, float angle);

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    double fAngle = 30.0;
    T4dDblMatrix fMatrix;
};
