#pragma once

#include <cstdint>

#include "brindle/base/BitField.h"
#include "brindle/base/Export.h"
#include "brindle/base/Metaclass.h"
#include "brindle/framework/ModifierFty.h"
#include "brindle/uv/UvSetFty.h"

class TpolyGeom;

// Copies the UVs of the active faces from MapSetIn into MapSetOut (-1: the current set): each
// input UV the faces use gets one output UV at the same place, so the sharing between the faces
// is copied too; an unmapped input corner leaves its output corner unmapped. Output UVs left
// unused are dropped. Equal input and output sets change nothing.
class BRINDLE_API TpolyCopyUVFty : public TmidModifierFty {
    BRINDLE_MODIFIER_CLASS()

    int32_t MapSetIn() const { return fIn; }
    void setMapSetIn(int32_t s) { fIn = s; }
    int32_t MapSetOut() const { return fOut; }
    void setMapSetOut(int32_t s) { fOut = s; }

protected:
    int action(TmidBody* body, TmidComponent* components) override;

private:
    int32_t fIn = -1, fOut = -1;
};

// Unmaps the active faces in one UV set; UVs no face uses any more are dropped and the set's UV
// ids renumbered, the UV groups with them.
class BRINDLE_API TpolyMapDelFty : public TpolyUvSetFty {
    BRINDLE_MODIFIER_CLASS()

    // faces are bits over the face ids; the face offsets must be up to date.
    static void delUV(TpolyGeom* geom, const TbitFieldFixedN& faces, uint32_t s);

protected:
    int action(TmidBody* body, TmidComponent* components) override;
};
