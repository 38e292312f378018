// Component property tests of the record, and the centre colour of a face.

#include <cmath>

#include "brindle/base/VectorMath.h"
#include "brindle/geom/PolyGeom.h"

bool TpolyGeom::faceTurnsOneWay(uint32_t face, bool fromCentre) const {
    if (face >= nbFace() || face + 1 >= faceOffsetArray().size()) return false;
    const uint32_t first = faceOffset(face), count = faceVertexCount(face);
    if (count < 3 || first + count > faceDescLength() || !endOfLoop(first + count - 1)) return false;
    for (uint32_t o = first; o + 1 < first + count; ++o)
        if (endOfLoop(o)) return false;
    for (uint32_t o = first; o < first + count; ++o)
        if (getEdge(o) >= nbEdge() || getStartVertex(o) >= nbVertex()) return false;
    const T4dFltVector n = computeLoopVector(first);
    T3dDblVector centre;
    for (uint32_t k = 0; k < count; ++k) centre += T3dDblVector(vertexConst(getStartVertex(first + k)));
    centre = centre * (1.0 / count);
    // Vector k: from the centre to corner k, or along the edge leaving corner k.
    auto vectorAt = [&](uint32_t k) {
        const T3dDblVector p(vertexConst(getStartVertex(first + k % count)));
        const T3dDblVector q(vertexConst(getStartVertex(first + (k + 1) % count)));
        return fromCentre ? p - centre : q - p;
    };
    for (uint32_t k = 0; k < count; ++k)
        if (dot(cross(vectorAt(k), vectorAt(k + 1)), n) < -1e-10) return false;
    return true;
}

bool TpolyGeom::checkProperty(uint32_t id, TpolyProperty property, int32_t set) {
    const uint32_t uvSet = set < 0 ? uint32_t(getCurrentMap()) : uint32_t(set);
    switch (property) {
        case kPolyPropBorderEdge:
            update(dirtyEdgeToFace);
            return id < nbEdge() && id < topo()->fEdgeToFace.size() && isBorder(id);
        case kPolyPropHardEdge:
            return id < nbEdge() && isHard(id);
        case kPolyPropUVBorderEdge:
            update(dirtyEdgeToFace);
            return id < nbEdge() && uvSet < nbMapSet() && isUVBorder(id, uvSet);
        case kPolyPropNonManifoldVertex:
            update(dirtyVertexToEdge);
            return id < nbVertex() && id < topo()->fVertexToEdge.size() && !isVertexTwoManifold(id);
        default:
            break;
    }
    update(dirtyFaceOffsets);
    if (id >= nbFace() || id + 1 >= faceOffsetArray().size()) return false;
    switch (property) {
        case kPolyPropHoledFace:
            return faceOrder(id) > 1;
        case kPolyPropStarFace:
            return faceTurnsOneWay(id, true);
        case kPolyPropConvexFace:
            return faceTurnsOneWay(id, false);
        case kPolyPropMappedFace:
            if (uvSet >= nbMapSet() || faceVertexCount(id) == 0) return false;
            for (uint32_t o = faceOffset(id); o < faceOffset(id + 1); ++o)
                if (!isMappedAtOffset(o, uvSet)) return false;
            return true;
        default:
            return false;
    }
}

bool TpolyGeom::getColorFaceCenter(uint32_t face, TpolyFaceInfo kind, TpolyColorValue& out, uint32_t s) const {
    if (kind != kFaceInfoOutlineCentre) return getFaceColor(face, out, s);
    if (face >= nbFace() || face + 1 >= faceOffsetArray().size()) return false;
    const uint32_t first = faceOffset(face);
    uint32_t end = first;
    while (end < faceOffset(face + 1) && end < faceDescLength() && !endOfLoop(end)) ++end;
    if (end >= faceOffset(face + 1) || end >= faceDescLength()) return false;
    float corner[4] = {0, 0, 0, 0}, next[4];
    double weighted[4] = {0, 0, 0, 0}, mean[4] = {0, 0, 0, 0}, length = 0;
    if (!getColorByOffset(first, corner, s)) return false;
    for (uint32_t o = first; o <= end; ++o) {
        if (!getColorByOffset(o == end ? first : o + 1, next, s) || getEdge(o) >= nbEdge()) return false;
        const uint32_t a = getStartVertex(o), b = getEndVertex(o);
        if (a >= nbVertex() || b >= nbVertex()) return false;
        const T3dFltPoint d = vertexConst(b) - vertexConst(a);
        const double l = ::length(d);
        for (int i = 0; i < 4; ++i) {
            weighted[i] += l * (double(corner[i]) + next[i]) / 2;
            mean[i] += corner[i];
            corner[i] = next[i];
        }
        length += l;
    }
    const double corners = end - first + 1;
    auto channel = [&](int i) { return float(length > 0 ? weighted[i] / length : mean[i] / corners); };
    out = {channel(0), channel(1), channel(2), channel(3)};
    return true;
}
