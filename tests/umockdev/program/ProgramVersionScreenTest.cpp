// The version screen is the user's one look at the versions before the firmware is written: only
// a press that began on it starts the transfer. Start stands where OK stood, and the screen follows
// OK within moments, so the second press of a double click on OK, or a second Return, lands on
// Start. The built program against a QVX-720 faked with umockdev, real X clicks and keys through
// XTest, one fresh program per case.
#include "support/ProgramProtocol.h"
#include "umockdev/program/ProgramWithFakeController.h"

#include <iostream>

using qvxtest::ControllerModel;
using qvxtest::ProgramWithFakeController;

namespace
{

using namespace qvxtest::program;

// Where OK, then Start, stands: the middle of the right button place (w - 120, h - 40, 100, 20)
// in the 406 x 154 window; and a point of its face left of the caption.
const juce::Point<int> okAndStart{ 406 - 70, 154 - 30 };
const juce::Point<int> startFace{ 406 - 110, 154 - 30 };

// Nothing is to reach the controller after a press that does nothing; a program that took it
// sends the start report at once. A short while is the point here.
constexpr int silenceMs = 2000;

double now()
{
    return juce::Time::getMillisecondCounterHiRes();
}

void sleepUntil (double time)
{
    const auto left = time - now();
    if (left > 0)
        juce::Thread::sleep (juce::roundToInt (left));
}

struct VersionScreen : ProgramWithFakeController
{
    void SetUp() override
    {
        ProgramWithFakeController::SetUp();

        // The file's firmware is newer than the controller's, so the images are to be sent. The
        // controller refuses the start report, so that a transfer that starts ends at once on its
        // error screen, from which Close ends the program.
        controller.model.setFirmwareVersion ({ 0x20, 0x19, 0x01, 0x01 });
        controller.model.setSystemVersion ({ '1', '.', '0', '0' });
        controller.model.addFault ({ cmdStart, 0, -1 },
                                   { ControllerModel::Fault::Kind::answerCode, ansError });
        file.firmwareVersion ({ 0x20, 0x19, 0x05, 0x31 }).systemVersion ("1.02");

        ASSERT_TRUE (controller.plug());
        start (installWith (file));
        if (HasFatalFailure())
            return;

        waitForKeyboard();
    }

    bool showsTheVersions() { return showsVersionScreen ("1.00", "1.02"); }

    /** Whether Start shows its face pressed now. */
    bool startShowsPressed()
    {
        const auto colour = session.capture (window).getPixelAt (startFace.x, startFace.y);
        return colour.getBlue() > 200 && colour.getRed() < 140;
    }

    /** After a press that was to do nothing: no start report, Start not drawn pressed, and then
        one press a second later starts the transfer, and only one. */
    void expectOnlyALaterPressToStart (const std::function<void()>& press)
    {
        EXPECT_FALSE (controller.waitUntil ([&] { return received (cmdStart); }, silenceMs))
            << "the transfer started: " << commandsReceived();
        EXPECT_FALSE (startShowsPressed()) << "Start is left drawn pressed";
        session.saveScreenshot (window,
                                juce::String (testing::UnitTest::GetInstance()->current_test_info()->name())
                                    .replaceCharacters ("/", "-"));

        if (received (cmdStart))
            return;

        juce::Thread::sleep (1000);
        press();
        ASSERT_TRUE (controller.waitUntil ([&] { return received (cmdStart); }, stepTimeoutMs))
            << "a press a second later did not start the transfer: " << commandsReceived();

        // The controller refused the start: Close on the error screen ends the program.
        ASSERT_TRUE (showsScreen (0x0E41));
        ASSERT_TRUE (typeReturnUntil ([&] { return program->hasExited(); }, stepTimeoutMs));
        expectCleanExit();
        EXPECT_EQ (commandsReceived(), "00 01 08");
    }

    qvxtest::UpdateFileBuilder file;
};

struct DoubleClickOnOk : VersionScreen, testing::WithParamInterface<int>
{
};

}  // namespace

TEST_P (DoubleClickOnOk, ShowsTheVersionsAndStartsNothing)
{
    const auto gapMs = GetParam();
    const auto ok = session.boundsOnScreen (window).getTopLeft() + okAndStart;

    input.moveTo (ok.x, ok.y);
    juce::Thread::sleep (300);

    // Two clicks of 40 ms each, the second pressed gapMs after the first.
    const auto first = now();
    input.leftButton (true);
    juce::Thread::sleep (40);
    input.leftButton (false);
    sleepUntil (first + gapMs);
    input.leftButton (true);
    juce::Thread::sleep (40);
    input.leftButton (false);

    ASSERT_TRUE (showsTheVersions()) << "the version screen did not come; the controller received "
                                     << commandsReceived();
    expectOnlyALaterPressToStart ([&] { clickInWindow (okAndStart); });
}

INSTANTIATE_TEST_SUITE_P (GapsBetweenTheClicks, DoubleClickOnOk, testing::Values (120, 250, 400),
                          [] (const testing::TestParamInfo<int>& info)
                          { return std::to_string (info.param) + "ms"; });

TEST_F (VersionScreen, TwoReturnsFromTheLanguageScreenLeaveTheVersionsStanding)
{
    // Each held 100 ms, the second pressed 200 ms after the first.
    const auto first = now();
    input.returnKey (true);
    juce::Thread::sleep (100);
    input.returnKey (false);
    sleepUntil (first + 200);
    input.returnKey (true);
    juce::Thread::sleep (100);
    input.returnKey (false);

    ASSERT_TRUE (showsTheVersions()) << "the version screen did not come; the controller received "
                                     << commandsReceived();
    expectOnlyALaterPressToStart ([&] { pressReturn(); });
}

TEST_F (VersionScreen, AReturnOneSecondAfterTheVersionsShowStartsTheTransfer)
{
    pressReturn();
    ASSERT_TRUE (controller.waitUntil ([&] { return received (cmdCheckMode); }, stepTimeoutMs))
        << "OK did not start the checks";
    ASSERT_TRUE (showsTheVersions()) << "the controller received " << commandsReceived();

    juce::Thread::sleep (1000);
    const auto released = pressReturn();
    ASSERT_TRUE (controller.waitUntil ([&] { return received (cmdStart); }, stepTimeoutMs))
        << "one Return on the version screen did not start the transfer: " << commandsReceived();
    std::cout << "Return's release to the start report: " << juce::roundToInt (now() - released) << " ms"
              << std::endl;

    ASSERT_TRUE (showsScreen (0x0E41));
    ASSERT_TRUE (typeReturnUntil ([&] { return program->hasExited(); }, stepTimeoutMs));
    expectCleanExit();
    EXPECT_EQ (commandsReceived(), "00 01 08");
}
