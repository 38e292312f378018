#include "brindle/base/Computation.h"

#include <cstdlib>

bool gBatchMode = false;

namespace {
Tcomputation::Hooks gHooks;
}

void Tcomputation::setHooks(const Hooks& hooks) { gHooks = hooks; }
const Tcomputation::Hooks& Tcomputation::hooks() { return gHooks; }

void Tcomputation::beginComputation() {
    fActive = true;
    if (gHooks.begin) gHooks.begin(gHooks.user);
}

void Tcomputation::setProgressRange(int min, int max) {
    fMin = min;
    fMax = max;
}

void Tcomputation::setProgressValue(int value) {
    if (gHooks.progress) gHooks.progress(gHooks.user, value, fMin, fMax);
}

void Tcomputation::setProgressStatus(const char* text) {
    if (gHooks.status) gHooks.status(gHooks.user, text);
}

bool Tcomputation::isInterruptRequested() { return gHooks.interrupted && gHooks.interrupted(gHooks.user); }

void Tcomputation::endComputation() {
    fActive = false;
    if (gHooks.end) gHooks.end(gHooks.user);
}

const char* ZeltoGetEnv(const char* name) { return name ? std::getenv(name) : nullptr; }
