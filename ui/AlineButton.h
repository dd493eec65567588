#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class BtnLookAndFeel;

/** The program's push button: one centred line of caption in a typeface and style that its
    owner sets, a shaded face drawn by its own BtnLookAndFeel, a thin grey frame while it has the
    keyboard focus, and a click on Return that comes when the key is released: one click per
    press, however long the key is held.

    Message thread only. */
class AlineButton : public juce::Button
{
public:
    /** The name is the component's name and the first caption. */
    explicit AlineButton (const juce::String& name);
    ~AlineButton() override;

    /** Sets the caption; repaints even when the caption stays the same. */
    void setButtonText (const juce::String& newText);

    /** The typeface name of the caption; shows at the next paint. */
    void setFont (const juce::String& typefaceName);

    /** The juce::Font style flags of the caption (0 plain, 1 bold); shows at the next paint. */
    void setStyle (const int& styleFlags);

    /** Return without shift, control, alt or command: the face shows pressed and the click
        follows the key's release. Returns false for every other key press. */
    bool keyPressed (const juce::KeyPress& key) override;

    /** The release of a Return taken by keyPressed clicks the button, unless a key repeat's press
        follows at once. Returns true when the event was that release. */
    bool keyStateChanged (bool isKeyDown) override;

protected:
    /** A Return pressed here and released elsewhere gives no click. */
    void focusLost (FocusChangeType cause) override;

    void paintButton (juce::Graphics& g, bool shouldDrawButtonAsHighlighted,
                      bool shouldDrawButtonAsDown) override;

private:
    BtnLookAndFeel* m_pLookAndFeel = nullptr;
    juce::Justification m_justification{ juce::Justification::centred };
    juce::String m_typefaceName{ juce::Font::getDefaultSansSerifFontName() };
    juce::int32 m_style = 0;
    bool m_returnPending = false;

    /** Gives the click once a release of Return has stood for a moment. */
    class ReleaseTimer : public juce::Timer
    {
    public:
        explicit ReleaseTimer (AlineButton& owner)
            : m_owner (owner)
        {
        }
        void timerCallback() override { m_owner.clickOnRelease(); }

    private:
        AlineButton& m_owner;
    };
    ReleaseTimer m_releaseTimer{ *this };

    void clickOnRelease();

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AlineButton)
};
