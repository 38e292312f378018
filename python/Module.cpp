// The Python module brindle: the record as brindle.Mesh, its arrays as numpy views, OBJ import and
// export, and every operation by name.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include "Mesh.h"
#include "MeshArrays.h"
#include "Operation.h"
#include "brindle/base/Diagnostics.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/objreader/ObjImport.h"
#include "brindle/objreader/ObjWriter.h"

namespace py = pybind11;

namespace {

// Each library warning as a Python UserWarning (an error when warnings are made errors).
void warnAll(const std::vector<std::string>& warnings) {
    for (const std::string& w : warnings)
        if (PyErr_WarnEx(PyExc_UserWarning, w.c_str(), 1) < 0) throw py::error_already_set();
}

[[noreturn]] void raiseError(const std::string& message) {
    PyErr_SetString(brindleError().ptr(), message.c_str());
    throw py::error_already_set();
}

TpyMesh* meshFromObj(const std::string& path) {
    if (!std::filesystem::exists(path)) {
        PyErr_SetString(PyExc_FileNotFoundError, ("no such file: '" + path + "'").c_str());
        throw py::error_already_set();
    }
    TobjImportReport report;
    std::unique_ptr<TpolyGeom> geom(TobjImport::read(path.c_str(), report));
    warnAll(report.warnings);
    if (!geom) raiseError(report.error);
    return new TpyMesh(geom.release(), report.groupNames);
}

py::object meshToObj(TpyMesh& mesh, const py::object& path) {
    mesh.noteViewWrites();
    TobjWriteReport report;
    std::string text;
    if (path.is_none())
        TobjWriter::format(mesh.geom(), mesh.groupNames(), text, report);
    else
        TobjWriter::write(mesh.geom(), py::str(path).cast<std::string>().c_str(), mesh.groupNames(), report);
    if (!report.error.empty()) raiseError(report.error);
    warnAll(report.warnings);
    return path.is_none() ? py::object(py::str(text)) : py::object(py::none());
}

uint32_t checkMesh(TpyMesh& mesh) {
    mesh.noteViewWrites();
    TpolyGeom& g = mesh.geom();
    g.update(dirtyFaceOffsets);
    std::string messages;
    TdebugOutput::sCerr.redirectToString(&messages);
    const uint32_t errors = g.checkObject(kCheckAll);
    TdebugOutput::sCerr.restore();
    if (!messages.empty()) py::module_::import("sys").attr("stderr").attr("write")(messages);
    return errors;
}

std::string dumpMesh(TpyMesh& mesh, uint32_t flags) {
    mesh.noteViewWrites();
    std::string text;
    TdebugOutput out(1);
    out.redirectToString(&text);
    mesh.geom().debug(out, flags);
    out.restore();
    return text;
}

std::vector<std::string> uvSetNames(TpyMesh& mesh) {
    std::vector<std::string> names;
    Tstring name;
    for (uint32_t s = 0; s < mesh.geom().nbMapSet(); ++s)
        if (mesh.geom().mapName(s, name)) names.push_back(name.str());
    return names;
}

// Runs op on the selection argument of Mesh.op: None for every component of the kind op reads.
py::object runOn(py::object self, const std::string& name, const py::object& selection, const py::kwargs& params) {
    const Toperation& op = findOperation(name);
    TpyMesh& mesh = self.cast<TpyMesh&>();
    if (py::isinstance<TpySelection>(selection))
        runOperation(mesh, op, selection.cast<const TpySelection&>(), params);
    else if (py::isinstance<py::str>(selection))
        runOperation(mesh, op, TpySelection::make(selection.cast<std::string>(), py::none()), params);
    else if (selection.is_none())
        runOperation(mesh, op, TpySelection::every(op.selection), params);
    else
        throw py::value_error(
            "a selection is brindle.faces(ids), edges(ids), vertices(ids) or uv_points(ids), a kind "
            "name for all of that kind, or None; not " +
            py::repr(selection).cast<std::string>());
    return self;
}

// A named wrapper of a table operation: it runs on the given ids of the kind the operation reads,
// on every one of them when ids is None.
void defineWrapper(py::class_<TpyMesh>& cls, const char* method, const char* operation, const char* doc) {
    const Toperation& op = findOperation(operation);
    const std::string kind = ToperationTable::selectionName(op.selection);
    cls.def(
        method,
        [&op, kind](py::object self, const py::object& ids, const py::kwargs& params) {
            runOperation(self.cast<TpyMesh&>(), op, TpySelection::make(kind, ids), params);
            return self;
        },
        py::arg("ids") = py::none(),
        (std::string(doc) + " Runs " + op.name + " on the given " + kind + " (None: all); keywords are its parameters.")
            .c_str());
}

// The table's parameters of op, as Python objects that refer to the entries.
py::list parameterObjects(const Toperation& op) {
    py::list out;
    for (const ToperationParam& p : op.params) out.append(py::cast(p, py::return_value_policy::reference));
    return out;
}

// None for an open end of a parameter's range.
py::object rangeEnd(double end) { return std::isnan(end) ? py::none() : py::object(py::float_(end)); }

}  // namespace

