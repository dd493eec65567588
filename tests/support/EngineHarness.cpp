#include "support/EngineHarness.h"

#include "support/MessageLoop.h"

#include <gtest/gtest.h>

namespace qvxtest
{

EngineHarness::EngineHarness()
{
    SimulatedHid::install();
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
    return builder.writeTo (folder.get());
}

MainComponent& EngineHarness::createComponent()
{
    component = std::make_unique<MainComponent>();
    component->m_updateFolderForTests = folder.get();
    component->m_responseTimeoutMs = responseTimeoutMs;
    return *component;
}

void EngineHarness::pressOk()
{
    component->CheckUpdFile();
    ASSERT_EQ (component->m_fileReady, 8) << "the update file was not accepted";
    component->m_responseEvent.reset();
    component->startThread();
}

void EngineHarness::pressStart()
{
    auto ready = static_cast<int32_t> (STATE_READY);
    component->m_startPressed = true;
    ASSERT_TRUE (component->m_state.compare_exchange_strong (ready, STATE_START))
        << "not on the version screen";
}

bool EngineHarness::waitForState (int32_t state, int timeoutMs)
{
    return pumpUntil ([&] { return component->m_state.load() == state; }, timeoutMs);
}

bool EngineHarness::waitForWorkerEnd (int timeoutMs)
{
    return pumpUntil ([&] { return !component->isThreadRunning(); }, timeoutMs);
}

void EngineHarness::runWholeUpdate()
{
    pressOk();
    ASSERT_TRUE (waitForState (STATE_READY)) << "state " << std::hex << component->m_state.load();
    pressStart();
    ASSERT_TRUE (waitForWorkerEnd());
}

}  // namespace qvxtest
