#include "ui/AlineButton.h"

#include "ui/CustomLookAndFeel.h"

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

void AlineButton::refusePressesFor (int milliseconds)
{
    m_refusePressesUntil = juce::Time::getMillisecondCounterHiRes() + milliseconds;
    m_refusedSinceMouseDown = true;

    // Released before now, meant for what the button did then.
    m_returnClicksTakenBack = m_returnClicksPosted;

    if (m_returnPending)
    {
        m_returnPending = false;
        m_returnRefused = true;
        repaint();
    }

    if (isDown())
    {
        m_mouseRefused = true;
        setState (isOver() ? buttonOver : buttonNormal);
    }
}

bool AlineButton::refusesPressesNow() const
{
    return juce::Time::getMillisecondCounterHiRes() < m_refusePressesUntil;
}

bool AlineButton::keyPressed (const juce::KeyPress& key)
{
    const auto modifiers = juce::ModifierKeys::shiftModifier | juce::ModifierKeys::ctrlModifier |
                           juce::ModifierKeys::altModifier | juce::ModifierKeys::commandModifier;

    if (key.getKeyCode() != juce::KeyPress::returnKey || key.getModifiers().testFlags (modifiers))
        return false;

    // A held key repeats its press with no release in between: a repeat belongs to the press
    // under way, taken or refused.
    if (m_returnPending || m_returnRefused)
        return true;

    if (refusesPressesNow())
    {
        m_returnRefused = true;
        return true;
    }

    m_returnPending = true;
    repaint();
    return true;
}

bool AlineButton::keyStateChanged (bool isKeyDown)
{
    // JUCE has updated its key table from this very event just before: if Return still reads as
    // down, another key went up.
    if (isKeyDown || juce::KeyPress::isKeyCurrentlyDown (juce::KeyPress::returnKey))
        return false;

    if (m_returnRefused)
    {
        m_returnRefused = false;
        return true;
    }

    if (!m_returnPending)
        return false;

    // The click is posted: it stands even if the focus passes through the window meanwhile.
    m_returnPending = false;
    repaint();
    ++m_returnClicksPosted;
    triggerClick();
    return true;
}

void AlineButton::handleCommandMessage (int commandId)
{
    // Messages come in the order posted, and in the program only Return posts clicks: the next
    // one to come is the oldest Return click.
    if (m_returnClicksPosted > 0)
    {
        --m_returnClicksPosted;

        if (m_returnClicksTakenBack > 0)
        {
            --m_returnClicksTakenBack;
            return;
        }
    }

    juce::Button::handleCommandMessage (commandId);
}

void AlineButton::mouseDown (const juce::MouseEvent& event)
{
    // A busy message thread may take the second press of a double click late, so it is known by
    // JUCE's count of clicks too, which goes by the X server's times of the presses.
    const auto continuesARefusedDoubleClick = event.getNumberOfClicks() > 1 && m_refusedSinceMouseDown;
    m_refusedSinceMouseDown = false;
    m_mouseRefused = refusesPressesNow() || continuesARefusedDoubleClick;

    if (!m_mouseRefused)
        juce::Button::mouseDown (event);
}

void AlineButton::mouseDrag (const juce::MouseEvent& event)
{
    if (!m_mouseRefused)
        juce::Button::mouseDrag (event);
}

void AlineButton::mouseUp (const juce::MouseEvent& event)
{
    if (!m_mouseRefused)
    {
        juce::Button::mouseUp (event);
        return;
    }

    // JUCE may have taken the held mouse button for a press meanwhile (its state follows the
    // mouse on focus and visibility changes): it ends here, without a click.
    m_mouseRefused = false;
    setState (isMouseOver() ? buttonOver : buttonNormal);
}

void AlineButton::focusLost (FocusChangeType cause)
{
    // Before the release, the release goes to whatever has the focus now.
    if (m_returnPending || m_returnRefused)
    {
        m_returnPending = false;
        m_returnRefused = false;
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
                                           (shouldDrawButtonAsDown && !m_mouseRefused) || m_returnPending);

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
