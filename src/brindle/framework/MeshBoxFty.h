#pragma once

#include <cstdint>
#include <memory>

#include "brindle/base/Export.h"
#include "brindle/framework/PrimitiveFty.h"

// The box, centred on the origin: a grid of quadrilaterals on each of its six sides, sharing the
// vertices and edges along the box's edges. With Q = (ny + nx)nz + ny nx it has 2Q faces, 4Q
// edges and 2Q + 2 vertices; exactly the edges on the twelve box edges are hard. Vertices, edges
// and faces run first around the ring front, top, back, bottom (about the x axis), then over the
// side x = W/2 and the side x = -W/2. Texture bit 0 asks for the shared unfolded UV layout, bit 1
// for one unit square per side; the per-side layout runs last when both are asked for.
class BRINDLE_API TmeshBoxFty : public TprimitiveFty {
public:
    enum TtexType : int32_t { kNoTexture = 0, kSharedLayout = 1, kFaceLayout = 2, kBothLayouts = 3 };

    void build(TmidBody& body) override;

    // Corrects the parameters (written back), builds the record and answers it, owned by the caller.
    std::unique_ptr<TpolyGeom> createBox();

    BRINDLE_PRIMITIVE_PARAM(float, width, Width, 1.0f)
    BRINDLE_PRIMITIVE_PARAM(float, height, Height, 1.0f)
    BRINDLE_PRIMITIVE_PARAM(float, depth, Depth, 1.0f)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, xSubdivide, XSubdivide, 1)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, ySubdivide, YSubdivide, 1)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, zSubdivide, ZSubdivide, 1)
    BRINDLE_PRIMITIVE_PARAM(TtexType, texture, Texture, kNoTexture)

private:
    void checkParameters();
    void createUVsForFaces(TpolyGeom& geom, uint32_t s) const;
    void createUVsForBox(TpolyGeom& geom, uint32_t s) const;
};
