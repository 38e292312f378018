#include <algorithm>
#include <cstdint>
#include <vector>

#include "brindle/base/Diagnostics.h"
#include "brindle/geom/PolyGeom.h"

namespace {

int asInt(uint32_t v) { return static_cast<int>(v); }

uint32_t orientedStart(const TpolyEdge& e, uint32_t entry) { return e.v[entry >> 31] & TpolyBits::kVertexMask; }
uint32_t orientedEnd(const TpolyEdge& e, uint32_t entry) { return e.v[1 - (entry >> 31)] & TpolyBits::kVertexMask; }

uint32_t checkEdges(const TpolyTopo& t, TdebugOutput& out, uint32_t nbVertex) {
    uint32_t badStarts = 0, badEnds = 0;
    for (uint32_t e = t.fEdges.size(); e-- > 0;) {
        const uint32_t s = t.fEdges[e].start(), d = t.fEdges[e].end();
        if (s >= nbVertex) {
            out.print("... BAD START VERTEX (%d>=%d): edge %d %d->%d\n", asInt(s), asInt(nbVertex), asInt(e), asInt(s),
                      asInt(d));
            ++badStarts;
        }
        if (d >= nbVertex) {
            out.print("... BAD START VERTEX (%d>=%d): edge %d %d->%d\n", asInt(d), asInt(nbVertex), asInt(e), asInt(s),
                      asInt(d));
            ++badEnds;
        }
    }
    if (badStarts + badEnds > 0)
        out.print("*** BAD EGDE DESCRIPTION: %d start and %d end vertices out of bounds (>=%d)\n", asInt(badStarts),
                  asInt(badEnds), asInt(nbVertex));
    return badStarts + badEnds;
}

// One pass over the description. The duplicate-reference bits are set per face and cleared by
// walking that face's entries again, so the pass stays linear in the description length.
uint32_t checkFaceDesc(const TpolyTopo& t, TdebugOutput& out) {
    const uint32_t n = t.fFaceDesc.size(), nEdge = t.fEdges.size();
    const uint32_t* desc = t.fFaceDesc.data();
    const TpolyEdge* edges = t.fEdges.data();
    std::vector<bool> seen(nEdge, false);
    uint32_t errors = 0, face = 0, faceStart = 0, loopStart = 0;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t entry = desc[i], e = entry & TpolyBits::kEdgeMask, local = i - faceStart;
        const bool endLoop = (entry & TpolyBits::kEndOfLoop) != 0, endFace = (entry & TpolyBits::kEndOfFace) != 0;
        if (e < nEdge) {
            if (seen[e]) {
                out.print("... DUPLICATE EDGE REFERENCE (%d) IN SAME FACE : face %d, offset %d, local offset %d\n",
                          asInt(e), asInt(face), asInt(i), asInt(local));
                ++errors;
            }
            seen[e] = true;
        } else {
            out.print("... BAD EDGE REFERENCE (%d>=%d): face %d, offset %d, local offset %d\n", asInt(e), asInt(nEdge),
                      asInt(face), asInt(i), asInt(local));
            ++errors;
        }
        if (endFace) {
            for (uint32_t k = faceStart; k <= i; ++k)
                if ((desc[k] & TpolyBits::kEdgeMask) < nEdge) seen[desc[k] & TpolyBits::kEdgeMask] = false;
            if (!endLoop) {
                out.print(
                    "... WRONG FACE DESCRIPTION: face %d, offset %d, local offset %d, found endOfFace "
                    "without endOfLoop\n",
                    asInt(face), asInt(i), asInt(local));
                ++errors;
            }
        }
        // A last entry without its end-of-loop bit is joined back to its loop's start.
        const uint32_t next = endLoop || i + 1 == n ? loopStart : i + 1;
        const uint32_t nextEntry = desc[next], ne = nextEntry & TpolyBits::kEdgeMask;
        if (e < nEdge && ne < nEdge) {
            const uint32_t s0 = orientedStart(edges[e], entry), e0 = orientedEnd(edges[e], entry);
            const uint32_t s1 = orientedStart(edges[ne], nextEntry), e1 = orientedEnd(edges[ne], nextEntry);
            if (e0 != s1) {
                out.print("... WRONG EDGE IN FACE: edge %d(%d->%d) in face %d not connected to edge %d(%d->%d)",
                          asInt(e), asInt(s0), asInt(e0), asInt(face), asInt(ne), asInt(s1), asInt(e1));
                if (s0 == s1)
                    out.print(", suggesting to reverse edge %d in this face", asInt(e));
                else if (e0 == e1)
                    out.print(", suggesting to reverse edge %d in this face", asInt(ne));
                out.write("\n");
                ++errors;
            }
        }
        if (endLoop) {
            const uint32_t length = i - loopStart + 1;
            if (length < 3) {
                out.print("... LOOP TOO SMALL: face %d contains a loop with only %d edge(s)\n", asInt(face),
                          asInt(length));
                ++errors;
            }
            loopStart = i + 1;
        }
        if (endFace) {
            ++face;
            faceStart = i + 1;
        }
    }
    const uint32_t last = desc[n - 1];
    if (!(last & TpolyBits::kEndOfLoop)) {
        out.write("... LAST FACE INCOMPLETE: missing end of loop flag\n");
        ++errors;
    }
    if (!(last & TpolyBits::kEndOfFace)) {
        out.write("... LAST FACE INCOMPLETE: missing end of face flag\n");
        ++errors;
    }
    if (face != t.fNbFace) {
        out.print("... WRONG FACE NUMBER: %d stored insted of %d\n", asInt(t.fNbFace), asInt(face));
        ++errors;
    }
    return errors;
}

