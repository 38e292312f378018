#pragma once

#include <cstdint>
#include <memory>

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/framework/PrimitiveFty.h"

// The helix: a tube of radius `radius` swept along a helical path round the y axis, the coil of
// diameter `width` rising over `height` from y = -height/2, centred on the origin. The path turns
// numCoils times, counter-clockwise or clockwise seen from +y as `direction` says, in ySubdivide
// steps in total; each step ends in a ring of xSubdivide vertices round the path, and each end is
// closed by a cap of zSubdivide - 1 inner rings and a centre, so the surface is closed (Euler
// characteristic 2) and every face points out of the tube. With nx, ny, nz the counts:
// V = nx(ny + 2nz - 1) + 2, F = nx(ny + 2nz), E = nx(2ny + 4nz - 1). The rims at both ends are hard,
// and so are the edges along the path when nx <= 12 and the rings when a path step turns by more
// than pi/6. Texture 1 gives shared UVs (the tube unrolled, a disc per cap), 2 a unit square or
// triangle of its own to every face, 0 a named set without UVs.
class BRINDLE_API TpolyHelixFty : public TprimitiveFty {
public:
    enum TdirType : int32_t { kClockwise = 0, kCounterClockwise = 1 };
    enum TtexType : int32_t { kNoTexture = 0, kSharedTexture = 1, kFaceTexture = 2 };

    void build(TmidBody& body) override;

    // Takes the path length, corrects the parameters (written back), builds the record and answers
    // it, owned by the caller.
    std::unique_ptr<TpolyGeom> createHelix();

    BRINDLE_PRIMITIVE_PARAM(float, numCoils, NumCoils, 3.0f)
    BRINDLE_PRIMITIVE_PARAM(float, height, Height, 5.0f)
    BRINDLE_PRIMITIVE_PARAM(float, width, Width, 5.0f)
    BRINDLE_PRIMITIVE_PARAM(float, radius, Radius, 0.4f)
    BRINDLE_PRIMITIVE_PARAM(TdirType, direction, Direction, kCounterClockwise)
    BRINDLE_PRIMITIVE_PARAM(TtexType, texture, Texture, kFaceTexture)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, xSubdivide, XSubdivide, 8)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, ySubdivide, YSubdivide, 50)
    BRINDLE_PRIMITIVE_PARAM(uint32_t, zSubdivide, ZSubdivide, 1)

private:
    // The path length scales the tube's v so that its UVs keep the aspect of the surface.
    std::unique_ptr<TpolyGeom> buildHelix(float tubeRadius, float length, float coils, uint32_t nx, uint32_t ny,
                                          uint32_t nz, TdirType dir, TtexType tex) const;
    // Places a point given in the frame of the path's start at path angle `angle`: the path's frame
    // turns rigidly round y while it rises, so this is a rotation about y and a lift.
    void transformPoint(T3dFltPoint& result, const T3dFltPoint& point, float angle, TdirType dir) const;
};
