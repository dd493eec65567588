// The controller pulled out at each moment between two steps of an exchange: whichever the
// program learns of first, the failed write or the node's hang-up, the update ends as removed,
// and nothing more reaches the controller. A write that fails while the controller stays is no
// removal.
#include "support/EngineHarness.h"
#include "support/MessageLoop.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>

using namespace qvxtest;
using Fault = ControllerModel::Fault;
using Kind = ControllerModel::Fault::Kind;

namespace
{

struct UnplugMoment
{
    const char* name;
    /** The request at whose answer (or instead of it) the controller goes: the `nth` of its
        command, counting from 0. */
    uint8_t command;
    int nth;
    Fault fault;
    /** Busy answers to each status poll before the block is written. */
    int busyPolls = 0;
};

void PrintTo (const UnplugMoment& m, std::ostream* os)
{
    *os << m.name;
}

// The 97th data report lies in the middle of the first block; a whole update has 16 blocks.
constexpr int midBlockData = 96;
constexpr int lastBlockPoll = 15;
// Longer than the program waits for the hang-up after a failed write.
constexpr int afterTheGraceMs = 3000;

Fault writesFailThenHangUp (int errorNumber, int hangUpAfterMs)
{
    return { Kind::failWritesAfterAnswer, 0, hangUpAfterMs, errorNumber };
}

const UnplugMoment unplugMoments[] = {
    { "WhileTheWorkerWaitsForAnAnswer", CMD_DATA, midBlockData, { Kind::hangUp } },
    { "RightAfterAnAnswer", CMD_DATA, midBlockData, { Kind::hangUpAfterAnswer } },
    // A transfer cut short as the cable goes, some milliseconds before the hub reports the port
    // change; behind a USB 2.0 hub, up to a quarter of a second.
    { "TheWriteFailsWithEPROTO50msBeforeTheHangUp", CMD_DATA, midBlockData,
      writesFailThenHangUp (EPROTO, 50) },
    { "TheWriteFailsWithEPROTO300msBeforeTheHangUp", CMD_DATA, midBlockData,
      writesFailThenHangUp (EPROTO, 300) },
    // hidraw says ENODEV only once its device has gone: that is the removal, without waiting.
    { "TheWriteFailsWithENODEV", CMD_DATA, midBlockData, writesFailThenHangUp (ENODEV, afterTheGraceMs) },
    // The next poll waits 100 ms: the hang-up is seen before its write.
    { "TheHangUpIsSeenBeforeTheWrite", CMD_GET_STATUS, 0, { Kind::hangUpAfterAnswer }, 1 },
    { "RightBeforeTheCompletionReportItsWriteFailingWithEPROTO", CMD_GET_STATUS, lastBlockPoll,
      writesFailThenHangUp (EPROTO, 50) },
    { "RightBeforeTheCompletionReportTheNodeHangingUp",
      CMD_GET_STATUS,
      lastBlockPoll,
      { Kind::hangUpAfterAnswer } },
};

struct UnplugDuringTheUpdate : testing::TestWithParam<UnplugMoment>
{
};

}  // namespace

TEST_P (UnplugDuringTheUpdate, EndsAsRemovedWithNothingSentAfter)
{
    const auto& moment = GetParam();
    EngineHarness harness;
    auto& model = harness.controller.model;
    model.setBusyPolls (moment.busyPolls);
    model.addFault ({ moment.command, 0, 1, moment.nth }, moment.fault);
    auto& component = harness.start();

    harness.runWholeUpdate();
    pumpFor (moment.fault.delayMs + 300);  // anything sent late, or a late hang-up, would show now

    EXPECT_EQ (component.m_state.load(), ERR_REMOVED) << harness.describe();
    EXPECT_EQ (component.m_finished.load(), 0);
    EXPECT_LT (component.m_progress.load(), 1.0);

    const auto received = model.received();
    ASSERT_FALSE (received.empty());
    EXPECT_EQ (received.back()[Report::command], moment.command) << harness.describe();
    EXPECT_EQ (model.receivedWithCommand (moment.command).size(), static_cast<size_t> (moment.nth + 1));
    EXPECT_TRUE (model.receivedWithCommand (CMD_COMPLETE).empty());
}

INSTANTIATE_TEST_SUITE_P (Moments, UnplugDuringTheUpdate, testing::ValuesIn (unplugMoments),
                          [] (const testing::TestParamInfo<UnplugMoment>& info)
                          { return std::string (info.param.name); });

namespace
{

struct StayingMoment
{
    const char* name;
    uint8_t command;
    int nth;
    int writeError;
};

void PrintTo (const StayingMoment& m, std::ostream* os)
{
    *os << m.name;
}

// A stalled endpoint, and a transfer error with no removal after it.
const StayingMoment stayingMoments[] = {
    { "EPIPE", CMD_DATA, midBlockData, EPIPE },
    { "EPROTO", CMD_DATA, midBlockData, EPROTO },
    { "EPIPEOnTheCompletionReport", CMD_GET_STATUS, lastBlockPoll, EPIPE },
};

struct WritesFailWhileTheControllerStays : testing::TestWithParam<StayingMoment>
{
};

}  // namespace

TEST_P (WritesFailWhileTheControllerStays, EndsWithNoAnswerSoonWithNothingSentAfter)
{
    const auto& moment = GetParam();
    EngineHarness harness;
    // Only the short wait for a removal can end the exchange whose report did not go out.
    harness.settings.responseTimeoutMs = 24 * 3600 * 1000;
    auto& model = harness.controller.model;
    model.addFault ({ moment.command, 0, 1, moment.nth },
                    { Kind::refuseWritesAfterAnswer, 0, 0, moment.writeError });
    auto& component = harness.start();

    harness.runWholeUpdate();

    EXPECT_EQ (component.m_state.load(), ERR_TIMEOUT) << harness.describe();
    EXPECT_EQ (component.m_finished.load(), 0);

    const auto received = model.received();
    ASSERT_FALSE (received.empty());
    EXPECT_EQ (received.back()[Report::command], moment.command) << harness.describe();
    EXPECT_EQ (model.receivedWithCommand (moment.command).size(), static_cast<size_t> (moment.nth + 1));
}

INSTANTIATE_TEST_SUITE_P (Moments, WritesFailWhileTheControllerStays, testing::ValuesIn (stayingMoments),
                          [] (const testing::TestParamInfo<StayingMoment>& info)
                          { return std::string (info.param.name); });
