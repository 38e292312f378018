#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "brindle/geom/PolyTypes.h"
#include "brindle/ops/OperationTable.h"

class TpyMesh;

// The components an operation works on: a kind and sorted unique ids, or every component of the
// kind when ids is absent (all).
struct TpySelection {
    TpolyGrpType kind = kPolyGrpNone;
    bool all = true;
    std::vector<uint32_t> ids;

    // Reads a kind name ("vertices", "edges", "faces", "uvs") and ids (None for all, or any
    // integer sequence, in any order, repeats allowed); ValueError for anything else.
    static TpySelection make(const std::string& kind, const pybind11::object& ids);
    // Every component of kind (kPolyGrpNone: no components at all).
    static TpySelection every(TpolyGrpType kind);
    std::string kindName() const;
};

// Python's brindle.Error: an operation refused or failed; the message is the library's.
pybind11::handle& brindleError();

// The operation table's entry named name (its operation name or factory type); ValueError when
// there is none.
const Toperation& findOperation(const std::string& name);

// A parameter's default as a Python value of its type (bool, int, float, or a tuple of numbers),
// None when its class has no getter for it.
pybind11::object defaultValue(const ToperationParam& p);
// The defaults of an operation's parameters that have one, by parameter name.
pybind11::dict defaultValues(const Toperation& op);

// Creates the operation, sets its parameters from Python values, checks the selection against the
// record and runs it on mesh (with no component list when the selection is of no kind). ValueError for an unknown
// parameter or a value not of its type, IndexError for an id out of range, brindle.Error when the operation refuses
// (the record as it was).
void runOperation(TpyMesh& mesh, const Toperation& op, const TpySelection& selection, const pybind11::dict& params);
