#include "brindle/subdiv/CatmullClarkHierarchy.h"

#include "brindle/geom/PolyGeom.h"

TpolyCatmullClarkHierarchy::TpolyCatmullClarkHierarchy(const TpolyGeom& record, uint32_t divisions, bool uniform)
    : fRecord(&record) {
    const uint32_t nbFace = record.nbFace();
    const TuInt32Array& desc = record.faceDescArray();
    // The level-0 face offsets are taken from the end-of-face bits so that the numbering does not
    // depend on the record's derived data being up to date.
    fOffset0.reserve(nbFace + 1);
    fOffset0.push_back(0);
    bool allQuads = true, allTriangles = true;
    uint32_t start = 0, loops = 0;
    for (uint32_t o = 0; o < desc.size() && fOffset0.size() <= nbFace; ++o) {
        const uint32_t w = desc[o];
        if (w & TpolyBits::kEndOfLoop) ++loops;
        if (!(w & TpolyBits::kEndOfFace)) continue;
        const uint32_t n = o + 1 - start;
        allQuads = allQuads && n == 4 && loops == 1;
        allTriangles = allTriangles && n == 3 && loops == 1;
        fOffset0.push_back(o + 1);
        start = o + 1;
        loops = 0;
    }
    while (fOffset0.size() <= nbFace) fOffset0.push_back(start);
    fKind = nbFace && allQuads ? kAllQuads : nbFace && allTriangles ? kAllTriangles : kMixed;
    fUniform = uniform && fKind == kAllQuads;
    fDivisions = fUniform && divisions > 1 ? divisions : 1;

    fV = {record.nbVertex()};
    fE = {record.nbEdge()};
    fF = {nbFace};
    fC = {fOffset0.back()};
    fVUp = fV;
    fEUp = fE;
    fFUp = fF;
    fCUp = fC;
    fMaps.reset(record.nbMapSet());
    for (uint32_t s = 0; s < record.nbMapSet(); ++s) fMaps.setNbUVAt(s, 0, record.nbUV(s));
}

uint32_t TpolyCatmullClarkHierarchy::prepareLevels(uint32_t levels) {
    const uint64_t d = fDivisions;
    while (nbLevel() < levels) {
        const uint32_t l = nbLevel();
        const uint64_t v = fV[l], e = fE[l], f = fF[l], c = fC[l];
        const bool split = l == 0 && !fUniform;
        const uint64_t faces = split ? c : f * (d + 1) * (d + 1);
        const uint64_t edges = split ? c + 2 * e : (e + 2 * d * f) * (d + 1);
        const uint64_t verts = v + e * d + f * d * d;
        const uint64_t totalV = fVUp[l] + verts, totalE = fEUp[l] + edges, totalF = fFUp[l] + faces,
                       totalC = fCUp[l] + 4 * faces;
        // Vertex ids keep bit 31 free for the hard flag, edge ids have 29 bits in the description;
        // UV ids are signed.
        if (totalV > TpolyBits::kVertexMask || totalE > TpolyBits::kEdgeMask || totalF >= 0x7FFFFFFFu ||
            totalC >= 0x7FFFFFFFu)
            break;
        fV.push_back(uint32_t(verts));
        fE.push_back(uint32_t(edges));
        fF.push_back(uint32_t(faces));
        fC.push_back(uint32_t(4 * faces));
        fVUp.push_back(uint32_t(totalV));
        fEUp.push_back(uint32_t(totalE));
        fFUp.push_back(uint32_t(totalF));
        fCUp.push_back(uint32_t(totalC));
    }
    return nbLevel() < levels ? nbLevel() : levels;
}

uint32_t TpolyCatmullClarkHierarchy::levelOfFace(uint32_t f) const {
    uint32_t l = 0;
    while (l < fFUp.size() && f >= fFUp[l]) ++l;
    return l;
}

uint32_t TpolyCatmullClarkHierarchy::nbUVUpTo(uint32_t map, uint32_t l) const {
    uint32_t n = 0;
    for (uint32_t k = 0; k <= l; ++k) n += fMaps.nbUVAt(map, k);
    return n;
}

int32_t TpolyCatmullClarkHierarchy::faceSubUV(uint32_t f, uint32_t map, uint32_t l) const {
    // Split layout: corner 3 of a face's first sub-face is the face point. Uniform layout: corner
    // 2 of the first sub-face is the first interior grid point.
    const uint32_t corner = cornerStart(l + 1) + 4 * relativeFaceId(faceSubFace(f, l), l + 1) + (fUniform ? 2 : 3);
    return fRecord->getUVId(corner, map);
}

uint32_t TpolyCatmullClarkHierarchy::refineUVCountGuess(uint32_t map, uint32_t l) const {
    if (l == 0) return nbUVAt(map, 0);
    const uint64_t d = fDivisions;
    const uint64_t guess =
        uint64_t(nbUVAt(map, l - 1)) + uint64_t(nbCornerAt(l - 1)) * d + uint64_t(nbFaceAt(l - 1)) * d * d;
    return guess > 0x7FFFFFFFu ? 0x7FFFFFFFu : uint32_t(guess);
}
