// The contract every operation of the operation table keeps, checked on seeded random chains:
// random valid parameters and selections on decorated sample meshes (UV and colour sets, groups,
// creases, blind data). After each step the record passes checkObject, every UV, colour and
// normal id is in range and no position is NaN; a step that answers failure leaves the record
// byte-identical. A failure prints what replays it.
//
// BRINDLE_CONTRACT_SEED runs the one chain of that seed (without it, the fixed set of chains CI
// runs), BRINDLE_CONTRACT_STEPS sets the steps per chain, BRINDLE_CONTRACT_OPS (names separated
// by commas) restricts the operations drawn.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <exception>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "brindle/brindle.h"
#include "ops/OpsTestSupport.h"
#include "support/AttributedGrid.h"

namespace {

// Operations drawn only when BRINDLE_CONTRACT_OPS names them, each for a fault it still has.
const std::map<std::string, const char*> kKnownFaults = {};

// A record much larger than the samples slows every later step; the chain then goes on from a
// fresh copy of its sample.
constexpr uint32_t kMaxFaces = 30000;

struct Tsettings {
    bool seeded = false;
    uint32_t seed = 1;
    uint32_t steps = 12;
    std::vector<std::string> ops;  // empty: every operation but the known faults
};

Tsettings settings() {
    Tsettings s;
    if (const char* v = std::getenv("BRINDLE_CONTRACT_SEED")) s.seeded = true, s.seed = uint32_t(std::strtoul(v, nullptr, 10));
    if (const char* v = std::getenv("BRINDLE_CONTRACT_STEPS")) s.steps = uint32_t(std::strtoul(v, nullptr, 10));
    if (const char* v = std::getenv("BRINDLE_CONTRACT_OPS")) {
        std::stringstream names(v);
        for (std::string name; std::getline(names, name, ',');)
            if (!name.empty()) s.ops.push_back(name);
    }
    return s;
}

// The decorated samples, built once; each chain starts from a copy of one.
const std::vector<std::pair<std::string, std::unique_ptr<TpolyGeom>>>& samples() {
    static const auto all = [] {
        std::vector<std::pair<std::string, std::unique_ptr<TpolyGeom>>> s;
        s.emplace_back("cube", attributed::cube());
        s.emplace_back("grid", attributed::grid(6));
        for (const char* file : {"suzanne.obj", "woody.obj", "beetle.obj"})
            if (auto g = opstest::decoratedSample(file)) s.emplace_back(file, std::move(g));
        return s;
    }();
    return all;
}

// Everything recordState holds, then the blind data of each component kind.
std::string fullDump(const TpolyGeom& g) {
    std::string s = opstest::recordState(g);
    TdebugOutput out(-1);
    out.redirectToString(&s);
    for (const TpolyBdBlindData* bd : {g.vertexBlindData(), g.edgeBlindData(), g.faceBlindData()})
        if (bd) bd->debug(out);
    out.restore();
    return s;
}

// What is wrong with the record after a step, or an empty text.
std::string contractFaults(TpolyGeom& g) {
    std::ostringstream why;
    if (const uint32_t errors = g.checkObject(kCheckAll)) why << "checkObject answers " << errors << "; ";
    for (uint32_t v = 0; v < g.nbVertex(); ++v) {
        const T3dFltPoint& p = g.vertexConst(v);
        if (std::isnan(p.x) || std::isnan(p.y) || std::isnan(p.z)) {
            why << "vertex " << v << " is NaN; ";
            break;
        }
    }
    g.update(dirtyFaceOffsets);
    const uint32_t corners = g.faceDescLength();
    auto idsInRange = [&](const char* what, uint32_t set, const int32_t* ids, uint32_t n, uint32_t values) {
        if (n != 0 && n < corners) why << what << " set " << set << " has " << n << " ids for " << corners << " corners; ";
        for (uint32_t o = 0; o < std::min(n, corners); ++o)
            if (ids[o] < -1 || (ids[o] >= 0 && uint32_t(ids[o]) >= values)) {
                why << what << " set " << set << " corner " << o << " id " << ids[o] << " of " << values << "; ";
                return;
            }
    };
    for (uint32_t m = 0; m < g.nbMapSet(); ++m) idsInRange("UV", m, g.getUVIdArray(m), g.nbUVRef(m), g.nbUV(m));
    for (uint32_t c = 0; c < g.nbColorSet(); ++c)
        idsInRange("colour", c, g.getColorIdArray(c), g.nbColorRef(c), g.colorCount(c));
    g.update(dirtyNormalTopo | dirtyVertexNormals);
    if (g.nbNormalRef() != corners) why << g.nbNormalRef() << " normal ids for " << corners << " corners; ";
    for (uint32_t o = 0; o < std::min(g.nbNormalRef(), corners); ++o)
        if (g.getNormalId(o) >= g.nbVertexNormal()) {
            why << "corner " << o << " normal id " << g.getNormalId(o) << " of " << g.nbVertexNormal() << "; ";
            break;
        }
    return why.str();
}

// One chain: a copy of a sample and the random source every choice is drawn from.
class Tchain {
public:
    Tchain(const Tsettings& s, uint32_t seed, std::vector<const Toperation*> ops)
        : fSettings(s), fSeed(seed), fRng(seed), fOps(std::move(ops)) {
        fSample = pick(uint32_t(samples().size()));
        restart();
    }

