// Whole updates through the real engine, controller link and message loop, against the
// simulated controller.
#include "support/EngineHarness.h"
#include "support/MessageLoop.h"
#include "support/UpdateStateProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

using namespace qvxtest;

namespace
{

struct Range
{
    int64_t begin, end;
};

struct BlockSeen
{
    uint8_t target;
    uint32_t address, length;
    int dataReports;
    int lastPieceCount;
};

uint32_t field32 (const ReportBytes& report, int offset)
{
    return static_cast<uint32_t> (report[offset]) | (static_cast<uint32_t> (report[offset + 1]) << 8) |
           (static_cast<uint32_t> (report[offset + 2]) << 16) |
           (static_cast<uint32_t> (report[offset + 3]) << 24);
}

/** The blocks as the controller saw them, with their data reports counted. */
std::vector<BlockSeen> blocksSeen (const std::vector<ReportBytes>& reports)
{
    std::vector<BlockSeen> blocks;

    for (const auto& report : reports)
    {
        switch (report[Report::command])
        {
            case CMD_BLOCK:
                blocks.push_back ({ report[0], field32 (report, Report::address),
                                    field32 (report, Report::length), 0, -1 });
                break;
            case CMD_DATA:
                if (!blocks.empty())
                    ++blocks.back().dataReports;
                break;
            case CMD_DATA_SIZE:
                if (!blocks.empty())
                    blocks.back().lastPieceCount = report[Report::dataCount];
                break;
            default:
                break;
        }
    }

    return blocks;
}

std::vector<BlockSeen> expectedBlocks (uint8_t target, uint32_t address, uint32_t size)
{
    std::vector<BlockSeen> blocks;

    for (uint32_t offset = 0; offset < size; offset += 0x20000)
    {
        const auto length = std::min<uint32_t> (size - offset, 0x20000);
        const auto reports = static_cast<int> ((length + 61) / 62);
        blocks.push_back ({ target, address + offset, length, reports,
                            static_cast<int> (length - 62u * static_cast<uint32_t> (reports - 1)) });
    }

    return blocks;
}

void expectMemoryHolds (const std::vector<uint8_t>& memory, const juce::MemoryBlock& file,
                        std::vector<Range> sent)
{
    const auto* bytes = static_cast<const uint8_t*> (file.getData());
    int64_t wrong = 0, firstWrong = -1;

    for (int64_t address = 0; address < static_cast<int64_t> (memory.size()); ++address)
    {
        const auto inSent = std::any_of (sent.begin(), sent.end(),
                                         [&] (Range r) { return address >= r.begin && address < r.end; });
        const auto expected = inSent ? bytes[address] : ControllerModel::untouched;

        if (memory[static_cast<size_t> (address)] != expected)
        {
            if (firstWrong < 0)
                firstWrong = address;
            ++wrong;
        }
    }

    EXPECT_EQ (wrong, 0) << "first wrong byte at 0x" << std::hex << firstWrong;
}

void expectBlocksEqual (const std::vector<BlockSeen>& seen, const std::vector<BlockSeen>& expected)
{
    ASSERT_EQ (seen.size(), expected.size());

    for (size_t i = 0; i < seen.size(); ++i)
    {
        SCOPED_TRACE ("block " + std::to_string (i));
        EXPECT_EQ (seen[i].target, expected[i].target);
        EXPECT_EQ (seen[i].address, expected[i].address);
        EXPECT_EQ (seen[i].length, expected[i].length);
        EXPECT_EQ (seen[i].dataReports, expected[i].dataReports);
        EXPECT_EQ (seen[i].lastPieceCount, expected[i].lastPieceCount);
    }
}

ReportBytes startReport (uint8_t target, uint32_t address, uint32_t length)
{
    ReportBytes report{};
    report[0] = target;
    report[1] = CMD_START;
    Report::putLittleEndian32 (report.data(), Report::address, address);
    report[Report::addressMarker] = 0xFF;
    Report::putLittleEndian32 (report.data(), Report::length, length);
    return report;
}

}  // namespace

