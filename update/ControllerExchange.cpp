#include "ui/MainComponent.h"

#include "hid/HidCtrl.h"

#include <cstdio>
#include <cstring>

bool MainComponent::isMacOSX106OrOlder (int operatingSystemType)
{
    // JUCE reports Mac OS X 10.n as MacOSX | n, and a macOS it does not know yet as plain MacOSX.
    const auto family = operatingSystemType & 0xFF00;
    const auto minor = operatingSystemType & 0xFF;
    return family == juce::SystemStats::MacOSX && minor >= 1 && minor <= 6;
}

void MainComponent::prepareRequest (uint8_t target, uint8_t command)
{
    std::memset (m_sendData, 0, sizeof (m_sendData));
    m_sendData[Report::target] = target;
    m_sendData[Report::command] = command;
}

bool MainComponent::SendDataAndWaitResponse()
{
    auto result = true;

    if (!threadShouldExit() && m_state.load() != ERR_REMOVED)
    {
        if (!m_pHidCtrl->sendData (m_sendData, sizeof (m_sendData)))
        {
            // No answer can come to a report that did not go out: it is a missing answer at once.
            // The link has said why on standard error (a node it may not open, a failed write).
            std::fprintf (stderr, "Request %02X %02X was not sent to the controller; no answer is awaited.\n",
                          m_sendData[Report::target], m_sendData[Report::command]);
            result = false;
        }
        else if (!m_responseEvent.wait (m_responseTimeoutMs))
        {
            result = false;
        }
        else
        {
            m_responseEvent.reset();

            {
                const juce::ScopedLock lock (m_responseLock);
                std::memcpy (m_answer, m_response, sizeof (m_answer));
            }

            const auto echoed = m_answer[Report::target] == m_sendData[Report::target];
            const auto refused = m_answer[Report::answer] == ANS_ERROR && m_answer[Report::reason] == 5;

            if (!echoed || refused)
                SetStateUnlessRemoved (ERR_GENERAL);
        }
    }

    if (m_oldOS)
        juce::Thread::sleep (6);

    return result;
}

void MainComponent::removalCallBack()
{
    // The abort's answer cannot come any more; the quit it waited for goes on.
    if (m_awaitingCancelAnswer)
    {
        endCancelWait();
        return;
    }

    // Only while an update is under way, and never over a state the worker has just left it in.
    auto current = m_state.load();

    do
    {
        if (!UpdState::isUpdating (current))
            return;
    } while (!m_state.compare_exchange_weak (current, ERR_REMOVED));

    // Give an exchange under way a moment to come back by itself.
    wait (100);
    m_responseEvent.signal();

    if (isThreadRunning())
        stopThread (5000);

    requestRedraw();
}

void MainComponent::matchingCallBack() {}

void MainComponent::inputCallBack (int)
{
    const auto length = static_cast<size_t> (juce::jmin<uint64_t> (m_pHidCtrl->m_recvLength, reportSize));

    if (length == 0)
        return;

    const auto target = m_pHidCtrl->m_recvBuffer[Report::target];

    {
        const juce::ScopedLock lock (m_responseLock);
        std::memcpy (m_response, m_pHidCtrl->m_recvBuffer, length);
    }

    std::memset (m_pHidCtrl->m_recvBuffer, 0, sizeof (m_pHidCtrl->m_recvBuffer));

    // The abort report is awaited after the worker has stopped: only an answer to the controller
    // as a whole ends that wait, not a late answer to the worker's last request.
    if (m_awaitingCancelAnswer)
    {
        if (target == TARGET_DEVICE)
            endCancelWait();
    }
    else if (isThreadRunning())
    {
        m_responseEvent.signal();
    }
}
