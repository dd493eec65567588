// The built program, started as child processes on the test's display.
#include "window/UpdaterProgram.h"
#include "support/ProgramProtocol.h"
#include "window/ProgramScreen.h"
#include "window/XTestInput.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using qvxtest::ChildProgram;
using qvxtest::XSession;

namespace
{

// Generous bounds for a sanitizer build on a busy machine; they only keep a broken program
// from hanging the test.
constexpr int quitTimeoutMs = 20000;

struct UpdaterProgramTest : testing::Test
{
    void SetUp() override
    {
        ASSERT_TRUE (guard.problem().isEmpty()) << guard.problem();
        ASSERT_TRUE (session.isOpen());
    }

    /** Starts a copy and waits for its one window. */
    XSession::WindowId startAndWaitForWindow (std::unique_ptr<ChildProgram>& program,
                                              const juce::StringArray& arguments = {})
    {
        program = qvxtest::startUpdater (arguments);
        EXPECT_TRUE (program->isStarted());
        const auto windows = qvxtest::waitForWindows (session, *program);
        EXPECT_EQ (windows.size(), 1u) << program->standardError();
        return windows.empty() ? 0 : windows.front();
    }

    /** Waits until the window holds the keyboard focus, as a new window takes it; false after
        20 s. */
    bool waitForFocus (XSession::WindowId window)
    {
        const auto deadline = juce::Time::getMillisecondCounter() + 20000;

        while (!session.hasFocus (window) && juce::Time::getMillisecondCounter() < deadline)
            juce::Thread::sleep (10);

        return session.hasFocus (window);
    }