    // Runs the steps; false after the first that broke the contract.
    bool run() {
        for (fStep = 1; fStep <= fSettings.steps; ++fStep)
            if (!step()) return false;
        return true;
    }

private:
    uint32_t pick(uint32_t n) { return n ? uint32_t(fRng() % n) : 0; }
    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(fRng); }

    void restart() { fBody = std::make_unique<TmidBody>(new TpolyGeom(*samples()[fSample].second)); }
    TpolyGeom& geom() { return *fBody->polyGeom(); }

    // A value of the parameter's type inside its range, as text; empty when the range does not
    // bound it (the default stays).
    std::string randomValue(const ToperationParam& p) {
        const TmodifierParamInfo& info = p.param->info;
        if (p.type() == TmodifierParamType::kBool) return pick(2) ? "1" : "0";
        if (std::isnan(info.lo) || std::isnan(info.hi) || p.type() == TmodifierParamType::kMatrix) return {};
        auto number = [&] {
            const bool integral = p.type() == TmodifierParamType::kInt || p.type() == TmodifierParamType::kUnsigned;
            return integral ? TmodifierText::format(int(std::floor(uniform(info.lo, info.hi + 1 - 1e-9))))
                            : TmodifierText::format(uniform(info.lo, info.hi));
        };
        switch (p.type()) {
            case TmodifierParamType::kPoint:
            case TmodifierParamType::kVector:
            case TmodifierParamType::kRotation:
                return number() + " " + number() + " " + number();
            default:
                return number();
        }
    }

    // About one id in `every` of the n, never none; or all of them, or one.
    void randomSelection(TmidComponent& list, uint32_t n) {
        const uint32_t mode = pick(5);
        if (mode == 0) {
            list.addRange(0, n - 1);
        } else if (mode == 1) {
            list.addElement(pick(n));
        } else {
            const uint32_t every = mode == 2 ? 2 : mode == 3 ? 6 : 25;
            for (uint32_t i = 0; i < n; ++i)
                if (pick(every) == 0) list.addElement(i);
            if (list.elementCount() == 0) list.addElement(pick(n));
        }
    }

    uint32_t randomEdgeOfFace(uint32_t f) {
        const TpolyGeom& g = *fBody->polyGeom();
        return g.getEdge(g.faceOffset(f) + pick(g.faceVertexCount(f)));
    }

