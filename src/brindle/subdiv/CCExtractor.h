#pragma once

#include <cstdint>

#include "brindle/base/Export.h"

class TpolyGeom;
class TpolyCatmullClarkHierarchy;

// Copies one level of a hierarchy into a standalone record: positions, edges (ids renumbered to
// the level, hard flags kept), the face description, every UV set (the level's UVs and ids),
// every colour set (the colours the level's corners use), the vertex, edge and face groups
// (their members within the level), the level's creases and the blind data of its components. The source record is not
// changed; out's previous content is replaced and its derived data brought up to date.
class BRINDLE_API TpolyCCExtractor {
public:
    TpolyCCExtractor(const TpolyGeom& record, const TpolyCatmullClarkHierarchy& hierarchy)
        : fRecord(record), fHierarchy(hierarchy) {}
    virtual ~TpolyCCExtractor() = default;

    // False, leaving out as it was, for a level that was not built.
    virtual bool extractHierarchy(uint32_t level, TpolyGeom& out) const;

protected:
    virtual void copyVerticesTo(uint32_t level, TpolyGeom& out) const;
    virtual void copyEdgesTo(uint32_t level, TpolyGeom& out) const;
    virtual void copyFacesTo(uint32_t level, TpolyGeom& out) const;
    virtual void copyUVsTo(uint32_t level, uint32_t map, TpolyGeom& out) const;
    virtual void copyUVsForAllMapsTo(uint32_t level, TpolyGeom& out) const;
    virtual void copyColorsTo(uint32_t level, TpolyGeom& out) const;
    virtual void copyGroupsTo(uint32_t level, TpolyGeom& out) const;
    virtual void copyBlindDataTo(uint32_t level, TpolyGeom& out) const;

    const TpolyGeom& fRecord;
    const TpolyCatmullClarkHierarchy& fHierarchy;
};

// The extractor of the linear scheme: levels are laid out by the same numbering, so extraction
// is the same.
class BRINDLE_API TpolyNNExtractor : public TpolyCCExtractor {
public:
    using TpolyCCExtractor::TpolyCCExtractor;
};
