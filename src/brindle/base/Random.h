#pragma once

// The process-wide random sequence that the operations draw from is the C library's 48-bit
// generator: srand48 seeds it, lrand48 and drand48 draw from it. Seeding it makes a run repeatable.
#include <stdlib.h>
