#include "ui/CustomLookAndFeel.h"

#include "text/Loader.h"
#include "text/StrRes.h"
#include "ui/LanguageFonts.h"

//==============================================================================
void BtnLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button,
                                           const juce::Colour& backgroundColour, bool,
                                           bool shouldDrawButtonAsDown)
{
    const bool left = button.isConnectedOnLeft();
    const bool right = button.isConnectedOnRight();
    const bool top = button.isConnectedOnTop();
    const bool bottom = button.isConnectedOnBottom();

    const auto inset = [] (bool connected) { return connected ? 0.1f : 0.5f; };

    drawBackground (g, inset (left), inset (top), (float)button.getWidth() - inset (left) - inset (right),
                    (float)button.getHeight() - inset (top) - inset (bottom), backgroundColour, 1.0f, -1.0f,
                    left, right, top, bottom, shouldDrawButtonAsDown);
}

void BtnLookAndFeel::drawBackground (juce::Graphics& g, float x, float y, float width, float height,
                                     const juce::Colour& colour, float outlineThickness, float cornerSize,
                                     bool flatOnLeft, bool flatOnRight, bool flatOnTop, bool flatOnBottom,
                                     bool isPressed)
{
    if (width <= outlineThickness || height <= outlineThickness)
        return;

    const auto pi = juce::MathConstants<float>::pi;
    const float cs = cornerSize < 0.0f ? juce::jmin (0.5f * width, 0.5f * height) : cornerSize;
    const float d = 2.0f * cs;
    const float right = x + width;
    const float bottom = y + height;

    juce::Path outline;

    if (flatOnLeft || flatOnTop)
    {
        outline.startNewSubPath (x, y);
    }
    else
    {
        outline.startNewSubPath (x, y + cs);
        outline.addArc (x, y, d, d, 1.5f * pi, 2.0f * pi);
    }

    if (flatOnTop || flatOnRight)
    {
        outline.lineTo (right, y);
    }
    else
    {
        outline.lineTo (right - cs, y);
        outline.addArc (right - d, y, d, d, 0.0f, 0.5f * pi);
    }

    if (flatOnRight || flatOnBottom)
    {
        outline.lineTo (right, bottom);
    }
    else
    {
        outline.lineTo (right, bottom - cs);
        outline.addArc (right - d, bottom - d, d, d, 0.5f * pi, pi);
    }

    if (flatOnLeft || flatOnBottom)
    {
        outline.lineTo (x, bottom);
    }
    else
    {
        outline.lineTo (x + cs, bottom);
        outline.addArc (x, bottom - d, d, d, pi, 1.5f * pi);
    }

    outline.closeSubPath();

    const auto topColour = isPressed ? juce::Colour (185, 200, 240) : juce::Colours::white;
    const auto middleColour = isPressed ? juce::Colour (82, 156, 231) : colour.darker (0.2f);
    const auto bottomColour = isPressed ? juce::Colour (140, 222, 253) : juce::Colours::white;

    juce::ColourGradient shade (topColour, 0.0f, y, bottomColour, 0.0f, bottom, false);
    shade.addColour (0.5, middleColour);
    g.setGradientFill (shade);
    g.fillPath (outline);

    g.setColour (colour.darker (0.7f));
    g.strokePath (outline, juce::PathStrokeType (outlineThickness, juce::PathStrokeType::mitered,
                                                 juce::PathStrokeType::butt));
}

//==============================================================================
void LangLookAndFeel::setDefaultSansSerifTypefaceName (const juce::String& newName)
{
    m_sansSerifName = newName;
    juce::LookAndFeel_V2::setDefaultSansSerifTypefaceName (newName);
}

