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

// After JUCE: Xlib's macros must not reach JUCE's headers.
#include <X11/Xlib.h>
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
    qvxtest::XvfbServer server;
    const auto name = server.start();

    if (name.empty())
    {
        std::fprintf (stderr, "Could not start Xvfb (see %s/xvfb.log)\n", QVX_TEST_ARTEFACTS);
        return 1;
    }

    ::setenv ("DISPLAY", name.c_str(), 1);

    XInitThreads();
    auto* atomsConnection = qvxtest::createWindowManagerAtoms();

    if (atomsConnection == nullptr)
    {
        std::fprintf (stderr, "Could not open the display %s\n", std::getenv ("DISPLAY"));
        return 1;
    }
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

#ifdef QVX_TESTS_OWN_DISPLAY
    XCloseDisplay (atomsConnection);
#endif
    return result;
}
