#include "brindle/base/PolyMap.h"

#include <cmath>

uint32_t TpolyMap::snapToPoint(const float point[2], float tolerance) {
    uint32_t moved = 0;
    for (T2FloatPair& uv : fValues) {
        if (std::fabs(uv.u - point[0]) > tolerance || std::fabs(uv.v - point[1]) > tolerance) continue;
        if (uv.u != point[0] || uv.v != point[1]) ++moved;
        uv = {point[0], point[1]};
    }
    return moved;
}

bool TpolyMap::compare(const TpolyMap& other, float tolerance) const {
    if (!(fIds == other.fIds) || fValues.size() != other.fValues.size()) return false;
    for (uint32_t i = 0; i < fValues.size(); ++i)
        if (std::fabs(fValues[i].u - other.fValues[i].u) > tolerance ||
            std::fabs(fValues[i].v - other.fValues[i].v) > tolerance)
            return false;
    return true;
}
