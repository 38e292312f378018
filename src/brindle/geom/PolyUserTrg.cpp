#include "brindle/geom/PolyUserTrg.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "brindle/base/Diagnostics.h"

namespace {

using TuserTrgRegistry = std::vector<std::unique_ptr<TuserTrgFunc>>;

// Built on first use, so registration from another library's static initialisation is safe.
TuserTrgRegistry& registry() {
    static TuserTrgRegistry entries;
    return entries;
}

TuserTrgRegistry::iterator findByName(const Tstring& name) {
    TuserTrgRegistry& r = registry();
    return std::find_if(r.begin(), r.end(), [&](const auto& entry) { return entry->fName == name; });
}

}  // namespace

bool TpolyUserTrg::registerTrgFunc(Tstring name, TuserTrgFunction fn) {
    auto it = findByName(name);
    if (it != registry().end()) {
        theErrorHandler().reportError((*it)->fFunc == fn ? "The function is already registered."
                                                         : "The function with that name is already registered");
        return false;
    }
    registry().push_back(std::make_unique<TuserTrgFunc>(std::move(name), fn));
    return true;
}

bool TpolyUserTrg::unregisterTrgFunc(Tstring name) {
    auto it = findByName(name);
    if (it == registry().end()) return false;
    registry().erase(it);
    return true;
}

bool TpolyUserTrg::getTrgFunc(Tstring name, TuserTrgFunction& fn) {
    auto it = findByName(name);
    if (it == registry().end()) {
        theErrorHandler().reportError("Cannot find the triangulation function");
        return false;
    }
    fn = (*it)->fFunc;
    return true;
}
