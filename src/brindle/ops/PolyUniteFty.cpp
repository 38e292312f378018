#include "brindle/ops/PolyUniteFty.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyNormalFty.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyUniteFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(TpolyUniteFty::sMetaclass, {BRINDLE_MODIFIER_PARAM(TpolyUniteFty, NbObjects)});

constexpr uint32_t kEnds = TpolyBits::kEndOfLoop | TpolyBits::kEndOfFace;

// One source record and where it lands in the result. A mirrored record's loops are written the
// other way round; cornerOf then gives, for each of its corners in the result, the source corner
// it stands for (the map is its own inverse), and is empty otherwise.
struct Tsource {
    TpolyGeom* geom;
    T4dFltMatrix matrix;
    bool mirrored;
    uint32_t vertexBase = 0, edgeBase = 0, faceBase = 0, cornerBase = 0;
    TuInt32Array cornerOf{16};

    uint32_t sourceCorner(uint32_t k) const { return mirrored ? cornerOf[k] : k; }
};

// Calls fn(first, count) for each loop of a face description.
template <typename Fn>
void forEachLoop(const uint32_t* desc, uint32_t n, Fn&& fn) {
    for (uint32_t first = 0; first < n;) {
        uint32_t last = first;
        while (last + 1 < n && !(desc[last] & TpolyBits::kEndOfLoop)) ++last;
        fn(first, last - first + 1);
        first = last + 1;
    }
}

// A loop run backwards from the same first corner: corner k stands where corner (n - k) % n was.
void mapMirroredCorners(Tsource& s) {
    const uint32_t n = s.geom->faceDescLength();
    s.cornerOf.changeLogicalSizeTo(n);
    forEachLoop(s.geom->faceDescArray().data(), n, [&](uint32_t first, uint32_t count) {
        for (uint32_t k = 0; k < count; ++k) s.cornerOf[first + k] = first + (count - k) % count;
    });
}

// Grows the array by n elements and answers where they start, for writing in place.
template <typename T>
T* extend(Tarray<T>& array, uint32_t n) {
    const uint32_t had = array.size();
    array.changeLogicalSizeTo(had + n);
    return array.data() + had;
}

void appendTopology(TpolyGeom& result, const Tsource& s) {
    const TpolyGeom& g = *s.geom;
    T3dFltPoint* point = extend(result.vertexArray(), g.nbVertex());
    for (const T3dFltPoint& p : g.vertexArray()) *point++ = s.matrix.transformPoint(p);
    TpolyEdge* edge = extend(result.edgeArray(), g.nbEdge());
    for (TpolyEdge e : g.edgeArray()) {
        e.v[0] = (e.v[0] & TpolyBits::kHardFlag) | ((e.v[0] & TpolyBits::kVertexMask) + s.vertexBase);
        e.v[1] = (e.v[1] & TpolyBits::kVertexMask) + s.vertexBase;
        *edge++ = e;
    }
    const uint32_t* in = g.faceDescArray().data();
    const uint32_t n = g.faceDescLength();
    uint32_t* out = extend(result.faceDescArray(), n);
    auto raised = [&](uint32_t w) { return (w & ~TpolyBits::kEdgeMask) | ((w & TpolyBits::kEdgeMask) + s.edgeBase); };
    if (!s.mirrored) {
        for (uint32_t k = 0; k < n; ++k) out[k] = raised(in[k]);
    } else {
        // Each loop backwards, last entry first, every direction turned; the end bits stay where
        // they were: on the last entry of the loop and of the face.
        forEachLoop(in, n, [&](uint32_t first, uint32_t count) {
            for (uint32_t k = 0; k < count; ++k)
                out[first + k] = (raised(in[first + count - 1 - k]) & ~kEnds) ^ TpolyBits::kReversedUse;
            out[first + count - 1] |= in[first + count - 1] & kEnds;
        });
    }
    result.addFace(g.nbFace());
}

void takeKind(TpolyMap&, const TpolyMap&) {}
void takeKind(TpolyColor& to, const TpolyColor& from) { to.setRepresentation(from.representation()); }

