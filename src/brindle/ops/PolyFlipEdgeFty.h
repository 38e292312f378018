#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/framework/ModifierFty.h"

class TpolyGeom;

// Turns the edge shared by two triangles into the other diagonal of their quadrilateral, for each
// edge of an explicit list in list order. An edge is flipped only when isFlippable answers
// kFlippable; each flip keeps both face ids, their common orientation and every corner's UVs,
// colours and normal id with the corner's vertex.
class BRINDLE_API TpolyFlipEdgeFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

public:
    enum : int {
        kFlippable = 4,
        kNotTwoFaces = 5,
        kUVSeam = 6,
        kHoledFace = 7,
        kConcaveQuad = 8,
        kNotTriangles = 9,
        kOutOfRange = 10
    };

    TpolyFlipEdgeFty() { setShouldClearCurrGroups(true); }
    TpolyFlipEdgeFty(const TpolyFlipEdgeFty&) = default;
    TpolyFlipEdgeFty& operator=(const TpolyFlipEdgeFty&) = default;

    // The list is copied; nbEdges limits how many of its entries an action reads.
    void setEdges(const Tint32Array& edges) { fEdges.copy(edges); }
    const Tint32Array& edges() const { return fEdges; }
    void setNbEdges(int n) { fNbEdges = n; }
    int nbEdges() const { return fNbEdges; }

    // One of the codes above (needs the face offsets and edge-to-face table up to date).
    int isFlippable(TpolyGeom* geom, int edge);

protected:
    int action(TmidBody* body, TmidComponent* components) override;
    int flipSingleEdge(TpolyGeom* geom, int edge);
    void flipEdge(TpolyGeom* geom, int edge);
    // The two faces' normals are parallel within 1e-5.
    bool isQuadPlanar(TpolyGeom* geom, int edge);
    // True when the quadrilateral (start, first face's third vertex, end, second face's third
    // vertex) is convex, that is when the flip is safe.
    bool willFlipEdgeIntersect(TpolyGeom* geom, int edge);

private:
    Tint32Array fEdges{256};
    int fNbEdges = 0;
};
