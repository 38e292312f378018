#pragma once

#include <memory>

#include "brindle/framework/PrimitiveFty.h"

// The torus of radius R and section r: ny rings of nx vertices, ring j at tube angle
// twist + j 2 pi / ny (angle 0 on the inside of the tube). Edges round the main axis are hard when
// 2 pi / ny exceeds pi / 6, edges round the tube when 2 pi / nx does.
class BRINDLE_API TmeshTorusFty : public TprimitiveFty {
public:
    void build(TmidBody& body) override;
    std::unique_ptr<TpolyGeom> createTorus();

    BRINDLE_PRIMITIVE_PARAM(float, radius, Radius, 0.5f)
    BRINDLE_PRIMITIVE_PARAM(float, section, Section, 0.25f)
    BRINDLE_PRIMITIVE_PARAM(float, twist, Twist, 0.0f)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, xSubdivide, XSubdivide, 20)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, ySubdivide, YSubdivide, 20)
    BRINDLE_PRIMITIVE_PARAM(bool, texture, Texture, false)
    BRINDLE_PRIMITIVE_PARAM(bool, revTexture, RevTexture, false)
};
