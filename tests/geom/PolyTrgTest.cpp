#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "brindle/brindle.h"

namespace {

using Loop = std::vector<T3dFltPoint>;

// Appends one face whose loops are the given point lists, each loop with edges of its own.
void addFace(TpolyGeom& g, const std::vector<Loop>& loops) {
    uint32_t total = 0;
    for (const Loop& l : loops) total += uint32_t(l.size());
    g.bgnFace(total);
    for (const Loop& l : loops) {
        const uint32_t first = g.nbVertex();
        for (const T3dFltPoint& p : l) g.appendVertex(p);
        const uint32_t n = uint32_t(l.size());
        for (uint32_t i = 0; i < n; ++i) g.refEdge(g.appendEdge(first + i, first + (i + 1) % n), kForward);
        g.endLoop();
    }
    g.endFace();
}

Loop square(float x0, float y0, float size, bool clockwise = false) {
    Loop l{{x0, y0, 0}, {x0 + size, y0, 0}, {x0 + size, y0 + size, 0}, {x0, y0 + size, 0}};
    if (clockwise) std::swap(l[1], l[3]);
    return l;
}

// Area of the loop projected on z = 0, by the shoelace formula (positive counter-clockwise).
double signedArea(const Loop& l) {
    double s = 0;
    for (size_t i = 0; i < l.size(); ++i) {
        const T3dFltPoint &a = l[i], &b = l[(i + 1) % l.size()];
        s += double(a.x) * b.y - double(b.x) * a.y;
    }
    return s / 2;
}

double cornerArea(const TpolyGeom& g, uint32_t offset, const unsigned short* t) {
    Loop tri;
    for (int k = 0; k < 3; ++k) tri.push_back(g.vertexConst(g.getStartVertex(offset + (t[k] & 0x7FFF))));
    return std::fabs(signedArea(tri));
}

// Triangles of face 0 through triangulateFace, with the sum of their areas in the z = 0 plane.
struct Cut {
    int count = 0;
    std::vector<unsigned short> tris;
    double area = 0;
};
Cut cutFace(TpolyGeom& g, uint32_t face = 0) {
    Cut c;
    g.update(dirtyFaceOffsets);
    c.tris.assign(3 * (g.faceVertexCount(face) + 2 * g.faceOrder(face)), 0xFFFF);
    c.count = g.triangulateFace(face, c.tris.data());
    for (int t = 0; t < c.count; ++t) c.area += cornerArea(g, g.faceOffset(face), &c.tris[3 * t]);
    return c;
}

// The shading normals the whole-record triangulation reads; one shared normal is enough for the
// ear priorities of a planar face, and an update that computes real ones replaces it.
void giveNormal(TpolyGeom& g) {
    if (g.norm()->fVertexNormals.empty()) g.norm()->fVertexNormals.addLast(T3dFltPoint(0, 0, 1));
}

// Opens triangulateFaceFromOffset, which the record keeps for its own use.
struct OpenGeom : TpolyGeom {
    using TpolyGeom::triangulateFaceFromOffset;
};

TEST(PolyTrg, SimpleAndConcaveFacesCoverTheirArea) {
    TpolyGeom g;
    addFace(g, {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}});
    Cut tri = cutFace(g);
    ASSERT_EQ(tri.count, 1);
    EXPECT_EQ(std::vector<unsigned short>(tri.tris.begin(), tri.tris.begin() + 3),
              (std::vector<unsigned short>{0, 1, 2}));

