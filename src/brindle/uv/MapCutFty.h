#pragma once

#include <cstdint>

#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/base/Metaclass.h"
#include "brindle/framework/ModifierFty.h"
#include "brindle/uv/UvSetFty.h"

class TpolyGeom;

// Cuts UV seams along the active edges: at each end of a cut edge the faces round the vertex
// fall into fans joined across uncut edges whose two faces share the UV there, and every fan but
// the first (in corner order) that uses a UV also used by an earlier fan gets a copy of that UV,
// so no UV is shared across a cut edge any more. Positions never change, only sharing.
class BRINDLE_API TpolyMapCutFty : public TpolyUvSetFty {
    BRINDLE_MODIFIER_CLASS()

    // The cut on set s of a record whose face offsets are up to date; edges are bits over the
    // edge ids. Answers the number of UVs added.
    static uint32_t cut(TpolyGeom* geom, const TbitFieldFixedN& edges, uint32_t s);

protected:
    int action(TmidBody* body, TmidComponent* components) override;
};

// Sews UV seams along the active edges: at each end of a sewn edge, the UVs that the faces on the
// edge use there become one UV (the lowest id) at the mean of the distinct UVs, and every corner
// that used one of them uses it; UVs left unused are dropped. UVs joined through several sewn
// edges at one vertex all become one.
class BRINDLE_API TpolyMapSewFty : public TpolyUvSetFty {
    BRINDLE_MODIFIER_CLASS()

    // Answers the number of corners that changed UV.
    static uint32_t sew(TpolyGeom* geom, const TbitFieldFixedN& edges, uint32_t s);

protected:
    int action(TmidBody* body, TmidComponent* components) override;
};

// Merges the active UVs that lie within Threshold of each other at one vertex: corners are met
// in description order and each joins the first UV kept so far at its vertex that is close
// enough, else its UV is kept there. Merged UVs move to the mean of the corners they took;
// UVs of different vertices never merge. The set is MapId, or the current set for all ones.
class BRINDLE_API TpolyMergeUVFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

    double Threshold() const { return fThreshold; }
    void setThreshold(double t) { fThreshold = t; }
    uint32_t MapId() const { return fMapId; }
    void setMapId(uint32_t s) { fMapId = s; }

    // uvs are bits over the UV ids of set s. Answers the number of corners that changed UV.
    static uint32_t mergeUV(TpolyGeom* geom, const TbitFieldFixedN& uvs, double threshold, uint32_t s);

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    double fThreshold = 1e-10;
    uint32_t fMapId = 0xFFFFFFFFu;
};
