#pragma once

#include <memory>

#include "brindle/framework/PrimitiveFty.h"

// The prism of nx sides: rings from the bottom cap's centre out (when nz > 0), up the sides and in
// over the top cap, then the two cap centres. Caps are fans round their centres inside nz - 1
// rings of quads, or single polygons when nz = 0. The two rims are hard, and so are the edges
// between the sides when 2 pi / nx exceeds pi / 6. Texture 1 lays the rings out as rows of one
// grid shared by neighbouring faces; texture 2 gives every face its own copies of those points.
class BRINDLE_API TmeshPrismFty : public TprimitiveFty {
public:
    enum TtexType : int32_t { kNoTexture = 0, kSharedTexture = 1, kFaceTexture = 2 };
    enum TprismType : int32_t { kDefaultPrism = 0 };

    void build(TmidBody& body) override;
    std::unique_ptr<TpolyGeom> createPrism();

    BRINDLE_PRIMITIVE_PARAM(float, radius, Radius, 0.5f)
    BRINDLE_PRIMITIVE_PARAM(float, height, Height, 1.0f)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, xSubdivide, XSubdivide, 20)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, ySubdivide, YSubdivide, 1)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, zSubdivide, ZSubdivide, 1)
    BRINDLE_PRIMITIVE_PARAM(TtexType, texture, Texture, kFaceTexture)
    BRINDLE_PRIMITIVE_PARAM(TprismType, type, Type, kDefaultPrism)
};
