#pragma once

#include <memory>

#include "brindle/framework/PrimitiveFty.h"

// The cone of base radius R and height H: the base cap rings (when nz > 0) from the centre out, the
// base ring, the side rings up the height, the cap centre (when nz > 0) and the apex. The base is a
// fan round its centre, or one polygon of nx corners when nz = 0. The base rim is hard, and so are
// the edges up the side when 2 pi / nx exceeds pi / 6. With texture, the rings are laid out as rows
// of a grid (v from the base centre to the apex) and the base polygon as a disc.
class BRINDLE_API TmeshConeFty : public TprimitiveFty {
public:
    void build(TmidBody& body) override;
    std::unique_ptr<TpolyGeom> createCone();

    BRINDLE_PRIMITIVE_PARAM(float, radius, Radius, 0.5f)
    BRINDLE_PRIMITIVE_PARAM(float, height, Height, 1.0f)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, xSubdivide, XSubdivide, 20)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, ySubdivide, YSubdivide, 1)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, zSubdivide, ZSubdivide, 0)
    BRINDLE_PRIMITIVE_PARAM(bool, texture, Texture, false)
};
