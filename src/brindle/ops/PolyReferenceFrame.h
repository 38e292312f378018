#pragma once

#include "brindle/base/Export.h"
#include "brindle/base/Transform.h"

class TpolyGeom;

// The reference frame of an operation with a Matrix parameter. enter brings the record into the
// frame when the matrix is not the identity and keeps the inverse for the way back; with
// invertParameter the caller's matrix is inverted in place, so that after the action the factory
// holds the inverse of the value it was given. A singular matrix is refused before anything
// changes. The frame is left once: explicitly through leave, else when the guard goes out of scope.
class BRINDLE_API TpolyReferenceFrame {
public:
    TpolyReferenceFrame() = default;
    TpolyReferenceFrame(const TpolyReferenceFrame&) = delete;
    TpolyReferenceFrame& operator=(const TpolyReferenceFrame&) = delete;
    ~TpolyReferenceFrame() { leave(true); }

    // False, with the record and the matrix untouched, when the matrix cannot be inverted.
    bool enter(TpolyGeom* geom, T4dDblMatrix& matrix, bool invertParameter);
    // True between enter with a non-identity matrix and leave.
    bool active() const { return fGeom != nullptr; }
    const T4dDblMatrix& inverse() const { return fInverse; }
    // Brings the record back; markChanged as for TpolyGeom::toReference.
    void leave(bool markChanged);

private:
    TpolyGeom* fGeom = nullptr;
    T4dDblMatrix fInverse;
};