    // Convex quad, concave L, a comb with deep notches and a spiral: c - 2 triangles that tile
    // the face exactly (an overlap or a triangle outside would change the area).
    const std::vector<Loop> faces = {
        square(0, 0, 2),
        {{0, 0, 0}, {3, 0, 0}, {3, 1, 0}, {1, 1, 0}, {1, 3, 0}, {0, 3, 0}},
        {{0, 0, 0},
         {7, 0, 0},
         {7, 3, 0},
         {6, 3, 0},
         {6, 1, 0},
         {5, 1, 0},
         {5, 3, 0},
         {4, 3, 0},
         {4, 1, 0},
         {3, 1, 0},
         {3, 3, 0},
         {2, 3, 0},
         {2, 1, 0},
         {1, 1, 0},
         {1, 3, 0},
         {0, 3, 0}},
        {{0, 0, 0},
         {4, 0, 0},
         {4, 4, 0},
         {1, 4, 0},
         {1, 2, 0},
         {2, 2, 0},
         {2, 3, 0},
         {3, 3, 0},
         {3, 1, 0},
         {0.5f, 1, 0},
         {0.5f, 4, 0},
         {0, 4, 0}},
    };
    for (const Loop& l : faces) {
        TpolyGeom f;
        addFace(f, {l});
        Cut c = cutFace(f);
        EXPECT_EQ(c.count, int(l.size()) - 2) << l.size();
        EXPECT_NEAR(c.area, std::fabs(signedArea(l)), 1e-4) << l.size();
        for (int t = 0; t < c.count; ++t) EXPECT_FALSE(c.tris[3 * t + 1] & 0x8000);
    }

    // A face in a tilted plane seen from either side cuts the same way.
    TpolyGeom tilted;
    addFace(tilted, {{{0, 0, 0}, {2, 0, 2}, {2, 1, 2}, {1, 1, 1}, {1, 3, 1}, {0, 3, 0}}});
    addFace(tilted, {{{0, 3, 0}, {1, 3, 1}, {1, 1, 1}, {2, 1, 2}, {2, 0, 2}, {0, 0, 0}}});
    Cut front = cutFace(tilted, 0), back = cutFace(tilted, 1);
    EXPECT_EQ(front.count, 4);
    EXPECT_EQ(back.count, 4);
    // Areas in z = 0 of a face tilted by 45 degrees about y: its real area over sqrt 2.
    EXPECT_NEAR(front.area, back.area, 1e-4);
    EXPECT_NEAR(front.area, 4.0, 1e-4);
}

TEST(PolyTrg, HolesAreBridgedAndCounted) {
    TpolyGeom g;
    addFace(g, {square(0, 0, 4), square(1, 1, 2, true)});
    Cut one = cutFace(g);
    ASSERT_EQ(one.count, 8);
    EXPECT_NEAR(one.area, 16 - 4, 1e-4);

    // Many holes: a 4 by 3 grid of small square holes inside a large square.
    std::vector<Loop> loops{square(0, 0, 13)};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) loops.push_back(square(1 + 3.f * i, 1 + 4.f * j, 1.5f, true));
    TpolyGeom many;
    addFace(many, loops);
    many.update(dirtyFaceOffsets);
    EXPECT_EQ(many.triangleNumber(0), 4u * 13 + 2 * 12 - 2);
    Cut m = cutFace(many);
    EXPECT_EQ(m.count, 4 * 13 + 2 * 12 - 2);
    EXPECT_NEAR(m.area, 169 - 12 * 2.25, 1e-3);

    // Through the whole record: the same count, the end-of-face bit on the last triangle only.
    giveNormal(many);
    many.update(dirtyTriangles);
    ASSERT_EQ(many.nbTriangle(), 74u);
    uint32_t first = 99;
    EXPECT_EQ(many.trgFaceOrder(0, &first), 74u);
    EXPECT_EQ(first, 0u);
    for (uint32_t t = 0; t < 74; ++t) EXPECT_EQ(many.endOfTrgFace(t), t == 73) << t;
    EXPECT_TRUE(many.isTriangulationOk());
    uint32_t offsets[3];
    ASSERT_TRUE(many.getFaceTriangle(0, 73, offsets));
    EXPECT_FALSE(many.getFaceTriangle(0, 74, offsets));
    for (uint32_t k = 0; k < 3; ++k) EXPECT_EQ(many.cornerVertexOfTriangle(0, 73, k), many.getStartVertex(offsets[k]));

    // A hole outside the outer loop is never bridged: the cut covers the outer loop alone.
    TpolyGeom outside;
    addFace(outside, {square(0, 0, 1), square(5, 5, 1, true)});
    Cut o = cutFace(outside);
    EXPECT_EQ(o.count, 2);
    EXPECT_NEAR(o.area, 1, 1e-5);
}

