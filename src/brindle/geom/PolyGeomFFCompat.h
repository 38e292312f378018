#pragma once

#include "brindle/base/Export.h"
#include "brindle/base/IffFile.h"

class TpolyGeom;

// Reader of records saved by older versions, whose chunk held six blocks of items in a fixed
// order (items as TpolyIOUtil reads them):
//   1. geometry: the positions, a float array of x, y, z per vertex;
//   2. normals: the user normals by old normal id, which is the vertex id (a float array of x, y,
//      z per id, unset entries with x >= 1e19), then the user-normal mode when the array is not
//      empty;
//   3. UV map: an int 0 (none) or 1, then the UVs as a float array of u, v pairs and the int
//      array of per-corner UV ids (-1: unmapped);
//   4. colours: an int 0 (none) or 1, then the representation int, the colours as a float array of
//      red, green, blue, alpha, and the int array of per-corner colour ids;
//   5. edges: the raw edge words as an int array, then the raw face-description entries;
//   6. info: the face count, an int equal to the number of faces the description holds.
// Files written while TbatchGlobals::fNotWritingPolyColors was set hold no normal and no colour
// block, and the reader skips them while it is set.
class BRINDLE_API TpolyGeomFFCompat {
public:
    // Reads the first chunk tagged tag in file into geom and answers true. The record's vertices,
    // topology, normals, UV sets and colour sets are replaced and everything is dirty; user normals
    // move from the per-vertex numbering to the normal ids. The UV map becomes the set "map1", the
    // colours one unnamed set. False, with geom left as it was, when there is no such chunk, an
    // item cannot be read, an id points outside its array or the face count disagrees.
    static bool readBinaryPre3_0(TiffTag tag, const TiffFile& file, TpolyGeom& geom);

private:
    // The blocks in file order, each reading into the staged record g; null on a short chunk or
    // a bad value, as the TpolyIOUtil readers.
    static const void* readBinaryGeom(TpolyGeom& g, const void* cursor, int& size);
    static const void* readNormBinary(TpolyGeom& g, const void* cursor, int& size);
    static const void* readMapBinary(TpolyGeom& g, const void* cursor, int& size);
    static const void* readColorBinary(TpolyGeom& g, const void* cursor, int& size);
    static const void* readEdgeBinary(TpolyGeom& g, const void* cursor, int& size);
    static const void* readInfoBinary(TpolyGeom& g, const void* cursor, int& size);
    // Moves the user normals read by vertex id to the normal ids of the corners at that vertex.
    static void computeOldNormalIdRefs(TpolyGeom& g);
};
