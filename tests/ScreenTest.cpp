// The screens of every state, laid out by the real main component at the window's size and
// painted into an image: no display needed.
#include "support/EngineHarness.h"
#include "support/MessageLoop.h"
#include "support/UpdateStateProbe.h"
#include "text/Loader.h"
#include "ui/AlineButton.h"
#include "ui/MainComponent.h"

#include <gtest/gtest.h>

using namespace qvxtest;

namespace
{

constexpr int width = 406;
constexpr int height = 154;

const juce::Rectangle<int> rightPlace (width - 120, height - 40, 100, 20);
const juce::Rectangle<int> leftPlace (width - 230, height - 40, 100, 20);
const juce::Rectangle<int> widgetRow (20, height - 80, width - 40, 20);

juce::String layoutText (juce::GlyphArrangement& layout)
{
    juce::String text;

    for (int i = 0; i < layout.getNumGlyphs(); ++i)
        text += juce::String::charToString (layout.getGlyph (i).getCharacter());

    return text;
}

/** A main component on a parent that stands in for the window, sized as the window sizes it. */
class ScreenFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        harness.createComponent<MainComponent>();
        parent.addAndMakeVisible (component());
        component().setSize (width, height);
    }

    void TearDown() override { parent.removeAllChildren(); }

    MainComponent& component() { return static_cast<MainComponent&> (*harness.component); }

    void show (int32_t state, LangIdTable_t lang = LANG_EN)
    {
        TxtLoader::getInstance()->setLocale (lang);
        UpdateStateProbe::put (component().m_state, state);
        component().UpdateDrawing();
    }

    juce::String text() { return layoutText (component().m_textLayout); }

    juce::Colour barColour()
    {
        return component().m_pProgressBar->findColour (juce::ProgressBar::backgroundColourId);
    }

    EngineHarness harness;
    juce::Component parent;
};

struct ScreenCase
{
    int32_t state;
    const char* text;  // the glyphs' characters in order
    bool langBox, bar, ok, cancel;
    const char* okCaption;
    const char* cancelCaption;
    juce::Rectangle<int> cancelPlace;
};

class Screens : public ScreenFixture, public ::testing::WithParamInterface<ScreenCase>
{
};

TEST_P (Screens, ShowTheirTextWidgetsAndButtons)
{
    const auto& c = GetParam();
    component().m_fileReady = 8;
    component().m_deviceSysVer = "1.05";
    component().m_fileSysVer = "1.10";
    show (STATE_BLOCK);  // the screen before the completion screen hides Cancel
    show (c.state);
    component().resized();

    EXPECT_EQ (text(), juce::String::fromUTF8 (c.text));
    EXPECT_EQ (component().m_pLangBox->isVisible(), c.langBox);
    EXPECT_EQ (component().m_pProgressBar->isVisible(), c.bar);
    EXPECT_EQ (component().m_pOkButton->isVisible(), c.ok);
    EXPECT_EQ (component().m_pCancelButton->isVisible(), c.cancel);
    EXPECT_EQ (component().m_pLangBox->getBounds(), widgetRow);
    EXPECT_EQ (component().m_pProgressBar->getBounds(), widgetRow);
    EXPECT_EQ (parent.getName(), "Updater Program");

    if (c.ok)
    {
        EXPECT_EQ (component().m_pOkButton->getButtonText(), c.okCaption);
        EXPECT_EQ (component().m_pOkButton->getBounds(), rightPlace);
    }

    if (c.cancel)
    {
        EXPECT_EQ (component().m_pCancelButton->getButtonText(), c.cancelCaption);
        EXPECT_EQ (component().m_pCancelButton->getBounds(), c.cancelPlace);
    }
}

constexpr const char* genericError =
    "An error has occurred.\nIt was not possible to update the program.\n\nError ID:\t0x";

