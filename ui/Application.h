#pragma once

#include "platform/desktop/QuitSignals.h"
#include "platform/desktop/RunningCopy.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

class MainWindow;

/** The program as JUCE drives it: it names the program, lets one copy run, creates the window
    in initialise and deletes it in shutdown. A quit request of the platform is granted at once.

    JUCE calls every member on the message thread. */
class Application : public juce::JUCEApplication
{
public:
    Application();
    ~Application() override;

    const juce::String getApplicationName() override;
    const juce::String getApplicationVersion() override;
    bool moreThanOneInstanceAllowed() override;
    void initialise (const juce::String& commandLine) override;

    /** Deletes the window. In a copy that found another one running (JUCE then calls shutdown
        without initialise) it first hands its start over to the running copy. */
    void shutdown() override;

    /** Brings the window to the front with the keyboard focus, if it is visible. */
    void anotherInstanceStarted (const juce::String& commandLine) override;

private:
    MainWindow* m_pMainWindow = nullptr;  // owned: shutdown deletes it

    // JUCE tells neither of these on Linux: later starts (its broadcast between copies is
    // empty there) and the system's quit signals.
    std::unique_ptr<platform::RunningCopyListener> m_pRunningCopyListener;
    std::unique_ptr<platform::QuitSignalWatcher> m_pQuitSignalWatcher;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (Application)
};
