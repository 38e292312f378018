#pragma once

#include <cstdint>

#include "brindle/base/Export.h"
#include "brindle/geom/PolyTypes.h"

// The host's active selection constraints: one bit per component kind (bit k for TpolyGrpType k).
// While a kind's bit is set, the group events that fill groups of that kind take their filtered
// path even without a constraint group. Process-wide and unlocked, like the rest of the library's
// global state: set and read from one thread.
class BRINDLE_API TpolyConstraints {
public:
    static uint32_t globActiveConstraints;
    static bool isActive(TpolyGrpType type) {
        return type >= kPolyGrpNone && type < 32 && ((globActiveConstraints >> uint32_t(type)) & 1u) != 0;
    }
};
