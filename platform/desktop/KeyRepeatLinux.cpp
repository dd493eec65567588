// Key repeats on X11, set on JUCE's own display connection: the setting is the client's.
#include "platform/desktop/KeyRepeat.h"

#include "platform/desktop/JuceDisplay.h"

// After JUCE: Xlib's macros must not reach JUCE's headers.
#include <X11/XKBlib.h>

namespace platform
{

bool useDetectableKeyRepeat()
{
    auto detectable = false;

    withJuceDisplay (
        [&] (Display* display)
        {
            Bool supported = False;
            detectable = XkbSetDetectableAutoRepeat (display, True, &supported) == True && supported == True;
        });

    return detectable;
}

}  // namespace platform
