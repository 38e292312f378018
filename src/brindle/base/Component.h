#pragma once

#include <cstdint>

#include "brindle/base/Export.h"

// Base of the component lists (sets of component ids) that groups and operations pass around.
class BRINDLE_API Tcomponent {
public:
    virtual ~Tcomponent() = default;
    virtual Tcomponent* clone() const = 0;
    virtual uint32_t elementCount() const = 0;
    bool isEmpty() const { return elementCount() == 0; }
};
