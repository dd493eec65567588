// The language list's look: each language's name in that language's font, the dark blue bar
// under the mouse, and the closed box in the selected language's font.
#include "support/RecordingContext.h"
#include "text/Loader.h"
#include "text/StrRes.h"
#include "ui/CustomLookAndFeel.h"
#include "ui/LanguageFonts.h"

#include <gtest/gtest.h>

namespace
{

const auto highlightBlue = juce::Colour (0xff000040);

class LanguageLook : public testing::Test
{
protected:
    void SetUp() override
    {
        TxtLoader::createInstance();
        juce::LookAndFeel::setDefaultLookAndFeel (&look);
    }

    void TearDown() override
    {
        juce::LookAndFeel::setDefaultLookAndFeel (nullptr);
        TxtLoader::releaseInstance();
    }

    struct Item
    {
        juce::Image image;
        std::vector<qvxtest::RecordingContext::Glyph> glyphs;
    };

    Item drawItem (const juce::String& text, int width, int height, bool highlighted = false,
                   bool active = true, bool ticked = false, const juce::Colour* textColour = nullptr)
    {
        Item item{ juce::Image (juce::Image::ARGB, width, height, true), {} };
        qvxtest::RecordingContext context (item.image);
        {
            juce::Graphics g (context);
            look.drawPopupMenuItem (g, { 0, 0, width, height }, false, active, highlighted, ticked, false,
                                    text, {}, nullptr, textColour);
        }
        item.glyphs = context.glyphs();
        return item;
    }

    LangLookAndFeel look;
};

}  // namespace

TEST_F (LanguageLook, EachLanguageNameIsDrawnInItsLanguagesFont)
{
    struct Case
    {
        const wchar_t* name;
        const char* font;
    };

    const Case cases[] = {
        { L"English", "Verdana" },   { L"Français", "Verdana" },           { L"Deutsch", "Verdana" },
        { L"Español", "Verdana" },   { L"Italiano", "Verdana" },           { L"Nederlands", "Verdana" },
        { L"Русский", "Geneva CY" }, { L"Português", "Verdana" },          { L"简体中文", "STHeiti" },
        { L"繁體中文", "STHeiti" },  { L"한국어", "AppleGothic Regular" }, { L"日本語", "Osaka" },
    };

    for (const auto& c : cases)
    {
        const juce::String name (c.name);

        // 30 pixels high: 30 / 1.3 is more than 17, so the font keeps its height.
        const auto item = drawItem (name, 200, 30);
        ASSERT_EQ ((int)item.glyphs.size(), name.length()) << name;

        for (const auto& glyph : item.glyphs)
        {
            EXPECT_EQ (glyph.font.getTypefaceName(), c.font) << name;
            EXPECT_FLOAT_EQ (glyph.font.getHeight(), 17.0f) << name;
            EXPECT_FALSE (glyph.font.isBold()) << name;
        }

        // 20 pixels high, as in the window: 20 / 1.3.
        for (const auto& glyph : drawItem (name, 200, 20).glyphs)
            EXPECT_NEAR (glyph.font.getHeight(), 20.0f / 1.3f, 1.0e-4f) << name;
    }
}

TEST_F (LanguageLook, OtherTextsKeepThePopupMenuFont)
{
    for (const juce::String text : { "Deutsch ", " Deutsch", "deutsch", "ENGLISH", "Start" })
    {
        const auto item = drawItem (text, 200, 30);
        ASSERT_FALSE (item.glyphs.empty()) << text;

        for (const auto& glyph : item.glyphs)
        {
            EXPECT_EQ (glyph.font.getTypefaceName(), look.getPopupMenuFont().getTypefaceName()) << text;
            EXPECT_FLOAT_EQ (glyph.font.getHeight(), 17.0f) << text;
        }

        for (const auto& glyph : drawItem (text, 200, 20).glyphs)
            EXPECT_NEAR (glyph.font.getHeight(), 20.0f / 1.3f, 1.0e-4f) << text;
    }
}

