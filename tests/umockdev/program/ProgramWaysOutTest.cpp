// The ways out of the built program once it has offered the controller the abort report: Close
// after a controller arrived late, and Close while the transfer's first exchange waits for a slow
// controller. Real program, real X key presses and clicks through XTest, the controller faked
// with umockdev; one fresh program per start.
#include "support/ProgramProtocol.h"
#include "umockdev/program/ProgramWithFakeController.h"
#include "window/ProgramScreen.h"

#include <algorithm>
#include <csignal>
#include <dirent.h>
#include <functional>
#include <iostream>
#include <optional>
#include <stdlib.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using qvxtest::ChildProgram;
using qvxtest::ControllerModel;
using qvxtest::ProgramScreen;
using qvxtest::ProgramWithFakeController;

namespace
{

using namespace qvxtest::program;

// The program waits 10 s for the abort's answer before it quits anyway; a start that has not
// ended well after that hangs.
constexpr int quitTimeoutMs = 30000;

/** The abort report as it reaches the node: report number 0, then F0 09 and 62 zeros. */
std::vector<uint8_t> abortReportAsWritten()
{
    std::vector<uint8_t> report (65, 0);
    report[1] = 0xF0;
    report[2] = 0x09;
    return report;
}

double now()
{
    return juce::Time::getMillisecondCounterHiRes();
}

struct ProgramWaysOut : ProgramWithFakeController
{
    /** Whether the program has the controller's node open (its pty's other end). The program
        opens it as it takes the controller, in the same step that marks the controller
        connected, so a key handled afterwards finds it connected. */
    bool programHoldsTheNode()
    {
        char node[64] = {};
        const int master = testbed.nodeMaster (controller.device().node());
        if (master < 0 || ::ptsname_r (master, node, sizeof (node)) != 0)
            return false;

        const auto folder = "/proc/" + std::to_string (program->pid()) + "/fd";
        bool holds = false;

        if (auto* fds = ::opendir (folder.c_str()))
        {
            while (auto* entry = ::readdir (fds))
            {
                char target[256];
                const auto length =
                    ::readlink ((folder + "/" + entry->d_name).c_str(), target, sizeof (target));
                holds = holds || (length > 0 && std::string (target, static_cast<size_t> (length)) == node);
            }
            ::closedir (fds);
        }

        return holds;
    }

    /** Samples the window every few milliseconds until the condition holds, at most timeoutMs;
        false on the time-out. Counts in errorScreens the samples that showed an error screen
        (whichever: they all draw the warning icon); the first is saved as <name>.png. */
    bool watchUntil (const std::function<bool()>& condition, int timeoutMs, const juce::String& name)
    {
        const auto deadline = now() + timeoutMs;

        for (;;)
        {
            if (condition())
                return true;

            if (now() > deadline)
                return false;

            if (ProgramScreen::showsWarningIcon (session.capture (window)) && errorScreens++ == 0)
                session.saveScreenshot (window, name);

            juce::Thread::sleep (10);
        }
    }

    /** What the program ended with, or why the start counts as failed ("" when it ended
        cleanly). A program that still runs is killed. */
    juce::String describeEnd()
    {
        if (!program->hasExited())
        {
            program->sendSignal (SIGKILL);
            program->waitForExit (10000);
            return "still running " + juce::String (quitTimeoutMs) +
                   " ms after Close (killed); stderr: " + program->standardError();
        }

        const auto status = program->waitForExit (0);
        if (!(WIFEXITED (*status) && WEXITSTATUS (*status) == 0))
            return "ended with " + ChildProgram::describeStatus (*status) +
                   "; stderr: " + program->standardError();

        if (ChildProgram::holdsSanitizerReport (program->standardError()))
            return "sanitizer report: " + program->standardError();

        return {};
    }

    /** Where Close stands while Start is shown: the left button place, (w - 230, h - 40, 100, 20)
        in the 406 x 154 window. */
    static juce::Point<int> closeBesideStart() { return { 406 - 180, 154 - 30 }; }

    int errorScreens = 0;
};

juce::String summary (std::vector<double> values)
{
    if (values.empty())
        return "none";

    std::sort (values.begin(), values.end());
    return "min " + juce::String (juce::roundToInt (values.front())) + ", median " +
           juce::String (juce::roundToInt (values[values.size() / 2])) + ", max " +
           juce::String (juce::roundToInt (values.back())) + " ms";
}

}  // namespace

