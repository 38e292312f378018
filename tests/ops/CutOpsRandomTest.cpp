#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "ops/CutOpsSupport.h"

using cutops::mapFaults;
using opstest::bodyOf;
using opstest::recordState;

namespace {
// On a decorated record every corner's values are the same linear function of where it stands
// (its vertex id in "map1" u, "map2" u and the colour's red; its face id in "map2" v and green;
// constants elsewhere), so interpolating all sets with the same weights keeps them equal to one
// another. A collapse is the exception: it merges the shared UVs of the two ends everywhere but
// the per-corner values only in the faces on the collapsed edge, so after one (folded) "map1" is
// not compared with the others. Answers the corners that lost a value or whose values drifted
// apart.
int attributeFaults(TpolyGeom& g, bool folded = false) {
    g.update(dirtyFaceOffsets);
    int faults = 0;
    for (uint32_t o = 0; o < g.faceDescLength(); ++o) {
        float a[2], b[2], c[4];
        if (!g.getUV(uint32_t(g.getUVId(o, 0)), a, 0) || !g.getUV(uint32_t(g.getUVId(o, 1)), b, 1) ||
            !g.getColorByOffset(o, c, 0)) {
            ++faults;
            continue;
        }
        const float tol = 1e-3f * (1 + std::fabs(a[0]) + std::fabs(b[1]));
        if (std::fabs(a[1] - 0.25f) > tol || (!folded && std::fabs(a[0] - b[0]) > tol) ||
            std::fabs(b[0] - c[0]) > tol || std::fabs(b[1] - c[1]) > tol || c[2] != 0 || std::fabs(c[3] - 1) > tol) {
            ++faults;
        }
    }
    return faults;
}

TuInt32Array identity(uint32_t n) {
    TuInt32Array map(n + 1);
    for (uint32_t i = 0; i < n; ++i) map.addLast(i);
    return map;
}

class RandomSequence {
public:
    // Without collapses every step is checked with every set linked; once a collapse has run,
    // "map1" stays apart from the others for the rest of the sequence.
    RandomSequence(std::unique_ptr<TpolyGeom> g, uint32_t seed, bool collapses)
        : fBody(bodyOf(std::move(g))), fRng(seed), fCollapses(collapses) {}

    // One random operation, checked.
    void step() {
        TpolyGeom& g = *fBody->polyGeom();
        g.update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
        const TpolyGeom before(g);
        uint32_t op = pick(11);
        while (!fCollapses && (op == 1 || op == 5)) op = pick(11);
        TpolyIdMapper mapper(true, true, true);
        bool renumbers = true, keepsPositions = true, folds = false;
        std::string what;
        switch (op) {
            case 0:
            case 1:
            case 2:
            case 3: {
                TpolyDelEdgeFty fty;
                fty.setInternalMode(int(op));
                what = "delete edges, mode " + std::to_string(op);
                keepsPositions = op != 1;
                folds = op == 1;
                runRemover(fty, mapper, sample<TmidEdgeComponent>(g.nbEdge(), 50));
                break;
            }
            case 4:
            case 5: {
                TpolyDelFacetFty fty;
                if (op == 5) fty.setCollapseMode();
                what = op == 5 ? "collapse faces" : "delete faces";
                keepsPositions = op == 4;
                folds = op == 5;
                runRemover(fty, mapper, sample<TmidFaceComponent>(g.nbFace(), 50));
                break;
            }
            case 6: {
                TpolyDelVertexFty fty;
                what = "delete vertices";
                runRemover(fty, mapper, sample<TmidVertComponent>(g.nbVertex(), 30));
                break;
            }
            case 7:
                what = "split";
                renumbers = false;
                splitAcrossAFace(g);
                break;
            case 8:
                what = "split ring";
                renumbers = false;
                splitRing(g);
                break;
            case 9:
                what = cut(g, mapper, renumbers, keepsPositions);
                break;
            default:
                what = "extrude vertices";
                renumbers = false;
                extrude(g);
                break;
        }
        TpolyGeom& after = *fBody->polyGeom();
        EXPECT_EQ(after.checkObject(kCheckAll), 0u) << what;
        EXPECT_EQ(cutops::unusedOrDanglingAttributes(after), 0) << what;
        fFolded = fFolded || folds;
        EXPECT_EQ(attributeFaults(after, fFolded), 0) << what;
        // Without a renumbering every old id still names the same component.
        const TuInt32Array vm = renumbers ? *mapper.vertexMap() : identity(before.nbVertex());
        const TuInt32Array em = renumbers ? *mapper.edgeMap() : identity(before.nbEdge());
        const TuInt32Array fm = renumbers ? *mapper.faceMap() : identity(before.nbFace());
        EXPECT_EQ(mapFaults(before, after, vm, kPolyGrpVertex), 0) << what;
        EXPECT_EQ(mapFaults(before, after, em, kPolyGrpEdge), 0) << what;
        EXPECT_EQ(mapFaults(before, after, fm, kPolyGrpFace), 0) << what;
        if (keepsPositions) {
            EXPECT_EQ(cutops::movedVertices(before, after, vm), 0) << what;
        }
        refusals();
    }