TEST_F (LanguageLook, TheHighlightedItemHasADarkBlueBarInsetByOnePixelAndTheHighlightedTextColour)
{
    const auto red = juce::Colours::red;

    for (const auto* callerColour : { static_cast<const juce::Colour*> (nullptr), &red })
    {
        const auto item = drawItem ("English", 200, 20, true, true, false, callerColour);

        EXPECT_EQ (item.image.getPixelAt (1, 1), highlightBlue);
        EXPECT_EQ (item.image.getPixelAt (198, 18), highlightBlue);
        EXPECT_EQ (item.image.getPixelAt (150, 10), highlightBlue);
        EXPECT_EQ (item.image.getPixelAt (0, 10).getAlpha(), 0);
        EXPECT_EQ (item.image.getPixelAt (199, 10).getAlpha(), 0);
        EXPECT_EQ (item.image.getPixelAt (100, 0).getAlpha(), 0);
        EXPECT_EQ (item.image.getPixelAt (100, 19).getAlpha(), 0);

        ASSERT_FALSE (item.glyphs.empty());

        for (const auto& glyph : item.glyphs)
            EXPECT_EQ (glyph.fill.colour, look.findColour (juce::PopupMenu::highlightedTextColourId));
    }
}

TEST_F (LanguageLook, OtherItemsHaveNoBarAndTheTextColourOrTheCallersColour)
{
    const auto red = juce::Colours::red;
    const auto plain = drawItem ("English", 200, 20);
    const auto coloured = drawItem ("English", 200, 20, false, true, false, &red);

    EXPECT_EQ (plain.image.getPixelAt (150, 10).getAlpha(), 0);
    ASSERT_FALSE (plain.glyphs.empty());
    ASSERT_FALSE (coloured.glyphs.empty());
    EXPECT_EQ (plain.glyphs.front().fill.colour, look.findColour (juce::PopupMenu::textColourId));
    EXPECT_EQ (coloured.glyphs.front().fill.colour, red);
    EXPECT_FLOAT_EQ (plain.glyphs.front().opacity, 1.0f);
}

TEST_F (LanguageLook, AnInactiveItemIsFaded)
{
    const auto item = drawItem ("English", 200, 20, false, false);
    ASSERT_FALSE (item.glyphs.empty());
    EXPECT_FLOAT_EQ (item.glyphs.front().opacity, 0.3f);
}

TEST_F (LanguageLook, TheTickSitsInTheLeftBorderAndTheTextAfterIt)
{
    const int leftBorder = (20 * 5) / 4;

    const auto hasInk = [&] (const juce::Image& image, int fromX, int toX)
    {
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = fromX; x < toX; ++x)
                if (image.getPixelAt (x, y).getAlpha() != 0)
                    return true;
        return false;
    };

    const auto ticked = drawItem ("English", 200, 20, false, true, true);
    const auto unticked = drawItem ("English", 200, 20);

    EXPECT_TRUE (hasInk (ticked.image, 2, leftBorder - 2));
    EXPECT_FALSE (hasInk (unticked.image, 0, leftBorder));
    ASSERT_FALSE (unticked.glyphs.empty());
    EXPECT_GE (unticked.glyphs.front().transform.getTranslationX(), (float)leftBorder);
}

