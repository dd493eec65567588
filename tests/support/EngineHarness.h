#pragma once

#include "support/ControllerModel.h"
#include "support/SimulatedController.h"
#include "support/TemporaryFolder.h"
#include "support/UpdateFileBuilder.h"
#include "ui/MainComponent.h"

#include <memory>

namespace qvxtest
{

/** A main component wired to a simulated controller and an update file in a folder of its own,
    with short time-outs, and the steps a user's buttons would take. Message thread. */
class EngineHarness
{
public:
    /** Exchanges wait this long in tests instead of 10 s. */
    static constexpr int responseTimeoutMs = 300;

    /** Installs the simulated HID devices; call before anything opens the HID manager. */
    EngineHarness();
    ~EngineHarness();

    /** Writes the update file (distinct image patterns, the given firmware version, system
        version 1.10) beside the component. */
    juce::File writeUpdateFile (std::array<uint8_t, 4> firmwareVersion = { 0x20, 0x20, 0x02, 0x02 });

    /** Creates the main component; the controller link looks for the controller at once. */
    MainComponent& createComponent();

    /** What OK on the language screen does: check the file, then start the worker. */
    void pressOk();
    /** What Start does on the version screen. */
    void pressStart();

    /** Runs the message loop until the state is the given one; false on time-out. */
    bool waitForState (int32_t state, int timeoutMs = 10000);
    /** Runs the message loop until the worker has ended; false on time-out. */
    bool waitForWorkerEnd (int timeoutMs = 120000);

    /** OK, then Start once the versions are shown, then wait for the end. */
    void runWholeUpdate();

    TemporaryFolder folder;
    /** What writeUpdateFile() wrote. */
    juce::MemoryBlock fileContents;
    SimulatedController controller;
    std::unique_ptr<MainComponent> component;
};

}  // namespace qvxtest
