#pragma once

#include "brindle/base/Export.h"
#include "brindle/base/String.h"
#include "brindle/geom/PolyGeom.h"

// A user triangulation function known by name.
struct BRINDLE_API TuserTrgFunc {
    TuserTrgFunc(Tstring name, TuserTrgFunction fn) : fName(std::move(name)), fFunc(fn) {}

    Tstring fName;
    TuserTrgFunction fFunc;
};

// Process-wide registry of named user triangulation functions. It only stores them; a record
// uses one once it is installed with TpolyGeom::setUserTrgFunct. Names are unique: a second
// registration under a taken name fails with a message through the error handler.
class BRINDLE_API TpolyUserTrg {
public:
    static bool registerTrgFunc(Tstring name, TuserTrgFunction fn);
    // False when no function has that name.
    static bool unregisterTrgFunc(Tstring name);
    static bool getTrgFunc(Tstring name, TuserTrgFunction& fn);
};
