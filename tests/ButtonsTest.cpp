// The updater driven through its own buttons against the simulated controller. A quit is seen
// where it leaves the component: the application object's systemRequestedQuit, which in the
// program stops JUCE's message loop. Here the loop keeps running, so that the tests after this
// one in the same process still have one.
#include "hid/HidCtrl.h"
#include "support/EngineHarness.h"
#include "support/MessageLoop.h"
#include "support/UpdateStateProbe.h"
#include "ui/AlineButton.h"
#include "ui/MainComponent.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

using namespace qvxtest;
using Kind = ControllerModel::Fault::Kind;

namespace
{

/** A JUCE application object, so that the component's quit reaches JUCEApplication::quit. */
class TestApplication : public juce::JUCEApplication
{
public:
    const juce::String getApplicationName() override { return "ButtonsTest"; }
    const juce::String getApplicationVersion() override { return "1"; }
    void initialise (const juce::String&) override {}
    void shutdown() override {}
    void systemRequestedQuit() override { ++quitRequests; }

    int quitRequests = 0;
};

juce::JUCEApplicationBase* createTestApplication()
{
    return nullptr;
}

class Buttons : public ::testing::Test
{
protected:
    Buttons()
    {
        juce::JUCEApplicationBase::createInstance = &createTestApplication;
        application = std::make_unique<TestApplication>();
    }

    ~Buttons() override
    {
        harness.component.reset();
        application.reset();
    }

    /** The window's content on the language screen; each exchange waits responseTimeoutMs. */
    MainComponent& start (bool withFile = true, bool attached = true,
                          int responseTimeoutMs = EngineHarness::responseTimeoutMs)
    {
        if (withFile)
            harness.writeUpdateFile();
        if (attached)
            harness.controller.attach();

        harness.settings.responseTimeoutMs = responseTimeoutMs;
        auto& component = harness.createComponent<MainComponent>();
        component.setSize (406, 154);
        return component;
    }

    bool quitRequested() const { return application->quitRequests > 0; }

    void click (AlineButton* button)
    {
        button->triggerClick();
        pumpFor (20);
    }

    size_t cancelReports() { return harness.controller.model.receivedWithCommand (CMD_CANCEL).size(); }

    /** The commands of the reports the controller received from the index on, for messages. */
    juce::String commandsFrom (size_t first)
    {
        juce::String text;
        const auto received = harness.controller.model.received();
        for (auto i = first; i < received.size(); ++i)
            text << juce::String::toHexString (received[i][Report::command]) << " ";
        return text.isEmpty() ? "none" : text;
    }

    /** Runs the message loop until the quit is requested, noting every state on the way. */
    bool pumpUntilQuit (MainComponent& component, std::vector<int32_t>& statesSeen, int timeoutMs = 20000)
    {
        return pumpUntil (
            [&]
            {
                const auto state = component.m_state.load();
                if (statesSeen.empty() || statesSeen.back() != state)
                    statesSeen.push_back (state);
                return quitRequested();
            },
            timeoutMs);
    }

    static juce::String describe (const std::vector<int32_t>& states)
    {
        juce::String text;
        for (auto state : states)
            text << "0x" << juce::String::toHexString (state) << " ";
        return text;
    }

