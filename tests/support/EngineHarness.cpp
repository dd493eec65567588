#include "support/EngineHarness.h"

#include "support/MessageLoop.h"

#include <iomanip>
#include <sstream>

namespace qvxtest
{

EngineHarness::EngineHarness()
    : settings (folder.get(), SimulatedHid::backend())
{
    settings.responseTimeoutMs = responseTimeoutMs;
}

EngineHarness::~EngineHarness()
{
    component.reset();
}

juce::File EngineHarness::writeUpdateFile (std::array<uint8_t, 4> firmwareVersion)
{
    const auto builder =
        UpdateFileBuilder().distinctImagePatterns().firmwareVersion (firmwareVersion).systemVersion ("1.10");
    fileContents = builder.build();
    updateFile = builder.writeTo (folder.get());
    return updateFile;
}

TestEngine& EngineHarness::start (std::array<uint8_t, 4> firmwareVersion)
{
    writeUpdateFile (firmwareVersion);
    controller.attach();
    return createComponent();
}

testing::AssertionResult EngineHarness::toVersionScreen()
{
    pressOk();
    return waitForState (STATE_READY);
}

void EngineHarness::expectSilence()
{
    EXPECT_EQ (component, nullptr) << "the engine is already made with its time-out";
    settings.responseTimeoutMs = silenceTimeoutMs;
}

void EngineHarness::pressOk()
{
    component->CheckUpdFile();
    ASSERT_EQ (component->m_fileReady, 8) << "the update file was not accepted: " << describe();
    component->startWorker();
}

void EngineHarness::pressStart()
{
    component->m_startPressed = true;
    ASSERT_TRUE (component->m_state.start()) << "not on the version screen: " << describe();
}

testing::AssertionResult EngineHarness::waitForState (int32_t state, int timeoutMs)
{
    // An error with no worker left is final: nothing is going to change it.
    const auto endedElsewhere = [&]
    {
        const auto now = component->m_state.load();
        return now != state && UpdState::isError (now) && !component->isThreadRunning();
    };

    if (pumpUntil ([&] { return component->m_state.load() == state || endedElsewhere(); }, timeoutMs) &&
        component->m_state.load() == state)
        return testing::AssertionSuccess();

    return testing::AssertionFailure()
           << "state 0x" << std::hex << std::uppercase << state << " not reached ("
           << (endedElsewhere() ? "the update ended" : "timed out") << " within " << std::dec << timeoutMs
           << " ms): " << describe();
}

testing::AssertionResult EngineHarness::waitForWorkerEnd (int timeoutMs)
{
    if (pumpUntil ([&] { return !component->isThreadRunning(); }, timeoutMs))
        return testing::AssertionSuccess();

    return testing::AssertionFailure() << "the worker still ran after " << timeoutMs << " ms: " << describe();
}

void EngineHarness::runWholeUpdate()
{
    pressOk();
    ASSERT_TRUE (waitForState (STATE_READY));
    pressStart();
    ASSERT_TRUE (waitForWorkerEnd());
}

std::string EngineHarness::describe() const
{
    std::ostringstream text;
    text << std::hex << std::uppercase << std::setfill ('0');

    if (component == nullptr)
    {
        text << "no component";
    }
    else
    {
        text << "state 0x" << std::setw (4) << component->m_state.load() << ", progress " << std::dec
             << component->m_progress.load() << ", worker "
             << (component->isThreadRunning() ? "running" : "ended") << std::hex;
    }

    const auto received = controller.model.received();
    text << "; the controller received " << std::dec << received.size() << " requests" << std::hex;

    if (!received.empty())
    {
        const auto& last = received.back();
        text << ", the last " << std::setw (2) << int (last[Report::target]) << ' ' << std::setw (2)
             << int (last[Report::command]);
    }

    return text.str();
}

}  // namespace qvxtest
