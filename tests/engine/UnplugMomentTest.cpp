// The controller pulled out at each moment between two steps of an exchange: whichever the
// program learns of first, the failed write or the node's hang-up, the update ends as removed,
// and nothing more reaches the controller.
#include "support/EngineHarness.h"
#include "support/MessageLoop.h"

#include <gtest/gtest.h>

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
// How long after the failed writes the node hangs up.
constexpr int hangUpLaterMs = 500;

const UnplugMoment unplugMoments[] = {
    { "WhileTheWorkerWaitsForAnAnswer", CMD_DATA, midBlockData, { Kind::hangUp } },
    { "RightAfterAnAnswer", CMD_DATA, midBlockData, { Kind::hangUpAfterAnswer } },
    { "TheWriteFailsBeforeTheHangUpIsSeen",
      CMD_DATA,
      midBlockData,
      { Kind::failWritesAfterAnswer, 0, hangUpLaterMs } },
    // The next poll waits 100 ms: the hang-up is seen before its write.
    { "TheHangUpIsSeenBeforeTheWrite", CMD_GET_STATUS, 0, { Kind::hangUpAfterAnswer }, 1 },
    { "RightBeforeTheCompletionReportItsWriteFailing",
      CMD_GET_STATUS,
      lastBlockPoll,
      { Kind::failWritesAfterAnswer, 0, hangUpLaterMs } },
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
    pumpFor (hangUpLaterMs + 300);  // anything sent late, or a late hang-up, would show now

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
