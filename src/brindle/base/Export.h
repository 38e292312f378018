#pragma once

// Marks the classes and functions that the shared library exports; everything else is hidden.
#define BRINDLE_API __attribute__((visibility("default")))
