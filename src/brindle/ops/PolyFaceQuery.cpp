#include "brindle/ops/PolyFaceQuery.h"

#include <cmath>

#include "brindle/geom/PolyGeom.h"

namespace TpolyFaceQuery {

T3dFltPoint getFaceCenterFromOffset(const TpolyGeom& geom, uint32_t offset, TpolyFaceInfo info) {
    uint32_t end = offset;
    while (!geom.endOfLoop(end)) ++end;
    double mean[3] = {0, 0, 0}, outline[3] = {0, 0, 0}, length = 0;
    for (uint32_t o = offset; o <= end; ++o) {
        const T3dFltPoint& a = geom.vertexConst(geom.getStartVertex(o));
        const T3dFltPoint& b = geom.vertexConst(geom.getEndVertex(o));
        const double l = info == kFaceInfoOutlineCentre
                             ? std::sqrt(double(b.x - a.x) * (b.x - a.x) + double(b.y - a.y) * (b.y - a.y) +
                                         double(b.z - a.z) * (b.z - a.z))
                             : 0;
        for (int k = 0; k < 3; ++k) {
            mean[k] += a[k];
            outline[k] += l * 0.5 * (double(a[k]) + b[k]);
        }
        length += l;
    }
    const double n = double(end - offset + 1);
    if (length > 0) return {float(outline[0] / length), float(outline[1] / length), float(outline[2] / length)};
    return {float(mean[0] / n), float(mean[1] / n), float(mean[2] / n)};
}

T3dFltPoint getFaceCenter(const TpolyGeom& geom, uint32_t face, TpolyFaceInfo info) {
    return getFaceCenterFromOffset(geom, geom.faceOffset(face), info);
}

uint32_t nextInLoop(const TpolyGeom& geom, uint32_t face, uint32_t offset) {
    if (!geom.endOfLoop(offset)) return offset + 1;
    uint32_t first = offset;
    while (first > geom.faceOffset(face) && !geom.endOfLoop(first - 1)) --first;
    return first;
}

bool markUVBorderEntries(const TpolyGeom& geom, const TbitFieldFixedN& faces, uint32_t s, TbitFieldFixedN& entries) {
    entries.resizeArray(geom.faceDescLength());
    entries.resetAll();
    if (s >= geom.nbMapSet()) return false;
    const int32_t* uv = geom.getUVIdArray(s);
    const uint32_t nbIds = geom.nbUVRef(s);
    auto id = [&](uint32_t o) { return o < nbIds ? uv[o] : -1; };
    // Whether face g uses edge e from b to a with the ids (ib, ia) at those ends.
    auto matches = [&](uint32_t g, uint32_t e, int32_t ia, int32_t ib) {
        for (uint32_t o = geom.faceOffset(g); o < geom.faceOffset(g + 1); ++o)
            if (geom.getEdge(o) == e && id(o) == ib && id(nextInLoop(geom, g, o)) == ia) return true;
        return false;
    };
    for (uint32_t f = 0; f < geom.nbFace() && f < faces.size(); ++f) {
        if (!faces.testBit(f)) continue;
        for (uint32_t o = geom.faceOffset(f); o < geom.faceOffset(f + 1); ++o) {
            const uint32_t e = geom.getEdge(o);
            const uint32_t other = geom.getEdgeFace(e).side[1 - geom.getDirection(o)];
            const bool inside = TpolyTopo::isSingleFace(other) && other != f && other < faces.size() &&
                                faces.testBit(other) && id(o) >= 0 &&
                                matches(other, e, id(o), id(nextInLoop(geom, f, o)));
            if (!inside) entries.setBit(o);
        }
    }
    return true;
}

}  // namespace TpolyFaceQuery