    EngineHarness harness;
    std::unique_ptr<TestApplication> application;
};

TEST_F (Buttons, AWholeUpdateFromTheLanguageScreenToTheQuitAfterCompletion)
{
    auto& component = start();
    harness.controller.setAnswerDelayMicroseconds (300);

    click (component.m_pOkButton);
    ASSERT_TRUE (harness.waitForState (STATE_READY));
    pumpFor (50);
    EXPECT_EQ (component.m_pOkButton->getButtonText(), "Start");
    EXPECT_TRUE (component.m_pCancelButton->isVisible());

    juce::String versionText;
    for (int i = 0; i < component.m_textLayout.getNumGlyphs(); ++i)
        versionText += juce::String::charToString (component.m_textLayout.getGlyph (i).getCharacter());
    EXPECT_TRUE (versionText.contains ("Ver. 1.00\n")) << versionText;
    EXPECT_TRUE (versionText.endsWith ("Ver. 1.10")) << versionText;

    click (component.m_pOkButton);

    // The bar moves while the blocks go out, and only the bar is shown.
    std::vector<double> shown;
    ASSERT_TRUE (pumpUntil (
        [&]
        {
            if (component.m_pProgressBar->isVisible())
                shown.push_back (component.m_shownProgress);
            return component.m_state.load() == STATE_COMPLETE;
        },
        240000))
        << harness.describe();
    ASSERT_FALSE (shown.empty());
    EXPECT_GT (std::count_if (shown.begin(), shown.end(), [] (double p) { return p > 0.0 && p < 1.0; }), 0);
    EXPECT_TRUE (std::is_sorted (shown.begin(), shown.end()));

    ASSERT_TRUE (pumpUntil ([&] { return component.m_finished.load() == 1; })) << harness.describe();
    pumpFor (50);
    EXPECT_TRUE (component.m_pOkButton->isVisible());
    EXPECT_FALSE (quitRequested());

    click (component.m_pOkButton);
    EXPECT_TRUE (quitRequested());
    EXPECT_FALSE (component.isThreadRunning());
    EXPECT_EQ (cancelReports(), 0u);

    const auto file = UpdateFileBuilder()
                          .distinctImagePatterns()
                          .firmwareVersion ({ 0x20, 0x20, 0x02, 0x02 })
                          .systemVersion ("1.10")
                          .build();
    const auto memory = harness.controller.model.memory();
    const auto* bytes = static_cast<const uint8_t*> (file.getData());
    EXPECT_TRUE (std::equal (bytes, bytes + 0x1CE000, memory.begin()));
    EXPECT_TRUE (std::equal (bytes + 0x1D0000, bytes + 0x1E0000, memory.begin() + 0x1D0000));
}

TEST_F (Buttons, OkOnTheCompletionScreenQuitsOnlyOnceTheCompletionReportWentOut)
{
    auto& component = start();
    component.m_startPressed = true;
    UpdateStateProbe::put (component.m_state, STATE_COMPLETE);
    component.UpdateDrawing();

    click (component.m_pOkButton);
    EXPECT_FALSE (quitRequested());

    component.m_finished = 1;
    click (component.m_pOkButton);
    EXPECT_TRUE (quitRequested());
}

TEST_F (Buttons, CloseOnTheVersionScreenSendsTheAbortAndQuitsOnItsAnswerNotAtTheTimeOut)
{
    // Long enough that waiting for the time-out cannot pass; the answer comes 200 ms late.
    auto& component = start (true, true, 60000);
    click (component.m_pOkButton);
    ASSERT_TRUE (harness.waitForState (STATE_READY));

    harness.controller.model.addFault ({ CMD_CANCEL, 0, -1 }, { Kind::delay, 0, 200 });

    // The message loop keeps running during the wait (so the window paints): a timer sees the
    // report out and the quit not yet requested.
    bool ranDuringWait = false;
    struct Probe : juce::Timer
    {
        std::function<void()> tick;
        void timerCallback() override { tick(); }
    } probe;
    probe.tick = [&] { ranDuringWait = ranDuringWait || (cancelReports() == 1 && !quitRequested()); };
    probe.startTimer (10);

    // The second click arrives during the wait for the answer and must not send again.
    component.m_pCancelButton->triggerClick();
    component.m_pCancelButton->triggerClick();

    ASSERT_TRUE (pumpUntil ([this] { return quitRequested(); }, 20000));
    probe.stopTimer();
    EXPECT_TRUE (ranDuringWait);
    EXPECT_EQ (cancelReports(), 1u);
    EXPECT_FALSE (component.isThreadRunning());

    const auto cancel = harness.controller.model.receivedWithCommand (CMD_CANCEL).front();
    EXPECT_EQ (cancel[Report::target], TARGET_DEVICE);
}

struct AbortWaitCase
{
    const char* name;
    /** The worker's request whose answer comes 500 ms late, after the abort went out. */
    uint8_t lateCommand;
    int lateFromReport;
    ControllerModel::Fault cancelAnswer;  // how the controller answers the abort
    int responseTimeoutMs;
    bool removeControllerDuringTheWait;
};

void PrintTo (const AbortWaitCase& c, std::ostream* stream)
{
    *stream << c.name;
}

class AbortWait : public Buttons, public ::testing::WithParamInterface<AbortWaitCase>
{
};

// Cancel while a request of the transfer is awaited; its answer comes late, after the abort went
// out. The click returns at once, the wait ends only on the abort's own answer, its time-out or
// the controller's removal, and no error ever shows.
TEST_P (AbortWait, CancelDuringTheTransferEndsOnlyOnTheAbortsOwnEnd)
{
    const auto& c = GetParam();
    auto& component = start (true, true, c.responseTimeoutMs);  // the worker's exchanges too
    auto& model = harness.controller.model;
    model.addFault ({ c.lateCommand, c.lateFromReport, 1 }, { Kind::delay, 0, 500 });
    model.addFault ({ CMD_CANCEL, 0, -1 }, c.cancelAnswer);

    click (component.m_pOkButton);
    ASSERT_TRUE (harness.waitForState (STATE_READY));
    click (component.m_pOkButton);
    ASSERT_TRUE (pumpUntil (
        [&]
        {
            const auto received = model.received();
            return static_cast<int> (received.size()) > c.lateFromReport &&
                   received.back()[Report::command] == c.lateCommand;
        },
        20000))
        << "state 0x" << juce::String::toHexString (component.m_state.load());

    if (c.lateCommand == CMD_START)
    {
        ASSERT_EQ (component.m_state.load(), STATE_START);
        EXPECT_TRUE (component.m_pCancelButton->isVisible()) << "Close is on the screen";
    }

    const auto reportsBefore = harness.controller.model.received().size();
    const auto clicked = juce::Time::getMillisecondCounterHiRes();
    component.buttonClicked (component.m_pCancelButton);

    // Nothing of the message loop ran inside the click: the quit cannot have come yet.
    EXPECT_FALSE (quitRequested()) << "the click waited for the answer itself";
    EXPECT_FALSE (component.isThreadRunning());

    // A second click during the wait does nothing.
    component.buttonClicked (component.m_pCancelButton);

    std::vector<int32_t> states;

    if (c.removeControllerDuringTheWait)
    {
        pumpFor (1500);
        EXPECT_FALSE (quitRequested());
        harness.controller.remove();
    }

    ASSERT_TRUE (pumpUntilQuit (component, states))
        << "states " << describe (states) << "; reports since the click: " << commandsFrom (reportsBefore);
    const auto waited = juce::Time::getMillisecondCounterHiRes() - clicked;

    // The late answer comes 500 ms after the click, the abort's end 1500 ms or more.
    EXPECT_GE (waited, 1400.0) << "the wait ended on another answer than the abort's";
    EXPECT_EQ (cancelReports(), 1u) << commandsFrom (reportsBefore);
    EXPECT_EQ (commandsFrom (reportsBefore), "9 ") << "only the abort after the click";
    EXPECT_EQ (std::count_if (states.begin(), states.end(), [] (int32_t s) { return UpdState::isError (s); }),
               0)
        << "states " << describe (states);
    EXPECT_FALSE (UpdState::isError (component.m_state.load()));
}

INSTANTIATE_TEST_SUITE_P (
    Ends, AbortWait,
    ::testing::Values (
        AbortWaitCase{ "ItsAnswerDuringTheData", CMD_DATA, 40, { Kind::delay, 0, 1500 }, 60000, false },
        AbortWaitCase{ "ItsAnswerOnTheStartScreen", CMD_START, 0, { Kind::delay, 0, 1500 }, 60000, false },
        AbortWaitCase{ "ItsTimeOut", CMD_DATA, 40, { Kind::silence }, 1500, false },
        AbortWaitCase{ "TheControllersRemoval", CMD_DATA, 40, { Kind::silence }, 60000, true }),
    [] (const auto& info) { return std::string (info.param.name); });

TEST_F (Buttons, CloseOnTheVersionScreenWaitsPastAStrayAnswerForTheAbortsOwn)
{
    auto& component = start (true, true, 60000);
    harness.controller.model.addFault ({ CMD_CANCEL, 0, -1 }, { Kind::delay, 0, 1500 });
    click (component.m_pOkButton);
    ASSERT_TRUE (harness.waitForState (STATE_READY));

    const auto clicked = juce::Time::getMillisecondCounterHiRes();
    component.buttonClicked (component.m_pCancelButton);
    ASSERT_TRUE (pumpUntil ([&] { return cancelReports() == 1; }));
    EXPECT_FALSE (quitRequested());

    // A late duplicate of the version answer, to the controller as a whole, before the abort's.
    pumpFor (400);
    const uint8_t versionAgain[11] = { 0xF0, 0x82, 0x20, 0x19, 0x01, 0x01, 0x00, '1', '.', '0', '0' };
    harness.controller.sendInputReport (versionAgain, sizeof (versionAgain));

    std::vector<int32_t> states;
    ASSERT_TRUE (pumpUntilQuit (component, states)) << "states " << describe (states);
    EXPECT_GE (juce::Time::getMillisecondCounterHiRes() - clicked, 1400.0)
        << "the wait ended on another answer than the abort's";
}

TEST_F (Buttons, CloseAfterAControllerArrivedLateQuitsOnTheAbortsAnswer)
{
    // Only the answer can end the wait in time.
    auto& component = start (true, false, 60000);
    click (component.m_pOkButton);
    ASSERT_EQ (component.m_state.load(), ERR_NOT_CONNECTED);

    harness.controller.attach();
    ASSERT_TRUE (pumpUntil ([&] { return component.m_pHidCtrl->m_connected.load() != 0; }, 10000));

    component.buttonClicked (component.m_pCancelButton);
    EXPECT_FALSE (quitRequested()) << "the click waited for the answer itself";

    std::vector<int32_t> states;
    ASSERT_TRUE (pumpUntilQuit (component, states))
        << "states " << describe (states) << "; reports: " << commandsFrom (0);
    EXPECT_EQ (cancelReports(), 1u);
    EXPECT_EQ (component.m_state.load(), ERR_NOT_CONNECTED);
}

TEST_F (Buttons, CancelDuringTheStartExchangeStopsTheWorkerBeforeTheAbortGoesOut)
{
    auto& component = start (true, true, 60000);
    click (component.m_pOkButton);
    ASSERT_TRUE (harness.waitForState (STATE_READY));

    // The controller keeps the start report unanswered: the worker waits on the event.
    harness.controller.model.addFault ({ CMD_START, 0, -1 }, { Kind::silence });
    click (component.m_pOkButton);
    ASSERT_TRUE (
        pumpUntil ([&] { return !harness.controller.model.receivedWithCommand (CMD_START).empty(); }));

    component.m_pCancelButton->triggerClick();
    ASSERT_TRUE (pumpUntil ([this] { return quitRequested(); }, 20000));

    EXPECT_FALSE (component.isThreadRunning());
    EXPECT_EQ (cancelReports(), 1u);
    const auto received = harness.controller.model.received();
    EXPECT_EQ (received.back()[Report::command], CMD_CANCEL) << "nothing of the worker after the abort";
}

struct QuitCase
{
    const char* name;
    bool withFile;
    bool attached;
    int32_t shownState;
    bool reportSent;
};

class ErrorScreens : public Buttons, public ::testing::WithParamInterface<QuitCase>
{
};

TEST_P (ErrorScreens, CloseQuitsAndSendsTheAbortOnlyWhereItCanGoOut)
{
    const auto& c = GetParam();
    auto& component = start (c.withFile, c.attached, 60000);

    click (component.m_pOkButton);
    ASSERT_TRUE (harness.waitForState (c.shownState)) << std::hex << component.m_state.load();
    pumpFor (20);
    EXPECT_FALSE (component.m_pOkButton->isVisible());
    EXPECT_EQ (component.m_pCancelButton->getButtonText(), "Close");

    // OK is hidden, but pressed it would quit too: Start was never pressed.
    click (component.m_pCancelButton);
    ASSERT_TRUE (pumpUntil ([this] { return quitRequested(); }, 20000));
    EXPECT_EQ (cancelReports(), c.reportSent ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P (Cases, ErrorScreens,
                          ::testing::Values (QuitCase{ "NoController", true, false, ERR_NOT_CONNECTED,
                                                       false },
                                             QuitCase{ "NoFile", false, true, ERR_FILE_NOT_FOUND, true }),
                          [] (const auto& info) { return std::string (info.param.name); });

struct FileCase
{
    const char* name;
    std::function<UpdateFileBuilder (UpdateFileBuilder)> change;
    int32_t expected;
};

class FileErrors : public Buttons, public ::testing::WithParamInterface<FileCase>
{
};

TEST_P (FileErrors, ShowTheFileErrorScreenWithoutStartingTheWorker)
{
    const auto& c = GetParam();
    auto& component = start (false, true);
    c.change (UpdateFileBuilder().distinctImagePatterns().systemVersion ("1.10"))
        .writeTo (harness.folder.get());

    click (component.m_pOkButton);
    EXPECT_EQ (component.m_state.load(), c.expected);
    EXPECT_FALSE (component.isThreadRunning());
    EXPECT_FALSE (component.m_pOkButton->isVisible());
    EXPECT_EQ (component.m_textLayout.getGlyph (0).getCharacter(), 'T') << "the file error text";
}

INSTANTIATE_TEST_SUITE_P (
    Cases, FileErrors,
    ::testing::Values (FileCase{ "Size", [] (UpdateFileBuilder b) { return b.size (1000); }, ERR_FILE_SIZE },
                       FileCase{ "Crc", [] (UpdateFileBuilder b) { return b.wrongCrc(); }, ERR_FILE_CRC },
                       FileCase{ "SystemVersion",
                                 [] (UpdateFileBuilder b) { return b.systemVersion ("1-10"); },
                                 ERR_FILE_VERSION }),
    [] (const auto& info) { return std::string (info.param.name); });

TEST_F (Buttons, RemovalDuringTheTransferShowsItsErrorAndCloseQuitsAtOnceWithoutAReport)
{
    auto& component = start (true, true, 60000);
    harness.controller.model.addFault ({ CMD_DATA, 40, 1 }, { Kind::removal });

    click (component.m_pOkButton);
    ASSERT_TRUE (harness.waitForState (STATE_READY));
    click (component.m_pOkButton);
    ASSERT_TRUE (harness.waitForState (ERR_REMOVED, 20000));
    pumpFor (50);
    EXPECT_TRUE (component.m_pCancelButton->isVisible());

    click (component.m_pCancelButton);
    EXPECT_TRUE (quitRequested());
    EXPECT_EQ (cancelReports(), 0u);
}

TEST_F (Buttons, OkPressedAgainWhileTheFirstPassRunsChecksTheFileOnlyOnce)
{
    auto& component = start();
    harness.controller.model.addFault ({ CMD_CHECK_MODE, 0, 1 }, { Kind::delay, 0, 300 });

    // A check opens the file once, and nothing else opens it before the transfer: the kernel
    // tells of each open (and close, so that two opens are never merged into one event).
    const auto file = harness.folder.get().getChildFile ("qvx720__v100.bin");
    ASSERT_TRUE (file.existsAsFile());
    const int watch = ::inotify_init1 (IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE (watch, 0) << std::strerror (errno);
    ASSERT_GE (::inotify_add_watch (watch, file.getFullPathName().toRawUTF8(), IN_OPEN | IN_CLOSE_NOWRITE),
               0);

    component.m_pOkButton->triggerClick();
    pumpFor (50);
    component.m_pOkButton->triggerClick();

    ASSERT_TRUE (harness.waitForState (STATE_READY));

    int checks = 0;
    alignas (inotify_event) char buffer[4096];
    for (ssize_t got; (got = ::read (watch, buffer, sizeof (buffer))) > 0;)
        for (ssize_t at = 0; at < got;)
        {
            const auto* event = reinterpret_cast<const inotify_event*> (buffer + at);
            checks += (event->mask & IN_OPEN) != 0 ? 1 : 0;
            at += static_cast<ssize_t> (sizeof (inotify_event) + event->len);
        }
    ::close (watch);

    EXPECT_EQ (checks, 1);
}

TEST_F (Buttons, OkDoesWhatTheScreenOnShowOffersNotWhatTheWorkerHasMovedOnTo)
{
    // The worker has set the state; its redraw has not come yet.
    struct Case
    {
        const char* name;
        int32_t shown;
        int32_t state;
    };

    const Case cases[] = {
        // Start would be taken before the versions were on the screen.
        { "versions ready under the language screen", STATE_INIT, STATE_READY },
        // OK would quit before the error was on the screen.
        { "an error under the language screen", STATE_INIT, ERR_TIMEOUT },
        // Start would quit.
        { "an error under the version screen", STATE_READY, ERR_TIMEOUT },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto& component = start (false, false);
        pumpFor (50);  // the list's first notification redraws the screen
        component.m_fileReady = 8;
        UpdateStateProbe::put (component.m_state, c.shown);
        component.UpdateDrawing();
        UpdateStateProbe::put (component.m_state, c.state);

        click (component.m_pOkButton);
        EXPECT_EQ (component.m_state.load(), c.state) << std::hex << component.m_state.load();
        EXPECT_FALSE (component.m_startPressed);
        EXPECT_FALSE (quitRequested());

        // Once the screen has caught up, OK does what it offers.
        component.UpdateDrawing();
        click (component.m_pOkButton);

        if (c.state == STATE_READY)
        {
            EXPECT_EQ (component.m_state.load(), STATE_START);
        }
        else
        {
            EXPECT_TRUE (quitRequested());
        }

        application->quitRequests = 0;
    }
}

TEST_F (Buttons, DestructionDuringTheTransferStopsTheWorker)
{
    auto& component = start();
    click (component.m_pOkButton);
    ASSERT_TRUE (harness.waitForState (STATE_READY));
    click (component.m_pOkButton);
    ASSERT_TRUE (pumpUntil ([&] { return component.m_state.load() >= STATE_DATA; })) << harness.describe();

    harness.component.reset();
    EXPECT_FALSE (quitRequested());
}

}  // namespace