    /** Waits until a new copy's window holds the keyboard and shows its first screen: the copy
        has then finished starting (it takes the keyboard again as it shows the window after
        building it), and only now would a user go to another program. False after 20 s each. */
    bool waitUntilStarted (XSession::WindowId window)
    {
        return waitForFocus (window) &&
               qvxtest::ProgramScreen (qvxtest::program::languageScreen)
                   .waitUntilShown (session, window, 20000,
                                    testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    /** Expects the program to end by itself with exit code 0 and no sanitizer report. */
    static void expectCleanExit (ChildProgram& program, const juce::String& how)
    {
        const auto status = program.waitForExit (quitTimeoutMs);
        ASSERT_TRUE (status.has_value()) << how << ": still running";
        EXPECT_TRUE (WIFEXITED (*status) && WEXITSTATUS (*status) == 0)
            << how << ": " << ChildProgram::describeStatus (*status) << "\n"
            << program.standardError();
        EXPECT_FALSE (ChildProgram::holdsSanitizerReport (program.standardError()))
            << how << ":\n"
            << program.standardError();
    }

    /** Waits until the window's WM_NORMAL_HINTS fix it at 406 x 154; false after 10 s. What it
        saw last is in hints. */
    bool waitForSizeLimits (XSession::WindowId window)
    {
        const auto deadline = juce::Time::getMillisecondCounter() + 10000;

        for (;;)
        {
            hints = session.normalHints (window);

            if (hints.minimum == "406 x 154" && hints.maximum == "406 x 154")
                return true;

            if (juce::Time::getMillisecondCounter() > deadline)
                return false;

            juce::Thread::sleep (10);
        }
    }

    static juce::String describeHints (const XSession::NormalHints& hints)
    {
        return "WM_NORMAL_HINTS: position " + hints.position + ", min " + hints.minimum + ", max " +
               hints.maximum;
    }

    qvxtest::UpdaterRunGuard guard;
    XSession session;
    XSession::NormalHints hints;
};

struct ArgumentsCase
{
    const char* label;
    juce::StringArray arguments;
};

void PrintTo (const ArgumentsCase& c, std::ostream* stream)
{
    *stream << c.label;
}

struct WindowWithArguments : UpdaterProgramTest, testing::WithParamInterface<ArgumentsCase>
{
};

}  // namespace

TEST_P (WindowWithArguments, TheWindowIsFixedCentredOnTopWithoutButtonsWhateverTheArguments)
{
    std::unique_ptr<ChildProgram> program;
    const auto window = startAndWaitForWindow (program, GetParam().arguments);
    ASSERT_NE (window, 0u);

    // The window as a window manager sees it.
    const auto screen = session.screenBounds();
    const auto bounds = session.boundsOnScreen (window);
    EXPECT_EQ (bounds.getWidth(), 406);
    EXPECT_EQ (bounds.getHeight(), 154);
    EXPECT_NEAR (bounds.getCentreX(), screen.getCentreX(), 1);
    EXPECT_NEAR (bounds.getCentreY(), screen.getCentreY(), 1);

    // _MOTIF_WM_HINTS: flags, functions, decorations. Moving is all the frame may offer: no
    // close, minimise, maximise or resize.
    const auto motif = session.longValues (window, "_MOTIF_WM_HINTS");
    ASSERT_GE (motif.size(), 3u);
    const long moveOnly = 4;
    EXPECT_EQ (motif[1], moveOnly) << "close, minimise, maximise or resize offered";
    const long minimiseMaximiseResize = 0x20 | 0x40 | 0x4;
    EXPECT_EQ (motif[2] & minimiseMaximiseResize, 0);
    EXPECT_NE (motif[2] & 8, 0) << "no title bar";

    // WM_NORMAL_HINTS: a fixed size for the window managers that read only these hints.
    EXPECT_TRUE (waitForSizeLimits (window)) << describeHints (hints);

    EXPECT_TRUE (session.atomNames (window, "_NET_WM_STATE").contains ("_NET_WM_STATE_ABOVE"));
    for (const auto* action : { "_NET_WM_ACTION_CLOSE", "_NET_WM_ACTION_MINIMIZE",
                                "_NET_WM_ACTION_FULLSCREEN", "_NET_WM_ACTION_RESIZE" })
        EXPECT_FALSE (session.atomNames (window, "_NET_WM_ALLOWED_ACTIONS").contains (action)) << action;

    // The screen's title replaces the one the window starts with.
    EXPECT_EQ (session.title (window), "Updater Program");

    juce::Thread::sleep (300);  // let it paint
    EXPECT_TRUE (
        session.saveScreenshot (window, juce::String ("updater-window-") + GetParam().label).existsAsFile());

    ASSERT_TRUE (program->sendSignal (SIGTERM));
    expectCleanExit (*program, "SIGTERM");
}

INSTANTIATE_TEST_SUITE_P (
    Arguments, WindowWithArguments,
    testing::Values (ArgumentsCase{ "none", {} }, ArgumentsCase{ "help", { "--help" } },
                     ArgumentsCase{ "file_and_process_serial", { "-psn_0_4711", "qvx720__v999.bin" } },
                     ArgumentsCase{ "empty_and_unicode",
                                    { "--", "", juce::String::fromUTF8 (u8"Ünïcødé") } }),
    [] (const auto& info) { return std::string (info.param.label); });

TEST_F (UpdaterProgramTest, TheSizeLimitsOutlastJucesOwnRewriteOfTheHints)
{
    std::unique_ptr<ChildProgram> program;
    const auto window = startAndWaitForWindow (program);
    ASSERT_NE (window, 0u);
    ASSERT_TRUE (waitForSizeLimits (window)) << describeHints (hints);

    // JUCE lets its window buffer go after three seconds without painting and writes the hints
    // again, with position and size alone, when it paints into a new one. A paint of its own in
    // the meantime (a slow start) keeps the buffer: then it is asked again.
    session.watchPropertyChanges (window);
    const auto hintsChanges = [&] { return session.propertyChanges (window, "WM_NORMAL_HINTS"); };

    for (int attempt = 0; attempt < 4 && hintsChanges() == 0; ++attempt)
    {
        juce::Thread::sleep (3500);
        session.expose (window);

        for (int waited = 0; waited < 1000 && hintsChanges() == 0; waited += 10)
            juce::Thread::sleep (10);
    }

    ASSERT_GT (hintsChanges(), 0) << "JUCE no longer rewrites the hints so: find another rewrite";
    EXPECT_TRUE (waitForSizeLimits (window)) << describeHints (hints);

    ASSERT_TRUE (program->sendSignal (SIGTERM));
    expectCleanExit (*program, "SIGTERM");
}

TEST_F (UpdaterProgramTest, ASecondStartEndsAndBringsTheRunningWindowToTheFront)
{
    std::unique_ptr<ChildProgram> first;
    const auto window = startAndWaitForWindow (first);
    ASSERT_NE (window, 0u);
    session.watchActivationRequests();

    // A new window takes the keyboard; only then does the user go to another program.
    ASSERT_TRUE (waitUntilStarted (window)) << "the new window never took the keyboard or showed its screen";

    // Twice: the running copy keeps listening after the first hand-over.
    for (int round = 0; round < 2; ++round)
    {
        const auto other = session.createFocusedWindow();
        ASSERT_TRUE (session.hasFocus (other)) << "round " << round << ": the keyboard is with window "
                                               << session.focusedWindow() << ", the updater's is " << window;

        auto second = qvxtest::startUpdater ({ "--second", juce::String (round) });
        expectCleanExit (*second, "second start");
        EXPECT_TRUE (session.viewableWindowsOf (second->pid()).empty());

        // The hand-over is complete when the second copy ends; the window may take a moment.
        const auto deadline = juce::Time::getMillisecondCounter() + 5000;
        while (!session.hasFocus (window) && juce::Time::getMillisecondCounter() < deadline)
            juce::Thread::sleep (10);

        EXPECT_TRUE (session.hasFocus (window)) << "round " << round;
        EXPECT_TRUE (session.activationWasRequested (window)) << "round " << round;
        EXPECT_EQ (session.viewableWindowsOf (first->pid()).size(), 1u);
        EXPECT_FALSE (first->hasExited());
    }

    ASSERT_TRUE (first->sendSignal (SIGTERM));
    expectCleanExit (*first, "SIGTERM");
}

TEST_F (UpdaterProgramTest, ItsPaintsLeaveTheKeyboardWithAnotherProgram)
{
    std::unique_ptr<ChildProgram> program;
    const auto window = startAndWaitForWindow (program);
    ASSERT_NE (window, 0u);
    ASSERT_TRUE (waitUntilStarted (window)) << "the new window never took the keyboard or showed its screen";

    const auto other = session.createFocusedWindow();
    ASSERT_TRUE (session.hasFocus (other));

    // The pointer crosses the window's buttons, which paint the window again; the keyboard stays
    // where the user put it. Nothing is to happen here, so a short while is the point of the test.
    qvxtest::XTestInput input;
    ASSERT_TRUE (input.isAvailable());
    const auto bounds = session.boundsOnScreen (window);

    for (int i = 0; i < 6; ++i)
    {
        input.moveTo (bounds.getRight() - 70, bounds.getBottom() - 30);  // over OK
        juce::Thread::sleep (150);
        input.moveTo (bounds.getRight() - 180, bounds.getBottom() - 30);  // over Cancel
        juce::Thread::sleep (150);
        session.expose (window);
    }

    EXPECT_TRUE (session.hasFocus (other)) << "the keyboard went to window " << session.focusedWindow();

    ASSERT_TRUE (program->sendSignal (SIGTERM));
    expectCleanExit (*program, "SIGTERM");
}

TEST_F (UpdaterProgramTest, ASecondStartThatCannotReachTheRunningCopyStillEnds)
{
    // The lock is taken, but nobody listens: a copy of another user, or one that hangs.
    qvxtest::InstanceLockHolder lock;
    ASSERT_TRUE (lock.isHeld());

    auto second = qvxtest::startUpdater();
    expectCleanExit (*second, "unreachable running copy");
    EXPECT_TRUE (session.viewableWindowsOf (second->pid()).empty());
}

namespace
{

enum class QuitRequest
{
    sigterm,
    sigint,
    sighup,
    windowManagerClose
};

juce::String describe (QuitRequest request)
{
    switch (request)
    {
        case QuitRequest::sigterm:
            return "SIGTERM";
        case QuitRequest::sigint:
            return "SIGINT";
        case QuitRequest::sighup:
            return "SIGHUP";
        case QuitRequest::windowManagerClose:
            return "window manager close";
    }

    return {};
}

void PrintTo (QuitRequest request, std::ostream* stream)
{
    *stream << describe (request);
}

struct QuitRequests : UpdaterProgramTest, testing::WithParamInterface<QuitRequest>
{
};

}  // namespace

TEST_P (QuitRequests, ThePlatformsQuitEndsTheProgramCleanly)
{
    std::unique_ptr<ChildProgram> program;
    const auto window = startAndWaitForWindow (program);
    ASSERT_NE (window, 0u);

    // Asked again while it has not ended: a window manager's message can come before the window
    // listens, and ThreadSanitizer now and then drops a signal. One request that arrives quits.
    for (int attempt = 0; attempt < 8 && !program->waitForExit (attempt == 0 ? 0 : 2000); ++attempt)
    {
        switch (GetParam())
        {
            case QuitRequest::sigterm:
                ASSERT_TRUE (program->sendSignal (SIGTERM));
                break;
            case QuitRequest::sigint:
                ASSERT_TRUE (program->sendSignal (SIGINT));
                break;
            case QuitRequest::sighup:
                ASSERT_TRUE (program->sendSignal (SIGHUP));
                break;
            case QuitRequest::windowManagerClose:
                session.requestClose (window);
                break;
        }
    }

    expectCleanExit (*program, describe (GetParam()));
    EXPECT_TRUE (session.viewableWindowsOf (program->pid()).empty());
}

INSTANTIATE_TEST_SUITE_P (Requests, QuitRequests,
                          testing::Values (QuitRequest::sigterm, QuitRequest::sigint, QuitRequest::sighup,
                                           QuitRequest::windowManagerClose),
                          [] (const auto& info)
                          { return describe (info.param).replace (" ", "_").toStdString(); });

namespace
{

struct NoDisplayCase
{
    const char* label;
    /** The display the program tries; "" when DISPLAY is unset. */
    const char* display;
};

void PrintTo (const NoDisplayCase& c, std::ostream* stream)
{
    *stream << c.label;
}

struct WithoutDisplay : testing::TestWithParam<NoDisplayCase>
{
};

}  // namespace

TEST_P (WithoutDisplay, SaysWhichDisplayItCannotOpenAndEndsWithStatusOne)
{
    const auto& c = GetParam();
    const juce::String program (QVX_PROGRAM);
    std::unique_ptr<ChildProgram> child;
    juce::String tried (c.display);

    if (tried.isNotEmpty())
    {
        ASSERT_FALSE (qvxtest::canOpenDisplay (c.display)) << c.display << " exists here";
        child =
            std::make_unique<ChildProgram> ("/usr/bin/env", juce::StringArray{ "DISPLAY=" + tried, program });
    }
    else if (::geteuid() == 0)
    {
        // JUCE then opens ":0.0". A network and mount namespace of its own, with the socket
        // folder emptied, make sure that no X server answers there, whatever runs on this machine.
        tried = ":0.0";
        child = std::make_unique<ChildProgram> (
            "/usr/bin/unshare",
            juce::StringArray{ "-n", "-m", "--", "/bin/sh", "-c",
                               "[ ! -d /tmp/.X11-unix ] || mount -t tmpfs tmpfs /tmp/.X11-unix || exit 99; "
                               "exec /usr/bin/env -u DISPLAY \"$0\"",
                               program });
    }
    else
    {
        tried = ":0.0";
        if (qvxtest::canOpenDisplay (":0.0"))
            GTEST_SKIP() << "an X server answers on :0.0 and, without root, the test cannot hide it";

        child =
            std::make_unique<ChildProgram> ("/usr/bin/env", juce::StringArray{ "-u", "DISPLAY", program });
    }

    ASSERT_TRUE (child->isStarted());
    const auto status = child->waitForExit (quitTimeoutMs);
    ASSERT_TRUE (status.has_value()) << "still running";

    const auto error = child->standardError();
    EXPECT_TRUE (WIFEXITED (*status) && WEXITSTATUS (*status) == 1)
        << ChildProgram::describeStatus (*status) << "\n"
        << error;

    // One line, naming the display and what the program needs.
    const auto line = error.trimEnd();
    EXPECT_FALSE (line.containsChar ('\n')) << error;
    EXPECT_TRUE (line.contains ("\"" + tried + "\"")) << error;
    EXPECT_TRUE (line.contains ("graphical session")) << error;
    EXPECT_FALSE (ChildProgram::holdsSanitizerReport (error)) << error;
}

INSTANTIATE_TEST_SUITE_P (Displays, WithoutDisplay,
                          testing::Values (NoDisplayCase{ "unset", "" },
                                           NoDisplayCase{ "unreachable", ":4242" }),
                          [] (const auto& info) { return std::string (info.param.label); });
