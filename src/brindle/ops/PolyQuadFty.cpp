#include "brindle/ops/PolyQuadFty.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "brindle/base/VectorMath.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyFaceCarry.h"
#include "brindle/ops/PolyReferenceFrame.h"
#include "brindle/ops/PolyTriangulateFty.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyQuadFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(
    TpolyQuadFty::sMetaclass, kPolyGrpFace,
    {BRINDLE_MODIFIER_PARAM(TpolyQuadFty, Angle, "largest allowed bend of a quad, radians; above pi counts as pi", 0,
                            kPi),
     BRINDLE_MODIFIER_PARAM(TpolyQuadFty, KeepGrp, "keep edges between faces of different named face groups"),
     BRINDLE_MODIFIER_PARAM(TpolyQuadFty, KeepMap, "keep the UV seams of the current UV set"),
     BRINDLE_MODIFIER_PARAM(TpolyQuadFty, KeepHard, "keep hard edges"),
     BRINDLE_MODIFIER_PARAM(TpolyQuadFty, Matrix,
                            "reference frame; after an action with a non-identity matrix it holds the inverse")});

constexpr uint32_t kDescBits = TpolyBits::kEdgeMask | TpolyBits::kReversedUse;

struct Tvec {
    double x, y, z;
    Tvec operator-(const Tvec& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Tvec operator+(const Tvec& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Tvec operator*(double s) const { return {x * s, y * s, z * s}; }
};
double dot(const Tvec& a, const Tvec& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Tvec cross(const Tvec& a, const Tvec& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The named face groups (positive names) of each face, as runs of group positions in group order,
// so that two faces have the same memberships exactly when their runs are equal.
class TnamedMemberships {
public:
    explicit TnamedMemberships(const TpolyGeom& geom) : fStart(geom.nbFace() + 1, 0) {
        const uint32_t nbFace = geom.nbFace();
        auto named = [&](uint32_t g) -> const TsingleIndexedComponent* {
            const TpolyGrpDesc& d = geom.groupConst(g);
            return d.fType == kPolyGrpFace && d.fName > 0 ? d.singleItems() : nullptr;
        };
        for (uint32_t g = 0; g < geom.nbGroup(); ++g)
            if (const TsingleIndexedComponent* items = named(g))
                for (uint32_t f : *items)
                    if (f < nbFace) ++fStart[f + 1];
        for (uint32_t f = 0; f < nbFace; ++f) fStart[f + 1] += fStart[f];
        fGroups.resize(fStart[nbFace]);
        std::vector<uint32_t> fill(fStart.begin(), fStart.end() - 1);
        for (uint32_t g = 0; g < geom.nbGroup(); ++g)
            if (const TsingleIndexedComponent* items = named(g))
                for (uint32_t f : *items)
                    if (f < nbFace) fGroups[fill[f]++] = g;
    }
    bool same(uint32_t a, uint32_t b) const {
        return std::equal(fGroups.begin() + fStart[a], fGroups.begin() + fStart[a + 1], fGroups.begin() + fStart[b],
                          fGroups.begin() + fStart[b + 1]);
    }

private:
    std::vector<uint32_t> fStart, fGroups;
};

// The two faces of an edge that has exactly one face on each side, or false.
bool twoFaces(const TpolyGeom& geom, uint32_t e, uint32_t& f1, uint32_t& f2) {
    const TpolyWingEdge& w = geom.getEdgeFace(e);
    f1 = w.side[kLeft];
    f2 = w.side[kRight];
    return TpolyTopo::isSingleFace(f1) && TpolyTopo::isSingleFace(f2) && f1 != f2;
}

// Sets, over the edges, those the keep options protect. Edges without a face on each side are
// never candidates and are left clear.
void lockEdges(TpolyGeom& geom, const int keep[3], TbitFieldFixedN& locked) {
    geom.update(dirtyFaceOffsets | dirtyEdgeToFace);
    locked.resizeArray(geom.nbEdge());
    const int32_t map = geom.getCurrentMap();
    const bool seams = keep[1] && map >= 0 && uint32_t(map) < geom.nbMapSet();
    std::unique_ptr<TnamedMemberships> groups;
    if (keep[0]) groups = std::make_unique<TnamedMemberships>(geom);
    for (uint32_t e = 0; e < geom.nbEdge(); ++e) {
        uint32_t f1, f2;
        if (!twoFaces(geom, e, f1, f2)) continue;
        if ((keep[2] && geom.isHard(e)) || (groups && !groups->same(f1, f2)) ||
            (seams && geom.isUVBorder(e, uint32_t(map))))
            locked.setBit(e);
    }
}

// Candidates by ascending score, ties in the order they were made: a stable least-significant-digit
// radix sort on the score's bits (scores are positive, so their bit patterns order like them).
void sortByScore(std::vector<zepQuadT>& list) {
    std::vector<zepQuadT> other(list.size());
    for (uint32_t shift = 0; shift < 32; shift += 8) {
        uint32_t count[257] = {};
        auto key = [shift](const zepQuadT& q) {
            uint32_t bits;
            std::memcpy(&bits, &q.score, sizeof bits);
            return (bits >> shift) & 0xFF;
        };
        for (const zepQuadT& q : list) ++count[key(q) + 1];
        if (std::find(count + 1, count + 257, uint32_t(list.size())) != count + 257) continue;
        for (uint32_t b = 0; b < 256; ++b) count[b + 1] += count[b];
        for (const zepQuadT& q : list) other[count[key(q)]++] = q;
        list.swap(other);
    }
}
}  // namespace

int TpolyQuadFty::buildOneQuad(const TpolyGeom* geom, uint32_t face1, uint32_t face2, uint32_t edge, float sinHalfAngle,
                               std::vector<zepQuadT>& list) {
    // Corners 0, 1 from face1 and 2, 3 from face2: the starts of the two entries after the shared one.
    uint16_t at[4];
    const uint32_t offset[2] = {geom->faceOffset(face1), geom->faceOffset(face2)};
    Tvec p[4];
    for (uint32_t t = 0; t < 2; ++t) {
        uint32_t k = 0;
        while (k < 3 && geom->getEdge(offset[t] + k) != edge) ++k;
        if (k == 3) return 0;
        at[2 * t] = uint16_t((k + 1) % 3);
        at[2 * t + 1] = uint16_t((k + 2) % 3);
    }
    for (uint32_t i = 0; i < 4; ++i) {
        const T3dFltPoint& v = geom->vertexConst(geom->getStartVertex(offset[i / 2] + at[i]));
        p[i] = {v.x, v.y, v.z};
    }
    // Corner vectors: their lengths are the sines of the corner angles, their sum the quad's mean
    // normal direction. Written so that NaN positions reject the pair.
    Tvec n[4], normal{0, 0, 0};
    double q = 1;
    for (uint32_t i = 0; i < 4; ++i) {
        const Tvec a = p[(i + 3) % 4] - p[i], b = p[(i + 1) % 4] - p[i];
        const double lengths = std::sqrt(dot(a, a) * dot(b, b));
        if (!(lengths > 0)) return 0;
        n[i] = cross(a, b) * (1 / lengths);
        const double sine2 = dot(n[i], n[i]);
        if (!(sine2 > 0)) return 0;
        normal = normal + n[i];
        q *= sine2;
    }
    for (const Tvec& c : n)
        if (!(dot(c, normal) > 0)) return 0;
    normal = normal * (1 / std::sqrt(dot(normal, normal)));
    // Flatness: the largest sine of the tilt of a corner-to-corner line against the mean plane.
    double tilt = 0;
    for (uint32_t i = 0; i < 4; ++i)
        for (uint32_t j = i + 1; j < 4; ++j) {
            const Tvec d = p[i] - p[j];
            const double length = std::sqrt(dot(d, d));
            if (length > 0) tilt = std::max(tilt, std::fabs(dot(normal, d)) / length);
        }
    if (tilt > sinHalfAngle) return 0;
    zepQuadT c;
    const bool firstSmaller = face1 < face2;
    c.face[0] = firstSmaller ? face1 : face2;
    c.face[1] = firstSmaller ? face2 : face1;
    for (uint32_t i = 0; i < 4; ++i) c.corner[i] = at[firstSmaller ? i : (i + 2) % 4];
    c.score = float(0.001 / std::sqrt(q) + tilt);
    list.push_back(c);
    return 1;
}

uint32_t TpolyQuadFty::convertToQuads(TpolyGeom* geom, float angleDegrees, const TbitFieldFixedN* lockedEdges,
                                      int faceGroup) {
    if (!geom) return 0;
    geom->update(dirtyFaceOffsets | dirtyEdgeToFace);
    const uint32_t nbFace = geom->nbFace();
    TbitFieldFixedN inGroup(nbFace);
    if (faceGroup == 0)
        inGroup.setAll();
    else if (geom->flagsFromGroup(kPolyGrpFace, faceGroup, inGroup) <= 0)
        return 0;

    const float s = float(std::sin(double(angleDegrees) * 0.00872664625));
    std::vector<zepQuadT> candidates;
    for (uint32_t e = geom->nbEdge(); e-- > 0;) {
        uint32_t f1, f2;
        if ((lockedEdges && e < lockedEdges->size() && lockedEdges->testBit(e)) || !twoFaces(*geom, e, f1, f2) ||
            !inGroup.testBit(f1) || !inGroup.testBit(f2) || geom->faceVertexCount(f1) != 3 ||
            geom->faceVertexCount(f2) != 3)
            continue;
        buildOneQuad(geom, f1, f2, e, s, candidates);
    }
    if (candidates.empty()) return 0;
    sortByScore(candidates);

    // Greedy best first: pairOf names, for the smaller triangle of each kept pair, its candidate;
    // the larger one is marked gone.
    constexpr uint32_t kFree = TpolyBits::kNoId, kGone = TpolyBits::kNoId - 1;
    std::vector<uint32_t> pairOf(nbFace, kFree);
    uint32_t quads = 0;
    for (uint32_t i = 0; i < candidates.size(); ++i) {
        const zepQuadT& c = candidates[i];
        if (pairOf[c.face[0]] != kFree || pairOf[c.face[1]] != kFree) continue;
        pairOf[c.face[0]] = i;
        pairOf[c.face[1]] = kGone;
        ++quads;
    }

    TfaceRewrite out;
    out.begin(*geom, geom->faceDescLength() - 2 * quads);
    for (uint32_t f = 0; f < nbFace; ++f) {
        out.nextOldFace();
        if (pairOf[f] == kFree) {
            out.copyFace(f);
        } else if (pairOf[f] != kGone) {
            const zepQuadT& c = candidates[pairOf[f]];
            for (uint32_t i = 0; i < 4; ++i) {
                const uint32_t o = geom->faceOffset(c.face[i / 2]) + c.corner[i];
                out.push(geom->getFaceEdge(o) & kDescBits, o);
            }
            out.closeFace();
        }
    }
    out.install(nullptr, true);

    // A quad is mapped in a set only when all four of its corners are.
    geom->update(dirtyFaceOffsets);
    for (uint32_t s = 0; s < geom->nbMapSet(); ++s)
        for (uint32_t f = 0; f < nbFace; ++f) {
            if (pairOf[f] == kFree || pairOf[f] == kGone) continue;
            const uint32_t o = geom->faceOffset(out.first()[f]);
            bool mapped = true;
            for (uint32_t k = 0; k < 4; ++k) mapped = mapped && geom->getUVId(o + k, s) >= 0;
            if (!mapped)
                for (uint32_t k = 0; k < 4; ++k) geom->setUVId(o + k, -1, s);
        }
    geom->markDirty(dirtyAll);
    return quads;
}

uint32_t TpolyQuadFty::quadrangulateTopo(TpolyGeom* geom, float angleDegrees, const int keep[3],
                                         const int sizeFlags[3]) {
    if (!geom) return 0;
    geom->update(dirtyFaceOffsets);
    int group = -1;
    const bool filtered = !(sizeFlags[0] && sizeFlags[1] && sizeFlags[2]);
    if (!filtered) {
        TpolyTriangulateFty::triangulateTopo(geom, -1, nullptr, false);
    } else {
        // The selected faces whose size takes part, in a temporary group that follows them
        // through the triangulation of the larger ones.
        TbitFieldFixedN faces;
        if (geom->flagsFromGroup(kPolyGrpFace, -1, faces) <= 0) return 0;
        for (uint32_t f = 0; f < geom->nbFace(); ++f) {
            const uint32_t n = geom->faceVertexCount(f);
            if (faces.testBit(f) && !(n == 3 ? sizeFlags[0] : n == 4 ? sizeFlags[1] : n > 4 && sizeFlags[2]))
                faces.resetBit(f);
        }
        if (!faces.countSet()) return 0;
        group = geom->getFreeTmpGrpName();
        geom->flagsToGroup(kPolyGrpFace, group, faces);
        if (sizeFlags[1] || sizeFlags[2]) TpolyTriangulateFty::triangulateTopo(geom, group, nullptr, false);
    }
    TbitFieldFixedN locked;
    lockEdges(*geom, keep, locked);
    const uint32_t quads = convertToQuads(geom, angleDegrees, &locked, group);
    if (filtered) geom->removeGroup(group, kPolyGrpFace);
    return quads;
}

int TpolyQuadFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpFace, name)) return -1;
    TpolyGeom* geom = body->polyGeom();
    if (geom->nbElem(name, kPolyGrpFace) == 0) return -1;
    if (fAngle > kPi) fAngle = kPi;
    TpolyReferenceFrame frame;
    if (!frame.enter(geom, fMatrix, true)) return -1;
    const int keep[3] = {fKeepGrp ? 1 : 0, fKeepMap ? 2 : 0, fKeepHard ? 4 : 0};
    const int sizes[3] = {1, 0, 0};
    quadrangulateTopo(geom, float(fAngle * 57.295776), keep, sizes);
    return 0;
}