INSTANTIATE_TEST_SUITE_P (
    English, Screens,
    ::testing::Values (
        ScreenCase{ STATE_INIT, "Language Selections\n\nPlease select a language.", true, false, true, true,
                    "OK", "Cancel", leftPlace },
        ScreenCase{ STATE_READY,
                    "Updates the version of your QVX-720 firmware.Current Version: Ver. 1.05\nUpdate "
                    "Version: Ver. 1.10",
                    false, false, true, true, "Start", "Close", leftPlace },
        ScreenCase{
            STATE_BLOCK,
            "Updating your QVX-720 firmware.\n\nPlease wait for a few moments until the update process is "
            "complete.",
            false,
            true,
            false,
            false,
            "",
            "",
            {} },
        ScreenCase{
            STATE_GET_STATUS,
            "Updating your QVX-720 firmware.\n\nPlease wait for a few moments until the update process is "
            "complete.",
            false,
            true,
            false,
            false,
            "",
            "",
            {} },
        ScreenCase{ STATE_COMPLETE,
                    "The update of your version of the QVX-720 firmware is now complete.",
                    false,
                    false,
                    true,
                    false,
                    "OK",
                    "",
                    {} },
        ScreenCase{ ERR_NOT_CONNECTED, "Your QVX-720 is not connected.\n\nError ID:\t0x0E21", false, false,
                    false, true, "", "Close", rightPlace },
        ScreenCase{ ERR_FILE_NOT_FOUND, "There is an error in the update file.\n\nError ID:\t0x0E01", false,
                    false, false, true, "", "Close", rightPlace },
        ScreenCase{ ERR_FILE_SIZE, "There is an error in the update file.\n\nError ID:\t0x0E03", false, false,
                    false, true, "", "Close", rightPlace },
        ScreenCase{ ERR_FILE_CRC, "There is an error in the update file.\n\nError ID:\t0x0E05", false, false,
                    false, true, "", "Close", rightPlace },
        ScreenCase{ ERR_FILE_OPEN,
                    "An error has occurred.\nIt was not possible to update the program.\n\nError ID:\t0x0E32",
                    false, false, false, true, "", "Close", rightPlace },
        ScreenCase{ ERR_TIMEOUT,
                    "An error has occurred.\nIt was not possible to update the program.\n\nError ID:\t0x0E36",
                    false, false, false, true, "", "Close", rightPlace },
        ScreenCase{ ERR_REMOVED,
                    "An error has occurred.\nIt was not possible to update the program.\n\nError ID:\t0x0E37",
                    false, false, false, true, "", "Close", rightPlace },
        ScreenCase{ ERR_GENERAL,
                    "An error has occurred.\nIt was not possible to update the program.\n\nError ID:\t0x0E41",
                    false, false, false, true, "", "Close", rightPlace }));

TEST_F (ScreenFixture, StartShowsNoTextAndKeepsTheVersionScreensButtons)
{
    component().m_fileReady = 8;
    component().m_deviceSysVer = "1.05";
    component().m_fileSysVer = "1.10";
    show (STATE_READY);
    show (STATE_START);

    EXPECT_EQ (component().m_textLayout.getNumGlyphs(), 0);
    EXPECT_FALSE (component().m_pLangBox->isVisible());
    EXPECT_FALSE (component().m_pProgressBar->isVisible());
    EXPECT_EQ (component().m_pOkButton->getButtonText(), "Start");
    EXPECT_EQ (component().m_pCancelButton->getButtonText(), "Close");
    EXPECT_TRUE (component().m_pOkButton->isVisible());
    EXPECT_TRUE (component().m_pCancelButton->isVisible());
}

TEST_F (ScreenFixture, VersionScreenPadsAOneDigitMinorVersionAndNeedsAnAcceptedFile)
{
    component().m_deviceSysVer = "2.1";
    component().m_fileSysVer = "1.10";
    show (STATE_READY);
    EXPECT_EQ (component().m_textLayout.getNumGlyphs(), 0) << "no text before the file was accepted";

    component().m_fileReady = 8;
    show (STATE_READY);
    EXPECT_TRUE (text().contains ("Current Version: Ver. 2.01\n")) << text();
}

TEST_F (ScreenFixture, TheBodyFollowsAnEmptyLineOnlyWhenTheHeadingEndsInOne)
{
    const auto gapUnderHeading = [this] (const juce::String& firstBodyWord)
    {
        auto& layout = component().m_textLayout;
        const auto full = text();
        const auto bodyStart = full.indexOf (firstBodyWord);
        const auto headingLastLine = layout.getBoundingBox (0, 1, true).getY();
        float headingBottom = headingLastLine;

        for (int i = 0; i < bodyStart; ++i)
            if (!layout.getGlyph (i).isWhitespace())
                headingBottom = juce::jmax (headingBottom, layout.getGlyph (i).getBounds().getBottom());

        return layout.getGlyph (bodyStart).getBounds().getY() - headingBottom;
    };

    show (STATE_INIT);
    EXPECT_GE (gapUnderHeading ("Please"), 10.0f) << "one empty line";

    component().m_fileReady = 8;
    component().m_deviceSysVer = "1.05";
    component().m_fileSysVer = "1.10";
    show (STATE_READY);
    EXPECT_LT (gapUnderHeading ("Current"), 5.0f) << "directly under the heading";
    EXPECT_GE (component().m_textLayout.getBoundingBox (0, -1, true).getX(), 20.0f);
}

TEST_F (ScreenFixture, PortugueseTransferHeadingHasTheModelDirectlyAfterSeu)
{
    show (STATE_DATA, LANG_PT);

    EXPECT_TRUE (text().startsWith ("Atualizando o firmware do seuQVX-720.\n\n")) << text();
    EXPECT_TRUE (text().endsWith (TxtLoader::getInstance()->getString (SID_STR_0013))) << text();
}

