// Checks the update file beside this program, the way the updater does when OK is pressed,
// and prints what it found: "ready <m_fileReady> state <m_state>".
#include "update/UpdateEngine.h"

#include <cstdio>

int main()
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    UpdateEngine engine ({}, [] {});
    engine.CheckUpdFile();
    std::printf ("ready %d state %d\n", engine.m_fileReady, static_cast<int> (engine.m_state.load()));
    return 0;
}
