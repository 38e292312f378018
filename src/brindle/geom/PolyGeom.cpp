#include "brindle/geom/PolyGeom.h"

#include <iterator>
#include <tuple>
#include <type_traits>
#include <utility>

TpolyGeom::TpolyGeom()
    : fVertex(new TpolyVertex),
      fTopo(new TpolyTopo),
      fNorm(new TpolyNorm),
      fTrg(new TpolyTrg),
      fGrp(new TpolyGrp),
      fMaps(new TpolyMapArrayShared),
      fColors(new TpolyColorArrayShared),
      fEdgeBd(new TpolyBdBlindData),
      fFaceBd(new TpolyBdBlindData),
      fVertexBd(new TpolyBdBlindData),
      fTangents(new TpolyTangentSetArrayShared) {}

TpolyGeom::TpolyGeom(const TpolyGeom& other)
    : fUserTrgFunct(other.fUserTrgFunct),
      fTrgFunct(other.fTrgFunct),
      fVertex(new TpolyVertex(*other.fVertex)),
      fTopo(new TpolyTopo(*other.fTopo)),
      fNorm(new TpolyNorm(*other.fNorm)),
      fTrg(new TpolyTrg(*other.fTrg)),
      fGrp(new TpolyGrp(*other.fGrp)),
      fMaps(new TpolyMapArrayShared(*other.fMaps)),
      fColors(new TpolyColorArrayShared(*other.fColors)),
      fEdgeBd(new TpolyBdBlindData(*other.fEdgeBd)),
      fFaceBd(new TpolyBdBlindData(*other.fFaceBd)),
      fVertexBd(new TpolyBdBlindData(*other.fVertexBd)),
      fTangents(new TpolyTangentSetArrayShared(*other.fTangents)),
      fReusableTriangles(other.fReusableTriangles),
      fNbShellIsValid(other.fNbShellIsValid) {}

TpolyGeom::TpolyGeom(const TpolyGeom& other, uint32_t shareMask) : TpolyGeom(other) {
    // The copy constructor made private copies of everything; swap in shared ones where asked.
    // The topology stays a private copy whatever the mask says.
    share(other, shareMask & ~kCompTopology);
    fUserTrgFunct = other.fUserTrgFunct;
    fTrgFunct = other.fTrgFunct;
    update(dirtyAll);
}

TpolyGeom& TpolyGeom::operator=(const TpolyGeom& other) {
    if (this == &other) return *this;
    share(other, kCompAll);
    fDirty = other.fDirty;
    fReusableTriangles = other.fReusableTriangles;
    fNbShellIsValid = other.fNbShellIsValid;
    fNbShell = other.fNbShell;
    fUserTrgFunct = other.fUserTrgFunct;
    fTrgFunct = other.fTrgFunct;
    return *this;
}

TpolyGeom::~TpolyGeom() { releaseAll(); }

void TpolyGeom::releaseAll() {
    dropRef(fVertex);
    dropRef(fTopo);
    dropRef(fNorm);
    dropRef(fTrg);
    dropRef(fGrp);
    dropRef(fMaps);
    dropRef(fColors);
    dropRef(fEdgeBd);
    dropRef(fFaceBd);
    dropRef(fVertexBd);
    dropRef(fTangents);
}

namespace {
// Component bit of each pointer in the order of TpolyGeom::componentPointers; the blind-data bit
// covers the three blind-data components together.
constexpr uint32_t kComponentBits[] = {kCompVertices,  kCompTopology,  kCompNormals,   kCompTriangulation,
                                       kCompGroups,    kCompUVSets,    kCompColorSets, kCompBlindData,
                                       kCompBlindData, kCompBlindData, kCompTangents};
}  // namespace

template <typename Fn>
void TpolyGeom::forEachComponent(uint32_t mask, const TpolyGeom& other, Fn&& fn) {
    auto mine = std::tie(fVertex, fTopo, fNorm, fTrg, fGrp, fMaps, fColors, fEdgeBd, fFaceBd, fVertexBd, fTangents);
    auto theirs = std::tie(other.fVertex, other.fTopo, other.fNorm, other.fTrg, other.fGrp, other.fMaps, other.fColors,
                           other.fEdgeBd, other.fFaceBd, other.fVertexBd, other.fTangents);
    static_assert(std::tuple_size_v<decltype(mine)> == std::size(kComponentBits));
    [&]<size_t... I>(std::index_sequence<I...>) {
        ((mask & kComponentBits[I] ? fn(std::get<I>(mine), std::get<I>(theirs)) : void()), ...);
    }
    (std::make_index_sequence<std::size(kComponentBits)>{});
}

