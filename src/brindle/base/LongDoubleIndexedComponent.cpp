#include "brindle/base/LongDoubleIndexedComponent.h"

#include <algorithm>

#include "brindle/base/Diagnostics.h"

Tcomponent* TlongDoubleIndexedComponent::newEmpty() const { return new TlongDoubleIndexedComponent; }

bool TlongDoubleIndexedComponent::copyData(const Tcomponent& other) {
    auto* o = dynamic_cast<const TlongDoubleIndexedComponent*>(&other);
    if (!o) return false;
    if (o != this) fPairs.copy(o->fPairs);
    return true;
}

bool TlongDoubleIndexedComponent::isEqual(const Tcomponent& other) const {
    auto* o = dynamic_cast<const TlongDoubleIndexedComponent*>(&other);
    return o && o->fPairs == fPairs;
}

// Writes op(thisRange, otherRange, out) into a fresh array sized for the largest result, which
// then replaces this list's pairs; the other list may be this one.
template <typename SetOp>
bool TlongDoubleIndexedComponent::combine(const Tcomponent& other, SetOp&& op) {
    auto* o = dynamic_cast<const TlongDoubleIndexedComponent*>(&other);
    if (!o) return false;
    Tarray<TidPair> out;
    out.changeLogicalSizeTo(fPairs.size() + o->fPairs.size());
    TidPair* end = op(fPairs.begin(), fPairs.end(), o->fPairs.begin(), o->fPairs.end(), out.begin());
    out.changeLogicalSizeTo(static_cast<uint32_t>(end - out.begin()));
    fPairs.swap(out);
    return true;
}

bool TlongDoubleIndexedComponent::merge(const Tcomponent& other) {
    return combine(other, [](auto... args) { return std::set_union(args...); });
}

bool TlongDoubleIndexedComponent::intersection(const Tcomponent& other) {
    return combine(other, [](auto... args) { return std::set_intersection(args...); });
}

bool TlongDoubleIndexedComponent::difference(const Tcomponent& other) {
    return combine(other, [](auto... args) { return std::set_difference(args...); });
}

bool TlongDoubleIndexedComponent::intersects(const Tcomponent& other) const {
    auto* o = dynamic_cast<const TlongDoubleIndexedComponent*>(&other);
    if (!o) return false;
    const TidPair *a = fPairs.begin(), *b = o->fPairs.begin();
    while (a != fPairs.end() && b != o->fPairs.end()) {
        if (*a == *b) return true;
        if (*a < *b)
            ++a;
        else
            ++b;
    }
    return false;
}

Tcomponent* TlongDoubleIndexedComponent::extractSingle(uint32_t i) const {
    if (i >= fPairs.size()) return nullptr;
    // newEmpty of every derived kind answers a list of that kind, hence of this family.
    Tcomponent* single = newEmpty();
    static_cast<TlongDoubleIndexedComponent*>(single)->addElement(fPairs[i].first, fPairs[i].second);
    return single;
}

void TlongDoubleIndexedComponent::debug(TdebugOutput& out) const {
    const char* sep = "";
    for (const TidPair& p : fPairs) {
        out.print("%s%u/%u", sep, p.first, p.second);
        sep = " ";
    }
    out << '\n';
}

bool TlongDoubleIndexedComponent::addElement(uint32_t first, uint32_t second) {
    TidPair p{first, second};
    if (fPairs.empty() || fPairs.last() < p) {
        fPairs.addLast(p);
        return true;
    }
    TidPair* it = std::lower_bound(fPairs.begin(), fPairs.end(), p);
    if (*it == p) return false;
    fPairs.insertElement(static_cast<uint32_t>(it - fPairs.begin()), p);
    return true;
}

void TlongDoubleIndexedComponent::assign(const TidPair* pairs, uint32_t n) {
    fPairs.clear();
    fPairs.append(pairs, n);
    if (!std::is_sorted(fPairs.begin(), fPairs.end())) std::sort(fPairs.begin(), fPairs.end());
    fPairs.changeLogicalSizeTo(static_cast<uint32_t>(std::unique(fPairs.begin(), fPairs.end()) - fPairs.begin()));
}

bool TlongDoubleIndexedComponent::removeElement(uint32_t first, uint32_t second) {
    TidPair p{first, second};
    TidPair* it = std::lower_bound(fPairs.begin(), fPairs.end(), p);
    if (it == fPairs.end() || *it != p) return false;
    fPairs.removeAt(static_cast<uint32_t>(it - fPairs.begin()));
    return true;
}

bool TlongDoubleIndexedComponent::hasElement(uint32_t first, uint32_t second) const {
    return std::binary_search(fPairs.begin(), fPairs.end(), TidPair{first, second});
}

void TlongDoubleIndexedComponent::generateStrings(const char* prefix, std::vector<std::string>& strings) const {
    for (const TidPair& p : fPairs)
        strings.push_back(std::string(prefix) + '[' + std::to_string(p.first) + "][" + std::to_string(p.second) + ']');
}
