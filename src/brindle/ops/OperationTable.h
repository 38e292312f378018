#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "brindle/base/Export.h"
#include "brindle/ops/ModifierRegistry.h"

class TmidComponent;
class TpolyGeom;

// One parameter of an operation: its registration (name, type, setter, help, range), the class
// that registered it and the value a new factory holds, as text (empty when the class has no
// getter for it).
struct ToperationParam {
    const TmodifierParam* param;
    const Tmetaclass* owner;
    std::string defaultText;

    const char* name() const { return param->name; }
    TmodifierParamType type() const { return param->type; }
};

// One operation: every concrete registered modifier class is one, named after its factory type
// without the leading T, the lower-case family prefix and the Fty suffix, the first letter in
// lower case (TpolyMoveVertexFty is "moveVertex"). The parameters are the class's own first, then
// those of each class above it; the selection is the component kind its action reads.
struct BRINDLE_API Toperation {
    std::string name;
    const Tmetaclass* type;
    TpolyGrpType selection;
    std::vector<ToperationParam> params;

    // A new factory with every parameter at its default.
    std::unique_ptr<TmidModifierFty> create() const;
    const ToperationParam* findParam(std::string_view paramName) const;
};

// The operations of the class registry, built on first use (after every class registered at
// load time) and sorted by name: the one list the tool, the tests and the documentation read.
namespace ToperationTable {
BRINDLE_API const std::vector<Toperation>& all();
// The operation of that name or factory type, or null.
BRINDLE_API const Toperation* find(std::string_view name);
// The operation name of a factory type name.
BRINDLE_API std::string operationName(std::string_view typeName);
// "vertices", "edges", "faces", "uvs", or "none".
BRINDLE_API const char* selectionName(TpolyGrpType kind);
// An empty component list of the kind an operation selects (UV points for kinds without a list).
BRINDLE_API std::unique_ptr<TmidComponent> newList(TpolyGrpType kind);
// How many components of the kind a selection of g can name: its vertices, edges or faces, or
// the points of its current UV set (0 without one); 0 for any other kind.
BRINDLE_API uint32_t componentCount(const TpolyGeom& g, TpolyGrpType kind);
// The list of kind newList(kind) makes, holding every component componentCount counts.
BRINDLE_API std::unique_ptr<TmidComponent> everyComponent(const TpolyGeom& g, TpolyGrpType kind);
}  // namespace ToperationTable
