#pragma once

#include <cstdint>

#include "brindle/base/Array.h"
#include "brindle/base/Export.h"
#include "brindle/base/Math.h"
#include "brindle/base/Shared.h"

// Normals component of a record: a normal per face, a shading normal per normal id, the normal id
// of every face corner, and the user normals indexed by normal id (x >= 1e19 means unset).
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
};
