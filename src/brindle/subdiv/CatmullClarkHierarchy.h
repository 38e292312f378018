#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "brindle/base/Export.h"

class TpolyGeom;

// Per UV set and level: how many UVs the level holds and how many of its faces are mapped.
// Level 0 is the set as the record held it when the hierarchy was built.
class BRINDLE_API TmultiMapHierarchy {
public:
    void reset(uint32_t maps) { fMaps.assign(maps, {}); }
    uint32_t nbMap() const { return uint32_t(fMaps.size()); }
    uint32_t nbUVAt(uint32_t map, uint32_t level) const { return at(map, level).uvs; }
    void setNbUVAt(uint32_t map, uint32_t level, uint32_t n) { slot(map, level).uvs = n; }
    uint32_t mappedFacesAt(uint32_t map, uint32_t level) const { return at(map, level).faces; }
    void setMappedFacesAt(uint32_t map, uint32_t level, uint32_t n) { slot(map, level).faces = n; }

private:
    struct Entry {
        uint32_t uvs = 0;
        uint32_t faces = 0;
    };
    Entry at(uint32_t map, uint32_t level) const {
        return map < fMaps.size() && level < fMaps[map].size() ? fMaps[map][level] : Entry{};
    }
    Entry& slot(uint32_t map, uint32_t level) {
        if (map >= fMaps.size()) fMaps.resize(map + 1);
        if (level >= fMaps[map].size()) fMaps[map].resize(level + 1);
        return fMaps[map][level];
    }
    std::vector<std::vector<Entry>> fMaps;
};

// The numbering of a subdivision hierarchy stored behind the level-0 components of a record.
// Level l+1 is appended in this order. Vertices: one child per vertex of level l, then the d
// children of each edge, then the d*d interior vertices of each face. Edges: the d+1 pieces of
// each edge in the edge's direction, then the interior edges of each face. Faces: the sub-faces
// of each face. Every level past 0 is made of quads.
//
// Two layouts exist. The split layout (Catmull-Clark, d = 1) turns an n-cornered face into n
// quads; at level 0 a face's interior edges and sub-faces start at its corner offset in the
// face description, so that every id is one addition away. The uniform layout cuts each quad
// into a (d+1) x (d+1) grid and is only used when every level-0 face is a single-loop quad: on
// other meshes a uniform request falls back to the split layout with d = 1, which keeps the
// closed count formulas exact for every input.
//
// All ids are absolute record ids; "level" in a query is the level of the parent component.
class BRINDLE_API TpolyCatmullClarkHierarchy {
public:
    enum TmeshKind : int32_t { kAllTriangles = 0, kAllQuads = 1, kMixed = 2 };

    TpolyCatmullClarkHierarchy(const TpolyGeom& record, uint32_t divisions, bool uniform);
    virtual ~TpolyCatmullClarkHierarchy() = default;

    const TpolyGeom& record() const { return *fRecord; }
    bool quadMesh() const { return fUniform; }
    // Divisions in effect: the requested ones in the uniform layout, 1 in the split layout.
    uint32_t divisions() const { return fDivisions; }
    TmeshKind meshKind() const { return fKind; }

    // Computes the counts of levels 1 to levels and answers how many of them fit in the record's
    // 32-bit ids (edge ids have 29 bits); levels beyond are never built.
    uint32_t prepareLevels(uint32_t levels);
    uint32_t nbLevel() const { return uint32_t(fV.size()) - 1; }

    uint32_t nbVertexAt(uint32_t l) const { return l < fV.size() ? fV[l] : 0; }
    uint32_t nbEdgeAt(uint32_t l) const { return l < fE.size() ? fE[l] : 0; }
    uint32_t nbFaceAt(uint32_t l) const { return l < fF.size() ? fF[l] : 0; }
    uint32_t nbCornerAt(uint32_t l) const { return l < fC.size() ? fC[l] : 0; }
    uint32_t nbVertexUpTo(uint32_t l) const { return upTo(fVUp, l); }
    uint32_t nbEdgeUpTo(uint32_t l) const { return upTo(fEUp, l); }
    uint32_t nbFaceUpTo(uint32_t l) const { return upTo(fFUp, l); }
    uint32_t nbCornerUpTo(uint32_t l) const { return upTo(fCUp, l); }
    // First id of level l (0 for level 0).
    uint32_t vertexStart(uint32_t l) const { return l ? nbVertexUpTo(l - 1) : 0; }
    uint32_t edgeStart(uint32_t l) const { return l ? nbEdgeUpTo(l - 1) : 0; }
    uint32_t faceStart(uint32_t l) const { return l ? nbFaceUpTo(l - 1) : 0; }
    uint32_t cornerStart(uint32_t l) const { return l ? nbCornerUpTo(l - 1) : 0; }

    uint32_t relativeVertexId(uint32_t v, uint32_t l) const { return v - vertexStart(l); }
    uint32_t relativeEdgeId(uint32_t e, uint32_t l) const { return e - edgeStart(l); }
    uint32_t relativeFaceId(uint32_t f, uint32_t l) const { return f - faceStart(l); }
    // The level holding face f, or nbLevel() + 1 when f is beyond every level.
    uint32_t levelOfFace(uint32_t f) const;
    // Description offset of face f of level l, and its corner count.
    uint32_t faceCornerOffset(uint32_t f, uint32_t l) const {
        return l ? cornerStart(l) + 4 * relativeFaceId(f, l) : fOffset0[f];
    }
    uint32_t faceCornerCount(uint32_t f, uint32_t l) const { return l ? 4 : fOffset0[f + 1] - fOffset0[f]; }
    // The level-0 face offsets as they were when the hierarchy was made (nbFaceAt(0) + 1).
    const uint32_t* levelZeroOffsets() const { return fOffset0.data(); }

