#include "ui/MainComponent.h"

#include "hid/HidCtrl.h"
#include "text/Loader.h"
#include "ui/AlineButton.h"

void MainComponent::buttonClicked (juce::Button* button)
{
    // Once a quit has begun (Cancel may be waiting for the controller) nothing else starts.
    if (m_quitting)
        return;

    if (button == m_pOkButton)
        okClicked();
    else if (button == m_pCancelButton)
        cancelClicked();
}

void MainComponent::okClicked()
{
    const auto state = m_state.load();

    // OK does what the screen on show offers: the worker moves the state on before the screen
    // catches up, and Start is only for versions that the user has seen.
    if (buttonsRow (state) != m_buttonsRow)
        return;

    if (state == STATE_INIT)
    {
        // Pressed again while the worker's first pass runs: its device checks are marking the
        // image table and it may wait on the event, so nothing is checked or reset again.
        if (isThreadRunning())
            return;

        CheckUpdFile();
        const auto checked = m_state.load();

        if (!UpdState::isFileError (checked))
        {
            if (m_pHidCtrl->m_connected.load() != 0)
                startWorker();
            else
                m_state.fail (ERR_NOT_CONNECTED);
        }

        UpdateDrawing();
    }
    else if (state == STATE_READY)
    {
        m_startPressed = true;
        m_state.start();
    }
    else if (!m_startPressed || (state == STATE_COMPLETE && m_finished.load() == FINISHED))
    {
        quit();
    }
}

void MainComponent::cancelClicked()
{
    m_quitting = true;

    if (m_state.load() == STATE_INIT)
    {
        quit();
        return;
    }

    // The click must not hold up the message loop that brings the answer: the end of the abort's
    // wait quits.
    offerAbortReport ([this] { quit(); });
}

void MainComponent::quit()
{
    m_quitting = true;
    stopWorker();

    if (auto* application = juce::JUCEApplication::getInstance())
        application->systemRequestedQuit();
}

void MainComponent::comboBoxChanged (juce::ComboBox* box)
{
    if (box != m_pLangBox)
        return;

    auto* texts = TxtLoader::getInstance();
    const auto id = m_pLangBox->getSelectedId() - 1;

    // No selection (id -1) keeps the current language.
    if (id >= LANG_EN && id < LANG_NUM && id != texts->m_langId)
        texts->setLocale (static_cast<LangIdTable_t> (id));

    m_pLangBox->resized();
    UpdateDrawing();
}