// The union by name of the UV sets (or colour sets) of every source. The first source's sets are
// the result's own, copied with the record: their values and ids stay. Every later source's
// values of a set are appended to the result's set of that name and its corners' ids raised by
// the values the set held before; its corners are unmapped in the sets it lacks.
template <typename Sets, typename SetsOf>
void uniteSets(Sets& out, const std::vector<Tsource>& sources, uint32_t totalCorners, SetsOf&& setsOf) {
    const uint32_t own = out.nbSet();
    for (size_t i = 1; i < sources.size(); ++i)
        for (const auto& set : setsOf(*sources[i].geom)) {
            uint32_t id;
            if (out.find(std::string_view(set.getName()), id)) continue;
            takeKind(out[out.add(set.getName())], set);
        }
    const uint32_t firstCorners = sources.size() > 1 ? sources[1].cornerBase : totalCorners;
    for (uint32_t s = 0; s < out.nbSet(); ++s) {
        auto& set = out[s];
        Tint32Array& ids = set.indexArray();
        const uint32_t kept = s < own ? std::min(ids.size(), firstCorners) : 0;
        ids.changeLogicalSizeTo(totalCorners);
        std::fill(ids.begin() + kept, ids.begin() + firstCorners, TpolyBdVertexFaceBase::kNoId);
        for (size_t i = 1; i < sources.size(); ++i) {
            const Tsource& src = sources[i];
            int32_t* to = ids.data() + src.cornerBase;
            const uint32_t corners = src.geom->faceDescLength();
            uint32_t from;
            if (!setsOf(*src.geom).find(std::string_view(set.getName()), from)) {
                std::fill(to, to + corners, TpolyBdVertexFaceBase::kNoId);
                continue;
            }
            const auto& in = setsOf(*src.geom)[from];
            const int32_t base = int32_t(set.values().size());
            const uint32_t nbValues = in.values().size();
            set.values().append(in.values().data(), nbValues);
            const Tint32Array& inIds = in.indexArray();
            for (uint32_t k = 0; k < corners; ++k) {
                const uint32_t c = src.sourceCorner(k);
                const int32_t id = c < inIds.size() ? inIds[c] : TpolyBdVertexFaceBase::kNoId;
                to[k] = id >= 0 && uint32_t(id) < nbValues ? id + base : TpolyBdVertexFaceBase::kNoId;
            }
        }
    }
}

// Groups of later sources join the result's group of the same name and kind (a group of no kind
// matches any), appended when there is none; vertex, edge, face and vertex-face members are
// raised by the source's offsets, crease values follow their edges.
void uniteGroups(TpolyGeom& result, const std::vector<Tsource>& sources) {
    for (size_t i = 1; i < sources.size(); ++i) {
        const Tsource& src = sources[i];
        for (const TpolyGrpDesc& d : src.geom->grp()->fGroups) {
            int32_t g = result.findGrp(d.fName, d.fType);
            if (g < 0) {
                g = int32_t(result.appendGrp(d.fName, d.fType, 32));
                result.endGroup(uint32_t(g));
            }
            TpolyGrpDesc& out = result.group(uint32_t(g));
            if (d.fType == kPolyGrpVertexFace) {
                if (d.pairItems() && out.pairItems())
                    for (const TidPair& p : *d.pairItems())
                        out.pairItems()->addElement(p.first + src.vertexBase, p.second + src.faceBase);
                continue;
            }
            const uint32_t offset = d.fType == kPolyGrpVertex ? src.vertexBase
                                    : d.fType == kPolyGrpEdge ? src.edgeBase
                                    : d.fType == kPolyGrpFace ? src.faceBase
                                                              : TpolyBits::kNoId;
            if (offset == TpolyBits::kNoId || !d.singleItems() || !out.singleItems()) continue;
            for (uint32_t id : *d.singleItems()) out.addElement(id + offset);
            if (d.fName == kGrpNameCrease && d.fType == kPolyGrpEdge && d.data()) {
                if (!out.data()) out.setData(new TdoubleArray(256));
                out.data()->append(d.data()->data(), d.data()->size());
            }
        }
    }
}

void appendBlindData(TpolyBdBlindData& out, const TpolyBdBlindData& in, uint32_t offset) {
    const TbdDataPtrArray* elements = in.dataConst();
    if (!elements) return;
    for (uint32_t k = 0; k < elements->size(); ++k) {
        TbdData e = (*elements)[k];
        if (!e.isLive()) continue;
        e.componentId += offset;
        out.appendData(&e, 1);
    }
}

