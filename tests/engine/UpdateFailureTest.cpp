// Every way an update can fail, reached through the simulated controller: which error the
// state ends in, and what the controller was sent after the fault.
#include "hid/HidCtrl.h"
#include "support/EngineHarness.h"
#include "support/MessageLoop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

using namespace qvxtest;
using Fault = ControllerModel::Fault;
using Kind = ControllerModel::Fault::Kind;
using Trigger = ControllerModel::Trigger;

namespace
{

struct FailureCase
{
    const char* name;
    std::function<void (ControllerModel&)> setup;
    bool pressStart;  // the fault lies in the transfer, after Start
    int32_t expectedState;
    uint8_t lastCommand;  // the last request the controller received
    std::function<void (EngineHarness&)> extraCheck = nullptr;
    // The first request goes unanswered, so no answer is due before it: its exchange may wait
    // briefly. Every other exchange waits the program's 10 s.
    bool silentRightAway = false;
};

Trigger first (uint8_t command)
{
    return { command, 0, 1 };
}

std::function<void (ControllerModel&)> fault (Trigger trigger, Fault f)
{
    return [=] (ControllerModel& model) { model.addFault (trigger, f); };
}

std::function<void (ControllerModel&)> versions (std::array<uint8_t, 4> firmware,
                                                 std::array<uint8_t, 4> system)
{
    return [=] (ControllerModel& model)
    {
        model.setFirmwareVersion (firmware);
        model.setSystemVersion (system);
    };
}

void expectNoChecksum (EngineHarness& harness)
{
    EXPECT_TRUE (harness.controller.model.receivedWithCommand (CMD_CHECKSUM).empty());
}

void expectWholeFirstBlockSent (EngineHarness& harness)
{
    EXPECT_EQ (harness.controller.model.receivedWithCommand (CMD_DATA).size(), 2115u);
    expectNoChecksum (harness);
}

void expectNoVersionAsked (EngineHarness& harness)
{
    EXPECT_TRUE (harness.controller.model.receivedWithCommand (CMD_GET_VERSION).empty());
}

const Fault silence{ Kind::silence };
const Fault wrongEcho{ Kind::wrongEcho };
Fault error (uint8_t reason)
{
    return { Kind::error, reason };
}
Fault answer (uint8_t code)
{
    return { Kind::answerCode, code };
}

// How long after the worker's end a report sent late, or a late answer, still shows.
constexpr int lateAnswerMs = 300;

// Report 100 is a data report in the middle of the first block.
const Trigger midBlock{ CMD_DATA, 100, 1 };

const FailureCase failureCases[] = {
    // Mode query.
    { "ModeSilent", fault (first (CMD_CHECK_MODE), silence), false, ERR_TIMEOUT, CMD_CHECK_MODE, nullptr,
      true },
    { "ModeReason1", fault (first (CMD_CHECK_MODE), error (1)), false, ERR_DEVICE_REASON1, CMD_CHECK_MODE,
      expectNoVersionAsked },
    { "ModeReason2", fault (first (CMD_CHECK_MODE), error (2)), false, ERR_DEVICE_REASON2, CMD_CHECK_MODE,
      expectNoVersionAsked },
    { "ModeReason3", fault (first (CMD_CHECK_MODE), error (3)), false, ERR_DEVICE_REASON3, CMD_CHECK_MODE },
    { "ModeReason4", fault (first (CMD_CHECK_MODE), error (4)), false, ERR_DEVICE_REASON4, CMD_CHECK_MODE },
    { "ModeReason5", fault (first (CMD_CHECK_MODE), error (5)), false, ERR_GENERAL, CMD_CHECK_MODE },
    { "ModeReason9", fault (first (CMD_CHECK_MODE), error (9)), false, ERR_GENERAL, CMD_CHECK_MODE },
    { "ModeAnsweredWithVersion", fault (first (CMD_CHECK_MODE), answer (ANS_VERSION)), false, ERR_GENERAL,
      CMD_CHECK_MODE },
    { "ModeWrongEcho", fault (first (CMD_CHECK_MODE), wrongEcho), false, ERR_GENERAL, CMD_CHECK_MODE,
      expectNoVersionAsked },

    // Version query.
    { "VersionSilent", fault (first (CMD_GET_VERSION), silence), false, ERR_TIMEOUT, CMD_GET_VERSION },
    { "VersionAnsweredOk", fault (first (CMD_GET_VERSION), answer (ANS_OK)), false, ERR_GENERAL,
      CMD_GET_VERSION },
    { "VersionRefused", fault (first (CMD_GET_VERSION), error (1)), false, ERR_GENERAL, CMD_GET_VERSION },
    { "VersionWrongEcho", fault (first (CMD_GET_VERSION), wrongEcho), false, ERR_GENERAL, CMD_GET_VERSION },
    { "FirmwareYearOver", versions ({ 0x21, 0, 0, 0 }, { '1', '.', '0', '0' }), false, ERR_DEVICE_VERSION,
      CMD_GET_VERSION },
    { "FirmwareSecondByteOver", versions ({ 0x20, 0x51, 0, 0 }, { '1', '.', '0', '0' }), false,
      ERR_DEVICE_VERSION, CMD_GET_VERSION },
    { "FirmwareMonthOver", versions ({ 0x20, 0, 0x13, 0 }, { '1', '.', '0', '0' }), false, ERR_DEVICE_VERSION,
      CMD_GET_VERSION },
    { "FirmwareDayOver", versions ({ 0x20, 0, 0, 0x32 }, { '1', '.', '0', '0' }), false, ERR_DEVICE_VERSION,
      CMD_GET_VERSION },
    { "SystemVersionPartlyUnset", versions ({ 0x20, 0, 0, 0 }, { 0xFF, 0xFF, 0xFF, 0x00 }), false,
      ERR_DEVICE_VERSION, CMD_GET_VERSION },
    { "SystemVersionShort", versions ({ 0x20, 0, 0, 0 }, { '1', '.', '0', 0x00 }), false, ERR_DEVICE_VERSION,
      CMD_GET_VERSION },

    // Start and block header.
    { "StartSilent", fault (first (CMD_START), silence), true, ERR_TIMEOUT, CMD_START },
    { "StartRefused", fault (first (CMD_START), error (1)), true, ERR_GENERAL, CMD_START },
    { "StartAnsweredDone", fault (first (CMD_START), answer (ANS_DONE)), true, ERR_GENERAL, CMD_START },
    { "StartWrongEcho", fault (first (CMD_START), wrongEcho), true, ERR_GENERAL, CMD_START },
    { "BlockSilent", fault (first (CMD_BLOCK), silence), true, ERR_TIMEOUT, CMD_BLOCK },
    { "BlockRefused", fault (first (CMD_BLOCK), error (3)), true, ERR_GENERAL, CMD_BLOCK },
    { "BlockWrongEcho", fault (first (CMD_BLOCK), wrongEcho), true, ERR_GENERAL, CMD_BLOCK },
    { "BlockAnswerTooLate",
      fault (first (CMD_BLOCK), { Kind::delay, 0, EngineHarness::responseTimeoutMs + lateAnswerMs }), true,
      ERR_TIMEOUT, CMD_BLOCK },

    // Data: a refused or mismatched piece lets the block finish, but no byte sum follows.
    { "DataRefusedMidBlock", fault (midBlock, error (1)), true, ERR_GENERAL, CMD_DATA,
      expectWholeFirstBlockSent },
    { "DataWrongEchoMidBlock", fault (midBlock, wrongEcho), true, ERR_GENERAL, CMD_DATA,
      expectWholeFirstBlockSent },
    { "DataSilentMidBlock", fault (midBlock, silence), true, ERR_TIMEOUT, CMD_DATA, expectNoChecksum },
    { "DataSizeRefused", fault (first (CMD_DATA_SIZE), error (1)), true, ERR_GENERAL, CMD_DATA,
      expectWholeFirstBlockSent },
    { "DataSizeSilent", fault (first (CMD_DATA_SIZE), silence), true, ERR_TIMEOUT, CMD_DATA_SIZE,
      expectNoChecksum },

    // Byte sum.
    { "ChecksumReason2", fault (first (CMD_CHECKSUM), error (2)), true, ERR_DEVICE_REASON2, CMD_CHECKSUM },
    { "ChecksumReason3", fault (first (CMD_CHECKSUM), error (3)), true, ERR_GENERAL, CMD_CHECKSUM },
    { "ChecksumReason5", fault (first (CMD_CHECKSUM), error (5)), true, ERR_GENERAL, CMD_CHECKSUM },
    { "ChecksumAnsweredBusy", fault (first (CMD_CHECKSUM), answer (ANS_BUSY1)), true, ERR_GENERAL,
      CMD_CHECKSUM },
    { "ChecksumSilent", fault (first (CMD_CHECKSUM), silence), true, ERR_TIMEOUT, CMD_CHECKSUM },
    { "ChecksumWrongEcho", fault (first (CMD_CHECKSUM), wrongEcho), true, ERR_GENERAL, CMD_CHECKSUM },

    // Status polls.
    { "StatusReason3", fault (first (CMD_GET_STATUS), error (3)), true, ERR_DEVICE_REASON3, CMD_GET_STATUS },
    { "StatusReason4", fault (first (CMD_GET_STATUS), error (4)), true, ERR_DEVICE_REASON4, CMD_GET_STATUS },
    { "StatusReason1", fault (first (CMD_GET_STATUS), error (1)), true, ERR_GENERAL, CMD_GET_STATUS },
    { "StatusReason5", fault (first (CMD_GET_STATUS), error (5)), true, ERR_GENERAL, CMD_GET_STATUS },
    { "StatusAnsweredOk", fault (first (CMD_GET_STATUS), answer (ANS_OK)), true, ERR_GENERAL,
      CMD_GET_STATUS },
    { "StatusSilent", fault (first (CMD_GET_STATUS), silence), true, ERR_TIMEOUT, CMD_GET_STATUS },
    { "StatusWrongEcho", fault (first (CMD_GET_STATUS), wrongEcho), true, ERR_GENERAL, CMD_GET_STATUS },

    // The controller leaves: nothing is sent after it, and nothing replaces the error.
    { "RemovedAtStart", fault (first (CMD_START), { Kind::removal }), true, ERR_REMOVED, CMD_START },
    { "RemovedAtBlock", fault (first (CMD_BLOCK), { Kind::removal }), true, ERR_REMOVED, CMD_BLOCK },
    { "RemovedMidBlock", fault (midBlock, { Kind::removal }), true, ERR_REMOVED, CMD_DATA, expectNoChecksum },
    { "RemovedAtChecksum", fault (first (CMD_CHECKSUM), { Kind::removal }), true, ERR_REMOVED, CMD_CHECKSUM },
    { "RemovedWhilePolling", fault ({ CMD_GET_STATUS, 0, -1 }, { Kind::removal }), true, ERR_REMOVED,
      CMD_GET_STATUS },
    // The completion report cannot go out, though the controller stays: no completion. The 16th
    // status poll is the last block's.
    { "CompletionReportRefused",
      fault ({ CMD_GET_STATUS, 0, 1, 15 }, { Kind::refuseWritesAfterAnswer, 0, 0, EPIPE }), true, ERR_TIMEOUT,
      CMD_GET_STATUS },
    // During the device checks the state is still the language screen's: the exchange times out.
    { "RemovedDuringChecks", fault (first (CMD_GET_VERSION), { Kind::removal }), false, ERR_TIMEOUT,
      CMD_GET_VERSION },
};

struct UpdateFailure : testing::TestWithParam<FailureCase>
{
};

void PrintTo (const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

}  // namespace

TEST_P (UpdateFailure, EndsInItsErrorAndSendsNothingAfter)
{
    const auto& row = GetParam();
    EngineHarness harness;
    harness.writeUpdateFile();
    row.setup (harness.controller.model);
    harness.controller.attach();

    if (row.silentRightAway)
        harness.expectSilence();

    auto& component = harness.createComponent();
    harness.pressOk();

    if (row.pressStart)
    {
        ASSERT_TRUE (harness.waitForState (STATE_READY));
        harness.pressStart();
    }

    ASSERT_TRUE (harness.waitForWorkerEnd());
    pumpFor (lateAnswerMs);  // anything sent late would show now

    EXPECT_EQ (component.m_state.load(), row.expectedState) << harness.describe();
    EXPECT_EQ (component.m_finished.load(), 0);
    EXPECT_LT (component.m_progress.load(), 1.0);

    const auto received = harness.controller.model.received();
    ASSERT_FALSE (received.empty());
    EXPECT_EQ (received.back()[Report::command], row.lastCommand);
    EXPECT_TRUE (harness.controller.model.receivedWithCommand (CMD_COMPLETE).empty());

    if (row.extraCheck)
        row.extraCheck (harness);
}

INSTANTIATE_TEST_SUITE_P (AllFaults, UpdateFailure, testing::ValuesIn (failureCases),
                          [] (const testing::TestParamInfo<FailureCase>& info)
                          { return std::string (info.param.name); });

TEST (UpdateRemoval, OnTheVersionScreenStopsTheWorkerAndSendsNothing)
{
    EngineHarness harness;
    auto& component = harness.start();
    ASSERT_TRUE (harness.toVersionScreen());
    const auto sent = harness.controller.model.received().size();

    harness.controller.remove();
    ASSERT_TRUE (harness.waitForState (ERR_REMOVED));
    ASSERT_TRUE (harness.waitForWorkerEnd());

    EXPECT_EQ (harness.controller.model.received().size(), sent);
    EXPECT_EQ (component.m_state.load(), ERR_REMOVED);
}

TEST (UpdateRemoval, AfterTheEndChangesNothing)
{
    struct Case
    {
        const char* name;
        std::function<void (ControllerModel&)> setup;
        int32_t finalState;
    };

    const Case cases[] = {
        { "complete", [] (ControllerModel&) {}, STATE_COMPLETE },
        { "failed", fault (first (CMD_CHECKSUM), error (2)), ERR_DEVICE_REASON2 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        EngineHarness harness;
        harness.controller.model.setFirmwareVersion ({ 0x20, 0x19, 0x05, 0x31 });
        c.setup (harness.controller.model);
        auto& component = harness.start ({ 0x20, 0x19, 0x05, 0x31 });
        harness.runWholeUpdate();
        ASSERT_EQ (component.m_state.load(), c.finalState);

        harness.controller.remove();
        ASSERT_TRUE (pumpUntil ([&] { return component.m_pHidCtrl->m_connected.load() == 0; }));
        pumpFor (50);

        EXPECT_EQ (component.m_state.load(), c.finalState);
    }
}

TEST (UpdateRemoval, OnTheLanguageScreenChangesNothing)
{
    EngineHarness harness;
    harness.controller.attach();
    auto& component = harness.createComponent();

    harness.controller.remove();
    ASSERT_TRUE (pumpUntil ([&] { return component.m_pHidCtrl->m_connected.load() == 0; }));
    pumpFor (50);

    EXPECT_EQ (component.m_state.load(), STATE_INIT);
}

TEST (UpdateFile, ThatCannotBeOpenedForABlockIsAFileOpenError)
{
    EngineHarness harness;
    auto& component = harness.start();
    const auto file = harness.updateFile;
    ASSERT_TRUE (harness.toVersionScreen());

    ASSERT_TRUE (file.deleteFile());
    harness.pressStart();
    ASSERT_TRUE (harness.waitForWorkerEnd());

    EXPECT_EQ (component.m_state.load(), ERR_FILE_OPEN);
    EXPECT_EQ (harness.controller.model.received().back()[Report::command], CMD_BLOCK);
}

TEST (UpdateDuplicatedAnswers, NeverPassForASuccessfulUpdate)
{
    // A second answer may merge with the first, or be taken for the next request's; the echo
    // test and the answer codes are the only guards. Either the update ends in an error, or the
    // controller holds exactly the file.
    EngineHarness harness;
    harness.controller.model.addFault ({ CMD_BLOCK, 0, -1 }, { Kind::duplicate });
    harness.controller.model.addFault ({ CMD_GET_STATUS, 0, -1 }, { Kind::duplicate });
    auto& component = harness.start();

    harness.runWholeUpdate();

    const auto state = component.m_state.load();
    ASSERT_TRUE (state == STATE_COMPLETE || UpdState::isError (state)) << std::hex << state;

    if (state == STATE_COMPLETE)
    {
        const auto& file = harness.fileContents;
        const auto memory = harness.controller.model.memory();
        const auto* bytes = static_cast<const uint8_t*> (file.getData());
        EXPECT_TRUE (std::equal (bytes, bytes + 0x1CE000, memory.begin()));
        EXPECT_TRUE (std::equal (bytes + 0x1D0000, bytes + 0x1E0000, memory.begin() + 0x1D0000));
    }
}
