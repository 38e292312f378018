#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Transform.h"
#include "brindle/framework/ModifierFty.h"
#include "brindle/geom/PolyTypes.h"

// The value type of a parameter, taken from its setter's argument: short, int and int32_t are
// kInt; a point is three numbers, a vector three or four, a rotation three angles in radians and
// an optional order, a matrix sixteen numbers.
enum class TmodifierParamType : uint8_t {
    kBool,
    kInt,
    kUnsigned,
    kFloat,
    kDouble,
    kPoint,
    kVector,
    kRotation,
    kMatrix
};

// What a registration may add to a parameter beyond its name: a help line and the range of
// values the operation accepts (per number for points, vectors and rotations). An open end is
// NaN; a range of two NaNs says nothing about the values.
struct TmodifierParamInfo {
    const char* help = "";
    double lo = std::numeric_limits<double>::quiet_NaN();
    double hi = std::numeric_limits<double>::quiet_NaN();
};

// One parameter of a modifier class, settable from text: set parses the text and, when it reads
// as the parameter's type, calls the factory's setter and answers true. get, when there is one,
// answers the factory's current value in the same text form (so that set(get()) changes
// nothing), or an empty text when the class has no getter of the parameter's name.
struct TmodifierParam {
    const char* name;
    bool (*set)(TmidModifierFty& fty, std::string_view text);
    TmodifierParamType type = TmodifierParamType::kInt;
    std::string (*get)(const TmidModifierFty& fty) = nullptr;
    TmodifierParamInfo info{};
};

// The parameters a modifier class adds to its parent's, registered once per class at load time
// next to its metaclass, with the kind of components its action reads (vertices, edges, faces or
// UVs). A factory's settable parameters are those of its class and of every class above it; a
// class registered without a kind reads the kind of the nearest class above it that names one.
class BRINDLE_API TmodifierParamTable {
public:
    TmodifierParamTable(const Tmetaclass& cls, std::initializer_list<TmodifierParam> params);
    TmodifierParamTable(const Tmetaclass& cls, TpolyGrpType selection, std::initializer_list<TmodifierParam> params);
    TmodifierParamTable(const TmodifierParamTable&) = delete;
    TmodifierParamTable& operator=(const TmodifierParamTable&) = delete;

    const Tmetaclass& owner() const { return fOwner; }
    TpolyGrpType selection() const { return fSelection; }
    const std::vector<TmodifierParam>& params() const { return fParams; }
    static const TmodifierParamTable* find(const Tmetaclass* cls);

private:
    static std::vector<const TmodifierParamTable*>& tables();

    const Tmetaclass& fOwner;
    TpolyGrpType fSelection;
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
// The parameter setParameter would set under that name, or null.
BRINDLE_API const TmodifierParam* findParameter(const Tmetaclass* cls, std::string_view name);
// The component kind the class's action reads, kPolyGrpNone when no class of its chain says.
BRINDLE_API TpolyGrpType selectionKind(const Tmetaclass* cls);
}  // namespace TmodifierRegistry

// Text forms of parameter values: numbers in C syntax; bool as 0/1/true/false; vectors and points
// as three numbers (a fourth, w, optional for vectors); a rotation as three angles in radians and
// an optional order; a matrix as sixteen numbers, row by row. Numbers are separated by spaces or
// commas; the whole text must be consumed. format writes the form parse reads back to the same
// value (numbers in their shortest exact form, a vector's w and a rotation's order only when
// not 0).
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
BRINDLE_API bool parse(std::string_view text, T4dFltMatrix& out);

BRINDLE_API std::string format(double v);
BRINDLE_API std::string format(float v);
BRINDLE_API std::string format(int v);
BRINDLE_API std::string format(short v);
BRINDLE_API std::string format(unsigned v);
BRINDLE_API std::string format(bool v);
BRINDLE_API std::string format(const T3dFltPoint& v);
BRINDLE_API std::string format(const T3dDblPoint& v);
BRINDLE_API std::string format(const T4dFltVector& v);
BRINDLE_API std::string format(const TrotateXYZ& v);
BRINDLE_API std::string format(const T4dDblMatrix& v);
BRINDLE_API std::string format(const T4dFltMatrix& v);