    uint32_t vertexSubVertex(uint32_t v, uint32_t l) const { return nbVertexUpTo(l) + relativeVertexId(v, l); }
    uint32_t edgeSubVertex(uint32_t e, uint32_t l) const {
        return nbVertexUpTo(l) + fV[l] + relativeEdgeId(e, l) * fDivisions;
    }
    std::pair<uint32_t, uint32_t> edgeSubVertexRange(uint32_t e, uint32_t l) const {
        const uint32_t first = edgeSubVertex(e, l);
        return {first, first + fDivisions - 1};
    }
    uint32_t faceSubVertex(uint32_t f, uint32_t l) const {
        return nbVertexUpTo(l) + fV[l] + fE[l] * fDivisions + relativeFaceId(f, l) * fDivisions * fDivisions;
    }
    std::pair<uint32_t, uint32_t> faceSubVertexRange(uint32_t f, uint32_t l) const {
        const uint32_t first = faceSubVertex(f, l);
        return {first, first + fDivisions * fDivisions - 1};
    }
    // Piece 0 of edge e, the one at its start vertex; piece k follows the edge's direction.
    uint32_t edgeSubEdge(uint32_t e, uint32_t l) const {
        return nbEdgeUpTo(l) + relativeEdgeId(e, l) * (fDivisions + 1);
    }
    uint32_t faceSubEdge(uint32_t f, uint32_t l) const {
        return nbEdgeUpTo(l) + fE[l] * (fDivisions + 1) + faceSlot(f, l) * (fUniform ? 2 * fDivisions : 1);
    }
    uint32_t faceSubFace(uint32_t f, uint32_t l) const {
        return nbFaceUpTo(l) + faceSlot(f, l) * (fUniform ? fDivisions + 1 : 1);
    }
    std::pair<uint32_t, uint32_t> faceSubFaceRange(uint32_t f, uint32_t l) const {
        const uint32_t first = faceSubFace(f, l);
        const uint32_t n = fUniform ? (fDivisions + 1) * (fDivisions + 1) : faceCornerCount(f, l);
        return {first, first + n - 1};
    }
    // Interior edges per face in the uniform layout, or the corner count in the split layout.
    uint32_t faceSubEdgeCount(uint32_t f, uint32_t l) const {
        return fUniform ? 2 * fDivisions * (fDivisions + 1) : faceCornerCount(f, l);
    }

    // UVs of one set per level; the counts are recorded by the builder.
    TmultiMapHierarchy& maps() { return fMaps; }
    const TmultiMapHierarchy& maps() const { return fMaps; }
    uint32_t nbUVAt(uint32_t map, uint32_t l) const { return fMaps.nbUVAt(map, l); }
    uint32_t nbUVUpTo(uint32_t map, uint32_t l) const;
    uint32_t uvStart(uint32_t map, uint32_t l) const { return l ? nbUVUpTo(map, l - 1) : 0; }
    // The copy of a UV of level l in level l+1.
    uint32_t uvSubUV(uint32_t uv, uint32_t map, uint32_t l) const { return nbUVUpTo(map, l) + uv - uvStart(map, l); }
    // The UV of the face point of face f (the first interior UV in the uniform layout), read from
    // the record's ids; -1 when the face has none.
    int32_t faceSubUV(uint32_t f, uint32_t map, uint32_t l) const;

    // Sizes reserved before level l is built from level l-1.
    uint32_t refineVertexCount(uint32_t l) const { return nbVertexAt(l); }
    uint32_t refineEdgeCount(uint32_t l) const { return nbEdgeAt(l); }
    uint32_t refineFaceVertexCount(uint32_t l) const { return 4 * nbFaceAt(l); }
    uint32_t refineUVCountGuess(uint32_t map, uint32_t l) const;

private:
    // Position of face f among the face slots of level l: its corner offset at level 0 of the
    // split layout, its relative id otherwise (scaled by the caller).
    uint32_t faceSlot(uint32_t f, uint32_t l) const {
        return (l || fUniform) ? relativeFaceId(f, l) * (fUniform ? fDivisions + 1 : 4) : fOffset0[f];
    }
    static uint32_t upTo(const std::vector<uint32_t>& prefix, uint32_t l) {
        return prefix.empty() ? 0 : prefix[l < prefix.size() ? l : prefix.size() - 1];
    }

    const TpolyGeom* fRecord;
    uint32_t fDivisions = 1;
    bool fUniform = false;
    TmeshKind fKind = kMixed;
    std::vector<uint32_t> fV, fE, fF, fC;          // counts per level
    std::vector<uint32_t> fVUp, fEUp, fFUp, fCUp;  // the same summed over levels 0 to l
    std::vector<uint32_t> fOffset0;                // level-0 face offsets, one more than faces
    TmultiMapHierarchy fMaps;
};
