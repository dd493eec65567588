#include "ui/MainComponent.h"

#include "platform/desktop/KeyboardFocus.h"
#include "text/Loader.h"
#include "ui/AlineButton.h"
#include "ui/TextFormat.h"

#include <BinaryData.h>

namespace
{
constexpr float textHeight = 13.0f;

const juce::Colour screenColour (234, 234, 234);
const juce::Colour mainImageBarColour (250, 50, 200);
const juce::Colour otherImageBarColour (8, 8, 8);

/** A version "1.05" as the two arguments "1" and "05". */
std::array<juce::String, 4> versionArguments (const juce::String& version)
{
    return { version.substring (0, 1), version.substring (2, 4), {}, {} };
}

std::array<juce::String, 4> oneArgument (const juce::String& value)
{
    return { value, {}, {}, {} };
}

juce::Rectangle<int> rightButtonPlace (int w, int h)
{
    return { w - 120, h - 40, 100, 20 };
}

juce::Rectangle<int> leftButtonPlace (int w, int h)
{
    return { w - 230, h - 40, 100, 20 };
}

juce::String errorSuffix (int32_t state)
{
    return "\n\nError ID:\t0x" +
           formatText ("%04s", oneArgument (juce::String::toHexString (state).toUpperCase()));
}
}  // namespace

int32_t MainComponent::buttonsRow (int32_t state)
{
    // STATE_START keeps the version screen's buttons, the transfer screens hide both, every error
    // screen offers Close alone.
    if (state == STATE_START)
        return STATE_READY;
    if (UpdState::isTransferring (state))
        return STATE_BLOCK;
    if (UpdState::isError (state))
        return ERR_GENERAL;
    return state;
}

void MainComponent::addText (const juce::String& text, bool bold, float x, float y, float width, float height)
{
    const juce::Font font (TxtLoader::getInstance()->getFont(), textHeight,
                           bold ? juce::Font::bold : juce::Font::plain);
    const auto maxLines = static_cast<int> (height / textHeight);

    m_textLayout.addFittedText (font, text, x, y, width, height, juce::Justification::topLeft, maxLines,
                                0.7f);
}

void MainComponent::UpdateDrawing()
{
    auto* texts = TxtLoader::getInstance();
    const auto& fontName = texts->getFont();
    const auto state = m_state.load();
    const auto w = static_cast<float> (getWidth());
    const auto h = static_cast<float> (getHeight());
    const auto model = texts->getString (SID_NAME_001);

    if (auto* parent = getParentComponent())
        parent->setName (texts->getString (SID_STR_0000));

    m_textLayout.clear();

    // A heading in bold, then a body under it: the body starts under the heading's last glyph.
    const auto addTwoPartText = [&] (const juce::String& heading, const juce::String& body)
    {
        addText (heading, true, 20.0f, 20.0f, w - 40.0f, h - 20.0f);

        // The last glyph's own bounds: JUCE's bounding box of a single line break, which has no
        // width, is the empty rectangle at the origin and would put the body over the heading.
        const auto glyphs = m_textLayout.getNumGlyphs();
        const auto bodyTop = glyphs > 0 ? m_textLayout.getGlyph (glyphs - 1).getBounds().getBottom() : 20.0f;

        addText (body, false, 40.0f, bodyTop, w - 60.0f, h - bodyTop);
    };

    const auto addErrorText = [&] (const juce::String& text)
    { addText (text + errorSuffix (state), false, 105.0f, 20.0f, w - 125.0f, h - 20.0f); };

    if (state == STATE_INIT)
    {
        addTwoPartText (texts->getString (SID_STR_0005) + "\n\n", texts->getString (SID_STR_0006));
    }
    else if (state == STATE_READY)
    {
        if (m_fileReady == FILE_READY)
            addTwoPartText (
                formatText (texts->getString (SID_STR_0009), oneArgument (model)),
                formatText (texts->getString (SID_STR_0010), versionArguments (m_deviceSysVer)) + "\n" +
                    formatText (texts->getString (SID_STR_0011), versionArguments (m_fileSysVer)));
    }
    else if (state == ERR_NOT_CONNECTED)
    {
        addErrorText (formatText (texts->getString (SID_STR_0008), oneArgument (model)));
    }
    else if (UpdState::isTransferring (state))
    {
        addTwoPartText (formatText (texts->getString (SID_STR_0012), oneArgument (model)) + "\n\n",
                        texts->getString (SID_STR_0013));
    }
    else if (state == STATE_COMPLETE)
    {
        addText (formatText (texts->getString (SID_STR_0014), oneArgument (model)), false, 20.0f, 20.0f,
                 w - 40.0f, h - 20.0f);
    }
    else if (UpdState::isFileError (state))
    {
        addErrorText (texts->getString (SID_STR_0007));
    }
    else if (UpdState::isError (state))
    {
        addErrorText (texts->getString (SID_STR_0015) + "\n" + texts->getString (SID_STR_0016));
    }

    if (state == STATE_INIT)
    {
        m_pLangBox->setSelectedId (texts->m_langId + 1, juce::sendNotificationAsync);
        m_pLangBox->setVisible (true);
        m_pLangBox->resized();
    }
    else
    {
        m_pLangBox->setVisible (false);
    }

    if (UpdState::isTransferring (state))
    {
        m_pProgressBar->setVisible (true);

        // A transfer that began with the main image keeps its colour for the images after it.
        if (m_updKind.load() == UPD_KIND_MAIN)
            m_pProgressBar->setColour (juce::ProgressBar::backgroundColourId, mainImageBarColour);
        else if (!m_mainImageStarted.load())
            m_pProgressBar->setColour (juce::ProgressBar::backgroundColourId, otherImageBarColour);
    }
    else
    {
        m_pProgressBar->setVisible (false);
    }

    m_pOkButton->setFont (fontName);
    m_pCancelButton->setFont (fontName);

    // A button that now does something else may be under the resting pointer, or in the middle
    // of a press: the second press of a double click on OK would be Start, and the version screen
    // is the user's one look at the versions before the firmware is written. So a button takes
    // only a press that began on its new screen as the user saw it.
    const auto row = buttonsRow (state);

    if (row != m_buttonsRow)
    {
        m_buttonsRow = row;
        m_pOkButton->refusePressesFor (doubleClickMs);
        m_pCancelButton->refusePressesFor (doubleClickMs);
    }

    const auto rightPlace = rightButtonPlace (getWidth(), getHeight());
    const auto leftPlace = leftButtonPlace (getWidth(), getHeight());

    const auto showButton = [] (AlineButton* button, const juce::String& caption, juce::Rectangle<int> place)
    {
        button->setVisible (true);
        button->setButtonText (caption);
        button->setBounds (place);
    };

    if (state == STATE_INIT || state == STATE_READY)
    {
        showButton (m_pOkButton, texts->getString (state == STATE_INIT ? SID_STR_0001 : SID_STR_0002),
                    rightPlace);
        showButton (m_pCancelButton, texts->getString (state == STATE_INIT ? SID_STR_0003 : SID_STR_0004),
                    leftPlace);
    }
    else if (UpdState::isTransferring (state))
    {
        m_pOkButton->setVisible (false);
        m_pCancelButton->setVisible (false);
    }
    else if (state == STATE_COMPLETE)
    {
        showButton (m_pOkButton, texts->getString (SID_STR_0001), rightPlace);
    }
    else if (UpdState::isError (state))
    {
        m_pOkButton->setVisible (false);
        showButton (m_pCancelButton, texts->getString (SID_STR_0004), rightPlace);
    }

    repaint();
}

