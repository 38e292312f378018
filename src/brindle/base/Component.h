#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brindle/base/Export.h"

class TdebugOutput;

// A list of component ids: the selections that groups and operations pass around. Each family of
// lists keeps its elements sorted and unique, so that equality is an element-wise comparison and
// every set operation is one linear merge. Set operations between lists of different families
// answer false and change nothing.
class BRINDLE_API Tcomponent {
public:
    Tcomponent() = default;
    Tcomponent(const Tcomponent&) = default;
    Tcomponent& operator=(const Tcomponent&) = default;
    virtual ~Tcomponent();

    // A new empty list of the same class as this one; a derived kind overrides it so that copies
    // and extracts keep their kind.
    virtual Tcomponent* newEmpty() const = 0;
    // Takes over the elements of another list of the same family; false (nothing changed) otherwise.
    virtual bool copyData(const Tcomponent& other) = 0;
    virtual uint32_t elementCount() const = 0;
    virtual void clear() = 0;
    virtual bool isEqual(const Tcomponent& other) const = 0;
    // Elements are always kept in order; sorting only restores what a derived kind may disturb.
    virtual void sort() {}
    // In place: this becomes this | other, this & other, this - other.
    virtual bool merge(const Tcomponent& other) = 0;
    virtual bool intersection(const Tcomponent& other) = 0;
    virtual bool difference(const Tcomponent& other) = 0;
    // True when the two lists share at least one element.
    virtual bool intersects(const Tcomponent& other) const = 0;
    // A new list of this class holding element i alone, or null when i is out of range.
    virtual Tcomponent* extractSingle(uint32_t i) const = 0;
    virtual void debug(TdebugOutput& out) const = 0;

    Tcomponent* clone() const;
    bool isEmpty() const { return elementCount() == 0; }
};

// Appends to strings the textual form of a run of ids: "prefix[first]" or "prefix[first:last]".
BRINDLE_API void generateRangeString(const char* prefix, uint32_t first, uint32_t last,
                                     std::vector<std::string>& strings);
