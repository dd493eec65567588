#pragma once

#include <juce_core/juce_core.h>

namespace platform
{

/** Whether the display that the program's window will open can be opened: DISPLAY, or ":0.0"
    when DISPLAY is unset or empty, as JUCE takes it. Returns an empty string when it can;
    otherwise the one line to tell the user, naming the display. Call before any window is built
    (JUCE would crash building one without a display). Any thread. */
juce::String problemWithDisplay();

}  // namespace platform
