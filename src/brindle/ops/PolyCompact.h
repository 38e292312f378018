#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"

class TpolyGeom;
class TpolyIdMapper;
class TpolyBdBlindData;

// Compaction after an edit that left components unused. Each helper keeps true: every surviving
// component keeps its data (positions, hard flags, group membership, crease values, blind data,
// UV and colour values) under its new id; the face description, edges, groups (vertex-face pairs
// included) and blind data name only surviving ids; the caller's map, when given, receives old id
// -> new id over the old count, all ones for a removed id. Corners keep their UV and colour.
namespace TpolyCompact {

// Drops the edges no face uses; answers how many went.
BRINDLE_API uint32_t removeUnusedEdges(TpolyGeom& geom, TuInt32Array* edgeMap);
// Drops the vertices no edge uses; answers how many went.
BRINDLE_API uint32_t removeUnusedVertices(TpolyGeom& geom, TuInt32Array* vertexMap);
// Drops, in every UV set / colour set, the values no corner uses; answers how many went in all.
BRINDLE_API uint32_t removeUnusedUVs(TpolyGeom& geom);
BRINDLE_API uint32_t removeUnusedColors(TpolyGeom& geom);
// Drops the values of UV set s that no corner uses; when s is the current set the UV groups follow
// the renumbering (their ids are the current set's). Answers how many went.
BRINDLE_API uint32_t removeUnusedUVs(TpolyGeom& geom, uint32_t s);
// All four, edges first (so that the vertices they freed go too), writing the mapper's edge and
// vertex maps when it has them; every derived part of the record is marked dirty.
BRINDLE_API void removeUnused(TpolyGeom& geom, TpolyIdMapper* mapper);

// Moves the live elements of blind data through map (old id -> new id over map's length); an
// element whose id maps to all ones, or lies beyond the map, is dropped.
BRINDLE_API void renumberBlindData(TpolyBdBlindData& data, const TuInt32Array& map);
// Rewrites the vertex ids (first) or face ids (second) of every vertex-face group through map,
// dropping the pairs whose id goes.
BRINDLE_API void renumberVertexFaceGroups(TpolyGeom& geom, const TuInt32Array& map, bool faces);

}  // namespace TpolyCompact
