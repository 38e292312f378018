#include "Render.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>

#include "brindle/brindle.h"

namespace {

struct V3 {
    double x = 0, y = 0, z = 0;
    V3 operator+(const V3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    V3 operator-(const V3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    V3 operator*(double s) const { return {x * s, y * s, z * s}; }
    double dot(const V3& o) const { return x * o.x + y * o.y + z * o.z; }
    V3 cross(const V3& o) const { return {y * o.z - z * o.y, z * o.x - x * o.z, x * o.y - y * o.x}; }
    double length() const { return std::sqrt(dot(*this)); }
    V3 unit() const {
        const double l = length();
        return l > 0 ? *this * (1.0 / l) : *this;
    }
};

V3 corner(const float* c, int k) { return {c[3 * k], c[3 * k + 1], c[3 * k + 2]}; }

const struct {
    const char* name;
    TrenderView view;
} kViews[] = {{"front", TrenderView::kFront}, {"back", TrenderView::kBack}, {"left", TrenderView::kLeft},
              {"right", TrenderView::kRight}, {"top", TrenderView::kTop},   {"bottom", TrenderView::kBottom},
              {"persp", TrenderView::kPersp}};

// A pinhole or orthographic camera framed on a box. Rays have a unit forward component, so a hit's
// parameter is its depth, and footprint(t) the width a pixel covers there.
class Tcamera {
public:
    // Framed on the corners of tris: the box's centre in the middle, every corner inside the
    // image with a margin.
    Tcamera(TrenderView view, const TpolyVoxelTriangleArray& tris, int width, int height)
        : fWidth(width), fHeight(height) {
        aim(view);
        float lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
        for (uint32_t i = 0; i < tris.size(); ++i) {
            const float* c = tris.corners(i);
            for (int k = 0; k < 9; ++k) lo[k % 3] = std::min(lo[k % 3], c[k]), hi[k % 3] = std::max(hi[k % 3], c[k]);
        }
        const V3 centre = V3{lo[0] + hi[0], lo[1] + hi[1], lo[2] + hi[2]} * 0.5;
        const double radius = (V3{hi[0], hi[1], hi[2]} - V3{lo[0], lo[1], lo[2]}).length() * 0.5;
        const double aspect = double(width) / height;
        // Half-angle tangents of a 30-degree vertical field, shrunk so the picture keeps a margin.
        const double tanV = std::tan(15.0 * kRadiansPerDegree), tanH = tanV * aspect, margin = 0.92;
        double needW = 0, needH = 0, distance = 0;
        for (uint32_t i = 0; i < tris.size(); ++i)
            for (int k = 0; k < 3; ++k) {
                const V3 q = corner(tris.corners(i), k) - centre;
                const double x = std::fabs(q.dot(fRight)), y = std::fabs(q.dot(fUp)), z = q.dot(fForward);
                needW = std::max(needW, x), needH = std::max(needH, y);
                distance = std::max(distance, std::max(x / (tanH * margin), y / (tanV * margin)) - z);
            }
        if (fOrtho) {
            // Fit the larger of the two extents to the image, keeping square pixels.
            if (needW == 0 && needH == 0) needW = needH = 1;
            if (needW < needH * aspect) needW = needH * aspect;
            fHalfW = needW * 1.08;
            fHalfH = fHalfW / aspect;
            fEye = centre - fForward * (2 * radius + 1);
        } else {
            fHalfW = tanH;
            fHalfH = tanV;
            distance = std::max(distance, radius * 1.01);
            fEye = centre - fForward * (distance > 0 ? distance : 1.0);
        }
    }

    void ray(int x, int y, TisectRay& r) const {
        const double sx = (x + 0.5) / fWidth * 2 - 1, sy = 1 - (y + 0.5) / fHeight * 2;
        const V3 side = fRight * (sx * fHalfW) + fUp * (sy * fHalfH);
        const V3 o = fOrtho ? fEye + side : fEye;
        const V3 d = fOrtho ? fForward : fForward + side;
        r.o[0] = o.x, r.o[1] = o.y, r.o[2] = o.z;
        r.d[0] = d.x, r.d[1] = d.y, r.d[2] = d.z;
    }
    double footprint(double t) const { return 2 * fHalfW / fWidth * (fOrtho ? 1.0 : t); }
    const V3& forward() const { return fForward; }
    const V3& right() const { return fRight; }
    const V3& up() const { return fUp; }

private:
    void aim(TrenderView view) {
        fOrtho = view != TrenderView::kPersp;
        V3 up{0, 1, 0};
        switch (view) {
            case TrenderView::kFront:
                fForward = {0, 0, -1};
                break;
            case TrenderView::kBack:
                fForward = {0, 0, 1};
                break;
            case TrenderView::kLeft:
                fForward = {1, 0, 0};
                break;
            case TrenderView::kRight:
                fForward = {-1, 0, 0};
                break;
            case TrenderView::kTop:
                fForward = {0, -1, 0}, up = {0, 0, -1};
                break;
            case TrenderView::kBottom:
                fForward = {0, 1, 0}, up = {0, 0, 1};
                break;
            case TrenderView::kPersp: {
                // 35 degrees round from the front towards the right, 25 degrees above.
                const double az = 35.0 * kRadiansPerDegree, el = 25.0 * kRadiansPerDegree;
                fForward = V3{std::sin(az) * std::cos(el), std::sin(el), std::cos(az) * std::cos(el)} * -1.0;
                break;
            }
        }
        fRight = fForward.cross(up).unit();
        fUp = fRight.cross(fForward);
    }

    int fWidth, fHeight;
    bool fOrtho = true;
    V3 fEye, fForward, fRight, fUp;
    double fHalfW = 1, fHalfH = 1;  // orthographic: world half extents; perspective: half-angle tangents
};

// The nearest hit of a ray among the accelerator's triangles (an index into its triangle list).
struct Thit {
    int64_t triangle = -1;
    double t = 0, b0 = 0, b1 = 0;
};

// Neighbouring pixels mostly see the same triangle: testing the last pixel's first bounds the
// walk at once, so that it opens only the boxes or voxels that could hold something nearer.
void trace(const TpolySpatialSubdivision& accel, const TisectRay& r, int64_t guess, Thit& hit) {
    const TpolyVoxelTriangleArray& tris = accel.triangles();
    hit.triangle = -1;
    double bound = std::numeric_limits<double>::max();
    TisectTriangleHit h;
    if (guess >= 0 && intersectTriangle(tris.corners(uint32_t(guess)), r, 0, bound, h))
        hit = {guess, h.t, h.b0, h.b1}, bound = h.t;
    const auto test = [&](uint32_t i, double& b) {
        if (intersectTriangle(tris.corners(i), r, 0, b, h) && (h.t < b || hit.triangle < 0))
            hit = {i, h.t, h.b0, h.b1}, b = h.t;
    };
    if (const TpolyVoxelGrid* grid = accel.voxelGrid()) {
        // The first voxel holding a hit inside itself holds the nearest: a nearer hit would lie in
        // an earlier voxel, where its triangle is filed too.
        for (TpolyVoxelWalker w(*grid, r); !w.isDone() && w.curVoxelStartRayParam() <= bound; w.next()) {
            uint32_t count = 0;
            const uint32_t* entries = grid->getVoxelContents(w.voxel(), count);
            double limit = std::min(w.curVoxelEndRayParam(), bound);
            for (uint32_t k = 0; k < count; ++k) test(entries[k], limit);
            if (hit.triangle >= 0 && hit.t <= w.curVoxelEndRayParam()) break;
        }
    } else {
        accel.hierarchy()->castRay(r, 0, bound, [&](uint32_t i, double b) {
            test(i, b);
            return b;
        });
    }
}

// The next corner round the loop of face corner o.
uint32_t nextCorner(const TpolyGeom& g, uint32_t face, uint32_t o) {
    if (!g.endOfLoop(o)) return o + 1;
    while (o > g.faceOffset(face) && !g.endOfLoop(o - 1)) --o;
    return o;
}

// The record's edge between two corners of a triangle of face, or -1 for a diagonal the
// triangulation added.
int64_t edgeBetween(const TpolyGeom& g, uint32_t face, uint32_t a, uint32_t b) {
    if (nextCorner(g, face, a) == b) return g.getEdge(a);
    if (nextCorner(g, face, b) == a) return g.getEdge(b);
    return -1;
}

struct Tshader {
    TpolyGeom& geom;
    const TpolySpatialSubdivision& accel;
    const Tcamera& camera;
    const TrenderOptions& options;
    V3 light;

    // Colour of a pixel whose ray r met the surface at hit.
    void shade(const TisectRay& r, const Thit& hit, uint8_t* out) const {
        const TpolyVoxelTriangleArray& tris = accel.triangles();
        const uint32_t tri = uint32_t(hit.triangle), face = tris.face(tri);
        uint32_t o[3];
        geom.getFaceTriangle(face, tris.triangle(tri), o);
        const double w[3] = {hit.b0, hit.b1, 1 - hit.b0 - hit.b1};
        V3 n;
        for (int k = 0; k < 3; ++k) {
            const T3dFltPoint& c = geom.getRefNormal(o[k]);
            n = n + V3{c.x, c.y, c.z} * w[k];
        }
        const T3dFltPoint& fn = geom.faceNormalConst(face);
        const V3 d{r.d[0], r.d[1], r.d[2]};
        const bool front = V3{fn.x, fn.y, fn.z}.dot(d) <= 0;
        n = front ? n.unit() : n.unit() * -1.0;
        // A key light above and to the left of the viewer and a weak headlight, over an ambient.
        double s = 0.22 + 0.66 * std::max(0.0, n.dot(light)) + 0.12 * std::max(0.0, -n.dot(camera.forward()));
        if (options.uvChecker && checkerDark(o, w)) s *= 0.6;
        static constexpr double kFront[3] = {178, 188, 206}, kBack[3] = {210, 146, 112};
        double c[3];
        for (int a = 0; a < 3; ++a) c[a] = (front ? kFront : kBack)[a] * s;
        switch (line(tris.corners(tri), o, face, w, camera.footprint(hit.t))) {
            case kWire:
                for (int a = 0; a < 3; ++a) c[a] = kRenderWire[a];
                break;
            case kHard: {
                static constexpr double kHardLine[3] = {58, 64, 80};
                for (int a = 0; a < 3; ++a) c[a] = 0.35 * c[a] + 0.65 * kHardLine[a];
                break;
            }
            case kNone:
                break;
        }
        for (int a = 0; a < 3; ++a) out[a] = uint8_t(std::clamp(c[a] + 0.5, 0.0, 255.0));
    }

private:
    enum Tline { kNone, kHard, kWire };

    // Whether the point of weights w on corners o lies on a dark square of the UV checker; corners
    // without UVs give no checker.
    bool checkerDark(const uint32_t o[3], const double w[3]) const {
        double u = 0, v = 0;
        for (int k = 0; k < 3; ++k) {
            const int32_t id = geom.getUVId(o[k], 0);
            const T2FloatPair* p = id < 0 ? nullptr : geom.uvConst(uint32_t(id), 0);
            if (!p) return false;
            u += w[k] * p->u, v += w[k] * p->v;
        }
        return (int64_t(std::floor(u * 8)) + int64_t(std::floor(v * 8))) & 1;
    }

    // The line a point lies on: within about a pixel of a record edge of the triangle (corners c
    // at face corners o, the point at weights w), wire for any edge with --wire, hard for a hard one.
    Tline line(const float* c, const uint32_t o[3], uint32_t face, const double w[3], double pixel) const {
        const V3 p[3] = {corner(c, 0), corner(c, 1), corner(c, 2)};
        const double twiceArea = (p[0] - p[2]).cross(p[1] - p[2]).length();
        Tline found = kNone;
        for (int k = 0; k < 3 && found != kWire; ++k) {
            // Distance to the side facing corner k: its weight times the triangle's height there.
            const V3 side = p[(k + 2) % 3] - p[(k + 1) % 3];
            if (w[k] * twiceArea > 0.7 * pixel * side.length()) continue;
            const int64_t e = edgeBetween(geom, face, o[(k + 1) % 3], o[(k + 2) % 3]);
            if (e < 0) continue;
            if (options.wire)
                found = kWire;
            else if (geom.isHard(uint32_t(e)))
                found = kHard;
        }
        return found;
    }
};

double processorSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

bool parseRenderView(const std::string& name, TrenderView& view) {
    for (const auto& v : kViews)
        if (name == v.name) {
            view = v.view;
            return true;
        }
    return false;
}

const char* renderViewNames() { return "front, back, left, right, top, bottom or persp"; }

void renderRays(const TpolyVoxelTriangleArray& tris, const TrenderOptions& options, std::vector<float>& rays) {
    const Tcamera camera(options.view, tris, options.width, options.height);
    rays.resize(size_t(options.width) * size_t(options.height) * 6);
    TisectRay r;
    float* out = rays.data();
    for (int y = 0; y < options.height; ++y)
        for (int x = 0; x < options.width; ++x, out += 6) {
            camera.ray(x, y, r);
            for (int a = 0; a < 3; ++a) out[a] = float(r.o[a]), out[3 + a] = float(r.d[a]);
        }
}

bool renderRecord(TpolyGeom& geom, const TrenderOptions& options, TrenderImage& image, TrenderTimes& times,
                  std::string& error) {
    if (options.uvChecker && (geom.nbMapSet() == 0 || geom.nbUV(0) == 0)) {
        error = "no UVs for --uv-checker";
        return false;
    }
    const double start = processorSeconds();
    geom.update(dirtyFaceOffsets | dirtyTriangles | dirtyFaceNormalize | dirtyNormalTopo | dirtyVertexNormals |
                dirtyVertexNormalize);
    const double derived = processorSeconds();
    const TpolySpatialSubdivision accel(geom, options.accelerator);
    const TpolyVoxelTriangleArray& tris = accel.triangles();
    if (tris.size() == 0) {
        error = "the record has no faces to draw";
        return false;
    }
    const Tcamera camera(options.view, tris, options.width, options.height);
    const double built = processorSeconds();

    const Tshader shader{geom, accel, camera, options,
                         (camera.right() * -0.45 + camera.up() * 0.6 - camera.forward() * 0.65).unit()};
    TrenderImage out;
    out.width = options.width;
    out.height = options.height;
    out.rgb.resize(size_t(out.width) * size_t(out.height) * 3);
    TisectRay r;
    Thit hit;
    for (int y = 0; y < out.height; ++y) {
        int64_t guess = -1;
        for (int x = 0; x < out.width; ++x) {
            camera.ray(x, y, r);
            trace(accel, r, guess, hit);
            uint8_t* px = out.rgb.data() + 3 * (size_t(y) * size_t(out.width) + size_t(x));
            if (hit.triangle < 0)
                std::copy(kRenderBackground, kRenderBackground + 3, px);
            else
                shader.shade(r, hit, px);
            guess = hit.triangle;
        }
    }
    times.derived = derived - start;
    times.build = built - derived;
    times.trace = processorSeconds() - built;
    image = std::move(out);
    return true;
}