    // The inputs some operations take beyond their parameters: edges, cut points, other bodies.
    // They are drawn from the selection when there is one. Answers a description for the replay.
    std::string extraInputs(const Toperation& op, TmidModifierFty& fty, const TmidComponent* list) {
        TpolyGeom& g = geom();
        const uint32_t chosen = list ? list->elementCount() ? list->element(pick(list->elementCount())) : 0 : 0;
        std::ostringstream d;
        if (op.name == "splitRing") {
            static_cast<TpolySplitRingFty&>(fty).setRootEdge(int(chosen));
            d << " root edge " << chosen;
        } else if (op.name == "wedgeFace") {
            const uint32_t e = randomEdgeOfFace(chosen);
            static_cast<TpolyWedgeFaceFty&>(fty).addEdge(int(e));
            d << " hinge edge " << e;
        } else if (op.name == "flipEdge") {
            Tint32Array edges;
            for (uint32_t k = 1 + pick(8); k-- > 0;) edges.addLast(int32_t(pick(g.nbEdge())));
            auto& flip = static_cast<TpolyFlipEdgeFty&>(fty);
            flip.setEdges(edges);
            flip.setNbEdges(int(edges.size()));
            d << " edges";
            for (int32_t e : edges) d << ' ' << e;
        } else if (op.name == "mergeEdge") {
            auto& merge = static_cast<TpolyMergeEdgeFty&>(fty);
            const uint32_t a = pick(g.nbEdge()), b = pick(g.nbEdge());
            merge.setFirstEdge(int(a));
            merge.setSecondEdge(int(b));
            d << " edges " << a << ' ' << b;
        } else if (op.name == "split" || op.name == "splitFace") {
            // From a point inside one edge of a random face to a point inside another.
            const uint32_t f = pick(g.nbFace()), first = g.faceOffset(f), n = g.faceVertexCount(f);
            const uint32_t a = pick(n), b = (a + 1 + pick(n - 1)) % n;
            const uint32_t ea = g.getEdge(first + a), eb = g.getEdge(first + b);
            fPercents[0] = float(uniform(0.1, 0.9)), fPercents[1] = float(uniform(0.1, 0.9));
            if (op.name == "split") {
                fDesc[0] = int(0x80000000u | ea), fDesc[1] = int(0x80000000u | eb);
                auto& split = static_cast<TpolySplitFty&>(fty);
                split.setDesc(fDesc);
                split.setNbDesc(2);
                split.setPercents(fPercents);
                split.setNbPercents(2);
            } else {
                auto& split = static_cast<TpolySplitFaceFty&>(fty);
                split.addEdge(ea, fPercents[0]);
                split.addEdge(eb, fPercents[1]);
            }
            d << " from edge " << ea << " at " << fPercents[0] << " to edge " << eb << " at " << fPercents[1];
        } else if (op.name == "unite") {
            fOther = std::make_unique<TmidBody>(new TpolyGeom(g));
            fObjects[0] = fBody.get(), fObjects[1] = fOther.get();
            fMatrices[0] = T4dDblMatrix();
            fMatrices[1] = T4dDblMatrix();
            fMatrices[1].m[3][0] = uniform(-2, 2);
            if (pick(2)) fMatrices[1].m[0][0] = -1;  // a mirrored copy turns its faces
            auto& unite = static_cast<TpolyUniteFty&>(fty);
            unite.setObjects(fObjects);
            unite.setMatrices(fMatrices);
            unite.setNbObjects(2);
            d << " with a copy moved by " << fMatrices[1].m[3][0] << (fMatrices[1].m[0][0] < 0 ? ", mirrored" : "");
        }
        return d.str();
    }

    static std::string idsText(const TmidComponent& list) {
        std::ostringstream s;
        const uint32_t n = list.elementCount();
        for (uint32_t i = 0; i < n && i < 40; ++i) s << (i ? "," : "") << list.element(i);
        if (n > 40) s << ",... (" << n << ")";
        return s.str();
    }

