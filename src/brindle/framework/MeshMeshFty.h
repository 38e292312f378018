#pragma once

#include <memory>

#include "brindle/framework/PrimitiveFty.h"

// The plane: (nx + 1)(ny + 1) vertices in rows of constant y in the z = 0 plane, nx ny quads
// facing +z, all edges soft. The unit texture maps the plane onto the unit square, one UV per
// vertex.
class BRINDLE_API TmeshMeshFty : public TprimitiveFty {
public:
    enum TtexType : int32_t { kNoTexture = 0, kUnitTexture = 1 };

    void build(TmidBody& body) override;
    std::unique_ptr<TpolyGeom> createMesh();

    BRINDLE_PRIMITIVE_PARAM(float, width, Width, 1.0f)
    BRINDLE_PRIMITIVE_PARAM(float, height, Height, 1.0f)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, xSubdivide, XSubdivide, 5)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, ySubdivide, YSubdivide, 5)
    BRINDLE_PRIMITIVE_PARAM(TtexType, texture, Texture, kUnitTexture)
};
