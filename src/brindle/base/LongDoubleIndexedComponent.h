#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

#include "brindle/base/Array.h"
#include "brindle/base/Component.h"
#include "brindle/base/Export.h"

// One element of a paired-index list, such as (vertex id, face id).
struct TidPair {
    uint32_t first;
    uint32_t second;
    auto operator<=>(const TidPair&) const = default;
};

// A sorted set of id pairs in one flat array, ordered by first id then second id, without
// duplicates. Adding pairs in increasing order appends in amortised O(1); any other order
// inserts in place. Set operations are single merges.
class BRINDLE_API TlongDoubleIndexedComponent : public Tcomponent {
public:
    TlongDoubleIndexedComponent() = default;

    Tcomponent* newEmpty() const override;
    bool copyData(const Tcomponent& other) override;
    uint32_t elementCount() const override { return fPairs.size(); }
    void clear() override { fPairs.clear(); }
    bool isEqual(const Tcomponent& other) const override;
    bool merge(const Tcomponent& other) override;
    bool intersection(const Tcomponent& other) override;
    bool difference(const Tcomponent& other) override;
    bool intersects(const Tcomponent& other) const override;
    Tcomponent* extractSingle(uint32_t i) const override;
    // The pairs as "first/second", space separated, then a new line.
    void debug(TdebugOutput& out) const override;

    // False, changing nothing, when the pair is already present.
    bool addElement(uint32_t first, uint32_t second);
    // Replaces the set by the given pairs: linear when they come sorted, sorted here otherwise.
    void assign(const TidPair* pairs, uint32_t n);
    bool removeElement(uint32_t first, uint32_t second);
    bool hasElement(uint32_t first, uint32_t second) const;
    // The i-th pair in order; i must be below elementCount().
    const TidPair& element(uint32_t i) const { return fPairs[i]; }
    // One "prefix[first][second]" string per pair.
    void generateStrings(const char* prefix, std::vector<std::string>& strings) const;

    const TidPair* begin() const { return fPairs.begin(); }
    const TidPair* end() const { return fPairs.end(); }

private:
    template <typename SetOp>
    bool combine(const Tcomponent& other, SetOp&& op);

    Tarray<TidPair> fPairs;
};
