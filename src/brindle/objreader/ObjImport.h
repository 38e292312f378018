#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brindle/base/Export.h"

class TpolyGeom;

// What an OBJ import made besides the record, and why it failed when it did.
struct BRINDLE_API TobjImportReport {
    // Empty on success; otherwise "path:line: what was wrong" (no line for a file-level failure).
    std::string error;
    // Lines the import skipped, each "path:line: why"; at most kMaxWarnings kept, the rest counted.
    std::vector<std::string> warnings;
    uint32_t skippedFaces = 0;
    // Face group n (n >= 1) of the record carries the `g` name groupNames[n - 1].
    std::vector<std::string> groupNames;
    // Lines read, joined lines counted once per physical line.
    uint32_t lines = 0;

    static constexpr uint32_t kMaxWarnings = 20;
};

// Builds a record from an OBJ file: `v` positions, `vt` points in the UV set "map1", `vn` normals as
// user normals of the corners that name them, `f` faces (1-based or negative indices) sharing one
// edge per vertex pair, `g` names as face groups and `s` smoothing groups as edge hardness.
//
// Malformed lines and references to a vertex, UV or normal the file does not define fail the whole
// import (null, report.error names the line); so do forward references, which OBJ writers do not
// make. Faces a record cannot hold (fewer than three distinct corners, a corner repeated, one edge
// run twice) are skipped with a warning. Edge hardness: when faces name normals, an edge is hard
// exactly when two faces on it name different normals at one of its ends (the given shading is
// kept); otherwise, when the file has `s` lines, an edge is soft exactly when every face on it is in
// the same non-zero smoothing group; otherwise every edge is soft. Progress goes through Tcomputation, in bytes read.
class BRINDLE_API TobjImport {
public:
    // The new record (the caller's), or null with report.error set.
    static TpolyGeom* read(const char* path, TobjImportReport& report);
};
