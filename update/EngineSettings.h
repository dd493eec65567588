#pragma once

#include "platform/io/HidBackend.h"

#include <juce_core/juce_core.h>

/** What the update engine is given when it is made. The program gives its own folder and the
    Linux backend (Application::initialise); a test gives a folder and simulated devices of its
    own. There is no default for either, so that nothing reaches the machine's devices by leaving
    one out. */
struct EngineSettings
{
    EngineSettings (juce::File folder, platform::HidBackendFactory backend)
        : updateFolder (std::move (folder))
        , hidBackend (std::move (backend))
    {
    }

    /** Where the update file is looked for: in the program, the folder of the running program. */
    juce::File updateFolder;

    /** Where the controller link finds the HID devices: in the program, udev and hidraw. */
    platform::HidBackendFactory hidBackend;

    /** How long one exchange waits for the controller's answer. */
    int responseTimeoutMs = 10000;
};