void TpolyGeom::copy(const TpolyGeom& other, uint32_t mask) {
    if (this == &other) return;
    forEachComponent(mask, other, [](auto*& mine, auto* theirs) { *mine = *theirs; });
    markDirty(dirtyAll);
}

void TpolyGeom::share(const TpolyGeom& other, uint32_t mask) {
    if (this == &other) return;
    forEachComponent(mask, other, [](auto*& mine, auto* theirs) {
        // Taking before dropping keeps a component the two records already share alive.
        takeRef(theirs);
        dropRef(mine);
        mine = theirs;
    });
    markDirty(dirtyAll);
}

void TpolyGeom::unShare(uint32_t mask) {
    forEachComponent(mask, *this, [](auto*& mine, auto*) {
        using T = std::remove_reference_t<decltype(*mine)>;
        dropRef(mine);
        mine = new T;
    });
    markDirty(dirtyAll);
}

void TpolyGeom::copyStructure(const TpolyGeom& other, uint32_t mask) {
    if (mask & 0x1) {
        fTopo->fFaceOffsets.copy(other.fTopo->fFaceOffsets);
        markClean(dirtyFaceOffsets);
    }
    if (mask & 0x2) {
        fTopo->fVertexToEdge.copy(other.fTopo->fVertexToEdge);
        fTopo->fN2MEdges.copy(other.fTopo->fN2MEdges);
        markClean(dirtyVertexToEdge);
    }
    if (mask & 0x4) {
        fTopo->fEdgeToFace.copy(other.fTopo->fEdgeToFace);
        fTopo->fN2MFaces.copy(other.fTopo->fN2MFaces);
        markClean(dirtyEdgeToFace);
    }
}

void TpolyGeom::update(uint32_t mask) {
    if (!(fDirty & mask)) return;
    fTangents->emptyAll();
    markClean(dirtyTangents);
    if (mask & fDirty & dirtyFaceOffsets) {
        fTopo->completeTopoOffset();
        markClean(dirtyFaceOffsets);
    }
    if (fTopo->fNbFace == 0) {
        fDirty = 0;
        return;
    }
    // Later steps test their bit again: an earlier one may already have cleared it as a
    // prerequisite.
    if (mask & fDirty & dirtyEdgeToFace) {
        fTopo->completeEdgeToFace();
        markClean(dirtyEdgeToFace);
    }
    if (mask & fDirty & dirtyVertexToEdge) completeVertexToEdge();
    if (mask & fDirty & dirtyTriangles) triangulate();
    if (mask & fDirty & dirtyVertexNormalize) normalizeVertexNormals();
    if (mask & fDirty & dirtyVertexNormals) computeVertexNormals();
    if (mask & fDirty & dirtyNormalTopo) computeVertexNormalTopo();
    if (mask & fDirty & dirtyFaceNormalize) normalizeFaceVectors();
    if (mask & fDirty & dirtyFaceVectors) computeFaceVectors();
}

uint32_t TpolyGeom::faceOrder(uint32_t f) const {
    uint32_t order = 0;
    for (uint32_t o = faceOffset(f), end = faceOffset(f + 1); o < end; ++o)
        if (endOfLoop(o)) ++order;
    return order;
}

uint32_t TpolyGeom::getEdgeId(uint32_t face, uint32_t v) {
    update(dirtyFaceOffsets);
    if (face >= nbFace() || v >= nbVertex()) return TpolyBits::kNoId;
    uint32_t found = TpolyBits::kNoId;
    for (uint32_t o = faceOffset(face), end = faceOffset(face + 1); o < end; ++o)
        if (getStartVertex(o) == v) found = getEdge(o);
    return found;
}

uint32_t TpolyGeom::getEdgeOffsetInFace(uint32_t faceOffset, uint32_t edge, uint32_t* loopStart) const {
    uint32_t loop = 0;
    const uint32_t n = faceDescLength();
    for (uint32_t o = faceOffset; o < n; ++o) {
        if (getEdge(o) == edge) {
            if (loopStart) *loopStart = loop;
            return o - faceOffset;
        }
        if (endOfFace(o)) break;
        if (endOfLoop(o)) loop = o + 1 - faceOffset;
    }
    if (loopStart) *loopStart = 0;
    return 0;
}

