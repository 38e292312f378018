#pragma once

#include <cstdint>
#include <memory>

#include "brindle/base/Export.h"
#include "brindle/framework/PrimitiveFty.h"

class TpolyMap;

// The pipe: a tube along y, centred on the origin, of outer radius `radius`, wall `thickness` and
// length `length`. Its cross-section is a closed cycle of 2(ny + nz) rings of nx vertices: the
// outer wall from the bottom up (ny + 1 rings), the top cap inwards (nz - 1 rings), the inner wall
// from the top down (ny + 1 rings) and the bottom cap outwards (nz - 1 rings). Each pair of
// neighbours in the cycle is joined by a band of nx quadrilaterals facing out of the wall, so the
// surface is closed with genus 1: V = 2nx(ny + nz), E = 2V, F = V. The four rims where the caps meet
// the walls are hard, and so are the edges along the pipe when nx <= 12.
class BRINDLE_API TpolyPipeFty : public TprimitiveFty {
public:
    void build(TmidBody& body) override;

    // Corrects the parameters (written back), builds the record and answers it, owned by the caller.
    std::unique_ptr<TpolyGeom> createPipe();

    BRINDLE_PRIMITIVE_PARAM(float, radius, Radius, 1.0f)
    BRINDLE_PRIMITIVE_PARAM(float, length, Length, 1.0f)
    BRINDLE_PRIMITIVE_PARAM(float, thickness, Thickness, 1.0f)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, zSubdivide, ZSubdivide, 1)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, xSubdivide, XSubdivide, 3)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, ySubdivide, YSubdivide, 1)
    BRINDLE_PRIMITIVE_PARAM(bool, texture, Texture, false)

private:
    void checkParameters();
    // The cross-section cycle unrolled: 2(ny + nz) + 1 rows of nx + 1 points, u = i/nx round the
    // pipe and v = m / (2(ny + nz)) along the cycle, so the last row and column repeat the first.
    // Answers the index of the first point.
    int32_t createPipeUVs(TpolyMap& map) const;
};
