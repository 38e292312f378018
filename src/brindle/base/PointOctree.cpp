#include "brindle/base/PointOctree.h"

#include <algorithm>
#include <cmath>

TpointOctree::TpointOctree(uint32_t maxPerCell, uint32_t initialDepth, float tolerance)
    : fMaxPerCell(std::max(maxPerCell, 1u)), fInitialDepth(std::min(initialDepth, kMaxDepth)), fTolerance(tolerance) {}

void TpointOctree::entryBuffer(uint32_t n) {
    fPoints.buffer(n);
    fIds.buffer(n);
    fNext.buffer(n);
}

void TpointOctree::setDimensions(const T3dFltPoint& min, const T3dFltPoint& max) {
    fNodes.clear();
    fPoints.clear();
    fIds.clear();
    fNext.clear();
    fCentre = {0.5f * (min.x + max.x), 0.5f * (min.y + max.y), 0.5f * (min.z + max.z)};
    const float half = 0.5f * std::max({max.x - min.x, max.y - min.y, max.z - min.z});
    // A flat or empty box still gets a cell with room around its points.
    fHalf = half > 0 ? half * 1.0001f : 1.0f;
    const float diagonal = std::sqrt((max.x - min.x) * (max.x - min.x) + (max.y - min.y) * (max.y - min.y) +
                                     (max.z - min.z) * (max.z - min.z));
    fMinHalf = 0.5f * fTolerance * diagonal;
    fNodes.addLast(Node{});
    if (fInitialDepth == 0) return;
    // Pre-split breadth first: the nodes of each level are consecutive.
    struct Cell {
        uint32_t node;
        T3dFltPoint centre;
        float half;
    };
    Tarray<Cell> level, nextLevel;
    level.addLast({0, fCentre, fHalf});
    for (uint32_t d = 0; d < fInitialDepth; ++d) {
        nextLevel.clear();
        for (const Cell& c : level) {
            split(c.node, c.centre);
            for (uint32_t k = 0; k < 8; ++k)
                nextLevel.addLast({fNodes[c.node].child + k, childCentre(c.centre, c.half, k), 0.5f * c.half});
        }
        level.swap(nextLevel);
    }
}

void TpointOctree::split(uint32_t node, const T3dFltPoint& centre) {
    const uint32_t first = fNodes.size();
    for (uint32_t k = 0; k < 8; ++k) fNodes.addLast(Node{});
    Node& n = fNodes[node];
    n.child = first;
    for (uint32_t e = n.head; e != kEnd;) {
        const uint32_t following = fNext[e];
        Node& c = fNodes[first + octant(fPoints[e], centre)];
        fNext[e] = c.head;
        c.head = e;
        ++c.count;
        e = following;
    }
    n.head = kEnd;
    n.count = 0;
}

void TpointOctree::addEntry(const T3dFltPoint& p, uint32_t id) {
    if (fNodes.empty()) setDimensions(p, p);
    const uint32_t e = fPoints.size();
    fPoints.addLast(p);
    fIds.addLast(id);
    fNext.addLast(kEnd);
    uint32_t node = 0, depth = 0;
    T3dFltPoint centre = fCentre;
    float half = fHalf;
    while (fNodes[node].child != kEnd) {
        const uint32_t oct = octant(p, centre);
        node = fNodes[node].child + oct;
        centre = childCentre(centre, half, oct);
        half *= 0.5f;
        ++depth;
    }
    Node& leaf = fNodes[node];
    fNext[e] = leaf.head;
    leaf.head = e;
    if (++leaf.count > fMaxPerCell && depth < kMaxDepth && half > fMinHalf) split(node, centre);
}

TpointOctreeWalker::TpointOctreeWalker(const TpointOctree& tree, const T3dFltPoint& p, float radius)
    : fTree(tree), fPoint(p), fRadius(radius), fRadius2(radius * radius) {}

uint32_t TpointOctreeWalker::next() {
    if (!fStarted) {
        fStarted = true;
        if (fRadius > 0 && !fTree.fNodes.empty())
            fStack[fDepth++] = {0, {fTree.fCentre.x, fTree.fCentre.y, fTree.fCentre.z}, fTree.fHalf};
    }
    for (;;) {
        while (fEntry != TpointOctree::kEnd) {
            const uint32_t e = fEntry;
            fEntry = fTree.fNext[e];
            const T3dFltPoint& q = fTree.fPoints[e];
            const float dx = q.x - fPoint.x, dy = q.y - fPoint.y, dz = q.z - fPoint.z;
            if (dx * dx + dy * dy + dz * dz < fRadius2) return fTree.fIds[e];
        }
        if (fDepth == 0) return TpointOctree::kEnd;
        const Pending cell = fStack[--fDepth];
        const T3dFltPoint centre(cell.centre[0], cell.centre[1], cell.centre[2]);
        const TpointOctree::Node& n = fTree.fNodes[cell.node];
        if (n.child == TpointOctree::kEnd) {
            fEntry = n.head;
            continue;
        }
        // Children whose cube, widened by the radius, holds the point. Points outside the root
        // box sit in border cells, so a border child is open outwards.
        const float q = 0.5f * cell.half;
        for (uint32_t k = 0; k < 8; ++k) {
            const T3dFltPoint c = TpointOctree::childCentre(centre, cell.half, k);
            bool reach = true;
            for (int a = 0; a < 3 && reach; ++a) {
                const float d = fPoint[a] - c[a];
                const bool low = ((k >> a) & 1) == 0;
                // Points beyond the root box are kept in the child on their side.
                const bool openBelow = low && centre[a] - cell.half <= fTree.fCentre[a] - fTree.fHalf;
                const bool openAbove = !low && centre[a] + cell.half >= fTree.fCentre[a] + fTree.fHalf;
                if (d < -(q + fRadius) && !openBelow) reach = false;
                if (d > q + fRadius && !openAbove) reach = false;
            }
            if (reach) fStack[fDepth++] = {n.child + k, {c.x, c.y, c.z}, q};
        }
    }
}
