#pragma once

#include <cstdint>

#include "brindle/base/BlindData.h"
#include "brindle/base/Export.h"
#include "brindle/base/Shared.h"
#include "brindle/base/String.h"

// Blind data of one component kind (edges, faces or vertices) of a record: the values, created on
// first use.
class BRINDLE_API TpolyBdBlindData {
public:
    TmtRefCounter fRefs;
    Tstring fName;
    TbdDataPtrArray fData;
};
