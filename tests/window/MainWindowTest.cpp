#include "ui/MainWindow.h"
#include "support/MessageLoop.h"
#include "support/SimulatedHid.h"
#include "support/TemporaryFolder.h"
#include "text/Loader.h"
#include "ui/MainComponent.h"
#include "window/XSession.h"

#include <gtest/gtest.h>

using qvxtest::XSession;

TEST (MainWindow, OpensFixedCentredOnTopWithTheNativeTitleBarAndNoButtons)
{
    XSession session;
    ASSERT_TRUE (session.isOpen());

    qvxtest::TemporaryFolder noUpdateFile;
    MainWindow window ({ noUpdateFile.get(), qvxtest::SimulatedHid::backend() });
    const auto id = qvxtest::windowIdOf (window);
    ASSERT_NE (id, 0u);
    ASSERT_TRUE (
        qvxtest::pumpUntil ([&] { return window.isShowing() && !session.boundsOnScreen (id).isEmpty(); }));

    auto* content = dynamic_cast<MainComponent*> (window.getContentComponent());
    ASSERT_NE (content, nullptr);
    EXPECT_EQ (content->getBounds(), juce::Rectangle<int> (0, 0, 406, 154))
        << "the native title bar leaves the content the whole window";

    auto* peer = window.getPeer();
    ASSERT_NE (peer, nullptr);
    EXPECT_EQ (peer->getBounds().getWidth(), 406);
    EXPECT_EQ (peer->getBounds().getHeight(), 154);
    EXPECT_EQ (session.boundsOnScreen (id).getWidth(), 406);
    EXPECT_EQ (session.boundsOnScreen (id).getHeight(), 154);

    // The title the window starts with gives way to the screen's, in the current language.
    EXPECT_EQ (window.getName(), TxtLoader::getInstance()->getString (SID_STR_0000));
    EXPECT_EQ (window.getBackgroundColour(), juce::Colour (234, 234, 234));
    EXPECT_TRUE (window.isUsingNativeTitleBar());
    EXPECT_TRUE (window.isAlwaysOnTop());
    EXPECT_FALSE (window.isResizable());
    EXPECT_EQ (window.getCloseButton(), nullptr);
    EXPECT_EQ (window.getMinimiseButton(), nullptr);
    EXPECT_EQ (window.getMaximiseButton(), nullptr);

    const auto flags = peer->getStyleFlags();
    EXPECT_NE (flags & juce::ComponentPeer::windowHasTitleBar, 0);
    EXPECT_EQ (flags &
                   (juce::ComponentPeer::windowHasCloseButton | juce::ComponentPeer::windowHasMinimiseButton |
                    juce::ComponentPeer::windowHasMaximiseButton | juce::ComponentPeer::windowIsResizable),
               0);

    const auto userArea = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay()->userArea;
    const auto centre = window.getScreenBounds().getCentre();
    EXPECT_NEAR (centre.getX(), userArea.getCentreX(), 1);
    EXPECT_NEAR (centre.getY(), userArea.getCentreY(), 1);

    qvxtest::pumpFor (200);  // let it paint
    EXPECT_TRUE (session.saveScreenshot (id, "main-window").existsAsFile());
}

TEST (MainWindow, HoldsItsSizeForTheWindowManagerAlsoWhenJuceSetsItsBoundsAgain)
{
    XSession session;
    ASSERT_TRUE (session.isOpen());

    qvxtest::TemporaryFolder noUpdateFile;
    MainWindow window ({ noUpdateFile.get(), qvxtest::SimulatedHid::backend() });
    const auto id = qvxtest::windowIdOf (window);
    ASSERT_NE (id, 0u);
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return window.isShowing(); }));

    XSession::NormalHints hints;
    const auto heldAt406x154 = [&]
    {
        hints = session.normalHints (id);
        return hints.minimum == "406 x 154" && hints.maximum == "406 x 154";
    };
    const auto seen = [&]
    { return "position " + hints.position + ", min " + hints.minimum + ", max " + hints.maximum; };

    EXPECT_TRUE (qvxtest::pumpUntil (heldAt406x154, 10000)) << seen();

    // JUCE writes the hints anew, with position and size alone, whenever it moves the window.
    session.watchPropertyChanges (id);
    const auto before = session.normalHints (id).position;
    window.setTopLeftPosition (window.getX() + 20, window.getY() + 10);

    EXPECT_TRUE (qvxtest::pumpUntil (
        [&]
        {
            return session.propertyChanges (id, "WM_NORMAL_HINTS") > 0 && heldAt406x154() &&
                   hints.position != before;
        },
        10000))
        << seen() << ", before at " << before;
}
