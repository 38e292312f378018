#include "brindle/uv/UvSetFty.h"

#include "brindle/ops/ModifierRegistry.h"

// Abstract: the registry constructs only the operations derived from it.
const Tmetaclass TpolyUvSetFty::sMetaclass("TpolyUvSetFty", sizeof(TpolyUvSetFty), nullptr, 0,
                                           &TmidModifierFty::sMetaclass);

namespace {
const TmodifierParamTable sParams(
    TpolyUvSetFty::sMetaclass,
    {BRINDLE_MODIFIER_PARAM_GETTER(TpolyUvSetFty, UVSetIndex, uvSetIndex,
                                   "index of the UV set to work on; 4294967295 (all ones) for the default", 0, 1)});
}  // namespace
