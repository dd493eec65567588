// The built program, as a user runs it, against a QVX-720 faked with umockdev: real libudev,
// a real /dev node, real X key presses on its window under the test's Xvfb.
#include "support/ChildProgram.h"
#include "support/TemporaryFolder.h"
#include "support/UpdateFileBuilder.h"
#include "support/umockdev/FakeController.h"
#include "support/umockdev/UmockdevTestbed.h"
#include "window/ProgramScreen.h"
#include "window/UpdaterProgram.h"
#include "window/XSession.h"
#include "window/XTestKeyboard.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

using qvxtest::ChildProgram;
using qvxtest::ControllerModel;
using qvxtest::FakeController;
using qvxtest::XSession;

namespace
{

// The controller's side of the protocol, from its own values.
constexpr uint8_t cmdCheckMode = 0x00;
constexpr uint8_t cmdData = 0x03;
constexpr uint8_t cmdComplete = 0x06;
constexpr uint8_t cmdStart = 0x08;

// The screens, by their state values.
constexpr int32_t completeScreen = 7;
constexpr int32_t removedScreen = 0x0E37;

// An exchange waits 10 s for its answer; a step of the program is given more than that. A whole
// update is about 32,000 exchanges, each through the pty, the sanitizer and a loaded machine.
constexpr int stepTimeoutMs = 30000;
constexpr int wholeUpdateTimeoutMs = 540000;

qvxtest::UsbHidDevice controllerPort()
{
    qvxtest::UsbHidDevice device;
    device.hostController = "/devices/pci0000:00/0000:00:14.0";
    device.busNumber = 1;
    device.ports = "3";
    device.idVendor = "5e21";
    device.idProduct = "0026";
    device.bcdDevice = "0100";
    device.hidInstance = 1;
    device.hidrawNumber = 0;
    return device;
}

juce::String describe (const std::vector<uint8_t>& written)
{
    juce::String text;
    for (size_t i = 0; i < written.size() && i < 12; ++i)
        text << juce::String::toHexString (written[i]).paddedLeft ('0', 2) << " ";
    return text;
}

struct ProgramWithFakeController : testing::Test
{
    void SetUp() override
    {
        ASSERT_TRUE (guard.problem().isEmpty()) << guard.problem();
        ASSERT_TRUE (session.isOpen());
        ASSERT_TRUE (keyboard.isConnected()) << "no XTest on the display";
    }

    void TearDown() override
    {
        if (program != nullptr && HasFailure())
            std::cerr << "The program's standard error:\n" << program->standardError() << "\n";
    }

    /** The program with this update file beside it, in a folder of the test's own: the program
        takes the file from its own folder. */
    juce::File install (const qvxtest::UpdateFileBuilder& file)
    {
        const juce::File built (QVX_PROGRAM);
        const auto copy = folder.getChildFile (built.getFileName());

        if (::link (built.getFullPathName().toRawUTF8(), copy.getFullPathName().toRawUTF8()) != 0)
        {
            EXPECT_TRUE (built.copyFileTo (copy));
            EXPECT_TRUE (copy.setExecutePermission (true));
        }

        file.writeTo (folder.get());
        return copy;
    }

    /** Starts the program and gives its window the focus. */
    void start (const juce::File& programFile)
    {
        program = std::make_unique<ChildProgram> (programFile.getFullPathName(), juce::StringArray());
        ASSERT_TRUE (program->isStarted());

        const auto windows = qvxtest::waitForWindows (session, *program);
        ASSERT_EQ (windows.size(), 1u) << program->standardError();
        window = windows.front();
    }

    /** Types Return into the program's window until the condition holds. The window may take the
        first key before its focus is in place, and a press that finds the program busy does
        nothing: each press is of a button whose second press changes nothing. */
    bool typeReturnUntil (const std::function<bool()>& condition, int timeoutMs)
    {
        const auto deadline = juce::Time::getMillisecondCounterHiRes() + timeoutMs;

        while (juce::Time::getMillisecondCounterHiRes() < deadline && !program->hasExited())
        {
            keyboard.focus (window);
            keyboard.typeReturn();

            if (controller.waitUntil (condition, 2000))
                return true;
        }

        return condition();
    }

    bool received (uint8_t command) const
    {
        for (const auto& report : controller.outputReports())
            if (report.size() > 2 && report[2] == command)
                return true;
        return false;
    }

    /** Expects the program to end with exit status 0 and no sanitizer report. */
    void expectCleanExit()
    {
        ASSERT_TRUE (typeReturnUntil ([&] { return program->hasExited(); }, stepTimeoutMs))
            << "the program did not quit";
        const auto status = program->waitForExit (0);
        ASSERT_TRUE (status.has_value());
        EXPECT_TRUE (WIFEXITED (*status) && WEXITSTATUS (*status) == 0)
            << ChildProgram::describeStatus (*status);
        EXPECT_FALSE (ChildProgram::holdsSanitizerReport (program->standardError()));
    }