PYBIND11_MODULE(brindle, m) {
    m.doc() =
        "Polygon meshes: the brindle record, OBJ import and export, numpy views of its arrays and every "
        "modelling operation by name.";
    brindleError() = py::exception<void>(m, "Error", PyExc_RuntimeError).release();
    brindleError().attr("__doc__") =
        "An operation refused or failed; the message is the library's. The mesh "
        "is as it was before the call.";

    py::class_<TpyArrayOwner>(m, "_ArrayOwner",
                              "Base object of the numpy views into a Mesh: keeps the Mesh alive and the viewed "
                              "memory valid.")
        .def_property_readonly("detached", &TpyArrayOwner::detached,
                               "True once an operation changed the array's length: the views then hold the values "
                               "from before it and no longer share the mesh's memory.");

    py::class_<TpySelection>(m, "Selection", "Components an operation works on: a kind and ids (None: all).")
        .def(py::init(&TpySelection::make), py::arg("kind"), py::arg("ids") = py::none())
        .def_property_readonly("kind", &TpySelection::kindName)
        .def_property_readonly(
            "ids",
            [](const TpySelection& s) {
                return s.all ? py::object(py::none())
                             : py::object(py::array_t<uint32_t>(py::ssize_t(s.ids.size()), s.ids.data()));
            },
            "The sorted unique ids (a copy), None for all.")
        .def("__repr__", [](const TpySelection& s) {
            return "brindle.Selection('" + s.kindName() + "', " +
                   (s.all ? std::string("all") : std::to_string(s.ids.size()) + " ids") + ")";
        });
    for (const char* kind : {"vertices", "edges", "faces"})
        m.def(
            kind, [kind](const py::object& ids) { return TpySelection::make(kind, ids); }, py::arg("ids") = py::none(),
            (std::string("A selection of ") + kind + " (None: all of them).").c_str());
    m.def(
        "uv_points", [](const py::object& ids) { return TpySelection::make("uvs", ids); }, py::arg("ids") = py::none(),
        "A selection of UV points of the current UV set (None: all of them).");

    py::class_<ToperationParam>(m, "Parameter", "One parameter of an operation, as the operation table registers it.")
        .def_property_readonly("name", &ToperationParam::name)
        .def_property_readonly(
            "type", [](const ToperationParam& p) { return TmodifierText::typeName(p.type()); },
            "bool, int, unsigned, float, double, point, vector, rotation or matrix.")
        .def_property_readonly("default", &defaultValue,
                               "The value a new operation holds (None when it cannot be read back).")
        .def_property_readonly("help", [](const ToperationParam& p) { return p.param->info.help; })
        .def_property_readonly(
            "range",
            [](const ToperationParam& p) {
                const TmodifierParamInfo& info = p.param->info;
                return std::isnan(info.lo) && std::isnan(info.hi)
                           ? py::object(py::none())
                           : py::object(py::make_tuple(rangeEnd(info.lo), rangeEnd(info.hi)));
            },
            "(lowest, highest) value the operation accepts, None for an open end; None when unstated.")
        .def_property_readonly(
            "owner", [](const ToperationParam& p) { return p.owner->name(); }, "The factory class that registers it.")
        .def("__repr__", [](const ToperationParam& p) {
            return "brindle.Parameter(" + std::string(p.name()) + ": " + TmodifierText::typeName(p.type()) + " = " +
                   (p.defaultText.empty() ? std::string("?") : p.defaultText) + ")";
        });

    py::class_<Toperation>(m, "Operation", "One entry of the operation table.")
        .def_readonly("name", &Toperation::name)
        .def_property_readonly(
            "type", [](const Toperation& op) { return op.type->name(); }, "The factory type name.")
        .def_property_readonly(
            "selection",
            [](const Toperation& op) {
                return op.selection == kPolyGrpNone ? py::object(py::none())
                                                    : py::object(py::str(ToperationTable::selectionName(op.selection)));
            },
            "The kind of components it reads (what Mesh.op selects when given no selection), or None.")
        .def_property_readonly("parameters", &parameterObjects, "Its parameters, its own class's first.")
        .def_property_readonly("defaults", &defaultValues, "The default of each parameter that has a readable one.")
        .def("__repr__", [](const Toperation& op) {
            return "brindle.Operation(" + op.name + ", " + std::to_string(op.params.size()) + " parameters)";
        });

    m.def(
        "operations",
        [] {
            std::vector<std::string> names;
            for (const Toperation& op : ToperationTable::all()) names.push_back(op.name);
            return names;
        },
        "The names of the operations Mesh.op runs, sorted.");
    m.def(
        "operation", [](const std::string& name) { return &findOperation(name); }, py::arg("name"),
        py::return_value_policy::reference, "The operation of that name or factory type name.");
    m.def(
        "parameters", [](const std::string& name) { return parameterObjects(findOperation(name)); }, py::arg("name"),
        "The parameters of an operation, its own class's first.");

    py::class_<TpyMesh> mesh(m, "Mesh", R"doc(One polygonal object.

Mesh() is empty; Mesh(positions, face_sizes, corners, uvs=None, uv_ids=None, uv_set="map1")
builds one from arrays: positions (n, 3) floats, the corner count of each face, the vertex of
each corner, and optionally UVs (k, 2) with uv_ids, one per corner into them (-1: unmapped), or
one UV per corner when uv_ids is not given.

positions, uvs() and uv_ids() are numpy views sharing the mesh's memory (uv_ids read-only); a
view keeps its mesh alive. An operation that keeps an array's length updates its views in place;
one that changes it leaves earlier views holding the values from before (take a new view).
edges, hard_edges, face_sizes and corners are copies: the mesh packs flags into its edge and
face words and derives corners from them.)doc");
    mesh.def(py::init<>())
        .def(py::init(&meshFromArrays), py::arg("positions"), py::arg("face_sizes"), py::arg("corners"),
             py::arg("uvs") = py::none(), py::arg("uv_ids") = py::none(), py::arg("uv_set") = "map1")
        .def_static("from_obj", &meshFromObj, py::arg("path"),
                    "Imports an OBJ file; its warnings become Python warnings, a failure raises brindle.Error.")
        .def("to_obj", &meshToObj, py::arg("path") = py::none(),
             "Writes the mesh as OBJ to path, or answers the text when path is None.")
        .def(
            "copy", [](TpyMesh& self) { return new TpyMesh(new TpolyGeom(self.geom()), self.groupNames()); },
            "An independent copy.")
        .def_property(
            "positions", [](py::object self) { return viewOf(self, TpyArrayKind::kPositions, ""); }, &setPositions,
            "Vertex positions, (n, 3) float32, a view. Assigning copies values in, keeping the vertex count.")
        .def_property_readonly("edges", &edgesOf, "Edge end vertices, (n, 2) uint32, a copy.")
        .def_property_readonly("hard_edges", &hardEdgesOf, "Whether each edge is hard, bool, a copy.")
        .def_property_readonly("face_sizes", &faceSizesOf, "Corner count of each face (all its loops), uint32, a copy.")
        .def_property_readonly("corners", &cornersOf, "The vertex of each face corner, face by face, uint32, a copy.")
        .def_property_readonly("uv_sets", &uvSetNames, "The names of the UV sets.")
        .def(
            "uvs",
            [](py::object self, const py::object& name) {
                return viewOf(self, TpyArrayKind::kUVs, uvSetName(self.cast<TpyMesh&>(), name));
            },
            py::arg("name") = py::none(), "The UV points of a set (None: the current one), (k, 2) float32, a view.")
        .def(
            "uv_ids",
            [](py::object self, const py::object& name) {
                return viewOf(self, TpyArrayKind::kUVIds, uvSetName(self.cast<TpyMesh&>(), name));
            },
            py::arg("name") = py::none(), "The UV id of each corner in a set (-1: unmapped), int32, a read-only view.")
        .def_property_readonly("n_vertices", [](TpyMesh& self) { return self.geom().nbVertex(); })
        .def_property_readonly("n_edges", [](TpyMesh& self) { return self.geom().nbEdge(); })
        .def_property_readonly("n_faces", [](TpyMesh& self) { return self.geom().nbFace(); })
        .def_property_readonly("n_corners", [](TpyMesh& self) { return self.geom().faceDescLength(); })
        .def("check", &checkMesh,
             "Runs the consistency check; answers the error count (0: consistent), its messages go to stderr.")
        .def("dump", &dumpMesh, py::arg("flags") = 0xFFFFFFFFu, "The text dump of the mesh.")
        .def("op", &runOn, py::arg("name"), py::arg("selection") = py::none(),
             R"doc(Runs an operation by name on a selection, parameters as keywords; answers the mesh.

selection: brindle.faces(ids), edges(ids), vertices(ids), uv_points(ids), or "faces" etc. for all
of a kind, or None. Keywords are the names brindle.parameters(name) lists (case and underscores
ignored). ValueError for an unknown operation or parameter or a value it does not take,
IndexError for an id out of range, brindle.Error when the operation refuses (the mesh as it was).)doc")
        .def("__repr__", [](TpyMesh& self) {
            TpolyGeom& g = self.geom();
            return "<brindle.Mesh: " + std::to_string(g.nbVertex()) + " vertices, " + std::to_string(g.nbEdge()) +
                   " edges, " + std::to_string(g.nbFace()) + " faces>";
        });
    defineWrapper(mesh, "extrude", "extrudeFacet", "Extrudes faces.");
    defineWrapper(mesh, "subdivide", "subdFacet", "Subdivides faces.");
    defineWrapper(mesh, "smooth", "smoothFacet", "Smooths faces.");
    defineWrapper(mesh, "triangulate", "triangulate", "Triangulates faces.");
    defineWrapper(mesh, "reduce", "decimate", "Reduces the polygon count.");
    defineWrapper(mesh, "merge_vertices", "mergeVert", "Merges vertices closer than Threshold.");
}
