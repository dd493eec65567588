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

bool AlineButton::keyPressed (const juce::KeyPress& key)
{
    const auto modifiers = juce::ModifierKeys::shiftModifier | juce::ModifierKeys::ctrlModifier |
                           juce::ModifierKeys::altModifier | juce::ModifierKeys::commandModifier;

    if (key.getKeyCode() != juce::KeyPress::returnKey || key.getModifiers().testFlags (modifiers))
        return false;

    m_returnPending = true;
    repaint();
    return true;
}

void AlineButton::paintButton (juce::Graphics& g, bool shouldDrawButtonAsHighlighted,
                               bool shouldDrawButtonAsDown)
{
    const bool returnPending = m_returnPending;

    const auto faceColour =
        findColour (getToggleState() ? juce::TextButton::buttonOnColourId : juce::TextButton::buttonColourId);
    getLookAndFeel().drawButtonBackground (g, *this, faceColour, shouldDrawButtonAsHighlighted,
                                           shouldDrawButtonAsDown || returnPending);

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

    // No timer watches the key: while it is held, each paint asks for the next one, and the first
    // paint after its release gives the click. Key repeats only set the flag again.
    if (juce::KeyPress::isKeyCurrentlyDown (juce::KeyPress::returnKey))
    {
        repaint();
    }
    else if (m_returnPending)
    {
        m_returnPending = false;
        triggerClick();
    }
}