TEST (UpdateEngine, AFullUpdateWritesExactlyTheThreeImages)
{
    EngineHarness harness;
    harness.controller.model.setFirmwareVersion ({ 0x20, 0x19, 0x05, 0x31 });
    harness.controller.model.setBusyPolls (2);
    auto& component = harness.start ({ 0x20, 0x20, 0x02, 0x02 });

    // Sample the progress on the message thread as the window would.
    std::vector<double> progress;
    ASSERT_TRUE (harness.toVersionScreen());
    EXPECT_EQ (component.m_deviceSysVer, "1.00");
    harness.pressStart();
    ASSERT_TRUE (pumpUntil (
        [&]
        {
            progress.push_back (component.m_progress.load());
            return !component.isThreadRunning();
        },
        240000))
        << harness.describe();

    EXPECT_EQ (component.m_state.load(), STATE_COMPLETE);
    EXPECT_EQ (component.m_progress.load(), 1.0);
    EXPECT_TRUE (std::is_sorted (progress.begin(), progress.end())) << "the progress went back";
    EXPECT_EQ (component.m_finished.load(), 1);
    EXPECT_TRUE (component.m_mainImageStarted.load());

    // The completion report needs no answer: wait for the controller to have read it.
    ASSERT_TRUE (
        pumpUntil ([&] { return !harness.controller.model.receivedWithCommand (CMD_COMPLETE).empty(); }));
    pumpFor (50);
    const auto reports = harness.controller.model.received();
    const auto& data = harness.fileContents;
    expectMemoryHolds (harness.controller.model.memory(), data,
                       { { 0, 0x90000 }, { 0x90000, 0x1CE000 }, { 0x1D0000, 0x1E0000 } });

    auto expected = expectedBlocks (TARGET_MAIN, 0, 0x90000);
    const auto sub = expectedBlocks (TARGET_SUB, 0x90000, 0x13E000);
    const auto sys = expectedBlocks (TARGET_SYS, 0x1D0000, 0x10000);
    expected.insert (expected.end(), sub.begin(), sub.end());
    expected.insert (expected.end(), sys.begin(), sys.end());
    expectBlocksEqual (blocksSeen (reports), expected);

    EXPECT_EQ (harness.controller.model.receivedWithCommand (CMD_START),
               std::vector<ReportBytes>{ startReport (TARGET_MAIN, 0x1D0000, 0x10000) });
    ASSERT_EQ (harness.controller.model.receivedWithCommand (CMD_COMPLETE).size(), 1u);
    EXPECT_EQ (reports.back()[0], TARGET_DEVICE);
    EXPECT_EQ (reports.back()[1], CMD_COMPLETE);
    EXPECT_EQ (harness.controller.model.receivedWithCommand (CMD_GET_STATUS).size(), 16u * 3u);

    // Once a block is written the next goes out after the short pause, not the polling one: with
    // the polling pause every gap below would be 100 ms or more.
    const auto polls = harness.controller.receiveTimesOf (CMD_GET_STATUS);
    const auto headers = harness.controller.receiveTimesOf (CMD_BLOCK);
    ASSERT_EQ (headers.size(), 16u);
    double shortestGap = 1e9;
    for (size_t block = 1; block < headers.size(); ++block)
    {
        const auto lastPoll =
            std::find_if (polls.rbegin(), polls.rend(), [&] (double t) { return t < headers[block]; });
        ASSERT_NE (lastPoll, polls.rend());
        shortestGap = std::min (shortestGap, headers[block] - *lastPoll);
    }
    EXPECT_LT (shortestGap, 100.0) << "from a block's last status poll to the next block header, in ms";
}

