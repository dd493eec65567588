#include "update/UpdateEngine.h"

#include "hid/HidCtrl.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

void UpdateEngine::prepareRequest (uint8_t target, uint8_t command)
{
    std::memset (m_sendData, 0, sizeof (m_sendData));
    m_sendData[Report::target] = target;
    m_sendData[Report::command] = command;
}

void UpdateEngine::prepareAddressRequest (uint8_t target, uint8_t command, uint32_t address, uint32_t length)
{
    prepareRequest (target, command);
    Report::putLittleEndian32 (m_sendData, Report::address, address);
    m_sendData[Report::addressMarker] = Report::addressMarkerValue;
    Report::putLittleEndian32 (m_sendData, Report::length, length);
}

bool UpdateEngine::SendDataAndWaitResponse()
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
            const auto refused =
                m_answer[Report::answer] == ANS_ERROR && m_answer[Report::reason] == REASON_5;

            if (!echoed || refused)
                SetStateUnlessRemoved (ERR_GENERAL);
        }
    }

    if (m_oldOS)
        juce::Thread::sleep (oldSystemPauseMs);

    return result;
}

bool UpdateEngine::exchangeOrTimeOut()
{
    if (SendDataAndWaitResponse())
        return true;

    SetStateUnlessRemoved (ERR_TIMEOUT);
    return false;
}

bool UpdateEngine::offerAbortReport (std::function<void()> onWaitEnd)
{
    // Whether the report is offered is decided before the worker is stopped: not once the worker
    // has told itself to stop, and not after the controller's removal.
    const auto offered = !threadShouldExit() && m_state.load() != ERR_REMOVED;

    // Then the worker goes, so that the report has the buffers to itself.
    stopWorker();

    if (!offered)
        return false;

    prepareRequest (TARGET_DEVICE, CMD_CANCEL);

    // Set first: only an answer that comes after the report went out ends the wait.
    m_awaitingCancelAnswer = true;

    // The link sends only to a connected controller; what was not sent is not awaited.
    if (!m_pHidCtrl->sendData (m_sendData, sizeof (m_sendData)))
    {
        m_awaitingCancelAnswer = false;
        return false;
    }

    // The answer comes through the message loop, which the caller must not hold up: the answer,
    // the controller's removal or the time-out ends the wait.
    m_onCancelWaitEnd = std::move (onWaitEnd);
    m_cancelTimeout.startTimer (m_responseTimeoutMs);
    return true;
}

void UpdateEngine::endCancelWait()
{
    if (!m_awaitingCancelAnswer)
        return;

    m_awaitingCancelAnswer = false;
    m_cancelTimeout.stopTimer();

    if (m_oldOS)
        juce::Thread::sleep (oldSystemPauseMs);

    const auto onWaitEnd = std::move (m_onCancelWaitEnd);
    m_onCancelWaitEnd = nullptr;
    onWaitEnd();
}

void UpdateEngine::removalCallBack()
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
    wait (removalPauseMs);
    m_responseEvent.signal();

    if (isThreadRunning())
        stopThread (workerStopTimeoutMs);

    askForRedraw();
}

void UpdateEngine::matchingCallBack() {}

void UpdateEngine::inputReportCallBack (const uint8_t* report, size_t length)
{
    const juce::ScopedLock lock (m_responseLock);
    std::memcpy (m_response, report, std::min (length, sizeof (m_response)));
}

void UpdateEngine::inputCallBack (int)
{
    // The abort report is awaited after the worker has stopped: only an answer to the controller
    // as a whole ends that wait, not a late answer to the worker's last request. m_response is
    // written on this thread only.
    if (m_awaitingCancelAnswer)
    {
        if (m_response[Report::target] == TARGET_DEVICE)
            endCancelWait();
    }
    else if (isThreadRunning())
    {
        m_responseEvent.signal();
    }
}
