#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <optional>
#include <string>
#include <vector>

#include "brindle/geom/PolyTypes.h"

class TpyMesh;

// The components an operation works on: a kind and sorted unique ids, or every component of the
// kind when ids is empty (all).
struct TpySelection {
    TpolyGrpType kind = kPolyGrpNone;
    std::optional<std::vector<uint32_t>> ids;

    // Reads a kind name ("vertices", "edges", "faces", "uvs") and ids (any integer sequence, in
    // any order, repeats allowed); ValueError for anything else.
    static TpySelection make(const std::string& kind, const pybind11::object& ids);
    std::string kindName() const;
};

// Python's brindle.Error: an operation refused or failed; the message is the library's.
pybind11::handle& brindleError();

// The operation classes reachable by name, and one's parameter names.
std::vector<std::string> operationNames();
std::vector<std::string> operationParameters(const std::string& name);

// Creates the operation, sets its parameters from Python values, checks the selection against the
// record and runs it on mesh. ValueError for an unknown operation or parameter or a value the
// parameter does not take, IndexError for an id out of range, brindle.Error when the operation
// refuses (the record as it was).
void runOperation(TpyMesh& mesh, const std::string& name, const pybind11::object& selection,
                  const pybind11::dict& params);
