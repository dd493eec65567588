#include "support/EngineHarness.h"
#include "support/MessageLoop.h"

#include <gtest/gtest.h>

using namespace qvxtest;

TEST (ControllerExchange, AShortAnswerKeepsTheRestOfTheEarlierOne)
{
    EngineHarness harness;
    harness.controller.attach();
    auto& component = harness.createComponent();

    ReportBytes full;
    for (size_t i = 0; i < full.size(); ++i)
        full[i] = static_cast<uint8_t> (0xF0 + (i % 16));

    harness.controller.sendInputReport (full.data(), full.size());
    ASSERT_TRUE (pumpUntil ([&] { return component.m_response[63] == full[63]; }));

    const uint8_t shortAnswer[8] = { 0xF1, 0x80, 1, 2, 3, 4, 5, 6 };
    harness.controller.sendInputReport (shortAnswer, sizeof (shortAnswer));
    ASSERT_TRUE (pumpUntil ([&] { return component.m_response[0] == 0xF1; }));

    EXPECT_EQ (std::memcmp (component.m_response, shortAnswer, sizeof (shortAnswer)), 0);
    EXPECT_EQ (std::memcmp (component.m_response + 8, full.data() + 8, 56), 0);

    // Nobody waits while the worker does not run: the answer is kept, nobody is woken.
    EXPECT_FALSE (component.m_responseEvent.wait (0));
}
