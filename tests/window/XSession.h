#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <sys/types.h>
#include <utility>
#include <vector>

struct _XDisplay;

namespace qvxtest
{

/** The test's own connection to the X display (DISPLAY), to look at and act on windows the way
    a window manager would: their geometry and hints, the focus, close requests, screenshots.
    Window ids are X window ids; a JUCE window's is its peer's native handle. */
class XSession
{
public:
    using WindowId = unsigned long;

    XSession();
    ~XSession();

    bool isOpen() const { return m_display != nullptr; }

    /** The viewable windows whose _NET_WM_PID is pid, anywhere in the window tree. */
    std::vector<WindowId> viewableWindowsOf (pid_t pid);

    /** Position on the root window and size of the window's inside. */
    juce::Rectangle<int> boundsOnScreen (WindowId window);
    juce::Rectangle<int> screenBounds();

    /** The atoms of an ATOM-typed property, by name ("" for an unnamed atom). */
    juce::StringArray atomNames (WindowId window, const char* property);

    /** The values of a 32-bit property of any type; empty when the window has none. */
    std::vector<long> longValues (WindowId window, const char* property);

    /** The size hints a window manager reads from WM_NORMAL_HINTS, each as "x, y" or
        "width x height", or "none" when the hints do not hold it. */
    struct NormalHints
    {
        juce::String position, minimum, maximum;
    };

    NormalHints normalHints (WindowId window);

    /** From now on notes the changes of the window's properties. */
    void watchPropertyChanges (WindowId window);

    /** How often the property changed since watchPropertyChanges(); reads the events that are
        waiting, does not wait for more. */
    int propertyChanges (WindowId window, const char* property);

    /** Makes the X server ask the window to draw all of itself again, as when it is uncovered. */
    void expose (WindowId window);

    /** _NET_WM_NAME, or WM_NAME when there is none. */
    juce::String title (WindowId window);

    /** The window that has the keyboard focus (0 for none, 1 for the pointer's root). */
    WindowId focusedWindow();

    /** True when the focus is on the window or one inside it. */
    bool hasFocus (WindowId window);

    /** Creates and shows a plain window of the test's own and gives it the focus. */
    WindowId createFocusedWindow();

    /** Sends what a window manager sends when the user closes the window from its frame. */
    void requestClose (WindowId window);

    /** From now on notes the requests that clients send to the window manager to activate a
        window (_NET_ACTIVE_WINDOW). */
    void watchActivationRequests();

    /** True when an activation request for the window arrived since watchActivationRequests();
        reads the events that are waiting, does not wait for more. */
    bool activationWasRequested (WindowId window);

    /** The window's pixels as it shows them (its inside, without a frame); an invalid image
        when the window cannot be read. */
    juce::Image capture (WindowId window);

    /** Saves the window's pixels as it shows them to QVX_TEST_ARTEFACTS/<name>.png. Returns the
        file, or an empty File when the window could not be read. */
    juce::File saveScreenshot (WindowId window, const juce::String& name);

    void flush();

    XSession (const XSession&) = delete;
    XSession& operator= (const XSession&) = delete;

private:
    unsigned long atom (const char* name);
    void readEvents();

    _XDisplay* m_display = nullptr;
    std::vector<WindowId> m_activationRequests;
    std::vector<std::pair<WindowId, unsigned long>> m_propertyChanges;  // window, property atom
    std::vector<WindowId> m_ownWindows;
};

/** Whether an X display of that name can be opened now. */
bool canOpenDisplay (const char* name);

/** The X window id of a JUCE window on the desktop; 0 when it has no peer. */
XSession::WindowId windowIdOf (juce::Component& window);

}  // namespace qvxtest
