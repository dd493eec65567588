// The entry point of the tests against devices faked with umockdev: the process runs under
// umockdev's preload library, in private mount and network namespaces, with the tests on JUCE's
// message thread. Built with QVX_TESTS_OWN_DISPLAY for tests of the real program, it gives them
// an Xvfb display of their own; otherwise there is no display at all.
#include "support/PrivateNamespaces.h"
#include "support/umockdev/UmockdevTestbed.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#ifdef QVX_TESTS_OWN_DISPLAY
#include "window/XvfbDisplay.h"
#endif

int main (int argc, char** argv)
{
    // Before anything else: the uevents of a test bed reach a monitor only from a process that
    // runs under the preload itself, and the programs the tests start inherit it.
    const bool listing = [&]
    {
        for (int i = 1; i < argc; ++i)
            if (std::string (argv[i]) == "--gtest_list_tests")
                return true;
        return false;
    }();

    if (!listing)
    {
        qvxtest::reexecuteUnderUmockdevPreload (argv);
        if (!qvxtest::isUnderUmockdevPreload())
            return 1;
    }

    testing::InitGoogleTest (&argc, argv);

    if (GTEST_FLAG_GET (list_tests))
        return RUN_ALL_TESTS();

    // The updater's single-instance lock and socket then never meet another run's copy, and the
    // tests can give /run a udev of their choice. Without root the tests that need it skip.
    const auto isolation = qvxtest::enterPrivateNamespaces();
    if (!isolation.empty())
        std::fprintf (stderr, "Running without private namespaces (%s)\n", isolation.c_str());

#ifdef QVX_TESTS_OWN_DISPLAY
    qvxtest::OwnDisplay display;
    if (!display.isOpen())
        return 1;
#else
    qvxtest::forgetDisplay();
#endif

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI juceInitialiser;

#ifdef QVX_TESTS_OWN_DISPLAY
        // JUCE's desktop asks a child process about dark mode when it is made: made here, before
        // the tests start threads, a thread inside one of the preload library's locks cannot
        // leave that child stuck at fork.
        juce::Desktop::getInstance();
#endif

        result = RUN_ALL_TESTS();
    }

    return result;
}
