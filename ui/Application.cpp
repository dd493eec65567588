#include "ui/Application.h"

#include "platform/io/ExecutableFile.h"
#include "platform/io/HidBackend.h"
#include "ui/MainWindow.h"

namespace
{

// How long a second copy tries to reach the running one: long enough for a copy that is still
// starting, short enough that a copy which cannot be reached does not keep the user waiting.
constexpr int handOverTimeoutMs = 3000;

}  // namespace

Application::Application() = default;

Application::~Application() = default;

const juce::String Application::getApplicationName()
{
    return "QVXRZ5UpdateProgram";
}

const juce::String Application::getApplicationVersion()
{
    return "1.0.0";
}

bool Application::moreThanOneInstanceAllowed()
{
    return false;
}

void Application::initialise (const juce::String&)
{
    m_pRunningCopyListener = std::make_unique<platform::RunningCopyListener> (
        getApplicationName(),
        [this] (const juce::String& commandLine) { anotherInstanceStarted (commandLine); });
    m_pQuitSignalWatcher = std::make_unique<platform::QuitSignalWatcher> ([this] { systemRequestedQuit(); });

    // The one place that names the program's own update folder and HID devices.
    m_pMainWindow = new MainWindow ({ platform::getRunningExecutableFile().getParentDirectory(),
                                      platform::createLinuxHidBackend });
}

void Application::shutdown()
{
    if (m_pMainWindow == nullptr)
    {
        // JUCE found the single-instance lock taken and skipped initialise.
        platform::passToRunningCopy (getApplicationName(), getCommandLineParameters(), handOverTimeoutMs);
        return;
    }

    m_pRunningCopyListener.reset();
    delete m_pMainWindow;
    m_pMainWindow = nullptr;
    m_pQuitSignalWatcher.reset();
}

void Application::anotherInstanceStarted (const juce::String&)
{
    if (m_pMainWindow != nullptr && m_pMainWindow->isVisible())
        m_pMainWindow->toFront (true);
}
