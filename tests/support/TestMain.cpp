// The tests' entry point: the main thread becomes JUCE's message thread, as in the program.
// These tests open no window, so they run without any X connection.
#include "hid/HidDeviceList.h"
#include "support/PrivateNamespaces.h"
#include "support/SimulatedHid.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

namespace
{

/** Puts back, after each test, the process-wide state that a test may leave behind, so that the
    tests pass alike one per process (as ctest runs them) and all in one process. */
class FreshStateBetweenTests : public testing::EmptyTestEventListener
{
    void OnTestEnd (const testing::TestInfo&) override
    {
        qvxtest::SimulatedHid::reset();

        // The process's one HID manager and its snapshot, as before the first build. A manager
        // scheduled on the run loop lives on there, as one that HidUtil forgot does.
        HIDReleaseDeviceList();
        if (gIOHIDManagerRef != nullptr)
            CFRelease (gIOHIDManagerRef);
        gIOHIDManagerRef = nullptr;
        gDeviceIndex = 0;
    }
};

}  // namespace

int main (int argc, char** argv)
{
    qvxtest::forgetDisplay();
    testing::InitGoogleTest (&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append (new FreshStateBetweenTests);
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    return RUN_ALL_TESTS();
}