// No controller when OK is pressed, so the not-connected screen; then the controller is plugged
// in and Close is pressed: the program offers it the abort report, which it answers at once, and
// ends. How long that takes is measured, not asserted: the figures are printed.
TEST_F (ProgramWaysOut, CloseAfterAControllerArrivedLateEndsTheProgramInEveryStart)
{
    constexpr int starts = 20;
    qvxtest::UpdateFileBuilder file;
    file.firmwareVersion ({ 0x20, 0x19, 0x05, 0x31 }).systemVersion ("1.02").distinctImagePatterns();
    const auto programFile = installWith (file);

    int ended = 0;
    juce::StringArray failures;
    std::vector<double> releaseToEnd;

    for (int i = 0; i < starts; ++i)
    {
        const auto failed = [&] (const juce::String& problem)
        { failures.add ("start " + juce::String (i) + ": " + problem); };

        if (controller.isPlugged())
            controller.unplug();

        start (programFile);
        if (HasFatalFailure())
            return;

        waitForKeyboard();
        pressReturn();

        if (!showsScreen (notConnectedScreen))
        {
            failed ("OK did not lead to the not-connected screen (screenshots in test-artefacts/screens)");
            program->sendSignal (SIGKILL);
            program->waitForExit (10000);
            continue;
        }

        const auto shownAt = now();
        const auto reportsBefore = controller.outputReportCount();
        ASSERT_TRUE (controller.plug());

        if (!controller.waitUntil ([&] { return programHoldsTheNode() || program->hasExited(); },
                                   stepTimeoutMs) ||
            program->hasExited())
        {
            failed ("the program did not take the controller that arrived; " + describeEnd());
            continue;
        }

        // The user has read the screen: a press in the first moments after the screen changed,
        // where OK stood, is not taken.
        const auto untilRead = shownAt + 1000 - now();
        if (untilRead > 0)
            juce::Thread::sleep (juce::roundToInt (untilRead));

        const auto released = pressReturn();
        const auto endedAt = program->waitForExit (quitTimeoutMs) ? now() : 0.0;

        const auto problem = describeEnd();
        const auto reports = controller.outputReports();
        const auto sentSinceClose = reports.size() - std::min (reports.size(), reportsBefore);

        if (problem.isNotEmpty())
        {
            failed (problem);
            continue;
        }

        releaseToEnd.push_back (endedAt - released);

        if (sentSinceClose != 1 || reports.back() != abortReportAsWritten())
            failed ("expected the abort report alone after Close; the controller received " +
                    juce::String ((int)sentSinceClose) + " reports since, the last " +
                    describe (reports.empty() ? std::vector<uint8_t>() : reports.back()));
        else
            ++ended;
    }

    std::cout << "Close after a late arrival, Return's release to the program's end (" << releaseToEnd.size()
              << " starts): " << summary (releaseToEnd) << std::endl;
    EXPECT_EQ (ended, starts) << failures.joinIntoString ("\n");
}

// While the transfer runs its screen hides both buttons; Close can be pressed only until that
// screen comes: on the Start screen, where the worker already sends the transfer's first report
// and waits for its answer. A slow controller keeps that moment open: it answers that report 5 s
// late. Close then stops the worker and offers the abort report; the worker's late answer comes
// in between and must not end the wait; the controller answers the abort 1 s later, by the
// test's hand, and only then does the program end. No error screen on the way.
TEST_F (ProgramWaysOut, CloseWhileTheTransferStartsEndsWithoutAnErrorScreenAndOneAbortReport)
{
    constexpr int startAnswerDelayMs = 5000;
    controller.model.addFault ({ cmdStart, 0, 1 },
                               { ControllerModel::Fault::Kind::delay, 0, startAnswerDelayMs });
    controller.model.addFault ({ cmdCancel, 0, 1 }, { ControllerModel::Fault::Kind::silence });
    qvxtest::UpdateFileBuilder file;
    file.firmwareVersion ({ 0x20, 0x19, 0x05, 0x31 }).systemVersion ("1.02").distinctImagePatterns();

    ASSERT_TRUE (controller.plug());
    start (installWith (file));

    // OK, then Start (both the button with the focus).
    ASSERT_TRUE (typeReturnUntil ([&] { return received (cmdCheckMode); }, stepTimeoutMs));
    ASSERT_TRUE (typeReturnUntil ([&] { return received (cmdStart); }, stepTimeoutMs))
        << "Start did not start the transfer: " << commandsReceived();

    // Close with the mouse: Return would press Start, which has the focus.
    const auto released = clickInWindow (closeBesideStart());

    // The controller reads the abort report once it has given the late answer.
    ASSERT_TRUE (watchUntil ([&] { return received (cmdCancel) || program->hasExited(); }, stepTimeoutMs,
                             "transfer-start-close"))
        << "no abort report; was Close still shown? The controller received: " << commandsReceived();
    ASSERT_TRUE (received (cmdCancel))
        << "the program ended without offering the abort report: " << describeEnd();
    const auto abortReceived = now();

    // The wait is for the abort's own answer: the worker's late one, taken meanwhile, ends
    // nothing. Nothing is to happen here, so a short while is the point.
    EXPECT_FALSE (watchUntil ([&] { return program->hasExited(); }, 1000, "transfer-start-wait"))
        << "the program ended before the abort was answered: " << describeEnd();

    std::vector<uint8_t> answer (64, 0);
    answer[0] = 0xF0;
    answer[1] = 0x80;
    ASSERT_TRUE (controller.sendInputReport (answer));
    const auto answered = now();

    EXPECT_TRUE (watchUntil ([&] { return program->hasExited(); }, quitTimeoutMs, "transfer-start-end"))
        << "not ended after the abort's answer";
    const auto ended = now();
    const auto problem = describeEnd();
    EXPECT_TRUE (problem.isEmpty()) << problem;

    EXPECT_EQ (errorScreens, 0) << "an error screen was shown (test-artefacts/transfer-start-*.png)";

    // Exactly one abort report, the last report of all: the worker sent nothing after its
    // transfer's first report.
    EXPECT_EQ (commandsReceived(), "00 01 08 09");
    EXPECT_EQ (controller.lastOutputReport(), abortReportAsWritten());

    std::cout << "Close during the transfer's start: the click's release to the abort at the controller "
              << juce::String (juce::roundToInt (abortReceived - released))
              << " ms (the controller answered the start " << startAnswerDelayMs
              << " ms late), the abort's answer to the program's end "
              << juce::String (juce::roundToInt (ended - answered)) << " ms" << std::endl;
}