    // One random operation, checked; false when it broke the contract.
    bool step() {
        if (geom().nbFace() == 0 || geom().nbFace() > kMaxFaces) restart();
        TpolyGeom& g = geom();
        g.update(dirtyFaceOffsets);
        const Toperation& op = *fOps[pick(uint32_t(fOps.size()))];
        std::unique_ptr<TmidModifierFty> fty = op.create();
        std::ostringstream what;
        what << op.name;
        for (const ToperationParam& p : op.params) {
            if (pick(2) == 0) continue;
            const std::string value = randomValue(p);
            if (!value.empty() && p.param->set(*fty, value)) what << " --" << p.name() << " '" << value << "'";
        }
        std::unique_ptr<TmidComponent> list;
        if (op.selection != kPolyGrpNone) {
            const uint32_t n = ToperationTable::componentCount(g, op.selection);
            if (n == 0) return true;  // nothing of that kind to select: no step
            list = ToperationTable::newList(op.selection);
            randomSelection(*list, n);
            what << " --" << ToperationTable::selectionName(op.selection) << ' ' << idsText(*list);
        }
        what << extraInputs(op, *fty, list.get());
        const std::string before = fullDump(g);
        int result = -1;
        std::string thrown;
        try {
            result = fty->doAction(fBody.get(), list.get());
        } catch (const std::exception& e) {
            thrown = e.what();
        }
        TpolyGeom& after = geom();
        std::string faults = thrown.empty() ? std::string() : "threw " + thrown + "; ";
        if (result != 0 && fullDump(after) != before) faults += "answered " + std::to_string(result) + " but changed the record; ";
        faults += contractFaults(after);
        if (faults.empty()) return true;
        ADD_FAILURE() << "seed " << fSeed << " (" << samples()[fSample].first << "), step " << fStep << ": " << what.str()
                      << "\n  " << faults << "\n  replay: BRINDLE_CONTRACT_SEED=" << fSeed
                      << " BRINDLE_CONTRACT_STEPS=" << fStep
                      << (fSettings.ops.empty() ? std::string() : " BRINDLE_CONTRACT_OPS=" + opsText()) << " test_framework"
                      << " --gtest_filter='OperationContract.*'";
        return false;
    }

    std::string opsText() const {
        std::string s;
        for (const std::string& name : fSettings.ops) s += (s.empty() ? "" : ",") + name;
        return s;
    }

    const Tsettings& fSettings;
    const uint32_t fSeed;
    std::mt19937 fRng;
    std::vector<const Toperation*> fOps;
    uint32_t fSample = 0, fStep = 0;
    std::unique_ptr<TmidBody> fBody, fOther;
    // Inputs the factories point at, alive through doAction.
    int fDesc[2] = {0, 0};
    float fPercents[2] = {0, 0};
    TmidBody* fObjects[2] = {nullptr, nullptr};
    T4dDblMatrix fMatrices[2];
};

TEST(OperationContract, RandomChainsKeepTheContract) {
    ASSERT_GE(samples().size(), 2u);
    const Tsettings s = settings();
    std::vector<const Toperation*> ops;
    for (const std::string& name : s.ops) {
        const Toperation* op = ToperationTable::find(name);
        ASSERT_TRUE(op) << "unknown operation " << name;
        ops.push_back(op);
    }
    if (ops.empty())
        for (const Toperation& op : ToperationTable::all())
            if (!kKnownFaults.count(op.name)) ops.push_back(&op);
    ASSERT_FALSE(ops.empty());
    // The fixed set: 20 chains of 12 steps.
    const uint32_t first = s.seeded ? s.seed : 1, chains = s.seeded ? 1 : 20;
    for (uint32_t seed = first; seed < first + chains; ++seed) {
        Tchain chain(s, seed, ops);
        chain.run();
    }
}

// Chains that once ended in a broken record, replayed whole with the steps and operations that
// reached the fault.
TEST(OperationContract, ChainsThatOnceBrokeTheRecordStayWhole) {
    struct Treplay {
        uint32_t seed, steps;
        std::vector<std::string> ops;
    };
    const std::vector<std::string> deletions = {"extrudeFacet", "delEdge", "delFacet", "delVertex"};
    // A collapse turning a loop back on itself (27, 34, 50); a smoothed face with holes that
    // the triangulation could not split (251).
    const Treplay replays[] = {{27, 14, deletions}, {34, 16, deletions}, {50, 4, deletions}, {251, 31, {}}};
    for (const Treplay& r : replays) {
        Tsettings s;
        s.seeded = true;
        s.seed = r.seed;
        s.steps = r.steps;
        s.ops = r.ops;
        std::vector<const Toperation*> ops;
        for (const std::string& name : r.ops) ops.push_back(ToperationTable::find(name));
        if (ops.empty())
            for (const Toperation& op : ToperationTable::all()) ops.push_back(&op);
        Tchain chain(s, r.seed, ops);
        chain.run();
    }
}

}  // namespace
