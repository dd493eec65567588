// The typeface names the texts ask for, turned into installed faces that show every character
// of every language's texts: no missing-glyph boxes anywhere.
#include "ui/LanguageFonts.h"
#include "support/MessageLoop.h"
#include "support/TemporaryFolder.h"
#include "text/StrRes.h"
#include "ui/CustomLookAndFeel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace
{

const juce::String* const textTables[] = {
    StrRes::LANGUAGE_SELECTION, StrRes::NAME_000, StrRes::NAME_001, StrRes::STR_0000, StrRes::STR_0001,
    StrRes::STR_0002,           StrRes::STR_0003, StrRes::STR_0004, StrRes::STR_0005, StrRes::STR_0006,
    StrRes::STR_0007,           StrRes::STR_0008, StrRes::STR_0009, StrRes::STR_0010, StrRes::STR_0011,
    StrRes::STR_0012,           StrRes::STR_0013, StrRes::STR_0014, StrRes::STR_0015, StrRes::STR_0016,
};

const char* const defaultSansName = "Hiragino Maru Gothic Pro W4";

class LanguageFontsTest : public testing::Test
{
protected:
    void SetUp() override
    {
        look.setDefaultSansSerifTypefaceName (defaultSansName);
        juce::LookAndFeel::setDefaultLookAndFeel (&look);
    }

    void TearDown() override { juce::LookAndFeel::setDefaultLookAndFeel (nullptr); }

    // The typeface JUCE draws a font with: through its cache and the default look.
    static InstalledTypeface* drawnWith (const juce::Font& font)
    {
        return dynamic_cast<InstalledTypeface*> (font.getTypefacePtr().get());
    }

    // Every character of the text that the face itself lacks (line breaks and tabs aside).
    static juce::String missingIn (InstalledTypeface& face, const juce::String& text)
    {
        juce::String missing;

        for (auto p = text.getCharPointer(); !p.isEmpty();)
        {
            const auto c = p.getAndAdvance();

            if (c >= 0x20 && !face.hasCharacter (c))
                missing += juce::String::toHexString ((int)c) + " ";
        }

        return missing;
    }

    LangLookAndFeel look;
};

}  // namespace

TEST_F (LanguageFontsTest, EveryLanguagesFontShowsEveryCharacterOfItsTextsPlainAndBold)
{
    for (int language = 0; language < LANG_NUM; ++language)
    {
        for (const auto style : { juce::Font::plain, juce::Font::bold })
        {
            const juce::Font font (StrRes::DEFAULT_FONT_MAC[language], 13.0f, style);
            auto* face = drawnWith (font);
            ASSERT_NE (face, nullptr) << StrRes::DEFAULT_FONT_MAC[language];

            for (const auto* table : textTables)
                EXPECT_EQ (missingIn (*face, table[language]), "")
                    << "language " << language << ", " << font.getTypefaceName() << " " << style << ": "
                    << table[language] << " in " << face->getLocation().file << ":"
                    << face->getLocation().index;
        }
    }
}

TEST_F (LanguageFontsTest, TheDefaultSansSerifFontShowsEveryLanguage)
{
    // Text in the default font may be in any language: the texts that name no font, the
    // progress bar's percentage, the popup list's own font.
    for (const auto& font : { juce::Font (13.0f), juce::Font (defaultSansName, 13.0f, juce::Font::bold),
                              juce::Font (juce::String(), 13.0f, juce::Font::plain) })
    {
        auto* face = drawnWith (font);
        ASSERT_NE (face, nullptr) << font.getTypefaceName();

        for (int language = 0; language < LANG_NUM; ++language)
            for (const auto* table : textTables)
                EXPECT_EQ (missingIn (*face, table[language]), "")
                    << font.getTypefaceName() << ": " << table[language];
    }
}

TEST_F (LanguageFontsTest, BoldStaysBold)
{
    for (const auto* name :
         { "Verdana", "Geneva CY", "STHeiti", "AppleGothic Regular", "Osaka", defaultSansName })
    {
        auto* plain = drawnWith (juce::Font (name, 13.0f, juce::Font::plain));
        auto* bold = drawnWith (juce::Font (name, 13.0f, juce::Font::bold));
        ASSERT_NE (plain, nullptr) << name;
        ASSERT_NE (bold, nullptr) << name;

        EXPECT_TRUE (bold->getStyle().containsIgnoreCase ("bold")) << name << ": " << bold->getStyle();
        EXPECT_FALSE (plain->getStyle().containsIgnoreCase ("bold")) << name << ": " << plain->getStyle();
        EXPECT_FALSE (plain->getLocation() == bold->getLocation()) << name;
    }
}