    TpolyGeom& geom() { return *fBody->polyGeom(); }

private:
    uint32_t pick(uint32_t n) { return n ? uint32_t(fRng() % n) : 0; }
    float unit() { return std::uniform_real_distribution<float>(0, 1)(fRng); }

    // About one id in every, never none.
    template <typename List>
    List sample(uint32_t n, uint32_t every) {
        List list;
        for (uint32_t i = 0; i < n; ++i)
            if (pick(every) == 0) list.addElement(i);
        if (list.elementCount() == 0 && n) list.addElement(pick(n));
        return list;
    }

    template <typename Fty, typename List>
    void runRemover(Fty& fty, TpolyIdMapper& mapper, List list) {
        fty.setIdMapper(&mapper);
        EXPECT_EQ(fty.doAction(fBody.get(), &list), 0);
    }

    // From a point inside one edge of a random face to a point inside another of its edges.
    void splitAcrossAFace(TpolyGeom& g) {
        const uint32_t f = pick(g.nbFace());
        const uint32_t first = g.faceOffset(f), n = g.faceVertexCount(f);
        const uint32_t a = pick(n), b = (a + 1 + pick(n - 1)) % n;
        const int desc[2] = {int(0x80000000u | g.getEdge(first + a)), int(0x80000000u | g.getEdge(first + b))};
        const float t[2] = {0.1f + 0.8f * unit(), 0.1f + 0.8f * unit()};
        TpolySplitFty fty;
        fty.setDesc(desc);
        fty.setNbDesc(2);
        fty.setPercents(t);
        fty.setNbPercents(2);
        EXPECT_EQ(fty.doAction(fBody.get(), nullptr), 0);
    }

    // The edge ring through a random edge, cut at a random relative or absolute weight.
    void splitRing(TpolyGeom& g) {
        const uint32_t root = pick(g.nbEdge());
        TedgeRingIterator ring(&g, root);
        TmidEdgeComponent list;
        for (uint32_t e = ring.edge(); e != TpolyBits::kNoId; e = ring.next()) list.addElement(e);
        TpolySplitRingFty fty;
        fty.setRootEdge(int(root));
        fty.setStartWeight(0.1f + 0.8f * unit());
        const bool absolute = pick(2) == 0;
        fty.setAbsoluteWeight(absolute);
        fty.setDirection(pick(2) == 0);
        fty.setSmoothAngle(0.5);
        // An absolute weight can put two cuts of one face on the ends of one of its edges; the
        // editable geometry then refuses the loop, which must leave the record as it was. A
        // relative weight always cuts inside the edges.
        int name;
        ASSERT_TRUE(TmidModifierFty::getActiveGrpName(fBody.get(), &list, kPolyGrpEdge, name));
        g.update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
        const std::string state = recordState(g);
        const int result = fty.doAction(fBody.get(), nullptr);
        if (result != 0) {
            EXPECT_TRUE(absolute) << "a relative ring was refused";
            EXPECT_EQ(recordState(*fBody->polyGeom()), state);
        }
    }