void LangLookAndFeel::drawPopupMenuItem (juce::Graphics& g, const juce::Rectangle<int>& area,
                                         bool isSeparator, bool isActive, bool isHighlighted, bool isTicked,
                                         bool hasSubMenu, const juce::String& text,
                                         const juce::String& shortcutKeyText, const juce::Drawable* icon,
                                         const juce::Colour* textColour)
{
    const juce::Graphics::ScopedSaveState saved (g);
    g.setOrigin (area.getPosition());

    const int w = area.getWidth();
    const int h = area.getHeight();
    const float c = 0.5f * (float)h;

    if (isSeparator)
    {
        g.setColour (juce::Colour (0x33000000));
        g.drawLine (5.5f, c, (float)w - 5.5f, c);
        g.setColour (juce::Colour (0x66ffffff));
        g.drawLine (5.5f, c + 1.0f, (float)w - 5.5f, c + 1.0f);
        return;
    }

    auto colour = findColour (juce::PopupMenu::textColourId);

    if (textColour != nullptr)
        colour = *textColour;

    if (isHighlighted)
    {
        g.setColour (juce::Colour (0xff000040));
        g.fillRect (1, 1, w - 2, h - 2);
        g.setColour (findColour (juce::PopupMenu::highlightedTextColourId));
    }
    else
    {
        g.setColour (colour);
    }

    if (!isActive)
        g.setOpacity (0.3f);

    // Each language's name is drawn in that language's font, whatever the current language.
    auto font = getPopupMenuFont();

    for (int i = 0; i < LANG_NUM; ++i)
    {
        if (text == StrRes::LANGUAGE_SELECTION[i])
        {
            font = juce::Font (StrRes::DEFAULT_FONT_MAC[i], 17.0f, juce::Font::plain);
            break;
        }
    }

    if (font.getHeight() > (float)h / 1.3f)
        font.setHeight ((float)h / 1.3f);

    g.setFont (font);

    const int leftBorder = (h * 5) / 4;

    if (icon != nullptr)
    {
        icon->drawWithin (g, juce::Rectangle<float> (2.0f, 1.0f, (float)(leftBorder - 4), (float)(h - 2)),
                          juce::RectanglePlacement::centred | juce::RectanglePlacement::onlyReduceInSize,
                          1.0f);
    }
    else if (isTicked)
    {
        const auto tick = getTickShape (1.0f);
        const auto ascent = font.getAscent();
        g.fillPath (tick, tick.getTransformToScaleToFit (2.0f, c - 0.5f * ascent, (float)(leftBorder - 4),
                                                         ascent, true));
    }

    g.drawFittedText (text, leftBorder, 0, w - leftBorder - 4, h, juce::Justification::centredLeft, 1, 0.7f);

    if (shortcutKeyText.isNotEmpty())
    {
        auto shortcutFont = font;
        shortcutFont.setHeight (0.75f * font.getHeight());
        shortcutFont.setHorizontalScale (0.95f);
        g.setFont (shortcutFont);
        g.drawText (shortcutKeyText, leftBorder, 0, w - leftBorder - 8, h, juce::Justification::centredRight,
                    true);
    }

    if (hasSubMenu)
    {
        const float a = 0.6f * getPopupMenuFont().getAscent();
        const float x = (float)w - 0.6f * (float)h;

        juce::Path arrow;
        arrow.addTriangle (x, c - 0.5f * a, x, c + 0.5f * a, x + 0.6f * a, c);
        g.fillPath (arrow);
    }
}

juce::Font LangLookAndFeel::getComboBoxFont (juce::ComboBox& box)
{
    const auto language = static_cast<LangIdTable_t> (box.getSelectedId() - 1);
    return juce::Font (TxtLoader::getInstance()->getFont (language),
                       juce::jmin (0.85f * (float)box.getHeight(), 15.0f), juce::Font::plain);
}

juce::Typeface::Ptr LangLookAndFeel::getTypefaceForFont (const juce::Font& font)
{
    auto name = font.getTypefaceName();

    if (name == juce::Font::getDefaultSansSerifFontName() && m_sansSerifName.isNotEmpty())
        name = m_sansSerifName;

    if (auto typeface = LanguageFonts::typefaceFor (name, font.isBold()))
        return typeface;

    return juce::LookAndFeel_V2::getTypefaceForFont (font);
}

//==============================================================================
void ProgressLookAndFeel::drawProgressBar (juce::Graphics& g, juce::ProgressBar& progressBar, int width,
                                           int height, double progress, const juce::String& textToShow)
{
    g.fillAll (progressBar.findColour (juce::ProgressBar::backgroundColourId));

    juce::ColourGradient shade (juce::Colour (167, 167, 167), 2.0f, 2.0f, juce::Colour (108, 108, 108), 2.0f,
                                (float)(height - 4), false);
    shade.addColour (0.5, juce::Colour (100, 100, 100));
    g.setGradientFill (shade);

    const double longest = (double)(width - 4);
    double length = progress * longest;

    if (!(length >= 0.0))  // negative, or not a number
        length = 0.0;
    else if (length > longest)
        length = longest;

    g.fillRect (juce::Rectangle<float> (2.0f, 2.0f, (float)length, (float)(height - 4)));

    if (textToShow.isNotEmpty())
    {
        g.setColour (juce::Colours::white);
        g.setFont (0.8f * (float)height);
        g.drawText (textToShow, 0, 0, width, height, juce::Justification::centred, false);
    }
}