TEST_F (LanguageFontsTest, BothChineseLanguagesShareOneFaceThatCoversBothScripts)
{
    auto* face = drawnWith (juce::Font ("STHeiti", 13.0f, juce::Font::plain));
    ASSERT_NE (face, nullptr);

    for (const auto language : { LANG_ZH_HANS, LANG_ZH_HANT })
        for (const auto* table : textTables)
            EXPECT_EQ (missingIn (*face, table[language]), "") << table[language];

    // Characters that only one of the two scripts writes so.
    for (const auto c : { L'简', L'体', L'繁', L'體', L'这', L'這', L'设', L'設' })
        EXPECT_TRUE (face->hasCharacter ((juce::juce_wchar)c)) << (int)c;
}

TEST_F (LanguageFontsTest, ATabAdvancesToTheNextTabStopAndAtLeastASpaceInEveryFont)
{
    for (const auto* name :
         { "Verdana", "Geneva CY", "STHeiti", "AppleGothic Regular", "Osaka", defaultSansName })
    {
        for (const auto style : { juce::Font::plain, juce::Font::bold })
        {
            const juce::Font font (name, 13.0f, style);
            SCOPED_TRACE (juce::String (name) + " " + juce::String (style));

            // Where the last character of the text starts.
            const auto lastStart = [&font] (const juce::String& text)
            {
                juce::Array<int> glyphs;
                juce::Array<float> xOffsets;
                font.getGlyphPositions (text, glyphs, xOffsets);
                return xOffsets[xOffsets.size() - 2];
            };

            const auto space = font.getStringWidthFloat (" ");
            const auto firstStop = lastStart ("\t0");
            ASSERT_GT (space, 1.0f);
            EXPECT_GE (firstStop, space);
            EXPECT_FLOAT_EQ (lastStart ("i\t0"), firstStop) << "short text before the tab";
            EXPECT_FLOAT_EQ (lastStart ("Error ID:\n\t0") - font.getStringWidthFloat ("Error ID:\n"),
                             firstStop)
                << "each line has its own stops";
            EXPECT_FLOAT_EQ (font.getStringWidthFloat ("i\t0"), firstStop + font.getStringWidthFloat ("0"));

            // After text of any length: the first stop at least a space further on.
            juce::String before;

            for (int length = 0; length < 40; ++length, before << "i")
            {
                const auto end = font.getStringWidthFloat (before);
                const auto stop = lastStart (before + "\t0");
                EXPECT_GE (stop - end, space - 0.001f) << length;
                EXPECT_LT (stop - end, firstStop + space) << length;
                EXPECT_NEAR (stop / firstStop, std::round (stop / firstStop), 0.0001f) << length;
            }
        }
    }
}

TEST_F (LanguageFontsTest, EachNameIsResolvedOnceAndKeptAcrossJucesCacheClearing)
{
    const auto first = LanguageFonts::typefaceFor ("Osaka", false);
    ASSERT_NE (first, nullptr);

    juce::Typeface::clearTypefaceCache();
    look.setDefaultSansSerifTypefaceName ("another name");  // also clears JUCE's cache

    EXPECT_EQ (LanguageFonts::typefaceFor ("Osaka", false), first);
    EXPECT_EQ (drawnWith (juce::Font ("Osaka", 20.0f, juce::Font::plain)), first.get());
    EXPECT_NE (LanguageFonts::typefaceFor ("Osaka", true), first);
}

TEST_F (LanguageFontsTest, ANameThatNoLanguageAsksForStillShowsEveryScript)
{
    // DejaVu Sans is installed but has no CJK: a face that shows them is preferred to it.
    for (const auto* name : { "DejaVu Sans", "No Such Typeface", "Hiragino Maru Gothic Pro W4" })
    {
        auto* face = drawnWith (juce::Font (name, 13.0f, juce::Font::plain));
        ASSERT_NE (face, nullptr) << name;

        for (int language = 0; language < LANG_NUM; ++language)
            EXPECT_EQ (missingIn (*face, StrRes::LANGUAGE_SELECTION[language]), "") << name;
    }
}

