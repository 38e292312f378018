#pragma once

#include <cstdint>
#include <memory>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/framework/PrimitiveFty.h"

// The platonic solids and the truncated icosahedron, centred on the origin, sized by whichever of
// radius (circumradius) and edge length was set last (-1: not set). Every edge is hard and every
// face is wound to face away from the centre. The working lists hold the unit shape between its
// construction and the record: vertices, face sizes and the faces' vertex ids in turn.
class BRINDLE_API TmeshSolidsFty : public TprimitiveFty {
public:
    // Any value other than 1 to 4 gives the truncated icosahedron.
    enum TsolidType : int32_t {
        kTruncatedIcosahedron = 0,
        kDodecahedron = 1,
        kIcosahedron = 2,
        kOctahedron = 3,
        kTetrahedron = 4
    };
    enum TtexType : int32_t { kNoTexture = 0 };

    // Does nothing, the body keeping its record, when neither a size is set.
    void build(TmidBody& body) override;

    // Corrects the size (written back) and answers the new record, owned by the caller; null when
    // the radius is negative and the length not positive.
    std::unique_ptr<TpolyGeom> createSolid();

    float radius() const { return fRadius; }
    void setRadius(float r) {
        fRadius = r;
        fLength = -1.0f;
    }
    float length() const { return fLength; }
    void setLength(float l) {
        fLength = l;
        fRadius = -1.0f;
    }

private:
    void addVtx(float x, float y, float z);
    void addFace(uint32_t n, const int32_t* ids);
    void buildTetrahedron();
    void buildOctahedron();
    void buildIcosahedron();
    void buildDodecahedron();
    void buildTruncatedIcosahedron();
    std::unique_ptr<TpolyGeom> buildMesh() const;
    void adjustToSolidParameters(TpolyGeom& geom) const;

    T4dFltPointArray fPoints;
    Tint32Array fFaceSizes;
    Tint32Array fFaceVertices;
    float fRadius = -1.0f;
    float fLength = -1.0f;

    BRINDLE_PRIMITIVE_PARAM(TsolidType, type, Type, kTruncatedIcosahedron)
    BRINDLE_PRIMITIVE_PARAM(TtexType, texture, Texture, kNoTexture)
};
