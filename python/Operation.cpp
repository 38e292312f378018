#include "Operation.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <new>
#include <span>

#include "Mesh.h"
#include "brindle/base/Computation.h"
#include "brindle/base/Diagnostics.h"
#include "brindle/framework/MidComponent.h"
#include "brindle/geom/PolyGeom.h"

namespace py = pybind11;

namespace {

// The kinds a selection may be of, with the word messages use for one component; the plural,
// which Python spells the kind with, is the table's selection name.
struct TkindWord {
    TpolyGrpType kind;
    const char* singular;
};
constexpr TkindWord kKinds[] = {
    {kPolyGrpVertex, "vertex"}, {kPolyGrpEdge, "edge"}, {kPolyGrpFace, "face"}, {kPolyGrpUV, "UV"}};

const char* singular(TpolyGrpType kind) {
    for (const TkindWord& k : kKinds)
        if (k.kind == kind) return k.singular;
    return "component";
}

// The component list of a selection, checked against the record: its ids go in as runs of
// consecutive ids, which the list appends in constant time each.
std::unique_ptr<TmidComponent> listOf(TpolyGeom& g, const TpySelection& s) {
    if (s.all) return ToperationTable::everyComponent(g, s.kind);
    const uint32_t count = ToperationTable::componentCount(g, s.kind);
    if (!s.ids.empty() && s.ids.back() >= count)
        throw py::index_error(std::string(singular(s.kind)) + " id " + std::to_string(s.ids.back()) +
                              " out of range: the mesh has " + std::to_string(count) + " " + s.kindName());
    std::unique_ptr<TmidComponent> list = ToperationTable::newList(s.kind);
    for (size_t i = 0; i < s.ids.size(); ++i) {
        const uint32_t first = s.ids[i];
        while (i + 1 < s.ids.size() && s.ids[i + 1] == s.ids[i] + 1) ++i;
        list->addRange(first, s.ids[i]);
    }
    return list;
}

// Lower case without underscores, so that smoothing_angle finds SmoothingAngle.
std::string folded(std::string_view name) {
    std::string out;
    for (char c : name)
        if (c != '_') out += char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string parameterList(const Toperation& op) {
    std::string out;
    for (const ToperationParam& p : op.params) {
        if (!out.empty()) out += ", ";
        out += p.name();
    }
    return out;
}

// The parameter a Python keyword names: the exact name, else the one name equal to it once case
// and underscores are ignored.
const ToperationParam& findParameter(const Toperation& op, const std::string& key) {
    if (const ToperationParam* p = op.findParam(key)) return *p;
    const std::string want = folded(key);
    const ToperationParam* found = nullptr;
    for (const ToperationParam& p : op.params)
        if (folded(p.name()) == want) {
            if (found)
                throw py::value_error(op.name + ": parameter '" + key + "' is ambiguous between " + found->name() +
                                      " and " + p.name());
            found = &p;
        }
    if (!found) throw py::value_error(op.name + " has no parameter '" + key + "'; it has: " + parameterList(op));
    return *found;
}

// What a value of the type is, in Python's terms.
const char* valueForm(TmodifierParamType type) {
    switch (type) {
        case TmodifierParamType::kBool:
            return "a bool";
        case TmodifierParamType::kInt:
            return "an integer";
        case TmodifierParamType::kUnsigned:
            return "a non-negative integer";
        case TmodifierParamType::kFloat:
        case TmodifierParamType::kDouble:
            return "a number";
        case TmodifierParamType::kPoint:
            return "three numbers";
        case TmodifierParamType::kVector:
            return "three or four numbers";
        case TmodifierParamType::kRotation:
            return "three angles in radians and an optional order 0-5";
        case TmodifierParamType::kMatrix:
            return "sixteen numbers (or a 4 x 4 array)";
    }
    return "a value";
}

// The text form the parameter's setter reads for a Python value, after checking the value is of
// the parameter's type: numbers as Python writes them (exactly, for floats), bools as
// true/false, sequences and arrays of numbers as their numbers in row order.
std::string valueText(const Toperation& op, const ToperationParam& p, const py::handle& value) {
    const TmodifierParamType type = p.type();
    const auto refuse = [&] {
        return py::value_error(op.name + " parameter " + p.name() + " takes " + valueForm(type) + ", not " +
                               py::repr(value).cast<std::string>());
    };
    // numpy reads a text or None as a scalar of its own kind; neither is a number.
    if (value.is_none() || py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value)) throw refuse();
    const py::array a = py::module_::import("numpy").attr("asarray")(value);
    const char kind = a.dtype().kind();
    const bool integral = kind == 'i' || kind == 'u', real = integral || kind == 'f';
    switch (type) {
        case TmodifierParamType::kBool:
            if (a.ndim() != 0 || !(kind == 'b' || integral)) throw refuse();
            if (kind == 'b') return a.attr("item")().cast<bool>() ? "true" : "false";
            return py::str(a.attr("item")()).cast<std::string>();
        case TmodifierParamType::kInt:
        case TmodifierParamType::kUnsigned:
            if (a.ndim() != 0 || !integral) throw refuse();
            return py::str(a.attr("item")()).cast<std::string>();
        case TmodifierParamType::kFloat:
        case TmodifierParamType::kDouble:
            if (a.ndim() != 0 || !real) throw refuse();
            return py::repr(py::float_(a.attr("item")())).cast<std::string>();
        default:
            break;
    }
    const py::ssize_t n = a.size();
    const bool counted = type == TmodifierParamType::kMatrix  ? n == 16
                         : type == TmodifierParamType::kPoint ? n == 3
                                                              : n == 3 || n == 4;
    if (a.ndim() == 0 || !real || !counted) throw refuse();
    std::string text;
    for (const py::handle item : a.attr("ravel")().attr("tolist")()) {
        if (!text.empty()) text += ' ';
        text += py::repr(item).cast<std::string>();
    }
    return text;
}

// Lets Ctrl-C interrupt an operation that polls for interruption; once Python has taken the
// signal every later poll answers yes, and the exception is raised when the operation returns.
struct TinterruptHook {
    Tcomputation::Hooks previous = Tcomputation::hooks();
    bool interrupted = false;
    TinterruptHook() {
        Tcomputation::Hooks hooks;
        hooks.user = this;
        hooks.interrupted = [](void* user) {
            auto* self = static_cast<TinterruptHook*>(user);
            if (!self->interrupted && PyErr_CheckSignals() != 0) self->interrupted = true;
            return self->interrupted;
        };
        Tcomputation::setHooks(hooks);
    }
    ~TinterruptHook() { Tcomputation::setHooks(previous); }
};

// The library's error reports during one operation, joined.
struct TerrorCapture {
    std::string text;
    TerrorCapture() {
        theErrorHandler().setCallback([this](std::string_view message) {
            if (!text.empty()) text += "; ";
            text += message;
        });
    }
    ~TerrorCapture() { theErrorHandler().resetCallback(); }
};

}  // namespace

