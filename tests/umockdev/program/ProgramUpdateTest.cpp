// The built program, as a user runs it, against a QVX-720 faked with umockdev: real libudev,
// a real /dev node, real X key presses on its window under the test's Xvfb.
#include "support/ProgramProtocol.h"
#include "umockdev/program/ProgramWithFakeController.h"

#include <algorithm>
#include <ostream>

using qvxtest::ControllerModel;
using qvxtest::ProgramWithFakeController;

namespace
{

using namespace qvxtest::program;

// A whole update is about 32,000 exchanges, each through the pty, the sanitizer and a loaded
// machine.
constexpr int wholeUpdateTimeoutMs = 540000;

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

    ASSERT_NO_FATAL_FAILURE (startTransferWith (file));

    const auto completed = [&]
    {
        const auto last = controller.lastOutputReport();
        return last.size() > 2 && last[2] == cmdComplete;
    };
    ASSERT_TRUE (controller.waitUntil (completed, wholeUpdateTimeoutMs))
        << controller.outputReportCount() << " reports, the last "
        << describe (controller.lastOutputReport());

    ASSERT_TRUE (showsScreen (completeScreen)) << "not the completion screen";

    // OK quits.
    ASSERT_TRUE (typeReturnUntil ([&] { return program->hasExited(); }, stepTimeoutMs));
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
    const Range ranges[] = { { mainImageStart, subImageStart, true },
                             { subImageStart, unsentGapStart, true },
                             { unsentGapStart, systemImageStart, false },
                             { systemImageStart, unsentTailStart, true },
                             { unsentTailStart, fileSize, false } };

    ASSERT_EQ (memory.size(), fileSize);
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

    ASSERT_NO_FATAL_FAILURE (startTransferWith (file));
    ASSERT_TRUE (controller.waitUntil ([&] { return !controller.isPlugged(); }, wholeUpdateTimeoutMs))
        << controller.outputReportCount() << " reports, the last "
        << describe (controller.lastOutputReport());

    // The data report that the controller left on was the last report sent.
    const auto reports = controller.outputReports();
    ASSERT_EQ (reports.size(), 1001u);
    EXPECT_EQ (reports.back()[2], cmdData) << describe (reports.back());

    ASSERT_TRUE (showsScreen (removedScreen)) << "not the removal's error screen";

    // Close (Return on the error screen) offers no abort report to a removed controller.
    ASSERT_TRUE (typeReturnUntil ([&] { return program->hasExited(); }, stepTimeoutMs));
    expectCleanExit();
    EXPECT_EQ (controller.bytesWrittenAfterUnplug(), 0u);
    EXPECT_EQ (controller.outputReports().size(), reports.size());

    // The block was never summed, so nothing was written.
    const auto memory = controller.model.memory();
    EXPECT_EQ (std::count (memory.begin(), memory.end(), ControllerModel::untouched),
               static_cast<std::ptrdiff_t> (memory.size()));
}

namespace
{

using Kind = ControllerModel::Fault::Kind;

struct UnplugMoment
{
    const char* name;
    /** The request at whose answer (or instead of it) the node hangs up: the `nth` of its
        command, counting from 0. */
    uint8_t command;
    int nth;
    Kind fault;
    int busyPolls = 0;
    /** Of a write that fails: how much later the node hangs up. */
    int hangUpAfterMs = 0;
};

void PrintTo (const UnplugMoment& m, std::ostream* os)
{
    *os << m.name;
}

struct ProgramUnplugged : ProgramWithFakeController, testing::WithParamInterface<UnplugMoment>
{
};

}  // namespace

// The node hangs up as a hidraw node does when its controller is pulled out: whichever the
// program meets first, its failed write or the hang-up, the removal's error is on the screen. A
// write may also fail a while before the hang-up, as the USB stack fails it during the pull.
TEST_P (ProgramUnplugged, ShowsTheRemovalsErrorWithNothingSentAfter)
{
    const auto& moment = GetParam();
    controller.model.setBusyPolls (moment.busyPolls);
    controller.model.addFault ({ moment.command, 0, 1, moment.nth },
                               { moment.fault, 0, moment.hangUpAfterMs });
    letControllerFailWrites();
    qvxtest::UpdateFileBuilder file;
    file.firmwareVersion ({ 0x20, 0x19, 0x05, 0x31 }).systemVersion ("1.02").distinctImagePatterns();

    ASSERT_NO_FATAL_FAILURE (startTransferWith (file));
    ASSERT_TRUE (controller.waitUntil ([&] { return controller.hasHungUp(); }, wholeUpdateTimeoutMs))
        << controller.outputReportCount() << " reports, the last "
        << describe (controller.lastOutputReport());
    ASSERT_TRUE (showsScreen (removedScreen)) << "not the removal's error screen";

    const auto reports = controller.outputReports();
    const auto ofCommand =
        std::count_if (reports.begin(), reports.end(),
                       [&] (const auto& r) { return r.size() > 2 && r[2] == moment.command; });
    EXPECT_EQ (ofCommand, moment.nth + 1);
    EXPECT_EQ (reports.back()[2], moment.command) << describe (reports.back());
    EXPECT_FALSE (received (cmdComplete));

    // Close offers no abort report to a removed controller.
    ASSERT_TRUE (typeReturnUntil ([&] { return program->hasExited(); }, stepTimeoutMs));
    expectCleanExit();
    EXPECT_EQ (controller.outputReports().size(), reports.size());
}

INSTANTIATE_TEST_SUITE_P (
    Moments, ProgramUnplugged,
    testing::Values (
        UnplugMoment{ "WhileItWaitsForAnAnswer", cmdData, 96, Kind::hangUp },
        UnplugMoment{ "RightAfterAnAnswer", cmdData, 96, Kind::hangUpAfterAnswer },
        // The next poll waits 100 ms: the hang-up is seen before its write.
        UnplugMoment{ "TheHangUpSeenBeforeTheWrite", cmdGetStatus, 0, Kind::hangUpAfterAnswer, 1 },
        // The last of the 16 blocks is written: the completion report is next.
        UnplugMoment{ "RightBeforeTheCompletionReport", cmdGetStatus, 15, Kind::hangUpAfterAnswer },
        // The next write fails with EPROTO; the node hangs up 50 ms later.
        UnplugMoment{ "AWriteFailsBeforeTheHangUp", cmdData, 96, Kind::failWritesAfterAnswer, 0, 50 },
        UnplugMoment{ "TheCompletionReportFailsBeforeTheHangUp", cmdGetStatus, 15,
                      Kind::failWritesAfterAnswer, 0, 50 }),
    [] (const testing::TestParamInfo<UnplugMoment>& info) { return std::string (info.param.name); });