BRINDLE_API const char* typeName(TmodifierParamType type);

// Parses text as the setter's argument type and calls the setter.
template <typename Fty, typename V>
bool apply(TmidModifierFty& fty, void (Fty::*setter)(V), std::string_view text) {
    std::remove_cvref_t<V> value{};
    if (!parse(text, value)) return false;
    (static_cast<Fty&>(fty).*setter)(value);
    return true;
}

template <typename T>
constexpr TmodifierParamType typeOf() {
    if constexpr (std::is_same_v<T, bool>)
        return TmodifierParamType::kBool;
    else if constexpr (std::is_same_v<T, int> || std::is_same_v<T, short>)
        return TmodifierParamType::kInt;
    else if constexpr (std::is_same_v<T, unsigned>)
        return TmodifierParamType::kUnsigned;
    else if constexpr (std::is_same_v<T, float>)
        return TmodifierParamType::kFloat;
    else if constexpr (std::is_same_v<T, double>)
        return TmodifierParamType::kDouble;
    else if constexpr (std::is_same_v<T, T3dFltPoint> || std::is_same_v<T, T3dDblPoint>)
        return TmodifierParamType::kPoint;
    else if constexpr (std::is_same_v<T, T4dFltVector>)
        return TmodifierParamType::kVector;
    else if constexpr (std::is_same_v<T, TrotateXYZ>)
        return TmodifierParamType::kRotation;
    else {
        static_assert(std::is_same_v<T, T4dDblMatrix> || std::is_same_v<T, T4dFltMatrix>, "no text form for this type");
        return TmodifierParamType::kMatrix;
    }
}

// The entry for a setter: its type, and the range of a short when the registration gives none
// (a wider value would not parse).
template <typename Fty, typename V>
TmodifierParam entry(const char* name, void (Fty::*)(V), bool (*set)(TmidModifierFty&, std::string_view),
                     std::string (*get)(const TmidModifierFty&), TmodifierParamInfo info) {
    if constexpr (std::is_same_v<std::remove_cvref_t<V>, short>)
        if (std::isnan(info.lo) && std::isnan(info.hi)) info = {info.help, -32768.0, 32767.0};
    return {name, set, typeOf<std::remove_cvref_t<V>>(), get, info};
}

// The value of getter(fty) converted to the setter's argument type V, as text; an empty text
// when the class has no such getter.
template <typename V, typename Fty, typename Getter>
std::string current(const Fty& fty, Getter getter) {
    if constexpr (std::is_invocable_v<Getter, const Fty&>) {
        using R = std::remove_cvref_t<std::invoke_result_t<Getter, const Fty&>>;
        if constexpr (std::is_convertible_v<R, V>)
            return format(V(getter(fty)));
        else
            return std::string();
    } else {
        return std::string();
    }
}

template <typename V, typename Fty>
V argumentOf(void (Fty::*)(V));
}  // namespace TmodifierText

// A parameter entry for the setter setName of class Class; its default is read from the getter
// Name() when the class has one. Optional after the name: a help line, then the lowest and
// highest valid value.
//     BRINDLE_MODIFIER_PARAM(TpolySubdFacetFty, Divisions, "times each edge is split", 1, 4)
#define BRINDLE_MODIFIER_PARAM(Class, Name, ...) BRINDLE_MODIFIER_PARAM_GETTER(Class, Name, Name, __VA_ARGS__)

// The same for a class whose getter of the parameter has another name.
#define BRINDLE_MODIFIER_PARAM_GETTER(Class, Name, Getter, ...)                                                 \
    TmodifierText::entry(                                                                                       \
        #Name, &Class::set##Name,                                                                               \
        [](TmidModifierFty& fty, std::string_view text) {                                                       \
            return TmodifierText::apply(fty, &Class::set##Name, text);                                          \
        },                                                                                                      \
        [](const TmidModifierFty& fty) {                                                                        \
            using V = std::remove_cvref_t<decltype(TmodifierText::argumentOf(&Class::set##Name))>;              \
            return TmodifierText::current<V>(static_cast<const Class&>(fty),                                    \
                                             [](const auto& c) -> decltype(c.Getter()) { return c.Getter(); }); \
        },                                                                                                      \
        TmodifierParamInfo{__VA_ARGS__})