// A handle, never released: the exception class lives as long as the interpreter.
py::handle& brindleError() {
    static py::handle error;
    return error;
}

TpySelection TpySelection::every(TpolyGrpType kind) {
    TpySelection s;
    s.kind = kind;
    return s;
}

TpySelection TpySelection::make(const std::string& kindName, const py::object& ids) {
    TpySelection s;
    for (const TkindWord& k : kKinds)
        if (kindName == ToperationTable::selectionName(k.kind)) s.kind = k.kind;
    if (s.kind == kPolyGrpNone)
        throw py::value_error("a selection is of vertices, edges, faces or uvs, not '" + kindName + "'");
    if (ids.is_none()) return s;
    s.all = false;
    const py::array array = py::module_::import("numpy").attr("asarray")(ids);
    const char kind = array.dtype().kind();
    if (array.ndim() > 1)
        throw py::value_error("selection ids must be one-dimensional, not of shape " +
                              py::str(array.attr("shape")).cast<std::string>());
    if (array.size() == 0) return s;
    if (kind != 'i' && kind != 'u')
        throw py::value_error("selection ids must be integers, not " + py::str(array.dtype()).cast<std::string>());
    const py::array_t<int64_t, py::array::c_style | py::array::forcecast> wide(array);
    s.ids.reserve(size_t(wide.size()));
    for (const int64_t id : std::span(wide.data(), size_t(wide.size()))) {
        if (id < 0 || id > int64_t(TsingleIndexedComponent::kIdMask))
            throw py::index_error(std::string(singular(s.kind)) + " id " + std::to_string(id) + " out of range");
        s.ids.push_back(uint32_t(id));
    }
    if (!std::is_sorted(s.ids.begin(), s.ids.end())) std::sort(s.ids.begin(), s.ids.end());
    s.ids.erase(std::unique(s.ids.begin(), s.ids.end()), s.ids.end());
    return s;
}