TEST_F (LanguageFontsTest, ACharacterTheFaceLacksIsDrawnFromTheFallbackNotAsABox)
{
    // Verdana stands for the Latin languages; its face has no kana.
    const juce::Font latin ("Verdana", 20.0f, juce::Font::plain);
    auto* face = drawnWith (latin);
    ASSERT_NE (face, nullptr);
    ASSERT_FALSE (face->hasCharacter (0x3042));

    juce::Path drawn, fromFallback;
    ASSERT_TRUE (face->getOutlineForGlyph (0x3042, drawn));
    auto* fallback =
        drawnWith (juce::Font (juce::Font::getFallbackFontName(), juce::Font::getFallbackFontStyle(), 10.0f));
    ASSERT_NE (fallback, nullptr);
    ASSERT_TRUE (fallback->hasCharacter (0x3042));
    ASSERT_TRUE (fallback->getOutlineForGlyph (0x3042, fromFallback));
    EXPECT_FALSE (drawn.isEmpty());
    EXPECT_EQ (drawn.getBounds(), fromFallback.getBounds());

    juce::Image image (juce::Image::ARGB, 60, 30, true);
    {
        juce::Graphics g (image);
        g.setColour (juce::Colours::black);
        g.setFont (latin);
        g.drawText (juce::String::charToString (0x3042), 0, 0, 60, 30, juce::Justification::centred, false);
    }

    int inked = 0;

    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x)
            inked += image.getPixelAt (x, y).getAlpha() > 128 ? 1 : 0;

    EXPECT_GT (inked, 20);
}

TEST_F (LanguageFontsTest, EveryNameStandsForTheLanguagesThatAskForIt)
{
    EXPECT_EQ (LanguageFonts::languagesFor ("Verdana"),
               juce::StringArray ({ "en", "fr", "de", "es", "it", "nl", "pt" }));
    EXPECT_EQ (LanguageFonts::languagesFor ("Geneva CY"), juce::StringArray ({ "ru" }));
    EXPECT_EQ (LanguageFonts::languagesFor ("STHeiti"), juce::StringArray ({ "zh-cn", "zh-tw" }));
    EXPECT_EQ (LanguageFonts::languagesFor ("AppleGothic Regular"), juce::StringArray ({ "ko" }));
    EXPECT_EQ (LanguageFonts::languagesFor ("Osaka"), juce::StringArray ({ "ja" }));

    const auto any = LanguageFonts::languagesFor (defaultSansName);
    EXPECT_EQ (any.size(), LANG_NUM);
    EXPECT_EQ (any[0], "ja");
    EXPECT_EQ (LanguageFonts::languagesFor (""), any);
}

//==============================================================================
// A machine with no font at all: the probe draws every text, the list and the buttons and
// must end normally.
TEST (LanguageFontsWithoutFonts, NothingCrashesOrHangsWhenNoFontIsInstalled)
{
    qvxtest::TemporaryFolder folder;
    const auto emptyFonts = folder.getChildFile ("fonts");
    ASSERT_TRUE (emptyFonts.createDirectory());
    const auto config = folder.getChildFile ("fonts.conf");
    ASSERT_TRUE (config.replaceWithText ("<?xml version=\"1.0\"?>\n<fontconfig>\n  <dir>" +
                                         emptyFonts.getFullPathName() + "</dir>\n  <cachedir>" +
                                         folder.getChildFile ("cache").getFullPathName() +
                                         "</cachedir>\n</fontconfig>\n"));

    // fontconfig reads FONTCONFIG_FILE, JUCE's own scan JUCE_FONT_PATH; the child inherits both.
    ASSERT_EQ (setenv ("FONTCONFIG_FILE", config.getFullPathName().toRawUTF8(), 1), 0);
    ASSERT_EQ (setenv ("JUCE_FONT_PATH", emptyFonts.getFullPathName().toRawUTF8(), 1), 0);

    juce::ChildProcess child;
    ASSERT_TRUE (child.start (QVX_PROBE_qvx_no_fonts_probe));
    const bool finished = child.waitForProcessToFinish (60000);

    if (!finished)
        child.kill();

    const auto output = child.readAllProcessOutput();
    ASSERT_TRUE (finished) << output;

    EXPECT_EQ (child.getExitCode(), 0u) << output;
    EXPECT_TRUE (output.contains ("drawn without fonts")) << output;
    EXPECT_TRUE (output.contains ("no installed face")) << output;
}
