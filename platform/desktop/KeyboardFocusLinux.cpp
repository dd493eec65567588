// The keyboard focus on X11, asked through JUCE's own display connection.
#include "platform/desktop/KeyboardFocus.h"

#include "platform/desktop/JuceDisplay.h"

#include <juce_gui_basics/juce_gui_basics.h>

// After JUCE: Xlib's macros must not reach JUCE's headers.
#include <X11/Xlib.h>

#include <algorithm>
#include <vector>

namespace platform
{

namespace
{

/** The window and its ancestors up to, not including, the root window. */
std::vector<::Window> windowAndAncestors (::Display* display, ::Window window)
{
    std::vector<::Window> chain;

    while (window != 0)
    {
        ::Window root = 0, parent = 0;
        ::Window* children = nullptr;
        unsigned int count = 0;

        if (XQueryTree (display, window, &root, &parent, &children, &count) == 0)
            break;

        if (children != nullptr)
            XFree (children);

        if (window == root)
            break;

        chain.push_back (window);
        window = parent;
    }

    return chain;
}

bool contains (const std::vector<::Window>& windows, ::Window window)
{
    return std::find (windows.begin(), windows.end(), window) != windows.end();
}

}  // namespace

bool anotherProgramHasTheKeyboard()
{
    auto another = false;

    withJuceDisplay (
        [&] (::Display* display)
        {
            ::Window focus = 0;
            int revertTo = 0;
            XGetInputFocus (display, &focus, &revertTo);

            if (focus == None || focus == PointerRoot)
                return;

            const auto focusChain = windowAndAncestors (display, focus);

            // The root window: nobody's.
            if (focusChain.empty())
                return;

            for (int i = 0; i < juce::ComponentPeer::getNumPeers(); ++i)
            {
                const auto ours = static_cast<::Window> (reinterpret_cast<juce::pointer_sized_uint> (
                    juce::ComponentPeer::getPeer (i)->getNativeHandle()));

                // One of our windows or a window inside it, or a window manager's frame around one.
                if (contains (focusChain, ours) || contains (windowAndAncestors (display, ours), focus))
                    return;
            }

            another = true;
        });

    return another;
}

}  // namespace platform
