#pragma once

#include <cstdint>

#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/framework/RemoverFty.h"

class TpolyEditableGeom;

// The removers that delete or collapse the selected components through the editable geometry.
// Each reads its selection from the current group of its kind, edits in increasing id order,
// and hands the body a record in which every surviving component keeps its data under the id
// that the mapper's maps give it (all ones for a component that went). UVs and colours no corner
// uses any more are dropped. When nothing usable is left the body gets an empty record that
// keeps the UV set names and the current UV set, and every map sends every id to all ones.
class BRINDLE_API TpolyDelComponentFty : public TpolyRemoverFty {
    BRINDLE_MODIFIER_CLASS()
    TpolyDelComponentFty() = default;
    TpolyDelComponentFty(const TpolyDelComponentFty&) = default;
    TpolyDelComponentFty& operator=(const TpolyDelComponentFty&) = default;

protected:
    int action(TmidBody* body, TmidComponent* components) override;
    virtual TpolyGrpType selectionKind() const = 0;
    // Edits the selected components; false when the edit leaves nothing (every face deleted).
    virtual bool removeSelected(TpolyEditableGeom& edit, const TbitFieldFixedN& selected) = 0;

private:
    // The empty record that replaces one whose every face went.
    static TpolyGeom* emptyLike(const TpolyGeom& geom);
};

// Deletes the selected edges, joining the faces on both sides (InternalMode 0, or any value but
// 0 and 1 to delete as well the ends left between two edges), or collapses each to a point
// (InternalMode 1; faces left degenerate are deleted).
class BRINDLE_API TpolyDelEdgeFty : public TpolyDelComponentFty {
    BRINDLE_MODIFIER_CLASS()
    TpolyDelEdgeFty() = default;
    int InternalMode() const { return fMode; }
    void setInternalMode(int mode) { fMode = mode; }

protected:
    TpolyGrpType selectionKind() const override { return kPolyGrpEdge; }
    bool removeSelected(TpolyEditableGeom& edit, const TbitFieldFixedN& selected) override;

private:
    int fMode = 0;
};

// Deletes the selected faces, or collapses each to one vertex (the neighbours losing the corners
// that fold together). Deleting every face of the record empties it.
class BRINDLE_API TpolyDelFacetFty : public TpolyDelComponentFty {
    BRINDLE_MODIFIER_CLASS()
    TpolyDelFacetFty() = default;
    void setCollapseMode() { fCollapse = 1; }
    void setDeleteMode() { fCollapse = 0; }
    int mode() const { return fCollapse; }

protected:
    TpolyGrpType selectionKind() const override { return kPolyGrpFace; }
    bool removeSelected(TpolyEditableGeom& edit, const TbitFieldFixedN& selected) override;

private:
    int fCollapse = 0;
};

// Deletes the selected vertices that lie between exactly two edges, merging those edges; the
// others stay.
class BRINDLE_API TpolyDelVertexFty : public TpolyDelComponentFty {
    BRINDLE_MODIFIER_CLASS()
    TpolyDelVertexFty() = default;

protected:
    TpolyGrpType selectionKind() const override { return kPolyGrpVertex; }
    bool removeSelected(TpolyEditableGeom& edit, const TbitFieldFixedN& selected) override;
};
