#pragma once

#include "platform/desktop/WindowHints.h"
#include "update/EngineSettings.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class MainComponent;

/** The program's one window: fixed size, always on top, with the platform's title bar and no
    buttons in it; its content is the MainComponent, which it owns.

    The constructor builds and shows it. Message thread only. */
class MainWindow : public juce::DocumentWindow
{
public:
    /** The content's update engine is made with the settings. */
    explicit MainWindow (EngineSettings settings);
    ~MainWindow() override;

    /** The window manager's close (there is no close button) quits the program the way the
        platform's other quit requests do. */
    void userTriedToCloseWindow() override;

    /** When the keyboard focus comes into the window, the screen puts it on its button at once.
        The window itself never takes the focus: taking it can take the keyboard from another
        program (see MainWindow.cpp). */
    void focusOfChildComponentChanged (FocusChangeType cause) override;

private:
    MainComponent* m_pMainComponent = nullptr;                // owned through setContentOwned
    std::unique_ptr<platform::FixedWindowSize> m_pFixedSize;  // goes before the native window

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MainWindow)
};
