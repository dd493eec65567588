#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// The program's three looks. They derive from LookAndFeel_V2, JUCE's old light look, and keep
// everything they do not draw themselves. All draw on the message thread.

/** The face of AlineButton: rounded corners, shaded from top to bottom, fixed blue shades while
    pressed, no hover look. */
class BtnLookAndFeel : public juce::LookAndFeel_V2
{
public:
    ~BtnLookAndFeel() override = default;

    /** Draws the button's face inset by half a pixel (0.1 on connected edges), outline 1.0,
        automatic corners. The highlighted flag is not used. */
    void drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    /** Draws a face at (x, y, width, height): nothing when the width or the height is not greater
        than the outline thickness. A negative corner size means half the shorter side; each flat
        flag squares the corners of that edge. */
    static void drawBackground (juce::Graphics& g, float x, float y, float width, float height,
                                const juce::Colour& colour, float outlineThickness, float cornerSize,
                                bool flatOnLeft, bool flatOnRight, bool flatOnTop, bool flatOnBottom,
                                bool isPressed);
};

/** The language list's look and, as the application's default look, the one that turns every
    typeface name into an installed face that shows its language's script.

    Each language's name in the popup list is drawn in that language's font, whatever the
    current language; the item under the mouse gets a dark blue bar; the closed box shows the
    selected language's name in its font. */
class LangLookAndFeel : public juce::LookAndFeel_V2
{
public:
    ~LangLookAndFeel() override = default;

    /** Sets the base's default sans-serif name and keeps it, so that text in the default font
        resolves to the face that serves that name. Message thread, before text is drawn. */
    void setDefaultSansSerifTypefaceName (const juce::String& newName);

    void drawPopupMenuItem (juce::Graphics& g, const juce::Rectangle<int>& area, bool isSeparator,
                            bool isActive, bool isHighlighted, bool isTicked, bool hasSubMenu,
                            const juce::String& text, const juce::String& shortcutKeyText,
                            const juce::Drawable* icon, const juce::Colour* textColour) override;

    /** The selected language's font, plain, min (0.85 x the box's height, 15); an empty
        typeface name when nothing is selected. */
    juce::Font getComboBoxFont (juce::ComboBox& box) override;

    /** The installed face that serves the font's typeface name; JUCE's own choice only when no
        font is installed at all. Any thread. */
    juce::Typeface::Ptr getTypefaceForFont (const juce::Font& font) override;

private:
    juce::String m_sansSerifName;
};

/** The progress bar: a grey bar with a vertical gradient over the bar's background colour, with
    the text in white on top. */
class ProgressLookAndFeel : public juce::LookAndFeel_V2
{
public:
    ~ProgressLookAndFeel() override = default;

    /** Only the bar's backgroundColourId is read; the value is clamped to 0 ... 1. */
    void drawProgressBar (juce::Graphics& g, juce::ProgressBar& progressBar, int width, int height,
                          double progress, const juce::String& textToShow) override;
};
