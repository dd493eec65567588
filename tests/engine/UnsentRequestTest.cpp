// A request that cannot reach a controller that stays is not awaited: the exchange ends once the
// short wait for a removal has passed, and standard error says why.
#include "hid/HidCtrl.h"
#include "support/EngineHarness.h"
#include "support/MessageLoop.h"
#include "support/StderrCapture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <ostream>

using namespace qvxtest;

namespace
{

struct UnsentCase
{
    const char* name;
    /** Spoils the controller before the link finds it. */
    std::function<void (SimulatedHidDevice&)> beforeLink;
    /** Spoils it once the link has it open. */
    std::function<void (SimulatedHidDevice&)> afterLink;
    /** What standard error must say, with the device's node in place of %s. */
    std::vector<std::string> said;
};

const UnsentCase unsentCases[] = {
    { "NodeThatMayNotBeOpened",
      [] (SimulatedHidDevice& d) { d.failNextOpen (EACCES); },
      nullptr,
      { "Cannot open the HID device %s: Permission denied\n", "packaging/70-qvx720.rules",
        "Request F0 00 was not sent to the controller.\n" } },
    { "WritesThatFail",
      nullptr,
      [] (SimulatedHidDevice& d) { d.failOutputReports (EPIPE); },
      { "Cannot send to the HID device %s: Broken pipe\n",
        "Request F0 00 was not sent to the controller.\n" } },
};

void PrintTo (const UnsentCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string withNode (std::string text, const std::string& node)
{
    if (const auto at = text.find ("%s"); at != std::string::npos)
        text.replace (at, 2, node);
    return text;
}

struct UnsentRequest : testing::TestWithParam<UnsentCase>
{
};

}  // namespace

TEST_P (UnsentRequest, EndsTheExchangeWithATimeOutAndSaysWhy)
{
    const auto& row = GetParam();
    EngineHarness harness;
    harness.writeUpdateFile();
    const auto device = SimulatedHid::attachController();
    if (row.beforeLink)
        row.beforeLink (*device);

    // An exchange that waited for its answer would hang this test.
    harness.settings.responseTimeoutMs = 24 * 3600 * 1000;

    StderrCapture stderrCapture;
    auto& component = harness.createComponent();
    ASSERT_EQ (component.m_pHidCtrl->m_connected.load(), 1);
    if (row.afterLink)
        row.afterLink (*device);

    harness.pressOk();

    ASSERT_TRUE (harness.waitForWorkerEnd (60000))
        << "still waiting for an answer in state " << std::hex << component.m_state.load();
    EXPECT_EQ (component.m_state.load(), ERR_TIMEOUT) << std::hex << component.m_state.load();
    EXPECT_TRUE (device->outputReports().empty());

    const auto text = stderrCapture.text();
    for (const auto& expected : row.said)
        EXPECT_NE (text.find (withNode (expected, "simulated:" + device->id())), std::string::npos)
            << "standard error does not say \"" << expected << "\" but:\n"
            << text;
}

INSTANTIATE_TEST_SUITE_P (ControllerThatCannotBeReached, UnsentRequest, testing::ValuesIn (unsentCases),
                          [] (const testing::TestParamInfo<UnsentCase>& info)
                          { return std::string (info.param.name); });
