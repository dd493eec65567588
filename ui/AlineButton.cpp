#include "ui/AlineButton.h"

#include "ui/CustomLookAndFeel.h"

namespace
{
// JUCE tells a key repeat's release from a real one by the press queued right behind it; on a
// loaded machine that press can arrive a moment later. A release stands once no press has
// followed it for this long: too short for a hand to notice.
constexpr int releaseSettleMs = 30;
}  // namespace

AlineButton::AlineButton (const juce::String& name)
    : juce::Button (name)
{
    m_pLookAndFeel = new BtnLookAndFeel();
    setLookAndFeel (m_pLookAndFeel);
    setColour (juce::TextButton::buttonColourId, juce::Colours::white);
    setColour (juce::TextButton::buttonOnColourId, juce::Colours::white);
}

AlineButton::~AlineButton()
{
    // JUCE asserts when a look-and-feel goes while a component still refers to it.
    setLookAndFeel (nullptr);
    delete m_pLookAndFeel;
    m_pLookAndFeel = nullptr;
}

void AlineButton::setButtonText (const juce::String& newText)
{
    if (newText == getButtonText())
        repaint();
    else
        juce::Button::setButtonText (newText);
}

void AlineButton::setFont (const juce::String& typefaceName)
{
    m_typefaceName = typefaceName;
}

void AlineButton::setStyle (const int& styleFlags)
{
    m_style = styleFlags;
}

bool AlineButton::keyPressed (const juce::KeyPress& key)
{
    const auto modifiers = juce::ModifierKeys::shiftModifier | juce::ModifierKeys::ctrlModifier |
                           juce::ModifierKeys::altModifier | juce::ModifierKeys::commandModifier;

    if (key.getKeyCode() != juce::KeyPress::returnKey || key.getModifiers().testFlags (modifiers))
        return false;

    // Key repeats while the key is held only set the flag again, and take back a release that
    // came just before them.
    m_returnPending = true;
    m_releaseTimer.stopTimer();
    repaint();
    return true;
}

bool AlineButton::keyStateChanged (bool isKeyDown)
{
    // The click comes from the key-up event itself, not from a paint that may never follow. JUCE
    // has updated its key table from this very event just before: if Return still reads as down,
    // another key went up.
    if (isKeyDown || !m_returnPending || juce::KeyPress::isKeyCurrentlyDown (juce::KeyPress::returnKey))
        return false;

    m_releaseTimer.startTimer (releaseSettleMs);
    return true;
}

void AlineButton::clickOnRelease()
{
    m_releaseTimer.stopTimer();

    if (!m_returnPending)
        return;

    m_returnPending = false;
    repaint();
    triggerClick();
}

void AlineButton::focusLost (FocusChangeType cause)
{
    // Once Return came up here the click stands: a late focus-in from X moves the focus through
    // the window and back in that moment. Before the release, the release goes to whatever has
    // the focus now.
    if (m_returnPending && !m_releaseTimer.isTimerRunning())
    {
        m_returnPending = false;
        repaint();
    }

    juce::Button::focusLost (cause);
}

void AlineButton::paintButton (juce::Graphics& g, bool shouldDrawButtonAsHighlighted,
                               bool shouldDrawButtonAsDown)
{
    const auto faceColour =
        findColour (getToggleState() ? juce::TextButton::buttonOnColourId : juce::TextButton::buttonColourId);
    getLookAndFeel().drawButtonBackground (g, *this, faceColour, shouldDrawButtonAsHighlighted,
                                           shouldDrawButtonAsDown || m_returnPending);

    const auto width = getWidth();
    const auto height = getHeight();
    g.setFont (juce::Font (m_typefaceName, juce::jmin (0.8f * (float)height, 13.0f), m_style));
    g.setColour (juce::Colour (16, 16, 16));
    g.drawFittedText (getButtonText(), 4, 4, width - 8, height - 8, m_justification, 1, 0.7f);

    if (hasKeyboardFocus (true))
    {
        g.setColour (juce::Colours::grey);
        g.drawRect (juce::Rectangle<float> (0.05f * (float)width, 0.15f * (float)height, 0.9f * (float)width,
                                            0.7f * (float)height),
                    0.5f);
    }
}
