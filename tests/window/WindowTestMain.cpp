// The window tests' entry point. It runs the tests on JUCE's message thread, on an Xvfb display
// of its own for the whole run.
#include "support/PrivateNamespaces.h"
#include "window/XvfbDisplay.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdio>

int main (int argc, char** argv)
{
    testing::InitGoogleTest (&argc, argv);

    // Listing the tests (the build does that) needs no display.
    if (GTEST_FLAG_GET (list_tests))
        return RUN_ALL_TESTS();

    // Updater copies started by these tests then never meet one of another test run. Without
    // root the tests still work: UpdaterRunGuard makes them wait for each other instead.
    const auto isolation = qvxtest::enterPrivateNamespaces();
    if (!isolation.empty())
        std::fprintf (stderr, "Running without private namespaces (%s)\n", isolation.c_str());

    // Always a display of this process's own: a desktop's display or another test's Xvfb would
    // let other windows and other input into the tests.
    qvxtest::OwnDisplay display;
    if (!display.isOpen())
        return 1;

    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    return RUN_ALL_TESTS();
}
