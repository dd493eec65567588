#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

class BtnLookAndFeel;

/** The program's push button: one centred line of caption in a typeface and style that its
    owner sets, a shaded face drawn by its own BtnLookAndFeel, a thin grey frame while it has the
    keyboard focus, and a click on Return that comes when the key is released: one click per
    press, however long the key is held. Its owner can have it refuse the presses that begin
    within a while, when the button comes to mean something else.

    A held key counts as one press only where the X server reports it as repeated presses and one
    release (platform/KeyRepeat.h). Message thread only. */
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

    /** Presses that begin within this many milliseconds from now, of the mouse button or of
        Return, do nothing: no pressed face and no click, however long they are held. So do a
        press under way now, a Return click not yet delivered and the later presses of a double
        click begun before now. */
    void refusePressesFor (int milliseconds);

    /** Return without shift, control, alt or command: the face shows pressed and the click
        follows the key's release. Returns false for every other key press. */
    bool keyPressed (const juce::KeyPress& key) override;

    /** The release of a Return taken by keyPressed clicks the button. Returns true when the
        event was that release. */
    bool keyStateChanged (bool isKeyDown) override;

    void mouseDown (const juce::MouseEvent& event) override;
    void mouseDrag (const juce::MouseEvent& event) override;
    void mouseUp (const juce::MouseEvent& event) override;

    /** Delivers the clicks that triggerClick posted, but those of Return that a refusal has
        taken back. */
    void handleCommandMessage (int commandId) override;

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

    /** Until when presses are refused (juce::Time::getMillisecondCounterHiRes). */
    double m_refusePressesUntil = 0.0;
    /** A Return or a mouse press under way that was refused: it ends with no click. */
    bool m_returnRefused = false;
    bool m_mouseRefused = false;
    /** Presses were refused since the last mouse press here. */
    bool m_refusedSinceMouseDown = false;
    /** Return clicks posted and not yet delivered, and how many of them a refusal took back. */
    int m_returnClicksPosted = 0;
    int m_returnClicksTakenBack = 0;

    bool refusesPressesNow() const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AlineButton)
};
