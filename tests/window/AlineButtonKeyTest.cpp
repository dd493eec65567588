// The button's Return key, its mouse presses and its focus frame in a real window, with key and
// mouse events from the X server.
#include "platform/desktop/KeyRepeat.h"
#include "support/MessageLoop.h"
#include "ui/AlineButton.h"
#include "window/KeySender.h"
#include "window/XSession.h"
#include "window/XTestInput.h"
#include "window/XTestKeyboard.h"

#include <gtest/gtest.h>

namespace
{

struct ClickCounter : juce::Button::Listener
{
    void buttonClicked (juce::Button*) override { ++clicks; }
    int clicks = 0;
};

class ButtonInWindow : public testing::Test
{
protected:
    void SetUp() override
    {
        if (juce::SystemStats::getEnvironmentVariable ("DISPLAY", {}).isEmpty())
            GTEST_SKIP() << "needs the X display that the window tests' main starts";

        ASSERT_TRUE (keys.isConnected());
        ASSERT_TRUE (input.isAvailable()) << "no XTest on the display";
        window.setSize (200, 60);
        window.addAndMakeVisible (button);
        button.setBounds (50, 20, 100, 20);
        button.addListener (&counter);
        window.addToDesktop (0);
        window.setVisible (true);
        ASSERT_TRUE (
            qvxtest::pumpUntil ([this] { return window.isShowing() && window.getPeer() != nullptr; }));

        // The window must be mapped before it can take the focus.
        ASSERT_TRUE (qvxtest::pumpUntil (
            [this]
            {
                button.grabKeyboardFocus();
                return button.hasKeyboardFocus (false);
            }));
    }

    void TearDown() override
    {
        button.removeListener (&counter);
        window.removeFromDesktop();
    }

    unsigned long nativeWindow()
    {
        return (unsigned long)(juce::pointer_sized_uint)window.getPeer()->getNativeHandle();
    }

    juce::Colour faceMiddle()
    {
        return button.createComponentSnapshot (button.getLocalBounds()).getPixelAt (50, 10);
    }

    /** Gives the window the server's keyboard focus, so that XTest's keys reach it; false when
        it did not come. */
    bool takeTheServersKeyboard()
    {
        xKeyboard.focus (nativeWindow());
        return qvxtest::pumpUntil ([this] { return session.hasFocus (nativeWindow()); });
    }

    juce::Component window;
    AlineButton button{ "OK" };
    ClickCounter counter;
    qvxtest::KeySender keys;
    unsigned long time = 1000;
    qvxtest::XSession session;
    qvxtest::XTestInput input;
    qvxtest::XTestKeyboard xKeyboard;
};

using Key = qvxtest::KeySender::Key;

bool isPressedBlue (juce::Colour colour)
{
    return colour.getBlue() > 200 && colour.getRed() < 140;
}

}  // namespace

TEST_F (ButtonInWindow, ReturnHeldForTwoSecondsShowsPressedAndClicksOnceOnItsRelease)
{
    // As the program does once its window is made; the server's own repeats of a key held
    // through XTest then reach JUCE as presses without releases.
    ASSERT_TRUE (platform::useDetectableKeyRepeat()) << "the X server has no detectable auto-repeat";
    ASSERT_TRUE (takeTheServersKeyboard());

    struct PressCounter : juce::KeyListener
    {
        bool keyPressed (const juce::KeyPress&, juce::Component*) override
        {
            ++presses;
            return false;
        }
        int presses = 0;
    } pressCounter;
    button.addKeyListener (&pressCounter);

    input.returnKey (true);
    qvxtest::pumpFor (2000);

    EXPECT_GT (pressCounter.presses, 1) << "the server did not repeat the held key";
    EXPECT_EQ (counter.clicks, 0) << "a click while the key is held";
    EXPECT_TRUE (isPressedBlue (faceMiddle()));

    input.returnKey (false);
    EXPECT_TRUE (qvxtest::pumpUntil ([this] { return counter.clicks > 0; }));
    qvxtest::pumpFor (300);
    EXPECT_EQ (counter.clicks, 1) << "after " << pressCounter.presses << " presses";
    EXPECT_FALSE (isPressedBlue (faceMiddle()));
    button.removeKeyListener (&pressCounter);
}

