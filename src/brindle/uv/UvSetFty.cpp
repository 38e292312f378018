#include "brindle/uv/UvSetFty.h"

// Abstract: the registry constructs only the operations derived from it.
const Tmetaclass TpolyUvSetFty::sMetaclass("TpolyUvSetFty", sizeof(TpolyUvSetFty), nullptr, 0,
                                           &TmidModifierFty::sMetaclass);
