// Checks the update file beside this program, the way the updater does when OK is pressed,
// and prints what it found: "ready <m_fileReady> state <m_state>".
#include "ui/MainComponent.h"

#include <cstdio>

int main()
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    MainComponent component;
    component.CheckUpdFile();
    std::printf ("ready %d state %d\n", component.m_fileReady, static_cast<int> (component.m_state.load()));
    return 0;
}
