// The entry point of the tests of the built program against a controller faked with umockdev:
// as for the tests of the link (see ../UmockdevTestMain.cpp), and on an Xvfb display of their own.
#include "support/umockdev/UmockdevTestbed.h"
#include "window/XvfbDisplay.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

int main (int argc, char** argv)
{
    if (const auto status = qvxtest::startUmockdevTestProcess (argc, argv); status >= 0)
        return status;

    qvxtest::OwnDisplay display;
    if (!display.isOpen())
        return 1;

    const juce::ScopedJuceInitialiser_GUI juceInitialiser;

    // JUCE's desktop asks a child process about dark mode when it is made: made here, before the
    // tests start threads, a thread inside one of the preload library's locks cannot leave that
    // child stuck at fork.
    juce::Desktop::getInstance();

    return RUN_ALL_TESTS();
}
