#pragma once

#include <cstdint>

#include "brindle/geom/PolyTypes.h"
#include "brindle/subdiv/CatmullClarkHierarchy.h"

// The ids [lo, lo + count) that the components a group of this type holds take at one level of
// the hierarchy: the extractor and the subdivider both carry sorted group lists level by level.
// False for a group type the hierarchy does not number.
inline bool levelIds(const TpolyCatmullClarkHierarchy& h, TpolyGrpType type, uint32_t level, uint32_t& lo,
                     uint32_t& count) {
    switch (type) {
        case kPolyGrpVertex:
            lo = h.vertexStart(level), count = h.nbVertexAt(level);
            return true;
        case kPolyGrpEdge:
            lo = h.edgeStart(level), count = h.nbEdgeAt(level);
            return true;
        case kPolyGrpFace:
            lo = h.faceStart(level), count = h.nbFaceAt(level);
            return true;
        default:
            return false;
    }
}