TEST (UpdateEngine, OnlyTheSameFirmwareVersionSkipsTheMainImage)
{
    // Any difference counts, a controller that is ahead of the file included.
    struct Case
    {
        const char* name;
        std::array<uint8_t, 4> controller;
        bool mainSent;
    };

    const std::array<uint8_t, 4> file{ 0x20, 0x19, 0x05, 0x31 };
    const Case cases[] = {
        { "older", { 0x20, 0x19, 0x05, 0x30 }, true },
        { "the same", file, false },
        { "newer by a day", { 0x20, 0x19, 0x06, 0x01 }, true },
        { "newer by a year", { 0x20, 0x20, 0x01, 0x01 }, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        EngineHarness harness;
        harness.controller.model.setFirmwareVersion (c.controller);
        auto& component = harness.start (file);

        ASSERT_TRUE (harness.toVersionScreen());

        EXPECT_EQ (component.m_updImage[UPD_KIND_MAIN].m_status, c.mainSent ? IMAGE_SEND : IMAGE_SKIP);
        EXPECT_EQ (component.m_updImage[UPD_KIND_SUB].m_status, IMAGE_SEND);
        EXPECT_EQ (component.m_updImage[UPD_KIND_SYS].m_status, IMAGE_SEND);
        EXPECT_EQ (component.m_updImage[UPD_KIND_SYS].m_size, c.mainSent ? 0x10000 : 0x1000);
        EXPECT_EQ (component.m_totalDataSize, c.mainSent ? 0x90000 + 0x13E000 + 0x10000 : 0x13E000 + 0x1000);
    }
}

TEST (UpdateEngine, TheProgressCountsEveryPieceButEachBlocksLastOfTheWholeUpdate)
{
    // The second block's byte sum is refused: the progress stays where its last piece left it,
    // the offset of each block's last piece (2,114 pieces of 62 bytes) over all bytes to send.
    EngineHarness harness;
    harness.controller.model.addFault ({ CMD_CHECKSUM, 3000, 1 }, { ControllerModel::Fault::Kind::error, 2 });
    auto& component = harness.start();

    harness.runWholeUpdate();

    ASSERT_EQ (component.m_state.load(), ERR_DEVICE_REASON2) << harness.describe();
    ASSERT_EQ (harness.controller.model.receivedWithCommand (CMD_CHECKSUM).size(), 2u);
    const double total = 0x90000 + 0x13E000 + 0x10000;
    EXPECT_DOUBLE_EQ (component.m_progress.load(), 2 * (2114.0 * 62.0) / total);
}

TEST (UpdateEngine, AnUnansweredRequestIsGivenUpAfterTheProgramsTenSeconds)
{
    // The one test that waits for the program's own time-out and looks at its length: it never
    // ends sooner, and a loaded machine makes it end a little later, not seconds later.
    EngineHarness harness;
    harness.controller.model.addFault ({ CMD_CHECK_MODE, 0, 1 }, { ControllerModel::Fault::Kind::silence });
    harness.start();

    const auto pressed = juce::Time::getMillisecondCounterHiRes();
    harness.pressOk();
    ASSERT_TRUE (harness.waitForState (ERR_TIMEOUT));
    const auto gaveUp = juce::Time::getMillisecondCounterHiRes();

    const auto requested = harness.controller.receiveTimesOf (CMD_CHECK_MODE);
    ASSERT_EQ (requested.size(), 1u);
    EXPECT_GE (gaveUp - pressed, 10000.0);
    EXPECT_LT (gaveUp - requested.front(), 15000.0);
}

TEST (UpdateEngine, EqualFirmwareSkipsTheMainImageAndShortensTheSystemImage)
{
    EngineHarness harness;
    harness.controller.model.setFirmwareVersion ({ 0x20, 0x19, 0x05, 0x31 });
    harness.controller.model.setSystemVersion ({ '1', '.', '0', '5' });
    auto& component = harness.start ({ 0x20, 0x19, 0x05, 0x31 });

    harness.runWholeUpdate();

    EXPECT_EQ (component.m_state.load(), STATE_COMPLETE);
    EXPECT_EQ (component.m_updImage[UPD_KIND_MAIN].m_status, IMAGE_SKIP);
    EXPECT_EQ (component.m_deviceSysVer, "1.05");
    EXPECT_FALSE (component.m_mainImageStarted.load());
    EXPECT_EQ (component.m_totalDataSize, 0x13E000 + 0x1000);

    const auto& data = harness.fileContents;
    expectMemoryHolds (harness.controller.model.memory(), data,
                       { { 0x90000, 0x1CE000 }, { 0x1D0000, 0x1D1000 } });

    auto expected = expectedBlocks (TARGET_SUB, 0x90000, 0x13E000);
    const auto sys = expectedBlocks (TARGET_SYS, 0x1D0000, 0x1000);
    expected.insert (expected.end(), sys.begin(), sys.end());
    expectBlocksEqual (blocksSeen (harness.controller.model.received()), expected);
    EXPECT_EQ (harness.controller.model.receivedWithCommand (CMD_START),
               std::vector<ReportBytes>{ startReport (TARGET_SUB, 0x1D0000, 0x1000) });
}

TEST (UpdateEngine, AControllerWithoutSystemVersionReadsAsZero)
{
    EngineHarness harness;
    harness.controller.model.setSystemVersion ({ 0xFF, 0xFF, 0xFF, 0xFF });
    auto& component = harness.start();

    ASSERT_TRUE (harness.toVersionScreen());
    EXPECT_EQ (component.m_deviceSysVer, "0.00");
    EXPECT_EQ (std::memcmp (component.m_answer + 7, "0.00", 4), 0);
}

TEST (UpdateEngine, AControllerThatStaysBusyIsPolledUntilStopped)
{
    EngineHarness harness;
    harness.controller.model.setBusyPolls (-1, ANS_BUSY2);
    auto& component = harness.start();

    ASSERT_TRUE (harness.toVersionScreen());
    harness.pressStart();
    ASSERT_TRUE (pumpUntil (
        [&] { return harness.controller.model.receivedWithCommand (CMD_GET_STATUS).size() >= 4; }, 60000))
        << harness.describe();

    const auto times = harness.controller.receiveTimesOf (CMD_GET_STATUS);
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GE (times[i] - times[i - 1], 95.0) << "poll " << i << " came too soon";

    EXPECT_EQ (component.m_state.load(), STATE_GET_STATUS);
    component.stopWorker();
    EXPECT_FALSE (component.isThreadRunning());
    EXPECT_EQ (component.m_state.load(), STATE_GET_STATUS);
}

TEST (UpdateEngine, AStopWhileWaitingForStartSendsNothing)
{
    EngineHarness harness;
    auto& component = harness.start();

    ASSERT_TRUE (harness.toVersionScreen());
    pumpFor (20);
    const auto before = harness.controller.model.received().size();

    EXPECT_TRUE (component.stopThread (5000));
    pumpFor (50);

    EXPECT_EQ (harness.controller.model.received().size(), before);
    EXPECT_EQ (component.m_state.load(), STATE_READY);
}

TEST (UpdateEngine, AWorkerStartedAfterAGeneralErrorEndsWithoutAnExchange)
{
    EngineHarness harness;
    auto& component = harness.start();

    UpdateStateProbe::put (component.m_state, ERR_GENERAL);
    component.startThread();
    ASSERT_TRUE (harness.waitForWorkerEnd());

    EXPECT_EQ (component.m_state.load(), ERR_GENERAL);
    EXPECT_TRUE (harness.controller.model.received().empty());
}

TEST (UpdateEngine, NothingToSendEndsTheFirstPass)
{
    // A worker that runs without an accepted file asks the mode only, and finds nothing to send.
    EngineHarness harness;
    harness.controller.attach();
    auto& component = harness.createComponent();

    component.startThread();
    ASSERT_TRUE (harness.waitForWorkerEnd());

    EXPECT_EQ (component.m_state.load(), ERR_GENERAL);
    EXPECT_EQ (harness.controller.model.received().size(), 1u);
    EXPECT_TRUE (harness.controller.model.receivedWithCommand (CMD_GET_VERSION).empty());
}

TEST (UpdateEngine, OldMacOSXAloneGetsThePause)
{
    struct Case
    {
        int type;
        bool old;
    };

    const Case cases[] = {
        { juce::SystemStats::Linux, false },
        { juce::SystemStats::MacOSX | 6, true },
        { juce::SystemStats::MacOSX | 4, true },
        { juce::SystemStats::MacOSX_10_7, false },
        { juce::SystemStats::MacOS_13, false },
        { juce::SystemStats::MacOSX, false },  // a macOS newer than JUCE knows
        { juce::SystemStats::Windows, false },
        { juce::SystemStats::iOS, false },
    };

    for (const auto& c : cases)
        EXPECT_EQ (UpdateEngine::isMacOSX106OrOlder (c.type), c.old) << std::hex << c.type;

    EXPECT_FALSE (UpdateEngine::isMacOSX106OrOlder (juce::SystemStats::getOperatingSystemType()));
}
