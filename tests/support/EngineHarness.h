#pragma once

#include "support/ControllerModel.h"
#include "support/SimulatedController.h"
#include "support/TemporaryFolder.h"
#include "support/TestEngine.h"
#include "support/UpdateFileBuilder.h"
#include "update/UpdateEngine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace qvxtest
{

/** An update engine (or the window built on it) wired to a simulated controller and an update
    file in a folder of its own, and the steps a user's buttons would take. Exchanges wait for
    their answers as long as in the program, so that a loaded machine makes a test slower, not
    wrong. Message thread. */
class EngineHarness
{
public:
    /** How long an exchange waits for its answer here: the program's own time-out, which the
        harness leaves as it is. */
    static constexpr int responseTimeoutMs = 10000;
    /** How long an exchange waits after expectSilence(). */
    static constexpr int silenceTimeoutMs = 300;

    EngineHarness();
    ~EngineHarness();

    /** Writes the update file (distinct image patterns, the given firmware version, system
        version 1.10) beside the component, into updateFile. */
    juce::File writeUpdateFile (std::array<uint8_t, 4> firmwareVersion = { 0x20, 0x20, 0x02, 0x02 });

    /** The opening most tests share, once `controller.model` is set up: writes the update file
        with this firmware version, plugs the controller in and creates the engine. */
    TestEngine& start (std::array<uint8_t, 4> firmwareVersion = { 0x20, 0x20, 0x02, 0x02 });

    /** Creates the engine under test with the settings: a TestEngine, or the class given (the
        window's MainComponent); its controller link looks for the controller at once. */
    template <typename Component = TestEngine>
    Component& createComponent()
    {
        auto created = std::make_unique<Component> (settings);
        auto& result = *created;
        component = std::move (created);
        return result;
    }

    /** For a test whose point is a request that goes unanswered: the engine created next waits
        only silenceTimeoutMs for each answer. Only where no request is to be answered before the
        silent one: before OK when the first request is the silent one. */
    void expectSilence();

    /** What OK on the language screen does: check the file, then start the worker. */
    void pressOk();
    /** What Start does on the version screen. */
    void pressStart();

    /** OK, then the wait for the version screen; on failure it says what was seen. */
    testing::AssertionResult toVersionScreen();

    /** Runs the message loop until the state is the given one. On time-out the failure says
        what was seen (describe()). */
    testing::AssertionResult waitForState (int32_t state, int timeoutMs = 60000);
    /** Runs the message loop until the worker has ended; on time-out the failure says what was
        seen. */
    testing::AssertionResult waitForWorkerEnd (int timeoutMs = 240000);

    /** OK, then Start once the versions are shown, then wait for the end. */
    void runWholeUpdate();

    /** The component's state, progress and worker, and the controller's last request, for the
        message of a failed wait. */
    std::string describe() const;

    TemporaryFolder folder;
    /** What the engine is made with: the folder above, the simulated HID devices and the
        program's time-out. Change them before createComponent(). */
    EngineSettings settings;
    /** What writeUpdateFile() wrote, and where. */
    juce::MemoryBlock fileContents;
    juce::File updateFile;
    SimulatedController controller;
    std::unique_ptr<UpdateEngine> component;
};

}  // namespace qvxtest
