// Key repeats on X11, set on JUCE's own display connection: the setting is the client's.
#define JUCE_GUI_BASICS_INCLUDE_XHEADERS 1
#include "platform/KeyRepeat.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <X11/XKBlib.h>

namespace platform
{

bool useDetectableKeyRepeat()
{
    auto* windowSystem = juce::XWindowSystem::getInstanceWithoutCreating();
    auto* display = windowSystem != nullptr ? windowSystem->getDisplay() : nullptr;

    if (display == nullptr)
        return false;

    juce::XWindowSystemUtilities::ScopedXLock lock;

    Bool supported = False;
    return XkbSetDetectableAutoRepeat (display, True, &supported) == True && supported == True;
}

}  // namespace platform
