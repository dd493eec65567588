#include "text/Table.h"

namespace
{

// No code begins with another, so an identifier can match at most one of them.
const juce::String langList[LANG_NUM] = { "en", "fr", "de",      "es",      "it", "nl",
                                          "ru", "pt", "zh-Hans", "zh-Hant", "ko", "ja" };

}  // namespace

const juce::String* const plangList = langList;
