#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brindle/base/Export.h"

class TpolyGeom;

struct BRINDLE_API TobjWriteReport {
    std::string error;                  // empty on success
    std::vector<std::string> warnings;  // one line per kind of loss
    uint32_t holedFaces = 0;            // faces with holes, written as their triangles
};

// Writes a record as OBJ: `v` per vertex, `vt` per point of the current UV set, `vn` per shading
// normal (so hard edges and user normals survive), `f` per face with v/vt/vn corners (a face with an
// unmapped corner is written without vt), and `g` lines naming the positive face groups a face is
// in whenever that set changes from the previous face (a bare `g` when it becomes empty). OBJ has no holes: a face with
// holes is written as the triangles of its triangulation, with a warning. Numbers are formatted into a buffer flushed
// in large blocks; floats are written in their shortest exact form, so a re-import gives the same positions.
class BRINDLE_API TobjWriter {
public:
    // groupNames[n - 1] names face group n; groups beyond the list are written as "group<n>".
    static bool write(TpolyGeom& geom, const char* path, const std::vector<std::string>& groupNames,
                      TobjWriteReport& report);
    // The same text, into out. Both refuse, with report.error set and no text, a record whose
    // edges or face corners point outside their arrays or whose faces lack corners.
    static void format(TpolyGeom& geom, const std::vector<std::string>& groupNames, std::string& out,
                       TobjWriteReport& report);
};
