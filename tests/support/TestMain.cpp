// The tests' entry point: the main thread becomes JUCE's message thread, as in the program.
// These tests open no window, so they run without any X connection.
#include "support/PrivateNamespaces.h"
#include "support/SimulatedHid.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

namespace
{

/** Unplugs the simulated devices a test left attached, so that the tests pass alike one per
    process (as ctest runs them) and all in one process. */
class FreshBusBetweenTests : public testing::EmptyTestEventListener
{
    void OnTestEnd (const testing::TestInfo&) override { qvxtest::SimulatedHid::reset(); }
};

}  // namespace

int main (int argc, char** argv)
{
    qvxtest::forgetDisplay();
    testing::InitGoogleTest (&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append (new FreshBusBetweenTests);
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    return RUN_ALL_TESTS();
}
