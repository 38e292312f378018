// The operations that keep the element counts (move, soften, average, crease, reverse, conform,
// flip), each run the same way on the same inputs: decorated records, a scanned mesh, a
// non-manifold mesh, NaN positions and selections that name nothing.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "ops/OpsTestSupport.h"

using opstest::allOf;
using opstest::bodyOf;

namespace {

struct TcountKeepingOp {
    const char* name;
    TpolyGrpType kind;  // the kind of component list the operation reads
    std::function<int(TmidBody&, TmidComponent*)> run;
};

// Each operation with parameters that exercise its full path (random, local offsets, frames).
const std::vector<TcountKeepingOp>& operations() {
    static const std::vector<TcountKeepingOp> all = {
        {"move", kPolyGrpVertex,
         [](TmidBody& b, TmidComponent* list) {
             TpolyMoveVertexFty fty;
             fty.setScale({1.01f, 1, 0.99f});
             fty.setTrans({0.01f, 0, 0});
             fty.setLTrans({0, 0, 0.01f});
             fty.setRandom(0.5f);
             fty.setRandomSeed(3);
             return fty.doAction(&b, list);
         }},
        {"soften", kPolyGrpEdge,
         [](TmidBody& b, TmidComponent* list) {
             TpolySoftEdgeFty fty;
             fty.setAngle(0.5);
             return fty.doAction(&b, list);
         }},
        {"average", kPolyGrpVertex,
         [](TmidBody& b, TmidComponent* list) {
             TpolyAverageVertexFty fty;
             fty.setNbIter(3);
             return fty.doAction(&b, list);
         }},
        {"crease", kPolyGrpEdge,
         [](TmidBody& b, TmidComponent* list) {
             // A value for every listed edge, -1 (left out) for the others.
             TdoubleArray values(256);
             for (uint32_t e = 0; e < b.polyGeom()->nbEdge(); ++e) values.addLast(-1);
             if (list)
                 for (uint32_t e : *list)
                     if (e < values.size()) values[e] = 0.25 * (e % 4);
             TpolyCreaseEdgeFty fty;
             fty.setCreaseDataPtr(&values);
             return fty.doAction(&b, list);
         }},
        {"reverse", kPolyGrpFace,
         [](TmidBody& b, TmidComponent* list) {
             TpolyNormalFty fty;
             return fty.doAction(&b, list);
         }},
        {"conform", kPolyGrpFace,
         [](TmidBody& b, TmidComponent* list) {
             TpolyNormalFty fty;
             fty.setNormalMode(2);
             return fty.doAction(&b, list);
         }},
        {"flip", kPolyGrpEdge,
         [](TmidBody& b, TmidComponent* list) {
             // The flip reads its own edge list, filled from the component list.
             Tint32Array edges(256);
             if (list && list->midCompType() == kPolyGrpEdge)
                 for (uint32_t e : *list) edges.addLast(int32_t(e));
             TpolyFlipEdgeFty fty;
             fty.setEdges(edges);
             fty.setNbEdges(int(edges.size()));
             return fty.doAction(&b, nullptr);
         }},
    };
    return all;
}

std::unique_ptr<TmidComponent> listOf(TpolyGrpType kind, uint32_t n) {
    switch (kind) {
        case kPolyGrpVertex:
            return std::make_unique<TmidVertComponent>(allOf<TmidVertComponent>(n));
        case kPolyGrpEdge:
            return std::make_unique<TmidEdgeComponent>(allOf<TmidEdgeComponent>(n));
        default:
            return std::make_unique<TmidFaceComponent>(allOf<TmidFaceComponent>(n));
    }
}

uint32_t countOf(const TpolyGeom& g, TpolyGrpType kind) {
    return kind == kPolyGrpVertex ? g.nbVertex() : kind == kPolyGrpEdge ? g.nbEdge() : g.nbFace();
}

// The record's state without the current groups an operation's selection leaves behind.
std::string stateWithoutSelection(TpolyGeom& g) {
    TpolyGeom copy(g);
    for (TpolyGrpType kind : {kPolyGrpVertex, kPolyGrpEdge, kPolyGrpFace}) copy.removeGroup(-1, kind);
    return opstest::recordState(copy);
}

// Corners whose normal id holds a user normal. An edit may share a user normal with more
// corners (softened edges merge normal ids) but never drop one.
uint32_t cornersWithUserNormal(TpolyGeom& g) {
    g.update(dirtyAll);
    uint32_t n = 0;
    for (uint32_t o = 0; o < g.faceDescLength(); ++o) n += g.getValidUserNormal(g.getNormalId(o)) != nullptr;
    return n;
}

// A decorated record with one user normal set, on the first corner of face 0.
std::unique_ptr<TpolyGeom> withUserNormal(std::unique_ptr<TpolyGeom> g) {
    g->update(dirtyAll);
    g->setUserNormal(g->getNormalId(0), T4dFltVector(0, 0, 1));
    return g;
}

std::vector<std::pair<const char*, std::function<std::unique_ptr<TpolyGeom>()>>> inputs() {
    return {{"cube", [] { return withUserNormal(attributed::cube()); }},
            {"grid", [] { return withUserNormal(attributed::grid(4)); }},
            {"bunny", [] { return withUserNormal(opstest::bunny()); }}};
}

}  // namespace

