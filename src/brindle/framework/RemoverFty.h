#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/framework/ModifierFty.h"
#include "brindle/geom/PolyIdMapper.h"

// Base of the operations that delete or renumber components and report where each old id went.
// The maps are sized when the action is prepared and are meaningful once doAction has returned.
class BRINDLE_API TpolyRemoverFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()
    TpolyRemoverFty() = default;
    TpolyRemoverFty(const TpolyRemoverFty&) = default;
    TpolyRemoverFty& operator=(const TpolyRemoverFty&) = default;

    // Not owned.
    void setIdMapper(TpolyIdMapper* mapper) { fMapper = mapper; }
    TpolyIdMapper* idMapper() const { return fMapper; }
    TuInt32Array* vertexMap() const { return mapOf(kPolyGrpVertex); }
    TuInt32Array* edgeMap() const { return mapOf(kPolyGrpEdge); }
    TuInt32Array* faceMap() const { return mapOf(kPolyGrpFace); }
    // False for any kind but vertex, edge and face, and without a mapper or such a map.
    bool hasMap(int kind) const;

    uint32_t vertexMapValue(uint32_t i) const { return (*vertexMap())[i]; }
    void setVertexMapValue(uint32_t i, uint32_t v) { (*vertexMap())[i] = v; }
    uint32_t edgeMapValue(uint32_t i) const { return (*edgeMap())[i]; }
    void setEdgeMapValue(uint32_t i, uint32_t v) { (*edgeMap())[i] = v; }
    uint32_t faceMapValue(uint32_t i) const { return (*faceMap())[i]; }
    void setFaceMapValue(uint32_t i, uint32_t v) { (*faceMap())[i] = v; }

    // Fills the existing map of that kind with the identity over its whole length.
    void createDefaultIdMap(int kind);
    // Sets the logical length of each existing map.
    void changeIdMapperArraySizes(uint32_t vertices, uint32_t edges, uint32_t faces);

    // Remove the vertices no edge uses (the edges no face uses), with their blind data and group
    // memberships, and write the renumbering into the vertex (edge) map when there is one; the
    // map then has one entry per component before the call.
    virtual void handleUnusedVertices(TpolyGeom* geom);
    virtual void handleUnusedEdges(TpolyGeom* geom);

protected:
    // The base preparation, then each existing map grown (never shrunk) to the record's count.
    void prepareForAction(const TmidBody* body) override;

private:
    TuInt32Array* mapOf(TpolyGrpType kind) const { return fMapper ? fMapper->map(kind) : nullptr; }

    TpolyIdMapper* fMapper = nullptr;
};
