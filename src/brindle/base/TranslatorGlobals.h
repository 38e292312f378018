#pragma once

#include <cstdint>

#include "brindle/base/Export.h"

// Process-wide state of the host's scene reader and writer that record readers consult.
class BRINDLE_API TglobalTranslatorBase {
public:
    // The newest scene-file version; files from kColorSetNamesVersion on name their colour sets.
    static constexpr int32_t kCurrentFileVersion = 121;
    static constexpr int32_t kColorSetNamesVersion = 121;

    // The version of the file being read; the current version unless the host says otherwise.
    static int32_t currentlyReadingFileVersion();
    static void setCurrentlyReadingFileVersion(int32_t version);
};

// Batch-mode switches of the host's scene I/O.
class BRINDLE_API TbatchGlobals {
public:
    // While set, records read from older files skip their normal and colour blocks.
    static bool fNotWritingPolyColors;
};