TEST_F (LanguageLook, TheClosedBoxShowsTheSelectedLanguagesFont)
{
    struct Case
    {
        int selectedId, height;
        const char* font;
        float fontHeight;
    };

    for (const auto c : { Case{ LANG_JA + 1, 20, "Osaka", 15.0f }, Case{ LANG_JA + 1, 16, "Osaka", 13.6f },
                          Case{ LANG_RU + 1, 20, "Geneva CY", 15.0f },
                          Case{ LANG_EN + 1, 20, "Verdana", 15.0f }, Case{ 0, 20, "", 15.0f } })
    {
        juce::ComboBox box ("langs");

        for (int i = 0; i < LANG_NUM; ++i)
            box.addItem (StrRes::LANGUAGE_SELECTION[i], i + 1);

        box.setSelectedId (c.selectedId, juce::dontSendNotification);
        box.setSize (200, c.height);

        const auto font = look.getComboBoxFont (box);
        EXPECT_EQ (font.getTypefaceName(), c.font) << c.selectedId;
        EXPECT_NEAR (font.getHeight(), c.fontHeight, 1.0e-4f) << c.selectedId;
        EXPECT_FALSE (font.isBold());
    }
}

TEST_F (LanguageLook, TheBoxsTextTakesTheFontWhenItIsLaidOut)
{
    juce::ComboBox box ("langs");
    box.setLookAndFeel (&look);

    for (int i = 0; i < LANG_NUM; ++i)
        box.addItem (StrRes::LANGUAGE_SELECTION[i], i + 1);

    box.setSelectedId (LANG_KO + 1, juce::dontSendNotification);
    box.setSize (150, 20);
    box.resized();

    juce::Label* label = nullptr;

    for (auto* child : box.getChildren())
        if (auto* asLabel = dynamic_cast<juce::Label*> (child))
            label = asLabel;

    ASSERT_NE (label, nullptr);
    EXPECT_EQ (label->getText(), StrRes::LANGUAGE_SELECTION[LANG_KO]);
    EXPECT_EQ (label->getFont().getTypefaceName(), "AppleGothic Regular");
    EXPECT_FLOAT_EQ (label->getFont().getHeight(), 15.0f);
    box.setLookAndFeel (nullptr);
}

// The open language list as the window shows it: twelve items of the box's height, English
// ticked, the item under the mouse highlighted. The picture is kept under the build folder.
TEST_F (LanguageLook, TheOpenListShowsEveryLanguagesNameInItsOwnScript)
{
    look.setDefaultSansSerifTypefaceName ("Hiragino Maru Gothic Pro W4");
    const int width = 150, itemHeight = 20;
    juce::Image list (juce::Image::ARGB, width, itemHeight * LANG_NUM, true);
    qvxtest::RecordingContext context (list);
    {
        juce::Graphics g (context);
        look.drawPopupMenuBackground (g, width, itemHeight * LANG_NUM);

        for (int i = 0; i < LANG_NUM; ++i)
            look.drawPopupMenuItem (g, { 0, i * itemHeight, width, itemHeight }, false, true, i == LANG_KO,
                                    i == LANG_EN, false, TxtLoader::getInstance()->getLang ((LangIdTable_t)i),
                                    {}, nullptr, nullptr);
    }

    int expectedGlyphs = 0;

    for (int i = 0; i < LANG_NUM; ++i)
        expectedGlyphs += StrRes::LANGUAGE_SELECTION[i].length();

    ASSERT_EQ ((int)context.glyphs().size(), expectedGlyphs);

    // Every glyph comes from a face that has it: none is a missing-glyph box.
    for (const auto& glyph : context.glyphs())
    {
        auto* face = dynamic_cast<InstalledTypeface*> (glyph.font.getTypefacePtr().get());
        ASSERT_NE (face, nullptr) << glyph.font.getTypefaceName();
        EXPECT_TRUE (face->hasCharacter ((juce::juce_wchar)glyph.glyphNumber))
            << glyph.font.getTypefaceName() << " " << glyph.glyphNumber;
    }

    const juce::File folder (QVX_TEST_ARTEFACTS);
    ASSERT_TRUE (folder.createDirectory());
    const auto file = folder.getChildFile ("language-list.png");
    file.deleteFile();
    juce::FileOutputStream out (file);
    ASSERT_TRUE (out.openedOk());
    ASSERT_TRUE (juce::PNGImageFormat().writeImageToStream (
        list.rescaled (width * 2, itemHeight * LANG_NUM * 2), out));
}
