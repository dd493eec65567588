#pragma once

#include "window/XSession.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>
#include <functional>

class MainComponent;

namespace qvxtest
{

/** Tells which screen a running updater shows. Its window cannot be asked; so the upper part of
    the window, where the screens differ (their texts, the error identifier, the warning icon), is
    compared with the same screen drawn in this process by the program's own main component at
    the window's size: same code, same fonts, same pixels. The widget row and the buttons below it
    are left out, since focus and hover change how they look. Message thread. */
class ProgramScreen
{
public:
    /** The screen of this state value (a step or an error identifier), as drawn in this process
        in the current language. The main component drawn here reaches simulated HID devices only,
        never the test's real or faked ones. */
    explicit ProgramScreen (int32_t state);

    /** The version screen with these system versions of the controller and of the file, such as
        "1.00" and "1.02", as drawn in this process in the current language. */
    ProgramScreen (const juce::String& controllerVersion, const juce::String& fileVersion);

    /** How many pixels of the compared part differ clearly between the window and this screen. */
    int differingPixels (const juce::Image& window) const;

    /** Waits until the window shows this screen. On the time-out, saves what it saw and what it
        expected as test artefacts (<name>-seen.png, <name>-expected.png) and returns false. */
    bool waitUntilShown (XSession& session, XSession::WindowId window, int timeoutMs,
                         const juce::String& name) const;

    const juce::Image& image() const { return m_image; }

    /** Whether the captured window shows an error screen, whichever: only they draw the yellow
        warning triangle at (20, 15, 64, 64). Cheap enough to sample a running program often. */
    static bool showsWarningIcon (const juce::Image& window);

private:
    /** Draws the screen of the main component that `setUp` has given its state. */
    static juce::Image draw (const std::function<void (MainComponent&)>& setUp);

    juce::Image m_image;
};

}  // namespace qvxtest
