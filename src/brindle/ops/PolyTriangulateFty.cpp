#include "brindle/ops/PolyTriangulateFty.h"

#include <algorithm>
#include <vector>

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyFaceCarry.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyTriangulateFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(TpolyTriangulateFty::sMetaclass, kPolyGrpFace, {});

constexpr uint32_t kDescBits = TpolyBits::kEdgeMask | TpolyBits::kReversedUse;

// The diagonals of one face, keyed by their two local corner numbers (lower first), in an
// open-addressed table. Clearing touches only the slots sized for the current face, so a run of
// small faces costs no more than their own diagonals.
class TdiagonalTable {
public:
    void reset(uint32_t diagonals) {
        uint32_t cap = 4;
        while (cap < 2 * diagonals + 2) cap *= 2;
        if (fSlots.size() < cap) fSlots.resize(cap);
        std::fill_n(fSlots.begin(), cap, kEmpty);
        fMask = cap - 1;
    }
    // The slot of key: its edge when present, kEmpty when the caller should fill it.
    uint64_t& slot(uint32_t key) {
        for (uint32_t h = (key * 2654435761u) & fMask;; h = (h + 1) & fMask)
            if (fSlots[h] == kEmpty || uint32_t(fSlots[h] >> 32) == key) return fSlots[h];
    }
    static constexpr uint64_t kEmpty = ~uint64_t(0);

private:
    std::vector<uint64_t> fSlots;
    uint32_t fMask = 3;
};

// What writing one face's triangles reads of it: its description, the start vertex of each corner
// and, for a face with holes, the next corner of each corner within its loop.
struct TfaceLoops {
    const uint32_t* desc = nullptr;
    uint32_t count = 0;
    bool holes = false;
    std::vector<uint32_t> vertex, next;

    void load(const TpolyGeom& geom, uint32_t offset, uint32_t n) {
        desc = geom.getFaceEdgeArray(offset);
        count = n;
        holes = false;
        if (vertex.size() < n) vertex.resize(n);
        for (uint32_t k = 0; k < n; ++k) {
            vertex[k] = geom.getStartVertex(offset + k);
            if (k + 1 < n && (desc[k] & TpolyBits::kEndOfLoop)) holes = true;
        }
        if (!holes) return;
        next.resize(n);
        for (uint32_t start = 0, k = 0; k < n; ++k)
            if ((desc[k] & TpolyBits::kEndOfLoop) || k + 1 == n) {
                for (uint32_t j = start; j < k; ++j) next[j] = j + 1;
                next[k] = start;
                start = k + 1;
            }
    }
    uint32_t nextOf(uint32_t k) const { return holes ? next[k] : (k + 1 == count ? 0 : k + 1); }
};

// Writes the triangles of one face, making its diagonals as new soft edges. False, with the
// corners and edges it wrote taken back, when the cached triangles name a corner outside the face
// or join a vertex to itself (a diagonal from a vertex to itself would be a degenerate edge).
bool writeTriangles(TpolyGeom& geom, uint32_t face, const TfaceLoops& loops, TdiagonalTable& diagonals,
                    TfaceRewrite& out) {
    uint32_t t0 = 0;
    const uint32_t nbTrg = geom.trgFaceOrder(face, &t0);
    const uint32_t offset = geom.faceOffset(face), count = loops.count;
    const TfaceRewrite::Tmark mark = out.mark();
    const uint32_t edgesBefore = geom.nbEdge();
    const uint32_t* vertex = loops.vertex.data();
    diagonals.reset((3 * nbTrg - std::min(3 * nbTrg, count)) / 2);
    for (uint32_t t = t0; t < t0 + nbTrg; ++t) {
        const uint32_t c[3] = {geom.vertexOffset(t, 0), geom.vertexOffset(t, 1), geom.vertexOffset(t, 2)};
        if (c[0] >= count || c[1] >= count || c[2] >= count || vertex[c[0]] == vertex[c[1]] ||
            vertex[c[1]] == vertex[c[2]] || vertex[c[0]] == vertex[c[2]]) {
            out.rollback(mark);
            geom.removeEdge(edgesBefore, geom.nbEdge() - edgesBefore);
            return false;
        }
        for (uint32_t k = 0; k < 3; ++k) {
            const uint32_t a = c[k], b = c[k == 2 ? 0 : k + 1];
            uint32_t raw;
            if (loops.nextOf(a) == b) {
                raw = loops.desc[a] & kDescBits;
            } else if (loops.nextOf(b) == a) {
                raw = (loops.desc[b] & kDescBits) ^ TpolyBits::kReversedUse;
            } else {
                const uint32_t key = std::min(a, b) * count + std::max(a, b);
                uint64_t& s = diagonals.slot(key);
                if (s == TdiagonalTable::kEmpty) {
                    raw = geom.appendEdge(vertex[a], vertex[b], false);
                    s = (uint64_t(key) << 32) | raw;
                } else {
                    const uint32_t e = uint32_t(s);
                    raw = e | (geom.startVertex(e) == vertex[a] ? 0 : TpolyBits::kReversedUse);
                }
            }
            out.push(raw, offset + a);
        }
        out.closeFace();
    }
    return true;
}

}  // namespace

uint32_t TpolyTriangulateFty::triangulateTopo(TpolyGeom* geom, int group, TbdDataPtrArray* blindData, bool recompute) {
    if (!geom) return 0;
    if (recompute && geom->nbFace()) {
        geom->update(dirtyFaceOffsets);
        geom->triangulate();
    } else {
        geom->update(dirtyTriangles);
    }
    const uint32_t nbFace = geom->nbFace();
    if (geom->nbTriangle() == nbFace) return 0;

    TbitFieldFixedN replace(nbFace);
    if (group == 0)
        replace.setAll();
    else if (geom->flagsFromGroup(kPolyGrpFace, group, replace) < 0)
        return 0;

    // Room for the worst case, every candidate replaced: 3 corners per cached triangle and one new
    // edge per pair of triangle sides that are not the face's own edges.
    uint32_t candidates = 0, corners = 0, diagonals = 0;
    for (uint32_t f = 0; f < nbFace; ++f) {
        const uint32_t count = geom->faceVertexCount(f);
        uint32_t t0 = 0;
        const uint32_t nbTrg = replace.testBit(f) ? geom->trgFaceOrder(f, &t0) : 0;
        if (nbTrg < 2 || geom->markedBadTriangle(t0 + nbTrg - 1)) {
            replace.resetBit(f);
            corners += count;
            continue;
        }
        ++candidates;
        corners += 3 * nbTrg;
        diagonals += (3 * nbTrg - std::min(3 * nbTrg, count)) / 2;
    }
    if (!candidates) return 0;

    TfaceRewrite out;
    out.begin(*geom, corners);
    geom->edgeBuffer(diagonals);
    TdiagonalTable table;
    TfaceLoops loops;
    uint32_t replaced = 0;
    for (uint32_t f = 0; f < nbFace; ++f) {
        out.nextOldFace();
        if (replace.testBit(f)) {
            loops.load(*geom, geom->faceOffset(f), geom->faceVertexCount(f));
            if (writeTriangles(*geom, f, loops, table, out)) {
                ++replaced;
                continue;
            }
        }
        out.copyFace(f);
    }
    if (replaced) out.install(blindData);
    return replaced;
}

int TpolyTriangulateFty::action(TmidBody* body, TmidComponent* components) {
    int name = 0;
    if (!getActiveGrpName(body, components, kPolyGrpFace, name)) return -1;
    triangulateTopo(body->polyGeom(), name, nullptr, false);
    return 0;
}
