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
#include "brindle/ops/ModifierRegistry.h"

namespace py = pybind11;

namespace {

struct TkindName {
    TpolyGrpType kind;
    const char* name;      // as Python spells the kind
    const char* singular;  // in messages
};
constexpr TkindName kKinds[] = {{kPolyGrpVertex, "vertices", "vertex"},
                                {kPolyGrpEdge, "edges", "edge"},
                                {kPolyGrpFace, "faces", "face"},
                                {kPolyGrpUV, "uvs", "UV"}};

const TkindName& kindEntry(TpolyGrpType kind) {
    for (const TkindName& k : kKinds)
        if (k.kind == kind) return k;
    return kKinds[0];
}

uint32_t componentCount(TpolyGeom& g, TpolyGrpType kind) {
    switch (kind) {
        case kPolyGrpVertex:
            return g.nbVertex();
        case kPolyGrpEdge:
            return g.nbEdge();
        case kPolyGrpFace:
            return g.nbFace();
        default: {
            const int32_t s = g.getCurrentMap();
            return s < 0 ? 0 : g.nbUV(uint32_t(s));
        }
    }
}

std::unique_ptr<TmidComponent> newList(TpolyGrpType kind) {
    switch (kind) {
        case kPolyGrpVertex:
            return std::make_unique<TmidVertComponent>();
        case kPolyGrpEdge:
            return std::make_unique<TmidEdgeComponent>();
        case kPolyGrpFace:
            return std::make_unique<TmidFaceComponent>();
        default:
            return std::make_unique<TmidMapComponent>();
    }
}

// Lower case without underscores, so that smoothing_angle finds SmoothingAngle.
std::string folded(std::string_view name) {
    std::string out;
    for (char c : name)
        if (c != '_') out += char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) {
        if (!out.empty()) out += ", ";
        out += n;
    }
    return out;
}

// The factory's own name for a Python keyword: the exact name, else the one name equal to it
// once case and underscores are ignored.
std::string parameterName(const std::string& op, const std::vector<std::string>& names, const std::string& key) {
    if (std::find(names.begin(), names.end(), key) != names.end()) return key;
    const std::string want = folded(key);
    const std::string* found = nullptr;
    for (const std::string& n : names)
        if (folded(n) == want) {
            if (found)
                throw py::value_error(op + ": parameter '" + key + "' is ambiguous between " + *found + " and " + n);
            found = &n;
        }
    if (!found) throw py::value_error(op + " has no parameter '" + key + "'; it has: " + joined(names));
    return *found;
}

