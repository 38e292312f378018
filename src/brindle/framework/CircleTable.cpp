#include "brindle/framework/CircleTable.h"

#include <cmath>

TcircleTable::TcircleTable(uint32_t n) : TcircleTable(n, n ? kTwoPiF / float(n) : 0.0f) {}

TcircleTable::TcircleTable(uint32_t n, float step) {
    fPoints.changeLogicalSizeTo(n);
    if (n == 0) return;
    const float c = std::cos(step), s = std::sin(step);
    fPoints[n - 1] = {1.0f, 0.0f};
    for (uint32_t i = n - 1; i > 0; --i) {
        const T2FloatPair& next = fPoints[i];
        fPoints[i - 1] = {next.u * c - next.v * s, next.u * s + next.v * c};
    }
}

void TcircleTable::appendRing(T3dFltPointArray& out, float rho, float y) const {
    out.buffer(size());
    for (const T2FloatPair& p : fPoints) out.addLast(T3dFltPoint(rho * p.u, y, rho * p.v));
}
