#pragma once

#include "platform/desktop/SystemFonts.h"

/** Turns the typeface names that the texts ask for ("Osaka", "Geneva CY": macOS names that
    Linux does not have) into installed faces that show the script of the languages each name
    stands for. The names themselves stay as they are everywhere else. Each name and weight is
    resolved once and kept for the rest of the run.

    Any thread. */
namespace LanguageFonts
{

/** The font-system codes of the languages whose texts the name is asked to draw, the most
    important first: the languages whose macOS font it is, or, for a name that no language asks
    for (the default sans-serif name, an empty name), every language with Japanese first. */
juce::StringArray languagesFor (const juce::String& typefaceName);

/** The installed face that serves the name, bold or regular; names that resolve to the same face
    share one typeface. Null only when no usable font is installed at all. */
InstalledTypeface::Ptr typefaceFor (const juce::String& typefaceName, bool bold);

}  // namespace LanguageFonts