TEST_F (ScreenFixture, EveryLanguageFillsEveryScreenWithoutLeftOverPlaceholders)
{
    component().m_fileReady = 8;
    component().m_deviceSysVer = "1.05";
    component().m_fileSysVer = "1.10";

    for (int lang = LANG_EN; lang < LANG_NUM; ++lang)
        for (const int32_t state :
             { int32_t (STATE_INIT), int32_t (STATE_READY), int32_t (STATE_BLOCK), int32_t (STATE_COMPLETE),
               int32_t (ERR_NOT_CONNECTED), int32_t (ERR_FILE_CRC), int32_t (ERR_TIMEOUT) })
        {
            show (state, static_cast<LangIdTable_t> (lang));
            SCOPED_TRACE (juce::String (lang) + " state " + juce::String::toHexString (state));

            EXPECT_FALSE (text().contains ("%")) << text();
            EXPECT_GT (component().m_textLayout.getNumGlyphs(), 0);

            if (UpdState::isError (state))
            {
                EXPECT_TRUE (
                    text().endsWith ("\n\nError ID:\t0x0" + juce::String::toHexString (state).toUpperCase()));
            }
        }
}

//==============================================================================
// How the screens' text is drawn: the glyphs as laid out in m_textLayout, their ink from the
// glyphs' own outlines at their positions.

/** Ink of the glyphs from first to first + count - 1, in pixels; empty for whitespace. */
juce::Rectangle<float> inkOf (juce::GlyphArrangement& layout, int first, int count)
{
    juce::Path ink;

    for (int i = first; i < first + count; ++i)
        layout.getGlyph (i).createPath (ink);

    return ink.getBounds();
}

bool isHanOrHangul (juce::juce_wchar c)
{
    return (c >= 0x4e00 && c <= 0x9fff) || (c >= 0xac00 && c <= 0xd7a3);
}

const int32_t errorScreens[] = { ERR_NOT_CONNECTED, ERR_FILE_CRC, ERR_TIMEOUT };

TEST_F (ScreenFixture, TheErrorIdsTabLeavesAtLeastASpaceInEveryLanguage)
{
    for (int lang = LANG_EN; lang < LANG_NUM; ++lang)
        for (const auto state : errorScreens)
        {
            show (state, static_cast<LangIdTable_t> (lang));
            SCOPED_TRACE (juce::String (lang) + " state " + juce::String::toHexString (state));

            auto& layout = component().m_textLayout;
            const auto label = text().indexOf ("Error ID:\t0x");
            ASSERT_GE (label, 0) << text();

            const auto& space = layout.getGlyph (label + 5);  // between "Error" and "ID"
            const auto& colon = layout.getGlyph (label + 8);
            const auto& digit = layout.getGlyph (label + 10);
            ASSERT_EQ (colon.getCharacter(), ':');
            ASSERT_EQ (digit.getCharacter(), '0');

            const auto spaceWidth = space.getBounds().getWidth();
            const auto gap = digit.getLeft() - colon.getRight();
            EXPECT_GT (spaceWidth, 1.0f);
            EXPECT_GE (gap, spaceWidth) << "\"Error ID:\" and \"0x\" " << gap << " px apart";
            EXPECT_EQ (digit.getBaselineY(), colon.getBaselineY()) << "on one line";
            RecordProperty ("tabGap" + std::to_string (lang) + "_" + std::to_string (state),
                            juce::String (gap, 2).toStdString());
        }
}

TEST_F (ScreenFixture, CjkTextIsAsLargeAsTheLatinOfTheEnglishScreens)
{
    const auto heightOfModel = [this]
    {
        const auto at = text().indexOf ("QVX-720");
        EXPECT_GE (at, 0) << text();
        return inkOf (component().m_textLayout, at, 7).getHeight();
    };

    // The capitals and digits of the model name on the English screen, at the same 13 px.
    show (ERR_NOT_CONNECTED, LANG_EN);
    const auto english = heightOfModel();
    ASSERT_GT (english, 5.0f);
    RecordProperty ("englishModel", juce::String (english, 2).toStdString());

    for (const auto lang : { LANG_JA, LANG_KO, LANG_ZH_HANS, LANG_ZH_HANT })
    {
        show (ERR_NOT_CONNECTED, lang);
        SCOPED_TRACE (juce::String (lang));

        const auto model = heightOfModel();
        float tallestCjk = 0.0f;
        auto& layout = component().m_textLayout;

        for (int i = 0; i < layout.getNumGlyphs(); ++i)
            if (isHanOrHangul (layout.getGlyph (i).getCharacter()))
                tallestCjk = juce::jmax (tallestCjk, inkOf (layout, i, 1).getHeight());

        EXPECT_NEAR (model, english, 0.15f * english) << "QVX-720";
        EXPECT_NEAR (tallestCjk, english, 0.15f * english) << "ideograph or syllable";
        RecordProperty ("model" + std::to_string (lang), juce::String (model, 2).toStdString());
        RecordProperty ("cjk" + std::to_string (lang), juce::String (tallestCjk, 2).toStdString());
    }
}

