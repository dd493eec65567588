#pragma once

#include <juce_core/juce_core.h>

namespace platform
{

/** The user's preferred languages, most preferred first, as the system writes them
    ("fr_CA.UTF-8", "de"). Empty when the user has no preference. Reads the process
    environment, so call it where nothing changes that environment (the message thread). */
juce::StringArray getPreferredLanguages();

/** The canonical locale identifier of one preferred language: "fr_CA" for "fr_CA.UTF-8",
    "en_US" for "en-US", and for Chinese with its script, as "zh-Hans_CN" for "zh_CN" and
    "zh-Hant_TW" for "zh_TW". The case of the letters is kept. Returns an empty string when the
    entry names no language. Any thread. */
juce::String getCanonicalLocaleIdentifier (const juce::String& language);

}  // namespace platform