TEST(PolyTrg, DegenerateFacesStillGiveTheirTriangles) {
    // Two coincident consecutive corners: c - 2 triangles, one of them without area.
    TpolyGeom dup;
    addFace(dup, {{{0, 0, 0}, {2, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}}});
    Cut d = cutFace(dup);
    ASSERT_EQ(d.count, 3);
    EXPECT_NEAR(d.area, 4, 1e-5);
    int flat = 0;
    for (int t = 0; t < 3; ++t) flat += cornerArea(dup, 0, &d.tris[3 * t]) < 1e-9;
    EXPECT_EQ(flat, 1);

    // Faces without area (all corners on a line, all corners at one point) and a bow tie.
    const std::vector<Loop> broken = {
        {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}},
        {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}},
        {{0, 0, 0}, {2, 2, 0}, {2, 0, 0}, {0, 2, 0}},
    };
    for (const Loop& l : broken) {
        TpolyGeom f;
        addFace(f, {l});
        Cut c = cutFace(f);
        ASSERT_EQ(c.count, int(l.size()) - 2);
        for (int i = 0; i < 3 * c.count; ++i) EXPECT_LT(c.tris[i] & 0x7FFF, l.size());
    }

    // A self-intersecting outline on which every ear holds a reflex corner, with or without the
    // jitter: the record falls back to the fan and marks its last triangle bad.
    const Loop crossed{{0, 3, 0}, {0, 2, 0}, {2, 1, 0}, {3, 3, 0}, {1, 0, 0}};
    TpolyGeom s;
    addFace(s, {crossed});
    addFace(s, {square(3, 0, 1)});
    Cut fan = cutFace(s);
    ASSERT_EQ(fan.count, 3);
    EXPECT_EQ(std::vector<unsigned short>(fan.tris.begin(), fan.tris.begin() + 9),
              (std::vector<unsigned short>{0, 1, 2, 0, 2, 3, 0, 3 | 0x8000, 4}));
    giveNormal(s);
    s.update(dirtyTriangles);
    ASSERT_EQ(s.nbTriangle(), 5u);
    EXPECT_EQ(s.firstTriangle(1), 3u);
    EXPECT_TRUE(s.markedBadTriangle(2));
    EXPECT_EQ(s.vertexOffset(2, 1), 3u);
    EXPECT_FALSE(s.markedBadTriangle(0) || s.markedBadTriangle(3) || s.markedBadTriangle(4));
    EXPECT_FALSE(s.isTriangulationOk());

    // Without shading normals the default function has none to give.
    OpenGeom bare;
    addFace(bare, {square(0, 0, 1)});
    bare.update(dirtyFaceOffsets);
    unsigned short out[6];
    EXPECT_EQ(OpenGeom::triangulateFaceFromOffset(&bare, 0, 0, 4, true, T4dFltVector(), out), -2);
    EXPECT_EQ(OpenGeom::triangulateFaceFromOffset(&bare, 0, 0, 4, false, T4dFltVector(), out), 2);
    EXPECT_EQ(bare.triangulateFace(7, out), -1);

    // The 2D kernel on its own: an outer loop under three points gives nothing.
    float two[4] = {0, 0, 1, 0};
    EXPECT_EQ(kvPolyTriangulate::compute(false, nullptr, two, 2, 0, 2, out), 0);
}