TEST_F (ScreenFixture, TheBarIsPinkForTheMainImageAndStaysSoForTheImagesAfterIt)
{
    struct Step
    {
        int32_t updKind;
        bool mainImageStarted;
        juce::Colour expected;
    };

    const juce::Colour pink (250, 50, 200), dark (8, 8, 8);

    // A transfer without the main image.
    for (const auto& step : { Step{ UPD_KIND_SUB, false, dark }, Step{ UPD_KIND_SYS, false, dark } })
    {
        component().m_updKind = step.updKind;
        component().m_mainImageStarted = step.mainImageStarted;
        show (STATE_DATA);
        EXPECT_EQ (barColour(), step.expected);
    }

    // One that began with it.
    for (const auto& step : { Step{ UPD_KIND_MAIN, true, pink }, Step{ UPD_KIND_SUB, true, pink },
                              Step{ UPD_KIND_SYS, true, pink } })
    {
        component().m_updKind = step.updKind;
        component().m_mainImageStarted = step.mainImageStarted;
        show (STATE_BLOCK);
        EXPECT_EQ (barColour(), step.expected);
    }
}

TEST_F (ScreenFixture, TheWarningIconShowsOnErrorScreensOnly)
{
    const juce::Colour background (234, 234, 234);

    for (const int32_t state :
         { int32_t (STATE_INIT), int32_t (STATE_READY), int32_t (STATE_BLOCK), int32_t (STATE_COMPLETE),
           int32_t (ERR_NOT_CONNECTED), int32_t (ERR_FILE_NOT_FOUND), int32_t (ERR_GENERAL) })
    {
        show (state);
        const auto image = component().createComponentSnapshot (component().getLocalBounds());
        SCOPED_TRACE (juce::String::toHexString (state));

        int iconPixels = 0;
        for (int y = 20; y < 70; ++y)
            for (int x = 25; x < 80; ++x)
                if (image.getPixelAt (x, y).getRed() > 200 && image.getPixelAt (x, y).getBlue() < 100)
                    ++iconPixels;  // the triangle's yellow

        if (UpdState::isError (state))
            EXPECT_GT (iconPixels, 300);
        else
            EXPECT_EQ (iconPixels, 0);

        EXPECT_EQ (image.getPixelAt (2, 2), background);
    }
}

TEST_F (ScreenFixture, ChoosingALanguageChangesTitleTextsAndCaptionsAtOnce)
{
    show (STATE_INIT);
    const auto englishText = text();

    component().m_pLangBox->setSelectedId (LANG_DE + 1, juce::sendNotificationSync);

    auto* texts = TxtLoader::getInstance();
    EXPECT_EQ (texts->m_langId, LANG_DE);
    EXPECT_EQ (parent.getName(), texts->getString (SID_STR_0000));
    EXPECT_EQ (text(), texts->getString (SID_STR_0005) + "\n\n" + texts->getString (SID_STR_0006));
    EXPECT_NE (text(), englishText);
    EXPECT_EQ (component().m_pOkButton->getButtonText(), texts->getString (SID_STR_0001));
    EXPECT_EQ (component().m_pCancelButton->getButtonText(), texts->getString (SID_STR_0003));
}

TEST_F (ScreenFixture, TheLanguageListOffersAllTwelveInOrderAndNeverTakesTheFocus)
{
    auto& box = *component().m_pLangBox;
    ASSERT_EQ (box.getNumItems(), LANG_NUM);

    for (int i = 0; i < LANG_NUM; ++i)
    {
        EXPECT_EQ (box.getItemId (i), i + 1);
        EXPECT_EQ (box.getItemText (i), TxtLoader::getInstance()->getLang (static_cast<LangIdTable_t> (i)));
    }

    EXPECT_FALSE (box.getWantsKeyboardFocus());
    EXPECT_EQ (box.getSelectedId(), TxtLoader::getInstance()->m_langId + 1);
}

TEST_F (ScreenFixture, TheBarFollowsTheWorkersProgressOnTheMessageThread)
{
    show (STATE_DATA);
    component().m_progress = 0.42;

    EXPECT_TRUE (pumpUntil ([this] { return component().m_shownProgress == 0.42; }, 2000));
}

}  // namespace
