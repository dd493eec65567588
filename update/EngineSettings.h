#pragma once

#include "platform/ExecutableFile.h"
#include "platform/HidBackend.h"

#include <juce_core/juce_core.h>

/** What the update engine is given when it is made: the program's own values unless a caller
    gives others (the tests do). */
struct EngineSettings
{
    /** Where the update file is looked for: the folder of the running program. */
    juce::File updateFolder = platform::getRunningExecutableFile().getParentDirectory();

    /** How long one exchange waits for the controller's answer. */
    int responseTimeoutMs = 10000;

    /** Where the controller link finds the HID devices: udev and hidraw. */
    platform::HidBackendFactory hidBackend = platform::createLinuxHidBackend;
};