TEST_F (ButtonInWindow, AMousePressThatBeganWhilePressesAreRefusedNeverShowsNorClicks)
{
    enum class Begun
    {
        during,          // the press began within the refusal
        before,          // the press was under way when the refusal began
        asADoubleClick,  // the press is the second of a double click whose first came before
    };

    struct Case
    {
        const char* name;
        Begun begun;
    };

    const Case cases[] = { { "pressed during the refusal", Begun::during },
                           { "pressed before the refusal", Begun::before },
                           { "second press of a double click begun before it", Begun::asADoubleClick } };
    const auto centre = button.getScreenBounds().getCentre();

    input.moveTo (centre.x, centre.y);
    qvxtest::pumpFor (100);

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        counter.clicks = 0;
        auto clicksBefore = 0;

        if (c.begun == Begun::during)
        {
            button.refusePressesFor (60000);
            input.leftButton (true);
        }
        else if (c.begun == Begun::before)
        {
            input.leftButton (true);
            ASSERT_TRUE (qvxtest::pumpUntil ([this] { return button.isDown(); }));
            button.refusePressesFor (60000);
        }
        else
        {
            // The first click counts; the refusal is over by the second press, whose place in the
            // double click refuses it all the same.
            input.leftButton (true);
            input.leftButton (false);
            ASSERT_TRUE (qvxtest::pumpUntil ([this] { return counter.clicks == 1; }));
            clicksBefore = 1;
            button.refusePressesFor (1);
            qvxtest::pumpFor (20);
            input.leftButton (true);
        }

        qvxtest::pumpFor (300);
        EXPECT_FALSE (isPressedBlue (faceMiddle())) << "held";
        input.leftButton (false);
        qvxtest::pumpFor (300);
        EXPECT_EQ (counter.clicks, clicksBefore);
        EXPECT_FALSE (isPressedBlue (faceMiddle())) << "released";

        // Once the refusal is over, a click is taken again; it is no double click any more.
        button.refusePressesFor (1);
        qvxtest::pumpFor (600);
        input.leftButton (true);
        EXPECT_TRUE (qvxtest::pumpUntil ([this] { return isPressedBlue (faceMiddle()); }));
        input.leftButton (false);
        EXPECT_TRUE (qvxtest::pumpUntil ([&] { return counter.clicks > clicksBefore; }));
        qvxtest::pumpFor (300);
        EXPECT_EQ (counter.clicks, clicksBefore + 1);
    }
}

TEST_F (ButtonInWindow, ShiftReturnAndSpaceDoNotClick)
{
    keys.send (nativeWindow(), Key::shiftKey, true, time);
    keys.send (nativeWindow(), Key::returnKey, true, time + 10);
    qvxtest::pumpFor (100);
    keys.send (nativeWindow(), Key::returnKey, false, time + 100);
    keys.send (nativeWindow(), Key::shiftKey, false, time + 110);
    qvxtest::pumpFor (300);
    EXPECT_EQ (counter.clicks, 0) << "Shift+Return";
    EXPECT_FALSE (isPressedBlue (faceMiddle()));

    keys.send (nativeWindow(), Key::spaceKey, true, time + 200);
    qvxtest::pumpFor (100);
    keys.send (nativeWindow(), Key::spaceKey, false, time + 300);
    qvxtest::pumpFor (300);
    EXPECT_EQ (counter.clicks, 0) << "space";

    // The same window and focus still click on a plain Return.
    keys.send (nativeWindow(), Key::returnKey, true, time + 400);
    keys.send (nativeWindow(), Key::returnKey, false, time + 450);
    EXPECT_TRUE (qvxtest::pumpUntil ([this] { return counter.clicks == 1; }, 3000));
}

TEST_F (ButtonInWindow, OnlyReturnsOwnReleaseClicks)
{
    // Another key goes up while Return is held: JUCE's key table, just updated from that key-up,
    // still holds Return down.
    keys.send (nativeWindow(), Key::returnKey, true, time);
    keys.send (nativeWindow(), Key::spaceKey, true, time + 20);
    keys.send (nativeWindow(), Key::spaceKey, false, time + 60);
    qvxtest::pumpFor (300);
    EXPECT_EQ (counter.clicks, 0) << "the space bar's release";

    keys.send (nativeWindow(), Key::returnKey, false, time + 400);
    EXPECT_TRUE (qvxtest::pumpUntil ([this] { return counter.clicks > 0; }, 3000));
    qvxtest::pumpFor (100);
    EXPECT_EQ (counter.clicks, 1);
}

TEST_F (ButtonInWindow, ReturnReleasedAfterTheFocusWentElsewhereDoesNotClick)
{
    keys.send (nativeWindow(), Key::returnKey, true, time);
    ASSERT_TRUE (qvxtest::pumpUntil ([this] { return isPressedBlue (faceMiddle()); }, 3000));

    button.giveAwayKeyboardFocus();
    keys.send (nativeWindow(), Key::returnKey, false, time + 200);
    qvxtest::pumpFor (300);
    EXPECT_EQ (counter.clicks, 0);
    EXPECT_FALSE (isPressedBlue (faceMiddle()));
}

TEST_F (ButtonInWindow, AThinGreyFrameShowsOnlyWithTheFocus)
{
    const auto focused = button.createComponentSnapshot (button.getLocalBounds());
    button.giveAwayKeyboardFocus();
    ASSERT_TRUE (qvxtest::pumpUntil ([this] { return !button.hasKeyboardFocus (true); }));
    const auto unfocused = button.createComponentSnapshot (button.getLocalBounds());

    // The frame's top edge runs along y = 0.15 x 20 = 3 from x = 5 to x = 95.
    EXPECT_NE (focused.getPixelAt (50, 3), unfocused.getPixelAt (50, 3));
    EXPECT_LT (focused.getPixelAt (50, 3).getBrightness(), unfocused.getPixelAt (50, 3).getBrightness());
    EXPECT_EQ (focused.getPixelAt (50, 10), unfocused.getPixelAt (50, 10));
    EXPECT_EQ (focused.getPixelAt (2, 10), unfocused.getPixelAt (2, 10));
}
