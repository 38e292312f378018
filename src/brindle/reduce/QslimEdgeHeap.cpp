#include "brindle/reduce/QslimEdgeHeap.h"

void TqslimEdgeIndexedHeap::reserve_heap_size(uint32_t records, uint32_t edges) {
    fHeap.clear();
    fHeap.reserve(records);
    fSlot.assign(edges, kNoSlot);
    fRecords.resize(edges);
}

TqslimEdgeIndexedHeap::Tkey TqslimEdgeIndexedHeap::store(const TqSlimEdge& record) {
    if (record.edge >= fSlot.size()) {
        fSlot.resize(record.edge + 1, kNoSlot);
        fRecords.resize(record.edge + 1);
    }
    fRecords[record.edge] = record;
    return Tkey{record.cost, record.area, record.edge};
}

void TqslimEdgeIndexedHeap::add_to_heap(const TqSlimEdge& record) {
    const Tkey key = store(record);
    fHeap.push_back(key);
    fSlot[key.edge] = uint32_t(fHeap.size() - 1);
    pushUp(uint32_t(fHeap.size() - 1));
}

void TqslimEdgeIndexedHeap::update_heap(const TqSlimEdge& record) {
    if (!contains(record.edge)) {
        add_to_heap(record);
        return;
    }
    const uint32_t k = fSlot[record.edge];
    fHeap[k] = store(record);
    propagate(k);
}

bool TqslimEdgeIndexedHeap::pop_heap(TqSlimEdge& out) {
    if (fHeap.empty()) return false;
    out = fRecords[fHeap.front().edge];
    remove(out.edge);
    return true;
}

bool TqslimEdgeIndexedHeap::remove(uint32_t edge) {
    if (!contains(edge)) return false;
    const uint32_t k = fSlot[edge];
    fSlot[edge] = kNoSlot;
    const uint32_t last = uint32_t(fHeap.size() - 1);
    if (k != last) {
        place(k, fHeap[last]);
        fHeap.pop_back();
        propagate(k);
    } else {
        fHeap.pop_back();
    }
    return true;
}

void TqslimEdgeIndexedHeap::set_heap_size(uint32_t n) {
    for (const Tkey& key : fHeap) fSlot[key.edge] = kNoSlot;
    fHeap.resize(n);
}

void TqslimEdgeIndexedHeap::set_element(uint32_t k, const TqSlimEdge& record) { place(k, store(record)); }

void TqslimEdgeIndexedHeap::make_heap() {
    for (uint32_t k = uint32_t(fHeap.size() / 2); k-- > 0;) pushDown(k);
}

void TqslimEdgeIndexedHeap::pushUp(uint32_t k) {
    const Tkey key = fHeap[k];
    while (k > 0) {
        const uint32_t parent = (k - 1) / 2;
        if (!lessThan(key, fHeap[parent])) break;
        place(k, fHeap[parent]);
        k = parent;
    }
    place(k, key);
}

void TqslimEdgeIndexedHeap::pushDown(uint32_t k) {
    const Tkey key = fHeap[k];
    const uint32_t n = uint32_t(fHeap.size());
    for (;;) {
        uint32_t child = 2 * k + 1;
        if (child >= n) break;
        if (child + 1 < n && lessThan(fHeap[child + 1], fHeap[child])) ++child;
        if (!lessThan(fHeap[child], key)) break;
        place(k, fHeap[child]);
        k = child;
    }
    place(k, key);
}

void TqslimEdgeIndexedHeap::propagate(uint32_t k) {
    if (k > 0 && lessThan(fHeap[k], fHeap[(k - 1) / 2]))
        pushUp(k);
    else
        pushDown(k);
}
