#include "brindle/base/TranslatorGlobals.h"

namespace {
int32_t gReadingVersion = TglobalTranslatorBase::kCurrentFileVersion;
}  // namespace

bool TbatchGlobals::fNotWritingPolyColors = false;

int32_t TglobalTranslatorBase::currentlyReadingFileVersion() { return gReadingVersion; }
void TglobalTranslatorBase::setCurrentlyReadingFileVersion(int32_t version) { gReadingVersion = version; }