void MainComponent::paint (juce::Graphics& g)
{
    g.fillAll (screenColour);

    const auto state = m_state.load();

    if (UpdState::isError (state))
    {
        const auto icon =
            juce::ImageCache::getFromMemory (BinaryData::warning_png, BinaryData::warning_pngSize);
        g.drawImage (icon, 20, 15, 64, 64, 0, 0, icon.getWidth(), icon.getHeight(), false);
    }

    g.setColour (juce::Colours::black);
    m_textLayout.draw (g);

    applyScreenFocus();
}

void MainComponent::applyScreenFocus()
{
    // Only a component on the screen can take the focus. It moves within the program only: a
    // grab takes the keyboard from another program on X11, and a paint or a late focus-in must
    // not do that. When nobody has it (a new window, or a closed popup that took it along) the
    // screen asks for it, since no window manager may give it.
    if (!isShowing() || platform::anotherProgramHasTheKeyboard())
        return;

    // Return clicks the focused button, so each screen keeps the focus on its way on.
    const auto okOrCancel = [this]
    {
        if (!m_pOkButton->hasKeyboardFocus (true) && !m_pCancelButton->hasKeyboardFocus (true))
            m_pOkButton->grabKeyboardFocus();
    };

    const auto state = m_state.load();

    if (state == STATE_COMPLETE)
    {
        if (!m_pOkButton->hasKeyboardFocus (true))
            m_pOkButton->grabKeyboardFocus();
    }
    else if (state == STATE_READY)
    {
        okOrCancel();
    }
    else if (state == STATE_INIT)
    {
        if (!m_pLangBox->hasKeyboardFocus (true))
            okOrCancel();
    }
    else if (UpdState::isError (state))
    {
        if (!m_pCancelButton->hasKeyboardFocus (true))
            m_pCancelButton->grabKeyboardFocus();
    }
}

void MainComponent::resized()
{
    UpdateDrawing();

    const juce::Rectangle<int> widgetRow (20, getHeight() - 80, getWidth() - 40, 20);
    m_pLangBox->setBounds (widgetRow);
    m_pProgressBar->setBounds (widgetRow);

    const auto rightPlace = rightButtonPlace (getWidth(), getHeight());
    const auto leftPlace = leftButtonPlace (getWidth(), getHeight());

    if (m_pOkButton->isVisible())
    {
        m_pOkButton->setBounds (rightPlace);
        m_pCancelButton->setBounds (leftPlace);
    }
    else
    {
        m_pCancelButton->setBounds (rightPlace);
    }
}

void MainComponent::handleAsyncUpdate()
{
    const juce::ScopedLock lock (m_drawLock);
    UpdateDrawing();
}
