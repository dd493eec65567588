#pragma once

#include <functional>

struct _XDisplay;

namespace platform
{

/** Runs `use` with JUCE's own connection to the X display, the one JUCE reads its events from,
    under JUCE's lock of it. Returns false, without running it, when JUCE has no connection yet
    (it makes one with its first window). Message thread. */
bool withJuceDisplay (const std::function<void (_XDisplay* display)>& use);

}  // namespace platform
