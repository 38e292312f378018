#pragma once

#include <cstdint>
#include <vector>

#include "brindle/base/Export.h"

// One candidate collapse: the edge, where its merged vertex goes (position, UV, colour), what the
// collapse costs and the area of the quadric it was priced with.
struct BRINDLE_API TqSlimEdge {
    uint32_t edge = 0;
    float position[3] = {0, 0, 0};
    float uv[2] = {0, 0};
    float color[3] = {0, 0, 0};
    double cost = 0;
    double area = 0;
};

// Binary min-heap of candidate collapses with an index from edge id to heap slot, so that a
// record whose cost changed is moved in place. Record i comes before record j when its cost is
// lower by at least 1e-10; costs closer than that are equal and the smaller area comes first.
// The heap itself holds only the ordering keys (cost, area, edge); the full records sit in an
// array by edge id, so sifting moves 24 bytes instead of a whole record.
// Invariant: slot of heap[k].edge == k for every slot k, and no other edge has a slot.
class BRINDLE_API TqslimEdgeIndexedHeap {
public:
    static constexpr uint32_t kNoSlot = ~0u;

    // Room for `records` records and an index over edge ids below `edges`; empties the heap.
    void reserve_heap_size(uint32_t records, uint32_t edges);
    uint32_t size() const { return uint32_t(fHeap.size()); }
    bool empty() const { return fHeap.empty(); }
    bool contains(uint32_t edge) const { return edge < fSlot.size() && fSlot[edge] != kNoSlot; }
    const TqSlimEdge& top() const { return fRecords[fHeap.front().edge]; }

    // Inserts a record (its edge must not be in the heap yet).
    void add_to_heap(const TqSlimEdge& record);
    // Replaces the record of the same edge, inserting it when absent.
    void update_heap(const TqSlimEdge& record);
    // Takes the cheapest record out into out; false when empty.
    bool pop_heap(TqSlimEdge& out);
    // Takes an edge's record out; false when it has none.
    bool remove(uint32_t edge);
    // Bulk loading: set_heap_size(n), then set_element(k, record) for k < n, then make_heap.
    void set_heap_size(uint32_t n);
    void set_element(uint32_t k, const TqSlimEdge& record);
    void make_heap();

private:
    struct Tkey {
        double cost;
        double area;
        uint32_t edge;
    };
    static bool lessThan(const Tkey& a, const Tkey& b) {
        if (a.cost <= b.cost - 1e-10) return true;
        if (b.cost <= a.cost - 1e-10) return false;
        return a.area < b.area;
    }
    void place(uint32_t k, const Tkey& key) {
        fHeap[k] = key;
        fSlot[key.edge] = k;
    }
    // Stores the record by its edge and answers its key.
    Tkey store(const TqSlimEdge& record);
    // Moves the key at slot k up (down) until the order holds.
    void pushUp(uint32_t k);
    void pushDown(uint32_t k);
    // After slot k changed: up or down as needed.
    void propagate(uint32_t k);

    std::vector<Tkey> fHeap;
    std::vector<uint32_t> fSlot;
    std::vector<TqSlimEdge> fRecords;
};