    // A plane through a random vertex at a random angle across every face, then nothing, a
    // deletion or an extraction of the positive side.
    std::string cut(TpolyGeom& g, TpolyIdMapper& mapper, bool& renumbers, bool& keepsPositions) {
        const T3dFltPoint& p = g.vertexConst(pick(g.nbVertex()));
        TpolyCutFty fty;
        fty.setCenterXYZ({p.x + 1e-3 * unit(), p.y, p.z});
        fty.setRotate({6.3 * unit(), 6.3 * unit(), 0});
        const uint32_t then = pick(3);
        fty.setDelete(then == 1);
        fty.setExtract(then == 2);
        fty.setExtractOffset({0, 0, 0.5});
        fty.setIdMapper(&mapper);
        TmidFaceComponent all = opstest::allOf<TmidFaceComponent>(g.nbFace());
        EXPECT_EQ(fty.doAction(fBody.get(), &all), 0);
        renumbers = then == 1;
        keepsPositions = then != 2;
        return then == 0 ? "cut" : then == 1 ? "cut and delete" : "cut and extract";
    }

    void extrude(TpolyGeom& g) {
        TpolyExtrudeVertexFty fty;
        fty.setWidth(0.2f + 0.25f * unit());
        fty.setDivisions(int(pick(3)));
        TmidVertComponent list = sample<TmidVertComponent>(g.nbVertex(), 200);
        EXPECT_EQ(fty.doAction(fBody.get(), &list), 0);
    }

    // Inputs every operation refuses, each leaving the record byte for byte as it was.
    void refusals() {
        TpolyGeom& g = *fBody->polyGeom();
        const uint32_t ne = g.nbEdge();
        TmidEdgeComponent two;
        two.addElement(0);
        two.addElement(ne - 1);
        int name;
        ASSERT_TRUE(TmidModifierFty::getActiveGrpName(fBody.get(), &two, kPolyGrpEdge, name));
        g.update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
        const std::string state = recordState(g);
        const int outOfRange[2] = {int(0x80000000u | 0), int(0x80000000u | ne)};
        const int faceBit[2] = {int(0x80000000u | 0), int(0xC0000000u | 1)};
        const int valid[2] = {int(0x80000000u | 0), int(0x80000000u | (ne - 1))};
        const float t[2] = {0.5f, 0.5f}, nan[2] = {0.5f, std::nanf("")};
        struct Case {
            const int* desc;
            const float* percents;
            int points;  // the valid path announces a face point it does not have
        };
        for (const Case& c : {Case{outOfRange, t, 0}, Case{faceBit, t, 0}, Case{valid, t, 1}, Case{valid, nan, 0}}) {
            TpolySplitFty fty;
            fty.setDesc(c.desc);
            fty.setNbDesc(2);
            fty.setPercents(c.percents);
            fty.setNbPercents(2);
            fty.setNbPoints(c.points);
            EXPECT_EQ(fty.doAction(fBody.get(), nullptr), -1);
        }
        TpolySplitRingFty ring;
        ring.setRootEdge(int(ne / 2));  // outside the selection (ids 0 and ne - 1)
        EXPECT_EQ(ring.doAction(fBody.get(), nullptr), -1);
        TpolySplitFaceFty face;
        face.addEdge(ne + 3, 0.5f);
        face.addEdge(0, 0.5f);
        EXPECT_EQ(face.doAction(fBody.get(), nullptr), -1);
        TmidVertComponent vertices;
        TpolyCutFty cutter;
        EXPECT_EQ(cutter.doAction(fBody.get(), &vertices), -1);
        TpolyExtrudeVertexFty extruder;
        EXPECT_EQ(extruder.doAction(fBody.get(), &two), -1);
        EXPECT_EQ(recordState(*fBody->polyGeom()), state);
        g.removeObjectGroup(-1, kPolyGrpEdge);
    }

    std::unique_ptr<TmidBody> fBody;
    std::mt19937 fRng;
    bool fCollapses, fFolded = false;
};
}  // namespace

TEST(CutOpsRandom, SequencesOnSampleMeshesKeepRecordsValidAndDataAttached) {
    for (const char* sample : {"suzanne.obj", "cow.obj"})
        for (bool collapses : {false, true}) {
            auto g = opstest::decoratedSample(sample);
            if (!g) GTEST_SKIP() << "sample mesh missing";
            RandomSequence run(std::move(g), collapses ? 25 : 23, collapses);
            for (int step = 0; step < 40 && run.geom().nbFace() > 20; ++step) {
                SCOPED_TRACE(std::string(sample) + (collapses ? " with collapses" : "") + " step " +
                             std::to_string(step));
                run.step();
                if (HasFailure()) return;
            }
        }
}

