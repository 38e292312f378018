// Crease values: the edge group of the reserved crease name, whose members are the creased edges
// and whose values hold one double per member in increasing edge id. Every writer here rebuilds
// members and values together, so a member never lacks its value.

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "brindle/geom/PolyGeom.h"

namespace {

const TpolyGrpDesc* creaseGroup(const TpolyGrp& grp) {
    const int32_t g = grp.findExact(kGrpNameCrease, kPolyGrpEdge);
    return g >= 0 ? &grp.fGroups[uint32_t(g)] : nullptr;
}

}  // namespace

bool TpolyGeom::getCreaseEdges(TuInt32Array& edges, TdoubleArray& values) const {
    edges.clear();
    values.clear();
    const TpolyGrpDesc* d = creaseGroup(*fGrp);
    const TsingleIndexedComponent* list = d ? d->singleItems() : nullptr;
    if (!list) return false;
    edges.buffer(list->elementCount());
    for (uint32_t e : *list) edges.addLast(e);
    if (d->data()) values.copy(*d->data());
    return !edges.empty();
}

bool TpolyGeom::getCreaseValue(uint32_t edge, double& value) const {
    const TpolyGrpDesc* d = creaseGroup(*fGrp);
    const TsingleIndexedComponent* list = d ? d->singleItems() : nullptr;
    if (!list || !d->data()) return false;
    // The member's rank is its index among the values: count the ids of the runs before it.
    uint32_t rank = 0;
    for (uint32_t k = 0; k < list->entryCount();) {
        const bool block = (list->entry(k) & TsingleIndexedComponent::kBlockFlag) != 0;
        const uint32_t first = list->entry(k) & TsingleIndexedComponent::kIdMask;
        const uint32_t last = block ? list->entry(k + 1) & TsingleIndexedComponent::kIdMask : first;
        if (edge < first) return false;
        if (edge <= last) {
            rank += edge - first;
            if (rank >= d->data()->size()) return false;
            value = (*d->data())[rank];
            return true;
        }
        rank += last - first + 1;
        k += block ? 2 : 1;
    }
    return false;
}

void TpolyGeom::setCreaseEdges(const TuInt32Array& edges, const TdoubleArray& values) {
    const uint32_t n = std::min(edges.size(), values.size());
    std::vector<std::pair<uint32_t, double>> pairs;
    pairs.reserve(n);
    for (uint32_t i = 0; i < n; ++i)
        if (edges[i] < nbEdge()) pairs.emplace_back(edges[i], values[i]);
    std::stable_sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    int32_t g = fGrp->findExact(kGrpNameCrease, kPolyGrpEdge);
    if (g < 0 && pairs.empty()) return;
    if (g < 0) g = int32_t(fGrp->append(kGrpNameCrease, kPolyGrpEdge));
    TpolyGrpDesc& d = fGrp->fGroups[uint32_t(g)];

    // Merge the stored members with the sorted pairs in increasing edge id: of equal ids the last
    // pair wins over earlier pairs and over the stored value.
    auto members = std::make_unique<TsingleIndexedComponent>();
    auto merged = std::make_unique<TdoubleArray>(256);
    auto keep = [&](uint32_t e, double v) {
        if (v < 0) return;
        members->addElement(e);
        merged->addLast(v);
    };
    const TsingleIndexedComponent* old = d.singleItems();
    const TdoubleArray* oldValues = d.data();
    const uint32_t nbOld = old && oldValues ? std::min(old->elementCount(), oldValues->size()) : 0;
    auto it = old ? old->begin() : TsingleIndexedComponent::Iterator();
    uint32_t rank = 0;
    for (size_t p = 0; p < pairs.size();) {
        const uint32_t e = pairs[p].first;
        for (; rank < nbOld && *it < e; ++rank, ++it) keep(*it, (*oldValues)[rank]);
        if (rank < nbOld && *it == e) {
            ++rank;
            ++it;
        }
        while (p + 1 < pairs.size() && pairs[p + 1].first == e) ++p;
        keep(e, pairs[p++].second);
    }
    for (; rank < nbOld; ++rank, ++it) keep(*it, (*oldValues)[rank]);
    d.fItems = std::move(members);
    d.endGroup();
    d.setData(merged.release());
}

bool TpolyGeom::setCreaseValue(uint32_t edge, double value) {
    if (edge >= nbEdge()) return false;
    TuInt32Array edges;
    TdoubleArray values;
    edges.addLast(edge);
    values.addLast(value);
    setCreaseEdges(edges, values);
    return true;
}