std::string TpySelection::kindName() const { return ToperationTable::selectionName(kind); }

const Toperation& findOperation(const std::string& name) {
    const Toperation* op = ToperationTable::find(name);
    if (!op) throw py::value_error("unknown operation '" + name + "'; brindle.operations() lists them");
    return *op;
}

py::object defaultValue(const ToperationParam& p) {
    const std::string& text = p.defaultText;
    if (text.empty()) return py::none();
    std::vector<double> numbers;
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find(' ', at), text.size());
        double v = 0;
        TmodifierText::parse(std::string_view(text).substr(at, end - at), v);
        numbers.push_back(v);
        at = end + 1;
    }
    switch (p.type()) {
        case TmodifierParamType::kBool:
            return py::bool_(text == "true");
        case TmodifierParamType::kInt:
        case TmodifierParamType::kUnsigned:
            return py::int_(int64_t(numbers.front()));
        case TmodifierParamType::kFloat:
        case TmodifierParamType::kDouble:
            return py::float_(numbers.front());
        default:
            break;
    }
    py::tuple values(numbers.size());
    for (size_t k = 0; k < numbers.size(); ++k)
        // A rotation's fourth number is its order, an integer.
        values[k] = k == 3 && p.type() == TmodifierParamType::kRotation ? py::object(py::int_(int(numbers[k])))
                                                                        : py::object(py::float_(numbers[k]));
    return values;
}

py::dict defaultValues(const Toperation& op) {
    py::dict out;
    for (const ToperationParam& p : op.params)
        if (!p.defaultText.empty()) out[p.name()] = defaultValue(p);
    return out;
}

void runOperation(TpyMesh& mesh, const Toperation& op, const TpySelection& selection, const py::dict& params) {
    std::unique_ptr<TmidModifierFty> fty = op.create();
    for (const auto& [key, value] : params) {
        const ToperationParam& p = findParameter(op, key.cast<std::string>());
        if (!p.param->set(*fty, valueText(op, p, value)))
            throw py::value_error(op.name + " parameter " + p.name() + " does not take " +
                                  py::repr(value).cast<std::string>());
    }
    const TpolyGrpType kind = selection.kind;
    const std::unique_ptr<TmidComponent> list = kind == kPolyGrpNone ? nullptr : listOf(mesh.geom(), selection);

    TerrorCapture errors;
    TinterruptHook interrupt;
    int result = -1;
    std::string failure;
    mesh.edit([&] {
        const bool hadCurrent = kind != kPolyGrpNone && mesh.geom().hasObjectGroup(-1, kind);
        try {
            result = fty->doAction(&mesh.body(), list.get());
        } catch (const TfailedException& e) {
            failure = "an internal table could not grow (code " + std::to_string(e.code()) + ")";
        } catch (const std::bad_alloc&) {
            failure = "out of memory";
        } catch (const std::exception& e) {
            failure = e.what();
        }
        // The selection went in as the record's current group; it does not outlive the call.
        if (kind != kPolyGrpNone && !hadCurrent && mesh.geom().hasObjectGroup(-1, kind))
            mesh.geom().removeGroup(-1, kind);
    });
    if (interrupt.interrupted) throw py::error_already_set();
    if (failure.empty() && result == 0) return;
    if (failure.empty())
        failure = errors.text.empty() ? "the operation refused; the mesh is unchanged" : errors.text;
    else if (!errors.text.empty())
        failure += "; " + errors.text;
    PyErr_SetString(brindleError().ptr(), (op.name + ": " + failure).c_str());
    throw py::error_already_set();
}
