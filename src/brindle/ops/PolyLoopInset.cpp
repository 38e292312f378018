#include "brindle/ops/PolyLoopInset.h"

#include <algorithm>
#include <cmath>

#include "brindle/base/Transform.h"

namespace {
constexpr double kEps = 1e-5;

double signedArea(const std::vector<double>& xy, uint32_t n) {
    double a = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t j = i + 1 == n ? 0 : i + 1;
        a += xy[2 * i] * xy[2 * j + 1] - xy[2 * j] * xy[2 * i + 1];
    }
    return 0.5 * a;
}
}  // namespace

bool TpolyLoopInset::inset(const T3dFltPoint* corners, uint32_t n, const T4dFltVector& normal, float q,
                           std::vector<T3dFltPoint>& displacement) {
    displacement.assign(n, T3dFltPoint(0, 0, 0));
    if (n < 3 || !(std::fabs(q) > kEps) || normal.dot(normal) == 0) return false;
    // Q carries the normal onto z; the loop is worked on in the xy plane of that frame.
    T4dDblMatrix rot;
    Tquaternion(normal, T4dFltVector::zAxis).toMatrix(rot);
    fDir.resize(n);
    fVelocity.resize(n);
    fMoved.assign(n, Tv2{});
    fLength.resize(n);
    fValid.resize(n);
    std::vector<double>& xy = fXY;
    xy.resize(2 * size_t(n));
    for (uint32_t i = 0; i < n; ++i) {
        const T3dFltPoint& p = corners[i];
        for (int k = 0; k < 2; ++k) xy[2 * i + k] = p.x * rot.m[0][k] + p.y * rot.m[1][k] + p.z * rot.m[2][k];
    }
    const double a0 = signedArea(xy, n);
    if (std::fabs(a0) < kEps) return false;
    const double s = q >= 0 ? 1.0 : -1.0;
    double r = std::fabs(q);
    // Each step either uses up the distance or makes at least one more edge vanish.
    for (uint32_t step = 0; step <= n && r >= kEps; ++step) {
        uint32_t valid = 0;
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t j = i + 1 == n ? 0 : i + 1;
            const double dx = xy[2 * j] - xy[2 * i], dy = xy[2 * j + 1] - xy[2 * i + 1];
            fLength[i] = std::sqrt(dx * dx + dy * dy);
            fValid[i] = fLength[i] >= kEps;
            fDir[i] = fValid[i] ? Tv2{dx / fLength[i], dy / fLength[i]} : Tv2{dx, dy};
            valid += fValid[i];
        }
        if (valid < 3) break;
        // The velocity of corner i from the nearest edges with a direction on either side, so
        // that the corners of a vanished edge share one velocity.
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t in = i == 0 ? n - 1 : i - 1, out = i;
            while (!fValid[in]) in = in == 0 ? n - 1 : in - 1;
            while (!fValid[out]) out = out + 1 == n ? 0 : out + 1;
            const Tv2 u0 = fDir[in], u1 = fDir[out];
            Tv2 b{u1.x - u0.x, u1.y - u0.y};
            const double bl = std::sqrt(b.x * b.x + b.y * b.y);
            if (bl < kEps) {
                fVelocity[i] = Tv2{s * u0.y, -s * u0.x};
                continue;
            }
            b.x /= bl;
            b.y /= bl;
            const double c = b.x * u0.y - u0.x * b.y;
            fVelocity[i] = std::fabs(c) > kEps ? Tv2{b.x * s / c, b.y * s / c} : Tv2{-s * b.x, -s * b.y};
        }
        double h = r;
        for (uint32_t i = 0; i < n; ++i) {
            if (!fValid[i]) continue;
            const uint32_t j = i + 1 == n ? 0 : i + 1;
            const double rate =
                (fVelocity[i].x - fVelocity[j].x) * fDir[i].x + (fVelocity[i].y - fVelocity[j].y) * fDir[i].y;
            if (rate >= kEps) h = std::min(h, fLength[i] / rate);
        }
        for (uint32_t i = 0; i < n; ++i) {
            xy[2 * i] += h * fVelocity[i].x;
            xy[2 * i + 1] += h * fVelocity[i].y;
            fMoved[i].x += h * fVelocity[i].x;
            fMoved[i].y += h * fVelocity[i].y;
        }
        r -= h;
        // A loop that has shrunk to nothing (or would turn over) is not walked further.
        if (signedArea(xy, n) * a0 < kEps) break;
    }
    // Back into the loop's frame: the rotation is orthonormal, so its inverse is its transpose.
    bool moved = false;
    for (uint32_t i = 0; i < n; ++i) {
        const Tv2& m = fMoved[i];
        displacement[i] =
            T3dFltPoint(float(m.x * rot.m[0][0] + m.y * rot.m[0][1]), float(m.x * rot.m[1][0] + m.y * rot.m[1][1]),
                        float(m.x * rot.m[2][0] + m.y * rot.m[2][1]));
        moved = moved || m.x != 0 || m.y != 0;
    }
    return moved;
}
