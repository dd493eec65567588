#include "platform/desktop/DisplayCheck.h"

#include <cstdlib>

// After JUCE: Xlib's macros must not reach JUCE's headers.
#include <X11/Xlib.h>

namespace platform
{

juce::String problemWithDisplay()
{
    const char* variable = std::getenv ("DISPLAY");
    const juce::String fromEnvironment (variable);
    const auto name = fromEnvironment.isEmpty() ? juce::String (":0.0") : fromEnvironment;

    // Before any other Xlib call; JUCE calls it again for its own connection.
    XInitThreads();

    // JUCE tries twice too: some systems refuse the first attempt.
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        if (auto* display = XOpenDisplay (name.toRawUTF8()))
        {
            XCloseDisplay (display);
            return {};
        }
    }

    return "QVX-720 update program: cannot open the X display \"" + name + "\"" +
           (variable == nullptr         ? " (DISPLAY is not set)"
            : fromEnvironment.isEmpty() ? " (DISPLAY is empty)"
                                        : "") +
           "; the program needs a graphical session.";
}

}  // namespace platform
