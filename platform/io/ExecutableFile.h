#pragma once

#include <juce_core/juce_core.h>

namespace platform
{

/** The file of the running program, links resolved, wherever it was started from.
    Returns an empty File when the system cannot tell. Any thread. */
juce::File getRunningExecutableFile();

}  // namespace platform