// The parameter's text form: numbers as Python writes them (exactly, for floats), bools as
// true/false, sequences and arrays of numbers as their numbers in row order.
std::string valueText(const std::string& op, const std::string& name, const py::handle& value) {
    if (py::isinstance<py::str>(value)) return value.cast<std::string>();
    if (py::isinstance<py::bool_>(value)) return value.cast<bool>() ? "true" : "false";
    py::object array = py::module_::import("numpy").attr("asarray")(value);
    const char kind = array.attr("dtype").attr("kind").cast<char>();
    if (kind != 'b' && kind != 'i' && kind != 'u' && kind != 'f')
        throw py::value_error(op + " parameter " + name + " takes a number, a bool or a sequence of numbers, not " +
                              py::repr(value).cast<std::string>());
    if (kind == 'b') array = array.attr("astype")("int64");
    std::string text;
    py::object items = array.attr("ravel")().attr("tolist")();
    for (const py::handle item : items) {
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

TpySelection TpySelection::make(const std::string& kindName, const py::object& ids) {
    TpySelection s;
    for (const TkindName& k : kKinds)
        if (kindName == k.name) s.kind = k.kind;
    if (s.kind == kPolyGrpNone)
        throw py::value_error("a selection is of vertices, edges, faces or uvs, not '" + kindName + "'");
    if (ids.is_none()) return s;
    py::array array = py::module_::import("numpy").attr("asarray")(ids);
    const char kind = array.dtype().kind();
    if (array.ndim() > 1)
        throw py::value_error("selection ids must be one-dimensional, not of shape " +
                              py::str(array.attr("shape")).cast<std::string>());
    if (array.size() > 0 && kind != 'i' && kind != 'u')
        throw py::value_error("selection ids must be integers, not " + py::str(array.dtype()).cast<std::string>());
    std::vector<uint32_t> out;
    out.reserve(size_t(array.size()));
    if (array.size() > 0) {
        py::array_t<int64_t> wide = array.attr("astype")("int64").attr("ravel")();
        for (const int64_t id : std::span(wide.data(), size_t(wide.size()))) {
            if (id < 0 || id > int64_t(TsingleIndexedComponent::kIdMask))
                throw py::index_error(std::string(kindEntry(s.kind).singular) + " id " + std::to_string(id) +
                                      " out of range");
            out.push_back(uint32_t(id));
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    s.ids = std::move(out);
    return s;
}

std::string TpySelection::kindName() const { return kindEntry(kind).name; }

std::vector<std::string> operationNames() {
    return {"TpolyAutoProjFty",      "TpolyAverageVertexFty", "TpolyChipOffFty",    "TpolyCloseBorderFty",
            "TpolyCopyUVFty",        "TpolyCreaseEdgeFty",    "TpolyCutFty",        "TpolyCylProjFty",
            "TpolyDecimateFty",      "TpolyDelEdgeFty",       "TpolyDelFacetFty",   "TpolyDelVertexFty",
            "TpolyExtrudeFacetFty",  "TpolyExtrudeVertexFty", "TpolyFlipEdgeFty",   "TpolyForceUVFty",
            "TpolyLayoutUVFty",      "TpolyMapCutFty",        "TpolyMapDelFty",     "TpolyMapSewFty",
            "TpolyMergeEdgeFty",     "TpolyMergeUVFty",       "TpolyMergeVertFty",  "TpolyMirrorFty",
            "TpolyMoveEdgeFty",      "TpolyMoveFacetFty",     "TpolyMoveUVFty",     "TpolyMoveVertexFty",
            "TpolyNormalFty",        "TpolyPlanProjFty",      "TpolyQuadFty",       "TpolySewEdgeFty",
            "TpolySmoothFaceAnyFty", "TpolySmoothFacetFty",   "TpolySoftEdgeFty",   "TpolySphProjFty",
            "TpolySplitFaceFty",     "TpolySplitFty",         "TpolySplitRingFty",  "TpolySubdEdgeFty",
            "TpolySubdFaceAnyFty",   "TpolySubdFacetFty",     "TpolyTriangulateFty"};
}

namespace {
std::unique_ptr<TmidModifierFty> createOperation(const std::string& name) {
    std::unique_ptr<TmidModifierFty> fty(TmodifierRegistry::create(name));
    if (!fty) throw py::value_error("unknown operation '" + name + "'; brindle.operations() lists them");
    return fty;
}
}  // namespace

std::vector<std::string> operationParameters(const std::string& name) {
    return TmodifierRegistry::parameterNames(*createOperation(name));
}

void runOperation(TpyMesh& mesh, const std::string& name, const py::object& selection, const py::dict& params) {
    std::unique_ptr<TmidModifierFty> fty = createOperation(name);
    const std::vector<std::string> names = TmodifierRegistry::parameterNames(*fty);
    for (const auto& [key, value] : params) {
        const std::string param = parameterName(name, names, key.cast<std::string>());
        const std::string text = valueText(name, param, value);
        if (!TmodifierRegistry::setParameter(*fty, param, text))
            throw py::value_error(name + " parameter " + param + " does not take " +
                                  py::repr(value).cast<std::string>());
    }

    std::unique_ptr<TmidComponent> list;
    TpolyGrpType kind = kPolyGrpNone;
    if (!selection.is_none()) {
        const TpySelection s = py::isinstance<py::str>(selection)
                                   ? TpySelection::make(selection.cast<std::string>(), py::none())
                                   : selection.cast<TpySelection>();
        kind = s.kind;
        const uint32_t count = componentCount(mesh.geom(), kind);
        list = newList(kind);
        if (!s.ids) {
            if (count > 0) list->addRange(0, count - 1);
        } else {
            if (!s.ids->empty() && s.ids->back() >= count)
                throw py::index_error(std::string(kindEntry(kind).singular) + " id " + std::to_string(s.ids->back()) +
                                      " out of range: the mesh has " + std::to_string(count) + " " +
                                      kindEntry(kind).name);
            for (uint32_t id : *s.ids) list->addElement(id);
        }
    }

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
    PyErr_SetString(brindleError().ptr(), (name + ": " + failure).c_str());
    throw py::error_already_set();
}
