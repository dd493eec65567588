// Every screen in every language in the real window: screenshots as test artefacts, the text
// inside its rectangle with no missing glyph, and the keyboard focus where Return should act.
#include "platform/desktop/SystemFonts.h"
#include "support/MessageLoop.h"
#include "support/RecordingContext.h"
#include "support/SimulatedHid.h"
#include "support/TemporaryFolder.h"
#include "support/UpdateStateProbe.h"
#include "text/Loader.h"
#include "ui/AlineButton.h"
#include "ui/MainComponent.h"
#include "ui/MainWindow.h"
#include "window/XSession.h"

#include <gtest/gtest.h>

using qvxtest::XSession;

namespace
{

const char* languageCodes[] = { "en", "fr", "de",      "es",      "it", "nl",
                                "ru", "pt", "zh-Hans", "zh-Hant", "ko", "ja" };

struct ScreenState
{
    const char* name;
    int32_t state;
};

const ScreenState screens[] = { { "language", STATE_INIT },
                                { "versions", STATE_READY },
                                { "transfer", STATE_DATA },
                                { "complete", STATE_COMPLETE },
                                { "not-connected", ERR_NOT_CONNECTED },
                                { "file-error", ERR_FILE_CRC },
                                { "error", ERR_TIMEOUT } };

/** The rectangle a screen's text must stay in. */
juce::Rectangle<float> textArea (int32_t state, int w, int h)
{
    if (UpdState::isError (state))
        return { 105.0f, 20.0f, w - 125.0f, h - 20.0f };

    return { 20.0f, 20.0f, w - 40.0f, h - 20.0f };
}

class ScreensInWindow : public ::testing::TestWithParam<int>
{
};

TEST_P (ScreensInWindow, FitTheirRectanglesWithEveryGlyphDrawable)
{
    XSession session;
    ASSERT_TRUE (session.isOpen());

    qvxtest::TemporaryFolder noUpdateFile;
    MainWindow window ({ noUpdateFile.get(), qvxtest::SimulatedHid::backend() });
    auto* component = dynamic_cast<MainComponent*> (window.getContentComponent());
    ASSERT_NE (component, nullptr);
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return window.isShowing(); }));

    const auto lang = static_cast<LangIdTable_t> (GetParam());
    component->m_pLangBox->setSelectedId (lang + 1, juce::sendNotificationSync);
    component->m_fileReady = 8;
    component->m_deviceSysVer = "1.05";
    component->m_fileSysVer = "1.10";

    const auto folder = juce::File (QVX_TEST_ARTEFACTS).getChildFile ("screens");
    folder.createDirectory();

    for (const auto& screen : screens)
    {
        SCOPED_TRACE (juce::String (languageCodes[lang]) + " " + screen.name);
        UpdateStateProbe::put (component->m_state, screen.state);
        component->UpdateDrawing();
        qvxtest::pumpFor (30);

        auto& layout = component->m_textLayout;
        ASSERT_GT (layout.getNumGlyphs(), 0);
        const auto area = textArea (screen.state, component->getWidth(), component->getHeight());

        for (int i = 0; i < layout.getNumGlyphs(); ++i)
        {
            const auto& glyph = layout.getGlyph (i);

            if (glyph.isWhitespace())
                continue;

            EXPECT_TRUE (area.expanded (0.5f).contains (glyph.getBounds()))
                << "glyph " << i << " at " << glyph.getBounds().toString();

            // Its ink too, which a face may draw beyond the glyph's line.
            juce::Path ink;
            glyph.createPath (ink);
            EXPECT_TRUE (area.expanded (0.5f).contains (ink.getBounds()))
                << "ink of glyph " << i << " at " << ink.getBounds().toString();
        }

        // Every glyph drawn comes from a face that has it: none is a missing-glyph box.
        juce::Image picture (juce::Image::ARGB, component->getWidth(), component->getHeight(), true);
        qvxtest::RecordingContext context (picture);
        {
            juce::Graphics g (context);
            component->paint (g);
        }
        ASSERT_FALSE (context.glyphs().empty());
        for (const auto& drawn : context.glyphs())
        {
            auto* face = dynamic_cast<InstalledTypeface*> (drawn.font.getTypefacePtr().get());
            ASSERT_NE (face, nullptr) << drawn.font.getTypefaceName();
            EXPECT_TRUE (face->hasCharacter ((juce::juce_wchar)drawn.glyphNumber))
                << drawn.font.getTypefaceName() << " U+" << juce::String::toHexString (drawn.glyphNumber);
        }

        // The text ends above the buttons' row where a button stands beside it.
        const auto bottom = layout.getBoundingBox (0, -1, false).getBottom();
        if (component->m_pOkButton->isVisible() || component->m_pCancelButton->isVisible())
        {
            EXPECT_LE (bottom, static_cast<float> (component->getHeight() - 40)) << "over the buttons";
        }

        const auto image = window.createComponentSnapshot (window.getLocalBounds());
        const auto file =
            folder.getChildFile (juce::String (languageCodes[lang]) + "-" + screen.name + ".png");
        file.deleteFile();
        juce::FileOutputStream stream (file);
        ASSERT_TRUE (stream.openedOk());
        juce::PNGImageFormat().writeImageToStream (image, stream);
    }
}

