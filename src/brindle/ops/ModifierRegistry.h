#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/ModifierFty.h"

// One parameter of a modifier class, settable from text: set parses the text and, when it reads
// as the parameter's type, calls the factory's setter and answers true.
struct TmodifierParam {
    const char* name;
    bool (*set)(TmidModifierFty& fty, std::string_view text);
};

// The parameters a modifier class adds to its parent's, registered once per class at load time
// next to its metaclass. A factory's settable parameters are those of its class and of every
// class above it.
class BRINDLE_API TmodifierParamTable {
public:
    TmodifierParamTable(const Tmetaclass& cls, std::initializer_list<TmodifierParam> params);
    TmodifierParamTable(const TmodifierParamTable&) = delete;
    TmodifierParamTable& operator=(const TmodifierParamTable&) = delete;

    const Tmetaclass& owner() const { return fOwner; }
    const std::vector<TmodifierParam>& params() const { return fParams; }
    static const TmodifierParamTable* find(const Tmetaclass* cls);

private:
    static std::vector<const TmodifierParamTable*>& tables();

    const Tmetaclass& fOwner;
    std::vector<TmodifierParam> fParams;
};

// Creating operations by type name and setting their parameters by name, for hosts and tools
// that drive the library from text.
namespace TmodifierRegistry {
// A new factory of the registered modifier class of that name (owned by the caller), or null when
// no such class exists, it is abstract, or it is not a modifier.
BRINDLE_API TmidModifierFty* create(std::string_view typeName);
// False, changing nothing, when the factory's classes have no parameter of that name or the text
// does not read as its type.
BRINDLE_API bool setParameter(TmidModifierFty& fty, std::string_view name, std::string_view text);
// The names setParameter accepts for this factory, its own class's first.
BRINDLE_API std::vector<std::string> parameterNames(const TmidModifierFty& fty);
}  // namespace TmodifierRegistry

// Text forms of parameter values: numbers in C syntax; bool as 0/1/true/false; vectors and points
// as three numbers (a fourth, w, optional for vectors); a rotation as three angles in radians and
// an optional order; a matrix as sixteen numbers, row by row. Numbers are separated by spaces or
// commas; the whole text must be consumed.
namespace TmodifierText {
BRINDLE_API bool parse(std::string_view text, double& out);
BRINDLE_API bool parse(std::string_view text, float& out);
BRINDLE_API bool parse(std::string_view text, int& out);
BRINDLE_API bool parse(std::string_view text, short& out);
BRINDLE_API bool parse(std::string_view text, unsigned& out);
BRINDLE_API bool parse(std::string_view text, bool& out);
BRINDLE_API bool parse(std::string_view text, T3dFltPoint& out);
BRINDLE_API bool parse(std::string_view text, T3dDblPoint& out);
BRINDLE_API bool parse(std::string_view text, T4dFltVector& out);
BRINDLE_API bool parse(std::string_view text, TrotateXYZ& out);
BRINDLE_API bool parse(std::string_view text, T4dDblMatrix& out);

// Parses text as the setter's argument type and calls the setter.
template <typename Fty, typename V>
bool apply(TmidModifierFty& fty, void (Fty::*setter)(V), std::string_view text) {
    std::remove_cvref_t<V> value{};
    if (!parse(text, value)) return false;
    (static_cast<Fty&>(fty).*setter)(value);
    return true;
}
}  // namespace TmodifierText

// A parameter entry for the setter setName of class Class.
#define BRINDLE_MODIFIER_PARAM(Class, Name)                                                  \
    TmodifierParam {                                                                         \
        #Name, [](TmidModifierFty& fty, std::string_view text) {                             \
            return TmodifierText::apply(fty, &Class::set##Name, text);                        \
        }                                                                                    \
    }
