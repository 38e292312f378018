#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/IffFile.h"
#include "brindle/base/Math.h"
#include "brindle/base/Shared.h"

class TdebugOutput;

// Normals component of a record: a normal per face, a shading normal per normal id, the normal id
// of every face corner, the user normals indexed by normal id (x >= 1e19 means unset), and an
// optional cache of angle-weighted surface normals, one per vertex.
class BRINDLE_API TpolyNorm {
public:
    enum TuserNormalMode : int32_t { kUserReplaces = 0, kUserAdds = 1 };

    TmtRefCounter fRefs;
    T3dFltPointArray fFaceNormals{256};
    T3dFltPointArray fVertexNormals{256};
    TuInt32Array fNormalIds{256};
    T4dFltVectorArray fUserNormals{256};
    TuserNormalMode fUserNormalMode = kUserReplaces;
    T3dFltPointArray fSurfaceNormals{256};

    // A user entry counts as set while x is below 1e19 (a NaN is unset too).
    static bool isSet(const T4dFltVector& n) { return n.x < 1e19f; }
    static T4dFltVector unset() { return T4dFltVector(1e20f, 1e20f, 1e20f); }
    // Null when id is beyond the user array or its entry is unset.
    const T4dFltVector* getValidUserNormal(uint32_t id) const {
        return id < fUserNormals.size() && isSet(fUserNormals[id]) ? &fUserNormals[id] : nullptr;
    }
    // Grows the user array to n entries; the new ones are unset.
    void buildUserNormalBuffer(uint32_t n) {
        for (uint32_t i = fUserNormals.size(); i < n; ++i) fUserNormals.addLast(unset());
    }
    // Overrides (mode 0) or bends (mode 1) the unit shading normals with the set user normals.
    void updateUserNormals();
    // Rebuilds the user array for the current normal ids from the ids saved before they changed:
    // each corner carries the user normal of its old id to its new id, the first corner of a new
    // id deciding.
    void reorderUserNormals(const TuInt32Array& savedIds);
    // The user normals as a float array of x, y, z per normal id, then the mode when there is
    // one. Reading replaces both; null on a short chunk or an unknown mode, changing nothing.
    TiffStatus writeBinary(TiffFile& file) const;
    const void* readBinary(const void* cursor, int& size);
    // Text dump (flags choose the lines); debugMe writes it to TdebugOutput::sCerr.
    void debug(TdebugOutput& out, unsigned int flags) const;
    static void debugMe(const TpolyNorm& n, unsigned int flags);
};
