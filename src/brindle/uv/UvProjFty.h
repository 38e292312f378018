#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Metaclass.h"
#include "brindle/framework/ModifierFty.h"
#include "brindle/uv/UvSetFty.h"

class TpolyGeom;

// Base of the projections that give the active faces new UVs in one set from their vertex
// positions. After a projection every vertex of the faces has exactly one UV in the set, shared
// by all the faces round it (faces outside keep theirs; UVs only the faces used are reused
// before new ones are made). Positions are read through Matrix when it is not the identity; the
// record itself is never moved. The projection frame is C = (CenX, CenY, CenZ) rotated by
// (RotateX, RotateY, RotateZ); the result goes through the scale (U2D, V2D), the rotation Angle
// and the offset (Cen2DX, Cen2DY) in UV space.
class BRINDLE_API TpolyUvProjFty : public TpolyUvSetFty {
    BRINDLE_MODIFIER_CLASS()

#define BRINDLE_UVPROJ_PARAM(Name)         \
    float Name() const { return f##Name; } \
    void set##Name(float v) { f##Name = v; }
    BRINDLE_UVPROJ_PARAM(CenX)
    BRINDLE_UVPROJ_PARAM(CenY)
    BRINDLE_UVPROJ_PARAM(CenZ)
    BRINDLE_UVPROJ_PARAM(Cen2DX)
    BRINDLE_UVPROJ_PARAM(Cen2DY)
    BRINDLE_UVPROJ_PARAM(RotateX)
    BRINDLE_UVPROJ_PARAM(RotateY)
    BRINDLE_UVPROJ_PARAM(RotateZ)
    BRINDLE_UVPROJ_PARAM(U)
    BRINDLE_UVPROJ_PARAM(V)
    BRINDLE_UVPROJ_PARAM(U2D)
    BRINDLE_UVPROJ_PARAM(V2D)
    BRINDLE_UVPROJ_PARAM(Radius)
    BRINDLE_UVPROJ_PARAM(Angle)
#undef BRINDLE_UVPROJ_PARAM

    const T4dFltMatrix& Matrix() const { return fMatrix; }
    void setMatrix(const T4dFltMatrix& m) { fMatrix = m; }
    bool createNewMap() const { return fCreateNewMap; }
    void setCreateNewMap(bool v) { fCreateNewMap = v; }

    // The set to work on: false when the index is all ones or names no set.
    bool prepareToWorkOnCurrentMap(uint32_t& set, const TpolyGeom& geom) const;
    // Gives every vertex of the faces one UV id shared by the faces (see the class comment) and
    // fills vertexUV, by vertex, with that id or -1 outside the faces. False for a bad set.
    static bool grpProjectBegin(TpolyGeom* geom, Tint32Array& vertexUV, const std::vector<uint32_t>& faces,
                                uint32_t set);
    static void grpProjectEnd(Tint32Array& vertexUV) { vertexUV.clear(); }
    // Scale, rotate by angle and offset every UV (each once) of the faces of the current face
    // group; nothing for a bad set.
    static void newGrpProjectDoPost2D(TpolyGeom* geom, const T2FloatPair& scale, const T2FloatPair& offset,
                                      double angle, uint32_t set);

protected:
    int action(TmidBody* body, TmidComponent* components) override;
    // Writes the UV of every vertex whose vertexUV entry is set; points are the vertex positions
    // in the projection's object space. body and faces serve the seam correction.
    virtual void project(TmidBody* body, const std::vector<uint32_t>& faces, const T3dFltPoint* points,
                         const Tint32Array& vertexUV, uint32_t set) = 0;
    // The rotation of the frame, and the 2-D transform of the result applied to raw (ru, rv).
    T4dFltMatrix frameRotation(float rotateY) const;
    void postTransform(double ru, double rv, float out[2]) const;

private:
    float fCenX = 0, fCenY = 0, fCenZ = 0, fCen2DX = 0, fCen2DY = 0, fRotateX = 0, fRotateY = 0, fRotateZ = 0;
    float fU = 0, fV = 0, fU2D = 0, fV2D = 0, fRadius = 10, fAngle = 0;
    T4dFltMatrix fMatrix;
    bool fCreateNewMap = false;
};

// Planar projection onto the rectangle of half-sizes U, V about C (s and t run 0 to 1 across it,
// then 2s - 1 and 2t - 1 go through the 2-D transform), or, once perspective values are set, a
// camera projection through the perspective matrix fitted into the unit square with its aspect
// ratio kept.
class BRINDLE_API TpolyPlanProjFty : public TpolyUvProjFty {
    BRINDLE_MODIFIER_CLASS()

    void setPerspectiveTransValues(const T4dFltMatrix& m, int a, int b) {
        fPerspective = true;
        fPerspectiveMatrix = m;
        fImageA = a;
        fImageB = b;
    }
    bool perspective() const { return fPerspective; }

protected:
    void project(TmidBody* body, const std::vector<uint32_t>& faces, const T3dFltPoint* points,
                 const Tint32Array& vertexUV, uint32_t set) override;

private:
    bool fPerspective = false;
    T4dFltMatrix fPerspectiveMatrix;
    int32_t fImageA = 10, fImageB = 10;
};

// The frame of a wrapping projection: longitude about the pole axis measured from the reference
// axis, divided by the sweep, and either latitude (spherical) or height along the axis
// (cylindrical) divided by its own extent.
struct TwrapFrame {
    double centre[3] = {0, 0, 0}, pole[3] = {0, 1, 0}, ref[3] = {0, 0, 1};
    double sweep = 1, extent = 1;
    bool cylindrical = false;
    // Raw (ru, rv) of a point; pole says the longitude is undefined there (it is then 0).
    void raw(const T3dFltPoint& p, double& ru, double& rv, bool& pole) const;
};

// Base of the projections that wrap round an axis: every vertex gets the raw values of its
// subclass's frame, and either goes straight through the 2-D transform or, with SeamCorrect, has
// the longitude seam corrected on the raw values first (pole vertices carry the marker until then).
class BRINDLE_API TpolyWrapProjFty : public TpolyUvProjFty {
    BRINDLE_MODIFIER_CLASS()

    bool SeamCorrect() const { return fSeamCorrect; }
    void setSeamCorrect(bool v) { fSeamCorrect = v; }

protected:
    void project(TmidBody* body, const std::vector<uint32_t>& faces, const T3dFltPoint* points,
                 const Tint32Array& vertexUV, uint32_t set) override;
    virtual TwrapFrame frame() const = 0;

private:
    bool fSeamCorrect = false;
};

// Longitude over the sweep U and latitude over the sweep V, both in degrees.
class BRINDLE_API TpolySphProjFty : public TpolyWrapProjFty {
    BRINDLE_MODIFIER_CLASS()

protected:
    TwrapFrame frame() const override;
};

// Longitude over the sweep U (degrees) and height along the axis over the height V.
class BRINDLE_API TpolyCylProjFty : public TpolyWrapProjFty {
    BRINDLE_MODIFIER_CLASS()

protected:
    TwrapFrame frame() const override;
};