// The last call a user triangulation function received.
struct UserCall {
    std::vector<float> points, normals;
    std::vector<int> loopSizes;
    int triangleCount = 0;
    bool writeOutOfRange = false;
};
UserCall gUserCall;

void recordingTrg(const float* points, const float* normals, const int* loopSizes, int loopCount, int triangleCount,
                  unsigned short* triangles) {
    int corners = 0;
    gUserCall.loopSizes.assign(loopSizes, loopSizes + loopCount);
    for (int s : gUserCall.loopSizes) corners += s;
    gUserCall.points.assign(points, points + 3 * corners);
    gUserCall.normals.assign(normals, normals + 3 * corners);
    gUserCall.triangleCount = triangleCount;
    for (int t = 0; t < triangleCount; ++t) {
        triangles[3 * t] = static_cast<unsigned short>(t % corners);
        triangles[3 * t + 1] = static_cast<unsigned short>((t + 1) % corners);
        triangles[3 * t + 2] = gUserCall.writeOutOfRange ? 0xFFFF : static_cast<unsigned short>((t + 2) % corners);
    }
}

void otherTrg(const float*, const float*, const int*, int, int, unsigned short*) {}

TEST(PolyTrg, UserFunctionsAndTheirRegistry) {
    std::vector<std::string> messages;
    theErrorHandler().setCallback([&](std::string_view m) { messages.emplace_back(m); });
    EXPECT_TRUE(TpolyUserTrg::registerTrgFunc("rec", &recordingTrg));
    EXPECT_FALSE(TpolyUserTrg::registerTrgFunc("rec", &recordingTrg));
    EXPECT_FALSE(TpolyUserTrg::registerTrgFunc("rec", &otherTrg));
    TuserTrgFunction fn = nullptr;
    EXPECT_FALSE(TpolyUserTrg::getTrgFunc("none", fn));
    EXPECT_EQ(fn, nullptr);
    ASSERT_TRUE(TpolyUserTrg::getTrgFunc("rec", fn));
    EXPECT_EQ(fn, &recordingTrg);
    EXPECT_EQ(messages, (std::vector<std::string>{"The function is already registered.",
                                                  "The function with that name is already registered",
                                                  "Cannot find the triangulation function"}));
    EXPECT_TRUE(TpolyUserTrg::unregisterTrgFunc("rec"));
    EXPECT_FALSE(TpolyUserTrg::unregisterTrgFunc("rec"));
    EXPECT_TRUE(TpolyUserTrg::registerTrgFunc("rec", &otherTrg));
    EXPECT_TRUE(TpolyUserTrg::unregisterTrgFunc("rec"));
    theErrorHandler().resetCallback();

    // Installed in a record, the function gets every face, triangles included, with positions
    // in description order, loop sizes, and the first corner's normal repeated.
    TpolyGeom g;
    addFace(g, {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}});
    addFace(g, {square(0, 0, 4), square(1, 1, 2, true)});
    giveNormal(g);
    g.update(dirtyTriangles);
    g.setUserTrgFunct(fn);
    EXPECT_TRUE(g.isDirty(dirtyTriangles));
    g.update(dirtyTriangles);
    EXPECT_EQ(gUserCall.loopSizes, (std::vector<int>{4, 4}));
    EXPECT_EQ(gUserCall.triangleCount, 8);
    EXPECT_EQ(gUserCall.points[3 * 5 + 1], 3.0f);  // corner 5 is the hole's (1, 3)
    EXPECT_EQ(gUserCall.points[3 * 7], 3.0f);      // corner 7 its (3, 1)
    ASSERT_EQ(gUserCall.normals.size(), 24u);
    const T3dFltPoint& n = g.norm()->fVertexNormals[g.norm()->fNormalIds.empty() ? 0 : g.norm()->fNormalIds[3]];
    EXPECT_EQ(gUserCall.normals[21], n.x);
    EXPECT_EQ(gUserCall.normals[23], n.z);
    ASSERT_EQ(g.nbTriangle(), 9u);
    unsigned short t[3];
    g.getTriangle(1 + 7, t);
    EXPECT_EQ(t[0], 7);
    EXPECT_EQ(t[1], 0);
    EXPECT_EQ(t[2], 1);
    EXPECT_TRUE(g.isTriangulationOk());

    // A function that writes a corner the face does not have gets the fan instead.
    gUserCall.writeOutOfRange = true;
    g.markDirty(dirtyTriangles);
    g.update(dirtyTriangles);
    ASSERT_EQ(g.nbTriangle(), 9u);
    EXPECT_TRUE(g.markedBadTriangle(8));
    EXPECT_FALSE(g.isTriangulationOk());

    g.setUserTrgFunct(nullptr);
    g.update(dirtyTriangles);
    EXPECT_TRUE(g.isTriangulationOk());
    EXPECT_EQ(g.nbTriangle(), 9u);
}

