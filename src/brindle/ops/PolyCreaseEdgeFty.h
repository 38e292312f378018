#pragma once

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/ModifierFty.h"

// Gives edges crease values. The values come from a caller-owned array indexed by edge id: an
// entry of 0 or more creases that edge with that value, a negative one (or no entry) leaves it
// out. The edges given a value become the current edge group, whatever selection was passed in,
// and are merged into the record's crease group: they take their new values, every other creased
// edge keeps its own, and every member of the crease group carries a value.
class BRINDLE_API TpolyCreaseEdgeFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    TpolyCreaseEdgeFty() = default;
    TpolyCreaseEdgeFty(const TpolyCreaseEdgeFty&) = default;
    TpolyCreaseEdgeFty& operator=(const TpolyCreaseEdgeFty&) = default;

    // Reference frame; after an action with a non-identity matrix it holds the inverse.
    const T4dDblMatrix& Matrix() const { return fMatrix; }
    void setMatrix(const T4dDblMatrix& m) { fMatrix = m; }
    // Not owned; null after construction (an action then only makes the frame round trip).
    void setCreaseDataPtr(TdoubleArray* values) { fValues = values; }
    TdoubleArray* creaseDataPtr() const { return fValues; }

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    T4dDblMatrix fMatrix;
    TdoubleArray* fValues = nullptr;
};