namespace {
// A 2 x 2 grid with a fin: a fourth quad standing on the inner edge 3 (vertex 4 to 5), so that
// edge 3 has three faces and vertices 4 and 5 are not 2-manifold.
std::unique_ptr<TmidBody> finnedGrid() {
    auto g = std::make_unique<TpolyGeom>();
    buildQuadGrid(*g, 2);
    g->appendVertex(1, 1, 1);
    g->appendVertex(2, 1, 1);
    addRingFace(*g, {4, 5, 10, 9});
    attributed::decorate(*g);
    return bodyOf(std::move(g));
}

// Runs the factory on the finned grid with the list as the current group of its kind: it either
// succeeds with a valid record whose corners kept their values, or refuses leaving it as it was.
void expectSafe(TmidModifierFty& fty, TmidComponent* list, TpolyGrpType kind, const char* what, bool folds = false) {
    auto body = finnedGrid();
    TpolyGeom& g = *body->polyGeom();
    int name;
    if (list) {
        ASSERT_TRUE(TmidModifierFty::getActiveGrpName(body.get(), list, kind, name));
    }
    g.update(dirtyFaceOffsets | dirtyVertexToEdge | dirtyEdgeToFace);
    const std::string state = recordState(g);
    const int result = fty.doAction(body.get(), nullptr);
    TpolyGeom& after = *body->polyGeom();
    if (result == 0) {
        EXPECT_EQ(after.checkObject(kCheckAll), 0u) << what;
        EXPECT_EQ(cutops::unusedOrDanglingAttributes(after), 0) << what;
        EXPECT_EQ(attributeFaults(after, folds), 0) << what;
    } else {
        EXPECT_EQ(result, -1) << what;
        EXPECT_EQ(recordState(after), state) << what;
    }
}
}  // namespace

TEST(CutOpsRandom, NonManifoldInputGivesAValidRecordOrNoChange) {
    TmidEdgeComponent fin;
    fin.addElement(3);
    TmidVertComponent corner;
    corner.addElement(4);
    TmidFaceComponent finFace, all = opstest::allOf<TmidFaceComponent>(5);
    finFace.addElement(4);
    for (int mode : {0, 1, 2}) {
        TpolyDelEdgeFty fty;
        fty.setInternalMode(mode);
        expectSafe(fty, &fin, kPolyGrpEdge, "delete edge", mode == 1);
    }
    for (bool collapse : {false, true}) {
        TpolyDelFacetFty fty;
        if (collapse) fty.setCollapseMode();
        expectSafe(fty, &finFace, kPolyGrpFace, "delete face", collapse);
    }
    TpolyDelVertexFty delVertex;
    expectSafe(delVertex, &corner, kPolyGrpVertex, "delete vertex");
    // From the middle of the fin's foot to the middle of its top edge.
    auto probe = finnedGrid();
    const uint32_t top = probe->polyGeom()->nbEdge() - 2;
    const int desc[2] = {int(0x80000000u | 3), int(0x80000000u | top)};
    const float t[2] = {0.5f, 0.5f};
    TpolySplitFty split;
    split.setDesc(desc);
    split.setNbDesc(2);
    split.setPercents(t);
    split.setNbPercents(2);
    expectSafe(split, nullptr, kPolyGrpEdge, "split");
    TpolySplitRingFty ring;
    ring.setRootEdge(-1);
    ring.setStartWeight(0.5f);
    ring.setAbsoluteWeight(false);
    ring.setDirection(true);
    TmidEdgeComponent rungs;
    for (uint32_t e : {3u, 1u, 5u}) rungs.addElement(e);
    expectSafe(ring, &rungs, kPolyGrpEdge, "split ring");
    TpolyCutFty cut;
    cut.setRotate({0, kHalfPi, 0});
    cut.setCenterXYZ({1.5, 0, 0});
    for (int then : {0, 1, 2}) {
        cut.setDelete(then == 1);
        cut.setExtract(then == 2);
        expectSafe(cut, &all, kPolyGrpFace, "cut");
    }
    TpolyExtrudeVertexFty extrude;
    extrude.setLength(0.5f);
    extrude.setDivisions(2);
    expectSafe(extrude, &corner, kPolyGrpVertex, "extrude vertex");
}
