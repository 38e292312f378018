#pragma once

#include <cstdint>
#include <memory>

#include "brindle/base/Array.h"
#include "brindle/base/Component.h"
#include "brindle/base/Export.h"
#include "brindle/base/Shared.h"
#include "brindle/geom/PolyTypes.h"

// One component group: a name (-1 = the current group of its kind), the kind of its items and the
// items themselves (null when it has none). Copying a descriptor copies its items.
class BRINDLE_API TpolyGrpDesc {
public:
    TpolyGrpDesc() = default;
    TpolyGrpDesc(const TpolyGrpDesc& o) : fName(o.fName), fType(o.fType), fItems(o.fItems ? o.fItems->clone() : nullptr) {}
    TpolyGrpDesc& operator=(const TpolyGrpDesc& o) {
        if (this != &o) {
            fName = o.fName;
            fType = o.fType;
            fItems.reset(o.fItems ? o.fItems->clone() : nullptr);
        }
        return *this;
    }
    TpolyGrpDesc(TpolyGrpDesc&&) = default;
    TpolyGrpDesc& operator=(TpolyGrpDesc&&) = default;

    int32_t fName = -1;
    TpolyGrpType fType = kPolyGrpNone;
    std::unique_ptr<Tcomponent> fItems;
    uint32_t fReserved = 0;
};

// The reference-counted groups of one record.
class BRINDLE_API TpolyGrp {
public:
    TmtRefCounter fRefs;
    TobjArray<TpolyGrpDesc> fGroups;
};