// Random records on a small vertex set, valid and broken: random corners (repeats allowed),
// collinear points, holes inside and outside, faces of every size up to 12 corners.
TpolyGeom randomRecord(uint32_t seed) {
    std::mt19937 rng(seed);
    auto uni = [&](int n) { return int(rng() % uint32_t(n)); };
    TpolyGeom g;
    const int nv = 4 + uni(12);
    for (int v = 0; v < nv; ++v) {
        if (uni(4) == 0)
            g.appendVertex(float(v), 0, 0);  // many on one line
        else
            g.appendVertex(float(uni(5)), float(uni(5)), float(uni(3)));
    }
    const int nFace = 1 + uni(6);
    for (int f = 0; f < nFace; ++f) {
        const int loops = uni(3) == 0 ? 1 + uni(4) : 1;
        std::vector<std::vector<int>> vs(loops);
        uint32_t total = 0;
        for (auto& l : vs) {
            const int n = 3 + uni(uni(3) == 0 ? 10 : 3);
            for (int i = 0; i < n; ++i) l.push_back(uni(nv));
            total += n;
        }
        g.bgnFace(total);
        for (auto& l : vs) {
            for (size_t i = 0; i < l.size(); ++i) {
                const bool reversed = uni(2) == 0;
                const uint32_t a = l[i], b = l[(i + 1) % l.size()];
                g.refEdge(reversed ? g.appendEdge(b, a) : g.appendEdge(a, b), reversed ? kReversed : kForward);
            }
            g.endLoop();
        }
        g.endFace();
    }
    return g;
}

TEST(PolyTrg, RandomRecordsKeepTheTriangulationInvariants) {
    for (uint32_t seed = 0; seed < 400; ++seed) {
        SCOPED_TRACE(seed);
        TpolyGeom g = randomRecord(seed);
        giveNormal(g);
        g.update(dirtyAll);
        ASSERT_FALSE(g.isDirty(0x1FF));
        ASSERT_EQ(g.trg()->fFirstTriangle.size(), g.nbFace() + 1);
        EXPECT_EQ(g.firstTriangle(g.nbFace()), g.nbTriangle());
        for (uint32_t f = 0; f < g.nbFace(); ++f) {
            const uint32_t c = g.faceVertexCount(f), h = g.faceOrder(f) - 1;
            uint32_t first = 0;
            const uint32_t n = g.trgFaceOrder(f, &first);
            // Holes that no ear reaches (outside the outer loop) are left out, nothing else.
            EXPECT_LE(n, c + 2 * h - 2);
            if (h == 0) {
                EXPECT_EQ(n, c - 2);
            }
            ASSERT_GE(n, 1u);
            for (uint32_t t = first; t < first + n; ++t) {
                EXPECT_EQ(g.endOfTrgFace(t), t + 1 == first + n);
                for (uint32_t k = 0; k < 3; ++k) EXPECT_LT(g.vertexOffset(t, k), c);
            }
        }
        // Each edge side names a face that uses the edge in that direction.
        for (uint32_t e = 0; e < g.nbEdge(); ++e)
            for (uint32_t side = 0; side < 2; ++side) {
                const uint32_t w = g.topo()->fEdgeToFace[e].side[side];
                if (w == TpolyBits::kNoFace || (w & 0x40000000u)) continue;
                ASSERT_LT(w, g.nbFace());
                bool used = false;
                for (uint32_t o = g.faceOffset(w); o < g.faceOffset(w + 1); ++o)
                    used = used || (g.getEdge(o) == e && g.getDirection(o) == TedgeDirection(side));
                EXPECT_TRUE(used) << e << " side " << side;
            }
        for (uint32_t id : g.norm()->fNormalIds) EXPECT_LT(id, g.norm()->fVertexNormals.size());
        EXPECT_EQ(g.computeNbTriangle(), g.nbTriangle());
    }
}