// Every source corner's user normal, turned by its matrix's normal transformation, on the
// result's corner that stands for it. The result's own user normals are first dropped: its
// normal ids are those of the combined topology.
void carryUserNormals(TpolyGeom& result, const std::vector<Tsource>& sources) {
    result.loadUserNormal(T4dFltVectorArray(16));
    result.markDirty(dirtyAll);
    result.update(dirtyFaceOffsets | dirtyNormalTopo);
    for (const Tsource& src : sources) {
        TpolyGeom& g = *src.geom;
        if (!g.hasUserNormals()) continue;
        g.update(dirtyFaceOffsets | dirtyNormalTopo);
        const T4dFltMatrix turn = src.matrix.convertForNormals();
        for (uint32_t k = 0; k < g.faceDescLength(); ++k) {
            const T4dFltVector* n = g.getValidUserNormal(g.getNormalId(src.sourceCorner(k)));
            if (!n) continue;
            T4dFltVector t = turn.transformVector(*n);
            if (t.normalize()) result.setUserNormal(result.getNormalId(src.cornerBase + k), t);
        }
    }
    result.markDirty(dirtyHardness);
}
}  // namespace

int TpolyUniteFty::action(TmidBody* body, TmidComponent*) {
    if (fNbObjects <= 0 || !body || !fObjects || !fMatrices) return -1;
    std::vector<Tsource> sources;
    sources.reserve(size_t(fNbObjects));
    uint32_t vertices = 0, edges = 0, faces = 0, corners = 0;
    bool userNormals = false;
    for (short i = 0; i < fNbObjects; ++i) {
        TpolyGeom* g = fObjects[i] ? fObjects[i]->polyGeom() : nullptr;
        if (!g) return -1;
        g->update(dirtyFaceOffsets);
        Tsource& s = sources.emplace_back(Tsource{g, fMatrices[i].toFlt(), fMatrices[i].determinant3() < 0});
        s.vertexBase = vertices, s.edgeBase = edges, s.faceBase = faces, s.cornerBase = corners;
        vertices += g->nbVertex(), edges += g->nbEdge(), faces += g->nbFace(), corners += g->faceDescLength();
        userNormals = userNormals || g->hasUserNormals();
        if (s.mirrored) mapMirroredCorners(s);
    }

    auto result = std::make_unique<TpolyGeom>(*sources[0].geom);
    TpolyGeom& r = *result;
    for (T3dFltPoint& p : r.vertexArray()) p = sources[0].matrix.transformPoint(p);
    if (sources[0].mirrored) {
        // Turned in place, corners keeping their UVs and colours; user normals come afterwards.
        r.loadUserNormal(T4dFltVectorArray(16));
        const int32_t name = r.getFreeTmpGrpName();
        TbitFieldFixedN all(r.nbFace());
        all.setAll();
        r.flagsToGroup(kPolyGrpFace, name, all);
        TpolyNormalFty::reverseNormal(&r, name);
        r.removeGroup(name, kPolyGrpFace);
    }
    r.vertexBuffer(vertices - r.nbVertex());
    r.edgeBuffer(edges - r.nbEdge());
    r.loopEdgeBuffer(corners - r.faceDescLength());
    for (size_t i = 1; i < sources.size(); ++i) appendTopology(r, sources[i]);
    r.markDirty(dirtyAll);

    uniteSets(*r.maps(), sources, corners, [](const TpolyGeom& g) -> const TpolyMapArrayShared& { return *g.maps(); });
    uniteSets(*r.colors(), sources, corners,
              [](const TpolyGeom& g) -> const TpolyColorArrayShared& { return *g.colors(); });
    uniteGroups(r, sources);
    for (size_t i = 1; i < sources.size(); ++i) {
        appendBlindData(*r.vertexBlindData(), *sources[i].geom->vertexBlindData(), sources[i].vertexBase);
        appendBlindData(*r.edgeBlindData(), *sources[i].geom->edgeBlindData(), sources[i].edgeBase);
        appendBlindData(*r.faceBlindData(), *sources[i].geom->faceBlindData(), sources[i].faceBase);
    }
    if (userNormals) carryUserNormals(r, sources);
    r.update(dirtyFaceOffsets);
    body->setMidBody(result.release());
    return 0;
}
