#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/Export.h"

class TmidBody;
class TpolyGeom;

// Keeps faces across the seam of a wrapped projection whole, on the record's current UV set: the
// wrap coordinate u has the period P = (u range) + 0.1; a corner whose u jumps by more than P/2
// from the corner before it in its face gets a UV of its own shifted by P back towards it. A
// corner whose u carries the pole marker gets a UV of its own at the mean u of its two
// neighbours in the face; the marked UVs then get longitude 0 back. Faces are the given ones, or
// every face of the record when none are given.
class BRINDLE_API TpolySeamCorrectUtil {
public:
    static constexpr float kPoleMarker = -10000.0f;

    explicit TpolySeamCorrectUtil(TmidBody* body);
    void setGeometry(TpolyGeom* geom) { fGeom = geom; }
    void setFaces(const std::vector<uint32_t>& faces) { fFaces = faces; }
    // False, changing nothing, without faces or UVs, or when a face has an unmapped corner.
    bool correctSeam();

protected:
    // Measures the range of u over the faces' UVs, pole markers left out, without changing them;
    // answers whether any UV was met.
    bool measureRange();
    // The corner of face at vertex gets a new UV of its own.
    bool setFaceVertexUV(uint32_t face, uint32_t vertex, float u, float v);
    void restorePoleValues();

private:
    bool setCornerUV(uint32_t corner, float u, float v);

    TpolyGeom* fGeom = nullptr;
    std::vector<uint32_t> fFaces;
    std::vector<uint32_t> fMarked;  // UVs carrying the pole marker
    double fMin = 0, fMax = 0;
};
