#pragma once

#include <cstdint>
#include <memory>
#include <utility>

#include "brindle/base/Export.h"
#include "brindle/subdiv/CatmullClarkHierarchy.h"
#include "brindle/subdiv/SmoothGeomOptions.h"

class TpolyGeom;

// A subdivision hierarchy held by a record: its numbering and the options it is evaluated with.
// createHierarchy appends the levels to the record, evaluateHierarchy moves them to their
// smoothed positions, copyHierarchy extracts one level. The record owns the subdivider; the
// subdivider only points at the record.
class BRINDLE_API TpolyBaseSubdivider {
public:
    // Brings the record's topology up to date.
    TpolyBaseSubdivider(TpolyGeom* record, const TpolySmoothGeomOptions& options);
    virtual ~TpolyBaseSubdivider() = default;
    TpolyBaseSubdivider(const TpolyBaseSubdivider&) = delete;
    TpolyBaseSubdivider& operator=(const TpolyBaseSubdivider&) = delete;

    virtual void createHierarchy(unsigned int levels) = 0;
    virtual void evaluateHierarchy(unsigned int levels) = 0;
    virtual void copyHierarchy(unsigned int level, TpolyGeom& out) const = 0;

    void setOptions(const TpolySmoothGeomOptions& options) { fOptions = options; }
    const TpolySmoothGeomOptions& options() const { return fOptions; }
    // Levels built past 0.
    uint32_t nbLevel() const { return fLevels; }
    const TpolyCatmullClarkHierarchy& hierarchy() const { return *fHierarchy; }

    // The hierarchy's numbering (ids absolute, level that of the parent).
    uint32_t vertexSubVertex(uint32_t v, uint32_t l) const { return fHierarchy->vertexSubVertex(v, l); }
    uint32_t edgeSubVertex(uint32_t e, uint32_t l) const { return fHierarchy->edgeSubVertex(e, l); }
    std::pair<uint32_t, uint32_t> edgeSubVertexRange(uint32_t e, uint32_t l) const {
        return fHierarchy->edgeSubVertexRange(e, l);
    }
    uint32_t edgeSubEdge(uint32_t e, uint32_t l) const { return fHierarchy->edgeSubEdge(e, l); }
    uint32_t faceSubVertex(uint32_t f, uint32_t l) const { return fHierarchy->faceSubVertex(f, l); }
    uint32_t faceSubEdge(uint32_t f, uint32_t l) const { return fHierarchy->faceSubEdge(f, l); }
    std::pair<uint32_t, uint32_t> faceSubFaceRange(uint32_t f, uint32_t l) const {
        return fHierarchy->faceSubFaceRange(f, l);
    }
    uint32_t uvSubUV(uint32_t uv, uint32_t map, uint32_t l) const { return fHierarchy->uvSubUV(uv, map, l); }
    uint32_t nbVertexAt(uint32_t l) const { return fHierarchy->nbVertexAt(l); }
    uint32_t nbEdgeAt(uint32_t l) const { return fHierarchy->nbEdgeAt(l); }
    uint32_t nbFaceAt(uint32_t l) const { return fHierarchy->nbFaceAt(l); }
    uint32_t nbUVAt(uint32_t map, uint32_t l) const { return fHierarchy->nbUVAt(map, l); }
    uint32_t nbVertexUpTo(uint32_t l) const { return fHierarchy->nbVertexUpTo(l); }
    uint32_t nbEdgeUpTo(uint32_t l) const { return fHierarchy->nbEdgeUpTo(l); }
    uint32_t nbFaceUpTo(uint32_t l) const { return fHierarchy->nbFaceUpTo(l); }
    uint32_t nbUVUpTo(uint32_t map, uint32_t l) const { return fHierarchy->nbUVUpTo(map, l); }

protected:
    TpolyGeom* fRecord;
    TpolySmoothGeomOptions fOptions;
    std::unique_ptr<TpolyCatmullClarkHierarchy> fHierarchy;
    uint32_t fLevels = 0;
};

// Catmull-Clark: the split layout (every n-gon into n quads), evaluated by the Catmull-Clark
// rules. A subdivision type other than 0 and 1 sets the generic-scheme flag.
class BRINDLE_API TpolyCatmullClarkSubdivider : public TpolyBaseSubdivider {
public:
    TpolyCatmullClarkSubdivider(TpolyGeom* record, const TpolySmoothGeomOptions& options);
    void createHierarchy(unsigned int levels) override;
    void evaluateHierarchy(unsigned int levels) override;
    void copyHierarchy(unsigned int level, TpolyGeom& out) const override;
    bool genericScheme(uint32_t level) const { return fGeneric && (level != 0 || fHierarchy->quadMesh()); }

private:
    bool fGeneric;
};

// The linear scheme: uniform grids of edgeDivisions() + 1 quads a side on all-quad meshes (the
// split layout elsewhere), smoothed by the degree's averaging passes.
class BRINDLE_API TpolyLinearSubdivider : public TpolyBaseSubdivider {
public:
    TpolyLinearSubdivider(TpolyGeom* record, const TpolySmoothGeomOptions& options);
    void createHierarchy(unsigned int levels) override;
    void evaluateHierarchy(unsigned int levels) override;
    void copyHierarchy(unsigned int level, TpolyGeom& out) const override;
    bool genericScheme(uint32_t) const { return true; }
};