// Faces with a grid-and-heap index must cut exactly as the plain ring scans do: star-shaped outer
// loops with coincident and snapped (tied) corners, a few holes, with and without normals.
TEST(PolyTrg, IndexedEarSearchCutsAsThePlainScan) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> unit(0, 1);
    const unsigned int saved = kvPolyTriangulate::setIndexedPoints(0);
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        const uint32_t outer = 3 + rng() % (round % 3 ? 80 : 600), holes = rng() % 5;
        const bool snap = round % 4 == 1;
        std::vector<float> points;
        auto add = [&](double x, double y) {
            if (snap) x = std::round(x * 2) / 2, y = std::round(y * 2) / 2;
            points.insert(points.end(), {float(x), float(y)});
        };
        for (uint32_t i = 0; i < outer; ++i) {
            const double a = -kTwoPi * i / outer, r = 10 * (0.5 + 0.5 * unit(rng));
            if (round % 4 == 2 && i % 5 == 4)
                add(points[points.size() - 2], points[points.size() - 1]);
            else
                add(r * std::cos(a), r * std::sin(a));
        }
        std::vector<float> markers;
        for (uint32_t h = 0; h < holes; ++h) {
            markers.insert(markers.end(), {float(points.size() / 2), 0});
            const uint32_t n = 3 + rng() % 10;
            for (uint32_t i = 0; i < n; ++i) {
                const double a = kTwoPi * i / n, r = 0.4 * (0.5 + 0.5 * unit(rng));
                add(-2.5 + 1.2 * h + r * std::cos(a), unit(rng) - 0.5 + r * std::sin(a));
            }
        }
        const uint32_t total = uint32_t(points.size() / 2);
        points.insert(points.end(), markers.begin(), markers.end());
        std::vector<float> normals(3 * total, 0.0f);
        for (uint32_t i = 0; i < total; ++i) normals[3 * i] = float(0.3 * unit(rng)), normals[3 * i + 2] = 1;
        std::vector<unsigned short> indexed(3 * (total + 2 * holes)), plain(indexed.size());
        const bool useNormals = round % 2;
        std::vector<float> work = points;
        kvPolyTriangulate::setIndexedPoints(0);
        const int a = kvPolyTriangulate::compute(useNormals, normals.data(), work.data(), int(outer), holes, total,
                                                 indexed.data());
        work = points;
        kvPolyTriangulate::setIndexedPoints(~0u);
        const int b =
            kvPolyTriangulate::compute(useNormals, normals.data(), work.data(), int(outer), holes, total, plain.data());
        ASSERT_EQ(a, b);
        if (!snap && round % 4 != 2 && holes == 0) {
            EXPECT_EQ(a, int(total - 2));
        }
        if (a > 0) {
            EXPECT_TRUE(std::equal(indexed.begin(), indexed.begin() + 3 * a, plain.begin()));
        }
    }
    kvPolyTriangulate::setIndexedPoints(saved);
}

}  // namespace
