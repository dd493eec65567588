// JUCE's display connection, reached through JUCE's X11 headers: the one place that does.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "platform/desktop/JuceDisplay.h"

#include <juce_gui_basics/juce_gui_basics.h>

namespace platform
{

bool withJuceDisplay (const std::function<void (_XDisplay* display)>& use)
{
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* display = windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;

    if (display == nullptr)
        return false;

    juce::XWindowSystemUtilities::ScopedXLock lock;
    use (display);
    return true;
}

}  // namespace platform
