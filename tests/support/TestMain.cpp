// The tests' entry point: the main thread becomes JUCE's message thread, as in the program.
// These tests open no window, so they run without any X connection.
#include "support/PrivateNamespaces.h"

#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>

int main (int argc, char** argv)
{
    qvxtest::forgetDisplay();
    testing::InitGoogleTest (&argc, argv);
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    return RUN_ALL_TESTS();
}
