// Checks the update file beside this program, the way the updater does when OK is pressed,
// and prints what it found: "ready <m_fileReady> state <m_state>".
#include "platform/io/ExecutableFile.h"
#include "update/UpdateEngine.h"

#include <cstdio>

int main()
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    // The file is looked for where the program looks; no HID device is of use here.
    const EngineSettings settings (platform::getRunningExecutableFile().getParentDirectory(),
                                   [] { return std::unique_ptr<platform::HidBackend>(); });
    UpdateEngine engine (settings, [] {});
    engine.CheckUpdFile();
    std::printf ("ready %d state %d\n", engine.m_fileReady, static_cast<int> (engine.m_state.load()));
    return 0;
}
