#include "platform/desktop/DisplayCheck.h"
#include "ui/Application.h"

#include <cstdio>

juce::JUCEApplicationBase* juce_CreateApplication()
{
    return new Application();
}

int main (int argc, char* argv[])
{
    // Started from a console or over SSH without a display: say so instead of crashing.
    const auto problem = platform::problemWithDisplay();

    if (problem.isNotEmpty())
    {
        std::fprintf (stderr, "%s\n", problem.toRawUTF8());
        return 1;
    }

    juce::JUCEApplicationBase::createInstance = &juce_CreateApplication;
    return juce::JUCEApplicationBase::main (argc, const_cast<const char**> (argv));
}
