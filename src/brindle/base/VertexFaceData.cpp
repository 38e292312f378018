#include "brindle/base/VertexFaceData.h"

#include <string>

#include "brindle/base/Diagnostics.h"

void TpolyBdVertexFaceBase::debug(TdebugOutput& out) const {
    out << "set \"" << fName.str() << "\" ids " << fIds.size() << " values " << nbData() << '\n';
    for (uint32_t c = 0; c < fIds.size(); ++c) out << ' ' << fIds[c];
    out << '\n';
}

void makeUniqueSetName(Tstring& name, std::string_view emptyBase,
                       const std::function<bool(std::string_view)>& exists) {
    const std::string base(name.isEmpty() ? emptyBase : std::string_view(name));
    std::string candidate = name.isEmpty() ? base + "1" : base;
    for (uint32_t n = 2; exists(candidate); ++n) candidate = base + std::to_string(n);
    name = Tstring(std::move(candidate));
}
