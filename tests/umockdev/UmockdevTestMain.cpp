// The entry point of the tests of the Linux controller link against devices faked with umockdev:
// the process runs under umockdev's preload library, in private mount and network namespaces,
// with the tests on JUCE's message thread and no display at all.
#include "support/PrivateNamespaces.h"
#include "support/umockdev/UmockdevTestbed.h"

#include <gtest/gtest.h>
#include <juce_events/juce_events.h>

int main (int argc, char** argv)
{
    if (const auto status = qvxtest::startUmockdevTestProcess (argc, argv); status >= 0)
        return status;

    qvxtest::forgetDisplay();

    const juce::ScopedJuceInitialiser_GUI juceInitialiser;
    return RUN_ALL_TESTS();
}
