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
            {
                m_responseEvent.reset();
                startThread();
            }
            else
            {
                SetStateUnlessRemoved (ERR_NOT_CONNECTED);
            }
        }

        UpdateDrawing();
    }
    else if (state == STATE_READY)
    {
        m_startPressed = true;
        m_state = STATE_START;
    }
    else if (!m_startPressed || (state == STATE_COMPLETE && m_finished.load() == 1))
    {
        quit();
    }
}

void MainComponent::cancelClicked()
{
    m_quitting = true;

    if (m_state.load() != STATE_INIT)
    {
        // Whether the abort report is offered is decided before the worker is stopped: not once
        // the worker has told itself to stop, and not after the controller's removal.
        const auto offered = !threadShouldExit() && m_state.load() != ERR_REMOVED;

        // Then the worker goes, so that the report has the buffers and the event to itself.
        stopWorker();

        if (offered)
            sendCancelAndWait();
    }

    quit();
}

void MainComponent::sendCancelAndWait()
{
    prepareRequest (TARGET_DEVICE, CMD_CANCEL);

    m_responseEvent.reset();
    m_awaitingCancelAnswer = true;

    // The link sends only to a connected controller; what was not sent is not awaited.
    if (m_pHidCtrl->sendData (m_sendData, sizeof (m_sendData)))
    {
        // The answer comes through this thread's own event loop: run it in short slices, which
        // also keeps the window painting, until the answer or the time-out.
        const auto deadline =
            juce::Time::getMillisecondCounter() + static_cast<juce::uint32> (m_responseTimeoutMs);
        auto* messageManager = juce::MessageManager::getInstance();

        while (!m_responseEvent.wait (0) && m_state.load() != ERR_REMOVED &&
               !messageManager->hasStopMessageBeenSent() && juce::Time::getMillisecondCounter() < deadline)
            messageManager->runDispatchLoopUntil (10);
    }

    m_awaitingCancelAnswer = false;

    if (m_oldOS)
        juce::Thread::sleep (6);
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
