#pragma once

#include <cstdint>

#include "brindle/base/Export.h"
#include "brindle/base/Metaclass.h"
#include "brindle/framework/ModifierFty.h"

// Base of the UV operations that work on one set named by its index. All ones is the default;
// each operation says whether it then takes the record's current set or refuses.
class BRINDLE_API TpolyUvSetFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

    uint32_t uvSetIndex() const { return fSet; }
    void setUVSetIndex(uint32_t s) { fSet = s; }

protected:
    uint32_t fSet = 0xFFFFFFFFu;
};
