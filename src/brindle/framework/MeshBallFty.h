#pragma once

#include <memory>

#include "brindle/framework/PrimitiveFty.h"

// The sphere of radius r: ny - 1 rings of nx vertices from the bottom up (the upper half mirrors the
// lower one exactly), the south and north poles last. Ring edges come first, then the edges between
// rings, then the pole edges; faces are the quad bands ring by ring, then the two pole fans.
class BRINDLE_API TmeshBallFty : public TprimitiveFty {
public:
    enum TtexType : int32_t { kNoTexture = 0, kPolePoint = 1, kPolePerTriangle = 2 };

    void build(TmidBody& body) override;
    // Corrects the parameters (written back), builds the record and answers it, owned by the caller.
    std::unique_ptr<TpolyGeom> createBall();

    BRINDLE_PRIMITIVE_PARAM(float, radius, Radius, 0.5f)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, xSubdivide, XSubdivide, 20)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, ySubdivide, YSubdivide, 20)
    BRINDLE_PRIMITIVE_PARAM(TtexType, texture, Texture, kPolePoint)
};