TEST(CountKeepingOps, ConsistentCarryAttributesAndRepeatByteForByte) {
    for (const auto& [input, make] : inputs()) {
        for (const TcountKeepingOp& op : operations()) {
            SCOPED_TRACE(std::string(input) + " " + op.name);
            auto a = bodyOf(make()), b = bodyOf(make());
            TpolyGeom& g = *a->polyGeom();
            const uint32_t v = g.nbVertex(), e = g.nbEdge(), f = g.nbFace(), normals = cornersWithUserNormal(g);
            const int32_t faceGroup = g.findGrp(3, kPolyGrpFace);
            ASSERT_GE(faceGroup, 0);
            TsingleIndexedComponent members;
            members.copyData(*g.group(uint32_t(faceGroup)).singleItems());
            auto list = listOf(op.kind, countOf(g, op.kind));
            ASSERT_EQ(op.run(*a, list.get()), 0);
            ASSERT_EQ(op.run(*b, list.get()), 0);
            EXPECT_EQ(g.checkObject(kCheckAll), 0u);
            EXPECT_EQ(attributed::cornerErrors(g), 0);
            EXPECT_EQ(g.nbVertex(), v);
            EXPECT_EQ(g.nbEdge(), e);
            EXPECT_EQ(g.nbFace(), f);
            EXPECT_GE(cornersWithUserNormal(g), normals);
            // Face ids do not change, so the face groups keep their members.
            EXPECT_TRUE(g.group(uint32_t(g.findGrp(3, kPolyGrpFace))).singleItems()->isEqual(members));
            EXPECT_EQ(g.compareObject(*b->polyGeom()), 0u);
            EXPECT_TRUE(opstest::recordState(g) == opstest::recordState(*b->polyGeom()));
        }
    }
}

TEST(CountKeepingOps, SelectionsThatNameNothingChangeNothing) {
    for (const TcountKeepingOp& op : operations()) {
        SCOPED_TRACE(op.name);
        auto body = bodyOf(attributed::grid(3));
        TpolyGeom& g = *body->polyGeom();
        const TpolyGeom before(g);
        const std::string state = stateWithoutSelection(g);
        const bool flip = std::string(op.name) == "flip", move = std::string(op.name) == "move";
        // No list and no current group, and a list of another kind: refused.
        EXPECT_EQ(op.run(*body, nullptr), -1);
        TmidFaceComponent faces = allOf<TmidFaceComponent>(g.nbFace());
        TmidVertComponent vertices = allOf<TmidVertComponent>(g.nbVertex());
        TmidComponent* wrong = op.kind == kPolyGrpFace ? static_cast<TmidComponent*>(&vertices) : &faces;
        EXPECT_EQ(op.run(*body, wrong), -1);
        EXPECT_TRUE(stateWithoutSelection(g) == state);
        // An empty list and ids beyond the record: the move and the flip have nothing to work on
        // and refuse; the others run on an empty selection. Either way nothing changes.
        const int nothing = move || flip ? -1 : 0;
        auto empty = listOf(op.kind, 0);
        EXPECT_EQ(op.run(*body, empty.get()), nothing);
        EXPECT_TRUE(stateWithoutSelection(g) == state);
        // The flip tests each id and skips those out of range (it had a list, so it ran).
        auto beyond = listOf(op.kind, 0);
        beyond->addRange(countOf(g, op.kind), countOf(g, op.kind) + 5);
        EXPECT_EQ(op.run(*body, beyond.get()), move ? -1 : 0);
        EXPECT_TRUE(stateWithoutSelection(g) == state);
        EXPECT_EQ(g.compareObject(before), 0u);
    }
}

TEST(CountKeepingOps, NonManifoldMeshAndNaNPositionsStayConsistent) {
    auto beetle = opstest::decoratedSample("beetle.obj");
    ASSERT_NE(beetle, nullptr);
    for (const TcountKeepingOp& op : operations()) {
        SCOPED_TRACE(op.name);
        auto body = bodyOf(std::make_unique<TpolyGeom>(*beetle));
        TpolyGeom& g = *body->polyGeom();
        auto list = listOf(op.kind, countOf(g, op.kind));
        EXPECT_EQ(op.run(*body, list.get()), 0);
        EXPECT_EQ(g.checkObject(kCheckAll), 0u);
        EXPECT_EQ(attributed::cornerErrors(g), 0);

        auto grid = bodyOf(attributed::grid(3));
        TpolyGeom& h = *grid->polyGeom();
        h.vertex(5).z = std::numeric_limits<float>::quiet_NaN();
        auto all = listOf(op.kind, countOf(h, op.kind));
        EXPECT_EQ(op.run(*grid, all.get()), 0);
        EXPECT_EQ(h.checkObject(kCheckAll), 0u);
        EXPECT_EQ(attributed::cornerErrors(h), 0);
        // Vertex 15 shares no face with the NaN vertex, so it stays finite; averaging spreads
        // along edges and is left out.
        if (std::string(op.name) != "average") {
            EXPECT_TRUE(std::isfinite(h.vertexConst(15).z));
        }
    }
}
