#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"

// Points with ids in an octree over a fixed box, filled one point at a time. A cell holds its
// points in a list until it has more than maxPerCell of them; it then splits into eight, unless
// its side is already below tolerance times the box diagonal (so that many coincident points
// never split forever). Points outside the box are kept in the nearest border cell. Every
// array is flat and indexed by node or entry number; clear keeps the memory for the next fill.
class BRINDLE_API TpointOctree {
public:
    static constexpr uint32_t kEnd = 0xFFFFFFFFu;

    TpointOctree(uint32_t maxPerCell, uint32_t initialDepth, float tolerance);

    // Empties the tree and spans it over the box (grown to a cube about the box's centre).
    void setDimensions(const T3dFltPoint& min, const T3dFltPoint& max);
    void addEntry(const T3dFltPoint& p, uint32_t id);
    uint32_t nbEntry() const { return fPoints.size(); }
    // Points ready to be added in one go: reserves the entry arrays.
    void entryBuffer(uint32_t n);

private:
    friend class TpointOctreeWalker;
    // A leaf has child kEnd and the head of its entry list; an inner node the first of its
    // eight children, numbered by the octant bits x 1, y 2, z 4.
    struct Node {
        uint32_t child = kEnd;
        uint32_t head = kEnd;
        uint32_t count = 0;
    };
    static constexpr uint32_t kMaxDepth = 21;

    void split(uint32_t node, const T3dFltPoint& centre);
    static uint32_t octant(const T3dFltPoint& p, const T3dFltPoint& centre) {
        return uint32_t(p.x >= centre.x) | uint32_t(p.y >= centre.y) << 1 | uint32_t(p.z >= centre.z) << 2;
    }
    static T3dFltPoint childCentre(const T3dFltPoint& centre, float half, uint32_t oct) {
        const float q = half * 0.5f;
        return {centre.x + (oct & 1 ? q : -q), centre.y + (oct & 2 ? q : -q), centre.z + (oct & 4 ? q : -q)};
    }

    uint32_t fMaxPerCell;
    uint32_t fInitialDepth;
    float fTolerance;
    float fMinHalf = 0;
    T3dFltPoint fCentre;
    float fHalf = 0;
    Tarray<Node> fNodes{256};
    T3dFltPointArray fPoints{256};
    TuInt32Array fIds{256};
    TuInt32Array fNext{256};
};

// Reports, one at a time, the ids of the entries strictly closer than radius to a point. The
// cells are visited when next is called, so an entry added after the walker was made is seen
// as long as its cell has not been passed yet. The tree must not change once next was called.
class BRINDLE_API TpointOctreeWalker {
public:
    TpointOctreeWalker(const TpointOctree& tree, const T3dFltPoint& p, float radius);
    // The next id, or TpointOctree::kEnd when there is none left.
    uint32_t next();

private:
    // Trivially constructible, so that a walker costs nothing until it descends.
    struct Pending {
        uint32_t node;
        float centre[3];
        float half;
    };
    // Every node on the stack has at most seven siblings waiting above it.
    static constexpr uint32_t kStack = 8 * (TpointOctree::kMaxDepth + 1);

    const TpointOctree& fTree;
    T3dFltPoint fPoint;
    float fRadius, fRadius2;
    uint32_t fEntry = TpointOctree::kEnd;
    uint32_t fDepth = 0;
    bool fStarted = false;
    Pending fStack[kStack];
};
