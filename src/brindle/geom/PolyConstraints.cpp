#include "brindle/geom/PolyConstraints.h"

uint32_t TpolyConstraints::globActiveConstraints = 0;