INSTANTIATE_TEST_SUITE_P (Languages, ScreensInWindow, ::testing::Range (0, 12),
                          [] (const auto& info)
                          { return std::string (languageCodes[info.param]).replace (2, 1, ""); });

TEST (ScreenFocus, ReturnActsOnOkOnTheLanguageScreenAndOnCloseOnErrorScreens)
{
    XSession session;
    ASSERT_TRUE (session.isOpen());

    qvxtest::TemporaryFolder noUpdateFile;
    MainWindow window ({ noUpdateFile.get(), qvxtest::SimulatedHid::backend() });
    auto* component = dynamic_cast<MainComponent*> (window.getContentComponent());
    ASSERT_NE (component, nullptr);
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return window.isShowing(); }));
    window.toFront (true);

    EXPECT_TRUE (qvxtest::pumpUntil ([&] { return component->m_pOkButton->hasKeyboardFocus (true); }))
        << "language screen";

    UpdateStateProbe::put (component->m_state, ERR_NOT_CONNECTED);
    component->UpdateDrawing();
    EXPECT_TRUE (qvxtest::pumpUntil ([&] { return component->m_pCancelButton->hasKeyboardFocus (true); }))
        << "error screen";

    UpdateStateProbe::put (component->m_state, STATE_COMPLETE);
    component->UpdateDrawing();
    EXPECT_TRUE (qvxtest::pumpUntil ([&] { return component->m_pOkButton->hasKeyboardFocus (true); }))
        << "completion screen";
}

// The window's own request for the keyboard (toFront, as on a second start) gives it the focus
// before X's focus-in arrives, and JUCE may read that focus-in only once the user has gone to
// another program: it then handles it as if the window had just gained the focus. The keyboard
// stays where the user went.
TEST (ScreenFocus, AFocusInHandledAfterTheUserWentToAnotherProgramLeavesTheKeyboardThere)
{
    XSession session;
    ASSERT_TRUE (session.isOpen());

    qvxtest::TemporaryFolder noUpdateFile;
    MainWindow window ({ noUpdateFile.get(), qvxtest::SimulatedHid::backend() });
    auto* component = dynamic_cast<MainComponent*> (window.getContentComponent());
    ASSERT_NE (component, nullptr);
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return component->m_pOkButton->hasKeyboardFocus (true); }))
        << "the language screen never put the focus on OK";
    auto* peer = window.getPeer();
    ASSERT_NE (peer, nullptr);

    // The window has not yet heard of the move when it handles the focus-in.
    const auto other = session.createFocusedWindow();
    ASSERT_TRUE (session.hasFocus (other));
    peer->handleFocusGain();
    qvxtest::pumpFor (200);

    EXPECT_TRUE (session.hasFocus (other)) << "the keyboard went to window " << session.focusedWindow();
}