uint32_t TpolyGeom::getVertexOffset(uint32_t face, uint32_t v) const {
    for (uint32_t o = faceOffset(face), end = faceOffset(face + 1); o < end; ++o)
        if (getStartVertex(o) == v) return o;
    return TpolyBits::kNoId;
}

uint32_t TpolyGeom::getFaceVtxNormalId(uint32_t face, uint32_t v) const {
    if (face >= nbFace() || face + 1 >= fTopo->fFaceOffsets.size() || v >= nbVertex()) return TpolyBits::kNoId;
    uint32_t o = getVertexOffset(face, v);
    if (o == TpolyBits::kNoId || o >= fNorm->fNormalIds.size()) return TpolyBits::kNoId;
    return fNorm->fNormalIds[o];
}

void TpolyGeom::packArray() {
    fTopo->fEdges.pack();
    fTopo->fFaceDesc.pack();
    for (uint32_t i = 0; i < fMaps->nbMap(); ++i) (*fMaps)[i].pack();
    for (TpolyColor& c : *fColors) c.pack();
    fVertex->fPoints.pack();
    fNorm->fNormalIds.pack();
    fNorm->fFaceNormals.pack();
    fTrg->fTriangles.pack();
}

int TpolyGeom::checkIndices() {
    const uint32_t nEdge = nbEdge(), nVertex = nbVertex();
    for (uint32_t w : fTopo->fFaceDesc)
        if ((w & TpolyBits::kEdgeMask) >= nEdge) return 2;
    for (const TpolyEdge& e : fTopo->fEdges)
        if (e.start() >= nVertex || e.end() >= nVertex) return 1;
    for (uint32_t s = 0; s < fMaps->nbMap(); ++s) {
        TpolyMap& map = (*fMaps)[s];
        for (int32_t& id : map.indexArray()) {
            if (id == TpolyBdVertexFaceBase::kNoId || uint32_t(id) < map.nbUV()) continue;
            id = static_cast<int32_t>(map.appendUV(0.0f, 0.0f));
        }
    }
    return 0;
}

bool TpolyGeom::isEquivalentTopology(const TpolyGeom& other) const {
    return nbFace() == other.nbFace() && fTopo->fEdges == other.fTopo->fEdges &&
           fTopo->fFaceDesc == other.fTopo->fFaceDesc;
}

bool TpolyGeom::isEquivalent(const TpolyGeom& other) const {
    return fVertex->fPoints == other.fVertex->fPoints && isEquivalentTopology(other);
}

uint32_t TpolyGeom::compareObject(const TpolyGeom& other) const {
    if (!(fVertex->fPoints == other.fVertex->fPoints)) return kCompVertices;
    if (!isEquivalentTopology(other)) return kCompTopology;
    if (fMaps->nbMap() != other.fMaps->nbMap()) return kCompUVSets;
    for (uint32_t s = 0; s < fMaps->nbMap(); ++s)
        if (!(*fMaps)[s].compare((*other.fMaps)[s])) return kCompUVSets;
    if (fColors->nbSet() != other.fColors->nbSet()) return kCompColorSets;
    for (uint32_t s = 0; s < fColors->nbSet(); ++s)
        if (!(*fColors)[s].compare((*other.fColors)[s])) return kCompColorSets;
    return 0;
}

size_t TpolyGeom::bytesAllocated() const {
    size_t n = fVertex->fPoints.bytesAllocated();
    const TpolyTopo& t = *fTopo;
    n += t.fEdges.bytesAllocated() + t.fFaceDesc.bytesAllocated() + t.fFaceOffsets.bytesAllocated() +
         t.fEdgeToFace.bytesAllocated() + t.fVertexToEdge.bytesAllocated() + t.fN2MFaces.bytesAllocated() +
         t.fN2MEdges.bytesAllocated();
    const TpolyNorm& nm = *fNorm;
    n += nm.fFaceNormals.bytesAllocated() + nm.fVertexNormals.bytesAllocated() + nm.fNormalIds.bytesAllocated() +
         nm.fUserNormals.bytesAllocated() + nm.fSurfaceNormals.bytesAllocated();
    n += fTrg->fFirstTriangle.bytesAllocated() + fTrg->fTriangles.bytesAllocated();
    return n;
}