uint32_t checkFaceOffsets(const TpolyTopo& t, TdebugOutput& out) {
    const TuInt32Array& offsets = t.fFaceOffsets;
    const uint32_t length = t.fFaceDesc.size();
    if (uint64_t(offsets.size()) != uint64_t(t.fNbFace) + 1) {
        out.print("... BAD FACE OFFSET LENGTH: actual length is %d, expected %d\n", asInt(offsets.size()),
                  asInt(t.fNbFace + 1));
        return 1;
    }
    uint32_t errors = 0;
    if (offsets[0] != 0) {
        out.write("... BAD FACE OFFSET: First offset should be 0\n");
        ++errors;
    }
    for (uint32_t k = 1; k < offsets.size(); ++k) {
        const uint32_t o = offsets[k];
        if (o <= offsets[k - 1]) {
            out.print("... BAD FACE OFFSET: offsets should be increasing, face %d (%d) < face %d (%d)\n", asInt(k),
                      asInt(o), asInt(k - 1), asInt(offsets[k - 1]));
            ++errors;
        }
        if (o > length) {
            out.print("... BAD FACE OFFSET: offsets of face %d (%d) beyond face desc array (%d)\n", asInt(k), asInt(o),
                      asInt(length));
            ++errors;
        } else if (o >= 1 && !(t.fFaceDesc[o - 1] & TpolyBits::kEndOfFace)) {
            out.print("... BAD FACE OFFSET: offsets of face %d (%d) is not a start of face\n", asInt(k), asInt(o));
            ++errors;
        }
    }
    return errors;
}

}  // namespace

uint32_t TpolyTopo::checkObject(TdebugOutput& out, unsigned int flags, unsigned int nbVertex) const {
    uint32_t errors = 0;
    if (flags & kCheckEdges) errors += checkEdges(*this, out, nbVertex);
    if ((flags & kCheckDescription) && !fFaceDesc.empty()) errors += checkFaceDesc(*this, out);
    if (flags & kCheckFaceOffsets) errors += checkFaceOffsets(*this, out);
    return errors;
}

uint32_t TpolyGeom::checkObject(unsigned int flags) const {
    TdebugOutput& out = TdebugOutput::sCerr;
    unsigned topoFlags = flags & (kCheckEdges | kCheckDescription);
    if ((flags & kCheckFaceOffsets) && !isDirty(dirtyFaceOffsets)) topoFlags |= kCheckFaceOffsets;
    uint32_t errors = fTopo->checkObject(out, topoFlags, nbVertex());

    const uint32_t corners = faceDescLength();
    for (uint32_t s = 0; s < fMaps->nbSet(); ++s) {
        const TpolyMap& map = (*fMaps)[s];
        const uint32_t nbUv = map.nbUV();
        for (uint32_t o = std::min(corners, map.nbIndex()); o-- > 0;) {
            const uint32_t id = static_cast<uint32_t>(map.getIndex(o));
            if (id == TpolyBits::kNoId || id < nbUv) continue;
            out.print("UVset %d, offset %d references too large uv (%d>%d)\n", asInt(s), asInt(o), asInt(id),
                      asInt(nbUv - 1));
            ++errors;
        }
    }
    if (errors != 0)
        out.print("\nFOUND %d ERRORS in poly object 0x%x\n", asInt(errors),
                  static_cast<unsigned>(reinterpret_cast<uintptr_t>(this)));
    return errors;
}
