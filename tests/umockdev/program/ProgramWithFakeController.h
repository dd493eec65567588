#pragma once

// Tests of the built updater as a user runs it, against a QVX-720 faked with umockdev.
//
// The tests of tests/umockdev/program/ make one executable (qvx_umockdev_program_tests) whose main
// (ProgramTestMain.cpp) runs it under umockdev's preload library, in private mount and network
// namespaces, on an Xvfb display of its own; ctest runs its tests one at a time. The program that
// a test starts inherits all of that: it finds the fake controller through real libudev, opens its
// /dev node and exchanges its reports through the Linux backend as with the hardware.

#include "support/ChildProgram.h"
#include "support/TemporaryFolder.h"
#include "support/UpdateFileBuilder.h"
#include "support/umockdev/FakeController.h"
#include "support/umockdev/UmockdevTestbed.h"
#include "window/UpdaterProgram.h"
#include "window/XSession.h"
#include "window/XTestInput.h"
#include "window/XTestKeyboard.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace qvxtest
{

/** A fixture with the fake controller not yet plugged in and no program started. A test sets up
    `controller.model`, plugs the controller in, starts the program with an update file beside
    it, types Return into its window through XTest and looks at what reached the controller and
    which screen the window shows:

        TEST_F (ProgramWithFakeController, SomeCase)
        {
            controller.model.addFault (...);
            ASSERT_TRUE (controller.plug());
            start (installWith (UpdateFileBuilder().distinctImagePatterns()));

            // OK on the language screen: the program asks for the controller's mode.
            ASSERT_TRUE (typeReturnUntil ([&] { return received (0x00); }, stepTimeoutMs));
            ...
            ASSERT_TRUE (showsScreen (0x0E37));
            ASSERT_TRUE (typeReturnUntil ([&] { return program->hasExited(); }, stepTimeoutMs));
            expectCleanExit();
        }

    The button that Return clicks is the one that has the focus: OK on the language, version and
    completion screens, Close on the error screens. On failure the program's standard error is
    printed. Message thread of the test. */
class ProgramWithFakeController : public testing::Test
{
protected:
    /** An exchange waits 10 s for its answer; a step of the program is given more than that. */
    static constexpr int stepTimeoutMs = 30000;

    void SetUp() override;
    void TearDown() override;

    /** The built program with this update file beside it, in a folder of the test's own (the
        program takes the file from its own folder). Returns the program's file there. */
    juce::File installWith (const UpdateFileBuilder& file);

    /** Lets the controller fail the program's writes (Fault::Kind::failWritesAfterAnswer,
        refuseWritesAfterAnswer): the program started from now on runs with the tests' preload
        library that fails them, armed by the controller through a file in the test's folder.
        Call it before start(). */
    void letControllerFailWrites();

    /** Starts the program and waits for its window (into `window`). */
    void start (const juce::File& programFile);

    /** Plugs the controller in, starts the program with this update file and types Return until
        the transfer has begun: OK, then Start. Use it in ASSERT_NO_FATAL_FAILURE. */
    void startTransferWith (const UpdateFileBuilder& file);

    /** Types Return into the program's window until the condition holds; false on the time-out or
        when the program has ended. The first key may come before the window's focus is in place,
        so it types again every 2 s: use it only for a button whose further presses change
        nothing (OK while the program is busy, Start once started, OK or Close to quit). */
    bool typeReturnUntil (const std::function<bool()>& condition, int timeoutMs);

    /** Waits until the keyboard is in the program's window, which a new window takes by itself;
        gives it as a window manager would when it does not come. Then the hand rests a second,
        as a user's does, before it types. */
    void waitForKeyboard();

    /** One press of Return, held as a quick typist holds it. Returns the time of the release,
        which is what clicks (juce::Time::getMillisecondCounterHiRes). */
    double pressReturn();

    /** A mouse click on the point of the window, the hand resting on it a moment first. Returns
        the time of the release, which is what clicks. */
    double clickInWindow (juce::Point<int> point);

    /** Whether a report with this command has reached the controller. */
    bool received (uint8_t command) const;

    /** The command bytes of the reports that reached the controller, for messages. */
    juce::String commandsReceived() const;

    /** Waits until the window shows the screen of this state value (a step such as 7, complete,
        or an error identifier such as 0x0E37). On the time-out, the seen and the expected screen
        are saved as test artefacts. */
    bool showsScreen (int32_t state, int timeoutMs = stepTimeoutMs);

    /** The same for the version screen with these system versions of the controller and of the
        file, such as "1.00" and "1.02". */
    bool showsVersionScreen (const juce::String& controllerVersion, const juce::String& fileVersion,
                             int timeoutMs = stepTimeoutMs);

    /** Expects the program to have ended, or to end within stepTimeoutMs, with exit status 0 and
        no sanitizer report. */
    void expectCleanExit();

    /** The test's name, for the files of its artefacts. */
    static juce::String artefactName();

    /** The first bytes of a report, in hexadecimal, for messages. */
    static juce::String describe (const std::vector<uint8_t>& report);

    /** A QVX-720 on port 3 of bus 1, release 1.00, node /dev/hidraw0. */
    static UsbHidDevice controllerPort();

    UpdaterRunGuard guard;
    XSession session;
    XTestKeyboard keyboard;
    XTestInput input;
    UmockdevTestbed testbed;
    FakeController controller{ testbed, controllerPort() };
    TemporaryFolder folder;
    std::unique_ptr<ChildProgram> program;
    XSession::WindowId window = 0;

private:
    bool m_writesCanFail = false;
};

}  // namespace qvxtest
