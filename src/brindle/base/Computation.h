#pragma once

#include <cstdint>
#include <string>

#include "brindle/base/Export.h"

// Progress reporting and interrupt polling of one long loop. Every call forwards to the
// process-wide host hooks; with none installed they do nothing and no interrupt is ever seen.
class BRINDLE_API Tcomputation {
public:
    // Host hooks. Each may be null.
    struct Hooks {
        void (*begin)(void* user) = nullptr;
        void (*progress)(void* user, int value, int min, int max) = nullptr;
        void (*status)(void* user, const char* text) = nullptr;
        bool (*interrupted)(void* user) = nullptr;
        void (*end)(void* user) = nullptr;
        void* user = nullptr;
    };
    static void setHooks(const Hooks& hooks);
    static const Hooks& hooks();

    void beginComputation();
    void setProgressRange(int min, int max);
    void setProgressValue(int value);
    void setProgressStatus(const char* text);
    void setShowPercentText(bool show) { fShowPercent = show; }
    bool showPercentText() const { return fShowPercent; }
    bool isInterruptRequested();
    void endComputation();

    ~Tcomputation() {
        if (fActive) endComputation();
    }

private:
    int fMin = 0, fMax = 100;
    bool fShowPercent = false;
    bool fActive = false;
};

// True when the host runs without a user interface.
BRINDLE_API extern bool gBatchMode;

// The value of a host environment variable, or null.
BRINDLE_API const char* ZeltoGetEnv(const char* name);