    qvxtest::UpdaterRunGuard guard;
    XSession session;
    qvxtest::XTestKeyboard keyboard;
    qvxtest::UmockdevTestbed testbed;
    FakeController controller{ testbed, controllerPort() };
    qvxtest::TemporaryFolder folder;
    std::unique_ptr<ChildProgram> program;
    XSession::WindowId window = 0;
};

}  // namespace

TEST_F (ProgramWithFakeController, AWholeUpdateWritesTheImagesAndEndsOnTheCompletionScreen)
{
    // The controller's firmware differs from the file's, so all three images go.
    controller.model.setFirmwareVersion ({ 0x20, 0x19, 0x01, 0x01 });
    controller.model.setSystemVersion ({ '1', '.', '0', '0' });
    controller.model.setBusyPolls (1);
    qvxtest::UpdateFileBuilder file;
    file.firmwareVersion ({ 0x20, 0x19, 0x05, 0x31 }).systemVersion ("1.02").distinctImagePatterns();
    const auto contents = file.build();

    ASSERT_TRUE (controller.plug());
    start (install (file));

    ASSERT_TRUE (typeReturnUntil ([&] { return received (cmdCheckMode); }, stepTimeoutMs))
        << "OK on the language screen asked the controller nothing";
    ASSERT_TRUE (typeReturnUntil ([&] { return received (cmdStart); }, stepTimeoutMs))
        << "Start did not start the transfer";

    const auto completed = [&]
    {
        const auto last = controller.lastOutputReport();
        return last.size() > 2 && last[2] == cmdComplete;
    };
    ASSERT_TRUE (controller.waitUntil (completed, wholeUpdateTimeoutMs))
        << controller.outputReportCount() << " reports, the last "
        << describe (controller.lastOutputReport());

    ASSERT_TRUE (qvxtest::ProgramScreen (completeScreen)
                     .waitUntilShown (session, window, stepTimeoutMs, "update-complete"))
        << "not the completion screen";

    expectCleanExit();

    // The three images where the protocol puts them, nothing anywhere else: the 8 KiB after the
    // second image and everything after the third are never sent.
    const auto memory = controller.model.memory();
    const auto* bytes = static_cast<const uint8_t*> (contents.getData());
    struct Range
    {
        size_t from, to;
        bool sent;
    };
    const Range ranges[] = { { 0x000000, 0x090000, true },
                             { 0x090000, 0x1CE000, true },
                             { 0x1CE000, 0x1D0000, false },
                             { 0x1D0000, 0x1E0000, true },
                             { 0x1E0000, 0x200000, false } };

    ASSERT_EQ (memory.size(), 0x200000u);
    for (const auto& range : ranges)
    {
        size_t wrong = 0, first = range.to;
        for (size_t i = range.from; i < range.to; ++i)
        {
            const auto expected = range.sent ? bytes[i] : ControllerModel::untouched;
            if (memory[i] != expected)
            {
                ++wrong;
                first = std::min (first, i);
            }
        }
        EXPECT_EQ (wrong, 0u) << "in 0x" << std::hex << range.from << " to 0x" << range.to
                              << ", the first at 0x" << first;
    }
}

TEST_F (ProgramWithFakeController, ARemovalInTheMiddleOfABlockEndsOnItsErrorWithNothingSentAfterIt)
{
    // The controller leaves instead of answering a data report in the middle of the first block.
    controller.model.addFault ({ cmdData, 1000, 1 }, { ControllerModel::Fault::Kind::removal });
    qvxtest::UpdateFileBuilder file;
    file.firmwareVersion ({ 0x20, 0x19, 0x05, 0x31 }).systemVersion ("1.02").distinctImagePatterns();

    ASSERT_TRUE (controller.plug());
    start (install (file));

    ASSERT_TRUE (typeReturnUntil ([&] { return received (cmdCheckMode); }, stepTimeoutMs));
    ASSERT_TRUE (typeReturnUntil ([&] { return received (cmdStart); }, stepTimeoutMs));
    ASSERT_TRUE (controller.waitUntil ([&] { return !controller.isPlugged(); }, wholeUpdateTimeoutMs))
        << controller.outputReportCount() << " reports, the last "
        << describe (controller.lastOutputReport());

    const auto reports = controller.outputReports();
    ASSERT_FALSE (reports.empty());
    EXPECT_EQ (reports.back()[2], cmdData) << describe (reports.back());

    ASSERT_TRUE (qvxtest::ProgramScreen (removedScreen)
                     .waitUntilShown (session, window, stepTimeoutMs, "update-removed"))
        << "not the removal's error screen";

    // Close (Return on the error screen) offers no abort report to a removed controller.
    expectCleanExit();
    EXPECT_EQ (controller.bytesWrittenAfterUnplug(), 0u);
    EXPECT_EQ (controller.outputReports().size(), reports.size());

    // The block was never summed, so nothing was written.
    const auto memory = controller.model.memory();
    EXPECT_EQ (std::count (memory.begin(), memory.end(), ControllerModel::untouched),
               static_cast<std::ptrdiff_t> (memory.size()));
}
