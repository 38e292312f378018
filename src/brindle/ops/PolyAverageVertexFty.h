#pragma once

#include "brindle/base/Export.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/ModifierFty.h"

// Relaxes the selected vertices: in each iteration every selected vertex moves to the average of
// its edge neighbours, then is pulled back by a correction towards a blend (Alpha) of its starting
// and current position, shared (Beta) between itself and its neighbours. Each pass reads only
// what the pass before it wrote, so the order of the selection does not change the result.
// Unselected vertices never move; a selected vertex without edges stays where it is. Only
// positions change.
class BRINDLE_API TpolyAverageVertexFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolyAverageVertexFty() = default;
    TpolyAverageVertexFty(const TpolyAverageVertexFty&) = default;
    TpolyAverageVertexFty& operator=(const TpolyAverageVertexFty&) = default;

    float Alpha() const { return fAlpha; }
    void setAlpha(float a) { fAlpha = a; }
    float Beta() const { return fBeta; }
    void setBeta(float b) { fBeta = b; }
    // Below 1 an action changes nothing.
    int NbIter() const { return fNbIter; }
    void setNbIter(int n) { fNbIter = n; }
    // Reference frame; after an action with a non-identity matrix it holds the inverse.
    const T4dDblMatrix& Matrix() const { return fMatrix; }
    void setMatrix(const T4dDblMatrix& m) { fMatrix = m; }

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    float fAlpha = 0, fBeta = 0.5f;
    int fNbIter = 10;
    T4dDblMatrix fMatrix;
};