struct ClickCounter : juce::Button::Listener
{
    void buttonClicked (juce::Button*) override { ++clicks; }
    int clicks = 0;
};

struct FocusGainCase
{
    const char* name;
    /** The window lost the focus before, and the screen changed while it was away. */
    bool lostBefore;
    int32_t screen;
    bool okExpected;
};

void PrintTo (const FocusGainCase& c, std::ostream* stream)
{
    *stream << c.name;
}

class FocusGainBeforeReturn : public ::testing::TestWithParam<FocusGainCase>
{
};

// X may report the window's focus late, in the same batch as the key press it came for. Here the
// peer gains the focus and Return goes down and up at once, with no message loop in between.
TEST_P (FocusGainBeforeReturn, ReturnClicksTheScreensButton)
{
    const auto& c = GetParam();
    XSession session;
    ASSERT_TRUE (session.isOpen());

    qvxtest::TemporaryFolder noUpdateFile;
    MainWindow window ({ noUpdateFile.get(), qvxtest::SimulatedHid::backend() });
    auto* component = dynamic_cast<MainComponent*> (window.getContentComponent());
    ASSERT_NE (component, nullptr);
    ASSERT_TRUE (qvxtest::pumpUntil ([&] { return component->m_pOkButton->hasKeyboardFocus (true); }))
        << "the language screen never put the focus on OK";

    ClickCounter ok, cancel;
    component->m_pOkButton->addListener (&ok);
    component->m_pCancelButton->addListener (&cancel);
    auto* peer = window.getPeer();
    ASSERT_NE (peer, nullptr);

    if (c.lostBefore)
    {
        peer->handleFocusLoss();
        UpdateStateProbe::put (component->m_state, c.screen);
        component->UpdateDrawing();

        // The user comes back later than the second press of a double click would come.
        qvxtest::pumpFor (600);
    }

    peer->handleFocusGain();
    peer->handleKeyUpOrDown (true);
    peer->handleKeyPress (juce::KeyPress (juce::KeyPress::returnKey));
    peer->handleKeyUpOrDown (false);

    auto* focused = juce::Component::getCurrentlyFocusedComponent();
    const auto focusName = focused != nullptr ? focused->getName() : juce::String ("nothing");
    EXPECT_TRUE (qvxtest::pumpUntil ([&] { return ok.clicks + cancel.clicks > 0; }, 3000))
        << "no click; the focus was on " << focusName;
    qvxtest::pumpFor (50);
    EXPECT_EQ (ok.clicks, c.okExpected ? 1 : 0) << "focus on " << focusName;
    EXPECT_EQ (cancel.clicks, c.okExpected ? 0 : 1) << "focus on " << focusName;

    if (c.screen == STATE_INIT)
    {
        EXPECT_EQ (component->m_state.load(), ERR_FILE_NOT_FOUND) << "OK's action on the language screen";
    }

    component->m_pOkButton->removeListener (&ok);
    component->m_pCancelButton->removeListener (&cancel);
}

INSTANTIATE_TEST_SUITE_P (
    Cases, FocusGainBeforeReturn,
    ::testing::Values (FocusGainCase{ "FirstFocusOfTheWindow", false, STATE_INIT, true },
                       FocusGainCase{ "BackOnTheLanguageScreen", true, STATE_INIT, true },
                       FocusGainCase{ "BackOnAnErrorScreen", true, ERR_NOT_CONNECTED, false },
                       FocusGainCase{ "BackOnTheCompletionScreen", true, STATE_COMPLETE, true }),
    [] (const auto& info) { return std::string (info.param.name); });

}  // namespace
